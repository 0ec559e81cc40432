// The main and second parameter file: how they are found and chosen at start,
// LeggiIni over both, ScriviIni with each of its branches.  Runs on the real
// utility object; the operator's answers come from the scripted responder.

#include "config/ParametriIni.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

namespace {

QByteArray Leggi(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

bool Metti(const QString& file, const QByteArray& dati) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(dati) == dati.size();
}

const QString CrLf = QStringLiteral("\r\n");

} // namespace

class TstParametriIni : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void trovaPrincipale_data();
    void trovaPrincipale();
    void principaleDalMenu();

    void sceltaSecondo_data();
    void sceltaSecondo();
    void sceltaElencoConVoceMancante();
    void fileIllegibile_data();
    void fileIllegibile();

    void leggiIni_data();
    void leggiIni();

    void scriviIni_data();
    void scriviIni();
    void scriviIniFallitaScrittura();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessaggiScriptati> m_msg;
    QString m_principale, m_parametri;
    int m_rilasci = 0;
    qsizetype m_messaggiAlRilascio = -1;
    QString m_correnteOriginale;
    QString m_mainApplicazione;

    QString percorso(const QString& relativo) const { return m_dir->filePath(relativo); }
    // The label of a candidate file of the search, as a path.
    QString candidato(const QString& etichetta) const;
};

void TstParametriIni::initTestCase() {
    InstallaUtilita();
    m_correnteOriginale = QDir::currentPath();
    m_mainApplicazione = UnisciPercorso(CartellaApplicazione(), QStringLiteral("main/belcor.ini"));
    QVERIFY2(!QFile::exists(m_mainApplicazione), "leftover main/belcor.ini beside the test");
}

void TstParametriIni::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    AzzeraSessione();
    m_msg = std::make_unique<MessaggiScriptati>();
    qputenv("QUARVEL_INSTALL_INI", percorso(QStringLiteral("inst/BelcorInst.ini")).toLocal8Bit());
    qputenv("QUARVEL_SYSTEM_DIR", percorso(QStringLiteral("sistema")).toLocal8Bit());
    qputenv("QUARVEL_DRIVE_X", m_dir->path().toLocal8Bit());
    QVERIFY(QDir().mkpath(percorso(QStringLiteral("corrente"))));
    QVERIFY(QDir::setCurrent(percorso(QStringLiteral("corrente"))));
    m_rilasci = 0;
    m_messaggiAlRilascio = -1;
    RegistraRilascioSessione([this] {
        ++m_rilasci;
        m_messaggiAlRilascio = static_cast<qsizetype>(m_msg->mostrati().size());
    });
    m_principale = percorso(QStringLiteral("belcor.ini"));
    m_parametri = percorso(QStringLiteral("ditta.ini"));
}

void TstParametriIni::cleanup() {
    QDir::setCurrent(m_correnteOriginale);
    QFile::remove(m_mainApplicazione);
    QDir().rmdir(QFileInfo(m_mainApplicazione).absolutePath());
    RegistraRilascioSessione({});
    m_msg.reset();
    AzzeraSessione();
}

QString TstParametriIni::candidato(const QString& etichetta) const {
    if (etichetta == QLatin1String("app"))
        return m_mainApplicazione;
    if (etichetta == QLatin1String("sistema"))
        return percorso(QStringLiteral("sistema/belcor.ini"));
    if (etichetta == QLatin1String("corrente"))
        return percorso(QStringLiteral("corrente/belcor.ini"));
    return percorso(etichetta + QStringLiteral("/belcor.ini"));
}

