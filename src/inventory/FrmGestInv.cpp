#include "inventory/FrmGestInv.h"

#include "aiuto/CampiAiuto.h"
#include "aiuto/Livelli.h"
#include "config/ParametriIni.h"
#include "desktop/ServiziSistema.h"
#include "inventory/FrmSelIniCarFile.h"
#include "listform/Tastiera.h"
#include "startup/Avvio.h"
#include "suite/ComponenteAiuto.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/ListaComandi.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"
#include "suite/Sessione.h"
#include "suite/Tasti.h"
#include "suite/Utilita.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QToolBar>

namespace quarvel {

namespace testi_gestinv {
QString Caption() {
    return QStringLiteral("Gestione inventari");
}
QString GestioneInventari() {
    return QStringLiteral("G&estione Inventari");
}
QString TornaACerca() {
    return QStringLiteral("&Torna a        Cerca Codice");
}
QString RicercaBarre() {
    return QStringLiteral("&Ricerca per codice barre");
}
QString RicercaArticolo() {
    return QStringLiteral("&Ricerca per codice articolo");
}
} // namespace testi_gestinv

namespace {

const QString Ok = QStringLiteral("&Ok");

bool Uguali(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

QString ValoreMenu(const QString& nome) {
    IMenuClient* m = Sessione().MenuClient;
    return m ? m->LeggiValore(nome, QString()) : QString();
}

// A date as the header shows it.
QString DataTesto(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return {};
    QDate d;
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        d = v.toDate();
    else
        d = QDate::fromString(v.toString().left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : v.toString();
}

IComponenteAiuto* Aiuto() {
    IComponenteAiuto* c = Sessione().ComponenteAiuto;
    if (!c)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di ricerca e decodifica non disponibile"),
                     QStringLiteral("frmGestInv"));
    return c;
}

struct Colonna {
    const char* campo;
    const char* titolo;
    int larghezza;
    bool pulsante;
};
const Colonna Colonne[] = {
    {"Articolo", "Articolo", 2000, true},  {"DesArticolo", "Descr.Articolo", 4000, false},
    {"Livello1", "Liv1", 700, true},       {"Livello2", "Liv2", 700, true},
    {"Magazzino", "Magazzino", 800, true}, {"DesMagaz", "Descr.Magazzino", 2500, false},
    {"Giacenza", "Giacenza", 1000, false},
};

} // namespace

FrmGestInv::FrmGestInv() : FrmLista(QStringLiteral("frmGestInv"), testi_gestinv::Caption()) {
    resize(900, 520);
    m_pictTesta = new QWidget(this);
    m_pictTesta->setObjectName(QStringLiteral("PictTesta"));
    auto* g = new QGridLayout(m_pictTesta);
    g->setContentsMargins(6, 4, 6, 4);

    auto* l10 = new QLabel(QStringLiteral("Codice inventario:"), m_pictTesta);
    l10->setObjectName(QStringLiteral("Label1(10)"));
    m_txt10 = new QLineEdit(m_pictTesta);
    m_txt10->setObjectName(QStringLiteral("txt(10)"));
    m_txt10->setMaximumWidth(160);
    m_comHlp10 = new QPushButton(QStringLiteral("..."), m_pictTesta);
    m_comHlp10->setObjectName(QStringLiteral("comHlp(10)"));
    m_comHlp10->setFocusPolicy(Qt::NoFocus);
    m_comHlp10->setFixedWidth(28);
    m_lab10 = new QLabel(m_pictTesta);
    m_lab10->setObjectName(QStringLiteral("Lab(10)"));
    m_lab10->setMinimumWidth(260);
    m_lab10->setFrameShape(QFrame::StyledPanel);
    auto* l0 = new QLabel(QStringLiteral("Data inventario:"), m_pictTesta);
    l0->setObjectName(QStringLiteral("Label1(0)"));
    m_lab20 = new QLabel(m_pictTesta);
    m_lab20->setObjectName(QStringLiteral("Lab(20)"));
    m_lab20->setMinimumWidth(90);
    m_lab20->setFrameShape(QFrame::StyledPanel);

    m_comGes = new QPushButton(QStringLiteral("G&estione"), m_pictTesta);
    m_comGes->setObjectName(QStringLiteral("ComGes"));
    m_comCarica = new QPushButton(QStringLiteral("Ca&rica inventario"), m_pictTesta);
    m_comCarica->setObjectName(QStringLiteral("ComCarica"));
    m_comTipoRic = new QPushButton(testi_gestinv::RicercaBarre(), m_pictTesta);
    m_comTipoRic->setObjectName(QStringLiteral("ComTipoRic"));
    m_comEsci = new QPushButton(QStringLiteral("Esci"), m_pictTesta);
    m_comEsci->setObjectName(QStringLiteral("ComEsci"));

    g->addWidget(l10, 0, 0);
    g->addWidget(m_txt10, 0, 1);
    g->addWidget(m_comHlp10, 0, 2);
    g->addWidget(m_lab10, 0, 3);
    g->addWidget(l0, 1, 0);
    g->addWidget(m_lab20, 1, 1);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(m_comGes);
    pulsanti->addWidget(m_comCarica);
    pulsanti->addWidget(m_comTipoRic);
    pulsanti->addStretch(1);
    pulsanti->addWidget(m_comEsci);
    g->addLayout(pulsanti, 2, 0, 1, 5);
    g->setColumnStretch(4, 1);

    m_txt10->installEventFilter(this);
    m_comCarica->installEventFilter(this);
    connect(m_comHlp10, &QPushButton::clicked, this, [this] {
        m_txt10->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        txt_KeyUp(10, 113, 0);
    });
    connect(m_comGes, &QPushButton::clicked, this, &FrmGestInv::ComGes_Click);
    connect(m_comTipoRic, &QPushButton::clicked, this, &FrmGestInv::ComTipoRic_Click);
    connect(m_comCarica, &QPushButton::clicked, this, &FrmGestInv::ComCarica_Click);
    connect(m_comEsci, &QPushButton::clicked, this, [this] { close(); });
    // The grid goes below the header panel once the base has laid it out.
    connect(timResize(), &QTimer::timeout, this, &FrmGestInv::DisponiTesta);
    // The tab order of the header: code, mode switch, load, lookup type, exit.
    setTabOrder(m_txt10, m_comGes);
    setTabOrder(m_comGes, m_comCarica);
    setTabOrder(m_comCarica, m_comTipoRic);
    setTabOrder(m_comTipoRic, m_comEsci);
}

FrmGestInv::~FrmGestInv() {
    if (m_selIni)
        delete m_selIni.data();
}

void FrmGestInv::DisponiTesta() {
    const int top = tolComlin()->y() + tolComlin()->height();
    const int alto = m_pictTesta->sizeHint().height();
    m_pictTesta->setGeometry(0, top, width(), alto);
    if (dbgRiga()) {
        QWidget* w = dbgRiga()->widget();
        w->setGeometry(0, top + alto, width(), std::max(0, height() - top - alto));
    }
}

// ---- Queries -------------------------------------------------------------------------

QString FrmGestInv::PrepSql() const {
    return QStringLiteral(
               "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS "
               "DesArticolo") +
           QStringLiteral(",MagInventari.Livello1,MagInventari.Livello2") +
           QStringLiteral(",MagInventari.Giacenza") +
           QStringLiteral(",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz") +
           QStringLiteral(" FROM (MagInventari LEFT JOIN Articoli") +
           QStringLiteral(" ON MagInventari.Articolo = Articoli.Articolo)") +
           QStringLiteral(" LEFT JOIN Magazzini") +
           QStringLiteral(" ON Magazzini.Magazzino = MagInventari.Magazzino");
}

QString FrmGestInv::SqlStandard() const {
    return PrepSql() + QStringLiteral(" WHERE 1=2");
}

void FrmGestInv::LeggoUltData() {
    ContestoSessione& s = Sessione();
    if (!s.ComponenteDati)
        throw Errore(NumErr::OggettoNonImpostato,
                     QStringLiteral("Componente di accesso ai dati non disponibile"),
                     QStringLiteral("LeggoUltData"));
    const QString sql = QStringLiteral("SELECT TOP 1 MagDescrInv.CodInv FROM MagDescrInv") +
                        QStringLiteral(" ORDER BY MagDescrInv.DataInvent DESC, "
                                       "MagDescrInv.CodInv Desc");
    std::unique_ptr<IRecordset> r = s.ComponenteDati->ApriRecordset(sql, s.RisultatoConnessione);
    m_msUltimoInv.clear();
    if (!r->Eof())
        m_msUltimoInv = r->Campo(QStringLiteral("CodInv")).toString();
    r->Close();
}

int FrmGestInv::decimaliQta() const {
    return Utilita().TestoInIntero(ValoreMenu(QStringLiteral("Mag.NumDecQta")));
}

// ---- Opening ---------------------------------------------------------------------------

void FrmGestInv::DopoApertura() {
    m_comCarica->setEnabled(false);
    m_mbInAggiunta = false;
    m_miTastoRic = 113;
    m_comTipoRic->setText(testi_gestinv::RicercaBarre());

    m_msFormatoQta =
        Utilita().FormatoNumero(QVariant(), decimaliQta(), QStringLiteral("0"), true,
                                QStringLiteral("#,##0"), QString(), QStringLiteral("^"));
    m_msMagPrincipale = ValoreMenu(QStringLiteral("Mag.MagPrincipale"));
    m_msMagCarico = m_msMagPrincipale;

    LeggoUltData();
    if (!Utilita().EVuoto(m_msUltimoInv)) {
        m_txt10->setText(m_msUltimoInv);
        DecodificaTestata();
    } else {
        m_txt10->clear();
    }

    // header mode: the grid, the toolbar and the load wait for an inventory
    m_mbModoRicerca = true;
    m_txt10->setEnabled(true);
    tolComlin()->setEnabled(false);
    dbgRiga()->widget()->setEnabled(false);
    m_comGes->setText(testi_gestinv::GestioneInventari());

    m_mbLettFileAbil = LeggiParametroPersonale(QStringLiteral("CarMov"),
                                               QStringLiteral("LettArtDafile"), QVariant(QString()))
                           .toString()
                           .compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
    ImpLetDaFile(Sessione().SezioneLetturaFile, true);

    if (IListaComandi* c = ogComlin())
        if (QAction* a = c->Pulsante(QStringLiteral("Stampa")))
            a->setEnabled(false);
    QTimer::singleShot(0, this, [this] {
        DisponiTesta();
        m_txt10->setFocus(Qt::OtherFocusReason);
    });
}

// ---- Header choice ----------------------------------------------------------------

void FrmGestInv::DecodificaTestata() {
    IComponenteAiuto* c = Aiuto();
    c->ImpostaOpzione(QStringLiteral("TipoDef"), 12, 8);
    QVariantList campi{QStringLiteral("DataInvent")};
    c->DecodificaControlli(QStringLiteral("magdescrinv"), QStringLiteral("CodInv"), m_txt10,
                           m_lab10, 0, 0, 0, QString(), campi, std::nullopt, QString());
    c->ImpostaOpzione(QStringLiteral("TipoDef"), 12, 8);
    m_lab20->setText(DataTesto(campi.value(0)));
}

void FrmGestInv::txt_KeyUp(int Index, int KeyCode, int Shift) {
    if (Index != 10 || KeyCode < 113 || KeyCode > 117 || (Shift & vbShiftMask))
        return;
    try {
        bool trovato = false;
        int tasto = KeyCode;
        AiutoCampo(QStringLiteral("MagDescrInv:CodInv"), m_txt10, m_lab10, tasto, std::nullopt,
                   trovato, QStringLiteral(",DataInvent"));
        if (trovato)
            if (IComponenteAiuto* c = Sessione().ComponenteAiuto)
                m_lab20->setText(DataTesto(c->FormAiuto()->RetVal(QStringLiteral("DataInvent"))));
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    }
}

bool FrmGestInv::eventFilter(QObject* o, QEvent* e) {
    if (o == m_txt10) {
        switch (e->type()) {
        case QEvent::FocusIn:
            ColoreEntrata(m_txt10, false);
            QTimer::singleShot(0, m_txt10, [t = m_txt10] { t->selectAll(); });
            break;
        case QEvent::FocusOut:
            ColoreUscita(m_txt10, false);
            try {
                DecodificaTestata();
            } catch (const Errore& err) {
                ImpostaErrore(err);
                MsgErrfrm();
            }
            break;
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            if (!k->isAutoRepeat())
                txt_KeyUp(10, CodiceTasto(k->key(), k->modifiers()), MascheraShift(k->modifiers()));
            break;
        }
        default:
            break;
        }
    } else if (o == m_comCarica && e->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
            ComCarica_MouseUp();
            return true;
        }
    }
    return FrmLista::eventFilter(o, e);
}

