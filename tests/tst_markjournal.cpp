// The mark journal: its lines, read back, and a folder that cannot be written.
#include "journal/markjournal.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

journal::Entry entry(Outcome outcome, const QString &name)
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
        QTest::addColumn<QString>("readBack");
        QTest::newRow("registered")
            << int(Outcome::Registered) << u"Kasai Noriaki"_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,Kasai Noriaki,1.5,0.5,2,16.0,registered"_s
            << u"Kasai Noriaki"_s;
        QTest::newRow("failed, a comma and quotes in the name")
            << int(Outcome::Failed) << u"Kasai, \"Nori\""_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,\"Kasai, \"\"Nori\"\"\",1.5,0.5,2,16.0,failed"_s
            << u"Kasai, \"Nori\""_s;
        QTest::newRow("competitor changed, a line break in the name is a blank")
            << int(Outcome::CompetitorChanged) << u"高梨 沙羅\r\n(JPN)"_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,高梨 沙羅 (JPN),1.5,0.5,2,16.0,"
               "competitor changed"_s
            << u"高梨 沙羅 (JPN)"_s;
        QTest::newRow("unknown, a formula for a name is text to a spreadsheet")
            << int(Outcome::Unknown) << u"=HYPERLINK(\"x\")"_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,\"'=HYPERLINK(\"\"x\"\")\",1.5,0.5,2,16.0,"
               "unknown"_s
            << u"=HYPERLINK(\"x\")"_s;
        QTest::newRow("an apostrophe of the name's own is kept")
            << int(Outcome::Registered) << u"'@home"_s
            << u"2026-12-08T14:03:27+09:00,C,007,1,''@home,1.5,0.5,2,16.0,registered"_s
            << u"'@home"_s;
    }
    void lines()
    {
        QFETCH(int, outcome);
        QFETCH(QString, name);
        QFETCH(QString, line);
        QFETCH(QString, readBack);
        const journal::Entry written = entry(Outcome(outcome), name);
        QCOMPARE(journal::line(written), line);
        // Read back from a file of two records after the header.
        const QString file = journal::columns().join(u',') + u"\r\n"_s + line + u"\r\n"_s + line;
        const journal::Reading reading = journal::readAll(file);
        QCOMPARE(reading.entries.size(), 2);
        QCOMPARE(reading.unreadable, 0);
        const journal::Entry &read = reading.entries[1];
        QCOMPARE(read.name, readBack);
        QCOMPARE(int(read.outcome), outcome);
        QCOMPARE(read.time, written.time);
        QCOMPARE(read.mark, u"16.0"_s);
    }

    // Lines a hand or a broken disk may leave: none is an entry, each is counted, none stops
    // the reading of the next line.
    void recordsThatAreNoEntry_data()
    {
        QTest::addColumn<QString>("line");
        const QString good = u"2026-12-08T14:03:27+09:00,C,007,1,Kasai,1.5,0.5,2,16.0,registered"_s;
        QTest::newRow("no seat") << QString(good).replace(u",C,"_s, u",,"_s);
        QTest::newRow("seat F") << QString(good).replace(u",C,"_s, u",F,"_s);
        QTest::newRow("two letters") << QString(good).replace(u",C,"_s, u",AB,"_s);
        QTest::newRow("no time") << good.mid(good.indexOf(u','));
        QTest::newRow("unknown outcome") << QString(good).replace(u"registered"_s, u"maybe"_s);
        QTest::newRow("cut inside an open quote") << good.left(40) + u",\"Kas"_s;
    }
    void recordsThatAreNoEntry()
    {
        QFETCH(QString, line);
        const QString good = u"2026-12-08T14:03:27+09:00,C,007,1,Kasai,1.5,0.5,2,16.0,registered"_s;
        const journal::Reading read = journal::readAll(line + u"\r\n"_s + good);
        QCOMPARE(read.entries.size(), 1);
        QCOMPARE(read.entries[0].seat, u"C"_s);
        QCOMPARE(read.unreadable, 1);
    }

    void utcIsWrittenAsAnOffset()
    {
        journal::Entry e = entry(Outcome::Registered, u"A"_s);
        e.time = QDateTime(QDate(2026, 12, 8), QTime(5, 3, 27), QTimeZone::utc());
        QVERIFY(journal::line(e).startsWith(u"2026-12-08T05:03:27+00:00,"_s));
        e.time = QDateTime(QDate(2026, 12, 8), QTime(5, 3, 27), QTimeZone(-(3 * 3600 + 1800)));
        QVERIFY(journal::line(e).startsWith(u"2026-12-08T05:03:27-03:30,"_s));
    }

    void oneFileADayWithItsHeader()
    {
        QTemporaryDir dir;
        journal::File journal(dir.filePath(u"journal"_s));
        QVERIFY(journal.append(entry(Outcome::Failed, u"A"_s)));
        QVERIFY(journal.append(entry(Outcome::Registered, u"A"_s)));
        QFile file(journal.fileFor(QDate(2026, 12, 8)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two entries, nothing after the last break
        QCOMPARE(lines[0], "time,seat,bib,round,name,flight,landing,outrun,mark,outcome\r");
        QVERIFY(lines[2].endsWith(",registered\r"));
    }

    // Stations whose folders are one network share write files of their own.
    void fileNamedAfterTheDayAndTheHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("name");
        QTest::newRow("a plain name") << u"judge-b.local"_s << u"2026-12-09_judge-b.local.csv"_s;
        QTest::newRow("what Windows or Linux refuse in a name")
            << u"a/b\\c:d*e?f\"g<h>i|j k\tl"_s << u"2026-12-09_a_b_c_d_e_f_g_h_i_j_k_l.csv"_s;
        QTest::newRow("letters of any script") << u"採点1"_s << u"2026-12-09_採点1.csv"_s;
        QTest::newRow("no name") << QString() << u"2026-12-09_station.csv"_s;
    }
    void fileNamedAfterTheDayAndTheHost()
    {
        QFETCH(QString, host);
        QFETCH(QString, name);
        QCOMPARE(journal::File(u"/j"_s, host).fileFor(QDate(2026, 12, 9)), u"/j/"_s + name);
    }

    // A crash or a full disk cut the last line short: the next line starts a line of its own.
    void aLineCutShortIsNotJoined()
    {
        QTemporaryDir dir;
        journal::File journal(dir.filePath(u"journal"_s));
        QVERIFY(journal.append(entry(Outcome::Registered, u"A"_s)));
        QFile file(journal.fileFor(QDate(2026, 12, 8)));
        QVERIFY(file.open(QIODevice::Append));
        file.write("2026-12-08T14:03:30+09:00,C,008,1,\"Fun");
        file.close();
        QVERIFY(journal.append(entry(Outcome::Failed, u"B"_s)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const journal::Reading reading = journal::readAll(QString::fromUtf8(file.readAll()));
        QCOMPARE(reading.entries.size(), 2);
        QCOMPARE(reading.entries[1].name, u"B"_s);
        QCOMPARE(reading.unreadable, 1);
    }

    // The user's own data folder on this PC, as each system names it; on Windows the local
    // application data folder, where Qt also keeps a program's data.
    void folderIsTheUsersDataFolder()
    {
        QTemporaryDir dir;
#ifdef Q_OS_WIN
        const QByteArray named = qgetenv("LOCALAPPDATA");
        QVERIFY2(!named.isEmpty(), "Windows names the local application data folder");
        QCOMPARE(journal::folder(), QDir::fromNativeSeparators(QString::fromLocal8Bit(named)) +
                                        u"/VELMOR/Tollivane/journal"_s);
        qunsetenv("LOCALAPPDATA");
        const QString unnamed = journal::folder();
        qputenv("LOCALAPPDATA", named);
        QCOMPARE(unnamed, QDir::fromNativeSeparators(QString::fromLocal8Bit(named)) +
                              u"/VELMOR/Tollivane/journal"_s);
        qputenv("LOCALAPPDATA", QDir::toNativeSeparators(dir.path()).toLocal8Bit());
#else
        qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
#endif
        QCOMPARE(journal::folder(), dir.path() + u"/VELMOR/Tollivane/journal"_s);
        journal::File journal(journal::folder());
        QVERIFY2(journal.append(entry(Outcome::Registered, u"A"_s)), qPrintable(journal.error()));
        QVERIFY(QFile::exists(journal.fileFor(QDate(2026, 12, 8))));
    }

    void aFolderThatCannotBeWritten()
    {
        QTemporaryDir dir;
        // A file where the folder should be: no user, root included, can write there.
        QFile blocker(dir.filePath(u"journal"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        journal::File journal(dir.filePath(u"journal"_s));
        QVERIFY(!journal.append(entry(Outcome::Registered, u"A"_s)));
        QVERIFY(!journal.error().isEmpty());
    }

    // The writer is told when the line is on the disk, or when the wait is over while the disk
    // still holds it: then the line is written all the same, in order.
    void aSlowDiskHoldsNobodyLongerThanTheWait()
    {
        std::atomic<bool> diskAnswers = false;
        QStringList written;
        QMutex mutex;
        journal::Writer writer([&](const journal::Entry &e, QString *) {
            while (!diskAnswers)
                QThread::msleep(5);
            const QMutexLocker lock(&mutex);
            written << e.name;
            return true;
        });
        QList<std::pair<Failure, QString>> told; // what each line's reply said
        QObject context;
        for (const QString &name : {u"first"_s, u"second"_s})
            writer.append(
                entry(Outcome::Registered, name), &context,
                [&told](const Reply<Done> &r) {
                    told << std::pair{r.ok() ? Failure::Refused : r.failure(),
                                      r.ok() ? u"on the disk"_s : r.error()};
                },
                50);
        QTRY_COMPARE(told.size(), 2);
        QCOMPARE(told[0].first, Failure::TimedOut);
        QVERIFY(told[0].second.contains(u"did not take"_s));
        diskAnswers = true;
        QTRY_COMPARE(written, (QStringList{u"first"_s, u"second"_s}));
        QTest::qWait(20);
        QCOMPARE(told.size(), 2); // told once each
    }

    // The program may leave at once after the writer: every line is on the disk, or told
    // whole with what became of it.
    void linesQueuedAtClose_data()
    {
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QStringList>("told"); // for first, second, third
        const QString refused = u"not in the mark journal (No space left on device)"_s;
        const QString queued =
            u"not in the mark journal (the disk did not take it before the program closed)"_s;
        QTest::newRow("the disk takes them") << u"takes"_s << QStringList();
        QTest::newRow("the disk refuses them")
            << u"refuses"_s << QStringList{refused, refused, refused};
        QTest::newRow("the disk hangs on the first")
            << u"hangs"_s
            << QStringList{u"maybe not in the mark journal (still being written when the program "
                           "closed)"_s,
                           queued, queued};
    }
    void linesQueuedAtClose()
    {
        QFETCH(QString, disk);
        QFETCH(QStringList, told);
        auto hung = std::make_shared<std::atomic<bool>>(disk == u"hangs");
        auto writing = std::make_shared<std::atomic<bool>>(false);
        auto lost = std::make_shared<QStringList>();
        auto written = std::make_shared<std::atomic<int>>(0);
        const QStringList names{u"first"_s, u"second"_s, u"third"_s};
        {
            journal::Writer writer(
                [=](const journal::Entry &, QString *error) {
                    *writing = true;
                    while (*hung)
                        QThread::msleep(5);
                    *error = u"No space left on device"_s;
                    return disk == u"takes" && ++*written;
                },
                [lost](const QString &text) { *lost << text; }, disk == u"hangs" ? 50 : 5000);
            QObject context;
            for (const QString &name : names)
                writer.append(entry(Outcome::Failed, name), &context, [](const auto &) {});
            QVERIFY(QTest::qWaitFor([&] { return bool(*writing); }));
        }
        *hung = false;
        QCOMPARE(*written, disk == u"takes" ? 3 : 0);
        QCOMPARE(lost->size(), told.size());
        for (int i = 0; i < told.size(); ++i)
            QCOMPARE(lost->at(i), u"Tollivane: "_s + told[i] + u": "_s +
                                      journal::line(entry(Outcome::Failed, names[i])));
    }
};

QTEST_GUILESS_MAIN(TestMarkJournal)
#include "tst_markjournal.moc"
