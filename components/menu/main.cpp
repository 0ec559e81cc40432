// quarvel-menu: the suite's menu reduced to what Quarvel needs.  See
// --help for the options; the D-Bus names are in NomiDBus.h.

#include "comune/Profilo.h"
#include "comune/TraduzioniQt.h"
#include "menu/ArchivioMenu.h"
#include "menu/FinestraMenu.h"
#include "menu/NomiDBus.h"
#include "menu/ServerMenu.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

using namespace quarvel;
using namespace quarvel::menu;

namespace {

QTextStream& Out() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& Errori() {
    static QTextStream s(stderr);
    return s;
}

// The message service of the menu's window: the platform's message box.
class MessaggiFinestra final : public ServizioMessaggi {
public:
    int msgCom(const RichiestaMsgCom& r) override {
        QMessageBox box(QMessageBox::NoIcon, r.pvTitolo.value_or(QStringLiteral("Menu")),
                        r.psLabel);
        QList<QAbstractButton*> pulsanti;
        for (const QString& p : r.pulsanti())
            pulsanti << box.addButton(p, QMessageBox::AcceptRole);
        if (r.piComDefault >= 1 && r.piComDefault <= pulsanti.size())
            box.setDefaultButton(qobject_cast<QPushButton*>(pulsanti[r.piComDefault - 1]));
        box.exec();
        return int(pulsanti.indexOf(box.clickedButton())) + 1;
    }
    int msgBox(const RichiestaMsgBox& r) override {
        QMessageBox box;
        box.setWindowTitle(r.titolo.isEmpty() ? QStringLiteral("Menu") : r.titolo);
        box.setText(r.testo);
        const int icona = r.stile & 0x70;
        box.setIcon(icona == vbCritical      ? QMessageBox::Critical
                    : icona == vbQuestion    ? QMessageBox::Question
                    : icona == vbExclamation ? QMessageBox::Warning
                    : icona == vbInformation ? QMessageBox::Information
                                             : QMessageBox::NoIcon);
        const QStringList didascalie = PulsantiMsgBox(r.stile);
        const std::vector<int> risposte = RisposteMsgBox(r.stile);
        QList<QAbstractButton*> pulsanti;
        for (const QString& d : didascalie)
            pulsanti << box.addButton(d, QMessageBox::AcceptRole);
        box.exec();
        const auto i = pulsanti.indexOf(box.clickedButton());
        if (i < 0 || std::size_t(i) >= risposte.size())
            return risposte.empty() ? vbOK : risposte.back();
        return risposte[std::size_t(i)];
    }
    QString inputBox(const RichiestaInput& r) override {
        return QInputDialog::getText(nullptr, r.titolo, r.prompt, QLineEdit::Normal, r.predefinito);
    }
};

class Operatore final : public IOperatoreMenu {
public:
    explicit Operatore(bool dialoghi) : m_dialoghi(dialoghi) {}
    void ImpostaFinestra(QWidget* f) { m_finestra = f; }

    int Messaggio(const QString& testo, int stile, const QString& titolo) override {
        return MsgBox(testo, stile, titolo);
    }
    bool ChiediLoginSql(QString& utente, QString& password) override {
        if (!m_dialoghi) {
            Errori() << "quarvel-menu: accesso SQL richiesto, nessun dialogo (--senza-dialoghi)\n";
            Errori().flush();
            return false;
        }
        DialogoLoginSql d(m_finestra);
        d.Imposta(utente);
        if (d.exec() != QDialog::Accepted)
            return false;
        utente = d.Utente();
        password = d.Password();
        return true;
    }
    void MostraFinestra() override {
        if (!m_finestra)
            return;
        m_finestra->showNormal();
        m_finestra->raise();
        m_finestra->activateWindow();
    }

private:
    bool m_dialoghi;
    QWidget* m_finestra = nullptr;
};

// A call to the running menu's control interface; nullopt (and the reason
// on standard error) when it fails.
std::optional<QDBusMessage> Controllo(const QString& metodo, const QVariantList& argomenti) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Errori() << "quarvel-menu: bus di sessione non raggiungibile: " << bus.lastError().message()
                 << "\n";
        return std::nullopt;
    }
    if (!bus.interface()->isServiceRegistered(ServizioMenu()).value()) {
        Errori() << "quarvel-menu: il menu non è in esecuzione\n";
        return std::nullopt;
    }
    QDBusMessage m = QDBusMessage::createMethodCall(ServizioMenu(), PercorsoControllo,
                                                    InterfacciaControllo, metodo);
    m.setArguments(argomenti);
    const QDBusMessage r = bus.call(m, QDBus::Block, 300000);
    if (r.type() != QDBusMessage::ReplyMessage) {
        Errori() << "quarvel-menu: " << metodo << ": " << r.errorMessage() << "\n";
        return std::nullopt;
    }
    return r;
}

