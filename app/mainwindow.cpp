#include "app/mainwindow.h"

#include "app/logos.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "controls/forms.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/dialogkeys.h"
#include "toolkit/fonts.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/picture.h"
#include "toolkit/radiogroup.h"
#include "toolkit/windowscale.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

using profiles::Location;

constexpr TColor seatCaption = colors::clSilver;
constexpr TColor seatCaptionFocused = colors::clYellow;

enum class Parent
{
    Window,
    SeatPanel,
    SeatTakenNotice
};

struct LabelSpec
{
    forms::Place place;
    Parent parent;
    const char16_t *text;
    forms::Font font;
};

// Labels lie below every windowed control, so they are created first.
constexpr LabelSpec s_labels[] = {
    {{"Label4", {24, 32, 496, 17}},
     Parent::SeatTakenNotice,
     u"選択したジャッジコードは既に登録されています確認してください。",
     {17, true, colors::darkBlue}},
    {{"Label2", {128, 88, 272, 12}},
     Parent::SeatPanel,
     u"担当する部分をクリック後確認ボタンを押してください。",
     {12, false, colors::clLime}},
    {{"Label1", {616, 456, 0, 12}}, Parent::Window, u"V.3.1", {12, false, colors::nearWhite}},
    {{"linfo", {32, 464, 0, 12}}, Parent::Window, u"linfo", {12, false, colors::lightGreen}},
    {{"Label3", {88, 488, 567, 12}},
     Parent::Window,
     u"(C) VELMOR. Licensed to the organiser of this competition; copying is prohibited.",
     {12, false, colors::clTeal}},
};

struct SeatSpec
{
    const char *name;
    int left;
    const char16_t *caption;
    const char16_t *letter;
};

constexpr SeatSpec s_seatSpecs[] = {
    {"RbA", 8, u"ジャッジＡ", u"A"},   {"RbB", 112, u"ジャッジＢ", u"B"},
    {"RbC", 224, u"ジャッジＣ", u"C"}, {"Rbd", 328, u"ジャッジＤ", u"D"},
    {"RbE", 432, u"ジャッジＥ", u"E"},
};

// The seat button of a letter, or -1.
int seatIndex(const QString &letter)
{
    for (int i = 0; i < int(std::size(s_seatSpecs)); ++i) {
        if (letter == QStringView(s_seatSpecs[i].letter))
            return i;
    }
    return -1;
}

// Item 0 of a profile group is Local, item 1 Server.
Location locationOfItem(int item)
{
    return item == 0 ? Location::Local : Location::Server;
}

int itemOf(const std::optional<Profile> &profile, Profile::Group group)
{
    if (!profile || profile->group != group)
        return -1;
    return profile->location == Location::Local ? 0 : 1;
}

} // namespace

