#include "platform/qt/QtCodec936.h"

#include "common/Codec936Contract.h"

#include <gtest/gtest.h>

namespace {
// The code page on Qt's text classes, seen through the portable interface, so that both
// conversions are held to the same cases while both are in use.
class QtCodecView final : public Codec936 {
public:
    std::string encode(std::u16string_view text) const override {
        return QtCodec936::encode(qt(text)).toStdString();
    }
    std::u16string decode(std::string_view bytes) const override {
        return QtCodec936::decode(QByteArray(bytes.data(), qsizetype(bytes.size())))
            .toStdU16String();
    }
    bool canEncode(std::u16string_view text) const override {
        return QtCodec936::canEncode(qt(text));
    }

private:
    static QString qt(std::u16string_view text) {
        return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
    }
};
} // namespace

TEST(QtCodec936, PassesTheCodePageContract) {
    const QtCodecView codec;
    expectCodec936Contract(codec);
}
