#pragma once

#include "common/Codec936.h"
#include "patrol/WindowInfo.h"
#include "platform/WindowSystem.h"

#include <cstdint>
#include <functional>
#include <vector>

// The window-search module. Its state (the filter values and the search buffer) lives in
// this object; one search runs at a time.
class WindowSearch {
public:
    // The code page keeps each record within the limits of the platform's ANSI buffers.
    WindowSearch(WindowSystem& windows, const Codec936& codec);

    // Replaces result with the windows that pass the filters, in enumeration order, and
    // returns true; returns false and leaves result as it was when none passes.
    bool SearchWindows(std::vector<WindowInfo>& result, std::int32_t VisibleMode,
                       std::int32_t ParentMode);
    // The same search over the given windows alone (those that are still top-level windows).
    bool SearchSomeWindows(const std::vector<WindowHandle>& windows,
                           std::vector<WindowInfo>& result, std::int32_t VisibleMode,
                           std::int32_t ParentMode);
    // The enumeration callback; always returns true so every window is visited.
    bool SearchWindowsProc(WindowHandle hWnd, std::intptr_t lParam);
    // Posts a close request to the window; waits for nothing.
    void PostClose(const WindowInfo& window);

    WindowSystem& windows() { return m_windows; }

private:
    using Enumeration = std::function<void(const std::function<bool(WindowHandle)>&)>;
    bool search(const Enumeration& enumerate, std::vector<WindowInfo>& result,
                std::int32_t VisibleMode, std::int32_t ParentMode);

    WindowSystem& m_windows;
    const Codec936& m_codec;
    std::int32_t m_visibleMode = 0;
    std::int32_t m_parentMode = 0;
    std::vector<WindowInfo> m_buffer; // element 0 is a placeholder
};
