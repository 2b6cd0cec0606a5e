#include "process.h"

#include "report.h"

#include <QFile>
#include <QHash>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

extern char **environ;

namespace bench {

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void sleepMs(int ms)
{
    timespec t{ms / 1000, long(ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

namespace {

// This process's environment with the given lines put over it.
QList<QByteArray> mergedEnvironment(const QStringList &env)
{
    QList<QByteArray> lines;
    QHash<QByteArray, qsizetype> index;
    for (char **e = environ; *e; ++e) {
        const QByteArray line(*e);
        index.insert(line.left(line.indexOf('=')), lines.size());
        lines.append(line);
    }
    for (const QString &entry : env) {
        const QByteArray line = entry.toLocal8Bit();
        const QByteArray name = line.left(line.indexOf('='));
        if (index.contains(name))
            lines[index.value(name)] = line;
        else
            lines.append(line);
    }
    return lines;
}

pid_t spawn(const QStringList &argv, const QStringList &env, int outFd, int errFd)
{
    QList<QByteArray> args;
    for (const QString &a : argv)
        args.append(a.toLocal8Bit());
    QList<char *> argp;
    for (QByteArray &a : args)
        argp.append(a.data());
    argp.append(nullptr);
    QList<QByteArray> envLines = mergedEnvironment(env);
    QList<char *> envp;
    for (QByteArray &e : envLines)
        envp.append(e.data());
    envp.append(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    if (errFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

} // namespace

Child::Child(const QStringList &argv, const QStringList &env, const QString &errorLog)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    const int err = ::open(QFile::encodeName(errorLog).constData(),
                           O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_startedNs = nowNs();
    m_pid = spawn(argv, env, fds[1], err);
    ::close(fds[1]);
    if (err >= 0)
        ::close(err);
    m_out = fds[0];
}

Child::~Child()
{
    stop();
    if (m_out >= 0)
        ::close(m_out);
}

std::optional<Child::Line> Child::readLine(int timeoutMs)
{
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1000000;
    while (true) {
        const qsizetype end = m_pending.indexOf('\n');
        if (end >= 0) {
            Line line{m_pending.left(end), m_arrivedNs};
            m_pending.remove(0, end + 1);
            return line;
        }
        if (m_out < 0)
            return std::nullopt;
        const qint64 left = (deadline - nowNs()) / 1000000;
        if (left <= 0)
            return std::nullopt;
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0) {
            ::close(m_out);
            m_out = -1;
            continue;
        }
        // A line is stamped when its last bytes arrive, before anything else is done.
        m_arrivedNs = nowNs();
        m_pending.append(buffer, n);
    }
}

bool Child::waitForExit(int timeoutMs)
{
    if (m_pid <= 0)
        return true;
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1000000;
    while (true) {
        int status = 0;
        const pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || r < 0) {
            m_status = r == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            m_pid = -1;
            return true;
        }
        if (nowNs() >= deadline)
            return false;
        sleepMs(5);
    }
}

void Child::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    if (!waitForExit(2000)) {
        ::kill(m_pid, SIGKILL);
        waitForExit(2000);
    }
}

qint64 cpuTicks(pid_t pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The command name may hold blanks; the fields after it are counted from its ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // Fields 14 (utime) and 15 (stime) of the line; the list starts at field 3.
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

qint64 ticksPerSecond()
{
    return sysconf(_SC_CLK_TCK);
}

qint64 peakResidentKb(pid_t pid)
{
    return report::peakResidentKbFrom(u"/proc/%1/status"_s.arg(pid));
}

int run(const QStringList &argv)
{
    const pid_t pid = spawn(argv, {}, -1, -1);
    if (pid <= 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace bench
