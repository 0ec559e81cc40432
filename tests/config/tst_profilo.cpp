// The profile-file layer: reads with the Windows rules, in-place edits that
// leave every other byte alone, encodings, atomic replacement, failures.

#include "comune/Profilo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <QElapsedTimer>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quarvel;

namespace {

QByteArray Leggi(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void Scrivi(const QString& file, const QByteArray& dati) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(dati), dati.size());
}

QString Fixture(const char* nome) {
    return QStringLiteral(QUARVEL_TEST_DATA "/") + QLatin1String(nome);
}

// Rewrites the file in place (same inode), as an editor that does not
// replace files would.
void RiscriviSulPosto(const QString& file, const QByteArray& dati) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.resize(0));
    QCOMPARE(f.write(dati), dati.size());
}

// A value to write: absent means "no key" or "no value" (the deletions).
using Opt = std::optional<QString>;

// An optional value as a text that a failed comparison shows.
QString T(const Opt& v) {
    return v ? u"«"_qs + *v + u"»"_qs : u"<assente>"_qs;
}

// Sets or clears the immutable attribute of a folder, which keeps even root
// from creating files in it.
bool Immutabile(const QString& cartella, bool si) {
    const int fd = ::open(QFile::encodeName(cartella).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = si ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

const QByteArray Campione = "Orfana=fuori\n"
                            "; Commento=1\n"
                            "[Sezione]\n"
                            "Chiave=uno\n"
                            "chiave=due\n"
                            "  Spazi  =   con blank   \n"
                            "Virgolette=\"  tra  \"\n"
                            "Apici='x'\n"
                            "Miste=\"x'\n"
                            "Sola=\"\n"
                            "Vuota=\n"
                            "SoloNome\n"
                            "#Cancelletto=4\n"
                            "Uguale=a=b\n"
                            "Nota=valore ; non e' un commento\n"
                            "\t[ SEZIONE ]  resto\n"
                            "Chiave=tre\n"
                            "Dopo=x\n"
                            "[Altra]\r\n"
                            "Numero=12abc\r\n"
                            "Negativo=-7\r\n"
                            "Lettere=abc\r\n"
                            "Enorme=99999999999\r\n"
                            "[Senza chiusa\n"
                            "k=v\n"
                            "[]\n"
                            "Ultima=fine"; // no line end after the last line

// Run as a second process (the test binary called again): writes `quante`
// keys "<prefisso>NNN=NNN" into the section [Chiavi] of the file, one write
// each, as the menu and a command-line write would.  Exit code 0 when every
// write reported success.
const char* const OpzioneScrittore = "--scrivi-chiavi";

int Scrittore(const QString& file, const QString& prefisso, int quante) {
    int falliti = 0;
    for (int i = 0; i < quante; ++i) {
        const QString n = QString::number(i).rightJustified(3, QLatin1Char('0'));
        if (!profilo::Scrivi(file, u"Chiavi"_qs, prefisso + n, n))
            ++falliti;
    }
    return falliti == 0 ? 0 : 1;
}

} // namespace

class TstProfilo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void leggiValore_data();
    void leggiValore();
    void leggiIntero_data();
    void leggiIntero();
    void nomiSezioni();
    void fileMancante();

    void scrivi_data();
    void scrivi();

    void windows1252CrLf();
    void utf8RestaUtf8();
    void carattereFuoriCodifica();

    void bufferSezioni_data();
    void bufferSezioni();
    void bufferSezioniConRiprova();

    void cartellaMancante();
    void cartellaSolaLettura();
    void fileSolaLettura();
    void sostituzioneAtomica();
    void scrittoriConcorrenti();
    void threadConcorrenti();
    void bloccoOccupato();

    void rilettoQuandoCambia_data();
    void rilettoQuandoCambia();
    void fileGrandeAnalizzatoUnaVolta();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString file(const char* nome = "prova.ini") const { return m_dir->filePath(nome); }
};

