#include "controls/cutebutton.h"

#include "toolkit/keys.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPolygon>
#include <QTimer>

#include <utility>

namespace {

constexpr Qt::KeyboardModifiers s_shiftKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
constexpr Qt::MouseButtons s_shiftButtons = Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;

ShiftState shiftOf(const QMouseEvent *e)
{
    return {e->modifiers() & s_shiftKeys, e->buttons() & s_shiftButtons};
}

// Qt and Windows turn a touch that no widget takes as such into mouse events.
bool fromTouch(const QMouseEvent *e)
{
    return e->source() != Qt::MouseEventNotSynthesized ||
           e->pointingDevice()->type() == QInputDevice::DeviceType::TouchScreen;
}

ShiftState shiftOf(const QKeyEvent *e)
{
    return {e->modifiers() & s_shiftKeys, {}};
}

// What the keyboard and the mouse hold right now, for enter and leave, which carry neither.
ShiftState currentShift()
{
    return {QGuiApplication::queryKeyboardModifiers() & s_shiftKeys,
            QGuiApplication::mouseButtons() & s_shiftButtons};
}

// Every other pixel of the border inverted, so that drawing it twice removes it.
void drawFocusRect(QPainter &p, const QRect &r)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    QPolygon dots;
    auto dot = [&dots](int x, int y) {
        if ((x + y) % 2 == 0)
            dots << QPoint(x, y);
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        dot(x, r.top());
        if (r.bottom() != r.top())
            dot(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        dot(r.left(), y);
        if (r.right() != r.left())
            dot(r.right(), y);
    }
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 0));
    p.drawPoints(dots);
    p.restore();
}

} // namespace

// One-shot timer that opens a button's drop-down menu after a held press; the button owns it,
// so that a timer still armed goes with the button.
class DropDownTimer : public QTimer
{
public:
    explicit DropDownTimer(CuteButton *button) : QTimer(button), m_button(button)
    {
        setSingleShot(true);
        connect(this, &QTimer::timeout, this, &DropDownTimer::tick);
    }
    void tick() { m_button->dropDownTick(this); }

private:
    CuteButton *m_button;
};

QTimer *CuteButton::ForTests::dropDownTimer() const
{
    return m_button.m_dropDownTimer;
}

void CuteButton::ForTests::fireDropDownTimer()
{
    if (m_button.m_dropDownTimer)
        m_button.m_dropDownTimer->tick();
}

CuteButton::CuteButton(QWidget *owner) : BevelledWidget(Bevel::None, Bevel::Raised, owner)
{
    // Tab, and the button's own press handling: Qt's focus on a press would also come with a
    // touch that ends as a swipe, which must not focus (choose) the button it began on.
    setFocusPolicy(Qt::TabFocus);
    resize(75, 25);
    // The focus can move inside a window while another window is active; the old control
    // learns of it only when its window comes back.
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        m_focusWatch =
            connect(app, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
                if (m_entered && now && now != this && now->window() == window())
                    leaveFocus();
            });
    }
}

CuteButton::~CuteButton()
{
    // The base's destructor can still move the focus; this object is gone by then.
    disconnect(m_focusWatch);
}

QMenu *CuteButton::dropDownMenu() const
{
    return m_dropDownMenu;
}

// --- properties -------------------------------------------------------------------------

template<class T> bool CuteButton::store(T &member, const T &value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}

void CuteButton::propertyChanged()
{
    update();
}

void CuteButton::setFontColor(TColor color)
{
    if (store(m_fontColor, color))
        propertyChanged();
}

void CuteButton::setAlignment(Qt::Alignment alignment)
{
    if (store(m_alignment, alignment))
        propertyChanged();
}

void CuteButton::setBevelHighlightColor(TColor c)
{
    if (store(m_bevelHighlightColor, c))
        propertyChanged();
}

void CuteButton::setBevelShadowColor(TColor c)
{
    if (store(m_bevelShadowColor, c))
        propertyChanged();
}

void CuteButton::setDisabledColor(TColor c)
{
    if (store(m_disabledColor, c))
        propertyChanged();
}

void CuteButton::setDropDownDelay(int ms)
{
    if (store(m_dropDownDelay, ms))
        propertyChanged();
}

