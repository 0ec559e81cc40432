#pragma once
// The menu's side of the link: the registry of the Quarvel processes that
// registered (each one a client), the answers to their operations, the
// launch of Quarvel's three functions and the commands sent to the clients.
// Published on the session bus by Pubblica (names in NomiDBus.h).

#include "menu/ArchivioMenu.h"
#include "suite/MenuClient.h"

#include <QDBusConnection>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

class QDBusServiceWatcher;

namespace quarvel::menu {

// One of Quarvel's functions as the menu lists it.
struct FunzioneMenu {
    QString chiave; // the function key (the rest of switch P, osKeySec of the form)
    QString titolo; // the caption in the menu
    QString form;   // the form the program opens (switch F)
};
const QList<FunzioneMenu>& FunzioniQuarvel();
// By key, form name or caption, without regard to case.
std::optional<FunzioneMenu> TrovaFunzione(const QString& nome);

// What the menu asks of the operator: the program shows dialogs, the tests
// answer from a script.
class IOperatoreMenu {
public:
    virtual ~IOperatoreMenu();
    // A message box ("MsgBox" of a client): the answer (vbOK, vbYes, ...).
    virtual int Messaggio(const QString& testo, int stile, const QString& titolo) = 0;
    // The SQL login; false when the operator cancelled.
    virtual bool ChiediLoginSql(QString& utente, QString& password) = 0;
    // Brings the menu's window forward.
    virtual void MostraFinestra() = 0;
};

struct FinestraCliente {
    QString caption;
    QString numero;
    QString chiaveSec;
};

struct ClienteMenu {
    int numero = 0;
    QString nomeBus; // unique name on the bus
    qint64 pid = 0;
    QString opzioneM, opzioneP, opzionePResto;
    ParametriLancioMenu lancio;
    QString segmento;
    QStringList funzioni; // keys of the functions it serves
    QList<FinestraCliente> finestre;
    // Started by this menu (the process itself or one it started in turn),
    // as the bus daemon's pid of the caller shows.
    bool lanciato = false;
};

// What a caller on the bus may do with the named values: nothing before it
// registers; read the shared values and write the others once registered;
// read the secrets and ask for the SQL login only as a program the menu
// started.
enum class AccessoMenu { Nessuno, Collegato, Lanciato };

// The reply of one client to a command.
struct RispostaCliente {
    int numero = 0;
    qint64 pid = 0;
    bool ok = false;
    QVariant valore;
    QString errore;
};
// A reply as text: a boolean as "True"/"False", a list as its elements
// joined by ", ", an error as "errore: " and its text.
QString TestoRisposta(const RispostaCliente& r);

class ServerMenu final : public QObject {
    Q_OBJECT
public:
    ServerMenu(ArchivioMenu& archivio, IOperatoreMenu& operatore,
               QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~ServerMenu() override;

    // Takes the menu's name on the bus and exports its objects.  False (and
    // the reason) when another menu already runs or the bus is missing.
    bool Pubblica(QString* errore = nullptr);

    ArchivioMenu& Archivio() { return m_archivio; }
    QList<ClienteMenu> Clienti() const;
    QString IdMenu() const { return m_idMenu; }

    // The Quarvel program: set here, or QUARVEL_PROGRAM, or "quarvel" beside
    // this program, or the build tree's src/startup/quarvel.
    QString ProgrammaQuarvel() const;
    void ImpostaProgramma(const QString& percorso) { m_programma = percorso; }

    // The command line the menu starts Quarvel with for a function.
    QStringList RigaComando(const FunzioneMenu& f, const QString& idLancio) const;
    // The launch parameters of a call of the function.
    ParametriLancioMenu LancioPer(const FunzioneMenu& f, const QString& parametro = {}) const;

    // Opens a function: "attiva" to the Quarvel that serves it (or to the
    // last one registered), else a new Quarvel process.  The empty text, or
    // why it could not.
    QString Avvia(const QString& funzione, const QString& parametro = {});

    using Risposte = QList<RispostaCliente>;
    // Sends a command to every client (cliente 0) or to one, and calls fatto
    // with the replies once each has answered or failed.
    void InviaAiClienti(const QString& comando, const QString& chiaveFunzione,
                        const QVariant& parametro, int cliente,
                        std::function<void(const Risposte&)> fatto);
    // Sends "fine" to every client; chiuso is true when none refused (an
    // empty reply, or a client already gone).
    void Chiudi(std::function<void(bool chiuso, const Risposte&)> fatto);

    // ---- The operations of the clients (mittente: the caller's bus name) --------
    QString Collega(const QString& mittente, const QString& opzioneM, const QString& opzioneP,
                    const QString& opzionePResto);
    void Scollega(const QString& mittente);
    void MostraMenu(const QString& chi);
    QVariant InviaComando(const QString& mittente, const QString& comando,
                          const QString& destinatari, const QVariant& parametro);
    void RitornaA(const QString& mittente, const QString& chiave, const QString& chiaveSec,
                  const QString& parametro);
    void RegistraFinestra(const QString& mittente, const QString& caption, const QString& numero,
                          const QString& chiaveSec);
    QString FileIni() const;
    ParametriLancioMenu ParametriLancio(const QString& mittente) const;
    QString CodiceProgramma() const;
    void AttivaFunzione(const QString& mittente, const QString& chiave);
    void FineFunzione(const QString& mittente, const QString& chiaveSec);
    QString LeggiValore(const QString& nome, const QString& predefinito);
    void ScriviValore(const QString& nome, const QString& valore);

    // ---- The same operations as the bus hands them over, checked against the caller ----
    AccessoMenu Accesso(const QString& mittente) const;
    // The secrets the named values hold, one list for reading and writing:
    // a name (any case), or with prefisso the start of names (every
    // "EmailPwd...": the SMTP password of each sending configuration).
    struct ChiaveSegreta {
        const char* nome;
        bool prefisso = false;
    };
    static const QList<ChiaveSegreta>& ChiaviSegrete();
    static bool NomeSegreto(const QString& nome);
    // Withheld from a program the menu did not start: the secrets, and the
    // request of the SQL login ("ChiediPwdSql").
    static bool NomeRiservato(const QString& nome);
    // Written only by a program the menu started: the secrets and the
    // company's database.
    static bool NomeProtetto(const QString& nome);
    // Refused (Errore 5) to a caller that never registered.  A secret asked
    // by a program the menu did not start gets the default, as if the menu
    // had none ("N" for "ChiediPwdSql": the operator is not asked).
    QString LeggiValoreDa(const QString& mittente, const QString& nome, const QString& predefinito);
    // Refused (Errore 5) to a caller that never registered, and for a
    // protected name to a program the menu did not start.
    void ScriviValoreDa(const QString& mittente, const QString& nome, const QString& valore);
    // Throws Errore 5 naming the operation when the caller has less than minimo.
    void Richiedi(const QString& mittente, AccessoMenu minimo, const QString& operazione) const;

signals:
    // The list of clients or their functions changed.
    void ClientiCambiati();
    // Chiudi found every client closed: the menu may end.
    void Chiuso();

private:
    QString Lancia(const FunzioneMenu& f, const ParametriLancioMenu& lancio);
    void Rimuovi(const QString& nomeBus);

    // A process the menu started: its pid and its start time (clock ticks
    // after boot), so that a pid used again by another process does not
    // count, and the client that registered from it.
    struct ProcessoLanciato {
        qint64 pid = 0;
        quint64 avvio = 0;
        QString cliente; // bus name; empty until a client registers
    };
    // The launch the process with this pid is, or descends from; -1 if none.
    qsizetype LancioDi(qint64 pid) const;

    ArchivioMenu& m_archivio;
    IOperatoreMenu& m_operatore;
    QDBusConnection m_bus;
    QDBusServiceWatcher* m_osservatore = nullptr;
    QString m_idMenu;
    QString m_programma;
    int m_ultimoCliente = 0;
    int m_ultimoLancio = 0;
    QMap<QString, ClienteMenu> m_clienti;                // by bus name
    QMap<QString, ParametriLancioMenu> m_lanciInAttesa;  // by launch id (switch M)
    QMap<QString, ParametriLancioMenu> m_attivaInAttesa; // by bus name
    QList<ProcessoLanciato> m_lanciati;
    std::optional<QString> m_sqlLogin, m_sqlPwd;
    bool m_pubblicato = false;
    QObject* m_oggettoMenu = nullptr;
    QObject* m_oggettoControllo = nullptr;
};

} // namespace quarvel::menu