void TstParametriIni::trovaPrincipale_data() {
    QTest::addColumn<QString>("rigaComando");   // %D: the test folder
    QTest::addColumn<QString>("iniPrincipale"); // in the installation file; empty: no file
    QTest::addColumn<QStringList>("esistenti"); // candidates on disk
    QTest::addColumn<QString>("atteso");        // the candidate chosen; empty: none

    const QStringList tutti = {"opz", "inst", "c1", "c2", "sistema", "corrente"};
    QTest::newRow("/I esistente") << "/M 3 /I \"%D/opz/belcor.ini\" /P x"
                                  << "%D/inst/belcor.ini" << tutti << "opz";
    QTest::newRow("/I mancante: file di installazione") << "/I%D/manca.ini"
                                                        << "%D/inst/belcor.ini" << tutti << "inst";
    QTest::newRow("installazione con percorso Windows")
        << ""
        << "X:\\inst\\belcor.ini" << QStringList{"inst", "sistema"} << "inst";
    QTest::newRow("/I e installazione mancanti: cartella 1")
        << "/I \"%D/manca.ini\""
        << "%D/manca/belcor.ini" << QStringList{"c1", "c2", "sistema"} << "c1";
    QTest::newRow("cartella 2") << ""
                                << "" << QStringList{"c2", "sistema", "corrente"} << "c2";
    QTest::newRow("cartella di sistema")
        << ""
        << "" << QStringList{"sistema", "corrente", "app"} << "sistema";
    QTest::newRow("main dell'applicazione") << ""
                                            << "" << QStringList{"app", "corrente"} << "app";
    QTest::newRow("cartella corrente") << ""
                                       << "" << QStringList{"corrente"} << "corrente";
    QTest::newRow("nessuno") << "/I%D/manca.ini"
                             << "%D/manca.ini" << QStringList{} << "";
}

void TstParametriIni::trovaPrincipale() {
    QFETCH(QString, rigaComando);
    QFETCH(QString, iniPrincipale);
    QFETCH(QStringList, esistenti);
    QFETCH(QString, atteso);
    rigaComando.replace(QLatin1String("%D"), m_dir->path());
    iniPrincipale.replace(QLatin1String("%D"), m_dir->path());

    if (!iniPrincipale.isEmpty())
        QVERIFY(Metti(FileInstallazione(),
                      "[Setup]\r\nIniPrincipale=" + iniPrincipale.toLocal8Bit() + "\r\n"));
    for (const QString& e : esistenti)
        QVERIFY(Metti(candidato(e), "[Parametri Generali]\nOrdIniDBase=\n"));

    const int esito =
        TrovaFileIniPrincipale(QStringLiteral("belcor.ini"), percorso(QStringLiteral("c1/")),
                               percorso(QStringLiteral("c2/")), rigaComando);

    if (atteso.isEmpty()) {
        QCOMPARE(esito, -1);
        QVERIFY(Sessione().FileIniPrincipale.isEmpty());
        QCOMPARE(m_msg->mostrati().size(), size_t(1));
        const auto& m = m_msg->mostrati().front();
        QCOMPARE(m.tipo, MessaggiScriptati::Tipo::MsgBox);
        QCOMPARE(m.testo, QStringLiteral("File ini non trovato\r\nSistemare e rieseguire"));
        QCOMPARE(m.stile, int(vbCritical));
        QCOMPARE(m_rilasci, 1);
        QCOMPARE(m_messaggiAlRilascio, 0); // released before the message
    } else {
        QCOMPARE(esito, 0);
        QCOMPARE(QDir::cleanPath(Sessione().FileIniPrincipale), QDir::cleanPath(candidato(atteso)));
        QVERIFY(m_msg->mostrati().empty());
        QCOMPARE(m_rilasci, 0);
    }
}

void TstParametriIni::principaleDalMenu() {
    // Given by the menu: kept even when other candidates exist.
    QVERIFY(Metti(candidato(QStringLiteral("corrente")), "[A]\n"));
    Sessione().FileIniPrincipale = QStringLiteral("X:\\menu\\belcor.ini");
    QCOMPARE(TrovaFileIniPrincipale(QStringLiteral("belcor.ini"), {}, {}, {}), 0);
    QCOMPARE(Sessione().FileIniPrincipale, percorso(QStringLiteral("menu/belcor.ini")));
    QVERIFY(m_msg->mostrati().empty());
}

