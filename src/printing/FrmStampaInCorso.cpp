#include "FrmStampaInCorso.h"

#include "FrmSceltaStam.h"
#include "PreparaEmail.h"
#include "desktop/Scala.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace quarvel {

FrmStampaInCorso::FrmStampaInCorso(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("frmStampaInCorso"));
    setWindowTitle(QStringLiteral("Stampa ordini in corso"));
    auto* g = new QGridLayout(this);
    auto* picVemo = new QLabel(this);
    picVemo->setObjectName(QStringLiteral("PicVemo"));
    auto* lblStamp = new QLabel(QStringLiteral("Stampa ordine in corso."), this);
    lblStamp->setObjectName(QStringLiteral("lblStamp"));
    auto* lblPrePag = new QLabel(QStringLiteral("In stampa la pagina:"), this);
    lblPrePag->setObjectName(QStringLiteral("LblPrePag"));
    m_lblPag = new QLabel(this);
    m_lblPag->setObjectName(QStringLiteral("LblPag"));
    m_comStampa = new QPushButton(QStringLiteral("Interrompi la stampa"), this);
    m_comStampa->setObjectName(QStringLiteral("ComSTampa"));
    g->addWidget(picVemo, 0, 0, 2, 1);
    g->addWidget(lblStamp, 0, 1, 1, 2);
    g->addWidget(lblPrePag, 1, 1);
    g->addWidget(m_lblPag, 1, 2);
    g->addWidget(m_comStampa, 2, 0, 1, 3);
    connect(m_comStampa, &QPushButton::clicked, this, &FrmStampaInCorso::ComSTampa_Click);
    // the print windows' own scale ("Risoluzione Video", "StaVid")
    setProperty("osRisVidKey", QStringLiteral("StaVid"));
    adjustSize(); // the designed size, which the scale enlarges
    FattoreFinestra(this, false, Sessione().FattoreStaVid, {});
}

void FrmStampaInCorso::MostraPagina(int pagina) {
    m_lblPag->setText(QString::number(pagina));
}

namespace {
RichiestaDatiEmail& Richiesta() {
    static RichiestaDatiEmail r;
    return r;
}
} // namespace

void ImpostaRichiestaDatiEmail(RichiestaDatiEmail richiesta) {
    Richiesta() = std::move(richiesta);
}

bool FrmStampaInCorso::ChiediEmailLogPwd() {
    IOpzioniStampa* o = m_stampa ? m_stampa->ogOpzSta() : nullptr;
    if (!o)
        return false;
    try {
        PreparaEmail().InviaEmail(*o, QString());
        return true;
    } catch (const Errore& e) {
        if (e.numero() != ErrDatiEmailMancanti) {
            MsgErrfrm(e.descrizione(), QString::number(e.numero()));
            return false;
        }
    }
    // The data are missing: the operator completes them, then the message
    // is prepared again.
    bool ok = false;
    if (Richiesta()) {
        ok = Richiesta()(*o);
    } else {
        FrmSceltaStam dialogo(this);
        dialogo.setOgOpzSta(o);
        dialogo.oiRichDatiEmail = 1000;
        ok = dialogo.RichDatiEmail();
        dialogo.oiRichDatiEmail = 0;
    }
    if (!ok)
        return false;
    try {
        PreparaEmail().InviaEmail(*o, QString());
        return true;
    } catch (const Errore& e) {
        MsgErrfrm(e.descrizione(), QString::number(e.numero()));
        return false;
    }
}

void FrmStampaInCorso::ComSTampa_Click() {
    if (m_stampa)
        m_stampa->Interrompi(1);
}

void FrmStampaInCorso::closeEvent(QCloseEvent* e) {
    m_stampa = nullptr;
    QDialog::closeEvent(e);
}

} // namespace quarvel
