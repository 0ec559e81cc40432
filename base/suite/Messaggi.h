#pragma once
// The one message service through which every message and question reaches
// the operator.  Three faces implement it: the message dialog in the program
// (desktop/), a scripted responder in the tests, and standard error in batch
// tools.  The logic never opens a window of its own: it calls msgCom, MsgBox,
// InputBox, MsgErrfrm or MsgErrore below, which log what the operator was told
// to the category "quarvel.messaggi" (off by default; switch it on with
// QT_LOGGING_RULES="quarvel.messaggi.info=true") and hand it to the service.

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <variant>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcMessaggi)

namespace quarvel {

// Styles and answers of the system message box.
enum StileMsgBox : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
enum RispostaMsgBox : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

// A question for the message and command dialog: the parameters of msgCom.
struct RichiestaMsgCom {
    QString psLabel;
    QString psCom1;
    std::optional<QString> pvCom2;
    std::optional<QString> pvCom3;
    std::optional<QString> pvTitolo;
    int piLargForm = 80;
    bool pbSuona = false;
    int piLatiForm = 600;
    std::optional<double> pvFontSize;
    int piComDefault = 1;
    std::optional<int> pvWidthCom;
    bool pbSempreTxt = false;
    // With three buttons Enter and Esc answer nothing unless the caller names
    // the button each answers (1-based; 0 none).  One and two buttons keep
    // their own rule (Enter the first, Esc the second).
    int piComInvio = 0;
    int piComEsc = 0;

    QStringList pulsanti() const;
};

// A plain system message box.
struct RichiestaMsgBox {
    QString testo;
    int stile = vbOKOnly;
    QString titolo; // empty: the application title
};

// The platform input box.
struct RichiestaInput {
    QString prompt;
    QString titolo;
    QString predefinito;
};

class ServizioMessaggi {
public:
    virtual ~ServizioMessaggi();
    // The number of the pressed button (1, 2 or 3); 0 when the dialog was
    // already open or closed without a button.
    virtual int msgCom(const RichiestaMsgCom& r) = 0;
    // One of RispostaMsgBox.
    virtual int msgBox(const RichiestaMsgBox& r) = 0;
    // The text typed; an empty text when the operator cancelled.
    virtual QString inputBox(const RichiestaInput& r) = 0;
};

// The service in force.  Until the program installs its dialog (or a test its
// responder), messages go to standard error.
ServizioMessaggi& Messaggi();
// Installs a service (not owned); nullptr goes back to standard error.
void ImpostaServizioMessaggi(ServizioMessaggi* s);

// The buttons of a message-box style, as captions ("OK", "Annulla", ...), and
// the answer each gives.
QStringList PulsantiMsgBox(int stile);
std::vector<int> RisposteMsgBox(int stile);

// ---- The calls the program makes -------------------------------------------------

int msgCom(const RichiestaMsgCom& r);
int msgCom(const QString& psLabel, const QString& psCom1,
           std::optional<QString> pvCom2 = std::nullopt,
           std::optional<QString> pvCom3 = std::nullopt,
           std::optional<QString> pvTitolo = std::nullopt, int piLargForm = 80,
           bool pbSuona = false, int piLatiForm = 600,
           std::optional<double> pvFontSize = std::nullopt, int piComDefault = 1,
           std::optional<int> pvWidthCom = std::nullopt, bool pbSempreTxt = false);

int MsgBox(const QString& testo, int stile = vbOKOnly, const QString& titolo = {});
QString InputBox(const QString& prompt, const QString& titolo = {},
                 const QString& predefinito = {});

// The standard error sentence: psMsgAggPri & "Errore(" & number & "): " & text
// & psMsgAggDop.  A missing text is the current error's description, followed
// by " - " and its source when it has one; a missing number is the current
// error's number.
QString TestoErrore(const std::optional<QString>& pvError, const std::optional<QString>& pverr,
                    const QString& psMsgAggPri, const QString& psMsgAggDop);

// Shows the sentence in the message dialog with the single button "&Ok".
int MsgErrfrm(std::optional<QString> pvError = std::nullopt,
              std::optional<QString> pverr = std::nullopt, const QString& psMsgAggPri = {},
              const QString& psMsgAggDop = {}, std::optional<QString> pvTitolo = std::nullopt);
// Shows the sentence in the system message box (exclamation, OK).
int MsgErrore(std::optional<QString> pvError = std::nullopt,
              std::optional<QString> pverr = std::nullopt, const QString& psMsgAggPri = {},
              const QString& psMsgAggDop = {});

// ---- Faces that live here ----------------------------------------------------------

// Batch tools: prints every message on standard error and answers as Enter
// would (the default button, the first button of a box, the default text).
class MessaggiStderr final : public ServizioMessaggi {
public:
    int msgCom(const RichiestaMsgCom& r) override;
    int msgBox(const RichiestaMsgBox& r) override;
    QString inputBox(const RichiestaInput& r) override;
};

// Tests: answers queued in advance, every shown text recorded.  With no
// answer queued, msgCom gives 0 (closed without a button), a box gives its
// cancel answer when it has one, else its first, and the input box gives the
// empty text of a cancel; each such case is counted in nonRisposte.
class MessaggiScriptati final : public ServizioMessaggi {
public:
    enum class Tipo { MsgCom, MsgBox, Input };
    struct Mostrato {
        Tipo tipo;
        QString testo;
        QString titolo;
        QStringList pulsanti;
        int stile = 0;
        QString predefinito;
        // The titles of the program's windows on screen while it was shown.
        QStringList finestre;
    };

    // Installs itself as the service while it lives.
    MessaggiScriptati();
    ~MessaggiScriptati() override;

    void rispondi(int risposta) { m_risposte.emplace_back(risposta); }
    void rispondi(const QString& testo) { m_risposte.emplace_back(testo); }

    const std::vector<Mostrato>& mostrati() const { return m_mostrati; }
    QStringList testi() const;
    int nonRisposte() const { return m_nonRisposte; }
    bool rispostePendenti() const { return !m_risposte.empty(); }
    void azzera();

    int msgCom(const RichiestaMsgCom& r) override;
    int msgBox(const RichiestaMsgBox& r) override;
    QString inputBox(const RichiestaInput& r) override;

private:
    std::deque<std::variant<int, QString>> m_risposte;
    std::vector<Mostrato> m_mostrati;
    int m_nonRisposte = 0;
    ServizioMessaggi* m_precedente = nullptr;
};

} // namespace quarvel
