#include "FrmVStampa.h"

#include "desktop/Scala.h"
#include "desktop/ServiziSistema.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "suite/Stampa.h"
#include "suite/StampaAttiva.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTime>
#include <QToolButton>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvel {

namespace {
const QString CrLf = QStringLiteral("\r\n");
const QString StampaTerminata = QStringLiteral("Stampa Terminata");
// The pages are kept in the PNG format whatever the file's ending.
const char* const FormatoPagine = "PNG";
// The beginning of the name of a folder of kept pages.
const QString PrefissoPagine = QStringLiteral("quarvel-pagine-");

// An arrow picture: 1 first page (bar and point to the left), 2 previous,
// 3 next, 4 last (point and bar to the right); greyed when not enabled.
QPixmap Freccia(int i, bool abilitata) {
    const int lato = 24;
    QPixmap pm(lato, lato);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colore = abilitata ? QColor(0x1f, 0x3f, 0x8f) : QColor(0xa8, 0xa8, 0xa8);
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    const bool sinistra = i <= 2;
    const bool barra = i == 1 || i == 4;
    QPainterPath punta;
    if (sinistra) {
        punta.moveTo(5, 12);
        punta.lineTo(17, 4);
        punta.lineTo(17, 20);
    } else {
        punta.moveTo(19, 12);
        punta.lineTo(7, 4);
        punta.lineTo(7, 20);
    }
    punta.closeSubpath();
    QTransform t;
    if (barra)
        t.translate(sinistra ? 2 : -2, 0);
    p.drawPath(t.map(punta));
    if (barra)
        p.drawRect(sinistra ? QRectF(3, 4, 3, 16) : QRectF(18, 4, 3, 16));
    return pm;
}

QPointer<FrmVStampa>& Istanza() {
    static QPointer<FrmVStampa> frm;
    return frm;
}
} // namespace

// ---- The page surface --------------------------------------------------------------

SuperficiePagina::SuperficiePagina(QWidget* genitore) : QWidget(genitore) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SuperficiePagina::setImmagine(QImage img) {
    m_img = std::move(img);
    update();
}

void SuperficiePagina::Pulisci() {
    m_img.fill(Qt::white);
    update();
}

void SuperficiePagina::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!m_img.isNull())
        p.drawImage(0, 0, m_img);
}

// ---- The form ----------------------------------------------------------------------

FrmVStampa::FrmVStampa(QWidget* genitore) : QWidget(genitore, Qt::Window) {
    setObjectName(QStringLiteral("FrmVStampa"));
    setWindowTitle(QStringLiteral("Visualizzazione Stampa"));
    setProperty("HelpContextID", 88);
    setAttribute(Qt::WA_DeleteOnClose); // unloaded: the next print makes a new one
    for (int i = 1; i <= 4; ++i) {
        m_imlFrecce[size_t(i - 1)] = Freccia(i, true);
        m_imlFrecce[size_t(i + 3)] = Freccia(i, false);
    }

    m_picTasti = new QWidget(this);
    m_picTasti->setObjectName(QStringLiteral("PicTasti"));
    auto* l = new QHBoxLayout(m_picTasti);
    l->setContentsMargins(4, 2, 4, 2);
    m_comEsci = new QPushButton(QStringLiteral("&Esci"), m_picTasti);
    m_comEsci->setObjectName(QStringLiteral("ComEsci"));
    m_comEsci->setAutoDefault(false);
    connect(m_comEsci, &QPushButton::clicked, this, &FrmVStampa::ComEsci_Click);
    l->addWidget(m_comEsci);
    l->addSpacing(12);
    const char* suggerimenti[] = {"Prima pagina", "Pagina precedente", "Pagina successiva",
                                  "Ultima pagina"};
    for (int i = 1; i <= 4; ++i) {
        auto* b = new QToolButton(m_picTasti);
        b->setObjectName(QStringLiteral("imaMuovi(%1)").arg(i));
        b->setAutoRaise(true);
        b->setIconSize(QSize(24, 24));
        b->setToolTip(QString::fromUtf8(suggerimenti[i - 1]));
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this, [this, i] { ImaMuovi_Click(i); });
        m_frecce[size_t(i - 1)] = b;
        l->addWidget(b);
    }
    l->addSpacing(12);
    m_labPage = new QLabel(QStringLiteral("Pag.000"), m_picTasti);
    m_labPage->setObjectName(QStringLiteral("labPage"));
    l->addWidget(m_labPage);
    l->addSpacing(12);
    m_labMsg = new QLabel(m_picTasti);
    m_labMsg->setObjectName(QStringLiteral("LabMsg"));
    l->addWidget(m_labMsg, 1);

    m_picPrinc = new QWidget(this);
    m_picPrinc->setObjectName(QStringLiteral("PicPrinc"));
    m_picPrinc->setAutoFillBackground(true);
    QPalette grigio = m_picPrinc->palette();
    grigio.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    m_picPrinc->setPalette(grigio);
    m_picSec = new SuperficiePagina(m_picPrinc);
    m_picSec->setObjectName(QStringLiteral("PicSec"));
    m_picSec->move(0, 0);
    m_picSec->resize(0, 0);

    m_hsc = new QScrollBar(Qt::Horizontal, this);
    m_hsc->setObjectName(QStringLiteral("hscPosOri"));
    m_vsc = new QScrollBar(Qt::Vertical, this);
    m_vsc->setObjectName(QStringLiteral("vscPosVert"));
    m_hsc->hide();
    m_vsc->hide();
    connect(m_hsc, &QScrollBar::valueChanged, this,
            [this](int v) { m_picSec->move(-inPixel(v), m_picSec->y()); });
    connect(m_vsc, &QScrollBar::valueChanged, this,
            [this](int v) { m_picSec->move(m_picSec->x(), -inPixel(v)); });

    SistImgFrecce();
    resize(900, 700);
    // the print windows' own scale ("Risoluzione Video", "StaVid")
    FattoreFinestra(this, false, Sessione().FattoreStaVid, {});
}

