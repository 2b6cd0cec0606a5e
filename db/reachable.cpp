#include "reachable.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace reachable {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Waits for a connect in progress: empty text when it completed, else why not.
QString waitConnected(int fd, int remainingMs)
{
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, remainingMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return u"Connection timed out"_s;
    if (ready < 0)
        return systemText(errno);
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return systemText(errno);
    return error ? systemText(error) : QString();
}

// One address: empty text when it answered, else why not. Waits at most remainingMs.
QString tryAddress(const addrinfo &address, int remainingMs)
{
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0)
        return systemText(errno);
    QString why;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0)
        why = errno == EINPROGRESS ? waitConnected(fd, remainingMs) : systemText(errno);
    ::close(fd);
    return why;
}

} // namespace

QString tcpConnect(const QString &host, quint16 port, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *addresses = nullptr;
    const int found = ::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(),
                                    &hints, &addresses);
    if (found != 0)
        return QString::fromLocal8Bit(::gai_strerror(found));

    QString why = u"Host not found"_s;
    for (const addrinfo *a = addresses; a; a = a->ai_next) {
        const qint64 remaining = timeoutMs - clock.elapsed();
        if (remaining <= 0) {
            why = u"Connection timed out"_s;
            break;
        }
        why = tryAddress(*a, int(remaining));
        if (why.isEmpty())
            break;
    }
    ::freeaddrinfo(addresses);
    return why;
}

} // namespace reachable
