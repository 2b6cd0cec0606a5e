#pragma once

#include "toolkit/bevel.h"
#include "toolkit/colors.h"

#include <QWidget>

// The base of panels and push buttons: a face colour, a caption, an outer and an inner bevel
// cut and one bevel width for both rings. Every setter stores only a new value and repaints.
class BevelledWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(TColor color READ color WRITE setColor)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(int bevelWidth READ bevelWidth WRITE setBevelWidth)
public:
    using Bevel = bevels::Bevel;

    TColor color() const { return m_color; }
    void setColor(TColor color);
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    Bevel bevelOuter() const { return m_bevelOuter; }
    Bevel bevelInner() const { return m_bevelInner; }
    int bevelWidth() const { return m_bevelWidth; }
    // A width below 1 is stored as 1.
    void setBevelWidth(int width);

protected:
    BevelledWidget(Bevel outer, Bevel inner, QWidget *parent);

    // A panel shows its cuts as set; a push button drives them from its state.
    void setBevelOuter(Bevel bevel);
    void setBevelInner(Bevel bevel);

    // Called after a new colour or caption is stored, before the repaint.
    virtual void colorChanged() {}
    virtual void captionChanged() {}

    // The outer ring, then the inner one inside it; returns the rectangle inside both.
    QRect drawBevels(QPainter &p, const QRect &r, const QColor &light, const QColor &dark) const;

private:
    TColor m_color = colors::clBtnFace;
    QString m_caption;
    Bevel m_bevelOuter;
    Bevel m_bevelInner;
    int m_bevelWidth = 1;
};
