#include "db/competitiongateway.h"

#include "db/dbengine.h"
#include "db/statements.h"

#include <QMutex>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace Qt::StringLiterals;

namespace gateway {

namespace {

std::atomic<int> s_runningWorkers = 0;
std::atomic<int> s_abandonedWorkers = 0;

// Where a write stands: the worker commits only if it gets there before the window gives up.
enum CommitState : int
{
    Waiting,
    Committing,
    GivenUp
};

} // namespace

// The gateway as its workers reach it: gone once the gateway is destroyed.
struct Link
{
    QMutex mutex;
    CompetitionGateway *front = nullptr;
};

struct Request
{
    quint64 id = 0;
    int priority = 0;
    Work work;
    std::function<void(const QString &error)> done;
    QPointer<QObject> context;
    bool hasContext = false;
    int timeoutMs = 0;
    QDeadlineTimer deadline{QDeadlineTimer::Forever};          // a bound over several requests
    std::optional<std::pair<QString, QStringList>> connection; // else the gateway's
    std::shared_ptr<std::atomic<int>> commit = std::make_shared<std::atomic<int>>(Waiting);
    QList<Kill> cancels;
    bool extended = false;
};

struct Job
{
    quint64 requestId = 0;
    QString alias;
    QStringList params;
    QList<Kill> cancels;
    Work work;
    std::shared_ptr<std::atomic<int>> commit;
};

// Runs requests on its own thread with its own connection; a worker whose request hung is
// retired once the driver returns, and nothing else is given to it.
class Worker : public QObject
{
public:
    explicit Worker(std::shared_ptr<Link> link) : m_link(std::move(link)) {}

    void execute(const Job &job)
    {
        QString error;
        try {
            connectFor(job.alias, job.params);
            cancel(job.cancels);
            job.work(*m_db, [commit = job.commit] {
                int expected = Waiting;
                return commit->compare_exchange_strong(expected, Committing);
            });
        } catch (const DbError &e) {
            error = e.text().isEmpty() ? u"The statement failed"_s : e.text();
        } catch (const std::exception &e) {
            // Not the database's: a fault of ours, told as it is rather than losing the thread.
            error = QString::fromUtf8(e.what());
        }
        const bool connected = m_db && m_db->connected();
        post([requestId = job.requestId, error, connected](CompetitionGateway *front) {
            front->finished(requestId, error, connected);
        });
    }

    void retire(bool abandoned)
    {
        m_db.reset(); // closes the connection; after a hang, only once the driver returned
        if (abandoned)
            --s_abandonedWorkers;
        --s_runningWorkers;
        QThread::currentThread()->quit();
    }

private:
    template<class F> void post(F f)
    {
        const QMutexLocker lock(&m_link->mutex);
        if (CompetitionGateway *front = m_link->front)
            QMetaObject::invokeMethod(
                front, [front, f] { f(front); }, Qt::QueuedConnection);
    }

    void connectFor(const QString &alias, const QStringList &params)
    {
        if (!m_db)
            m_db = std::make_unique<Database>(u"db"_s);
        if (alias != m_db->aliasName() || params != m_db->params().lines()) {
            m_db->setAliasName(alias); // closes
            m_db->params().clear();
            for (const QString &line : params)
                m_db->params().add(line);
        }
        if (m_db->connected())
            return;
        m_db->open();
        // Known before the work starts, so that work that hangs can be cancelled.
        const Kill connection{m_db->driverName(), m_db->serverConnectionId(), alias, params};
        post([worker = this, connection](CompetitionGateway *front) {
            front->workerConnected(worker, connection);
        });
    }

    void cancel(const QList<Kill> &kills)
    {
        for (const Kill &kill : kills) {
            QString statement;
            if (kill.driver == u"QODBC"_s && m_db->driverName() == u"QODBC"_s)
                statement = u"kill "_s + QString::number(kill.id);
            else if (kill.driver == u"QIBASE"_s && m_db->driverName() == u"QIBASE"_s)
                statement = u"delete from mon$attachments where mon$attachment_id = "_s +
                            QString::number(kill.id);
            if (statement.isEmpty())
                continue;
            Query query(m_db.get());
            query.sql().add(statement);
            try {
                query.execSQL();
            } catch (const DbError &) {
                if (!m_db->connected())
                    throw; // the server is gone: try again with the next request
                // Already gone ("unknown thread id"): nothing left to cancel.
            }
        }
    }

