#include "controls/cutebutton.h"

#include "toolkit/error.h"
#include "toolkit/fonts.h"
#include "toolkit/messages.h"

#include <QApplication>
#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QMetaEnum>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;
using Bevel = CuteButton::Bevel;
using Layout = CuteButton::TextLayout;

namespace {

constexpr TColor s_face = 0x00C08080;
constexpr TColor s_light = 0x00FFFF00;
constexpr TColor s_dark = 0x00800080;
const QPoint s_emptySpot(290, 110); // of the host window

QImage render(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb rgb(TColor c, QWidget *w)
{
    return colors::toQColor(c, w->palette()).rgb();
}

QSet<QPoint> pixelsOf(const QImage &img, QRgb c, int inset = 0)
{
    QSet<QPoint> out;
    for (int y = inset; y < img.height() - inset; ++y) {
        for (int x = inset; x < img.width() - inset; ++x) {
            if (img.pixel(x, y) == c)
                out.insert(QPoint(x, y));
        }
    }
    return out;
}

QRect boundsOf(const QSet<QPoint> &points)
{
    QRect r;
    for (const QPoint &p : points)
        r |= QRect(p, QSize(1, 1));
    return r;
}

void sendKey(QWidget *w, QEvent::Type type, int key, bool autoRepeat = false)
{
    QKeyEvent e(type, key, {}, key == Qt::Key_Space ? u" "_s : QString(), autoRepeat);
    QCoreApplication::sendEvent(w, &e);
}

void sendEnter(QWidget *w)
{
    const QPointF at(3, 3);
    QEnterEvent e(at, at, w->mapToGlobal(at));
    QCoreApplication::sendEvent(w, &e);
}

void postClick(QWidget *w)
{
    const QPointF at = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(at);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                   Qt::LeftButton, Qt::LeftButton, {}));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                   Qt::LeftButton, Qt::NoButton, {}));
}

// Closes the next popup menu once it is up (QMenu::exec blocks until then).
struct MenuWatch
{
    int shown = 0;
    QPoint at;
    QWidget *popup = nullptr;
};

void closeMenuWhenShown(QObject *owner, MenuWatch &watch)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &watch] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            ++watch.shown;
            watch.at = popup->pos();
            watch.popup = popup;
            popup->close();
            timer->stop();
        }
    });
    timer->start(0);
}

} // namespace

// A button whose key-down handler the test sets, as a window's subclass would override it.
class KeyedButton : public CuteButton
{
public:
    using CuteButton::CuteButton;
    std::function<void(quint16 &key)> keyDown;

protected:
    void keyDownEvent(quint16 &key, ShiftState) override
    {
        if (keyDown)
            keyDown(key);
    }
};

class TstCuteButton : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void createdAndMargins();
    void outerBevel_data();
    void outerBevel();
    void hoverThroughWindowSystem();
    void windowSwitchKeepsActiveControl();

    void rings_data();
    void rings();
    void captionPlacement_data();
    void captionPlacement();
    void disabledCaption_data();
    void disabledCaption();
    void focusRect();

    void spaceKey_data();
    void spaceKey();
    void keyboardClick_data();
    void keyboardClick();
    void accelerator_data();
    void accelerator();

    void mouseSequence_data();
    void mouseSequence();
    void taps_data();
    void taps();
    void ignoreContinuousClicks_data();
    void ignoreContinuousClicks();
    void handlerThrows_data();
    void handlerThrows();

    void dropDownAfterDelay_data();
    void dropDownAfterDelay();
    void dropDownAtOnce_data();
    void dropDownAtOnce();
    void dropDownMenuDestroyed();

private:
    QMenu *addMenu(int delay);

    std::unique_ptr<QWidget> m_host;
    KeyedButton *m_button = nullptr;
    CuteButton *m_other = nullptr;
    QLineEdit *m_edit = nullptr;
    int m_clicks = 0;
    QList<Bevel> m_bevelAtClick;
};

// The offscreen platform cannot grab the mouse or raise windows and says so each time.
void TstCuteButton::initTestCase()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (!message.startsWith(u"This plugin does not support"_s))
                previous(type, context, message);
        });
}

void TstCuteButton::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->setGeometry(100, 100, 300, 120);
    m_button = new KeyedButton(m_host.get());
    m_button->move(10, 10);
    m_other = new CuteButton(m_host.get());
    m_other->move(150, 10);
    m_edit = new QLineEdit(m_host.get());
    m_edit->setGeometry(10, 60, 100, 24);
    m_clicks = 0;
    m_bevelAtClick.clear();
    connect(m_button, &CuteButton::clicked, this, [this] {
        ++m_clicks;
        m_bevelAtClick << m_button->bevelOuter();
    });
    m_host->show();
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    m_other->setFocus(); // the button under test starts without the focus
}

