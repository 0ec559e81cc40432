#include "FrmSceltaStam.h"
#include "FrmVStaPar.h"

#include "desktop/Scala.h"
#include "desktop/Schermo.h"
#include "desktop/ServiziSistema.h"

#include "OpzioniSalvate.h"
#include "SceltaStampante.h"
#include "suite/ComponenteAiuto.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/StampaAttiva.h"
#include "suite/Utilita.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quarvel {

namespace {

// A scrolled area that asks for the whole of its content (a plain one asks
// for a few lines only): on a screen tall enough nothing scrolls.
class AreaScorrimento final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        if (!widget())
            return QScrollArea::sizeHint();
        return widget()->sizeHint() +
               QSize(verticalScrollBar()->sizeHint().width() + 2 * frameWidth(), 2 * frameWidth());
    }
};
const QString Separatori[] = {QStringLiteral("\t"), QStringLiteral(";"), QStringLiteral(","),
                              QStringLiteral(" ")};
const QString Qualificatori[] = {QStringLiteral("\""), QStringLiteral("'"), QString()};

// The code an entry of the bin or paper combo stands for: 0 for the first
// entry or one without "-", else the number before the first "-".
int CodiceVoce(const QComboBox* cbo) {
    if (cbo->currentIndex() <= 0)
        return 0;
    const QString t = cbo->currentText();
    const qsizetype meno = t.indexOf(QLatin1Char('-'));
    return meno < 0 ? 0 : t.left(meno).trimmed().toInt();
}
} // namespace

namespace {
std::function<int()>& LettoreVersione() {
    static std::function<int()> lettore;
    return lettore;
}
} // namespace

// The workbook is written by the print component itself, in the format of
// the versions from 12 on (xlsx), whether or not a spreadsheet program is
// installed.
int VersioneFoglioElettronico() {
    if (const auto& l = LettoreVersione())
        return l();
    return 12;
}

void ImpostaVersioneFoglioElettronico(std::function<int()> lettore) {
    LettoreVersione() = std::move(lettore);
}

template <typename T> T* FrmSceltaStam::aggiungi(T* w, const QString& nome) {
    w->setObjectName(nome);
    m_controlli.insert(nome, w);
    return w;
}

FrmSceltaStam::FrmSceltaStam(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("FrmSceltaStam"));
    setWindowTitle(QStringLiteral("Scelta della modalità di stampa"));
    // The frames scroll on a screen too short for them (a laptop's 768
    // pixels); the printer in use and the buttons stay in view below them.
    auto* esterno = new QVBoxLayout(this);
    auto* scorre = new AreaScorrimento(this);
    scorre->setObjectName(QStringLiteral("ScrSceltaStam"));
    scorre->setWidgetResizable(true);
    scorre->setFrameShape(QFrame::NoFrame);
    auto* corpo = new QWidget(scorre);
    auto* principale = new QVBoxLayout(corpo);
    principale->setContentsMargins(0, 0, 0, 0);

    auto* fraStaSu =
        aggiungi(new QGroupBox(QStringLiteral("Stampa su: "), this), QStringLiteral("Fra(0)"));
    auto* ls = new QHBoxLayout(fraStaSu);
    const char* destinazioni[] = {"&Stampante", "&Video", "&File", "File/stam. a &lung. fissa"};
    for (int i = 0; i < 4; ++i) {
        auto* o = aggiungi(new QRadioButton(QString::fromUtf8(destinazioni[i]), fraStaSu),
                           QStringLiteral("OptStampaSu(%1)").arg(i));
        ls->addWidget(o);
        connect(o, &QRadioButton::clicked, this, [this, i] { OptStampaSu_Click(i); });
    }
    principale->addWidget(fraStaSu);
    principale->addWidget(costruisciStampante());
    principale->addWidget(costruisciVideo());
    principale->addWidget(costruisciFile());
    principale->addWidget(costruisciFisso());
    costruisciPdfEmail(principale);
    scorre->setWidget(corpo);
    esterno->addWidget(scorre, 1);
    // a control reached with its Alt key comes into view, as with Tab
    connect(qApp, &QApplication::focusChanged, scorre, [scorre, corpo](QWidget*, QWidget* ora) {
        if (ora && corpo->isAncestorOf(ora))
            scorre->ensureWidgetVisible(ora);
    });

    costruisciPulsanti(esterno);
    riempiStampanti();
    setProperty("HelpContextID", 88);
}

