#include "listcmd/AnalisiSql.h"

#include <QRegularExpression>

namespace quarvel::listcmd {

namespace {

// Positions of the top-level words of the text (outside parentheses, quotes
// and brackets), each with its upper-case spelling.
struct Parola {
    qsizetype inizio;
    qsizetype fine;
    QString testo;
};

QList<Parola> ParoleAlto(const QString& s) {
    QList<Parola> parole;
    int profondita = 0;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar chiusa = c;
            ++i;
            while (i < n) {
                if (s.at(i) == chiusa) {
                    if (i + 1 < n && s.at(i + 1) == chiusa) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == QLatin1Char('[')) {
            while (i < n && s.at(i) != QLatin1Char(']'))
                ++i;
            ++i;
        } else if (c == QLatin1Char('(')) {
            ++profondita;
            ++i;
        } else if (c == QLatin1Char(')')) {
            --profondita;
            ++i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype inizio = i;
            while (i < n && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('_') ||
                             s.at(i) == QLatin1Char('.')))
                ++i;
            if (profondita == 0)
                parole.append({inizio, i, s.mid(inizio, i - inizio).toUpper()});
        } else {
            ++i;
        }
    }
    return parole;
}

// Index in parole of "a b" (two consecutive words), or of a single word.
qsizetype Trova(const QList<Parola>& parole, const QString& a, const QString& b = {},
                qsizetype da = 0) {
    for (qsizetype k = da; k < parole.size(); ++k) {
        if (parole[k].testo != a)
            continue;
        if (b.isEmpty())
            return k;
        if (k + 1 < parole.size() && parole[k + 1].testo == b)
            return k;
    }
    return -1;
}

VoceSelect LeggiVoce(const QString& testo) {
    VoceSelect v;
    v.testo = testo.trimmed();
    v.espressione = v.testo;
    const QList<Parola> parole = ParoleAlto(v.testo);
    for (qsizetype k = parole.size() - 1; k >= 0; --k) {
        if (parole[k].testo == QLatin1String("AS")) {
            v.espressione = v.testo.left(parole[k].inizio).trimmed();
            v.nome = NomeNudo(v.testo.mid(parole[k].fine).trimmed());
            break;
        }
    }
    static const QRegularExpression semplice(QStringLiteral(
        R"(^(?:(\[[^\]]+\]|"[^"]+"|[A-Za-z_][\w]*)\.)?(\[[^\]]+\]|"[^"]+"|[A-Za-z_][\w]*|\*)$)"));
    const auto m = semplice.match(v.espressione);
    if (m.hasMatch()) {
        v.tabella = NomeNudo(m.captured(1));
        v.colonna = NomeNudo(m.captured(2));
        if (v.colonna == QLatin1String("*")) {
            v.stella = true;
            v.colonna.clear();
        } else {
            v.semplice = true;
            if (v.nome.isEmpty())
                v.nome = v.colonna;
        }
    }
    if (v.nome.isEmpty())
        v.nome = v.espressione;
    return v;
}

bool ParolaChiave(const QString& s) {
    static const QStringList chiavi = {
        QStringLiteral("LEFT"),  QStringLiteral("RIGHT"), QStringLiteral("INNER"),
        QStringLiteral("OUTER"), QStringLiteral("JOIN"),  QStringLiteral("ON"),
        QStringLiteral("WHERE"), QStringLiteral("FULL"),  QStringLiteral("CROSS"),
        QStringLiteral("ORDER"), QStringLiteral("GROUP"), QStringLiteral("NATURAL")};
    return chiavi.contains(s.toUpper());
}

} // namespace

QString NomeNudo(const QString& nome) {
    QString s = nome.trimmed();
    if (s.size() >= 2 && ((s.startsWith(QLatin1Char('[')) && s.endsWith(QLatin1Char(']'))) ||
                          (s.startsWith(QLatin1Char('"')) && s.endsWith(QLatin1Char('"')))))
        s = s.mid(1, s.size() - 2);
    return s;
}

QStringList DividiVirgole(const QString& s) {
    QStringList parti;
    int profondita = 0;
    qsizetype inizio = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar chiusa = c;
            ++i;
            while (i < n && s.at(i) != chiusa)
                ++i;
        } else if (c == QLatin1Char('[')) {
            while (i < n && s.at(i) != QLatin1Char(']'))
                ++i;
        } else if (c == QLatin1Char('(')) {
            ++profondita;
        } else if (c == QLatin1Char(')')) {
            --profondita;
        } else if (c == QLatin1Char(',') && profondita == 0) {
            parti.append(s.mid(inizio, i - inizio).trimmed());
            inizio = i + 1;
        }
    }
    const QString ultimo = s.mid(inizio).trimmed();
    if (!ultimo.isEmpty() || !parti.isEmpty())
        parti.append(ultimo);
    return parti;
}

