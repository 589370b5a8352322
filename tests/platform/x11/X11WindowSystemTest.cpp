#include "platform/x11/X11DisplayFixture.h"

#include "platform/qt/QtCodec936.h"
#include "support/ChildProcess.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <poll.h>
#include <set>
#include <unistd.h>

namespace {

using Record = X11DisplayFixture::WindowRecord;

enum class Owner { None, OtherWindow };

struct RecordCase {
    const char* name;
    std::vector<std::string> fields; // "@owner" and "@self" stand for ids known at run time
    bool listedBare;
    bool listedManaged;
    QString className;
    Owner owner;
    bool visible;
    QString title;
    bool shell;
};

std::string hexOf(const QByteArray& bytes) {
    return bytes.toHex().toStdString();
}

std::vector<RecordCase> recordCases() {
    const std::string chinese = "墨";
    std::string fiftyChinese;
    for (int i = 0; i < 50; ++i)
        fiftyChinese += chinese;
    const QByteArray ct = "\x1b$)A" + QtCodec936::encode(QString::fromUtf8("中文")) + " ok";
    return {
        {"plain",
         {"name=普通窗口 plain", "class=plainInst,PlainClass"},
         true,
         true,
         "PlainClass",
         Owner::None,
         true,
         QString::fromUtf8("普通窗口 plain"),
         false},
        {"transient for the root, owned by none",
         {"name=dialog of root", "transient=root"},
         true,
         true,
         "",
         Owner::None,
         true,
         "dialog of root",
         false},
        {"owned by a window",
         {"name=dialog of window", "transient=@owner"},
         true,
         true,
         "",
         Owner::OtherWindow,
         true,
         "dialog of window",
         false},
        {"unmapped",
         {"name=never shown", "map=0"},
         true,
         false,
         "",
         Owner::None,
         false,
         "never shown",
         false},
        {"minimised",
         {"name=minimised", "iconic=1"},
         true,
         true,
         "",
         Owner::None,
         true,
         "minimised",
         false},
        {"override-redirect",
         {"name=popup", "override=1"},
         true,
         false,
         "",
         Owner::None,
         true,
         "popup",
         false},
        {"desktop",
         {"name=desktop", "type=desktop"},
         true,
         true,
         "",
         Owner::None,
         true,
         "desktop",
         true},
        {"dock", {"name=panel", "type=dock"}, true, true, "", Owner::None, true, "panel", true},
        {"fake _NET_WM_PID",
         {"name=fake pid", "pid=@self"},
         true,
         true,
         "",
         Owner::None,
         true,
         "fake pid",
         false},
        {"Chinese and emoji",
         {"name=中文😀标题"},
         true,
         true,
         "",
         Owner::None,
         true,
         QString::fromUtf8("中文?标题"),
         false},
        {"100 characters",
         {"name=" + std::string(100, 'x')},
         true,
         true,
         "",
         Owner::None,
         true,
         QString(79, QLatin1Char('x')),
         false},
        {"50 Chinese characters",
         {"name=" + fiftyChinese},
         true,
         true,
         "",
         Owner::None,
         true,
         QString::fromUtf8("墨").repeated(39),
         false},
        {"WM_NAME only",
         {"wmname=café KEY"},
         true,
         true,
         "",
         Owner::None,
         true,
         QString::fromUtf8("café KEY"),
         false},
        {"WM_NAME in UTF-8",
         {"wmname-utf8=中文 KEY"},
         true,
         true,
         "",
         Owner::None,
         true,
         QString::fromUtf8("中文 KEY"),
         false},
        {"WM_NAME as compound text",
         {"wmname-ct=" + hexOf(ct)},
         true,
         true,
         "",
         Owner::None,
         true,
         QString::fromUtf8("中文 ok"),
         false},
        {"_NET_WM_NAME before WM_NAME",
         {"name=new", "wmname=old"},
         true,
         true,
         "",
         Owner::None,
         true,
         "new",
         false},
        {"_NET_WM_NAME of the wrong type",
         {"raw=_NET_WM_NAME:STRING:8:" + hexOf("wrong"), "wmname=right"},
         true,
         true,
         "",
         Owner::None,
         true,
         "right",
         false},
        {"empty _NET_WM_NAME",
         {"raw=_NET_WM_NAME:UTF8_STRING:8:", "wmname=fallback"},
         true,
         true,
         "",
         Owner::None,
         true,
         "fallback",
         false},
        {"a megabyte of title",
         {"bigname=1000000"},
         true,
         true,
         "",
         Owner::None,
         true,
         QString(79, QLatin1Char('a')),
         false},
        {"untitled", {"class=u,Untitled"}, true, true, "Untitled", Owner::None, true, "", false},
        {"WM_TRANSIENT_FOR of the wrong type",
         {"name=odd owner", "raw=WM_TRANSIENT_FOR:CARDINAL:32:01000000"},
         true,
         true,
         "",
         Owner::None,
         true,
         "odd owner",
         false},
        {"WM_CLASS of the wrong format",
         {"name=odd class", "raw=WM_CLASS:STRING:32:6162000063640000"},
         true,
         true,
         "",
         Owner::None,
         true,
         "odd class",
         false},
        {"WM_CLASS without class part",
         {"name=half class", "class=onlyinstance"},
         true,
         true,
         "",
         Owner::None,
         true,
         "half class",
         false},
    };
}

// WM_STATE of a window, read on a connection of the test's own; -1 when absent.
int wmStateOf(const std::string& display, uint32_t window) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    int state = -1;
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, 8, "WM_STATE"), nullptr);
    if (atom) {
        xcb_get_property_reply_t* p = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, atom->atom, atom->atom, 0, 2), nullptr);
        if (p && xcb_get_property_value_length(p) >= 4)
            state = static_cast<int>(*static_cast<uint32_t*>(xcb_get_property_value(p)));
        free(p);
    }
    free(atom);
    xcb_disconnect(c);
    return state;
}