void TstCuteButton::cleanup()
{
    messages::setSink({});
    // A press left held by a test must not leak into the next one.
    for (Qt::MouseButton held : {Qt::LeftButton, Qt::RightButton}) {
        if (QGuiApplication::mouseButtons() & held)
            QTest::mouseRelease(m_host->windowHandle(), held, {}, s_emptySpot);
    }
    m_host.reset();
}

QMenu *TstCuteButton::addMenu(int delay)
{
    auto *menu = new QMenu(m_host.get());
    menu->addAction(u"One"_s);
    m_button->setDropDownMenu(menu);
    m_button->setDropDownDelay(delay);
    return menu;
}

void TstCuteButton::createdAndMargins()
{
    CuteButton b;
    QCOMPARE(b.size(), QSize(75, 25));
    QCOMPARE(b.bevelOuter(), Bevel::None);
    QCOMPARE(b.bevelInner(), Bevel::Raised);
    b.setMarginX(-5);
    b.setMarginY(-5);
    QCOMPARE(b.marginX(), -1);
    QCOMPARE(b.marginY(), -1);
    b.setMarginX(0);
    QCOMPARE(b.marginX(), 0);
}

// Actions: hover, hoverHeld (left button held), leave, focus, unfocus, press, releaseIn,
// releaseOut, spaceDown, spaceUp, keyA, enter.
void TstCuteButton::outerBevel_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<bool>("tabFocusUp");
    QTest::addColumn<Bevel>("expected");

    QTest::newRow("created") << u""_s << true << Bevel::None;
    QTest::newRow("pointer enters, left button up") << u"hover"_s << true << Bevel::Raised;
    QTest::newRow("pointer enters, left button held") << u"hoverHeld"_s << true << Bevel::Lowered;
    QTest::newRow("pointer leaves") << u"hover leave"_s << true << Bevel::None;
    QTest::newRow("pointer leaves focused button, TabFocusUp keeps it")
        << u"focus hover leave"_s << true << Bevel::Raised;
    QTest::newRow("pointer leaves focused button without TabFocusUp")
        << u"focus hover leave"_s << false << Bevel::None;
    QTest::newRow("pointer leaves pressed focused button: unchanged")
        << u"press leave"_s << true << Bevel::Lowered;
    QTest::newRow("left press without TabFocusUp") << u"press"_s << false << Bevel::Lowered;
    QTest::newRow("left release inside") << u"press releaseIn"_s << false << Bevel::Raised;
    QTest::newRow("left release outside, focused with TabFocusUp")
        << u"press releaseOut"_s << true << Bevel::Raised;
    QTest::newRow("left release outside without TabFocusUp")
        << u"press releaseOut"_s << false << Bevel::None;
    QTest::newRow("left release outside after the focus moved on")
        << u"press unfocus releaseOut"_s << true << Bevel::None;
    QTest::newRow("focus gained with TabFocusUp") << u"focus"_s << true << Bevel::Raised;
    QTest::newRow("focus gained without TabFocusUp") << u"focus"_s << false << Bevel::None;
    QTest::newRow("focus lost") << u"hover focus unfocus"_s << true << Bevel::None;
    QTest::newRow("Space down") << u"focus spaceDown"_s << true << Bevel::Lowered;
    QTest::newRow("Space up without TabFocusUp")
        << u"hover focus spaceDown spaceUp"_s << false << Bevel::None;
    QTest::newRow("other key while Space is down")
        << u"focus spaceDown keyA"_s << true << Bevel::Raised;
    QTest::newRow("other key while Space is down, no TabFocusUp")
        << u"hover focus spaceDown keyA"_s << false << Bevel::None;
    QTest::newRow("Enter") << u"focus enter"_s << true << Bevel::Raised;
    QTest::newRow("Enter without TabFocusUp") << u"hover focus enter"_s << false << Bevel::None;
}

void TstCuteButton::outerBevel()
{
    QFETCH(QString, actions);
    QFETCH(bool, tabFocusUp);
    QFETCH(Bevel, expected);
    CuteButton *b = m_button;
    b->setTabFocusUp(tabFocusUp);
    for (const QString &a : actions.split(u' ', Qt::SkipEmptyParts)) {
        if (a == u"hover") {
            sendEnter(b);
        } else if (a == u"hoverHeld") {
            QTest::mousePress(m_host->windowHandle(), Qt::LeftButton, {}, s_emptySpot);
            sendEnter(b);
            QTest::mouseRelease(m_host->windowHandle(), Qt::LeftButton, {}, s_emptySpot);
        } else if (a == u"leave") {
            QEvent e(QEvent::Leave);
            QCoreApplication::sendEvent(b, &e);
        } else if (a == u"focus" || a == u"unfocus") {
            (a == u"focus" ? b : m_other)->setFocus();
        } else if (a == u"press") {
            QTest::mousePress(b, Qt::LeftButton);
        } else if (a.startsWith(u"release")) {
            QTest::mouseRelease(b, Qt::LeftButton, {},
                                a == u"releaseIn" ? QPoint() : QPoint(-5, -5));
        } else if (a.startsWith(u"space")) {
            sendKey(b, a == u"spaceDown" ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Space);
        } else if (a == u"keyA") {
            sendKey(b, QEvent::KeyPress, Qt::Key_A);
        } else if (a == u"enter") {
            QTest::keyClick(b, Qt::Key_Return);
        } else {
            QFAIL(qPrintable(u"unknown action "_s + a));
        }
    }
    QCOMPARE(b->bevelOuter(), expected);
}

