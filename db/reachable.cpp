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
#include <vector>

using namespace Qt::StringLiterals;

namespace reachable {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Connects to every address at once and waits for the first that answers, so that an
// address that drops every packet (a broken IPv6 route) does not use up the bound before a
// good one is tried. Empty text when one answered, else why none did.
QString firstAnswering(const addrinfo *addresses, int remainingMs)
{
    std::vector<pollfd> pending;
    QString why = u"Host not found"_s;
    for (const addrinfo *a = addresses; a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            why = systemText(errno);
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            ::close(fd);
            for (const pollfd &p : pending)
                ::close(p.fd);
            return QString();
        }
        if (errno != EINPROGRESS) {
            why = systemText(errno);
            ::close(fd);
            continue;
        }
        pending.push_back({fd, POLLOUT, 0});
    }
    QElapsedTimer clock;
    clock.start();
    bool answered = false;
    while (!pending.empty() && !answered) {
        const qint64 left = remainingMs - clock.elapsed();
        if (left <= 0) {
            why = u"Connection timed out"_s;
            break;
        }
        const int ready = ::poll(pending.data(), pending.size(), int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            why = ready == 0 ? u"Connection timed out"_s : systemText(errno);
            break;
        }
        for (auto it = pending.begin(); it != pending.end();) {
            if (!it->revents) {
                ++it;
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(it->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
            if (error == 0)
                answered = true;
            else
                why = systemText(error);
            ::close(it->fd);
            it = pending.erase(it);
        }
    }
    for (const pollfd &p : pending)
        ::close(p.fd);
    return answered ? QString() : why;
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
    const QString why = firstAnswering(addresses, int(timeoutMs - clock.elapsed()));
    ::freeaddrinfo(addresses);
    return why;
}

} // namespace reachable
