#include "ComponenteDatiSql.h"

#include "Connessioni.h"
#include "Riparazione.h"
#include "Traduttore.h"

#include "RecordsetSqlInterno.h"
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

const QString SorgenteCd = QStringLiteral("ComponenteDati");

// A statement that changes the tables' columns.
bool CambiaSchema(const QString& sql) {
    const QString s = sql.trimmed();
    for (const char* p : {"CREATE", "ALTER", "DROP"})
        if (s.startsWith(QLatin1String(p), Qt::CaseInsensitive))
            return true;
    return false;
}

std::atomic<int> contatore{0};

class ComponenteDatiSql final : public IComponenteDati {
public:
    ~ComponenteDatiSql() override {
        const auto chiavi = m_conn.keys();
        for (const QString& k : chiavi)
            Chiudi(k);
    }

    QString Parametro(const QString& nome) const override {
        return m_parametri.value(nome.toLower());
    }
    void ImpostaParametro(const QString& nome, const QString& valore) override {
        m_parametri.insert(nome.toLower(), valore);
    }

    void Apri(const QString& nome, int /*opzioni*/, bool /*esclusivo*/, bool solaLettura,
              const QString& connessione, QString& risposta) override {
        Credenziali c;
        c.utente = Parametro(QStringLiteral("DbSqlPubUID"));
        c.password = Parametro(QStringLiteral("DbSqlPubPWD"));
        c.passwordFile = Parametro(QStringLiteral("DbAccPWD"));
        c.soloOdbc = Parametro(QStringLiteral("DbSqlSoloOdbc"))
                         .trimmed()
                         .compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
        c.solaLettura = solaLettura;
        const int n = ++contatore;
        const QString nomeQt = QStringLiteral("quarvel.dati.%1").arg(n);
        QSqlDatabase db = ApriDatabase(nome, connessione, c, nomeQt);
        const InfoConnessione info = Info(db);
        const QString motore =
            info.dialetto == Dialetto::SQLite
                ? QStringLiteral("SQLite")
                : (info.nativo ? QStringLiteral("PostgreSQL") : QStringLiteral("ODBC"));
        risposta = nomeQt + QLatin1Char(';') + motore + QLatin1Char(';') + nome;
        m_conn.insert(nomeQt, Conn{nomeQt, 0});
        m_ultima = nomeQt;
    }

