// The data-form skeleton and its grid editing cycle on a form whose checks
// the test controls, with the real grid and list-command object over SQLite
// and PostgreSQL (skipped when QUARVEL_PG_* are not exported).

#include "Ambiente.h"
#include "database/FrmConn.h"
#include "desktop/Scala.h"
#include "listform/FrmLista.h"
#include "listform/ProcedureForm.h"
#include "listform/Tastiera.h"
#include "startup/Principale.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <memory>

using namespace quarvel;
using namespace prova;

namespace {

// A data form over the inventory headers whose checks the test sets: the
// description "no" is refused (always, or only the next rifiuti times), and
// the lookup may write into the description.
class FrmProva final : public FrmLista {
public:
    explicit FrmProva(QString sql) : FrmLista("frmProva", "Prova"), m_sql(std::move(sql)) {}

    QStringList chiamate;
    bool rifiutaNo = false;
    int rifiuti = 0;
    int rifiutaInRiga = -1; // a column the row check refuses
    QVariant scriviInDecod;

    bool DatiValidi(int& c, bool solo, bool agg) override {
        chiamate << QStringLiteral("DatiValidi %1 %2").arg(c).arg(agg ? "agg" : "riga");
        Q_UNUSED(solo);
        if (!agg && c == rifiutaInRiga)
            return false;
        if (rifiuti > 0) {
            --rifiuti;
            return false;
        }
        return !(rifiutaNo && dbgRiga()->Colonna(c)->Text() == QLatin1String("no"));
    }
    void DecodHelp(int c, int k) override {
        chiamate << QStringLiteral("DecodHelp %1 %2").arg(c).arg(k);
        if (scriviInDecod.isValid())
            dbgRiga()->Colonna(2)->setValue(scriviInDecod);
    }
    bool VerifUpdate() override {
        chiamate << QStringLiteral("VerifUpdate");
        return VerificaRiga({});
    }

protected:
    QString SqlStandard() const override { return m_sql; }
    qint16 ChiaviStandard() const override { return 1; }

private:
    QString m_sql;
};

const char* SqlTestate = "SELECT CodInv, DataInvent, Descrizione FROM MagDescrInv ORDER BY CodInv";

} // namespace

#define PREPARA(...)                                                                               \
    do {                                                                                           \
        prepara(__VA_ARGS__);                                                                      \
        if (!m_form)                                                                               \
            return;                                                                                \
    } while (0)

class TstFrmLista : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every case on each engine; preparazione() needs none and runs once.
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void cellaRifiutata();
    void valoreNonValido_data();
    void valoreNonValido();
    void pulsanteInModifica_data();
    void pulsanteInModifica();
    void ricerca_data();
    void ricerca();
    void ricercaSenzaControlli();
    void pulsanteCella();
    void ordinamento();
    void tastiAlt();
    void caricamentoFallito_data();
    void caricamentoFallito();
    void verificaRiga();
    void barraPulsanti();
    void preparazione();

private:
    void prepara(const QString& sql = QString::fromLatin1(SqlTestate), bool conferma = true);
    QAbstractItemView* vista() const {
        return qobject_cast<QAbstractItemView*>(m_form->dbgRiga()->widget());
    }
    void clicPulsante(const QString& chiave);
    QVariant valore(const QString& sql) { return Valore(m_db, sql); }

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_listform")};
    int m_serie = 0;
    Motore m_motore = Motore::Sqlite;
    QSqlDatabase m_db;
    MenuFinto m_menu;
    std::unique_ptr<MessaggiScriptati> m_msg;
    QPointer<FrmProva> m_form;
};

