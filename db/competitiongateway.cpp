#include "db/competitiongateway.h"

#include "db/dbengine.h"
#include "db/pollreads.h"
#include "db/statements.h"
#include "db/statementworker.h"

#include <QDeadlineTimer>
#include <QTimer>

using namespace Qt::StringLiterals;
using gateway::Claim;
using gateway::Release;
using Options = StatementWorker::Options;
using Priority = StatementWorker::Priority;
using MayCommit = StatementWorker::MayCommit;

namespace {

Options writeOptions()
{
    Options o;
    o.priority = Priority::Write;
    return o;
}

} // namespace

// A registration on its way, or one whose outcome is not known yet: what it writes, its
// bound, and where it stands.
struct CompetitionGateway::Run
{
    QString letter;
    Competitor competitor;
    Marks marks;
    Then<Outcome> then;
    QDeadlineTimer deadline;
    int attempts = 0;
    bool serverAnswered = false; // an attempt was answered, with a refusal at least
    // A commit whose answer never came: from then on the run only finds out what landed.
    std::shared_ptr<const StatementWorker::Unsettled> unsettled;
    StatementWorker::Ticket ticket; // the request on its way
    bool over = false;

    bool isFor(const QString &l, const Competitor &c, const Marks &m) const
    {
        return letter == l && sameCompetitor(competitor, c) && marks == m;
    }
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
    m_worker->setBounds(bounds);
}

void CompetitionGateway::setBeforeCommitForTests(std::function<void()> hook)
{
    m_worker->setBeforeCommitForTests(std::move(hook));
}

// --- the connection --------------------------------------------------------------------------

// A connection made before it is asked for: the first request to its target takes its reply.
struct CompetitionGateway::Prepared
{
    StatementWorker::Target target;
    std::optional<Reply<Done>> reply; // once it answered
    std::function<void(Reply<Done>)> then;
};

void CompetitionGateway::prepare(const QString &alias, const QStringList &params)
{
    setConnection(alias, params);
    auto prepared = std::make_shared<Prepared>();
    prepared->target = {alias, params};
    m_prepared = prepared;
    Options o = writeOptions();
    o.target = prepared->target;
    o.timeoutMs = m_bounds.statementMs + 1000;
    m_worker->run<Done>(
        o, [](Database &, const MayCommit &) { return Done{}; },
        Then<Done>(this, [prepared](Reply<Done> reply) {
            prepared->reply = reply;
            if (prepared->then)
                std::exchange(prepared->then, {})(std::move(reply));
        }));
}

void CompetitionGateway::connectProfile(const QString &alias, const QStringList &params,
                                        const QStringList &fallback, Then<QStringList> then)
{
    setConnection(alias, params);
    const int serial = ++m_profileSerial;
    // A connection attempt has bounds of its own (ODBC's login timeout, the TCP check before
    // a Firebird attach); the request gives them room to answer with the engine's text.
    Options o = writeOptions();
    o.timeoutMs = m_bounds.statementMs + 1000;
    auto connectWith = [this, alias, o](const QStringList &lines,
                                        std::function<void(Reply<Done>)> replied) {
        Options with = o;
        with.target = StatementWorker::Target{alias, lines};
        m_worker->run<Done>(
            with, [](Database &, const MayCommit &) { return Done{}; },
            Then<Done>(this, std::move(replied)));
    };
    auto afterFirst = [this, alias, params, fallback, then, serial,
                       connectWith](Reply<Done> first) {
        // The judge chose another profile meanwhile: this one's fallback would take the
        // connection away from it.
        if (first.ok() || fallback.isEmpty() || serial != m_profileSerial) {
            then(first.ok() ? Reply<QStringList>::success(params) : first.as<QStringList>());
            return;
        }
        setConnection(alias, fallback);
        connectWith(fallback, [fallback, then](Reply<Done> second) {
            then(second.ok() ? Reply<QStringList>::success(fallback) : second.as<QStringList>());
        });
    };
    const std::shared_ptr<Prepared> prepared = std::exchange(m_prepared, nullptr);
    if (prepared && prepared->target == StatementWorker::Target{alias, params}) {
        if (!prepared->reply)
            prepared->then = afterFirst;
        else
            QTimer::singleShot(0, this,
                               [afterFirst, reply = *prepared->reply] { afterFirst(reply); });
        return;
    }
    connectWith(params, afterFirst);
}

// --- the seat ------------------------------------------------------------------------------

// A seat claim or release on its way. One whose commit answer was lost is found out from the
// flag once the connection it went on is gone, within the bound; a flag that cannot tell whose
// write it holds is told as it is, and nothing is written again without the judge.
struct CompetitionGateway::SeatWrite
{
    QString letter;
    bool claim = true;
    QDeadlineTimer deadline;
    std::shared_ptr<const StatementWorker::Unsettled> unsettled;
    StatementWorker::Ticket ticket;
    // The answer: the claim's result (or the release's, as Claimed for Freed), or a failure.
    std::function<void(Reply<Claim>)> answer;
};

