// The inventory headers form driven with real key and mouse events over an
// SQLite file and over PostgreSQL (skipped when the test service has not
// exported QUARVEL_PG_*), with the real grid and list-command object.

#include "../listform/Ambiente.h"
#include "database/FrmConn.h"
#include "desktop/DialogoMessaggi.h"
#include "desktop/FrmMsgCom.h"
#include "desktop/Scala.h"
#include "lifo/FrmMagDescInv.h"
#include "listform/Tastiera.h"
#include "startup/Principale.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <memory>

using namespace quarvel;
using namespace prova;

#define PREPARA()                                                                                  \
    do {                                                                                           \
        prepara();                                                                                 \
        if (!m_form)                                                                               \
            return;                                                                                \
    } while (0)

class TstFrmMagDescInv : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every case runs on each engine.
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void caricamento();
    void membri();
    void nuovaTestata();
    void dataObbligatoria();
    void testataSenzaDescrizione_data();
    void testataSenzaDescrizione();
    void cancellazione_data();
    void cancellazione();
    void cancellazioneDaTastiera_data();
    void cancellazioneDaTastiera();
    void cancellazioneSenzaConteggi();
    void cancellazioneFallita();
    void tastoCanc();
    void soloLettura();
    void chiusura_data();
    void chiusura();
    void segnalibro();
    void ordinamentoDaTastiera();
    void chiusuraDaTastiera_data();
    void chiusuraDaTastiera();

private:
    void prepara(const QString& osParam = {});
    QAbstractItemView* vista() const {
        return qobject_cast<QAbstractItemView*>(m_form->dbgRiga()->widget());
    }
    QAction* pulsante(const QString& chiave) const { return m_form->ogComlin()->Pulsante(chiave); }
    void clicPulsante(const QString& chiave);
    QVariant valore(const QString& sql) { return Valore(m_db, sql); }
    void fermaChiusura();

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_lifo")};
    int m_serie = 0;
    Motore m_motore = Motore::Sqlite;
    QSqlDatabase m_db;
    MenuFinto m_menu;
    std::unique_ptr<MessaggiScriptati> m_msg;
    QPointer<FrmMagDescInv> m_form;
};

