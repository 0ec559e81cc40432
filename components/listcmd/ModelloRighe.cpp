#include "listcmd/ModelloRighe.h"

#include "listcmd/Conteggio.h"
#include "listcmd/Motore.h"
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

struct ModelloRighe::LetturaAvanti {
    explicit LetturaAvanti(const QSqlDatabase& db) : q(db) {}
    QSqlQuery q;
    qint64 prossima = 0;
    quint64 generazione = 0;
};

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

// A table's name as the engine keeps it (PostgreSQL: unquoted names in lower case).
QString NomeTabella(const QSqlDatabase& db, const QString& tabella) {
    return EPostgres(db) ? tabella.toLower() : tabella;
}

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

// The pause after which a count spoiled by a row written meanwhile starts again.
constexpr int PausaDopoScrittura = 500;

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
}

void ModelloRighe::apri(const QSqlDatabase& db, const QString& sql) {
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

void ModelloRighe::fissaRiga(qint64 r, const Riga& x, bool certa) {
    m_cache.fissa(r, x);
    // A row that may have left the list while counting may or may not be
    // in the count.
    if (!totaleNoto() && !certa)
        m_scrittaDuranteConteggio = true;
}

bool ModelloRighe::nellaLista(const QVariantList& chiave) const {
    const Istruzione s = m_lista.nellaLista(chiave);
    if (s.testo.isEmpty())
        return true;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    if (q.next())
        return true;
    if (q.lastError().isValid())
        erroreSql(q, QStringLiteral("Griglia"));
    return false;
}

QString ModelloRighe::condizioneEsclusi() const {
    if (m_lista.chiavi().isEmpty())
        return {};
    const QList<QVariantList> chiavi = m_cache.chiaviScritte();
    if (chiavi.isEmpty())
        return {};
    const QSqlDriver* driver = m_db.driver();
    return m_lista.esclusi(chiavi, [driver](const QVariant& v) {
        QSqlField campo(QString(), v.metaType());
        campo.setValue(v);
        return driver->formatValue(campo);
    });
}

void ModelloRighe::conta() {
    fermaConteggio();
    m_erroreConteggio.reset();
    // A first window that comes back short is the whole list.
    QVector<Riga> prime = leggiRighe(0, RigheFinestra, false);
    const qint64 lette = prime.size();
    m_cache.inizia(std::move(prime));
    if (lette < RigheFinestra)
        return;
    if (Conteggio::Possibile(m_db)) {
        m_cache.iniziaConteggio();
        if (m_ritardoConteggio > 0)
            m_attesaConteggio->start(m_ritardoConteggio);
        else
            avviaConteggio();
        return;
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(testoConteggio()) || !q.next())
        erroreSql(q, QStringLiteral("ApriSql"));
    const qint64 n = q.value(0).toLongLong();
    if (q.lastError().isValid())
        erroreSql(q, QStringLiteral("ApriSql"));
    m_cache.impostaTotale(n);
}

void ModelloRighe::avviaConteggio() {
    m_fisseAlConteggio = m_cache.postiFissi().size();
    m_scrittaDuranteConteggio = false;
    // On the server a count that reads the whole base table compares the
    // codes as written first (see SqlLista::conteggio); a count the
    // server reads through an index keeps the condition the index serves.
    const QString testo = testoConteggio();
    m_conteggio = std::make_unique<Conteggio>(
        canale(), m_db, testo, m_lista.conteggio(m_fromConteggio, condizioneEsclusi(), m_senzaCaso),
        NomeTabella(m_db, m_lista.analisi().tabellaBase));
    connect(m_conteggio.get(), &Conteggio::arrivato, this, &ModelloRighe::conteggioArrivato);
}

CanaleConteggi& ModelloRighe::canale() {
    if (!m_canale)
        m_canale = std::make_unique<CanaleConteggi>();
    return *m_canale;
}

void ModelloRighe::fermaConteggio() {
    m_attesaConteggio->stop();
    m_conteggio.reset();
}

void ModelloRighe::attendiConteggio() {
    if (m_attesaConteggio->isActive()) {
        m_attesaConteggio->stop();
        avviaConteggio();
    }
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
    if (totaleNoto())
        return;
    if (!riuscito) {
        // Counted here: the second connection could not do it (a table
        // only this connection sees, a server refusing one more login).
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.exec(testoConteggio()) || !q.next()) {
            m_erroreConteggio = ErroreMotore(m_db, q.lastError(), QStringLiteral("ApriSql"));
            // Not the rows read so far as the whole list: the list stays
            // uncounted (more rows are read from the top as the view asks),
            // and the operator learns why.
            qWarning("Conteggio della lista non riuscito: %s / %s", qPrintable(errore),
                     qPrintable(q.lastError().text()));
            segnalaErrore(*m_erroreConteggio);
            return;
        }
        applicaTotale(q.value(0).toLongLong() + m_cache.postiFissi().size());
        emit totaleArrivato();
        return;
    }
    if (m_scrittaDuranteConteggio) {
        // A row written while counting may or may not be in the count: it
        // is counted again, once the writing pauses (rows written one after
        // the other, as a scanner gives them, would keep a count of the
        // whole list running all the time beside them).
        m_attesaConteggio->start(std::max(m_ritardoConteggio, PausaDopoScrittura));
        return;
    }
    // the rows written here before were left out of the count
    applicaTotale(contate + m_fisseAlConteggio);
    emit totaleArrivato();
}

