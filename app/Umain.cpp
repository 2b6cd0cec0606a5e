#include "Umain.h"

#include "CuteBtn.h"
#include "Upointin.h"
#include "dialogkeys.h"
#include "error.h"
#include "fonts.h"
#include "inifile.h"
#include "logos.h"
#include "messages.h"
#include "panel.h"
#include "radiogroup.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

namespace {

const QString s_section = QStringLiteral("Tollvn");
const QString s_cannotConnect = QStringLiteral(
    u"データベースに接続できません。データベースが立ち上がっているか確認してください。");

constexpr TColor seatNormal = colors::clSilver;
constexpr TColor seatFocused = colors::clYellow;
constexpr TColor confirmNormal = 0x00FF8080;
constexpr TColor confirmFocused = 0x0098F957;

enum class Parent
{
    Window,
    Panel1,
    Panel2
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
    {"Label4", Parent::Panel2, 24, 32, 496, 17,
     u"選択したジャッジコードは既に登録されています確認してください。", 17, true, 0x00A00000},
    {"Label2", Parent::Panel1, 128, 88, 272, 12,
     u"担当する部分をクリック後確認ボタンを押してください。", 12, false, 0x0000FF00},
    {"Label1", Parent::Window, 616, 456, 0, 12, u"V.3.1", 12, false, 0x00FDFDFD},
    {"linfo", Parent::Window, 32, 464, 0, 12, u"linfo", 12, false, 0x0080FF80},
    {"Label3", Parent::Window, 88, 488, 567, 12,
     u"(C) VELMOR. Licensed to the organiser of this competition; copying is prohibited.", 12,
     false, 0x00808000},
};

struct SeatSpec
{
    const char *name;
    int left;
    const char16_t *caption;
};

constexpr SeatSpec s_seats[] = {
    {"RbA", 8, u"ジャッジＡ"},   {"RbB", 112, u"ジャッジＢ"}, {"RbC", 224, u"ジャッジＣ"},
    {"Rbd", 328, u"ジャッジＤ"}, {"RbE", 432, u"ジャッジＥ"},
};
constexpr const char *s_seatLetters[] = {"A", "B", "C", "D", "E"};

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

TPanel *makePanel(const char *name, QWidget *parent, QRect geometry, TColor colour, int tabOrder)
{
    auto *p = new TPanel(parent);
    p->setObjectName(QLatin1String(name));
    p->setGeometry(geometry);
    p->setColor(colour);
    dialogkeys::setTabOrder(p, tabOrder);
    return p;
}

TCuteButton *makeButton(const char *name, QWidget *parent, QRect geometry, const QString &caption,
                        TColor face, int fontPx, TColor fontColour, int tabOrder)
{
    auto *b = new TCuteButton(parent);
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

TFmain::TFmain(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fmain"));
    setWindowTitle(QStringLiteral("Fmain"));
    setFixedSize(706, 511);
    fonts::setBackground(this, colors::clBlack);
    setFont(fonts::make(12));
    createControls();
    dialogkeys::install(this);
    dialogkeys::applyTabChain(this);
    FormCreate();
}

TFmain::~TFmain() = default;

void TFmain::createControls()
{
    Image1 = makePicture("Image1", this, QRect(192, 16, 329, 105), logos::maker());
    Image2 = makePicture("Image2", this, QRect(104, 112, 497, 129), logos::title());
    Image3 = makePicture("Image3", this, QRect(576, 392, 105, 57), logos::partner());

    Panel1 = makePanel("Panel1", this, QRect(96, 256, 529, 129), colors::clBlack, 0);
    Panel1->setBevelOuter(TPanel::Bevel::None);
    Panel2 = makePanel("Panel2", this, QRect(96, 128, 529, 121), colors::clYellow, 4);
    Panel2->setBevelInner(TPanel::Bevel::Lowered);
    Panel2->setBevelWidth(3);
    Panel2->hide();

    for (const LabelSpec &s : s_labels) {
        QWidget *parent = s.parent == Parent::Panel1   ? static_cast<QWidget *>(Panel1)
                          : s.parent == Parent::Panel2 ? static_cast<QWidget *>(Panel2)
                                                       : this;
        QLabel *l = makeLabel(s, parent);
        QLabel **slot = nullptr;
        const QString name = l->objectName();
        if (name == u"Label1")
            slot = &Label1;
        else if (name == u"Label2")
            slot = &Label2;
        else if (name == u"Label3")
            slot = &Label3;
        else if (name == u"Label4")
            slot = &Label4;
        else if (name == u"linfo")
            slot = &linfo;
        *slot = l;
    }
    Label3->setWordWrap(false);

    QRadioButton **seats[] = {&RbA, &RbB, &RbC, &Rbd, &RbE};
    const int seatTabOrders[] = {0, 2, 3, 4, 5};
    for (int i = 0; i < 5; ++i) {
        auto *rb = new QRadioButton(QString::fromUtf16(s_seats[i].caption), Panel1);
        rb->setObjectName(QLatin1String(s_seats[i].name));
        rb->setGeometry(s_seats[i].left, 8, 94, 17);
        fonts::apply(rb, 16, true, seatNormal);
        dialogkeys::setTabOrder(rb, seatTabOrders[i]);
        dialogkeys::tabStopFollowsCheck(rb);
        rb->installEventFilter(this);
        *seats[i] = rb;
    }
    RbA->setChecked(true);

    CuteButton1 = makeButton("CuteButton1", Panel1, QRect(232, 48, 75, 25), QStringLiteral(u"確認"),
                             confirmNormal, 16, colors::clWindowText, 1);
    CuteButton1->OnEnter = [this](TCuteButton *) { CuteButton1Enter(); };
    CuteButton1->OnExit = [this](TCuteButton *) { CuteButton1Exit(); };
    CuteButton1->OnClick = [this](TCuteButton *) { CuteButton1Click(); };

    CuteButton2 = makeButton("CuteButton2", Panel2, QRect(232, 64, 81, 33), QStringLiteral("O.K."),
                             colors::clBlue, 19, colors::clWhite, 0);
    CuteButton2->OnClick = [this](TCuteButton *) { CuteButton2Click(); };
    connect(Panel2, &TPanel::clicked, this,
            [this] { messages::guarded(this, [this] { Panel2Click(); }); });

    const QStringList items{QStringLiteral("Local"), QStringLiteral("Server")};
    RGdb = new TRadioGroup(QStringLiteral("MySQL"), items, this);
    RGdb->setObjectName(QStringLiteral("RGdb"));
    RGdb->setGeometry(33, 368, 81, 73);
    RGdbi = new TRadioGroup(QStringLiteral("Interbase"), items, this);
    RGdbi->setObjectName(QStringLiteral("RGdbi"));
    RGdbi->setGeometry(121, 368, 81, 73);
    for (TRadioGroup *g : {RGdb, RGdbi}) {
        fonts::setTextColour(g, colors::clWhite);
        for (int i = 0; i < g->count(); ++i)
            fonts::setTextColour(g->item(i), colors::clWhite);
    }
    dialogkeys::setTabOrder(RGdbi, 2);
    dialogkeys::setTabOrder(RGdb, 3);
    connect(RGdbi, &TRadioGroup::clicked, this,
            [this] { messages::guarded(this, [this] { RGdbiClick(); }); });
    connect(RGdb, &TRadioGroup::clicked, this,
            [this] { messages::guarded(this, [this] { RGdbClick(); }); });

    BitBtn1 = new QPushButton(QIcon(logos::closeMark()), QStringLiteral(u"閉じる(&C)"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(328, 424, 81, 25);
    BitBtn1->setFocusPolicy(Qt::StrongFocus);
    dialogkeys::setTabOrder(BitBtn1, 1);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);

    // Pictures and labels below the windowed controls.
    for (QLabel *l : {Image1, Image2, Image3, Label1, linfo, Label3})
        l->lower();
}

void TFmain::FormCreate()
{
    {
        const IniFile ini(settings::stationFilePath());
        DbType = ini.readString(s_section, QStringLiteral("DbType"), QStringLiteral("Interbase"));
        DbDir = ini.readString(s_section, QStringLiteral("DbDir"), QStringLiteral("Interbase"));
    }
    RGdb->setItemIndex(-1);
    RGdbi->setItemIndex(-1);
    Panel2->move(96, 128);
}

void TFmain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // Runs once the window is on the screen, from the event loop, as the first show does.
    QMetaObject::invokeMethod(this, &TFmain::FormShow, Qt::QueuedConnection);
}

void TFmain::FormShow()
{
    activateWindow(); // a desktop without a window manager activates nothing by itself
    if (QRadioButton *seat = seatButton(QStringLiteral("ABCDE").indexOf(selectedSeat())))
        seat->setFocus(Qt::OtherFocusReason);
    try {
        const int item = DbDir == u"local" ? 0 : 1;
        if (DbType == u"Interbase")
            RGdbi->setItemIndex(item);
        else
            RGdb->setItemIndex(item);
    } catch (const TError &) {
        messages::show(this, s_cannotConnect);
        close();
    }
}

void TFmain::closeEvent(QCloseEvent *event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void TFmain::FormClose()
{
    IniFile ini(settings::stationFilePath());
    // A folder that cannot be written keeps the old file; the program closes all the same.
    ini.writeString(s_section, QStringLiteral("DbType"), DbType);
    ini.writeString(s_section, QStringLiteral("Dbdir"), DbDir);
}

QRadioButton *TFmain::seatButton(int index) const
{
    const QRadioButton *const seats[] = {RbA, RbB, RbC, Rbd, RbE};
    return index >= 0 && index < 5 ? const_cast<QRadioButton *>(seats[index]) : nullptr;
}

QString TFmain::selectedSeat() const
{
    for (int i = 0; i < 5; ++i) {
        if (seatButton(i)->isChecked())
            return QLatin1String(s_seatLetters[i]);
    }
    return QString();
}

bool TFmain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *seat = qobject_cast<QRadioButton *>(watched)) {
            if (seat == RbA)
                RbAEnter();
            else if (seat == RbB)
                RbBEnter();
            else if (seat == RbC)
                RbCEnter();
            else if (seat == Rbd)
                RbdEnter();
            else if (seat == RbE)
                RbEEnter();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFmain::RbAEnter()
{
    seatEnter(RbA);
}
void TFmain::RbBEnter()
{
    seatEnter(RbB);
}
void TFmain::RbCEnter()
{
    seatEnter(RbC);
}
void TFmain::RbdEnter()
{
    seatEnter(Rbd);
}
void TFmain::RbEEnter()
{
    seatEnter(RbE);
}

void TFmain::seatEnter(QRadioButton *seat)
{
    rbcolor();
    fonts::setTextColour(seat, seatFocused);
    if (m_pointInput)
        m_pointInput->Label1->move(830, m_pointInput->Label1->y());
}

void TFmain::rbcolor()
{
    for (int i = 0; i < 5; ++i)
        fonts::setTextColour(seatButton(i), seatNormal);
}

void TFmain::CuteButton1Enter()
{
    CuteButton1->setColor(confirmFocused);
}
void TFmain::CuteButton1Exit()
{
    CuteButton1->setColor(confirmNormal);
}

void TFmain::CuteButton2Click()
{
    Panel2->hide();
}
