// The controls of the point input window, built from tables.
#include "Upointin.h"

#include "dbedit.h"
#include "dialogkeys.h"
#include "fonts.h"
#include "image.h"
#include "messages.h"
#include "panel.h"

#include <QLineEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Neither a fixed nor a system colour: the control keeps its default.
constexpr TColor kDefault = 0x7FFFFFFF;
constexpr TColor kDarkBlue = 0x00A00000;

enum class Kind
{
    Label,
    Picture,
    Panel,
    Edit,
    Button,
    DBEdit
};

enum Style : unsigned
{
    Plain = 0,
    NoFrame = 1,      // edits without a border
    Centred = 2,      // label text
    RightAligned = 4, // label text
};

// A font as the forms give it: character height in pixels; 0 takes the parent's font.
struct Font
{
    int px = 0;
    bool bold = false;
    TColor colour = kDefault;
};

struct ControlDef
{
    const char *name;
    Kind kind;
    const char *parent;           // nullptr: the window
    int left, top, width, height; // width 0: as wide as the text
    int tabOrder;                 // -1: not a windowed control
    bool visible;
    TColor colour = kDefault; // panel and button face, edit background
    Font font = {};
    const char16_t *text = u""; // caption; a data-bound edit's field
    unsigned style = Plain;
};

constexpr Font fJudge{120, true, colors::clBlue};
constexpr Font fCompetitor{27, true, kDarkBlue};
constexpr Font fEnglish{19, true, colors::clNavy};
constexpr Font fRound{32, true, colors::clBlue};
constexpr Font fRowTitle{23, true, colors::clWhite};
constexpr Font fRowEnglish{19, true, colors::clWhite};
constexpr Font fConfirm{29, true, kDarkBlue};
constexpr Font fCross{96, true, colors::clYellow};
constexpr Font fMark{32, true, colors::clNavy};
constexpr Font fRegistering{24, true, colors::clBlue};
constexpr Font fNotReady{32, false, colors::clBlue};
constexpr Font fTrial{27, false, kDarkBlue};
constexpr Font fQuestion{27, false, colors::clYellow};
constexpr Font fYes{40, false, kDarkBlue};
constexpr Font fNo{40, false, colors::clGray};
constexpr Font fReference{12, false, kDarkBlue};
constexpr Font fReferenceEdit{16, false, kDarkBlue};

using enum Kind;