// The printer in use, the buttons and the saved options under the frames.
void FrmSceltaStam::costruisciPulsanti(QVBoxLayout* esterno) {
    aggiungi(new QLabel(QStringLiteral("Stampante attuale:"), this),
             QStringLiteral("LabStaAttuale"));
    esterno->addWidget(controllo(QStringLiteral("LabStaAttuale")));
    auto* pulsanti = new QHBoxLayout;
    auto* salva = aggiungi(new QPushButton(QStringLiteral("Salva op&zioni stampa"), this),
                           QStringLiteral("ComSalOpz"));
    auto* canc = aggiungi(new QPushButton(QStringLiteral("Canc. op&zioni stampa"), this),
                          QStringLiteral("ComCancOpz"));
    auto* chiudi =
        aggiungi(new QPushButton(QStringLiteral("&Chiudi"), this), QStringLiteral("ComChiudi"));
    for (QPushButton* b : {salva, canc, chiudi}) {
        b->setAutoDefault(false);
        pulsanti->addWidget(b);
    }
    esterno->addLayout(pulsanti);
    esterno->addWidget(costruisciSalvataggio());
    connect(salva, &QPushButton::clicked, this, &FrmSceltaStam::ComSalOpz_Click);
    connect(canc, &QPushButton::clicked, this, &FrmSceltaStam::ComCancOpz_Click);
    connect(chiudi, &QPushButton::clicked, this, &QDialog::close);
}

// The printers with their ports, the printers without trays and the scale.
void FrmSceltaStam::riempiStampanti() {
    QStringList nomi, porte;
    ElencoPorteStampanti(nomi, porte);
    for (const char* griglia : {"GriPri", "GriPorte"}) {
        auto* g = c<QTableWidget>(QString::fromLatin1(griglia));
        g->setRowCount(int(nomi.size()));
        for (int i = 0; i < nomi.size(); ++i) {
            g->setItem(i, 0, new QTableWidgetItem(QString::number(i)));
            g->setItem(i, 1, new QTableWidgetItem(nomi[i]));
            g->setItem(i, 2, new QTableWidgetItem(porte[i]));
        }
    }
    c<QLabel>(QStringLiteral("labTotStamp"))->setText(QString::number(nomi.size()));

    QString noCassetti;
    if (IMenuClient* menu = Sessione().MenuClient) {
        noCassetti = menu->LeggiValore(QStringLiteral("Personal.Tutti.§StampantiNoCassetti"));
        if (noCassetti == QLatin1String("§ç~$!^"))
            noCassetti.clear();
    }
    setMsStampantiNoCassetti(noCassetti);
    // the print windows' own scale ("Risoluzione Video", "StaVid")
    FattoreFinestra(this, false, Sessione().FattoreStaVid, {});
    // in the scaled font, every printer's name and address whole
    for (const char* griglia : {"GriPri", "GriPorte"})
        c<QTableWidget>(QString::fromLatin1(griglia))->resizeColumnsToContents();
}

FrmSceltaStam::~FrmSceltaStam() {
    // Going away with the focus in a box: the box loses it while the
    // dialog's parts are being destroyed, with nothing left to write to.
    for (QLineEdit* t : findChildren<QLineEdit*>()) {
        t->removeEventFilter(this);
        disconnect(t, nullptr, this, nullptr);
    }
}

