// The judge session against a competition the test plays itself: which competitor it shows,
// what it keeps of the judge's entry, what it sends, what it tells and what it records.
#include "journal/markjournal.h"
#include "pointin/judgesession.h"
#include "pointin/stationtexts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>

using namespace Qt::StringLiterals;
using Notice = JudgeSession::Notice;
using stationtexts::Text;

Q_DECLARE_METATYPE(Outcome)

namespace {

const QString competitorChanged = stationtexts::text(Text::CompetitorChanged);
const QString notRegistered = stationtexts::text(Text::NotRegistered);

// The judge's table as the operator's console writes it.
struct Row
{
    QString zek = u"007"_s;
    QString bib; // unused: the bib shown comes from zek
    QString hon = u"1"_s;
    QString tstno;
    QString name = u"Kasai Noriaki"_s;
    QString team = u"Tsuchiya"_s;
    QString sumi;
    std::array<QString, 3> stored;
};

// The competition as the operator's console keeps it, answering as the gateway does: through
// the event loop, or when the test lets an answer go.
class Competition : public QObject, public JudgeRequests
{
public:
    QString jikko = u"1"_s;
    Row row;
    std::optional<std::array<QString, 3>> raceMarks;
    QString pollError;       // polls fail with it while it is set
    bool isConnected = true; // a failure then is a refusal the server answered with
    bool holdRegistrations = false;

    struct Sent
    {
        Competitor competitor;
        Marks marks;
    };
    QList<Sent> sent;
    std::deque<Outcome> outcomes; // else as the table says
    std::deque<Outcome> resolutions;
    int resolves = 0;

    void poll(const QString &, const std::optional<Competitor> &shown, bool checkOnly,
              Then<gateway::PollResult> then) override
    {
        const Reply<gateway::PollResult> reply =
            pollError.isEmpty() ? read(shown, checkOnly) : failure<gateway::PollResult>(pollError);
        QTimer::singleShot(0, this, [then, reply] { then(reply); });
    }

    void registerMarks(const QString &, const Competitor &competitor, const Marks &marks,
                       Then<Outcome> then) override
    {
        sent << Sent{competitor, marks};
        m_registration = [this, competitor, then] {
            Outcome outcome = Outcome::CompetitorChanged;
            if (!outcomes.empty()) {
                outcome = outcomes.front();
                outcomes.pop_front();
            } else if (row.zek == competitor.bibAsRead && Round(row.hon) == competitor.round) {
                outcome = Outcome::Registered;
            }
            then(replyOf(outcome));
        };
        if (!holdRegistrations)
            QTimer::singleShot(0, this, [this] { answerRegistration(); });
    }

    void answerRegistration() { std::exchange(m_registration, {})(); }

    void resolve(const QString &, const Competitor &, const Marks &, Then<Outcome> then) override
    {
        ++resolves;
        Outcome outcome = Outcome::Unknown;
        if (!resolutions.empty()) {
            outcome = resolutions.front();
            resolutions.pop_front();
        }
        // Found out: marks that did not land are an answer too.
        const Reply<Outcome> reply =
            outcome == Outcome::Unknown ? replyOf(outcome) : Reply<Outcome>::success(outcome);
        QTimer::singleShot(0, this, [then, reply] { then(reply); });
    }

private:
    template<class T> Reply<T> failure(const QString &text) const
    {
        return Reply<T>::failure(isConnected ? Failure::Refused : Failure::Offline, text);
    }

    Reply<Outcome> replyOf(Outcome outcome) const
    {
        switch (outcome) {
        case Outcome::Failed:
            return failure<Outcome>(u"not written"_s);
        case Outcome::Unknown:
            return Reply<Outcome>::failure(Failure::UnknownOutcome, u"answer lost"_s);
        case Outcome::Registered:
        case Outcome::CompetitorChanged:
        case Outcome::Unverifiable:
            break;
        }
        return Reply<Outcome>::success(outcome);
    }

