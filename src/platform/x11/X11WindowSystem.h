#pragma once

#include "platform/WindowSystem.h"
#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Snapshot.h"
#include "platform/x11/X11Text.h"

#include <QByteArray>
#include <QSet>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <vector>

// The window system of an X11 display, on a connection of its own.
//
// EnumWindows takes one snapshot of all top-level windows and their facts (see
// X11Snapshot) and the getters answer from it while the enumeration runs; outside one they
// ask the server directly. PostClose never waits for the window's program: WM_DELETE_WINDOW
// when the window takes it (its WM_PROTOCOLS read afresh, or by the EnumSomeWindows in
// progress), else _NET_CLOSE_WINDOW to the
// root when a manager runs, else the window's client is killed.
//
// Events reach the backend only through processEvents(), which every call runs first and
// last; the errors of posted requests arrive there and are dropped. With a change listener
// the backend also hears of new top-level windows and of title changes (_NET_WM_NAME,
// WM_NAME), and names the window each time. When a manager runs, the top-level windows are
// its clients: a change of _NET_CLIENT_LIST on the root names those not in the list as it
// was last known (read again then, in one round trip), and a change of a client's WM_STATE
// names it, since it may have been listed before it was shown. Without one they are the root's
// children, named on MapNotify and ReparentNotify, and the windows beneath frames named
// when WM_STATE is set on them. A title change names a window that is top-level as far as
// the backend knows; one that becomes so later is named then. Every window made on the root
// since it listens is watched from its CreateNotify, so that no title change goes unheard.
// It reads them as they arrive, through a socket notifier in the Qt event loop of the
// thread that set the listener.
class X11WindowSystem : public WindowSystem {
public:
    // nullptr when the display cannot be opened. An empty name means $DISPLAY.
    static std::unique_ptr<X11WindowSystem> open(const QByteArray& displayName = {});
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    void EnumWindows(const std::function<bool(WindowHandle)>& proc) override;
    std::u16string GetClassName(WindowHandle window) override;
    WindowHandle GetParent(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::u16string GetWindowText(WindowHandle window) override;
    std::uint32_t GetWindowProcessId(WindowHandle window) override;
    bool IsShellWindow(WindowHandle window) override;
    void PostClose(WindowHandle window) override;
    // Reads the given windows alone (two round trips), unless no manager runs and one of them
    // is a frame or a window beneath one: that takes the search of a whole enumeration.
    void EnumSomeWindows(const std::vector<WindowHandle>& windows,
                         const std::function<bool(WindowHandle)>& proc) override;
    // From processEvents(), the listener hears once of each window that a batch of events
    // tells has appeared or changed its title since the latest enumeration began (an
    // enumeration its callback ended early counts as seeing all), and kSomeWindow once when
    // the batch tells of a change it cannot pin to a window (a manager came or went).
    // Needs an event loop in this thread.
    void setChangeListener(ChangeListener listener) override;

    // Runs once when the connection to the display is lost. The default prints one line
    // to standard error and ends the process at once; after a handler that returns, every
    // call does nothing and enumerates nothing.
    void setConnectionLostHandler(std::function<void()> handler);
    // The one line the default handler prints: the display is gone and the program ends.
    void reportLostConnection() const;
    bool connectionLost() const { return m_lost; }

    // Reads whatever events and errors have arrived, tells the change listener of the
    // changes among them and drops the rest.
    void processEvents();
    int fileDescriptor() const;

    const QByteArray& displayName() const { return m_displayName; }
    WindowHandle rootWindow() const { return m_link.root; }
    // Whether the server names the process of a window's client (X-Resource 1.2).
    bool hasResourceExtension() const { return m_link.resourceExtension; }

private:
    X11WindowSystem(xcb_connection_t* connection, xcb_window_t root, QByteArray displayName);
    // The facts of a window: from the enumeration in progress, else asked for now (and
    // kept until the next question).
    const X11WindowFacts& facts(WindowHandle window);
    void checkConnection();
    void postCloseRequest(WindowHandle window);
    void startListening();
    void stopListening();
    // Takes note of the windows the event tells of; watches new windows.
    void noteEvent(const xcb_generic_event_t& event);
    void notePropertyChange(const xcb_property_notify_event_t& event);
    // A window that may have appeared or changed its title, for the listener.
    void heard(WindowHandle window);
    void tellListener();
    // The windows a change of the manager's client list adds to the list last known.
    void readClientList();
    void knowTopLevel(xcb_window_t window);
    void noteGone(xcb_window_t window);
    void knowSnapshot(const X11Snapshot& snapshot);
    // Calls proc for the windows of the snapshot, answering its questions from it.
    void visit(const std::shared_ptr<const X11Snapshot>& snapshot,
               const std::function<bool(WindowHandle)>& proc);
    // Whether the server sent the event after the latest enumeration had begun.
    bool afterCover(const xcb_generic_event_t& event) const;
    // Hears of the title changes of the windows of the snapshot not yet watched; the
    // requests go out with the next processEvents().
    void watchWindows(const X11Snapshot& snapshot);
    void watch(xcb_window_t window);
    bool managerRunning() const { return m_last && m_last->managerRunning(); }

    xcb_connection_t* m_connection;
    QByteArray m_displayName;
    X11Atoms m_atoms;
    X11Text m_text;
    X11Snapshot::Link m_link;
    std::shared_ptr<const X11Snapshot> m_current; // the enumeration in progress
    std::shared_ptr<const X11Snapshot> m_last;    // the latest one, for the close requests
    X11WindowFacts m_asked;                       // the latest window asked for directly
    std::function<void()> m_onLost;
    bool m_lost = false;

    ChangeListener m_onChange;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QSet<xcb_window_t> m_watched; // windows whose property changes are selected
    bool m_watchUnflushed = false;
    // The top-level windows as far as the events since the latest enumeration tell, and the
    // manager's client list as last read.
    QSet<xcb_window_t> m_topLevels;
    QSet<xcb_window_t> m_clients;
    // Root children seen destroyed while listening (until made again); never reported or
    // read.
    QSet<xcb_window_t> m_gone;
    bool m_clientListChanged = false;
    // What the events read by this processEvents() call tell of, each window once.
    std::vector<WindowHandle> m_heard;
    QSet<WindowHandle> m_heardSet;
    bool m_heardSome = false;
    // Events the server sent before this request was processed happened before the latest
    // enumeration read anything, so that enumeration has seen what they tell of.
    uint32_t m_coverSequence = 0;
    bool m_covered = false;
};
