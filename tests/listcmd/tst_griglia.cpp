// The grid and the list-command object driven as a data form drives them:
// real key and mouse events on the grid, the form's handlers forwarding to
// the list-command object, over an SQLite file and over PostgreSQL (when the
// test service exports QUARVEL_PG_*; skipped otherwise), through Qt's own
// driver and, for the cases marked "odbc", through unixODBC and psqlODBC.

#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "listcmd/Comlin.h"
#include "listcmd/Conteggio.h"
#include "listcmd/Griglia.h"
#include "suite/Messaggi.h"
#include "support/MotoriProva.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <memory>

using namespace quarvel;
using namespace quarvel::listcmd;
using namespace prova;

// prepara() skips the PostgreSQL rows without a server: the case ends there.
#define PREPARA(...)                                                                               \
    do {                                                                                           \
        prepara(__VA_ARGS__);                                                                      \
        if (!m_g)                                                                                  \
            return;                                                                                \
    } while (0)

// The cases that reach the server through unixODBC and psqlODBC as well: the
// rows of their table with "odbc" set take that way on the global row
// "postgres", and have nothing to do on SQLite.
#define VIA_ODBC()                                                                                 \
    do {                                                                                           \
        QFETCH(bool, odbc);                                                                        \
        if (odbc && !SuServer(MotoriProva::Corrente()))                                            \
            QSKIP("ODBC porta solo al server: la riga gira con il motore postgres");               \
        m_odbc = odbc;                                                                             \
    } while (0)

namespace {

// The handlers of a data form, as the forms write them: each forwards to the
// list-command object and the test can refuse.
struct Modulo final : EventiGriglia {
    IListaComandi* comlin = nullptr;
    QString sql;
    QString comando; // msComando
    QString contatore;
    QStringList eventi;
    bool conTasti = false;
    bool rifiutaColonna = false;
    bool rifiutaRiga = false;
    std::function<void()> suAddNew;

    void BeforeColEdit(int c, int k, int& cancel) override {
        eventi << QStringLiteral("BeforeColEdit");
        comlin->PrimaEditColonna(c, k, cancel);
    }
    void Change() override {
        eventi << QStringLiteral("Change");
        comlin->Modificata();
    }
    void BeforeColUpdate(int c, QVariant& vecchio, int& cancel) override {
        eventi << QStringLiteral("BeforeColUpdate");
        comlin->PrimaAggColonna(c, vecchio, cancel);
        if (rifiutaColonna)
            cancel = -1;
    }
    void AfterColUpdate(int c) override {
        eventi << QStringLiteral("AfterColUpdate");
        comlin->DopoAggColonna(c);
    }
    void BeforeUpdate(int& cancel) override {
        eventi << QStringLiteral("BeforeUpdate");
        if (rifiutaRiga || !comlin->PrimaAggRiga(true))
            cancel = -1;
    }
    void AfterUpdate() override { eventi << QStringLiteral("AfterUpdate"); }
    void OnAddNew() override {
        eventi << QStringLiteral("OnAddNew");
        if (suAddNew)
            suAddNew();
    }
    void BeforeDelete(int& cancel) override {
        eventi << QStringLiteral("BeforeDelete");
        if (comando.isEmpty() && comlin->EseguiPulsante(QStringLiteral("Cancella"), {}, true) == -1)
            cancel = -1;
    }
    void AfterDelete() override {
        eventi << QStringLiteral("AfterDelete");
        comlin->DopoCancella();
    }
    void RowColChange(const QVariant& r, int c) override {
        eventi << QStringLiteral("RowColChange");
        qint16 flag = 0;
        QString a, b;
        comlin->CambioRigaCol(r, c, flag, a, b);
        contatore = a + QStringLiteral(" / ") + b;
    }
    void HeadClick(int c) override {
        eventi << QStringLiteral("HeadClick");
        if (comlin->Ordina(c, sql) == 1)
            MsgBox(QStringLiteral("Impossibile ordinare su questo campo"));
    }
    void Error(int n, int& risposta) override {
        eventi << QStringLiteral("Error %1").arg(n);
        comlin->ErroreGriglia(n, risposta);
    }
    void KeyDown(int&, int) override {
        if (conTasti)
            eventi << QStringLiteral("KeyDown");
    }
    void KeyPress(int&) override {
        if (conTasti)
            eventi << QStringLiteral("KeyPress");
    }
    void KeyUp(int&, int) override {
        if (conTasti)
            eventi << QStringLiteral("KeyUp");
    }
    int ButtonComando(const QString& k) {
        comando = k;
        const int r = comlin->EseguiPulsante(k);
        comando.clear();
        return r;
    }
};

const char* SqlTestate = "SELECT CodInv, DataInvent, Descrizione FROM MagDescrInv ORDER BY CodInv";
const char* SqlConteggi =
    "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS DesArticolo"
    ",MagInventari.Livello1,MagInventari.Livello2,MagInventari.Giacenza"
    ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz"
    " FROM (MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo)"
    " LEFT JOIN Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino"
    " WHERE CodInv = 'INV1' Order by MagInventari.Articolo";

} // namespace

// Every case runs on each engine; conteggioInMemoria() needs none and runs
// once.
class TstGriglia : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanup();
    void cleanupTestCase() {
        m_pg.Elimina();
        m_pgAltra.Elimina();
    }

    void ordineEventiCella();
    void cellaRifiutata();
    void rigaRifiutata();
    void nuovaRiga();
    void invio_data();
    void invio();
    void invioRigaNuova();
    void cancellazione_data();
    void cancellazione();
    void cancellazioneDallaGriglia();
    void esc();
    void ordinamento();
    void soloLettura();
    void rigaPendenteAllaChiusura_data();
    void rigaPendenteAllaChiusura();
    void chiaveDuplicata();
    void rigaCambiataDaAltri_data();
    void rigaCambiataDaAltri();
    void letturaPigra();
    void layoutEFormato();
    void cercaEPulsanti();
    void conteggioInSfondo();
    void rigaNuovaDuranteConteggio();
    void nuovoDuranteConteggio();
    void conteggioCortoEFallito();
    void chiusuraDuranteConteggio_data();
    void chiusuraDuranteConteggio();
    void conteggioInMemoria();
    void connessioneDelConteggio();
    void righeDopoScritture_data();
    void righeDopoScritture();
    void righeDiAltrePostazioni();
    void valoriNulli_data();
    void valoriNulli();
    void listaCambiataDuranteConteggio_data();
    void listaCambiataDuranteConteggio();
    void modelloCoerente_data();
    void modelloCoerente();

    void mascheraColonnaCalcolata();

private:
    void prepara(const QString& sql = QString::fromLatin1(SqlTestate));
    QSqlDatabase apriDb(const QString& nome);
    QWidget* bersaglio() const;
    void scrivi(const QString& testo);
    void tasto(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier);
    void clicCella(int r, int c);
    QVariant valoreDb(const QString& sql);
    void esegui(const QString& sql);
    void riempi(int n, const QString& tabella = QStringLiteral("MagInventari"));
    QStringList senzaTasti() const;
    QStringList articoliDb();
    void confrontaRighe(const QStringList& lista, const QStringList& aggiunte);

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_listcmd")};
    // where connessioneDelConteggio() moves the list
    DatabasePgProva m_pgAltra{QStringLiteral("quarvel_listcmd_altra")};
    int m_serie = 0;
    Motore m_motore = Motore::Sqlite;
    bool m_odbc = false; // the case takes the server through unixODBC
    QSqlDatabase m_db;
    std::unique_ptr<QWidget> m_form;
    QToolBar* m_toolbar = nullptr;
    QLineEdit* m_txtRiga = nullptr;
    Griglia* m_g = nullptr;
    std::unique_ptr<Comlin> m_comlin;
    Modulo m_modulo;
    std::unique_ptr<MessaggiScriptati> m_msg;
};

void TstGriglia::initTestCase() {
    dati::Registra();
    QVERIFY(m_dir.isValid());
    if (DatabasePgProva::Disponibile()) {
        // A database of its own, so that other tests running beside these
        // are not disturbed.
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

QSqlDatabase TstGriglia::apriDb(const QString& nome) {
    QSqlDatabase db = ConnessioneProva(
        m_motore, nome, m_dir.filePath(QStringLiteral("ditta%1.db").arg(m_serie)), m_pg);
    if (!db.open())
        qFatal("%s", qPrintable(db.lastError().text()));
    return db;
}

void TstGriglia::prepara(const QString& sql) {
    QFETCH_GLOBAL(Motore, motore);
    if (m_odbc)
        motore = Motore::Odbc;
    SALTA_SENZA_SERVER(motore);
    m_motore = motore;
    ++m_serie;
    m_db = apriDb(QStringLiteral("ditta%1").arg(m_serie));
    dati::CreaDitta(m_db, true);
    esegui(QStringLiteral("DELETE FROM MagDescrInv"));
    for (int i = 1; i <= 5; ++i)
        esegui(QStringLiteral("INSERT INTO MagDescrInv (CodInv, DataInvent, Descrizione) VALUES "
                              "('INV%1', '2024-0%1-15', 'Inventario %1')")
                   .arg(i));
    esegui(QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, Inattivo) VALUES "
                          "('A1', 'Bulloni', 'N'), ('A2', 'Dadi', 'N'), ('A3', 'Viti', 'N')"));
    esegui(QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES ('M1', 'Sede')"));
    esegui(QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                          "Magazzino, Giacenza) VALUES ('INV1', 'A1', '~ç~', '~ç~', 'M1', 12.5), "
                          "('INV1', 'A2', '~ç~', '~ç~', 'M1', 1234.75)"));

    m_msg = std::make_unique<MessaggiScriptati>();
    m_form = std::make_unique<QWidget>();
    m_form->resize(800, 500);
    auto* l = new QVBoxLayout(m_form.get());
    m_toolbar = new QToolBar(m_form.get());
    m_txtRiga = new QLineEdit(m_form.get());
    m_g = new Griglia(m_form.get());
    l->addWidget(m_toolbar);
    l->addWidget(m_txtRiga);
    l->addWidget(m_g);
    m_comlin = std::make_unique<Comlin>();
    m_modulo = Modulo();
    m_modulo.comlin = m_comlin.get();
    m_modulo.sql = sql;
    m_g->ImpostaEventi(&m_modulo);
    QObject::connect(m_toolbar, &QToolBar::actionTriggered, m_toolbar,
                     [this](QAction* a) { m_modulo.ButtonComando(a->data().toString()); });
    // Set-up in the order the forms follow.
    m_comlin->setOgForm(m_form.get());
    m_comlin->setOgToolbar(m_toolbar);
    m_comlin->setOgContatore(m_txtRiga);
    m_comlin->setOgGriglia(m_g);
    m_comlin->setOgDati(m_g->Dati());
    m_comlin->setOgDatabase(m_db);
    m_comlin->setOsFormatoData(QStringLiteral("dd/mm/yyyy"));
    m_comlin->setOiOpzione(0);
    m_comlin->Immagini(QStringLiteral("p"));
    m_comlin->setOiAbilRW(1);
    m_comlin->ApriSql(sql, true, false);
    m_comlin->ColonnaChiave(0);
    QString primo, secondo;
    m_comlin->Contatore(primo, secondo);
    m_txtRiga->setText(secondo + QStringLiteral(" / ") + primo);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_g->setFocus();
}