void TstFrmLista::initTestCase() {
    QVERIFY(m_dir.isValid());
    InstallaComponenti();
    ImpostaLettoreFattore([](const QString&, const QString&) { return -1.0; });
    CaricaFrmPrincipale();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstFrmLista::prepara(const QString& sql, bool conferma) {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    m_motore = motore;
    m_db = ConnessioneDitta(motore, QStringLiteral("lista%1").arg(++m_serie), m_dir, m_pg);
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    RiempiDitta(m_db);
    Esegui(m_db, QStringLiteral("UPDATE MagDescrInv SET Descrizione = NULL WHERE CodInv = 'INV3'"));
    m_menu = MenuFinto();
    PreparaSessione(m_db, &m_menu);
    AzzeraTastiera();
    m_msg = std::make_unique<MessaggiScriptati>();

    m_form = new FrmProva(sql);
    m_form->osKeySec = QStringLiteral("K9");
    QString a, b;
    m_form->TabellaStd(a, b);
    m_form->Avvia();
    if (!conferma)
        return;
    QCOMPARE(m_form->oiLoadOk(), qint16(1));
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->activateWindow();
    QTRY_VERIFY(m_form->isActiveWindow());
}

void TstFrmLista::cleanup() {
    if (m_form) {
        if (m_form->dbgRiga() && m_form->dbgRiga()->DataChanged())
            m_form->dbgRiga()->CancelUpdate();
        delete m_form.data();
    }
    if (FrmPrincipale* p = frmPrincipale())
        p->timChiudi()->stop();
    m_msg.reset();
    Sessione().DbDitta = QSqlDatabase();
    const QString nome = m_db.connectionName();
    m_db = QSqlDatabase();
    if (!nome.isEmpty())
        QSqlDatabase::removeDatabase(nome);
}

void TstFrmLista::cleanupTestCase() {
    AzzeraSessione();
    m_pg.Elimina();
}

void TstFrmLista::clicPulsante(const QString& chiave) {
    QAction* a = m_form->ogComlin()->Pulsante(chiave);
    QVERIFY2(a, qPrintable(chiave));
    QWidget* w = m_form->tolComlin()->widgetForAction(a);
    QVERIFY2(w, qPrintable(chiave));
    QTest::mouseClick(w, Qt::LeftButton);
}

// ---- cases -----------------------------------------------------------------------------

void TstFrmLista::cellaRifiutata() {
    // A refused cell blocks the row write until the deferred tick.
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    ClicCella(vista(), 0, 2);
    Scrivi("x");
    m_form->rifiuti = 1;
    Premi(Qt::Key_Down);
    QCOMPARE(g->Row(), 0);
    QCOMPARE(m_form->mbAggOk(), qint16(0));
    QCOMPARE(m_form->miDifferita(), qint16(4));
    QVERIFY(m_form->timVarie()->isActive());
    m_form->chiamate.clear();
    QVERIFY(!g->Update()); // at once: refused, and the row check is not asked
    QVERIFY(!m_form->chiamate.contains("VerifUpdate"));
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("Primo"));
    QTRY_COMPARE(m_form->mbAggOk(), qint16(-1));
    QCOMPARE(m_form->miDifferita(), qint16(0));
    QVERIFY(g->Update());
    QVERIFY(m_form->chiamate.contains("VerifUpdate"));
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("x"));
}

void TstFrmLista::pulsanteInModifica_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("eseguito");
    QTest::newRow("cella valida") << "ok" << true;
    QTest::newRow("cella rifiutata") << "no" << false;
}

void TstFrmLista::pulsanteInModifica() {
    // A toolbar click while a cell is typed into commits the cell first; a
    // refused cell stops the command.
    QFETCH(QString, testo);
    QFETCH(bool, eseguito);
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    m_form->rifiutaNo = true;
    ClicCella(vista(), 1, 2);
    Scrivi(testo);
    QVERIFY(g->EditActive());
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY(m_form->chiamate.contains("DatiValidi 2 agg"));
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV2'").toString(),
             eseguito ? testo : QString("Secondo"));
    QCOMPARE(g->EditActive(), !eseguito);
    QCOMPARE(g->Col(), 2);
    QCOMPARE(g->Row(), 1);
    QVERIFY(m_form->msComando().isEmpty());
    QCOMPARE(m_form->chiamate.contains("VerifUpdate"), eseguito);
}

void TstFrmLista::ricerca_data() {
    QTest::addColumn<int>("riga");
    QTest::addColumn<bool>("scrivendo");
    QTest::addColumn<int>("tasto");
    QTest::addColumn<bool>("cerca");
    QTest::newRow("F3 sempre") << 0 << false << int(Qt::Key_F3) << true;
    QTest::newRow("F2 su cella piena selezionata") << 0 << false << int(Qt::Key_F2) << false;
    QTest::newRow("F2 su cella vuota") << 2 << false << int(Qt::Key_F2) << true;
    QTest::newRow("F2 mentre si scrive") << 0 << true << int(Qt::Key_F2) << true;
}

void TstFrmLista::ricerca() {
    QFETCH(int, riga);
    QFETCH(bool, scrivendo);
    QFETCH(int, tasto);
    QFETCH(bool, cerca);
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    ClicCella(vista(), riga, 2);
    if (scrivendo)
        Scrivi("ab");
    m_form->chiamate.clear();
    Premi(Qt::Key(tasto));
    const QString attesa = QStringLiteral("DecodHelp 2 %1").arg(tasto == Qt::Key_F2 ? 113 : 114);
    QCOMPARE(m_form->chiamate.contains(attesa), cerca);
    QCOMPARE(g->Col(), 2); // moved away and back
    QCOMPARE(g->Row(), riga);
    QCOMPARE(m_form->mbInDecod(), qint16(0));
}