    Reply<gateway::PollResult> read(const std::optional<Competitor> &shown, bool checkOnly) const
    {
        using State = gateway::PollResult::State;
        gateway::PollResult result;
        if (!checkOnly && jikko == u"0")
            return Reply<gateway::PollResult>::success(result);
        Competitor &c = result.competitor;
        c.bibAsRead = row.zek;
        c.round = Round(row.hon);
        const bool same = shown ? sameCompetitor(*shown, row.zek, c.round) : row.zek.isEmpty();
        result.state = same ? State::Unchanged : State::NewCompetitor;
        if (same)
            return Reply<gateway::PollResult>::success(result);
        bool number = false;
        const int bib = row.zek.trimmed().toInt(&number);
        if (!number)
            return failure<gateway::PollResult>(
                u"'%1' is not a valid integer value"_s.arg(row.zek));
        c.bibShown = QString::asprintf("%.3d", bib);
        c.name = row.name;
        c.team = row.team;
        c.trialText = row.tstno;
        result.stored = row.stored;
        result.registeredBefore = row.sumi == u"T" && c.round.keptInRace();
        if (result.registeredBefore)
            result.registeredMarks = raceMarks;
        return Reply<gateway::PollResult>::success(result);
    }

    std::function<void()> m_registration;
};

} // namespace

class TestJudgeSession : public QObject
{
    Q_OBJECT

    std::unique_ptr<Competition> m_competition;
    std::unique_ptr<JudgeSession> m_session;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<journal::Writer> m_journal;
    QStringList m_told;
    QStringList m_failures;

    JudgeSession &session() { return *m_session; }
    Competition &competition() { return *m_competition; }

    // The answers on their way have come.
    bool settle()
    {
        return QTest::qWaitFor([this] {
            QCoreApplication::processEvents();
            return !session().pollInFlight() && !session().registering();
        });
    }

    bool tick()
    {
        session().tick();
        return settle();
    }

    void enter(int flight, int landing, int outrun)
    {
        session().start();
        session().choose(EntryModel::Flight, flight);
        session().choose(EntryModel::Landing, landing);
        session().choose(EntryModel::Outrun, outrun);
    }

    // Start, three values, 確定 and はい; the outcome.
    bool confirmAndAnswerYes(int flight, int landing, int outrun)
    {
        enter(flight, landing, outrun);
        session().confirm();
        if (!session().asking())
            return false;
        session().answerYes();
        return settle();
    }

    QList<journal::Entry> journalEntries() const
    {
        QFile file(m_journal->fileFor(QDate::currentDate()));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return journal::readAll(QString::fromUtf8(file.readAll())).entries;
    }

    // Shown with the run going and judge A's competitor loaded.
    void open()
    {
        QVERIFY(settle());
        session().begin();
        QVERIFY(settle());
        QVERIFY(tick());
        QVERIFY(session().competitor().has_value());
        QVERIFY(session().operatorReady());
    }

private Q_SLOTS:
    void init()
    {
        m_competition = std::make_unique<Competition>();
        m_session = std::make_unique<JudgeSession>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_journal = std::make_unique<journal::Writer>(m_dir->filePath(u"journal"_s));
        m_told.clear();
        m_failures.clear();
        session().setRequests(m_competition.get());
        session().setJournal(m_journal.get());
        session().setSeat(u"A"_s);
        connect(m_session.get(), &JudgeSession::told, this,
                [this](const QString &t) { m_told << t; });
        connect(m_session.get(), &JudgeSession::pollFailed, this,
                [this](const QString &t) { m_failures << t; });
    }

    void cleanup()
    {
        m_session.reset();
        m_journal.reset();
    }

