// Following the run: the poll, the competitor check, Start and End.
#include "Upointin.h"

#include "Udm1.h"
#include "label.h"
#include "messages.h"
#include "panel.h"

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
        reportPollFailure(e);
        return;
    }
    m_pollFailureReported = false;

    if (jikko == u"0") {
        Panel7->show();
        return;
    }
    Panel7->hide();
    try {
        checkzek();
    } catch (const std::exception &e) {
        if (!Dm1->Database1->connected()) {
            reportCheckOutage(e);
            return;
        }
        // The window goes without a word; the seat stays claimed.
        recallTimer->stop();
        closeWindow();
    }
}

// The server went away between the reads of one tick: the same outage a failed poll reports.
// Closing the window would drop the judge's entry and leave the seat claimed with no way
// back, so the window stays and polling goes on.
void TFpointin::reportCheckOutage(const std::exception &e)
{
    // A competitor whose loading was cut short is loaded again in full by the next tick.
    if (Edit1->text() != lastzek)
        Edit1->clear();
    reportPollFailure(e);
}

void TFpointin::reportPollFailure(const std::exception &e)
{
    // Polling goes on every tick; the judge is told once while the failure lasts, and no box
    // is stacked on an open one.
    if (m_pollFailureReported || m_pollBoxOpen)
        return;
    m_pollFailureReported = true;
    m_pollBoxOpen = true;
    messages::reportError(this, QString::fromUtf8(e.what())); // a TError's what() is its text
    m_pollBoxOpen = false;
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

    honval = judge->fieldAsString(u"hon"_s);
    const QString tstno = judge->fieldAsString(u"tstno"_s);
    if (!tstno.isEmpty()) {
        Panel9->show();
        Label26->setText(tstno);
    } else {
        Panel9->hide();
    }
    const QString sumi = judge->fieldAsString(u"sumi"_s);
    Panel5->hide();
    hideQuestion();

    // The stored deductions without their dots: "0.5" -> "05"; a stored 1.0 matches nothing.
    const QString stored[RowCount] = {
        judge->fieldAsString(u"ap"_s).remove(u'.'),
        judge->fieldAsString(u"op"_s).remove(u'.'),
        judge->fieldAsString(u"lp"_s).remove(u'.'),
    };
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    for (int row = 0; row < RowCount; ++row) {
        if (stored[row].isEmpty()) // no caption is empty
            continue;
        for (int i = 0; i < ColumnCount[row]; ++i) {
            if (stored[row] == QString(valueText(i)).remove(u'.'))
                showChosen(row, i);
        }
    }

    Edit1->setText(QString::asprintf("%.3d", judge->fieldAsInteger(u"zek"_s)));
    Edit2->setText(judge->fieldAsString(u"name"_s));
    Edit3->setText(judge->fieldAsString(u"team"_s));
    CuteButton2->setFocus();

    // A row showing a stored deduction holds it as its value, so the mark and a later
    // registration count what the judge sees; the other rows start from "0".
    for (int row = 0; row < RowCount; ++row) {
        const int shown = chosenColumn(row);
        valueTextOf(row) = shown >= 0 ? valueText(shown) : u"0"_s;
    }

    TQuery *reference = Dm1->Qtd;
    reference->close();
    if (Edit6->text() != reference->sql().text()) // the same statement on every load
        Edit6->setText(reference->sql().text());
    reference->open();
    pculc();

    if (sumi == u"T" && (honval == u"1" || honval == u"2")) {
        Panel5->setColor(colors::clYellow);
        Panel5->show();
        Label21->setText(u"Registered"_s);
        Label22->setText(u"登録済みです。"_s);
        sumidisp();
    } else {
        Panel5->hide();
    }

    if (honval == u"X") {
        Panel7->show();
    } else {
        Panel7->hide();
        Label9->setText(honval + u" 本目"_s);
        if (honval == u"3")
            Label9->setText(u"試技"_s);
    }
    if (honval == u"4") {
        reference->close();
        reference->open();
    }
}

void TFpointin::sumidisp()
{
    TQuery *judge = Dm1->Qjudgeent;
    const QString letter = Label1->text();
    setStatement(judge, u"select * from judge"_s + letter);
    judge->open();
    if (judge->fieldAsString(u"zek"_s) == lastzek)
        return;

    const QString columns[RowCount] = {letter + u'a' + honval, letter + u'o' + honval,
                                       letter + u'l' + honval};
    TQuery *race = Dm1->Qedit;
    setStatement(race, u"select * from race where zno='"_s + Edit1->text() + u"'"_s);
    race->open();
    for (int row = 0; row < RowCount; ++row) {
        const QString registered = race->fieldAsString(columns[row]);
        for (int i = 0; i < ColumnCount[row]; ++i) {
            if (registered == valueText(i))
                focusValue(row, i);
        }
    }
}

void TFpointin::CuteButton2Click()
{
    focusValue(Flight, 0);
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    Panel5->hide();
}

void TFpointin::CuteButton3Click()
{
    setStatement(Dm1->Qedit, u"update judge"_s + Label1->text() + u" set ent='False'"_s);
    Dm1->Qedit->execSQL();
    recallTimer->stop();
    hideQuestion();
    Edit1->clear();
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
