// Following the run: the showing, the poll, loading a competitor, Start and End.
#include "pointin/pointinputwindow.h"

#include "pointin/columnedit.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/fonts.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

// Every time the window is shown.
void PointInputWindow::prepareShowing()
{
    m_bib->clear();
    m_loadedZek.clear();
    m_trialPanel->move(160, m_trialPanel->y()); // beside the round

    // The competitor check: loads the current competitor whatever bib was on display. Its
    // answer comes once the window is on the screen.
    checkCompetitor(true);

    m_startButton->setFocus();
    m_questionPanel->move(192, 344);
    m_notReadyNotice->show();
}

void PointInputWindow::startPolling()
{
    m_pollTimer->start();
}

void PointInputWindow::pollTick()
{
    // A tick that finds a poll still on its way does nothing.
    if (m_pollInFlight)
        return;
    checkCompetitor(false);
}

void PointInputWindow::checkCompetitor(bool checkOnly)
{
    if (!m_gateway)
        return;
    m_pollInFlight = true;
    m_gateway->poll(m_seat, m_bib->text(), checkOnly, this,
                    [this, session = m_session, checkOnly](const auto &answer) {
                        if (session != m_session)
                            return; // asked before the window was closed
                        m_pollInFlight = false;
                        pollAnswered(answer, checkOnly);
                    });
}

void PointInputWindow::pollAnswered(const CompetitionGateway::Answer<gateway::PollResult> &answer,
                                    bool fromShow)
{
    using State = gateway::PollResult::State;
    // A row the check cannot read is no outage: the connection answered.
    answered(answer.ok() || m_gateway->connected());
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
        m_notReadyNotice->show();
        return;
    }
    m_notReadyNotice->hide();
    if (result.state == State::NewCompetitor)
        loadCompetitor(result);
    // The not-ready notice stays from the showing until a poll finds the run going. The focus
    // stays where the judge put it meanwhile, unless a competitor was loaded.
    if (fromShow)
        m_notReadyNotice->show();
}

void PointInputWindow::answered(bool good)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (good) {
        m_lastGoodAnswer = now;
        m_failingSince = QDateTime();
    } else if (!m_failingSince.isValid()) {
        m_failingSince = now;
    }
    showHealth();
}

void PointInputWindow::showHealth()
{
    QString text;
    TColor colour = colors::darkBlue;
    if (m_registering) {
        text = u"… 登録中 Registering"_s;
        colour = colors::clBlue;
    } else if (m_failingSince.isValid()) {
        text = u"× 未接続 Offline since "_s + m_failingSince.toString(u"HH:mm:ss"_s);
        colour = colors::clRed;
    } else if (m_lastGoodAnswer.isValid()) {
        text = u"● 接続中 Connected "_s + m_lastGoodAnswer.toString(u"HH:mm:ss"_s);
    }
    if (m_healthLine->text() != text)
        m_healthLine->setText(text);
    // A palette change restyles the label: only when the colour changes.
    if (m_healthLine->palette().color(QPalette::WindowText) != colors::toQColor(colour))
        fonts::setTextColour(m_healthLine, colour);
}

void PointInputWindow::reportPollFailure(const QString &text)
{
    // Polling goes on every tick; the judge is told once while the failure lasts.
    if (m_pollFailureReported)
        return;
    m_pollFailureReported = true;
    messages::reportError(this, text);
}

void PointInputWindow::focusValue(int row, int column)
{
    CuteButton *b = m_valueButtons[row][column];
    b->setFocus(Qt::OtherFocusReason);
    // While another window is active the focus only moves when this one comes back; the
    // value is chosen now all the same.
    if (QApplication::focusWidget() != b)
        chooseValue(row, column);
}

void PointInputWindow::loadCompetitor(const gateway::PollResult &result)
{
    const gateway::Competitor &c = result.competitor;
    m_loadedZek = c.zek;
    m_loadedRound = c.hon;
    m_trialPanel->setVisible(!c.tstno.isEmpty());
    if (!c.tstno.isEmpty())
        m_trialText->setText(c.tstno);
    m_notice->hide();
    hideQuestion();

    for (int row = 0; row < RowCount; ++row)
        resetRow(row);
    for (int row = 0; row < RowCount; ++row) {
        // The stored deductions without their dots: "0.5" -> "05"; a stored 1.0 matches
        // nothing, and no caption is empty. A row showing one holds it as its value.
        const QString stored = QString(c.stored[row]).remove(u'.');
        if (stored.isEmpty())
            continue;
        for (int i = 0; i < ColumnCount[row]; ++i) {
            if (stored == EntryModel::caption(i).remove(u'.'))
                showStored(row, i);
        }
    }

    m_bib->setText(c.bib);
    m_name->setText(c.name);
    m_team->setText(c.team);
    m_startButton->setFocus();
    const QString reference = CompetitionGateway::referenceStatement();
    if (m_diagnostic->text() != reference)
        m_diagnostic->setText(reference);
    for (ColumnEdit *edit : m_referenceEdits)
        edit->showRow(result.reference);
    showMark();

    m_notice->setVisible(c.registered());
    if (c.registered()) {
        m_notice->setColor(colors::clYellow);
        m_noticeEnglish->setText(u"Registered"_s);
        m_noticeJapanese->setText(u"登録済みです。"_s);
        if (result.registeredMarks)
            showRegisteredMarks(*result.registeredMarks);
    }
    showRound(c.hon);
}

// Chosen through the focus, as the judge would: the marks registered in race.
void PointInputWindow::showRegisteredMarks(const std::array<QString, RowCount> &marks)
{
    for (int row = 0; row < RowCount; ++row) {
        const int column = EntryModel::columnOf(row, marks[row]);
        if (column >= 0)
            focusValue(row, column);
    }
}

void PointInputWindow::showRound(const QString &round)
{
    // Round X: the operator is not ready; the round on display stays.
    if (round == u"X") {
        m_notReadyNotice->show();
        return;
    }
    m_notReadyNotice->hide();
    m_round->setText(round == u"3" ? u"試技"_s : round + u" 本目"_s);
}

void PointInputWindow::start()
{
    focusValue(Flight, 0);
    // No row shows a choice now, so none holds a value: the mark shows what would be written.
    clearEntry();
    m_notice->hide();
}

void PointInputWindow::end()
{
    // After a registration's outcome: the judge is told it before the window closes.
    if (m_ending || m_registering || !m_gateway)
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
        m_pollTimer->stop();
        hideQuestion();
        m_bib->clear();
        m_loadedZek.clear();
        closeWindow();
    });
}

void PointInputWindow::showDiagnostic()
{
    m_diagnostic->show();
    m_diagnostic->setText(CompetitionGateway::judgeTableStatement(m_seat));
}