void StampaRighe(const QDBusMessage& r) {
    if (r.arguments().isEmpty())
        return;
    for (const QString& riga : r.arguments().constFirst().toStringList())
        Out() << riga << "\n";
    Out().flush();
}

QVariant Parametro(const QStringList& valori) {
    if (valori.isEmpty())
        return QVariant();
    if (valori.size() == 1)
        return valori.constFirst();
    QVariantList l;
    for (const QString& v : valori)
        l << v;
    return l;
}

// The quarvel-ditta command of the data-access component: QUARVEL_DITTA, or
// beside this program, or in the build tree's components/data.
QString ProgrammaDitta() {
    const QString env = qEnvironmentVariable("QUARVEL_DITTA");
    if (!env.isEmpty())
        return env;
    const QString qui = QCoreApplication::applicationDirPath();
    const QString accanto = qui + QStringLiteral("/quarvel-ditta");
    if (QFileInfo(accanto).isExecutable())
        return accanto;
    return QFileInfo(qui + QStringLiteral("/../data/quarvel-ditta")).absoluteFilePath();
}

// --demo: the demo company in the company database the store names (a new
// file in the user's data folder when it names none), created only when the
// file is missing; the company's values the program reads are stored when
// missing, and its name when the store has none.  False after a message on
// standard error.
bool CreaDemo(ArchivioMenu& archivio, bool descrizioneData) {
    QString db = archivio.Valore(QStringLiteral("NomeDBAzie")).value_or(QString()).trimmed();
    // A name given with --descrizione stays; else the demo company is named
    // when the store has no name for it (missing, emptied by a new --ditta,
    // or left from a store that named no database).
    const bool nomina =
        !descrizioneData &&
        (db.isEmpty() ||
         archivio.Valore(QStringLiteral("DescAzie")).value_or(QString()).trimmed().isEmpty());
    if (db.isEmpty()) {
        QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/.local/share");
        db = base + QStringLiteral("/quarvel/ditta-demo.db");
    }
    if (!db.contains(QLatin1Char('.'))) {
        Errori() << "quarvel-menu: --demo crea solo ditte su file SQLite, non l'origine dati " << db
                 << "\n";
        return false;
    }
    if (!QFileInfo::exists(db)) {
        const QString programma = ProgrammaDitta();
        if (!QFileInfo(programma).isExecutable()) {
            Errori() << "quarvel-menu: non trovo quarvel-ditta (" << programma
                     << "; QUARVEL_DITTA ne indica un altro)\n";
            return false;
        }
        QDir().mkpath(QFileInfo(db).absolutePath());
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(programma, {QStringLiteral("--demo"), db});
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            Errori() << "quarvel-menu: quarvel-ditta non ha creato la ditta dimostrativa " << db
                     << "\n";
            return false;
        }
    }
    const QList<QPair<QString, QString>> valori{
        {QStringLiteral("NomeDBAzie"), db},
        {QStringLiteral("DescAzie"), QStringLiteral("Ditta dimostrativa")},
        {QStringLiteral("Ditta.Moneta"), QStringLiteral("Euro")},
        {QStringLiteral("Ditta.CodLira"), QStringLiteral("L.")},
        {QStringLiteral("Ditta.CodEuro"), QStringLiteral("Euro")},
        {QStringLiteral("Mag.NumDecQta"), QStringLiteral("2")},
        // the demo articles have sizes and colours: the forms show them
        {QStringLiteral("Mag.GesTaglie"), QStringLiteral("S")},
        // new counted rows start in the main warehouse
        {QStringLiteral("Mag.MagPrincipale"), QStringLiteral("M01")},
        {QStringLiteral("Personal.Articoli.§Immagini"), QStringLiteral("S")},
        // counts can be loaded from a terminal file (the set make run writes)
        {QStringLiteral("Personal.CarMov.§LettArtDafile"), QStringLiteral("S")},
    };
    for (const auto& [nome, valore] : valori)
        if (!archivio.Valore(nome))
            archivio.ScriviValore(nome, valore);
    if (nomina)
        archivio.ScriviValore(QStringLiteral("DescAzie"), QStringLiteral("Ditta dimostrativa"));
    return true;
}

