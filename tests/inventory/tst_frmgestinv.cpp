// The inventory counts form driven with real key and mouse events, with the
// real grid, list-command object, data component and lookup component, over
// an SQLite file and over PostgreSQL (skipped when the test service has not
// exported QUARVEL_PG_*).

#include "DittaForm.h"
#include "aiuto/CampiAiuto.h"
#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "desktop/DialogoMessaggi.h"
#include "desktop/FrmMsgCom.h"
#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "inventory/FrmGestInv.h"
#include "inventory/FrmSelIniCarFile.h"
#include "listcmd/Comlin.h"
#include "listform/Tastiera.h"
#include "lookup/ComponenteAiutoQt.h"
#include "lookup/FinestraAiuto.h"
#include "startup/Principale.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ListaComandi.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "support/MenuValori.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"
#include <QFile>
#include <QListWidget>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>

using namespace quarvel;
using namespace prova;

namespace {

void Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

// Articles with and without level groups and barcodes, two warehouses, three
// headers (two on the same latest date), counts on INV-B.
void RiempiDitta(QSqlDatabase& db, bool testate) {
    dati::CreaDitta(db, true);
    Esegui(db, QStringLiteral(
                   "INSERT INTO Articoli (Articolo, Descrizione, BarCode, LivGruppo1, LivGruppo2, "
                   "Inattivo, FlagLivLis) VALUES "
                   "('ART001', 'Vite esagonale', '8001001', 'TG', NULL, 'N', 'N'), "
                   "('ART002', 'Bullone zincato', '8001002', NULL, NULL, 'N', 'N'), "
                   "('ART003', 'Dado', '8001003', NULL, NULL, 'N', 'N'), "
                   "('BRT010', 'Staffa', '9000010', 'TG', 'CL', 'N', 'N')"));
    Esegui(db, QStringLiteral("INSERT INTO LivGruppi (LivGruppo, Descrizione) VALUES "
                              "('TG', 'Taglia'), ('CL', 'Colore')"));
    Esegui(db, QStringLiteral("INSERT INTO Livelli (LivGruppo, Livello, Descrizione) VALUES "
                              "('TG', 'S', 'Piccola'), ('TG', 'M', 'Media'), "
                              "('CL', 'ROSSO', 'Rosso')"));
    Esegui(db, QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                              "('M01', 'Sede'), ('M02', 'Deposito Nord')"));
    if (!testate)
        return;
    Esegui(db, QStringLiteral("INSERT INTO MagDescrInv (CodInv, DataInvent, Descrizione) VALUES "
                              "('INV-0', '2023-12-31', 'Vecchio'), "
                              "('INV-A', '2024-12-31', 'Fine anno A'), "
                              "('INV-B', '2024-12-31', 'Fine anno B')"));
    Esegui(db, QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                              "Magazzino, Giacenza) VALUES "
                              "('INV-B', 'ART003', '~ç~', '~ç~', 'M01', 7), "
                              "('INV-B', 'ART002', '~ç~', '~ç~', 'M02', 4), "
                              "('INV-A', 'ART002', '~ç~', '~ç~', 'M01', 9)"));
}

QWidget* Fuoco() {
    return QApplication::focusWidget();
}
void Premi(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QWidget* w = Fuoco();
    QVERIFY2(w, "nessun controllo ha il fuoco");
    QTest::keyClick(w, k, m);
}
void Scrivi(const QString& testo, int ritardo = -1) {
    for (QChar c : testo) {
        QWidget* w = Fuoco();
        QVERIFY2(w, "nessun controllo ha il fuoco");
        QTest::keyClick(w, c.toLatin1(), Qt::NoModifier, ritardo);
    }
}

// The program's message dialog in place of the scripted answers, as long as
// it lives.  Each message that opens is read (its text, and the text of the
// grid cell it speaks of), and answered with the key the case chooses once
// the dialog has been up long enough for a deliberate key.
class MessaggiVeri {
public:
    explicit MessaggiVeri(ServizioMessaggi* dopo, QAbstractItemView* vista,
                          std::function<Qt::Key(const QString&)> tasto = {},
                          int attesaMs = FrmMsgCom::GuardiaMs + 150)
        : m_dopo(dopo), m_vista(vista), m_tasto(std::move(tasto)), m_attesa(attesaMs) {
        ImpostaServizioMessaggi(&m_dialogo);
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { guarda(); });
        m_timer.start();
    }
    ~MessaggiVeri() { ImpostaServizioMessaggi(m_dopo); }

    QStringList testi; // what each message said, the codes listed in it included
    QStringList celle; // the text of the cell being typed into when it opened
    QList<QPointer<FrmMsgCom>> aperti;
    // The answer is left to the case while false.
    bool rispondi = true;

    void guarda() {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (f && (aperti.isEmpty() || aperti.back() != f)) {
            aperti << f;
            testi << f->LabMessaggio()->text();
            QLineEdit* ed = m_vista ? m_vista->findChild<QLineEdit*>("dbgRigaEditor") : nullptr;
            celle << (ed ? ed->text() : QString());
            m_daQuando.start();
        }
        if (f && rispondi && m_daQuando.elapsed() >= m_attesa) {
            testi.back() = f->LabMessaggio()->text(); // the codes it may have listed since
            QWidget* w = f->focusWidget() ? f->focusWidget() : f;
            QTest::keyClick(w, m_tasto ? m_tasto(testi.back()) : Qt::Key_Return);
        }
    }

private:
    DialogoMessaggi m_dialogo;
    ServizioMessaggi* m_dopo;
    QAbstractItemView* m_vista;
    std::function<Qt::Key(const QString&)> m_tasto;
    int m_attesa;
    QTimer m_timer;
    QElapsedTimer m_daQuando;
};

// Sound calls, counted.
class SuoniContati final : public RiproduttoreSuoni {
public:
    int volte = 0;
    void beep() override { ++volte; }
    void file(const QString&) override { ++volte; }
    void tono(qint32, qint32) override { ++volte; }
    void memoria(const QByteArray&) override { ++volte; }
};

// A keyboard-wedge scanner: the code and Return, a few ms a key, into
// whatever has the focus.
void Leggi(const QString& codice) {
    for (QChar c : codice) {
        QWidget* w = QApplication::focusWidget();
        if (w)
            QTest::keyClick(w, c.toLatin1(), Qt::NoModifier, 2);
    }
    if (QWidget* w = QApplication::focusWidget())
        QTest::keyClick(w, Qt::Key_Return);
}

} // namespace

