// The point input window as it is built, placed at creation and placed at every showing.
#include "pointin/columnedit.h"
#include "pointin/pointinputwindow.h"
#include "support/named.h"
#include "toolkit/dialogkeys.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"
#include "toolkit/picture.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QColor qcolour(TColor c)
{
    return colors::toQColor(c);
}

} // namespace

class TestPointinLayout : public QObject
{
    Q_OBJECT

private:
    QWidget *m_main = nullptr;
    JudgeSession m_session;
    PointInputWindow *m_w = nullptr;
    QStringList m_messages;

    template<class T = QWidget> T *control(const QString &name) const
    {
        auto *w = m_w->findChild<T *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    bool showAndActivate();

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void window();
    void placement_data();
    void placement();
    void labelsGrowWithTheirText();
    void rowTitlesFollowTheirCaption_data();
    void rowTitlesFollowTheirCaption();
    void textAndFont_data();
    void textAndFont();
    void buttons_data();
    void buttons();
    void panels_data();
    void panels();
    void visibleAtStart_data();
    void visibleAtStart();
    void valueButtonsFollowTheNamingRuleInTheNormalLook();
    void labelsAndPicturesLieBelowWindowedControls();
    void laterPanelsLieAbove_data();
    void laterPanelsLieAbove();
    void showingPlacesNoticesAndFocusesStart();
    void neverShownControlsStayHidden();
    void centredOverTheMainWindowAtEveryShowing();
    void escapeAndCloseRequestDoNotClose();
    void pictures();
    void referenceMarksShowTheirColumns();
};

void TestPointinLayout::initTestCase()
{
    messages::setSink([this](messages::Kind, const QString &text) { m_messages << text; });
    m_main = new QWidget;
    m_main->setGeometry(300, 200, 706, 511);
    m_main->show();
}

void TestPointinLayout::init()
{
    m_messages.clear();
    m_w = new PointInputWindow(m_session, m_main);
}

void TestPointinLayout::cleanup()
{
    m_w->forTests().closeWindow();
    delete m_w;
    m_w = nullptr;
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
}

void TestPointinLayout::cleanupTestCase()
{
    delete m_main;
    messages::setSink({});
}

bool TestPointinLayout::showAndActivate()
{
    m_w->show();
    m_w->activateWindow();
    return QTest::qWaitForWindowActive(m_w);
}

void TestPointinLayout::window()
{
    QCOMPARE(m_w->windowTitle(), u"Fpointin"_s);
    const Qt::WindowFlags flags = m_w->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowMaximizeButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    // Qt adds the system-menu hint to any min/max buttons; no close-button hint means no close box.
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QCOMPARE(m_w->windowType(), Qt::Window);
    QCOMPARE(m_w->size(), QSize(974, 656)); // 990 x 695 with the desktop's frame
    QVERIFY(m_w->minimumSize() != m_w->maximumSize());
    QCOMPARE(m_w->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(m_w->font().family(), u"ＭＳ Ｐゴシック"_s);
    QCOMPARE(m_w->font().pixelSize(), 12);
    QVERIFY(!m_w->font().bold());
}

void TestPointinLayout::placement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");

    const QString window = u"Fpointin"_s;
    QTest::newRow("judge letter") << u"Label1"_s << window << QRect(832, 56, 77, 120);
    QTest::newRow("round") << u"Label9"_s << window << QRect(64, 456, 89, 33);
    QTest::newRow("logo frame") << u"Image1"_s << window << QRect(784, 585, 177, 65);
    QTest::newRow("flight row") << u"Panel1"_s << window << QRect(8, 8, 713, 113);
    QTest::newRow("landing row") << u"Panel3"_s << window << QRect(8, 120, 713, 113);
    QTest::newRow("outrun row") << u"Panel2"_s << window << QRect(8, 232, 971, 113);
    QTest::newRow("confirm panel moved at creation")
        << u"Panel4"_s << window << QRect(328, 392, 337, 89);
    QTest::newRow("notice moved over the confirm panel")
        << u"Panel5"_s << window << QRect(328, 392, 337, 87);
    QTest::newRow("not-ready notice moved and resized at creation")
        << u"Panel7"_s << window << QRect(200, 344, 633, 185);
    QTest::newRow("Start and End panel") << u"Panel8"_s << window << QRect(776, 0, 177, 57);
    QTest::newRow("trial text before showing") << u"Panel9"_s << window << QRect(240, 450, 105, 41);
    QTest::newRow("question before showing")
        << u"Panel10"_s << window << QRect(-120, 312, 601, 177);
    QTest::newRow("bib") << u"Edit1"_s << window << QRect(184, 524, 57, 35);
    QTest::newRow("mark") << u"Edit4"_s << window << QRect(824, 168, 97, 41);
    QTest::newRow("confirm button") << u"CuteButton10"_s << u"Panel4"_s << QRect(104, 16, 140, 60);
    QTest::newRow("Start") << u"CuteButton2"_s << u"Panel8"_s << QRect(10, 11, 70, 34);
    QTest::newRow("no") << u"CuteButton5"_s << u"Panel10"_s << QRect(344, 72, 177, 81);
    QTest::newRow("registered text") << u"Label22"_s << u"Panel5"_s << QRect(104, 40, 139, 24);
    QTest::newRow("flight title") << u"Label5"_s << u"Panel1"_s << QRect(60, 4, 48, 23);
    QTest::newRow("English landing title") << u"Label19"_s << u"Panel3"_s << QRect(8, 8, 68, 19);
    QTest::newRow("operator not ready") << u"Label10"_s << u"Panel7"_s << QRect(136, 32, 331, 33);
    QTest::newRow("trial text") << u"Label26"_s << u"Panel9"_s << QRect(24, 8, 66, 27);
    QTest::newRow("flight M2") << u"DBEdit7"_s << u"Panel6"_s << QRect(144, 40, 30, 24);
}

void TestPointinLayout::placement()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    const QWidget *w = control(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    const auto *label = qobject_cast<const QLabel *>(w);
    if (!label) {
        QCOMPARE(w->geometry(), geometry);
        return;
    }
    // A label is at least its design box and shows its whole text in the font at hand; it
    // keeps the edge (or the centre) that its text is aligned to.
    QCOMPARE(w->y(), geometry.y());
    QVERIFY(w->width() >= geometry.width() && w->height() >= geometry.height());
    QVERIFY(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height());
    if (label->alignment() & Qt::AlignHCenter)
        QVERIFY(qAbs(w->geometry().center().x() - geometry.center().x()) <= 1);
    else if (label->alignment() & Qt::AlignRight)
        QCOMPARE(w->geometry().right(), geometry.right());
    else if (QStringList{u"Label5"_s, u"Label6"_s, u"Label7"_s}.contains(name))
        QVERIFY(w->x() >= geometry.x()); // a row's title follows its caption where that grew
    else
        QCOMPARE(w->x(), geometry.x());
}

void TestPointinLayout::labelsGrowWithTheirText()
{
    const QRect registered = named<FittingLabel>(m_w, "Label22")->geometry();
    named<FittingLabel>(m_w, "Label22")->setCaption(u"登録済みです。登録済みです。"_s);
    QCOMPARE(named<FittingLabel>(m_w, "Label22")->geometry().right(), registered.right());
    QVERIFY(named<FittingLabel>(m_w, "Label22")->width() > registered.width());
    QVERIFY(named<FittingLabel>(m_w, "Label22")->width() >=
            named<FittingLabel>(m_w, "Label22")->sizeHint().width());

    named<FittingLabel>(m_w, "Label26")->setCaption(u"12 - 345 long trial"_s);
    QCOMPARE(named<FittingLabel>(m_w, "Label26")->pos(), QPoint(24, 8));
    QVERIFY(named<FittingLabel>(m_w, "Label26")->width() >=
            named<FittingLabel>(m_w, "Label26")->sizeHint().width());

    // A shorter text keeps the design box.
    named<FittingLabel>(m_w, "Label9")->setCaption(u"試技"_s);
    QCOMPARE(named<FittingLabel>(m_w, "Label9")->geometry().topLeft(), QPoint(64, 456));
    QVERIFY(named<FittingLabel>(m_w, "Label9")->width() >= 89);
}

void TestPointinLayout::rowTitlesFollowTheirCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("designLeft");
    QTest::newRow("flight") << u"Label18"_s << u"Label5"_s << 60;
    QTest::newRow("landing") << u"Label19"_s << u"Label6"_s << 84;
    QTest::newRow("outrun") << u"Label20"_s << u"Label7"_s << 76;
}