QGroupBox* FrmSceltaStam::costruisciStampante() {
    auto* f = aggiungi(new QGroupBox(QStringLiteral("Scelta della stampante:")),
                       QStringLiteral("FraOpz(0)"));
    auto* g = new QGridLayout(f);
    auto* gri = aggiungi(new QTableWidget(0, 3, f), QStringLiteral("GriPri"));
    gri->setHorizontalHeaderLabels(
        {QStringLiteral("N."), QStringLiteral("Nome"), QStringLiteral("Porta")});
    gri->setSelectionBehavior(QAbstractItemView::SelectRows);
    gri->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(gri, &QTableWidget::cellClicked, this,
            [this](int r, int) { ScegliStampante(r, false); });
    g->addWidget(gri, 0, 0, 1, 4);
    g->addWidget(aggiungi(new QLabel(f), QStringLiteral("labTotStamp")), 1, 0);
    auto* def = aggiungi(new QPushButton(QStringLiteral("Stampante predefinita"), f),
                         QStringLiteral("ComUsaDef"));
    def->setAutoDefault(false);
    connect(def, &QPushButton::clicked, this, &FrmSceltaStam::usaStampantePredefinita);
    g->addWidget(def, 1, 1);
    auto* opz =
        aggiungi(new QPushButton(QStringLiteral("Opzioni"), f), QStringLiteral("ComOpz(0)"));
    opz->setAutoDefault(false);
    connect(opz, &QPushButton::clicked, this, [this] {
        if (m_opz)
            m_opz->obFlagVideo = false;
    });
    g->addWidget(opz, 1, 2);
    costruisciCartaPagine(f, g);
    return f;
}

// "Stampante predefinita": the default printer, or on a fixed-length file
// the default queue as the file's printer.
void FrmSceltaStam::usaStampantePredefinita() {
    if (m_opz && m_opz->oiStaVid == DestStampa::Fissa) {
        QString nome, mancante, porta;
        LeggiStampanteDefault(nome, mancante, porta);
        if (nome.isEmpty()) {
            AvvisoStampanteDefNonDisp(QStringLiteral("FisFileName"), mancante, m_opz->osSezione());
            return;
        }
        m_opz->osFisFileName = nome; // CUPS prints on the queue by its name
        m_opz->obFisStampante = true;
        AggiornaFisso();
        VisStaAttuale();
        return;
    }
    QString nome, mancante, porta;
    RipristinaStampanteDefault(nome, mancante, porta);
    if (nome.isEmpty() && StampanteCambiata() == 1 && m_opz)
        AvvisoStampanteDefNonDisp(QStringLiteral("NomeStampante"), mancante, m_opz->osSezione());
    else
        ScegliStampante(-1, true);
}

// The paper, the tray, the portrait choice and the page range.
void FrmSceltaStam::costruisciCartaPagine(QGroupBox* f, QGridLayout* g) {
    g->addWidget(new QLabel(QStringLiteral("Tipo carta:"), f), 2, 0);
    auto* carta = aggiungi(new QComboBox(f), QStringLiteral("cboTipoCarta"));
    connect(carta, &QComboBox::activated, this, [this, carta](int) {
        if (m_opz)
            m_opz->setValore(QStringLiteral("NumTipoCarta"), CodiceVoce(carta));
    });
    g->addWidget(carta, 2, 1, 1, 2);
    auto* formati =
        aggiungi(new QPushButton(QStringLiteral("PaperSize"), f), QStringLiteral("ComPaperSize"));
    formati->setAutoDefault(false);
    connect(formati, &QPushButton::clicked, this, [this, carta] {
        QString testo = QStringLiteral("Formati disponibili ");
        for (int i = 1; i < carta->count(); ++i)
            testo += QStringLiteral("\r\n") + carta->itemText(i);
        msgCom(testo, QStringLiteral("&Ok"));
    });
    g->addWidget(formati, 2, 3);
    g->addWidget(new QLabel(QStringLiteral("Cassetto:"), f), 3, 0);
    auto* cassetti = aggiungi(new QComboBox(f), QStringLiteral("cboCassetti"));
    connect(cassetti, &QComboBox::activated, this, [this, cassetti](int) {
        if (m_opz)
            m_opz->setValore(QStringLiteral("NumCassetto"), CodiceVoce(cassetti));
        VisStaAttuale();
    });
    g->addWidget(cassetti, 3, 1, 1, 3);
    auto* forza = aggiungi(
        new QCheckBox(QStringLiteral("Forza la stampa in verticale (Da utilizzarsi solo in caso di "
                                     "foglio più grande  dell' A4)"),
                      f),
        QStringLiteral("CheForzaVert"));
    connect(forza, &QCheckBox::clicked, this, [this](bool v) {
        if (m_opz)
            m_opz->obForzaVert = v;
        VisStaAttuale();
    });
    g->addWidget(forza, 4, 0, 1, 4);
    auto* numPag = aggiungi(new QCheckBox(QStringLiteral("Mess.Numero pagine"), f),
                            QStringLiteral("CheNumPag"));
    connect(numPag, &QCheckBox::clicked, this, [this](bool v) {
        if (m_opz)
            m_opz->setValore(QStringLiteral("MostraNumPag"), v);
    });
    g->addWidget(numPag, 5, 0, 1, 2);
    for (int i : {10, 20}) {
        g->addWidget(
            new QLabel(i == 10 ? QStringLiteral("Da pagina:") : QStringLiteral("A pagina:"), f), 6,
            i == 10 ? 0 : 2);
        auto* t = aggiungi(new QLineEdit(f), QStringLiteral("txt(%1)").arg(i));
        connect(t, &QLineEdit::editingFinished, this, [this, i] { paginaLasciata(i); });
        t->installEventFilter(this);
        g->addWidget(t, 6, i == 10 ? 1 : 3);
    }
}

