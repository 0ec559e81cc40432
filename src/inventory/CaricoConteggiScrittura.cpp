// The counts load's writing: the rows waiting written in the order of the
// inventory's key, in one transaction or else a row at a time, waiting for
// a lock another connection holds.
#include "inventory/CaricoConteggi.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>

namespace quarvel::inventario {

namespace {

// Rows written with one statement: many on the server, where a statement
// costs a round trip; a few on SQLite, whose driver binds a statement's
// parameters in a time that grows with the square of their number.
int RighePerIstruzione(bool server) {
    return server ? 5000 : 25;
}

// With nobody to tell, a load waits this long for a lock before it stops.
constexpr qint64 MassimaAttesaSenzaFinestra = 60000;

} // namespace

QSqlQuery& CaricoConteggi::Istruzione(const QString& sql) {
    auto it = m_istruzioni.find(sql);
    if (it == m_istruzioni.end()) {
        if (m_istruzioni.size() > 16) // the odd sizes of the last blocks
            m_istruzioni.clear();
        it = m_istruzioni.emplace(sql, QSqlQuery(m_db)).first;
        it->second.setForwardOnly(true);
        if (!it->second.prepare(sql)) {
            const QSqlError e = it->second.lastError();
            m_istruzioni.erase(it);
            throw e;
        }
    }
    return it->second;
}

bool CaricoConteggi::Occupato(const QSqlError& e) const {
    const QString codice = e.nativeErrorCode();
    const QString testo = e.databaseText();
    if (!m_pg) {
        // SQLITE_BUSY, SQLITE_LOCKED and their extended codes
        bool numero = false;
        const int n = codice.toInt(&numero);
        return (numero && ((n & 0xff) == 5 || (n & 0xff) == 6)) ||
               testo.contains(QLatin1String("database is locked")) ||
               testo.contains(QLatin1String("database table is locked"));
    }
    // lock_not_available (the lock timeout), deadlock, serialization; the
    // ODBC driver hides the state, its text names the cause
    return codice == QLatin1String("55P03") || codice == QLatin1String("40P01") ||
           codice == QLatin1String("40001") || testo.contains(QLatin1String("55P03")) ||
           testo.contains(QLatin1String("lock timeout")) ||
           testo.contains(QLatin1String("deadlock detected"));
}

bool CaricoConteggi::AttendiBlocco(EsitoCarico& esito, const QString& causa) {
    esito.attesa = QStringLiteral("Il database è occupato da un'altra connessione: il caricamento "
                                  "attende che si liberi.");
    bool avanti = true;
    if (avanzamento) {
        avanti = Avanza(esito, true);
    } else {
        m_attesoFinora += m_attesaBlocco;
        avanti = m_attesoFinora < MassimaAttesaSenzaFinestra;
    }
    if (avanti) {
        // the database may answer at once: the next attempt not before a while
        QThread::msleep(quint32(std::min(m_attesaBlocco, 100)));
        return true;
    }
    esito.attesa.clear();
    esito.fermato = true;
    esito.errore =
        QStringLiteral("Il database è occupato da un'altra connessione (%1): caricamento "
                       "fermato, le righe lette dopo l'ultima scrittura non sono state "
                       "caricate.")
            .arg(causa);
    return false;
}

bool CaricoConteggi::Rileggibile() const {
    // a pipe cannot go back; a text-mode device does not count bytes as the file does
    return m_file && !m_file->isSequential() && !m_file->isTextModeEnabled();
}

QByteArray CaricoConteggi::Grezza(const Pendente& p) {
    if (!p.grezza.isEmpty() || p.inizio < 0 || !Rileggibile())
        return p.grezza;
    // read again where it was; the reading of the file goes on where it was
    const qint64 qui = m_file->pos();
    QByteArray g;
    if (m_file->seek(p.inizio))
        g = m_file->read(p.lunghezza);
    m_file->seek(qui);
    return g;
}

void CaricoConteggi::Svuota() {
    if (m_tuttiInMemoria) {
        for (const qint32 i : std::as_const(m_attesa)) {
            m_pendenti[i].righe = 0;
            m_pendenti[i].grezza.clear();
        }
    } else {
        m_pendenti.clear();
        m_posizione.clear();
    }
    m_attesa.clear();
    m_righeDaScrivere = 0;
}

QVector<const CaricoConteggi::Pendente*> CaricoConteggi::RigheInOrdine() {
    // In the order of the articles, as the inventory's key orders them:
    // each page of its index is written once, not once per row.
    QVector<const Pendente*> righe;
    righe.reserve(m_attesa.size());
    if (m_tuttiInMemoria) {
        // the articles in memory are already in that order
        std::sort(m_attesa.begin(), m_attesa.end());
        for (const qint32 i : std::as_const(m_attesa))
            righe << &m_pendenti.at(i);
    } else {
        QVector<std::pair<QString, qint32>> ordine;
        ordine.reserve(m_posizione.size());
        for (auto it = m_posizione.cbegin(); it != m_posizione.cend(); ++it)
            ordine.append({it.key(), it.value()});
        std::sort(ordine.begin(), ordine.end());
        for (const auto& [chiave, i] : std::as_const(ordine))
            righe << &m_pendenti.at(i);
    }
    return righe;
}

bool CaricoConteggi::ScriviUnaAllaVolta(const QVector<const Pendente*>& righe, FileScarti& scarti,
                                        EsitoCarico& esito) {
    // Again a row at a time: only the rows the database refuses are refused.
    for (const Pendente* p : std::as_const(righe)) {
        for (;;) {
            QSqlError e;
            if (Scrivi({p}, &e)) {
                esito.righeScritte += p->righe;
                break;
            }
            if (Occupato(e)) {
                if (AttendiBlocco(esito, e.text()))
                    continue;
                return false;
            }
            if (ConnessionePersa()) {
                esito.errore = ConnessioneInterrotta().arg(e.text());
                return false;
            }
            if (!Scarta(Grezza(*p), scarti, esito)) {
                return false;
            }
            RigaNonCaricata r;
            r.causa = RigaNonCaricata::Causa::RifiutataDalDatabase;
            r.numero = p->numero;
            r.codice = p->articolo;
            r.testo = e.text();
            Avvisa(r, esito);
            break;
        }
    }
    return true;
}

bool CaricoConteggi::Scarica(FileScarti& scarti, EsitoCarico& esito) {
    if (m_attesa.isEmpty())
        return true;
    const QVector<const Pendente*> righe = RigheInOrdine();

    for (;;) {
        QString errore;
        bool occupato = false;
        if (ScriviTransazione(righe, esito, &errore, &occupato)) {
            // every line of a known article went in (a later line of the same
            // article over an earlier one)
            for (const Pendente* p : std::as_const(righe))
                esito.righeScritte += p->righe;
            Svuota();
            return true;
        }
        if (occupato) {
            if (AttendiBlocco(esito, errore))
                continue;
            Svuota();
            return false;
        }
        if (ConnessionePersa()) {
            esito.errore = ConnessioneInterrotta().arg(errore);
            Svuota();
            return false;
        }
        break;
    }
    const bool ok = ScriviUnaAllaVolta(righe, scarti, esito);
    Svuota();
    return ok;
}

bool CaricoConteggi::ScriviTransazione(const QVector<const Pendente*>& righe, EsitoCarico& esito,
                                       QString* errore, bool* occupato) {
    QSqlError e;
    bool ok = m_db.transaction();
    if (!ok)
        e = m_db.lastError();
    const int perIstruzione = RighePerIstruzione(m_pg);
    for (qsizetype i = 0; ok && i < righe.size(); i += perIstruzione) {
        ok = Scrivi(righe.mid(i, perIstruzione), &e);
        // the window stays alive; a stop asked now comes after this write
        if (ok && !Avanza(esito, false))
            m_fermare = true;
    }
    if (ok && !m_db.commit()) {
        ok = false;
        e = m_db.lastError();
    }
    if (ok) {
        if (!esito.attesa.isEmpty()) {
            // the lock is free again: the window says so
            esito.attesa.clear();
            if (!Avanza(esito, true))
                m_fermare = true;
        }
        return true;
    }
    m_db.rollback();
    *errore = e.text();
    *occupato = Occupato(e);
    return false;
}

} // namespace quarvel::inventario
