// The company database connection: the kinds of database name, the texts the
// engine connection is opened with, the opening through the data-access
// component with its login retry and password refusal, the choice of the
// parameter files with the parameter display and the repair offer, the common
// database, and real SQLite files (and PostgreSQL when the test server runs).

#include "Finti.h"
#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "database/Connessione.h"
#include "database/FrmConn.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quarvel;
using prova::ComponenteFinto;
using prova::MenuFinto;
using prova::UtilitaProva;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString CRLF = QStringLiteral("\r\n");

void Scrivi(const QString& percorso, const QString& testo) {
    QFile f(percorso);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(percorso));
    f.write(testo.toUtf8());
}

QList<int> Interi(std::initializer_list<int> l) {
    return QList<int>(l);
}

// The real data-access component, with a hook run after each opening that
// went through.
class ComponenteVero final : public IComponenteDati {
public:
    std::unique_ptr<IComponenteDati> r = CreaComponenteDati();
    std::function<void()> dopoApertura;
    QStringList chiusi;

    QString Parametro(const QString& n) const override { return r->Parametro(n); }
    void ImpostaParametro(const QString& n, const QString& v) override {
        r->ImpostaParametro(n, v);
    }
    void Apri(const QString& nome, int o, bool e, bool l, const QString& c,
              QString& risposta) override {
        r->Apri(nome, o, e, l, c, risposta);
        if (dopoApertura)
            dopoApertura();
    }
    void Chiudi(const QString& c) override {
        chiusi << c;
        r->Chiudi(c);
    }
    std::unique_ptr<IRecordset> ApriRecordset(const QString& sql, const QString& c) override {
        return r->ApriRecordset(sql, c);
    }
    qint64 Esegui(const QString& sql, const QString& c) override { return r->Esegui(sql, c); }
    void Inizia(const QString& c) override { r->Inizia(c); }
    void Conferma(const QString& c) override { r->Conferma(c); }
    void Annulla(const QString& c) override { r->Annulla(c); }
    QString Traduci(const QString& sql, const QString& c) const override {
        return r->Traduci(sql, c);
    }
    QSqlDatabase Database(const QString& c) const override { return r->Database(c); }
};

} // namespace

class TstDatabase : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MenuFinto> menu;
    std::unique_ptr<UtilitaProva> utilita;
    int rilasci = 0;

    QString Percorso(const QString& nome) const { return dir->filePath(nome); }

    // A main parameter file that names one second file, and that second file
    // with the connection section.
    void PreparaIni(const QString& visParam, const QString& connessioni) {
        Scrivi(Percorso(QStringLiteral("belcor.ini")),
               QStringLiteral("[Parametri Generali]\nOrdIniDBase=%1\nVisParam=%2\n")
                   .arg(Percorso(QStringLiteral("ditta1.ini")), visParam));
        Scrivi(Percorso(QStringLiteral("ditta1.ini")), connessioni);
        Sessione().FileIniPrincipale = Percorso(QStringLiteral("belcor.ini"));
    }

    ParametriScegliIni Avvio() const {
        ParametriScegliIni p;
        p.NomeNoto = -1;
        p.ComponiDrive = -1;
        p.Connetti = -1;
        p.ScaricaConn = 0;
        return p;
    }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void tipiDiNome_data();
    void tipiDiNome();
    void testiMotore_data();
    void testiMotore();

    void apriDbDittaCredenziali_data();
    void apriDbDittaCredenziali();
    void apriDbDittaErrori_data();
    void apriDbDittaErrori();
    void apriDbDittaDanneggiatoAlChiamante();

    void scegliNomeDalMenu();
    void scegliNomeDaiParametri();
    void scegliNomeDbMancante();
    void scegliVisParam_data();
    void scegliVisParam();
    void scegliVisParamNoRisceglie();
    void scegliRecupero_data();
    void scegliRecupero();
    void scegliAltroErrore();
    void scegliSenzaConnettere();

    void apriDbMenu();
    void apriDbMenuMancante();
    void apriDbMenuDanneggiatoDopoComponente();

    void sqliteVero();
    void sqliteDanneggiato_data();
    void sqliteDanneggiato();
    void recuperoDopoApertura_data();
    void recuperoDopoApertura();
    void postgres();

    void finestraCentrataEDidascalie_data();
    void finestraCentrataEDidascalie();
    void finestraScaricata();
    void fotografia();
};

void TstDatabase::initTestCase() {
    quarvel::dati::Registra();
    static UtilitaSuite reale;
    utilita = std::make_unique<UtilitaProva>(reale);
    ImpostaUtilita(utilita.get());
    RegistraRilascioSessione([this] { ++rilasci; });
}

void TstDatabase::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    AzzeraSessione();
    ScaricaFrmConn();
    DbComune() = DatabaseComune{};
    menu = std::make_unique<MenuFinto>();
    Sessione().MenuClient = menu.get();
    utilita->riparazione = nullptr;
    utilita->riparati.clear();
    rilasci = 0;
}

void TstDatabase::cleanup() {
    ScaricaFrmConn();
    AzzeraSessione();
    DbComune() = DatabaseComune{};
    for (const QString& c : QSqlDatabase::connectionNames())
        QSqlDatabase::removeDatabase(c);
}

// ---- kinds of name and engine texts --------------------------------------------------

void TstDatabase::tipiDiNome_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<bool>("sql");
    QTest::addColumn<bool>("file");

    QTest::newRow("file con unità") << "C:\\Dati\\Ditta.mdb" << false << true;
    QTest::newRow("file posix") << "/srv/quarvel/ditta.db" << false << true;
    QTest::newRow("origine dati") << "ditta" << true << false;
    QTest::newRow("file dsn") << "ditta.dsn" << true << true;
    QTest::newRow("file DSN maiuscolo") << "D:\\odbc\\DITTA.DSN" << true << true;
    QTest::newRow("testo odbc") << "ODBC;DSN=ditta;UID=a" << true << false;
    QTest::newRow("testo odbc minuscolo con punto") << "odbc;FILEDSN=x.dsn" << true << false;
    QTest::newRow("odbc senza punto e virgola") << "ODBCditta.db" << false << true;
    QTest::newRow("dsn non in fondo") << "ditta.dsn.bak" << false << true;
}

void TstDatabase::tipiDiNome() {
    QFETCH(QString, nome);
    QFETCH(bool, sql);
    QFETCH(bool, file);
    QCOMPARE(EDbSql(nome), sql);
    QCOMPARE(EDbFile(nome), file);
}

