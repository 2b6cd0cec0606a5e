#pragma once

#include <QString>

// What the station tells the judge in its message boxes: one table, for the station session,
// the program and the tests.
enum class StationMessage
{
    NoSeatChosen,   // 確認 with no seat button selected
    CannotConnect,  // a seat claim that did not reach the database
    CannotReadSeat, // a seat claim the server refused; %1: the judge's table
    AlreadyRunning, // a second copy on the same settings and journal
};

QString stationMessage(StationMessage message);
