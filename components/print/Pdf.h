#pragma once
// The PDF of a print on the printer target when the options ask for an
// automatic PDF ("PdfAutomAbil"): the pages drawn as for the printer, into a
// PDF file written directly (QPdfWriter) under the name the pattern
// "PdfNomeFile" gives, and opened afterwards with the desktop's viewer when
// "CreatorAutosaveStart" is "S".
//
// The name pattern.  A file name, or a folder (it ends with "/" or is an
// existing folder: the file "<Title>_<DateTime>.pdf" in it); empty: that
// file in the user's documents folder.  The pattern may hold, as the PDF
// printers of old did, "<Title>" (the list's caption, with the characters a
// file name cannot hold turned into "_"), "<Date>" (yyyyMMdd), "<Time>"
// (hhmmss), "<DateTime>" (yyyyMMddhhmmss), "<Username>" and "<Computername>".
// ".pdf" is added when the name has no such ending; a name already taken
// gets " (2)", " (3)" ... before the ending, so no PDF is overwritten.
// Backslashes and drive letters go through the path layer.

#include "suite/ListaLettura.h"
#include "suite/Stampa.h"

#include <QDateTime>
#include <QString>
#include <functional>

namespace quarvel::stampa {

QString NomeFilePdf(const QString& modello, const QString& titolo, const QDateTime& quando);

// Draws the pages da to a of the list into the PDF file (its folder made
// when missing); the pages written.  The PDF is written beside the file
// under a name of its own and takes the file's name only when whole and
// only when nothing has that name by then (else the next free " (n)" name):
// the name it took in *scritto.  Raises Errore when the file cannot be
// written; nothing is then left.
int ScriviPdf(IListaLettura& lista, const QVector<int>& colonne,
              const RichiestaStampaLista& richiesta, const IOpzioniStampa& opzioni,
              const QString& file, int da, int a, const std::function<bool(int)>& perPagina = {},
              QString* scritto = nullptr);

// Opens a file with the desktop's viewer (xdg-open, through AvviaProgramma
// of Email.h, so a test sees it without opening anything).
bool ApriConVisualizzatore(const QString& file);

} // namespace quarvel::stampa
