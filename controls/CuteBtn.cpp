#include "CuteBtn.h"

#include "keys.h"
#include "messages.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPolygon>

#include <utility>

namespace {

constexpr Qt::KeyboardModifiers s_shiftKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
constexpr Qt::MouseButtons s_shiftButtons = Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;

TShiftState shiftOf(const QMouseEvent *e)
{
    return {e->modifiers() & s_shiftKeys, e->buttons() & s_shiftButtons};
}

TShiftState shiftOf(const QKeyEvent *e)
{
    return {e->modifiers() & s_shiftKeys, {}};
}

// What the keyboard and the mouse hold right now, for enter and leave, which carry neither.
TShiftState currentShift()
{
    return {QGuiApplication::queryKeyboardModifiers() & s_shiftKeys,
            QGuiApplication::mouseButtons() & s_shiftButtons};
}

// The character after the first single "&" of a caption; "&&" stands for a plain "&".
QChar acceleratorOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1];
        ++i;
    }
    return {};
}

// Nested one-pixel rings: left and top in the first colour, right and bottom (with the
// top-right and bottom-left corners) in the second. Shrinks r by the width.
void frame3D(QPainter &p, QRect &r, const QColor &first, const QColor &second, int width)
{
    for (int i = 0; i < width; ++i) {
        if (r.width() > 0 && r.height() > 0) {
            p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), first);
            p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), first);
            p.fillRect(QRect(r.right(), r.top(), 1, r.height()), second);
            p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), second);
        }
        r.adjust(1, 1, -1, -1);
    }
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

// Handlers are copied before the call: a handler may replace itself while it runs.
template<typename Handler, typename... Args>
void fire(TCuteButton *button, const Handler &handler, Args &&...args)
{
    if (!handler)
        return;
    const Handler h = handler;
    messages::guarded(button, [&] { h(button, std::forward<Args>(args)...); });
}

} // namespace

TCuteButtonTimer::TCuteButtonTimer(TCuteButton *button) : QTimer(button), FCuteButton(button)
{
    setSingleShot(true);
    connect(this, &QTimer::timeout, this, &TCuteButtonTimer::tick);
}

void TCuteButtonTimer::tick()
{
    FCuteButton->dropDownTick(this);
}

TCuteButton::TCuteButton(QWidget *owner) : QWidget(owner)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
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

TCuteButton::~TCuteButton()
{
    // The base's destructor can still move the focus; this object is gone by then.
    disconnect(m_focusWatch);
}

QMenu *TCuteButton::dropDownMenu() const
{
    return m_dropDownMenu;
}

// --- properties -------------------------------------------------------------------------

void TCuteButton::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    updateAccelerator();
    update();
}

void TCuteButton::setColor(TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

void TCuteButton::setFontColor(TColor color)
{
    if (m_fontColor == color)
        return;
    m_fontColor = color;
    update();
}

void TCuteButton::setAlignment(Qt::Alignment alignment)
{
    if (m_alignment == alignment)
        return;
    m_alignment = alignment;
    update();
}

void TCuteButton::setBevelWidth(int width)
{
    width = qMax(1, width);
    if (m_bevelWidth == width)
        return;
    m_bevelWidth = width;
    update();
}

void TCuteButton::setBevelOuter(Bevel b)
{
    if (m_bevelOuter == b)
        return;
    m_bevelOuter = b;
    update();
}

void TCuteButton::setBevelInner(Bevel b)
{
    if (m_bevelInner == b)
        return;
    m_bevelInner = b;
    update();
}

void TCuteButton::setBevelHighlightColor(TColor c)
{
    if (m_bevelHighlightColor == c)
        return;
    m_bevelHighlightColor = c;
    update();
}

void TCuteButton::setBevelShadowColor(TColor c)
{
    if (m_bevelShadowColor == c)
        return;
    m_bevelShadowColor = c;
    update();
}

void TCuteButton::setDisabledColor(TColor c)
{
    if (m_disabledColor == c)
        return;
    m_disabledColor = c;
    if (!isEnabled())
        update();
}

void TCuteButton::setDropDownDelay(int ms)
{
    m_dropDownDelay = ms;
}

void TCuteButton::setDropDownMenu(QMenu *menu)
{
    if (m_dropDownMenu == menu)
        return;
    m_dropDownMenu = menu;
    update();
}

void TCuteButton::setEgnoreContClick(bool on)
{
    m_egnoreContClick = on;
}

void TCuteButton::setFlat(bool on)
{
    if (m_flat == on)
        return;
    m_flat = on;
    setBevelInner(on ? Bevel::None : Bevel::Raised);
}

void TCuteButton::setLayout(TextLayout layout)
{
    if (m_layout == layout)
        return;
    m_layout = layout;
    update();
}

void TCuteButton::setMarginX(int x)
{
    x = qMax(-1, x);
    if (m_marginX == x)
        return;
    m_marginX = x;
    update();
}

void TCuteButton::setMarginY(int y)
{
    y = qMax(-1, y);
    if (m_marginY == y)
        return;
    m_marginY = y;
    update();
}

void TCuteButton::setShowFocusRect(bool on)
{
    if (m_showFocusRect == on)
        return;
    m_showFocusRect = on;
    update();
}

void TCuteButton::setTabFocusUp(bool on)
{
    m_tabFocusUp = on;
}

void TCuteButton::setUseDisabledColor(bool on)
{
    if (m_useDisabledColor == on)
        return;
    m_useDisabledColor = on;
    if (!isEnabled())
        update();
}

// The accelerator answers to Alt+letter, and to the plain letter when the focused control
// of the window does not take it as text (Qt asks it through ShortcutOverride first).
void TCuteButton::updateAccelerator()
{
    for (int *id : {&m_altShortcut, &m_plainShortcut}) {
        if (*id)
            releaseShortcut(std::exchange(*id, 0));
    }
    const QChar c = acceleratorOf(m_caption);
    if (c.isNull())
        return;
    const auto key = Qt::Key(c.toUpper().unicode());
    m_altShortcut = grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, key)));
    m_plainShortcut = grabShortcut(QKeySequence(QKeyCombination(key)));
}

