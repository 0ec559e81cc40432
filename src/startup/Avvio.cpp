#include "startup/Avvio.h"

#include "config/ParametriIni.h"
#include "database/Connessione.h"
#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "startup/OggettoCondiviso.h"
#include "startup/Principale.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QTimer>
#include <new>

namespace quarvel {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The holder of the lookup component's events (scBelUtilPrg).
class scBelUtilPrg final : public IEventiAiuto {
public:
    void ClsMainMenuFrm() override { AttivaMenu(); }
    void ClsPrepDecod(const QString&, const QString&, const QString&, const QVariant&,
                      const QVariant&, const QVariant&, QVariant& pvRitorno) override {
        pvRitorno = false;
    }
    void LanciaKeyPrim(const QString& k) override { ChiaveLancioPrim() = k; }
    void LanciaKeySec(const QString& k) override { ChiaveLancioSec() = k; }
};

struct StatoAvvio {
    AmbienteAvvio ambiente;
    std::unique_ptr<IComponenteDati> componente;
    std::unique_ptr<IComponenteAiuto> aiuto;
    scBelUtilPrg eventiAiuto;
    std::unique_ptr<OggettoCondiviso> condiviso;
    QString chiavePrim;
    QString chiaveSec;
};

StatoAvvio& StatoDellAvvio() {
    static StatoAvvio a;
    return a;
}

IMenuClient& Menu() {
    IMenuClient* m = Sessione().MenuClient;
    if (!m)
        throw Errore(NumErr::ChiamataNonValida, QStringLiteral("Il menu non è collegato"),
                     QStringLiteral("MenuClient"));
    return *m;
}

QString Valore(const QString& nome) {
    return Menu().LeggiValore(nome, QString());
}

bool Vuoto(const QString& t) {
    return Utilita().EVuoto(t);
}

QString ConPredefinito(const QString& t, const QString& predefinito) {
    return Vuoto(t) ? predefinito : t;
}

// A colour as the menu keeps it: a decimal number, or hexadecimal with &H.
quint32 Colore(const QString& testo) {
    QString t = testo.trimmed();
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        t = t.mid(2);
        if (t.endsWith(QLatin1Char('&')))
            t.chop(1);
        bool ok = false;
        const quint32 v = t.toUInt(&ok, 16);
        return ok ? v : 0;
    }
    return static_cast<quint32>(static_cast<qint64>(Utilita().TestoInNumero(t)));
}

// The decimals of a currency from the table Monete.
qint16 DecimaliMoneta(const QString& moneta) {
    ContestoSessione& s = Sessione();
    if (!s.ComponenteDati)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Componente dati non creato"),
                     QStringLiteral("LeggiDatiDitta"));
    auto rs = s.ComponenteDati->ApriRecordset(QStringLiteral("Select * from Monete") +
                                                  QStringLiteral(" where moneta = ") +
                                                  Utilita().ValoreSql(moneta),
                                              s.RisultatoConnessione);
    const QVariant v = rs->Campo(QStringLiteral("NumDec"));
    rs->Close();
    return static_cast<qint16>(v.isNull() ? 0 : v.toInt());
}

void MessaggioClasseC(int numero, const QString& testo) {
    if (numero == NumErr::ChiamataNonValida)
        MsgBox(testi_avvio::MenuNonInEsecuzione(), vbCritical);
    else if (numero == NumErr::MemoriaEsaurita)
        MsgBox(testi_avvio::MemoriaEsaurita(), vbCritical);
    else
        MsgBox(testi_avvio::ErroreGenerico(numero, testo), vbOKOnly);
}

} // namespace

void ImpostaAmbienteAvvio(AmbienteAvvio ambiente) {
    StatoDellAvvio().ambiente = std::move(ambiente);
}

const AmbienteAvvio& Ambiente() {
    return StatoDellAvvio().ambiente;
}

QString& ChiaveLancioPrim() {
    return StatoDellAvvio().chiavePrim;
}
QString& ChiaveLancioSec() {
    return StatoDellAvvio().chiaveSec;
}

void Main() {
    QString testo;
    AvviaProgramma(36, testo);
}