void ModelloRighe::spostaModifica(qint64 da, qint64 quante) {
    if (quante != 0 && m_mod.riga >= da)
        m_mod.riga += quante;
}

void ModelloRighe::applicaTotale(qint64 totale) {
    const qint64 buco = m_cache.buco(totale);
    if (buco < 0) {
        // The list lost rows while counting: read again from the total.
        beginResetModel();
        if (m_mod.riga >= m_cache.testa())
            m_mod = {};
        svuotaCache();
        m_cache.impostaTotale(std::max<qint64>(totale, 0));
        fineAzzeramento();
        return;
    }
    // The rows between those read from the top and those read from the end.
    const qint64 testa = m_cache.testa();
    if (buco > 0)
        beginInsertRows({}, int(testa), int(testa + buco - 1));
    spostaModifica(testa, buco);
    m_cache.accogliTotale(totale);
    if (buco > 0)
        fineInserimento();
}

bool ModelloRighe::posizioneNota(qint64 r) const {
    return totaleNoto() || r < m_cache.testa();
}

void ModelloRighe::caricaFine() {
    if (!m_aperta || totaleNoto() || m_cache.codaLetta())
        return;
    if (m_lista.chiavi().isEmpty()) { // no key tells where the two ends meet
        attendiConteggio();
        return;
    }
    riga(m_cache.ultimaLettaInTesta()); // where the two ends may meet, in memory
    bool unita = false;
    QVector<Riga> coda = m_cache.leggiCoda(lettore(), &unita);
    if (coda.isEmpty() && !unita) {
        attendiConteggio();
        return;
    }
    // A list a little longer than the rows read from the top: the last
    // window holds the last of them, and the list is known whole.
    const qint64 testa = m_cache.testa();
    const qint64 n = coda.size();
    if (n > 0)
        beginInsertRows({}, int(testa), int(testa + n - 1));
    spostaModifica(testa, n);
    m_cache.impostaCoda(std::move(coda), unita);
    if (unita)
        fermaConteggio();
    if (n > 0)
        fineInserimento();
    if (unita)
        emit totaleArrivato();
}

bool ModelloRighe::canFetchMore(const QModelIndex& p) const {
    // Not while a new row is typed at the end of the rows read so far: the
    // view, kept at the bottom by the row's cursor, would read a window more
    // from the top at each move between its cells (a window further down
    // each time, as the rows added and left out of it grow in number).
    return !p.isValid() && m_aperta && !totaleNoto() && !m_cache.codaLetta() && !m_spostata &&
           !m_cambiando && !m_testaFallita && !(m_mod.nuova && m_mod.riga >= 0);
}

void ModelloRighe::fetchMore(const QModelIndex& p) {
    if (!canFetchMore(p))
        return;
    try {
        leggiAltreRighe();
    } catch (const Errore& e) {
        segnalaErrore(e);
    }
}

