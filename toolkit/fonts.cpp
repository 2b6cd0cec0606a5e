#include "toolkit/fonts.h"

#include <QRadioButton>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace fonts {

QString family()
{
    return u"ＭＳ Ｐゴシック"_s;
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
    // A radio button draws its dot in the text colour, inside a white circle: a light caption
    // colour would hide which item is checked. Its caption takes the window-text colour.
    if (qobject_cast<QRadioButton *>(w))
        p.setColor(QPalette::Text, QPalette().color(QPalette::Text));
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
