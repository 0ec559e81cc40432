// The program's side of the lookup on code fields, over the real lookup
// component and a real company (an SQLite file, and the test process's
// PostgreSQL database when the test service exports QUARVEL_PG_*): the keys
// that open a lookup, the field lists of the personal parameters, the
// article-picture options, the focus colours, the account kinds, the level
// groups and level boxes of an article, and the decoding of a code field
// with the lookup offered when the code is unknown, driven with real keys.

#include "Ambiente.h"
#include "aiuto/CampiAiuto.h"
#include "aiuto/Livelli.h"
#include "listcmd/ModelloRighe.h"
#include "suite/ComponenteDati.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

using namespace quarvel;
using namespace quarvel::lookup;
using namespace prova;

namespace {

// Watches for the search window while a call runs: the steps run once it is
// on screen; a window still open after them is closed with Esc.
class Sorveglianza {
public:
    Sorveglianza(ComponenteAiutoQt& c, std::function<void(FinestraAiuto*)> passi)
        : m_c(c), m_passi(std::move(passi)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            FinestraAiuto* f = m_c.finestra();
            if (!f->isVisible() || m_inCorso)
                return;
            m_inCorso = true;
            aperta = true;
            tipo = f->tipo();
            if (m_passi)
                m_passi(f);
            if (f->isVisible())
                QTest::keyClick(f->ricerca(), Qt::Key_Escape);
            m_inCorso = false;
        });
        m_timer.start();
    }
    bool aperta = false;
    TipoRicerca tipo = TipoRicerca::Codice;

private:
    ComponenteAiutoQt& m_c;
    std::function<void(FinestraAiuto*)> m_passi;
    QTimer m_timer;
    bool m_inCorso = false;
};

QStringList Colonne(FinestraAiuto* f) {
    QStringList r;
    for (int i = 0; i < f->modello()->numeroColonne(); ++i)
        r << f->modello()->colonna(i).nome.toLower();
    return r;
}

} // namespace

class TstCampiAiuto : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() {
        MotoriProva::Righe({Motore::Sqlite, Motore::Postgres, Motore::Odbc});
    }
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void tastiSenzaRicerca_data();
    void tastiSenzaRicerca();
    void campi_data();
    void campi();
    void immagini_data();
    void immagini();
    void immaginiSpenteDopoLaRicerca();
    void colori_data();
    void colori();
    void classificaConto_data();
    void classificaConto();
    void valoreLivello_data();
    void valoreLivello();
    void gruppiLivello_data();
    void gruppiLivello();
    void mostraLivelli_data();
    void mostraLivelli();
    void decodificaConRicerca_data();
    void decodificaConRicerca();
    void erroreTraICambiDiFuoco();

private:
    DatabasePgProva m_pg{QStringLiteral("quarvel_campiaiuto")};
    QTemporaryDir m_dir;
    QSet<QString> m_riempiti;
    MenuValori m_menu;
    std::unique_ptr<ComponenteAiutoQt> m_c;
    std::unique_ptr<IComponenteDati> m_dati;
};

void TstCampiAiuto::initTestCase() {
    QVERIFY(m_dir.isValid());
    InstallaUtilita();
    dati::Registra();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstCampiAiuto::cleanupTestCase() {
    m_dati.reset();
    m_pg.Elimina();
}

void TstCampiAiuto::init() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString nome = QString::fromLatin1(NomeMotore(motore));
    const QString file = m_dir.filePath(QStringLiteral("ditta.db"));
    QSqlDatabase db = QSqlDatabase::contains(nome) ? QSqlDatabase::database(nome)
                                                   : ConnessioneProva(motore, nome, file, m_pg);
    QVERIFY2(db.isOpen() || db.open(), qPrintable(db.lastError().text()));
    if (!m_riempiti.contains(nome)) {
        RiempiDitta(db);
        m_riempiti.insert(nome);
    }
    m_menu.valori.clear();
    m_c = std::make_unique<ComponenteAiutoQt>();
    QWidget* p = nullptr;
    QObject* o = nullptr;
    m_c->InizializzaAiuto(p, &m_menu, o, nullptr, QString(), db, 0x80000005, 0xFF,
                          QStringLiteral("p"), QStringLiteral("dd/mm/yyyy"));
    m_dati = CreaComponenteDati();
    if (motore == Motore::Odbc) // the data component on unixODBC too
        m_dati->ImpostaParametro(QStringLiteral("DbSqlSoloOdbc"), QStringLiteral("S"));
    QString risposta;
    m_dati->Apri(motore == Motore::Sqlite ? file : QStringLiteral("ODBC;") + m_pg.TestoOdbc(), 0,
                 false, false, QString(), risposta);

    AzzeraSessione();
    ContestoSessione& s = Sessione();
    s.MenuClient = &m_menu;
    s.ComponenteAiuto = m_c.get();
    s.ComponenteDati = m_dati.get();
    s.RisultatoConnessione = risposta;
    s.DbDitta = db;
    s.ColoreConFocus = 0xFFFF80;
    s.ColoreSenzaFocus = 0x80000005;
    s.ColoreErrore = 0xFF;
    s.DecodHelpAbil = QStringLiteral("N");
    AzzeraImmaginiAiuto();
    AzzeraNoDecInattivi();
}

