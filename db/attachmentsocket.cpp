#include "db/attachmentsocket.h"

#include "db/netsocket.h"
#include "db/reachable.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <ws2tcpip.h>
#else
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#endif

using namespace Qt::StringLiterals;

namespace attachmentsocket {

namespace {

using netsocket::Handle;
using netsocket::Polled;
constexpr Handle noHandle = netsocket::none;

// --- sockets as the joint needs them --------------------------------------------------------

// A socket on the loopback as the pump polls it: non-blocking.
Handle onLoopback(int type, quint16 &port)
{
    const Handle h = netsocket::onLoopback(type, port);
    if (h == noHandle || netsocket::makeNonBlocking(h))
        return h;
    netsocket::close(h);
    return noHandle;
}

// As Firebird's client sets its own socket: no delay for small packets, and a connection that
// died unseen is found out by the system in the end.
void tune(Handle h)
{
    const int on = 1;
    ::setsockopt(h, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    ::setsockopt(h, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char *>(&on), sizeof on);
}

using Clock = std::chrono::steady_clock;
constexpr std::size_t bufferBytes = 256 * 1024;  // each way
constexpr auto linger = std::chrono::seconds(2); // for the server's close after ours

} // namespace

// One attachment's path: the client's connection to us and ours to the server. Its sockets are
// touched by the pump's thread only; the owner's side reaches it through the two flags.
struct Joint
{
    Handle listener = noHandle;
    Handle client = noHandle;
    Handle server = noHandle;
    std::string toServer;
    std::string toClient;
    bool clientEnded = false; // its side sent its end
    bool serverEnded = false;
    bool serverShut = false; // our writes to it ended
    bool clientShut = false;
    std::optional<Clock::time_point> closesAt;
    std::atomic<bool> severed = false;
    std::atomic<bool> released = false;
};

namespace {

// Reads what the socket has into the buffer, as far as it has room. False on an error.
bool take(Handle h, std::string &buffer, bool &ended)
{
    char chunk[16384];
    const std::size_t room =
        std::min(bufferBytes - std::min(bufferBytes, buffer.size()), sizeof chunk);
    if (room == 0)
        return true;
    const int n = netsocket::receive(h, chunk, int(room));
    if (n > 0)
        buffer.append(chunk, std::size_t(n));
    else if (n == 0)
        ended = true;
    else if (!netsocket::wouldBlock())
        return false;
    return true;
}

// Sends what the buffer holds, as far as the socket takes it. False on an error.
bool give(Handle h, std::string &buffer)
{
    if (buffer.empty() || h == noHandle)
        return true;
    const int n =
        netsocket::send(h, buffer.data(), int(std::min<std::size_t>(buffer.size(), 1 << 20)));
    if (n > 0)
        buffer.erase(0, std::size_t(n));
    return n >= 0 || netsocket::wouldBlock();
}

void closeAll(Joint &j)
{
    for (Handle *h : {&j.listener, &j.client, &j.server}) {
        if (*h == noHandle)
            continue;
        if (h != &j.listener)
            netsocket::shutDown(*h, false);
        netsocket::close(*h);
        *h = noHandle;
    }
}

// Forwards both ways on the joint's sockets that have something to do. False once it is over.
bool serve(Joint &j, short listenerEvents, short clientEvents, short serverEvents)
{
    constexpr short broken = POLLERR | POLLNVAL;
    if ((listenerEvents | clientEvents | serverEvents) & broken)
        return false;
    if (listenerEvents & POLLIN) {
        j.client = netsocket::accept(j.listener);
        if (j.client != noHandle) {
            // One client only: nothing else connects to the path once it has its own.
            netsocket::close(std::exchange(j.listener, noHandle));
            tune(j.client);
            if (!netsocket::makeNonBlocking(j.client))
                return false;
        }
    }
    constexpr short readable = POLLIN | POLLHUP;
    if ((clientEvents & readable) && !take(j.client, j.toServer, j.clientEnded))
        return false;
    if ((serverEvents & readable) && !take(j.server, j.toClient, j.serverEnded))
        return false;
    if (!give(j.server, j.toServer) || !give(j.client, j.toClient))
        return false;
    // An end is passed on once what came before it is.
    if (j.clientEnded && j.toServer.empty() && !j.serverShut) {
        netsocket::shutDown(j.server, true);
        j.serverShut = true;
        j.closesAt = Clock::now() + linger;
    }
    if (j.serverEnded && j.toClient.empty() && !j.clientShut && j.client != noHandle) {
        netsocket::shutDown(j.client, true);
        j.clientShut = true;
    }
    return !(j.clientShut && j.serverShut);
}

// What the pump polls a socket of the joint for; 0 when nothing.
short eventsOf(Handle h, bool ended, const std::string &in, const std::string &out)
{
    if (h == noHandle)
        return 0;
    return short((!ended && in.size() < bufferBytes ? POLLIN : 0) | (out.empty() ? 0 : POLLOUT));
}

// One thread serves the paths of the process; like the alarms' thread it is never ended, as
// the program may leave while a worker still hangs.
class Pump
{
public:
    static Pump *instance(QString &why)
    {
        static QString failed;
        static Pump *pump = [] {
            try {
                auto *p = new Pump;
                if (p->m_wake != noHandle)
                    return p;
                failed = netsocket::lastError();
            } catch (const std::system_error &e) {
                failed = QString::fromLocal8Bit(e.what());
            }
            return static_cast<Pump *>(nullptr);
        }();
        if (!pump)
            why = u"The connection cannot be relayed: %1"_s.arg(failed);
        return pump;
    }

