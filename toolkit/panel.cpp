#include "panel.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

// Nested one-pixel rings: left and top in the first colour, right and bottom (with the
// top-right and bottom-left corners) in the second. Returns the rectangle inside them.
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

QRect bevel(QPainter &p, QRect r, TPanel::Bevel kind, int width, const QPalette &palette)
{
    const QColor light = colors::toQColor(colors::clBtnHighlight, palette);
    const QColor dark = colors::toQColor(colors::clBtnShadow, palette);
    switch (kind) {
    case TPanel::Bevel::Raised:
        return frame3D(p, r, light, dark, width);
    case TPanel::Bevel::Lowered:
        return frame3D(p, r, dark, light, width);
    case TPanel::Bevel::None:
    case TPanel::Bevel::Space:
        break;
    }
    return r;
}

} // namespace

TPanel::TPanel(QWidget *parent) : QWidget(parent)
{
    // The panel paints every pixel itself; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanel::setColor(TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    // Children that fill their background with the window role take the panel's colour.
    QPalette p = palette();
    p.setColor(QPalette::Window, colors::toQColor(color, p));
    setPalette(p);
    update();
}

void TPanel::setBevelOuter(Bevel bevel)
{
    if (m_bevelOuter == bevel)
        return;
    m_bevelOuter = bevel;
    update();
}

void TPanel::setBevelInner(Bevel bevel)
{
    if (m_bevelInner == bevel)
        return;
    m_bevelInner = bevel;
    update();
}

void TPanel::setBevelWidth(int width)
{
    if (m_bevelWidth == width || width < 1)
        return;
    m_bevelWidth = width;
    update();
}

void TPanel::setBorderStyle(BorderStyle style)
{
    if (m_borderStyle == style)
        return;
    m_borderStyle = style;
    update();
}

void TPanel::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    update();
}

void TPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, colors::toQColor(m_color, palette()));
    if (m_borderStyle == BorderStyle::Single) {
        const QColor line = palette().color(QPalette::Shadow);
        r = frame3D(p, r, line, line, 1);
    }
    r = bevel(p, r, m_bevelOuter, m_bevelWidth, palette());
    r = bevel(p, r, m_bevelInner, m_bevelWidth, palette());
    if (!m_caption.isEmpty()) {
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
}

void TPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // A press that a child (a label) left unhandled arrives here too: not a click on the panel.
    m_pressed = !childAt(event->position().toPoint());
}

void TPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    if (rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
