#pragma once
// Small services every window shares that talk to the system or to the
// window system: the notice sound, the terminal session, the help key,
// stepping the focus, selecting a text, the hourglass, re-showing modal
// dialogs around a lookup window, and a few window-collection helpers.
// Services that must not disturb their caller ignore their own errors.

#include "suite/Tasti.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

class QKeyEvent;
class QProcessEnvironment;
class QUrl;
class QWidget;

namespace quarvel {

// ---- Sound ----------------------------------------------------------------------

// Plays sounds; the program's one plays through the sound system and stays
// silent where there is no audio output.  Tests install a recorder.
class RiproduttoreSuoni {
public:
    virtual ~RiproduttoreSuoni();
    virtual void beep() = 0;
    // A sound file, without waiting; nothing when the file is missing.
    virtual void file(const QString& percorso) = 0;
    // A tone of the frequency (Hz) for the duration (ms), waiting for its end.
    virtual void tono(qint32 frequenza, qint32 durata) = 0;
    // A WAV image from memory, waiting for its end.
    virtual void memoria(const QByteArray& wav) = 0;
};
RiproduttoreSuoni& Riproduttore();
void ImpostaRiproduttore(RiproduttoreSuoni* r); // nullptr: the sound system

// The notice sound the session's BeepCome asks for: empty the system beep; a
// frequency and a duration ("880", "880;50") a tone; 0 or less a synthesized
// sound (silence for 0); any other text a sound file.
void Suona();

// The WAV image (RIFF, PCM, 1 channel, 11025 samples a second, 8 bits) of a
// sine of the frequency lasting the duration in ms.
QByteArray CreaWav(float frequenza, qint32 durata);

// ---- Terminal session -------------------------------------------------------

// The login session number (XDG_SESSION_ID, else the kernel's session id) and
// in indirizzo the address of the SSH client; 0 and an empty address where
// there is neither.
qint32 SessioneClient(QString& indirizzo);
qint32 SessioneClient(QString& indirizzo, const QProcessEnvironment& ambiente,
                      const QString& fileSessione);

// ---- Help key ---------------------------------------------------------------------

// The application's help file (set at start from the launch parameters).
void ImpostaFileAiuto(const QString& file);
QString FileAiuto();
// The compiled help file the F1 key opens: the application's help file with
// its four-character ending replaced by ".chm"; empty when missing.
QString FileAiutoChm();

// Opens help: the help file's URL; the fragment is the topic number, or
// "index" for the keyword index; none for the table of contents.  The program
// opens it with the desktop's viewer; tests record it.
using ApritoreAiuto = std::function<void(const QUrl&)>;
void ImpostaApritoreAiuto(ApritoreAiuto apritore); // empty: QDesktopServices

// A widget's help context: its property "HelpContextID" (0 without one).
qint32 ContestoAiutoDi(const QWidget* w);
// The help context F1 shows: the given one, or (below 0) the control's own;
// below 1 the first positive one up the control's containers; else the
// window's.
qint32 ContestoAiuto(const QWidget* controllo, const QWidget* finestra, qint32 contesto = -1);

// F1 (KeyCode 112): the help of the context (-1: of the window's active
// control); with Ctrl the table of contents, with Alt the index.  True when
// the key was used (KeyCode is then 0); false without a help file.
bool TastoAiuto(int& KeyCode, int& Shift, QWidget* finestra, qint32 contesto = -1);
// The same for a Qt key event, which is accepted when used.
bool TastoAiuto(QKeyEvent* evento, QWidget* finestra, qint32 contesto = -1);
// (KeyCode and Shift of a Qt key: CodiceTasto and MascheraShift, suite/Tasti.h)

// ---- Focus, selection, pointer -----------------------------------------------------

// Moves the focus passo places along the window's tab order (the focus chain
// of its controls), wrapping at both ends and skipping what cannot take the
// focus.  indietro given: 1 goes backward, anything else forward.  The window
// is the active one unless given.  True when the focus moved.
bool SpostaFuoco(qint16 passo, std::optional<int> indietro = std::nullopt,
                 QWidget* finestra = nullptr);

// The whole text of the control with the focus selected.
void SelezionaTesto();

// The hourglass pointer on; off puts back the pointer saved when it went on.
void Clessidra(bool acceso);

// ---- Modal dialogs and windows ------------------------------------------------------

// Shows the window modally; when it was hidden to make room for a lookup
// window (its "oiNoHelp" 2), shows it again.
void MostraModale(QWidget* finestra);
// Hides every open window shown by MostraModale (oiNoHelp above 0), marking it 2.
void NascondiModali();

// Gives the focus to element indice of the window's txtAppo (flag set) or txt
// array, lets pending events run, then calls the window's txtAppo_KeyUp or
// txt_KeyUp (Q_INVOKABLE or slot, taking int Index, int KeyCode, int Shift).
void ApriAiutoCampo(QWidget* finestra, int indice, int codiceTasto, bool flag);

// True when a window of that name (ignoring case) is loaded.
bool FormAperta(const QString& nome);

// Piece k (from 0) of the text cut at the separator; empty when there is none.
QString ParteTesto(const QString& testo, const QString& separatore, int k);

} // namespace quarvel
