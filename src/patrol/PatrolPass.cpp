#include "patrol/PatrolPass.h"

namespace {
// The filters of the patrol's search: visible windows only, without parent or owner.
constexpr qint32 kVisibleOnly = 1;
constexpr qint32 kUnownedOnly = 0;

bool isDesktop(const WindowInfo& w) {
    return w.ClassName == QLatin1String("Progman") && w.Title == QLatin1String("Program Manager");
}

bool isTaskbar(const WindowInfo& w) {
    return w.ClassName == QLatin1String("Shell_TrayWnd") && w.Title.isEmpty();
}
} // namespace

PatrolPass::PatrolPass(WindowSearch& search, const KeywordList& keywords, PatrolHost& host)
    : m_search(search), m_keywords(keywords), m_host(host), m_matcher(m_ownMatcher) {}

PatrolPass::PatrolPass(WindowSearch& search, const KeywordList& keywords, PatrolHost& host,
                       KeywordMatcher& matcher)
    : m_search(search), m_keywords(keywords), m_host(host), m_matcher(matcher) {}

void PatrolPass::run() {
    if (m_keywords.count() < 1)
        return;
    QList<WindowInfo> windows;
    if (m_search.SearchWindows(windows, kVisibleOnly, kUnownedOnly))
        patrol(windows);
}

void PatrolPass::check(const std::vector<WindowHandle>& windows) {
    if (m_keywords.count() < 1 || windows.empty())
        return;
    QList<WindowInfo> found;
    if (m_search.SearchSomeWindows(windows, found, kVisibleOnly, kUnownedOnly))
        patrol(found);
}

void PatrolPass::patrol(const QList<WindowInfo>& windows) {
    // Read afresh at every pass: the list (through its revision), the caption, the pid.
    m_matcher.update(m_keywords);
    const QString caption = m_host.mainCaption();
    const quint32 ownPid = m_host.ownProcessId();

    for (const WindowInfo& w : windows) {
        if (isDesktop(w) || isTaskbar(w) || w.Shell)
            continue;
        if (w.Title == caption)
            continue;
        if (w.ProcessID == ownPid)
            continue;
        if (m_matcher.matches(w.Title))
            m_search.PostClose(w);
    }
}
