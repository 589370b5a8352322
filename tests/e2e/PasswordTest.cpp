// A password set through "密码设置" guards the next start: a wrong one is refused with a
// message, the right one opens the main window.
#include "e2e/Journey.h"

#include <QFile>

namespace {

class Password : public Journey {};

TEST_F(Password, SetThroughTheButtonItGuardsTheNextStart) {
    const QString password = QStringLiteral("Secret12");
    ChildProcess first;
    start(first);
    const quint32 firstPid = static_cast<quint32>(first.pid());
    const auto main = waitForWindow(kMainCaption, firstPid);
    ASSERT_TRUE(main) << "the main window did not appear";

    // From the list: "添加关键字", the keyword box, "修改关键字", "密码设置".
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->keys({"Tab", "Tab", "Tab", "Tab", "Return"}));
    const auto setPassword = waitForWindow(kSetPasswordCaption, firstPid);
    ASSERT_TRUE(setPassword) << "the set-password dialog did not appear";
    // No password yet: the focus starts in the new password; then its confirmation and
    // the hint. Enter presses "确认".
    ASSERT_TRUE(input->type(password));
    ASSERT_TRUE(input->keys({"Tab"}));
    ASSERT_TRUE(input->type(password));
    ASSERT_TRUE(input->keys({"Tab"}));
    ASSERT_TRUE(input->type(QStringLiteral("猫的名字")));
    ASSERT_TRUE(input->keys({"Return"}));
    ASSERT_TRUE(waitGone(setPassword->window)) << "the password was not taken";
    EXPECT_FALSE(waitForWindow(kMessageCaption, firstPid, 0));

    // The settings file is the user's alone, and holds no password in clear.
    QFile settings(env.configHome() + QStringLiteral("/sentinel/settings.ini"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_FALSE(settings.readAll().contains(password.toLatin1()));

    // Exit, and start again.
    ASSERT_TRUE(input->activate(main->window));
    ASSERT_TRUE(input->keys({"alt+F4"}));
    ASSERT_TRUE(waitForWindow(kQuestionCaption, firstPid));
    ASSERT_TRUE(input->keys({"y"}));
    ASSERT_TRUE(first.waitFor(10000));

    ChildProcess second;
    start(second);
    const quint32 secondPid = static_cast<quint32>(second.pid());
    const auto login = waitForWindow(kLoginCaption, secondPid);
    ASSERT_TRUE(login) << "no login dialog";
    EXPECT_FALSE(waitForWindow(kMainCaption, 0, 0));

    // The wrong case is a wrong password.
    ASSERT_TRUE(input->activate(login->window));
    ASSERT_TRUE(input->type(QStringLiteral("secret12")));
    ASSERT_TRUE(input->keys({"Return"}));
    const auto wrong = waitForWindow(kMessageCaption, secondPid);
    ASSERT_TRUE(wrong) << "no message for a wrong password";
    screenshot(QStringLiteral("e2e-wrong-password.png"));
    ASSERT_TRUE(input->keys({"Return"}));
    ASSERT_TRUE(waitGone(wrong->window));
    EXPECT_TRUE(probe->managed(login->window));
    EXPECT_FALSE(waitForWindow(kMainCaption, 0, 0));

    // The right one: the login goes and the main window comes.
    ASSERT_TRUE(input->activate(login->window));
    ASSERT_TRUE(input->type(password));
    ASSERT_TRUE(input->keys({"Return"}));
    EXPECT_TRUE(waitForWindow(kMainCaption, secondPid)) << "the right password did not open";
    EXPECT_TRUE(waitGone(login->window));
    EXPECT_TRUE(second.running());
}

} // namespace
