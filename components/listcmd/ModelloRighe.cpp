#include "listcmd/ModelloRighe.h"

#include "listcmd/Conteggio.h"
#include "listcmd/Motore.h"
#include "suite/Utilita.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace quarvel::listcmd {

namespace {

QLocale LocaleProgramma() {
    QLocale l;
    if (l.language() == QLocale::C)
        l = QLocale(QLocale::Italian, QLocale::Italy);
    return l;
}

// "dd/mm/yyyy hh:nn:ss" (the suite's date masks) as a Qt date format.
QString FormatoQt(const QString& vb) {
    QString f = vb;
    f.replace(QLatin1String("mm"), QLatin1String("MM"));
    f.replace(QLatin1String("nn"), QLatin1String("mm"));
    f.replace(QLatin1String("hh:MM"), QLatin1String("hh:mm"));
    return f;
}

int TipoDaMeta(QMetaType::Type t) {
    switch (t) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
        return Tipo::Lungo;
    case QMetaType::Double:
    case QMetaType::Float:
        return Tipo::Doppio;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return Tipo::Data;
    case QMetaType::Bool:
        return Tipo::Booleano;
    case QMetaType::QByteArray:
        return ModelloRighe::TipoBinario;
    default:
        return Tipo::Testo;
    }
}

int TipoDaDichiarato(const QString& dichiarato) {
    const QString t = dichiarato.toUpper();
    if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME")))
        return Tipo::Data;
    if (t.contains(QLatin1String("INT")))
        return Tipo::Lungo;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
        t.contains(QLatin1String("DEC")))
        return Tipo::Doppio;
    if (t.contains(QLatin1String("BLOB")))
        return ModelloRighe::TipoBinario;
    if (t.contains(QLatin1String("BOOL")))
        return Tipo::Booleano;
    return Tipo::Testo;
}

bool Numerico(int tipo) {
    return tipo == Tipo::Intero || tipo == Tipo::Lungo || tipo == Tipo::Singolo ||
           tipo == Tipo::Doppio || tipo == Tipo::Valuta;
}

// A number mask ("#,##0.00", "0.###") in the operator's format, for when the
// utility object is not in the process.
QString MascheraLocale(double v, const QString& maschera) {
    const QLocale loc = LocaleProgramma();
    const qsizetype punto = maschera.indexOf(QLatin1Char('.'));
    int obbligatori = 0, facoltativi = 0;
    if (punto >= 0) {
        for (qsizetype i = punto + 1; i < maschera.size(); ++i) {
            if (maschera.at(i) == QLatin1Char('0'))
                ++obbligatori;
            else if (maschera.at(i) == QLatin1Char('#'))
                ++facoltativi;
        }
    }
    QLocale l = loc;
    if (!maschera.left(punto < 0 ? maschera.size() : punto).contains(QLatin1Char(',')))
        l.setNumberOptions(QLocale::OmitGroupSeparator);
    QString s = l.toString(v, 'f', obbligatori + facoltativi);
    if (facoltativi > 0) {
        const QChar dec = l.decimalPoint().at(0);
        int daTogliere = facoltativi;
        while (daTogliere-- > 0 && s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(dec))
            s.chop(1);
    }
    return s;
}

QString Qualifica(const QString& q, const QString& c) {
    return q + QLatin1Char('.') + c;
}

// No value: a Null read from the database (a valid QVariant holding no value)
// as much as a cell never set or emptied by the operator (an invalid one).
bool Nullo(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// Two values of a cell are the same, Null being the same as Null only.
bool StessoValore(const QVariant& a, const QVariant& b) {
    if (Nullo(a) || Nullo(b))
        return Nullo(a) && Nullo(b);
    return a.toString() == b.toString();
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

} // namespace

ModelloRighe::ModelloRighe(QObject* genitore) : QAbstractTableModel(genitore) {
    // Connected first: a view or a tester told of a change cannot read more
    // rows until every listener was told of its end (fineInserimento and the
    // others), or they would hear of a change inside another.
    auto inizio = [this] { m_cambiando = true; };
    connect(this, &QAbstractItemModel::rowsAboutToBeInserted, this, inizio);
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, inizio);
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, inizio);
}

void ModelloRighe::fineInserimento() {
    endInsertRows();
    m_cambiando = false;
}

void ModelloRighe::fineRimozione() {
    endRemoveRows();
    m_cambiando = false;
}

void ModelloRighe::fineAzzeramento() {
    endResetModel();
    m_cambiando = false;
}

ModelloRighe::~ModelloRighe() {
    fermaConteggio();
}

void ModelloRighe::erroreSql(const QSqlQuery& q, const QString& sorgente) const {
    throw ErroreMotore(m_db, q.lastError(), sorgente);
}