    void showingLoadsTheCurrentCompetitor()
    {
        competition().row.tstno = u"T-3"_s;
        QSignalSpy loaded(m_session.get(), &JudgeSession::competitorLoaded);
        session().begin();
        QVERIFY(session().pollInFlight());
        QVERIFY(settle());
        QCOMPARE(loaded.size(), 1);
        const Competitor &c = *session().competitor();
        QCOMPARE((QStringList{c.bibAsRead, c.bibShown, c.round.asRead(), c.name, c.trialText}),
                 (QStringList{u"007"_s, u"007"_s, u"1"_s, u"Kasai Noriaki"_s, u"T-3"_s}));
        // The not-ready notice stands until a poll finds the run going.
        QVERIFY(!session().operatorReady());
        QVERIFY(tick());
        QVERIFY(session().operatorReady());
        QCOMPARE(loaded.size(), 1);
    }

    void operatorNotReadyFreezesTheDisplay()
    {
        open();
        session().choose(EntryModel::Flight, 3);
        competition().jikko = u"0"_s;
        competition().row.zek = u"008"_s;
        QVERIFY(tick());
        QVERIFY(!session().operatorReady());
        QCOMPARE(session().competitor()->bibAsRead, u"007"_s);
        QCOMPARE(session().entry().valueText(EntryModel::Flight), u"1.5"_s);
        competition().jikko = u"1"_s;
        QVERIFY(tick());
        QVERIFY(session().operatorReady());
        QCOMPARE(session().competitor()->bibAsRead, u"008"_s);
        QCOMPARE(session().entry().valueText(EntryModel::Flight), u"0"_s);
    }

    // A competitor is a bib as stored and a round; "X" (not ready) is no round.
    void aCompetitorIsABibAndARound_data()
    {
        QTest::addColumn<QString>("zek");
        QTest::addColumn<QString>("hon");
        QTest::addColumn<QString>("nextZek");
        QTest::addColumn<QString>("nextHon");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<QString>("round");
        QTest::addColumn<bool>("ready");
        QTest::newRow("same bib and round, another name: unchanged")
            << u"007"_s << u"1"_s << u"007"_s << u"1"_s << false << u"1"_s << true;
        QTest::newRow("the last jumper of round 1 opens round 2: loaded")
            << u"030"_s << u"1"_s << u"030"_s << u"2"_s << true << u"2"_s << true;
        QTest::newRow("round to X: kept, not ready")
            << u"007"_s << u"1"_s << u"007"_s << u"X"_s << false << u"1"_s << false;
        QTest::newRow("X to round 2: kept, round 2 from now on")
            << u"007"_s << u"X"_s << u"007"_s << u"2"_s << false << u"2"_s << true;
        QTest::newRow("bib stored as 7: kept on every poll")
            << u"7"_s << u"1"_s << u"7"_s << u"1"_s << false << u"1"_s << true;
        QTest::newRow("bib padded with blanks: kept")
            << u"007       "_s << u"1"_s << u"007       "_s << u"1"_s << false << u"1"_s << true;
        QTest::newRow("another bib: loaded")
            << u"007"_s << u"1"_s << u"008"_s << u"1"_s << true << u"1"_s << true;
    }
    void aCompetitorIsABibAndARound()
    {
        QFETCH(QString, zek);
        QFETCH(QString, hon);
        QFETCH(QString, nextZek);
        QFETCH(QString, nextHon);
        QFETCH(bool, loads);
        QFETCH(QString, round);
        QFETCH(bool, ready);
        competition().row.zek = zek;
        competition().row.hon = hon;
        session().begin();
        QVERIFY(settle());
        QCOMPARE(session().competitor()->bibShown, zek.trimmed().rightJustified(3, u'0'));
        session().choose(EntryModel::Landing, 4);
        competition().row.zek = nextZek;
        competition().row.hon = nextHon;
        competition().row.name = u"Someone Else"_s;
        for (int poll = 0; poll < 2; ++poll)
            QVERIFY(tick());
        QCOMPARE(session().entry().column(EntryModel::Landing), loads ? -1 : 4);
        QCOMPARE(session().competitor()->round.asRead(), round);
        QCOMPARE(session().competitor()->name, loads ? u"Someone Else"_s : u"Kasai Noriaki"_s);
        QCOMPARE(session().operatorReady(), ready);
        // What a registration names is the competitor as read now.
        session().choose(EntryModel::Flight, 1);
        session().choose(EntryModel::Landing, 1);
        session().choose(EntryModel::Outrun, 1);
        session().confirm();
        session().answerYes();
        QVERIFY(settle());
        QCOMPARE(competition().sent.last().competitor.bibAsRead, nextZek);
        QCOMPARE(competition().sent.last().competitor.round.asRead(), round);
    }

