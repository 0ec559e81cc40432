#pragma once
// The message and command dialog: the message in a label (or in a read-only
// text box when it is too tall for the screen), up to three answer buttons,
// and the number of the pressed one as the answer.

#include "DisposizioneMsgCom.h"
#include "suite/Messaggi.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QStringList>
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

    // Enter, Return and Space answer only once the message has been on the
    // screen this long and no other key has come for as long: a scanner's
    // Return (or a key held down) is not the operator's answer.
    static constexpr int GuardiaMs = 600;
    // The codes a scanner typed while the message was open (each ended by
    // its Return): they were not taken, and the message lists them.
    const QStringList& letture() const { return m_letture; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    FrmMsgCom();
    void Form_Load();
    void Prepara(const RichiestaMsgCom& r);
    void Disponi(const QString& testo, double tpp);
    void OrdineTab();
    QPushButton* CaricaPulsante(int indice);
    void ComEsegui_Click(int indice);
    // A key that reached the open dialog: true when it is not the operator's.
    bool TastoNonVoluto(QKeyEvent* e);
    void MostraLetture();

    QLabel* m_etichetta = nullptr;
    QPlainTextEdit* m_testo = nullptr;
    std::array<QPushButton*, 3> m_pulsanti{};
    QLineEdit* m_ritorno = nullptr;
    DisposizioneMsgCom m_disposizione;
    RichiestaMsgCom m_richiesta;
    QElapsedTimer m_aperto;
    QElapsedTimer m_ultimoTasto;
    QString m_lettura;
    QStringList m_letture;
    bool m_avvisato = false;
};

} // namespace quarvel
