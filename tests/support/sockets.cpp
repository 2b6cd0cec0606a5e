#include "support/sockets.h"

#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace support {

namespace {

constexpr std::intptr_t none = -1;

#ifdef Q_OS_WIN

std::intptr_t openSocket(int family, bool nonBlocking)
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return none;
    const SOCKET s = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return none;
    u_long on = 1;
    if (nonBlocking && ::ioctlsocket(s, FIONBIO, &on) != 0) {
        ::closesocket(s);
        return none;
    }
    return std::intptr_t(s);
}

void closeSocket(std::intptr_t s)
{
    ::closesocket(SOCKET(s));
}

QString lastError()
{
    return qt_error_string(::WSAGetLastError());
}

#else

std::intptr_t openSocket(int family, bool nonBlocking)
{
    const int s =
        ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    return s < 0 ? none : s;
}

void closeSocket(std::intptr_t s)
{
    ::close(int(s));
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

#endif

} // namespace

Listener::Listener(const QString &address, Queue queue)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    const bool v6 = address.contains(u':');
    if (v6) {
        auto *a = reinterpret_cast<sockaddr_in6 *>(&storage);
        a->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, address.toLatin1().constData(), &a->sin6_addr);
        length = sizeof *a;
    } else {
        auto *a = reinterpret_cast<sockaddr_in *>(&storage);
        a->sin_family = AF_INET;
        ::inet_pton(AF_INET, address.toLatin1().constData(), &a->sin_addr);
        length = sizeof *a;
    }
    auto *name = reinterpret_cast<sockaddr *>(&storage);
    m_socket = openSocket(v6 ? AF_INET6 : AF_INET, false);
    if (m_socket == none || ::bind(m_socket, name, length) != 0 ||
        ::listen(m_socket, queue == Queue::Full ? 0 : 16) != 0 ||
        ::getsockname(m_socket, name, &length) != 0) {
        m_error = lastError();
        close();
        return;
    }
    m_port = ntohs(v6 ? reinterpret_cast<sockaddr_in6 *>(&storage)->sin6_port
                      : reinterpret_cast<sockaddr_in *>(&storage)->sin_port);
    if (queue == Queue::Full) {
        // Never accepted: they fill the queue.
        for (int i = 0; i < 3; ++i) {
            const std::intptr_t filler = openSocket(v6 ? AF_INET6 : AF_INET, true);
            if (filler != none) {
                ::connect(filler, name, length);
                m_fillers.push_back(filler);
            }
        }
    }
}

Listener::~Listener()
{
    close();
}

void Listener::close()
{
    for (const std::intptr_t filler : m_fillers)
        closeSocket(filler);
    m_fillers.clear();
    if (m_socket != none)
        closeSocket(m_socket);
    m_socket = none;
}

quint16 closedPort()
{
    Listener listener(u"127.0.0.1"_s);
    return listener.port();
}

} // namespace support