// The menu cannot start (its store cannot be read or written): the cause on
// standard error and, when the menu would have shown its window, in a
// message window the operator sees.
int NonParte(int argc, char** argv, const QString& causa, bool finestra, bool dialoghi) {
    Errori() << "quarvel-menu: " << causa << "\n";
    Errori().flush();
    if (!finestra ||
        (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
         qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        return 1;
    QApplication app(argc, argv);
    CaricaTraduzioniQt(&app);
    MessaggiFinestra messaggiFinestra;
    MessaggiStderr messaggiStderr;
    ImpostaServizioMessaggi(dialoghi ? static_cast<ServizioMessaggi*>(&messaggiFinestra)
                                     : &messaggiStderr);
    MsgBox(causa + QStringLiteral(".\n\nIl menu non può partire: sistemare e riavviarlo."),
           vbCritical, QStringLiteral("Quarvel - Menu"));
    ImpostaServizioMessaggi(nullptr);
    return 1;
}

// SIGINT and SIGTERM end the menu as its window does: "fine" to every
// program first.  The handler only writes to a pipe; the event loop reads it.
int g_segnale[2] = {-1, -1};
void SuSegnale(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_segnale[1], &c, 1);
}
void GestisciSegnali(ServerMenu& server, QCoreApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_segnale) != 0)
        return;
    auto* notifica = new QSocketNotifier(g_segnale[0], QSocketNotifier::Read, &app);
    QObject::connect(notifica, &QSocketNotifier::activated, &app, [&server, &app, notifica] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_segnale[0], &c, 1);
        notifica->setEnabled(false);
        server.Chiudi([&app](bool, const ServerMenu::Risposte&) { app.quit(); });
    });
    struct sigaction sa {};
    sa.sa_handler = SuSegnale;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

// The options, in the order --help lists them: name, description, and the
// name of the value when the option takes one.
struct Opzione {
    const char* nome;
    const char* descrizione;
    const char* valore;
};
constexpr Opzione kOpzioni[] = {
    {"archivio", "L'archivio del menu (predefinito ~/.config/quarvel/menu.ini).", "file"},
    {"ditta", "Il database della ditta (NomeDBAzie).", "database"},
    {"descrizione", "La descrizione della ditta (DescAzie).", "testo"},
    {"ini", "Il file dei parametri principale (FileIni).", "file"},
    {"codice-programma", "Il codice di Quarvel nel menu (predefinito QUARVEL).", "codice"},
    {"valore", "Scrive un valore nell'archivio (ripetibile).", "nome=valore"},
    {"avvia", "Avvia una funzione (chiave, form o titolo).", "funzione"},
    {"comando", "Invia un comando ai programmi collegati e stampa le risposte.", "comando"},
    {"parametro", "Parametro del comando (più volte: una lista).", "testo"},
    {"chiave", "Chiave di funzione inviata col comando.", "chiave"},
    {"cliente", "Solo al programma con questo numero.", "numero"},
    {"clienti", "Elenca i programmi collegati.", nullptr},
    {"finestre", "Elenca le finestre registrate.", nullptr},
    {"chiudi", "Chiude il menu in esecuzione (\"fine\" a ogni programma).", nullptr},
    {"demo", "Crea la ditta dimostrativa se manca.", nullptr},
    {"senza-dialoghi", "Messaggi sullo standard error, nessun dialogo.", nullptr},
    {"nascosto", "Non mostra la finestra del menu.", nullptr},
};

