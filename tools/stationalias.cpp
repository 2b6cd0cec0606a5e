#include "tools/stationalias.h"

#include "db/aliases.h"
#include "db/profiles.h"
#include "toolkit/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace stationalias {
namespace {

struct Line
{
    QString section;
    QString key;
    QString value;
};

// The key of the Interbase Server button's database: its "SERVER NAME".
QString serverNameKey()
{
    return profiles::interbaseServerName(profiles::Location::Server).section(u'=', 1);
}

QString checked(const Wanted &w)
{
    if (w.firebird.isEmpty() && w.dsn.isEmpty())
        return u"name the server's database: --firebird host:/path or --dsn NAME"_s;
    for (const QString &value : {w.firebird, w.dsn, w.user, w.passwordFile, w.encoding}) {
        if (value.contains(u'\n') || value.contains(u'\r') || value != value.trimmed())
            return u"a value with a line break or blanks around it: \"%1\""_s.arg(value);
    }
    if (!w.firebird.isEmpty() && aliases::parseLocation(w.firebird).host.isEmpty())
        return u"--firebird must name the server, as host:/path (the stations reach the "
               "database through it): %1"_s.arg(w.firebird);
    if (!w.encoding.isEmpty() && !aliases::parseEncoding(w.encoding))
        return aliases::unknownEncoding(w.encoding);
    if (!w.passwordFile.isEmpty() && w.user.isEmpty())
        return u"--password-file holds the password of --user's account: give both"_s;
    return QString();
}

QList<Line> linesOf(const Wanted &w)
{
    QList<Line> lines;
    const auto section = [&](const QString &name, const QList<std::pair<QString, QString>> &keys) {
        QList<std::pair<QString, QString>> all = keys;
        if (!w.user.isEmpty())
            all << std::pair{u"User"_s, w.user};
        if (!w.passwordFile.isEmpty())
            all << std::pair{u"PasswordFile"_s, w.passwordFile};
        if (!w.encoding.isEmpty())
            all << std::pair{u"Encoding"_s, w.encoding};
        for (const auto &[key, value] : all)
            lines.append({name, key, value});
    };
    if (!w.firebird.isEmpty())
        section(QString::fromUtf16(profiles::interbaseAlias),
                {{u"Driver"_s, u"InterBase"_s}, {serverNameKey(), w.firebird}});
    if (!w.dsn.isEmpty())
        section(profiles::mysqlAlias(profiles::Location::Server),
                {{u"Driver"_s, u"ODBC"_s}, {u"DSN"_s, w.dsn}});
    return lines;
}

// A password already in the section would stand beside the file, which the station refuses.
QString clash(const IniFile &ini, const QList<Line> &lines)
{
    for (const Line &line : lines) {
        if (line.key == u"PasswordFile"_s &&
            !ini.readString(line.section, u"Password"_s, QString()).isEmpty())
            return u"[%1] in %2 has a Password= line: delete it for PasswordFile="_s.arg(
                line.section, ini.path());
    }
    return QString();
}

} // namespace

Written write(const Wanted &wanted, const QString &path)
{
    Written result;
    result.error = checked(wanted);
    if (!result.error.isEmpty())
        return result;
    IniFile ini(path);
    const QList<Line> lines = linesOf(wanted);
    result.error = clash(ini, lines);
    if (!result.error.isEmpty())
        return result;
    if (!QFileInfo::exists(path)) {
        // A file made here says where it came from and where every key is told.
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("; Tollivane alias file, written by jumpdb alias; aliases.ini.example "
                       "beside the programs tells every key.\n") < 0 ||
            !file.commit()) {
            result.error = u"cannot write %1: %2"_s.arg(path, file.errorString());
            return result;
        }
    }
    for (const Line &line : lines) {
        if (!ini.writeString(line.section, line.key, line.value)) {
            result.error = u"cannot write %1 (the lines before it were written)"_s.arg(path);
            return result;
        }
        result.lines << u"[%1] %2=%3"_s.arg(line.section, line.key, line.value);
    }
    return result;
}

} // namespace stationalias