    void storedDeductionsAreShownAndCount_data()
    {
        QTest::addColumn<QString>("ap");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("lp");
        QTest::addColumn<int>("flight");
        QTest::addColumn<int>("landing");
        QTest::addColumn<int>("outrun");
        QTest::addColumn<QString>("mark");
        QTest::newRow("0.5, 2, 6.5") << u"0.5"_s << u"2"_s << u"6.5"_s << 1 << 4 << 13 << u"11.0"_s;
        QTest::newRow("1.0 matches no button")
            << u"1.0"_s << u"0"_s << u"0"_s << -1 << 0 << 0 << u"20.0"_s;
        QTest::newRow("0.50 and a blank in front match nothing")
            << u"0.50"_s << u" 1"_s << u"7"_s << -1 << -1 << 14 << u"13.0"_s;
        QTest::newRow("empty shows nothing")
            << QString() << QString() << QString() << -1 << -1 << -1 << u"20.0"_s;
    }
    void storedDeductionsAreShownAndCount()
    {
        QFETCH(QString, ap);
        QFETCH(QString, op);
        QFETCH(QString, lp);
        QFETCH(int, flight);
        QFETCH(int, landing);
        QFETCH(int, outrun);
        QFETCH(QString, mark);
        competition().row.stored = {ap, op, lp};
        open();
        const EntryModel &e = session().entry();
        QCOMPARE((QList<int>{e.column(0), e.column(1), e.column(2)}),
                 (QList<int>{flight, landing, outrun}));
        // What the rows show is what the value texts hold, and what the mark counts.
        QCOMPARE(e.valueText(EntryModel::Flight),
                 flight < 0 ? u"0"_s : EntryModel::caption(flight));
        QCOMPARE(e.markText(), mark);
    }

    // Chosen as the judge would choose them; the focus goes to the last one.
    void registeredCompetitorIsChosenThroughTheFocus()
    {
        competition().row.sumi = u"T"_s;
        competition().raceMarks = std::array<QString, 3>{u"2.5"_s, u"1"_s, u"3.5"_s};
        QSignalSpy focus(m_session.get(), &JudgeSession::focusValue);
        open();
        QCOMPARE(session().notice(), Notice::AlreadyRegistered);
        QCOMPARE(focus.size(), 1);
        QCOMPARE(focus.last(), (QVariantList{int(EntryModel::Outrun), 7}));
        QCOMPARE(session().entry().column(EntryModel::Flight), 5);
        QCOMPARE(session().entry().column(EntryModel::Landing), 2);
        QCOMPARE(session().entry().markText(), u"13.0"_s);
        // Start uncovers the confirm button for a new entry.
        session().start();
        QCOMPARE(session().notice(), Notice::None);
        QCOMPARE(session().entry().column(EntryModel::Outrun), -1);
    }

    void newCompetitorHidesTheQuestionAndTheNotice()
    {
        competition().row.sumi = u"T"_s;
        open();
        enter(1, 1, 1);
        session().confirm();
        QVERIFY(session().asking());
        competition().row.zek = u"008"_s;
        competition().row.sumi = u"t"_s; // only "T" is registered
        QVERIFY(tick());
        QVERIFY(!session().asking());
        QCOMPARE(session().notice(), Notice::None);
        QVERIFY(competition().sent.isEmpty());
    }

