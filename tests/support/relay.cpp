#include "support/relay.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// The system's sockets, one small function each.
#ifdef Q_OS_WIN
using Fd = SOCKET;
constexpr Fd noFd = INVALID_SOCKET;
struct Os
{
    static Fd socket(int family, int type)
    {
        static const bool started = [] {
            WSADATA data;
            return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        }();
        return started ? ::socket(family, type, 0) : noFd;
    }
    static Fd accept(Fd listener) { return ::accept(listener, nullptr, nullptr); }
    // Two datagram sockets on the loopback, the second connected to the first: a pipe.
    static bool pipe(Fd wake[2])
    {
        sockaddr_in address{AF_INET, 0, {}, {}};
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        auto *name = reinterpret_cast<sockaddr *>(&address);
        wake[0] = socket(AF_INET, SOCK_DGRAM);
        wake[1] = socket(AF_INET, SOCK_DGRAM);
        return ::bind(wake[0], name, length) == 0 && ::getsockname(wake[0], name, &length) == 0 &&
               ::connect(wake[1], name, length) == 0;
    }
    static int read(Fd fd, char *bytes, int size) { return ::recv(fd, bytes, size, 0); }
    static int write(Fd fd, const char *bytes, int size) { return ::send(fd, bytes, size, 0); }
    static void close(Fd fd) { ::closesocket(fd); }
    static int poll(pollfd *fds, std::size_t n, int ms) { return ::WSAPoll(fds, ULONG(n), ms); }
};
#else
using Fd = int;
constexpr Fd noFd = -1;
struct Os
{
    static Fd socket(int family, int type) { return ::socket(family, type | SOCK_CLOEXEC, 0); }
    static Fd accept(Fd listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
    static bool pipe(Fd wake[2])
    {
        return ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wake) == 0;
    }
    static int read(Fd fd, char *bytes, int size) { return int(::read(fd, bytes, size_t(size))); }
    static int write(Fd fd, const char *bytes, int size)
    {
        return int(::send(fd, bytes, size_t(size), MSG_NOSIGNAL));
    }
    static void close(Fd fd) { ::close(fd); }
    static int poll(pollfd *fds, std::size_t n, int ms) { return ::poll(fds, n, ms); }
};
#endif

Fd connectTo(const QByteArray &host, quint16 port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return noFd;
    Fd fd = noFd;
    for (const addrinfo *a = found; a && fd == noFd; a = a->ai_next) {
        fd = Os::socket(a->ai_family, a->ai_socktype);
        if (fd != noFd && ::connect(fd, a->ai_addr, int(a->ai_addrlen)) != 0) {
            Os::close(fd);
            fd = noFd;
        }
    }
    ::freeaddrinfo(found);
    return fd;
}

} // namespace

struct Relay::State
{
    QByteArray targetHost;
    quint16 targetPort = 0;
    Fd listener = noFd;
    Fd wake[2] = {noFd, noFd};
    quint16 port = 0;
    std::atomic<bool> held = false;
    std::atomic<bool> answersHeld = false;
    std::atomic<bool> stopping = false;
    std::atomic<bool> strandAsked = false;
    std::atomic<bool> loseAsked = false;
    std::vector<std::pair<Fd, Fd>> pairs; // client, upstream: only the relay thread uses it
    std::vector<Fd> losing;               // clients whose next answer is lost with them
    std::vector<Fd> stranded;             // open and never served again
    std::vector<Fd> answered;             // clients the server answered
    std::vector<Fd> talkers;              // connections the relay talks to itself
    std::chrono::steady_clock::time_point talkUntil;
    std::mutex mutex;                 // for what follows
    int stalls = 0;                   // connections still to stall once answered
    std::atomic<int> talkMs = -1;     // new connections talked to; -1: relayed
    QByteArray replaced, replacement; // in what stations send
    std::thread thread;

    void run()
    {
        while (!stopping) {
            std::vector<pollfd> fds{{wake[0], POLLIN, 0}};
            if (!held) {
                fds.push_back({listener, POLLIN, 0});
                // Answers held: the server's side is not read, so what it sends waits there.
                const short answers = answersHeld ? 0 : POLLIN;
                for (const auto &[client, upstream] : pairs) {
                    fds.push_back({client, POLLIN, 0});
                    fds.push_back({upstream, answers, 0});
                }
            }
            const int ready =
                Os::poll(fds.data(), fds.size(), talkers.empty() ? 200 : talkMs.load());
            talk();
            if (ready <= 0)
                continue;
            if (fds[0].revents) {
                char drain[16];
                [[maybe_unused]] const auto n = Os::read(wake[0], drain, sizeof drain);
                if (strandAsked.exchange(false))
                    strand();
                if (loseAsked.exchange(false)) {
                    for (const auto &pair : pairs)
                        losing.push_back(pair.first);
                }
                continue; // held or released: look again
            }
            for (std::size_t i = 0; i < pairs.size();) {
                const pollfd &c = fds[2 + 2 * i];
                const pollfd &u = fds[3 + 2 * i];
                const bool answerLost = (u.revents & POLLIN) && loses(pairs[i].first);
                const bool stalled = (c.revents & POLLIN) && stallsNow(pairs[i].first);
                const bool ok = !answerLost && !stalled &&
                                forward(c, pairs[i].first, pairs[i].second, true) &&
                                forward(u, pairs[i].second, pairs[i].first, false);
                if (u.revents & POLLIN)
                    answered.push_back(pairs[i].first);
                if (ok) {
                    ++i;
                    continue;
                }
                if (stalled) {
                    stranded.push_back(pairs[i].first);
                    stranded.push_back(pairs[i].second);
                } else {
                    Os::close(pairs[i].first);
                    Os::close(pairs[i].second);
                }
                pairs.erase(pairs.begin() + std::ptrdiff_t(i));
                fds.erase(fds.begin() + std::ptrdiff_t(2 + 2 * i),
                          fds.begin() + std::ptrdiff_t(4 + 2 * i));
            }
            if (fds[1].revents & POLLIN)
                accept(); // after the loop: its pair was not polled yet
        }
    }

