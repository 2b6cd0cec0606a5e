// The mark journal: its lines, read back, and a folder that cannot be written.
#include "journal/markjournal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

journal::Entry entry(journal::Outcome outcome, const QString &name)
{
    journal::Entry e;
    e.time = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 27), QTimeZone(9 * 3600));
    e.seat = u"C"_s;
    e.bib = u"007"_s;
    e.round = u"1"_s;
    e.name = name;
    e.flight = u"1.5"_s;
    e.landing = u"0.5"_s;
    e.outrun = u"2"_s;
    e.mark = u"16.0"_s;
    e.outcome = outcome;
    return e;
}

} // namespace

class TestMarkJournal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line");
        QTest::newRow("registered")
            << int(journal::Outcome::Registered) << u"Kasai Noriaki"_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,Kasai Noriaki,1.5,0.5,2,16.0,registered"_s;
        QTest::newRow("failed, a comma and quotes in the name")
            << int(journal::Outcome::Failed) << u"Kasai, \"Nori\""_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,\"Kasai, \"\"Nori\"\"\",1.5,0.5,2,16.0,failed"_s;
        QTest::newRow("competitor changed, Japanese and a line break")
            << int(journal::Outcome::CompetitorChanged) << u"高梨 沙羅\n(JPN)"_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,\"高梨 沙羅\n(JPN)\",1.5,0.5,2,16.0,"
               "competitor changed"_s;
    }
    void lines()
    {
        QFETCH(int, outcome);
        QFETCH(QString, name);
        QFETCH(QString, line);
        const journal::Entry written = entry(journal::Outcome(outcome), name);
        QCOMPARE(journal::line(written), line);
        // Read back from a file of two records after the header.
        const QString file = journal::columns().join(u',') + u"\r\n"_s + line + u"\r\n"_s + line;
        const QList<QStringList> records = journal::records(file);
        QCOMPARE(records.size(), 3);
        journal::Entry read;
        QVERIFY(!journal::read(records[0], read)); // the header is no entry
        QVERIFY(journal::read(records[2], read));
        QCOMPARE(read.name, name);
        QCOMPARE(int(read.outcome), outcome);
        QCOMPARE(read.time, written.time);
        QCOMPARE(read.mark, u"16.0"_s);
    }

    // Lines a hand or a broken disk may leave: none is an entry, none stops the reading.
    void recordsThatAreNoEntry_data()
    {
        QTest::addColumn<QString>("line");
        const QString good = u"2026-12-08T14:03:27+09:00,C,007,1,Kasai,1.5,0.5,2,16.0,registered"_s;
        QTest::newRow("no seat") << QString(good).replace(u",C,"_s, u",,"_s);
        QTest::newRow("seat F") << QString(good).replace(u",C,"_s, u",F,"_s);
        QTest::newRow("two letters") << QString(good).replace(u",C,"_s, u",AB,"_s);
        QTest::newRow("no time") << good.mid(good.indexOf(u','));
        QTest::newRow("unknown outcome") << QString(good).replace(u"registered"_s, u"maybe"_s);
    }
    void recordsThatAreNoEntry()
    {
        QFETCH(QString, line);
        const QString good = u"2026-12-08T14:03:27+09:00,C,007,1,Kasai,1.5,0.5,2,16.0,registered"_s;
        const QList<journal::Entry> read = journal::entries(line + u"\r\n"_s + good);
        QCOMPARE(read.size(), 1);
        QCOMPARE(read[0].seat, u"C"_s);
    }

    void utcIsWrittenAsAnOffset()
    {
        journal::Entry e = entry(journal::Outcome::Registered, u"A"_s);
        e.time = QDateTime(QDate(2026, 12, 8), QTime(5, 3, 27), QTimeZone::utc());
        QVERIFY(journal::line(e).startsWith(u"2026-12-08T05:03:27+00:00,"_s));
        e.time = QDateTime(QDate(2026, 12, 8), QTime(5, 3, 27), QTimeZone(-(3 * 3600 + 1800)));
        QVERIFY(journal::line(e).startsWith(u"2026-12-08T05:03:27-03:30,"_s));
    }

    void oneFileADayWithItsHeader()
    {
        QTemporaryDir dir;
        journal::Writer writer(dir.filePath(u"journal"_s));
        QVERIFY(writer.append(entry(journal::Outcome::Failed, u"A"_s)));
        QVERIFY(writer.append(entry(journal::Outcome::Registered, u"A"_s)));
        QFile file(dir.filePath(u"journal/2026-12-08.csv"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two entries, nothing after the last break
        QCOMPARE(lines[0], "time,seat,bib,round,name,flight,landing,outrun,mark,outcome\r");
        QVERIFY(lines[2].endsWith(",registered\r"));
    }

    void aFolderThatCannotBeWritten()
    {
        QTemporaryDir dir;
        // A file where the folder should be: no user, root included, can write there.
        QFile blocker(dir.filePath(u"journal"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        journal::Writer writer(dir.filePath(u"journal"_s));
        QVERIFY(!writer.append(entry(journal::Outcome::Registered, u"A"_s)));
        QVERIFY(!writer.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMarkJournal)
#include "tst_markjournal.moc"
