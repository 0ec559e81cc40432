#pragma once
// The Access dialect of the program's SQL texts, translated for SQLite and
// PostgreSQL.  The translation works on tokens, so nothing inside a string
// literal is ever changed:
//   TOP n                      -> LIMIT n at the end of its SELECT
//   IIF(c, a, b)               -> CASE WHEN c THEN a ELSE b END
//   DELETE * FROM, DELETE t.* FROM -> DELETE FROM
//   ucase / lcase / len / mid / nz -> UPPER / LOWER / LENGTH / SUBSTR / COALESCE
//   Date() / Now()             -> CURRENT_DATE / CURRENT_TIMESTAMP
//   a & b                      -> text concatenation where Null counts as empty
//   #2024-03-03#, #3/3/2024#   -> '2024-03-03'
//   True / False               -> -1 / 0
//   "text"                     -> 'text' (a double-quoted text is a literal)
//   [name]                     -> name (quoted when it is no plain name)
//   a--1, a/*b                 -> a- -1, a/ *b (no comment markers reach the engine)
// Bracketed joins and AS aliases are standard SQL and pass unchanged.
// Constructs the engines cannot take (TRANSFORM, PIVOT, DISTINCTROW, TOP n
// PERCENT, the domain functions, Format, ...) raise Errore 3085 naming them;
// a text that does not tokenise (an open literal) raises 3075.

#include <QString>
#include <QStringList>
#include <vector>

namespace quarvel::dati {

enum class Dialetto { SQLite, PostgreSQL };

enum class TipoToken {
    Spazio,
    Parola, // names and keywords
    Numero,
    Testo,       // '...' (the text as written, quotes included)
    TestoDoppio, // "..." (Access: a text literal)
    Nome,        // [ ... ] (the text as written, brackets included)
    Data,        // # ... #
    Simbolo,     // operators and punctuation, one or two characters
};

struct Token {
    TipoToken tipo;
    QString testo;
    bool operator==(const Token&) const = default;
};

// Splits the text into tokens; concatenating their texts gives the input back.
// Raises Errore 3075 for an open literal, bracket or date.
std::vector<Token> Tokenizza(const QString& sql);

QString Traduci(const QString& sql, Dialetto dialetto);

// The value of a single-quoted literal token ('it''s' -> it's).
QString ValoreTesto(const QString& letterale);

// What a SELECT text says about its columns, for fields by qualified name.
struct VoceSelect {
    QString qualificatore; // "Articoli" in Articoli.Articolo, "LivGruppi_1" in LivGruppi_1.*
    QString nome;          // column name, or "*"
    QString alias;         // AS alias
};
struct AnalisiSelect {
    bool valida = false;
    std::vector<VoceSelect> voci;
    // Tables of the FROM clause in order: (alias or name, table name).
    std::vector<std::pair<QString, QString>> tabelle;
};
AnalisiSelect AnalizzaSelect(const QString& sql);

} // namespace quarvel::dati