void TstProfilo::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TstProfilo::leggiValore_data() {
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<Opt>("atteso");

    QTest::newRow("semplice") << "Sezione"
                              << "Chiave" << Opt(u"uno"_qs);
    QTest::newRow("maiuscole e minuscole") << "sEZIONE"
                                           << "CHIAVE" << Opt(u"uno"_qs);
    QTest::newRow("nome con blank") << "Sezione"
                                    << "spazi" << Opt(u"con blank"_qs);
    QTest::newRow("nome passato con blank") << " Sezione "
                                            << " Spazi " << Opt(u"con blank"_qs);
    QTest::newRow("virgolette tolte, blank dentro tenuti") << "Sezione"
                                                           << "Virgolette" << Opt(u"  tra  "_qs);
    QTest::newRow("apici tolti") << "Sezione"
                                 << "Apici" << Opt(u"x"_qs);
    QTest::newRow("coppia non uguale") << "Sezione"
                                       << "Miste" << Opt(u"\"x'"_qs);
    QTest::newRow("virgoletta sola") << "Sezione"
                                     << "Sola" << Opt(u"\""_qs);
    QTest::newRow("valore vuoto trovato") << "Sezione"
                                          << "Vuota" << Opt(u""_qs);
    QTest::newRow("riga senza uguale") << "Sezione"
                                       << "SoloNome" << Opt();
    QTest::newRow("commento punto e virgola") << "Sezione"
                                              << "; Commento" << Opt();
    QTest::newRow("commento cancelletto") << "Sezione"
                                          << "#Cancelletto" << Opt();
    QTest::newRow("uguale nel valore") << "Sezione"
                                       << "Uguale" << Opt(u"a=b"_qs);
    QTest::newRow("punto e virgola nel valore") << "Sezione"
                                                << "Nota" << Opt(u"valore ; non e' un commento"_qs);
    QTest::newRow("chiave della sezione doppia ignorata") << "Sezione"
                                                          << "Dopo" << Opt();
    QTest::newRow("chiave fuori sezione") << "Sezione"
                                          << "Orfana" << Opt();
    QTest::newRow("chiave fuori sezione, sezione vuota") << ""
                                                         << "Orfana" << Opt();
    QTest::newRow("righe CRLF") << "altra"
                                << "numero" << Opt(u"12abc"_qs);
    QTest::newRow("sezione senza parentesi chiusa") << "Senza chiusa"
                                                    << "k" << Opt(u"v"_qs);
    QTest::newRow("sezione dal nome vuoto, ultima riga senza a capo")
        << ""
        << "Ultima" << Opt(u"fine"_qs);
    QTest::newRow("sezione mancante") << "Nessuna"
                                      << "Chiave" << Opt();
    QTest::newRow("chiave mancante") << "Altra"
                                     << "Chiave" << Opt();
}

void TstProfilo::leggiValore() {
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(Opt, atteso);
    Scrivi(file(), Campione);
    QCOMPARE(T(profilo::LeggiValore(file(), sezione, chiave)), T(atteso));
}

void TstProfilo::leggiIntero_data() {
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<int>("atteso");
    QTest::newRow("cifre iniziali") << "Numero" << 12;
    QTest::newRow("negativo") << "Negativo" << -7;
    QTest::newRow("non numero") << "Lettere" << 0;
    QTest::newRow("troppo grande") << "Enorme" << std::numeric_limits<int>::max();
    QTest::newRow("mancante: predefinito") << "Manca" << 42;
}

void TstProfilo::leggiIntero() {
    QFETCH(QString, chiave);
    QFETCH(int, atteso);
    Scrivi(file(), Campione);
    QCOMPARE(profilo::LeggiIntero(file(), u"Altra"_qs, chiave, 42), atteso);
}

void TstProfilo::nomiSezioni() {
    Scrivi(file(), Campione);
    // Each name once, in file order, as first written; the empty name left out.
    QCOMPARE(profilo::NomiSezioni(file()),
             QStringList({u"Sezione"_qs, u"Altra"_qs, u"Senza chiusa"_qs}));
}

void TstProfilo::fileMancante() {
    const QString f = file("manca.ini");
    QCOMPARE(T(profilo::LeggiValore(f, u"A"_qs, u"b"_qs)), T(Opt()));
    QCOMPARE(profilo::LeggiIntero(f, u"A"_qs, u"b"_qs, 7), 7);
    QVERIFY(profilo::NomiSezioni(f).isEmpty());
    QString buf;
    QCOMPARE(profilo::NomiSezioniBuffer(f, buf, 16), 0);
    // Deleting from a file that is not there succeeds and creates nothing.
    QVERIFY(profilo::Scrivi(f, u"A"_qs, u"b"_qs, std::nullopt));
    QVERIFY(profilo::Scrivi(f, u"A"_qs, std::nullopt, std::nullopt));
    QVERIFY(!QFile::exists(f));
    // A write creates it, UTF-8 with LF.
    QVERIFY(profilo::Scrivi(f, u"Città"_qs, u"Chiave"_qs, u"è"_qs));
    QCOMPARE(Leggi(f), QByteArray("[Citt\xC3\xA0]\nChiave=\xC3\xA8\n"));
    // and what it wrote reads back at once in the same process
    QCOMPARE(T(profilo::LeggiValore(f, u"Città"_qs, u"Chiave"_qs)), T(Opt(u"è"_qs)));
    QCOMPARE(profilo::NomiSezioni(f), QStringList{u"Città"_qs});
}

