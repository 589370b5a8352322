#include "patrol/PatrolPass.h"
#include "common/AppInfo.h"
#include "keywords/PlainKeywordList.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/qt/QtText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include <functional>

namespace {

using Window = FakeWindowSystem::Window;

constexpr quint32 kOwnPid = 4242;
constexpr quint32 kOtherPid = 777;

class TestHost : public PatrolHost {
public:
    QString mainCaption() const override {
        ++captionReads;
        return caption;
    }
    quint32 ownProcessId() const override {
        ++pidReads;
        return pid;
    }
    QString caption = QtText::toQ(AppInfo::mainCaption());
    quint32 pid = kOwnPid;
    mutable int captionReads = 0;
    mutable int pidReads = 0;
};

// A window of another program, visible and unowned, unless the case says otherwise.
Window other(WindowHandle h, const QString& title, const QString& cls = "Navigator") {
    return {h, cls, 0, true, title, kOtherPid};
}

struct PassCase {
    const char* name;
    QStringList keywords;
    QList<Window> windows;
    QList<WindowHandle> closed; // each exactly once, in this order
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
    WindowSearch search(ws);
    PatrolPass pass(search, list, host);
    pass.run();
    EXPECT_EQ(ws.closeRequests(), c.closed);
    EXPECT_EQ(ws.enumerationCount(), c.keywords.isEmpty() ? 0 : 1);
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
    WindowSearch search(ws);
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

const QString kCaption = QtText::toQ(AppInfo::mainCaption());
const QString k79 = QString(79, u'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, PatrolPassTable,
    ::testing::Values(
        PassCase{"KeywordAtStart", {"赌博"}, {other(1, "赌博网站 - 浏览器")}, {1}},
        PassCase{"KeywordInMiddle", {"poker"}, {other(1, "free poker online")}, {1}},
        PassCase{"KeywordAtEnd", {"poker"}, {other(1, "play poker")}, {1}},
        PassCase{"OtherLetterCase", {"Poker"}, {other(1, "play poker"), other(2, "POKER")}, {}},
        PassCase{"SpaceInside", {"casino"}, {other(1, "cas ino"), other(2, "casin o")}, {}},
        PassCase{"TwoKeywordsOneRequest",
                 {"free", "poker"},
                 {other(1, "free poker"), other(2, "poker free poker")},
                 {1, 2}},
        PassCase{"ChineseKeyword", {"色情"}, {other(1, "免费色情视频"), other(2, "色彩")}, {1}},
        PassCase{"OnlyMatchingWindowsInOrder",
                 {"bad"},
                 {other(1, "bad one"), other(2, "good"), other(3, "also bad")},
                 {1, 3}},
        PassCase{"DesktopSpared", {"Program", ""}, {other(1, "Program Manager", "Progman")}, {}},
        PassCase{"DesktopClassAloneNotSpared",
                 {"Program"},
                 {other(1, "Program Manager 2", "Progman")},
                 {1}},
        PassCase{"DesktopTitleAloneNotSpared",
                 {"Program"},
                 {other(1, "Program Manager", "Progman2")},
                 {1}},
        PassCase{"TaskbarSpared", {""}, {other(1, "", "Shell_TrayWnd")}, {}},
        PassCase{"TaskbarClassAloneNotSpared", {"Tray"}, {other(1, "Tray", "Shell_TrayWnd")}, {1}},
        PassCase{"TaskbarTitleAloneNotSpared", {""}, {other(1, "", "Other")}, {1}},
        PassCase{"PlatformShellSpared",
                 {"desk", ""},
                 {Window{1, "Desktop", 0, true, "desktop", kOtherPid, true},
                  Window{2, "Panel", 0, true, "", kOtherPid, true}},
                 {}},
        PassCase{"MainCaptionExactlySpared", {"墨枫"}, {other(1, kCaption)}, {}},
        PassCase{"MainCaptionWithMoreTextClosed",
                 {"墨枫"},
                 {other(1, kCaption + " - 副本"), other(2, " " + kCaption)},
                 {1, 2}},
        PassCase{"OwnProcessSpared",
                 {"登录"},
                 {Window{1, "Dialog", 0, true, "登录", kOwnPid}, other(2, "登录")},
                 {2}},
        PassCase{"HiddenSpared", {"bad"}, {Window{1, "N", 0, false, "bad", kOtherPid}}, {}},
        PassCase{"OwnedSpared",
                 {"bad"},
                 {other(1, "parent"), Window{2, "Dialog", 1, true, "bad dialog", kOtherPid}},
                 {}},
        PassCase{"KeywordBeyondByte79", {"bad"}, {other(1, k79 + "bad")}, {}},
        PassCase{"KeywordEndingAtByte79", {"bad"}, {other(1, k79.left(76) + "bad")}, {1}},
        PassCase{"ChineseKeywordBeyondByte79",
                 {"坏"},
                 {other(1, QString(39, u'中') + "坏"), other(2, QString(38, u'中') + "坏")},
                 {2}},
        PassCase{"EmptyKeywordClosesEveryUnprotectedWindow",
                 {""},
                 {other(1, "anything"), other(2, ""), other(3, "Program Manager", "Progman"),
                  other(4, kCaption)},
                 {1, 2}},
        PassCase{"EmptyListEnumeratesNothing", {}, {other(1, "anything")}, {}}),
    [](const ::testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

struct PatrolFixture : ::testing::Test {
    FakeWindowSystem ws;
    TestHost host;
    WindowSearch search{ws};
};

TEST_F(PatrolFixture, EmptyListAsksNothingOfAnyone) {
    ws.addWindow(other(1, "anything"));
    PlainKeywordList list;
    PatrolPass pass(search, list, host);
    pass.run();
    EXPECT_EQ(ws.enumerationCount(), 0);
    EXPECT_TRUE(ws.queries().isEmpty());
    EXPECT_TRUE(ws.closeRequests().isEmpty());
}

TEST_F(PatrolFixture, RefusingWindowGetsARequestAtEveryPass) {
    ws.addWindow(other(1, "bad"));
    Window obedient = other(2, "bad too");
    obedient.closesOnRequest = true;
    ws.addWindow(obedient);
    PlainKeywordList list({"bad"});
    PatrolPass pass(search, list, host);
    for (int i = 0; i < 3; ++i)
        pass.run();
    EXPECT_EQ(ws.closeRequestCount(1), 3);
    EXPECT_EQ(ws.closeRequestCount(2), 1);
    EXPECT_EQ(ws.enumerationCount(), 3);
}

TEST_F(PatrolFixture, NoVisibleUnownedWindowEndsThePassQuietly) {
    ws.addWindow(Window{1, "N", 0, false, "bad", kOtherPid});
    PlainKeywordList list({"bad"});
    PatrolPass pass(search, list, host);
    pass.run();
    EXPECT_EQ(ws.enumerationCount(), 1);
    EXPECT_TRUE(ws.closeRequests().isEmpty());
}

TEST_F(PatrolFixture, CaptionAndOwnProcessAreReadAtEveryPass) {
    ws.addWindow(other(1, "bad " + kCaption));
    ws.addWindow(Window{2, "N", 0, true, "bad", 99});
    PlainKeywordList list({"bad"});
    PatrolPass pass(search, list, host);

    host.caption = "bad " + kCaption;
    host.pid = 99;
    pass.run();
    EXPECT_TRUE(ws.closeRequests().isEmpty());

    host.caption = kCaption;
    host.pid = kOwnPid;
    pass.run();
    EXPECT_EQ(ws.closeRequests(), (QList<WindowHandle>{1, 2}));
    EXPECT_EQ(host.captionReads, 2);
    EXPECT_EQ(host.pidReads, 2);
}

TEST_F(PatrolFixture, TitleChangesAreSeenAtTheNextPass) {
    ws.addWindow(other(1, "harmless"));
    PlainKeywordList list({"bad"});
    PatrolPass pass(search, list, host);
    pass.run();
    ws.window(1)->title = "now bad";
    pass.run();
    ws.window(1)->title = "harmless again";
    pass.run();
    EXPECT_EQ(ws.closeRequests(), QList<WindowHandle>{1});
}

// Every way the list can change between two passes. "Change" is a replacement in place;
// "import" appends entries; "load" replaces the whole list.
struct EditCase {
    const char* name;
    QStringList before;
    std::function<void(PlainKeywordList&)> edit;
    QList<WindowHandle> closedBefore;
    QList<WindowHandle> closedAfter;
};

// Cases show by name in test listings.
void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

struct ListEdits : ::testing::TestWithParam<std::tuple<EditCase, bool>> {};

TEST_P(ListEdits, NextPassSeesTheListAsItIsNow) {
    const auto& [c, freshPassEachTick] = GetParam();
    FakeWindowSystem ws;
    ws.addWindow(other(1, "alpha window"));
    ws.addWindow(other(2, "beta window"));
    ws.addWindow(other(3, "gamma window"));
    PlainKeywordList list(c.before);
    TestHost host;
    KeywordMatcher shared;
    WindowSearch search(ws);
    PatrolPass kept(search, list, host);

    auto tick = [&] {
        ws.clearRecords();
        if (freshPassEachTick) {
            // As a timer that makes a new pass for each tick over a matcher it keeps.
            WindowSearch s(ws);
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

INSTANTIATE_TEST_SUITE_P(Paths, ListEdits,
                         ::testing::Combine(
                             ::testing::Values(EditCase{"Add",
                                                        {"alpha"},
                                                        [](PlainKeywordList& l) {
                                                            l.append("gamma");
                                                        },
                                                        {1},
                                                        {1, 3}},
                                               EditCase{"Change",
                                                        {"alpha", "zeta"},
                                                        [](PlainKeywordList& l) {
                                                            l.removeAt(0);
                                                            l.insert(0, "beta");
                                                        },
                                                        {1},
                                                        {2}},
                                               EditCase{"Remove",
                                                        {"alpha", "beta"},
                                                        [](PlainKeywordList& l) { l.removeAt(1); },
                                                        {1, 2},
                                                        {1}},
                                               EditCase{"RemoveLast",
                                                        {"beta"},
                                                        [](PlainKeywordList& l) { l.removeAt(0); },
                                                        {2},
                                                        {}},
                                               EditCase{"Clear",
                                                        {"alpha", "window"},
                                                        [](PlainKeywordList& l) { l.clear(); },
                                                        {1, 2, 3},
                                                        {}},
                                               EditCase{"Import",
                                                        {"alpha"},
                                                        [](PlainKeywordList& l) {
                                                            for (const char* k :
                                                                 {"beta", "gamma", "alpha"})
                                                                l.append(k);
                                                        },
                                                        {1},
                                                        {1, 2, 3}},
                                               EditCase{"Load",
                                                        {"alpha", "beta"},
                                                        [](PlainKeywordList& l) {
                                                            l.clear();
                                                            for (const char* k : {"gamma", "delta"})
                                                                l.append(k);
                                                        },
                                                        {1, 2},
                                                        {3}},
                                               EditCase{
                                                   "FirstEntryIntoEmpty",
                                                   {},
                                                   [](PlainKeywordList& l) { l.append("beta"); },
                                                   {},
                                                   {2}},
                                               EditCase{"EmptyKeywordAdded",
                                                        {"zeta"},
                                                        [](PlainKeywordList& l) { l.append(""); },
                                                        {},
                                                        {1, 2, 3}}),
                             ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<EditCase, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_FreshPass" : "_KeptPass");
                         });

TEST_F(PatrolFixture, SharedMatcherIsBuiltOnceForAnUnchangedList) {
    ws.addWindow(other(1, "bad"));
    PlainKeywordList list({"bad", "worse"});
    KeywordMatcher shared;
    for (int i = 0; i < 5; ++i) {
        PatrolPass pass(search, list, host, shared);
        pass.run();
    }
    EXPECT_EQ(shared.buildCount(), 1u);
    EXPECT_EQ(ws.closeRequestCount(1), 5);
    list.append("worst");
    PatrolPass(search, list, host, shared).run();
    EXPECT_EQ(shared.buildCount(), 2u);
}

} // namespace