void TstParametriIni::sceltaSecondo_data() {
    QTest::addColumn<QByteArray>("principale");
    QTest::addColumn<QStringList>("risposte"); // answers to the input box, in order
    QTest::addColumn<bool>("chiede");          // the input box is shown
    QTest::addColumn<int>("esito");
    QTest::addColumn<QString>("secondo"); // FileIniParametri; %D: the test folder
    QTest::addColumn<QString>("visParam");

    const QByteArray lista = "[Lista File Ini]\r\n"
                             "OrdIniDBase1=%D/uno.ini\r\n"
                             "OrdIniDBase2=X:\\due.ini\r\n"
                             "OrdIniDBase3=%D/tre.ini\r\n";
    const QByteArray generale = "[Parametri Generali]\r\nOrdIniDBase=%D/generale.ini\r\n"
                                "VisParam=TUTTO\r\n";

    QTest::newRow("NumIni mancante")
        << generale + lista << QStringList{} << false << 0 << "%D/generale.ini"
        << "TUTTO";
    QTest::newRow("NumIni 0") << generale + "NumIni=0\r\n" + lista << QStringList{} << false << 0
                              << "%D/generale.ini"
                              << "TUTTO";
    QTest::newRow("NumIni 3, risposta 2, percorso Windows")
        << generale + "NumIni=3\r\n" + lista << QStringList{"2"} << true << 0 << "%D/due.ini"
        << "TUTTO";
    QTest::newRow("NumIni 3, risposta 5 fuori elenco")
        << generale + "NumIni=3\r\n" + lista << QStringList{"5"} << true << 0 << "%D/generale.ini"
        << "TUTTO";
    QTest::newRow("NumIni 2, risposta 3 oltre N ma presente")
        << generale + "NumIni=2\r\n" + lista << QStringList{" 3 "} << true << 0 << "%D/tre.ini"
        << "TUTTO";
    QTest::newRow("annullato") << generale + "NumIni=3\r\n" + lista << QStringList{""} << true << 0
                               << "%D/generale.ini"
                               << "TUTTO";
    QTest::newRow("risposta non numerica")
        << generale + "NumIni=3\r\n" + lista << QStringList{"due"} << true << 0 << "%D/generale.ini"
        << "TUTTO";
    QTest::newRow("OrdIniDBase vuoto: nessun secondo file")
        << QByteArray("[Parametri Generali]\nOrdIniDBase=\n") << QStringList{} << false << 0 << ""
        << "";
    QTest::newRow("OrdIniDBase mancante")
        << QByteArray("[Parametri Generali]\nNumIni=0\n") << QStringList{} << false << -1 << ""
        << "";
    QTest::newRow("scelta annullata e OrdIniDBase mancante")
        << "[Parametri Generali]\r\nNumIni=1\r\n" + lista << QStringList{""} << true << -1 << ""
        << "";
}

void TstParametriIni::sceltaSecondo() {
    QFETCH(QByteArray, principale);
    QFETCH(QStringList, risposte);
    QFETCH(bool, chiede);
    QFETCH(int, esito);
    QFETCH(QString, secondo);
    QFETCH(QString, visParam);
    principale.replace("%D", m_dir->path().toLocal8Bit());
    secondo.replace(QLatin1String("%D"), m_dir->path());
    QVERIFY(Metti(m_principale, principale));
    Sessione().FileIniPrincipale = m_principale;
    for (const QString& r : risposte)
        m_msg->rispondi(r);

    QString vis = QStringLiteral("prima");
    QCOMPARE(ScegliFileIniParametri(vis), esito);

    const auto& mostrati = m_msg->mostrati();
    const bool inputMostrato =
        !mostrati.empty() && mostrati.front().tipo == MessaggiScriptati::Tipo::Input;
    QCOMPARE(inputMostrato, chiede);
    if (chiede) {
        QCOMPARE(mostrati.front().titolo, QStringLiteral("Scelta dell'INI"));
        QCOMPARE(mostrati.front().predefinito, QStringLiteral("0"));
    }
    QVERIFY(!m_msg->rispostePendenti());
    if (esito == 0) {
        QCOMPARE(Sessione().FileIniParametri, secondo);
        QCOMPARE(vis, visParam);
        QCOMPARE(mostrati.size(), size_t(chiede ? 1 : 0));
        QCOMPARE(m_rilasci, 0);
    } else {
        QCOMPARE(mostrati.size(), size_t(chiede ? 2 : 1));
        const auto& m = mostrati.back();
        QCOMPARE(m.tipo, MessaggiScriptati::Tipo::MsgBox);
        QCOMPARE(m.testo, QStringLiteral("File di inizializzazione non trovato\n"
                                         "o con informazioni non corrette.\n"
                                         "Correggere e rieseguire il programma."));
        QCOMPARE(m.stile, int(vbCritical));
        QCOMPARE(m_rilasci, 1);
        QCOMPARE(m_messaggiAlRilascio, qsizetype(mostrati.size() - 1));
    }
}

