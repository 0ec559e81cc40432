#pragma once
// The data-bound grid of the data forms (dbgRiga) and its data control
// (DatRiga): a grid over an editable, keyed record set of the list's SQL.
// The list-command component builds both; the forms hold them through these
// interfaces and answer the grid's events through EventiGriglia, whose
// handlers carry the names of the bound grid's events and their cancel flags
// by reference (Cancel = -1 refuses, as the forms write it).
//
// Order of the events of one edit, as the bound grid raised them:
//   KeyDown, KeyPress, BeforeColEdit, [OnAddNew on the empty new-row line],
//   Change (each change of the text), KeyUp ...
//   leaving or committing the cell: BeforeColUpdate, AfterColUpdate
//   leaving or committing the row:  BeforeUpdate, the write, AfterUpdate
//                                   (a failed write: Error instead)
//   then RowColChange(LastRow, LastCol) once the cursor has moved.
// A refused cell keeps the cursor and the typed text; a refused row keeps the
// row in editing.  Esc undoes the cell being typed into, a second Esc the
// whole row (a new row disappears).
//
// Key codes are the Windows virtual-key codes (Enter 13, Esc 27, Delete 46,
// F2 113 ...); Shift is 1 Shift, 2 Ctrl, 4 Alt, summed.  KeyDown with KeyCode
// set to 0 swallows the key; KeyPress with KeyAscii 0 drops the character
// and with another code types that one instead.

#include "suite/Errore.h"

#include <QString>
#include <QVariant>

class QWidget;

namespace quarvel {

class EventiGriglia {
public:
    virtual ~EventiGriglia();
    virtual void BeforeColEdit(int ColIndex, int KeyAscii, int& Cancel);
    virtual void Change();
    virtual void BeforeColUpdate(int ColIndex, QVariant& OldValue, int& Cancel);
    virtual void AfterColUpdate(int ColIndex);
    virtual void BeforeUpdate(int& Cancel);
    virtual void AfterUpdate();
    virtual void OnAddNew();
    virtual void BeforeDelete(int& Cancel);
    virtual void AfterDelete();
    virtual void RowColChange(const QVariant& LastRow, int LastCol);
    virtual void HeadClick(int ColIndex);
    virtual void ButtonClick(int ColIndex);
    // A write of the row failed: DataError is the error number (3022 ...);
    // leaving Response at 1 lets the grid show the engine's own message,
    // 0 means the handler has told the operator already.
    virtual void Error(int DataError, int& Response);
    virtual void SplitChange();
    virtual void KeyDown(int& KeyCode, int Shift);
    virtual void KeyPress(int& KeyAscii);
    virtual void KeyUp(int& KeyCode, int Shift);
};

// One column of the grid, bound to one field of the list by DataField.
class IColonnaGriglia {
public:
    virtual ~IColonnaGriglia();
    virtual QString DataField() const = 0;
    virtual int ColIndex() const = 0;
    virtual QString Caption() const = 0;
    virtual void setCaption(const QString& testo) = 0;
    // Width in twips (15 twips a pixel at 96 dpi).
    virtual int Width() const = 0;
    virtual void setWidth(int twips) = 0;
    virtual bool Locked() const = 0;
    virtual void setLocked(bool bloccata) = 0;
    virtual bool Visible() const = 0;
    virtual void setVisible(bool visibile) = 0;
    // The cell button ("...") of the current cell.
    virtual bool Button() const = 0;
    virtual void setButton(bool pulsante) = 0;
    // A number mask ("#,##0.00") shown in the operator's format.
    virtual QString NumberFormat() const = 0;
    virtual void setNumberFormat(const QString& maschera) = 0;
    // The value of the current row: while the cell is being typed into, the
    // typed text.  Setting it from code changes the row being edited (as a
    // lookup or a derived value does) and marks it changed.
    virtual QVariant Value() const = 0;
    virtual void setValue(const QVariant& valore) = 0;
    // The value as shown (typed text while editing).
    virtual QString Text() const = 0;
    virtual void setText(const QString& testo) = 0;
    // True when the value of the current row differs from the one read.
    virtual bool DataChanged() const = 0;
};

// What the data control tells of a field of its record set.
struct InfoCampo {
    bool esiste = false;
    int tipo = 0;            // kind as the suite numbers them (suite/Utilita.h Tipo)
    QString nome;            // the field's name in the list
    QString campoSorgente;   // the column of its table
    QString tabellaSorgente; // its table (empty for a computed field)
    bool aggiornabile = false;
    int dimensione = 0; // defined size (0 when the engine does not tell)
};

// The data control DatRiga: the grid's record source.
class IDatiRiga {
public:
    virtual ~IDatiRiga();
    virtual QString DatabaseName() const = 0;
    virtual void setDatabaseName(const QString& nome) = 0;
    virtual QString RecordSource() const = 0;
    virtual void setRecordSource(const QString& sql) = 0;
    virtual InfoCampo Campo(const QString& nome) const = 0;
    // Rows of the list (read by count, not by reading them all).
    virtual qint64 RecordCount() const = 0;
};

class IGrigliaDati {
public:
    virtual ~IGrigliaDati();