FrmVStampa::~FrmVStampa() = default;

int FrmVStampa::inPixel(int twip) const {
    return int(std::lround(twip * double(logicalDpiX()) / 1440.0));
}

int FrmVStampa::inTwip(double pixel) const {
    return int(std::lround(pixel * 1440.0 / double(logicalDpiX())));
}

QString FrmVStampa::FilePagina(int n) const {
    return m_filePagine + QStringLiteral(".%1").arg(n, 3, 10, QLatin1Char('0'));
}

void FrmVStampa::setOgStampa(IStampaVideo* stampa) {
    m_stampa = stampa;
    if (!m_stampa)
        return;
    // a new print in the preview still open: the pages of the one before go
    cancellaFilePagine();
    // the pages in a folder of their own, the print's base name inside it
    m_cartellaPagine = std::make_unique<QTemporaryDir>(
        QDir::tempPath() +
        QStringLiteral("/%1%2-XXXXXX").arg(PrefissoPagine).arg(QCoreApplication::applicationPid()));
    const QString cartella = m_cartellaPagine->isValid()
                                 ? m_cartellaPagine->path()
                                 : QDir::tempPath() + QStringLiteral("/nessuna-cartella");
    m_filePagine = cartella + QLatin1Char('/') + QFileInfo(m_stampa->osBasePagine).fileName() +
                   m_stampa->ovBasePagine2.toString() +
                   QTime::currentTime().toString(QStringLiteral("mmss"));
    m_stampa->oiUltPagSalv = 0;
    m_stampa->oiPagCorr = 1;
    m_stampa->oiPagRich = 1;
    mostraNumero(m_stampa->oiPagCorr);
    m_pagDa = 0;
    m_pagA = 0;
    if (const IOpzioniStampa* o = m_stampa->ogOpzSta()) {
        m_pagDa = o->Valore(QStringLiteral("PaginaDa")).toInt();
        m_pagA = o->Valore(QStringLiteral("PaginaA")).toInt();
    }
}

QImage& FrmVStampa::NuovaPagina(const QSize& pixel, double dpi) {
    QImage& img = m_picSec->Immagine();
    if (img.size() != pixel || img.format() != QImage::Format_RGB32)
        img = QImage(pixel, QImage::Format_RGB32);
    img.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    img.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    img.fill(Qt::white);
    return img;
}

void FrmVStampa::PaginaDisegnata() {
    // a new page is shown from its top left corner
    m_hsc->setValue(0);
    m_vsc->setValue(0);
    if (m_picSec->size() != m_picSec->Immagine().size())
        m_picSec->resize(m_picSec->Immagine().size());
    Dimensiona();
    if (m_stampa)
        mostraNumero(m_stampa->oiPagCorr);
    m_picSec->update();
}

void FrmVStampa::setLabMsg(const QString& testo) {
    m_labMsg->setText(testo);
}

QString FrmVStampa::LabMsg() const {
    return m_labMsg->text();
}

void FrmVStampa::AbilitaFrecce(bool primo, bool precedente, bool successivo, bool ultimo) {
    const bool abil[] = {primo, precedente, successivo, ultimo};
    for (int i = 0; i < 4; ++i)
        m_frecce[size_t(i)]->setEnabled(abil[i]);
    SistImgFrecce();
}