void TstCampiAiuto::cleanup() {
    AzzeraSessione();
    m_c.reset();
    if (m_dati)
        m_dati.reset();
}

void TstCampiAiuto::tastiSenzaRicerca_data() {
    QTest::addColumn<int>("tasto");
    QTest::newRow("F1") << 112;
    QTest::newRow("Invio") << 13;
    QTest::newRow("nessuno") << 0;
    QTest::newRow("F13") << 124;
}

// Only F2 to F12 or a negative code open the lookup; F1 does nothing.
void TstCampiAiuto::tastiSenzaRicerca() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, tasto);
    QLineEdit box;
    QLabel lab;
    Sorveglianza s(*m_c, nullptr);
    bool trovato = false;
    const QVariant r =
        AiutoCampo(QStringLiteral("Articolo"), &box, &lab, tasto, std::nullopt, trovato);
    QVERIFY(!r.isValid());
    QVERIFY(!s.aperta);
    QVERIFY(!trovato);
}

void TstCampiAiuto::campi_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("chiave"); // the personal parameter of "Help"
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QStringList>("colonne");
    QTest::addColumn<QString>("box"); // the box's text after the lookup

    const QStringList articolo{"articolo",   "descrizione", "barcode",
                               "livgruppo1", "livgruppo2",  "immagine"};
    QTest::newRow("articolo, nessun elenco") << "Articolo"
                                             << ""
                                             << ""
                                             << ""
                                             << "" << articolo << "";
    QTest::newRow("articolo, elenco")
        << "Articolo"
        << "CampiArticolo"
        << "Descrizione,BarCode"
        << ""
        << "" << QStringList{"articolo", "descrizione", "barcode", "immagine"} << "";
    QTest::newRow("elenco ,No,") << "Articolo"
                                 << "CampiArticolo"
                                 << ",No,Descrizione"
                                 << ""
                                 << "" << articolo << "";
    QTest::newRow("campo inesistente tralasciato")
        << "Magazzino"
        << "CampiMagazzino"
        << "Descrizione,Prezzo"
        << ""
        << "" << QStringList{"magazzino", "descrizione"} << "";
    QTest::newRow("inventario con DataInvent")
        << "MagDescrInv:CodInv"
        << "CampiMagDescrInv:CodInv"
        << "Descrizione"
        << ""
        << ",DataInvent" << QStringList{"codinv", "descrizione", "datainvent"} << "";
    QTest::newRow("conto, tipo dal codice")
        << "Conto"
        << "CCampiConto"
        << "Descrizione,Email2"
        << "c/C00"
        << "" << QStringList{"conto", "descrizione", "email2"} << "C00";
    QTest::newRow("conto senza tipo")
        << "Conto"
        << "CCampiConto"
        << "Descrizione,Email2"
        << "C00"
        << "" << QStringList{"conto", "descrizione", "email", "email2", "email3", "email4"}
        << "C00";
}

