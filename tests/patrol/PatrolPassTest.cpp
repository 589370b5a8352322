#include "patrol/PatrolPass.h"
#include "common/AppInfo.h"
#include "keywords/PlainKeywordList.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/linux/IconvCodec936.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include <functional>

namespace {

using Window = FakeWindowSystem::Window;

constexpr std::uint32_t kOwnPid = 4242;
constexpr std::uint32_t kOtherPid = 777;

class TestHost : public PatrolHost {
public:
    std::u16string mainCaption() const override {
        ++captionReads;
        return caption;
    }
    std::uint32_t ownProcessId() const override {
        ++pidReads;
        return pid;
    }
    std::u16string caption = AppInfo::mainCaption();
    std::uint32_t pid = kOwnPid;
    mutable int captionReads = 0;
    mutable int pidReads = 0;
};

// A window of another program, visible and unowned, unless the case says otherwise.
Window other(WindowHandle h, const std::u16string& title,
             const std::u16string& cls = u"Navigator") {
    return {h, cls, 0, true, title, kOtherPid};
}

struct PassCase {
    const char* name;
    std::vector<std::u16string> keywords;
    std::vector<Window> windows;
    std::vector<WindowHandle> closed; // each exactly once, in this order
};

// Cases show by name in test listings.
void PrintTo(const PassCase& c, std::ostream* os) {
    *os << c.name;
}

class PatrolPassTable : public ::testing::TestWithParam<PassCase> {};

TEST_P(PatrolPassTable, ClosesExactlyTheWindowsItShould) {
    const PassCase& c = GetParam();
    FakeWindowSystem ws;
    for (const Window& w : c.windows)
        ws.addWindow(w);
    PlainKeywordList list(c.keywords);
    TestHost host;
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    PatrolPass pass(search, list, host);
    pass.run();
    EXPECT_EQ(ws.closeRequests(), c.closed);
    EXPECT_EQ(ws.enumerationCount(), c.keywords.empty() ? 0 : 1);
}

// A check of the windows that changed treats each of them exactly as a pass does, with every
// protection, and looks at those windows alone: no whole enumeration.
TEST_P(PatrolPassTable, ACheckOfTheWindowsThatChangedClosesWhatThePassWould) {
    const PassCase& c = GetParam();
    FakeWindowSystem ws;
    std::vector<WindowHandle> all;
    for (const Window& w : c.windows)
        all.push_back(ws.addWindow(w));
    PlainKeywordList list(c.keywords);
    TestHost host;
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    PatrolPass pass(search, list, host);

    pass.check(all);
    EXPECT_EQ(ws.closeRequests(), c.closed);
    EXPECT_EQ(ws.enumerationCount(), 0);
    // One window at a time, the same windows close.
    ws.clearRecords();
    for (WindowHandle h : all)
        pass.check({h});
    EXPECT_EQ(ws.closeRequests(), c.closed);
    EXPECT_EQ(ws.enumerationCount(), 0);
    for (const FakeWindowSystem::Call& call : ws.queries())
        EXPECT_NE(std::find(all.begin(), all.end(), call.window), all.end());
}

const std::u16string kCaption = AppInfo::mainCaption();
const std::u16string k79(79, u'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, PatrolPassTable,
    ::testing::Values(
        PassCase{"KeywordAtStart", {u"赌博"}, {other(1, u"赌博网站 - 浏览器")}, {1}},
        PassCase{"KeywordInMiddle", {u"poker"}, {other(1, u"free poker online")}, {1}},
        PassCase{"KeywordAtEnd", {u"poker"}, {other(1, u"play poker")}, {1}},
        PassCase{"OtherLetterCase", {u"Poker"}, {other(1, u"play poker"), other(2, u"POKER")}, {}},
        PassCase{"SpaceInside", {u"casino"}, {other(1, u"cas ino"), other(2, u"casin o")}, {}},
        PassCase{"TwoKeywordsOneRequest",
                 {u"free", u"poker"},
                 {other(1, u"free poker"), other(2, u"poker free poker")},
                 {1, 2}},
        PassCase{"ChineseKeyword", {u"色情"}, {other(1, u"免费色情视频"), other(2, u"色彩")}, {1}},
        PassCase{"OnlyMatchingWindowsInOrder",
                 {u"bad"},
                 {other(1, u"bad one"), other(2, u"good"), other(3, u"also bad")},
                 {1, 3}},
        PassCase{
            "DesktopSpared", {u"Program", u""}, {other(1, u"Program Manager", u"Progman")}, {}},
        PassCase{"DesktopClassAloneNotSpared",
                 {u"Program"},
                 {other(1, u"Program Manager 2", u"Progman")},
                 {1}},
        PassCase{"DesktopTitleAloneNotSpared",
                 {u"Program"},
                 {other(1, u"Program Manager", u"Progman2")},
                 {1}},
        PassCase{"TaskbarSpared", {u""}, {other(1, u"", u"Shell_TrayWnd")}, {}},
        PassCase{
            "TaskbarClassAloneNotSpared", {u"Tray"}, {other(1, u"Tray", u"Shell_TrayWnd")}, {1}},
        PassCase{"TaskbarTitleAloneNotSpared", {u""}, {other(1, u"", u"Other")}, {1}},
        PassCase{"PlatformShellSpared",
                 {u"desk", u""},
                 {Window{1, u"Desktop", 0, true, u"desktop", kOtherPid, true},
                  Window{2, u"Panel", 0, true, u"", kOtherPid, true}},
                 {}},
        PassCase{"MainCaptionExactlySpared", {u"墨枫"}, {other(1, kCaption)}, {}},
        PassCase{"MainCaptionWithMoreTextClosed",
                 {u"墨枫"},
                 {other(1, kCaption + u" - 副本"), other(2, u" " + kCaption)},
                 {1, 2}},
        PassCase{"OwnProcessSpared",
                 {u"登录"},
                 {Window{1, u"Dialog", 0, true, u"登录", kOwnPid}, other(2, u"登录")},
                 {2}},
        PassCase{"HiddenSpared", {u"bad"}, {Window{1, u"N", 0, false, u"bad", kOtherPid}}, {}},
        PassCase{"OwnedSpared",
                 {u"bad"},
                 {other(1, u"parent"), Window{2, u"Dialog", 1, true, u"bad dialog", kOtherPid}},
                 {}},
        PassCase{"KeywordBeyondByte79", {u"bad"}, {other(1, k79 + u"bad")}, {}},
        PassCase{"KeywordEndingAtByte79", {u"bad"}, {other(1, k79.substr(0, 76) + u"bad")}, {1}},
        PassCase{"ChineseKeywordBeyondByte79",
                 {u"坏"},
                 {other(1, std::u16string(39, u'中') + u"坏"),
                  other(2, std::u16string(38, u'中') + u"坏")},
                 {2}},
        PassCase{"EmptyKeywordClosesEveryUnprotectedWindow",
                 {u""},
                 {other(1, u"anything"), other(2, u""), other(3, u"Program Manager", u"Progman"),
                  other(4, kCaption)},
                 {1, 2}},
        PassCase{"EmptyListEnumeratesNothing", {}, {other(1, u"anything")}, {}}),
    [](const ::testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

struct PatrolFixture : ::testing::Test {
    FakeWindowSystem ws;
    TestHost host;
    const IconvCodec936 codec;
    WindowSearch search{ws, codec};
};

TEST_F(PatrolFixture, EmptyListAsksNothingOfAnyone) {
    ws.addWindow(other(1, u"anything"));
    PlainKeywordList list;
    PatrolPass pass(search, list, host);
    pass.run();
    EXPECT_EQ(ws.enumerationCount(), 0);
    EXPECT_TRUE(ws.queries().empty());
    EXPECT_TRUE(ws.closeRequests().empty());
}

TEST_F(PatrolFixture, RefusingWindowGetsARequestAtEveryPass) {
    ws.addWindow(other(1, u"bad"));
    Window obedient = other(2, u"bad too");
    obedient.closesOnRequest = true;
    ws.addWindow(obedient);
    PlainKeywordList list({u"bad"});
    PatrolPass pass(search, list, host);
    for (int i = 0; i < 3; ++i)
        pass.run();
    EXPECT_EQ(ws.closeRequestCount(1), 3);
    EXPECT_EQ(ws.closeRequestCount(2), 1);
    EXPECT_EQ(ws.enumerationCount(), 3);
}

TEST_F(PatrolFixture, NoVisibleUnownedWindowEndsThePassQuietly) {
    ws.addWindow(Window{1, u"N", 0, false, u"bad", kOtherPid});
    PlainKeywordList list({u"bad"});
    PatrolPass pass(search, list, host);
    pass.run();
    EXPECT_EQ(ws.enumerationCount(), 1);
    EXPECT_TRUE(ws.closeRequests().empty());
}

TEST_F(PatrolFixture, CaptionAndOwnProcessAreReadAtEveryPass) {
    ws.addWindow(other(1, u"bad " + kCaption));
    ws.addWindow(Window{2, u"N", 0, true, u"bad", 99});
    PlainKeywordList list({u"bad"});
    PatrolPass pass(search, list, host);

    host.caption = u"bad " + kCaption;
    host.pid = 99;
    pass.run();
    EXPECT_TRUE(ws.closeRequests().empty());

    host.caption = kCaption;
    host.pid = kOwnPid;
    pass.run();
    EXPECT_EQ(ws.closeRequests(), (std::vector<WindowHandle>{1, 2}));
    EXPECT_EQ(host.captionReads, 2);
    EXPECT_EQ(host.pidReads, 2);
}

TEST_F(PatrolFixture, TitleChangesAreSeenAtTheNextPass) {
    ws.addWindow(other(1, u"harmless"));
    PlainKeywordList list({u"bad"});
    PatrolPass pass(search, list, host);
    pass.run();
    ws.window(1)->title = u"now bad";
    pass.run();
    ws.window(1)->title = u"harmless again";
    pass.run();
    EXPECT_EQ(ws.closeRequests(), std::vector<WindowHandle>{1});
}

// Every way the list can change between two passes. "Change" is a replacement in place;
// "import" appends entries; "load" replaces the whole list.
struct EditCase {
    const char* name;
    std::vector<std::u16string> before;
    std::function<void(PlainKeywordList&)> edit;
    std::vector<WindowHandle> closedBefore;
    std::vector<WindowHandle> closedAfter;
};

// Cases show by name in test listings.
void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

struct ListEdits : ::testing::TestWithParam<std::tuple<EditCase, bool>> {};

TEST_P(ListEdits, NextPassSeesTheListAsItIsNow) {
    const auto& [c, freshPassEachTick] = GetParam();
    FakeWindowSystem ws;
    ws.addWindow(other(1, u"alpha window"));
    ws.addWindow(other(2, u"beta window"));
    ws.addWindow(other(3, u"gamma window"));
    PlainKeywordList list(c.before);
    TestHost host;
    KeywordMatcher shared;
    const IconvCodec936 codec;
    WindowSearch search(ws, codec);
    PatrolPass kept(search, list, host);

    auto tick = [&] {
        ws.clearRecords();
        if (freshPassEachTick) {
            // As a timer that makes a new pass for each tick over a matcher it keeps.
            WindowSearch s(ws, codec);
            PatrolPass pass(s, list, host, shared);
            pass.run();
        } else {
            kept.run();
        }
        return ws.closeRequests();
    };

    EXPECT_EQ(tick(), c.closedBefore);
    EXPECT_EQ(tick(), c.closedBefore); // unchanged list, same answer
    c.edit(list);
    EXPECT_EQ(tick(), c.closedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ListEdits,
    ::testing::
        Combine(
            ::testing::Values(
                EditCase{"Add",
                         {u"alpha"},
                         [](PlainKeywordList& l) { l.append(u"gamma"); },
                         {1},
                         {1, 3}},
                EditCase{"Change",
                         {u"alpha", u"zeta"},
                         [](PlainKeywordList& l) {
                             l.removeAt(0);
                             l.insert(0, u"beta");
                         },
                         {1},
                         {2}},
                EditCase{"Remove",
                         {u"alpha", u"beta"},
                         [](PlainKeywordList& l) { l.removeAt(1); },
                         {1, 2},
                         {1}},
                EditCase{
                    "RemoveLast", {u"beta"}, [](PlainKeywordList& l) { l.removeAt(0); }, {2}, {}},
                EditCase{
                    "Clear",
                    {u"alpha", u"window"},
                    [](PlainKeywordList& l) { l.clear(); },
                    {1, 2, 3},
                    {}},
                EditCase{
                    "Import",
                    {u"alpha"},
                    [](PlainKeywordList& l) {
                        for (const char16_t* k : {u"beta", u"gamma", u"alpha"})
                            l.append(k);
                    },
                    {1},
                    {1, 2, 3}},
                EditCase{
                    "Load",
                    {u"alpha", u"beta"},
                    [](PlainKeywordList& l) {
                        l.clear();
                        for (const char16_t* k : {u"gamma", u"delta"})
                            l.append(k);
                    },
                    {1, 2},
                    {3}},
                EditCase{"FirstEntryIntoEmpty",
                         {},
                         [](PlainKeywordList& l) { l.append(u"beta"); },
                         {},
                         {2}},
                EditCase{"EmptyKeywordAdded",
                         {u"zeta"},
                         [](PlainKeywordList& l) { l.append(u""); },
                         {},
                         {1, 2, 3}}),
            ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<EditCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_FreshPass" : "_KeptPass");
    });

TEST_F(PatrolFixture, SharedMatcherIsBuiltOnceForAnUnchangedList) {
    ws.addWindow(other(1, u"bad"));
    PlainKeywordList list({u"bad", u"worse"});
    KeywordMatcher shared;
    for (int i = 0; i < 5; ++i) {
        PatrolPass pass(search, list, host, shared);
        pass.run();
    }
    EXPECT_EQ(shared.buildCount(), 1u);
    EXPECT_EQ(ws.closeRequestCount(1), 5);
    list.append(u"worst");
    PatrolPass(search, list, host, shared).run();
    EXPECT_EQ(shared.buildCount(), 2u);
}

} // namespace
