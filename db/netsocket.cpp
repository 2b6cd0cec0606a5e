#include "db/netsocket.h"

#ifdef Q_OS_WIN
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <unistd.h>
#endif

namespace netsocket {

#ifdef Q_OS_WIN

bool start()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

QString lastError()
{
    return qt_error_string(::WSAGetLastError());
}

void keepToThisProcess(Handle h)
{
    ::SetHandleInformation(reinterpret_cast<HANDLE>(h), HANDLE_FLAG_INHERIT, 0);
}

Handle open(int family, int type)
{
    const Handle h = start() ? ::socket(family, type, 0) : none;
    if (h != none)
        keepToThisProcess(h);
    return h;
}

Handle accept(Handle listener)
{
    const Handle h = ::accept(listener, nullptr, nullptr);
    if (h != none) {
        keepToThisProcess(h);
        u_long off = 0; // a socket accepted takes the listener's mode on Windows
        ::ioctlsocket(h, FIONBIO, &off);
    }
    return h;
}

bool makeNonBlocking(Handle h)
{
    u_long on = 1;
    return ::ioctlsocket(h, FIONBIO, &on) == 0;
}

bool wouldBlock()
{
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

int receive(Handle h, char *bytes, int size)
{
    return ::recv(h, bytes, size, 0);
}

int send(Handle h, const char *bytes, int size)
{
    return ::send(h, bytes, size, 0);
}

void shutDown(Handle h, bool writesOnly)
{
    ::shutdown(h, writesOnly ? SD_SEND : SD_BOTH);
}

void close(Handle h)
{
    ::closesocket(h);
}

int poll(Polled *handles, std::size_t count, int timeoutMs)
{
    return ::WSAPoll(handles, ULONG(count), timeoutMs);
}

#else

bool start()
{
    return true;
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

void keepToThisProcess(Handle)
{
    // Every socket here is made close-on-exec.
}

Handle open(int family, int type)
{
    return ::socket(family, type | SOCK_CLOEXEC, 0);
}

Handle accept(Handle listener)
{
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

bool makeNonBlocking(Handle h)
{
    const int flags = ::fcntl(h, F_GETFL);
    return flags >= 0 && ::fcntl(h, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

int receive(Handle h, char *bytes, int size)
{
    return int(::recv(h, bytes, std::size_t(size), 0));
}

int send(Handle h, const char *bytes, int size)
{
    return int(::send(h, bytes, std::size_t(size), MSG_NOSIGNAL));
}

void shutDown(Handle h, bool writesOnly)
{
    ::shutdown(h, writesOnly ? SHUT_WR : SHUT_RDWR);
}

void close(Handle h)
{
    ::close(h);
}

int poll(Polled *handles, std::size_t count, int timeoutMs)
{
    return ::poll(handles, nfds_t(count), timeoutMs);
}

#endif

Handle onLoopback(int type, quint16 &port)
{
    const Handle h = open(AF_INET, type);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto *name = reinterpret_cast<sockaddr *>(&address);
    const bool ready = h != none && ::bind(h, name, sizeof address) == 0 &&
                       ::getsockname(h, name, &length) == 0 &&
                       (type == SOCK_STREAM ? ::listen(h, 64) : ::connect(h, name, length)) == 0;
    if (!ready) {
        if (h != none)
            close(h);
        return none;
    }
    port = ntohs(address.sin_port);
    return h;
}

} // namespace netsocket