// The columns follow the "Campi" personal parameter, the caller's extra
// fields appended; "SQLPass" sets the pass-through.
void TstCampiAiuto::campi() {
    QFETCH(QString, nome);
    QFETCH(QString, chiave);
    QFETCH(QString, valore);
    QFETCH(QString, digitato);
    QFETCH(QString, extra);
    QFETCH(QStringList, colonne);
    QFETCH(QString, box);
    if (!chiave.isEmpty())
        m_menu.personale(QStringLiteral("Help"), chiave, valore);
    m_menu.personale(QStringLiteral("Help"), QStringLiteral("SQLPass") + nome, QStringLiteral("S"));
    QLineEdit codice;
    codice.setText(digitato);
    QLabel lab;
    QStringList viste;
    QVariant passThrough;
    quint32 coloreRicerca = 0;
    m_c->OpzioniRicerca()->setOlColBackOk(0x123456);
    Sorveglianza s(*m_c, [&](FinestraAiuto* f) {
        viste = Colonne(f);
        passThrough = f->ogComlin()->ovLeggiPar(QStringLiteral("ForzaPassThrough"));
        coloreRicerca = ColoreSfondo(f->ricerca());
    });
    bool trovato = false;
    int tasto = 113;
    AiutoCampo(nome, &codice, &lab, tasto, std::nullopt, trovato, extra);
    QVERIFY(s.aperta);
    QCOMPARE(viste, colonne);
    QCOMPARE(passThrough.toBool(), true);
    QCOMPARE(codice.text(), box);
    // the search box in the focus colour during the lookup, the option back after it
    QCOMPARE(coloreRicerca, quint32(0xFFFF80));
    QCOMPARE(m_c->OpzioniRicerca()->olColBackOk(), quint32(0x123456));
}

void TstCampiAiuto::immagini_data() {
    QTest::addColumn<QString>("immagini");
    QTest::addColumn<QString>("ini"); // section Base of the parameter file
    QTest::addColumn<QString>("dove");
    QTest::addColumn<QString>("spazio");
    QTest::addColumn<QString>("cartella"); // %1: the test's folder
    QTest::addColumn<QString>("margine");
    QTest::addColumn<int>("twips"); // -1: half the screen's width, -2: its height

    QTest::newRow("cartella relativa con DriveDB") << "S"
                                                   << "DirImgArt=foto\nDriveDB=%1"
                                                   << ""
                                                   << ""
                                                   << "%1/foto"
                                                   << "MargDestra" << 5000;
    QTest::newRow("percorso di rete invariato") << "S"
                                                << "DirImgArt=\\\\server\\img\nDriveDB=%1"
                                                << "S"
                                                << "3000"
                                                << "\\\\server\\img"
                                                << "MargSin" << 3000;
    QTest::newRow("DirImmagini senza DirImgArt") << "S"
                                                 << "DirImmagini=/srv/immagini\nDriveDB=%1"
                                                 << "A"
                                                 << ""
                                                 << "/srv/immagini"
                                                 << "MargSopra" << 2000;
    QTest::newRow("spazio oltre meta' schermo, sinistra") << "S"
                                                          << "DirImgArt=%1"
                                                          << "S"
                                                          << "999999"
                                                          << "%1"
                                                          << "MargSin" << -1;
    QTest::newRow("spazio oltre meta' schermo, sotto") << "S"
                                                       << "DirImgArt=%1"
                                                       << "b"
                                                       << "999999"
                                                       << "%1"
                                                       << "MargSotto" << -2;
    QTest::newRow("immagini spente") << "N"
                                     << "DirImgArt=%1"
                                     << "D"
                                     << ""
                                     << ""
                                     << "" << 0;
}

