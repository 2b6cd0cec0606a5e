// Choosing deductions in the point input window by focus, mouse and keys, and the mark.
#include "pointin/pointinputwindow.h"
#include "support/named.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr TColor s_red = 0x000000FF;
constexpr TColor s_blue = 0x00FF0000;
constexpr TColor s_white = 0x00FFFFFF;
constexpr TColor s_darkBlue = 0x00A00000;

} // namespace

class TestPointinEntry : public QObject
{
    Q_OBJECT

private:
    QWidget *m_main = nullptr;
    JudgeSession m_session;
    PointInputWindow *m_w = nullptr;
    QStringList m_messages;

    CuteButton *button(const QString &name) const;
    QPoint place(const CuteButton *b) const; // row, column
    bool isChosen(const CuteButton *b, int captionPixels) const;
    bool isNormal(const CuteButton *b) const;
    void focus(const QString &name);
    void startLikeState();
    QStringList snapshot() const;

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void focusChoosesTheValue_data();
    void focusChoosesTheValue();
    void marks_data();
    void marks();
    void choosingInOneRowLeavesTheOthers();
    void arrowKeysWrapInsideTheRow_data();
    void arrowKeysWrapInsideTheRow();
    void tabWalksEveryValueThenConfirm();
    void shiftTabWalksBack();
    void enterMovesToTheNextRow_data();
    void enterMovesToTheNextRow();
    void enterInTheOutrunRowGoesToConfirm_data();
    void enterInTheOutrunRowGoesToConfirm();
    void enterOnFlightZeroRightAfterStart();
    void confirmedRowTurnsBlueAgainOnFocus();
    void mousePressChoosesAnUnfocusedButton();
    void clickOnTheFocusedButton_data();
    void clickOnTheFocusedButton();
    void otherKeysChangeNothing_data();
    void otherKeysChangeNothing();
};

void TestPointinEntry::initTestCase()
{
    messages::setSink([this](messages::Kind, const QString &text) { m_messages << text; });
    m_main = new QWidget;
    m_main->setGeometry(300, 200, 706, 511);
    m_main->show();
    m_w = new PointInputWindow(m_session, m_main);
    m_w->show();
    m_w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w));
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
}

void TestPointinEntry::init()
{
    named<CuteButton>(m_w, "CuteButton2")->setFocus();
    m_w->forTests().clearEntry();
    named<QLineEdit>(m_w, "Edit4")->setText(u"Edit4"_s);
    named<Panel>(m_w, "Panel7")->hide();
    QVERIFY(m_w->isActiveWindow());
}

void TestPointinEntry::cleanupTestCase()
{
    m_w->forTests().closeWindow();
    delete m_main;
    messages::setSink({});
}

CuteButton *TestPointinEntry::button(const QString &name) const
{
    auto *b = m_w->findChild<CuteButton *>(name);
    if (!b)
        qWarning("no button %s", qPrintable(name));
    return b;
}

QPoint TestPointinEntry::place(const CuteButton *b) const
{
    for (int row = 0; row < PointInputWindow::RowCount; ++row) {
        for (int i = 0; i < PointInputWindow::ColumnCount[row]; ++i) {
            if (m_w->forTests().valueButton(row, i) == b)
                return {row, i};
        }
    }
    return {-1, -1};
}

bool TestPointinEntry::isChosen(const CuteButton *b, int captionPixels) const
{
    const int column = place(b).y();
    return b->geometry() == QRect(PointInputWindow::Look::chosenLeft(column), 24, 73, 73) &&
           b->color() == s_blue && b->fontColor() == s_white &&
           b->font().pixelSize() == captionPixels;
}

bool TestPointinEntry::isNormal(const CuteButton *b) const
{
    const int column = place(b).y();
    return b->geometry() == QRect(8 + 64 * column, 32, 56, 56) && b->color() == colors::clBtnFace &&
           b->fontColor() == s_darkBlue && b->font().pixelSize() == 27;
}

void TestPointinEntry::focus(const QString &name)
{
    CuteButton *b = button(name);
    b->setFocus();
    QCOMPARE(QApplication::focusWidget(), b);
}

