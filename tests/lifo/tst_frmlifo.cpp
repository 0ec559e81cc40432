// The LIFO layers form driven with real key and mouse events over an SQLite
// file and over PostgreSQL (skipped when the test service has not exported
// QUARVEL_PG_*), with the real grid, list-command object, data component and
// lookup component.

#include "../inventory/DittaForm.h"
#include "../listform/Ambiente.h"
#include "aiuto/Livelli.h"
#include "desktop/DialogoMessaggi.h"
#include "desktop/FrmMsgCom.h"
#include "desktop/Scala.h"
#include "lifo/FrmLiFo.h"
#include "listform/Tastiera.h"
#include "lookup/ComponenteAiutoQt.h"
#include "lookup/FinestraAiuto.h"
#include "startup/Principale.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ComponenteDati.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "support/MenuValori.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
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

namespace {

// Articles: A0 without levels, A1 with one group (sizes), A2 with two
// (sizes and colours); their layers, one of A0 with no quantity but a value.
void RiempiLifo(QSqlDatabase& db) {
    dati::CreaDitta(db, true);
    Esegui(db, QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, LivGruppo1, "
                              "LivGruppo2, Inattivo, FlagLivLis) VALUES "
                              "('A0', 'Bulloni', NULL, NULL, 'N', 'N'), "
                              "('A1', 'Camicia', 'TG', NULL, 'N', 'N'), "
                              "('A2', 'Maglia', 'TG', 'CL', 'N', 'S')"));
    Esegui(db, QStringLiteral("INSERT INTO LivGruppi (LivGruppo, Descrizione) VALUES "
                              "('TG', 'Taglia'), ('CL', 'Colore')"));
    Esegui(db, QStringLiteral("INSERT INTO Livelli (LivGruppo, Livello, Descrizione) VALUES "
                              "('TG', 'S', 'Piccola'), ('TG', 'M', 'Media'), "
                              "('CL', 'ROSSO', 'Rosso'), ('CL', 'BLU', 'Blu')"));
    Esegui(db, QStringLiteral(
                   "INSERT INTO ArtLiFo (Anno, Articolo, Livello1, Livello2, Giacenza, "
                   "ValGiacenza, ValMedioUnitario, ValGiacenzaLire, ValMedioUnitarioLire) VALUES "
                   "(2000, 'A0', '~ç~', '~ç~', 10, 51.65, 5.16, 100000, 10000), "
                   "(2001, 'A0', '~ç~', '~ç~', 0, 12, 0, 23235, 0), "
                   "(2023, 'A1', 'M', '~ç~', 5, 100, 20, 193627, 38725), "
                   "(2023, 'A1', 'S', '~ç~', 7, 70, 10, 135539, 19363), "
                   "(2024, 'A2', 'M', 'ROSSO', 3, 30, 10, 58088, 19363), "
                   "(2024, 'A2', 'M', 'BLU', 4, 40, 10, 77451, 19363)"));
}

} // namespace

class TstFrmLiFo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void caricamento();
    void messaggiTestata_data();
    void messaggiTestata();
    void livelli_data();
    void livelli();
    void ricercaArticolo();
    void ricercaLivello_data();
    void ricercaLivello();
    void valoriUnitariSenzaGiacenza();
    void altraValuta_data();
    void altraValuta();
    void annoObbligatorio_data();
    void annoObbligatorio();
    void nuovoSenzaAnno();
    void nuovoStrato();
    void tastoCanc();
    void tastoCancInvio();
    void tornaAllArticolo();

private:
    void prepara();
    QAbstractItemView* vista() const {
        return qobject_cast<QAbstractItemView*>(m_form->dbgRiga()->widget());
    }
    void clicPulsante(const QString& chiave);
    // Types the article and its levels in the header with the keyboard and
    // presses "G&estione".
    void apri(const QString& articolo, const QString& livello1 = {}, const QString& livello2 = {});
    QVariant valore(const QString& sql) { return Valore(m_db, sql); }

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_frmlifo")};
    int m_serie = 0;
    DittaForm m_ditta;
    QSqlDatabase& m_db = m_ditta.db;
    MenuValori m_menu;
    std::unique_ptr<lookup::ComponenteAiutoQt>& m_aiuto = m_ditta.aiuto;
    std::unique_ptr<MessaggiScriptati>& m_msg = m_ditta.msg;
    QWidget m_stampa; // where the list's print dialog would be
    QPointer<FrmLiFo> m_form;
};

