#pragma once

#include <QColor>
#include <QObject>
#include <QRect>

class QPainter;

// The 3D rings of panels and push buttons.
namespace bevels {
Q_NAMESPACE

enum class Bevel
{
    None,
    Lowered,
    Raised,
    Space // a ring of the face's colour: nothing to draw
};
Q_ENUM_NS(Bevel)

// Nested one-pixel rings: left and top in the first colour, right and bottom (with the
// top-right and bottom-left corners) in the second. Returns the rectangle inside them.
QRect frame3D(QPainter &p, QRect r, const QColor &topLeft, const QColor &bottomRight, int width);

// A raised or lowered ring of the width; the other kinds draw nothing. Returns the rectangle
// inside it.
QRect draw(QPainter &p, QRect r, Bevel bevel, int width, const QColor &light, const QColor &dark);

} // namespace bevels

using Bevel = bevels::Bevel;