// In creation order: later controls lie above earlier ones. Labels and pictures of the window
// come first, so they lie below every windowed control.
// clang-format off
constexpr ControlDef s_controls[] = {
    {"Label1", Label, nullptr, 832, 56, 77, 120, -1, true, kDefault, fJudge, u"A"},
    {"Label2", Label, nullptr, 68, 524, 98, 27, -1, true, kDefault, fCompetitor, u"ゼッケン"},
    {"Label3", Label, nullptr, 72, 560, 56, 27, -1, true, kDefault, fCompetitor, u"氏名"},
    {"Label4", Label, nullptr, 72, 592, 56, 27, -1, true, kDefault, fCompetitor, u"所属"},
    {"Label8", Label, nullptr, 696, 376, 19, 12, -1, false, kDefault, {}, u"End"},
    {"Image1", Picture, nullptr, 784, 585, 177, 65, -1, true},
    {"Label9", Label, nullptr, 64, 456, 89, 33, -1, true, kDefault, fRound, u"１本目"},
    {"Label23", Label, nullptr, 26, 530, 28, 19, -1, true, kDefault, fEnglish, u"Bib"},
    {"Label24", Label, nullptr, 8, 564, 49, 19, -1, true, kDefault, fEnglish, u"Name"},
    {"Label25", Label, nullptr, 8, 596, 48, 19, -1, true, kDefault, fEnglish, u"Team"},
    {"Image2", Picture, nullptr, 664, 596, 105, 53, -1, true},

    // The value rows; their buttons are added by createValueButtons.
    {"Panel1", Panel, nullptr, 8, 8, 713, 113, 1, true, colors::clBlack},
    {"Label5", Label, "Panel1", 60, 4, 48, 23, -1, true, kDefault, fRowTitle, u"空中"},
    {"Label18", Label, "Panel1", 8, 8, 50, 19, -1, true, kDefault, fRowEnglish, u"Flight"},
    {"Panel3", Panel, nullptr, 8, 120, 713, 113, 2, true, colors::clBlack},
    {"Label6", Label, "Panel3", 84, 4, 48, 23, -1, true, kDefault, fRowTitle, u"着地"},
    {"Label19", Label, "Panel3", 8, 8, 68, 19, -1, true, kDefault, fRowEnglish, u"Landing"},
    {"Panel2", Panel, nullptr, 8, 232, 971, 113, 3, true, colors::clBlack},
    {"Label7", Label, "Panel2", 76, 4, 70, 23, -1, true, kDefault, fRowTitle, u"ｱｳﾄﾗﾝ"},
    {"Label20", Label, "Panel2", 8, 8, 63, 19, -1, true, kDefault, fRowEnglish, u"Outrun"},

    {"Panel4", Panel, nullptr, 328, 344, 337, 89, 4, true, colors::clBlack},
    {"CuteButton10", Button, "Panel4", 104, 16, 140, 60, 0, true, colors::clBtnFace, fConfirm,
     u"確定"},
    {"CuteButton11", Button, "Panel4", 304, 8, 140, 60, 1, false, colors::clBtnFace, fConfirm,
     u"再入力"},

    {"Edit1", Edit, nullptr, 184, 524, 57, 35, 5, true, kDefault, fCompetitor, u"001", NoFrame},
    {"Edit2", Edit, nullptr, 184, 560, 209, 35, 6, true, kDefault, fCompetitor, u"山田 太郎",
     NoFrame},
    {"Edit3", Edit, nullptr, 184, 592, 361, 35, 7, true, kDefault, fCompetitor,
     u"北斗スキークラブ", NoFrame},

    {"Panel5", Panel, nullptr, 344, 458, 337, 87, 8, false, colors::clYellow, fRegistering},
    {"Label21", Label, "Panel5", 80, 8, 176, 24, -1, true, kDefault, {}, u"Now registering ",
     Centred},
    {"Label22", Label, "Panel5", 104, 40, 139, 24, -1, true, kDefault, {}, u"登録中です。",
     RightAligned},

    {"CuteButton1", Button, nullptr, 752, 360, 65, 65, 0, false, colors::clBlack, fCross, u"×"},

    // Reference marks, bound to the data module's Qtd; never shown.
    {"Panel6", Panel, nullptr, 864, 352, 233, 145, 9, false},
    {"Label11", Label, "Panel6", 16, 40, 0, 12, -1, true, kDefault, fReference, u"空中"},
    {"Label12", Label, "Panel6", 16, 80, 0, 12, -1, true, kDefault, fReference, u"着地"},
    {"Label13", Label, "Panel6", 16, 112, 0, 12, -1, true, kDefault, fReference, u"ｱｳﾄﾗﾝ"},
    {"Label14", Label, "Panel6", 72, 16, 0, 12, -1, true, kDefault, fReference, u"ＴＤ"},
    {"Label15", Label, "Panel6", 112, 16, 0, 12, -1, true, kDefault, fReference, u"ｍ１"},
    {"Label16", Label, "Panel6", 152, 16, 0, 12, -1, true, kDefault, fReference, u"ｍ２"},
    {"Label17", Label, "Panel6", 192, 16, 0, 12, -1, true, kDefault, fReference, u"ｍ３"},
    {"DBEdit1", DBEdit, "Panel6", 64, 40, 30, 24, 1, true, kDefault, fReferenceEdit, u"TDap"},
    {"DBEdit2", DBEdit, "Panel6", 64, 72, 30, 24, 0, true, kDefault, fReferenceEdit, u"TDop"},
    {"DBEdit3", DBEdit, "Panel6", 64, 104, 30, 24, 2, true, kDefault, fReferenceEdit, u"TDlp"},
    {"DBEdit4", DBEdit, "Panel6", 104, 40, 30, 24, 3, true, kDefault, fReferenceEdit, u"M1ap"},
    {"DBEdit5", DBEdit, "Panel6", 104, 72, 30, 24, 4, true, kDefault, fReferenceEdit, u"M1op"},
    {"DBEdit6", DBEdit, "Panel6", 104, 104, 30, 24, 5, true, kDefault, fReferenceEdit, u"M1lp"},
    {"DBEdit7", DBEdit, "Panel6", 144, 40, 30, 24, 6, true, kDefault, fReferenceEdit, u"M2ap"},
    {"DBEdit8", DBEdit, "Panel6", 144, 72, 30, 24, 7, true, kDefault, fReferenceEdit, u"M2op"},
    {"DBEdit9", DBEdit, "Panel6", 144, 104, 30, 24, 8, true, kDefault, fReferenceEdit, u"M2lp"},
    {"DBEdit10", DBEdit, "Panel6", 184, 40, 30, 24, 9, true, kDefault, fReferenceEdit, u"M3ap"},
    {"DBEdit11", DBEdit, "Panel6", 184, 72, 30, 24, 10, true, kDefault, fReferenceEdit, u"M3op"},
    {"DBEdit12", DBEdit, "Panel6", 184, 104, 30, 24, 11, true, kDefault, fReferenceEdit, u"M3lp"},

    {"Edit4", Edit, nullptr, 824, 168, 97, 41, 10, true, 0x0050F3B1, fMark, u"Edit4"},
    {"Edit5", Edit, nullptr, 48, 360, 121, 20, 11, false, kDefault, {}, u"Edit5"},

    {"Panel7", Panel, nullptr, -128, 352, 161, 185, 12, true, 0x00FF80FF, fNotReady,
     u"オペレータの準備が出来ていません。"},
    {"Label10", Label, "Panel7", 136, 32, 331, 33, -1, true, kDefault, {},
     u"Operator not ready yet !!"},

    {"Panel8", Panel, nullptr, 776, 0, 177, 57, 13, true, colors::clBlack},
    {"CuteButton2", Button, "Panel8", 10, 11, 70, 34, 0, true, colors::clWhite, {}, u"Start"},
    {"CuteButton3", Button, "Panel8", 98, 11, 70, 34, 1, true, colors::clWhite, {}, u"End"},

    {"Edit6", Edit, nullptr, 200, 640, 377, 20, 14, false, kDefault, {}, u"Edit6"},

    {"Panel9", Panel, nullptr, 240, 450, 105, 41, 15, false, colors::clWhite},
    {"Label26", Label, "Panel9", 24, 8, 66, 27, -1, true, kDefault, fTrial, u" 1 - 1"},

    {"Panel10", Panel, nullptr, -120, 312, 601, 177, 16, false, colors::clNavy},
    {"Label27", Label, "Panel10", 64, 24, 492, 27, -1, true, kDefault, fQuestion,
     u"指定したデータを登録してよろしいですか？"},
    {"CuteButton4", Button, "Panel10", 104, 72, 177, 81, 0, true, colors::clYellow, fYes, u"はい"},
    {"CuteButton5", Button, "Panel10", 344, 72, 177, 81, 1, true, 0x00400000, fNo, u"いいえ"},
};
// clang-format on