void TstFrmMagDescInv::initTestCase() {
    QVERIFY(m_dir.isValid());
    InstallaComponenti();
    // Scaling off: widths stay as designed.
    ImpostaLettoreFattore([](const QString&, const QString&) { return -1.0; });
    CaricaFrmPrincipale();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstFrmMagDescInv::prepara(const QString& osParam) {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    m_motore = motore;
    m_db = ConnessioneDitta(motore, QStringLiteral("ditta%1").arg(++m_serie), m_dir, m_pg);
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    RiempiDitta(m_db);
    m_menu = MenuFinto();
    PreparaSessione(m_db, &m_menu);
    AzzeraTastiera();
    m_msg = std::make_unique<MessaggiScriptati>();

    m_form = CreaFrmMagDescInv();
    m_form->osParam = osParam;
    m_form->osKeySec = QStringLiteral("K1");
    m_form->osCaption = QStringLiteral(" 2024");
    QString a, b;
    m_form->TabellaStd(a, b);
    m_form->Avvia();
    QCOMPARE(m_form->oiLoadOk(), qint16(1));
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->activateWindow();
    QTRY_VERIFY(m_form->isActiveWindow());
    ClicCella(vista(), 0, 0);
}

void TstFrmMagDescInv::fermaChiusura() {
    if (FrmPrincipale* p = frmPrincipale())
        p->timChiudi()->stop();
}

void TstFrmMagDescInv::cleanup() {
    Sessione().ChiusuraDaMenu = false;
    if (m_form) {
        // Whatever the case left pending goes without questions.
        if (m_form->dbgRiga() && m_form->dbgRiga()->DataChanged())
            m_form->dbgRiga()->CancelUpdate();
        delete m_form.data();
    }
    fermaChiusura();
    m_msg.reset();
    Sessione().DbDitta = QSqlDatabase();
    const QString nome = m_db.connectionName();
    m_db = QSqlDatabase();
    if (!nome.isEmpty())
        QSqlDatabase::removeDatabase(nome);
}

void TstFrmMagDescInv::cleanupTestCase() {
    AzzeraSessione();
    m_pg.Elimina();
}

void TstFrmMagDescInv::clicPulsante(const QString& chiave) {
    QAction* a = pulsante(chiave);
    QVERIFY2(a, qPrintable(chiave));
    QWidget* w = m_form->tolComlin()->widgetForAction(a);
    QVERIFY2(w && w->isVisible(), qPrintable(chiave));
    QTest::mouseClick(w, Qt::LeftButton);
}

// ---- cases -----------------------------------------------------------------------------

void TstFrmMagDescInv::caricamento() {
    PREPARA();
    QCOMPARE(m_form->windowTitle(), QString("Date inventario 2024 - Ditta Prova"));
    QCOMPARE(m_form->msCaptionBase(), QString("Date inventario 2024"));
    QCOMPARE(m_form->HelpContextID(), 22102);
    QCOMPARE(m_form->oiNumKey(), qint16(1));
    QCOMPARE(m_form->osSql(), testi_magdescinv::Sql());
    QCOMPARE(m_form->oiAbilRW(), qint16(1));
    QCOMPARE(m_form->txtRiga()->text(), QString("1 / 3"));
    QVERIFY(!frmConnSeCaricata()); // the loading notice is gone

    // the controls by their names
    QVERIFY(m_form->findChild<QToolBar*>("tolComlin"));
    QVERIFY(m_form->findChild<QLineEdit*>("txtRiga"));
    QVERIFY(m_form->findChild<QTableView*>("dbgRiga"));
    for (const char* t : {"timResize", "timVarie"}) {
        auto* timer = m_form->findChild<QTimer*>(t);
        QVERIFY2(timer && timer->isSingleShot() && timer->interval() == 1, t);
    }
    QVERIFY(m_form->findChild<QObject*>("ImagePiccole"));
    QVERIFY(m_form->findChild<QObject*>("ImageGrandi"));

    // the columns as designed, the grid below the toolbar
    const QStringList titoli{"Codice", "Data_Inventario", "Descrizione"};
    const QList<int> larghezze{1500, 1300, 4000};
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->NumeroColonne(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(g->Colonna(i)->Caption(), titoli[i]);
        QCOMPARE(g->Colonna(i)->Width(), larghezze[i]);
    }
    QTRY_VERIFY(g->widget()->y() >= m_form->tolComlin()->geometry().bottom());
    QTRY_COMPARE(g->widget()->width(), m_form->width());
}

void TstFrmMagDescInv::membri() {
    PREPARA();
    QCOMPARE(m_form->ovField(0, "type").toInt(), Tipo::Testo);
    QCOMPARE(m_form->ovField(0, "TYPE"), m_form->ovField(0, "type"));
    QCOMPARE(m_form->ovField(0, "Type"), m_form->ovField(0, "type"));
    QCOMPARE(m_form->ovField(1, "type").toInt(), Tipo::Data);
    QVERIFY(m_form->ovField(0, "Name").toString().compare("CodInv", Qt::CaseInsensitive) == 0);
    QVERIFY(
        m_form->ovField(2, "SOURCETABLE").toString().compare("MagDescrInv", Qt::CaseInsensitive) ==
        0);
    QVERIFY(
        m_form->ovField(2, "sourcefield").toString().compare("Descrizione", Qt::CaseInsensitive) ==
        0);
    QCOMPARE(m_form->ovField(0, "dataupdatable").toBool(), true);
    QCOMPARE(m_form->ovField(0, "fieldsize").toInt(), 4); // "INV1"
    QCOMPARE(m_form->ovField(1, "FieldSize").toInt(), 8);
    QVERIFY(!m_form->ovField(0, "colore").isValid());
    QVERIFY(!m_form->ovField(7, "type").isValid());
    QVERIFY(m_form->ColToSourceField(1).toString().compare("DataInvent", Qt::CaseInsensitive) == 0);

    // PassaA answers the menu with caption, activation key and function key.
    m_form->osKeyAttivazione = QStringLiteral("frmMagDescInv");
    m_form->PassaA();
    QCOMPARE(m_menu.chiamate.last(),
             QString("RegistraFinestra Date inventario 2024 - Ditta Prova|frmMagDescInv|K1"));

    // The print-running flag is the program's, not the form's.
    m_form->setOiStaAtt(1);
    auto altro = std::unique_ptr<FrmMagDescInv>(CreaFrmMagDescInv());
    QCOMPARE(altro->oiStaAtt(), qint16(1));
    m_form->setOiStaAtt(0);
    QCOMPARE(altro->oiStaAtt(), qint16(0));

    // MenuFrm brings the menu forward, or says it is gone.
    m_form->MenuFrm();
    QCOMPARE(m_menu.chiamate.last(), QString("MostraMenu"));
    m_menu.menuSparito = true;
    m_form->MenuFrm();
    QCOMPARE(m_msg->testi(), QStringList({"Il menu non è più disponibile"}));
}

void TstFrmMagDescInv::nuovaTestata() {
    PREPARA();
    clicPulsante(QStringLiteral("Nuovo"));
    IGrigliaDati* g = m_form->dbgRiga();
    // "Nuovo" hands over the CodInv column: the new row opens there.
    QCOMPARE(g->Row(), 3);
    QCOMPARE(g->Col(), 0);
    Scrivi(QStringLiteral("INV9"));
    Premi(Qt::Key_Tab);
    Scrivi(QStringLiteral("15/03/2025"));
    Premi(Qt::Key_Tab);
    Scrivi(QStringLiteral("Nuova conta"));
    Premi(Qt::Key_Tab); // the last cell: Tab stays in the row
    QCOMPARE(g->Row(), 3);
    QVERIFY(g->DataChanged());
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY(!g->DataChanged());
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV9'").toString(),
             QString("Nuova conta"));
    QCOMPARE(valore("SELECT DataInvent FROM MagDescrInv WHERE CodInv = 'INV9'").toDate(),
             QDate(2025, 3, 15));
    QCOMPARE(g->Dati()->RecordCount(), 4);
    QCOMPARE(m_form->txtRiga()->text().section(" / ", 1), QString("4"));
    QVERIFY(m_msg->testi().isEmpty());
}

