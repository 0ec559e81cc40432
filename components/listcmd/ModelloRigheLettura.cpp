// The record set's reading: windows of rows read as the views ask for them,
// from the top or the end, and the list read again when it moved.

#include "listcmd/ModelloRigheInterno.h"
#include "suite/Utilita.h"

#include <QMetaMethod>
#include <QTimer>
#include <limits>
#include <optional>

namespace quarvel::listcmd {

using namespace dettaglio;

bool ModelloRighe::posizioneNota(qint64 r) const {
    return totaleNoto() || r < m_cache.testa();
}

void ModelloRighe::caricaFine() {
    if (!m_aperta || totaleNoto() || m_cache.codaLetta())
        return;
    if (m_lista.chiavi().isEmpty()) { // no key tells where the two ends meet
        attendiConteggio();
        return;
    }
    riga(m_cache.ultimaLettaInTesta()); // where the two ends may meet, in memory
    bool unita = false;
    QVector<Riga> coda = m_cache.leggiCoda(lettore(), &unita);
    if (coda.isEmpty() && !unita) {
        attendiConteggio();
        return;
    }
    // A list a little longer than the rows read from the top: the last
    // window holds the last of them, and the list is known whole.
    const qint64 testa = m_cache.testa();
    const qint64 n = coda.size();
    if (n > 0)
        beginInsertRows({}, int(testa), int(testa + n - 1));
    spostaModifica(testa, n);
    m_cache.impostaCoda(std::move(coda), unita);
    if (unita)
        fermaConteggio();
    if (n > 0)
        fineInserimento();
    if (unita)
        emit totaleArrivato();
}

bool ModelloRighe::canFetchMore(const QModelIndex& p) const {
    // Not while a new row is typed at the end of the rows read so far: the
    // view, kept at the bottom by the row's cursor, would read a window more
    // from the top at each move between its cells (a window further down
    // each time, as the rows added and left out of it grow in number).
    return !p.isValid() && m_aperta && !totaleNoto() && !m_cache.codaLetta() && !m_spostata &&
           !m_cambiando && !m_testaFallita && !(m_mod.nuova && m_mod.riga >= 0);
}

void ModelloRighe::fetchMore(const QModelIndex& p) {
    if (!canFetchMore(p))
        return;
    try {
        leggiAltreRighe();
    } catch (const Errore& e) {
        segnalaErrore(e);
    }
}

void ModelloRighe::leggiAltreRighe() {
    if (!m_aperta || totaleNoto() || m_cache.codaLetta() || m_spostata || m_cambiando)
        return;
    bool spostata = false;
    QVector<Riga> righe;
    try {
        righe = m_cache.leggiTesta(lettore(), &spostata);
    } catch (const Errore&) {
        // The rows shown stay, the list is not ended there; the view asks
        // for no more rows from the top until the list is read again.
        m_testaFallita = true;
        throw;
    }
    if (spostata) {
        segnalaSpostamento();
        return;
    }
    const qint64 testa = m_cache.testa();
    const qint64 n = righe.size();
    const bool fine = n < RigheFinestra;
    if (n > 0)
        beginInsertRows({}, int(testa), int(testa + n - 1));
    spostaModifica(testa, n);
    m_cache.aggiungiTesta(std::move(righe));
    if (fine)
        fermaConteggio();
    if (n > 0)
        fineInserimento();
    if (fine)
        emit totaleArrivato();
}

void ModelloRighe::rileggi() {
    if (!m_aperta)
        return;
    beginResetModel();
    m_mod = {};
    svuotaCache();
    m_cache.svuotaAggiunte();
    try {
        conta();
    } catch (...) {
        m_cache.impostaTotale(0);
        fineAzzeramento();
        throw;
    }
    fineAzzeramento();
}

QVector<ModelloRighe::Riga> ModelloRighe::leggiRighe(qint64 offset, qint64 quante,
                                                     bool dallaFine) const {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const std::optional<Istruzione> daValori = finestraDaValori(offset, quante, dallaFine);
    QVector<Riga> righe;
    righe.reserve(int(quante));
    if (daValori) {
        q.prepare(daValori->testo);
        for (const QVariant& v : daValori->parametri)
            q.addBindValue(v);
        if (!q.exec())
            erroreSql(q, QStringLiteral("ApriSql"));
    } else if (!q.exec(m_lista.finestra(offset, quante, dallaFine, condizioneEsclusi()))) {
        erroreSql(q, QStringLiteral("ApriSql"));
    }
    const int n = q.record().count();
    while (q.next()) {
        Riga r(n);
        for (int i = 0; i < n; ++i)
            r[i] = q.value(i);
        righe.append(std::move(r));
    }
    // next() is false at the end as on a failed read (a damaged page): a
    // list cut short there is not the list
    if (q.lastError().isValid())
        erroreSql(q, QStringLiteral("ApriSql"));
    q.finish();
    if (dallaFine)
        std::reverse(righe.begin(), righe.end());
    return righe;
}

std::optional<QVector<ModelloRighe::Riga>> ModelloRighe::righeInAvanti(qint64 da, qint64 quante) {
    if (!m_aperta || m_spostata || da < 0 || quante <= 0)
        return std::nullopt;
    QVector<Riga> righe;
    righe.reserve(int(std::min<qint64>(quante, 4096)));
    for (int prova = 0;; ++prova) {
        const bool ripresa = m_avanti && m_avanti->generazione == m_generazione &&
                             m_avanti->prossima == da && m_avanti->q.isActive();
        if (!ripresa) {
            m_avanti.reset();
            auto a = std::make_unique<LetturaAvanti>(m_db);
            a->q.setForwardOnly(true);
            constexpr qint64 Tutte = std::numeric_limits<qint32>::max();
            if (!a->q.exec(m_lista.finestra(da, Tutte, false, condizioneEsclusi())))
                erroreSql(a->q, QStringLiteral("ApriSql"));
            a->prossima = da;
            a->generazione = m_generazione;
            m_avanti = std::move(a);
        }
        QSqlQuery& q = m_avanti->q;
        const int n = q.record().count();
        while (righe.size() < quante && q.next()) {
            const qint64 r = m_avanti->prossima++;
            if (m_mod.riga == r && r >= 0) { // the row being edited, as typed
                righe.append(m_mod.valori);
                continue;
            }
            if (const Riga* x = inMemoria(r)) { // as the grid shows it
                righe.append(*x);
                continue;
            }
            Riga x(n);
            for (int i = 0; i < n; ++i)
                x[i] = q.value(i);
            righe.append(std::move(x));
        }
        if (q.lastError().isValid()) {
            // Another statement on the same connection ended the read left
            // open (the server's driver hands rows over one at a time): it
            // is opened again from where it was.  Any other failure (a
            // damaged page) is not the end of the list.
            if (ripresa && righe.isEmpty() && prova == 0) {
                m_avanti.reset();
                continue;
            }
            const std::unique_ptr<LetturaAvanti> fallita = std::move(m_avanti);
            erroreSql(fallita->q, QStringLiteral("ApriSql"));
        }
        break;
    }
    if (righe.size() < quante)
        m_avanti.reset(); // the end of the rows of the database
    return righe;
}

CacheRighe::Lettore ModelloRighe::lettore() const {
    return [this](qint64 offset, qint64 quante, bool dallaFine) {
        return leggiRighe(offset, quante, dallaFine);
    };
}

void ModelloRighe::leggiFinestra(qint64 f) {
    if (m_spostata)
        return; // the list is read again shortly: nothing shown from the old places
    if (m_cache.caricaFinestra(f, lettore()) == CacheRighe::Esito::Spostata)
        segnalaSpostamento();
}

void ModelloRighe::leggiRichieste() {
    QList<qint64> finestre = m_richieste.values();
    m_richieste.clear();
    if (!m_aperta || m_cambiando)
        return;
    std::sort(finestre.begin(), finestre.end());
    std::optional<Errore> errore;
    for (qint64 f : finestre) {
        if (m_cache.finestraMancante(f * RigheFinestra) != f)
            continue;
        try {
            leggiFinestra(f);
        } catch (const Errore& e) {
            // not asked for again by the view until the list is read again
            m_finestreFallite.insert(f);
            if (!errore)
                errore = e;
            continue;
        }
        if (m_cache.finestraMancante(f * RigheFinestra) >= 0)
            continue; // the list moved: it is read again
        const qint64 ultima = std::min<qint64>((f + 1) * RigheFinestra, righeDb()) - 1;
        emit dataChanged(index(int(f * RigheFinestra), 0),
                         index(int(ultima), std::max(0, columnCount() - 1)));
    }
    if (errore)
        segnalaErrore(*errore); // once for the windows read together
}

void ModelloRighe::segnalaErrore(const Errore& e) {
    // queued: the listener may show a message, never inside a view's scroll
    // or a count's signal
    QMetaObject::invokeMethod(
        this,
        [this, e] {
            if (isSignalConnected(QMetaMethod::fromSignal(&ModelloRighe::erroreLettura)))
                emit erroreLettura(e);
            else
                qWarning("Righe della lista non lette: %d %s", e.numero(),
                         qPrintable(e.descrizione()));
        },
        Qt::QueuedConnection);
}

const ModelloRighe::Riga* ModelloRighe::inMemoria(qint64 r) const {
    return m_cache.inMemoria(r);
}

QVariantList ModelloRighe::chiaveInMemoria(qint64 r) const {
    const Riga* x = inMemoria(r);
    if (!x || m_lista.chiavi().isEmpty())
        return {};
    return chiaveDi(*x);
}

void ModelloRighe::segnalaSpostamento() {
    if (m_spostata)
        return;
    m_spostata = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_spostata)
                return;
            if (isSignalConnected(QMetaMethod::fromSignal(&ModelloRighe::listaSpostata)))
                emit listaSpostata();
            else
                try {
                    riallinea();
                } catch (const Errore& e) {
                    qWarning("Lista non riletta: %s", qPrintable(e.descrizione()));
                }
        },
        Qt::QueuedConnection);
}

