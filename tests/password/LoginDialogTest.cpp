#include "ModalDriver.h"

#include "common/AppInfo.h"
#include "password/CLogin.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kExeDir = QString::fromUtf8("/opt/墨枫/bin");

struct Message {
    QString text;
    QString caption;
    bool operator==(const Message&) const = default;
};

void PrintTo(const Message& m, std::ostream* os) {
    *os << m.text.toStdString() << " | " << m.caption.toStdString();
}

std::vector<Message> messagesOf(const ScriptedPrompts& prompts) {
    std::vector<Message> out;
    for (const auto& asked : prompts.asked()) {
        EXPECT_EQ(asked.kind, ScriptedPrompts::Asked::Message);
        EXPECT_EQ(asked.style, Msg::OkOnly) << "only an OK button, no icon";
        out.push_back({asked.text, asked.caption});
    }
    return out;
}

template <typename T> T* child(QDialog& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

class LoginTest : public ::testing::Test {
protected:
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    LoginContext context{store, prompts, AppInfo(QtText::fromQ(kExeDir), u"sentinel")};

    // Settings as an earlier run left them; the spelling of section and key differs on
    // purpose from the reads.
    void givenPassword(const QString& password) {
        store.SaveSetting(QtText::toQ(AppInfo::title()), QStringLiteral("LGPW"),
                          QStringLiteral("endoor"), *PassTransform::EncodePass(password));
    }
    void givenHint(const QString& hint) {
        store.SaveSetting(kExeDir, QStringLiteral("lgpw"), QStringLiteral("Tip"), hint);
    }
};

struct Step {
    enum Kind { TypeEnter, TypeOk, Tip, Cancel, CloseBox, Escape } kind;
    QString text = {};
};

// Performs one step in the login dialog; returns whether the dialog is still open.
bool perform(QDialog& dialog, const Step& step) {
    auto* box = child<QLineEdit>(dialog, "Mima_Text");
    // The user clicks into the box before typing: a button clicked before keeps the focus
    // otherwise, and Enter would press that button.
    if (step.kind == Step::TypeEnter || step.kind == Step::TypeOk) {
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(QApplication::focusWidget(), box);
    }
    switch (step.kind) {
    case Step::TypeEnter:
        ModalDriver::typeText(box, step.text);
        EXPECT_EQ(box->text(), step.text);
        QTest::keyClick(box, Qt::Key_Return);
        break;
    case Step::TypeOk:
        ModalDriver::typeText(box, step.text);
        QTest::mouseClick(child<QPushButton>(dialog, "Ok_cmd"), Qt::LeftButton);
        break;
    case Step::Tip:
        QTest::mouseClick(child<QPushButton>(dialog, "cmdTip"), Qt::LeftButton);
        break;
    case Step::Cancel:
        QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
        break;
    case Step::CloseBox:
        dialog.close();
        break;
    case Step::Escape:
        QTest::keyClick(box, Qt::Key_Escape);
        break;
    }
    return dialog.isVisible();
}

struct LoginCase {
    const char* name;
    QString password; // empty: none set
    QString hint;
    std::vector<Step> steps; // empty: the dialog must close by itself
    bool granted;
    std::vector<Message> messages;
};

TEST_F(LoginTest, LoginTable) {
    const QString title = QtText::toQ(AppInfo::title());
    const Message wrong{QStringLiteral("密码错误"), title};
    const QString hint = QString::fromUtf8("猫的名字 + 生日");
    const std::vector<LoginCase> cases = {
        {"no password", "", "", {}, true, {}},
        {"no password, a hint stored", "", hint, {}, true, {}},
        {"right password, Enter", "Secret1", "", {{Step::TypeEnter, "Secret1"}}, true, {}},
        {"right password, OK button", "Secret1", "", {{Step::TypeOk, "Secret1"}}, true, {}},
        {"hint shown under its own caption",
         "Secret1",
         hint,
         {{Step::Tip}, {Step::Tip}, {Step::TypeEnter, "Secret1"}},
         true,
         {{hint, QStringLiteral("提示")}, {hint, QStringLiteral("提示")}}},
        {"wrong, empty, then right",
         "Secret1",
         "",
         {{Step::TypeEnter, "Secret2"}, {Step::TypeOk, ""}, {Step::TypeEnter, "Secret1"}},
         true,
         {wrong, wrong}},
        {"wrong case",
         "Secret1",
         "",
         {{Step::TypeEnter, "SECRET1"}, {Step::Cancel}},
         false,
         {wrong}},
        {"case of the 8th character",
         "Password",
         "",
         {{Step::TypeEnter, "PassworD"}, {Step::Cancel}},
         false,
         {wrong}},
        {"first seven characters of a longer password",
         "Password123",
         "",
         {{Step::TypeEnter, "Passwor"}, {Step::Cancel}},
         false,
         {wrong}},
        {"outside the transform's domain",
         "abc",
         "",
         {{Step::TypeEnter, QString::fromUtf8("密码")}, {Step::Cancel}},
         false,
         {wrong}},
        {"cancel after wrong attempts",
         "Secret1",
         hint,
         {{Step::TypeEnter, "a"}, {Step::TypeEnter, "b"}, {Step::TypeEnter, "c"}, {Step::Cancel}},
         false,
         {wrong, wrong, wrong}},
        {"close box after wrong attempts",
         "Secret1",
         "",
         {{Step::TypeEnter, "x"}, {Step::TypeOk, "y"}, {Step::CloseBox}},
         false,
         {wrong, wrong}},
        {"cancel at once", "Secret1", "", {{Step::Cancel}}, false, {}},
        {"escape", "Secret1", "", {{Step::Escape}}, false, {}},
    };
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore fresh;
        ScriptedPrompts freshPrompts;
        LoginContext ctx(fresh, freshPrompts, AppInfo(QtText::fromQ(kExeDir), u"sentinel"));
        if (!c.password.isEmpty())
            fresh.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor",
                              *PassTransform::EncodePass(c.password));
        fresh.SaveSetting(kExeDir, "lgpw", "Tip", c.hint);
        const int writesBefore = fresh.writeCount();

        bool tipEnabled = false;
        ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
            tipEnabled = child<QPushButton>(dialog, "cmdTip")->isEnabled();
            for (size_t i = 0; i < c.steps.size(); ++i) {
                const bool open = perform(dialog, c.steps[i]);
                const bool last = i + 1 == c.steps.size();
                ASSERT_EQ(open, !last) << "after step " << i;
                if (open) {
                    EXPECT_TRUE(child<QLineEdit>(dialog, "Mima_Text")->text().isEmpty())
                        << "a wrong password empties the box";
                }
            }
        });
        const bool granted = CLogin(ctx).Pass();

        EXPECT_EQ(granted, c.granted);
        EXPECT_EQ(driver.ran(), !c.steps.empty()) << "the user is asked only with a password";
        EXPECT_EQ(driver.dialog(), nullptr) << "the dialog is destroyed after the call";
        EXPECT_EQ(ctx.openLogin(), nullptr);
        if (driver.ran()) {
            EXPECT_EQ(tipEnabled, !c.hint.isEmpty());
        }
        EXPECT_EQ(messagesOf(freshPrompts), c.messages);
        EXPECT_EQ(fresh.writeCount(), writesBefore) << "the login writes nothing";
    }
}

