#include "toolkit/panel.h"

#include <QMouseEvent>
#include <QPainter>

Panel::Panel(QWidget *parent) : QWidget(parent)
{
    // The panel paints every pixel itself; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Panel::setColor(TColor color)
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

void Panel::setBevelOuter(Bevel bevel)
{
    if (m_bevelOuter == bevel)
        return;
    m_bevelOuter = bevel;
    update();
}

void Panel::setBevelInner(Bevel bevel)
{
    if (m_bevelInner == bevel)
        return;
    m_bevelInner = bevel;
    update();
}

void Panel::setBevelWidth(int width)
{
    if (m_bevelWidth == width || width < 1)
        return;
    m_bevelWidth = width;
    update();
}

void Panel::setBorderStyle(BorderStyle style)
{
    if (m_borderStyle == style)
        return;
    m_borderStyle = style;
    update();
}

void Panel::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    update();
}

void Panel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, colors::toQColor(m_color, palette()));
    if (m_borderStyle == BorderStyle::Single) {
        const QColor line = palette().color(QPalette::Shadow);
        r = bevels::frame3D(p, r, line, line, 1);
    }
    const QColor light = colors::toQColor(colors::clBtnHighlight, palette());
    const QColor dark = colors::toQColor(colors::clBtnShadow, palette());
    r = bevels::draw(p, r, m_bevelOuter, m_bevelWidth, light, dark);
    r = bevels::draw(p, r, m_bevelInner, m_bevelWidth, light, dark);
    if (!m_caption.isEmpty()) {
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
}

void Panel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // A press that a child (a label) left unhandled arrives here too: not a click on the panel.
    m_pressed = !childAt(event->position().toPoint());
}

void Panel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    if (rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
