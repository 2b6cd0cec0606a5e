#include "pointin/judgesession.h"

#include "journal/markjournal.h"
#include "pointin/judgetexts.h"

#include <QTimer>

using namespace Qt::StringLiterals;
using gateway::Landing;

namespace {

journal::Entry entryOf(const QString &seat, const QDateTime &time, const Competitor &competitor,
                       const Marks &marks, journal::Outcome outcome)
{
    journal::Entry e;
    e.time = time;
    e.seat = seat;
    // As the console means them: the blanks of a CHAR column are none of the bib or round.
    e.bib = withoutTrailingBlanks(competitor.bibAsRead);
    e.round = competitor.round.text();
    e.name = competitor.name;
    e.flight = marks.flight;
    e.landing = marks.landing;
    e.outrun = marks.outrun;
    e.mark = marks.mark;
    e.outcome = outcome;
    return e;
}

} // namespace

JudgeSession::JudgeSession(QObject *parent)
    : QObject(parent), m_clock([] { return QDateTime::currentDateTime(); })
{
}

JudgeSession::~JudgeSession() = default;

// --- the states: each changes here only ------------------------------------------------------

void JudgeSession::setPoll(Poll poll)
{
    m_poll = poll;
}

void JudgeSession::setRegistration(Registration registration, bool announced)
{
    const bool wasAsking = asking();
    m_registration = registration;
    m_announced = registration == Registration::Registering && announced;
    if (wasAsking != asking())
        Q_EMIT questionChanged();
}

// The question goes; a registration on its way goes on.
void JudgeSession::hideQuestion()
{
    if (m_registration == Registration::Asking)
        setRegistration(Registration::Idle);
    else if (m_registration == Registration::Registering)
        setRegistration(Registration::Registering, true);
}

void JudgeSession::setUnknown(Unknown unknown)
{
    m_unknown = unknown;
    if (unknown == Unknown::None)
        m_pending.reset();
}

void JudgeSession::setEnding(Ending ending)
{
    m_ending = ending;
}

void JudgeSession::setOperatorReady(bool ready)
{
    if (m_operatorReady == ready)
        return;
    m_operatorReady = ready;
    Q_EMIT operatorReadyChanged();
}

void JudgeSession::setNotice(Notice notice)
{
    if (m_notice == notice)
        return;
    m_notice = notice;
    Q_EMIT noticeChanged();
}

void JudgeSession::answered(bool good)
{
    const QDateTime now = m_clock();
    if (good) {
        m_health.lastGoodAnswer = now;
        m_health.failingSince = QDateTime();
    } else if (!m_health.failingSince.isValid()) {
        m_health.failingSince = now;
    }
    Q_EMIT healthChanged();
}

void JudgeSession::setSeat(const QString &letter)
{
    if (letter == m_seat)
        return;
    m_seat = letter;
    Q_EMIT seatChanged();
}

void JudgeSession::startPolling()
{
    Q_EMIT pollingStarted();
}

// --- following the run -----------------------------------------------------------------------

void JudgeSession::begin()
{
    ++m_showing;
    setPoll(Poll::Idle);
    setEnding(Ending::No);
    m_pollFailureTold = false;
    // The first check of every showing loads the current competitor, whatever was shown.
    m_competitor.reset();
    check(true);
    // The not-ready notice stands until a poll finds the run going.
    setOperatorReady(false);
}

void JudgeSession::finish()
{
    ++m_showing; // replies still on their way belong to the showing that is over
    setPoll(Poll::Idle);
    setEnding(Ending::No);
}

void JudgeSession::tick()
{
    if (m_poll == Poll::Idle)
        check(false);
}

void JudgeSession::check(bool checkOnly)
{
    if (!m_requests)
        return;
    setPoll(Poll::Waiting);
    m_requests->poll(
        m_seat, m_competitor, checkOnly,
        Then<gateway::PollResult>(this, [this, showing = m_showing, checkOnly](const auto &reply) {
            if (showing != m_showing)
                return; // asked before the window was closed
            setPoll(Poll::Idle);
            pollAnswered(reply, checkOnly);
        }));
}

