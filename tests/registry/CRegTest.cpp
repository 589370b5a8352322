#include "registry/CReg.h"

#include "platform/xdg/XdgRegistry.h"
#include "registry/FakeRegistry.h"
#include "support/TestEnv.h"

#include <QVariantList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString kTestKey = QStringLiteral("Software\\SentinelTest");

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list)
        out.append(static_cast<char>(b));
    return out;
}

// One registry to run the cases on, with a key of the test's own opened under the user.
struct World {
    virtual ~World() = default;
    virtual RegistryApi& api() = 0;
    // What %HOME% expands to in this registry.
    virtual QString home() = 0;
    Reg::Handle key = 0;
};

struct FakeWorld : World {
    FakeRegistry fake;
    FakeWorld() { fake.environment["HOME"] = "/home/tester"; }
    RegistryApi& api() override { return fake; }
    QString home() override { return QStringLiteral("/home/tester"); }
};

struct RealWorld : World {
    TestEnv env;
    std::unique_ptr<XdgRegistry> registry = std::make_unique<XdgRegistry>();
    RegistryApi& api() override { return *registry; }
    QString home() override { return qEnvironmentVariable("HOME"); }
};

// Stores raw bytes with a type, bypassing every conversion.
void store(World& w, const QString& name, quint32 type, const QByteArray& data) {
    ASSERT_TRUE(CReg(w.api()).SetBinaryValue(w.key, name, static_cast<qint32>(type), data,
                                             static_cast<qint32>(data.size())));
}

struct EdgeCase {
    const char* name;
    std::function<void(CReg&, World&)> check;
};

