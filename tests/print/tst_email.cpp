// Mailing a printed list.  The preparation of the message (parameters of
// the configuration in use, the stored texts of an SQLite common database,
// placeholders, recipient, the error -123), the MIME message, and the
// sending through the test SMTP server of smtp.sh (QUARVEL_SMTP_*; those
// cases are skipped without it): a list printed to PDF and mailed, the
// received message taken apart and compared with the PDF written; hostile
// recipients refused before anything leaves, the password never sent
// without TLS unless the parameters allow it, the desktop mail client given
// each recipient as the value of its own option.

#include "ListaMemoria.h"
#include "data/ComponenteDatiSql.h"
#include "data/Schema.h"
#include "database/Connessione.h"
#include "print/Email.h"
#include "print/OpzioniStampa.h"
#include "print/Pdf.h"
#include "print/Stampa.h"
#include "printing/FrmStampaInCorso.h"
#include "printing/PreparaEmail.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "support/MenuValori.h"
#include "utility/Utilita.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace quarvel;
using namespace quarvel::stampa;

namespace {

const QDateTime TreMarzo(QDate(2024, 3, 3), QTime(9, 7, 5));

// A received message taken apart: its headers (unfolded) and its parts
// (headers and decoded body).
struct Parte {
    QMap<QString, QString> intestazioni; // names in lower case
    QByteArray corpo;
};

QMap<QString, QString> Intestazioni(const QByteArray& blocco) {
    QMap<QString, QString> r;
    QString ultima;
    for (const QByteArray& riga : blocco.split('\n')) {
        const QByteArray l = riga.endsWith('\r') ? riga.chopped(1) : riga;
        if (l.isEmpty())
            continue;
        if ((l.startsWith(' ') || l.startsWith('\t')) && !ultima.isEmpty()) {
            r[ultima] += QString::fromUtf8(l.trimmed());
            continue;
        }
        const int due = l.indexOf(':');
        ultima = QString::fromLatin1(l.left(due)).toLower();
        r[ultima] = QString::fromUtf8(l.mid(due + 1).trimmed());
    }
    return r;
}

// "=?UTF-8?B?...?=" words decoded.
QString Decodifica(const QString& s) {
    static const QRegularExpression parola(QStringLiteral("=\\?UTF-8\\?B\\?([^?]*)\\?="));
    QString r = s;
    QRegularExpressionMatch m;
    while ((m = parola.match(r)).hasMatch())
        r.replace(m.capturedStart(), m.capturedLength(),
                  QString::fromUtf8(QByteArray::fromBase64(m.captured(1).toLatin1())));
    return r.replace(QStringLiteral("?==?"), QString());
}

struct Messaggio {
    QMap<QString, QString> intestazioni;
    QVector<Parte> parti;
};

Messaggio Scomponi(const QByteArray& eml) {
    Messaggio m;
    const int fine = eml.indexOf("\r\n\r\n");
    m.intestazioni = Intestazioni(eml.left(fine));
    const auto b = QRegularExpression(QStringLiteral("boundary=\"([^\"]+)\""))
                       .match(m.intestazioni.value(QStringLiteral("content-type")));
    if (!b.hasMatch())
        return m;
    const QByteArray confine = "--" + b.captured(1).toLatin1();
    const QList<QByteArray> pezzi = eml.mid(fine + 4).split('\n');
    QByteArray corrente;
    bool dentro = false;
    const auto chiudi = [&] {
        if (!dentro)
            return;
        const int f = corrente.indexOf("\r\n\r\n");
        Parte p;
        p.intestazioni = Intestazioni(corrente.left(f));
        const QByteArray corpo = corrente.mid(f + 4);
        p.corpo = p.intestazioni.value(QStringLiteral("content-transfer-encoding")) ==
                          QLatin1String("base64")
                      ? QByteArray::fromBase64(corpo)
                      : corpo;
        m.parti << p;
        corrente.clear();
    };
    for (const QByteArray& riga : pezzi) {
        if (riga.startsWith(confine)) {
            chiudi();
            dentro = !riga.startsWith(confine + "--");
            continue;
        }
        if (dentro)
            corrente += riga + '\n';
    }
    return m;
}

// The messages in a folder of the test server, oldest first.
QStringList Ricevuti(const QString& cartella) {
    QStringList r = QDir(cartella).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    for (QString& f : r)
        f = cartella + QLatin1Char('/') + f;
    return r;
}

QByteArray Leggi(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A new message in the folder beyond those there before (waits a little).
QString NuovoRicevuto(const QString& cartella, const QStringList& prima) {
    for (int i = 0; i < 50; ++i) {
        for (const QString& f : Ricevuti(cartella))
            if (!prima.contains(f))
                return f;
        QTest::qWait(100);
    }
    return {};
}

// The variants of the test server: "semplice" (no STARTTLS), "starttls",
// "tls" (TLS from the start).
struct ServerProva {
    QString porta, cartella;
    bool ssl = false;
};
ServerProva Server(const QString& variante) {
    if (variante == QLatin1String("tls"))
        return {qEnvironmentVariable("QUARVEL_SMTP_PORTA_TLS"),
                qEnvironmentVariable("QUARVEL_SMTP_POSTA_TLS"), true};
    if (variante == QLatin1String("starttls"))
        return {qEnvironmentVariable("QUARVEL_SMTP_PORTA_STARTTLS"),
                qEnvironmentVariable("QUARVEL_SMTP_POSTA_STARTTLS"), false};
    return {qEnvironmentVariable("QUARVEL_SMTP_PORTA"), qEnvironmentVariable("QUARVEL_SMTP_POSTA"),
            false};
}

// The options that send through a variant of the test server with its login.
void ImpostaSmtp(IOpzioniStampa& o, const QString& variante) {
    const ServerProva s = Server(variante);
    o.setValore(QStringLiteral("EmailTipoInvio"), s.ssl ? "E" : "C");
    o.setValore(QStringLiteral("EmailServerSMTP"), QStringLiteral("127.0.0.1"));
    o.setValore(QStringLiteral("EmailNumPorta"), s.porta);
    o.setValore(QStringLiteral("EmailUsaSSL"), s.ssl ? "S" : "N");
    o.setValore(QStringLiteral("EmailLogin"), qEnvironmentVariable("QUARVEL_SMTP_LOGIN"));
    o.setValore(QStringLiteral("EmailPwd"), qEnvironmentVariable("QUARVEL_SMTP_PWD"));
    qputenv("CURL_CA_BUNDLE", qgetenv("QUARVEL_SMTP_CERT"));
}

// The messages that arrived in a folder since "prima" with a text in them
// (other tests may send through the same server meanwhile).
QStringList ArriviCon(const QString& cartella, const QStringList& prima, const QByteArray& testo) {
    QStringList r;
    for (const QString& f : Ricevuti(cartella))
        if (!prima.contains(f) &&
            (Leggi(f).contains(testo) || Leggi(f.chopped(4) + ".busta").contains(testo)))
            r << f;
    return r;
}

// The lines of an e-mail log, each with the raw control characters it holds
// besides the tabs that part its fields.
struct RigaLog {
    QStringList campi;
    QString controlli;
};
QList<RigaLog> RigheLog(const QString& file) {
    QList<RigaLog> r;
    const QString testo = QString::fromUtf8(Leggi(file));
    for (const QString& riga : testo.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        RigaLog l{riga.split(QLatin1Char('\t')), {}};
        for (QChar c : riga)
            if ((c.category() == QChar::Other_Control && c != QLatin1Char('\t')) ||
                c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                l.controlli += QStringLiteral("U+%1 ").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        r << l;
    }
    return r;
}

// A small file standing for the PDF, with a text of its own.
QString PdfProva(const QString& file, const QByteArray& segno) {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("%PDF-1.4\n" + segno + "\n");
    return file;
}

#define SALTA_SENZA_SMTP()                                                                         \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("QUARVEL_SMTP_PORTA"))                                     \
            QSKIP("QUARVEL_SMTP_PORTA is not set: these cases need the test SMTP server "          \
                  "(scripts/services/smtp.sh, started by make test)");                             \
    } while (false)

} // namespace

class TstEmail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void segnaposti_data();
    void segnaposti();
    void mittenteConNome_data();
    void mittenteConNome();
    void configurazioneEDestinatario();
    void testoAppoggio_data();
    void testoAppoggio();
    void testoMancante();
    void datiMancanti_data();
    void datiMancanti();
    void destinatarioScelto_data();
    void destinatarioScelto();
    void senzaInvio();
    void colonneClienti_data();
    void colonneClienti();