int ModelloRighe::indiceColonna(const QString& nome) const {
    for (int i = 0; i < m_colonne.size(); ++i)
        if (m_colonne[i].nome.compare(nome, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void ModelloRighe::impostaTitolo(int c, const QString& titolo) {
    if (c < 0 || c >= m_colonne.size() || m_colonne[c].titolo == titolo)
        return;
    m_colonne[c].titolo = titolo;
    emit headerDataChanged(Qt::Horizontal, c, c);
}

void ModelloRighe::setAggiungibile(bool si) {
    if (si == m_aggiungibile)
        return;
    const int righe = int(totale());
    if (si) {
        beginInsertRows({}, righe, righe);
        m_aggiungibile = true;
        fineInserimento();
    } else {
        if (m_mod.nuova)
            annullaRiga();
        beginRemoveRows({}, righe, righe);
        m_aggiungibile = false;
        fineRimozione();
    }
}

void ModelloRighe::impostaChiaviForm(const QList<int>& colonne) {
    m_chiaviForm = colonne;
    if (m_aperta && m_colChiavi.isEmpty() && !colonne.isEmpty()) {
        beginResetModel();
        preparaChiavi();
        svuotaCache();
        fineAzzeramento();
    }
}

void ModelloRighe::svuotaCache() {
    m_spostata = false;
    m_cache.clear();
    m_lru.clear();
    m_rilette.clear();
    m_coda.clear();
    m_inizioCoda = -1;
}

void ModelloRighe::apri(const QSqlDatabase& db, const QString& sql) {
    beginResetModel();
    m_aperta = false;
    m_mod = {};
    m_colonne.clear();
    m_colChiavi.clear();
    m_posChiavi.clear();
    m_chiaviNascoste.clear();
    m_aggiunte.clear();
    m_cortaRiletta = false;
    fermaConteggio();
    m_totaleDb = 0;
    m_totaleNoto = true;
    m_testa = 0;
    svuotaCache();
    m_db = db;
    m_sql = sql;
    // the count's server connection opens while the first rows are read
    if (!sql.trimmed().isEmpty() && Conteggio::Possibile(db))
        canale().prepara(db);
    try {
        if (!sql.trimmed().isEmpty()) {
            m_analisiAccess = Analizza(sql);
            m_analisi = Analizza(Traduci(db, sql));
            if (!m_analisi.valida)
                throw Errore(NumErr::ChiamataOdbcFallita,
                             QStringLiteral("Testo SQL della lista non riconosciuto: %1").arg(sql),
                             QStringLiteral("ApriSql"));
            colonneDaQuery();
            preparaChiavi();
            conta();
            m_aperta = true;
        }
    } catch (...) {
        m_colonne.clear();
        fineAzzeramento();
        throw;
    }
    fineAzzeramento();
}

void ModelloRighe::colonneDaQuery() {
    // The fields of the list, from a read of no rows.
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(selectBase() + QStringLiteral(" LIMIT 0")))
        erroreSql(q, QStringLiteral("ApriSql"));
    const QSqlRecord rec = q.record();
    q.finish();

    // PostgreSQL keeps unquoted names in lower case.
    const QSqlRecord recBase =
        m_db.record(EPostgres(m_db) ? m_analisi.tabellaBase.toLower() : m_analisi.tabellaBase);
    const bool postgres = EPostgres(m_db);
    const bool unaTabella = !m_analisi.from.contains(QLatin1String("JOIN"), Qt::CaseInsensitive) &&
                            !m_analisi.from.contains(QLatin1Char(','));
    QHash<QString, int> tipiDichiarati; // SQLite declared types, by "table.column"
    auto tipoDichiarato = [&](const QString& tabella, const QString& colonna) -> int {
        if (postgres || tabella.isEmpty())
            return -1;
        const QString chiave = tabella.toLower();
        if (!tipiDichiarati.contains(chiave + QLatin1String("."))) {
            tipiDichiarati.insert(chiave + QLatin1String("."), 1);
            QSqlQuery p(m_db);
            if (p.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(tabella)))
                while (p.next())
                    tipiDichiarati.insert(chiave + QLatin1Char('.') +
                                              p.value(1).toString().toLower(),
                                          TipoDaDichiarato(p.value(2).toString()));
        }
        return tipiDichiarati.value(chiave + QLatin1Char('.') + colonna.toLower(), -1);
    };
    // Aliases of the FROM, so that a qualified column names its real table.
    auto tabellaVera = [&](const QString& qualificatore) {
        if (qualificatore.compare(m_analisi.aliasBase, Qt::CaseInsensitive) == 0)
            return m_analisi.tabellaBase;
        static const QRegularExpression parola(QStringLiteral(R"(\[[^\]]+\]|[A-Za-z_][\w.]*)"));
        static const QStringList chiavi = {"LEFT", "RIGHT", "INNER", "OUTER", "JOIN", "ON",
                                           "AND",  "OR",    "AS",    "FULL",  "CROSS"};
        QStringList parole;
        auto it = parola.globalMatch(m_analisi.from);
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
    };

    const bool stelle = std::any_of(m_analisi.voci.begin(), m_analisi.voci.end(),
                                    [](const VoceSelect& v) { return v.stella; });
    const bool stessaForma = !stelle && m_analisi.voci.size() == rec.count() &&
                             m_analisiAccess.voci.size() == m_analisi.voci.size();
    for (int i = 0; i < rec.count(); ++i) {
        ColonnaLista c;
        const QSqlField campo = rec.field(i);
        c.tipo = TipoDaMeta(QMetaType::Type(campo.metaType().id()));
        c.dimensione = campo.length() > 0 ? campo.length() : 0;
        if (stessaForma) {
            const VoceSelect& v = m_analisi.voci[i];
            const VoceSelect& va = m_analisiAccess.voci[i];
            c.nome = va.nome;
            c.espressione = va.espressione;
            c.espressioneMotore = v.espressione;
            if (v.semplice) {
                const bool diBase =
                    v.tabella.isEmpty()
                        ? (unaTabella || recBase.contains(v.colonna))
                        : v.tabella.compare(m_analisi.aliasBase, Qt::CaseInsensitive) == 0;
                c.tabella = diBase ? m_analisi.tabellaBase : tabellaVera(v.tabella);
                if (diBase && recBase.contains(v.colonna) && !m_analisi.raggruppata()) {
                    c.colonnaBase = recBase.field(recBase.indexOf(v.colonna)).name();
                    c.aggiornabile = true;
                }
                const int dich = tipoDichiarato(c.tabella, v.colonna);
                if (dich >= 0)
                    c.tipo = dich;
            }
        } else {
            c.nome = campo.name();
            c.espressione = c.espressioneMotore = c.nome;
            if (unaTabella && recBase.contains(c.nome) && !m_analisi.raggruppata()) {
                c.tabella = m_analisi.tabellaBase;
                c.colonnaBase = recBase.field(recBase.indexOf(c.nome)).name();
                c.aggiornabile = true;
                const int dich = tipoDichiarato(c.tabella, c.nome);
                if (dich >= 0)
                    c.tipo = dich;
            }
        }
        c.ordinabile = c.tipo != TipoBinario && !c.espressione.isEmpty();
        m_colonne.append(c);
    }
}

void ModelloRighe::preparaChiavi() {
    m_colChiavi.clear();
    m_posChiavi.clear();
    m_chiaviNascoste.clear();
    if (m_analisi.raggruppata())
        return;
    const QSqlIndex pk = m_db.primaryIndex(EPostgres(m_db) ? m_analisi.tabellaBase.toLower()
                                                           : m_analisi.tabellaBase);
    for (int i = 0; i < pk.count(); ++i)
        m_colChiavi << pk.fieldName(i);
    if (m_colChiavi.isEmpty()) {
        for (int c : m_chiaviForm)
            if (c >= 0 && c < m_colonne.size() && m_colonne[c].aggiornabile)
                m_colChiavi << m_colonne[c].colonnaBase;
    }
    for (const QString& k : m_colChiavi) {
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
    for (const QString& k : m_colChiavi) {
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

QString ModelloRighe::selectBase(const QString& condizione) const {
    QStringList voci;
    for (const auto& v : m_analisi.voci)
        voci << v.testo;
    voci << m_chiaviNascoste;
    QString s = QStringLiteral("SELECT ");
    if (m_analisi.distinta)
        s += QStringLiteral("DISTINCT ");
    s += voci.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + m_analisi.from;
    if (!m_analisi.where.isEmpty() && !condizione.isEmpty())
        s += QStringLiteral(" WHERE (%1) AND %2").arg(m_analisi.where, condizione);
    else if (!m_analisi.where.isEmpty())
        s += QStringLiteral(" WHERE ") + m_analisi.where;
    else if (!condizione.isEmpty())
        s += QStringLiteral(" WHERE ") + condizione;
    if (!m_analisi.gruppo.isEmpty())
        s += QLatin1Char(' ') + m_analisi.gruppo;
    return s;
}

QString ModelloRighe::ordineCompleto(bool inverti) const {
    return ComponiOrdine(TerminiOrdine(m_ordine), inverti);
}

QString ModelloRighe::fromPerContare() const {
    // Left joins to a table by its whole primary key neither add nor drop
    // rows: when the condition reads only the base table, the rows are
    // counted on the base table alone (a million index lookups saved).
    if (m_analisi.raggruppata())
        return m_analisi.from;
    QString from = m_analisi.from;
    from.replace(QLatin1Char('('), QLatin1Char(' ')).replace(QLatin1Char(')'), QLatin1Char(' '));
    static const QRegularExpression giunzione(QStringLiteral(R"(\bLEFT\s+(?:OUTER\s+)?JOIN\b)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QStringList pezzi = from.split(giunzione);
    if (pezzi.size() < 2)
        return m_analisi.from;
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
        return m_analisi.from;
    for (qsizetype k = 1; k < pezzi.size(); ++k) {
        const auto m = identificatore.match(pezzi[k]);
        if (!m.hasMatch())
            return m_analisi.from;
        const QString tabella = m.captured(1);
        const QString alias = m.captured(2).isEmpty() ? tabella : m.captured(2);
        const QSqlIndex pk = m_db.primaryIndex(EPostgres(m_db) ? tabella.toLower() : tabella);
        if (pk.isEmpty())
            return m_analisi.from;
        QStringList legate;
        for (const QString& parte : m.captured(3).split(eParola)) {
            const auto u = uguale.match(parte);
            if (!u.hasMatch())
                return m_analisi.from;
            const bool sinistra = u.captured(1).compare(alias, Qt::CaseInsensitive) == 0;
            const bool destra = u.captured(3).compare(alias, Qt::CaseInsensitive) == 0;
            if (sinistra == destra)
                return m_analisi.from;
            legate << (sinistra ? u.captured(2) : u.captured(4)).toLower();
        }
        for (int i = 0; i < pk.count(); ++i)
            if (!legate.contains(pk.fieldName(i).toLower()))
                return m_analisi.from;
    }
    // the condition reads the base table only
    const QSqlRecord base =
        m_db.record(EPostgres(m_db) ? m_analisi.tabellaBase.toLower() : m_analisi.tabellaBase);
    static const QStringList parole = {"AND",  "OR",      "NOT",  "IN",    "IS",    "NULL",
                                       "LIKE", "BETWEEN", "TRUE", "FALSE", "ESCAPE"};
    QString dove = m_analisi.where;
    static const QRegularExpression stringhe(QStringLiteral(R"('(?:[^']|'')*')"));
    dove.replace(stringhe, QStringLiteral("''"));
    static const QRegularExpression nome(QStringLiteral(R"(([A-Za-z_][\w.]*)\s*(\()?)"));
    auto it = nome.globalMatch(dove);
    while (it.hasNext()) {
        const auto m = it.next();
        if (!m.captured(2).isEmpty())
            continue; // a function
        const QString n = m.captured(1);
        const qsizetype punto = n.indexOf(QLatin1Char('.'));
        if (punto >= 0) {
            if (n.left(punto).compare(m_analisi.aliasBase, Qt::CaseInsensitive) != 0 ||
                !base.contains(n.mid(punto + 1)))
                return m_analisi.from;
        } else if (!parole.contains(n.toUpper()) && !base.contains(n)) {
            return m_analisi.from;
        }
    }
    return pezzi[0].trimmed();
}

QString ModelloRighe::testoConteggio() const {
    if (m_analisi.raggruppata())
        return QStringLiteral("SELECT COUNT(*) FROM (%1) qv_t").arg(selectBase());
    const QString esclusi = condizioneEsclusi();
    QString testo = QStringLiteral("SELECT COUNT(*) FROM ") + fromPerContare();
    if (!m_analisi.where.isEmpty() && !esclusi.isEmpty())
        testo += QStringLiteral(" WHERE (%1) AND %2").arg(m_analisi.where, esclusi);
    else if (!m_analisi.where.isEmpty())
        testo += QStringLiteral(" WHERE ") + m_analisi.where;
    else if (!esclusi.isEmpty())
        testo += QStringLiteral(" WHERE ") + esclusi;
    return testo;
}

QList<qint64> ModelloRighe::postiFissi() const {
    QList<qint64> posti;
    const qint64 righe = righeDb();
    for (auto it = m_rilette.cbegin(); it != m_rilette.cend(); ++it)
        if (it.key() < righe)
            posti << it.key();
    std::sort(posti.begin(), posti.end());
    return posti;
}

void ModelloRighe::fissaRiga(qint64 r, const Riga& x, bool certa) {
    m_rilette.insert(r, x);
    // A row that may have left the list while counting may or may not be
    // in the count.
    if (!m_totaleNoto && !certa)
        m_scrittaDuranteConteggio = true;
}

bool ModelloRighe::nellaLista(const QVariantList& chiave) const {
    if (m_analisi.where.isEmpty())
        return true;
    QVariantList parametri;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE (%2) AND %3")
                  .arg(m_analisi.from, m_analisi.where,
                       condizioneChiave(m_analisi.aliasBase, chiave, parametri)));
    for (const QVariant& v : parametri)
        q.addBindValue(v);
    return q.exec() && q.next();
}

QString ModelloRighe::condizioneEsclusi() const {
    if (m_colChiavi.isEmpty() || (m_rilette.isEmpty() && m_aggiunte.isEmpty()))
        return {};
    const QSqlDriver* driver = m_db.driver();
    QStringList colonne;
    for (const QString& k : m_colChiavi)
        colonne << Qualifica(m_analisi.aliasBase, k);
    auto letterale = [&](const QVariant& v) {
        QSqlField campo(QString(), v.metaType());
        campo.setValue(v);
        return driver->formatValue(campo);
    };
    QStringList chiavi;
    auto aggiungi = [&](const Riga& x) {
        const QVariantList k = chiaveDi(x);
        QStringList parti;
        for (qsizetype i = 0; i < k.size(); ++i) {
            if (Nullo(k[i]))
                return; // a key not known is no key to leave out
            parti << (colonne.size() == 1 ? letterale(k[i])
                                          : colonne[i] + QStringLiteral(" = ") + letterale(k[i]));
        }
        chiavi << parti.join(QStringLiteral(" AND "));
    };
    const qint64 righe = righeDb();
    for (auto it = m_rilette.cbegin(); it != m_rilette.cend(); ++it)
        if (it.key() < righe)
            aggiungi(it.value());
    for (const Riga& x : m_aggiunte)
        aggiungi(x);
    if (chiavi.isEmpty())
        return {};
    chiavi.removeDuplicates();
    if (colonne.size() == 1)
        return QStringLiteral("%1 NOT IN (%2)").arg(colonne[0], chiavi.join(QStringLiteral(", ")));
    return QStringLiteral("NOT ((%1))").arg(chiavi.join(QStringLiteral(") OR (")));
}

void ModelloRighe::conta() {
    fermaConteggio();
    m_totaleNoto = true;
    m_totaleDb = 0;
    m_testa = 0;
    m_coda.clear();
    m_inizioCoda = -1;
    // A first window that comes back short is the whole list.
    QVector<Riga> prime = leggiRighe(0, RigheFinestra, false, true);
    const qint64 lette = prime.size();
    if (lette > 0) {
        m_cache.insert(0, std::move(prime));
        m_lru.append(0);
    }
    if (lette < RigheFinestra) {
        m_totaleDb = lette;
        return;
    }
    if (Conteggio::Possibile(m_db)) {
        m_totaleNoto = false;
        m_testa = lette;
        avviaConteggio();
        return;
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(testoConteggio()) || !q.next())
        erroreSql(q, QStringLiteral("ApriSql"));
    m_totaleDb = q.value(0).toLongLong();
}

void ModelloRighe::avviaConteggio() {
    m_fisseAlConteggio = postiFissi().size();
    m_scrittaDuranteConteggio = false;
    m_conteggio = std::make_unique<Conteggio>(canale(), m_db, testoConteggio());
    connect(m_conteggio.get(), &Conteggio::arrivato, this, &ModelloRighe::conteggioArrivato);
}

CanaleConteggi& ModelloRighe::canale() {
    if (!m_canale)
        m_canale = std::make_unique<CanaleConteggi>();
    return *m_canale;
}

void ModelloRighe::fermaConteggio() {
    m_conteggio.reset();
}

void ModelloRighe::attendiConteggio() {
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
    if (m_totaleNoto)
        return;
    if (!riuscito) {
        // Counted here: the second connection could not do it (a table
        // only this connection sees, a server refusing one more login).
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        qint64 n = m_testa + m_coda.size();
        if (q.exec(testoConteggio()) && q.next())
            n = q.value(0).toLongLong() + postiFissi().size();
        else
            qWarning("Conteggio della lista non riuscito: %s / %s", qPrintable(errore),
                     qPrintable(q.lastError().text()));
        applicaTotale(n);
        emit totaleArrivato();
        return;
    }
    if (m_scrittaDuranteConteggio) {
        // A row written while counting may or may not be in the count.
        avviaConteggio();
        return;
    }
    // the rows written here before were left out of the count
    applicaTotale(contate + m_fisseAlConteggio);
    emit totaleArrivato();
}

void ModelloRighe::spostaRighe(qint64 da, qint64 quante) {
    if (quante == 0)
        return;
    if (m_mod.riga >= da)
        m_mod.riga += quante;
    if (m_rilette.isEmpty())
        return;
    QHash<qint64, Riga> spostate;
    for (auto it = m_rilette.cbegin(); it != m_rilette.cend(); ++it)
        spostate.insert(it.key() >= da ? it.key() + quante : it.key(), it.value());
    m_rilette = std::move(spostate);
}

void ModelloRighe::applicaTotale(qint64 totale) {
    const qint64 noti = m_testa + m_coda.size();
    if (totale < noti) {
        // The list lost rows while counting: read again from the total.
        beginResetModel();
        if (m_mod.riga >= m_testa)
            m_mod = {};
        svuotaCache();
        m_totaleDb = std::max<qint64>(totale, 0);
        m_totaleNoto = true;
        m_testa = 0;
        fineAzzeramento();
        return;
    }
    // The rows between those read from the top and those read from the end.
    const qint64 buco = totale - noti;
    if (buco > 0)
        beginInsertRows({}, int(m_testa), int(m_testa + buco - 1));
    spostaRighe(m_testa, buco);
    m_inizioCoda = m_coda.isEmpty() ? -1 : totale - m_coda.size();
    m_totaleDb = totale;
    m_totaleNoto = true;
    m_testa = 0;
    if (buco > 0)
        fineInserimento();
}

bool ModelloRighe::posizioneNota(qint64 r) const {
    return m_totaleNoto || r < m_testa;
}

void ModelloRighe::caricaFine() {
    if (!m_aperta || m_totaleNoto || !m_coda.isEmpty())
        return;
    if (m_colChiavi.isEmpty()) { // no key tells where the two ends meet
        attendiConteggio();
        return;
    }
    QVector<Riga> coda = leggiRighe(0, RigheFinestra, true);
    if (coda.isEmpty()) {
        attendiConteggio();
        return;
    }
    // A list a little longer than the rows read from the top: the last
    // window holds the last of them, and the list is known whole.
    qsizetype dopo = -1;
    qint64 ultimaLetta = m_testa - 1; // rows written here were left out of the read
    while (ultimaLetta >= 0 && m_rilette.contains(ultimaLetta))
        --ultimaLetta;
    if (const Riga* ultima = riga(ultimaLetta)) {
        const QVariantList k = chiaveDi(*ultima);
        for (qsizetype i = coda.size() - 1; i >= 0; --i)
            if (chiaveDi(coda[i]) == k) {
                dopo = i + 1;
                break;
            }
    }
    if (dopo >= 0)
        coda = coda.mid(dopo);
    const qint64 n = coda.size();
    if (n > 0)
        beginInsertRows({}, int(m_testa), int(m_testa + n - 1));
    spostaRighe(m_testa, n);
    m_coda = std::move(coda);
    if (dopo >= 0) {
        fermaConteggio();
        m_totaleDb = m_testa + n;
        m_inizioCoda = m_testa;
        m_totaleNoto = true;
        m_testa = 0;
    }
    if (n > 0)
        fineInserimento();
    if (dopo >= 0)
        emit totaleArrivato();
}

bool ModelloRighe::canFetchMore(const QModelIndex& p) const {
    return !p.isValid() && m_aperta && !m_totaleNoto && m_coda.isEmpty() && !m_spostata &&
           !m_cambiando;
}

void ModelloRighe::fetchMore(const QModelIndex& p) {
    if (!canFetchMore(p))
        return;
    // one row more before: the last row read, unless the list moved since
    const Riga* prima = inMemoria(m_testa - 1);
    QVector<Riga> righe =
        leggiPosti(m_testa - (prima ? 1 : 0), RigheFinestra + (prima ? 1 : 0), false, 0);
    if (prima) {
        if (righe.isEmpty() || chiaveDi(righe.first()) != chiaveDi(*prima)) {
            segnalaSpostamento();
            return;
        }
        righe.removeFirst();
    }
    const qint64 n = righe.size();
    const qint64 f = m_testa / RigheFinestra;
    const bool fine = n < RigheFinestra;
    if (n > 0)
        beginInsertRows({}, int(m_testa), int(m_testa + n - 1));
    spostaRighe(m_testa, n);
    if (n > 0) {
        m_cache.insert(f, std::move(righe));
        m_lru.append(f);
        while (m_lru.size() > FinestreMassime)
            m_cache.remove(m_lru.takeFirst());
    }
    m_testa += n;
    if (fine) {
        fermaConteggio();
        m_totaleDb = m_testa;
        m_totaleNoto = true;
        m_testa = 0;
    }
    if (n > 0)
        fineInserimento();
    if (fine)
        emit totaleArrivato();
}

void ModelloRighe::rileggi() {
    if (!m_aperta)
        return;
    beginResetModel();
    m_mod = {};
    m_aggiunte.clear();
    svuotaCache();
    try {
        conta();
    } catch (...) {
        m_totaleDb = 0;
        m_totaleNoto = true;
        fineAzzeramento();
        throw;
    }
    fineAzzeramento();
}

QVector<ModelloRighe::Riga> ModelloRighe::leggiRighe(qint64 offset, qint64 quante, bool dallaFine,
                                                     bool severo) const {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString testo = QStringLiteral("%1 ORDER BY %2 LIMIT %3 OFFSET %4")
                              .arg(selectBase(condizioneEsclusi()), ordineCompleto(dallaFine))
                              .arg(quante)
                              .arg(offset);
    QVector<Riga> righe;
    righe.reserve(int(quante));
    if (q.exec(testo)) {
        const int n = q.record().count();
        while (q.next()) {
            Riga r(n);
            for (int i = 0; i < n; ++i)
                r[i] = q.value(i);
            righe.append(std::move(r));
        }
    } else if (severo) {
        erroreSql(q, QStringLiteral("ApriSql"));
    }
    q.finish();
    if (dallaFine)
        std::reverse(righe.begin(), righe.end());
    return righe;
}

QVector<ModelloRighe::Riga> ModelloRighe::leggiPosti(qint64 inizio, qint64 quante, bool dallaFine,
                                                     qint64 fine) const {
    const QList<qint64> fissi = postiFissi();
    qint64 prima = 0, dentro = 0, dopo = 0;
    for (qint64 p : fissi) {
        if (p < inizio)
            ++prima;
        else if (p < inizio + quante)
            ++dentro;
        else
            ++dopo;
    }
    const qint64 offset = dallaFine ? fine - (inizio + quante) - dopo : inizio - prima;
    QVector<Riga> lette = leggiRighe(std::max<qint64>(offset, 0), quante - dentro, dallaFine);
    if (dentro == 0)
        return lette;
    // the rows written here at their places among those read
    QVector<Riga> righe;
    righe.reserve(int(quante));
    qsizetype k = 0;
    for (qint64 p = inizio; p < inizio + quante; ++p) {
        const auto it = m_rilette.constFind(p);
        if (it != m_rilette.constEnd())
            righe.append(*it);
        else if (k < lette.size())
            righe.append(lette[k++]);
        else if (dallaFine)
            righe.append(Riga());
        else
            break; // the list ends here
    }
    return righe;
}

void ModelloRighe::leggiFinestra(qint64 f) const {
    if (m_spostata)
        return; // the list is read again shortly: nothing shown from the old places
    const qint64 inizio = f * RigheFinestra;
    // While counting, only the rows from the top are read by window.
    const qint64 totale = m_totaleNoto ? m_totaleDb : m_testa;
    const qint64 quante = std::min<qint64>(RigheFinestra, totale - inizio);
    if (quante <= 0)
        return;
    // Past the middle the rows are read from the end, the order reversed.
    const bool dallaFine = m_totaleNoto && inizio > totale / 2;
    // One row more on the side of a neighbour in memory: it must be the
    // neighbour's row, else others added or deleted rows since it was read.
    const Riga* prima = inMemoria(inizio - 1);
    // (while counting, the rows after the top ones are the last of the list)
    const Riga* dopo =
        m_totaleNoto || inizio + quante < m_testa ? inMemoria(inizio + quante) : nullptr;
    const qint64 da = inizio - (prima ? 1 : 0);
    const qint64 a = inizio + quante + (dopo ? 1 : 0);
    QVector<Riga> righe = leggiPosti(da, a - da, dallaFine, totale);
    // A list changed by others since it was counted can also come back short
    // (read again once: a count that keeps disagreeing with the rows read
    // leaves the missing rows empty, as a list read again would show them).
    const bool corta =
        righe.size() < a - da ||
        std::any_of(righe.begin(), righe.end(), [](const Riga& x) { return x.isEmpty(); });
    bool spostata = corta && !m_cortaRiletta;
    if (!spostata && prima && !righe.isEmpty() && chiaveDi(righe.first()) != chiaveDi(*prima))
        spostata = true;
    if (!spostata && dopo && !righe.isEmpty() && chiaveDi(righe.last()) != chiaveDi(*dopo))
        spostata = true;
    if (spostata) {
        if (corta)
            m_cortaRiletta = true;
        segnalaSpostamento();
        return;
    }
    if (!corta && (prima || dopo))
        m_cortaRiletta = false; // the places agree again
    if (dopo && !righe.isEmpty())
        righe.removeLast();
    if (prima && !righe.isEmpty())
        righe.removeFirst();
    righe.resize(int(quante));
    m_cache.insert(f, std::move(righe));
    m_lru.append(f);
    while (m_lru.size() > FinestreMassime)
        m_cache.remove(m_lru.takeFirst());
}

const ModelloRighe::Riga* ModelloRighe::inMemoria(qint64 r) const {
    if (r < 0 || r >= righeDb())
        return nullptr;
    auto ril = m_rilette.constFind(r);
    if (ril != m_rilette.constEnd())
        return &*ril;
    if (!m_totaleNoto && r >= m_testa)
        return &m_coda[r - m_testa];
    if (m_totaleNoto && m_inizioCoda >= 0 && r >= m_inizioCoda && r < m_inizioCoda + m_coda.size())
        return &m_coda[r - m_inizioCoda];
    const auto it = m_cache.constFind(r / RigheFinestra);
    if (it == m_cache.constEnd())
        return nullptr;
    const qint64 k = r % RigheFinestra;
    return k < it->size() && !(*it)[k].isEmpty() ? &(*it)[k] : nullptr;
}

QVariantList ModelloRighe::chiaveInMemoria(qint64 r) const {
    const Riga* x = inMemoria(r);
    if (!x || m_colChiavi.isEmpty())
        return {};
    return chiaveDi(*x);
}

void ModelloRighe::segnalaSpostamento() const {
    if (m_spostata)
        return;
    m_spostata = true;
    auto* io = const_cast<ModelloRighe*>(this);
    QMetaObject::invokeMethod(
        io,
        [io] {
            if (!io->m_spostata)
                return;
            if (io->isSignalConnected(QMetaMethod::fromSignal(&ModelloRighe::listaSpostata)))
                emit io->listaSpostata();
            else
                try {
                    io->riallinea();
                } catch (const Errore& e) {
                    qWarning("Lista non riletta: %s", qPrintable(e.descrizione()));
                }
        },
        Qt::QueuedConnection);
}

void ModelloRighe::riallinea() {
    // A row being written waits: the list is read again after it.
    if (!m_spostata || (inModifica() && modificata()))
        return;
    rileggi();
}

qint64 ModelloRighe::posizioneChiave(const QVariantList& chiave) const {
    if (!m_aperta || m_colChiavi.isEmpty() || chiave.size() != m_colChiavi.size() ||
        m_analisi.raggruppata() || m_analisi.distinta)
        return -1;
    for (const QVariant& v : chiave)
        if (Nullo(v))
            return -1;
    const QString esclusi = condizioneEsclusi();
    QString dove = m_analisi.where;
    if (!esclusi.isEmpty())
        dove = dove.isEmpty() ? esclusi : QStringLiteral("(%1) AND %2").arg(dove, esclusi);
    QStringList colonne, condizioni;
    for (int i = 0; i < m_colChiavi.size(); ++i) {
        colonne << QStringLiteral("%1 AS qv_c%2")
                       .arg(Qualifica(m_analisi.aliasBase, m_colChiavi[i]))
                       .arg(i);
        condizioni << QStringLiteral("qv_c%1 = ?").arg(i);
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT qv_rn FROM (SELECT ROW_NUMBER() OVER (ORDER BY %1) AS qv_rn, "
                             "%2 FROM %3%4) qv_t WHERE %5")
                  .arg(m_ordine, colonne.join(QStringLiteral(", ")), m_analisi.from,
                       dove.isEmpty() ? QString() : QStringLiteral(" WHERE ") + dove,
                       condizioni.join(QStringLiteral(" AND "))));
    for (const QVariant& v : chiave)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return -1;
    qint64 n = q.value(0).toLongLong() - 1;
    // the rows written here keep their places among those read
    for (qint64 p : postiFissi())
        if (p <= n)
            ++n;
    return n;
}

const ModelloRighe::Riga* ModelloRighe::riga(qint64 r) const {
    if (r < 0)
        return nullptr;
    auto ril = m_rilette.constFind(r);
    if (ril != m_rilette.constEnd() && r < righeDb())
        return &*ril;
    if (!m_totaleNoto && r >= m_testa && r < righeDb())
        return &m_coda[r - m_testa];
    if (m_totaleNoto && m_inizioCoda >= 0 && r >= m_inizioCoda && r < m_inizioCoda + m_coda.size())
        return &m_coda[r - m_inizioCoda];
    if (r < righeDb()) {
        const qint64 f = r / RigheFinestra;
        auto it = m_cache.constFind(f);
        if (it == m_cache.constEnd()) {
            leggiFinestra(f);
            it = m_cache.constFind(f);
            if (it == m_cache.constEnd())
                return nullptr;
        } else if (m_lru.last() != f) {
            m_lru.removeOne(f);
            m_lru.append(f);
        }
        const qint64 k = r - f * RigheFinestra;
        return k < it->size() ? &(*it)[k] : nullptr;
    }
    if (r < totale())
        return &m_aggiunte[r - righeDb()];
    return nullptr;
}
QVariant ModelloRighe::valore(qint64 r, int c) const {
    if (m_mod.riga == r && r >= 0)
        return c < m_mod.valori.size() ? m_mod.valori[c] : QVariant();
    const Riga* x = riga(r);
    if (!x || c >= x->size())
        return {};
    return (*x)[c];
}

bool ModelloRighe::modificata() const {
    return std::any_of(m_mod.cambiati.begin(), m_mod.cambiati.end(), [](bool b) { return b; });
}

bool ModelloRighe::colonnaCambiata(int c) const {
    return m_mod.riga >= 0 && c >= 0 && c < m_mod.cambiati.size() && m_mod.cambiati[c];
}

void ModelloRighe::iniziaRiga(qint64 r) {
    if (m_mod.riga == r)
        return;
    m_mod = {};
    m_mod.riga = r;
    const int n = int(m_colonne.size() + m_chiaviNascoste.size());
    if (r >= totale()) {
        m_mod.nuova = true;
        m_mod.riga = totale();
        m_mod.originale = Riga(n);
    } else {
        const Riga* x = riga(r);
        m_mod.originale = x ? *x : Riga(n);
    }
    m_mod.valori = m_mod.originale;
    m_mod.cambiati = QVector<bool>(n, false);
}

void ModelloRighe::impostaValore(qint64 r, int c, const QVariant& v) {
    iniziaRiga(r);
    if (c < 0 || c >= m_colonne.size())
        return;
    QVariant valore = v;
    if (v.typeId() == QMetaType::QString && m_colonne[c].tipo != Tipo::Testo) {
        bool ok = false;
        const QVariant conv = daTesto(c, v.toString(), &ok);
        if (ok)
            valore = conv;
    }
    m_mod.valori[c] = valore;
    const QVariant& o = m_mod.originale[c];
    m_mod.cambiati[c] = m_mod.nuova ? !Nullo(valore) : !StessoValore(o, valore);
    const QModelIndex i = index(int(m_mod.riga), c);
    emit dataChanged(i, i);
}

void ModelloRighe::annullaRiga() {
    if (m_mod.riga < 0)
        return;
    const qint64 r = m_mod.riga;
    m_mod = {};
    emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
    if (m_spostata) { // the list moved while the row was being edited
        m_spostata = false;
        segnalaSpostamento();
    }
}

QVariantList ModelloRighe::chiaveDi(const Riga& r) const {
    QVariantList k;
    for (int p : m_posChiavi)
        k << (p < r.size() ? r[p] : QVariant());
    return k;
}

QString ModelloRighe::condizioneChiave(const QString& qualificatore, const QVariantList& chiave,
                                       QVariantList& parametri) const {
    // (the key columns a form names on a table without a key may hold Null)
    QStringList parti;
    for (qsizetype i = 0; i < m_colChiavi.size(); ++i)
        parti << Uguale(qualificatore.isEmpty() ? m_colChiavi[i]
                                                : Qualifica(qualificatore, m_colChiavi[i]),
                        i < chiave.size() ? chiave[i] : QVariant(), parametri);
    return parti.join(QStringLiteral(" AND "));
}

ModelloRighe::Riga ModelloRighe::rileggiPerChiave(const QVariantList& chiave, bool* trovata) const {
    // The list's select without its WHERE: a row written outside the list's
    // condition is still shown as written.
    QStringList voci;
    for (const auto& v : m_analisi.voci)
        voci << v.testo;
    voci << m_chiaviNascoste;
    QVariantList parametri;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                  .arg(voci.join(QStringLiteral(", ")), m_analisi.from,
                       condizioneChiave(m_analisi.aliasBase, chiave, parametri)));
    for (const QVariant& v : parametri)
        q.addBindValue(v);
    Riga r;
    *trovata = false;
    if (q.exec() && q.next()) {
        const int n = q.record().count();
        r.resize(n);
        for (int i = 0; i < n; ++i)
            r[i] = q.value(i);
        *trovata = true;
    }
    q.finish();
    return r;
}

void ModelloRighe::scriviRiga() {
    if (m_mod.riga < 0 || !modificata())
        return;
    if (!scrivibile())
        throw Errore(NumErrLista::NonAggiornabile, QStringLiteral("La lista non si può aggiornare"),
                     QStringLiteral("Griglia"));
    const qint64 r = m_mod.riga;
    QSqlQuery q(m_db);
    QVariantList chiaveNuova;
    if (m_mod.nuova) {
        QStringList colonne, segni;
        QVariantList valori;
        for (int c = 0; c < m_colonne.size(); ++c) {
            if (!m_colonne[c].aggiornabile || Nullo(m_mod.valori[c]))
                continue; // left to the column's default
            colonne << m_colonne[c].colonnaBase;
            segni << QStringLiteral("?");
            valori << m_mod.valori[c];
        }
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(m_analisi.tabellaBase, colonne.join(QStringLiteral(", ")),
                           segni.join(QStringLiteral(", "))));
        for (const QVariant& v : valori)
            q.addBindValue(v);
        if (!q.exec())
            erroreSql(q, QStringLiteral("Griglia"));
        chiaveNuova = chiaveDi(m_mod.valori);
    } else {
        QStringList assegna, condizioni;
        QVariantList valori;
        for (int c = 0; c < m_colonne.size(); ++c) {
            if (!m_colonne[c].aggiornabile || !m_mod.cambiati[c])
                continue;
            // Null written as such: no parameter whose type the server could not infer
            if (Nullo(m_mod.valori[c])) {
                assegna << m_colonne[c].colonnaBase + QStringLiteral(" = NULL");
            } else {
                assegna << m_colonne[c].colonnaBase + QStringLiteral(" = ?");
                valori << m_mod.valori[c];
            }
        }
        if (assegna.isEmpty()) { // only read-only columns changed
            annullaRiga();
            return;
        }
        condizioni << condizioneChiave({}, chiaveDi(m_mod.originale), valori);
        // Nobody changed the row since it was read.
        for (int c = 0; c < m_colonne.size(); ++c) {
            if (!m_colonne[c].aggiornabile || m_colonne[c].tipo == TipoBinario)
                continue;
            condizioni << Uguale(m_colonne[c].colonnaBase, m_mod.originale[c], valori);
        }
        q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                      .arg(m_analisi.tabellaBase, assegna.join(QStringLiteral(", ")),
                           condizioni.join(QStringLiteral(" AND "))));
        for (const QVariant& v : valori)
            q.addBindValue(v);
        if (!q.exec())
            erroreSql(q, QStringLiteral("Griglia"));
        if (q.numRowsAffected() == 0) {
            bool trovata = false;
            const Riga nuova = rileggiPerChiave(chiaveDi(m_mod.originale), &trovata);
            m_mod = {};
            if (trovata)
                fissaRiga(r, nuova);
            emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
            if (trovata)
                throw Errore(NumErrLista::RigaModificata,
                             QStringLiteral("La riga è stata modificata da un'altra postazione "
                                            "dopo essere stata letta"),
                             QStringLiteral("Griglia"));
            throw Errore(NumErrLista::RigaCancellata,
                         QStringLiteral("La riga è stata cancellata da un'altra postazione"),
                         QStringLiteral("Griglia"));
        }
        chiaveNuova = chiaveDi(m_mod.valori);
    }
    q.finish();
    bool trovata = false;
    Riga letta = rileggiPerChiave(chiaveNuova, &trovata);
    if (!trovata)
        letta = m_mod.valori;
    const bool nuova = m_mod.nuova;
    m_mod = {};
    if (nuova) {
        if (!m_totaleNoto)
            m_scrittaDuranteConteggio = true;
        const int pos = int(totale());
        beginInsertRows({}, pos, pos);
        m_aggiunte.append(letta);
        fineInserimento();
    } else if (r < righeDb()) {
        fissaRiga(r, letta, !m_totaleNoto && nellaLista(chiaveDi(letta)));
    } else {
        m_aggiunte[r - righeDb()] = letta;
    }
    emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
    if (m_spostata) { // the list moved while the row was being edited
        m_spostata = false;
        segnalaSpostamento();
    }
}

void ModelloRighe::eliminaRiga(qint64 r) {
    if (r < 0 || r >= totale())
        return;
    if (!scrivibile())
        throw Errore(NumErrLista::NonAggiornabile, QStringLiteral("La lista non si può aggiornare"),
                     QStringLiteral("Griglia"));
    const Riga* x = riga(r);
    if (!x)
        throw Errore(NumErr::NessunRecordCorrente, QStringLiteral("Nessun record corrente"),
                     QStringLiteral("Griglia"));
    const Riga letta = *x;
    QSqlQuery q(m_db);
    QVariantList valori;
    QStringList condizioni{condizioneChiave({}, chiaveDi(letta), valori)};
    for (int c = 0; c < m_colonne.size(); ++c) {
        if (!m_colonne[c].aggiornabile || m_colonne[c].tipo == TipoBinario)
            continue;
        condizioni << Uguale(m_colonne[c].colonnaBase, letta[c], valori);
    }
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                  .arg(m_analisi.tabellaBase, condizioni.join(QStringLiteral(" AND "))));
    for (const QVariant& v : valori)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    const bool cancellata = q.numRowsAffected() > 0;
    q.finish();
    if (!cancellata) {
        bool trovata = false;
        const Riga nuova = rileggiPerChiave(chiaveDi(letta), &trovata);
        if (trovata) {
            if (r < righeDb())
                fissaRiga(r, nuova);
            else
                m_aggiunte[r - righeDb()] = nuova;
            emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
            throw Errore(NumErrLista::RigaModificata,
                         QStringLiteral("La riga è stata modificata da un'altra postazione "
                                        "dopo essere stata letta"),
                         QStringLiteral("Griglia"));
        }
    }
    if (m_mod.riga == r)
        m_mod = {};
    rileggi();
}

void ModelloRighe::setFormatoData(const QString& formato) {
    if (!formato.isEmpty())
        m_formatoData = FormatoQt(formato);
}

QString ModelloRighe::testoVisibile(const QVariant& v, int c) const {
    if (Nullo(v))
        return {};
    const ColonnaLista& col = m_colonne[c];
    if (col.tipo == Tipo::Data || v.typeId() == QMetaType::QDate ||
        v.typeId() == QMetaType::QDateTime) {
        QDate d = v.toDate();
        if (!d.isValid())
            d = QDate::fromString(v.toString().left(10), Qt::ISODate);
        return d.isValid() ? d.toString(m_formatoData) : v.toString();
    }
    if (Numerico(col.tipo) || v.typeId() == QMetaType::Double) {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            return v.toString();
        if (!col.formato.isEmpty()) {
            try {
                return Utilita().ApplicaFormato(d, col.formato);
            } catch (const Errore&) {
                return MascheraLocale(d, col.formato);
            }
        }
        QLocale l = LocaleProgramma();
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(d, 'f', QLocale::FloatingPointShortest);
    }
    if (col.tipo == TipoBinario)
        return QStringLiteral("<binario>");
    return v.toString();
}

QString ModelloRighe::testoModifica(const QVariant& v, int c) const {
    if (Numerico(m_colonne[c].tipo) && !Nullo(v)) { // a Null number is no 0
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (ok) {
            QLocale l = LocaleProgramma();
            l.setNumberOptions(QLocale::OmitGroupSeparator);
            return l.toString(d, 'f', QLocale::FloatingPointShortest);
        }
    }
    return testoVisibile(v, c);
}

QVariant ModelloRighe::daTesto(int c, const QString& testo, bool* ok) const {
    *ok = true;
    const ColonnaLista& col = m_colonne[c];
    const QString t = testo.trimmed();
    if (t.isEmpty())
        return {};
    if (Numerico(col.tipo)) {
        const QLocale l = LocaleProgramma();
        double d = l.toDouble(t, ok);
        if (!*ok)
            d = QLocale::c().toDouble(t, ok);
        if (!*ok) {
            QString s = t;
            s.remove(l.groupSeparator());
            d = l.toDouble(s, ok);
        }
        if (!*ok)
            return {};
        if (col.tipo == Tipo::Lungo || col.tipo == Tipo::Intero)
            return QVariant(qint64(std::llround(d)));
        return d;
    }
    if (col.tipo == Tipo::Data) {
        for (const QString& f :
             {m_formatoData, QStringLiteral("d/M/yyyy"), QStringLiteral("d/M/yy"),
              QStringLiteral("yyyy-MM-dd"), QStringLiteral("ddMMyyyy")}) {
            QDate d = QDate::fromString(t, f);
            if (d.isValid()) {
                if (d.year() < 1930 && f.endsWith(QLatin1String("yy")) &&
                    !f.endsWith(QLatin1String("yyyy")))
                    d = d.addYears(100);
                return d;
            }
        }
        *ok = false;
        return {};
    }
    return testo;
}

qint64 ModelloRighe::cerca(int c, const QString& testo, qint64 da) {
    if (!m_aperta || c < 0 || c >= m_colonne.size() || testo.isEmpty() || m_analisi.raggruppata())
        return -1;
    // Numbered as the windows are read: without the rows written here, whose
    // places are known.
    const QString esclusi = condizioneEsclusi();
    QString dove = m_analisi.where;
    if (!esclusi.isEmpty())
        dove = dove.isEmpty() ? esclusi : QStringLiteral("(%1) AND %2").arg(dove, esclusi);
    const QString interna =
        QStringLiteral("SELECT ROW_NUMBER() OVER (ORDER BY %1) AS qv_rn, %2 AS qv_v FROM %3")
            .arg(m_ordine, m_colonne[c].espressioneMotore, m_analisi.from) +
        (dove.isEmpty() ? QString() : QStringLiteral(" WHERE ") + dove);
    const QList<qint64> fissi = postiFissi();
    // the rows read up to the place da, and the place of the n-th row read
    qint64 lette = da + 1;
    for (qint64 p : fissi)
        if (p <= da)
            --lette;
    auto posto = [&](qint64 n) {
        if (n < 0)
            return n;
        for (qint64 p : fissi)
            if (p <= n)
                ++n;
        return n;
    };
    auto prova = [&](const QString& condizione, qint64 limite) -> qint64 {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT qv_rn FROM (%1) qv_t WHERE %2 AND "
                                 "UPPER(CAST(qv_v AS VARCHAR(250))) LIKE ? ORDER BY qv_rn LIMIT 1")
                      .arg(interna, condizione));
        q.addBindValue(limite);
        q.addBindValue(QStringLiteral("%") + testo.toUpper() + QStringLiteral("%"));
        if (!q.exec())
            erroreSql(q, QStringLiteral("Cerca"));
        return q.next() ? q.value(0).toLongLong() - 1 : -1;
    };
    qint64 r = prova(QStringLiteral("qv_rn > ?"), lette);
    if (r < 0)
        r = prova(QStringLiteral("qv_rn <= ?"), lette);
    return posto(r);
}

