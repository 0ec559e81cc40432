// Fuzz target of the Access-dialect translator.  Whatever the text:
//  - the translator never crashes: it translates or raises Errore;
//  - every single-quoted literal of the input reaches the output unchanged
//    and in the same order;
//  - a text made only of tokens the engines read the same way (names that
//    are no Access keyword, numbers, literals, plain operators) comes back
//    unchanged;
//  - the translated text translates again without error (no open literal,
//    no comment marker slipped in) and keeps its literals.

#include "data/Traduttore.h"

#include "suite/Errore.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quarvel;
using namespace quarvel::dati;

namespace {

QStringList Letterali(const std::vector<Token>& t) {
    QStringList l;
    for (const auto& x : t)
        if (x.tipo == TipoToken::Testo)
            l << x.testo;
    return l;
}

bool Neutro(const std::vector<Token>& t) {
    static const QSet<QString> parole = {
        "TOP",         "IIF",        "DELETE", "TRUE", "FALSE",  "UCASE",     "LCASE",
        "LEN",         "MID",        "NZ",     "DATE", "NOW",    "TRANSFORM", "PIVOT",
        "DISTINCTROW", "PARAMETERS", "LIMIT",  "CASE", "PERCENT"};
    for (const auto& x : t) {
        switch (x.tipo) {
        case TipoToken::TestoDoppio:
        case TipoToken::Nome:
        case TipoToken::Data:
            return false;
        case TipoToken::Parola:
            if (parole.contains(x.testo.toUpper()))
                return false;
            break;
        case TipoToken::Simbolo:
            if (x.testo == "&" || x.testo == "-" || x.testo == "/" || x.testo == "*" ||
                x.testo == ";")
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

#define Verifica(condizione) Controlla((condizione), #condizione)

void Controlla(bool condizione, const char* testo) {
    if (!condizione) {
        std::fprintf(stderr, "fuzz_sql: %s\n", testo);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    if (n < 1)
        return 0;
    const Dialetto d = (dati[0] & 1) ? Dialetto::PostgreSQL : Dialetto::SQLite;
    const QString sql =
        QString::fromUtf8(reinterpret_cast<const char*>(dati + 1), qsizetype(n - 1));
    std::vector<Token> ingresso;
    QString uscita;
    try {
        ingresso = Tokenizza(sql);
        uscita = Traduci(sql, d);
    } catch (const Errore&) {
        return 0;
    }
    QString ricomposto;
    for (const auto& t : ingresso)
        ricomposto += t.testo;
    Verifica(ricomposto == sql);

    std::vector<Token> tokenUscita;
    try {
        tokenUscita = Tokenizza(uscita);
    } catch (const Errore&) {
        Verifica(false);
    }
    // Literals of the input, in order, among those of the output (the
    // translation only adds '' of its own, from "&" and from #dates#).
    const QStringList li = Letterali(ingresso), lu = Letterali(tokenUscita);
    qsizetype k = 0;
    for (const QString& l : li) {
        while (k < lu.size() && lu[k] != l)
            ++k;
        Verifica(k < lu.size());
        ++k;
    }
    if (Neutro(ingresso))
        Verifica(uscita == sql);
    // No comment marker outside literals.
    for (size_t i = 0; i + 1 < tokenUscita.size(); ++i) {
        const auto& a = tokenUscita[i];
        const auto& b = tokenUscita[i + 1];
        if (a.tipo == TipoToken::Simbolo && b.tipo == TipoToken::Simbolo)
            Verifica(!((a.testo == "-" && b.testo == "-") || (a.testo == "/" && b.testo == "*")));
    }
    return 0;
}
