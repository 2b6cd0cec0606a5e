#include "pointin/judgesession.h"

#include "journal/markjournal.h"
#include "pointin/stationtexts.h"

#include <QTimer>

using namespace Qt::StringLiterals;
using stationtexts::Text;

namespace {

journal::Entry entryOf(const QString &seat, const QDateTime &time, const Competitor &competitor,
                       const Marks &marks, Outcome outcome)
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

// --- following the run -----------------------------------------------------------------------

void JudgeSession::begin()
{
    ++m_showing;
    setPoll(Poll::Idle);
    setEnding(Ending::No);
    m_pollFailureTold = false;
    // The first check of every claim loads the current competitor, whatever was shown.
    m_competitor.reset();
    check(true);
    // The not-ready notice stands until a poll finds the run going.
    setOperatorReady(false);
}

void JudgeSession::close()
{
    finish();
    Q_EMIT closing();
}

void JudgeSession::releaseFailed(const QString &error)
{
    setEnding(Ending::No);
    Q_EMIT pollFailed(error);
}

void JudgeSession::finish()
{
    ++m_showing; // replies still on their way belong to the claim that is over
    setPoll(Poll::Idle);
    setEnding(Ending::No);
    hideQuestion();
    m_competitor.reset();
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
                return; // asked before the seat was released
            setPoll(Poll::Idle);
            pollAnswered(reply, checkOnly);
        }));
}

void JudgeSession::pollAnswered(const Reply<gateway::PollResult> &reply, bool fromClaim)
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
            Q_EMIT pollFailed(stationtexts::tableFault(*result.fault));
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
            // Right after the claim the focus is on Start, whatever the load chose through it.
            if (fromClaim)
                Q_EMIT focusStart();
        } else {
            sameCompetitor(result.competitor);
        }
        // The notice stays from the claim until a poll finds the run going.
        if (fromClaim)
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
    }
    // The marks registered in race are chosen, as the judge would choose them; the focus
    // follows them to the last one.
    std::optional<std::pair<int, int>> focus;
    for (int row = 0;
         result.registeredBefore && result.registeredMarks && row < EntryModel::RowCount; ++row) {
        const int column =
            EntryModel::columnOf(row, withoutTrailingBlanks((*result.registeredMarks)[row]));
        if (column < 0)
            continue;
        m_entry.choose(row, column);
        focus = {row, column};
    }
    for (int row = 0; row < EntryModel::RowCount; ++row)
        Q_EMIT entryChanged(row);
    Q_EMIT competitorLoaded();
    if (result.registeredBefore)
        setNotice(Notice::AlreadyRegistered);
    if (focus)
        Q_EMIT focusValue(focus->first, focus->second);
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
    // No row shows a choice now, so none holds a value: the mark shows what would be written.
    clearEntry();
    Q_EMIT focusValue(EntryModel::Flight, 0);
    setNotice(Notice::None);
}

void JudgeSession::end()
{
    if (m_ending != Ending::No)
        return;
    if (registering()) {
        // Ends once the outcome is in: the registering notice says why it waits.
        setEnding(Ending::AfterRegistration);
        return;
    }
    // Nothing is registered from now on: an outcome would come after the window closed.
    setEnding(Ending::Releasing);
    Q_EMIT releaseWanted();
}

// --- confirming and registering --------------------------------------------------------------

void JudgeSession::confirm()
{
    if (registering() || m_ending != Ending::No)
        return; // one registration at a time, and none once End was pressed
    if (m_entry.complete())
        setRegistration(Registration::Asking);
    else
        Q_EMIT told(stationtexts::text(Text::MissingPoints));
}

void JudgeSession::answerNo()
{
    hideQuestion();
}