QGroupBox* FrmSceltaStam::costruisciVideo() {
    auto* f = aggiungi(new QGroupBox(QStringLiteral("Opzioni di Visualizzazione:")),
                       QStringLiteral("FraOpz(1)"));
    auto* g = new QGridLayout(f);
    g->addWidget(aggiungi(new QLabel(f), QStringLiteral("labFatt")), 0, 0);
    g->addWidget(aggiungi(new QLabel(f), QStringLiteral("LabMemVid")), 0, 1);
    for (int i : {30, 40}) {
        auto* t = aggiungi(new QLineEdit(f), QStringLiteral("txt(%1)").arg(i));
        connect(t, &QLineEdit::editingFinished, this, [this, i] { paginaLasciata(i); });
        t->installEventFilter(this);
        g->addWidget(t, 1, i == 30 ? 0 : 1);
    }
    auto* b = aggiungi(new QPushButton(QStringLiteral("Cambia"), f), QStringLiteral("ComOpz(1)"));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this] {
        if (!m_opz)
            return;
        CambiaOpzioniVideo(*m_opz, this);
        AggiornaVideo();
    });
    g->addWidget(b, 0, 2);
    return f;
}

QGroupBox* FrmSceltaStam::costruisciFile() {
    auto* f =
        aggiungi(new QGroupBox(QStringLiteral("Opzioni del file:")), QStringLiteral("FraOpz(2)"));
    auto* g = new QGridLayout(f);
    g->addWidget(aggiungi(new QLabel(f), QStringLiteral("LabFileName")), 0, 0, 1, 2);
    g->addWidget(aggiungi(new QLabel(f), QStringLiteral("LabFileForm")), 1, 0);
    auto* b = aggiungi(new QPushButton(QStringLiteral("Cambia"), f), QStringLiteral("ComOpz(2)"));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, &FrmSceltaStam::cambiaNomeFile);
    g->addWidget(b, 1, 1);
    auto* numNoForm =
        aggiungi(new QCheckBox(QStringLiteral("Tolgo il formato nei campi numerici"), f),
                 QStringLiteral("CheNumNoForm"));
    connect(numNoForm, &QCheckBox::clicked, this, [this](bool v) {
        if (m_opz)
            m_opz->obNumNoForm = v;
    });
    g->addWidget(numNoForm, 2, 0, 1, 2);
    auto* sep =
        aggiungi(new QGroupBox(QStringLiteral("Separatore campi :"), f), QStringLiteral("Fra(1)"));
    auto* ls = new QVBoxLayout(sep);
    const char* sepTesti[] = {"Ta&bulatore", "&Punto e virgola", "&Virgola", "&Spazio"};
    for (int i = 0; i < 4; ++i) {
        auto* o = aggiungi(new QRadioButton(QString::fromUtf8(sepTesti[i]), sep),
                           QStringLiteral("OptSepCampi(%1)").arg(i));
        connect(o, &QRadioButton::clicked, this, [this, i] {
            if (m_opz)
                m_opz->osSepCampi = Separatori[i];
            VisStaAttuale();
        });
        ls->addWidget(o);
    }
    auto* qual = aggiungi(new QGroupBox(QStringLiteral("Qualificatore testo:"), f),
                          QStringLiteral("Fra(2)"));
    auto* lq = new QVBoxLayout(qual);
    const char* qualTesti[] = {"\" &Doppio apice", "' S&ingolo apice", "&Nessuno"};
    for (int i = 0; i < 3; ++i) {
        auto* o = aggiungi(new QRadioButton(QString::fromUtf8(qualTesti[i]), qual),
                           QStringLiteral("OptDelimStr(%1)").arg(i));
        connect(o, &QRadioButton::clicked, this, [this, i] {
            if (m_opz)
                m_opz->osDelimStr = Qualificatori[i];
            VisStaAttuale();
        });
        lq->addWidget(o);
    }
    g->addWidget(sep, 3, 0);
    g->addWidget(qual, 3, 1);
    return f;
}

