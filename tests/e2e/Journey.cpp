#include "e2e/Journey.h"

#include "e2e/WindowWatch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

const QString Journey::kMainCaption = QStringLiteral("墨枫哨兵 1.00");
const QString Journey::kQuestionCaption = QStringLiteral("询问");
const QString Journey::kLoginCaption = QStringLiteral("登录");
const QString Journey::kSetPasswordCaption = QStringLiteral("密码设置");
const QString Journey::kMessageCaption = QStringLiteral("墨枫哨兵");
const QByteArray Journey::kListHeader = QByteArray("\x5b\xc4\xab\xb7\xe3\xc9\xda\xb1\xf8"
                                                   "1.00]\r\n");

void Journey::SetUp() {
    ASSERT_TRUE(display.ok()) << "no private desktop";
    const QString failure = InstalledProgram::install(program.prefix());
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    ASSERT_TRUE(QFileInfo(program.executable()).isExecutable());
    probe = std::make_unique<DesktopProbe>(display.display());
    ASSERT_TRUE(probe->ok());
    input = std::make_unique<UserInput>(display.display());
}

void Journey::TearDown() {
    // A sanitizer's report in a program's output is a fault even when the journey went on.
    for (int i = 1; i <= m_started; ++i) {
        QFile log(env.work() + QStringLiteral("/program-%1.log").arg(i));
        if (!log.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = log.readAll();
        EXPECT_FALSE(text.contains("AddressSanitizer") || text.contains("runtime error:"))
            << "program run " << i << " reported:\n"
            << text.toStdString();
    }
    // A copy started by a desktop launcher is no child of the test; it is ended by its id.
    for (int pid : runningCopies())
        ::kill(pid, SIGKILL);
}

std::vector<std::string> Journey::desktopEnv() const {
    const QString path = QFileInfo(program.command()).absolutePath() + QLatin1Char(':') +
                         qEnvironmentVariable("PATH");
    return {"DISPLAY=" + display.display(), "PATH=" + path.toStdString(),
            // The test environment's offscreen default is for the tests' own widgets.
            "QT_QPA_PLATFORM=xcb",
            // The program ends by an immediate exit, which no leak check survives anyway.
            "ASAN_OPTIONS=detect_leaks=0"};
}

void Journey::start(ChildProcess& p, const std::vector<std::string>& args) {
    std::vector<std::string> argv{program.command().toStdString()};
    argv.insert(argv.end(), args.begin(), args.end());
    const QString log = env.work() + QStringLiteral("/program-%1.log").arg(++m_started);
    ASSERT_TRUE(p.start(argv, desktopEnv(), -1, log.toStdString()));
}

std::optional<DesktopProbe::Client> Journey::waitForWindow(const QString& title, quint32 pid,
                                                           int timeoutMs) {
    std::optional<DesktopProbe::Client> found;
    waitUntil(
        [&] {
            for (const DesktopProbe::Client& c : probe->clients())
                if (c.shown && c.title == title && (pid == 0 || c.pid == pid)) {
                    found = c;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

bool Journey::waitGone(xcb_window_t window, int timeoutMs) {
    return waitUntil([&] { return !probe->managed(window); }, timeoutMs);
}

void Journey::startXterm(ChildProcess& p, const QString& title,
                         const std::vector<std::string>& command) {
    // utf8Title: a title the terminal's program sets is UTF-8, and the terminal publishes
    // it as such (_NET_WM_NAME).
    std::vector<std::string> argv{
        "xterm", "-u8", "-xrm", "XTerm.vt100.utf8Title: true", "-T", title.toStdString(), "-e"};
    if (command.empty()) {
        argv.insert(argv.end(), {"sleep", "600"});
    } else {
        argv.insert(argv.end(), command.begin(), command.end());
    }
    std::vector<std::string> env = desktopEnv();
    env.push_back("LC_ALL=C.UTF-8");
    ASSERT_TRUE(p.start(argv, env, -1, "/dev/null"));
}

void Journey::startXmessage(ChildProcess& p, const QString& title) {
    ASSERT_TRUE(p.start({"xmessage", "-title", title.toStdString(), "a window of another program"},
                        desktopEnv(), -1, "/dev/null"));
}

qint64 Journey::timeToClose(const std::function<void()>& startTarget, int timeoutMs) {
    WindowWatch watch(display.display());
    if (!watch.ok())
        return -2;
    startTarget();
    const std::optional<WindowWatch::Managed> managed = watch.nextManaged(timeoutMs);
    if (!managed)
        return watch.createdWindowVanished() ? 0 : -2;
    const std::optional<uint32_t> gone = watch.nextGone(managed->window, timeoutMs);
    if (!gone)
        return -1;
    // The server stamps the listing and the removal; a close within the same millisecond or
    // two can read as slightly before the listing.
    return std::max<qint64>(0, static_cast<qint64>(*gone) - static_cast<qint64>(managed->time));
}

void Journey::writeKeyList(const QByteArray& bytes) const {
    QFile file(program.keyListPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Journey::readKeyList() const {
    QFile file(program.keyListPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<int> Journey::runningCopies() const {
    std::vector<int> out;
    const QString exe = program.executable();
    if (exe.isEmpty())
        return out;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (number &&
            QFileInfo(QStringLiteral("/proc/") + entry + QStringLiteral("/exe")).symLinkTarget() ==
                exe)
            out.push_back(pid);
    }
    return out;
}

void Journey::screenshot(const QString& name) const {
    const QString dir = QStringLiteral(SENTINEL_ARTIFACTS_DIR);
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name;
    EXPECT_TRUE(display.screenshot(path.toStdString())) << "no screenshot " << path.toStdString();
}

bool Journey::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

bool Journey::holdsFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (!condition())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}