void TstCuteButton::hoverThroughWindowSystem()
{
    int enters = 0;
    int leaves = 0;
    QPoint enteredAt;
    connect(m_button, &CuteButton::mouseEnter, this, [&](ShiftState shift, int x, int y) {
        ++enters;
        enteredAt = QPoint(x, y);
        QCOMPARE(shift.buttons, Qt::NoButton);
    });
    connect(m_button, &CuteButton::mouseLeave, this, [&] { ++leaves; });
    QTest::mouseMove(m_host.get(), s_emptySpot);
    QTest::mouseMove(m_button, QPoint(12, 7));
    QTRY_COMPARE(enters, 1);
    QCOMPARE(enteredAt, QPoint(12, 7));
    QCOMPARE(m_button->bevelOuter(), Bevel::Raised);
    QTest::mouseMove(m_host.get(), s_emptySpot);
    QTRY_COMPARE(leaves, 1);
    QCOMPARE(m_button->bevelOuter(), Bevel::None);
}

// entered and exited follow the window's active control: switching windows changes nothing,
// but a focus move made while the window was in the background counts when it comes back.
void TstCuteButton::windowSwitchKeepsActiveControl()
{
    int enters = 0;
    int exits = 0;
    connect(m_button, &CuteButton::entered, this, [&] { ++enters; });
    connect(m_button, &CuteButton::exited, this, [&] { ++exits; });
    m_button->setFocus();
    QWidget elsewhere;
    elsewhere.setGeometry(450, 100, 100, 100);
    elsewhere.show();
    auto activate = [](QWidget *w) {
        w->activateWindow();
        return QTest::qWaitForWindowActive(w);
    };
    QVERIFY(activate(&elsewhere));
    QCOMPARE(m_button->bevelOuter(), Bevel::Raised);
    QVERIFY(activate(m_host.get()));
    QCOMPARE(enters, 1);
    QCOMPARE(exits, 0);

    QVERIFY(activate(&elsewhere));
    m_other->setFocus();
    QCOMPARE(exits, 0);
    QVERIFY(activate(m_host.get()));
    QCOMPARE(exits, 1);
    QCOMPARE(m_button->bevelOuter(), Bevel::None);
}

// Pixels "x,y:C", negative coordinates counted from the right or bottom edge (-1 is the last
// pixel); C is H (highlight), S (shadow) or F (face).
void TstCuteButton::rings_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("flat");
    QTest::addColumn<int>("bevelWidth");
    QTest::addColumn<QString>("pixels");

    QTest::newRow("at rest: one raised ring")
        << u"rest"_s << false << 1 << u"0,0:H -1,-1:S -1,0:S 0,-1:S 1,1:F -2,-2:F"_s;
    QTest::newRow("hovered: raised outer ring around the raised inner one")
        << u"hover"_s << false << 1 << u"0,0:H -1,-1:S 1,1:H -2,-2:S -2,1:S 2,2:F"_s;
    QTest::newRow("pressed: lowered outer ring")
        << u"press"_s << false << 1 << u"0,0:S -1,-1:H -1,0:H 0,-1:H 1,1:H -2,-2:S 2,2:F"_s;
    QTest::newRow("flat at rest: no ring") << u"rest"_s << true << 1 << u"0,0:F -1,-1:F -1,0:F"_s;
    QTest::newRow("flat hovered: one raised ring")
        << u"hover"_s << true << 1 << u"0,0:H -1,-1:S 1,1:F -2,-2:F"_s;
    QTest::newRow("bevel width 2 at rest: two nested rings")
        << u"rest"_s << false << 2 << u"0,0:H 1,1:H 2,2:F -1,-1:S -2,-2:S -3,-3:F -2,1:S"_s;
}

void TstCuteButton::rings()
{
    QFETCH(QString, state);
    QFETCH(bool, flat);
    QFETCH(int, bevelWidth);
    QFETCH(QString, pixels);
    CuteButton *b = m_button;
    b->setColor(s_face);
    b->setBevelHighlightColor(s_light);
    b->setBevelShadowColor(s_dark);
    b->setFlat(flat);
    b->setBevelWidth(bevelWidth);
    if (state == u"hover")
        sendEnter(b);
    else if (state == u"press")
        QTest::mousePress(b, Qt::LeftButton);
    const QImage img = render(b);
    const QHash<QChar, TColor> colour{{u'H', s_light}, {u'S', s_dark}, {u'F', s_face}};
    for (const QString &expected : pixels.split(u' ')) {
        const QStringList xy = expected.section(u':', 0, 0).split(u',');
        const int x = xy[0].toInt() < 0 ? img.width() + xy[0].toInt() : xy[0].toInt();
        const int y = xy[1].toInt() < 0 ? img.height() + xy[1].toInt() : xy[1].toInt();
        QVERIFY2(img.pixel(x, y) == rgb(colour[expected.back()], b), qPrintable(expected));
    }
}

