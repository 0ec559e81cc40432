#include "FrmVStaPar.h"

#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "suite/Sessione.h"
#include "suite/Stampa.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <cmath>

namespace quarvel {

namespace {
const QString RigaProva1 = QStringLiteral("Testo di Prova. Grandezza dei Caratteri in stampa, ");
const QString RigaProva2 = QStringLiteral("usando come Font base Arial di grandezza 10 ");
} // namespace

ProvaCaratteri::ProvaCaratteri(QWidget* genitore) : QWidget(genitore) {
    setObjectName(QStringLiteral("PicProva"));
    setAutoFillBackground(true);
    QPalette bianco = palette();
    bianco.setColor(QPalette::Window, Qt::white);
    setPalette(bianco);
    setMinimumSize(420, 120);
}

QFont ProvaCaratteri::Carattere() const {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(std::max(1.0, m_percento / 100.0 * 10));
    return f;
}

void ProvaCaratteri::setProporzione(int percento) {
    m_percento = percento;
    update();
}

void ProvaCaratteri::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.setFont(Carattere());
    const QFontMetrics fm(p.font());
    p.drawText(4, 4 + fm.ascent(), RigaProva1);
    p.drawText(4, 4 + fm.height() + fm.ascent(), RigaProva2);
}

FrmVStaPar::FrmVStaPar(QWidget* genitore) : QDialog(genitore) {
    setObjectName(QStringLiteral("frmVStaPar"));
    setWindowTitle(QStringLiteral("Grandezza visualizzazione stampe"));
    setProperty("HelpContextID", 88);
    auto* g = new QGridLayout(this);
    m_vsbProp = new QScrollBar(Qt::Vertical, this);
    m_vsbProp->setObjectName(QStringLiteral("VsbProp"));
    // up the bar is a larger zoom
    m_vsbProp->setInvertedAppearance(true);
    m_vsbProp->setInvertedControls(true);
    m_vsbProp->setRange(ZoomMinimo, ZoomMassimo);
    m_vsbProp->setSingleStep(1);
    m_vsbProp->setPageStep(10);
    m_labProp = new QLabel(this);
    m_labProp->setObjectName(QStringLiteral("LabProp"));
    m_labProp->setToolTip(QStringLiteral("Doppio clic: 67 con le pagine memorizzate"));
    m_labProp->installEventFilter(this);
    m_picProva = new ProvaCaratteri(this);
    m_cheMemVid = new QCheckBox(QStringLiteral("Memorizza pagine"), this);
    m_cheMemVid->setObjectName(QStringLiteral("CheMemVid"));
    m_cmdOk = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOk->setObjectName(QStringLiteral("CmdOk"));
    g->addWidget(m_vsbProp, 0, 0, 3, 1);
    g->addWidget(m_labProp, 0, 1);
    g->addWidget(m_picProva, 1, 1, 1, 2);
    g->addWidget(m_cheMemVid, 2, 1);
    g->addWidget(m_cmdOk, 2, 2);
    connect(m_vsbProp, &QScrollBar::valueChanged, this, [this](int v) {
        m_labProp->setText(QString::number(v));
        m_picProva->setProporzione(v);
    });
    connect(m_cmdOk, &QPushButton::clicked, this, &QDialog::accept);
    m_vsbProp->setValue(100);
    m_labProp->setText(QString::number(m_vsbProp->value()));
    m_picProva->setProporzione(m_vsbProp->value());
    FattoreFinestra(this, false, Sessione().FattoreStaVid, {});
}

bool FrmVStaPar::eventFilter(QObject* o, QEvent* e) {
    if (o == m_labProp && e->type() == QEvent::MouseButtonDblClick) {
        m_vsbProp->setValue(67);
        m_cheMemVid->setChecked(true);
        return true;
    }
    return QDialog::eventFilter(o, e);
}

void FrmVStaPar::keyPressEvent(QKeyEvent* e) {
    if (TastoAiuto(e, this))
        return;
    QDialog::keyPressEvent(e);
}

bool CambiaOpzioniVideo(IOpzioniStampa& o, QWidget* genitore) {
    if (o.ofFatt == 0)
        o.ofFatt = 1.0f;
    const double scala = Sessione().FattoreStaVid;
    FrmVStaPar dlg(genitore);
    dlg.VsbProp()->setValue(scala > 0 ? int(std::lround(double(o.ofFatt) * 100 / scala))
                                      : int(double(o.ofFatt) * 100));
    dlg.CheMemVid()->setChecked(o.oiMemVid == 1);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    double fatt = dlg.VsbProp()->value() / 100.0;
    if (scala > 0)
        fatt = std::round(fatt * scala * 100) / 100;
    o.ofFatt = float(fatt);
    o.oiMemVid = dlg.CheMemVid()->isChecked() ? 1 : 0;
    o.obFlagVideo = true;
    return true;
}

} // namespace quarvel
