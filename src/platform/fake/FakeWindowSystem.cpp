#include "platform/fake/FakeWindowSystem.h"

#include <algorithm>
#include <unordered_set>

WindowHandle FakeWindowSystem::addWindow(Window window) {
    if (window.handle == 0) {
        while (m_windows.contains(m_nextHandle))
            ++m_nextHandle;
        window.handle = m_nextHandle++;
    }
    if (!m_windows.contains(window.handle))
        m_order.push_back(window.handle);
    m_windows.insert_or_assign(window.handle, window);
    return window.handle;
}

bool FakeWindowSystem::removeWindow(WindowHandle handle) {
    if (m_windows.erase(handle) == 0)
        return false;
    m_order.erase(std::find(m_order.begin(), m_order.end(), handle));
    return true;
}

void FakeWindowSystem::clearWindows() {
    m_windows.clear();
    m_order.clear();
}

FakeWindowSystem::Window* FakeWindowSystem::window(WindowHandle handle) {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : &it->second;
}

const FakeWindowSystem::Window* FakeWindowSystem::window(WindowHandle handle) const {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : &it->second;
}

void FakeWindowSystem::EnumWindows(const std::function<bool(WindowHandle)>& proc) {
    ++m_enumerations;
    const std::vector<WindowHandle> snapshot = m_order;
    for (WindowHandle h : snapshot) {
        const bool goOn = proc(h);
        if (m_visitHook)
            m_visitHook(h);
        if (!goOn)
            break;
    }
}

void FakeWindowSystem::EnumSomeWindows(const std::vector<WindowHandle>& windows,
                                       const std::function<bool(WindowHandle)>& proc) {
    m_partials.push_back(windows);
    // Those of the given windows that are there, each once, in enumeration order.
    const std::unordered_set<WindowHandle> wanted(windows.begin(), windows.end());
    const std::vector<WindowHandle> snapshot = m_order;
    for (WindowHandle h : snapshot) {
        if (!wanted.count(h))
            continue;
        const bool goOn = proc(h);
        if (m_visitHook)
            m_visitHook(h);
        if (!goOn)
            break;
    }
}

void FakeWindowSystem::notifyChanged(WindowHandle window) {
    if (m_listener) {
        // A copy, so that a listener that replaces itself is not destroyed while it runs.
        const ChangeListener listener = m_listener;
        listener(window);
    }
}

std::u16string FakeWindowSystem::GetClassName(WindowHandle handle) {
    record(Query::ClassName, handle);
    const Window* w = window(handle);
    return w ? w->className : std::u16string();
}

WindowHandle FakeWindowSystem::GetParent(WindowHandle handle) {
    record(Query::Parent, handle);
    const Window* w = window(handle);
    return w ? w->owner : 0;
}

bool FakeWindowSystem::IsWindowVisible(WindowHandle handle) {
    record(Query::Visible, handle);
    const Window* w = window(handle);
    return w && w->visible;
}

std::u16string FakeWindowSystem::GetWindowText(WindowHandle handle) {
    record(Query::Title, handle);
    const Window* w = window(handle);
    return w ? w->title : std::u16string();
}

std::uint32_t FakeWindowSystem::GetWindowProcessId(WindowHandle handle) {
    record(Query::ProcessId, handle);
    const Window* w = window(handle);
    return w ? w->pid : 0;
}

bool FakeWindowSystem::IsShellWindow(WindowHandle handle) {
    record(Query::Shell, handle);
    const Window* w = window(handle);
    return w && w->shell;
}

void FakeWindowSystem::PostClose(WindowHandle handle) {
    m_closeRequests.push_back(handle);
    const Window* w = window(handle);
    if (w && w->closesOnRequest)
        removeWindow(handle);
}

int FakeWindowSystem::closeRequestCount(WindowHandle handle) const {
    return static_cast<int>(std::count(m_closeRequests.begin(), m_closeRequests.end(), handle));
}

int FakeWindowSystem::queryCount(Query query, WindowHandle handle) const {
    return static_cast<int>(std::count_if(m_queries.begin(), m_queries.end(), [&](const Call& c) {
        return c.query == query && c.window == handle;
    }));
}

int FakeWindowSystem::queryCount(Query query) const {
    return static_cast<int>(std::count_if(m_queries.begin(), m_queries.end(),
                                          [&](const Call& c) { return c.query == query; }));
}

void FakeWindowSystem::clearRecords() {
    m_enumerations = 0;
    m_partials.clear();
    m_closeRequests.clear();
    m_queries.clear();
}

void FakeWindowSystem::record(Query query, WindowHandle handle) {
    if (m_recordQueries)
        m_queries.push_back({query, handle});
}