// --- painting ---------------------------------------------------------------------------

void TCuteButton::drawBevel(QPainter &p, QRect &r, Bevel bevel) const
{
    const QColor light = colors::toQColor(m_bevelHighlightColor, palette());
    const QColor dark = colors::toQColor(m_bevelShadowColor, palette());
    if (bevel == Bevel::Lowered)
        frame3D(p, r, dark, light, m_bevelWidth);
    else if (bevel == Bevel::Raised)
        frame3D(p, r, light, dark, m_bevelWidth);
}

void TCuteButton::paintEvent(QPaintEvent *)
{
    static const Qt::Alignment s_vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};

    QPainter p(this);
    const QPalette &pal = palette();
    QRect r = rect();
    const TColor face = m_useDisabledColor && !isEnabled() ? m_disabledColor : m_color;
    p.fillRect(r, colors::toQColor(face, pal));
    drawBevel(p, r, m_bevelOuter);
    drawBevel(p, r, m_bevelInner);

    // The caption's place does not depend on the bevels shown, only on Flat.
    const int inset = m_flat ? m_bevelWidth : 2 * m_bevelWidth;
    QRect t = rect().adjusted(inset, inset, -inset, -inset);
    const Qt::Alignment horizontal = m_alignment & Qt::AlignHorizontal_Mask;
    if (m_marginX != -1) {
        if (horizontal == Qt::AlignLeft)
            t.setLeft(t.left() + m_marginX);
        else if (horizontal == Qt::AlignRight)
            t.setRight(t.right() - m_marginX);
    }
    if (m_marginY != -1) {
        if (m_layout == TextLayout::Top)
            t.setTop(t.top() + m_marginY);
        else if (m_layout == TextLayout::Bottom)
            t.setBottom(t.bottom() - m_marginY);
    }
    if (m_bevelOuter == Bevel::Lowered)
        t.adjust(2, 2, 0, 0);

    const int flags =
        Qt::TextSingleLine | Qt::TextShowMnemonic | horizontal | s_vertical[int(m_layout)];
    p.setFont(font());
    if (!isEnabled()) {
        p.setPen(colors::toQColor(colors::clBtnHighlight, pal));
        p.drawText(t.translated(1, 1), flags, m_caption);
        p.setPen(colors::toQColor(colors::clBtnShadow, pal));
    } else {
        p.setPen(colors::toQColor(m_fontColor, pal));
    }
    p.drawText(t, flags, m_caption);

    if (m_showFocusRect && hasFocus())
        drawFocusRect(p, t.adjusted(2, 2, -2, -2));
}

// --- click ------------------------------------------------------------------------------

void TCuteButton::Click()
{
    if (FMenuDropped) {
        FMenuDropped = false;
        return;
    }
    if (!m_egnoreContClick) {
        fire(this, OnClick);
        return;
    }
    // Clicks queued on this button while its handler runs reach an empty handler and are
    // lost; the handler comes back whatever happens, also when it throws.
    struct Reattach
    {
        QPointer<TCuteButton> button;
        NotifyEvent handler;
        ~Reattach()
        {
            if (button)
                button->OnClick = std::move(handler);
        }
    } reattach{this, std::exchange(OnClick, nullptr)};
    if (reattach.handler) {
        fire(this, reattach.handler);
        QCoreApplication::processEvents();
    }
}