    void messaggioMime();
    void nomePdf();
    void smtp_data();
    void smtp();
    void smtpRifiutato();
    void sendmail();
    void intestazioniCodificate_data();
    void intestazioniCodificate();
    void destinatariOstili_data();
    void destinatariOstili();
    void loginSenzaTls_data();
    void loginSenzaTls();
    void clientPosta_data();
    void clientPosta();
    void listaStampataEMandata_data();
    void listaStampataEMandata();

private:
    void parametriSmtp(bool tls);

    QTemporaryDir m_dir;
    prova::MenuValori m_menu;
    std::unique_ptr<IComponenteDati> m_dati;
    std::unique_ptr<MessaggiScriptati> m_msg;
    QStringList m_avviati; // programs the component would have started
};

void TstEmail::initTestCase() {
    QVERIFY(m_dir.isValid());
    InstallaUtilita();
    dati::Registra();
    const QString file = m_dir.filePath(QStringLiteral("comune.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("c"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        dati::CreaComune(db, true);
        // the demo's texts (the first two), and two of the test's own
        dati::GeneraDemoComune(db);
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral(
                     "UPDATE Appoggio SET Descr3 = 'Stampa §Titolo§ del §Data§', "
                     "Memo3 = 'Buongiorno,\nin allegato §Titolo§ (§CodSta§) del §Data§ ore "
                     "§OraRid§ §Ora§.\nCordiali saluti', "
                     "Descr4 = '§PersOgg§ §Ora§ §OraRid§ §DataRov§ §DataLong§ §DataAbb§', "
                     "Memo4 = '§DescAzie§ §CodiceAzie§ §IdAzienda§ §Login§ §Gruppo§ "
                     "§Terminale§ §DescPrg§ §PersOgg§' WHERE Codice = 'PdfEmail'")),
                 qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("c"));
    m_dati = CreaComponenteDati();
    QString risposta;
    m_dati->Apri(file, 0, false, true, QString(), risposta);
    QVERIFY2(!risposta.startsWith(QLatin1String("Err:")), qPrintable(risposta));
    DbComune().RisultatoConnessioneMenu = risposta;
    ImpostaOrologioEmail([] { return TreMarzo; });
    ImpostaAvvioProgramma([this](const QString& p, const QStringList& a) {
        m_avviati << p + QLatin1Char(' ') + a.join(QLatin1Char('|'));
        return true;
    });
}

void TstEmail::init() {
    m_msg = std::make_unique<MessaggiScriptati>();
    ContestoSessione& s = Sessione();
    s.MenuClient = &m_menu;
    s.ComponenteDati = m_dati.get();
    m_menu.valori = {
        {QStringLiteral("EmailTipoInvio"), QStringLiteral("C")},
        {QStringLiteral("EmailInd"), QStringLiteral("magazzino@ditta.it")},
        {QStringLiteral("EmailCentro"), QStringLiteral("Magazzino centrale")},
        {QStringLiteral("EmailServerSMTP"), QStringLiteral("posta.ditta.it")},
        {QStringLiteral("EmailLogin"), QStringLiteral("mag")},
        {QStringLiteral("EmailPwd"), QStringLiteral("pw-segretissima")},
        {QStringLiteral("EmailNumTesto"), QStringLiteral("1")},
        {QStringLiteral("EmailTo1"), QStringLiteral("cliente@esempio.it")},
        {QStringLiteral("EmailPersOggetto"), QStringLiteral("§Data§")},
        {QStringLiteral("descazie"), QStringLiteral("Ditta di prova")},
        {QStringLiteral("codiceazie"), QStringLiteral("D01")},
        {QStringLiteral("idazienda"), QStringLiteral("7")},
        {QStringLiteral("Login"), QStringLiteral("mario")},
        {QStringLiteral("Gruppo"), QStringLiteral("MAG")},
    };
    m_avviati.clear();
}

void TstEmail::cleanup() {
    m_msg.reset();
    Sessione().MenuClient = nullptr;
    Sessione().ComponenteDati = nullptr;
}

// ---- the preparation ------------------------------------------------------------

void TstEmail::segnaposti_data() {
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("oggetto");
    QTest::addColumn<QString>("corpo");
    // the demo's first text
    QTest::newRow("testo della demo") << 1 << "Stampa Inventario del 03/03/2024"
                                      << "Buongiorno,\r\nin allegato la stampa Inventario del "
                                         "03/03/2024.\r\nCordiali saluti";
    QTest::newRow("titolo e data") << 3 << "Stampa Inventario del 03/03/2024"
                                   << "Buongiorno,\nin allegato Inventario (MagInv) del "
                                      "03/03/2024 ore 0907 §Ora§.\nCordiali saluti";
    // PersOgg is replaced first, so the placeholder its value holds is
    // replaced after it; "Ora" only in the subject, "OraRid" only in the body.
    QTest::newRow("ordine, ore e date")
        << 4 << "03/03/2024 09:07 §OraRid§ 20240303 03/marzo/2024 03/mar/2024"
        << "Ditta di prova D01 7 mario MAG 36 Giacenze 03/03/2024";
}

void TstEmail::segnaposti() {
    QFETCH(int, numero);
    QFETCH(QString, oggetto);
    QFETCH(QString, corpo);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    m_menu.valori[QStringLiteral("EmailNumTesto")] = QString::number(numero);
    OpzioniStampa o(QStringLiteral("MagInv"));
    o.setValore(QStringLiteral("EmailInvia"), true);
    o.setValore(QStringLiteral("StampaCaption"), QStringLiteral("Inventario"));
    o.setValore(QStringLiteral("StampaDescPrg"), QStringLiteral("Giacenze"));
    PreparaEmail p;
    p.InviaEmail(o, QString());
    QCOMPARE(o.Valore(QStringLiteral("EmailOggetto")).toString(), oggetto);
    QCOMPARE(o.Valore(QStringLiteral("EmailTesto")).toString(), corpo);
}