// The parsed command line, its options asked by name.
class RigaComando {
public:
    // False after the reason on standard error.
    bool Leggi(const QStringList& argomenti) {
        m_p.setApplicationDescription(
            QStringLiteral("Il menu di Quarvel: collega i programmi, conserva i valori, avvia le "
                           "funzioni."));
        m_p.addHelpOption();
        for (const Opzione& o : kOpzioni)
            m_p.addOption(o.valore ? QCommandLineOption(QString::fromUtf8(o.nome),
                                                        QString::fromUtf8(o.descrizione),
                                                        QString::fromUtf8(o.valore))
                                   : QCommandLineOption(QString::fromUtf8(o.nome),
                                                        QString::fromUtf8(o.descrizione)));
        if (m_p.parse(argomenti))
            return true;
        Errori() << "quarvel-menu: " << m_p.errorText() << "\n";
        return false;
    }
    bool Aiuto() const { return m_p.isSet(QStringLiteral("help")); }
    QString TestoAiuto() const { return m_p.helpText(); }
    bool Data(const char* nome) const { return m_p.isSet(QString::fromUtf8(nome)); }
    QString Valore(const char* nome) const { return m_p.value(QString::fromUtf8(nome)); }
    QStringList Valori(const char* nome) const { return m_p.values(QString::fromUtf8(nome)); }

private:
    QCommandLineParser m_p;
};

// What the command line writes into the store before anything else: the
// company, the parameter file, the program's code, the named values, the
// demo company.  An exit code when the menu stops here; throws Errore when
// the store cannot be read or written.
std::optional<int> AggiornaArchivio(ArchivioMenu& archivio, const RigaComando& r, int& argc,
                                    char** argv) {
    const QString illeggibile = profilo::ErroreLettura(archivio.File());
    if (!illeggibile.isEmpty())
        throw Errore(NumErr::PermessoNegato,
                     QStringLiteral("Non riesco a leggere l'archivio del menu %1: %2")
                         .arg(archivio.File(), illeggibile));
    // The company's name belongs to the company: another database given
    // without its name leaves the name empty (--demo then names the demo
    // company), never the previous company's.
    const QString dittaPrima =
        archivio.Valore(QStringLiteral("NomeDBAzie")).value_or(QString()).trimmed();
    if (r.Data("ditta"))
        archivio.ScriviValore(QStringLiteral("NomeDBAzie"), r.Valore("ditta"));
    if (r.Data("descrizione"))
        archivio.ScriviValore(QStringLiteral("DescAzie"), r.Valore("descrizione"));
    else if (r.Data("ditta") && r.Valore("ditta").trimmed() != dittaPrima)
        archivio.ScriviValore(QStringLiteral("DescAzie"), QString());
    if (r.Data("ini"))
        archivio.Scrivi(ArchivioMenu::Menu, QStringLiteral("FileIni"),
                        QFileInfo(r.Valore("ini")).absoluteFilePath());
    if (r.Data("codice-programma"))
        archivio.Scrivi(ArchivioMenu::Menu, QStringLiteral("CodiceProgramma"),
                        r.Valore("codice-programma"));
    for (const QString& nv : r.Valori("valore")) {
        const auto i = nv.indexOf(QLatin1Char('='));
        if (i <= 0) {
            Errori() << "quarvel-menu: --valore vuole nome=valore: " << nv << "\n";
            return 2;
        }
        archivio.ScriviValore(nv.left(i), nv.mid(i + 1));
    }
    if (r.Data("demo")) {
        QCoreApplication app(argc, argv);
        if (!CreaDemo(archivio, r.Data("descrizione")))
            return 1;
    }
    return std::nullopt;
}

// The commands to the running menu, each printing the lines of its reply.
bool InviaComando(const RigaComando& r, const QString&) {
    const auto risposta =
        Controllo(QStringLiteral("Comando"),
                  {r.Valore("comando"), r.Valore("chiave"),
                   QVariant::fromValue(QDBusVariant(VersoDBus(Parametro(r.Valori("parametro"))))),
                   r.Valore("cliente").toInt()});
    if (!risposta)
        return false;
    StampaRighe(*risposta);
    if (r.Valore("comando").compare(QLatin1String("preppassaa"), Qt::CaseInsensitive) == 0)
        if (const auto f = Controllo(QStringLiteral("Finestre"), {}))
            StampaRighe(*f);
    return true;
}

bool ChiamaControllo(const RigaComando&, const QString& metodo) {
    const auto risposta = Controllo(metodo, {});
    if (!risposta)
        return false;
    StampaRighe(*risposta);
    return true;
}

// The options that make this run a tool of the running menu, in the order
// they are carried out: the option, the method of the control interface, the
// handler.
struct Strumento {
    const char* opzione;
    const char* metodo;
    bool (*esegui)(const RigaComando&, const QString& metodo);
};
constexpr Strumento kStrumenti[] = {
    {"comando", "Comando", InviaComando},
    {"clienti", "Clienti", ChiamaControllo},
    {"finestre", "Finestre", ChiamaControllo},
    {"chiudi", "Chiudi", ChiamaControllo},
};

