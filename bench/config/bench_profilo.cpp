// A parameter file of some megabytes (sections of keys, CRLF, as Windows
// programs leave them): the first read, a thousand reads of keys spread over
// the file (as the start-up does), and writes of keys, each a read-modify-
// replace of the whole file under its lock.
//   bench_profilo [megabytes] [writes]

#include "comune/Profilo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

    QElapsedTimer t;
    t.start();
    (void)profilo::LeggiValore(file, QStringLiteral("Sezione0"), QStringLiteral("Chiave0"));
    const double prima = t.nsecsElapsed() / 1e9;

    t.restart();
    int trovate = 0;
    for (int i = 0; i < 1000; ++i) {
        const int s = (i * 7919) % sezioni, k = i % 50;
        trovate += profilo::LeggiValore(file, QStringLiteral("SEZIONE%1").arg(s),
                                        QStringLiteral("chiave%1").arg(k))
                       .has_value();
    }
    const double mille = t.nsecsElapsed() / 1e9;

    t.restart();
    int scritte = 0;
    for (int i = 0; i < scritture; ++i)
        scritte += profilo::Scrivi(file, QStringLiteral("Sezione%1").arg(i % sezioni),
                                   QStringLiteral("Nuova"), QString::number(i));
    const double scrivi = t.nsecsElapsed() / 1e9;

    std::printf("file %.1f MB, %d sections\n", dati.size() / 1048576.0, sezioni);
    std::printf("first read (parse)     %8.3f s\n", prima);
    std::printf("1000 key reads         %8.3f s  (%d found)\n", mille, trovate);
    std::printf("%d writes             %8.3f s  (%.3f s each, %d done)\n", scritture, scrivi,
                scritture ? scrivi / scritture : 0.0, scritte);
    std::printf("files parsed           %8llu\n",
                static_cast<unsigned long long>(profilo::FileAnalizzati()));
    return trovate == 1000 && scritte == scritture ? 0 : 1;
}
