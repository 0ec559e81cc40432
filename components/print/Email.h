#pragma once
// Mailing the PDF of a print.  The message is a MIME message with CRLF line
// endings: a text part (the body) and the PDF attached in base64, with the
// Date and Message-ID headers, the reply-to address and, when asked, the
// request of a notification of receipt (Disposition-Notification-To and
// Return-Receipt-To).  How it leaves ("EmailTipoInvio"):
//   "C", "E"  SMTP through libcurl to "EmailServerSMTP" on "EmailNumPorta"
//             (default 25, or 465 with SSL): with "EmailUsaSSL" "S" TLS from
//             the start (smtps), otherwise STARTTLS when the server offers
//             it; the login and the password when a login is set, and then
//             STARTTLS is required: a password goes in the clear only when
//             "EmailLoginSenzaTLS" is "S".  The certificate is checked
//             against the system's authorities, or against the file named
//             by CURL_CA_BUNDLE.  The folder of the tunnel program of old
//             ("EmailDirStunnel") is not needed.  The message is sent only
//             when the server accepts every recipient and the data.
//   "S"       the local sendmail program (PATH, /usr/sbin, /usr/lib).
//   "O"       the desktop's mail client (xdg-email) with the PDF attached,
//             each recipient after its own "--to": the operator sends it
//             from there.
// A recipient, sender or reply-to address with a control character, "<" or
// ">" (in the bare address), or a leading "-" is refused before anything
// leaves; display names and the subject travel as encoded words.
// The values come from the print options (Valore), as the e-mail
// preparation leaves them there.  The log file "EmailFileLog", when set,
// gets one line per message: date and time, "INVIATA" or "RIFIUTATA", the
// method, the recipients, the subject, the PDF and the reason of a refusal,
// tab-separated, control characters written out ("\r", "\n", "\t").  The
// password is never written anywhere.

#include "suite/Stampa.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace quarvel::stampa {

struct MessaggioEmail {
    QString mittente;        // "address" or "\"name\" <address>"
    QStringList destinatari; // addresses
    QString rispondiA;       // reply-to, may be empty
    QString oggetto;
    QString testo;
    QString allegato; // the PDF's path; empty: no attachment
    bool notifica = false;
    QDateTime data;      // invalid: now
    QString idMessaggio; // empty: one made up
};

// The bare address of "\"name\" <address>" (or of an address alone).
QString IndirizzoNudo(const QString& indirizzo);
// The recipients of a list separated by ";" or ",".
QStringList Destinatari(const QString& elenco);

// The message as sent (raises Errore when an address is refused or the
// attachment cannot be read).
QByteArray ComponiMessaggio(const MessaggioEmail& m);

// Sends the PDF by the method of the options; raises Errore (its
// description in Italian, without the password) when it was not sent.
void SpedisciPdf(const IOpzioniStampa& opzioni, const QString& pdf);

// The desktop programs the component starts and does not wait for
// (xdg-email, xdg-open): a test replaces the launcher to see what would be
// started.  The launcher returns false when the program could not start.
using AvvioProgramma = std::function<bool(const QString& programma, const QStringList& argomenti)>;
void ImpostaAvvioProgramma(AvvioProgramma avvio); // empty: QProcess::startDetached
bool AvviaProgramma(const QString& programma, const QStringList& argomenti);

} // namespace quarvel::stampa
