#include "db/reachable.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace reachable {

namespace {

// --- the operating system's sockets: one small function each, POSIX and Windows -------------

#ifdef Q_OS_WIN

using Socket = SOCKET;
constexpr Socket noSocket = INVALID_SOCKET;

// Winsock serves a process only after WSAStartup; once is enough, and it is never undone.
// 0, or why it does not serve.
int startSockets()
{
    static const int error = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return error;
}

int lastError()
{
    return ::WSAGetLastError();
}

QString systemText(int error)
{
    return qt_error_string(error);
}

// getaddrinfo's codes are Winsock error codes.
QString lookupText(int status)
{
    return systemText(status);
}

Socket openNonBlocking(const addrinfo *a)
{
    const Socket s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    u_long on = 1;
    if (s != noSocket && ::ioctlsocket(s, FIONBIO, &on) != 0) {
        const int error = lastError();
        ::closesocket(s);
        ::WSASetLastError(error);
        return noSocket;
    }
    return s;
}

bool connectPending(int error)
{
    return error == WSAEWOULDBLOCK;
}

void closeSocket(Socket s)
{
    ::closesocket(s);
}

// Waits until a connection attempt has an outcome; marks those that have. Returns the number
// marked, 0 when the time ran out, -1 on an error. select(), not WSAPoll(): WSAPoll never
// reports a refused connection on Windows 10 before version 2004.
int waitForOutcomes(const std::vector<Socket> &sockets, int timeoutMs, std::vector<bool> &done)
{
    fd_set written;
    fd_set failed;
    FD_ZERO(&written);
    FD_ZERO(&failed);
    for (const Socket s : sockets) {
        FD_SET(s, &written);
        FD_SET(s, &failed);
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, nullptr, &written, &failed, &limit);
    if (ready <= 0)
        return ready == 0 ? 0 : -1;
    int marked = 0;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        done[i] = FD_ISSET(sockets[i], &written) || FD_ISSET(sockets[i], &failed);
        marked += done[i] ? 1 : 0;
    }
    return marked;
}

bool interrupted(int)
{
    return false;
}

// Sends the whole of a short text; false on an error.
bool sendAll(Socket s, const QByteArray &bytes)
{
    return ::send(s, bytes.constData(), int(bytes.size()), 0) == int(bytes.size());
}

// 1 when something can be read (or the peer closed), 0 when the time ran out, -1 on an error.
int waitReadable(Socket s, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
    return ready < 0 ? -1 : ready;
}

// The bytes read, 0 when the peer closed, -1 on an error.
int receive(Socket s, char *buffer, int size)
{
    return ::recv(s, buffer, size, 0);
}

int connectError(Socket s)
{
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) != 0)
        return lastError();
    return error;
}

#else

using Socket = int;
constexpr Socket noSocket = -1;

int startSockets()
{
    return 0;
}

