#include "FrmMsgCom.h"

#include "Scala.h"
#include "Schermo.h"
#include "ServiziSistema.h"
#include "suite/Sessione.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWindow>
#include <cmath>

namespace quarvel {

namespace {

// Design sizes and places, in twips.
constexpr int DesignLarghezza = 4800;
constexpr int DesignAltezza = 2100;
constexpr int DesignSinistraEtichetta = 300;
constexpr int DesignAltoEtichetta = 240;
constexpr int DesignAltoTesto = 240;
constexpr int DesignLarghezzaPulsante = 1335;
constexpr int DesignAltezzaPulsante = 405;
// The frame the window system draws around the inner area: borders of four
// pixels and a caption of thirty.
constexpr int BordoPixelOrizzontale = 8;
constexpr int BordoPixelVerticale = 38;

QPointer<FrmMsgCom> istanza;

int Px(double twips, double tpp) {
    return static_cast<int>(std::lround(twips / tpp));
}
// Sizes of what holds text: never a pixel short.
int PxTesto(double twips, double tpp) {
    return static_cast<int>(std::ceil(twips / tpp - 1e-9));
}
int Twips(int px, double tpp) {
    return static_cast<int>(std::ceil(px * tpp - 1e-9));
}

QString TestoEtichetta(QString s) {
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace

FrmMsgCom::FrmMsgCom() {
    setObjectName(QStringLiteral("frmMsgCom"));
    setWindowTitle(QStringLiteral("Richiesta Comando"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    const double tpp = TwipsPerPixel();
    resize(Px(DesignLarghezza, tpp), Px(DesignAltezza, tpp));

    m_etichetta = new QLabel(this);
    m_etichetta->setObjectName(QStringLiteral("LabMessaggio"));
    m_etichetta->setTextFormat(Qt::PlainText);
    m_etichetta->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_etichetta->move(Px(DesignSinistraEtichetta, tpp), Px(DesignAltoEtichetta, tpp));

    m_testo = new QPlainTextEdit(this);
    m_testo->setObjectName(QStringLiteral("txtMessaggio"));
    m_testo->setReadOnly(true);
    m_testo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_testo->setGeometry(0, Px(DesignAltoTesto, tpp), Px(DesignLarghezza, tpp), Px(600, tpp));
    m_testo->hide();
    m_testo->installEventFilter(this);

    QPushButton* primo = CaricaPulsante(0);
    primo->setText(QStringLiteral("OK"));
    primo->setGeometry(Px(1732, tpp), Px(1000, tpp), Px(DesignLarghezzaPulsante, tpp),
                       Px(DesignAltezzaPulsante, tpp));

    m_ritorno = new QLineEdit(this);
    m_ritorno->setObjectName(QStringLiteral("txtComRit"));
    m_ritorno->hide();

    Form_Load();
}

QPushButton* FrmMsgCom::CaricaPulsante(int indice) {
    if (QPushButton* c = m_pulsanti[static_cast<size_t>(indice)])
        return c; // the message laid out again keeps its buttons
    auto* p = new QPushButton(this);
    p->installEventFilter(this);
    p->setObjectName(QStringLiteral("ComEsegui(%1)").arg(indice));
    if (indice > 0)
        p->setGeometry(m_pulsanti[0]->geometry());
    p->setFont(m_pulsanti[0] ? m_pulsanti[0]->font() : font());
    connect(p, &QPushButton::clicked, this, [this, indice] { ComEsegui_Click(indice); });
    m_pulsanti[static_cast<size_t>(indice)] = p;
    return p;
}

QPushButton* FrmMsgCom::ComEsegui(int indice) const {
    return indice >= 0 && indice < 3 ? m_pulsanti[static_cast<size_t>(indice)] : nullptr;
}

void FrmMsgCom::Form_Load() {
    // Sized for the screen like every window; the dialog keeps its own factor.
    FattoreFinestra(this, false, Sessione().FattoreMsgCom, {});
}

void FrmMsgCom::ComEsegui_Click(int indice) {
    m_ritorno->setText(QString::number(indice + 1));
    hide();
}

void FrmMsgCom::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!m_aperto.isValid())
        m_aperto.start();
}

bool FrmMsgCom::TastoNonVoluto(QKeyEvent* e) {
    const int k = e->key();
    const bool risposta =
        k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space || k == Qt::Key_Select;
    if (risposta) {
        const bool presto = !m_aperto.isValid() || m_aperto.elapsed() < GuardiaMs ||
                            (m_ultimoTasto.isValid() && m_ultimoTasto.elapsed() < GuardiaMs);
        if (!presto && !e->isAutoRepeat())
            return false;
        if (e->type() == QEvent::KeyPress && k != Qt::Key_Space && !m_lettura.isEmpty()) {
            // a code and its Return: a reading the list did not take
            m_letture << m_lettura;
            m_lettura.clear();
            MostraLetture();
        }
        if (e->type() == QEvent::KeyPress)
            m_ultimoTasto.start();
        return true;
    }
    if (e->type() != QEvent::KeyPress)
        return false;
    const QString t = e->text();
    if (t.size() != 1 || !t.at(0).isPrint() ||
        (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    // Typing while a message is up: a scanner that goes on reading.  The
    // operator is called once; the characters make the next reading.
    m_lettura += t;
    m_ultimoTasto.start();
    if (!m_avvisato) {
        m_avvisato = true;
        Suona();
    }
    return true;
}

void FrmMsgCom::MostraLetture() {
    RichiestaMsgCom r = m_richiesta;
    r.psLabel += QStringLiteral("\r\n\r\nLetture arrivate con il messaggio aperto, non "
                                "registrate (ripeterle): ") +
                 m_letture.join(QStringLiteral(", "));
    const RichiestaMsgCom originale = m_richiesta;
    Prepara(r);
    m_richiesta = originale;
}

bool FrmMsgCom::eventFilter(QObject* o, QEvent* e) {
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) &&
        TastoNonVoluto(static_cast<QKeyEvent*>(e)))
        return true;
    return QDialog::eventFilter(o, e);
}

void FrmMsgCom::keyPressEvent(QKeyEvent* e) {
    if (TastoNonVoluto(e))
        return;
    if (TastoAiuto(e, this, -1))
        return;
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        // Esc answers only where a button is the cancel button.
        if (m_disposizione.pulsanteAnnulla > 0)
            m_pulsanti[static_cast<size_t>(m_disposizione.pulsanteAnnulla - 1)]->click();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

MetricheMsgCom FrmMsgCom::Metriche(const FrmMsgCom& f) {
    const MetricheSchermo schermo = MetricheSchermoCorrenti();
    const double tpp = schermo.twipsPerPixel;
    MetricheMsgCom m;
    m.larghezzaSchermo = static_cast<int>(std::lround(schermo.larghezzaTwips()));
    m.altezzaSchermo = static_cast<int>(std::lround(schermo.altezzaTwips()));
    m.altezzaUtile = AltezzaUtile(schermo);
    m.bordoOrizzontale = Twips(BordoPixelOrizzontale, tpp);
    m.bordoVerticale = Twips(BordoPixelVerticale, tpp);
    m.altoEtichetta = Twips(f.m_etichetta->y(), tpp);
    m.altoTesto = Twips(f.m_testo->y(), tpp);
    m.larghezzaPulsante = Twips(f.m_pulsanti[0]->width(), tpp);
    m.altezzaPulsante = Twips(f.m_pulsanti[0]->height(), tpp);
    return m;
}

// The label or the text box and the buttons where the layout puts them.
void FrmMsgCom::Disponi(const QString& testo, double tpp) {
    const DisposizioneMsgCom& d = m_disposizione;
    setFixedSize(Px(d.larghezzaInterna, tpp), Px(d.altezzaInterna, tpp));
    if (d.modoTesto) {
        m_etichetta->hide();
        m_testo->setGeometry(Px(d.testo.x(), tpp), Px(d.testo.y(), tpp), Px(d.testo.width(), tpp),
                             Px(d.testo.height(), tpp));
        m_testo->setPlainText(testo);
        m_testo->show();
    } else {
        m_testo->hide();
        const int x = Px(d.etichetta.x(), tpp);
        m_etichetta->setGeometry(x, Px(d.etichetta.y(), tpp),
                                 std::min(PxTesto(d.etichetta.width(), tpp), width() - x),
                                 PxTesto(d.etichetta.height(), tpp));
        m_etichetta->show();
    }
    for (int i = 0; i < d.numeroPulsanti(); ++i) {
        QPushButton* p = m_pulsanti[static_cast<size_t>(i)];
        p->setGeometry(Px(d.sinistraPulsanti[static_cast<size_t>(i)], tpp), Px(d.altoPulsanti, tpp),
                       Px(d.larghezzaPulsante, tpp), Px(d.altezzaPulsante, tpp));
        p->show();
        // Enter answers the default button, or the focused one where there is
        // one; with three buttons Enter answers nothing by itself.
        p->setAutoDefault(d.pulsanteDefault > 0);
        p->setDefault(d.pulsanteDefault == i + 1);
    }
}

void FrmMsgCom::OrdineTab() {
    const DisposizioneMsgCom& d = m_disposizione;
    // Tab order: the first button to get the focus comes first.
    QList<QWidget*> ordine;
    for (int i = 0; i < d.numeroPulsanti(); ++i)
        ordine << m_pulsanti[static_cast<size_t>(i)];
    if (d.pulsanteFuoco > 0) {
        ordine.move(d.pulsanteFuoco - 1, 0);
    }
    if (d.modoTesto)
        ordine << m_testo;
    for (qsizetype i = 1; i < ordine.size(); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);
    ordine.front()->setFocus(Qt::OtherFocusReason);
}

void FrmMsgCom::Prepara(const RichiestaMsgCom& r) {
    m_richiesta = r;
    const MetricheSchermo schermo = MetricheSchermoCorrenti();
    const double tpp = schermo.twipsPerPixel;

    setWindowTitle(r.pvTitolo ? *r.pvTitolo : QGuiApplication::applicationDisplayName());

    // Buttons and captions.
    if (r.pvWidthCom)
        m_pulsanti[0]->resize(Px(*r.pvWidthCom, tpp), m_pulsanti[0]->height());
    m_pulsanti[0]->setText(r.psCom1);
    if (r.pvCom2)
        CaricaPulsante(1)->setText(*r.pvCom2);
    if (r.pvCom3)
        CaricaPulsante(2)->setText(*r.pvCom3);

    if (r.pvFontSize && *r.pvFontSize > 0) {
        QFont f = m_etichetta->font();
        f.setPointSizeF(*r.pvFontSize);
        m_etichetta->setFont(f);
        m_testo->setFont(f);
    }

    // The label measures the message: one line per line break, or wrapped.
    const QString testo = TestoEtichetta(r.psLabel);
    m_etichetta->setWordWrap(false);
    m_etichetta->setText(testo);
    MisuraTesto misura;
    misura.larghezza = [this, tpp] { return Twips(m_etichetta->sizeHint().width(), tpp); };
    misura.altezza = [this, tpp](int larghezza) {
        if (larghezza < 0)
            return Twips(m_etichetta->sizeHint().height(), tpp);
        m_etichetta->setWordWrap(true);
        return Twips(m_etichetta->heightForWidth(static_cast<int>(larghezza / tpp)), tpp);
    };
    m_disposizione = CalcolaDisposizioneMsgCom(r, Metriche(*this), misura);
    const DisposizioneMsgCom& d = m_disposizione;

    Disponi(testo, tpp);
    OrdineTab();

    // Centred on the screen; in text-box mode from the top, as high as the
    // usable height.
    const QRect area = schermo.geometria;
    const int larghezzaPx = Px(d.larghezzaFinestra, tpp);
    const int altezzaPx = Px(d.altezzaFinestra, tpp);
    const int x = area.x() + std::max(0, (area.width() - larghezzaPx) / 2);
    const int altezzaUtilePx = Px(AltezzaUtile(schermo), tpp);
    const int y = d.modoTesto ? area.y() : area.y() + std::max(0, (altezzaUtilePx - altezzaPx) / 2);
    move(x, y);
}

FrmMsgCom* FrmMsgCom::Aperto() {
    return istanza && istanza->isVisible() ? istanza.data() : nullptr;
}

int FrmMsgCom::Esegui(const RichiestaMsgCom& r) {
    if (istanza && istanza->isVisible())
        return 0;
    delete istanza.data();
    istanza = new FrmMsgCom();
    QPointer<FrmMsgCom> f = istanza;
    f->Prepara(r);

    if (r.pbSuona)
        Suona();

    // The arrow while the operator reads, whatever the program was showing.
    const auto puntatore = PuntatoreSchermo();
    if (puntatore)
        ImpostaPuntatoreSchermo(std::nullopt);

    if (QWidget* attiva = QApplication::activeWindow()) {
        f->winId();
        if (f->windowHandle() && attiva->windowHandle())
            f->windowHandle()->setTransientParent(attiva->windowHandle());
    }
    f->exec();

    if (puntatore)
        ImpostaPuntatoreSchermo(puntatore);

    int risposta = 0;
    if (f) {
        bool ok = false;
        risposta = f->m_ritorno->text().toInt(&ok);
        if (!ok)
            risposta = 0;
        delete f.data();
    }
    return risposta;
}

} // namespace quarvel
