#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/reachable.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>

struct addrinfo;

namespace reachable {

// Resolves a host and service as getaddrinfo() does; the list it returns is released with
// freeaddrinfo(). It may run on after tcpConnect gave up, so it must own what it uses.
using Lookup = std::function<int(const std::string &host, const std::string &service,
                                 const addrinfo &hints, addrinfo **result)>;

// Replaces the host name lookup, for tests; an empty function restores getaddrinfo().
void setLookup(Lookup lookup);

// A TCP connection to host:port, made as tcpConnect makes it (every address at once, within
// timeoutMs, the host name lookup included) and handed to the caller, who closes it: its
// non-blocking socket, or -1 with why there is none.
qintptr openConnection(const QString &host, quint16 port, int timeoutMs, QString &why);

// Opens a TCP connection to host:port and closes it again. With a greeting, sends it once
// connected and waits for the server's first byte (or its close); what follows it is read for a
// moment, so that the server sees a close rather than a reset, but never past the bound nor
// more than a server's refusal takes, whatever the peer keeps sending. Returns an empty text when
// all that happened within timeoutMs, the host name lookup included, otherwise why it did not.
QString tcpConnect(const QString &host, quint16 port, int timeoutMs,
                   const QByteArray &greeting = {});

} // namespace reachable
