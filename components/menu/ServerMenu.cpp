#include "menu/ServerMenu.h"

#include "menu/NomiDBus.h"
#include "menu/OggettiMenu.h"
#include "suite/Errore.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <memory>

namespace quarvel::menu {

namespace {

const QString Sorgente = QStringLiteral("Menu");
const QString Tutti = QStringLiteral("Tutti");
constexpr int AttesaComando = 120000;

bool Uguale(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

[[noreturn]] void Fallisci(const QString& testo) {
    throw Errore(NumErr::ChiamataNonValida, testo, Sorgente);
}

QString TestoValore(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (v.typeId() == QMetaType::QVariantList) {
        QStringList parti;
        for (const QVariant& e : v.toList())
            parti << TestoValore(e);
        return parti.join(QStringLiteral(", "));
    }
    return v.toString();
}

// A process as the kernel shows it in /proc/<pid>/stat: its parent and its
// start time.  nullopt when the process is gone.
struct StatoProcesso {
    qint64 padre = 0;
    quint64 avvio = 0;
};
std::optional<StatoProcesso> LeggiStato(qint64 pid) {
    if (pid <= 0)
        return std::nullopt;
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray riga = f.readAll();
    // The command name, between parentheses, may itself hold blanks and
    // parentheses: the fields that follow start after the last ')'.
    const auto fine = riga.lastIndexOf(')');
    if (fine < 0)
        return std::nullopt;
    const QList<QByteArray> campi = riga.mid(fine + 1).simplified().split(' ');
    // state ppid ... starttime: fields 3, 4 and 22 of the line.
    if (campi.size() < 20)
        return std::nullopt;
    bool okPadre = false, okAvvio = false;
    StatoProcesso s{campi[1].toLongLong(&okPadre), campi[19].toULongLong(&okAvvio)};
    if (!okPadre || !okAvvio)
        return std::nullopt;
    return s;
}

} // namespace

IOperatoreMenu::~IOperatoreMenu() = default;

const QList<FunzioneMenu>& FunzioniQuarvel() {
    static const QList<FunzioneMenu> f{
        {QStringLiteral("GESTINV"), QStringLiteral("Gestione inventari"),
         QStringLiteral("frmGestInv")},
        {QStringLiteral("DATEINV"), QStringLiteral("Date inventario"),
         QStringLiteral("frmMagDescInv")},
        {QStringLiteral("LIFO"), QStringLiteral("Gestione LIFO Articoli"),
         QStringLiteral("frmLiFo")},
    };
    return f;
}

std::optional<FunzioneMenu> TrovaFunzione(const QString& nome) {
    const QString n = nome.trimmed();
    for (const FunzioneMenu& f : FunzioniQuarvel())
        if (Uguale(n, f.chiave) || Uguale(n, f.form) || Uguale(n, f.titolo))
            return f;
    return std::nullopt;
}

QString TestoRisposta(const RispostaCliente& r) {
    if (!r.ok)
        return QStringLiteral("errore: ") + r.errore;
    return TestoValore(r.valore);
}

// ---- The menu ---------------------------------------------------------------------

ServerMenu::ServerMenu(ArchivioMenu& archivio, IOperatoreMenu& operatore, QDBusConnection bus,
                       QObject* parent)
    : QObject(parent), m_archivio(archivio), m_operatore(operatore), m_bus(std::move(bus)),
      m_idMenu(QString::number(QCoreApplication::applicationPid())) {
    m_osservatore = new QDBusServiceWatcher(this);
    m_osservatore->setConnection(m_bus);
    m_osservatore->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_osservatore, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& nome) { Rimuovi(nome); });
}

ServerMenu::~ServerMenu() {
    if (m_pubblicato) {
        m_bus.unregisterObject(PercorsoMenu);
        m_bus.unregisterService(ServizioMenu());
    }
}