void FrmVStampa::Continua() {
    m_avanti = false;
    while (!m_esci && !m_avanti)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_esci = false;
}

void FrmVStampa::SistImgFrecce() {
    for (int i = 1; i <= 4; ++i) {
        QToolButton* b = m_frecce[size_t(i - 1)];
        b->setIcon(QIcon(m_imlFrecce[size_t(b->isEnabled() ? i - 1 : i + 3)]));
    }
}

void FrmVStampa::mostraNumero(int n) {
    m_labPage->setText(QStringLiteral("Pag.") +
                       QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')));
}

void FrmVStampa::caricaPagina(int n) {
    m_stampa->oiPagCorr = qint16(n);
    mostraNumero(n);
    Clessidra(true);
    QImage img;
    const bool letta = img.load(FilePagina(n), FormatoPagine);
    Clessidra(false);
    if (!letta) {
        MsgBox(QStringLiteral("Errore ") +
               QStringLiteral("File %1 non trovato o illeggibile").arg(FilePagina(n)) +
               QStringLiteral(" in gestione pagine a video (53)"));
        return;
    }
    m_picSec->setImmagine(std::move(img));
    if (m_picSec->size() != m_picSec->Immagine().size()) {
        m_picSec->resize(m_picSec->Immagine().size());
        Dimensiona();
    }
}

void FrmVStampa::memoriaEsaurita() {
    MsgBox(QStringLiteral("Non c'è abbastanza memoria per memorizzare le pagine:") + CrLf +
           QStringLiteral("Provare con una dimensione di caratteri minore.") + CrLf +
           QStringLiteral("MEMORIZZAZIONE DISABILITATA"));
    m_stampa->obMemPag = false;
    for (int i : {1, 2, 4})
        m_frecce[size_t(i - 1)]->setEnabled(false);
    SistImgFrecce();
    Clessidra(false);
    m_stampa->oiPagCorr = m_stampa->oiUltPag;
    mostraNumero(m_stampa->oiPagCorr);
}

void FrmVStampa::ImaMuovi_Click(int i) {
    if (!m_stampa)
        return;
    IStampaVideo& s = *m_stampa;
    m_hsc->setValue(0);
    m_vsc->setValue(0);
    // the page on show is the last one drawn and not kept yet: kept now
    if (s.oiPagCorr == s.oiUltPag && s.obMemPag && s.oiUltPagSalv < s.oiPagCorr) {
        Clessidra(true);
        // a page in black and white is kept in grey levels: a tenth of the
        // size, written in a fifth of the time
        const QImage& pagina = m_picSec->Immagine();
        QImageWriter w(FilePagina(s.oiPagCorr), FormatoPagine);
        const bool scritta =
            w.write(pagina.allGray() ? pagina.convertToFormat(QImage::Format_Grayscale8) : pagina);
        Clessidra(false);
        if (scritta)
            s.oiUltPagSalv = s.oiPagCorr;
        else
            memoriaEsaurita(); // the disk is full, or the folder cannot be written
    }
    switch (i) {
    case 1:
        if (s.obMemPag && s.oiPagCorr >= m_pagDa)
            caricaPagina(m_pagDa < 1 ? 1 : m_pagDa);
        break;
    case 2:
        if (s.obMemPag && s.oiPagCorr > std::max(1, m_pagDa))
            caricaPagina(s.oiPagCorr - 1);
        break;
    case 3:
        s.oiPagCorr = qint16(s.oiPagCorr + 1);
        if (s.oiPagCorr <= s.oiUltPag && s.obMemPag) {
            caricaPagina(s.oiPagCorr);
        } else if (m_labMsg->text() != StampaTerminata) {
            mostraNumero(s.oiPagCorr);
            s.oiPagRich = s.oiPagCorr;
            m_picSec->Pulisci();
            m_avanti = true;
        } else {
            s.oiPagCorr = qint16(s.oiPagCorr - 1);
        }
        break;
    case 4:
        if (s.obMemPag)
            caricaPagina(s.oiUltPag);
        break;
    default:
        break;
    }
}

void FrmVStampa::ComEsci_Click() {
    if (m_stampa)
        m_stampa->obEsci = true;
    QCoreApplication::processEvents();
    m_esci = true;
    if (m_stampa)
        m_stampa->Interrompi(2);
    if (StampaAttiva() != 1)
        close();
}

void FrmVStampa::Dimensiona() {
    const int alto = m_picTasti->sizeHint().height();
    m_picTasti->setGeometry(0, 0, width(), alto);
    const QSize pagina = m_picSec->size();
    const int lv = m_vsc->sizeHint().width();
    const int ao = m_hsc->sizeHint().height();
    int largo = width();
    int altezza = height() - alto;
    // a bar takes room from the other direction: measured twice
    bool serveV = false, serveO = false;
    for (int giro = 0; giro < 2; ++giro) {
        serveV = pagina.height() > altezza - (serveO ? ao : 0);
        serveO = pagina.width() > largo - (serveV ? lv : 0);
    }
    const int vistaL = std::max(0, largo - (serveV ? lv : 0));
    const int vistaA = std::max(0, altezza - (serveO ? ao : 0));
    m_picPrinc->setGeometry(0, alto, vistaL, vistaA);
    m_vsc->setGeometry(vistaL, alto, lv, vistaA);
    m_hsc->setGeometry(0, alto + vistaA, vistaL, ao);
    m_vsc->setVisible(serveV);
    m_vsc->setEnabled(serveV);
    m_hsc->setVisible(serveO);
    m_hsc->setEnabled(serveO);

    // the bars' values are twips: from -100 to the part of the page out of
    // view plus 100
    const int fuoriO = inTwip(pagina.width() - vistaL);
    const int fuoriV = inTwip(pagina.height() - vistaA);
    m_hsc->setRange(-100, std::max(0, fuoriO + 100));
    m_hsc->setPageStep(std::abs(fuoriO) / 10 + 1);
    m_hsc->setSingleStep(std::abs(fuoriO) / 100 + 1);
    long massimoV = std::max(0L, long(fuoriV) + 100);
    if (massimoV > 32767) {
        MsgBox(QStringLiteral("La lunghezza del foglio può essere al massimo di 32.666 mmm. (vedi "
                              "parametri stampante selezionata)"),
               vbOKOnly, QStringLiteral("Stampa a video"));
        massimoV = 32767;
    }
    m_vsc->setRange(-100, int(massimoV));
    m_vsc->setPageStep(std::abs(fuoriV) / 10 + 1);
    m_vsc->setSingleStep(std::abs(fuoriV) / 100 + 1);
    // a page that fits stands at the top left
    if (!serveO)
        m_hsc->setValue(0);
    if (!serveV)
        m_vsc->setValue(0);
    m_picSec->move(-inPixel(m_hsc->value()), -inPixel(m_vsc->value()));
    SistImgFrecce();
}

void FrmVStampa::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Dimensiona();
}