void TstDatabase::testiMotore_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("nomeDatabase");
    QTest::addColumn<std::optional<QString>>("connessione");

    using T = std::optional<QString>;
    QTest::newRow("file: niente credenziali") << "D:\\Dati\\Ditta.mdb"
                                              << "mario"
                                              << "segreta"
                                              << "D:\\Dati\\Ditta.mdb" << T();
    QTest::newRow("origine dati completa") << "ditta"
                                           << "mario"
                                           << "segreta"
                                           << "" << T("ODBC;DSN=ditta;UID=mario;PWD=segreta");
    QTest::newRow("origine dati senza password") << "ditta"
                                                 << "mario"
                                                 << ""
                                                 << "" << T("ODBC;DSN=ditta;UID=mario");
    QTest::newRow("login vuoto") << "ditta"
                                 << ""
                                 << "segreta"
                                 << "" << T("ODBC;DSN=ditta;");
    QTest::newRow("login di soli spazi") << "ditta"
                                         << "  "
                                         << "x"
                                         << "" << T("ODBC;DSN=ditta;");
    QTest::newRow("file dsn") << "D:\\ODBC\\DITTA.DSN"
                              << "mario"
                              << "pw"
                              << "" << T("ODBC;FIleDSN=D:\\ODBC\\DITTA.DSN;UID=mario;PWD=pw");
    QTest::newRow("file dsn senza login") << "ditta.dsn"
                                          << ""
                                          << ""
                                          << "" << T("ODBC;FIleDSN=ditta.dsn;");
    QTest::newRow("testo odbc invariato") << "odbc;DSN=ditta;UID=x"
                                          << "mario"
                                          << "pw"
                                          << "" << T("odbc;DSN=ditta;UID=x");
    QTest::newRow("password con punto e virgola")
        << "ditta"
        << "mario"
        << "a;DRIVER=x"
        << "" << T("ODBC;DSN=ditta;UID=mario;PWD={a;DRIVER=x}");
    QTest::newRow("password con graffe") << "ditta"
                                         << "mario"
                                         << "{a}b;"
                                         << "" << T("ODBC;DSN=ditta;UID=mario;PWD={{a}}b;}");
    QTest::newRow("password con spazi attorno") << "ditta"
                                                << "mario"
                                                << " pw "
                                                << "" << T("ODBC;DSN=ditta;UID=mario;PWD={ pw }");
    QTest::newRow("graffa chiusa sola resta") << "ditta"
                                              << "ma}rio"
                                              << "p}w"
                                              << "" << T("ODBC;DSN=ditta;UID=ma}rio;PWD=p}w");
}

void TstDatabase::testiMotore() {
    QFETCH(QString, nome);
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, nomeDatabase);
    QFETCH(std::optional<QString>, connessione);

    const AperturaDao a = TestoAperturaDao(nome, login, password);
    QCOMPARE(a.nomeDatabase, nomeDatabase);
    QCOMPARE(a.connessione, connessione);
    QCOMPARE(a.opzioni, false);
    QCOMPARE(a.solaLettura, false);
}

// ---- ApriDbDitta ------------------------------------------------------------------------

void TstDatabase::apriDbDittaCredenziali_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("pubPwd");   // DbSqlPubPWD already set in the component
    QTest::addColumn<QString>("sqlLogin"); // the menu's SqlLogin before the opening
    QTest::addColumn<int>("richiestePwd"); // times the menu was asked for the login
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QString>("pwd");
    QTest::addColumn<QString>("accPwd");

    QTest::newRow("file: password al componente") << "ditta.db"
                                                  << ""
                                                  << "" << 0 << ""
                                                  << ""
                                                  << "segreta";
    QTest::newRow("testo odbc: password al componente") << "ODBC;DSN=x"
                                                        << ""
                                                        << "" << 0 << ""
                                                        << ""
                                                        << "segreta";
    QTest::newRow("origine dati senza login: lo chiede") << "ditta"
                                                         << ""
                                                         << "" << 1 << "dal"
                                                         << "dialogo"
                                                         << "";
    QTest::newRow("origine dati con login del menu") << "ditta"
                                                     << ""
                                                     << "mario" << 0 << "mario"
                                                     << "pw-menu"
                                                     << "";
    QTest::newRow("file dsn con login del menu") << "ditta.dsn"
                                                 << ""
                                                 << "mario" << 0 << "mario"
                                                 << "pw-menu"
                                                 << "";
    QTest::newRow("origine dati già autenticata") << "ditta"
                                                  << "gia"
                                                  << "" << 0 << ""
                                                  << "gia"
                                                  << "";
}

void TstDatabase::apriDbDittaCredenziali() {
    QFETCH(QString, nome);
    QFETCH(QString, pubPwd);
    QFETCH(QString, sqlLogin);
    QFETCH(int, richiestePwd);
    QFETCH(QString, uid);
    QFETCH(QString, pwd);
    QFETCH(QString, accPwd);

    MessaggiScriptati msg;
    ComponenteFinto c;
    if (!pubPwd.isEmpty())
        c.parametri[QStringLiteral("DbSqlPubPWD")] = pubPwd;
    if (!sqlLogin.isEmpty()) {
        menu->valori[QStringLiteral("SqlLogin")] = sqlLogin;
        menu->valori[QStringLiteral("SqlPwd")] = QStringLiteral("pw-menu");
    }
    menu->loginDaDialogo.push_back({QStringLiteral("dal"), QStringLiteral("dialogo")});

    const QString r = ApriDbDitta(c, nome, QStringLiteral("segreta"), QStringLiteral("  "));
    QCOMPARE(r, c.risposta);
    QCOMPARE(menu->richiestePwdSql(), richiestePwd);
    QCOMPARE(c.chiamate.size(), size_t(1));
    const auto& k = c.chiamate.front();
    QCOMPARE(k.nome, nome);
    QCOMPARE(k.opzioni, 0);
    QCOMPARE(k.esclusivo, false);
    QCOMPARE(k.solaLettura, false);
    QCOMPARE(k.connessione, QString()); // blanks only: no connection text
    QCOMPARE(k.uid, uid);
    QCOMPARE(k.pwd, pwd);
    QCOMPARE(k.accPwd, accPwd);
    QVERIFY(msg.testi().isEmpty());
}

