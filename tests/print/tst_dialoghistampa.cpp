// The print dialogs driven as the operator drives them: the toolbar's
// "Stampa" of a real list (an SQLite company file) opens the list print
// dialog, "&STAMPA" prints it through the print component to a file, and
// the refusals and messages of both dialogs.  The printer parts run on the
// private CUPS scheduler of the test services (skipped without it).

#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "print/OpzioniStampa.h"
#include "printing/FrmComlinStampa.h"
#include "printing/FrmSceltaStam.h"
#include "printing/FrmStampaInCorso.h"
#include "printing/FrmVStampa.h"
#include "printing/SceltaStampante.h"
#include "suite/ComponenteAiuto.h"
#include "suite/FormDati.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"
#include "utility/Utilita.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace quarvel;

namespace {
bool ConCups() {
    return !qEnvironmentVariableIsEmpty("CUPS_SERVER");
}
QStringList Righe(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}
// Printers with long addresses; what the pointer was while their bins and
// papers were read.
class StampantiLunghe final : public IStampanti {
public:
    QVector<CodaStampa> code{
        {QStringLiteral("Ufficio"),
         QStringLiteral("ipp://stampanti.magazzino-centrale.example.it:631/printers/"
                        "ufficio-primo-piano-colori"),
         true},
        {QStringLiteral("Etichette"),
         QStringLiteral("usb://Zebra/ZD420-203dpi?serial=D2J184703210"), false}};
    mutable QList<int> puntatori; // the override cursor's shape, -1 without
    QVector<CodaStampa> Code() const override { return code; }
    QString Predefinita() const override { return code.front().nome; }
    QString PredefinitaDichiarata() const override { return code.front().nome; }
    bool ImpostaPredefinita(const QString&) override { return true; }
    QString Porta(const QString& nome) const override {
        for (const CodaStampa& c : code)
            if (c.nome == nome)
                return c.porta;
        return {};
    }
    QVector<VoceStampante> Cassetti(const QString&) const override {
        annota();
        return {{1, QStringLiteral("tray-1")}};
    }
    QVector<VoceStampante> Formati(const QString&) const override {
        annota();
        return {{1, QStringLiteral("iso_a4_210x297mm")}};
    }
    QString FormatoAttuale(const QString&) const override { return {}; }

private:
    void annota() const {
        const QCursor* c = QGuiApplication::overrideCursor();
        puntatori << (c ? int(c->shape()) : -1);
    }
};

// Unticks both options of a group.
void Nessuna(QRadioButton* a, QRadioButton* b) {
    a->setAutoExclusive(false);
    b->setAutoExclusive(false);
    a->setChecked(false);
    b->setChecked(false);
}
} // namespace

class TstDialoghiStampa : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void stampaDallaToolbar();
    void stampaAVideo();
    void invioSulDialogo_data();
    void invioSulDialogo();
    void messaggiStampa_data();
    void messaggiStampa();
    void stampanteNonImpostabile();
    void sceltaRifiutataDuranteStampa();
    void fissaDisabilitata();
    void scalaStaVid_data();
    void scalaStaVid();
    void orientamento_data();
    void orientamento();
    void paginaEntrata_data();
    void paginaEntrata();
    void griglieStampanti();
    void numeriFissi_data();
    void numeriFissi();
    void entraNelloSchermo();
    void pagineRifiutate();
    void fileSenzaNome();
    void formatoFile_data();
    void formatoFile();
    void cassetti_data();
    void cassetti();
    void sceltaStampante();
    void pannelloSalvataggio();
    void senzaStampante_data();
    void senzaStampante();

private:
    QTemporaryDir m_dir;
    QSqlDatabase m_db;
    QWidget m_form;
    listcmd::Comlin m_comlin;
    FrmComlinStampa* m_dlg = nullptr;
};

void TstDialoghiStampa::initTestCase() {
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).mkpath(QStringLiteral("client"));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(m_dir.filePath(QStringLiteral("client"))));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaUtilita();
    InstallaListaComandi();
    stampa::InstallaStampa();
    InstallaFinestreStampa();
    Sessione().FileIniPrincipale = m_dir.filePath(QStringLiteral("belcor.ini"));
    Sessione().FileIniParametri = m_dir.filePath(QStringLiteral("comune.ini"));
    for (const QString& f : {Sessione().FileIniPrincipale, Sessione().FileIniParametri}) {
        QFile x(f);
        QVERIFY(x.open(QIODevice::WriteOnly));
    }
    Sessione().DescrizioneDitta = QStringLiteral("Ditta di prova");

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dialoghi"));
    m_db.setDatabaseName(m_dir.filePath(QStringLiteral("ditta.db")));
    QVERIFY(m_db.open());
    QSqlQuery q(m_db);
    QVERIFY(q.exec(QStringLiteral(
        "CREATE TABLE Voci (Cod TEXT PRIMARY KEY, Descrizione TEXT, Nota TEXT, Qta DOUBLE)")));
    for (int i = 1; i <= 30; ++i)
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Voci VALUES ('V%1', 'Voce %1', 'n%1', %2)")
                           .arg(i, 2, 10, QLatin1Char('0'))
                           .arg(i * 2.5)));
    auto* l = new QVBoxLayout(&m_form);
    auto* tb = new QToolBar(&m_form);
    auto* contatore = new QLineEdit(&m_form);
    auto* g = new listcmd::Griglia(&m_form);
    l->addWidget(tb);
    l->addWidget(contatore);
    l->addWidget(g);
    m_form.setWindowTitle(QStringLiteral("Voci di prova"));
    m_comlin.setOgForm(&m_form);
    m_comlin.setOgToolbar(tb);
    m_comlin.setOgContatore(contatore);
    m_comlin.setOgGriglia(g);
    m_comlin.setOgDati(g->Dati());
    m_comlin.setOgDatabase(m_db);
    m_comlin.setOiAbilRW(1);
    m_comlin.ApriSql(QStringLiteral("SELECT Cod, Descrizione, Nota, Qta FROM Voci ORDER BY Cod"));
    m_comlin.NascondiColonna(QStringLiteral("Nota"));
    m_comlin.setOfrmComlinSTampa(FinestraComlinStampa());
    m_comlin.setOfrmStampaInCorso(FinestraStampaInCorso());
    m_form.show();
    m_dlg = qobject_cast<FrmComlinStampa*>(FinestraComlinStampa());
    QVERIFY(m_dlg);
    QCOMPARE(FinestraComlinStampa(), m_dlg); // one shared instance
}

