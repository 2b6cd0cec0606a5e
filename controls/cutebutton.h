#pragma once

#include "toolkit/bevelledwidget.h"

#include <QPointer>

#include <optional>

class QMenu;
class QTimer;
class DropDownTimer;

// The held modifiers and mouse buttons of an event.
struct ShiftState
{
    Qt::KeyboardModifiers keys;
    Qt::MouseButtons buttons;
    bool operator==(const ShiftState &) const = default;
};
Q_DECLARE_METATYPE(ShiftState)

// The custom-drawn push button behind every command and value button. It paints itself
// entirely: a face, an outer and an inner bevel ring (rest, hover, focus, press) and a
// one-line caption, engraved while disabled.
class CuteButton : public BevelledWidget
{
    Q_OBJECT
    Q_PROPERTY(TColor fontColor READ fontColor WRITE setFontColor)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(TColor bevelHighlightColor READ bevelHighlightColor WRITE setBevelHighlightColor)
    Q_PROPERTY(TColor bevelShadowColor READ bevelShadowColor WRITE setBevelShadowColor)
    Q_PROPERTY(TColor disabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(int dropDownDelay READ dropDownDelay WRITE setDropDownDelay)
    Q_PROPERTY(
        bool ignoreContinuousClicks READ ignoreContinuousClicks WRITE setIgnoreContinuousClicks)
    Q_PROPERTY(bool flat READ flat WRITE setFlat)
    Q_PROPERTY(TextLayout textLayout READ textLayout WRITE setTextLayout)
    Q_PROPERTY(int marginX READ marginX WRITE setMarginX)
    Q_PROPERTY(int marginY READ marginY WRITE setMarginY)
    Q_PROPERTY(bool showFocusRect READ showFocusRect WRITE setShowFocusRect)
    Q_PROPERTY(bool tabFocusUp READ tabFocusUp WRITE setTabFocusUp)
    Q_PROPERTY(bool useDisabledColor READ useDisabledColor WRITE setUseDisabledColor)
public:
    enum class TextLayout
    {
        Top,
        Center,
        Bottom
    };
    Q_ENUM(TextLayout)

    explicit CuteButton(QWidget *owner = nullptr);
    ~CuteButton() override;

    // Base properties beside those of BevelledWidget.
    TColor fontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    Qt::Alignment alignment() const { return m_alignment; } // AlignLeft, AlignHCenter or AlignRight
    void setAlignment(Qt::Alignment alignment);

    // Properties of its own.
    TColor bevelHighlightColor() const { return m_bevelHighlightColor; }
    void setBevelHighlightColor(TColor c);
    TColor bevelShadowColor() const { return m_bevelShadowColor; }
    void setBevelShadowColor(TColor c);
    TColor disabledColor() const { return m_disabledColor; }
    void setDisabledColor(TColor c);
    int dropDownDelay() const { return m_dropDownDelay; }
    void setDropDownDelay(int ms);
    QMenu *dropDownMenu() const;
    void setDropDownMenu(QMenu *menu);
    bool ignoreContinuousClicks() const { return m_ignoreContinuousClicks; }
    void setIgnoreContinuousClicks(bool on);
    bool flat() const { return m_flat; }
    void setFlat(bool on);
    TextLayout textLayout() const { return m_textLayout; }
    void setTextLayout(TextLayout layout);
    int marginX() const { return m_marginX; }
    void setMarginX(int x);
    int marginY() const { return m_marginY; }
    void setMarginY(int y);
    bool showFocusRect() const { return m_showFocusRect; }
    void setShowFocusRect(bool on);
    bool tabFocusUp() const { return m_tabFocusUp; }
    void setTabFocusUp(bool on);
    bool useDisabledColor() const { return m_useDisabledColor; }
    void setUseDisabledColor(bool on);

    // The click notification: what a mouse click, Enter, Space and the accelerator raise.
    virtual void click();
    virtual void startDropDown();
    virtual void dropDown();

    QSize sizeHint() const override { return QSize(75, 25); }

    // For tests only: the terminal calls none of these.
    class ForTests
    {
    public:
        // The armed drop-down timer, or null.
        QTimer *dropDownTimer() const;
        // What the drop-down timer's tick does, without waiting for it.
        void fireDropDownTimer();

    private:
        friend class CuteButton;
        explicit ForTests(CuteButton &button) : m_button(button) {}
        CuteButton &m_button;
    };
    ForTests forTests() { return ForTests(*this); }

Q_SIGNALS:
    // The button's events. Windows connect them through messages::connectGuarded, the one
    // boundary between the event loop and their handlers.
    void clicked();
    void entered(); // became the window's active control
    void exited();
    void mouseDown(Qt::MouseButton button, ShiftState shift, int x, int y);
    void mouseUp(Qt::MouseButton button, ShiftState shift, int x, int y);
    void mouseEnter(ShiftState shift, int x, int y);
    void mouseLeave(ShiftState shift, int x, int y);

protected:
    // A key before the button reacts to it: a subclass may change it, or clear it to 0 so that
    // the button does nothing (a signal cannot hand a key back). They must not throw.
    virtual void keyDownEvent(quint16 &key, ShiftState shift);
    virtual void keyUpEvent(quint16 &key, ShiftState shift);

    virtual void mouseEntered(ShiftState shift, int x, int y);
    virtual void mouseLeft(ShiftState shift, int x, int y);

    void captionChanged() override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    friend class DropDownTimer;

    // Every setter: stores a new value only, then ends in propertyChanged(). The button is
    // drawn from its properties and its state alone, so a stored value is a repaint.
    template<class T> bool store(T &member, const T &value);
    void propertyChanged();
    void dropDownTick(DropDownTimer *timer);

    // Whether a point in the button's coordinates lies on it: a left press there presses the
    // button, a release there clicks it and leaves the outer ring raised.
    bool hitTest(const QPoint &at) const { return rect().contains(at); }

    // What paintEvent draws from the state.
    TColor faceColor() const;
    QRect captionRect() const;
    int captionFlags() const;
    void drawCaption(QPainter &p, const QRect &t) const;

    // The button's own handling behind the Qt events; dropDown replays key-up and release.
    bool handleKeyDown(quint16 &key, ShiftState shift, bool autoRepeat);
    bool handleKeyUp(quint16 &key, ShiftState shift);
    void handleMouseDown(Qt::MouseButton button, ShiftState shift, int x, int y);
    void handleMouseUp(Qt::MouseButton button, ShiftState shift, int x, int y);
    void release(Qt::MouseButton button, ShiftState shift, const QPoint &at);
    void touchDown(const QMouseEvent *event, bool secondTap);
    void touchUp(const QMouseEvent *event);
    void cancelTouch();
    void pressClick();
    void discardDropDownTimer();
    void enterFocus();
    void leaveFocus();
    void updateAccelerator();
    Bevel restingBevel() const { return m_tabFocusUp ? Bevel::Raised : Bevel::None; }

    // Property storage and private state.
    TColor m_bevelShadowColor = colors::clBtnShadow;
    TColor m_bevelHighlightColor = colors::clBtnHighlight;
    TColor m_disabledColor = colors::clGray;
    int m_dropDownDelay = 0;
    QPointer<QMenu> m_dropDownMenu;
    bool m_menuDropped = false;
    bool m_ignoreContinuousClicks = false;
    bool m_clicking = false; // inside the click's handlers
    bool m_flat = false;
    bool m_spaceDown = false;
    bool m_tabFocusUp = true;
    TextLayout m_textLayout = TextLayout::Center;
    bool m_showFocusRect = false;
    bool m_useDisabledColor = false;
    bool m_dropByKey = false;
    int m_marginX = -1;
    int m_marginY = -1;
    DropDownTimer *m_dropDownTimer = nullptr;

    TColor m_fontColor = colors::clWindowText;
    Qt::Alignment m_alignment = Qt::AlignHCenter;
    bool m_pressedInside = false; // left press on the button, waiting for the release
    // A finger (or a pen) on the button, as the mouse events made of it: held back until it
    // lifts, so that a tap acts as a whole click and a swipe across the buttons does nothing.
    struct Touch
    {
        QPoint at;
        bool secondTap = false; // a double tap's second: it presses but never clicks
        Bevel before = Bevel::None;
    };
    std::optional<Touch> m_touch;
    bool m_hovered = false;
    // The button is its window's active control: onEnter ran, onExit not yet.
    bool m_entered = false;
    QMetaObject::Connection m_focusWatch;
    int m_altShortcut = 0;
    int m_plainShortcut = 0;
};