void TstFrmLiFo::initTestCase() {
    QVERIFY(m_dir.isValid());
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaComponenti();
    ImpostaLettoreFattore([](const QString&, const QString&) { return -1.0; });
    CaricaFrmPrincipale();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstFrmLiFo::prepara() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString nome = QStringLiteral("lifo%1").arg(++m_serie);
    m_db = ConnessioneDitta(motore, nome, m_dir, m_pg);
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    RiempiLifo(m_db);

    m_menu.valori.clear();
    m_menu.valori[QStringLiteral("Mag.GesTaglie")] = QStringLiteral("S");
    m_ditta.Collega(motore, m_dir.filePath(nome + QStringLiteral(".db")), m_pg, &m_menu);
    ContestoSessione& s = Sessione();
    s.CambioLiraEuro = QStringLiteral("1936,27");
    s.OperCambio = QStringLiteral("/");
    s.DecimaliEuro = 2;
    s.DecimaliLira = 0;
    AzzeraNoDecInattivi();

    m_form = CreaFrmLiFo();
    m_form->osKeySec = QStringLiteral("K1");
    // as the dispatcher does: the list knows a print dialog before the load
    m_form->ogComlin()->setOfrmComlinSTampa(&m_stampa);
    QString a, b;
    m_form->TabellaStd(a, b);
    m_form->Avvia();
    QCOMPARE(m_form->oiLoadOk(), qint16(1));
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->activateWindow();
    QTRY_VERIFY(m_form->isActiveWindow());
    QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txt(10)));
}

void TstFrmLiFo::cleanup() {
    m_ditta.Chiudi(m_form);
}

void TstFrmLiFo::cleanupTestCase() {
    AzzeraSessione();
    m_pg.Elimina();
}

void TstFrmLiFo::clicPulsante(const QString& chiave) {
    QAction* a = m_form->ogComlin()->Pulsante(chiave);
    QVERIFY2(a, qPrintable(chiave));
    QWidget* w = m_form->tolComlin()->widgetForAction(a);
    QVERIFY2(w && w->isVisible() && w->isEnabled(), qPrintable(chiave));
    QTest::mouseClick(w, Qt::LeftButton);
}

void TstFrmLiFo::apri(const QString& articolo, const QString& livello1, const QString& livello2) {
    m_form->txt(10)->setFocus();
    QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txt(10)));
    Scrivi(articolo);
    Premi(Qt::Key_Tab);
    if (m_form->txtAppo(20)->isVisible()) {
        QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txtAppo(20)));
        Scrivi(livello1);
        Premi(Qt::Key_Tab);
    }
    if (m_form->txtAppo(30)->isVisible()) {
        QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txtAppo(30)));
        Scrivi(livello2);
        Premi(Qt::Key_Tab);
    }
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
}

// ---- cases -----------------------------------------------------------------------------