void TstGriglia::cleanup() {
    m_odbc = false;
    Conteggio::Trattieni(false);
    if (m_g)
        m_g->ImpostaEventi(nullptr);
    m_comlin.reset();
    m_form.reset();
    m_g = nullptr;
    m_msg.reset();
    const QString nome = m_db.connectionName();
    m_db = QSqlDatabase();
    if (!nome.isEmpty())
        QSqlDatabase::removeDatabase(nome);
}

QWidget* TstGriglia::bersaglio() const {
    if (auto* ed = m_g->findChild<QLineEdit*>(QStringLiteral("dbgRigaEditor")))
        return ed;
    return m_g;
}

void TstGriglia::scrivi(const QString& testo) {
    for (QChar c : testo)
        QTest::keyClick(bersaglio(), c.toLatin1());
}

void TstGriglia::tasto(Qt::Key k, Qt::KeyboardModifiers m) {
    QTest::keyClick(bersaglio(), k, m);
}

void TstGriglia::clicCella(int r, int c) {
    const QModelIndex i = m_g->model()->index(r, c);
    m_g->scrollTo(i);
    QTest::mouseClick(m_g->viewport(), Qt::LeftButton, {}, m_g->visualRect(i).center());
}

QVariant TstGriglia::valoreDb(const QString& sql) {
    QSqlQuery q(m_db);
    if (!q.exec(sql) || !q.next())
        return {};
    return q.value(0);
}

void TstGriglia::esegui(const QString& sql) {
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        QFAIL(qPrintable(sql + QStringLiteral(": ") + q.lastError().text()));
}

// n counted rows "B00000".. of INV1 after the two of the fixture.
void TstGriglia::riempi(int n, const QString& tabella) {
    QSqlQuery q(m_db);
    m_db.transaction();
    q.prepare(QStringLiteral("INSERT INTO %1 (CodInv, Articolo, Livello1, Livello2, Magazzino, "
                             "Giacenza) VALUES ('INV1', ?, '~ç~', '~ç~', 'M1', ?)")
                  .arg(tabella));
    for (int i = 0; i < n; ++i) {
        q.addBindValue(QStringLiteral("B%1").arg(i, 5, 10, QLatin1Char('0')));
        q.addBindValue(double(i));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    m_db.commit();
}

QStringList TstGriglia::senzaTasti() const {
    return m_modulo.eventi;
}

// The articles of the counts list as the database has them now.
QStringList TstGriglia::articoliDb() {
    QStringList a;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral(
            "SELECT Articolo FROM MagInventari WHERE CodInv = 'INV1' ORDER BY Articolo")))
        qFatal("%s", qPrintable(q.lastError().text()));
    while (q.next())
        a << q.value(0).toString();
    return a;
}

// Every row of the grid shows the list's row of its place: the list as it
// was read (while counting, its first rows and its last ones), then the rows
// added through the grid.  Every row is read, so windows left the cache are
// read again.
void TstGriglia::confrontaRighe(const QStringList& lista, const QStringList& aggiunte) {
    ModelloRighe* m = m_g->modello();
    const int n = m_g->Dati()->RecordCount();
    const int dallaLista = n - int(aggiunte.size());
    QStringList attese;
    if (m->totaleNoto()) {
        attese = lista;
    } else {
        int testa = 0;
        while (testa < dallaLista && m->posizioneNota(testa))
            ++testa;
        attese = lista.mid(0, testa) + lista.mid(lista.size() - (dallaLista - testa));
    }
    attese += aggiunte;
    QStringList viste;
    for (int r = 0; r < n; ++r)
        viste << m->valore(r, 1).toString();
    QCOMPARE(viste, attese);
}

// ---- cases ---------------------------------------------------------------------------

void TstGriglia::ordineEventiCella() {
    PREPARA();
    clicCella(1, 2); // INV2, Descrizione
    QCOMPARE(m_modulo.contatore, QString("2 / 5"));
    m_modulo.eventi.clear();
    m_modulo.conTasti = true;
    scrivi(QStringLiteral("Ab"));
    QCOMPARE(m_modulo.eventi, QStringList({"KeyDown", "KeyPress", "BeforeColEdit", "Change",
                                           "KeyUp", "KeyDown", "KeyPress", "Change", "KeyUp"}));
    QVERIFY(m_g->EditActive());
    QCOMPARE(m_g->Colonna(QStringLiteral("Descrizione"))->Text(), QString("Ab"));
    m_modulo.conTasti = false;
    m_modulo.eventi.clear();
    tasto(Qt::Key_Down);
    QCOMPARE(m_modulo.eventi, QStringList({"BeforeColUpdate", "AfterColUpdate", "BeforeUpdate",
                                           "AfterUpdate", "RowColChange"}));
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV2'").toString(),
             QString("Ab"));
    QCOMPARE(m_g->Row(), 2);
    QCOMPARE(m_modulo.contatore, QString("3 / 5"));
}

void TstGriglia::cellaRifiutata() {
    PREPARA();
    clicCella(0, 2);
    scrivi(QStringLiteral("xyz"));
    m_modulo.rifiutaColonna = true;
    m_modulo.eventi.clear();
    tasto(Qt::Key_Down);
    QCOMPARE(m_modulo.eventi, QStringList({"BeforeColUpdate"}));
    QCOMPARE(m_g->Row(), 0);
    QCOMPARE(m_g->Col(), 2);
    QVERIFY(m_g->EditActive());
    QCOMPARE(m_g->Colonna(2)->Text(), QString("xyz"));
    // a mouse click elsewhere is refused too, and typing goes on in the cell
    clicCella(3, 1);
    QCOMPARE(m_g->Row(), 0);
    scrivi(QStringLiteral("w"));
    QCOMPARE(m_g->Colonna(2)->Text(), QString("xyzw"));
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("Inventario 1"));
    m_modulo.rifiutaColonna = false;
    tasto(Qt::Key_Return); // accepted now: the cell kept, the row written, the next row
    QVERIFY(!m_g->EditActive());
    QVERIFY(!m_g->DataChanged());
    QCOMPARE(m_g->Row(), 1);
    QCOMPARE(m_g->Col(), 0);
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("xyzw"));
}

void TstGriglia::rigaRifiutata() {
    PREPARA();
    clicCella(0, 2);
    scrivi(QStringLiteral("nuova"));
    m_modulo.rifiutaRiga = true;
    m_modulo.eventi.clear();
    tasto(Qt::Key_Down);
    QCOMPARE(m_modulo.eventi, QStringList({"BeforeColUpdate", "AfterColUpdate", "BeforeUpdate"}));
    QCOMPARE(m_g->Row(), 0);
    QVERIFY(m_g->DataChanged());
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("Inventario 1"));
    // the toolbar's "Salva" writes it once the form lets it
    m_modulo.rifiutaRiga = false;
    m_comlin->Pulsante(QStringLiteral("Salva"))->trigger();
    QVERIFY(!m_g->DataChanged());
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("nuova"));
}

void TstGriglia::nuovaRiga() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    QCOMPARE(m_txtRiga->text(), QString("1 / 2"));
    m_comlin->BloccaColonna(QStringLiteral("DesArticolo"));
    m_comlin->NascondiColonna(QStringLiteral("CodInv"));
    m_modulo.suAddNew = [this] {
        m_g->Colonna(QStringLiteral("Magazzino"))->setValue(QStringLiteral("M1"));
        m_g->Colonna(QStringLiteral("CodInv"))->setValue(QStringLiteral("INV1"));
        m_g->Colonna(QStringLiteral("Livello1"))->setValue(QStringLiteral("~ç~"));
        m_g->Colonna(QStringLiteral("Livello2"))->setValue(QStringLiteral("~ç~"));
    };
    clicCella(2, 1); // the empty new-row line, Articolo
    m_modulo.eventi.clear();
    scrivi(QStringLiteral("a3"));
    QCOMPARE(m_modulo.eventi, QStringList({"BeforeColEdit", "OnAddNew", "Change", "Change"}));
    QVERIFY(m_g->AddNewMode());
    QCOMPARE(m_g->Colonna(QStringLiteral("Magazzino"))->Text(), QString("M1"));
    tasto(Qt::Key_Tab);
    tasto(Qt::Key_Tab);
    tasto(Qt::Key_Tab);
    tasto(Qt::Key_Tab); // Giacenza
    QCOMPARE(m_g->Col(), 5);
    scrivi(QStringLiteral("7,5"));
    m_modulo.eventi.clear();
    m_modulo.ButtonComando(QStringLiteral("Salva"));
    QCOMPARE(m_modulo.eventi,
             QStringList({"BeforeColUpdate", "AfterColUpdate", "BeforeUpdate", "AfterUpdate"}));
    QCOMPARE(valoreDb("SELECT Giacenza FROM MagInventari WHERE Articolo = 'A3'").toDouble(), 7.5);
    // the description of the joined table shows at once
    QCOMPARE(m_g->modello()->valore(2, 2).toString(), QString("Viti"));
    QCOMPARE(m_g->Dati()->RecordCount(), 3);
}

