// Following the run: the poll, the competitor check, Start and End.
#include "Upointin.h"

#include "dbedit.h"
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

void TFpointin::recallTimerTimer()
{
    // A tick that finds a poll still on its way does nothing.
    if (m_pollInFlight)
        return;
    checkzek();
}

void TFpointin::checkzek(bool checkOnly)
{
    if (!m_gateway)
        return;
    m_pollInFlight = true;
    m_gateway->poll(m_seat, Edit1->text(), checkOnly, this,
                    [this, session = m_session, checkOnly](const auto &answer) {
                        if (session != m_session)
                            return; // asked before the window was closed
                        m_pollInFlight = false;
                        pollAnswered(answer, checkOnly);
                    });
}

void TFpointin::pollAnswered(const CompetitionGateway::Answer<gateway::PollResult> &answer,
                             bool fromShow)
{
    using State = gateway::PollResult::State;
    if (!answer.ok()) {
        // The server gone, or a row the check cannot read (a bib that is no number, a missing
        // column or table): the window, the judge's entry and the seat stay, the judge is
        // told once and the next good poll loads the competitor.
        if (fromShow)
            reportOnceDrawn(answer.error);
        else
            reportPollFailure(answer.error);
        return;
    }
    m_pollFailureReported = false;
    const gateway::PollResult &result = *answer.value;
    if (result.state == State::NotReady) {
        Panel7->show();
        return;
    }
    Panel7->hide();
    if (result.state == State::NewCompetitor)
        loadCompetitor(result);
    if (fromShow) {
        // The not-ready notice stays from the showing until a poll finds the run going.
        CuteButton2->setFocus();
        Panel7->show();
    }
}

void TFpointin::reportPollFailure(const QString &text)
{
    // Polling goes on every tick; the judge is told once while the failure lasts.
    if (m_pollFailureReported)
        return;
    m_pollFailureReported = true;
    messages::reportError(this, text);
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

void TFpointin::loadCompetitor(const gateway::PollResult &result)
{
    const gateway::Competitor &c = result.competitor;
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
        // nothing, and no caption is empty. A row showing one holds it as its value.
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
    const QString reference = CompetitionGateway::referenceStatement();
    if (Edit6->text() != reference)
        Edit6->setText(reference);
    for (TDBEdit *edit : DBEdit)
        edit->showRow(result.reference);
    pculc();

    if (c.registered()) {
        Panel5->setColor(colors::clYellow);
        Panel5->show();
        Label21->setText(u"Registered"_s);
        Label22->setText(u"登録済みです。"_s);
        if (result.registeredMarks) {
            // Chosen through the focus, as the judge would: the registered values.
            for (int row = 0; row < RowCount; ++row) {
                const int column = EntryModel::columnOf(row, (*result.registeredMarks)[row]);
                if (column >= 0)
                    focusValue(row, column);
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

void TFpointin::CuteButton2Click()
{
    focusValue(Flight, 0);
    buttonrefle();
    buttonrefle2();
    buttonrefle3();
    // No row shows a choice now, so none holds a value: the mark shows what would be written.
    pculc();
    Panel5->hide();
}

void TFpointin::CuteButton3Click()
{
    if (m_ending || !m_gateway)
        return;
    m_ending = true;
    // The window closes once the seat is free; a failure leaves it open and polling.
    m_gateway->releaseSeat(m_seat, this, [this, session = m_session](const auto &answer) {
        m_ending = false;
        if (session != m_session)
            return;
        if (!answer.ok()) {
            messages::reportError(this, answer.error);
            return;
        }
        recallTimer->stop();
        hideQuestion();
        Edit1->clear();
        m_loadedZek.clear();
        closeWindow();
    });
}

void TFpointin::Image2DblClick()
{
    Edit6->show();
    Edit6->setText(CompetitionGateway::judgeTableStatement(m_seat));
}

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