// Start gives flight 0 the focus and then resets every row.
void TestPointinEntry::startLikeState()
{
    focus(u"Cba00"_s);
    m_w->forTests().resetRow(PointInputWindow::Flight);
    m_w->forTests().resetRow(PointInputWindow::Landing);
    m_w->forTests().resetRow(PointInputWindow::Outrun);
}

// Everything a value choice can change, one line per button.
QStringList TestPointinEntry::snapshot() const
{
    QStringList lines;
    for (int row = 0; row < PointInputWindow::RowCount; ++row) {
        for (int i = 0; i < PointInputWindow::ColumnCount[row]; ++i) {
            const CuteButton *b = m_w->forTests().valueButton(row, i);
            const QRect g = b->geometry();
            lines << u"%1 %2,%3 %4x%5 face %6 caption %7 %8px"_s.arg(b->objectName())
                         .arg(g.x())
                         .arg(g.y())
                         .arg(g.width())
                         .arg(g.height())
                         .arg(b->color(), 0, 16)
                         .arg(b->fontColor(), 0, 16)
                         .arg(b->font().pixelSize());
        }
    }
    lines << m_w->forTests().valueText(PointInputWindow::Flight)
          << m_w->forTests().valueText(PointInputWindow::Landing)
          << m_w->forTests().valueText(PointInputWindow::Outrun)
          << named<QLineEdit>(m_w, "Edit4")->text();
    return lines;
}

void TestPointinEntry::focusChoosesTheValue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("captionPoints");
    QTest::addColumn<QString>("value");

    QTest::newRow("flight 2 at 36") << u"Cba20"_s << 36 << u"2"_s;
    QTest::newRow("flight 2.5 at 28") << u"Cba25"_s << 28 << u"2.5"_s;
    QTest::newRow("flight 4.5 at 28") << u"Cba45"_s << 28 << u"4.5"_s;
    QTest::newRow("landing 2.5 at 36") << u"cbo25"_s << 36 << u"2.5"_s;
    QTest::newRow("outrun 0 at 30") << u"cbl00"_s << 30 << u"0"_s;
    QTest::newRow("outrun 6.5 at 30") << u"cbl65"_s << 30 << u"6.5"_s;
}

void TestPointinEntry::focusChoosesTheValue()
{
    QFETCH(QString, name);
    QFETCH(int, captionPoints);
    QFETCH(QString, value);
    CuteButton *b = button(name);
    const int row = place(b).x();
    // Another value of the row was chosen before.
    CuteButton *before = m_w->forTests().valueButton(row, place(b).y() == 1 ? 2 : 1);
    before->setFocus();
    QVERIFY(before->width() == 73);

    focus(name);
    QVERIFY(isChosen(b, PointInputWindow::ForTests::pointsToPixels(captionPoints)));
    QVERIFY(isNormal(before));
    const QString texts[] = {m_w->forTests().valueText(PointInputWindow::Flight),
                             m_w->forTests().valueText(PointInputWindow::Landing),
                             m_w->forTests().valueText(PointInputWindow::Outrun)};
    QCOMPARE(texts[row], value);
    for (int i = 0; i < PointInputWindow::ColumnCount[row]; ++i) {
        if (m_w->forTests().valueButton(row, i) != b)
            QVERIFY2(isNormal(m_w->forTests().valueButton(row, i)),
                     qPrintable(u"column %1"_s.arg(i)));
    }
}

void TestPointinEntry::marks_data()
{
    QTest::addColumn<QString>("flight");
    QTest::addColumn<QString>("landing");
    QTest::addColumn<QString>("outrun");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("mark");

    QTest::newRow("0,0,0 -> 20.0") << u"Cba00"_s << u"cbo00"_s << u"cbl00"_s << u"20.0"_s << 20.0;
    QTest::newRow("5,5,7 -> 3.0") << u"Cba50"_s << u"cbo50"_s << u"cbl70"_s << u"3.0"_s << 3.0;
    QTest::newRow("0.5,0,0 -> 19.5") << u"Cba05"_s << u"cbo00"_s << u"cbl00"_s << u"19.5"_s << 19.5;
    QTest::newRow("1,1.5,0.5 -> 17.0")
        << u"Cba10"_s << u"cbo15"_s << u"cbl05"_s << u"17.0"_s << 17.0;
    QTest::newRow("2.5,2.5,5 -> 10.0")
        << u"Cba25"_s << u"cbo25"_s << u"cbl50"_s << u"10.0"_s << 10.0;
    QTest::newRow("5,5,6.5 -> 3.5") << u"Cba50"_s << u"cbo50"_s << u"cbl65"_s << u"3.5"_s << 3.5;
}