// The options handed to the component before an article lookup; none but
// "MostraImg" False and zero margins when pictures are off.
void TstCampiAiuto::immagini() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, immagini);
    QFETCH(QString, ini);
    QFETCH(QString, dove);
    QFETCH(QString, spazio);
    QFETCH(QString, cartella);
    QFETCH(QString, margine);
    QFETCH(int, twips);
    const QString file = m_dir.filePath(QStringLiteral("belcor.ini"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("[Base]\n%1\n").arg(ini.arg(m_dir.path())).toUtf8());
    }
    Sessione().FileIniPrincipale = file;
    m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("Immagini"), immagini);
    if (!dove.isEmpty())
        m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("ImgDove"), dove);
    if (!spazio.isEmpty())
        m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("ImgSpazio"), spazio);
    m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("ImgRapVertOriz"),
                     QStringLiteral("0,75"));
    // margins left by an earlier lookup
    for (const char* m : {"MargSopra", "MargSotto", "MargSin", "MargDestra"})
        m_c->FormAiuto()->ogComlin()->setOvLeggiPar(QString::fromLatin1(m), 77);

    ImpostaImmaginiAiuto(QStringLiteral("Articolo"));

    const bool accese = immagini == QLatin1String("S");
    QCOMPARE(m_c->Opzione(QStringLiteral("MostraImg")).toBool(), accese);
    QCOMPARE(m_c->FormAiuto()->ovLeggiPar(QStringLiteral("MostraImg")).toBool(), accese);
    const QSize schermo = QGuiApplication::primaryScreen()->geometry().size();
    const int atteso = twips == -1   ? schermo.width() * 15 / 2
                       : twips == -2 ? schermo.height() * 15 / 2
                                     : twips;
    for (const char* m : {"MargSopra", "MargSotto", "MargSin", "MargDestra"}) {
        const QString n = QString::fromLatin1(m);
        QCOMPARE(m_c->FormAiuto()->ogComlin()->ovLeggiPar(n).toInt(), n == margine ? atteso : 0);
    }
    if (!accese) {
        QVERIFY(!m_c->Opzione(QStringLiteral("DirImgArt")).isValid());
        return;
    }
    QCOMPARE(m_c->Opzione(QStringLiteral("DirImgArt")).toString(), cartella.arg(m_dir.path()));
    QCOMPARE(m_c->Opzione(QStringLiteral("NomeColImg")).toString(), QString("Immagine"));
    QCOMPARE(m_c->Opzione(QStringLiteral("ImgRapVertOriz")).toDouble(), 0.75);
    QCOMPARE(m_c->Opzione(QStringLiteral("ImgDimReali")).toBool(), true);
    QCOMPARE(m_c->Opzione(QStringLiteral("DoveMostraImg")).toString().toUpper(),
             dove.isEmpty() ? QString("D") : dove.toUpper());

    // another column switches them off
    ImpostaImmaginiAiuto(QStringLiteral("Magazzino"));
    QVERIFY(!m_c->Opzione(QStringLiteral("MostraImg")).toBool());
    QVERIFY(!m_c->FormAiuto()->ovLeggiPar(QStringLiteral("MostraImg")).toBool());
}

// An article lookup shows the picture; after it "MostraImg" is False again,
// so a lookup of another table shows none.
void TstCampiAiuto::immaginiSpenteDopoLaRicerca() {
    PROVA_SOLO_PRIMO_MOTORE();
    Sessione().FileIniPrincipale = m_dir.filePath(QStringLiteral("vuoto.ini"));
    m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("Immagini"), QStringLiteral("S"));
    QLineEdit box;
    QLabel lab;
    bool conImmagine = false;
    {
        Sorveglianza s(*m_c, [&](FinestraAiuto* f) { conImmagine = f->immagine()->isVisible(); });
        bool trovato = false;
        int tasto = 113;
        AiutoCampo(QStringLiteral("Articolo"), &box, &lab, tasto, std::nullopt, trovato);
        QVERIFY(s.aperta);
    }
    QVERIFY(conImmagine);
    QVERIFY(!m_c->Opzione(QStringLiteral("MostraImg")).toBool());
    QVERIFY(!m_c->FormAiuto()->ovLeggiPar(QStringLiteral("MostraImg")).toBool());
    Sorveglianza s(*m_c, [&](FinestraAiuto* f) { conImmagine = f->immagine()->isVisible(); });
    bool trovato = false;
    int tasto = 113;
    AiutoCampo(QStringLiteral("Magazzino"), &box, &lab, tasto, std::nullopt, trovato);
    QVERIFY(s.aperta);
    QVERIFY(!conImmagine);
}

void TstCampiAiuto::colori_data() {
    QTest::addColumn<bool>("entrata");
    QTest::addColumn<uint>("prima");
    QTest::addColumn<bool>("forza");
    QTest::addColumn<uint>("dopo");
    QTest::newRow("entrata") << true << 0x80000005u << false << 0xFFFF80u;
    QTest::newRow("entrata in errore") << true << 0xFFu << false << 0xFFu;
    QTest::newRow("entrata in errore, forzata") << true << 0xFFu << true << 0xFFFF80u;
    QTest::newRow("uscita") << false << 0xFFFF80u << false << 0x80000005u;
    QTest::newRow("uscita in errore") << false << 0xFFu << false << 0xFFu;
    QTest::newRow("uscita in errore, forzata") << false << 0xFFu << true << 0x80000005u;
}

