#pragma once
// The rules of the PDF and e-mail settings of the print mode dialog, apart
// from its widgets: the 22 items of the panel "Parametri per stampe pdf ed
// email", the selection code sent to the menu to save or delete them, the
// checks of the SSL settings, and the PDF printer of an automatic PDF.
//
// The items.  Thirteen exist in each of the three sending configurations
// (6, 19, 17, 11, 10, 14, 15, 8, 12, 9, 18, 20, 21: the keys of
// ChiaviConfigurazioneEmail but "EmailLoginSenzaTLS", which the panel does
// not show), the other nine once:
//    1 "UsaPdfCreator"        8 "EmailInd"           15 "EmailPwd"
//    2 "UsaPdf995"            9 "EmailCentro"        16 "EmailFlagNotifica"
//    3 "PdfNomeFile"         10 "EmailSMTPtipo"      17 "EmailNumTesto"
//    4 "CreatorAutosaveStart" 11 "EmailServerSMTP"   18 "EmailPersOggetto"
//    5 "StampeEmail"         12 "EmailReplay"        19 "EmailNumPorta"
//    6 "EmailTipoInvio"      13 "EmailFileLog"       20 "EmailUsaSSL"
//    7 "EmailTo" (1 to 3)    14 "EmailLogin"         21 "EmailDirStunnel"
//                                                    22 "EmailToTemp"

#include "suite/Stampa.h"

#include <QString>
#include <array>
#include <functional>

namespace quarvel {

class IMenuClient;

inline constexpr int NumVociPdfEmail = 22;

struct VocePdfEmail {
    enum Tipo { Spunta, Testo, Metodo, Password };
    const char* chiave;
    const char* didascalia;
    Tipo tipo;
};
// Item n (1 to 22).
const VocePdfEmail& VocePE(int n);
// Item n exists in every configuration.
bool IndInVet(int n);
// The key of an item in a configuration: the per-configuration keys carry
// the configuration's number when several configurations are in use.
QString ChiaveVocePE(int n, int configurazione, bool multiple);

// The 67 characters: "g" (the parameters common to all terminals) or "p"
// (this terminal), then for configurations 1, 2 and 3 the 22 items in
// order, "S" ticked, "N" not, "X" for the items configurations 2 and 3 do
// not have.
QString CodiceSelezionePE(bool comuni, const std::function<bool(int conf, int voce)>& spuntata);

// What is wrong with the SSL settings of a configuration (its method code,
// "EmailUsaSSL" ticked, the tunnel folder); empty when nothing is.
QString ControlloSsl(const QString& metodo, bool ssl);

// The PDF printer the parameters name: "PDFCreator" when "UsaPdfCreator" is
// "S", else "PDF995" when "UsaPdf995" is "S", else empty.
QString StampantePdf(IMenuClient& menu);

// Makes the named printer the options' printer (restore: when it already is,
// goes back to the printer saved for this print, or the default printer).
// False when the printer is neither installed nor has a port.
bool ImpostaStampantePdf(const QString& nome, IOpzioniStampa& opzioni, bool ripristina);

} // namespace quarvel