void TestPointinEntry::marks()
{
    QFETCH(QString, flight);
    QFETCH(QString, landing);
    QFETCH(QString, outrun);
    QFETCH(QString, shown);
    QFETCH(double, mark);
    focus(flight);
    focus(landing);
    focus(outrun);
    QCOMPARE(named<QLineEdit>(m_w, "Edit4")->text(), shown);
    QCOMPARE(m_w->forTests().entry().mark(), mark);
}

void TestPointinEntry::choosingInOneRowLeavesTheOthers()
{
    focus(u"Cba20"_s);
    focus(u"cbo15"_s);
    focus(u"cbl35"_s);
    QStringList before = snapshot();
    focus(u"Cba40"_s);
    QStringList after = snapshot();
    // Flight lines (the first 11), the flight value and the mark change; the rest stays.
    QCOMPARE(after.mid(11, 26), before.mid(11, 26));
    QCOMPARE(after.mid(38, 2), before.mid(38, 2));
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Flight), u"4"_s);
    QVERIFY(isNormal(button(u"Cba20"_s)));
    QVERIFY(isChosen(button(u"cbo15"_s), 48));
    QVERIFY(isChosen(button(u"cbl35"_s), 40));
}

void TestPointinEntry::arrowKeysWrapInsideTheRow_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("value");

    QTest::newRow("Right on Cba50 -> Cba00")
        << u"Cba50"_s << int(Qt::Key_Right) << u"Cba00"_s << u"0"_s;
    QTest::newRow("Left on cbl00 -> cbl70")
        << u"cbl00"_s << int(Qt::Key_Left) << u"cbl70"_s << u"7"_s;
    QTest::newRow("Up on Cba00 -> Cba50") << u"Cba00"_s << int(Qt::Key_Up) << u"Cba50"_s << u"5"_s;
    QTest::newRow("Down on cbo50 -> cbo00")
        << u"cbo50"_s << int(Qt::Key_Down) << u"cbo00"_s << u"0"_s;
    QTest::newRow("Right on cbl35 -> cbl40")
        << u"cbl35"_s << int(Qt::Key_Right) << u"cbl40"_s << u"4"_s;
    QTest::newRow("Left on cbo15 -> cbo10")
        << u"cbo15"_s << int(Qt::Key_Left) << u"cbo10"_s << u"1"_s;
}

void TestPointinEntry::arrowKeysWrapInsideTheRow()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, to);
    QFETCH(QString, value);
    focus(from);
    QTest::keyClick(button(from), Qt::Key(key));
    CuteButton *target = button(to);
    QCOMPARE(QApplication::focusWidget(), target);
    const int row = place(target).x();
    const int points = row == PointInputWindow::Outrun ? 30 : 36;
    QVERIFY(isChosen(target, PointInputWindow::ForTests::pointsToPixels(points)));
    QVERIFY(isNormal(button(from)));
    const QString texts[] = {m_w->forTests().valueText(PointInputWindow::Flight),
                             m_w->forTests().valueText(PointInputWindow::Landing),
                             m_w->forTests().valueText(PointInputWindow::Outrun)};
    QCOMPARE(texts[row], value);
}

void TestPointinEntry::tabWalksEveryValueThenConfirm()
{
    focus(u"Cba00"_s);
    for (int row = 0; row < PointInputWindow::RowCount; ++row) {
        for (int i = 0; i < PointInputWindow::ColumnCount[row]; ++i) {
            if (row == 0 && i == 0)
                continue;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            CuteButton *expected = m_w->forTests().valueButton(row, i);
            QCOMPARE(QApplication::focusWidget(), expected);
            QVERIFY2(expected->width() == 73, qPrintable(expected->objectName()));
            if (i == 0 && row > 0) {
                // The row left behind keeps its last value chosen: Cba50, then cbo50.
                const int last = PointInputWindow::ColumnCount[row - 1] - 1;
                QCOMPARE(m_w->forTests().valueButton(row - 1, last)->width(), 73);
            }
        }
    }
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Flight), u"5"_s);
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Landing), u"5"_s);
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Outrun), u"7"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), named<CuteButton>(m_w, "CuteButton10"));
    QCOMPARE(named<CuteButton>(m_w, "CuteButton10")->color(), s_blue);
    QCOMPARE(named<CuteButton>(m_w, "CuteButton10")->fontColor(), s_white);
    QCOMPARE(named<QLineEdit>(m_w, "Edit4")->text(), u"3.0"_s);
}

