#include "db/aliases.h"

#include "db/dbengine.h"
#include "toolkit/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace aliases {

namespace {

bool isDriveLetter(const QString &prefix, const QString &rest)
{
    return prefix.size() == 1 && prefix.at(0).isLetter() &&
           (rest.startsWith(u'\\') || rest.startsWith(u'/'));
}

Route interbaseRoute(const QString &alias, const TextLines &params, const IniFile *ini)
{
    const QString serverName = params.value(u"SERVER NAME"_s).trimmed();
    if (serverName.isEmpty())
        throw DbError(u"Alias '%1': the parameter list has no SERVER NAME"_s.arg(alias));
    Route route;
    route.driver = Driver::InterBase;
    route.database = serverName;
    if (ini) {
        const QString mapped = ini->readString(alias, serverName, QString()).trimmed();
        if (!mapped.isEmpty())
            route.database = mapped;
    }
    if (parseLocation(route.database).host.isEmpty()) {
        const QString local = onLocalServer(route.database);
        if (local.isEmpty())
            throw DbError(u"Alias '%1': the database '%2' names no server; map \"%3\" to "
                          "host:/path in the alias file %4"_s.arg(alias, route.database, serverName,
                                                                  filePath()));
        route.database = local;
    }
    route.userName = params.value(u"USER NAME"_s);
    route.password = params.value(u"PASSWORD"_s);
    return route;
}

Route odbcRoute(const QString &alias, const TextLines &params, const IniFile *ini)
{
    Route route;
    route.driver = Driver::Odbc;
    if (ini)
        route.database = ini->readString(alias, u"DSN"_s, QString()).trimmed();
    if (route.database.isEmpty())
        route.database = params.value(u"ODBC DSN"_s).trimmed();
    if (route.database.isEmpty())
        route.database = alias;
    route.userName = params.value(u"USER NAME"_s);
    route.password = params.value(u"PASSWORD"_s);
    return route;
}

Route sqliteRoute(const QString &alias, const IniFile &ini)
{
    const QString file = ini.readString(alias, u"Database"_s, QString()).trimmed();
    if (file.isEmpty())
        throw DbError(
            u"Alias '%1': no Database= file in the alias file %2"_s.arg(alias, ini.path()));
    Route route;
    route.driver = Driver::Sqlite;
    route.database = QFileInfo(ini.path()).absoluteDir().absoluteFilePath(file);
    return route;
}

} // namespace

// The alias file every user of the station shares.
QString machineFilePath()
{
#ifdef Q_OS_WIN
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("PROGRAMDATA"));
    if (base.isEmpty())
        base = u"C:/ProgramData"_s;
    return base + u"/VELMOR/Tollivane/aliases.ini"_s;
#else
    return u"/etc/tollivane/aliases.ini"_s;
#endif
}

std::optional<QString> passwordInFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QString first = QString::fromUtf8(file.readLine());
    return first.endsWith(u'\n') ? first.chopped(first.endsWith(u"\r\n"_s) ? 2 : 1) : first;
}

QString filePath()
{
    const QString given = qEnvironmentVariable("TOLLIVANE_ALIASES");
    if (!given.isEmpty())
        return given;
    const QString user = settings::userFolder() + u"/VELMOR/Tollivane/aliases.ini"_s;
    if (QFileInfo::exists(user))
        return user;
    return machineFilePath();
}

QString onLocalServer(const QString &path)
{
#ifdef Q_OS_WIN
    // A Windows station's own Firebird server opens the file for every client: through it, the
    // server and the other programs on the station never lock each other out.
    return u"localhost:"_s + path.trimmed();
#else
    // The client would open the file itself and lock the server out.
    Q_UNUSED(path)
    return QString();
#endif
}

