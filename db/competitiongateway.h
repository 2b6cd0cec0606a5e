#pragma once

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

// The competitor on a judge's table, as read.
struct Competitor
{
    QString zek; // the bib as read: what the station compares and a registration names
    QString bib; // the bib as shown: the number with at least three digits
    QString hon, tstno, name, team, sumi;
    std::array<QString, 3> stored; // ap, op, lp: the deductions stored for this judge
    // Registered marks are shown for rounds 1 and 2 only.
    bool registered() const { return sumi == u"T" && (hon == u"1" || hon == u"2"); }
};

// The competitor a station shows, as read: a bib and a round. Round "X" (the operator is not
// ready) is no round: a change to or from it is the same competitor.
struct Shown
{
    QString zek;
    QString round;
};
bool sameCompetitor(const Shown &shown, const QString &zek, const QString &hon);

// One answer to a poll of the run and the judge's table.
struct PollResult
{
    enum class State
    {
        NotReady,     // jikko "0"
        Unchanged,    // the competitor on display: competitor.zek and .hon as read now
        NewCompetitor // everything below is filled
    };
    State state = State::NotReady;
    Competitor competitor;
    QList<std::pair<QString, QString>> reference; // judgep's bound columns, by name
    // This judge's registered marks from race (flight, landing, outrun); empty for a
    // competitor who is not registered, or when the table went back to the bib on display.
    std::optional<std::array<QString, 3>> registeredMarks;
    // The statements as run, for the diagnostic display: the last of the judge's table, and of
    // judgep (only when a competitor was read in full).
    QString judgeStatement, referenceStatement;
};

// What a registration writes: the value texts and the mark text.
struct Marks
{
    QString flight, landing, outrun, mark;
};

enum class Registration
{
    Registered,
    CompetitorChanged, // the row holds another bib or round: nothing written
    Failed,            // not written, and never will be
    Unknown,           // the commit was sent and no answer came; resolve() finds out what landed
    Unverifiable       // unknown, and no longer to be found out: the operator moved on from a round
                       // that race does not keep
};

// A registration whose outcome is not known yet: what the gateway needs to find it out.
struct Unresolved
{
    virtual ~Unresolved() = default;
};

struct RegistrationOutcome
{
    RegistrationOutcome(Registration outcome = Registration::Failed,
                        std::shared_ptr<Unresolved> unresolved = {})
        : outcome(outcome), unresolved(std::move(unresolved))
    {
    }
    Registration outcome;
    std::shared_ptr<Unresolved> unresolved; // for resolve(), when Unknown
    // Failed: the server answered an attempt (it refused it, or a row another program holds
    // kept it), so the failure is no outage.
    bool serverAnswered = false;
};

struct ProfileResult
{
    QStringList params; // the parameter list in use: the fallback's when it was tried
    bool connected = false;
};

// A value, or the text of why there is none.
template<class T> struct Answer
{
    std::optional<T> value;
    QString error;
    bool ok() const { return value.has_value(); }
};

// How long the gateway waits. Tests and benchmarks shorten them.
struct Bounds
{
    int statementMs = 3000;    // a statement not answered by then has failed
    int registrationMs = 5000; // from はい to its outcome, every attempt included
    int retryPauseMs = 100;
    int attempts = 10;
    int lockWaitMs = 1000;      // a write waits this long for a row another program holds
    int backoffMaxMs = 3000;    // between connection attempts after failures
    int abandonedPerTarget = 2; // workers left waiting on one server
};

struct Done
{
};

} // namespace gateway

// What a judge's session asks of the competition database. The gateway answers it; the
// session's tests answer it themselves.
class JudgeRequests
{
public:
    virtual ~JudgeRequests() = default;

    // Whether the last request found the connection open.
    virtual bool connected() const = 0;
    // The run state (unless checkOnly) and, while the run goes, the judge's table; a
    // competitor other than `shown` (nothing shown: any bib but an empty one) is read in full.
    virtual void poll(const QString &letter, const std::optional<gateway::Shown> &shown,
                      bool checkOnly, QObject *context,
                      std::function<void(const gateway::Answer<gateway::PollResult> &)> done) = 0;
    // Writes the marks onto the row while it holds the competitor, with retries, within the
    // bounds. Always answers, unless the context is gone.
    virtual void registerMarks(const QString &letter, const gateway::Shown &competitor,
                               const gateway::Marks &marks, QObject *context,
                               std::function<void(const gateway::RegistrationOutcome &)> done) = 0;
    // One more try to find out what became of an unknown registration.
    virtual void resolve(const std::shared_ptr<gateway::Unresolved> &unresolved, QObject *context,
                         std::function<void(const gateway::RegistrationOutcome &)> done) = 0;
    virtual void releaseSeat(const QString &letter, QObject *context,
                             std::function<void(const gateway::Answer<gateway::Done> &)> done) = 0;
};

