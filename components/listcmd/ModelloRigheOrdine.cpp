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

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

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

// ---- the windows far from both ends --------------------------------------------
//
// A window at place k of a list sorted by a column no index keeps in order
// costs the engine a sort of the k rows before it (half a million rows in
// the middle of a list of a million: tens of seconds).  The column's values,
// read once (a number each, eight bytes a row: 8 MB for a million rows) and
// sorted here, give the value x of the window's first row and how many rows
// come before the first row of that value; the window is then read from the
// rows of values from x on (one pass of the table, as the first window's),
// past the few rows of x before it.  The engine still gives the rows and
// their order: the values in memory only say where to start.  Only columns
// of numbers (a text's order is the engine's collation), only while no row
// was written here (the rows written here are left out of the reads), and
// only for a list of up to ValoriMassimi rows (more: the windows are read as
// before).  A list read again reads the values again when it needs them.

namespace quarvel::listcmd {

namespace {

// Places closer than this to the end the window is read from are read as
// usual: the engine's sort of so few rows costs no more than a pass.
constexpr qint64 RigheLontane = 16 * ModelloRighe::RigheFinestra;
// At most this many values in memory (32 MB).
constexpr qint64 ValoriMassimi = 4000000;

// The list's order: one term of a column, then the key alone (the order
// made total); nullopt for any other.
std::optional<TermineOrdine> TermineDelleChiavi(const SqlLista& lista) {
    const QList<TermineOrdine> termini = TerminiOrdine(lista.ordine());
    if (termini.size() < 2 || lista.chiavi().isEmpty())
        return std::nullopt;
    auto chiave = [&](const TermineOrdine& t) {
        const QString e = NomeNudo(t.espressione);
        const qsizetype punto = e.lastIndexOf(QLatin1Char('.'));
        return lista.chiavi().contains(NomeNudo(e.mid(punto + 1)), Qt::CaseInsensitive);
    };
    if (chiave(termini[0]))
        return std::nullopt;
    for (qsizetype i = 1; i < termini.size(); ++i)
        if (!chiave(termini[i]))
            return std::nullopt;
    return termini[0];
}

} // namespace

bool ModelloRighe::valoriOrdineInMemoria() const {
    return m_valori && m_valori->usabili;
}

const ModelloRighe::ValoriOrdine* ModelloRighe::valoriOrdine() const {
    if (!m_valori) {
        m_valori = std::make_unique<ValoriOrdine>();
        const std::optional<TermineOrdine> t = TermineDelleChiavi(m_lista);
        if (!t || righeDb() > ValoriMassimi)
            return nullptr;
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.exec(m_lista.valoriBase(t->espressione)))
            return nullptr; // the window is read as usual, and says why it fails
        std::vector<double>& valori = m_valori->valori;
        valori.reserve(size_t(righeDb()));
        constexpr double Esatti = 9007199254740992.0; // 2^53: integers a double keeps
        while (q.next()) {
            const QVariant x = q.value(0);
            if (x.isNull()) {
                ++m_valori->nulli;
                continue;
            }
            const int tipo = x.typeId();
            const bool numero = tipo == QMetaType::Double || tipo == QMetaType::Int ||
                                tipo == QMetaType::LongLong || tipo == QMetaType::UInt ||
                                tipo == QMetaType::ULongLong;
            const double d = x.toDouble();
            if (!numero || !std::isfinite(d) || (tipo != QMetaType::Double && std::abs(d) > Esatti))
                return nullptr;
            valori.push_back(d);
            if (qint64(valori.size()) > ValoriMassimi)
                return nullptr;
        }
        if (q.lastError().isValid()) {
            valori = {};
            return nullptr;
        }
        std::sort(valori.begin(), valori.end());
        m_valori->usabili = true;
    }
    return m_valori->usabili ? m_valori.get() : nullptr;
}

std::optional<Istruzione> ModelloRighe::finestraDaValori(qint64 offset, qint64 quante,
                                                         bool dallaFine) const {
    const bool postgres = EPostgres(m_db);
    if (offset < RigheLontane || !m_lista.giunzioneDopo() || !totaleNoto() ||
        (!postgres && !ESqlite(m_db)) || !m_cache.postiFissi().isEmpty() ||
        !condizioneEsclusi().isEmpty())
        return std::nullopt;
    const std::optional<TermineOrdine> t = TermineDelleChiavi(m_lista);
    const ValoriOrdine* v = t ? valoriOrdine() : nullptr;
    if (!v)
        return std::nullopt;
    const qint64 numeri = qint64(v->valori.size());
    if (numeri + v->nulli != righeDb())
        return std::nullopt; // the list changed since the values were read
    // The order the window is read in: the Nulls first in SQLite's
    // ascending order and in PostgreSQL's descending one.
    const bool discendente = t->discendente != dallaFine;
    const bool nulliPrima = postgres ? discendente : !discendente;
    const QString& e = t->espressione;
    qint64 k = offset;
    Istruzione s;
    if (nulliPrima) {
        if (k < v->nulli)
            return std::nullopt; // among the Nulls: read as usual
        k -= v->nulli;
    } else if (k >= numeri) {
        s.testo =
            m_lista.finestra(k - numeri, quante, dallaFine, {}, e + QStringLiteral(" IS NULL"));
        return s;
    }
    const auto inizio = v->valori.begin();
    const double x = v->valori[size_t(discendente ? numeri - 1 - k : k)];
    // the rows before the first of value x in the order read
    const qint64 prima = discendente
                             ? numeri - (std::upper_bound(inizio, v->valori.end(), x) - inizio)
                             : std::lower_bound(inizio, v->valori.end(), x) - inizio;
    QString ancora = e + (discendente ? QStringLiteral(" <= ?") : QStringLiteral(" >= ?"));
    if (!nulliPrima)
        ancora = QStringLiteral("(%1 OR %2 IS NULL)").arg(ancora, e);
    s.testo = m_lista.finestra(k - prima, quante, dallaFine, {}, ancora);
    s.parametri << x;
    return s;
}

} // namespace quarvel::listcmd
