#include "toolkit/dialogkeys.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

// A window of two panels: panel A holds a1..a3 (tab orders 2, 0, 1), panel B holds b1 and an
// edit; a hidden and a disabled button in A are never reached.
class TestDialogKeys : public QObject
{
    Q_OBJECT

    QWidget *window = nullptr;

    QWidget *button(const char *name) { return window->findChild<QWidget *>(QLatin1String(name)); }

    static QPushButton *add(QWidget *parent, const char *name, int order)
    {
        auto *b = new QPushButton(QLatin1String(name), parent);
        b->setObjectName(QLatin1String(name));
        b->setFocusPolicy(Qt::StrongFocus);
        dialogkeys::setTabOrder(b, order);
        return b;
    }

private Q_SLOTS:
    void init()
    {
        window = new QWidget;
        auto *panelB = new QWidget(window);
        auto *panelA = new QWidget(window);
        dialogkeys::setTabOrder(panelA, 0);
        dialogkeys::setTabOrder(panelB, 1);
        add(panelA, "a1", 2);
        add(panelA, "a2", 0);
        add(panelA, "a3", 1);
        add(panelA, "hidden", 3)->hide();
        add(panelA, "disabled", 4)->setEnabled(false);
        add(panelB, "b1", 0);
        auto *edit = new QLineEdit(panelB);
        edit->setObjectName(u"edit"_s);
        dialogkeys::setTabOrder(edit, 1);
        panelA->setGeometry(0, 0, 300, 50);
        panelB->setGeometry(0, 60, 300, 50);
        int x = 0;
        for (QWidget *w : panelA->findChildren<QPushButton *>())
            w->setGeometry(x += 50, 10, 40, 20);
        dialogkeys::install(window);
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void keys_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("right moves to the next in tab order")
            << u"a2"_s << int(Qt::Key_Right) << 0 << u"a3"_s;
        QTest::newRow("down is right") << u"a3"_s << int(Qt::Key_Down) << 0 << u"a1"_s;
        QTest::newRow("right on the last wraps to the first, skipping hidden and disabled")
            << u"a1"_s << int(Qt::Key_Right) << 0 << u"a2"_s;
        QTest::newRow("left on the first wraps to the last")
            << u"a2"_s << int(Qt::Key_Left) << 0 << u"a1"_s;
        QTest::newRow("up is left") << u"a3"_s << int(Qt::Key_Up) << 0 << u"a2"_s;
        QTest::newRow("arrows never leave the panel")
            << u"b1"_s << int(Qt::Key_Right) << 0 << u"edit"_s;
        QTest::newRow("tab walks the nested order") << u"a3"_s << int(Qt::Key_Tab) << 0 << u"a1"_s;
        QTest::newRow("tab leaves the panel for the next one")
            << u"a1"_s << int(Qt::Key_Tab) << 0 << u"b1"_s;
        QTest::newRow("tab on the last control wraps")
            << u"edit"_s << int(Qt::Key_Tab) << 0 << u"a2"_s;
        QTest::newRow("shift+tab goes back")
            << u"b1"_s << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << u"a1"_s;
        QTest::newRow("shift+tab on the first wraps")
            << u"a2"_s << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << u"edit"_s;
        QTest::newRow("an edit keeps its arrows")
            << u"edit"_s << int(Qt::Key_Left) << 0 << u"edit"_s;
    }
    void keys()
    {
        QFETCH(QString, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QWidget *from = button(qPrintable(start));
        from->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), from);
        QTest::keyClick(from, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(QApplication::focusWidget()->objectName(), expected);
    }

    void arrowChecksARadioButton()
    {
        auto *panel = new QWidget(window);
        auto *r1 = new QRadioButton(u"one"_s, panel);
        auto *r2 = new QRadioButton(u"two"_s, panel);
        r2->move(0, 20);
        panel->show();
        r1->setChecked(true);
        dialogkeys::tabStopFollowsCheck(r1);
        dialogkeys::tabStopFollowsCheck(r2);
        QCOMPARE(r2->focusPolicy(), Qt::ClickFocus);
        r1->setFocus();
        QTest::keyClick(r1, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), r2);
        QVERIFY(r2->isChecked());
        QVERIFY(!r1->isChecked());
        QCOMPARE(r2->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(r1->focusPolicy(), Qt::ClickFocus);
    }

    void tabOrderListIsNested()
    {
        QStringList names;
        for (QWidget *w : dialogkeys::tabOrderList(window, true))
            names << w->objectName();
        QCOMPARE(names, (QStringList{u"a2"_s, u"a3"_s, u"a1"_s, u"b1"_s, u"edit"_s}));
    }
};

QTEST_MAIN(TestDialogKeys)
#include "tst_dialogkeys.moc"
