#pragma once
// frmStampaInCorso: the window shown while a list prints, with the page
// being printed and "Interrompi la stampa", which asks the print to stop
// after the page it is on.

#include "suite/Stampa.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace quarvel {

class FrmStampaInCorso final : public QDialog, public IStampaInCorso {
    Q_OBJECT
public:
    explicit FrmStampaInCorso(QWidget* genitore = nullptr);

    IStampa* ogStampa() const { return m_stampa; }
    void setOgStampa(IStampa* stampa) override { m_stampa = stampa; }
    void MostraPagina(int pagina) override;

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
