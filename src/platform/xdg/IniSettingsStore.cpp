#include "platform/xdg/IniSettingsStore.h"

#include "platform/xdg/XdgEscapes.h"
#include "platform/xdg/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <sys/stat.h>

#include <vector>

namespace {

struct Entry {
    QString app;
    QString section;
    QString key;
    QString value;
};

// Characters that would end or split a name or value on its line are written escaped.
QString escape(const QString& text, bool isName) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '=':
        case '/':
        case '[':
        case ']':
        case ';':
            if (isName) {
                out += QLatin1Char('\\');
            }
            out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

// An escaped character other than a control letter stands for itself: names escape the
// characters that would split their line.
QString unescape(QStringView text) {
    return XdgEscapes::unescape(text, {});
}

// Index of the first unescaped occurrence of ch in text, or -1.
qsizetype findUnescaped(QStringView text, QChar ch) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\'))
            ++i;
        else if (text[i] == ch)
            return i;
    }
    return -1;
}

// Lines that do not parse are skipped: a damaged file loses those lines, never the program.
std::vector<Entry> parse(const QByteArray& bytes) {
    std::vector<Entry> entries;
    const QString text = QString::fromUtf8(bytes);
    QString app;
    bool inApp = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = findUnescaped(line.mid(1), QLatin1Char(']'));
            inApp = close >= 0;
            if (inApp)
                app = unescape(line.mid(1, close));
            continue;
        }
        if (!inApp)
            continue;
        const qsizetype slash = findUnescaped(line, QLatin1Char('/'));
        const qsizetype equals = findUnescaped(line, QLatin1Char('='));
        if (slash < 0 || equals < slash)
            continue;
        entries.push_back({app, unescape(line.left(slash)),
                           unescape(line.mid(slash + 1, equals - slash - 1)),
                           unescape(line.mid(equals + 1))});
    }
    return entries;
}

QByteArray serialize(const std::vector<Entry>& entries) {
    QString out = QStringLiteral("; sentinel settings\n");
    // Entries of one application are grouped under one header, in first-seen order.
    std::vector<QString> apps;
    for (const Entry& e : entries)
        if (std::find(apps.begin(), apps.end(), e.app) == apps.end())
            apps.push_back(e.app);
    for (const QString& app : apps) {
        out += QLatin1Char('[') + escape(app, true) + QStringLiteral("]\n");
        for (const Entry& e : entries)
            if (e.app == app)
                out += escape(e.section, true) + QLatin1Char('/') + escape(e.key, true) +
                       QLatin1Char('=') + escape(e.value, false) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

bool matches(const Entry& e, const QString& app, const QString& section, const QString& key) {
    return e.app == app && e.section.compare(section, Qt::CaseInsensitive) == 0 &&
           e.key.compare(key, Qt::CaseInsensitive) == 0;
}

std::vector<Entry> readEntries(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

} // namespace

IniSettingsStore::IniSettingsStore()
    : IniSettingsStore(XdgPaths::configHome() + QStringLiteral("/sentinel/settings.ini")) {}

IniSettingsStore::IniSettingsStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString IniSettingsStore::GetSetting(const QString& appName, const QString& section,
                                     const QString& key) {
    for (const Entry& e : readEntries(m_filePath))
        if (matches(e, appName, section, key))
            return e.value;
    return {};
}

void IniSettingsStore::SaveSetting(const QString& appName, const QString& section,
                                   const QString& key, const QString& value) {
    const QString dir = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(dir))
        return;
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    // The lock spans read, change and replace, so concurrent writers serialise. A lock left
    // by a crashed writer is stale and taken over; if the lock cannot be had in time the
    // write goes ahead rather than hang the program.
    QLockFile lock(m_filePath + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    const bool locked = lock.tryLock(10000);

    std::vector<Entry> entries = readEntries(m_filePath);
    bool found = false;
    for (Entry& e : entries) {
        if (matches(e, appName, section, key)) {
            e.value = value;
            found = true;
            break;
        }
    }
    if (!found)
        entries.push_back({appName, section, key, value});

    QSaveFile file(m_filePath);
    if (file.open(QIODevice::WriteOnly)) {
        ::fchmod(file.handle(), 0600);
        file.write(serialize(entries));
        file.commit();
    }
    if (locked)
        lock.unlock();
}
