// The utility operations on real windows and controls (offscreen).

#include "suite/Errore.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

using namespace quarvel;

namespace {

// Runs f on the modal window as soon as one is up.
void QuandoModale(std::function<void(QWidget*)> f) {
    auto* t = new QTimer;
    t->setInterval(10);
    QObject::connect(t, &QTimer::timeout, [t, f] {
        if (QWidget* m = QApplication::activeModalWidget()) {
            t->stop();
            t->deleteLater();
            f(m);
        }
    });
    t->start();
}

} // namespace

class TstUtilitaFinestre : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void ciSonoFinestre();
    void mostraFormDialogo_data();
    void mostraFormDialogo();
    void mostraFormFinestraSemplice();
    void mostraFormDistruttaMentreAperta();
    void daiFuoco();
    void preparaTesto();
    void formattaTesto_data();
    void formattaTesto();
    void controllaCampi();
    void scegliCartella();
};

void TstUtilitaFinestre::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaUtilita();
}

void TstUtilitaFinestre::ciSonoFinestre() {
    QWidget principale; // the hidden main window
    QWidget form;
    QWidget altra;
    auto* figlio = new QLabel(QStringLiteral("x"), &form);
    QMenu menu;
    const QList<QWidget*> tutte{&principale, &form, &altra, figlio, &menu, nullptr};

    QVERIFY(!Utilita().CiSonoFinestre(tutte, &principale));
    principale.show();
    QVERIFY(!Utilita().CiSonoFinestre(tutte, &principale)); // the main one does not count
    menu.popup(QPoint(0, 0));
    QVERIFY(menu.isVisible());
    QVERIFY(!Utilita().CiSonoFinestre(tutte, &principale)); // nor an open popup
    menu.hide();
    form.show();
    QVERIFY(Utilita().CiSonoFinestre(tutte, &principale));
    form.hide();
    QVERIFY(!Utilita().CiSonoFinestre(tutte, &principale));
    altra.show();
    QVERIFY(Utilita().CiSonoFinestre(tutte, &principale));
    altra.close();
    QVERIFY(!Utilita().CiSonoFinestre(tutte, &principale));
}

void TstUtilitaFinestre::mostraFormDialogo_data() {
    QTest::addColumn<bool>("accetta");
    QTest::addColumn<int>("risultato");
    QTest::newRow("accettato") << true << int(QDialog::Accepted);
    QTest::newRow("annullato") << false << int(QDialog::Rejected);
}

void TstUtilitaFinestre::mostraFormDialogo() {
    QFETCH(bool, accetta);
    QFETCH(int, risultato);
    QDialog d;
    bool eraModale = false;
    QuandoModale([&](QWidget* m) {
        eraModale = m == &d;
        accetta ? d.accept() : d.reject();
    });
    QCOMPARE(Utilita().MostraForm(&d, 2, -1, 3, 0), risultato);
    QVERIFY(eraModale);
    QVERIFY(!d.isVisible());
}

void TstUtilitaFinestre::mostraFormFinestraSemplice() {
    QWidget w;
    bool eraModale = false;
    QuandoModale([&](QWidget* m) {
        eraModale = m == &w;
        w.close();
    });
    QCOMPARE(Utilita().MostraForm(&w, 2, -1, 3, 0), 0);
    QVERIFY(eraModale);
    QVERIFY(!w.isVisible());
    int numero = 0;
    try {
        Utilita().MostraForm(nullptr, 2, -1, 3, 0);
    } catch (const Errore& e) {
        numero = e.numero();
    }
    QCOMPARE(numero, 91);
}

void TstUtilitaFinestre::mostraFormDistruttaMentreAperta() {
    auto* w = new QWidget;
    w->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> guardia(w);
    QuandoModale([](QWidget* m) { m->close(); });
    QCOMPARE(Utilita().MostraForm(w, 2, -1, 3, 0), 0);
    QTRY_VERIFY(guardia.isNull());
}

