#pragma once

#include "colors.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QMenu;
class QPainter;
class TCuteButton;

// The held modifiers and mouse buttons of an event.
struct TShiftState
{
    Qt::KeyboardModifiers keys;
    Qt::MouseButtons buttons;
    bool operator==(const TShiftState &) const = default;
};

// One-shot timer that opens a button's drop-down menu after a held press.
class TCuteButtonTimer : public QTimer
{
    Q_OBJECT
public:
    explicit TCuteButtonTimer(TCuteButton *button);
    TCuteButton *FCuteButton;
    // The tick: tests call it to stand for the timer firing.
    void tick();
};

// The custom-drawn push button behind every command and value button. It paints itself
// entirely: a face, an outer and an inner bevel ring (rest, hover, focus, press) and a
// one-line caption, engraved while disabled.
class TCuteButton : public QWidget
{
    Q_OBJECT
public:
    enum class Bevel
    {
        None,
        Lowered,
        Raised,
        Space
    };
    Q_ENUM(Bevel)
    enum class TextLayout
    {
        Top,
        Center,
        Bottom
    };
    Q_ENUM(TextLayout)

    using NotifyEvent = std::function<void(TCuteButton *sender)>;
    using KeyEvent = std::function<void(TCuteButton *sender, quint16 &key, TShiftState shift)>;
    using MouseEvent = std::function<void(TCuteButton *sender, Qt::MouseButton button,
                                          TShiftState shift, int x, int y)>;
    using MouseMoveEvent =
        std::function<void(TCuteButton *sender, TShiftState shift, int x, int y)>;

    explicit TCuteButton(QWidget *owner = nullptr);
    ~TCuteButton() override;

    // Base properties.
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TColor color() const { return m_color; }
    void setColor(TColor color);
    TColor fontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    Qt::Alignment alignment() const { return m_alignment; } // AlignLeft, AlignHCenter or AlignRight
    void setAlignment(Qt::Alignment alignment);
    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    Bevel bevelOuter() const { return m_bevelOuter; }
    Bevel bevelInner() const { return m_bevelInner; }

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
    bool egnoreContClick() const { return m_egnoreContClick; }
    void setEgnoreContClick(bool on);
    bool flat() const { return m_flat; }
    void setFlat(bool on);
    TextLayout layout() const { return m_layout; }
    void setLayout(TextLayout layout);
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

    // Events. Exceptions thrown by a handler go to the default error report.
    NotifyEvent OnClick;
    NotifyEvent OnEnter;
    NotifyEvent OnExit;
    KeyEvent OnKeyDown;
    KeyEvent OnKeyUp;
    MouseEvent OnMouseDown;
    MouseEvent OnMouseUp;
    MouseMoveEvent OnMouseEnter;
    MouseMoveEvent OnMouseLeave;

    // The click notification: what a mouse click, Enter, Space and the accelerator raise.
    virtual void Click();
    virtual void StartDropDown();
    virtual void DropDown();

    TCuteButtonTimer *dropDownTimer() const { return m_dropDownTimer; }

    QSize sizeHint() const override { return QSize(75, 25); }

protected:
    virtual void MouseEnter(TShiftState shift, int x, int y);
    virtual void MouseLeave(TShiftState shift, int x, int y);

    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    friend class TCuteButtonTimer;
    void setBevelOuter(Bevel b);
    void setBevelInner(Bevel b);
    void dropDownTick(TCuteButtonTimer *timer);

    // The button's own handling behind the Qt events; DropDown replays key-up and release.
    bool keyDown(quint16 &key, TShiftState shift, bool autoRepeat);
    bool keyUp(quint16 &key, TShiftState shift);
    void mouseDown(Qt::MouseButton button, TShiftState shift, int x, int y);
    void mouseUp(Qt::MouseButton button, TShiftState shift, int x, int y);
    void pressClick();
    void discardDropDownTimer();
    void enterFocus();
    void leaveFocus();
    void updateAccelerator();
    Bevel restingBevel() const { return m_tabFocusUp ? Bevel::Raised : Bevel::None; }
    void drawBevel(QPainter &p, QRect &r, Bevel bevel) const;

    // Property storage and private state.
    TColor m_bevelShadowColor = colors::clBtnShadow;
    TColor m_bevelHighlightColor = colors::clBtnHighlight;
    TColor m_disabledColor = colors::clGray;
    int m_dropDownDelay = 0;
    QPointer<QMenu> m_dropDownMenu;
    bool FMenuDropped = false;
    bool m_egnoreContClick = false;
    bool m_flat = false;
    bool FSpaceDown = false;
    bool m_tabFocusUp = true;
    TextLayout m_layout = TextLayout::Center;
    bool m_showFocusRect = false;
    bool m_useDisabledColor = false;
    bool FDropByKey = false;
    int m_marginX = -1;
    int m_marginY = -1;
    TCuteButtonTimer *m_dropDownTimer = nullptr;

    QString m_caption;
    TColor m_color = colors::clBtnFace;
    TColor m_fontColor = colors::clWindowText;
    Qt::Alignment m_alignment = Qt::AlignHCenter;
    int m_bevelWidth = 1;
    Bevel m_bevelOuter = Bevel::None;
    Bevel m_bevelInner = Bevel::Raised;
    bool m_pressedInside = false; // left press on the button, waiting for the release
    bool m_hovered = false;
    // The button is its window's active control: OnEnter ran, OnExit not yet.
    bool m_entered = false;
    QMetaObject::Connection m_focusWatch;
    int m_altShortcut = 0;
    int m_plainShortcut = 0;
};
