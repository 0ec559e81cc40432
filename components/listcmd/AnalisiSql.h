#pragma once
// Reading a list's SELECT into its parts, so that the list can be counted,
// read a window at a time, sorted by another column and written back to its
// base table (the first table of its FROM).

#include <QList>
#include <QString>
#include <QStringList>

namespace quarvel::listcmd {

// One item of the select list.
struct VoceSelect {
    QString testo;         // as written, alias included
    QString espressione;   // without the alias
    QString nome;          // the name of the field in the result (alias or column)
    QString tabella;       // qualifier of a plain column ("MagInventari"), else empty
    QString colonna;       // the column of a plain column reference, else empty
    bool semplice = false; // a plain (possibly qualified) column reference
    bool stella = false;   // "*" or "t.*"
};

struct TermineOrdine {
    QString espressione;
    bool discendente = false;
};

struct AnalisiSql {
    bool valida = false;
    bool distinta = false; // SELECT DISTINCT
    QList<VoceSelect> voci;
    QString from;   // after FROM, up to WHERE / GROUP BY / ORDER BY
    QString where;  // the condition, without WHERE
    QString gruppo; // GROUP BY ... HAVING ..., as written
    QString ordine; // the terms, without ORDER BY
    QString tabellaBase;
    QString aliasBase; // the name the query uses for the base table

    bool raggruppata() const { return distinta || !gruppo.isEmpty(); }
};

AnalisiSql Analizza(const QString& sql);

// Splits on commas outside parentheses, quotes and brackets.
QStringList DividiVirgole(const QString& testo);
QList<TermineOrdine> TerminiOrdine(const QString& ordine);
// The ORDER BY terms as text; inverti swaps ascending and descending.
QString ComponiOrdine(const QList<TermineOrdine>& termini, bool inverti = false);
// The list's SQL with another ORDER BY (empty: none).
QString SostituisciOrdine(const QString& sql, const QString& nuovoOrdine);
// A name without its brackets or double quotes.
QString NomeNudo(const QString& nome);

// The table a qualifier of the FROM stands for (the table named with that
// alias, or the table itself); the qualifier when the FROM names none.
QString TabellaDiQualificatore(const QString& from, const QString& qualificatore);

// A FROM made of one table followed by LEFT JOINs, each ON equalities of a
// column of the joined table and a column of another table, joined by AND.
struct GiunzioneSinistra {
    QString tabella;
    QStringList colonneLegate; // the joined table's columns the ON ties, in lower case
};
struct FromGiunzioniSinistre {
    bool valido = false; // the FROM has that shape
    QString base;        // the first table, with its alias
    QList<GiunzioneSinistra> giunzioni;
};
FromGiunzioniSinistre LeggiGiunzioniSinistre(const QString& from);

// The names a condition reads (columns, qualified or not, and its words),
// string literals and function names left out.
QStringList NomiCondizione(const QString& condizione);

} // namespace quarvel::listcmd