bool ServerMenu::Pubblica(QString* errore) {
    auto esito = [errore](const QString& testo) {
        if (errore)
            *errore = testo;
        return false;
    };
    if (!m_bus.isConnected())
        return esito(QStringLiteral("Il bus di sessione non è raggiungibile (%1)")
                         .arg(m_bus.lastError().message()));
    const auto r = m_bus.interface()->registerService(
        ServizioMenu(), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!r.isValid() || r.value() != QDBusConnectionInterface::ServiceRegistered)
        return esito(QStringLiteral("Il menu è già in esecuzione (%1)").arg(ServizioMenu()));
    m_oggettoMenu = new OggettoMenu(this);
    m_oggettoControllo = new OggettoControllo(this);
    const bool okMenu = m_bus.registerObject(PercorsoMenu, InterfacciaMenu, m_oggettoMenu,
                                             QDBusConnection::ExportAllSlots);
    const bool okControllo =
        m_bus.registerObject(PercorsoControllo, InterfacciaControllo, m_oggettoControllo,
                             QDBusConnection::ExportAllSlots);
    if (!okMenu || !okControllo) {
        m_bus.unregisterService(ServizioMenu());
        return esito(QStringLiteral("Non riesco a pubblicare il menu sul bus"));
    }
    m_pubblicato = true;
    return true;
}

QList<ClienteMenu> ServerMenu::Clienti() const {
    QList<ClienteMenu> l = m_clienti.values();
    std::sort(l.begin(), l.end(),
              [](const ClienteMenu& a, const ClienteMenu& b) { return a.numero < b.numero; });
    return l;
}

QString ServerMenu::ProgrammaQuarvel() const {
    if (!m_programma.isEmpty())
        return m_programma;
    const QString env = qEnvironmentVariable("QUARVEL_PROGRAM");
    if (!env.isEmpty())
        return env;
    const QString qui = QCoreApplication::applicationDirPath();
    const QString accanto = qui + QStringLiteral("/quarvel");
    if (QFileInfo(accanto).isExecutable())
        return accanto;
    // The build tree: components/menu/quarvel-menu beside src/startup/quarvel.
    return QFileInfo(qui + QStringLiteral("/../../src/startup/quarvel")).absoluteFilePath();
}

ParametriLancioMenu ServerMenu::LancioPer(const FunzioneMenu& f, const QString& parametro) const {
    ParametriLancioMenu p;
    QStringList parti{QStringLiteral("/F") + f.form};
    const QString aiuto = m_archivio.Valore(QStringLiteral("FileAiuto")).value_or(QString());
    if (!aiuto.trimmed().isEmpty())
        parti << QStringLiteral("/H") + aiuto.trimmed();
    const QString ro =
        m_archivio.Valore(QStringLiteral("SolaLettura.") + f.chiave).value_or(QString());
    if (Uguale(ro.trimmed(), QStringLiteral("S")))
        parti << QStringLiteral("/RO");
    if (!parametro.trimmed().isEmpty())
        parti << parametro.trimmed();
    p.osParam = parti.join(QLatin1Char(' '));
    return p;
}

QStringList ServerMenu::RigaComando(const FunzioneMenu& f, const QString& idLancio) const {
    QStringList a{QStringLiteral("/M") + idLancio,
                  QStringLiteral("/P") + CodiceProgramma() + QLatin1Char(' ') + f.chiave,
                  QStringLiteral("/F") + f.form};
    // The program reads its switches from the arguments joined by blanks; a
    // path with a blank travels between double quotes.
    const QString ini = FileIni();
    if (ini.contains(QLatin1Char(' ')))
        a << QStringLiteral("/I\"") + ini + QLatin1Char('"');
    else if (!ini.isEmpty())
        a << QStringLiteral("/I") + ini;
    return a;
}

QString ServerMenu::Lancia(const FunzioneMenu& f, const ParametriLancioMenu& lancio) {
    const QString programma = ProgrammaQuarvel();
    const QFileInfo info(programma);
    if (!info.exists())
        return QStringLiteral("Il programma Quarvel non si trova: %1\n"
                              "(la variabile QUARVEL_PROGRAM ne indica un altro)")
            .arg(programma);
    if (!info.isFile() || !info.isExecutable())
        return QStringLiteral("Il programma Quarvel non è eseguibile: %1").arg(programma);
    const QString id = QStringLiteral("%1-%2").arg(m_idMenu).arg(++m_ultimoLancio);
    QProcess p;
    p.setProgram(programma);
    p.setArguments(RigaComando(f, id));
    qint64 pid = 0;
    if (!p.startDetached(&pid))
        return QStringLiteral("Non riesco ad avviare %1: %2").arg(programma, p.errorString());
    m_lanciInAttesa.insert(id, lancio);
    // The processes started earlier that have ended are forgotten; the new
    // one is known by its pid and start time from now on.
    m_lanciati.removeIf([](const ProcessoLanciato& l) {
        const auto s = LeggiStato(l.pid);
        return !s || s->avvio != l.avvio;
    });
    if (const auto s = LeggiStato(pid))
        m_lanciati.append({pid, s->avvio, {}});
    return {};
}