QGroupBox* FrmSceltaStam::costruisciFisso() {
    auto* f =
        aggiungi(new QGroupBox(QStringLiteral("Opzioni per la stampa / file a lunghezza fissa:")),
                 QStringLiteral("FraOpz(3)"));
    auto* g = new QGridLayout(f);
    auto* porte = aggiungi(new QTableWidget(0, 3, f), QStringLiteral("GriPorte"));
    porte->setHorizontalHeaderLabels(
        {QStringLiteral("N."), QStringLiteral("Nome"), QStringLiteral("Porta")});
    porte->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(porte, &QTableWidget::cellClicked, this, [this, porte](int r, int) {
        if (!m_opz || !porte->item(r, 1))
            return;
        m_opz->osFisFileName = porte->item(r, 1)->text(); // the queue, sent to raw
        m_opz->obFisStampante = true;
        AggiornaFisso();
        VisStaAttuale();
    });
    g->addWidget(porte, 0, 0, 1, 4);
    g->addWidget(aggiungi(new QLabel(f), QStringLiteral("LabFileStampaFis")), 1, 0, 1, 3);
    auto* nome =
        aggiungi(new QPushButton(QStringLiteral("&Nome File"), f), QStringLiteral("ComOpz(3)"));
    nome->setAutoDefault(false);
    connect(nome, &QPushButton::clicked, this, &FrmSceltaStam::cambiaNomeFisso);
    g->addWidget(nome, 1, 3);
    const std::pair<const char*, const char*> numeri[] = {{"TxtFisMrAlt", "Righe vuote in alto:"},
                                                          {"TxtFisMrBas", "Righe vuote in basso:"},
                                                          {"TxtFisColonne", "Colonne:"},
                                                          {"TxtFisRighe", "Righe per pagina:"}};
    int riga = 2;
    for (const auto& [n, testo] : numeri) {
        g->addWidget(new QLabel(QString::fromUtf8(testo), f), riga, 0);
        auto* t = aggiungi(new QLineEdit(f), QString::fromLatin1(n));
        const QString chiave = QString::fromLatin1(n);
        connect(t, &QLineEdit::editingFinished, this, [this, t, chiave] {
            if (!m_opz)
                return;
            const qint16 v = Utilita().TestoInIntero(t->text());
            if (chiave == QLatin1String("TxtFisMrAlt"))
                m_opz->oiFisMrAlt = v;
            else if (chiave == QLatin1String("TxtFisMrBas"))
                m_opz->oiFisMrBas = v;
            else if (chiave == QLatin1String("TxtFisColonne"))
                m_opz->oiFisColonne = v;
            else
                m_opz->oiFisRighe = v;
        });
        g->addWidget(t, riga++, 1);
    }
    auto* comp = aggiungi(new QCheckBox(QStringLiteral("Stampo in compresso"), f),
                          QStringLiteral("CheFisUtilComp"));
    connect(comp, &QCheckBox::clicked, this, [this](bool v) {
        if (m_opz)
            m_opz->obFisUtilComp = v;
        VisStaAttuale();
    });
    g->addWidget(comp, 2, 2, 1, 2);
    for (const auto& [n, testo] : {std::pair{"TxtFisCodIniComp", "Inizio compresso:"},
                                   std::pair{"TxtFisCodFinComp", "Fine compresso:"}}) {
        g->addWidget(new QLabel(QString::fromUtf8(testo), f), riga, 0);
        auto* t = aggiungi(new QLineEdit(f), QString::fromLatin1(n));
        const bool inizio = QLatin1String(n) == QLatin1String("TxtFisCodIniComp");
        connect(t, &QLineEdit::editingFinished, this, [this, t, inizio] {
            if (m_opz)
                (inizio ? m_opz->osFisCodIniComp : m_opz->osFisCodFinComp) = t->text();
        });
        g->addWidget(t, riga++, 1);
    }
    return f;
}

