// The record set's count: started in the background when the list opens,
// its total put in place when it arrives.

#include "listcmd/ModelloRigheInterno.h"
#include "suite/Utilita.h"

#include "listcmd/Conteggio.h"

#include <QTimer>

namespace quarvel::listcmd {

using namespace dettaglio;

namespace {

// The pause after which a count spoiled by a row written meanwhile starts again.
constexpr int PausaDopoScrittura = 500;
// Rows outside a list up to which the list is counted as a difference (the
// rows outside are read one by one, all the table's rows from its pages).
constexpr qint64 FuoriPerDifferenza = 100000;

} // namespace

void ModelloRighe::conta() {
    fermaConteggio();
    m_erroreConteggio.reset();
    // A first window that comes back short is the whole list.
    QVector<Riga> prime = leggiRighe(0, RigheFinestra, false);
    const qint64 lette = prime.size();
    m_cache.inizia(std::move(prime));
    if (lette < RigheFinestra)
        return;
    if (Conteggio::Possibile(m_db)) {
        m_cache.iniziaConteggio();
        if (m_ritardoConteggio > 0)
            m_attesaConteggio->start(m_ritardoConteggio);
        else
            avviaConteggio();
        return;
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(testoConteggio()) || !q.next())
        erroreSql(q, QStringLiteral("ApriSql"));
    const qint64 n = q.value(0).toLongLong();
    if (q.lastError().isValid())
        erroreSql(q, QStringLiteral("ApriSql"));
    m_cache.impostaTotale(n);
}

void ModelloRighe::avviaConteggio() {
    m_fisseAlConteggio = m_cache.postiFissi().size();
    m_scrittaDuranteConteggio = false;
    // On the server a count that reads the whole base table compares the
    // codes as written first (see SqlLista::conteggio); a count the
    // server reads through an index keeps the condition the index serves.
    // On SQLite a list of most of a table's rows is counted as all the
    // table's rows (read from its pages) less the few outside the list.
    const QString testo = testoConteggio();
    const QString esclusi = condizioneEsclusi();
    Differenza differenza;
    if (m_db.driverName() == QLatin1String("QSQLITE")) {
        const QStringList perDifferenza = m_lista.conteggioPerDifferenza(
            m_fromConteggio, esclusi, chiaveTabella(m_lista.analisi().tabellaBase).value(0),
            FuoriPerDifferenza);
        if (perDifferenza.size() == 2)
            differenza = {perDifferenza[0], perDifferenza[1], FuoriPerDifferenza};
    }
    m_conteggio = std::make_unique<Conteggio>(
        canale(), m_db, testo, m_lista.conteggio(m_fromConteggio, esclusi, m_senzaCaso),
        NomeTabella(m_db, m_lista.analisi().tabellaBase), differenza);
    connect(m_conteggio.get(), &Conteggio::arrivato, this, &ModelloRighe::conteggioArrivato);
}

CanaleConteggi& ModelloRighe::canale() {
    if (!m_canale)
        m_canale = std::make_unique<CanaleConteggi>();
    return *m_canale;
}

void ModelloRighe::fermaConteggio() {
    m_attesaConteggio->stop();
    m_conteggio.reset();
}

void ModelloRighe::attendiConteggio() {
    if (m_attesaConteggio->isActive()) {
        m_attesaConteggio->stop();
        avviaConteggio();
    }
    while (m_conteggio) {
        m_conteggio->attendi();
        conteggioArrivato();
    }
}

void ModelloRighe::conteggioArrivato() {
    if (!m_conteggio || !m_conteggio->finito())
        return;
    Conteggio* c = m_conteggio.release();
    c->attendi();
    const bool riuscito = c->riuscito();
    const qint64 contate = c->totale();
    const QString errore = c->errore();
    c->deleteLater(); // this may run inside its own signal
    if (totaleNoto())
        return;
    if (!riuscito) {
        // Counted here: the second connection could not do it (a table
        // only this connection sees, a server refusing one more login).
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.exec(testoConteggio()) || !q.next()) {
            m_erroreConteggio = ErroreMotore(m_db, q.lastError(), QStringLiteral("ApriSql"));
            // Not the rows read so far as the whole list: the list stays
            // uncounted (more rows are read from the top as the view asks),
            // and the operator learns why.
            qWarning("Conteggio della lista non riuscito: %s / %s", qPrintable(errore),
                     qPrintable(q.lastError().text()));
            segnalaErrore(*m_erroreConteggio);
            return;
        }
        applicaTotale(q.value(0).toLongLong() + m_cache.postiFissi().size());
        emit totaleArrivato();
        return;
    }
    if (m_scrittaDuranteConteggio) {
        // A row written while counting may or may not be in the count: it
        // is counted again, once the writing pauses (rows written one after
        // the other, as a scanner gives them, would keep a count of the
        // whole list running all the time beside them).
        m_attesaConteggio->start(std::max(m_ritardoConteggio, PausaDopoScrittura));
        return;
    }
    // the rows written here before were left out of the count
    applicaTotale(contate + m_fisseAlConteggio);
    emit totaleArrivato();
}

void ModelloRighe::spostaModifica(qint64 da, qint64 quante) {
    if (quante != 0 && m_mod.riga >= da)
        m_mod.riga += quante;
}

void ModelloRighe::applicaTotale(qint64 totale) {
    const qint64 buco = m_cache.buco(totale);
    if (buco < 0) {
        // The list lost rows while counting: read again from the total.
        beginResetModel();
        if (m_mod.riga >= m_cache.testa())
            m_mod = {};
        svuotaCache();
        m_cache.impostaTotale(std::max<qint64>(totale, 0));
        fineAzzeramento();
        return;
    }
    // The rows between those read from the top and those read from the end.
    const qint64 testa = m_cache.testa();
    if (buco > 0)
        beginInsertRows({}, int(testa), int(testa + buco - 1));
    spostaModifica(testa, buco);
    m_cache.accogliTotale(totale);
    if (buco > 0)
        fineInserimento();
}

} // namespace quarvel::listcmd