    void Chiudi(const QString& risultato) override {
        const QString k = Chiave(risultato);
        if (!m_conn.contains(k))
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(k, false);
            if (db.isOpen())
                db.close();
        }
        DimenticaColonne(Info(QSqlDatabase::database(k, false)).serie);
        QSqlDatabase::removeDatabase(k);
        DimenticaConnessione(k);
        m_conn.remove(k);
        if (m_ultima == k)
            m_ultima.clear();
    }

    std::unique_ptr<IRecordset> ApriRecordset(const QString& sql,
                                              const QString& risultato) override {
        Conn& c = Connessione(risultato);
        QSqlDatabase db = QSqlDatabase::database(c.nomeQt, false);
        if (c.livello > 0 && Info(db).nativo) {
            // Inside a transaction a failing statement rolls back alone,
            // as psqlODBC does.
            Comando(db, QStringLiteral("SAVEPOINT quarvel_istruzione"));
            try {
                auto rs = ApriRecordsetSu(db, sql);
                Comando(db, QStringLiteral("RELEASE SAVEPOINT quarvel_istruzione"));
                return rs;
            } catch (...) {
                Comando(db, QStringLiteral("ROLLBACK TO SAVEPOINT quarvel_istruzione"));
                throw;
            }
        }
        return ApriRecordsetSu(db, sql);
    }

    qint64 Esegui(const QString& sql, const QString& risultato) override {
        Conn& c = Connessione(risultato);
        QSqlDatabase db = QSqlDatabase::database(c.nomeQt, false);
        const QString motore = TraduciSql(db, sql);
        const bool salvataggio = c.livello > 0 && Info(db).nativo;
        if (salvataggio)
            Comando(db, QStringLiteral("SAVEPOINT quarvel_istruzione"));
        LiberaConnessione(db);
        if (CambiaSchema(motore))
            DimenticaColonne(Info(db).serie);
        QSqlQuery q(db);
        if (!q.exec(motore)) {
            const Errore e = MappaErrore(db, q.lastError(), SorgenteCd);
            if (salvataggio)
                Comando(db, QStringLiteral("ROLLBACK TO SAVEPOINT quarvel_istruzione"));
            throw e;
        }
        const qint64 n = q.numRowsAffected();
        if (salvataggio)
            Comando(db, QStringLiteral("RELEASE SAVEPOINT quarvel_istruzione"));
        return n < 0 ? 0 : n;
    }

    void Inizia(const QString& risultato) override {
        Conn& c = Connessione(risultato);
        QSqlDatabase db = QSqlDatabase::database(c.nomeQt, false);
        LiberaConnessione(db);
        if (c.livello > 0) {
            Comando(db, QStringLiteral("SAVEPOINT quarvel_livello_%1").arg(c.livello));
        } else if (Info(db).dialetto == Dialetto::SQLite) {
            // Take the write lock at once: two connections on one file wait
            // for each other instead of failing half-way.
            Comando(db, QStringLiteral("BEGIN IMMEDIATE"));
        } else if (!db.transaction()) {
            throw MappaErrore(db, db.lastError(), SorgenteCd);
        }
        ++c.livello;
    }

    void Conferma(const QString& risultato) override {
        Conn& c = Connessione(risultato);
        QSqlDatabase db = QSqlDatabase::database(c.nomeQt, false);
        LiberaConnessione(db);
        if (c.livello <= 0)
            throw Errore(3034, QStringLiteral("Conferma senza una transazione iniziata."),
                         SorgenteCd);
        if (c.livello > 1) {
            Comando(db, QStringLiteral("RELEASE SAVEPOINT quarvel_livello_%1").arg(c.livello - 1));
        } else if (Info(db).dialetto == Dialetto::SQLite) {
            Comando(db, QStringLiteral("COMMIT"));
        } else if (!db.commit()) {
            throw MappaErrore(db, db.lastError(), SorgenteCd);
        }
        --c.livello;
    }

    void Annulla(const QString& risultato) override {
        Conn& c = Connessione(risultato);
        QSqlDatabase db = QSqlDatabase::database(c.nomeQt, false);
        LiberaConnessione(db);
        if (c.livello <= 0)
            throw Errore(3034, QStringLiteral("Annullamento senza una transazione iniziata."),
                         SorgenteCd);
        --c.livello;
        if (c.livello > 0) {
            Comando(db, QStringLiteral("ROLLBACK TO SAVEPOINT quarvel_livello_%1").arg(c.livello));
            Comando(db, QStringLiteral("RELEASE SAVEPOINT quarvel_livello_%1").arg(c.livello));
        } else if (Info(db).dialetto == Dialetto::SQLite) {
            Comando(db, QStringLiteral("ROLLBACK"));
        } else if (!db.rollback()) {
            throw MappaErrore(db, db.lastError(), SorgenteCd);
        }
    }

    QString Traduci(const QString& sql, const QString& risultato) const override {
        const QString k = Chiave(risultato);
        if (!m_conn.contains(k))
            NonAperto();
        return TraduciSql(QSqlDatabase::database(k, false), sql);
    }

    QSqlDatabase Database(const QString& risultato) const override {
        const QString k = Chiave(risultato);
        if (!m_conn.contains(k))
            NonAperto();
        return QSqlDatabase::database(k, false);
    }

private:
    struct Conn {
        QString nomeQt;
        int livello = 0; // open transactions
    };
    QHash<QString, QString> m_parametri;
    QHash<QString, Conn> m_conn;
    QString m_ultima;

    QString Chiave(const QString& risultato) const {
        const QString r = risultato.trimmed();
        if (r.isEmpty())
            return m_ultima;
        return r.section(QLatin1Char(';'), 0, 0);
    }

    [[noreturn]] static void NonAperto() {
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Database non aperto."),
                     SorgenteCd);
    }

    Conn& Connessione(const QString& risultato) {
        const auto it = m_conn.find(Chiave(risultato));
        if (it == m_conn.end())
            NonAperto();
        return *it;
    }

    static void Comando(QSqlDatabase& db, const QString& sql) {
        LiberaConnessione(db);
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw MappaErrore(db, q.lastError(), SorgenteCd);
    }
};

QString TraduciPerDb(const QSqlDatabase& db, const QString& sql) {
    return Traduci(sql, Info(db).dialetto);
}

QSqlDatabase ApriMotore(const QString& nome, const QString& connessione,
                        const QString& nomeConnessione) {
    return ApriDatabase(nome, connessione, Credenziali{}, nomeConnessione);
}

} // namespace

std::unique_ptr<IComponenteDati> NuovoComponente() {
    return std::make_unique<ComponenteDatiSql>();
}

void Registra() {
    ImplementazioneDati i;
    i.crea = &NuovoComponente;
    i.apriDbMotore = &ApriMotore;
    i.traduciSql = &TraduciPerDb;
    i.erroreDaMotore = &MappaErrore;
    i.riparaFile = &RiparaFileSqlite;
    RegistraImplementazioneDati(i);
}

} // namespace quarvel::dati