void TstDialoghiStampa::init() {
    ImpostaStampaAttiva(0);
    ImpostaStampanteCambiata(0);
}

void TstDialoghiStampa::cleanup() {
    ImpostaStampaAttiva(0);
    m_dlg->close();
}

void TstDialoghiStampa::stampaDallaToolbar() {
    QAction* stampa = m_comlin.Pulsante(QStringLiteral("Stampa"));
    QVERIFY(stampa && stampa->isVisible());
    // a form that has no print hides the button: the list's refreshes
    // leave it hidden
    stampa->setVisible(false);
    m_comlin.EseguiPulsante(QStringLiteral("Aggiorna"));
    QVERIFY(!stampa->isVisible());
    stampa->setVisible(true);
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    QVERIFY(m_dlg->isVisible());
    QCOMPARE(m_dlg->ogComlin(), static_cast<IListaComandi*>(&m_comlin));
    // the dialog starts on every column, portrait, Arial 10
    QVERIFY(m_dlg->OptTipsta(1)->isChecked());
    QVERIFY(m_dlg->OptOrientamento(1)->isChecked());
    QCOMPARE(m_dlg->mgFontStampa().family(), QString("Arial"));
    QCOMPARE(m_dlg->mgFontStampa().pointSize(), 10);
    QCOMPARE(m_dlg->OptTipsta(1)->text(), QString("Tutte le colonne "));

    IOpzioniStampa& o = m_dlg->mgOpzSta();
    QCOMPARE(o.osSezione(), FrmComlinStampa::Sezione());
    o.oiStaVid = DestStampa::File;
    o.oiFileForm = FormatoFile::Testo;
    o.osSepCampi = QStringLiteral(";");
    o.osDelimStr.clear();
    o.osFileName = m_dir.filePath(QStringLiteral("visibili.txt"));
    QTest::mouseClick(m_dlg->OptTipsta(0), Qt::LeftButton);
    QTest::mouseClick(m_dlg->CmdStampa(), Qt::LeftButton);
    QCOMPARE(m_dlg->ogComlin(), nullptr); // released once handed over
    QCOMPARE(StampaAttiva(), qint16(0));
    const QStringList righe = Righe(o.osFileName);
    QCOMPARE(righe.size(), 31);
    QCOMPARE(righe.first(), QString("Cod;Descrizione;Qta"));
    QCOMPARE(righe.last(), QString("V30;Voce 30;75"));
    QVERIFY(!m_dlg->isVisible()); // the list-command object hides it while it prints
    auto* inCorso = qobject_cast<FrmStampaInCorso*>(FinestraStampaInCorso());
    QVERIFY(inCorso && !inCorso->isVisible());
    QCOMPARE(inCorso->ComSTampa()->text(), QString("Interrompi la stampa"));
}

void TstDialoghiStampa::invioSulDialogo_data() {
    QTest::addColumn<QString>("fuoco"); // the control with the focus
    QTest::addColumn<bool>("stampa");   // Enter printed; else it closed the dialog
    QTest::newRow("su &ESCI") << "CmdEsci" << false;
    QTest::newRow("su &STAMPA") << "CmdStampa" << true;
    QTest::newRow("su un'opzione: il pulsante predefinito") << "OptOrientamento(0)" << true;
}

// Enter presses the button with the focus, else the default one, "&STAMPA".
void TstDialoghiStampa::invioSulDialogo() {
    QFETCH(QString, fuoco);
    QFETCH(bool, stampa);
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    QVERIFY(m_dlg->isVisible());
    IOpzioniStampa& o = m_dlg->mgOpzSta();
    o.oiStaVid = DestStampa::File;
    o.oiFileForm = FormatoFile::Testo;
    o.osSepCampi = QStringLiteral(";");
    o.osDelimStr.clear();
    o.osFileName = m_dir.filePath(QStringLiteral("invio.txt"));
    QFile::remove(o.osFileName);
    const QString file = o.osFileName;
    auto* w = m_dlg->findChild<QWidget*>(fuoco);
    QVERIFY(w);
    m_dlg->activateWindow();
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());
    QTest::keyClick(w, Qt::Key_Return);
    QTRY_VERIFY(!m_dlg->isVisible());
    QCOMPARE(QFile::exists(file), stampa);
}

