#include "listcmd/ModelloRigheInterno.h"

#include "listcmd/Conteggio.h"
#include "listcmd/TestoCella.h"
#include "suite/Utilita.h"

#include <QMetaMethod>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <limits>
#include <optional>

namespace quarvel::listcmd {

using namespace dettaglio;

namespace {

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
        return TipoBinario;
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
        return TipoBinario;
    if (t.contains(QLatin1String("BOOL")))
        return Tipo::Booleano;
    return Tipo::Testo;
}

// The kinds SQLite tables declare for their columns, read once per table
// (PostgreSQL's driver gives the kinds of the result already).
class TipiDichiarati {
public:
    explicit TipiDichiarati(const QSqlDatabase& db) : m_db(db), m_attivo(!EPostgres(db)) {}
    // -1 when not known.
    int tipo(const QString& tabella, const QString& colonna) {
        if (!m_attivo || tabella.isEmpty())
            return -1;
        const QString t = tabella.toLower();
        if (!m_lette.contains(t)) {
            m_lette.insert(t);
            QSqlQuery p(m_db);
            if (p.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(tabella)))
                while (p.next())
                    m_tipi.insert(t + QLatin1Char('.') + p.value(1).toString().toLower(),
                                  TipoDaDichiarato(p.value(2).toString()));
        }
        return m_tipi.value(t + QLatin1Char('.') + colonna.toLower(), -1);
    }

private:
    QSqlDatabase m_db;
    bool m_attivo;
    QSet<QString> m_lette;
    QHash<QString, int> m_tipi; // by "table.column"
};

