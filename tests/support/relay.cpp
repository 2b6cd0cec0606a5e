#include "support/relay.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int connectTo(const QByteArray &host, quint16 port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (const addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
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
    int listener = -1;
    int wake[2] = {-1, -1};
    quint16 port = 0;
    std::atomic<bool> held = false;
    std::atomic<bool> answersHeld = false;
    std::atomic<bool> stopping = false;
    std::atomic<bool> strandAsked = false;
    std::atomic<bool> loseAsked = false;
    std::vector<std::pair<int, int>> pairs; // client, upstream: only the relay thread uses it
    std::vector<int> losing;                // clients whose next answer is lost with them
    std::vector<int> stranded;              // open and never served again
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
            if (::poll(fds.data(), fds.size(), 200) <= 0)
                continue;
            if (fds[0].revents) {
                char drain[16];
                [[maybe_unused]] const auto n = ::read(wake[0], drain, sizeof drain);
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
                const bool ok = !answerLost && forward(c, pairs[i].first, pairs[i].second) &&
                                forward(u, pairs[i].second, pairs[i].first);
                if (ok) {
                    ++i;
                    continue;
                }
                ::close(pairs[i].first);
                ::close(pairs[i].second);
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
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        const int upstream = connectTo(targetHost, targetPort);
        if (upstream < 0) {
            ::close(client);
            return;
        }
        pairs.emplace_back(client, upstream);
    }

    bool loses(int client)
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
        for (pollfd waiting{listener, POLLIN, 0}; ::poll(&waiting, 1, 0) > 0; waiting.revents = 0) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                break;
            stranded.push_back(client);
        }
        held = false;
        answersHeld = false;
    }

    static bool forward(const pollfd &p, int from, int to)
    {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
            return true;
        char buffer[16384];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        for (ssize_t sent = 0; sent < n;) {
            const ssize_t w = ::write(to, buffer + sent, std::size_t(n - sent));
            if (w <= 0)
                return false;
            sent += w;
        }
        return true;
    }

    void poke() { [[maybe_unused]] const auto n = ::write(wake[1], "x", 1); }
};

Relay::Relay(const QString &targetHost, quint16 targetPort) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.targetHost = targetHost.toUtf8();
    s.targetPort = targetPort;
    s.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(s.listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::listen(s.listener, 64) == 0 &&
        ::getsockname(s.listener, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        s.port = ntohs(address.sin_port);
    if (::pipe2(s.wake, O_CLOEXEC) != 0)
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
        ::close(client);
        ::close(upstream);
    }
    for (const int fd : s.stranded)
        ::close(fd);
    ::close(s.listener);
    ::close(s.wake[0]);
    ::close(s.wake[1]);
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