class X11WindowSystemTest : public X11DisplayFixture {};

TEST_P(X11WindowSystemTest, CraftedWindowsGiveTheRecordsTheSearchExpects) {
    ASSERT_TRUE(windows->hasResourceExtension());
    const uint32_t owner = maker->make({"name=owner"});
    ASSERT_NE(owner, 0u);
    const std::vector<RecordCase> cases = recordCases();
    std::vector<uint32_t> ids;
    for (const RecordCase& c : cases) {
        std::vector<std::string> fields;
        for (std::string f : c.fields) {
            if (f.ends_with("=@owner"))
                f = f.substr(0, f.size() - 6) + std::to_string(owner);
            if (f.ends_with("=@self"))
                f = f.substr(0, f.size() - 5) + std::to_string(getpid());
            fields.push_back(f);
        }
        ids.push_back(maker->make(fields));
        ASSERT_NE(ids.back(), 0u) << c.name;
    }
    const std::vector<Record> records = enumerate();
    std::map<WindowHandle, Record> byHandle;
    for (const Record& r : records)
        byHandle[r.hWnd] = r;
    for (size_t i = 0; i < cases.size(); ++i) {
        const RecordCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const bool listed = withManager() ? c.listedManaged : c.listedBare;
        ASSERT_EQ(byHandle.count(ids[i]), listed ? 1u : 0u);
        // Outside an enumeration the backend asks the server and must tell the same.
        const Record asked = direct(ids[i]);
        if (!listed) {
            EXPECT_FALSE(asked.visible);
            continue;
        }
        const Record& r = byHandle[ids[i]];
        EXPECT_EQ(r.className, c.className);
        const WindowHandle expectedOwner = c.owner == Owner::None ? 0 : owner;
        EXPECT_EQ(r.parent, expectedOwner);
        EXPECT_EQ(r.visible, c.visible);
        EXPECT_EQ(r.title, c.title);
        // The server's answer, not the window's own claim.
        EXPECT_EQ(r.processId, static_cast<quint32>(maker->pid()));
        EXPECT_EQ(r.shell, c.shell);
        EXPECT_EQ(asked, r);
    }
    if (withManager()) {
        // The minimised window really is iconic, and still counts as visible.
        const auto minimised = std::find_if(cases.begin(), cases.end(), [](const RecordCase& c) {
            return std::string(c.name) == "minimised";
        });
        EXPECT_EQ(wmStateOf(server->display(), ids[static_cast<size_t>(minimised - cases.begin())]),
                  3);
    }
}