QWidget* FrmSceltaStam::costruisciSalvataggio() {
    auto* pic = aggiungi(new QWidget(this), QStringLiteral("PicSalPar"));
    auto* g = new QGridLayout(pic);
    auto* quale =
        aggiungi(new QGroupBox(QStringLiteral("Dove salvare"), pic), QStringLiteral("FraQualeIni"));
    auto* lq = new QVBoxLayout(quale);
    auto* pers = aggiungi(new QRadioButton(QStringLiteral("Parametri di questo terminale"), quale),
                          QStringLiteral("OptIniPers"));
    auto* std_ =
        aggiungi(new QRadioButton(QStringLiteral("Parametri comuni a tutti i terminali"), quale),
                 QStringLiteral("OptIniStd"));
    pers->setChecked(true);
    lq->addWidget(pers);
    lq->addWidget(std_);
    auto* dove = aggiungi(new QGroupBox(QStringLiteral("In quale zona parametri"), pic),
                          QStringLiteral("FraDoveSalva"));
    auto* ld = new QVBoxLayout(dove);
    auto* inDef = aggiungi(new QRadioButton(QStringLiteral("Nei valori di default"), dove),
                           QStringLiteral("OptSalInDef"));
    auto* inStamp = aggiungi(new QRadioButton(QStringLiteral("Solo per questa stampa"), dove),
                             QStringLiteral("OptSalInStamp"));
    inDef->setChecked(true);
    ld->addWidget(inDef);
    ld->addWidget(inStamp);
    g->addWidget(quale, 0, 0, 1, 2);
    g->addWidget(dove, 0, 2, 1, 2);
    for (int i = 0; i < NumOpzioniSalvate; ++i) {
        auto* che = aggiungi(new QCheckBox(pic), QStringLiteral("Che(%1)").arg(i));
        auto* lab =
            aggiungi(new QLabel(QString::fromUtf8(OpzioniSalvate[size_t(i)].didascalia), pic),
                     QStringLiteral("LabDaSalvare(%1)").arg(i));
        auto* val = aggiungi(new QLabel(pic), QStringLiteral("LabValParam(%1)").arg(i));
        g->addWidget(che, i + 1, 0);
        g->addWidget(lab, i + 1, 1);
        g->addWidget(val, i + 1, 2, 1, 2);
    }
    const int r = NumOpzioniSalvate + 1;
    auto* tutto = aggiungi(new QPushButton(QStringLiteral("Seleziona &tutto"), pic),
                           QStringLiteral("ComSelTutto"));
    auto* niente = aggiungi(new QPushButton(QStringLiteral("Deseleziona t&utto"), pic),
                            QStringLiteral("ComDeSelTutto"));
    auto* ok = aggiungi(new QPushButton(pic), QStringLiteral("comOk"));
    auto* annulla =
        aggiungi(new QPushButton(QStringLiteral("Annu&lla"), pic), QStringLiteral("ComAnnulla"));
    int col = 0;
    for (QPushButton* b : {tutto, niente, ok, annulla}) {
        b->setAutoDefault(false);
        g->addWidget(b, r, col++);
    }
    connect(tutto, &QPushButton::clicked, this, [this] { SelDeselSalOpz(true); });
    connect(niente, &QPushButton::clicked, this, [this] { SelDeselSalOpz(false); });
    connect(ok, &QPushButton::clicked, this, &FrmSceltaStam::comOk_Click);
    connect(annulla, &QPushButton::clicked, pic, &QWidget::hide);
    pic->hide();
    return pic;
}

