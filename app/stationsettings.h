#pragma once

#include "db/profiles.h"

#include <QString>

#include <optional>

// A connection profile of the main window: a group and one of its items.
struct Profile
{
    enum class Group
    {
        InterBase, // RGdbi
        MySQL      // RGdb
    };
    Group group = Group::InterBase;
    profiles::Location location = profiles::Location::Server; // item Local or Server
    bool operator==(const Profile &) const = default;
};

// The station's two settings, DbType and DbDir, as its settings file holds them. The texts stay
// as read until a profile is chosen, and are compared exactly: "interbase" is not "Interbase",
// "Local" is not "local".
class StationSettings
{
public:
    StationSettings(); // the defaults: what a missing file or key gives

    // Section "Tollvn", keys "DbType", "DbDir" and "Scale", matched in any letter case.
    static StationSettings read(const QString &path);
    // DbType under "DbType", then DbDir under "Dbdir", which reads back as "DbDir"; Scale is the
    // club's and stays as it is. False when the file could not be written; it then stays as it
    // was.
    bool write(const QString &path) const;

    const QString &dbType() const { return m_dbType; }
    const QString &dbDir() const { return m_dbDir; }
    // The windows' scale set by hand: a factor ("0.8") or a percentage ("80%") of their design
    // size, from 25 % to 400 %. None (no key, "auto", anything else): each window fits its
    // screen.
    std::optional<qreal> scale() const { return m_scale; }

    // The profile the first show selects: "Interbase" is the InterBase group and any other
    // text the MySQL group; "local" is the Local item and any other text the Server item.
    Profile profile() const;
    // The profile in use: its group and the location it connects to (after an InterBase
    // fallback, the other one).
    void follow(const Profile &profile);

private:
    QString m_dbType;
    QString m_dbDir;
    std::optional<qreal> m_scale;
};