// A field in the error colour keeps it through focus changes; on entry
// every other txt box left in the focus colour gets the normal one back.
void TstCampiAiuto::colori() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(bool, entrata);
    QFETCH(uint, prima);
    QFETCH(bool, forza);
    QFETCH(uint, dopo);
    QWidget form;
    auto* campo = new QLineEdit(&form);
    campo->setObjectName(QStringLiteral("txt(10)"));
    auto* altro = new QLineEdit(&form);
    altro->setObjectName(QStringLiteral("txt(20)"));
    auto* rosso = new QLineEdit(&form);
    rosso->setObjectName(QStringLiteral("txt(30)"));
    auto* nonTxt = new QLineEdit(&form);
    nonTxt->setObjectName(QStringLiteral("cboScelta"));
    ImpostaColoreSfondo(campo, prima);
    ImpostaColoreSfondo(altro, 0xFFFF80);
    ImpostaColoreSfondo(rosso, 0xFF);
    ImpostaColoreSfondo(nonTxt, 0xFFFF80);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    if (entrata)
        ColoreEntrata(campo, forza);
    else
        ColoreUscita(campo, forza);
    QCOMPARE(ColoreSfondo(campo), quint32(dopo));
    QCOMPARE(ColoreSfondo(rosso), quint32(0xFF));
    QCOMPARE(ColoreSfondo(nonTxt), quint32(0xFFFF80));
    QCOMPARE(ColoreSfondo(altro), entrata ? quint32(0x80000005) : quint32(0xFFFF80));
    QCOMPARE(campo->palette().color(QPalette::Base), ColoreQt(dopo));
}

void TstCampiAiuto::classificaConto_data() {
    QTest::addColumn<QString>("filtro");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("resto");
    QTest::newRow("lettera e barra") << ""
                                     << "c/ROSSI"
                                     << "C"
                                     << "ROSSI";
    QTest::newRow("fornitore") << ""
                               << "F/01"
                               << "F"
                               << "01";
    QTest::newRow("lettera sconosciuta") << ""
                                         << "X/01"
                                         << "0"
                                         << "X/01";
    QTest::newRow("filtro lettera") << "g"
                                    << "123"
                                    << "G"
                                    << "123";
    QTest::newRow("filtro parola") << "Clienti"
                                   << "ROSSI"
                                   << "C"
                                   << "ROSSI";
    QTest::newRow("filtro non tipo") << "C1"
                                     << "ROSSI"
                                     << "0"
                                     << "ROSSI";
    QTest::newRow("codice prima del filtro") << "F"
                                             << "C/ROSSI"
                                             << "C"
                                             << "ROSSI";
    QTest::newRow("niente") << ""
                            << "C0001"
                            << "0"
                            << "C0001";
}

void TstCampiAiuto::classificaConto() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, filtro);
    QFETCH(QString, testo);
    QFETCH(QString, tipo);
    QFETCH(QString, resto);
    QCOMPARE(ClassificaConto(filtro, testo, 113), tipo);
    QCOMPARE(testo, resto);
}

void TstCampiAiuto::valoreLivello_data() {
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("dopo");
    QTest::newRow("semplice") << "M"
                              << "M"
                              << "M";
    QTest::newRow("spazi prima e dopo") << "  XL  "
                                        << "XL  "
                                        << "XL  ";
    QTest::newRow("solo spazi") << "   "
                                << "~ç~"
                                << "";
    QTest::newRow("vuoto") << ""
                           << "~ç~"
                           << "";
    QTest::newRow("tabulazione non e' uno spazio") << "\tS"
                                                   << "\tS"
                                                   << "\tS";
}

void TstCampiAiuto::valoreLivello() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, digitato);
    QFETCH(QString, valore);
    QFETCH(QString, dopo);
    QCOMPARE(ValoreLivello(digitato), valore);
    QCOMPARE(digitato, dopo);
}

void TstCampiAiuto::gruppiLivello_data() {
    QTest::addColumn<QString>("gesTaglie");
    QTest::addColumn<QString>("articolo");
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("didascalia1");
    QTest::addColumn<QString>("didascalia2");
    QTest::addColumn<QString>("articoloDopo");
    QTest::newRow("primo gruppo") << "S"
                                  << "ART001  " << 1 << "Taglia:"
                                  << "Livello 2:"
                                  << "ART001";
    QTest::newRow("solo il secondo") << "s"
                                     << "ART004" << 2 << "Livello 1:"
                                     << "Colore:"
                                     << "ART004";
    QTest::newRow("due gruppi, in minuscolo") << "S"
                                              << "brt010" << 2 << "Taglia:"
                                              << "Colore:"
                                              << "brt010";
    QTest::newRow("nessun gruppo") << "S"
                                   << "ART002" << 0 << "Livello 1:"
                                   << "Livello 2:"
                                   << "ART002";
    QTest::newRow("articolo inesistente") << "S"
                                          << "NONC" << 7 << "Livello 1:"
                                          << "Livello 2:"
                                          << "NONC";
    QTest::newRow("articolo vuoto") << "S"
                                    << "   " << 7 << "Livello 1:"
                                    << "Livello 2:"
                                    << "";
    QTest::newRow("livelli non gestiti") << "N"
                                         << "BRT010" << 7 << "Livello 1:"
                                         << "Livello 2:"
                                         << "BRT010";
}

