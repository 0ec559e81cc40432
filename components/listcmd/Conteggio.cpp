#include "listcmd/Conteggio.h"

#include <QAtomicInteger>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <condition_variable>
#include <mutex>
#include <sqlite3.h>

namespace quarvel::listcmd {

namespace {

std::mutex MutexTrattieni;
std::condition_variable SbloccoTrattieni;
bool Trattenuti = false;
QAtomicInteger<quint64> ProssimoNome{0};

} // namespace

bool Conteggio::Possibile(const QSqlDatabase& db) {
    if (!db.isValid() || !db.isOpen() || db.connectionName().isEmpty())
        return false;
    if (db.driverName() == QLatin1String("QSQLITE")) {
        const QString nome = db.databaseName();
        return !nome.isEmpty() && nome != QLatin1String(":memory:") &&
               !nome.contains(QLatin1String("mode=memory"));
    }
    return db.driverName().startsWith(QLatin1String("QPSQL")) ||
           db.driverName().startsWith(QLatin1String("QODBC"));
}

void Conteggio::Trattieni(bool si) {
    {
        std::lock_guard<std::mutex> l(MutexTrattieni);
        Trattenuti = si;
    }
    SbloccoTrattieni.notify_all();
}

Conteggio::Conteggio(const QSqlDatabase& db, const QString& sql, QObject* genitore)
    : QObject(genitore), m_connessione(db.connectionName()),
      m_postgres(db.driverName().startsWith(QLatin1String("QPSQL"))), m_db(db), m_sql(sql) {
    m_thread = QThread::create([this] { esegui(); });
    m_thread->setObjectName(QStringLiteral("conteggio lista"));
    m_thread->start(QThread::LowPriority);
}

Conteggio::~Conteggio() {
    ferma();
    delete m_thread;
}

void Conteggio::attendi() {
    if (m_thread)
        m_thread->wait();
}

void Conteggio::ferma() {
    if (!m_thread)
        return;
    m_fermato.store(true);
    SbloccoTrattieni.notify_all();
    {
        QMutexLocker l(&m_mutex);
        if (m_sqlite)
            sqlite3_interrupt(m_sqlite);
        if (!m_postgresPid.isEmpty()) {
            QSqlQuery q(m_db);
            q.exec(QStringLiteral("SELECT pg_cancel_backend(%1)").arg(m_postgresPid));
        }
    }
    m_thread->wait();
}

void Conteggio::esegui() {
    const QString nome =
        QStringLiteral("quarvel-conteggio-%1").arg(ProssimoNome.fetchAndAddRelaxed(1));
    {
        std::unique_lock<std::mutex> l(MutexTrattieni);
        SbloccoTrattieni.wait(l, [this] { return !Trattenuti || m_fermato.load(); });
    }
    bool riuscito = false;
    qint64 totale = 0;
    QString errore;
    if (!m_fermato.load()) {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(m_connessione, nome);
        if (!db.isValid() || !db.open()) {
            errore = db.lastError().text();
        } else {
            QString pid;
            if (m_postgres) {
                QSqlQuery p(db);
                if (p.exec(QStringLiteral("SELECT pg_backend_pid()")) && p.next())
                    pid = QString::number(p.value(0).toLongLong());
            }
            {
                QMutexLocker l(&m_mutex);
                const QVariant h = db.driver()->handle();
                if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
                    m_sqlite = *static_cast<sqlite3* const*>(h.constData());
                m_postgresPid = pid;
            }
            if (!m_fermato.load()) {
                QSqlQuery q(db);
                q.setForwardOnly(true);
                if (q.exec(m_sql) && q.next()) {
                    totale = q.value(0).toLongLong();
                    riuscito = true;
                } else {
                    errore = q.lastError().text();
                }
            }
            {
                QMutexLocker l(&m_mutex);
                m_sqlite = nullptr;
                m_postgresPid.clear();
            }
            db.close();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nome);
    }
    m_riuscito = riuscito && !m_fermato.load();
    m_totale = totale;
    m_errore = errore;
    m_finito.store(true);
    if (!m_fermato.load())
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_fermato.load())
                    emit arrivato();
            },
            Qt::QueuedConnection);
}

} // namespace quarvel::listcmd
