// The two dialogs of the counts load: the parameter-set choice over real
// parameter files, and the warehouse request with the real lookup component
// over an SQLite file and over PostgreSQL (skipped when the test service has
// not exported QUARVEL_PG_*), driven with real keys and clicks.

#include "aiuto/CampiAiuto.h"
#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "desktop/ServiziSistema.h"
#include "inventory/FrmRicMagTrasf.h"
#include "inventory/FrmSelIniCarFile.h"
#include "lookup/ComponenteAiutoQt.h"
#include "lookup/FinestraAiuto.h"
#include "suite/ComponenteAiuto.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "support/MenuValori.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace quarvel;
using namespace prova;

namespace {

// The form that opened the set dialog: counts its call-backs.
class Dettaglio final : public QWidget {
    Q_OBJECT
public:
    int chiamate = 0;
    Q_INVOKABLE void DopoSceIniLetFile() { ++chiamate; }
};

void ScriviFile(const QString& nome, const QByteArray& testo) {
    QFile f(nome);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(testo);
}

// Runs passi once the modal dialog is on screen; closes it if still open.
void MentreAperta(QWidget* w, std::function<void()> passi) {
    QTimer::singleShot(0, w, [w, passi] {
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 5000);
            passi();
        }();
        if (w->isVisible())
            w->hide();
    });
}

} // namespace

class TstDialoghiInv : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe({Motore::Sqlite, Motore::Postgres}); }
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void setDaiDueFile();
    void moltiSet();
    void nessunSet();
    void sceltaEAnnullo_data();
    void sceltaEAnnullo();
    void prefisso();

    void magazzinoProposto();
    void pulsanteAnnulla_data();
    void pulsanteAnnulla();
    void magazzinoNonValido();
    void annullaRichiesta();
    void invioSuiPulsanti_data();
    void invioSuiPulsanti();
    void sceltaMagazzino_data();
    void sceltaMagazzino();

private:
    QString file(const char* nome) const { return m_dir.filePath(QString::fromLatin1(nome)); }

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_dialoghiinv")};
    QSet<QString> m_riempiti;
    MenuValori m_menu;
    std::unique_ptr<MessaggiScriptati> m_msg;
    std::unique_ptr<lookup::ComponenteAiutoQt> m_aiuto;
};

