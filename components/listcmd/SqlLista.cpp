#include "listcmd/SqlLista.h"

#include <QRegularExpression>

#include <algorithm>

namespace quarvel::listcmd {

namespace {

QString Qualifica(const QString& q, const QString& c) {
    return q + QLatin1Char('.') + c;
}

// No value: a Null read from the database (a valid QVariant holding no value)
// as much as a cell never set or emptied by the operator (an invalid one).
bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// The column holds the value, Null matching Null: "col IS NULL" for no value
// (no parameter, whose type the server could not infer), else "col = ?" with
// the value appended to the parameters.
QString Uguale(const QString& colonna, const QVariant& v, QVariantList& parametri) {
    if (Nullo(v))
        return colonna + QStringLiteral(" IS NULL");
    parametri << v;
    return colonna + QStringLiteral(" = ?");
}

// A piece of a condition: a name (qualified, possibly quoted), a string
// literal, a sign or anything else (a number), spaces apart.
struct Pezzo {
    enum Tipo { Nome, Stringa, Segno, Altro } tipo;
    qsizetype inizio;
    qsizetype fine;
};

QList<Pezzo> Pezzi(const QString& s) {
    QList<Pezzo> pezzi;
    const qsizetype n = s.size();
    auto lettera = [&](qsizetype i) {
        return i < n && (s[i].isLetter() || s[i] == QLatin1Char('_'));
    };
    auto parola = [&](qsizetype i) {
        return i < n &&
               (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_') || s[i] == QLatin1Char('$'));
    };
    // past the closing quote of the text opened at i (a doubled quote stays inside)
    auto oltre = [&](qsizetype i, QChar q) {
        for (++i; i < n; ++i)
            if (s[i] == q) {
                if (i + 1 < n && s[i + 1] == q)
                    ++i;
                else
                    return i + 1;
            }
        return n;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('\'')) {
            const qsizetype f = oltre(i, c);
            pezzi.append({Pezzo::Stringa, i, f});
            i = f;
        } else if (lettera(i) || c == QLatin1Char('"')) {
            qsizetype f = i;
            for (;;) {
                if (f < n && s[f] == QLatin1Char('"')) {
                    f = oltre(f, s[f]);
                } else {
                    while (parola(f))
                        ++f;
                }
                if (f + 1 < n && s[f] == QLatin1Char('.') &&
                    (lettera(f + 1) || s[f + 1] == QLatin1Char('"')))
                    ++f;
                else
                    break;
            }
            pezzi.append({Pezzo::Nome, i, f});
            i = f;
        } else if (c.isDigit()) {
            qsizetype f = i;
            while (f < n && (s[f].isLetterOrNumber() || s[f] == QLatin1Char('.')))
                ++f;
            pezzi.append({Pezzo::Altro, i, f});
            i = f;
        } else {
            static const QStringList doppi = {"::", "<=", ">=", "<>", "!=", "||"};
            const qsizetype f = doppi.contains(s.mid(i, 2)) ? i + 2 : i + 1;
            pezzi.append({Pezzo::Segno, i, f});
            i = f;
        }
    }
    return pezzi;
}

// The condition with each "column = 'text'" on a column of senzaCaso (of the
// base table, named alone or with the base's alias) written as "(column::text
// = 'text' OR column = 'text')": the same rows, since a text equal as written
// is equal whatever the case, and the case of a row is folded only where
// its text differs.  Only a comparison that stands as a term of ANDs, ORs
// and NOTs is touched ("a || col = 'x'" compares a || col).
QString TestoPrima(const QString& condizione, const QString& alias, const QString& tabella,
                   const QStringList& senzaCaso) {
    if (senzaCaso.isEmpty() || condizione.isEmpty())
        return condizione;
    const QList<Pezzo> p = Pezzi(condizione);
    auto testo = [&](qsizetype i) { return condizione.mid(p[i].inizio, p[i].fine - p[i].inizio); };
    auto parola = [&](qsizetype i, std::initializer_list<const char*> parole) {
        if (i < 0 || i >= p.size() || p[i].tipo != Pezzo::Nome)
            return false;
        const QString t = testo(i);
        return std::any_of(parole.begin(), parole.end(), [&](const char* w) {
            return t.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
        });
    };
    auto segno = [&](qsizetype i, const char* s) {
        return i >= 0 && i < p.size() && p[i].tipo == Pezzo::Segno && testo(i) == QLatin1String(s);
    };
    // BETWEEN's AND is no term's AND
    for (qsizetype i = 0; i < p.size(); ++i)
        if (parola(i, {"BETWEEN"}))
            return condizione;
    QString esito;
    qsizetype copiato = 0;
    for (qsizetype i = 0; i + 2 < p.size(); ++i) {
        if (p[i].tipo != Pezzo::Nome || !segno(i + 1, "=") || p[i + 2].tipo != Pezzo::Stringa)
            continue;
        if (parola(i, {"AND", "OR", "NOT", "WHERE"}))
            continue;
        const bool inizioTermine =
            i == 0 || segno(i - 1, "(") || parola(i - 1, {"AND", "OR", "NOT"});
        const bool fineTermine =
            i + 3 == p.size() || segno(i + 3, ")") || parola(i + 3, {"AND", "OR"});
        if (!inizioTermine || !fineTermine)
            continue;
        const QString nome = testo(i);
        const qsizetype punto = nome.lastIndexOf(QLatin1Char('.'));
        const QString colonna = NomeNudo(nome.mid(punto + 1));
        if (punto >= 0) {
            const QString q = NomeNudo(nome.left(punto));
            if (q.compare(alias, Qt::CaseInsensitive) != 0 &&
                q.compare(tabella, Qt::CaseInsensitive) != 0)
                continue;
        }
        if (!senzaCaso.contains(colonna, Qt::CaseInsensitive))
            continue;
        const QString letterale = testo(i + 2);
        esito += condizione.mid(copiato, p[i].inizio - copiato);
        esito += QStringLiteral("(%1::text = %2 OR %1 = %2)").arg(nome, letterale);
        copiato = p[i + 2].fine;
        i += 2;
    }
    return esito + condizione.mid(copiato);
}

} // namespace

void SqlLista::impostaChiavi(const QList<ColonnaLista>& colonne, const QStringList& chiavi) {
    m_colonne = colonne;
    m_chiavi = chiavi;
    m_posChiavi.clear();
    m_chiaviNascoste.clear();
    for (const QString& k : m_chiavi) {
        int pos = -1;
        for (int i = 0; i < m_colonne.size(); ++i)
            if (m_colonne[i].aggiornabile &&
                m_colonne[i].colonnaBase.compare(k, Qt::CaseInsensitive) == 0) {
                pos = i;
                break;
            }
        if (pos < 0) {
            pos = int(m_colonne.size() + m_chiaviNascoste.size());
            m_chiaviNascoste << QStringLiteral("%1 AS qv_k%2")
                                    .arg(Qualifica(m_analisi.aliasBase, k))
                                    .arg(m_chiaviNascoste.size());
        }
        m_posChiavi << pos;
    }
    // The list's order made total by the key, so that windows do not overlap.
    QList<TermineOrdine> termini = TerminiOrdine(m_analisi.ordine);
    for (const QString& k : m_chiavi) {
        const QString q = Qualifica(m_analisi.aliasBase, k);
        const bool presente =
            std::any_of(termini.begin(), termini.end(), [&](const TermineOrdine& t) {
                const QString e = NomeNudo(t.espressione);
                return e.compare(q, Qt::CaseInsensitive) == 0 ||
                       e.compare(k, Qt::CaseInsensitive) == 0;
            });
        if (!presente)
            termini.append({q, false});
    }
    if (termini.isEmpty()) {
        for (int i = 0; i < m_colonne.size(); ++i)
            if (m_colonne[i].tipo != TipoBinario)
                termini.append({QString::number(i + 1), false});
    }
    m_ordine = ComponiOrdine(termini);
}

QVariantList SqlLista::chiaveDi(const Riga& r) const {
    QVariantList k;
    for (int p : m_posChiavi)
        k << (p < r.size() ? r[p] : QVariant());
    return k;
}

QString SqlLista::dove(const QString& altra) const {
    if (!m_analisi.where.isEmpty() && !altra.isEmpty())
        return QStringLiteral("(%1) AND %2").arg(m_analisi.where, altra);
    return m_analisi.where.isEmpty() ? altra : m_analisi.where;
}

QString SqlLista::select(const QString& condizione) const {
    QStringList voci;
    for (const auto& v : m_analisi.voci)
        voci << v.testo;
    voci << m_chiaviNascoste;
    QString s = QStringLiteral("SELECT ");
    if (m_analisi.distinta)
        s += QStringLiteral("DISTINCT ");
    s += voci.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + m_analisi.from;
    const QString d = dove(condizione);
    if (!d.isEmpty())
        s += QStringLiteral(" WHERE ") + d;
    if (!m_analisi.gruppo.isEmpty())
        s += QLatin1Char(' ') + m_analisi.gruppo;
    return s;
}

void SqlLista::impostaSchema(const SchemaLista& schema) {
    m_baseFinestre.clear();
    m_primaFinestre.clear();
    m_dopoFinestre.clear();
    m_interaSenzaIndice = false;
    m_interaSenzaCaso.clear();
    const FromGiunzioniSinistre from = LeggiGiunzioniSinistre(m_analisi.from);
    if (m_analisi.raggruppata() || !from.valido || from.giunzioni.isEmpty() ||
        fromPerContare(schema) != from.base)
        return;
    // every term of the order a column of the base table, not an item of the
    // select list named as one
    for (const TermineOrdine& t : TerminiOrdine(m_ordine)) {
        const QString e = NomeNudo(t.espressione);
        const qsizetype punto = e.indexOf(QLatin1Char('.'));
        const QString colonna = punto >= 0 ? e.mid(punto + 1) : e;
        if (punto >= 0 && e.left(punto).compare(m_analisi.aliasBase, Qt::CaseInsensitive) != 0)
            return;
        if (!schema.colonneBase.contains(colonna, Qt::CaseInsensitive))
            return;
        if (punto < 0)
            for (const VoceSelect& v : m_analisi.voci)
                if (v.nome.compare(colonna, Qt::CaseInsensitive) == 0 &&
                    !(v.semplice && v.colonna.compare(colonna, Qt::CaseInsensitive) == 0 &&
                      (v.tabella.isEmpty() ||
                       v.tabella.compare(m_analisi.aliasBase, Qt::CaseInsensitive) == 0)))
                    return;
    }
    // the base table's place in the FROM: after its opening parentheses, up
    // to the first join
    static const QRegularExpression giunzione(QStringLiteral(R"(\bLEFT\s+(?:OUTER\s+)?JOIN\b)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = giunzione.match(m_analisi.from);
    if (!m.hasMatch())
        return;
    qsizetype inizio = 0;
    while (inizio < m.capturedStart() &&
           (m_analisi.from[inizio] == QLatin1Char('(') || m_analisi.from[inizio].isSpace()))
        ++inizio;
    const QString base = m_analisi.from.mid(inizio, m.capturedStart() - inizio).trimmed();
    if (base.compare(from.base, Qt::CaseInsensitive) != 0)
        return;
    m_baseFinestre = base;
    m_primaFinestre = m_analisi.from.left(inizio);
    m_dopoFinestre = m_analisi.from.mid(m.capturedStart());
}

QString SqlLista::finestra(qint64 offset, qint64 quante, bool dallaFine, const QString& esclusi,
                           const QString& ancora) const {
    // A grid's window: the base table's rows first, then their joins.  (A
    // read of the whole list is not: it would be sorted twice.)
    constexpr qint64 FinestraGriglia = 10000;
    if (giunzioneDopo() && quante <= FinestraGriglia) {
        const QString ordine = ComponiOrdine(TerminiOrdine(m_ordine), dallaFine);
        QString d = doveBase(esclusi);
        if (!ancora.isEmpty())
            d = d.isEmpty() ? ancora : QStringLiteral("(%1) AND %2").arg(d, ancora);
        QStringList voci;
        for (const auto& v : m_analisi.voci)
            voci << v.testo;
        voci << m_chiaviNascoste;
        return QStringLiteral(
                   "SELECT %1 FROM %2(SELECT * FROM %3%4 ORDER BY %5 LIMIT %6 OFFSET %7) "
                   "%8 %9 ORDER BY %5")
            .arg(voci.join(QStringLiteral(", ")), m_primaFinestre, baseFinestre(),
                 d.isEmpty() ? QString() : QStringLiteral(" WHERE ") + d, ordine,
                 QString::number(quante), QString::number(offset), m_analisi.aliasBase,
                 m_dopoFinestre);
    }
    return QStringLiteral("%1 ORDER BY %2 LIMIT %3 OFFSET %4")
        .arg(select(esclusi), ComponiOrdine(TerminiOrdine(m_ordine), dallaFine))
        .arg(quante)
        .arg(offset);
}

void SqlLista::impostaLetturaIntera(bool senzaIndice, const QStringList& senzaCaso) {
    m_interaSenzaIndice = senzaIndice && giunzioneDopo();
    m_interaSenzaCaso = giunzioneDopo() ? senzaCaso : QStringList();
}

QString SqlLista::baseFinestre() const {
    return m_interaSenzaIndice ? m_baseFinestre + QStringLiteral(" NOT INDEXED") : m_baseFinestre;
}

QString SqlLista::doveBase(const QString& esclusi) const {
    const QString condizione =
        TestoPrima(m_analisi.where, m_analisi.aliasBase, m_analisi.tabellaBase, m_interaSenzaCaso);
    if (!condizione.isEmpty() && !esclusi.isEmpty())
        return QStringLiteral("(%1) AND %2").arg(condizione, esclusi);
    return condizione.isEmpty() ? esclusi : condizione;
}

QString SqlLista::ordinamentoBase() const {
    if (!giunzioneDopo())
        return {};
    const QString d = doveBase({});
    return QStringLiteral("SELECT * FROM %1%2 ORDER BY %3 LIMIT 1")
        .arg(baseFinestre(), d.isEmpty() ? QString() : QStringLiteral(" WHERE ") + d, m_ordine);
}

QString SqlLista::valoriBase(const QString& espressione) const {
    if (!giunzioneDopo())
        return {};
    const QString d = doveBase({});
    return QStringLiteral("SELECT %1 FROM %2%3")
        .arg(espressione, baseFinestre(), d.isEmpty() ? QString() : QStringLiteral(" WHERE ") + d);
}

QString SqlLista::fromPerContare(const SchemaLista& schema) const {
    // Left joins to a table by its whole primary key neither add nor drop
    // rows: when the condition reads only the base table, the rows are
    // counted on the base table alone (a million index lookups saved).
    if (m_analisi.raggruppata())
        return m_analisi.from;
    const FromGiunzioniSinistre from = LeggiGiunzioniSinistre(m_analisi.from);
    if (!from.valido)
        return m_analisi.from;
    for (const GiunzioneSinistra& g : from.giunzioni) {
        const QStringList pk =
            schema.chiavePrimaria ? schema.chiavePrimaria(g.tabella) : QStringList();
        if (pk.isEmpty())
            return m_analisi.from;
        for (const QString& k : pk)
            if (!g.colonneLegate.contains(k.toLower()))
                return m_analisi.from;
    }
    // the condition reads the base table only
    static const QStringList parole = {"AND",  "OR",      "NOT",  "IN",    "IS",    "NULL",
                                       "LIKE", "BETWEEN", "TRUE", "FALSE", "ESCAPE"};
    for (const QString& n : NomiCondizione(m_analisi.where)) {
        const qsizetype punto = n.indexOf(QLatin1Char('.'));
        if (punto >= 0) {
            if (n.left(punto).compare(m_analisi.aliasBase, Qt::CaseInsensitive) != 0 ||
                !schema.colonneBase.contains(n.mid(punto + 1), Qt::CaseInsensitive))
                return m_analisi.from;
        } else if (!parole.contains(n.toUpper()) &&
                   !schema.colonneBase.contains(n, Qt::CaseInsensitive)) {
            return m_analisi.from;
        }
    }
    return from.base;
}

QString SqlLista::conteggio(const QString& da, const QString& esclusi,
                            const QStringList& senzaCaso) const {
    if (m_analisi.raggruppata())
        return QStringLiteral("SELECT COUNT(*) FROM (%1) qv_t").arg(select());
    const QString condizione =
        TestoPrima(m_analisi.where, m_analisi.aliasBase, m_analisi.tabellaBase, senzaCaso);
    const QString d = !condizione.isEmpty() && !esclusi.isEmpty()
                          ? QStringLiteral("(%1) AND %2").arg(condizione, esclusi)
                          : (condizione.isEmpty() ? esclusi : condizione);
    return QStringLiteral("SELECT COUNT(*) FROM ") + da +
           (d.isEmpty() ? QString() : QStringLiteral(" WHERE ") + d);
}

QStringList SqlLista::conteggioPerDifferenza(const QString& da, const QString& esclusi,
                                             const QString& primaDellaChiave, qint64 limite) const {
    if (m_analisi.raggruppata() || !esclusi.isEmpty() || limite <= 0)
        return {};
    const FromGiunzioniSinistre from = LeggiGiunzioniSinistre(m_analisi.from);
    // the base table alone: the list's only table, or its joins neither add
    // nor drop rows
    static const QRegularExpression sola(
        QStringLiteral(R"(^\s*[A-Za-z_]\w*(?:\s+(?:AS\s+)?[A-Za-z_]\w*)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const bool base = from.valido ? da.trimmed().compare(from.base, Qt::CaseInsensitive) == 0
                                  : da.trimmed() == m_analisi.from.trimmed();
    if (!base || !sola.match(da).hasMatch())
        return {};
    const QString& w = m_analisi.where;
    const QList<Pezzo> p = Pezzi(w);
    if (p.size() != 3 || p[0].tipo != Pezzo::Nome || p[1].tipo != Pezzo::Segno ||
        w.mid(p[1].inizio, p[1].fine - p[1].inizio) != QLatin1String("=") ||
        p[2].tipo != Pezzo::Stringa)
        return {};
    const QString colonna = w.mid(p[0].inizio, p[0].fine - p[0].inizio);
    const qsizetype punto = colonna.lastIndexOf(QLatin1Char('.'));
    if (punto >= 0) {
        const QString qualificatore = colonna.left(punto);
        if (qualificatore.compare(m_analisi.aliasBase, Qt::CaseInsensitive) != 0 &&
            qualificatore.compare(m_analisi.tabellaBase, Qt::CaseInsensitive) != 0)
            return {};
    }
    static const QStringList parole = {"NULL", "TRUE", "FALSE", "NOT"};
    if (parole.contains(colonna.toUpper()))
        return {};
    const QString nome = colonna.mid(punto + 1);
    if (nome.compare(primaDellaChiave, Qt::CaseInsensitive) != 0)
        return {};
    // each side apart, so that each reads a range of the key's index
    const QString testo = w.mid(p[2].inizio, p[2].fine - p[2].inizio);
    QStringList parti;
    for (const QString& fuori :
         {colonna + QStringLiteral(" < ") + testo, colonna + QStringLiteral(" > ") + testo,
          colonna + QStringLiteral(" IS NULL")})
        parti << QStringLiteral("(SELECT COUNT(*) FROM (SELECT 1 FROM %1 WHERE %2 LIMIT %3) qv_f)")
                     .arg(da, fuori, QString::number(limite));
    return {QStringLiteral("SELECT ") + parti.join(QStringLiteral(" + ")),
            QStringLiteral("SELECT COUNT(*) FROM ") + da};
}

QString SqlLista::esclusi(const QList<QVariantList>& chiaviRighe,
                          const std::function<QString(const QVariant&)>& letterale) const {
    if (m_chiavi.isEmpty())
        return {};
    QStringList colonne;
    for (const QString& k : m_chiavi)
        colonne << Qualifica(m_analisi.aliasBase, k);
    QStringList chiavi;
    for (const QVariantList& k : chiaviRighe) {
        QStringList parti;
        bool intera = true;
        for (qsizetype i = 0; i < k.size() && intera; ++i) {
            if (Nullo(k[i]))
                intera = false; // a key not known is no key to leave out
            else
                parti << (colonne.size() == 1
                              ? letterale(k[i])
                              : colonne[i] + QStringLiteral(" = ") + letterale(k[i]));
        }
        if (intera)
            chiavi << parti.join(QStringLiteral(" AND "));
    }
    if (chiavi.isEmpty())
        return {};
    chiavi.removeDuplicates();
    if (colonne.size() == 1)
        return QStringLiteral("%1 NOT IN (%2)").arg(colonne[0], chiavi.join(QStringLiteral(", ")));
    return QStringLiteral("NOT ((%1))").arg(chiavi.join(QStringLiteral(") OR (")));
}

Istruzione SqlLista::posizione(const QVariantList& chiave, const QString& esclusi) const {
    const QString d = dove(esclusi);
    QStringList colonne, condizioni;
    for (int i = 0; i < m_chiavi.size(); ++i) {
        colonne << QStringLiteral("%1 AS qv_c%2")
                       .arg(Qualifica(m_analisi.aliasBase, m_chiavi[i]))
                       .arg(i);
        condizioni << QStringLiteral("qv_c%1 = ?").arg(i);
    }
    Istruzione s;
    s.testo = QStringLiteral("SELECT qv_rn FROM (SELECT ROW_NUMBER() OVER (ORDER BY %1) AS qv_rn, "
                             "%2 FROM %3%4) qv_t WHERE %5")
                  .arg(m_ordine, colonne.join(QStringLiteral(", ")), m_analisi.from,
                       d.isEmpty() ? QString() : QStringLiteral(" WHERE ") + d,
                       condizioni.join(QStringLiteral(" AND ")));
    s.parametri = chiave;
    return s;
}

Istruzione SqlLista::cerca(const QString& espressione, const QString& testo, bool dopo,
                           qint64 limite, const QString& esclusi) const {
    const QString d = dove(esclusi);
    const QString interna =
        QStringLiteral("SELECT ROW_NUMBER() OVER (ORDER BY %1) AS qv_rn, %2 AS qv_v FROM %3")
            .arg(m_ordine, espressione, m_analisi.from) +
        (d.isEmpty() ? QString() : QStringLiteral(" WHERE ") + d);
    Istruzione s;
    s.testo = QStringLiteral("SELECT qv_rn FROM (%1) qv_t WHERE %2 AND "
                             "UPPER(CAST(qv_v AS VARCHAR(250))) LIKE ? ORDER BY qv_rn LIMIT 1")
                  .arg(interna, dopo ? QStringLiteral("qv_rn > ?") : QStringLiteral("qv_rn <= ?"));
    s.parametri << limite << QStringLiteral("%") + testo.toUpper() + QStringLiteral("%");
    return s;
}

QString SqlLista::condizioneChiave(const QString& qualificatore, const QVariantList& chiave,
                                   QVariantList& parametri) const {
    // (the key columns a form names on a table without a key may hold Null)
    QStringList parti;
    for (qsizetype i = 0; i < m_chiavi.size(); ++i)
        parti << Uguale(qualificatore.isEmpty() ? m_chiavi[i]
                                                : Qualifica(qualificatore, m_chiavi[i]),
                        i < chiave.size() ? chiave[i] : QVariant(), parametri);
    return parti.join(QStringLiteral(" AND "));
}

Istruzione SqlLista::nellaLista(const QVariantList& chiave) const {
    Istruzione s;
    if (m_analisi.where.isEmpty())
        return s;
    s.testo = QStringLiteral("SELECT 1 FROM %1 WHERE (%2) AND %3")
                  .arg(m_analisi.from, m_analisi.where,
                       condizioneChiave(m_analisi.aliasBase, chiave, s.parametri));
    return s;
}

Istruzione SqlLista::rileggi(const QVariantList& chiave) const {
    // The list's select without its WHERE: a row written outside the list's
    // condition is still shown as written.
    QStringList voci;
    for (const auto& v : m_analisi.voci)
        voci << v.testo;
    voci << m_chiaviNascoste;
    Istruzione s;
    s.testo = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                  .arg(voci.join(QStringLiteral(", ")), m_analisi.from,
                       condizioneChiave(m_analisi.aliasBase, chiave, s.parametri));
    return s;
}

Istruzione SqlLista::inserimento(const Riga& valori) const {
    QStringList colonne, segni;
    Istruzione s;
    for (int c = 0; c < m_colonne.size() && c < valori.size(); ++c) {
        if (!m_colonne[c].aggiornabile || Nullo(valori[c]))
            continue; // left to the column's default
        colonne << m_colonne[c].colonnaBase;
        segni << QStringLiteral("?");
        s.parametri << valori[c];
    }
    s.testo = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(m_analisi.tabellaBase, colonne.join(QStringLiteral(", ")),
                       segni.join(QStringLiteral(", ")));
    return s;
}

QString SqlLista::condizioneRigaLetta(const Riga& letta, QVariantList& parametri) const {
    QStringList condizioni{condizioneChiave({}, chiaveDi(letta), parametri)};
    // Nobody changed the row since it was read.
    for (int c = 0; c < m_colonne.size(); ++c) {
        if (!m_colonne[c].aggiornabile || m_colonne[c].tipo == TipoBinario)
            continue;
        condizioni << Uguale(m_colonne[c].colonnaBase, c < letta.size() ? letta[c] : QVariant(),
                             parametri);
    }
    return condizioni.join(QStringLiteral(" AND "));
}

Istruzione SqlLista::aggiornamento(const Riga& letta, const Riga& valori,
                                   const QVector<bool>& cambiati) const {
    QStringList assegna;
    Istruzione s;
    for (int c = 0; c < m_colonne.size(); ++c) {
        if (!m_colonne[c].aggiornabile || c >= cambiati.size() || !cambiati[c])
            continue;
        // Null written as such: no parameter whose type the server could not infer
        if (c >= valori.size() || Nullo(valori[c])) {
            assegna << m_colonne[c].colonnaBase + QStringLiteral(" = NULL");
        } else {
            assegna << m_colonne[c].colonnaBase + QStringLiteral(" = ?");
            s.parametri << valori[c];
        }
    }
    if (assegna.isEmpty()) // only read-only columns changed
        return {};
    const QString condizione = condizioneRigaLetta(letta, s.parametri);
    s.testo = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                  .arg(m_analisi.tabellaBase, assegna.join(QStringLiteral(", ")), condizione);
    return s;
}

Istruzione SqlLista::cancellazione(const Riga& letta) const {
    Istruzione s;
    const QString condizione = condizioneRigaLetta(letta, s.parametri);
    s.testo = QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_analisi.tabellaBase, condizione);
    return s;
}

} // namespace quarvel::listcmd