// Enter passes to the next cell the operator can type into, as the form's
// fields do, and never leaves the cursor where the next value would replace
// the one just typed.  The counts list: CodInv, Articolo, DesArticolo (of the
// joined table), Livello1 (locked here), Livello2, Giacenza, Magazzino,
// DesMagaz; two rows and the new-row line.
void TstGriglia::invio_data() {
    QTest::addColumn<int>("riga");
    QTest::addColumn<int>("colonna");
    QTest::addColumn<QString>("testo"); // typed in the cell before Enter
    QTest::addColumn<bool>("indietro"); // Shift+Enter
    QTest::addColumn<bool>("rifiuta");  // the cell check refuses the value
    QTest::addColumn<int>("rigaAttesa");
    QTest::addColumn<int>("colonnaAttesa");
    QTest::addColumn<QString>("scritta"); // the row written: where the value is read

    QTest::newRow("avanti oltre le colonne bloccate")
        << 0 << 1 << "A9" << false << false << 0 << 4 << "";
    QTest::newRow("avanti senza modifica") << 0 << 4 << "" << false << false << 0 << 5 << "";
    QTest::newRow("ultima cella: riga seguente")
        << 0 << 6 << "M2" << false << false << 1 << 0
        << "SELECT Magazzino FROM MagInventari WHERE Articolo = 'A1'";
    QTest::newRow("ultima riga: riga nuova")
        << 1 << 6 << "M2" << false << false << 2 << 0
        << "SELECT Magazzino FROM MagInventari WHERE Articolo = 'A2'";
    QTest::newRow("indietro oltre le colonne bloccate")
        << 0 << 4 << "~x~" << true << false << 0 << 1 << "";
    QTest::newRow("indietro senza modifica") << 0 << 5 << "" << true << false << 0 << 4 << "";
    QTest::newRow("prima cella: riga precedente") << 1 << 0 << "" << true << false << 0 << 6 << "";
    QTest::newRow("prima cella modificata: riga precedente")
        << 1 << 0 << "INV2" << true << false << 0 << 6
        << "SELECT CodInv FROM MagInventari WHERE Articolo = 'A2'";
    QTest::newRow("valore rifiutato") << 0 << 5 << "9" << false << true << 0 << 5 << "";
    QTest::newRow("valore rifiutato, indietro") << 1 << 0 << "X" << true << true << 1 << 0 << "";
}

