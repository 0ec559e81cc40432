// Reads the counts of one inventory through the data-access component's
// record set, every field of every row, and prints rows and seconds.
//
//   bench_dati_conteggi DATABASE [INVENTARIO] [--uid U] [--solo-odbc]
//
// The password comes from QUARVEL_DITTA_PWD, never from the command line.

#include "Banco.h"
#include "data/ComponenteDatiSql.h"
#include "suite/Errore.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace quarvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList a = app.arguments().mid(1);
    QString uid;
    const QString pwd = qEnvironmentVariable("QUARVEL_DITTA_PWD");
    bool soloOdbc = false;
    QStringList posizionali;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--uid") && i + 1 < a.size())
            uid = a[++i];
        else if (a[i] == QLatin1String("--solo-odbc"))
            soloOdbc = true;
        else
            posizionali << a[i];
    }
    if (posizionali.isEmpty()) {
        std::fprintf(stderr, "uso: bench_dati_conteggi DATABASE [INVENTARIO] [--uid U] "
                             "[--solo-odbc]\n");
        return 2;
    }
    const QString inventario = posizionali.size() > 1 ? posizionali[1] : QStringLiteral("INV2024");
    // The counts form's query, as the program runs it.
    const QString sql =
        QStringLiteral("SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS "
                       "DesArticolo,MagInventari.Livello1,MagInventari.Livello2,MagInventari."
                       "Giacenza,MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz FROM "
                       "(MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = "
                       "Articoli.Articolo) LEFT JOIN Magazzini ON Magazzini.Magazzino = "
                       "MagInventari.Magazzino WHERE CodInv = '") +
        inventario + QStringLiteral("' Order by MagInventari.Articolo");
    try {
        dati::Registra();
        auto c = CreaComponenteDati();
        c->ImpostaParametro(QStringLiteral("DbSqlPubUID"), uid);
        c->ImpostaParametro(QStringLiteral("DbSqlPubPWD"), pwd);
        c->ImpostaParametro(QStringLiteral("DbSqlSoloOdbc"),
                            soloOdbc ? QStringLiteral("S") : QStringLiteral("N"));
        QString r;
        c->Apri(posizionali[0], 0, false, true, {}, r);
        const banco::Cronometro t;
        auto rs = c->ApriRecordset(sql);
        qint64 righe = 0, caratteri = 0;
        const int campi = rs->NumeroCampi();
        while (!rs->Eof()) {
            for (int i = 0; i < campi; ++i)
                caratteri += rs->Campo(i).toString().size();
            ++righe;
            rs->MoveNext();
        }
        const double secondi = t.secondi();
        banco::Riga("%lld %.3f", static_cast<long long>(righe), secondi);
        std::fprintf(stderr, "%s: %lld righe, %lld caratteri, %.3f s\n", qPrintable(r),
                     static_cast<long long>(righe), static_cast<long long>(caratteri), secondi);
    } catch (const Errore& e) {
        std::fprintf(stderr, "errore %d: %s\n", e.numero(), qPrintable(e.descrizione()));
        return 1;
    }
    return 0;
}
