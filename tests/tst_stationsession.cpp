// The station session without its window: how a seat's claim goes on from each answer, and
// what the notice stands for meanwhile. The session works on a real gateway on SQLite.
#include "app/stationsession.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "pointin/judgesession.h"
#include "tools/competition.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using Seat = StationSession::Seat;

Q_DECLARE_METATYPE(StationSession::Seat)

class TestStationSession : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The competition as another connection, the operator's console's, sees it.
    static Database &console(const CompetitionGateway &gateway)
    {
        static Database db(u"console"_s);
        db.setAliasName(gateway.alias());
        db.params().setText(gateway.params().join(u'\n'));
        return db;
    }

    static QString entOfA(const CompetitionGateway &gateway)
    {
        Query q(&console(gateway));
        q.sql().add(u"select * from judgeA"_s);
        q.open();
        return q.fieldAsString(u"ent"_s);
    }

    static bool settle(const CompetitionGateway &gateway, const StationSession &session)
    {
        return QTest::qWaitFor([&] { return gateway.idle() && !session.connecting(); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit()); // no settings: InterBase Server
        QFile aliases(m_dir.filePath(u"aliases.ini"_s));
        QVERIFY(aliases.open(QIODevice::WriteOnly));
        aliases.write("[Jump]\nDriver=SQLite\nDatabase=jump.sqlite\n");
        aliases.close();
        qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
    }

    // Steps: "claim" (確認, answered before the next step unless "claim+" follows), "release"
    // (a click on the notice), "ok" (O.K.), "end" (End in the point input window).
    void aClaimGoesOnFromItsAnswer_data()
    {
        QTest::addColumn<QString>("entBefore");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("windowsShown");
        QTest::addColumn<Seat>("state");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("entAfter");

        QTest::newRow("a second 確認 while the first is on its way asks nothing")
            << u"False"_s << QStringList{u"claim+"_s, u"claim"_s} << 1 << Seat::Judging << QString()
            << u"True"_s;
        QTest::newRow("End releases the seat: no claim stands")
            << u"False"_s << QStringList{u"claim"_s, u"end"_s} << 1 << Seat::Free << QString()
            << u"False"_s;
        QTest::newRow("a taken seat: the notice stands for it")
            << u"True"_s << QStringList{u"claim"_s} << 0 << Seat::Refused << u"A"_s << u"True"_s;
        QTest::newRow("freed from the notice and claimed: the notice stays")
            << u"True"_s << QStringList{u"claim"_s, u"release"_s, u"claim"_s} << 1 << Seat::Judging
            << u"A"_s << u"True"_s;
        QTest::newRow("after O.K. a click on the notice frees nothing")
            << u"True"_s << QStringList{u"claim"_s, u"ok"_s, u"release"_s} << 0 << Seat::Refused
            << QString() << u"True"_s;
    }
    void aClaimGoesOnFromItsAnswer()
    {
        QFETCH(QString, entBefore);
        QFETCH(QStringList, steps);
        QFETCH(int, windowsShown);
        QFETCH(Seat, state);
        QFETCH(QString, notice);
        QFETCH(QString, entAfter);

        CompetitionGateway gateway;
        StationSession session(&gateway);
        JudgeSession &judge = session.judge();
        const auto *pollTimer = session.findChild<QTimer *>(u"recallTimer"_s);
        QVERIFY(pollTimer);
        QCOMPARE(pollTimer->interval(), 3000);
        session.selectRememberedProfile();
        QVERIFY(settle(gateway, session));
        QVERIFY(gateway.connected());
        competition::create(console(gateway));
        Query update(&console(gateway));
        update.sql().add(u"update judgeA set ent='"_s + entBefore + u"'"_s);
        update.execSQL();

        QSignalSpy shown(&session, &StationSession::judgingStarted);
        QSignalSpy told(&session, &StationSession::told);
        for (const QString &step : steps) {
            if (step.startsWith(u"claim"_s))
                session.claimSeat();
            else if (step == u"release"_s)
                session.releaseNoticeSeat();
            else if (step == u"ok"_s)
                session.dismissNotice();
            else if (step == u"end"_s)
                judge.end();
            if (!step.endsWith(u'+'))
                QVERIFY(settle(gateway, session));
        }
        QCOMPARE(shown.count(), windowsShown);
        QCOMPARE(pollTimer->isActive(), state == Seat::Judging); // from the claim until End
        QCOMPARE(session.state(), state);
        QCOMPARE(session.notice().value_or(QString()), notice);
        QCOMPARE(entOfA(gateway), entAfter);
        QCOMPARE(judge.seat(), u"A"_s);
        QCOMPARE(told.count(), 0);
    }
};

QTEST_MAIN(TestStationSession)
#include "tst_stationsession.moc"
