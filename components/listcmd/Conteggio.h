#pragma once
// The count of a list's rows, run on a connection of its own in a thread of
// its own: the list shows its first rows at once and learns its total when
// the count arrives.  A connection belongs to the thread that opened it, so
// the thread clones the list's connection by name and drops the clone when
// done.  Stopping interrupts the engine's statement (SQLite's interrupt,
// PostgreSQL's cancel) and joins the thread: a list closed while counting
// leaves nothing running behind it.

#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <atomic>

class QThread;
struct sqlite3;

namespace quarvel::listcmd {

class Conteggio final : public QObject {
    Q_OBJECT
public:
    // True when a second connection sees what the list's connection sees:
    // an SQLite file or a server, not an in-memory database.
    static bool Possibile(const QSqlDatabase& db);

    // Starts counting at once; sql is the engine's own COUNT statement.
    Conteggio(const QSqlDatabase& db, const QString& sql, QObject* genitore = nullptr);
    // Stops the count and joins the thread.
    ~Conteggio() override;

    // Blocks until the count ends.
    void attendi();
    // Interrupts the count and joins the thread; no result arrives after it.
    void ferma();

    bool finito() const { return m_finito.load(); }
    bool riuscito() const { return m_riuscito; } // after finito()
    qint64 totale() const { return m_totale; }   // after riuscito()
    const QString& errore() const { return m_errore; }

    // Holds every count before it starts until released (the tests use it to
    // act on a list whose total has not arrived yet).
    static void Trattieni(bool si);

signals:
    // The count ended (in the thread that made the object); read the result.
    void arrivato();

private:
    void esegui();

    QString m_connessione; // the list's connection, cloned by name
    QString m_postgresPid; // of the clone, to cancel its statement
    bool m_postgres = false;
    QSqlDatabase m_db; // the list's own, for the cancel
    QString m_sql;
    QThread* m_thread = nullptr;
    QMutex m_mutex; // guards the handles below against the clone's closing
    sqlite3* m_sqlite = nullptr;
    std::atomic<bool> m_fermato{false};
    std::atomic<bool> m_finito{false};
    bool m_riuscito = false;
    qint64 m_totale = 0;
    QString m_errore;
};

} // namespace quarvel::listcmd
