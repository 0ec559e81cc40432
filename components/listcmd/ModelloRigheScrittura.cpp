// The record set's row being edited: begun, changed, written or cancelled,
// and the rows written here kept at their places.

#include "listcmd/ModelloRigheInterno.h"
#include "suite/Utilita.h"

#include <QSqlDriver>
#include <QSqlField>

namespace quarvel::listcmd {

using namespace dettaglio;

void ModelloRighe::fissaRiga(qint64 r, const Riga& x, bool certa) {
    m_cache.fissa(r, x);
    // A row that may have left the list while counting may or may not be
    // in the count.
    if (!totaleNoto() && !certa)
        m_scrittaDuranteConteggio = true;
}

bool ModelloRighe::nellaLista(const QVariantList& chiave) const {
    const Istruzione s = m_lista.nellaLista(chiave);
    if (s.testo.isEmpty())
        return true;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    if (q.next())
        return true;
    if (q.lastError().isValid())
        erroreSql(q, QStringLiteral("Griglia"));
    return false;
}

QString ModelloRighe::condizioneEsclusi() const {
    if (m_lista.chiavi().isEmpty())
        return {};
    const QList<QVariantList> chiavi = m_cache.chiaviScritte();
    if (chiavi.isEmpty())
        return {};
    const QSqlDriver* driver = m_db.driver();
    return m_lista.esclusi(chiavi, [driver](const QVariant& v) {
        QSqlField campo(QString(), v.metaType());
        campo.setValue(v);
        return driver->formatValue(campo);
    });
}

bool ModelloRighe::modificata() const {
    return std::any_of(m_mod.cambiati.begin(), m_mod.cambiati.end(), [](bool b) { return b; });
}

bool ModelloRighe::colonnaCambiata(int c) const {
    return m_mod.riga >= 0 && c >= 0 && c < m_mod.cambiati.size() && m_mod.cambiati[c];
}

void ModelloRighe::iniziaRiga(qint64 r) {
    if (m_mod.riga == r)
        return;
    m_mod = {};
    m_mod.riga = r;
    const int n = m_lista.valoriPerRiga();
    if (r >= totale()) {
        m_mod.nuova = true;
        m_mod.riga = totale();
        m_mod.originale = Riga(n);
    } else {
        const Riga* x = riga(r);
        m_mod.originale = x ? *x : Riga(n);
    }
    m_mod.valori = m_mod.originale;
    m_mod.cambiati = QVector<bool>(n, false);
}

void ModelloRighe::impostaValore(qint64 r, int c, const QVariant& v) {
    iniziaRiga(r);
    if (c < 0 || c >= m_colonne.size())
        return;
    QVariant valore = v;
    if (v.typeId() == QMetaType::QString && m_colonne[c].tipo != Tipo::Testo) {
        bool ok = false;
        const QVariant conv = daTesto(c, v.toString(), &ok);
        if (ok)
            valore = conv;
    }
    m_mod.valori[c] = valore;
    const QVariant& o = m_mod.originale[c];
    m_mod.cambiati[c] = m_mod.nuova ? !Nullo(valore) : !StessoValore(o, valore);
    const QModelIndex i = index(int(m_mod.riga), c);
    emit dataChanged(i, i);
}

void ModelloRighe::annullaRiga() {
    if (m_mod.riga < 0)
        return;
    const qint64 r = m_mod.riga;
    m_mod = {};
    emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
    if (m_spostata) { // the list moved while the row was being edited
        m_spostata = false;
        segnalaSpostamento();
    }
}

ModelloRighe::Riga ModelloRighe::rileggiPerChiave(const QVariantList& chiave, bool* trovata) const {
    const Istruzione s = m_lista.rileggi(chiave);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    Riga r;
    *trovata = false;
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    if (q.next()) {
        const int n = q.record().count();
        r.resize(n);
        for (int i = 0; i < n; ++i)
            r[i] = q.value(i);
        *trovata = true;
    } else if (q.lastError().isValid()) {
        erroreSql(q, QStringLiteral("Griglia"));
    }
    q.finish();
    return r;
}

void ModelloRighe::esegui(QSqlQuery& q, const Istruzione& s, const QString& sorgente) const {
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, sorgente);
}

