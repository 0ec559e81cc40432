#pragma once
// Keys as the key handlers see them: the KeyCode of a Qt key (the Windows
// virtual-key code the handlers were written against) and the Shift mask of
// its modifiers.  One table for the grid, the forms and the window services.

#include <Qt>

namespace quarvel {

inline constexpr int vbKeyF1 = 112;
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

// The key code of a Qt key, 0 for a key without one.  The modifiers tell
// the numeric keypad's keys from the main keyboard's (digits 96-105, "."
// and "," 110, "+" 107, "-" 109, "*" 106, "/" 111).  Shift+Tab (Qt's
// Backtab) is Tab, 9, as on Windows.
int CodiceTasto(int tastoQt, Qt::KeyboardModifiers mod = {});
// vbShiftMask, vbCtrlMask and vbAltMask of the modifiers.
int MascheraShift(Qt::KeyboardModifiers mod);

} // namespace quarvel
