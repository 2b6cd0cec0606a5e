#pragma once

#include <QString>

#include <memory>

// A TCP relay between a station and a database server, on a thread of its own. hold() makes
// it a hung path: connections stay open, nothing is forwarded either way, new connections
// are not served (the kernel still completes their handshake); release() forwards what waited
// and serves again, as a cable that comes back does. holdAnswers() forwards what the station
// sends and keeps back what the server answers: a request arrives, its answer is lost.
// strand() leaves every connection open at that moment, and those waiting to be taken,
// unanswered and unclosed for good, and relays new ones: a server whose PC was reset behind a
// switch, or a NAT that forgot its flows. loseAnswers() cuts every connection open at that
// moment as soon as the server answers on it, the answer dropped: a commit that landed and
// whose connection went at once.
class Relay
{
public:
    // Relays 127.0.0.1:port() to the target (a name or an address, every address tried).
    Relay(const QString &targetHost, quint16 targetPort);
    ~Relay();

    quint16 port() const;
    void hold();
    void holdAnswers();
    void strand();
    void loseAnswers();
    void release();

private:
    struct State;
    std::unique_ptr<State> m_state;
};