void TstFrmMagDescInv::dataObbligatoria() {
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    clicPulsante(QStringLiteral("Nuovo"));
    Scrivi(QStringLiteral("INV8"));
    Premi(Qt::Key_Tab);
    Premi(Qt::Key_Tab);
    Scrivi(QStringLiteral("Senza data"));
    m_msg->rispondi(1);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi(), QStringList({"Data obbligatoria"}));
    QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Ok"}));
    QCOMPARE(g->Col(), 1); // the cursor on the date
    QVERIFY(g->AddNewMode());
    QVERIFY(g->DataChanged());
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV8'").toInt(), 0);

    // with a date, and no description, the row is accepted
    m_msg->azzera();
    Scrivi(QStringLiteral("01/02/2025"));
    Premi(Qt::Key_Tab);
    g->Colonna(2)->setValue(QVariant());
    clicPulsante(QStringLiteral("Salva"));
    QVERIFY(m_msg->testi().isEmpty());
    QCOMPARE(valore("SELECT DataInvent FROM MagDescrInv WHERE CodInv = 'INV8'").toDate(),
             QDate(2025, 2, 1));
}

void TstFrmMagDescInv::testataSenzaDescrizione_data() {
    QTest::addColumn<bool>("nuova"); // typed in the form, or read from the database
    QTest::newRow("salvata qui") << true;
    QTest::newRow("letta") << false;
}