void TstDialoghiStampa::stampaAVideo() {
    // the screen target: "&STAMPA" hands the program's preview form to the
    // print, which shows the list's one page there and ends
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    IOpzioniStampa& o = m_dlg->mgOpzSta();
    o.oiStaVid = DestStampa::Video;
    o.oiMemVid = 0;
    o.ofFatt = 0.67f;
    QTest::mouseClick(m_dlg->CmdStampa(), Qt::LeftButton);
    QCOMPARE(StampaAttiva(), qint16(0));
    QPointer<FrmVStampa> frm = FinestraVStampa();
    QVERIFY(frm->isVisible());
    QCOMPARE(frm->windowTitle(), QString("Visualizzazione Stampa"));
    QCOMPARE(frm->labPage()->text(), QString("Pag.001"));
    QCOMPARE(frm->LabMsg(), QString("Stampa Terminata"));
    // the page is drawn: dark text on the white sheet
    const QImage pagina = frm->PicSec()->Immagine();
    QVERIFY(!pagina.isNull());
    int scuri = 0;
    for (int y = 0; y < pagina.height(); y += 2)
        for (int x = 0; x < pagina.width(); x += 2)
            scuri += qGray(pagina.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY2(scuri > 100, qPrintable(QString::number(scuri)));
    frm->ComEsci()->click();
    QTRY_VERIFY(frm.isNull());
    o.oiStaVid = DestStampa::Stampante;
}

void TstDialoghiStampa::messaggiStampa_data() {
    QTest::addColumn<int>("caso");
    QTest::addColumn<QString>("messaggio");
    QTest::addColumn<QString>("intestazione"); // of the file written; empty: none
    QTest::newRow("stampa in corso") << 0 << "Si può lanciare solo una stampa alla volta"
                                     << "";
    QTest::newRow("nessun orientamento") << 1 << "Scegliere un' orientamento"
                                         << "";
    QTest::newRow("nessun tipo di stampa") << 2 << "Scegliere un tipo di stampa"
                                           << "";
    // frames disabled: -1 and the empty choice pass, every column printed
    QTest::newRow("riquadri disabilitati") << 3 << ""
                                           << "Cod;Descrizione;Nota;Qta";
}

void TstDialoghiStampa::messaggiStampa() {
    QFETCH(int, caso);
    QFETCH(QString, messaggio);
    QFETCH(QString, intestazione);
    MessaggiScriptati msg;
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    IOpzioniStampa& o = m_dlg->mgOpzSta();
    o.oiStaVid = DestStampa::File;
    o.oiFileForm = FormatoFile::Testo;
    o.osSepCampi = QStringLiteral(";");
    o.osDelimStr.clear();
    o.osFileName = m_dir.filePath(QStringLiteral("caso%1.txt").arg(caso));
    switch (caso) {
    case 0:
        ImpostaStampaAttiva(1);
        break;
    case 1:
        Nessuna(m_dlg->OptOrientamento(0), m_dlg->OptOrientamento(1));
        break;
    case 2:
        Nessuna(m_dlg->OptTipsta(0), m_dlg->OptTipsta(1));
        break;
    case 3:
        Nessuna(m_dlg->OptOrientamento(0), m_dlg->OptOrientamento(1));
        Nessuna(m_dlg->OptTipsta(0), m_dlg->OptTipsta(1));
        m_dlg->fraOrientamento()->setEnabled(false);
        m_dlg->FraTipSta()->setEnabled(false);
        break;
    }
    m_dlg->CmdStampa_Click();
    if (messaggio.isEmpty()) {
        QCOMPARE(msg.testi(), QStringList{"File " + o.osFileName + " scritto: 30 righe"});
        QCOMPARE(Righe(o.osFileName).value(0), intestazione);
        QCOMPARE(m_dlg->ogComlin(), nullptr);
    } else {
        QCOMPARE(msg.testi(), QStringList{messaggio});
        QCOMPARE(msg.mostrati().front().tipo, MessaggiScriptati::Tipo::MsgBox);
        QVERIFY(!QFile::exists(o.osFileName));
        QCOMPARE(m_dlg->ogComlin(), static_cast<IListaComandi*>(&m_comlin));
    }
    m_dlg->fraOrientamento()->setEnabled(true);
    m_dlg->FraTipSta()->setEnabled(true);
    for (int i = 0; i < 2; ++i) {
        m_dlg->OptOrientamento(i)->setAutoExclusive(true);
        m_dlg->OptTipsta(i)->setAutoExclusive(true);
    }
}

void TstDialoghiStampa::stampanteNonImpostabile() {
    MessaggiScriptati msg;
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    IOpzioniStampa& o = m_dlg->mgOpzSta();
    o.oiStaVid = DestStampa::Stampante;
    o.osNomeStampante = QStringLiteral("Fantasma");
    m_dlg->CmdStampa_Click();
    QCOMPARE(msg.testi(),
             QStringList{"Impossibile impostare la stampante predefinita\r\n"
                         "per stampare su Fantasma uscire dal programma e rientrare\r\n"
                         "Oppure scegliere un'altra stampante"});
    QCOMPARE(msg.mostrati().front().pulsanti, QStringList{"&Ok"});
    QCOMPARE(m_dlg->ogComlin(), static_cast<IListaComandi*>(&m_comlin)); // not handed over
}

void TstDialoghiStampa::sceltaRifiutataDuranteStampa() {
    MessaggiScriptati msg;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    ImpostaStampaAttiva(1);
    QVERIFY(!d.VisDecodOk());
    QCOMPARE(msg.testi(), QStringList{"C'è una stampa in esecuzione. Non è possibile variare i "
                                      "parametri di stampa"});
    QCOMPARE(msg.mostrati().front().stile & vbCritical, int(vbCritical));
}

void TstDialoghiStampa::fissaDisabilitata() {
    // a list print never offers the fixed-length target, whatever the
    // options held: "Seleziona Stampante" of the list dialog marks it
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::Fissa;
    o.osFisFileName = m_dir.filePath(QStringLiteral("f.txt"));
    o.obStaSuDisab[DestStampa::Fissa] = true;
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    QVERIFY(!d.c<QRadioButton>("OptStampaSu(3)")->isEnabled());
    QVERIFY(!d.c<QPushButton>("ComOpz(3)")->isEnabled());
    QVERIFY(d.c<QRadioButton>("OptStampaSu(1)")->isEnabled()); // the screen is offered
    QVERIFY(d.c<QRadioButton>("OptStampaSu(2)")->isEnabled());
    QCOMPARE(d.c<QRadioButton>("OptStampaSu(3)")->text(), QString("File/stam. a &lung. fissa"));
}

void TstDialoghiStampa::scalaStaVid_data() {
    QTest::addColumn<int>("finestra");
    QTest::addColumn<QString>("controllo");
    QTest::newRow("Scelta della modalità di stampa") << 0 << "CheNumPag";
    QTest::newRow("stampa in corso") << 1 << "lblStamp";
}

void TstDialoghiStampa::scalaStaVid() {
    // The print windows take their scale: 1.5 makes their text half as
    // large again; -1 leaves it as designed.
    QFETCH(int, finestra);
    QFETCH(QString, controllo);
    auto crea = [finestra]() -> std::unique_ptr<QDialog> {
        if (finestra == 0)
            return std::make_unique<FrmSceltaStam>();
        return std::make_unique<FrmStampaInCorso>();
    };
    const double prima = Sessione().FattoreStaVid;
    Sessione().FattoreStaVid = -1;
    const auto normale = crea();
    Sessione().FattoreStaVid = 1.5;
    const auto grande = crea();
    Sessione().FattoreStaVid = prima;
    QWidget* n = normale->findChild<QWidget*>(controllo);
    QWidget* g = grande->findChild<QWidget*>(controllo);
    QVERIFY(n && g);
    const qreal pn = n->font().pointSizeF();
    const qreal pg = g->font().pointSizeF();
    QVERIFY2(qAbs(pg - 1.5 * pn) < 0.6, qPrintable(QStringLiteral("%1 / %2").arg(pg).arg(pn)));
}

void TstDialoghiStampa::orientamento_data() {
    QTest::addColumn<int>("opzione");
    QTest::addColumn<bool>("orizzontale");
    QTest::newRow("Orizzontale") << 0 << true;
    QTest::newRow("Verticale") << 1 << false;
}

// The orientation chosen is the page's: "Orizzontale" prints across.
void TstDialoghiStampa::orientamento() {
    QFETCH(int, opzione);
    QFETCH(bool, orizzontale);
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    IOpzioniStampa& o = m_dlg->mgOpzSta();
    o.oiStaVid = DestStampa::Video;
    o.oiMemVid = 0;
    o.ofFatt = 0.5f;
    QTest::mouseClick(m_dlg->OptOrientamento(opzione), Qt::LeftButton);
    QVERIFY(m_dlg->OptOrientamento(opzione)->isChecked());
    // the first page on screen is looked at, then the preview is left
    // (across the page, the list takes more than one)
    QImage pagina;
    QTimer guarda;
    guarda.setInterval(10);
    connect(&guarda, &QTimer::timeout, this, [&] {
        FrmVStampa* f = qobject_cast<FrmVStampa*>(FinestraVStampa());
        if (!f || !f->isVisible() || f->PicSec()->Immagine().isNull())
            return;
        guarda.stop();
        pagina = f->PicSec()->Immagine();
        f->ComEsci()->click();
    });
    guarda.start();
    QTest::mouseClick(m_dlg->CmdStampa(), Qt::LeftButton);
    guarda.stop();
    QPointer<FrmVStampa> frm = FinestraVStampa();
    if (pagina.isNull() && frm) // a single page: the print has ended on it
        pagina = frm->PicSec()->Immagine();
    QVERIFY(!pagina.isNull());
    QCOMPARE(pagina.width() > pagina.height(), orizzontale);
    if (frm)
        frm->ComEsci()->click();
    QTRY_VERIFY(frm.isNull());
    o.oiStaVid = DestStampa::Stampante;
    m_dlg->OptOrientamento(1)->setChecked(true);
}

void TstDialoghiStampa::paginaEntrata_data() {
    QTest::addColumn<int>("casella");
    QTest::addColumn<int>("gemella");
    QTest::addColumn<int>("destinazione");
    QTest::newRow("Da pagina, stampante") << 10 << 30 << int(DestStampa::Stampante);
    QTest::newRow("A pagina, stampante") << 20 << 40 << int(DestStampa::Stampante);
    QTest::newRow("Da pagina, video") << 30 << 10 << int(DestStampa::Video);
    QTest::newRow("A pagina, video") << 40 << 20 << int(DestStampa::Video);
}

// A page box entered with a click: its number is selected, so what is typed
// replaces it, and it takes the focus colour; left, its twin shows the same
// number in the same colour.
void TstDialoghiStampa::paginaEntrata() {
    QFETCH(int, casella);
    QFETCH(int, gemella);
    QFETCH(int, destinazione);
    ContestoSessione& sessione = Sessione();
    sessione.ColoreConFocus = 0xFFFF80;
    sessione.ColoreSenzaFocus = 0x80000005;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = qint16(destinazione);
    o.setValore(QStringLiteral("PaginaDa"), 1);
    o.setValore(QStringLiteral("PaginaA"), 9);
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    QTRY_VERIFY(d.isActiveWindow());
    auto* box = d.c<QLineEdit>(QStringLiteral("txt(%1)").arg(casella));
    auto* twin = d.c<QLineEdit>(QStringLiteral("txt(%1)").arg(gemella));
    QVERIFY(box && twin && box->isEnabled());
    const QString prima = box->text();
    d.findChild<QScrollArea*>()->ensureWidgetVisible(box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
    QTRY_VERIFY(box->hasFocus());
    QTRY_COMPARE(box->selectedText(), prima);
    QCOMPARE(ColoreSfondo(box), quint32(0xFFFF80));
    QTest::keyClicks(box, QStringLiteral("5"));
    QCOMPARE(box->text(), QString("5"));
    QTest::keyClick(box, Qt::Key_Tab);
    QTRY_VERIFY(!box->hasFocus());
    QCOMPARE(twin->text(), QString("5"));
    QCOMPARE(ColoreSfondo(box), quint32(0x80000005));
    QCOMPARE(ColoreSfondo(twin), ColoreSfondo(box));
    const bool da = casella == 10 || casella == 30;
    QCOMPARE(o.Valore(da ? QStringLiteral("PaginaDa") : QStringLiteral("PaginaA")).toInt(), 5);
}

// The printer grids: every name and address whole; Enter on a printer
// chooses it, its bins and papers read under the hourglass; Enter on a
// port chooses nothing and stays there.
void TstDialoghiStampa::griglieStampanti() {
    StampantiLunghe finte;
    RegistraFabbricheStampa({nullptr, nullptr, &finte});
    struct Ripristina {
        ~Ripristina() { stampa::InstallaStampa(); }
    } ripristina;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    QTRY_VERIFY(d.isActiveWindow());
    for (const char* nome : {"GriPri", "GriPorte"}) {
        auto* gri = d.c<QTableWidget>(QString::fromLatin1(nome));
        QCOMPARE(gri->rowCount(), 2);
        for (int r = 0; r < gri->rowCount(); ++r)
            for (int col : {1, 2}) {
                const QString testo = gri->item(r, col)->text();
                const int serve = gri->fontMetrics().horizontalAdvance(testo);
                QVERIFY2(gri->columnWidth(col) >= serve,
                         qPrintable(QStringLiteral("%1: \"%2\" %3 wide in a column of %4")
                                        .arg(QLatin1String(nome), testo)
                                        .arg(serve)
                                        .arg(gri->columnWidth(col))));
            }
    }
    QVERIFY(!finte.puntatori.isEmpty());
    auto* gri = d.c<QTableWidget>(QStringLiteral("GriPri"));
    d.findChild<QScrollArea*>()->ensureWidgetVisible(gri);
    gri->setFocus();
    gri->setCurrentCell(1, 1);
    finte.puntatori.clear();
    QTest::keyClick(gri, Qt::Key_Return);
    QCOMPARE(o.osNomeStampante, QString("Etichette"));
    QCOMPARE(o.osNomePorta, finte.code[1].porta);
    QVERIFY(gri->hasFocus());
    QCOMPARE(finte.puntatori, QList<int>({int(Qt::WaitCursor), int(Qt::WaitCursor)}));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // back to the normal pointer

    o.oiStaVid = DestStampa::Fissa;
    d.c<QRadioButton>(QStringLiteral("OptStampaSu(3)"))->click();
    auto* porte = d.c<QTableWidget>(QStringLiteral("GriPorte"));
    d.findChild<QScrollArea*>()->ensureWidgetVisible(porte);
    porte->setFocus();
    porte->setCurrentCell(0, 1);
    const QString fisso = o.osFisFileName;
    QTest::keyClick(porte, Qt::Key_Return);
    QVERIFY(porte->hasFocus());
    QCOMPARE(o.osFisFileName, fisso);
}

void TstDialoghiStampa::numeriFissi_data() {
    QTest::addColumn<QString>("casella");
    QTest::addColumn<int>("membro");
    QTest::newRow("Righe vuote in alto") << "TxtFisMrAlt" << 0;
    QTest::newRow("Righe vuote in basso") << "TxtFisMrBas" << 1;
    QTest::newRow("Colonne") << "TxtFisColonne" << 2;
    QTest::newRow("Righe per pagina") << "TxtFisRighe" << 3;
}

// The fixed-length numbers: Enter writes the number typed and moves on.
void TstDialoghiStampa::numeriFissi() {
    QFETCH(QString, casella);
    QFETCH(int, membro);
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::Fissa;
    o.osFisFileName = m_dir.filePath(QStringLiteral("fisso.txt"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    QTRY_VERIFY(d.isActiveWindow());
    auto* box = d.c<QLineEdit>(casella);
    QVERIFY(box && box->isEnabled());
    d.findChild<QScrollArea*>()->ensureWidgetVisible(box);
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("132"));
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY(!box->hasFocus());
    const qint16 valori[] = {o.oiFisMrAlt, o.oiFisMrBas, o.oiFisColonne, o.oiFisRighe};
    QCOMPARE(valori[membro], qint16(132));
}

// On a screen shorter than its frames (a laptop's), and at the print
// windows' larger scale, the dialog stays within the screen: the frames
// scroll, and the buttons are in view.
void TstDialoghiStampa::entraNelloSchermo() {
    const double prima = Sessione().FattoreStaVid;
    Sessione().FattoreStaVid = 1.5;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    FrmSceltaStam d;
    Sessione().FattoreStaVid = prima;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    QTRY_VERIFY(d.isActiveWindow());
    const QRect schermo = d.screen()->availableGeometry();
    QVERIFY2(d.sizeHint().height() > schermo.height(), "the frames fit the screen anyway");
    QVERIFY2(d.height() <= schermo.height(),
             qPrintable(QStringLiteral("%1 > %2").arg(d.height()).arg(schermo.height())));
    for (const char* nome : {"ComChiudi", "ComSalOpz", "LabStaAttuale"}) {
        QWidget* w = d.controllo(QString::fromLatin1(nome));
        QVERIFY(w && w->isVisible());
        const QRect dove(w->mapTo(&d, QPoint(0, 0)), w->size());
        QVERIFY2(d.rect().contains(dove), nome);
    }
    // a control below the fold comes into view when it takes the focus
    QTest::mouseClick(d.c<QRadioButton>("OptStampaSu(3)"), Qt::LeftButton);
    QWidget* giu = d.c<QPushButton>("ComOpz(3)");
    QVERIFY(giu && giu->isEnabled());
    QVERIFY(!QRect(giu->mapTo(&d, QPoint(0, 0)), giu->size()).intersects(d.rect()));
    giu->setFocus();
    QTRY_VERIFY(QRect(giu->mapTo(&d, QPoint(0, 0)), giu->size()).intersects(d.rect()));
}

void TstDialoghiStampa::pagineRifiutate() {
    MessaggiScriptati msg;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    auto* da = d.c<QLineEdit>("txt(10)");
    auto* a = d.c<QLineEdit>("txt(20)");
    da->setText(QStringLiteral("3"));
    emit da->editingFinished();
    a->setText(QStringLiteral("0"));
    emit a->editingFinished();
    QCOMPARE(o.Valore("PaginaDa").toInt(), 3);
    QCOMPARE(o.Valore("PaginaA").toInt(), 0);
    QCOMPARE(d.c<QLineEdit>("txt(30)")->text(), QString("3")); // the twin box
    QVERIFY(!d.close());
    QVERIFY(d.isVisible());
    QCOMPARE(msg.testi(), QStringList{"Selezione Pagina Da maggiore di Pagina A"});
    a->setText(QStringLiteral("5"));
    emit a->editingFinished();
    QVERIFY(d.close());
}

void TstDialoghiStampa::fileSenzaNome() {
    MessaggiScriptati msg;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    d.c<QRadioButton>("OptStampaSu(2)")->click();
    QCOMPARE(o.oiStaVid, DestStampa::File);
    QVERIFY(d.controllo("FraOpz(2)")->isEnabled());
    QVERIFY(!d.controllo("FraOpz(0)")->isEnabled());
    QVERIFY(!d.close());
    QCOMPARE(msg.testi(),
             QStringList{"In caso di stampa su file è obbligatorio specificare il nome file."});
    o.osFileName = m_dir.filePath(QStringLiteral("x.csv"));
    QVERIFY(d.close());
}

void TstDialoghiStampa::formatoFile_data() {
    QTest::addColumn<int>("formato");
    QTest::addColumn<bool>("separatori");
    QTest::addColumn<bool>("numNoForm");
    QTest::addColumn<QString>("descrizione");
    QTest::newRow("Compatibile Excel") << 0 << false << false << "Compatibile Excel";
    QTest::newRow("Testo") << 1 << true << true << "Testo";
    QTest::newRow("Formato Excel") << 2 << false << true << "Formato Excel";
}

void TstDialoghiStampa::formatoFile() {
    QFETCH(int, formato);
    QFETCH(bool, separatori);
    QFETCH(bool, numNoForm);
    QFETCH(QString, descrizione);
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::File;
    o.oiFileForm = qint16(formato);
    o.osSepCampi = QStringLiteral("\t");
    o.osDelimStr = QStringLiteral("'");
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    QCOMPARE(d.controllo("Fra(1)")->isEnabled(), separatori);
    QCOMPARE(d.controllo("Fra(2)")->isEnabled(), separatori);
    QCOMPARE(d.c<QCheckBox>("CheNumNoForm")->isEnabled(), numNoForm);
    QCOMPARE(d.c<QLabel>("LabFileForm")->text(), descrizione);
    if (formato == 0) // the spreadsheet's separator and qualifier applied
        QVERIFY(d.c<QRadioButton>("OptSepCampi(1)")->isChecked());
    if (formato == 1) { // the options' own, and a click writes at once
        QVERIFY(d.c<QRadioButton>("OptSepCampi(0)")->isChecked());
        QVERIFY(d.c<QRadioButton>("OptDelimStr(1)")->isChecked());
        QTest::mouseClick(d.c<QRadioButton>("OptSepCampi(2)"), Qt::LeftButton);
        QCOMPARE(o.osSepCampi, QString(","));
        QTest::mouseClick(d.c<QRadioButton>("OptDelimStr(2)"), Qt::LeftButton);
        QCOMPARE(o.osDelimStr, QString());
    }
}

void TstDialoghiStampa::cassetti_data() {
    QTest::addColumn<QString>("noCassetti");
    QTest::addColumn<int>("voci");
    QTest::newRow("nessuna esclusa") << "" << 4;
    QTest::newRow("tutte") << "TUTTE" << 1;
    QTest::newRow("nominata fra due") << "Ufficio,QuarvelPDF" << 1;
    QTest::newRow("altre nominate") << "Ufficio,QuarvelPDFx" << 4;
}

void TstDialoghiStampa::cassetti() {
    if (!ConCups())
        QSKIP("scheduler CUPS di prova non avviato");
    QFETCH(QString, noCassetti);
    QFETCH(int, voci);
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = QStringLiteral("QuarvelPDF");
    o.setValore(QStringLiteral("NumCassetto"), 2);
    FrmSceltaStam d;
    d.setMsStampantiNoCassetti(noCassetti);
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    auto* cbo = d.c<QComboBox>("cboCassetti");
    QCOMPARE(cbo->count(), voci);
    QCOMPARE(cbo->itemText(0), QString("Nessuna impostazione - Default"));
    if (voci > 1) {
        QCOMPARE(cbo->itemText(2), QString("     2 - tray-2"));
        QCOMPARE(cbo->currentIndex(), 2); // the bin of the options
        cbo->setCurrentIndex(3);
        emit cbo->activated(3);
        QCOMPARE(o.Valore("NumCassetto").toInt(), 3);
        cbo->setCurrentIndex(0);
        emit cbo->activated(0);
        QCOMPARE(o.Valore("NumCassetto").toInt(), 0);
    }
    auto* carta = d.c<QComboBox>("cboTipoCarta");
    QCOMPARE(carta->count(), 4);
    QCOMPARE(carta->itemText(1), QString("1 - iso_a4_210x297mm (ATTUALE)")); // the queue's own
    QCOMPARE(carta->itemText(2), QString("2 - iso_a3_297x420mm"));
    MessaggiScriptati msg;
    d.c<QPushButton>("ComPaperSize")->click();
    QCOMPARE(msg.testi(), QStringList{"Formati disponibili \r\n1 - iso_a4_210x297mm (ATTUALE)\r\n"
                                      "2 - iso_a3_297x420mm\r\n3 - na_letter_8.5x11in"});
}

void TstDialoghiStampa::sceltaStampante() {
    if (!ConCups())
        QSKIP("scheduler CUPS di prova non avviato");
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.setValore(QStringLiteral("NumCassetto"), 2);
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    auto* gri = d.c<QTableWidget>("GriPri");
    int riga = -1;
    for (int r = 0; r < gri->rowCount(); ++r)
        if (gri->item(r, 1)->text() == QLatin1String("QuarvelRaw"))
            riga = r;
    QVERIFY(riga >= 0);
    QCOMPARE(gri->item(riga, 0)->text(), QString::number(riga));
    d.ScegliStampante(riga, false);
    QCOMPARE(o.osNomeStampante, QString("QuarvelRaw"));
    QCOMPARE(o.osNomePorta, Stampanti().Porta(QStringLiteral("QuarvelRaw")));
    QCOMPARE(o.Valore("NumCassetto").toInt(), 0);
    QCOMPARE(d.c<QComboBox>("cboCassetti")->count(), 1); // a raw queue has no bins
    d.ScegliStampante(-1, true);                         // "Stampante predefinita"
    QVERIFY(o.osNomeStampante.isEmpty());
    QCOMPARE(o.osNomePorta, Stampanti().Porta(QStringLiteral("QuarvelPDF")));
}

void TstDialoghiStampa::pannelloSalvataggio() {
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.oiStaVid = DestStampa::File;
    o.osFileName = m_dir.filePath(QStringLiteral("pannello.csv"));
    FrmSceltaStam d;
    d.setOgOpzSta(&o);
    QVERIFY(d.VisDecodOk());
    d.show();
    QVERIFY(!d.controllo("PicSalPar")->isVisible());
    QTest::mouseClick(d.c<QPushButton>("ComSalOpz"), Qt::LeftButton);
    QVERIFY(d.controllo("PicSalPar")->isVisible());
    QCOMPARE(d.c<QPushButton>("comOk")->text(), QString("&Salvare"));
    QCOMPARE(d.c<QGroupBox>("FraQualeIni")->title(), QString("Dove salvare"));
    QVERIFY(d.c<QCheckBox>("Che(24)")->isChecked());
    QCOMPARE(d.c<QLabel>("LabValParam(0)")->text(), QString("File"));
    QCOMPARE(d.c<QLabel>("LabDaSalvare(7)")->text(),
             QString("Tolgo il formato nei campi numerici  per stampe su file:"));
    // nothing ticked: nothing written, the panel hides
    QTest::mouseClick(d.c<QPushButton>("ComDeSelTutto"), Qt::LeftButton);
    QTest::mouseClick(d.c<QPushButton>("comOk"), Qt::LeftButton);
    QVERIFY(!d.controllo("PicSalPar")->isVisible());
    QCOMPARE(QFileInfo(Sessione().FileIniPrincipale).size(), 0);
    // two ticked, this print, the common file
    QTest::mouseClick(d.c<QPushButton>("ComSalOpz"), Qt::LeftButton);
    QTest::mouseClick(d.c<QPushButton>("ComDeSelTutto"), Qt::LeftButton);
    d.c<QCheckBox>("Che(0)")->setChecked(true);
    d.c<QCheckBox>("Che(2)")->setChecked(true);
    d.c<QRadioButton>("OptIniStd")->setChecked(true);
    d.c<QRadioButton>("OptSalInStamp")->setChecked(true);
    QTest::mouseClick(d.c<QPushButton>("comOk"), Qt::LeftButton);
    QFile f(Sessione().FileIniParametri);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), "[Prova]\nStaVid=2\nFileName=" + o.osFileName + "\n");
    // and deleted again
    QTest::mouseClick(d.c<QPushButton>("ComCancOpz"), Qt::LeftButton);
    QCOMPARE(d.c<QPushButton>("comOk")->text(), QString("&Cancellare"));
    QCOMPARE(d.c<QGroupBox>("FraQualeIni")->title(), QString("Dove cancellare"));
    QTest::mouseClick(d.c<QPushButton>("comOk"), Qt::LeftButton);
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), QString("[Prova]\n")); // the common file keeps it
}

