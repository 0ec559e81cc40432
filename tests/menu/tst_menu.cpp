// The menu: its store of named values, the commands the programs send it,
// the launch of the functions, and on a real session bus the menu program
// with several programs registered, the commands it sends them and the
// "fine" at its close.

#include "menu/ArchivioMenu.h"
#include "menu/ClientMenuDBus.h"
#include "menu/FinestraMenu.h"
#include "menu/NomiDBus.h"
#include "menu/ServerMenu.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using namespace quarvel;
using namespace quarvel::menu;

namespace {

constexpr auto RW = QFile::ReadOwner | QFile::WriteOwner;

// Owner, group and others (the "user" bits only repeat the owner's for us).
QFile::Permissions Permessi(const QString& percorso) {
    return QFileInfo(percorso).permissions() & QFile::Permissions(0x7077);
}

// The operator of the menu, answering from a script.
class OperatoreScriptato final : public IOperatoreMenu {
public:
    struct Messaggio {
        QString testo;
        int stile = 0;
        QString titolo;
    };
    QList<Messaggio> messaggi;
    int risposta = 1;
    bool loginOk = true;
    QString utente = QStringLiteral("sa"), password = QStringLiteral("pässwörd");
    QString utenteProposto;
    int mostra = 0;

    int Messaggio(const QString& t, int s, const QString& ti) override {
        messaggi.append({t, s, ti});
        return risposta;
    }
    bool ChiediLoginSql(QString& u, QString& p) override {
        utenteProposto = u;
        if (!loginOk)
            return false;
        u = utente;
        p = password;
        return true;
    }
    void MostraFinestra() override { ++mostra; }
};

// A program's command receiver: records what arrives, answers from a table.
class GestoreProva final : public IComandiMenu {
public:
    struct Ricevuto {
        QString idMenu, chiave, comando;
        QVariant parametro;
    };
    QList<Ricevuto> ricevuti;
    QMap<QString, QVariant> risposte; // by command, lower case
    std::function<void(const QString& comando, const QString& chiave)> azione;

    void EseguiComando(const QString& idMenu, const QString& chiave, const QString& comando,
                       const QVariant& parametro, QVariant& risposta) override {
        ricevuti.append({idMenu, chiave, comando, parametro});
        if (azione)
            azione(comando, chiave);
        risposta = risposte.value(comando.toLower());
    }
    QStringList comandi() const {
        QStringList l;
        for (const Ricevuto& r : ricevuti)
            l << r.comando;
        return l;
    }
};

bool ConBus() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

// QSKIP leaves the test function it stands in, so this is a macro.
#define SENZA_BUS_SALTA()                                                                          \
    if (!ConBus())                                                                                 \
    QSKIP("DBUS_SESSION_BUS_ADDRESS is not set: the menu tests need a session bus "                \
          "(make test runs them under dbus-run-session)")

bool MenuInEsecuzione() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(ServizioMenu()).value();
}

// A call to the running menu's control interface, the event loop turning
// meanwhile so that the programs of this process answer the menu.
QDBusMessage Controllo(const QString& metodo, const QVariantList& argomenti) {
    QDBusMessage m = QDBusMessage::createMethodCall(ServizioMenu(), PercorsoControllo,
                                                    InterfacciaControllo, metodo);
    m.setArguments(argomenti);
    QDBusPendingCall c = QDBusConnection::sessionBus().asyncCall(m, 60000);
    const QDeadlineTimer limite(90000);
    while (!c.isFinished() && !limite.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    c.waitForFinished();
    return c.reply();
}

QStringList Righe(const QDBusMessage& r) {
    return r.arguments().isEmpty() ? QStringList() : r.arguments().constFirst().toStringList();
}

QStringList Comando(const QString& comando, const QVariant& parametro = {},
                    const QString& chiave = {}, int cliente = 0) {
    return Righe(Controllo(
        QStringLiteral("Comando"),
        {comando, chiave, QVariant::fromValue(QDBusVariant(VersoDBus(parametro))), cliente}));
}

// The reply texts of the lines of Comando, by client number.
QMap<int, QString> Risposte(const QStringList& righe) {
    QMap<int, QString> m;
    for (const QString& r : righe) {
        const QStringList c = r.split(QLatin1Char('\t'));
        m.insert(c.value(0).toInt(), c.value(2) == QLatin1String("ok")
                                         ? c.value(3)
                                         : QStringLiteral("errore: ") + c.value(3));
    }
    return m;
}

} // namespace