// ---- Modes ---------------------------------------------------------------------------

void FrmGestInv::ComGes_Click() {
    if (m_mbModoRicerca)
        GestisciInventario();
    else
        TornaARicerca();
}

void FrmGestInv::GestisciInventario() {
    if (m_txt10->text().trimmed().isEmpty()) {
        msgCom(QStringLiteral("Inserire il codice"), Ok, std::nullopt, std::nullopt, windowTitle());
        return;
    }
    // the code as it stands now, whatever the focus did before the click
    try {
        DecodificaTestata();
    } catch (const Errore&) {
        // the colour the last decoding left decides
    }
    if (ColoreSfondo(m_txt10) == Sessione().ColoreErrore) {
        msgCom(QStringLiteral("Inserire un codice esistente"), Ok, std::nullopt, std::nullopt,
               windowTitle());
        return;
    }
    const QString sql = PrepSql() + QStringLiteral(" WHERE CodInv = ") +
                        Utilita().ValoreSql(m_txt10->text(), Tipo::Testo) +
                        QStringLiteral(" Order by MagInventari.Articolo");
    bool errore = false;
    ApriRighe(sql, errore);
    if (errore)
        return;
    m_txt10->setEnabled(false);
    tolComlin()->setEnabled(true);
    dbgRiga()->widget()->setEnabled(true);
    m_comGes->setText(testi_gestinv::TornaACerca());
    m_comCarica->setEnabled(true);
    Utilita().DaiFuoco(dbgRiga()->widget());
    m_mbModoRicerca = false;
    ProntoPerLettura();
}

