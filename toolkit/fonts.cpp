#include "fonts.h"

#include <QWidget>

namespace fonts {

QString family()
{
    return QStringLiteral(u"ＭＳ Ｐゴシック");
}

QFont make(int pixelHeight, bool bold)
{
    QFont f(family());
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

void setTextColour(QWidget *w, TColor colour)
{
    QPalette p = w->palette();
    const QColor c = colors::toQColor(colour, p);
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        p.setColor(role, c);
    w->setPalette(p);
}

void apply(QWidget *w, int pixelHeight, bool bold, TColor colour)
{
    w->setFont(make(pixelHeight, bold));
    setTextColour(w, colour);
}

void setBackground(QWidget *w, TColor colour)
{
    QPalette p = w->palette();
    const QColor c = colors::toQColor(colour, p);
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace fonts
