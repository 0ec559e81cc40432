// Screen-resolution scaling: the factors resolved at start, the factor of one
// window with its fitting on the screen, and the resizing of its controls.

#include "desktop/Scala.h"
#include "desktop/Schermo.h"
#include "suite/Errore.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

using namespace quarvel;

namespace {

MetricheSchermo Schermo(int l, int a, QRect area = {}) {
    MetricheSchermo m;
    m.geometria = QRect(0, 0, l, a);
    m.areaUtile = area.isNull() ? m.geometria : area;
    m.twipsPerPixel = 15.0;
    return m;
}

// The keys of "Risoluzione Video" the test sets; a missing key gives its
// default, as the parameter files do.
QMap<QString, QString> chiavi;
bool chiaveIlleggibile = false;

double LettoreProva(const QString& chiave, const QString& predefinito) {
    if (chiaveIlleggibile)
        throw Errore(NumErr::FileNonTrovato, QStringLiteral("File non trovato"));
    for (auto it = chiavi.cbegin(); it != chiavi.cend(); ++it)
        if (it.key().compare(chiave, Qt::CaseInsensitive) == 0)
            return Utilita().TestoInNumero(it.value());
    return Utilita().TestoInNumero(predefinito);
}

using Chiavi = QMap<QString, QString>;

} // namespace

class TestScala : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InstallaUtilita();
        ImpostaLettoreFattore(&LettoreProva);
    }
    void init() {
        AzzeraSessione();
        chiavi.clear();
        chiaveIlleggibile = false;
        ImpostaSchermoSimulato(Schermo(800, 600));
    }
    void cleanupTestCase() {
        ImpostaLettoreFattore({});
        ImpostaSchermoSimulato(std::nullopt);
    }

    void avvio_data();
    void avvio();
    void automatico_data();
    void automatico();
    void finestraDaiParametri_data();
    void finestraDaiParametri();
    void adattaAlloSchermo_data();
    void adattaAlloSchermo();
    void spento();
    void soloCalcolo();

    void controlliPosizionati();
    void eccezioni();
    void immagineFissa();
    void listaChiusa();
    void intestazioneGriglia();
    void finestraConLayout_data();
    void finestraConLayout();
};

void TestScala::avvio_data() {
    QTest::addColumn<Chiavi>("ini");
    QTest::addColumn<QSize>("schermo");
    QTest::addColumn<double>("generale");
    QTest::addColumn<double>("persBase");
    QTest::addColumn<double>("staVid");
    QTest::addColumn<double>("help");
    QTest::addColumn<double>("msgCom");

    QTest::newRow("nothing set, 1024 x 768")
        << Chiavi{} << QSize(1024, 768) << 0.0 << 0.0 << 1.28 << 1.28 << 1.28;
    QTest::newRow("scaling off") << Chiavi{{"Generale", "-1"}} << QSize(1024, 768) << -1.0 << -1.0
                                 << -1.0 << -1.0 << -1.0;
    QTest::newRow("overall factor, one special key")
        << Chiavi{{"Generale", "1,2"}, {"MsgCom", "1"}} << QSize(1024, 768) << 1.2 << 1.2 << 1.2
        << 1.2 << 1.0;
    QTest::newRow("personal base") << Chiavi{{"Generale", "-2"}, {"PersBase", "1.5"}}
                                   << QSize(800, 600) << -2.0 << 1.5 << 1.5 << 1.5 << 1.5;
    QTest::newRow("personal base not set: automatic")
        << Chiavi{{"Generale", "-2"}, {"StaVid", "2"}} << QSize(1280, 1024) << -2.0 << 0.0 << 2.0
        << 1.6 << 1.6;
    QTest::newRow("special key automatic") << Chiavi{{"Generale", "1.1"}, {"Help", "0"}}
                                           << QSize(1280, 1024) << 1.1 << 1.1 << 1.1 << 1.6 << 1.1;
}

void TestScala::avvio() {
    QFETCH(Chiavi, ini);
    QFETCH(QSize, schermo);
    chiavi = ini;
    ImpostaSchermoSimulato(Schermo(schermo.width(), schermo.height()));
    RisolviFattoriScala();
    const ContestoSessione& s = Sessione();
    QTEST(s.FattoreGenerale, "generale");
    QTEST(s.FattorePersBase, "persBase");
    QTEST(s.FattoreStaVid, "staVid");
    QTEST(s.FattoreHelp, "help");
    QTEST(s.FattoreMsgCom, "msgCom");
}

