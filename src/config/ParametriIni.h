#pragma once
// The parameter files: the main file (FileIniPrincipale) and the optional
// second file (FileIniParametri) of the session, how they are found and
// chosen at start, and the helpers LeggiIni and ScriviIni that the whole
// program reads and writes them with.

#include <QString>
#include <optional>

namespace quarvel {

// Reads the key from the main file, then from the second file (LeggiIniDoppio
// of the utility object).  Returns the read status as text: "0" when the key is
// in neither file (valore := predefinito), else non-zero.
QString LeggiIni(const QString& sezione, const QString& chiave, const QString& predefinito,
                 QString& valore);

// Writes one key, deletes a key (CancChiave) or a whole section (CancSezione).
// True when the write succeeded.  Failures show the failure text in a plain
// message box when MostraMsg is true.
bool ScriviIni(const QString& Sezione, const QString& Chiave, const QString& Valore,
               std::optional<bool> MostraMsg = std::nullopt,
               std::optional<bool> Crea = std::nullopt, qint16 Livello = 1,
               qint16 CancSezione = 0, qint16 CancChiave = 0,
               std::optional<QString> NomeFile = std::nullopt);

// First half of ScegliIniEConnetti: finds the main file (unless the session
// already has it) and sets Sessione().FileIniPrincipale.  nomeFile is
// "belcor.ini"; cartella1 and cartella2 are folder prefixes (empty at start);
// rigaComando is the command line searched for the /I switch.  0 on success;
// -1 after the message "File ini non trovato" (the session objects released).
int TrovaFileIniPrincipale(const QString& nomeFile, const QString& cartella1,
                           const QString& cartella2, const QString& rigaComando);

// The choice of the second file (repeated when the operator refuses the
// parameters shown before connecting): sets Sessione().FileIniParametri and
// returns in visParam the key "VisParam" of "Parametri Generali".  0 on
// success; -1 after the message "File di inizializzazione non trovato" ...
int ScegliFileIniParametri(QString& visParam);

} // namespace quarvel
