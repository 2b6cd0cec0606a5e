#include "app/onecopy.h"

#include "journal/markjournal.h"
#include "toolkit/inifile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Two spellings of one path are one key.
QString keyOf(const QString &path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
#ifdef Q_OS_WIN
    return clean.toLower(); // Windows paths ignore letter case
#else
    return clean;
#endif
}

// The lock's path without its extension: named by the pair, so that stations with folders of
// their own never meet.
QString basePath(const OneCopy::Files &files, const QString &folder)
{
    const QByteArray key = (keyOf(files.settings) + u'\n' + keyOf(files.journal)).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return folder + u"/Tollivane-"_s + QString::fromLatin1(hash.left(16));
}

// Lets the running copy take the foreground, which Windows grants only to the program the
// user started last.
void letComeForward(qint64 pid)
{
#ifdef Q_OS_WIN
    ::AllowSetForegroundWindow(DWORD(pid));
#else
    Q_UNUSED(pid); // the window manager decides
#endif
}

} // namespace

OneCopy::Files OneCopy::stationFiles()
{
    return {settings::stationFiles().user, journal::folder()};
}

QString OneCopy::lockFolder()
{
#ifdef Q_OS_WIN
    return QDir::tempPath(); // under the local application data, never roaming
#else
    // A tmpfs of the user's own; Qt names none when it is not the user's alone.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
#endif
}

OneCopy::OneCopy(const Files &files, const QString &folder)
    : m_frontPath(basePath(files, folder) + u".front"_s),
      m_lock(basePath(files, folder) + u".lock"_s)
{
    // A running copy's lock never ages into a stale one; only a copy that is gone leaves one.
    m_lock.setStaleLockTime(0);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        // A file written anew may have left the watch.
        if (m_watcher.files().isEmpty())
            m_watcher.addPath(m_frontPath);
        Q_EMIT frontAsked();
    });
}

OneCopy::~OneCopy()
{
    release();
}

bool OneCopy::take()
{
    QDir().mkpath(QFileInfo(m_lock.fileName()).absolutePath());
    if (m_lock.tryLock(0)) {
        m_held = true;
        watchFront();
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError)
        return true; // no place for a lock: better a second copy than no terminal
    askFront();
    return false;
}

void OneCopy::release()
{
    if (!std::exchange(m_held, false))
        return;
    m_watcher.removePaths(m_watcher.files());
    QFile::remove(m_frontPath); // before the lock: a new copy's own file stays
    m_lock.unlock();
}

void OneCopy::watchFront()
{
    QFile front(m_frontPath);
    if (front.open(QIODevice::WriteOnly | QIODevice::Truncate))
        front.close();
    m_watcher.addPath(m_frontPath);
}

void OneCopy::askFront()
{
    qint64 pid = 0;
    QString host, application;
    if (m_lock.getLockInfo(&pid, &host, &application))
        letComeForward(pid);
    QFile front(m_frontPath);
    if (front.open(QIODevice::WriteOnly | QIODevice::Truncate))
        front.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()));
}