int ModelloRighe::rowCount(const QModelIndex& p) const {
    if (p.isValid() || !m_aperta)
        return 0;
    return int(totale() + (m_aggiungibile ? 1 : 0));
}

int ModelloRighe::columnCount(const QModelIndex& p) const {
    return p.isValid() ? 0 : int(m_colonne.size());
}

QVariant ModelloRighe::data(const QModelIndex& i, int ruolo) const {
    if (!i.isValid())
        return {};
    switch (ruolo) {
    case Qt::DisplayRole:
        return testoVisibile(valore(i.row(), i.column()), i.column());
    case Qt::EditRole:
        return valore(i.row(), i.column());
    case Qt::TextAlignmentRole:
        return Numerico(m_colonne[i.column()].tipo)
                   ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                   : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant ModelloRighe::headerData(int s, Qt::Orientation o, int ruolo) const {
    if (o == Qt::Horizontal && ruolo == Qt::DisplayRole && s >= 0 && s < m_colonne.size())
        return m_colonne[s].titolo.isNull() ? m_colonne[s].nome : m_colonne[s].titolo;
    if (o == Qt::Vertical && ruolo == Qt::DisplayRole) {
        if (m_mod.riga == s && modificata())
            return QStringLiteral("\u270E"); // the row is being edited
        if (s == totale() && m_aggiungibile)
            return QStringLiteral("*");
        return QString();
    }
    return QAbstractTableModel::headerData(s, o, ruolo);
}

Qt::ItemFlags ModelloRighe::flags(const QModelIndex& i) const {
    if (!i.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace quarvel::listcmd