namespace {

// 1 to 3: the program's kind and the menu's options of the command line.
void LeggiOpzioniMenu(ContestoSessione& s, const QString& riga) {
    const IUtilita& u = Utilita();
    // 1
    s.TipoProgramma = QStringLiteral("p");
    s.RispostaFine.clear();
    // 2
    s.OpzioneM = u.ValoreOpzione(riga, QStringLiteral("M")).trimmed();
    // 3
    s.OpzioneP = u.ValoreOpzione(riga, QStringLiteral("P")).trimmed();
    s.OpzionePResto.clear();
    if (const auto k = s.OpzioneP.indexOf(QLatin1Char(' ')); k >= 0) {
        s.OpzionePResto = s.OpzioneP.mid(k + 1);
        s.OpzioneP = s.OpzioneP.left(k);
    }
}

// 5: class A, the link to the menu.  False after telling the operator.
bool CollegaMenu(ContestoSessione& s) {
    try {
        ScMenuComandiClie* link = CreaCollegamentoMenu();
        s.MenuClient = link->ogMenuClient();
        s.MenuClient->Collega(s.OpzioneM, s.OpzioneP, s.OpzionePResto);
        s.SegmentoMenu =
            s.MenuClient->InviaComando(QStringLiteral("PrepProcCorr"), QStringLiteral("Tutti"))
                .toString();
        return true;
    } catch (...) {
        msgCom(testi_avvio::MenuNonInEsecuzione(), QStringLiteral("&Ok"));
        return false;
    }
}

// 6: class B, the help file the menu names.  False after telling the
// operator.
bool ImpostaAiutoDelMenu(ContestoSessione& s) {
    try {
        ImpostaFileAiuto(
            Utilita()
                .ValoreOpzione(s.MenuClient->ParametriLancio().osParam, QStringLiteral("H"))
                .trimmed());
        return true;
    } catch (...) {
        msgCom(testi_avvio::ProblemiCollegamento(), QStringLiteral("&Ok"));
        return false;
    }
}

// 7 to 9: the parameter files and the company's connection through the
// data component (created once).  False when the program is to close.
bool ConnettiDitta(ContestoSessione& s, const QString& riga) {
    // 7
    s.FileIniPrincipale = s.MenuClient->FileIni();
    PreparaFormConn(-1, -1);
    s.NomeDb = s.MenuClient->LeggiValore(QStringLiteral("NomeDBAzie"), QString());
    s.ConnectDb = s.MenuClient->LeggiValore(QStringLiteral("ConnectDBAzie"), QString());
    // 8
    if (!StatoDellAvvio().componente) {
        StatoDellAvvio().componente =
            Ambiente().creaComponenteDati ? Ambiente().creaComponenteDati() : CreaComponenteDati();
        s.ComponenteDati = StatoDellAvvio().componente.get();
    }
    ParametriScegliIni p;
    p.NomeNoto = -1;
    p.ComponiDrive = -1;
    p.Connetti = -1;
    p.ScaricaConn = 0;
    p.RigaComando = riga;
    if (ScegliIniEConnetti(QStringLiteral("belcor.ini"), *StatoDellAvvio().componente,
                           s.RisultatoConnessione, p) != 0)
        return false;
    // 9
    return !Utilita().EVuoto(s.RisultatoConnessione) &&
           s.RisultatoConnessione.left(4).compare(QLatin1String("Err:"), Qt::CaseInsensitive) != 0;
}

// 12: the lookup component (created once), given the session's objects.
void PreparaComponenteAiuto(ContestoSessione& s) {
    if (!Ambiente().creaComponenteAiuto)
        return;
    if (!StatoDellAvvio().aiuto)
        StatoDellAvvio().aiuto = Ambiente().creaComponenteAiuto();
    IComponenteAiuto* aiuto = StatoDellAvvio().aiuto.get();
    s.ComponenteAiuto = aiuto;
    aiuto->ImpostaEventi(&StatoDellAvvio().eventiAiuto);
    try {
        aiuto->FormAiuto()->widget()->setProperty("odRisVid", s.FattoreHelp);
    } catch (...) {
        // The lookup window keeps its own size: the lookups work all the
        // same.
    }
    if (!s.OggettoCondiviso) {
        StatoDellAvvio().condiviso = std::make_unique<OggettoCondiviso>();
        s.OggettoCondiviso = StatoDellAvvio().condiviso.get();
    }
    QWidget* principale = s.FormPrincipale;
    QObject* condiviso = s.OggettoCondiviso;
    aiuto->InizializzaAiuto(principale, s.MenuClient, condiviso, s.ComponenteDati,
                            s.RisultatoConnessione, s.DbDitta, s.ColoreSfondoNormale,
                            s.ColoreErrore, s.TipoProgramma, s.FormatoData);
    s.FormPrincipale = principale;
    s.OggettoCondiviso = condiviso;
    s.FormAiuto = aiuto->FormAiuto()->widget();
}

// 13: the lookup window's cursor shift of the operator's parameters.
void ImpostaSpostamentoAiuto(ContestoSessione& s) {
    if (!s.FormAiuto)
        return;
    const QString spost =
        LeggiParametroPersonale(QStringLiteral("Help"), QStringLiteral("HlpSpost")).toString();
    if (!Utilita().EVuoto(spost)) {
        s.FormAiuto->setProperty("obLockSpostaCurs", true);
        s.FormAiuto->setProperty("oiSpostaCurs", Utilita().TestoInIntero(spost));
    }
}

// 15: the program's segment added to the menu's.
void AggiungiSegmento(ContestoSessione& s, qint32 numeroProgramma, const QString& testo) {
    const QVariantList lista{numeroProgramma == -1 ? QVariant(testo) : QVariant(numeroProgramma),
                             s.SegmentoMenu};
    const double versMenu = Utilita().TestoInNumero(Valore(QStringLiteral("VersMenu")));
    if (versMenu >= 1.07)
        s.SegmentoMenu =
            s.MenuClient->InviaComando(QStringLiteral("AddSeg"), QStringLiteral("Tutti"), lista)
                .toString();
    else
        s.MenuClient->InviaComando(QStringLiteral("AddSeg"), QStringLiteral("Tutti"),
                                   numeroProgramma);
}

// 7 to the end: class C, the company loaded and the form of the command
// line opened; raises what fails.
void CaricaDittaEApriForm(ContestoSessione& s, const QString& riga, qint32 numeroProgramma,
                          const QString& testo) {
    if (!ConnettiDitta(s, riga)) {
        RichiediChiusura();
        return;
    }
    // 10
    InizializzaSessione();
    // 11
    RisolviFattoriScala();
    // 12
    PreparaComponenteAiuto(s);
    // 13
    ImpostaSpostamentoAiuto(s);
    // 14
    const QString nomeForm = Utilita().ValoreOpzione(riga, QStringLiteral("F")).trimmed();
    // 15
    AggiungiSegmento(s, numeroProgramma, testo);
    // 16
    LeggiIni(QStringLiteral("Parametri Generali"), QStringLiteral("BeepCome"), QString(),
             s.BeepCome);
    // 17
    const ParametriLancioMenu l = s.MenuClient->ParametriLancio();
    ApriForm(nomeForm, s.OpzionePResto, l.osChiLancia, l.osKeySecLancia, l.osParamLancia);
}

} // namespace