    std::shared_ptr<Link> m_link;
    std::unique_ptr<Database> m_db;
};

namespace {

void readRow(Query &query, const QString &statement)
{
    query.close();
    query.sql().clear();
    query.sql().add(statement);
    query.open();
}

PollResult pollTables(Database &db, const QString &letter, const QString &shownBib, bool checkOnly)
{
    PollResult result;
    Query query(&db);
    if (!checkOnly) {
        readRow(query, u"select jikko from judgeent"_s);
        if (query.fieldAsString(u"jikko"_s) == u"0")
            return result;
    }
    readRow(query, CompetitionGateway::judgeTableStatement(letter));
    Competitor &c = result.competitor;
    c.zek = query.fieldAsString(u"zek"_s);
    if (c.zek == shownBib) {
        result.state = PollResult::State::Unchanged;
        return result;
    }
    c.hon = query.fieldAsString(u"hon"_s);
    c.tstno = query.fieldAsString(u"tstno"_s);
    c.sumi = query.fieldAsString(u"sumi"_s);
    c.stored = {query.fieldAsString(u"ap"_s), query.fieldAsString(u"op"_s),
                query.fieldAsString(u"lp"_s)};
    c.bib = QString::asprintf("%.3d", query.fieldAsInteger(u"zek"_s));
    c.name = query.fieldAsString(u"name"_s);
    c.team = query.fieldAsString(u"team"_s);

    Query reference(&db);
    for (const QString &column : CompetitionGateway::referenceColumns())
        reference.addRequiredField(column);
    auto readReference = [&] {
        readRow(reference, statements::reference());
        result.reference.clear();
        for (const QString &column : CompetitionGateway::referenceColumns())
            result.reference.append({column, reference.fieldAsString(column)});
    };
    readReference();

    if (c.registered()) {
        // Read again: a table that went back to the bib on display shows no registered marks.
        readRow(query, CompetitionGateway::judgeTableStatement(letter));
        if (query.fieldAsString(u"zek"_s) != shownBib) {
            readRow(query, u"select * from race where zno='"_s + c.bib + u"'"_s);
            result.registeredMarks =
                std::array<QString, 3>{query.fieldAsString(letter + u'a' + c.hon),
                                       query.fieldAsString(letter + u'o' + c.hon),
                                       query.fieldAsString(letter + u'l' + c.hon)};
        }
    }
    if (c.hon == u"4")
        readReference();
    result.state = PollResult::State::NewCompetitor;
    return result;
}

} // namespace

} // namespace gateway

using namespace gateway;

struct RegistrationRun
{
    QString letter;
    QString zek;
    Marks marks;
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void(Registration)> done;
    QDeadlineTimer deadline;
    int attempts = 0;
};

CompetitionGateway::CompetitionGateway(QObject *parent)
    : QObject(parent), m_timer(new QTimer(this)), m_link(std::make_shared<Link>())
{
    m_link->front = this;
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { timedOut(); });
}

CompetitionGateway::~CompetitionGateway()
{
    {
        const QMutexLocker lock(&m_link->mutex);
        m_link->front = nullptr;
    }
    if (!m_worker)
        return;
    QThread *thread = m_thread;
    const bool busy = m_inFlight != nullptr;
    retireWorker(busy);
    // An idle worker closes its connection at once; one that hangs is left behind.
    if (!busy)
        thread->wait(500);
}

int CompetitionGateway::runningWorkers()
{
    return s_runningWorkers;
}

int CompetitionGateway::abandonedWorkers()
{
    return s_abandonedWorkers;
}

bool CompetitionGateway::idle() const
{
    return !m_inFlight && m_waiting.empty();
}

QString CompetitionGateway::judgeTableStatement(const QString &letter)
{
    return statements::judgeTable(letter);
}

QString CompetitionGateway::referenceStatement()
{
    return statements::reference();
}

const QStringList &CompetitionGateway::referenceColumns()
{
    static const QStringList columns = {u"TDap"_s, u"TDop"_s, u"TDlp"_s, u"M1ap"_s,
                                        u"M1op"_s, u"M1lp"_s, u"M2ap"_s, u"M2op"_s,
                                        u"M2lp"_s, u"M3ap"_s, u"M3op"_s, u"M3lp"_s};
    return columns;
}

void CompetitionGateway::setConnection(const QString &alias, const QStringList &params)
{
    m_alias = alias;
    m_params = params;
    m_connected = false;
}

// --- requests ------------------------------------------------------------------------------