void ModelloRighe::leggiAltreRighe() {
    if (!m_aperta || totaleNoto() || m_cache.codaLetta() || m_spostata || m_cambiando)
        return;
    bool spostata = false;
    QVector<Riga> righe;
    try {
        righe = m_cache.leggiTesta(lettore(), &spostata);
    } catch (const Errore&) {
        // The rows shown stay, the list is not ended there; the view asks
        // for no more rows from the top until the list is read again.
        m_testaFallita = true;
        throw;
    }
    if (spostata) {
        segnalaSpostamento();
        return;
    }
    const qint64 testa = m_cache.testa();
    const qint64 n = righe.size();
    const bool fine = n < RigheFinestra;
    if (n > 0)
        beginInsertRows({}, int(testa), int(testa + n - 1));
    spostaModifica(testa, n);
    m_cache.aggiungiTesta(std::move(righe));
    if (fine)
        fermaConteggio();
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
    svuotaCache();
    m_cache.svuotaAggiunte();
    try {
        conta();
    } catch (...) {
        m_cache.impostaTotale(0);
        fineAzzeramento();
        throw;
    }
    fineAzzeramento();
}

QVector<ModelloRighe::Riga> ModelloRighe::leggiRighe(qint64 offset, qint64 quante,
                                                     bool dallaFine) const {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString testo = m_lista.finestra(offset, quante, dallaFine, condizioneEsclusi());
    QVector<Riga> righe;
    righe.reserve(int(quante));
    if (!q.exec(testo))
        erroreSql(q, QStringLiteral("ApriSql"));
    const int n = q.record().count();
    while (q.next()) {
        Riga r(n);
        for (int i = 0; i < n; ++i)
            r[i] = q.value(i);
        righe.append(std::move(r));
    }
    // next() is false at the end as on a failed read (a damaged page): a
    // list cut short there is not the list
    if (q.lastError().isValid())
        erroreSql(q, QStringLiteral("ApriSql"));
    q.finish();
    if (dallaFine)
        std::reverse(righe.begin(), righe.end());
    return righe;
}

std::optional<QVector<ModelloRighe::Riga>> ModelloRighe::righeInAvanti(qint64 da, qint64 quante) {
    if (!m_aperta || m_spostata || da < 0 || quante <= 0)
        return std::nullopt;
    QVector<Riga> righe;
    righe.reserve(int(std::min<qint64>(quante, 4096)));
    for (int prova = 0;; ++prova) {
        const bool ripresa = m_avanti && m_avanti->generazione == m_generazione &&
                             m_avanti->prossima == da && m_avanti->q.isActive();
        if (!ripresa) {
            m_avanti.reset();
            auto a = std::make_unique<LetturaAvanti>(m_db);
            a->q.setForwardOnly(true);
            constexpr qint64 Tutte = std::numeric_limits<qint32>::max();
            if (!a->q.exec(m_lista.finestra(da, Tutte, false, condizioneEsclusi())))
                erroreSql(a->q, QStringLiteral("ApriSql"));
            a->prossima = da;
            a->generazione = m_generazione;
            m_avanti = std::move(a);
        }
        QSqlQuery& q = m_avanti->q;
        const int n = q.record().count();
        while (righe.size() < quante && q.next()) {
            const qint64 r = m_avanti->prossima++;
            if (m_mod.riga == r && r >= 0) { // the row being edited, as typed
                righe.append(m_mod.valori);
                continue;
            }
            if (const Riga* x = inMemoria(r)) { // as the grid shows it
                righe.append(*x);
                continue;
            }
            Riga x(n);
            for (int i = 0; i < n; ++i)
                x[i] = q.value(i);
            righe.append(std::move(x));
        }
        if (q.lastError().isValid()) {
            // Another statement on the same connection ended the read left
            // open (the server's driver hands rows over one at a time): it
            // is opened again from where it was.  Any other failure (a
            // damaged page) is not the end of the list.
            if (ripresa && righe.isEmpty() && prova == 0) {
                m_avanti.reset();
                continue;
            }
            const std::unique_ptr<LetturaAvanti> fallita = std::move(m_avanti);
            erroreSql(fallita->q, QStringLiteral("ApriSql"));
        }
        break;
    }
    if (righe.size() < quante)
        m_avanti.reset(); // the end of the rows of the database
    return righe;
}