TEST_P(X11WindowSystemTest, TopLevelWindowsOnlyEachOnceFrontToBack) {
    const uint32_t back = maker->make({"name=back"});
    const uint32_t front = maker->make({"name=front"});
    const uint32_t child = maker->make({"name=child KEY", "parent=" + std::to_string(front)});
    ASSERT_NE(back, 0u);
    ASSERT_NE(front, 0u);
    ASSERT_NE(child, 0u);
    const std::vector<Record> records = enumerate();
    std::vector<WindowHandle> order;
    std::set<WindowHandle> unique;
    for (const Record& r : records) {
        unique.insert(r.hWnd);
        if (r.hWnd == back || r.hWnd == front)
            order.push_back(r.hWnd);
        EXPECT_NE(r.hWnd, child);
        EXPECT_NE(r.hWnd, windows->rootWindow());
    }
    EXPECT_EQ(unique.size(), records.size());
    EXPECT_EQ(order, (std::vector<WindowHandle>{front, back}));
    // Returning false stops the enumeration.
    int visited = 0;
    windows->EnumWindows([&](WindowHandle) { return ++visited < 1; });
    EXPECT_EQ(visited, 1);
}

TEST_P(X11WindowSystemTest, TwoEnumerationsAreIndependent) {
    const uint32_t first = maker->make({"name=first KEY"});
    ASSERT_TRUE(find(first));
    ASSERT_TRUE(maker->destroy(first));
    const uint32_t second = maker->make({"name=second"});
    const std::vector<Record> records = enumerate();
    EXPECT_TRUE(std::none_of(records.begin(), records.end(),
                             [&](const Record& r) { return r.hWnd == first; }));
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const Record& r) {
        return r.hWnd == second && r.title == "second";
    }));
}

TEST_P(X11WindowSystemTest, CloseRequestReachesTheWindow) {
    const uint32_t target = maker->make({"name=close me", "onclose=ignore"});
    const uint32_t bystander = maker->make({"name=leave me"});
    ASSERT_TRUE(find(target));
    windows->PostClose(target);
    EXPECT_TRUE(maker->waitClosed(target, 10000));
    // A window that refuses is asked again at the next request.
    windows->PostClose(target);
    roundTrip();
    ASSERT_TRUE(maker->sync());
    EXPECT_EQ(maker->closed(), std::set<uint32_t>{target});
    EXPECT_TRUE(find(bystander));
}

TEST_P(X11WindowSystemTest, WindowWithoutDeleteProtocolHasItsClientEnded) {
    WindowMaker stubborn;
    ASSERT_TRUE(stubborn.ok());
    const uint32_t target = stubborn.make({"name=no delete", "delete=0"});
    const uint32_t bystander = maker->make({"name=other client"});
    ASSERT_NE(target, 0u);
    ASSERT_TRUE(find(target));
    windows->PostClose(target);
    EXPECT_GE(stubborn.waitExit(10000), 0);
    EXPECT_TRUE(waitFor([&](const std::vector<Record>& rs) {
        return std::none_of(rs.begin(), rs.end(),
                            [&](const Record& r) { return r.hWnd == target; });
    }));
    EXPECT_TRUE(maker->sync());
    EXPECT_TRUE(find(bystander));
}

TEST_P(X11WindowSystemTest, CloseRequestIsPostedNotWaitedFor) {
    WindowMaker frozen;
    ASSERT_TRUE(frozen.ok());
    const uint32_t target = frozen.make({"name=frozen program"});
    ASSERT_TRUE(find(target));
    // The window's program cannot answer while it is stopped; the request still goes out.
    ASSERT_EQ(kill(frozen.pid(), SIGSTOP), 0);
    windows->PostClose(target);
    EXPECT_TRUE(find(target));
    ASSERT_EQ(kill(frozen.pid(), SIGCONT), 0);
    EXPECT_TRUE(frozen.waitClosed(target, 10000));
}

TEST_P(X11WindowSystemTest, VanishedWindowReadsAsNothing) {
    const uint32_t gone = maker->make({"name=gone KEY", "class=g,Gone"});
    ASSERT_TRUE(find(gone));
    ASSERT_TRUE(maker->destroy(gone));
    const Record r = direct(gone);
    EXPECT_EQ(r, (Record{gone, "", 0, false, "", 0, false}));
    windows->PostClose(gone);
    windows->PostClose(0x7ffffff0);
    roundTrip();
    ASSERT_TRUE(maker->sync());
    EXPECT_TRUE(maker->closed().empty());
    const uint32_t later = maker->make({"name=later"});
    EXPECT_TRUE(find(later));
}

