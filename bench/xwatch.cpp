#include "xwatch.h"

#include "process.h"

#ifdef TOLLIVANE_BENCH_XCB
#include <cstdlib>
#include <poll.h>
#include <xcb/xcb.h>
#endif

namespace bench {

#ifdef TOLLIVANE_BENCH_XCB

struct MapWatch::State
{
    xcb_connection_t *connection = nullptr;
};

MapWatch::MapWatch() : m_state(std::make_unique<State>())
{
    int screenNumber = 0;
    m_state->connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_state->connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_state->connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    // Without a window manager every top-level window is a child of the root window, and
    // SubstructureNotify reports its mapping.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_state->connection, screens.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_state->connection);
}

MapWatch::~MapWatch()
{
    if (m_state->connection)
        xcb_disconnect(m_state->connection);
}

bool MapWatch::available()
{
    if (!std::getenv("DISPLAY"))
        return false;
    MapWatch probe;
    return !xcb_connection_has_error(probe.m_state->connection);
}

namespace {

QByteArray windowName(xcb_connection_t *c, xcb_window_t window)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply)
        return QByteArray();
    const QByteArray name(static_cast<const char *>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    free(reply);
    return name;
}

} // namespace

std::optional<MapWatch::Mapped> MapWatch::waitForMap(const QByteArray &title, int timeoutMs)
{
    xcb_connection_t *c = m_state->connection;
    if (xcb_connection_has_error(c))
        return std::nullopt;
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1000000;
    while (true) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const qint64 at = nowNs();
            std::optional<Mapped> found;
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (windowName(c, map->window) == title)
                    found = Mapped{map->window, at};
            }
            free(event);
            if (found)
                return found;
        }
        const qint64 left = (deadline - nowNs()) / 1000000;
        if (left <= 0 || xcb_connection_has_error(c))
            return std::nullopt;
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&p, 1, int(left));
    }
}

#else

struct MapWatch::State
{
};

MapWatch::MapWatch() = default;
MapWatch::~MapWatch() = default;

bool MapWatch::available()
{
    return false;
}

std::optional<MapWatch::Mapped> MapWatch::waitForMap(const QByteArray &, int)
{
    return std::nullopt;
}

#endif

} // namespace bench
