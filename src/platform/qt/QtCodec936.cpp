#include "platform/qt/QtCodec936.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr const char* kCodecName = "GBK";

bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
} // namespace

QByteArray QtCodec936::encode(const QString& text) {
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString QtCodec936::decode(const QByteArray& bytes) {
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

qsizetype QtCodec936::byteLength(const QString& text) {
    return encode(text).size();
}

QByteArray QtCodec936::cutBytes(const QByteArray& bytes, qsizetype maxBytes) {
    if (maxBytes <= 0)
        return {};
    if (bytes.size() <= maxBytes)
        return bytes;
    // Walk from the start: a lead byte always starts a two-byte character in GBK.
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype width =
            (isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size()) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return bytes.left(i);
}

QString QtCodec936::cutToBytes(const QString& text, qsizetype maxBytes) {
    return decode(cutBytes(encode(text), maxBytes));
}

bool QtCodec936::canEncode(const QString& text) {
    // The converter does not report every substitution, so test the round trip instead.
    return decode(encode(text)) == text;
}

QStringList QtCodec936::unencodable(const QString& text) {
    QStringList lost;
    if (canEncode(text))
        return lost;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        const QString character = text.mid(i, width);
        if (!lost.contains(character) && !canEncode(character))
            lost.append(character);
        i += width;
    }
    return lost;
}
