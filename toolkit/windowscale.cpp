#include "toolkit/windowscale.h"

#include "toolkit/bevelledwidget.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/picture.h"

#include <QEvent>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

// Each control's design, kept on the control itself: it goes with the control.
constexpr char s_designRect[] = "tollivaneDesignRect";
constexpr char s_designFont[] = "tollivaneDesignFont";
constexpr char s_designBevel[] = "tollivaneDesignBevel";

qreal factorOf(const QWidget *control)
{
    const WindowScale *scale = WindowScale::of(control);
    return scale ? scale->factor() : 1.0;
}

void applyFont(QWidget *w, qreal factor)
{
    const QVariant design = w->property(s_designFont);
    if (!design.isValid())
        return;
    const int pixels = scaling::length(design.toInt(), factor);
    // Setting a font, even an equal one, makes Qt resolve it again for every child.
    if (w->testAttribute(Qt::WA_SetFont) && w->font().pixelSize() == pixels)
        return;
    QFont font = w->font();
    font.setPixelSize(pixels);
    w->setFont(font);
}

void applyBevel(QWidget *w, qreal factor)
{
    const QVariant design = w->property(s_designBevel);
    if (auto *bevelled = qobject_cast<BevelledWidget *>(w); bevelled && design.isValid())
        bevelled->setBevelWidth(scaling::length(design.toInt(), factor));
}

// After the font: a label fits its text in the font it has now.
void applyGeometry(QWidget *w, qreal factor)
{
    const QVariant design = w->property(s_designRect);
    if (!design.isValid())
        return;
    QRect r = scaling::rect(design.toRect(), factor);
    if (design.toRect().width() == 0)
        r.setWidth(w->sizeHint().width());
    if (auto *label = qobject_cast<FittingLabel *>(w))
        label->setDesignGeometry(r);
    else
        w->setGeometry(r);
    if (auto *picture = qobject_cast<Picture *>(w))
        picture->setScale(factor);
}

void apply(QWidget *w, qreal factor)
{
    applyFont(w, factor);
    applyBevel(w, factor);
    applyGeometry(w, factor);
}

} // namespace

namespace scaling {

qreal fittingFactor(QSize designSize, const QMargins &frame, QSize area)
{
    if (designSize.isEmpty())
        return 1;
    const qreal across = qreal(area.width() - frame.left() - frame.right()) / designSize.width();
    const qreal down = qreal(area.height() - frame.top() - frame.bottom()) / designSize.height();
    const qreal fits = std::min({1.0, across, down});
    // Hundredths, so that a window does not change size over a pixel of work area; the
    // small epsilon keeps 0.7 from becoming 0.69.
    return std::max(0.1, std::floor(fits * 100 + 1e-6) / 100);
}

int length(int design, qreal factor)
{
    const int scaled = qRound(design * factor);
    return design > 0 ? std::max(1, scaled) : scaled;
}

QRect rect(const QRect &design, qreal factor)
{
    const int left = qRound(design.left() * factor);
    const int top = qRound(design.top() * factor);
    const int right = qRound((design.left() + design.width()) * factor);
    const int bottom = qRound((design.top() + design.height()) * factor);
    return QRect(left, top, right - left, bottom - top);
}

void place(QWidget *control, const QRect &design)
{
    control->setProperty(s_designRect, design);
    applyGeometry(control, factorOf(control));
}

void move(QWidget *control, const QPoint &design)
{
    const QVariant was = control->property(s_designRect);
    const QSize size = was.isValid() ? was.toRect().size() : control->size();
    place(control, QRect(design, size));
}

void setFontPixels(QWidget *control, int designPixels)
{
    control->setProperty(s_designFont, designPixels);
    applyFont(control, factorOf(control));
}

void setBevelWidth(BevelledWidget *control, int design)
{
    control->setProperty(s_designBevel, design);
    applyBevel(control, factorOf(control));
}

int length(const QWidget *control, int design)
{
    return length(design, factorOf(control));
}

} // namespace scaling