// A font wider than the design's (Windows' substitute under Wine) grows the English caption:
// the Japanese title moves after it rather than covering its last letter, and comes back.
void TestPointinLayout::rowTitlesFollowTheirCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, title);
    QFETCH(int, designLeft);
    m_w->show(); // a hidden window places its labels once shown
    auto *english = named<FittingLabel>(m_w, caption.toLatin1().constData());
    auto *japanese = named<FittingLabel>(m_w, title.toLatin1().constData());
    const auto placed = [&] { return qMax(designLeft, english->geometry().right() + 1); };
    // At its design place, or after a caption that its font already made wider (Wine).
    QCOMPARE(japanese->x(), placed());
    const int before = japanese->x();

    const QFont designed = english->font();
    QFont wide = designed;
    wide.setPixelSize(designed.pixelSize() * 2);
    english->setFont(wide);
    QVERIFY(english->geometry().right() + 1 > designLeft);
    QCOMPARE(japanese->x(), english->geometry().right() + 1);

    english->setFont(designed);
    QCOMPARE(japanese->x(), before);
}

void TestPointinLayout::textAndFont_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<TColor>("colour");
    QTest::addColumn<int>("alignment");

    const int left = Qt::AlignLeft;
    QTest::newRow("judge letter") << u"Label1"_s << u"A"_s << 120 << true << colors::clBlue << left;
    QTest::newRow("bib caption") << u"Label2"_s << u"ゼッケン"_s << 27 << true << 0x00A00000u
                                 << left;
    QTest::newRow("English name caption")
        << u"Label24"_s << u"Name"_s << 19 << true << colors::clNavy << left;
    QTest::newRow("round") << u"Label9"_s << u"１本目"_s << 32 << true << colors::clBlue << left;
    QTest::newRow("flight title") << u"Label5"_s << u"空中"_s << 23 << true << colors::clWhite
                                  << left;
    QTest::newRow("registering, notice's font, centred")
        << u"Label21"_s << u"Now registering "_s << 24 << true << colors::clBlue
        << int(Qt::AlignHCenter);
    QTest::newRow("registered, right-aligned")
        << u"Label22"_s << u"登録中です。"_s << 24 << true << colors::clBlue << int(Qt::AlignRight);
    QTest::newRow("not ready, notice's font")
        << u"Label10"_s << u"Operator not ready yet !!"_s << 32 << false << colors::clBlue << left;
    QTest::newRow("trial placeholder")
        << u"Label26"_s << u" 1 - 1"_s << 27 << false << 0x00A00000u << left;
    QTest::newRow("question") << u"Label27"_s << u"指定したデータを登録してよろしいですか？"_s << 27
                              << false << colors::clYellow << left;
    QTest::newRow("unused End label, window font")
        << u"Label8"_s << u"End"_s << 12 << false << colors::clWindowText << left;
    QTest::newRow("bib") << u"Edit1"_s << u"001"_s << 27 << true << 0x00A00000u << left;
    QTest::newRow("mark until first computed")
        << u"Edit4"_s << u"Edit4"_s << 32 << true << colors::clNavy << left;
    QTest::newRow("hidden edit, window font")
        << u"Edit5"_s << u"Edit5"_s << 12 << false << colors::clWindowText << left;
    QTest::newRow("reference mark")
        << u"DBEdit12"_s << QString() << 16 << false << 0x00A00000u << left;
}