void TstProfilo::scrivi_data() {
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<Opt>("chiave");
    QTest::addColumn<Opt>("valore");
    QTest::addColumn<bool>("riuscito");
    QTest::addColumn<QByteArray>("dopo");

    QTest::newRow("sostituisce tenendo nome e spaziatura")
        << QByteArray("[A]\n  Chiave =  1  \ny=2\n") << "a" << Opt(u"CHIAVE"_qs) << Opt(u"nuovo"_qs)
        << true << QByteArray("[A]\n  Chiave =  nuovo\ny=2\n");
    QTest::newRow("prima occorrenza")
        << QByteArray("[A]\nk=1\nk=2\n[a]\nk=3\n") << "A" << Opt(u"k"_qs) << Opt(u"9"_qs) << true
        << QByteArray("[A]\nk=9\nk=2\n[a]\nk=3\n");
    QTest::newRow("chiave fuori sezione intatta")
        << QByteArray("k=0\n[A]\nk=1\n") << "A" << Opt(u"k"_qs) << Opt(u"2"_qs) << true
        << QByteArray("k=0\n[A]\nk=2\n");
    QTest::newRow("nuova chiave in fondo alla sezione")
        << QByteArray("[A]\nx=1\n; nota su B\n\n[B]\ny=2\n") << "A" << Opt(u"z"_qs) << Opt(u"3"_qs)
        << true << QByteArray("[A]\nx=1\nz=3\n; nota su B\n\n[B]\ny=2\n");
    QTest::newRow("nuova chiave in sezione vuota senza a capo")
        << QByteArray("[A]") << "A" << Opt(u"z"_qs) << Opt(u"3"_qs) << true
        << QByteArray("[A]\nz=3\n");
    QTest::newRow("nuova chiave con CRLF")
        << QByteArray("[A]\r\nx=1\r\n") << "A" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
    // A new section follows the last line directly, as Windows appends it
    // ("[Sezione]" and the key, each with the file's line end); a last line
    // without its end gets one first; blank lines already there stay.  A file
    // with no line end at all takes LF, as a new file does.
    QTest::newRow("nuova sezione in fondo, senza riga vuota")
        << QByteArray("[A]\nx=1\n") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\nx=1\n[B]\ny=2\n");
    QTest::newRow("nuova sezione, CRLF")
        << QByteArray("[A]\r\nx=1\r\n") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    QTest::newRow("nuova sezione, ultima riga senza a capo")
        << QByteArray("[A]\r\nx=1") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    QTest::newRow("nuova sezione dopo righe vuote")
        << QByteArray("[A]\nx=1\n\n\n") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\nx=1\n\n\n[B]\ny=2\n");
    QTest::newRow("nuova sezione dopo un commento senza a capo")
        << QByteArray("[A]\r\nx=1\r\n; fine") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\r\nx=1\r\n; fine\r\n[B]\r\ny=2\r\n");
    QTest::newRow("nuova sezione dopo una riga di soli blank")
        << QByteArray("[A]\nx=1\n  ") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[A]\nx=1\n  \n[B]\ny=2\n");
    QTest::newRow("nuova sezione dopo testo senza sezioni ne' a capo")
        << QByteArray("Dati prima") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("Dati prima\n[B]\ny=2\n");
    QTest::newRow("nuova sezione in un file vuoto")
        << QByteArray("") << "B" << Opt(u"y"_qs) << Opt(u"2"_qs) << true
        << QByteArray("[B]\ny=2\n");
    QTest::newRow("sezione esistente con altre maiuscole: non nuova")
        << QByteArray("[Alfa]\r\nx=1\r\n\r\n[B]\r\n") << "ALFA" << Opt(u"y"_qs) << Opt(u"2"_qs)
        << true << QByteArray("[Alfa]\r\nx=1\r\ny=2\r\n\r\n[B]\r\n");
    QTest::newRow("valore vuoto") << QByteArray("[A]\nx=1\n") << "A" << Opt(u"x"_qs) << Opt(u""_qs)
                                  << true << QByteArray("[A]\nx=\n");
    QTest::newRow("cancella chiave") << QByteArray("[A]\nX=1\ny=2\n") << "a" << Opt(u"x"_qs)
                                     << Opt() << true << QByteArray("[A]\ny=2\n");
    QTest::newRow("cancella chiave mancante")
        << QByteArray("[A]\ny=2") << "A" << Opt(u"x"_qs) << Opt() << true << QByteArray("[A]\ny=2");
    QTest::newRow("cancella sezione")
        << QByteArray("[A]\nx=1\n\n[B]\ny=2\n; c\n\n[C]\nz=3\n") << "b" << Opt() << Opt(u"v"_qs)
        << true << QByteArray("[A]\nx=1\n\n[C]\nz=3\n");
    QTest::newRow("cancella ultima sezione") << QByteArray("[A]\nx=1\n\n[B]\ny=2") << "B" << Opt()
                                             << Opt() << true << QByteArray("[A]\nx=1\n\n");
    QTest::newRow("cancella sezione mancante")
        << QByteArray("[A]\nx=1\n") << "B" << Opt() << Opt() << true << QByteArray("[A]\nx=1\n");
    // Texts that would add lines or keys of their own are refused.
    QTest::newRow("valore su due righe") << QByteArray("[A]\nx=1\n") << "A" << Opt(u"x"_qs)
                                         << Opt(u"2\n[B]"_qs) << false << QByteArray("[A]\nx=1\n");
    QTest::newRow("chiave con uguale") << QByteArray("[A]\nx=1\n") << "A" << Opt(u"x=y"_qs)
                                       << Opt(u"2"_qs) << false << QByteArray("[A]\nx=1\n");
    QTest::newRow("sezione con parentesi") << QByteArray("[A]\nx=1\n") << "A]x" << Opt(u"x"_qs)
                                           << Opt(u"2"_qs) << false << QByteArray("[A]\nx=1\n");
    QTest::newRow("sezione vuota") << QByteArray("[A]\nx=1\n") << "" << Opt(u"x"_qs) << Opt(u"2"_qs)
                                   << false << QByteArray("[A]\nx=1\n");
}

