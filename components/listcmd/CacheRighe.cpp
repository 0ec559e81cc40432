#include "listcmd/CacheRighe.h"

#include <algorithm>

namespace quarvel::listcmd {

QVariantList CacheRighe::chiaveDi(const Riga& r) const {
    QVariantList k;
    for (int p : m_posChiavi)
        k << (p < r.size() ? r[p] : QVariant());
    return k;
}

void CacheRighe::azzera() {
    svuota();
    m_aggiunte.clear();
    m_cortaRiletta = false;
    m_totaleDb = 0;
    m_totaleNoto = true;
    m_testa = 0;
}

void CacheRighe::svuota() {
    m_finestre.clear();
    m_lru.clear();
    m_fisse.clear();
    m_coda.clear();
    m_inizioCoda = -1;
}

void CacheRighe::inizia(QVector<Riga> prime) {
    m_totaleNoto = true;
    m_totaleDb = 0;
    m_testa = 0;
    m_coda.clear();
    m_inizioCoda = -1;
    m_totaleDb = prime.size(); // a first window read short is the whole list
    if (!prime.isEmpty())
        metti(0, std::move(prime));
}

void CacheRighe::impostaTotale(qint64 n) {
    m_totaleDb = n;
    m_totaleNoto = true;
    m_testa = 0;
}

void CacheRighe::iniziaConteggio() {
    m_testa = m_totaleDb;
    m_totaleNoto = false;
}

void CacheRighe::metti(qint64 f, QVector<Riga> righe) {
    m_finestre.insert(f, std::move(righe));
    m_lru.append(f);
    while (m_lru.size() > m_finestreMassime)
        m_finestre.remove(m_lru.takeFirst());
}

const CacheRighe::Riga* CacheRighe::inMemoria(qint64 r) const {
    if (r < 0 || r >= righeDb())
        return nullptr;
    auto fissa = m_fisse.constFind(r);
    if (fissa != m_fisse.constEnd())
        return &*fissa;
    if (!m_totaleNoto && r >= m_testa)
        return &m_coda[r - m_testa];
    if (m_totaleNoto && m_inizioCoda >= 0 && r >= m_inizioCoda && r < m_inizioCoda + m_coda.size())
        return &m_coda[r - m_inizioCoda];
    const auto it = m_finestre.constFind(r / m_righeFinestra);
    if (it == m_finestre.constEnd())
        return nullptr;
    const qint64 k = r % m_righeFinestra;
    return k < it->size() && !(*it)[k].isEmpty() ? &(*it)[k] : nullptr;
}

qint64 CacheRighe::finestraMancante(qint64 r) const {
    if (r < 0 || r >= righeDb() || m_fisse.contains(r))
        return -1;
    if (!m_totaleNoto && r >= m_testa)
        return -1;
    if (m_totaleNoto && m_inizioCoda >= 0 && r >= m_inizioCoda && r < m_inizioCoda + m_coda.size())
        return -1;
    const qint64 f = r / m_righeFinestra;
    return m_finestre.contains(f) ? -1 : f;
}

const CacheRighe::Riga* CacheRighe::riga(qint64 r) {
    if (r < 0)
        return nullptr;
    const qint64 righe = righeDb();
    auto fissa = m_fisse.constFind(r);
    if (fissa != m_fisse.constEnd() && r < righe)
        return &*fissa;
    if (!m_totaleNoto && r >= m_testa && r < righe)
        return &m_coda[r - m_testa];
    if (m_totaleNoto && m_inizioCoda >= 0 && r >= m_inizioCoda && r < m_inizioCoda + m_coda.size())
        return &m_coda[r - m_inizioCoda];
    if (r < righe) {
        const qint64 f = r / m_righeFinestra;
        const auto it = m_finestre.constFind(f);
        if (it == m_finestre.constEnd())
            return nullptr;
        if (m_lru.last() != f) {
            m_lru.removeOne(f);
            m_lru.append(f);
        }
        const qint64 k = r - f * m_righeFinestra;
        return k < it->size() ? &(*it)[k] : nullptr;
    }
    if (r < totale())
        return &m_aggiunte[r - righe];
    return nullptr;
}

QList<qint64> CacheRighe::postiFissi() const {
    QList<qint64> posti;
    const qint64 righe = righeDb();
    for (auto it = m_fisse.cbegin(); it != m_fisse.cend(); ++it)
        if (it.key() < righe)
            posti << it.key();
    std::sort(posti.begin(), posti.end());
    return posti;
}

QList<QVariantList> CacheRighe::chiaviScritte() const {
    QList<QVariantList> chiavi;
    const qint64 righe = righeDb();
    for (auto it = m_fisse.cbegin(); it != m_fisse.cend(); ++it)
        if (it.key() < righe)
            chiavi << chiaveDi(it.value());
    for (const Riga& x : m_aggiunte)
        chiavi << chiaveDi(x);
    return chiavi;
}

void CacheRighe::spostaFisse(qint64 da, qint64 quante) {
    if (quante == 0 || m_fisse.isEmpty())
        return;
    QHash<qint64, Riga> spostate;
    for (auto it = m_fisse.cbegin(); it != m_fisse.cend(); ++it)
        spostate.insert(it.key() >= da ? it.key() + quante : it.key(), it.value());
    m_fisse = std::move(spostate);
}

QVector<CacheRighe::Riga> CacheRighe::leggiPosti(qint64 inizio, qint64 quante, bool dallaFine,
                                                 qint64 fine, const Lettore& leggi) const {
    const QList<qint64> fissi = postiFissi();
    qint64 prima = 0, dentro = 0, dopo = 0;
    for (qint64 p : fissi) {
        if (p < inizio)
            ++prima;
        else if (p < inizio + quante)
            ++dentro;
        else
            ++dopo;
    }
    const qint64 offset = dallaFine ? fine - (inizio + quante) - dopo : inizio - prima;
    QVector<Riga> lette = leggi(std::max<qint64>(offset, 0), quante - dentro, dallaFine);
    if (dentro == 0)
        return lette;
    // the rows written here at their places among those read
    QVector<Riga> righe;
    righe.reserve(int(quante));
    qsizetype k = 0;
    for (qint64 p = inizio; p < inizio + quante; ++p) {
        const auto it = m_fisse.constFind(p);
        if (it != m_fisse.constEnd())
            righe.append(*it);
        else if (k < lette.size())
            righe.append(lette[k++]);
        else if (dallaFine)
            righe.append(Riga());
        else
            break; // the list ends here
    }
    return righe;
}

CacheRighe::Esito CacheRighe::caricaFinestra(qint64 f, const Lettore& leggi) {
    const qint64 inizio = f * m_righeFinestra;
    // While counting, only the rows from the top are read by window.
    const qint64 totale = m_totaleNoto ? m_totaleDb : m_testa;
    const qint64 quante = std::min<qint64>(m_righeFinestra, totale - inizio);
    if (quante <= 0)
        return Esito::Nulla;
    // Past the middle the rows are read from the end, the order reversed.
    const bool dallaFine = m_totaleNoto && inizio > totale / 2;
    // One row more on the side of a neighbour in memory: it must be the
    // neighbour's row, else others added or deleted rows since it was read.
    const Riga* prima = inMemoria(inizio - 1);
    // (while counting, the rows after the top ones are the last of the list)
    const Riga* dopo =
        m_totaleNoto || inizio + quante < m_testa ? inMemoria(inizio + quante) : nullptr;
    const qint64 da = inizio - (prima ? 1 : 0);
    const qint64 a = inizio + quante + (dopo ? 1 : 0);
    QVector<Riga> righe = leggiPosti(da, a - da, dallaFine, totale, leggi);
    // A list changed by others since it was counted can also come back short
    // (read again once: a count that keeps disagreeing with the rows read
    // leaves the missing rows empty, as a list read again would show them).
    const bool corta =
        righe.size() < a - da ||
        std::any_of(righe.begin(), righe.end(), [](const Riga& x) { return x.isEmpty(); });
    bool spostata = corta && !m_cortaRiletta;
    if (!spostata && prima && !righe.isEmpty() && chiaveDi(righe.first()) != chiaveDi(*prima))
        spostata = true;
    if (!spostata && dopo && !righe.isEmpty() && chiaveDi(righe.last()) != chiaveDi(*dopo))
        spostata = true;
    if (spostata) {
        if (corta)
            m_cortaRiletta = true;
        return Esito::Spostata;
    }
    if (!corta && (prima || dopo))
        m_cortaRiletta = false; // the places agree again
    if (dopo && !righe.isEmpty())
        righe.removeLast();
    if (prima && !righe.isEmpty())
        righe.removeFirst();
    righe.resize(int(quante));
    metti(f, std::move(righe));
    return Esito::Letta;
}

QVector<CacheRighe::Riga> CacheRighe::leggiTesta(const Lettore& leggi, bool* spostata) const {
    *spostata = false;
    // one row more before: the last row read, unless the list moved since
    const Riga* prima = inMemoria(m_testa - 1);
    QVector<Riga> righe =
        leggiPosti(m_testa - (prima ? 1 : 0), m_righeFinestra + (prima ? 1 : 0), false, 0, leggi);
    if (prima) {
        if (righe.isEmpty() || chiaveDi(righe.first()) != chiaveDi(*prima)) {
            *spostata = true;
            return {};
        }
        righe.removeFirst();
    }
    return righe;
}

void CacheRighe::aggiungiTesta(QVector<Riga> righe) {
    const qint64 n = righe.size();
    const qint64 f = m_testa / m_righeFinestra;
    const bool fine = n < m_righeFinestra;
    spostaFisse(m_testa, n);
    if (n > 0)
        metti(f, std::move(righe));
    m_testa += n;
    if (fine)
        impostaTotale(m_testa);
}

qint64 CacheRighe::ultimaLettaInTesta() const {
    qint64 r = m_testa - 1; // rows written here were left out of the read
    while (r >= 0 && m_fisse.contains(r))
        --r;
    return r;
}

QVector<CacheRighe::Riga> CacheRighe::leggiCoda(const Lettore& leggi, bool* unita) const {
    *unita = false;
    QVector<Riga> coda = leggi(0, m_righeFinestra, true);
    if (coda.isEmpty())
        return coda;
    // A list a little longer than the rows read from the top: the last
    // window holds the last of them, and the list is known whole.
    if (const Riga* ultima = inMemoria(ultimaLettaInTesta())) {
        const QVariantList k = chiaveDi(*ultima);
        for (qsizetype i = coda.size() - 1; i >= 0; --i)
            if (chiaveDi(coda[i]) == k) {
                *unita = true;
                return coda.mid(i + 1);
            }
    }
    return coda;
}

void CacheRighe::impostaCoda(QVector<Riga> coda, bool unita) {
    const qint64 n = coda.size();
    spostaFisse(m_testa, n);
    m_coda = std::move(coda);
    if (unita) {
        m_totaleDb = m_testa + n;
        m_inizioCoda = m_testa;
        m_totaleNoto = true;
        m_testa = 0;
    }
}

void CacheRighe::accogliTotale(qint64 totale) {
    spostaFisse(m_testa, buco(totale));
    m_inizioCoda = m_coda.isEmpty() ? -1 : totale - m_coda.size();
    impostaTotale(totale);
}

} // namespace quarvel::listcmd