namespace {
// No printer at all, while it lives: neither a current one nor a queue.
class NessunaStampante final : public IStampanti {
public:
    NessunaStampante() : m_corrente(StampanteCorrente()) {
        RegistraFabbricheStampa({nullptr, nullptr, this});
        ImpostaStampanteCorrente(QString());
    }
    ~NessunaStampante() override {
        stampa::InstallaStampa();
        ImpostaStampanteCorrente(m_corrente);
    }
    QVector<CodaStampa> Code() const override { return {}; }
    QString Predefinita() const override { return {}; }
    QString PredefinitaDichiarata() const override { return {}; }
    bool ImpostaPredefinita(const QString&) override { return false; }
    QString Porta(const QString&) const override { return {}; }
    QVector<VoceStampante> Cassetti(const QString&) const override { return {}; }
    QVector<VoceStampante> Formati(const QString&) const override { return {}; }
    QString FormatoAttuale(const QString&) const override { return {}; }

private:
    QString m_corrente;
};
} // namespace

void TstDialoghiStampa::senzaStampante_data() {
    QTest::addColumn<QList<int>>("risposte");
    QTest::addColumn<QString>("dove"); // "video", "pdf", "xlsx" or "" for nowhere
    QTest::newRow("a video") << QList<int>{1} << "video";
    QTest::newRow("file pdf") << QList<int>{2, 1} << "pdf";
    QTest::newRow("foglio di lavoro") << QList<int>{2, 2} << "xlsx";
    QTest::newRow("annullata") << QList<int>{3} << "";
    QTest::newRow("annullata al file") << QList<int>{2, 3} << "";
}