void TstProfilo::scrivi() {
    QFETCH(QByteArray, prima);
    QFETCH(QString, sezione);
    QFETCH(Opt, chiave);
    QFETCH(Opt, valore);
    QFETCH(bool, riuscito);
    QFETCH(QByteArray, dopo);
    Scrivi(file(), prima);
    QCOMPARE(profilo::Scrivi(file(), sezione, chiave, valore), riuscito);
    QCOMPARE(Leggi(file()), dopo);
    if (riuscito && chiave)
        QCOMPARE(T(profilo::LeggiValore(file(), sezione, *chiave)), T(valore));
    if (riuscito && !chiave)
        QVERIFY(!profilo::NomiSezioni(file()).contains(sezione, Qt::CaseInsensitive));
}

void TstProfilo::windows1252CrLf() {
    const QByteArray originale = Leggi(Fixture("windows1252.ini"));
    QVERIFY(originale.contains("\r\n"));
    QVERIFY(originale.contains('\xE9')); // é as one Windows-1252 byte
    Scrivi(file(), originale);

    QCOMPARE(T(profilo::LeggiValore(file(), u"parametri generali"_qs, u"descr"_qs)),
             T(Opt(u"Perché però"_qs)));
    QCOMPARE(T(profilo::LeggiValore(file(), u"Parametri Generali"_qs, u"Mancante"_qs)),
             T(Opt(u"§ç~$!^"_qs)));
    QCOMPARE(T(profilo::LeggiValore(file(), u"Base"_qs, u"Valuta"_qs)), T(Opt(u"€ 1.000"_qs)));
    QCOMPARE(T(profilo::LeggiValore(file(), u"LettArtDafile"_qs, u"Descr"_qs)),
             T(Opt(u"Lettura città (è)"_qs)));

    QVERIFY(profilo::Scrivi(file(), u"Base"_qs, u"DirImgArt"_qs, u"D:\\Foto\\Già"_qs));
    QVERIFY(profilo::Scrivi(file(), u"Parametri Generali"_qs, u"Nuova"_qs, u"ç€"_qs));
    QVERIFY(profilo::Scrivi(file(), u"LettArtDafile"_qs, u"Separatore"_qs, std::nullopt));
    QVERIFY(profilo::Scrivi(file(), u"Città"_qs, u"Chiave"_qs, u"§"_qs));

    QByteArray atteso = originale;
    atteso.replace("DirImgArt=C:\\Immagini\\Articoli\r\n", "DirImgArt=D:\\Foto\\Gi\xE0\r\n");
    atteso.replace("Mancante = \"\xA7\xE7~$!^\"\r\n",
                   "Mancante = \"\xA7\xE7~$!^\"\r\nNuova=\xE7\x80\r\n");
    atteso.replace("Separatore=;\r\n", "");
    atteso += "[Citt\xE0]\r\nChiave=\xA7\r\n";
    QCOMPARE(Leggi(file()), atteso);

    QCOMPARE(T(profilo::LeggiValore(file(), u"Base"_qs, u"DirImgArt"_qs)),
             T(Opt(u"D:\\Foto\\Già"_qs)));
    QCOMPARE(T(profilo::LeggiValore(file(), u"CITTÀ"_qs, u"chiave"_qs)), T(Opt(u"§"_qs)));
}

