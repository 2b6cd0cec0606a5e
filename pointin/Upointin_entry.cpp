// Deduction entry: choosing a value by focus, the mark, and Enter from row to row.
#include "Upointin.h"

#include "keys.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

// The face of a chosen value that Enter has confirmed.
constexpr TColor s_confirmedColor = 0x000000FF;

} // namespace

#define TFPOINTIN_DEFINE_ENTER(name, row, column)                                                  \
    void TFpointin::name##Enter()                                                                  \
    {                                                                                              \
        chooseValue(row, column);                                                                  \
    }
TFPOINTIN_VALUE_BUTTONS(TFPOINTIN_DEFINE_ENTER)
#undef TFPOINTIN_DEFINE_ENTER

void TFpointin::setCaptionSize(TCuteButton *button, int points)
{
    // Setting a font, even an equal one, makes Qt resolve it again: costly on 37 buttons.
    const int pixels = pointsToPixels(points);
    if (button->font().pixelSize() == pixels)
        return;
    QFont f = button->font();
    f.setPixelSize(pixels);
    button->setFont(f);
}

QString &TFpointin::valueTextOf(int row)
{
    switch (row) {
    case Flight:
        return apval;
    case Landing:
        return opval;
    default:
        return lpval;
    }
}

void TFpointin::resetRow(int row)
{
    for (int i = 0; i < ColumnCount[row]; ++i) {
        TCuteButton *b = valueButtons[row][i];
        b->setColor(btnColor);
        b->setFontColor(btnFontColor);
        b->setGeometry(btnLeft[i], btnTop, btnWidth, btnHeight);
        setCaptionSize(b, btnFontSize);
    }
}

void TFpointin::buttonrefle()
{
    resetRow(Flight);
}

void TFpointin::buttonrefle2()
{
    resetRow(Landing);
}

void TFpointin::buttonrefle3()
{
    resetRow(Outrun);
}

int TFpointin::chosenCaptionSize(int row, int column) const
{
    if (row == Outrun)
        return 30;
    // Flight 2.5, 3.5 and 4.5
    if (row == Flight && (column == 5 || column == 7 || column == 9))
        return 28;
    return selFontSize;
}

void TFpointin::chooseValue(int row, int column)
{
    // The row's own reset operation.
    if (row == Flight)
        buttonrefle();
    else if (row == Landing)
        buttonrefle2();
    else
        buttonrefle3();

    TCuteButton *b = valueButtons[row][column];
    b->setColor(selColor);
    b->setFontColor(selFontColor);
    b->setGeometry(selLeft[column], selTop, selWidth, selHeight);
    setCaptionSize(b, chosenCaptionSize(row, column));
    valueTextOf(row) = valueText(column);
    pculc();
}

void TFpointin::syncValueTexts()
{
    for (int row = 0; row < RowCount; ++row) {
        const int shown = chosenColumn(row);
        valueTextOf(row) = shown >= 0 ? valueText(shown) : u"0"_s;
    }
}

void TFpointin::clearEntry()
{
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    syncValueTexts();
    pculc();
}

void TFpointin::pculc()
{
    const double flight = apval.toDouble();
    const double landing = opval.toDouble();
    const double outrun = lpval.toDouble();
    tpval = 20 - ((flight + landing) + outrun);
    Edit4->setText(markText(tpval));
}

void TFpointin::paintChosenConfirmed(int row)
{
    for (int i = 0; i < ColumnCount[row]; ++i) {
        if (valueButtons[row][i]->width() == selWidth)
            valueButtons[row][i]->setColor(s_confirmedColor);
    }
}

bool TFpointin::rowHasNoChoice(int row) const
{
    for (int i = 0; i < ColumnCount[row]; ++i) {
        if (valueButtons[row][i]->width() != btnWidth)
            return false;
    }
    return true;
}

void TFpointin::moveToNextRow(int row)
{
    paintChosenConfirmed(row);
    const int next = row + 1;
    for (int i = 0; i < ColumnCount[next]; ++i) {
        if (valueButtons[next][i]->width() == selWidth)
            valueButtons[next][i]->setFocus();
    }
    if (rowHasNoChoice(next))
        valueButtons[next][0]->setFocus();
}

void TFpointin::cbonext()
{
    moveToNextRow(Flight);
}

void TFpointin::cblnext()
{
    moveToNextRow(Landing);
}

void TFpointin::Cba00KeyDown(TCuteButton *, quint16 &Key, TShiftState)
{
    if (Key == keys::vkReturn)
        cbonext();
}

void TFpointin::cbo00KeyDown(TCuteButton *, quint16 &Key, TShiftState)
{
    if (Key == keys::vkReturn)
        cblnext();
}

void TFpointin::cbl00KeyDown(TCuteButton *, quint16 &Key, TShiftState)
{
    if (Key != keys::vkReturn)
        return;
    paintChosenConfirmed(Outrun);
    CuteButton10->setFocus();
}

void TFpointin::Cba00Click()
{
    // Right after Start flight 0 holds the focus in the normal look; a click chooses it by
    // growing it in place (left edge and colours kept).
    TCuteButton *b = valueButtons[Flight][0];
    b->setGeometry(b->x(), selTop, selWidth, selHeight);
    setCaptionSize(b, selFontSize);
    apval = u"0"_s;
}
