// The record set on a Qt SQL query: moving over the rows, the fields by
// name, and the rows read ahead when the connection is wanted by a statement.

#include "ComponenteDatiSql.h"

#include "Connessioni.h"
#include "RecordsetSqlInterno.h"
#include "Traduttore.h"

#include <QAtomicInt>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

#include <deque>
#include <optional>

namespace quarvel::dati {

namespace {

const QString SorgenteRs = QStringLiteral("ComponenteDati.Recordset");

[[noreturn]] void NessunRecordCorrente() {
    throw Errore(NumErr::NessunRecordCorrente, QStringLiteral("Nessun record corrente."),
                 SorgenteRs);
}

// Qt's native PostgreSQL driver hands a forward-only result over row by row
// as it is read; a second statement on the connection meanwhile cuts the
// rows still to come ("Query results lost").  A record set still reading
// such a result is registered under its connection, and every statement run
// on the connection through this component first has it read the rest of
// its rows into memory.  Other drivers hold the whole result at once.

struct RegistroLetture {
    QMutex mutex;
    QHash<QString, QList<RecordsetSql*>> perConnessione;
};

RegistroLetture& Letture() {
    static RegistroLetture r;
    return r;
}

bool LetturaARighe(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL");
}

// The columns of the tables, per opening of a connection: the select lists
// with "t.*" are resolved from them without a statement while rows are read.
struct CacheColonne {
    QMutex mutex;
    QHash<quint64, QHash<QString, QStringList>> perConnessione;
};

CacheColonne& Colonne() {
    static CacheColonne c;
    return c;
}

} // namespace

void DimenticaColonne(quint64 serie) {
    QMutexLocker l(&Colonne().mutex);
    Colonne().perConnessione.remove(serie);
}

namespace {

// The columns of a table in order, from the catalog (a missing table gives
// none and no error, which would abort a PostgreSQL transaction).
QStringList ColonneTabella(const QSqlDatabase& db, const QString& tabella) {
    const InfoConnessione info = Info(db);
    const QString chiave = tabella.toLower();
    if (info.serie) {
        QMutexLocker l(&Colonne().mutex);
        const auto& c = Colonne().perConnessione;
        if (const auto it = c.constFind(info.serie); it != c.cend())
            if (const auto t = it->constFind(chiave); t != it->cend())
                return *t;
    }
    LiberaConnessione(db);
    QString nome = tabella;
    nome.replace(QLatin1Char('\''), QLatin1String("''"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString sql =
        info.dialetto == Dialetto::SQLite
            ? QStringLiteral("SELECT name FROM pragma_table_info('%1') ORDER BY cid").arg(nome)
            : QStringLiteral("SELECT attname FROM pg_catalog.pg_attribute WHERE attrelid = "
                             "to_regclass('%1') AND attnum > 0 AND NOT attisdropped ORDER BY "
                             "attnum")
                  .arg(nome);
    QStringList colonne;
    if (!q.exec(sql))
        return colonne;
    while (q.next())
        colonne << q.value(0).toString();
    if (info.serie && !colonne.isEmpty()) {
        QMutexLocker l(&Colonne().mutex);
        Colonne().perConnessione[info.serie].insert(chiave, colonne);
    }
    return colonne;
}

} // namespace

class RecordsetSql final : public IRecordset {
public:
    RecordsetSql(QSqlDatabase db, QString sql, QString sqlMotore, Dialetto d)
        : m_db(std::move(db)), m_sql(std::move(sql)), m_sqlMotore(std::move(sqlMotore)),
          m_dialetto(d), m_aRighe(LetturaARighe(m_db)), m_q(m_db) {
        if (m_sql.contains(QLatin1Char('*')))
            PreparaColonne();
        Esegui();
        const QSqlRecord r = m_q.record();
        m_nomi.reserve(r.count());
        for (int i = 0; i < r.count(); ++i) {
            m_nomi.push_back(r.fieldName(i));
            m_indice.insert(r.fieldName(i).toLower(), i); // the last wins ...
        }
        for (int i = r.count() - 1; i >= 0; --i)
            m_indice.insert(r.fieldName(i).toLower(), i); // ... so the first is kept
        m_data.assign(size_t(r.count()), 0);
        if (m_dialetto == Dialetto::SQLite) {
            const QVariant h = m_q.result()->handle();
            if (h.isValid() && qstrcmp(h.typeName(), "sqlite3_stmt*") == 0) {
                sqlite3_stmt* st = *static_cast<sqlite3_stmt* const*>(h.constData());
                for (int i = 0; st && i < r.count(); ++i) {
                    const char* tipo = sqlite3_column_decltype(st, i);
                    const QByteArray t = QByteArray(tipo ? tipo : "").toUpper();
                    if (t == "DATE")
                        m_data[size_t(i)] = 1;
                    else if (t == "DATETIME" || t == "TIMESTAMP")
                        m_data[size_t(i)] = 2;
                }
            }
        }
        Primo();
    }

    ~RecordsetSql() override { Spegni(); }
    RecordsetSql(const RecordsetSql&) = delete;
    RecordsetSql& operator=(const RecordsetSql&) = delete;

    // Reads the rows still to come into memory and lets the result go: the
    // connection is free for another statement.
    void Trattieni() {
        if (!m_inLettura)
            return;
        Spegni();
        m_trattenuto = true;
        m_riga.clear();
        if (m_q.isValid()) {
            m_riga.reserve(int(m_nomi.size()));
            for (int i = 0; i < int(m_nomi.size()); ++i)
                m_riga << m_q.value(i);
        }
        while (m_q.next()) {
            QList<QVariant> r;
            r.reserve(int(m_nomi.size()));
            for (int i = 0; i < int(m_nomi.size()); ++i)
                r << m_q.value(i);
            m_avanti.push_back(std::move(r));
        }
        // An error is the reader's, where it reaches it: not the statement's
        // that made room.
        if (m_q.lastError().isValid())
            m_erroreDifferito = MappaErrore(m_db, m_q.lastError(), SorgenteRs);
        m_q = QSqlQuery();
    }

    bool Eof() const override { return m_eof; }
    bool Bof() const override { return m_bof; }

    void MoveNext() override {
        if (m_eof)
            NessunRecordCorrente();
        if (m_bof) {
            Riposiziona(0);
            return;
        }
        if (Avanza()) {
            ++m_pos;
            m_visti = std::max(m_visti, m_pos + 1);
        } else {
            ++m_pos;
            m_eof = true;
            m_totale = m_pos;
            m_visti = m_totale;
        }
    }

    void MovePrevious() override {
        if (m_bof)
            NessunRecordCorrente();
        if (m_pos <= 0) {
            m_bof = true;
            m_pos = -1;
            return;
        }
        Riposiziona(m_pos - 1);
    }

    void MoveFirst() override {
        if (m_vuoto)
            NessunRecordCorrente();
        if (m_pos != 0 || m_eof || m_bof)
            Riposiziona(0);
    }

    void MoveLast() override {
        if (m_vuoto)
            NessunRecordCorrente();
        if (m_totale < 0) {
            qint64 p = m_eof || m_bof ? -1 : m_pos;
            if (p < 0) {
                Esegui();
                p = -1;
            }
            while (Avanza())
                ++p;
            m_totale = p + 1;
        }
        m_visti = m_totale;
        Riposiziona(m_totale - 1);
    }

    QVariant Campo(const QString& nome) const override { return Campo(Indice(nome)); }

    QVariant Campo(int indice) const override {
        if (m_eof || m_bof)
            NessunRecordCorrente();
        if (indice < 0 || indice >= int(m_nomi.size()))
            throw Errore(NumErr::CampoNonTrovato,
                         QStringLiteral("Elemento non trovato in questo insieme (%1).").arg(indice),
                         SorgenteRs);
        QVariant v = m_trattenuto ? m_riga.value(indice) : m_q.value(indice);
        if (v.isNull())
            return {};
        if (m_data[size_t(indice)] && v.typeId() == QMetaType::QString) {
            const QString s = v.toString();
            if (s.size() == 10) {
                const QDate d = QDate::fromString(s, Qt::ISODate);
                if (d.isValid())
                    return d;
            }
            const QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
            if (dt.isValid())
                return m_data[size_t(indice)] == 1 && dt.time() == QTime(0, 0) ? QVariant(dt.date())
                                                                               : QVariant(dt);
        }
        return v;
    }

    int NumeroCampi() const override { return int(m_nomi.size()); }
    QString NomeCampo(int indice) const override {
        return indice >= 0 && indice < int(m_nomi.size()) ? m_nomi[size_t(indice)] : QString();
    }
    bool HaCampo(const QString& nome) const override { return Cerca(nome) >= 0; }
    qint64 RecordCount() const override { return m_visti; }

    qint32 DimensioneCampo(const QString& campo) const override {
        const int i = Indice(campo);
        if (m_eof || m_bof)
            NessunRecordCorrente();
        const QVariant v = Campo(i);
        if (!v.isValid())
            return 0;
        switch (v.typeId()) {
        case QMetaType::QString:
            return qint32(v.toString().size());
        case QMetaType::QByteArray:
            return qint32(v.toByteArray().size());
        case QMetaType::Bool:
        case QMetaType::Short:
        case QMetaType::UShort:
            return 2;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Float:
            return 4;
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            // The engines' integer columns are the original's 32-bit Long.
            const qlonglong n = v.toLongLong();
            return n >= INT32_MIN && n <= INT32_MAX ? 4 : 8;
        }
        default:
            return 8; // double, date
        }
    }

    void Close() override {
        Spegni();
        m_q.finish();
        m_q = QSqlQuery();
        m_trattenuto = false;
        m_avanti.clear();
        m_riga.clear();
        m_eof = m_bof = true;
        m_vuoto = true;
    }

private:
    QSqlDatabase m_db;
    QString m_sql, m_sqlMotore;
    Dialetto m_dialetto;
    bool m_aRighe; // the driver hands the result over row by row
    mutable QSqlQuery m_q;
    bool m_inLettura = false;  // registered: the result is still being read
    bool m_trattenuto = false; // the rows come from memory
    QList<QVariant> m_riga;    // the current row, when trattenuto
    std::deque<QList<QVariant>> m_avanti;
    std::optional<Errore> m_erroreDifferito;
    QHash<QString, QStringList> m_colonneTabelle; // of the tables behind "*", read before
    std::vector<QString> m_nomi;
    QHash<QString, int> m_indice;
    std::vector<char> m_data; // 1 DATE, 2 DATETIME (SQLite keeps them as text)
    mutable bool m_qualificatiPronti = false;
    mutable QHash<QString, int> m_qualificati;
    qint64 m_pos = -1;
    qint64 m_visti = 0;
    qint64 m_totale = -1;
    bool m_eof = true, m_bof = true, m_vuoto = true;

    void Accendi() {
        if (m_inLettura || !m_aRighe)
            return;
        QMutexLocker l(&Letture().mutex);
        Letture().perConnessione[m_db.connectionName()].append(this);
        m_inLettura = true;
    }

    void Spegni() {
        if (!m_inLettura)
            return;
        QMutexLocker l(&Letture().mutex);
        auto& h = Letture().perConnessione;
        const auto it = h.find(m_db.connectionName());
        if (it != h.end()) {
            it->removeAll(this);
            if (it->isEmpty())
                h.erase(it);
        }
        m_inLettura = false;
    }

    void Esegui() {
        Spegni();
        m_trattenuto = false;
        m_avanti.clear();
        m_riga.clear();
        m_erroreDifferito.reset();
        LiberaConnessione(m_db, this);
        m_q = QSqlQuery(m_db);
        m_q.setForwardOnly(true);
        if (!m_q.exec(m_sqlMotore))
            throw MappaErrore(m_db, m_q.lastError(), SorgenteRs);
        if (m_q.isSelect())
            Accendi();
    }

    // The next row; false at the end.  A row that cannot be read (a damaged
    // page, a lost connection) is an error, never a silent end of rows.
    bool Avanza() {
        if (m_trattenuto) {
            if (!m_avanti.empty()) {
                m_riga = std::move(m_avanti.front());
                m_avanti.pop_front();
                return true;
            }
            m_riga.clear();
            if (m_erroreDifferito) {
                const Errore e = *m_erroreDifferito;
                m_erroreDifferito.reset();
                throw e;
            }
            return false;
        }
        if (m_q.next())
            return true;
        Spegni();
        if (m_q.lastError().isValid())
            throw MappaErrore(m_db, m_q.lastError(), SorgenteRs);
        return false;
    }

    // The tables behind the "*" items of the select list, when their columns
    // cannot be told from the result alone (stars over different tables):
    // read before the statement runs, never while its rows are read.
    void PreparaColonne() {
        const AnalisiSelect a = AnalizzaSelect(m_sql);
        if (!a.valida)
            return;
        const QStringList tabelle = TabelleDelleStelle(a);
        QStringList diverse;
        for (const QString& t : tabelle)
            if (!diverse.contains(t, Qt::CaseInsensitive))
                diverse << t;
        if (diverse.size() < 2)
            return;
        for (const QString& t : diverse)
            m_colonneTabelle.insert(t.toLower(), ColonneTabella(m_db, t));
    }

    // The table of each expansion of a "*" item, in select-list order.
    static QStringList TabelleDelleStelle(const AnalisiSelect& a) {
        QHash<QString, QString> tabellaDi;
        for (const auto& [alias, tabella] : a.tabelle)
            tabellaDi.insert(alias.toLower(), tabella);
        QStringList t;
        for (const auto& v : a.voci) {
            if (v.nome != QLatin1String("*"))
                continue;
            if (v.qualificatore.isEmpty()) {
                for (const auto& [alias, tabella] : a.tabelle)
                    t << tabella;
            } else {
                t << tabellaDi.value(v.qualificatore.toLower(), v.qualificatore);
            }
        }
        return t;
    }

    void Primo() {
        if (Avanza()) {
            m_pos = 0;
            m_visti = 1;
            m_eof = m_bof = m_vuoto = false;
        } else {
            m_pos = 0;
            m_visti = 0;
            m_totale = 0;
            m_eof = m_bof = m_vuoto = true;
        }
    }

    void Riposiziona(qint64 riga) {
        Esegui();
        for (qint64 p = 0; p <= riga; ++p) {
            if (!Avanza()) {
                // The rows changed under the record set: end of rows.
                m_pos = p;
                m_eof = true;
                m_bof = false;
                return;
            }
        }
        m_pos = riga;
        m_eof = m_bof = false;
    }

    int Indice(const QString& nome) const {
        const int i = Cerca(nome);
        if (i < 0)
            throw Errore(NumErr::CampoNonTrovato,
                         QStringLiteral("Elemento non trovato in questo insieme (%1).").arg(nome),
                         SorgenteRs);
        return i;
    }

    int Cerca(const QString& nome) const {
        const QString n = nome.trimmed().toLower();
        if (const auto it = m_indice.constFind(n); it != m_indice.cend())
            return *it;
        const qsizetype punto = n.lastIndexOf(QLatin1Char('.'));
        if (punto < 0)
            return -1;
        if (!m_qualificatiPronti)
            CostruisciQualificati();
        if (const auto it = m_qualificati.constFind(n); it != m_qualificati.cend())
            return *it;
        return -1;
    }

    // Qualified names from the select list: "t.col" items and "t.*" / "*"
    // expanded by the columns of their tables.  No statement runs here: the
    // columns behind the stars were read before the rows (PreparaColonne),
    // or the result tells them: stars over one table share out the columns
    // the named items leave.
    void CostruisciQualificati() const {
        m_qualificatiPronti = true;
        const AnalisiSelect a = AnalizzaSelect(m_sql);
        if (!a.valida)
            return;
        QHash<QString, QString> tabellaDi;
        for (const auto& [alias, tabella] : a.tabelle)
            tabellaDi.insert(alias.toLower(), tabella);
        const QStringList stelle = TabelleDelleStelle(a);
        qsizetype perStella = 0;
        if (!stelle.isEmpty() && m_colonneTabelle.isEmpty()) {
            const qsizetype nominate = qsizetype(a.voci.size()) -
                                       std::count_if(a.voci.cbegin(), a.voci.cend(), [](auto& v) {
                                           return v.nome == QLatin1String("*");
                                       });
            const qsizetype restanti = qsizetype(m_nomi.size()) - nominate;
            if (restanti <= 0 || restanti % stelle.size() != 0)
                return;
            perStella = restanti / stelle.size();
        }
        int colonna = 0;
        auto colonne = [&](const QString& tabella) {
            if (perStella == 0)
                return m_colonneTabelle.value(tabella.toLower());
            QStringList nomi;
            for (qsizetype i = 0; i < perStella && colonna + i < qsizetype(m_nomi.size()); ++i)
                nomi << m_nomi[size_t(colonna + i)];
            return nomi;
        };
        QHash<QString, int> mappa;
        auto aggiungi = [&](const QString& qualificatore, const QString& nome, int i) {
            const QString k = qualificatore.toLower() + QLatin1Char('.') + nome.toLower();
            if (!mappa.contains(k))
                mappa.insert(k, i);
        };
        for (const auto& v : a.voci) {
            if (v.nome == QLatin1String("*")) {
                const auto tabelle =
                    v.qualificatore.isEmpty()
                        ? a.tabelle
                        : std::vector<std::pair<QString, QString>>{
                              {v.qualificatore,
                               tabellaDi.value(v.qualificatore.toLower(), v.qualificatore)}};
                for (const auto& [alias, tabella] : tabelle) {
                    for (const QString& c : colonne(tabella))
                        aggiungi(alias, c, colonna++);
                }
                continue;
            }
            if (!v.qualificatore.isEmpty() && !v.nome.isEmpty())
                aggiungi(v.qualificatore, v.nome, colonna);
            ++colonna;
        }
        if (colonna != int(m_nomi.size()))
            return; // the select list was not understood: plain names only
        m_qualificati = mappa;
    }
};

void LiberaConnessione(const QSqlDatabase& db, const RecordsetSql* tranne) {
    if (!LetturaARighe(db))
        return;
    QList<RecordsetSql*> inLettura;
    {
        QMutexLocker l(&Letture().mutex);
        inLettura = Letture().perConnessione.value(db.connectionName());
    }
    for (RecordsetSql* r : inLettura)
        if (r != tranne)
            r->Trattieni();
}

std::unique_ptr<IRecordset> ApriRecordsetSu(const QSqlDatabase& db, const QString& sql) {
    const Dialetto d = Info(db).dialetto;
    const QString motore = Traduci(sql, d);
    return std::make_unique<RecordsetSql>(db, sql, motore, d);
}

} // namespace quarvel::dati
