// The print options saved in the parameter files by the save panel and read
// back by the print component: real files on disk, both files of a session
// (this terminal's and the common one), the key order and value forms, the
// delete rules, and which of the four places wins when the options are read.

#include "comune/Profilo.h"
#include "print/OpzioniStampa.h"
#include "printing/OpzioniSalvate.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;
using quarvel::stampa::CaricaOpzioni;
using quarvel::stampa::OpzioniStampa;

namespace {

const QString Sez = QStringLiteral("Stampa Inventari");
const QString Def = QStringLiteral("Opzioni Stampa");

std::array<bool, NumOpzioniSalvate> Tutte(bool v = true) {
    std::array<bool, NumOpzioniSalvate> a;
    a.fill(v);
    return a;
}

// Options different from the defaults in every member the panel saves.
void Riempi(IOpzioniStampa& o) {
    o.oiStaVid = 2;
    o.obForzaVert = true;
    o.osFileName = QStringLiteral("/tmp/lista.csv");
    o.oiFileForm = 1;
    o.osPathDefault = QStringLiteral("/tmp/stampe");
    o.osSepCampi = QStringLiteral("\t");
    o.osDelimStr = QStringLiteral("'");
    o.obNumNoForm = true;
    o.ofFatt = 1.5f;
    o.oiMemVid = 1;
    o.osFisFileName = QStringLiteral("/tmp/fissa.txt");
    o.obFisStampante = true;
    o.oiFisMrAlt = 2;
    o.oiFisMrBas = 3;
    o.oiFisColonne = 132;
    o.oiFisRighe = 72;
    o.osFisCodIniComp = QStringLiteral("27,15");
    o.osFisCodFinComp = QStringLiteral("18");
    o.obFisUtilComp = true;
    o.osNomeStampante = QStringLiteral("Ufficio");
    o.osNomePorta = QStringLiteral("socket://10.0.0.9");
    o.setValore(QStringLiteral("NumCassetto"), 3);
    o.setValore(QStringLiteral("PdfAutomAbil"), true);
    o.setValore(QStringLiteral("EmailInvia"), true);
    o.setValore(QStringLiteral("NumTipoCarta"), 2);
}

// The keys of a section in file order.
QStringList Chiavi(const QString& file, const QString& sezione) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList chiavi;
    bool dentro = false;
    for (const QString& riga : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QString t = riga.trimmed();
        if (t.startsWith(QLatin1Char('[')))
            dentro =
                t.compare(QLatin1Char('[') + sezione + QLatin1Char(']'), Qt::CaseInsensitive) == 0;
        else if (dentro && t.contains(QLatin1Char('=')))
            chiavi << t.section(QLatin1Char('='), 0, 0).trimmed();
    }
    return chiavi;
}

} // namespace

class TstOpzioniSalvate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void salvaERilegge();
    void nienteSpuntato();
    void cancellaTutto_data();
    void cancellaTutto();
    void vuotoTogliLaChiave_data();
    void vuotoTogliLaChiave();
    void separatoreEQualificatore_data();
    void separatoreEQualificatore();
    void fattore_data();
    void fattore();
    void precedenza();
    void valoriMostrati();

private:
    QString m_terminale, m_comune;
    QTemporaryDir m_dir;
    int m_n = 0;
};

void TstOpzioniSalvate::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaUtilita();
    QVERIFY(m_dir.isValid());
}

void TstOpzioniSalvate::init() {
    // new files for every case
    ++m_n;
    m_terminale = m_dir.filePath(QStringLiteral("belcor%1.ini").arg(m_n));
    m_comune = m_dir.filePath(QStringLiteral("comune%1.ini").arg(m_n));
    // Both files are there, as a session's are: a file the profile layer
    // creates itself is not read back in the same process (a fault of that
    // layer, told apart).
    for (const QString& f : {m_terminale, m_comune}) {
        QFile vuoto(f);
        QVERIFY(vuoto.open(QIODevice::WriteOnly));
    }
    Sessione().FileIniPrincipale = m_terminale;
    Sessione().FileIniParametri = m_comune;
    Sessione().FattoreStaVid = 0;
}

