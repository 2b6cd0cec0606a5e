#pragma once

#include "db/competitiongateway.h"
#include "pointin/entrymodel.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

namespace journal {
class Writer;
}

// What the judge and the competition are doing now, without a widget: the competitor on
// display (as read: bib and round), the judge's entry, at most one poll and one registration
// on their way, the notice, and the connection's health. It asks the competition through the
// gateway, records every registration outcome in the journal before it is shown, and tells
// the window what changed; the window draws it and passes the judge's actions in.
class JudgeSession : public QObject
{
    Q_OBJECT
public:
    using Row = EntryModel::Row;

    // The competitor on display. The round is the last one read that is a round ("X", the
    // operator not ready, is none).
    struct Competitor
    {
        QString zek;   // the bib as read
        QString bib;   // as shown: at least three digits
        QString round; // as read
        QString name, team, tstno;
        QList<std::pair<QString, QString>> reference; // judgep's bound columns
    };

    // What the notice over the confirm button says.
    enum class Notice
    {
        None,
        Registering,       // はい waits for its outcome
        Registered,        // the marks are in the judge's table
        AlreadyRegistered, // loaded with the marks registered before
        Checking           // the commit was sent and its answer never came
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
    // The seat is claimed: the window's poll timer runs from now on.
    void startPolling();
    // The clock of the health line; tests move it.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    const std::optional<Competitor> &competitor() const { return m_competitor; }
    const EntryModel &entry() const { return m_entry; }
    Notice notice() const { return m_notice; }
    bool operatorReady() const { return m_operatorReady; }
    bool asking() const { return m_asking; } // the confirmation question is up
    bool pollInFlight() const { return m_pollInFlight; }
    bool registering() const { return m_registering; }
    bool ending() const { return m_ending || m_endRequested; }
    const Health &health() const { return m_health; }
    bool unresolved() const { return m_unresolved.has_value(); }
    // The last statements run on the judge's table and on judgep, for the diagnostic display.
    QString judgeStatement() const { return m_judgeStatement; }
    QString referenceStatement() const { return m_referenceStatement; }

    // The window is shown: nothing is on display, and a check loads the competitor up now.
    void begin();
    // The window is gone (End, or the program closes): answers of this showing are dropped.
    void finish();
    // The poll timer; nothing while a poll is still on its way.
    void tick();

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
    void pollingStarted();
    void competitorLoaded(); // draw the competitor; the focus goes to Start
    void roundChanged();     // the same competitor in a round read after "X"
    void entryChanged(int row);
    void noticeChanged();
    void operatorReadyChanged();
    void questionChanged();
    void healthChanged();
    // The value's button takes the focus, which chooses it (registered marks, Start).
    void focusValue(int row, int column);
    void focusStart(); // the competitor is loaded right after showing
    // A poll that failed, told once while the failure lasts (the default error report); and
    // other texts the judge must read.
    void pollFailed(const QString &text);
    void told(const QString &text);
    void closing(); // the seat is released: the window closes

private:
    // What はい sent: the competitor on display then, and the marks.
    struct Sent
    {
        Competitor competitor;
        gateway::Marks marks;
    };
    struct Pending
    {
        std::shared_ptr<gateway::Unresolved> unresolved;
        Sent sent;
    };

    void check(bool checkOnly);
    void pollAnswered(const gateway::Answer<gateway::PollResult> &answer, bool fromShow);
    void sameCompetitor(const gateway::Competitor &read);
    void load(const gateway::PollResult &result);
    void setNotice(Notice notice);
    void setOperatorReady(bool ready);
    void setAsking(bool asking);
    void answered(bool good);
    void registered(const gateway::RegistrationOutcome &outcome, const Sent &sent);
    void record(gateway::Registration outcome, const Sent &sent, std::function<void()> then);
    void show(gateway::Registration outcome, const Sent &sent);
    void resolvePending();
    bool onDisplay(const Sent &sent) const;

    JudgeRequests *m_requests = nullptr;
    journal::Writer *m_journal = nullptr;
    QString m_seat;
    std::function<QDateTime()> m_clock;

    std::optional<Competitor> m_competitor;
    EntryModel m_entry;
    Notice m_notice = Notice::None;
    bool m_operatorReady = false;
    bool m_asking = false;
    Health m_health;

    int m_showing = 0;           // answers of an earlier showing are dropped
    bool m_pollInFlight = false; // at most one poll at a time
    bool m_pollFailureTold = false;
    bool m_registering = false;  // はい waits for its outcome
    int m_registrations = 0;     // はい pressed so far
    bool m_ending = false;       // End waits for the seat's release
    bool m_endRequested = false; // End pressed while はい waited
    bool m_resolving = false;
    bool m_journalFailureTold = false;   // until a line is on the disk again
    std::optional<Pending> m_unresolved; // a registration whose outcome is not known yet
    QString m_judgeStatement, m_referenceStatement;
};