void TstEmail::mittenteConNome_data() {
    QTest::addColumn<QString>("metodo");
    QTest::addColumn<QString>("centro");
    QTest::addColumn<QString>("atteso");
    const QString nome = QStringLiteral("\"Magazzino centrale\" <magazzino@ditta.it>");
    const QString nudo = QStringLiteral("magazzino@ditta.it");
    QTest::newRow("Outlook") << "O"
                             << "Magazzino centrale" << nome;
    QTest::newRow("CDO") << "C"
                         << "Magazzino centrale" << nome;
    QTest::newRow("Sendmail") << "S"
                              << "Magazzino centrale" << nudo;
    QTest::newRow("See") << "E"
                         << "Magazzino centrale" << nudo;
    QTest::newRow("Outlook senza nome") << "O"
                                        << "" << nudo;
}

void TstEmail::mittenteConNome() {
    QFETCH(QString, metodo);
    QFETCH(QString, centro);
    QFETCH(QString, atteso);
    m_menu.valori[QStringLiteral("EmailTipoInvio")] = metodo;
    m_menu.valori[QStringLiteral("EmailCentro")] = centro;
    m_menu.valori[QStringLiteral("EmailReplay")] = QStringLiteral("magazzino@ditta.it");
    PreparaEmail p;
    QCOMPARE(p.LeggiParEmail(QStringLiteral("EmailInd")), atteso);
    QCOMPARE(p.LeggiParEmail(QStringLiteral("EmailReplay")), atteso);
    // what reaches the options is the same form
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailInvia"), true);
    p.InviaEmail(o, QString());
    QCOMPARE(o.Valore(QStringLiteral("EmailInd")).toString(), atteso);
}

void TstEmail::configurazioneEDestinatario() {
    // configuration 2 in use: its keys carry the suffix, the bare ones are
    // not read; the recipient is the one EmailToNum points at
    m_menu.valori[QStringLiteral("EmailTipoNum")] = QStringLiteral("2");
    m_menu.valori[QStringLiteral("EmailServerSMTP2")] = QStringLiteral("smtp2.ditta.it");
    m_menu.valori[QStringLiteral("EmailTipoInvio2")] = QStringLiteral("S");
    m_menu.valori[QStringLiteral("EmailInd2")] = QStringLiteral("due@ditta.it");
    m_menu.valori[QStringLiteral("EmailLogin2")] = QStringLiteral("l2");
    m_menu.valori[QStringLiteral("EmailPwd2")] = QStringLiteral("p2");
    m_menu.valori[QStringLiteral("EmailNumTesto2")] = QStringLiteral("1");
    m_menu.valori[QStringLiteral("EmailLoginSenzaTLS2")] = QStringLiteral("S");
    m_menu.valori[QStringLiteral("EmailToNum")] = QStringLiteral("3");
    m_menu.valori[QStringLiteral("EmailTo3")] = QStringLiteral("terzo@esempio.it");
    PreparaEmail p;
    QCOMPARE(p.LeggiParEmail(QStringLiteral("EmailServerSMTP")), QString("smtp2.ditta.it"));
    QCOMPARE(p.LeggiParEmail(QStringLiteral("EmailInd")), QString("due@ditta.it"));
    QCOMPARE(p.LeggiParEmail(QStringLiteral("EmailTo")), QString("terzo@esempio.it"));
    // the global keys never take the suffix
    m_menu.valori[QStringLiteral("EmailFileLog")] = QStringLiteral("/tmp/log.txt");
    QCOMPARE(p.LeggiParEmail(QStringLiteral("EmailFileLog")), QString("/tmp/log.txt"));
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailInvia"), true);
    p.InviaEmail(o, QString());
    QCOMPARE(o.Valore(QStringLiteral("EmailTipoInvio")).toString(), QString("S"));
    QCOMPARE(o.Valore(QStringLiteral("EmailLogin")).toString(), QString("l2"));
    QCOMPARE(o.Valore(QStringLiteral("EmailLoginSenzaTLS")).toString(), QString("S"));
    QCOMPARE(o.Valore(QStringLiteral("EmailTo")).toString(), QString("terzo@esempio.it"));
}

void TstEmail::testoAppoggio_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<int>("numero");
    QTest::addColumn<bool>("esito");
    QTest::addColumn<QString>("oggetto");
    QTest::addColumn<QStringList>("messaggi");
    QTest::newRow("trovato") << "PdfEmail" << 1 << true << "Stampa §Titolo§ del §Data§"
                             << QStringList();
    QTest::newRow("testo vuoto") << "PdfEmail" << 5 << true << "" << QStringList();
    QTest::newRow("numero 0") << "PdfEmail" << 0 << false << "-" << QStringList();
    QTest::newRow("numero 6") << "PdfEmail" << 6 << false << "-" << QStringList();
    QTest::newRow("mancante") << "Altro" << 1 << false << "-" << QStringList{"Dati non trovati"};
    QTest::newRow("apice nel codice")
        << "Pdf'Email" << 1 << false << "-" << QStringList{"Dati non trovati"};
}

void TstEmail::testoAppoggio() {
    QFETCH(QString, codice);
    QFETCH(int, numero);
    QFETCH(bool, esito);
    QFETCH(QString, oggetto);
    QFETCH(QStringList, messaggi);
    QString corpo = QStringLiteral("-"), ogg = QStringLiteral("-");
    PreparaEmail p;
    QCOMPARE(p.LeggiTestoAppoggio(codice, numero, corpo, false, ogg), esito);
    QCOMPARE(ogg, oggetto);
    QCOMPARE(m_msg->testi(), messaggi);
}

void TstEmail::testoMancante() {
    // the record of the texts missing: told once, subject and body empty
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("m"));
        db.setDatabaseName(m_dir.filePath(QStringLiteral("comune.db")));
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(
            QStringLiteral("UPDATE Appoggio SET Codice = 'Altro' WHERE Codice = 'PdfEmail'")));
    }
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailInvia"), true);
    PreparaEmail().InviaEmail(o, QString());
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("m"));
        QVERIFY(QSqlQuery(db).exec(
            QStringLiteral("UPDATE Appoggio SET Codice = 'PdfEmail' WHERE Codice = 'Altro'")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("m"));
    QCOMPARE(m_msg->testi(), QStringList{"Dati non trovati"});
    QCOMPARE(o.Valore(QStringLiteral("EmailOggetto")).toString(), QString());
    QCOMPARE(o.Valore(QStringLiteral("EmailTesto")).toString(), QString());
    QCOMPARE(o.Valore(QStringLiteral("EmailTo")).toString(), QString("cliente@esempio.it"));
}

void TstEmail::datiMancanti_data() {
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("descrizione");
    const QString testa = QStringLiteral("Mancano dati necessari per l'invio dell'email\r\n");
    QTest::newRow("login") << "EmailLogin"
                           << testa + " - Login:  - pwd compilata: Sì - SMTP: posta.ditta.it - "
                                      "Emailto: cliente@esempio.it - Ind.Temp: ";
    QTest::newRow("password") << "EmailPwd"
                              << testa + " - Login: mag - pwd compilata: No - SMTP: "
                                         "posta.ditta.it - Emailto: cliente@esempio.it - "
                                         "Ind.Temp: ";
    QTest::newRow("server") << "EmailServerSMTP"
                            << testa + " - Login: mag - pwd compilata: Sì - SMTP:  - Emailto: "
                                       "cliente@esempio.it - Ind.Temp: ";
    QTest::newRow("destinatario") << "EmailTo1"
                                  << testa + " - Login: mag - pwd compilata: Sì - SMTP: "
                                             "posta.ditta.it - Emailto:  - Ind.Temp: ";
}

