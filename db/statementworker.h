#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/statementworker.h is internal to the db layer"
#endif

#include "db/bounds.h"
#include "db/serverconnection.h"
#include "toolkit/reply.h"

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
// it; when the bound passes while the commit is on its way, the reply says the outcome is
// unknown, and settle() finds it out.
//
// What a server that stops answering may cost is bounded: at most Bounds::abandonedPerTarget
// abandoned workers per connection target, after which requests to that target fail at once
// without a connection; after a failed connection the next attempt waits, at most
// Bounds::backoffMaxMs; a worker that gets its answer after being abandoned runs nothing more,
// and where the route can (Firebird) its call that hangs is ended at once.
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

    enum class Priority
    {
        Write,
        Read
    };

    // How a request runs; the defaults are a read on the current target within the bound.
    struct Options
    {
        Priority priority = Priority::Read;
        std::optional<Target> target;                     // else the current one
        int timeoutMs = 0;                                // else Bounds::statementMs
        QDeadlineTimer deadline{QDeadlineTimer::Forever}; // a bound over several requests
    };

    // Asked by a write just before it commits: false once the requester gave up, and the write
    // then rolls back.
    using MayCommit = std::function<bool()>;
    template<class T> using Work = std::function<T(Database &, const MayCommit &)>;

    // A commit whose answer never came: where it was sent, and its worker.
    struct Unsettled
    {
        Target target;
        std::optional<serverconnection::ServerConnection> connection;
        // Weak: the job keeps its unsettled state; gone once no worker runs it any more.
        std::weak_ptr<work::Job> job;
    };

    // A request on its way.
    class Ticket
    {
    public:
        Ticket() = default;
        // True when the write can no longer commit (or had nothing to commit); false when its
        // commit has begun.
        bool giveUp();
        // Once the reply is in: whether anything was tried (not refused at once by the cap, the
        // backoff or a deadline), and what settle() needs after an unknown outcome.
        bool attempted() const;
        std::shared_ptr<const Unsettled> unsettled() const;

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

    // Runs the work and replies with its value, on this thread, unless `then` is no longer
    // wanted by then (and then the work does not run either, if it has not begun).
    template<class T> Ticket run(const Options &options, Work<T> work, Then<T> then);
    // Finds out what became of an unknown commit: makes sure the connection it was sent on is
    // gone (ending it on the server), then runs the work, which reads the row back. Fails while
    // that cannot be made sure; the caller may try again later.
    template<class T>
    Ticket settle(const std::shared_ptr<const Unsettled> &unsettled, Work<T> readBack, Then<T> then,
                  QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

    // The program closes: nothing that has not begun committing commits any more, nothing
    // waiting runs, and nothing asked from now on runs or answers.
    void giveUp();

    bool idle() const;      // nothing in flight or waiting
    bool connected() const; // whether the last reply came over an open connection

    // Worker threads still running in the process, abandoned ones included, and of them
    // those abandoned on a request that did not answer in time.
    static int runningThreads();
    static int abandonedThreads();

    // For tests: runs on the worker just before a write commits (the path fails at that moment).
    void setBeforeCommitForTests(std::function<void()> hook) { m_beforeCommit = std::move(hook); }

    // The work as the queue carries it, whatever its value (run() and settle() make it).
    struct Request
    {
        Options options;
        std::function<void(Database &, const MayCommit &)> work;
        std::function<void(Reply<Done>)> done;
        std::function<bool()> wanted;
    };

private:
    friend class work::Lane;
    Ticket submit(Request request);
    void settling(const std::shared_ptr<const Unsettled> &unsettled, Request &readBack);

    QString offlineReason(const Target &target, bool backsOff, bool capped) const;
    void connectionAnswered(const Target &target, bool connected);
    // Connections the server may still hold, ended there once it answers again.
    void abandoned(const Target &target,
                   const QList<serverconnection::ServerConnection> &connections);

    Target m_target;
    Bounds m_bounds;
    bool m_givenUp = false;
    bool m_connected = false;
    std::function<void()> m_beforeCommit;
    struct Backoff
    {
        QDeadlineTimer until;
        int nextMs = 0;
    };
    QHash<QString, Backoff> m_backoff;                                    // by target
    QHash<QString, QList<serverconnection::ServerConnection>> m_toCancel; // by target
    std::unique_ptr<work::Lane> m_requests;
    std::unique_ptr<work::Lane> m_cancels;
};

namespace work {

// The value of a request, written by the worker and taken on the asking thread only from a
// reply that says it is there (after a timeout the worker given up on may still write it).
template<class T> StatementWorker::Request typed(StatementWorker::Work<T> work, Then<T> then)
{
    auto value = std::make_shared<std::optional<T>>();
    StatementWorker::Request r;
    r.work = [value, work = std::move(work)](Database &db, const StatementWorker::MayCommit &m) {
        *value = work(db, m);
    };
    r.wanted = [then] { return then.wanted(); };
    r.done = [value, then = std::move(then)](Reply<Done> reply) {
        then(reply.ok() ? Reply<T>::success(std::move(**value)) : reply.template as<T>());
    };
    return r;
}

} // namespace work

template<class T>
StatementWorker::Ticket StatementWorker::run(const Options &options, Work<T> work, Then<T> then)
{
    Request r = work::typed<T>(std::move(work), std::move(then));
    r.options = options;
    return submit(std::move(r));
}

template<class T>
StatementWorker::Ticket StatementWorker::settle(const std::shared_ptr<const Unsettled> &unsettled,
                                                Work<T> readBack, Then<T> then,
                                                QDeadlineTimer deadline)
{
    Request r = work::typed<T>(std::move(readBack), std::move(then));
    r.options.deadline = deadline;
    settling(unsettled, r);
    return submit(std::move(r));
}
