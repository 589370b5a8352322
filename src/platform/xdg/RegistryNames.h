#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Names and paths of registry keys and values as code page 936 bytes.
class RegistryNames {
public:
    static constexpr qsizetype kMaxKeyName = 255;
    static constexpr qsizetype kMaxValueName = 16383;
    static constexpr qsizetype kMaxDepth = 512;

    // The form two names are compared in: names that are valid code page 936 compare
    // without regard to case; any other bytes compare exactly.
    static QString fold(const QByteArray& name);

    // Splits "A\B\C" into its components. A double-byte character whose second byte is
    // "\" does not split. Null or "" is the empty path; one trailing "\" is allowed. A
    // leading "\", an empty component or a component over 255 bytes gives nothing.
    static std::optional<QList<QByteArray>> splitPath(const char* path);

    static bool samePath(const QList<QByteArray>& a, const QList<QByteArray>& b);
};
