// The start-up window's handling of wake-up texts and of the hand-off, on the offscreen
// platform with doubles for everything around it.
#include "app/frmStart.h"
#include "app/frmMain.h"
#include "common/AppInfo.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/fake/ScriptedPrompts.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/local/InstanceLock.h"
#include "platform/qt/QtText.h"
#include "registry/FakeRegistry.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

class FrmStart : public ::testing::Test {
protected:
    FrmStart() : app(QtText::fromQ(env.work()), u"sentinel"), login(settings, prompts, app) {}

    std::unique_ptr<frmStart> make() {
        return std::make_unique<frmStart>(StartServices{
            .settings = settings,
            .login = login,
            .instance = instance,
            .loadMain =
                [this] {
                    ++loads;
                    return std::make_unique<frmMain>(
                        MainWindowServices{.windows = windows,
                                           .prompts = prompts,
                                           .registry = registry,
                                           .app = app,
                                           .codec = codec,
                                           .endProcess = [this] { ++ends; }});
                },
            .sendWakeUp = [this](const QString& address,
                                 const QString& text) { sent << address + "|" + text; },
            .endProcess = [this] { ++ends; }});
    }

    TestEnv env;
    const IconvCodec936 codec;
    AppInfo app;
    MemorySettingsStore settings;
    ScriptedPrompts prompts;
    LoginContext login;
    InstanceLock instance;
    FakeWindowSystem windows;
    FakeRegistry registry;
    QStringList sent;
    int loads = 0;
    int ends = 0;
};

TEST_F(FrmStart, FirstInstancePublishesItsAddressAndLoadsTheWindowHidden) {
    auto start = make();
    start->Form_Load("/AUTO");
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(ends, 0);
    ASSERT_NE(start->mainWindow(), nullptr);
    EXPECT_FALSE(start->mainWindow()->isVisible());
    EXPECT_FALSE(start->isVisible());
    EXPECT_EQ(settings.GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd"),
              QString::number(start->wakeUpId()));
    EXPECT_GT(start->wakeUpId(), 0);
    EXPECT_TRUE(sent.isEmpty());
}

TEST_F(FrmStart, LaterInstanceSendsShowToThePublishedAddressAndEnds) {
    InstanceLock earlier;
    ASSERT_FALSE(earlier.anotherInstanceRuns());
    settings.SaveSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd", "4242");
    auto start = make();
    start->Form_Load("");
    EXPECT_EQ(sent, QStringList{"4242|show"});
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(loads, 0); // no window, nothing saved
    EXPECT_EQ(settings.GetSetting(QtText::toQ(AppInfo::title()), "lgpw", "hwnd"), "4242");
}

TEST_F(FrmStart, WakeUpTextsAreHandledAndAlwaysCleared) {
    auto start = make();
    start->Form_Load("/auto");
    frmMain* main = start->mainWindow();
    QLineEdit* txtShow = start->textBox();
    // Anything but the exact text only clears the box.
    for (const char* text : {"SHOW", "Show", "show ", "hello"}) {
        SCOPED_TRACE(text);
        txtShow->setText(QString::fromLatin1(text));
        EXPECT_TRUE(txtShow->text().isEmpty());
        EXPECT_FALSE(main->isVisible());
    }
    // Hidden, no password: the gate lets through at once.
    txtShow->setText("show");
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(txtShow->text().isEmpty());
    // Visible and minimised: shown again and restored, without the gate.
    settings.SaveSetting(QtText::toQ(AppInfo::title()), "lgPw", "EnDoor",
                         PassTransform::EncodePass("pw").value());
    main->showMinimized();
    txtShow->setText("show");
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(main->isMinimized());
    EXPECT_TRUE(txtShow->text().isEmpty());
    EXPECT_EQ(ends, 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
