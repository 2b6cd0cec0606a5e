#pragma once

// One station as the program starts it (main window, point input window, data module), with
// a settings folder and an alias file of the test's own, and message boxes recorded.

#include "messages.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

class Station
{
public:
    // aliasFile: the text of the alias file; settings: the settings file's content, or a null
    // array for no file.
    Station(const QString &aliasFile, const QByteArray &settings);
    ~Station();

    // Creates the three objects in the program's order and shows the main window; returns
    // once the first show has selected a profile.
    bool start();
    void stop(); // closes the main window (settings written) and destroys the objects

    QString dir() const { return m_dir.path(); }
    QString settingsPath() const;
    QByteArray settingsFile() const;
    QString sqliteFile() const { return m_dir.filePath(QStringLiteral("jump.sqlite")); }

    QList<QPair<messages::Kind, QString>> messages;

private:
    QTemporaryDir m_dir;
};

// Every alias of the terminal on one SQLite file in the folder of the alias file.
QString sqliteAliases();

bool inCi();
QString firebirdDatabase(); // TOLLIVANE_FIREBIRD_DB, empty when not set
