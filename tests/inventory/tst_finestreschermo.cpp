// Every window of the program opens inside the screen's work area, its
// frame included: the data forms, the print windows, the counts form's
// dialogs, the loading notice, at the usual screen sizes with a panel taking
// room and with an explicit scale.  Offscreen the screen is simulated (a
// panel at the bottom or at the top); under X with a window manager
// (QUARVEL_SCHERMO_REALE=1) the real screen and the real frames count.

#include "DittaForm.h"
#include "data/Schema.h"
#include "database/FrmConn.h"
#include "desktop/AdattaSchermo.h"
#include "desktop/Scala.h"
#include "desktop/Schermo.h"
#include "inventory/FrmCaricaFile.h"
#include "inventory/FrmGestInv.h"
#include "inventory/FrmRicMagTrasf.h"
#include "inventory/FrmSelIniCarFile.h"
#include "lifo/FrmLiFo.h"
#include "lifo/FrmMagDescInv.h"
#include "print/OpzioniStampa.h"
#include "printing/FrmComlinStampa.h"
#include "printing/FrmSceltaStam.h"
#include "printing/FrmStampaInCorso.h"
#include "printing/FrmVStaPar.h"
#include "printing/FrmVStampa.h"
#include "support/MenuValori.h"
#include "support/MotoriProva.h"

#include <QHeaderView>
#include <QPointer>
#include <QSqlError>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <functional>
#include <memory>

using namespace quarvel;
using namespace prova;

namespace {

bool SchermoReale() {
    return qEnvironmentVariableIntValue("QUARVEL_SCHERMO_REALE") == 1;
}

struct Schermo {
    QRect geometria; // empty: the real one
    QRect area;
    double fattore = 0; // "Risoluzione Video", "Generale": 0 automatic
};

enum class Finestra {
    DateInventario,
    LiFo,
    GestioneInventari,
    StampaLista,
    SceltaStampa,
    Anteprima,
    GrandezzaAnteprima,
    StampaInCorso,
    SceltaSetCarico,
    CaricaFile,
    RichiestaMagazzino,
    Caricamento,
};

} // namespace

Q_DECLARE_METATYPE(Schermo)
Q_DECLARE_METATYPE(Finestra)

class TstFinestreSchermo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void nelloSchermo_data();
    void nelloSchermo();

private:
    QWidget* apri(Finestra f);
    template <class F> F* forma(F* form);

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_finestre")};
    DittaForm m_ditta;
    MenuValori m_menu;
    int m_serie = 0;
    stampa::OpzioniStampa m_opzioni{QStringLiteral("Prova")};
    std::vector<QPointer<QWidget>> m_aperte;
    QPointer<FrmLista> m_form;
};

void TstFinestreSchermo::initTestCase() {
    QVERIFY(m_dir.isValid());
    DittaForm::Installa(m_pg);
    stampa::InstallaStampa();
    // as the program does at start
    InstallaAdattamentoSchermo();
}

void TstFinestreSchermo::cleanup() {
    for (QPointer<QWidget>& w : m_aperte)
        delete w.data();
    m_aperte.clear();
    ScaricaFrmConn();
    if (m_form)
        m_ditta.Chiudi(m_form);
    else if (m_ditta.dati)
        m_ditta.Chiudi(m_form);
    ImpostaSchermoSimulato(std::nullopt);
}

void TstFinestreSchermo::cleanupTestCase() {
    AzzeraSessione();
    m_pg.Elimina();
}

void TstFinestreSchermo::nelloSchermo_data() {
    QTest::addColumn<Schermo>("schermo");
    QTest::addColumn<Finestra>("finestra");
    std::vector<std::pair<const char*, Schermo>> schermi;
    if (SchermoReale()) {
        schermi = {{"automatica", {{}, {}, 0}}, {"scala 1,5", {{}, {}, 1.5}}};
    } else {
        schermi = {
            {"1366x768 pannello in basso", {{0, 0, 1366, 768}, {0, 0, 1366, 728}, 0}},
            {"1920x1080 pannello in alto", {{0, 0, 1920, 1080}, {0, 30, 1920, 1050}, 0}},
            {"1366x768 scala 1,5", {{0, 0, 1366, 768}, {0, 0, 1366, 740}, 1.5}},
        };
    }
    const std::pair<const char*, Finestra> finestre[] = {
        {"Date inventario", Finestra::DateInventario},
        {"Gestione LIFO Articoli", Finestra::LiFo},
        {"Gestione inventari", Finestra::GestioneInventari},
        {"Stampa dati della lista", Finestra::StampaLista},
        {"Scelta della modalità di stampa", Finestra::SceltaStampa},
        {"Visualizzazione Stampa", Finestra::Anteprima},
        {"Grandezza visualizzazione stampe", Finestra::GrandezzaAnteprima},
        {"Stampa in corso", Finestra::StampaInCorso},
        {"Scelta del set di carico", Finestra::SceltaSetCarico},
        {"Carico da file", Finestra::CaricaFile},
        {"Richiesta Magazzino", Finestra::RichiestaMagazzino},
        {"Caricamento maschera", Finestra::Caricamento},
    };
    for (const auto& [nomeSchermo, schermo] : schermi)
        for (const auto& [nome, finestra] : finestre)
            QTest::addRow("%s, %s", nome, nomeSchermo) << schermo << finestra;
}