void CompetitionGateway::connectProfile(const QString &alias, const QStringList &params,
                                        const QStringList &fallback, QObject *context,
                                        std::function<void(const ProfileResult &)> done)
{
    setConnection(alias, params);
    // A connection attempt has bounds of its own (ODBC's login timeout, the TCP check before
    // a Firebird attach); the request gives them room to answer with the engine's text.
    const int timeout = m_bounds.statementMs + 1000;
    auto afterFirst = [this, alias, params, fallback, context, done,
                       timeout](const QString &error) {
        if (error.isEmpty() || fallback.isEmpty()) {
            done({params, error.isEmpty()});
            return;
        }
        setConnection(alias, fallback);
        submit(
            Priority::Cancel, {},
            [fallback, done](const QString &second) {
                done({fallback, second.isEmpty()});
            },
            context, timeout, QDeadlineTimer(QDeadlineTimer::Forever), std::pair{alias, fallback});
    };
    submit(Priority::Write, {}, std::move(afterFirst), context, timeout,
           QDeadlineTimer(QDeadlineTimer::Forever), std::pair{alias, params});
}

void CompetitionGateway::claimSeat(const QString &letter, QObject *context,
                                   std::function<void(const Answer<bool> &)> done)
{
    auto claimed = std::make_shared<bool>(false);
    submit(
        Priority::Write,
        [letter, claimed](Database &db, const std::function<bool()> &mayCommit) {
            *claimed = statements::claim(db, letter, mayCommit);
        },
        [claimed, done](const QString &error) {
            done(error.isEmpty() ? Answer<bool>{*claimed, {}} : Answer<bool>{{}, error});
        },
        context);
}

void CompetitionGateway::releaseSeat(const QString &letter, QObject *context,
                                     std::function<void(const Answer<Done> &)> done)
{
    submit(
        Priority::Write,
        [letter](Database &db, const std::function<bool()> &mayCommit) {
            statements::write(db, {statements::releaseSeat(letter)}, mayCommit);
        },
        [done](const QString &error) {
            done(error.isEmpty() ? Answer<Done>{Done{}, {}} : Answer<Done>{{}, error});
        },
        context);
}

void CompetitionGateway::poll(const QString &letter, const QString &shownBib, bool checkOnly,
                              QObject *context,
                              std::function<void(const Answer<PollResult> &)> done)
{
    auto result = std::make_shared<PollResult>();
    submit(
        Priority::Read,
        [letter, shownBib, checkOnly, result](Database &db, const std::function<bool()> &) {
            *result = pollTables(db, letter, shownBib, checkOnly);
        },
        [result, done](const QString &error) {
            done(error.isEmpty() ? Answer<PollResult>{std::move(*result), {}}
                                 : Answer<PollResult>{{}, error});
        },
        context);
}

void CompetitionGateway::registerMarks(const QString &letter, const QString &zek,
                                       const Marks &marks, QObject *context,
                                       std::function<void(Registration)> done)
{
    auto run = std::make_shared<RegistrationRun>();
    run->letter = letter;
    run->zek = zek;
    run->marks = marks;
    run->context = context;
    run->hasContext = context != nullptr;
    run->done = std::move(done);
    run->deadline = QDeadlineTimer(m_bounds.registrationMs);
    registrationAttempt(run);
}

void CompetitionGateway::registrationAttempt(std::shared_ptr<RegistrationRun> run)
{
    ++run->attempts;
    ++m_registrationAttempts;
    const QStringList lines =
        statements::registration(run->letter, run->marks.flight, run->marks.landing,
                                 run->marks.outrun, run->marks.mark, run->zek);
    auto rows = std::make_shared<int>(0);
    auto finish = [this, run](Registration outcome) {
        Q_EMIT registrationFinished(outcome);
        if (!run->hasContext || run->context)
            run->done(outcome);
    };
    submit(
        Priority::Write,
        [lines, rows](Database &db, const std::function<bool()> &mayCommit) {
            *rows = statements::write(db, lines, mayCommit);
        },
        [this, run, rows, finish](const QString &error) {
            if (error.isEmpty()) {
                // No row held the bib: another competitor is up, and trying again cannot help.
                finish(*rows > 0 ? Registration::Registered : Registration::CompetitorChanged);
                return;
            }
            const qint64 left = run->deadline.remainingTime();
            if (run->attempts >= m_bounds.attempts || left <= m_bounds.retryPauseMs) {
                finish(Registration::Failed);
                return;
            }
            QTimer::singleShot(m_bounds.retryPauseMs, this,
                               [this, run] { registrationAttempt(run); });
        },
        nullptr, 0, run->deadline);
}

// --- the queue -----------------------------------------------------------------------------

void CompetitionGateway::submit(Priority priority, Work work,
                                std::function<void(const QString &)> done, QObject *context,
                                int timeoutMs, QDeadlineTimer deadline,
                                std::optional<std::pair<QString, QStringList>> connection)
{
    auto r = std::make_shared<Request>();
    r->id = m_nextId++;
    r->priority = int(priority);
    r->work = work ? std::move(work) : [](Database &, const std::function<bool()> &) {};
    r->done = std::move(done);
    r->context = context;
    r->hasContext = context != nullptr;
    r->timeoutMs = timeoutMs;
    r->deadline = deadline;
    r->connection = std::move(connection);
    // In order within a priority; cancels before writes before reads.
    auto at = std::find_if(m_waiting.begin(), m_waiting.end(),
                           [&r](const auto &w) { return w->priority > r->priority; });
    m_waiting.insert(at, std::move(r));
    dispatch();
}

