#include "startup/Principale.h"

#include "startup/PrincipaleInterno.h"

#include "database/Connessione.h"
#include "database/FrmConn.h"
#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "startup/Avvio.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/FormDati.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMap>
#include <QMetaObject>
#include <QSqlDatabase>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

namespace quarvel {

namespace {

struct Stato {
    std::unique_ptr<FrmPrincipale> principale;
    std::unique_ptr<ScMenuComandiClie> collegamento;
    // Released, destroyed at the end of the process: a reply to the menu
    // may still travel on the client's connection.
    std::vector<std::unique_ptr<ScMenuComandiClie>> collegamentiRilasciati;
    std::vector<std::unique_ptr<IMenuClient>> clientRilasciati;
    // The open instance of each form, by name in lower case.
    QMap<QString, QPointer<QWidget>> istanze;
    // A data form met a damaged company file and the operator chose to
    // repair it: the repair is offered when the program ends.
    bool riparaDbDitta = false;
};

Stato& StatoPrincipale() {
    static Stato s;
    return s;
}

} // namespace

namespace principale {

QString Testo(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

ParametriLancioMenu Lancio() {
    IMenuClient* m = Sessione().MenuClient;
    if (!m)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Il menu non è collegato"),
                     QStringLiteral("ApriForm"));
    return m->ParametriLancio();
}

} // namespace principale

namespace {

void TerminaProcesso() {
    if (Ambiente().fineProcesso) {
        Ambiente().fineProcesso();
        return;
    }
    // The reply to the menu's "fine" leaves on the bus first.
    QTimer::singleShot(100, qApp, &QCoreApplication::quit);
}

void FineProcesso() {
    if (!StatoPrincipale().riparaDbDitta) {
        TerminaProcesso();
        return;
    }
    StatoPrincipale().riparaDbDitta = false;
    // Every connection is released by now; the repair runs from the event
    // loop, after the closed forms are gone and after the reply to the
    // menu's "fine" has left.
    QTimer::singleShot(0, qApp, [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A repair that could not be done has said why; one that was done is
        // told here, since nothing opens the file again.
        if (RecuperaDbDittaDanneggiato())
            msgCom(testi_principale::Riparato(Sessione().NomeDb), QStringLiteral("&Ok"));
        TerminaProcesso();
    });
}

} // namespace

// ---- frmPrincipale --------------------------------------------------------------------

FrmPrincipale::FrmPrincipale() : QWidget(nullptr) {
    setObjectName(QStringLiteral("frmPrincipale"));
    setWindowTitle(QStringLiteral("Form Principale del programma"));
    m_lblChiusura = new QLabel(QStringLiteral("Chiusura in corso"), this);
    m_lblChiusura->setObjectName(QStringLiteral("lblChiusura"));
    m_lblChiusura->setAlignment(Qt::AlignCenter);
    auto* l = new QVBoxLayout(this);
    l->addWidget(m_lblChiusura);
    resize(300, 80);
    m_timChiudi = new QTimer(this);
    m_timChiudi->setObjectName(QStringLiteral("timChiudi"));
    m_timChiudi->setSingleShot(true);
    m_timChiudi->setInterval(1);
    connect(m_timChiudi, &QTimer::timeout, this, &FrmPrincipale::timChiudi_Timer);
    oiTmpAttesa = 3000;
    obRiprova = true;
}

FrmPrincipale::~FrmPrincipale() = default;

void FrmPrincipale::closeEvent(QCloseEvent* e) {
    // The operator cannot close the program from here while it is closing.
    if (!m_chiuso)
        e->ignore();
}

void FrmPrincipale::PianificaChiusura(qint16 immediata) {
    if (m_chiuso)
        return;
    if (immediata == -1) {
        oiChiudi = 1;
        m_timChiudi->stop();
        timChiudi_Timer();
        return;
    }
    oiChiudi = 1;
    oiTmpAttesa = 100;
    m_timChiudi->stop();
    m_timChiudi->setInterval(1);
    m_timChiudi->start();
}

void FrmPrincipale::timChiudi_Timer() {
    m_timChiudi->stop();
    if (m_chiuso)
        return;
    const qint16 ricordato = oiChiudi;
    if (ProvaChiusura(oiChiudi))
        return;
    oiChiudi = ricordato;
    if (m_timChiudi->interval() == 3000) {
        m_timChiudi->setInterval(1);
        return;
    }
    m_timChiudi->setInterval(oiTmpAttesa);
    m_timChiudi->start();
}

bool FrmPrincipale::ProvaChiusura(qint16& flag) {
    try {
        if (flag == 0) {
            ChiudiProgramma();
            return true;
        }
        if (!Utilita().CiSonoFinestre(FinestreCaricate(), this)) {
            ChiudiProgramma();
            flag = 0;
            return true;
        }
        flag = 0;
        return false;
    } catch (...) {
        // As if no window were left: the program closes.
        ChiudiProgramma();
        flag = 0;
        return true;
    }
}

bool FrmPrincipale::ChiudiProgramma() {
    if (m_chiuso)
        return true;
    // One closing at a time: a timer or a posted request that asks again
    // while the forms are being unloaded finds this one under way (the
    // program must end once, after its repair if one was asked).
    if (m_inChiusura)
        return false;
    m_inChiusura = true;
    const struct Fine {
        bool& f;
        ~Fine() { f = false; }
    } fine{m_inChiusura};
    QCoreApplication::processEvents();
    if (m_chiuso)
        return true;
    if (QApplication::activeModalWidget()) {
        // A window waits for the operator: it must be answered first.
        Sessione().RispostaFine = QStringLiteral("Maschera Modal");
        return false;
    }
    show();
    try {
        qint16 flag = 0;
        if (!ScaricaForm(flag, windowTitle())) {
            hide();
            return false;
        }
        RilasciaOggetti();
        m_chiuso = true;
        m_timChiudi->stop();
        hide();
        FineProcesso();
        return true;
    } catch (const Errore& e) {
        ImpostaErrore(e);
    } catch (const std::exception& e) {
        ImpostaErrore(51, QString::fromLocal8Bit(e.what()));
    }
    MsgErrfrm();
    hide();
    return false;
}

bool FrmPrincipale::ScaricaForm(qint16& flag, const QString& captionEsclusa) {
    flag = 1;
    QPointer<QWidget> aiuto;
    QPointer<QWidget> rifiutata;
    bool errore = false;
    QList<QPointer<QWidget>> finestre;
    for (QWidget* w : FinestreCaricate())
        finestre << QPointer<QWidget>(w);
    for (const QPointer<QWidget>& w : std::as_const(finestre)) {
        if (!w)
            continue; // gone with another window
        if (w->windowTitle() == captionEsclusa)
            continue;
        if (w->windowTitle() == QLatin1String("Aiuto")) {
            aiuto = w;
            continue;
        }
        try {
            if (!w->close()) {
                rifiutata = w;
                break;
            }
        } catch (...) {
            errore = true;
            rifiutata = w;
            break;
        }
    }
    if (errore || rifiutata) {
        if (rifiutata) {
            rifiutata->show();
            rifiutata->raise();
            rifiutata->activateWindow();
        }
        flag = 0;
        return false;
    }
    if (aiuto) {
        QMetaObject::invokeMethod(aiuto, "ChiudiAiuto");
        if (aiuto && aiuto->isVisible()) {
            aiuto->raise();
            flag = 0;
            return false;
        }
    }
    flag = 0;
    return true;
}

// ---- Command link ----------------------------------------------------------------------

ScMenuComandiClie::ScMenuComandiClie() {
    const auto& crea = Ambiente().creaMenuClient;
    if (!crea)
        throw Errore(NumErr::ChiamataNonValida, QStringLiteral("Nessun menu client disponibile"),
                     QStringLiteral("MenuClient"));
    m_client = crea();
    if (!m_client)
        throw Errore(NumErr::ChiamataNonValida, QStringLiteral("Menu client non creato"),
                     QStringLiteral("MenuClient"));
    m_client->ImpostaGestoreComandi(this);
}

ScMenuComandiClie::~ScMenuComandiClie() {
    if (m_client)
        m_client->ImpostaGestoreComandi(nullptr);
}

void ScMenuComandiClie::setOgMenuClient(std::unique_ptr<IMenuClient> pgMenuClient) {
    if (m_client)
        m_client->ImpostaGestoreComandi(nullptr);
    m_client = std::move(pgMenuClient);
    if (m_client)
        m_client->ImpostaGestoreComandi(this);
}

std::unique_ptr<IMenuClient> ScMenuComandiClie::RilasciaClient() {
    if (m_client)
        m_client->ImpostaGestoreComandi(nullptr);
    return std::move(m_client);
}

void ScMenuComandiClie::EseguiComando(const QString& idMenu, const QString& chiaveFunzione,
                                      const QString& comando, const QVariant& parametro,
                                      QVariant& risposta) {
    UltCom = comando;
    UltParamVar = parametro;
    UltParam = parametro.typeId() == QMetaType::QVariantList
                   ? principale::Testo(parametro.toList().value(0))
                   : principale::Testo(parametro);
    EseguiComandoMenu(idMenu, chiaveFunzione, comando, parametro, risposta);
}

// ---- Objects of the process -----------------------------------------------------------

FrmPrincipale* frmPrincipale() {
    return StatoPrincipale().principale.get();
}

namespace {
// The services the data forms ask of the program, on the dispatcher's own
// procedures.
class ServiziProgramma final : public IProgramma {
public:
    void PianificaChiusura(qint16 immediata) override { quarvel::PianificaChiusura(immediata); }
    void AttivaMenu() override { quarvel::AttivaMenu(); }
    void RitornaAlChiamante(const QString& chiave, const QString& chiaveSec,
                            const QString& parametro) override {
        quarvel::RitornaAlChiamante(chiave, chiaveSec, parametro);
    }
    void ChiudiERipara() override { quarvel::ChiudiERipara(); }
};
} // namespace

FrmPrincipale* CaricaFrmPrincipale() {
    static ServiziProgramma servizi;
    if (!StatoPrincipale().principale)
        StatoPrincipale().principale = std::make_unique<FrmPrincipale>();
    ImpostaProgramma(&servizi);
    return StatoPrincipale().principale.get();
}

ScMenuComandiClie* CollegamentoMenu() {
    return StatoPrincipale().collegamento.get();
}

ScMenuComandiClie* CreaCollegamentoMenu() {
    if (!StatoPrincipale().collegamento)
        StatoPrincipale().collegamento = std::make_unique<ScMenuComandiClie>();
    return StatoPrincipale().collegamento.get();
}

QList<QWidget*> FinestreCaricate() {
    QList<QWidget*> l;
    FrmPrincipale* p = frmPrincipale();
    if (p)
        l << p;
    const QWidgetList tutte = QApplication::topLevelWidgets();
    for (QWidget* w : tutte) {
        if (w == p || !w->isWindow() || !w->isVisible())
            continue;
        const Qt::WindowType t = w->windowType();
        if (t == Qt::Popup || t == Qt::ToolTip || t == Qt::SplashScreen || t == Qt::Desktop)
            continue;
        l << w;
    }
    return l;
}

void DistruggiRilasciati() {
    StatoPrincipale().collegamentiRilasciati.clear();
    StatoPrincipale().clientRilasciati.clear();
}

void DistruggiPrincipale() {
    StatoPrincipale().riparaDbDitta = false;
    StatoPrincipale().collegamento.reset();
    DistruggiRilasciati();
    StatoPrincipale().principale.reset();
    for (const QPointer<QWidget>& w : std::as_const(StatoPrincipale().istanze))
        delete w.data();
    StatoPrincipale().istanze.clear();
}

// ---- Form dispatch ---------------------------------------------------------------------

QWidget* IstanzaForm(const QString& nome) {
    return StatoPrincipale().istanze.value(nome.trimmed().toLower()).data();
}

void ApriForm(const QString& nome, const QString& chiaveFunzione, const QString& osKeyLancia,
              const QString& osKeySecLancia, const QString& osParamLancia) {
    const QString n = nome.trimmed();
    const QString chiave = n.toLower();
    if (n.isEmpty() || !FormRegistrata(chiave)) {
        MessaggioEChiudi(testi_principale::FormInesistente(), 0, -1);
        return;
    }

    QPointer<QWidget>& istanza = StatoPrincipale().istanze[chiave];
    FormDati* form = istanza ? dynamic_cast<FormDati*>(istanza.data()) : nullptr;
    if (!form) {
        form = CreaFormRegistrata(chiave);
        if (!form)
            throw Errore(NumErr::OggettoNonImpostato,
                         QStringLiteral("La form %1 non è stata creata").arg(n),
                         QStringLiteral("ApriForm"));
        istanza = form->Finestra();
        istanza->setAttribute(Qt::WA_DeleteOnClose);
    }
    QWidget* finestra = form->Finestra();

    form->osKeySec = chiaveFunzione;
    form->osKeyAttivazione = n;
    form->osParam = principale::Lancio().osParam;
    form->setOiAbilRW(Utilita().ValoreOpzione(form->osParam, QStringLiteral("RO"))
                                  .compare(QLatin1String("/RO"), Qt::CaseInsensitive) == 0
                          ? 0
                          : 1);

    double fattore = -2;
    const double f = FattoreFinestra(finestra, true, fattore, {});
    if (f > 0)
        if (IListaComandi* c = form->ogComlin())
            c->setOvLeggiPar(QStringLiteral("RisVid"), f);

    QString nomeLin, tabella;
    form->TabellaStd(nomeLin, tabella);

    form->osKeyLancia = osKeyLancia;
    form->osKeySecLancia = osKeySecLancia;
    form->osParamLancia = osParamLancia;

    if (IListaComandi* c = form->ogComlin()) {
        if (QWidget* w = FinestraComlinStampa())
            c->setOfrmComlinSTampa(w);
        if (QWidget* w = FinestraStampaInCorso())
            c->setOfrmStampaInCorso(w);
    }

    QPointer<QWidget> guardia(finestra);
    form->Avvia();
    if (guardia && form->oiLoadOk() == -1) {
        // The load failed and the form reported why: it leaves, and the
        // program with it when no other window is left.
        finestra->close();
        if (guardia)
            delete guardia.data();
        PianificaChiusura(0);
    }
}

// ---- Shutdown and the menu ---------------------------------------------------------------

void PianificaChiusura(qint16 immediata) {
    try {
        FrmPrincipale* p = frmPrincipale();
        if (!p)
            throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("frmPrincipale"));
        p->PianificaChiusura(immediata);
    } catch (...) {
        MsgBox(testi_principale::NonRiescoAChiudere());
    }
}