void FrmVStampa::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    Dimensiona();
}

void FrmVStampa::keyPressEvent(QKeyEvent* e) {
    if (TastoAiuto(e, this))
        return;
    QWidget::keyPressEvent(e);
}

void FrmVStampa::closeEvent(QCloseEvent* e) {
    if (StampaAttiva() == 1) {
        MsgBox(QStringLiteral("Non si puo' uscire") + CrLf + QStringLiteral("Stampa ancora attiva"),
               vbCritical, QStringLiteral("Visualizzazione Stampe"));
        e->ignore();
        return;
    }
    cancellaFilePagine();
    if (m_stampa) {
        m_stampa->oiUltPagSalv = 0;
        m_stampa->oiPagCorr = 1;
        m_stampa->oiPagRich = 1;
        m_stampa->obEsci = true;
        m_stampa->Interrompi(1);
        m_stampa->RilasciaFormVideo();
        m_stampa = nullptr;
    }
    if (Istanza() == this)
        Istanza() = nullptr;
    e->accept();
}

void FrmVStampa::cancellaFilePagine() {
    // the folder with every file of the pages, whatever its ending; a
    // missing one is no matter
    m_cartellaPagine.reset();
}

void PulisciPagineAbbandonate(const QString& cartella) {
    const QString dove = cartella.isEmpty() ? QDir::tempPath() : cartella;
    const QDir d(dove);
    static const QRegularExpression nome(
        QStringLiteral("^%1(\\d+)-[A-Za-z0-9]{6}$").arg(PrefissoPagine));
    for (const QString& voce :
         d.entryList({PrefissoPagine + QStringLiteral("*")},
                     QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const auto m = nome.match(voce);
        if (!m.hasMatch())
            continue;
        const QString percorso = d.filePath(voce);
        struct stat st;
        if (::lstat(QFile::encodeName(percorso).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        bool ok = false;
        const qint64 pid = m.captured(1).toLongLong(&ok);
        if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
            continue;
        // a process of that number still running: its pages, or at worst
        // left for another time
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        QDir(percorso).removeRecursively();
    }
}

FrmVStampa* FinestraVStampa() {
    static const bool pulito = (PulisciPagineAbbandonate(), true);
    Q_UNUSED(pulito);
    if (!Istanza())
        Istanza() = new FrmVStampa;
    return Istanza();
}

} // namespace quarvel