int lastError()
{
    return errno;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString lookupText(int status)
{
    return QString::fromLocal8Bit(::gai_strerror(status));
}

Socket openNonBlocking(const addrinfo *a)
{
    return ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
}

bool connectPending(int error)
{
    return error == EINPROGRESS;
}

void closeSocket(Socket s)
{
    ::close(s);
}

int waitForOutcomes(const std::vector<Socket> &sockets, int timeoutMs, std::vector<bool> &done)
{
    std::vector<pollfd> polled;
    for (const Socket s : sockets)
        polled.push_back({s, POLLOUT, 0});
    const int ready = ::poll(polled.data(), polled.size(), timeoutMs);
    for (std::size_t i = 0; ready > 0 && i < polled.size(); ++i)
        done[i] = polled[i].revents != 0;
    return ready;
}

bool interrupted(int error)
{
    return error == EINTR;
}

bool sendAll(Socket s, const QByteArray &bytes)
{
    return ::send(s, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

int waitReadable(Socket s, int timeoutMs)
{
    pollfd polled{s, POLLIN, 0};
    return ::poll(&polled, 1, timeoutMs);
}

int receive(Socket s, char *buffer, int size)
{
    return int(::recv(s, buffer, std::size_t(size), 0));
}

int connectError(Socket s)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

#endif

// --- the probe ------------------------------------------------------------------------------

// Connects to every address at once and waits for the first that answers, so that an
// address that drops every packet (a broken IPv6 route) does not use up the bound before a
// good one is tried. The connected socket, or noSocket with why none answered.
Socket firstAnswering(const addrinfo *addresses, int remainingMs, QString &why)
{
    std::vector<Socket> pending;
    why = u"Host not found"_s;
    for (const addrinfo *a = addresses; a; a = a->ai_next) {
        const Socket s = openNonBlocking(a);
        if (s == noSocket) {
            why = systemText(lastError());
            continue;
        }
        if (::connect(s, a->ai_addr, int(a->ai_addrlen)) == 0) {
            for (const Socket p : pending)
                closeSocket(p);
            return s;
        }
        const int error = lastError();
        if (!connectPending(error)) {
            why = systemText(error);
            closeSocket(s);
            continue;
        }
        pending.push_back(s);
    }
    QElapsedTimer clock;
    clock.start();
    Socket answered = noSocket;
    while (!pending.empty() && answered == noSocket) {
        const qint64 left = remainingMs - clock.elapsed();
        if (left <= 0) {
            why = u"Connection timed out"_s;
            break;
        }
        std::vector<bool> done(pending.size(), false);
        const int ready = waitForOutcomes(pending, int(left), done);
        if (ready < 0 && interrupted(lastError()))
            continue;
        if (ready <= 0) {
            why = ready == 0 ? u"Connection timed out"_s : systemText(lastError());
            break;
        }
        std::vector<Socket> still;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (!done[i]) {
                still.push_back(pending[i]);
                continue;
            }
            const int error = connectError(pending[i]);
            if (error == 0 && answered == noSocket) {
                answered = pending[i];
                continue;
            }
            if (error != 0)
                why = systemText(error);
            closeSocket(pending[i]);
        }
        pending.swap(still);
    }
    for (const Socket p : pending)
        closeSocket(p);
    return answered;
}

// More than Firebird's refusal of the greeting takes.
constexpr int drainBytes = 4096;

// Sends the greeting and waits for the server's first byte, or for it to close: a server that
// takes connections but serves none (stalled, or a path that completes the handshake and
// forwards nothing) gives neither. Empty text when it answered.
QString greeted(Socket s, const QByteArray &greeting, int remainingMs)
{
    if (!sendAll(s, greeting))
        return systemText(lastError());
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = remainingMs - clock.elapsed();
        if (left <= 0)
            return u"The server took the connection and did not answer"_s;
        const int ready = waitReadable(s, int(left));
        if (ready < 0 && interrupted(lastError()))
            continue;
        if (ready == 0)
            return u"The server took the connection and did not answer"_s;
        char bytes[64];
        if (ready < 0 || receive(s, bytes, int(sizeof bytes)) < 0)
            return systemText(lastError());
        // It serves. Its answer is read to its end, so that the server sees a close and not a
        // reset (which Firebird would log for every attempt); a peer that keeps sending (another
        // service on the port) holds the probe no longer than its bound.
        for (int drained = 0; drained < drainBytes;) {
            const qint64 wait = std::min<qint64>(200, remainingMs - clock.elapsed());
            if (wait <= 0 || waitReadable(s, int(wait)) <= 0)
                break;
            const int n = receive(s, bytes, int(sizeof bytes));
            if (n <= 0)
                break;
            drained += n;
        }
        return QString();
    }
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

// One lookup of a host: it lives as long as it runs and as long as anyone uses its addresses,
// which it frees itself.
struct LookupResult
{
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    int status = 0;
    addrinfo *addresses = nullptr;

    ~LookupResult()
    {
        if (addresses)
            ::freeaddrinfo(addresses);
    }
};

// The lookups running now, by host and port: a connection attempt joins the one that runs
// for its host rather than start another, so that a name service that does not answer holds
// one thread per host, however often the station asks.
std::mutex s_runningMutex;
std::map<std::string, std::weak_ptr<LookupResult>> s_running;

std::shared_ptr<LookupResult> startLookup(const QString &host, quint16 port)
{
    const std::string name = host.toStdString();
    const std::string service = std::to_string(port);
    const std::string key = name + '\n' + service;
    const std::lock_guard running(s_runningMutex);
    if (std::shared_ptr<LookupResult> joined = s_running[key].lock()) {
        const std::lock_guard lock(joined->mutex);
        if (!joined->done)
            return joined;
    }
    auto result = std::make_shared<LookupResult>();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    std::thread([result, lookup = currentLookup(), name, service, key, hints] {
        addrinfo *found = nullptr;
        const int status = lookup(name, service, hints, &found);
        {
            const std::lock_guard lock(result->mutex);
            result->status = status;
            result->addresses = status == 0 ? found : nullptr;
            result->done = true;
            result->answered.notify_all();
        }
        // Answered: the next attempt asks the name service afresh.
        const std::lock_guard running(s_runningMutex);
        const auto it = s_running.find(key);
        if (it != s_running.end() && it->second.lock() == result)
            s_running.erase(it);
    }).detach();
    s_running[key] = result;
    return result;
}

// The addresses of host:port, or why there are none. A resolver that does not answer
// (glibc waits 5 s per attempt and server) runs on in its own thread, which is left behind.
QString lookUp(const QString &host, quint16 port, int timeoutMs,
               std::shared_ptr<LookupResult> &found)
{
    std::shared_ptr<LookupResult> result;
    try {
        result = startLookup(host, port);
    } catch (const std::system_error &e) {
        return QString::fromLocal8Bit(e.what());
    }
    std::unique_lock lock(result->mutex);
    if (!result->answered.wait_for(lock, std::chrono::milliseconds(qMax(0, timeoutMs)),
                                   [&result] { return result->done; }))
        return u"Host name lookup timed out"_s;
    if (result->status != 0)
        return lookupText(result->status);
    found = result;
    return QString();
}

} // namespace

void setLookup(Lookup lookup)
{
    const std::lock_guard lock(s_lookupMutex);
    s_lookup = lookup ? std::move(lookup) : systemLookup();
}

qintptr openConnection(const QString &host, quint16 port, int timeoutMs, QString &why)
{
    if (const int error = startSockets()) {
        why = systemText(error);
        return -1;
    }
    QElapsedTimer clock;
    clock.start();
    std::shared_ptr<LookupResult> lookup;
    why = lookUp(host, port, timeoutMs, lookup);
    if (!why.isEmpty())
        return -1;
    const Socket s = firstAnswering(lookup->addresses, int(timeoutMs - clock.elapsed()), why);
    return s == noSocket ? -1 : qintptr(s);
}

QString tcpConnect(const QString &host, quint16 port, int timeoutMs, const QByteArray &greeting)
{
    QElapsedTimer clock;
    clock.start();
    QString why;
    const qintptr s = openConnection(host, port, timeoutMs, why);
    if (s == -1)
        return why;
    why = greeting.isEmpty() ? QString()
                             : greeted(Socket(s), greeting, int(timeoutMs - clock.elapsed()));
    closeSocket(Socket(s));
    return why;
}

} // namespace reachable
