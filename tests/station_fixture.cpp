#include "station_fixture.h"

#include "Udm1.h"
#include "Umain.h"
#include "Upointin.h"
#include "radiogroup.h"
#include "station.h"

#include "competition.h"
#include "dbengine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QtMessageHandler s_previousHandler = nullptr;

// The offscreen platform cannot grab the mouse and says so at every press.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(QStringLiteral("does not support grabbing the mouse")))
        return;
    if (s_previousHandler)
        s_previousHandler(type, context, text);
}

} // namespace

Station::Station(const QString &aliasFile, const QByteArray &settings)
{
    static const bool quiet = [] {
        s_previousHandler = qInstallMessageHandler(quietHandler);
        return true;
    }();
    Q_UNUSED(quiet)
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    QFile aliases(m_dir.filePath(QStringLiteral("aliases.ini")));
    if (aliases.open(QIODevice::WriteOnly))
        aliases.write(aliasFile.toUtf8());
    qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
    if (!settings.isNull()) {
        QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
        QFile f(settingsPath());
        if (f.open(QIODevice::WriteOnly))
            f.write(settings);
    }
    messages::setSink([this](messages::Kind kind, const QString &text) {
        messages.append({kind, text});
    });
}

Station::~Station()
{
    stop();
    messages::setSink({});
}

bool Station::start()
{
    station::create();
    Fmain->show();
    return QTest::qWaitFor([] {
        return Fmain->RGdbi->itemIndex() >= 0 || Fmain->RGdb->itemIndex() >= 0 ||
               !Fmain->isVisible();
    });
}

void Station::stop()
{
    if (Fmain && Fmain->isVisible())
        Fmain->close();
    station::destroy();
}

QString Station::settingsPath() const
{
    return m_dir.filePath(QStringLiteral("VELMOR/Tollivane/Tollivane.ini"));
}

QByteArray Station::settingsFile() const
{
    QFile f(settingsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sqliteAliases()
{
    QString text;
    for (const char *alias : {"Jump", "JumpLocal", "JumpServer"})
        text +=
            QStringLiteral("[%1]\nDriver=SQLite\nDatabase=jump.sqlite\n").arg(QLatin1String(alias));
    return text;
}

bool inCi()
{
    return qEnvironmentVariable("CI") == QStringLiteral("true");
}

QString firebirdDatabase()
{
    return qEnvironmentVariable("TOLLIVANE_FIREBIRD_DB");
}

QString routeAliases(Route route)
{
    switch (route) {
    case Route::Sqlite:
        return sqliteAliases();
    case Route::Firebird:
        return QStringLiteral("[Jump]\nDriver=InterBase\nG:\\Jump.GDB=") + firebirdDatabase() +
               QStringLiteral("\n");
    case Route::Odbc:
        return QStringLiteral("[JumpLocal]\nDriver=ODBC\nDSN=") +
               qEnvironmentVariable("TOLLIVANE_ODBC_DSN") + QStringLiteral("\n");
    }
    return QString();
}

QByteArray routeSettings(Route route)
{
    return route == Route::Odbc ? QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=local\n")
                                : QByteArray();
}

QString routeMissing(Route route)
{
    const char *var = route == Route::Firebird ? "TOLLIVANE_FIREBIRD_DB"
                      : route == Route::Odbc   ? "TOLLIVANE_ODBC_DSN"
                                               : nullptr;
    if (!var || !qEnvironmentVariable(var).isEmpty())
        return QString();
    return QStringLiteral("%1 is not set: start the servers with scripts/servers.sh start and "
                          "eval \"$(scripts/servers.sh env)\"")
        .arg(QLatin1String(var));
}

void routeRows()
{
    QTest::addColumn<Route>("route");
    QTest::newRow("SQLite") << Route::Sqlite;
    QTest::newRow("Firebird") << Route::Firebird;
    QTest::newRow("MariaDB over ODBC") << Route::Odbc;
}

namespace {

// A second connection, as another station or the operator's console would have.
TDatabase &checker()
{
    static TDatabase *db = nullptr;
    delete db;
    db = new TDatabase(QStringLiteral("checker"));
    db->setAliasName(Dm1->Database1->aliasName());
    for (const QString &line : Dm1->Database1->params().lines())
        db->params().add(line);
    return *db;
}

} // namespace

QString readColumn(const QString &statement, const QString &column)
{
    TQuery q(&checker());
    q.sql().add(statement);
    q.open();
    return q.fieldAsString(column);
}

void execute(const QString &statement)
{
    TQuery q(&checker());
    q.sql().add(statement);
    q.execSQL();
}

QString quoted(const QString &text)
{
    return competition::quoted(checker(), text);
}

void dropOtherConnections(Route route)
{
    if (route == Route::Firebird) {
        execute(QStringLiteral("delete from mon$attachments where mon$system_flag = 0 and "
                               "mon$attachment_id <> current_connection"));
        return;
    }
    // MariaDB: one kill at a time, each from a connection of its own.
    const QString other = QStringLiteral(
        "select min(id) as id from information_schema.processlist where db = database() and "
        "id <> connection_id()");
    for (QString id = readColumn(other, QStringLiteral("id")); !id.isEmpty();
         id = readColumn(other, QStringLiteral("id")))
        execute(QStringLiteral("kill ") + id);
}