// A header without a description (Null in the database) is changed and
// saved again, then deleted: nobody else touched it, so no message about
// another workstation.
void TstFrmMagDescInv::testataSenzaDescrizione() {
    QFETCH(bool, nuova);
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    int riga = 1;
    if (nuova) {
        clicPulsante(QStringLiteral("Nuovo"));
        Scrivi(QStringLiteral("INV7"));
        Premi(Qt::Key_Tab);
        Scrivi(QStringLiteral("01/02/2025"));
        Premi(Qt::Key_Tab);
        clicPulsante(QStringLiteral("Salva"));
        QVERIFY(!g->DataChanged());
        riga = 3;
    } else {
        Esegui(m_db, QStringLiteral("UPDATE MagDescrInv SET Descrizione = NULL WHERE CodInv = "
                                    "'INV2'"));
        clicPulsante(QStringLiteral("Aggiorna"));
    }
    const QString codice = nuova ? QStringLiteral("INV7") : QStringLiteral("INV2");
    const QString dove = QStringLiteral(" FROM MagDescrInv WHERE CodInv = '%1'").arg(codice);
    QVERIFY(valore(QStringLiteral("SELECT CodInv") + dove).isValid());
    QVERIFY(valore(QStringLiteral("SELECT Descrizione") + dove).isNull());

    ClicCella(vista(), riga, 1);
    QCOMPARE(g->Colonna(0)->Text(), codice);
    QCOMPARE(g->Colonna(2)->Text(), QString());
    Scrivi(QStringLiteral("02/03/2025"));
    Premi(Qt::Key_Return);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi(), QStringList());
    QVERIFY(!g->DataChanged());
    QCOMPARE(valore(QStringLiteral("SELECT DataInvent") + dove).toDate(), QDate(2025, 3, 2));
    QVERIFY(valore(QStringLiteral("SELECT Descrizione") + dove).isNull());

    // saved once more, the description still empty
    ClicCella(vista(), riga, 1);
    Scrivi(QStringLiteral("03/03/2025"));
    Premi(Qt::Key_Return);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi(), QStringList());
    QCOMPARE(valore(QStringLiteral("SELECT DataInvent") + dove).toDate(), QDate(2025, 3, 3));

    // deleted (INV2 has counts: the form asks about them too)
    ClicCella(vista(), riga, 1);
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    clicPulsante(QStringLiteral("Cancella"));
    for (const QString& t : m_msg->testi())
        QVERIFY2(!t.contains(QLatin1String("postazione")), qPrintable(t));
    QCOMPARE(valore(QStringLiteral("SELECT COUNT(*)") + dove).toInt(), 0);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv").toInt(), nuova ? 3 : 2);
}

void TstFrmMagDescInv::cancellazione_data() {
    QTest::addColumn<QString>("origine");
    QTest::addColumn<int>("cascata");  // answer to the form's question
    QTest::addColumn<int>("conferma"); // answer to the list's own question
    QTest::addColumn<bool>("cancellata");
    QTest::newRow("pulsante ok") << "pulsante" << 1 << 1 << true;
    QTest::newRow("pulsante annulla") << "pulsante" << 2 << 1 << false;
    QTest::newRow("tasto Canc ok") << "tasto" << 1 << 1 << true;
    QTest::newRow("griglia ok") << "griglia" << 1 << 1 << true;
    QTest::newRow("griglia annulla") << "griglia" << 2 << 1 << false;
    // the counts deleted by "&Ok" come back when the list refuses the delete
    QTest::newRow("griglia ok poi no") << "griglia" << 1 << 2 << false;
    // a dialog closed without a button keeps everything
    QTest::newRow("pulsante chiusa") << "pulsante" << 0 << 1 << false;
}

void TstFrmMagDescInv::cancellazione() {
    QFETCH(QString, origine);
    QFETCH(int, cascata);
    QFETCH(int, conferma);
    QFETCH(bool, cancellata);
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Colonna(0)->Text(), QString("INV1"));
    QStringList attesi;
    if (origine == QLatin1String("griglia")) {
        m_msg->rispondi(cascata);
        attesi << testi_magdescinv::CancellaConteggi();
        if (cascata == 1) {
            m_msg->rispondi(conferma);
            attesi << listcmd::Comlin::domandaCancella();
        }
        g->Delete(); // as the grid deletes a selected row itself
    } else {
        m_msg->rispondi(conferma);
        m_msg->rispondi(cascata);
        attesi << listcmd::Comlin::domandaCancella() << testi_magdescinv::CancellaConteggi();
        if (origine == QLatin1String("pulsante"))
            clicPulsante(QStringLiteral("Cancella"));
        else
            Premi(Qt::Key_Delete); // the whole cell is selected: the row goes
    }
    QCOMPARE(m_msg->testi(), attesi);
    const auto& domanda = m_msg->mostrati().at(origine == QLatin1String("griglia") ? 0 : 1);
    QCOMPARE(domanda.pulsanti, QStringList({"&Ok", "&Annulla"}));
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV1'").toInt(),
             cancellata ? 0 : 1);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV1'").toInt(),
             cancellata ? 0 : 2);
    // the counts of the other inventories are never touched
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV2'").toInt(), 1);
    QTRY_COMPARE(m_form->txtRiga()->text(), cancellata ? QString("1 / 2") : QString("1 / 3"));
    // no transaction is left open: a write of another connection goes through
    {
        QSqlDatabase altra =
            SuServer(m_motore)
                ? m_pg.Connessione(QStringLiteral("altra"))
                : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("altra"));
        if (!SuServer(m_motore))
            altra.setDatabaseName(m_db.databaseName());
        QVERIFY(altra.open());
        QSqlQuery q(altra);
        if (!SuServer(m_motore))
            q.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
        QVERIFY2(q.exec(QStringLiteral("UPDATE MagDescrInv SET Descrizione = 'x' WHERE CodInv = "
                                       "'INV3'")),
                 qPrintable(q.lastError().text()));
        altra.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("altra"));
}

