#include "db/statementworker.h"

#include "db/dbengine.h"
#include "db/serverconnection.h"
#include "toolkit/handoff.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>

using namespace Qt::StringLiterals;

namespace work {

using Target = StatementWorker::Target;
using ServerConnection = serverconnection::ServerConnection;

namespace {

std::atomic<int> s_runningThreads = 0;
std::atomic<int> s_abandonedThreads = 0;

QString keyOf(const Target &target)
{
    return target.alias + u'\n' + target.params.join(u'\n');
}

// Abandoned workers by target, for the whole process: they outlive the worker that left them.
struct Abandoned
{
    std::mutex mutex;
    QHash<QString, int> count;
};

Abandoned &abandonedByTarget()
{
    static Abandoned abandoned;
    return abandoned;
}

int abandonedOn(const QString &key)
{
    Abandoned &a = abandonedByTarget();
    const std::lock_guard lock(a.mutex);
    return a.count.value(key);
}

void countAbandoned(const QString &key, int change)
{
    Abandoned &a = abandonedByTarget();
    const std::lock_guard lock(a.mutex);
    if ((a.count[key] += change) <= 0)
        a.count.remove(key);
}

} // namespace

class Runner;

// Requests served one at a time by one worker thread and its connection.
class Lane
{
public:
    // bestEffort: the cancel lane. Its worker is let go when it has nothing to do, and the
    // connections it leaves behind are not cancelled in turn.
    Lane(StatementWorker &front, bool bestEffort);
    ~Lane();

    StatementWorker::Ticket submit(std::shared_ptr<Job> job);
    void giveUpAll();
    bool idle() const { return !m_inFlight && m_waiting.empty() && m_undelivered == 0; }

    // A worker's answer, on the asking thread: the reply, unless it comes too late.
    std::optional<Reply<Done>> finished(Runner *runner, quint64 jobId, const QString &error,
                                        bool connected);

private:
    void dispatch();
    void timedOut();
    void startRunner();
    void retireRunner(bool abandoned);
    void deliverLater(const std::shared_ptr<Job> &job, Reply<Done> reply);
    std::shared_ptr<const StatementWorker::Unsettled> unsettledOf(const std::shared_ptr<Job> &job);
    QString timeoutText() const;

    StatementWorker &m_front;
    bool m_bestEffort;
    std::shared_ptr<Link> m_link;
    std::deque<std::shared_ptr<Job>> m_waiting;
    std::shared_ptr<Job> m_inFlight;
    QTimer m_timer;
    Runner *m_runner = nullptr;
    QThread *m_thread = nullptr;
    Target m_runnerTarget;
    bool m_runnerOpen = false;
    std::shared_ptr<Line> m_line;           // the runner's connections
    std::shared_ptr<Severance> m_severance; // ends the runner's call that hangs
    quint64 m_nextId = 1;
    int m_undelivered = 0; // answers on their way through the event loop
};

// Runs jobs on its own thread with its own connection. Once abandoned it is given nothing
// more: it retires as soon as the driver returns.
class Runner : public QObject
{
public:
    Runner(std::shared_ptr<Link> link, int lockWaitMs)
        : m_link(std::move(link)), m_lockWaitMs(lockWaitMs)
    {
    }

    // Made with the runner, so that the lane has them before any connection is opened.
    const std::shared_ptr<Line> &line() const { return m_line; }
    const std::shared_ptr<Severance> &severance() const { return m_severance; }

    void execute(const std::shared_ptr<Job> &job)
    {
        QString error;
        try {
            if (!m_db)
                m_db = newDatabase();
            // A request given up while the driver hung runs no statement once it returns.
            m_db->setInterruption([job] { return job->commit.load() == GivenUp; });
            aimAt(job->target);
            m_line->jobStarts();
            m_db->open(); // known before the work starts, as every later open of the work is
        } catch (const DbError &e) {
            error = e.text().isEmpty() ? u"The connection failed"_s : e.text();
        }
        const CommitGate gate(job->commit, job->committedOn, job->beforeCommit, *m_line);
        job->run(*m_db, gate, Return(m_link, this, job->id), error);
    }

    void retire(const QString &abandonedOn)
    {
        m_db.reset(); // closes the connection; after a hang, only once the driver returned
        if (!abandonedOn.isNull()) {
            countAbandoned(abandonedOn, -1);
            --s_abandonedThreads;
        }
        --s_runningThreads;
        QThread::currentThread()->quit();
    }

private:
    // The worker's connection: every open, wherever the work makes it, tells the lane who it
    // is on the server before anything else runs on it, and can be severed while it opens.
    std::unique_ptr<Database> newDatabase()
    {
        auto db = std::make_unique<Database>(u"db"_s);
        db->setLockWaitMs(m_lockWaitMs);
        db->setSeverance(m_severance);
        db->setConnectionWatcher([line = m_line, db = db.get()](bool open) {
            if (open)
                line->opened(serverconnection::identify(*db));
            else
                line->closed();
        });
        return db;
    }