void TestPointinEntry::shiftTabWalksBack()
{
    focus(u"cbo00"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), button(u"Cba50"_s));
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Flight), u"5"_s);
    focus(u"CuteButton10"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), button(u"cbl70"_s));
    QCOMPARE(named<CuteButton>(m_w, "CuteButton10")->color(), colors::clBtnFace);
}

void TestPointinEntry::enterMovesToTheNextRow_data()
{
    QTest::addColumn<QString>("nextChosen"); // empty: none
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("value");

    QTest::newRow("flight 1.5, no landing -> landing 0")
        << QString() << u"Cba15"_s << u"cbo00"_s << u"0"_s;
    QTest::newRow("flight 1.5, landing 3 -> landing 3")
        << u"cbo30"_s << u"Cba15"_s << u"cbo30"_s << u"3"_s;
    QTest::newRow("landing 2, no outrun -> outrun 0")
        << QString() << u"cbo20"_s << u"cbl00"_s << u"0"_s;
    QTest::newRow("landing 2, outrun 6.5 -> outrun 6.5")
        << u"cbl65"_s << u"cbo20"_s << u"cbl65"_s << u"6.5"_s;
}

void TestPointinEntry::enterMovesToTheNextRow()
{
    QFETCH(QString, nextChosen);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, value);
    if (!nextChosen.isEmpty())
        focus(nextChosen);
    focus(from);
    CuteButton *left = button(from);
    const int leftPixels = left->font().pixelSize();
    QTest::keyClick(left, Qt::Key_Return);

    QCOMPARE(left->color(), s_red);
    QCOMPARE(left->fontColor(), s_white);
    QCOMPARE(left->width(), 73);
    QCOMPARE(left->font().pixelSize(), leftPixels);
    CuteButton *target = button(to);
    QCOMPARE(QApplication::focusWidget(), target);
    const int row = place(target).x();
    QVERIFY(isChosen(target, PointInputWindow::ForTests::pointsToPixels(
                                 row == PointInputWindow::Outrun ? 30 : 36)));
    QCOMPARE(row == PointInputWindow::Landing ? m_w->forTests().valueText(PointInputWindow::Landing)
                                              : m_w->forTests().valueText(PointInputWindow::Outrun),
             value);
}

void TestPointinEntry::enterInTheOutrunRowGoesToConfirm_data()
{
    QTest::addColumn<bool>("keepChoice");
    QTest::newRow("outrun 2 chosen") << true;
    QTest::newRow("no outrun chosen") << false;
}

void TestPointinEntry::enterInTheOutrunRowGoesToConfirm()
{
    QFETCH(bool, keepChoice);
    CuteButton *from = button(u"cbl20"_s);
    focus(u"cbl20"_s);
    if (!keepChoice)
        m_w->forTests().resetRow(
            PointInputWindow::Outrun); // the focus stays, the row shows no choice
    QTest::keyClick(from, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), named<CuteButton>(m_w, "CuteButton10"));
    QCOMPARE(named<CuteButton>(m_w, "CuteButton10")->color(), s_blue);
    QCOMPARE(from->color(), keepChoice ? s_red : colors::clBtnFace);
    QCOMPARE(from->width(), keepChoice ? 73 : 56);
    for (int i = 0; i < PointInputWindow::ColumnCount[PointInputWindow::Outrun]; ++i) {
        CuteButton *b = m_w->forTests().valueButton(PointInputWindow::Outrun, i);
        if (b != from)
            QVERIFY(isNormal(b));
    }
}

