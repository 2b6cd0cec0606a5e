#include "app/stationsession.h"

#include "db/competitiongateway.h"
#include "db/profiles.h"
#include "pointin/stationtexts.h"
#include "toolkit/inifile.h"

using namespace Qt::StringLiterals;
using profiles::Location;
using stationtexts::Text;

namespace {

// What a profile connects to, and which of its parameter lines the status line shows.
struct Connection
{
    QString alias;
    QStringList params;
    QStringList fallback; // tried once when the first cannot be reached
    int lineShown = 0;
};

Location otherLocation(Location location)
{
    return location == Location::Local ? Location::Server : Location::Local;
}

// InterBase falls back to its other location; MySQL does not.
Connection connectionOf(const Profile &profile)
{
    if (profile.group == Profile::Group::InterBase)
        return {QString::fromUtf16(profiles::interbaseAlias),
                profiles::interbaseParams(profile.location),
                profiles::interbaseParams(otherLocation(profile.location)), 0};
    return {profiles::mysqlAlias(profile.location), profiles::mysqlParams(profile.location), {}, 2};
}

// The InterBase location that an answer's parameter list names.
Location interbaseLocationOf(const QStringList &params)
{
    return params.value(0) == profiles::interbaseServerName(Location::Server) ? Location::Server
                                                                              : Location::Local;
}

} // namespace

StationSession::StationSession(CompetitionGateway *gateway, journal::Writer *journal,
                               QObject *parent)
    : QObject(parent), m_gateway(gateway), m_pollTimer(this),
      m_settings(StationSettings::read(settings::stationFilePath()))
{
    m_judge.setRequests(gateway);
    m_judge.setJournal(journal);
    m_pollTimer.setObjectName(u"recallTimer"_s);
    m_pollTimer.setInterval(pollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, &m_judge, &JudgeSession::tick);
    connect(&m_judge, &JudgeSession::releaseWanted, this, &StationSession::release);
    // The judging is over: the point input window closes on the same signal.
    connect(&m_judge, &JudgeSession::closing, this, [this] {
        m_pollTimer.stop();
        setState(Seat::Free);
    });
    // The first show, which selects this profile, then finds it connected.
    prepare(m_settings.profile());
}

StationSession::~StationSession() = default;

// --- the gateway's requests ----------------------------------------------------------------

void StationSession::prepare(const Profile &profile)
{
    if (!m_gateway)
        return;
    const Connection connection = connectionOf(profile);
    m_gateway->prepare(connection.alias, connection.params);
}

// A failed connection is not reported here: the seat claim reports it.
void StationSession::connectProfile(const Profile &profile)
{
    if (!m_gateway)
        return;
    const Connection connection = connectionOf(profile);
    ++m_connecting;
    const int serial = ++m_profileSerial;
    m_gateway->connectProfile(
        connection.alias, connection.params, connection.fallback,
        Then<QStringList>(this, [this, serial, connection](const Reply<QStringList> &reply) {
            --m_connecting;
            if (serial != m_profileSerial)
                return; // the judge chose another profile meanwhile
            // The line tried last: the fallback's when the first could not be reached.
            const QStringList &used = reply.ok()                      ? reply.value()
                                      : connection.fallback.isEmpty() ? connection.params
                                                                      : connection.fallback;
            profileAnswered(used, connection.lineShown);
        }));
}

// Of two stations claiming the same seat at the same moment, one gets it and the other is
// refused like any taken seat.
void StationSession::requestClaim(const QString &seat)
{
    m_gateway->claimSeat(seat, Then<gateway::Claim>(this, [this, seat](const auto &reply) {
                             claimAnswered(seat, reply);
                         }));
}

void StationSession::requestRelease(const QString &seat)
{
    m_gateway->releaseSeat(
        seat, Then<gateway::Release>(this, [this](const Reply<gateway::Release> &r) {
            if (!r.ok())
                Q_EMIT releaseFailed(r.error());
            else if (r.value() == gateway::Release::Unproven)
                Q_EMIT told(
                    stationtexts::text(Text::ReleaseUnproven).arg(m_notice.value_or(QString())));
        }));
}

QString StationSession::missingHere() const
{
    return m_gateway->missingHere();
}

// --- the seat and the profile --------------------------------------------------------------

void StationSession::seatToggled(const QString &letter, bool selected)
{
    if (selected)
        m_seat = letter;
    else if (m_seat == letter)
        m_seat.clear();
}

