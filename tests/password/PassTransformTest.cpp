#include "password/PassTransform.h"
#include "password/BasicRandom.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <bit>
#include <random>

namespace {

// The keystream a seed gives: XOR of zero bytes.
QByteArray keystream(qint32 seed, qsizetype n) {
    QByteArray bytes(n, '\0');
    PassTransform::XorStream(bytes, seed);
    return bytes;
}

bool isStoredFormShape(const QString& stored, qsizetype n) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]*$"));
    return stored.size() == 2 * n && hex.match(stored).hasMatch();
}

// A printable prefix of length - 1 whose keystream value at the last position is printable,
// so that the last character can be chosen to give a chosen stored byte (characters after
// the 7th do not move the seed).
QString prefixWithPrintableLastKey(qsizetype length, int* key) {
    // Vary the 7th character: its weight moves the seed past the restart's rounding.
    for (char seventh = 'a'; seventh <= 'z'; ++seventh) {
        QString prefix = QString("abcdefghijklmnopqrs").left(length - 1);
        prefix[6] = QLatin1Char(seventh);
        const qint32 seed = *PassTransform::PassSeed(prefix + "x");
        *key = static_cast<unsigned char>(keystream(seed, length)[length - 1]);
        if (*key >= 48 && *key <= 110)
            return prefix;
    }
    return {};
}

QString hexPair(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

TEST(BasicRandom, PublishedValuesAfterRestartWithMinusOne) {
    BasicRandom rnd;
    EXPECT_NEAR(rnd.restart(-1), 0.2240070, 5e-8);
    EXPECT_NEAR(rnd.next(), 0.0358458, 5e-8);
    EXPECT_NEAR(rnd.next(), 0.0863523, 5e-8);
    EXPECT_NEAR(rnd.next(), 0.1642639, 5e-8);
}

TEST(BasicRandom, SameRestartSameSequence) {
    BasicRandom a, b;
    a.restart(-58560);
    b.next(); // a different history before the restart changes nothing
    b.restart(-58560);
    for (int i = 0; i < 100; ++i) {
        const float ra = a.next();
        EXPECT_EQ(ra, b.next());
        EXPECT_GE(ra, 0.0f);
        EXPECT_LT(ra, 1.0f);
    }
}

TEST(BasicRandom, KeystreamValueIsHighByteOfState) {
    BasicRandom rnd;
    rnd.restart(-123456);
    for (int i = 0; i < 1000; ++i) {
        const float r = rnd.next();
        EXPECT_EQ(static_cast<int>(r * 256.0f), static_cast<int>(rnd.state() >> 16));
    }
}

// The integer conversion to single precision must round to nearest, ties to even, as the
// hardware conversion does; compare across the magnitudes seeds reach, where rounding starts
// at 2^24.
TEST(BasicRandom, SingleBitsMatchesTheHardwareConversion) {
    std::vector<qint64> values = {0, -1, -2, -3, -127, -128, -58560, -65472};
    for (qint64 base : {qint64(1) << 24, qint64(1) << 25, qint64(1) << 30, qint64(1) << 31})
        for (qint64 d = -9; d <= 9; ++d)
            values.push_back(-(base + d));
    values.push_back(-1627389951); // the largest seed of the domain
    values.push_back(-2147483648LL);
    for (qint64 v : values) {
        SCOPED_TRACE(v);
        EXPECT_EQ(BasicRandom::singleBits(v), std::bit_cast<quint32>(static_cast<float>(v)));
    }
    // 2^24 + 1 lies halfway: ties go to the even neighbour 2^24.
    EXPECT_EQ(BasicRandom::singleBits(-16777217), 0xCB800000u);
}

TEST(PassTransform, PublishedCheckValues) {
    EXPECT_EQ(PassTransform::PassSeed("abc"), 58560);
    EXPECT_EQ(PassTransform::EncodePass("abc"), QStringLiteral("7645A6"));
}

struct SeedCase {
    const char* name;
    QString text;
    std::optional<qint32> seed; // nothing: outside the domain
};

TEST(PassTransform, SeedTable) {
    const QString euro = QString(QChar(0x20AC)); // code 128, a single byte
    const QString ff = QString(QChar(0xF8F5));   // code 255, a single byte
    const std::vector<SeedCase> cases = {
        {"empty", "", 0},
        {"one char uses the pad", "a", 97 + 129 - 1},
        {"abc", "abc", 97 + 98 + (99 + 129) * 256 - 3},
        {"tilde plus pad is 255", "ab~", 97 + 98 + 255 * 256 - 3},
        {"DEL plus pad breaks the pair limit", QStringLiteral("ab\x7f"), std::nullopt},
        {"DEL plus pad as 5th", QStringLiteral("abcd\x7f"), std::nullopt},
        {"two DELs stay inside", QStringLiteral("ab\x7f\x7f"), 97 + 98 + 254 * 256 - 4},
        {"DEL in the first pair has no limit", QStringLiteral("\x7f"), 127 + 129 - 1},
        {"seven chars", "abcdefg",
         97 + 98 + (99 + 100) * 256 + (101 + 102) * 65536 + 103 * 12582912 - 7},
        {"eighth char ignored", "abcdefgh",
         97 + 98 + (99 + 100) * 256 + (101 + 102) * 65536 + 103 * 12582912 - 8},
        {"euro sign is code 128", euro, 128 + 129 - 1},
        {"code 128 twice in a pair", "ab" + euro + euro, std::nullopt},
        {"code 128 with tilde stays inside", "ab" + euro + "~", 97 + 98 + 254 * 256 - 4},
        {"code 255 as 7th overflows the seed", "abcdef" + ff, std::nullopt},
        {"chinese has no byte form", QString::fromUtf8("密码"), std::nullopt},
        {"emoji has no byte form", QString::fromUtf8("a😀"), std::nullopt},
        {"largest printable seed", "~~~~~~~", 252 + 252 * 256 + 252 * 65536 + 126 * 12582912 - 7},
    };
    for (const SeedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PassTransform::PassSeed(c.text), c.seed);
        EXPECT_EQ(PassTransform::InDomain(c.text), c.seed.has_value());
        if (!c.seed) {
            EXPECT_EQ(PassTransform::EncodePass(c.text), std::nullopt);
            EXPECT_FALSE(PassTransform::CheckPass(c.text, QString()));
            EXPECT_FALSE(PassTransform::CheckPass(c.text, "00000000"));
        }
    }
}