void ModelloRighe::riallinea() {
    // A row being written waits: the list is read again after it.
    if (!m_spostata || (inModifica() && modificata()))
        return;
    rileggi();
}

qint64 ModelloRighe::posizioneChiave(const QVariantList& chiave) const {
    const AnalisiSql& analisi = m_lista.analisi();
    if (!m_aperta || m_lista.chiavi().isEmpty() || chiave.size() != m_lista.chiavi().size() ||
        analisi.raggruppata() || analisi.distinta)
        return -1;
    for (const QVariant& v : chiave)
        if (Nullo(v))
            return -1;
    const Istruzione s = m_lista.posizione(chiave, condizioneEsclusi());
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    if (!q.next()) {
        if (q.lastError().isValid())
            erroreSql(q, QStringLiteral("Griglia"));
        return -1;
    }
    qint64 n = q.value(0).toLongLong() - 1;
    // the rows written here keep their places among those read
    for (qint64 p : m_cache.postiFissi())
        if (p <= n)
            ++n;
    return n;
}

const ModelloRighe::Riga* ModelloRighe::riga(qint64 r) {
    const qint64 f = m_cache.finestraMancante(r);
    if (f >= 0)
        leggiFinestra(f);
    return m_cache.riga(r);
}
QVariant ModelloRighe::valore(qint64 r, int c) {
    if (m_mod.riga == r && r >= 0)
        return c < m_mod.valori.size() ? m_mod.valori[c] : QVariant();
    const Riga* x = riga(r);
    if (!x || c >= x->size())
        return {};
    return (*x)[c];
}

QVariant ModelloRighe::valoreInMemoria(qint64 r, int c) const {
    if (m_mod.riga == r && r >= 0)
        return c < m_mod.valori.size() ? m_mod.valori[c] : QVariant();
    const Riga* x = r < righeDb() ? inMemoria(r) : m_cache.aggiunta(r - righeDb());
    if (!x || c >= x->size())
        return {};
    return (*x)[c];
}

} // namespace quarvel::listcmd
