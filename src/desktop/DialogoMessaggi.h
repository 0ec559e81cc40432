#pragma once
// The program's face of the message service: the message and command dialog
// for msgCom, the system message box and the input box.

#include "suite/Messaggi.h"

class QMessageBox;
class QWidget;

namespace quarvel {

class DialogoMessaggi final : public ServizioMessaggi {
public:
    int msgCom(const RichiestaMsgCom& r) override;
    int msgBox(const RichiestaMsgBox& r) override;
    QString inputBox(const RichiestaInput& r) override;
};

// Builds the message box of a request, its buttons in the order of the style
// (tests drive it without showing it).
QMessageBox* CreaMsgBox(const RichiestaMsgBox& r, QWidget* genitore = nullptr);
// The answer of a closed message box built by CreaMsgBox.
int RispostaMsgBox(const QMessageBox& box, int stile);

// Makes the dialog the message service of the program (the start-up calls it
// once the application object exists).
void InstallaDialogoMessaggi();

} // namespace quarvel
