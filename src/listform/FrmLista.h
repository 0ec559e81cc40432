#pragma once
// The skeleton of the data forms: one database table shown as an editable
// grid, with the toolbar of the list-command object (ogComlin), the row
// counter, the deferred timers, the load, resize and close sequences and the
// grid editing cycle.  A data form derives from it and adds its table and
// SQL, its key count, its column layout, its checks (DatiValidi, DecodHelp,
// VerifUpdate) and its delete rules.
//
// Controls (objectName = the control's name): tolComlin (toolbar), txtRiga
// (row counter), dbgRiga (the grid), DatRiga (its data control, reached
// through the grid), timResize and timVarie (1 ms, single shot, disabled at
// start), ImagePiccole and ImageGrandi (the toolbar's icon sets).

#include "suite/FormDati.h"
#include "suite/GrigliaDati.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <memory>
#include <utility>
#include <vector>

class QLineEdit;
class QTimer;
class QToolBar;

namespace quarvel {

class AnteprimaTasti;
class IListaComandi;

// An image list of the toolbar (small or large icons).
class ListaImmagini final : public QObject {
    Q_OBJECT
public:
    ListaImmagini(const QString& nome, int lato, QObject* genitore);
    int lato() const { return m_lato; }
    QList<QIcon> immagini;

private:
    int m_lato;
};

class FrmLista : public QWidget, public FormDati, public EventiGriglia {
    Q_OBJECT
    Q_PROPERTY(int HelpContextID READ HelpContextID WRITE setHelpContextID)
    Q_PROPERTY(QString osKeySec READ leggiOsKeySec WRITE scriviOsKeySec)
    Q_PROPERTY(QString osRisVidKey MEMBER m_osRisVidKey)
    Q_PROPERTY(double odRisVidVal MEMBER m_odRisVidVal)
    Q_PROPERTY(int oiNoHelp MEMBER m_oiNoHelp)

public:
    // caption: the designed caption ("Date inventario").
    FrmLista(const QString& nome, const QString& caption);
    ~FrmLista() override;

    // ---- Controls -----------------------------------------------------------------
    QToolBar* tolComlin() const { return m_tolComlin; }
    QLineEdit* txtRiga() const { return m_txtRiga; }
    IGrigliaDati* dbgRiga() const { return m_dbgRiga; }
    IDatiRiga* DatRiga() const { return m_dbgRiga ? m_dbgRiga->Dati() : nullptr; }
    QTimer* timResize() const { return m_timResize; }
    QTimer* timVarie() const { return m_timVarie; }
    ListaImmagini* ImagePiccole() const { return m_imagePiccole; }
    ListaImmagini* ImageGrandi() const { return m_imageGrandi; }

    // ---- Public variables (besides those of FormDati) -----------------------------
    QString osChiaveDec;   // not used by these forms
    qint16 oiColFisse = 0; // fixed grid columns; 0 none
    QString osCaption;     // appended to the caption at load (headers form)

    // ---- Public members, in the order of the form's interface -------------------
    qint16 oiLoadOk() const override { return m_oiLoadOk; }
    qint16 oiNumKey() const { return m_oiNumKey; }
    void setOiNumKey(qint16 n) { m_oiNumKey = n; }
    // Field metadata of a grid column by property name (any letter case):
    // "type", "name", "sourcefield", "sourcetable", "dataupdatable", "size",
    // "fieldsize"; anything else gives an empty value.
    QVariant ovField(int piColIndex, const QString& psProprieta);
    // The form's column layout through the list-command object.
    virtual void PersColonne();
    // The field the grid column is bound to.
    QVariant ColToSourceField(int piColIndex);
    // Runs the toolbar command of a button key; a cell being typed into is
    // committed first and a refused cell stops the command.
    void ButtonComando(const QString& psKey);
    QString ovfrmBookmark() const { return m_bookmark; }
    void setOvfrmBookmark(const QString& psBookmark);
    void DatRefresh();
    void ChiudiFrm();
    void MenuFrm();
    // The program-wide print-running flag.
    qint16 oiStaAtt() const;
    void setOiStaAtt(qint16 piStaAtt);
    QString osSql() const { return m_osSql; }
    void setOsSql(const QString& psSql) { m_osSql = psSql; }
    void TabellaStd(QString& psNomeLin, QString& psTabella) override;
    void TabellaStd(QString& psNomeLin, QString& psTabella, qint16 piNumKey, bool pbAbilita,
                    bool pbSql);
    void PassaA() override;
    qint16 oiAbilRW() const override { return FormDati::oiAbilRW(); }
    void setOiAbilRW(qint16 piAbilRW) override;
    // Created on first use.
    IListaComandi* ogComlin() override;
    // Per-column check: true when the column's value is acceptable.
    virtual bool DatiValidi(int& piColIndex, bool pbSoloDecod, bool pbAggDati);
    // Per-column lookup (113 F2 or the cell button, 114 F3).
    virtual void DecodHelp(int piColIndex, int piKeyCode);
    // Whole-row check: true when the row may be written.
    virtual bool VerifUpdate();