    void aimAt(const Target &target)
    {
        if (target.alias == m_db->aliasName() && target.params == m_db->params().lines())
            return;
        m_db->setAliasName(target.alias); // closes
        m_db->params().clear();
        for (const QString &line : target.params)
            m_db->params().add(line);
    }

    std::shared_ptr<Link> m_link;
    int m_lockWaitMs;
    std::shared_ptr<Line> m_line = std::make_shared<Line>();
    std::shared_ptr<Severance> m_severance = std::make_shared<Severance>();
    std::unique_ptr<Database> m_db;
};

Lane::Lane(StatementWorker &front, bool bestEffort)
    : m_front(front), m_bestEffort(bestEffort), m_link(std::make_shared<Link>())
{
    m_link->front = &front;
    m_link->lane = this;
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &front, [this] { timedOut(); });
}

Lane::~Lane()
{
    {
        const std::lock_guard lock(m_link->mutex);
        m_link->front = nullptr;
    }
    // What has not begun committing never commits once the program goes, and nobody is
    // answered any more.
    for (const std::shared_ptr<Job> &job : m_waiting) {
        job->commit = GivenUp;
        job->letGo();
    }
    if (m_inFlight)
        m_inFlight->letGo();
    bool busy = false;
    if (m_inFlight) {
        int expected = Waiting;
        m_inFlight->commit.compare_exchange_strong(expected, GivenUp);
        busy = true;
    }
    if (!m_runner)
        return;
    QThread *thread = m_thread;
    retireRunner(busy);
    // An idle worker closes its connection at once; one that hangs is left behind.
    if (!busy)
        thread->wait(500);
}

StatementWorker::Ticket Lane::submit(std::shared_ptr<Job> job)
{
    job->id = m_nextId++;
    StatementWorker::Ticket ticket;
    ticket.m_job = job;
    // In order within a priority; writes before reads.
    auto at = std::find_if(m_waiting.begin(), m_waiting.end(),
                           [&job](const auto &w) { return w->priority() > job->priority(); });
    m_waiting.insert(at, std::move(job));
    dispatch();
    return ticket;
}

void Lane::giveUpAll()
{
    for (const std::shared_ptr<Job> &job : m_waiting)
        job->commit = GivenUp;
    if (m_inFlight) {
        int expected = Waiting;
        m_inFlight->commit.compare_exchange_strong(expected, GivenUp);
    }
}

void Lane::dispatch()
{
    while (!m_inFlight && !m_waiting.empty()) {
        std::shared_ptr<Job> job = m_waiting.front();
        m_waiting.pop_front();
        if (!job->wanted() || job->commit == GivenUp) {
            job->commit = GivenUp; // nobody waits for it any more
            job->letGo();
            continue;
        }
        const StatementWorker::Options &o = job->options;
        int timeout = o.timeoutMs > 0 ? o.timeoutMs : m_front.bounds().statementMs;
        if (!o.deadline.isForever()) {
            const qint64 left = o.deadline.remainingTime();
            if (left <= 0) {
                // Its time ran out while it waited: it fails without running.
                job->commit = GivenUp;
                job->attempted = false;
                deliverLater(job, Reply<Done>::failure(Failure::TimedOut, timeoutText()));
                continue;
            }
            timeout = int(std::min<qint64>(timeout, left));
        }
        // Polls back off after failed connections; what the judge asks for is always tried.
        const bool backsOff = job->priority() == StatementWorker::Priority::Read &&
                              (!m_runner || !m_runnerOpen || !(m_runnerTarget == job->target));
        // The cancel lane runs only once the server answered again: no cap holds it back.
        const QString offline = m_front.offlineReason(job->target, backsOff, !m_bestEffort);
        if (!offline.isEmpty()) {
            job->commit = GivenUp;
            job->attempted = false;
            deliverLater(job, Reply<Done>::failure(Failure::Offline, offline));
            continue;
        }
        if (!m_runner)
            startRunner();
        if (!(m_runnerTarget == job->target)) {
            m_runnerTarget = job->target;
            m_runnerOpen = false;
        }
        m_inFlight = job;
        m_timer.start(timeout);
        Runner *runner = m_runner;
        handoff::post(runner, [runner, job] { runner->execute(job); });
    }
}