void TstProfilo::utf8RestaUtf8() {
    const QByteArray originale = Leggi(Fixture("utf8.ini"));
    Scrivi(file(), originale);
    QCOMPARE(T(profilo::LeggiValore(file(), u"Stampa"_qs, u"Descr"_qs)),
             T(Opt(u"Città già fatta"_qs)));
    QVERIFY(profilo::Scrivi(file(), u"Stampa"_qs, u"Descr"_qs, u"Perché €"_qs));
    QByteArray atteso = originale;
    atteso.replace("Descr=Citt\xC3\xA0 gi\xC3\xA0 fatta\n", "Descr=Perch\xC3\xA9 \xE2\x82\xAC\n");
    QCOMPARE(Leggi(file()), atteso);
    QCOMPARE(T(profilo::LeggiValore(file(), u"Stampa"_qs, u"NomeStampante"_qs)),
             T(Opt(u"Ufficio “Nord”"_qs)));

    // A byte-order mark stays and does not hide the first section.
    Scrivi(file(), "\xEF\xBB\xBF[Primo]\nk=\xC3\xA8\n");
    QCOMPARE(T(profilo::LeggiValore(file(), u"primo"_qs, u"k"_qs)), T(Opt(u"è"_qs)));
    QVERIFY(profilo::Scrivi(file(), u"Primo"_qs, u"j"_qs, u"à"_qs));
    QCOMPARE(Leggi(file()), QByteArray("\xEF\xBB\xBF[Primo]\nk=\xC3\xA8\nj=\xC3\xA0\n"));
}

void TstProfilo::carattereFuoriCodifica() {
    // A Windows-1252 file cannot hold "ł": the write fails and the file stays.
    const QByteArray originale = Leggi(Fixture("windows1252.ini"));
    Scrivi(file(), originale);
    QVERIFY(!profilo::Scrivi(file(), u"Base"_qs, u"DirImgArt"_qs, u"Łódź"_qs));
    QVERIFY(!profilo::Scrivi(file(), u"Base"_qs, u"Nuova"_qs, u"Łódź"_qs));
    QCOMPARE(Leggi(file()), originale);
}

void TstProfilo::bufferSezioni_data() {
    QTest::addColumn<int>("dimensione");
    QTest::addColumn<int>("risultato");
    QTest::addColumn<QString>("contenuto");
    const QChar z(0);
    // Sections "AB" and "C": 6 characters with the final NUL.
    QTest::newRow("c'e' posto") << 8 << 5 << (u"AB"_qs + z + QStringLiteral("C") + z + z + z + z);
    QTest::newRow("appena sopra") << 7 << 5 << (u"AB"_qs + z + QStringLiteral("C") + z + z + z);
    QTest::newRow("giusto: segnalato pieno")
        << 6 << 4 << (u"AB"_qs + z + QStringLiteral("C") + z + z);
    QTest::newRow("primo tagliato") << 3 << 1 << (u"A"_qs + z + z);
    QTest::newRow("primo senza posto") << 4 << 2 << (u"AB"_qs + z + z);
    QTest::newRow("uno") << 1 << 0 << QString(z);
    QTest::newRow("zero") << 0 << 0 << QString();
}

void TstProfilo::bufferSezioni() {
    QFETCH(int, dimensione);
    QFETCH(int, risultato);
    QFETCH(QString, contenuto);
    Scrivi(file(), "[AB]\nk=1\n[C]\n");
    QString buf;
    QCOMPARE(profilo::NomiSezioniBuffer(file(), buf, dimensione), risultato);
    QCOMPARE(buf, contenuto);
}

void TstProfilo::bufferSezioniConRiprova() {
    // More sections than the caller's first buffer of 1024 holds.
    QByteArray dati;
    QStringList attese;
    for (int i = 0; i < 120; ++i) {
        const QString nome = u"LettArtDafile%1"_qs.arg(i, 3, 10, QLatin1Char('0'));
        attese << nome;
        dati += "[" + nome.toLatin1() + "]\nDescr=Terminale " + QByteArray::number(i) + "\n\n";
    }
    Scrivi(file(), dati);

    int dimensione = 1024;
    QString buf;
    int n = profilo::NomiSezioniBuffer(file(), buf, dimensione);
    QCOMPARE(n, dimensione - 2);
    int tentativi = 1;
    while (n >= dimensione - 2) {
        dimensione *= 2;
        n = profilo::NomiSezioniBuffer(file(), buf, dimensione);
        ++tentativi;
    }
    QCOMPARE(tentativi, 2);
    QCOMPARE(buf.size(), dimensione);
    QCOMPARE(buf.left(n).split(QChar(0), Qt::SkipEmptyParts), attese);
    QCOMPARE(buf.at(n), QChar(0));
}

