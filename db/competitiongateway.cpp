#include "db/competitiongateway.h"

#include "db/dbengine.h"
#include "db/statements.h"
#include "db/statementworker.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

using namespace Qt::StringLiterals;
using Result = StatementWorker::Result;

namespace gateway {

namespace {

struct Pending : Unresolved
{
    Pending(statements::SentMarks sent, std::shared_ptr<const StatementWorker::Unsettled> unsettled)
        : sent(std::move(sent)), unsettled(std::move(unsettled))
    {
    }
    statements::SentMarks sent;
    std::shared_ptr<const StatementWorker::Unsettled> unsettled;
};

} // namespace

bool sameCompetitor(const Shown &shown, const QString &zek, const QString &hon)
{
    if (zek != shown.zek)
        return false;
    return hon == shown.round || hon == u"X" || shown.round == u"X";
}

namespace {

void readRow(Query &query, const QString &statement)
{
    query.close();
    query.sql().clear();
    query.sql().add(statement);
    query.open();
}

PollResult pollTables(Database &db, const QString &letter, const std::optional<Shown> &shown,
                      bool checkOnly)
{
    PollResult result;
    Query query(&db);
    if (!checkOnly) {
        readRow(query, statements::runState());
        if (query.fieldAsString(u"jikko"_s) == u"0")
            return result;
    }
    readRow(query, statements::judgeTable(letter));
    Competitor &c = result.competitor;
    c.zek = query.fieldAsString(u"zek"_s);
    c.hon = query.fieldAsString(u"hon"_s);
    // Nothing shown yet: an empty bib loads nothing, any other does.
    if (shown ? sameCompetitor(*shown, c.zek, c.hon) : c.zek.isEmpty()) {
        result.state = PollResult::State::Unchanged;
        return result;
    }
    c.tstno = query.fieldAsString(u"tstno"_s);
    c.sumi = query.fieldAsString(u"sumi"_s);
    c.stored = {query.fieldAsString(u"ap"_s), query.fieldAsString(u"op"_s),
                query.fieldAsString(u"lp"_s)};
    c.bib = statements::bibShown(c.zek);
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
        readRow(query, statements::judgeTable(letter));
        if (!shown || query.fieldAsString(u"zek"_s) != shown->zek) {
            readRow(query, statements::raceRow(c.bib));
            std::array<QString, 3> marks;
            for (int row = 0; row < int(marks.size()); ++row)
                marks[row] = query.fieldAsString(statements::raceColumn(letter, row, c.hon));
            result.registeredMarks = marks;
        }
    }
    if (c.hon == u"4")
        readReference();
    result.state = PollResult::State::NewCompetitor;
    return result;
}

// What the row read back says of marks whose commit was never answered.
Registration outcomeOf(statements::Found found)
{
    switch (found) {
    case statements::Found::Yes:
        return Registration::Registered;
    case statements::Found::No:
        return Registration::Failed;
    case statements::Found::Unknowable:
        break;
    }
    return Registration::Unverifiable;
}

template<class T> Answer<T> answerOf(const StatementWorker::Answer &a, T value)
{
    return a.ok() ? Answer<T>{std::move(value), {}} : Answer<T>{{}, a.error};
}

} // namespace

} // namespace gateway

using namespace gateway;

// A registration on its way: what it writes, its bound, and where it stands.
struct CompetitionGateway::Run
{
    statements::SentMarks sent;
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void(const RegistrationOutcome &)> done;
    QDeadlineTimer deadline;
    int attempts = 0;
    // A commit whose answer never came: from then on the run only finds out what landed.
    std::shared_ptr<const StatementWorker::Unsettled> unsettled;
    StatementWorker::Ticket ticket; // the request on its way
    bool over = false;
};

CompetitionGateway::CompetitionGateway(QObject *parent)
    : QObject(parent), m_worker(new StatementWorker(this))
{
    setBounds(m_bounds);
}

