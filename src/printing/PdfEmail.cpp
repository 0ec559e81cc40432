#include "PdfEmail.h"

#include "SceltaStampante.h"
#include "config/ParametriIni.h"
#include "suite/MenuClient.h"


namespace quarvel {

namespace {

const std::array<VocePdfEmail, NumVociPdfEmail> Voci{{
    {"UsaPdfCreator", "Usa PdfCreator", VocePdfEmail::Spunta},
    {"UsaPdf995", "Usa Pdf995", VocePdfEmail::Spunta},
    {"PdfNomeFile", "Percorso file per pdf", VocePdfEmail::Testo},
    {"CreatorAutosaveStart", "Apertura automatica file pdf dopo la stampa", VocePdfEmail::Spunta},
    {"StampeEmail", "Abilitare opzione richiesta invio email", VocePdfEmail::Spunta},
    {"EmailTipoInvio", "Tipo Invio", VocePdfEmail::Metodo},
    {"EmailTo", "Indir. Email a cui si invia", VocePdfEmail::Testo},
    {"EmailInd", "Indirizzo email di chi invia", VocePdfEmail::Testo},
    {"EmailCentro", "Descriz. email di invio(centro)", VocePdfEmail::Testo},
    {"EmailSMTPtipo", "Tipo server (Solo per CDO)", VocePdfEmail::Testo},
    {"EmailServerSMTP", "Server SMTP", VocePdfEmail::Testo},
    {"EmailReplay", "Indirizzo di replay", VocePdfEmail::Testo},
    {"EmailFileLog", "File di log email", VocePdfEmail::Testo},
    {"EmailLogin", "Login Email", VocePdfEmail::Testo},
    {"EmailPwd", "Pwd Email", VocePdfEmail::Password},
    {"EmailFlagNotifica", "Richiedere notifica email ricevuta ", VocePdfEmail::Spunta},
    {"EmailNumTesto", "Numero testo da usare", VocePdfEmail::Testo},
    {"EmailPersOggetto", "Descriz. per l'oggetto email", VocePdfEmail::Testo},
    {"EmailNumPorta", "Numero porta SMTP", VocePdfEmail::Testo},
    {"EmailUsaSSL", "Usa SSL per l'invio dell'email", VocePdfEmail::Spunta},
    {"EmailDirStunnel", "Directory stunnel", VocePdfEmail::Testo},
    {"EmailToTemp", "Indir. temporaneo", VocePdfEmail::Testo},
}};

const int PerConfigurazione[] = {6, 19, 17, 11, 10, 14, 15, 8, 12, 9, 18, 20, 21};

bool Si(const QString& v) {
    return v.trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
}

} // namespace

const VocePdfEmail& VocePE(int n) {
    return Voci.at(size_t(n - 1));
}

bool IndInVet(int n) {
    for (int v : PerConfigurazione)
        if (v == n)
            return true;
    return false;
}

QString ChiaveVocePE(int n, int configurazione, bool multiple) {
    const QString chiave = QLatin1String(VocePE(n).chiave);
    return (multiple && IndInVet(n)) ? chiave + QString::number(configurazione) : chiave;
}

QString CodiceSelezionePE(bool comuni, const std::function<bool(int conf, int voce)>& spuntata) {
    QString codice = comuni ? QStringLiteral("g") : QStringLiteral("p");
    for (int conf = 1; conf <= 3; ++conf)
        for (int voce = 1; voce <= NumVociPdfEmail; ++voce) {
            if (conf > 1 && (!IndInVet(voce) || voce == NumVociPdfEmail))
                codice += QLatin1Char('X');
            else
                codice += spuntata(conf, voce) ? QLatin1Char('S') : QLatin1Char('N');
        }
    return codice;
}

// SSL is done by the program itself (TLS through libcurl): the folder of the
// tunnel program of the past is no longer asked for, whatever it holds.
QString ControlloSsl(const QString& metodo, bool ssl) {
    if (!ssl)
        return {};
    if (metodo.trimmed().compare(QLatin1String("E"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("L'uso di SSL è possibile solo usando tipo invio 'See'");
    return {};
}

QString StampantePdf(IMenuClient& menu) {
    if (Si(menu.LeggiValore(QStringLiteral("UsaPdfCreator"), QString())))
        return QStringLiteral("PDFCreator");
    if (Si(menu.LeggiValore(QStringLiteral("UsaPdf995"), QString())))
        return QStringLiteral("PDF995");
    return {};
}

bool ImpostaStampantePdf(const QString& nomePdf, IOpzioniStampa& o, bool ripristina) {
    QString nome = nomePdf;
    if (ripristina && o.osNomeStampante.compare(nome, Qt::CaseInsensitive) == 0) {
        QString salvata;
        LeggiIni(o.osSezione(), QStringLiteral("NomeStampante"), QString(), salvata);
        if (salvata.trimmed().isEmpty()) {
            QString predefinita, mancante, porta;
            LeggiStampanteDefault(predefinita, mancante, porta);
            o.osNomeStampante = predefinita.isEmpty() ? mancante : predefinita;
            o.osNomePorta = porta;
            return true;
        }
        nome = salvata.trimmed();
    }
    for (const CodaStampa& c : Stampanti().Code())
        if (c.nome.compare(nome, Qt::CaseInsensitive) == 0) {
            o.osNomeStampante = c.nome;
            o.osNomePorta = c.porta;
            o.setValore(QStringLiteral("NumCassetto"), 0);
            o.setValore(QStringLiteral("NumTipoCarta"), 0);
            return true;
        }
    QString driver;
    const QString porta = LeggiPortaStampante(nome, driver);
    if (porta.isEmpty())
        return false;
    o.osNomeStampante = nome;
    o.osNomePorta = porta;
    return true;
}

} // namespace quarvel