// What WM_TRANSIENT_FOR may name, and whether that makes an owner.
struct OwnerCase {
    const char* name;
    bool ownedBare;
    bool ownedManaged;
};

const std::vector<OwnerCase>& ownerCases() {
    static const std::vector<OwnerCase> cases = {
        {"a shown window", true, true},
        {"a minimised window", true, true},
        {"a hidden leader window", false, false},
        {"a withdrawn window", false, false},
        {"a destroyed window", false, false},
        {"a child window", false, false},
        // A top-level window of the bare display; a manager does not list it.
        {"an override-redirect window", true, false},
        {"the window itself", false, false},
        {"the root", false, false},
    };
    return cases;
}

TEST_P(X11WindowSystemTest, OnlyAnotherShownTopLevelWindowIsAnOwner) {
    const uint32_t shown = maker->make({"name=shown owner"});
    ASSERT_NE(shown, 0u);
    const std::map<std::string, uint32_t> named = {
        {"a shown window", shown},
        {"a minimised window", maker->make({"name=minimised owner", "iconic=1"})},
        {"a hidden leader window", maker->make({"name=leader", "map=0"})},
        {"a withdrawn window", maker->make({"name=withdrawn owner"})},
        {"a destroyed window", maker->make({"name=destroyed owner"})},
        {"a child window", maker->make({"name=child", "parent=" + std::to_string(shown)})},
        {"an override-redirect window", maker->make({"name=popup owner", "override=1"})},
        {"the root", windows->rootWindow()},
    };
    for (const auto& [name, id] : named)
        ASSERT_NE(id, 0u) << name;
    const uint32_t withdrawn = named.at("a withdrawn window");
    ASSERT_TRUE(maker->set(withdrawn, {"withdraw=1"}));
    ASSERT_TRUE(maker->destroy(named.at("a destroyed window")));
    ASSERT_TRUE(waitFor([&](const std::vector<Record>& rs) {
        return std::none_of(rs.begin(), rs.end(),
                            [&](const Record& r) { return r.hWnd == withdrawn && r.visible; });
    }));

    std::map<std::string, uint32_t> owners, dialogs;
    for (const OwnerCase& c : ownerCases()) {
        const uint32_t dialog = maker->make({std::string("name=dialog of ") + c.name});
        ASSERT_NE(dialog, 0u) << c.name;
        owners[c.name] = named.count(c.name) ? named.at(c.name) : dialog;
        ASSERT_TRUE(maker->set(dialog, {"transient=" + std::to_string(owners[c.name])}));
        dialogs[c.name] = dialog;
    }
    std::map<WindowHandle, Record> listed;
    for (const Record& r : enumerate())
        listed[r.hWnd] = r;
    for (const OwnerCase& c : ownerCases()) {
        SCOPED_TRACE(c.name);
        const bool owned = withManager() ? c.ownedManaged : c.ownedBare;
        ASSERT_EQ(listed.count(dialogs[c.name]), 1u);
        const Record& r = listed[dialogs[c.name]];
        EXPECT_TRUE(r.visible);
        EXPECT_EQ(r.parent, owned ? owners[c.name] : 0);
        // Outside an enumeration the backend asks the server and must tell the same.
        EXPECT_EQ(direct(dialogs[c.name]), r);
    }
}

