// Following the run: the poll, the competitor check, Start and End.
#include "Upointin.h"

namespace {

constexpr TColor s_focusedFace = 0x0000FFFF; // yellow
constexpr TColor s_restingFace = 0x00FFFFFF; // white

} // namespace

void TFpointin::recallTimerTimer()
{
    // TODO: poll judgeent and run the competitor check while the run is going.
}

void TFpointin::checkzek()
{
    // TODO: load a new competitor from the judge table.
}

void TFpointin::sumidisp()
{
    // TODO: choose a registered competitor's deductions from race.
}

void TFpointin::CuteButton2Click()
{
    // TODO: Start.
}

void TFpointin::CuteButton3Click()
{
    // TODO: End.
}

void TFpointin::Image2DblClick()
{
    // TODO: show the last judge-table statement in Edit6.
}

// The × button is never shown.
void TFpointin::CuteButton1Click() {}

void TFpointin::CuteButton2Enter()
{
    CuteButton2->setColor(s_focusedFace);
}

void TFpointin::CuteButton2Exit()
{
    CuteButton2->setColor(s_restingFace);
}

void TFpointin::CuteButton3Enter()
{
    CuteButton3->setColor(s_focusedFace);
}

void TFpointin::CuteButton3Exit()
{
    CuteButton3->setColor(s_restingFace);
}