void AvviaProgramma(qint32 numeroProgramma, QString& testo) {
    ContestoSessione& s = Sessione();
    const QString riga = Ambiente().rigaComando;

    s.NumeroProgramma = numeroProgramma;
    s.TestoProgramma = testo;
    LeggiOpzioniMenu(s, riga);
    // 4
    s.FormPrincipale = CaricaFrmPrincipale();
    RegistraRilascioSessione([] { RilasciaOggetti(); });

    if (!CollegaMenu(s) || !ImpostaAiutoDelMenu(s)) {
        RichiediChiusura();
        return;
    }

    // A damaged company file met after the opening (a read of a damaged
    // page) is offered for repair as on opening, and the repaired file is
    // loaded again from here.
    for (;;) {
        int numero = 0;
        QString descrizione;
        try {
            CaricaDittaEApriForm(s, riga, numeroProgramma, testo);
            return;
        } catch (const Errore& e) {
            ImpostaErrore(e);
            numero = e.numero();
            descrizione = e.descrizione();
        } catch (const std::bad_alloc&) {
            numero = NumErr::MemoriaEsaurita;
            descrizione = QStringLiteral("Memoria esaurita");
            ImpostaErrore(numero, descrizione);
        } catch (const std::exception& e) {
            numero = 51;
            descrizione = QString::fromLocal8Bit(e.what());
            ImpostaErrore(numero, descrizione);
        }
        if (numero == NumErr::DatabaseNonRiconosciuto &&
            TipoDiDatabase(s.NomeDb) == TipoDatabase::File) {
            if (RecuperaDbDittaDanneggiato())
                continue;
        } else {
            MessaggioClasseC(numero, descrizione);
        }
        RichiediChiusura();
        return;
    }
}

