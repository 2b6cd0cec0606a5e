#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/statementworker.h is internal to the db layer"
#endif

#include "db/bounds.h"
#include "db/commitgate.h"
#include "db/dbengine.h"
#include "db/serverconnection.h"
#include "toolkit/handoff.h"
#include "toolkit/reply.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace work {
class Lane;
class Runner;
struct Job;
} // namespace work

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
    using MayCommit = work::CommitGate;

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

    // Runs the work, a function (Database &, const MayCommit &) -> T, and replies with its
    // value, on this thread, unless `then` is no longer wanted by then (and then the work does
    // not run either, if it has not begun).
    template<class T, class F> Ticket run(const Options &options, F work, Then<T> then);
    // The same for the worker's own caller: `then`, a function (Reply<T>), is called as it is,
    // while `guard` lives.
    template<class T, class F, class G>
    Ticket run(const Options &options, F work, QObject *guard, G then);
    // Finds out what became of an unknown commit: makes sure the connection it was sent on is
    // gone (ending it on the server), then runs the work, which reads the row back. Fails while
    // that cannot be made sure; the caller may try again later.
    template<class T, class F>
    Ticket settle(const std::shared_ptr<const Unsettled> &unsettled, F readBack, Then<T> then,
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

private:
    friend class work::Lane;
    Ticket submit(std::shared_ptr<work::Job> job);

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

// The lane as its workers reach it: gone once the statement worker is destroyed.
struct Link
{
    std::mutex mutex;
    StatementWorker *front = nullptr;
    Lane *lane = nullptr;
};

// On the asking thread: what the lane makes of a worker's answer, or nothing when the lane no
// longer waits for it (the late answer of an abandoned worker).
std::optional<Reply<Done>> answered(Lane &lane, Runner *runner, quint64 jobId, const QString &error,
                                    bool connected);

// How a job's answer reaches the asking thread: posted there, and given to the requester only
// when the lane still waits for it.
class Return
{
public:
    Return(std::shared_ptr<Link> link, Runner *runner, quint64 jobId)
        : m_link(std::move(link)), m_runner(runner), m_jobId(jobId)
    {
    }

    template<class F> void post(const QString &error, bool connected, F answer) const
    {
        const std::lock_guard lock(m_link->mutex);
        if (StatementWorker *front = m_link->front) {
            handoff::post(front, [lane = m_link->lane, runner = m_runner, id = m_jobId, error,
                                  connected, answer = std::move(answer)]() mutable {
                if (auto verdict = answered(*lane, runner, id, error, connected))
                    answer(std::move(*verdict));
            });
        }
    }

private:
    std::shared_ptr<Link> m_link;
    Runner *m_runner;
    quint64 m_jobId;
};

// A request as the lane carries it, whatever its value.
struct Job : std::enable_shared_from_this<Job>
{
    virtual ~Job() = default;

    StatementWorker::Options options;
    StatementWorker::Target target; // the request's, or the current one when it was asked
    quint64 id = 0;
    std::atomic<int> commit = Waiting;
    std::atomic<bool> finished = false; // the worker returned from it, in time or not
    std::function<void()> beforeCommit;
    // The connection its commit was sent on, as the worker knew it just before.
    std::optional<serverconnection::ServerConnection> committedOn;
    // On the asking thread: who waits for it, and once the reply is in what came of it.
    QPointer<QObject> requester;
    bool attempted = true;
    std::shared_ptr<const StatementWorker::Unsettled> unsettled;

    StatementWorker::Priority priority() const { return options.priority; }
    bool wanted() const { return !requester.isNull(); }

    // On the worker thread: the work (unless the connection could not be made: `error`), then
    // its answer, posted to the asking thread.
    virtual void run(Database &db, const CommitGate &gate, const Return &back, QString error) = 0;
    // On the asking thread: a failure the lane found (no answer in time, nothing tried).
    virtual void fail(const Reply<Done> &reply) = 0;
    // Nobody is answered any more: what the continuation holds (a registration that holds
    // this job through its ticket) is let go.
    virtual void letGo() = 0;
};

// A continuation of the worker's own caller, called as it is: while its guard lives.
template<class T, class G> class Guarded
{
public:
    Guarded(QObject *guard, G f) : m_guard(guard), m_f(std::move(f)) { Q_ASSERT(guard); }
    bool wanted() const { return !m_guard.isNull(); }
    QObject *guard() const { return m_guard; }
    void operator()(Reply<T> reply)
    {
        if (wanted())
            m_f(std::move(reply));
    }

private:
    QPointer<QObject> m_guard;
    G m_f;
};

// The work F and the continuation C (a Then<T>, or a Guarded) of a request of value T.
template<class T, class F, class C> class TypedJob final : public Job
{
public:
    TypedJob(F work, C then) : m_work(std::move(work)), m_then(std::move(then))
    {
        if (m_then->wanted())
            requester = m_then->guard();
    }

    void run(Database &db, const CommitGate &gate, const Return &back, QString error) override
    {
        std::optional<T> value;
        if (error.isEmpty()) {
            // Run from a copy of its own, which goes with what it holds once the work is over.
            const F work = std::move(*m_work);
            m_work.reset();
            try {
                value = work(db, gate);
            } catch (const DbError &e) {
                error = e.text().isEmpty() ? QStringLiteral("The statement failed") : e.text();
            } catch (const std::exception &e) {
                // Not the database's: a fault of ours, told as it is rather than losing the
                // thread.
                error = QString::fromUtf8(e.what());
            }
        }
        finished = true;
        auto self = std::static_pointer_cast<TypedJob>(shared_from_this());
        back.post(error, db.connected(),
                  [self = std::move(self), value = std::move(value)](Reply<Done> verdict) mutable {
                      self->answer(verdict.ok() ? Reply<T>::success(std::move(*value))
                                                : verdict.template as<T>());
                  });
    }
    void fail(const Reply<Done> &reply) override { answer(reply.template as<T>()); }
    void letGo() override { m_then.reset(); }

private:
    // Out of line: GCC 12 at -O3 (the Windows build) takes the move of a failure's empty value,
    // inlined from fail(), for a read of something never written.
    [[gnu::noinline]] void answer(Reply<T> reply)
    {
        std::optional<C> then = std::move(m_then);
        m_then.reset();
        if (then)
            (*then)(std::move(reply));
    }

    std::optional<F> m_work;
    std::optional<C> m_then;
};

// Before an unknown commit's row is read back: its connection gone on the server, or its
// worker returned; raises while neither can be made sure.
void settleFirst(Database &db, const StatementWorker::Unsettled &unsettled);

} // namespace work

template<class T, class F>
StatementWorker::Ticket StatementWorker::run(const Options &options, F work, Then<T> then)
{
    auto job = std::make_shared<work::TypedJob<T, F, Then<T>>>(std::move(work), std::move(then));
    job->options = options;
    return submit(std::move(job));
}

template<class T, class F, class G>
StatementWorker::Ticket StatementWorker::run(const Options &options, F work, QObject *guard, G then)
{
    using Continuation = work::Guarded<T, G>;
    auto job = std::make_shared<work::TypedJob<T, F, Continuation>>(
        std::move(work), Continuation(guard, std::move(then)));
    job->options = options;
    return submit(std::move(job));
}

template<class T, class F>
StatementWorker::Ticket StatementWorker::settle(const std::shared_ptr<const Unsettled> &unsettled,
                                                F readBack, Then<T> then, QDeadlineTimer deadline)
{
    Options o;
    o.priority = Priority::Write;
    o.target = unsettled->target;
    o.deadline = deadline;
    return run<T>(
        o,
        [unsettled, readBack = std::move(readBack)](Database &db, const MayCommit &mayCommit) {
            work::settleFirst(db, *unsettled);
            return readBack(db, mayCommit);
        },
        std::move(then));
}
