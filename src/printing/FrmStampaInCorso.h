#pragma once
// frmStampaInCorso: the window shown while a list prints, with the page
// being printed and "Interrompi la stampa", which asks the print to stop
// after the page it is on.

#include "suite/Stampa.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace quarvel {

// The request of missing e-mail data on the options of a print (the print
// mode dialog in the program; tests put their own answer in its place).
using RichiestaDatiEmail = std::function<bool(IOpzioniStampa& opzioni)>;
void ImpostaRichiestaDatiEmail(RichiestaDatiEmail richiesta);

class FrmStampaInCorso final : public QDialog, public IStampaInCorso {
    Q_OBJECT
public:
    explicit FrmStampaInCorso(QWidget* genitore = nullptr);

    IStampa* ogStampa() const { return m_stampa; }
    void setOgStampa(IStampa* stampa) override { m_stampa = stampa; }
    void MostraPagina(int pagina) override;
    // The print is to be mailed: the message data handed to the print's
    // options (InviaEmail of the e-mail preparation).  When the parameters
    // lack the login, the password, the server or a recipient, the operator
    // is asked for them in the print mode dialog (RichDatiEmail) first.
    // False when the data stay missing or the operator cancels.
    bool ChiediEmailLogPwd() override;

    QLabel* LblPag() const { return m_lblPag; }
    QPushButton* ComSTampa() const { return m_comStampa; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void ComSTampa_Click();

    IStampa* m_stampa = nullptr;
    QLabel* m_lblPag = nullptr;
    QPushButton* m_comStampa = nullptr;
};

} // namespace quarvel
