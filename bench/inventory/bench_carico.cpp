// A terminal file (separated by ";": 90% barcodes, 9% article codes, 1%
// unknown codes) loaded into an inventory of a company with many articles.
//   bench_carico --motore sqlite|postgres --righe N --articoli M --db FILE --file FILE
//                [--modo quarvel|prepara] [--blocco N] [--righe-per-scrittura N]
//                [--articoli-per-scrittura N]
// "prepara" makes the company and the file; "quarvel" loads the file with
// the program's loader and prints the time and the peak memory.  The
// database-alone reference is in run.sh (sqlite3 .import, psql \copy).

#include "Banco.h"
#include "data/Schema.h"
#include "inventory/CaricoConteggi.h"
#include "utility/Utilita.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>

using namespace quarvel;

namespace {

bool Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "bench_carico: %s\n", qPrintable(q.lastError().text()));
    return false;
}

bool Prepara(QSqlDatabase& db, int articoli, qint64 righe, const QString& file) {
    dati::CreaDitta(db, true);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, BarCode, Inattivo) "
                             "VALUES (?, ?, ?, 'N')"));
    for (int i = 1; i <= articoli; ++i) {
        q.addBindValue(QStringLiteral("ART%1").arg(i, 7, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("Articolo %1").arg(i));
        q.addBindValue(QStringLiteral("80%1").arg(i, 11, 10, QLatin1Char('0')));
        if (!q.exec()) {
            std::fprintf(stderr, "bench_carico: %s\n", qPrintable(q.lastError().text()));
            return false;
        }
    }
    db.commit();
    if (!Esegui(db, QStringLiteral("ANALYZE Articoli")))
        return false;
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator g(42);
    QByteArray blocco;
    for (qint64 r = 0; r < righe; ++r) {
        const int a = int(g.bounded(articoli)) + 1;
        const int k = int(g.bounded(100));
        QByteArray codice;
        if (k < 90)
            codice = "80" + QByteArray::number(a).rightJustified(11, '0');
        else if (k < 99)
            codice = "ART" + QByteArray::number(a).rightJustified(7, '0');
        else
            codice = "NONCE" + QByteArray::number(r);
        blocco += codice + ';' + QByteArray::number(g.bounded(500) + 1) + "\r\n";
        if (blocco.size() > (1 << 20)) {
            f.write(blocco);
            blocco.clear();
        }
    }
    f.write(blocco);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    const QCommandLineOption oMotore(QStringLiteral("motore"), QStringLiteral("sqlite|postgres"),
                                     QStringLiteral("motore"), QStringLiteral("sqlite"));
    const QCommandLineOption oRighe(QStringLiteral("righe"), QStringLiteral("righe"),
                                    QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption oArticoli(QStringLiteral("articoli"), QStringLiteral("articoli"),
                                       QStringLiteral("n"), QStringLiteral("200000"));
    const QCommandLineOption oDb(QStringLiteral("db"), QStringLiteral("file SQLite"),
                                 QStringLiteral("file"));
    const QCommandLineOption oFile(QStringLiteral("file"), QStringLiteral("file del terminale"),
                                   QStringLiteral("file"));
    const QCommandLineOption oModo(QStringLiteral("modo"), QStringLiteral("quarvel|prepara"),
                                   QStringLiteral("modo"), QStringLiteral("quarvel"));
    const QCommandLineOption oBlocco(QStringLiteral("blocco"), QStringLiteral("righe per blocco"),
                                     QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption oScrittura(QStringLiteral("righe-per-scrittura"),
                                        QStringLiteral("righe lette fra due scritture"),
                                        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption oArticoliScrittura(QStringLiteral("articoli-per-scrittura"),
                                                QStringLiteral("articoli in attesa di scrittura"),
                                                QStringLiteral("n"), QStringLiteral("0"));
    p.addOptions(
        {oMotore, oRighe, oArticoli, oDb, oFile, oModo, oBlocco, oScrittura, oArticoliScrittura});
    p.process(app);
    InstallaUtilita();

    const bool pg = p.value(oMotore) == QLatin1String("postgres");
    banco::Banco dove;
    dove.postgres = pg;
    dove.file = p.value(oDb);
    QSqlDatabase db;
    if (!banco::Apri(dove, db))
        return 1;
    if (!pg)
        Esegui(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    const qint64 righe = p.value(oRighe).toLongLong();
    if (p.value(oModo) == QLatin1String("prepara"))
        return Prepara(db, p.value(oArticoli).toInt(), righe, p.value(oFile)) ? 0 : 1;

    Esegui(db, QStringLiteral("DELETE FROM MagInventari"));
    QFile f(p.value(oFile));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_carico: %s\n", qPrintable(f.errorString()));
        return 1;
    }
    inventario::SetCarico set;
    set.formato = QStringLiteral("S");
    set.separatore = QStringLiteral(";");
    set.codInizio = 1;
    set.qtaInizio = 2;
    inventario::CaricoConteggi c(db, set, {QStringLiteral("INV1"), QStringLiteral("M1")});
    if (p.value(oBlocco).toInt() > 0)
        c.impostaRighePerBlocco(p.value(oBlocco).toInt());
    if (p.value(oArticoliScrittura).toInt() > 0)
        c.impostaArticoliPerScrittura(p.value(oArticoliScrittura).toInt());
    if (p.value(oScrittura).toLongLong() > 0)
        c.impostaRighePerScrittura(p.value(oScrittura).toLongLong());
    inventario::FileScarti scarti(f.fileName(), QDateTime::currentDateTime());
    const banco::Cronometro t;
    const inventario::EsitoCarico e = c.Carica(f, scarti);
    scarti.Chiudi();
    const qint64 ms = qint64(t.ms());
    QFile::remove(scarti.Nome());
    banco::Riga("quarvel %-8s righe %9lld: %7lld ms  scritte %lld scartate %lld  memoria massima "
                "%ld MiB%s",
                pg ? "postgres" : "sqlite", static_cast<long long>(righe),
                static_cast<long long>(ms), static_cast<long long>(e.righeScritte),
                static_cast<long long>(e.righeScartate), long(banco::PiccoMb()),
                e.completo ? "" : qPrintable(QStringLiteral("  INCOMPLETO: ") + e.errore));
    return e.completo ? 0 : 1;
}
