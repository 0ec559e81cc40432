#include "PreparaEmail.h"

#include "database/Connessione.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QLocale>

namespace quarvel {

namespace {

const QString Segno = QStringLiteral("§");

bool Si(const QString& v) {
    return v.trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
}

QString Testo(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

} // namespace

const QStringList& ChiaviConfigurazioneEmail() {
    static const QStringList chiavi{
        QStringLiteral("EmailTipoInvio"),  QStringLiteral("EmailInd"),
        QStringLiteral("EmailCentro"),     QStringLiteral("EmailSMTPtipo"),
        QStringLiteral("EmailServerSMTP"), QStringLiteral("EmailReplay"),
        QStringLiteral("EmailLogin"),      QStringLiteral("EmailPwd"),
        QStringLiteral("EmailNumTesto"),   QStringLiteral("EmailPersOggetto"),
        QStringLiteral("EmailNumPorta"),   QStringLiteral("EmailUsaSSL"),
        QStringLiteral("EmailDirStunnel"), QStringLiteral("EmailLoginSenzaTLS")};
    return chiavi;
}

bool ChiaveDiConfigurazione(const QString& chiave) {
    return ChiaviConfigurazioneEmail().contains(chiave, Qt::CaseInsensitive);
}

namespace {
std::function<QDateTime()>& Orologio() {
    static std::function<QDateTime()> o;
    return o;
}
} // namespace

void ImpostaOrologioEmail(std::function<QDateTime()> adesso) {
    Orologio() = std::move(adesso);
}

PreparaEmail::PreparaEmail() : m_menu(Sessione().MenuClient) {
    m_adesso = Orologio() ? Orologio() : [] { return QDateTime::currentDateTime(); };
}

QString PreparaEmail::valore(const QString& nome) {
    if (!m_menu)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Menu non collegato"),
                     QStringLiteral("PreparaEmail"));
    return m_menu->LeggiValore(nome, QString());
}

QString PreparaEmail::chiaveEffettiva(const QString& chiave) {
    if (chiave.compare(QLatin1String("EmailTo"), Qt::CaseInsensitive) == 0) {
        const int n = valore(QStringLiteral("EmailToNum")).trimmed().toInt();
        return QStringLiteral("EmailTo") + QString::number(n >= 1 && n <= 3 ? n : 1);
    }
    if (ChiaveDiConfigurazione(chiave)) {
        const int n = valore(QStringLiteral("EmailTipoNum")).trimmed().toInt();
        if (n >= 1 && n <= 3)
            return chiave + QString::number(n);
    }
    return chiave;
}

void PreparaEmail::testi(QString& oggetto, QString& corpo) {
    if (DbComune().RisultatoConnessioneMenu.isEmpty() && ApriDbMenu() != 0)
        return;
    const int numero = LeggiParEmail(QStringLiteral("EmailNumTesto")).trimmed().toInt();
    LeggiTestoAppoggio(QStringLiteral("PdfEmail"), numero, corpo, false, oggetto);
}

QString PreparaEmail::LeggiParEmail(const QString& chiave) {
    const bool oggetto = chiave.compare(QLatin1String("EmailOggetto"), Qt::CaseInsensitive) == 0;
    if (oggetto || chiave.compare(QLatin1String("EmailTesto"), Qt::CaseInsensitive) == 0) {
        QString soggetto, corpo;
        testi(soggetto, corpo);
        return oggetto ? soggetto : corpo;
    }
    QString v = valore(chiaveEffettiva(chiave));
    if (!v.isEmpty() && (chiave.compare(QLatin1String("EmailInd"), Qt::CaseInsensitive) == 0 ||
                         chiave.compare(QLatin1String("EmailReplay"), Qt::CaseInsensitive) == 0)) {
        const QString metodo = LeggiParEmail(QStringLiteral("EmailTipoInvio")).trimmed();
        const QString centro = LeggiParEmail(QStringLiteral("EmailCentro"));
        if (metodo.compare(QLatin1String("S"), Qt::CaseInsensitive) != 0 &&
            metodo.compare(QLatin1String("E"), Qt::CaseInsensitive) != 0 &&
            !centro.trimmed().isEmpty())
            v = QLatin1Char('"') + centro + QStringLiteral("\" <") + v + QLatin1Char('>');
    }
    return v;
}

bool PreparaEmail::LeggiTestoAppoggio(const QString& codice, int numero, QString& corpo,
                                      bool scrivi, QString& oggetto) {
    if (numero < 1 || numero > 5 || scrivi)
        return false;
    IComponenteDati* dati = Sessione().ComponenteDati;
    if (!dati)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di accesso ai dati non disponibile"),
                     QStringLiteral("LeggiTestoAppoggio"));
    auto rs = dati->ApriRecordset(QStringLiteral("Select * from Appoggio Where Codice = ") +
                                      Utilita().ValoreSql(codice, Tipo::Testo),
                                  DbComune().RisultatoConnessioneMenu);
    if (!rs || rs->Eof()) {
        msgCom(QStringLiteral("Dati non trovati"), QStringLiteral("&Ok"));
        return false;
    }
    const QString n = QString::number(numero);
    corpo = Testo(rs->Campo(QStringLiteral("Memo") + n));
    oggetto = Testo(rs->Campo(QStringLiteral("Descr") + n));
    rs->Close();
    return true;
}