void TstFrmLista::ricercaSenzaControlli() {
    // The column left while the lookup moves the cursor is not checked.
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    m_form->rifiutaNo = true;
    ClicCella(vista(), 1, 2);
    Scrivi("no");
    m_form->chiamate.clear();
    Premi(Qt::Key_F3);
    QCOMPARE(m_form->chiamate, QStringList({"DecodHelp 2 114"}));
    QCOMPARE(m_form->mbAggOk(), qint16(-1));
    QCOMPARE(g->Col(), 2);
    // a value the lookup writes shows at once and is not checked either
    ClicCella(vista(), 1, 1);
    QCOMPARE(g->Col(), 1);
    m_form->scriviInDecod = QStringLiteral("no");
    m_form->chiamate.clear();
    Premi(Qt::Key_F3);
    QCOMPARE(m_form->chiamate, QStringList({"DecodHelp 1 114"}));
    QCOMPARE(g->Colonna(2)->Text(), QString("no"));
    QCOMPARE(g->Col(), 1);
}

void TstFrmLista::pulsanteCella() {
    PREPARA();
    ClicCella(vista(), 0, 1);
    static_cast<EventiGriglia*>(m_form.data())->ButtonClick(1);
    QCOMPARE(m_form->chiamate, QStringList({"DecodHelp 1 113"}));
    QCOMPARE(m_form->mbInDecod(), qint16(0));
    QVERIFY(m_form->dbgRiga()->widget()->hasFocus());
}

void TstFrmLista::valoreNonValido_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<Qt::Key>("tasto");
    QTest::addColumn<Qt::KeyboardModifiers>("modificatori");
    QTest::newRow("31 febbraio, Alt+S")
        << "31/02/2024" << Qt::Key_S << Qt::KeyboardModifiers(Qt::AltModifier);
    QTest::newRow("lettere, Alt+S") << "abc" << Qt::Key_S << Qt::KeyboardModifiers(Qt::AltModifier);
    QTest::newRow("lettere, Invio") << "abc" << Qt::Key_Return << Qt::KeyboardModifiers();
    QTest::newRow("mese 13, freccia") << "01/13/2024" << Qt::Key_Down << Qt::KeyboardModifiers();
}

void TstFrmLista::valoreNonValido() {
    // A date the column cannot take: one message naming the form expected,
    // the text typed kept in the cell, the row not written.
    QFETCH(QString, testo);
    QFETCH(Qt::Key, tasto);
    QFETCH(Qt::KeyboardModifiers, modificatori);
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    const QVariant prima = valore("SELECT DataInvent FROM MagDescrInv WHERE CodInv = 'INV1'");
    ClicCella(vista(), 0, 1);
    Scrivi(testo);
    Premi(tasto, modificatori);
    QVERIFY2(m_msg->testi().size() == 1, qPrintable(m_msg->testi().join(" | ")));
    const QString messaggio = m_msg->testi().front();
    QVERIFY2(messaggio.startsWith("Il valore scritto non è valido per questa colonna."),
             qPrintable(messaggio));
    QVERIFY2(messaggio.contains("Data_Inventario") || messaggio.contains("DataInvent"),
             qPrintable(messaggio));
    QVERIFY2(messaggio.contains("gg/mm/aaaa"), qPrintable(messaggio));
    QCOMPARE(g->Row(), 0);
    QCOMPARE(g->Col(), 1);
    QVERIFY(g->EditActive());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), testo);
    QCOMPARE(valore("SELECT DataInvent FROM MagDescrInv WHERE CodInv = 'INV1'"), prima);

    // Alt+A drops the typed value without a second word about it
    Premi(Qt::Key_A, Qt::AltModifier);
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY(!g->EditActive());
    QVERIFY(!g->DataChanged());
    QCOMPARE(m_form->dbgRiga()->Colonna(1)->Value(), prima);
}