// Panels that do not have the plain look (raised outer bevel of 1 pixel, nothing else).
struct PanelLook
{
    const char *name;
    TPanel::Bevel outer;
    TPanel::Bevel inner;
    int bevelWidth;
    TPanel::BorderStyle border;
};

constexpr PanelLook s_panelLooks[] = {
    {"Panel7", TPanel::Bevel::Raised, TPanel::Bevel::Lowered, 3, TPanel::BorderStyle::Single},
    {"Panel9", TPanel::Bevel::None, TPanel::Bevel::None, 1, TPanel::BorderStyle::None},
};

struct PictureDef
{
    const char *name;
    const char16_t *resource;
};

constexpr PictureDef s_pictures[] = {
    {"Image1", u":/pointin/logo.png"},
    {"Image2", u":/pointin/partner.png"},
};

// The value rows in row order: their panels and the prefix of their buttons' names.
struct ValueRow
{
    const char *panel;
    const char16_t *prefix;
};

constexpr ValueRow s_valueRows[TFpointin::RowCount] = {
    {"Panel1", u"Cba"},
    {"Panel3", u"cbo"},
    {"Panel2", u"cbl"},
};

using Handler = void (TFpointin::*)();
using KeyHandler = void (TFpointin::*)(TCuteButton *, quint16 &, TShiftState);

struct ButtonHandlers
{
    const char *name;
    Handler click;
    Handler enter = nullptr;
    Handler exit = nullptr;
};

constexpr ButtonHandlers s_buttonHandlers[] = {
    {"CuteButton10", &TFpointin::CuteButton10Click, &TFpointin::CuteButton10Enter,
     &TFpointin::CuteButton10Exit},
    {"CuteButton11", &TFpointin::CuteButton11Click, &TFpointin::CuteButton11Enter,
     &TFpointin::CuteButton11Exit},
    {"CuteButton1", &TFpointin::CuteButton1Click},
    {"CuteButton2", &TFpointin::CuteButton2Click, &TFpointin::CuteButton2Enter,
     &TFpointin::CuteButton2Exit},
    {"CuteButton3", &TFpointin::CuteButton3Click, &TFpointin::CuteButton3Enter,
     &TFpointin::CuteButton3Exit},
    {"CuteButton4", &TFpointin::CuteButton4Click, &TFpointin::CuteButton4Enter},
    {"CuteButton5", &TFpointin::CuteButton5Click, &TFpointin::CuteButton5Enter},
    {"Cba00", &TFpointin::Cba00Click},
};

