// libFuzzer target of the profile-file layer: arbitrary bytes as a parameter
// file.  Reads keys, lists sections, writes a key and reads it back; checks
// that a written key reads back its value, that a write leaves the other
// sections and keys as they were, and that nothing crashes or hangs.

#include "comune/Profilo.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>

using namespace quarvel;

namespace {

[[noreturn]] void Fallito(const char* cosa) {
    std::fprintf(stderr, "fuzz_profilo: invariant broken: %s\n", cosa);
    std::abort();
}
#define CONTROLLA(cond)                                                                            \
    do {                                                                                           \
        if (!(cond))                                                                               \
            Fallito(#cond);                                                                        \
    } while (0)

// The file lives in memory (/dev/shm) when it can: every write of the layer
// ends with a flush to disk, which would slow the run down a hundredfold.
QString Cartella() {
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return base + QStringLiteral("/fuzz_profilo_%1").arg(::getpid());
}

const QString& File() {
    static const QString file = [] {
        QDir().mkpath(Cartella());
        std::atexit([] { QDir(Cartella()).removeRecursively(); });
        return Cartella() + QStringLiteral("/prova.ini");
    }();
    return file;
}

void Metti(const QByteArray& dati) {
    QFile f(File());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Fallito("cannot write the input file");
    f.write(dati);
}

QByteArray Prendi() {
    QFile f(File());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool Utf8(const QByteArray& b) {
    return QString::fromUtf8(b).toUtf8() == b;
}

// What a read gives back for a value written as it is: trimmed, one pair of
// matching quotes taken off.
QString ComeLetto(const QString& v) {
    QString t = v.trimmed();
    if (t.size() >= 2 && t.front() == t.back() &&
        (t.front() == QLatin1Char('"') || t.front() == QLatin1Char('\'')))
        t = t.mid(1, t.size() - 2);
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    // The first bytes steer the test; the rest is the file.
    const QByteArray tutto(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray guida = tutto.left(8);
    const QByteArray contenuto = tutto.mid(8);
    Metti(contenuto);
    const QString& f = File();

    // Reads.
    const QStringList nomi = profilo::NomiSezioni(f);
    for (const QString& n : nomi)
        CONTROLLA(!n.isEmpty());
    for (int i = 0; i < nomi.size() && i < 4; ++i) {
        (void)profilo::LeggiValore(f, nomi[i], QStringLiteral("k"));
        (void)profilo::LeggiIntero(f, nomi[i], QStringLiteral("NumIni"), 0);
    }

    // The buffer form gives the same names, and its size rule holds.
    for (int dimensione : {0, 1, 5, 64}) {
        QString buf;
        const int n = profilo::NomiSezioniBuffer(f, buf, dimensione);
        CONTROLLA(buf.size() == qMax(dimensione, 0));
        CONTROLLA(n >= 0 && (dimensione < 2 || n <= dimensione - 2 || n == dimensione - 1));
        if (dimensione >= 1)
            CONTROLLA(buf.at(dimensione - 1) == QChar(0));
        if (dimensione >= 2 && n < dimensione - 2)
            CONTROLLA(buf.left(n).split(QChar(0), Qt::SkipEmptyParts) == nomi ||
                      nomi.join(QString()).contains(QChar(0)));
    }

    // A key written: an existing section (chosen by the input) or a new one;
    // a printable value from the input, which every encoding can hold.
    QString sezione = QStringLiteral("Fuzz");
    if (!nomi.isEmpty() && !guida.isEmpty())
        sezione = nomi[static_cast<unsigned char>(guida[0]) % nomi.size()];
    const QString chiave = QStringLiteral("ChiaveFuzz");
    QString valore;
    for (char c : guida.mid(1)) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u < 0x7F) || u >= 0xA0)
            valore += QChar(u);
    }

    // What the other sections hold before the write.
    QList<std::optional<QString>> primaAltre;
    for (int i = 0; i < nomi.size() && i < 4; ++i)
        primaAltre << profilo::LeggiValore(f, nomi[i], QStringLiteral("k"));

    const bool scrivibile = !sezione.contains(QChar(0)) && !sezione.contains(QLatin1Char('\r')) &&
                            !sezione.contains(QLatin1Char('\n'));
    const bool scritto = profilo::Scrivi(f, sezione, chiave, valore);
    if (scrivibile)
        CONTROLLA(scritto);
    if (scritto) {
        const std::optional<QString> letto = profilo::LeggiValore(f, sezione, chiave);
        CONTROLLA(letto.has_value());
        // A Windows-1252 file whose bytes all happen to form UTF-8 after the
        // write reads as UTF-8 from then on: the one case where the value
        // may come back otherwise.
        CONTROLLA(*letto == ComeLetto(valore) || (!Utf8(contenuto) && Utf8(Prendi())));

        QStringList dopo = profilo::NomiSezioni(f);
        QStringList attesi = nomi;
        if (!attesi.contains(sezione, Qt::CaseInsensitive))
            attesi << sezione;
        CONTROLLA(dopo == attesi);
        for (int i = 0; i < primaAltre.size(); ++i)
            if (nomi[i].compare(sezione, Qt::CaseInsensitive) != 0)
                CONTROLLA(profilo::LeggiValore(f, nomi[i], QStringLiteral("k")) == primaAltre[i]);

        // Deleting a key that is not there leaves every byte alone.
        const QString assente = QStringLiteral("NessunaChiave");
        if (!profilo::LeggiValore(f, sezione, assente)) {
            const QByteArray prima = Prendi();
            CONTROLLA(profilo::Scrivi(f, sezione, assente, std::nullopt));
            CONTROLLA(Prendi() == prima);
        }

        // The key and then the whole section deleted.
        CONTROLLA(profilo::Scrivi(f, sezione, chiave, std::nullopt));
        CONTROLLA(profilo::Scrivi(f, sezione, std::nullopt, std::nullopt));
    }
    return 0;
}
