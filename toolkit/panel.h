#pragma once

#include "colors.h"

#include <QWidget>

// A panel as the forms know it: filled with its colour, an outer and an inner bevel of
// BevelWidth pixels, an optional single border line and an optional centred caption.
// clicked() comes for a left press and release on the panel itself, not on its children.
class TPanel : public QWidget
{
    Q_OBJECT
public:
    enum class Bevel
    {
        None,
        Lowered,
        Raised
    };

    explicit TPanel(QWidget *parent = nullptr);

    TColor color() const { return m_color; }
    void setColor(TColor c);
    Bevel bevelOuter() const { return m_outer; }
    void setBevelOuter(Bevel b);
    Bevel bevelInner() const { return m_inner; }
    void setBevelInner(Bevel b);
    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int w);
    bool borderLine() const { return m_border; }
    void setBorderLine(bool on);
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    void setFontColor(TColor c);

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TColor m_color = colors::clBtnFace;
    TColor m_fontColor = colors::clWindowText;
    Bevel m_outer = Bevel::Raised;
    Bevel m_inner = Bevel::None;
    int m_bevelWidth = 1;
    bool m_border = false;
    bool m_pressed = false;
    QString m_caption;
};

// Draws width nested one-pixel rings along r: left and top in the first colour, right and
// bottom in the second (the top-right and bottom-left corners too); r shrinks by width.
void drawFrame3D(class QPainter &p, QRect &r, const QColor &topLeft, const QColor &bottomRight,
                 int width);
