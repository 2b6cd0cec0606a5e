#include "app/mainwindow.h"

#include "app/logos.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/dialogkeys.h"
#include "toolkit/fonts.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/radiogroup.h"

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
    const char *name;
    Parent parent;
    int left, top, width, height; // width 0: as wide as its text
    const char16_t *text;
    int fontPx;
    bool bold;
    TColor colour;
};

// Labels lie below every windowed control, so they are created first.
constexpr LabelSpec s_labels[] = {
    {"Label4", Parent::SeatTakenNotice, 24, 32, 496, 17,
     u"選択したジャッジコードは既に登録されています確認してください。", 17, true, colors::darkBlue},
    {"Label2", Parent::SeatPanel, 128, 88, 272, 12,
     u"担当する部分をクリック後確認ボタンを押してください。", 12, false, colors::clLime},
    {"Label1", Parent::Window, 616, 456, 0, 12, u"V.3.1", 12, false, colors::nearWhite},
    {"linfo", Parent::Window, 32, 464, 0, 12, u"linfo", 12, false, colors::lightGreen},
    {"Label3", Parent::Window, 88, 488, 567, 12,
     u"(C) VELMOR. Licensed to the organiser of this competition; copying is prohibited.", 12,
     false, colors::clTeal},
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

QLabel *makeLabel(const LabelSpec &s, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText); // linfo shows a line of the connection parameters
    l->setText(QString::fromUtf16(s.text));
    l->setObjectName(QLatin1String(s.name));
    fonts::apply(l, s.fontPx, s.bold, s.colour);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int width = s.width > 0 ? s.width : l->sizeHint().width();
    l->setGeometry(s.left, s.top, width, s.height);
    return l;
}

QLabel *makePicture(const char *name, QWidget *parent, QRect frame, const QPixmap &picture)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(frame);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop); // unscaled, from the top-left corner
    l->setPixmap(picture);
    return l;
}

Panel *makePanel(const char *name, QWidget *parent, QRect geometry, TColor colour, int tabOrder)
{
    auto *p = new Panel(parent);
    p->setObjectName(QLatin1String(name));
    p->setGeometry(geometry);
    p->setColor(colour);
    dialogkeys::setTabOrder(p, tabOrder);
    return p;
}

CuteButton *makeButton(const char *name, QWidget *parent, QRect geometry, const QString &caption,
                       TColor face, int fontPx, TColor fontColour, int tabOrder)
{
    auto *b = new CuteButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setCaption(caption);
    b->setColor(face);
    b->setFont(fonts::make(fontPx, true));
    b->setFontColor(fontColour);
    dialogkeys::setTabOrder(b, tabOrder);
    return b;
}

} // namespace