    // A row the check cannot read, or no answer: told once while it lasts; the competitor and
    // the entry stay; the next good poll loads.
    void failedPollsKeepTheEntry()
    {
        open();
        session().choose(EntryModel::Flight, 3);
        competition().row.zek = u"abc"_s;
        QVERIFY(tick());
        competition().pollError = u"The database did not answer within 3000 ms"_s;
        QVERIFY(tick());
        QVERIFY(tick());
        QCOMPARE(m_failures.size(), 1);
        QCOMPARE(session().competitor()->bibAsRead, u"007"_s);
        QCOMPARE(session().entry().valueText(EntryModel::Flight), u"1.5"_s);
        competition().pollError.clear();
        competition().row.zek = u"008"_s;
        QVERIFY(tick());
        QCOMPARE(session().competitor()->bibAsRead, u"008"_s);
        competition().pollError = u"gone again"_s;
        QVERIFY(tick());
        QCOMPARE(m_failures,
                 (QStringList{u"'abc' is not a valid integer value"_s, u"gone again"_s}));
    }

    void confirmAsksOnlyWhenEveryRowHasAValue()
    {
        open();
        session().start();
        session().choose(EntryModel::Flight, 1);
        session().choose(EntryModel::Landing, 1);
        session().confirm();
        QVERIFY(!session().asking());
        QCOMPARE(m_told.size(), 1);
        // A row emptied while the question is up: はい writes nothing.
        session().choose(EntryModel::Outrun, 1);
        session().confirm();
        QVERIFY(session().asking());
        session().resetRow(EntryModel::Landing);
        session().answerYes();
        QVERIFY(!session().asking());
        QVERIFY(!session().registering());
        QVERIFY(competition().sent.isEmpty());
    }

    void whatTheRowsShowWhenYesIsPressedIsSent()
    {
        open();
        enter(1, 1, 1);
        session().confirm();
        session().choose(EntryModel::Landing, 6); // changed while asking
        competition().holdRegistrations = true;
        session().answerYes();
        QVERIFY(session().registering());
        // The question stays until the outcome, unless that takes longer: then it is announced.
        QVERIFY(session().asking());
        QCOMPARE(session().notice(), Notice::None);
        QTRY_COMPARE(session().notice(), Notice::Registering);
        QVERIFY(!session().asking());
        QVERIFY(session().health().registering);
        competition().answerRegistration();
        QVERIFY(settle());
        QCOMPARE(session().notice(), Notice::Registered);
        QCOMPARE(competition().sent.size(), 1);
        const Marks &m = competition().sent[0].marks;
        QCOMPARE((QStringList{m.flight, m.landing, m.outrun, m.mark}),
                 (QStringList{u"0.5"_s, u"3"_s, u"0.5"_s, u"16.0"_s}));
    }

    // Each outcome: what the notice says, what the judge is told, what the journal records
    // (the bib and round without the blanks of a CHAR column).
    void outcomes_data()
    {
        QTest::addColumn<QString>("zek");
        QTest::addColumn<QString>("hon");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("notice");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("recorded");
        QTest::newRow("registered") << u"007"_s << u"1"_s << int(Outcome::Registered)
                                    << int(Notice::Registered) << QString() << u"registered"_s;
        QTest::newRow("competitor changed")
            << u"007"_s << u"1"_s << int(Outcome::CompetitorChanged) << int(Notice::None)
            << competitorChanged << u"competitor changed"_s;
        QTest::newRow("failed") << u"007"_s << u"1"_s << int(Outcome::Failed) << int(Notice::None)
                                << notRegistered << u"failed"_s;
        QTest::newRow("the commit's answer lost: checking")
            << u"007"_s << u"1"_s << int(Outcome::Unknown) << int(Notice::Checking) << QString()
            << u"unknown"_s;
        QTest::newRow("not to be found out")
            << u"007"_s << u"1"_s << int(Outcome::Unverifiable) << int(Notice::None)
            << u"ゼッケン 007 の登録を確認できませんでした。"_s << u"unknown"_s;
        QTest::newRow("registered from CHAR columns")
            << u"007  "_s << u"1 "_s << int(Outcome::Registered) << int(Notice::Registered)
            << QString() << u"registered"_s;
    }
    void outcomes()
    {
        QFETCH(QString, zek);
        QFETCH(QString, hon);
        QFETCH(int, outcome);
        QFETCH(int, notice);
        QFETCH(QString, told);
        QFETCH(QString, recorded);
        competition().row.zek = zek;
        competition().row.hon = hon;
        open();
        competition().outcomes.push_back(Outcome(outcome));
        QVERIFY(confirmAndAnswerYes(2, 3, 4));
        QCOMPARE(int(session().notice()), notice);
        QCOMPARE(m_told, told.isEmpty() ? QStringList() : QStringList{told});
        QTRY_COMPARE(journalEntries().size(), 1);
        const journal::Entry e = journalEntries().first();
        QCOMPARE((QStringList{e.seat, e.bib, e.round, e.name, e.flight, e.landing, e.outrun, e.mark,
                              journal::outcomeText(e.outcome)}),
                 (QStringList{u"A"_s, u"007"_s, u"1"_s, u"Kasai Noriaki"_s, u"1"_s, u"1.5"_s,
                              u"2"_s, u"15.5"_s, recorded}));
    }