void InizializzaSessione() {
    ContestoSessione& s = Sessione();
    qint16 flag = 0;
    LeggiDatiDitta(flag);
    s.ImmaginiArticoli =
        LeggiParametroPersonale(QStringLiteral("Articoli"), QStringLiteral("Immagini"),
                                QVariant(QStringLiteral("N")))
            .toString();
    if (s.ImmaginiArticoli.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0) {
        if (LeggiIni(QStringLiteral("Base"), QStringLiteral("DirImgArt"), QString(), s.DirImmagini)
                .toInt() == 0)
            LeggiIni(QStringLiteral("Base"), QStringLiteral("DirImmagini"), QString(),
                     s.DirImmagini);
        const QString d = s.DirImmagini;
        if (d.mid(1, 1) != QLatin1String(":") && d.left(2) != QLatin1String("\\\\")) {
            QString drive;
            LeggiIni(QStringLiteral("Base"), QStringLiteral("DriveDB"), QString(), drive);
            s.DirImmagini = Utilita().ComponiPercorso(QString(), drive, d, 1);
        }
    }
    LeggiIni(QStringLiteral("NomiParagLettFile"), QStringLiteral("Carmov"),
             QStringLiteral("LettArtDafile"), s.SezioneLetturaFile);
}

void LeggiDatiDitta(qint16& soloImpostazioni) {
    ContestoSessione& s = Sessione();
    s.DescrizioneDitta = Valore(QStringLiteral("DescAzie"));
    s.Moneta = ConPredefinito(Valore(QStringLiteral("Ditta.Moneta")), QStringLiteral("Euro"));
    s.CodLira = ConPredefinito(Valore(QStringLiteral("Ditta.CodLira")), QStringLiteral("L."));
    s.CodEuro = ConPredefinito(Valore(QStringLiteral("Ditta.CodEuro")), QStringLiteral("Euro"));
    s.OperCambio = ConPredefinito(Valore(QStringLiteral("Ditta.OperCambio")), QStringLiteral("/"));
    s.CambioLiraEuro =
        ConPredefinito(Valore(QStringLiteral("Ditta.CambioLiraEuro")), QStringLiteral("1936,27"));
    s.DecimaliLira = soloImpostazioni != 0 ? 0 : DecimaliMoneta(s.CodLira);
    s.DecimaliEuro = soloImpostazioni != 0 ? 2 : DecimaliMoneta(s.CodEuro);
    s.ColoreErrore = 0x0000FF;
    s.ColoreSfondoNormale = 0x80000005;
    const QString conFocus = Valore(QStringLiteral("ColBackGotFocus"));
    s.ColoreConFocus = conFocus.isEmpty() ? 0xFFFF80 : Colore(conFocus);
    const QString senzaFocus = Valore(QStringLiteral("ColBacklostFocus"));
    s.ColoreSenzaFocus = senzaFocus.isEmpty() ? 0x80000005 : Colore(senzaFocus);
    s.ColoreForm = Colore(
        LeggiParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("ColBackForm")).toString());
    s.StatoFinestra = CalcolaStatoFinestra(
        LeggiParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("Massimizzato")).toString(),
        Menu().CodiceProgramma());
    s.TastierinoVirgola =
        LeggiParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("TastierinoVirgola"))
            .toString();
    s.DecodHelpAbil =
        LeggiParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("DecodHelpAbil"))
            .toString();
    s.DecodHelpPersKey =
        LeggiParametroPersonale(QStringLiteral("Tutti"), QStringLiteral("DecodHelpPersKey"))
            .toString()
            .compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
    s.DbDitta =
        ApriDbDao(s.NomeDb, Valore(QStringLiteral("SqlLogin")), Valore(QStringLiteral("SqlPwd")));
    LeggiIni(QStringLiteral("Configurazioni"), QStringLiteral("FormatData"),
             QStringLiteral("dd/mm/yyyy"), s.FormatoData);
    if (!StatoDellAvvio().condiviso)
        StatoDellAvvio().condiviso = std::make_unique<OggettoCondiviso>();
    StatoDellAvvio().condiviso->ImpostaAttivo(true);
    StatoDellAvvio().condiviso->ImpostaMenuClient(s.MenuClient);
    s.OggettoCondiviso = StatoDellAvvio().condiviso.get();
    s.ChiusuraDaMenu = false;
}

