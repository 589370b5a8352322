// Ending the program through the window manager: the exit question, No that keeps it, and
// Yes that ends it with nothing left patrolling.
#include "e2e/Journey.h"

#include <QFile>

namespace {

class Exit : public Journey {};

TEST_F(Exit, TheWindowManagersCloseAsksAndOnlyYesEnds) {
    writeKeyList(kListHeader + QByteArray("forbidden\r\n"));
    ChildProcess sentinel;
    start(sentinel);
    const quint32 pid = static_cast<quint32>(sentinel.pid());
    const auto main = waitForWindow(kMainCaption, pid);
    ASSERT_TRUE(main) << "the main window did not appear";
    // What a close request saves is the list as it stands, not this file.
    ASSERT_TRUE(QFile::remove(program.keyListPath()));

    // Alt+F4 is openbox's close.
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->keys({"alt+F4"}));
    auto question = waitForWindow(kQuestionCaption, pid);
    ASSERT_TRUE(question) << "the close asked nothing";
    screenshot(QStringLiteral("e2e-exit-question.png"));
    // The list was saved before the question.
    EXPECT_EQ(readKeyList(), kListHeader + QByteArray("forbidden\r\n"));

    // "否(N)": the program stays as it was, and goes on guarding.
    ASSERT_TRUE(input->keys({"n"}));
    ASSERT_TRUE(waitGone(question->window));
    EXPECT_TRUE(sentinel.running());
    EXPECT_TRUE(probe->managed(main->window));
    {
        ChildProcess target;
        const qint64 ms =
            timeToClose([&] { startXmessage(target, QStringLiteral("forbidden while it stays")); });
        EXPECT_GE(ms, 0);
        EXPECT_LE(ms, 1000);
    }

    // The frame's close button, with the mouse, then "是(Y)".
    const QRect client = probe->clientArea(main->window);
    const QRect frame = probe->frameArea(main->window);
    ASSERT_GT(client.top(), frame.top()) << "the window has no title bar";
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->click(QPoint(frame.right() - 12, (frame.top() + client.top()) / 2)));
    question = waitForWindow(kQuestionCaption, pid);
    ASSERT_TRUE(question) << "the close button asked nothing";
    ASSERT_TRUE(input->keys({"y"}));
    ASSERT_TRUE(sentinel.waitFor(10000)) << "Yes did not end the program";
    EXPECT_EQ(sentinel.exitCode(), 0);

    // Nothing keeps patrolling: no copy of the program runs, and a window with a keyword
    // stays.
    EXPECT_TRUE(runningCopies().empty());
    ChildProcess target;
    startXmessage(target, QStringLiteral("forbidden after the end"));
    const auto after = waitForWindow(QStringLiteral("forbidden after the end"));
    ASSERT_TRUE(after);
    EXPECT_TRUE(holdsFor([&] { return probe->managed(after->window); }, 2000));
}

} // namespace
