#pragma once

#include "platform/x11/WindowMaker.h"
#include "platform/x11/X11WindowSystem.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A private display, bare or with openbox (the test parameter), a window maker on it and
// the backend under test.
class X11DisplayFixture : public ::testing::TestWithParam<bool> {
public:
    // What the window-search module reads of one window.
    struct WindowRecord {
        WindowHandle hWnd = 0;
        QString className;
        WindowHandle parent = 0;
        bool visible = false;
        QString title;
        quint32 processId = 0;
        bool shell = false;

        bool operator==(const WindowRecord&) const = default;
    };

protected:
    void SetUp() override;
    void TearDown() override;

    bool withManager() const { return GetParam(); }

    // Every window of one enumeration, read as the patrol reads it, in order.
    std::vector<WindowRecord> enumerate();
    std::optional<WindowRecord> find(WindowHandle window);
    // The records of an enumeration of the given windows alone, in its order.
    std::vector<WindowRecord> enumerateSome(const std::vector<WindowHandle>& handles);
    // Those of a whole enumeration's records that are of the given windows, in its order.
    std::vector<WindowRecord> enumerateOnly(const std::vector<WindowHandle>& handles);
    // The same facts asked for outside an enumeration.
    WindowRecord direct(WindowHandle window);
    // A round trip on the backend's connection: whatever it posted has reached the server.
    void roundTrip();
    // Enumerates until pred holds for the records (or 15 s pass).
    bool waitFor(const std::function<bool(const std::vector<WindowRecord>&)>& pred);

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<WindowMaker> maker;
    std::unique_ptr<X11WindowSystem> windows;
    int lostCount = 0;
};

// The name of the test parameter.
std::string managerName(const ::testing::TestParamInfo<bool>& info);