void TstUtilitaFinestre::daiFuoco() {
    QWidget finestra;
    auto* lay = new QVBoxLayout(&finestra);
    auto* a = new QLineEdit;
    auto* b = new QLineEdit;
    auto* spento = new QLineEdit;
    auto* nascosto = new QLineEdit;
    auto* etichetta = new QLabel(QStringLiteral("etichetta"));
    for (QWidget* w :
         {static_cast<QWidget*>(a), static_cast<QWidget*>(b), static_cast<QWidget*>(spento),
          static_cast<QWidget*>(nascosto), static_cast<QWidget*>(etichetta)})
        lay->addWidget(w);
    spento->setEnabled(false);
    nascosto->hide();

    // Before the window shows, the control is remembered for when it does.
    QVERIFY(Utilita().DaiFuoco(b));
    finestra.show();
    QVERIFY(QTest::qWaitForWindowActive(&finestra));
    QCOMPARE(finestra.focusWidget(), b);

    QVERIFY(Utilita().DaiFuoco(a));
    QTRY_VERIFY(a->hasFocus());
    QVERIFY(!Utilita().DaiFuoco(spento));
    QVERIFY(!Utilita().DaiFuoco(nascosto));
    QVERIFY(!Utilita().DaiFuoco(etichetta));
    QVERIFY(!Utilita().DaiFuoco(nullptr));
    QVERIFY(a->hasFocus());
}

void TstUtilitaFinestre::preparaTesto() {
    QWidget finestra;
    auto* lay = new QVBoxLayout(&finestra);
    auto* testo = new QLineEdit(QStringLiteral("ART01"));
    auto* numero = new QSpinBox;
    numero->setValue(42);
    lay->addWidget(testo);
    lay->addWidget(numero);
    finestra.show();
    QVERIFY(QTest::qWaitForWindowActive(&finestra));

    // The operator clicks into the box: the click puts the cursor, the
    // preparation selects everything all the same.
    QTest::mouseClick(testo, Qt::LeftButton, {}, QPoint(2, testo->height() / 2));
    Utilita().PreparaTesto(testo);
    QTest::qWait(20);
    QCOMPARE(testo->selectedText(), QStringLiteral("ART01"));

    numero->setFocus();
    Utilita().PreparaTesto(numero);
    QCOMPARE(numero->findChild<QLineEdit*>()->selectedText(), QStringLiteral("42"));
    Utilita().PreparaTesto(nullptr);
}

void TstUtilitaFinestre::formattaTesto_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("maschera");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("numero con maschera") << "  1234,5 "
                                         << "#,##0.00"
                                         << "1.234,50";
    QTest::newRow("numero piano") << "1234.5"
                                  << "#,##0.00"
                                  << "1.234,50";
    QTest::newRow("decimali facoltativi") << "1.234,5"
                                          << "#,##0.###"
                                          << "1.234,5";
    QTest::newRow("non numero: solo trim") << "  abc "
                                           << "#,##0"
                                           << "abc";
    QTest::newRow("senza maschera") << "  ART 01  "
                                    << ""
                                    << "ART 01";
    QTest::newRow("vuoto") << "   "
                           << "#,##0"
                           << "";
}

void TstUtilitaFinestre::formattaTesto() {
    QFETCH(QString, testo);
    QFETCH(QString, maschera);
    QFETCH(QString, atteso);
    QLineEdit le(testo);
    Utilita().FormattaTesto(&le, maschera);
    QCOMPARE(le.text(), atteso);
    QComboBox cb;
    cb.setEditable(true);
    cb.setEditText(testo);
    Utilita().FormattaTesto(&cb, maschera);
    QCOMPARE(cb.currentText(), atteso);
}

