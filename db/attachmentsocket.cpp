#include "db/attachmentsocket.h"

#ifndef Q_OS_WIN
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace attachmentsocket {

#ifdef Q_OS_WIN

QList<Socket> connectedTo(quint16)
{
    return {};
}

bool shutDown(const Socket &)
{
    return false; // no socket is listed on Windows
}

void keepWritesToResetConnectionsHarmless() {}

#else

namespace {

quint16 portOf(const sockaddr_storage &a)
{
    if (a.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(a).sin_port);
    if (a.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(a).sin6_port);
    return 0;
}

// Both ends of a connected TCP socket; empty for anything else.
QByteArray endsOf(int handle, quint16 *peerPort = nullptr)
{
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(handle, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return {};
    sockaddr_storage local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (::getsockname(handle, reinterpret_cast<sockaddr *>(&local), &localLength) != 0 ||
        ::getpeername(handle, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0 ||
        (peer.ss_family != AF_INET && peer.ss_family != AF_INET6))
        return {};
    if (peerPort)
        *peerPort = portOf(peer);
    return QByteArray(reinterpret_cast<const char *>(&local), int(localLength)) +
           QByteArray(reinterpret_cast<const char *>(&peer), int(peerLength));
}

} // namespace

QList<Socket> connectedTo(quint16 port)
{
    QList<Socket> found;
    DIR *handles = ::opendir("/proc/self/fd");
    if (!handles)
        return found;
    while (const dirent *entry = ::readdir(handles)) {
        char *end = nullptr;
        const long handle = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || handle == ::dirfd(handles))
            continue;
        quint16 peerPort = 0;
        const QByteArray ends = endsOf(int(handle), &peerPort);
        if (!ends.isEmpty() && peerPort == port)
            found.append({handle, ends});
    }
    ::closedir(handles);
    return found;
}

bool shutDown(const Socket &socket)
{
    const int handle = int(socket.handle);
    if (handle < 0 || endsOf(handle) != socket.ends)
        return false;
    return ::shutdown(handle, SHUT_RDWR) == 0;
}

void keepWritesToResetConnectionsHarmless()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

#endif

} // namespace attachmentsocket
