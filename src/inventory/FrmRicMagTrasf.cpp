#include "inventory/FrmRicMagTrasf.h"

#include "aiuto/CampiAiuto.h"
#include "aiuto/Livelli.h"
#include "listform/ProcedureForm.h"
#include "listform/Tastiera.h"
#include "suite/ComponenteAiuto.h"
#include "suite/Errore.h"
#include "suite/MenuClient.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Tasti.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace quarvel {

FrmRicMagTrasf::FrmRicMagTrasf(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("frmRicMagTrasf"));
    setWindowTitle(QStringLiteral("Richiesta Magazzino"));
    m_labRichiesta = new QLabel(QStringLiteral("Richiesta Magazzino per trasformazione"), this);
    m_labRichiesta->setObjectName(QStringLiteral("LabRichiesta"));
    m_txt = new QLineEdit(this);
    m_txt->setObjectName(QStringLiteral("txt(90)"));
    m_txt->setMaximumWidth(120);
    m_comHlp = new QPushButton(QStringLiteral(".."), this);
    m_comHlp->setObjectName(QStringLiteral("comHlp(90)"));
    m_comHlp->setFocusPolicy(Qt::NoFocus);
    m_comHlp->setFixedWidth(28);
    m_lab = new QLabel(this);
    m_lab->setObjectName(QStringLiteral("Lab(90)"));
    m_lab->setMinimumWidth(240);
    m_lab->setFrameShape(QFrame::StyledPanel);
    m_comOk = new QPushButton(QStringLiteral("Ok"), this);
    m_comOk->setObjectName(QStringLiteral("comOk"));
    m_comOk->setAutoDefault(false);
    m_comAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    m_comAnnulla->setObjectName(QStringLiteral("ComAnnulla"));
    m_comAnnulla->setAutoDefault(false);

    auto* g = new QGridLayout(this);
    g->addWidget(m_labRichiesta, 0, 0, 1, 3);
    g->addWidget(m_txt, 1, 0);
    g->addWidget(m_comHlp, 1, 1);
    g->addWidget(m_lab, 1, 2);
    auto* h = new QHBoxLayout;
    h->addStretch(1);
    h->addWidget(m_comOk);
    h->addWidget(m_comAnnulla);
    g->addLayout(h, 2, 0, 1, 3);

    m_txt->installEventFilter(this);
    connect(m_comHlp, &QPushButton::clicked, this, [this] {
        m_txt->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        txt_KeyUp(miMagaz, 113, 0);
    });
    connect(m_comOk, &QPushButton::clicked, this, &FrmRicMagTrasf::comOk_Click);
    connect(m_comAnnulla, &QPushButton::clicked, this, &FrmRicMagTrasf::ComAnnulla_Click);
    m_anteprima = new AnteprimaTasti(this, false, true);
}

FrmRicMagTrasf::~FrmRicMagTrasf() = default;

void FrmRicMagTrasf::showEvent(QShowEvent* e) {
    if (!m_caricata)
        Form_Load();
    QDialog::showEvent(e);
    if (!m_txt->hasFocus())
        QTimer::singleShot(0, m_txt, [t = m_txt] { t->setFocus(Qt::OtherFocusReason); });
}

void FrmRicMagTrasf::Form_Load() {
    m_caricata = true;
    PreparaForm(this, FlagPrepara::NoAvviso);
    m_helpContextID = 21605;
    obOk = false;
    miMagaz = 90;
    if (!osDescriz.isEmpty()) {
        m_labRichiesta->setText(osDescriz);
        m_helpContextID = 22104;
    }
    QString proposto = osMagazBase;
    if (proposto.isEmpty())
        if (IMenuClient* m = Sessione().MenuClient)
            proposto = m->LeggiValore(QStringLiteral("Mag.MagPrincipale"), QString());
    m_txt->setText(proposto);
    Decodifica();
    m_comAnnulla->setVisible(osMostraAnnulla == QLatin1String("S"));
    FinePreparaForm(this, 0);
}

void FrmRicMagTrasf::Decodifica() {
    try {
        DecodificaCampo(QStringLiteral("Magazzino"), m_txt, m_lab);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    }
}

void FrmRicMagTrasf::txt_KeyUp(int Index, int KeyCode, int Shift) {
    if (Index != miMagaz || KeyCode < 113 || KeyCode > 116 || (Shift & vbShiftMask))
        return;
    try {
        bool trovato = false;
        int tasto = KeyCode;
        AiutoCampo(QStringLiteral("Magazzino"), m_txt, m_lab, tasto, std::nullopt, trovato);
    } catch (const Errore& e) {
        ImpostaErrore(e);
        MsgErrfrm();
    }
}

bool FrmRicMagTrasf::eventFilter(QObject* o, QEvent* e) {
    if (o == m_txt) {
        switch (e->type()) {
        case QEvent::FocusIn:
            ColoreEntrata(m_txt, false);
            QTimer::singleShot(0, m_txt, [t = m_txt] { t->selectAll(); });
            break;
        case QEvent::FocusOut:
            ColoreUscita(m_txt, false);
            if (isVisible())
                Decodifica();
            break;
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            if (!k->isAutoRepeat())
                txt_KeyUp(miMagaz, CodiceTasto(k->key(), k->modifiers()),
                          MascheraShift(k->modifiers()));
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(o, e);
}

void FrmRicMagTrasf::comOk_Click() {
    // the code as it stands now, even when the click came before leaving it
    Decodifica();
    if (!m_txt->text().trimmed().isEmpty() && ColoreSfondo(m_txt) != Sessione().ColoreErrore) {
        osMagazScelto = m_txt->text();
        obOk = true;
        hide();
        return;
    }
    msgCom(QStringLiteral("Magazzino non valido"), QStringLiteral("&Ok"));
    m_txt->setFocus(Qt::OtherFocusReason);
}

void FrmRicMagTrasf::ComAnnulla_Click() {
    obOk = false;
    hide();
}

void FrmRicMagTrasf::reject() {
    // Esc is dropped by the keyboard filter; the window's own close cancels.
}

void FrmRicMagTrasf::closeEvent(QCloseEvent* e) {
    obOk = false;
    e->accept();
    hide();
}

} // namespace quarvel