MainWindow::MainWindow(StationSession &session, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    setObjectName(u"Fmain"_s);
    setWindowTitle(u"Fmain"_s);
    setFixedSize(706, 511);
    fonts::setBackground(this, colors::clBlack);
    setFont(fonts::make(12));
    createControls();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    drawProfile(); // no group shows a selection before the first show
    m_seatTakenNotice->move(96, 128);
    followSession();
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls()
{
    QLabel *pictures[] = {
        makePicture("Image1", this, QRect(192, 16, 329, 105), logos::maker()),
        makePicture("Image2", this, QRect(104, 112, 497, 129), logos::title()),
        makePicture("Image3", this, QRect(576, 392, 105, 57), logos::partner()),
    };

    m_seatPanel = makePanel("Panel1", this, QRect(96, 256, 529, 129), colors::clBlack, 0);
    m_seatPanel->setBevelOuter(Bevel::None);
    m_seatTakenNotice = makePanel("Panel2", this, QRect(96, 128, 529, 121), colors::clYellow, 4);
    m_seatTakenNotice->setBevelInner(Bevel::Lowered);
    m_seatTakenNotice->setBevelWidth(3);
    m_seatTakenNotice->hide();

    for (const LabelSpec &s : s_labels) {
        QWidget *parent = s.parent == Parent::SeatPanel ? static_cast<QWidget *>(m_seatPanel)
                          : s.parent == Parent::SeatTakenNotice
                              ? static_cast<QWidget *>(m_seatTakenNotice)
                              : this;
        QLabel *l = makeLabel(s, parent);
        // Pictures and labels of the window lie below the windowed controls.
        if (parent == this)
            l->lower();
    }
    for (QLabel *picture : pictures)
        picture->lower();
    m_connectionLine = findChild<QLabel *>(u"linfo"_s);

    createSeats();
    createProfileGroups();

    auto *close = new QPushButton(QIcon(logos::closeMark()), u"閉じる(&C)"_s, this);
    close->setObjectName(u"BitBtn1"_s);
    close->setGeometry(328, 424, 81, 25);
    close->setFocusPolicy(Qt::StrongFocus);
    dialogkeys::setTabOrder(close, 1);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void MainWindow::createSeats()
{
    const int tabOrders[] = {0, 2, 3, 4, 5};
    for (int i = 0; i < int(m_seats.size()); ++i) {
        auto *rb = new QRadioButton(QString::fromUtf16(s_seatSpecs[i].caption), m_seatPanel);
        rb->setObjectName(QLatin1String(s_seatSpecs[i].name));
        rb->setGeometry(s_seatSpecs[i].left, 8, 94, 17);
        fonts::apply(rb, 16, true, seatCaption);
        dialogkeys::setTabOrder(rb, tabOrders[i]);
        dialogkeys::tabStopFollowsCheck(rb);
        rb->installEventFilter(this);
        messages::connectGuarded(rb, &QRadioButton::toggled, this,
                                 [this, letter = QString::fromUtf16(s_seatSpecs[i].letter)](
                                     bool on) { m_session.seatToggled(letter, on); });
        m_seats[i] = rb;
    }
    drawSeat();

    m_confirmSeat = makeButton("CuteButton1", m_seatPanel, QRect(232, 48, 75, 25), u"確認"_s,
                               colors::lightBlue, 16, colors::clWindowText, 1);
    messages::connectGuarded(m_confirmSeat, &CuteButton::entered, this,
                             [b = m_confirmSeat] { b->setColor(colors::springGreen); });
    messages::connectGuarded(m_confirmSeat, &CuteButton::exited, this,
                             [b = m_confirmSeat] { b->setColor(colors::lightBlue); });
    messages::connectGuarded(m_confirmSeat, &CuteButton::clicked, this,
                             [this] { m_session.claimSeat(); });

    CuteButton *ok = makeButton("CuteButton2", m_seatTakenNotice, QRect(232, 64, 81, 33), u"O.K."_s,
                                colors::clBlue, 19, colors::clWhite, 0);
    messages::connectGuarded(ok, &CuteButton::clicked, this, [this] { m_session.dismissNotice(); });
    // A click on the notice itself (not its text or button) frees the seat it was shown for.
    messages::connectGuarded(m_seatTakenNotice, &Panel::clicked, this,
                             [this] { m_session.releaseNoticeSeat(); });
}

void MainWindow::createProfileGroups()
{
    const QStringList items{u"Local"_s, u"Server"_s};
    m_mysqlProfiles = new RadioGroup(u"MySQL"_s, items, this);
    m_mysqlProfiles->setObjectName(u"RGdb"_s);
    m_mysqlProfiles->setGeometry(33, 368, 81, 73);
    m_interbaseProfiles = new RadioGroup(u"Interbase"_s, items, this);
    m_interbaseProfiles->setObjectName(u"RGdbi"_s);
    m_interbaseProfiles->setGeometry(121, 368, 81, 73);
    for (RadioGroup *g : {m_mysqlProfiles, m_interbaseProfiles}) {
        fonts::setTextColour(g, colors::clWhite);
        for (int i = 0; i < g->count(); ++i)
            fonts::setTextColour(g->item(i), colors::clWhite);
    }
    dialogkeys::setTabOrder(m_interbaseProfiles, 2);
    dialogkeys::setTabOrder(m_mysqlProfiles, 3);
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
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
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
