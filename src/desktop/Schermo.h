#pragma once
// The screen as the windows see it: size in pixels, twips per pixel, the work
// area left by docked panels, the taskbar state read from it, the usable
// height, and the screen's mouse pointer.
//
// Everything reads the metrics through MetricheSchermoCorrenti(), which asks
// the primary screen unless a simulated screen was set (tests set screen
// sizes and docked panels with ImpostaSchermoSimulato).

#include <QRect>
#include <QtGlobal>
#include <optional>

namespace quarvel {

struct MetricheSchermo {
    QRect geometria; // the whole screen, in pixels
    QRect areaUtile; // what docked panels leave free (availableGeometry)
    double twipsPerPixel = 15.0;

    double larghezzaTwips() const { return geometria.width() * twipsPerPixel; }
    double altezzaTwips() const { return geometria.height() * twipsPerPixel; }
};

// The primary screen, or the simulated one.
MetricheSchermo MetricheSchermoCorrenti();
// Sets (or with nullopt clears) a simulated screen.
void ImpostaSchermoSimulato(std::optional<MetricheSchermo> schermo);
bool SchermoSimulato();

// A screen in twips per pixel: 1440 over its logical dots per inch.
double TwipsPerPixel();
int TwipsInPixel(double twips);
double PixelInTwips(double pixel);

// The taskbar, read from where the work area leaves room for a docked panel.
// Edge: 0 left, 1 top, 2 right, 3 bottom; -1 when no panel holds room.  A
// panel that hides itself holds no room, so it reads as none.
struct StatoBarra {
    bool nascondiAuto = false;
    bool sempreSopra = false;
    qint16 lato = -1;
    qint32 alto = 0;
    float sinistra = 0;
    float destra = 0;
    float basso = 0;
};
StatoBarra LeggiStatoBarra(const MetricheSchermo& schermo);

// The auto-hide state; the other values through the out-arguments.
bool StatoTaskbar(qint16& lato, bool& sempreSopra, qint32& alto, float& sinistra, float& destra,
                  float& basso);

// Usable screen height in twips: the screen height, or the top edge of a
// bottom taskbar that does not hide itself.
qint32 AltezzaUtile();
qint32 AltezzaUtile(const MetricheSchermo& schermo);

// The screen's mouse pointer, one value for the whole program: nullopt is the
// default pointer (no override of the application's cursor).
std::optional<Qt::CursorShape> PuntatoreSchermo();
void ImpostaPuntatoreSchermo(std::optional<Qt::CursorShape> forma);

} // namespace quarvel
