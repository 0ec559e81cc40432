#include "suite/Tasti.h"

namespace quarvel {

int CodiceTasto(int k, Qt::KeyboardModifiers mod) {
    const bool tastierino = mod & Qt::KeypadModifier;
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return k; // same codes
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return tastierino ? 96 + (k - Qt::Key_0) : k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return vbKeyF1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Period:
        return tastierino ? 110 : 190;
    case Qt::Key_Comma:
        return tastierino ? 110 : 188;
    case Qt::Key_Minus:
        return tastierino ? 109 : 189;
    case Qt::Key_Plus:
        return tastierino ? 107 : 187;
    case Qt::Key_Asterisk:
        return 106;
    case Qt::Key_Slash:
        return tastierino ? 111 : 191;
    default:
        return 0;
    }
}

int MascheraShift(Qt::KeyboardModifiers mod) {
    int s = 0;
    if (mod & Qt::ShiftModifier)
        s |= vbShiftMask;
    if (mod & Qt::ControlModifier)
        s |= vbCtrlMask;
    if (mod & Qt::AltModifier)
        s |= vbAltMask;
    return s;
}

} // namespace quarvel
