// The controls of the point input window, built from tables.
#include "pointin/pointinputwindow.h"

#include "toolkit/fittinglabel.h"

#include "pointin/columnedit.h"
#include "toolkit/dialogkeys.h"
#include "toolkit/fonts.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/picture.h"

#include <QEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace {

// Neither a fixed nor a system colour: the control keeps its default.
constexpr TColor kDefault = 0x7FFFFFFF;

enum class Kind
{
    Caption, // a label
    Image,
    Box, // a panel
    Field,
    Button,
    ColumnField // shows a column of the reference row
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
constexpr Font fCompetitor{27, true, colors::darkBlue};
constexpr Font fEnglish{19, true, colors::clNavy};
constexpr Font fRound{32, true, colors::clBlue};
constexpr Font fRowTitle{23, true, colors::clWhite};
constexpr Font fRowEnglish{19, true, colors::clWhite};
constexpr Font fConfirm{29, true, colors::darkBlue};
constexpr Font fCross{96, true, colors::clYellow};
constexpr Font fMark{32, true, colors::clNavy};
constexpr Font fRegistering{24, true, colors::clBlue};
constexpr Font fNotReady{32, false, colors::clBlue};
constexpr Font fTrial{27, false, colors::darkBlue};
constexpr Font fQuestion{27, false, colors::clYellow};
constexpr Font fYes{40, false, colors::darkBlue};
constexpr Font fNo{40, false, colors::clGray};
constexpr Font fReference{12, false, colors::darkBlue};
constexpr Font fReferenceEdit{16, false, colors::darkBlue};
constexpr Font fHealth{17, true, colors::darkBlue};

using enum Kind;

// In creation order: later controls lie above earlier ones. Labels and pictures of the window
// come first, so they lie below every windowed control.
// clang-format off
constexpr ControlDef s_controls[] = {
    {"Label1", Caption, nullptr, 832, 56, 77, 120, -1, true, kDefault, fJudge, u"A"},
    {"Label2", Caption, nullptr, 68, 524, 98, 27, -1, true, kDefault, fCompetitor, u"ゼッケン"},
    {"Label3", Caption, nullptr, 72, 560, 56, 27, -1, true, kDefault, fCompetitor, u"氏名"},
    {"Label4", Caption, nullptr, 72, 592, 56, 27, -1, true, kDefault, fCompetitor, u"所属"},
    {"Label8", Caption, nullptr, 696, 376, 19, 12, -1, false, kDefault, {}, u"End"},
    {"Image1", Image, nullptr, 784, 585, 177, 65, -1, true},
    {"Label9", Caption, nullptr, 64, 456, 89, 33, -1, true, kDefault, fRound, u"１本目"},
    {"Label23", Caption, nullptr, 26, 530, 28, 19, -1, true, kDefault, fEnglish, u"Bib"},
    {"Label24", Caption, nullptr, 8, 564, 49, 19, -1, true, kDefault, fEnglish, u"Name"},
    {"Label25", Caption, nullptr, 8, 596, 48, 19, -1, true, kDefault, fEnglish, u"Team"},
    {"Image2", Image, nullptr, 664, 596, 105, 53, -1, true},

    // The value rows; their buttons are added by createValueButtons.
    {"Panel1", Box, nullptr, 8, 8, 713, 113, 1, true, colors::clBlack},
    {"Label5", Caption, "Panel1", 60, 4, 48, 23, -1, true, kDefault, fRowTitle, u"空中"},
    {"Label18", Caption, "Panel1", 8, 8, 50, 19, -1, true, kDefault, fRowEnglish, u"Flight"},
    {"Panel3", Box, nullptr, 8, 120, 713, 113, 2, true, colors::clBlack},
    {"Label6", Caption, "Panel3", 84, 4, 48, 23, -1, true, kDefault, fRowTitle, u"着地"},
    {"Label19", Caption, "Panel3", 8, 8, 68, 19, -1, true, kDefault, fRowEnglish, u"Landing"},
    {"Panel2", Box, nullptr, 8, 232, 971, 113, 3, true, colors::clBlack},
    {"Label7", Caption, "Panel2", 76, 4, 70, 23, -1, true, kDefault, fRowTitle, u"ｱｳﾄﾗﾝ"},
    {"Label20", Caption, "Panel2", 8, 8, 63, 19, -1, true, kDefault, fRowEnglish, u"Outrun"},

    {"Panel4", Box, nullptr, 328, 344, 337, 89, 4, true, colors::clBlack},
    {"CuteButton10", Button, "Panel4", 104, 16, 140, 60, 0, true, colors::clBtnFace, fConfirm,
     u"確定"},
    {"CuteButton11", Button, "Panel4", 304, 8, 140, 60, 1, false, colors::clBtnFace, fConfirm,
     u"再入力"},

    {"Edit1", Field, nullptr, 184, 524, 57, 35, 5, true, kDefault, fCompetitor, u"001", NoFrame},
    {"Edit2", Field, nullptr, 184, 560, 209, 35, 6, true, kDefault, fCompetitor, u"山田 太郎",
     NoFrame},
    {"Edit3", Field, nullptr, 184, 592, 361, 35, 7, true, kDefault, fCompetitor,
     u"北斗スキークラブ", NoFrame},

    {"Panel5", Box, nullptr, 344, 458, 337, 87, 8, false, colors::clYellow, fRegistering},
    {"Label21", Caption, "Panel5", 80, 8, 176, 24, -1, true, kDefault, {}, u"Now registering ",
     Centred},
    {"Label22", Caption, "Panel5", 104, 40, 139, 24, -1, true, kDefault, {}, u"登録中です。",
     RightAligned},

    {"CuteButton1", Button, nullptr, 752, 360, 65, 65, 0, false, colors::clBlack, fCross, u"×"},

    // Reference marks, read with every new competitor; never shown.
    {"Panel6", Box, nullptr, 864, 352, 233, 145, 9, false},
    {"Label11", Caption, "Panel6", 16, 40, 0, 12, -1, true, kDefault, fReference, u"空中"},
    {"Label12", Caption, "Panel6", 16, 80, 0, 12, -1, true, kDefault, fReference, u"着地"},
    {"Label13", Caption, "Panel6", 16, 112, 0, 12, -1, true, kDefault, fReference, u"ｱｳﾄﾗﾝ"},
    {"Label14", Caption, "Panel6", 72, 16, 0, 12, -1, true, kDefault, fReference, u"ＴＤ"},
    {"Label15", Caption, "Panel6", 112, 16, 0, 12, -1, true, kDefault, fReference, u"ｍ１"},
    {"Label16", Caption, "Panel6", 152, 16, 0, 12, -1, true, kDefault, fReference, u"ｍ２"},
    {"Label17", Caption, "Panel6", 192, 16, 0, 12, -1, true, kDefault, fReference, u"ｍ３"},
    {"DBEdit1", ColumnField, "Panel6", 64, 40, 30, 24, 1, true, kDefault, fReferenceEdit, u"TDap"},
    {"DBEdit2", ColumnField, "Panel6", 64, 72, 30, 24, 0, true, kDefault, fReferenceEdit, u"TDop"},
    {"DBEdit3", ColumnField, "Panel6", 64, 104, 30, 24, 2, true, kDefault, fReferenceEdit, u"TDlp"},
    {"DBEdit4", ColumnField, "Panel6", 104, 40, 30, 24, 3, true, kDefault, fReferenceEdit, u"M1ap"},
    {"DBEdit5", ColumnField, "Panel6", 104, 72, 30, 24, 4, true, kDefault, fReferenceEdit, u"M1op"},
    {"DBEdit6", ColumnField, "Panel6", 104, 104, 30, 24, 5, true, kDefault, fReferenceEdit, u"M1lp"},
    {"DBEdit7", ColumnField, "Panel6", 144, 40, 30, 24, 6, true, kDefault, fReferenceEdit, u"M2ap"},
    {"DBEdit8", ColumnField, "Panel6", 144, 72, 30, 24, 7, true, kDefault, fReferenceEdit, u"M2op"},
    {"DBEdit9", ColumnField, "Panel6", 144, 104, 30, 24, 8, true, kDefault, fReferenceEdit, u"M2lp"},
    {"DBEdit10", ColumnField, "Panel6", 184, 40, 30, 24, 9, true, kDefault, fReferenceEdit, u"M3ap"},
    {"DBEdit11", ColumnField, "Panel6", 184, 72, 30, 24, 10, true, kDefault, fReferenceEdit, u"M3op"},
    {"DBEdit12", ColumnField, "Panel6", 184, 104, 30, 24, 11, true, kDefault, fReferenceEdit, u"M3lp"},

    {"Edit4", Field, nullptr, 824, 168, 97, 41, 10, true, colors::paleLime, fMark, u"Edit4"},
    {"Edit5", Field, nullptr, 48, 360, 121, 20, 11, false, kDefault, {}, u"Edit5"},

    {"Panel7", Box, nullptr, -128, 352, 161, 185, 12, true, colors::pink, fNotReady,
     u"オペレータの準備が出来ていません。"},
    {"Label10", Caption, "Panel7", 136, 32, 331, 33, -1, true, kDefault, {},
     u"Operator not ready yet !!"},

    {"Panel8", Box, nullptr, 776, 0, 177, 57, 13, true, colors::clBlack},
    {"CuteButton2", Button, "Panel8", 10, 11, 70, 34, 0, true, colors::clWhite, {}, u"Start"},
    {"CuteButton3", Button, "Panel8", 98, 11, 70, 34, 1, true, colors::clWhite, {}, u"End"},

    {"Edit6", Field, nullptr, 200, 640, 377, 20, 14, false, kDefault, {}, u"Edit6"},

    {"Panel9", Box, nullptr, 240, 450, 105, 41, 15, false, colors::clWhite},
    {"Label26", Caption, "Panel9", 24, 8, 66, 27, -1, true, kDefault, fTrial, u" 1 - 1"},

    {"Panel10", Box, nullptr, -120, 312, 601, 177, 16, false, colors::clNavy},
    {"Label27", Caption, "Panel10", 64, 24, 492, 27, -1, true, kDefault, fQuestion,
     u"指定したデータを登録してよろしいですか？"},
    {"CuteButton4", Button, "Panel10", 104, 72, 177, 81, 0, true, colors::clYellow, fYes, u"はい"},
    {"CuteButton5", Button, "Panel10", 344, 72, 177, 81, 1, true, colors::veryDarkBlue, fNo, u"いいえ"},

    // Not a control of the form: the connection at a glance, in a corner nothing else uses.
    {"healthLine", Caption, nullptr, 660, 552, 306, 24, -1, true, kDefault, fHealth, u"",
     RightAligned},
};
// clang-format on

// Panels that do not have the plain look (raised outer bevel of 1 pixel, nothing else).
struct PanelLook
{
    const char *name;
    Panel::Bevel outer;
    Panel::Bevel inner;
    int bevelWidth;
    Panel::BorderStyle border;
};

constexpr PanelLook s_panelLooks[] = {
    {"Panel7", Panel::Bevel::Raised, Panel::Bevel::Lowered, 3, Panel::BorderStyle::Single},
    {"Panel9", Panel::Bevel::None, Panel::Bevel::None, 1, Panel::BorderStyle::None},
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

// Each value row's English caption and the Japanese title drawn after it.
struct RowTitle
{
    const char *caption;
    const char *title;
};

constexpr RowTitle s_rowTitles[] = {
    {"Label18", "Label5"}, {"Label19", "Label6"}, {"Label20", "Label7"}};

// The value rows in row order: their panels and the prefix of their buttons' names.
struct ValueRow
{
    const char *panel;
    const char16_t *prefix;
};

constexpr ValueRow s_valueRows[PointInputWindow::RowCount] = {
    {"Panel1", u"Cba"},
    {"Panel3", u"cbo"},
    {"Panel2", u"cbl"},
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
    auto *l = new FittingLabel(parent);
    l->setCaption(QString::fromUtf16(s.text));
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
    auto *p = new Panel(parent);
    p->setColor(s.colour != kDefault ? s.colour : colors::clBtnFace);
    applyFont(p, s.font);
    p->setCaption(QString::fromUtf16(s.text));
    return p;
}

QWidget *makeEdit(const ControlDef &s, QWidget *parent)
{
    auto *e = s.kind == ColumnField ? new ColumnEdit(parent) : new QLineEdit(parent);
    applyFont(e, s.font);
    e->setFrame(!(s.style & NoFrame));
    if (s.colour != kDefault) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, colors::toQColor(s.colour, p));
        e->setPalette(p);
    }
    if (auto *db = qobject_cast<ColumnEdit *>(e))
        db->setDataField(QString::fromUtf16(s.text));
    else
        e->setText(QString::fromUtf16(s.text));
    return e;
}

