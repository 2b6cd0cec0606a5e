// The point input window: creation, the placements at creation and at showing, closing, and
// the judge's keys and clicks passed on to the session.
#include "pointin/pointinputwindow.h"

#include "toolkit/dialogkeys.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/fonts.h"
#include "toolkit/keys.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"

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

// The desktop frame the window's outer size of 990 x 695 was designed with: 8 pixels at the
// sides and the bottom, 31 at the top (title bar and border). Used until the window system
// tells the real frame.
constexpr QMargins s_designFrame(8, 31, 8, 8);
constexpr QSize s_outerSize(990, 695);

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
    resize(s_outerSize.shrunkBy(s_designFrame)); // client 974 x 656
    fonts::setBackground(this, colors::clWhite);
    fonts::apply(this, 12, false, colors::clWindowText);

    createControls();
    bindHandlers();
    followSession();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    placeAtCreation();
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
    m_confirmPanel->move(328, 392);
    m_notice->move(328, 392); // over the confirm panel: the notice covers the confirm button
    m_notReadyNotice->setGeometry(200, 344, 633, 185);
    // The design size (57) is wider than the normal look and would look chosen: every row
    // starts in the normal look. The mark field keeps its own name until a mark is computed.
    for (int row = 0; row < RowCount; ++row)
        drawRow(row);
}

void PointInputWindow::placeSeatLetter()
{
    m_seatLetter->move(830, m_seatLetter->y());
}

void PointInputWindow::centreOverMainWindow()
{
    const QRect inner = geometry();
    const QRect outer0 = frameGeometry();
    QMargins frame(inner.left() - outer0.left(), inner.top() - outer0.top(),
                   outer0.right() - inner.right(), outer0.bottom() - inner.bottom());
    if (frame.isNull())
        frame = s_designFrame;
    const QSize outer = size().grownBy(frame);
    QWidget *over = parentWidget();
    QRect area;
    if (over && over->isVisible())
        area = over->window()->frameGeometry();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    move(area.left() + (area.width() - outer.width()) / 2,
         area.top() + (area.height() - outer.height()) / 2);
}

void PointInputWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        centreOverMainWindow();
        m_drawn = false;
        m_pendingReport.clear();
        m_trialPanel->move(160, m_trialPanel->y()); // beside the round
        // The claim's competitor check loads the current competitor whatever bib was on
        // display; its answer comes once the window is on the screen.
        m_bib->clear();
        drawOperatorReady();
        m_startButton->setFocus();
        m_questionPanel->move(192, 344);
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