const std::vector<EdgeCase> kEdgeCases = {
    {"missing value gives false and leaves the out-parameters",
     [](CReg& reg, World& w) {
         QByteArray value = "keep";
         qint32 type = 77;
         EXPECT_FALSE(reg.GetValue(w.key, "nothing here", value, type));
         EXPECT_EQ(value, "keep");
         EXPECT_EQ(type, 77);
     }},
    {"abc is three bytes by GetValue and four by GetValueByIndex",
     [](CReg& reg, World& w) {
         store(w, "text", Reg::TypeSz, QByteArray("abc", 4));
         QByteArray value;
         qint32 type = 0;
         ASSERT_TRUE(reg.GetValue(w.key, "text", value, type));
         EXPECT_EQ(value, "abc");
         EXPECT_EQ(type, 1);
         QString name;
         ASSERT_TRUE(reg.GetValueByIndex(w.key, 0, name, value, type));
         EXPECT_EQ(name, "text");
         EXPECT_EQ(value, QByteArray("abc", 4));
         EXPECT_EQ(type, 1);
     }},
    {"multi-string renders each string with \", \" by both readers",
     [](CReg& reg, World& w) {
         store(w, "multi", Reg::TypeMultiSz, QByteArray("a\0b\0\0", 5));
         QByteArray value;
         qint32 type = 0;
         ASSERT_TRUE(reg.GetValue(w.key, "multi", value, type));
         EXPECT_EQ(value, QByteArray("a\0b\0", 4));
         EXPECT_EQ(reg.ValueOutput(value, type), "a, b, ");
         QString name;
         ASSERT_TRUE(reg.GetValueByIndex(w.key, 0, name, value, type));
         EXPECT_EQ(value, QByteArray("a\0b\0\0", 5));
         EXPECT_EQ(reg.ValueOutput(value, type), "a, b, ");
     }},
    {"binary renders two upper-case digits per byte",
     [](CReg& reg, World&) {
         EXPECT_EQ(reg.ValueOutput(bytes({0x0A, 0xFF, 0x00}), 3), "0AFF00");
         EXPECT_EQ(reg.ValueOutput({}, 3), "");
     }},
    {"DWORD 1 and -1 for types 4 and 5",
     [](CReg& reg, World&) {
         for (qint32 type : {4, 5}) {
             EXPECT_EQ(reg.ValueOutput(bytes({1, 0, 0, 0}), type), "1") << type;
             EXPECT_EQ(reg.ValueOutput(bytes({0xFF, 0xFF, 0xFF, 0xFF}), type), "-1") << type;
         }
         // No byte swap for type 5.
         EXPECT_EQ(reg.ValueOutput(bytes({0, 0, 0, 1}), 5), "16777216");
     }},
    {"%HOME% expands, plain and double-byte text come back unchanged",
     [](CReg& reg, World& w) {
         EXPECT_EQ(reg.ValueOutput(QByteArray("%HOME%/x\0", 9), 1), w.home() + "/x");
         EXPECT_EQ(reg.ValueOutput(QByteArray("%HOME%", 6), 2), w.home());
         EXPECT_EQ(reg.ValueOutput("no reference", 1), "no reference");
         const QString chinese = QString::fromUtf8("墨枫哨兵");
         EXPECT_EQ(reg.ValueOutput(QByteArray("\xc4\xab\xb7\xe3\xc9\xda\xb1\xf8\0", 9), 1),
                   chinese);
         EXPECT_EQ(reg.ValueOutput("%NO_SUCH_VARIABLE_HERE%", 1), "%NO_SUCH_VARIABLE_HERE%");
     }},
    {"types 0, 6 and 8 render empty",
     [](CReg& reg, World&) {
         for (qint32 type : {0, 6, 8})
             EXPECT_EQ(reg.ValueOutput("abc", type), "") << type;
     }},
    {"SetValue type 4 stores 12 from \"12\" and nothing from \"x\"",
     [](CReg& reg, World& w) {
         ASSERT_TRUE(reg.SetValue(w.key, "n", 4, QStringLiteral("12"), 0));
         QByteArray value;
         qint32 type = 0;
         ASSERT_TRUE(reg.GetValue(w.key, "n", value, type));
         EXPECT_EQ(value, bytes({12, 0, 0, 0}));
         EXPECT_EQ(type, 4);
         EXPECT_FALSE(reg.SetValue(w.key, "x", 4, QStringLiteral("x"), 0));
         EXPECT_FALSE(reg.GetValue(w.key, "x", value, type));
     }},
    {"SetValue type 3 with length 0 or an element 256 stores nothing",
     [](CReg& reg, World& w) {
         const QVariantList ok = {1, 2, 3};
         EXPECT_FALSE(reg.SetValue(w.key, "b0", 3, ok, 0));
         EXPECT_FALSE(reg.SetValue(w.key, "b256", 3, QVariantList{1, 256, 3}, 3));
         QByteArray value;
         qint32 type = 0;
         EXPECT_FALSE(reg.GetValue(w.key, "b0", value, type));
         EXPECT_FALSE(reg.GetValue(w.key, "b256", value, type));
         ASSERT_TRUE(reg.SetValue(w.key, "b2", 3, ok, 2));
         ASSERT_TRUE(reg.GetValue(w.key, "b2", value, type));
         EXPECT_EQ(value, bytes({1, 2}));
     }},
    {"DeleteSubkeyTree removes two levels, and fails on a missing key",
     [](CReg& reg, World& w) {
         for (const char* path : {"tree\\a\\a1", "tree\\a\\a2", "tree\\b", "tree\\b\\b1"}) {
             Reg::Handle h = 0;
             ASSERT_TRUE(reg.CreatKey(w.key, path, h)) << path;
             ASSERT_TRUE(reg.SetValue(h, "v", 1, QStringLiteral("x"), 0));
             reg.CloseKey(h);
         }
         EXPECT_TRUE(reg.DeleteSubkeyTree(w.key, "tree"));
         Reg::Handle h = 0;
         EXPECT_EQ(reg.OpenKey(w.key, "tree", h), Reg::ErrorFileNotFound);
         EXPECT_FALSE(reg.DeleteSubkeyTree(w.key, "tree"));
         EXPECT_FALSE(reg.DeleteSubkeyTree(w.key, "never\\was"));
     }},
    {"GetSubkeyByIndex past the end gives false and keeps the name",
     [](CReg& reg, World& w) {
         Reg::Handle h = 0;
         ASSERT_TRUE(reg.CreatKey(w.key, "one", h));
         reg.CloseKey(h);
         ASSERT_TRUE(reg.CreatKey(w.key, "two", h));
         reg.CloseKey(h);
         QString name = "keep";
         ASSERT_TRUE(reg.GetSubkeyByIndex(w.key, 1, name));
         EXPECT_EQ(name, "two");
         name = "keep";
         EXPECT_FALSE(reg.GetSubkeyByIndex(w.key, 2, name));
         EXPECT_EQ(name, "keep");
     }},
    {"an empty value and a text holding only its NUL read as empty and true",
     [](CReg& reg, World& w) {
         store(w, "empty", Reg::TypeBinary, {});
         store(w, "nul", Reg::TypeSz, QByteArray(1, '\0'));
         QByteArray value = "x";
         qint32 type = 0;
         ASSERT_TRUE(reg.GetValue(w.key, "empty", value, type));
         EXPECT_TRUE(value.isEmpty());
         EXPECT_EQ(type, 3);
         value = "x";
         ASSERT_TRUE(reg.GetValue(w.key, "nul", value, type));
         EXPECT_TRUE(value.isEmpty());
     }},
    {"default values are written and read as text",
     [](CReg& reg, World& w) {
         QString text = "keep";
         EXPECT_FALSE(reg.GetDefaultValue(w.key, "absent", text));
         EXPECT_EQ(text, "keep");
         ASSERT_TRUE(reg.SetDefaultValue(w.key, "withdefault", QString::fromUtf8("默认 value")));
         ASSERT_TRUE(reg.GetDefaultValue(w.key, "withdefault", text));
         EXPECT_EQ(text, QString::fromUtf8("默认 value"));
         // A key whose default is unset reads as empty text.
         ASSERT_TRUE(reg.GetDefaultValue(w.key, "", text));
         EXPECT_EQ(text, "");
     }},
    {"a handle of 0 fails every operation in the ordinary way",
     [](CReg& reg, World&) {
         QByteArray value;
         qint32 type = 0;
         QString text;
         Reg::Handle h = 0;
         EXPECT_FALSE(reg.GetValue(0, "x", value, type));
         EXPECT_FALSE(reg.GetValueByIndex(0, 0, text, value, type));
         EXPECT_FALSE(reg.GetSubkeyByIndex(0, 0, text));
         EXPECT_FALSE(reg.GetDefaultValue(0, "", text));
         EXPECT_FALSE(reg.SetValue(0, "x", 1, QStringLiteral("a"), 0));
         EXPECT_FALSE(reg.SetBinaryValue(0, "x", 3, "a", 1));
         EXPECT_FALSE(reg.SetDefaultValue(0, "x", "a"));
         EXPECT_FALSE(reg.DelValue(0, "x"));
         EXPECT_FALSE(reg.DeleteSubkeyTree(0, "x"));
         EXPECT_FALSE(reg.CreatKey(0, "x", h));
         EXPECT_NE(reg.OpenKey(0, "x", h), 0);
         EXPECT_NE(reg.CloseKey(0), 0);
         EXPECT_EQ(h, 0u);
     }},
    {"values of every length are read whole by both readers",
     [](CReg& reg, World& w) {
         QByteArray big;
         for (int i = 0; i < 5000; ++i)
             big.append(static_cast<char>(i * 7));
         store(w, "big", Reg::TypeBinary, big);
         QByteArray value;
         qint32 type = 0;
         ASSERT_TRUE(reg.GetValue(w.key, "big", value, type));
         EXPECT_EQ(value, big);
         QString name;
         ASSERT_TRUE(reg.GetValueByIndex(w.key, 0, name, value, type));
         EXPECT_EQ(value, big);
     }},
};

