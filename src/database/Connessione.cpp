#include "database/Connessione.h"

#include "config/ParametriIni.h"
#include "database/FrmConn.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QLabel>
#include <QLineEdit>

namespace quarvel {

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString LF = QStringLiteral("\n");

// A named value of the menu; empty when there is no menu client.
QString ValoreMenu(const QString& nome) {
    IMenuClient* menu = Sessione().MenuClient;
    if (!menu)
        return {};
    return menu->LeggiValore(nome, QString());
}

// Makes the menu ask the operator for the SQL login (its own dialog); the
// reply is not used: "SqlLogin" and "SqlPwd" are read afterwards.
void ChiediLoginSql() {
    if (IMenuClient* menu = Sessione().MenuClient)
        menu->LeggiValore(QStringLiteral("ChiediPwdSql"), QString());
}

void ImpostaLoginSql(IComponenteDati& componente) {
    componente.ImpostaParametro(QStringLiteral("DbSqlPubUID"),
                                ValoreMenu(QStringLiteral("SqlLogin")));
    componente.ImpostaParametro(QStringLiteral("DbSqlPubPWD"),
                                ValoreMenu(QStringLiteral("SqlPwd")));
}

// A value of an ODBC connection text: as it is, unless it could end the
// attribute early, be read as a braced value or lose its outer blanks.
QString ValoreOdbc(const QString& v) {
    if (!v.contains(QLatin1Char(';')) && !v.startsWith(QLatin1Char('{')) && v == v.trimmed())
        return v;
    QString s = v;
    s.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + s + QLatin1Char('}');
}

bool Assoluto(const QString& p) {
    return p.mid(1, 1) == QLatin1String(":") || p.left(2) == QLatin1String("\\\\") ||
           p.startsWith(QLatin1Char('/'));
}

} // namespace

// ---- Kinds of database name -------------------------------------------------------

bool EDbSql(const QString& nome) {
    return TipoDiDatabase(nome) != TipoDatabase::File;
}

bool EDbFile(const QString& nome) {
    return nome.left(5).toUpper() != QLatin1String("ODBC;") && nome.contains(QLatin1Char('.'));
}

// ---- Messages -------------------------------------------------------------------------

namespace testi_connessione {

QString Str(int numero) {
    return numero < 0 ? QString::number(numero) : QLatin1Char(' ') + QString::number(numero);
}

QString IniNonValido(const QString& fileIni) {
    return QStringLiteral("File di inizializzazioni: ") + LF + fileIni + LF +
           QStringLiteral(" non trovato ") + QStringLiteral(" o con informazioni non corrette.") +
           LF + QStringLiteral("Correggere e rieseguire il programma.");
}

QString ParametriLetti(const QString& fileParametri, const QString& nomeDb,
                       const QString& connectDb) {
    return QStringLiteral("Parametri letti:") + CRLF + QStringLiteral("File dei parametri: ") +
           fileParametri + CRLF + QStringLiteral("Database: ") + nomeDb + CRLF +
           QStringLiteral("Tipo Connessione: ") + connectDb + CRLF;
}

QString Recuperare(const QString& nomeDb) {
    return QStringLiteral("Errore nell'apertura del database ") + nomeDb + CRLF +
           QStringLiteral("Vuoi tentare di recuperarlo");
}

QString NonRecuperato(const QString& nomeDb, const QString& motivo) {
    return QStringLiteral("Il database ") + nomeDb + QStringLiteral(" non è stato recuperato.") +
           CRLF + motivo;
}

QString ErroreApertura(int numero, const QString& testo) {
    return QStringLiteral("Errore ") + Str(numero) +
           QStringLiteral(" nell'apertura del database.") + LF +
           QStringLiteral("Correggere e riprovare. (") + testo + QStringLiteral(") ");
}

} // namespace testi_connessione

using namespace testi_connessione;

// ---- The engine connection ----------------------------------------------------------