CompetitionGateway::~CompetitionGateway()
{
    shutDown();
}

int CompetitionGateway::runningWorkers()
{
    return StatementWorker::runningThreads();
}

int CompetitionGateway::abandonedWorkers()
{
    return StatementWorker::abandonedThreads();
}

bool CompetitionGateway::idle() const
{
    return m_worker->idle();
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
    m_worker->setTarget({alias, params});
    // Loads Firebird's client on this thread, which lasts as long as the program, before a
    // worker needs it: under Wine, a client first loaded by a worker thread that ended later
    // left the connections after it waiting for good (MinGW's thread library).
    missingHere();
}

QString CompetitionGateway::alias() const
{
    return m_worker->target().alias;
}

QStringList CompetitionGateway::params() const
{
    return m_worker->target().params;
}

bool CompetitionGateway::connected() const
{
    return m_worker->connected();
}

QString CompetitionGateway::missingHere() const
{
    const auto target = m_worker->target();
    TextLines params;
    for (const QString &line : target.params)
        params.add(line);
    try {
        return Database::missingHere(aliases::resolve(target.alias, params));
    } catch (const DbError &) {
        return QString(); // the connection attempt tells what is wrong with the alias
    }
}

void CompetitionGateway::setBounds(const Bounds &bounds)
{
    m_bounds = bounds;
    m_worker->setBounds(
        {bounds.statementMs, bounds.lockWaitMs, bounds.backoffMaxMs, bounds.abandonedPerTarget});
}

void CompetitionGateway::setBeforeCommit(std::function<void()> hook)
{
    m_worker->setBeforeCommit(std::move(hook));
}

// --- requests ------------------------------------------------------------------------------

// A connection made before it is asked for: the first request to its target takes its outcome.
struct CompetitionGateway::Prepared
{
    StatementWorker::Target target;
    std::optional<bool> connected; // once it answered
    std::function<void(bool connected)> then;
};

void CompetitionGateway::prepare(const QString &alias, const QStringList &params)
{
    setConnection(alias, params);
    auto prepared = std::make_shared<Prepared>();
    prepared->target = {alias, params};
    m_prepared = prepared;
    StatementWorker::Request r;
    r.priority = StatementWorker::Priority::Write;
    r.target = prepared->target;
    r.timeoutMs = m_bounds.statementMs + 1000;
    r.done = [prepared](const StatementWorker::Answer &a) {
        prepared->connected = a.ok();
        if (prepared->then)
            std::exchange(prepared->then, {})(a.ok());
    };
    m_worker->submit(std::move(r));
}

void CompetitionGateway::connectProfile(const QString &alias, const QStringList &params,
                                        const QStringList &fallback, QObject *context,
                                        std::function<void(const ProfileResult &)> done)
{
    setConnection(alias, params);
    const int serial = ++m_profileSerial;
    // A connection attempt has bounds of its own (ODBC's login timeout, the TCP check before
    // a Firebird attach); the request gives them room to answer with the engine's text.
    const int timeout = m_bounds.statementMs + 1000;
    auto afterFirst = [this, alias, params, fallback, context, done, serial,
                       timeout](bool connected) {
        // The judge chose another profile meanwhile: this one's fallback would take the
        // connection away from it.
        if (connected || fallback.isEmpty() || serial != m_profileSerial) {
            done({params, connected});
            return;
        }
        setConnection(alias, fallback);
        StatementWorker::Request second;
        second.priority = StatementWorker::Priority::Write;
        second.context = context;
        second.target = StatementWorker::Target{alias, fallback};
        second.timeoutMs = timeout;
        second.done = [fallback, done](const StatementWorker::Answer &b) {
            done({fallback, b.ok()});
        };
        m_worker->submit(std::move(second));
    };
    const std::shared_ptr<Prepared> prepared = std::exchange(m_prepared, nullptr);
    if (prepared && prepared->target == StatementWorker::Target{alias, params}) {
        QPointer<QObject> guard(context);
        auto answer = [guard, hasContext = context != nullptr, afterFirst](bool connected) {
            if (!hasContext || guard)
                afterFirst(connected);
        };
        if (!prepared->connected)
            prepared->then = answer;
        else
            QTimer::singleShot(0, this,
                               [answer, connected = *prepared->connected] { answer(connected); });
        return;
    }
    StatementWorker::Request first;
    first.priority = StatementWorker::Priority::Write;
    first.context = context;
    first.target = StatementWorker::Target{alias, params};
    first.timeoutMs = timeout;
    first.done = [afterFirst](const StatementWorker::Answer &a) { afterFirst(a.ok()); };
    m_worker->submit(std::move(first));
}

