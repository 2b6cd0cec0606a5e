#include "site.h"

#include "db/dbengine.h"
#include "db/profiles.h"
#include "tools/competition.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace bench {

namespace {

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        throw DbError(u"Cannot write %1"_s.arg(path));
}

} // namespace

Site::Site(Route route, const QString &database, aliases::Encoding encoding)
    : m_route(route), m_database(database), m_encoding(encoding)
{
    QString aliases;
    QByteArray settings;
    switch (route) {
    case Route::Sqlite:
        for (const char16_t *alias : {u"Jump", u"JumpLocal", u"JumpServer"})
            aliases += u"[%1]\nDriver=SQLite\nDatabase=%2\n"_s.arg(
                QString::fromUtf16(alias), m_dir.filePath(u"jump.sqlite"_s));
        break;
    case Route::InterBase:
        // Both locations of the InterBase profile reach the one database.
        aliases = u"[Jump]\nDriver=InterBase\nC:\\IB_data\\Jump.GDB=%1\nG:\\Jump.GDB=%1\n"_s.arg(
            database);
        break;
    case Route::Odbc:
        aliases = u"[JumpLocal]\nDriver=ODBC\nDSN=%1\n"_s.arg(database);
        settings = "[Tollvn]\nDbType=MySQL\nDbdir=local\n";
        break;
    }
    if (encoding == aliases::Encoding::Cp932)
        aliases.replace(QRegularExpression(u"(Driver=\\w+\\n)"_s), u"\\1Encoding=CP932\n"_s);
    writeFile(m_dir.filePath(u"aliases.ini"_s), aliases.toUtf8());
    if (!settings.isEmpty())
        writeFile(m_dir.filePath(u"config/VELMOR/Tollivane/Tollivane.ini"_s), settings);
}

Site::~Site() = default;

QString Site::label() const
{
    if (m_encoding == aliases::Encoding::Cp932)
        return support::label(m_route) + u", NONE with Encoding=CP932"_s;
    return support::label(m_route);
}

QStringList Site::environment() const
{
    return {u"TOLLIVANE_ALIASES="_s + m_dir.filePath(u"aliases.ini"_s),
            u"XDG_CONFIG_HOME="_s + m_dir.filePath(u"config"_s)};
}

void Site::enter() const
{
    for (const QString &line : environment()) {
        const qsizetype eq = line.indexOf(u'=');
        qputenv(line.left(eq).toLocal8Bit().constData(), line.mid(eq + 1).toLocal8Bit());
    }
}

Database &Site::console()
{
    if (!m_console) {
        enter();
        m_console = std::make_unique<Database>(u"bench-console"_s);
        // The profile a station with these settings picks on its first show.
        const bool odbc = m_route == Route::Odbc;
        m_console->setAliasName(odbc ? profiles::mysqlAlias(profiles::Location::Local)
                                     : QString::fromUtf16(profiles::interbaseAlias));
        const QStringList params = odbc ? profiles::mysqlParams(profiles::Location::Local)
                                        : profiles::interbaseParams(profiles::Location::Server);
        for (const QString &line : params)
            m_console->params().add(line);
        m_console->open();
    }
    return *m_console;
}

void Site::prepare()
{
    Database &db = console();
    competition::create(db);
    competition::seed(db, 3);
    competition::step(db); // the run starts with competitor 001
    freeSeats();
}

void Site::freeSeats()
{
    for (const QChar letter : competition::judgeLetters)
        exec(u"update judge"_s + letter + u" set ent='False'"_s);
}

void Site::exec(const QString &statement)
{
    Query q(&console());
    q.sql().add(statement);
    q.execSQL();
}

QString Site::read(const QString &statement, const QString &column)
{
    Query q(&console());
    q.sql().add(statement);
    q.open();
    return q.fieldAsString(column);
}

} // namespace bench
