#include "app/mainwindow.h"

#include "app/logos.h"
#include "controls/cutebutton.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/dialogkeys.h"
#include "toolkit/fonts.h"
#include "toolkit/inifile.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/radiogroup.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

const QString s_section = QStringLiteral("Tollvn");

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
};

constexpr SeatSpec s_seatSpecs[] = {
    {"RbA", 8, u"ジャッジＡ"},   {"RbB", 112, u"ジャッジＢ"}, {"RbC", 224, u"ジャッジＣ"},
    {"Rbd", 328, u"ジャッジＤ"}, {"RbE", 432, u"ジャッジＥ"},
};

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

MainWindow::MainWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fmain"));
    setWindowTitle(QStringLiteral("Fmain"));
    setFixedSize(706, 511);
    fonts::setBackground(this, colors::clBlack);
    setFont(fonts::make(12));
    createControls();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    loadSettings();
    m_mysqlProfiles->setItemIndex(-1);
    m_interbaseProfiles->setItemIndex(-1);
    m_seatTakenNotice->move(96, 128);
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
    m_connectionLine = findChild<QLabel *>(QStringLiteral("linfo"));

    createSeats();
    createProfileGroups();

    auto *close = new QPushButton(QIcon(logos::closeMark()), QStringLiteral(u"閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("BitBtn1"));
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
        m_seats[i] = rb;
    }
    m_seats[0]->setChecked(true);

    m_confirmSeat =
        makeButton("CuteButton1", m_seatPanel, QRect(232, 48, 75, 25), QStringLiteral(u"確認"),
                   colors::lightBlue, 16, colors::clWindowText, 1);
    messages::connectGuarded(m_confirmSeat, &CuteButton::entered, this,
                             [b = m_confirmSeat] { b->setColor(colors::springGreen); });
    messages::connectGuarded(m_confirmSeat, &CuteButton::exited, this,
                             [b = m_confirmSeat] { b->setColor(colors::lightBlue); });
    messages::connectGuarded(m_confirmSeat, &CuteButton::clicked, this, [this] { claimSeat(); });

    CuteButton *ok = makeButton("CuteButton2", m_seatTakenNotice, QRect(232, 64, 81, 33),
                                QStringLiteral("O.K."), colors::clBlue, 19, colors::clWhite, 0);
    messages::connectGuarded(ok, &CuteButton::clicked, this, [this] { m_seatTakenNotice->hide(); });
    // A click on the notice itself (not its text or button) frees the seat it was shown for.
    messages::connectGuarded(m_seatTakenNotice, &Panel::clicked, this,
                             [this] { releaseRefusedSeat(); });
}

void MainWindow::createProfileGroups()
{
    const QStringList items{QStringLiteral("Local"), QStringLiteral("Server")};
    m_mysqlProfiles = new RadioGroup(QStringLiteral("MySQL"), items, this);
    m_mysqlProfiles->setObjectName(QStringLiteral("RGdb"));
    m_mysqlProfiles->setGeometry(33, 368, 81, 73);
    m_interbaseProfiles = new RadioGroup(QStringLiteral("Interbase"), items, this);
    m_interbaseProfiles->setObjectName(QStringLiteral("RGdbi"));
    m_interbaseProfiles->setGeometry(121, 368, 81, 73);
    for (RadioGroup *g : {m_mysqlProfiles, m_interbaseProfiles}) {
        fonts::setTextColour(g, colors::clWhite);
        for (int i = 0; i < g->count(); ++i)
            fonts::setTextColour(g->item(i), colors::clWhite);
    }
    dialogkeys::setTabOrder(m_interbaseProfiles, 2);
    dialogkeys::setTabOrder(m_mysqlProfiles, 3);
    messages::connectGuarded(m_interbaseProfiles, &RadioGroup::clicked, this,
                             [this] { interbaseProfileChosen(); });
    messages::connectGuarded(m_mysqlProfiles, &RadioGroup::clicked, this,
                             [this] { mysqlProfileChosen(); });
}

MainWindow::Settings MainWindow::readSettings()
{
    const IniFile ini(settings::stationFilePath());
    return {ini.readString(s_section, QStringLiteral("DbType"), QStringLiteral("Interbase")),
            ini.readString(s_section, QStringLiteral("DbDir"), QStringLiteral("Interbase"))};
}

void MainWindow::loadSettings()
{
    const Settings remembered = readSettings();
    m_dbType = remembered.dbType;
    m_dbDir = remembered.dbDir;
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
    QMetaObject::invokeMethod(this, &MainWindow::selectRememberedProfile, Qt::QueuedConnection);
}

// The first show selects the profile the settings remember, which connects it.
void MainWindow::selectRememberedProfile()
{
    activateWindow(); // a desktop without a window manager activates nothing by itself
    const QString seat = selectedSeat();
    if (!seat.isEmpty())
        m_seats[seat.at(0).unicode() - u'A']->setFocus(Qt::OtherFocusReason);
    const int item = m_dbDir == u"local" ? 0 : 1;
    if (m_dbType == u"Interbase")
        m_interbaseProfiles->setItemIndex(item);
    else
        m_mysqlProfiles->setItemIndex(item);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    QWidget::closeEvent(event);
}

void MainWindow::saveSettings()
{
    IniFile ini(settings::stationFileForWriting());
    // A folder that cannot be written keeps the old file; the program closes all the same.
    ini.writeString(s_section, QStringLiteral("DbType"), m_dbType);
    ini.writeString(s_section, QStringLiteral("Dbdir"), m_dbDir);
}

QString MainWindow::selectedSeat() const
{
    for (int i = 0; i < int(m_seats.size()); ++i) {
        if (m_seats[i]->isChecked())
            return QString(QChar(u'A' + i));
    }
    return QString();
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

PointInputWindow *MainWindow::pointInput()
{
    if (m_pointInput || !m_pointInputFactory)
        return m_pointInput;
    m_pointInput = m_pointInputFactory(this);
    // What the seat buttons' focus did to it, had it been there.
    if (m_seatLetterPlaced)
        m_pointInput->placeSeatLetter();
    return m_pointInput;
}
