#pragma once

#include <QString>

namespace reachable {

// Opens a TCP connection to host:port and closes it again. Returns an empty text when the
// connection opened within timeoutMs, otherwise why it did not.
QString tcpConnect(const QString &host, quint16 port, int timeoutMs);

} // namespace reachable
