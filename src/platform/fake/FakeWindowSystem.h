#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// Top-level windows for tests: a scripted list, in enumeration order, that answers every
// query as a platform would and records each call, so that a test can tell what was asked
// about which window and which windows were asked to close. A handle that names no window
// (never added, or removed) reads as a vanished window does: no class, no parent, not
// visible, no title, process 0.
class FakeWindowSystem : public WindowSystem {
public:
    struct Window {
        // The facts in this order, any trailing ones left at their defaults.
        Window(WindowHandle handle = 0, std::u16string className = {}, WindowHandle owner = 0,
               bool visible = true, std::u16string title = {}, std::uint32_t pid = 0,
               bool shell = false)
            : handle(handle), className(std::move(className)), owner(owner), visible(visible),
              title(std::move(title)), pid(pid), shell(shell) {}

        WindowHandle handle = 0; // 0: addWindow gives the next free handle
        std::u16string className;
        WindowHandle owner = 0;
        bool visible = true;
        std::u16string title; // given to the caller as it stands, however long
        std::uint32_t pid = 0;
        bool shell = false; // the platform's desktop or a panel
        // An obedient window: a close request removes it at once.
        bool closesOnRequest = false;
    };
    enum class Query { ClassName, Parent, Visible, Title, ProcessId, Shell };
    struct Call {
        Query query;
        WindowHandle window;
    };

    // Adds the window at the end of the enumeration order and returns its handle. A handle
    // that is already there is replaced in its place.
    WindowHandle addWindow(Window window);
    bool removeWindow(WindowHandle handle);
    void clearWindows();
    // The window's facts, to change them; nullptr for a handle that names no window.
    Window* window(WindowHandle handle);
    const Window* window(WindowHandle handle) const;
    bool hasWindow(WindowHandle handle) const { return m_windows.contains(handle); }
    // Handles in enumeration order.
    const std::vector<WindowHandle>& handles() const { return m_order; }

    // Runs inside EnumWindows after each window's callback, with that window's handle, so a
    // test can change the desktop in the middle of an enumeration. Windows added then are
    // not visited by that enumeration; windows removed then are still visited and read as
    // vanished.
    void setVisitHook(std::function<void(WindowHandle)> hook) { m_visitHook = std::move(hook); }

    void EnumWindows(const std::function<bool(WindowHandle)>& proc) override;
    void EnumSomeWindows(const std::vector<WindowHandle>& windows,
                         const std::function<bool(WindowHandle)>& proc) override;
    void setChangeListener(ChangeListener listener) override { m_listener = std::move(listener); }
    // Tells the listener that the window appeared or changed, as a platform would.
    void notifyChanged(WindowHandle window);
    bool listening() const { return static_cast<bool>(m_listener); }
    std::u16string GetClassName(WindowHandle window) override;
    WindowHandle GetParent(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::u16string GetWindowText(WindowHandle window) override;
    std::uint32_t GetWindowProcessId(WindowHandle window) override;
    bool IsShellWindow(WindowHandle window) override;
    void PostClose(WindowHandle window) override;

    // Whole enumerations, and enumerations of given windows with the windows they named.
    int enumerationCount() const { return m_enumerations; }
    int partialEnumerationCount() const { return static_cast<int>(m_partials.size()); }
    const std::vector<std::vector<WindowHandle>>& partialEnumerations() const { return m_partials; }
    // Every close request, in the order posted (vanished windows included).
    const std::vector<WindowHandle>& closeRequests() const { return m_closeRequests; }
    int closeRequestCount(WindowHandle window) const;
    // Every per-window query, in order; recording can be turned off for benchmarks.
    const std::vector<Call>& queries() const { return m_queries; }
    int queryCount(Query query, WindowHandle window) const;
    int queryCount(Query query) const;
    void setRecordQueries(bool on) { m_recordQueries = on; }
    // Forgets the enumeration count, the close requests and the queries.
    void clearRecords();

private:
    void record(Query query, WindowHandle window);

    std::unordered_map<WindowHandle, Window> m_windows;
    std::vector<WindowHandle> m_order;
    WindowHandle m_nextHandle = 0x1000;
    std::function<void(WindowHandle)> m_visitHook;

    ChangeListener m_listener;
    int m_enumerations = 0;
    std::vector<std::vector<WindowHandle>> m_partials;
    std::vector<WindowHandle> m_closeRequests;
    std::vector<Call> m_queries;
    bool m_recordQueries = true;
};