template <class F> F* TstFinestreSchermo::forma(F* form) {
    const QString nome = QStringLiteral("ditta%1").arg(++m_serie);
    const QString file = m_dir.filePath(nome + QStringLiteral(".db"));
    m_ditta.db = ConnessioneProva(Motore::Sqlite, nome, file, m_pg);
    if (!m_ditta.db.open())
        qFatal("%s", qPrintable(m_ditta.db.lastError().text()));
    dati::CreaDitta(m_ditta.db, true);
    m_menu.valori = {{QStringLiteral("Mag.MagPrincipale"), QStringLiteral("M01")},
                     {QStringLiteral("Mag.NumDecQta"), QStringLiteral("2")},
                     {QStringLiteral("Mag.GesTaglie"), QStringLiteral("S")}};
    m_ditta.Collega(Motore::Sqlite, file, m_pg, &m_menu);
    m_form = form;
    QString a, b;
    form->TabellaStd(a, b);
    form->Avvia();
    return form;
}

QWidget* TstFinestreSchermo::apri(Finestra f) {
    auto mostra = [this](QWidget* w) {
        m_aperte.emplace_back(w);
        w->show();
        return w;
    };
    switch (f) {
    case Finestra::DateInventario:
        return forma(CreaFrmMagDescInv());
    case Finestra::LiFo:
        return forma(CreaFrmLiFo());
    case Finestra::GestioneInventari:
        return forma(CreaFrmGestInv());
    case Finestra::StampaLista:
        return mostra(new FrmComlinStampa);
    case Finestra::SceltaStampa: {
        auto* d = new FrmSceltaStam;
        d->setOgOpzSta(&m_opzioni);
        d->VisDecodOk();
        return mostra(d);
    }
    case Finestra::Anteprima:
        return mostra(new FrmVStampa);
    case Finestra::GrandezzaAnteprima:
        return mostra(new FrmVStaPar);
    case Finestra::StampaInCorso:
        return mostra(new FrmStampaInCorso);
    case Finestra::SceltaSetCarico:
        return mostra(new FrmSelIniCarFile);
    case Finestra::CaricaFile:
        return mostra(new FrmCaricaFile);
    case Finestra::RichiestaMagazzino:
        return mostra(new FrmRicMagTrasf);
    case Finestra::Caricamento: {
        FrmConn* c = frmConn();
        c->MostraConnessione(QStringLiteral("Caricamento maschera"),
                             QStringLiteral("Caricamento maschera Gestione inventari"), true);
        return c;
    }
    }
    return nullptr;
}

void TstFinestreSchermo::nelloSchermo() {
    QFETCH(Schermo, schermo);
    QFETCH(Finestra, finestra);
    if (!schermo.geometria.isEmpty()) {
        MetricheSchermo m;
        m.geometria = schermo.geometria;
        m.areaUtile = schermo.area;
        ImpostaSchermoSimulato(m);
    }
    const double fattore = schermo.fattore;
    ImpostaLettoreFattore([fattore](const QString& chiave, const QString& predefinito) {
        return chiave == QLatin1String("Generale") ? fattore : predefinito.toDouble();
    });
    RisolviFattoriScala();

    QWidget* w = apri(finestra);
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    if (SchermoReale()) // the window manager's frame around it
        QTRY_VERIFY_WITH_TIMEOUT(!w->windowHandle()->frameMargins().isNull(), 5000);
    const QRect area = AreaUtileFinestra(w);
    auto descrivi = [&] {
        const QRect c = w->frameGeometry();
        return QStringLiteral("frame %1,%2 %3x%4 outside the work area %5,%6 %7x%8")
            .arg(c.x())
            .arg(c.y())
            .arg(c.width())
            .arg(c.height())
            .arg(area.x())
            .arg(area.y())
            .arg(area.width())
            .arg(area.height())
            .toLocal8Bit();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(area.contains(w->frameGeometry()), descrivi().constData(), 3000);

    if (finestra == Finestra::GestioneInventari) {
        // the columns in sight, Giacenza the last one, the list below the
        // header once the window has settled
        auto* vista = qobject_cast<QTableView*>(m_form->dbgRiga()->widget());
        QVERIFY(vista);
        QTest::qWait(800);
        QWidget* testa = m_form->findChild<QWidget*>(QStringLiteral("PictTesta"));
        QVERIFY(testa);
        QVERIFY2(vista->geometry().top() >= testa->geometry().bottom(),
                 qPrintable(QStringLiteral("list at %1, header down to %2")
                                .arg(vista->geometry().top())
                                .arg(testa->geometry().bottom())));
        QTRY_VERIFY(vista->viewport()->width() > 0);
        QTRY_VERIFY2(vista->horizontalHeader()->length() <= vista->viewport()->width(),
                     qPrintable(QStringLiteral("columns %1 wide in a list %2 wide")
                                    .arg(vista->horizontalHeader()->length())
                                    .arg(vista->viewport()->width())));
    }
}

QTEST_MAIN(TstFinestreSchermo)
#include "tst_finestreschermo.moc"
