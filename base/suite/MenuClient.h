#pragma once
// The menu client: this program's link to the suite's menu (quarvel-menu).
// The menu starts the program with a command line, the program registers with
// it (Collega), takes from it the company, the parameter file and the function
// to open, reads and writes named values, and answers its commands (the event
// EseguiComando) until it ends (Scollega).
//
// Every operation throws quarvel::Errore when the menu cannot be reached or
// refuses the call: number 5 (NumErr::ChiamataNonValida) with the menu's or
// the bus's own text as description and "MenuClient" as source.  The start-up
// shows for number 5 the "menu not running" message.
//
// The real client lives in components/menu (ClientMenuDBus, over the D-Bus
// session bus); the start-up creates it, the rest of the program sees only
// this interface.

#include <QString>
#include <QVariant>

namespace quarvel {

// The reply of LeggiValore for a personal parameter that does not exist.
inline const QString ValoreMancanteMenu = QStringLiteral("§ç~$!^");

// The name under which a personal parameter (section, key) is kept.
inline QString NomeParametroPersonale(const QString& sezione, const QString& chiave) {
    return QStringLiteral("Personal.") + sezione + QStringLiteral(".§") + chiave;
}

// The launch parameters of the current call of the menu.
struct ParametriLancioMenu {
    QString osParam;        // switches for the function: "/F<form>", "/H<help file>", "/RO"
    QString osTipoForm;     // kind of window the menu asked for (passed through)
    QString osChiLancia;    // function key of who launched this function (empty: the menu)
    QString osKeySecLancia; // its secondary key
    QString osParamLancia;  // its parameter
};

// Receiver of the menu's commands (the command link scMenuComandiClie).
class IComandiMenu {
public:
    virtual ~IComandiMenu();
    // A command of the menu: "fine", "esiste", "attiva", "passaa", "preppassaa",
    // "ritornoa", "keyprgprim", "keyprgsec", "paramprgclie", "comandoprgclie",
    // "FEInvio", "FEAttesa", "FEInfo".  The handler sets risposta (left
    // invalid, the menu receives an empty reply).  parametro is a text, a
    // number or a QVariantList (the FE* commands), or invalid when none.
    virtual void EseguiComando(const QString& idMenu, const QString& chiaveFunzione,
                               const QString& comando, const QVariant& parametro,
                               QVariant& risposta) = 0;
};

class IMenuClient {
public:
    virtual ~IMenuClient();

    // Where the event EseguiComando goes (not owned; nullptr: commands get an
    // empty reply).  Set it before Collega.
    virtual void ImpostaGestoreComandi(IComandiMenu* gestore) = 0;

    // Registers this process with the menu: switch M (the menu's identifier of
    // this launch), the first word of switch P (the program's code in the
    // menu) and the rest of switch P (the function key).  The reply is the
    // menu's identifier of this client.
    virtual QString Collega(const QString& opzioneM, const QString& opzioneP,
                            const QString& opzionePResto) = 0;
    // Drops the registration; never throws (the menu may already be gone).
    virtual void Scollega() noexcept = 0;
    // True between a successful Collega and Scollega.
    virtual bool Collegato() const = 0;

    // Brings the menu's window forward ("Tutti").  Throws when the menu is gone.
    virtual void MostraMenu(const QString& chi = QStringLiteral("Tutti")) = 0;

    // Sends a command to the menu and returns its reply: "PrepProcCorr",
    // "AddSeg" (a QVariantList {program number, segment} or the number alone),
    // "MsgBox" (the text, or {text, style, title}; the reply is the button
    // pressed), "TastiCtrl" (the key number, negative with Shift; the reply is
    // the text bound to it, empty when none).  destinatari is "Tutti".
    virtual QVariant InviaComando(const QString& comando,
                                  const QString& destinatari = QStringLiteral("Tutti"),
                                  const QVariant& parametro = {}) = 0;

    // Gives control back to the function that launched a closing form.
    virtual void RitornaA(const QString& chiave, const QString& chiaveSec,
                          const QString& parametro) = 0;
    // Answer to "preppassaa": one open window of this program (caption, the
    // form name it was opened with, its function key).
    virtual void RegistraFinestra(const QString& caption, const QString& numeroFinestra,
                                  const QString& chiaveSec) = 0;

    // The main parameter file chosen by the menu (a local path; may be empty).
    virtual QString FileIni() = 0;
    // The launch parameters of the current call.
    virtual ParametriLancioMenu ParametriLancio() = 0;
    // This program's code in the menu.
    virtual QString CodiceProgramma() = 0;

    // The program is about to open the function with this key ("attiva"): the
    // menu makes it the current call, so ParametriLancio describes it.
    virtual void AttivaFunzione(const QString& chiaveFunzione) = 0;
    // The function with this (secondary) key has ended (a data form closed).
    virtual void FineFunzione(const QString& chiaveSec) = 0;

    // A named value, or predefinito when the menu has none.  A personal
    // parameter (NomeParametroPersonale) that does not exist answers
    // ValoreMancanteMenu whatever the default.  "ChiediPwdSql" makes the menu
    // ask the operator for the SQL login; "SqlLogin" and "SqlPwd" then hold it.
    virtual QString LeggiValore(const QString& nome, const QString& predefinito = {}) = 0;
    // Stores a named value (a personal parameter too).  Names and values are
    // one line each; the menu refuses a name that is empty or holds "=".
    virtual void ScriviValore(const QString& nome, const QString& valore) = 0;
};

} // namespace quarvel
