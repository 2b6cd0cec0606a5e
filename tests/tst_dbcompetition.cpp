// The competition tables and the simulated console, on every backend the terminal meets.
#include "competition.h"
#include "dbengine.h"
#include "tst_dbbackends.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

QString read(TDatabase &db, const QString &table, const QString &column)
{
    TQuery query(&db);
    query.sql().add(u"select * from "_s + table);
    query.open();
    return query.fieldAsString(column);
}

void exec(TDatabase &db, const QString &statement)
{
    dbtest::exec(db, statement);
}

// A judge's terminal: seat flag and registered marks, as the terminal writes them.
void seat(TDatabase &db, QChar letter)
{
    exec(db, u"update judge"_s + letter + u" set ent='True'"_s);
}

void registerMarks(TDatabase &db, QChar letter, const QString &ap, const QString &op,
                   const QString &lp)
{
    exec(db, u"update judge"_s + letter + u" set ap='"_s + ap + u"',op='"_s + op + u"',\nlp='"_s +
                 lp + u"',tp='x',sumi='T'"_s);
}

} // namespace

class TstDbCompetition : public QObject
{
    Q_OBJECT

private:
    dbtest::Backends m_backends;

    std::unique_ptr<TDatabase> freshCompetition(Backend backend)
    {
        auto db = m_backends.connection(backend);
        competition::create(*db);
        competition::seed(*db);
        return db;
    }

private Q_SLOTS:
    void tablesServeTheTerminal_data() { dbtest::backendRows(); }
    void tablesServeTheTerminal()
    {
        QFETCH(Backend, backend);
        DBTEST_REQUIRE(m_backends, backend);
        auto db = freshCompetition(backend);

        QCOMPARE(read(*db, u"judgeent"_s, u"jikko"_s), u"0"_s);
        for (const QChar letter : competition::judgeLetters)
            QCOMPARE(read(*db, u"judge"_s + letter, u"ent"_s), u"False"_s);

        // The columns the point input window binds and reads must all be there.
        TQuery marks(db.get());
        marks.sql().add(u"select * from judgep"_s);
        TQuery race(db.get());
        race.sql().add(u"select * from race where zno='030'"_s);
        for (const QChar letter : competition::judgeLetters) {
            for (const QString &component : {u"a"_s, u"o"_s, u"l"_s}) {
                race.addRequiredField(letter + component + u'1');
                race.addRequiredField(letter + component + u'2');
            }
        }
        for (const QString &who : {u"TD"_s, u"M1"_s, u"M2"_s, u"M3"_s}) {
            for (const QString &component : {u"ap"_s, u"op"_s, u"lp"_s})
                marks.addRequiredField(who + component);
        }
        marks.open();
        race.open();
        QCOMPARE(race.fieldAsString(u"zno"_s), u"030"_s);
        QCOMPARE(race.fieldAsString(u"El2"_s), QString());

        TQuery entries(db.get());
        entries.sql().add(u"select count(*) as n from entries"_s);
        entries.open();
        QCOMPARE(entries.fieldAsInteger(u"n"_s), 30);
    }

    void longNamesFit_data() { dbtest::backendRows(); }
    void longNamesFit()
    {
        QFETCH(Backend, backend);
        DBTEST_REQUIRE(m_backends, backend);
        auto db = m_backends.connection(backend);
        competition::create(*db);
        // 高 (U+9AD8) and Ø (U+00D8) end in the byte D8 that MariaDB's ODBC driver misreads.
        const QString name = QString(250, QChar(u'雪')) + QString(250, QChar(u'高'));
        const QString team = u"Ørjan O'Connor Ú"_s;
        exec(*db, u"update judgeB set name="_s + competition::quoted(*db, name) + u",team="_s +
                      competition::quoted(*db, team));
        QCOMPARE(read(*db, u"judgeB"_s, u"name"_s), name);
        QCOMPARE(read(*db, u"judgeB"_s, u"team"_s), team);
    }

    void firstStepStartsTheRun_data() { dbtest::backendRows(); }
    void firstStepStartsTheRun()
    {
        QFETCH(Backend, backend);
        DBTEST_REQUIRE(m_backends, backend);
        auto db = freshCompetition(backend);
        registerMarks(*db, u'D', u"1"_s, u"1"_s, u"1"_s); // left over from a former run

        const competition::Step step = competition::step(*db);
        QVERIFY(step.advanced);
        QCOMPARE(step.bib, u"001"_s);
        QCOMPARE(read(*db, u"judgeent"_s, u"jikko"_s), u"1"_s);
        for (const QChar letter : competition::judgeLetters) {
            const QString table = u"judge"_s + letter;
            QCOMPARE(read(*db, table, u"zek"_s), u"001"_s);
            QCOMPARE(read(*db, table, u"hon"_s), u"1"_s);
            QCOMPARE(read(*db, table, u"name"_s), u"山川 翔太"_s);
            QCOMPARE(read(*db, table, u"team"_s), u"白馬スキークラブ"_s);
            QCOMPARE(read(*db, table, u"sumi"_s), QString());
            QCOMPARE(read(*db, table, u"ap"_s), QString());
            QCOMPARE(read(*db, table, u"ent"_s), u"False"_s); // seats are the judges' business
        }
    }