void TstGriglia::invio() {
    QFETCH(int, riga);
    QFETCH(int, colonna);
    QFETCH(QString, testo);
    QFETCH(bool, indietro);
    QFETCH(bool, rifiuta);
    QFETCH(int, rigaAttesa);
    QFETCH(int, colonnaAttesa);
    QFETCH(QString, scritta);
    PREPARA(QString::fromLatin1(SqlConteggi));
    esegui(
        QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES ('M2', 'Filiale')"));
    m_comlin->BloccaColonna(QStringLiteral("Livello1"));
    clicCella(riga, colonna);
    QCOMPARE(m_g->Row(), riga);
    QCOMPARE(m_g->Col(), colonna);
    scrivi(testo);
    m_modulo.rifiutaColonna = rifiuta;
    m_modulo.eventi.clear();
    tasto(Qt::Key_Return, indietro ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(m_g->Row(), rigaAttesa);
    QCOMPARE(m_g->Col(), colonnaAttesa);
    if (rifiuta) {
        // the cursor stays in the cell, the editor keeps the text typed
        QVERIFY(m_g->EditActive());
        QCOMPARE(m_g->Colonna(colonna)->Text(), testo);
        QVERIFY(!m_modulo.eventi.contains(QStringLiteral("AfterColUpdate")));
        return;
    }
    QVERIFY(!m_g->EditActive());
    if (!testo.isEmpty()) // the value typed is kept
        QCOMPARE(m_g->modello()->valore(riga, colonna).toString(), testo);
    if (!scritta.isEmpty()) {
        // the row is left as with the arrow keys: checked, written, then the move
        QCOMPARE(m_modulo.eventi, QStringList({"BeforeColUpdate", "AfterColUpdate", "BeforeUpdate",
                                               "AfterUpdate", "RowColChange"}));
        QCOMPARE(valoreDb(scritta).toString(), testo);
    } else if (rigaAttesa == riga) {
        QVERIFY(!m_modulo.eventi.contains(QStringLiteral("AfterUpdate")));
    }
    // the next value typed goes to the new cell, the one before stays
    scrivi(QStringLiteral("5"));
    QCOMPARE(m_g->Colonna(colonnaAttesa)->Text(), QString("5"));
    if (!testo.isEmpty())
        QCOMPARE(m_g->modello()->valore(riga, colonna).toString(), testo);
}

void TstGriglia::invioRigaNuova() {
    // A new row typed cell after cell with Enter: past its last cell it is
    // written and the cursor waits on the next new row.
    PREPARA(QString::fromLatin1(SqlConteggi));
    clicCella(2, 0);
    QCOMPARE(m_g->Row(), 2);
    const QStringList valori{"INV1", "A3", "L1", "L2", "7", "M1"};
    for (const QString& v : valori) {
        scrivi(v);
        tasto(Qt::Key_Return);
    }
    QCOMPARE(valoreDb(QStringLiteral("SELECT Giacenza FROM MagInventari WHERE Articolo = 'A3'"))
                 .toDouble(),
             7.0);
    QCOMPARE(m_g->Row(), 3);
    QCOMPARE(m_g->Col(), 0);
    QVERIFY(!m_g->DataChanged());
    scrivi(QStringLiteral("INV2"));
    QCOMPARE(m_g->Row(), 3);
    QVERIFY(m_g->AddNewMode());
    QCOMPARE(m_g->Dati()->RecordCount(), 3);
}

void TstGriglia::cancellazione_data() {
    QTest::addColumn<int>("risposta");
    QTest::addColumn<int>("righe");
    QTest::newRow("confermata") << 1 << 4;
    QTest::newRow("rifiutata") << 2 << 5;
}

void TstGriglia::cancellazione() {
    QFETCH(int, risposta);
    QFETCH(int, righe);
    PREPARA();
    clicCella(2, 0);
    m_modulo.eventi.clear();
    m_msg->rispondi(risposta);
    m_modulo.ButtonComando(QStringLiteral("Cancella"));
    QCOMPARE(m_msg->testi(), QStringList({Comlin::domandaCancella()}));
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv").toInt(), righe);
    QCOMPARE(m_g->Dati()->RecordCount(), righe);
    if (risposta == 1) {
        QCOMPARE(m_modulo.eventi.mid(0, 2), QStringList({"BeforeDelete", "AfterDelete"}));
        QCOMPARE(m_g->Row(), 2); // the next row moved up
        QCOMPARE(m_g->Colonna(0)->Text(), QString("INV4"));
        QCOMPARE(m_txtRiga->text(), QString("3 / 4"));
    } else {
        QVERIFY(m_modulo.eventi.isEmpty());
    }
}

void TstGriglia::cancellazioneDallaGriglia() {
    // A delete the grid starts itself (row selector and Delete) is handed to
    // the list-command object, which asks; "&No" cancels it.
    PREPARA();
    const int y = m_g->verticalHeader()->sectionViewportPosition(1) +
                  m_g->verticalHeader()->sectionSize(1) / 2;
    QTest::mouseClick(m_g->verticalHeader()->viewport(), Qt::LeftButton, {}, QPoint(5, y));
    QCOMPARE(m_g->Row(), 1);
    m_msg->rispondi(2);
    m_modulo.eventi.clear();
    tasto(Qt::Key_Delete);
    QCOMPARE(m_modulo.eventi, QStringList({"BeforeDelete"}));
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv").toInt(), 5);
    QTest::mouseClick(m_g->verticalHeader()->viewport(), Qt::LeftButton, {}, QPoint(5, y));
    m_msg->rispondi(1);
    tasto(Qt::Key_Delete);
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV2'").toInt(), 0);
}

void TstGriglia::esc() {
    PREPARA();
    clicCella(0, 2);
    scrivi(QStringLiteral("uno"));
    tasto(Qt::Key_Escape); // the cell
    QVERIFY(!m_g->EditActive());
    QCOMPARE(m_g->Colonna(2)->Text(), QString("Inventario 1"));
    scrivi(QStringLiteral("due"));
    tasto(Qt::Key_Return, Qt::ShiftModifier); // the cell kept, the cursor still on the row
    QCOMPARE(m_g->Col(), 1);
    QCOMPARE(m_g->Colonna(2)->Text(), QString("due"));
    QVERIFY(m_g->DataChanged());
    tasto(Qt::Key_Escape); // the row
    QVERIFY(!m_g->DataChanged());
    QCOMPARE(m_g->Colonna(2)->Text(), QString("Inventario 1"));
    m_modulo.eventi.clear();
    tasto(Qt::Key_Down);
    QVERIFY(!m_modulo.eventi.contains("BeforeUpdate"));
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             QString("Inventario 1"));
    // a new row goes with its Esc
    m_g->setRow(5);
    m_g->setCol(2);
    scrivi(QStringLiteral("INV9"));
    tasto(Qt::Key_Return); // the last cell of the last line: the cursor stays
    QCOMPARE(m_g->Row(), 5);
    tasto(Qt::Key_Escape);
    QVERIFY(!m_g->AddNewMode());
    QCOMPARE(m_g->Dati()->RecordCount(), 5);
    QCOMPARE(m_g->modello()->valore(5, 0), QVariant());
}

void TstGriglia::ordinamento() {
    PREPARA();
    auto clicTitolo = [&](int c) {
        const int x = m_g->horizontalHeader()->sectionViewportPosition(c) + 5;
        QTest::mouseClick(m_g->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    };
    clicTitolo(1); // DataInvent ascending
    QVERIFY(m_modulo.sql.endsWith("ORDER BY DataInvent"));
    QCOMPARE(m_g->modello()->valore(0, 0).toString(), QString("INV1"));
    clicTitolo(1); // then descending
    QVERIFY(m_modulo.sql.endsWith("ORDER BY DataInvent DESC"));
    QCOMPARE(m_g->modello()->valore(0, 0).toString(), QString("INV5"));
    QCOMPARE(m_g->Dati()->RecordCount(), 5);
    QVERIFY(m_msg->testi().isEmpty());
    // a binary column cannot be sorted: the form's message, the list unchanged
    if (m_motore == Motore::Postgres)
        esegui("CREATE TABLE Allegati (Codice varchar(20) PRIMARY KEY, Dati bytea)");
    else
        esegui("CREATE TABLE Allegati (Codice TEXT PRIMARY KEY, Dati BLOB)");
    esegui("INSERT INTO Allegati (Codice) VALUES ('b'), ('a')");
    m_modulo.sql = QStringLiteral("SELECT Codice, Dati FROM Allegati ORDER BY Codice");
    m_comlin->ApriSql(m_modulo.sql);
    const QString prima = m_modulo.sql;
    clicTitolo(1);
    QCOMPARE(m_msg->testi(), QStringList({"Impossibile ordinare su questo campo"}));
    QCOMPARE(m_modulo.sql, prima);
}

void TstGriglia::soloLettura() {
    PREPARA();
    m_comlin->setOiAbilRW(0);
    clicCella(0, 2);
    m_modulo.eventi.clear();
    scrivi(QStringLiteral("x"));
    tasto(Qt::Key_F2);
    QVERIFY(!m_g->EditActive());
    QVERIFY(!m_modulo.eventi.contains("Change"));
    for (const char* k : {"Nuovo", "Cancella", "Salva", "Annulla"})
        QVERIFY2(!m_comlin->Pulsante(QString::fromLatin1(k))->isEnabled(), k);
    QVERIFY(m_comlin->Pulsante(QStringLiteral("Aggiorna"))->isEnabled());
    QCOMPARE(m_comlin->EseguiPulsante(QStringLiteral("Cancella"), {}, true), -1);
    QCOMPARE(m_g->model()->rowCount(), 5); // no new-row line
    QVERIFY(m_msg->testi().isEmpty());
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv").toInt(), 5);
    m_comlin->setOiAbilRW(1);
    QVERIFY(m_comlin->Pulsante(QStringLiteral("Nuovo"))->isEnabled());
    QCOMPARE(m_g->model()->rowCount(), 6);
}

void TstGriglia::rigaPendenteAllaChiusura_data() {
    QTest::addColumn<int>("risposta");
    QTest::addColumn<bool>("chiude");
    QTest::addColumn<QString>("scritto");
    QTest::newRow("si") << 1 << true << "cambiata";
    QTest::newRow("no") << 2 << true << "Inventario 1";
    QTest::newRow("annulla") << 3 << false << "Inventario 1";
}

void TstGriglia::rigaPendenteAllaChiusura() {
    QFETCH(int, risposta);
    QFETCH(bool, chiude);
    QFETCH(QString, scritto);
    PREPARA();
    QVERIFY(m_comlin->PuoChiudere()); // nothing pending: nothing asked
    QVERIFY(m_msg->testi().isEmpty());
    clicCella(0, 2);
    scrivi(QStringLiteral("cambiata")); // still in the cell
    m_msg->rispondi(risposta);
    QCOMPARE(m_comlin->PuoChiudere(), chiude);
    QCOMPARE(m_msg->mostrati().size(), size_t(1));
    QCOMPARE(m_msg->mostrati()[0].pulsanti, QStringList({"&Sì", "&No", "&Annulla"}));
    QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV1'").toString(),
             scritto);
    QCOMPARE(m_g->DataChanged(), risposta == 3);
}

void TstGriglia::chiaveDuplicata() {
    PREPARA();
    m_modulo.suAddNew = [this] {
        m_g->Colonna(QStringLiteral("DataInvent"))->setValue(QDate(2024, 9, 1));
    };
    m_modulo.ButtonComando(QStringLiteral("Nuovo"));
    QVERIFY(m_g->AddNewMode());
    QCOMPARE(m_g->Col(), 0);
    scrivi(QStringLiteral("inv3")); // the same key as INV3, letter case aside
    m_modulo.eventi.clear();
    m_modulo.ButtonComando(QStringLiteral("Salva"));
    QCOMPARE(m_modulo.eventi.last(), QString("Error 3022"));
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY2(m_msg->testi()[0].contains("esiste già una riga con lo stesso codice"),
             qPrintable(m_msg->testi()[0]));
    QVERIFY(m_g->AddNewMode()); // the row stays, to be corrected
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv").toInt(), 5);
    m_g->setCol(0);
    tasto(Qt::Key_F2);
    tasto(Qt::Key_End);
    scrivi(QStringLiteral("b"));
    m_modulo.ButtonComando(QStringLiteral("Salva"));
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv").toInt(), 6);
    QCOMPARE(valoreDb("SELECT DataInvent FROM MagDescrInv WHERE CodInv = 'inv3b'").toDate(),
             QDate(2024, 9, 1));
}

void TstGriglia::rigaCambiataDaAltri_data() {
    QTest::addColumn<bool>("cancellata");
    QTest::newRow("modificata") << false;
    QTest::newRow("cancellata") << true;
}

void TstGriglia::rigaCambiataDaAltri() {
    QFETCH(bool, cancellata);
    PREPARA();
    clicCella(1, 2); // INV2 read by the grid
    QCOMPARE(m_g->Colonna(2)->Text(), QString("Inventario 2"));
    {
        QSqlDatabase altra = apriDb(QStringLiteral("altra%1").arg(m_serie));
        QSqlQuery q(altra);
        QVERIFY(q.exec(cancellata
                           ? QStringLiteral("DELETE FROM MagDescrInv WHERE CodInv = 'INV2'")
                           : QStringLiteral("UPDATE MagDescrInv SET Descrizione = 'dall''altra' "
                                            "WHERE CodInv = 'INV2'")));
        q.finish();
        altra.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("altra%1").arg(m_serie));
    scrivi(QStringLiteral("mia"));
    m_modulo.eventi.clear();
    tasto(Qt::Key_Down);
    QCOMPARE(m_modulo.eventi.last(), QString("Error %1").arg(cancellata ? 3167 : 3197));
    QCOMPARE(m_g->Row(), 1);
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY(m_msg->testi()[0].contains("un'altra postazione"));
    if (!cancellata) {
        QCOMPARE(valoreDb("SELECT Descrizione FROM MagDescrInv WHERE CodInv = 'INV2'").toString(),
                 QString("dall'altra"));
        QCOMPARE(m_g->Colonna(2)->Text(), QString("dall'altra")); // read again
    } else {
        QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagDescrInv WHERE CodInv = 'INV2'").toInt(), 0);
    }
    QVERIFY(!m_g->DataChanged());
}

void TstGriglia::letturaPigra() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    // a list of a few windows, read without reading all of it
    const int n = 1000;
    riempi(n);
    m_modulo.ButtonComando(QStringLiteral("Aggiorna"));
    QTRY_COMPARE(m_g->Dati()->RecordCount(), n + 2); // counted in the background
    QVERIFY(m_g->modello()->finestreInMemoria() <= 2);
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    QCOMPARE(m_g->Row(), n + 1);
    QCOMPARE(m_txtRiga->text(), QString("%1 / %1").arg(n + 2));
    QVERIFY(m_g->modello()->finestreInMemoria() <= 4);
    // every row in its place, from the front and from the back alike
    for (int r : {0, 1, 2, 125, 126, 127, 500, 501, 502, 700, n - 1})
        QCOMPARE(m_g->modello()->valore(r + 2, 1).toString(),
                 QStringLiteral("B%1").arg(r, 5, 10, QLatin1Char('0')));
    QCOMPARE(m_g->modello()->valore(0, 1).toString(), QString("A1"));
    QCOMPARE(m_g->modello()->valore(0, 2).toString(), QString("Bulloni"));
    // a condition on a joined table is counted with its joins
    QString filtrata = QString::fromLatin1(SqlConteggi);
    filtrata.replace("WHERE CodInv = 'INV1'",
                     "WHERE CodInv = 'INV1' AND Articoli.Descrizione = 'Dadi'");
    m_comlin->ApriSql(filtrata);
    QCOMPARE(m_g->Dati()->RecordCount(), 1);
    filtrata =
        QString::fromLatin1(SqlConteggi).replace("LEFT JOIN Magazzini", "INNER JOIN Magazzini");
    esegui("UPDATE MagInventari SET Magazzino = 'M9' WHERE Articolo = 'B00007'");
    m_comlin->ApriSql(filtrata);
    QTRY_COMPARE(m_g->Dati()->RecordCount(), n + 1);
    m_comlin->ApriSql(m_modulo.sql);
    QTRY_COMPARE(m_g->Dati()->RecordCount(), n + 2);
    // a write keeps the position
    m_g->setRow(600);
    m_g->setCol(5);
    scrivi(QStringLiteral("42"));
    m_modulo.ButtonComando(QStringLiteral("Aggiorna"));
    QCOMPARE(m_g->Row(), 600);
    QCOMPARE(m_g->modello()->valore(600, 5).toDouble(), 42.0);
}

