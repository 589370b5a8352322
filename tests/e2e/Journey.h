#pragma once

#include "e2e/DesktopProbe.h"
#include "e2e/InstalledProgram.h"
#include "e2e/UserInput.h"
#include "support/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/XvfbServer.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One journey of a person with the program: a private desktop (Xvfb with openbox), the
// program installed into a private prefix, private per-user folders, and the means to
// watch the screen and to type and click.
class Journey : public ::testing::Test {
protected:
    static const QString kMainCaption;
    static const QString kQuestionCaption;
    static const QString kLoginCaption;
    static const QString kSetPasswordCaption;
    // A message box that names no caption of its own carries the program's title.
    static const QString kMessageCaption;
    // The list file header "[墨枫哨兵1.00]" and CR LF, in code page 936.
    static const QByteArray kListHeader;

    void SetUp() override;
    void TearDown() override;

    // Starts the installed command, as a person at a shell would.
    void start(ChildProcess& program, const std::vector<std::string>& args = {});
    // The environment every program of the journey gets: the private display, and the
    // private prefix first on PATH.
    std::vector<std::string> desktopEnv() const;

    // Waits until a window with this title is shown (of this process when pid is not 0).
    std::optional<DesktopProbe::Client> waitForWindow(const QString& title, quint32 pid = 0,
                                                      int timeoutMs = 30000);
    // Waits until the window has left the screen.
    bool waitGone(xcb_window_t window, int timeoutMs = 30000);
    // The shown windows of one process.
    std::vector<DesktopProbe::Client> shownOf(quint32 pid) { return probe->shownOf(pid); }

    // Other programs' windows: a terminal running command (by default one that waits), and
    // a message window. The terminal runs in a UTF-8 locale, so a Chinese title is its own.
    void startXterm(ChildProcess& p, const QString& title,
                    const std::vector<std::string>& command = {});
    void startXmessage(ChildProcess& p, const QString& title);
    // Milliseconds, by the X server's clock, from the moment the window manager takes on
    // the window that startTarget opens to the moment it has gone; -1 when it did not go
    // within the timeout, -2 when no window came; 0 when it was gone before the manager
    // could even list it.
    qint64 timeToClose(const std::function<void()>& startTarget, int timeoutMs = 10000);

    void writeKeyList(const QByteArray& bytes) const;
    QByteArray readKeyList() const;

    // Processes now running the installed executable.
    std::vector<int> runningCopies() const;

    // Keeps a screenshot of the whole desktop among the build's artifacts.
    void screenshot(const QString& name) const;

    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);
    // True when the condition held throughout.
    static bool holdsFor(const std::function<bool()>& condition, int ms);

    TestEnv env;
    XvfbServer display{true};
    InstalledProgram program{env.root() + QStringLiteral("/prefix")};
    std::unique_ptr<DesktopProbe> probe;
    std::unique_ptr<UserInput> input;

private:
    int m_started = 0;
};
