#pragma once

#include "patrol/WindowInfo.h"
#include "platform/WindowSystem.h"

#include <QList>

#include <functional>
#include <vector>

// The window-search module. Its state (the filter values and the search buffer) lives in
// this object; one search runs at a time.
class WindowSearch {
public:
    explicit WindowSearch(WindowSystem& windows);

    // Replaces result with the windows that pass the filters, in enumeration order, and
    // returns true; returns false and leaves result as it was when none passes.
    bool SearchWindows(QList<WindowInfo>& result, qint32 VisibleMode, qint32 ParentMode);
    // The same search over the given windows alone (those that are still top-level windows).
    bool SearchSomeWindows(const std::vector<WindowHandle>& windows, QList<WindowInfo>& result,
                           qint32 VisibleMode, qint32 ParentMode);
    // The enumeration callback; always returns true so every window is visited.
    bool SearchWindowsProc(WindowHandle hWnd, qintptr lParam);
    // Posts a close request to the window; waits for nothing.
    void PostClose(const WindowInfo& window);

    WindowSystem& windows() { return m_windows; }

private:
    using Enumeration = std::function<void(const std::function<bool(WindowHandle)>&)>;
    bool search(const Enumeration& enumerate, QList<WindowInfo>& result, qint32 VisibleMode,
                qint32 ParentMode);

    WindowSystem& m_windows;
    qint32 m_visibleMode = 0;
    qint32 m_parentMode = 0;
    QList<WindowInfo> m_buffer; // element 0 is a placeholder
};