QWidget *makeButton(const ControlDef &s, QWidget *parent)
{
    auto *b = new CuteButton(parent);
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
    case Caption:
        return makeLabel(s, parent);
    case Image:
        return new Picture(parent);
    case Box:
        return makePanel(s, parent);
    case Field:
    case ColumnField:
        return makeEdit(s, parent);
    case Button:
        return makeButton(s, parent);
    }
    return nullptr;
}

const ControlDef &definitionOf(const char *name)
{
    const auto *found =
        std::find_if(std::begin(s_controls), std::end(s_controls),
                     [name](const ControlDef &s) { return qstrcmp(s.name, name) == 0; });
    Q_ASSERT_X(found != std::end(s_controls), "PointInputWindow", name);
    return *found;
}

// Keeps a row's Japanese title where it was designed, or after its English caption where a font
// wider than the design's (Windows' substitute under Wine) grew the caption into it.
class TitleAfterCaption : public QObject
{
public:
    TitleAfterCaption(QWidget *caption, QWidget *title, const RowTitle &row)
        : QObject(caption), m_caption(caption), m_title(title),
          m_designLeft(definitionOf(row.title).left)
    {
        caption->installEventFilter(this);
        place();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
            place();
        return false;
    }

private:
    void place()
    {
        const int left = qMax(m_designLeft, m_caption->geometry().right() + 1);
        m_title->move(left, m_title->y());
    }