void TstDialoghiInv::initTestCase() {
    QVERIFY(m_dir.isValid());
    InstallaUtilita();
    dati::Registra();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstDialoghiInv::init() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString nome = QString::fromLatin1(NomeMotore(motore));
    QSqlDatabase db = QSqlDatabase::contains(nome)
                          ? QSqlDatabase::database(nome)
                          : ConnessioneProva(motore, nome, file("ditta.db"), m_pg);
    QVERIFY2(db.isOpen() || db.open(), qPrintable(db.lastError().text()));
    if (!m_riempiti.contains(nome)) {
        dati::CreaDitta(db, true);
        QSqlQuery q(db);
        QVERIFY(q.exec("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                       "('M01', 'Sede'), ('M02', 'Deposito Nord')"));
        m_riempiti.insert(nome);
    }
    m_menu.valori = {{QStringLiteral("Mag.MagPrincipale"), QStringLiteral("M01")}};
    m_aiuto = std::make_unique<lookup::ComponenteAiutoQt>();
    QWidget* p = nullptr;
    QObject* o = nullptr;
    m_aiuto->InizializzaAiuto(p, &m_menu, o, nullptr, QString(), db, 0x80000005, 0xFF,
                              QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
    AzzeraSessione();
    ContestoSessione& s = Sessione();
    s.MenuClient = &m_menu;
    s.ComponenteAiuto = m_aiuto.get();
    s.DbDitta = db;
    s.ColoreConFocus = 0xFFFF80;
    s.ColoreSenzaFocus = 0x80000005;
    s.ColoreErrore = 0xFF;
    s.DecodHelpAbil = QStringLiteral("N");
    s.FileIniPrincipale = file("belcor.ini");
    s.FileIniParametri = file("parametri.ini");
    ScriviFile(s.FileIniPrincipale, "");
    ScriviFile(s.FileIniParametri, "");
    m_msg = std::make_unique<MessaggiScriptati>();
}

void TstDialoghiInv::cleanup() {
    m_msg.reset();
    AzzeraSessione();
    m_aiuto.reset();
}

void TstDialoghiInv::cleanupTestCase() {
    m_pg.Elimina();
}

// ---- parameter sets -------------------------------------------------------------------

// A set in both files is listed once, from the main file; a set without
// "Descr" shows its section name; other sections are left out; the current
// set is preselected whatever its letter case.
void TstDialoghiInv::setDaiDueFile() {
    PROVA_SOLO_PRIMO_MOTORE();
    ScriviFile(Sessione().FileIniPrincipale,
               "[Generale]\nA=1\n[LettArtDafile]\nDescr=Terminale magazzino\nCodInizio=1\n"
               "[LettArtDafile1]\nDescr=Dal file principale\n");
    ScriviFile(Sessione().FileIniParametri,
               "[LettArtDafile1]\nDescr=Dal secondo file\n[LettArtDafile2]\nCodInizio=3\n"
               "[LettMatrDafile]\nDescr=Matricole\n");
    FrmSelIniCarFile d;
    d.osLettArtDafile = QStringLiteral("lettartdafile2");
    QVERIFY(d.mostra());
    QCOMPARE(d.sezioni(), QStringList({"LettArtDafile", "LettArtDafile1", "LettArtDafile2"}));
    QStringList voci;
    for (int i = 0; i < d.LisParamIni()->count(); ++i)
        voci << d.LisParamIni()->item(i)->text();
    QCOMPARE(voci, QStringList({"Terminale magazzino", "Dal file principale", "LettArtDafile2"}));
    QCOMPARE(d.LisParamIni()->currentRow(), 2);
    QCOMPARE(d.windowTitle().left(43), QString("Selezione parametri per caricamento da file"));
    // listed again: the same entries, not twice as many
    QVERIFY(d.mostra());
    QCOMPARE(d.LisParamIni()->count(), 3);
}

// More section names than the first buffer holds are all read.
void TstDialoghiInv::moltiSet() {
    PROVA_SOLO_PRIMO_MOTORE();
    QByteArray testo;
    for (int i = 0; i < 150; ++i)
        testo += QStringLiteral("[LettArtDafile_%1_terminale_di_reparto]\nCodInizio=1\n")
                     .arg(i, 3, 10, QLatin1Char('0'))
                     .toUtf8();
    ScriviFile(Sessione().FileIniPrincipale, testo);
    FrmSelIniCarFile d;
    QVERIFY(d.mostra());
    QCOMPARE(d.LisParamIni()->count(), 150);
    QCOMPARE(d.sezioni().last(), QString("LettArtDafile_149_terminale_di_reparto"));
    QCOMPARE(d.LisParamIni()->currentRow(), -1);
}

void TstDialoghiInv::nessunSet() {
    PROVA_SOLO_PRIMO_MOTORE();
    ScriviFile(Sessione().FileIniPrincipale, "[Generale]\nA=1\n");
    FrmSelIniCarFile d;
    QVERIFY(!d.mostra());
    QCOMPARE(d.LisParamIni()->count(), 0);
}

void TstDialoghiInv::sceltaEAnnullo_data() {
    QTest::addColumn<QString>("come");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("scelto");
    QTest::newRow("Ok") << "ok" << true << "LettArtDafile1";
    QTest::newRow("doppio clic") << "doppio" << true << "LettArtDafile1";
    QTest::newRow("Invio") << "invio" << true << "LettArtDafile1";
    QTest::newRow("Annulla") << "annulla" << false << "LettArtDafile";
    QTest::newRow("finestra chiusa") << "chiudi" << false << "LettArtDafile";
}

// Confirming makes the picked set the chosen one; cancelling keeps the
// current set; each way calls the opener back once.
void TstDialoghiInv::sceltaEAnnullo() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, come);
    QFETCH(bool, ok);
    QFETCH(QString, scelto);
    ScriviFile(Sessione().FileIniPrincipale,
               "[LettArtDafile]\nDescr=Primo\n[LettArtDafile1]\nDescr=Secondo\n");
    Dettaglio dett;
    FrmSelIniCarFile d;
    d.osLettArtDafile = QStringLiteral("LettArtDafile");
    d.ofrmDett = &dett;
    QVERIFY(d.mostra());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QListWidget* l = d.LisParamIni();
    l->setFocus();
    QTest::keyClick(l, Qt::Key_Down);
    QCOMPARE(l->currentRow(), 1);
    if (come == "ok")
        QTest::mouseClick(d.comOk(), Qt::LeftButton);
    else if (come == "doppio") {
        const QRect r = l->visualItemRect(l->item(1));
        QTest::mousePress(l->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseRelease(l->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, r.center());
    } else if (come == "invio") {
        QTest::keyClick(d.comOk(), Qt::Key_Space);
    } else if (come == "annulla")
        QTest::mouseClick(d.ComAnnulla(), Qt::LeftButton);
    else
        d.close();
    QTRY_VERIFY(!d.isVisible());
    QCOMPARE(d.obOk, ok);
    QCOMPARE(d.osLettArtDafile, scelto);
    QCOMPARE(dett.chiamate, 1);
}

void TstDialoghiInv::prefisso() {
    PROVA_SOLO_PRIMO_MOTORE();
    ScriviFile(Sessione().FileIniPrincipale,
               "[LettArtDafile]\nDescr=Articoli\n[LettMatrDafile]\nDescr=Matricole\n");
    FrmSelIniCarFile d;
    QCOMPARE(d.prefisso(), QString("LettArtDafile"));
    d.setOsDaChi(QStringLiteral("Mat"));
    QVERIFY(d.mostra());
    QCOMPARE(d.sezioni(), QStringList({"LettMatrDafile"}));
    d.setOsDaChi(QStringLiteral("Bar"));
    QVERIFY(d.mostra());
    QCOMPARE(d.sezioni(), QStringList({"LettArtDafile"}));
}

// ---- warehouse request ---------------------------------------------------------------

// Without a warehouse given, the default one is proposed with its
// description at once; the caller's question and help topic are taken.
void TstDialoghiInv::magazzinoProposto() {
    FrmRicMagTrasf r;
    QCOMPARE(r.LabRichiesta()->text(), QString("Richiesta Magazzino per trasformazione"));
    r.osDescriz = QStringLiteral("Magazzino caricamento gestione inventario");
    r.osMostraAnnulla = QStringLiteral("S");
    MentreAperta(&r, [&] {
        QCOMPARE(r.txtMagazzino()->text(), QString("M01"));
        QCOMPARE(r.labMagazzino()->text(), QString("Sede"));
        QCOMPARE(r.LabRichiesta()->text(), QString("Magazzino caricamento gestione inventario"));
        QCOMPARE(r.HelpContextID(), 22104);
        QTRY_VERIFY(r.txtMagazzino()->hasFocus());
        QTest::mouseClick(r.comOk(), Qt::LeftButton);
    });
    MostraModale(&r);
    QVERIFY(r.obOk);
    QCOMPARE(r.osMagazScelto, QString("M01"));
    QVERIFY(m_msg->testi().isEmpty());
}

void TstDialoghiInv::pulsanteAnnulla_data() {
    QTest::addColumn<QString>("valore");
    QTest::addColumn<bool>("visibile");
    QTest::newRow("S") << "S" << true;
    QTest::newRow("s") << "s" << false;
    QTest::newRow("vuoto") << "" << false;
    QTest::newRow("N") << "N" << false;
}

void TstDialoghiInv::pulsanteAnnulla() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, valore);
    QFETCH(bool, visibile);
    FrmRicMagTrasf r;
    r.osMostraAnnulla = valore;
    r.osMagazBase = QStringLiteral("M02");
    bool visto = false;
    MentreAperta(&r, [&] {
        visto = r.ComAnnulla()->isVisible();
        QCOMPARE(r.txtMagazzino()->text(), QString("M02"));
        QCOMPARE(r.labMagazzino()->text(), QString("Deposito Nord"));
        QCOMPARE(r.HelpContextID(), 21605);
        QTest::mouseClick(r.comOk(), Qt::LeftButton);
    });
    MostraModale(&r);
    QCOMPARE(visto, visibile);
    QCOMPARE(r.osMagazScelto, QString("M02"));
}