void TestPointinLayout::textAndFont()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(TColor, colour);
    QFETCH(int, alignment);
    const QWidget *w = control(name);
    QVERIFY(w);
    if (const auto *label = qobject_cast<const QLabel *>(w)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), alignment);
        QCOMPARE(label->palette().color(QPalette::WindowText), qcolour(colour));
    } else {
        const auto *edit = qobject_cast<const QLineEdit *>(w);
        QVERIFY(edit);
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->palette().color(QPalette::Text), qcolour(colour));
    }
    QCOMPARE(w->font().family(), u"ＭＳ Ｐゴシック"_s);
    QCOMPARE(w->font().pixelSize(), pixels);
    QCOMPARE(w->font().bold(), bold);
}

void TestPointinLayout::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<TColor>("face");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<TColor>("captionColour");
    QTest::addColumn<int>("tabOrder");

    QTest::newRow("confirm") << u"CuteButton10"_s << u"確定"_s << colors::clBtnFace << 29 << true
                             << 0x00A00000u << 0;
    QTest::newRow("Start, window font") << u"CuteButton2"_s << u"Start"_s << colors::clWhite << 12
                                        << false << colors::clWindowText << 0;
    QTest::newRow("End") << u"CuteButton3"_s << u"End"_s << colors::clWhite << 12 << false
                         << colors::clWindowText << 1;
    QTest::newRow("yes") << u"CuteButton4"_s << u"はい"_s << colors::clYellow << 40 << false
                         << 0x00A00000u << 0;
    QTest::newRow("no") << u"CuteButton5"_s << u"いいえ"_s << 0x00400000u << 40 << false
                        << colors::clGray << 1;
    QTest::newRow("close") << u"CuteButton1"_s << u"×"_s << colors::clBlack << 96 << true
                           << colors::clYellow << 0;
}

