#include "toolkit/bevel.h"

#include <QPainter>

namespace bevels {

QRect frame3D(QPainter &p, QRect r, const QColor &topLeft, const QColor &bottomRight, int width)
{
    for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
        p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        r.adjust(1, 1, -1, -1);
    }
    return r;
}

QRect draw(QPainter &p, QRect r, Bevel bevel, int width, const QColor &light, const QColor &dark)
{
    switch (bevel) {
    case Bevel::Raised:
        return frame3D(p, r, light, dark, width);
    case Bevel::Lowered:
        return frame3D(p, r, dark, light, width);
    case Bevel::None:
    case Bevel::Space:
        break;
    }
    return r;
}

} // namespace bevels