void TstFrmLiFo::caricamento() {
    PREPARA();
    QCOMPARE(m_form->windowTitle(), QString("Gestione LIFO Articoli - Ditta Prova"));
    QCOMPARE(m_form->HelpContextID(), 22100);
    QCOMPARE(m_form->oiNumKey(), qint16(4));
    QCOMPARE(m_form->osSql(), QString("SELECT Anno,Articolo,Livello1,Livello2,Giacenza"
                                      ",IIF(Giacenza=0,0,ValGiacenza / Giacenza) AS PrezzoEuro"
                                      ",ValGiacenza,ValMedioUnitario"
                                      ",IIF(Giacenza=0,0,ValGiacenzaLire / Giacenza) AS Prezzo"
                                      ",ValGiacenzaLire ,ValMedioUnitarioLire"
                                      " FROM ArtLiFo WHERE 1=2"));
    QCOMPARE(m_form->mbModoArticolo(), qint16(-1));
    QCOMPARE(m_form->msFormatoEuro(), QString("#,##0.00"));
    QCOMPARE(m_form->msFormatoLire(), QString("#,##0"));
    QCOMPARE(m_form->msAutomLiraEuro(), QString("S"));

    // the header: the article box and its caption, no level yet
    QCOMPARE(m_form->Label1(10)->text(), QString("Codice articolo:"));
    QCOMPARE(m_form->ComGes()->text(), QString("G&estione"));
    QVERIFY(m_form->txt(10)->isVisible() && m_form->txt(10)->isEnabled());
    for (int i : {20, 30}) {
        QVERIFY(!m_form->txt(i)->isVisible());
        QVERIFY(!m_form->txtAppo(i)->isVisible());
    }
    QVERIFY(m_form->findChild<QFrame*>("PictTesta"));
    QVERIFY(m_form->findChild<QLineEdit*>("txtAppo(20)"));
    QVERIFY(m_form->findChild<QPushButton*>("comHlp(30)"));
    // grid and toolbar wait for an article; the list is empty; no print
    QVERIFY(!m_form->dbgRiga()->widget()->isEnabled());
    QVERIFY(!m_form->tolComlin()->isEnabled());
    QCOMPARE(m_form->dbgRiga()->Dati()->RecordCount(), 0);
    QVERIFY(!m_form->ogComlin()->Pulsante(QStringLiteral("Stampa"))->isVisible());

    // the columns as designed
    struct Atteso {
        const char* campo;
        const char* titolo;
        int larghezza;
        const char* maschera;
        bool bloccata;
    };
    const Atteso attesi[] = {
        {"Anno", "Anno", 700, "", false},
        {"Giacenza", "Giacenza", 1200, "", false},
        {"PrezzoEuro", "Val.Unit.Euro", 1200, "#,##0.00", true},
        {"ValGiacenza", "Val.Tot.Euro", 1400, "#,##0.00", false},
        {"ValMedioUnitario", "Costo Med.Euro", 1400, "#,##0.00", false},
        {"Prezzo", "Val.Unit.Lire", 1200, "#,##0", true},
        {"ValGiacenzaLire", "Val.Tot.Lire", 1400, "#,##0", false},
        {"ValMedioUnitarioLire", "Costo Med.Lire", 1200, "#,##0", false},
    };
    IGrigliaDati* g = m_form->dbgRiga();
    for (const Atteso& a : attesi) {
        IColonnaGriglia* c = g->Colonna(QString::fromLatin1(a.campo));
        QVERIFY2(c, a.campo);
        QCOMPARE(c->Caption(), QString::fromLatin1(a.titolo));
        QCOMPARE(c->Width(), a.larghezza);
        if (*a.maschera)
            QCOMPARE(c->NumberFormat(), QString::fromLatin1(a.maschera));
        QCOMPARE(c->Locked(), a.bloccata);
        QVERIFY2(c->Visible(), a.campo);
    }
    for (const char* n : {"Articolo", "Livello1", "Livello2"})
        QVERIFY2(!g->Colonna(QString::fromLatin1(n))->Visible(), n);
    // the grid below the header
    QTRY_VERIFY(g->widget()->y() >= m_form->PictTesta()->geometry().bottom());
}

void TstFrmLiFo::messaggiTestata_data() {
    QTest::addColumn<QString>("articolo");
    QTest::addColumn<QString>("livello1");
    QTest::addColumn<QString>("livello2");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("nessun articolo") << ""
                                     << ""
                                     << ""
                                     << "Inserire prima l'articolo";
    QTest::newRow("solo spazi") << "   "
                                << ""
                                << ""
                                << "Inserire prima l'articolo";
    QTest::newRow("articolo inesistente") << "ZZ9"
                                          << ""
                                          << ""
                                          << "Inserire un articolo valido";
    QTest::newRow("livello vuoto") << "A1"
                                   << ""
                                   << ""
                                   << "E' obbligatorio inserire un livello valido";
    QTest::newRow("livello inesistente") << "A1"
                                         << "XX"
                                         << ""
                                         << "E' obbligatorio inserire un livello valido";
    QTest::newRow("secondo livello inesistente") << "A2"
                                                 << "M"
                                                 << "VERDE"
                                                 << "E' obbligatorio inserire un livello valido";
}

void TstFrmLiFo::messaggiTestata() {
    QFETCH(QString, articolo);
    QFETCH(QString, livello1);
    QFETCH(QString, livello2);
    QFETCH(QString, messaggio);
    PREPARA();
    m_msg->rispondi(1);
    apri(articolo, livello1, livello2);
    QCOMPARE(m_msg->testi(), QStringList({messaggio}));
    QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Ok"}));
    QCOMPARE(m_msg->mostrati().front().titolo, m_form->windowTitle());
    // the header stays; the grid stays closed
    QCOMPARE(m_form->mbModoArticolo(), qint16(-1));
    QCOMPARE(m_form->ComGes()->text(), QString("G&estione"));
    QVERIFY(!m_form->dbgRiga()->widget()->isEnabled());
    QVERIFY(m_form->txt(10)->isEnabled());
}

