#pragma once
// The print options saved in and deleted from the parameter files: the 25
// options of the save panel of the print mode dialog, their keys, the text
// each is written as and the text shown as its current value.
//
// Where: the file of this terminal (FileIniPrincipale) or the one common to
// all terminals (FileIniParametri); the section of the defaults of every
// print ("Opzioni Stampa") or that of this print (osSezione).  Keys are
// written in the order of the rows, with "TipoCarta" before "PdfNomeAutom"
// and "InviaEmail".  A text option that is empty, and a bin or paper code of
// 0, removes its key instead of writing it.  Deleting with every row ticked
// in this terminal's file removes the whole section; in the common file the
// keys are removed one by one and the section keeps whatever else it holds.

#include "suite/Stampa.h"

#include <QString>
#include <array>

namespace quarvel {

inline constexpr int NumOpzioniSalvate = 25;

struct OpzioneSalvata {
    const char* didascalia; // caption of the row in the panel
    const char* chiave;     // key in the parameter file
};
extern const std::array<OpzioneSalvata, NumOpzioniSalvate> OpzioniSalvate;
// The rows in the order their keys are written.
extern const std::array<int, NumOpzioniSalvate> OrdineScrittura;

// The text written for row i; fattoreStaVid is the preview scaling factor.
QString ValoreDaSalvare(const IOpzioniStampa& o, int i, double fattoreStaVid);
// The text shown as the current value of row i; cartellaDialogo is the
// folder of the file dialog's current name (shown for an empty default path).
QString ValoreMostrato(const IOpzioniStampa& o, int i, double fattoreStaVid,
                       const QString& cartellaDialogo = QString());

struct SceltaSalvataggio {
    bool fileTerminale = true;  // "Parametri di questo terminale"
    bool sezioneDefault = true; // "Nei valori di default"
    bool cancella = false;      // the panel deletes instead of saving
    std::array<bool, NumOpzioniSalvate> spuntate{};
};

// Saves or deletes the ticked options in the session's parameter files
// (through ScriviIni: a failed write is told and the next key goes on).
void SalvaOpzioniStampa(const IOpzioniStampa& o, const SceltaSalvataggio& scelta);

} // namespace quarvel