void FrmGestInv::ProntoPerLettura() {
    IGrigliaDati* g = dbgRiga();
    IColonnaGriglia* articolo = colonna(QStringLiteral("Articolo"));
    if (m_mbModoRicerca || !g || !articolo)
        return;
    // The new-row line, on the article: the first key read begins a row
    // there, and no saved row is in the way of a scan.
    g->setRow(int(g->Dati()->RecordCount()));
    g->setCol(articolo->ColIndex());
    // in view, at the bottom of the list
    if (auto* v = qobject_cast<QAbstractItemView*>(g->widget()))
        v->scrollTo(v->currentIndex());
    g->widget()->setFocus(Qt::OtherFocusReason);
}

void FrmGestInv::TornaARicerca() {
    try {
        if (IListaComandi* c = ogComlin())
            if (!c->PuoChiudere())
                return;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
        return;
    }
    bool errore = false;
    ApriRighe(PrepSql() + QStringLiteral(" WHERE 1=2"), errore);
    if (errore)
        return;
    m_txt10->setEnabled(true);
    tolComlin()->setEnabled(false);
    dbgRiga()->widget()->setEnabled(false);
    m_comGes->setText(testi_gestinv::GestioneInventari());
    m_comCarica->setEnabled(false);
    Utilita().DaiFuoco(m_txt10);
    // the focus may have reached the box already when it was enabled
    m_txt10->selectAll();
    m_mbModoRicerca = true;
}