    // The next competitor came up while the marks were on their way: the outcome names the bib
    // it was for and leaves the new competitor's notice and entry alone.
    void aLateFailureNamesTheBibItWasFor()
    {
        open();
        competition().holdRegistrations = true;
        enter(2, 3, 4);
        session().confirm();
        session().answerYes();
        competition().row = {u"008"_s, {}, u"1"_s, {}, u"Funaki"_s, {}, u"T"_s, {}};
        competition().raceMarks = std::array<QString, 3>{u"1"_s, u"1"_s, u"1"_s};
        session().tick();
        QTRY_COMPARE(session().competitor()->bibAsRead, u"008"_s);
        competition().outcomes.push_back(Outcome::Failed);
        competition().answerRegistration();
        QVERIFY(settle());
        QCOMPARE(m_told, QStringList{u"ゼッケン 007 の登録ができませんでした。"_s});
        QCOMPARE(session().notice(), Notice::AlreadyRegistered);
        QCOMPARE(session().entry().valueText(EntryModel::Flight), u"1"_s);
    }

    // The next competitor came up at once and the outcome is late: the registering notice was
    // for the competitor who went, so the new one keeps its own notice throughout.
    void theRegisteringNoticeBelongsToItsCompetitor_data()
    {
        QTest::addColumn<QString>("sumi");
        QTest::addColumn<int>("notice");
        QTest::newRow("registered before: 登録済み") << u"T"_s << int(Notice::AlreadyRegistered);
        QTest::newRow("not registered: no notice") << QString() << int(Notice::None);
    }
    void theRegisteringNoticeBelongsToItsCompetitor()
    {
        QFETCH(QString, sumi);
        QFETCH(int, notice);
        open();
        competition().holdRegistrations = true;
        enter(2, 3, 4);
        session().confirm();
        session().answerYes();
        competition().row.zek = u"008"_s;
        competition().row.sumi = sumi;
        session().tick();
        QVERIFY(QTest::qWaitFor([this] { return !session().pollInFlight(); }));
        QCOMPARE(session().competitor()->bibAsRead, u"008"_s);
        QTRY_VERIFY(session().health().registering); // the outcome is late: announced now
        QCOMPARE(int(session().notice()), notice);
        competition().answerRegistration();
        QVERIFY(settle());
        QCOMPARE(int(session().notice()), notice);
        QCOMPARE(m_told, QStringList{competitorChanged});
    }

    void endPressedWhileRegisteringEndsOnceTheOutcomeIsIn()
    {
        open();
        competition().holdRegistrations = true;
        QVERIFY(session().entry().markText() == u"20.0"_s);
        enter(2, 3, 4);
        session().confirm();
        session().answerYes();
        QSignalSpy release(m_session.get(), &JudgeSession::releaseWanted);
        session().end();
        QTest::qWait(10);
        QCOMPARE(release.size(), 0);
        QVERIFY(session().ending());
        competition().outcomes.push_back(Outcome::Failed);
        competition().answerRegistration();
        QTRY_COMPARE(release.size(), 1);
        QCOMPARE(m_told, QStringList{notRegistered}); // told before the window goes
    }