void TstCuteButton::captionPlacement_data()
{
    QTest::addColumn<Qt::Alignment>("alignment");
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QPoint>("moved");

    const Qt::Alignment left(Qt::AlignLeft), centre(Qt::AlignHCenter), right(Qt::AlignRight);
    QTest::newRow("pressed centred caption moves one right and one down")
        << centre << Layout::Center << u"press"_s << QPoint(1, 1);
    QTest::newRow("pressed left caption at the top moves two right and two down")
        << left << Layout::Top << u"press"_s << QPoint(2, 2);
    QTest::newRow("pressed right caption at the bottom stays")
        << right << Layout::Bottom << u"press"_s << QPoint(0, 0);
    QTest::newRow("margins move a left caption right")
        << left << Layout::Center << u"margins"_s << QPoint(6, 0);
    QTest::newRow("margins move a right caption left")
        << right << Layout::Center << u"margins"_s << QPoint(-6, 0);
    QTest::newRow("margins move a top caption down")
        << centre << Layout::Top << u"margins"_s << QPoint(0, 6);
    QTest::newRow("margins move a bottom caption up")
        << centre << Layout::Bottom << u"margins"_s << QPoint(0, -6);
    QTest::newRow("a centred caption ignores the margins")
        << centre << Layout::Center << u"margins"_s << QPoint(0, 0);
    QTest::newRow("flat caption sits one bevel width nearer the edge")
        << left << Layout::Top << u"flat"_s << QPoint(-3, -3);
}

// Caption pixels are compared as bounding boxes, with a font drawn without antialiasing.
void TstCuteButton::captionPlacement()
{
    QFETCH(Qt::Alignment, alignment);
    QFETCH(Layout, layout);
    QFETCH(QString, change);
    QFETCH(QPoint, moved);
    CuteButton *b = m_button;
    b->resize(140, 50);
    b->setColor(s_face);
    b->setFontColor(colors::clBlack);
    QFont font = fonts::make(16, true);
    font.setStyleStrategy(QFont::NoAntialias);
    b->setFont(font);
    b->setCaption(u"Hj"_s);
    b->setAlignment(alignment);
    b->setTextLayout(layout);
    b->setBevelWidth(3);
    const QRect before = boundsOf(pixelsOf(render(b), rgb(colors::clBlack, b)));
    QVERIFY(!before.isEmpty());
    if (change == u"press") {
        QTest::mousePress(b, Qt::LeftButton);
    } else if (change == u"margins") {
        b->setMarginX(6);
        b->setMarginY(6);
    } else {
        b->setFlat(true);
    }
    const QRect after = boundsOf(pixelsOf(render(b), rgb(colors::clBlack, b)));
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.topLeft() - before.topLeft(), moved);
}

void TstCuteButton::disabledCaption_data()
{
    QTest::addColumn<bool>("useDisabledColor");
    QTest::addColumn<TColor>("face");
    QTest::newRow("disabled face keeps Color") << false << s_face;
    QTest::newRow("UseDisabledColor paints DisabledColor") << true << TColor(0x00408040);
}

// The caption is drawn twice: in clBtnHighlight one pixel right and down, then in clBtnShadow
// on top, whatever the font colour.
void TstCuteButton::disabledCaption()
{
    QFETCH(bool, useDisabledColor);
    QFETCH(TColor, face);
    CuteButton *b = m_button;
    b->resize(120, 50);
    b->setColor(s_face);
    b->setDisabledColor(0x00408040);
    b->setUseDisabledColor(useDisabledColor);
    b->setBevelHighlightColor(s_light);
    b->setBevelShadowColor(s_dark);
    b->setFontColor(colors::clRed);
    QFont font = fonts::make(28, true);
    font.setStyleStrategy(QFont::NoAntialias);
    b->setFont(font);
    b->setCaption(u"HW"_s);
    b->setEnabled(false);

    const QImage img = render(b);
    QCOMPARE(img.pixel(2, 2), rgb(face, b));
    QVERIFY(pixelsOf(img, rgb(colors::clRed, b)).isEmpty());
    const QSet<QPoint> light = pixelsOf(img, rgb(colors::clBtnHighlight, b), 2);
    const QSet<QPoint> dark = pixelsOf(img, rgb(colors::clBtnShadow, b), 2);
    QVERIFY(light.size() > 20);
    QVERIFY(dark.size() > 20);
    for (const QPoint &p : light)
        QVERIFY2(dark.contains(p - QPoint(1, 1)), "highlight pixel without its shadow pixel");
    QCOMPARE(boundsOf(light).bottomRight(), boundsOf(dark).bottomRight() + QPoint(1, 1));
}

