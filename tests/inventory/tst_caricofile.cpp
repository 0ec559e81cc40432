// The load of a terminal file from the counts form, as the operator does it:
// the load button clicked in row mode, the warehouse request answered, the
// progress window, the messages and the end of the load, with real parameter
// files, real terminal files and a real shell script as the download
// program, over an SQLite file and over PostgreSQL (skipped when the test
// service has not exported QUARVEL_PG_*).

#include "DittaForm.h"
#include "aiuto/CampiAiuto.h"
#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "desktop/Scala.h"
#include "inventory/FileTerminale.h"
#include "inventory/FrmCaricaFile.h"
#include "inventory/FrmGestInv.h"
#include "inventory/FrmRicMagTrasf.h"
#include "inventory/FrmSelIniCarFile.h"
#include "listcmd/Comlin.h"
#include "listform/Tastiera.h"
#include "lookup/ComponenteAiutoQt.h"
#include "startup/Principale.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ListaComandi.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "support/MenuValori.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
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

// Articles whose codes and barcodes cross: the barcode of ART003 is the
// code of ART002, so the search order decides which one a line names.
// INV-B already counts ART001 in both warehouses and ART004 with a real
// level.
void RiempiDitta(QSqlDatabase& db) {
    dati::CreaDitta(db, true);
    Esegui(db, QStringLiteral(
                   "INSERT INTO Articoli (Articolo, Descrizione, BarCode, LivGruppo1, LivGruppo2, "
                   "Inattivo, FlagLivLis) VALUES "
                   "('ART001', 'Vite', '8001001', NULL, NULL, 'N', 'N'), "
                   "('ART002', 'Bullone', '8001002', NULL, NULL, 'N', 'N'), "
                   "('ART003', 'Dado', 'ART002', NULL, NULL, 'N', 'N'), "
                   "('ART004', 'Staffa', '8001004', 'TG', NULL, 'N', 'N'), "
                   "('XART009', 'Rondella', '8001009', NULL, NULL, 'N', 'N')"));
    Esegui(db, QStringLiteral("INSERT INTO LivGruppi (LivGruppo, Descrizione) VALUES "
                              "('TG', 'Taglia')"));
    Esegui(db, QStringLiteral("INSERT INTO Livelli (LivGruppo, Livello, Descrizione) VALUES "
                              "('TG', 'S', 'Piccola')"));
    Esegui(db, QStringLiteral("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                              "('M01', 'Sede'), ('M02', 'Deposito Nord')"));
    Esegui(db, QStringLiteral("INSERT INTO MagDescrInv (CodInv, DataInvent, Descrizione) VALUES "
                              "('INV-A', '2023-12-31', 'Vecchio'), "
                              "('INV-B', '2024-12-31', 'Fine anno')"));
    Esegui(db, QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                              "Magazzino, Giacenza) VALUES "
                              "('INV-B', 'ART001', '~ç~', '~ç~', 'M01', 5), "
                              "('INV-B', 'ART001', '~ç~', '~ç~', 'M02', 9), "
                              "('INV-B', 'ART004', 'S', '~ç~', 'M01', 3), "
                              "('INV-A', 'ART002', '~ç~', '~ç~', 'M01', 1)"));
}

void ScriviFile(const QString& nome, const QByteArray& testo) {
    QFile f(nome);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(nome));
    QCOMPARE(f.write(testo), testo.size());
}

QByteArray LeggiFile(const QString& nome) {
    QFile f(nome);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The scripted answers, with a step of the test run before a question is
// answered (the operator waits for the download to finish, say).
class MessaggiConPasso final : public ServizioMessaggi {
public:
    explicit MessaggiConPasso(MessaggiScriptati& dentro) : m_dentro(dentro) {
        ImpostaServizioMessaggi(this);
    }
    ~MessaggiConPasso() override { ImpostaServizioMessaggi(&m_dentro); }
    std::function<void(const RichiestaMsgCom&)> prima;
    int msgCom(const RichiestaMsgCom& r) override {
        if (prima)
            prima(r);
        return m_dentro.msgCom(r);
    }
    int msgBox(const RichiestaMsgBox& r) override { return m_dentro.msgBox(r); }
    QString inputBox(const RichiestaInput& r) override { return m_dentro.inputBox(r); }

private:
    MessaggiScriptati& m_dentro;
};

const QString Inesistente = QStringLiteral("Articolo %1 Inesistente.\r\n"
                                           "Impossibile caricare la riga letta");

} // namespace

#define PREPARA(...)                                                                               \
    do {                                                                                           \
        prepara(__VA_ARGS__);                                                                      \
        if (!m_form)                                                                               \
            return;                                                                                \
    } while (0)

class TstCaricoFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe({Motore::Sqlite, Motore::Postgres}); }
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void visibilita_data();
    void visibilita();
    void formati_data();
    void formati();
    void ordiniRicerca_data();
    void ordiniRicerca();
    void sostituisce_data();
    void sostituisce();
    void prontoDopoCarico();
    void magazzinoAnnullato();
    void cancFile_data();
    void cancFile();
    void fileMancante();
    void programmaPrima_data();
    void programmaPrima();
    void righeScartate();
    void nonMostrare_data();
    void nonMostrare();
    void ferma();
    void durante();
    void erroreDurante();
    void databaseOccupato();
    void righeArrivateDurante_data();
    void righeArrivateDurante();
    void aggDettArt_data();
    void aggDettArt();
    void decArtDaCodBar_data();
    void decArtDaCodBar();
    void setSpento();

