#pragma once

#include "app/stationsettings.h"
#include "toolkit/reply.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace gateway {
struct Claim;
}

class CompetitionGateway;
class JudgeSession;

// What goes on at the main window, without a widget: the seat chosen, the connection profile
// and its fallback, the claim of the seat and the release from the notice, and the station's
// settings. It asks the competition through the gateway, starts the judge session of a seat it
// claimed, and tells the window what changed; the window draws it and passes the judge's
// clicks in.
class StationSession : public QObject
{
    Q_OBJECT
public:
    // The last claim of a seat.
    enum class Claim
    {
        Idle,     // none yet, or End released the seat
        Claiming, // on its way: another 確認 does nothing until it answers
        Refused,  // the seat was taken: the notice stands for it
        Claimed   // the point input window follows the seat
    };

    // The judge session a claimed seat starts: the point input window's, built when it is
    // first asked for.
    using JudgeSessions = std::function<JudgeSession *()>;

    // Reads the settings and, with a gateway, connects their profile at once, while the
    // windows are being built.
    explicit StationSession(CompetitionGateway *gateway = nullptr, QObject *parent = nullptr);
    ~StationSession() override;

    void setJudgeSessions(JudgeSessions sessions) { m_judgeSessions = std::move(sessions); }

    const StationSettings &settings() const { return m_settings; }
    QString seat() const { return m_seat; } // "A" to "E", or empty when none is chosen
    // The profile chosen last (its group keeps showing it after a fallback); none before the
    // first show.
    const std::optional<Profile> &profile() const { return m_profile; }
    QString connectionLine() const { return m_connectionLine; } // linfo
    bool connecting() const { return m_connecting > 0; }
    Claim claim() const { return m_claim; }
    // The seat the yellow notice stands for, while it shows.
    const std::optional<QString> &notice() const { return m_notice; }

    // The judge's actions, and the main window's show and close.
    void seatToggled(const QString &letter, bool selected);
    void selectRememberedProfile(); // the first show
    void chooseProfile(const Profile &profile);
    void claimSeat();         // 確認
    void dismissNotice();     // O.K.
    void releaseNoticeSeat(); // a click on the notice itself
    void close();             // the main window closes: the settings are written

Q_SIGNALS:
    void profileChanged();
    void connectionLineChanged();
    void noticeChanged();
    // The seat is claimed and its judge session started: the point input window runs
    // modally until End.
    void pointInputWanted();
    void told(const QString &text);           // in a message box
    void releaseFailed(const QString &error); // in the default error report

private:
    // The requests of the gateway, one function each.
    void prepare(const Profile &profile);
    void connectProfile(const Profile &profile);
    void requestClaim(const QString &seat);
    void requestRelease(const QString &seat);
    QString missingHere() const;

    void profileAnswered(const QStringList &params, int lineShown);
    void claimAnswered(const QString &seat, const Reply<gateway::Claim> &reply);
    void setNotice(const std::optional<QString> &seat);
    JudgeSession *judgeSession();

    CompetitionGateway *m_gateway;
    JudgeSessions m_judgeSessions;
    QPointer<JudgeSession> m_judge;

    StationSettings m_settings;
    QString m_seat = QStringLiteral("A"); // RbA is selected when the window is created
    std::optional<Profile> m_profile;
    QString m_connectionLine;
    int m_connecting = 0;
    int m_profileSerial = 0; // only the latest profile's answer counts
    Claim m_claim = Claim::Idle;
    std::optional<QString> m_notice;
};
