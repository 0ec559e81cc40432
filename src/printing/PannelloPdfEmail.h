#pragma once
// The panel "Parametri per stampe pdf ed email" (PicPdfEmail) of the print
// mode dialog: the 22 items of PdfEmail.h with a save-selection box each,
// the nine items that exist once on the left, the frame of the active
// sending configuration on the right (FraPEConf(1) to FraPEConf(3); only the
// frame of the configuration chosen in CboEmailTipoNum is visible, the
// first one when a single configuration is in use), and its buttons.  It
// shows and stores the menu's named values; nothing is kept in between.
//
// Control names: the value of item v of configuration c is "ChePE(n)" (a
// check box), "TxtPE(n)" (a text box) or the option buttons "OptPETipo(m)"
// of the method, with n = c * 100 + v and m = c * 100 + k, k = 0 "S"
// (Sendmail), 1 "C" (CDO), 2 "O" (Outlook), 3 "E" (See), 4 "" (Non usato,
// configurations 2 and 3).  The save-selection box of item v of
// configuration c is "ChePdfEmailSalva(n)" with n = (c - 1) * 22 + v.

#include <QMap>
#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QHBoxLayout;
class QVBoxLayout;

namespace quarvel {

class FrmSceltaStam;
class IMenuClient;

class PannelloPdfEmail final : public QWidget {
    Q_OBJECT
public:
    explicit PannelloPdfEmail(FrmSceltaStam* dialogo);

    // Parameters into the panel, and back.
    void MostraIniPE();
    void AggIniPE();
    // The 67-character selection code of the boxes ticked.
    QString SalvaCancIniPE() const;
    // The field check and the SSL rules; false (its message shown, the focus
    // on the field) at the first failure.
    bool CtrlTxtValidi();
    void MostraEmailToCor();
    void MostraEmailTipoCor();
    void PESelDeselSalOpz(bool spunta);
    // The active configuration (1 to 3) and whether several are in use.
    int configurazioneAttiva() const;
    bool multiple() const;

    void ComPEOk_Click();
    void ComPEAnnulla_Click();
    void ComPESalva_Click();
    void ComPECanc_Click();
    void ComPERileggi_Click();
    // F2 to F5 in a recipient's field: the customers' e-mail addresses
    // (the lookup "Conto"); the address of the customer picked goes into the
    // field, the one "EmailPredef" of "StAltro" names.
    void CercaEmailCliente(QLineEdit* campo, int tasto);

    QWidget* controllo(const QString& nome) const { return m_controlli.value(nome); }
    template <typename T> T* c(const QString& nome) const {
        return qobject_cast<T*>(controllo(nome));
    }

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

private:
    template <typename T> T* aggiungi(T* w, const QString& nome);
    QWidget* riga(int conf, int voce, QWidget* genitore);
    void rigaTesto(QHBoxLayout* l, QWidget* w, int conf, int voce);
    void aggiungiCerca(QHBoxLayout* l, QWidget* w, int n, int voce, QLineEdit* txt);
    void costruisciDove(QVBoxLayout* principale);
    void costruisciVoci(QVBoxLayout* principale);
    void costruisciPulsanti(QVBoxLayout* principale);
    QString valore(int conf, int voce) const;
    void imposta(int conf, int voce, const QString& testo);
    QString chiave(int conf, int voce) const;
    void chiudiPannello();
    IMenuClient* menu() const;

    FrmSceltaStam* m_dlg;
    QMap<QString, QWidget*> m_controlli;
    QString m_to[3];
    int m_toCor = 1;
};

} // namespace quarvel
