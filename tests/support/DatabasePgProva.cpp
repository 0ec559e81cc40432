#include "DatabasePgProva.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

namespace prova {

namespace {

// The work of the administration connection, to the service's own database;
// the text of the first failure, empty when all went through.
template <typename F> QString ComeAmministratore(F lavoro) {
    const QString nome = QStringLiteral("pgprova-admin-%1").arg(QCoreApplication::applicationPid());
    QString errore;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nome);
        admin.setHostName(DatabasePgProva::Host());
        admin.setPort(DatabasePgProva::Porta());
        admin.setUserName(DatabasePgProva::Utente());
        admin.setPassword(DatabasePgProva::Password());
        admin.setDatabaseName(qEnvironmentVariable("PGDATABASE", QStringLiteral("quarvel")));
        // "does not exist, skipping" is no news.
        admin.setConnectOptions(QStringLiteral("options='-c client_min_messages=warning'"));
        if (!admin.open()) {
            errore = admin.lastError().text();
        } else {
            QSqlQuery q(admin);
            errore = lavoro(q);
            q = QSqlQuery();
            admin.close();
        }
    }
    QSqlDatabase::removeDatabase(nome);
    return errore;
}

} // namespace

DatabasePgProva::DatabasePgProva(const QString& prefisso)
    : m_nome(QStringLiteral("%1_%2").arg(prefisso).arg(QCoreApplication::applicationPid())) {}

DatabasePgProva::~DatabasePgProva() {
    Elimina();
}

bool DatabasePgProva::Disponibile() {
    return qEnvironmentVariableIsSet("PGPORT") && qEnvironmentVariableIsSet("QUARVEL_PG_UID");
}

QString DatabasePgProva::Host() {
    return qEnvironmentVariable("PGHOST", QStringLiteral("127.0.0.1"));
}
int DatabasePgProva::Porta() {
    return qEnvironmentVariableIntValue("PGPORT");
}
QString DatabasePgProva::Utente() {
    return qEnvironmentVariable("QUARVEL_PG_UID");
}
QString DatabasePgProva::Password() {
    return qEnvironmentVariable("QUARVEL_PG_PWD");
}
QString DatabasePgProva::DriverOdbc() {
    return qEnvironmentVariable("QUARVEL_PG_DRIVER", QStringLiteral("PostgreSQL Unicode"));
}

bool DatabasePgProva::Crea(QString* errore) {
    if (!Disponibile()) {
        if (errore)
            *errore = QString::fromLatin1(SenzaServer);
        return false;
    }
    const QString e = ComeAmministratore([this](QSqlQuery& q) {
        if (!q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_nome)) ||
            !q.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template1").arg(m_nome)))
            return q.lastError().text();
        return QString();
    });
    m_creato = e.isEmpty();
    if (errore)
        *errore = e;
    return m_creato;
}

void DatabasePgProva::Elimina() {
    if (!m_creato)
        return;
    m_creato = false;
    ComeAmministratore([this](QSqlQuery& q) {
        q.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_nome));
        return QString();
    });
}

QString DatabasePgProva::EliminaSeLibero() {
    const QString e = ComeAmministratore([this](QSqlQuery& q) {
        return q.exec(QStringLiteral("DROP DATABASE %1").arg(m_nome)) ? QString()
                                                                      : q.lastError().text();
    });
    if (e.isEmpty())
        m_creato = false;
    return e;
}

QSqlDatabase DatabasePgProva::Connessione(const QString& nomeConnessione) const {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nomeConnessione);
    db.setHostName(Host());
    db.setPort(Porta());
    db.setUserName(Utente());
    db.setPassword(Password());
    db.setDatabaseName(m_nome);
    return db;
}

QString DatabasePgProva::TestoOdbc() const {
    return QStringLiteral("DRIVER={%1};SERVER=%2;PORT=%3;DATABASE=%4;UID=%5;PWD=%6;COMMLOG=0")
        .arg(DriverOdbc(), Host())
        .arg(Porta())
        .arg(m_nome, Utente(), Password());
}

} // namespace prova
