#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error "db/netsocket.h is internal to the db layer"
#endif

#include <QString>

#include <cstddef>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#include <sys/socket.h>
#endif

// The system's sockets as the db layer (and the tests' relay) use them, one small function each
// with a POSIX and a Windows body. No socket made here is inherited by a program the process
// starts.
namespace netsocket {

#ifdef Q_OS_WIN
using Handle = SOCKET;
constexpr Handle none = INVALID_SOCKET;
#else
using Handle = int;
constexpr Handle none = -1;
#endif
using Polled = pollfd; // Winsock names its WSAPOLLFD so too

bool start(); // Winsock serves the process only once asked; harmless again
QString lastError();
Handle open(int family, int type);
Handle accept(Handle listener);
void keepToThisProcess(Handle h);
// A socket on 127.0.0.1, on a port the system chooses: listening (a stream), or connected to
// itself (datagrams: a pipe of one socket, to wake a thread that polls). Blocking.
Handle onLoopback(int type, quint16 &port);
bool makeNonBlocking(Handle h);
bool wouldBlock(); // the last call did nothing for now, and may be tried again
int receive(Handle h, char *bytes, int size);
int send(Handle h, const char *bytes, int size); // a reset connection raises no signal
void shutDown(Handle h, bool writesOnly);
void close(Handle h);
int poll(Polled *handles, std::size_t count, int timeoutMs);

} // namespace netsocket
