#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/alarm.h is internal to the db layer"
#endif

#include <functional>

// Runs an action on a thread of its own once a time has passed, unless the alarm is destroyed
// first. The destructor returns only once the action has either not started (and never will)
// or has finished, so the action may use what the owner's scope holds.
class Alarm
{
public:
    Alarm(int afterMs, std::function<void()> action);
    ~Alarm();
    Alarm(const Alarm &) = delete;
    Alarm &operator=(const Alarm &) = delete;

private:
    unsigned long long m_id;
};