TEST_F(LoginTest, WindowLayout) {
    givenPassword("pw");
    ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("登录"));
        EXPECT_EQ(dialog.size(), QSize(209, 87)); // 3135 x 1305 twips
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
        const Qt::WindowFlags flags = dialog.windowFlags();
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_EQ(dialog.parentWidget(), nullptr) << "no owner";
        EXPECT_TRUE(dialog.isModal());
        // No icon: a transparent one, so the application's icon does not show either.
        const QImage icon = dialog.windowIcon().pixmap(16, 16).toImage();
        ASSERT_FALSE(icon.isNull());
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                ASSERT_EQ(qAlpha(icon.pixel(x, y)), 0);

        auto* box = child<QLineEdit>(dialog, "Mima_Text");
        auto* ok = child<QPushButton>(dialog, "Ok_cmd");
        auto* tip = child<QPushButton>(dialog, "cmdTip");
        auto* cancel = child<QPushButton>(dialog, "cmdCancel");
        EXPECT_EQ(box->geometry(), QRect(57, 15, 127, 19));
        EXPECT_EQ(ok->geometry(), QRect(9, 51, 55, 22));
        EXPECT_EQ(tip->geometry(), QRect(75, 51, 55, 22));
        EXPECT_EQ(cancel->geometry(), QRect(144, 51, 55, 22));
        EXPECT_EQ(ok->text(), QStringLiteral("确定"));
        EXPECT_EQ(tip->text(), QStringLiteral("提示"));
        EXPECT_EQ(cancel->text(), QStringLiteral("取消"));
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels[0]->text(), QStringLiteral("密码："));
        EXPECT_EQ(labels[0]->geometry(), QRect(12, 18, 43, 16));
        EXPECT_TRUE(ok->isDefault());

        EXPECT_EQ(QApplication::focusWidget(), box) << "focus starts in the password box";
        ModalDriver::typeText(box, "abc");
        EXPECT_EQ(box->displayText(), QStringLiteral("***"));
        EXPECT_EQ(box->maxLength(), 32767) << "no limit of our own";
        // Tab order: the box, OK, Cancel, the hint button.
        EXPECT_EQ(box->nextInFocusChain(), ok);
        EXPECT_EQ(ok->nextInFocusChain(), cancel);
        EXPECT_EQ(cancel->nextInFocusChain(), tip);
        dialog.reject();
    });
    EXPECT_FALSE(CLogin(context).Pass());
    EXPECT_TRUE(driver.ran());
}