AperturaDao TestoAperturaDao(const QString& nome, const QString& login, const QString& password) {
    QString credenziali;
    if (!Utilita().EVuoto(login, Tipo::Testo, 1, false)) {
        credenziali = QStringLiteral("UID=") + ValoreOdbc(login);
        if (!password.isEmpty())
            credenziali += QStringLiteral(";PWD=") + ValoreOdbc(password);
    }
    AperturaDao a;
    switch (TipoDiDatabase(nome)) {
    case TipoDatabase::TestoOdbc:
        a.connessione = nome;
        break;
    case TipoDatabase::FileOrigineDati:
        a.connessione =
            QStringLiteral("ODBC;FIleDSN=") + ValoreOdbc(nome) + QLatin1Char(';') + credenziali;
        break;
    case TipoDatabase::File:
        a.nomeDatabase = nome;
        break;
    case TipoDatabase::OrigineDati:
        a.connessione =
            QStringLiteral("ODBC;DSN=") + ValoreOdbc(nome) + QLatin1Char(';') + credenziali;
        break;
    }
    return a;
}

QSqlDatabase ApriDbDao(const QString& nome, const QString& login, const QString& password,
                       const QString& nomeConnessione) {
    const AperturaDao a = TestoAperturaDao(nome, login, password);
    return ApriDbMotore(a.nomeDatabase, a.connessione.value_or(QString()), nomeConnessione);
}

// ---- Opening through the data-access component -------------------------------------

QString ApriDbDitta(IComponenteDati& componente, const QString& nome, const QString& password,
                    const QString& connessione, const std::optional<QVariant>& opzione) {
    QString risposta;
    const bool origineOdbc = EDbSql(nome) && TipoDiDatabase(nome) != TipoDatabase::TestoOdbc;

    if (origineOdbc) {
        if (Utilita().EVuoto(componente.Parametro(QStringLiteral("DbSqlPubPWD")), Tipo::Testo, 1,
                             false)) {
            if (Utilita().EVuoto(ValoreMenu(QStringLiteral("SqlLogin")), Tipo::Testo, 1, false))
                ChiediLoginSql();
            ImpostaLoginSql(componente);
        }
    } else {
        componente.ImpostaParametro(QStringLiteral("DbAccPWD"), password);
    }

    const bool esclusivo = opzione ? opzione->toBool() : false;
    const QString testo = connessione.trimmed().isEmpty() ? QString() : connessione;

    for (;;) {
        try {
            componente.Apri(nome, 0, esclusivo, false, testo, risposta);
            return risposta;
        } catch (const Errore& e) {
            ImpostaErrore(e);
            if (e.numero() == NumErr::DatabaseNonRiconosciuto)
                throw; // the caller offers the repair
            if (e.numero() == NumErr::OperazioneAnnullata && origineOdbc) {
                const int r = msgCom(QStringLiteral("Utente o password non validi per SQL"),
                                     QStringLiteral("&Riprovare"), QStringLiteral("&Annulla"));
                if (r != 1)
                    return QString();
                ChiediLoginSql();
                ImpostaLoginSql(componente);
                risposta.clear();
                continue;
            }
            if (e.numero() == NumErr::PasswordNonValida) {
                risposta = QStringLiteral("Err: ") + QString::number(NumErr::PasswordNonValida);
                msgCom(QStringLiteral("Password non valida per questo database"),
                       QStringLiteral("&Ok"));
                return risposta;
            }
            risposta = QStringLiteral("Err: ") + Utilita().NumeroInTesto(e.numero());
            MsgErrfrm();
            return risposta;
        }
    }
}

// ---- Choice of the parameter files and connection at start ------------------------

namespace {

// Offers the repair of a damaged database file; true when the operator
// accepted it and the file was repaired.  A repair that could not be done
// says why.
bool OffriRecupero(const QString& nomeDb) {
    if (MsgBox(Recuperare(nomeDb), vbOKCancel | vbQuestion) != vbOK)
        return false;
    CancellaErrore();
    const int esito = Utilita().RiparaDatabase(nomeDb);
    if (esito == 0)
        return true;
    const ErroreCorrente& e = Err();
    const QString motivo = e.numero == esito && !e.descrizione.trimmed().isEmpty()
                               ? e.descrizione
                               : QStringLiteral("La riparazione è terminata con l'errore") +
                                     Str(esito) + QLatin1Char('.');
    MsgBox(NonRecuperato(nomeDb, motivo), vbCritical);
    return false;
}

// Runs an opening; a damaged file (3343) is offered for repair and, when the
// repair succeeds, opened again.  Any other failure shows the critical box.
// True when the opening went through.  liberaFile closes what the opening
// had already opened on the file, which the repair needs free.
template <typename F, typename L = void (*)()>
bool ConRecupero(
    const QString& nomeDb, F&& apertura, L&& liberaFile = [] {}) {
    for (;;) {
        try {
            apertura();
            return true;
        } catch (const Errore& e) {
            ImpostaErrore(e);
            if (e.numero() == NumErr::DatabaseNonRiconosciuto) {
                liberaFile();
                if (OffriRecupero(nomeDb))
                    continue;
                return false;
            }
            MsgBox(ErroreApertura(e.numero(), e.descrizione()), vbCritical);
            return false;
        }
    }
}

void VisibilitaDa(QWidget* w, qint16 vedi) {
    if (vedi == -1)
        w->setVisible(true);
    else if (vedi == 1)
        w->setVisible(false);
}

} // namespace

