// The menu: its store of named values, the commands the programs send it,
// the launch of the functions, and on a real session bus the menu program
// with several programs registered, the commands it sends them and the
// "fine" at its close; who on the bus gets the secrets, writes the values and
// gives orders to a program.

#include "menu/ArchivioMenu.h"
#include "menu/ClientMenuDBus.h"
#include "menu/FinestraMenu.h"
#include "menu/NomiDBus.h"
#include "menu/ServerMenu.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "support/MenuReale.h"

#include <QApplication>
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
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarvel;
using namespace quarvel::menu;

// ---- The mode of every file the store writes, at the moment of the write ----------
//
// This executable's own write() stands before the C library's: while a
// folder is watched, each write into a file of that folder (the store's
// temporary copy included, an unnamed file there until it is renamed) notes
// the file's permission bits before the bytes go in.
namespace {
std::atomic<bool> g_osserva{false};
char g_cartella[4096];
std::atomic<int> g_scrittureViste{0};
std::atomic<unsigned> g_modoLargo{0}; // the first mode seen other than 0600

void Osserva(int fd) {
    char collegamento[64];
    std::snprintf(collegamento, sizeof collegamento, "/proc/self/fd/%d", fd);
    char dove[4096];
    const ssize_t n = ::readlink(collegamento, dove, sizeof dove - 1);
    if (n <= 0)
        return;
    dove[n] = '\0';
    const std::size_t l = std::strlen(g_cartella);
    if (std::strncmp(dove, g_cartella, l) != 0 || dove[l] != '/')
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    g_scrittureViste.fetch_add(1);
    const unsigned modo = st.st_mode & 07777;
    unsigned nessuno = 0;
    if (modo != 0600)
        g_modoLargo.compare_exchange_strong(nessuno, modo);
}

void OsservaCartella(const QString& cartella) {
    const QByteArray c = QFileInfo(cartella).canonicalFilePath().toLocal8Bit();
    std::snprintf(g_cartella, sizeof g_cartella, "%s", c.constData());
    g_scrittureViste = 0;
    g_modoLargo = 0;
    g_osserva = true;
}
} // namespace

extern "C" __attribute__((visibility("default"))) ssize_t write(int fd, const void* dati,
                                                                size_t n) {
    using Scrivi = ssize_t (*)(int, const void*, size_t);
    static const auto vera = reinterpret_cast<Scrivi>(::dlsym(RTLD_NEXT, "write"));
    if (g_osserva.load())
        Osserva(fd);
    return vera(fd, dati, n);
}

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

