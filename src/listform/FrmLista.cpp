#include "listform/FrmLista.h"

#include "desktop/AdattaSchermo.h"
#include "desktop/ServiziSistema.h"
#include "listform/ProcedureForm.h"
#include "listform/Tastiera.h"
#include "suite/Errore.h"
#include "suite/ListaComandi.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"
#include "suite/Utilita.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <cmath>

namespace quarvel {

namespace {

// Pixels to twips on the widget's screen.
int Twips(const QWidget* w, int pixel) {
    const int dpi = w->logicalDpiY() > 0 ? w->logicalDpiY() : 96;
    return int(std::lround(pixel * 1440.0 / dpi));
}

// Bytes of a field of a fixed-size kind.
int ByteDelTipo(int tipo) {
    switch (tipo) {
    case Tipo::Intero:
    case Tipo::Booleano:
        return 2;
    case Tipo::Lungo:
    case Tipo::Singolo:
        return 4;
    case Tipo::Doppio:
    case Tipo::Valuta:
    case Tipo::Data:
        return 8;
    default:
        return 0;
    }
}

} // namespace

ListaImmagini::ListaImmagini(const QString& nome, int lato, QObject* genitore)
    : QObject(genitore), m_lato(lato) {
    setObjectName(nome);
}

FrmLista::FrmLista(const QString& nome, const QString& caption) : m_captionDisegno(caption) {
    setObjectName(nome);
    setWindowTitle(caption);
    resize(800, 460);

    m_tolComlin = new QToolBar(this);
    m_tolComlin->setObjectName(QStringLiteral("tolComlin"));
    m_tolComlin->setMovable(false);
    m_tolComlin->setFloatable(false);
    m_tolComlin->installEventFilter(this);
    connect(m_tolComlin, &QToolBar::actionTriggered, this, [this](QAction* a) {
        const QString chiave = a->data().toString();
        if (!chiave.isEmpty())
            ButtonComando(chiave);
    });

    m_txtRiga = new QLineEdit(this);
    m_txtRiga->setObjectName(QStringLiteral("txtRiga"));
    m_txtRiga->setText(QStringLiteral("99999 / 99999"));
    m_txtRiga->setReadOnly(true);
    m_txtRiga->setFocusPolicy(Qt::NoFocus);
    m_txtRiga->setAlignment(Qt::AlignCenter);
    m_txtRiga->setFixedWidth(m_txtRiga->fontMetrics().horizontalAdvance(m_txtRiga->text()) + 16);

    try {
        m_dbgRiga = CreaGriglia(this);
        m_dbgRiga->widget()->setObjectName(QStringLiteral("dbgRiga"));
        m_dbgRiga->ImpostaEventi(this);
    } catch (const Errore&) {
        // The load reports it.
        m_dbgRiga = nullptr;
    }

    m_timResize = new QTimer(this);
    m_timResize->setObjectName(QStringLiteral("timResize"));
    m_timResize->setInterval(1);
    m_timResize->setSingleShot(true);
    connect(m_timResize, &QTimer::timeout, this, &FrmLista::timResize_Timer);
    m_timVarie = new QTimer(this);
    m_timVarie->setObjectName(QStringLiteral("timVarie"));
    m_timVarie->setInterval(1);
    m_timVarie->setSingleShot(true);
    connect(m_timVarie, &QTimer::timeout, this, &FrmLista::timVarie_Timer);

    m_imagePiccole = new ListaImmagini(QStringLiteral("ImagePiccole"), 20, this);
    m_imageGrandi = new ListaImmagini(QStringLiteral("ImageGrandi"), 32, this);

    m_anteprima = new AnteprimaTasti(this, false, true);
    m_anteprima->dopoTasti = [this](int& k, int s) { return Form_KeyDown(k, s); };
    PosizionaBarra();
}

FrmLista::~FrmLista() {
    if (m_cancellazioneInCorso) {
        m_cancellazioneInCorso = false;
        FineCancellazione(false);
    }
    if (m_dbgRiga)
        m_dbgRiga->ImpostaEventi(nullptr);
    m_ogComlin.reset();
}

// ---- Public members -------------------------------------------------------------------

QVariant FrmLista::ovField(int piColIndex, const QString& psProprieta) {
    IColonnaGriglia* col = m_dbgRiga ? m_dbgRiga->Colonna(piColIndex) : nullptr;
    if (!col || !DatRiga())
        return {};
    const InfoCampo f = DatRiga()->Campo(col->DataField());
    const QString p = psProprieta.trimmed().toLower();
    if (p == QLatin1String("type"))
        return f.tipo;
    if (p == QLatin1String("name"))
        return f.nome;
    if (p == QLatin1String("sourcefield"))
        return f.campoSorgente;
    if (p == QLatin1String("sourcetable"))
        return f.tabellaSorgente;
    if (p == QLatin1String("dataupdatable"))
        return f.aggiornabile;
    if (p == QLatin1String("size"))
        return f.dimensione;
    if (p == QLatin1String("fieldsize")) {
        // As the utility object measures a field: the characters of the
        // current text (0 for Null), the bytes of any other kind.
        if (f.tipo == Tipo::Testo) {
            const QVariant v = col->Value();
            return (v.isNull() || !v.isValid()) ? 0 : int(v.toString().size());
        }
        return ByteDelTipo(f.tipo);
    }
    return {};
}

void FrmLista::PersColonne() {}

QVariant FrmLista::ColToSourceField(int piColIndex) {
    IColonnaGriglia* col = m_dbgRiga ? m_dbgRiga->Colonna(piColIndex) : nullptr;
    if (!col)
        return {};
    return col->DataField();
}

QVariant FrmLista::ValoreComando(const QString&) {
    return {};
}

void FrmLista::ButtonComando(const QString& psKey) {
    m_msComando = psKey;
    m_mbAggOk = -1;
    try {
        // "Annulla" drops the row as it is: its cell is not committed first.
        const bool annulla = psKey.compare(QLatin1String("Annulla"), Qt::CaseInsensitive) == 0;
        if (m_dbgRiga && m_dbgRiga->EditActive() && !annulla) {
            // Leaving the cell commits it and runs its checks.
            const int corrente = m_dbgRiga->Col();
            const int sinistra = m_dbgRiga->LeftCol();
            const int ultima = m_dbgRiga->NumeroColonne() - 1;
            int altra;
            if (sinistra < corrente || corrente >= ultima)
                altra = int(Utilita().Massimo({double(corrente - 1), 0.0}));
            else
                altra = int(Utilita().Minimo({double(corrente + 1), double(ultima)}));
            if (altra != corrente) {
                m_dbgRiga->setCol(altra);
                m_dbgRiga->setCol(corrente);
                m_dbgRiga->setLeftCol(sinistra);
            } else {
                m_dbgRiga->setEditActive(false);
            }
            // a value the column cannot take keeps the cell open: its
            // message has been shown, the command waits for a good value
            if (m_dbgRiga->EditActive() && m_mbAggOk == -1)
                m_mbAggOk = 0;
        }
        if (m_mbAggOk == -1)
            if (IListaComandi* c = ogComlin())
                c->EseguiPulsante(psKey, ValoreComando(psKey), false);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
    m_msComando.clear();
}

void FrmLista::setOvfrmBookmark(const QString& psBookmark) {
    m_bookmark = psBookmark;
    if (IListaComandi* c = ogComlin()) {
        c->setSegnalibro(psBookmark);
        if (QAction* a = c->Pulsante(QStringLiteral("VaiA")))
            a->setEnabled(!psBookmark.isEmpty());
    }
}

void FrmLista::DatRefresh() {
    try {
        if (IListaComandi* c = ogComlin())
            c->AggiornaLista(true, QStringLiteral("M"), 0, QStringLiteral("dd/mm/yyyy"));
        PersColonne();
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
}

void FrmLista::ChiudiFrm() {
    close();
}

void FrmLista::MenuFrm() {
    if (IProgramma* p = Programma())
        p->AttivaMenu();
}

qint16 FrmLista::oiStaAtt() const {
    return StampaAttiva();
}

void FrmLista::setOiStaAtt(qint16 piStaAtt) {
    ImpostaStampaAttiva(piStaAtt);
}

void FrmLista::TabellaStd(QString& psNomeLin, QString& psTabella) {
    TabellaStd(psNomeLin, psTabella, 0, false, false);
}

void FrmLista::TabellaStd(QString&, QString&, qint16, bool, bool) {
    m_osSql = SqlStandard();
    m_oiNumKey = ChiaviStandard();
}

void FrmLista::PassaA() {
    if (IMenuClient* m = Sessione().MenuClient)
        m->RegistraFinestra(windowTitle(), osKeyAttivazione, osKeySec);
}

void FrmLista::setOiAbilRW(qint16 piAbilRW) {
    FormDati::setOiAbilRW(piAbilRW);
    try {
        if (IListaComandi* c = ogComlin())
            c->setOiAbilRW(piAbilRW);
    } catch (...) {
        // The list keeps the switch before anything can fail and applies it
        // again when it opens; the grid's own refusal has nothing to add.
    }
}

IListaComandi* FrmLista::ogComlin() {
    if (!m_ogComlin && !m_comlinRilasciato) {
        try {
            m_ogComlin.reset(CreaListaComandi());
        } catch (const Errore&) {
            return nullptr;
        }
    }
    return m_ogComlin.get();
}

bool FrmLista::DatiValidi(int&, bool, bool) {
    return true;
}

void FrmLista::DecodHelp(int, int) {}

bool FrmLista::VerifUpdate() {
    return VerificaRiga({});
}

bool FrmLista::VerificaRiga(const std::vector<std::pair<QString, QString>>& obbligatori) {
    if (!m_dbgRiga)
        return false;
    try {
        for (const auto& [campo, messaggio] : obbligatori) {
            IColonnaGriglia* col = m_dbgRiga->Colonna(campo);
            if (col && Utilita().EVuoto(col->Value())) {
                msgCom(messaggio, QStringLiteral("&Ok"));
                m_dbgRiga->setCol(col->ColIndex());
                return false;
            }
        }
        const int n = m_dbgRiga->NumeroColonne();
        for (int i = 0; i < n; ++i) {
            IColonnaGriglia* col = m_dbgRiga->Colonna(i);
            if (!col || col->Locked())
                continue;
            int indice = i;
            if (!DatiValidi(indice, false, false)) {
                m_dbgRiga->setCol(indice);
                return false;
            }
        }
        return true;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
        return false;
    }
}

// ---- Load and show --------------------------------------------------------------------

void FrmLista::Form_Load() {
    try {
        if (TopicAiuto() > 0)
            setHelpContextID(TopicAiuto());
        QString caption = m_captionDisegno;
        if (ConOsCaption())
            caption += osCaption;
        setWindowTitle(caption);
        m_msCaptionBase = caption;
        m_oiLoadOk = -1;

        PreparaForm(this,
                    FlagPrepara::ScalaComlin | FlagPrepara::ControllaRO | FlagPrepara::ScalaVideo);

        if (!m_dbgRiga)
            throw Errore(NumErr::OggettoNonImpostato,
                         QStringLiteral("La griglia dei dati non è disponibile"),
                         QStringLiteral("Form_Load"));
        DatRiga()->setDatabaseName(QString());
        DatRiga()->setRecordSource(QString());
        m_mbInDecod = 0;
        m_mbAggOk = -1;

        IListaComandi* c = ogComlin();
        if (!c)
            throw Errore(NumErr::OggettoNonImpostato,
                         QStringLiteral("L'oggetto lista comandi non è disponibile"),
                         QStringLiteral("Form_Load"));
        const ContestoSessione& s = Sessione();
        c->setOgForm(this);
        c->setOgToolbar(m_tolComlin);
        c->setOgContatore(m_txtRiga);
        c->setOgGriglia(m_dbgRiga);
        c->setOgDati(DatRiga());
        c->setOgDatabase(s.DbDitta);
        c->setOsFormatoData(s.FormatoData);
        c->setOiOpzione(0);
        c->Immagini(s.TipoProgramma.isEmpty() ? QStringLiteral("p") : s.TipoProgramma);
        c->setOgCondiviso(s.OggettoCondiviso);
        c->setOiAbilRW(oiAbilRW());
        c->ApriSql(m_osSql, true, false);
        for (int i = 0; i < m_oiNumKey; ++i)
            c->ColonnaChiave(i);
        if (oiColFisse >= 1)
            c->ColonneFisse(oiColFisse);
        QString primo, secondo;
        c->Contatore(primo, secondo);
        m_txtRiga->setText(secondo + QStringLiteral(" / ") + primo);

        DopoApertura();
        PersColonne();
        FinePreparaForm(this, FlagPrepara::ScalaVideo | FlagPrepara::ScalaComlin);
        m_oiLoadOk = 1;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore(std::nullopt, std::nullopt, m_msCaptionBase + QStringLiteral("\r\n"));
        m_oiLoadOk = -1;
    } catch (const std::exception& e) {
        ImpostaErrore(NumErr::ChiamataNonValida, QString::fromLocal8Bit(e.what()));
        MostraErrore(std::nullopt, std::nullopt, m_msCaptionBase + QStringLiteral("\r\n"));
        m_oiLoadOk = -1;
    }
}

void FrmLista::Avvia() {
    if (m_oiLoadOk == 0)
        Form_Load();
    if (m_oiLoadOk != 1)
        return;
    AllargaAlleColonne();
    if (windowState() & Qt::WindowMaximized)
        showMaximized();
    else
        show();
    raise();
    activateWindow();
    m_timResize->start();
    // The window settles on the screen (the window manager's frame, the
    // fitting to the work area) in its first moments: the list is fitted
    // to it until then.
    m_inApertura = true;
    QTimer::singleShot(400, m_timResize, qOverload<>(&QTimer::start));
    QTimer::singleShot(600, this, [this] { m_inApertura = false; });
    if (m_dbgRiga)
        m_dbgRiga->widget()->setFocus();
}

// ---- Form events ----------------------------------------------------------------------

void FrmLista::PosizionaBarra() {
    // The toolbar along the top, the row counter at its right end.
    const int margine = 4;
    const int alto = std::max(m_tolComlin->sizeHint().height(), m_txtRiga->sizeHint().height());
    const int largo = m_txtRiga->width();
    m_tolComlin->setGeometry(0, 0, std::max(0, width() - largo - 2 * margine), alto);
    m_txtRiga->move(width() - largo - margine, (alto - m_txtRiga->height()) / 2);
}

// The form opens as wide as its columns, as far as the screen allows.
void FrmLista::AllargaAlleColonne() {
    auto* vista = m_dbgRiga ? qobject_cast<QTableView*>(m_dbgRiga->widget()) : nullptr;
    if (!vista)
        return;
    int bordi = 2 * vista->frameWidth() + vista->verticalScrollBar()->sizeHint().width();
    if (!vista->verticalHeader()->isHidden())
        bordi += vista->verticalHeader()->sizeHint().width();
    const QMargins cornice = CorniceFinestra(this);
    const int massimo = AreaUtileFinestra(this).width() - cornice.left() - cornice.right();
    const int serve = vista->horizontalHeader()->length() + bordi;
    if (serve > width())
        resize(std::max(width(), std::min(serve, massimo)), height());
}

// Once on screen, where the screen is narrower than the columns, the list
// is drawn smaller: no column the operator fills is out of sight when the
// form opens.  The list's own measures decide, the frame and the row
// headers included.
void FrmLista::StringiColonne() {
    auto* vista = m_dbgRiga ? qobject_cast<QTableView*>(m_dbgRiga->widget()) : nullptr;
    IListaComandi* c = m_ogComlin.get();
    if (!vista || !c)
        return;
    int posto = vista->viewport()->width();
    if (!vista->verticalScrollBar()->isVisible()) // rows to come take it
        posto -= vista->verticalScrollBar()->sizeHint().width();
    // The font's measures move by steps: a few tries, each from what the
    // list measures now.
    for (int prova = 0; prova < 6; ++prova) {
        const int colonne = vista->horizontalHeader()->length();
        if (colonne <= posto || colonne <= 0 || posto <= 0)
            return;
        const double ora = c->ovLeggiPar(QStringLiteral("RisVid")).toDouble();
        const double rapporto = std::min(0.98, double(posto) / colonne);
        c->setOvLeggiPar(QStringLiteral("RisVid"), (ora > 0 ? ora : 1.0) * rapporto);
        c->setOvLeggiPar(QStringLiteral("RisVidFatta"), true);
    }
}

void FrmLista::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    PosizionaBarra();
    m_timResize->start();
}

void FrmLista::timResize_Timer() {
    m_timResize->stop();
    PosizionaBarra();
    try {
        if (IListaComandi* c = m_ogComlin.get())
            c->Ridimensiona(false, 0, Twips(this, m_tolComlin->y() + m_tolComlin->height()));
        if (m_inApertura && isVisible())
            StringiColonne();
    } catch (...) {
        // Fitting the grid to the window is a layout service: a failure
        // leaves the grid at its last size and the next resize tries again.
    }
}

namespace {
// What of a toolbar's buttons decides its size: which are shown, with their texts.
QString FormaBarra(const QToolBar* t) {
    QString f;
    for (const QAction* a : t->actions())
        if (a->isVisible())
            f += a->text() + QChar(0);
    return f;
}
} // namespace

bool FrmLista::eventFilter(QObject* o, QEvent* e) {
    if (o == m_tolComlin &&
        (e->type() == QEvent::ActionAdded || e->type() == QEvent::ActionRemoved ||
         e->type() == QEvent::ActionChanged)) {
        // tolComlin_Change.  A button enabled or disabled (at each row the
        // operator writes) changes no size: the grid is not fitted again, a
        // fitting that would lay it out and paint it whole for nothing.
        const QString forma = FormaBarra(m_tolComlin);
        if (e->type() != QEvent::ActionChanged || forma != m_formaBarra) {
            m_formaBarra = forma;
            m_timResize->start();
        }
    }
    return QWidget::eventFilter(o, e);
}

void FrmLista::timVarie_Timer() {
    m_timVarie->stop();
    try {
        if (m_miDifferita == 1) {
            if (IListaComandi* c = m_ogComlin.get())
                c->DopoCancella();
        } else if (m_miDifferita == 4) {
            m_mbAggOk = -1;
        }
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
    m_miDifferita = 0;
}

void FrmLista::closeEvent(QCloseEvent* e) {
    if (m_oiLoadOk == 1) {
        bool puo = true;
        try {
            if (IListaComandi* c = m_ogComlin.get())
                puo = c->PuoChiudere();
        } catch (const Errore& err) {
            ImpostaErrore(err);
            MostraErrore();
            puo = false;
        }
        if (!puo) {
            e->ignore();
            return;
        }
    }
    const bool caricata = m_oiLoadOk == 1;
    if (m_dbgRiga)
        m_dbgRiga->ImpostaEventi(nullptr);
    m_ogComlin.reset();
    m_comlinRilasciato = true;
    e->accept();
    QWidget::closeEvent(e);
    if (caricata)
        ChiusuraForm(this, true);
}

bool FrmLista::Form_KeyDown(int& KeyCode, int Shift) {
    if (Shift != vbAltMask)
        return false;
    IListaComandi* c = m_ogComlin.get();
    if (!c)
        return false;
    const QString chiave = c->TastoAlt(KeyCode);
    if (chiave.isEmpty())
        return false;
    QAction* a = c->Pulsante(chiave);
    if (!a || !a->isEnabled() || !a->isVisible())
        return false;
    KeyCode = 0;
    ButtonComando(a->data().toString().isEmpty() ? chiave : a->data().toString());
    return true;
}

} // namespace quarvel