TEST_P(X11WindowSystemTest, SomeWindowsGiveTheRecordsOfAWholeEnumeration) {
    const uint32_t owner = maker->make({"name=owner", "class=o,Owner"});
    ASSERT_NE(owner, 0u);
    struct SomeCase {
        const char* name;
        std::vector<std::string> fields;
    };
    const std::vector<SomeCase> cases = {
        {"normal", {"name=normal KEY", "class=n,Normal"}},
        {"owned", {"name=owned", "transient=" + std::to_string(owner)}},
        {"hidden", {"name=hidden", "map=0"}},
        {"minimised", {"name=minimised", "iconic=1"}},
        {"override-redirect", {"name=popup", "override=1"}},
        {"dock", {"name=panel", "type=dock"}},
        {"WM_NAME only", {"wmname=old style"}},
        {"child window", {"name=child", "parent=" + std::to_string(owner)}},
    };
    std::vector<WindowHandle> all{owner};
    for (const SomeCase& c : cases) {
        all.push_back(maker->make(c.fields));
        ASSERT_NE(all.back(), 0u) << c.name;
    }
    const uint32_t vanished = maker->make({"name=gone"});
    ASSERT_NE(vanished, 0u);
    ASSERT_TRUE(maker->destroy(vanished));
    ASSERT_TRUE(waitFor([&](const std::vector<Record>& records) {
        return std::none_of(records.begin(), records.end(),
                            [&](const Record& r) { return r.hWnd == vanished; });
    }));
    all.push_back(vanished);
    all.push_back(windows->rootWindow());

    for (WindowHandle w : all) {
        SCOPED_TRACE(w);
        EXPECT_EQ(enumerateSome({w}), enumerateOnly({w}));
    }
    // All at once, some named twice: each once, in the order of a whole enumeration.
    std::vector<WindowHandle> twice = all;
    twice.insert(twice.end(), all.begin(), all.begin() + 3);
    std::reverse(twice.begin(), twice.end());
    const std::vector<Record> some = enumerateSome(twice);
    EXPECT_EQ(some, enumerateOnly(all));
    EXPECT_EQ(some.size(), withManager() ? 6u : 8u);
    EXPECT_TRUE(enumerateSome({}).empty());
    // Returning false stops it.
    int visited = 0;
    windows->EnumSomeWindows(all, [&](WindowHandle) { return ++visited < 1; });
    EXPECT_EQ(visited, 1);
}

INSTANTIATE_TEST_SUITE_P(Display, X11WindowSystemTest, ::testing::Values(false, true), managerName);

// Hex of 32-bit values in the client's byte order, for raw properties.
std::string longsHex(std::initializer_list<uint32_t> values) {
    QByteArray bytes;
    for (uint32_t v : values)
        bytes.append(reinterpret_cast<const char*>(&v), 4);
    return hexOf(bytes);
}

// Without an EWMH manager, a manager of the older kind may still frame its clients; the
// client beneath a frame is found by WM_STATE.
class X11FrameTest : public X11DisplayFixture {};

TEST_P(X11FrameTest, ClientBeneathAFrameStandsForIt) {
    const std::string normalState = "raw=WM_STATE:WM_STATE:32:" + longsHex({1, 0});
    const uint32_t frame = maker->make({"name=frame"});
    const uint32_t client =
        maker->make({"name=client KEY", "parent=" + std::to_string(frame), normalState});
    const uint32_t outer = maker->make({"name=outer frame"});
    const uint32_t inner = maker->make({"name=inner", "parent=" + std::to_string(outer)});
    const uint32_t deepClient = maker->make(
        {"name=deep client", "class=d,Deep", "parent=" + std::to_string(inner), normalState});
    const uint32_t hiddenFrame = maker->make({"name=hidden frame", "map=0"});
    const uint32_t hiddenClient =
        maker->make({"name=hidden client", "parent=" + std::to_string(hiddenFrame), normalState});
    const uint32_t plain = maker->make({"name=no frame"});
    const uint32_t plainChild = maker->make({"name=a child", "parent=" + std::to_string(plain)});
    for (uint32_t id :
         {frame, client, outer, inner, deepClient, hiddenFrame, hiddenClient, plain, plainChild})
        ASSERT_NE(id, 0u);

    std::map<WindowHandle, Record> listed;
    for (const Record& r : enumerate())
        listed[r.hWnd] = r;
    for (uint32_t notListed : {frame, outer, inner, hiddenFrame, plainChild})
        EXPECT_EQ(listed.count(notListed), 0u) << notListed;
    ASSERT_EQ(listed.count(client), 1u);
    EXPECT_EQ(listed[client].title, "client KEY");
    EXPECT_TRUE(listed[client].visible);
    ASSERT_EQ(listed.count(deepClient), 1u);
    EXPECT_EQ(listed[deepClient].title, "deep client");
    EXPECT_EQ(listed[deepClient].className, "Deep");
    // Beneath an unmapped frame the client is not viewable.
    ASSERT_EQ(listed.count(hiddenClient), 1u);
    EXPECT_FALSE(listed[hiddenClient].visible);
    ASSERT_EQ(listed.count(plain), 1u);
    EXPECT_EQ(listed[plain].title, "no frame");
}

