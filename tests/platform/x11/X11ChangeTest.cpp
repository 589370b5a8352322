// The backend's change listener on private displays, bare and with openbox: which changes
// it reports, that it reports nothing an enumeration has already seen, and that it is read
// from the event loop.
#include "platform/x11/X11DisplayFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

class X11ChangeTest : public X11DisplayFixture {
protected:
    void SetUp() override {
        app = std::make_unique<QCoreApplication>(argc, argv);
        X11DisplayFixture::SetUp();
    }
    void TearDown() override {
        X11DisplayFixture::TearDown();
        app.reset();
    }

    void listen() {
        windows->setChangeListener([this](WindowHandle window) {
            ++notified;
            heard.push_back(window);
        });
    }
    // Forgets what was heard so far.
    void quiet() {
        notified = 0;
        heard.clear();
    }
    std::set<WindowHandle> heardSet() const { return {heard.begin(), heard.end()}; }
    long heardCount(WindowHandle window) const {
        return std::count(heard.begin(), heard.end(), window);
    }
    // A question that goes to the server and back: every event the server sent before its
    // answer has been read, and the listener has heard of it, when it returns.
    void barrier() { windows->GetClassName(windows->rootWindow()); }
    // Two of them: the windows the first one's events made the backend watch are watched
    // by the server too (its request has been processed), before the window maker, another
    // client, changes them.
    void settle() {
        barrier();
        barrier();
    }

    int notified = 0;
    std::vector<WindowHandle> heard;

private:
    int argc = 1;
    char name[12] = "change-test";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
};

struct ChangeCase {
    const char* name;
    std::vector<std::string> change;
    bool reported;
};

TEST_P(X11ChangeTest, ReportsTitleChangesOfKnownWindowsAndNothingElse) {
    const std::vector<ChangeCase> cases = {
        {"_NET_WM_NAME", {"name=a new title"}, true},
        {"WM_NAME", {"wmname=a new title"}, true},
        {"both titles at once", {"name=both", "wmname=both"}, true},
        {"WM_NAME as UTF-8", {"wmname-utf8=标题"}, true},
        {"class", {"class=other,Other"}, false},
        {"process id", {"pid=4321"}, false},
        {"another property", {"raw=_SENTINEL_TEST:STRING:8:4142"}, false},
        // Shown or hidden: a manager may list a client before it shows it.
        {"WM_STATE", {"raw=WM_STATE:WM_STATE:32:0100000000000000"}, true},
    };
    listen();
    for (const ChangeCase& c : cases) {
        const uint32_t w = maker->make({"name=calm window"});
        ASSERT_NE(w, 0u) << c.name;
        // Known to the backend and seen as it is now.
        ASSERT_TRUE(find(w)) << c.name;
        barrier();
        notified = 0;
        ASSERT_TRUE(maker->set(w, c.change)) << c.name;
        barrier();
        EXPECT_EQ(notified > 0, c.reported) << c.name;
    }
}

TEST_P(X11ChangeTest, WindowsThereBeforeListeningAreWatchedFromTheStart) {
    const uint32_t w = maker->make({"name=older window"});
    ASSERT_NE(w, 0u);
    listen();
    barrier();
    notified = 0;
    ASSERT_TRUE(maker->set(w, {"name=older window, new title"}));
    barrier();
    EXPECT_GT(notified, 0);
}

TEST_P(X11ChangeTest, ReportsNewTopLevelWindows) {
    listen();
    enumerate();
    barrier();
    notified = 0;
    const uint32_t w = maker->make({"name=new window"});
    ASSERT_NE(w, 0u);
    barrier();
    EXPECT_GT(notified, 0);

    // A window made while no pass looked is watched from its creation: its first title
    // change is reported although no enumeration has seen it yet.
    const uint32_t unseen = maker->make({"name=unseen"});
    ASSERT_NE(unseen, 0u);
    settle();
    notified = 0;
    ASSERT_TRUE(maker->set(unseen, {"name=unseen, retitled"}));
    barrier();
    EXPECT_GT(notified, 0);
}

TEST_P(X11ChangeTest, ChangesAnEnumerationHasSeenAreNotReportedAgain) {
    listen();
    const uint32_t w = maker->make({"name=before"});
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(find(w));
    barrier();
    notified = 0;
    ASSERT_TRUE(maker->set(w, {"name=seen by the next pass"}));
    const auto seen = find(w);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->title, QStringLiteral("seen by the next pass"));
    barrier();
    EXPECT_EQ(notified, 0);
    // One after the enumeration is.
    ASSERT_TRUE(maker->set(w, {"name=after the pass"}));
    barrier();
    EXPECT_GT(notified, 0);
}

TEST_P(X11ChangeTest, AnEmptyListenerStopsTheReports) {
    const uint32_t w = maker->make({"name=watched"});
    ASSERT_NE(w, 0u);
    listen();
    windows->setChangeListener({});
    barrier();
    notified = 0;
    ASSERT_TRUE(maker->set(w, {"name=changed unheard"}));
    ASSERT_NE(maker->make({"name=made unheard"}), 0u);
    barrier();
    EXPECT_EQ(notified, 0);
    // The backend goes on enumerating, and can listen again.
    EXPECT_TRUE(find(w));
    listen();
    barrier();
    notified = 0;
    ASSERT_TRUE(maker->set(w, {"name=heard again"}));
    barrier();
    EXPECT_GT(notified, 0);
}

