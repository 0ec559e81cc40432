// A parameter file of some megabytes (sections of keys, CRLF, as Windows
// programs leave them): the first read, a thousand reads of keys spread over
// the file (as the start-up does), and writes of keys, each a read-modify-
// replace of the whole file under its lock.
//   bench_profilo [megabytes] [writes]

#include "Banco.h"
#include "comune/Profilo.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arg = app.arguments();
    const double mega = arg.size() > 1 ? arg[1].toDouble() : 4.0;
    const int scritture = arg.size() > 2 ? arg[2].toInt() : 20;

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("parametri.ini"));
    QByteArray dati;
    int sezioni = 0;
    while (dati.size() < mega * 1024 * 1024) {
        dati += "[Sezione" + QByteArray::number(sezioni) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            dati += "Chiave" + QByteArray::number(k) + " = valore " + QByteArray::number(sezioni) +
                    "." + QByteArray::number(k) + " di prova per la lettura\r\n";
        ++sezioni;
    }
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(dati) != dati.size())
            return 1;
    }

    banco::Cronometro t;
    (void)profilo::LeggiValore(file, QStringLiteral("Sezione0"), QStringLiteral("Chiave0"));
    const double prima = t.secondi();

    t.avvia();
    int trovate = 0;
    for (int i = 0; i < 1000; ++i) {
        const int s = (i * 7919) % sezioni, k = i % 50;
        trovate += profilo::LeggiValore(file, QStringLiteral("SEZIONE%1").arg(s),
                                        QStringLiteral("chiave%1").arg(k))
                       .has_value();
    }
    const double mille = t.secondi();

    t.avvia();
    int scritte = 0;
    for (int i = 0; i < scritture; ++i)
        scritte += profilo::Scrivi(file, QStringLiteral("Sezione%1").arg(i % sezioni),
                                   QStringLiteral("Nuova"), QString::number(i));
    const double scrivi = t.secondi();

    banco::Riga("file %.1f MB, %d sections", dati.size() / 1048576.0, sezioni);
    banco::Riga("first read (parse)     %8.3f s", prima);
    banco::Riga("1000 key reads         %8.3f s  (%d found)", mille, trovate);
    banco::Riga("%d writes             %8.3f s  (%.3f s each, %d done)", scritture, scrivi,
                scritture ? scrivi / scritture : 0.0, scritte);
    banco::Riga("files parsed           %8llu",
                static_cast<unsigned long long>(profilo::FileAnalizzati()));
    return trovate == 1000 && scritte == scritture ? 0 : 1;
}
