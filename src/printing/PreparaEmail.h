#pragma once
// The preparation of the message that mails a printed list: the e-mail
// parameters of the sending configuration in use, the subject and body from
// the texts stored in the suite's common database (table Appoggio, record
// "PdfEmail") with their placeholders replaced, the recipient, all of it
// handed to the print options so that the print component sends the PDF.
//
// Parameters are the menu's named values.  Of the keys of a sending
// configuration ("EmailTipoInvio", "EmailInd", ... "EmailDirStunnel", and
// "EmailLoginSenzaTLS", which the administrator sets in the menu's store to
// let the login go to a server without TLS) the one read is the key with
// the number of the active configuration
// appended ("EmailInd2") when "EmailTipoNum" is 1, 2 or 3, the bare key
// otherwise.  "EmailTo" reads the recipient chosen by "EmailToNum"
// ("EmailTo1" to "EmailTo3"; missing or out of range: 1).
//
// Placeholders are names between two "§" signs ("§Titolo§"), replaced in
// this order: PersOgg, Terminale, Login, Gruppo, DescAzie, CodiceAzie,
// IdAzienda, DescPrg, Titolo, CodSta, Data, DataRov, DataLong, DataAbb, and
// Ora in the subject only, OraRid in the body only.

#include "suite/Stampa.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace quarvel {

class IMenuClient;

// The number and the description of the error raised when the data for
// sending are missing.
inline constexpr int ErrDatiEmailMancanti = -123;

// The keys of one sending configuration, and whether a key is one of them.
const QStringList& ChiaviConfigurazioneEmail();
bool ChiaveDiConfigurazione(const QString& chiave);

// The clock every new preparation starts with (empty: the system's); a
// test sets a fixed day.
void ImpostaOrologioEmail(std::function<QDateTime()> adesso);

class PreparaEmail {
public:
    // The menu and the common database are the session's (the common
    // database opened with ApriDbMenu when it is not open yet).
    PreparaEmail();

    // The clock of "Data", "Ora" and the others (tests set a fixed one).
    void setAdesso(std::function<QDateTime()> adesso) { m_adesso = std::move(adesso); }

    // A parameter.  "EmailOggetto" and "EmailTesto": the subject and the body
    // of the stored text "EmailNumTesto" of "PdfEmail".  "EmailInd" and
    // "EmailReplay" with a display name ("EmailCentro") and a method other
    // than "S" and "E": "\"name\" <address>".
    QString LeggiParEmail(const QString& chiave);

    // Reads the subject and the body number numero (1 to 5; another number
    // does nothing) of the record codice of Appoggio.  A missing record:
    // "Dati non trovati", false.  This program never writes the texts: with
    // scrivi set nothing is stored and the result is false.
    bool LeggiTestoAppoggio(const QString& codice, int numero, QString& corpo, bool scrivi,
                            QString& oggetto);

    // The placeholders of a subject (oggetto true) or of a body replaced.
    QString Sostituisci(const QString& testo, const IOpzioniStampa& opzioni, bool oggetto);

    // Hands the message of the print to its options (nothing when the
    // options' "EmailInvia" is false).  indirizzo: a recipient typed for this
    // message, may be empty.  Raises Errore ErrDatiEmailMancanti when the
    // login, the password, the server or every recipient is missing; the
    // description never holds the password.
    void InviaEmail(IOpzioniStampa& opzioni, const QString& indirizzo);

private:
    QString valore(const QString& nome);
    QString chiaveEffettiva(const QString& chiave);
    void testi(QString& oggetto, QString& corpo);

    IMenuClient* m_menu = nullptr;
    std::function<QDateTime()> m_adesso;
};

// The recipient lookup of the panel's address field (F2 to F5): which of
// the customers' four addresses comes first, as the parameter "EmailPredef"
// of the group "StAltro" says ("Pri", "Amm", "Comm", "Spedizione" or "Sped";
// anything else: the main one), and the column titles ("DescEmailPri",
// "DescEmailAmm", "DescEmailComm", "DescEmailSped" or their defaults).
struct ColonneEmailClienti {
    QString prima;       // "Email", "Email2", "Email3" or "Email4"
    QStringList colonne; // the four, the first one first
    QStringList titoli;  // the titles of the four, in the order of colonne
};
ColonneEmailClienti ColonneEmailCliente(IMenuClient& menu);

} // namespace quarvel
