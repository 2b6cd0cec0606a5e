#pragma once

// Watches the X display for top-level windows being mapped, to time a program from its start
// to its first window on the screen without any help from the program.

#include <QByteArray>

#include <memory>
#include <optional>

namespace bench {

class MapWatch
{
public:
    MapWatch(); // connects to $DISPLAY and listens to the root window
    ~MapWatch();
    MapWatch(const MapWatch &) = delete;
    MapWatch &operator=(const MapWatch &) = delete;

    static bool available(); // built with XCB and a display to talk to

    struct Mapped
    {
        quint32 window = 0;
        qint64 atNs = 0; // when the map event arrived
    };
    // Waits until a window titled `title` is mapped.
    std::optional<Mapped> waitForMap(const QByteArray &title, int timeoutMs);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace bench