void TestScala::automatico_data() {
    QTest::addColumn<QSize>("schermo");
    QTest::addColumn<double>("fattore");
    QTest::newRow("800 x 600") << QSize(800, 600) << 1.0;
    QTest::newRow("1024 x 768") << QSize(1024, 768) << 1.28;
    QTest::newRow("1280 x 1024: the width decides") << QSize(1280, 1024) << 1.6;
    QTest::newRow("1920 x 1080: the height decides") << QSize(1920, 1080) << 1.8;
    QTest::newRow("640 x 480") << QSize(640, 480) << 0.8;
    QTest::newRow("1366 x 768") << QSize(1366, 768) << 1.28;
    QTest::newRow("no screen size") << QSize(0, 0) << 1.0;
}

void TestScala::automatico() {
    QFETCH(QSize, schermo);
    ImpostaSchermoSimulato(Schermo(schermo.width(), schermo.height()));
    int l = -1, a = -1;
    QTEST(FattoreAutomatico(l, a), "fattore");
    QCOMPARE(QSize(l, a), schermo);
}

void TestScala::finestraDaiParametri_data() {
    QTest::addColumn<QString>("risVidKey");
    QTest::addColumn<QString>("keySec");
    QTest::addColumn<bool>("illeggibile");
    QTest::addColumn<double>("fattore");
    // "Generale" -2, "PersBase" 1.5, the key "M-GestInv" (switch /P "M" and
    // the window's function key) 2, "StaVid" 1.25.
    QTest::newRow("window with its own key") << ""
                                             << "GestInv" << false << 2.0;
    QTest::newRow("window without a key") << ""
                                          << "LiFo" << false << 1.5;
    QTest::newRow("osRisVidKey wins") << "StaVid"
                                      << "GestInv" << false << 1.25;
    QTest::newRow("parameters unreadable") << ""
                                           << "GestInv" << true << 1.5;
}

void TestScala::finestraDaiParametri() {
    QFETCH(QString, risVidKey);
    QFETCH(QString, keySec);
    chiavi =
        Chiavi{{"Generale", "-2"}, {"PersBase", "1,5"}, {"M-GestInv", "2"}, {"StaVid", "1.25"}};
    RisolviFattoriScala();
    Sessione().OpzioneP = QStringLiteral("M");
    QFETCH(bool, illeggibile);
    chiaveIlleggibile = illeggibile;

    QWidget w;
    w.setGeometry(0, 0, 200, 100);
    w.setProperty("osRisVidKey", risVidKey);
    w.setProperty("osKeySec", keySec);
    double f = -2;
    const double r = FattoreFinestra(&w, true, f);
    QTEST(r, "fattore");
    QTEST(f, "fattore");
    QTEST(w.property("odRisVidVal").toDouble(), "fattore");
    QCOMPARE(w.size(), QSize(200, 100));
}

void TestScala::adattaAlloSchermo_data() {
    QTest::addColumn<double>("dato");
    QTest::addColumn<QRect>("finestra");
    QTest::addColumn<QRect>("areaUtile");
    QTest::addColumn<double>("fattore");
    const QRect tutto(0, 0, 800, 600);
    const QRect sopraPannello(0, 0, 800, 570);
    const QRect pannelloSinistra(40, 0, 760, 600);
    // Bottom edge at pixel 400 = 6000 twips; panel top at pixel 570 = 8550 twips.
    QTest::newRow("explicit, bottom panel: fits above it")
        << 2.0 << QRect(0, 100, 300, 300) << sopraPannello << 8550.0 / 6000.0;
    QTest::newRow("explicit, panel on the left: unchanged")
        << 2.0 << QRect(0, 100, 300, 300) << pannelloSinistra << 2.0;
    QTest::newRow("explicit, no panel: unchanged")
        << 2.0 << QRect(0, 100, 300, 300) << tutto << 2.0;
    QTest::newRow("explicit, small enough")
        << 1.4 << QRect(0, 100, 300, 300) << sopraPannello << 1.4;
    // Automatic on 800 x 600 is 1: nothing to fit.  On 1280 x 1024 (1.6) the
    // screen is 19200 x 15360 twips.
}

void TestScala::adattaAlloSchermo() {
    QFETCH(double, dato);
    QFETCH(QRect, finestra);
    QFETCH(QRect, areaUtile);
    MetricheSchermo m = Schermo(800, 600, areaUtile);
    ImpostaSchermoSimulato(m);

    QWidget w;
    w.setGeometry(finestra);
    double f = dato;
    const double r = FattoreFinestra(&w, false, f);
    QTEST(r, "fattore");
    QTEST(f, "fattore");
    QTEST(w.property("odRisVidVal").toDouble(), "fattore");
    QCOMPARE(w.height(), qRound(finestra.height() * r));
}