void TstFrmLiFo::livelli_data() {
    QTest::addColumn<QString>("articolo");
    QTest::addColumn<QString>("livello1");
    QTest::addColumn<QString>("livello2");
    QTest::addColumn<bool>("primo");
    QTest::addColumn<bool>("secondo");
    QTest::addColumn<QString>("didascalia1");
    QTest::addColumn<QString>("valore1");
    QTest::addColumn<QString>("valore2");
    QTest::addColumn<QStringList>("anni"); // the layers listed
    QTest::newRow("senza livelli") << "A0"
                                   << ""
                                   << "" << false << false << "Livello 1:"
                                   << "~ç~"
                                   << "~ç~" << QStringList{"2000", "2001"};
    QTest::newRow("un livello") << "A1"
                                << " M"
                                << "" << true << false << "Taglia:"
                                << "M"
                                << "~ç~" << QStringList{"2023"};
    QTest::newRow("due livelli") << "A2"
                                 << "M"
                                 << "BLU" << true << true << "Taglia:"
                                 << "M"
                                 << "BLU" << QStringList{"2024"};
}

void TstFrmLiFo::livelli() {
    QFETCH(QString, articolo);
    QFETCH(QString, livello1);
    QFETCH(QString, livello2);
    QFETCH(bool, primo);
    QFETCH(bool, secondo);
    QFETCH(QString, didascalia1);
    QFETCH(QString, valore1);
    QFETCH(QString, valore2);
    QFETCH(QStringList, anni);
    PREPARA();
    apri(articolo, livello1, livello2);
    QCOMPARE(m_msg->testi(), QStringList());
    QCOMPARE(m_form->txtAppo(20)->isVisible(), primo);
    QCOMPARE(m_form->comHlp(20)->isVisible(), primo);
    QCOMPARE(m_form->txtAppo(30)->isVisible(), secondo);
    QCOMPARE(m_form->Label1(30)->isVisible(), secondo);
    QCOMPARE(m_form->Label1(20)->text(), didascalia1);
    QCOMPARE(m_form->txt(20)->text(), valore1);
    QCOMPARE(m_form->txt(30)->text(), valore2);
    QCOMPARE(
        m_form->Lab(10)->text(),
        valore("SELECT Descrizione FROM Articoli WHERE Articolo = '" + articolo + "'").toString());

    // the layers of that article and level combination only
    QCOMPARE(m_form->mbModoArticolo(), qint16(0));
    QCOMPARE(m_form->ComGes()->text(), QString("&Torna a        Articolo"));
    QVERIFY(m_form->dbgRiga()->widget()->isEnabled());
    QVERIFY(m_form->tolComlin()->isEnabled());
    QVERIFY(!m_form->ogComlin()->Pulsante(QStringLiteral("Stampa"))->isVisible());
    QVERIFY(!m_form->txt(10)->isEnabled());
    // a row being typed refreshes the toolbar: still no print
    ClicCella(vista(), 0, 1);
    Scrivi(QStringLiteral("7"));
    QVERIFY(m_form->ogComlin()->Pulsante(QStringLiteral("Salva"))->isEnabled());
    QVERIFY(!m_form->ogComlin()->Pulsante(QStringLiteral("Stampa"))->isVisible());
    Premi(Qt::Key_Escape);
    Premi(Qt::Key_Escape);
    QCOMPARE(Fuoco(), m_form->dbgRiga()->widget());
    QString sql = m_form->osSql();
    QCOMPARE(sql.contains("Livello1 ="), valore1 != "~ç~");
    QCOMPARE(sql.contains("Livello2 ="), valore2 != "~ç~");
    QVERIFY(sql.endsWith(" Order by Anno"));
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Dati()->RecordCount(), qint64(anni.size()));
    QStringList letti;
    for (int r = 0; r < anni.size(); ++r) {
        g->setRow(r);
        letti << g->Colonna(QStringLiteral("Anno"))->Text();
    }
    QCOMPARE(letti, anni);
    QCOMPARE(m_form->txtRiga()->text().section(" / ", 1), QString::number(anni.size()));
}