void TstProfilo::cartellaMancante() {
    const QString f = m_dir->filePath(u"non/c/e/prova.ini"_qs);
    QVERIFY(!profilo::Scrivi(f, u"A"_qs, u"k"_qs, u"v"_qs));
    QVERIFY(!QFile::exists(f));
}

void TstProfilo::cartellaSolaLettura() {
    const QString cartella = m_dir->filePath(u"chiusa"_qs);
    QVERIFY(QDir().mkpath(cartella));
    const QString f = cartella + u"/prova.ini"_qs;
    Scrivi(f, "[A]\nk=1\n");
    QVERIFY(QFile::setPermissions(cartella, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                QFile::ExeGroup));
    bool immutabile = false;
    if (::geteuid() == 0) {
        // Root writes through permissions: the immutable attribute stops it.
        immutabile = Immutabile(cartella, true);
        if (!immutabile)
            QSKIP("running as root without the immutable attribute");
    }
    const bool scritto = profilo::Scrivi(f, u"A"_qs, u"k"_qs, u"2"_qs);
    const bool nuovo = profilo::Scrivi(cartella + u"/altro.ini"_qs, u"A"_qs, u"k"_qs, u"2"_qs);
    if (immutabile)
        Immutabile(cartella, false);
    QFile::setPermissions(cartella, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(!scritto);
    QVERIFY(!nuovo);
    QCOMPARE(Leggi(f), QByteArray("[A]\nk=1\n"));
    QCOMPARE(QDir(cartella).entryList(QDir::Files | QDir::Hidden), QStringList{u"prova.ini"_qs});
}

void TstProfilo::fileSolaLettura() {
    Scrivi(file(), "[A]\nk=1\n");
    QVERIFY(QFile::setPermissions(file(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(!profilo::Scrivi(file(), u"A"_qs, u"k"_qs, u"2"_qs));
    QVERIFY2(profilo::UltimoErrore().contains(u"sola lettura"_qs),
             qPrintable(profilo::UltimoErrore()));
    QCOMPARE(Leggi(file()), QByteArray("[A]\nk=1\n"));
    // The lock taken for the attempt is gone with it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"prova.ini"_qs});
}

void TstProfilo::sostituzioneAtomica() {
    Scrivi(file(), "[A]\nk=vecchio\n");
    const QFile::Permissions permessi = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(file(), permessi));

    // A reader that opened the file before the write keeps reading the whole
    // old file: the new one takes its place, it is not rewritten in place.
    QFile lettore(file());
    QVERIFY(lettore.open(QIODevice::ReadOnly));
    QVERIFY(profilo::Scrivi(file(), u"A"_qs, u"k"_qs, u"nuovo e piu' lungo"_qs));
    QCOMPARE(lettore.readAll(), QByteArray("[A]\nk=vecchio\n"));

    QCOMPARE(Leggi(file()), QByteArray("[A]\nk=nuovo e piu' lungo\n"));
    QCOMPARE(QFile::permissions(file()) & QFile::Permissions(0x7077), permessi);
    // Nothing left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"prova.ini"_qs});
}

void TstProfilo::scrittoriConcorrenti() {
    // Two processes add 300 keys each to the same file at the same time:
    // every key written is there at the end, once.
    Scrivi(file(), "[Chiavi]\n");
    const int quante = 300;
    const QStringList prefissi{u"Menu"_qs, u"Riga"_qs};
    std::vector<std::unique_ptr<QProcess>> processi;
    for (const QString& prefisso : prefissi) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(
            QCoreApplication::applicationFilePath(),
            {QString::fromLatin1(OpzioneScrittore), file(), prefisso, QString::number(quante)});
        QVERIFY(p->waitForStarted());
        processi.push_back(std::move(p));
    }
    for (auto& p : processi) {
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
    }

    const QByteArray dati = Leggi(file());
    int mancanti = 0;
    for (const QString& prefisso : prefissi)
        for (int i = 0; i < quante; ++i) {
            const QString n = QString::number(i).rightJustified(3, QLatin1Char('0'));
            if (profilo::LeggiValore(file(), u"Chiavi"_qs, prefisso + n) != n)
                ++mancanti;
        }
    QCOMPARE(mancanti, 0);
    QCOMPARE(dati.count('\n'), 1 + quante * int(prefissi.size()));
}

void TstProfilo::threadConcorrenti() {
    // The same with two threads of one process.
    Scrivi(file(), "[Chiavi]\n");
    const int quante = 150;
    std::atomic<int> falliti{0};
    auto scrittore = [&](const QString& prefisso) {
        for (int i = 0; i < quante; ++i)
            if (!profilo::Scrivi(file(), u"Chiavi"_qs, prefisso + QString::number(i),
                                 QString::number(i)))
                ++falliti;
    };
    std::thread a(scrittore, u"A"_qs);
    std::thread b(scrittore, u"B"_qs);
    a.join();
    b.join();
    QCOMPARE(falliti.load(), 0);
    int mancanti = 0;
    for (const QString& prefisso : {u"A"_qs, u"B"_qs})
        for (int i = 0; i < quante; ++i)
            if (profilo::LeggiValore(file(), u"Chiavi"_qs, prefisso + QString::number(i)) !=
                QString::number(i))
                ++mancanti;
    QCOMPARE(mancanti, 0);
}

void TstProfilo::bloccoOccupato() {
    // Another writer holds the file's lock longer than a write waits: the
    // write fails and says why, the file stays as it was.
    Scrivi(file(), "[A]\nk=1\n");
    const QString nomeBlocco = file() + u".lock"_qs;
    const int fd =
        ::open(QFile::encodeName(nomeBlocco).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX), 0);

    const auto prima = profilo::AttesaBlocco();
    profilo::ImpostaAttesaBlocco(std::chrono::milliseconds(300));
    QElapsedTimer t;
    t.start();
    const bool scritto = profilo::Scrivi(file(), u"A"_qs, u"k"_qs, u"2"_qs);
    const qint64 atteso = t.elapsed();
    const QString perche = profilo::UltimoErrore();
    ::close(fd); // the lock goes with it
    profilo::ImpostaAttesaBlocco(prima);

    QVERIFY(!scritto);
    QVERIFY2(atteso >= 290 && atteso < 5000, QByteArray::number(atteso).constData());
    QVERIFY2(perche.contains(u"in scrittura da parte di un altro programma"_qs),
             qPrintable(perche));
    QVERIFY2(perche.contains(file()), qPrintable(perche));
    QCOMPARE(Leggi(file()), QByteArray("[A]\nk=1\n"));

    // Once free, the write goes through, the lock file goes and the error
    // is forgotten.
    QVERIFY(profilo::Scrivi(file(), u"A"_qs, u"k"_qs, u"2"_qs));
    QVERIFY(profilo::UltimoErrore().isEmpty());
    QCOMPARE(Leggi(file()), QByteArray("[A]\nk=2\n"));
    QVERIFY(!QFile::exists(nomeBlocco));
}

void TstProfilo::rilettoQuandoCambia_data() {
    QTest::addColumn<QString>("modo");
    QTest::addColumn<int>("eta"); // ms between the file's last change and the read
    for (int eta : {0, 150}) {
        const QByteArray e = eta ? " (file gia' vecchio)" : " (file appena scritto)";
        QTest::newRow(("sul posto, stessa dimensione" + e).constData()) << u"posto"_qs << eta;
        QTest::newRow(("sul posto, stessa dimensione e stessa data di modifica" + e).constData())
            << u"data"_qs << eta;
        QTest::newRow(("sostituito da un altro file" + e).constData()) << u"rinomina"_qs << eta;
        QTest::newRow(("cancellato e ricreato" + e).constData()) << u"ricreato"_qs << eta;
        QTest::newRow(("collegamento verso un altro file" + e).constData())
            << u"collegamento"_qs << eta;
    }
    QTest::newRow("cancellato") << u"cancellato"_qs << 0;
}

void TstProfilo::rilettoQuandoCambia() {
    // A file changed behind the parsed copy in memory reads with its new
    // contents, whatever the change kept of its size, inode and times.  Done
    // many times over, so that some changes fall within one tick of the
    // file-system clock.
    QFETCH(QString, modo);
    QFETCH(int, eta);
    const QString f = file();
    const QString altro = file("altro.ini");
    const int giri = eta ? 3 : 20;
    for (int giro = 0; giro < giri; ++giro) {
        const QByteArray vecchio = "[A]\nk=" + QByteArray(giro % 2 ? "uno" : "due") + "\n";
        const QByteArray nuovo = "[A]\nk=" + QByteArray(giro % 2 ? "tre" : "sei") + "\n";
        QFile::remove(f);
        Scrivi(f, vecchio);
        if (eta)
            QThread::msleep(eta);
        QCOMPARE(T(profilo::LeggiValore(f, u"A"_qs, u"k"_qs)),
                 T(QString::fromLatin1(vecchio.mid(6, 3))));
        struct stat prima {};
        QCOMPARE(::stat(QFile::encodeName(f).constData(), &prima), 0);

        if (modo == u"posto"_qs) {
            RiscriviSulPosto(f, nuovo);
        } else if (modo == u"data"_qs) {
            RiscriviSulPosto(f, nuovo);
            const timespec tempi[2] = {prima.st_atim, prima.st_mtim};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(f).constData(), tempi, 0), 0);
        } else if (modo == u"rinomina"_qs) {
            Scrivi(altro, nuovo);
            QCOMPARE(
                ::rename(QFile::encodeName(altro).constData(), QFile::encodeName(f).constData()),
                0);
        } else if (modo == u"ricreato"_qs) {
            QVERIFY(QFile::remove(f));
            Scrivi(f, nuovo);
        } else if (modo == u"collegamento"_qs) {
            QFile::remove(altro);
            Scrivi(altro, nuovo);
            QVERIFY(QFile::remove(f));
            QVERIFY(QFile::link(altro, f));
        } else if (modo == u"cancellato"_qs) {
            QVERIFY(QFile::remove(f));
        }

        const Opt atteso =
            modo == u"cancellato"_qs ? Opt() : Opt(QString::fromLatin1(nuovo.mid(6, 3)));
        QCOMPARE(T(profilo::LeggiValore(f, u"A"_qs, u"k"_qs)), T(atteso));
        QCOMPARE(profilo::NomiSezioni(f), atteso ? QStringList{u"A"_qs} : QStringList());
    }
}