void TstOpzioniSalvate::salvaERilegge() {
    // every option saved in this print's section of the common file, in the
    // panel's key order, and read back into fresh options as it was
    Sessione().FattoreStaVid = 1.25;
    OpzioniStampa o(Sez);
    Riempi(o);
    SalvaOpzioniStampa(o, {false, false, false, Tutte()});
    QCOMPARE(QFileInfo(m_terminale).size(), 0);
    QStringList attese;
    for (int i : OrdineScrittura)
        attese << QString::fromLatin1(OpzioniSalvate[size_t(i)].chiave);
    QCOMPARE(Chiavi(m_comune, Sez), attese);
    QCOMPARE(attese.mid(21), (QStringList{"Cassetto", "TipoCarta", "PdfNomeAutom", "InviaEmail"}));
    auto v = [&](const char* k) {
        return profilo::LeggiValore(m_comune, Sez, QString::fromLatin1(k)).value_or("<manca>");
    };
    QCOMPARE(v("StaVid"), QString("2"));
    QCOMPARE(v("ForzaVert"), QString("-1"));
    QCOMPARE(v("SepCampi"), QString("9"));
    QCOMPARE(v("DelimStr"), QString("39"));
    QCOMPARE(v("Fatt"), QString("1,2"));
    QCOMPARE(v("FisStampante"), QString("-1"));
    QCOMPARE(v("FisCodIniComp"), QString("27,15"));
    QCOMPARE(v("Cassetto"), QString("3"));
    QCOMPARE(v("PdfNomeAutom"), QString("S"));
    QCOMPARE(v("InviaEmail"), QString("S"));
    QCOMPARE(v("TipoCarta"), QString("2"));

    OpzioniStampa letto(Sez);
    CaricaOpzioni(letto, m_terminale, m_comune, 1.25);
    for (int i = 0; i < NumOpzioniSalvate; ++i)
        QCOMPARE(ValoreDaSalvare(letto, i, 1.25), ValoreDaSalvare(o, i, 1.25));
    QCOMPARE(letto.ofFatt, 1.5f);
    QCOMPARE(letto.osSepCampi, QString("\t"));
    QCOMPARE(letto.osDelimStr, QString("'"));
    QCOMPARE(letto.Valore("numcassetto").toInt(), 3); // keys without regard to case
    QVERIFY(letto.Valore("PdfAutomAbil").toBool());
}

void TstOpzioniSalvate::nienteSpuntato() {
    OpzioniStampa o(Sez);
    Riempi(o);
    for (bool cancella : {false, true}) {
        SalvaOpzioniStampa(o, {true, true, cancella, Tutte(false)});
        SalvaOpzioniStampa(o, {false, false, cancella, Tutte(false)});
    }
    QCOMPARE(QFileInfo(m_terminale).size(), 0);
    QCOMPARE(QFileInfo(m_comune).size(), 0);
}

void TstOpzioniSalvate::cancellaTutto_data() {
    QTest::addColumn<bool>("terminale");
    QTest::addColumn<bool>("tutte");
    QTest::newRow("terminale, tutte: la sezione intera") << true << true;
    QTest::newRow("comune, tutte: le 25 chiavi") << false << true;
    QTest::newRow("terminale, non tutte: le chiavi spuntate") << true << false;
}

void TstOpzioniSalvate::cancellaTutto() {
    QFETCH(bool, terminale);
    QFETCH(bool, tutte);
    const QString file = terminale ? m_terminale : m_comune;
    OpzioniStampa o(Sez);
    Riempi(o);
    SalvaOpzioniStampa(o, {terminale, false, false, Tutte()});
    QVERIFY(profilo::Scrivi(file, Sez, QStringLiteral("Altro"), QStringLiteral("resta")));
    QVERIFY(profilo::Scrivi(file, Def, QStringLiteral("StaVid"), QStringLiteral("1")));
    auto spuntate = Tutte();
    if (!tutte)
        spuntate[2] = false; // "FileName" stays
    SalvaOpzioniStampa(o, {terminale, false, true, spuntate});

    if (terminale && tutte) {
        QVERIFY(!profilo::NomiSezioni(file).contains(Sez, Qt::CaseInsensitive));
    } else {
        QVERIFY(profilo::NomiSezioni(file).contains(Sez, Qt::CaseInsensitive));
        QCOMPARE(Chiavi(file, Sez),
                 tutte ? QStringList{"Altro"} : (QStringList{"FileName", "Altro"}));
    }
    // the other section is untouched
    QCOMPARE(profilo::LeggiValore(file, Def, QStringLiteral("StaVid")).value_or(""), QString("1"));
}

void TstOpzioniSalvate::vuotoTogliLaChiave_data() {
    QTest::addColumn<int>("riga");
    QTest::addColumn<QString>("chiave");
    QTest::newRow("nome file vuoto") << 2 << "FileName";
    QTest::newRow("path vuoto") << 4 << "PathDefault";
    QTest::newRow("file fisso vuoto") << 10 << "FisFileName";
    QTest::newRow("inizio compresso vuoto") << 16 << "FisCodIniComp";
    QTest::newRow("fine compresso vuoto") << 17 << "FisCodFinComp";
    QTest::newRow("stampante vuota") << 19 << "NomeStampante";
    QTest::newRow("porta di soli spazi") << 20 << "NomePorta";
    QTest::newRow("cassetto 0") << 21 << "Cassetto";
    QTest::newRow("carta 0") << 24 << "TipoCarta";
}