void TstDatabase::apriDbDittaErrori_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QList<int>>("esiti");    // outcomes of the successive Apri calls
    QTest::addColumn<QList<int>>("risposte"); // the operator's answers
    QTest::addColumn<QString>("atteso");
    QTest::addColumn<QStringList>("testi");
    QTest::addColumn<QStringList>("pulsanti"); // buttons of the last message
    QTest::addColumn<int>("richiestePwd");

    const QString login = QStringLiteral("Utente o password non validi per SQL");
    const QStringList riprova{QStringLiteral("&Riprovare"), QStringLiteral("&Annulla")};
    const QStringList ok{QStringLiteral("&Ok")};

    QTest::newRow("login annullato, riprova e riesce")
        << "ditta" << Interi({3059, 0}) << Interi({1}) << "ditta#1" << QStringList{login} << riprova
        << 2;
    QTest::newRow("login annullato due volte")
        << "ditta.dsn" << Interi({3059, 3059, 0}) << Interi({1, 1}) << "ditta#1"
        << QStringList{login, login} << riprova << 3;
    QTest::newRow("login annullato, annulla")
        << "ditta" << Interi({3059}) << Interi({2}) << "" << QStringList{login} << riprova << 1;
    QTest::newRow("login annullato, finestra chiusa")
        << "ditta" << Interi({3059}) << Interi({0}) << "" << QStringList{login} << riprova << 1;
    QTest::newRow("3059 su un file è un errore qualsiasi")
        << "ditta.db" << Interi({3059}) << Interi({1}) << "Err: 3059"
        << QStringList{QStringLiteral("Errore(3059): apertura rifiutata (3059) - ComponenteFinto")}
        << ok << 0;
    QTest::newRow("password non valida")
        << "ditta.db" << Interi({3031}) << Interi({1}) << "Err: 3031"
        << QStringList{QStringLiteral("Password non valida per questo database")} << ok << 0;
    QTest::newRow("chiamata odbc fallita")
        << "ODBC;DSN=x" << Interi({3146}) << Interi({1}) << "Err: 3146"
        << QStringList{QStringLiteral("Errore(3146): apertura rifiutata (3146) - ComponenteFinto")}
        << ok << 0;
    QTest::newRow("file mancante")
        << "ditta.db" << Interi({53}) << Interi({1}) << "Err: 53"
        << QStringList{QStringLiteral("Errore(53): apertura rifiutata (53) - ComponenteFinto")}
        << ok << 0;
}

void TstDatabase::apriDbDittaErrori() {
    QFETCH(QString, nome);
    QFETCH(QList<int>, esiti);
    QFETCH(QList<int>, risposte);
    QFETCH(QString, atteso);
    QFETCH(QStringList, testi);
    QFETCH(QStringList, pulsanti);
    QFETCH(int, richiestePwd);

    MessaggiScriptati msg;
    for (int r : risposte)
        msg.rispondi(r);
    ComponenteFinto c;
    c.esiti.assign(esiti.begin(), esiti.end());
    menu->loginDaDialogo = {{QStringLiteral("u1"), QStringLiteral("p1")},
                            {QStringLiteral("u2"), QStringLiteral("p2")},
                            {QStringLiteral("u3"), QStringLiteral("p3")}};

    QCOMPARE(ApriDbDitta(c, nome, QStringLiteral("pw"), QString()), atteso);
    QCOMPARE(msg.testi(), testi);
    QCOMPARE(msg.mostrati().back().pulsanti, pulsanti);
    QCOMPARE(msg.mostrati().back().tipo, MessaggiScriptati::Tipo::MsgCom);
    QCOMPARE(menu->richiestePwdSql(), richiestePwd);
    if (richiestePwd > 0) {
        // every retry opens with the login the menu's dialog gave last
        QCOMPARE(c.chiamate.back().uid, QStringLiteral("u%1").arg(richiestePwd));
        QCOMPARE(c.chiamate.back().pwd, QStringLiteral("p%1").arg(richiestePwd));
    }
}

void TstDatabase::apriDbDittaDanneggiatoAlChiamante() {
    MessaggiScriptati msg;
    ComponenteFinto c;
    c.esiti = {3343};
    try {
        ApriDbDitta(c, QStringLiteral("ditta.db"), QString(), QString());
        QFAIL("a damaged file must reach the caller");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), 3343);
    }
    QVERIFY(msg.testi().isEmpty());
}

// ---- ScegliIniEConnetti -------------------------------------------------------------------

void TstDatabase::scegliNomeDalMenu() {
    MessaggiScriptati msg;
    PreparaIni(QString(), QStringLiteral("[Connessioni]\nNomeDB=altro.db\n"));
    Sessione().NomeDb = QStringLiteral("ditta.db");
    Sessione().ConnectDb = QStringLiteral(";PWD=x");
    menu->valori[QStringLiteral("PwdDbAzie")] = QStringLiteral("segreta");
    menu->valori[QStringLiteral("AccMenuPwd")] = QStringLiteral("comune");

    ComponenteFinto c;
    QString titoloDurante;
    bool visibileDurante = false;
    c.primaDiAprire = [&] {
        FrmConn* f = frmConnSeCaricata();
        QVERIFY(f);
        visibileDurante = f->isVisible();
        titoloDurante = f->windowTitle();
    };
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, Avvio()), 0);

    QCOMPARE(risultato, c.risposta);
    QCOMPARE(c.chiamate.size(), size_t(1));
    QCOMPARE(c.chiamate[0].nome, QStringLiteral("ditta.db"));
    QCOMPARE(c.chiamate[0].connessione, QStringLiteral(";PWD=x"));
    QCOMPARE(c.chiamate[0].accPwd, QStringLiteral("segreta"));
    QVERIFY(visibileDurante);
    QCOMPARE(titoloDurante, QStringLiteral("Connessione primaria al database"));
    QVERIFY(frmConnSeCaricata() && frmConnSeCaricata()->isVisible()); // stays for the data form
    QCOMPARE(Sessione().PwdDb, QStringLiteral("segreta"));
    QCOMPARE(Sessione().PwdDbMenu, QStringLiteral("comune"));
    QCOMPARE(Sessione().FileIniParametri, Percorso(QStringLiteral("ditta1.ini")));
    QCOMPARE(menu->letti.first(), QStringLiteral("PwdDbAzie")); // before the files
    QVERIFY(msg.testi().isEmpty());
    QCOMPARE(rilasci, 0);
}