    QWidget *m_caption;
    QWidget *m_title;
    int m_designLeft;
};

template<class T> void attach(QObject *root, T *&member, const char *name)
{
    member = root->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(member, "PointInputWindow", name);
}

} // namespace

void PointInputWindow::createControls()
{
    for (const ControlDef &s : s_controls) {
        QWidget *parent = this;
        if (s.parent)
            parent = findChild<QWidget *>(QLatin1String(s.parent));
        Q_ASSERT_X(parent, "PointInputWindow", s.name);
        QWidget *w = make(s, parent);
        w->setObjectName(QLatin1String(s.name));
        const int width = s.width > 0 ? s.width : w->sizeHint().width();
        if (auto *label = qobject_cast<FittingLabel *>(w))
            label->setDesignGeometry(QRect(s.left, s.top, width, s.height));
        else
            w->setGeometry(s.left, s.top, width, s.height);
        if (s.tabOrder >= 0)
            dialogkeys::setTabOrder(w, s.tabOrder);
        if (!s.visible)
            w->hide();
    }
    for (const PanelLook &look : s_panelLooks) {
        auto *p = findChild<Panel *>(QLatin1String(look.name));
        p->setBevelOuter(look.outer);
        p->setBevelInner(look.inner);
        p->setBevelWidth(look.bevelWidth);
        p->setBorderStyle(look.border);
    }
    for (const PictureDef &pic : s_pictures)
        findChild<Picture *>(QLatin1String(pic.name))
            ->setPicture(QPixmap(QString::fromUtf16(pic.resource)));
    for (const RowTitle &row : s_rowTitles)
        new TitleAfterCaption(findChild<QWidget *>(QLatin1String(row.caption)),
                              findChild<QWidget *>(QLatin1String(row.title)), row);
    createValueButtons();

    attach(this, m_seatLetter, "Label1");
    attach(this, m_round, "Label9");
    attach(this, m_noticeEnglish, "Label21");
    attach(this, m_noticeJapanese, "Label22");
    attach(this, m_trialText, "Label26");
    attach(this, m_diagnosticPicture, "Image2");
    attach(this, m_confirmPanel, "Panel4");
    attach(this, m_notice, "Panel5");
    attach(this, m_notReadyNotice, "Panel7");
    attach(this, m_trialPanel, "Panel9");
    attach(this, m_questionPanel, "Panel10");
    attach(this, m_healthLine, "healthLine");
    m_healthLine->lower(); // a label: below every windowed control
    attach(this, m_bib, "Edit1");
    m_bib->setReadOnly(true); // the bib comes from the operator's console only
    attach(this, m_name, "Edit2");
    attach(this, m_team, "Edit3");
    attach(this, m_markField, "Edit4");
    attach(this, m_diagnostic, "Edit6");
    attach(this, m_startButton, "CuteButton2");
    attach(this, m_endButton, "CuteButton3");
    attach(this, m_yesButton, "CuteButton4");
    attach(this, m_noButton, "CuteButton5");
    attach(this, m_confirmButton, "CuteButton10");
    for (int i = 0; i < int(m_referenceEdits.size()); ++i)
        attach(this, m_referenceEdits[i], u"DBEdit%1"_s.arg(i + 1).toLatin1().constData());
}