void TstOpzioniSalvate::vuotoTogliLaChiave() {
    QFETCH(int, riga);
    QFETCH(QString, chiave);
    OpzioniStampa o(Sez);
    Riempi(o);
    SalvaOpzioniStampa(o, {true, true, false, Tutte()});
    QVERIFY(profilo::LeggiValore(m_terminale, Def, chiave).has_value());
    switch (riga) {
    case 2:
        o.osFileName.clear();
        break;
    case 4:
        o.osPathDefault.clear();
        break;
    case 10:
        o.osFisFileName.clear();
        break;
    case 16:
        o.osFisCodIniComp.clear();
        break;
    case 17:
        o.osFisCodFinComp.clear();
        break;
    case 19:
        o.osNomeStampante.clear();
        break;
    case 20:
        o.osNomePorta = QStringLiteral("   ");
        break;
    case 21:
        o.setValore(QStringLiteral("NumCassetto"), 0);
        break;
    case 24:
        o.setValore(QStringLiteral("NumTipoCarta"), 0);
        break;
    }
    SalvaOpzioniStampa(o, {true, true, false, Tutte()});
    QVERIFY(!profilo::LeggiValore(m_terminale, Def, chiave).has_value());
    QCOMPARE(Chiavi(m_terminale, Def).size(), NumOpzioniSalvate - 1); // only that one
    // a zero that is no code is written as it is
    QCOMPARE(profilo::LeggiValore(m_terminale, Def, QStringLiteral("FisMrAlt")).value_or(""),
             QString("2"));
}

void TstOpzioniSalvate::separatoreEQualificatore_data() {
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("delim");
    QTest::addColumn<QString>("sepScritto");
    QTest::addColumn<QString>("delimScritto");
    QTest::addColumn<QString>("sepMostrato");
    QTest::newRow("tab, doppio apice") << "\t"
                                       << "\""
                                       << "9"
                                       << "34"
                                       << "Tab";
    QTest::newRow("punto e virgola, nessuno") << ";"
                                              << ""
                                              << "59"
                                              << "-1"
                                              << ";";
    QTest::newRow("virgola, singolo apice") << ","
                                            << "'"
                                            << "44"
                                            << "39"
                                            << ",";
    QTest::newRow("spazio, nessuno") << " "
                                     << ""
                                     << "32"
                                     << "-1"
                                     << "Spazio";
}

void TstOpzioniSalvate::separatoreEQualificatore() {
    QFETCH(QString, sep);
    QFETCH(QString, delim);
    QFETCH(QString, sepScritto);
    QFETCH(QString, delimScritto);
    QFETCH(QString, sepMostrato);
    OpzioniStampa o(Sez);
    o.osSepCampi = sep;
    o.osDelimStr = delim;
    auto s = Tutte(false);
    s[5] = s[6] = true;
    SalvaOpzioniStampa(o, {true, false, false, s});
    QCOMPARE(profilo::LeggiValore(m_terminale, Sez, "SepCampi").value_or(""), sepScritto);
    QCOMPARE(profilo::LeggiValore(m_terminale, Sez, "DelimStr").value_or(""), delimScritto);
    QCOMPARE(ValoreMostrato(o, 5, 0), sepMostrato);
    // read back: the same separator and qualifier, an empty one too
    OpzioniStampa letto(Sez);
    letto.osSepCampi = QStringLiteral("x");
    letto.osDelimStr = QStringLiteral("x");
    CaricaOpzioni(letto, m_terminale, m_comune, 0);
    QCOMPARE(letto.osSepCampi, sep);
    QCOMPARE(letto.osDelimStr, delim);
}

void TstOpzioniSalvate::fattore_data() {
    QTest::addColumn<float>("fatt");
    QTest::addColumn<double>("fattoreStaVid");
    QTest::addColumn<QString>("scritto");
    QTest::newRow("1,5 con fattore 1,25") << 1.5f << 1.25 << "1,2";
    QTest::newRow("1,5 senza fattore") << 1.5f << 0.0 << "1,5";
    QTest::newRow("1,2 senza fattore") << 1.2f << 0.0 << "1,2";
    QTest::newRow("1 con fattore 1,25") << 1.0f << 1.25 << "0,8";
    QTest::newRow("arrotondato a 2 decimali") << 1.0f << 0.75 << "1,33";
}

