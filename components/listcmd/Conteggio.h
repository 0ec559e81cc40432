#pragma once
// The count of a list's rows, run on a connection of its own in a thread of
// its own: the list shows its first rows at once and learns its total when
// the count arrives.
//
// Each list has a channel (CanaleConteggi): one thread and, on a server, one
// connection cloned from the list's by name.  A connection belongs to the
// thread that opened it, so the channel's thread opens, uses and closes it.
// The server connection is opened as soon as the list opens, beside the
// reading of its first rows, so that the count does not wait for a login
// after them; it is kept while counts come and closed after a minute
// without one, and at once when the list goes.  An SQLite file is opened for
// each count (that costs nothing, and a file replaced on disk is never
// counted through an old handle).  Stopping a count interrupts the engine's
// statement (SQLite's interrupt, PostgreSQL's cancel) and waits for it: a
// list closed while counting leaves nothing running behind it.

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <memory>

class QThread;

namespace quarvel::listcmd {

struct LavoroConteggio;

class CanaleConteggi final {
public:
    CanaleConteggi();
    // Stops the count running, closes the connection and joins the thread.
    ~CanaleConteggi();
    CanaleConteggi(const CanaleConteggi&) = delete;
    CanaleConteggi& operator=(const CanaleConteggi&) = delete;

    // Opens, in the background, the server connection the next count of a
    // list on db will run on.  Nothing for SQLite.
    void prepara(const QSqlDatabase& db);

    struct Stato;

private:
    friend class Conteggio;
    std::shared_ptr<Stato> m_stato;
    QThread* m_thread = nullptr;
};

// A count an SQLite file answers faster as a difference: all the rows of the
// table (counted from its pages, without reading each row) less those
// outside the condition, when these are few.  The two statements run in one
// read transaction: no row written meanwhile falls between them.
struct Differenza {
    QString fuori; // the rows outside the condition, at most limite of them
    QString tutte; // all the rows
    qint64 limite = 0;
    // limite rows outside or more: the condition is counted itself
};

class Conteggio final : public QObject {
    Q_OBJECT
public:
    // True when a second connection sees what the list's connection sees:
    // an SQLite file or a server, not an in-memory database.
    static bool Possibile(const QSqlDatabase& db);

    // Starts counting at once on the channel; sql is the engine's own COUNT
    // statement.  A channel runs one count at a time.
    Conteggio(CanaleConteggi& canale, const QSqlDatabase& db, const QString& sql,
              QObject* genitore = nullptr);
    // The same, with a statement counting the same rows that is faster when
    // the server reads the whole of a table (a condition cheaper to test on
    // each row) but leaves its indexes unused: on PostgreSQL it is run in
    // place of sql when the server's plan for sql reads the table seqScan
    // names from end to end.  On an SQLite file the count is taken as
    // differenza when that has its statements (see Differenza).
    Conteggio(CanaleConteggi& canale, const QSqlDatabase& db, const QString& sql,
              const QString& perLetturaIntera, const QString& tabella,
              const Differenza& differenza = {}, QObject* genitore = nullptr);
    // Stops the count.
    ~Conteggio() override;

    // Blocks until the count ends.
    void attendi();
    // Interrupts the count and waits for it; no result arrives after it.
    void ferma();

    bool finito() const;
    bool riuscito() const; // after finito()
    qint64 totale() const; // after riuscito()
    QString errore() const;

    // Holds every count before it starts until released (the tests use it to
    // act on a list whose total has not arrived yet).
    static void Trattieni(bool si);

signals:
    // The count ended (in the thread that made the object); read the result.
    void arrivato();

private:
    std::shared_ptr<CanaleConteggi::Stato> m_stato;
    std::shared_ptr<LavoroConteggio> m_lavoro;
    QSqlDatabase m_db; // the list's own, for the cancel
    bool m_fermato = false;
};

} // namespace quarvel::listcmd