#define PREPARA(...)                                                                               \
    do {                                                                                           \
        prepara(__VA_ARGS__);                                                                      \
        if (!m_form)                                                                               \
            return;                                                                                \
    } while (0)

class TstFrmGestInv : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe({Motore::Sqlite, Motore::Postgres}); }
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void caricamento();
    void senzaTestate();
    void cambioModo();
    void cambioModoDaTastiera();
    void ricercaTestata();
    void sceltaSetCarico();
    void codiceTestata_data();
    void codiceTestata();
    void colonneLivelli_data();
    void colonneLivelli();
    void nuovaRigaSenzaLivelli();
    void soloLivello2();
    void codiciSconosciuti();
    void codiceABarre_data();
    void codiceABarre();
    void giacenzaSvuotata();
    void livelloVuotoAlSalvataggio();
    void prontoPerLettura_data();
    void prontoPerLettura();
    void sceltaDallaRicerca_data();
    void sceltaDallaRicerca();
    void cancellaEInvio();
    void letturaRifiutata();
    void cinqueLetture();
    void scannerAlDialogo();
    void controlliCella_data();
    void controlliCella();

private:
    void prepara(const QMap<QString, QString>& valori = {}, bool testate = true);
    void entraRighe();
    void vaiNuovaRiga();
    QAbstractItemView* vista() const {
        return qobject_cast<QAbstractItemView*>(m_form->dbgRiga()->widget());
    }
    IColonnaGriglia* col(const char* campo) const {
        return m_form->dbgRiga()->Colonna(QString::fromLatin1(campo));
    }
    QVariant valore(const QString& sql) {
        QSqlQuery q(m_db);
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }
    void clicPulsante(const QString& chiave) {
        QAction* a = m_form->ogComlin()->Pulsante(chiave);
        QVERIFY2(a, qPrintable(chiave));
        QWidget* w = m_form->tolComlin()->widgetForAction(a);
        QVERIFY2(w && w->isVisible() && w->isEnabled(), qPrintable(chiave));
        QTest::mouseClick(w, Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_gestinv")};
    int m_serie = 0;
    DittaForm m_ditta;
    QSqlDatabase& m_db = m_ditta.db;
    MenuValori m_menu;
    std::unique_ptr<MessaggiScriptati>& m_msg = m_ditta.msg;
    std::unique_ptr<lookup::ComponenteAiutoQt>& m_aiuto = m_ditta.aiuto;
    QPointer<FrmGestInv> m_form;
};

void TstFrmGestInv::initTestCase() {
    QVERIFY(m_dir.isValid());
    DittaForm::Installa(m_pg);
}

void TstFrmGestInv::prepara(const QMap<QString, QString>& valori, bool testate) {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString nome = QStringLiteral("ditta%1").arg(++m_serie);
    const QString file = m_dir.filePath(nome + QStringLiteral(".db"));
    m_db = ConnessioneProva(motore, nome, file, m_pg);
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    RiempiDitta(m_db, testate);

    m_menu.rispostaMsgBox = 1;
    m_menu.valori = {{QStringLiteral("Mag.MagPrincipale"), QStringLiteral("M01")},
                     {QStringLiteral("Mag.NumDecQta"), QStringLiteral("2")},
                     {QStringLiteral("Mag.GesTaglie"), QStringLiteral("N")}};
    for (auto it = valori.begin(); it != valori.end(); ++it)
        m_menu.valori[it.key()] = it.value();

    m_ditta.Collega(motore, file, m_pg, &m_menu);
    ContestoSessione& s = Sessione();
    s.SezioneLetturaFile = QStringLiteral("LettArtDafile");
    AzzeraImmaginiAiuto();

    m_form = CreaFrmGestInv();
    m_form->osKeySec = QStringLiteral("K1");
    QString a, b;
    m_form->TabellaStd(a, b);
    m_form->Avvia();
    QCOMPARE(m_form->oiLoadOk(), qint16(1));
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->activateWindow();
    QTRY_VERIFY(m_form->isActiveWindow());
    QTRY_VERIFY(m_form->txtCodice()->hasFocus());
}

void TstFrmGestInv::cleanup() {
    m_ditta.Chiudi(m_form);
}

void TstFrmGestInv::cleanupTestCase() {
    AzzeraSessione();
    m_pg.Elimina();
}

// Row mode on the proposed inventory, by the mode switch's Alt key.
void TstFrmGestInv::entraRighe() {
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QVERIFY(!m_form->mbModoRicerca());
    QTRY_VERIFY(vista()->hasFocus());
}

// The cursor on the empty new-row line, first editable column.
void TstFrmGestInv::vaiNuovaRiga() {
    IGrigliaDati* g = m_form->dbgRiga();
    g->setRow(int(g->Dati()->RecordCount()));
    g->setCol(col("Articolo")->ColIndex());
    vista()->setFocus();
    QTRY_VERIFY(vista()->hasFocus());
}

// ---- cases ---------------------------------------------------------------------------

void TstFrmGestInv::caricamento() {
    PREPARA();
    QCOMPARE(m_form->windowTitle(), QString("Gestione inventari - Ditta Prova"));
    QCOMPARE(m_form->HelpContextID(), 22104);
    QCOMPARE(m_form->oiNumKey(), qint16(1));
    const QString base =
        "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS DesArticolo"
        ",MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza"
        ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz"
        " FROM (MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo)"
        " LEFT JOIN Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino";
    QCOMPARE(m_form->PrepSql(), base);
    QCOMPARE(m_form->osSql(), base + " WHERE 1=2");
    // two headers on the latest date: the higher code is proposed
    QCOMPARE(m_form->msUltimoInv(), QString("INV-B"));
    QCOMPARE(m_form->txtCodice()->text(), QString("INV-B"));
    QCOMPARE(m_form->labDescrizione()->text(), QString("Fine anno B"));
    QCOMPARE(m_form->labData()->text(), QString("31/12/2024"));
    QCOMPARE(m_form->msMagPrincipale(), QString("M01"));
    QCOMPARE(m_form->msMagCarico(), QString("M01"));
    QCOMPARE(m_form->miTastoRic(), 113);
    // header mode: nothing of the rows can be used
    QVERIFY(m_form->mbModoRicerca());
    QCOMPARE(m_form->ComGes()->text(), QString("G&estione Inventari"));
    QCOMPARE(m_form->ComTipoRic()->text(), QString("&Ricerca per codice barre"));
    QVERIFY(!m_form->tolComlin()->isEnabled());
    QVERIFY(!m_form->dbgRiga()->widget()->isEnabled());
    QVERIFY(!m_form->ComCarica()->isEnabled());
    QVERIFY(!m_form->ComCarica()->isVisible());
    QCOMPARE(m_form->dbgRiga()->Dati()->RecordCount(), 0);
    QCOMPARE(m_form->txtRiga()->text().section(" / ", 1), QString("0"));
    QVERIFY(!m_form->ogComlin()->Pulsante("Stampa")->isEnabled());
    for (const char* n : {"txt(10)", "comHlp(10)", "Lab(10)", "Lab(20)", "Label1(10)", "Label1(0)",
                          "PictTesta", "ComGes", "ComCarica", "ComTipoRic", "ComEsci"})
        QVERIFY2(m_form->findChild<QWidget*>(n), n);
    QCOMPARE(m_form->findChild<QLabel*>("Label1(10)")->text(), QString("Codice inventario:"));
    QCOMPARE(m_form->findChild<QLabel*>("Label1(0)")->text(), QString("Data inventario:"));
    // the grid sits below the header panel
    QTRY_VERIFY(m_form->dbgRiga()->widget()->y() >= m_form->PictTesta()->geometry().bottom());
    QVERIFY(m_msg->testi().isEmpty());
}

void TstFrmGestInv::senzaTestate() {
    PREPARA({}, false);
    QVERIFY(m_form->msUltimoInv().isEmpty());
    QVERIFY(m_form->txtCodice()->text().isEmpty());
    QVERIFY(m_form->labDescrizione()->text().isEmpty());
    QVERIFY(m_form->labData()->text().isEmpty());
    // the mode switch refuses an empty code
    m_msg->rispondi(1);
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QCOMPARE(m_msg->testi(), QStringList({"Inserire il codice"}));
    QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Ok"}));
    QVERIFY(m_form->mbModoRicerca());
}

void TstFrmGestInv::cambioModo() {
    PREPARA();
    entraRighe();
    QCOMPARE(m_form->ComGes()->text(), QString("&Torna a        Cerca Codice"));
    QVERIFY(m_form->ComGes()->text().contains(QString(8, QLatin1Char(' '))));
    QVERIFY(!m_form->txtCodice()->isEnabled());
    QVERIFY(m_form->tolComlin()->isEnabled());
    QVERIFY(m_form->ComCarica()->isEnabled());
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Dati()->RecordCount(), 2);
    // ordered by article, with the decoded descriptions
    g->setRow(0);
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    QCOMPARE(col("DesArticolo")->Value().toString(), QString("Bullone zincato"));
    QCOMPARE(col("DesMagaz")->Value().toString(), QString("Deposito Nord"));
    g->setRow(1);
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART003"));
    QCOMPARE(m_form->txtRiga()->text().section(" / ", 1), QString("2"));
    QVERIFY(!m_form->ogComlin()->Pulsante("Stampa")->isEnabled());

    // back to the header, and the list is empty again
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QVERIFY(m_form->mbModoRicerca());
    QCOMPARE(m_form->ComGes()->text(), QString("G&estione Inventari"));
    QCOMPARE(g->Dati()->RecordCount(), 0);
    QVERIFY(m_form->txtCodice()->isEnabled());
    QTRY_VERIFY(m_form->txtCodice()->hasFocus());
    QVERIFY(!m_form->ComCarica()->isEnabled());

    // another inventory typed over the proposed one (selected on focus)
    QCOMPARE(m_form->txtCodice()->selectedText(), QString("INV-B"));
    Scrivi(QStringLiteral("INV-A"));
    Premi(Qt::Key_Tab);
    QCOMPARE(m_form->labDescrizione()->text(), QString("Fine anno A"));
    entraRighe();
    QCOMPARE(g->Dati()->RecordCount(), 1);
    QVERIFY(m_msg->testi().isEmpty());
}

