#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/statementworker.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include "db/statements.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Database;

namespace work {
class Lane;
struct Job;
} // namespace work

// Runs work on the database on worker threads, each with a connection of its own, so that the
// thread that asks never waits for the server; it knows no table. Requests are answered on the
// asking thread, one at a time and in order, writes before waiting reads. A request not
// answered within its bound has failed: its worker is abandoned (never reused, never waited
// for) and a late answer is dropped. A write commits only while its requester still waits for
// it; when the bound passes while the commit is on its way, the answer says the outcome is
// unknown, and settle() finds it out.
//
// What a server that stops answering may cost is bounded: at most Bounds::abandonedPerTarget
// abandoned workers per connection target, after which requests to that target fail at once
// without a connection; after a failed connection the next attempt waits, at most
// Bounds::backoffMaxMs; a worker that gets its answer after being abandoned runs nothing more.
// The server's work of an abandoned connection is cancelled once the server answers again,
// each cancel once and on a connection of its own, never before a request of the judge.
class StatementWorker : public QObject
{
    Q_OBJECT
public:
    // Where a connection goes: an alias and its parameter list.
    struct Target
    {
        QString alias;
        QStringList params;
        bool operator==(const Target &) const = default;
    };

    struct Bounds
    {
        int statementMs = 3000;     // a request not answered by then has failed
        int lockWaitMs = 1000;      // a statement waits this long for a lock another holds
        int backoffMaxMs = 3000;    // between connection attempts after failures: a poll's time
        int abandonedPerTarget = 2; // workers left waiting on one server
    };

    enum class Priority
    {
        Write,
        Read
    };

    // Asked by a write just before it commits: false once the requester gave up, and the write
    // then rolls back.
    using MayCommit = std::function<bool()>;
    using Work = std::function<void(Database &, const MayCommit &)>;

    enum class Result
    {
        Done,   // the work ran to its end (a write that asked to commit has committed)
        Failed, // the engine's error, no answer within the bound, or no connection tried
        Unknown // the commit was sent and no answer came: it may or may not have landed
    };
    // A commit whose answer never came: where it was sent, and its worker.
    struct Unsettled
    {
        Target target;
        std::optional<statements::ServerConnection> connection;
        std::shared_ptr<work::Job> job;
    };
    struct Answer
    {
        Result result = Result::Done;
        QString error;
        std::shared_ptr<const Unsettled> unsettled; // for settle(), when Unknown
        bool attempted = true; // false: failed before anything was tried (cap, backoff, deadline)
        bool ok() const { return result == Result::Done; }
    };

    struct Request
    {
        Priority priority = Priority::Read;
        Work work;
        std::function<void(const Answer &)> done;
        QObject *context = nullptr;   // once it is gone, nothing runs and nothing answers
        std::optional<Target> target; // else the current one
        int timeoutMs = 0;            // else Bounds::statementMs
        QDeadlineTimer deadline{QDeadlineTimer::Forever}; // a bound over several requests
    };

    // A request on its way: whether its write has begun committing, and giving up on it.
    class Ticket
    {
    public:
        Ticket() = default;
        // True when the write can no longer commit (or had nothing to commit); false when its
        // commit has begun.
        bool giveUp();

    private:
        friend class StatementWorker;
        friend class work::Lane;
        std::shared_ptr<work::Job> m_job;
    };

    explicit StatementWorker(QObject *parent = nullptr);
    ~StatementWorker() override;

    void setTarget(const Target &target);
    const Target &target() const { return m_target; }
    void setBounds(const Bounds &bounds) { m_bounds = bounds; }
    const Bounds &bounds() const { return m_bounds; }
    // Runs on the worker just before a write commits (tests: the path fails at that moment).
    void setBeforeCommit(std::function<void()> hook) { m_beforeCommit = std::move(hook); }

    Ticket submit(Request request);
    // Finds out what became of an unknown commit: makes sure the connection it was sent on is
    // gone (ending it on the server), then runs the request's work, which reads the row back.
    // Fails while that cannot be made sure; the caller may try again later.
    Ticket settle(const std::shared_ptr<const Unsettled> &unsettled, Request readBack);

    // The program closes: nothing that has not begun committing commits any more, nothing
    // waiting runs, and nothing asked from now on runs or answers.
    void giveUp();

    bool idle() const;      // nothing in flight or waiting
    bool connected() const; // whether the last answer came over an open connection

    // Worker threads still running in the process, abandoned ones included, and of them
    // those abandoned on a request that did not answer in time.
    static int runningThreads();
    static int abandonedThreads();

private:
    friend class work::Lane;
    QString offlineReason(const Target &target, bool backsOff, bool capped) const;
    void connectionAnswered(const Target &target, bool connected);
    void abandoned(const Target &target, const std::optional<statements::ServerConnection> &c);

    Target m_target;
    Bounds m_bounds;
    bool m_connected = false;
    bool m_givenUp = false;
    std::function<void()> m_beforeCommit;
    struct Backoff
    {
        QDeadlineTimer until;
        int nextMs = 0;
    };
    QHash<QString, Backoff> m_backoff;                              // by target
    QHash<QString, QList<statements::ServerConnection>> m_toCancel; // by target
    std::unique_ptr<work::Lane> m_requests;
    std::unique_ptr<work::Lane> m_cancels;
};