void JudgeSession::answerYes()
{
    if (m_ending != Ending::No)
        return; // the window closes once the seat is free: no outcome could be shown
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
    m_unknowns.removeIf([&](const Pending &p) { return onDisplay(p.sent); });
    // The question stays until the outcome replaces it, or the registering notice does.
    setRegistration(Registration::Registering);
    const int registration = ++m_registrations;
    m_requests->registerMarks(
        m_seat, sent.competitor, sent.marks,
        Then<Outcome>(this, [this, sent, showing = m_showing](const Reply<Outcome> &reply) {
            record({outcomeOf(reply), sent, showing, true, reply.answered()});
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

// The journal holds the outcome before the window shows it; a journal that cannot be written
// never stops the registration, and the judge is told once an outage, after the outcome: a
// line on the disk ends the outage.
void JudgeSession::record(const Told &told)
{
    const journal::Entry entry =
        entryOf(m_seat, m_clock(), told.sent.competitor, told.sent.marks, told.outcome);
    if (!m_journal) {
        recorded(told);
        return;
    }
    m_journal->append(entry, this, [this, told](const Reply<Done> &written) {
        const bool tell = !written.ok() && !m_journalFailureTold;
        m_journalFailureTold = !written.ok();
        recorded(told);
        if (tell)
            Q_EMIT this->told(stationtexts::text(Text::JournalFailed).arg(written.error()));
    });
}

void JudgeSession::recorded(const Told &told)
{
    if (told.ofRegistration) {
        m_health.registering = false;
        setRegistration(Registration::Idle);
        // A failure the server answered with (a row another program holds) is no outage.
        answered(told.answered);
        if (told.outcome == Outcome::Unknown)
            m_unknowns.append({told.sent, Unknown::Checking});
    }
    if (told.showing == m_showing)
        show(told.outcome, told.sent);
    if (told.ofRegistration && m_ending == Ending::AfterRegistration) {
        setEnding(Ending::No);
        end();
    }
}

bool JudgeSession::onDisplay(const Sent &sent) const
{
    return m_competitor && ::sameCompetitor(*m_competitor, sent.competitor);
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
        Q_EMIT told(stationtexts::text(Text::CompetitorChanged));
        return;
    case Outcome::Failed:
        if (shown)
            setNotice(Notice::None);
        // Never a banner for marks that are not in the table; confirming again is asked only
        // while the competitor is still the one on display.
        Q_EMIT told(shown ? stationtexts::text(Text::NotRegistered)
                          : stationtexts::text(Text::NotRegisteredFor).arg(bib));
        return;
    case Outcome::Unverifiable:
        if (shown)
            setNotice(Notice::None);
        Q_EMIT told(stationtexts::text(Text::NotVerifiedFor).arg(bib));
        return;
    }
}

// Outcomes that were not known are asked after a poll that reached the server, each once at a
// time.
void JudgeSession::resolvePending()
{
    if (!m_requests)
        return;
    for (Pending &pending : m_unknowns) {
        if (pending.state != Unknown::Checking)
            continue;
        pending.state = Unknown::Resolving;
        const Sent sent = pending.sent;
        m_requests->resolve(m_seat, sent.competitor, sent.marks,
                            Then<Outcome>(this, [this, sent](const Reply<Outcome> &reply) {
                                resolved(sent, reply);
                            }));
    }
}

JudgeSession::Pending *JudgeSession::pendingFor(const Sent &sent)
{
    for (Pending &p : m_unknowns) {
        if (p.sent.marks == sent.marks && ::sameCompetitor(p.sent.competitor, sent.competitor))
            return &p;
    }
    return nullptr;
}

void JudgeSession::resolved(const Sent &sent, const Reply<Outcome> &reply)
{
    Pending *pending = pendingFor(sent);
    if (!pending || pending->state != Unknown::Resolving)
        return; // confirmed again meanwhile
    if (!reply.ok()) {
        pending->state = Unknown::Checking; // the next poll that reaches the server asks again
        return;
    }
    m_unknowns.removeIf([&](const Pending &p) { return &p == pending; });
    record({reply.value(), sent, m_showing, false, true});
}
