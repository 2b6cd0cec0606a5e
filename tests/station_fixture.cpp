#include "station_fixture.h"

#include "app/mainwindow.h"
#include "app/station.h"
#include "app/stationsession.h"
#include "db/competitiongateway.h"
#include "journal/markjournal.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/radiogroup.h"

#include "db/aliases.h"
#include "db/dbengine.h"
#include "toolkit/inifile.h"
#include "tools/competition.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QtMessageHandler s_previousHandler = nullptr;
Station *s_running = nullptr; // the station started last

// The offscreen platform cannot grab the mouse and says so at every press.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(u"does not support grabbing the mouse"_s))
        return;
    if (s_previousHandler)
        s_previousHandler(type, context, text);
}

} // namespace

MainWindow *mainWindow()
{
    return s_running ? &s_running->mainWindow() : nullptr;
}

PointInputWindow *pointInput()
{
    return s_running ? &s_running->pointInputWindow() : nullptr;
}

StationSession *stationSession()
{
    return s_running ? &s_running->session() : nullptr;
}

CompetitionGateway *stationGateway()
{
    return s_running ? &s_running->gateway() : nullptr;
}

TestStation::TestStation(const QString &aliasFile, const QByteArray &settings)
{
    static const bool quiet = [] {
        s_previousHandler = qInstallMessageHandler(quietHandler);
        return true;
    }();
    Q_UNUSED(quiet)
    // The user's settings and data folders as Linux and as Windows name them.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.filePath(u"data"_s).toLocal8Bit());
    qputenv("APPDATA", QDir::toNativeSeparators(m_dir.path()).toLocal8Bit());
    qputenv("LOCALAPPDATA", QDir::toNativeSeparators(m_dir.filePath(u"data"_s)).toLocal8Bit());
    // On Windows the station keeps its settings in that folder, never in the machine's file.
    settings::setWriteCheck([](const QString &) { return false; });
    QFile aliases(m_dir.filePath(u"aliases.ini"_s));
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

TestStation::~TestStation()
{
    operatorGoesDirect(false);
    stop();
    messages::setSink({});
}

bool TestStation::start()
{
    m_station = std::make_unique<Station>();
    s_running = m_station.get();
    mainWindow()->show();
    return QTest::qWaitFor([] {
               return named<RadioGroup>(mainWindow(), "RGdbi")->itemIndex() >= 0 ||
                      named<RadioGroup>(mainWindow(), "RGdb")->itemIndex() >= 0 ||
                      !mainWindow()->isVisible();
           }) &&
           settle();
}

bool settle(int timeoutMs)
{
    return QTest::qWaitFor(
        [] {
            if (!s_running)
                return true;
            const PointInputWindow *pointInput = s_running->existingPointInputWindow();
            return s_running->gateway().idle() && !s_running->session().connecting() &&
                   (!pointInput || (!pointInput->session().pollInFlight() &&
                                    !pointInput->session().registering()));
        },
        timeoutMs);
}

void TestStation::stop()
{
    if (!m_station)
        return;
    if (m_station->mainWindow().isVisible())
        m_station->mainWindow().close();
    if (s_running == m_station.get())
        s_running = nullptr;
    m_station.reset();
}

bool judgeSeat(const QString &letter)
{
    execute(u"update judge"_s + letter + u" set ent='False'"_s);
    const char *const buttons[] = {"RbA", "RbB", "RbC", "Rbd", "RbE"};
    named<QRadioButton>(mainWindow(), buttons[letter.at(0).unicode() - u'A'])->setChecked(true);
    stationSession()->claimSeat();
    if (!QTest::qWaitFor([] { return pointInput()->isVisible(); }))
        return false;
    QApplication::setActiveWindow(pointInput());
    return QTest::qWaitForWindowActive(pointInput()) && settle();
}

bool claimAndRun(const std::function<void()> &work, int timeoutMs)
{
    bool ran = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        if (ran || !pointInput()->isVisible())
            return;
        ran = true;
        watch.stop();
        QApplication::setActiveWindow(pointInput());
        if (!QTest::qWaitForWindowActive(pointInput()) || !settle())
            qWarning("the point input window did not settle");
        work();
        if (pointInput()->isVisible())
            pointInput()->forTests().closeWindow();
    });
    watch.start(5);
    QTest::mouseClick(named<CuteButton>(mainWindow(), "CuteButton1"), Qt::LeftButton);
    return QTest::qWaitFor([&] { return ran && !pointInput()->isVisible(); }, timeoutMs);
}

