// Following the run: the poll, the competitor check, Start and End.
#include "Upointin.h"

#include "Udm1.h"
#include "label.h"
#include "messages.h"
#include "panel.h"
#include "statements.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr TColor s_focusedFace = 0x0000FFFF; // yellow
constexpr TColor s_restingFace = 0x00FFFFFF; // white

} // namespace

void TFpointin::setStatement(TQuery *query, const QString &text)
{
    query->sql().clear();
    query->sql().add(text);
}

void TFpointin::recallTimerTimer()
{
    QString jikko;
    try {
        TQuery *poll = Dm1->Qnewzek;
        setStatement(poll, u"select jikko from judgeent"_s);
        poll->open();
        jikko = poll->fieldAsString(u"jikko"_s);
    } catch (const std::exception &e) {
        reportPollFailure(QString::fromUtf8(e.what())); // a TError's what() is its text
        return;
    }

    if (jikko == u"0") {
        m_pollFailureReported = false;
        Panel7->show();
        return;
    }
    Panel7->hide();
    try {
        checkzek();
    } catch (const std::exception &e) {
        // A row the check cannot read (a bib that is no number, a missing column or table) or
        // a server gone between the reads: the window, the judge's entry and the seat stay,
        // the judge is told once and the next good poll loads the competitor.
        reportPollFailure(QString::fromUtf8(e.what()));
        return;
    }
    m_pollFailureReported = false;
}

void TFpointin::reportPollFailure(const QString &text)
{
    // Polling goes on every tick; the judge is told once while the failure lasts.
    if (m_pollFailureReported)
        return;
    m_pollFailureReported = true;
    messages::reportError(this, text);
}

void TFpointin::showChosen(int row, int column)
{
    TCuteButton *b = valueButtons[row][column];
    b->setColor(selColor);
    b->setFontColor(selFontColor);
    b->setGeometry(selLeft[column], selTop, selWidth, selHeight);
    setCaptionSize(b, selFontSize);
}

int TFpointin::chosenColumn(int row) const
{
    for (int i = 0; i < ColumnCount[row]; ++i) {
        if (valueButtons[row][i]->width() == selWidth)
            return i;
    }
    return -1;
}

void TFpointin::focusValue(int row, int column)
{
    TCuteButton *b = valueButtons[row][column];
    b->setFocus(Qt::OtherFocusReason);
    // While another window is active the focus only moves when this one comes back; the
    // value is chosen now all the same.
    if (QApplication::focusWidget() != b)
        chooseValue(row, column);
}

// Everything a new competitor needs is read before the display changes, so a row that cannot
// be read leaves the competitor on display and the judge's entry as they were.
void TFpointin::checkzek()
{
    lastzek = Edit1->text();
    TQuery *judge = Dm1->Qjudgeent;
    judge->close();
    setStatement(judge, u"select * from judge"_s + Label1->text());
    judge->open();

    const QString zek = judge->fieldAsString(u"zek"_s);
    if (zek == lastzek)
        return;

    LoadedCompetitor c;
    c.zek = zek;
    c.hon = judge->fieldAsString(u"hon"_s);
    c.tstno = judge->fieldAsString(u"tstno"_s);
    c.sumi = judge->fieldAsString(u"sumi"_s);
    c.stored[Flight] = judge->fieldAsString(u"ap"_s);
    c.stored[Landing] = judge->fieldAsString(u"op"_s);
    c.stored[Outrun] = judge->fieldAsString(u"lp"_s);
    c.bib = QString::asprintf("%.3d", judge->fieldAsInteger(u"zek"_s));
    c.name = judge->fieldAsString(u"name"_s);
    c.team = judge->fieldAsString(u"team"_s);

    TQuery *reference = Dm1->Qtd;
    reference->close();
    if (Edit6->text() != reference->sql().text()) // the same statement on every load
        Edit6->setText(reference->sql().text());
    reference->open();
    if (c.sumi == u"T" && (c.hon == u"1" || c.hon == u"2"))
        c.registered = sumidisp(c);
    if (c.hon == u"4") {
        reference->close();
        reference->open();
    }
    loadCompetitor(c);
}