private:
    // The counts form on INV-B in row mode, with the set "LettArtDafile" of
    // the keys given (FileOrigine added when they have none) and loading
    // switched on for the operator unless personale says otherwise.
    void prepara(const QString& set, const QString& personale = QStringLiteral("S"),
                 const QString& altriSet = {});
    // Clicks the load button; the warehouse request is answered with the
    // warehouse typed (empty: the one proposed), confirmed or cancelled.
    void carica(const QString& magazzino = {}, bool conferma = true);
    QVariant valore(const QString& sql) {
        QSqlQuery q(m_db);
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }
    // The loaded rows (no levels) of INV-B in a warehouse, as
    // "ARTICOLO=quantità" joined by spaces, by article.
    QString righe(const QString& magazzino = QStringLiteral("M01")) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("SELECT Articolo, Giacenza FROM MagInventari WHERE CodInv = 'INV-B' "
                              "AND Magazzino = '%1' AND Livello1 = '~ç~' AND Livello2 = '~ç~' "
                              "ORDER BY Articolo")
                   .arg(magazzino));
        QStringList r;
        while (q.next())
            r << q.value(0).toString() + QLatin1Char('=') + QString::number(q.value(1).toDouble());
        return r.join(QLatin1Char(' '));
    }
    QString fileTerminale() const {
        return m_dir.filePath(QStringLiteral("term%1.txt").arg(m_serie));
    }
    // The messages shown, but the summary at the end.
    QStringList messaggiSenzaFine() const {
        QStringList t = m_msg->testi();
        if (!t.isEmpty() && t.last().startsWith(QLatin1String("Caricamento ")))
            t.removeLast();
        return t;
    }

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_caricofile")};
    int m_serie = 0;
    DittaForm m_ditta;
    QSqlDatabase& m_db = m_ditta.db;
    MenuValori m_menu;
    std::unique_ptr<MessaggiScriptati>& m_msg = m_ditta.msg;
    std::unique_ptr<lookup::ComponenteAiutoQt>& m_aiuto = m_ditta.aiuto;
    QPointer<FrmGestInv> m_form;
};

void TstCaricoFile::initTestCase() {
    QVERIFY(m_dir.isValid());
    DittaForm::Installa(m_pg);
}

void TstCaricoFile::prepara(const QString& set, const QString& personale, const QString& altriSet) {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString nome = QStringLiteral("carico%1").arg(++m_serie);
    const QString file = m_dir.filePath(nome + QStringLiteral(".db"));
    m_db = ConnessioneProva(motore, nome, file, m_pg);
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    RiempiDitta(m_db);

    const QString ini = m_dir.filePath(QStringLiteral("belcor%1.ini").arg(m_serie));
    QString testo = QStringLiteral("[LettArtDafile]\n") + set + QLatin1Char('\n');
    if (!set.contains(QLatin1String("FileOrigine")))
        testo += QStringLiteral("FileOrigine=%1\n").arg(fileTerminale());
    ScriviFile(ini, (testo + altriSet).toUtf8());

    m_menu.rispostaMsgBox = 1;
    m_menu.valori = {{QStringLiteral("Mag.MagPrincipale"), QStringLiteral("M01")},
                     {QStringLiteral("Mag.NumDecQta"), QStringLiteral("2")},
                     {QStringLiteral("Mag.GesTaglie"), QStringLiteral("N")}};
    if (!personale.isNull())
        m_menu.valori[QStringLiteral("Personal.CarMov.§LettArtDafile")] = personale;

    m_ditta.Collega(motore, file, m_pg, &m_menu);
    ContestoSessione& s = Sessione();
    s.SezioneLetturaFile = QStringLiteral("LettArtDafile");
    s.FileIniPrincipale = ini;
    s.FileIniParametri.clear();
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
    QCOMPARE(m_form->txtCodice()->text(), QString("INV-B"));
    // header mode: the button waits for an inventory
    QVERIFY(!m_form->ComCarica()->isEnabled());
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QVERIFY(!m_form->mbModoRicerca());
    QVERIFY(m_form->ComCarica()->isEnabled());
}

void TstCaricoFile::cleanup() {
    m_ditta.Chiudi(m_form);
}

void TstCaricoFile::cleanupTestCase() {
    AzzeraSessione();
    m_pg.Elimina();
}

void TstCaricoFile::carica(const QString& magazzino, bool conferma) {
    bool vista = false;
    QTimer::singleShot(0, m_form, [&] {
        FrmRicMagTrasf* r = nullptr;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT((r = m_form->findChild<FrmRicMagTrasf*>()) && r->isVisible(),
                                     5000);
            vista = true;
            QCOMPARE(r->LabRichiesta()->text(),
                     QString("Magazzino caricamento gestione inventario"));
            QVERIFY(r->ComAnnulla()->isVisible());
            if (!magazzino.isEmpty()) {
                QTRY_VERIFY(r->txtMagazzino()->hasFocus());
                r->txtMagazzino()->selectAll();
                QTest::keyClicks(r->txtMagazzino(), magazzino);
            }
            QTest::mouseClick(conferma ? r->comOk() : r->ComAnnulla(), Qt::LeftButton);
        }();
        if (r && r->isVisible())
            r->hide();
    });
    QVERIFY(m_form->ComCarica()->isVisible());
    QTest::mouseClick(m_form->ComCarica(), Qt::LeftButton);
    QVERIFY(vista);
    // the request is gone, and so is the progress window
    QVERIFY(!m_form->findChild<FrmRicMagTrasf*>());
    QVERIFY(!m_form->findChild<FrmCaricaFile*>());
    QVERIFY(!m_form->mbCaricoInCorso());
}

// ---- cases ---------------------------------------------------------------------------

void TstCaricoFile::visibilita_data() {
    QTest::addColumn<QString>("personale");
    QTest::addColumn<QString>("set");
    QTest::addColumn<bool>("visibile");
    const QString fisso = QStringLiteral("CodInizio=1\nCodLung=10\nQtaInizio=11\nQtaLung=5");
    QTest::newRow("fisse") << "S" << fisso << true;
    QTest::newRow("personale s") << "s" << fisso << true;
    QTest::newRow("personale N") << "N" << fisso << false;
    QTest::newRow("personale mancante") << QString() << fisso << false;
    QTest::newRow("senza CodInizio") << "S"
                                     << "CodLung=10\nQtaInizio=11\nQtaLung=5" << false;
    QTest::newRow("senza file") << "S" << fisso + "\nFileOrigine=" << false;
    QTest::newRow("fisse senza CodLung") << "S"
                                         << "CodInizio=1\nQtaInizio=11\nQtaLung=5" << false;
    QTest::newRow("fisse senza QtaLung") << "S"
                                         << "CodInizio=1\nCodLung=10\nQtaInizio=11" << false;
    QTest::newRow("separate") << "S"
                              << "FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2" << true;
    QTest::newRow("separate senza separatore") << "S"
                                               << "FissoSep=S\nCodInizio=1\nQtaInizio=2" << false;
    QTest::newRow("apici") << "S"
                           << "FissoSep=A\nCodInizio=1\nQtaInizio=2" << true;
}

