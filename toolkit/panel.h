#pragma once

#include "toolkit/bevel.h"
#include "toolkit/colors.h"

#include <QWidget>

// An opaque panel: a face of its own colour, an optional border line, an outer and an inner
// bevel ring and a caption centred on the face. It holds the other controls of a form.
class Panel : public QWidget
{
    Q_OBJECT
public:
    using Bevel = bevels::Bevel;
    enum class BorderStyle
    {
        None,
        Single
    };

    explicit Panel(QWidget *parent = nullptr);

    TColor color() const { return m_color; }
    void setColor(TColor color);
    Bevel bevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(Bevel bevel);
    Bevel bevelInner() const { return m_bevelInner; }
    void setBevelInner(Bevel bevel);
    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    BorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(BorderStyle style);
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TColor m_color = colors::clBtnFace;
    Bevel m_bevelOuter = Bevel::Raised;
    Bevel m_bevelInner = Bevel::None;
    int m_bevelWidth = 1;
    BorderStyle m_borderStyle = BorderStyle::None;
    QString m_caption;
    bool m_pressed = false;
};