void ChiudiERipara() {
    StatoPrincipale().riparaDbDitta = true;
    FrmPrincipale* p = frmPrincipale();
    if (!p || p->Chiuso() || p->InChiusura())
        return;
    // Out of the code of the form that met the damage: the forms close from
    // the event loop, as on the menu's "fine" (pending changes are asked
    // for, and no form hands control back to the menu).  A closing already
    // under way does the repair at its end.
    QTimer::singleShot(0, p, [p] {
        if (p->Chiuso() || p->InChiusura())
            return;
        ContestoSessione& s = Sessione();
        s.ChiusuraDaMenu = true;
        s.RispostaFine.clear();
        const bool chiuso = p->ChiudiProgramma();
        s.ChiusuraDaMenu = false;
        if (!chiuso)
            msgCom(testi_principale::RiparazioneRinviata(s.NomeDb), QStringLiteral("&Ok"));
    });
}

void RilasciaOggetti() {
    ContestoSessione& s = Sessione();
    try {
        if (s.DbDitta.isValid()) {
            const QString nome = s.DbDitta.connectionName();
            s.DbDitta.close();
            s.DbDitta = QSqlDatabase();
            QSqlDatabase::removeDatabase(nome);
        }
    } catch (...) {
        // The program is ending: a connection that fails to close has
        // nothing left to lose, and the rest of the shutdown must go on.
    }
    try {
        s.ComponenteDati = nullptr;
        RilasciaComponenteDati();
    } catch (...) {
        // As above: the shutdown goes on whatever the component says.
    }
    if (auto& c = StatoPrincipale().collegamento) {
        std::unique_ptr<IMenuClient> client = c->RilasciaClient();
        if (client) {
            client->Scollega();
            StatoPrincipale().clientRilasciati.push_back(std::move(client));
        }
        StatoPrincipale().collegamentiRilasciati.push_back(std::move(c));
    }
    s.MenuClient = nullptr;
    CancellaErrore();
}