    void accept()
    {
        const Fd client = Os::accept(listener);
        if (client == noFd)
            return;
        const std::lock_guard lock(mutex);
        if (talkMs >= 0) {
            talkers.push_back(client);
            talkUntil = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            return;
        }
        const Fd upstream = connectTo(targetHost, targetPort);
        if (upstream == noFd) {
            Os::close(client);
            return;
        }
        pairs.emplace_back(client, upstream);
    }

    // A byte to each talker, or as much as it takes when talkMs is 0, until their time is up.
    void talk()
    {
        static const QByteArray chunk(4096, 'x');
        const bool over = std::chrono::steady_clock::now() >= talkUntil;
        for (std::size_t i = talkers.size(); i-- > 0;) {
            if (over || Os::write(talkers[i], chunk.constData(), talkMs == 0 ? 4096 : 1) <= 0) {
                Os::close(talkers[i]);
                talkers.erase(talkers.begin() + std::ptrdiff_t(i));
            }
        }
    }

    // The client sends again after the server's answer, and a stall is asked for.
    bool stallsNow(Fd client)
    {
        const std::lock_guard lock(mutex);
        if (stalls == 0 || std::find(answered.begin(), answered.end(), client) == answered.end())
            return false;
        --stalls;
        return true;
    }

    bool loses(Fd client)
    {
        const auto at = std::find(losing.begin(), losing.end(), client);
        if (at == losing.end())
            return false;
        losing.erase(at);
        return true;
    }

    // What is open now, and what waits to be taken, stays open and is never served again;
    // new connections are relayed.
    void strand()
    {
        for (const auto &[client, upstream] : pairs) {
            stranded.push_back(client);
            stranded.push_back(upstream);
        }
        pairs.clear();
        for (pollfd waiting{listener, POLLIN, 0}; Os::poll(&waiting, 1, 0) > 0;
             waiting.revents = 0) {
            const Fd client = Os::accept(listener);
            if (client == noFd)
                break;
            stranded.push_back(client);
        }
        held = false;
        answersHeld = false;
    }

    bool forward(const pollfd &p, Fd from, Fd to, bool fromStation)
    {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
            return true;
        char buffer[16384];
        const int n = Os::read(from, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        if (fromStation) {
            const std::lock_guard lock(mutex);
            char *at = std::search(buffer, buffer + n, replaced.begin(), replaced.end());
            if (!replaced.isEmpty() && at != buffer + n)
                std::copy(replacement.begin(), replacement.end(), at);
        }
        for (int sent = 0; sent < n;) {
            const int w = Os::write(to, buffer + sent, n - sent);
            if (w <= 0)
                return false;
            sent += w;
        }
        return true;
    }

    void poke() { [[maybe_unused]] const auto n = Os::write(wake[1], "x", 1); }
};

Relay::Relay(const QString &targetHost, quint16 targetPort) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.targetHost = targetHost.toUtf8();
    s.targetPort = targetPort;
    s.listener = Os::socket(AF_INET, SOCK_STREAM);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(s.listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::listen(s.listener, 64) == 0 &&
        ::getsockname(s.listener, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        s.port = ntohs(address.sin_port);
    if (!Os::pipe(s.wake))
        qFatal("relay: no pipe");
    s.thread = std::thread([&s] { s.run(); });
}

Relay::~Relay()
{
    State &s = *m_state;
    s.stopping = true;
    s.poke();
    s.thread.join();
    for (const auto &[client, upstream] : s.pairs) {
        Os::close(client);
        Os::close(upstream);
    }
    for (const Fd fd : s.stranded)
        Os::close(fd);
    for (const Fd fd : s.talkers)
        Os::close(fd);
    Os::close(s.listener);
    Os::close(s.wake[0]);
    Os::close(s.wake[1]);
}

quint16 Relay::port() const
{
    return m_state->port;
}

void Relay::hold()
{
    m_state->held = true;
    m_state->poke();
}

void Relay::holdAnswers()
{
    m_state->answersHeld = true;
    m_state->poke();
}

void Relay::strand()
{
    m_state->strandAsked = true;
    m_state->poke();
    while (m_state->strandAsked) // done when it returns
        std::this_thread::yield();
}

void Relay::stallAfterFirstAnswer(int connections)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->stalls = connections;
}

void Relay::rewrite(const QByteArray &from, const QByteArray &to)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->replaced = from;
    m_state->replacement = to;
}

void Relay::talkWithoutEnd(int pauseMs)
{
    m_state->talkMs = pauseMs;
}

void Relay::loseAnswers()
{
    m_state->loseAsked = true;
    m_state->poke();
}

void Relay::release()
{
    m_state->held = false;
    m_state->answersHeld = false;
    m_state->poke();
}
