#include "platform/local/InstanceLock.h"
#include "platform/local/RuntimeFolder.h"

#include "support/ChildProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Waits until the file holds a line, and returns it.
QString waitForLine(const QString& path, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray all = f.readAll();
            if (all.contains('\n'))
                return QString::fromUtf8(all.left(all.indexOf('\n')));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

TEST(RuntimeFolder, PrivateFolderUnderXdgRuntimeDir) {
    TestEnv env;
    const QString folder = RuntimeFolder::path();
    EXPECT_EQ(folder, env.runtimeDir() + "/sentinel");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(RuntimeFolder, NeverUsesALinkPlantedInItsPlace) {
    TestEnv env;
    // A link where the folder should be (pointing at a folder anyone could choose) is not
    // accepted; the fallback folder is used instead.
    ASSERT_EQ(::symlink(QFile::encodeName(env.work()).constData(),
                        QFile::encodeName(env.runtimeDir() + "/sentinel").constData()),
              0);
    const QString folder = RuntimeFolder::path();
    EXPECT_FALSE(folder.isEmpty());
    EXPECT_NE(folder, env.runtimeDir() + "/sentinel");
    EXPECT_FALSE(QFileInfo(folder).isSymLink());
}

// Without a runtime directory the folder in the shared temp folder is used, but anyone may
// take its name first: then a private folder in the user's own cache folder serves, and one
// instance still sees the other.
TEST(RuntimeFolder, WhenAnotherUserHoldsTheTempNameTheCacheServes) {
    const QString uid = QString::number(::getuid());
    const struct {
        const char* name;
        std::function<bool(const QString& planted, const QString& elsewhere)> plant;
    } cases[] = {
        {"a file",
         [](const QString& p, const QString&) { return QFile(p).open(QIODevice::WriteOnly); }},
        {"a link to a folder",
         [](const QString& p, const QString& elsewhere) {
             return QDir().mkpath(elsewhere) && QFile::link(elsewhere, p);
         }},
        {"another user's folder",
         [](const QString& p, const QString&) {
             return QDir().mkpath(p) && ::chmod(QFile::encodeName(p).constData(), 0777) == 0 &&
                    ::chown(QFile::encodeName(p).constData(), 65534, 65534) == 0;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnv env;
        qunsetenv("XDG_RUNTIME_DIR");
        const QString tmp = env.work() + "/tmp";
        QDir().mkpath(tmp);
        const QByteArray savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp));
        const QString planted = tmp + "/sentinel-" + uid;
        const bool plantedOk = c.plant(planted, env.work() + "/elsewhere");
        if (!plantedOk && ::getuid() != 0) {
            qputenv("TMPDIR", savedTmp);
            continue; // only root can give a folder to another user
        }
        ASSERT_TRUE(plantedOk);

        const QString folder = RuntimeFolder::path();
        qputenv("TMPDIR", savedTmp);
        EXPECT_EQ(folder, env.cacheHome() + "/sentinel-" + uid);
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, ::getuid());

        InstanceLock first(folder);
        EXPECT_FALSE(first.anotherInstanceRuns());
        InstanceLock second(folder);
        EXPECT_TRUE(second.anotherInstanceRuns());
        EXPECT_TRUE(QDir(env.work() + "/elsewhere").isEmpty());
    }
}

TEST(InstanceLock, SecondInstanceSeesTheFirstAndAStaleLockDoesNotCount) {
    TestEnv env;
    const QString folder = RuntimeFolder::path();
    const QString out1 = env.work() + "/first.txt";
    ChildProcess first;
    ASSERT_TRUE(
        first.start({LOCAL_TOOLS, "lock", folder.toStdString()}, {}, -1, out1.toStdString()));
    ASSERT_EQ(waitForLine(out1), "locked");

    // While the first runs: this process and another both see it.
    InstanceLock here(folder);
    EXPECT_TRUE(here.anotherInstanceRuns());
    const QString out2 = env.work() + "/second.txt";
    ChildProcess second;
    ASSERT_TRUE(
        second.start({LOCAL_TOOLS, "lock", folder.toStdString()}, {}, -1, out2.toStdString()));
    EXPECT_EQ(waitForLine(out2), "busy");
    ASSERT_TRUE(second.waitFor(10000));
    EXPECT_EQ(second.exitCode(), 3);

    // The first crashes: its lock file stays behind, but the next start is a first instance.
    ::kill(first.pid(), SIGKILL);
    ASSERT_TRUE(first.waitFor(10000));
    EXPECT_TRUE(QFile::exists(folder + "/instance.lock"));
    InstanceLock next(folder);
    EXPECT_FALSE(next.anotherInstanceRuns());
    EXPECT_TRUE(next.held());
}

TEST(InstanceLock, DifferentRuntimeFoldersNeverSeeEachOther) {
    TestEnv a;
    const QString folderA = RuntimeFolder::path();
    InstanceLock lockA(folderA);
    ASSERT_FALSE(lockA.anotherInstanceRuns());
    TestEnv b; // another user's session has its own runtime directory
    InstanceLock lockB(RuntimeFolder::path());
    EXPECT_FALSE(lockB.anotherInstanceRuns());
}

} // namespace