qsizetype ServerMenu::LancioDi(qint64 pid) const {
    // Up the chain of parents: a program started through a wrapper (a
    // script that does not exec it) counts as the wrapper does.
    for (int passi = 0; pid > 1 && passi < 64; ++passi) {
        const auto s = LeggiStato(pid);
        if (!s)
            return -1;
        for (qsizetype i = 0; i < m_lanciati.size(); ++i)
            if (m_lanciati[i].pid == pid && m_lanciati[i].avvio == s->avvio)
                return i;
        pid = s->padre;
    }
    return -1;
}

QString ServerMenu::Avvia(const QString& funzione, const QString& parametro) {
    const auto f = TrovaFunzione(funzione);
    if (!f)
        return QStringLiteral("Funzione sconosciuta: %1").arg(funzione);
    const ParametriLancioMenu lancio = LancioPer(*f, parametro);

    // The Quarvel already serving the function, else the last one registered.
    const ClienteMenu* scelto = nullptr;
    for (const ClienteMenu& c : m_clienti)
        if (c.funzioni.contains(f->chiave, Qt::CaseInsensitive) &&
            (!scelto || c.numero > scelto->numero))
            scelto = &c;
    if (!scelto)
        for (const ClienteMenu& c : m_clienti)
            if (!scelto || c.numero > scelto->numero)
                scelto = &c;
    if (!scelto)
        return Lancia(*f, lancio);

    const QString nomeBus = scelto->nomeBus;
    m_attivaInAttesa.insert(nomeBus, lancio);
    const FunzioneMenu funz = *f;
    QPointer<ServerMenu> io(this);
    InviaAiClienti(QStringLiteral("attiva"), f->chiave, QVariant(), scelto->numero,
                   [io, nomeBus, funz, lancio](const Risposte& r) {
                       if (!io || r.isEmpty() || r.constFirst().ok)
                           return;
                       // That Quarvel does not answer: a new one serves the function.
                       io->m_attivaInAttesa.remove(nomeBus);
                       const QString errore = io->Lancia(funz, lancio);
                       if (!errore.isEmpty())
                           io->m_operatore.Messaggio(errore, 16, QString());
                   });
    return {};
}

void ServerMenu::InviaAiClienti(const QString& comando, const QString& chiaveFunzione,
                                const QVariant& parametro, int cliente,
                                std::function<void(const Risposte&)> fatto) {
    struct Raccolta {
        Risposte risposte;
        int mancanti = 0;
        std::function<void(const Risposte&)> fatto;
    };
    auto raccolta = std::make_shared<Raccolta>();
    raccolta->fatto = std::move(fatto);
    const QList<ClienteMenu> destinatari = Clienti();
    for (const ClienteMenu& c : destinatari)
        if (cliente == 0 || c.numero == cliente)
            ++raccolta->mancanti;
    if (raccolta->mancanti == 0) {
        raccolta->fatto({});
        return;
    }
    for (const ClienteMenu& c : destinatari) {
        if (cliente != 0 && c.numero != cliente)
            continue;
        QDBusMessage m = QDBusMessage::createMethodCall(
            c.nomeBus, PercorsoCliente, InterfacciaCliente, QStringLiteral("EseguiComando"));
        m.setArguments({c.opzioneM, chiaveFunzione, comando,
                        QVariant::fromValue(QDBusVariant(VersoDBus(parametro)))});
        auto* w = new QDBusPendingCallWatcher(m_bus.asyncCall(m, AttesaComando), this);
        const int indice = raccolta->risposte.size();
        raccolta->risposte.append(RispostaCliente{c.numero, c.pid, false, {}, {}});
        connect(w, &QDBusPendingCallWatcher::finished, this,
                [raccolta, indice](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    RispostaCliente& r = raccolta->risposte[indice];
                    const QDBusMessage rep = w->reply();
                    if (rep.type() == QDBusMessage::ReplyMessage) {
                        r.ok = true;
                        r.valore = rep.arguments().isEmpty() ? QVariant()
                                                             : DaDBus(rep.arguments().first());
                    } else {
                        r.errore = rep.errorMessage();
                    }
                    if (--raccolta->mancanti == 0)
                        raccolta->fatto(raccolta->risposte);
                });
    }
}

