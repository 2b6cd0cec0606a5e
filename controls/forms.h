#pragma once

#include "toolkit/colors.h"

#include <QRect>
#include <QString>

class CuteButton;
class Panel;
class Picture;
class QLabel;
class QPixmap;
class QWidget;

// The one set of factories both windows build their controls with. Each control gets its form
// name, its place in its parent as the design gives it, at its window's scale (so that the
// window can place it again at another), its font and its look.
namespace forms {

// Neither a fixed nor a system colour: the control keeps its default.
constexpr TColor kDefault = 0x7FFFFFFF;

// A font as the forms give it: character height in pixels; 0 takes the parent's font.
struct Font
{
    int px = 0;
    bool bold = false;
    TColor colour = kDefault;
};

struct Place
{
    const char *name;
    QRect design;      // width 0: as wide as its text
    int tabOrder = -1; // -1: not a windowed control
};

// For controls built elsewhere: the name, the place and the tab order; the font and its colour.
void place(QWidget *control, const Place &place);
void applyFont(QWidget *control, const Font &font);

enum class LabelSize
{
    Box,     // the design box, whatever the text
    FitsText // at least the design box, grown to show the whole text
};

QLabel *makeLabel(QWidget *parent, const Place &place, const QString &text, const Font &font,
                  Qt::Alignment alignment, LabelSize size);
// Without a face colour, the button face.
Panel *makePanel(QWidget *parent, const Place &place, TColor face, const Font &font = {},
                 const QString &caption = {});
// The caption in the window-text colour unless the font gives one.
CuteButton *makeButton(QWidget *parent, const Place &place, const QString &caption, TColor face,
                       const Font &font);
// Drawn from the frame's top-left corner, at the window's scale.
Picture *makePicture(QWidget *parent, const Place &place, const QPixmap &picture);

} // namespace forms