AnalisiSql Analizza(const QString& sql) {
    AnalisiSql a;
    const QString s = sql.trimmed();
    const QList<Parola> parole = ParoleAlto(s);
    if (parole.isEmpty() || parole[0].testo != QLatin1String("SELECT"))
        return a;
    const qsizetype kFrom = Trova(parole, QStringLiteral("FROM"));
    if (kFrom < 0)
        return a;
    qsizetype inizioLista = parole[0].fine;
    if (parole.size() > 1 && (parole[1].testo == QLatin1String("DISTINCT") ||
                              parole[1].testo == QLatin1String("DISTINCTROW"))) {
        a.distinta = parole[1].testo == QLatin1String("DISTINCT");
        inizioLista = parole[1].fine;
    }
    const QString lista = s.mid(inizioLista, parole[kFrom].inizio - inizioLista);
    for (const QString& voce : DividiVirgole(lista))
        a.voci.append(LeggiVoce(voce));

    const qsizetype kWhere = Trova(parole, QStringLiteral("WHERE"), {}, kFrom);
    const qsizetype kGroup = Trova(parole, QStringLiteral("GROUP"), QStringLiteral("BY"), kFrom);
    const qsizetype kHaving = Trova(parole, QStringLiteral("HAVING"), {}, kFrom);
    const qsizetype kOrder = Trova(parole, QStringLiteral("ORDER"), QStringLiteral("BY"), kFrom);
    auto inizioDi = [&](qsizetype k) { return k < 0 ? s.size() : parole[k].inizio; };
    auto primoDopo = [&](std::initializer_list<qsizetype> ks) {
        qsizetype p = s.size();
        for (qsizetype k : ks)
            if (k >= 0)
                p = std::min(p, inizioDi(k));
        return p;
    };
    const qsizetype fineFrom = primoDopo({kWhere, kGroup, kHaving, kOrder});
    a.from = s.mid(parole[kFrom].fine, fineFrom - parole[kFrom].fine).trimmed();
    if (kWhere >= 0) {
        const qsizetype fine = primoDopo({kGroup, kHaving, kOrder});
        a.where = s.mid(parole[kWhere].fine, fine - parole[kWhere].fine).trimmed();
    }
    if (kGroup >= 0 || kHaving >= 0) {
        const qsizetype inizio = kGroup >= 0 ? parole[kGroup].inizio : parole[kHaving].inizio;
        a.gruppo = s.mid(inizio, inizioDi(kOrder) - inizio).trimmed();
    }
    if (kOrder >= 0)
        a.ordine = s.mid(parole[kOrder + 1].fine).trimmed();
    if (a.ordine.endsWith(QLatin1Char(';')))
        a.ordine.chop(1);

    // The base table: the first name of the FROM, past any opening parenthesis.
    static const QRegularExpression nome(
        QStringLiteral(
            R"(^[\s(]*(\[[^\]]+\]|"[^"]+"|[A-Za-z_][\w.]*)\s*(?:(?:AS\s+)?(\[[^\]]+\]|"[^"]+"|[A-Za-z_]\w*))?)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = nome.match(a.from);
    if (!m.hasMatch())
        return a;
    a.tabellaBase = NomeNudo(m.captured(1));
    a.aliasBase = a.tabellaBase;
    const QString alias = m.captured(2);
    if (!alias.isEmpty() && !ParolaChiave(alias))
        a.aliasBase = NomeNudo(alias);
    a.valida = true;
    return a;
}

QList<TermineOrdine> TerminiOrdine(const QString& ordine) {
    QList<TermineOrdine> termini;
    for (const QString& parte : DividiVirgole(ordine)) {
        if (parte.isEmpty())
            continue;
        TermineOrdine t;
        t.espressione = parte;
        const QList<Parola> parole = ParoleAlto(parte);
        if (!parole.isEmpty()) {
            const Parola& ultima = parole.last();
            if (ultima.fine == parte.size() &&
                (ultima.testo == QLatin1String("DESC") || ultima.testo == QLatin1String("ASC"))) {
                t.discendente = ultima.testo == QLatin1String("DESC");
                t.espressione = parte.left(ultima.inizio).trimmed();
            }
        }
        termini.append(t);
    }
    return termini;
}

QString ComponiOrdine(const QList<TermineOrdine>& termini, bool inverti) {
    QStringList parti;
    for (const TermineOrdine& t : termini) {
        const bool disc = t.discendente != inverti;
        parti.append(disc ? t.espressione + QStringLiteral(" DESC") : t.espressione);
    }
    return parti.join(QStringLiteral(", "));
}

QString SostituisciOrdine(const QString& sql, const QString& nuovoOrdine) {
    QString s = sql.trimmed();
    if (s.endsWith(QLatin1Char(';')))
        s.chop(1);
    const QList<Parola> parole = ParoleAlto(s);
    const qsizetype kFrom = Trova(parole, QStringLiteral("FROM"));
    const qsizetype kOrder =
        Trova(parole, QStringLiteral("ORDER"), QStringLiteral("BY"), std::max<qsizetype>(kFrom, 0));
    if (kOrder >= 0)
        s = s.left(parole[kOrder].inizio).trimmed();
    if (!nuovoOrdine.isEmpty())
        s += QStringLiteral(" ORDER BY ") + nuovoOrdine;
    return s;
}

QString TabellaDiQualificatore(const QString& from, const QString& qualificatore) {
    static const QRegularExpression parola(QStringLiteral(R"(\[[^\]]+\]|[A-Za-z_][\w.]*)"));
    static const QStringList chiavi = {"LEFT", "RIGHT", "INNER", "OUTER", "JOIN", "ON",
                                       "AND",  "OR",    "AS",    "FULL",  "CROSS"};
    QStringList parole;
    auto it = parola.globalMatch(from);
    while (it.hasNext())
        parole << NomeNudo(it.next().captured(0));
    for (qsizetype k = 0; k + 1 < parole.size(); ++k) {
        if (chiavi.contains(parole[k].toUpper()))
            continue;
        qsizetype a = k + 1;
        if (parole[a].toUpper() == QLatin1String("AS") && a + 1 < parole.size())
            ++a;
        if (!chiavi.contains(parole[a].toUpper()) &&
            parole[a].compare(qualificatore, Qt::CaseInsensitive) == 0)
            return parole[k];
    }
    return qualificatore;
}

FromGiunzioniSinistre LeggiGiunzioniSinistre(const QString& testo) {
    FromGiunzioniSinistre esito;
    QString from = testo;
    from.replace(QLatin1Char('('), QLatin1Char(' ')).replace(QLatin1Char(')'), QLatin1Char(' '));
    static const QRegularExpression giunzione(QStringLiteral(R"(\bLEFT\s+(?:OUTER\s+)?JOIN\b)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QStringList pezzi = from.split(giunzione);
    if (pezzi.size() < 2)
        return esito;
    static const QRegularExpression identificatore(
        QStringLiteral(R"(^\s*([A-Za-z_]\w*)(?:\s+(?:AS\s+)?([A-Za-z_]\w*))?\s+ON\s+(.*)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression uguale(QStringLiteral(
        R"(^\s*([A-Za-z_]\w*)\.([A-Za-z_]\w*)\s*=\s*([A-Za-z_]\w*)\.([A-Za-z_]\w*)\s*$)"));
    static const QRegularExpression eParola(QStringLiteral(R"(\s+AND\s+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    // the base table alone before the first join
    static const QRegularExpression sola(
        QStringLiteral(R"(^\s*[A-Za-z_]\w*(?:\s+(?:AS\s+)?[A-Za-z_]\w*)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!sola.match(pezzi[0]).hasMatch())
        return esito;
    for (qsizetype k = 1; k < pezzi.size(); ++k) {
        const auto m = identificatore.match(pezzi[k]);
        if (!m.hasMatch())
            return esito;
        GiunzioneSinistra g;
        g.tabella = m.captured(1);
        const QString alias = m.captured(2).isEmpty() ? g.tabella : m.captured(2);
        for (const QString& parte : m.captured(3).split(eParola)) {
            const auto u = uguale.match(parte);
            if (!u.hasMatch())
                return esito;
            const bool sinistra = u.captured(1).compare(alias, Qt::CaseInsensitive) == 0;
            const bool destra = u.captured(3).compare(alias, Qt::CaseInsensitive) == 0;
            if (sinistra == destra)
                return esito;
            g.colonneLegate << (sinistra ? u.captured(2) : u.captured(4)).toLower();
        }
        esito.giunzioni << g;
    }
    esito.base = pezzi[0].trimmed();
    esito.valido = true;
    return esito;
}

QStringList NomiCondizione(const QString& condizione) {
    QString dove = condizione;
    static const QRegularExpression stringhe(QStringLiteral(R"('(?:[^']|'')*')"));
    dove.replace(stringhe, QStringLiteral("''"));
    static const QRegularExpression nome(QStringLiteral(R"(([A-Za-z_][\w.]*)\s*(\()?)"));
    QStringList nomi;
    auto it = nome.globalMatch(dove);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(2).isEmpty()) // else a function
            nomi << m.captured(1);
    }
    return nomi;
}

} // namespace quarvel::listcmd
