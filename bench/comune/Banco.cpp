#include "Banco.h"

#include "data/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdarg>
#include <cstdio>

namespace quarvel::banco {

namespace {

// The field of /proc/self/status named campo, in MiB.
double Stato(const char* campo) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray cercato = QByteArray(campo) + ':';
    for (const QByteArray& riga : f.readAll().split('\n'))
        if (riga.startsWith(cercato))
            return riga.mid(cercato.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

bool Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    Nota("%s", qPrintable(q.lastError().text()));
    return false;
}

} // namespace

double MemoriaMb() {
    return Stato("VmRSS");
}

double PiccoMb() {
    return Stato("VmHWM");
}

void Riga(const char* formato, ...) {
    va_list a;
    va_start(a, formato);
    std::vfprintf(stdout, formato, a);
    va_end(a);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Nota(const char* formato, ...) {
    std::fprintf(stderr, "%s: ", qPrintable(QCoreApplication::applicationName()));
    va_list a;
    va_start(a, formato);
    std::vfprintf(stderr, formato, a);
    va_end(a);
    std::fputc('\n', stderr);
}

bool Apri(const Banco& b, QSqlDatabase& db) {
    if (b.postgres) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"));
        db.setHostName(qEnvironmentVariable("PGHOST", "127.0.0.1"));
        db.setPort(qEnvironmentVariable("PGPORT").toInt());
        db.setUserName(qEnvironmentVariable("QUARVEL_PG_UID", "quarvel"));
        db.setPassword(qEnvironmentVariable("QUARVEL_PG_PWD", "quarvel"));
        db.setDatabaseName(qEnvironmentVariableIsSet("QUARVEL_BENCH_PGDB")
                               ? qEnvironmentVariable("QUARVEL_BENCH_PGDB")
                               : b.databaseServer);
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(b.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    }
    if (!db.open()) {
        Nota("%s", qPrintable(db.lastError().text()));
        return false;
    }
    if (!b.postgres && b.wal)
        Esegui(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    return true;
}

void PreparaDitta(QSqlDatabase& db, qint64 righe, qint64 scarto) {
    {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2024'")) &&
            q.next() && qAbs(q.value(0).toLongLong() - righe) <= scarto)
            return;
    }
    const Cronometro t;
    dati::CreaDitta(db, true);
    dati::OpzioniDemo o;
    o.righeInventario = righe;
    dati::GeneraDemo(db, o);
    if (db.driverName().startsWith(QLatin1String("QPSQL")))
        Esegui(db, QStringLiteral("VACUUM ANALYZE"));
    std::fprintf(stderr, "ditta di %lld righe generata in %.1f s\n", static_cast<long long>(righe),
                 t.secondi());
}

} // namespace quarvel::banco