// The terminal's requests of the competition database: the seat, the run, the competitor, the
// registration. They run on the statement worker, so that the windows answer the judge
// whatever the server or the network does; each answers on the UI thread, unless its context
// is gone by then.
class CompetitionGateway : public QObject, public JudgeRequests
{
    Q_OBJECT
public:
    using Competitor = gateway::Competitor;
    using PollResult = gateway::PollResult;
    using Marks = gateway::Marks;
    using Registration = gateway::Registration;
    using ProfileResult = gateway::ProfileResult;
    using Bounds = gateway::Bounds;
    template<class T> using Answer = gateway::Answer<T>;
    using Done = gateway::Done;

    explicit CompetitionGateway(QObject *parent = nullptr);
    ~CompetitionGateway() override;

    // The connection: an alias and its parameter list (a profile of the main window).
    void setConnection(const QString &alias, const QStringList &params);
    QString alias() const;
    QStringList params() const;
    bool connected() const override;
    // What this PC lacks for the connection's database (a driver, Firebird's client), in words
    // for the judge; an empty text when nothing is, or when the alias does not resolve.
    QString missingHere() const;

    void setBounds(const Bounds &bounds);
    const Bounds &bounds() const { return m_bounds; }
    // Runs on the worker just before a write commits (tests: the path fails at that moment).
    void setBeforeCommit(std::function<void()> hook);

    // Connects now, while the windows are still being built; a profile's first connection to
    // the same target then takes this one's outcome.
    void prepare(const QString &alias, const QStringList &params);
    // Connects with the parameters, and when that fails with the fallback (if any), unless
    // another profile was chosen meanwhile.
    void connectProfile(const QString &alias, const QStringList &params,
                        const QStringList &fallback, QObject *context,
                        std::function<void(const ProfileResult &)> done);
    // true: this station took the seat; false: it is taken.
    void claimSeat(const QString &letter, QObject *context,
                   std::function<void(const Answer<bool> &)> done);
    void releaseSeat(const QString &letter, QObject *context,
                     std::function<void(const Answer<Done> &)> done) override;
    void poll(const QString &letter, const std::optional<gateway::Shown> &shown, bool checkOnly,
              QObject *context, std::function<void(const Answer<PollResult> &)> done) override;
    void registerMarks(const QString &letter, const gateway::Shown &competitor, const Marks &marks,
                       QObject *context,
                       std::function<void(const gateway::RegistrationOutcome &)> done) override;
    void resolve(const std::shared_ptr<gateway::Unresolved> &unresolved, QObject *context,
                 std::function<void(const gateway::RegistrationOutcome &)> done) override;

    // The program closes: nothing that has not begun committing commits any more, and every
    // registration still on its way is answered now (Failed, or Unknown when its commit was
    // on its way).
    void shutDown();

    // The reference columns a display binds to (judgep).
    static const QStringList &referenceColumns();

    bool idle() const; // nothing in flight or waiting

    // Registration attempts made so far (every try of every registration that reached the
    // database or was refused by it).
    int registrationAttempts() const { return m_registrationAttempts; }
    // Worker threads still running, abandoned ones included (all gateways of the process),
    // and of them those abandoned on a request that did not answer in time.
    static int runningWorkers();
    static int abandonedWorkers();

Q_SIGNALS:
    // A registration has its outcome (the write is committed when it says Registered); sent
    // before the requester's answer.
    void registrationFinished(gateway::Registration outcome);

private:
    struct Run;
    struct Prepared;
    struct SeatWrite;
    void writeSeat(const QString &letter, bool claim, QObject *context,
                   std::function<void(const Answer<bool> &)> done);
    void sendSeatWrite(const std::shared_ptr<SeatWrite> &write);
    void findOutSeat(const std::shared_ptr<SeatWrite> &write);
    void answerSeat(const std::shared_ptr<SeatWrite> &write, const Answer<bool> &answer);
    void attempt(const std::shared_ptr<Run> &run);
    void settle(const std::shared_ptr<Run> &run);
    void finish(const std::shared_ptr<Run> &run, const gateway::RegistrationOutcome &outcome);

    StatementWorker *m_worker;
    Bounds m_bounds;
    int m_registrationAttempts = 0;
    int m_profileSerial = 0;            // a fallback applies only while its profile is the latest
    QList<std::shared_ptr<Run>> m_runs; // registrations on their way
    std::shared_ptr<Prepared> m_prepared;
    std::shared_ptr<SeatWrite> m_unsettledSeat; // a seat write whose commit answer was lost
};
