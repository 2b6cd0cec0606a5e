// The judge's entry without any window: choices, looks, value texts and the mark.
#include "pointin/entrymodel.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Look = EntryModel::Look;

class TestEntryModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueTextsAndMark_data()
    {
        QTest::addColumn<int>("flight");
        QTest::addColumn<int>("landing");
        QTest::addColumn<int>("outrun");
        QTest::addColumn<QStringList>("texts"); // flight, landing, outrun, mark
        QTest::addColumn<bool>("complete");
        QTest::newRow("nothing chosen: zeros, 20.0, incomplete")
            << -1 << -1 << -1 << QStringList{u"0"_s, u"0"_s, u"0"_s, u"20.0"_s} << false;
        QTest::newRow("0 0 0 -> 20.0")
            << 0 << 0 << 0 << QStringList{u"0"_s, u"0"_s, u"0"_s, u"20.0"_s} << true;
        QTest::newRow("5 5 7 -> 3.0")
            << 10 << 10 << 14 << QStringList{u"5"_s, u"5"_s, u"7"_s, u"3.0"_s} << true;
        QTest::newRow("0.5 0 0 -> 19.5")
            << 1 << 0 << 0 << QStringList{u"0.5"_s, u"0"_s, u"0"_s, u"19.5"_s} << true;
        QTest::newRow("1 1.5 0.5 -> 17.0")
            << 2 << 3 << 1 << QStringList{u"1"_s, u"1.5"_s, u"0.5"_s, u"17.0"_s} << true;
        QTest::newRow("landing missing: counts as 0, incomplete")
            << 5 << -1 << 4 << QStringList{u"2.5"_s, u"0"_s, u"2"_s, u"15.5"_s} << false;
    }
    void valueTextsAndMark()
    {
        QFETCH(int, flight);
        QFETCH(int, landing);
        QFETCH(int, outrun);
        QFETCH(QStringList, texts);
        QFETCH(bool, complete);
        EntryModel entry;
        const int columns[] = {flight, landing, outrun};
        for (int row = 0; row < EntryModel::RowCount; ++row) {
            if (columns[row] >= 0)
                entry.choose(row, columns[row]);
        }
        QCOMPARE(
            (QStringList{entry.valueText(EntryModel::Flight), entry.valueText(EntryModel::Landing),
                         entry.valueText(EntryModel::Outrun), entry.markText()}),
            texts);
        QCOMPARE(entry.complete(), complete);
    }

    void looksFollowHowAValueWasChosen()
    {
        EntryModel entry;
        entry.confirm(EntryModel::Landing); // nothing chosen: nothing to paint red
        QCOMPARE(entry.row(EntryModel::Landing), EntryModel::RowState{});
        entry.showStored(EntryModel::Outrun, 13);
        QCOMPARE(entry.row(EntryModel::Outrun), (EntryModel::RowState{13, Look::Stored, false}));
        QCOMPARE(entry.valueText(EntryModel::Outrun), u"6.5"_s); // shown is what counts
        entry.confirm(EntryModel::Outrun);
        QVERIFY(entry.row(EntryModel::Outrun).confirmed);
        entry.choose(EntryModel::Outrun, 13); // the focus back on it: blue again
        QCOMPARE(entry.row(EntryModel::Outrun), (EntryModel::RowState{13, Look::Chosen, false}));

        // Flight 0 clicked: grown unless it is already the choice, which keeps its look.
        entry.growFlightZero();
        QCOMPARE(entry.row(EntryModel::Flight), (EntryModel::RowState{0, Look::Grown, false}));
        entry.choose(EntryModel::Flight, 0);
        entry.confirm(EntryModel::Flight);
        entry.growFlightZero();
        QCOMPARE(entry.row(EntryModel::Flight), (EntryModel::RowState{0, Look::Chosen, true}));

        entry.clearAll();
        QVERIFY(!entry.rowComplete(EntryModel::Flight) && !entry.rowComplete(EntryModel::Outrun));
    }

    void captionsAndColumns()
    {
        QCOMPARE(EntryModel::caption(0), u"0"_s);
        QCOMPARE(EntryModel::caption(5), u"2.5"_s);
        QCOMPARE(EntryModel::caption(14), u"7"_s);
        QCOMPARE(EntryModel::columnOf(EntryModel::Outrun, u"5.5"_s), 11);
        // Only captions as written: no 5.5 on the flight row, no "1.0", no blank in front.
        QCOMPARE(EntryModel::columnOf(EntryModel::Flight, u"5.5"_s), -1);
        QCOMPARE(EntryModel::columnOf(EntryModel::Landing, u"1.0"_s), -1);
        QCOMPARE(EntryModel::columnOf(EntryModel::Landing, u" 1"_s), -1);
    }
};

QTEST_GUILESS_MAIN(TestEntryModel)
#include "tst_entrymodel.moc"