void FrmGestInv::ApriRighe(const QString& sql, bool& pbErrore) {
    pbErrore = false;
    try {
        DatRiga()->setDatabaseName(QString());
        DatRiga()->setRecordSource(QString());
        IListaComandi* c = ogComlin();
        if (!c)
            throw Errore(NumErr::OggettoNonImpostato,
                         QStringLiteral("L'oggetto lista comandi non è disponibile"),
                         QStringLiteral("ApriRighe"));
        c->setOgDatabase(Sessione().DbDitta);
        c->setOiAbilRW(oiAbilRW());
        c->ApriSql(sql, true, false);
        if (oiColFisse >= 1)
            c->ColonneFisse(oiColFisse);
        QString primo, secondo;
        c->Contatore(primo, secondo);
        txtRiga()->setText(secondo + QStringLiteral(" / ") + primo);
        setOsSql(sql);
        PersColonne();
        if (QAction* a = c->Pulsante(QStringLiteral("Stampa")))
            a->setEnabled(false);
        DisponiTesta();
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
        pbErrore = true;
    }
}

void FrmGestInv::ComTipoRic_Click() {
    if (m_miTastoRic == 113) {
        m_comTipoRic->setText(testi_gestinv::RicercaArticolo());
        m_miTastoRic = 115;
    } else {
        m_comTipoRic->setText(testi_gestinv::RicercaBarre());
        m_miTastoRic = 113;
    }
    if (!m_mbModoRicerca)
        dbgRiga()->widget()->setFocus();
}