void TstParametriIni::sceltaElencoConVoceMancante() {
    // NumIni 2 with only entry 1: the second line ends at the arrow.
    QVERIFY(Metti(m_principale, "[Parametri Generali]\r\nNumIni=2\r\nOrdIniDBase=g.ini\r\n"
                                "[Lista File Ini]\r\nOrdIniDBase1=C:\\Dati\\Ditta1.ini\r\n"));
    Sessione().FileIniPrincipale = m_principale;
    m_msg->rispondi(QStringLiteral("1"));
    QString vis;
    QCOMPARE(ScegliFileIniParametri(vis), 0);
    QCOMPARE(m_msg->mostrati().size(), size_t(1));
    QCOMPARE(m_msg->mostrati().front().testo,
             QStringLiteral("Numero di ini scelto\r\n(da 0 a  2)\r\n 1 -> C:\\Dati\\Ditta1.ini\r\n"
                            " 2 -> "));
    QCOMPARE(Sessione().FileIniParametri, PercorsoLocale(QStringLiteral("C:\\Dati\\Ditta1.ini")));
}

void TstParametriIni::fileIllegibile_data() {
    // What stands where a parameter file should be, and what the message says.
    QTest::addColumn<bool>("principale"); // the main file, or the second one
    QTest::addColumn<QString>("come");    // "cartella" or "mancante"
    QTest::addColumn<QString>("causa");
    QTest::newRow("principale: una cartella") << true << "cartella"
                                              << "(è una cartella).";
    QTest::newRow("principale mancante") << true << "mancante"
                                         << "(il file non esiste).";
    QTest::newRow("secondo: una cartella") << false << "cartella"
                                           << "(è una cartella).";
}

void TstParametriIni::fileIllegibile() {
    // The operator is told which file cannot be read and why, and the start
    // stops with the session's objects released.
    QFETCH(bool, principale);
    QFETCH(QString, come);
    QFETCH(QString, causa);
    const QString secondo = percorso(QStringLiteral("ditta.ini"));
    const QString guasto = principale ? m_principale : secondo;
    if (!principale)
        QVERIFY(Metti(m_principale, QByteArray("[Parametri Generali]\nOrdIniDBase=") +
                                        secondo.toLocal8Bit() + "\n"));
    if (come == QLatin1String("cartella"))
        QVERIFY(QDir().mkpath(guasto));
    Sessione().FileIniPrincipale = m_principale;

    QString vis;
    QCOMPARE(ScegliFileIniParametri(vis), -1);
    QCOMPARE(m_msg->mostrati().size(), size_t(1));
    const auto& m = m_msg->mostrati().front();
    QCOMPARE(m.tipo, MessaggiScriptati::Tipo::MsgBox);
    QCOMPARE(m.stile, int(vbCritical));
    QCOMPARE(m.testo, QStringLiteral("Impossibile leggere il file dei parametri\n%1\n%2\n"
                                     "Correggere e rieseguire il programma.")
                          .arg(guasto, causa));
    QCOMPARE(m_rilasci, 1);
}

void TstParametriIni::leggiIni_data() {
    QTest::addColumn<bool>("conSecondo");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("stato");
    QTest::addColumn<QString>("valore");

    QTest::newRow("solo nel principale") << true << "SoloP"
                                         << "1"
                                         << "p";
    QTest::newRow("solo nel secondo") << true << "SoloS"
                                      << "2"
                                      << "s";
    QTest::newRow("in entrambi: il principale") << true << "Tutti"
                                                << "1"
                                                << "da p";
    QTest::newRow("in nessuno") << true << "Nessuno"
                                << "0"
                                << "predefinito";
    QTest::newRow("valore vuoto trovato") << true << "Vuota"
                                          << "2"
                                          << "";
    QTest::newRow("senza secondo file") << false << "SoloS"
                                        << "0"
                                        << "predefinito";
}

