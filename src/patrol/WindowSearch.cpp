#include "patrol/WindowSearch.h"

namespace {
// What the platform's ANSI buffers hold: 80 bytes for the title, 255 for the class name,
// each with its terminating NUL.
constexpr std::size_t kTitleBytes = 79;
constexpr std::size_t kClassBytes = 254;

// The text as a fixed ANSI buffer would hold it: cut at the first NUL and to maxBytes
// bytes of code page 936. A backend already delivers it so; this keeps the record's limits
// whatever the backend, and costs nothing for text that is short enough.
std::u16string asAnsiBuffer(const Codec936& codec, std::u16string text, std::size_t maxBytes) {
    const std::size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos)
        text.resize(nul);
    // No code unit takes more than two bytes in code page 936.
    std::size_t bound = 0;
    for (const char16_t c : text)
        bound += c < 0x80 ? 1 : 2;
    if (bound <= maxBytes)
        return text;
    return codec.cutToBytes(text, maxBytes);
}
} // namespace

WindowSearch::WindowSearch(WindowSystem& windows, const Codec936& codec)
    : m_windows(windows), m_codec(codec) {}

bool WindowSearch::SearchWindows(std::vector<WindowInfo>& result, std::int32_t VisibleMode,
                                 std::int32_t ParentMode) {
    return search([this](const auto& proc) { m_windows.EnumWindows(proc); }, result, VisibleMode,
                  ParentMode);
}

bool WindowSearch::SearchSomeWindows(const std::vector<WindowHandle>& windows,
                                     std::vector<WindowInfo>& result, std::int32_t VisibleMode,
                                     std::int32_t ParentMode) {
    return search([&](const auto& proc) { m_windows.EnumSomeWindows(windows, proc); }, result,
                  VisibleMode, ParentMode);
}

bool WindowSearch::search(const Enumeration& enumerate, std::vector<WindowInfo>& result,
                          std::int32_t VisibleMode, std::int32_t ParentMode) {
    m_visibleMode = VisibleMode;
    m_parentMode = ParentMode;
    m_buffer.clear();
    m_buffer.push_back(WindowInfo{}); // the placeholder, never filled
    enumerate([this](WindowHandle hWnd) { return SearchWindowsProc(hWnd, 0); });
    if (m_buffer.size() <= 1)
        return false;
    result.assign(m_buffer.begin() + 1, m_buffer.end());
    return true;
}

bool WindowSearch::SearchWindowsProc(WindowHandle hWnd, std::intptr_t lParam) {
    (void)lParam;
    const std::u16string className =
        asAnsiBuffer(m_codec, m_windows.GetClassName(hWnd), kClassBytes);

    const WindowHandle parent = m_windows.GetParent(hWnd);
    if (m_parentMode == 0 && parent != 0)
        return true;
    if (m_parentMode == 1 && parent == 0)
        return true;

    const bool visible = m_windows.IsWindowVisible(hWnd);
    if (m_visibleMode == 1 && !visible)
        return true;
    if (m_visibleMode == 2 && visible)
        return true;

    WindowInfo info;
    info.hWnd = hWnd;
    info.Title = asAnsiBuffer(m_codec, m_windows.GetWindowText(hWnd), kTitleBytes);
    info.ProcessID = m_windows.GetWindowProcessId(hWnd);
    info.Parent = parent;
    info.ClassName = className;
    info.Visible = visible ? -1 : 0;
    info.Shell = m_windows.IsShellWindow(hWnd);
    m_buffer.push_back(std::move(info));
    return true;
}

void WindowSearch::PostClose(const WindowInfo& window) {
    m_windows.PostClose(window.hWnd);
}