void RilasciaSessione(qint16 rilascia) {
    if (rilascia != 0)
        RilasciaOggetti();
    CancellaErrore();
}

void AttivaMenu() {
    try {
        IMenuClient* m = Sessione().MenuClient;
        if (!m)
            throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("MenuClient"));
        // The menu raises its own window.
        m->MostraMenu(QStringLiteral("Tutti"));
    } catch (...) {
        MsgBox(testi_principale::MenuNonDisponibile());
    }
}

void RitornaAlChiamante(const QString& chiave, const QString& chiaveSec, const QString& parametro) {
    IMenuClient* m = Sessione().MenuClient;
    if (!m)
        throw Errore(NumErr::OggettoNonImpostato, QStringLiteral("Il menu non è collegato"),
                     QStringLiteral("RitornaAlChiamante"));
    m->RitornaA(chiave, chiaveSec, parametro);
}

void MessaggioEChiudi(const QString& testo, int stile, qint16 chiudi) {
    try {
        ScaricaFrmConn();
        FrmPrincipale* p = frmPrincipale();
        // A window of the program stays on screen under the message; the
        // hidden main window is never shown for it (its "Chiusura in corso"
        // beside a message the operator has not read yet says the wrong
        // thing): the message stands alone.
        for (QWidget* w : FinestreCaricate())
            if (w != p) {
                w->show();
                break;
            }
        MsgBox(testo, stile);
        if (chiudi == -1)
            PianificaChiusura(0);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
        PianificaChiusura(0);
    }
}

} // namespace quarvel