void CuteButton::setDropDownMenu(QMenu *menu)
{
    if (m_dropDownMenu == menu)
        return;
    m_dropDownMenu = menu;
    propertyChanged();
}

void CuteButton::setIgnoreContinuousClicks(bool on)
{
    if (store(m_ignoreContinuousClicks, on))
        propertyChanged();
}

void CuteButton::setFlat(bool on)
{
    if (!store(m_flat, on))
        return;
    setBevelInner(on ? Bevel::None : Bevel::Raised);
    propertyChanged();
}

void CuteButton::setTextLayout(TextLayout layout)
{
    if (store(m_textLayout, layout))
        propertyChanged();
}

// Margins below -1 mean none, as -1 does.
void CuteButton::setMarginX(int x)
{
    if (store(m_marginX, qMax(-1, x)))
        propertyChanged();
}

void CuteButton::setMarginY(int y)
{
    if (store(m_marginY, qMax(-1, y)))
        propertyChanged();
}

void CuteButton::setShowFocusRect(bool on)
{
    if (store(m_showFocusRect, on))
        propertyChanged();
}

// Takes effect at the next event that moves the outer ring.
void CuteButton::setTabFocusUp(bool on)
{
    if (store(m_tabFocusUp, on))
        propertyChanged();
}

void CuteButton::setUseDisabledColor(bool on)
{
    if (store(m_useDisabledColor, on))
        propertyChanged();
}

void CuteButton::captionChanged()
{
    updateAccelerator();
}

// The accelerator answers to Alt+letter, and to the plain letter when the focused control
// of the window does not take it as text (Qt asks it through ShortcutOverride first).
void CuteButton::updateAccelerator()
{
    for (int *id : {&m_altShortcut, &m_plainShortcut}) {
        if (*id)
            releaseShortcut(std::exchange(*id, 0));
    }
    const QKeySequence withAlt = QKeySequence::mnemonic(caption());
    if (withAlt.isEmpty())
        return;
    m_altShortcut = grabShortcut(withAlt);
    m_plainShortcut = grabShortcut(QKeySequence(withAlt[0].key()));
}

// --- painting ---------------------------------------------------------------------------

TColor CuteButton::faceColor() const
{
    return m_useDisabledColor && !isEnabled() ? m_disabledColor : color();
}

// Where the caption goes: inside both rings whatever they show (only Flat counts), moved by
// the margins of its alignment and, while pressed, two pixels in from the top left.
QRect CuteButton::captionRect() const
{
    const int inset = m_flat ? bevelWidth() : 2 * bevelWidth();
    QRect t = rect().adjusted(inset, inset, -inset, -inset);
    const Qt::Alignment horizontal = m_alignment & Qt::AlignHorizontal_Mask;
    if (m_marginX != -1) {
        if (horizontal == Qt::AlignLeft)
            t.setLeft(t.left() + m_marginX);
        else if (horizontal == Qt::AlignRight)
            t.setRight(t.right() - m_marginX);
    }
    if (m_marginY != -1) {
        if (m_textLayout == TextLayout::Top)
            t.setTop(t.top() + m_marginY);
        else if (m_textLayout == TextLayout::Bottom)
            t.setBottom(t.bottom() - m_marginY);
    }
    if (bevelOuter() == Bevel::Lowered)
        t.adjust(2, 2, 0, 0);
    return t;
}

int CuteButton::captionFlags() const
{
    static const Qt::Alignment s_vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    return Qt::TextSingleLine | Qt::TextShowMnemonic | (m_alignment & Qt::AlignHorizontal_Mask) |
           s_vertical[int(m_textLayout)];
}

// Engraved while disabled: in the highlight one pixel down and right, the shadow on top.
void CuteButton::drawCaption(QPainter &p, const QRect &t) const
{
    const QPalette &pal = palette();
    const int flags = captionFlags();
    p.setFont(font());
    if (!isEnabled()) {
        p.setPen(colors::toQColor(colors::clBtnHighlight, pal));
        p.drawText(t.translated(1, 1), flags, caption());
        p.setPen(colors::toQColor(colors::clBtnShadow, pal));
    } else {
        p.setPen(colors::toQColor(m_fontColor, pal));
    }
    p.drawText(t, flags, caption());
}

void CuteButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    p.fillRect(rect(), colors::toQColor(faceColor(), pal));
    drawBevels(p, rect(), colors::toQColor(m_bevelHighlightColor, pal),
               colors::toQColor(m_bevelShadowColor, pal));
    const QRect t = captionRect();
    drawCaption(p, t);
    if (m_showFocusRect && hasFocus())
        drawFocusRect(p, t.adjusted(2, 2, -2, -2));
}

// --- click ------------------------------------------------------------------------------

void CuteButton::click()
{
    if (m_menuDropped) {
        m_menuDropped = false;
        return;
    }
    if (!m_ignoreContinuousClicks) {
        Q_EMIT clicked();
        return;
    }
    // Clicks queued on this button while its handlers run are lost; the next click counts
    // again whatever happens, also when a handler throws.
    if (m_clicking)
        return;
    struct Clicking
    {
        QPointer<CuteButton> button;
        ~Clicking()
        {
            if (button)
                button->m_clicking = false;
        }
    } clicking{this};
    m_clicking = true;
    Q_EMIT clicked();
    QCoreApplication::processEvents();
}

// Enter and the accelerator: pressed for the time of the click, then back up.
void CuteButton::pressClick()
{
    QPointer<CuteButton> self(this);
    setBevelOuter(Bevel::Lowered);
    if (m_dropDownMenu && m_dropDownDelay == 0)
        dropDown();
    else
        click();
    if (self)
        setBevelOuter(restingBevel());
}

// --- keyboard ---------------------------------------------------------------------------

void CuteButton::keyDownEvent(quint16 &, ShiftState) {}

void CuteButton::keyUpEvent(quint16 &, ShiftState) {}

bool CuteButton::handleKeyDown(quint16 &key, ShiftState shift, bool autoRepeat)
{
    const quint16 pressed = key;
    QPointer<CuteButton> self(this);
    keyDownEvent(key, shift);
    if (!self || !isEnabled())
        return false;
    if (pressed != 0 && key == 0)
        return false; // cleared by the handler: no reaction at all
    switch (key) {
    case keys::vkSpace:
        // A held Space can go on repeating after another key cancelled it (X11 does so
        // after a modifier): only a new press presses the button again.
        if (autoRepeat && !m_spaceDown)
            return true;
        m_spaceDown = true;
        setBevelOuter(Bevel::Lowered);
        if (m_dropDownMenu) {
            m_dropByKey = true;
            startDropDown();
        }
        return true;
    case keys::vkReturn:
        pressClick();
        return true;
    default:
        // Any other key cancels a held Space, also one without a key code of its own.
        if (m_spaceDown) {
            m_spaceDown = false;
            setBevelOuter(restingBevel());
        }
        return false;
    }
}

bool CuteButton::handleKeyUp(quint16 &key, ShiftState shift)
{
    QPointer<CuteButton> self(this);
    keyUpEvent(key, shift);
    if (!self)
        return false;
    discardDropDownTimer();
    if (!m_spaceDown || key != keys::vkSpace)
        return false;
    m_spaceDown = false;
    click();
    if (self)
        setBevelOuter(restingBevel());
    return true;
}

void CuteButton::keyPressEvent(QKeyEvent *event)
{
    quint16 key = keys::fromQtKey(event->key());
    const quint16 pressed = key;
    const bool handled = handleKeyDown(key, shiftOf(event), event->isAutoRepeat());
    event->setAccepted(handled || (pressed != 0 && key == 0));
}

void CuteButton::keyReleaseEvent(QKeyEvent *event)
{
    // X11 repeats a held key as release and press pairs; only the real release counts.
    if (event->isAutoRepeat()) {
        event->setAccepted(event->key() == Qt::Key_Space && m_spaceDown);
        return;
    }
    quint16 key = keys::fromQtKey(event->key());
    event->setAccepted(handleKeyUp(key, shiftOf(event)));
}

// --- mouse ------------------------------------------------------------------------------