// F2 on a partly typed article with the lookup offered for unknown codes:
// one list, the pick, the levels of the picked article.  The list taking the
// focus is not the operator leaving the box: no decoding of the partial code
// (and no second list) behind it.
void TstFrmLiFo::ricercaArticolo() {
    PREPARA();
    Sessione().DecodHelpAbil = QStringLiteral("C");
    Scrivi(QStringLiteral("A"));
    int aperture = 0;
    bool inCorso = false;
    QPointer<QWidget> ultima;
    QTimer sorveglia;
    sorveglia.setInterval(10);
    connect(&sorveglia, &QTimer::timeout, this, [&] {
        lookup::FinestraAiuto* f = m_aiuto->finestra();
        if (inCorso || !f->isVisible()) {
            if (!f->isVisible())
                ultima = nullptr;
            return;
        }
        if (ultima == f)
            return;
        ultima = f;
        inCorso = true;
        ++aperture;
        if (aperture == 1) {
            QTest::keyClick(f->ricerca(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(f->ricerca(), QStringLiteral("A2"));
            QTest::keyClick(f->ricerca(), Qt::Key_Return);
        }
        if (f->isVisible())
            QTest::keyClick(f->ricerca(), Qt::Key_Escape);
        inCorso = false;
    });
    sorveglia.start();
    Premi(Qt::Key_F2);
    QTest::qWait(200);
    sorveglia.stop();
    QCOMPARE(aperture, 1);
    QCOMPARE(m_form->txt(10)->text(), QString("A2"));
    QCOMPARE(m_form->Lab(10)->text(), QString("Maglia"));
    QVERIFY(m_form->txtAppo(20)->isVisible());
    QVERIFY(m_form->txtAppo(30)->isVisible());
    QCOMPARE(m_form->Label1(30)->text(), QString("Colore:"));
    QVERIFY(ColoreSfondo(m_form->txt(10)) != Sessione().ColoreErrore);
}

void TstFrmLiFo::ricercaLivello_data() {
    QTest::addColumn<int>("indice");     // 20 the size, 30 the colour
    QTest::addColumn<bool>("pulsante");  // the "..." button, or F2 in the box
    QTest::addColumn<int>("righe");      // levels of that group in the list
    QTest::addColumn<QString>("scelto"); // typed in the search box
    QTest::addColumn<QString>("descrizione");
    QTest::newRow("F2 sulla taglia") << 20 << false << 2 << "M"
                                     << "Media";
    QTest::newRow("pulsante del colore") << 30 << true << 2 << "BLU"
                                         << "Blu";
}

// The level lookup lists the levels of the article's group only; the pick
// goes to the typed box and to the stored value.
void TstFrmLiFo::ricercaLivello() {
    QFETCH(int, indice);
    QFETCH(bool, pulsante);
    QFETCH(int, righe);
    QFETCH(QString, scelto);
    QFETCH(QString, descrizione);
    PREPARA();
    Scrivi(QStringLiteral("A2"));
    Premi(Qt::Key_Tab);
    QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txtAppo(20)));
    if (indice == 30 && !pulsante)
        Premi(Qt::Key_Tab);
    int elencate = -1;
    bool aperta = false;
    QTimer sorveglia;
    sorveglia.setInterval(10);
    connect(&sorveglia, &QTimer::timeout, this, [&] {
        lookup::FinestraAiuto* f = m_aiuto->finestra();
        if (aperta || !f->isVisible())
            return;
        aperta = true;
        elencate = int(f->modello()->rowCount());
        QTest::keyClicks(f->ricerca(), scelto);
        QTest::keyClick(f->ricerca(), Qt::Key_Return);
        if (f->isVisible())
            QTest::keyClick(f->ricerca(), Qt::Key_Escape);
    });
    sorveglia.start();
    if (pulsante)
        QTest::mouseClick(m_form->comHlp(indice), Qt::LeftButton);
    else
        Premi(Qt::Key_F2);
    sorveglia.stop();
    QVERIFY(aperta);
    QCOMPARE(elencate, righe);
    QCOMPARE(m_form->txtAppo(indice)->text(), scelto);
    QCOMPARE(m_form->txt(indice)->text(), scelto);
    QCOMPARE(m_form->Lab(indice)->text(), descrizione);
    // as a window manager does when the list closes
    m_form->activateWindow();
    QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txtAppo(indice)));
    // the list window came and went: the box is not in error
    QCOMPARE(ColoreSfondo(m_form->txtAppo(indice)) == Sessione().ColoreErrore, false);
}

void TstFrmLiFo::valoriUnitariSenzaGiacenza() {
    PREPARA();
    apri(QStringLiteral("A0"));
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Dati()->RecordCount(), qint64(2));
    g->setRow(0); // 2000: 10 pieces
    QCOMPARE(g->Colonna(QStringLiteral("PrezzoEuro"))->Value().toDouble(), 5.165);
    QCOMPARE(g->Colonna(QStringLiteral("Prezzo"))->Value().toDouble(), 10000.0);
    QCOMPARE(g->Colonna(QStringLiteral("PrezzoEuro"))->Text(), QString("5,17"));
    QCOMPARE(g->Colonna(QStringLiteral("Prezzo"))->Text(), QString("10.000"));
    g->setRow(1); // 2001: no quantity, a value all the same
    QCOMPARE(g->Colonna(QStringLiteral("Giacenza"))->Value().toDouble(), 0.0);
    QCOMPARE(g->Colonna(QStringLiteral("PrezzoEuro"))->Value().toDouble(), 0.0);
    QCOMPARE(g->Colonna(QStringLiteral("Prezzo"))->Value().toDouble(), 0.0);
    QCOMPARE(g->Colonna(QStringLiteral("ValGiacenza"))->Text(), QString("12,00"));
    QCOMPARE(g->Colonna(QStringLiteral("ValGiacenzaLire"))->Text(), QString("23.235"));
}