// The button shows exactly when loading is on and the set passes the strict
// checks at opening; a hidden button refuses a load with its cause.
void TstCaricoFile::visibilita() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, personale);
    QFETCH(QString, set);
    QFETCH(bool, visibile);
    PREPARA(set, personale);
    QCOMPARE(m_form->ComCarica()->isVisible(), visibile);
    QCOMPARE(m_form->mbLettFileAbil(), visibile);
    if (visibile)
        return;
    ScriviFile(fileTerminale(), "8001002   7\r\n");
    m_msg->rispondi(1);
    m_form->ComCarica_Click();
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY2(m_msg->testi().front().startsWith(personale.compare("S", Qt::CaseInsensitive) == 0
                                                   ? "Il caricamento da file è disattivato"
                                                   : "Il caricamento da file non è abilitato"),
             qPrintable(m_msg->testi().front()));
    QVERIFY(!m_form->findChild<FrmRicMagTrasf*>());
    QCOMPARE(righe(), QString("ART001=5"));
}

void TstCaricoFile::formati_data() {
    QTest::addColumn<QString>("set");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("attese");
    QTest::newRow("fisse") << "CodInizio=3\nCodLung=8\nQtaInizio=11\nQtaLung=6\nCancFile=N"
                           << QByteArray("xx8001002  7     \r\n"
                                         "   \r\n"
                                         "xxART001    12    \r\n"
                                         "xxART002\r\n")
                           << "ART001=12 ART002=7 ART003=0";
    QTest::newRow("punto e virgola")
        << "FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N"
        << QByteArray("8001002;7\n\" ART001 \";4\n8001009\n") << "ART001=4 ART002=7 XART009=0";
    QTest::newRow("separatore 59")
        << "FissoSep=S\nSeparatore=59\nCodInizio=2\nQtaInizio=3\n"
           "CancFile=N"
        << QByteArray("a;8001002;7\nb;ART001;4\n") << "ART001=4 ART002=7";
    QTest::newRow("tabulazione") << "FissoSep=S\nSeparatore=9\nCodInizio=1\nQtaInizio=2\n"
                                    "CancFile=N"
                                 << QByteArray("8001002\t7\r\n8001001\t3\r\n")
                                 << "ART001=3 ART002=7";
    QTest::newRow("apici") << "FissoSep=A\nCodInizio=2\nQtaInizio=3\nCancFile=N"
                           << QByteArray("\"x\",\"8001002\",\"7\"\r\n"
                                         "\"y\",,\"ART001\",\"5\"\r\n"
                                         "\"z\",\"ART001\",\"6\"\r\n")
                           << "ART001=6 ART002=7";
}

