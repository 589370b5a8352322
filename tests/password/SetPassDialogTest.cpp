#include "ModalDriver.h"

#include "common/AppInfo.h"
#include "password/CLogin.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "password/frmSetPass.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString kExeDir = QString::fromUtf8("/home/用户/sentinel");

template <typename T> T* child(QDialog& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

QString storedForm(MemorySettingsStore& store) {
    return store.GetSetting(QtText::toQ(AppInfo::title()), QStringLiteral("lgpw"),
                            QStringLiteral("endoor"));
}

QString hint(MemorySettingsStore& store) {
    return store.GetSetting(kExeDir, QStringLiteral("LGPW"), QStringLiteral("tip"));
}

// One press of a button after filling the boxes, and what the dialog shows afterwards.
struct Attempt {
    QString oldPass, newPass, newPass2, tip;
    enum Button { Ok, Cancel, CloseBox } button = Ok;
    QString message = {}; // the one message expected, or none
    // After a failed OK: the boxes' texts and the focus.
    QString oldAfter = {}, newAfter = {}, new2After = {};
    const char* focusAfter = nullptr;
};

// Fills the boxes (a disabled box cannot be typed into and is left alone) and presses.
void perform(QDialog& dialog, const Attempt& a) {
    const std::pair<const char*, QString> boxes[] = {{"OldPass", a.oldPass},
                                                     {"NewPass", a.newPass},
                                                     {"NewPass2", a.newPass2},
                                                     {"txtTip", a.tip}};
    for (const auto& [name, text] : boxes) {
        auto* box = child<QLineEdit>(dialog, name);
        if (!box->isEnabled())
            continue;
        box->setFocus();
        ModalDriver::typeText(box, text);
        EXPECT_EQ(box->text(), text) << name;
    }
    switch (a.button) {
    case Attempt::Ok:
        QTest::mouseClick(child<QPushButton>(dialog, "Ok_cmd"), Qt::LeftButton);
        break;
    case Attempt::Cancel:
        QTest::mouseClick(child<QPushButton>(dialog, "Cancel_cmd"), Qt::LeftButton);
        break;
    case Attempt::CloseBox:
        dialog.close();
        break;
    }
}

// Passes the gate with one typed password, Enter; a refused one is followed by Cancel.
// Returns the gate's answer and whether the hint button was enabled.
std::pair<bool, bool> login(LoginContext& context, const QString& typed) {
    bool tipEnabled = false;
    ModalDriver driver(QStringLiteral("frmPassword"), [&](QDialog& dialog) {
        tipEnabled = child<QPushButton>(dialog, "cmdTip")->isEnabled();
        auto* box = child<QLineEdit>(dialog, "Mima_Text");
        ModalDriver::typeText(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
        if (dialog.isVisible())
            QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    });
    const bool granted = CLogin(context).Pass();
    return {granted, tipEnabled};
}

struct SetPassCase {
    const char* name;
    QString password; // set before; empty: none
    QString hintBefore;
    std::vector<Attempt> attempts;      // the last one closes the dialog
    std::optional<QString> newPassword; // the password set at the end; none: nothing written
    QString hintAfter;
    // Logins tried afterwards, with the answer expected.
    std::vector<std::pair<QString, bool>> logins = {};
    bool tipEnabledAfter = false;
};

TEST(SetPassDialog, SetPassTable) {
    const QString wrongOld = QStringLiteral("原密码错误");
    const QString differ = QStringLiteral("两次输入的密码不同");
    const QString domain = QStringLiteral("密码只能包含英文字母、数字和符号");
    const QString chinese = QString::fromUtf8("密码");
    const std::vector<SetPassCase> cases = {
        {"first use",
         "",
         "",
         {{"", "Secret1", "Secret1", "my hint"}},
         QStringLiteral("Secret1"),
         "my hint",
         {{"Secret1", true}, {"secret1", false}},
         true},
        {"change with the right old password",
         "Old pass",
         "old hint",
         {{"Old pass", "New pass 2", "New pass 2", "new hint"}},
         QStringLiteral("New pass 2"),
         "new hint",
         {{"New pass 2", true}, {"Old pass", false}},
         true},
        {"wrong old password, then right",
         "Old pass",
         "",
         {{"old pass", "abc", "abc", "", Attempt::Ok, wrongOld, "", "", "", "OldPass"},
          {"Old pass", "abc", "abc", "t"}},
         QStringLiteral("abc"),
         "t",
         {{"abc", true}},
         true},
        {"empty old password, then cancel",
         "Old pass",
         "keep me",
         {{"", "abc", "abc", "x", Attempt::Ok, wrongOld, "", "", "", "OldPass"},
          {"", "", "", "", Attempt::Cancel}},
         std::nullopt,
         "keep me",
         {{"Old pass", true}},
         true},
        {"differing new entries",
         "Old pass",
         "",
         {{"Old pass", "abc", "abd", "", Attempt::Ok, differ, "Old pass", "", "", "NewPass"},
          {"Old pass", "abc", "abc", ""}},
         QStringLiteral("abc"),
         ""},
        {"entries differing only in case",
         "",
         "",
         {{"", "Secret", "secret", "", Attempt::Ok, differ, "", "", "", "NewPass"},
          {"", "", "", "", Attempt::CloseBox}},
         std::nullopt,
         "",
         {{"", true}}},
        {"empty hint removes an earlier one",
         "Old pass",
         "old hint",
         {{"Old pass", "Old pass", "Old pass", ""}},
         QStringLiteral("Old pass"),
         "",
         {{"Old pass", true}},
         false},
        {"cancel after failures writes nothing",
         "Old pass",
         "h",
         {{"nope", "a", "a", "", Attempt::Ok, wrongOld, "", "", "", "OldPass"},
          {"Old pass", "a", "b", "", Attempt::Ok, differ, "Old pass", "", "", "NewPass"},
          {"", "", "", "", Attempt::Cancel}},
         std::nullopt,
         "h",
         {{"Old pass", true}, {"a", false}},
         true},
        {"close box after failures writes nothing",
         "Old pass",
         "",
         {{"x", "a", "a", "", Attempt::Ok, wrongOld, "", "", "", "OldPass"},
          {"", "", "", "", Attempt::CloseBox}},
         std::nullopt,
         "",
         {{"Old pass", true}}},
        {"empty new password removes the protection",
         "Old pass",
         "old hint",
         {{"Old pass", "", "", "still a hint"}},
         QStringLiteral(""),
         "still a hint",
         {{"", true}}},
        {"new password outside the domain is refused",
         "Old pass",
         "",
         {{"Old pass", chinese, chinese, "", Attempt::Ok, domain, "Old pass", "", "", "NewPass"},
          {"Old pass", "ok now", "ok now", ""}},
         QStringLiteral("ok now"),
         "",
         {{"ok now", true}}},
    };
    for (const SetPassCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore store;
        ScriptedPrompts prompts;
        LoginContext context(store, prompts, AppInfo(QtText::fromQ(kExeDir), u"sentinel"));
        if (!c.password.isEmpty())
            store.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor",
                              *PassTransform::EncodePass(c.password));
        if (!c.hintBefore.isEmpty())
            store.SaveSetting(kExeDir, "lgpw", "Tip", c.hintBefore);
        const QString storedBefore = storedForm(store);
        const int writesBefore = store.writeCount();

        ModalDriver driver(QStringLiteral("frmSetPass"), [&](QDialog& dialog) {
            for (size_t i = 0; i < c.attempts.size(); ++i) {
                SCOPED_TRACE(i);
                const Attempt& a = c.attempts[i];
                const qsizetype asked = prompts.asked().size();
                // What the password boxes hold while the message is open: "原密码错误" comes
                // after all three are emptied, the other messages before the new ones are.
                QStringList duringMessage;
                prompts.whileOpen([&] {
                    for (const char* name : {"OldPass", "NewPass", "NewPass2"})
                        duringMessage << child<QLineEdit>(dialog, name)->text();
                });
                perform(dialog, a);
                const bool last = i + 1 == c.attempts.size();
                ASSERT_EQ(dialog.isVisible(), !last);
                if (a.message.isEmpty()) {
                    EXPECT_EQ(prompts.asked().size(), asked);
                } else {
                    ASSERT_EQ(prompts.asked().size(), asked + 1);
                    const auto& m = prompts.asked().last();
                    EXPECT_EQ(m.text, a.message);
                    EXPECT_EQ(m.style, Msg::OkOnly);
                    EXPECT_EQ(m.caption, QtText::toQ(AppInfo::title()));
                    const QString oldTyped =
                        child<QLineEdit>(dialog, "OldPass")->isEnabled() ? a.oldPass : QString();
                    const QStringList expected = a.message == wrongOld
                                                     ? QStringList{"", "", ""}
                                                     : QStringList{oldTyped, a.newPass, a.newPass2};
                    EXPECT_EQ(duringMessage, expected);
                }
                prompts.whileOpen(nullptr);
                if (a.focusAfter) {
                    EXPECT_EQ(child<QLineEdit>(dialog, "OldPass")->text(), a.oldAfter);
                    EXPECT_EQ(child<QLineEdit>(dialog, "NewPass")->text(), a.newAfter);
                    EXPECT_EQ(child<QLineEdit>(dialog, "NewPass2")->text(), a.new2After);
                    EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(dialog, a.focusAfter));
                    EXPECT_EQ(store.writeCount(), writesBefore)
                        << "a failed attempt writes nothing";
                    // Clear what the next attempt types anew.
                    for (const char* name : {"OldPass", "NewPass", "NewPass2", "txtTip"})
                        child<QLineEdit>(dialog, name)->clear();
                }
            }
        });
        CLogin(context).SetPassword();
        ASSERT_TRUE(driver.ran());
        EXPECT_EQ(driver.dialog(), nullptr) << "destroyed when closed";

        if (c.newPassword) {
            EXPECT_EQ(store.writeCount(), writesBefore + 2) << "the stored form, then the hint";
            EXPECT_EQ(storedForm(store), *PassTransform::EncodePass(*c.newPassword));
        } else {
            EXPECT_EQ(store.writeCount(), writesBefore);
            EXPECT_EQ(storedForm(store), storedBefore);
        }
        EXPECT_EQ(hint(store), c.hintAfter);

        for (const auto& [typed, expected] : c.logins) {
            SCOPED_TRACE(typed.toStdString());
            const auto [granted, tipEnabled] = login(context, typed);
            EXPECT_EQ(granted, expected);
            // A login without a password asks nothing, so its hint button is never seen.
            if (!storedForm(store).isEmpty()) {
                EXPECT_EQ(tipEnabled, c.tipEnabledAfter);
            }
        }
    }
}