// The two questions answered from the keyboard in the real dialog: the
// row's question, whose default is "No", answered "Sì" (Tab, Enter); the
// question about the counted rows defaults to keeping them, so Enter there
// deletes nothing, and Esc keeps them as well.
void TstFrmMagDescInv::cancellazioneDaTastiera_data() {
    QTest::addColumn<int>("tasto"); // to the question about the counted rows
    QTest::newRow("Invio") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void TstFrmMagDescInv::cancellazioneDaTastiera() {
    QFETCH(int, tasto);
    PREPARA();
    m_msg.reset();
    DialogoMessaggi dialogo;
    ImpostaServizioMessaggi(&dialogo);
    QStringList domande;
    QTimer timer;
    timer.setInterval(20);
    // Each dialog that opens is answered once: the list's question with
    // "Sì", the form's own with the key of the case.
    QPointer<FrmMsgCom> ultimo;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f || f == ultimo)
            return;
        ultimo = f;
        domande << f->LabMessaggio()->text();
        QTest::qWait(FrmMsgCom::GuardiaMs + 50); // answered once read
        QWidget* w = f->focusWidget() ? f->focusWidget() : f;
        if (domande.size() == 1) {
            QTest::keyClick(w, Qt::Key_Tab);
            w = f->focusWidget() ? f->focusWidget() : f;
        }
        QTest::keyClick(w, domande.size() == 1 ? Qt::Key_Return : Qt::Key(tasto));
    });
    timer.start();
    clicPulsante(QStringLiteral("Cancella"));
    timer.stop();
    ImpostaServizioMessaggi(nullptr);
    QCOMPARE(domande.size(), 2);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV1'").toInt(), 1);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV1'").toInt(), 2);
}

void TstFrmMagDescInv::cancellazioneSenzaConteggi() {
    PREPARA();
    ClicCella(vista(), 2, 0); // INV3: no counts
    m_msg->rispondi(1);
    clicPulsante(QStringLiteral("Cancella"));
    QCOMPARE(m_msg->testi(), QStringList({listcmd::Comlin::domandaCancella()}));
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV3'").toInt(), 0);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari").toInt(), 3);
}

void TstFrmMagDescInv::cancellazioneFallita() {
    // The header cannot be deleted (the database refuses it after the counts
    // went): the counts come back with it.
    PREPARA();
    if (SuServer(m_motore)) {
        Esegui(m_db, QStringLiteral("CREATE OR REPLACE FUNCTION blocca() RETURNS trigger AS $$ "
                                    "BEGIN RAISE EXCEPTION 'testata bloccata'; END $$ "
                                    "LANGUAGE plpgsql"));
        Esegui(m_db, QStringLiteral("CREATE TRIGGER blocca BEFORE DELETE ON MagDescrInv FOR EACH "
                                    "ROW EXECUTE FUNCTION blocca()"));
    } else {
        Esegui(m_db, QStringLiteral("CREATE TRIGGER blocca BEFORE DELETE ON MagDescrInv BEGIN "
                                    "SELECT RAISE(ABORT, 'testata bloccata'); END"));
    }
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    clicPulsante(QStringLiteral("Cancella"));
    QCOMPARE(m_msg->testi().mid(0, 2), QStringList({listcmd::Comlin::domandaCancella(),
                                                    testi_magdescinv::CancellaConteggi()}));
    QVERIFY(m_msg->testi().size() >= 3); // the failure was told
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV1'").toInt(), 1);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV1'").toInt(), 2);
    QCOMPARE(m_form->dbgRiga()->Dati()->RecordCount(), 3);
}