// Dotted, inverted, two pixels inside the caption rectangle, only while focused.
void TstCuteButton::focusRect()
{
    m_button->setColor(s_face);
    m_button->setShowFocusRect(true);
    const QRgb face = rgb(s_face, m_button);
    const QRgb inverted = face ^ 0x00FFFFFF;
    QCOMPARE(render(m_button).pixel(4, 4), face);
    m_button->setFocus();
    const QImage img = render(m_button);
    QCOMPARE(img.pixel(4, 4), inverted);
    QCOMPARE(img.pixel(5, 4), face);
    QCOMPARE(img.pixel(6, 4), inverted);
}

// Keys pressed (+) and released (-) in turn; a trailing * marks an auto-repeated event.
void TstCuteButton::spaceKey_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("handlerClearsA");
    QTest::addColumn<int>("clicks");
    QTest::newRow("Space pressed and released clicks once") << u"+Space -Space"_s << false << 1;
    QTest::newRow("held with X11 auto-repeat: one click, at the release")
        << u"+Space -Space* +Space* -Space* +Space* -Space"_s << false << 1;
    QTest::newRow("held with key-down repeat: one click, at the release")
        << u"+Space +Space* +Space* -Space"_s << false << 1;
    QTest::newRow("another key while Space is held cancels")
        << u"+Space +A -A -Space"_s << false << 0;
    QTest::newRow("another key during auto-repeat cancels")
        << u"+Space -Space* +Space* +A -A -Space"_s << false << 0;
    QTest::newRow("a key cleared by the key-down handler does not cancel")
        << u"+Space +A -A -Space"_s << true << 1;
    QTest::newRow("space held, '.' pressed -> no click on release")
        << u"+Space +. -. -Space"_s << false << 0;
    QTest::newRow("space held, ',' pressed -> no click on release")
        << u"+Space +, -, -Space"_s << false << 0;
    QTest::newRow("space held, '.' held with auto-repeat -> no click on release")
        << u"+Space +. +.* +.* -. -Space"_s << false << 0;
    QTest::newRow("space held, Shift pressed -> no click on release")
        << u"+Space +Shift -Shift -Space"_s << false << 0;
    QTest::newRow("space held, Meta pressed -> no click on release")
        << u"+Space +Meta -Meta -Space"_s << false << 0;
    QTest::newRow("space repeating on after Shift cancelled it -> no click on release")
        << u"+Space +Shift -Space* +Space* -Space* +Space* -Shift -Space"_s << false << 0;
    QTest::newRow("pressed again after a cancel: one click")
        << u"+Space +. -. -Space +Space -Space"_s << false << 1;
}

void TstCuteButton::spaceKey()
{
    static const QHash<QString, int> s_keys = {
        {u"Space"_s, Qt::Key_Space}, {u"A"_s, Qt::Key_A},         {u"."_s, Qt::Key_Period},
        {u","_s, Qt::Key_Comma},     {u"Shift"_s, Qt::Key_Shift}, {u"Meta"_s, Qt::Key_Meta}};
    QFETCH(QString, keys);
    QFETCH(bool, handlerClearsA);
    QFETCH(int, clicks);
    m_button->keyDown = [&](quint16 &key) {
        if (handlerClearsA && key == 'A')
            key = 0;
    };
    m_button->setFocus();
    for (QString step : keys.split(u' ')) {
        QCOMPARE(m_clicks, 0);
        const bool press = step.front() == u'+';
        const bool autoRepeat = step.endsWith(u'*');
        step = step.mid(1, step.size() - (autoRepeat ? 2 : 1));
        QVERIFY2(s_keys.contains(step), qPrintable(step));
        sendKey(m_button, press ? QEvent::KeyPress : QEvent::KeyRelease, s_keys[step], autoRepeat);
    }
    QCOMPARE(m_clicks, clicks);
    QCOMPARE(m_button->bevelOuter(), Bevel::Raised);
}

// Enter clicks at once, pressed during the click; the key-down handler runs first and the
// button reacts to the key code it leaves.
void TstCuteButton::keyboardClick_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("clicks");
    QTest::newRow("Return") << int(Qt::Key_Return) << u""_s << 1;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << u""_s << 1;
    QTest::newRow("Return after the handler moved the focus on")
        << int(Qt::Key_Return) << u"moveFocus"_s << 1;
    QTest::newRow("Return cleared by the handler does nothing")
        << int(Qt::Key_Return) << u"clear"_s << 0;
    QTest::newRow("Space cleared by the handler does nothing")
        << int(Qt::Key_Space) << u"clear"_s << 0;
    QTest::newRow("A turned into Return by the handler clicks")
        << int(Qt::Key_A) << u"enter"_s << 1;
}

