#include "toolkit/picture.h"

#include <QMouseEvent>
#include <QPainter>

Picture::Picture(QWidget *parent) : QWidget(parent) {}

void Picture::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void Picture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}

void Picture::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}
