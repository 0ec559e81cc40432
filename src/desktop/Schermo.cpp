#include "Schermo.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace quarvel {

namespace {
std::optional<MetricheSchermo>& Simulato() {
    static std::optional<MetricheSchermo> s;
    return s;
}
} // namespace

void ImpostaSchermoSimulato(std::optional<MetricheSchermo> schermo) {
    Simulato() = std::move(schermo);
}

bool SchermoSimulato() {
    return Simulato().has_value();
}

MetricheSchermo MetricheSchermoCorrenti() {
    if (Simulato())
        return *Simulato();
    MetricheSchermo m;
    const QScreen* s = QGuiApplication::primaryScreen();
    if (!s) {
        m.geometria = QRect(0, 0, 800, 600);
        m.areaUtile = m.geometria;
        return m;
    }
    m.geometria = s->geometry();
    m.areaUtile = s->availableGeometry();
    const double dpi = s->logicalDotsPerInchX();
    m.twipsPerPixel = dpi > 0 ? 1440.0 / dpi : 15.0;
    return m;
}

double TwipsPerPixel() {
    return MetricheSchermoCorrenti().twipsPerPixel;
}

int TwipsInPixel(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel()));
}

double PixelInTwips(double pixel) {
    return pixel * TwipsPerPixel();
}

StatoBarra LeggiStatoBarra(const MetricheSchermo& schermo) {
    StatoBarra b;
    const QRect& g = schermo.geometria;
    const QRect& a = schermo.areaUtile;
    if (a.isEmpty() || a == g)
        return b;
    // A panel at the bottom decides the usable height, so it wins when the
    // desktop has more than one.
    if (a.bottom() < g.bottom()) {
        b.lato = 3;
        b.alto = a.bottom() + 1;
        b.sinistra = static_cast<float>(g.left());
        b.destra = static_cast<float>(g.right() + 1);
        b.basso = static_cast<float>(g.bottom() + 1);
    } else if (a.top() > g.top()) {
        b.lato = 1;
        b.alto = g.top();
        b.sinistra = static_cast<float>(g.left());
        b.destra = static_cast<float>(g.right() + 1);
        b.basso = static_cast<float>(a.top());
    } else if (a.left() > g.left()) {
        b.lato = 0;
        b.alto = g.top();
        b.sinistra = static_cast<float>(g.left());
        b.destra = static_cast<float>(a.left());
        b.basso = static_cast<float>(g.bottom() + 1);
    } else if (a.right() < g.right()) {
        b.lato = 2;
        b.alto = g.top();
        b.sinistra = static_cast<float>(a.right() + 1);
        b.destra = static_cast<float>(g.right() + 1);
        b.basso = static_cast<float>(g.bottom() + 1);
    } else {
        return b;
    }
    b.sempreSopra = true;
    return b;
}

bool StatoTaskbar(qint16& lato, bool& sempreSopra, qint32& alto, float& sinistra, float& destra,
                  float& basso) {
    const StatoBarra b = LeggiStatoBarra(MetricheSchermoCorrenti());
    lato = b.lato;
    sempreSopra = b.sempreSopra;
    if (b.lato >= 0) {
        alto = b.alto;
        sinistra = b.sinistra;
        destra = b.destra;
        basso = b.basso;
    }
    return b.nascondiAuto;
}

qint32 AltezzaUtile(const MetricheSchermo& schermo) {
    const StatoBarra b = LeggiStatoBarra(schermo);
    if (b.lato == 3 && !b.nascondiAuto)
        return static_cast<qint32>(std::lround(b.alto * schermo.twipsPerPixel));
    return static_cast<qint32>(std::lround(schermo.altezzaTwips()));
}

qint32 AltezzaUtile() {
    return AltezzaUtile(MetricheSchermoCorrenti());
}

std::optional<Qt::CursorShape> PuntatoreSchermo() {
    if (const QCursor* c = QGuiApplication::overrideCursor())
        return c->shape();
    return std::nullopt;
}

void ImpostaPuntatoreSchermo(std::optional<Qt::CursorShape> forma) {
    if (!forma) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    if (QGuiApplication::overrideCursor())
        QGuiApplication::changeOverrideCursor(QCursor(*forma));
    else
        QGuiApplication::setOverrideCursor(QCursor(*forma));
}

} // namespace quarvel