void TstDatabase::scegliNomeDaiParametri() {
    MessaggiScriptati msg;
    PreparaIni(QString(), QStringLiteral("[Connessioni]\nNomeDB=ditta.db\nDriveDB=\nConnect=;X=1\n"
                                         "[Base]\nDirDB=%1\n")
                              .arg(dir->path()));
    ComponenteFinto c;
    QString logo, titolo, versione, data;
    c.primaDiAprire = [&] {
        FrmConn* f = frmConnSeCaricata();
        logo = f->imgLogo()->isVisibleTo(f) ? "si" : "no";
        titolo = f->labTitolo()->isVisibleTo(f) ? "si" : "no";
        versione = f->labVersione()->text();
        data = f->LabDataVer()->text();
    };
    ParametriScegliIni p = Avvio();
    p.NomeNoto = 0;
    p.ScaricaConn = -1;
    p.VediLogo = -1;
    p.VediTitolo = 1;
    p.Versione = QStringLiteral("Versione 9.1");
    p.Data = QStringLiteral("del 01/02/2027");
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, p), 0);

    QCOMPARE(Sessione().NomeDb, Percorso(QStringLiteral("ditta.db")));
    QCOMPARE(Sessione().ConnectDb, QStringLiteral(";X=1"));
    QCOMPARE(c.chiamate.at(0).nome, Percorso(QStringLiteral("ditta.db")));
    QCOMPARE(logo, QStringLiteral("si"));
    QCOMPARE(titolo, QStringLiteral("no"));
    QCOMPARE(versione, p.Versione);
    QCOMPARE(data, p.Data);
    QVERIFY(!frmConnSeCaricata()); // ScaricaConn unloads it
    QVERIFY(msg.testi().isEmpty());
}

void TstDatabase::scegliNomeDbMancante() {
    MessaggiScriptati msg;
    PreparaIni(QString(), QStringLiteral("[Connessioni]\nConnect=x\n"));
    ComponenteFinto c;
    ParametriScegliIni p = Avvio();
    p.NomeNoto = 0;
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, p), -1);

    QCOMPARE(msg.testi(),
             QStringList{QStringLiteral("File di inizializzazioni: \n") +
                         Percorso(QStringLiteral("belcor.ini")) +
                         QStringLiteral("\n non trovato  o con informazioni non corrette.\n"
                                        "Correggere e rieseguire il programma.")});
    QCOMPARE(msg.mostrati()[0].stile, int(vbCritical));
    QCOMPARE(rilasci, 1);
    QVERIFY(c.chiamate.empty());
}

void TstDatabase::scegliVisParam_data() {
    QTest::addColumn<QString>("visParam");
    QTest::addColumn<int>("risposta");
    QTest::addColumn<int>("esito");
    QTest::addColumn<bool>("domanda");
    QTest::addColumn<int>("aperture");

    QTest::newRow("TUTTO, sì") << "TUTTO" << int(vbYes) << 0 << true << 1;
    QTest::newRow("db1 minuscolo, sì") << "db1" << int(vbYes) << 0 << true << 1;
    QTest::newRow("DB1, annulla") << "DB1" << int(vbCancel) << -1 << true << 0;
    QTest::newRow("vuoto: nessuna domanda") << "" << 0 << 0 << false << 1;
    QTest::newRow("altro valore: nessuna domanda") << "DB2" << 0 << 0 << false << 1;
}

void TstDatabase::scegliVisParam() {
    QFETCH(QString, visParam);
    QFETCH(int, risposta);
    QFETCH(int, esito);
    QFETCH(bool, domanda);
    QFETCH(int, aperture);

    MessaggiScriptati msg;
    if (domanda)
        msg.rispondi(risposta);
    PreparaIni(visParam, QStringLiteral("[Connessioni]\nNomeDB=ditta.db\nConnect=ODBC;UID=x\n"));
    ComponenteFinto c;
    ParametriScegliIni p = Avvio();
    p.NomeNoto = 0;
    p.ComponiDrive = 0;
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, p), esito);
    QCOMPARE(int(c.chiamate.size()), aperture);
    QCOMPARE(rilasci, esito == 0 ? 0 : 1);
    if (domanda) {
        QCOMPARE(msg.testi(),
                 QStringList{QStringLiteral("Parametri letti:\r\nFile dei parametri: ") +
                             Percorso(QStringLiteral("ditta1.ini")) +
                             QStringLiteral("\r\nDatabase: ditta.db\r\nTipo Connessione: "
                                            "ODBC;UID=x\r\n")});
        QCOMPARE(msg.mostrati()[0].stile, int(vbYesNoCancel | vbQuestion));
    } else {
        QVERIFY(msg.testi().isEmpty());
    }
}

void TstDatabase::scegliVisParamNoRisceglie() {
    MessaggiScriptati msg;
    Scrivi(Percorso(QStringLiteral("belcor.ini")),
           QStringLiteral("[Parametri Generali]\nNumIni=2\nOrdIniDBase=%1\nVisParam=Tutto\n"
                          "[Lista File Ini]\nOrdIniDBase1=%1\nOrdIniDBase2=%2\n")
               .arg(Percorso(QStringLiteral("uno.ini")), Percorso(QStringLiteral("due.ini"))));
    Scrivi(Percorso(QStringLiteral("uno.ini")), QStringLiteral("[Connessioni]\nNomeDB=uno.db\n"));
    Scrivi(Percorso(QStringLiteral("due.ini")), QStringLiteral("[Connessioni]\nNomeDB=due.db\n"));
    Sessione().FileIniPrincipale = Percorso(QStringLiteral("belcor.ini"));
    msg.rispondi(QStringLiteral("1"));
    msg.rispondi(int(vbNo));
    msg.rispondi(QStringLiteral("2"));
    msg.rispondi(int(vbYes));

    ComponenteFinto c;
    ParametriScegliIni p = Avvio();
    p.NomeNoto = 0;
    p.ComponiDrive = 0;
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, p), 0);

    QCOMPARE(msg.nonRisposte(), 0);
    QCOMPARE(msg.mostrati().size(), size_t(4));
    QCOMPARE(msg.mostrati()[0].tipo, MessaggiScriptati::Tipo::Input);
    QVERIFY(msg.mostrati()[1].testo.contains(QStringLiteral("Database: uno.db\r\n")));
    QCOMPARE(msg.mostrati()[2].tipo, MessaggiScriptati::Tipo::Input);
    QVERIFY(msg.mostrati()[3].testo.contains(QStringLiteral("Database: due.db\r\n")));
    QCOMPARE(Sessione().FileIniParametri, Percorso(QStringLiteral("due.ini")));
    QCOMPARE(c.chiamate.size(), size_t(1));
    QCOMPARE(c.chiamate[0].nome, QStringLiteral("due.db"));
}