// The buttons' Alt keys: Alt+E enters row mode (no other control of the
// form answers it), Alt+R switches the search, Alt+T goes back.
void TstFrmGestInv::cambioModoDaTastiera() {
    PREPARA();
    Premi(Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(!m_form->mbModoRicerca());
    QTRY_VERIFY(vista()->hasFocus());
    Premi(Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(m_form->miTastoRic(), 115);
    QTRY_VERIFY(vista()->hasFocus());
    Premi(Qt::Key_T, Qt::AltModifier);
    QTRY_VERIFY(m_form->mbModoRicerca());
    QVERIFY(m_form->isVisible());
}

// F2 in the code box opens the headers lookup on what is typed; the header
// picked brings its description and its date.
void TstFrmGestInv::ricercaTestata() {
    PREPARA();
    QLineEdit* t = m_form->txtCodice();
    t->selectAll();
    Scrivi(QStringLiteral("INV-"));
    QString cercato;
    QTimer::singleShot(0, this, [&] {
        lookup::FinestraAiuto* f = m_aiuto->finestra();
        QTRY_VERIFY_WITH_TIMEOUT(f->isVisible(), 5000);
        cercato = f->ricerca()->text();
        f->ricerca()->selectAll();
        QTest::keyClicks(f->ricerca(), "INV-0");
        QTest::qWait(300);
        QTest::keyClick(f->ricerca(), Qt::Key_Return);
        if (f->isVisible())
            QTest::keyClick(f->ricerca(), Qt::Key_Escape);
    });
    Premi(Qt::Key_F2);
    QCOMPARE(cercato, QString("INV-"));
    QCOMPARE(t->text(), QString("INV-0"));
    QCOMPARE(m_form->labDescrizione()->text(), QString("Vecchio"));
    QCOMPARE(m_form->labData()->text(), QString("31/12/2023"));
    // Shift+F2 opens nothing (no window manager here gives the form its
    // focus back after the lookup: do as one would)
    m_form->activateWindow();
    QTRY_VERIFY(t->hasFocus());
    // (a lookup opened by mistake is seen, and closed, while it waits)
    bool aperta = false;
    QTimer guardia;
    guardia.setInterval(10);
    connect(&guardia, &QTimer::timeout, this, [&] {
        if (m_aiuto->finestra()->isVisible()) {
            aperta = true;
            QTest::keyClick(m_aiuto->finestra()->ricerca(), Qt::Key_Escape);
        }
    });
    guardia.start();
    Premi(Qt::Key_F2, Qt::ShiftModifier);
    guardia.stop();
    QVERIFY(!aperta);
    QVERIFY(!m_aiuto->finestra()->isVisible());
}

// The parameter-set choice from the form (the load button's right click):
// the form waits disabled, a set confirmed becomes its current set, and the
// form is enabled again either way.
void TstFrmGestInv::sceltaSetCarico() {
    PREPARA();
    PROVA_SOLO_PRIMO_MOTORE();
    const QString ini = m_dir.filePath(QStringLiteral("belcor-%1.ini").arg(m_serie));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[LettArtDafile]\nDescr=Terminale\n[LettArtDafile7]\nDescr=Reparto 7\n");
    }
    Sessione().FileIniPrincipale = ini;
    Sessione().FileIniParametri.clear();
    QCOMPARE(m_form->msSetCarico(), QString("LettArtDafile"));
    m_form->ComCarica_MouseUp();
    auto* d = m_form->findChild<FrmSelIniCarFile*>();
    if (!d)
        for (QWidget* w : QApplication::topLevelWidgets())
            if ((d = qobject_cast<FrmSelIniCarFile*>(w)))
                break;
    QVERIFY(d);
    QTRY_VERIFY(d->isVisible());
    QVERIFY(!m_form->isEnabled());
    QCOMPARE(d->LisParamIni()->currentRow(), 0);
    QTest::keyClick(d->LisParamIni(), Qt::Key_Down);
    QTest::mouseClick(d->comOk(), Qt::LeftButton);
    QTRY_VERIFY(!d->isVisible());
    QVERIFY(m_form->isEnabled());
    QCOMPARE(m_form->msSetCarico(), QString("LettArtDafile7"));

    // cancelled: the set stays
    m_form->ComCarica_MouseUp();
    QTRY_VERIFY(d->isVisible());
    QCOMPARE(d->LisParamIni()->currentRow(), 1);
    QTest::mouseClick(d->ComAnnulla(), Qt::LeftButton);
    QTRY_VERIFY(!d->isVisible());
    QVERIFY(m_form->isEnabled());
    QCOMPARE(m_form->msSetCarico(), QString("LettArtDafile7"));

    // no set at all: the form says so, the empty dialog still opens
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Generale]\nA=1\n");
    }
    m_msg->rispondi(1);
    m_form->ComCarica_MouseUp();
    QCOMPARE(m_msg->testi(), QStringList({"Non ci sono parametri da selezionare"}));
    QTRY_VERIFY(d->isVisible());
    d->close();
    QVERIFY(m_form->isEnabled());
    QCOMPARE(m_form->msSetCarico(), QString("LettArtDafile7"));
}

