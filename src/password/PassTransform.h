#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The password's stored form: the password's bytes XORed with a keystream from a generator
// restarted with a seed computed from the password itself, written as upper-case
// hexadecimal text, two digits per character. The empty text stands for no password.
//
// The domain: every character is a single-byte character of code page 936, and the seed's
// pair sums (characters 3 + 4 and 5 + 6, the pad code 129 completing an odd length) are at
// most 255, and the seed fits a signed 32-bit integer. Printable ASCII always qualifies.
// A routine given a text outside the domain gives no result (std::nullopt) or, for
// CheckPass, false; it never produces a stored form for it.
//
// Stateless: each call restarts its own generator, so calls never disturb one another.
class PassTransform {
public:
    // The code completing the last pair of an odd-length text in the seed.
    static constexpr int kPadCode = 129;

    // The stored form, 2n upper-case hexadecimal digits for n characters; the empty text
    // for the empty password. No result outside the domain.
    static std::optional<QString> EncodePass(const QString& text);
    // True when typed matches the stored form: both empty; or the stored form, read pair by
    // pair for typed's length and decoded with typed's seed, gives typed back exactly. Pairs
    // read their leading hexadecimal digits (either case; none reads as 0; a lone last digit
    // by itself; a missing pair as 0). A stored form longer than two digits per typed
    // character does not match, so a prefix of the password is never accepted.
    static bool CheckPass(const QString& typed, const QString& stored);
    // The seed: characters 1 and 2, 3 and 4 (x 256), 5 and 6 (x 65536) summed in pairs,
    // character 7 x 12582912, minus the length. No result outside the domain.
    static std::optional<qint32> PassSeed(const QString& text);
    // One byte per character, its code page 936 code. No result when a character is not a
    // single byte there.
    static std::optional<QByteArray> PassBytes(const QString& text);
    // XORs each byte, first to last, with floor(r x 256) of the next generator value after a
    // restart with -|seed|.
    static void XorStream(QByteArray& bytes, qint32 seed);

    // True when the text lies in the domain (the empty text does).
    static bool InDomain(const QString& text) { return PassSeed(text).has_value(); }

private:
    static std::optional<int> ansiCode(QChar c);
};
