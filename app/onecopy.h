#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QObject>
#include <QString>

// One copy of the terminal per settings file and journal folder: two copies on one pair would
// mix their settings and journal lines. The lock lives in a folder local to the PC (never the
// journal's, which may be a share of several stations); a second copy is refused and asks the
// running one to come to the front, by touching a file beside the lock that the running one
// watches.
class OneCopy : public QObject
{
    Q_OBJECT
public:
    struct Files
    {
        QString settings; // the settings file
        QString journal;  // the journal folder
    };
    static Files stationFiles(); // this station's
    // The user's own folder on this PC: the runtime folder, on Windows the temporary one.
    static QString lockFolder();

    explicit OneCopy(const Files &files = stationFiles(), const QString &folder = lockFolder());
    ~OneCopy() override;

    // False when a running copy holds the pair; that copy is asked to come to the front. A
    // lock that cannot be made at all refuses nothing. A lock left by a copy that is gone is
    // taken over.
    bool take();
    void release();

    QString lockPath() const { return m_lock.fileName(); }

Q_SIGNALS:
    void frontAsked(); // a second copy was started

private:
    void watchFront();
    void askFront();

    QString m_frontPath;
    QLockFile m_lock;
    QFileSystemWatcher m_watcher;
    bool m_held = false;
};