    // ---- FormDati ---------------------------------------------------------------------
    QWidget* Finestra() override { return this; }
    // Loads (once) and shows the form.
    void Avvia() override;

    // ---- Private state, readable by tests and by the forms built on this -----------
    qint16 mbAggOk() const { return m_mbAggOk; }
    qint16 mbInDecod() const { return m_mbInDecod; }
    const QString& msComando() const { return m_msComando; }
    qint16 miDifferita() const { return m_miDifferita; }
    const QString& msCaptionBase() const { return m_msCaptionBase; }

    int HelpContextID() const { return m_helpContextID; }
    void setHelpContextID(int id) { m_helpContextID = id; }

    // The load sequence (Form_Load).
    void Form_Load();

protected:
    // ---- What each form adds ---------------------------------------------------------
    // The form's fixed list SQL and key count (TabellaStd).
    virtual QString SqlStandard() const { return {}; }
    virtual qint16 ChiaviStandard() const { return 0; }
    // The value handed to the list-command object with a toolbar command.
    virtual QVariant ValoreComando(const QString& psKey);
    // The form's help topic (0: none) and whether osCaption joins the caption.
    virtual int TopicAiuto() const { return 0; }
    virtual bool ConOsCaption() const { return false; }
    // Between the counter and the column layout of the load.
    virtual void DopoApertura() {}
    // The form's own delete rules, before the common part (Cancel -1 refuses).
    virtual void RegoleCancellazione(int& Cancel);
    // A delete that passed the form's rules has ended: written or not.
    virtual void FineCancellazione(bool riuscita);
    // The row check of the headers and counts forms: each mandatory field
    // with its message, then DatiValidi on every unlocked column.
    bool VerificaRiga(const std::vector<std::pair<QString, QString>>& obbligatori);

    // ---- Grid events ---------------------------------------------------------------
    void BeforeColEdit(int ColIndex, int KeyAscii, int& Cancel) override;
    void Change() override;
    void BeforeColUpdate(int ColIndex, QVariant& OldValue, int& Cancel) override;
    void AfterColUpdate(int ColIndex) override;
    void BeforeUpdate(int& Cancel) override;
    void AfterUpdate() override;
    void BeforeDelete(int& Cancel) override;
    void AfterDelete() override;
    void RowColChange(const QVariant& LastRow, int LastCol) override;
    void HeadClick(int ColIndex) override;
    void ButtonClick(int ColIndex) override;
    void Error(int DataError, int& Response) override;
    void SplitChange() override;
    void KeyDown(int& KeyCode, int Shift) override;

    // ---- Form events ---------------------------------------------------------------
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void timResize_Timer();
    void timVarie_Timer();
    // Form_KeyDown after TastiForm: Alt+key runs an enabled, visible button.
    bool Form_KeyDown(int& KeyCode, int Shift);

private:
    void Decodifica(int colonna, int tasto);
    void PosizionaBarra();
    void AllargaAlleColonne();
    void StringiColonne();
    bool m_inApertura = false; // the window is settling on the screen
    QString leggiOsKeySec() const { return osKeySec; }
    void scriviOsKeySec(const QString& v) { osKeySec = v; }

    QToolBar* m_tolComlin = nullptr;
    QLineEdit* m_txtRiga = nullptr;
    IGrigliaDati* m_dbgRiga = nullptr;
    QTimer* m_timResize = nullptr;
    QString m_formaBarra; // the toolbar's visible buttons and their texts, at the last fitting
    QTimer* m_timVarie = nullptr;
    ListaImmagini* m_imagePiccole = nullptr;
    ListaImmagini* m_imageGrandi = nullptr;
    AnteprimaTasti* m_anteprima = nullptr;
    std::unique_ptr<IListaComandi> m_ogComlin;
    bool m_comlinRilasciato = false;

    QString m_captionDisegno;
    qint16 m_oiLoadOk = 0;
    qint16 m_oiNumKey = 0;
    QString m_bookmark;
    QString m_osSql;

    QString m_msCaptionBase;
    qint16 m_miFlagRigaCol = 0;
    qint16 m_mbAggOk = -1;
    QString m_msComando;
    qint16 m_mbInDecod = 0;
    qint16 m_miDifferita = 0;
    bool m_cancellazioneInCorso = false;

    int m_helpContextID = 0;
    QString m_osRisVidKey;
    double m_odRisVidVal = 0;
    int m_oiNoHelp = 0;
};

} // namespace quarvel