void TstFrmMagDescInv::tastoCanc() {
    PREPARA();
    IGrigliaDati* g = m_form->dbgRiga();
    ClicCella(vista(), 1, 2); // INV2, Descrizione
    Scrivi(QStringLiteral("abc"));
    Premi(Qt::Key_Left);
    Premi(Qt::Key_Delete); // typing: the key edits the text
    QCOMPARE(g->Colonna(2)->Text(), QString("ab"));
    QVERIFY(m_msg->testi().isEmpty());
    Premi(Qt::Key_Escape);
    Premi(Qt::Key_Escape);
    QVERIFY(!g->DataChanged());
    // the whole cell selected: the row is offered for deletion
    m_msg->rispondi(2);
    Premi(Qt::Key_Delete);
    QCOMPARE(m_msg->testi(), QStringList({listcmd::Comlin::domandaCancella()}));
    QCOMPARE(valore("SELECT COUNT(*) FROM MagDescrInv").toInt(), 3);
}

void TstFrmMagDescInv::soloLettura() {
    prepara(QStringLiteral("/F frmMagDescInv /RO"));
    if (!m_form)
        return;
    QCOMPARE(m_form->oiAbilRW(), qint16(0));
    QCOMPARE(m_form->ogComlin()->oiAbilRW(), qint16(0));
    QVERIFY(!pulsante(QStringLiteral("Nuovo"))->isEnabled());
    ClicCella(vista(), 0, 2);
    Scrivi(QStringLiteral("x"));
    QVERIFY(!m_form->dbgRiga()->EditActive());
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("Primo"));
    // the opener may switch it back: the list follows
    m_form->setOiAbilRW(1);
    QVERIFY(pulsante(QStringLiteral("Nuovo"))->isEnabled());
}

void TstFrmMagDescInv::chiusura_data() {
    QTest::addColumn<QString>("lancia");
    QTest::addColumn<int>("risposta"); // to the pending-row question; 0 none pending
    QTest::addColumn<bool>("chiusa");
    QTest::addColumn<QString>("ritorno");
    QTest::newRow("al menu") << "" << 0 << true << "MostraMenu";
    QTest::newRow("al chiamante") << "L1" << 0 << true << "RitornaA L1|S1|P1";
    QTest::newRow("riga salvata") << "" << 1 << true << "MostraMenu";
    QTest::newRow("riga abbandonata") << "" << 2 << true << "MostraMenu";
    QTest::newRow("resta aperta") << "" << 3 << false << "";
    // the menu itself is closing the program: no hand-back
    QTest::newRow("fine dal menu") << "L1" << 0 << true << "";
}

void TstFrmMagDescInv::chiusura() {
    QFETCH(QString, lancia);
    QFETCH(int, risposta);
    QFETCH(bool, chiusa);
    QFETCH(QString, ritorno);
    PREPARA();
    m_form->osKeyLancia = lancia;
    m_form->osKeySecLancia = QStringLiteral("S1");
    m_form->osParamLancia = QStringLiteral("P1");
    if (risposta) {
        ClicCella(vista(), 0, 2);
        Scrivi(QStringLiteral("cambiata"));
        m_msg->rispondi(risposta);
    }
    m_menu.chiamate.clear();
    Sessione().ChiusuraDaMenu = QByteArray(QTest::currentDataTag()).endsWith("fine dal menu");
    QPointer<FrmMagDescInv> f(m_form);
    m_form->setAttribute(Qt::WA_DeleteOnClose);
    m_form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(m_msg->testi().size(), risposta ? 1 : 0);
    QCOMPARE(f.isNull(), chiusa);
    const bool pianificata = frmPrincipale()->timChiudi()->isActive();
    fermaChiusura();
    QCOMPARE(pianificata, chiusa);
    if (chiusa) {
        QCOMPARE(frmPrincipale()->oiChiudi, qint16(1));
        QStringList attese{ritorno, "FineFunzione K1"};
        attese.removeAll(QString());
        QCOMPARE(m_menu.chiamate, attese);
    } else {
        QVERIFY(m_menu.chiamate.isEmpty());
        QVERIFY(f->isVisible());
    }
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             risposta == 1 ? QString("cambiata") : QString("Primo"));
}