struct Backend {
    const char* name;
    std::function<std::unique_ptr<World>()> make;
};
void PrintTo(const Backend& b, std::ostream* os) {
    *os << b.name;
}

// Every edge case on both registries: the fake, and the real files in a private tree.
class CRegTable : public ::testing::TestWithParam<Backend> {};

} // namespace

TEST_P(CRegTable, EdgeCases) {
    for (const EdgeCase& c : kEdgeCases) {
        SCOPED_TRACE(c.name);
        // Each case in a registry and under a key of its own.
        const std::unique_ptr<World> world = GetParam().make();
        CReg reg(world->api());
        ASSERT_TRUE(reg.CreatKey(Reg::HkeyCurrentUser, kTestKey, world->key));
        c.check(reg, *world);
        EXPECT_EQ(reg.CloseKey(world->key), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Backends, CRegTable,
    ::testing::Values(Backend{"fake", [] { return std::unique_ptr<World>(new FakeWorld); }},
                      Backend{"xdg", [] { return std::unique_ptr<World>(new RealWorld); }}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

struct OutputRow {
    const char* name;
    QByteArray data;
    qint32 type;
    QString expected;
};

TEST(CRegValueOutput, RendersEachType) {
    FakeRegistry fake;
    fake.environment["A"] = "1";
    CReg reg(fake);
    QByteArray bigBinary(40000, '\x01');
    const std::vector<OutputRow> rows = {
        {"text stops at its NUL", QByteArray("ab\0cd", 5), 1, "ab"},
        {"expand type expands too", "%A%%A%", 2, "11"},
        {"unknown reference kept, next one still expands", "%B%A%", 1, "%B1"},
        {"lone percent kept", "50%", 1, "50%"},
        {"binary of one byte", bytes({0x5}), 3, "05"},
        {"binary capped at 32767 bytes", bigBinary, 3, QStringLiteral("01").repeated(32767)},
        {"DWORD uses only the first four bytes", bytes({2, 0, 0, 0, 9, 9}), 4, "2"},
        {"DWORD of fewer than four bytes is no number", bytes({1, 0}), 4, ""},
        {"most negative DWORD", bytes({0, 0, 0, 0x80}), 4, "-2147483648"},
        {"multi-string keeps empty strings inside", QByteArray("a\0\0b\0\0", 6), 7, "a, , b, "},
        {"empty multi-string", QByteArray("\0\0", 2), 7, ""},
        {"multi-string of double-byte text", QByteArray("\xc4\xab\0\xb7\xe3\0", 6), 7,
         QString::fromUtf8("墨, 枫, ")},
        {"REG_LINK", "abc", 6, ""},
        {"type 8", "abc", 8, ""},
        {"negative type", "abc", -1, ""},
    };
    for (const OutputRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(reg.ValueOutput(row.data, row.type), row.expected);
    }
}

TEST(CRegValueOutput, ExpansionLongerThanTheFirstBufferComesBackWhole) {
    FakeRegistry fake;
    const QByteArray longValue(2000, 'z');
    fake.environment["LONG"] = longValue;
    CReg reg(fake);
    EXPECT_EQ(reg.ValueOutput("<%LONG%>", 1), "<" + QString::fromLatin1(longValue) + ">");
    // And is held to the 16-bit limit of the callers.
    fake.environment["HUGE"] = QByteArray(40000, 'y');
    EXPECT_EQ(reg.ValueOutput("%HUGE%", 1).size(), CReg::kMaxExpandedChars);
}

struct SetRow {
    const char* name;
    qint32 type;
    QVariant value;
    qint16 len;
    bool ok;
    QByteArray stored; // with the type given
};

TEST(CRegSetValue, ConvertsOrRefuses) {
    const std::vector<SetRow> rows = {
        {"text", 1, QStringLiteral("abc"), 0, true, QByteArray("abc", 4)},
        {"text in code page 936", 1, QString::fromUtf8("墨枫"), 0, true,
         QByteArray("\xc4\xab\xb7\xe3\0", 5)},
        {"number as text", 2, 42, 0, true, QByteArray("42", 3)},
        {"empty variant as text", 1, QVariant(), 0, true, QByteArray(1, '\0')},
        {"multi-string text gets one more NUL", 7, QString::fromLatin1("a\0b\0", 4), 0, true,
         QByteArray("a\0b\0\0", 5)},
        {"array is no text", 1, QVariantList{1, 2}, 0, false, {}},
        {"DWORD from a number", 4, -2, 0, true, bytes({0xFE, 0xFF, 0xFF, 0xFF})},
        {"DWORD from blanks around a number", 4, QStringLiteral(" 7 "), 0, true,
         bytes({7, 0, 0, 0})},
        {"DWORD rounds half to even", 4, 2.5, 0, true, bytes({2, 0, 0, 0})},
        {"DWORD from hexadecimal", 5, QStringLiteral("&H10"), 0, true, bytes({16, 0, 0, 0})},
        {"DWORD too large", 4, QStringLiteral("2147483648"), 0, false, {}},
        {"DWORD from empty text", 4, QString(), 0, false, {}},
        {"DWORD from an array", 4, QVariantList{1}, 0, false, {}},
        {"binary from numbers", 3, QVariantList{0, 255, 16}, 3, true, bytes({0, 255, 16})},
        {"binary from numeric text elements", 3, QStringList{"1", "2"}, 2, true, bytes({1, 2})},
        {"binary from a byte array", 3, QByteArray("xyz"), 2, true, "xy"},
        {"binary element below 0", 3, QVariantList{-1}, 1, false, {}},
        {"binary length beyond the array", 3, QVariantList{1, 2}, 3, false, {}},
        {"binary negative length", 3, QVariantList{1}, -1, false, {}},
        {"binary from text", 3, QStringLiteral("ab"), 2, false, {}},
        {"binary from a number", 3, 5, 1, false, {}},
        {"REG_LINK is never written", 6, QStringLiteral("a"), 0, false, {}},
        {"unknown type is never written", 9, QStringLiteral("a"), 0, false, {}},
        {"type 0 is never written", 0, QStringLiteral("a"), 0, false, {}},
        // Nothing is stored as "?" in place of what the code page cannot hold.
        {"text the code page cannot hold",
         1,
         QString::fromUtf8("/home/mu\u00f1oz/sentinel /auto"),
         0,
         false,
         {}},
        {"expandable text with an emoji", 2, QString::fromUtf8("%APPDIR%\U0001F600"), 0, false, {}},
        {"multi-string text with a check mark", 7, QString::fromUtf8("a\u2713"), 0, false, {}},
    };
    for (const SetRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeRegistry fake;
        CReg reg(fake);
        EXPECT_EQ(reg.SetValue(Reg::HkeyCurrentUser, "v", row.type, row.value, row.len), row.ok);
        const FakeRegistry::Value* v = fake.get(Reg::HkeyCurrentUser, "", "v");
        if (!row.ok) {
            EXPECT_EQ(v, nullptr);
            EXPECT_EQ(fake.changes(), 0);
            continue;
        }
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, static_cast<quint32>(row.type));
        EXPECT_EQ(v->data, row.stored);
    }
    // A value name the code page cannot hold is refused as well.
    FakeRegistry fake;
    EXPECT_FALSE(CReg(fake).SetValue(Reg::HkeyCurrentUser, QString::fromUtf8("gu\u00f1rd"), 1,
                                     QStringLiteral("x"), 0));
    EXPECT_EQ(fake.changes(), 0);
}

TEST(CRegSetBinaryValue, WritesExactlyTheGivenBytesOrNothing) {
    FakeRegistry fake;
    CReg reg(fake);
    EXPECT_TRUE(reg.SetBinaryValue(Reg::HkeyCurrentUser, "b", 1, QByteArray("ab\0c", 4), 4));
    EXPECT_EQ(fake.get(Reg::HkeyCurrentUser, "", "b")->data, QByteArray("ab\0c", 4));
    EXPECT_TRUE(reg.SetBinaryValue(Reg::HkeyCurrentUser, "zero", 3, "ab", 0));
    EXPECT_EQ(fake.get(Reg::HkeyCurrentUser, "", "zero")->data, QByteArray());
    const int before = fake.changes();
    EXPECT_FALSE(reg.SetBinaryValue(Reg::HkeyCurrentUser, "over", 3, "ab", 3));
    EXPECT_FALSE(reg.SetBinaryValue(Reg::HkeyCurrentUser, "neg", 3, "ab", -1));
    EXPECT_EQ(fake.changes(), before);
}

TEST(CRegGetValue, TextWithoutTerminatorKeepsItsLastCharacter) {
    FakeRegistry fake;
    fake.put(Reg::HkeyCurrentUser, "", "t", Reg::TypeSz, "abc");
    CReg reg(fake);
    QByteArray value;
    qint32 type = 0;
    ASSERT_TRUE(reg.GetValue(Reg::HkeyCurrentUser, "t", value, type));
    EXPECT_EQ(value, "abc");
}

TEST(CRegGetValueByIndex, NamesLongerThan255BytesGiveFalse) {
    FakeRegistry fake;
    fake.put(Reg::HkeyCurrentUser, "", QByteArray(255, 'n'), Reg::TypeSz, "a");
    fake.put(Reg::HkeyCurrentUser, "", QByteArray(256, 'm'), Reg::TypeSz, "b");
    CReg reg(fake);
    QString name;
    QByteArray value;
    qint32 type = 0;
    ASSERT_TRUE(reg.GetValueByIndex(Reg::HkeyCurrentUser, 0, name, value, type));
    EXPECT_EQ(name, QString(255, QLatin1Char('n')));
    EXPECT_FALSE(reg.GetValueByIndex(Reg::HkeyCurrentUser, 1, name, value, type));
    EXPECT_FALSE(reg.GetValueByIndex(Reg::HkeyCurrentUser, 2, name, value, type));
    EXPECT_FALSE(reg.GetValueByIndex(Reg::HkeyCurrentUser, -1, name, value, type));
}

TEST(CRegDeleteSubkeyTree, OnePassWhereThePlatformDeletesTrees) {
    FakeRegistry fake;
    fake.deletesTrees = true;
    fake.putKey(Reg::HkeyCurrentUser, "t\\a\\b");
    CReg reg(fake);
    const int before = fake.calls();
    EXPECT_TRUE(reg.DeleteSubkeyTree(Reg::HkeyCurrentUser, "t"));
    EXPECT_FALSE(fake.hasKey(Reg::HkeyCurrentUser, "t"));
    EXPECT_EQ(fake.calls() - before, 3); // open, delete, close: no recursion
    EXPECT_EQ(fake.openHandles(), 0);
}

TEST(CRegDeleteSubkeyTree, ClosesEveryHandleAndStopsWhereAKeyCannotGo) {
    FakeRegistry fake;
    fake.putKey(Reg::HkeyCurrentUser, "t\\a\\b");
    fake.putKey(Reg::HkeyCurrentUser, "t\\c");
    fake.denyWrites = true;
    CReg reg(fake);
    EXPECT_FALSE(reg.DeleteSubkeyTree(Reg::HkeyCurrentUser, "t"));
    EXPECT_TRUE(fake.hasKey(Reg::HkeyCurrentUser, "t\\a\\b"));
    EXPECT_EQ(fake.openHandles(), 0);
    fake.denyWrites = false;
    EXPECT_TRUE(reg.DeleteSubkeyTree(Reg::HkeyCurrentUser, "t"));
    EXPECT_EQ(fake.openHandles(), 0);
}

} // namespace
