// The reading of a SELECT's list and tables: what the record sets resolve
// "t.*" and the fields' tables from.

#include "Traduttore.h"

#include "TraduttoreInterno.h"

#include "suite/Errore.h"

namespace quarvel::dati {

using traduttore::ParoleConfine;

namespace {

// The tokens of a SELECT without the blanks, a name in brackets as a word.
class TokenSelect {
public:
    explicit TokenSelect(const std::vector<Token>& tutti) {
        for (auto& x : tutti)
            if (x.tipo != TipoToken::Spazio)
                t.push_back(x.tipo == TipoToken::Nome
                                ? Token{TipoToken::Parola, x.testo.mid(1, x.testo.size() - 2)}
                                : x);
    }
    bool parola(size_t k, const char* s) const {
        return k < t.size() && t[k].tipo == TipoToken::Parola &&
               t[k].testo.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
    }
    bool simbolo(size_t k, const char* s) const {
        return k < t.size() && t[k].tipo == TipoToken::Simbolo && t[k].testo == QLatin1String(s);
    }

    std::vector<Token> t;
};

// One item of the select list: a column, qualified or not, "*", or an
// expression (no name), with its alias.
VoceSelect Voce(const std::vector<Token>& voce) {
    VoceSelect v;
    size_t n = voce.size();
    if (n >= 2 && voce[n - 2].tipo == TipoToken::Parola &&
        voce[n - 2].testo.compare(QLatin1String("AS"), Qt::CaseInsensitive) == 0) {
        v.alias = voce[n - 1].testo;
        n -= 2;
    }
    if (n == 1 && voce[0].tipo == TipoToken::Parola) {
        v.nome = voce[0].testo;
    } else if (n == 1 && voce[0].testo == QLatin1String("*")) {
        v.nome = QStringLiteral("*");
    } else if (n == 3 && voce[0].tipo == TipoToken::Parola && voce[1].testo == QLatin1String(".")) {
        v.qualificatore = voce[0].testo;
        v.nome = voce[2].testo;
    } else {
        v.nome = QString(); // an expression
    }
    return v;
}

// The select list from k up to FROM at depth 0, k left on FROM.  False
// when there is no FROM.
bool LeggiVoci(const TokenSelect& s, size_t& k, std::vector<VoceSelect>& voci) {
    int profondita = 0;
    std::vector<Token> voce;
    for (; k < s.t.size(); ++k) {
        if (s.simbolo(k, "("))
            ++profondita;
        else if (s.simbolo(k, ")"))
            --profondita;
        if (profondita == 0 && s.parola(k, "FROM"))
            break;
        if (profondita == 0 && s.simbolo(k, ",")) {
            voci.push_back(Voce(voce));
            voce.clear();
            continue;
        }
        voce.push_back(s.t[k]);
    }
    if (k >= s.t.size())
        return false;
    voci.push_back(Voce(voce));
    return true;
}

// FROM from k: table [AS alias] separated by joins, commas and parentheses,
// up to the clause that follows.
void LeggiTabelle(const TokenSelect& s, size_t k,
                  std::vector<std::pair<QString, QString>>& tabelle) {
    static const QSet<QString> fine = {QStringLiteral("WHERE"), QStringLiteral("ORDER"),
                                       QStringLiteral("GROUP"), QStringLiteral("HAVING"),
                                       QStringLiteral("UNION"), QStringLiteral("LIMIT")};
    const auto& t = s.t;
    bool attesaTabella = true;
    for (; k < t.size(); ++k) {
        const Token& x = t[k];
        if (x.tipo == TipoToken::Parola && fine.contains(x.testo.toUpper()))
            break;
        if (s.simbolo(k, "(") || s.simbolo(k, ")"))
            continue;
        if (s.simbolo(k, ",") || s.parola(k, "JOIN")) {
            attesaTabella = true;
            continue;
        }
        if (s.parola(k, "ON")) {
            attesaTabella = false;
            continue;
        }
        if (attesaTabella && x.tipo == TipoToken::Parola) {
            QString tabella = x.testo, alias = x.testo;
            if (s.parola(k + 1, "AS") && k + 2 < t.size()) {
                alias = t[k + 2].testo;
                k += 2;
            } else if (k + 1 < t.size() && t[k + 1].tipo == TipoToken::Parola &&
                       !ParoleConfine().contains(t[k + 1].testo.toUpper())) {
                alias = t[k + 1].testo;
                k += 1;
            }
            tabelle.emplace_back(alias, tabella);
            attesaTabella = false;
        }
    }
}

} // namespace

AnalisiSelect AnalizzaSelect(const QString& sql) {
    AnalisiSelect a;
    std::vector<Token> tutti;
    try {
        tutti = Tokenizza(sql);
    } catch (const Errore&) {
        return a;
    }
    const TokenSelect s(tutti);
    size_t k = 0;
    if (!s.parola(k, "SELECT"))
        return a;
    ++k;
    if (s.parola(k, "DISTINCT") || s.parola(k, "ALL"))
        ++k;
    if (s.parola(k, "TOP"))
        k += 2;
    if (!LeggiVoci(s, k, a.voci))
        return a;
    LeggiTabelle(s, k + 1, a.tabelle);
    a.valida = !a.tabelle.empty();
    return a;
}

} // namespace quarvel::dati
