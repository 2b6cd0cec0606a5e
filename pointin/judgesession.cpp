#include "pointin/judgesession.h"

#include "journal/markjournal.h"

#include <QTimer>

using namespace Qt::StringLiterals;
using gateway::Registration;

namespace {

const QString s_missingPoints =
    u"＊＊＊ ポイントの入っていない部分があります。 ＊＊＊  確認してください。"_s;
const QString s_competitorChanged = u"選手が変わったため、登録できませんでした。"_s;
const QString s_notRegistered =
    u"登録できませんでした。データベースが立ち上がっているか確認して、もう一度確定してください。"_s;

journal::Outcome journalOutcome(Registration outcome)
{
    switch (outcome) {
    case Registration::Registered:
        return journal::Outcome::Registered;
    case Registration::CompetitorChanged:
        return journal::Outcome::CompetitorChanged;
    case Registration::Failed:
        return journal::Outcome::Failed;
    case Registration::Unknown:
    case Registration::Unverifiable:
        break;
    }
    return journal::Outcome::Unknown;
}

} // namespace

JudgeSession::JudgeSession(QObject *parent)
    : QObject(parent), m_clock([] { return QDateTime::currentDateTime(); })
{
}

JudgeSession::~JudgeSession() = default;

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

// --- following the run ---------------------------------------------------------------------

void JudgeSession::begin()
{
    ++m_showing;
    m_pollInFlight = false;
    m_ending = false;
    m_endRequested = false;
    m_pollFailureTold = false;
    // The first check of every showing loads the current competitor, whatever was shown.
    m_competitor.reset();
    check(true);
    // The not-ready notice stands until a poll finds the run going.
    setOperatorReady(false);
}

void JudgeSession::finish()
{
    ++m_showing; // answers still on their way belong to the showing that is over
    m_pollInFlight = false;
    m_ending = false;
    m_endRequested = false;
}

void JudgeSession::tick()
{
    if (!m_pollInFlight)
        check(false);
}

void JudgeSession::check(bool checkOnly)
{
    if (!m_requests)
        return;
    m_pollInFlight = true;
    std::optional<gateway::Shown> shown;
    if (m_competitor)
        shown = gateway::Shown{m_competitor->zek, m_competitor->round};
    m_requests->poll(m_seat, shown, checkOnly, this,
                     [this, showing = m_showing, checkOnly](const auto &answer) {
                         if (showing != m_showing)
                             return; // asked before the window was closed
                         m_pollInFlight = false;
                         pollAnswered(answer, checkOnly);
                     });
}

