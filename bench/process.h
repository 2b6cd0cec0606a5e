#pragma once

// Child processes for the start-up, memory and idle runs: started with a pipe on their standard
// output, so that each line they say can be stamped when it arrives, and watched through /proc.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

namespace bench {

qint64 nowNs(); // monotonic clock

class Child
{
public:
    // env: "NAME=value" lines that replace or add to this process's environment. The child's
    // standard error goes to errorLog.
    Child(const QStringList &argv, const QStringList &env, const QString &errorLog);
    ~Child(); // stops it when it still runs
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    qint64 startedNs() const { return m_startedNs; }

    // The next line the child says, and when it arrived; nothing when the child ends or the
    // time runs out first.
    struct Line
    {
        QByteArray text;
        qint64 atNs = 0;
    };
    std::optional<Line> readLine(int timeoutMs);

    // Waits for the child to end by itself; false when it is still running after timeoutMs.
    bool waitForExit(int timeoutMs);
    void stop(); // SIGTERM, SIGKILL after two seconds; reaps it
    int exitStatus() const { return m_status; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    qint64 m_startedNs = 0;
    QByteArray m_pending;
    qint64 m_arrivedNs = 0;
    int m_status = -1;
};

// utime + stime of a process in clock ticks (/proc/<pid>/stat), or -1.
qint64 cpuTicks(pid_t pid);
qint64 ticksPerSecond();
// VmHWM of /proc/<pid>/status in kB, or -1.
qint64 peakResidentKb(pid_t pid);

void sleepMs(int ms);

// Runs a program to its end; its exit status, or -1 when it could not run.
int run(const QStringList &argv);

} // namespace bench
