#include "Traduttore.h"

#include "TraduttoreInterno.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSet>

namespace quarvel::dati {

namespace traduttore {

// Words that end an operand of "&".
const QSet<QString>& ParoleConfine() {
    static const QSet<QString> p = {
        QStringLiteral("AND"),    QStringLiteral("OR"),       QStringLiteral("NOT"),
        QStringLiteral("SELECT"), QStringLiteral("FROM"),     QStringLiteral("WHERE"),
        QStringLiteral("ON"),     QStringLiteral("AS"),       QStringLiteral("BY"),
        QStringLiteral("ORDER"),  QStringLiteral("GROUP"),    QStringLiteral("HAVING"),
        QStringLiteral("THEN"),   QStringLiteral("ELSE"),     QStringLiteral("WHEN"),
        QStringLiteral("END"),    QStringLiteral("CASE"),     QStringLiteral("LIKE"),
        QStringLiteral("IS"),     QStringLiteral("IN"),       QStringLiteral("BETWEEN"),
        QStringLiteral("SET"),    QStringLiteral("VALUES"),   QStringLiteral("INTO"),
        QStringLiteral("JOIN"),   QStringLiteral("LEFT"),     QStringLiteral("RIGHT"),
        QStringLiteral("INNER"),  QStringLiteral("OUTER"),    QStringLiteral("UNION"),
        QStringLiteral("LIMIT"),  QStringLiteral("DISTINCT"), QStringLiteral("ALL"),
        QStringLiteral("ASC"),    QStringLiteral("DESC"),     QStringLiteral("UPDATE"),
        QStringLiteral("DELETE"), QStringLiteral("INSERT"),   QStringLiteral("TOP"),
    };
    return p;
}

} // namespace traduttore

using traduttore::ParoleConfine;

namespace {

const QString Sorgente = QStringLiteral("ComponenteDati.Traduci");
constexpr int ErroreSintassi = 3075;

bool InizioNome(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool CarattereNome(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

[[noreturn]] void ErroreTesto(const QString& cosa) {
    throw Errore(ErroreSintassi, QStringLiteral("Errore di sintassi nel testo SQL: %1").arg(cosa),
                 Sorgente);
}

[[noreturn]] void NonSupportato(const QString& costrutto) {
    throw Errore(NumErr::CostruttoNonSupportato,
                 QStringLiteral("Costrutto SQL non supportato: %1").arg(costrutto), Sorgente);
}

// A unit of a scope: one token, or a parenthesised group already translated.
struct Unita {
    TipoToken tipo;
    QString testo;
    bool gruppo = false; // "( ... )" translated as a whole
    bool nuovo = false;  // text the translation wrote
    QString maiuscolo() const { return testo.toUpper(); }
    bool spazio() const { return tipo == TipoToken::Spazio; }
    bool simbolo(const char* s) const {
        return !gruppo && tipo == TipoToken::Simbolo && testo == QLatin1String(s);
    }
    bool parola(const char* s) const {
        return !gruppo && tipo == TipoToken::Parola &&
               testo.compare(QLatin1String(s), Qt::CaseInsensitive) == 0;
    }
};

bool SimboloConfine(const Unita& u) {
    if (u.gruppo || u.tipo != TipoToken::Simbolo)
        return false;
    static const QSet<QString> s = {
        QStringLiteral(","),  QStringLiteral("="),  QStringLiteral("<>"), QStringLiteral("<"),
        QStringLiteral(">"),  QStringLiteral("<="), QStringLiteral(">="), QStringLiteral(";"),
        QStringLiteral("!="), QStringLiteral("&"),
    };
    return s.contains(u.testo);
}

bool Confine(const Unita& u) {
    if (SimboloConfine(u))
        return true;
    return !u.gruppo && u.tipo == TipoToken::Parola && ParoleConfine().contains(u.maiuscolo());
}

// Functions and words the engines cannot take.
const QSet<QString>& FunzioniNonSupportate() {
    static const QSet<QString> f = {
        QStringLiteral("DLOOKUP"),    QStringLiteral("DSUM"),      QStringLiteral("DCOUNT"),
        QStringLiteral("DMAX"),       QStringLiteral("DMIN"),      QStringLiteral("DAVG"),
        QStringLiteral("DFIRST"),     QStringLiteral("DLAST"),     QStringLiteral("FORMAT"),
        QStringLiteral("DATESERIAL"), QStringLiteral("DATEADD"),   QStringLiteral("DATEDIFF"),
        QStringLiteral("DATEPART"),   QStringLiteral("DATEVALUE"), QStringLiteral("INSTR"),
        QStringLiteral("SWITCH"),     QStringLiteral("CHOOSE"),    QStringLiteral("VAL"),
        QStringLiteral("CSTR"),       QStringLiteral("CLNG"),      QStringLiteral("CINT"),
        QStringLiteral("CDBL"),       QStringLiteral("CDATE"),     QStringLiteral("CBOOL"),
        QStringLiteral("CCUR"),       QStringLiteral("STRCOMP"),   QStringLiteral("FIRST"),
        QStringLiteral("LAST"),       QStringLiteral("STDEV"),     QStringLiteral("VAR"),
        QStringLiteral("ISNULL"),     QStringLiteral("ISDATE"),    QStringLiteral("ISNUMERIC"),
        QStringLiteral("SPACE"),      QStringLiteral("STRING"),    QStringLiteral("INT"),
        QStringLiteral("FIX"),        QStringLiteral("YEAR"),      QStringLiteral("MONTH"),
        QStringLiteral("DAY"),        QStringLiteral("WEEKDAY"),   QStringLiteral("HOUR"),
        QStringLiteral("MINUTE"),     QStringLiteral("SECOND"),    QStringLiteral("TIMESERIAL"),
        QStringLiteral("CVAR"),
    };
    return f;
}

QString DataLetterale(const QString& testo) {
    // testo includes the two '#'
    const QString dentro = testo.mid(1, testo.size() - 2).trimmed();
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    static const QRegularExpression usa(QStringLiteral(
        R"(^(\d{1,2})/(\d{1,2})/(\d{2,4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?$)"));
    int a = 0, m = 0, g = 0, h = -1, mi = 0, s = 0;
    if (auto r = iso.match(dentro); r.hasMatch()) {
        a = r.captured(1).toInt();
        m = r.captured(2).toInt();
        g = r.captured(3).toInt();
        if (!r.captured(4).isEmpty()) {
            h = r.captured(4).toInt();
            mi = r.captured(5).toInt();
            s = r.captured(6).toInt();
        }
    } else if (auto r = usa.match(dentro); r.hasMatch()) {
        // The Access date literal is month/day/year.
        m = r.captured(1).toInt();
        g = r.captured(2).toInt();
        a = r.captured(3).toInt();
        if (r.captured(3).size() == 2)
            a += a < 30 ? 2000 : 1900;
        if (!r.captured(4).isEmpty()) {
            h = r.captured(4).toInt();
            mi = r.captured(5).toInt();
            s = r.captured(6).toInt();
            const QString ap = r.captured(7).toUpper();
            if (ap == QLatin1String("PM") && h < 12)
                h += 12;
            if (ap == QLatin1String("AM") && h == 12)
                h = 0;
        }
    } else {
        ErroreTesto(testo);
    }
    const QDate d(a, m, g);
    if (!d.isValid())
        ErroreTesto(testo);
    if (h < 0)
        return QLatin1Char('\'') + d.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('\'');
    const QTime t(h, mi, s);
    if (!t.isValid())
        ErroreTesto(testo);
    return QLatin1Char('\'') + d.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
           t.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('\'');
}

QString NomeTraParentesi(const QString& testo, Dialetto dialetto) {
    const QString nome = testo.mid(1, testo.size() - 2);
    bool semplice = !nome.isEmpty() && InizioNome(nome.at(0));
    for (QChar c : nome)
        semplice = semplice && (c.isLetterOrNumber() || c == QLatin1Char('_'));
    if (semplice)
        return nome;
    QString n = nome;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    // Unquoted names are folded to lower case on PostgreSQL: a quoted name
    // must be spelled as the schema keeps it.
    if (dialetto == Dialetto::PostgreSQL)
        n = n.toLower();
    return QLatin1Char('"') + n + QLatin1Char('"');
}

class Traduttore {
public:
    Traduttore(const std::vector<Token>& t, Dialetto d) : m_t(t), m_d(d) {}

    QString Esegui() {
        // One statement: nothing but blanks may follow a final ";".
        bool puntoEVirgola = false;
        for (const auto& t : m_t) {
            if (puntoEVirgola && t.tipo != TipoToken::Spazio)
                throw Errore(3142,
                             QStringLiteral("Caratteri trovati dopo la fine dell'istruzione SQL"),
                             Sorgente);
            if (t.tipo == TipoToken::Simbolo && t.testo == QLatin1String(";"))
                puntoEVirgola = true;
        }
        size_t i = 0;
        const auto unita = Ambito(i, false);
        QString out;
        for (const auto& u : unita)
            out += u.testo;
        return out;
    }

private:
    const std::vector<Token>& m_t;
    Dialetto m_d;

    // Translates tokens from i up to the closing parenthesis (dentroGruppo)
    // or the end; i stops on the closing parenthesis.
    std::vector<Unita> Ambito(size_t& i, bool dentroGruppo) {
        std::vector<Unita> u;
        while (i < m_t.size()) {
            const Token& t = m_t[i];
            if (t.tipo == TipoToken::Simbolo && t.testo == QLatin1String(")")) {
                if (!dentroGruppo)
                    ErroreTesto(QStringLiteral("\")\" senza \"(\""));
                break;
            }
            if (t.tipo == TipoToken::Simbolo && t.testo == QLatin1String("(")) {
                ++i;
                auto dentro = Ambito(i, true);
                if (i >= m_t.size())
                    ErroreTesto(QStringLiteral("\"(\" senza \")\""));
                ++i; // ")"
                u.push_back(Gruppo(u, std::move(dentro)));
                continue;
            }
            u.push_back(Converti(t));
            ++i;
        }
        Top(u);
        DeleteStella(u);
        Adiacenti(u);
        Concatenazioni(u);
        Adiacenti(u);
        return u;
    }

    static int UltimoNonSpazio(const std::vector<Unita>& u) {
        for (int k = int(u.size()) - 1; k >= 0; --k)
            if (!u[size_t(k)].spazio())
                return k;
        return -1;
    }

    // A translated group; the function name before it may change its form.
    Unita Gruppo(std::vector<Unita>& prima, std::vector<Unita> dentro) {
        const int k = UltimoNonSpazio(prima);
        Unita g{TipoToken::Simbolo, QString(), true, true};
        QString nomeFunzione;
        if (k >= 0 && !prima[size_t(k)].gruppo && prima[size_t(k)].tipo == TipoToken::Parola)
            nomeFunzione = prima[size_t(k)].maiuscolo();
        if (nomeFunzione == QLatin1String("IIF")) {
            auto argomenti = Argomenti(dentro);
            if (argomenti.size() != 3)
                ErroreTesto(QStringLiteral("IIF senza tre argomenti"));
            prima.erase(prima.begin() + k, prima.end());
            g.testo = QStringLiteral("(CASE WHEN ") + argomenti[0] + QStringLiteral(" THEN ") +
                      argomenti[1] + QStringLiteral(" ELSE ") + argomenti[2] +
                      QStringLiteral(" END)");
            return g;
        }
        QString testo;
        for (const auto& d : dentro)
            testo += d.testo;
        if ((nomeFunzione == QLatin1String("DATE") || nomeFunzione == QLatin1String("NOW")) &&
            testo.trimmed().isEmpty()) {
            prima[size_t(k)].testo = nomeFunzione == QLatin1String("DATE")
                                         ? QStringLiteral("CURRENT_DATE")
                                         : QStringLiteral("CURRENT_TIMESTAMP");
            prima[size_t(k)].tipo = TipoToken::Parola;
            prima[size_t(k)].nuovo = true;
            prima.erase(prima.begin() + k + 1, prima.end());
            return Unita{TipoToken::Spazio, QString()};
        }
        if (!nomeFunzione.isEmpty()) {
            if (FunzioniNonSupportate().contains(nomeFunzione))
                NonSupportato(prima[size_t(k)].testo);
            static const QHash<QString, QString> nomi = {
                {QStringLiteral("UCASE"), QStringLiteral("UPPER")},
                {QStringLiteral("LCASE"), QStringLiteral("LOWER")},
                {QStringLiteral("LEN"), QStringLiteral("LENGTH")},
                {QStringLiteral("MID"), QStringLiteral("SUBSTR")},
                {QStringLiteral("NZ"), QStringLiteral("COALESCE")},
            };
            if (auto it = nomi.find(nomeFunzione); it != nomi.end()) {
                prima[size_t(k)].testo = *it;
                prima[size_t(k)].nuovo = true;
            }
        }
        g.testo = QLatin1Char('(') + testo + QLatin1Char(')');
        return g;
    }

    // Splits a group's units at its top-level commas.
    static QStringList Argomenti(const std::vector<Unita>& dentro) {
        QStringList a;
        QString corrente;
        for (const auto& d : dentro) {
            if (d.simbolo(",")) {
                a << corrente.trimmed();
                corrente.clear();
            } else {
                corrente += d.testo;
            }
        }
        a << corrente.trimmed();
        return a;
    }

    Unita Converti(const Token& t) {
        Unita u = ConvertiToken(t);
        u.nuovo = u.testo != t.testo;
        return u;
    }

    Unita ConvertiToken(const Token& t) {
        switch (t.tipo) {
        case TipoToken::TestoDoppio: {
            QString v = t.testo.mid(1, t.testo.size() - 2);
            v.replace(QStringLiteral("\"\""), QStringLiteral("\""));
            v.replace(QLatin1Char('\''), QStringLiteral("''"));
            return {TipoToken::Testo, QLatin1Char('\'') + v + QLatin1Char('\'')};
        }
        case TipoToken::Nome:
            return {TipoToken::Parola, NomeTraParentesi(t.testo, m_d)};
        case TipoToken::Data:
            return {TipoToken::Testo, DataLetterale(t.testo)};
        case TipoToken::Parola: {
            const QString m = t.testo.toUpper();
            if (m == QLatin1String("TRUE"))
                return {TipoToken::Numero, QStringLiteral("-1")};
            if (m == QLatin1String("FALSE"))
                return {TipoToken::Numero, QStringLiteral("0")};
            if (m == QLatin1String("TRANSFORM") || m == QLatin1String("PIVOT") ||
                m == QLatin1String("DISTINCTROW") || m == QLatin1String("PARAMETERS"))
                NonSupportato(t.testo);
            return {t.tipo, t.testo};
        }
        case TipoToken::Simbolo:
            if (t.testo == QLatin1String("\\"))
                NonSupportato(QStringLiteral("\\ (divisione intera)"));
            if (t.testo == QLatin1String("^"))
                NonSupportato(QStringLiteral("^ (potenza)"));
            return {t.tipo, t.testo};
        default:
            return {t.tipo, t.testo};
        }
    }

    // SELECT [DISTINCT|ALL] TOP n ...  ->  SELECT [DISTINCT|ALL] ... LIMIT n
    void Top(std::vector<Unita>& u) {
        for (size_t k = 0; k < u.size(); ++k) {
            if (!u[k].parola("TOP"))
                continue;
            int p = int(k) - 1;
            while (p >= 0 && u[size_t(p)].spazio())
                --p;
            if (p >= 0 && (u[size_t(p)].parola("DISTINCT") || u[size_t(p)].parola("ALL")))
                for (--p; p >= 0 && u[size_t(p)].spazio(); --p) {
                }
            if (p < 0 || !u[size_t(p)].parola("SELECT"))
                continue; // a column named Top
            size_t n = k + 1;
            while (n < u.size() && u[n].spazio())
                ++n;
            if (n >= u.size() || u[n].tipo != TipoToken::Numero || u[n].gruppo)
                continue; // a column named Top
            bool ok = false;
            const qlonglong righe = u[n].testo.toLongLong(&ok);
            if (!ok || righe < 0)
                ErroreTesto(QStringLiteral("TOP ") + u[n].testo);
            size_t dopo = n + 1;
            while (dopo < u.size() && u[dopo].spazio())
                ++dopo;
            if (dopo < u.size() && u[dopo].parola("PERCENT"))
                NonSupportato(QStringLiteral("TOP ... PERCENT"));
            // Remove "TOP n" and the blanks after it.
            u.erase(u.begin() + qsizetype(k), u.begin() + qsizetype(dopo));
            // LIMIT goes before a final ";" of this scope, else at its end.
            int fine = int(u.size());
            int q = UltimoNonSpazio(u);
            if (q >= 0 && u[size_t(q)].simbolo(";"))
                fine = q;
            u.insert(u.begin() + fine,
                     Unita{TipoToken::Parola, QStringLiteral(" LIMIT ") + QString::number(righe),
                           false, true});
            return;
        }
    }

    // DELETE * FROM / DELETE t.* FROM -> DELETE FROM
    void DeleteStella(std::vector<Unita>& u) {
        for (size_t k = 0; k < u.size(); ++k) {
            if (!u[k].parola("DELETE"))
                continue;
            size_t j = k + 1;
            while (j < u.size() && u[j].spazio())
                ++j;
            size_t inizio = j;
            if (j + 2 < u.size() && u[j].tipo == TipoToken::Parola && !u[j].gruppo &&
                u[j + 1].simbolo(".") && u[j + 2].simbolo("*"))
                j += 3;
            else if (j < u.size() && u[j].simbolo("*"))
                j += 1;
            else
                continue;
            size_t f = j;
            while (f < u.size() && u[f].spazio())
                ++f;
            if (f < u.size() && u[f].parola("FROM"))
                u.erase(u.begin() + qsizetype(inizio), u.begin() + qsizetype(f));
        }
    }

    // a & b & c -> (COALESCE(CAST((a) AS TEXT),'') || ...)
    void Concatenazioni(std::vector<Unita>& u) {
        for (;;) {
            size_t amp = 0;
            while (amp < u.size() && !u[amp].simbolo("&"))
                ++amp;
            if (amp == u.size())
                return;
            // The chain's start: back to the previous boundary.
            size_t inizio = amp;
            while (inizio > 0 && !Confine(u[inizio - 1]))
                --inizio;
            std::vector<QString> operandi;
            size_t pos = inizio;
            size_t fine = pos;
            for (;;) {
                size_t f = pos;
                while (f < u.size() && !Confine(u[f]))
                    ++f;
                QString op;
                for (size_t x = pos; x < f; ++x)
                    op += u[x].testo;
                if (op.trimmed().isEmpty())
                    ErroreTesto(QStringLiteral("\"&\" senza operando"));
                operandi.push_back(op.trimmed());
                fine = f;
                if (f < u.size() && u[f].simbolo("&")) {
                    pos = f + 1;
                    continue;
                }
                break;
            }
            // Keep the blanks around the chain.
            QString primaSpazi, dopoSpazi;
            {
                QString t;
                for (size_t x = inizio; x < fine; ++x)
                    t += u[x].testo;
                const qsizetype a =
                    t.size() -
                    QString(t).remove(QRegularExpression(QStringLiteral("^\\s+"))).size();
                const qsizetype b =
                    t.size() -
                    QString(t).remove(QRegularExpression(QStringLiteral("\\s+$"))).size();
                primaSpazi = t.left(a);
                dopoSpazi = t.right(b);
            }
            QString testo = QStringLiteral("(");
            for (size_t x = 0; x < operandi.size(); ++x) {
                if (x)
                    testo += QStringLiteral(" || ");
                testo += QStringLiteral("COALESCE(CAST((") + operandi[x] +
                         QStringLiteral(") AS TEXT),'')");
            }
            testo += QLatin1Char(')');
            u.erase(u.begin() + qsizetype(inizio), u.begin() + qsizetype(fine));
            u.insert(u.begin() + qsizetype(inizio),
                     Unita{TipoToken::Simbolo, primaSpazi + testo + dopoSpazi, true, true});
        }
    }

    // Units that would read as another token once joined are kept apart:
    // "--" and "/*" (comment markers), two literals, two quoted names, a
    // translated name or number against a name.
    static void Adiacenti(std::vector<Unita>& u) {
        size_t k = 0;
        while (k < u.size() && u[k].testo.isEmpty())
            ++k;
        while (k < u.size()) {
            size_t j = k + 1;
            while (j < u.size() && u[j].testo.isEmpty())
                ++j;
            if (j >= u.size())
                return;
            const QChar x = u[k].testo.back(), y = u[j].testo.front();
            const bool nuovo = u[k].nuovo || u[j].nuovo;
            if ((x == QLatin1Char('-') && y == QLatin1Char('-')) ||
                (x == QLatin1Char('/') && y == QLatin1Char('*')) ||
                (nuovo && x == y && (x == QLatin1Char('\'') || x == QLatin1Char('"'))) ||
                (nuovo && CarattereNome(x) && CarattereNome(y)))
                u[k].testo += QLatin1Char(' ');
            k = j;
        }
    }
};

} // namespace

std::vector<Token> Tokenizza(const QString& sql) {
    std::vector<Token> t;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto chiudi = [&](QChar fine, TipoToken tipo, bool raddoppio, const char* cosa) {
        qsizetype j = i + 1;
        for (;;) {
            if (j >= n)
                ErroreTesto(QString::fromLatin1(cosa) + QStringLiteral(" non chiuso"));
            if (sql.at(j) == fine) {
                if (raddoppio && j + 1 < n && sql.at(j + 1) == fine) {
                    j += 2;
                    continue;
                }
                break;
            }
            ++j;
        }
        t.push_back({tipo, sql.mid(i, j + 1 - i)});
        i = j + 1;
    };
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            qsizetype j = i;
            while (j < n && sql.at(j).isSpace())
                ++j;
            t.push_back({TipoToken::Spazio, sql.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('\'')) {
            chiudi(QLatin1Char('\''), TipoToken::Testo, true, "testo");
        } else if (c == QLatin1Char('"')) {
            chiudi(QLatin1Char('"'), TipoToken::TestoDoppio, true, "testo");
        } else if (c == QLatin1Char('[')) {
            chiudi(QLatin1Char(']'), TipoToken::Nome, false, "nome tra parentesi quadre");
        } else if (c == QLatin1Char('#')) {
            chiudi(QLatin1Char('#'), TipoToken::Data, false, "data");
        } else if (InizioNome(c)) {
            qsizetype j = i;
            while (j < n && CarattereNome(sql.at(j)))
                ++j;
            t.push_back({TipoToken::Parola, sql.mid(i, j - i)});
            i = j;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && sql.at(i + 1).isDigit())) {
            qsizetype j = i;
            while (j < n && sql.at(j).isDigit())
                ++j;
            if (j < n && sql.at(j) == QLatin1Char('.')) {
                ++j;
                while (j < n && sql.at(j).isDigit())
                    ++j;
            }
            if (j < n && (sql.at(j) == QLatin1Char('e') || sql.at(j) == QLatin1Char('E'))) {
                qsizetype k = j + 1;
                if (k < n && (sql.at(k) == QLatin1Char('+') || sql.at(k) == QLatin1Char('-')))
                    ++k;
                if (k < n && sql.at(k).isDigit()) {
                    j = k;
                    while (j < n && sql.at(j).isDigit())
                        ++j;
                }
            }
            t.push_back({TipoToken::Numero, sql.mid(i, j - i)});
            i = j;
        } else {
            static const QStringList doppi = {QStringLiteral("<>"), QStringLiteral("<="),
                                              QStringLiteral(">="), QStringLiteral("!="),
                                              QStringLiteral("||")};
            const QString due = sql.mid(i, 2);
            if (doppi.contains(due)) {
                t.push_back({TipoToken::Simbolo, due});
                i += 2;
            } else {
                t.push_back({TipoToken::Simbolo, QString(c)});
                ++i;
            }
        }
    }
    return t;
}

QString Traduci(const QString& sql, Dialetto dialetto) {
    const auto token = Tokenizza(sql);
    return Traduttore(token, dialetto).Esegui();
}

QString ValoreTesto(const QString& letterale) {
    QString v = letterale.mid(1, letterale.size() - 2);
    v.replace(QStringLiteral("''"), QStringLiteral("'"));
    return v;
}

} // namespace quarvel::dati
