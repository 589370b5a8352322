#pragma once

#include "platform/WindowSystem.h"
#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Snapshot.h"
#include "platform/x11/X11Text.h"

#include <QByteArray>

#include <xcb/xcb.h>

#include <functional>
#include <memory>

// The window system of an X11 display, on a connection of its own.
//
// EnumWindows takes one snapshot of all top-level windows and their facts (see
// X11Snapshot) and the getters answer from it while the enumeration runs; outside one they
// ask the server directly. PostClose never waits for the window's program: WM_DELETE_WINDOW
// when the window takes it (its WM_PROTOCOLS read afresh), else _NET_CLOSE_WINDOW to the
// root when a manager runs, else the window's client is killed.
//
// Events reach the backend only through processEvents(), which every call runs first; the
// errors of posted requests arrive there and are dropped. Reacting to window changes later
// means selecting them, watching fileDescriptor() and handling them in processEvents().
class X11WindowSystem : public WindowSystem {
public:
    // nullptr when the display cannot be opened. An empty name means $DISPLAY.
    static std::unique_ptr<X11WindowSystem> open(const QByteArray& displayName = {});
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    void EnumWindows(const std::function<bool(WindowHandle)>& proc) override;
    QString GetClassName(WindowHandle window) override;
    WindowHandle GetParent(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    QString GetWindowText(WindowHandle window) override;
    quint32 GetWindowProcessId(WindowHandle window) override;
    bool IsShellWindow(WindowHandle window) override;
    void PostClose(WindowHandle window) override;

    // Runs once when the connection to the display is lost. The default prints one line
    // to standard error and ends the process at once; after a handler that returns, every
    // call does nothing and enumerates nothing.
    void setConnectionLostHandler(std::function<void()> handler);
    bool connectionLost() const { return m_lost; }

    // Reads and drops whatever events and errors have arrived.
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
};
