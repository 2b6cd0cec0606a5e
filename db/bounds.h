#pragma once

// How long the station waits for its database, and how often it tries. Tests and benchmarks
// shorten them.
struct Bounds
{
    int statementMs = 3000;     // a request not answered by then has failed
    int registrationMs = 5000;  // from はい (or a seat's claim) to its outcome, all attempts in
    int retryPauseMs = 100;     // between attempts
    int attempts = 10;          // of a registration
    int lockWaitMs = 1000;      // a statement waits this long for a row another program holds
    int backoffMaxMs = 3000;    // between connection attempts after failures: a poll's time
    int abandonedPerTarget = 2; // workers left waiting on one server
};