void JudgeSession::pollAnswered(const Reply<gateway::PollResult> &reply, bool fromShow)
{
    using State = gateway::PollResult::State;
    // A row the check cannot read is no outage: the server answered.
    answered(reply.answered());
    if (!reply.ok()) {
        // The server gone, or a row the check cannot read (a bib that is no number, a missing
        // column or table): the competitor, the judge's entry and the seat stay, the judge is
        // told once and the next good poll loads the competitor.
        if (!std::exchange(m_pollFailureTold, true))
            Q_EMIT pollFailed(reply.error());
        return;
    }
    const gateway::PollResult &result = reply.value();
    if (result.state == State::Unusable) {
        // A table the station cannot use is told once, like a failing poll.
        if (!std::exchange(m_pollFailureTold, true))
            Q_EMIT pollFailed(judgetexts::tableFault(*result.fault));
        return;
    }
    m_pollFailureTold = false;
    if (!result.judgeStatement.isEmpty())
        m_judgeStatement = result.judgeStatement;
    if (!result.referenceStatement.isEmpty())
        m_referenceStatement = result.referenceStatement;
    if (result.state == State::NotReady) {
        setOperatorReady(false);
    } else {
        setOperatorReady(true);
        if (result.state == State::NewCompetitor) {
            load(result);
            // Right after showing the focus is on Start, whatever the load chose through it.
            if (fromShow)
                Q_EMIT focusStart();
        } else {
            sameCompetitor(result.competitor);
        }
        // The notice stays from the showing until a poll finds the run going.
        if (fromShow)
            setOperatorReady(false);
    }
    resolvePending();
}

void JudgeSession::sameCompetitor(const Competitor &read)
{
    if (!m_competitor)
        return; // the table's bib is empty: nothing to show
    if (read.round.notReady()) {
        setOperatorReady(false);
        return;
    }
    if (m_competitor->round.notReady()) {
        m_competitor->round = read.round;
        Q_EMIT roundChanged();
    }
}

void JudgeSession::load(const gateway::PollResult &result)
{
    m_competitor = result.competitor;
    m_reference = result.reference;
    setNotice(Notice::None);
    hideQuestion();

    m_entry.clearAll();
    for (int row = 0; row < EntryModel::RowCount; ++row) {
        // The stored deductions without their dots: "0.5" -> "05"; a stored 1.0 matches
        // nothing, and no caption is empty. A row showing one holds it as its value.
        const QString stored = withoutTrailingBlanks(result.stored[row]).remove(u'.');
        for (int i = 0; !stored.isEmpty() && i < EntryModel::ColumnCount[row]; ++i) {
            if (stored == EntryModel::caption(i).remove(u'.'))
                m_entry.showStored(row, i);
        }
        Q_EMIT entryChanged(row);
    }
    Q_EMIT competitorLoaded();

    if (result.registeredBefore) {
        setNotice(Notice::AlreadyRegistered);
        // Chosen through the focus, as the judge would: the marks registered in race.
        for (int row = 0; result.registeredMarks && row < EntryModel::RowCount; ++row) {
            const int column =
                EntryModel::columnOf(row, withoutTrailingBlanks((*result.registeredMarks)[row]));
            if (column < 0)
                continue;
            choose(row, column);
            Q_EMIT focusValue(row, column);
        }
    }
    // Round X: the operator is not ready, and the round on display stays.
    setOperatorReady(!result.competitor.round.notReady());
}

// --- the entry -------------------------------------------------------------------------------

void JudgeSession::choose(int row, int column)
{
    m_entry.choose(row, column);
    Q_EMIT entryChanged(row);
}

void JudgeSession::growFlightZero()
{
    m_entry.growFlightZero();
    Q_EMIT entryChanged(EntryModel::Flight);
}

void JudgeSession::confirmRow(int row)
{
    m_entry.confirm(row);
    Q_EMIT entryChanged(row);
}

