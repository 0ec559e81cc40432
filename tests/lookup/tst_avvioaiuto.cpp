// The lookup component as the start-up creates it: the real component over
// the demo company opened by the start-up, its window scaled by the help
// factor of the parameter file, its events served by the program (the menu
// brought forward, the launch keys kept for the menu's "keyprgprim" and
// "keyprgsec"), and released at the end before the company connection.

#include "Ambiente.h"
#include "lifo/FrmMagDescInv.h"
#include "listcmd/Comlin.h"
#include "startup/Avvio.h"
#include "startup/Principale.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QFile>
#include <QLabel>
#include <QProcess>

using namespace quarvel;
using namespace prova;

class TstAvvioAiuto : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void componenteCreatoAllAvvio();
    void senzaComponente();

private:
    void Avvia(bool conAiuto);
    QTemporaryDir m_dir;
    QString m_db;
    MenuValori* m_menu = nullptr;
};

void TstAvvioAiuto::initTestCase() {
    QVERIFY(m_dir.isValid());
    InstallaUtilita();
    dati::Registra();
    listcmd::InstallaListaComandi();
    lookup::Registra();
    m_db = m_dir.filePath(QStringLiteral("ditta.db"));
    QProcess p;
    p.start(QStringLiteral(QUARVEL_BINARY_DIR "/components/data/quarvel-ditta"),
            {QStringLiteral("--demo"), m_db});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QString param = m_dir.filePath(QStringLiteral("parametri.ini"));
    QFile f(m_dir.filePath(QStringLiteral("belcor.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[Parametri Generali]\nOrdIniDBase=%1\n").arg(param).toUtf8());
    QFile p2(param);
    QVERIFY(p2.open(QIODevice::WriteOnly));
    p2.write("[Configurazioni]\nFormatData=dd/mm/yy\n[Risoluzione Video]\nGenerale=1\nHelp=1,25\n");
}

void TstAvvioAiuto::Avvia(bool conAiuto) {
    AmbienteAvvio a;
    a.creaMenuClient = [this]() -> std::unique_ptr<IMenuClient> {
        auto m = std::make_unique<MenuValori>();
        m->valori.insert(QStringLiteral("NomeDBAzie"), m_db);
        m->fileIni = m_dir.filePath(QStringLiteral("belcor.ini"));
        m->lancio.osParam = QStringLiteral("/FfrmMagDescInv");
        m_menu = m.get();
        return m;
    };
    if (conAiuto)
        a.creaComponenteAiuto = [] {
            return std::unique_ptr<IComponenteAiuto>(CreaComponenteAiuto());
        };
    a.rigaComando = QStringLiteral("/Mm-1 /PQUARVEL /FfrmMagDescInv");
    a.fineProcesso = [] {};
    ImpostaAmbienteAvvio(std::move(a));
    Main();
    QCoreApplication::processEvents();
}

void TstAvvioAiuto::componenteCreatoAllAvvio() {
    MessaggiScriptati msg;
    RegistraFrmMagDescInv();
    Avvia(true);
    ContestoSessione& s = Sessione();
    QVERIFY2(msg.mostrati().empty(), qPrintable(msg.testi().join(QLatin1Char('|'))));
    QVERIFY(s.ComponenteAiuto);
    QVERIFY(s.FormAiuto);
    QCOMPARE(s.FattoreHelp, 1.25);
    QCOMPARE(s.FormAiuto->property("odRisVid").toDouble(), 1.25);
    QCOMPARE(s.FormAiuto, s.ComponenteAiuto->FormAiuto()->widget());
    QCOMPARE(s.FormAiuto->windowTitle(), QString("Aiuto"));

    // the component reads the company the start-up opened
    QLineEdit box;
    QLabel lab;
    box.setText(QStringLiteral("m01"));
    QString condizione;
    QCOMPARE(s.ComponenteAiuto->DecodificaCampo(QStringLiteral("Magazzino"), &box, &lab,
                                                std::nullopt, 0, QString(), 0, nullptr, condizione),
             -1);
    QCOMPARE(lab.text(), QString("Sede"));

    // its events reach the program
    auto* c = dynamic_cast<lookup::ComponenteAiutoQt*>(s.ComponenteAiuto);
    QVERIFY(c);
    QTimer::singleShot(0, [c] {
        lookup::FinestraAiuto* f = c->finestra();
        QTRY_VERIFY(f->isVisible());
        QTest::keyClick(f->ricerca(), Qt::Key_M, Qt::ControlModifier);
        QTest::keyClick(f->ricerca(), Qt::Key_Escape);
    });
    bool trovato = false;
    int key = 113;
    box.clear();
    s.ComponenteAiuto->Aiuto(QStringLiteral("Magazzino"), &box, &lab, key, nullptr, std::nullopt,
                             trovato, 0, QString(), QString());
    QVERIFY(m_menu->chiamate.contains(QStringLiteral("MostraMenu")));

    TerminaAvvio();
    QVERIFY(!Sessione().ComponenteAiuto);
}

// Without a lookup component (the start-up tested alone) the program still
// starts.
void TstAvvioAiuto::senzaComponente() {
    MessaggiScriptati msg;
    RegistraFrmMagDescInv();
    Avvia(false);
    QVERIFY2(msg.mostrati().empty(), qPrintable(msg.testi().join(QLatin1Char('|'))));
    QVERIFY(!Sessione().ComponenteAiuto);
    QVERIFY(!Sessione().FormAiuto);
    QVERIFY(Sessione().DbDitta.isOpen());
    TerminaAvvio();
}

QTEST_MAIN(TstAvvioAiuto)
#include "tst_avvioaiuto.moc"
