#include "toolkit/fittinglabel.h"

#include <QEvent>

using namespace Qt::StringLiterals;

FittingLabel::FittingLabel(QWidget *parent) : QLabel(parent)
{
    // Captions carry values from the database: shown as they stand, never as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A text label from the start, also while empty: QLabel measures a new font only for one,
    // and an empty text equal to the one it has does not make it one.
    QLabel::setText(u" "_s);
    QLabel::setText(QString());
}

void FittingLabel::setDesignGeometry(const QRect &rect)
{
    m_designSize = rect.size();
    setGeometry(rect);
    fitText();
}

void FittingLabel::setCaption(const QString &text)
{
    // Laying the text out again costs more than anything else a poll draws.
    if (text == this->text())
        return;
    QLabel::setText(text);
    fitText();
}

void FittingLabel::fitText()
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

void FittingLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitText();
}