void TestScala::spento() {
    chiavi = Chiavi{{"Generale", "-1"}};
    RisolviFattoriScala();
    QWidget w;
    w.setGeometry(0, 0, 300, 200);
    auto* e = new QLineEdit(&w);
    e->setObjectName(QStringLiteral("txt(0)"));
    e->setGeometry(10, 10, 100, 20);
    double f = -2;
    QCOMPARE(FattoreFinestra(&w, false, f), 1.0);
    QCOMPARE(f, -2.0);
    QCOMPARE(w.property("odRisVidVal").toDouble(), 1.0);
    QCOMPARE(w.size(), QSize(300, 200));
    QCOMPARE(e->geometry(), QRect(10, 10, 100, 20));
    // The same off switch passed as the window's own factor.
    double spento = -1;
    QCOMPARE(FattoreFinestra(&w, false, spento), 1.0);
    QCOMPARE(w.size(), QSize(300, 200));
}

void TestScala::soloCalcolo() {
    // Automatic on 1280 x 1024 with a bottom panel: no fitting, nothing moved.
    ImpostaSchermoSimulato(Schermo(1280, 1024, QRect(0, 0, 1280, 980)));
    QWidget w;
    w.setGeometry(0, 0, 700, 600);
    double f = 0;
    QCOMPARE(FattoreFinestra(&w, true, f), 1.6);
    QCOMPARE(f, 1.6);
    QCOMPARE(w.property("odRisVidVal").toDouble(), 1.6);
    QCOMPARE(w.size(), QSize(700, 600));

    // Scaling for real, the automatic factor is fitted to height and width.
    QWidget v;
    v.setGeometry(0, 0, 900, 500);
    double g = 0;
    const double r = FattoreFinestra(&v, false, g);
    QCOMPARE(r, 1280.0 / 900.0); // the width is tighter than the panel
    QCOMPARE(v.width(), 1280);
}

void TestScala::controlliPosizionati() {
    QWidget w;
    w.resize(400, 300);
    QFont base = w.font();
    base.setPointSizeF(10);
    w.setFont(base);
    auto* l = new QLabel(QStringLiteral("Articolo"), &w);
    l->setObjectName(QStringLiteral("lblArticolo"));
    l->setGeometry(10, 20, 80, 16);
    auto* t = new QLineEdit(&w);
    t->setObjectName(QStringLiteral("txt(1)"));
    t->setGeometry(100, 20, 120, 20);
    auto* fisso = new QPushButton(QStringLiteral("OK"), &w);
    fisso->setObjectName(QStringLiteral("ComOk"));
    fisso->setFixedSize(60, 24);
    fisso->move(300, 260);
    QFont proprio = t->font();
    proprio.setPointSizeF(12);
    t->setFont(proprio);

    ScalaControlli(&w, 1.5);

    QCOMPARE(w.size(), QSize(600, 450));
    QCOMPARE(l->geometry(), QRect(15, 30, 120, 24));
    QCOMPARE(t->geometry(), QRect(150, 30, 180, 30));
    QCOMPARE(fisso->geometry(), QRect(450, 390, 90, 36));
    QCOMPARE(w.font().pointSizeF(), 15.0);
    QCOMPARE(l->font().pointSizeF(), 15.0);
    QCOMPARE(t->font().pointSizeF(), 18.0); // its own font, not the window's twice
    QCOMPARE(fisso->font().pointSizeF(), 15.0);

    // Factor 1 or none: nothing changes.
    ScalaControlli(&w, 1);
    ScalaControlli(&w, -3);
    QCOMPARE(w.size(), QSize(600, 450));
}

void TestScala::eccezioni() {
    QWidget w;
    w.resize(400, 300);
    QList<QLineEdit*> t;
    for (int i = 0; i < 3; ++i) {
        auto* e = new QLineEdit(&w);
        e->setObjectName(QStringLiteral("txt(%1)").arg(i));
        e->setGeometry(10, 10 + 30 * i, 100, 20);
        QFont f = e->font();
        f.setPointSizeF(10);
        e->setFont(f);
        t << e;
    }
    auto* c = new QLineEdit(&w);
    c->setObjectName(QStringLiteral("txtCodice"));
    c->setGeometry(200, 10, 100, 20);

    // First matching entry wins; names ignore case; -1 is every element.
    ScalaControlli(&w, 2,
                   {{QStringLiteral("TXT"), 1, FlagScala::Posizione},
                    {QStringLiteral("txt"), -1, FlagScala::Dimensione | FlagScala::Caratteri},
                    {QStringLiteral("txtCodice"), 0, FlagScala::Posizione}});
    QCOMPARE(t[1]->geometry(), QRect(10, 40, 200, 40));
    QCOMPARE(t[1]->font().pointSizeF(), 20.0);
    QCOMPARE(t[0]->geometry(), QRect(20, 20, 100, 20));
    QCOMPARE(t[0]->font().pointSizeF(), 10.0);
    QCOMPARE(t[2]->geometry(), QRect(20, 140, 100, 20));
    // An entry with an element index does not match a control outside an array.
    QCOMPARE(c->geometry(), QRect(400, 20, 200, 40));
}