MainWindow::MainWindow(StationSession &session, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    setObjectName(u"Fmain"_s);
    setWindowTitle(u"Fmain"_s);
    m_scale = new WindowScale(this, QSize(706, 511), WindowScale::Sizing::Fixed);
    m_scale->setFixedFactor(m_session.settings().scale());
    fonts::setBackground(this, colors::clBlack);
    setFont(fonts::make(12));
    scaling::setFontPixels(this, 12);
    createControls();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    drawProfile(); // no group shows a selection before the first show
    scaling::move(m_seatTakenNotice, QPoint(96, 128));
    m_scale->fitTo(nullptr); // the screen it will be shown on
    followSession();
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls()
{
    using forms::makePicture;
    QWidget *pictures[] = {
        makePicture(this, {"Image1", {192, 16, 329, 105}}, logos::maker()),
        makePicture(this, {"Image2", {104, 112, 497, 129}}, logos::title()),
        makePicture(this, {"Image3", {576, 392, 105, 57}}, logos::partner()),
    };

    m_seatPanel = forms::makePanel(this, {"Panel1", {96, 256, 529, 129}, 0}, colors::clBlack);
    m_seatPanel->setBevelOuter(Bevel::None);
    m_seatTakenNotice =
        forms::makePanel(this, {"Panel2", {96, 128, 529, 121}, 4}, colors::clYellow);
    m_seatTakenNotice->setBevelInner(Bevel::Lowered);
    scaling::setBevelWidth(m_seatTakenNotice, 3);
    m_seatTakenNotice->hide();

    for (const LabelSpec &s : s_labels) {
        QWidget *parent = s.parent == Parent::SeatPanel ? static_cast<QWidget *>(m_seatPanel)
                          : s.parent == Parent::SeatTakenNotice
                              ? static_cast<QWidget *>(m_seatTakenNotice)
                              : this;
        QLabel *l = forms::makeLabel(parent, s.place, QString::fromUtf16(s.text), s.font,
                                     Qt::AlignLeft, forms::LabelSize::Box);
        // Pictures and labels of the window lie below the windowed controls.
        if (parent == this)
            l->lower();
    }
    for (QWidget *picture : pictures)
        picture->lower();
    m_connectionLine = findChild<QLabel *>(u"linfo"_s);

    createSeats();
    createProfileGroups();

    auto *close = new QPushButton(QIcon(logos::closeMark()), u"閉じる(&C)"_s, this);
    forms::place(close, {"BitBtn1", {328, 424, 81, 25}, 1});
    close->setFocusPolicy(Qt::StrongFocus);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void MainWindow::createSeats()
{
    const int tabOrders[] = {0, 2, 3, 4, 5};
    for (int i = 0; i < int(m_seats.size()); ++i) {
        auto *rb = new QRadioButton(QString::fromUtf16(s_seatSpecs[i].caption), m_seatPanel);
        forms::place(rb, {s_seatSpecs[i].name, {s_seatSpecs[i].left, 8, 94, 17}, tabOrders[i]});
        forms::applyFont(rb, {16, true, seatCaption});
        dialogkeys::tabStopFollowsCheck(rb);
        rb->installEventFilter(this);
        messages::connectGuarded(rb, &QRadioButton::toggled, this,
                                 [this, letter = QString::fromUtf16(s_seatSpecs[i].letter)](
                                     bool on) { m_session.seatToggled(letter, on); });
        m_seats[i] = rb;
    }
    drawSeat();

    m_confirmSeat = forms::makeButton(m_seatPanel, {"CuteButton1", {232, 48, 75, 25}, 1}, u"確認"_s,
                                      colors::lightBlue, {16, true, colors::clWindowText});
    messages::connectGuarded(m_confirmSeat, &CuteButton::entered, this,
                             [b = m_confirmSeat] { b->setColor(colors::springGreen); });
    messages::connectGuarded(m_confirmSeat, &CuteButton::exited, this,
                             [b = m_confirmSeat] { b->setColor(colors::lightBlue); });
    messages::connectGuarded(m_confirmSeat, &CuteButton::clicked, this,
                             [this] { m_session.claimSeat(); });

    CuteButton *ok = forms::makeButton(m_seatTakenNotice, {"CuteButton2", {232, 64, 81, 33}, 0},
                                       u"O.K."_s, colors::clBlue, {19, true, colors::clWhite});
    messages::connectGuarded(ok, &CuteButton::clicked, this, [this] { m_session.dismissNotice(); });
    // A click on the notice itself (not its text or button) frees the seat it was shown for.
    messages::connectGuarded(m_seatTakenNotice, &Panel::clicked, this,
                             [this] { m_session.releaseNoticeSeat(); });
}

void MainWindow::createProfileGroups()
{
    const QStringList items{u"Local"_s, u"Server"_s};
    m_mysqlProfiles = new RadioGroup(u"MySQL"_s, items, this);
    forms::place(m_mysqlProfiles, {"RGdb", {33, 368, 81, 73}, 3});
    m_interbaseProfiles = new RadioGroup(u"Interbase"_s, items, this);
    forms::place(m_interbaseProfiles, {"RGdbi", {121, 368, 81, 73}, 2});
    for (RadioGroup *g : {m_mysqlProfiles, m_interbaseProfiles}) {
        fonts::setTextColour(g, colors::clWhite);
        for (int i = 0; i < g->count(); ++i)
            fonts::setTextColour(g->item(i), colors::clWhite);
    }
    const struct
    {
        RadioGroup *widget;
        Profile::Group group;
    } groups[] = {{m_interbaseProfiles, Profile::Group::InterBase},
                  {m_mysqlProfiles, Profile::Group::MySQL}};
    // The item the judge (or the first show) selected.
    for (const auto &g : groups) {
        messages::connectGuarded(g.widget, &RadioGroup::clicked, this, [this, g] {
            m_session.chooseProfile({g.group, locationOfItem(g.widget->itemIndex())});
        });
    }
}

// The window draws what the session tells it changed.
void MainWindow::followSession()
{
    StationSession *s = &m_session;
    connect(s, &StationSession::profileChanged, this, &MainWindow::drawProfile);
    connect(s, &StationSession::connectionLineChanged, this, &MainWindow::drawConnectionLine);
    connect(s, &StationSession::noticeChanged, this, &MainWindow::drawNotice);
    connect(s, &StationSession::told, this,
            [this](const QString &text) { messages::show(this, text); });
    connect(s, &StationSession::releaseFailed, this,
            [this](const QString &error) { messages::reportError(this, error); });
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Centred in the work area of its screen, at the scale that fits it.
    if (const QScreen *screen = this->screen()) {
        m_scale->fitTo(screen);
        move(m_scale->centredOver(screen->availableGeometry(), screen));
    }
    // Runs once the window is on the screen, from the event loop, as the first show does.
    QMetaObject::invokeMethod(this, &MainWindow::firstShown, Qt::QueuedConnection);
}

// The first show selects the profile the settings remember, which connects it.
void MainWindow::firstShown()
{
    activateWindow(); // a desktop without a window manager activates nothing by itself
    const int seat = seatIndex(m_session.seat());
    if (seat >= 0)
        m_seats[seat]->setFocus(Qt::OtherFocusReason);
    m_session.selectRememberedProfile();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_session.close();
    QWidget::closeEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *seat = qobject_cast<QRadioButton *>(watched))
            seatFocused(seat);
    }
    return QWidget::eventFilter(watched, event);
}

