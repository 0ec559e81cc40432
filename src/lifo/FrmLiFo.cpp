#include "lifo/FrmLiFo.h"

#include "aiuto/CampiAiuto.h"
#include "aiuto/Livelli.h"
#include "lifo/Cambio.h"
#include "listform/ProcedureForm.h"
#include "listform/Tastiera.h"
#include "startup/Avvio.h"
#include "suite/ComponenteAiuto.h"
#include "suite/Errore.h"
#include "suite/ListaComandi.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Utilita.h"

#include <QAction>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <cmath>

namespace quarvel {

namespace testi_lifo {
QString Caption() {
    return QStringLiteral("Gestione LIFO Articoli");
}
QString Gestione() {
    return QStringLiteral("G&estione");
}
QString TornaArticolo() {
    return QStringLiteral("&Torna a        Articolo");
}
QString GestioneLiFo() {
    return QStringLiteral("G&estione LiFo Articoli");
}
QString InserireArticolo() {
    return QStringLiteral("Inserire prima l'articolo");
}
QString ArticoloValido() {
    return QStringLiteral("Inserire un articolo valido");
}
QString LivelloValido() {
    return QStringLiteral("E' obbligatorio inserire un livello valido");
}
QString AnnoObbligatorio() {
    return QStringLiteral("Anno obbligatorio");
}
QString AnnoNonValido(const QString& anno) {
    return QStringLiteral("Anno non valido: \"%1\". L'anno è di quattro cifre, dal %2 al %3")
        .arg(anno)
        .arg(AnnoMinimo)
        .arg(AnnoMassimo);
}
QString Centro() {
    return QStringLiteral(",IIF(Giacenza=0,0,ValGiacenza / Giacenza) AS PrezzoEuro") +
           QStringLiteral(",ValGiacenza,ValMedioUnitario") +
           QStringLiteral(",IIF(Giacenza=0,0,ValGiacenzaLire / Giacenza) AS Prezzo") +
           QStringLiteral(",ValGiacenzaLire ,ValMedioUnitarioLire");
}
QString SqlTesta() {
    return QStringLiteral("SELECT Anno,Articolo,Livello1,Livello2,Giacenza") + Centro();
}
QString Sql() {
    return SqlTesta() + QStringLiteral(" FROM ArtLiFo WHERE 1=2");
}
} // namespace testi_lifo

namespace {

enum class Maschera { Nessuna, Euro, Lire };

struct Colonna {
    const char* campo;
    const char* titolo;
    int larghezza; // twips
    Maschera maschera;
    bool bloccata;
};
const Colonna Colonne[] = {
    {"Anno", "Anno", 700, Maschera::Nessuna, false},
    {"Giacenza", "Giacenza", 1200, Maschera::Nessuna, false},
    {"PrezzoEuro", "Val.Unit.Euro", 1200, Maschera::Euro, true},
    {"ValGiacenza", "Val.Tot.Euro", 1400, Maschera::Euro, false},
    {"ValMedioUnitario", "Costo Med.Euro", 1400, Maschera::Euro, false},
    {"Prezzo", "Val.Unit.Lire", 1200, Maschera::Lire, true},
    {"ValGiacenzaLire", "Val.Tot.Lire", 1400, Maschera::Lire, false},
    {"ValMedioUnitarioLire", "Costo Med.Lire", 1200, Maschera::Lire, false},
};
const char* const Nascoste[] = {"Articolo", "Livello1", "Livello2"};

int Posto(int indice) {
    return indice / 10 - 1; // 10, 20, 30 -> 0, 1, 2
}

int Twips(const QWidget* w, int pixel) {
    const int dpi = w->logicalDpiY() > 0 ? w->logicalDpiY() : 96;
    return int(std::lround(pixel * 1440.0 / dpi));
}

} // namespace

FrmLiFo::FrmLiFo() : FrmLista(QStringLiteral("frmLiFo"), testi_lifo::Caption()) {
    CreaTestata();
    // After the skeleton has fitted the grid below the toolbar, the grid
    // goes below the header area.
    connect(timResize(), &QTimer::timeout, this, &FrmLiFo::AdattaGriglia);
    txtRiga()->installEventFilter(this);
}

FrmLiFo::~FrmLiFo() = default;

void FrmLiFo::CreaTestata() {
    m_pictTesta = new QFrame(this);
    m_pictTesta->setObjectName(QStringLiteral("PictTesta"));
    m_pictTesta->setFrameShape(QFrame::StyledPanel);
    static const char* didascalie[] = {"Codice articolo:", "Livello 1:", "Livello 2:"};
    for (int i = 0; i < 3; ++i) {
        const QString n = QStringLiteral("(%1)").arg((i + 1) * 10);
        m_label1[i] = new QLabel(QString::fromUtf8(didascalie[i]), m_pictTesta);
        m_label1[i]->setObjectName(QStringLiteral("Label1") + n);
        m_txt[i] = new QLineEdit(m_pictTesta);
        m_txt[i]->setObjectName(QStringLiteral("txt") + n);
        if (i > 0) {
            // the stored value of the level, never seen
            m_txt[i]->hide();
            m_txt[i]->setFocusPolicy(Qt::NoFocus);
            m_txtAppo[i] = new QLineEdit(m_pictTesta);
            m_txtAppo[i]->setObjectName(QStringLiteral("txtAppo") + n);
        }
        QLineEdit* casella = i == 0 ? m_txt[0] : m_txtAppo[i];
        casella->installEventFilter(this);
        m_label1[i]->setBuddy(casella);
        m_comHlp[i] = new QPushButton(QStringLiteral("..."), m_pictTesta);
        m_comHlp[i]->setObjectName(QStringLiteral("comHlp") + n);
        m_comHlp[i]->setFocusPolicy(Qt::NoFocus);
        connect(m_comHlp[i], &QPushButton::clicked, this, [this, i] { Ricerca((i + 1) * 10); });
        m_lab[i] = new QLabel(m_pictTesta);
        m_lab[i]->setObjectName(QStringLiteral("Lab") + n);
    }
    m_comGes = new QPushButton(testi_lifo::Gestione(), m_pictTesta);
    m_comGes->setObjectName(QStringLiteral("ComGes"));
    connect(m_comGes, &QPushButton::clicked, this, &FrmLiFo::ComGes_Click);
    m_comEsci = new QPushButton(QStringLiteral("Esci"), m_pictTesta);
    m_comEsci->setObjectName(QStringLiteral("ComEsci"));
    connect(m_comEsci, &QPushButton::clicked, this, [this] { close(); });
    setTabOrder(m_txt[0], m_txtAppo[1]);
    setTabOrder(m_txtAppo[1], m_txtAppo[2]);
    setTabOrder(m_txtAppo[2], m_comGes);
    setTabOrder(m_comGes, m_comEsci);
    // No level until an article says so.
    for (int i = 1; i < 3; ++i)
        for (QWidget* w : {static_cast<QWidget*>(m_label1[i]), static_cast<QWidget*>(m_txtAppo[i]),
                           static_cast<QWidget*>(m_comHlp[i]), static_cast<QWidget*>(m_lab[i])})
            w->hide();
    DisponiTestata();
}

void FrmLiFo::DisponiTestata() {
    const int margine = 6;
    const int alto = m_txt[0]->sizeHint().height();
    const int passo = alto + 4;
    const QFontMetrics fm(font());
    const int larghezzaDid = fm.horizontalAdvance(QStringLiteral("Codice articolo:")) + 40;
    const int larghezzaCod = fm.horizontalAdvance(QLatin1Char('W')) * 14;
    const int larghezzaPuls = alto + 4;
    // the two buttons on the right, the descriptions up to them
    const int larghezzaGes =
        std::max(fm.horizontalAdvance(QStringLiteral("Gestione LiFo Articoli")),
                 fm.horizontalAdvance(QStringLiteral("Torna a        Articolo"))) +
        30;
    const int xDescrizione = margine + larghezzaDid + 4 + larghezzaCod + 2 + larghezzaPuls + 8;
    const int xGes = std::max(xDescrizione + 120, width() - larghezzaGes - 2 * margine);
    m_comGes->setGeometry(xGes, margine, larghezzaGes, alto + 6);
    m_comEsci->setGeometry(xGes, margine + alto + 12, larghezzaGes, alto + 6);
    int y = margine;
    for (int i = 0; i < 3; ++i) {
        int x = margine;
        m_label1[i]->setGeometry(x, y, larghezzaDid, alto);
        x += larghezzaDid + 4;
        QLineEdit* casella = i == 0 ? m_txt[0] : m_txtAppo[i];
        casella->setGeometry(x, y, larghezzaCod, alto);
        if (i > 0)
            m_txt[i]->setGeometry(x, y, larghezzaCod, alto);
        x += larghezzaCod + 2;
        m_comHlp[i]->setGeometry(x, y, larghezzaPuls, alto);
        x += larghezzaPuls + 8;
        m_lab[i]->setGeometry(x, y, std::max(120, xGes - x - 8), alto);
        y += passo;
    }
    const QToolBar* barra = tolComlin();
    m_pictTesta->setGeometry(0, barra->y() + barra->height(), width(), y + margine);
}

void FrmLiFo::AdattaGriglia() {
    DisponiTestata();
    try {
        if (IListaComandi* c = ogComlin())
            c->Ridimensiona(false, 0, Twips(this, m_pictTesta->y() + m_pictTesta->height()));
    } catch (...) {
        // As the skeleton's own fitting: the next resize tries again.
    }
}

void FrmLiFo::resizeEvent(QResizeEvent* e) {
    FrmLista::resizeEvent(e);
    DisponiTestata();
}

QLineEdit* FrmLiFo::txt(int indice) const {
    const int p = Posto(indice);
    return p >= 0 && p < 3 ? m_txt[p] : nullptr;
}
QLineEdit* FrmLiFo::txtAppo(int indice) const {
    const int p = Posto(indice);
    return p >= 1 && p < 3 ? m_txtAppo[p] : nullptr;
}
QLabel* FrmLiFo::Label1(int indice) const {
    const int p = Posto(indice);
    return p >= 0 && p < 3 ? m_label1[p] : nullptr;
}
QLabel* FrmLiFo::Lab(int indice) const {
    const int p = Posto(indice);
    return p >= 0 && p < 3 ? m_lab[p] : nullptr;
}
QPushButton* FrmLiFo::comHlp(int indice) const {
    const int p = Posto(indice);
    return p >= 0 && p < 3 ? m_comHlp[p] : nullptr;
}

QString FrmLiFo::SqlStandard() const {
    return testi_lifo::Sql();
}

// ---- Load -----------------------------------------------------------------------------

void FrmLiFo::DopoApertura() {
    m_mbModoArticolo = -1;
    const ContestoSessione& s = Sessione();
    m_msFormatoLire = Utilita().FormatoNumero(QStringLiteral("0"), s.DecimaliLira);
    m_msFormatoEuro = Utilita().FormatoNumero(QStringLiteral("0"), s.DecimaliEuro);
    m_msAutomLiraEuro =
        LeggiParametroPersonale(QStringLiteral("Listini"), QStringLiteral("AutomLiraEuro"),
                                QVariant(QStringLiteral("S")))
            .toString();
    NascondiStampa();
    ModoArticolo(true);
    Utilita().DaiFuoco(m_txt[0]);
}

void FrmLiFo::NascondiStampa() {
    // The layers have no print of their own.  The list-command object shows
    // the button again whenever it refreshes its toolbar and knows a print
    // dialog: it is hidden again each time.
    IListaComandi* c = ogComlin();
    QAction* a = c ? c->Pulsante(QStringLiteral("Stampa")) : nullptr;
    if (!a)
        return;
    a->setVisible(false);
    if (a != m_stampa) {
        m_stampa = a;
        connect(a, &QAction::changed, this, [a] {
            if (a->isVisible())
                a->setVisible(false);
        });
    }
}

void FrmLiFo::PersColonne() {
    IListaComandi* c = ogComlin();
    if (!c)
        return;
    for (const Colonna& k : Colonne) {
        const QString campo = QString::fromLatin1(k.campo);
        c->TitoloColonna(campo, QString::fromUtf8(k.titolo));
        c->LarghezzaColonna(campo, k.larghezza);
        if (k.maschera != Maschera::Nessuna)
            c->FormatoColonna(campo,
                              k.maschera == Maschera::Euro ? m_msFormatoEuro : m_msFormatoLire);
        if (k.bloccata)
            c->BloccaColonna(campo, true);
    }
    for (const char* campo : Nascoste)
        c->NascondiColonna(QString::fromLatin1(campo));
}

// ---- Header ---------------------------------------------------------------------------

bool FrmLiFo::InErrore(QWidget* w) const {
    return w && w->isVisible() && ColoreSfondo(w) == Sessione().ColoreErrore;
}

void FrmLiFo::Messaggio(const QString& testo) {
    msgCom(testo, QStringLiteral("&Ok"), std::nullopt, std::nullopt, windowTitle());
}

void FrmLiFo::ArticoloEntrata() {
    m_msArticoloPrec = m_txt[0]->text();
    ColoreEntrata(m_txt[0]);
}

void FrmLiFo::ArticoloUscita(Qt::FocusReason motivo) {
    ColoreUscita(m_txt[0]);
    try {
        QVariantList campi{QStringLiteral("FlagLivLis")};
        DecodificaCampo(QStringLiteral("Articolo"), m_txt[0], m_lab[0], std::nullopt, &campi);
        if (m_txt[0]->text() != m_msArticoloPrec) {
            m_msArticoloPrec = m_txt[0]->text();
            RifaiLivelli();
            // Tab went past the level boxes while they were still hidden:
            // the operator types the first level next
            if (motivo == Qt::TabFocusReason && m_txtAppo[1]->isVisible())
                QTimer::singleShot(0, m_txtAppo[1],
                                   [t = m_txtAppo[1]] { t->setFocus(Qt::TabFocusReason); });
        }
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
}

void FrmLiFo::ArticoloTasto(int keyCode, Qt::KeyboardModifiers m) {
    if (keyCode < 113 || keyCode > 117 || (m & Qt::ShiftModifier))
        return;
    try {
        bool trovato = false;
        int tasto = keyCode;
        AiutoCampo(QStringLiteral("Articolo"), m_txt[0], m_lab[0], tasto, std::nullopt, trovato);
        if (trovato) {
            m_msArticoloPrec = m_txt[0]->text();
            RifaiLivelli();
        }
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
}

void FrmLiFo::RifaiLivelli() {
    qint16 numero = 0;
    QString articolo = m_txt[0]->text();
    LeggiGruppiLivello(articolo, m_label1[1], m_label1[2], numero);
    m_lab[1]->clear();
    m_lab[2]->clear();
    for (int i = 1; i < 3; ++i) {
        m_txt[i]->clear();
        m_txtAppo[i]->clear();
        // a level in error belongs to the article that was there before
        ImpostaColoreSfondo(m_txtAppo[i], Sessione().ColoreSenzaFocus);
    }
    MostraLivelli(m_txt[1], m_txt[2], m_txtAppo[1], m_txtAppo[2], m_label1[1], m_label1[2],
                  m_comHlp[1], m_comHlp[2], m_lab[1], m_lab[2], numero, 1);
}

void FrmLiFo::LivelloEntrata(int indice) {
    QLineEdit* t = m_txtAppo[Posto(indice)];
    Utilita().PreparaTesto(t);
    ColoreEntrata(t);
}

void FrmLiFo::LivelloTasto(int indice, int keyCode) {
    const int p = Posto(indice);
    QLineEdit* t = m_txtAppo[p];
    try {
        bool trovato = false;
        int tasto = keyCode;
        AiutoCampo(QStringLiteral("Livello"), t, m_lab[p], tasto,
                   QVariant(QVariantList{m_txt[0]->text(), p}), trovato);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
    QString digitato = t->text();
    m_txt[p]->setText(ValoreLivello(digitato));
    ImpostaColoreSfondo(m_txt[p], ColoreSfondo(t));
}

void FrmLiFo::LivelloUscita(int indice) {
    const int p = Posto(indice);
    QLineEdit* t = m_txtAppo[p];
    ColoreUscita(t);
    try {
        if (t->isVisible() && t->text().isEmpty()) {
            ImpostaColoreSfondo(t, Sessione().ColoreErrore);
            m_txt[p]->clear();
        } else {
            QString digitato = t->text();
            m_txt[p]->setText(ValoreLivello(digitato));
        }
        if (!t->text().isEmpty())
            DecodificaCampo(QStringLiteral("Livello"), t, m_lab[p],
                            QVariantList{m_txt[0]->text(), p});
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
    }
    ImpostaColoreSfondo(m_txt[p], ColoreSfondo(t));
}

void FrmLiFo::Ricerca(int indice) {
    const int p = Posto(indice);
    QLineEdit* t = p == 0 ? m_txt[0] : m_txtAppo[p];
    if (!t->isEnabled() || !t->isVisible())
        return;
    t->setFocus();
    if (p == 0)
        ArticoloTasto(Tasto::F2, Qt::NoModifier);
    else
        LivelloTasto(indice, Tasto::F2);
}

bool FrmLiFo::eventFilter(QObject* o, QEvent* e) {
    if (o == txtRiga() && e->type() == QEvent::FocusIn) {
        // the counter never keeps the focus
        if (!focusNextChild())
            if (dbgRiga())
                dbgRiga()->widget()->setFocus();
        return false;
    }
    int indice = 0;
    if (o == m_txt[0])
        indice = 10;
    else if (o == m_txtAppo[1])
        indice = 20;
    else if (o == m_txtAppo[2])
        indice = 30;
    if (indice == 0)
        return FrmLista::eventFilter(o, e);
    switch (e->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        // Another window of the program taking the focus for a while (a
        // lookup list, a message) and giving it back is not the operator
        // entering or leaving the box.
        const Qt::FocusReason motivo = static_cast<QFocusEvent*>(e)->reason();
        if (motivo == Qt::ActiveWindowFocusReason || motivo == Qt::PopupFocusReason)
            break;
        if (e->type() == QEvent::FocusIn) {
            if (indice == 10)
                ArticoloEntrata();
            else
                LivelloEntrata(indice);
        } else if (indice == 10) {
            ArticoloUscita(motivo);
        } else {
            LivelloUscita(indice);
        }
        break;
    }
    case QEvent::KeyRelease: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->isAutoRepeat())
            break;
        const int codice = CodiceTastoForm(k);
        if (indice == 10)
            ArticoloTasto(codice, k->modifiers());
        else
            LivelloTasto(indice, codice);
        break;
    }
    default:
        break;
    }
    return FrmLista::eventFilter(o, e);
}

// ---- The two modes --------------------------------------------------------------------

void FrmLiFo::ModoArticolo(bool articolo) {
    m_txt[0]->setEnabled(articolo);
    m_txtAppo[1]->setEnabled(articolo);
    m_txtAppo[2]->setEnabled(articolo);
    for (QPushButton* b : m_comHlp)
        b->setEnabled(articolo);
    tolComlin()->setEnabled(!articolo);
    if (dbgRiga())
        dbgRiga()->widget()->setEnabled(!articolo);
    m_mbModoArticolo = articolo ? -1 : 0;
}

bool FrmLiFo::RiapriLista(const QString& sql) {
    try {
        IDatiRiga* d = DatRiga();
        IListaComandi* c = ogComlin();
        if (!d || !c)
            throw Errore(NumErr::OggettoNonImpostato,
                         QStringLiteral("La griglia dei dati non è disponibile"),
                         QStringLiteral("RiapriLista"));
        d->setDatabaseName(QString());
        d->setRecordSource(QString());
        c->setOgCondiviso(Sessione().OggettoCondiviso);
        c->setOiAbilRW(oiAbilRW());
        c->ApriSql(sql, true, false);
        setOsSql(sql);
        // the key of a layer: year, article and the two levels
        for (int i = 0; i < oiNumKey(); ++i)
            c->ColonnaChiave(i);
        if (oiColFisse >= 1)
            c->ColonneFisse(oiColFisse);
        PersColonne();
        NascondiStampa();
        QString primo, secondo;
        c->Contatore(primo, secondo);
        txtRiga()->setText(secondo + QStringLiteral(" / ") + primo);
        AdattaGriglia();
        return true;
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
        return false;
    }
}

void FrmLiFo::ComGes_Click() {
    const QString nessuno = NessunLivello;
    if (m_mbModoArticolo == -1) {
        if (m_txt[0]->text().trimmed().isEmpty()) {
            Messaggio(testi_lifo::InserireArticolo());
            return;
        }
        if (InErrore(m_txt[0])) {
            Messaggio(testi_lifo::ArticoloValido());
            return;
        }
        if (InErrore(m_txtAppo[1]) || InErrore(m_txtAppo[2])) {
            Messaggio(testi_lifo::LivelloValido());
            return;
        }
        QString sql = testi_lifo::SqlTesta() + QStringLiteral(" FROM ArtLiFo WHERE") +
                      QStringLiteral(" Articolo = ") +
                      Utilita().ValoreSql(m_txt[0]->text(), Tipo::Testo);
        if (m_txt[1]->text() != nessuno)
            sql += QStringLiteral(" AND Livello1 = ") +
                   Utilita().ValoreSql(m_txt[1]->text(), Tipo::Testo);
        if (m_txt[2]->text() != nessuno)
            sql += QStringLiteral(" AND Livello2 = ") +
                   Utilita().ValoreSql(m_txt[2]->text(), Tipo::Testo);
        sql += QStringLiteral(" Order by Anno");
        if (IListaComandi* c = ogComlin()) {
            if (QWidget* w = FinestraComlinStampa())
                c->setOfrmComlinSTampa(w);
            if (QWidget* w = FinestraStampaInCorso())
                c->setOfrmStampaInCorso(w);
        }
        if (!RiapriLista(sql))
            return;
        ModoArticolo(false);
        m_comGes->setText(testi_lifo::TornaArticolo());
        if (dbgRiga())
            Utilita().DaiFuoco(dbgRiga()->widget());
        return;
    }

    bool puo = true;
    try {
        if (IListaComandi* c = ogComlin())
            puo = c->PuoChiudere();
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MostraErrore();
        puo = false;
    }
    if (!puo)
        return;
    const QString sql = QStringLiteral("Select Anno,Articolo,Livello1,Livello2,Giacenza") +
                        testi_lifo::Centro() + QStringLiteral(" FROM ArtLifo WHERE 1=2");
    if (!RiapriLista(sql))
        return;
    ModoArticolo(true);
    m_comGes->setText(testi_lifo::GestioneLiFo());
    Utilita().DaiFuoco(m_txt[0]);
}

FrmLiFo* CreaFrmLiFo() {
    return new FrmLiFo();
}

void RegistraFrmLiFo() {
    RegistraForm(QStringLiteral("frmLiFo"), [] { return CreaFrmLiFo(); });
}

} // namespace quarvel