void TstCampiAiuto::gruppiLivello() {
    QFETCH(QString, gesTaglie);
    QFETCH(QString, articolo);
    QFETCH(int, numero);
    QFETCH(QString, didascalia1);
    QFETCH(QString, didascalia2);
    QFETCH(QString, articoloDopo);
    m_menu.valori[QStringLiteral("Mag.GesTaglie")] = gesTaglie;
    QLabel c1, c2;
    c1.setText(QStringLiteral("vecchia"));
    c2.setText(QStringLiteral("vecchia"));
    qint16 n = 7;
    LeggiGruppiLivello(articolo, &c1, &c2, n);
    QCOMPARE(int(n), numero);
    QCOMPARE(c1.text(), didascalia1);
    QCOMPARE(c2.text(), didascalia2);
    QCOMPARE(articolo, articoloDopo);
}

void TstCampiAiuto::mostraLivelli_data() {
    QTest::addColumn<int>("numero");
    QTest::addColumn<int>("svuota");
    QTest::addColumn<bool>("primo");
    QTest::addColumn<bool>("secondo");
    QTest::addColumn<QString>("digitato1");
    QTest::addColumn<QString>("valore1");
    QTest::addColumn<QString>("digitato2");
    QTest::addColumn<QString>("valore2");
    QTest::newRow("nessun livello, svuota") << 0 << 1 << false << false << "~ç~"
                                            << "~ç~"
                                            << "~ç~"
                                            << "~ç~";
    QTest::newRow("uno, svuota") << 1 << 1 << true << false << ""
                                 << ""
                                 << "~ç~"
                                 << "~ç~";
    QTest::newRow("due, svuota") << 2 << 1 << true << true << ""
                                 << ""
                                 << ""
                                 << "";
    QTest::newRow("due, lascia") << 2 << 0 << true << true << "a"
                                 << "A"
                                 << "b"
                                 << "B";
    QTest::newRow("nessuno, lascia") << 0 << 0 << false << false << "a"
                                     << "A"
                                     << "b"
                                     << "B";
}

void TstCampiAiuto::mostraLivelli() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(int, numero);
    QFETCH(int, svuota);
    QFETCH(bool, primo);
    QFETCH(bool, secondo);
    QFETCH(QString, digitato1);
    QFETCH(QString, valore1);
    QFETCH(QString, digitato2);
    QFETCH(QString, valore2);
    QWidget form;
    QLineEdit v1(&form), v2(&form), t1(&form), t2(&form);
    QLabel c1(&form), c2(&form), d1(&form), d2(&form);
    QPushButton b1(&form), b2(&form);
    t1.setText(QStringLiteral("a"));
    v1.setText(QStringLiteral("A"));
    t2.setText(QStringLiteral("b"));
    v2.setText(QStringLiteral("B"));
    form.show();
    MostraLivelli(&v1, &v2, &t1, &t2, &c1, &c2, &b1, &b2, &d1, &d2, qint16(numero), qint16(svuota));
    for (QWidget* w : {static_cast<QWidget*>(&t1), static_cast<QWidget*>(&c1),
                       static_cast<QWidget*>(&b1), static_cast<QWidget*>(&d1)})
        QCOMPARE(w->isVisible(), primo);
    for (QWidget* w : {static_cast<QWidget*>(&t2), static_cast<QWidget*>(&c2),
                       static_cast<QWidget*>(&b2), static_cast<QWidget*>(&d2)})
        QCOMPARE(w->isVisible(), secondo);
    QVERIFY(!v1.isVisible() && !v2.isVisible());
    QCOMPARE(t1.text(), digitato1);
    QCOMPARE(v1.text(), valore1);
    QCOMPARE(t2.text(), digitato2);
    QCOMPARE(v2.text(), valore2);
}