void TstFrmGestInv::codiceTestata_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("vuoto") << ""
                           << "Inserire il codice";
    QTest::newRow("blank") << "   "
                           << "Inserire il codice";
    QTest::newRow("sconosciuto") << "NOPE"
                                 << "Inserire un codice esistente";
}

// A code typed over the proposed one: the switch refuses it and the mode stays.
void TstFrmGestInv::codiceTestata() {
    PREPARA();
    QFETCH(QString, codice);
    QFETCH(QString, messaggio);
    Premi(Qt::Key_A, Qt::ControlModifier);
    m_form->txtCodice()->selectAll();
    Premi(Qt::Key_Delete);
    Scrivi(codice);
    m_msg->rispondi(1);
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QCOMPARE(m_msg->testi(), QStringList({messaggio}));
    QCOMPARE(m_msg->mostrati().front().titolo, m_form->windowTitle());
    QVERIFY(m_form->mbModoRicerca());
    QVERIFY(!m_form->dbgRiga()->widget()->isEnabled());
    QCOMPARE(m_form->dbgRiga()->Dati()->RecordCount(), 0);
}

void TstFrmGestInv::colonneLivelli_data() {
    QTest::addColumn<QString>("gesTaglie");
    QTest::addColumn<bool>("mostrati");
    QTest::newRow("S") << "S" << true;
    QTest::newRow("s") << "s" << true;
    QTest::newRow("N") << "N" << false;
    QTest::newRow("vuoto") << "" << false;
}

void TstFrmGestInv::colonneLivelli() {
    QFETCH(QString, gesTaglie);
    QFETCH(bool, mostrati);
    PREPARA({{QStringLiteral("Mag.GesTaglie"), gesTaglie}});
    entraRighe();
    for (const char* l : {"Livello1", "Livello2"}) {
        QCOMPARE(col(l)->Visible(), mostrati);
        QCOMPARE(col(l)->Locked(), !mostrati);
        QCOMPARE(col(l)->Button(), true);
        QCOMPARE(col(l)->Width(), 700);
    }
    QCOMPARE(col("Livello1")->Caption(), QString("Liv1"));
    QCOMPARE(col("Articolo")->Caption(), QString("Articolo"));
    QCOMPARE(col("Articolo")->Width(), 2000);
    QVERIFY(col("Articolo")->Button());
    QCOMPARE(col("DesArticolo")->Caption(), QString("Descr.Articolo"));
    QVERIFY(col("DesArticolo")->Locked());
    QVERIFY(col("DesMagaz")->Locked());
    QCOMPARE(col("DesMagaz")->Caption(), QString("Descr.Magazzino"));
    QVERIFY(col("Magazzino")->Button());
    QCOMPARE(col("Giacenza")->Caption(), QString("Giacenza"));
    QCOMPARE(col("Giacenza")->NumberFormat(), m_form->msFormatoQta());
    QVERIFY(m_form->msFormatoQta().contains("00"));
    QVERIFY(!col("CodInv")->Visible());
}

