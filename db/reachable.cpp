#include "db/reachable.h"

#include <QElapsedTimer>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
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

Lookup systemLookup()
{
    return [](const std::string &host, const std::string &service, const addrinfo &hints,
              addrinfo **result) {
        return ::getaddrinfo(host.c_str(), service.c_str(), &hints, result);
    };
}

std::mutex s_lookupMutex;
Lookup s_lookup = systemLookup();

Lookup currentLookup()
{
    const std::lock_guard lock(s_lookupMutex);
    return s_lookup;
}

// What a lookup hands over. It lives as long as either side holds it; the addresses belong
// to the caller once handed over, and the worker frees them when the caller gave up.
struct LookupResult
{
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    bool abandoned = false;
    int status = 0;
    addrinfo *addresses = nullptr;
};

// The addresses of host:port, or why there are none. A resolver that does not answer
// (glibc waits 5 s per attempt and server) runs on in its own thread, which is left behind.
QString lookUp(const QString &host, quint16 port, int timeoutMs, addrinfo **addresses)
{
    auto result = std::make_shared<LookupResult>();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    try {
        std::thread([result, lookup = currentLookup(), name = host.toStdString(),
                     service = std::to_string(port), hints] {
            addrinfo *found = nullptr;
            const int status = lookup(name, service, hints, &found);
            const std::lock_guard lock(result->mutex);
            if (result->abandoned) {
                if (status == 0)
                    ::freeaddrinfo(found);
                return;
            }
            result->status = status;
            result->addresses = status == 0 ? found : nullptr;
            result->done = true;
            result->answered.notify_one();
        }).detach();
    } catch (const std::system_error &e) {
        return QString::fromLocal8Bit(e.what());
    }
    std::unique_lock lock(result->mutex);
    if (!result->answered.wait_for(lock, std::chrono::milliseconds(qMax(0, timeoutMs)),
                                   [&result] { return result->done; })) {
        result->abandoned = true;
        return u"Host name lookup timed out"_s;
    }
    if (result->status != 0)
        return QString::fromLocal8Bit(::gai_strerror(result->status));
    *addresses = result->addresses;
    return QString();
}

} // namespace

void setLookup(Lookup lookup)
{
    const std::lock_guard lock(s_lookupMutex);
    s_lookup = lookup ? std::move(lookup) : systemLookup();
}

QString tcpConnect(const QString &host, quint16 port, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    addrinfo *addresses = nullptr;
    const QString unresolved = lookUp(host, port, timeoutMs, &addresses);
    if (!unresolved.isEmpty())
        return unresolved;

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
