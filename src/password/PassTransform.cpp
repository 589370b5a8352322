#include "password/PassTransform.h"

#include "platform/qt/QtCodec936.h"
#include "password/BasicRandom.h"

#include <limits>

namespace {

constexpr int kPairLimit = 255;

// The value of the leading hexadecimal digits of a pair (one or two characters); 0 when it
// starts with anything else.
int pairValue(QStringView pair) {
    int value = 0;
    for (QChar c : pair) {
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

std::optional<int> PassTransform::ansiCode(QChar c) {
    if (c.unicode() < 0x80)
        return c.unicode();
    if (c.isSurrogate())
        return std::nullopt;
    const QString one(c);
    const QByteArray bytes = QtCodec936::encode(one);
    // A character without a form comes back as "?", which does not decode to itself.
    if (bytes.size() != 1 || QtCodec936::decode(bytes) != one)
        return std::nullopt;
    return static_cast<unsigned char>(bytes[0]);
}

std::optional<QByteArray> PassTransform::PassBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        const std::optional<int> code = ansiCode(c);
        if (!code)
            return std::nullopt;
        bytes.append(static_cast<char>(*code));
    }
    return bytes;
}

std::optional<qint32> PassTransform::PassSeed(const QString& text) {
    const std::optional<QByteArray> bytes = PassBytes(text);
    if (!bytes)
        return std::nullopt;
    const qsizetype n = bytes->size();
    // Character k counting from 1; the pad code stands after the last character.
    auto code = [&](qsizetype k) -> qint64 {
        return k <= n ? static_cast<unsigned char>(bytes->at(k - 1)) : kPadCode;
    };
    const qsizetype m = n % 2 ? n + 1 : n;
    qint64 seed = 0;
    if (m >= 2)
        seed = code(1) + code(2);
    if (m >= 4) {
        const qint64 pair = code(3) + code(4);
        if (pair > kPairLimit)
            return std::nullopt;
        seed += pair * 256;
    }
    if (m >= 6) {
        const qint64 pair = code(5) + code(6);
        if (pair > kPairLimit)
            return std::nullopt;
        seed += pair * 65536;
    }
    // Only the 7th character counts at this step, not the 8th.
    if (m >= 8)
        seed += code(7) * 12582912;
    seed -= n;
    if (seed < std::numeric_limits<qint32>::min() || seed > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(seed);
}

void PassTransform::XorStream(QByteArray& bytes, qint32 seed) {
    const qint64 s = seed < 0 ? -qint64(seed) : qint64(seed);
    BasicRandom generator;
    generator.restart(-s);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int k = static_cast<int>(generator.next() * 256.0f); // exact: r is k/2^24
        bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ k);
    }
}

std::optional<QString> PassTransform::EncodePass(const QString& text) {
    const std::optional<qint32> seed = PassSeed(text);
    if (!seed)
        return std::nullopt;
    QByteArray bytes = *PassBytes(text);
    XorStream(bytes, *seed);
    return QString::fromLatin1(bytes.toHex().toUpper());
}

bool PassTransform::CheckPass(const QString& typed, const QString& stored) {
    if (typed.isEmpty())
        return stored.isEmpty();
    const std::optional<qint32> seed = PassSeed(typed);
    if (!seed)
        return false;
    const qsizetype n = typed.size();
    // The restart keeps only 24 significant bits of the seed, so a prefix of seven or more
    // characters usually shares the password's keystream and would decode the first pairs
    // right: a stored form with more than two digits per typed character never matches.
    if (stored.size() > 2 * n)
        return false;
    QByteArray bytes(n, '\0');
    for (qsizetype i = 0; i < n; ++i) {
        // Pair i is characters 2i and 2i + 1; a pair beyond the end reads as 0.
        const qsizetype at = 2 * i;
        if (at < stored.size())
            bytes[i] = static_cast<char>(pairValue(QStringView(stored).mid(at, 2)));
    }
    XorStream(bytes, *seed);
    // Each character of the domain has exactly one single-byte code, so comparing the
    // decoded bytes with typed's byte form compares the texts character by character.
    return bytes == *PassBytes(typed);
}
