#include "patrol/PatrolPass.h"

namespace {
// The filters of the patrol's search: visible windows only, without parent or owner.
constexpr std::int32_t kVisibleOnly = 1;
constexpr std::int32_t kUnownedOnly = 0;

bool isDesktop(const WindowInfo& w) {
    return w.ClassName == u"Progman" && w.Title == u"Program Manager";
}

bool isTaskbar(const WindowInfo& w) {
    return w.ClassName == u"Shell_TrayWnd" && w.Title.empty();
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
    std::vector<WindowInfo> windows;
    if (m_search.SearchWindows(windows, kVisibleOnly, kUnownedOnly))
        patrol(windows);
}

void PatrolPass::check(const std::vector<WindowHandle>& windows) {
    if (m_keywords.count() < 1 || windows.empty())
        return;
    std::vector<WindowInfo> found;
    if (m_search.SearchSomeWindows(windows, found, kVisibleOnly, kUnownedOnly))
        patrol(found);
}

void PatrolPass::patrol(const std::vector<WindowInfo>& windows) {
    // Read afresh at every pass: the list (through its revision), the caption, the pid.
    m_matcher.update(m_keywords);
    const std::u16string caption = m_host.mainCaption();
    const std::uint32_t ownPid = m_host.ownProcessId();

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