void TestPointinLayout::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(TColor, face);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(TColor, captionColour);
    QFETCH(int, tabOrder);
    const auto *b = control<CuteButton>(name);
    QVERIFY(b);
    QCOMPARE(b->caption(), caption);
    QCOMPARE(b->color(), face);
    QCOMPARE(b->fontColor(), captionColour);
    QCOMPARE(b->font().pixelSize(), pixels);
    QCOMPARE(b->font().bold(), bold);
    QCOMPARE(b->property("tollivaneTabOrder").toInt(), tabOrder);
    QVERIFY(!b->flat());
    QVERIFY(!b->ignoreContinuousClicks());
    QVERIFY(!b->showFocusRect());
}

void TestPointinLayout::panels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<TColor>("face");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("outer");
    QTest::addColumn<int>("inner");
    QTest::addColumn<int>("bevelWidth");
    QTest::addColumn<bool>("border");

    const int none = int(Panel::Bevel::None);
    const int raised = int(Panel::Bevel::Raised);
    const int lowered = int(Panel::Bevel::Lowered);
    QTest::newRow("flight row black")
        << u"Panel1"_s << colors::clBlack << QString() << raised << none << 1 << false;
    QTest::newRow("confirm panel black")
        << u"Panel4"_s << colors::clBlack << QString() << raised << none << 1 << false;
    QTest::newRow("registering notice yellow")
        << u"Panel5"_s << colors::clYellow << QString() << raised << none << 1 << false;
    QTest::newRow("not ready: pink, double bevel, border, caption")
        << u"Panel7"_s << 0x00FF80FFu << u"オペレータの準備が出来ていません。"_s << raised
        << lowered << 3 << true;
    QTest::newRow("trial text without bevel")
        << u"Panel9"_s << colors::clWhite << QString() << none << none << 1 << false;
    QTest::newRow("question navy")
        << u"Panel10"_s << colors::clNavy << QString() << raised << none << 1 << false;
    QTest::newRow("reference marks button face")
        << u"Panel6"_s << colors::clBtnFace << QString() << raised << none << 1 << false;
}

