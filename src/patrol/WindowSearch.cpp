#include "patrol/WindowSearch.h"

#include "platform/qt/QtCodec936.h"

namespace {
// What the platform's ANSI buffers hold: 80 bytes for the title, 255 for the class name,
// each with its terminating NUL.
constexpr qsizetype kTitleBytes = 79;
constexpr qsizetype kClassBytes = 254;

// The text as a fixed ANSI buffer would hold it: cut at the first NUL and to maxBytes
// bytes of code page 936. A backend already delivers it so; this keeps the record's limits
// whatever the backend, and costs nothing for text that is short enough.
QString asAnsiBuffer(QString text, qsizetype maxBytes) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    // No code unit takes more than two bytes in code page 936.
    qsizetype bound = 0;
    for (QChar c : std::as_const(text))
        bound += c.unicode() < 0x80 ? 1 : 2;
    if (bound <= maxBytes)
        return text;
    return QtCodec936::cutToBytes(text, maxBytes);
}
} // namespace

WindowSearch::WindowSearch(WindowSystem& windows) : m_windows(windows) {}

bool WindowSearch::SearchWindows(QList<WindowInfo>& result, qint32 VisibleMode, qint32 ParentMode) {
    return search([this](const auto& proc) { m_windows.EnumWindows(proc); }, result, VisibleMode,
                  ParentMode);
}

bool WindowSearch::SearchSomeWindows(const std::vector<WindowHandle>& windows,
                                     QList<WindowInfo>& result, qint32 VisibleMode,
                                     qint32 ParentMode) {
    return search([&](const auto& proc) { m_windows.EnumSomeWindows(windows, proc); }, result,
                  VisibleMode, ParentMode);
}

bool WindowSearch::search(const Enumeration& enumerate, QList<WindowInfo>& result,
                          qint32 VisibleMode, qint32 ParentMode) {
    m_visibleMode = VisibleMode;
    m_parentMode = ParentMode;
    m_buffer.clear();
    m_buffer.append(WindowInfo{}); // the placeholder, never filled
    enumerate([this](WindowHandle hWnd) { return SearchWindowsProc(hWnd, 0); });
    if (m_buffer.size() <= 1)
        return false;
    result = m_buffer.mid(1);
    return true;
}

bool WindowSearch::SearchWindowsProc(WindowHandle hWnd, qintptr lParam) {
    Q_UNUSED(lParam);
    const QString className = asAnsiBuffer(m_windows.GetClassName(hWnd), kClassBytes);

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
    info.Title = asAnsiBuffer(m_windows.GetWindowText(hWnd), kTitleBytes);
    info.ProcessID = m_windows.GetWindowProcessId(hWnd);
    info.Parent = parent;
    info.ClassName = className;
    info.Visible = visible ? -1 : 0;
    info.Shell = m_windows.IsShellWindow(hWnd);
    m_buffer.append(info);
    return true;
}

void WindowSearch::PostClose(const WindowInfo& window) {
    m_windows.PostClose(window.hWnd);
}