struct ValueEnter
{
    int row;
    int column;
    Handler enter;
};

#define TFPOINTIN_ENTER_ENTRY(name, row, column) {row, column, &TFpointin::name##Enter},
constexpr ValueEnter s_valueEnters[] = {TFPOINTIN_VALUE_BUTTONS(TFPOINTIN_ENTER_ENTRY)};
#undef TFPOINTIN_ENTER_ENTRY

constexpr KeyHandler s_rowKeyDown[TFpointin::RowCount] = {
    &TFpointin::Cba00KeyDown,
    &TFpointin::cbo00KeyDown,
    &TFpointin::cbl00KeyDown,
};

void applyFont(QWidget *w, const Font &f)
{
    if (f.px > 0)
        w->setFont(fonts::make(f.px, f.bold));
    if (f.colour != kDefault)
        fonts::setTextColour(w, f.colour);
}

QWidget *makeLabel(const ControlDef &s, QWidget *parent)
{
    auto *l = new TLabel(parent);
    l->setText(QString::fromUtf16(s.text));
    applyFont(l, s.font);
    Qt::Alignment h = Qt::AlignLeft;
    if (s.style & Centred)
        h = Qt::AlignHCenter;
    else if (s.style & RightAligned)
        h = Qt::AlignRight;
    l->setAlignment(h | Qt::AlignTop);
    return l;
}

QWidget *makePanel(const ControlDef &s, QWidget *parent)
{
    auto *p = new TPanel(parent);
    p->setColor(s.colour != kDefault ? s.colour : colors::clBtnFace);
    applyFont(p, s.font);
    p->setCaption(QString::fromUtf16(s.text));
    return p;
}

QWidget *makeEdit(const ControlDef &s, QWidget *parent)
{
    auto *e = s.kind == DBEdit ? new TDBEdit(parent) : new QLineEdit(parent);
    applyFont(e, s.font);
    e->setFrame(!(s.style & NoFrame));
    if (s.colour != kDefault) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, colors::toQColor(s.colour, p));
        e->setPalette(p);
    }
    if (auto *db = qobject_cast<TDBEdit *>(e))
        db->setDataField(QString::fromUtf16(s.text));
    else
        e->setText(QString::fromUtf16(s.text));
    return e;
}

QWidget *makeButton(const ControlDef &s, QWidget *parent)
{
    auto *b = new TCuteButton(parent);
    b->setCaption(QString::fromUtf16(s.text));
    b->setColor(s.colour);
    if (s.font.px > 0)
        b->setFont(fonts::make(s.font.px, s.font.bold));
    b->setFontColor(s.font.colour != kDefault ? s.font.colour : colors::clWindowText);
    return b;
}

QWidget *make(const ControlDef &s, QWidget *parent)
{
    switch (s.kind) {
    case Label:
        return makeLabel(s, parent);
    case Picture:
        return new TImage(parent);
    case Panel:
        return makePanel(s, parent);
    case Edit:
    case DBEdit:
        return makeEdit(s, parent);
    case Button:
        return makeButton(s, parent);
    }
    return nullptr;
}

template<class T> void attach(QObject *root, T *&member, const char *name)
{
    member = root->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(member, "TFpointin", name);
}

} // namespace

