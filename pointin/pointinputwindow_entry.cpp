// Deduction entry: choosing a value by focus, the mark, and Enter from row to row. The entry
// lives in the model; the buttons are drawn from it.
#include "pointin/pointinputwindow.h"

#include "toolkit/keys.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

void PointInputWindow::setCaptionPoints(CuteButton *button, int points)
{
    // Setting a font, even an equal one, makes Qt resolve it again: costly on 37 buttons.
    const int pixels = pointsToPixels(points);
    if (button->font().pixelSize() == pixels)
        return;
    QFont f = button->font();
    f.setPixelSize(pixels);
    button->setFont(f);
}

int PointInputWindow::chosenCaptionPoints(int row, int column) const
{
    if (row == Outrun)
        return 30;
    // Flight 2.5, 3.5 and 4.5
    if (row == Flight && (column == 5 || column == 7 || column == 9))
        return 28;
    return Look::chosenPoints;
}

// The row's buttons as the model says: one enlarged at most, in the look it was chosen with.
void PointInputWindow::drawRow(int row)
{
    const EntryModel::RowState &state = m_entry.row(row);
    for (int i = 0; i < ColumnCount[row]; ++i) {
        CuteButton *b = m_valueButtons[row][i];
        if (i != state.column) {
            b->setColor(Look::normalFace);
            b->setFontColor(Look::normalCaption);
            b->setGeometry(Look::normalLeft(i), Look::normalTop, Look::normalWidth,
                           Look::normalHeight);
            setCaptionPoints(b, Look::normalPoints);
            continue;
        }
        const bool grown = state.look == EntryModel::Look::Grown;
        TColor face = grown ? Look::normalFace : Look::chosenFace;
        if (state.confirmed)
            face = Look::confirmedFace;
        b->setColor(face);
        b->setFontColor(grown ? Look::normalCaption : Look::chosenCaption);
        // Grown in place: the normal left edge kept, larger to the right and downwards.
        b->setGeometry(grown ? Look::normalLeft(i) : Look::chosenLeft(i), Look::chosenTop,
                       Look::chosenWidth, Look::chosenHeight);
        setCaptionPoints(b, state.look == EntryModel::Look::Chosen ? chosenCaptionPoints(row, i)
                                                                   : Look::chosenPoints);
    }
}

void PointInputWindow::resetRow(int row)
{
    m_entry.clear(row);
    drawRow(row);
}

void PointInputWindow::clearEntry()
{
    for (int row = 0; row < RowCount; ++row)
        resetRow(row);
    showMark();
}

void PointInputWindow::chooseValue(int row, int column)
{
    m_entry.choose(row, column);
    drawRow(row);
    showMark();
}

void PointInputWindow::showStored(int row, int column)
{
    m_entry.showStored(row, column);
    drawRow(row);
}

void PointInputWindow::showMark()
{
    m_markField->setText(m_entry.markText());
}

void PointInputWindow::confirmRow(int row)
{
    m_entry.confirm(row);
    drawRow(row);
}

void PointInputWindow::moveToNextRow(int row)
{
    confirmRow(row);
    const int next = row + 1;
    // The next row's chosen value takes the focus again, else its first value.
    const int column = m_entry.column(next);
    m_valueButtons[next][column >= 0 ? column : 0]->setFocus();
}

// Enter on a value button; the button's own Enter click comes after it.
void PointInputWindow::rowKeyDown(int row, quint16 key)
{
    if (key != keys::vkReturn)
        return;
    if (row != Outrun) {
        moveToNextRow(row);
        return;
    }
    confirmRow(Outrun);
    m_confirmButton->setFocus();
}

void PointInputWindow::flightZeroClicked()
{
    // Right after Start flight 0 holds the focus in the normal look; a click chooses it by
    // growing it in place (left edge and colours kept).
    m_entry.growFlightZero();
    drawRow(Flight);
    showMark();
}
