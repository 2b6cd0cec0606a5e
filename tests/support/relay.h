#pragma once

#include <QByteArray>
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
    void strand(); // returns once done
    void loseAnswers();
    // The next `connections` connections that send again after the server's answer are
    // stranded there: a Firebird attach stalls after its handshake, while the reachability
    // probe, which sends once, is served.
    void stallAfterFirstAnswer(int connections);
    // What stations send has `from` replaced by `to`, of the same length: a server, or a path,
    // that does not take what it is told.
    void rewrite(const QByteArray &from, const QByteArray &to);
    // New connections get no server: the relay sends them bytes without end (for ten seconds),
    // a byte every pauseMs, or as fast as they take them for 0.
    void talkWithoutEnd(int pauseMs);
    void release();

private:
    struct State;
    std::unique_ptr<State> m_state;
};