void TstUtilitaFinestre::controllaCampi() {
    QWidget finestra;
    auto* lay = new QVBoxLayout(&finestra);
    QWidget* pannello = new QWidget;
    auto* lp = new QVBoxLayout(pannello);
    auto* porta = new QLineEdit(QStringLiteral("25"));
    porta->setValidator(new QIntValidator(1, 65535, porta));
    auto* spento = new QLineEdit(QStringLiteral("99999"));
    spento->setValidator(new QIntValidator(1, 65535, spento));
    spento->setEnabled(false);
    auto* data = new QLineEdit;
    data->setInputMask(QStringLiteral("99/99/9999"));
    auto* timeout = new QLineEdit(QStringLiteral("30"));
    timeout->setValidator(new QIntValidator(1, 600, timeout));
    auto* scelta = new QComboBox;
    scelta->setEditable(true);
    scelta->setValidator(new QIntValidator(0, 9, scelta));
    for (QWidget* w :
         {static_cast<QWidget*>(porta), static_cast<QWidget*>(spento), static_cast<QWidget*>(data),
          static_cast<QWidget*>(timeout), static_cast<QWidget*>(scelta)})
        lp->addWidget(w);
    auto* fuori = new QLineEdit(QStringLiteral("abc"));
    fuori->setValidator(new QIntValidator(1, 9, fuori)); // outside the panel
    lay->addWidget(pannello);
    lay->addWidget(fuori);
    finestra.show();

    // Every field valid (the empty masked date counts as not given).
    QCOMPARE(Utilita().ControllaCampi(pannello), nullptr);

    // Two wrong fields: the first in focus order wins.
    data->setText(QStringLiteral("12"));
    timeout->setText(QStringLiteral("0"));
    QCOMPARE(Utilita().ControllaCampi(pannello), data);
    QWidget::setTabOrder(timeout, data);
    QWidget::setTabOrder(data, porta);
    QWidget::setTabOrder(porta, scelta);
    QCOMPARE(Utilita().ControllaCampi(pannello), timeout);

    timeout->setText(QStringLiteral("30"));
    data->setText(QStringLiteral("01022024"));
    QCOMPARE(Utilita().ControllaCampi(pannello), nullptr);

    // A combo box answers for its own line edit.
    scelta->setEditText(QStringLiteral("12"));
    scelta->lineEdit()->setValidator(nullptr);
    scelta->lineEdit()->setText(QStringLiteral("12"));
    scelta->setValidator(new QIntValidator(0, 9, scelta));
    QCOMPARE(Utilita().ControllaCampi(pannello), scelta);
    QCOMPARE(Utilita().ControllaCampi(nullptr), nullptr);
}

void TstUtilitaFinestre::scegliCartella() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub/scelta")));
    qputenv("QUARVEL_DRIVE_Q", dir.path().toUtf8());
    const QString scelta = dir.filePath(QStringLiteral("sub/scelta"));

    // The operator waits for the dialog to be up, with the cursor in its name
    // field, types the folder's name and presses the button.  (A name set
    // through selectFile() is not shown once that field has the focus: what
    // the dialog then returns is the folder it shows, the parent.)
    QString partenza, titolo, perche;
    QuandoModale([&](QWidget* m) {
        auto* d = qobject_cast<QFileDialog*>(m);
        auto* nome = m->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* pulsanti = m->findChild<QDialogButtonBox*>();
        QPushButton* scegli = pulsanti ? pulsanti->button(QDialogButtonBox::Open) : nullptr;
        if (!d || !nome || !scegli) {
            perche = QStringLiteral("not the file dialog with its name field and button");
        } else {
            partenza = d->directory().absolutePath();
            titolo = d->windowTitle();
            if (!QTest::qWaitFor([nome] { return nome->hasFocus(); }, 10000))
                perche = QStringLiteral("the name field never had the focus");
        }
        if (!perche.isEmpty()) {
            static_cast<QDialog*>(m)->reject();
            return;
        }
        QTest::keyClicks(nome, QStringLiteral("scelta"));
        if (!QTest::qWaitFor([scegli] { return scegli->isEnabled(); }, 10000)) {
            perche = QStringLiteral("the button stayed disabled");
            static_cast<QDialog*>(m)->reject();
            return;
        }
        QTest::mouseClick(scegli, Qt::LeftButton);
    });
    const QString scelto = Utilita().ScegliCartella(QStringLiteral("Directory per stunnel"),
                                                    QStringLiteral("Q:\\sub"));
    QVERIFY2(perche.isEmpty(), qPrintable(perche));
    QCOMPARE(scelto, scelta);
    QCOMPARE(partenza, dir.filePath(QStringLiteral("sub")));
    QCOMPARE(titolo, QStringLiteral("Directory per stunnel"));

    QuandoModale([](QWidget* m) { static_cast<QDialog*>(m)->reject(); });
    QCOMPARE(Utilita().ScegliCartella(QStringLiteral("x"), QStringLiteral("Q:\\sub")), QString());
    qunsetenv("QUARVEL_DRIVE_Q");
}

QTEST_MAIN(TstUtilitaFinestre)
#include "tst_utilita_finestre.moc"