void TstOpzioniSalvate::fattore() {
    QFETCH(float, fatt);
    QFETCH(double, fattoreStaVid);
    QFETCH(QString, scritto);
    Sessione().FattoreStaVid = fattoreStaVid;
    OpzioniStampa o(Sez);
    o.ofFatt = fatt;
    auto s = Tutte(false);
    s[8] = true;
    SalvaOpzioniStampa(o, {true, true, false, s});
    QCOMPARE(profilo::LeggiValore(m_terminale, Def, "Fatt").value_or(""), scritto);
    QCOMPARE(Chiavi(m_terminale, Def), QStringList{"Fatt"});
    OpzioniStampa letto(Sez);
    CaricaOpzioni(letto, m_terminale, m_comune, fattoreStaVid);
    const double atteso = fattoreStaVid > 0 ? QLocale().toDouble(scritto) * fattoreStaVid : fatt;
    QVERIFY2(qAbs(letto.ofFatt - atteso) < 1e-5, qPrintable(QString::number(letto.ofFatt)));
}

void TstOpzioniSalvate::precedenza() {
    // Each key from the first place that holds it: this print in this
    // terminal's file, this print in the common file, the defaults in this
    // terminal's file, the defaults in the common file.
    auto scrivi = [](const QString& f, const QString& s, const char* k, const char* v) {
        QVERIFY(profilo::Scrivi(f, s, QString::fromLatin1(k), QString::fromLatin1(v)));
    };
    scrivi(m_comune, Def, "FisRighe", "10");
    scrivi(m_terminale, Def, "FisRighe", "20");
    scrivi(m_comune, Sez, "FisRighe", "30");
    scrivi(m_terminale, Sez, "FisRighe", "40");
    scrivi(m_comune, Def, "FisColonne", "11");
    scrivi(m_terminale, Def, "FisColonne", "21");
    scrivi(m_comune, Sez, "FisColonne", "31");
    scrivi(m_comune, Def, "FisMrAlt", "12");
    scrivi(m_terminale, Def, "FisMrAlt", "22");
    scrivi(m_comune, Def, "FisMrBas", "13");
    scrivi(m_comune, Sez, "FileName", ""); // an empty value is a value
    scrivi(m_terminale, Def, "FileName", "def.csv");
    OpzioniStampa o(Sez);
    CaricaOpzioni(o, m_terminale, m_comune, 0);
    QCOMPARE(o.oiFisRighe, qint16(40));
    QCOMPARE(o.oiFisColonne, qint16(31));
    QCOMPARE(o.oiFisMrAlt, qint16(22));
    QCOMPARE(o.oiFisMrBas, qint16(13));
    QCOMPARE(o.osFileName, QString());
    QCOMPARE(o.oiStaVid, qint16(0)); // in none of them: the default

    // another print reads only the defaults
    OpzioniStampa altra(QStringLiteral("Altra stampa"));
    CaricaOpzioni(altra, m_terminale, m_comune, 0);
    QCOMPARE(altra.oiFisRighe, qint16(20));
    QCOMPARE(altra.osFileName, QString("def.csv"));

    // one file for both: read once, no mix-up
    OpzioniStampa unico(Sez);
    CaricaOpzioni(unico, m_comune, m_comune, 0);
    QCOMPARE(unico.oiFisRighe, qint16(30));
    QCOMPARE(unico.oiFisMrAlt, qint16(12));
}

void TstOpzioniSalvate::valoriMostrati() {
    OpzioniStampa o(Sez);
    Riempi(o);
    QCOMPARE(ValoreMostrato(o, 0, 0), QString("File"));
    QCOMPARE(ValoreMostrato(o, 1, 0), QString("Sì"));
    QCOMPARE(ValoreMostrato(o, 3, 0), QString("Testo"));
    QCOMPARE(ValoreMostrato(o, 21, 0), QString("3"));
    QCOMPARE(ValoreMostrato(o, 22, 0), QString("Sì"));
    o.setValore(QStringLiteral("NumCassetto"), 0);
    QCOMPARE(ValoreMostrato(o, 21, 0), QString("Default"));
    o.osPathDefault.clear();
    QCOMPARE(ValoreMostrato(o, 4, 0, QStringLiteral("/home/op")), QString("/home/op"));
    o.oiStaVid = 3;
    QCOMPARE(ValoreMostrato(o, 0, 0), QString("Fissa"));
}

QTEST_GUILESS_MAIN(TstOpzioniSalvate)
#include "tst_opzionisalvate.moc"
