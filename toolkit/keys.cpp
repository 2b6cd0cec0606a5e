#include "toolkit/keys.h"

#include <Qt>

namespace keys {

quint16 fromQtKey(int k)
{
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return quint16(k); // same codes as ASCII digits
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return quint16(k);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return quint16(0x70 + (k - Qt::Key_F1));
    switch (k) {
    case Qt::Key_Backspace:
        return vkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return vkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vkReturn;
    case Qt::Key_Shift:
        return vkShift;
    case Qt::Key_Control:
        return vkControl;
    case Qt::Key_Alt:
        return vkMenu;
    case Qt::Key_Escape:
        return vkEscape;
    case Qt::Key_Space:
        return vkSpace;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return vkLeft;
    case Qt::Key_Up:
        return vkUp;
    case Qt::Key_Right:
        return vkRight;
    case Qt::Key_Down:
        return vkDown;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

} // namespace keys