// The caption of the seat button with the focus turns yellow, the others silver.
void MainWindow::seatFocused(QRadioButton *seat)
{
    for (QRadioButton *other : m_seats)
        fonts::setTextColour(other, seatCaption);
    fonts::setTextColour(seat, seatCaptionFocused);
    m_seatLetterPlaced = true;
    if (m_pointInput)
        m_pointInput->placeSeatLetter();
}

void MainWindow::setPointInput(PointInputWindow *window)
{
    m_pointInput = window;
    // What the seat buttons' focus did to it, had it been there.
    if (m_pointInput && m_seatLetterPlaced)
        m_pointInput->placeSeatLetter();
}

// --- drawing the session -------------------------------------------------------------------

void MainWindow::drawSeat()
{
    const int seat = seatIndex(m_session.seat());
    if (seat >= 0)
        m_seats[seat]->setChecked(true);
}

// Drawn by program, the groups tell nothing back.
void MainWindow::drawProfile()
{
    const QSignalBlocker interbase(m_interbaseProfiles);
    const QSignalBlocker mysql(m_mysqlProfiles);
    m_interbaseProfiles->setItemIndex(itemOf(m_session.profile(), Profile::Group::InterBase));
    m_mysqlProfiles->setItemIndex(itemOf(m_session.profile(), Profile::Group::MySQL));
}

void MainWindow::drawConnectionLine()
{
    m_connectionLine->setText(m_session.connectionLine());
    m_connectionLine->adjustSize();
}

void MainWindow::drawNotice()
{
    m_seatTakenNotice->setVisible(m_session.notice().has_value());
}