CacheRighe::Lettore ModelloRighe::lettore() const {
    return [this](qint64 offset, qint64 quante, bool dallaFine) {
        return leggiRighe(offset, quante, dallaFine);
    };
}

void ModelloRighe::leggiFinestra(qint64 f) {
    if (m_spostata)
        return; // the list is read again shortly: nothing shown from the old places
    if (m_cache.caricaFinestra(f, lettore()) == CacheRighe::Esito::Spostata)
        segnalaSpostamento();
}

void ModelloRighe::leggiRichieste() {
    QList<qint64> finestre = m_richieste.values();
    m_richieste.clear();
    if (!m_aperta || m_cambiando)
        return;
    std::sort(finestre.begin(), finestre.end());
    std::optional<Errore> errore;
    for (qint64 f : finestre) {
        if (m_cache.finestraMancante(f * RigheFinestra) != f)
            continue;
        try {
            leggiFinestra(f);
        } catch (const Errore& e) {
            // not asked for again by the view until the list is read again
            m_finestreFallite.insert(f);
            if (!errore)
                errore = e;
            continue;
        }
        if (m_cache.finestraMancante(f * RigheFinestra) >= 0)
            continue; // the list moved: it is read again
        const qint64 ultima = std::min<qint64>((f + 1) * RigheFinestra, righeDb()) - 1;
        emit dataChanged(index(int(f * RigheFinestra), 0),
                         index(int(ultima), std::max(0, columnCount() - 1)));
    }
    if (errore)
        segnalaErrore(*errore); // once for the windows read together
}

void ModelloRighe::segnalaErrore(const Errore& e) {
    // queued: the listener may show a message, never inside a view's scroll
    // or a count's signal
    QMetaObject::invokeMethod(
        this,
        [this, e] {
            if (isSignalConnected(QMetaMethod::fromSignal(&ModelloRighe::erroreLettura)))
                emit erroreLettura(e);
            else
                qWarning("Righe della lista non lette: %d %s", e.numero(),
                         qPrintable(e.descrizione()));
        },
        Qt::QueuedConnection);
}

const ModelloRighe::Riga* ModelloRighe::inMemoria(qint64 r) const {
    return m_cache.inMemoria(r);
}

QVariantList ModelloRighe::chiaveInMemoria(qint64 r) const {
    const Riga* x = inMemoria(r);
    if (!x || m_lista.chiavi().isEmpty())
        return {};
    return chiaveDi(*x);
}

void ModelloRighe::segnalaSpostamento() {
    if (m_spostata)
        return;
    m_spostata = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_spostata)
                return;
            if (isSignalConnected(QMetaMethod::fromSignal(&ModelloRighe::listaSpostata)))
                emit listaSpostata();
            else
                try {
                    riallinea();
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
    const AnalisiSql& analisi = m_lista.analisi();
    if (!m_aperta || m_lista.chiavi().isEmpty() || chiave.size() != m_lista.chiavi().size() ||
        analisi.raggruppata() || analisi.distinta)
        return -1;
    for (const QVariant& v : chiave)
        if (Nullo(v))
            return -1;
    const Istruzione s = m_lista.posizione(chiave, condizioneEsclusi());
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    if (!q.next()) {
        if (q.lastError().isValid())
            erroreSql(q, QStringLiteral("Griglia"));
        return -1;
    }
    qint64 n = q.value(0).toLongLong() - 1;
    // the rows written here keep their places among those read
    for (qint64 p : m_cache.postiFissi())
        if (p <= n)
            ++n;
    return n;
}

const ModelloRighe::Riga* ModelloRighe::riga(qint64 r) {
    const qint64 f = m_cache.finestraMancante(r);
    if (f >= 0)
        leggiFinestra(f);
    return m_cache.riga(r);
}
QVariant ModelloRighe::valore(qint64 r, int c) {
    if (m_mod.riga == r && r >= 0)
        return c < m_mod.valori.size() ? m_mod.valori[c] : QVariant();
    const Riga* x = riga(r);
    if (!x || c >= x->size())
        return {};
    return (*x)[c];
}

