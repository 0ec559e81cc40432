#pragma once
// The keyboard every data form and the small dialogs share: F1 help, text
// snippets bound to Ctrl keys, find and replace inside text boxes, Enter as a
// step to the next control, the keypad's decimal key typing a comma, and
// (in the data forms) Alt+key for the toolbar buttons.
//
// A form turns key preview on (AnteprimaTasti) and sends every key through
// TastiForm (the key going down) and FiltroTasti (the character it types).
// Key codes are the virtual-key codes (Enter 13, Page Up 33, F 70, F1 112,
// keypad decimal 110); Shift is 1 Shift, 2 Ctrl, 4 Alt, summed.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>

class QKeyEvent;
class QWidget;

namespace quarvel {

// The texts of the find and replace.
namespace testi_tastiera {
QString StringaDaCercare(); // "Stringa da cercare"
QString SostituireCon();    // "Sostituire con"
QString TestoNonTrovato();  // "Testo non trovato"
} // namespace testi_tastiera

// The last search of the program.
struct RicercaTesto {
    QString sCerca;
    QString sSostituisci;
    // 1 ignore case (taken when still empty), 0 exact case.
    QVariant vConfronto;
};

// Program-wide state of the keyboard, kept for the life of the program.
struct StatoTastiera {
    qint16 giUltimoTasto = 0; // key code of the last key down seen by TastiForm
    qint16 giUltimoShift = 0; // its shift state
    qint16 gbInvioPassa = 0;  // -1: the last Enter reaches the control as a key press
    RicercaTesto mgRicerca;
};
StatoTastiera& Tastiera();
// Back to the state at start (tests).
void AzzeraTastiera();

// Key codes used here.
namespace Tasto {
inline constexpr int Invio = 13;
inline constexpr int Esc = 27;
inline constexpr int PagSu = 33;
inline constexpr int PagGiu = 34;
inline constexpr int Canc = 46;
inline constexpr int F = 70;
inline constexpr int S = 83;
inline constexpr int Confronto = 92; // Ctrl+Alt+\ : comparison mode
inline constexpr int DecimaleTastierino = 110;
inline constexpr int F1 = 112;
inline constexpr int F2 = 113;
inline constexpr int F3 = 114;
} // namespace Tasto

// The key code of a Qt key event (0 for a key without one).
int CodiceTastoForm(const QKeyEvent* e);

// The key going down on a form.  1 when the key was used (KeyCode is then 0),
// 0 otherwise.  The data forms pass pbInvioInGriglia false and
// pbControllaMultiLine true.
int TastiForm(int& KeyCode, int Shift, QWidget* form, bool pbInvioInGriglia,
              bool pbControllaMultiLine);

// The character a key types: the one to keep, 0 to drop it.
int FiltroTasti(int KeyAscii);

// Find and replace inside the text box with the focus (Ctrl+Alt with F, S,
// Page Up, Page Down).  Errors are ignored.
void CercaSostituisci(QWidget* controllo, int KeyCode, int Shift);

// True for a text box (one line or more) of a form; the editor of a grid
// cell, of a combo box or of a spin box is not one.
bool ETestoForm(const QWidget* w);
// True for a text box of more than one line.
bool EMultiLinea(const QWidget* w);
// True when the control is a grid or lies inside one.
bool EGriglia(const QWidget* w);

// Key preview of a form: every key that reaches a control of the form goes
// first through TastiForm and FiltroTasti.  dopoTasti runs when TastiForm did
// not use the key (the data forms' Alt+key); true from it swallows the key.
class AnteprimaTasti final : public QObject {
    Q_OBJECT
public:
    AnteprimaTasti(QWidget* form, bool invioInGriglia, bool controllaMultiLinea);
    ~AnteprimaTasti() override;

    std::function<bool(int& KeyCode, int Shift)> dopoTasti;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QPointer<QWidget> m_form;
    bool m_invioInGriglia;
    bool m_controllaMultiLinea;
    bool m_inoltro = false;
};

} // namespace quarvel
