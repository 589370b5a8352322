#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

using WindowHandle = std::uint32_t;

// What the window-search module needs of the platform's window manager: top-level windows
// visited once each in the platform's order, the facts the patrol needs about each, and a
// close request that is posted without waiting. A backend may answer the per-window
// queries from a snapshot taken for the enumeration in progress.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Calls proc for every top-level window, in order, until proc returns false.
    virtual void EnumWindows(const std::function<bool(WindowHandle)>& proc) = 0;

    // Class name as the platform's ANSI interface gives it (at most 254 bytes).
    virtual std::u16string GetClassName(WindowHandle window) = 0;
    // The owner (for a transient pop-up) or parent; 0 when there is none.
    virtual WindowHandle GetParent(WindowHandle window) = 0;
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // Title already cut to at most 79 bytes of code page 936.
    virtual std::u16string GetWindowText(WindowHandle window) = 0;
    // Identifier of the process that created the window; 0 when unknown.
    virtual std::uint32_t GetWindowProcessId(WindowHandle window) = 0;
    // True for the platform's desktop and panel windows, which the patrol spares as it
    // spares the desktop and the taskbar.
    virtual bool IsShellWindow(WindowHandle window) = 0;

    // Posts a close request; never waits for the window's program.
    virtual void PostClose(WindowHandle window) = 0;

    // Calls proc for each of the given windows that is a top-level window now, each once, in
    // the platform's order, until proc returns false; the queries proc makes are answered as
    // in EnumWindows. The default enumerates every window and skips the others; a backend
    // that can, looks at the given windows alone, so that checking a few costs only those.
    virtual void EnumSomeWindows(const std::vector<WindowHandle>& windows,
                                 const std::function<bool(WindowHandle)>& proc) {
        const std::unordered_set<WindowHandle> wanted(windows.begin(), windows.end());
        EnumWindows([&](WindowHandle window) { return !wanted.count(window) || proc(window); });
    }

    // Tells the listener, from the event loop of the calling thread, of each top-level window
    // that may have appeared or changed its title, by its handle (a window may be named more
    // than once); kSomeWindow when the backend cannot tell which windows changed. An empty
    // function stops it. The listener may run inside any call of this interface, so it must
    // only take note (schedule a check), never call back. A backend without change
    // notification ignores it: the periodic pass alone then sees the changes.
    using ChangeListener = std::function<void(WindowHandle window)>;
    static constexpr WindowHandle kSomeWindow = 0;
    virtual void setChangeListener(ChangeListener listener) { (void)listener; }
};