void FrmSceltaStam::AggiornaFile() {
    if (!m_opz)
        return;
    c<QLabel>(QStringLiteral("LabFileName"))->setText(m_opz->osFileName);
    c<QLabel>(QStringLiteral("LabFileForm"))->setText(m_opz->DescrFormato(m_opz->oiFileForm));
    const bool testo = m_opz->oiFileForm == FormatoFile::Testo;
    if (!testo)
        m_opz->ApplicaFormatoFile();
    controllo(QStringLiteral("Fra(1)"))->setEnabled(testo);
    controllo(QStringLiteral("Fra(2)"))->setEnabled(testo);
    c<QCheckBox>(QStringLiteral("CheNumNoForm"))
        ->setEnabled(m_opz->oiFileForm != FormatoFile::CompatibileExcel);
    for (int i = 0; i < 4; ++i)
        if (m_opz->osSepCampi == Separatori[i])
            c<QRadioButton>(QStringLiteral("OptSepCampi(%1)").arg(i))->setChecked(true);
    for (int i = 0; i < 3; ++i)
        if (m_opz->osDelimStr == Qualificatori[i])
            c<QRadioButton>(QStringLiteral("OptDelimStr(%1)").arg(i))->setChecked(true);
    c<QCheckBox>(QStringLiteral("CheNumNoForm"))->setChecked(m_opz->obNumNoForm);
}

void FrmSceltaStam::AggiornaVideo() {
    if (!m_opz)
        return;
    const IUtilita& u = Utilita();
    c<QLabel>(QStringLiteral("labFatt"))
        ->setText(u.ApplicaFormato(
            u.Arrotonda(double(m_opz->ofFatt) * 100, 5, QStringLiteral("A"), 2, 1, 2, -2),
            QStringLiteral("0.##")));
    c<QLabel>(QStringLiteral("LabMemVid"))
        ->setText(m_opz->oiMemVid == 1 ? QStringLiteral("Si") : QStringLiteral("No"));
}

void FrmSceltaStam::AggiornaFisso() {
    if (!m_opz)
        return;
    c<QCheckBox>(QStringLiteral("CheFisUtilComp"))->setChecked(m_opz->obFisUtilComp);
    c<QLineEdit>(QStringLiteral("TxtFisMrAlt"))->setText(QString::number(m_opz->oiFisMrAlt));
    c<QLineEdit>(QStringLiteral("TxtFisMrBas"))->setText(QString::number(m_opz->oiFisMrBas));
    c<QLineEdit>(QStringLiteral("TxtFisRighe"))->setText(QString::number(m_opz->oiFisRighe));
    c<QLineEdit>(QStringLiteral("TxtFisColonne"))->setText(QString::number(m_opz->oiFisColonne));
    c<QLineEdit>(QStringLiteral("TxtFisCodIniComp"))->setText(m_opz->osFisCodIniComp);
    c<QLineEdit>(QStringLiteral("TxtFisCodFinComp"))->setText(m_opz->osFisCodFinComp);
    c<QLabel>(QStringLiteral("LabFileStampaFis"))->setText(m_opz->osFisFileName);
}

} // namespace quarvel