// The columns of a table the server compares without regard to case by
// folding the case of both sides (citext): none on SQLite, whose NOCASE
// columns compare without folding.
QStringList ColonneSenzaCaso(const QSqlDatabase& db, const QString& tabella) {
    QStringList colonne;
    if (!EPostgres(db))
        return colonne;
    QString nome = NomeTabella(db, tabella);
    nome.replace(QLatin1Char('\''), QStringLiteral("''"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // no citext in the database: to_regtype gives Null, no column matches
    if (q.exec(QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = "
                              "to_regclass('%1') AND attnum > 0 AND NOT attisdropped AND "
                              "atttypid = to_regtype('citext')")
                   .arg(nome)))
        while (q.next())
            colonne << q.value(0).toString();
    return colonne;
}

// The list without its condition: what its fields are.
AnalisiSql AnalisiSenzaCondizione(AnalisiSql a) {
    a.where.clear();
    return a;
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
    m_attesaConteggio = new QTimer(this);
    m_attesaConteggio->setSingleShot(true);
    connect(m_attesaConteggio, &QTimer::timeout, this, [this] {
        if (m_aperta && !totaleNoto() && !m_conteggio)
            avviaConteggio();
    });
}

void ModelloRighe::fineInserimento() {
    endInsertRows();
    m_cambiando = false;
    ++m_generazione;
}

void ModelloRighe::fineRimozione() {
    endRemoveRows();
    m_cambiando = false;
    ++m_generazione;
}

void ModelloRighe::fineAzzeramento() {
    endResetModel();
    m_cambiando = false;
    ++m_generazione;
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
    if (m_aperta && m_lista.chiavi().isEmpty() && !colonne.isEmpty()) {
        beginResetModel();
        preparaChiavi();
        svuotaCache();
        fineAzzeramento();
    }
}

void ModelloRighe::svuotaCache() {
    ++m_generazione;
    m_spostata = false;
    m_richieste.clear();
    m_finestreFallite.clear();
    m_testaFallita = false;
    m_cache.svuota();
    m_valori.reset();
}

void ModelloRighe::apri(const QSqlDatabase& db, const QString& sql) {
    const qint64 righeNote = righeDellaStessaLista(db, sql);
    beginResetModel();
    m_aperta = false;
    m_mod = {};
    m_colonne.clear();
    m_lista = SqlLista();
    m_fromConteggio.clear();
    m_senzaCaso.clear();
    fermaConteggio();
    m_cache.azzera();
    m_cache.impostaChiavi({});
    svuotaCache();
    m_db = db;
    m_sql = sql;
    const QString connessione =
        QStringList{db.connectionName(),        db.driverName(), db.databaseName(), db.hostName(),
                    QString::number(db.port()), db.userName()}
            .join(QChar(0));
    if (!m_tabelleStabili || sql.trimmed().isEmpty() || m_tabelle.connessione != connessione)
        m_tabelle = Tabelle{connessione, {}, {}, {}, {}};
    // The count's server connection opens while the first rows are read.  A
    // count that waits for a pause (a search window) opens it when it
    // starts: the login does not take its time from the characters typed.
    if (!sql.trimmed().isEmpty() && Conteggio::Possibile(db) && m_ritardoConteggio == 0)
        canale().prepara(db);
    try {
        if (!sql.trimmed().isEmpty()) {
            m_analisiAccess = Analizza(sql);
            m_lista = SqlLista(Analizza(Traduci(db, sql)));
            if (!m_lista.analisi().valida)
                throw Errore(NumErr::ChiamataOdbcFallita,
                             QStringLiteral("Testo SQL della lista non riconosciuto: %1").arg(sql),
                             QStringLiteral("ApriSql"));
            colonneDaQuery();
            preparaChiavi();
            scegliLetturaIntera(righeNote);
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
    const AnalisiSql& analisi = m_lista.analisi();
    // (the fields do not depend on the condition)
    const QString campi = SqlLista(AnalisiSenzaCondizione(analisi)).senzaRighe();
    if (!m_tabelle.campi.contains(campi)) {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.exec(campi))
            erroreSql(q, QStringLiteral("ApriSql"));
        m_tabelle.campi.insert(campi, q.record());
    }
    const QSqlRecord rec = m_tabelle.campi.value(campi);

    const QSqlRecord recBase = colonneTabella(analisi.tabellaBase);
    const bool unaTabella = !analisi.from.contains(QLatin1String("JOIN"), Qt::CaseInsensitive) &&
                            !analisi.from.contains(QLatin1Char(','));
    TipiDichiarati tipiDichiarati(m_db);
    // Aliases of the FROM, so that a qualified column names its real table.
    auto tabellaVera = [&](const QString& qualificatore) {
        if (qualificatore.compare(analisi.aliasBase, Qt::CaseInsensitive) == 0)
            return analisi.tabellaBase;
        return TabellaDiQualificatore(analisi.from, qualificatore);
    };

    const bool stelle = std::any_of(analisi.voci.begin(), analisi.voci.end(),
                                    [](const VoceSelect& v) { return v.stella; });
    const bool stessaForma = !stelle && analisi.voci.size() == rec.count() &&
                             m_analisiAccess.voci.size() == analisi.voci.size();
    for (int i = 0; i < rec.count(); ++i) {
        ColonnaLista c;
        const QSqlField campo = rec.field(i);
        c.tipo = TipoDaMeta(QMetaType::Type(campo.metaType().id()));
        c.dimensione = campo.length() > 0 ? campo.length() : 0;
        if (stessaForma) {
            const VoceSelect& v = analisi.voci[i];
            const VoceSelect& va = m_analisiAccess.voci[i];
            c.nome = va.nome;
            c.espressione = va.espressione;
            c.espressioneMotore = v.espressione;
            if (v.semplice) {
                const bool diBase =
                    v.tabella.isEmpty()
                        ? (unaTabella || recBase.contains(v.colonna))
                        : v.tabella.compare(analisi.aliasBase, Qt::CaseInsensitive) == 0;
                c.tabella = diBase ? analisi.tabellaBase : tabellaVera(v.tabella);
                if (diBase && recBase.contains(v.colonna) && !analisi.raggruppata()) {
                    c.colonnaBase = recBase.field(recBase.indexOf(v.colonna)).name();
                    c.aggiornabile = true;
                }
                const int dich = tipiDichiarati.tipo(c.tabella, v.colonna);
                if (dich >= 0)
                    c.tipo = dich;
            }
        } else {
            c.nome = campo.name();
            c.espressione = c.espressioneMotore = c.nome;
            if (unaTabella && recBase.contains(c.nome) && !analisi.raggruppata()) {
                c.tabella = analisi.tabellaBase;
                c.colonnaBase = recBase.field(recBase.indexOf(c.nome)).name();
                c.aggiornabile = true;
                const int dich = tipiDichiarati.tipo(c.tabella, c.nome);
                if (dich >= 0)
                    c.tipo = dich;
            }
        }
        c.ordinabile = c.tipo != TipoBinario && !c.espressione.isEmpty();
        m_colonne.append(c);
    }
}

void ModelloRighe::preparaChiavi() {
    QStringList chiavi;
    if (!m_lista.analisi().raggruppata()) {
        chiavi = chiaveTabella(m_lista.analisi().tabellaBase);
        if (chiavi.isEmpty()) {
            for (int c : m_chiaviForm)
                if (c >= 0 && c < m_colonne.size() && m_colonne[c].aggiornabile)
                    chiavi << m_colonne[c].colonnaBase;
        }
    }
    m_lista.impostaChiavi(m_colonne, chiavi);
    m_lista.impostaSchema(schemaLista());
    m_cache.impostaChiavi(m_lista.posizioniChiavi());
}

SchemaLista ModelloRighe::schemaLista() {
    SchemaLista schema;
    schema.chiavePrimaria = [this](const QString& tabella) { return chiaveTabella(tabella); };
    const QSqlRecord& base = colonneTabella(m_lista.analisi().tabellaBase);
    for (int i = 0; i < base.count(); ++i)
        schema.colonneBase << base.fieldName(i);
    return schema;
}

QString ModelloRighe::testoConteggio() {
    // the tables' keys are read when the list is first counted
    if (m_fromConteggio.isEmpty()) {
        m_fromConteggio = m_lista.fromPerContare(schemaLista());
        m_senzaCaso = senzaCasoTabella(m_lista.analisi().tabellaBase);
    }
    return m_lista.conteggio(m_fromConteggio, condizioneEsclusi());
}

const QSqlRecord& ModelloRighe::colonneTabella(const QString& tabella) {
    const QString t = tabella.toLower();
    auto it = m_tabelle.colonne.find(t);
    if (it == m_tabelle.colonne.end())
        it = m_tabelle.colonne.insert(t, m_db.record(NomeTabella(m_db, tabella)));
    return *it;
}

const QStringList& ModelloRighe::chiaveTabella(const QString& tabella) {
    const QString t = tabella.toLower();
    auto it = m_tabelle.chiavi.find(t);
    if (it == m_tabelle.chiavi.end()) {
        QStringList colonne;
        const QSqlIndex pk = m_db.primaryIndex(NomeTabella(m_db, tabella));
        for (int i = 0; i < pk.count(); ++i)
            colonne << pk.fieldName(i);
        it = m_tabelle.chiavi.insert(t, colonne);
    }
    return *it;
}

const QStringList& ModelloRighe::senzaCasoTabella(const QString& tabella) {
    const QString t = tabella.toLower();
    auto it = m_tabelle.senzaCaso.find(t);
    if (it == m_tabelle.senzaCaso.end())
        it = m_tabelle.senzaCaso.insert(t, ColonneSenzaCaso(m_db, tabella));
    return *it;
}

void ModelloRighe::setFormatoData(const QString& formato) {
    if (!formato.isEmpty())
        m_formatoData = FormatoDataQt(formato);
}

QString ModelloRighe::testoVisibile(const QVariant& v, int c) const {
    return TestoVisibile(v, m_colonne[c], m_formatoData);
}

QString ModelloRighe::testoModifica(const QVariant& v, int c) const {
    return TestoModifica(v, m_colonne[c], m_formatoData);
}

QVariant ModelloRighe::daTesto(int c, const QString& testo, bool* ok) const {
    return DaTesto(testo, m_colonne[c], m_formatoData, ok);
}

QString ModelloRighe::formaAttesa(int c) const {
    return FormaAttesa(m_colonne[c], m_formatoData);
}

qint64 ModelloRighe::cerca(int c, const QString& testo, qint64 da) {
    if (!m_aperta || c < 0 || c >= m_colonne.size() || testo.isEmpty() ||
        m_lista.analisi().raggruppata())
        return -1;
    // Numbered as the windows are read: without the rows written here, whose
    // places are known.
    const QString esclusi = condizioneEsclusi();
    const QList<qint64> fissi = m_cache.postiFissi();
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
    auto prova = [&](bool dopo) -> qint64 {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        esegui(q, m_lista.cerca(m_colonne[c].espressioneMotore, testo, dopo, lette, esclusi),
               QStringLiteral("Cerca"));
        if (q.next())
            return q.value(0).toLongLong() - 1;
        if (q.lastError().isValid())
            erroreSql(q, QStringLiteral("Cerca"));
        return qint64(-1);
    };
    qint64 r = prova(true);
    if (r < 0)
        r = prova(false);
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
    case Qt::EditRole: {
        const qint64 f = m_cache.finestraMancante(i.row());
        if (f >= 0 && m_mod.riga != i.row()) {
            // read right after, and the view told; nothing shown meanwhile
            // (a window whose read failed is not read again for every cell
            // painted: the operator was told once)
            if (m_finestreFallite.contains(f))
                return {};
            if (m_richieste.isEmpty())
                QMetaObject::invokeMethod(const_cast<ModelloRighe*>(this),
                                          &ModelloRighe::leggiRichieste, Qt::QueuedConnection);
            m_richieste.insert(f);
            return {};
        }
        const QVariant v = valoreInMemoria(i.row(), i.column());
        return ruolo == Qt::EditRole ? v : QVariant(testoVisibile(v, i.column()));
    }
    case Qt::TextAlignmentRole:
        // numbers to the right: a number column, or one with a number mask
        return ColonnaNumerica(m_colonne[i.column()].tipo) ||
                       !m_colonne[i.column()].formato.isEmpty()
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