void CuteButton::handleMouseDown(Qt::MouseButton button, ShiftState shift, int x, int y)
{
    QPointer<CuteButton> self(this);
    setFocus(Qt::MouseFocusReason);
    if (!self)
        return;
    const bool left = button == Qt::LeftButton;
    if (left) {
        setBevelOuter(Bevel::Lowered);
        // An explicit grab, so that the drop-down timer can tell the press is still held.
        grabMouse();
    }
    Q_EMIT mouseDown(button, shift, x, y);
    if (self && left && m_dropDownMenu) {
        m_dropByKey = false;
        startDropDown();
    }
}

void CuteButton::handleMouseUp(Qt::MouseButton button, ShiftState shift, int x, int y)
{
    QPointer<CuteButton> self(this);
    if (button == Qt::LeftButton) {
        m_pressedInside = false;
        const bool active = m_tabFocusUp && window()->focusWidget() == this;
        setBevelOuter(hitTest(QPoint(x, y)) || active ? Bevel::Raised : Bevel::None);
    }
    Q_EMIT mouseUp(button, shift, x, y);
    if (!self)
        return;
    discardDropDownTimer();
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
}

void CuteButton::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (fromTouch(event))
        return touchDown(event, false);
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        m_pressedInside = hitTest(at);
    handleMouseDown(event->button(), shiftOf(event), at.x(), at.y());
}

// Qt delivers the second press of a double click as this event only. It presses the button
// like any press but never clicks.
void CuteButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (fromTouch(event))
        return touchDown(event, true);
    if (event->button() == Qt::LeftButton)
        m_pressedInside = false;
    const QPoint at = event->position().toPoint();
    handleMouseDown(event->button(), shiftOf(event), at.x(), at.y());
}

void CuteButton::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (m_touch && (event->position().toPoint() - m_touch->at).manhattanLength() >
                       QApplication::startDragDistance())
        cancelTouch();
}

void CuteButton::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (fromTouch(event))
        return touchUp(event);
    release(event->button(), shiftOf(event), event->position().toPoint());
}

void CuteButton::release(Qt::MouseButton button, ShiftState shift, const QPoint &at)
{
    const bool left = button == Qt::LeftButton;
    const bool clicked = left && std::exchange(m_pressedInside, false) && hitTest(at);
    // The capture ends before the click, so that a window opened by the handler gets the mouse.
    if (left && QWidget::mouseGrabber() == this)
        releaseMouse();
    QPointer<CuteButton> self(this);
    if (clicked)
        click();
    if (self)
        handleMouseUp(button, shift, at.x(), at.y());
}

// Only the left button counts: Windows makes a held touch a right click.
void CuteButton::touchDown(const QMouseEvent *event, bool secondTap)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    m_touch = Touch{event->position().toPoint(), secondTap, bevelOuter()};
    setBevelOuter(Bevel::Lowered); // the finger is seen, nothing is done yet
}

void CuteButton::cancelTouch()
{
    setBevelOuter(m_touch->before);
    m_touch.reset();
}

// A tap is the click it stands for: the press where the finger lifted, then the release.
void CuteButton::touchUp(const QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !m_touch)
        return;
    if (!hitTest(at))
        return cancelTouch();
    const bool secondTap = m_touch->secondTap;
    setBevelOuter(m_touch->before);
    m_touch.reset();
    const Qt::KeyboardModifiers keys = event->modifiers() & s_shiftKeys;
    // A menu that drops at once takes the release, as it does from the mouse.
    const bool menuTakesRelease = m_dropDownMenu && m_dropDownDelay <= 0;
    m_pressedInside = !secondTap && !menuTakesRelease;
    QPointer<CuteButton> self(this);
    handleMouseDown(Qt::LeftButton, {keys, Qt::LeftButton}, at.x(), at.y());
    if (self && !menuTakesRelease)
        release(Qt::LeftButton, {keys, {}}, at);
}

// Qt sends no enter or leave events while a drag is going on, so there is no drag to check.
void CuteButton::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (!isEnabled())
        return;
    m_hovered = true;
    const QPoint at = mapFromGlobal(QCursor::pos());
    mouseEntered(currentShift(), at.x(), at.y());
}

void CuteButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!std::exchange(m_hovered, false))
        return;
    const QPoint at = mapFromGlobal(QCursor::pos());
    mouseLeft(currentShift(), at.x(), at.y());
}

void CuteButton::mouseEntered(ShiftState shift, int x, int y)
{
    QPointer<CuteButton> self(this);
    Q_EMIT mouseEnter(shift, x, y);
    if (self)
        setBevelOuter(shift.buttons & Qt::LeftButton ? Bevel::Lowered : Bevel::Raised);
}

void CuteButton::mouseLeft(ShiftState shift, int x, int y)
{
    QPointer<CuteButton> self(this);
    Q_EMIT mouseLeave(shift, x, y);
    if (self && !(hasFocus() && m_tabFocusUp))
        setBevelOuter(Bevel::None);
}

// --- focus ------------------------------------------------------------------------------

// entered and exited follow the window's active control, as on the desktop: a window
// losing activation, or a menu popping up, leaves the active control where it is.
void CuteButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (!m_entered)
        enterFocus();
}

void CuteButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    const bool stays = (event->reason() == Qt::ActiveWindowFocusReason ||
                        event->reason() == Qt::PopupFocusReason) &&
                       window()->focusWidget() == this;
    if (m_entered && !stays)
        leaveFocus();
}

void CuteButton::enterFocus()
{
    m_entered = true;
    if (m_tabFocusUp)
        setBevelOuter(Bevel::Raised);
    Q_EMIT entered();
}

void CuteButton::leaveFocus()
{
    m_entered = false;
    QPointer<CuteButton> self(this);
    Q_EMIT exited();
    if (self)
        setBevelOuter(Bevel::None);
}

// --- other events -----------------------------------------------------------------------

void CuteButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    if (!isEnabled() && m_touch)
        cancelTouch();
    // A disabled control gets no mouse input: the pointer no longer counts as over it.
    if (!isEnabled() && std::exchange(m_hovered, false)) {
        const QPoint at = mapFromGlobal(QCursor::pos());
        mouseLeft(currentShift(), at.x(), at.y());
    }
    update();
}

bool CuteButton::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut) {
        const int id = static_cast<QShortcutEvent *>(event)->shortcutId();
        const bool parentVisible = parentWidget() ? parentWidget()->isVisible() : isVisible();
        if (id != 0 && (id == m_altShortcut || id == m_plainShortcut) && isEnabled() &&
            parentVisible) {
            pressClick();
            return true;
        }
    }
    return QWidget::event(event);
}

// --- drop-down --------------------------------------------------------------------------

void CuteButton::startDropDown()
{
    if (m_dropDownDelay <= 0) {
        dropDown();
        return;
    }
    if (m_dropDownTimer)
        return; // key repeat does not re-arm it
    m_dropDownTimer = new DropDownTimer(this);
    m_dropDownTimer->setInterval(m_dropDownDelay);
    m_dropDownTimer->start();
}

void CuteButton::discardDropDownTimer()
{
    delete std::exchange(m_dropDownTimer, nullptr);
}

void CuteButton::dropDownTick(DropDownTimer *timer)
{
    if (m_dropDownTimer == timer)
        m_dropDownTimer = nullptr;
    timer->stop();
    timer->deleteLater();
    if (m_dropByKey) {
        dropDown();
        return;
    }
    if (QWidget::mouseGrabber() != this)
        return;
    QPointer<CuteButton> self(this);
    dropDown();
    if (self && QWidget::mouseGrabber() == this)
        releaseMouse();
}

void CuteButton::dropDown()
{
    if (!m_dropDownMenu)
        return;
    const QPoint at = mapToGlobal(QPoint(0, height()));
    m_menuDropped = true;
    QPointer<CuteButton> self(this);
    QCoreApplication::processEvents();
    if (self && m_dropDownMenu)
        m_dropDownMenu->exec(at);
    if (!self)
        return;
    // The menu took the key or mouse release: finish the press as if it had come here.
    if (m_dropByKey) {
        quint16 key = keys::vkSpace;
        handleKeyUp(key, {});
    } else {
        handleMouseUp(Qt::LeftButton, {}, 0, 0);
    }
    if (self)
        m_menuDropped = false;
}
