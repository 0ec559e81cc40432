#pragma once
// The program's side of the lookup component on code fields: the lookup
// opened on a text box (AiutoCampo), the article-picture options handed to
// the component before a grid lookup (ImpostaImmaginiAiuto), and the focus
// colours of the code boxes (ColoreEntrata, ColoreUscita).
//
// Account kinds (the lookup "Conto" only).  ClassificaConto gives the kind of
// account a lookup is about, one letter put in front of the "Campi" key of
// its field list, so that each kind keeps a field list of its own:
//   - a code typed as a kind letter and a slash ("C/ROSSI") is of that kind,
//     and the box keeps what follows the slash ("ROSSI");
//   - else a filter whose text is a kind letter, or a word beginning with one
//     ("Clienti", "Fornitori", "Generali"), gives that kind;
//   - else "0": no kind.
// The kinds are "C" (customers), "F" (suppliers) and "G" (general ledger
// accounts), in capitals whatever the case typed.  The key code plays no
// part.

#include <QString>
#include <QVariant>
#include <optional>

class QLabel;
class QLineEdit;
class QWidget;

namespace quarvel {

// Opens the lookup of the session's component on a code box.  Only F2 to
// F12 (113 to 123) or a negative key code do anything; any other key returns
// an invalid QVariant at once.  The preparation ignores its own errors; those
// of the lookup itself (and a session without the component, Errore 91) go
// to the caller.  The component's result.
QVariant AiutoCampo(const QString& nomeAiuto, QLineEdit* codice, QLabel* descrizione, int& keyCode,
                    const std::optional<QVariant>& filtro, bool& trovato,
                    const QString& campiExtra = QString(), int flag = 0,
                    const QString& testoExtra = QString());

// The image options before a grid lookup: "Articolo" switches them on as
// configured, any other name off.  Errors ignored.
void ImpostaImmaginiAiuto(const QString& nomeColonna);

// The focus colours of a code box (got focus, lost focus).  A box in the
// error colour keeps it unless forza.
void ColoreEntrata(QWidget* controllo, bool forza = false);
void ColoreUscita(QWidget* controllo, bool forza = false);

// The account kind of a "Conto" lookup (rule above); may shorten testo.
QString ClassificaConto(const QString& filtro, QString& testo, int keyCode);

// The picture options kept for the program's life, back to unread (tests).
void AzzeraImmaginiAiuto();

} // namespace quarvel