// An unknown or empty warehouse keeps the request open with its message;
// a good one typed then is taken.
void TstDialoghiInv::magazzinoNonValido() {
    FrmRicMagTrasf r;
    r.osMostraAnnulla = QStringLiteral("S");
    QStringList dopo;
    MentreAperta(&r, [&] {
        QLineEdit* t = r.txtMagazzino();
        QTRY_VERIFY(t->hasFocus());
        QTRY_COMPARE(t->selectedText(), QString("M01"));
        QTest::keyClicks(t, "M99");
        m_msg->rispondi(1);
        QTest::mouseClick(r.comOk(), Qt::LeftButton);
        QVERIFY(r.isVisible());
        QCOMPARE(m_msg->testi(), QStringList({"Magazzino non valido"}));
        QCOMPARE(r.labMagazzino()->text(), TestoInesistente);
        QTRY_VERIFY(t->hasFocus());
        t->selectAll();
        QTest::keyClick(t, Qt::Key_Delete);
        m_msg->rispondi(1);
        QTest::mouseClick(r.comOk(), Qt::LeftButton);
        QVERIFY(r.isVisible());
        QCOMPARE(m_msg->testi().size(), 2);
        QTest::keyClicks(t, "M02");
        QTest::mouseClick(r.comOk(), Qt::LeftButton);
        dopo = m_msg->testi();
    });
    MostraModale(&r);
    QCOMPARE(dopo.size(), 2);
    QVERIFY(r.obOk);
    QCOMPARE(r.osMagazScelto, QString("M02"));
}