// Every call builds its dialog anew: an empty box and, once a hint exists, an enabled hint
// button, although the previous dialog had disabled it.
TEST_F(LoginTest, EachCallGetsAFreshDialog) {
    givenPassword("Secret1");
    QDialog* first = nullptr;
    {
        ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
            first = &dialog;
            EXPECT_FALSE(child<QPushButton>(dialog, "cmdTip")->isEnabled());
            ModalDriver::typeText(child<QLineEdit>(dialog, "Mima_Text"), "half typed");
            dialog.close();
        });
        EXPECT_FALSE(CLogin(context).Pass());
        EXPECT_TRUE(driver.ran());
    }
    givenHint(QStringLiteral("now there is one"));
    ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
        EXPECT_TRUE(child<QLineEdit>(dialog, "Mima_Text")->text().isEmpty());
        EXPECT_TRUE(child<QPushButton>(dialog, "cmdTip")->isEnabled());
        perform(dialog, {Step::TypeEnter, "Secret1"});
    });
    EXPECT_TRUE(CLogin(context).Pass());
    EXPECT_TRUE(driver.ran());
    EXPECT_TRUE(QApplication::topLevelWidgets().indexOf(reinterpret_cast<QWidget*>(first)) < 0);
}

// The settings are read when needed, not when the dialog was made: a hint removed while the
// dialog is open shows as empty, and a password changed meanwhile is the one checked.
TEST_F(LoginTest, SettingsReadAtEachUse) {
    givenPassword("old one");
    givenHint("first hint");
    ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
        givenHint("second hint");
        perform(dialog, {Step::Tip});
        givenPassword("new one");
        EXPECT_TRUE(perform(dialog, {Step::TypeEnter, "old one"}));
        perform(dialog, {Step::TypeEnter, "new one"});
    });
    EXPECT_TRUE(CLogin(context).Pass());
    const std::vector<Message> expected = {
        {"second hint", QStringLiteral("提示")},
        {QStringLiteral("密码错误"), QtText::toQ(AppInfo::title())}};
    EXPECT_EQ(messagesOf(prompts), expected);
}

// A second request to pass the gate while the login dialog shows (a wake-up during the
// start-up login) brings that dialog to the front and is refused; no second dialog opens.
TEST_F(LoginTest, SecondRequestWhileOpenIsRefusedAndRaisesTheOpenDialog) {
    givenPassword("Secret1");
    bool secondResult = true;
    int loginDialogs = 0;
    ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
        QWidget other;
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        // Should a second dialog open after all, close it, so the test fails instead of
        // waiting for ever.
        bool secondDialogShown = false;
        ModalDriver guard(QStringLiteral("frmPassword"), [&](QDialog& shown) {
            if (&shown != &dialog) {
                secondDialogShown = true;
                shown.reject();
            }
        });
        guard.allowLeftOpen();
        secondResult = CLogin(context).Pass();
        EXPECT_FALSE(secondDialogShown);
        for (QWidget* w : QApplication::topLevelWidgets())
            loginDialogs += w->objectName() == QStringLiteral("frmPassword") ? 1 : 0;
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog)) << "brought to the front";
        EXPECT_TRUE(dialog.isVisible());
        other.hide();
        perform(dialog, {Step::TypeEnter, "Secret1"});
    });
    EXPECT_TRUE(CLogin(context).Pass()) << "the first request still gets its answer";
    EXPECT_FALSE(secondResult);
    EXPECT_EQ(loginDialogs, 1);
    EXPECT_TRUE(prompts.asked().isEmpty());
}

} // namespace
