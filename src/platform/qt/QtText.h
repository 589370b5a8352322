#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

// Program text crosses into Qt and back here: both are UTF-16, so the code units pass
// unchanged.
namespace QtText {
inline QString toQ(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}
inline std::u16string fromQ(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}
inline std::vector<std::u16string> fromQ(const QStringList& texts) {
    std::vector<std::u16string> out;
    out.reserve(static_cast<std::size_t>(texts.size()));
    for (const QString& text : texts)
        out.push_back(fromQ(text));
    return out;
}
} // namespace QtText