void PointInputWindow::createValueButtons()
{
    for (int row = 0; row < RowCount; ++row) {
        auto *panel = findChild<Panel *>(QLatin1String(s_valueRows[row].panel));
        for (int i = 0; i < ColumnCount[row]; ++i) {
            auto *b = new CuteButton(panel);
            b->setObjectName(QString::fromUtf16(s_valueRows[row].prefix) +
                             u"%1"_s.arg(5 * i, 2, 10, QChar(u'0')));
            b->setCaption(EntryModel::caption(i));
            b->setGeometry(8 + 64 * i, 32, 57, 57);
            b->setFont(fonts::make(16, true));
            b->setFontColor(colors::clWindowText);
            b->setColor(colors::clBtnFace);
            dialogkeys::setTabOrder(b, i);
            m_valueButtons[row][i] = b;
        }
    }
}

void PointInputWindow::bindHandlers()
{
    // Every handler runs inside the default error report.
    const auto on = [this](auto *sender, auto signal, auto handler) {
        messages::connectGuarded(sender, signal, this, handler);
    };
    for (int row = 0; row < RowCount; ++row) {
        for (int i = 0; i < ColumnCount[row]; ++i) {
            CuteButton *b = m_valueButtons[row][i];
            on(b, &CuteButton::entered, [this, row, i] {
                if (!m_focusFromSession)
                    m_session.choose(row, i);
            });
            b->installEventFilter(this); // Enter moves on to the next row
        }
    }
    on(m_valueButtons[Flight][0], &CuteButton::clicked, [this] { flightZeroClicked(); });

    // Start and End turn yellow while they have the focus.
    for (CuteButton *b : {m_startButton, m_endButton}) {
        on(b, &CuteButton::entered, [b] { b->setColor(colors::clYellow); });
        on(b, &CuteButton::exited, [b] { b->setColor(colors::clWhite); });
    }
    on(m_startButton, &CuteButton::clicked, [this] { m_session.start(); });
    on(m_endButton, &CuteButton::clicked, [this] { m_session.end(); });

    on(m_confirmButton, &CuteButton::clicked, [this] { m_session.confirm(); });
    on(m_confirmButton, &CuteButton::entered, [b = m_confirmButton] {
        b->setColor(Look::chosenFace);
        b->setFontColor(Look::chosenCaption);
    });
    on(m_confirmButton, &CuteButton::exited, [b = m_confirmButton] {
        b->setColor(Look::normalFace);
        b->setFontColor(Look::normalCaption);
    });
    on(m_yesButton, &CuteButton::clicked, [this] { answerYes(); });
    on(m_noButton, &CuteButton::clicked, [this] { m_session.answerNo(); });
    for (CuteButton *answer : {m_yesButton, m_noButton})
        on(answer, &CuteButton::entered, [this, answer] { answerFocused(answer); });

    on(m_diagnosticPicture, &Picture::doubleClicked, [this] { showDiagnostic(); });
}

