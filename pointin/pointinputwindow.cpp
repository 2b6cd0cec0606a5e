// The point input window: creation, the placements at creation and at showing, closing, and
// the judge's keys and clicks passed on to the session.
#include "pointin/pointinputwindow.h"

#include "toolkit/dialogkeys.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/fonts.h"
#include "toolkit/keys.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/windowscale.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The window's outer size of 990 x 695 in the desktop's frame.
constexpr QSize s_designSize = QSize(990, 695).shrunkBy(scaling::designFrame);

} // namespace

// The logos live in the pointin library's resources; a static library needs them registered.
static void initResources()
{
    Q_INIT_RESOURCE(pointin);
}

PointInputWindow::PointInputWindow(JudgeSession &session, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                          Qt::WindowMinMaxButtonsHint),
      m_session(session)
{
    initResources();
    setObjectName(u"Fpointin"_s);
    setWindowTitle(u"Fpointin"_s);
    m_scale = new WindowScale(this, s_designSize, WindowScale::Sizing::Sizeable);
    fonts::setBackground(this, colors::clWhite);
    fonts::apply(this, 12, false, colors::clWindowText);
    scaling::setFontPixels(this, 12);

    createControls();
    bindHandlers();
    followSession();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    placeAtCreation();
    // The value buttons' looks are drawn, not placed: drawn again at a new scale.
    connect(m_scale, &WindowScale::rescaled, this, [this] {
        for (int row = 0; row < RowCount; ++row)
            drawRow(row);
    });
}

PointInputWindow::~PointInputWindow()
{
    // Without a focused control nothing moves the focus while the controls are destroyed,
    // so no focus handler runs on a half-destroyed window.
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
    m_session.disconnect(this);
}

int PointInputWindow::pointsToPixels(int points)
{
    return (points * 96 + 36) / 72; // rounded to the nearest pixel
}

// Placements made once, when the window is created.
void PointInputWindow::placeAtCreation()
{
    scaling::move(m_confirmPanel, QPoint(328, 392));
    // Over the confirm panel: the notice covers the confirm button.
    scaling::move(m_notice, QPoint(328, 392));
    scaling::place(m_notReadyNotice, QRect(200, 344, 633, 185));
    // The design size (57) is wider than the normal look and would look chosen: every row
    // starts in the normal look. The mark field keeps its own name until a mark is computed.
    for (int row = 0; row < RowCount; ++row)
        drawRow(row);
}

void PointInputWindow::placeSeatLetter()
{
    scaling::move(m_seatLetter, QPoint(830, 56));
}

// At the scale that fits the main window's screen, centred over the main window and inside that
// screen's work area.
void PointInputWindow::centreOverMainWindow()
{
    QWidget *over = parentWidget();
    const bool overShown = over && over->isVisible();
    const QScreen *screen = overShown ? over->window()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_scale->fitTo(screen);
    const QRect area = overShown ? over->window()->frameGeometry() : screen->availableGeometry();
    move(m_scale->centredOver(area, screen));
}

void PointInputWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        centreOverMainWindow();
        m_drawn = false;
        m_pendingReport.clear();
        scaling::move(m_trialPanel, QPoint(160, 450)); // beside the round
        // The claim's competitor check loads the current competitor whatever bib was on
        // display; its answer comes once the window is on the screen.
        m_bib->clear();
        drawOperatorReady();
        m_startButton->setFocus();
        scaling::move(m_questionPanel, QPoint(192, 344));
    }
    QDialog::showEvent(event);
}

void PointInputWindow::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    m_drawn = true;
    if (m_pendingReport.isEmpty())
        return;
    // After this paint, from the event loop: the window is on the screen and drawn.
    QTimer::singleShot(0, this, [this, text = std::exchange(m_pendingReport, QString())] {
        if (isVisible())
            messages::reportError(this, text);
    });
}

// A box opened before the window was ever drawn leaves it unpainted behind the box.
void PointInputWindow::reportFailure(const QString &text)
{
    if (m_drawn) {
        messages::reportError(this, text);
        return;
    }
    m_pendingReport = text;
    update();
}

void PointInputWindow::reject() {}

void PointInputWindow::closeEvent(QCloseEvent *event)
{
    // QDialog would call reject(); only closeWindow() lets the window go.
    if (m_closing)
        event->accept();
    else
        event->ignore();
}

void PointInputWindow::closeWindow()
{
    m_bib->clear();
    m_closing = true;
    done(QDialog::Rejected);
    m_closing = false;
}

// --- the judge's keys and clicks -----------------------------------------------------------

void PointInputWindow::moveToNextRow(int row)
{
    m_session.confirmRow(row);
    const int next = row + 1;
    // The next row's chosen value takes the focus again, else its first value.
    const int column = entry().column(next);
    m_valueButtons[next][column >= 0 ? column : 0]->setFocus();
}

// Enter on a value button, before the button's own Enter click.
bool PointInputWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress ||
        keys::fromQtKey(static_cast<QKeyEvent *>(event)->key()) != keys::vkReturn)
        return QDialog::eventFilter(watched, event);
    for (int row = 0; row < RowCount; ++row) {
        const auto &buttons = m_valueButtons[row];
        if (std::find(buttons.begin(), buttons.end(), watched) != buttons.end())
            rowEntered(row);
    }
    return QDialog::eventFilter(watched, event);
}

void PointInputWindow::rowEntered(int row)
{
    if (row != Outrun) {
        moveToNextRow(row);
        return;
    }
    m_session.confirmRow(Outrun);
    m_confirmButton->setFocus();
}

void PointInputWindow::flightZeroClicked()
{
    // Right after Start flight 0 holds the focus in the normal look; a click chooses it by
    // growing it in place (left edge and colours kept).
    m_session.growFlightZero();
}

void PointInputWindow::answerYes()
{
    m_session.answerYes();
    if (m_session.registering())
        m_confirmButton->setColor(Look::normalFace);
}

// The focused answer is yellow, the other dark.
void PointInputWindow::answerFocused(CuteButton *answer)
{
    CuteButton *other = answer == m_yesButton ? m_noButton : m_yesButton;
    answer->setColor(colors::clYellow);
    answer->setFontColor(colors::darkBlue);
    other->setColor(colors::veryDarkBlue);
    other->setFontColor(colors::clGray);
}

void PointInputWindow::showDiagnostic()
{
    m_diagnostic->show();
    m_diagnostic->setText(m_session.judgeStatement());
}
