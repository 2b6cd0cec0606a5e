#pragma once

#include "toolkit/bevelledwidget.h"

// An opaque panel: a face of its own colour, an optional border line, an outer and an inner
// bevel ring and a caption centred on the face. It holds the other controls of a form.
class Panel : public BevelledWidget
{
    Q_OBJECT
public:
    enum class BorderStyle
    {
        None,
        Single
    };

    explicit Panel(QWidget *parent = nullptr);

    using BevelledWidget::setBevelInner;
    using BevelledWidget::setBevelOuter;
    BorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(BorderStyle style);

Q_SIGNALS:
    void clicked();

protected:
    void colorChanged() override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    BorderStyle m_borderStyle = BorderStyle::None;
    bool m_pressed = false;
};