void TstDatabase::scegliRecupero_data() {
    QTest::addColumn<int>("risposta"); // to the repair offer
    QTest::addColumn<int>("esitoRiparazione");
    QTest::addColumn<int>("esito");
    QTest::addColumn<int>("riparazioni");
    QTest::addColumn<int>("aperture");

    QTest::addColumn<QString>("motivo");      // the repair's reason, as the current error
    QTest::addColumn<QString>("spiegazione"); // the message after a failed repair

    QTest::newRow("ok, riparato, riapre") << int(vbOK) << 0 << 0 << 1 << 2 << ""
                                          << "";
    QTest::newRow("ok, riparazione fallita")
        << int(vbOK) << 3343 << -1 << 1 << 1 << "Il file è illeggibile."
        << "Il database D:\\Dati\\ditta.db non è stato recuperato.\r\nIl file è illeggibile.";
    QTest::newRow("ok, riparazione fallita senza motivo")
        << int(vbOK) << 3343 << -1 << 1 << 1 << ""
        << "Il database D:\\Dati\\ditta.db non è stato recuperato.\r\nLa riparazione è "
           "terminata con l'errore 3343.";
    QTest::newRow("annulla") << int(vbCancel) << 0 << -1 << 0 << 1 << ""
                             << "";
}

void TstDatabase::scegliRecupero() {
    QFETCH(int, risposta);
    QFETCH(int, esitoRiparazione);
    QFETCH(int, esito);
    QFETCH(int, riparazioni);
    QFETCH(int, aperture);
    QFETCH(QString, motivo);
    QFETCH(QString, spiegazione);

    MessaggiScriptati msg;
    msg.rispondi(risposta);
    PreparaIni(QString(), QString());
    Sessione().NomeDb = QStringLiteral("D:\\Dati\\ditta.db");
    utilita->riparazione = [&](const QString&) {
        if (!motivo.isEmpty())
            ImpostaErrore(esitoRiparazione, motivo, QStringLiteral("RiparaDatabase"));
        return esitoRiparazione;
    };
    ComponenteFinto c;
    c.esiti = {3343, 0};
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, Avvio()), esito);

    // the question, and after a repair that could not be done its reason
    QStringList testi{QStringLiteral("Errore nell'apertura del database "
                                     "D:\\Dati\\ditta.db\r\nVuoi tentare di "
                                     "recuperarlo")};
    if (!spiegazione.isEmpty())
        testi << spiegazione;
    QCOMPARE(msg.testi(), testi);
    QCOMPARE(msg.mostrati()[0].stile, int(vbOKCancel | vbQuestion));
    if (!spiegazione.isEmpty())
        QCOMPARE(msg.mostrati()[1].stile, int(vbCritical));
    QCOMPARE(utilita->riparati.size(), riparazioni);
    if (riparazioni)
        QCOMPARE(utilita->riparati[0], QStringLiteral("D:\\Dati\\ditta.db"));
    QCOMPARE(int(c.chiamate.size()), aperture);
    QCOMPARE(risultato, esito == 0 ? c.risposta : QString());
    QCOMPARE(rilasci, esito == 0 ? 0 : 1);
}

void TstDatabase::scegliAltroErrore() {
    MessaggiScriptati msg;
    PreparaIni(QString(), QString());
    Sessione().NomeDb = QStringLiteral("ditta");
    ComponenteFinto c;
    c.errorePerParametro = 3146; // the component refuses the login parameters
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, Avvio()), -1);
    QCOMPARE(msg.testi(), QStringList{QStringLiteral("Errore  3146 nell'apertura del database.\n"
                                                     "Correggere e riprovare. (parametro "
                                                     "rifiutato) ")});
    QCOMPARE(msg.mostrati()[0].stile, int(vbCritical));
    QCOMPARE(rilasci, 1);
    QVERIFY(c.chiamate.empty());
}

void TstDatabase::scegliSenzaConnettere() {
    MessaggiScriptati msg;
    PreparaIni(QString(), QString());
    ComponenteFinto c;
    ParametriScegliIni p = Avvio();
    p.Connetti = 0;
    QString risultato = QStringLiteral("prima");
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), c, risultato, p), 0);
    QVERIFY(c.chiamate.empty());
    QVERIFY(!frmConnSeCaricata());
    QCOMPARE(risultato, QStringLiteral("prima"));
}

// ---- the common database --------------------------------------------------------------

void TstDatabase::apriDbMenu() {
    MessaggiScriptati msg;
    const QString comune = Percorso(QStringLiteral("comune.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
        db.setDatabaseName(comune);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(
            QStringLiteral("CREATE TABLE Appoggio (Codice TEXT PRIMARY KEY, Descr1 TEXT)")));
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("INSERT INTO Appoggio VALUES ('A', 'uno')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prep"));
    PreparaIni(
        QString(),
        QStringLiteral("[Menu]\nNomeDB=comune.db\nDriveDB=%1/\nConnect=\n").arg(dir->path()));
    Sessione().FileIniParametri = Percorso(QStringLiteral("ditta1.ini"));
    Sessione().PwdDbMenu = QStringLiteral("pw-comune");
    ComponenteFinto c;
    QString titoloDurante;
    c.primaDiAprire = [&] { titoloDurante = frmConnSeCaricata()->windowTitle(); };
    Sessione().ComponenteDati = &c;

    QCOMPARE(ApriDbMenu(), 0);
    QCOMPARE(DbComune().NomeDbMenu, comune);
    QCOMPARE(DbComune().DriveDbMenu, dir->path() + QLatin1Char('/'));
    QCOMPARE(DbComune().RisultatoConnessioneMenu, c.risposta);
    QCOMPARE(c.chiamate.at(0).accPwd, QStringLiteral("pw-comune"));
    QCOMPARE(titoloDurante, QStringLiteral("Connessione database Comune"));
    QVERIFY(!frmConnSeCaricata());
    QSqlQuery q(DbComune().DbMenu);
    QVERIFY2(q.exec(QStringLiteral("SELECT Descr1 FROM Appoggio WHERE Codice = 'A'")),
             qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("uno"));
    QVERIFY(msg.testi().isEmpty());
    QCOMPARE(rilasci, 0);
}

void TstDatabase::apriDbMenuMancante() {
    MessaggiScriptati msg;
    PreparaIni(QString(), QStringLiteral("[Connessioni]\nNomeDB=ditta.db\n"));
    Sessione().FileIniParametri = Percorso(QStringLiteral("ditta1.ini"));
    ComponenteFinto c;
    Sessione().ComponenteDati = &c;
    QCOMPARE(ApriDbMenu(), -1);
    QCOMPARE(msg.testi().size(), 1);
    QVERIFY(msg.testi()[0].startsWith(QStringLiteral("File di inizializzazioni: \n")));
    QVERIFY(c.chiamate.empty());
    QCOMPARE(rilasci, 0); // nothing is released for the common database
}