TEST_P(X11ChangeTest, ChangesReachTheListenerThroughTheEventLoop) {
    const uint32_t w = maker->make({"name=quiet"});
    ASSERT_NE(w, 0u);
    listen();
    barrier();
    notified = 0;
    ASSERT_TRUE(maker->set(w, {"name=loud"}));
    // No call into the backend: only its socket notifier can bring the change.
    EXPECT_TRUE(QTest::qWaitFor([this] { return notified > 0; }, 10000));
}

TEST_P(X11ChangeTest, NamesTheWindowThatWasRetitledOncePerBatch) {
    const uint32_t w = maker->make({"name=plain"});
    const uint32_t other = maker->make({"name=bystander"});
    ASSERT_NE(w, 0u);
    ASSERT_NE(other, 0u);
    listen();
    enumerate();
    settle();
    quiet();
    // Both changes reach the backend's socket before it reads any: one batch.
    ASSERT_TRUE(maker->set(w, {"name=first"}));
    ASSERT_TRUE(maker->set(w, {"wmname=second"}));
    barrier();
    EXPECT_EQ(heard, std::vector<WindowHandle>{w});
    // The next batch names it again.
    ASSERT_TRUE(maker->set(w, {"name=third"}));
    barrier();
    EXPECT_EQ(heard, (std::vector<WindowHandle>{w, w}));
}

TEST_P(X11ChangeTest, NamesANewWindowAndNoOther) {
    const uint32_t old = maker->make({"name=old"});
    ASSERT_NE(old, 0u);
    listen();
    enumerate();
    settle();
    quiet();
    const uint32_t w = maker->make({"name=new arrival"});
    ASSERT_NE(w, 0u);
    settle();
    EXPECT_EQ(heardSet(), std::set<WindowHandle>{w});
    // Its end adds nothing to the list of clients: nothing to name.
    quiet();
    ASSERT_TRUE(maker->destroy(w));
    settle();
    EXPECT_EQ(heardSet(), std::set<WindowHandle>{});
    // The same handle as an enumeration gives.
    const uint32_t next = maker->make({"name=next"});
    ASSERT_NE(next, 0u);
    settle();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_TRUE(find(heard.front()));
}

TEST_P(X11ChangeTest, ManyNewClientsAtOnceAreEachNamed) {
    listen();
    enumerate();
    settle();
    quiet();
    std::set<WindowHandle> made;
    for (int i = 0; i < 8; ++i) {
        const uint32_t w = maker->make({"name=crowd " + std::to_string(i)});
        ASSERT_NE(w, 0u);
        made.insert(w);
    }
    settle();
    EXPECT_EQ(heardSet(), made);
}

TEST_P(X11ChangeTest, ATitleSetBeforeTheWindowIsListedIsNamedWhenItIs) {
    listen();
    enumerate();
    const uint32_t w = maker->make({"name=hidden", "map=0"});
    ASSERT_NE(w, 0u);
    settle();
    quiet();
    ASSERT_TRUE(maker->set(w, {"name=retitled while hidden"}));
    settle();
    // Without a manager the root's unmapped child is a top-level window already; with one,
    // it is none of its clients yet.
    EXPECT_EQ(heardCount(w) > 0, !withManager());
    quiet();
    ASSERT_TRUE(maker->set(w, {"show=1"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return heardCount(w) > 0; }, 10000));
    const auto seen = find(w);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->title, QStringLiteral("retitled while hidden"));
    EXPECT_EQ(heardCount(WindowSystem::kSomeWindow), 0);
}

TEST_P(X11ChangeTest, OnlyAManagerComingOrGoingCannotBeNamed) {
    const uint32_t w = maker->make({"name=steady"});
    ASSERT_NE(w, 0u);
    listen();
    enumerate();
    settle();
    quiet();
    ASSERT_TRUE(maker->set(w, {"name=steady, retitled"}));
    ASSERT_NE(maker->make({"name=another"}), 0u);
    settle();
    EXPECT_EQ(heardCount(WindowSystem::kSomeWindow), 0);
    quiet();
    // The root's manager check, as a manager sets or drops it.
    ASSERT_TRUE(
        maker->set(windows->rootWindow(), {"raw=_NET_SUPPORTING_WM_CHECK:WINDOW:32:00000000"}));
    barrier();
    EXPECT_EQ(heard, std::vector<WindowHandle>{WindowSystem::kSomeWindow});
}

INSTANTIATE_TEST_SUITE_P(Display, X11ChangeTest, ::testing::Values(false, true), managerName);

// A lost display while listening: one report of the loss, and an event loop that waits
// again instead of spinning on the dead socket.
TEST(X11ChangeLoss, ALostDisplayIsReportedOnceAndTheLoopGoesQuiet) {
    int argc = 1;
    char name[] = "loss-test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    auto server = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server->ok());
    auto windows = X11WindowSystem::open(QByteArray::fromStdString(server->display()));
    ASSERT_TRUE(windows);
    int lost = 0;
    int notified = 0;
    windows->setConnectionLostHandler([&] { ++lost; });
    windows->setChangeListener([&](WindowHandle) { ++notified; });
    server.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lost > 0; }, 10000));

    // 300 ms of the event loop with only a timer to end it.
    bool over = false;
    QTimer::singleShot(300, [&] { over = true; });
    int turns = 0;
    while (!over) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++turns;
    }
    EXPECT_LT(turns, 50);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(notified, 0);
    windows->setChangeListener({});
}

} // namespace