void CompetitionGateway::dispatch()
{
    while (!m_inFlight && !m_waiting.empty()) {
        std::shared_ptr<Request> r = m_waiting.front();
        m_waiting.pop_front();
        if (r->hasContext && !r->context)
            continue; // nobody waits for it any more
        int timeout = r->timeoutMs > 0 ? r->timeoutMs : m_bounds.statementMs;
        if (!r->deadline.isForever()) {
            const qint64 left = r->deadline.remainingTime();
            if (left <= 0) {
                // Its time ran out while it waited: it fails without running.
                QMetaObject::invokeMethod(
                    this, [this, r] { deliver(r, timeoutText()); }, Qt::QueuedConnection);
                continue;
            }
            timeout = int(std::min<qint64>(timeout, left));
        }
        if (!m_worker)
            startWorker();
        Job job;
        job.requestId = r->id;
        std::tie(job.alias, job.params) =
            r->connection ? *r->connection : std::pair{m_alias, m_params};
        // Only where the abandoned connection was: an id names another one on another server.
        r->cancels.clear();
        for (const Kill &kill : std::as_const(m_toCancel)) {
            if (kill.alias == job.alias && kill.params == job.params)
                r->cancels.append(kill);
        }
        m_inFlight = r;
        m_timer->start(timeout);
        job.cancels = r->cancels;
        job.work = r->work;
        job.commit = r->commit;
        Worker *worker = m_worker;
        QMetaObject::invokeMethod(
            worker, [worker, job] { worker->execute(job); }, Qt::QueuedConnection);
    }
}

void CompetitionGateway::deliver(const std::shared_ptr<Request> &r, const QString &error)
{
    if (r->hasContext && !r->context)
        return;
    if (r->done)
        r->done(error);
}

QString CompetitionGateway::timeoutText() const
{
    return u"The database did not answer within %1 ms"_s.arg(m_bounds.statementMs);
}

void CompetitionGateway::finished(quint64 requestId, const QString &error, bool connected)
{
    if (!m_inFlight || m_inFlight->id != requestId)
        return; // the late answer of an abandoned request
    m_timer->stop();
    m_connected = connected;
    if (!connected)
        m_workerConnection.reset(); // the next connection has an id of its own
    std::shared_ptr<Request> r = std::exchange(m_inFlight, nullptr);
    if (error.isEmpty()) {
        for (const Kill &done : std::as_const(r->cancels))
            m_toCancel.removeAll(done);
    }
    dispatch();
    deliver(r, error);
}

void CompetitionGateway::workerConnected(Worker *worker, const Kill &connection)
{
    if (worker == m_worker)
        m_workerConnection = connection;
}

void CompetitionGateway::timedOut()
{
    std::shared_ptr<Request> r = m_inFlight;
    if (!r)
        return;
    int expected = Waiting;
    if (!r->commit->compare_exchange_strong(expected, GivenUp) && !r->extended) {
        // The worker is committing right now: the commit gets one more period to answer.
        r->extended = true;
        m_timer->start(m_bounds.statementMs);
        return;
    }
    m_inFlight.reset();
    m_connected = false;
    abandonWorker();
    dispatch();
    deliver(r, timeoutText());
}

void CompetitionGateway::startWorker()
{
    m_thread = new QThread;
    m_worker = new Worker(m_link);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_workerConnection.reset();
    ++s_runningWorkers;
    m_thread->start();
}

void CompetitionGateway::retireWorker(bool abandoned)
{
    Worker *worker = std::exchange(m_worker, nullptr);
    m_thread = nullptr;
    if (abandoned)
        ++s_abandonedWorkers;
    QMetaObject::invokeMethod(
        worker, [worker, abandoned] { worker->retire(abandoned); }, Qt::QueuedConnection);
}

void CompetitionGateway::abandonWorker()
{
    if (!m_worker)
        return;
    const std::optional<Kill> kill = m_workerConnection;
    retireWorker(true);
    if (!kill || kill->id < 0 || m_toCancel.contains(*kill))
        return;
    // The server may still run the hung work: the next request's fresh connection cancels it
    // first thing; with none waiting, a request of its own does.
    m_toCancel.append(*kill);
    if (m_waiting.empty())
        submit(Priority::Cancel, {}, {}, nullptr);
}