struct SharedSeedCase {
    const char* name;
    QString a, b;
    bool sameSeed;
};

TEST(PassTransform, SeedCollisionsTable) {
    const std::vector<SharedSeedCase> cases = {
        {"differ in the 8th", "abcdefgh", "abcdefgX", true},
        {"same first seven, length 10", "abcdefg123", "abcdefgXYZ", true},
        {"same first seven, length 20", "Secret!aaaaaaaaaaaaa", "Secret!zzzzzzzzzzzzz", true},
        {"differ in the 7th", "abcdefgh", "abcdefXh", false},
        {"differ in length only", "abcdefgh", "abcdefghi", false},
        {"same pair sum collides", "abcd", "bacd", true},
    };
    for (const SharedSeedCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PassTransform::PassSeed(c.a).has_value());
        EXPECT_EQ(PassTransform::PassSeed(c.a) == PassTransform::PassSeed(c.b), c.sameSeed);
    }
}

// Passwords sharing their seed share the keystream: their stored forms agree exactly where
// the passwords agree.
TEST(PassTransform, SharedSeedGivesSharedDigitsWhereCharactersAgree) {
    const QString a = "Secret!aXcdeYg";
    const QString b = "Secret!bXcdfYh";
    ASSERT_EQ(PassTransform::PassSeed(a), PassTransform::PassSeed(b));
    const QString ea = *PassTransform::EncodePass(a);
    const QString eb = *PassTransform::EncodePass(b);
    for (qsizetype i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ea.mid(2 * i, 2) == eb.mid(2 * i, 2), a[i] == b[i]);
    }
}