// ---- Columns ------------------------------------------------------------------------------

void FrmGestInv::PersColonne() {
    IListaComandi* c = ogComlin();
    if (!c)
        return;
    const bool livelli =
        ValoreMenu(QStringLiteral("Mag.GesTaglie")).toUpper() == QLatin1String("S");
    for (const Colonna& k : Colonne) {
        const QString campo = QString::fromLatin1(k.campo);
        c->LarghezzaColonna(campo, k.larghezza);
        c->TitoloColonna(campo, QString::fromLatin1(k.titolo));
        if (IColonnaGriglia* col = colonna(campo))
            col->setButton(k.pulsante);
    }
    c->BloccaColonna(QStringLiteral("DesArticolo"), true);
    c->BloccaColonna(QStringLiteral("DesMagaz"), true);
    if (!livelli) {
        for (const char* l : {"Livello1", "Livello2"}) {
            c->BloccaColonna(QString::fromLatin1(l), true);
            c->NascondiColonna(QString::fromLatin1(l));
        }
    }
    c->FormatoColonna(QStringLiteral("Giacenza"), m_msFormatoQta);
    c->NascondiColonna(QStringLiteral("CodInv"));
}

IColonnaGriglia* FrmGestInv::colonna(const QString& campo) const {
    return dbgRiga() ? dbgRiga()->Colonna(campo) : nullptr;
}

QString FrmGestInv::campoDi(int indice) const {
    IColonnaGriglia* col = dbgRiga() ? dbgRiga()->Colonna(indice) : nullptr;
    return col ? col->DataField() : QString();
}

// ---- Grid events ----------------------------------------------------------------------

