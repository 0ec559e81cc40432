// What the benchmark programs share: the company they measure on, the time
// and the memory of the process, and the line of figures each prints.

#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>

namespace quarvel::banco {

// A monotonic stopwatch, running from its construction or its last avvia().
class Cronometro {
public:
    Cronometro() { m_t.start(); }
    void avvia() { m_t.start(); }
    double ms() const { return double(m_t.nsecsElapsed()) / 1e6; }
    double secondi() const { return double(m_t.nsecsElapsed()) / 1e9; }

private:
    QElapsedTimer m_t;
};

// The process's resident memory now (VmRSS) and at its peak so far (VmHWM),
// in MiB; 0 where /proc/self/status cannot be read.
double MemoriaMb();
double PiccoMb();

// One line of figures on standard output, flushed at once so that it comes
// in order with what the run scripts print around it.
void Riga(const char* formato, ...) __attribute__((format(printf, 1, 2)));
// A note or an error on standard error, after the program's name.
void Nota(const char* formato, ...) __attribute__((format(printf, 1, 2)));

// Where the company is.  SQLite: a file, opened as the program opens it (a
// busy timeout, the write-ahead log unless wal is false).  PostgreSQL: the
// test server of scripts/services/postgres.sh (PGHOST, PGPORT,
// QUARVEL_PG_UID, QUARVEL_PG_PWD) and the database QUARVEL_BENCH_PGDB, or
// databaseServer when that is not set.
struct Banco {
    bool postgres = false;
    QString file;
    QString databaseServer = QStringLiteral("quarvel_bench");
    bool wal = true;
};

// Opens the default connection on the company of b; false (the cause on
// standard error) when it cannot.
bool Apri(const Banco& b, QSqlDatabase& db);

// The demo company with righe counts in the inventory "INV2024", made on db
// unless db holds it already (righe, give or take scarto: the rows a run
// adds or removes): a later run finds the company an earlier one made.  On
// the server its statistics are brought up to date, as the autovacuum does
// soon after a bulk load.  The time it took goes to standard error.
void PreparaDitta(QSqlDatabase& db, qint64 righe, qint64 scarto = 0);

} // namespace quarvel::banco
