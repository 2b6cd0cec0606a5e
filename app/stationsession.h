#pragma once

#include "app/stationsettings.h"
#include "pointin/judgesession.h"
#include "toolkit/reply.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace gateway {
struct Claim;
enum class Release;
} // namespace gateway
namespace journal {
class Writer;
}

class CompetitionGateway;

// What goes on at the station, without a widget: the seat chosen, the connection profile and
// its fallback, the station's settings, and the seat's way through claim, judging and release
// (one state, below). It owns the judge session and its poll timer, starts the session when a
// claim lands, and releases the seat when the judge ends. It asks the competition through the
// gateway and tells the windows what changed; they open, close and draw on its signals and
// pass the judge's clicks in.
class StationSession : public QObject
{
    Q_OBJECT
public:
    // Where the station's seat stands.
    enum class Seat
    {
        Free,     // none claimed yet, or End released it
        Claiming, // on its way: another 確認 does nothing until it answers
        Refused,  // the seat was taken: the notice stands for it
        Judging,  // claimed: the point input window follows it
        Releasing // End: the release is on its way, the window still up
    };

    static constexpr int pollIntervalMs = 3000;

    // Reads the settings and, with a gateway, connects their profile at once, while the
    // windows are being built.
    explicit StationSession(CompetitionGateway *gateway = nullptr,
                            journal::Writer *journal = nullptr, QObject *parent = nullptr);
    ~StationSession() override;

    const StationSettings &settings() const { return m_settings; }
    QString seat() const { return m_seat; } // "A" to "E", or empty when none is chosen
    // The profile chosen last (its group keeps showing it after a fallback); none before the
    // first show.
    const std::optional<Profile> &profile() const { return m_profile; }
    QString connectionLine() const { return m_connectionLine; } // linfo
    bool connecting() const { return m_connecting > 0; }
    Seat state() const { return m_state; }
    // The seat the yellow notice stands for, while it shows.
    const std::optional<QString> &notice() const { return m_notice; }
    // The judging of the claimed seat; the point input window draws it.
    JudgeSession &judge() { return m_judge; }
    const JudgeSession &judge() const { return m_judge; }

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
    // The seat is claimed and judged: the point input window opens, modal over the main
    // window, until the judge session closes it.
    void judgingStarted();
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
    void release(); // End
    void released(const Reply<gateway::Release> &reply);
    void setState(Seat state);
    void setNotice(const std::optional<QString> &seat);

    CompetitionGateway *m_gateway;
    JudgeSession m_judge;
    QTimer m_pollTimer; // recallTimer

    StationSettings m_settings;
    QString m_seat = QStringLiteral("A"); // RbA is selected when the window is created
    std::optional<Profile> m_profile;
    QString m_connectionLine;
    int m_connecting = 0;
    int m_profileSerial = 0; // only the latest profile's answer counts
    Seat m_state = Seat::Free;
    std::optional<QString> m_notice;
};