void FrmGestInv::BeforeColUpdate(int ColIndex, QVariant& OldValue, int& Cancel) {
    if (m_inDecodLocale)
        return;
    m_inAggColonna = true;
    FrmLista::BeforeColUpdate(ColIndex, OldValue, Cancel);
    m_inAggColonna = false;
    // A refused code stays selected whole: the next one read replaces it
    // instead of joining it.
    IGrigliaDati* g = dbgRiga();
    if (Cancel != 0 && g && g->EditActive()) {
        g->setSelStart(0);
        g->setSelLength(int(g->Colonna(ColIndex) ? g->Colonna(ColIndex)->Text().size() : 0));
    }
}

void FrmGestInv::BeforeUpdate(int& Cancel) {
    IUtilita& u = Utilita();
    for (const char* l : {"Livello1", "Livello2"}) {
        IColonnaGriglia* col = colonna(QString::fromLatin1(l));
        if (col && u.EVuoto(col->Value())) {
            msgCom(QStringLiteral("Livello obbligatorio, salvataggio non effettuato"), Ok);
            Cancel = -1;
            return;
        }
    }
    if (IColonnaGriglia* col = colonna(QStringLiteral("CodInv")))
        col->setValue(m_txt10->text());
    try {
        if (IListaComandi* c = ogComlin())
            if (!c->PrimaAggRiga(true))
                Cancel = -1;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
        Cancel = -1;
    }
}

void FrmGestInv::OnAddNew() {
    IColonnaGriglia* col = colonna(QStringLiteral("Magazzino"));
    if (!col)
        return;
    col->setValue(m_msMagPrincipale);
    m_mbInAggiunta = true;
    try {
        DecodHelp(col->ColIndex(), 113);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    }
    m_mbInAggiunta = false;
}

void FrmGestInv::KeyDown(int& KeyCode, int Shift) {
    int nessuno = 0;
    FrmLista::KeyDown(nessuno, Shift); // the row update is allowed again
    if (!dbgRiga())
        return;
    IColonnaGriglia* col = dbgRiga()->Colonna(dbgRiga()->Col());
    switch (KeyCode) {
    case Tasto::Canc:
        KeyCode = 0;
        ButtonComando(QStringLiteral("Cancella"));
        break;
    case Tasto::Esc:
        if (col && col->DataChanged()) {
            const QString campo = col->DataField();
            if (Uguali(campo, "Articolo") || Uguali(campo, "Livello1") ||
                Uguali(campo, "Livello2") || Uguali(campo, "Magazzino")) {
                int indice = col->ColIndex();
                DatiValidi(indice, false, true);
            }
        }
        break;
    case Tasto::F2:
        if (col && (col->Text().trimmed().isEmpty() || dbgRiga()->SelText() != col->Text()))
            Decodifica(dbgRiga()->Col(), KeyCode);
        break;
    case Tasto::F3:
    case 115:
    case 116:
        Decodifica(dbgRiga()->Col(), KeyCode);
        break;
    default:
        break;
    }
}

void FrmGestInv::KeyPress(int& KeyAscii) {
    IGrigliaDati* g = dbgRiga();
    IColonnaGriglia* col = g ? g->Colonna(g->Col()) : nullptr;
    if (!col || KeyAscii < 32 || g->EditActive() || g->AddNewMode() || g->DataChanged() ||
        g->Row() >= g->Dati()->RecordCount() || !Uguali(col->DataField(), "Articolo"))
        return;
    // A saved row's article changes only when the operator opens its cell
    // (F2, Enter, a click): a code typed or read on it begins a new row.
    const QChar carattere(KeyAscii);
    KeyAscii = 0;
    ButtonComando(QStringLiteral("Nuovo"));
    if (g->EditActive() && g->AddNewMode())
        if (IColonnaGriglia* articolo = colonna(QStringLiteral("Articolo")))
            if (g->Col() == articolo->ColIndex())
                articolo->setValue(QString(carattere));
}

FrmGestInv* CreaFrmGestInv() {
    return new FrmGestInv();
}

void RegistraFrmGestInv() {
    RegistraForm(QStringLiteral("frmGestInv"), [] { return CreaFrmGestInv(); });
}

} // namespace quarvel
