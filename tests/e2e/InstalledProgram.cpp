#include "e2e/InstalledProgram.h"

#include "support/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

InstalledProgram::InstalledProgram(QString prefix) : m_prefix(std::move(prefix)) {}

QString InstalledProgram::install(const QString& prefix, const QString& destDir) {
    // Everything, the log included, goes below DESTDIR when there is one.
    const QString root = destDir + prefix;
    if (!QDir().mkpath(root))
        return QStringLiteral("cannot make ") + root;
    const QString log = root + QStringLiteral(".install.log");
    std::vector<std::string> env;
    if (!destDir.isEmpty())
        env.push_back("DESTDIR=" + destDir.toStdString());
    ChildProcess cmake;
    if (!cmake.start({SENTINEL_CMAKE_COMMAND, "--install", SENTINEL_BUILD_DIR, "--prefix",
                      prefix.toStdString()},
                     env, -1, log.toStdString()))
        return QStringLiteral("cannot start cmake");
    if (!cmake.waitFor(120000))
        return QStringLiteral("cmake --install did not end");
    if (cmake.exitCode() != 0) {
        QFile file(log);
        file.open(QIODevice::ReadOnly);
        return QStringLiteral("cmake --install failed: ") + QString::fromUtf8(file.readAll());
    }
    return {};
}

QString InstalledProgram::command() const {
    return m_prefix + QStringLiteral("/" SENTINEL_INSTALL_BINDIR "/sentinel");
}

QString InstalledProgram::executable() const {
    return QFileInfo(command()).canonicalFilePath();
}

QString InstalledProgram::keyListPath() const {
    return QFileInfo(executable()).absolutePath() + QStringLiteral("/KeyList.dat");
}

QString InstalledProgram::desktopEntry() const {
    return m_prefix + QStringLiteral("/" SENTINEL_INSTALL_DATADIR "/applications/sentinel.desktop");
}

QString InstalledProgram::icon(int size) const {
    const QString base = m_prefix + QStringLiteral("/" SENTINEL_INSTALL_DATADIR "/icons/hicolor/");
    if (size == 0)
        return base + QStringLiteral("scalable/apps/sentinel.svg");
    return base + QStringLiteral("%1x%1/apps/sentinel.png").arg(size);
}
