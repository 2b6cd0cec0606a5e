// The seat claim and release of the main window.
#include "app/mainwindow.h"

#include "db/competitiongateway.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"

using namespace Qt::StringLiterals;

namespace {

const QString s_cannotConnect =
    u"データベースに接続できません。データベースが立ち上がっているか確認してください。"_s;

} // namespace

void MainWindow::claimSeat()
{
    const QString seat = selectedSeat();
    if (seat.isEmpty()) {
        messages::show(this, u"ジャッジ記号が選択されていません。   選択してください。"_s);
        return;
    }
    if (m_claiming || !m_gateway || !pointInput())
        return; // the claim on its way answers first
    // The rows and the value texts start empty together, so that what the window shows is
    // what it would write; also when the claim is refused.
    m_pointInput->clearEntry();
    m_pointInput->setSeat(seat);
    m_claiming = true;
    // Of two stations claiming the same seat at the same moment, one gets it and the other is
    // refused like any taken seat.
    m_gateway->claimSeat(seat, this, [this, seat](const CompetitionGateway::Answer<bool> &answer) {
        m_claiming = false;
        claimAnswered(seat, answer.error, answer.value.value_or(false));
    });
}

void MainWindow::claimAnswered(const QString &seat, const QString &error, bool claimed)
{
    if (!error.isEmpty()) {
        // A part missing on this PC is no server outage: the judge is told which.
        const QString missing = m_gateway->missingHere();
        messages::show(this,
                       missing.isEmpty() ? s_cannotConnect : s_cannotConnect + u"\n\n"_s + missing);
        return;
    }
    if (!claimed) {
        // The notice frees this seat, whichever the judge selects while it stands.
        m_refusedSeat = seat;
        m_seatTakenNotice->show();
        return;
    }
    m_pointInput->session().startPolling();
    m_pointInput->exec(); // until End; the main window takes no input meanwhile
}

void MainWindow::releaseRefusedSeat()
{
    if (m_refusedSeat.isEmpty() || !m_gateway)
        return;
    m_gateway->releaseSeat(
        m_refusedSeat, this,
        [this](const CompetitionGateway::Answer<CompetitionGateway::Done> &answer) {
            if (!answer.ok())
                messages::reportError(this, answer.error);
        });
}