// A byte below 16 keeps its leading zero. Choose a character after the 7th (it does not move
// the seed) so that its stored byte is a chosen small value.
TEST(PassTransform, StoredFormKeepsLeadingZeros) {
    const qsizetype n = 11;
    int last = 0;
    const QString prefix = prefixWithPrintableLastKey(n, &last);
    ASSERT_FALSE(prefix.isEmpty());
    int found = 0;
    for (int small = 0; small < 16; ++small) {
        const int code = last ^ small;
        if (code < 32 || code > 126)
            continue;
        const QString text = prefix + QChar(code);
        const QString stored = *PassTransform::EncodePass(text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(isStoredFormShape(stored, n));
        EXPECT_EQ(stored.right(2), hexPair(small));
        EXPECT_EQ(stored.right(2)[0], QLatin1Char('0'));
        EXPECT_TRUE(PassTransform::CheckPass(text, stored));
        ++found;
    }
    EXPECT_GT(found, 0) << "no printable character gives a small byte here";
}

TEST(PassTransform, EmptyTexts) {
    EXPECT_EQ(PassTransform::EncodePass(""), QString());
    EXPECT_TRUE(PassTransform::CheckPass("", ""));
    EXPECT_FALSE(PassTransform::CheckPass("", "7645A6"));
    EXPECT_FALSE(PassTransform::CheckPass("", "0"));
    EXPECT_FALSE(PassTransform::CheckPass("abc", ""));
}

TEST(PassTransform, CaseChangeAfterTheSeventhIsRefused) {
    const QString p = "Password";
    const QString stored = *PassTransform::EncodePass(p);
    EXPECT_TRUE(PassTransform::CheckPass(p, stored));
    EXPECT_EQ(PassTransform::PassSeed("PassworD"), PassTransform::PassSeed(p));
    EXPECT_FALSE(PassTransform::CheckPass("PassworD", stored));
    EXPECT_FALSE(PassTransform::CheckPass("password", stored));
    EXPECT_FALSE(PassTransform::CheckPass("Password1", stored));
}

// Long seeds lose their lowest bits in the restart's single-precision conversion, so a prefix
// of seven or more characters often shares the password's keystream; its decoding of the
// first pairs would then match. A stored form longer than the typed text must not match.
TEST(PassTransform, PrefixOfAPasswordIsRefused) {
    struct PrefixCase {
        QString password;
        qsizetype typedLength;
    };
    const std::vector<PrefixCase> cases = {
        {"Password", 7},
        {"Password123", 7},
        {"Password123", 8},
        {"Password123", 10},
        {"correct horse battery staple", 7},
        {"correct horse battery staple", 20},
        {"abcdef", 5},
        {"ab", 1},
    };
    int sharedKeystream = 0;
    for (const PrefixCase& c : cases) {
        const QString typed = c.password.left(c.typedLength);
        SCOPED_TRACE(typed.toStdString());
        const QString stored = *PassTransform::EncodePass(c.password);
        const QByteArray a = keystream(*PassTransform::PassSeed(typed), c.typedLength);
        const QByteArray b = keystream(*PassTransform::PassSeed(c.password), c.typedLength);
        if (a == b)
            ++sharedKeystream;
        EXPECT_FALSE(PassTransform::CheckPass(typed, stored));
        EXPECT_FALSE(PassTransform::CheckPass(typed, stored.toLower()));
    }
    // The cases do reach the shared-keystream situation they guard against.
    EXPECT_GT(sharedKeystream, 0);
}

// The stored form is read pair by pair: a non-digit ends a pair's value, a lone last digit is
// read by itself, a missing pair is 0, and digits past 2n are never read.
TEST(PassTransform, StoredFormReadingRules) {
    // Find a 10-character password whose last stored byte is below 16, and one whose last
    // stored byte is 0, by choosing the last character (it does not move the seed).
    int last = 0;
    const QString prefix = prefixWithPrintableLastKey(10, &last);
    ASSERT_FALSE(prefix.isEmpty());

    const QString zeroLast = prefix + QChar(last); // stored byte 9 is 0
    const QString stored = *PassTransform::EncodePass(zeroLast);
    ASSERT_TRUE(stored.endsWith("00"));
    const QString head = stored.left(18);

    struct ReadCase {
        const char* name;
        QString stored;
        bool match;
    };
    const std::vector<ReadCase> cases = {
        {"as written", stored, true},
        {"lower case", stored.toLower(), true},
        {"missing last pair reads 0", head, true},
        {"lone last digit read alone", head + "0", true},
        {"non-digit after a digit", head + "0Z", true},
        {"non-digit first reads 0", head + "Z9", true},
        {"blank first reads 0", head + " 7", true},
        {"longer stored form refused", stored + "FF", false},
        {"one trailing character refused", stored + " ", false},
        {"a wrong pair", head + "01", false},
        {"a lone nonzero digit", head + "1", false},
        {"damaged first pair", "G" + stored.mid(1), stored.startsWith("0")},
        {"shorter by two pairs", stored.left(16), false},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PassTransform::CheckPass(zeroLast, c.stored), c.match) << c.stored.toStdString();
    }
}

TEST(PassTransform, LowerCaseStoredFormAlsoMatches) {
    for (const char* p : {"abc", "Hello, World!", "0123456789", "~~~"}) {
        SCOPED_TRACE(p);
        const QString stored = *PassTransform::EncodePass(p);
        EXPECT_TRUE(PassTransform::CheckPass(p, stored.toLower()));
    }
}

// A fixed sample of printable-ASCII passwords of every length from 1 to 20.
TEST(PassTransform, PrintableRoundTrip) {
    std::mt19937 gen(20240601u);
    int checked = 0;
    for (int length = 1; length <= 20; ++length) {
        for (int sample = 0; sample < 40; ++sample) {
            QString p;
            for (int i = 0; i < length; ++i)
                p.append(QChar(32 + static_cast<int>(gen() % 95)));
            SCOPED_TRACE(p.toStdString());
            const std::optional<QString> stored = PassTransform::EncodePass(p);
            ASSERT_TRUE(stored.has_value());
            EXPECT_TRUE(isStoredFormShape(*stored, length));
            EXPECT_TRUE(PassTransform::CheckPass(p, *stored));
            EXPECT_TRUE(PassTransform::CheckPass(p, stored->toLower()));
            // Decoding the stored form by hand gives the password back.
            QByteArray bytes = QByteArray::fromHex(stored->toLatin1());
            PassTransform::XorStream(bytes, *PassTransform::PassSeed(p));
            EXPECT_EQ(QString::fromLatin1(bytes), p);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 800);
}

} // namespace