void TstProfilo::fileGrandeAnalizzatoUnaVolta() {
    // A parameter file of about 4 MB, a thousand keys read from it: one parse.
    QByteArray dati;
    for (int s = 0; s < 2000; ++s) {
        dati += "[Sezione" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            dati += "Chiave" + QByteArray::number(k) + " = valore " + QByteArray::number(s) + "." +
                    QByteArray::number(k) + " di prova per la lettura\r\n";
    }
    QVERIFY(dati.size() > 4'000'000);
    Scrivi(file(), dati);

    const quint64 prima = profilo::FileAnalizzati();
    for (int i = 0; i < 1000; ++i) {
        const int s = (i * 7919) % 2000, k = i % 50;
        const QString atteso = u"valore %1.%2 di prova per la lettura"_qs.arg(s).arg(k);
        const auto letto =
            profilo::LeggiValore(file(), u"SEZIONE%1"_qs.arg(s), u"chiave%1"_qs.arg(k));
        if (letto != atteso)
            QCOMPARE(T(letto), T(atteso));
    }
    QCOMPARE(profilo::NomiSezioni(file()).size(), 2000);
    QCOMPARE(profilo::FileAnalizzati() - prima, quint64(1));

    // A write of ours leaves the copy in memory up to date: no parse after it.
    QVERIFY(profilo::Scrivi(file(), u"Sezione1999"_qs, u"Nuova"_qs, u"x"_qs));
    QCOMPARE(T(profilo::LeggiValore(file(), u"Sezione1999"_qs, u"Nuova"_qs)), T(Opt(u"x"_qs)));
    QCOMPARE(T(profilo::LeggiValore(file(), u"Sezione0"_qs, u"Chiave0"_qs)),
             T(Opt(u"valore 0.0 di prova per la lettura"_qs)));
    QCOMPARE(profilo::FileAnalizzati() - prima, quint64(1));

    // A change made on disk by someone else is read again, once.
    QByteArray cambiato = Leggi(file());
    cambiato.replace("valore 5.5 di prova per", "VALORE 5.5 DI PROVA PER");
    RiscriviSulPosto(file(), cambiato);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(T(profilo::LeggiValore(file(), u"Sezione5"_qs, u"Chiave5"_qs)),
                 T(Opt(u"VALORE 5.5 DI PROVA PER la lettura"_qs)));
    QCOMPARE(profilo::FileAnalizzati() - prima, quint64(2));
}

int main(int argc, char** argv) {
    if (argc == 5 && qstrcmp(argv[1], OpzioneScrittore) == 0)
        return Scrittore(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         QByteArray(argv[4]).toInt());
    QCoreApplication app(argc, argv);
    TstProfilo prova;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&prova, argc, argv);
}
#include "tst_profilo.moc"
