#include "label.h"

#include <QEvent>

TLabel::TLabel(QWidget *parent) : QLabel(parent)
{
    // Captions carry values from the database: shown as they stand, never as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::setDesignGeometry(const QRect &rect)
{
    m_designSize = rect.size();
    setGeometry(rect);
    fitText();
}

void TLabel::setText(const QString &text)
{
    QLabel::setText(text);
    fitText();
}

void TLabel::fitText()
{
    const QSize hint = sizeHint();
    const QSize size(qMax(m_designSize.width(), hint.width()),
                     qMax(m_designSize.height(), hint.height()));
    const QRect now = geometry();
    int left = now.left();
    if (alignment() & Qt::AlignHCenter)
        left = now.left() + (now.width() - size.width()) / 2;
    else if (alignment() & Qt::AlignRight)
        left = now.right() + 1 - size.width();
    setGeometry(QRect(QPoint(left, now.top()), size));
}

void TLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitText();
}
