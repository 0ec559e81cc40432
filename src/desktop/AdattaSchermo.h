#pragma once
// Every window of the program opens inside the screen's work area (what the
// desktop's panels leave free), with the window manager's frame: a window
// designed or scaled larger than the screen shrinks to it, one placed partly
// outside moves in.  Windows keep their own layout of what they hold (a grid
// scrolls, a form's frames scroll).

#include <QMargins>
#include <QRect>

class QWidget;

namespace quarvel {

// The client geometry that puts a window inside the area: geometria is the
// client area (without frame), cornice the frame around it.  The size shrinks
// to what the area leaves after the frame; then the frame moves inside the
// area, by as little as it takes.
QRect GeometriaNelloSchermo(const QRect& geometria, const QMargins& cornice, const QRect& area);

// The work area a window opens in: the simulated screen's in tests, else
// that of the window's screen (the primary one before it has one).
QRect AreaUtileFinestra(const QWidget* finestra);

// The frame the window manager puts around a window: its own once it is on
// screen, else the last one seen on a window of the program, else a title
// bar and borders of a usual size (none on a platform without frames).
QMargins CorniceFinestra(const QWidget* finestra);

// Fits one top-level window (not a maximized, full-screen or minimized one,
// nor a menu or tooltip): its size and position.  Before the window manager
// has placed it (collocata false), a window whose position nobody chose
// keeps the window manager's placement, unless it had to shrink: then it
// goes to the middle of the area.
void AdattaAlloSchermo(QWidget* finestra, bool collocata = true);

// From now on every top-level window fits when it is shown, and again once
// the window manager has put its frame around it.
void InstallaAdattamentoSchermo();

} // namespace quarvel
