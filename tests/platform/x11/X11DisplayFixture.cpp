#include "platform/x11/X11DisplayFixture.h"

#include "platform/qt/QtText.h"

#include <chrono>
#include <set>
#include <thread>

void X11DisplayFixture::SetUp() {
    server = std::make_unique<XvfbServer>(withManager());
    ASSERT_TRUE(server->ok());
    maker = std::make_unique<WindowMaker>();
    ASSERT_TRUE(maker->ok());
    windows = X11WindowSystem::open(QByteArray::fromStdString(server->display()));
    ASSERT_TRUE(windows);
    windows->setConnectionLostHandler([this] { ++lostCount; });
}

void X11DisplayFixture::TearDown() {
    EXPECT_EQ(lostCount, 0);
    windows.reset();
    maker.reset();
    server.reset();
}

std::vector<X11DisplayFixture::WindowRecord> X11DisplayFixture::enumerate() {
    std::vector<WindowRecord> out;
    windows->EnumWindows([&](WindowHandle w) {
        out.push_back(direct(w));
        return true;
    });
    return out;
}

std::vector<X11DisplayFixture::WindowRecord>
X11DisplayFixture::enumerateSome(const std::vector<WindowHandle>& handles) {
    std::vector<WindowRecord> out;
    windows->EnumSomeWindows(handles, [&](WindowHandle w) {
        out.push_back(direct(w));
        return true;
    });
    return out;
}

std::vector<X11DisplayFixture::WindowRecord>
X11DisplayFixture::enumerateOnly(const std::vector<WindowHandle>& handles) {
    const std::set<WindowHandle> wanted(handles.begin(), handles.end());
    std::vector<WindowRecord> out;
    for (const WindowRecord& r : enumerate())
        if (wanted.count(r.hWnd))
            out.push_back(r);
    return out;
}

std::optional<X11DisplayFixture::WindowRecord> X11DisplayFixture::find(WindowHandle window) {
    for (const WindowRecord& r : enumerate())
        if (r.hWnd == window)
            return r;
    return std::nullopt;
}

X11DisplayFixture::WindowRecord X11DisplayFixture::direct(WindowHandle w) {
    X11WindowSystem& ws = *windows;
    // Text as QString, so that the tests compare it with Qt's own.
    return {w,
            QtText::toQ(ws.GetClassName(w)),
            ws.GetParent(w),
            ws.IsWindowVisible(w),
            QtText::toQ(ws.GetWindowText(w)),
            ws.GetWindowProcessId(w),
            ws.IsShellWindow(w)};
}

void X11DisplayFixture::roundTrip() {
    windows->EnumWindows([](WindowHandle) { return false; });
}

bool X11DisplayFixture::waitFor(const std::function<bool(const std::vector<WindowRecord>&)>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred(enumerate()))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string managerName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "openbox" : "bare";
}
