#pragma once

#include <QLabel>

// A label that always shows its whole text, as the desktop's auto-sized labels do: its design
// size is the least size, and a longer text or a font with larger metrics than the design
// font widens it around its alignment (the left edge, the centre or the right edge stays).
// Its background is its parent's.
class FittingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit FittingLabel(QWidget *parent = nullptr);

    // Places the label; the size is the least size from now on.
    void setDesignGeometry(const QRect &rect);
    // Shows the text and fits the label to it (QLabel::setText would leave the size as it is).
    void setCaption(const QString &text);

protected:
    void changeEvent(QEvent *event) override;

private:
    void fitText();

    QSize m_designSize;
};