void ServerMenu::Chiudi(std::function<void(bool, const Risposte&)> fatto) {
    QPointer<ServerMenu> io(this);
    InviaAiClienti(QStringLiteral("fine"), QString(), QVariant(), 0,
                   [io, fatto = std::move(fatto)](const Risposte& risposte) {
                       bool chiuso = true;
                       for (const RispostaCliente& r : risposte)
                           if (r.ok && !TestoValore(r.valore).isEmpty())
                               chiuso = false;
                       if (fatto)
                           fatto(chiuso, risposte);
                       if (chiuso && io)
                           emit io->Chiuso();
                   });
}

void ServerMenu::Rimuovi(const QString& nomeBus) {
    m_osservatore->removeWatchedService(nomeBus);
    m_attivaInAttesa.remove(nomeBus);
    if (m_clienti.remove(nomeBus) > 0)
        emit ClientiCambiati();
}

// ---- The operations of the clients --------------------------------------------------

QString ServerMenu::Collega(const QString& mittente, const QString& opzioneM,
                            const QString& opzioneP, const QString& opzionePResto) {
    ClienteMenu c = m_clienti.value(mittente);
    if (c.numero == 0)
        c.numero = ++m_ultimoCliente;
    c.nomeBus = mittente;
    c.opzioneM = opzioneM.trimmed();
    c.opzioneP = opzioneP.trimmed();
    c.opzionePResto = opzionePResto.trimmed();
    // The pid comes from the bus daemon, not from the caller.
    const auto pid = m_bus.interface()->servicePid(mittente);
    c.pid = pid.isValid() ? qint64(pid.value()) : 0;
    // One launch, one client: the program registers as it starts, so a
    // process it starts in turn (a viewer, a mail program) that registers
    // later does not get the secrets through it.
    if (!c.lanciato && c.pid > 0) {
        const qsizetype i = LancioDi(c.pid);
        if (i >= 0 && m_lanciati[i].cliente.isEmpty()) {
            m_lanciati[i].cliente = mittente;
            c.lanciato = true;
        }
    }
    if (m_lanciInAttesa.contains(c.opzioneM)) {
        c.lancio = m_lanciInAttesa.take(c.opzioneM);
    } else if (const auto f = TrovaFunzione(c.opzionePResto)) {
        c.lancio = LancioPer(*f);
    }
    c.funzioni.clear();
    if (!c.opzionePResto.isEmpty())
        c.funzioni << c.opzionePResto;
    m_clienti.insert(mittente, c);
    m_osservatore->addWatchedService(mittente);
    emit ClientiCambiati();
    return QString::number(c.numero);
}

void ServerMenu::Scollega(const QString& mittente) {
    Rimuovi(mittente);
}

void ServerMenu::MostraMenu(const QString&) {
    m_operatore.MostraFinestra();
}

QVariant ServerMenu::InviaComando(const QString& mittente, const QString& comando, const QString&,
                                  const QVariant& parametro) {
    auto c = m_clienti.find(mittente);
    const QString com = comando.trimmed();
    if (Uguale(com, QStringLiteral("PrepProcCorr"))) {
        const QString seg = QStringLiteral("S%1").arg(c != m_clienti.end() ? c->numero : 0);
        if (c != m_clienti.end())
            c->segmento = seg;
        return seg;
    }
    if (Uguale(com, QStringLiteral("AddSeg"))) {
        // {program number, segment}: the segment of this program within the
        // caller's; the number alone only records it.
        QString seg = c != m_clienti.end() ? c->segmento : QString();
        if (parametro.typeId() == QMetaType::QVariantList) {
            const QVariantList l = parametro.toList();
            const QString numero = l.value(0).toString();
            const QString base = l.value(1).toString();
            seg = (base.isEmpty() ? seg : base) + QLatin1Char('.') + numero;
            if (c != m_clienti.end())
                c->segmento = seg;
        }
        return seg;
    }
    if (Uguale(com, QStringLiteral("MsgBox"))) {
        QString testo, titolo;
        int stile = 0;
        if (parametro.typeId() == QMetaType::QVariantList) {
            const QVariantList l = parametro.toList();
            testo = l.value(0).toString();
            stile = l.value(1).toInt();
            titolo = l.value(2).toString();
        } else {
            testo = parametro.toString();
        }
        return m_operatore.Messaggio(testo, stile, titolo);
    }
    if (Uguale(com, QStringLiteral("TastiCtrl"))) {
        bool ok = false;
        const int tasto = parametro.toString().trimmed().toInt(&ok);
        if (!ok)
            return QString();
        return m_archivio.Leggi(ArchivioMenu::TastiCtrl, QString::number(tasto))
            .value_or(QString());
    }
    Fallisci(QStringLiteral("Comando sconosciuto al menu: %1").arg(comando));
}

