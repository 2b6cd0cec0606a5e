#pragma once

#include "db/bounds.h"
#include "db/competition.h"
#include "toolkit/reply.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class StatementWorker;

namespace gateway {

// One answer to a poll of the run and the judge's table.
struct PollResult
{
    enum class State
    {
        NotReady,      // jikko "0"
        Unchanged,     // the competitor on display: competitor's bib and round as read now
        NewCompetitor, // everything below is filled
        Unusable       // a table the station cannot use: fault says which and why
    };
    State state = State::NotReady;
    std::optional<TableFault> fault;
    Competitor competitor;
    bool registeredBefore = false; // sumi 'T' in a round race keeps: marks are in
    std::array<QString, 3> stored; // ap, op, lp: the deductions stored for this judge
    QList<std::pair<QString, QString>> reference; // judgep's bound columns, by name
    // This judge's registered marks from race (flight, landing, outrun); none for a
    // competitor who is not registered, or when the table went back to the bib on display.
    std::optional<std::array<QString, 3>> registeredMarks;
    // The statements as run, for the diagnostic display: the last of the judge's table, and of
    // judgep (only when a competitor was read in full).
    QString judgeStatement, referenceStatement;
};

// What a seat claim came to, or a judge's table that cannot seat anybody (fault).
struct Claim
{
    enum class Result
    {
        Claimed, // this station holds the seat
        Taken,   // the flag said anything but "False": nothing was written
        Unproven // the answer was lost and the flag says "True", which may be another station's
    };
    Result result = Result::Taken;
    std::optional<TableFault> fault;
};

// What a seat release came to.
enum class Release
{
    Freed,   // the flag says "False"
    Unproven // the answer was lost and the flag still says "True": never written again by itself
};

} // namespace gateway

// What a judge's session asks of the competition database. The gateway answers it; the
// session's tests answer it themselves. Every reply comes on the asking thread.
class JudgeRequests
{
public:
    virtual ~JudgeRequests() = default;

    // The run state (unless checkOnly) and, while the run goes, the judge's table; a
    // competitor other than `shown` (nothing shown: any bib but an empty one) is read in full.
    virtual void poll(const QString &letter, const std::optional<Competitor> &shown, bool checkOnly,
                      Then<gateway::PollResult> then) = 0;
    // Writes the marks onto the row while it holds the competitor, with retries, within the
    // bounds. A failure wrote nothing; UnknownOutcome: the commit's answer was lost.
    virtual void registerMarks(const QString &letter, const Competitor &competitor,
                               const Marks &marks, Then<Outcome> then) = 0;
    // One more try to find out what became of marks whose outcome was unknown; replies
    // UnknownOutcome again while that cannot be found out yet.
    virtual void resolve(const QString &letter, const Competitor &competitor, const Marks &marks,
                         Then<Outcome> then) = 0;
};

// The terminal's requests of the competition database: the seat, the run, the competitor, the
// registration. They run on the statement worker, so that the windows answer the judge
// whatever the server or the network does; each replies on the asking thread, unless its
// continuation's guard is gone by then.
class CompetitionGateway : public QObject, public JudgeRequests
{
    Q_OBJECT
public:
    using PollResult = gateway::PollResult;

    explicit CompetitionGateway(QObject *parent = nullptr);
    ~CompetitionGateway() override;

    // The connection: an alias and its parameter list (a profile of the main window).
    void setConnection(const QString &alias, const QStringList &params);
    QString alias() const;
    QStringList params() const;
    bool connected() const; // whether the last reply came over an open connection
    // What this PC lacks for the connection's database (a driver, Firebird's client), in words
    // for the judge; an empty text when nothing is, or when the alias does not resolve.
    QString missingHere() const;

    void setBounds(const Bounds &bounds);
    const Bounds &bounds() const { return m_bounds; }

    // Connects now, while the windows are still being built; a profile's first connection to
    // the same target then takes this one's outcome.
    void prepare(const QString &alias, const QStringList &params);
    // Connects with the parameters, and when that fails with the fallback (if any), unless
    // another profile was chosen meanwhile. Replies with the parameters it connected with.
    void connectProfile(const QString &alias, const QStringList &params,
                        const QStringList &fallback, Then<QStringList> then);
    // A seat write whose answer is lost is found out from the flag once the connection it went
    // on is gone, within the registration's bound; what the flag cannot prove is Unproven.
    void claimSeat(const QString &letter, Then<gateway::Claim> then);
    void releaseSeat(const QString &letter, Then<gateway::Release> then);
    void poll(const QString &letter, const std::optional<Competitor> &shown, bool checkOnly,
              Then<PollResult> then) override;
    void registerMarks(const QString &letter, const Competitor &competitor, const Marks &marks,
                       Then<Outcome> then) override;
    void resolve(const QString &letter, const Competitor &competitor, const Marks &marks,
                 Then<Outcome> then) override;

    // The program closes: nothing that has not begun committing commits any more, and every
    // registration still on its way is answered now (Offline, or UnknownOutcome when its
    // commit was on its way).
    void shutDown();

    bool idle() const; // nothing in flight or waiting

    // Registration attempts made so far (every try of every registration that reached the
    // database or was refused by it).
    int registrationAttempts() const { return m_registrationAttempts; }
    // Worker threads still running, abandoned ones included (all gateways of the process),
    // and of them those abandoned on a request that did not answer in time.
    static int runningWorkers();
    static int abandonedWorkers();

    // For tests: runs on the worker just before a write commits (the path fails at that moment).
    void setBeforeCommitForTests(std::function<void()> hook);
    // For the benchmarks: told whether a registration's reply says Registered, before the
    // requester's continuation runs (the marks are committed by then).
    void setRegistrationAnsweredForTests(std::function<void(bool registered)> hook)
    {
        m_registrationAnswered = std::move(hook);
    }

private:
    struct Run;
    struct Prepared;
    struct SeatWrite;
    void attempt(const std::shared_ptr<Run> &run);
    void settle(const std::shared_ptr<Run> &run);
    void readBack(const std::shared_ptr<Run> &run, QDeadlineTimer deadline, Then<Outcome> then);
    void finish(const std::shared_ptr<Run> &run, Reply<Outcome> reply);
    void writeSeat(const std::shared_ptr<SeatWrite> &write);
    void findOutSeat(const std::shared_ptr<SeatWrite> &write);

    StatementWorker *m_worker;
    Bounds m_bounds;
    int m_registrationAttempts = 0;
    int m_profileSerial = 0;            // a fallback applies only while its profile is the latest
    QList<std::shared_ptr<Run>> m_runs; // registrations on their way
    QList<std::shared_ptr<Run>> m_unknown; // registrations whose outcome is not known yet
    std::shared_ptr<Prepared> m_prepared;
    std::function<void(bool)> m_registrationAnswered;
};