void TstGriglia::layoutEFormato() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    m_comlin->TitoloColonna(QStringLiteral("Articolo"), QStringLiteral("Articolo"));
    m_comlin->LarghezzaColonna(QStringLiteral("DesArticolo"), 1500);
    m_comlin->FormatoColonna(QStringLiteral("Giacenza"), QStringLiteral("#,##0.00"));
    m_comlin->TitoloColonna(QStringLiteral("DesArticolo"), QStringLiteral("Descr.Articolo"));
    QCOMPARE(m_g->model()->headerData(2, Qt::Horizontal).toString(), QString("Descr.Articolo"));
    // the width designed in twips follows the font: twice the letters, twice the width
    const int designata = m_g->columnWidth(2);
    QVERIFY(designata > 0);
    const QFont fontPrima = m_g->font();
    QFont doppio = fontPrima;
    doppio.setPointSizeF(fontPrima.pointSizeF() * 2);
    m_g->setFont(doppio);
    QVERIFY2(std::abs(m_g->columnWidth(2) - 2 * designata) <= 4,
             qPrintable(QStringLiteral("%1 / %2").arg(m_g->columnWidth(2)).arg(designata)));
    m_g->setFont(fontPrima);
    QCOMPARE(m_g->columnWidth(2), designata);
    QCOMPARE(m_g->Colonna(QStringLiteral("desarticolo"))->ColIndex(), 2); // without regard to case
    QVERIFY(m_g->Colonna(QStringLiteral("NonCe")) == nullptr);
    QVERIFY_THROWS_EXCEPTION(Errore, m_comlin->NascondiColonna(QStringLiteral("NonCe")));
    m_g->setRow(1);
    QCOMPARE(m_g->Colonna(QStringLiteral("Giacenza"))->Text(), QString("1.234,75"));
    // the layout stays through a sort
    QString sql = m_modulo.sql;
    QCOMPARE(m_comlin->Ordina(1, sql), 0);
    QCOMPARE(m_g->model()->headerData(2, Qt::Horizontal).toString(), QString("Descr.Articolo"));
    QCOMPARE(m_g->Colonna(QStringLiteral("Giacenza"))->NumberFormat(), QString("#,##0.00"));
    // the data control tells the fields
    const InfoCampo des = m_g->Dati()->Campo(QStringLiteral("DesArticolo"));
    QVERIFY(des.esiste && !des.aggiornabile);
    QCOMPARE(des.tabellaSorgente, QString("Articoli"));
    const InfoCampo qta = m_g->Dati()->Campo(QStringLiteral("Giacenza"));
    QVERIFY(qta.aggiornabile);
    QCOMPARE(qta.tipo, 5);
    // frozen leading columns are a split of their own
    QCOMPARE(m_comlin->NumSplit(), 1);
    m_comlin->ColonneFisse(2);
    QCOMPARE(m_comlin->NumSplit(), 2);
    QCOMPARE(m_g->SplitCount(), 2);
    // "RisVid" scales the widths once the scaling is done
    m_comlin->setOvLeggiPar(QStringLiteral("RisVid"), 1.5);
    QCOMPARE(m_g->columnWidth(2), designata);
    m_comlin->setOvLeggiPar(QStringLiteral("RisVidFatta"), true);
    QVERIFY2(std::abs(m_g->columnWidth(2) - 1.5 * designata) <= 4,
             qPrintable(QStringLiteral("%1 / %2").arg(m_g->columnWidth(2)).arg(designata)));
}

void TstGriglia::mascheraColonnaCalcolata() {
    // A computed column has no declared kind and the engine gives whole
    // numbers as integers: the column's number mask still shows them, to the
    // right as every number.
    PREPARA(QStringLiteral("SELECT Articolo, LENGTH(Articolo) * 1000 AS Lung FROM Articoli "
                           "ORDER BY Articolo"));
    m_comlin->FormatoColonna(QStringLiteral("Lung"), QStringLiteral("#,##0.00"));
    m_g->setRow(0);
    QCOMPARE(m_g->Colonna(QStringLiteral("Lung"))->Text(), QString("2.000,00"));
    const QModelIndex i = m_g->model()->index(0, 1);
    QCOMPARE(m_g->model()->data(i, Qt::DisplayRole).toString(), QString("2.000,00"));
    QCOMPARE(m_g->model()->data(i, Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
}

void TstGriglia::cercaEPulsanti() {
    PREPARA();
    QCOMPARE(m_comlin->TastoAlt('N'), QString("Nuovo"));
    QCOMPARE(m_comlin->TastoAlt('G'), QString("Aggiorna"));
    QCOMPARE(m_comlin->TastoAlt('Z'), QString());
    QVERIFY(!m_comlin->Pulsante(QStringLiteral("Stampa"))->isVisible());
    QVERIFY(m_comlin->Pulsante(QStringLiteral("Cancella"))->toolTip().contains("Alt+C"));
    QVERIFY(!m_comlin->Pulsante(QStringLiteral("VaiA"))->isEnabled());
    m_g->setCol(2);
    m_msg->rispondi(QStringLiteral("ventario 4"));
    m_modulo.ButtonComando(QStringLiteral("Cerca"));
    QCOMPARE(m_g->Row(), 3);
    m_msg->rispondi(QStringLiteral("nessuno"));
    m_modulo.ButtonComando(QStringLiteral("Cerca"));
    QCOMPARE(m_g->Row(), 3);
    QVERIFY(m_msg->testi().contains("Valore non trovato"));
    m_comlin->setSegnalibro(QStringLiteral("1"));
    QVERIFY(m_comlin->Pulsante(QStringLiteral("VaiA"))->isEnabled());
    m_modulo.ButtonComando(QStringLiteral("VaiA"));
    QCOMPARE(m_g->Row(), 1);
    m_comlin->setSegnalibro(QString());
    QVERIFY(!m_comlin->Pulsante(QStringLiteral("VaiA"))->isEnabled());
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    QCOMPARE(m_g->Row(), 4);
    m_modulo.ButtonComando(QStringLiteral("Primo"));
    QCOMPARE(m_g->Row(), 0);
}

// The first screen comes before the count: the counter shows the position
// and "…" until the total arrives, the last row is read from the end, rows
// written meanwhile keep their place and the total is the list's.
void TstGriglia::conteggioInSfondo() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    const int n = 1000; // 1002 rows with the fixture's two
    riempi(n);
    Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    QVERIFY(!m->totaleNoto());
    QCOMPARE(m_txtRiga->text(), QString("1 / …"));
    QCOMPARE(m_g->Dati()->RecordCount(), ModelloRighe::RigheFinestra);
    // scrolling down reads on from the top
    m_g->verticalScrollBar()->setValue(m_g->verticalScrollBar()->maximum());
    QTRY_COMPARE(m_g->Dati()->RecordCount(), 2 * ModelloRighe::RigheFinestra);
    QCOMPARE(m->valore(200, 1).toString(), QString("B00198"));
    // the last row at once, read from the end
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    const int ultima = 3 * ModelloRighe::RigheFinestra - 1;
    QCOMPARE(m_g->Row(), ultima);
    QCOMPARE(m->valore(ultima, 1).toString(), QString("B00999"));
    QCOMPARE(m->valore(ultima - 1, 1).toString(), QString("B00998"));
    QCOMPARE(m_txtRiga->text(), QString("… / …"));
    // a row read from the end written before the total arrives
    m_g->setCol(5);
    scrivi(QStringLiteral("777"));
    QVERIFY(m_g->Update());
    QCOMPARE(valoreDb("SELECT Giacenza FROM MagInventari WHERE Articolo = 'B00999'").toDouble(),
             777.0);
    // a new row through the grid, and rows changed by another workstation
    m_modulo.suAddNew = [this] {
        m_g->Colonna(QStringLiteral("Magazzino"))->setValue(QStringLiteral("M1"));
        m_g->Colonna(QStringLiteral("CodInv"))->setValue(QStringLiteral("INV1"));
        m_g->Colonna(QStringLiteral("Livello1"))->setValue(QStringLiteral("~ç~"));
        m_g->Colonna(QStringLiteral("Livello2"))->setValue(QStringLiteral("~ç~"));
    };
    QVERIFY(m_g->nuovaRiga(1));
    scrivi(QStringLiteral("Z1"));
    QVERIFY(m_g->Update());
    QCOMPARE(m_g->Dati()->RecordCount(), ultima + 2);
    esegui("DELETE FROM MagInventari WHERE Articolo IN ('B00500', 'B00501')");
    esegui("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, Magazzino, Giacenza) "
           "VALUES ('INV1', 'B00600X', '~ç~', '~ç~', 'M1', 1)");
    Conteggio::Trattieni(false);
    QTRY_VERIFY(m->totaleNoto());
    // 1002 - 2 + 1 rows of the list, and the new one at its end, once
    QCOMPARE(m_g->Dati()->RecordCount(), 1002);
    QCOMPARE(m->valore(0, 1).toString(), QString("A1"));
    QCOMPARE(m->valore(999, 1).toString(), QString("B00998"));
    QCOMPARE(m->valore(1000, 1).toString(), QString("B00999"));
    QCOMPARE(m->valore(1000, 5).toDouble(), 777.0);
    QCOMPARE(m->valore(1001, 1).toString(), QString("Z1"));
    QCOMPARE(m_g->Row(), 1002); // the cursor stayed on the new-row line after it
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    QCOMPARE(m_txtRiga->text(), QString("1002 / 1002"));
    // the rows between the two ends are read by their place
    QCOMPARE(m->valore(300, 1).toString(), QString("B00298"));
    QCOMPARE(m->valore(500, 1).toString(), QString("B00498"));
    QCOMPARE(m->valore(501, 1).toString(), QString("B00499"));
    QCOMPARE(m->valore(502, 1).toString(), QString("B00502"));
    m_modulo.ButtonComando(QStringLiteral("Primo"));
    QCOMPARE(m_txtRiga->text(), QString("1 / 1002"));
}

// A new row typed after the rows read so far while the list is counted (a
// scanner's rows, one after the other): moving between its cells keeps the
// view at the bottom, and no window more is read from the top for it; once
// written, scrolling down reads on, the row staying at the end.
void TstGriglia::rigaNuovaDuranteConteggio() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(1000);
    Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    QVERIFY(!m->totaleNoto());
    m_modulo.suAddNew = [this] {
        m_g->Colonna(QStringLiteral("Magazzino"))->setValue(QStringLiteral("M1"));
        m_g->Colonna(QStringLiteral("CodInv"))->setValue(QStringLiteral("INV1"));
        m_g->Colonna(QStringLiteral("Livello1"))->setValue(QStringLiteral("~ç~"));
        m_g->Colonna(QStringLiteral("Livello2"))->setValue(QStringLiteral("~ç~"));
    };
    // to the new-row line, as the counts form does for each scanned row
    m_g->setRow(int(m_g->Dati()->RecordCount()));
    m_g->setCol(1);
    QTest::qWait(20);
    const int nuova = m_g->Row();
    const qint64 lette = m_g->Dati()->RecordCount();
    QCOMPARE(qint64(nuova), lette);
    scrivi(QStringLiteral("Z1"));
    QVERIFY(m->rigaNuova());
    tasto(Qt::Key_Return);
    QCOMPARE(m_g->Row(), nuova);
    QVERIFY(m_g->Col() > 1);
    m_g->verticalScrollBar()->setValue(m_g->verticalScrollBar()->maximum());
    QTest::qWait(50);
    QCOMPARE(m_g->Dati()->RecordCount(), lette);
    QCOMPARE(m_g->Row(), nuova);
    QVERIFY(m->inModifica());
    QVERIFY(m_g->Update());
    QCOMPARE(valoreDb("SELECT COUNT(*) FROM MagInventari WHERE Articolo = 'Z1'").toInt(), 1);
    m_g->verticalScrollBar()->setValue(m_g->verticalScrollBar()->maximum());
    QTRY_VERIFY(m_g->Dati()->RecordCount() > lette + 1);
    Conteggio::Trattieni(false);
    QTRY_VERIFY(m->totaleNoto());
    QCOMPARE(m_g->Dati()->RecordCount(), 1003);
    QCOMPARE(m->valore(1002, 1).toString(), QString("Z1"));
    QCOMPARE(m->valore(1001, 1).toString(), QString("B00999"));
}

