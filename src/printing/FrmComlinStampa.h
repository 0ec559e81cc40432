#pragma once
// FrmComlinStampa ("Stampa dati della lista"): prints the list of a data
// form.  The list-command object sets itself as ogComlin and shows the
// dialog; the operator picks the columns, the orientation, the font and,
// through "Seleziona Stampante", the printer and the print options; "&STAMPA"
// prepares the print object and hands the print back to AvviaStampa.  The
// options object lives as long as the dialog, so what is chosen applies to
// every print started from it.

#include "suite/Stampa.h"

#include <QDialog>
#include <QFont>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quarvel {

class FrmComlinStampa final : public QDialog, public IDialogoStampaLista {
    Q_OBJECT
public:
    // The section of the parameter files that holds the options of list
    // prints.
    static QString Sezione();

    explicit FrmComlinStampa(QWidget* genitore = nullptr);
    ~FrmComlinStampa() override;

    IListaComandi* ogComlin() const { return m_comlin; }
    void setOgComlin(IListaComandi* comlin) override { m_comlin = comlin; }
    void VisStaAttuale();

    const QFont& mgFontStampa() const { return m_font; }
    // The options of this dialog, made on first use.
    IOpzioniStampa& mgOpzSta();

    // The controls, by their names.
    QRadioButton* OptTipsta(int i) const { return m_optTipsta[i]; }
    QRadioButton* OptOrientamento(int i) const { return m_optOrient[i]; }
    QGroupBox* FraTipSta() const { return m_fraTipSta; }
    QGroupBox* fraOrientamento() const { return m_fraOrient; }
    QLabel* LabStaAttuale() const { return m_labStaAttuale; }
    QPushButton* CmdStampa() const { return m_cmdStampa; }

    void CmdStampa_Click();
    void ComUsaDef_Click();
    void comSceStam_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void CmdSceFont_Click();

    IListaComandi* m_comlin = nullptr;
    QFont m_font;
    std::unique_ptr<IOpzioniStampa> m_opz;
    QRadioButton* m_optTipsta[2] = {};
    QRadioButton* m_optOrient[2] = {};
    QGroupBox* m_fraTipSta = nullptr;
    QGroupBox* m_fraOrient = nullptr;
    QLabel* m_labStaAttuale = nullptr;
    QPushButton* m_cmdStampa = nullptr;
};

// Registers the shared print windows (the list print dialog and the
// printing-in-progress form) that the program hands to every form's
// list-command object.
void InstallaFinestreStampa();

} // namespace quarvel