void TestPointinLayout::panels()
{
    QFETCH(QString, name);
    QFETCH(TColor, face);
    QFETCH(QString, caption);
    QFETCH(int, outer);
    QFETCH(int, inner);
    QFETCH(int, bevelWidth);
    QFETCH(bool, border);
    const auto *p = control<Panel>(name);
    QVERIFY(p);
    QCOMPARE(p->color(), face);
    QCOMPARE(p->caption(), caption);
    QCOMPARE(int(p->bevelOuter()), outer);
    QCOMPARE(int(p->bevelInner()), inner);
    QCOMPARE(p->bevelWidth(), bevelWidth);
    QCOMPARE(p->borderStyle() == Panel::BorderStyle::Single, border);
}

void TestPointinLayout::visibleAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("visible");

    QTest::newRow("not-ready notice shown") << u"Panel7"_s << true;
    QTest::newRow("mark shown") << u"Edit4"_s << true;
    QTest::newRow("confirm button shown") << u"CuteButton10"_s << true;
    QTest::newRow("registering notice hidden") << u"Panel5"_s << false;
    QTest::newRow("reference marks hidden") << u"Panel6"_s << false;
    QTest::newRow("trial text hidden") << u"Panel9"_s << false;
    QTest::newRow("question hidden") << u"Panel10"_s << false;
    QTest::newRow("diagnostic field hidden") << u"Edit6"_s << false;
}

void TestPointinLayout::visibleAtStart()
{
    QFETCH(QString, name);
    QFETCH(bool, visible);
    const QWidget *w = control(name);
    QVERIFY(w);
    QCOMPARE(w->isVisibleTo(m_w), visible);
}

void TestPointinLayout::valueButtonsFollowTheNamingRuleInTheNormalLook()
{
    const char *const panels[] = {"Panel1", "Panel3", "Panel2"};
    const char *const prefixes[] = {"Cba", "cbo", "cbl"};
    const char *const captions[] = {"0", "0.5", "1", "1.5", "2", "2.5", "3", "3.5",
                                    "4", "4.5", "5", "5.5", "6", "6.5", "7"};
    const int counts[] = {11, 11, 15};
    int seen = 0;
    for (int row = 0; row < 3; ++row) {
        auto *panel = control<Panel>(QLatin1String(panels[row]));
        QCOMPARE(panel->findChildren<CuteButton *>().size(), counts[row]);
        for (int i = 0; i < counts[row]; ++i) {
            const QString name =
                QLatin1String(prefixes[row]) + u"%1"_s.arg(5 * i, 2, 10, QChar(u'0'));
            auto *b = panel->findChild<CuteButton *>(name);
            QVERIFY2(b, qPrintable(name));
            QCOMPARE(m_w->forTests().valueButton(row, i), b);
            QCOMPARE(b->caption(), QLatin1String(captions[i]));
            // Normal look from creation on: untouched rows count as incomplete.
            QCOMPARE(b->geometry(), QRect(8 + 64 * i, 32, 56, 56));
            QCOMPARE(b->color(), colors::clBtnFace);
            QCOMPARE(b->fontColor(), 0x00A00000u);
            QCOMPARE(b->font().pixelSize(), 27); // 20 points
            QVERIFY(b->font().bold());
            QCOMPARE(b->property("tollivaneTabOrder").toInt(), i);
            ++seen;
        }
    }
    QCOMPARE(seen, 37);
    QCOMPARE(PointInputWindow::Look::normalLeft(14), 904);
    QCOMPARE(PointInputWindow::Look::chosenLeft(14), 896);
}