// "Nuovo" while a long list is still counted: the cursor goes to the
// new-row line after the rows read so far, even though going there reads
// more rows and moves that line down, and the row is being typed.
void TstGriglia::nuovoDuranteConteggio() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(1000);
    Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    QVERIFY(!m->totaleNoto());
    m_modulo.ButtonComando(QStringLiteral("Nuovo"));
    QVERIFY(m->inModifica());
    QVERIFY(m->rigaNuova());
    QCOMPARE(qint64(m_g->Row()), m_g->Dati()->RecordCount());
    Conteggio::Trattieni(false);
    QTRY_VERIFY(m->totaleNoto());
}

// A list a little longer than one window is known whole once its last rows
// are read; the count that a second connection cannot make (a temporary
// table) is made on the list's own.
void TstGriglia::conteggioCortoEFallito() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(198); // 200 rows
    Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    QVERIFY(!m_g->modello()->totaleNoto());
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    QVERIFY(m_g->modello()->totaleNoto());
    QCOMPARE(m_g->Row(), 199);
    QCOMPARE(m_txtRiga->text(), QString("200 / 200"));
    for (int r : {126, 127, 128, 129, 199})
        QCOMPARE(m_g->modello()->valore(r, 1).toString(),
                 QStringLiteral("B%1").arg(r - 2, 5, 10, QLatin1Char('0')));
    Conteggio::Trattieni(false);

    esegui("CREATE TEMPORARY TABLE SoloQui (CodInv VARCHAR(10) NOT NULL, Articolo VARCHAR(20) "
           "NOT NULL, Livello1 VARCHAR(10) NOT NULL, Livello2 VARCHAR(10) NOT NULL, Magazzino "
           "VARCHAR(10) NOT NULL, Giacenza DOUBLE PRECISION, PRIMARY KEY (CodInv, Articolo, "
           "Livello1, Livello2, Magazzino))");
    riempi(300, QStringLiteral("SoloQui"));
    m_comlin->ApriSql(QStringLiteral("SELECT Articolo, Giacenza FROM SoloQui ORDER BY Articolo"));
    QTRY_VERIFY(m_g->modello()->totaleNoto());
    QCOMPARE(m_g->Dati()->RecordCount(), 300);
}

void TstGriglia::chiusuraDuranteConteggio_data() {
    QTest::addColumn<bool>("trattenuto"); // closed before the count starts, or while it runs
    QTest::newRow("trattenuto") << true;
    QTest::newRow("in corso") << false;
}

// A form closed before its count arrives: the count stops, its thread is
// joined and its connection is gone.
void TstGriglia::chiusuraDuranteConteggio() {
    QFETCH(bool, trattenuto);
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(20000);
    Conteggio::Trattieni(trattenuto);
    m_comlin->ApriSql(m_modulo.sql);
    QVERIFY(!m_g->modello()->totaleNoto());
    QPointer<ModelloRighe> m = m_g->modello();
    m_comlin.reset();
    m_form.reset();
    m_g = nullptr;
    QVERIFY(m.isNull());
    for (const QString& nome : QSqlDatabase::connectionNames())
        QVERIFY2(!nome.startsWith(QLatin1String("quarvel-conteggio")), qPrintable(nome));
    QCoreApplication::processEvents(); // a result posted before the close finds nobody
}

// The count's connection on a server is kept between counts: it must follow
// the list's database, come back after the server dropped it, and go with
// the list.
void TstGriglia::connessioneDelConteggio() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    const bool pg = m_motore == Motore::Postgres;
    auto aggiungi = [this](const QString& prefisso, int n) {
        QSqlQuery q(m_db);
        m_db.transaction();
        q.prepare(QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                                 "Magazzino, Giacenza) VALUES ('INV1', ?, '~ç~', '~ç~', 'M1', 1)"));
        for (int i = 0; i < n; ++i) {
            q.addBindValue(prefisso + QString::number(100000 + i));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        m_db.commit();
    };
    auto totale = [this]() -> qint64 {
        if (!QTest::qWaitFor([this] { return m_g->modello()->totaleNoto(); }))
            return -1;
        return m_g->Dati()->RecordCount();
    };
    // rows of the count connections still open on the server
    auto altreSessioni = [this](const QString& database) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = ? AND "
                                 "pid <> pg_backend_pid()"));
        q.addBindValue(database);
        if (!q.exec() || !q.next())
            qFatal("%s", qPrintable(q.lastError().text()));
        return q.value(0).toInt();
    };

    aggiungi(QStringLiteral("C"), 300);
    m_comlin->ApriSql(m_modulo.sql);
    QCOMPARE(totale(), 302);
    if (pg) {
        QTRY_COMPARE(altreSessioni(m_pg.Nome()), 1); // kept
        // the server ends the count's session: the next counts still arrive
        QSqlQuery q(m_db);
        QVERIFY(q.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                      "WHERE datname = current_database() AND pid <> "
                                      "pg_backend_pid()")));
        QTRY_COMPARE(altreSessioni(m_pg.Nome()), 0);
    }
    for (int n : {402, 452}) {
        aggiungi(QStringLiteral("D%1-").arg(n), n == 402 ? 100 : 50);
        m_modulo.ButtonComando(QStringLiteral("Aggiorna"));
        QCOMPARE(totale(), n);
    }
    if (pg) // counting on a session of its own again
        QTRY_COMPARE(altreSessioni(m_pg.Nome()), 1);

    // the same connection name opened on another database
    m_db.close();
    if (pg) {
        QString errore;
        QVERIFY2(m_pgAltra.Crea(&errore), qPrintable(errore));
        m_db.setDatabaseName(m_pgAltra.Nome());
    } else {
        m_db.setDatabaseName(m_dir.filePath(QStringLiteral("altra%1.db").arg(m_serie)));
    }
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    dati::CreaDitta(m_db, true);
    aggiungi(QStringLiteral("E"), 200);
    m_comlin->ApriSql(m_modulo.sql);
    QCOMPARE(totale(), 200);

    // the list goes, and so does its connection: the database can be dropped
    m_g->ImpostaEventi(nullptr);
    m_comlin.reset();
    m_form.reset();
    m_g = nullptr;
    if (pg) {
        QTRY_COMPARE(altreSessioni(m_pgAltra.Nome()), 0);
        m_db.close();
        const QString rifiuto = m_pgAltra.EliminaSeLibero();
        QVERIFY2(rifiuto.isEmpty(), qPrintable(rifiuto));
    }
}

// An in-memory database has no second connection to count on: the list is
// counted when it opens.
void TstGriglia::conteggioInMemoria() {
    PROVA_SOLO_PRIMO_MOTORE();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "memoria");
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(db.open());
    {
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE T (K INTEGER PRIMARY KEY, V TEXT)"));
        QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                       "500) INSERT INTO T SELECT i, 'v' || i FROM n"));
        ModelloRighe m;
        m.apri(db, QStringLiteral("SELECT K, V FROM T ORDER BY K"));
        QVERIFY(m.totaleNoto());
        QCOMPARE(m.totale(), 500);
        QCOMPARE(m.valore(499, 1).toString(), QString("v500"));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("memoria"));
}

