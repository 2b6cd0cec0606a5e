#pragma once

// What the start-up children tell the bench: one line a fact on standard output, written at
// once, so that the bench can stamp the moment it arrives.

#include <QByteArray>
#include <QFile>

#include <unistd.h>

namespace report {

// How long a window is left to paint before the peak memory is read.
inline constexpr int settleMs = 100;

inline void say(const QByteArray &line)
{
    const QByteArray text = line + '\n';
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.constData() + done, text.size() - done);
        if (n <= 0)
            return;
        done += n;
    }
}

// VmHWM of a /proc/<pid>/status file: the most memory the process has held resident, in kB.
inline qint64 peakResidentKbFrom(const QString &statusFile)
{
    QFile status(statusFile);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline qint64 peakResidentKb()
{
    return peakResidentKbFrom(QStringLiteral("/proc/self/status"));
}

} // namespace report