// The common database is found damaged by the engine's opening after the
// component's went through: the component's connection is closed before the
// repair, which needs the file free, and the repair's own reason is shown.
void TstDatabase::apriDbMenuDanneggiatoDopoComponente() {
    MessaggiScriptati msg;
    msg.rispondi(vbOK);
    const QString comune = Percorso(QStringLiteral("comune.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
        db.setDatabaseName(comune);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE Appoggio (Codice TEXT)")));
        // as the program leaves its files
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prep"));
    PreparaIni(
        QString(),
        QStringLiteral("[Menu]\nNomeDB=comune.db\nDriveDB=%1/\nConnect=\n").arg(dir->path()));
    Sessione().FileIniParametri = Percorso(QStringLiteral("ditta1.ini"));
    ComponenteVero c;
    // The file turns out no database once the component has opened it (the
    // header is overwritten by another process: a file closed here would
    // drop this process's locks on it).
    c.dopoApertura = [&] {
        QCOMPARE(QProcess::execute(QStringLiteral("dd"),
                                   {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + comune,
                                    QStringLiteral("bs=100"), QStringLiteral("count=1"),
                                    QStringLiteral("conv=notrunc"), QStringLiteral("status=none")}),
                 0);
    };
    Sessione().ComponenteDati = &c;

    QCOMPARE(ApriDbMenu(), -1);

    QCOMPARE(msg.testi().size(), 2);
    QCOMPARE(msg.testi()[0], testi_connessione::Recuperare(comune));
    QVERIFY2(msg.testi()[1].contains(QStringLiteral("non è stato possibile ricostruire")),
             qPrintable(msg.testi()[1]));
    QCOMPARE(c.chiusi.size(), 1);
    QVERIFY(DbComune().RisultatoConnessioneMenu.isEmpty());
    QCOMPARE(utilita->riparati, QStringList{comune});
    Sessione().ComponenteDati = nullptr;
}

// ---- real engines -----------------------------------------------------------------------

void TstDatabase::sqliteVero() {
    MessaggiScriptati msg;
    const QString file = Percorso(QStringLiteral("ditta.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        dati::CreaDitta(db, false);
        dati::OpzioniDemo demo;
        demo.righeInventario = 20;
        demo.magazzini = 3;
        dati::GeneraDemo(db, demo);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prep"));
    PreparaIni(QString(), QString());
    Sessione().NomeDb = file;
    auto componente = CreaComponenteDati();
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), *componente, risultato, Avvio()), 0);
    QVERIFY(!risultato.isEmpty());
    QVERIFY(!risultato.startsWith(QStringLiteral("Err:"), Qt::CaseInsensitive));
    auto rs =
        componente->ApriRecordset(QStringLiteral("SELECT COUNT(*) AS N FROM Magazzini"), risultato);
    QCOMPARE(rs->Campo(QStringLiteral("N")).toInt(), 3);

    // the engine connection the grids bind to, with a login that a file ignores
    Sessione().DbDitta = ApriDbDao(file, QStringLiteral("mario"), QStringLiteral("pw"));
    QVERIFY(Sessione().DbDitta.isOpen());
    QCOMPARE(Sessione().DbDitta.connectionName(), QStringLiteral("DbDitta"));
    QSqlQuery q(Sessione().DbDitta);
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM Magazzini")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 3);
    // both connections see the same rows: a write through one is read by the other
    QCOMPARE(
        componente->Esegui(QStringLiteral("UPDATE Magazzini SET Descrizione = 'Prova'"), risultato),
        qint64(3));
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM Magazzini WHERE Descrizione = 'Prova'")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 3);
    QVERIFY(msg.testi().isEmpty());
    rs.reset();
    componente->Chiudi(risultato);
}

void TstDatabase::sqliteDanneggiato_data() {
    QTest::addColumn<QString>("danno");
    QTest::addColumn<int>("risposta"); // to the repair offer
    QTest::addColumn<int>("esito");
    QTest::addColumn<QString>("motivo"); // in the message after a failed repair
    QTest::newRow("troncato, riparazione accettata") << "troncato" << int(vbOK) << 0 << "";
    QTest::newRow("troncato, riparazione rifiutata") << "troncato" << int(vbCancel) << -1 << "";
    QTest::newRow("non è un database, riparazione impossibile")
        << "testo" << int(vbOK) << -1 << "non è stato possibile ricostruire nessuna tabella";
    QTest::newRow("in uso da un'altra connessione")
        << "in uso" << int(vbOK) << -1 << "è aperto da un altro programma";
}

void TstDatabase::sqliteDanneggiato() {
    QFETCH(QString, danno);
    QFETCH(int, risposta);
    QFETCH(int, esito);
    QFETCH(QString, motivo);

    MessaggiScriptati msg;
    msg.rispondi(risposta);
    const QString file = Percorso(QStringLiteral("ditta.db"));
    std::optional<QSqlDatabase> altra; // another workstation's connection
    if (danno == QLatin1String("testo")) {
        Scrivi(file, QStringLiteral("Questo non è un database, è una lettera.\n").repeated(200));
    } else {
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            dati::CreaDitta(db, false);
            dati::OpzioniDemo demo;
            demo.righeInventario = 5000;
            dati::GeneraDemo(db, demo);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("prep"));
        if (danno == QLatin1String("in uso")) {
            // The damage is met by this workstation while another one has
            // the file open in WAL mode, with a row in its log.
            altra = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("altra"));
            altra->setDatabaseName(file);
            QVERIFY(altra->open());
            QSqlQuery q(*altra);
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode=WAL")));
            QVERIFY(q.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0")));
            QVERIFY(q.exec(QStringLiteral("UPDATE Monete SET NumDec = 4")));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.write(QByteArray(100, 'x')); // the header: not a database any longer
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(f.size() * 6 / 10));
        }
    }
    const QByteArray prima = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    PreparaIni(QString(), QString());
    Sessione().NomeDb = file;
    auto componente = CreaComponenteDati();
    QString risultato;
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), *componente, risultato, Avvio()),
             esito);
    // the question, and after a repair that could not be done its reason
    QCOMPARE(msg.testi().value(0), QStringLiteral("Errore nell'apertura del database ") + file +
                                       QStringLiteral("\r\nVuoi tentare di recuperarlo"));
    if (motivo.isEmpty()) {
        QCOMPARE(msg.testi().size(), 1);
    } else {
        QCOMPARE(msg.testi().size(), 2);
        QVERIFY2(msg.testi()[1].startsWith(QStringLiteral("Il database ") + file +
                                           QStringLiteral(" non è stato recuperato.\r\n")) &&
                     msg.testi()[1].contains(motivo),
                 qPrintable(msg.testi()[1]));
        QCOMPARE(msg.mostrati()[1].stile, int(vbCritical));
        // the file is left as it was, without a copy
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), prima);
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("ditta.db.danneggiato-*")}),
                 QStringList());
    }
    if (altra) {
        // the other workstation's row is still there, and it goes on writing
        QSqlQuery q(*altra);
        QVERIFY(q.exec(QStringLiteral("UPDATE Monete SET NumDec = 5")));
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM Monete WHERE NumDec = 5")));
        QVERIFY(q.next());
        QVERIFY(q.value(0).toInt() > 0);
        q = QSqlQuery();
        altra->close();
        altra.reset();
        QSqlDatabase::removeDatabase(QStringLiteral("altra"));
    }
    QCOMPARE(utilita->riparati, risposta == int(vbOK) ? QStringList{file} : QStringList());
    if (esito == 0) {
        QVERIFY(!risultato.isEmpty() && !risultato.startsWith(QStringLiteral("Err:")));
        // the repaired file holds the company and the engine connection opens it too
        QSqlDatabase db = ApriDbDao(file, QString(), QString());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM Monete")));
        QVERIFY(q.next());
        QVERIFY(q.value(0).toInt() > 0);
        componente->Chiudi(risultato);
    } else {
        QCOMPARE(rilasci, 1);
    }
}