int ScegliIniEConnetti(const QString& NomeFile, IComponenteDati& componente, QString& risultato,
                       const ParametriScegliIni& p) {
    ContestoSessione& s = Sessione();
    s.PwdDb = ValoreMenu(QStringLiteral("PwdDbAzie"));

    if (TrovaFileIniPrincipale(NomeFile, p.Cartella1, p.Cartella2, p.RigaComando) != 0)
        return -1;

    const QString sezione = p.sezione.value_or(QStringLiteral("Connessioni"));

    for (;;) {
        QString visParam;
        if (ScegliFileIniParametri(visParam) != 0)
            return -1;

        if (p.NomeNoto == 0) {
            if (LeggiIni(sezione, QStringLiteral("NomeDB"), QString(), s.NomeDb).toInt() == 0) {
                MsgBox(IniNonValido(s.FileIniPrincipale), vbCritical);
                RilasciaOggettiSessione();
                return -1;
            }
            if (p.ComponiDrive == -1) {
                QString driveDb;
                QString dirDb;
                LeggiIni(sezione, QStringLiteral("DriveDB"), QString(), driveDb);
                if (sezione.compare(QLatin1String("Connessioni"), Qt::CaseInsensitive) == 0)
                    LeggiIni(QStringLiteral("Base"), QStringLiteral("DirDB"), QString(), dirDb);
                if (EDbFile(s.NomeDb))
                    s.NomeDb = Utilita().ComponiPercorso(s.NomeDb, driveDb, dirDb, 1);
            }
            LeggiIni(sezione, QStringLiteral("Connect"), QString(), s.ConnectDb);
        }

        const QString vis = visParam.toUpper();
        if (vis == QLatin1String("TUTTO") || vis == QLatin1String("DB1")) {
            const int r = MsgBox(ParametriLetti(s.FileIniParametri, s.NomeDb, s.ConnectDb),
                                 vbYesNoCancel | vbQuestion);
            if (r == vbNo)
                continue;
            if (r != vbYes) {
                RilasciaOggettiSessione();
                return -1;
            }
        }
        break;
    }

    if (p.Connetti == -1) {
        const bool ok = ConRecupero(s.NomeDb, [&] {
            FrmConn* f = frmConn();
            VisibilitaDa(f->imgLogo(), p.VediLogo);
            VisibilitaDa(f->labTitolo(), p.VediTitolo);
            if (!p.Titolo.isEmpty())
                f->labTitolo()->setText(p.Titolo);
            if (!p.Versione.isEmpty()) {
                f->labVersione()->setText(p.Versione);
                f->labVersione()->setVisible(true);
            }
            if (!p.Data.isEmpty()) {
                f->LabDataVer()->setText(p.Data);
                f->LabDataVer()->setVisible(true);
            }
            f->MostraConnessione(QStringLiteral("Connessione primaria al database"), s.NomeDb);
            risultato =
                ApriDbDitta(componente, s.NomeDb, s.PwdDb, s.ConnectDb, p.opzioneConnessione);
        });
        if (!ok) {
            RilasciaOggettiSessione();
            return -1;
        }
        if (p.ScaricaConn != 0)
            ScaricaFrmConn();
    }

    s.PwdDbMenu = ValoreMenu(QStringLiteral("AccMenuPwd"));
    return 0;
}