void TstCampiAiuto::decodificaConRicerca_data() {
    QTest::addColumn<QString>("abil");
    QTest::addColumn<bool>("persKey");
    QTest::addColumn<QString>("hlp"); // "Tutti" / "ArticoloHlp"
    QTest::addColumn<QString>("noDec");
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("tasti"); // in the window: "g" Down, "i" Enter
    QTest::addColumn<bool>("aperta");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<int>("esito");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("etichetta");
    QTest::addColumn<bool>("rosso");
    QTest::addColumn<QVariantList>("campi");

    const int cod = int(TipoRicerca::Codice), des = int(TipoRicerca::Descrizione);
    const QVariantList prima{QStringLiteral("FlagLivLis")};
    QTest::newRow("codice noto, niente ricerca")
        << "C" << false << ""
        << "N"
        << "art002"
        << "" << false << cod << -1 << "ART002"
        << "Bullone zincato" << false << QVariantList{QStringLiteral("N")};
    QTest::newRow("N: solo inesistente") << "N" << false << ""
                                         << "N"
                                         << "ZZZ"
                                         << "" << false << cod << 0 << "ZZZ"
                                         << "** INESISTENTE **" << true << prima;
    QTest::newRow("C: nulla per codice ne' descrizione") << "C" << false << ""
                                                         << "N"
                                                         << "ZZZ"
                                                         << "" << false << cod << 0 << "ZZZ"
                                                         << "** INESISTENTE **" << true << prima;
    QTest::newRow("C: per codice nulla, poi per descrizione")
        << "C" << false << ""
        << "N"
        << "vite"
        << "i" << true << des << -1 << "ART001"
        << "Vite a testa esagonale" << false << QVariantList{QStringLiteral("N")};
    QTest::newRow("C: per codice")
        << "c" << false << ""
        << "N"
        << "art00"
        << "gggi" << true << cod << -1 << "ART004"
        << "Rondella piana zincata" << false << QVariantList{QStringLiteral("S")};
    QTest::newRow("D: per descrizione")
        << "D" << false << ""
        << "N"
        << "zinc"
        << "gi" << true << des << -1 << "ART004"
        << "Rondella piana zincata" << false << QVariantList{QStringLiteral("S")};
    QTest::newRow("numero 1: per codice")
        << "1" << false << ""
        << "N"
        << "art00"
        << "i" << true << cod << -1 << "ART001"
        << "Vite a testa esagonale" << false << QVariantList{QStringLiteral("N")};
    QTest::newRow("numero 2: per descrizione")
        << "2" << false << ""
        << "N"
        << "piana"
        << "i" << true << des << -1 << "ART004"
        << "Rondella piana zincata" << false << QVariantList{QStringLiteral("S")};
    QTest::newRow("Esc: resta in errore") << "C" << false << ""
                                          << "N"
                                          << "art00"
                                          << "" << true << cod << 0 << "art00"
                                          << "** INESISTENTE **" << true << prima;
    QTest::newRow("tasto personale F3")
        << "C" << true << "3"
        << "N"
        << "bullone"
        << "i" << true << des << -1 << "ART002"
        << "Bullone zincato" << false << QVariantList{QStringLiteral("N")};
    QTest::newRow("tasto personale 0: DecodHelpAbil")
        << "C" << true << "0"
        << "N"
        << "art00"
        << "i" << true << cod << -1 << "ART001"
        << "Vite a testa esagonale" << false << QVariantList{QStringLiteral("N")};
    QTest::newRow("inattivo nascosto") << "C" << false << ""
                                       << "S"
                                       << "ART003"
                                       << "" << false << cod << 0 << "ART003"
                                       << "** INESISTENTE **" << true << prima;
    QTest::newRow("inattivo visibile")
        << "C" << false << ""
        << "N"
        << "ART003"
        << "" << false << cod << -1 << "ART003"
        << "Dado autobloccante inox" << false << QVariantList{QStringLiteral("N")};
    QTest::newRow("inattivo assente dalla lista") << "D" << false << ""
                                                  << "S"
                                                  << "dado"
                                                  << "" << false << des << 0 << "dado"
                                                  << "** INESISTENTE **" << true << prima;
}