namespace {

Route driverRoute(const QString &alias, const TextLines &params, const IniFile &ini)
{
    const QString driver = ini.readString(alias, u"Driver"_s, QString()).trimmed();
    if (driver.isEmpty()) {
        if (alias.compare(u"Jump"_s, Qt::CaseInsensitive) == 0)
            return interbaseRoute(alias, params, nullptr);
        if (alias.compare(u"JumpLocal"_s, Qt::CaseInsensitive) == 0 ||
            alias.compare(u"JumpServer"_s, Qt::CaseInsensitive) == 0)
            return odbcRoute(alias, params, nullptr);
        throw DbError(u"Unknown alias '%1' (alias file %2)"_s.arg(alias, ini.path()));
    }
    if (driver.compare(u"InterBase"_s, Qt::CaseInsensitive) == 0)
        return interbaseRoute(alias, params, &ini);
    if (driver.compare(u"ODBC"_s, Qt::CaseInsensitive) == 0)
        return odbcRoute(alias, params, &ini);
    if (driver.compare(u"SQLite"_s, Qt::CaseInsensitive) == 0)
        return sqliteRoute(alias, ini);
    throw DbError(u"Alias '%1': unknown driver '%2' in %3"_s.arg(alias, driver, ini.path()));
}

// The home folder of the account the station runs under: on Windows its profile as the
// account's environment names it (Qt asks the logon token, which a program started under
// another profile, or a test, cannot point elsewhere).
QDir accountHome()
{
#ifdef Q_OS_WIN
    const QString profile = qEnvironmentVariable("USERPROFILE");
    return profile.isEmpty() ? QDir::home() : QDir(profile);
#else
    return QDir::home();
#endif
}

// A file of the station's account: a relative name is taken from its home folder, so the
// password stays where only that account reads it.
QString readPasswordFile(const QString &alias, const IniFile &ini, const QString &name)
{
    const QString path = accountHome().absoluteFilePath(QDir::fromNativeSeparators(name));
    QString error;
    if (const std::optional<QString> password = passwordInFile(path, &error))
        return *password;
    throw DbError(u"Alias '%1' in %2: the password file %3 cannot be read (%4)"_s.arg(
        alias, ini.path(), QDir::toNativeSeparators(path), error));
}

// The club's own login in the alias's section replaces the parameter list's.
void applyLogin(const QString &alias, const IniFile &ini, Route &route)
{
    const QString user = ini.readString(alias, u"User"_s, QString()).trimmed();
    const QString password = ini.readString(alias, u"Password"_s, QString());
    const QString passwordFile = ini.readString(alias, u"PasswordFile"_s, QString()).trimmed();
    if (!password.isEmpty() && !passwordFile.isEmpty())
        throw DbError(u"Alias '%1' in %2: give Password= or PasswordFile=, not both"_s.arg(
            alias, ini.path()));
    if (!user.isEmpty())
        route.userName = user;
    if (!password.isEmpty())
        route.password = password;
    else if (!passwordFile.isEmpty())
        route.password = readPasswordFile(alias, ini, passwordFile);
}

} // namespace

Route resolve(const QString &alias, const TextLines &params)
{
    const IniFile ini(filePath());
    Route route = driverRoute(alias, params, ini);
    if (route.driver != Driver::Sqlite)
        applyLogin(alias, ini, route);
    const QString encoding = ini.readString(alias, u"Encoding"_s, QString());
    if (!encoding.trimmed().isEmpty()) {
        const std::optional<Encoding> known = parseEncoding(encoding);
        if (!known)
            throw DbError(
                u"Alias '%1' in %2: %3"_s.arg(alias, ini.path(), unknownEncoding(encoding)));
        route.encoding = *known;
    }
    return route;
}

std::optional<Encoding> parseEncoding(const QString &value)
{
    const QString name = value.trimmed();
    const auto is = [&name](const char16_t *known) {
        return name.compare(QStringView(known), Qt::CaseInsensitive) == 0;
    };
    if (is(u"UTF-8"))
        return Encoding::Utf8;
    if (is(u"CP932") || is(u"Shift_JIS") || is(u"SJIS"))
        return Encoding::Cp932;
    return std::nullopt;
}

QString unknownEncoding(const QString &value)
{
    return u"unknown Encoding '%1' (Encoding takes UTF-8, the default, or CP932, also called "
           "Shift_JIS or SJIS)"_s.arg(value.trimmed());
}

ServerLocation parseLocation(const QString &location)
{
    ServerLocation result;
    const QString text = location.trimmed();
    const qsizetype colon = text.indexOf(u':');
    const QString prefix = colon < 0 ? QString() : text.left(colon);
    const QString rest = colon < 0 ? text : text.mid(colon + 1);
    if (prefix.isEmpty() || prefix.startsWith(u'/') || prefix.startsWith(u'.') ||
        prefix.contains(u'\\') || isDriveLetter(prefix, rest)) {
        result.path = text;
        return result;
    }
    const qsizetype slash = prefix.indexOf(u'/');
    result.host = prefix.left(slash);
    result.path = rest;
    if (slash >= 0) {
        bool numeric = false;
        const uint port = prefix.mid(slash + 1).toUInt(&numeric);
        if (numeric && port > 0 && port <= 65535)
            result.port = quint16(port);
    }
    return result;
}

} // namespace aliases