// Levels hidden: a new article without level groups gets "~ç~" in both, the
// default warehouse is there before anything is typed, the row is saved with
// the inventory's code.
void TstFrmGestInv::nuovaRigaSenzaLivelli() {
    PREPARA();
    entraRighe();
    vaiNuovaRiga();
    Scrivi(QStringLiteral("A"));
    // the first key opened the new row: the default warehouse is shown
    QCOMPARE(col("Magazzino")->Value().toString(), QString("M01"));
    QCOMPARE(col("DesMagaz")->Value().toString(), QString("Sede"));
    Scrivi(QStringLiteral("RT002"));
    Premi(Qt::Key_Return);
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    QCOMPARE(col("DesArticolo")->Value().toString(), QString("Bullone zincato"));
    QCOMPARE(col("Livello1")->Value().toString(), QString("~ç~"));
    QCOMPARE(col("Livello2")->Value().toString(), QString("~ç~"));
    QCOMPARE(m_form->dbgRiga()->Col(), col("Giacenza")->ColIndex());
    Scrivi(QStringLiteral("12"));
    Premi(Qt::Key_Return);
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART002' "
                    "AND Magazzino='M01'")
                 .toDouble(),
             12.0);
    QCOMPARE(valore("SELECT Livello1 FROM MagInventari WHERE CodInv='INV-B' AND "
                    "Articolo='ART002' AND Magazzino='M01'")
                 .toString(),
             QString("~ç~"));
}

// An article with a first level group only: "~ç~" goes into the second
// level, the first must be typed and is checked for that article.
void TstFrmGestInv::soloLivello2() {
    PREPARA({{QStringLiteral("Mag.GesTaglie"), QStringLiteral("S")}});
    entraRighe();
    vaiNuovaRiga();
    Scrivi(QStringLiteral("ART001"));
    Premi(Qt::Key_Return);
    QCOMPARE(col("Livello2")->Value().toString(), QString("~ç~"));
    QVERIFY(col("Livello1")->Value().toString().isEmpty());
    QCOMPARE(m_form->dbgRiga()->Col(), col("Livello1")->ColIndex());
    // a level of another group is refused
    m_msg->rispondi(1);
    Scrivi(QStringLiteral("ROSSO"));
    Premi(Qt::Key_Return);
    QCOMPARE(m_msg->testi(), QStringList({"Livello non valido"}));
    QCOMPARE(m_form->dbgRiga()->Col(), col("Livello1")->ColIndex());
    m_msg->azzera();
    QTest::qWait(20); // the deferred tick lets the row be written again
    m_form->dbgRiga()->setSelText(QString());
    m_form->dbgRiga()->setSelStart(0);
    m_form->dbgRiga()->setSelLength(100);
    Premi(Qt::Key_Backspace);
    Scrivi(QStringLiteral("M"));
    Premi(Qt::Key_Return);
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(col("Livello1")->Value().toString(), QString("M"));
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(valore("SELECT Livello1 FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART001'")
                 .toString(),
             QString("M"));
    QCOMPARE(valore("SELECT Livello2 FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART001'")
                 .toString(),
             QString("~ç~"));
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART001'")
                 .toDouble(),
             0.0);
}

void TstFrmGestInv::codiciSconosciuti() {
    PREPARA();
    entraRighe();
    vaiNuovaRiga();
    m_msg->rispondi(1);
    Scrivi(QStringLiteral("ZZZ"));
    Premi(Qt::Key_Return);
    QCOMPARE(m_msg->testi(), QStringList({"Codice Articolo non valido"}));
    QCOMPARE(m_form->dbgRiga()->Col(), col("Articolo")->ColIndex());
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE Articolo='ZZZ'").toInt(), 0);
    // the warehouse of an existing row changed to an unknown one
    // Esc on the changed article checks it again before undoing it
    m_msg->azzera();
    m_msg->rispondi(1);
    Premi(Qt::Key_Escape);
    QCOMPARE(m_msg->testi(), QStringList({"Codice Articolo non valido"}));
    Premi(Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(!m_form->dbgRiga()->AddNewMode() || !m_form->dbgRiga()->DataChanged());
    m_msg->azzera();
    IGrigliaDati* g = m_form->dbgRiga();
    g->setRow(0);
    g->setCol(col("Magazzino")->ColIndex());
    vista()->setFocus();
    m_msg->rispondi(1);
    Scrivi(QStringLiteral("M99"));
    Premi(Qt::Key_Return);
    QCOMPARE(m_msg->testi().join('|'), QString("Magazzino non valido"));
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE Magazzino='M99'").toInt(), 0);
}

void TstFrmGestInv::codiceABarre_data() {
    QTest::addColumn<int>("ritardo"); // ms between the characters
    QTest::newRow("a mano") << 60;
    QTest::newRow("lettore") << 3;
}

// In barcode mode a barcode typed into the article cell becomes the article
// before the article check; a scanner typing it fast gives the same row.
void TstFrmGestInv::codiceABarre() {
    QFETCH(int, ritardo);
    PREPARA();
    entraRighe();
    QTest::mouseClick(m_form->ComTipoRic(), Qt::LeftButton);
    QCOMPARE(m_form->miTastoRic(), 115);
    QCOMPARE(m_form->ComTipoRic()->text(), QString("&Ricerca per codice articolo"));
    vaiNuovaRiga();
    Scrivi(QStringLiteral("8001002"), ritardo);
    Premi(Qt::Key_Return);
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    QCOMPARE(col("DesArticolo")->Value().toString(), QString("Bullone zincato"));
    QCOMPARE(col("Livello1")->Value().toString(), QString("~ç~"));
    QCOMPARE(col("Livello2")->Value().toString(), QString("~ç~"));
    QCOMPARE(col("Magazzino")->Value().toString(), QString("M01"));
    QCOMPARE(m_form->dbgRiga()->Col(), col("Giacenza")->ColIndex());
    Scrivi(QStringLiteral("3"), ritardo);
    Premi(Qt::Key_Return);
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART002' "
                    "AND Magazzino='M01'")
                 .toDouble(),
             3.0);
    // back to search by code: the same barcode is no article code
    QTest::mouseClick(m_form->ComTipoRic(), Qt::LeftButton);
    QCOMPARE(m_form->miTastoRic(), 113);
    QCOMPARE(m_form->ComTipoRic()->text(), QString("&Ricerca per codice barre"));
}

