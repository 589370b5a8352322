// The guard at work among real programs: terminals and message windows whose titles carry
// a keyword go within a second, also when the keyword comes into a title later; the
// others stay.
#include "e2e/Journey.h"
#include "e2e/WindowWatch.h"

#include <cstdio>

namespace {

// "forbidden" and "色情" in code page 936.
const QByteArray kKeywords = QByteArray("forbidden\r\n"
                                        "\xc9\xab\xc7\xe9\r\n");

class Patrol : public Journey {};

TEST_F(Patrol, WindowsWithAKeywordCloseWithinASecondAndTheOthersStay) {
    writeKeyList(kListHeader + kKeywords);
    ChildProcess sentinel;
    start(sentinel);
    const auto main = waitForWindow(kMainCaption);
    ASSERT_TRUE(main) << "the main window did not appear";

    // Bystanders, and a terminal whose title changes when Enter is pressed in it.
    ChildProcess quietTerminal, quietNote, changing;
    startXterm(quietTerminal, QStringLiteral("quiet terminal"));
    startXmessage(quietNote, QStringLiteral("quiet note"));
    startXterm(changing, QStringLiteral("plain shell"),
               {"sh", "-c", "read line; printf '\\033]2;%s\\007' 'now forbidden'; exec sleep 600"});
    const auto terminal = waitForWindow(QStringLiteral("quiet terminal"));
    const auto note = waitForWindow(QStringLiteral("quiet note"));
    const auto shell = waitForWindow(QStringLiteral("plain shell"));
    ASSERT_TRUE(terminal && note && shell);

    struct Target {
        const char* what;
        std::function<void(ChildProcess&)> start;
    };
    const std::vector<Target> targets = {
        {"xterm, Latin keyword",
         [&](ChildProcess& p) { startXterm(p, QStringLiteral("a forbidden page")); }},
        // The shell in it names the terminal at once, as a prompt or an editor does.
        {"xterm, Chinese keyword",
         [&](ChildProcess& p) {
             startXterm(p, QStringLiteral("starting"),
                        {"sh", "-c", "printf '\\033]2;%s\\007' '一个色情网页'; exec sleep 600"});
         }},
        {"xmessage, Latin keyword",
         [&](ChildProcess& p) { startXmessage(p, QStringLiteral("forbidden note")); }},
    };
    for (const Target& target : targets) {
        SCOPED_TRACE(target.what);
        ChildProcess p;
        const qint64 ms = timeToClose([&] { target.start(p); });
        std::printf("%s: closed %lld ms after it showed\n", target.what,
                    static_cast<long long>(ms));
        EXPECT_GE(ms, 0) << (ms == -2 ? "it never showed" : "it did not close");
        EXPECT_LE(ms, 1000);
        // The program itself ends, as when its user closes it.
        EXPECT_TRUE(p.waitFor(10000));
    }

    // The plain shell was left alone all along; now its own program puts a keyword in its
    // title.
    ASSERT_TRUE(probe->managed(shell->window));
    ASSERT_TRUE(input->activate(shell->window));
    WindowWatch watch(display.display());
    watch.watchTitle(shell->window);
    ASSERT_TRUE(input->keys({"Return"}));
    const std::optional<uint32_t> changed = watch.nextTitleChange(shell->window, 10000);
    ASSERT_TRUE(changed) << "the title did not change";
    const std::optional<uint32_t> gone = watch.nextGone(shell->window, 10000);
    ASSERT_TRUE(gone) << "the window did not close";
    const qint64 ms = static_cast<qint64>(*gone - *changed);
    std::printf("title changed to a keyword: closed %lld ms after the change\n",
                static_cast<long long>(ms));
    EXPECT_GE(ms, 0);
    EXPECT_LE(ms, 1000);

    // The bystanders stayed through all of it, and so did the guard.
    screenshot(QStringLiteral("e2e-patrol.png"));
    EXPECT_TRUE(probe->managed(terminal->window));
    EXPECT_TRUE(probe->managed(note->window));
    EXPECT_TRUE(quietTerminal.running());
    EXPECT_TRUE(quietNote.running());
    EXPECT_TRUE(probe->managed(main->window));
    EXPECT_TRUE(sentinel.running());
}

// An X toolkit program given a title on its command line in a UTF-8 locale publishes it
// only as COMPOUND_TEXT, where most Han characters come as JIS X 0208 segments.
TEST_F(Patrol, ChineseTitleGivenOnTheCommandLineCloses) {
    writeKeyList(kListHeader + kKeywords);
    ChildProcess sentinel;
    start(sentinel);
    ASSERT_TRUE(waitForWindow(kMainCaption));
    ChildProcess target;
    const qint64 ms = timeToClose([&] { startXterm(target, QStringLiteral("一个色情网页")); });
    EXPECT_GE(ms, 0) << (ms == -2 ? "it never showed" : "it did not close");
    EXPECT_LE(ms, 1000);
}

} // namespace