void TFpointin::loadCompetitor(const LoadedCompetitor &c)
{
    honval = c.hon;
    m_loadedZek = c.zek;
    if (!c.tstno.isEmpty()) {
        Panel9->show();
        Label26->setText(c.tstno);
    } else {
        Panel9->hide();
    }
    Panel5->hide();
    hideQuestion();

    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    for (int row = 0; row < RowCount; ++row) {
        // The stored deductions without their dots: "0.5" -> "05"; a stored 1.0 matches
        // nothing, and no caption is empty.
        const QString stored = QString(c.stored[row]).remove(u'.');
        if (stored.isEmpty())
            continue;
        for (int i = 0; i < ColumnCount[row]; ++i) {
            if (stored == QString(valueText(i)).remove(u'.'))
                showChosen(row, i);
        }
    }

    Edit1->setText(c.bib);
    Edit2->setText(c.name);
    Edit3->setText(c.team);
    CuteButton2->setFocus();

    // A row showing a stored deduction holds it as its value, so the mark and a later
    // registration count what the judge sees; the other rows start from "0".
    syncValueTexts();
    pculc();

    if (c.sumi == u"T" && (c.hon == u"1" || c.hon == u"2")) {
        Panel5->setColor(colors::clYellow);
        Panel5->show();
        Label21->setText(u"Registered"_s);
        Label22->setText(u"登録済みです。"_s);
        if (c.registered) {
            for (int row = 0; row < RowCount; ++row) {
                for (int i = 0; i < ColumnCount[row]; ++i) {
                    if (c.race[row] == valueText(i))
                        focusValue(row, i);
                }
            }
        }
    } else {
        Panel5->hide();
    }

    if (c.hon == u"X") {
        Panel7->show();
    } else {
        Panel7->hide();
        Label9->setText(c.hon + u" 本目"_s);
        if (c.hon == u"3")
            Label9->setText(u"試技"_s);
    }
}

// The marks this judge registered for the competitor, from race. False when the judge table
// went back to the competitor shown before in the meantime.
bool TFpointin::sumidisp(LoadedCompetitor &c)
{
    TQuery *judge = Dm1->Qjudgeent;
    const QString letter = Label1->text();
    setStatement(judge, u"select * from judge"_s + letter);
    judge->open();
    if (judge->fieldAsString(u"zek"_s) == lastzek)
        return false;

    const QString columns[RowCount] = {letter + u'a' + c.hon, letter + u'o' + c.hon,
                                       letter + u'l' + c.hon};
    TQuery *race = Dm1->Qedit;
    setStatement(race, u"select * from race where zno='"_s + c.bib + u"'"_s);
    race->open();
    for (int row = 0; row < RowCount; ++row)
        c.race[row] = race->fieldAsString(columns[row]);
    return true;
}

void TFpointin::CuteButton2Click()
{
    focusValue(Flight, 0);
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    // No row shows a choice now, so none holds a value: the mark shows what would be written.
    syncValueTexts();
    pculc();
    Panel5->hide();
}

void TFpointin::CuteButton3Click()
{
    setStatement(Dm1->Qedit, statements::releaseSeat(Label1->text()));
    Dm1->Qedit->execSQL();
    recallTimer->stop();
    hideQuestion();
    Edit1->clear();
    m_loadedZek.clear();
    closeWindow();
}

void TFpointin::Image2DblClick()
{
    Edit6->show();
    Edit6->setText(Dm1->Qjudgeent->sql().text());
}

// The × button is never shown.
void TFpointin::CuteButton1Click() {}

void TFpointin::CuteButton2Enter()
{
    CuteButton2->setColor(s_focusedFace);
}

void TFpointin::CuteButton2Exit()
{
    CuteButton2->setColor(s_restingFace);
}

void TFpointin::CuteButton3Enter()
{
    CuteButton3->setColor(s_focusedFace);
}

void TFpointin::CuteButton3Exit()
{
    CuteButton3->setColor(s_restingFace);
}