// The window draws what the session tells it changed.
void PointInputWindow::followSession()
{
    JudgeSession *s = &m_session;
    // The window may be built after the session has its seat.
    const auto drawSeat = [this] {
        if (!m_session.seat().isEmpty())
            m_seatLetter->setCaption(m_session.seat());
    };
    drawSeat();
    connect(s, &JudgeSession::seatChanged, this, drawSeat);
    connect(s, &JudgeSession::entryChanged, this, [this](int row) {
        drawRow(row);
        drawMark();
    });
    connect(s, &JudgeSession::competitorLoaded, this, &PointInputWindow::drawCompetitor);
    connect(s, &JudgeSession::roundChanged, this, &PointInputWindow::drawRound);
    connect(s, &JudgeSession::noticeChanged, this, &PointInputWindow::drawNotice);
    connect(s, &JudgeSession::operatorReadyChanged, this, &PointInputWindow::drawOperatorReady);
    connect(s, &JudgeSession::questionChanged, this, &PointInputWindow::drawQuestion);
    connect(s, &JudgeSession::healthChanged, this, &PointInputWindow::drawHealth);
    connect(s, &JudgeSession::focusValue, this, &PointInputWindow::focusValue);
    connect(s, &JudgeSession::focusStart, this,
            [this] { m_startButton->setFocus(Qt::OtherFocusReason); });
    connect(s, &JudgeSession::pollFailed, this, &PointInputWindow::reportFailure);
    connect(s, &JudgeSession::told, this,
            [this](const QString &text) { messages::show(this, text); });
    connect(s, &JudgeSession::closing, this, &PointInputWindow::closeWindow);
}
