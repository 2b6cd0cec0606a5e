// The point input window: creation, the placements at creation and at showing, closing.
#include "Upointin.h"

#include "dialogkeys.h"
#include "fonts.h"
#include "messages.h"
#include "panel.h"

#include <QCloseEvent>
#include <QGuiApplication>
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

TFpointin::TFpointin(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                          Qt::WindowMinMaxButtonsHint)
{
    initResources();
    setObjectName(u"Fpointin"_s);
    setWindowTitle(u"Fpointin"_s);
    resize(s_outerSize.shrunkBy(s_designFrame)); // client 974 x 656
    fonts::setBackground(this, colors::clWhite);
    fonts::apply(this, 12, false, colors::clWindowText);

    createControls();
    bindHandlers();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    FormCreate();
}

TFpointin::~TFpointin()
{
    // Without a focused control nothing moves the focus while the controls are destroyed,
    // so no focus handler runs on a half-destroyed window.
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
}

int TFpointin::pointsToPixels(int points)
{
    return (points * 96 + 36) / 72; // rounded to the nearest pixel
}

void TFpointin::FormCreate()
{
    Panel4->move(328, 392);
    Panel5->move(328, 392); // over Panel4: the notice covers the confirm button
    Panel7->setGeometry(200, 344, 633, 185);

    btnWidth = 56;
    btnHeight = 56;
    btnTop = 32;
    btnFontSize = 20;
    selWidth = 73;
    selHeight = 73;
    selTop = 24;
    selFontSize = 36;
    btnLeft[0] = 8;
    selLeft[0] = 0;
    for (int i = 1; i < MaxColumns; ++i) {
        btnLeft[i] = i * btnWidth + 8 * i + 8;
        selLeft[i] = i * btnWidth + 8 * i;
    }
    selColor = 0x00FF0000;
    selFontColor = 0x00FFFFFF;
    btnColor = colors::clBtnFace;
    btnFontColor = 0x00A00000;

    // The design size (57) is wider than btnWidth and would count as chosen: start every row
    // in the normal look so that a row nobody has touched is incomplete.
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
}

void TFpointin::setSeat(const QString &letter)
{
    m_seat = letter;
    Label1->setText(letter);
}

void TFpointin::FormShow()
{
    Edit1->clear();
    m_loadedZek.clear();
    Panel9->move(160, Panel9->y()); // beside the round, Label9

    // The competitor check: loads the current competitor whatever bib was on display. Its
    // answer comes once the window is on the screen.
    checkzek(true);

    CuteButton2->setFocus();
    Panel10->move(192, 344);
    Panel7->show();
}

void TFpointin::setCentreOver(QWidget *window)
{
    m_centreOver = window;
}

void TFpointin::centreOverMainWindow()
{
    const QRect inner = geometry();
    const QRect outer0 = frameGeometry();
    QMargins frame(inner.left() - outer0.left(), inner.top() - outer0.top(),
                   outer0.right() - inner.right(), outer0.bottom() - inner.bottom());
    if (frame.isNull())
        frame = s_designFrame;
    const QSize outer = size().grownBy(frame);
    QWidget *over = m_centreOver ? m_centreOver.data() : parentWidget();
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

void TFpointin::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        centreOverMainWindow();
        ++m_session;
        m_pollInFlight = false;
        m_ending = false;
        m_drawn = false;
        m_pendingReport.clear();
        m_pollFailureReported = false;
        messages::guarded(this, [this] { FormShow(); });
    }
    QDialog::showEvent(event);
}

void TFpointin::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    m_drawn = true;
    if (m_pendingReport.isEmpty())
        return;
    // After this paint, from the event loop: the window is on the screen and drawn.
    QTimer::singleShot(0, this, [this, text = std::exchange(m_pendingReport, QString())] {
        if (isVisible())
            reportPollFailure(text);
    });
}

// A box opened before the window was ever drawn leaves it unpainted behind the box.
void TFpointin::reportOnceDrawn(const QString &text)
{
    if (m_drawn) {
        reportPollFailure(text);
        return;
    }
    m_pendingReport = text;
    update();
}

void TFpointin::reject() {}

void TFpointin::closeEvent(QCloseEvent *event)
{
    // QDialog would call reject(); only closeWindow() lets the window go.
    if (m_closing)
        event->accept();
    else
        event->ignore();
}

void TFpointin::closeWindow()
{
    ++m_session; // answers still on their way belong to this showing
    m_closing = true;
    done(QDialog::Rejected);
    m_closing = false;
}
