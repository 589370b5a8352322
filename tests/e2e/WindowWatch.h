#pragma once

#include <xcb/xcb.h>

#include <optional>
#include <set>
#include <string>

// Times what the window manager does with windows, by the X server's own clock: a probe
// that polls can miss a window that goes within milliseconds, and its own delays would
// count. Events come in the order the server made them, so nothing is missed once the
// watch has begun: a window is taken on when the manager has reparented it and then
// changed its client list, and has gone at the first client list change that leaves it
// out.
class WindowWatch {
public:
    explicit WindowWatch(const std::string& display);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    bool ok() const { return m_connection != nullptr; }

    struct Managed {
        xcb_window_t window = 0;
        uint32_t time = 0; // server milliseconds
    };
    // The next window created after the watch began that the manager takes on.
    std::optional<Managed> nextManaged(int timeoutMs);
    // Also reports the title changes of a window that already exists.
    void watchTitle(xcb_window_t window);
    // The server time of the window's next title change.
    std::optional<uint32_t> nextTitleChange(xcb_window_t window, int timeoutMs);
    // True when a window created since the watch began is already gone again, before the
    // manager listed it: a close faster than the manager's own work.
    bool createdWindowVanished();
    // The server time at which the manager's client list first leaves the window out.
    std::optional<uint32_t> nextGone(xcb_window_t window, int timeoutMs);

private:
    // The next event, or null at the deadline; the caller frees it.
    xcb_generic_event_t* next(int remainingMs);
    bool inClientList(xcb_window_t window);
    xcb_atom_t atom(const char* name);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_clientList = 0;
    xcb_atom_t m_netWmName = 0;
    std::set<xcb_window_t> m_created;
    std::set<xcb_window_t> m_reparented;
};
