// The terminal's message boxes: texts as they stand, modal without a loop of their own, and
// never two boxes at once.
#include "support/openboxes.h"
#include "toolkit/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The call returns with the box up: nothing of the caller's waits inside it.
    void textIsShownAsItStands()
    {
        const QString text = u"Field '<b>zek</b>' <img src=x> not found"_s;
        messages::reportError(nullptr, text);
        QMessageBox *box = openBoxes().value(0);
        QVERIFY(box);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(openBoxes().isEmpty());
    }

    // Boxes asked for while one is open wait their turn, each text once, in order; timers go
    // on underneath.
    void boxesNeverStack()
    {
        QStringList shown;
        int mostOpen = 0;
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, this, [&] {
            ++ticks;
            const QList<QMessageBox *> boxes = openBoxes();
            mostOpen = std::max(mostOpen, int(boxes.size()));
            if (ticks == 2) {
                messages::show(nullptr, u"second"_s);
                messages::show(nullptr, u"first"_s); // the open one's text: not again
                messages::reportError(nullptr, u"third"_s);
                messages::show(nullptr, u"second"_s);
            }
            if (boxes.size() == 1 && ticks > 4) {
                shown << boxes.first()->text();
                boxes.first()->button(QMessageBox::Ok)->click();
            }
        });
        clock.start(10);
        messages::show(nullptr, u"first"_s);
        QTRY_COMPARE(shown.size(), 3);
        QTest::qWait(50);
        clock.stop();
        QCOMPARE(shown, (QStringList{u"first"_s, u"second"_s, u"third"_s}));
        QCOMPARE(mostOpen, 1);
        QVERIFY(openBoxes().isEmpty());
    }

    // A box that comes up as the judge answers the window under it keeps the key or click
    // meant for that window, until it has been on the screen for a moment.
    void aFreshBoxKeepsTheKeyMeantForTheWindow_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on OK
        QTest::addColumn<int>("guardMs");
        QTest::addColumn<bool>("closes");
        const std::pair<const char *, int> inputs[] = {{"Space", Qt::Key_Space},
                                                       {"Return", Qt::Key_Return},
                                                       {"Escape", Qt::Key_Escape},
                                                       {"click", 0}};
        for (const auto &[name, key] : inputs) {
            QTest::addRow("%s at once", name) << key << 60000 << false;
            QTest::addRow("%s unguarded", name) << key << 0 << true;
        }
    }

    void aFreshBoxKeepsTheKeyMeantForTheWindow()
    {
        QFETCH(int, key);
        QFETCH(int, guardMs);
        QFETCH(bool, closes);
        messages::setFreshBoxGuardForTests(guardMs);
        messages::reportError(nullptr, u"Lost connection to server during query"_s);
        QMessageBox *box = openBoxes().value(0);
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        if (key)
            QTest::keyClick(ok, Qt::Key(key));
        else
            QTest::mouseClick(ok, Qt::LeftButton);
        const bool open = openBoxes().contains(box) && box->isVisible();
        if (open)
            ok->click();
        messages::setFreshBoxGuardForTests(350);
        QTRY_VERIFY(openBoxes().isEmpty());
        QCOMPARE(open, !closes);
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
