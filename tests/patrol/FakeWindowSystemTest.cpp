#include "platform/fake/FakeWindowSystem.h"

#include <gtest/gtest.h>

namespace {

using Query = FakeWindowSystem::Query;

TEST(FakeWindowSystem, EnumeratesInOrderAndGivesHandlesWhenAskedTo) {
    FakeWindowSystem ws;
    const WindowHandle a = ws.addWindow({0, u"A"});
    const WindowHandle b = ws.addWindow({0, u"B"});
    const WindowHandle c = ws.addWindow({5, u"C"});
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(c, 5u);
    std::vector<WindowHandle> seen;
    ws.EnumWindows([&](WindowHandle h) {
        seen.push_back(h);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<WindowHandle>{a, b, c}));
    EXPECT_EQ(ws.enumerationCount(), 1);
}

TEST(FakeWindowSystem, ReplacingAHandleKeepsItsPlace) {
    FakeWindowSystem ws;
    ws.addWindow({1, u"A"});
    ws.addWindow({2, u"B"});
    ws.addWindow({1, u"A2", 0, false, u"new"});
    EXPECT_EQ(ws.handles(), (std::vector<WindowHandle>{1, 2}));
    EXPECT_EQ(ws.GetClassName(1), u"A2");
    EXPECT_FALSE(ws.IsWindowVisible(1));
}

TEST(FakeWindowSystem, StopsWhenTheCallbackSaysSo) {
    FakeWindowSystem ws;
    ws.addWindow({1});
    ws.addWindow({2});
    int visited = 0;
    ws.EnumWindows([&](WindowHandle) {
        ++visited;
        return false;
    });
    EXPECT_EQ(visited, 1);
}

TEST(FakeWindowSystem, AnswersAndRecordsEveryQuery) {
    FakeWindowSystem ws;
    ws.addWindow({1, u"Cls", 9, true, u"Title", 33, true});
    EXPECT_EQ(ws.GetClassName(1), u"Cls");
    EXPECT_EQ(ws.GetParent(1), 9u);
    EXPECT_TRUE(ws.IsWindowVisible(1));
    EXPECT_EQ(ws.GetWindowText(1), u"Title");
    EXPECT_EQ(ws.GetWindowProcessId(1), 33u);
    EXPECT_TRUE(ws.IsShellWindow(1));
    EXPECT_EQ(ws.GetWindowText(1), u"Title");
    EXPECT_EQ(ws.queries().size(), 7);
    EXPECT_EQ(ws.queryCount(Query::Title, 1), 2);
    EXPECT_EQ(ws.queryCount(Query::Title), 2);
    EXPECT_EQ(ws.queryCount(Query::Title, 2), 0);

    ws.setRecordQueries(false);
    ws.GetWindowText(1);
    EXPECT_EQ(ws.queries().size(), 7);
    ws.clearRecords();
    EXPECT_TRUE(ws.queries().empty());
}

TEST(FakeWindowSystem, UnknownHandleReadsAsAVanishedWindow) {
    FakeWindowSystem ws;
    EXPECT_EQ(ws.GetClassName(8), u"");
    EXPECT_EQ(ws.GetParent(8), 0u);
    EXPECT_FALSE(ws.IsWindowVisible(8));
    EXPECT_EQ(ws.GetWindowText(8), u"");
    EXPECT_EQ(ws.GetWindowProcessId(8), 0u);
    EXPECT_FALSE(ws.IsShellWindow(8));
}

TEST(FakeWindowSystem, CloseRequestsAreRecordedAndOnlyObedientWindowsGo) {
    FakeWindowSystem ws;
    ws.addWindow({1, u"Stubborn"});
    FakeWindowSystem::Window obedient{2, u"Obedient"};
    obedient.closesOnRequest = true;
    ws.addWindow(obedient);
    ws.PostClose(1);
    ws.PostClose(2);
    ws.PostClose(2);
    EXPECT_EQ(ws.closeRequests(), (std::vector<WindowHandle>{1, 2, 2}));
    EXPECT_EQ(ws.closeRequestCount(2), 2);
    EXPECT_TRUE(ws.hasWindow(1));
    EXPECT_FALSE(ws.hasWindow(2));
    EXPECT_EQ(ws.handles(), std::vector<WindowHandle>{1});
}

TEST(FakeWindowSystem, WindowsRemovedDuringAnEnumerationAreStillVisited) {
    FakeWindowSystem ws;
    ws.addWindow({1});
    ws.addWindow({2});
    ws.setVisitHook([&](WindowHandle h) {
        if (h == 1) {
            ws.removeWindow(2);
            ws.addWindow({3});
        }
    });
    std::vector<WindowHandle> seen;
    ws.EnumWindows([&](WindowHandle h) {
        seen.push_back(h);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<WindowHandle>{1, 2}));
    EXPECT_EQ(ws.handles(), (std::vector<WindowHandle>{1, 3}));
}

} // namespace
