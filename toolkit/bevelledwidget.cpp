#include "toolkit/bevelledwidget.h"

BevelledWidget::BevelledWidget(Bevel outer, Bevel inner, QWidget *parent)
    : QWidget(parent), m_bevelOuter(outer), m_bevelInner(inner)
{
    // Both paint every pixel themselves; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BevelledWidget::setColor(TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    colorChanged();
    update();
}

void BevelledWidget::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    captionChanged();
    update();
}

void BevelledWidget::setBevelWidth(int width)
{
    width = qMax(1, width);
    if (m_bevelWidth == width)
        return;
    m_bevelWidth = width;
    update();
}

void BevelledWidget::setBevelOuter(Bevel bevel)
{
    if (m_bevelOuter == bevel)
        return;
    m_bevelOuter = bevel;
    update();
}

void BevelledWidget::setBevelInner(Bevel bevel)
{
    if (m_bevelInner == bevel)
        return;
    m_bevelInner = bevel;
    update();
}

QRect BevelledWidget::drawBevels(QPainter &p, const QRect &r, const QColor &light,
                                 const QColor &dark) const
{
    const QRect inside = bevels::draw(p, r, m_bevelOuter, m_bevelWidth, light, dark);
    return bevels::draw(p, inside, m_bevelInner, m_bevelWidth, light, dark);
}