void ServerMenu::RitornaA(const QString&, const QString& chiave, const QString& chiaveSec,
                          const QString& parametro) {
    const auto f = TrovaFunzione(chiave);
    if (!f) {
        // A function of another program of the suite: the operator picks it
        // from the menu.
        m_operatore.MostraFinestra();
        return;
    }
    Q_UNUSED(chiaveSec);
    const QString errore = Avvia(f->chiave, parametro);
    if (!errore.isEmpty())
        m_operatore.Messaggio(errore, 16, QString());
}

void ServerMenu::RegistraFinestra(const QString& mittente, const QString& caption,
                                  const QString& numero, const QString& chiaveSec) {
    auto c = m_clienti.find(mittente);
    if (c == m_clienti.end())
        Fallisci(QStringLiteral("RegistraFinestra da un programma non collegato"));
    for (FinestraCliente& f : c->finestre)
        if (Uguale(f.numero, numero)) {
            f = {caption, numero, chiaveSec};
            return;
        }
    c->finestre.append({caption, numero, chiaveSec});
}

QString ServerMenu::FileIni() const {
    return m_archivio.Leggi(ArchivioMenu::Menu, QStringLiteral("FileIni")).value_or(QString());
}

ParametriLancioMenu ServerMenu::ParametriLancio(const QString& mittente) const {
    return m_clienti.value(mittente).lancio;
}

QString ServerMenu::CodiceProgramma() const {
    const QString c =
        m_archivio.Leggi(ArchivioMenu::Menu, QStringLiteral("CodiceProgramma")).value_or(QString());
    return c.trimmed().isEmpty() ? QStringLiteral("QUARVEL") : c.trimmed();
}

void ServerMenu::AttivaFunzione(const QString& mittente, const QString& chiave) {
    auto c = m_clienti.find(mittente);
    if (c == m_clienti.end())
        Fallisci(QStringLiteral("AttivaFunzione da un programma non collegato"));
    const auto f = TrovaFunzione(chiave);
    if (m_attivaInAttesa.contains(mittente))
        c->lancio = m_attivaInAttesa.take(mittente);
    else if (f)
        c->lancio = LancioPer(*f);
    const QString k = f ? f->chiave : chiave.trimmed();
    if (!k.isEmpty() && !c->funzioni.contains(k, Qt::CaseInsensitive))
        c->funzioni << k;
    emit ClientiCambiati();
}

void ServerMenu::FineFunzione(const QString& mittente, const QString& chiaveSec) {
    auto c = m_clienti.find(mittente);
    if (c == m_clienti.end())
        return;
    c->funzioni.removeIf([&](const QString& k) { return Uguale(k, chiaveSec.trimmed()); });
    emit ClientiCambiati();
}

QString ServerMenu::LeggiValore(const QString& nome, const QString& predefinito) {
    const QString n = nome.trimmed();
    if (Uguale(n, QStringLiteral("ChiediPwdSql"))) {
        QString utente = LeggiValore(QStringLiteral("SqlLogin"), {});
        QString pwd;
        if (!m_operatore.ChiediLoginSql(utente, pwd))
            return QStringLiteral("N");
        // Kept for this session of the menu only: the password never goes
        // to disk.
        m_sqlLogin = utente;
        m_sqlPwd = pwd;
        return QStringLiteral("S");
    }
    if (Uguale(n, QStringLiteral("SqlLogin")) && m_sqlLogin)
        return *m_sqlLogin;
    if (Uguale(n, QStringLiteral("SqlPwd")) && m_sqlPwd)
        return *m_sqlPwd;
    if (Uguale(n, QStringLiteral("MenuProcId")))
        return QString::number(QCoreApplication::applicationPid());

    const std::optional<QString> v = m_archivio.Valore(n);
    if (v)
        return *v;
    if (n.startsWith(QStringLiteral("Personal."), Qt::CaseInsensitive))
        return ValoreMancanteMenu;
    if (Uguale(n, QStringLiteral("VersMenu")))
        return QStringLiteral("1.07");
    if (Uguale(n, QStringLiteral("Versione")))
        return QStringLiteral(QUARVEL_VERSIONE);
    if (Uguale(n, QStringLiteral("DataVersione")))
        return QStringLiteral(QUARVEL_DATA_VERSIONE);
    if (Uguale(n, QStringLiteral("Login"))) {
        const QString u = qEnvironmentVariable("USER");
        return u.isEmpty() ? predefinito : u;
    }
    return predefinito;
}

