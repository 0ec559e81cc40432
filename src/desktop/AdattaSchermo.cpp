#include "AdattaSchermo.h"

#include "Schermo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace quarvel {

namespace {

QMargins& UltimaCornice() {
    static QMargins m;
    return m;
}

bool SenzaCornici() {
    const QString p = QGuiApplication::platformName();
    return p == QLatin1String("offscreen") || p == QLatin1String("minimal");
}

bool Adattabile(const QWidget* w) {
    if (!w || !w->isWindow())
        return false;
    const Qt::WindowType tipo = w->windowType();
    if (tipo != Qt::Window && tipo != Qt::Dialog && tipo != Qt::Tool && tipo != Qt::Sheet)
        return false;
    return !(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

// How long after the window manager has put its frame on a window its moves
// and resizes are still taken for the window manager's (its placement)
// rather than the operator's.
constexpr qint64 kAssestamentoMs = 2000;

class AdattatoreSchermo final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        const QEvent::Type tipo = e->type();
        if ((tipo != QEvent::Show && tipo != QEvent::Move && tipo != QEvent::Resize) ||
            !o->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(o);
        if (!Adattabile(w))
            return false;
        if (tipo == QEvent::Show) {
            AdattaAlloSchermo(w, false);
            m_mostrate.insert(w, QElapsedTimer());
            connect(
                w, &QObject::destroyed, this, [this, w] { m_mostrate.remove(w); },
                Qt::UniqueConnection);
            // Once mapped the window has the window manager's frame and its
            // own final size: fit again with them.  The frame may come
            // without the window itself moving (its frame grows around it),
            // so it is looked for until it is there.
            Pianifica(w);
            AttendiCornice(w);
            return false;
        }
        // The window manager frames and places a window when it gets to it,
        // later on a busy machine: every move or resize until then, and for
        // a moment after it, fits the window again, before the operator can
        // have moved it.
        const auto i = m_mostrate.find(w);
        if (i == m_mostrate.end())
            return false;
        if (Incorniciata(w) && !i->isValid())
            i->start();
        if (i->isValid() && i->elapsed() > kAssestamentoMs) {
            m_mostrate.erase(i);
            return false;
        }
        Pianifica(w);
        return false;
    }

private:
    static bool Incorniciata(const QWidget* w) {
        return SenzaCornici() || (w->windowFlags() & Qt::FramelessWindowHint) ||
               (w->windowHandle() && !w->windowHandle()->frameMargins().isNull());
    }

    void AttendiCornice(QWidget* w) {
        auto* controllo = new QTimer(w);
        controllo->setInterval(100);
        QElapsedTimer dallInizio;
        dallInizio.start();
        QPointer<QWidget> p(w);
        connect(controllo, &QTimer::timeout, this, [this, p, controllo, dallInizio] {
            if (!p || !p->isVisible() || dallInizio.elapsed() > 10000) {
                controllo->deleteLater();
                return;
            }
            if (!Incorniciata(p))
                return;
            controllo->deleteLater();
            const auto i = m_mostrate.find(p.data());
            if (i != m_mostrate.end() && !i->isValid())
                i->start();
            Pianifica(p);
        });
        controllo->start();
    }

    void Pianifica(QWidget* w) {
        if (w->property("quarvel_adatta_pianificato").toBool())
            return;
        w->setProperty("quarvel_adatta_pianificato", true);
        QPointer<QWidget> p(w);
        QTimer::singleShot(0, w, [p] {
            if (!p)
                return;
            p->setProperty("quarvel_adatta_pianificato", false);
            if (p->isVisible() && Adattabile(p))
                AdattaAlloSchermo(p);
        });
    }

    QHash<QWidget*, QElapsedTimer> m_mostrate;
};

} // namespace

QRect GeometriaNelloSchermo(const QRect& geometria, const QMargins& cornice, const QRect& area) {
    const int orizzontale = cornice.left() + cornice.right();
    const int verticale = cornice.top() + cornice.bottom();
    const int larghezza = std::max(1, std::min(geometria.width(), area.width() - orizzontale));
    const int altezza = std::max(1, std::min(geometria.height(), area.height() - verticale));
    const int xCornice =
        std::clamp(geometria.x() - cornice.left(), area.left(),
                   std::max(area.left(), area.left() + area.width() - larghezza - orizzontale));
    const int yCornice =
        std::clamp(geometria.y() - cornice.top(), area.top(),
                   std::max(area.top(), area.top() + area.height() - altezza - verticale));
    return {xCornice + cornice.left(), yCornice + cornice.top(), larghezza, altezza};
}

QRect AreaUtileFinestra(const QWidget* finestra) {
    if (SchermoSimulato() || !finestra || !finestra->screen())
        return MetricheSchermoCorrenti().areaUtile;
    return finestra->screen()->availableGeometry();
}

QMargins CorniceFinestra(const QWidget* finestra) {
    if (finestra && (finestra->windowFlags() & Qt::FramelessWindowHint))
        return {};
    if (finestra && finestra->isVisible() && finestra->windowHandle()) {
        const QMargins m = finestra->windowHandle()->frameMargins();
        if (!m.isNull()) {
            UltimaCornice() = m;
            return m;
        }
    }
    if (!UltimaCornice().isNull())
        return UltimaCornice();
    if (SenzaCornici())
        return {};
    return {6, 32, 6, 6};
}

void AdattaAlloSchermo(QWidget* finestra, bool collocata) {
    if (!Adattabile(finestra))
        return;
    const QRect area = AreaUtileFinestra(finestra);
    if (area.isEmpty())
        return;
    const QMargins cornice = CorniceFinestra(finestra);
    const QRect g = finestra->geometry();
    // Where a window goes that nobody placed is the window manager's choice
    // (it keeps a window that fits inside the area); without one, the
    // position it has is where it stays.
    const bool sceltaDelGestore =
        !collocata && !finestra->testAttribute(Qt::WA_Moved) && !SenzaCornici();
    QRect nuova = GeometriaNelloSchermo(g, cornice, area);
    if (sceltaDelGestore) {
        if (nuova.size() == g.size())
            return;
        // Shrunk: the middle of the work area.
        const QSize esterna = nuova.size().grownBy(cornice);
        nuova.moveTopLeft(area.topLeft() +
                          QPoint((area.width() - esterna.width()) / 2 + cornice.left(),
                                 (area.height() - esterna.height()) / 2 + cornice.top()));
    }
    if (nuova.size() != g.size()) {
        // A window that cannot shrink enough (its layout's minimum) is
        // allowed to: what it holds is cut rather than off the screen.
        const QSize minimo = finestra->minimumSize();
        if (minimo.width() > nuova.width() || minimo.height() > nuova.height())
            finestra->setMinimumSize(minimo.boundedTo(nuova.size()));
        finestra->resize(nuova.size());
    }
    if (nuova.topLeft() != g.topLeft())
        finestra->move(nuova.topLeft() - QPoint(cornice.left(), cornice.top()));
}

void InstallaAdattamentoSchermo() {
    static QPointer<AdattatoreSchermo> adattatore;
    if (adattatore || !qApp)
        return;
    adattatore = new AdattatoreSchermo(qApp);
    qApp->installEventFilter(adattatore);
}

} // namespace quarvel