void TFpointin::createControls()
{
    recallTimer = new QTimer(this);
    recallTimer->setObjectName(u"recallTimer"_s);
    recallTimer->setInterval(3000);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(1000);

    for (const ControlDef &s : s_controls) {
        QWidget *parent = this;
        if (s.parent)
            parent = findChild<QWidget *>(QLatin1String(s.parent));
        Q_ASSERT_X(parent, "TFpointin", s.name);
        QWidget *w = make(s, parent);
        w->setObjectName(QLatin1String(s.name));
        const int width = s.width > 0 ? s.width : w->sizeHint().width();
        if (auto *label = qobject_cast<TLabel *>(w))
            label->setDesignGeometry(QRect(s.left, s.top, width, s.height));
        else
            w->setGeometry(s.left, s.top, width, s.height);
        if (s.tabOrder >= 0)
            dialogkeys::setTabOrder(w, s.tabOrder);
        if (!s.visible)
            w->hide();
    }
    for (const PanelLook &look : s_panelLooks) {
        auto *p = findChild<TPanel *>(QLatin1String(look.name));
        p->setBevelOuter(look.outer);
        p->setBevelInner(look.inner);
        p->setBevelWidth(look.bevelWidth);
        p->setBorderStyle(look.border);
    }
    for (const PictureDef &pic : s_pictures)
        findChild<TImage *>(QLatin1String(pic.name))
            ->setPicture(QPixmap(QString::fromUtf16(pic.resource)));
    createValueButtons();

#define TFPOINTIN_ATTACH(member) attach(this, member, #member)
    TFPOINTIN_ATTACH(Label1);
    TFPOINTIN_ATTACH(Label9);
    TFPOINTIN_ATTACH(Label10);
    TFPOINTIN_ATTACH(Label21);
    TFPOINTIN_ATTACH(Label22);
    TFPOINTIN_ATTACH(Label26);
    TFPOINTIN_ATTACH(Label27);
    TFPOINTIN_ATTACH(Image1);
    TFPOINTIN_ATTACH(Image2);
    TFPOINTIN_ATTACH(Panel1);
    TFPOINTIN_ATTACH(Panel2);
    TFPOINTIN_ATTACH(Panel3);
    TFPOINTIN_ATTACH(Panel4);
    TFPOINTIN_ATTACH(Panel5);
    TFPOINTIN_ATTACH(Panel6);
    TFPOINTIN_ATTACH(Panel7);
    TFPOINTIN_ATTACH(Panel8);
    TFPOINTIN_ATTACH(Panel9);
    TFPOINTIN_ATTACH(Panel10);
    TFPOINTIN_ATTACH(Edit1);
    TFPOINTIN_ATTACH(Edit2);
    TFPOINTIN_ATTACH(Edit3);
    TFPOINTIN_ATTACH(Edit4);
    TFPOINTIN_ATTACH(Edit5);
    TFPOINTIN_ATTACH(Edit6);
    TFPOINTIN_ATTACH(CuteButton1);
    TFPOINTIN_ATTACH(CuteButton2);
    TFPOINTIN_ATTACH(CuteButton3);
    TFPOINTIN_ATTACH(CuteButton4);
    TFPOINTIN_ATTACH(CuteButton5);
    TFPOINTIN_ATTACH(CuteButton10);
    TFPOINTIN_ATTACH(CuteButton11);
#undef TFPOINTIN_ATTACH
    for (int i = 0; i < int(DBEdit.size()); ++i)
        attach(this, DBEdit[i], QStringLiteral("DBEdit%1").arg(i + 1).toLatin1().constData());
}

void TFpointin::createValueButtons()
{
    for (int row = 0; row < RowCount; ++row) {
        auto *panel = findChild<TPanel *>(QLatin1String(s_valueRows[row].panel));
        for (int i = 0; i < ColumnCount[row]; ++i) {
            auto *b = new TCuteButton(panel);
            b->setObjectName(QString::fromUtf16(s_valueRows[row].prefix) +
                             u"%1"_s.arg(5 * i, 2, 10, QChar(u'0')));
            b->setCaption(valueText(i));
            b->setGeometry(8 + 64 * i, 32, 57, 57);
            b->setFont(fonts::make(16, true));
            b->setFontColor(colors::clWindowText);
            b->setColor(colors::clBtnFace);
            dialogkeys::setTabOrder(b, i);
            valueButtons[row][i] = b;
        }
    }
}

void TFpointin::bindHandlers()
{
    for (const ButtonHandlers &h : s_buttonHandlers) {
        auto *b = findChild<TCuteButton *>(QLatin1String(h.name));
        Q_ASSERT_X(b, "TFpointin", h.name);
        if (h.click)
            b->OnClick = [this, f = h.click](TCuteButton *) { (this->*f)(); };
        if (h.enter)
            b->OnEnter = [this, f = h.enter](TCuteButton *) { (this->*f)(); };
        if (h.exit)
            b->OnExit = [this, f = h.exit](TCuteButton *) { (this->*f)(); };
    }
    for (const ValueEnter &v : s_valueEnters)
        valueButtons[v.row][v.column]->OnEnter = [this, f = v.enter](TCuteButton *) {
            (this->*f)();
        };
    for (int row = 0; row < RowCount; ++row) {
        for (int i = 0; i < ColumnCount[row]; ++i)
            valueButtons[row][i]->OnKeyDown = [this, f = s_rowKeyDown[row]](TCuteButton *sender,
                                                                            quint16 &key,
                                                                            TShiftState shift) {
                (this->*f)(sender, key, shift);
            };
    }

    connect(recallTimer, &QTimer::timeout, this,
            [this] { messages::guarded(this, [this] { recallTimerTimer(); }); });
    connect(Timer1, &QTimer::timeout, this,
            [this] { messages::guarded(this, [this] { Timer1Timer(); }); });
    connect(Image2, &TImage::doubleClicked, this,
            [this] { messages::guarded(this, [this] { Image2DblClick(); }); });
}
