#pragma once
// A list written to a file: delimited text ("Compatibile Excel" and
// "Testo"), the native workbook (xlsx, written by libxlsxwriter in
// constant-memory mode, so a long list takes no more memory than a short
// one) and fixed-length text.  The list is read in chunks through its
// read-only interface; the first row of a delimited file or workbook holds
// the columns' captions.
//
// Delimited text.  Texts are wrapped in the qualifier with a qualifier inside
// doubled; a number or date is wrapped only when it holds the separator or
// the qualifier; a Null is an empty field.  "Compatibile Excel" writes numbers
// without their display format in the operator's decimal form ("1234,5" in
// Italian), which the spreadsheet of the same settings reads as numbers, and
// begins with a UTF-8 byte-order mark; "Testo" writes numbers as the list
// shows them ("1.234,50"), or without the format when obNumNoForm says so,
// and no mark.  Lines end with CR LF.
//
// Workbook.  Numbers are number cells, with the column's mask as the cell
// format unless obNumNoForm; dates are date cells shown dd/mm/yyyy; texts are
// text cells; a Null leaves the cell empty.  A sheet holds at most 1,048,576
// rows: a longer list is refused before anything is written.
//
// Fixed-length text.  Each column takes its width in characters (its width
// in twips over 120, at least 1) and one blank after it; a line is cut at
// oiFisColonne characters.  A page is oiFisMrAlt blank lines, the captions,
// as many rows as fit in oiFisRighe lines, oiFisMrBas blank lines and a form
// feed (the last page holds the rows left).  With obFisUtilComp the compressed-print sequences
// enclose the whole text: a sequence is written as typed, or, when it is decimal codes separated by
// commas or blanks ("27,15"), as those characters.  Lines end with CR LF.
//
// "Compatibile Excel" is meant for a spreadsheet: a text cell beginning with
// "=", "+", "-" or "@" (after any tabs, returns or blanks) gets an apostrophe
// in front, so the spreadsheet shows it and never runs it as a formula;
// number columns keep their numbers.  Fixed-length text writes the control
// characters of a text as blanks.  A date column whose values come as the
// database's text ("2024-03-05") still gives date cells, in the column's
// date format when it has one.
//
// Every writer writes a file of its own beside the target (FileSicuro.h;
// the workbook's temporary files too), checks every write and the close,
// and replaces the target only then: a failure raises Errore naming the
// file and the cause, and leaves the file of that name as it was.  A device
// or pipe is written directly.  A stop() turning true ends the file between
// chunks (the file then holds what was written).  The result is the number
// of list rows written.

#include "suite/ListaLettura.h"
#include "suite/Stampa.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>

namespace quarvel::stampa {

using Fermata = std::function<bool()>;

// The columns a print takes: every one for "T" (or an empty choice), the
// visible ones for "V".
QVector<int> ColonneScelte(const QVector<ColonnaLettura>& colonne, const QString& scelta);

// A column of numbers (the suite's numeric kinds).
bool ColonnaNumerica(const ColonnaLettura& c);

qint64 ScriviDelimitato(IListaLettura& lista, const QVector<int>& colonne,
                        const IOpzioniStampa& opzioni, const QString& file,
                        const Fermata& stop = {});
qint64 ScriviXlsx(IListaLettura& lista, const QVector<int>& colonne, const IOpzioniStampa& opzioni,
                  const QString& file, const QString& foglio, const Fermata& stop = {});
// The fixed-length text of the list.
qint64 ScriviFissa(IListaLettura& lista, const QVector<int>& colonne, const IOpzioniStampa& opzioni,
                   const QString& file, const Fermata& stop = {});

// A compressed-print sequence as the bytes it stands for.
QByteArray SequenzaControllo(const QString& testo);

} // namespace quarvel::stampa
