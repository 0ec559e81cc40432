#pragma once
// frmGestInv ("Gestione inventari"): the counted quantities of one
// inventory, the rows of MagInventari that belong to one header of
// MagDescrInv.  In header mode the operator chooses the inventory by its
// code (the latest one is proposed); in row mode the grid shows and edits
// its rows, ordered by article.  Articles are looked up by code (F2) or by
// barcode (F4): a keyboard-wedge scanner types the barcode and Enter into
// the article cell, and the row comes out as if typed by hand.

#include "inventory/CaricoConteggi.h"
#include "inventory/FileTerminale.h"
#include "listform/FrmLista.h"

#include <QPointer>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quarvel {

namespace testi_gestinv {
QString Caption();           // "Gestione inventari"
QString GestioneInventari(); // ComGes in header mode
QString TornaACerca();       // ComGes in row mode (eight spaces kept)
QString RicercaBarre();      // ComTipoRic while searching by article code
QString RicercaArticolo();   // ComTipoRic while searching by barcode
} // namespace testi_gestinv

class FrmCaricaFile;
class FrmSelIniCarFile;

class FrmGestInv final : public FrmLista {
    Q_OBJECT
public:
    FrmGestInv();
    ~FrmGestInv() override;

    // ---- Controls ------------------------------------------------------------------
    QWidget* PictTesta() const { return m_pictTesta; }
    QLineEdit* txtCodice() const { return m_txt10; }         // txt(10)
    QPushButton* comHlpCodice() const { return m_comHlp10; } // comHlp(10)
    QLabel* labDescrizione() const { return m_lab10; }       // Lab(10)
    QLabel* labData() const { return m_lab20; }              // Lab(20)
    QPushButton* ComGes() const { return m_comGes; }
    QPushButton* ComCarica() const { return m_comCarica; }
    QPushButton* ComTipoRic() const { return m_comTipoRic; }
    QPushButton* ComEsci() const { return m_comEsci; }

    // ---- Public members ----------------------------------------------------------
    // The grid's base query, without WHERE and ORDER BY.
    QString PrepSql() const;
    void PersColonne() override;
    bool DatiValidi(int& piColIndex, bool pbSoloDecod, bool pbAggDati) override;
    void DecodHelp(int piColIndex, int piKeyCode) override;
    bool VerifUpdate() override;
    // The code of the latest inventory (latest date, then highest code).
    void LeggoUltData();
    // The parameter set dialog has closed.
    Q_INVOKABLE void DopoSceIniLetFile();
    // Makes a file-load parameter set current and checks it (strict with
    // pbDisTool, which also sets the load button's visibility).  A set that
    // switches loading off hides the button until the form is opened again.
    void ImpLetDaFile(const QString& psLettArtDafile, bool pbDisTool);
    // One load of the current set's file into the inventory shown, in the
    // warehouse msMagCarico: the download program first when the set names
    // one, the progress window while the lines go in, then FineLetCodBar and
    // the summary of the load.
    void LeggiDaFileBarCode();
    // Closes the file, then deletes what was read or gives it back under
    // its name as the set's CancFile says (exactly "S" deletes, exactly
    // "N" keeps, anything else asks).
    void FineLetCodBar();
    // Field piNumCampo (1 = first) of a line of the current set's layout.
    QString LeggiCampo(const QString& psRiga, int piNumCampo) const;
    QString LeggiCampoApici(const QString& psRiga, int piNumCampo) const;

    // ---- State, readable by tests ------------------------------------------------
    bool mbModoRicerca() const { return m_mbModoRicerca; }
    const QString& msMagPrincipale() const { return m_msMagPrincipale; }
    const QString& msMagCarico() const { return m_msMagCarico; }
    const QString& msUltimoInv() const { return m_msUltimoInv; }
    const QString& msFormatoQta() const { return m_msFormatoQta; }
    int miTastoRic() const { return m_miTastoRic; }
    bool mbLettFileAbil() const { return m_mbLettFileAbil; }
    const QString& msSetCarico() const { return m_msSetCarico; }
    bool mbCaricoInCorso() const { return m_mbCaricoInCorso; }
    const inventario::SetCarico& setCarico() const { return m_set; }
    // What the last load did.
    const inventario::EsitoCarico& esitoCarico() const { return m_esito; }
    // The progress window, while a load runs.
    FrmCaricaFile* frmCaricaFile() const;