void JudgeSession::pollAnswered(const gateway::Answer<gateway::PollResult> &answer, bool fromShow)
{
    using State = gateway::PollResult::State;
    // A row the check cannot read is no outage: the connection answered.
    answered(answer.ok() || m_requests->connected());
    if (!answer.ok()) {
        // The server gone, or a row the check cannot read (a bib that is no number, a missing
        // column or table): the competitor, the judge's entry and the seat stay, the judge is
        // told once and the next good poll loads the competitor.
        if (!std::exchange(m_pollFailureTold, true))
            Q_EMIT pollFailed(answer.error);
        return;
    }
    m_pollFailureTold = false;
    const gateway::PollResult &result = *answer.value;
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

void JudgeSession::sameCompetitor(const gateway::Competitor &read)
{
    if (!m_competitor)
        return; // the table's bib is empty: nothing to show
    if (read.hon == u"X") {
        setOperatorReady(false);
        return;
    }
    if (m_competitor->round == u"X" && read.hon != u"X") {
        m_competitor->round = read.hon;
        Q_EMIT roundChanged();
    }
}

void JudgeSession::load(const gateway::PollResult &result)
{
    const gateway::Competitor &c = result.competitor;
    m_competitor = Competitor{c.zek, c.bib, c.hon, c.name, c.team, c.tstno, result.reference};
    setNotice(Notice::None);
    setAsking(false);

    m_entry.clearAll();
    for (int row = 0; row < EntryModel::RowCount; ++row) {
        // The stored deductions without their dots: "0.5" -> "05"; a stored 1.0 matches
        // nothing, and no caption is empty. A row showing one holds it as its value.
        const QString stored = QString(c.stored[row]).remove(u'.');
        for (int i = 0; !stored.isEmpty() && i < EntryModel::ColumnCount[row]; ++i) {
            if (stored == EntryModel::caption(i).remove(u'.'))
                m_entry.showStored(row, i);
        }
        Q_EMIT entryChanged(row);
    }
    Q_EMIT competitorLoaded();

    if (c.registered()) {
        setNotice(Notice::AlreadyRegistered);
        // Chosen through the focus, as the judge would: the marks registered in race.
        for (int row = 0; result.registeredMarks && row < EntryModel::RowCount; ++row) {
            const int column = EntryModel::columnOf(row, (*result.registeredMarks)[row]);
            if (column < 0)
                continue;
            choose(row, column);
            Q_EMIT focusValue(row, column);
        }
    }
    // Round X: the operator is not ready, and the round on display stays.
    setOperatorReady(c.hon != u"X");
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

void JudgeSession::setAsking(bool asking)
{
    if (m_asking == asking)
        return;
    m_asking = asking;
    Q_EMIT questionChanged();
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

// --- the entry -----------------------------------------------------------------------------

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
    if (m_ending || !m_requests)
        return;
    if (m_registering) {
        // Ends once the outcome is in: the registering notice says why it waits.
        m_endRequested = true;
        return;
    }
    m_ending = true;
    // The window closes once the seat is free; a failure leaves it open and polling.
    m_requests->releaseSeat(m_seat, this, [this, showing = m_showing](const auto &answer) {
        m_ending = false;
        if (showing != m_showing)
            return;
        if (!answer.ok()) {
            Q_EMIT pollFailed(answer.error);
            return;
        }
        setAsking(false);
        m_competitor.reset();
        Q_EMIT closing();
    });
}

// --- confirming and registering ------------------------------------------------------------

void JudgeSession::confirm()
{
    if (m_registering)
        return; // one registration at a time: its outcome comes first
    if (m_entry.complete())
        setAsking(true);
    else
        Q_EMIT told(s_missingPoints);
}

void JudgeSession::answerNo()
{
    setAsking(false);
}

void JudgeSession::answerYes()
{
    if (!m_entry.complete() || m_registering || !m_requests || !m_competitor) {
        setAsking(false);
        return;
    }
    // What the rows show is what is written; the mark is computed again, not read from its
    // field.
    const Sent sent{*m_competitor,
                    {m_entry.valueText(EntryModel::Flight), m_entry.valueText(EntryModel::Landing),
                     m_entry.valueText(EntryModel::Outrun), m_entry.markText()}};
    // Marks confirmed again for the competitor replace those whose outcome was not known.
    if (m_unresolved && onDisplay(m_unresolved->sent))
        m_unresolved.reset();
    m_registering = true;
    const int registration = ++m_registrations;
    m_requests->registerMarks(
        m_seat, {sent.competitor.zek, sent.competitor.round}, sent.marks, this,
        [this, sent](const gateway::RegistrationOutcome &outcome) { registered(outcome, sent); });
    // An outcome that comes at once replaces the question itself: only one that takes longer
    // is announced, and nothing is drawn meanwhile that would hold the outcome up.
    // The notice is the competitor's it was for: one loaded meanwhile keeps its own.
    QTimer::singleShot(registeringNoticeDelayMs, this, [this, registration, sent] {
        if (!m_registering || registration != m_registrations)
            return;
        if (onDisplay(sent)) {
            setAsking(false);
            setNotice(Notice::Registering);
        }
        m_health.registering = true;
        Q_EMIT healthChanged();
    });
}

void JudgeSession::registered(const gateway::RegistrationOutcome &outcome, const Sent &sent)
{
    record(outcome.outcome, sent, [this, outcome, sent, showing = m_showing] {
        m_registering = false;
        m_health.registering = false;
        setAsking(false);
        // A failure the server answered with (a row another program holds) is no outage.
        answered(outcome.outcome == Registration::Failed
                     ? outcome.serverAnswered
                     : outcome.outcome != Registration::Unknown);
        if (outcome.outcome == Registration::Unknown && outcome.unresolved)
            m_unresolved = Pending{outcome.unresolved, sent};
        if (showing == m_showing)
            show(outcome.outcome, sent);
        if (std::exchange(m_endRequested, false))
            end();
    });
}

// The journal holds the outcome before the window shows it; a journal that cannot be written
// never stops the registration, and the judge is told once an outage, after the outcome: a
// line on the disk ends the outage.
void JudgeSession::record(Registration outcome, const Sent &sent, std::function<void()> then)
{
    if (!m_journal) {
        then();
        return;
    }
    journal::Entry entry;
    entry.time = m_clock();
    entry.seat = m_seat;
    entry.bib = sent.competitor.zek;
    entry.round = sent.competitor.round;
    entry.name = sent.competitor.name;
    entry.flight = sent.marks.flight;
    entry.landing = sent.marks.landing;
    entry.outrun = sent.marks.outrun;
    entry.mark = sent.marks.mark;
    entry.outcome = journalOutcome(outcome);
    m_journal->append(entry, this, [this, then](const journal::Writer::Written &written) {
        const bool tell = !written.ok && !m_journalFailureTold;
        m_journalFailureTold = !written.ok;
        then();
        if (tell)
            Q_EMIT told(u"採点記録を保存できません（"_s + written.error +
                        u"）。登録はこのまま続けられます。"_s);
    });
}

bool JudgeSession::onDisplay(const Sent &sent) const
{
    return m_competitor && m_competitor->zek == sent.competitor.zek &&
           m_competitor->round == sent.competitor.round;
}

// The notice belongs to whoever is shown: an outcome for a competitor no longer on display
// leaves it alone and names the bib it was for.
void JudgeSession::show(Registration outcome, const Sent &sent)
{
    const bool shown = onDisplay(sent);
    const QString bib = sent.competitor.bib;
    switch (outcome) {
    case Registration::Registered:
        if (shown)
            setNotice(Notice::Registered);
        return;
    case Registration::Unknown:
        if (shown)
            setNotice(Notice::Checking);
        return;
    case Registration::CompetitorChanged:
        if (shown)
            setNotice(Notice::None);
        Q_EMIT told(s_competitorChanged);
        return;
    case Registration::Failed:
        if (shown)
            setNotice(Notice::None);
        // Never a banner for marks that are not in the table; confirming again is asked only
        // while the competitor is still the one on display.
        Q_EMIT told(shown ? s_notRegistered
                          : u"ゼッケン "_s + bib + u" の登録ができませんでした。"_s);
        return;
    case Registration::Unverifiable:
        if (shown)
            setNotice(Notice::None);
        Q_EMIT told(u"ゼッケン "_s + bib + u" の登録を確認できませんでした。"_s);
        return;
    }
}

// An outcome that was not known is asked after a poll that reached the server.
void JudgeSession::resolvePending()
{
    if (!m_unresolved || m_resolving || !m_requests)
        return;
    m_resolving = true;
    const Pending pending = *m_unresolved;
    m_requests->resolve(pending.unresolved, this,
                        [this, pending](const gateway::RegistrationOutcome &outcome) {
                            m_resolving = false;
                            if (!m_unresolved || m_unresolved->unresolved != pending.unresolved)
                                return; // confirmed again meanwhile
                            if (outcome.outcome == Registration::Unknown)
                                return; // the next poll that reaches the server asks again
                            m_unresolved.reset();
                            record(outcome.outcome, pending.sent,
                                   [this, outcome, sent = pending.sent, showing = m_showing] {
                                       if (showing == m_showing)
                                           show(outcome.outcome, sent);
                                   });
                        });
}