WindowScale::WindowScale(QWidget *window, QSize designSize, Sizing sizing)
    : QObject(window), m_window(window), m_designSize(designSize), m_sizing(sizing)
{
    window->installEventFilter(this);
    sizeWindow();
}

WindowScale *WindowScale::of(const QWidget *control)
{
    return control->window()->findChild<WindowScale *>(QString(), Qt::FindDirectChildrenOnly);
}

void WindowScale::setFixedFactor(std::optional<qreal> factor)
{
    m_fixed = factor;
}

std::optional<qreal> WindowScale::fixedFactor() const
{
    if (m_fixed)
        return m_fixed;
    const QWidget *over = m_window->parentWidget();
    const WindowScale *scale = over ? of(over) : nullptr;
    return scale ? scale->fixedFactor() : std::nullopt;
}

void WindowScale::fitTo(const QScreen *screen)
{
    if (const std::optional<qreal> fixed = fixedFactor())
        return setFactor(*fixed);
    if (!screen)
        screen = m_window->screen();
    setFactor(
        screen ? scaling::fittingFactor(m_designSize, frame(), screen->availableGeometry().size())
               : 1.0);
}

void WindowScale::setFactor(qreal factor)
{
    if (qFuzzyCompare(factor, m_factor))
        return;
    m_factor = factor;
    sizeWindow();
    apply(m_window, factor);
    // In creation order, each parent before its children. The windows that open over this
    // one are children too, with scales of their own.
    const QList<QWidget *> controls = m_window->findChildren<QWidget *>();
    for (QWidget *w : controls) {
        if (w->window() == m_window)
            apply(w, factor);
    }
    Q_EMIT rescaled();
}

void WindowScale::sizeWindow()
{
    const QSize size = scaling::rect(QRect(QPoint(), m_designSize), m_factor).size();
    if (m_sizing == Sizing::Fixed)
        m_window->setFixedSize(size);
    else if (!(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        m_window->resize(size);
}

// The frame the window system has told, or none yet.
QMargins WindowScale::realFrame() const
{
    const QRect inner = m_window->geometry();
    const QRect outer = m_window->frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

// Never less than the design's, so that a window fits also where the real frame is larger
// than the one told before the window is up.
QMargins WindowScale::frame() const
{
    const QMargins real = realFrame();
    const QMargins d = scaling::designFrame;
    return QMargins(std::max(d.left(), real.left()), std::max(d.top(), real.top()),
                    std::max(d.right(), real.right()), std::max(d.bottom(), real.bottom()));
}

QPoint WindowScale::centredOver(const QRect &area, const QScreen *screen) const
{
    // Centred in the frame it has, kept inside the work area in the largest it may have.
    const QMargins real = realFrame();
    const QSize centred = m_window->size().grownBy(real.isNull() ? scaling::designFrame : real);
    QPoint at(area.left() + (area.width() - centred.width()) / 2,
              area.top() + (area.height() - centred.height()) / 2);
    if (!screen)
        return at;
    const QSize outer = m_window->size().grownBy(frame());
    const QRect work = screen->availableGeometry();
    at.setX(std::max(work.left(), std::min(at.x(), work.right() + 1 - outer.width())));
    at.setY(std::max(work.top(), std::min(at.y(), work.bottom() + 1 - outer.height())));
    return at;
}

// Follows the window to every screen it is moved to, and the work area of the one it is on.
bool WindowScale::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Show && !m_followsWindow) {
        if (QWindow *handle = m_window->windowHandle()) {
            m_followsWindow = true;
            // Queued: the window system's move that took the window to the other screen sets
            // the old size once the signal returns, and would undo a new one set now.
            connect(
                handle, &QWindow::screenChanged, this,
                [this](QScreen *screen) {
                    follow(screen);
                    fitTo(screen);
                },
                Qt::QueuedConnection);
            follow(handle->screen());
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowScale::follow(QScreen *screen)
{
    if (m_screen == screen)
        return;
    disconnect(m_workArea);
    m_screen = screen;
    if (screen)
        m_workArea = connect(
            screen, &QScreen::availableGeometryChanged, this, [this] { fitTo(m_screen); },
            Qt::QueuedConnection);
}
