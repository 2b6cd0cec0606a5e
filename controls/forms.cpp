#include "controls/forms.h"

#include "controls/cutebutton.h"
#include "toolkit/dialogkeys.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/fonts.h"
#include "toolkit/panel.h"
#include "toolkit/picture.h"
#include "toolkit/windowscale.h"

namespace forms {

void place(QWidget *control, const Place &place)
{
    control->setObjectName(QLatin1StringView(place.name));
    scaling::place(control, place.design);
    if (place.tabOrder >= 0)
        dialogkeys::setTabOrder(control, place.tabOrder);
}

void applyFont(QWidget *control, const Font &font)
{
    if (font.px > 0) {
        control->setFont(fonts::make(font.px, font.bold));
        scaling::setFontPixels(control, font.px);
    }
    if (font.colour != kDefault)
        fonts::setTextColour(control, font.colour);
}

QLabel *makeLabel(QWidget *parent, const Place &where, const QString &text, const Font &font,
                  Qt::Alignment alignment, LabelSize size)
{
    QLabel *l = size == LabelSize::FitsText ? new FittingLabel(parent) : new QLabel(parent);
    // Captions carry values from the database (the connection line, a competitor's round):
    // shown as they stand, never as markup.
    l->setTextFormat(Qt::PlainText);
    if (auto *fitting = qobject_cast<FittingLabel *>(l))
        fitting->setCaption(text);
    else
        l->setText(text);
    applyFont(l, font);
    l->setAlignment(alignment | Qt::AlignTop);
    place(l, where);
    return l;
}

Panel *makePanel(QWidget *parent, const Place &where, TColor face, const Font &font,
                 const QString &caption)
{
    auto *p = new Panel(parent);
    p->setColor(face != kDefault ? face : colors::clBtnFace);
    applyFont(p, font);
    p->setCaption(caption);
    place(p, where);
    return p;
}

CuteButton *makeButton(QWidget *parent, const Place &where, const QString &caption, TColor face,
                       const Font &font)
{
    auto *b = new CuteButton(parent);
    b->setCaption(caption);
    b->setColor(face);
    applyFont(b, {font.px, font.bold, kDefault});
    b->setFontColor(font.colour != kDefault ? font.colour : colors::clWindowText);
    place(b, where);
    return b;
}

Picture *makePicture(QWidget *parent, const Place &where, const QPixmap &picture)
{
    auto *p = new Picture(parent);
    p->setPicture(picture);
    place(p, where);
    return p;
}

} // namespace forms