void ModelloRighe::scriviRiga() {
    if (m_mod.riga < 0 || !modificata())
        return;
    if (!scrivibile())
        throw Errore(NumErrLista::NonAggiornabile, QStringLiteral("La lista non si può aggiornare"),
                     QStringLiteral("Griglia"));
    const qint64 r = m_mod.riga;
    QSqlQuery q(m_db);
    if (m_mod.nuova) {
        esegui(q, m_lista.inserimento(m_mod.valori), QStringLiteral("Griglia"));
    } else {
        const Istruzione s = m_lista.aggiornamento(m_mod.originale, m_mod.valori, m_mod.cambiati);
        if (s.testo.isEmpty()) { // only read-only columns changed
            annullaRiga();
            return;
        }
        esegui(q, s, QStringLiteral("Griglia"));
        if (q.numRowsAffected() == 0) {
            bool trovata = false;
            const Riga nuova = rileggiPerChiave(chiaveDi(m_mod.originale), &trovata);
            m_mod = {};
            if (trovata)
                fissaRiga(r, nuova);
            emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
            if (trovata)
                throw Errore(NumErrLista::RigaModificata,
                             QStringLiteral("La riga è stata modificata da un'altra postazione "
                                            "dopo essere stata letta"),
                             QStringLiteral("Griglia"));
            throw Errore(NumErrLista::RigaCancellata,
                         QStringLiteral("La riga è stata cancellata da un'altra postazione"),
                         QStringLiteral("Griglia"));
        }
    }
    q.finish();
    collocaRigaScritta(r);
}

void ModelloRighe::collocaRigaScritta(qint64 r) {
    // A read that fails from here on (a damaged page) leaves the row as
    // written in the list and is told to the operator afterwards, never
    // taken for a failed write that could be saved twice.
    std::optional<Errore> erroreRilettura;
    bool trovata = false;
    Riga letta;
    try {
        letta = rileggiPerChiave(chiaveDi(m_mod.valori), &trovata);
    } catch (const Errore& e) {
        erroreRilettura = e;
        trovata = false;
    }
    if (!trovata)
        letta = m_mod.valori;
    const bool nuova = m_mod.nuova;
    m_mod = {};
    const auto restaNellaLista = [&](const QVariantList& chiave) {
        if (erroreRilettura)
            return false;
        try {
            return nellaLista(chiave);
        } catch (const Errore& e) {
            erroreRilettura = e;
            return false; // not known: the count is taken again
        }
    };
    if (nuova) {
        if (!totaleNoto())
            m_scrittaDuranteConteggio = true;
        const int pos = int(totale());
        beginInsertRows({}, pos, pos);
        m_cache.aggiungi(letta);
        fineInserimento();
    } else if (r < righeDb()) {
        fissaRiga(r, letta, !totaleNoto() && restaNellaLista(chiaveDi(letta)));
    } else {
        m_cache.sostituisciAggiunta(r - righeDb(), letta);
    }
    emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
    if (m_spostata) { // the list moved while the row was being edited
        m_spostata = false;
        segnalaSpostamento();
    }
    if (erroreRilettura)
        segnalaErrore(*erroreRilettura);
}

void ModelloRighe::eliminaRiga(qint64 r) {
    if (r < 0 || r >= totale())
        return;
    if (!scrivibile())
        throw Errore(NumErrLista::NonAggiornabile, QStringLiteral("La lista non si può aggiornare"),
                     QStringLiteral("Griglia"));
    const Riga* x = riga(r);
    if (!x)
        throw Errore(NumErr::NessunRecordCorrente, QStringLiteral("Nessun record corrente"),
                     QStringLiteral("Griglia"));
    const Riga letta = *x;
    QSqlQuery q(m_db);
    esegui(q, m_lista.cancellazione(letta), QStringLiteral("Griglia"));
    const bool cancellata = q.numRowsAffected() > 0;
    q.finish();
    if (!cancellata) {
        bool trovata = false;
        const Riga nuova = rileggiPerChiave(chiaveDi(letta), &trovata);
        if (trovata) {
            if (r < righeDb())
                fissaRiga(r, nuova);
            else
                m_cache.sostituisciAggiunta(r - righeDb(), nuova);
            emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
            throw Errore(NumErrLista::RigaModificata,
                         QStringLiteral("La riga è stata modificata da un'altra postazione "
                                        "dopo essere stata letta"),
                         QStringLiteral("Griglia"));
        }
    }
    if (m_mod.riga == r)
        m_mod = {};
    rileggi();
}

} // namespace quarvel::listcmd