// Each layout through the form: the rows of the file in the warehouse
// proposed, the list shows them, the end of the load says nothing was
// refused.
void TstCaricoFile::formati() {
    QFETCH(QString, set);
    QFETCH(QByteArray, file);
    QFETCH(QString, attese);
    PREPARA(set);
    ScriviFile(fileTerminale(), file);
    carica();
    QCOMPARE(righe(), attese);
    QCOMPARE(messaggiSenzaFine(), QStringList());
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY2(m_msg->testi().last().startsWith("Caricamento terminato.\r\n"),
             qPrintable(m_msg->testi().last()));
    QVERIFY2(m_msg->testi().last().endsWith("Nessuna riga scartata."),
             qPrintable(m_msg->testi().last()));
    QCOMPARE(m_msg->mostrati().back().pulsanti, QStringList({"&Ok"}));
    QCOMPARE(m_form->esitoCarico().righeScartate, qint64(0));
    QVERIFY(m_form->esitoCarico().completo);
    // the list was refreshed: every row of INV-B is in it
    QCOMPARE(m_form->dbgRiga()->Dati()->RecordCount(),
             valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV-B'").toInt());
    QCOMPARE(m_form->txtRiga()->text().section(" / ", 1),
             valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV-B'").toString());
    QVERIFY(QFile::exists(fileTerminale()));
}

void TstCaricoFile::ordiniRicerca_data() {
    QTest::addColumn<QString>("chiavi");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("attese");
    QTest::addColumn<QStringList>("sconosciuti");
    const QByteArray incrociati = "ART002;2\n8001001;3\n";
    QTest::newRow("vuoto: barcode, poi articolo")
        << "" << QByteArray("ART002;2\n8001002;3\nART004;4\n")
        << "ART001=5 ART002=3 ART003=2 ART004=4" << QStringList();
    QTest::newRow("B: solo barcode") << "CodArtSeqRic=B" << QByteArray("ART002;2\nART001;3\n")
                                     << "ART001=5 ART003=2" << QStringList({"ART001"});
    QTest::newRow("C: solo articolo")
        << "CodArtSeqRic= C " << incrociati << "ART001=5 ART002=2" << QStringList({"8001001"});
    QTest::newRow("CB: articolo, poi barcode")
        << "CodArtSeqRic=CB" << incrociati << "ART001=3 ART002=2" << QStringList();
    QTest::newRow("BC minuscole") << "CodArtSeqRic=bc" << QByteArray("art002;2\nart001;3\n")
                                  << "ART001=3 ART003=2" << QStringList();
    QTest::newRow("prefisso: solo articolo")
        << "CodArtInizIdent=#" << QByteArray("#ART002;2\n#8001001;3\n8001001;4\n")
        << "ART001=4 ART002=2" << QStringList({"#8001001"});
    QTest::newRow("prefisso senza riguardo alle maiuscole")
        << "CodArtInizIdent=p:" << QByteArray("P:ART001;6\n") << "ART001=6" << QStringList();
    QTest::newRow("prefisso con testo prima e dopo")
        << "CodArtInizIdent=#\nAddArtPrima=X\nAddArtDopo=9" << QByteArray("#ART00;2\nART00;3\n")
        << "ART001=5 XART009=3" << QStringList();
    QTest::newRow("testo prima senza prefisso")
        << "AddArtPrima=X" << QByteArray("ART009;7\n8001002;1\n") << "ART001=5 ART002=1 XART009=7"
        << QStringList();
}

// The search orders, the prefix that marks an article code and the texts
// put around a code; a line that names no article is told and refused.
void TstCaricoFile::ordiniRicerca() {
    QFETCH(QString, chiavi);
    QFETCH(QByteArray, file);
    QFETCH(QString, attese);
    QFETCH(QStringList, sconosciuti);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N\n" + chiavi);
    ScriviFile(fileTerminale(), file);
    for (qsizetype i = 0; i < sconosciuti.size(); ++i)
        m_msg->rispondi(1);
    carica();
    QCOMPARE(righe(), attese);
    QStringList attesi;
    for (const QString& c : sconosciuti)
        attesi << Inesistente.arg(c);
    QCOMPARE(messaggiSenzaFine(), attesi);
    QCOMPARE(m_form->esitoCarico().righeScartate, qint64(sconosciuti.size()));
}

void TstCaricoFile::sostituisce_data() {
    QTest::addColumn<QString>("magazzino");
    QTest::addColumn<QString>("righeM01");
    QTest::addColumn<QString>("righeM02");
    QTest::newRow("proposto") << ""
                              << "ART001=6 ART002=1"
                              << "ART001=9";
    QTest::newRow("scelto") << "M02"
                            << "ART001=5"
                            << "ART001=6 ART002=1";
}

// The quantity of the file replaces the one counted (the later line of an
// article wins), in the warehouse chosen; rows of other warehouses and rows
// with real levels stay as they were.
void TstCaricoFile::sostituisce() {
    QFETCH(QString, magazzino);
    QFETCH(QString, righeM01);
    QFETCH(QString, righeM02);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N");
    ScriviFile(fileTerminale(), "8001001;2\n8001002;1\nART001;6\nART004;8\n");
    carica(magazzino);
    QCOMPARE(m_form->msMagCarico(), magazzino.isEmpty() ? QString("M01") : magazzino);
    QCOMPARE(righe("M01"), magazzino.isEmpty() ? righeM01 + " ART004=8" : righeM01);
    QCOMPARE(righe("M02"), magazzino.isEmpty() ? righeM02 : righeM02 + " ART004=8");
    QCOMPARE(valore("SELECT Giacenza FROM MagInventari WHERE CodInv = 'INV-B' AND "
                    "Articolo = 'ART004' AND Livello1 = 'S'")
                 .toDouble(),
             3.0);
    QCOMPARE(valore("SELECT COUNT(*) FROM MagInventari WHERE CodInv = 'INV-A'").toInt(), 1);
    QCOMPARE(m_form->esitoCarico().righeScritte, qint64(4));
    // the same file again gives the same rows
    carica(magazzino);
    QCOMPARE(righe("M01"), magazzino.isEmpty() ? righeM01 + " ART004=8" : righeM01);
}

// After a load the cursor waits on the new-row line's article: a scan
// begins a row of its own and no loaded count changes.
void TstCaricoFile::prontoDopoCarico() {
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N");
    ScriviFile(fileTerminale(), "8001002;1\nART001;6\n");
    carica(QString());
    QCOMPARE(righe("M01"), QString("ART001=6 ART002=1"));
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Row(), int(g->Dati()->RecordCount()));
    QCOMPARE(g->Col(), g->Colonna(QStringLiteral("Articolo"))->ColIndex());
    m_form->activateWindow();
    QTRY_VERIFY(g->widget()->hasFocus());
    const QString lettura = QStringLiteral("XART009\r2\r\r");
    for (QChar c : lettura) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        if (c == QLatin1Char('\r'))
            QTest::keyClick(w, Qt::Key_Return);
        else
            QTest::keyClick(w, c.toLatin1(), Qt::NoModifier, 2);
    }
    QCOMPARE(righe("M01"), QString("ART001=6 ART002=1 XART009=2"));
}

// The warehouse request cancelled: nothing is read, the file stays.
void TstCaricoFile::magazzinoAnnullato() {
    PROVA_SOLO_PRIMO_MOTORE();
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=S");
    ScriviFile(fileTerminale(), "8001002;7\n");
    carica(QString(), false);
    QCOMPARE(m_msg->testi(), QStringList());
    QCOMPARE(righe(), QString("ART001=5"));
    QCOMPARE(LeggiFile(fileTerminale()), QByteArray("8001002;7\n"));
    QCOMPARE(m_form->msMagCarico(), QString("M01"));
}

void TstCaricoFile::cancFile_data() {
    QTest::addColumn<QString>("cancFile");
    QTest::addColumn<int>("risposta"); // to "Cancello file caricato"; 0 not asked
    QTest::addColumn<bool>("cancellato");
    QTest::newRow("S") << "S" << 0 << true;
    // only "S" itself deletes without asking, only "N" itself keeps
    QTest::newRow("s: chiede, sì") << "s" << 1 << true;
    QTest::newRow("s: chiede, no") << "s" << 2 << false;
    QTest::newRow("n: chiede") << "n" << 2 << false;
    QTest::newRow("N") << "N" << 0 << false;
    QTest::newRow("vuoto, sì") << "" << 1 << true;
    QTest::newRow("vuoto, no") << "" << 2 << false;
    QTest::newRow("altro, no") << "X" << 2 << false;
}

// After the load the file is deleted, kept or the operator is asked, as the
// set's CancFile says; a file kept loads again to the same rows.
void TstCaricoFile::cancFile() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, cancFile);
    QFETCH(int, risposta);
    QFETCH(bool, cancellato);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=" + cancFile);
    ScriviFile(fileTerminale(), "8001002;7\n");
    if (risposta)
        m_msg->rispondi(risposta);
    carica();
    QCOMPARE(righe(), QString("ART001=5 ART002=7"));
    if (risposta) {
        QCOMPARE(messaggiSenzaFine(), QStringList({"Cancello file caricato"}));
        QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Sì", "&No"}));
    } else {
        QCOMPARE(messaggiSenzaFine(), QStringList());
    }
    QCOMPARE(QFile::exists(fileTerminale()), !cancellato);
    if (cancellato)
        return;
    m_msg->azzera();
    if (risposta)
        m_msg->rispondi(risposta);
    carica();
    QCOMPARE(righe(), QString("ART001=5 ART002=7"));
    QVERIFY(QFile::exists(fileTerminale()));
}

