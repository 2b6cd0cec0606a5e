#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

// A colour as the 32-bit number the forms are written in: 0x00BBGGRR for a fixed
// colour, 0xFF0000nn for the system colour with index nn.
using TColor = quint32;

namespace colors {

constexpr TColor clBlack = 0x00000000;
constexpr TColor clMaroon = 0x00000080;
constexpr TColor clGreen = 0x00008000;
constexpr TColor clOlive = 0x00008080;
constexpr TColor clNavy = 0x00800000;
constexpr TColor clPurple = 0x00800080;
constexpr TColor clTeal = 0x00808000;
constexpr TColor clGray = 0x00808080;
constexpr TColor clSilver = 0x00C0C0C0;
constexpr TColor clRed = 0x000000FF;
constexpr TColor clLime = 0x0000FF00;
constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clBlue = 0x00FF0000;
constexpr TColor clFuchsia = 0x00FF00FF;
constexpr TColor clAqua = 0x00FFFF00;
constexpr TColor clWhite = 0x00FFFFFF;

// The terminal's own colours.
constexpr TColor darkBlue = 0x00A00000;     // captions and texts of the point input window
constexpr TColor veryDarkBlue = 0x00400000; // the answer button without the focus
constexpr TColor lightBlue = 0x00FF8080;    // the seat's confirm button at rest
constexpr TColor springGreen = 0x0098F957;  // the seat's confirm button with the focus
constexpr TColor lightGreen = 0x0080FF80;   // the connection line
constexpr TColor nearWhite = 0x00FDFDFD;    // the version mark
constexpr TColor pink = 0x00FF80FF;         // the operator-not-ready notice
constexpr TColor paleLime = 0x0050F3B1;     // the face of the mark

constexpr TColor clSystemFlag = 0xFF000000;
constexpr TColor clWindow = 0xFF000005;
constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clHighlight = 0xFF00000D;
constexpr TColor clHighlightText = 0xFF00000E;
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clBtnShadow = 0xFF000010;
constexpr TColor clGrayText = 0xFF000011;
constexpr TColor clBtnText = 0xFF000012;
constexpr TColor clBtnHighlight = 0xFF000014;
constexpr TColor cl3DDkShadow = 0xFF000015;
constexpr TColor cl3DLight = 0xFF000016;

constexpr bool isSystem(TColor c)
{
    return (c & 0xFF000000u) == clSystemFlag;
}

// The one place that decodes colour numbers. System colours come from the palette.
QColor toQColor(TColor c, const QPalette &palette);
QColor toQColor(TColor c);

// The fixed colour as 0x00BBGGRR, system colours resolved through the palette.
TColor toRgbNumber(TColor c);

} // namespace colors