void TstDialoghiInv::annullaRichiesta() {
    PROVA_SOLO_PRIMO_MOTORE();
    FrmRicMagTrasf r;
    r.osMostraAnnulla = QStringLiteral("S");
    MentreAperta(&r, [&] { QTest::mouseClick(r.ComAnnulla(), Qt::LeftButton); });
    MostraModale(&r);
    QVERIFY(!r.obOk);
    QVERIFY(r.osMagazScelto.isEmpty());
}

void TstDialoghiInv::invioSuiPulsanti_data() {
    QTest::addColumn<QString>("mostraAnnulla");
    QTest::addColumn<int>("tab"); // Tab presses after the first Enter
    QTest::addColumn<bool>("ok");
    QTest::newRow("Invio, Invio") << "S" << 0 << true;
    QTest::newRow("Invio, Invio, senza Annulla") << "" << 0 << true;
    QTest::newRow("Invio, Tab, Invio: Annulla") << "S" << 1 << false;
}

// Enter in the warehouse box goes to "Ok"; Enter on a button presses it.
void TstDialoghiInv::invioSuiPulsanti() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, mostraAnnulla);
    QFETCH(int, tab);
    QFETCH(bool, ok);
    FrmRicMagTrasf r;
    r.osMostraAnnulla = mostraAnnulla;
    r.osMagazBase = QStringLiteral("M02");
    QWidget* dopoInvio = nullptr;
    MentreAperta(&r, [&] {
        QLineEdit* t = r.txtMagazzino();
        QTRY_VERIFY(t->hasFocus());
        QTest::keyClick(t, Qt::Key_Return);
        dopoInvio = QApplication::focusWidget();
        for (int i = 0; i < tab; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!r.isVisible());
    });
    MostraModale(&r);
    QCOMPARE(dopoInvio, r.comOk());
    QCOMPARE(r.obOk, ok);
    QCOMPARE(r.osMagazScelto, ok ? QString("M02") : QString());
    QVERIFY(m_msg->testi().isEmpty());
}

void TstDialoghiInv::sceltaMagazzino_data() {
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QString>("cerca"); // typed in the lookup window
    QTest::newRow("F2") << int(Qt::Key_F2) << "M02";
    QTest::newRow("F3 per descrizione") << int(Qt::Key_F3) << "Deposito";
    QTest::newRow("F4") << int(Qt::Key_F4) << "M02";
    QTest::newRow("F5") << int(Qt::Key_F5) << "M02";
}

// A warehouse picked with F2 to F5 over an unknown code is the warehouse
// confirmed with Enter, Enter.
void TstDialoghiInv::sceltaMagazzino() {
    QFETCH(int, tasto);
    QFETCH(QString, cerca);
    FrmRicMagTrasf r;
    r.osMostraAnnulla = QStringLiteral("S");
    QString codice, descrizione;
    MentreAperta(&r, [&] {
        QLineEdit* t = r.txtMagazzino();
        QTRY_VERIFY(t->hasFocus());
        QTRY_COMPARE(t->selectedText(), QString("M01"));
        QTest::keyClicks(t, "M9");
        QTimer::singleShot(0, this, [this, cerca] {
            lookup::FinestraAiuto* f = m_aiuto->finestra();
            QTRY_VERIFY_WITH_TIMEOUT(f->isVisible(), 5000);
            f->ricerca()->selectAll();
            QTest::keyClicks(f->ricerca(), cerca);
            QTest::qWait(300);
            QTest::keyClick(f->ricerca(), Qt::Key_Return);
            if (f->isVisible())
                QTest::keyClick(f->ricerca(), Qt::Key_Escape);
        });
        QTest::keyClick(t, Qt::Key(tasto));
        codice = t->text();
        descrizione = r.labMagazzino()->text();
        // the request comes back once the lookup window has gone
        QTimer::singleShot(0, &r, [&r] {
            [&] {
                QTRY_VERIFY_WITH_TIMEOUT(r.isVisible(), 5000);
                r.activateWindow();
                QTRY_VERIFY(r.txtMagazzino()->hasFocus());
                QTest::keyClick(r.txtMagazzino(), Qt::Key_Return);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                QTRY_VERIFY(!r.isVisible());
            }();
            if (r.isVisible())
                r.hide();
        });
    });
    MostraModale(&r);
    QCOMPARE(codice, QString("M02"));
    QCOMPARE(descrizione, QString("Deposito Nord"));
    QVERIFY2(m_msg->testi().isEmpty(), qPrintable(m_msg->testi().join('|')));
    QVERIFY(r.obOk);
    QCOMPARE(r.osMagazScelto, QString("M02"));
}

QTEST_MAIN(TstDialoghiInv)
#include "tst_dialoghiinv.moc"
