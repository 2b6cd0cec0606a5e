#include "db/alarm.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One thread serves every alarm of the process; it is never ended, as the program may leave
// while a worker still hangs on the network.
class Alarms
{
public:
    static Alarms &instance()
    {
        static Alarms *alarms = new Alarms;
        return *alarms;
    }

    unsigned long long arm(Clock::time_point at, std::function<void()> action)
    {
        const std::lock_guard lock(m_mutex);
        const unsigned long long id = ++m_nextId;
        m_due.emplace(id, Due{at, std::move(action)});
        m_changed.notify_all();
        return id;
    }

    void disarm(unsigned long long id)
    {
        std::unique_lock lock(m_mutex);
        m_due.erase(id);
        m_changed.wait(lock, [this, id] { return m_running != id; });
    }

private:
    struct Due
    {
        Clock::time_point at;
        std::function<void()> action;
    };

    Alarms()
    {
        std::thread([this] { run(); }).detach();
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            auto next = m_due.end();
            for (auto it = m_due.begin(); it != m_due.end(); ++it) {
                if (next == m_due.end() || it->second.at < next->second.at)
                    next = it;
            }
            if (next == m_due.end()) {
                m_changed.wait(lock);
                continue;
            }
            // A copy: the alarm may be destroyed while this thread waits for it.
            const Clock::time_point at = next->second.at;
            if (Clock::now() < at) {
                m_changed.wait_until(lock, at);
                continue;
            }
            std::function<void()> action = std::move(next->second.action);
            m_running = next->first;
            m_due.erase(next);
            lock.unlock();
            action();
            lock.lock();
            m_running = 0;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<unsigned long long, Due> m_due;
    unsigned long long m_nextId = 0;
    unsigned long long m_running = 0;
};

} // namespace

Alarm::Alarm(int afterMs, std::function<void()> action)
    : m_id(Alarms::instance().arm(Clock::now() + std::chrono::milliseconds(afterMs),
                                  std::move(action)))
{
}

Alarm::~Alarm()
{
    Alarms::instance().disarm(m_id);
}
