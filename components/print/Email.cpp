#include "Email.h"

#include "suite/Errore.h"

#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>
#include <QUuid>
#include <curl/curl.h>
#include <memory>

namespace quarvel::stampa {

namespace {

const QByteArray Crlf = "\r\n";

[[noreturn]] void Rifiuta(const QString& testo) {
    throw Errore(NumErr::ChiamataNonValida, testo, QStringLiteral("Email"));
}

QString Testo(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

bool Si(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    return Testo(v).trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
}

bool Ascii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 126 || c.unicode() < 32)
            return false;
    return true;
}

// A character that breaks a line or a field, or is no text at all: the C0
// and C1 controls, DEL, the Unicode line and paragraph separators.
bool Controllo(QChar c) {
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

// A text as it can be shown and logged: every control character written
// out ("\r", "\n", "\t", "\u0085"), so nothing in it starts a new line or
// a new field.
QString Visibile(const QString& s) {
    QString r;
    r.reserve(s.size());
    for (QChar c : s) {
        if (!Controllo(c))
            r += c;
        else if (c == QLatin1Char('\r'))
            r += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            r += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            r += QStringLiteral("\\t");
        else
            r += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return r;
}

// An address goes into SMTP commands, headers and command lines: refused
// (chi: whose address it is) when it holds a control character (CR LF would
// start commands or headers of someone else's making), "<" or ">", or
// begins with "-" (an option to a program).  intera: the control
// characters are looked for in the whole entry, display name included;
// otherwise in the bare address only (a display name is encoded).
void ControllaIndirizzo(const QString& voce, const QString& chi, bool intera) {
    const QString nudo = IndirizzoNudo(voce);
    QString causa;
    for (QChar c : intera ? voce : nudo)
        if (Controllo(c)) {
            causa = QStringLiteral("contiene un carattere di controllo (a capo, tabulazione o "
                                   "simili)");
            break;
        }
    if (causa.isEmpty() && (nudo.contains(QLatin1Char('<')) || nudo.contains(QLatin1Char('>'))))
        causa = QStringLiteral("contiene \"<\" o \">\"");
    if (causa.isEmpty() && nudo.startsWith(QLatin1Char('-')))
        causa = QStringLiteral("inizia con \"-\"");
    if (!causa.isEmpty())
        Rifiuta(
            QStringLiteral("%1 \"%2\" non valido: %3").arg(chi, Visibile(voce.trimmed()), causa));
}

// The entries of a list of recipients separated by ";" or ",".
QStringList Voci(const QString& elenco) {
    QStringList r;
    for (const QString& p :
         elenco.split(QRegularExpression(QStringLiteral("[;,]")), Qt::SkipEmptyParts))
        if (!IndirizzoNudo(p).isEmpty())
            r << p;
    return r;
}

// The addresses of a message checked: the recipients whole, the sender and
// the reply-to address by their bare address.
void ControllaIndirizzi(const MessaggioEmail& m) {
    for (const QString& d : m.destinatari)
        ControllaIndirizzo(d, QStringLiteral("Destinatario email"), true);
    if (!m.mittente.trimmed().isEmpty())
        ControllaIndirizzo(m.mittente, QStringLiteral("Indirizzo email di chi invia"), false);
    if (!m.rispondiA.trimmed().isEmpty())
        ControllaIndirizzo(m.rispondiA, QStringLiteral("Indirizzo email di risposta"), false);
}

// A header text: as it is when it is plain ASCII, otherwise as encoded
// words of UTF-8 in base64, each short enough for its own folded line.
QByteArray Intestazione(const QString& s) {
    if (Ascii(s))
        return s.toLatin1();
    QByteArray r;
    QString pezzo;
    const auto chiudi = [&] {
        if (pezzo.isEmpty())
            return;
        if (!r.isEmpty())
            r += Crlf + ' ';
        r += "=?UTF-8?B?" + pezzo.toUtf8().toBase64() + "?=";
        pezzo.clear();
    };
    for (int i = 0; i < s.size(); ++i) {
        pezzo += s.at(i);
        if (s.at(i).isHighSurrogate() && i + 1 < s.size())
            pezzo += s.at(++i);
        if (pezzo.toUtf8().size() >= 39)
            chiudi();
    }
    chiudi();
    return r;
}

// "\"name\" <address>" with the name encoded when it needs it (a line
// break in it too); the address is the bare one, the one checked.
QByteArray Indirizzo(const QString& testo) {
    const QString nudo = IndirizzoNudo(testo);
    const int apre = testo.lastIndexOf(QLatin1Char('<'));
    QString nome = apre > 0 && testo.lastIndexOf(QLatin1Char('>')) > apre
                       ? testo.left(apre).trimmed()
                       : QString();
    if (nome.size() >= 2 && nome.startsWith(QLatin1Char('"')) && nome.endsWith(QLatin1Char('"')))
        nome = nome.mid(1, nome.size() - 2).trimmed();
    if (nome.isEmpty())
        return nudo.toUtf8();
    const QByteArray n = Ascii(nome) && !nome.contains(QLatin1Char('\\'))
                             ? '"' + nome.toLatin1().replace('"', "'") + '"'
                             : Intestazione(nome);
    return n + " <" + nudo.toUtf8() + '>';
}

// Base64 in lines of 76 characters.
QByteArray Base64(const QByteArray& dati) {
    const QByteArray b = dati.toBase64();
    QByteArray r;
    r.reserve(b.size() + b.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b.size(); i += 76)
        r += b.mid(i, 76) + Crlf;
    return r;
}

// Every line ending of a text as CRLF.
QByteArray LineeCrlf(const QString& testo) {
    QString t = testo;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toUtf8();
}

QByteArray DataRfc(const QDateTime& d) {
    // The English names the mail format wants, whatever the locale.
    const QLocale c = QLocale::c();
    const int minuti = d.offsetFromUtc() / 60;
    const QString fuso = QString::asprintf("%c%02d%02d", minuti < 0 ? '-' : '+',
                                           std::abs(minuti) / 60, std::abs(minuti) % 60);
    return (c.toString(d, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")) + fuso).toLatin1();
}

AvvioProgramma& Avvio() {
    static AvvioProgramma a;
    return a;
}

// ---- SMTP through libcurl -------------------------------------------------------

struct Lettura {
    const QByteArray* dati;
    qsizetype pos = 0;
};

size_t Leggi(char* buffer, size_t dim, size_t n, void* utente) {
    auto* l = static_cast<Lettura*>(utente);
    const qsizetype resto = l->dati->size() - l->pos;
    const qsizetype quanti = std::min<qsizetype>(resto, qsizetype(dim * n));
    memcpy(buffer, l->dati->constData() + l->pos, size_t(quanti));
    l->pos += quanti;
    return size_t(quanti);
}

struct Curl {
    CURL* h = curl_easy_init();
    curl_slist* rcpt = nullptr;
    ~Curl() {
        curl_slist_free_all(rcpt);
        if (h)
            curl_easy_cleanup(h);
    }
};

// The server's address from the options: smtps:// with SSL, smtp:// otherwise.
QByteArray IndirizzoSmtp(const IOpzioniStampa& o, bool ssl) {
    QString server = Testo(o.Valore(QStringLiteral("EmailServerSMTP"))).trimmed();
    int porta = Testo(o.Valore(QStringLiteral("EmailNumPorta"))).trimmed().toInt();
    // "host:port" in the server field when no port is given apart
    if (const int due = server.lastIndexOf(QLatin1Char(':'));
        due > 0 && !server.contains(QLatin1Char(']'))) {
        bool ok = false;
        const int p = server.mid(due + 1).toInt(&ok);
        if (ok) {
            if (porta <= 0)
                porta = p;
            server.truncate(due);
        }
    }
    if (server.isEmpty())
        Rifiuta(QStringLiteral("Server SMTP non indicato"));
    if (porta <= 0)
        porta = ssl ? 465 : 25;
    return (ssl ? QByteArray("smtps://") : QByteArray("smtp://")) + QUrl::toAce(server) + ':' +
           QByteArray::number(porta);
}

// Why a message did not go: the server's or the library's words, never the
// password.
QString CausaSmtp(CURLcode r, long risposta, const char* errore, bool ssl, bool conLogin,
                  const QByteArray& pwd) {
    QString causa = QString::fromUtf8(errore).trimmed();
    if (r == CURLE_USE_SSL_FAILED && !ssl && conLogin)
        causa = QStringLiteral(
            "il server non offre STARTTLS e la password non viene inviata senza una "
            "connessione protetta; usare SSL o un server con STARTTLS (l'accesso senza TLS "
            "si consente solo con il parametro EmailLoginSenzaTLS a \"S\")");
    else if (r == CURLE_OK)
        causa =
            QStringLiteral("il server non ha confermato il messaggio (risposta %1)").arg(risposta);
    else if (causa.isEmpty())
        causa = QString::fromUtf8(curl_easy_strerror(r));
    if (!pwd.isEmpty())
        causa.replace(QString::fromUtf8(pwd), QStringLiteral("***"));
    return causa;
}

void InviaSmtp(const IOpzioniStampa& o, const QString& mittente, const QStringList& a,
               const QByteArray& messaggio) {
    static const bool pronto = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!pronto)
        Rifiuta(QStringLiteral("Invio email: libreria di rete non inizializzata"));
    const bool ssl = Si(o.Valore(QStringLiteral("EmailUsaSSL")));
    const QByteArray url = IndirizzoSmtp(o, ssl);
    Curl c;
    if (!c.h)
        Rifiuta(QStringLiteral("Invio email: libreria di rete non disponibile"));
    char errore[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c.h, CURLOPT_ERRORBUFFER, errore);
    curl_easy_setopt(c.h, CURLOPT_URL, url.constData());
    const QByteArray login = Testo(o.Valore(QStringLiteral("EmailLogin"))).toUtf8();
    const QByteArray pwd = Testo(o.Valore(QStringLiteral("EmailPwd"))).toUtf8();
    const bool conLogin = !login.trimmed().isEmpty();
    // A password goes out only through TLS: from the start, or STARTTLS,
    // which is then required (a network attacker can strip the server's
    // offer of it).  Only the administrator's explicit "EmailLoginSenzaTLS"
    // lets a login go in the clear to a server without STARTTLS.
    const bool chiaroConsentito = Si(o.Valore(QStringLiteral("EmailLoginSenzaTLS")));
    const bool tlsObbligatorio = ssl || (conLogin && !chiaroConsentito);
    curl_easy_setopt(c.h, CURLOPT_USE_SSL, long(tlsObbligatorio ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    const QByteArray ca = qgetenv("CURL_CA_BUNDLE");
    if (!ca.isEmpty())
        curl_easy_setopt(c.h, CURLOPT_CAINFO, ca.constData());
    if (conLogin) {
        curl_easy_setopt(c.h, CURLOPT_USERNAME, login.constData());
        curl_easy_setopt(c.h, CURLOPT_PASSWORD, pwd.constData());
    }
    const QByteArray busta = '<' + IndirizzoNudo(mittente).toUtf8() + '>';
    curl_easy_setopt(c.h, CURLOPT_MAIL_FROM, busta.constData());
    QList<QByteArray> destinatari;
    for (const QString& d : a) {
        destinatari << '<' + d.toUtf8() + '>';
        c.rcpt = curl_slist_append(c.rcpt, destinatari.back().constData());
    }
    // Every recipient must be accepted: CURLOPT_MAIL_RCPT_ALLLOWFAILS stays
    // off, so one refused recipient stops the message before its data.
    curl_easy_setopt(c.h, CURLOPT_MAIL_RCPT, c.rcpt);
    Lettura l{&messaggio};
    curl_easy_setopt(c.h, CURLOPT_READFUNCTION, &Leggi);
    curl_easy_setopt(c.h, CURLOPT_READDATA, &l);
    curl_easy_setopt(c.h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.h, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(c.h, CURLOPT_TIMEOUT, 300L);
    curl_easy_setopt(c.h, CURLOPT_NOSIGNAL, 1L);
    const CURLcode r = curl_easy_perform(c.h);
    long risposta = 0;
    curl_easy_getinfo(c.h, CURLINFO_RESPONSE_CODE, &risposta);
    if (r != CURLE_OK || risposta != 250) {
        const QString causa = CausaSmtp(r, risposta, errore, ssl, conLogin, pwd);
        Rifiuta(QStringLiteral("Invio email a %1 tramite %2 non riuscito: %3")
                    .arg(a.join(QStringLiteral(", ")), QString::fromLatin1(url), causa));
    }
}

// ---- sendmail -------------------------------------------------------------------

void InviaSendmail(const QString& mittente, const QStringList& a, const QByteArray& messaggio) {
    QString programma = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (programma.isEmpty())
        programma = QStandardPaths::findExecutable(
            QStringLiteral("sendmail"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/lib")});
    if (programma.isEmpty())
        Rifiuta(QStringLiteral("Tipo invio Sendmail: il programma sendmail non è installato su "
                               "questo computer; installare un server di posta (exim4, postfix) "
                               "o scegliere un altro tipo invio"));
    QProcess p;
    QStringList argomenti{QStringLiteral("-i"), QStringLiteral("-f"), IndirizzoNudo(mittente),
                          QStringLiteral("--")};
    argomenti += a;
    p.start(programma, argomenti);
    if (!p.waitForStarted(30000))
        Rifiuta(QStringLiteral("Tipo invio Sendmail: %1 non si avvia: %2")
                    .arg(programma, p.errorString()));
    p.write(messaggio);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        Rifiuta(QStringLiteral("Tipo invio Sendmail: %1 non ha terminato entro due minuti")
                    .arg(programma));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        Rifiuta(QStringLiteral("Tipo invio Sendmail: %1 ha rifiutato il messaggio (codice %2) %3")
                    .arg(programma)
                    .arg(p.exitCode())
                    .arg(QString::fromLocal8Bit(p.readAllStandardError()).trimmed()));
}

// ---- the desktop's mail client --------------------------------------------------

void InviaClientPosta(const QStringList& a, const QString& oggetto, const QString& testo,
                      const QString& pdf) {
    // Every text after its own option, each recipient after "--to": nothing
    // of the list is read as an option.  An empty subject or body is left
    // out (xdg-email refuses an option without its text).
    QStringList argomenti{QStringLiteral("--utf8")};
    if (!oggetto.isEmpty())
        argomenti << QStringLiteral("--subject") << oggetto;
    if (!testo.isEmpty())
        argomenti << QStringLiteral("--body") << testo;
    if (!pdf.isEmpty())
        argomenti << QStringLiteral("--attach") << pdf;
    for (const QString& d : a)
        argomenti << QStringLiteral("--to") << d;
    if (!AvviaProgramma(QStringLiteral("xdg-email"), argomenti))
        Rifiuta(QStringLiteral("Tipo invio Outlook: il programma di posta del desktop (xdg-email) "
                               "non si avvia; installare xdg-utils e un programma di posta"));
}

void Registra(const QString& file, bool inviata, const QString& metodo, const QStringList& a,
              const QString& oggetto, const QString& pdf, const QString& causa) {
    if (file.trimmed().isEmpty())
        return;
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return; // the log must not turn a message sent into a failure
    // one line of seven fields: no field holds a raw control character
    QTextStream t(&f);
    t << QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) << '\t'
      << (inviata ? "INVIATA" : "RIFIUTATA") << '\t' << Visibile(metodo) << '\t'
      << Visibile(a.join(QStringLiteral(", "))) << '\t' << Visibile(oggetto) << '\t'
      << Visibile(pdf) << '\t' << Visibile(causa) << '\n';
}

} // namespace

QString IndirizzoNudo(const QString& indirizzo) {
    const int apre = indirizzo.lastIndexOf(QLatin1Char('<'));
    const int chiude = indirizzo.lastIndexOf(QLatin1Char('>'));
    if (apre >= 0 && chiude > apre)
        return indirizzo.mid(apre + 1, chiude - apre - 1).trimmed();
    return indirizzo.trimmed();
}

QStringList Destinatari(const QString& elenco) {
    QStringList r;
    for (const QString& p : Voci(elenco))
        r << IndirizzoNudo(p);
    return r;
}

QByteArray ComponiMessaggio(const MessaggioEmail& m) {
    ControllaIndirizzi(m);
    const QDateTime data = m.data.isValid() ? m.data : QDateTime::currentDateTime();
    const QString dominio = [&] {
        const QString a = IndirizzoNudo(m.mittente);
        const int chiocciola = a.lastIndexOf(QLatin1Char('@'));
        return chiocciola >= 0 ? a.mid(chiocciola + 1) : QStringLiteral("localhost");
    }();
    const QString id = !m.idMessaggio.isEmpty()
                           ? m.idMessaggio
                           : QStringLiteral("%1.%2@%3")
                                 .arg(data.toString(QStringLiteral("yyyyMMddhhmmsszzz")),
                                      QUuid::createUuid().toString(QUuid::Id128), dominio);
    const QByteArray confine = "=_quarvel_" + QUuid::createUuid().toString(QUuid::Id128).toLatin1();

    QByteArray r;
    r += "Date: " + DataRfc(data) + Crlf;
    r += "From: " + Indirizzo(m.mittente) + Crlf;
    QByteArrayList a;
    for (const QString& d : m.destinatari)
        a << d.toUtf8();
    r += "To: " + a.join(", ") + Crlf;
    if (!m.rispondiA.trimmed().isEmpty())
        r += "Reply-To: " + Indirizzo(m.rispondiA) + Crlf;
    r += "Subject: " + Intestazione(m.oggetto) + Crlf;
    r += "Message-ID: <" + id.toUtf8() + '>' + Crlf;
    if (m.notifica) {
        const QByteArray chi =
            IndirizzoNudo(m.rispondiA.trimmed().isEmpty() ? m.mittente : m.rispondiA).toUtf8();
        r += "Disposition-Notification-To: <" + chi + '>' + Crlf;
        r += "Return-Receipt-To: <" + chi + '>' + Crlf;
    }
    r += "MIME-Version: 1.0" + Crlf;
    r += "X-Mailer: Quarvel" + Crlf;
    r += "Content-Type: multipart/mixed;" + Crlf + " boundary=\"" + confine + '"' + Crlf;
    r += Crlf;
    r += "This is a multi-part message in MIME format." + Crlf;
    r += "--" + confine + Crlf;
    r += "Content-Type: text/plain; charset=UTF-8" + Crlf;
    r += "Content-Transfer-Encoding: base64" + Crlf + Crlf;
    r += Base64(LineeCrlf(m.testo));
    if (!m.allegato.isEmpty()) {
        QFile f(m.allegato);
        if (!f.open(QIODevice::ReadOnly))
            Rifiuta(QStringLiteral("Impossibile leggere il file da allegare %1: %2")
                        .arg(m.allegato, f.errorString()));
        const QString nome = QFileInfo(m.allegato).fileName();
        const QByteArray n = Ascii(nome) ? '"' + nome.toLatin1().replace('"', "'") + '"'
                                         : '"' + Intestazione(nome) + '"';
        r += "--" + confine + Crlf;
        r += "Content-Type: application/pdf; name=" + n + Crlf;
        r += "Content-Transfer-Encoding: base64" + Crlf;
        r += "Content-Disposition: attachment; filename=" + n + Crlf + Crlf;
        r += Base64(f.readAll());
    }
    r += "--" + confine + "--" + Crlf;
    return r;
}

void SpedisciPdf(const IOpzioniStampa& o, const QString& pdf) {
    const QString metodo = Testo(o.Valore(QStringLiteral("EmailTipoInvio"))).trimmed().toUpper();
    const QString elenco = Testo(o.Valore(QStringLiteral("EmailTo")));
    const QStringList a = Destinatari(elenco);
    const QString oggetto = Testo(o.Valore(QStringLiteral("EmailOggetto")));
    const QString log = Testo(o.Valore(QStringLiteral("EmailFileLog")));
    try {
        if (a.isEmpty())
            Rifiuta(QStringLiteral("Nessun destinatario per l'email"));
        MessaggioEmail m;
        m.mittente = Testo(o.Valore(QStringLiteral("EmailInd")));
        // the entries as given (a display name with them): each is checked
        // whole before anything leaves, whatever the way
        m.destinatari = Voci(elenco);
        m.rispondiA = Testo(o.Valore(QStringLiteral("EmailReplay")));
        m.oggetto = oggetto;
        m.testo = Testo(o.Valore(QStringLiteral("EmailTesto")));
        m.allegato = pdf;
        m.notifica = Si(o.Valore(QStringLiteral("EmailFlagNotifica")));
        ControllaIndirizzi(m);
        m.destinatari = a;
        if (metodo == QLatin1String("O")) {
            InviaClientPosta(a, m.oggetto, m.testo, pdf);
        } else {
            if (IndirizzoNudo(m.mittente).isEmpty())
                Rifiuta(QStringLiteral("Manca l'indirizzo email di chi invia"));
            const QByteArray messaggio = ComponiMessaggio(m);
            if (metodo == QLatin1String("C") || metodo == QLatin1String("E"))
                InviaSmtp(o, m.mittente, a, messaggio);
            else if (metodo == QLatin1String("S"))
                InviaSendmail(m.mittente, a, messaggio);
            else
                Rifiuta(QStringLiteral("Tipo invio email non valido: \"%1\" (ammessi S, C, O, E)")
                            .arg(metodo));
        }
    } catch (const Errore& e) {
        Registra(log, false, metodo, a, oggetto, pdf, e.descrizione());
        throw;
    }
    Registra(log, true, metodo, a, oggetto, pdf, QString());
}

void ImpostaAvvioProgramma(AvvioProgramma avvio) {
    Avvio() = std::move(avvio);
}

bool AvviaProgramma(const QString& programma, const QStringList& argomenti) {
    if (Avvio())
        return Avvio()(programma, argomenti);
    return QProcess::startDetached(programma, argomenti);
}

} // namespace quarvel::stampa