void TstFrmMagDescInv::segnalibro() {
    PREPARA();
    QAction* vaiA = pulsante(QStringLiteral("VaiA"));
    QVERIFY(!vaiA->isEnabled());
    m_form->setOvfrmBookmark(QStringLiteral("2"));
    QCOMPARE(m_form->ovfrmBookmark(), QString("2"));
    QVERIFY(vaiA->isEnabled());
    m_form->setOvfrmBookmark(QString());
    QVERIFY(!vaiA->isEnabled());
}

void TstFrmMagDescInv::ordinamentoDaTastiera() {
    // The menu key on a cell offers the sort of its column, as a click on the
    // title does; the captions stay whole, the sort arrow included.
    PREPARA();
    auto* v = qobject_cast<QTableView*>(vista());
    ClicCella(v, 0, 1);
    QString voce;
    QTimer::singleShot(0, this, [&voce] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        voce = menu->activeAction() ? menu->activeAction()->text() : QString();
        QTest::keyClick(menu, Qt::Key_Return);
    });
    Premi(Qt::Key_Menu);
    QCOMPARE(voce, QString("&Ordina per \"Data_Inventario\""));
    QVERIFY2(m_form->osSql().endsWith("ORDER BY DataInvent"), qPrintable(m_form->osSql()));
    QHeaderView* h = v->horizontalHeader();
    QVERIFY(h->isSortIndicatorShown());
    QCOMPARE(h->sortIndicatorSection(), 1);
    for (int c = 0; c < 3; ++c)
        QVERIFY2(v->columnWidth(c) >= h->sectionSizeHint(c),
                 qPrintable(QStringLiteral("colonna %1: %2 < %3")
                                .arg(c)
                                .arg(v->columnWidth(c))
                                .arg(h->sectionSizeHint(c))));

    // the keyboard goes on in the list (the test's screen gives the window
    // back only when asked)
    QCOMPARE(m_form->focusWidget(), static_cast<QWidget*>(v));
    m_form->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(v));

    // Shift+F10 the same, and a second sort turns the order
    QTimer::singleShot(0, this, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            QTest::keyClick(menu, Qt::Key_O);
    });
    Premi(Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY2(m_form->osSql().endsWith("ORDER BY DataInvent DESC"), qPrintable(m_form->osSql()));
    QCOMPARE(m_msg->testi(), QStringList());
}

void TstFrmMagDescInv::chiusuraDaTastiera_data() {
    QTest::addColumn<int>("tasto"); // to "Salvare le modifiche?"
    QTest::addColumn<bool>("chiusa");
    QTest::addColumn<QString>("descrizione"); // of INV1 afterwards
    QTest::newRow("Invio salva") << int(Qt::Key_Return) << true << "cambiata";
    QTest::newRow("Esc annulla") << int(Qt::Key_Escape) << false << "Primo";
}

void TstFrmMagDescInv::chiusuraDaTastiera() {
    // The form closed with a row typed and not saved: the real question,
    // answered with a key.
    QFETCH(int, tasto);
    QFETCH(bool, chiusa);
    QFETCH(QString, descrizione);
    PREPARA();
    ClicCella(vista(), 0, 2);
    Scrivi(QStringLiteral("cambiata"));
    m_msg.reset();
    DialogoMessaggi dialogo;
    ImpostaServizioMessaggi(&dialogo);
    QStringList domande;
    QTimer timer;
    timer.setInterval(20);
    QPointer<FrmMsgCom> ultimo;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f || f == ultimo)
            return;
        ultimo = f;
        domande << f->LabMessaggio()->text();
        QTest::qWait(FrmMsgCom::GuardiaMs + 50); // answered once read
        QWidget* w = f->focusWidget() ? f->focusWidget() : f;
        QTest::keyClick(w, Qt::Key(tasto));
    });
    timer.start();
    QPointer<FrmMagDescInv> f(m_form);
    m_form->setAttribute(Qt::WA_DeleteOnClose);
    m_form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    timer.stop();
    ImpostaServizioMessaggi(nullptr);
    fermaChiusura();
    QCOMPARE(domande.size(), 1);
    QVERIFY2(domande.front().contains(QStringLiteral("Salvare le modifiche?")),
             qPrintable(domande.front()));
    QCOMPARE(f.isNull(), chiusa);
    if (!chiusa) // the typed text waits in the row
        QVERIFY(m_form->dbgRiga()->DataChanged());
    QCOMPARE(valore("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             descrizione);
}

QTEST_MAIN(TstFrmMagDescInv)
#include "tst_frmmagdescinv.moc"