void JudgeSession::resetRow(int row)
{
    m_entry.clear(row);
    Q_EMIT entryChanged(row);
}

void JudgeSession::clearEntry()
{
    for (int row = 0; row < EntryModel::RowCount; ++row)
        resetRow(row);
}

void JudgeSession::start()
{
    Q_EMIT focusValue(EntryModel::Flight, 0);
    // No row shows a choice now, so none holds a value: the mark shows what would be written.
    clearEntry();
    setNotice(Notice::None);
}

void JudgeSession::end()
{
    if (m_ending != Ending::No || !m_requests)
        return;
    if (registering()) {
        // Ends once the outcome is in: the registering notice says why it waits.
        setEnding(Ending::AfterRegistration);
        return;
    }
    release();
}

// The window closes once the seat is free; a failure leaves it open and polling.
void JudgeSession::release()
{
    setEnding(Ending::Releasing);
    m_requests->releaseSeat(m_seat,
                            Then<Done>(this, [this, showing = m_showing](const auto &reply) {
                                setEnding(Ending::No);
                                if (showing != m_showing)
                                    return;
                                if (!reply.ok()) {
                                    Q_EMIT pollFailed(reply.error());
                                    return;
                                }
                                hideQuestion();
                                m_competitor.reset();
                                Q_EMIT closing();
                            }));
}

// --- confirming and registering --------------------------------------------------------------

void JudgeSession::confirm()
{
    if (registering())
        return; // one registration at a time: its outcome comes first
    if (m_entry.complete())
        setRegistration(Registration::Asking);
    else
        Q_EMIT told(judgetexts::missingPoints);
}

void JudgeSession::answerNo()
{
    hideQuestion();
}

void JudgeSession::answerYes()
{
    if (!m_entry.complete() || registering() || !m_requests || !m_competitor) {
        hideQuestion();
        return;
    }
    // What the rows show is what is written; the mark is computed again, not read from its
    // field.
    const Sent sent{*m_competitor,
                    {m_entry.valueText(EntryModel::Flight), m_entry.valueText(EntryModel::Landing),
                     m_entry.valueText(EntryModel::Outrun), m_entry.markText()}};
    // Marks confirmed again for the competitor replace those whose outcome was not known.
    if (m_pending && onDisplay(*m_pending))
        setUnknown(Unknown::None);
    // The question stays until the outcome replaces it, or the registering notice does.
    setRegistration(Registration::Registering);
    const int registration = ++m_registrations;
    m_requests->registerMarks(m_seat, sent.competitor, sent.marks,
                              Then<Landing>(this, [this, sent](const Reply<Landing> &reply) {
                                  registered(reply, sent);
                              }));
    // An outcome that comes at once replaces the question itself: only one that takes longer
    // is announced, and nothing is drawn meanwhile that would hold the outcome up. The notice
    // is the competitor's it was for: one loaded meanwhile keeps its own.
    QTimer::singleShot(registeringNoticeDelayMs, this, [this, registration, sent] {
        if (!registering() || registration != m_registrations)
            return;
        if (onDisplay(sent)) {
            setRegistration(Registration::Registering, true);
            setNotice(Notice::Registering);
        }
        m_health.registering = true;
        Q_EMIT healthChanged();
    });
}

void JudgeSession::registered(const Reply<Landing> &reply, const Sent &sent)
{
    Outcome outcome = Outcome::Failed;
    if (reply.ok()) {
        switch (reply.value()) {
        case Landing::Registered:
            outcome = Outcome::Registered;
            break;
        case Landing::CompetitorChanged:
            outcome = Outcome::CompetitorChanged;
            break;
        case Landing::NotThere:
            outcome = Outcome::Failed;
            break;
        case Landing::Unverifiable:
            outcome = Outcome::Unverifiable;
            break;
        }
    } else if (reply.failure() == Failure::UnknownOutcome) {
        outcome = Outcome::Unknown;
    }
    record(outcome, sent, [this, reply, outcome, sent, showing = m_showing] {
        m_health.registering = false;
        setRegistration(Registration::Idle);
        // A failure the server answered with (a row another program holds) is no outage.
        answered(reply.answered());
        if (outcome == Outcome::Unknown) {
            m_pending = sent;
            setUnknown(Unknown::Checking);
        }
        if (showing == m_showing)
            show(outcome, sent);
        if (m_ending == Ending::AfterRegistration) {
            setEnding(Ending::No);
            end();
        }
    });
}