void TstDatabase::recuperoDopoApertura_data() {
    QTest::addColumn<int>("risposta"); // to the repair offer
    QTest::newRow("accettato") << int(vbOK);
    QTest::newRow("rifiutato") << int(vbCancel);
}

// The damage is met after the opening went through: a read of a damaged page.
void TstDatabase::recuperoDopoApertura() {
    QFETCH(int, risposta);
    MessaggiScriptati msg;
    msg.rispondi(risposta);
    const QString file = Percorso(QStringLiteral("ditta.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        dati::CreaDitta(db, false);
        dati::OpzioniDemo demo;
        demo.righeInventario = 200;
        dati::GeneraDemo(db, demo);
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode=DELETE")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
        const qint64 pagina = q.value(0).toLongLong();
        QVERIFY(
            q.exec(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Monete'")) &&
            q.next());
        const qint64 radice = q.value(0).toLongLong();
        q = QSqlQuery();
        db.close();
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek((radice - 1) * pagina));
        f.write(QByteArray(int(pagina), '\xA5'));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prep"));
    PreparaIni(QString(), QString());
    ContestoSessione& s = Sessione();
    s.NomeDb = file;
    auto componente = CreaComponenteDati();
    s.ComponenteDati = componente.get();
    QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), *componente, s.RisultatoConnessione,
                                Avvio()),
             0);
    s.DbDitta = ApriDbDao(file, QString(), QString());
    QVERIFY(s.DbDitta.isOpen());
    try {
        componente->ApriRecordset(QStringLiteral("Select * from Monete"), s.RisultatoConnessione);
        QFAIL("the damaged page was read");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), 3343);
    }
    const QByteArray prima = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    QCOMPARE(RecuperaDbDittaDanneggiato(), risposta == int(vbOK));

    QCOMPARE(msg.testi(), QStringList{testi_connessione::Recuperare(file)});
    // the program's own connections were closed for the repair
    QVERIFY(s.RisultatoConnessione.isEmpty());
    QVERIFY(!s.DbDitta.isValid());
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("DbDitta")));
    const QStringList copie =
        QDir(dir->path()).entryList({QStringLiteral("ditta.db.danneggiato-*")}, QDir::Files);
    if (risposta == int(vbOK)) {
        QCOMPARE(copie.size(), 1);
        // the rebuilt file opens and reads to the end
        QString r;
        componente->Apri(file, 0, false, false, QString(), r);
        auto rs = componente->ApriRecordset(QStringLiteral("Select * from Monete"), r);
        while (!rs->Eof())
            rs->MoveNext();
        auto n = componente->ApriRecordset(QStringLiteral("SELECT COUNT(*) AS N FROM Articoli"), r);
        QVERIFY(n->Campo(QStringLiteral("N")).toInt() > 0);
        n.reset();
        rs.reset();
        componente->Chiudi(r);
    } else {
        QVERIFY(copie.isEmpty());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), prima);
    }
    s.ComponenteDati = nullptr;
}

void TstDatabase::postgres() {
    const QString dsn = qEnvironmentVariable("QUARVEL_PG_DSN");
    if (dsn.isEmpty())
        QSKIP("QUARVEL_PG_DSN not set: the PostgreSQL test server is not running");
    const QString uid = qEnvironmentVariable("QUARVEL_PG_UID");
    const QString pwd = qEnvironmentVariable("QUARVEL_PG_PWD");
    const QString fileDsn = qEnvironmentVariable("QUARVEL_PG_DSNFILE");

    // The data source by name: the first login is wrong, the engine refuses
    // it, the operator retries and the menu's dialog gives the right one.
    {
        MessaggiScriptati msg;
        msg.rispondi(1);
        menu->valori[QStringLiteral("SqlLogin")] = uid;
        menu->valori[QStringLiteral("SqlPwd")] = QStringLiteral("sbagliata");
        menu->loginDaDialogo.push_back({uid, pwd});
        auto componente = CreaComponenteDati();
        const QString r = ApriDbDitta(*componente, dsn, QString(), QString());
        QVERIFY2(!r.isEmpty() && !r.startsWith(QStringLiteral("Err:")), qPrintable(r));
        QCOMPARE(msg.testi(), QStringList{QStringLiteral("Utente o password non validi per SQL")});
        QCOMPARE(menu->richiestePwdSql(), 1);
        auto rs = componente->ApriRecordset(QStringLiteral("SELECT 1 AS Uno"), r);
        QCOMPARE(rs->Campo(QStringLiteral("Uno")).toInt(), 1);
        rs.reset();
        componente->Chiudi(r);
    }
    // The refused login answered Annulla: an empty reply.
    {
        MessaggiScriptati msg;
        msg.rispondi(2);
        menu->valori[QStringLiteral("SqlPwd")] = QStringLiteral("sbagliata");
        auto componente = CreaComponenteDati();
        QCOMPARE(ApriDbDitta(*componente, dsn, QString(), QString()), QString());
        QCOMPARE(msg.testi().size(), 1);
    }
    // The whole connection at start, with the name the menu gives.
    {
        MessaggiScriptati msg;
        PreparaIni(QString(), QString());
        Sessione().NomeDb = dsn;
        menu->valori[QStringLiteral("SqlPwd")] = pwd;
        auto componente = CreaComponenteDati();
        QString risultato;
        QCOMPARE(ScegliIniEConnetti(QStringLiteral("belcor.ini"), *componente, risultato, Avvio()),
                 0);
        QVERIFY2(!risultato.isEmpty() && !risultato.startsWith(QStringLiteral("Err:")),
                 qPrintable(risultato));
        QVERIFY(msg.testi().isEmpty());
        componente->Chiudi(risultato);
    }
    // The engine connection by data source name, by file data source and by
    // a complete ODBC text (which carries its own credentials).
    const QString testoOdbc = QStringLiteral("ODBC;DSN=%1;UID=%2;PWD=%3").arg(dsn, uid, pwd);
    const QStringList nomi{dsn, fileDsn, testoOdbc};
    for (const QString& nome : nomi) {
        if (nome.isEmpty())
            continue;
        QSqlDatabase db = ApriDbDao(nome, uid, pwd);
        QVERIFY2(db.isOpen(), qPrintable(nome));
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral("SELECT current_user")), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), uid);
    }
    // A wrong password on the engine connection raises an error, never a
    // connection that is not open.
    try {
        QSqlDatabase db = ApriDbDao(dsn, uid, QStringLiteral("sbagliata"));
        QFAIL("the wrong password was accepted");
    } catch (const Errore& e) {
        QVERIFY(e.numero() != 0);
    }
}