void TstFrmLista::ordinamento() {
    PREPARA();
    auto* v = qobject_cast<QTableView*>(vista());
    ClicTitolo(v, v->horizontalHeader(), 1);
    QVERIFY(m_msg->testi().isEmpty());
    QVERIFY2(m_form->osSql().endsWith("ORDER BY DataInvent"), qPrintable(m_form->osSql()));
    ClicTitolo(v, v->horizontalHeader(), 1);
    QVERIFY(m_form->osSql().endsWith("ORDER BY DataInvent DESC"));
    QCOMPARE(m_form->dbgRiga()->Colonna(0)->Text(), QString("INV3"));

    // a binary column cannot be sorted: the message, the SQL as it was
    delete m_form.data();
    if (SuServer(m_motore))
        Esegui(m_db, "CREATE TABLE Allegati (Codice varchar(20) PRIMARY KEY, Dati bytea)");
    else
        Esegui(m_db, "CREATE TABLE Allegati (Codice TEXT PRIMARY KEY, Dati BLOB)");
    Esegui(m_db, "INSERT INTO Allegati (Codice) VALUES ('b'), ('a')");
    m_form = new FrmProva(QStringLiteral("SELECT Codice, Dati FROM Allegati ORDER BY Codice"));
    QString a, b;
    m_form->TabellaStd(a, b);
    m_form->Avvia();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    const QString prima = m_form->osSql();
    v = qobject_cast<QTableView*>(vista());
    ClicTitolo(v, v->horizontalHeader(), 1);
    QCOMPARE(m_msg->testi(), QStringList({"Impossibile ordinare su questo campo"}));
    QCOMPARE(m_msg->mostrati().front().stile, int(vbOKOnly));
    QCOMPARE(m_form->osSql(), prima);
}

void TstFrmLista::tastiAlt() {
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    ClicCella(vista(), 0, 0);
    // the print button is hidden without the print dialog: Alt+M does nothing
    QAction* stampa = m_form->ogComlin()->Pulsante(QStringLiteral("Stampa"));
    QVERIFY(stampa && !stampa->isVisible());
    QCOMPARE(m_form->ogComlin()->TastoAlt('M'), QString("Stampa"));
    Premi(Qt::Key_M, Qt::AltModifier);
    QVERIFY(m_msg->testi().isEmpty());
    // read only: "Nuovo" is disabled, Alt+N does nothing
    m_form->setOiAbilRW(0);
    Premi(Qt::Key_N, Qt::AltModifier);
    QVERIFY(!g->AddNewMode());
    m_form->setOiAbilRW(1);
    Premi(Qt::Key_N, Qt::AltModifier);
    QVERIFY(g->Row() == 3);
    Scrivi("INV7");
    QVERIFY(g->AddNewMode());
    // Alt+A undoes the new row
    Premi(Qt::Key_A, Qt::AltModifier);
    QVERIFY(!g->AddNewMode());
    QCOMPARE(g->Dati()->RecordCount(), 3);
}

void TstFrmLista::caricamentoFallito_data() {
    QTest::addColumn<bool>("conMenu");
    QTest::newRow("menu") << true;
    QTest::newRow("senza menu") << false;
}

void TstFrmLista::caricamentoFallito() {
    // The load error is told under the caption; the form closes without
    // asking and without handing control back.
    QFETCH(bool, conMenu);
    prepara(QStringLiteral("SELECT Codice FROM Inesistente"), false);
    if (!m_form)
        return;
    Q_UNUSED(conMenu);
    QCOMPARE(m_form->oiLoadOk(), qint16(-1));
    QString messaggio;
    for (const QString& c : std::as_const(m_menu.chiamate))
        if (c.startsWith("MsgBox "))
            messaggio = c.mid(7);
    QVERIFY2(messaggio.startsWith("Prova\r\nErrore("), qPrintable(messaggio));
    QVERIFY(!frmConnSeCaricata());

    // the error reporter without the menu still tells the operator
    if (!conMenu) {
        Sessione().MenuClient = nullptr;
        ImpostaErrore(3021, QStringLiteral("Nessun record corrente"));
        MostraErrore(std::nullopt, std::nullopt, QStringLiteral("Titolo\r\n"));
        QCOMPARE(m_msg->testi(), QStringList({"Titolo\r\nErrore(3021): Nessun record corrente"}));
        Sessione().MenuClient = &m_menu;
    }
    m_menu.chiamate.clear();
    m_form->close();
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_menu.chiamate.isEmpty());
    QVERIFY(!frmPrincipale()->timChiudi()->isActive());
}