    void aFailedEndKeepsTheWindow()
    {
        open();
        QSignalSpy release(m_session.get(), &JudgeSession::releaseWanted);
        QSignalSpy closing(m_session.get(), &JudgeSession::closing);
        session().end();
        QCOMPARE(release.size(), 1);
        session().releaseFailed(u"lost"_s);
        QVERIFY(!session().ending());
        QCOMPARE(closing.size(), 0);
        QCOMPARE(m_failures, QStringList{u"lost"_s});
        session().end();
        QCOMPARE(release.size(), 2);
        session().close();
        QCOMPARE(closing.size(), 1);
        QVERIFY(!session().competitor());
    }

    // The commit's answer was lost: the next poll that reaches the server finds out, and the
    // journal gets a second line; so for every competitor whose answer was lost.
    void anUnknownOutcomeIsFoundOutAtTheNextGoodPoll_data()
    {
        QTest::addColumn<QStringList>("bibs"); // each registered once, its answer lost
        QTest::addColumn<QList<Outcome>>("recorded");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("one competitor")
            << QStringList{u"007"_s} << QList<Outcome>{Outcome::Unknown, Outcome::Registered}
            << QStringList();
        QTest::newRow("two competitors, each found out")
            << QStringList{u"007"_s, u"008"_s}
            << QList<Outcome>{Outcome::Unknown, Outcome::Unknown, Outcome::Registered,
                              Outcome::Failed}
            << QStringList{notRegistered}; // 008 is still shown: confirm again
    }
    void anUnknownOutcomeIsFoundOutAtTheNextGoodPoll()
    {
        QFETCH(QStringList, bibs);
        QFETCH(QList<Outcome>, recorded);
        QFETCH(QStringList, told);
        open();
        for (const QString &bib : bibs) {
            competition().row.zek = bib;
            QVERIFY(tick());
            competition().outcomes.push_back(Outcome::Unknown);
            QVERIFY(confirmAndAnswerYes(2, 3, 4));
            QCOMPARE(session().notice(), Notice::Checking);
        }
        QCOMPARE(session().unresolved(), int(bibs.size()));
        const int before = competition().resolves;
        competition().pollError = u"offline"_s;
        QVERIFY(tick());
        QCOMPARE(competition().resolves, before);
        competition().pollError.clear();
        QVERIFY(tick()); // asked, still not known
        QTRY_COMPARE(competition().resolves, before + int(bibs.size()));
        QCoreApplication::processEvents(); // their answers
        competition().resolutions = {Outcome::Registered, Outcome::Failed};
        QVERIFY(tick());
        QTRY_COMPARE(session().unresolved(), 0);
        QTRY_COMPARE(journalEntries().size(), recorded.size());
        QList<Outcome> lines;
        for (const journal::Entry &e : journalEntries())
            lines << e.outcome;
        QCOMPARE(lines, recorded);
        QCOMPARE(m_told, told);
    }