// The two settings land exactly where the login reads them: the stored form under the
// application title, the hint under the executable's directory.
TEST(SetPassDialog, WritesTheStoredFormThenTheHint) {
    struct Write {
        QString app, section, key, value;
    };
    class RecordingStore : public MemorySettingsStore {
    public:
        std::vector<Write> writes;
        void SaveSetting(const QString& app, const QString& section, const QString& key,
                         const QString& value) override {
            writes.push_back({app, section, key, value});
            MemorySettingsStore::SaveSetting(app, section, key, value);
        }
    } store;
    ScriptedPrompts prompts;
    LoginContext context(store, prompts, AppInfo(QtText::fromQ(kExeDir), u"sentinel"));
    ModalDriver driver(QStringLiteral("frmSetPass"), [&](QDialog& dialog) {
        perform(dialog, {"", "abc", "abc", QString::fromUtf8("提示文字")});
    });
    CLogin(context).SetPassword();
    ASSERT_EQ(store.writes.size(), 2u);
    EXPECT_EQ(store.writes[0].app, QtText::toQ(AppInfo::title()));
    EXPECT_EQ(store.writes[0].section, QStringLiteral("lgPw"));
    EXPECT_EQ(store.writes[0].key, QStringLiteral("EnDoor"));
    EXPECT_EQ(store.writes[0].value, QStringLiteral("7645A6"));
    EXPECT_EQ(store.writes[1].app, kExeDir);
    EXPECT_EQ(store.writes[1].section, QStringLiteral("lgpw"));
    EXPECT_EQ(store.writes[1].key, QStringLiteral("Tip"));
    EXPECT_EQ(store.writes[1].value, QString::fromUtf8("提示文字"));
}