void TstParametriIni::leggiIni() {
    QFETCH(bool, conSecondo);
    QFETCH(QString, chiave);
    QFETCH(QString, stato);
    QFETCH(QString, valore);
    QVERIFY(Metti(m_principale, "[Base]\r\nSoloP=p\r\nTutti=da p\r\n"));
    QVERIFY(Metti(m_parametri, "[base]\nSoloS=s\nTutti=da s\nVuota=\n"));
    Sessione().FileIniPrincipale = m_principale;
    Sessione().FileIniParametri = conSecondo ? m_parametri : QString();

    QString v = QStringLiteral("prima");
    QCOMPARE(LeggiIni(QStringLiteral("Base"), chiave, QStringLiteral("predefinito"), v), stato);
    QCOMPARE(v, valore);
}

void TstParametriIni::scriviIni_data() {
    QTest::addColumn<bool>("conSecondo");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<bool>("mostraMsg");
    QTest::addColumn<bool>("crea");
    QTest::addColumn<int>("livello");
    QTest::addColumn<int>("cancSezione");
    QTest::addColumn<int>("cancChiave");
    QTest::addColumn<QString>("nomeFile"); // %D: the test folder; empty: not given
    QTest::addColumn<bool>("riuscito");
    QTest::addColumn<QByteArray>("principaleDopo");
    QTest::addColumn<QByteArray>("secondoDopo");
    QTest::addColumn<QString>("messaggio"); // the stage shown; empty: no message

    const QByteArray p = "[Stampa]\r\nStaVid=S\r\n";
    const QByteArray s = "[Stampa]\nNomeStampante=Ufficio\nCassetto=1\n";

    QTest::newRow("chiave nel principale") << true << "STAMPA"
                                           << "stavid" << false << true << 1 << 0 << 0 << "" << true
                                           << QByteArray("[Stampa]\r\nStaVid=nuovo\r\n") << s << "";
    QTest::newRow("chiave solo nel secondo: riscritta li'")
        << true << "Stampa"
        << "NomeStampante" << false << true << 1 << 0 << 0 << "" << true << p
        << QByteArray("[Stampa]\nNomeStampante=nuovo\nCassetto=1\n") << "";
    QTest::newRow("in nessuno, livello 1: principale")
        << true << "Stampa"
        << "FileName" << false << true << 1 << 0 << 0 << "" << true
        << QByteArray("[Stampa]\r\nStaVid=S\r\nFileName=nuovo\r\n") << s << "";
    QTest::newRow("in nessuno, livello 2: secondo")
        << true << "Nuova"
        << "FileName" << false << true << 2 << 0 << 0 << "" << true << p
        << s + "[Nuova]\nFileName=nuovo\n"
        << "";
    QTest::newRow("livello 2 senza secondo file: principale")
        << false << "Stampa"
        << "FileName" << false << true << 2 << 0 << 0 << "" << true
        << QByteArray("[Stampa]\r\nStaVid=S\r\nFileName=nuovo\r\n") << s << "";
    QTest::newRow("Crea falso: nulla, con messaggio")
        << true << "Stampa"
        << "FileName" << true << false << 1 << 0 << 0 << "" << false << p << s
        << "durante la ricerca";
    QTest::newRow("Crea falso: nulla, senza messaggio")
        << true << "Stampa"
        << "FileName" << false << false << 2 << 0 << 0 << "" << false << p << s << "";
    QTest::newRow("Crea falso ma chiave presente")
        << true << "Stampa"
        << "Cassetto" << false << false << 1 << 0 << 0 << "" << true << p
        << QByteArray("[Stampa]\nNomeStampante="
                      "Ufficio\nCassetto=nuovo\n")
        << "";
    QTest::newRow("CancSezione, chiave qualsiasi")
        << true << "Stampa"
        << "Qualsiasi" << false << true << 1 << -1 << 0 << "" << true << QByteArray("") << s << "";
    QTest::newRow("CancSezione dove sta la chiave")
        << true << "Stampa"
        << "Cassetto" << false << true << 1 << 1 << 0 << "" << true << p << QByteArray("") << "";
    QTest::newRow("CancChiave") << true << "Stampa"
                                << "Cassetto" << false << true << 1 << 0 << -1 << "" << true << p
                                << QByteArray("[Stampa]\nNomeStampante=Ufficio\n") << "";
    QTest::newRow("NomeFile dato") << true << "Stampa"
                                   << "StaVid" << false << true << 1 << 0 << 0 << "%D/ditta.ini"
                                   << true << p << s + "StaVid=nuovo\n"
                                   << "";
    QTest::newRow("NomeFile Windows") << true << "Stampa"
                                      << "StaVid" << false << true << 1 << 0 << 0 << "X:\\ditta.ini"
                                      << true << p << s + "StaVid=nuovo\n"
                                      << "";
}