    virtual QWidget* widget() = 0;
    // The form's event handlers (not owned; nullptr: none).
    virtual void ImpostaEventi(EventiGriglia* eventi) = 0;
    // The data control bound to this grid.
    virtual IDatiRiga* Dati() = 0;

    virtual int NumeroColonne() const = 0;            // Columns.Count
    virtual IColonnaGriglia* Colonna(int indice) = 0; // nullptr out of range
    // The column bound to a field, by name without regard to case; nullptr
    // when there is none.
    virtual IColonnaGriglia* Colonna(const QString& campo) = 0;

    // Current column and row (row 0-based in the whole list; the empty
    // new-row line is the row after the last).
    virtual int Col() const = 0;
    virtual void setCol(int colonna) = 0;
    virtual int Row() const = 0;
    virtual void setRow(int riga) = 0;
    virtual int LeftCol() const = 0;
    virtual void setLeftCol(int colonna) = 0;
    virtual int VisibleRows() const = 0;

    // A cell is being typed into.  Setting it true opens the current cell
    // (BeforeColEdit with KeyAscii 0), false commits it.
    virtual bool EditActive() const = 0;
    virtual void setEditActive(bool attiva) = 0;
    // The selection of the cell's text; a cell not being typed into has its
    // whole text selected.
    virtual QString SelText() const = 0;
    virtual void setSelText(const QString& testo) = 0;
    virtual int SelStart() const = 0;
    virtual void setSelStart(int inizio) = 0;
    virtual int SelLength() const = 0;
    virtual void setSelLength(int lunghezza) = 0;

    // A bookmark of the current row, and moving to one.
    virtual QVariant Bookmark() const = 0;
    virtual void setBookmark(const QVariant& segnalibro) = 0;

    virtual bool AllowUpdate() const = 0;
    virtual void setAllowUpdate(bool si) = 0;
    virtual bool AllowAddNew() const = 0;
    virtual void setAllowAddNew(bool si) = 0;
    virtual bool AllowDelete() const = 0;
    virtual void setAllowDelete(bool si) = 0;

    // The current row holds changes not yet written.
    virtual bool DataChanged() const = 0;
    // The current row is the new row being added.
    virtual bool AddNewMode() const = 0;
    // Writes the row being edited (cell first, BeforeUpdate ...); false when
    // refused or failed: the row stays in editing.
    virtual bool Update() = 0;
    // Undoes the changes of the row being edited.
    virtual void CancelUpdate() = 0;
    // Deletes the current row (BeforeDelete, AfterDelete); false when
    // refused or failed.
    virtual bool Delete() = 0;
    // Reads the list again, keeping the position.
    virtual void Refresh() = 0;
    // Number of splits (2 with frozen leading columns, else 1).
    virtual int SplitCount() const = 0;
    // The last error of a row write (number 0: none).
    virtual Errore UltimoErrore() const = 0;
};

// A new grid with its data control (the list-command component registers the
// factory; without it an Errore 91 is raised).
IGrigliaDati* CreaGriglia(QWidget* genitore);
using FabbricaGriglia = IGrigliaDati* (*)(QWidget*);
void RegistraFabbricaGriglia(FabbricaGriglia f);

} // namespace quarvel
