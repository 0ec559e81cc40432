#pragma once
// FrmSceltaStam ("Scelta della modalità di stampa"): where a print goes and
// how.  It edits the print options object it is given, at once on every
// change; "&Chiudi" closes it (refused while a file target has no file name
// or the first page is past the last).  It also saves and deletes the
// options in the parameter files.

#include "suite/Stampa.h"

#include <QDialog>
#include <QMap>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QWidget;
class QBoxLayout;
class QGridLayout;
class QVBoxLayout;

namespace quarvel {

class PannelloPdfEmail;

// The major version of the spreadsheet program the file dialog offers the
// workbook for: 12 or higher "xlsx", below "xls", -1 none (the workbook is
// then not offered).  Tests put their own reader in its place (empty: the
// program's).
int VersioneFoglioElettronico();
void ImpostaVersioneFoglioElettronico(std::function<int()> lettore);

class FrmSceltaStam final : public QDialog {
    Q_OBJECT
public:
    explicit FrmSceltaStam(QWidget* genitore = nullptr);
    ~FrmSceltaStam() override;

    void setOgOpzSta(IOpzioniStampa* opzioni) { m_opz = opzioni; }
    // Prepares the dialog from the options; false: it must not be shown.
    bool VisDecodOk();
    void VisStaAttuale();
    void ImpostaCboCassetti();
    void ImpostaCboTipoCarta();
    // The printers that have no bins: "tutte", or names separated by commas
    // (the personal parameter "StampantiNoCassetti" of "Tutti", read at load).
    void setMsStampantiNoCassetti(const QString& testo);

    // Target change, printer choice (row of GriPri; predefinita: the default
    // printer), the file frame refreshed from the options.
    void OptStampaSu_Click(int i);
    void ScegliStampante(int riga, bool predefinita);
    void AggiornaFile();
    void AggiornaFisso();
    void AggiornaVideo();
    // The save panel.
    void ComSalOpz_Click();
    void ComCancOpz_Click();
    void SelDeselSalOpz(bool spunta);
    void comOk_Click();

    IOpzioniStampa* ogOpzSta() const { return m_opz; }

    // PDF and e-mail (PannelloPdfEmail.cpp).  The switches "Nome file Pdf
    // autom." (ChePdfAutom) and "Invia per Email" (CheInviaEmail), shown
    // only when a PDF printer is in use ("UsaPdfCreator", "UsaPdf995") and,
    // for the second, when "StampeEmail" is "S"; the panel of the PDF and
    // e-mail parameters ("Par ini Pdf/Email").
    void ChePdfAutom_Click();
    void CheInviaEmail_Click();
    void ImpostaPdfAutom();
    void ComParIniPE_Click();
    PannelloPdfEmail* pannelloPdfEmail() const { return m_pannello; }
    bool eventiSospesi() const { return m_sospesi; }
    // The e-mail data request: 1000 while it runs, 200 when the operator
    // cancelled it, else 0.
    qint16 oiRichDatiEmail = 0;
    bool RichDatiEmail();

    // The controls, by their names.
    QWidget* controllo(const QString& nome) const { return m_controlli.value(nome); }
    template <typename T> T* c(const QString& nome) const {
        return qobject_cast<T*>(controllo(nome));
    }

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    // The first time: as tall as the frames want, within the screen.
    void showEvent(QShowEvent* e) override;
    // The page-range boxes entered and left.
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    bool m_misurata = false;
    template <typename T> T* aggiungi(T* w, const QString& nome);
    QGroupBox* costruisciStampante();
    void usaStampantePredefinita();
    void costruisciCartaPagine(QGroupBox* f, QGridLayout* g);
    void costruisciPulsanti(QVBoxLayout* esterno);
    void riempiStampanti();
    QGroupBox* costruisciVideo();
    QGroupBox* costruisciFile();
    QGroupBox* costruisciFisso();
    QWidget* costruisciSalvataggio();
    void paginaLasciata(int indice);
    void cambiaNomeFile();
    void cambiaNomeFisso();
    QString stampanteDelleOpzioni() const;
    void costruisciPdfEmail(QBoxLayout* layout);
    void attivaPdfEmail();
    void stampanteSceltaAMano();

    IOpzioniStampa* m_opz = nullptr;
    QString m_noCassetti;
    bool m_cancella = false;
    bool m_sospesi = false; // the PDF and e-mail switches ignore their clicks
    PannelloPdfEmail* m_pannello = nullptr;
    QMap<QString, QWidget*> m_controlli;
};

} // namespace quarvel
