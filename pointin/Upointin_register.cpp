// Confirming the marks and writing them to the judge table.
#include "Upointin.h"

namespace {

constexpr TColor s_answerFocusedFace = 0x0000FFFF;    // yellow
constexpr TColor s_answerFocusedCaption = 0x00A00000; // dark blue
constexpr TColor s_answerOtherFace = 0x00400000;      // very dark blue
constexpr TColor s_answerOtherCaption = 0x00808080;   // grey

} // namespace

void TFpointin::CuteButton10Click()
{
    // TODO: check that every row is chosen, then ask.
}

void TFpointin::CuteButton10Enter()
{
    CuteButton10->setColor(selColor);
    CuteButton10->setFontColor(selFontColor);
}

void TFpointin::CuteButton10Exit()
{
    CuteButton10->setColor(btnColor);
    CuteButton10->setFontColor(btnFontColor);
}

void TFpointin::CuteButton4Click()
{
    // TODO: register the marks.
}

void TFpointin::CuteButton4Enter()
{
    CuteButton4->setColor(s_answerFocusedFace);
    CuteButton4->setFontColor(s_answerFocusedCaption);
    CuteButton5->setColor(s_answerOtherFace);
    CuteButton5->setFontColor(s_answerOtherCaption);
}

void TFpointin::CuteButton5Click()
{
    // TODO: withdraw the question.
}

void TFpointin::CuteButton5Enter()
{
    CuteButton5->setColor(s_answerFocusedFace);
    CuteButton5->setFontColor(s_answerFocusedCaption);
    CuteButton4->setColor(s_answerOtherFace);
    CuteButton4->setFontColor(s_answerOtherCaption);
}

// The re-entry button is never shown.
void TFpointin::CuteButton11Click() {}
void TFpointin::CuteButton11Enter() {}
void TFpointin::CuteButton11Exit() {}

// Enabled after a registration; its tick has nothing to do.
void TFpointin::Timer1Timer() {}
