#pragma once

#include "db/competitiongateway.h"
#include "pointin/entrymodel.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace journal {
class Writer;
}

// What the judge and the competition are doing now, without a widget: the competitor on
// display (as read: bib and round), the judge's entry, at most one poll and one registration
// on their way, the marks whose outcome is not known yet, the notice, and the connection's
// health. It asks the competition through the gateway, records every registration outcome in
// the journal before it is shown, and tells the window what changed; the window draws it and
// passes the judge's actions in. The station session starts it, runs its poll timer, and
// releases the seat when the judge ends.
class JudgeSession : public QObject
{
    Q_OBJECT
public:
    using Row = EntryModel::Row;

    // What the notice over the confirm button says.
    enum class Notice
    {
        None,
        Registering,       // はい waits for its outcome
        Registered,        // the marks are in the judge's table
        AlreadyRegistered, // loaded with the marks registered before
        Checking           // the commit was sent and its answer never came
    };

    enum class Poll
    {
        Idle,
        Waiting // at most one poll is on its way
    };
    enum class Registration
    {
        Idle,
        Asking,     // the confirmation question is up
        Registering // はい waits for its outcome
    };
    // Marks whose commit answer was lost, each until its outcome is found out.
    enum class Unknown
    {
        Checking, // found out after the next poll that reaches the server
        Resolving // being found out now
    };
    enum class Ending
    {
        No,
        AfterRegistration, // End pressed while はい waits: once its outcome is in
        Releasing          // the station releases the seat: nothing more is registered
    };

    struct Health
    {
        QDateTime lastGoodAnswer; // the database answered a poll or a registration
        QDateTime failingSince;   // no answer since then
        bool registering = false;
    };

    // はい's outcome replaces the question; the registering notice shows only for an outcome
    // that takes longer than this.
    static constexpr int registeringNoticeDelayMs = 100;

    explicit JudgeSession(QObject *parent = nullptr);
    ~JudgeSession() override;

    void setRequests(JudgeRequests *requests) { m_requests = requests; }
    // Where every registration outcome is recorded before it is shown.
    void setJournal(journal::Writer *journal) { m_journal = journal; }
    // The seat whose table the session works on (the window shows its letter).
    void setSeat(const QString &letter);
    QString seat() const { return m_seat; }
    // The clock of the health line; tests move it.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // The competitor on display. Its round is the last one read that is a round ("X", the
    // operator not ready, is none).
    const std::optional<Competitor> &competitor() const { return m_competitor; }
    const QList<std::pair<QString, QString>> &reference() const { return m_reference; }
    const EntryModel &entry() const { return m_entry; }
    Notice notice() const { return m_notice; }
    bool operatorReady() const { return m_operatorReady; }
    // The confirmation question is up: asked, or はい pressed and its outcome not yet in nor
    // announced.
    bool asking() const
    {
        return m_registration == Registration::Asking ||
               (m_registration == Registration::Registering && !m_announced);
    }
    bool pollInFlight() const { return m_poll == Poll::Waiting; }
    bool registering() const { return m_registration == Registration::Registering; }
    bool ending() const { return m_ending != Ending::No; }
    const Health &health() const { return m_health; }
    // Marks whose outcome is not known yet.
    int unresolved() const { return int(m_unknowns.size()); }
    // The last statements run on the judge's table and on judgep, for the diagnostic display.
    QString judgeStatement() const { return m_judgeStatement; }
    QString referenceStatement() const { return m_referenceStatement; }

    // The seat is claimed: nothing is on display, and a check loads the competitor up now.
    void begin();
    // The seat is released (End), or its release could not be proved: the window closes, and
    // answers of this claim are dropped.
    void close();
    // The release asked for by End failed: the window stays and polls, and the judge is told.
    void releaseFailed(const QString &error);
    // The program closes: answers of this claim are dropped.
    void finish();
    // The poll timer; nothing while a poll is still on its way.
    void tick();

    // For tests: the judging ends as when the seat is released, without writing it.
    void closeForTests() { close(); }

    // The judge's actions.
    void choose(int row, int column); // the value's button took the focus
    void growFlightZero();            // flight 0 clicked right after Start
    void confirmRow(int row);         // Enter moved on from the row
    void resetRow(int row);
    void clearEntry(); // a seat claim: every row without a choice
    void start();
    void end();
    void confirm(); // 確定
    void answerYes();
    void answerNo();

Q_SIGNALS:
    void seatChanged();
    void competitorLoaded(); // draw the competitor; the focus goes to Start
    void roundChanged();     // the same competitor in a round read after "X"
    void entryChanged(int row);
    void noticeChanged();
    void operatorReadyChanged();
    void questionChanged();
    void healthChanged();
    // The focus goes to the value's button, which the entry has chosen already (registered
    // marks, Start).
    void focusValue(int row, int column);
    void focusStart(); // the competitor is loaded right after the claim
    // A poll that failed, told once while the failure lasts (the default error report); and
    // other texts the judge must read.
    void pollFailed(const QString &text);
    void told(const QString &text);
    // End: the station releases the seat (once the registration on its way has its outcome).
    void releaseWanted();
    void closing(); // the seat is released (or its release unproven): the window closes

private:
    // What はい sent: the competitor on display then, and the marks.
    struct Sent
    {
        Competitor competitor;
        Marks marks;
    };
    struct Pending
    {
        Sent sent;
        Unknown state = Unknown::Checking;
    };
    // An outcome on its way to the journal, and what follows once it is there.
    struct Told
    {
        Outcome outcome;
        Sent sent;
        int showing;
        bool ofRegistration; // はい's own outcome, not one found out later
        bool answered;       // the server answered (no outage)
    };

    void check(bool checkOnly);
    void pollAnswered(const Reply<gateway::PollResult> &reply, bool fromClaim);
    void sameCompetitor(const Competitor &read);
    void load(const gateway::PollResult &result);
    void setPoll(Poll poll);
    void setRegistration(Registration registration, bool announced = false);
    void hideQuestion();
    void setEnding(Ending ending);
    void setNotice(Notice notice);
    void setOperatorReady(bool ready);
    void answered(bool good);
    void record(const Told &told);
    void recorded(const Told &told);
    void show(Outcome outcome, const Sent &sent);
    void resolvePending();
    void resolved(const Sent &sent, const Reply<Outcome> &reply);
    Pending *pendingFor(const Sent &sent);
    bool onDisplay(const Sent &sent) const;

    JudgeRequests *m_requests = nullptr;
    journal::Writer *m_journal = nullptr;
    QString m_seat;
    std::function<QDateTime()> m_clock;

    std::optional<Competitor> m_competitor;
    QList<std::pair<QString, QString>> m_reference; // judgep's bound columns
    EntryModel m_entry;
    Notice m_notice = Notice::None;
    bool m_operatorReady = false;
    Health m_health;

    int m_showing = 0; // replies of an earlier claim are dropped
    Poll m_poll = Poll::Idle;
    Registration m_registration = Registration::Idle;
    bool m_announced = false; // the registering notice replaced the question
    Ending m_ending = Ending::No;
    int m_registrations = 0;           // はい pressed so far
    QList<Pending> m_unknowns;         // marks whose outcome is not known yet
    bool m_pollFailureTold = false;    // until a poll answers again
    bool m_journalFailureTold = false; // until a line is on the disk again
    QString m_judgeStatement, m_referenceStatement;
};