void TstDialoghiStampa::senzaStampante() {
    // With no printer set up "&STAMPA" offers the screen or a file in the
    // documents folder in place of an error, and the print is not lost;
    // the options keep their printer target.
    QFETCH(QList<int>, risposte);
    QFETCH(QString, dove);
    m_comlin.EseguiPulsante(QStringLiteral("Stampa"));
    IOpzioniStampa& o = m_dlg->mgOpzSta();
    o.oiStaVid = DestStampa::Stampante;
    o.osNomeStampante.clear();
    o.oiMemVid = 0;
    QVERIFY(m_comlin.ogSta());
    const QString documenti = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir(documenti).removeRecursively();
    MessaggiScriptati msg;
    for (int r : risposte)
        msg.rispondi(r);
    {
        NessunaStampante nessuna;
        m_dlg->CmdStampa_Click();
    }
    QVERIFY(!msg.rispostePendenti());
    QVERIFY(!msg.testi().isEmpty());
    QVERIFY2(msg.testi().front().startsWith("Nessuna stampante predefinita: la stampa non può "
                                            "andare su carta."),
             qPrintable(msg.testi().front()));
    QCOMPARE(msg.mostrati().front().pulsanti, (QStringList{"A &video", "In un &file", "&Annulla"}));
    for (const QString& t : msg.testi())
        QVERIFY2(!t.startsWith("Errore("), qPrintable(t));
    QCOMPARE(o.oiStaVid, DestStampa::Stampante);
    QVERIFY(!o.Valore("PdfAutomAbil").toBool());
    const QStringList file = QDir(documenti).entryList(QDir::Files);
    QPointer<FrmVStampa> frm = FinestraVStampa();
    if (dove == "video") {
        QVERIFY(frm->isVisible());
        QCOMPARE(frm->LabMsg(), QString("Stampa Terminata"));
        QVERIFY(file.isEmpty());
    } else if (dove.isEmpty()) {
        QVERIFY(!frm->isVisible());
        QVERIFY(file.isEmpty());
        QCOMPARE(m_dlg->ogComlin(), static_cast<IListaComandi*>(&m_comlin)); // not handed over
    } else {
        QVERIFY(!frm->isVisible());
        QCOMPARE(file.size(), 1);
        QVERIFY2(file.front().endsWith("." + dove), qPrintable(file.front()));
        QVERIFY(QFileInfo(documenti + "/" + file.front()).size() > 0);
        QCOMPARE(msg.testi().last().left(msg.testi().last().indexOf(" scritto")),
                 "File " + QDir(documenti).filePath(file.front()));
    }
    frm->ComEsci()->click();
    QTRY_VERIFY(frm.isNull());
}

QTEST_MAIN(TstDialoghiStampa)
#include "tst_dialoghistampa.moc"
