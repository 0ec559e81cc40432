#pragma once
// The start-up of the program: the entry point Main, the start-up driver
// AvviaProgramma, the session loading and the close request.
//
// What the start-up creates (the menu client, the data-access component) it
// creates through the factories of AmbienteAvvio: the program wires the real
// components in (EseguiQuarvel), tests wire fakes.

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

namespace quarvel {

class IMenuClient;
class IComponenteDati;
class IComponenteAiuto;

struct AmbienteAvvio {
    // Creates the menu client; throws Errore 5 when the menu is not running.
    std::function<std::unique_ptr<IMenuClient>()> creaMenuClient;
    // Creates the data-access component; empty: CreaComponenteDati().
    std::function<std::unique_ptr<IComponenteDati>()> creaComponenteDati;
    // Creates the lookup component (step 12); empty: the program runs
    // without it (tests of the start-up alone).
    std::function<std::unique_ptr<IComponenteAiuto>()> creaComponenteAiuto;
    // The process command line (the arguments joined by blanks).
    QString rigaComando;
    // Ends the process once the program has closed; empty: the application
    // quits after the replies in flight have left.
    std::function<void()> fineProcesso;
};

// Sets the environment of the start-up (before Main).
void ImpostaAmbienteAvvio(AmbienteAvvio ambiente);
const AmbienteAvvio& Ambiente();

// The entry point: AvviaProgramma (36, "").
void Main();

// The start-up driver.  When it returns, the program lives through its
// windows and ends as the hidden main window decides.
void AvviaProgramma(qint32 numeroProgramma, QString& testo);

// Loads the company context and the picture folder and file-load section.
void InizializzaSessione();

// Loads the company values of the session; with a non-zero flag the currency
// decimals are fixed (0 lira, 2 euro) instead of read from Monete.
void LeggiDatiDitta(qint16& soloImpostazioni);

// A personal parameter of the menu (section, key): the reply of the first
// name; when it is missing and both second arguments are given, the reply of
// the second.  The raw reply goes to grezzo when given; a reply still missing
// gives the default when one is given, else the raw reply ("§ç~$!^").
QVariant LeggiParametroPersonale(const QString& sezione, const QString& chiave,
                                 const std::optional<QVariant>& predefinito = std::nullopt,
                                 QVariant* grezzo = nullptr,
                                 const std::optional<QString>& sezione2 = std::nullopt,
                                 const std::optional<QString>& chiave2 = std::nullopt);

// The window state of the data forms: "2" (maximized) when the "Massimizzato"
// list names the program's code or says "Tutti", else empty.
QString CalcolaStatoFinestra(const QString& lista, const QString& codiceProgramma);

// Close the program unconditionally (the start-up failures end here).
bool RichiediChiusura();

// The keys the lookup component hands over for the menu ("keyprgprim",
// "keyprgsec").
QString& ChiaveLancioPrim();
QString& ChiaveLancioSec();

// Destroys the data-access component the start-up created (RilasciaOggetti).
void RilasciaComponenteDati();

// Releases everything the start-up created and empties the session (at the
// end of the process, and between tests).
void TerminaAvvio();

// The texts of the start-up failures.
namespace testi_avvio {
QString MenuNonInEsecuzione();
QString ProblemiCollegamento();
QString MemoriaEsaurita();
QString ErroreGenerico(int numero, const QString& testo);
} // namespace testi_avvio

} // namespace quarvel