// Leaving an emptied quantity puts 0 into it; the row is saved with 0.
void TstFrmGestInv::giacenzaSvuotata() {
    PREPARA();
    entraRighe();
    IGrigliaDati* g = m_form->dbgRiga();
    g->setRow(1); // ART003, 7
    g->setCol(col("Giacenza")->ColIndex());
    vista()->setFocus();
    Premi(Qt::Key_F2);
    QVERIFY(g->EditActive());
    g->setSelStart(0);
    g->setSelLength(100);
    Premi(Qt::Key_Backspace);
    QVERIFY(col("Giacenza")->Text().isEmpty());
    Premi(Qt::Key_Return);
    QCOMPARE(col("Giacenza")->Value().toDouble(), 0.0);
    QVERIFY(!col("Giacenza")->Value().isNull());
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QSqlQuery q(m_db);
    QVERIFY(q.exec("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART003'"));
    QVERIFY(q.next());
    QVERIFY(!q.value(0).isNull());
    QCOMPARE(q.value(0).toDouble(), 0.0);
}

// With levels shown, an article of two groups saved without its levels.
void TstFrmGestInv::livelloVuotoAlSalvataggio() {
    PREPARA({{QStringLiteral("Mag.GesTaglie"), QStringLiteral("S")}});
    entraRighe();
    vaiNuovaRiga();
    Scrivi(QStringLiteral("BRT010"));
    Premi(Qt::Key_Return);
    QVERIFY(col("Livello1")->Value().toString().isEmpty());
    QVERIFY(col("Livello2")->Value().toString().isEmpty());
    m_msg->rispondi(1);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi(), QStringList({"Livello obbligatorio, salvataggio non effettuato"}));
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE Articolo='BRT010'").toInt(), 0);
}

// ---- at the scanner ------------------------------------------------------------------

void TstFrmGestInv::prontoPerLettura_data() {
    QTest::addColumn<QString>("come"); // how the cursor got where the scan arrives
    QTest::newRow("entrando nelle righe") << "ingresso";
    QTest::newRow("dopo Aggiorna") << "aggiorna";
    QTest::newRow("dopo una cancellazione") << "cancella";
}

// A scan arriving where the form or the grid put the cursor begins a new
// row; no saved count changes and no key of the scan is lost.
void TstFrmGestInv::prontoPerLettura() {
    QFETCH(QString, come);
    PREPARA();
    entraRighe();
    IGrigliaDati* g = m_form->dbgRiga();
    if (come == "ingresso") {
        QCOMPARE(g->Row(), int(g->Dati()->RecordCount()));
        QCOMPARE(g->Col(), col("Articolo")->ColIndex());
    } else {
        g->setRow(0); // ART002 on M02, counted 4
        g->setCol(col("Giacenza")->ColIndex());
        m_msg->rispondi(1);
        clicPulsante(come == "aggiorna" ? QStringLiteral("Aggiorna") : QStringLiteral("Cancella"));
        QCOMPARE(g->Row(), 0);
        vista()->setFocus();
    }
    m_msg->azzera();
    QTRY_VERIFY(Fuoco());
    Scrivi(QStringLiteral("ART002"), 2);
    Premi(Qt::Key_Return);
    QVERIFY(g->AddNewMode());
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    Scrivi(QStringLiteral("5"));
    Premi(Qt::Key_Return);
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART002' "
                    "AND Magazzino='M01'")
                 .toDouble(),
             5.0);
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART003'")
                 .toDouble(),
             7.0);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART002' "
                    "AND Magazzino='M02' AND Giacenza=4")
                 .toInt(),
             come == "cancella" ? 0 : 1);
}

void TstFrmGestInv::sceltaDallaRicerca_data() {
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QString>("gesTaglie");
    QTest::addColumn<QString>("cerca");    // typed in the lookup window
    QTest::addColumn<QString>("articolo"); // the article picked
    QTest::addColumn<QString>("livello");  // picked for Livello1 after it; empty none
    QTest::newRow("F2") << int(Qt::Key_F2) << "N"
                        << "ART002"
                        << "ART002"
                        << "";
    QTest::newRow("F3 per descrizione") << int(Qt::Key_F3) << "N"
                                        << "Bullone"
                                        << "ART002"
                                        << "";
    QTest::newRow("F4 per codice a barre") << int(Qt::Key_F4) << "N"
                                           << "8001002"
                                           << "ART002"
                                           << "";
    QTest::newRow("F5") << int(Qt::Key_F5) << "N"
                        << "ART002"
                        << "ART002"
                        << "";
    QTest::newRow("F2, livelli, articolo senza gruppi") << int(Qt::Key_F2) << "S"
                                                        << "ART002"
                                                        << "ART002"
                                                        << "";
    QTest::newRow("F2, livelli, articolo con taglia") << int(Qt::Key_F2) << "S"
                                                      << "ART001"
                                                      << "ART001"
                                                      << "M";
}

// An article picked from the lookup window is checked as one typed: its
// description and the levels an article without level groups takes come
// with it, and the row is saved.
void TstFrmGestInv::sceltaDallaRicerca() {
    QFETCH(int, tasto);
    QFETCH(QString, gesTaglie);
    QFETCH(QString, cerca);
    QFETCH(QString, articolo);
    QFETCH(QString, livello);
    PREPARA({{QStringLiteral("Mag.GesTaglie"), gesTaglie}});
    entraRighe();
    vaiNuovaRiga();
    auto scegli = [this](const QString& testo) {
        QTimer::singleShot(0, this, [this, testo] {
            lookup::FinestraAiuto* f = m_aiuto->finestra();
            QTRY_VERIFY_WITH_TIMEOUT(f->isVisible(), 5000);
            f->ricerca()->selectAll();
            QTest::keyClicks(f->ricerca(), testo);
            QTest::qWait(300);
            QTest::keyClick(f->ricerca(), Qt::Key_Return);
            if (f->isVisible())
                QTest::keyClick(f->ricerca(), Qt::Key_Escape);
        });
    };
    scegli(cerca);
    Premi(Qt::Key(tasto));
    QCOMPARE(col("Articolo")->Value().toString(), articolo);
    QVERIFY(!col("DesArticolo")->Value().toString().isEmpty());
    QCOMPARE(col("Livello2")->Value().toString(), QString("~ç~"));
    QCOMPARE(col("Magazzino")->Value().toString(), QString("M01"));
    if (!livello.isEmpty()) {
        QVERIFY(col("Livello1")->Value().toString().isEmpty());
        m_form->activateWindow();
        QTRY_VERIFY(m_form->isActiveWindow());
        m_form->dbgRiga()->setCol(col("Livello1")->ColIndex());
        vista()->setFocus();
        QTRY_VERIFY(vista()->hasFocus() || vista()->isAncestorOf(Fuoco()));
        scegli(livello);
        Premi(Qt::Key_F2);
        QCOMPARE(col("Livello1")->Value().toString(), livello);
    } else {
        QCOMPARE(col("Livello1")->Value().toString(), QString("~ç~"));
    }
    m_form->activateWindow();
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(valore(QStringLiteral("SELECT COUNT(*) FROM MagInventari WHERE CodInv='INV-B' AND "
                                   "Articolo='%1' AND Magazzino='M01' AND Livello1='%2'")
                        .arg(articolo, livello.isEmpty() ? QStringLiteral("~ç~") : livello))
                 .toInt(),
             1);
}