// What the menu of the tests of the secrets holds: the company's password,
// the common database's, the SQL login, the connection text, and values
// every registered program may read.
struct ValoreDitta {
    const char* nome;
    const char* valore;
};
const ValoreDitta ValoriDitta[] = {
    {"PwdDbAzie", "pw-ditta §ç"},
    {"AccMenuPwd", "pw-comune"},
    {"SqlLogin", "utente-sql"},
    {"SqlPwd", "pw-sql"},
    {"ConnectDBAzie", "ODBC;DSN=ditta;UID=utente-sql;PWD=pw-sql"},
    {"NomeDBAzie", "/srv/ditte/ditta.db"},
    {"DescAzie", "Rossi & Figli"},
};
QStringList OpzioniValoriDitta() {
    QStringList l;
    for (const ValoreDitta& v : ValoriDitta)
        l << QStringLiteral("--valore")
          << QString::fromUtf8(v.nome) + QLatin1Char('=') + QString::fromUtf8(v.valore);
    return l;
}
QString ValoreDi(const QString& nome) {
    for (const ValoreDitta& v : ValoriDitta)
        if (nome.compare(QLatin1String(v.nome), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(v.valore);
    return {};
}

// A call to the menu's client interface from a connection that never
// registered (or from the one given).
QDBusMessage ChiamaMenu(const QString& metodo, const QVariantList& argomenti,
                        QDBusConnection bus = QDBusConnection::sessionBus()) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(ServizioMenu(), PercorsoMenu, InterfacciaMenu, metodo);
    m.setArguments(argomenti);
    return bus.call(m, QDBus::Block, 30000);
}

// The program the menu starts in the tests of the secrets, this executable
// run as "--cliente-lanciato <operations> <results>" followed by the menu's
// switches: it registers as Quarvel does, carries out the operations (one a
// line: "L\tname" reads, "S\tname\tvalue" writes, "L2\tname" reads through
// a second client registered afterwards from the same process) and writes
// one result a line ("L\tname\tvalue", "S\tname\tok" or
// "S\tname\terrore: ...").
int ClienteLanciato(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString operazioni = QString::fromLocal8Bit(argv[2]);
    const QString esiti = QString::fromLocal8Bit(argv[3]);
    QString m, p, resto;
    for (int i = 4; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a.startsWith(QLatin1String("/M"))) {
            m = a.mid(2);
        } else if (a.startsWith(QLatin1String("/P"))) {
            p = a.mid(2).section(QLatin1Char(' '), 0, 0);
            resto = a.mid(2).section(QLatin1Char(' '), 1);
        }
    }
    QStringList righe;
    try {
        ClientMenuDBus c;
        c.Collega(m, p, resto);
        std::unique_ptr<ClientMenuDBus> secondo;
        QFile f(operazioni);
        if (!f.open(QIODevice::ReadOnly))
            return 2;
        for (const QString& r : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            const QStringList campi = r.split(QLatin1Char('\t'));
            if (campi.value(0) == QLatin1String("L")) {
                righe << QStringLiteral("L\t%1\t%2")
                             .arg(campi.value(1), c.LeggiValore(campi.value(1), {}));
            } else if (campi.value(0) == QLatin1String("L2")) {
                if (!secondo) {
                    secondo = std::make_unique<ClientMenuDBus>();
                    secondo->Collega(m, p, resto);
                }
                righe << QStringLiteral("L2\t%1\t%2")
                             .arg(campi.value(1), secondo->LeggiValore(campi.value(1), {}));
            } else if (campi.value(0) == QLatin1String("S")) {
                try {
                    c.ScriviValore(campi.value(1), campi.value(2));
                    righe << QStringLiteral("S\t%1\tok").arg(campi.value(1));
                } catch (const Errore& e) {
                    righe
                        << QStringLiteral("S\t%1\terrore: %2").arg(campi.value(1), e.descrizione());
                }
            }
        }
    } catch (const Errore& e) {
        righe << QStringLiteral("errore\t") + e.descrizione();
    }
    // Written apart and renamed, so that the test reads it whole.
    QFile out(esiti + QStringLiteral(".nuovo"));
    if (!out.open(QIODevice::WriteOnly))
        return 2;
    out.write((righe.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    out.close();
    return QFile::rename(esiti + QStringLiteral(".nuovo"), esiti) ? 0 : 2;
}

} // namespace

class TstMenu : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    // The real menu, under a bus name of this test's own: other tests may run
    // a menu on the same bus.
    prova::MenuReale m_menu{prova::MenuReale::NomeDiProva(QStringLiteral("MenuProva"))};

    QString Archivio() const { return m_dir.filePath(QStringLiteral("menu/menu.ini")); }
    QString FileArgv() const { return m_dir.filePath(QStringLiteral("argv.txt")); }
    QString Finto() const { return m_dir.filePath(QStringLiteral("quarvel-finto")); }
    QString Lanciato() const { return m_dir.filePath(QStringLiteral("quarvel-lanciato")); }
    QString Operazioni() const { return m_dir.filePath(QStringLiteral("operazioni.txt")); }
    QString Esiti() const { return m_dir.filePath(QStringLiteral("esiti.txt")); }

    // The real menu program on the test's bus, with a fresh store; it starts
    // the stand-in for Quarvel, or the program given.
    bool AvviaMenu(const QStringList& altri = {}, const QString& programma = {}) {
        QFile::remove(Archivio());
        QFile::remove(FileArgv());
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUARVEL_PROGRAM"), programma.isEmpty() ? Finto() : programma);
        return m_menu.Avvia(QStringList{QStringLiteral("--archivio"), Archivio(),
                                        QStringLiteral("--senza-dialoghi"),
                                        QStringLiteral("--nascosto")} +
                                altri,
                            env);
    }
    // Ends the menu as a signal does; the event loop turns meanwhile, so the
    // programs of this process answer its "fine".
    void FermaMenu() { m_menu.Ferma(); }
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
    // The program the menu starts for "Gestione inventari" carries out the
    // operations: its results, one a line.
    QStringList OperazioniDelLanciato(const QStringList& operazioni) {
        QFile::remove(Esiti());
        QFile f(Operazioni());
        if (!f.open(QIODevice::WriteOnly))
            return {QStringLiteral("operazioni non scritte")};
        f.write((operazioni.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        f.close();
        const QString e = Controllo(QStringLiteral("Avvia"), {QStringLiteral("GESTINV"), QString()})
                              .arguments()
                              .value(0)
                              .toString();
        if (!e.isEmpty())
            return {e};
        const QDeadlineTimer limite(30000);
        while (!QFile::exists(Esiti()) && !limite.hasExpired())
            QTest::qWait(20);
        QFile r(Esiti());
        if (!r.open(QIODevice::ReadOnly))
            return {QStringLiteral("nessun esito dal programma avviato")};
        return QString::fromUtf8(r.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // What the menu wrote on its standard error so far.
    QString ErroriMenu() {
        QTest::qWait(200);
        m_erroriMenu += QString::fromUtf8(m_menu->readAllStandardError());
        return m_erroriMenu;
    }
    QString m_erroriMenu;

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
        QFile f(Finto());
        QVERIFY(f.open(QIODevice::WriteOnly));
        // The stand-in for Quarvel: writes its arguments, one a line.
        f.write(
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(FileArgv()).toUtf8());
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
        // The stand-in that registers: this executable as a client, run by a
        // script that does not exec it, so the menu's program is its parent.
        QFile l(Lanciato());
        QVERIFY(l.open(QIODevice::WriteOnly));
        l.write(QStringLiteral("#!/bin/sh\n'%1' --cliente-lanciato '%2' '%3' \"$@\"\n")
                    .arg(QCoreApplication::applicationFilePath(), Operazioni(), Esiti())
                    .toUtf8());
        l.close();
        QVERIFY(l.setPermissions(l.permissions() | QFile::ExeOwner));
    }
    void cleanup() {
        FermaMenu();
        m_erroriMenu.clear();
    }

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
        // "re:" a pattern the value matches: the programs show both at start
        QTest::newRow("suite version") << "Versione"
                                       << ""
                                       << R"(re:^\d+\.\d+\.\d+$)";
        QTest::newRow("version date") << "DataVersione"
                                      << ""
                                      << R"(re:^\d\d/\d\d/\d{4}$)";
    }
    void valoriMancanti() {
        QFETCH(QString, nome);
        QFETCH(QString, predefinito);
        QFETCH(QString, atteso);
        QFile::remove(Archivio());
        ArchivioMenu archivio(Archivio());
        OperatoreScriptato op;
        ServerMenu server(archivio, op);
        const QString valore = server.LeggiValore(nome, predefinito);
        if (atteso.startsWith(QLatin1String("re:")))
            QVERIFY2(QRegularExpression(atteso.mid(3)).match(valore).hasMatch(),
                     qPrintable(valore));
        else
            QCOMPARE(valore, atteso);
        QCOMPARE(server.LeggiValore(QStringLiteral("MenuProcId"), {}),
                 QString::number(QCoreApplication::applicationPid()));
    }

    // The company's name stored by the menu belongs to the company it names:
    // a new --ditta without --descrizione does not keep the previous name.
    void descrizioneDellaDitta_data() {
        QTest::addColumn<QStringList>("seconda"); // the second start's options
        QTest::addColumn<QString>("atteso");
        QTest::newRow("another company, no name") << QStringList{"--ditta", "B.db"} << "";
        QTest::newRow("the same company") << QStringList{"--ditta", "A.db"} << "Alfa";
        QTest::newRow("another company, its name")
            << QStringList{"--ditta", "B.db", "--descrizione", "Beta"} << "Beta";
        QTest::newRow("the demo company")
            << QStringList{"--ditta", "demo.db", "--demo"} << "Ditta dimostrativa";
        QTest::newRow("the demo company, its name")
            << QStringList{"--ditta", "demo.db", "--demo", "--descrizione", "Prova"} << "Prova";
    }
    void descrizioneDellaDitta() {
        QFETCH(QStringList, seconda);
        QFETCH(QString, atteso);
        // The demo file exists already: --demo only stores its values.
        QFile demo(m_dir.filePath(QStringLiteral("demo.db")));
        QVERIFY(demo.open(QIODevice::WriteOnly));
        demo.close();
        for (QString& a : seconda)
            if (a.endsWith(QLatin1String(".db")))
                a = m_dir.filePath(a);
        QVERIFY(AvviaMenu({QStringLiteral("--ditta"), m_dir.filePath(QStringLiteral("A.db")),
                           QStringLiteral("--descrizione"), QStringLiteral("Alfa")}));
        FermaMenu();
        QCOMPARE(ArchivioMenu(Archivio()).Valore(QStringLiteral("DescAzie")),
                 std::optional<QString>(QStringLiteral("Alfa")));
        // The second start keeps the store.
        QVERIFY(m_menu.Avvia(QStringList{QStringLiteral("--archivio"), Archivio(),
                                         QStringLiteral("--senza-dialoghi"),
                                         QStringLiteral("--nascosto")} +
                                 seconda,
                             QProcessEnvironment::systemEnvironment()));
        FermaMenu();
        const ArchivioMenu archivio(Archivio());
        QCOMPARE(archivio.Valore(QStringLiteral("NomeDBAzie")).value_or(QString()),
                 seconda.value(1));
        QCOMPARE(archivio.Valore(QStringLiteral("DescAzie")).value_or(QString()), atteso);
    }

    void archivioInaccessibile_data() {
        // What stands in the way of the store, and the cause the window names.
        QTest::addColumn<QString>("archivio"); // relative to a fresh folder
        QTest::addColumn<QString>("preparato");
        QTest::addColumn<QString>("causa");
        QTest::newRow("the config folder is a file")
            << "conf/quarvel/menu.ini"
            << "file conf"
            << "Non riesco a creare la cartella %D/conf/quarvel: %D/conf è un file, non una "
               "cartella";
        QTest::newRow("the store is a folder")
            << "quarvel/menu.ini"
            << "cartella quarvel/menu.ini"
            << "Non riesco a leggere l'archivio del menu %D/quarvel/menu.ini: è una cartella";
    }
    void archivioInaccessibile() {
        // The menu that cannot keep its store does not start, and says why
        // in a message window (its text on standard error too).
        QFETCH(QString, archivio);
        QFETCH(QString, preparato);
        QFETCH(QString, causa);
        QTemporaryDir d;
        causa.replace(QLatin1String("%D"), d.path());
        const QString cosa = preparato.section(QLatin1Char(' '), 1);
        if (preparato.startsWith(QLatin1String("file"))) {
            QFile f(d.filePath(cosa));
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkpath(d.filePath(cosa)));
        }
        QProcess menu;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        menu.setProcessEnvironment(env);
        menu.start(prova::MenuReale::Programma(),
                   {QStringLiteral("--archivio"), d.filePath(archivio), QStringLiteral("--ditta"),
                    d.filePath(QStringLiteral("a.db")), QStringLiteral("--senza-dialoghi")});
        QVERIFY(menu.waitForFinished(30000));
        QCOMPARE(menu.exitCode(), 1);
        const QString err = QString::fromUtf8(menu.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("[box: Quarvel - Menu] ") + causa + QLatin1Char('.')),
                 qPrintable(err));
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

    // The store is rewritten through a temporary copy: no byte goes into a
    // file that others may read, whatever the old file's mode or the mask.
    void archivioTemporaneoPrivato_data() {
        QTest::addColumn<int>("modoVecchio"); // -1: no store yet
        QTest::addColumn<int>("maschera");
        QTest::newRow("new store, open mask") << -1 << 0;
        QTest::newRow("store readable by others") << 0644 << 022;
        QTest::newRow("store writable by the group") << 0660 << 022;
        QTest::newRow("store open to all, open mask") << 0666 << 0;
    }
    void archivioTemporaneoPrivato() {
        QFETCH(int, modoVecchio);
        QFETCH(int, maschera);
        QTemporaryDir d;
        const QString file = d.filePath(QStringLiteral("menu.ini"));
        if (modoVecchio >= 0) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Valori]\nA=1\n");
            f.close();
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(modoVecchio)), 0);
        }
        const mode_t prima = ::umask(mode_t(maschera));
        OsservaCartella(d.path());
        bool scritto = true;
        try {
            ArchivioMenu(file).ScriviValore(QStringLiteral("PwdDbAzie"), QStringLiteral("segreta"));
        } catch (const Errore&) {
            scritto = false;
        }
        g_osserva = false;
        ::umask(prima);
        QVERIFY(scritto);
        QVERIFY2(g_scrittureViste.load() > 0, "no write into the store's folder was seen");
        QVERIFY2(g_modoLargo.load() == 0,
                 qPrintable(QStringLiteral("a write went into a file with mode %1")
                                .arg(g_modoLargo.load(), 4, 8, QLatin1Char('0'))));
        QCOMPARE(Permessi(file), RW);
        QCOMPARE(ArchivioMenu(file).Valore(QStringLiteral("PwdDbAzie")).value_or(QString()),
                 QStringLiteral("segreta"));
        if (modoVecchio >= 0)
            QCOMPARE(ArchivioMenu(file).Valore(QStringLiteral("A")).value_or(QString()),
                     QStringLiteral("1"));
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
        SALTA_SENZA_BUS();
        QVERIFY(!m_menu.InEsecuzione());
        try {
            ClientMenuDBus c;
            QFAIL("a client was created with no menu running");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), NumErr::ChiamataNonValida);
        }
    }

    void dueClienti() {
        SALTA_SENZA_BUS();
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
        SALTA_SENZA_BUS();
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
        SALTA_SENZA_BUS();
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
        SALTA_SENZA_BUS();
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
        SALTA_SENZA_BUS();
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
        SALTA_SENZA_BUS();
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
            QVERIFY(m_menu.InEsecuzione());
        }
    }

    void fineAlSegnale() {
        SALTA_SENZA_BUS();
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
        QVERIFY(!m_menu.InEsecuzione());
    }

    // A value as the three kinds of caller read it: a process that never
    // registered gets an error, a registered program the menu did not start
    // gets the secrets as missing, the program the menu started gets them.
    void valoriRiservati_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<bool>("riservato");
        QTest::newRow("company password") << "PwdDbAzie" << true;
        QTest::newRow("common database password") << "AccMenuPwd" << true;
        QTest::newRow("SQL login") << "SqlLogin" << true;
        QTest::newRow("SQL password") << "sqlpwd" << true;
        QTest::newRow("connection text") << "ConnectDBAzie" << true;
        QTest::newRow("company database") << "NomeDBAzie" << false;
        QTest::newRow("company name") << "DescAzie" << false;
    }
    void valoriRiservati() {
        SALTA_SENZA_BUS();
        QFETCH(QString, nome);
        QFETCH(bool, riservato);
        QVERIFY(AvviaMenu(OpzioniValoriDitta(), Lanciato()));
        const QString valore = ValoreDi(nome);
        QVERIFY(!valore.isEmpty());

        const QDBusMessage r = ChiamaMenu(QStringLiteral("LeggiValore"), {nome, QString()});
        QCOMPARE(r.type(), QDBusMessage::ErrorMessage);
        QVERIFY2(r.errorMessage().contains(QStringLiteral("non si è collegato al menu")),
                 qPrintable(r.errorMessage()));
        QVERIFY(!r.errorMessage().contains(valore));

        {
            ClientMenuDBus c;
            c.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
            QCOMPARE(c.LeggiValore(nome, QStringLiteral("predefinito")),
                     riservato ? QStringLiteral("predefinito") : valore);
        }
        // Gone from the menu, it leaves the function to a new process.

        QCOMPARE(OperazioniDelLanciato({QStringLiteral("L\t") + nome}),
                 QStringList{QStringLiteral("L\t%1\t%2").arg(nome, valore)});
    }

    // Every secret of the menu's one list, and for a rule that covers a
    // family of names (the SMTP password of each sending configuration)
    // names of that family in any case: a registered program the menu did
    // not start reads each as missing and may not write it; the program the
    // menu started reads and writes them all.
    void segretiDellElenco() {
        SALTA_SENZA_BUS();
        QStringList nomi;
        for (const ServerMenu::ChiaveSegreta& c : ServerMenu::ChiaviSegrete()) {
            const QString n = QString::fromLatin1(c.nome);
            nomi << n;
            if (c.prefisso)
                nomi << n + QStringLiteral("1") << n.toLower() + QStringLiteral("2")
                     << n.toUpper() + QStringLiteral("3");
        }
        const auto valore = [](const QString& n) { return QStringLiteral("segreto di ") + n; };
        QStringList opzioni;
        for (const QString& n : nomi)
            opzioni << QStringLiteral("--valore") << n + QLatin1Char('=') + valore(n);
        QVERIFY(AvviaMenu(opzioni, Lanciato()));
        const auto nelFile = [this](const QString& n) {
            return ArchivioMenu(Archivio()).Valore(n).value_or(QStringLiteral("<manca>"));
        };
        {
            ClientMenuDBus c;
            c.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
            for (const QString& n : nomi) {
                QVERIFY2(c.LeggiValore(n, QStringLiteral("predefinito")) ==
                             QLatin1String("predefinito"),
                         qPrintable(n));
                try {
                    c.ScriviValore(n, QStringLiteral("dal collegato"));
                    QFAIL(qPrintable(n + QStringLiteral(" written by a program the menu did not "
                                                        "start")));
                } catch (const Errore& e) {
                    QVERIFY2(e.descrizione().contains(QStringLiteral("avviati dal menu")),
                             qPrintable(e.descrizione()));
                }
                QCOMPARE(nelFile(n), valore(n));
            }
        }
        QStringList operazioni, attesi;
        for (const QString& n : nomi) {
            operazioni << QStringLiteral("L\t") + n << QStringLiteral("S\t%1\tnuovo").arg(n);
            attesi << QStringLiteral("L\t%1\t%2").arg(n, valore(n))
                   << QStringLiteral("S\t%1\tok").arg(n);
        }
        QCOMPARE(OperazioniDelLanciato(operazioni), attesi);
        for (const QString& n : nomi)
            QCOMPARE(nelFile(n), QStringLiteral("nuovo"));
    }

    // A launch gives the secrets to the first client that registers from it,
    // not to one the program (or what it started) registers afterwards.
    void unLancioUnCliente() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu(OpzioniValoriDitta(), Lanciato()));
        QCOMPARE(
            OperazioniDelLanciato({QStringLiteral("L\tPwdDbAzie"), QStringLiteral("L2\tPwdDbAzie"),
                                   QStringLiteral("L2\tDescAzie")}),
            (QStringList{QStringLiteral("L\tPwdDbAzie\t") + ValoreDi("PwdDbAzie"),
                         QStringLiteral("L2\tPwdDbAzie\t"),
                         QStringLiteral("L2\tDescAzie\t") + ValoreDi("DescAzie")}));
    }

    // The SQL login is asked of the operator only for a program the menu
    // started (this menu has no dialogs: it says so on its standard error).
    void chiediPwdSqlSoloAiLanciati() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu({}, Lanciato()));
        const QString richiesta = QStringLiteral("accesso SQL richiesto");
        const QDBusMessage r =
            ChiamaMenu(QStringLiteral("LeggiValore"), {QStringLiteral("ChiediPwdSql"), QString()});
        QCOMPARE(r.type(), QDBusMessage::ErrorMessage);
        {
            ClientMenuDBus c;
            c.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
            QCOMPARE(c.LeggiValore(QStringLiteral("ChiediPwdSql")), QStringLiteral("N"));
            QVERIFY2(!ErroriMenu().contains(richiesta), qPrintable(ErroriMenu()));
        }
        QCOMPARE(OperazioniDelLanciato({QStringLiteral("L\tChiediPwdSql")}),
                 QStringList{QStringLiteral("L\tChiediPwdSql\tN")});
        // what the menu writes reaches this process when it does
        QTRY_VERIFY2_WITH_TIMEOUT(ErroriMenu().contains(richiesta), qPrintable(ErroriMenu()),
                                  10000);
    }

    // Who changes a named value: never a process that did not register; the
    // company's database and the secrets only the program the menu started.
    void scritturaValori_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<bool>("collegatoScrive");
        QTest::newRow("company database") << "NomeDBAzie" << false;
        QTest::newRow("company password") << "PwdDbAzie" << false;
        QTest::newRow("SQL password") << "SqlPwd" << false;
        QTest::newRow("connection text") << "connectdbazie" << false;
        QTest::newRow("personal parameter")
            << NomeParametroPersonale("Tutti", "Massimizzato") << true;
        QTest::newRow("company value") << "DescAzie" << true;
    }
    void scritturaValori() {
        SALTA_SENZA_BUS();
        QFETCH(QString, nome);
        QFETCH(bool, collegatoScrive);
        QVERIFY(AvviaMenu(OpzioniValoriDitta(), Lanciato()));
        auto nelFile = [this, &nome] {
            return ArchivioMenu(Archivio()).Valore(nome).value_or(QStringLiteral("<manca>"));
        };
        const QString prima = nelFile();

        const QDBusMessage r =
            ChiamaMenu(QStringLiteral("ScriviValore"), {nome, QStringLiteral("/srv/altrove.db")});
        QCOMPARE(r.type(), QDBusMessage::ErrorMessage);
        QVERIFY2(r.errorMessage().contains(QStringLiteral("non si è collegato al menu")),
                 qPrintable(r.errorMessage()));
        QCOMPARE(nelFile(), prima);

        {
            ClientMenuDBus c;
            c.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
            try {
                c.ScriviValore(nome, QStringLiteral("dal collegato"));
                QVERIFY2(collegatoScrive, "a program the menu did not start changed the value");
                QCOMPARE(nelFile(), QStringLiteral("dal collegato"));
            } catch (const Errore& e) {
                QVERIFY2(!collegatoScrive, qPrintable(e.descrizione()));
                QVERIFY2(e.descrizione().contains(QStringLiteral("avviati dal menu")),
                         qPrintable(e.descrizione()));
                QCOMPARE(nelFile(), prima);
            }
        }

        QCOMPARE(OperazioniDelLanciato({QStringLiteral("S\t%1\tdal lanciato").arg(nome)}),
                 QStringList{QStringLiteral("S\t%1\tok").arg(nome)});
        QCOMPARE(nelFile(), QStringLiteral("dal lanciato"));
    }

    // Other operations that need a registered caller: a command to the menu.
    void comandoDaNonCollegato() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu({QStringLiteral("--valore"), QStringLiteral("x=1")}));
        const QDBusMessage r = ChiamaMenu(
            QStringLiteral("InviaComando"),
            {QStringLiteral("MsgBox"), QStringLiteral("Tutti"),
             QVariant::fromValue(QDBusVariant(QStringLiteral("Aggiornare la password")))});
        QCOMPARE(r.type(), QDBusMessage::ErrorMessage);
        QVERIFY2(r.errorMessage().contains(QStringLiteral("non si è collegato al menu")),
                 qPrintable(r.errorMessage()));
        QVERIFY(!ErroriMenu().contains(QStringLiteral("Aggiornare la password")));
    }

    // A program takes commands only from the menu: another process of the
    // session, registered or not, is refused and the program hears nothing.
    void comandoSoloDalMenu_data() {
        QTest::addColumn<bool>("registrato");
        QTest::newRow("a process that never registered") << false;
        QTest::newRow("another registered client") << true;
    }
    void comandoSoloDalMenu() {
        SALTA_SENZA_BUS();
        QFETCH(bool, registrato);
        QVERIFY(AvviaMenu());
        ClientMenuDBus a;
        GestoreProva g;
        g.risposte.insert(QStringLiteral("esiste"), true);
        a.ImpostaGestoreComandi(&g);
        a.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));

        const QString nomeAltro = QStringLiteral("tst-menu-altro");
        QDBusConnection altro =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, nomeAltro);
        QVERIFY(altro.isConnected());
        if (registrato)
            QCOMPARE(ChiamaMenu(QStringLiteral("Collega"),
                                {QStringLiteral("m-2"), QStringLiteral("QUARVEL"), QString()},
                                altro)
                         .type(),
                     QDBusMessage::ReplyMessage);
        QDBusMessage m = QDBusMessage::createMethodCall(
            a.NomeSulBus(), PercorsoCliente, InterfacciaCliente, QStringLiteral("EseguiComando"));
        m.setArguments({QStringLiteral("m-1"), QStringLiteral("GESTINV"), QStringLiteral("fine"),
                        QVariant::fromValue(QDBusVariant(QString()))});
        // This process answers on the client's connection meanwhile.
        QDBusPendingCall c = altro.asyncCall(m, 30000);
        const QDeadlineTimer limite(30000);
        while (!c.isFinished() && !limite.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        c.waitForFinished();
        QDBusConnection::disconnectFromBus(nomeAltro);
        QCOMPARE(c.reply().type(), QDBusMessage::ErrorMessage);
        QCOMPARE(c.reply().errorName(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
        QVERIFY(g.ricevuti.isEmpty());

        // The menu's own commands still arrive.
        QCOMPARE(Risposte(Comando(QStringLiteral("esiste"), {}, {}, 1)),
                 (QMap<int, QString>{{1, QStringLiteral("True")}}));
        QCOMPARE(g.comandi(), QStringList{QStringLiteral("esiste")});
    }

    void rigaDiComando() {
        SALTA_SENZA_BUS();
        QVERIFY(AvviaMenu());
        ClientMenuDBus a;
        GestoreProva g;
        a.ImpostaGestoreComandi(&g);
        a.Collega(QStringLiteral("m-1"), QStringLiteral("QUARVEL"), QStringLiteral("GESTINV"));
        g.risposte.insert(QStringLiteral("keyprgprim"), QStringLiteral("§ç chiave"));
        // The tool's command runs in another process: this one answers meanwhile.
        QProcess strumento;
        strumento.start(prova::MenuReale::Programma(),
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
        strumento.start(prova::MenuReale::Programma(), {QStringLiteral("--clienti")});
        QVERIFY(strumento.waitForFinished(30000));
        QCOMPARE(strumento.exitCode(), 1);
        QVERIFY(QString::fromUtf8(strumento.readAllStandardError())
                    .contains(QStringLiteral("il menu non è in esecuzione")));
    }
};

int main(int argc, char* argv[]) {
    if (argc > 3 && qstrcmp(argv[1], "--cliente-lanciato") == 0)
        return ClienteLanciato(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TstMenu tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_menu.moc"