// An unknown code offers the lookup as DecodHelpAbil and DecodHelpPersKey
// say: by code, then once by description when the code finds nothing; a
// pick decodes the code picked; Esc leaves the field in error.
void TstCampiAiuto::decodificaConRicerca() {
    QFETCH(QString, abil);
    QFETCH(bool, persKey);
    QFETCH(QString, hlp);
    QFETCH(QString, noDec);
    QFETCH(QString, digitato);
    QFETCH(QString, tasti);
    QFETCH(bool, aperta);
    QFETCH(int, tipo);
    QFETCH(int, esito);
    QFETCH(QString, box);
    QFETCH(QString, etichetta);
    QFETCH(bool, rosso);
    QFETCH(QVariantList, campi);
    Sessione().DecodHelpAbil = abil;
    Sessione().DecodHelpPersKey = persKey;
    if (!hlp.isEmpty())
        m_menu.personale(QStringLiteral("Tutti"), QStringLiteral("ArticoloHlp"), hlp);
    m_menu.personale(QStringLiteral("Articoli"), QStringLiteral("NoDecInattivi"), noDec);
    m_c->FormAiuto()->setOvLeggiPar(QStringLiteral("RetZeroRec"), 5);

    QLineEdit codice;
    QLabel lab;
    codice.setText(digitato);
    QVariantList f{QStringLiteral("FlagLivLis")};
    Sorveglianza s(*m_c, [&](FinestraAiuto* w) {
        for (QChar t : tasti)
            QTest::keyClick(w->ricerca(), t == QLatin1Char('g') ? Qt::Key_Down : Qt::Key_Return);
    });
    const QVariant r = DecodificaCampo(QStringLiteral("Articolo"), &codice, &lab, std::nullopt, &f);
    QCOMPARE(s.aperta, aperta);
    if (aperta)
        QCOMPARE(int(s.tipo), tipo);
    QCOMPARE(r.toInt(), esito);
    QCOMPARE(codice.text(), box);
    QCOMPARE(lab.text(), etichetta);
    QCOMPARE(ColoreSfondo(&codice) == 0xFF, rosso);
    QCOMPARE(f, campi);
    QCOMPARE(m_c->FormAiuto()->ovLeggiPar(QStringLiteral("RetZeroRec")).toInt(), 5);
}

namespace {

// Two warehouse boxes as a form has them: the focus colours on entry and
// exit, the code decoded when the operator leaves the box.
class FormMagazzini final : public QWidget {
public:
    FormMagazzini() {
        for (int i : {10, 20}) {
            auto* t = new QLineEdit(this);
            t->setObjectName(QStringLiteral("txt(%1)").arg(i));
            t->move(10, i * 3);
            t->installEventFilter(this);
            auto* l = new QLabel(this);
            l->move(200, i * 3);
            l->resize(200, 20);
            m_label.insert(t, l);
            box << t;
        }
    }
    QList<QLineEdit*> box;
    QLabel* etichetta(QLineEdit* t) const { return m_label.value(t); }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* t = qobject_cast<QLineEdit*>(o);
        if (t && e->type() == QEvent::FocusIn)
            ColoreEntrata(t);
        if (t && e->type() == QEvent::FocusOut) {
            DecodificaCampo(QStringLiteral("Magazzino"), t, m_label.value(t));
            ColoreUscita(t);
        }
        return QWidget::eventFilter(o, e);
    }

private:
    QHash<QLineEdit*, QLabel*> m_label;
};

} // namespace

// An unknown code typed turns its box red; the red stays through the focus
// coming and going until a good code is typed, then the box takes the focus
// colours again.
void TstCampiAiuto::erroreTraICambiDiFuoco() {
    FormMagazzini form;
    form.resize(420, 120);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QLineEdit* a = form.box[0];
    QLineEdit* b = form.box[1];
    a->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), a);
    QCOMPARE(ColoreSfondo(a), quint32(0xFFFF80));

    QTest::keyClicks(a, QStringLiteral("zz"));
    QTest::keyClick(a, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), b);
    QCOMPARE(form.etichetta(a)->text(), TestoInesistente);
    QCOMPARE(ColoreSfondo(a), quint32(0xFF));
    QCOMPARE(ColoreSfondo(b), quint32(0xFFFF80));

    QTest::keyClick(b, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(QApplication::focusWidget(), a);
    QCOMPARE(ColoreSfondo(a), quint32(0xFF)); // still red with the focus
    QCOMPARE(ColoreSfondo(b), quint32(0x80000005));

    QTest::keyClick(a, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(a, QStringLiteral("m02"));
    QTest::keyClick(a, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), b);
    QCOMPARE(a->text(), QString("M02"));
    QCOMPARE(form.etichetta(a)->text(), QString("Deposito Nord"));
    QCOMPARE(ColoreSfondo(a), quint32(0x80000005));

    QTest::keyClick(b, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(QApplication::focusWidget(), a);
    QCOMPARE(ColoreSfondo(a), quint32(0xFFFF80));
}

QTEST_MAIN(TstCampiAiuto)
#include "tst_campiaiuto.moc"
