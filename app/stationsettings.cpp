#include "app/stationsettings.h"

#include "toolkit/inifile.h"

#include <QLocale>

using namespace Qt::StringLiterals;
using profiles::Location;

namespace {

const QString s_section = u"Tollvn"_s;
const QString s_interbase = u"Interbase"_s;
const QString s_mysql = u"MySQL"_s;
const QString s_local = u"local"_s;
const QString s_server = u"server"_s;

std::optional<qreal> scaleOf(QString text)
{
    text = text.trimmed();
    const bool percent = text.endsWith(u'%');
    if (percent)
        text.chop(1);
    bool ok = false;
    qreal factor = QLocale::c().toDouble(text.trimmed(), &ok);
    if (percent)
        factor /= 100;
    if (!ok || factor < 0.25 || factor > 4)
        return std::nullopt;
    return factor;
}

} // namespace

// DbDir's default is DbType's, not "local": a station without a file starts on the Server item.
StationSettings::StationSettings() : m_dbType(s_interbase), m_dbDir(s_interbase) {}

StationSettings StationSettings::read(const QString &path)
{
    const IniFile ini(path);
    StationSettings settings;
    settings.m_dbType = ini.readString(s_section, u"DbType"_s, settings.m_dbType);
    settings.m_dbDir = ini.readString(s_section, u"DbDir"_s, settings.m_dbDir);
    settings.m_scale = scaleOf(ini.readString(s_section, u"Scale"_s, QString()));
    return settings;
}

bool StationSettings::write(const QString &path) const
{
    IniFile ini(path);
    const bool type = ini.writeString(s_section, u"DbType"_s, m_dbType);
    const bool dir = ini.writeString(s_section, u"Dbdir"_s, m_dbDir);
    return type && dir;
}

Profile StationSettings::profile() const
{
    const Location location = m_dbDir == s_local ? Location::Local : Location::Server;
    const Profile::Group group =
        m_dbType == s_interbase ? Profile::Group::InterBase : Profile::Group::MySQL;
    return {group, location};
}

void StationSettings::follow(const Profile &profile)
{
    m_dbType = profile.group == Profile::Group::InterBase ? s_interbase : s_mysql;
    m_dbDir = profile.location == Location::Local ? s_local : s_server;
}