std::optional<Reply<Done>> Lane::finished(Runner *runner, quint64 jobId, const QString &error,
                                          bool connected)
{
    if (runner != m_runner || !m_inFlight || m_inFlight->id != jobId)
        return std::nullopt; // the late answer of an abandoned worker: it retires now
    m_timer.stop();
    std::shared_ptr<Job> job = std::exchange(m_inFlight, nullptr);
    m_runnerOpen = connected;
    // Before the worker runs anything more: its next job starts the list afresh.
    const QList<ServerConnection> lost = m_line->lost();
    // The commit was sent and failed on its way back: it may have landed. Other failures the
    // server answered with, unless the connection went with them.
    Reply<Done> reply = Reply<Done>::success({});
    if (!error.isEmpty() && job->commit == Committing) {
        job->unsettled = unsettledOf(job);
        reply = Reply<Done>::failure(Failure::UnknownOutcome, error);
    } else if (!error.isEmpty()) {
        reply = Reply<Done>::failure(connected ? Failure::Refused : Failure::Offline, error);
    }
    if (!m_bestEffort)
        m_front.m_connected = connected;
    // A connection lost on the way may live on on the server with what it left open.
    if (!m_bestEffort)
        m_front.abandoned(job->target, lost);
    m_front.connectionAnswered(job->target, connected);
    if (m_bestEffort && m_waiting.empty())
        retireRunner(false); // cancels are rare: no connection is kept for them
    dispatch();
    return reply;
}

void Lane::timedOut()
{
    std::shared_ptr<Job> job = std::exchange(m_inFlight, nullptr);
    if (!job)
        return;
    Reply<Done> reply = Reply<Done>::failure(Failure::TimedOut, timeoutText());
    int expected = Waiting;
    if (!job->commit.compare_exchange_strong(expected, GivenUp)) {
        // The commit is on its way and its answer did not come.
        job->unsettled = unsettledOf(job);
        reply = Reply<Done>::failure(Failure::UnknownOutcome, timeoutText());
    }
    const QList<ServerConnection> connections = m_line->ofJob();
    // Its call returns now where the client can end it (Firebird), in the attach as in a
    // statement, so that a connection that never answers and never closes holds neither the
    // worker's thread nor its place under the cap; what it left open on the server is ended
    // there once the server answers again.
    m_severance->sever();
    retireRunner(true);
    if (!m_bestEffort)
        m_front.m_connected = false;
    m_front.connectionAnswered(job->target, false);
    if (!m_bestEffort)
        m_front.abandoned(job->target, connections);
    dispatch();
    job->fail(reply);
}

std::shared_ptr<const StatementWorker::Unsettled> Lane::unsettledOf(const std::shared_ptr<Job> &job)
{
    return std::make_shared<StatementWorker::Unsettled>(
        StatementWorker::Unsettled{job->target, job->committedOn, job});
}

void Lane::startRunner()
{
    m_thread = new QThread;
    m_runner = new Runner(m_link, m_front.bounds().lockWaitMs);
    m_line = m_runner->line();
    m_severance = m_runner->severance();
    m_runner->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_runner, &QObject::deleteLater);
    QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_runnerOpen = false;
    ++s_runningThreads;
    m_thread->start();
}

void Lane::retireRunner(bool abandoned)
{
    Runner *runner = std::exchange(m_runner, nullptr);
    m_thread = nullptr;
    m_runnerOpen = false;
    m_line.reset();
    m_severance.reset();
    QString key;
    if (abandoned) {
        key = keyOf(m_runnerTarget);
        countAbandoned(key, +1);
        ++s_abandonedThreads;
    }
    handoff::post(runner, [runner, key] { runner->retire(key); });
}

// A failure found before anything ran still answers as an event: the requester is never
// answered from inside its own request.
void Lane::deliverLater(const std::shared_ptr<Job> &job, Reply<Done> reply)
{
    ++m_undelivered;
    handoff::post(&m_front, [this, job, reply = std::move(reply)]() mutable {
        --m_undelivered;
        job->fail(reply);
    });
}

QString Lane::timeoutText() const
{
    return u"The database did not answer within %1 ms"_s.arg(m_front.bounds().statementMs);
}

std::optional<Reply<Done>> answered(Lane &lane, Runner *runner, quint64 jobId, const QString &error,
                                    bool connected)
{
    return lane.finished(runner, jobId, error, connected);
}

namespace {

// Ends a connection an abandoned worker left on the server.
struct Cancel
{
    ServerConnection connection;
    Done operator()(Database &db, const StatementWorker::MayCommit &) const
    {
        serverconnection::end(db, connection);
        return {};
    }
};

} // namespace

} // namespace work

