#pragma once

#include <QMargins>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <optional>

class BevelledWidget;
class QScreen;
class QWidget;

// A window at a factor of its design: every control's place and size, its text size and its
// bevels times one factor, so that a window too large for its screen's work area is drawn whole
// and smaller, with its text set at the smaller size (crisp, never a shrunk picture). The
// factor comes on top of the system's own scaling, which Qt applies to the whole window.
namespace scaling {

// The frame a desktop puts around a window at 96 dpi (borders and title bar). A fit counts at
// least this much: the window system tells the real frame only once the window is up.
constexpr QMargins designFrame(8, 31, 8, 8);

// The factor at which a window of the design client size fits, with its frame (which does not
// scale), into an area: 1 where it fits as designed, else smaller, in steps of 1/100.
qreal fittingFactor(QSize designSize, const QMargins &frame, QSize area);

// A design length at a factor; a length that was there stays at least one pixel.
int length(int design, qreal factor);
// A design rectangle at a factor: its edges are scaled, so that controls that touch at the
// design touch at every factor.
QRect rect(const QRect &design, qreal factor);

// Controls placed through these keep their design; a window's scale places them again at each
// new factor. A design width of 0 is as wide as the control's text.
void place(QWidget *control, const QRect &design);
void move(QWidget *control, const QPoint &design);
void setFontPixels(QWidget *control, int designPixels);
void setBevelWidth(BevelledWidget *control, int design);
// A design length in a control's window now.
int length(const QWidget *control, int design);

} // namespace scaling

// The scale of one window: decides its factor, from the work area of the screen it is on or by
// hand, and places its controls again whenever the factor changes (the window moved to another
// screen, the screen's work area changed).
class WindowScale : public QObject
{
    Q_OBJECT
public:
    enum class Sizing
    {
        Fixed,   // the window's size is its design size at the factor
        Sizeable // set so, and the judge may resize it
    };

    WindowScale(QWidget *window, QSize designSize, Sizing sizing);

    // The scale of the window a control lies in, or null.
    static WindowScale *of(const QWidget *control);

    qreal factor() const { return m_factor; }

    // A factor set by hand (the station's setting), or none: each screen then decides. A window
    // that opens over another takes the other's when it has none of its own.
    void setFixedFactor(std::optional<qreal> factor);
    std::optional<qreal> fixedFactor() const;

    // Decides the factor for a screen's work area (null: the window's own screen); a new factor
    // places every control again.
    void fitTo(const QScreen *screen);

    // Where the window's frame goes so that the window is centred over an area and lies inside
    // the screen's work area, its title bar first where it is too large for it.
    QPoint centredOver(const QRect &area, const QScreen *screen) const;

Q_SIGNALS:
    // Every control is placed at the new factor.
    void rescaled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setFactor(qreal factor);
    void sizeWindow();
    void follow(QScreen *screen);
    QMargins realFrame() const;
    QMargins frame() const;

    QWidget *m_window;
    QSize m_designSize;
    Sizing m_sizing;
    qreal m_factor = 1;
    std::optional<qreal> m_fixed;
    QPointer<QScreen> m_screen; // the screen whose work area the window follows
    QMetaObject::Connection m_workArea;
    bool m_followsWindow = false;
};
