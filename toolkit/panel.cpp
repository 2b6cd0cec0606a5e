#include "toolkit/panel.h"

#include <QMouseEvent>
#include <QPainter>

Panel::Panel(QWidget *parent) : BevelledWidget(Bevel::Raised, Bevel::None, parent) {}

// Children that fill their background with the window role take the panel's colour.
void Panel::colorChanged()
{
    QPalette p = palette();
    p.setColor(QPalette::Window, colors::toQColor(color(), p));
    setPalette(p);
}

void Panel::setBorderStyle(BorderStyle style)
{
    if (m_borderStyle == style)
        return;
    m_borderStyle = style;
    update();
}

void Panel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, colors::toQColor(color(), palette()));
    if (m_borderStyle == BorderStyle::Single) {
        const QColor line = palette().color(QPalette::Shadow);
        r = bevels::frame3D(p, r, line, line, 1);
    }
    const QColor light = colors::toQColor(colors::clBtnHighlight, palette());
    const QColor dark = colors::toQColor(colors::clBtnShadow, palette());
    r = drawBevels(p, r, light, dark);
    if (!caption().isEmpty()) {
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption());
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