void TstCuteButton::keyboardClick()
{
    QFETCH(int, key);
    QFETCH(QString, handler);
    QFETCH(int, clicks);
    int otherClicks = 0;
    connect(m_other, &CuteButton::clicked, this, [&] { ++otherClicks; });
    m_button->keyDown = [&](quint16 &code) {
        QCOMPARE(m_clicks, 0);
        if (handler == u"moveFocus")
            m_other->setFocus();
        else if (handler == u"clear")
            code = 0;
        else if (handler == u"enter")
            code = 13;
    };
    m_button->setFocus();
    const Qt::KeyboardModifiers mods = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyPress(m_button, Qt::Key(key), mods);
    QCOMPARE(m_clicks, clicks);
    QCOMPARE(m_bevelAtClick, QList<Bevel>(clicks, Bevel::Lowered));
    QCOMPARE(m_button->bevelOuter(), Bevel::Raised);
    QCOMPARE(m_button->hasFocus(), handler != u"moveFocus");
    QTest::keyRelease(m_button, Qt::Key(key), mods);
    QCOMPARE(m_clicks, clicks);
    QCOMPARE(otherClicks, 0);
}

void TstCuteButton::accelerator_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("alt");
    QTest::addColumn<bool>("inEdit"); // the focus in the edit box rather than on a button
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("clicks");
    QTest::newRow("Alt+letter clicks") << u"&go"_s << int(Qt::Key_G) << true << false << true << 1;
    QTest::newRow("plain letter with the focus on another button")
        << u"&Go"_s << int(Qt::Key_G) << false << false << true << 1;
    QTest::newRow("plain letter typed into an edit box")
        << u"&Go"_s << int(Qt::Key_G) << false << true << true << 0;
    QTest::newRow("Alt+letter from an edit box")
        << u"&Go"_s << int(Qt::Key_G) << true << true << true << 1;
    QTest::newRow("disabled button ignores its accelerator")
        << u"&Go"_s << int(Qt::Key_G) << true << false << false << 0;
    QTest::newRow("a doubled ampersand is no accelerator")
        << u"A&&B"_s << int(Qt::Key_B) << true << false << true << 0;
}

void TstCuteButton::accelerator()
{
    QFETCH(QString, caption);
    QFETCH(int, key);
    QFETCH(bool, alt);
    QFETCH(bool, inEdit);
    QFETCH(bool, enabled);
    QFETCH(int, clicks);
    m_button->setCaption(caption);
    m_button->setEnabled(enabled);
    QWidget *focus = inEdit ? static_cast<QWidget *>(m_edit) : m_other;
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key(key), alt ? Qt::AltModifier : Qt::NoModifier);
    QCOMPARE(m_clicks, clicks);
    QCOMPARE(m_bevelAtClick, QList<Bevel>(clicks, Bevel::Lowered));
    QCOMPARE(m_button->bevelOuter(), clicks ? Bevel::Raised : Bevel::None);
}

// press, release (inside), releaseOut, dclick (Qt's double-click event), windowDClick (a double
// click through the window system), rpress, rrelease (right button).
void TstCuteButton::mouseSequence_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("log");
    QTest::newRow("click: focus first, click while pressed, then mouse-up")
        << u"press release"_s << u"enter down click:Lowered up"_s;
    QTest::newRow("a click on the focused button raises no focus event")
        << u"press release press release"_s
        << u"enter down click:Lowered up down click:Lowered up"_s;
    QTest::newRow("press released outside gives no click")
        << u"press releaseOut"_s << u"enter down up"_s;
    QTest::newRow("double click gives no second click")
        << u"press release dclick release"_s << u"enter down click:Lowered up down up"_s;
    QTest::newRow("double click through the window system")
        << u"windowDClick"_s << u"enter down click:Lowered up down up"_s;
    QTest::newRow("right button gives no click") << u"rpress rrelease"_s << u"enter down up"_s;
}

void TstCuteButton::mouseSequence()
{
    QFETCH(QString, actions);
    QFETCH(QString, log);
    QStringList seen;
    CuteButton *b = m_button;
    connect(b, &CuteButton::entered, this, [&] { seen << u"enter"_s; });
    connect(b, &CuteButton::mouseDown, this, [&] { seen << u"down"_s; });
    connect(b, &CuteButton::mouseUp, this, [&] { seen << u"up"_s; });
    connect(b, &CuteButton::clicked, this, [&] {
        const char *bevel = QMetaEnum::fromType<Bevel>().valueToKey(int(b->bevelOuter()));
        seen << u"click:"_s + QLatin1StringView(bevel);
    });
    for (const QString &a : actions.split(u' ')) {
        if (a == u"press")
            QTest::mousePress(b, Qt::LeftButton);
        else if (a == u"release")
            QTest::mouseRelease(b, Qt::LeftButton);
        else if (a == u"releaseOut")
            QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(200, 5));
        else if (a == u"dclick")
            QTest::mouseDClick(b, Qt::LeftButton);
        else if (a == u"windowDClick")
            QTest::mouseDClick(m_host->windowHandle(), Qt::LeftButton, {},
                               b->mapTo(m_host.get(), b->rect().center()));
        else if (a == u"rpress")
            QTest::mousePress(b, Qt::RightButton);
        else if (a == u"rrelease")
            QTest::mouseRelease(b, Qt::RightButton);
    }
    QCOMPARE(seen.join(u' '), log);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