// The journal holds the outcome before the window shows it; a journal that cannot be written
// never stops the registration, and the judge is told once an outage, after the outcome: a
// line on the disk ends the outage.
void JudgeSession::record(Outcome outcome, const Sent &sent, std::function<void()> then)
{
    if (!m_journal) {
        then();
        return;
    }
    static constexpr journal::Outcome lines[] = {
        journal::Outcome::Registered, journal::Outcome::CompetitorChanged, journal::Outcome::Failed,
        journal::Outcome::Unknown, journal::Outcome::Unknown};
    m_journal->append(entryOf(m_seat, m_clock(), sent.competitor, sent.marks, lines[int(outcome)]),
                      Then<Done>(this, [this, then](const Reply<Done> &written) {
                          const bool tell = !written.ok() && !m_journalFailureTold;
                          m_journalFailureTold = !written.ok();
                          then();
                          if (tell)
                              Q_EMIT told(judgetexts::journalFailed(written.error()));
                      }));
}

bool JudgeSession::onDisplay(const Sent &sent) const
{
    return m_competitor && sameText(m_competitor->bibAsRead, sent.competitor.bibAsRead) &&
           m_competitor->round == sent.competitor.round;
}

// The notice belongs to whoever is shown: an outcome for a competitor no longer on display
// leaves it alone and names the bib it was for.
void JudgeSession::show(Outcome outcome, const Sent &sent)
{
    const bool shown = onDisplay(sent);
    const QString bib = sent.competitor.bibShown;
    switch (outcome) {
    case Outcome::Registered:
        if (shown)
            setNotice(Notice::Registered);
        return;
    case Outcome::Unknown:
        if (shown)
            setNotice(Notice::Checking);
        return;
    case Outcome::CompetitorChanged:
        if (shown)
            setNotice(Notice::None);
        Q_EMIT told(judgetexts::competitorChanged);
        return;
    case Outcome::Failed:
        if (shown)
            setNotice(Notice::None);
        // Never a banner for marks that are not in the table; confirming again is asked only
        // while the competitor is still the one on display.
        Q_EMIT told(shown ? judgetexts::notRegistered : judgetexts::notRegisteredFor(bib));
        return;
    case Outcome::Unverifiable:
        if (shown)
            setNotice(Notice::None);
        Q_EMIT told(judgetexts::notVerifiedFor(bib));
        return;
    }
}

// An outcome that was not known is asked after a poll that reached the server.
void JudgeSession::resolvePending()
{
    if (m_unknown != Unknown::Checking || !m_requests)
        return;
    setUnknown(Unknown::Resolving);
    const Sent pending = *m_pending;
    m_requests->resolve(
        m_seat, pending.competitor, pending.marks,
        Then<Landing>(this, [this, pending](const Reply<Landing> &reply) {
            const bool same =
                m_pending && m_pending->marks == pending.marks &&
                sameText(m_pending->competitor.bibAsRead, pending.competitor.bibAsRead) &&
                m_pending->competitor.round == pending.competitor.round;
            if (m_unknown != Unknown::Resolving || !same)
                return; // confirmed again meanwhile
            if (!reply.ok()) {
                setUnknown(Unknown::Checking); // the next poll that reaches the server asks again
                return;
            }
            setUnknown(Unknown::None);
            const Outcome outcome = reply.value() == Landing::Registered     ? Outcome::Registered
                                    : reply.value() == Landing::Unverifiable ? Outcome::Unverifiable
                                                                             : Outcome::Failed;
            record(outcome, pending, [this, outcome, pending, showing = m_showing] {
                if (showing == m_showing)
                    show(outcome, pending);
            });
        }));
}