using namespace work;

bool StatementWorker::Ticket::giveUp()
{
    if (!m_job)
        return true;
    int expected = Waiting;
    return m_job->commit.compare_exchange_strong(expected, GivenUp) ||
           m_job->commit.load() == GivenUp;
}

bool StatementWorker::Ticket::attempted() const
{
    return m_job && m_job->attempted;
}

std::shared_ptr<const StatementWorker::Unsettled> StatementWorker::Ticket::unsettled() const
{
    return m_job ? m_job->unsettled : nullptr;
}

StatementWorker::StatementWorker(QObject *parent)
    : QObject(parent), m_requests(std::make_unique<Lane>(*this, false)),
      m_cancels(std::make_unique<Lane>(*this, true))
{
}

StatementWorker::~StatementWorker() = default;

int StatementWorker::runningThreads()
{
    return s_runningThreads;
}

int StatementWorker::abandonedThreads()
{
    return s_abandonedThreads;
}

void StatementWorker::setTarget(const Target &target)
{
    if (target == m_target)
        return;
    m_target = target;
    m_connected = false;
}

bool StatementWorker::connected() const
{
    return m_connected;
}

bool StatementWorker::idle() const
{
    return m_requests->idle();
}

void StatementWorker::giveUp()
{
    m_givenUp = true;
    m_requests->giveUpAll();
    m_cancels->giveUpAll();
}

StatementWorker::Ticket StatementWorker::submit(std::shared_ptr<Job> job)
{
    if (m_givenUp)
        return {};
    job->target = job->options.target.value_or(m_target);
    job->beforeCommit = m_beforeCommit;
    return m_requests->submit(std::move(job));
}

void work::settleFirst(Database &db, const StatementWorker::Unsettled &unsettled)
{
    using namespace serverconnection;
    if (const auto &c = unsettled.connection) {
        // Ended on the server, its transaction is over: committed or rolled back for good.
        if (stillOpen(db, *c)) {
            end(db, *c);
            for (int wait = 0; wait < 20 && stillOpen(db, *c); ++wait)
                QThread::msleep(50);
            if (stillOpen(db, *c))
                throw DbError(u"The connection of an unanswered commit is still open"_s);
        }
    } else if (const auto job = unsettled.job.lock(); job && !job->finished) {
        // Without the server's list, only the worker's return tells that it is over.
        throw DbError(u"An unanswered commit is still on its way"_s);
    }
}

QString StatementWorker::offlineReason(const Target &target, bool backsOff, bool capped) const
{
    const QString key = work::keyOf(target);
    const int waiting = work::abandonedOn(key);
    if (capped && waiting >= m_bounds.abandonedPerTarget)
        return u"The database does not answer: %1 earlier connections still wait for it"_s.arg(
            waiting);
    const auto backoff = m_backoff.constFind(key);
    if (backsOff && backoff != m_backoff.cend() && !backoff->until.hasExpired())
        return u"The database did not answer; it is asked again at %1"_s.arg(
            QDateTime::currentDateTime()
                .addMSecs(backoff->until.remainingTime())
                .toString(u"HH:mm:ss"_s));
    return QString();
}

void StatementWorker::connectionAnswered(const Target &target, bool connected)
{
    const QString key = work::keyOf(target);
    if (!connected) {
        // A connection lost once is tried again at the next poll; from the second failure in a
        // row polls wait longer each time, up to the bound.
        Backoff &b = m_backoff[key];
        b.until = QDeadlineTimer(b.nextMs);
        b.nextMs = qMin(b.nextMs > 0 ? 2 * b.nextMs : 500, m_bounds.backoffMaxMs);
        return;
    }
    m_backoff.remove(key);
    // The server answers again: now a cancel can reach it.
    for (const ServerConnection &c : m_toCancel.take(key)) {
        auto job = std::make_shared<TypedJob<Done, Cancel, Then<Done>>>(
            Cancel{c}, Then<Done>(this, [c](const Reply<Done> &reply) {
                if (reply.ok())
                    return;
                std::fprintf(stderr,
                             "tollivane: could not cancel connection %lld on the server: %s\n",
                             static_cast<long long>(c.id), qPrintable(reply.error()));
            }));
        job->options.priority = Priority::Write;
        job->target = target;
        m_cancels->submit(std::move(job));
    }
}

void StatementWorker::abandoned(const Target &target, const QList<ServerConnection> &connections)
{
    if (connections.isEmpty())
        return;
    QList<ServerConnection> &list = m_toCancel[work::keyOf(target)];
    for (const ServerConnection &c : connections) {
        if (!list.contains(c))
            list.append(c);
    }
}