    // The outcome is told on the window the judge looks at: for the competitor on display also
    // when its round was read again after "X", and no registration starts once End was pressed,
    // as the window would close before its outcome.
    void theOutcomeIsToldWhereTheJudgeLooks_data()
    {
        QTest::addColumn<bool>("roundBetween"); // the round turns from X to 1 before the outcome
        QTest::addColumn<bool>("endFirst");     // End pressed before はい
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("notice");
        QTest::newRow("round X, then 1: registered on the competitor shown")
            << true << false << 1 << int(Notice::Registered);
        QTest::newRow("End, then はい: nothing sent") << false << true << 0 << int(Notice::None);
    }
    void theOutcomeIsToldWhereTheJudgeLooks()
    {
        QFETCH(bool, roundBetween);
        QFETCH(bool, endFirst);
        QFETCH(int, sent);
        QFETCH(int, notice);
        open();
        if (roundBetween) {
            competition().row = {u"008"_s, {}, u"X"_s, {}, u"Funaki"_s, {}, {}, {}};
            QVERIFY(tick());
            QVERIFY(!session().operatorReady());
        }
        competition().holdRegistrations = true;
        enter(2, 3, 4);
        session().confirm();
        if (endFirst)
            session().end(); // the release is on its way
        session().answerYes();
        session().confirm();
        if (roundBetween) {
            competition().row.hon = u"1"_s;
            session().tick();
            QVERIFY(QTest::qWaitFor([this] { return !session().pollInFlight(); }));
            QCOMPARE(session().competitor()->round.text(), u"1"_s);
            competition().outcomes.push_back(Outcome::Registered);
            competition().answerRegistration();
        }
        QVERIFY(settle());
        QCOMPARE(int(competition().sent.size()), sent);
        QTRY_COMPARE(int(session().notice()), notice);
        QCOMPARE(m_told, QStringList());
    }

    // A journal failure is told once per outage: a line on the disk ends it.
    void aJournalFailureIsToldOncePerOutage_data()
    {
        QTest::addColumn<QString>("disk"); // one registration a letter: the line written or not
        QTest::addColumn<int>("told");
        QTest::newRow("full all day") << u"xxx"_s << 1;
        QTest::newRow("full, freed, full again") << u"xxoxx"_s << 2;
        QTest::newRow("full now and then") << u"oxoxox"_s << 3;
        QTest::newRow("never full") << u"ooo"_s << 0;
    }
    void aJournalFailureIsToldOncePerOutage()
    {
        QFETCH(QString, disk);
        QFETCH(int, told);
        auto lines = std::make_shared<std::atomic<int>>(0);
        m_journal = std::make_unique<journal::Writer>(
            [disk, lines](const journal::Entry &, QString *error) {
                if (disk.at((*lines)++) == u'o')
                    return true;
                *error = u"No space left on device"_s;
                return false;
            });
        session().setJournal(m_journal.get());
        open();
        for (int time = 0; time < disk.size(); ++time)
            QVERIFY(confirmAndAnswerYes(2, 2, 2 + time % 2));
        QCOMPARE(session().notice(), Notice::Registered);
        QCOMPARE(m_told, QStringList(told, u"採点記録を保存できません（No space left on device）。"
                                           u"登録はこのまま続けられます。"_s));
    }

    // A disk that hangs holds the outcome a second at most.
    void aHangingDiskHoldsTheOutcomeASecondAtMost()
    {
        auto hung = std::make_shared<std::atomic<bool>>(true);
        m_journal = std::make_unique<journal::Writer>([hung](const journal::Entry &, QString *) {
            while (*hung)
                QThread::msleep(5);
            return true;
        });
        session().setJournal(m_journal.get());
        open();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(confirmAndAnswerYes(2, 2, 2));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(session().notice(), Notice::Registered);
        QCOMPARE(m_told.size(), 1);
        *hung = false;
    }

    void healthFollowsTheAnswers()
    {
        QDateTime now(QDate(2026, 12, 8), QTime(23, 59, 58));
        session().setClock([&now] { return now; });
        open();
        QCOMPARE(session().health().lastGoodAnswer, now);
        competition().pollError = u"offline"_s;
        competition().isConnected = false;
        const QDateTime failing = now = now.addSecs(3);
        QVERIFY(tick());
        now = now.addSecs(3); // past midnight
        QVERIFY(tick());
        QCOMPARE(session().health().failingSince, failing);
        competition().pollError.clear();
        competition().isConnected = true;
        QVERIFY(tick());
        QVERIFY(!session().health().failingSince.isValid());
        QCOMPARE(session().health().lastGoodAnswer, now);
    }
};

QTEST_GUILESS_MAIN(TestJudgeSession)
#include "tst_judgesession.moc"
