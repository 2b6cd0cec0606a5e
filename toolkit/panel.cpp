#include "panel.h"

#include <QMouseEvent>
#include <QPainter>

void drawFrame3D(QPainter &p, QRect &r, const QColor &topLeft, const QColor &bottomRight, int width)
{
    for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
        const int l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
        p.setPen(topLeft);
        p.drawLine(l, t, rt - 1, t); // top, without the top-right corner
        p.drawLine(l, t, l, b - 1);  // left, without the bottom-left corner
        p.setPen(bottomRight);
        p.drawLine(rt, t, rt, b); // right, with the top-right corner
        p.drawLine(l, b, rt, b);  // bottom, with the bottom-left corner
        r.adjust(1, 1, -1, -1);
    }
}

TPanel::TPanel(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanel::setColor(TColor c)
{
    if (c == m_color)
        return;
    m_color = c;
    update();
}

void TPanel::setBevelOuter(Bevel b)
{
    if (b == m_outer)
        return;
    m_outer = b;
    update();
}

void TPanel::setBevelInner(Bevel b)
{
    if (b == m_inner)
        return;
    m_inner = b;
    update();
}

void TPanel::setBevelWidth(int w)
{
    if (w == m_bevelWidth)
        return;
    m_bevelWidth = w;
    update();
}

void TPanel::setBorderLine(bool on)
{
    if (on == m_border)
        return;
    m_border = on;
    update();
}

void TPanel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void TPanel::setFontColor(TColor c)
{
    m_fontColor = c;
    update();
}

void TPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    QRect r = rect();
    p.fillRect(r, colors::toQColor(m_color, pal));
    if (m_border) {
        QRect outer = r;
        drawFrame3D(p, outer, colors::toQColor(colors::clWindowText, pal),
                    colors::toQColor(colors::clWindowText, pal), 1);
        r = outer;
    }
    const QColor light = colors::toQColor(colors::clBtnHighlight, pal);
    const QColor dark = colors::toQColor(colors::clBtnShadow, pal);
    for (Bevel b : {m_outer, m_inner}) {
        if (b == Bevel::Raised)
            drawFrame3D(p, r, light, dark, m_bevelWidth);
        else if (b == Bevel::Lowered)
            drawFrame3D(p, r, dark, light, m_bevelWidth);
    }
    if (!m_caption.isEmpty()) {
        p.setFont(font());
        p.setPen(colors::toQColor(m_fontColor, pal));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
}

void TPanel::mousePressEvent(QMouseEvent *event)
{
    // Presses on a child (a label, a button) that the child left unhandled arrive here too;
    // they are not clicks on the panel itself.
    m_pressed = event->button() == Qt::LeftButton && !childAt(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void TPanel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        Q_EMIT clicked();
}