TEST_P(X11FrameTest, SomeWindowsAmongFramesGiveTheRecordsOfAWholeEnumeration) {
    const std::string normalState = "raw=WM_STATE:WM_STATE:32:" + longsHex({1, 0});
    const uint32_t frame = maker->make({"name=frame"});
    const uint32_t client =
        maker->make({"name=client", "parent=" + std::to_string(frame), normalState});
    const uint32_t lone = maker->make({"name=lone client", normalState});
    const uint32_t stray = maker->make({"name=stray state", normalState, "map=0"});
    const uint32_t plain = maker->make({"name=plain"});
    for (uint32_t id : {frame, client, lone, stray, plain})
        ASSERT_NE(id, 0u);
    const std::vector<std::vector<WindowHandle>> asked = {
        {frame}, {client}, {lone}, {stray}, {plain}, {plain, lone}, {frame, client, plain}};
    for (const std::vector<WindowHandle>& handles : asked) {
        SCOPED_TRACE(handles.size());
        EXPECT_EQ(enumerateSome(handles), enumerateOnly(handles));
    }
    EXPECT_TRUE(enumerateSome({frame}).empty());
    EXPECT_EQ(enumerateSome({client}).size(), 1u);
}

// A manager that died leaves its check on the root, naming a window that no longer names
// itself; its client list is then no list of anything.
TEST_P(X11FrameTest, StaleManagerCheckIsNoManager) {
    const uint32_t listedOnly = maker->make({"name=in the stale list", "map=0"});
    const uint32_t shown = maker->make({"name=shown"});
    const uint32_t stale = maker->make({"name=stale check", "map=0"});
    ASSERT_TRUE(maker->set(windows->rootWindow(),
                           {"raw=_NET_SUPPORTING_WM_CHECK:WINDOW:32:" + longsHex({stale}),
                            "raw=_NET_CLIENT_LIST:WINDOW:32:" + longsHex({listedOnly})}));
    std::map<WindowHandle, Record> listed;
    for (const Record& r : enumerate())
        listed[r.hWnd] = r;
    ASSERT_EQ(listed.count(shown), 1u);
    EXPECT_TRUE(listed[shown].visible);
    ASSERT_EQ(listed.count(listedOnly), 1u);
    EXPECT_FALSE(listed[listedOnly].visible);
    EXPECT_FALSE(direct(listedOnly).visible);
    EXPECT_TRUE(direct(shown).visible);
}

INSTANTIATE_TEST_SUITE_P(Bare, X11FrameTest, ::testing::Values(false), managerName);

// A server without the X-Resource extension, on a display number it chooses itself.
class ServerWithoutResourceExtension {
public:
    ServerWithoutResourceExtension() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const bool started = m_server.start({"Xvfb", "-displayfd", std::to_string(fds[1]),
                                             "-nolisten", "tcp", "-extension", "X-Resource"},
                                            {}, fds[1], "/dev/null");
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (started && number.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (number.find('\n') != std::string::npos)
            display = ":" + number.substr(0, number.find('\n'));
    }

    std::string display;

private:
    ChildProcess m_server;
};

// Where the server cannot name a window's process, the window's own claim is all there is.
TEST(X11WindowSystemWithoutResourceExtension, ProcessIsTheWindowsOwnClaim) {
    ServerWithoutResourceExtension server;
    ASSERT_FALSE(server.display.empty());
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    setenv("DISPLAY", server.display.c_str(), 1);
    {
        WindowMaker maker;
        ASSERT_TRUE(maker.ok());
        auto windows = X11WindowSystem::open(QByteArray::fromStdString(server.display));
        ASSERT_TRUE(windows);
        EXPECT_FALSE(windows->hasResourceExtension());
        const uint32_t claimed = maker.make({"name=claims a process", "pid=4242"});
        const uint32_t silent = maker.make({"name=claims nothing"});
        std::map<WindowHandle, quint32> pids;
        windows->EnumWindows([&](WindowHandle w) {
            pids[w] = windows->GetWindowProcessId(w);
            return true;
        });
        EXPECT_EQ(pids[claimed], 4242u);
        EXPECT_EQ(pids[silent], 0u);
        EXPECT_EQ(windows->GetWindowProcessId(claimed), 4242u);
    }
    if (before)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

TEST(X11WindowSystemOpen, NoDisplayGivesNothing) {
    EXPECT_EQ(X11WindowSystem::open(":4711"), nullptr);
    EXPECT_EQ(X11WindowSystem::open("not a display"), nullptr);
}

} // namespace
