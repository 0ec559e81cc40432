#include "FrmStampaInCorso.h"

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
}

void FrmStampaInCorso::MostraPagina(int pagina) {
    m_lblPag->setText(QString::number(pagina));
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
