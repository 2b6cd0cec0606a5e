#pragma once

#ifndef TOLLIVANE_DB_INTERNALS
#error                                                                                             \
    "db/attachmentsocket.h is internal to the db layer: reach the database through db/competitiongateway.h"
#endif

#include <QString>

#include <memory>

// The TCP path under a Firebird attachment, held by this process: Firebird's client connects
// to a loopback port of ours, which is joined here to a connection of ours to the server.
// Which socket is the attachment's is then known by construction, through any address
// translation on the way and on every system, before the attach begins: ending the path ends
// every call of the attachment, in the attach as in a statement. The client's own socket
// stays the client's until it closes it, so no call ever waits on a number taken again.
namespace attachmentsocket {

struct Joint;

class Path
{
public:
    // Connects to the server within timeoutMs (every address at once, as the reachability
    // probe does) and listens on the loopback for the client. Nothing, with why, when the
    // server cannot be reached or the loopback refuses.
    static std::shared_ptr<Path> open(const QString &host, quint16 port, int timeoutMs,
                                      QString &why);
    // Once the owner lets go, the path closes as soon as the client has closed its side, and
    // at once when the client never came.
    ~Path();
    Path(const Path &) = delete;
    Path &operator=(const Path &) = delete;

    // Where the client connects.
    QString clientHost() const;
    quint16 clientPort() const { return m_clientPort; }

    // Ends the path now, from any thread and for good: the client's call on it returns with
    // an error, and an attach not begun yet fails.
    void sever();

private:
    Path(std::shared_ptr<Joint> joint, quint16 clientPort);
    std::shared_ptr<Joint> m_joint;
    quint16 m_clientPort;
};

// A write to a connection the server reset fails as an error rather than ending the program
// (Firebird's client writes without asking for that).
void keepWritesToResetConnectionsHarmless();

} // namespace attachmentsocket
