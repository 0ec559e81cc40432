#pragma once
// Which printer a print goes to: the program's current printer, the user's
// default printer (the CUPS default destination, lpoptions), the list of the
// printers with their ports (device URIs), and the warnings when a printer
// cannot be reached.  The print component prints on the current printer;
// it starts as the default one.
//
// The printer-switched flag is 1 once a printer other than the default has
// been made current; it lives for the whole run and is never reset, so the
// default printer comes back only through RipristinaStampanteDefault.

#include "suite/Stampa.h"

#include <QString>
#include <QStringList>

namespace quarvel {

qint16 StampanteCambiata();
void ImpostaStampanteCambiata(qint16 valore); // the start of a run (and the tests)

// The current printer's name (empty: there is no printer at all).
QString StampanteCorrente();
void ImpostaStampanteCorrente(const QString& nome);

// The default printer: true and its name and port when it is installed;
// false, an empty name and the name in mancante when the default named by
// the user is not among the printers.
bool LeggiStampanteDefault(QString& nome, QString& mancante, QString& porta);
// When the printer-switched flag is 1, makes the default printer current
// again; the outputs as LeggiStampanteDefault in any case.
void RipristinaStampanteDefault(QString& nome, QString& mancante, QString& porta);
// Every printer and its port, in the system's order.
void ElencoPorteStampanti(QStringList& nomi, QStringList& porte);
// The printer's port (empty for none); driver := the printer's name, the
// one thing CUPS keeps where the profile kept a driver.
QString LeggiPortaStampante(const QString& nome, QString& driver);
// "primo,secondo,..." into its first two parts (both empty without a comma).
void DividiDriverPorta(const QString& testo, QString& primo, QString& secondo);
// Makes the printer the user's default; false when it has no port.
bool ImpostaStampanteDefault(const QString& nome);
// Before a print on the printer target: makes the options' printer current.
bool ImpostaStampanteOpz(IOpzioniStampa& opzioni, bool avvisa);
// The printer choice of the print mode dialog: true when the printer is
// available (the current printer is not changed here).
bool ImpostaStampanteNome(const QString& nome, bool avvisa, const QString& nomeInOpzioni);
// The default printer is not among the printers: the warning, and the key
// written empty in that section of the main parameter file.
void AvvisoStampanteDefNonDisp(const QString& chiave, const QString& nome, const QString& sezione);

} // namespace quarvel