void CompetitionGateway::claimSeat(const QString &letter, QObject *context,
                                   std::function<void(const Answer<bool> &)> done)
{
    auto claimed = std::make_shared<bool>(false);
    StatementWorker::Request r;
    r.priority = StatementWorker::Priority::Write;
    r.context = context;
    r.work = [letter, claimed](Database &db, const StatementWorker::MayCommit &mayCommit) {
        *claimed = statements::claim(db, letter, mayCommit);
    };
    r.done = [claimed, done](const StatementWorker::Answer &a) { done(answerOf(a, *claimed)); };
    m_worker->submit(std::move(r));
}

void CompetitionGateway::releaseSeat(const QString &letter, QObject *context,
                                     std::function<void(const Answer<Done> &)> done)
{
    StatementWorker::Request r;
    r.priority = StatementWorker::Priority::Write;
    r.context = context;
    r.work = [letter](Database &db, const StatementWorker::MayCommit &mayCommit) {
        statements::write(db, {statements::releaseSeat(letter)}, mayCommit);
    };
    r.done = [done](const StatementWorker::Answer &a) { done(answerOf(a, Done{})); };
    m_worker->submit(std::move(r));
}

void CompetitionGateway::poll(const QString &letter, const std::optional<Shown> &shown,
                              bool checkOnly, QObject *context,
                              std::function<void(const Answer<PollResult> &)> done)
{
    auto result = std::make_shared<PollResult>();
    StatementWorker::Request r;
    r.context = context;
    r.work = [letter, shown, checkOnly, result](Database &db, const StatementWorker::MayCommit &) {
        *result = pollTables(db, letter, shown, checkOnly);
    };
    r.done = [result, done](const StatementWorker::Answer &a) {
        done(answerOf(a, std::move(*result)));
    };
    m_worker->submit(std::move(r));
}

// --- the registration ----------------------------------------------------------------------

void CompetitionGateway::registerMarks(const QString &letter, const Shown &competitor,
                                       const Marks &marks, QObject *context,
                                       std::function<void(const RegistrationOutcome &)> done)
{
    auto run = std::make_shared<Run>();
    run->sent = {letter,
                 competitor.zek,
                 competitor.round,
                 {marks.flight, marks.landing, marks.outrun},
                 marks.mark};
    run->context = context;
    run->hasContext = context != nullptr;
    run->done = std::move(done);
    run->deadline = QDeadlineTimer(m_bounds.registrationMs);
    m_runs.append(run);
    attempt(run);
}

