#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/commitgate.h is internal to the db layer"
#endif

#include "db/serverconnection.h"

#include <QList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

// What a worker's work reaches while it runs: the connections the worker has, and the gate a
// write passes just before it commits. Kept apart from the worker's own files so that the work,
// called from the worker, never calls back into them.
namespace work {

// Where a write stands: the worker commits only if it gets there before the requester gives up.
enum CommitState : int
{
    Waiting,
    Committing,
    GivenUp
};

// A worker's connections as their servers know them, told by the worker as each opens and
// closes, before anything runs on it; read by the lane when a request's bound passes or its
// reply comes.
class Line
{
public:
    using ServerConnection = serverconnection::ServerConnection;

    void opened(const std::optional<ServerConnection> &c)
    {
        const std::lock_guard lock(m_mutex);
        m_open = c;
    }
    void closed()
    {
        const std::lock_guard lock(m_mutex);
        if (m_open)
            m_lost.append(*std::exchange(m_open, std::nullopt));
    }
    void jobStarts()
    {
        const std::lock_guard lock(m_mutex);
        m_lost.clear();
    }
    std::optional<ServerConnection> open() const
    {
        const std::lock_guard lock(m_mutex);
        return m_open;
    }
    // Those the job in flight lost: the server may still hold them, and what they left open.
    QList<ServerConnection> lost() const
    {
        const std::lock_guard lock(m_mutex);
        return m_lost;
    }
    // Those the job in flight had, open or lost.
    QList<ServerConnection> ofJob() const
    {
        const std::lock_guard lock(m_mutex);
        return m_open ? m_lost + QList<ServerConnection>{*m_open} : m_lost;
    }

private:
    mutable std::mutex m_mutex;
    std::optional<ServerConnection> m_open;
    QList<ServerConnection> m_lost;
};

// Asked by a write just before it commits: false once the requester gave up, and the write then
// rolls back. On true the commit has begun: the connection it goes on is kept for the lane.
class CommitGate
{
public:
    CommitGate(std::atomic<int> &state, std::optional<serverconnection::ServerConnection> &on,
               const std::function<void()> &beforeCommit, const Line &line)
        : m_state(state), m_on(on), m_beforeCommit(beforeCommit), m_line(line)
    {
    }

    bool operator()() const
    {
        if (m_state.load() != Waiting)
            return false;
        m_on = m_line.open(); // read by the lane only once the state is Committing
        int expected = Waiting;
        if (!m_state.compare_exchange_strong(expected, Committing))
            return false;
        if (m_beforeCommit) // tests only: the path fails at this moment
            m_beforeCommit();
        return true;
    }

private:
    std::atomic<int> &m_state;
    std::optional<serverconnection::ServerConnection> &m_on;
    const std::function<void()> &m_beforeCommit;
    const Line &m_line;
};

} // namespace work