// Enter and the accelerator: pressed for the time of the click, then back up.
void TCuteButton::pressClick()
{
    QPointer<TCuteButton> self(this);
    setBevelOuter(Bevel::Lowered);
    if (m_dropDownMenu && m_dropDownDelay == 0)
        DropDown();
    else
        Click();
    if (self)
        setBevelOuter(restingBevel());
}

// --- keyboard ---------------------------------------------------------------------------

bool TCuteButton::keyDown(quint16 &key, TShiftState shift, bool autoRepeat)
{
    const quint16 pressed = key;
    QPointer<TCuteButton> self(this);
    fire(this, OnKeyDown, key, shift);
    if (!self || !isEnabled())
        return false;
    if (pressed != 0 && key == 0)
        return false; // cleared by the handler: no reaction at all
    switch (key) {
    case keys::vkSpace:
        // A held Space can go on repeating after another key cancelled it (X11 does so
        // after a modifier): only a new press presses the button again.
        if (autoRepeat && !FSpaceDown)
            return true;
        FSpaceDown = true;
        setBevelOuter(Bevel::Lowered);
        if (m_dropDownMenu) {
            FDropByKey = true;
            StartDropDown();
        }
        return true;
    case keys::vkReturn:
        pressClick();
        return true;
    default:
        // Any other key cancels a held Space, also one without a key code of its own.
        if (FSpaceDown) {
            FSpaceDown = false;
            setBevelOuter(restingBevel());
        }
        return false;
    }
}

bool TCuteButton::keyUp(quint16 &key, TShiftState shift)
{
    QPointer<TCuteButton> self(this);
    fire(this, OnKeyUp, key, shift);
    if (!self)
        return false;
    discardDropDownTimer();
    if (!FSpaceDown || key != keys::vkSpace)
        return false;
    FSpaceDown = false;
    Click();
    if (self)
        setBevelOuter(restingBevel());
    return true;
}

void TCuteButton::keyPressEvent(QKeyEvent *event)
{
    quint16 key = keys::fromQtKey(event->key());
    const quint16 pressed = key;
    const bool handled = keyDown(key, shiftOf(event), event->isAutoRepeat());
    event->setAccepted(handled || (pressed != 0 && key == 0));
}

void TCuteButton::keyReleaseEvent(QKeyEvent *event)
{
    // X11 repeats a held key as release and press pairs; only the real release counts.
    if (event->isAutoRepeat()) {
        event->setAccepted(event->key() == Qt::Key_Space && FSpaceDown);
        return;
    }
    quint16 key = keys::fromQtKey(event->key());
    event->setAccepted(keyUp(key, shiftOf(event)));
}

// --- mouse ------------------------------------------------------------------------------

void TCuteButton::mouseDown(Qt::MouseButton button, TShiftState shift, int x, int y)
{
    QPointer<TCuteButton> self(this);
    setFocus(Qt::MouseFocusReason);
    if (!self)
        return;
    const bool left = button == Qt::LeftButton;
    if (left) {
        setBevelOuter(Bevel::Lowered);
        // An explicit grab, so that the drop-down timer can tell the press is still held.
        grabMouse();
    }
    fire(this, OnMouseDown, button, shift, x, y);
    if (self && left && m_dropDownMenu) {
        FDropByKey = false;
        StartDropDown();
    }
}

void TCuteButton::mouseUp(Qt::MouseButton button, TShiftState shift, int x, int y)
{
    QPointer<TCuteButton> self(this);
    if (button == Qt::LeftButton) {
        m_pressedInside = false;
        const bool active = m_tabFocusUp && window()->focusWidget() == this;
        setBevelOuter(rect().contains(x, y) || active ? Bevel::Raised : Bevel::None);
    }
    fire(this, OnMouseUp, button, shift, x, y);
    if (!self)
        return;
    discardDropDownTimer();
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
}

void TCuteButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressedInside = true;
    const QPoint at = event->position().toPoint();
    mouseDown(event->button(), shiftOf(event), at.x(), at.y());
    event->accept();
}

// Qt delivers the second press of a double click as this event only. It presses the button
// like any press but never clicks.
void TCuteButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressedInside = false;
    const QPoint at = event->position().toPoint();
    mouseDown(event->button(), shiftOf(event), at.x(), at.y());
    event->accept();
}

void TCuteButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const bool left = event->button() == Qt::LeftButton;
    const bool click = left && std::exchange(m_pressedInside, false) && rect().contains(at);
    // The capture ends before the click, so that a window opened by the handler gets the mouse.
    if (left && QWidget::mouseGrabber() == this)
        releaseMouse();
    QPointer<TCuteButton> self(this);
    if (click)
        Click();
    if (self)
        mouseUp(event->button(), shiftOf(event), at.x(), at.y());
    event->accept();
}

// Qt sends no enter or leave events while a drag is going on, so there is no drag to check.
void TCuteButton::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (!isEnabled())
        return;
    m_hovered = true;
    const QPoint at = mapFromGlobal(QCursor::pos());
    MouseEnter(currentShift(), at.x(), at.y());
}

void TCuteButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!std::exchange(m_hovered, false))
        return;
    const QPoint at = mapFromGlobal(QCursor::pos());
    MouseLeave(currentShift(), at.x(), at.y());
}

void TCuteButton::MouseEnter(TShiftState shift, int x, int y)
{
    QPointer<TCuteButton> self(this);
    fire(this, OnMouseEnter, shift, x, y);
    if (self)
        setBevelOuter(shift.buttons & Qt::LeftButton ? Bevel::Lowered : Bevel::Raised);
}

void TCuteButton::MouseLeave(TShiftState shift, int x, int y)
{
    QPointer<TCuteButton> self(this);
    fire(this, OnMouseLeave, shift, x, y);
    if (self && !(hasFocus() && m_tabFocusUp))
        setBevelOuter(Bevel::None);
}

// --- focus ------------------------------------------------------------------------------

// OnEnter and OnExit follow the window's active control, as on the desktop: a window
// losing activation, or a menu popping up, leaves the active control where it is.
void TCuteButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (!m_entered)
        enterFocus();
}

void TCuteButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    const bool stays = (event->reason() == Qt::ActiveWindowFocusReason ||
                        event->reason() == Qt::PopupFocusReason) &&
                       window()->focusWidget() == this;
    if (m_entered && !stays)
        leaveFocus();
}

void TCuteButton::enterFocus()
{
    m_entered = true;
    if (m_tabFocusUp)
        setBevelOuter(Bevel::Raised);
    fire(this, OnEnter);
}

void TCuteButton::leaveFocus()
{
    m_entered = false;
    QPointer<TCuteButton> self(this);
    fire(this, OnExit);
    if (self)
        setBevelOuter(Bevel::None);
}

// --- other events -----------------------------------------------------------------------

void TCuteButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    // A disabled control gets no mouse input: the pointer no longer counts as over it.
    if (!isEnabled() && std::exchange(m_hovered, false)) {
        const QPoint at = mapFromGlobal(QCursor::pos());
        MouseLeave(currentShift(), at.x(), at.y());
    }
    update();
}

bool TCuteButton::event(QEvent *event)
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

void TCuteButton::StartDropDown()
{
    if (m_dropDownDelay <= 0) {
        DropDown();
        return;
    }
    if (m_dropDownTimer)
        return; // key repeat does not re-arm it
    m_dropDownTimer = new TCuteButtonTimer(this);
    m_dropDownTimer->setInterval(m_dropDownDelay);
    m_dropDownTimer->start();
}

void TCuteButton::discardDropDownTimer()
{
    delete std::exchange(m_dropDownTimer, nullptr);
}

void TCuteButton::dropDownTick(TCuteButtonTimer *timer)
{
    if (m_dropDownTimer == timer)
        m_dropDownTimer = nullptr;
    timer->stop();
    timer->deleteLater();
    if (FDropByKey) {
        DropDown();
        return;
    }
    if (QWidget::mouseGrabber() != this)
        return;
    QPointer<TCuteButton> self(this);
    DropDown();
    if (self && QWidget::mouseGrabber() == this)
        releaseMouse();
}

void TCuteButton::DropDown()
{
    if (!m_dropDownMenu)
        return;
    const QPoint at = mapToGlobal(QPoint(0, height()));
    FMenuDropped = true;
    QPointer<TCuteButton> self(this);
    QCoreApplication::processEvents();
    if (self && m_dropDownMenu)
        m_dropDownMenu->exec(at);
    if (!self)
        return;
    // The menu took the key or mouse release: finish the press as if it had come here.
    if (FDropByKey) {
        quint16 key = keys::vkSpace;
        keyUp(key, {});
    } else {
        mouseUp(Qt::LeftButton, {}, 0, 0);
    }
    if (self)
        FMenuDropped = false;
}