void TstFrmLiFo::altraValuta_data() {
    QTest::addColumn<QString>("automatico"); // "" leaves the parameter missing
    QTest::addColumn<int>("riga");           // 0 the layer of 2000, 1 that of 2001
    QTest::addColumn<QString>("colonna");
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("mostrato");
    QTest::addColumn<QString>("altra");
    QTest::addColumn<double>("atteso");

    // 2000: every amount set; 2001: the euro unit cost 0
    QTest::newRow("lire, automatico per difetto") << "" << 0 << "ValGiacenzaLire"
                                                  << "1000000"
                                                  << "1.000.000"
                                                  << "ValGiacenza" << 516.46;
    QTest::newRow("lire, automatico S") << "S" << 0 << "ValGiacenzaLire"
                                        << "1000000"
                                        << "1.000.000"
                                        << "ValGiacenza" << 516.46;
    QTest::newRow("lire, N con euro già dato") << "N" << 0 << "ValGiacenzaLire"
                                               << "1000000"
                                               << "1.000.000"
                                               << "ValGiacenza" << 51.65;
    QTest::newRow("lire, N con euro a zero") << "N" << 1 << "ValMedioUnitarioLire"
                                             << "19363"
                                             << "19.363"
                                             << "ValMedioUnitario" << 10.0;
    QTest::newRow("euro in lire") << "S" << 0 << "ValGiacenza"
                                  << "100"
                                  << "100,00"
                                  << "ValGiacenzaLire" << 193627.0;
    QTest::newRow("euro con decimali") << "S" << 0 << "ValMedioUnitario"
                                       << "12,34"
                                       << "12,34"
                                       << "ValMedioUnitarioLire" << 23894.0;
    QTest::newRow("euro, N con lire già date") << "N" << 0 << "ValMedioUnitario"
                                               << "12,34"
                                               << "12,34"
                                               << "ValMedioUnitarioLire" << 10000.0;
}

void TstFrmLiFo::altraValuta() {
    QFETCH(QString, automatico);
    QFETCH(int, riga);
    QFETCH(QString, colonna);
    QFETCH(QString, digitato);
    QFETCH(QString, mostrato);
    QFETCH(QString, altra);
    QFETCH(double, atteso);
    prepara();
    if (!m_form)
        return;
    if (!automatico.isEmpty()) {
        // the form reads its parameter at load: a form of its own
        delete m_form.data();
        m_menu.valori[NomeParametroPersonale("Listini", "AutomLiraEuro")] = automatico;
        m_form = CreaFrmLiFo();
        QString a, b;
        m_form->TabellaStd(a, b);
        m_form->Avvia();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
        m_form->activateWindow();
        QTRY_VERIFY(m_form->isActiveWindow());
        QCOMPARE(m_form->msAutomLiraEuro(), automatico);
    }
    apri(QStringLiteral("A0"));
    IGrigliaDati* g = m_form->dbgRiga();
    IColonnaGriglia* c = g->Colonna(colonna);
    QVERIFY(c);
    ClicCella(vista(), riga, c->ColIndex());
    Scrivi(digitato);
    Premi(Qt::Key_Tab);
    QCOMPARE(m_msg->testi(), QStringList());
    // Tab past the last column writes the row and goes to the next one
    if (colonna == QLatin1String("ValMedioUnitarioLire"))
        g->setRow(riga);
    QCOMPARE(g->Row(), riga);
    QCOMPARE(c->Text(), mostrato);
    QCOMPARE(g->Colonna(altra)->Value().toDouble(), atteso);
    if (g->DataChanged())
        clicPulsante(QStringLiteral("Salva"));
    QVERIFY(!g->DataChanged());
    const QString anno = riga == 0 ? "2000" : "2001";
    QCOMPARE(valore("SELECT " + altra + " FROM ArtLiFo WHERE Articolo = 'A0' AND Anno = " + anno)
                 .toDouble(),
             atteso);
}