void TestPointinLayout::labelsAndPicturesLieBelowWindowedControls()
{
    qsizetype lastStatic = -1;
    qsizetype firstWindowed = -1;
    const QObjectList children = m_w->children();
    for (qsizetype i = 0; i < children.size(); ++i) {
        auto *w = qobject_cast<QWidget *>(children[i]);
        if (!w)
            continue;
        if (qobject_cast<QLabel *>(w) || qobject_cast<Picture *>(w))
            lastStatic = i;
        else if (firstWindowed < 0)
            firstWindowed = i;
    }
    QVERIFY(lastStatic >= 0 && firstWindowed >= 0);
    QVERIFY(lastStatic < firstWindowed);
}

void TestPointinLayout::laterPanelsLieAbove_data()
{
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("top");

    QTest::newRow("Panel7 covers the confirm button")
        << QStringList{u"Panel7"_s} << QPoint(500, 430) << u"Panel7"_s;
    QTest::newRow("Panel5 covers the confirm button")
        << QStringList{u"Panel5"_s} << QPoint(500, 430) << u"Panel5"_s;
    QTest::newRow("Panel9 above Panel7")
        << QStringList{u"Panel7"_s, u"Panel9"_s} << QPoint(230, 470) << u"Panel9"_s;
    QTest::newRow("Panel10 above Panel7")
        << QStringList{u"Panel7"_s, u"Panel10"_s} << QPoint(700, 400) << u"Panel10"_s;
    QTest::newRow("Panel10 above Panel5")
        << QStringList{u"Panel5"_s, u"Panel10"_s} << QPoint(400, 470) << u"Panel10"_s;
}

void TestPointinLayout::laterPanelsLieAbove()
{
    QFETCH(QStringList, shown);
    QFETCH(QPoint, point);
    QFETCH(QString, top);
    QVERIFY(showAndActivate());
    for (const char *name : {"Panel5", "Panel7", "Panel9", "Panel10"})
        control(QLatin1String(name))->setVisible(shown.contains(QLatin1String(name)));
    QWidget *hit = m_w->childAt(point);
    QVERIFY(hit);
    QWidget *expected = control(top);
    QVERIFY2(hit == expected || expected->isAncestorOf(hit), qPrintable(hit->objectName()));
}

void TestPointinLayout::showingPlacesNoticesAndFocusesStart()
{
    named<QLineEdit>(m_w, "Edit1")->setText(u"123"_s);
    named<Panel>(m_w, "Panel7")->hide();
    QVERIFY(showAndActivate());
    QVERIFY(named<QLineEdit>(m_w, "Edit1")->text().isEmpty());
    QCOMPARE(named<Panel>(m_w, "Panel9")->pos(), QPoint(160, 450));
    QCOMPARE(named<Panel>(m_w, "Panel10")->pos(), QPoint(192, 344));
    QVERIFY(named<Panel>(m_w, "Panel7")->isVisible());
    QVERIFY(!named<Panel>(m_w, "Panel10")->isVisible());
    QCOMPARE(QApplication::focusWidget(), named<CuteButton>(m_w, "CuteButton2"));
    QCOMPARE(named<CuteButton>(m_w, "CuteButton2")->color(), colors::clYellow);

    // Every showing, also after the judge moved on.
    named<Panel>(m_w, "Panel10")->move(0, 0);
    named<Panel>(m_w, "Panel7")->hide();
    m_w->forTests().valueButton(PointInputWindow::Landing, 3)->setFocus();
    m_w->forTests().closeWindow();
    QVERIFY(!m_w->isVisible());
    QVERIFY(showAndActivate());
    QCOMPARE(named<Panel>(m_w, "Panel10")->pos(), QPoint(192, 344));
    QVERIFY(named<Panel>(m_w, "Panel7")->isVisible());
    QCOMPARE(QApplication::focusWidget(), named<CuteButton>(m_w, "CuteButton2"));
}

void TestPointinLayout::neverShownControlsStayHidden()
{
    QVERIFY(showAndActivate());
    for (const char *name : {"CuteButton1", "CuteButton11", "Panel6", "Label8", "Edit5"})
        QVERIFY2(!control(QLatin1String(name))->isVisible(), name);
}