// A missing file is told by its name as the set writes it; the load is over
// and the next one, with the file there, runs.
void TstCaricoFile::fileMancante() {
    PROVA_SOLO_PRIMO_MOTORE();
    const QString scritto = m_dir.path() + QStringLiteral("//manca.txt");
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N\nFileOrigine=" +
            scritto);
    m_msg->rispondi(1);
    carica();
    QCOMPARE(m_msg->testi(), QStringList({"File (" + scritto + ") da caricare non trovato"}));
    QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Ok"}));
    QCOMPARE(righe(), QString("ART001=5"));
    ScriviFile(m_dir.filePath("manca.txt"), "8001002;7\n");
    m_msg->azzera();
    carica();
    QCOMPARE(righe(), QString("ART001=5 ART002=7"));
    QVERIFY(m_msg->testi().last().startsWith("Caricamento terminato."));
}

void TstCaricoFile::programmaPrima_data() {
    QTest::addColumn<bool>("programma"); // false: ExePrima names a missing file
    QTest::addColumn<int>("risposta");
    QTest::newRow("ok") << true << 1;
    QTest::newRow("annullato") << true << 2;
    QTest::newRow("chiuso senza risposta") << true << 0;
    QTest::newRow("programma mancante") << false << 1;
}

// The download program is started first, not waited for; the operator says
// when the download is over.  Cancelled, or the question closed without an
// answer, nothing is loaded and the file stays as the download left it.
void TstCaricoFile::programmaPrima() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(bool, programma);
    QFETCH(int, risposta);
    const QString script = m_dir.filePath(QStringLiteral("scarica%1.sh").arg(m_serie + 1));
    const QString segno = script + QStringLiteral(".fatto");
    const QString terminale = m_dir.filePath(QStringLiteral("term%1.txt").arg(m_serie + 1));
    ScriviFile(script, QStringLiteral("#!/bin/sh\nprintf '8001002;7\\n' > '%1'\ntouch '%2'\n")
                           .arg(terminale, segno)
                           .toUtf8());
    QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner));
    const QString exe = programma ? script : m_dir.filePath(QStringLiteral("nessuno.sh"));
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=S\nExePrima=" + exe);
    if (!programma)
        ScriviFile(terminale, "8001002;7\n");
    MessaggiConPasso passo(*m_msg);
    passo.prima = [&](const RichiestaMsgCom& r) {
        // the operator waits for the download before answering
        if (programma && r.psLabel.startsWith(QLatin1String("Premere Ok")))
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(segno), 10000);
    };
    if (!programma)
        m_msg->rispondi(1);
    if (risposta)
        m_msg->rispondi(risposta);
    carica();
    QStringList attesi;
    if (!programma)
        attesi << "Impossibile avviare il programma di scaricamento dei dati (" + exe +
                      "): il file non esiste.";
    attesi << "Premere Ok dopo che lo scaricamento dei dati è stato completato";
    QCOMPARE(messaggiSenzaFine(), attesi);
    QCOMPARE(m_msg->mostrati()[attesi.size() - 1].pulsanti, QStringList({"&Ok", "&Annulla"}));
    if (risposta == 1) {
        QCOMPARE(righe(), QString("ART001=5 ART002=7"));
        QVERIFY(!QFile::exists(terminale)); // CancFile=S
    } else {
        QCOMPARE(m_msg->testi().size(), attesi.size());
        QCOMPARE(righe(), QString("ART001=5"));
        QCOMPARE(LeggiFile(terminale), QByteArray("8001002;7\n"));
    }
}

// Lines that are not loaded are told (a code holding a NUL byte too) and
// kept as they were read, beside the file; the window shows the counts
// while a message is up; the end of the load says how many lines were
// read, loaded, blank and refused, and where, before the file is deleted.
void TstCaricoFile::righeScartate() {
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=S");
    static const char file[] = "8001002;7\r\nZZZ;1\r\n  \r\nART001;2\r\nnul\0riga;3\r\nperso;4\r\n";
    ScriviFile(fileTerminale(), QByteArray(file, sizeof(file) - 1));
    MessaggiConPasso passo(*m_msg);
    QStringList conti; // lines read, refused, blank in the window at each message
    passo.prima = [&](const RichiestaMsgCom& r) {
        if (!r.psLabel.startsWith(QLatin1String("Articolo")))
            return;
        FrmCaricaFile* p = m_form->frmCaricaFile();
        conti << (p ? p->labLette()->text() + QLatin1Char('/') + p->labScartate()->text() +
                          QLatin1Char('/') + p->labVuote()->text()
                    : QStringLiteral("nessuna finestra"));
    };
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    carica();
    QCOMPARE(righe(), QString("ART001=2 ART002=7"));
    QCOMPARE(messaggiSenzaFine(), QStringList({Inesistente.arg("ZZZ"),
                                               Inesistente.arg(QString::fromUtf8("nul\0riga", 8)),
                                               Inesistente.arg("perso")}));
    QCOMPARE(conti, QStringList({"6/1/1", "6/2/1", "6/3/1"}));
    const QStringList scarti =
        QDir(m_dir.path())
            .entryList({QStringLiteral("term%1.txt.scarti-*").arg(m_serie)}, QDir::Files);
    QCOMPARE(scarti.size(), 1);
    const QString nome = m_dir.filePath(scarti.front());
    // each refused line as it was read, NUL byte included (in any order)
    QList<QByteArray> tenute = LeggiFile(nome).split('\n');
    std::sort(tenute.begin(), tenute.end());
    static const char nul[] = "nul\0riga;3\r";
    QCOMPARE(tenute,
             QList<QByteArray>({"", "ZZZ;1\r", QByteArray(nul, sizeof(nul) - 1), "perso;4\r"}));
    const QString fine = m_msg->testi().last();
    QVERIFY2(fine.startsWith("Caricamento terminato.\r\n"
                             "Righe lette: 6; righe caricate: 2; righe vuote: 1.\r\n"),
             qPrintable(fine));
    QVERIFY2(fine.contains("3 righe non caricate, conservate nel file\r\n" + nome),
             qPrintable(fine));
    QVERIFY(!QFile::exists(fileTerminale()));
    QCOMPARE(m_form->esitoCarico().righeScartate, qint64(3));
    QCOMPARE(m_form->esitoCarico().righeScritte, qint64(2));
}

