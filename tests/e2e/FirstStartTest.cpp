// The first start on a machine: no list yet; two keywords typed in, the window hidden, and
// the list on disk exactly as the list file format has it.
#include "e2e/Journey.h"

#include <QFile>

namespace {

class FirstStart : public Journey {};

TEST_F(FirstStart, TwoKeywordsTypedInAreOnDiskAfterHiding) {
    ASSERT_FALSE(QFile::exists(program.keyListPath()));
    ChildProcess sentinel;
    start(sentinel);
    const auto main = waitForWindow(kMainCaption);
    ASSERT_TRUE(main) << "the main window did not appear";
    // Loading writes nothing.
    EXPECT_FALSE(QFile::exists(program.keyListPath()));

    // The list has the focus: Tab to "添加关键字", Tab to the keyword box. Enter there
    // presses "添加关键字", which empties the box and leaves the focus in it.
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->keys({"Tab", "Tab"}));
    ASSERT_TRUE(input->type(QStringLiteral("forbidden")));
    ASSERT_TRUE(input->keys({"Return"}));
    ASSERT_TRUE(input->type(QStringLiteral("色情网站")));
    ASSERT_TRUE(input->keys({"Return"}));
    screenshot(QStringLiteral("e2e-first-start.png"));

    // From the keyword box: "修改关键字", "密码设置", "导出列表", "导入列表", "隐藏".
    ASSERT_TRUE(input->keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Return"}));
    ASSERT_TRUE(waitGone(main->window)) << "the main window did not hide";
    EXPECT_TRUE(shownOf(static_cast<quint32>(sentinel.pid())).empty());
    EXPECT_TRUE(sentinel.running());
    // The header and the two keywords in code page 936, each line ending CR LF.
    EXPECT_EQ(readKeyList(), kListHeader + QByteArray("forbidden\r\n"
                                                      "\xc9\xab\xc7\xe9\xcd\xf8\xd5\xbe\r\n"));
}

} // namespace