// Delete while a quantity is being typed asks about the row; Enter, by
// habit, answers the harmless "No".
void TstFrmGestInv::cancellaEInvio() {
    PREPARA();
    entraRighe();
    IGrigliaDati* g = m_form->dbgRiga();
    g->setRow(1); // ART003
    g->setCol(col("Giacenza")->ColIndex());
    vista()->setFocus();
    Premi(Qt::Key_F2);
    QVERIFY(g->EditActive());
    QStringList domande;
    {
        MessaggiVeri veri(m_msg.get(), vista());
        Premi(Qt::Key_Delete);
        domande = veri.testi;
    }
    QCOMPARE(domande, QStringList({"Confermi la cancellazione della riga?"}));
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv='INV-B'").toInt(), 2);
    QCOMPARE(g->Dati()->RecordCount(), 2);
}

// A refused code is selected whole, so the next scan replaces it; Esc on a
// refused row takes the cursor back to the article.
void TstFrmGestInv::letturaRifiutata() {
    PREPARA();
    entraRighe();
    vaiNuovaRiga();
    IGrigliaDati* g = m_form->dbgRiga();
    for (int i = 0; i < 4; ++i)
        m_msg->rispondi(1);
    Leggi(QStringLiteral("99999999999998"));
    QCOMPARE(m_msg->testi(), QStringList({"Codice Articolo non valido"}));
    QCOMPARE(g->SelText(), QString("99999999999998"));
    Leggi(QStringLiteral("ART002"));
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    QCOMPARE(g->Col(), col("Giacenza")->ColIndex());
    Leggi(QStringLiteral("3"));
    QCOMPARE(g->Col(), col("Magazzino")->ColIndex());
    // a scan that lands on the warehouse is refused there
    m_msg->azzera();
    Leggi(QStringLiteral("8001003"));
    QCOMPARE(m_msg->testi(), QStringList({"Magazzino non valido"}));
    QCOMPARE(g->SelText(), QString("8001003"));
    // Esc checks the cell again (the message once more), Esc drops the row
    Premi(Qt::Key_Escape);
    Premi(Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(!g->AddNewMode());
    QCOMPARE(g->Row(), int(g->Dati()->RecordCount()));
    QCOMPARE(g->Col(), col("Articolo")->ColIndex());
    m_msg->azzera();
    Leggi(QStringLiteral("ART002"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    QCOMPARE(col("Magazzino")->Value().toString(), QString("M01"));
}

// Five scans without quantities: the first is the row being added, each of
// the others is named by a message; none becomes a quantity.
void TstFrmGestInv::cinqueLetture() {
    PREPARA();
    entraRighe();
    QTest::mouseClick(m_form->ComTipoRic(), Qt::LeftButton); // barcode search
    vaiNuovaRiga();
    for (int i = 0; i < 8; ++i)
        m_msg->rispondi(1);
    const QStringList letture{"8001002", "8001003", "8001002", "9000010", "8001003"};
    for (const QString& l : letture) {
        Leggi(l);
        QTest::qWait(300);
    }
    QCOMPARE(col("Articolo")->Value().toString(), QString("ART002"));
    const QStringList testi = m_msg->testi();
    QCOMPARE(testi.size(), 4);
    for (int i = 1; i < letture.size(); ++i)
        QVERIFY2(testi[i - 1].contains(letture[i]), qPrintable(testi.join('|')));
    QCOMPARE(m_form->dbgRiga()->Col(), col("Giacenza")->ColIndex());
    // the clerk types the quantity over the last code and goes on
    Scrivi(QStringLiteral("2"));
    Premi(Qt::Key_Return);
    Premi(Qt::Key_Return);
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv='INV-B' AND Articolo='ART002' "
                    "AND Magazzino='M01'")
                 .toDouble(),
             2.0);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE Giacenza > 1000").toInt(), 0);
}

// Fifty scans, a code and Return every 0.3 s, good, unknown and repeated,
// with the program's message dialog.  The clerk stops scanning a moment
// after a message appears, reads it and dismisses it deliberately, then
// scans on.  Every scan ends in the company file or in a message.
void TstFrmGestInv::scannerAlDialogo() {
    PREPARA();
    PROVA_SOLO_PRIMO_MOTORE();
    SuoniContati suoni;
    ImpostaRiproduttore(&suoni);
    entraRighe();
    QTest::mouseClick(m_form->ComTipoRic(), Qt::LeftButton);
    QTRY_VERIFY(vista()->hasFocus() || vista()->isAncestorOf(Fuoco()));
    const QStringList giri{"8001002",       "99999999999998", "8001003", "8001003",
                           "8000000000460", "8001002",        "8001003"};
    QStringList codici;
    for (int i = 0; i < 50; ++i)
        codici << giri[i % giri.size()];

    bool fermo = false; // the clerk has stopped scanning
    int prossimo = 0;
    MessaggiVeri veri(m_msg.get(), vista(), {}, 0);
    veri.rispondi = false;
    QElapsedTimer aperto;
    QPointer<FrmMsgCom> visto;
    QTimer impiegato;
    impiegato.setInterval(20);
    QObject::connect(&impiegato, &QTimer::timeout, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f) {
            fermo = false;
            return;
        }
        if (f != visto) {
            visto = f;
            aperto.start();
        }
        if (aperto.elapsed() >= 900)
            fermo = true; // heard it: no more scans
        if (aperto.elapsed() >= 900 + FrmMsgCom::GuardiaMs + 150) {
            veri.guarda();
            veri.testi.back() = f->LabMessaggio()->text();
            QTest::keyClick(f->focusWidget() ? f->focusWidget() : f, Qt::Key_Return);
            aperto.start();
            // what a window manager does: the form active again
            if (!FrmMsgCom::Aperto())
                m_form->activateWindow();
        }
    });
    impiegato.start();
    std::function<void()> scansione = [&] {
        if (prossimo >= codici.size())
            return;
        // the next scan is due in 0.3 s whatever this one opens
        QTimer::singleShot(300, this, scansione);
        if (fermo)
            return;
        Leggi(codici[prossimo++]);
    };
    QTimer::singleShot(0, this, scansione);
    QTRY_VERIFY_WITH_TIMEOUT(prossimo == codici.size() && !FrmMsgCom::Aperto(), 180000);
    QTest::qWait(100);
    impiegato.stop();
    // the clerk ends the row being added
    QTRY_VERIFY(!FrmMsgCom::Aperto());
    {
        for (int i = 0; i < 4; ++i)
            m_msg->rispondi(1);
        ImpostaServizioMessaggi(m_msg.get());
        Scrivi(QStringLiteral("1"));
        Premi(Qt::Key_Return);
        Premi(Qt::Key_Return);
    }
    ImpostaRiproduttore(nullptr);
    QVERIFY(suoni.volte > 0);
    QVERIFY(veri.aperti.size() > 1);

    // each scan is a row of the inventory or is named by a message (its
    // text, or the cell it refused)
    QMap<QString, int> spiegate;
    for (qsizetype i = 0; i < veri.testi.size(); ++i)
        for (const QString& c : giri)
            spiegate[c] += int(veri.testi[i].count(c)) +
                           (veri.celle[i] == c && !veri.testi[i].contains(c) ? 1 : 0);
    QMap<QString, int> lette;
    for (const QString& c : codici)
        ++lette[c];
    for (auto it = lette.begin(); it != lette.end(); ++it) {
        const int nelFile =
            valore(QStringLiteral("SELECT COUNT(*) FROM MagInventari m JOIN Articoli a ON "
                                  "a.Articolo = m.Articolo WHERE m.CodInv='INV-B' AND "
                                  "m.Magazzino='M01' AND a.BarCode='%1'")
                       .arg(it.key()))
                .toInt();
        QVERIFY2(spiegate.value(it.key()) + nelFile >= it.value(),
                 qPrintable(QStringLiteral("%1: %2 letture, %3 nei messaggi, %4 nel file\n%5")
                                .arg(it.key())
                                .arg(it.value())
                                .arg(spiegate.value(it.key()))
                                .arg(nelFile)
                                .arg(veri.testi.join("\n---\n"))));
    }
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE Giacenza > 1000").toInt(), 0);
}

