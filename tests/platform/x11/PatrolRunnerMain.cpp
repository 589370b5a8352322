// A patrol of its own for the backend's tests: the real pass on the X11 backend in a Qt
// event loop, run by the 500 ms timer (--timer) and on window changes, as the main window
// runs it (--listen: each reported window checked alone at once, a whole pass for a change
// that names no window) or as it did before (--whole-passes: every change calls for a whole
// pass through the scheduler of extra passes). It talks over one socket (--fd N), a line per
// command:
//   stats  -> stats <extra passes> <timer passes> <pending 0/1> <rested 0/1> <checks>
//             <windows checked>, after a round trip to the server, so that every change the
//             server had reported by then is counted; rested: the scheduler's whole burst of
//             passes is available
//   cpu    -> cpu <milliseconds of processor time the runner has used>
//   ping   -> pong, straight from the event loop
//   quit
// and says "ready" once it patrols. The keywords follow --keywords, separated by tabs.
#include "common/AppInfo.h"
#include "keywords/PlainKeywordList.h"
#include "patrol/PatrolPass.h"
#include "patrol/PatrolScheduler.h"
#include "patrol/WindowChecks.h"
#include "patrol/WindowSearch.h"
#include "platform/linux/IconvCodec936.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtText.h"
#include "platform/x11/X11WindowSystem.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

class Host : public PatrolHost {
public:
    std::u16string mainCaption() const override { return AppInfo::mainCaption(); }
    std::uint32_t ownProcessId() const override { return static_cast<std::uint32_t>(getpid()); }
};

void reply(int fd, const std::string& line) {
    const std::string out = line + "\n";
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = write(fd, out.data() + done, out.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int fd = -1;
    bool timer = false;
    bool listen = false;
    bool wholePasses = false;
    QStringList keywords;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fd") == 0 && i + 1 < argc)
            fd = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--keywords") == 0 && i + 1 < argc)
            keywords = QString::fromUtf8(argv[++i]).split(QLatin1Char('\t'));
        else if (std::strcmp(argv[i], "--timer") == 0)
            timer = true;
        else if (std::strcmp(argv[i], "--listen") == 0)
            listen = true;
        else if (std::strcmp(argv[i], "--whole-passes") == 0)
            wholePasses = true;
    }
    if (fd < 0) {
        std::fprintf(stderr, "usage: x11_patrol_runner --fd N [--keywords K] [--timer] "
                             "[--listen | --whole-passes]\n");
        return 2;
    }
    auto windows = X11WindowSystem::open();
    if (!windows) {
        std::fprintf(stderr, "x11_patrol_runner: cannot open the display\n");
        return 2;
    }
    PlainKeywordList list(QtText::fromQ(keywords));
    Host host;
    const IconvCodec936 codec;
    WindowSearch search(*windows, codec);
    PatrolPass pass(search, list, host);

    QtEventLoop loop;
    PatrolScheduler extra(loop, [&] { pass.run(); });
    quint64 timerPasses = 0;
    QTimer tick;
    tick.setInterval(500);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++timerPasses;
        pass.run();
    });
    if (timer)
        tick.start();
    WindowChecks checks(
        loop, [&](const std::vector<WindowHandle>& changed) { pass.check(changed); },
        [&] { extra.changed(); });
    if (listen)
        windows->setChangeListener([&](WindowHandle window) { checks.changed(window); });
    else if (wholePasses)
        windows->setChangeListener([&](WindowHandle) { extra.changed(); });

    std::string buffer;
    QSocketNotifier commands(fd, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char chunk[4096];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            QCoreApplication::exit(0);
            return;
        }
        buffer.append(chunk, static_cast<size_t>(n));
        size_t nl;
        while ((nl = buffer.find('\n')) != std::string::npos) {
            const std::string line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            if (line == "quit") {
                QCoreApplication::exit(0);
            } else if (line == "ping") {
                reply(fd, "pong");
            } else if (line == "stats") {
                // A question outside an enumeration goes to the server and back.
                windows->GetClassName(windows->rootWindow());
                const bool rested = extra.available() == PatrolScheduler::kBurst;
                const bool pending = extra.pending() || checks.pending();
                reply(fd, "stats " + std::to_string(extra.passes()) + " " +
                              std::to_string(timerPasses) + " " + (pending ? "1" : "0") + " " +
                              (rested ? "1" : "0") + " " + std::to_string(checks.checks()) + " " +
                              std::to_string(checks.windowsChecked()));
            } else if (line == "cpu") {
                reply(fd, "cpu " + std::to_string(std::clock() * 1000 / CLOCKS_PER_SEC));
            } else {
                reply(fd, "error command " + line);
            }
        }
    });
    reply(fd, "ready");
    const int code = QCoreApplication::exec();
    windows->setChangeListener({});
    return code;
}
