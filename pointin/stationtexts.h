#pragma once

#include "db/competition.h"

#include <QString>

// Every text the station shows the judge, word for word, in one table (stationtexts.cpp): the
// sessions, the windows, the program and the tests take them from here.
namespace stationtexts {

enum class Text
{
    // The main window's message boxes.
    NoSeatChosen,    // 確認 with no seat button selected
    CannotConnect,   // a seat claim that did not reach the database
    CannotReadSeat,  // a seat claim the server refused; %1: the judge's table
    ClaimUnproven,   // a claim's answer lost, and the flag says taken: maybe by another station
    ReleaseUnproven, // End's answer lost, and the flag still says taken; %1: the seat letter
    AlreadyRunning,  // a second copy on the same settings and journal
                    // The point input window's message boxes.
    MissingPoints,     // 確定 with a row without a value
    CompetitorChanged, // the marks found another competitor on the row
    NotRegistered,     // the marks did not land for the competitor on display
    NotRegisteredFor,  // ... for one no longer on display; %1: the bib
    NotVerifiedFor,    // an outcome that can no longer be found out; %1: the bib
    TableMissing,      // %1: the table
    TableWithoutRow,
    TableWithSeveralRows,
    JournalFailed, // %1: why
                   // The notice over the confirm button, in English and in Japanese.
    RegisteringEnglish,
    RegisteringJapanese,
    RegisteredEnglish,
    RegisteredJapanese,
    AlreadyRegisteredJapanese,
    CheckingEnglish,
    CheckingJapanese,
};

QString text(Text text);

// A table of the competition the station cannot use; the operator's side has to mend it.
QString tableFault(const TableFault &fault);

} // namespace stationtexts
