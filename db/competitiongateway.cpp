#include "db/competitiongateway.h"

#include "db/dbengine.h"
#include "db/dialect.h"
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

// The bib and the round go into the registration's condition, so they must be read as they
// are stored: one cut on its way (longer than any bib, or stopped at a NUL by a driver) or
// holding a control character is a row the station cannot read.
QString readKey(const Query &query, const QString &driver, const QString &column,
                const QString &letter, const QString &what)
{
    const QString text = query.fieldAsString(column);
    const auto unreadable = [&](const QString &why) {
        return DbError(u"The %1 on judge%2 %3"_s.arg(what, letter, why));
    };
    // A NULL reads as an empty text, and its length as nothing.
    const QString stored = query.fieldAsString(column + u"_length"_s);
    if (dialect::measure(driver, text) != (stored.isEmpty() ? 0 : toInteger(stored)))
        throw unreadable(u"is longer than a %1 can be, or was cut on its way"_s.arg(what));
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            throw unreadable(u"holds a control character (U+%1)"_s.arg(
                u"%1"_s.arg(c.unicode(), 4, 16, QChar(u'0')).toUpper()));
    }
    return text;
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
    const QString driver = statements::driverOf(db);
    result.judgeStatement = statements::judgeTable(driver, letter);
    readRow(query, result.judgeStatement);
    Competitor &c = result.competitor;
    c.zek = readKey(query, driver, u"zek"_s, letter, u"bib"_s);
    c.hon = readKey(query, driver, u"hon"_s, letter, u"round"_s);
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
        result.referenceStatement =
            statements::reference(driver, CompetitionGateway::referenceColumns());
        readRow(reference, result.referenceStatement);
        result.reference.clear();
        for (const QString &column : CompetitionGateway::referenceColumns())
            result.reference.append({column, reference.fieldAsString(column)});
    };
    readReference();

    if (c.registered()) {
        // Read again: a table that went back to the bib on display shows no registered marks.
        readRow(query, statements::judgeTable(driver, letter));
        if (!shown || query.fieldAsString(u"zek"_s) != shown->zek) {
            readRow(query, statements::raceRow(driver, c.bib, letter, c.hon));
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

// The value is taken only from an answer that came: after a timeout the worker that was given
// up on may still be writing it.
template<class T, class Take> Answer<T> answerOf(const StatementWorker::Answer &a, Take take)
{
    if (!a.ok())
        return {{}, a.error};
    return {take(), {}};
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
    bool serverAnswered = false;    // an attempt had an answer over an open connection
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

// A seat claim or release whose commit answer was lost is found out as a registration is: once
// the connection it went on is gone, the seat flag tells what landed. Until then it is kept, and
// the next claim or release of that seat asks first.
struct CompetitionGateway::SeatWrite
{
    QString letter;
    bool claim = true;
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void(const Answer<bool> &)> done; // claim: taken by us; release: freed
    QDeadlineTimer deadline;
    std::shared_ptr<const StatementWorker::Unsettled> unsettled;
};

void CompetitionGateway::claimSeat(const QString &letter, QObject *context,
                                   std::function<void(const Answer<bool> &)> done)
{
    writeSeat(letter, true, context, std::move(done));
}

void CompetitionGateway::releaseSeat(const QString &letter, QObject *context,
                                     std::function<void(const Answer<Done> &)> done)
{
    writeSeat(letter, false, context, [done = std::move(done)](const Answer<bool> &freed) {
        if (!freed.ok())
            done({{}, freed.error});
        else if (!*freed.value)
            done({{}, u"The seat was not freed"_s});
        else
            done({Done{}, {}});
    });
}

void CompetitionGateway::writeSeat(const QString &letter, bool claim, QObject *context,
                                   std::function<void(const Answer<bool> &)> done)
{
    auto write = std::make_shared<SeatWrite>();
    write->letter = letter;
    write->claim = claim;
    write->context = context;
    write->hasContext = context != nullptr;
    write->done = std::move(done);
    write->deadline = QDeadlineTimer(m_bounds.registrationMs);
    if (m_unsettledSeat && m_unsettledSeat->letter == letter) {
        // The last write of this seat may have landed: what the flag says comes first.
        write->unsettled = m_unsettledSeat->unsettled;
        findOutSeat(write);
        return;
    }
    m_unsettledSeat.reset();
    sendSeatWrite(write);
}

void CompetitionGateway::sendSeatWrite(const std::shared_ptr<SeatWrite> &write)
{
    auto took = std::make_shared<bool>(false);
    StatementWorker::Request r;
    r.priority = StatementWorker::Priority::Write;
    r.context = write->context;
    r.work = [letter = write->letter, claim = write->claim,
              took](Database &db, const StatementWorker::MayCommit &mayCommit) {
        if (claim)
            *took = statements::claim(db, letter, mayCommit);
        else
            *took = statements::write(db, {statements::releaseSeat(letter)}, mayCommit) > 0;
    };
    r.done = [this, write, took](const StatementWorker::Answer &a) {
        if (a.result == Result::Unknown) {
            write->unsettled = a.unsettled;
            m_unsettledSeat = write;
            findOutSeat(write);
            return;
        }
        // A release that matched no row leaves no row holding the seat either.
        answerSeat(write, answerOf<bool>(a, [&] { return write->claim ? *took : true; }));
    };
    m_worker->submit(std::move(r));
}

void CompetitionGateway::findOutSeat(const std::shared_ptr<SeatWrite> &write)
{
    auto flag = std::make_shared<QString>();
    StatementWorker::Request r;
    r.context = write->context;
    r.work = [letter = write->letter, flag](Database &db, const StatementWorker::MayCommit &) {
        *flag = statements::seatFlag(db, letter);
    };
    r.done = [this, write, flag](const StatementWorker::Answer &a) {
        if (!a.ok()) {
            if (write->deadline.hasExpired()) {
                answerSeat(write, {{}, a.error});
                return;
            }
            QTimer::singleShot(m_bounds.retryPauseMs, this, [this, write] { findOutSeat(write); });
            return;
        }
        m_unsettledSeat.reset();
        const bool claimed = *flag == u"True";
        if (write->claim && *flag == u"False") {
            sendSeatWrite(write); // it did not land and the seat is free: claimed now
            return;
        }
        // Claimed: the flag is ours (the claim read "False" just before it). Released: free
        // unless the flag still holds the seat, and a release that did not land goes again.
        if (!write->claim && claimed) {
            sendSeatWrite(write);
            return;
        }
        answerSeat(write, {write->claim ? claimed : true, {}});
    };
    m_worker->settle(write->unsettled, std::move(r));
}

void CompetitionGateway::answerSeat(const std::shared_ptr<SeatWrite> &write, const Answer<bool> &a)
{
    if (!write->hasContext || write->context)
        write->done(a);
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
        done(answerOf<PollResult>(a, [&] { return std::move(*result); }));
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
            run->serverAnswered = run->serverAnswered || m_worker->connected();
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
            RegistrationOutcome failed{Registration::Failed};
            failed.serverAnswered = run->serverAnswered;
            finish(run, failed);
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
    run->ticket = {}; // the request's closures hold the run: nothing holds them back
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
