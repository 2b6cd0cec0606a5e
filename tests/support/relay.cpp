#include "support/relay.h"

#include "db/netsocket.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

namespace {

using Fd = netsocket::Handle;
constexpr Fd noFd = netsocket::none;

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
        fd = netsocket::open(a->ai_family, a->ai_socktype);
        if (fd != noFd && ::connect(fd, a->ai_addr, int(a->ai_addrlen)) != 0) {
            netsocket::close(fd);
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
    Fd wake = noFd; // datagrams to itself
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
            std::vector<pollfd> fds{{wake, POLLIN, 0}};
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
                netsocket::poll(fds.data(), fds.size(), talkers.empty() ? 200 : talkMs.load());
            talk();
            if (ready <= 0)
                continue;
            if (fds[0].revents) {
                char drain[16];
                [[maybe_unused]] const auto n = netsocket::receive(wake, drain, sizeof drain);
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
                    netsocket::close(pairs[i].first);
                    netsocket::close(pairs[i].second);
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
        const Fd client = netsocket::accept(listener);
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
            netsocket::close(client);
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
            if (over ||
                netsocket::send(talkers[i], chunk.constData(), talkMs == 0 ? 4096 : 1) <= 0) {
                netsocket::close(talkers[i]);
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
        for (pollfd waiting{listener, POLLIN, 0}; netsocket::poll(&waiting, 1, 0) > 0;
             waiting.revents = 0) {
            const Fd client = netsocket::accept(listener);
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
        const int n = netsocket::receive(from, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        if (fromStation) {
            const std::lock_guard lock(mutex);
            char *at = std::search(buffer, buffer + n, replaced.begin(), replaced.end());
            if (!replaced.isEmpty() && at != buffer + n)
                std::copy(replacement.begin(), replacement.end(), at);
        }
        for (int sent = 0; sent < n;) {
            const int w = netsocket::send(to, buffer + sent, n - sent);
            if (w <= 0)
                return false;
            sent += w;
        }
        return true;
    }

    void poke() { [[maybe_unused]] const auto n = netsocket::send(wake, "x", 1); }
};

Relay::Relay(const QString &targetHost, quint16 targetPort) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.targetHost = targetHost.toUtf8();
    s.targetPort = targetPort;
    s.listener = netsocket::onLoopback(SOCK_STREAM, s.port);
    quint16 wakePort = 0;
    s.wake = netsocket::onLoopback(SOCK_DGRAM, wakePort);
    if (s.listener == noFd || s.wake == noFd)
        qFatal("relay: no loopback socket");
    s.thread = std::thread([&s] { s.run(); });
}

Relay::~Relay()
{
    State &s = *m_state;
    s.stopping = true;
    s.poke();
    s.thread.join();
    for (const auto &[client, upstream] : s.pairs) {
        netsocket::close(client);
        netsocket::close(upstream);
    }
    for (const Fd fd : s.stranded)
        netsocket::close(fd);
    for (const Fd fd : s.talkers)
        netsocket::close(fd);
    netsocket::close(s.listener);
    netsocket::close(s.wake);
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
