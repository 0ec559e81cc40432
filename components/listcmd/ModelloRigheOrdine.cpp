// The record set's sort: how the windows of a list opened again in another
// order (a click on a column's title) read the base table.
//
// A window of a list sorted by a column no index keeps in order costs the
// engine a read of every row of the list, whatever window it is: the rows
// are compared with the first ones found so far, and the window's are kept.
// When the list holds most of the base table, reading the whole table in
// its own order costs less than finding the list's rows one by one through
// the index of its condition (SQLite picks that index whenever the
// condition names its first column, the rows then fetched from all over the
// file), and on PostgreSQL a code compared without regard to case costs a
// folding of its case at each of the million rows where comparing the text
// as written first finds the same rows (see SqlLista::conteggio).  Reading
// the sort's keys into memory instead was measured slower for the first
// window than the engine's own sort: a million keys through the driver take
// longer than the engine's pass over the same rows.

#include "listcmd/ModelloRigheInterno.h"

#include <QSqlQuery>

#include <algorithm>

namespace quarvel::listcmd {

using namespace dettaglio;

namespace {

// Fewer rows than this are sorted fast whatever the way to them: the plan is
// not even asked for.
constexpr qint64 RigheLetturaIntera = 20000;

bool ESqlite(const QSqlDatabase& db) {
    return db.driverName().startsWith(QLatin1String("QSQLITE"));
}

// The lines of the engine's plan for sql (its text column); empty when the
// engine gives none.
QStringList Piano(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QStringList righe;
    const bool sqlite = ESqlite(db);
    if (!q.exec((sqlite ? QStringLiteral("EXPLAIN QUERY PLAN ") : QStringLiteral("EXPLAIN ")) +
                sql))
        return righe;
    while (q.next())
        righe << q.value(sqlite ? 3 : 0).toString();
    return righe;
}

// A line of the plan names the table (as a whole word) after the words given.
bool NelPiano(const QStringList& piano, const QString& parole, const QString& tabella) {
    const QString cercato = parole + tabella;
    return std::any_of(piano.begin(), piano.end(), [&](const QString& riga) {
        qsizetype i = -1;
        while ((i = riga.indexOf(cercato, i + 1, Qt::CaseInsensitive)) >= 0) {
            const qsizetype dopo = i + cercato.size();
            if (dopo == riga.size() || riga[dopo] == QLatin1Char(' '))
                return true;
        }
        return false;
    });
}

} // namespace

qint64 ModelloRighe::righeDellaStessaLista(const QSqlDatabase& db, const QString& sql) const {
    if (!m_aperta || !totaleNoto() || db.connectionName() != m_db.connectionName() ||
        sql.trimmed().isEmpty())
        return -1;
    const AnalisiSql& prima = m_lista.analisi();
    AnalisiSql dopo;
    try {
        dopo = Analizza(Traduci(db, sql));
    } catch (const Errore&) {
        return -1; // the list's opening says why
    }
    if (!dopo.valida || dopo.from != prima.from || dopo.where != prima.where ||
        dopo.gruppo != prima.gruppo || dopo.distinta != prima.distinta)
        return -1;
    return righeDb();
}

void ModelloRighe::scegliLetturaIntera(qint64 righe) {
    if (righe < RigheLetturaIntera || !m_lista.giunzioneDopo())
        return;
    const QString tabella = NomeTabella(m_db, m_lista.analisi().tabellaBase);
    const QString alias = m_lista.analisi().aliasBase;
    if (EPostgres(m_db)) {
        // the server reads the whole table for the sort: its condition's
        // codes are compared as written first
        const QStringList senzaCaso = senzaCasoTabella(m_lista.analisi().tabellaBase);
        if (!senzaCaso.isEmpty() && NelPiano(Piano(m_db, m_lista.ordinamentoBase()),
                                             QStringLiteral("Seq Scan on "), tabella))
            m_lista.impostaLetturaIntera(false, senzaCaso);
        return;
    }
    if (!ESqlite(m_db))
        return;
    // The engine sorts the rows itself (no index gives the order) and finds
    // them through an index of the condition ...
    const QStringList piano = Piano(m_db, m_lista.ordinamentoBase());
    const bool ordina = piano.contains(QStringLiteral("USE TEMP B-TREE FOR ORDER BY"));
    const bool conIndice = NelPiano(piano, QStringLiteral("SEARCH "), alias) ||
                           NelPiano(piano, QStringLiteral("SEARCH "), tabella);
    if (!ordina || !conIndice)
        return;
    // ... while the list holds at least half of the table's rows (the
    // highest rowid: at least as many as the table holds, found at once)
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT MAX(rowid) FROM \"%1\"").arg(tabella)) || !q.next())
        return; // a table without rowids: read as before
    const qint64 massimo = q.value(0).toLongLong();
    if (massimo > 0 && righe * 2 >= massimo)
        m_lista.impostaLetturaIntera(true, {});
}

} // namespace quarvel::listcmd