    // The header code box's key up (F2 to F6 open the lookup).
    Q_INVOKABLE void txt_KeyUp(int Index, int KeyCode, int Shift);
    // The mode switch, the lookup type toggle.
    void ComGes_Click();
    void ComTipoRic_Click();
    // The load button: the warehouse request, the load, the list refreshed.
    void ComCarica_Click();
    // Right click on the load button: the parameter set dialog.
    void ComCarica_MouseUp();

protected:
    QString SqlStandard() const override;
    qint16 ChiaviStandard() const override { return 1; }
    int TopicAiuto() const override { return 22104; }
    void DopoApertura() override;

    void BeforeColUpdate(int ColIndex, QVariant& OldValue, int& Cancel) override;
    void BeforeUpdate(int& Cancel) override;
    void OnAddNew() override;
    void KeyDown(int& KeyCode, int Shift) override;
    void KeyPress(int& KeyAscii) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void GestisciInventario();
    void TornaARicerca();
    void ApriRighe(const QString& sql, bool& pbErrore);
    void DecodificaTestata();
    void Ricerca(int tasto);
    // The lookup of one column (DecodHelp without the check of what it
    // wrote); true when the operator picked a code or one was decoded.
    bool RicercaColonna(int piColIndex, int piKeyCode);
    // The cursor on the new-row line's article, ready for a scan.
    void ProntoPerLettura();
    // A quantity typed or read into Giacenza: a number that is not an
    // article's code; otherwise the operator is told and false comes back.
    bool GiacenzaAccettabile(const QString& testo);
    void Decodifica(int colonna, int tasto);
    void DisponiTesta();
    IColonnaGriglia* colonna(const QString& campo) const;
    QString campoDi(int indice) const;
    int decimaliQta() const;
    // True when a load may start; otherwise tells the operator why not.
    bool CaricoPossibile();
    void AvviaProgrammaPrima();
    bool PrendiFileCarico();
    void CaricoInterrotto(const QString& riepilogo);
    bool ControllaArticolo(IColonnaGriglia* col, int piColIndex, bool pbSoloDecod, bool pbAggDati);
    bool ControllaLivello(IColonnaGriglia* col, int n, bool pbSoloDecod);
    bool ArticoloDaBarcode(IColonnaGriglia* col, const QVariant& valore);

    QWidget* m_pictTesta = nullptr;
    QLineEdit* m_txt10 = nullptr;
    QPushButton* m_comHlp10 = nullptr;
    QLabel* m_lab10 = nullptr;
    QLabel* m_lab20 = nullptr;
    QPushButton* m_comGes = nullptr;
    QPushButton* m_comCarica = nullptr;
    QPushButton* m_comTipoRic = nullptr;
    QPushButton* m_comEsci = nullptr;

    bool m_mbModoRicerca = true;
    QString m_msMagPrincipale;
    QString m_msMagCarico;
    QString m_msUltimoInv;
    QString m_msFormatoQta;
    int m_miTastoRic = 113;
    bool m_mbInAggiunta = false;

    bool m_mbLettFileAbil = false;
    QString m_msSetCarico;
    bool m_mbCaricoInCorso = false;
    inventario::SetCarico m_set;
    QPointer<FrmSelIniCarFile> m_selIni;
    // The set that switched loading off while the form was open.
    QString m_setSpento;
    // The file being loaded (its path on this system).
    std::unique_ptr<inventario::FilePreso> m_preso;
    QString m_fileLocale;
    inventario::EsitoCarico m_esito;
    QPointer<FrmCaricaFile> m_progresso;

    // BeforeColUpdate is running (DatiValidi adds the cell rules of this form).
    bool m_inAggColonna = false;
    // The article check is inside the lookup it started.
    bool m_inControlloArticolo = false;
    // A lookup of this form is moving the grid cursor.
    bool m_inDecodLocale = false;

public:
    // For a caller that loads one line: the code resolved as a load
    // resolves it (psArticolo becomes the article found) and its row
    // written in the inventory shown and the warehouse msMagCarico, the
    // quantity replacing the counted one; an unknown code is told as in a
    // load.  True when the row is written.  The amount is not kept.
    bool AggDettArt(QString& psArticolo, double pdQta, qint64 plNumRiga, double pdImp = 0,
                    int piQualeImp = 0);
    // One search of the current set: by barcode, or by article code with
    // the set's additions around it.  True when found; psArticolo becomes
    // the article.
    bool DecArtDaCodBar(QString& psArticolo, bool pbCercaCodBarre);
};

FrmGestInv* CreaFrmGestInv();
// Makes the form known to the form dispatcher as "frmGestInv".
void RegistraFrmGestInv();

} // namespace quarvel