void TstFrmLiFo::annoObbligatorio_data() {
    QTest::addColumn<QString>("anno");
    QTest::addColumn<QString>("messaggio");
    const QString manca = QStringLiteral("Anno obbligatorio");
    auto errato = [](const char* anno) {
        return QStringLiteral(
                   "Anno non valido: \"%1\". L'anno è di quattro cifre, dal 1900 al 2199")
            .arg(QLatin1String(anno));
    };
    QTest::newRow("zero") << "0" << manca;
    QTest::newRow("vuoto") << "" << manca;
    QTest::newRow("non un numero") << "duemila" << errato("duemila");
    QTest::newRow("una lettera tra le cifre") << "20x5" << errato("20x5");
    QTest::newRow("cinque cifre") << "99999" << errato("99999");
    QTest::newRow("tre cifre") << "205" << errato("205");
    QTest::newRow("prima del 1900") << "1899" << errato("1899");
    QTest::newRow("dopo il 2199") << "2200" << errato("2200");
    QTest::newRow("con i decimali") << "2000,5" << errato("2000,5");
}

void TstFrmLiFo::annoObbligatorio() {
    QFETCH(QString, anno);
    QFETCH(QString, messaggio);
    PREPARA();
    apri(QStringLiteral("A0"));
    IGrigliaDati* g = m_form->dbgRiga();
    const qint64 prima = valore("SELECT COUNT(*) FROM ArtLiFo").toLongLong();
    // an existing layer's year rewritten; an empty one is typed and rubbed out
    ClicCella(vista(), 0, 0);
    if (anno.isEmpty()) {
        Scrivi(QStringLiteral("1"));
        Premi(Qt::Key_Backspace);
    } else {
        Scrivi(anno);
    }
    m_msg->rispondi(1);
    Premi(Qt::Key_Tab);
    QCOMPARE(m_msg->testi(), QStringList({messaggio}));
    QCOMPARE(m_msg->mostrati().front().pulsanti, QStringList({"&Ok"}));
    QVERIFY(g->EditActive()); // the cell stays open
    QCOMPARE(g->Col(), 0);
    // the next toolbar command waits for a grid key
    QCOMPARE(m_form->mbAggOk(), qint16(0));
    Premi(Qt::Key_Escape);
    Premi(Qt::Key_Escape);
    QCOMPARE(valore("SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'A0' AND Anno = 2000").toInt(),
             1);
    QCOMPARE(valore("SELECT COUNT(*) FROM ArtLiFo").toLongLong(), prima);
}

// A new layer whose year cell was never typed: refused when written, with the
// year's message, the cursor on the year.
void TstFrmLiFo::nuovoSenzaAnno() {
    PREPARA();
    apri(QStringLiteral("A0"));
    IGrigliaDati* g = m_form->dbgRiga();
    clicPulsante(QStringLiteral("Nuovo"));
    Premi(Qt::Key_Tab);
    Scrivi(QStringLiteral("3"));
    Premi(Qt::Key_Tab);
    m_msg->rispondi(1);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi(), QStringList({"Anno obbligatorio"}));
    QVERIFY(g->AddNewMode());
    QCOMPARE(g->Col(), 0);
    QCOMPARE(valore("SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'A0'").toInt(), 2);
}

void TstFrmLiFo::nuovoStrato() {
    PREPARA();
    apri(QStringLiteral("A2"), QStringLiteral("M"), QStringLiteral("ROSSO"));
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Dati()->RecordCount(), qint64(1));
    clicPulsante(QStringLiteral("Nuovo"));
    QCOMPARE(g->Row(), 1);
    QCOMPARE(g->Col(), 0);
    Scrivi(QStringLiteral("1999"));
    Premi(Qt::Key_Tab);
    Scrivi(QStringLiteral("4"));
    Premi(Qt::Key_Tab);
    // the locked unit value is passed over, the lire total typed
    ClicCella(vista(), 1, g->Colonna(QStringLiteral("ValGiacenzaLire"))->ColIndex());
    Scrivi(QStringLiteral("387254"));
    Premi(Qt::Key_Tab);
    QCOMPARE(g->Colonna(QStringLiteral("ValGiacenza"))->Value().toDouble(), 200.0);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi().join("|"), QString());
    QVERIFY(!g->DataChanged());
    QSqlQuery q(m_db);
    QVERIFY(q.exec("SELECT Articolo, Livello1, Livello2, Giacenza, ValGiacenza, ValGiacenzaLire "
                   "FROM ArtLiFo WHERE Anno = 1999"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("A2"));
    QCOMPARE(q.value(1).toString(), QString("M"));
    QCOMPARE(q.value(2).toString(), QString("ROSSO"));
    QCOMPARE(q.value(3).toDouble(), 4.0);
    QCOMPARE(q.value(4).toDouble(), 200.0);
    QCOMPARE(q.value(5).toDouble(), 387254.0);
    QVERIFY(!q.next());

    // an article without levels stores the marker in both
    m_msg->rispondi(1);
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QCOMPARE(m_form->mbModoArticolo(), qint16(-1));
    m_form->txt(10)->selectAll();
    apri(QStringLiteral("A0"));
    QCOMPARE(m_form->mbModoArticolo(), qint16(0));
    clicPulsante(QStringLiteral("Nuovo"));
    QCOMPARE(g->Col(), 0); // the new row opens on the year
    Scrivi(QStringLiteral("2025"));
    Premi(Qt::Key_Tab);
    Scrivi(QStringLiteral("1"));
    Premi(Qt::Key_Tab);
    clicPulsante(QStringLiteral("Salva"));
    QCOMPARE(m_msg->testi(), QStringList());
    QCOMPARE(valore("SELECT Livello1 || '|' || Livello2 FROM ArtLiFo WHERE Anno = 2025 AND "
                    "Articolo = 'A0'")
                 .toString(),
             QString("~ç~|~ç~"));
}