bool RecuperaDbDittaDanneggiato() {
    ContestoSessione& s = Sessione();
    if (TipoDiDatabase(s.NomeDb) != TipoDatabase::File)
        return false;
    // The repair needs the file free of every connection, this program's too.
    if (s.ComponenteDati && !s.RisultatoConnessione.isEmpty() &&
        !s.RisultatoConnessione.startsWith(QLatin1String("Err:"), Qt::CaseInsensitive))
        s.ComponenteDati->Chiudi(s.RisultatoConnessione);
    s.RisultatoConnessione.clear();
    if (s.DbDitta.isValid()) {
        const QString nome = s.DbDitta.connectionName();
        s.DbDitta.close();
        s.DbDitta = QSqlDatabase();
        QSqlDatabase::removeDatabase(nome);
    }
    return OffriRecupero(s.NomeDb);
}

// ---- The suite's common database ---------------------------------------------------

DatabaseComune& DbComune() {
    static DatabaseComune d;
    return d;
}

int ApriDbMenu() {
    ContestoSessione& s = Sessione();
    DatabaseComune& d = DbComune();

    if (LeggiIni(QStringLiteral("Menu"), QStringLiteral("NomeDB"), QString(), d.NomeDbMenu)
            .toInt() == 0) {
        MsgBox(IniNonValido(s.FileIniPrincipale), vbCritical);
        return -1;
    }
    if (!Assoluto(d.NomeDbMenu)) {
        LeggiIni(QStringLiteral("Menu"), QStringLiteral("DriveDB"), QString(), d.DriveDbMenu);
        d.NomeDbMenu = d.DriveDbMenu + d.NomeDbMenu;
    } else {
        d.DriveDbMenu.clear();
    }
    LeggiIni(QStringLiteral("Menu"), QStringLiteral("Connect"), QString(), d.ConnectDbMenu);

    // The steps run in order; a repaired file repeats the step that failed.
    int passo = 0;
    const bool ok = ConRecupero(
        d.NomeDbMenu,
        [&] {
            if (!s.ComponenteDati)
                throw Errore(NumErr::OggettoNonImpostato,
                             QStringLiteral("Componente di accesso ai dati non disponibile"),
                             QStringLiteral("ApriDbMenu"));
            if (passo == 0) {
                frmConn()->MostraConnessione(QStringLiteral("Connessione database Comune"),
                                             d.NomeDbMenu);
                passo = 1;
            }
            if (passo == 1) {
                d.RisultatoConnessioneMenu =
                    ApriDbDitta(*s.ComponenteDati, d.NomeDbMenu, s.PwdDbMenu, d.ConnectDbMenu);
                passo = 2;
            }
            if (passo == 2) {
                d.DbMenu =
                    ApriDbDao(d.NomeDbMenu, ValoreMenu(QStringLiteral("SqlLogin")),
                              ValoreMenu(QStringLiteral("SqlPwd")), QStringLiteral("DbMenu"));
                passo = 3;
            }
        },
        [&] {
            // The component's connection, open when the engine's failed, goes
            // first; a repaired file is opened by both again.
            if (passo == 2 && s.ComponenteDati) {
                s.ComponenteDati->Chiudi(d.RisultatoConnessioneMenu);
                d.RisultatoConnessioneMenu.clear();
                passo = 1;
            }
        });
    // The window goes away on failure too: the e-mail preparation goes on
    // without the common database and must not leave it on screen.
    ScaricaFrmConn();
    if (!ok || Utilita().EVuoto(d.RisultatoConnessioneMenu, Tipo::Testo, 1, false) ||
        d.RisultatoConnessioneMenu.startsWith(QLatin1String("Err:"), Qt::CaseInsensitive))
        return -1;
    return 0;
}

// ---- The connection window at start ------------------------------------------------

void PreparaFormConn(qint16 carica, qint16 mostraImmagineAccess) {
    FrmConn* f = carica != 0 ? frmConn() : frmConnSeCaricata();
    if (!f)
        return;
    f->labVersione()->setText(QStringLiteral("Versione ") + ValoreMenu(QStringLiteral("Versione")));
    f->LabDataVer()->setText(QStringLiteral("del ") + ValoreMenu(QStringLiteral("DataVersione")));
    f->imgLogo()->setVisible(true);
    f->imgAccess()->setVisible(mostraImmagineAccess != 0);
}

} // namespace quarvel