void TstGriglia::righeDopoScritture_data() {
    QTest::addColumn<bool>("primaDelTotale");
    QTest::newRow("contate") << false;
    QTest::newRow("prima del totale") << true;
}

// Rows written through the grid change the places of the rows in the
// database (a new row sorts among the others, a changed key moves its row)
// while the list keeps them where it read them: the windows read afterwards,
// from the top or from the end, still show each row of the list at its place,
// none twice and none missing.
void TstGriglia::righeDopoScritture() {
    QFETCH(bool, primaDelTotale);
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(3000); // more windows than the model keeps
    if (primaDelTotale)
        Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    if (!primaDelTotale)
        m->attendiConteggio();
    QCOMPARE(m->totaleNoto(), !primaDelTotale);
    QStringList lista = articoliDb();
    QCOMPARE(lista.size(), 3002);

    if (primaDelTotale) {
        // more rows from the top, then the last ones from the end
        m_g->verticalScrollBar()->setValue(m_g->verticalScrollBar()->maximum());
        QTRY_VERIFY(m_g->Dati()->RecordCount() > ModelloRighe::RigheFinestra);
        m_modulo.ButtonComando(QStringLiteral("Ultimo"));
        QVERIFY(!m->totaleNoto());
    }
    // two new rows, one sorting among the first rows, one among the last
    m_modulo.suAddNew = [this] {
        m_g->Colonna(QStringLiteral("Magazzino"))->setValue(QStringLiteral("M1"));
        m_g->Colonna(QStringLiteral("CodInv"))->setValue(QStringLiteral("INV1"));
        m_g->Colonna(QStringLiteral("Livello1"))->setValue(QStringLiteral("~ç~"));
        m_g->Colonna(QStringLiteral("Livello2"))->setValue(QStringLiteral("~ç~"));
    };
    for (const QString& articolo : {QStringLiteral("B00100A"), QStringLiteral("B02900A")}) {
        QVERIFY(m_g->nuovaRiga(1));
        scrivi(articolo);
        QVERIFY(m_g->Update());
    }
    QStringList aggiunte = articoliDb();
    for (const QString& a : lista)
        aggiunte.removeOne(a);
    QCOMPARE(aggiunte.size(), 2);
    QCOMPARE(m->valore(m_g->Dati()->RecordCount() - 1, 1).toString(), aggiunte.last());

    confrontaRighe(lista, aggiunte);

    // a key changed through the grid: the row goes among the last in the
    // database and stays at its place in the list
    m_g->setRow(200);
    m_g->setCol(1);
    scrivi(QStringLiteral("B02950Z"));
    QVERIFY(m_g->Update());
    const QString vecchio = lista[200];
    QCOMPARE(
        valoreDb(
            QStringLiteral("SELECT COUNT(*) FROM MagInventari WHERE Articolo = '%1'").arg(vecchio))
            .toInt(),
        0);
    lista[200] = m->valore(200, 1).toString();
    QVERIFY(articoliDb().contains(lista[200]));
    confrontaRighe(lista, aggiunte);

    if (primaDelTotale) {
        Conteggio::Trattieni(false);
        QTRY_VERIFY(m->totaleNoto());
        QCOMPARE(m_g->Dati()->RecordCount(), 3004);
        confrontaRighe(lista, aggiunte);
    }
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    QCOMPARE(m_txtRiga->text(), QString("3004 / 3004"));
    confrontaRighe(lista, aggiunte); // read again, the first windows left the cache

    // a row deleted through the grid: the list is read again, every row at
    // its place in the database
    m_g->setRow(2500);
    const QString cancellato = m->valore(2500, 1).toString();
    m_msg->rispondi(1);
    m_modulo.ButtonComando(QStringLiteral("Cancella"));
    QCOMPARE(valoreDb(QStringLiteral("SELECT COUNT(*) FROM MagInventari WHERE Articolo = '%1'")
                          .arg(cancellato))
                 .toInt(),
             0);
    m->attendiConteggio();
    QCOMPARE(m_g->Dati()->RecordCount(), 3003);
    confrontaRighe(articoliDb(), {});
}

// Another workstation adds and deletes rows in the middle and at the tail
// while the list is open, after its first windows were read: walking the
// whole list row by row as the operator does, every row of the database shows
// once, none twice and none left out at the border of two windows.
void TstGriglia::righeDiAltrePostazioni() {
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(3000);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    m->attendiConteggio();
    QCOMPARE(m_g->Dati()->RecordCount(), 3002);
    for (int r = 0; r < 3 * ModelloRighe::RigheFinestra; ++r)
        QVERIFY(m->valore(r, 1).isValid());
    m_g->setRow(0);

    {
        QSqlDatabase altra = apriDb(QStringLiteral("altra%1").arg(m_serie));
        QSqlQuery q(altra);
        for (const char* articolo :
             {"B01500A", "B01500B", "B01500C", "B01700A", "B02900A", "B02900B", "B02999A"})
            QVERIFY2(q.exec(QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, "
                                           "Livello2, Magazzino, Giacenza) VALUES ('INV1', '%1', "
                                           "'~ç~', '~ç~', 'M1', 1)")
                                .arg(QLatin1String(articolo))),
                     qPrintable(q.lastError().text()));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM MagInventari WHERE Articolo IN ('B01600', "
                                      "'B01601', 'B02950', 'B02951', 'B02952', 'B02953')")));
        q.finish();
        altra.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("altra%1").arg(m_serie));
    const QStringList lista = articoliDb();
    QCOMPARE(lista.size(), 3003);

    // Down to the last row; an automatic read again of the list runs among
    // the events between two steps.
    QStringList viste;
    for (int passi = 0; passi < 2 * lista.size(); ++passi) {
        QString articolo;
        for (int prove = 0; prove < 3 && articolo.isEmpty(); ++prove) {
            QCoreApplication::processEvents();
            articolo = m->valore(m_g->Row(), 1).toString();
        }
        QVERIFY2(!articolo.isEmpty(), qPrintable(QStringLiteral("riga %1").arg(m_g->Row())));
        viste << articolo;
        if (m_g->Row() + 1 >= m_g->Dati()->RecordCount())
            break;
        m_g->setRow(m_g->Row() + 1);
    }
    QStringList doppie = viste;
    QCOMPARE(doppie.removeDuplicates(), 0);
    for (const QString& a : lista)
        QVERIFY2(viste.contains(a), qPrintable(a + QStringLiteral(" mancante")));
    QCOMPARE(viste, lista);
    QCOMPARE(m_g->Dati()->RecordCount(), 3003);

    // A row added before the cursor, seen when a window next to one in
    // memory is read: the list is read again and the cursor stays on its row.
    m_g->setRow(2000);
    const QString corrente = m->valore(2000, 1).toString();
    esegui(
        QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                       "Magazzino, Giacenza) VALUES ('INV1', 'B00010A', '~ç~', '~ç~', 'M1', 1)"));
    m_g->verticalScrollBar()->setValue(1500);
    QTRY_COMPARE(m_g->Row(), 2001);
    QCOMPARE(m->valore(m_g->Row(), 1).toString(), corrente);
    QCOMPARE(m_g->Dati()->RecordCount(), 3004);
}

void TstGriglia::valoriNulli_data() {
    QTest::addColumn<bool>("odbc");
    QTest::addColumn<QString>("colonna"); // the column left Null: text, number, date
    QTest::addColumn<QString>("azione");
    for (bool odbc : {false, true})
        for (const char* c : {"Testo", "Numero", "Data"})
            for (const char* a : {"modifica", "cancella", "altri"})
                QTest::addRow("%s%s %s", odbc ? "odbc " : "", c, a) << odbc << c << a;
}

