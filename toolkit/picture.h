#pragma once

#include <QPixmap>
#include <QWidget>

// A picture drawn at the top-left corner of its frame, at its own size times its window's
// scale (unscaled at the design's size).
class Picture : public QWidget
{
    Q_OBJECT
public:
    explicit Picture(QWidget *parent = nullptr);

    QPixmap picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);
    qreal scale() const { return m_scale; }
    void setScale(qreal scale);

Q_SIGNALS:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    qreal m_scale = 1;
};