// ---- the connection window ------------------------------------------------------------

void TstDatabase::finestraCentrataEDidascalie_data() {
    QTest::addColumn<int>("access");
    QTest::newRow("immagine del motore") << -1;
    QTest::newRow("senza immagine del motore") << 0;
}

void TstDatabase::finestraCentrataEDidascalie() {
    QFETCH(int, access);
    menu->valori[QStringLiteral("Versione")] = QStringLiteral("3.2.1");
    menu->valori[QStringLiteral("DataVersione")] = QStringLiteral("15/11/2026");

    PreparaFormConn(-1, static_cast<qint16>(access));
    FrmConn* f = frmConnSeCaricata();
    QVERIFY(f);
    QCOMPARE(f->objectName(), QStringLiteral("frmConn"));
    QCOMPARE(f->windowTitle(), QStringLiteral("Connessione al database"));
    QCOMPARE(f->labVersione()->text(), QStringLiteral("Versione 3.2.1"));
    QCOMPARE(f->LabDataVer()->text(), QStringLiteral("del 15/11/2026"));
    QVERIFY(f->imgLogo()->isVisibleTo(f));
    QCOMPARE(f->imgAccess()->isVisibleTo(f), access != 0);
    QVERIFY(!f->imgOracle()->isVisibleTo(f));
    QVERIFY(!f->imgLogo()->pixmap().isNull());
    QVERIFY(!f->imgAccess()->pixmap().isNull());
    for (const char* nome : {"txtNomeDb", "imgLogo", "imgOracle", "imgAccess", "labTitolo",
                             "labVersione", "LabDataVer"})
        QVERIFY2(f->findChild<QWidget*>(QLatin1String(nome)), nome);

    const QRect schermo = f->screen()->geometry();
    QCOMPARE(f->x(), schermo.x() + (schermo.width() - f->width()) / 2);
    QCOMPARE(f->y(), schermo.y() + (schermo.height() - f->height()) / 2);

    f->MostraConnessione(QStringLiteral("Connessione primaria al database"),
                         QStringLiteral("ditta.db"));
    QVERIFY(f->isVisible());
    QCOMPARE(f->windowTitle(), QStringLiteral("Connessione primaria al database"));
    QCOMPARE(f->txtNomeDb()->text(), QStringLiteral("ditta.db"));
    QVERIFY(!f->txtNomeDb()->isVisibleTo(f));
    // a form's loading notice names the form; a connection after it on the
    // same window keeps its text (it may hold a password) out of sight
    f->MostraConnessione(QStringLiteral("Caricamento maschera"),
                         QStringLiteral("Caricamento maschera Gestione inventari"), true);
    QVERIFY(f->txtNomeDb()->isVisibleTo(f));
    f->MostraConnessione(QStringLiteral("Connessione database Comune"),
                         QStringLiteral("DSN=comune;UID=mario;PWD=segreta"));
    QVERIFY(!f->txtNomeDb()->isVisibleTo(f));

    // without carica, PreparaFormConn works on the window already loaded
    ScaricaFrmConn();
    PreparaFormConn(0, -1);
    QVERIFY(!frmConnSeCaricata());
}

void TstDatabase::finestraScaricata() {
    FrmConn* primo = frmConn();
    primo->labTitolo()->setText(QStringLiteral("cambiato"));
    QCOMPARE(frmConn(), primo);
    ScaricaFrmConn();
    QVERIFY(!frmConnSeCaricata());

    // closed by the window system: the reference is cleared all the same
    FrmConn* secondo = frmConn();
    QVERIFY(secondo->labTitolo()->text() != QStringLiteral("cambiato"));
    secondo->show();
    secondo->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmConnSeCaricata());
    QVERIFY(frmConn() != nullptr);
}

// The window as the operator sees it, saved when QUARVEL_SCREENSHOT_DIR names
// a folder (run under a real X server to get the decorations' fonts).
void TstDatabase::fotografia() {
    const QString cartella = qEnvironmentVariable("QUARVEL_SCREENSHOT_DIR");
    if (cartella.isEmpty())
        QSKIP("QUARVEL_SCREENSHOT_DIR not set");
    menu->valori[QStringLiteral("Versione")] = QStringLiteral("1.0.0");
    menu->valori[QStringLiteral("DataVersione")] = QStringLiteral("10/12/2026");
    PreparaFormConn(-1, -1);
    FrmConn* f = frmConn();
    f->MostraConnessione(QStringLiteral("Connessione primaria al database"),
                         QStringLiteral("ditta.db"));
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QTest::qWait(200);
    QVERIFY(f->grab().save(QDir(cartella).filePath(QStringLiteral("frmconn.png"))));
}

QTEST_MAIN(TstDatabase)
#include "tst_database.moc"