bool ComeStrumento(const RigaComando& r) {
    for (const Strumento& s : kStrumenti)
        if (r.Data(s.opzione))
            return true;
    return false;
}

int EseguiStrumenti(const RigaComando& r, int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (const Strumento& s : kStrumenti)
        if (r.Data(s.opzione) && !s.esegui(r, QString::fromUtf8(s.metodo)))
            return 1;
    return 0;
}

// Another menu already serves the session: it launches the function asked
// for, or shows its window.
int AllaCopiaInEsecuzione(const RigaComando& r, const QString& errore) {
    if (r.Data("avvia")) {
        const auto risposta = Controllo(QStringLiteral("Avvia"), {r.Valore("avvia"), QString()});
        if (!risposta)
            return 1;
        const QString e = risposta->arguments().value(0).toString();
        if (!e.isEmpty()) {
            Errori() << "quarvel-menu: " << e << "\n";
            return 1;
        }
        return 0;
    }
    Errori() << "quarvel-menu: " << errore << "\n";
    if (errore.contains(ServizioMenu()))
        Controllo(QStringLiteral("Mostra"), {});
    return 1;
}

// The function asked with --avvia, launched once the event loop runs; its
// failure in a message window, or on standard error without dialogs.
void AvviaAllaPartenza(ServerMenu& server, const QString& funzione, bool dialoghi) {
    QTimer::singleShot(0, &server, [&server, funzione, dialoghi] {
        const QString e = server.Avvia(funzione);
        if (e.isEmpty())
            return;
        if (dialoghi)
            MsgBox(e, vbCritical, QStringLiteral("Menu"));
        else {
            Errori() << "quarvel-menu: " << e << "\n";
            Errori().flush();
        }
    });
}

// The menu itself: the service on the session bus, its window, until it
// closes.
int EseguiMenu(ArchivioMenu& archivio, const RigaComando& r, int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        // Without a display the service still serves the programs; the
        // operator is told that no window will appear.
        Errori() << "quarvel-menu: nessun display (DISPLAY non impostato): il menu gira senza "
                    "finestra\n";
        Errori().flush();
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quarvel-menu"));
    QApplication::setQuitOnLastWindowClosed(false);
    if (QString errore; !CaricaTraduzioniQt(&app, &errore))
        Errori() << "quarvel-menu: " << errore << "\n";
    const bool dialoghi = !r.Data("senza-dialoghi");
    MessaggiFinestra messaggiFinestra;
    MessaggiStderr messaggiStderr;
    ImpostaServizioMessaggi(dialoghi ? static_cast<ServizioMessaggi*>(&messaggiFinestra)
                                     : &messaggiStderr);

    Operatore operatore(dialoghi);
    ServerMenu server(archivio, operatore);
    QString errore;
    if (!server.Pubblica(&errore))
        return AllaCopiaInEsecuzione(r, errore);

    GestisciSegnali(server, app);

    std::unique_ptr<FinestraMenu> finestra;
    if (!r.Data("nascosto")) {
        finestra = std::make_unique<FinestraMenu>(server);
        operatore.ImpostaFinestra(finestra.get());
        finestra->show();
    }
    QObject::connect(&server, &ServerMenu::Chiuso, &app, [&app] {
        // Lets the reply of a --chiudi leave before the menu ends.
        QTimer::singleShot(200, &app, &QCoreApplication::quit);
    });

    if (r.Data("avvia"))
        AvviaAllaPartenza(server, r.Valore("avvia"), dialoghi);
    return app.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList argomenti;
    for (int i = 0; i < argc; ++i)
        argomenti << QString::fromLocal8Bit(argv[i]);

    RigaComando r;
    if (!r.Leggi(argomenti))
        return 2;
    if (r.Aiuto()) {
        Out() << r.TestoAiuto();
        return 0;
    }

    const bool strumento = ComeStrumento(r);
    ArchivioMenu archivio(r.Valore("archivio"));
    try {
        if (const auto uscita = AggiornaArchivio(archivio, r, argc, argv))
            return *uscita;
    } catch (const Errore& e) {
        return NonParte(argc, argv, e.descrizione(), !strumento, !r.Data("senza-dialoghi"));
    }

    if (strumento)
        return EseguiStrumenti(r, argc, argv);
    return EseguiMenu(archivio, r, argc, argv);
}