// down, up (where it came down), move:dx (from where it came down), on a button whose menu
// drops after 500 ms when menu is set.
void TstCuteButton::taps_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<bool>("menu");
    QTest::addColumn<QString>("log");
    QTest::newRow("a tap acts as a click, once")
        << u"down up"_s << false << u"enter down click:Lowered up"_s;
    QTest::newRow("a finger held still: one click, when it lifts")
        << u"down move:1 move:0 move:2 up"_s << false << u"enter down click:Lowered up"_s;
    QTest::newRow("a double tap gives no second click, as a double click")
        << u"down up down up"_s << false << u"enter down click:Lowered up down up"_s;
    QTest::newRow("a swipe off the button does nothing")
        << u"down move:90 up"_s << false << QString();
    QTest::newRow("a swipe that comes back does nothing")
        << u"down move:40 move:0 up"_s << false << QString();
    QTest::newRow("a touch held on a drop-down button arms nothing, and lifts as a click")
        << u"down up"_s << true << u"enter down click:Lowered up"_s;
}

void TstCuteButton::taps()
{
    QFETCH(QString, actions);
    QFETCH(bool, menu);
    QFETCH(QString, log);
    static QPointingDevice *const s_screen =
        QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
    if (menu)
        addMenu(500);
    QStringList seen;
    CuteButton *b = m_button;
    const QObject watching; // ends the connections with the test
    connect(b, &CuteButton::entered, &watching, [&] { seen << u"enter"_s; });
    connect(b, &CuteButton::mouseDown, &watching, [&] { seen << u"down"_s; });
    connect(b, &CuteButton::mouseUp, &watching, [&] { seen << u"up"_s; });
    connect(b, &CuteButton::clicked, &watching, [&] {
        const char *bevel = QMetaEnum::fromType<Bevel>().valueToKey(int(b->bevelOuter()));
        seen << u"click:"_s + QLatin1StringView(bevel);
    });
    // Away from the button first: a tap of the row before is no first half of a double tap.
    QTest::touchEvent(m_host.get(), s_screen).press(0, s_emptySpot);
    QTest::touchEvent(m_host.get(), s_screen).release(0, s_emptySpot);
    const QPoint at = b->mapTo(m_host.get(), QPoint(8, 8));
    QPoint now = at;
    for (const QString &a : actions.split(u' ')) {
        if (a == u"down")
            QTest::touchEvent(m_host.get(), s_screen).press(0, now = at);
        else if (a == u"up")
            QTest::touchEvent(m_host.get(), s_screen).release(0, now);
        else
            QTest::touchEvent(m_host.get(), s_screen)
                .move(0, now = at + QPoint(a.section(u':', 1).toInt(), 0));
        QCOMPARE(b->forTests().dropDownTimer(), nullptr);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    }
    QCOMPARE(seen.join(u' '), log);
    QCOMPARE(b->hasFocus(), !log.isEmpty());
    QVERIFY(b->bevelOuter() != Bevel::Lowered); // nothing is left drawn pressed
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

void TstCuteButton::ignoreContinuousClicks_data()
{
    QTest::addColumn<bool>("ignore");
    QTest::addColumn<int>("runs");
    QTest::newRow("ignoreContinuousClicks drops clicks queued during the handler") << true << 1;
    QTest::newRow("without it they run after the handler returns") << false << 3;
}

void TstCuteButton::ignoreContinuousClicks()
{
    QFETCH(bool, ignore);
    QFETCH(int, runs);
    m_button->setIgnoreContinuousClicks(ignore);
    int calls = 0;
    int depth = 0;
    int maxDepth = 0;
    int otherCalls = 0;
    connect(m_other, &CuteButton::clicked, this, [&] { ++otherCalls; });
    connect(m_button, &CuteButton::clicked, this, [&] {
        maxDepth = qMax(maxDepth, ++depth);
        if (++calls == 1) {
            postClick(m_button);
            postClick(m_button);
            postClick(m_other);
        }
        --depth;
    });
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(otherCalls, ignore ? 1 : 0); // clicks elsewhere run normally meanwhile
    QCoreApplication::processEvents();
    QCOMPARE(calls, runs);
    QCOMPARE(otherCalls, 1);
    QCOMPARE(maxDepth, 1);
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(calls, runs + 1);
}

void TstCuteButton::handlerThrows_data()
{
    QTest::addColumn<bool>("ignore");
    QTest::newRow("ignoreContinuousClicks on") << true;
    QTest::newRow("ignoreContinuousClicks off") << false;
}

void TstCuteButton::handlerThrows()
{
    QFETCH(bool, ignore);
    QStringList reports;
    messages::setSink([&](messages::Kind kind, const QString &text) {
        QCOMPARE(kind, messages::Kind::Error);
        reports << text;
    });
    m_button->setIgnoreContinuousClicks(ignore);
    int calls = 0;
    const QMetaObject::Connection reported =
        messages::connectGuarded(m_button, &CuteButton::clicked, m_host.get(), [&] {
            ++calls;
            throw Error(u"boom"_s);
        });
    QTest::mouseClick(m_button, Qt::LeftButton);
    QTest::keyClick(m_button, Qt::Key_Return);
    QCOMPARE(calls, 2);
    QCOMPARE(reports, QStringList({u"boom"_s, u"boom"_s}));
    QCOMPARE(m_button->bevelOuter(), Bevel::Raised);

    // An exception the error report does not take leaves the button clicking all the same.
    disconnect(reported);
    const QMetaObject::Connection thrown =
        connect(m_button, &CuteButton::clicked, this, [&] { throw ++calls; });
    QVERIFY_THROWS_EXCEPTION(int, m_button->click());
    disconnect(thrown);
    const int before = m_clicks;
    m_button->click();
    QCOMPARE(m_clicks, before + 1);
}

void TstCuteButton::dropDownAfterDelay_data()
{
    QTest::addColumn<bool>("bySpace");
    QTest::addColumn<bool>("held"); // the timer fires before the release
    QTest::addColumn<bool>("captureLost");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("clicks");
    QTest::newRow("held left press opens the menu, no click") << false << true << false << 1 << 0;
    QTest::newRow("short left press clicks") << false << false << false << 0 << 1;
    QTest::newRow("held Space opens the menu, no click") << true << true << false << 1 << 0;
    QTest::newRow("short Space press clicks") << true << false << false << 0 << 1;
    QTest::newRow("press that lost the capture opens nothing") << false << true << true << 0 << 1;
}

void TstCuteButton::dropDownAfterDelay()
{
    QFETCH(bool, bySpace);
    QFETCH(bool, held);
    QFETCH(bool, captureLost);
    QFETCH(int, shown);
    QFETCH(int, clicks);
    QMenu *menu = addMenu(500);
    m_button->setFocus();
    if (bySpace) {
        sendKey(m_button, QEvent::KeyPress, Qt::Key_Space);
    } else {
        QTest::mousePress(m_button, Qt::LeftButton);
        QCOMPARE(QWidget::mouseGrabber(), m_button);
    }
    QPointer<QTimer> timer = m_button->forTests().dropDownTimer();
    QVERIFY(timer && timer->isActive() && timer->isSingleShot());
    QCOMPARE(timer->interval(), 500);
    if (bySpace) {
        sendKey(m_button, QEvent::KeyPress, Qt::Key_Space, true);
        QCOMPARE(m_button->forTests().dropDownTimer(),
                 timer.data()); // key repeat does not re-arm it
    }
    if (captureLost)
        m_button->releaseMouse();
    MenuWatch watch;
    closeMenuWhenShown(m_host.get(), watch);
    if (held)
        m_button->forTests().fireDropDownTimer();
    if (bySpace)
        sendKey(m_button, QEvent::KeyRelease, Qt::Key_Space);
    else
        QTest::mouseRelease(m_button, Qt::LeftButton);
    QCOMPARE(watch.shown, shown);
    QCOMPARE(m_clicks, clicks);
    QVERIFY(!m_button->forTests().dropDownTimer());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!timer);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    if (shown) {
        QCOMPARE(watch.popup, static_cast<QWidget *>(menu));
        QCOMPARE(watch.at, m_button->mapToGlobal(QPoint(0, m_button->height())));
    }
}