void CompetitionGateway::claimSeat(const QString &letter, Then<Claim> then)
{
    auto write = std::make_shared<SeatWrite>();
    write->letter = letter;
    write->claim = true;
    write->deadline = QDeadlineTimer(m_bounds.registrationMs);
    write->answer = [then = std::move(then)](Reply<Claim> reply) { then(std::move(reply)); };
    writeSeat(write);
}

void CompetitionGateway::releaseSeat(const QString &letter, Then<Release> then)
{
    auto write = std::make_shared<SeatWrite>();
    write->letter = letter;
    write->claim = false;
    write->deadline = QDeadlineTimer(m_bounds.registrationMs);
    write->answer = [then = std::move(then)](Reply<Claim> reply) {
        if (!reply.ok())
            then(reply.as<Release>());
        else if (reply.value().fault)
            then(Reply<Release>::failure(Failure::Refused, reply.value().fault->text()));
        else if (reply.value().result == Claim::Result::Unproven)
            then(Reply<Release>::success(Release::Unproven));
        else
            then(Reply<Release>::success(Release::Freed));
    };
    writeSeat(write);
}

void CompetitionGateway::writeSeat(const std::shared_ptr<SeatWrite> &write)
{
    const QString letter = write->letter;
    const bool claim = write->claim;
    Options o = writeOptions();
    o.deadline = write->deadline;
    write->ticket = m_worker->run<Claim>(
        o,
        [letter, claim](Database &db, const MayCommit &mayCommit) {
            using Result = Claim::Result;
            try {
                if (claim) {
                    const bool taken = statements::claim(db, letter, mayCommit);
                    return Claim{taken ? Result::Claimed : Result::Taken, std::nullopt};
                }
                // A release that matched no row leaves no row holding the seat either.
                statements::write(db, letter,
                                  {statements::releaseSeat(statements::Server(db), letter)},
                                  mayCommit);
                return Claim{Result::Claimed, std::nullopt};
            } catch (const statements::TableError &e) {
                return Claim{Result::Taken, e.fault()};
            }
        },
        Then<Claim>(this, [this, write](Reply<Claim> reply) {
            if (reply.failedWith(Failure::UnknownOutcome)) {
                write->unsettled = write->ticket.unsettled();
                findOutSeat(write);
                return;
            }
            write->answer(std::move(reply));
        }));
}

void CompetitionGateway::findOutSeat(const std::shared_ptr<SeatWrite> &write)
{
    const QString letter = write->letter;
    m_worker->settle<QString>(
        write->unsettled,
        [letter](Database &db, const MayCommit &) { return statements::seatFlag(db, letter); },
        Then<QString>(this, [this, write](Reply<QString> flag) {
            using Result = Claim::Result;
            if (!flag.ok()) {
                if (write->deadline.hasExpired()) {
                    write->answer(flag.as<Claim>());
                    return;
                }
                QTimer::singleShot(m_bounds.retryPauseMs, this,
                                   [this, write] { findOutSeat(write); });
                return;
            }
            const QString &value = flag.value();
            if (write->claim && value == u"False") {
                // The claim did not land and the seat is still free: it goes again, within the
                // same bound.
                writeSeat(write);
                return;
            }
            Result result = Result::Unproven;
            if (write->claim)
                result = value == u"True" ? Result::Unproven : Result::Taken;
            else if (value == u"False")
                result = Result::Claimed; // freed
            write->answer(Reply<Claim>::success({result, std::nullopt}));
        }));
}

// --- the run ---------------------------------------------------------------------------------

void CompetitionGateway::poll(const QString &letter, const std::optional<Competitor> &shown,
                              bool checkOnly, Then<PollResult> then)
{
    // The reply goes to the session as the worker gives it: nothing of the gateway on the way
    // back.
    m_worker->run<PollResult>(
        Options{},
        [letter, shown, checkOnly](Database &db, const MayCommit &) {
            try {
                return pollreads::read(db, letter, shown, checkOnly);
            } catch (const statements::TableError &e) {
                PollResult unusable;
                unusable.state = PollResult::State::Unusable;
                unusable.fault = e.fault();
                return unusable;
            }
        },
        std::move(then));
}

// --- the registration ------------------------------------------------------------------------

void CompetitionGateway::registerMarks(const QString &letter, const Competitor &competitor,
                                       const Marks &marks, Then<Outcome> then)
{
    // Marks confirmed again for the competitor replace those whose outcome was not known.
    m_unknown.removeIf([&](const auto &run) { return run->isFor(letter, competitor, marks); });
    auto run = std::make_shared<Run>();
    run->letter = letter;
    run->competitor = competitor;
    run->marks = marks;
    run->then = std::move(then);
    run->deadline = QDeadlineTimer(m_bounds.registrationMs);
    m_runs.append(run);
    attempt(run);
}

