#pragma once

// One station as the program starts it (main window, point input window, gateway), with a
// settings folder and an alias file of the test's own, and message boxes recorded.

#include "app/station.h"
#include "support/named.h"
#include "support/routes.h"
#include "toolkit/messages.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class CompetitionGateway;
class Database;
class MainWindow;
class PointInputWindow;
class StationSession;

// The objects of the station started last; null while none runs.
MainWindow *mainWindow();
PointInputWindow *pointInput(); // built now if it was not yet
StationSession *stationSession();
CompetitionGateway *stationGateway();

class TestStation
{
public:
    // aliasFile: the text of the alias file; settings: the settings file's content, or a null
    // array for no file.
    TestStation(const QString &aliasFile, const QByteArray &settings);
    ~TestStation();

    // Creates the objects in the program's order and shows the main window; returns once the
    // first show has selected a profile and its connection attempt has answered.
    bool start();
    void stop(); // closes the main window (settings written) and destroys the objects

    QString dir() const { return m_dir.path(); }
    QString settingsPath() const;
    QByteArray settingsFile() const;
    QString sqliteFile() const { return m_dir.filePath(QStringLiteral("jump.sqlite")); }
    QString journalFile() const; // today's, as the station names it

    QList<QPair<messages::Kind, QString>> messages;
    QStringList texts() const; // of the messages, in order

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Station> m_station;
};

// Every alias of the terminal on one SQLite file in the folder of the alias file.
QString sqliteAliases();

using support::Route;

// The alias file and settings of a station on each route, reached through the profiles as a
// judge would: SQLite (InterBase Server profile mapped to a file), Firebird (InterBase Server
// profile), MariaDB (MySQL Local profile over ODBC).
QString routeAliases(Route route);
// The aliases of a server route through a relay on 127.0.0.1:relayPort.
QString relayedAliases(Route route, quint16 relayPort);
QByteArray routeSettings(Route route);

// Waits until the station has nothing on its way to the database: no request of the
// gateway, no poll, registration or End of the point input window, no profile or claim of the
// main window.
bool settle(int timeoutMs = 10000);

// Frees the seat's flag and claims it as the judge does (the seat's button, 確認); returns once
// the point input window is shown and active and the claim's competitor check answered.
bool judgeSeat(const QString &letter = QStringLiteral("A"));

// Presses 確認 and runs work once the point input window shows (inside its modal loop, the
// show's check answered); returns whether it ran and the window closed again. The window is
// closed after work if work left it open.
bool claimAndRun(const std::function<void()> &work, int timeoutMs = 30000);

// A connection of its own to the station's database, as the operator's console has one: by
// the station's alias, or straight to the route's server once directRoute() was called (when
// the station reaches it through a relay).
Database &operatorConnection();
void operatorGoesDirect(bool direct);

// The current row's columns of a statement, read on a connection of its own.
QString readColumn(const QString &statement, const QString &column);
void execute(const QString &statement);
QString quoted(const QString &text); // a literal for execute()
// The server drops every connection to the database but the caller's (server routes only).
void dropOtherConnections(Route route);