void CompetitionGateway::attempt(const std::shared_ptr<Run> &run)
{
    const statements::SentMarks &s = run->sent;
    const QStringList lines = statements::registration(s.letter, s.deductions[0], s.deductions[1],
                                                       s.deductions[2], s.mark, s.bib, s.round);
    auto rows = std::make_shared<int>(0);
    StatementWorker::Request r;
    r.priority = StatementWorker::Priority::Write;
    r.deadline = run->deadline;
    r.work = [lines, rows](Database &db, const StatementWorker::MayCommit &mayCommit) {
        *rows = statements::write(db, lines, mayCommit);
    };
    r.done = [this, run, rows](const StatementWorker::Answer &a) {
        if (run->over)
            return;
        if (a.attempted) {
            ++run->attempts;
            ++m_registrationAttempts;
        }
        if (a.result == Result::Unknown) {
            run->unsettled = a.unsettled;
            settle(run);
            return;
        }
        if (a.ok()) {
            // No row held the competitor: another is up, and trying again cannot help.
            finish(run, {*rows > 0 ? Registration::Registered : Registration::CompetitorChanged});
            return;
        }
        const qint64 left = run->deadline.remainingTime();
        if (run->attempts >= m_bounds.attempts || left <= m_bounds.retryPauseMs) {
            finish(run, {Registration::Failed});
            return;
        }
        QTimer::singleShot(m_bounds.retryPauseMs, this, [this, run] {
            if (!run->over)
                attempt(run);
        });
    };
    run->ticket = m_worker->submit(std::move(r));
}

// The commit went out and no answer came: the row, read back once the connection it went on
// is gone, tells what landed.
void CompetitionGateway::settle(const std::shared_ptr<Run> &run)
{
    if (run->deadline.hasExpired()) {
        finish(run, {Registration::Unknown, std::make_shared<Pending>(run->sent, run->unsettled)});
        return;
    }
    auto found = std::make_shared<statements::Found>(statements::Found::No);
    StatementWorker::Request r;
    r.deadline = run->deadline;
    r.work = [sent = run->sent, found](Database &db, const StatementWorker::MayCommit &) {
        *found = statements::registered(db, sent);
    };
    r.done = [this, run, found](const StatementWorker::Answer &a) {
        if (run->over)
            return;
        if (!a.ok()) {
            QTimer::singleShot(m_bounds.retryPauseMs, this, [this, run] {
                if (!run->over)
                    settle(run);
            });
            return;
        }
        finish(run, {outcomeOf(*found)});
    };
    run->ticket = m_worker->settle(run->unsettled, std::move(r));
}

void CompetitionGateway::finish(const std::shared_ptr<Run> &run, const RegistrationOutcome &outcome)
{
    run->over = true;
    m_runs.removeOne(run);
    Q_EMIT registrationFinished(outcome.outcome);
    if (!run->hasContext || run->context)
        run->done(outcome);
}

void CompetitionGateway::resolve(const std::shared_ptr<Unresolved> &unresolved, QObject *context,
                                 std::function<void(const RegistrationOutcome &)> done)
{
    const auto pending = std::dynamic_pointer_cast<Pending>(unresolved);
    if (!pending || !pending->unsettled) {
        // Nothing left to find it out with (the program closed before it was known).
        QTimer::singleShot(0, context, [done] { done({Registration::Unverifiable}); });
        return;
    }
    auto found = std::make_shared<statements::Found>(statements::Found::No);
    StatementWorker::Request r;
    r.context = context;
    r.work = [sent = pending->sent, found](Database &db, const StatementWorker::MayCommit &) {
        *found = statements::registered(db, sent);
    };
    r.done = [unresolved, found, done](const StatementWorker::Answer &a) {
        if (!a.ok()) {
            done({Registration::Unknown, unresolved});
            return;
        }
        done({outcomeOf(*found)});
    };
    m_worker->settle(pending->unsettled, std::move(r));
}

void CompetitionGateway::shutDown()
{
    // Answered now, while the windows still listen: afterwards nothing of theirs commits.
    m_worker->giveUp();
    const QList<std::shared_ptr<Run>> runs = m_runs;
    for (const std::shared_ptr<Run> &run : runs) {
        const bool neverLands = !run->unsettled && run->ticket.giveUp();
        if (neverLands) {
            finish(run, {Registration::Failed});
            continue;
        }
        // Its commit went out: kept for the journal, which says the outcome is not known.
        finish(run, {Registration::Unknown, std::make_shared<Pending>(run->sent, run->unsettled)});
    }
}