void TstFrmLiFo::tastoCanc() {
    PREPARA();
    apri(QStringLiteral("A1"), QStringLiteral("S"));
    IGrigliaDati* g = m_form->dbgRiga();
    QCOMPARE(g->Dati()->RecordCount(), qint64(1));
    ClicCella(vista(), 0, 1);
    m_msg->rispondi(1);
    m_msg->rispondi(1);
    Premi(Qt::Key_Delete);
    QTRY_COMPARE(
        valore("SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'A1' AND Livello1 = 'S'").toInt(), 0);
    // the other size of the same article is untouched
    QCOMPARE(
        valore("SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'A1' AND Livello1 = 'M'").toInt(), 1);
}

// Delete then Enter, in the program's own dialog: the question defaults to
// "No" and the layer stays.
void TstFrmLiFo::tastoCancInvio() {
    PREPARA();
    apri(QStringLiteral("A1"), QStringLiteral("S"));
    ClicCella(vista(), 0, 1);
    DialogoMessaggi dialogo;
    ImpostaServizioMessaggi(&dialogo);
    QStringList domande;
    QPointer<FrmMsgCom> ultimo;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f || f == ultimo)
            return;
        ultimo = f;
        domande << f->LabMessaggio()->text();
        QTest::qWait(FrmMsgCom::GuardiaMs + 50); // answered once read
        QTest::keyClick(f->focusWidget() ? f->focusWidget() : f, Qt::Key_Return);
    });
    timer.start();
    Premi(Qt::Key_Delete);
    timer.stop();
    ImpostaServizioMessaggi(m_msg.get());
    QCOMPARE(domande, QStringList({"Confermi la cancellazione della riga?"}));
    QCOMPARE(
        valore("SELECT COUNT(*) FROM ArtLiFo WHERE Articolo = 'A1' AND Livello1 = 'S'").toInt(), 1);
    QCOMPARE(m_form->dbgRiga()->Dati()->RecordCount(), qint64(1));
}

void TstFrmLiFo::tornaAllArticolo() {
    PREPARA();
    apri(QStringLiteral("A1"), QStringLiteral("M"));
    IGrigliaDati* g = m_form->dbgRiga();
    // a change not saved: the question keeps the layers when refused
    ClicCella(vista(), 0, 1);
    Scrivi(QStringLiteral("2030")); // a year (9 is none)
    Premi(Qt::Key_Tab);
    QVERIFY(g->DataChanged());
    QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    QCOMPARE(m_msg->testi().size(), 1); // the question about the pending change
    if (m_form->mbModoArticolo() == 0) {
        QCOMPARE(m_form->ComGes()->text(), QString("&Torna a        Articolo"));
        g->CancelUpdate();
        m_msg->azzera();
        QTest::mouseClick(m_form->ComGes(), Qt::LeftButton);
    }
    QCOMPARE(m_form->mbModoArticolo(), qint16(-1));
    QCOMPARE(m_form->ComGes()->text(), QString("G&estione LiFo Articoli"));
    QVERIFY(!g->widget()->isEnabled());
    QVERIFY(!m_form->tolComlin()->isEnabled());
    QVERIFY(m_form->txt(10)->isEnabled());
    QVERIFY(m_form->txtAppo(20)->isEnabled());
    QCOMPARE(g->Dati()->RecordCount(), 0);
    QTRY_COMPARE(Fuoco(), static_cast<QWidget*>(m_form->txt(10)));
    QCOMPARE(
        valore("SELECT Giacenza FROM ArtLiFo WHERE Articolo = 'A1' AND Livello1 = 'M'").toDouble(),
        5.0);
}

QTEST_MAIN(TstFrmLiFo)
#include "tst_frmlifo.moc"
