#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QThread;
class QTimer;
class Database;
struct RegistrationRun;

namespace gateway {

// The competitor on a judge's table, as read.
struct Competitor
{
    QString zek; // the bib as read: what a registration is conditioned on
    QString bib; // the bib as shown: the number with at least three digits
    QString hon, tstno, name, team, sumi;
    std::array<QString, 3> stored; // ap, op, lp: the deductions stored for this judge
    // Registered marks are shown for rounds 1 and 2 only.
    bool registered() const { return sumi == u"T" && (hon == u"1" || hon == u"2"); }
};

// One answer to a poll of the run and the judge's table.
struct PollResult
{
    enum class State
    {
        NotReady,     // jikko "0"
        Unchanged,    // the judge table holds the bib on display
        NewCompetitor // everything below is filled
    };
    State state = State::NotReady;
    Competitor competitor;
    QList<std::pair<QString, QString>> reference; // judgep's bound columns, by name
    // This judge's registered marks from race (flight, landing, outrun); empty for a
    // competitor who is not registered, or when the table went back to the bib on display.
    std::optional<std::array<QString, 3>> registeredMarks;
};

// What a registration writes: the value texts and the mark text.
struct Marks
{
    QString flight, landing, outrun, mark;
};

enum class Registration
{
    Registered,
    CompetitorChanged, // the row holds another bib: nothing written
    Failed             // not written within the attempts and the time allowed
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
};

// Runs on a worker; mayCommit() tells a write whether the window still waits for it.
using Work = std::function<void(Database &, const std::function<bool()> &mayCommit)>;

class Worker;
struct Link;
struct Request;

// A connection abandoned while the server may still run its work: its id means something
// only on the server that gave it, reached through the same alias and parameters.
struct Kill
{
    QString driver;
    qint64 id = -1;
    QString alias;
    QStringList params;
    bool operator==(const Kill &) const = default;
};

} // namespace gateway

// Every statement of the terminal, run on a worker thread with a connection of its own, so
// that the windows answer the judge whatever the server or the network does. Requests are
// answered on the UI thread, one at a time and in order (registrations, seat claims and
// releases before waiting polls). A request not answered within Bounds::statementMs has
// failed: its connection is abandoned (never reused, never waited for), its work on the
// server is cancelled where the server allows it, and a late answer is dropped. Writes run in
// a short transaction that the worker commits only while the window still waits for it, so
// an abandoned write never lands.
class CompetitionGateway : public QObject
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
    struct Done
    {
    };

    explicit CompetitionGateway(QObject *parent = nullptr);
    ~CompetitionGateway() override;

    // The connection: an alias and its parameter list (a profile of the main window).
    void setConnection(const QString &alias, const QStringList &params);
    QString alias() const { return m_alias; }
    QStringList params() const { return m_params; }
    // Whether the last request found the connection open.
    bool connected() const { return m_connected; }

    void setBounds(const Bounds &bounds) { m_bounds = bounds; }
    const Bounds &bounds() const { return m_bounds; }

    // Each request answers `done` on the UI thread, unless `context` is gone by then.
    // Connects with the parameters, and when that fails with the fallback (if any).
    void connectProfile(const QString &alias, const QStringList &params,
                        const QStringList &fallback, QObject *context,
                        std::function<void(const ProfileResult &)> done);
    // true: this station took the seat; false: it is taken.
    void claimSeat(const QString &letter, QObject *context,
                   std::function<void(const Answer<bool> &)> done);
    void releaseSeat(const QString &letter, QObject *context,
                     std::function<void(const Answer<Done> &)> done);
    // The run state (unless checkOnly) and, while the run goes, the judge's table; a bib
    // other than shownBib is read in full.
    void poll(const QString &letter, const QString &shownBib, bool checkOnly, QObject *context,
              std::function<void(const Answer<PollResult> &)> done);
    // Writes the marks onto the row while it holds `zek`, with retries, within the bounds.
    void registerMarks(const QString &letter, const QString &zek, const Marks &marks,
                       QObject *context, std::function<void(Registration)> done);

    // The statements as the diagnostic display shows them.
    static QString judgeTableStatement(const QString &letter);
    static QString referenceStatement();
    // The reference columns a display binds to (judgep).
    static const QStringList &referenceColumns();

    bool idle() const; // nothing in flight or waiting

Q_SIGNALS:
    // A registration has its outcome (the write is committed when it says Registered); sent
    // before the requester's answer.
    void registrationFinished(gateway::Registration outcome);

public:
    // Registration attempts made so far (every try of every registration).
    int registrationAttempts() const { return m_registrationAttempts; }
    // Worker threads still running, abandoned ones included (all gateways of the process),
    // and of them those abandoned on a request that did not answer in time.
    static int runningWorkers();
    static int abandonedWorkers();

private:
    friend class gateway::Worker;
    enum class Priority
    {
        Cancel,
        Write,
        Read
    };
    using Work = gateway::Work;
    void submit(Priority priority, Work work, std::function<void(const QString &error)> done,
                QObject *context, int timeoutMs = 0,
                QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever),
                std::optional<std::pair<QString, QStringList>> connection = std::nullopt);
    void dispatch();
    void deliver(const std::shared_ptr<gateway::Request> &r, const QString &error);
    QString timeoutText() const;
    void finished(quint64 requestId, const QString &error, bool connected);
    void workerConnected(gateway::Worker *worker, const gateway::Kill &connection);
    void timedOut();
    void startWorker();
    void retireWorker(bool abandoned);
    void abandonWorker();
    void registrationAttempt(std::shared_ptr<RegistrationRun> run);

    QString m_alias;
    QStringList m_params;
    bool m_connected = false;
    Bounds m_bounds;
    quint64 m_nextId = 1;
    int m_registrationAttempts = 0;
    std::deque<std::shared_ptr<gateway::Request>> m_waiting;
    std::shared_ptr<gateway::Request> m_inFlight;
    QTimer *m_timer;
    std::shared_ptr<gateway::Link> m_link;
    gateway::Worker *m_worker = nullptr; // the worker of the current connection, or none
    QThread *m_thread = nullptr;
    std::optional<gateway::Kill> m_workerConnection; // how to cancel the worker's work
    QList<gateway::Kill> m_toCancel; // connections abandoned while the server ran their work
};
