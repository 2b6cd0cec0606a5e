#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/pollreads.h is internal to the db layer"
#endif

#include "db/competitiongateway.h"

class Database;

// What a poll reads, on the worker's thread: the run state, the judge's table and, for a
// competitor other than the one shown, the reference row and the judge's registered marks.
namespace pollreads {

gateway::PollResult read(Database &db, const QString &letter,
                         const std::optional<Competitor> &shown, bool checkOnly);

} // namespace pollreads