struct LayoutCase {
    const char* name;
    bool passwordSet;
};

TEST(SetPassDialog, WindowLayout) {
    for (const LayoutCase c :
         {LayoutCase{"no password", false}, LayoutCase{"password set", true}}) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore store;
        ScriptedPrompts prompts;
        LoginContext context(store, prompts, AppInfo(QtText::fromQ(kExeDir), u"sentinel"));
        if (c.passwordSet)
            store.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor", "7645A6");
        store.SaveSetting(kExeDir, "lgpw", "Tip", "an old hint");
        const QColor defaultBase = QLineEdit().palette().color(QPalette::Disabled, QPalette::Base);
        ModalDriver driver(QStringLiteral("frmSetPass"), [&](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("密码设置"));
            EXPECT_EQ(dialog.size(), QSize(256, 180)); // 3840 x 2700 twips
            EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
            EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
            EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
            EXPECT_EQ(dialog.parentWidget(), nullptr);
            EXPECT_TRUE(dialog.isModal());
            const QImage icon = dialog.windowIcon().pixmap(16, 16).toImage();
            ASSERT_FALSE(icon.isNull());
            EXPECT_EQ(qAlpha(icon.pixel(8, 8)), 0) << "no icon";

            auto* oldPass = child<QLineEdit>(dialog, "OldPass");
            auto* newPass = child<QLineEdit>(dialog, "NewPass");
            auto* newPass2 = child<QLineEdit>(dialog, "NewPass2");
            auto* tip = child<QLineEdit>(dialog, "txtTip");
            auto* ok = child<QPushButton>(dialog, "Ok_cmd");
            auto* cancel = child<QPushButton>(dialog, "Cancel_cmd");
            EXPECT_EQ(oldPass->geometry(), QRect(84, 30, 130, 16));
            EXPECT_EQ(newPass->geometry(), QRect(84, 57, 130, 16));
            EXPECT_EQ(newPass2->geometry(), QRect(84, 81, 130, 16));
            EXPECT_EQ(tip->geometry(), QRect(84, 105, 130, 19));
            EXPECT_EQ(ok->geometry(), QRect(30, 141, 88, 25));
            EXPECT_EQ(cancel->geometry(), QRect(138, 141, 85, 25));
            EXPECT_EQ(ok->text(), QStringLiteral("确认"));
            EXPECT_EQ(cancel->text(), QStringLiteral("取消"));
            EXPECT_TRUE(ok->isDefault());
            for (QLineEdit* box : {oldPass, newPass, newPass2})
                EXPECT_EQ(box->echoMode(), QLineEdit::Password);
            EXPECT_EQ(tip->echoMode(), QLineEdit::Normal);
            EXPECT_TRUE(tip->text().isEmpty()) << "the current hint is not shown";

            QStringList labels;
            for (QLabel* label : dialog.findChildren<QLabel*>()) {
                labels << label->text();
                EXPECT_EQ(label->geometry().right() + 1, 84) << "right-aligned at 1260 twips";
                EXPECT_TRUE(label->alignment() & Qt::AlignRight);
            }
            EXPECT_EQ(labels,
                      (QStringList{"旧的密码：", "新的密码：", "确认新的密码：", "提示："}));

            EXPECT_EQ(oldPass->isEnabled(), c.passwordSet);
            const QColor base = oldPass->palette().color(QPalette::Disabled, QPalette::Base);
            if (c.passwordSet) {
                EXPECT_EQ(base, defaultBase);
                EXPECT_EQ(QApplication::focusWidget(), oldPass);
            } else {
                EXPECT_EQ(base, frmSetPass::inactiveTitleBarColour());
                EXPECT_NE(base, defaultBase);
                EXPECT_EQ(QApplication::focusWidget(), newPass) << "the first enabled box";
            }
            ModalDriver::typeText(newPass, "xyz");
            EXPECT_EQ(newPass->displayText(), QStringLiteral("***"));
            // Tab order: the three password boxes, the hint, OK, Cancel.
            EXPECT_EQ(oldPass->nextInFocusChain(), newPass);
            EXPECT_EQ(newPass->nextInFocusChain(), newPass2);
            EXPECT_EQ(newPass2->nextInFocusChain(), tip);
            EXPECT_EQ(tip->nextInFocusChain(), ok);
            EXPECT_EQ(ok->nextInFocusChain(), cancel);
            // Enter in a box presses OK: here the new entries differ.
            QTest::keyClick(newPass, Qt::Key_Return);
            EXPECT_TRUE(dialog.isVisible());
            QTest::keyClick(newPass, Qt::Key_Escape);
        });
        CLogin(context).SetPassword();
        EXPECT_TRUE(driver.ran());
        ASSERT_EQ(prompts.asked().size(), 1);
        EXPECT_EQ(prompts.asked()[0].text, c.passwordSet ? QStringLiteral("原密码错误")
                                                         : QStringLiteral("两次输入的密码不同"));
    }
}

} // namespace
