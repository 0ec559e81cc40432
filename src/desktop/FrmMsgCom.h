#pragma once
// The message and command dialog: the message in a label (or in a read-only
// text box when it is too tall for the screen), up to three answer buttons,
// and the number of the pressed one as the answer.

#include "DisposizioneMsgCom.h"
#include "suite/Messaggi.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quarvel {

class FrmMsgCom final : public QDialog {
    Q_OBJECT
public:
    // Shows the request and returns the pressed button (1..3); 0 when the
    // dialog is already open or was closed without a button.
    static int Esegui(const RichiestaMsgCom& r);
    // The dialog being shown, if any.
    static FrmMsgCom* Aperto();

    const DisposizioneMsgCom& disposizione() const { return m_disposizione; }
    QLabel* LabMessaggio() const { return m_etichetta; }
    QPlainTextEdit* txtMessaggio() const { return m_testo; }
    QPushButton* ComEsegui(int indice) const;
    QLineEdit* txtComRit() const { return m_ritorno; }

    // Frame of the platform's windows around the inner area, in twips.
    static MetricheMsgCom Metriche(const FrmMsgCom& f);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    FrmMsgCom();
    void Form_Load();
    void Prepara(const RichiestaMsgCom& r);
    QPushButton* CaricaPulsante(int indice);
    void ComEsegui_Click(int indice);

    QLabel* m_etichetta = nullptr;
    QPlainTextEdit* m_testo = nullptr;
    std::array<QPushButton*, 3> m_pulsanti{};
    QLineEdit* m_ritorno = nullptr;
    DisposizioneMsgCom m_disposizione;
};

} // namespace quarvel
