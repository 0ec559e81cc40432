#include "inventory/FrmCaricaFile.h"

#include "inventory/CaricoConteggi.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarvel {

namespace {

QLabel* Numero(QWidget* genitore, const char* nome) {
    auto* l = new QLabel(QStringLiteral("0"), genitore);
    l->setObjectName(QString::fromLatin1(nome));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(90);
    l->setFrameShape(QFrame::StyledPanel);
    return l;
}

} // namespace

FrmCaricaFile::FrmCaricaFile(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("frmCaricaFile"));
    setWindowTitle(QStringLiteral("Caricamento da file"));
    // the form waits while its rows are being written
    setWindowModality(Qt::ApplicationModal);

    m_labFile = new QLabel(this);
    m_labFile->setObjectName(QStringLiteral("labFile"));
    m_labFile->setTextFormat(Qt::PlainText);
    m_labFile->setWordWrap(true);
    m_labFile->setMinimumWidth(360);
    m_labLette = Numero(this, "labLette");
    m_labScritte = Numero(this, "labScritte");
    m_labScartate = Numero(this, "labScartate");
    m_labVuote = Numero(this, "labVuote");
    m_labAttesa = new QLabel(this);
    m_labAttesa->setObjectName(QStringLiteral("labAttesa"));
    m_labAttesa->setTextFormat(Qt::PlainText);
    m_labAttesa->setWordWrap(true);
    m_labAttesa->setVisible(false);
    m_comFerma = new QPushButton(QStringLiteral("&Ferma caricamento"), this);
    m_comFerma->setObjectName(QStringLiteral("ComFerma"));
    m_comFerma->setAutoDefault(false);

    auto* conti = new QFormLayout;
    conti->addRow(QStringLiteral("Righe lette:"), m_labLette);
    conti->addRow(QStringLiteral("Righe scritte:"), m_labScritte);
    conti->addRow(QStringLiteral("Righe scartate:"), m_labScartate);
    conti->addRow(QStringLiteral("Righe vuote:"), m_labVuote);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addStretch(1);
    pulsanti->addWidget(m_comFerma);
    auto* v = new QVBoxLayout(this);
    v->addWidget(m_labFile);
    v->addLayout(conti);
    v->addWidget(m_labAttesa);
    v->addLayout(pulsanti);

    connect(m_comFerma, &QPushButton::clicked, this, &FrmCaricaFile::ComFerma_Click);
}

FrmCaricaFile::~FrmCaricaFile() = default;

void FrmCaricaFile::ImpostaFile(const QString& file) {
    m_labFile->setText(QStringLiteral("Caricamento del file %1").arg(file));
}

void FrmCaricaFile::Aggiorna(const inventario::EsitoCarico& esito) {
    const QLocale l;
    m_labLette->setText(l.toString(esito.righeLette));
    m_labScritte->setText(l.toString(esito.righeScritte));
    m_labScartate->setText(l.toString(esito.righeScartate));
    m_labVuote->setText(l.toString(esito.righeVuote));
    m_labAttesa->setText(esito.attesa);
    m_labAttesa->setVisible(!esito.attesa.isEmpty());
}

void FrmCaricaFile::ComFerma_Click() {
    if (m_fermato)
        return;
    m_fermato = true;
    m_comFerma->setEnabled(false);
    m_comFerma->setText(QStringLiteral("Arresto in corso..."));
}

void FrmCaricaFile::closeEvent(QCloseEvent* e) {
    // the window goes when the load has stopped, not before
    e->ignore();
    ComFerma_Click();
}

void FrmCaricaFile::reject() {
    // Esc does not stop a load: only the button or the window's close does
}

} // namespace quarvel