void TstFrmGestInv::controlliCella_data() {
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("messaggio");
    QTest::addColumn<QString>("colonna"); // where the cursor stands afterwards
    QTest::newRow("riga senza articolo") << "senzaArticolo"
                                         << "Codice Articolo obbligatorio"
                                         << "Articolo";
    QTest::newRow("riga senza magazzino") << "senzaMagazzino"
                                          << "Codice Magazzino obbligatorio"
                                          << "Magazzino";
    QTest::newRow("articolo svuotato nella cella") << "articoloSvuotato"
                                                   << "Articolo obbligatorio"
                                                   << "Articolo";
    QTest::newRow("livello svuotato nella cella") << "livelloSvuotato"
                                                  << "Livello obbligatorio"
                                                  << "Livello1";
    QTest::newRow("Canc mentre si scrive") << "canc"
                                           << "Confermi la cancellazione della riga?"
                                           << "Giacenza";
}

// The checks of a row and of its cells, each with its message, the cursor
// on the column at fault and the counts in the file as they were.
void TstFrmGestInv::controlliCella() {
    QFETCH(QString, caso);
    QFETCH(QString, messaggio);
    QFETCH(QString, colonna);
    PREPARA({{QStringLiteral("Mag.GesTaglie"), QStringLiteral("S")}});
    Esegui(m_db, QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                                "Magazzino, Giacenza) VALUES ('INV-B', 'ART001', 'M', '~ç~', "
                                "'M01', 2)"));
    entraRighe();
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Dati()->RecordCount(), 3); // ART001, ART002, ART003
    auto svuota = [&](const char* campo, int riga) {
        g->setRow(riga);
        g->setCol(col(campo)->ColIndex());
        vista()->setFocus();
        Premi(Qt::Key_F2);
        QVERIFY(g->EditActive());
        g->setSelStart(0);
        g->setSelLength(100);
        Premi(Qt::Key_Backspace);
        Premi(Qt::Key_Return);
    };
    m_msg->rispondi(2);
    bool esito = true;
    if (caso == "senzaArticolo") {
        vaiNuovaRiga();
        g->setEditActive(true); // the new row, with its default warehouse only
        QCOMPARE(col("Magazzino")->Value().toString(), QString("M01"));
        g->setCol(col("Giacenza")->ColIndex());
        esito = m_form->VerifUpdate();
    } else if (caso == "senzaMagazzino") {
        g->setRow(2);
        col("Magazzino")->setValue(QVariant());
        esito = m_form->VerifUpdate();
    } else if (caso == "articoloSvuotato") {
        svuota("Articolo", 2);
    } else if (caso == "livelloSvuotato") {
        svuota("Livello1", 0);
    } else {
        g->setRow(2);
        g->setCol(col("Giacenza")->ColIndex());
        vista()->setFocus();
        Premi(Qt::Key_F2);
        Scrivi(QStringLiteral("1"));
        Premi(Qt::Key_Left); // typing: the text is not selected whole
        Premi(Qt::Key_Delete);
        QCOMPARE(col("Giacenza")->Value().toDouble(), 1.0); // the key deleted no character
    }
    QCOMPARE(m_msg->testi(), QStringList({messaggio}));
    QVERIFY(!esito || caso == "articoloSvuotato" || caso == "livelloSvuotato" || caso == "canc");
    QCOMPARE(g->Col(), col(qPrintable(colonna))->ColIndex());
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv='INV-B'").toInt(), 3);
    QCOMPARE(valore("SELECT Livello1 FROM MagInventari WHERE Articolo='ART001'").toString(),
             QString("M"));
    QCOMPARE(
        valore("SELECT Articolo FROM MagInventari WHERE CodInv='INV-B' AND Giacenza=7").toString(),
        QString("ART003"));
}

QTEST_MAIN(TstFrmGestInv)
#include "tst_frmgestinv.moc"