void TestPointinLayout::centredOverTheMainWindowAtEveryShowing()
{
    // The outer rectangle (990 x 695 with the frame) is centred over the main window's frame.
    auto outerCentre = [this] {
        const QRect frame = m_w->frameGeometry();
        const bool knowsFrame = frame.size() != m_w->size();
        return knowsFrame ? frame.center() : QRect(m_w->pos(), QSize(990, 695)).center();
    };
    QVERIFY(showAndActivate());
    QVERIFY(qAbs(outerCentre().x() - m_main->frameGeometry().center().x()) <= 1);
    QVERIFY(qAbs(outerCentre().y() - m_main->frameGeometry().center().y()) <= 1);

    m_w->forTests().closeWindow();
    m_w->move(10, 10);
    m_main->move(250, 150);
    QVERIFY(showAndActivate());
    QVERIFY(qAbs(outerCentre().x() - m_main->frameGeometry().center().x()) <= 1);
    QVERIFY(qAbs(outerCentre().y() - m_main->frameGeometry().center().y()) <= 1);
    m_main->move(300, 200);
}

void TestPointinLayout::escapeAndCloseRequestDoNotClose()
{
    QVERIFY(showAndActivate());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(m_w->isVisible());
    QTest::keyClick(m_w, Qt::Key_Escape);
    QVERIFY(m_w->isVisible());
    QVERIFY(!m_w->close());
    QVERIFY(m_w->isVisible());
    m_w->reject();
    QVERIFY(m_w->isVisible());
    m_w->forTests().closeWindow();
    QVERIFY(!m_w->isVisible());
}

void TestPointinLayout::pictures()
{
    QCOMPARE(named<Picture>(m_w, "Image1")->picture().size(), QSize(177, 59));
    QCOMPARE(named<Picture>(m_w, "Image2")->picture().size(), QSize(95, 49));
    for (const char *file : {":/pointin/logo.png", ":/pointin/partner.png"}) {
        const QImage img{QLatin1String(file)};
        QVERIFY2(!img.isNull(), file);
        QVERIFY2(!img.hasAlphaChannel(), file);
    }
    // Drawn unscaled from the top-left corner of the frame.
    QVERIFY(showAndActivate());
    const QImage shown = named<Picture>(m_w, "Image1")->grab().toImage();
    const QImage logo(u":/pointin/logo.png"_s);
    QCOMPARE(shown.pixelColor(30, 40), logo.pixelColor(30, 40));
    QCOMPARE(shown.pixelColor(100, 20), logo.pixelColor(100, 20));
}

void TestPointinLayout::referenceMarksShowTheirColumns()
{
    const char *const fields[] = {"TDap", "TDop", "TDlp", "M1ap", "M1op", "M1lp",
                                  "M2ap", "M2op", "M2lp", "M3ap", "M3op", "M3lp"};
    const int tabOrders[] = {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    QList<std::pair<QString, QString>> row;
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((i) + 1)))->objectName(),
                 u"DBEdit%1"_s.arg(i + 1));
        QCOMPARE(named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((i) + 1)))->dataField(),
                 QLatin1String(fields[i]));
        QCOMPARE(named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((i) + 1)))
                     ->property("tollivaneTabOrder")
                     .toInt(),
                 tabOrders[i]);
        QVERIFY(named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((i) + 1)))->isReadOnly());
        // Names as the server spells them: upper case on Firebird.
        row.append({QString::fromLatin1(fields[11 - i]).toUpper(), QString::number(11 - i)});
    }
    for (int i = 0; i < 12; ++i) {
        named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((i) + 1)))->showRow(row);
        QCOMPARE(named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((i) + 1)))->text(),
                 QString::number(i));
    }
    named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((4) + 1)))->showRow({});
    QVERIFY(named<ColumnEdit>(m_w, qPrintable(u"DBEdit%1"_s.arg((4) + 1)))->text().isEmpty());
}

QTEST_MAIN(TestPointinLayout)
#include "tst_pointin_layout.moc"