void CompetitionGateway::attempt(const std::shared_ptr<Run> &run)
{
    Options o = writeOptions();
    o.deadline = run->deadline;
    run->ticket = m_worker->run<int>(
        o,
        [letter = run->letter, marks = run->marks,
         competitor = run->competitor](Database &db, const MayCommit &mayCommit) {
            const QStringList lines =
                statements::registration(statements::Server(db), letter, marks, competitor);
            return statements::write(db, letter, lines, mayCommit);
        },
        this,
        [this, run](Reply<int> rows) {
            if (run->over)
                return;
            if (run->ticket.attempted()) {
                ++run->attempts;
                ++m_registrationAttempts;
            }
            run->serverAnswered = run->serverAnswered || rows.answered();
            if (rows.failedWith(Failure::UnknownOutcome)) {
                run->unsettled = run->ticket.unsettled();
                settle(run);
                return;
            }
            if (rows.ok()) {
                // No row held the competitor: another is up, and trying again cannot help.
                finish(run, Reply<Outcome>::success(rows.value() > 0 ? Outcome::Registered
                                                                     : Outcome::CompetitorChanged));
                return;
            }
            const qint64 left = run->deadline.remainingTime();
            if (run->attempts >= m_bounds.attempts || left <= m_bounds.retryPauseMs) {
                // A failure the server answered with (a row another program holds) is no
                // outage; the reply says which it was.
                finish(run,
                       Reply<Outcome>::failure(
                           run->serverAnswered ? Failure::Refused : rows.failure(), rows.error()));
                return;
            }
            QTimer::singleShot(m_bounds.retryPauseMs, this, [this, run] {
                if (!run->over)
                    attempt(run);
            });
        });
}

// The commit went out and no answer came: the row, read back once the connection it went on
// is gone, tells what landed. Past the registration's bound the outcome stays unknown, and
// resolve() asks again later.
void CompetitionGateway::settle(const std::shared_ptr<Run> &run)
{
    if (run->deadline.hasExpired()) {
        m_unknown.append(run);
        finish(run, Reply<Outcome>::failure(Failure::UnknownOutcome,
                                            u"The answer to the commit was lost"_s));
        return;
    }
    readBack(run, run->deadline, Then<Outcome>(this, [this, run](Reply<Outcome> found) {
                 if (run->over)
                     return;
                 if (found.ok()) {
                     finish(run, std::move(found));
                     return;
                 }
                 QTimer::singleShot(m_bounds.retryPauseMs, this, [this, run] {
                     if (!run->over)
                         settle(run);
                 });
             }));
}

// What the row says of marks whose commit was never answered, once the connection the commit
// went on is gone.
void CompetitionGateway::readBack(const std::shared_ptr<Run> &run, QDeadlineTimer deadline,
                                  Then<Outcome> then)
{
    run->ticket = m_worker->settle<Outcome>(
        run->unsettled,
        [letter = run->letter, competitor = run->competitor,
         marks = run->marks](Database &db, const MayCommit &) {
            return statements::registered(db, letter, competitor, marks);
        },
        std::move(then), deadline);
}

void CompetitionGateway::finish(const std::shared_ptr<Run> &run, Reply<Outcome> reply)
{
    run->over = true;
    run->ticket = {}; // the request's closures hold the run: nothing holds them back
    m_runs.removeOne(run);
    if (m_registrationAnswered)
        m_registrationAnswered(reply.ok() && reply.value() == Outcome::Registered);
    run->then(std::move(reply));
}

void CompetitionGateway::resolve(const QString &letter, const Competitor &competitor,
                                 const Marks &marks, Then<Outcome> then)
{
    const auto it = std::find_if(m_unknown.cbegin(), m_unknown.cend(), [&](const auto &run) {
        return run->isFor(letter, competitor, marks);
    });
    if (it == m_unknown.cend() || !(*it)->unsettled) {
        // Nothing left to find it out with (the program closed before it was known).
        QTimer::singleShot(0, this,
                           [then] { then(Reply<Outcome>::success(Outcome::Unverifiable)); });
        return;
    }
    const std::shared_ptr<Run> pending = *it;
    readBack(pending, QDeadlineTimer(QDeadlineTimer::Forever),
             Then<Outcome>(this, [this, pending, then](Reply<Outcome> found) {
                 if (!found.ok()) {
                     then(Reply<Outcome>::failure(Failure::UnknownOutcome, found.error()));
                     return;
                 }
                 m_unknown.removeOne(pending);
                 then(std::move(found));
             }));
}

void CompetitionGateway::shutDown()
{
    // Answered now, while the windows still listen: afterwards nothing of theirs commits.
    m_worker->giveUp();
    const QList<std::shared_ptr<Run>> runs = m_runs;
    for (const std::shared_ptr<Run> &run : runs) {
        const bool neverLands = !run->unsettled && run->ticket.giveUp();
        if (neverLands) {
            finish(run, Reply<Outcome>::failure(Failure::Offline, u"The program closed"_s));
            continue;
        }
        // Its commit went out: kept for the journal, which says the outcome is not known.
        finish(run, Reply<Outcome>::failure(Failure::UnknownOutcome, u"The program closed"_s));
    }
    m_unknown.clear();
}