void TestScala::immagineFissa() {
    QWidget w;
    w.resize(200, 200);
    QPixmap pm(32, 32);
    pm.fill(Qt::red);
    auto* fissa = new QLabel(&w);
    fissa->setObjectName(QStringLiteral("imgLogo"));
    fissa->setPixmap(pm);
    fissa->setGeometry(10, 10, 32, 32);
    auto* estesa = new QLabel(&w);
    estesa->setObjectName(QStringLiteral("imaArticolo"));
    estesa->setPixmap(pm);
    estesa->setScaledContents(true);
    estesa->setGeometry(50, 10, 32, 32);
    ScalaControlli(&w, 2);
    QCOMPARE(fissa->geometry(), QRect(10, 10, 32, 32));
    QCOMPARE(estesa->geometry(), QRect(100, 20, 64, 64));
}

void TestScala::listaChiusa() {
    QWidget w;
    w.resize(300, 200);
    auto* lista = new QListWidget(&w);
    lista->setObjectName(QStringLiteral("LisColonne"));
    lista->addItems({QStringLiteral("Articolo"), QStringLiteral("Descrizione")});
    lista->setGeometry(10, 10, 100, 5); // 75 twips
    ScalaControlli(&w, 0.7);            // would be 52 twips: no line left
    QVERIFY(lista->height() * TwipsPerPixel() > 60);
    QVERIFY(lista->height() >= lista->fontMetrics().height());
    QCOMPARE(lista->width(), 70);
}

void TestScala::intestazioneGriglia() {
    QWidget w;
    w.resize(400, 300);
    auto* griglia = new QTableView(&w);
    griglia->setObjectName(QStringLiteral("dbgRiga"));
    griglia->setGeometry(0, 0, 400, 300);
    QFont fg = griglia->font();
    fg.setPointSizeF(9);
    griglia->setFont(fg);
    QFont fi = fg;
    fi.setBold(true);
    fi.setPointSizeF(8);
    griglia->horizontalHeader()->setFont(fi);
    ScalaControlli(&w, 1.5);
    QCOMPARE(griglia->font().pointSizeF(), 13.5);
    QCOMPARE(griglia->horizontalHeader()->font().pointSizeF(), 12.0);
    QVERIFY(griglia->horizontalHeader()->font().bold());
    // Qt's inner widgets of the grid keep their places.
    QCOMPARE(griglia->viewport()->parentWidget(), griglia);
    QCOMPARE(griglia->geometry(), QRect(0, 0, 600, 450));
}

void TestScala::finestraConLayout_data() {
    QTest::addColumn<double>("fattore");
    QTest::newRow("0.8") << 0.8;
    QTest::newRow("1.0") << 1.0;
    QTest::newRow("1.6") << 1.6;
}

void TestScala::finestraConLayout() {
    QFETCH(double, fattore);
    QWidget w;
    w.setObjectName(QStringLiteral("frmLivelli"));
    auto* forma = new QFormLayout;
    QList<QWidget*> testi;
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(QStringLiteral("Descrizione del livello %1").arg(i));
        l->setObjectName(QStringLiteral("lbl(%1)").arg(i));
        auto* t = new QLineEdit(QStringLiteral("Valore di prova abbastanza lungo"));
        t->setObjectName(QStringLiteral("txt(%1)").arg(i));
        t->setFixedWidth(220);
        forma->addRow(l, t);
        testi << l;
    }
    auto* riga = new QHBoxLayout;
    for (const auto& d : {QStringLiteral("&Conferma"), QStringLiteral("&Annulla")}) {
        auto* p = new QPushButton(d);
        p->setObjectName(QStringLiteral("Com") + d.mid(1));
        riga->addWidget(p);
        testi << p;
    }
    auto* v = new QVBoxLayout(&w);
    v->addLayout(forma);
    v->addLayout(riga);
    w.adjustSize();
    const QSize prima = w.size();
    const double corpo = testi[0]->font().pointSizeF();

    ScalaControlli(&w, fattore);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.layout()->activate();

    QVERIFY(w.width() >= qRound(prima.width() * fattore) - 1);
    QCOMPARE(testi[0]->font().pointSizeF(), corpo * fattore);
    // Nothing is cut: every caption gets at least the room it asks for, and
    // the fixed-width fields grew with the factor.
    for (QWidget* t : testi)
        QVERIFY2(t->width() >= t->sizeHint().width() &&
                     t->height() >= t->minimumSizeHint().height(),
                 qPrintable(t->objectName()));
    auto* campo = w.findChild<QLineEdit*>(QStringLiteral("txt(0)"));
    QCOMPARE(campo->width(), qRound(220 * fattore));
    QVERIFY(campo->height() >= campo->sizeHint().height());
}

QTEST_MAIN(TestScala)
#include "tst_desktop_scala.moc"