void TstEmail::datiMancanti() {
    QFETCH(QString, chiave);
    QFETCH(QString, descrizione);
    m_menu.valori.remove(chiave);
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailInvia"), true);
    try {
        PreparaEmail().InviaEmail(o, QString());
        QFAIL("no error raised");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), -123);
        QCOMPARE(e.descrizione(), descrizione);
        QVERIFY(!e.descrizione().contains(QLatin1String("pw-segretissima")));
    }
    QVERIFY(!o.Valore(QStringLiteral("EmailOggetto")).isValid());
}

void TstEmail::destinatarioScelto_data() {
    QTest::addColumn<QString>("parametro");
    QTest::addColumn<QString>("temporaneo");
    QTest::addColumn<QString>("indirizzo");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("parametro") << "cliente@esempio.it"
                               << ""
                               << ""
                               << "cliente@esempio.it";
    QTest::newRow("temporaneo") << "cliente@esempio.it"
                                << "temp@esempio.it"
                                << ""
                                << "temp@esempio.it";
    QTest::newRow("indirizzo dato") << "cliente@esempio.it"
                                    << "temp@esempio.it"
                                    << "dato@esempio.it"
                                    << "dato@esempio.it";
    QTest::newRow("solo il temporaneo") << ""
                                        << "temp@esempio.it"
                                        << ""
                                        << "temp@esempio.it";
    QTest::newRow("solo l'indirizzo") << ""
                                      << ""
                                      << "dato@esempio.it"
                                      << "dato@esempio.it";
}

void TstEmail::destinatarioScelto() {
    QFETCH(QString, parametro);
    QFETCH(QString, temporaneo);
    QFETCH(QString, indirizzo);
    QFETCH(QString, atteso);
    m_menu.valori[QStringLiteral("EmailTo1")] = parametro;
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailInvia"), true);
    o.setValore(QStringLiteral("EmailToTemp"), temporaneo);
    PreparaEmail().InviaEmail(o, indirizzo);
    QCOMPARE(o.Valore(QStringLiteral("EmailTo")).toString(), atteso);
    QCOMPARE(o.Valore(QStringLiteral("EmailPwd")).toString(), QString("pw-segretissima"));
}

void TstEmail::senzaInvio() {
    // "EmailInvia" false: nothing is checked, nothing handed over
    m_menu.valori.remove(QStringLiteral("EmailLogin"));
    OpzioniStampa o(QStringLiteral("x"));
    PreparaEmail().InviaEmail(o, QString());
    QVERIFY(!o.Valore(QStringLiteral("EmailTo")).isValid());
    QVERIFY(!o.Valore(QStringLiteral("EmailOggetto")).isValid());
}

void TstEmail::colonneClienti_data() {
    QTest::addColumn<QString>("predef");
    QTest::addColumn<QString>("prima");
    QTest::newRow("nessuno") << ""
                             << "Email";
    QTest::newRow("Pri") << "Pri"
                         << "Email";
    QTest::newRow("Amm") << "Amm"
                         << "Email2";
    QTest::newRow("Comm") << "comm"
                          << "Email3";
    QTest::newRow("Spedizione") << "Spedizione"
                                << "Email4";
    QTest::newRow("Sped") << "Sped"
                          << "Email4";
    QTest::newRow("altro") << "Fatture"
                           << "Email";
}

