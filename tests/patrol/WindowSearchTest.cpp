#include "patrol/WindowSearch.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/linux/IconvCodec936.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using Query = FakeWindowSystem::Query;
using Window = FakeWindowSystem::Window;

std::vector<WindowHandle> handlesOf(const std::vector<WindowInfo>& list) {
    std::vector<WindowHandle> out;
    for (const WindowInfo& w : list)
        out.push_back(w.hWnd);
    return out;
}

// Four windows, one of each kind, in this enumeration order.
constexpr WindowHandle kShown = 11, kHidden = 12, kOwnedShown = 13, kOwnedHidden = 14;

void addFourKinds(FakeWindowSystem& ws) {
    ws.addWindow({kShown, u"Shown", 0, true, u"shown", 101});
    ws.addWindow({kHidden, u"Hidden", 0, false, u"hidden", 102});
    ws.addWindow({kOwnedShown, u"Dialog", kShown, true, u"dialog", 103});
    ws.addWindow({kOwnedHidden, u"Dialog", kShown, false, u"hidden dialog", 104});
}

struct FilterCase {
    const char* name;
    std::int32_t visibleMode;
    std::int32_t parentMode;
    std::vector<WindowHandle> expected;
};

// Cases show by name in test listings.
void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowSearchFilters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(WindowSearchFilters, KeepsTheWindowsTheFiltersAskForInEnumerationOrder) {
    const FilterCase& c = GetParam();
    FakeWindowSystem ws;
    addFourKinds(ws);
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    EXPECT_TRUE(search.SearchWindows(result, c.visibleMode, c.parentMode));
    EXPECT_EQ(handlesOf(result), c.expected);
    EXPECT_EQ(ws.enumerationCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowSearchFilters,
    ::testing::Values(FilterCase{"VisibleUnowned", 1, 0, {kShown}},
                      FilterCase{"HiddenUnowned", 2, 0, {kHidden}},
                      FilterCase{"AnyUnowned", 0, 0, {kShown, kHidden}},
                      FilterCase{"OtherVisibleValue", 3, 0, {kShown, kHidden}},
                      FilterCase{"NegativeVisibleValue", -1, 0, {kShown, kHidden}},
                      FilterCase{"VisibleOwned", 1, 1, {kOwnedShown}},
                      FilterCase{"HiddenOwned", 2, 1, {kOwnedHidden}},
                      FilterCase{"VisibleAnyParent", 1, 2, {kShown, kOwnedShown}},
                      FilterCase{"HiddenAnyParent", 2, -1, {kHidden, kOwnedHidden}},
                      FilterCase{"All", 0, 7, {kShown, kHidden, kOwnedShown, kOwnedHidden}}),
    [](const ::testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

TEST(WindowSearch, FillsEveryFieldOfTheRecord) {
    FakeWindowSystem ws;
    ws.addWindow({21, u"Navigator", 0, true, u"Example - Browser", 555, false});
    ws.addWindow({22, u"Panel", 0, true, u"", 556, true});
    ws.addWindow({23, u"Dialog", 21, false, u"Question", 557});
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    ASSERT_TRUE(search.SearchWindows(result, 0, 9));
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0].hWnd, 21u);
    EXPECT_EQ(result[0].ProcessID, 555u);
    EXPECT_EQ(result[0].Parent, 0u);
    EXPECT_EQ(result[0].Title, u"Example - Browser");
    EXPECT_EQ(result[0].ClassName, u"Navigator");
    EXPECT_EQ(result[0].Visible, -1);
    EXPECT_FALSE(result[0].Shell);
    EXPECT_TRUE(result[1].Shell);
    EXPECT_EQ(result[1].Title, u"");
    EXPECT_EQ(result[2].Parent, 21u);
    EXPECT_EQ(result[2].Visible, 0);
    EXPECT_EQ(result[2].ProcessID, 557u);
}

TEST(WindowSearch, ReadsClassOfEveryWindowButTitleAndProcessOnlyOfKeptOnes) {
    FakeWindowSystem ws;
    addFourKinds(ws);
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    ASSERT_TRUE(search.SearchWindows(result, 1, 0));
    for (WindowHandle h : {kShown, kHidden, kOwnedShown, kOwnedHidden}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(ws.queryCount(Query::ClassName, h), 1);
        EXPECT_EQ(ws.queryCount(Query::Parent, h), 1);
        const bool unowned = h == kShown || h == kHidden;
        // The owner test comes first: an owned window's visibility is never asked.
        EXPECT_EQ(ws.queryCount(Query::Visible, h), unowned ? 1 : 0);
        const int kept = h == kShown ? 1 : 0;
        EXPECT_EQ(ws.queryCount(Query::Title, h), kept);
        EXPECT_EQ(ws.queryCount(Query::ProcessId, h), kept);
        EXPECT_EQ(ws.queryCount(Query::Shell, h), kept);
    }
    // The class name comes before the owner.
    ASSERT_GE(ws.queries().size(), 2);
    EXPECT_EQ(ws.queries()[0].query, Query::ClassName);
    EXPECT_EQ(ws.queries()[1].query, Query::Parent);
}

TEST(WindowSearch, NoWindowPassingLeavesTheCallersListAsItWas) {
    FakeWindowSystem ws;
    ws.addWindow({31, u"Hidden", 0, false, u"x", 1});
    ws.addWindow({32, u"Dialog", 31, true, u"y", 1});
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    WindowInfo before;
    before.hWnd = 999;
    before.Title = u"kept";
    std::vector<WindowInfo> result{before};
    EXPECT_FALSE(search.SearchWindows(result, 1, 0));
    ASSERT_EQ(result.size(), 1);
    EXPECT_EQ(result[0].hWnd, 999u);
    EXPECT_EQ(result[0].Title, u"kept");
}

TEST(WindowSearch, EmptyDesktopGivesFalse) {
    FakeWindowSystem ws;
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    EXPECT_FALSE(search.SearchWindows(result, 0, 2));
    EXPECT_TRUE(result.empty());
    EXPECT_EQ(ws.enumerationCount(), 1);
}

TEST(WindowSearch, SecondSearchHoldsNoLeftoversOfTheFirst) {
    FakeWindowSystem ws;
    ws.addWindow({41, u"A", 0, true, u"a", 1});
    ws.addWindow({42, u"B", 0, true, u"b", 1});
    ws.addWindow({43, u"C", 0, true, u"c", 1});
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> first, second;
    ASSERT_TRUE(search.SearchWindows(first, 1, 0));
    ws.removeWindow(41);
    ws.removeWindow(43);
    ASSERT_TRUE(search.SearchWindows(second, 1, 0));
    EXPECT_EQ(handlesOf(second), std::vector<WindowHandle>{42});
    EXPECT_EQ(handlesOf(first), (std::vector<WindowHandle>{41, 42, 43}));
    second[0].Title = u"changed";
    EXPECT_EQ(first[1].Title, u"b");

    // Searching into the same list replaces its content.
    ASSERT_TRUE(search.SearchWindows(first, 1, 0));
    EXPECT_EQ(handlesOf(first), std::vector<WindowHandle>{42});
}

TEST(WindowSearch, WindowVanishingDuringTheEnumerationReadsAsGone) {
    FakeWindowSystem ws;
    ws.addWindow({51, u"A", 0, true, u"a", 1});
    ws.addWindow({52, u"B", 0, true, u"b", 2});
    ws.addWindow({53, u"C", 0, true, u"c", 3});
    ws.setVisitHook([&](WindowHandle h) {
        if (h == 51)
            ws.removeWindow(52);
    });
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> visible;
    ASSERT_TRUE(search.SearchWindows(visible, 1, 0));
    EXPECT_EQ(handlesOf(visible), (std::vector<WindowHandle>{51, 53}));

    // Without the visibility filter the vanished window is listed, with nothing known.
    ws.addWindow({52, u"B", 0, true, u"b", 2});
    std::vector<WindowInfo> all;
    ASSERT_TRUE(search.SearchWindows(all, 0, 0));
    ASSERT_EQ(handlesOf(all), (std::vector<WindowHandle>{51, 53, 52}));
    EXPECT_EQ(all[1].ClassName, u"C");
    EXPECT_EQ(all[2].ClassName, u"");
    EXPECT_EQ(all[2].Title, u"");
    EXPECT_EQ(all[2].ProcessID, 0u);
    EXPECT_EQ(all[2].Visible, 0);
}

TEST(WindowSearch, ProcSaysGoOnForKeptAndSkippedWindows) {
    FakeWindowSystem ws;
    addFourKinds(ws);
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    search.SearchWindows(result, 1, 0);
    for (WindowHandle h : {kShown, kHidden, kOwnedShown, kOwnedHidden, WindowHandle(77)})
        EXPECT_TRUE(search.SearchWindowsProc(h, 0));
}

struct TextCase {
    const char* name;
    std::u16string title;
    std::u16string expected;
};

// Cases show by name in test listings.
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowSearchTitles : public ::testing::TestWithParam<TextCase> {};

TEST_P(WindowSearchTitles, TitleHoldsAtMost79BytesOfCodePage936) {
    const TextCase& c = GetParam();
    FakeWindowSystem ws;
    ws.addWindow({61, u"C", 0, true, c.title, 1});
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    ASSERT_TRUE(search.SearchWindows(result, 1, 0));
    EXPECT_EQ(result[0].Title, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, WindowSearchTitles,
    ::testing::Values(
        TextCase{"Empty", u"", u""},
        TextCase{"Exactly79", std::u16string(79, u'x'), std::u16string(79, u'x')},
        TextCase{"HundredSingleBytes", std::u16string(100, u'x'), std::u16string(79, u'x')},
        TextCase{"FiftyDoubleBytes", std::u16string(50, u'中'), std::u16string(39, u'中')},
        TextCase{"OddByteLeftOver", u"a" + std::u16string(50, u'中'),
                 u"a" + std::u16string(39, u'中')},
        // 2 + 2 * 38 = 78: one more character would need bytes 79 and 80.
        TextCase{"NeverSplitsADoubleByte", u"aa" + std::u16string(50, u'中'),
                 u"aa" + std::u16string(38, u'中')},
        TextCase{"CutAtNul", std::u16string(u"abc") + u'\0' + u"def", u"abc"},
        TextCase{"ShortChineseUntouched", u"新闻 - 浏览器", u"新闻 - 浏览器"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(WindowSearch, ClassNameHoldsAtMost254Bytes) {
    FakeWindowSystem ws;
    ws.addWindow({71, std::u16string(300, u'k'), 0, true, u"t", 1});
    ws.addWindow({72, std::u16string(200, u'类'), 0, true, u"t", 1});
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    std::vector<WindowInfo> result;
    ASSERT_TRUE(search.SearchWindows(result, 1, 0));
    EXPECT_EQ(result[0].ClassName, std::u16string(254, u'k'));
    EXPECT_EQ(result[1].ClassName, std::u16string(127, u'类'));
}

TEST(WindowSearch, PostClosePostsToTheRecordsWindow) {
    FakeWindowSystem ws;
    ws.addWindow({81, u"A", 0, true, u"a", 1});
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    WindowInfo info;
    info.hWnd = 81;
    search.PostClose(info);
    info.hWnd = 4711; // long gone: nothing happens, nothing is reported
    search.PostClose(info);
    EXPECT_EQ(ws.closeRequests(), (std::vector<WindowHandle>{81, 4711}));
    EXPECT_TRUE(ws.hasWindow(81)); // a request, not a close
}

} // namespace