class TstMenu : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_menu;

    QString Archivio() const { return m_dir.filePath(QStringLiteral("menu/menu.ini")); }
    QString FileArgv() const { return m_dir.filePath(QStringLiteral("argv.txt")); }
    QString Finto() const { return m_dir.filePath(QStringLiteral("quarvel-finto")); }

    // The real menu program on the test's bus, with a fresh store.
    bool AvviaMenu(const QStringList& altri = {}) {
        QFile::remove(Archivio());
        QFile::remove(FileArgv());
        m_menu = std::make_unique<QProcess>();
        m_menu->setProgram(QStringLiteral(QUARVEL_BINARY_DIR "/components/menu/quarvel-menu"));
        m_menu->setArguments(QStringList{QStringLiteral("--archivio"), Archivio(),
                                         QStringLiteral("--senza-dialoghi"),
                                         QStringLiteral("--nascosto")} +
                             altri);
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUARVEL_PROGRAM"), Finto());
        m_menu->setProcessEnvironment(env);
        m_menu->start();
        if (!m_menu->waitForStarted())
            return false;
        const QDeadlineTimer limite(30000);
        while (!MenuInEsecuzione() && !limite.hasExpired() && m_menu->state() == QProcess::Running)
            QTest::qWait(20);
        return MenuInEsecuzione();
    }
    // Ends the menu as a signal does; the event loop turns meanwhile, so the
    // programs of this process answer its "fine".
    void FermaMenu() {
        if (!m_menu)
            return;
        if (m_menu->state() == QProcess::Running) {
            m_menu->terminate();
            const QDeadlineTimer limite(30000);
            while (m_menu->state() == QProcess::Running && !limite.hasExpired())
                QTest::qWait(20);
            if (m_menu->state() == QProcess::Running)
                m_menu->kill();
            m_menu->waitForFinished();
        }
        m_menu.reset();
        const QDeadlineTimer limite(10000);
        while (MenuInEsecuzione() && !limite.hasExpired())
            QTest::qWait(20);
    }
    bool AttendiArgv() {
        const QDeadlineTimer limite(30000);
        while (!limite.hasExpired()) {
            QFile f(FileArgv());
            if (f.exists() && f.size() > 0)
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    QStringList Argv() const {
        QFile f(FileArgv());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList l = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        if (!l.isEmpty() && l.last().isEmpty())
            l.removeLast();
        return l;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // A bus name of this test's own: other tests may run a menu on the same bus.
        qputenv("QUARVEL_MENU_BUS_NAME", QStringLiteral("it.belcor.Quarvel.MenuProva%1")
                                             .arg(QCoreApplication::applicationPid())
                                             .toUtf8());
        QFile f(Finto());
        QVERIFY(f.open(QIODevice::WriteOnly));
        // The stand-in for Quarvel: writes its arguments, one a line.
        f.write(
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(FileArgv()).toUtf8());
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
    }
    void cleanup() { FermaMenu(); }

    // ---- The store and the menu's answers, without the bus ------------------------

    void valoriNominati_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("valore");
        QTest::newRow("plain") << "NomeDBAzie"
                               << "/srv/ditte/ditta.db";
        QTest::newRow("non-ASCII name and value")
            << "Personal.Articoli.§Immagini" << QStringLiteral("§ç àèìòù €");
        QTest::newRow("outer blanks kept") << "Ditta.CambioLiraEuro"
                                           << "  1936,27 ";
        QTest::newRow("quoted value kept") << "Testo"
                                           << "\"tra virgolette\"";
        QTest::newRow("single quote at one end") << "Apice"
                                                 << "l'";
        QTest::newRow("empty value") << "Vuoto"
                                     << "";
        QTest::newRow("equals sign in value") << "Connect"
                                              << "ODBC;DSN=ditta;UID=sa";
    }
    void valoriNominati() {
        QFETCH(QString, nome);
        QFETCH(QString, valore);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        server.ScriviValore(nome, valore);
        QCOMPARE(server.LeggiValore(nome, QStringLiteral("predefinito")), valore);
        // Names without regard to case, and a second menu reads the same file.
        ArchivioMenu altro(Archivio());
        ServerMenu secondo(altro, op);
        QCOMPARE(secondo.LeggiValore(nome.toUpper(), {}), valore);
        QCOMPARE(Permessi(Archivio()), RW);
    }

    void valoriMancanti_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("predefinito");
        QTest::addColumn<QString>("atteso");
        QTest::newRow("personal parameter: the missing marker")
            << NomeParametroPersonale("Tutti", "Massimizzato") << ""
            << "§ç~$!^";
        QTest::newRow("personal parameter: marker whatever the default")
            << NomeParametroPersonale("Help", "HlpSpost") << "x"
            << "§ç~$!^";
        QTest::newRow("named value: the default") << "Mag.MagPrincipale"
                                                  << "01"
                                                  << "01";
        QTest::newRow("named value: empty default") << "ConnectDBAzie"
                                                    << ""
                                                    << "";
        QTest::newRow("menu version") << "VersMenu"
                                      << ""
                                      << "1.07";
    }
    void valoriMancanti() {
        QFETCH(QString, nome);
        QFETCH(QString, predefinito);
        QFETCH(QString, atteso);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        QCOMPARE(server.LeggiValore(nome, predefinito), atteso);
        QCOMPARE(server.LeggiValore(QStringLiteral("MenuProcId"), {}),
                 QString::number(QCoreApplication::applicationPid()));
    }

    void archivioPrivato() {
        QTemporaryDir d;
        const QString file = d.filePath(QStringLiteral("nuova/menu.ini"));
        ArchivioMenu archivio(file);
        archivio.ScriviValore(QStringLiteral("A"), QStringLiteral("1"));
        QCOMPARE(Permessi(file), RW);
        QCOMPARE(Permessi(QFileInfo(file).absolutePath()), RW | QFile::ExeOwner);
        // A store made readable by others is narrowed at the next write.
        QVERIFY(QFile::setPermissions(file, RW | QFile::ReadGroup | QFile::ReadOther));
        archivio.ScriviValore(QStringLiteral("B"), QStringLiteral("2"));
        QCOMPARE(Permessi(file), RW);
        QCOMPARE(archivio.Valore(QStringLiteral("a")).value_or(QString()), QStringLiteral("1"));
    }

    void archivioRifiuta_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("valore");
        QTest::newRow("empty name") << "  "
                                    << "x";
        QTest::newRow("equals in name") << "a=b"
                                        << "x";
        QTest::newRow("section-like name") << "[Valori]"
                                           << "x";
        QTest::newRow("line break in value") << "Nota"
                                             << "riga1\nriga2";
        QTest::newRow("carriage return in name") << "No\rme"
                                                 << "x";
    }
    void archivioRifiuta() {
        QFETCH(QString, nome);
        QFETCH(QString, valore);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        archivio.ScriviValore(QStringLiteral("Prima"), QStringLiteral("ok"));
        try {
            archivio.ScriviValore(nome, valore);
            QFAIL("the store took what it cannot hold");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), NumErr::ChiamataNonValida);
        }
        QCOMPARE(archivio.Valore(QStringLiteral("Prima")).value_or(QString()),
                 QStringLiteral("ok"));
    }

    void comandiAlMenu_data() {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<QVariant>("parametro");
        QTest::addColumn<QVariant>("atteso");
        QTest::newRow("TastiCtrl bound") << "TastiCtrl" << QVariant(65) << QVariant("DBuongiorno");
        QTest::newRow("TastiCtrl with Shift")
            << "tastictrl" << QVariant("-65") << QVariant("N§ç snippet");
        QTest::newRow("TastiCtrl unbound") << "TastiCtrl" << QVariant(66) << QVariant("");
        QTest::newRow("TastiCtrl not a number") << "TastiCtrl" << QVariant("x") << QVariant("");
        QTest::newRow("MsgBox text") << "MsgBox" << QVariant("Errore(3022): doppio") << QVariant(6);
        QTest::newRow("MsgBox list")
            << "MsgBox" << QVariant(QVariantList{"Attenzione", 4 + 32, "Titolo"}) << QVariant(6);
    }
    void comandiAlMenu() {
        QFETCH(QString, comando);
        QFETCH(QVariant, parametro);
        QFETCH(QVariant, atteso);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        archivio.Scrivi(ArchivioMenu::TastiCtrl, QStringLiteral("65"),
                        QStringLiteral("DBuongiorno"));
        archivio.Scrivi(ArchivioMenu::TastiCtrl, QStringLiteral("-65"),
                        QStringLiteral("N§ç snippet"));
        OperatoreScriptato op;
        op.risposta = 6;
        ServerMenu server(archivio, op);
        const QVariant r = server.InviaComando({}, comando, QStringLiteral("Tutti"), parametro);
        QCOMPARE(r.toString(), atteso.toString());
        if (comando == QLatin1String("MsgBox")) {
            QCOMPARE(op.messaggi.size(), 1);
            const QVariantList l =
                parametro.typeId() == QMetaType::QVariantList ? parametro.toList() : QVariantList();
            QCOMPARE(op.messaggi[0].testo, l.isEmpty() ? parametro.toString() : l[0].toString());
            QCOMPARE(op.messaggi[0].stile, l.isEmpty() ? 0 : 36);
        } else {
            QVERIFY(op.messaggi.isEmpty());
        }
    }

    void comandoSconosciuto() {
        ArchivioMenu archivio(Archivio());
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        try {
            server.InviaComando({}, QStringLiteral("Inesistente"), QStringLiteral("Tutti"), {});
            QFAIL("an unknown command was taken as done");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), NumErr::ChiamataNonValida);
            QVERIFY(e.descrizione().contains(QStringLiteral("Inesistente")));
        }
    }

    void chiediPwdSql_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("operator gives the login") << true;
        QTest::newRow("operator cancels") << false;
    }
    void chiediPwdSql() {
        QFETCH(bool, ok);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        archivio.ScriviValore(QStringLiteral("SqlLogin"), QStringLiteral("vecchio"));
        OperatoreScriptato op;
        op.loginOk = ok;
        ServerMenu server(archivio, op);
        QCOMPARE(server.LeggiValore(QStringLiteral("ChiediPwdSql"), {}),
                 ok ? QStringLiteral("S") : QStringLiteral("N"));
        QCOMPARE(op.utenteProposto, QStringLiteral("vecchio"));
        QCOMPARE(server.LeggiValore(QStringLiteral("SqlLogin"), {}),
                 ok ? QStringLiteral("sa") : QStringLiteral("vecchio"));
        QCOMPARE(server.LeggiValore(QStringLiteral("SqlPwd"), {}),
                 ok ? QStringLiteral("pässwörd") : QString());
        // The password stays in the menu's memory, never in its file.
        QFile f(Archivio());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!QString::fromUtf8(f.readAll()).contains(QStringLiteral("pässwörd")));
    }

    void rigaComando_data() {
        QTest::addColumn<QString>("funzione");
        QTest::addColumn<QString>("chiave");
        QTest::addColumn<QString>("form");
        QTest::newRow("Gestione inventari") << "Gestione inventari"
                                            << "GESTINV"
                                            << "frmGestInv";
        QTest::newRow("Date inventario by form") << "FRMMAGDESCINV"
                                                 << "DATEINV"
                                                 << "frmMagDescInv";
        QTest::newRow("LIFO by key") << "lifo"
                                     << "LIFO"
                                     << "frmLiFo";
    }
    void rigaComando() {
        QFETCH(QString, funzione);
        QFETCH(QString, chiave);
        QFETCH(QString, form);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        archivio.Scrivi(ArchivioMenu::Menu, QStringLiteral("FileIni"),
                        QStringLiteral("/etc/belcor/belcor.ini"));
        archivio.ScriviValore(QStringLiteral("SolaLettura.") + chiave, QStringLiteral("S"));
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        const auto f = TrovaFunzione(funzione);
        QVERIFY(f);
        QCOMPARE(
            server.RigaComando(*f, QStringLiteral("7-1")),
            (QStringList{QStringLiteral("/M7-1"), QStringLiteral("/PQUARVEL ") + chiave,
                         QStringLiteral("/F") + form, QStringLiteral("/I/etc/belcor/belcor.ini")}));
        QCOMPARE(server.LancioPer(*f).osParam,
                 QStringLiteral("/F") + form + QStringLiteral(" /RO"));
        QVERIFY(!TrovaFunzione(QStringLiteral("frmArticoli")));
        // A parameter file whose path holds a blank travels quoted.
        archivio.Scrivi(ArchivioMenu::Menu, QStringLiteral("FileIni"),
                        QStringLiteral("/home/op/Parametri ditta/belcor.ini"));
        QCOMPARE(server.RigaComando(*f, QStringLiteral("7-1")).value(3),
                 QStringLiteral("/I\"/home/op/Parametri ditta/belcor.ini\""));
    }

    // ---- The window ---------------------------------------------------------------

    void finestraAvvia_data() {
        QTest::addColumn<int>("riga");
        QTest::addColumn<QString>("form");
        QTest::newRow("Gestione inventari") << 0 << "frmGestInv";
        QTest::newRow("Date inventario") << 1 << "frmMagDescInv";
        QTest::newRow("Gestione LIFO Articoli") << 2 << "frmLiFo";
    }
    void finestraAvvia() {
        QFETCH(int, riga);
        QFETCH(QString, form);
        QFile::remove(Archivio());
        QFile::remove(FileArgv());
        ArchivioMenu archivio(Archivio());
        archivio.ScriviValore(QStringLiteral("NomeDBAzie"), QStringLiteral("/srv/ditta.db"));
        archivio.ScriviValore(QStringLiteral("DescAzie"), QStringLiteral("Rossi & Figli"));
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        server.ImpostaProgramma(Finto());
        FinestraMenu f(server);
        f.show();
        QVERIFY(f.findChild<QLabel*>(QStringLiteral("lblDitta"))
                    ->text()
                    .contains(QStringLiteral("Rossi &amp; Figli")));
        auto* lista = f.findChild<QListWidget*>(QStringLiteral("lstFunzioni"));
        QCOMPARE(lista->count(), 3);
        lista->setCurrentRow(riga);
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("cmdAvvia")), Qt::LeftButton);
        QVERIFY(AttendiArgv());
        QCOMPARE(Argv().value(2), QStringLiteral("/F") + form);
    }

    void finestraProgrammaMancante() {
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        server.ImpostaProgramma(m_dir.filePath(QStringLiteral("manca/quarvel")));
        MessaggiScriptati messaggi;
        FinestraMenu f(server);
        f.show();
        QTest::keyClick(f.findChild<QListWidget*>(QStringLiteral("lstFunzioni")), Qt::Key_Return);
        QCOMPARE(messaggi.mostrati().size(), std::size_t(1));
        QVERIFY(messaggi.mostrati()[0].testo.startsWith(
            QStringLiteral("Il programma Quarvel non si trova: ") +
            m_dir.filePath(QStringLiteral("manca/quarvel"))));
        QCOMPARE(messaggi.mostrati()[0].stile, int(vbCritical));

        // Closing with no program registered ends the menu.
        QSignalSpy chiuso(&server, &ServerMenu::Chiuso);
        f.close();
        QCOMPARE(chiuso.count(), 1);
    }

    // ---- On the session bus, with the real menu program ---------------------------

    void senzaMenu() {
        SENZA_BUS_SALTA();
        QVERIFY(!MenuInEsecuzione());
        try {
            ClientMenuDBus c;
            QFAIL("a client was created with no menu running");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), NumErr::ChiamataNonValida);
        }
    }

    void dueClienti() {
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu());
        ClientMenuDBus a, b;
        QVERIFY(a.NomeSulBus() != b.NomeSulBus());
        QCOMPARE(
            a.Collega(QStringLiteral("x-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV")),
            QStringLiteral("1"));
        QCOMPARE(b.Collega(QStringLiteral("x-2"), QStringLiteral("QUARVEL"), QString()),
                 QStringLiteral("2"));
        QStringList clienti = Righe(Controllo(QStringLiteral("Clienti"), {}));
        QCOMPARE(clienti.size(), 2);
        QCOMPARE(clienti[0].section(QLatin1Char('\t'), 1, 1),
                 QString::number(QCoreApplication::applicationPid()));
        QCOMPARE(clienti[0].section(QLatin1Char('\t'), 2),
                 QStringLiteral("x-1\tQUARVEL\tGESTINV\tGESTINV"));
        QCOMPARE(clienti[1].section(QLatin1Char('\t'), 2), QStringLiteral("x-2\tQUARVEL\t\t"));
        // The launch parameters of each one's own call.
        QCOMPARE(a.ParametriLancio().osParam, QStringLiteral("/FfrmGestInv"));
        QCOMPARE(b.ParametriLancio().osParam, QString());
        QCOMPARE(a.CodiceProgramma(), QStringLiteral("QUARVEL"));

        // Values written by one are read by the other, the store stays private.
        a.ScriviValore(NomeParametroPersonale("Tutti", "Massimizzato"), QStringLiteral("§ç,ABC,"));
        QCOMPARE(b.LeggiValore(NomeParametroPersonale("tutti", "massimizzato")),
                 QStringLiteral("§ç,ABC,"));
        QCOMPARE(b.LeggiValore(NomeParametroPersonale("Tutti", "Manca")), ValoreMancanteMenu);
        QCOMPARE(Permessi(Archivio()), RW);
        // The menu's refusals reach the program as errors.
        QVERIFY_THROWS_EXCEPTION(Errore,
                                 a.ScriviValore(QStringLiteral("a=b"), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(Errore, a.InviaComando(QStringLiteral("Inesistente")));

        // Segments: "PrepProcCorr", then "AddSeg" with the list or the number alone.
        const QString seg = a.InviaComando(QStringLiteral("PrepProcCorr")).toString();
        QCOMPARE(seg, QStringLiteral("S1"));
        QCOMPARE(
            a.InviaComando(QStringLiteral("AddSeg"), QStringLiteral("Tutti"), QVariantList{36, seg})
                .toString(),
            QStringLiteral("S1.36"));
        QCOMPARE(b.InviaComando(QStringLiteral("PrepProcCorr")).toString(), QStringLiteral("S2"));
        QCOMPARE(b.InviaComando(QStringLiteral("AddSeg"), QStringLiteral("Tutti"), 36).toString(),
                 QStringLiteral("S2"));
        // A message of the program is shown by the menu (here on its standard error).
        QCOMPARE(a.InviaComando(QStringLiteral("MsgBox"), QStringLiteral("Tutti"),
                                QStringLiteral("Errore(5): §ç prova"))
                     .toInt(),
                 1);

        b.Scollega();
        QVERIFY(!b.Collegato());
        clienti = Righe(Controllo(QStringLiteral("Clienti"), {}));
        QCOMPARE(clienti.size(), 1);
        FermaMenu();
    }

    void clienteScomparso() {
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu());
        {
            auto c = std::make_unique<ClientMenuDBus>();
            c->Collega(QStringLiteral("m"), QStringLiteral("QUARVEL"), QString());
            QCOMPARE(Righe(Controllo(QStringLiteral("Clienti"), {})).size(), 1);
        }
        // Its connection gone, the menu forgets it.
        const QDeadlineTimer limite(30000);
        while (!Righe(Controllo(QStringLiteral("Clienti"), {})).isEmpty() && !limite.hasExpired())
            QTest::qWait(50);
        QVERIFY(Righe(Controllo(QStringLiteral("Clienti"), {})).isEmpty());
    }

    void comandiAiClienti() {
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu());
        ClientMenuDBus a, b;
        GestoreProva ga, gb;
        a.ImpostaGestoreComandi(&ga);
        b.ImpostaGestoreComandi(&gb);
        a.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
        b.Collega(QStringLiteral("m-2"), QStringLiteral("QUARVEL"), QStringLiteral("LIFO"));
        ga.risposte.insert(QStringLiteral("esiste"), true);
        gb.risposte.insert(QStringLiteral("esiste"), true);
        ga.risposte.insert(QStringLiteral("paramprgclie"), QStringLiteral("$Default$"));
        gb.risposte.insert(QStringLiteral("paramprgclie"), QStringLiteral("$Default$"));

        QCOMPARE(Risposte(Comando(QStringLiteral("esiste"))),
                 (QMap<int, QString>{{1, QStringLiteral("True")}, {2, QStringLiteral("True")}}));
        QCOMPARE(ga.ricevuti.constLast().idMenu, QStringLiteral("m-1"));
        QCOMPARE(Risposte(Comando(QStringLiteral("paramprgclie"))),
                 (QMap<int, QString>{{1, QStringLiteral("$Default$")},
                                     {2, QStringLiteral("$Default$")}}));
        // Not set: the empty reply.
        QCOMPARE(Risposte(Comando(QStringLiteral("comandoprgclie"))),
                 (QMap<int, QString>{{1, QString()}, {2, QString()}}));

        // To one client only, with a parameter list that arrives as a list.
        const QVariantList fe{QStringLiteral("FE"), QStringLiteral("x"), 0, QString(), 0, 0, 12};
        Comando(QStringLiteral("FEInvio"), fe, QString(), 2);
        QVERIFY(!ga.comandi().contains(QStringLiteral("FEInvio")));
        QCOMPARE(gb.ricevuti.constLast().comando, QStringLiteral("FEInvio"));
        QCOMPARE(gb.ricevuti.constLast().parametro.toList().size(), fe.size());
        QCOMPARE(gb.ricevuti.constLast().parametro.toList().value(6).toInt(), 12);

        // "passaa" with a form name and the function key.
        Comando(QStringLiteral("passaa"), QStringLiteral("frmLiFo"), QStringLiteral("LIFO"), 1);
        QCOMPARE(ga.ricevuti.constLast().parametro.toString(), QStringLiteral("frmLiFo"));
        QCOMPARE(ga.ricevuti.constLast().chiave, QStringLiteral("LIFO"));

        // "preppassaa": each program registers its windows while answering.
        ga.azione = [&a](const QString& c, const QString&) {
            if (c == QLatin1String("preppassaa"))
                a.RegistraFinestra(QStringLiteral("Gestione inventari §ç"),
                                   QStringLiteral("frmGestInv"), QStringLiteral("GESTINV"));
        };
        Comando(QStringLiteral("preppassaa"));
        QCOMPARE(Righe(Controllo(QStringLiteral("Finestre"), {})),
                 QStringList{QStringLiteral("1\tGestione inventari §ç\tfrmGestInv\tGESTINV")});

        // A program that fails the command: the error comes back, the others answer.
        gb.azione = [](const QString& c, const QString&) {
            if (c == QLatin1String("esiste"))
                throw Errore(91, QStringLiteral("oggetto non impostato"));
        };
        const auto r = Risposte(Comando(QStringLiteral("esiste")));
        QCOMPARE(r.value(1), QStringLiteral("True"));
        QVERIFY2(r.value(2).startsWith(QStringLiteral("errore: ")), qPrintable(r.value(2)));
        QVERIFY(r.value(2).contains(QStringLiteral("oggetto non impostato")));
    }

    void avviaFunzione() {
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu({QStringLiteral("--ini"), m_dir.filePath(QStringLiteral("belcor.ini"))}));
        // No Quarvel running: a new process with the command line of the call.
        QCOMPARE(Controllo(QStringLiteral("Avvia"),
                           {QStringLiteral("Gestione LIFO Articoli"), QString()})
                     .arguments()
                     .value(0)
                     .toString(),
                 QString());
        QVERIFY(AttendiArgv());
        const QStringList argv = Argv();
        QCOMPARE(argv.size(), 4);
        QVERIFY(argv[0].startsWith(QStringLiteral("/M")));
        QCOMPARE(
            argv.mid(1),
            (QStringList{QStringLiteral("/PQUARVEL LIFO"), QStringLiteral("/FfrmLiFo"),
                         QStringLiteral("/I") + m_dir.filePath(QStringLiteral("belcor.ini"))}));

        // The program started registers with the launch's M: the call is its own.
        ClientMenuDBus c;
        GestoreProva g;
        c.ImpostaGestoreComandi(&g);
        c.Collega(argv[0].mid(2), QStringLiteral("QUARVEL"), QStringLiteral("LIFO"));
        QCOMPARE(c.ParametriLancio().osParam, QStringLiteral("/FfrmLiFo"));
        QCOMPARE(c.FileIni(), m_dir.filePath(QStringLiteral("belcor.ini")));

        // Another function with a Quarvel running: "attiva" to it, which asks
        // the menu for the call of that function.
        QFile::remove(FileArgv());
        QString osParam;
        g.azione = [&](const QString& comando, const QString& chiave) {
            if (comando == QLatin1String("attiva")) {
                c.AttivaFunzione(chiave);
                osParam = c.ParametriLancio().osParam;
            }
        };
        QCOMPARE(Controllo(QStringLiteral("Avvia"), {QStringLiteral("Date inventario"), QString()})
                     .arguments()
                     .value(0)
                     .toString(),
                 QString());
        const QDeadlineTimer limite(30000);
        while (osParam.isEmpty() && !limite.hasExpired())
            QTest::qWait(20);
        QCOMPARE(g.ricevuti.constLast().comando, QStringLiteral("attiva"));
        QCOMPARE(g.ricevuti.constLast().chiave, QStringLiteral("DATEINV"));
        QCOMPARE(osParam, QStringLiteral("/FfrmMagDescInv"));
        QVERIFY(!QFile::exists(FileArgv()));
        QVERIFY(Righe(Controllo(QStringLiteral("Clienti"), {}))
                    .constFirst()
                    .endsWith(QStringLiteral("\tLIFO,DATEINV")));
        c.FineFunzione(QStringLiteral("LIFO"));
        QVERIFY(Righe(Controllo(QStringLiteral("Clienti"), {}))
                    .constFirst()
                    .endsWith(QStringLiteral("\tDATEINV")));

        // A closing form hands control back to its launcher: the menu opens
        // that function again, with the parameter of the call.
        osParam.clear();
        c.RitornaA(QStringLiteral("GESTINV"), QStringLiteral("GESTINV"), QStringLiteral("/Xart"));
        const QDeadlineTimer limite2(30000);
        while (osParam.isEmpty() && !limite2.hasExpired())
            QTest::qWait(20);
        QCOMPARE(g.ricevuti.constLast().chiave, QStringLiteral("GESTINV"));
        QCOMPARE(osParam, QStringLiteral("/FfrmGestInv /Xart"));
        QVERIFY(!QFile::exists(FileArgv()));

        // An unknown function is refused.
        QVERIFY(Controllo(QStringLiteral("Avvia"), {QStringLiteral("frmArticoli"), QString()})
                    .arguments()
                    .value(0)
                    .toString()
                    .startsWith(QStringLiteral("Funzione sconosciuta")));
    }

    void programmaMancante() {
        SENZA_BUS_SALTA();
        // The menu's own copy of the variable names a program that is not there.
        QVERIFY(QFile::rename(Finto(), Finto() + QStringLiteral(".via")));
        const bool avviato = AvviaMenu();
        const QString e =
            avviato ? Controllo(QStringLiteral("Avvia"), {QStringLiteral("GESTINV"), QString()})
                          .arguments()
                          .value(0)
                          .toString()
                    : QString();
        QVERIFY(QFile::rename(Finto() + QStringLiteral(".via"), Finto()));
        QVERIFY(avviato);
        QVERIFY2(e.startsWith(QStringLiteral("Il programma Quarvel non si trova: ") + Finto()),
                 qPrintable(e));
    }

    void fineAllaChiusura_data() {
        QTest::addColumn<QString>("rispostaB");
        QTest::addColumn<bool>("chiuso");
        QTest::newRow("both close") << QString() << true;
        QTest::newRow("a modal window refuses") << QStringLiteral("Maschera Modal") << false;
        QTest::newRow("a window refuses") << QStringLiteral("No Chiudi") << false;
    }
    void fineAllaChiusura() {
        QFETCH(QString, rispostaB);
        QFETCH(bool, chiuso);
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu());
        ClientMenuDBus a, b;
        GestoreProva ga, gb;
        a.ImpostaGestoreComandi(&ga);
        b.ImpostaGestoreComandi(&gb);
        a.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
        b.Collega(QStringLiteral("m-2"), QStringLiteral("QUARVEL"), QStringLiteral("LIFO"));
        if (!rispostaB.isEmpty())
            gb.risposte.insert(QStringLiteral("fine"), rispostaB);

        const auto r = Risposte(Righe(Controllo(QStringLiteral("Chiudi"), {})));
        QCOMPARE(r, (QMap<int, QString>{{1, QString()}, {2, rispostaB}}));
        QCOMPARE(ga.comandi(), QStringList{QStringLiteral("fine")});
        QCOMPARE(gb.comandi(), QStringList{QStringLiteral("fine")});
        if (chiuso) {
            QVERIFY(m_menu->waitForFinished(30000));
            QCOMPARE(m_menu->exitStatus(), QProcess::NormalExit);
            QCOMPARE(m_menu->exitCode(), 0);
        } else {
            QTest::qWait(500);
            QCOMPARE(m_menu->state(), QProcess::Running);
            QVERIFY(MenuInEsecuzione());
        }
    }

    void fineAlSegnale() {
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu());
        ClientMenuDBus a;
        GestoreProva g;
        a.ImpostaGestoreComandi(&g);
        a.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
        // Stopped by a signal, the menu still tells its programs first; a
        // refusal does not keep it.
        g.risposte.insert(QStringLiteral("fine"), QStringLiteral("No Chiudi"));
        m_menu->terminate();
        const QDeadlineTimer limite(30000);
        while (m_menu->state() == QProcess::Running && !limite.hasExpired())
            QTest::qWait(20);
        QCOMPARE(m_menu->state(), QProcess::NotRunning);
        QCOMPARE(m_menu->exitStatus(), QProcess::NormalExit);
        QCOMPARE(g.comandi(), QStringList{QStringLiteral("fine")});
        QVERIFY(!MenuInEsecuzione());
    }

    void rigaDiComando() {
        SENZA_BUS_SALTA();
        QVERIFY(AvviaMenu());
        ClientMenuDBus a;
        GestoreProva g;
        a.ImpostaGestoreComandi(&g);
        a.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
        g.risposte.insert(QStringLiteral("keyprgprim"), QStringLiteral("§ç chiave"));
        // The tool's command runs in another process: this one answers meanwhile.
        QProcess strumento;
        strumento.start(QStringLiteral(QUARVEL_BINARY_DIR "/components/menu/quarvel-menu"),
                        {QStringLiteral("--comando"), QStringLiteral("keyprgprim"),
                         QStringLiteral("--parametro"), QStringLiteral("p")});
        const QDeadlineTimer limite(60000);
        while (strumento.state() != QProcess::NotRunning && !limite.hasExpired())
            QTest::qWait(20);
        QCOMPARE(strumento.exitCode(), 0);
        const QString out = QString::fromUtf8(strumento.readAllStandardOutput());
        QCOMPARE(out,
                 QStringLiteral("1\t%1\tok\t§ç chiave\n").arg(QCoreApplication::applicationPid()));
        QCOMPARE(g.ricevuti.constLast().parametro.toString(), QStringLiteral("p"));

        FermaMenu();
        strumento.start(QStringLiteral(QUARVEL_BINARY_DIR "/components/menu/quarvel-menu"),
                        {QStringLiteral("--clienti")});
        QVERIFY(strumento.waitForFinished(30000));
        QCOMPARE(strumento.exitCode(), 1);
        QVERIFY(QString::fromUtf8(strumento.readAllStandardError())
                    .contains(QStringLiteral("il menu non è in esecuzione")));
    }
};

QTEST_MAIN(TstMenu)
#include "tst_menu.moc"