QVariant LeggiParametroPersonale(const QString& sezione, const QString& chiave,
                                 const std::optional<QVariant>& predefinito, QVariant* grezzo,
                                 const std::optional<QString>& sezione2,
                                 const std::optional<QString>& chiave2) {
    IMenuClient& m = Menu();
    QString r = m.LeggiValore(NomeParametroPersonale(sezione, chiave), QString());
    if (r == ValoreMancanteMenu && sezione2 && chiave2)
        r = m.LeggiValore(NomeParametroPersonale(*sezione2, *chiave2), QString());
    if (grezzo)
        *grezzo = r;
    if (r == ValoreMancanteMenu && predefinito)
        return *predefinito;
    return r;
}

QString CalcolaStatoFinestra(const QString& lista, const QString& codiceProgramma) {
    QString l = lista;
    if (!l.endsWith(QLatin1Char(',')))
        l += QLatin1Char(',');
    // An empty code would match any list by its comma alone.
    const bool perCodice = !codiceProgramma.trimmed().isEmpty() &&
                           l.contains(codiceProgramma + QLatin1Char(','), Qt::CaseInsensitive);
    if (perCodice || l.compare(QLatin1String("tutti,"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("2");
    return {};
}

bool RichiediChiusura() {
    FrmPrincipale* p = frmPrincipale();
    if (!p)
        p = CaricaFrmPrincipale();
    p->oiChiudi = 0;
    p->timChiudi()->start();
    return true;
}

void RilasciaComponenteDati() {
    Sessione().ComponenteDati = nullptr;
    StatoDellAvvio().componente.reset();
}

void TerminaAvvio() {
    DistruggiPrincipale();
    ContestoSessione& s = Sessione();
    // the lookup's lists read the company connection: they go first
    s.ComponenteAiuto = nullptr;
    s.FormAiuto = nullptr;
    StatoDellAvvio().aiuto.reset();
    if (s.DbDitta.isValid()) {
        const QString nome = s.DbDitta.connectionName();
        s.DbDitta.close();
        s.DbDitta = QSqlDatabase();
        QSqlDatabase::removeDatabase(nome);
    }
    StatoDellAvvio().componente.reset();
    StatoDellAvvio().condiviso.reset();
    StatoDellAvvio().chiavePrim.clear();
    StatoDellAvvio().chiaveSec.clear();
    RegistraRilascioSessione({});
    AzzeraSessione();
    CancellaErrore();
}

namespace testi_avvio {

QString MenuNonInEsecuzione() {
    return QStringLiteral("Il menu principale non è in esecuzione") + CrLf +
           QStringLiteral("Questo programma non può essere eseguito autonomamente");
}
QString ProblemiCollegamento() {
    return QStringLiteral("Problemi col collegamento col menù") + CrLf +
           QStringLiteral("Forse questo programma non è stato lanciato correttamente");
}
QString MemoriaEsaurita() {
    return QStringLiteral("Memoria esaurita") + CrLf +
           QStringLiteral("Chiudere qualche programma e riprovare");
}
QString ErroreGenerico(int numero, const QString& testo) {
    return QStringLiteral("Errore (") + QString::number(numero) + QStringLiteral("): ") + testo +
           CrLf + QStringLiteral("Probabilmente il menù non è stato avviato correttamente");
}

} // namespace testi_avvio

} // namespace quarvel
