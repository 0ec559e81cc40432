// Printing on CUPS: the private scheduler of the test services (cups.sh:
// CUPS_SERVER, QUARVEL_CUPS_USCITA; skipped without it) with a PDF queue and
// a raw queue, both printing into files.  The queues and their ports, the
// user's default destination, the bins and papers of a queue; a real list
// of an SQLite company file printed through QPrinter and checked with
// pdfinfo, pdftotext and pdffonts (pages, landscape, page range, paper, bin,
// the font, the first and last row); fixed-length text sent raw to a queue.

#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "print/Cups.h"
#include "print/OpzioniStampa.h"
#include "print/ScritturaFile.h"
#include "print/Stampa.h"
#include "printing/FrmStampaInCorso.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/StampaAttiva.h"
#include "utility/Utilita.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace quarvel;
using namespace quarvel::stampa;

namespace {

const QString CodaPdf = QStringLiteral("QuarvelPDF");
const QString CodaGrezza = QStringLiteral("QuarvelRaw");

QString Uscita(const QString& nome) {
    return qEnvironmentVariable("QUARVEL_CUPS_USCITA") + QLatin1Char('/') + nome;
}

// Waits for the queue's output file to be written anew (the file is removed
// before the print).
bool AttendiUscita(const QString& file, int secondi = 60) {
    QDeadlineTimer t(secondi * 1000);
    while (!t.hasExpired()) {
        if (QFileInfo::exists(file))
            return true;
        QTest::qWait(100);
    }
    return false;
}

QString Esegui(const QString& programma, const QStringList& argomenti) {
    QProcess p;
    p.start(programma, argomenti);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int Pagine(const QString& pdf) {
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                       .match(Esegui(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// "842 x 595" and the like, in points, rounded.
QString Formato(const QString& pdf) {
    const auto m = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                       .match(Esegui(QStringLiteral("pdfinfo"), {pdf}));
    if (!m.hasMatch())
        return {};
    return QStringLiteral("%1 x %2")
        .arg(qRound(m.captured(1).toDouble()))
        .arg(qRound(m.captured(2).toDouble()));
}

QString Testo(const QString& pdf, int pagina = 0) {
    QStringList a{QStringLiteral("-layout")};
    if (pagina > 0)
        a << QStringLiteral("-f") << QString::number(pagina) << QStringLiteral("-l")
          << QString::number(pagina);
    return Esegui(QStringLiteral("pdftotext"), a << pdf << QStringLiteral("-"));
}

} // namespace

class TstStampante : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void code();
    void predefinita();
    void cassettiEFormati();
    void stampaLista_data();
    void stampaLista();
    void cassettoScelto();
    void numeroPagine_data();
    void numeroPagine();
    void intervalloRifiutato();
    void interrotta();
    void stampanteCorrente();
    void fissaGrezza();

private:
    void apriLista(int righe);
    qint64 stampa(OpzioniStampa& o, qint16 orientamento, const QFont& font);

    QTemporaryDir m_dir;
    QSqlDatabase m_db;
    QWidget m_form;
    listcmd::Griglia* m_griglia = nullptr;
    listcmd::Comlin m_comlin;
    QStringList m_primaRiga, m_ultimaRiga;
};

void TstStampante::initTestCase() {
    if (qEnvironmentVariableIsEmpty("CUPS_SERVER") ||
        qEnvironmentVariableIsEmpty("QUARVEL_CUPS_USCITA"))
        QSKIP("scheduler CUPS di prova non avviato (scripts/services/cups.sh start; env)");
    // the readers of the pages printed
    for (const char* lettore : {"pdfinfo", "pdftotext", "pdffonts"})
        QVERIFY2(
            !QStandardPaths::findExecutable(QLatin1String(lettore)).isEmpty(),
            qPrintable(
                QStringLiteral("manca %1 (pacchetto poppler-utils)").arg(QLatin1String(lettore))));
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaUtilita();
    InstallaListaComandi();
    QVERIFY(m_dir.isValid());
    // the user's settings (lpoptions) of this run alone, so that a test
    // running beside it sees no default changed here
    QDir(m_dir.path()).mkpath(QStringLiteral("client"));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(m_dir.filePath(QStringLiteral("client"))));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    apriLista(500);
}

void TstStampante::cleanupTestCase() {
    if (!qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        cups::ImpostaPredefinita(CodaPdf);
}

void TstStampante::init() {
    QCOMPARE(StampaAttiva(), qint16(0));
}

void TstStampante::apriLista(int n) {
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("stampa"));
    m_db.setDatabaseName(m_dir.filePath(QStringLiteral("ditta.db")));
    QVERIFY(m_db.open());
    QSqlQuery q(m_db);
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE Giacenze (Articolo TEXT PRIMARY KEY, "
                                  "Descrizione TEXT, Magazzino TEXT, Giacenza DOUBLE)")));
    m_db.transaction();
    q.prepare(QStringLiteral("INSERT INTO Giacenze VALUES (?, ?, ?, ?)"));
    for (int i = 1; i <= n; ++i) {
        q.addBindValue(QStringLiteral("ART%1").arg(i, 5, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("Articolo numero %1").arg(i));
        q.addBindValue(QStringLiteral("M%1").arg(i % 3));
        q.addBindValue(i * 1.5);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    m_db.commit();
    auto* l = new QVBoxLayout(&m_form);
    auto* tb = new QToolBar(&m_form);
    auto* contatore = new QLineEdit(&m_form);
    m_griglia = new listcmd::Griglia(&m_form);
    l->addWidget(tb);
    l->addWidget(contatore);
    l->addWidget(m_griglia);
    m_comlin.setOgForm(&m_form);
    m_comlin.setOgToolbar(tb);
    m_comlin.setOgContatore(contatore);
    m_comlin.setOgGriglia(m_griglia);
    m_comlin.setOgDati(m_griglia->Dati());
    m_comlin.setOgDatabase(m_db);
    m_comlin.setOsFormatoData(QStringLiteral("dd/mm/yyyy"));
    m_comlin.setOiAbilRW(1);
    m_comlin.ApriSql(QStringLiteral(
        "SELECT Articolo, Descrizione, Magazzino, Giacenza FROM Giacenze ORDER BY Articolo"));
    m_comlin.FormatoColonna(QStringLiteral("Giacenza"), QStringLiteral("#,##0.00"));
    m_comlin.LarghezzaColonna(QStringLiteral("Descrizione"), 3000);
    m_comlin.NascondiColonna(QStringLiteral("Magazzino"));
    IListaLettura* lista = m_comlin.Lista();
    QVERIFY(lista);
    m_primaRiga = lista->righe(0, 1).value(0).testi;
    m_ultimaRiga = lista->righe(n - 1, 1).value(0).testi;
    QCOMPARE(m_ultimaRiga.value(0), QString("ART00500"));
}

qint64 TstStampante::stampa(OpzioniStampa& o, qint16 orientamento, const QFont& font) {
    QFile::remove(Uscita(CodaPdf + ".pdf"));
    Stampa s;
    s.setOgOpzSta(&o);
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("V");
    r.orientamento = orientamento;
    r.font = font;
    r.titolo = QStringLiteral("Giacenze di magazzino");
    r.ditta = QStringLiteral("Ditta di prova S.r.l.");
    return s.StampaLista(*m_comlin.Lista(), r);
}

void TstStampante::code() {
    const QVector<cups::Coda> code = cups::Code();
    QStringList nomi;
    for (const cups::Coda& c : code) {
        nomi << c.nome;
        if (c.nome == CodaPdf)
            QCOMPARE(c.porta, "quarvel-file:" + Uscita(CodaPdf + ".pdf"));
    }
    QVERIFY(nomi.contains(CodaPdf));
    QVERIFY(nomi.contains(CodaGrezza));
    QCOMPARE(cups::Porta(QStringLiteral("quarvelraw")),
             "quarvel-file:" + Uscita(CodaGrezza + ".prn"));
    QVERIFY(cups::Porta(QStringLiteral("Nessuna")).isEmpty());
}

void TstStampante::predefinita() {
    QCOMPARE(cups::Predefinita(), CodaPdf);
    QVERIFY(cups::ImpostaPredefinita(CodaGrezza));
    QCOMPARE(cups::Predefinita(), CodaGrezza);
    QCOMPARE(cups::PredefinitaDichiarata(), CodaGrezza);
    // what Qt sees as the default follows
    QCOMPARE(QPrinterInfo::defaultPrinterName(), CodaGrezza);
    QVERIFY(!cups::ImpostaPredefinita(QStringLiteral("Nessuna")));
    QCOMPARE(cups::Predefinita(), CodaGrezza);
    QVERIFY(cups::ImpostaPredefinita(CodaPdf));
    QCOMPARE(cups::Predefinita(), CodaPdf);
    OpzioniStampa o(QStringLiteral("Prova"));
    QVERIFY2(o.DescrStampante(QString()).contains(CodaPdf), qPrintable(o.DescrStampante({})));
    QVERIFY(o.DescrStampante(CodaGrezza).contains(CodaGrezza + " su quarvel-file:"));
}

void TstStampante::cassettiEFormati() {
    QStringList cassetti;
    for (const cups::Voce& v : cups::Cassetti(CodaPdf))
        cassetti << QStringLiteral("%1 %2").arg(v.codice).arg(v.nome);
    QCOMPARE(cassetti, (QStringList{"1 tray-1", "2 tray-2", "3 manual"}));
    QVERIFY(cups::Cassetti(CodaGrezza).isEmpty()); // a raw queue has none
    QStringList formati;
    for (const cups::Voce& v : cups::Formati(CodaPdf))
        formati << v.nome;
    QCOMPARE(formati, (QStringList{"iso_a4_210x297mm", "iso_a3_297x420mm", "na_letter_8.5x11in"}));
    QCOMPARE(cups::FormatoAttuale(CodaPdf), QString("iso_a4_210x297mm"));
}

void TstStampante::stampaLista_data() {
    QTest::addColumn<qint16>("orientamento");
    QTest::addColumn<bool>("forzaVert");
    QTest::addColumn<int>("da");
    QTest::addColumn<int>("a");
    QTest::addColumn<QString>("carta"); // part of a paper's name, empty: the default
    QTest::addColumn<QString>("formato");
    QTest::newRow("verticale") << qint16(1) << false << 1 << 9999 << ""
                               << "595 x 842";
    QTest::newRow("orizzontale") << qint16(2) << false << 1 << 9999 << ""
                                 << "842 x 595";
    QTest::newRow("orizzontale forzata verticale") << qint16(2) << true << 1 << 9999 << ""
                                                   << "595 x 842";
    QTest::newRow("pagine 2-3") << qint16(1) << false << 2 << 3 << ""
                                << "595 x 842";
    QTest::newRow("A3") << qint16(1) << false << 1 << 9999 << "_a3_"
                        << "842 x 1191";
}

void TstStampante::stampaLista() {
    QFETCH(qint16, orientamento);
    QFETCH(bool, forzaVert);
    QFETCH(int, da);
    QFETCH(int, a);
    QFETCH(QString, carta);
    QFETCH(QString, formato);
    OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = CodaPdf;
    o.obForzaVert = forzaVert;
    o.setValore(QStringLiteral("PaginaDa"), da);
    o.setValore(QStringLiteral("PaginaA"), a);
    if (!carta.isEmpty()) {
        // the code of the paper among the queue's papers
        int codice = 0;
        for (const cups::Voce& v : cups::Formati(CodaPdf))
            if (v.nome.contains(carta))
                codice = v.codice;
        QVERIFY(codice > 0);
        o.setValore(QStringLiteral("NumTipoCarta"), codice);
    }
    const QFont font(QStringLiteral("DejaVu Serif"), 9);
    const qint64 pagine = stampa(o, orientamento, font);
    QVERIFY(pagine >= 2);
    const QString pdf = Uscita(CodaPdf + ".pdf");
    QVERIFY2(AttendiUscita(pdf), "la coda PDF non ha scritto la stampa");
    QCOMPARE(Pagine(pdf), int(pagine));
    QCOMPARE(Formato(pdf), formato);
    QVERIFY(Esegui(QStringLiteral("pdffonts"), {pdf}).contains(QLatin1String("DejaVuSerif")));
    const QString primaPagina = Testo(pdf, 1);
    const QString tutto = Testo(pdf);
    QVERIFY(primaPagina.contains(QLatin1String("Giacenze di magazzino")));
    QVERIFY(primaPagina.contains(QLatin1String("Ditta di prova S.r.l.")));
    QVERIFY(primaPagina.contains(QStringLiteral("Pagina %1").arg(da)));
    QVERIFY(!tutto.contains(QLatin1String("Magazzino"))); // the hidden column
    if (da == 1) {
        // every page: the first and the last row of the list
        QVERIFY(primaPagina.contains(QRegularExpression(m_primaRiga[0] + "\\s+" + m_primaRiga[1] +
                                                        "\\s+" + m_primaRiga[3])));
        QVERIFY(
            tutto.contains(QRegularExpression(m_ultimaRiga[0] + "\\s+" + m_ultimaRiga[1] + "\\s+" +
                                              QRegularExpression::escape(m_ultimaRiga[3]))));
        QCOMPARE(m_ultimaRiga[3], QString("750,00")); // shown with its mask
    } else {
        QCOMPARE(pagine, qint64(a - da + 1));
        QVERIFY(!tutto.contains(m_primaRiga[0]));
        QVERIFY(!tutto.contains(m_ultimaRiga[0]));
        QVERIFY(tutto.contains(QStringLiteral("Pagina %1").arg(a)));
    }
}

void TstStampante::cassettoScelto() {
    OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = CodaPdf;
    o.setValore(QStringLiteral("PaginaA"), 1);
    o.setValore(QStringLiteral("NumCassetto"), 2);
    QCOMPARE(stampa(o, 1, QFont(QStringLiteral("DejaVu Sans"), 10)), qint64(1));
    QVERIFY(AttendiUscita(Uscita(CodaPdf + ".pdf")));
    QFile f(Uscita(CodaPdf + ".pdf.opzioni"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString opzioni = QString::fromUtf8(f.readAll());
    QVERIFY2(opzioni.contains(QLatin1String("InputSlot=Tray2")) ||
                 opzioni.contains(QLatin1String("media-source=tray-2")),
             qPrintable(opzioni));
}

void TstStampante::numeroPagine_data() {
    QTest::addColumn<QVariant>("mostra"); // "MostraNumPag"; invalid: never set
    QTest::addColumn<bool>("messaggio");
    QTest::newRow("non impostato") << QVariant() << true;
    QTest::newRow("spuntato") << QVariant(true) << true;
    QTest::newRow("tolto") << QVariant(false) << false;
}

void TstStampante::numeroPagine() {
    // "Mess.Numero pagine": the pages sent told when the print is over
    QFETCH(QVariant, mostra);
    QFETCH(bool, messaggio);
    MessaggiScriptati msg;
    OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = CodaPdf;
    o.setValore(QStringLiteral("PaginaA"), 2);
    if (mostra.isValid())
        o.setValore(QStringLiteral("MostraNumPag"), mostra);
    QCOMPARE(stampa(o, 1, QFont(QStringLiteral("DejaVu Sans"), 10)), qint64(2));
    QVERIFY(AttendiUscita(Uscita(CodaPdf + ".pdf")));
    if (messaggio) {
        QCOMPARE(msg.testi(), QStringList{QStringLiteral("Stampa terminata: 2 pagine inviate "
                                                         "alla stampante %1")
                                              .arg(CodaPdf)});
        QCOMPARE(msg.mostrati().front().stile, int(vbInformation));
    } else {
        QVERIFY(msg.testi().isEmpty());
    }
}

void TstStampante::intervalloRifiutato() {
    OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = CodaPdf;
    o.setValore(QStringLiteral("PaginaDa"), 3);
    o.setValore(QStringLiteral("PaginaA"), 2);
    QVERIFY_THROWS_EXCEPTION(Errore, stampa(o, 1, QFont()));
    o.setValore(QStringLiteral("PaginaDa"), 1);
    o.setValore(QStringLiteral("PaginaA"), 1);
    o.osNomeStampante = QStringLiteral("Nessuna");
    try {
        stampa(o, 1, QFont());
        QFAIL("a missing queue printed");
    } catch (const Errore& e) {
        QVERIFY2(e.descrizione().contains(QLatin1String("Nessuna")), qPrintable(e.descrizione()));
    }
    QCOMPARE(StampaAttiva(), qint16(0));
}

void TstStampante::interrotta() {
    // "Interrompi la stampa" pressed while a print runs: the print stops
    // after the page it is on
    OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = CodaPdf;
    FrmStampaInCorso inCorso;
    inCorso.show();
    Stampa s;
    s.setOgOpzSta(&o);
    s.setOfrmStampaInCorso(&inCorso);
    // the operator presses the button once the second page is announced
    QTimer operatore;
    connect(&operatore, &QTimer::timeout, this, [&] {
        if (inCorso.LblPag()->text() == QLatin1String("2")) {
            inCorso.ComSTampa()->click();
            operatore.stop();
        }
    });
    operatore.start(0);
    QFile::remove(Uscita(CodaPdf + ".pdf"));
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    QCOMPARE(s.StampaLista(*m_comlin.Lista(), r), qint64(1));
    QVERIFY(s.Interrotta());
    QCOMPARE(inCorso.ogStampa(), static_cast<IStampa*>(&s));
    QCOMPARE(inCorso.LblPag()->text(), QString("2")); // asked for the second, refused
    QCOMPARE(StampaAttiva(), qint16(0));
    // what was printed before the stop reaches the printer, nothing after
    QVERIFY(AttendiUscita(Uscita(CodaPdf + ".pdf")));
    QCOMPARE(Pagine(Uscita(CodaPdf + ".pdf")), 1);
}

void TstStampante::stampanteCorrente() {
    // options that name no printer print on the printer current when the
    // print starts, not on the default one
    OpzioniStampa o(QStringLiteral("Prova"));
    o.setValore(QStringLiteral("PaginaA"), 1);
    Stampa s;
    s.setOgOpzSta(&o);
    s.setOgPrtStam(CodaGrezza);
    const QString prn = Uscita(CodaGrezza + ".prn");
    QFile::remove(prn);
    QFile::remove(Uscita(CodaPdf + ".pdf"));
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    QCOMPARE(s.StampaLista(*m_comlin.Lista(), r), qint64(1));
    QVERIFY(AttendiUscita(prn));
    QCOMPARE(Pagine(prn), 1); // the PDF as the program made it, through the raw queue
    QVERIFY(!QFileInfo::exists(Uscita(CodaPdf + ".pdf")));
}

void TstStampante::fissaGrezza() {
    // the fixed-length text reaches the raw queue byte for byte
    OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::Fissa;
    o.obFisStampante = true;
    o.osFisFileName = CodaGrezza;
    o.oiFisColonne = 80;
    o.oiFisRighe = 40;
    o.obFisUtilComp = true;
    o.osFisCodIniComp = QStringLiteral("27,15");
    o.osFisCodFinComp = QStringLiteral("18");
    const QString prn = Uscita(CodaGrezza + ".prn");
    QFile::remove(prn);
    Stampa s;
    s.setOgOpzSta(&o);
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("T");
    QCOMPARE(s.StampaLista(*m_comlin.Lista(), r), qint64(500));
    QVERIFY(AttendiUscita(prn));
    const QString atteso = m_dir.filePath(QStringLiteral("fissa.txt"));
    ScriviFissa(*m_comlin.Lista(), ColonneScelte(m_comlin.Lista()->colonne(), "T"), o, atteso);
    QFile a(prn), b(atteso);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray stampato = a.readAll();
    QCOMPARE(stampato, b.readAll());
    QVERIFY(stampato.startsWith("\x1b\x0f"));
    QCOMPARE(stampato.count('\f'), 13); // pages of 40 lines: the captions and 39 rows
}

QTEST_MAIN(TstStampante)
#include "tst_stampante.moc"