void TstFrmLista::verificaRiga() {
    // The row check skips locked columns and puts the cursor on the first
    // column refused.
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    m_form->ogComlin()->BloccaColonna(QStringLiteral("DataInvent"));
    ClicCella(vista(), 0, 2);
    Scrivi("z");
    g->setEditActive(false); // the cell kept, the cursor still on the row
    m_form->chiamate.clear();
    m_form->rifiuti = 0;
    QVERIFY(g->Update());
    QCOMPARE(m_form->chiamate,
             QStringList({"VerifUpdate", "DatiValidi 0 riga", "DatiValidi 2 riga"}));
    ClicCella(vista(), 1, 2);
    Scrivi("w");
    g->setEditActive(false);
    ClicCella(vista(), 1, 0);
    m_form->chiamate.clear();
    m_form->rifiutaInRiga = 2;
    QVERIFY(!g->Update());
    QCOMPARE(m_form->chiamate,
             QStringList({"VerifUpdate", "DatiValidi 0 riga", "DatiValidi 2 riga"}));
    QCOMPARE(g->Col(), 2);
    QVERIFY(g->DataChanged());
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV2'").toString(),
             QString("Secondo"));
}

// The grid is fitted again under the toolbar when the toolbar's buttons
// change in number, in what is shown or in their texts, not when one is
// enabled or disabled (at each row the operator writes): a fitting lays the
// grid out and paints it whole.
void TstFrmLista::barraPulsanti() {
    PREPARA();
    QTimer* t = m_form->timResize();
    QTRY_VERIFY(!t->isActive());
    QAction* a = m_form->ogComlin()->Pulsante(QStringLiteral("Aggiorna"));
    QVERIFY(a);
    QVERIFY(a->isVisible());
    a->setEnabled(!a->isEnabled());
    QVERIFY(!t->isActive());
    a->setEnabled(!a->isEnabled());
    a->setToolTip(QStringLiteral("altro"));
    QVERIFY(!t->isActive());
    // a row typed into enables the buttons of the row
    ClicCella(vista(), 0, 2);
    Scrivi("x");
    QVERIFY(m_form->dbgRiga()->DataChanged());
    QVERIFY(!t->isActive());
    m_form->dbgRiga()->CancelUpdate();
    // shown, hidden, renamed: fitted again
    a->setVisible(false);
    QVERIFY(t->isActive());
    QTRY_VERIFY(!t->isActive());
    a->setVisible(true);
    QVERIFY(t->isActive());
    QTRY_VERIFY(!t->isActive());
    a->setText(a->text() + QStringLiteral(" bis"));
    QVERIFY(t->isActive());
    QTRY_VERIFY(!t->isActive());
    auto* nuova = new QAction(QStringLiteral("Nuova"), m_form->tolComlin());
    m_form->tolComlin()->addAction(nuova);
    QVERIFY(t->isActive());
}

void TstFrmLista::preparazione() {
    // Colour, loading notice, company suffix, read-only switch and window
    // state, on a form that is not loaded.
    PROVA_SOLO_PRIMO_MOTORE();
    m_menu = MenuFinto();
    PreparaSessione(QSqlDatabase(), &m_menu);
    Sessione().ColoreForm = 0x0000FF; // &HBBGGRR: red
    Sessione().StatoFinestra = QStringLiteral("2");
    auto f = std::make_unique<FrmProva>(QString());
    auto* dentro = new QWidget(f.get());
    dentro->setObjectName("Fra1");
    auto* fuori = new QWidget(f.get());
    fuori->setObjectName("Fra2");
    f->osParam = QStringLiteral("/F frmProva /RO");
    PreparaForm(f.get(), FlagPrepara::ControllaRO, QStringLiteral("txt,Fra2,"));
    QCOMPARE(f->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(dentro->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(fuori->palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::Window));
    QCOMPARE(f->windowTitle(), QString("Prova - Ditta Prova"));
    QCOMPARE(f->oiAbilRW(), qint16(0));
    QVERIFY(frmConnSeCaricata());
    QCOMPARE(frmConnSeCaricata()->txtNomeDb()->text(), QString("Caricamento maschera Prova"));
    QCOMPARE(frmConnSeCaricata()->windowTitle(), QString("Caricamento maschera"));
    // the operator sees which form is coming
    QVERIFY(frmConnSeCaricata()->txtNomeDb()->isVisibleTo(frmConnSeCaricata()));
    FinePreparaForm(f.get(), 0);
    QVERIFY(!frmConnSeCaricata());
    QVERIFY(f->windowState() & Qt::WindowMaximized);
    f->osParam.clear();
    PreparaForm(f.get(), FlagPrepara::ControllaRO | FlagPrepara::NoAvviso);
    QCOMPARE(f->oiAbilRW(), qint16(1));
    QVERIFY(!frmConnSeCaricata());
    Sessione().ColoreForm = 0;
    Sessione().StatoFinestra.clear();
}

QTEST_MAIN(TstFrmLista)
#include "tst_frmlista.moc"
