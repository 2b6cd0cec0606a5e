#pragma once

#include "toolkit/colors.h"

#include <QFont>
#include <QString>

class QWidget;

namespace fonts {

// Every text of the terminal uses this family: Windows has it, and on Linux fontconfig maps it
// to a Japanese gothic.
QString family();

// Font sizes of the forms are character heights in pixels.
QFont make(int pixelHeight, bool bold = false);

// Sets a widget's font and its text colour (foreground roles of its palette).
void apply(QWidget *w, int pixelHeight, bool bold, TColor colour);
void setTextColour(QWidget *w, TColor colour);

// Fills a widget's background with a colour (panels, labels on panels, the forms).
void setBackground(QWidget *w, TColor colour);

} // namespace fonts
