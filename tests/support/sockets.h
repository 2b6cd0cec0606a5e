#pragma once

// Listening TCP sockets on a loopback address, for the connection tests: a server that
// answers, a port on which nothing listens, and a port that drops every connection request.

#include <QString>

#include <cstdint>
#include <vector>

namespace support {

class Listener
{
public:
    enum class Queue
    {
        Open, // connections are completed (and never accepted)
        // The accept queue is full and never emptied: the kernel drops every further request,
        // so a connection attempt hears nothing, as from a host behind a dead link. Linux
        // behaves so, and Wine on it; Windows itself refuses such a request instead.
        Full
    };

    // address: "127.0.0.1" or "::1"; the port is the system's choice.
    explicit Listener(const QString &address, Queue queue = Queue::Open);
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // 0 when the socket could not be made; error() says why.
    quint16 port() const { return m_port; }
    const QString &error() const { return m_error; }
    // Nothing listens on port() any more.
    void close();

private:
    std::intptr_t m_socket = -1;
    std::vector<std::intptr_t> m_fillers;
    quint16 m_port = 0;
    QString m_error;
};

// A port of 127.0.0.1 on which nothing listens, found by binding one and letting it go.
quint16 closedPort();

} // namespace support