QStringList TestStation::texts() const
{
    QStringList result;
    for (const auto &m : messages)
        result << m.second;
    return result;
}

QString TestStation::settingsPath() const
{
    return m_dir.filePath(u"VELMOR/Tollivane/Tollivane.ini"_s);
}

QString TestStation::journalFile() const
{
    return journal::File(m_dir.filePath(u"data/VELMOR/Tollivane/journal"_s))
        .fileFor(QDate::currentDate());
}

QByteArray TestStation::settingsFile() const
{
    QFile f(settingsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sqliteAliases()
{
    QString text;
    for (const char *alias : {"Jump", "JumpLocal", "JumpServer"})
        text += u"[%1]\nDriver=SQLite\nDatabase=jump.sqlite\n"_s.arg(QLatin1String(alias));
    return text;
}

QString routeAliases(Route route)
{
    switch (route) {
    case Route::Sqlite:
        return sqliteAliases();
    case Route::InterBase:
        return u"[Jump]\nDriver=InterBase\nG:\\Jump.GDB="_s +
               support::serverRoute(Route::InterBase).database + u"\n"_s;
    case Route::Odbc:
        return u"[JumpLocal]\nDriver=ODBC\nDSN="_s + support::serverRoute(Route::Odbc).database +
               u"\n"_s;
    }
    return QString();
}

QString relayedAliases(Route route, quint16 relayPort)
{
    const QString relay = u"127.0.0.1"_s;
    if (route == Route::InterBase) {
        const aliases::ServerLocation location =
            aliases::parseLocation(support::serverRoute(Route::InterBase).database);
        return u"[Jump]\nDriver=InterBase\nG:\\Jump.GDB=%1/%2:%3\n"_s.arg(relay).arg(relayPort).arg(
            location.path);
    }
    // A connection string: the data source with its server and port replaced.
    return u"[JumpLocal]\nDriver=ODBC\nDSN=DSN=%1;SERVER=%2;PORT=%3\n"_s
        .arg(support::serverRoute(Route::Odbc).database, relay)
        .arg(relayPort);
}

QByteArray routeSettings(Route route)
{
    return route == Route::Odbc ? QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=local\n")
                                : QByteArray();
}

namespace {

bool s_direct = false;

// A second connection, as another station or the operator's console would have.
Database &checker()
{
    static Database *db = nullptr;
    delete db;
    db = new Database(u"checker"_s);
    if (s_direct) {
        db->setRoute(support::serverRoute(stationGateway()->alias() == u"Jump"_s ? Route::InterBase
                                                                                 : Route::Odbc));
        return *db;
    }
    db->setAliasName(stationGateway()->alias());
    for (const QString &line : stationGateway()->params())
        db->params().add(line);
    return *db;
}

} // namespace

Database &operatorConnection()
{
    return checker();
}

void operatorGoesDirect(bool direct)
{
    s_direct = direct;
}

QString readColumn(const QString &statement, const QString &column)
{
    Query q(&checker());
    q.sql().add(statement);
    q.open();
    return q.fieldAsString(column);
}

void execute(const QString &statement)
{
    Query q(&checker());
    q.sql().add(statement);
    q.execSQL();
}

QString quoted(const QString &text)
{
    return competition::quoted(checker(), text);
}

void dropOtherConnections(Route route)
{
    if (route == Route::InterBase) {
        execute(u"delete from mon$attachments where mon$system_flag = 0 and "
                u"mon$attachment_id <> current_connection"_s);
        return;
    }
    // MariaDB: one kill at a time, each from a connection of its own.
    const QString other =
        u"select min(id) as id from information_schema.processlist where db = database() and "
        u"id <> connection_id()"_s;
    for (QString id = readColumn(other, u"id"_s); !id.isEmpty(); id = readColumn(other, u"id"_s))
        execute(u"kill "_s + id);
}