void TstCaricoFile::nonMostrare_data() {
    QTest::addColumn<int>("risposta");
    QTest::addColumn<int>("mostrati");
    QTest::newRow("Ok a ogni riga") << 1 << 4;
    QTest::newRow("non mostrare più") << 2 << 1;
}

// The unknown-article message keeps its text and "&Ok" and offers to stop
// showing it for the rest of the load; the lines are refused all the same.
void TstCaricoFile::nonMostrare() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, risposta);
    QFETCH(int, mostrati);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N");
    ScriviFile(fileTerminale(), "Z1;1\nZ2;1\n8001002;7\nZ3;1\nZ4;1\n");
    for (int i = 0; i < mostrati; ++i)
        m_msg->rispondi(risposta);
    carica();
    const QStringList tutti{Inesistente.arg("Z1"), Inesistente.arg("Z2"), Inesistente.arg("Z3"),
                            Inesistente.arg("Z4")};
    QCOMPARE(messaggiSenzaFine(), tutti.mid(0, mostrati));
    QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Ok", "&Non mostrare più"}));
    QCOMPARE(righe(), QString("ART001=5 ART002=7"));
    QVERIFY2(m_msg->testi().last().contains("4 righe non caricate"),
             qPrintable(m_msg->testi().last()));
    // the next load tells again
    m_msg->azzera();
    m_msg->rispondi(2);
    carica();
    QCOMPARE(messaggiSenzaFine(), QStringList({Inesistente.arg("Z1")}));
}

// The stop button of the progress window, pressed while a long file loads:
// the load stops between two blocks, what was read by then is in (the
// later line wins), the rest of the file is not, and the file stays
// whatever CancFile says.
void TstCaricoFile::ferma() {
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=S");
    constexpr int Totale = 60000;
    QByteArray file;
    for (int i = 1; i <= Totale; ++i)
        file += "8001002;" + QByteArray::number(i) + "\n";
    ScriviFile(fileTerminale(), file);
    QString nomeFile, lette;
    bool visibile = false;
    QTimer guardia;
    guardia.setInterval(1);
    connect(&guardia, &QTimer::timeout, this, [&] {
        FrmCaricaFile* p = m_form->frmCaricaFile();
        if (!p || !p->isVisible() || lette.size())
            return;
        visibile = true;
        nomeFile = p->labFile()->text();
        QTest::mouseClick(p->ComFerma(), Qt::LeftButton);
        QVERIFY(!p->ComFerma()->isEnabled());
        lette = p->labLette()->text();
        guardia.stop();
    });
    guardia.start();
    carica();
    QVERIFY(visibile);
    QVERIFY2(nomeFile.contains(fileTerminale()), qPrintable(nomeFile));
    const inventario::EsitoCarico& e = m_form->esitoCarico();
    QVERIFY(e.fermato);
    QVERIFY(!e.completo);
    QVERIFY2(e.righeLette > 0 && e.righeLette < Totale, qPrintable(QString::number(e.righeLette)));
    QCOMPARE(e.righeScritte, e.righeLette);
    // the later line read wins
    QCOMPARE(righe(), QStringLiteral("ART001=5 ART002=%1").arg(e.righeLette));
    QVERIFY(QFile::exists(fileTerminale()));
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY2(m_msg->testi().front().startsWith(
                 "Caricamento interrotto, il file non è stato cancellato.\r\n"),
             qPrintable(m_msg->testi().front()));
    // the rest loads with the next run
    m_msg->azzera();
    carica();
    QCOMPARE(righe(), QStringLiteral("ART001=5 ART002=%1").arg(Totale));
    QVERIFY(!QFile::exists(fileTerminale()));
}

// While a load runs (here: while its unknown-article message is open) a
// second start does nothing, and closing the form stops the load instead of
// taking the form away under it.
void TstCaricoFile::durante() {
    PROVA_SOLO_PRIMO_MOTORE();
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=S");
    ScriviFile(fileTerminale(), "ZZZ;1\n8001002;7\n");
    MessaggiConPasso passo(*m_msg);
    bool chiamato = false;
    passo.prima = [&](const RichiestaMsgCom& r) {
        if (!r.psLabel.startsWith(QLatin1String("Articolo ZZZ")) || chiamato)
            return;
        chiamato = true;
        QVERIFY(m_form->mbCaricoInCorso());
        FrmCaricaFile* p = m_form->frmCaricaFile();
        QVERIFY(p && p->isVisible());
        m_form->LeggiDaFileBarCode();
        QCOMPARE(m_form->frmCaricaFile(), p);
        QVERIFY(!m_form->close());
        QVERIFY(p->Fermato());
    };
    m_msg->rispondi(1);
    carica();
    QVERIFY(chiamato);
    QVERIFY(m_form && m_form->isVisible());
    QVERIFY(m_form->esitoCarico().fermato);
    QCOMPARE(messaggiSenzaFine(), QStringList({Inesistente.arg("ZZZ")}));
    QVERIFY2(m_msg->testi().last().startsWith("Caricamento interrotto"),
             qPrintable(m_msg->testi().last()));
    QVERIFY(QFile::exists(fileTerminale()));
    // the lines read before the stop are in
    QCOMPARE(righe(), QString("ART001=5 ART002=7"));
    // and the form closes once the load is over
    QVERIFY(m_form->close());
}

// A load that cannot go on (here the file of refused lines cannot be
// written: a folder stands where it goes) ends with the generic error
// dialog, its cause and what was done; the terminal file is not deleted,
// whatever CancFile says, and nobody is asked about it.
void TstCaricoFile::erroreDurante() {
    PROVA_SOLO_PRIMO_MOTORE();
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=");
    ScriviFile(fileTerminale(), "8001002;7\nZZZ;1\n");
    // the random part of the name made known, and a folder under each name it gives
    const auto casuale = inventario::FileScarti::suffissoCasuale;
    inventario::FileScarti::suffissoCasuale = [] { return QStringLiteral("noto"); };
    const QDateTime adesso = QDateTime::currentDateTime();
    for (int s = 0; s < 30; ++s)
        QVERIFY(QDir().mkpath(fileTerminale() + adesso.addSecs(s).toString(QStringLiteral(
                                                    ".'scarti'-yyyyMMdd-HHmmss'-noto'"))));
    m_msg->rispondi(1);
    carica();
    inventario::FileScarti::suffissoCasuale = casuale;
    QVERIFY(!m_form->esitoCarico().errore.isEmpty());
    // the line is refused before it is told: the error alone, no question
    QCOMPARE(m_msg->testi().size(), 1);
    const QString errore = m_msg->testi().last();
    QVERIFY2(errore.startsWith("Errore(") && errore.contains(m_form->esitoCarico().errore) &&
                 errore.contains("Caricamento interrotto, il file non è stato cancellato.") &&
                 errore.contains("1 riga non caricata: il file delle righe scartate\r\n"),
             qPrintable(errore));
    QCOMPARE(m_msg->mostrati().back().pulsanti, QStringList({"&Ok"}));
    QCOMPARE(LeggiFile(fileTerminale()), QByteArray("8001002;7\nZZZ;1\n"));
    QVERIFY(!m_form->mbCaricoInCorso());
}

