#include "platform/local/RuntimeFolder.h"

#include "platform/xdg/XdgPaths.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder is safe when it is a real directory (not a link), owned by us, private to us.
bool ensurePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString RuntimeFolder::path() {
    const QString runtime = XdgPaths::runtimeDir();
    if (!runtime.isEmpty()) {
        const QString folder = runtime + QStringLiteral("/sentinel");
        if (ensurePrivateFolder(folder))
            return folder;
    }
    const QString fallback =
        QDir::tempPath() + QStringLiteral("/sentinel-") + QString::number(::getuid());
    return ensurePrivateFolder(fallback) ? fallback : QString();
}
