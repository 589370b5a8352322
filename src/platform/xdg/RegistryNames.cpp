#include "platform/xdg/RegistryNames.h"

#include "platform/qt/QtCodec936.h"

namespace {
bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
} // namespace

QString RegistryNames::fold(const QByteArray& name) {
    const QString text = QtCodec936::decode(name);
    if (QtCodec936::encode(text) == name)
        return QLatin1Char('t') + text.toUpper();
    return QLatin1Char('b') + QString::fromLatin1(name.toHex());
}

std::optional<QList<QByteArray>> RegistryNames::splitPath(const char* path) {
    QList<QByteArray> parts;
    if (path == nullptr || *path == '\0')
        return parts;
    const QByteArray bytes(path);
    if (bytes.front() == '\\')
        return std::nullopt;
    QByteArray current;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(b) && i + 1 < bytes.size()) {
            current += bytes[i];
            current += bytes[++i];
            continue;
        }
        if (b == '\\') {
            if (current.isEmpty())
                return std::nullopt;
            parts.append(current);
            current.clear();
            continue;
        }
        current += bytes[i];
    }
    if (!current.isEmpty())
        parts.append(current);
    for (const QByteArray& part : parts)
        if (part.size() > kMaxKeyName)
            return std::nullopt;
    return parts;
}

bool RegistryNames::samePath(const QList<QByteArray>& a, const QList<QByteArray>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}