// A set chosen with the right click that switches loading off: told at once,
// the button goes, a load is refused with its cause, and a good set chosen
// later does not switch loading on again.
void TstCaricoFile::setSpento() {
    PROVA_SOLO_PRIMO_MOTORE();
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N", "S",
            "[LettArtDafile2]\nDescr=Senza codice\nFissoSep=S\nSeparatore=;\nQtaInizio=2\n");
    ScriviFile(fileTerminale(), "8001002;7\n");
    QVERIFY(m_form->ComCarica()->isVisible());
    auto scegli = [&](int riga) {
        QTest::mouseClick(m_form->ComCarica(), Qt::RightButton);
        auto* d = m_form->findChild<FrmSelIniCarFile*>();
        if (!d)
            for (QWidget* w : QApplication::topLevelWidgets())
                if ((d = qobject_cast<FrmSelIniCarFile*>(w)))
                    break;
        QVERIFY(d);
        QTRY_VERIFY(d->isVisible());
        d->LisParamIni()->setCurrentRow(riga);
        QTest::mouseClick(d->comOk(), Qt::LeftButton);
        QTRY_VERIFY(!d->isVisible());
    };
    m_msg->rispondi(1);
    scegli(1);
    QCOMPARE(m_form->msSetCarico(), QString("LettArtDafile2"));
    QVERIFY(!m_form->mbLettFileAbil());
    QCOMPARE(m_msg->testi(),
             QStringList({"I parametri \"LettArtDafile2\" non permettono il caricamento da file: "
                          "manca la posizione del codice nella riga (CodInizio).\r\n"
                          "Il caricamento da file resta disattivato fino alla riapertura della "
                          "gestione inventari."}));
    QVERIFY(!m_form->ComCarica()->isVisible());
    const QString rifiuto =
        "Il caricamento da file è disattivato: nei parametri \"LettArtDafile2\" manca la "
        "posizione del codice nella riga (CodInizio).\r\n"
        "Per caricare da file chiudere e riaprire la gestione inventari.";
    m_msg->azzera();
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    m_form->ComCarica_Click();
    m_form->LeggiDaFileBarCode();
    QCOMPARE(m_msg->testi(), QStringList({rifiuto, rifiuto}));
    QVERIFY(!m_form->findChild<FrmRicMagTrasf*>());
    QCOMPARE(righe(), QString("ART001=5"));
    // the good set again: loading stays off (the button is not there to
    // right-click: the dialog is opened as the button would)
    m_msg->azzera();
    m_form->ComCarica_MouseUp();
    FrmSelIniCarFile* d = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if ((d = qobject_cast<FrmSelIniCarFile*>(w)))
            break;
    QVERIFY(d);
    QTRY_VERIFY(d->isVisible());
    d->LisParamIni()->setCurrentRow(0);
    QTest::mouseClick(d->comOk(), Qt::LeftButton);
    QCOMPARE(m_form->msSetCarico(), QString("LettArtDafile"));
    QVERIFY(!m_form->mbLettFileAbil());
    QVERIFY(!m_form->ComCarica()->isVisible());
    QCOMPARE(m_msg->testi(), QStringList());
}

// Another connection holds the company's rows locked: the window says the
// load waits, and "Ferma caricamento" still stops it; the good line is not
// refused, the load is not "terminato", and the file stays as it was.
void TstCaricoFile::databaseOccupato() {
    QFETCH_GLOBAL(Motore, motore);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=S");
    ScriviFile(fileTerminale(), "8001002;7\n");
    const QString nome = QStringLiteral("occupa%1").arg(m_serie);
    {
        QSqlDatabase altra = ConnessioneProva(motore, nome, m_db.databaseName(), m_pg);
        QVERIFY2(altra.open(), qPrintable(altra.lastError().text()));
        QVERIFY(altra.transaction());
        QSqlQuery blocca(altra);
        QVERIFY2(blocca.exec(SuServer(motore)
                                 ? QStringLiteral("LOCK TABLE MagInventari IN EXCLUSIVE MODE")
                                 : QStringLiteral("UPDATE MagInventari SET Giacenza = Giacenza")),
                 qPrintable(blocca.lastError().text()));
        QString detto;
        bool premuto = false;
        QTimer guardia;
        guardia.setInterval(5);
        connect(&guardia, &QTimer::timeout, this, [&] {
            FrmCaricaFile* p = m_form->frmCaricaFile();
            if (!p || premuto || !p->labAttesa()->isVisible())
                return;
            detto = p->labAttesa()->text();
            premuto = true;
            QTest::mouseClick(p->ComFerma(), Qt::LeftButton);
        });
        guardia.start();
        m_msg->rispondi(1);
        carica();
        guardia.stop();
        altra.rollback();
        altra.close();
        QVERIFY(premuto);
        QVERIFY2(detto.contains(QStringLiteral("occupato")), qPrintable(detto));
        const inventario::EsitoCarico& e = m_form->esitoCarico();
        QVERIFY(!e.completo);
        QCOMPARE(e.righeScartate, 0);
        QCOMPARE(righe(), QString("ART001=5"));
        QCOMPARE(LeggiFile(fileTerminale()), QByteArray("8001002;7\n"));
        QCOMPARE(QDir(m_dir.path())
                     .entryList({QStringLiteral("term%1.txt.*").arg(m_serie)}, QDir::Files),
                 QStringList());
        const QString fine = m_msg->testi().last();
        QVERIFY2(fine.contains(QStringLiteral("occupato")) &&
                     fine.contains("Caricamento interrotto, il file non è stato cancellato."),
                 qPrintable(fine));
    }
    QSqlDatabase::removeDatabase(nome);
}