QString PreparaEmail::Sostituisci(const QString& testo, const IOpzioniStampa& o, bool oggetto) {
    const QDateTime ora = m_adesso();
    const QDate oggi = ora.date();
    const QLocale locale;
    const std::pair<const char*, QString> valori[] = {
        {"PersOgg", LeggiParEmail(QStringLiteral("EmailPersOggetto"))},
        {"Terminale", m_menu ? m_menu->CodiceProgramma() : QString()},
        {"Login", valore(QStringLiteral("Login"))},
        {"Gruppo", valore(QStringLiteral("Gruppo"))},
        {"DescAzie", valore(QStringLiteral("descazie"))},
        {"CodiceAzie", valore(QStringLiteral("codiceazie"))},
        {"IdAzienda", valore(QStringLiteral("idazienda"))},
        {"DescPrg", Testo(o.Valore(QStringLiteral("StampaDescPrg")))},
        {"Titolo", Testo(o.Valore(QStringLiteral("StampaCaption")))},
        {"CodSta", o.osSezione()},
        {"Data", oggi.toString(QStringLiteral("dd/MM/yyyy"))},
        {"DataRov", oggi.toString(QStringLiteral("yyyyMMdd"))},
        {"DataLong", locale.toString(oggi, QStringLiteral("dd/MMMM/yyyy"))},
        {"DataAbb", locale.toString(oggi, QStringLiteral("dd/MMM/yyyy"))},
    };
    const IUtilita& u = Utilita();
    QString t = testo;
    for (const auto& [nome, v] : valori)
        t = u.SostituisciTesto(t, Segno + QLatin1String(nome) + Segno, v);
    if (oggetto)
        t = u.SostituisciTesto(t, Segno + QStringLiteral("Ora") + Segno,
                               ora.time().toString(QStringLiteral("hh:mm")));
    else
        t = u.SostituisciTesto(t, Segno + QStringLiteral("OraRid") + Segno,
                               ora.time().toString(QStringLiteral("hhmm")));
    return t;
}

void PreparaEmail::InviaEmail(IOpzioniStampa& o, const QString& indirizzo) {
    if (!o.Valore(QStringLiteral("EmailInvia")).toBool())
        return;
    const QString login = LeggiParEmail(QStringLiteral("EmailLogin"));
    const QString pwd = LeggiParEmail(QStringLiteral("EmailPwd"));
    const QString server = LeggiParEmail(QStringLiteral("EmailServerSMTP"));
    const QString a = LeggiParEmail(QStringLiteral("EmailTo"));
    const QString temp = Testo(o.Valore(QStringLiteral("EmailToTemp")));
    const auto vuoto = [](const QString& s) { return s.trimmed().isEmpty(); };
    if (vuoto(login) || vuoto(pwd) || vuoto(server) ||
        (vuoto(a) && vuoto(temp) && vuoto(indirizzo)))
        throw Errore(ErrDatiEmailMancanti,
                     QStringLiteral("Mancano dati necessari per l'invio dell'email\r\n - Login: ") +
                         login + QStringLiteral(" - pwd compilata: ") +
                         (vuoto(pwd) ? QStringLiteral("No") : QStringLiteral("Sì")) +
                         QStringLiteral(" - SMTP: ") + server + QStringLiteral(" - Emailto: ") + a +
                         QStringLiteral(" - Ind.Temp: ") + temp,
                     QStringLiteral("InviaEmail"));

    if (vuoto(indirizzo))
        o.setValore(QStringLiteral("EmailTo"), vuoto(temp) ? a : temp);
    else
        o.setValore(QStringLiteral("EmailTo"), indirizzo.trimmed());
    o.setValore(QStringLiteral("EmailTipoInvio"), LeggiParEmail(QStringLiteral("EmailTipoInvio")));
    // the stored texts read once: a common database that cannot be opened
    // or a text missing is told once
    QString oggetto, corpo;
    testi(oggetto, corpo);
    o.setValore(QStringLiteral("EmailOggetto"), Sostituisci(oggetto, o, true));
    o.setValore(QStringLiteral("EmailTesto"), Sostituisci(corpo, o, false));
    for (const char* chiave :
         {"EmailFileLog", "EmailInd", "EmailCentro", "EmailSMTPtipo", "EmailServerSMTP",
          "EmailReplay", "EmailLogin", "EmailPwd", "EmailUsaSSL", "EmailDirStunnel",
          "EmailNumPorta", "EmailLogSee", "EmailLoginSenzaTLS"}) {
        const QString k = QLatin1String(chiave);
        o.setValore(k, LeggiParEmail(k));
    }
    o.setValore(QStringLiteral("EmailFlagNotifica"),
                Si(LeggiParEmail(QStringLiteral("EmailFlagNotifica"))));
}

ColonneEmailClienti ColonneEmailCliente(IMenuClient& menu) {
    const QStringList colonne{QStringLiteral("Email"), QStringLiteral("Email2"),
                              QStringLiteral("Email3"), QStringLiteral("Email4")};
    const std::pair<const char*, const char*> titoli[] = {{"DescEmailPri", "Principale"},
                                                          {"DescEmailAmm", "Amministrativo"},
                                                          {"DescEmailComm", "Commerciale"},
                                                          {"DescEmailSped", "Spedizioni"}};
    const QString predef =
        menu.LeggiValore(QStringLiteral("StAltro.EmailPredef"), QString()).trimmed().toLower();
    int prima = 0;
    if (predef == QLatin1String("amm"))
        prima = 1;
    else if (predef == QLatin1String("comm"))
        prima = 2;
    else if (predef == QLatin1String("spedizione") || predef == QLatin1String("sped"))
        prima = 3;
    ColonneEmailClienti r;
    r.prima = colonne.at(prima);
    QList<int> ordine{prima};
    for (int i = 0; i < 4; ++i)
        if (i != prima)
            ordine << i;
    for (int i : ordine) {
        r.colonne << colonne.at(i);
        QString t = menu.LeggiValore(QLatin1String(titoli[i].first), QString());
        if (t.trimmed().isEmpty())
            t = QLatin1String(titoli[i].second);
        r.titoli << t;
    }
    return r;
}

} // namespace quarvel
