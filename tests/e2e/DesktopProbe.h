#pragma once

#include <QRect>
#include <QString>

#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <vector>

// The desktop as a person sees it, read straight from the X server with a connection of
// its own: the windows the window manager shows, their titles, their programs and where
// they are. It shares no code with the program under test, so that it judges the program
// from outside.
class DesktopProbe {
public:
    struct Client {
        xcb_window_t window = 0;
        // _NET_WM_NAME, else WM_NAME; a COMPOUND_TEXT name keeps only its ASCII bytes.
        QString title;
        // _NET_WM_PID; 0 when the program did not set it.
        quint32 pid = 0;
        // WM_STATE Normal: on screen, not minimised.
        bool shown = false;
    };

    explicit DesktopProbe(const std::string& display);
    ~DesktopProbe();
    DesktopProbe(const DesktopProbe&) = delete;
    DesktopProbe& operator=(const DesktopProbe&) = delete;

    bool ok() const { return m_connection != nullptr; }

    // The windows the window manager manages, in its client list order.
    std::vector<Client> clients();
    // The shown window with exactly this title.
    std::optional<Client> find(const QString& title);
    // The shown windows of one process.
    std::vector<Client> shownOf(quint32 pid);
    // True while the window is still managed (a closed window leaves the client list).
    bool managed(xcb_window_t window);
    QString titleOf(xcb_window_t window);

    // The window's client area on the root, and the same with the window manager's frame.
    QRect clientArea(xcb_window_t window);
    QRect frameArea(xcb_window_t window);

    // The _NET_WM_ICON sizes the window carries, as "WxH".
    std::vector<std::string> iconSizes(xcb_window_t window);

private:
    xcb_atom_t atom(const char* name);
    std::vector<uint32_t> cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                    uint32_t maxLength = 1024);
    QByteArray bytes(xcb_window_t window, xcb_atom_t property, xcb_atom_t* type);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_clientList = 0;
    xcb_atom_t m_netWmName = 0;
    xcb_atom_t m_netWmPid = 0;
    xcb_atom_t m_wmState = 0;
    xcb_atom_t m_utf8 = 0;
    xcb_atom_t m_frameExtents = 0;
    xcb_atom_t m_netWmIcon = 0;
};