void TstParametriIni::scriviIni() {
    QFETCH(bool, conSecondo);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(bool, mostraMsg);
    QFETCH(bool, crea);
    QFETCH(int, livello);
    QFETCH(int, cancSezione);
    QFETCH(int, cancChiave);
    QFETCH(QString, nomeFile);
    QFETCH(bool, riuscito);
    QFETCH(QByteArray, principaleDopo);
    QFETCH(QByteArray, secondoDopo);
    QFETCH(QString, messaggio);

    QVERIFY(Metti(m_principale, "[Stampa]\r\nStaVid=S\r\n"));
    QVERIFY(Metti(m_parametri, "[Stampa]\nNomeStampante=Ufficio\nCassetto=1\n"));
    Sessione().FileIniPrincipale = m_principale;
    Sessione().FileIniParametri = conSecondo ? m_parametri : QString();
    std::optional<QString> nome;
    if (!nomeFile.isEmpty())
        nome = QString(nomeFile).replace(QLatin1String("%D"), m_dir->path());

    QCOMPARE(ScriviIni(sezione, chiave, QStringLiteral("nuovo"), mostraMsg, crea,
                       static_cast<qint16>(livello), static_cast<qint16>(cancSezione),
                       static_cast<qint16>(cancChiave), nome),
             riuscito);
    QCOMPARE(Leggi(m_principale), principaleDopo);
    QCOMPARE(Leggi(m_parametri), secondoDopo);
    if (messaggio.isEmpty()) {
        QVERIFY(m_msg->mostrati().empty());
    } else {
        QCOMPARE(m_msg->mostrati().size(), size_t(1));
        const auto& m = m_msg->mostrati().front();
        QCOMPARE(m.tipo, MessaggiScriptati::Tipo::MsgBox);
        QCOMPARE(m.stile, int(vbOKOnly));
        QCOMPARE(m.testo, QStringLiteral("Aggiornamento del valore : nuovo\r\n") +
                              QStringLiteral("nella sezione : ") + sezione + CrLf +
                              QStringLiteral("parametro : ") + chiave + CrLf +
                              QStringLiteral("NON RIUSCITO.\r\n") + messaggio);
    }
}

void TstParametriIni::scriviIniFallitaScrittura() {
    // The key lives in a file whose folder has gone: the write fails.
    QVERIFY(Metti(m_principale, "[Stampa]\r\nStaVid=S\r\n"));
    Sessione().FileIniPrincipale = m_principale;
    const QString altrove = percorso(QStringLiteral("sparita/x.ini"));

    QVERIFY(!ScriviIni(QStringLiteral("Stampa"), QStringLiteral("StaVid"), QStringLiteral("V"),
                       true, std::nullopt, 1, 0, 0, altrove));
    QVERIFY(!QFile::exists(altrove));
    QCOMPARE(m_msg->testi(),
             QStringList{QStringLiteral("Aggiornamento del valore : V\r\nnella sezione : Stampa\r\n"
                                        "parametro : StaVid\r\nNON RIUSCITO.\r\n"
                                        "durante l' aggiornamento(1)")});
    QCOMPARE(m_msg->mostrati().front().stile, int(vbOKOnly));

    // Without MostraMsg the same failure is silent; the defaults are
    // MostraMsg False and Crea True.
    m_msg->azzera();
    QVERIFY(!ScriviIni(QStringLiteral("Stampa"), QStringLiteral("StaVid"), QStringLiteral("V"),
                       std::nullopt, std::nullopt, 1, 0, 0, altrove));
    QVERIFY(m_msg->mostrati().empty());
    QVERIFY(ScriviIni(QStringLiteral("Altra"), QStringLiteral("Nuova"), QStringLiteral("V")));
    QCOMPARE(Leggi(m_principale), QByteArray("[Stampa]\r\nStaVid=S\r\n[Altra]\r\nNuova=V\r\n"));
}

QTEST_GUILESS_MAIN(TstParametriIni)
#include "tst_parametriini.moc"
