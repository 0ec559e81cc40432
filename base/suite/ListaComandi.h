#pragma once
// The list-command object of a data form (ogComlin): fills the grid from SQL,
// makes and runs the toolbar buttons, runs the row commands, sorts, lays out
// the columns and keeps the row counter.  The form forwards its grid events
// to it (PrimaEditColonna, PrimaAggColonna, ...).
//
// Set-up at form load, in this order: setOgForm, setOgToolbar, setOgContatore,
// setOgGriglia, setOgDati, setOgDatabase, setOsFormatoData, setOiOpzione,
// Immagini, setOgCondiviso, setOiAbilRW, ApriSql(sql, true, false),
// ColonnaChiave(i) for each key column, ColonneFisse(n) when n >= 1,
// Contatore.  Reopening a list repeats it from setOgCondiviso on.
//
// The toolbar buttons are QActions of the form's toolbar; each one's
// objectName and data() are its key ("Nuovo", "Salva", "Annulla", "Cancella",
// "Aggiorna", "Cerca", "Primo", "Ultimo", "VaiA", "Stampa").  The form runs a
// clicked button through its ButtonComando (QToolBar::actionTriggered).
//
// Operations that fail raise quarvel::Errore.

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QtGlobal>

class QAction;
class QFont;
class QLineEdit;
class QObject;
class QToolBar;
class QWidget;

namespace quarvel {

class IDatiRiga;
class IGrigliaDati;
class IListaLettura;
class IStampa;

class IListaComandi {
public:
    virtual ~IListaComandi();

    // ---- Set-up ---------------------------------------------------------------
    virtual void setOgForm(QWidget* form) = 0;
    virtual void setOgToolbar(QToolBar* toolbar) = 0;
    virtual void setOgContatore(QLineEdit* contatore) = 0;
    virtual void setOgGriglia(IGrigliaDati* griglia) = 0;
    virtual void setOgDati(IDatiRiga* dati) = 0;
    virtual void setOgDatabase(const QSqlDatabase& db) = 0;
    virtual void setOsFormatoData(const QString& formato) = 0;
    virtual void setOiOpzione(qint16 opzione) = 0;
    // Icon size: "p" small, "g" large.
    virtual void Immagini(const QString& dimensione) = 0;
    virtual void setOgCondiviso(QObject* condiviso) = 0;
    // 1 = the list may be changed, 0 = read only (no edit, no new row, no
    // delete; the buttons that change disabled).
    virtual void setOiAbilRW(qint16 abilita) = 0;
    virtual qint16 oiAbilRW() const = 0;
    // Opens the list on an SQL text of the Access dialect.
    virtual void ApriSql(const QString& sql, bool p2 = true, bool p3 = false) = 0;
    // Grid column i is a key column of the list.
    virtual void ColonnaChiave(int colonna) = 0;
    // The first n columns stay in view while the grid scrolls sideways.
    virtual void ColonneFisse(int numero) = 0;
    // primo := the row count, secondo := the current position (1-based; 0
    // for an empty list).  The form shows secondo " / " primo.
    virtual void Contatore(QString& primo, QString& secondo) = 0;
    // After a cursor move: primo := position, secondo := count; the flag is
    // the form's miFlagRigaCol.
    virtual void CambioRigaCol(const QVariant& LastRow, int LastCol, qint16& flag, QString& primo,
                               QString& secondo) = 0;

    // ---- Commands -------------------------------------------------------------
    // Runs the command of a button key.  daGriglia true: a delete the grid has
    // started asks here for confirmation only; -1 answers that it is refused.
    virtual int EseguiPulsante(const QString& chiave, const QVariant& valore = {},
                               bool daGriglia = false) = 0;
    // The key of the button bound to Alt+keyCode, or the empty text.
    virtual QString TastoAlt(int keyCode) const = 0;
    // The toolbar button of a key (nullptr when there is none).
    virtual QAction* Pulsante(const QString& chiave) const = 0;
    // The form's remembered position: not empty enables "VaiA".
    virtual void setSegnalibro(const QString& segnalibro) = 0;

    // ---- Grid events forwarded by the form -----------------------------------
    virtual void PrimaEditColonna(int ColIndex, int KeyAscii, int& Cancel) = 0;
    virtual void PrimaAggColonna(int ColIndex, const QVariant& OldValue, int& Cancel) = 0;
    virtual void DopoAggColonna(int ColIndex) = 0;
    virtual void Modificata() = 0;
    virtual bool PrimaAggRiga(bool p1 = true) = 0;
    virtual void DopoCancella() = 0;
    // Shows a failed row write in words the operator understands; Response
    // := 0 (the grid shows nothing more).
    virtual void ErroreGriglia(int DataError, int& Response) = 0;
    // Sorts by the column (ascending, then descending on the next call) by
    // changing the ORDER BY of sql; 1 when the column cannot be sorted.
    virtual int Ordina(int ColIndex, QString& sql) = 0;
    virtual int NumSplit() const = 0;
    virtual void RifaiSplit() = 0;
    // The grid fills the form below topTwips.
    virtual void Ridimensiona(bool p1, int p2, int topTwips) = 0;
    // Reads the list again keeping the position.
    virtual void AggiornaLista(bool p1 = true, const QString& modo = QStringLiteral("M"),
                               int p3 = 0, const QString& formatoData = {}) = 0;
    // False when the operator keeps a pending row (or its write failed).
    virtual bool PuoChiudere() = 0;

    // ---- Column layout --------------------------------------------------------
    virtual void TitoloColonna(const QString& campo, const QString& titolo) = 0;
    virtual void LarghezzaColonna(const QString& campo, int twips) = 0;
    virtual void BloccaColonna(const QString& campo, bool bloccata = true) = 0;
    virtual void NascondiColonna(const QString& campo) = 0;
    virtual void FormatoColonna(const QString& campo, const QString& formato) = 0;

    // "RisVid" (a screen factor: scales the grid's fonts and widths),
    // "RisVidFatta" (true: the scaling is complete).
    virtual void setOvLeggiPar(const QString& chiave, const QVariant& valore) = 0;
    virtual QVariant ovLeggiPar(const QString& chiave) const = 0;

    // The list of the grid, read only (suite/ListaLettura.h); nullptr before
    // a grid is set.  It stays the grid's through every list opened in it.
    virtual IListaLettura* Lista() = 0;

    // Printing: the list print dialog and the printing-in-progress form.
    virtual void setOfrmComlinSTampa(QWidget* form) = 0;
    virtual void setOfrmStampaInCorso(QWidget* form) = 0;
    // The print object that prints this list (suite/Stampa.h), made on first
    // use; nullptr without the print component.
    virtual IStampa* ogSta() = 0;
    // Prints the list: columns "V" visible or "T" all, orientation 1
    // portrait or 2 landscape (-1 none chosen), the font of the print (the
    // object may give another back).  A failed print is told to the operator.
    virtual void AvviaStampa(const QString& colonne, qint16 orientamento, QFont& font) = 0;
};

// A new list-command object (registered by the list-command component; an
// Errore 91 without it).
IListaComandi* CreaListaComandi();
using FabbricaListaComandi = IListaComandi* (*)();
void RegistraFabbricaListaComandi(FabbricaListaComandi f);

} // namespace quarvel