QVariant ModelloRighe::valoreInMemoria(qint64 r, int c) const {
    if (m_mod.riga == r && r >= 0)
        return c < m_mod.valori.size() ? m_mod.valori[c] : QVariant();
    const Riga* x = r < righeDb() ? inMemoria(r) : m_cache.aggiunta(r - righeDb());
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
    const int n = m_lista.valoriPerRiga();
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

ModelloRighe::Riga ModelloRighe::rileggiPerChiave(const QVariantList& chiave, bool* trovata) const {
    const Istruzione s = m_lista.rileggi(chiave);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    Riga r;
    *trovata = false;
    if (!q.exec())
        erroreSql(q, QStringLiteral("Griglia"));
    if (q.next()) {
        const int n = q.record().count();
        r.resize(n);
        for (int i = 0; i < n; ++i)
            r[i] = q.value(i);
        *trovata = true;
    } else if (q.lastError().isValid()) {
        erroreSql(q, QStringLiteral("Griglia"));
    }
    q.finish();
    return r;
}

void ModelloRighe::esegui(QSqlQuery& q, const Istruzione& s, const QString& sorgente) const {
    q.prepare(s.testo);
    for (const QVariant& v : s.parametri)
        q.addBindValue(v);
    if (!q.exec())
        erroreSql(q, sorgente);
}

void ModelloRighe::scriviRiga() {
    if (m_mod.riga < 0 || !modificata())
        return;
    if (!scrivibile())
        throw Errore(NumErrLista::NonAggiornabile, QStringLiteral("La lista non si può aggiornare"),
                     QStringLiteral("Griglia"));
    const qint64 r = m_mod.riga;
    QSqlQuery q(m_db);
    if (m_mod.nuova) {
        esegui(q, m_lista.inserimento(m_mod.valori), QStringLiteral("Griglia"));
    } else {
        const Istruzione s = m_lista.aggiornamento(m_mod.originale, m_mod.valori, m_mod.cambiati);
        if (s.testo.isEmpty()) { // only read-only columns changed
            annullaRiga();
            return;
        }
        esegui(q, s, QStringLiteral("Griglia"));
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
    }
    q.finish();
    // The row is written: a read that fails from here on (a damaged page)
    // leaves the row as written in the list and is told to the operator
    // afterwards, never taken for a failed write that could be saved twice.
    std::optional<Errore> erroreRilettura;
    bool trovata = false;
    Riga letta;
    try {
        letta = rileggiPerChiave(chiaveDi(m_mod.valori), &trovata);
    } catch (const Errore& e) {
        erroreRilettura = e;
        trovata = false;
    }
    if (!trovata)
        letta = m_mod.valori;
    const bool nuova = m_mod.nuova;
    m_mod = {};
    const auto restaNellaLista = [&](const QVariantList& chiave) {
        if (erroreRilettura)
            return false;
        try {
            return nellaLista(chiave);
        } catch (const Errore& e) {
            erroreRilettura = e;
            return false; // not known: the count is taken again
        }
    };
    if (nuova) {
        if (!totaleNoto())
            m_scrittaDuranteConteggio = true;
        const int pos = int(totale());
        beginInsertRows({}, pos, pos);
        m_cache.aggiungi(letta);
        fineInserimento();
    } else if (r < righeDb()) {
        fissaRiga(r, letta, !totaleNoto() && restaNellaLista(chiaveDi(letta)));
    } else {
        m_cache.sostituisciAggiunta(r - righeDb(), letta);
    }
    emit dataChanged(index(int(r), 0), index(int(r), columnCount() - 1));
    if (m_spostata) { // the list moved while the row was being edited
        m_spostata = false;
        segnalaSpostamento();
    }
    if (erroreRilettura)
        segnalaErrore(*erroreRilettura);
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
    esegui(q, m_lista.cancellazione(letta), QStringLiteral("Griglia"));
    const bool cancellata = q.numRowsAffected() > 0;
    q.finish();
    if (!cancellata) {
        bool trovata = false;
        const Riga nuova = rileggiPerChiave(chiaveDi(letta), &trovata);
        if (trovata) {
            if (r < righeDb())
                fissaRiga(r, nuova);
            else
                m_cache.sostituisciAggiunta(r - righeDb(), nuova);
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