void TstCaricoFile::righeArrivateDurante_data() {
    QTest::addColumn<QString>("cancFile");
    QTest::addColumn<QString>("quando");  // the message the new lines arrive under
    QTest::addColumn<int>("risposta");    // to "Cancello file caricato"; 0 not asked
    QTest::addColumn<QByteArray>("dopo"); // under the terminal's name at the end
    const QByteArray letto("8001002;7\nZZZ;1\n");
    const QByteArray nuovo("8001001;3\n");
    QTest::newRow("S, righe scritte mentre il caricamento legge") << "S"
                                                                  << "Articolo ZZZ" << 0 << nuovo;
    QTest::newRow("chiesto, sì: righe scritte durante la domanda")
        << ""
        << "Cancello file caricato" << 1 << nuovo;
    QTest::newRow("chiesto, no: le righe nuove dopo quelle lette")
        << ""
        << "Cancello file caricato" << 2 << letto + nuovo;
    QTest::newRow("N, righe scritte mentre il caricamento legge")
        << "N"
        << "Articolo ZZZ" << 0 << letto + nuovo;
}

// The terminal's download writes lines while the load runs (while a
// message is up, or while "Cancello file caricato" waits for the answer):
// they are not deleted unread.  Only what was read goes; the new lines
// stay under the terminal's name (after the lines read, when those are
// kept) and the next load takes them.
void TstCaricoFile::righeArrivateDurante() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, cancFile);
    QFETCH(QString, quando);
    QFETCH(int, risposta);
    QFETCH(QByteArray, dopo);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=" + cancFile);
    ScriviFile(fileTerminale(), "8001002;7\nZZZ;1\n");
    MessaggiConPasso passo(*m_msg);
    bool scritte = false;
    passo.prima = [&](const RichiestaMsgCom& r) {
        if (scritte || !r.psLabel.startsWith(quando))
            return;
        scritte = true;
        // the download appends to the file under the terminal's name
        QFile f(fileTerminale());
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write("8001001;3\n") == 10);
    };
    m_msg->rispondi(1); // ZZZ
    if (risposta)
        m_msg->rispondi(risposta);
    carica();
    QVERIFY(scritte);
    QVERIFY2(m_msg->testi().last().startsWith("Caricamento terminato."),
             qPrintable(m_msg->testi().last()));
    QCOMPARE(righe(), QString("ART001=5 ART002=7"));
    QCOMPARE(LeggiFile(fileTerminale()), dopo);
    const QStringList scarti =
        QDir(m_dir.path())
            .entryList({QStringLiteral("term%1.txt.scarti-*").arg(m_serie)}, QDir::Files);
    QCOMPARE(scarti.size(), 1);
    QCOMPARE(LeggiFile(m_dir.filePath(scarti.front())), QByteArray("ZZZ;1\r\n"));
    // nothing of the load's own is left beside it
    QCOMPARE(
        QDir(m_dir.path()).entryList({QStringLiteral("term%1.txt.in-caricamento-*").arg(m_serie)}),
        QStringList());
    // the next load takes the new lines
    m_msg->azzera();
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    carica();
    QCOMPARE(righe(), QString("ART001=3 ART002=7"));
}

void TstCaricoFile::aggDettArt_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<double>("quantita");
    QTest::addColumn<bool>("scritta");
    QTest::addColumn<QString>("articolo"); // the code afterwards
    QTest::addColumn<QString>("dopo");     // the rows of M01
    QTest::newRow("barcode") << "8001002" << 7.0 << true << "ART002"
                             << "ART001=5 ART002=7";
    QTest::newRow("barcode prima del codice") << "ART002" << 4.0 << true << "ART003"
                                              << "ART001=5 ART003=4";
    QTest::newRow("codice, la quantità sostituita") << "art001" << 9.0 << true << "ART001"
                                                    << "ART001=9";
    QTest::newRow("inesistente") << "ZZZ" << 1.0 << false << "ZZZ"
                                 << "ART001=5";
}

// A caller loading one line: the code resolved as a load resolves it and
// the row written in the inventory shown, in the load's warehouse; an
// unknown code told as in a load.
void TstCaricoFile::aggDettArt() {
    QFETCH(QString, codice);
    QFETCH(double, quantita);
    QFETCH(bool, scritta);
    QFETCH(QString, articolo);
    QFETCH(QString, dopo);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N");
    m_msg->rispondi(1);
    QString c = codice;
    QCOMPARE(m_form->AggDettArt(c, quantita, 12), scritta);
    QCOMPARE(c, articolo);
    QCOMPARE(righe(), dopo);
    QCOMPARE(m_msg->testi(), scritta ? QStringList() : QStringList{Inesistente.arg(codice)});
}

void TstCaricoFile::decArtDaCodBar_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<bool>("perBarcode");
    QTest::addColumn<bool>("trovato");
    QTest::addColumn<QString>("articolo");
    QTest::newRow("barcode") << "8001002" << true << true << "ART002";
    QTest::newRow("un barcode non è un codice") << "8001002" << false << false << "8001002";
    QTest::newRow("il barcode che è il codice di un altro") << "ART002" << true << true << "ART003";
    QTest::newRow("codice senza riguardo alle maiuscole") << "art002" << false << true << "ART002";
    QTest::newRow("nessuno") << "ZZZ" << true << false << "ZZZ";
}

// One search of the current set, by barcode or by article code.
void TstCaricoFile::decArtDaCodBar() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, codice);
    QFETCH(bool, perBarcode);
    QFETCH(bool, trovato);
    QFETCH(QString, articolo);
    PREPARA("FissoSep=S\nSeparatore=;\nCodInizio=1\nQtaInizio=2\nCancFile=N");
    QString c = codice;
    QCOMPARE(m_form->DecArtDaCodBar(c, perBarcode), trovato);
    QCOMPARE(c, articolo);
    QCOMPARE(m_msg->testi(), QStringList());
}

QTEST_MAIN(TstCaricoFile)
#include "tst_caricofile.moc"