void TestPointinEntry::enterOnFlightZeroRightAfterStart()
{
    startLikeState();
    CuteButton *zero = button(u"Cba00"_s);
    QVERIFY(isNormal(zero));

    QTest::keyClick(zero, Qt::Key_Return);

    for (int i = 0; i < PointInputWindow::ColumnCount[PointInputWindow::Flight]; ++i)
        QVERIFY(m_w->forTests().valueButton(PointInputWindow::Flight, i)->color() != s_red);
    QCOMPARE(QApplication::focusWidget(), button(u"cbo00"_s));
    QVERIFY(isChosen(button(u"cbo00"_s), 48));
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Landing), u"0"_s);
    // The Enter click on flight 0 grows it in place, in the normal colours.
    QCOMPARE(zero->geometry(), QRect(8, 24, 73, 73));
    QCOMPARE(zero->color(), colors::clBtnFace);
    QCOMPARE(zero->fontColor(), s_darkBlue);
    QCOMPARE(zero->font().pixelSize(), 48);
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Flight), u"0"_s);
}

void TestPointinEntry::confirmedRowTurnsBlueAgainOnFocus()
{
    focus(u"Cba30"_s);
    QTest::keyClick(button(u"Cba30"_s), Qt::Key_Return);
    QCOMPARE(button(u"Cba30"_s)->color(), s_red);
    focus(u"Cba30"_s);
    QVERIFY(isChosen(button(u"Cba30"_s), 48));
}

void TestPointinEntry::mousePressChoosesAnUnfocusedButton()
{
    focus(u"cbl00"_s);
    CuteButton *b = button(u"cbl45"_s);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(28, 28));
    QCOMPARE(QApplication::focusWidget(), b);
    QVERIFY(isChosen(b, 40));
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Outrun), u"4.5"_s);
    QCOMPARE(named<QLineEdit>(m_w, "Edit4")->text(), u"15.5"_s);
}

void TestPointinEntry::clickOnTheFocusedButton_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("bySpace");
    QTest::addColumn<bool>("afterStart");

    QTest::newRow("mouse on chosen landing 3: nothing") << u"cbo30"_s << false << false;
    QTest::newRow("Space on chosen outrun 1: nothing") << u"cbl10"_s << true << false;
    QTest::newRow("mouse on chosen flight 4: nothing") << u"Cba40"_s << false << false;
    QTest::newRow("mouse on flight 0 after Start: grows") << u"Cba00"_s << false << true;
    QTest::newRow("Space on flight 0 after Start: grows") << u"Cba00"_s << true << true;
}

void TestPointinEntry::clickOnTheFocusedButton()
{
    QFETCH(QString, name);
    QFETCH(bool, bySpace);
    QFETCH(bool, afterStart);
    CuteButton *b = button(name);
    if (afterStart)
        startLikeState();
    else
        focus(name);
    const QStringList before = snapshot();

    if (bySpace)
        QTest::keyClick(b, Qt::Key_Space);
    else
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 20));

    QCOMPARE(QApplication::focusWidget(), b);
    if (!afterStart) {
        QCOMPARE(snapshot(), before);
        return;
    }
    QCOMPARE(m_w->forTests().valueText(PointInputWindow::Flight), u"0"_s);
    QCOMPARE(b->geometry(), QRect(8, 24, 73, 73));
    QCOMPARE(b->color(), colors::clBtnFace);
    QStringList after = snapshot();
    QCOMPARE(after.mid(1), before.mid(1)); // only flight 0's line changed
}

void TestPointinEntry::otherKeysChangeNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("digit 3") << int(Qt::Key_3);
    QTest::newRow("letter A") << int(Qt::Key_A);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Home") << int(Qt::Key_Home);
}

void TestPointinEntry::otherKeysChangeNothing()
{
    QFETCH(int, key);
    focus(u"Cba15"_s);
    focus(u"cbo10"_s);
    const QStringList before = snapshot();
    QTest::keyClick(button(u"cbo10"_s), Qt::Key(key));
    QCOMPARE(snapshot(), before);
    QCOMPARE(QApplication::focusWidget(), button(u"cbo10"_s));
    QVERIFY(m_w->isVisible());
}

QTEST_MAIN(TestPointinEntry)
#include "tst_pointin_entry.moc"
