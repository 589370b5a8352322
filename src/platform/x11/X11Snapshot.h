#pragma once

#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Text.h"
#include "platform/x11/X11WindowFacts.h"

#include <QHash>

#include <xcb/xcb.h>

#include <optional>
#include <vector>

// The top-level windows of a display and their facts, read in one go: every request of a
// round is sent before any reply is awaited, so a snapshot costs a small fixed number of
// round trips whatever the number of windows (two with an EWMH manager, at most five
// without one, and one more when some window lacks _NET_WM_NAME or a process the server
// can name). A window that vanishes meanwhile, or answers with errors, is read as
// vanished; a property of the wrong type counts as absent. Nothing is printed.
class X11Snapshot {
public:
    // What a snapshot reads from: the connection, its screen's root, the interned atoms,
    // the text converters and whether the server answers X-Resource client queries.
    struct Link {
        xcb_connection_t* connection = nullptr;
        xcb_window_t root = XCB_WINDOW_NONE;
        const X11Atoms* atoms = nullptr;
        X11Text* text = nullptr;
        bool resourceExtension = false;
        // The bits of an id that a client chooses; the others name the client.
        uint32_t resourceIdMask = 0;
    };

    X11Snapshot() = default;

    // The top-level windows, front to back: the manager's clients when an EWMH manager
    // runs, else the root's children (each replaced by the client found beneath it by
    // WM_STATE when it is a frame). Each window once.
    static X11Snapshot take(const Link& link);
    // The facts of the given windows alone (the manager check and WM_PROTOCOLS included),
    // in that order. Whether a window's owner is a shown top-level window is asked in the
    // round of the manager check.
    static X11Snapshot of(const Link& link, const std::vector<xcb_window_t>& windows);
    // Those of the given windows that an enumeration would list now, with the records it
    // would give them and in its order (and whether each takes WM_DELETE_WINDOW), read in
    // two rounds whatever their number; nullopt
    // when that takes the whole search (no manager runs and a given window is a frame or
    // may be a client beneath one).
    static std::optional<X11Snapshot> some(const Link& link,
                                           const std::vector<xcb_window_t>& windows);
    // The manager's clients as its root lists name them now, front to back; one round trip.
    static std::vector<xcb_window_t> clientList(const Link& link);
    // Whether the window lists WM_DELETE_WINDOW in its WM_PROTOCOLS; nullopt when it is gone.
    static std::optional<bool> acceptsDelete(const Link& link, xcb_window_t window);

    bool managerRunning() const { return m_managerRunning; }
    // Whether the windows' acceptsDelete was read (of() and some() read it; take() does
    // not, to spare a whole enumeration).
    bool protocolsRead() const { return m_protocolsRead; }
    // The clients the manager's root lists named, front to back, whether or not it runs.
    const std::vector<xcb_window_t>& clients() const { return m_clients; }
    const std::vector<X11WindowFacts>& windows() const { return m_windows; }
    // nullptr when the window is not part of the snapshot.
    const X11WindowFacts* find(WindowHandle window) const;

private:
    void index();
    // WM_TRANSIENT_FOR makes an owner only of another top-level window of the snapshot that
    // is shown: a parentless dialog names its program's hidden leader window, and a window
    // may name itself, the root or a window that is gone.
    void keepShownOwners();

    bool m_managerRunning = false;
    bool m_protocolsRead = false;
    std::vector<X11WindowFacts> m_windows;
    std::vector<xcb_window_t> m_clients;
    QHash<WindowHandle, qsizetype> m_index;
};