void StationSession::selectRememberedProfile()
{
    chooseProfile(m_settings.profile());
}

void StationSession::chooseProfile(const Profile &profile)
{
    if (m_profile == profile)
        return;
    m_profile = profile;
    m_settings.follow(profile);
    Q_EMIT profileChanged(); // only one group shows a selection
    connectProfile(profile);
}

// The status line and the remembered location follow the answer: the location tried last.
void StationSession::profileAnswered(const QStringList &params, int lineShown)
{
    if (m_profile && m_profile->group == Profile::Group::InterBase)
        m_settings.follow({Profile::Group::InterBase, interbaseLocationOf(params)});
    m_connectionLine = params.value(lineShown);
    Q_EMIT connectionLineChanged();
}

void StationSession::close()
{
    // A folder that cannot be written keeps the old file; the program closes all the same.
    m_settings.write(settings::stationFileForWriting());
}

// --- the claim and the notice --------------------------------------------------------------

namespace {

// What the judge is told of a claim that found out nothing of the seat: a table that cannot
// seat anybody, a server that answered with an error, or one that could not be reached.
QString claimFailure(const QString &seat, const Reply<gateway::Claim> &reply,
                     const QString &missing)
{
    if (reply.ok())
        return stationtexts::tableFault(*reply.value().fault);
    if (reply.answered())
        return stationtexts::text(Text::CannotReadSeat).arg(u"judge"_s + seat) + u"\n\n"_s +
               reply.error();
    // A part missing on this PC is no server outage: the judge is told which.
    const QString text = stationtexts::text(Text::CannotConnect);
    return missing.isEmpty() ? text : text + u"\n\n"_s + missing;
}

} // namespace

void StationSession::claimSeat()
{
    if (m_seat.isEmpty()) {
        Q_EMIT told(stationtexts::text(Text::NoSeatChosen));
        return;
    }
    if (m_state == Seat::Claiming || m_state == Seat::Judging || m_state == Seat::Releasing ||
        !m_gateway)
        return; // the claim on its way answers first
    // The rows and the value texts start empty together, so that what the window shows is
    // what it would write; also when the claim is refused.
    m_judge.clearEntry();
    m_judge.setSeat(m_seat);
    setState(Seat::Claiming);
    requestClaim(m_seat);
}

void StationSession::claimAnswered(const QString &seat, const Reply<gateway::Claim> &reply)
{
    using Result = gateway::Claim::Result;
    if (!reply.ok() || reply.value().fault) {
        setState(Seat::Free);
        Q_EMIT told(claimFailure(seat, reply, missingHere()));
        return;
    }
    if (reply.value().result != Result::Claimed) {
        setState(Seat::Refused);
        // The notice frees this seat, whichever the judge selects while it stands. A flag
        // that may be another station's is told as such: this station writes nothing more.
        setNotice(seat);
        if (reply.value().result == Result::Unproven)
            Q_EMIT told(stationtexts::text(Text::ClaimUnproven));
        return;
    }
    setState(Seat::Judging);
    m_judge.begin();
    m_pollTimer.start();
    Q_EMIT judgingStarted();
}

// The window closes once the seat is free, or once its release cannot be proved (the judge is
// told); a failure leaves it open and polling.
void StationSession::release()
{
    if (m_state != Seat::Judging || !m_gateway)
        return;
    setState(Seat::Releasing);
    m_gateway->releaseSeat(m_judge.seat(), Then<gateway::Release>(this, [this](const auto &reply) {
                               released(reply);
                           }));
}

void StationSession::released(const Reply<gateway::Release> &reply)
{
    if (!reply.ok()) {
        setState(Seat::Judging);
        m_judge.releaseFailed(reply.error());
        return;
    }
    if (reply.value() == gateway::Release::Unproven)
        Q_EMIT told(stationtexts::text(Text::ReleaseUnproven).arg(m_judge.seat()));
    m_judge.close(); // the window closes; the judging is over
}

void StationSession::setState(Seat state)
{
    m_state = state;
}

void StationSession::dismissNotice()
{
    setNotice(std::nullopt); // the seat stays as it is
}

void StationSession::releaseNoticeSeat()
{
    if (m_notice && m_gateway)
        requestRelease(*m_notice);
}

void StationSession::setNotice(const std::optional<QString> &seat)
{
    if (seat == m_notice)
        return;
    m_notice = seat;
    Q_EMIT noticeChanged();
}