void TstCuteButton::dropDownAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("left press") << u"mouse"_s;
    QTest::newRow("Space") << u"space"_s;
    QTest::newRow("Enter opens the menu instead of clicking") << u"enter"_s;
    QTest::newRow("accelerator opens the menu instead of clicking") << u"accel"_s;
}

void TstCuteButton::dropDownAtOnce()
{
    QFETCH(QString, how);
    addMenu(0);
    m_button->setCaption(u"&Menu"_s);
    m_button->setFocus();
    MenuWatch watch;
    closeMenuWhenShown(m_host.get(), watch);
    if (how == u"mouse")
        QTest::mouseClick(m_button, Qt::LeftButton);
    else if (how == u"space")
        QTest::keyClick(m_button, Qt::Key_Space);
    else if (how == u"enter")
        QTest::keyClick(m_button, Qt::Key_Return);
    else
        QTest::keyClick(m_button, Qt::Key_M, Qt::AltModifier);
    QCOMPARE(watch.shown, 1);
    QCOMPARE(m_clicks, 0);
    QCOMPARE(m_button->bevelOuter(), Bevel::Raised);
}

void TstCuteButton::dropDownMenuDestroyed()
{
    delete addMenu(0);
    QCOMPARE(m_button->dropDownMenu(), nullptr);
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(m_clicks, 1);
}

QTEST_MAIN(TstCuteButton)
#include "tst_cutebutton.moc"