    void stepWaitsForEverySeatedJudge_data() { dbtest::backendRows(); }
    void stepWaitsForEverySeatedJudge()
    {
        QFETCH(Backend, backend);
        DBTEST_REQUIRE(m_backends, backend);
        auto db = freshCompetition(backend);
        competition::step(*db);
        seat(*db, u'A');
        seat(*db, u'C');

        QVERIFY(!competition::step(*db).advanced); // nobody has registered yet

        registerMarks(*db, u'A', u"1.5"_s, u"0.5"_s, u"2"_s);
        competition::Step step = competition::step(*db);
        QCOMPARE(step.copied, QStringList({u"A"_s}));
        QVERIFY(!step.advanced);
        TQuery race(db.get());
        race.sql().add(u"select * from race where zno='001'"_s);
        race.open();
        QCOMPARE(race.fieldAsString(u"Aa1"_s), u"1.5"_s);
        QCOMPARE(race.fieldAsString(u"Ao1"_s), u"0.5"_s);
        QCOMPARE(race.fieldAsString(u"Al1"_s), u"2"_s);

        registerMarks(*db, u'C', u"0"_s, u"1"_s, u"7"_s);
        step = competition::step(*db);
        QCOMPARE(step.copied, QStringList({u"A"_s, u"C"_s}));
        QVERIFY(step.advanced);
        QCOMPARE(step.bib, u"002"_s);
        race.open();
        QCOMPARE(race.fieldAsString(u"Cl1"_s), u"7"_s);
        QCOMPARE(race.fieldAsString(u"Ba1"_s), QString());
        QCOMPARE(read(*db, u"judgeC"_s, u"sumi"_s), QString());
        QCOMPARE(read(*db, u"judgeC"_s, u"name"_s), u"Aksel Brenna"_s);
    }

    void roundsFollowEachOther()
    {
        auto db = freshCompetition(Backend::Sqlite);
        competition::step(*db);
        QVERIFY(!competition::step(*db).advanced); // no judge seated, nobody to wait for
        QCOMPARE(competition::step(*db, true).bib, u"002"_s);

        exec(*db, u"update judgeA set zek='030'"_s);
        competition::Step step = competition::step(*db, true);
        QCOMPARE(step.bib, u"001"_s);
        QCOMPARE(step.round, u"2"_s);
        QCOMPARE(read(*db, u"judgeE"_s, u"hon"_s), u"2"_s);

        exec(*db, u"update judgeA set zek='030'"_s);
        step = competition::step(*db, true);
        QVERIFY(step.finished);
        QCOMPARE(read(*db, u"judgeent"_s, u"jikko"_s), u"0"_s);
        QCOMPARE(read(*db, u"judgeB"_s, u"hon"_s), u"X"_s);
        QVERIFY(competition::step(*db, true).finished);
    }

    void commandLine()
    {
        const QString file = m_backends.dir() + u"/cli.sqlite"_s;
        auto jumpdb = [&](const QStringList &args) {
            QProcess process;
            process.start(QStringLiteral(JUMPDB), args + QStringList({u"--sqlite"_s, file}));
            process.waitForFinished(30000);
            return std::pair(process.exitCode(), QString::fromUtf8(process.readAll()));
        };
        QCOMPARE(jumpdb({u"create"_s}).first, 0);
        QCOMPARE(jumpdb({u"seed"_s}).first, 0);
        QCOMPARE(jumpdb({u"step"_s}).second, u"competitor 001 round 1\n"_s);
        QCOMPARE(jumpdb({u"ready"_s, u"0"_s}).first, 0);
        const QString state = jumpdb({u"state"_s}).second;
        QVERIFY2(state.contains(u"judgeent: jikko=0\n"_s), qPrintable(state));
        QVERIFY2(state.contains(u"judgeE: ent=False zek=001 hon=1"_s), qPrintable(state));
        QVERIFY2(state.contains(u"entries: competitors=30"_s), qPrintable(state));

        QProcess bare;
        bare.start(QStringLiteral(JUMPDB), {u"state"_s, u"--alias"_s, u"NoSuchAlias"_s});
        bare.waitForFinished(30000);
        QCOMPARE(bare.exitCode(), 1);
        QVERIFY(bare.readAllStandardError().contains("Unknown alias 'NoSuchAlias'"));
    }
};

QTEST_GUILESS_MAIN(TstDbCompetition)
#include "tst_dbcompetition.moc"
