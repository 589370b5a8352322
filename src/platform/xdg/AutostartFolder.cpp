#include "platform/xdg/AutostartFolder.h"

#include "platform/qt/QtCodec936.h"
#include "platform/RegistryApi.h"
#include "platform/xdg/RegistryNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSuffix = QStringLiteral(".desktop");
const QByteArray kTypeKey = "X-Sentinel-Type";
const QByteArray kDataKey = "X-Sentinel-Data";
// A file name is at most 255 bytes.
constexpr qsizetype kMaxFileName = 255;

bool isHexText(const QByteArray& text) {
    return text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

// The "[Desktop Entry]" group's keys and raw values; other groups and comments skipped.
QList<QPair<QByteArray, QByteArray>> mainGroup(const QByteArray& bytes) {
    QList<QPair<QByteArray, QByteArray>> keys;
    bool inMain = false;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        if (trimmed.startsWith('[')) {
            inMain = trimmed == "[Desktop Entry]";
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inMain || eq <= 0)
            continue;
        keys.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
    return keys;
}

QByteArray keyValue(const QList<QPair<QByteArray, QByteArray>>& keys, const QByteArray& key) {
    for (const auto& [k, v] : keys)
        if (k == key)
            return v;
    return {};
}

bool hasKey(const QList<QPair<QByteArray, QByteArray>>& keys, const QByteArray& key) {
    return std::any_of(keys.begin(), keys.end(), [&](const auto& kv) { return kv.first == key; });
}

} // namespace

AutostartFolder::AutostartFolder(QString dir, DesktopExec::FileTest isFile)
    : m_dir(std::move(dir)), m_isFile(std::move(isFile)) {}

bool AutostartFolder::holds(const QByteArray& name, quint32 type) {
    if (type != Reg::TypeSz && type != Reg::TypeExpandSz)
        return false;
    if (name.isEmpty() || name.contains('\0'))
        return false;
    const QString text = QtCodec936::decode(name);
    if (QtCodec936::encode(text) != name)
        return false;
    if (text == QLatin1String(".") || text == QLatin1String("..") ||
        text.contains(QLatin1Char('/')))
        return false;
    return QFile::encodeName(text + kSuffix).size() <= kMaxFileName;
}

bool AutostartFolder::writable() const {
    // The folder itself, or the nearest folder above it that exists, when it is missing.
    QFileInfo info(m_dir);
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return false;
        info = QFileInfo(parent);
    }
    return info.isDir() &&
           ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

std::optional<AutostartFolder::Entry> AutostartFolder::read(const QString& filePath,
                                                            const QByteArray& name) const {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto keys = mainGroup(file.read(1 << 20));
    Entry entry;
    entry.name = name;
    entry.filePath = filePath;
    bool typeOk = false;
    const quint32 type = keyValue(keys, kTypeKey).toUInt(&typeOk);
    const QByteArray hex = keyValue(keys, kDataKey);
    if (typeOk && hasKey(keys, kDataKey) && isHexText(hex)) {
        entry.type = type;
        entry.data = QByteArray::fromHex(hex);
        return entry;
    }
    // Another program's entry: its command as written in Exec.
    const QString exec = DesktopExec::unescapeValue(QString::fromUtf8(keyValue(keys, "Exec")));
    entry.type = Reg::TypeSz;
    entry.data = QtCodec936::encode(exec) + '\0';
    return entry;
}

std::vector<AutostartFolder::Entry> AutostartFolder::entries() const {
    QDir dir(m_dir);
    QStringList files = dir.entryList({QStringLiteral("*") + kSuffix},
                                      QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    // Byte order of the names: the same on every run, whatever the locale.
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QFile::encodeName(a) < QFile::encodeName(b);
    });
    std::vector<Entry> out;
    for (const QString& fileName : files) {
        if (!fileName.endsWith(kSuffix) || fileName.size() == kSuffix.size())
            continue;
        const QByteArray name = QtCodec936::encode(fileName.chopped(kSuffix.size()));
        if (auto entry = read(dir.filePath(fileName), name))
            out.push_back(std::move(*entry));
    }
    return out;
}

std::optional<AutostartFolder::Entry> AutostartFolder::find(const QByteArray& name) const {
    const QString f = RegistryNames::fold(name);
    for (Entry& e : entries())
        if (RegistryNames::fold(e.name) == f)
            return std::move(e);
    return std::nullopt;
}

QByteArray AutostartFolder::contents(const QByteArray& name, quint32 type, const QByteArray& data,
                                     const QString& command) const {
    const QString exec = DesktopExec::fromCommandLine(command, m_isFile);
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n");
    text += QStringLiteral("Name=") + DesktopExec::escapeValue(QtCodec936::decode(name)) + '\n';
    text += QStringLiteral("Exec=") + exec + '\n';
    text += QStringLiteral("Terminal=false\n");
    // An entry with nothing to run is kept as a value but never started.
    if (exec.isEmpty())
        text += QStringLiteral("Hidden=true\n"
                               "X-GNOME-Autostart-enabled=false\n");
    else
        text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    QByteArray out = text.toUtf8();
    out += kTypeKey + '=' + QByteArray::number(type) + '\n';
    out += kDataKey + '=' + data.toHex() + '\n';
    return out;
}

qint32 AutostartFolder::write(const QByteArray& name, quint32 type, const QByteArray& data,
                              const QString& command, const QString& existingPath) const {
    const bool existed = QFileInfo(m_dir).isDir();
    if (!QDir().mkpath(m_dir))
        return Reg::ErrorAccessDenied;
    // Whatever the writer's umask, a session must be able to read the folder it starts from.
    if (!existed)
        ::chmod(QFile::encodeName(m_dir).constData(), 0755);
    const QString path = existingPath.isEmpty()
                             ? m_dir + QLatin1Char('/') + QtCodec936::decode(name) + kSuffix
                             : existingPath;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Reg::ErrorAccessDenied;
    // Every session must be able to read the entry it is to start.
    ::fchmod(file.handle(), 0644);
    const QByteArray bytes = contents(name, type, data, command);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return Reg::ErrorAccessDenied;
    return Reg::ErrorSuccess;
}

qint32 AutostartFolder::remove(const QString& filePath) const {
    if (!QFileInfo::exists(filePath))
        return Reg::ErrorFileNotFound;
    return QFile::remove(filePath) ? Reg::ErrorSuccess : Reg::ErrorAccessDenied;
}
