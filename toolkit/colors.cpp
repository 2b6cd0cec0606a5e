#include "toolkit/colors.h"

#include <QGuiApplication>

namespace colors {

namespace {

struct SystemColour
{
    quint8 index;
    QPalette::ColorRole role;
};

// Windows system colour indices and the palette roles that stand for them.
constexpr SystemColour s_systemColours[] = {
    {0, QPalette::Button},
    {1, QPalette::Window},
    {2, QPalette::Highlight},
    {3, QPalette::Mid},
    {4, QPalette::Button},
    {5, QPalette::Base},
    {6, QPalette::Shadow},
    {7, QPalette::ButtonText},
    {8, QPalette::WindowText},
    {9, QPalette::HighlightedText},
    {10, QPalette::Button},
    {11, QPalette::Button},
    {12, QPalette::Mid},
    {13, QPalette::Highlight},
    {14, QPalette::HighlightedText},
    {15, QPalette::Button},
    {16, QPalette::Dark},
    {17, QPalette::PlaceholderText},
    {18, QPalette::ButtonText},
    {19, QPalette::Text},
    {20, QPalette::Light},
    {21, QPalette::Shadow},
    {22, QPalette::Midlight},
    {23, QPalette::ToolTipText},
    {24, QPalette::ToolTipBase},
};

} // namespace

QColor toQColor(TColor c, const QPalette &palette)
{
    if (isSystem(c)) {
        const quint8 index = c & 0xFF;
        for (const auto &s : s_systemColours) {
            if (s.index == index)
                return palette.color(QPalette::Active, s.role);
        }
        return palette.color(QPalette::Active, QPalette::Button);
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

QColor toQColor(TColor c)
{
    return toQColor(c, QGuiApplication::palette());
}

TColor toRgbNumber(TColor c)
{
    const QColor q = toQColor(c);
    return TColor(q.red()) | (TColor(q.green()) << 8) | (TColor(q.blue()) << 16);
}

} // namespace colors