void ServerMenu::ScriviValore(const QString& nome, const QString& valore) {
    const QString n = nome.trimmed();
    m_archivio.ScriviValore(n, valore);
    if (Uguale(n, QStringLiteral("SqlLogin")))
        m_sqlLogin.reset();
    if (Uguale(n, QStringLiteral("SqlPwd")))
        m_sqlPwd.reset();
}

AccessoMenu ServerMenu::Accesso(const QString& mittente) const {
    const auto c = m_clienti.constFind(mittente);
    if (c == m_clienti.cend())
        return AccessoMenu::Nessuno;
    return c->lanciato ? AccessoMenu::Lanciato : AccessoMenu::Collegato;
}

void ServerMenu::Richiedi(const QString& mittente, AccessoMenu minimo,
                          const QString& operazione) const {
    const AccessoMenu a = Accesso(mittente);
    if (a >= minimo)
        return;
    if (a == AccessoMenu::Nessuno)
        Fallisci(QStringLiteral("%1: il programma non si è collegato al menu").arg(operazione));
    Fallisci(QStringLiteral("%1: consentita solo ai programmi avviati dal menu").arg(operazione));
}

const QList<ServerMenu::ChiaveSegreta>& ServerMenu::ChiaviSegrete() {
    static const QList<ChiaveSegreta> chiavi{
        {"PwdDbAzie"},  // the company database's password
        {"AccMenuPwd"}, // the common database's password
        {"SqlLogin"},   // the SQL login and its password
        {"SqlPwd"},
        {"ConnectDBAzie"},  // the company's connection text: it may hold the ODBC login
        {"EmailPwd", true}, // the SMTP password, bare and of each sending configuration
    };
    return chiavi;
}

bool ServerMenu::NomeSegreto(const QString& nome) {
    const QString n = nome.trimmed();
    for (const ChiaveSegreta& c : ChiaviSegrete()) {
        const QLatin1String s(c.nome);
        if (c.prefisso ? n.startsWith(s, Qt::CaseInsensitive)
                       : n.compare(s, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool ServerMenu::NomeRiservato(const QString& nome) {
    return NomeSegreto(nome) || Uguale(nome.trimmed(), QStringLiteral("ChiediPwdSql"));
}

bool ServerMenu::NomeProtetto(const QString& nome) {
    return NomeRiservato(nome) || Uguale(nome.trimmed(), QStringLiteral("NomeDBAzie"));
}

QString ServerMenu::LeggiValoreDa(const QString& mittente, const QString& nome,
                                  const QString& predefinito) {
    const QString n = nome.trimmed();
    Richiedi(mittente, AccessoMenu::Collegato, QStringLiteral("Lettura del valore \"%1\"").arg(n));
    if (NomeRiservato(n) && Accesso(mittente) != AccessoMenu::Lanciato) {
        qWarning("quarvel-menu: valore riservato \"%s\" non dato al programma con pid %lld: "
                 "non l'ha avviato il menu",
                 qUtf8Printable(n), static_cast<long long>(m_clienti.value(mittente).pid));
        return Uguale(n, QStringLiteral("ChiediPwdSql")) ? QStringLiteral("N") : predefinito;
    }
    return LeggiValore(n, predefinito);
}

void ServerMenu::ScriviValoreDa(const QString& mittente, const QString& nome,
                                const QString& valore) {
    const QString n = nome.trimmed();
    const QString operazione = QStringLiteral("Scrittura del valore \"%1\"").arg(n);
    Richiedi(mittente, AccessoMenu::Collegato, operazione);
    if (NomeProtetto(n))
        Richiedi(mittente, AccessoMenu::Lanciato, operazione);
    ScriviValore(n, valore);
}

} // namespace quarvel::menu