    void add(std::shared_ptr<Joint> joint)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_added.push_back(std::move(joint));
        }
        wake();
    }

    void wake() { netsocket::send(m_wake, "x", 1); }

private:
    Pump()
    {
        quint16 port = 0;
        m_wake = onLoopback(SOCK_DGRAM, port);
        if (m_wake != noHandle)
            std::thread([this] { run(); }).detach();
    }

    // Drops the joints that are over, and says how long the pump may wait (-1: until woken).
    int sweep()
    {
        const Clock::time_point now = Clock::now();
        std::optional<Clock::time_point> next;
        std::erase_if(m_joints, [&](const std::shared_ptr<Joint> &j) {
            if (j->released && !j->closesAt)
                j->closesAt = now + (j->client == noHandle ? Clock::duration() : linger);
            const bool over = j->severed || (j->closesAt && now >= *j->closesAt);
            if (over)
                closeAll(*j);
            else if (j->closesAt)
                next = std::min(next.value_or(*j->closesAt), *j->closesAt);
            return over;
        });
        if (!next)
            return -1;
        using std::chrono::milliseconds;
        return int(std::chrono::ceil<milliseconds>(*next - now).count());
    }

    void run()
    {
        for (;;) {
            {
                const std::lock_guard lock(m_mutex);
                m_joints.insert(m_joints.end(), m_added.begin(), m_added.end());
                m_added.clear();
            }
            const int timeoutMs = sweep();
            // Each joint's listener, client and server where polled; 0 (the wake) where not.
            std::vector<Polled> polled{{m_wake, POLLIN, 0}};
            std::vector<std::array<std::size_t, 3>> slots;
            for (const std::shared_ptr<Joint> &j : m_joints) {
                const Handle handles[] = {j->listener, j->client, j->server};
                const short events[] = {
                    short(j->listener == noHandle ? 0 : POLLIN),
                    eventsOf(j->client, j->clientEnded, j->toServer, j->toClient),
                    eventsOf(j->server, j->serverEnded, j->toClient, j->toServer)};
                std::array<std::size_t, 3> &at = slots.emplace_back();
                for (std::size_t k = 0; k < at.size(); ++k) {
                    at[k] = events[k] == 0 ? 0 : polled.size();
                    if (events[k] != 0)
                        polled.push_back({handles[k], events[k], 0});
                }
            }
            if (netsocket::poll(polled.data(), polled.size(), timeoutMs) < 0 &&
                !netsocket::wouldBlock())
                continue;
            if (polled[0].revents) {
                char drain[64];
                while (netsocket::receive(m_wake, drain, int(sizeof drain)) > 0) {
                }
            }
            forward(polled, slots);
        }
    }

    void forward(const std::vector<Polled> &polled,
                 const std::vector<std::array<std::size_t, 3>> &slots)
    {
        std::size_t i = 0;
        std::erase_if(m_joints, [&](const std::shared_ptr<Joint> &j) {
            const std::array<std::size_t, 3> &at = slots[i++];
            const auto events = [&](std::size_t k) { return at[k] ? polled[at[k]].revents : 0; };
            if (j->severed || serve(*j, events(0), events(1), events(2)))
                return false; // a severed one goes at the next sweep
            closeAll(*j);
            return true;
        });
    }

    Handle m_wake = noHandle;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Joint>> m_added;  // from the owners' threads
    std::vector<std::shared_ptr<Joint>> m_joints; // the pump's thread only
};

} // namespace

std::shared_ptr<Path> Path::open(const QString &host, quint16 port, int timeoutMs, QString &why)
{
    if (!netsocket::start()) {
        why = netsocket::lastError();
        return {};
    }
    Pump *pump = Pump::instance(why);
    if (!pump)
        return {};
    const qintptr server = reachable::openConnection(host, port, timeoutMs, why);
    if (server == -1)
        return {};
    auto joint = std::make_shared<Joint>();
    joint->server = Handle(server);
    netsocket::keepToThisProcess(joint->server);
    tune(joint->server);
    quint16 clientPort = 0;
    joint->listener = onLoopback(SOCK_STREAM, clientPort);
    if (joint->listener == noHandle) {
        why = u"No port for the connection on this PC's loopback: %1"_s.arg(netsocket::lastError());
        netsocket::close(joint->server);
        return {};
    }
    pump->add(joint);
    return std::shared_ptr<Path>(new Path(std::move(joint), clientPort));
}

Path::Path(std::shared_ptr<Joint> joint, quint16 clientPort)
    : m_joint(std::move(joint)), m_clientPort(clientPort)
{
}

Path::~Path()
{
    m_joint->released = true;
    QString why;
    if (Pump *pump = Pump::instance(why))
        pump->wake();
}

QString Path::clientHost() const
{
    return u"127.0.0.1"_s;
}

void Path::sever()
{
    m_joint->severed = true;
    QString why;
    if (Pump *pump = Pump::instance(why))
        pump->wake();
}

#ifdef Q_OS_WIN

void keepWritesToResetConnectionsHarmless() {}

#else

void keepWritesToResetConnectionsHarmless()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

#endif

} // namespace attachmentsocket