// A row with a Null in an editable column is written and deleted as any
// other: Null matches Null when the grid checks that nobody changed the row.
// A value another workstation put in that Null is still seen.
void TstGriglia::valoriNulli() {
    QFETCH(QString, colonna);
    QFETCH(QString, azione);
    VIA_ODBC();
    PREPARA();
    esegui("DROP TABLE IF EXISTS Nulli");
    esegui("CREATE TABLE Nulli (Codice VARCHAR(10) NOT NULL PRIMARY KEY, Nota VARCHAR(20), "
           "Testo VARCHAR(40), Numero DOUBLE PRECISION, Data DATE)");
    esegui("INSERT INTO Nulli (Codice, Nota, Testo, Numero, Data) VALUES "
           "('N1', 'a', 'testo', 1.5, '2024-03-01'), ('N2', 'b', 'altro', 2.5, '2024-04-01')");
    esegui(QStringLiteral("UPDATE Nulli SET %1 = NULL WHERE Codice = 'N1'").arg(colonna));
    m_modulo.sql = QStringLiteral("SELECT Codice, Nota, Testo, Numero, Data FROM Nulli ORDER BY "
                                  "Codice");
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const int c = m->indiceColonna(colonna);
    QVERIFY(c > 1);
    auto nelDb = [this](const QString& campo) {
        return valoreDb(QStringLiteral("SELECT %1 FROM Nulli WHERE Codice = 'N1'").arg(campo));
    };
    // the other row is never touched
    auto altraIntatta = [this] {
        return valoreDb("SELECT COUNT(*) FROM Nulli WHERE Codice = 'N2' AND Nota = 'b' AND Testo "
                        "= 'altro' AND Numero = 2.5")
                   .toInt() == 1;
    };
    QVERIFY(m->valore(0, c).isNull());
    QCOMPARE(m_g->Colonna(c)->Text(), QString());

    if (azione == QLatin1String("cancella")) {
        clicCella(0, 1);
        m_msg->rispondi(1);
        m_modulo.ButtonComando(QStringLiteral("Cancella"));
        QCOMPARE(m_msg->testi(), QStringList({Comlin::domandaCancella()}));
        QCOMPARE(valoreDb("SELECT COUNT(*) FROM Nulli WHERE Codice = 'N1'").toInt(), 0);
        QCOMPARE(m_g->Dati()->RecordCount(), 1);
        QVERIFY(altraIntatta());
        return;
    }
    if (azione == QLatin1String("altri")) {
        esegui(QStringLiteral("UPDATE Nulli SET %1 = %2 WHERE Codice = 'N1'")
                   .arg(colonna, colonna == QLatin1String("Testo") ? QStringLiteral("'suo'")
                                 : colonna == QLatin1String("Numero")
                                     ? QStringLiteral("7")
                                     : QStringLiteral("'2024-09-09'")));
        clicCella(0, 1);
        scrivi(QStringLiteral("mia"));
        QVERIFY(!m_g->Update());
        QCOMPARE(m_modulo.eventi.last(), QString("Error 3197"));
        QCOMPARE(nelDb(QStringLiteral("Nota")).toString(), QString("a"));
        QVERIFY(!m_g->Colonna(c)->Text().isEmpty()); // read again with the other's value
        return;
    }

    // another column of the row
    clicCella(0, 1);
    scrivi(QStringLiteral("x"));
    QVERIFY(m_g->Update());
    QCOMPARE(m_msg->testi(), QStringList());
    QCOMPARE(nelDb(QStringLiteral("Nota")).toString(), QString("x"));
    QVERIFY(nelDb(colonna).isNull());

    // the Null cell itself: its editor starts empty, and the value typed is written
    clicCella(0, c);
    tasto(Qt::Key_F2);
    auto* editor = m_g->findChild<QLineEdit*>(QStringLiteral("dbgRigaEditor"));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString());
    const QString testo = colonna == QLatin1String("Testo")    ? QStringLiteral("nuovo")
                          : colonna == QLatin1String("Numero") ? QStringLiteral("3,25")
                                                               : QStringLiteral("15/03/2025");
    scrivi(testo);
    QVERIFY(m_g->Update());
    QCOMPARE(m_msg->testi(), QStringList());
    if (colonna == QLatin1String("Numero"))
        QCOMPARE(nelDb(colonna).toDouble(), 3.25);
    else if (colonna == QLatin1String("Data"))
        QCOMPARE(nelDb(colonna).toDate(), QDate(2025, 3, 15));
    else
        QCOMPARE(nelDb(colonna).toString(), testo);

    // emptied again, as a form empties a cell, then another column written
    clicCella(0, c);
    m_g->Colonna(c)->setValue(QVariant());
    QVERIFY(m_g->Update());
    QVERIFY(nelDb(colonna).isNull());
    clicCella(0, 1);
    scrivi(QStringLiteral("y"));
    QVERIFY(m_g->Update());
    QCOMPARE(m_msg->testi(), QStringList());
    QCOMPARE(nelDb(QStringLiteral("Nota")).toString(), QString("y"));
    QVERIFY(nelDb(colonna).isNull());

    // a Null put in a Null is no change
    clicCella(0, c);
    m_g->Colonna(c)->setValue(QVariant());
    QVERIFY(!m_g->DataChanged());
    QVERIFY(altraIntatta());
}

void TstGriglia::listaCambiataDuranteConteggio_data() {
    QTest::addColumn<bool>("odbc");
    // the read after the change: further rows from the top, or a window read
    // again below a window in memory (scrolling down) or above one (scrolling up)
    QTest::addColumn<QString>("lettura");
    for (bool odbc : {false, true})
        for (const char* l : {"seguenti", "scendendo", "salendo"})
            QTest::addRow("%s%s", odbc ? "odbc " : "", l) << odbc << l;
}

// Another workstation deletes and adds rows among the first ones while the
// list is still being counted.  The next window read overlaps its neighbour
// in memory by one row that no longer matches: the window is not shown, the
// list is read again and shows every row of the database once, at its place.
void TstGriglia::listaCambiataDuranteConteggio() {
    QFETCH(QString, lettura);
    VIA_ODBC();
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(3000);
    Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    QVERIFY(!m->totaleNoto());
    const int f = ModelloRighe::RigheFinestra;
    const QStringList prima = articoliDb();
    if (lettura != QLatin1String("seguenti")) {
        // rows from the top until the first windows left the memory
        while (m->canFetchMore({}) && m->rowCount() < (ModelloRighe::FinestreMassime + 2) * f)
            m->fetchMore({});
        QVERIFY(!m->totaleNoto());
        QVERIFY(m->chiaveInMemoria(0).isEmpty());
        QVERIFY(m->chiaveInMemoria(f).isEmpty());
        QVERIFY(!m->chiaveInMemoria(2 * f).isEmpty());
        if (lettura == QLatin1String("scendendo"))
            QVERIFY(m->valore(0, 1).isValid()); // the first window read again, before the change
    }
    {
        QSqlDatabase altra = apriDb(QStringLiteral("altra%1").arg(m_serie));
        QSqlQuery q(altra);
        QVERIFY(q.exec(QStringLiteral("DELETE FROM MagInventari WHERE Articolo IN ('B00100', "
                                      "'B00101')")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, "
                                      "Livello2, Magazzino, Giacenza) VALUES ('INV1', 'B00050A', "
                                      "'~ç~', '~ç~', 'M1', 1)")));
        q.finish();
        altra.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("altra%1").arg(m_serie));
    const QStringList lista = articoliDb();
    QCOMPARE(lista.size(), 3001);

    if (lettura == QLatin1String("seguenti")) {
        m->fetchMore({});
    } else {
        if (lettura == QLatin1String("salendo"))
            QVERIFY(m->valore(2 * f, 1).isValid()); // the window the operator looks at
        m->valore(f + 5, 1);                        // then the one above it
    }
    // Before anything else is read: two rows next to each other in memory
    // follow the list's order, with no row between them that was in the list
    // before the change and still is (a window shown beside a neighbour read
    // before the change would repeat or leave out the rows the change moved
    // across their border).
    QStringList sempre;
    for (const QString& a : prima)
        if (lista.contains(a))
            sempre << a;
    QString precedente;
    for (int r = 0; r < m->rowCount(); ++r) {
        const QVariantList k = m->chiaveInMemoria(r);
        const QString articolo = k.value(1).toString();
        if (!precedente.isEmpty() && !articolo.isEmpty()) {
            const auto tra = std::upper_bound(sempre.cbegin(), sempre.cend(), precedente);
            QVERIFY2(
                articolo > precedente && (tra == sempre.cend() || *tra >= articolo),
                qPrintable(QStringLiteral("riga %1: %2 dopo %3").arg(r).arg(articolo, precedente)));
        }
        precedente = articolo;
    }
    QTRY_VERIFY(!m->spostata());
    QVERIFY(!m->totaleNoto());
    confrontaRighe(lista, {});
    // more rows from the top, then the total
    while (m->canFetchMore({}) && m->rowCount() < 4 * f)
        m->fetchMore({});
    confrontaRighe(lista, {});
    Conteggio::Trattieni(false);
    QTRY_VERIFY(m->totaleNoto());
    QCOMPARE(m_g->Dati()->RecordCount(), 3001);
    confrontaRighe(lista, {});
}

void TstGriglia::modelloCoerente_data() {
    QTest::addColumn<bool>("odbc");
    QTest::newRow("driver di Qt") << false;
    QTest::newRow("odbc") << true;
}

// Qt's model tester watches the grid's model while rows are read from the
// top and from the end, written, added and deleted, and counted in the
// background.
void TstGriglia::modelloCoerente() {
    VIA_ODBC();
    PREPARA(QString::fromLatin1(SqlConteggi));
    riempi(1500);
    Conteggio::Trattieni(true);
    m_comlin->ApriSql(m_modulo.sql);
    ModelloRighe* m = m_g->modello();
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(!m->totaleNoto());
    m_g->verticalScrollBar()->setValue(m_g->verticalScrollBar()->maximum());
    QTRY_VERIFY(m_g->Dati()->RecordCount() > 2 * ModelloRighe::RigheFinestra);
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    QVERIFY(!m->totaleNoto());
    m_g->setCol(5);
    scrivi(QStringLiteral("5"));
    QVERIFY(m_g->Update());
    m_modulo.suAddNew = [this] {
        m_g->Colonna(QStringLiteral("Magazzino"))->setValue(QStringLiteral("M1"));
        m_g->Colonna(QStringLiteral("CodInv"))->setValue(QStringLiteral("INV1"));
        m_g->Colonna(QStringLiteral("Livello1"))->setValue(QStringLiteral("~ç~"));
        m_g->Colonna(QStringLiteral("Livello2"))->setValue(QStringLiteral("~ç~"));
    };
    QVERIFY(m_g->nuovaRiga(1));
    scrivi(QStringLiteral("Z1"));
    QVERIFY(m_g->Update());
    esegui("DELETE FROM MagInventari WHERE Articolo IN ('B00700', 'B00701')");
    Conteggio::Trattieni(false);
    QTRY_VERIFY(m->totaleNoto());
    QCOMPARE(m_g->Dati()->RecordCount(), 1502 - 2 + 1);
    confrontaRighe(articoliDb().mid(0, 1500), {QStringLiteral("Z1")});
    // a row deleted through the grid: the list is read again and counted
    Conteggio::Trattieni(true);
    m_g->setRow(1000);
    m_msg->rispondi(1);
    m_modulo.ButtonComando(QStringLiteral("Cancella"));
    QVERIFY(!m->totaleNoto());
    m_modulo.ButtonComando(QStringLiteral("Ultimo"));
    Conteggio::Trattieni(false);
    QTRY_VERIFY(m->totaleNoto());
    QCOMPARE(m_g->Dati()->RecordCount(), 1500);
    confrontaRighe(articoliDb(), {});
    m_modulo.ButtonComando(QStringLiteral("Aggiorna"));
    m->attendiConteggio();
    QCOMPARE(m_g->Dati()->RecordCount(), 1500);
}

QTEST_MAIN(TstGriglia)
#include "tst_griglia.moc"
