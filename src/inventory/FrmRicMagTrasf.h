#pragma once
// frmRicMagTrasf ("Richiesta Magazzino"): asks for a warehouse code, with
// lookup (F2 to F5, the ".." button) and decoding, before a load or another
// warehouse operation.  The caller sets the question, whether it may be
// cancelled and the warehouse proposed, shows it modally (MostraModale) and
// reads obOk and osMagazScelto: a confirmed request hides, it does not go,
// and the caller deletes it.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quarvel {

class AnteprimaTasti;

class FrmRicMagTrasf final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int oiNoHelp MEMBER oiNoHelp)
    Q_PROPERTY(int HelpContextID MEMBER m_helpContextID)
public:
    explicit FrmRicMagTrasf(QWidget* genitore = nullptr);
    ~FrmRicMagTrasf() override;

    QString osKeySec;
    QString osDescriz;       // the question; empty keeps the designed text
    QString osMostraAnnulla; // exactly "S" shows the cancel button
    QString osMagazBase;     // proposed; empty: the default warehouse
    QString osMagazScelto;   // out
    bool obOk = false;
    int miMagaz = 90;
    int oiNoHelp = 0;

    QLabel* LabRichiesta() const { return m_labRichiesta; }
    QLineEdit* txtMagazzino() const { return m_txt; } // txt(90)
    QLabel* labMagazzino() const { return m_lab; }    // Lab(90)
    QPushButton* comHlpMagazzino() const { return m_comHlp; }
    QPushButton* comOk() const { return m_comOk; }
    QPushButton* ComAnnulla() const { return m_comAnnulla; }
    int HelpContextID() const { return m_helpContextID; }

    // The load sequence; runs once, when the request is first shown.
    void Form_Load();
    Q_INVOKABLE void txt_KeyUp(int Index, int KeyCode, int Shift);
    void comOk_Click();
    void ComAnnulla_Click();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void reject() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Decodifica();

    QLabel* m_labRichiesta = nullptr;
    QLineEdit* m_txt = nullptr;
    QPushButton* m_comHlp = nullptr;
    QLabel* m_lab = nullptr;
    QPushButton* m_comOk = nullptr;
    QPushButton* m_comAnnulla = nullptr;
    AnteprimaTasti* m_anteprima = nullptr;
    bool m_caricata = false;
    int m_helpContextID = 0;
};

} // namespace quarvel