void TstEmail::colonneClienti() {
    QFETCH(QString, predef);
    QFETCH(QString, prima);
    m_menu.valori[QStringLiteral("StAltro.EmailPredef")] = predef;
    m_menu.valori[QStringLiteral("DescEmailComm")] = QStringLiteral("Vendite");
    const ColonneEmailClienti c = ColonneEmailCliente(m_menu);
    QCOMPARE(c.prima, prima);
    QCOMPARE(c.colonne.first(), prima);
    QCOMPARE(c.colonne.size(), 4);
    const QStringList titoli{"Principale", "Amministrativo", "Vendite", "Spedizioni"};
    const QStringList colonne{"Email", "Email2", "Email3", "Email4"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(c.titoli.at(i), titoli.at(colonne.indexOf(c.colonne.at(i))));
}

// ---- the message and its sending ------------------------------------------------

void TstEmail::messaggioMime() {
    const QString pdf = m_dir.filePath(QStringLiteral("allegato.pdf"));
    QByteArray binario;
    for (int i = 0; i < 5000; ++i)
        binario += char(i * 7 % 256); // LFs and CRs among them
    {
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(binario);
    }
    MessaggioEmail m;
    m.mittente = QStringLiteral("\"Magazzino Città\" <magazzino@ditta.it>");
    m.destinatari = {QStringLiteral("a@esempio.it"), QStringLiteral("b@esempio.it")};
    m.rispondiA = QStringLiteral("risposte@ditta.it");
    m.oggetto = QStringLiteral("Stampa Inventario del 03/03/2024 – più lunga di una riga sola "
                               "perché così si vede il ripiegamento");
    m.testo = QStringLiteral("Riga uno\nRiga due\r\nRiga tre\rfine");
    m.allegato = pdf;
    m.notifica = true;
    m.data = TreMarzo;
    const QByteArray eml = ComponiMessaggio(m);
    // no bare LF, no bare CR
    for (qsizetype i = 0; i < eml.size(); ++i) {
        if (eml.at(i) == '\n')
            QVERIFY2(i > 0 && eml.at(i - 1) == '\r', qPrintable(QString::number(i)));
        if (eml.at(i) == '\r')
            QVERIFY(i + 1 < eml.size() && eml.at(i + 1) == '\n');
    }
    // no line longer than the 78 characters the format recommends (headers
    // folded, base64 in lines of 76)
    for (const QByteArray& riga : eml.split('\n'))
        QVERIFY(riga.size() <= 78);
    const Messaggio r = Scomponi(eml);
    QVERIFY(r.intestazioni.value("date").startsWith("Sun, 3 Mar 2024 09:07:05 "));
    QVERIFY(QRegularExpression("^<[^<>@ ]+@ditta\\.it>$")
                .match(r.intestazioni.value("message-id"))
                .hasMatch());
    QCOMPARE(r.intestazioni.value("to"), QString("a@esempio.it, b@esempio.it"));
    QCOMPARE(r.intestazioni.value("reply-to"), QString("risposte@ditta.it"));
    QCOMPARE(Decodifica(r.intestazioni.value("from")),
             QString("Magazzino Città <magazzino@ditta.it>"));
    QCOMPARE(Decodifica(r.intestazioni.value("subject")), m.oggetto);
    QCOMPARE(r.intestazioni.value("disposition-notification-to"), QString("<risposte@ditta.it>"));
    QCOMPARE(r.intestazioni.value("mime-version"), QString("1.0"));
    QCOMPARE(r.parti.size(), 2);
    QCOMPARE(QString::fromUtf8(r.parti[0].corpo),
             QString("Riga uno\r\nRiga due\r\nRiga tre\r\nfine"));
    QCOMPARE(r.parti[1].intestazioni.value("content-disposition"),
             QString("attachment; filename=\"allegato.pdf\""));
    QCOMPARE(r.parti[1].corpo, binario);
    // without a notification request its headers are not there; two
    // messages never share an identifier
    m.notifica = false;
    const Messaggio s = Scomponi(ComponiMessaggio(m));
    QVERIFY(!s.intestazioni.contains("disposition-notification-to"));
    QVERIFY(!s.intestazioni.contains("return-receipt-to"));
    QVERIFY(s.intestazioni.value("message-id") != r.intestazioni.value("message-id"));
}

void TstEmail::nomePdf() {
    const QDateTime t(QDate(2024, 3, 3), QTime(9, 7, 5));
    const QString d = m_dir.filePath(QStringLiteral("pdf"));
    QDir().mkpath(d);
    QCOMPARE(NomeFilePdf(d + "/<Title>_<Date>", "Inventario: 2024/A", t),
             d + "/Inventario_ 2024_A_20240303.pdf");
    QCOMPARE(NomeFilePdf(d, "Giacenze", t), d + "/Giacenze_20240303090705.pdf");
    QCOMPARE(NomeFilePdf(d + "/sotto/", "Giacenze", t), d + "/sotto/Giacenze_20240303090705.pdf");
    QCOMPARE(NomeFilePdf(d + "/fisso.PDF", "x", t), d + "/fisso.PDF");
    // a name taken is not overwritten
    QFile(d + "/fisso.pdf").open(QIODevice::WriteOnly);
    QFile(d + "/fisso (2).pdf").open(QIODevice::WriteOnly);
    QCOMPARE(NomeFilePdf(d + "/fisso", "x", t), d + "/fisso (3).pdf");
}

void TstEmail::parametriSmtp(bool tls) {
    m_menu.valori[QStringLiteral("EmailTipoInvio")] =
        tls ? QStringLiteral("E") : QStringLiteral("C");
    m_menu.valori[QStringLiteral("EmailServerSMTP")] = QStringLiteral("127.0.0.1");
    m_menu.valori[QStringLiteral("EmailNumPorta")] =
        qEnvironmentVariable(tls ? "QUARVEL_SMTP_PORTA_TLS" : "QUARVEL_SMTP_PORTA");
    m_menu.valori[QStringLiteral("EmailUsaSSL")] = tls ? QStringLiteral("S") : QStringLiteral("N");
    m_menu.valori[QStringLiteral("EmailLogin")] = qEnvironmentVariable("QUARVEL_SMTP_LOGIN");
    m_menu.valori[QStringLiteral("EmailPwd")] = qEnvironmentVariable("QUARVEL_SMTP_PWD");
    // the plain server offers no STARTTLS: the login in the clear is the
    // administrator's explicit choice
    m_menu.valori[QStringLiteral("EmailLoginSenzaTLS")] =
        tls ? QStringLiteral("N") : QStringLiteral("S");
    qputenv("CURL_CA_BUNDLE", qgetenv("QUARVEL_SMTP_CERT"));
}

void TstEmail::smtp_data() {
    QTest::addColumn<bool>("tls");
    QTest::newRow("semplice") << false;
    QTest::newRow("TLS") << true;
}

void TstEmail::smtp() {
    SALTA_SENZA_SMTP();
    QFETCH(bool, tls);
    const QString cartella =
        qEnvironmentVariable(tls ? "QUARVEL_SMTP_POSTA_TLS" : "QUARVEL_SMTP_POSTA");
    const QString pdf = m_dir.filePath(QStringLiteral("smtp.pdf"));
    {
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4\nprova\n");
    }
    const QString log = m_dir.filePath(QStringLiteral("smtp.log"));
    QFile::remove(log);
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailTipoInvio"), tls ? "E" : "C");
    o.setValore(QStringLiteral("EmailServerSMTP"), QStringLiteral("127.0.0.1"));
    o.setValore(QStringLiteral("EmailNumPorta"),
                qEnvironmentVariable(tls ? "QUARVEL_SMTP_PORTA_TLS" : "QUARVEL_SMTP_PORTA"));
    o.setValore(QStringLiteral("EmailUsaSSL"), tls ? "S" : "N");
    o.setValore(QStringLiteral("EmailLogin"), qEnvironmentVariable("QUARVEL_SMTP_LOGIN"));
    o.setValore(QStringLiteral("EmailPwd"), qEnvironmentVariable("QUARVEL_SMTP_PWD"));
    o.setValore(QStringLiteral("EmailLoginSenzaTLS"), tls ? "N" : "S");
    o.setValore(QStringLiteral("EmailInd"), QStringLiteral("\"Magazzino\" <mag@ditta.it>"));
    o.setValore(QStringLiteral("EmailTo"), QStringLiteral("uno@esempio.it; due@esempio.it"));
    o.setValore(QStringLiteral("EmailOggetto"), QStringLiteral("Prova"));
    o.setValore(QStringLiteral("EmailTesto"), QStringLiteral("Testo"));
    o.setValore(QStringLiteral("EmailFileLog"), log);
    qputenv("CURL_CA_BUNDLE", qgetenv("QUARVEL_SMTP_CERT"));
    const QStringList prima = Ricevuti(cartella);
    SpedisciPdf(o, pdf);
    const QString nuovo = NuovoRicevuto(cartella, prima);
    QVERIFY(!nuovo.isEmpty());
    // the envelope: the bare sender, both recipients
    QCOMPARE(QString::fromUtf8(Leggi(nuovo.chopped(4) + ".busta")),
             QString("mag@ditta.it\nuno@esempio.it\ndue@esempio.it\n"));
    QCOMPARE(Scomponi(Leggi(nuovo)).parti.value(1).corpo, Leggi(pdf));
    const QString righe = QString::fromUtf8(Leggi(log));
    QCOMPARE(righe.count('\n'), 1);
    QVERIFY2(righe.contains("\tINVIATA\t" + QString(tls ? "E" : "C") +
                            "\tuno@esempio.it, due@esempio.it\tProva\t" + pdf),
             qPrintable(righe));
    // TLS without the server's certificate among the trusted ones: refused
    if (tls) {
        qputenv("CURL_CA_BUNDLE", "/etc/ssl/certs/ca-certificates.crt");
        QVERIFY_THROWS_EXCEPTION(Errore, SpedisciPdf(o, pdf));
        QVERIFY(QString::fromUtf8(Leggi(log)).contains("\tRIFIUTATA\t"));
    }
}

void TstEmail::smtpRifiutato() {
    SALTA_SENZA_SMTP();
    const QString log = m_dir.filePath(QStringLiteral("rifiutato.log"));
    const QString pdf = m_dir.filePath(QStringLiteral("smtp.pdf"));
    QFile(pdf).open(QIODevice::WriteOnly);
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailTipoInvio"), "C");
    o.setValore(QStringLiteral("EmailServerSMTP"),
                "127.0.0.1:" + qEnvironmentVariable("QUARVEL_SMTP_PORTA"));
    o.setValore(QStringLiteral("EmailLogin"), QStringLiteral("quarvel"));
    o.setValore(QStringLiteral("EmailPwd"), QStringLiteral("password-sbagliata"));
    o.setValore(QStringLiteral("EmailLoginSenzaTLS"), QStringLiteral("S"));
    o.setValore(QStringLiteral("EmailInd"), QStringLiteral("mag@ditta.it"));
    o.setValore(QStringLiteral("EmailTo"), QStringLiteral("uno@esempio.it"));
    o.setValore(QStringLiteral("EmailFileLog"), log);
    try {
        SpedisciPdf(o, pdf);
        QFAIL("a wrong password was accepted");
    } catch (const Errore& e) {
        QVERIFY2(e.descrizione().contains("uno@esempio.it"), qPrintable(e.descrizione()));
        QVERIFY(!e.descrizione().contains("password-sbagliata"));
    }
    const QString righe = QString::fromUtf8(Leggi(log));
    QVERIFY(righe.contains("\tRIFIUTATA\tC\tuno@esempio.it\t"));
    QVERIFY(!righe.contains("password-sbagliata"));
}

void TstEmail::sendmail() {
    const QString pdf = m_dir.filePath(QStringLiteral("sm.pdf"));
    {
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4 sendmail");
    }
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailTipoInvio"), "S");
    o.setValore(QStringLiteral("EmailInd"), QStringLiteral("mag@ditta.it"));
    o.setValore(QStringLiteral("EmailTo"), QStringLiteral("uno@esempio.it"));
    const QByteArray path = qgetenv("PATH");
    // no sendmail anywhere: a clear refusal
    if (!QFileInfo::exists("/usr/sbin/sendmail") && !QFileInfo::exists("/usr/lib/sendmail")) {
        qputenv("PATH", m_dir.filePath("vuota").toUtf8());
        try {
            SpedisciPdf(o, pdf);
            QFAIL("sent without sendmail");
        } catch (const Errore& e) {
            QVERIFY2(e.descrizione().contains("sendmail non è installato"),
                     qPrintable(e.descrizione()));
        }
    }
    // a sendmail on the PATH gets the envelope as arguments and the message
    const QString bin = m_dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QString uscita = m_dir.filePath(QStringLiteral("sendmail.out"));
    {
        QFile f(bin + "/sendmail");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.arg'\ncat > '%1'\n").arg(uscita).toUtf8());
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    qputenv("PATH", (bin + ":").toUtf8() + path);
    SpedisciPdf(o, pdf);
    qputenv("PATH", path);
    QCOMPARE(QString::fromUtf8(Leggi(uscita + ".arg")).trimmed(),
             QString("-i -f mag@ditta.it -- uno@esempio.it"));
    QCOMPARE(Scomponi(Leggi(uscita)).parti.value(1).corpo, Leggi(pdf));
}

// Subject and display names with line breaks travel as encoded words: no
// header of their text appears in the message.
void TstEmail::intestazioniCodificate_data() {
    QTest::addColumn<QString>("mittente");
    QTest::addColumn<QString>("rispondiA");
    QTest::addColumn<QString>("oggetto");
    QTest::newRow("oggetto") << "mag@ditta.it"
                             << ""
                             << "Prova\r\nBcc: spia@esempio.it";
    QTest::newRow("nome di chi invia") << "\"Magazzino\r\nBcc: spia@esempio.it\" <mag@ditta.it>"
                                       << ""
                                       << "Prova";
    QTest::newRow("nome della risposta") << "mag@ditta.it"
                                         << "\"Uffici\nBcc: spia@esempio.it\" <uff@ditta.it>"
                                         << "Prova";
}

void TstEmail::intestazioniCodificate() {
    QFETCH(QString, mittente);
    QFETCH(QString, rispondiA);
    QFETCH(QString, oggetto);
    MessaggioEmail m;
    m.mittente = mittente;
    m.rispondiA = rispondiA;
    m.destinatari = {QStringLiteral("uno@esempio.it")};
    m.oggetto = oggetto;
    m.testo = QStringLiteral("Testo");
    const QByteArray eml = ComponiMessaggio(m);
    const QByteArray testa = eml.left(eml.indexOf("\r\n\r\n"));
    QVERIFY2(!testa.contains("\nBcc"), testa.constData());
    const Messaggio r = Scomponi(eml);
    QVERIFY(!r.intestazioni.contains("bcc"));
    QCOMPARE(Decodifica(r.intestazioni.value("subject")), oggetto);
    QVERIFY2(r.intestazioni.value("from").endsWith("<mag@ditta.it>") ||
                 r.intestazioni.value("from") == QLatin1String("mag@ditta.it"),
             qPrintable(r.intestazioni.value("from")));
}

// A recipient (or a sender) that could carry commands or headers is refused
// before anything leaves, whichever way the message goes: a control
// character (CR LF would forge SMTP commands and a message of someone
// else's text), "<" or ">", a leading "-".  A recipient the server refuses
// makes the message not sent.  The log tells the refusal on one line
// without raw control characters; "%1" in the list stands for a text of the
// case's own.
void TstEmail::destinatariOstili_data() {
    QTest::addColumn<QString>("metodo");
    QTest::addColumn<QString>("mittente");
    QTest::addColumn<QString>("elenco");
    QTest::addColumn<QString>("causa");
    const QString controllo = QStringLiteral("carattere di controllo");
    const QString angolare = QStringLiteral("contiene \"<\" o \">\"");
    // the forged message goes out in place of the real one, its replies
    // taken for those of the real DATA
    QTest::newRow("CR LF: messaggio falso")
        << "E"
        << "mag@ditta.it"
        << "uno@esempio.it>\r\nDATA\r\nFrom: capo@ditta.it\r\nSubject: Falso %1\r\n\r\n"
           "Pagare subito.\r\n.\r\nNOOP <"
        << controllo;
    QTest::newRow("CR LF: comandi SMTP falsi")
        << "E"
        << "mag@ditta.it"
        << "uno@esempio.it>\r\nRSET\r\nMAIL FROM:<capo@ditta.it>\r\nRCPT "
           "TO:<complice@esempio.it>\r\nDATA\r\nFrom: capo@ditta.it\r\nSubject: Falso "
           "%1\r\n\r\nPagare subito.\r\n.\r\nRSET\r\nMAIL FROM:<mag@ditta.it>\r\nRCPT "
           "TO:<uno@esempio.it"
        << controllo;
    QTest::newRow("CR LF nel secondo destinatario")
        << "E"
        << "mag@ditta.it"
        << "uno@esempio.it; due@esempio.it\r\nBcc: spia-%1@esempio.it" << controllo;
    QTest::newRow("LF, sendmail") << "S"
                                  << "mag@ditta.it"
                                  << "uno@esempio.it\nBcc: spia-%1@esempio.it" << controllo;
    QTest::newRow("tabulazione") << "E"
                                 << "mag@ditta.it"
                                 << "uno@esempio.it\tspia-%1@esempio.it" << controllo;
    QTest::newRow("carattere C1") << "E"
                                  << "mag@ditta.it"
                                  << QString("uno@esempio.it") + QChar(0x85) + "spia-%1@esempio.it"
                                  << controllo;
    QTest::newRow("maggiore") << "E"
                              << "mag@ditta.it"
                              << "spia-%1@esempio.it> NOTIFY=NEVER" << angolare;
    QTest::newRow("minore") << "E"
                            << "mag@ditta.it"
                            << "uno@esempio.it, <spia-%1@esempio.it" << angolare;
    QTest::newRow("trattino, sendmail") << "S"
                                        << "mag@ditta.it"
                                        << "-oQ/tmp/%1@esempio.it"
                                        << "inizia con \"-\"";
    QTest::newRow("mittente con CR LF") << "E"
                                        << "\"Magazzino\" <mag@ditta.it\r\nBcc: spia@esempio.it>"
                                        << "uno-%1@esempio.it" << controllo;
    QTest::newRow("destinatario rifiutato dal server") << "E"
                                                       << "mag@ditta.it"
                                                       << "uno-%1@esempio.it; due@rifiutato.invalid"
                                                       << "550";
}

void TstEmail::destinatariOstili() {
    QFETCH(QString, metodo);
    QFETCH(QString, mittente);
    QFETCH(QString, elenco);
    QFETCH(QString, causa);
    const bool smtp = metodo == QLatin1String("E");
    if (smtp)
        SALTA_SENZA_SMTP();
    const QString segno = QUuid::createUuid().toString(QUuid::Id128);
    const QString pdf = PdfProva(m_dir.filePath("ostile.pdf"), segno.toLatin1());
    const QString log = m_dir.filePath(QStringLiteral("ostile.log"));
    QFile::remove(log);
    OpzioniStampa o(QStringLiteral("x"));
    if (smtp)
        ImpostaSmtp(o, QStringLiteral("tls"));
    o.setValore(QStringLiteral("EmailTipoInvio"), metodo);
    o.setValore(QStringLiteral("EmailInd"), mittente);
    o.setValore(QStringLiteral("EmailTo"), elenco.arg(segno));
    o.setValore(QStringLiteral("EmailOggetto"), "Stampa " + segno);
    o.setValore(QStringLiteral("EmailFileLog"), log);
    // a sendmail that notes it ran
    const QString bin = m_dir.filePath(QStringLiteral("bin-ostile"));
    const QString traccia = m_dir.filePath(QStringLiteral("sendmail-ostile.arg"));
    QFile::remove(traccia);
    QDir().mkpath(bin);
    {
        QFile f(bin + "/sendmail");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\ncat > /dev/null\n")
                    .arg(traccia)
                    .toUtf8());
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", (bin + ":").toUtf8() + path);
    const QString cartella = Server(QStringLiteral("tls")).cartella;
    const QStringList prima = smtp ? Ricevuti(cartella) : QStringList();
    QString errore;
    try {
        SpedisciPdf(o, pdf);
    } catch (const Errore& e) {
        errore = e.descrizione();
    }
    qputenv("PATH", path);
    QVERIFY2(!errore.isEmpty(), "the message was sent");
    QVERIFY2(errore.contains(causa), qPrintable(errore));
    QVERIFY2(!errore.contains(QLatin1Char('\r')) && !errore.contains(QLatin1Char('\n')),
             qPrintable(errore));
    if (smtp)
        QCOMPARE(ArriviCon(cartella, prima, segno.toLatin1()), QStringList());
    else
        QVERIFY2(!QFile::exists(traccia), Leggi(traccia).constData());
    const QList<RigaLog> righe = RigheLog(log);
    QCOMPARE(righe.size(), 1);
    QCOMPARE(righe[0].controlli, QString());
    QCOMPARE(righe[0].campi.size(), 7);
    QCOMPARE(righe[0].campi.value(1), QString("RIFIUTATA"));
}

// The password goes to the server only through TLS (from the start, or
// STARTTLS): to a server that offers no STARTTLS the program does not log
// in, unless the parameters say so ("EmailLoginSenzaTLS" "S").
void TstEmail::loginSenzaTls_data() {
    QTest::addColumn<QString>("variante");
    QTest::addColumn<bool>("consentito");
    QTest::addColumn<bool>("inviato");
    QTest::newRow("senza STARTTLS") << "semplice" << false << false;
    QTest::newRow("senza STARTTLS, consentito") << "semplice" << true << true;
    QTest::newRow("STARTTLS") << "starttls" << false << true;
    QTest::newRow("TLS dall'inizio") << "tls" << false << true;
}

void TstEmail::loginSenzaTls() {
    SALTA_SENZA_SMTP();
    QFETCH(QString, variante);
    QFETCH(bool, consentito);
    QFETCH(bool, inviato);
    const QString segno = QUuid::createUuid().toString(QUuid::Id128);
    const QString pdf = PdfProva(m_dir.filePath("login.pdf"), segno.toLatin1());
    const QString log = m_dir.filePath(QStringLiteral("login.log"));
    QFile::remove(log);
    OpzioniStampa o(QStringLiteral("x"));
    ImpostaSmtp(o, variante);
    // a password of this case's own where it must not leave, so the
    // server's record of logins shows whether it was sent
    const QString pwd = inviato ? qEnvironmentVariable("QUARVEL_SMTP_PWD") : "pw-" + segno;
    o.setValore(QStringLiteral("EmailPwd"), pwd);
    if (consentito)
        o.setValore(QStringLiteral("EmailLoginSenzaTLS"), QStringLiteral("S"));
    o.setValore(QStringLiteral("EmailInd"), QStringLiteral("mag@ditta.it"));
    o.setValore(QStringLiteral("EmailTo"), "uno-" + segno + "@esempio.it");
    o.setValore(QStringLiteral("EmailFileLog"), log);
    const QString cartella = Server(variante).cartella;
    const QStringList prima = Ricevuti(cartella);
    QString errore;
    try {
        SpedisciPdf(o, pdf);
    } catch (const Errore& e) {
        errore = e.descrizione();
    }
    const QString accessi = QString::fromUtf8(Leggi(qEnvironmentVariable("QUARVEL_SMTP_ACCESSI")));
    if (inviato) {
        QVERIFY2(errore.isEmpty(), qPrintable(errore));
        QVERIFY(!NuovoRicevuto(cartella, prima).isEmpty());
        QCOMPARE(ArriviCon(cartella, prima, segno.toLatin1()).size(), 1);
        QVERIFY2(accessi.contains(variante + QLatin1Char('\t')), qPrintable(accessi));
        return;
    }
    QVERIFY2(!accessi.contains(pwd), qPrintable(accessi));
    QVERIFY2(errore.contains(QLatin1String("STARTTLS")) &&
                 errore.contains(QLatin1String("EmailLoginSenzaTLS")),
             qPrintable(errore));
    QVERIFY(!errore.contains(pwd));
    QCOMPARE(ArriviCon(cartella, prima, segno.toLatin1()), QStringList());
    const QList<RigaLog> righe = RigheLog(log);
    QCOMPARE(righe.size(), 1);
    QCOMPARE(righe[0].campi.value(1), QString("RIFIUTATA"));
}

// The desktop mail client: each recipient after its own "--to", so that no
// text of the list is taken for an option; a list holding one ("--attach"
// and a file, "--bcc" and an address) is refused and the client never
// starts.  An empty subject or body is left out (the client refuses an
// option without its text).  The program started is a stand-in on the PATH
// that writes its arguments.
void TstEmail::clientPosta_data() {
    QTest::addColumn<QString>("elenco");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QStringList>("argomenti"); // "%1": the PDF; empty: refused
    QTest::newRow("due destinatari")
        << "uno@esempio.it, \"Due\" <due@esempio.it>"
        << "Corpo"
        << QStringList{"--utf8",        "--subject", "Oggetto", "--body",         "Corpo",
                       "--attach",      "%1",        "--to",    "uno@esempio.it", "--to",
                       "due@esempio.it"};
    QTest::newRow("senza testo") << "uno@esempio.it"
                                 << ""
                                 << QStringList{"--utf8", "--subject", "Oggetto",       "--attach",
                                                "%1",     "--to",      "uno@esempio.it"};
    QTest::newRow("allegato nascosto") << "uno@esempio.it; --attach; /home/mario/.ssh/id_rsa"
                                       << "Corpo" << QStringList();
    QTest::newRow("destinatario nascosto") << "uno@esempio.it, --bcc, spia@esempio.it"
                                           << "Corpo" << QStringList();
}

void TstEmail::clientPosta() {
    QFETCH(QString, elenco);
    QFETCH(QString, testo);
    QFETCH(QStringList, argomenti);
    const QString pdf = m_dir.filePath(QStringLiteral("o.pdf"));
    QFile(pdf).open(QIODevice::WriteOnly);
    const QString bin = m_dir.filePath(QStringLiteral("bin-xdg"));
    const QString uscita = m_dir.filePath(QStringLiteral("xdg-email.arg"));
    QFile::remove(uscita);
    QDir().mkpath(bin);
    {
        QFile f(bin + "/xdg-email");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\nprintf '%s\\0' \"$@\" > '%1.tmp'\nmv '%1.tmp' '%1'\n")
                    .arg(uscita)
                    .toUtf8());
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    OpzioniStampa o(QStringLiteral("x"));
    o.setValore(QStringLiteral("EmailTipoInvio"), "O");
    o.setValore(QStringLiteral("EmailInd"), QStringLiteral("\"Mag\" <mag@ditta.it>"));
    o.setValore(QStringLiteral("EmailTo"), elenco);
    o.setValore(QStringLiteral("EmailOggetto"), QStringLiteral("Oggetto"));
    o.setValore(QStringLiteral("EmailTesto"), testo);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", (bin + ":").toUtf8() + path);
    ImpostaAvvioProgramma({}); // the real start of a program
    QString errore;
    try {
        SpedisciPdf(o, pdf);
    } catch (const Errore& e) {
        errore = e.descrizione();
    }
    qputenv("PATH", path);
    ImpostaAvvioProgramma([this](const QString& p, const QStringList& a) {
        m_avviati << p + QLatin1Char(' ') + a.join(QLatin1Char('|'));
        return true;
    });
    if (argomenti.isEmpty()) {
        QVERIFY2(errore.contains(QLatin1String("inizia con \"-\"")), qPrintable(errore));
        QVERIFY(!QFile::exists(uscita));
        return;
    }
    QVERIFY2(errore.isEmpty(), qPrintable(errore));
    for (int i = 0; i < 300 && !QFile::exists(uscita); ++i)
        QTest::qWait(50);
    QStringList visti = QString::fromUtf8(Leggi(uscita)).split(QChar(0));
    if (!visti.isEmpty() && visti.last().isEmpty())
        visti.removeLast();
    argomenti.replaceInStrings(QStringLiteral("%1"), pdf);
    QCOMPARE(visti, argomenti);
}

// ---- a printed list, to PDF and by mail -----------------------------------------

void TstEmail::listaStampataEMandata_data() {
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("apri");
    QTest::newRow("semplice, aperto") << false << true;
    QTest::newRow("TLS") << true << false;
}

void TstEmail::listaStampataEMandata() {
    SALTA_SENZA_SMTP();
    QFETCH(bool, tls);
    QFETCH(bool, apri);
    parametriSmtp(tls);
    // the recipient chosen: the second address, the temporary one empty
    m_menu.valori[QStringLiteral("EmailToNum")] = QStringLiteral("2");
    m_menu.valori[QStringLiteral("EmailTo2")] = QStringLiteral("secondo@esempio.it");
    m_menu.valori[QStringLiteral("EmailInd")] = QStringLiteral("mag@ditta.it");
    m_menu.valori[QStringLiteral("EmailFlagNotifica")] = QStringLiteral("S");
    const QString cartella =
        qEnvironmentVariable(tls ? "QUARVEL_SMTP_POSTA_TLS" : "QUARVEL_SMTP_POSTA");
    prova::ListaMemoria lista;
    lista.colonne_ = {{"Articolo", "Articolo", 1440, {}, true, 8},
                      {"Giacenza", "Giacenza", 1440, "#,##0.00", true, 7}};
    for (int i = 0; i < 120; ++i)
        lista.righe_.push_back(
            {{QString("ART%1").arg(i, 3, 10, QChar('0')), i * 1.5},
             {QString("ART%1").arg(i, 3, 10, QChar('0')), QString::number(i * 1.5, 'f', 2)}});
    OpzioniStampa o(QStringLiteral("MagInv"));
    o.setValore(QStringLiteral("PdfAutomAbil"), true);
    o.setValore(QStringLiteral("EmailInvia"), true);
    const QString dove = m_dir.filePath(tls ? "pdf-tls" : "pdf-semplice");
    o.setValore(QStringLiteral("PdfNomeFile"), dove + "/<Title>");
    o.setValore(QStringLiteral("PdfAutomImpPar"),
                QVariantList{QString(), QString(), "S", apri ? "S" : "N", "N"});
    Stampa s;
    FrmStampaInCorso inCorso;
    s.setOfrmStampaInCorso(&inCorso);
    s.setOgOpzSta(&o);
    RichiestaStampaLista r;
    r.colonne = QStringLiteral("V");
    r.titolo = QStringLiteral("Inventario");
    r.ditta = QStringLiteral("Ditta di prova");
    const QStringList prima = Ricevuti(cartella);
    QVERIFY(s.StampaLista(lista, r) >= 2);
    const QString pdf = o.Valore(QStringLiteral("PdfFileScritto")).toString();
    QCOMPARE(pdf, dove + "/Inventario.pdf");
    QVERIFY(Leggi(pdf).startsWith("%PDF-"));
    QCOMPARE(m_avviati, apri ? QStringList{"xdg-open " + pdf} : QStringList());
    const QString nuovo = NuovoRicevuto(cartella, prima);
    QVERIFY(!nuovo.isEmpty());
    const Messaggio m = Scomponi(Leggi(nuovo));
    QCOMPARE(m.intestazioni.value("to"), QString("secondo@esempio.it"));
    QCOMPARE(Decodifica(m.intestazioni.value("subject")),
             QString("Stampa Inventario del 03/03/2024"));
    QCOMPARE(m.intestazioni.value("disposition-notification-to"), QString("<mag@ditta.it>"));
    QCOMPARE(QString::fromUtf8(m.parti.value(0).corpo),
             QString("Buongiorno,\r\nin allegato la stampa Inventario del 03/03/2024.\r\n"
                     "Cordiali saluti"));
    QCOMPARE(m.parti.value(1).intestazioni.value("content-type"),
             QString("application/pdf; name=\"Inventario.pdf\""));
    QCOMPARE(m.parti.value(1).corpo, Leggi(pdf));
    // the one message: where the file is and what it holds
    QCOMPARE(m_msg->testi().size(), 1);
    QVERIFY2(m_msg->testi().front().startsWith("File " + pdf + " scritto: 120 righe"),
             qPrintable(m_msg->testi().front()));
}

QTEST_MAIN(TstEmail)
#include "tst_email.moc"
