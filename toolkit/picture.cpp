#include "toolkit/picture.h"

#include <QMouseEvent>
#include <QPainter>

Picture::Picture(QWidget *parent) : QWidget(parent) {}

void Picture::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void Picture::setScale(qreal scale)
{
    if (qFuzzyCompare(m_scale, scale))
        return;
    m_scale = scale;
    update();
}

void Picture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!qFuzzyCompare(m_scale, 1.0)) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(m_scale, m_scale);
    }
    p.drawPixmap(0, 0, m_picture);
}

void Picture::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}
