#include "patrol/KeywordMatcher.h"
#include "keywords/PlainKeywordList.h"

#include <gtest/gtest.h>

#include <ostream>

#include <random>

namespace {

// The plain test the matcher must agree with: every keyword in list order, exact and
// case-sensitive substring search, the empty keyword found in every title.
bool plainMatch(const QStringList& keywords, const QString& title) {
    for (const QString& k : keywords)
        if (k.isEmpty() || title.contains(k, Qt::CaseSensitive))
            return true;
    return false;
}

struct MatchCase {
    const char* name;
    QStringList keywords;
    QString title;
    bool expected;
};

// Cases show by name in test listings.
void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

class KeywordMatcherTable : public ::testing::TestWithParam<MatchCase> {};

TEST_P(KeywordMatcherTable, AnswersAsThePlainSubstringTest) {
    const MatchCase& c = GetParam();
    ASSERT_EQ(plainMatch(c.keywords, c.title), c.expected) << "the case itself is wrong";
    const KeywordMatcher matcher(c.keywords);
    EXPECT_EQ(matcher.matches(c.title), c.expected);
}

const QString kSmile = QString::fromUtf16(u"\U0001F600"); // a surrogate pair

INSTANTIATE_TEST_SUITE_P(
    Cases, KeywordMatcherTable,
    ::testing::Values(
        MatchCase{"AtStart", {"bad"}, "bad site", true},
        MatchCase{"InMiddle", {"bad"}, "a bad site", true},
        MatchCase{"AtEnd", {"bad"}, "site is bad", true},
        MatchCase{"WholeTitle", {"bad"}, "bad", true},
        MatchCase{"OtherCase", {"Bad"}, "a bad site", false},
        MatchCase{"SpaceInside", {"casino"}, "cas ino", false},
        MatchCase{"KeywordWithBlanks", {" casino "}, "online casino", false},
        MatchCase{"KeywordWithBlanksFound", {" casino "}, "an online casino here", true},
        MatchCase{"LongerThanTitle", {"badness"}, "bad", false},
        MatchCase{"EmptyListMatchesNothing", {}, "anything", false},
        MatchCase{"EmptyKeywordInEveryTitle", {"zzz", ""}, "anything", true},
        MatchCase{"EmptyKeywordInEmptyTitle", {""}, "", true},
        MatchCase{"EmptyTitleOtherwise", {"a"}, "", false},
        MatchCase{"Chinese", {"色情"}, "免费色情视频", true},
        MatchCase{"ChineseHalfOnly", {"色情"}, "免费色彩视频", false},
        MatchCase{"FullWidthIsNotAscii", {"ABC"}, "ＡＢＣ", false},
        MatchCase{"SecondOfTwo", {"nope", "site"}, "a bad site", true},
        MatchCase{"PrefixOfAnother", {"abcd", "ab"}, "xxabyy", true},
        MatchCase{"LongerOnlyPartly", {"abcd"}, "xxabcyy", false},
        MatchCase{"SuffixOfAnother", {"xabc", "bc"}, "zzbcz", true},
        // Failure links: the text leaves "abcd" after "abc" and must find "bce".
        MatchCase{"FailureLink", {"abcd", "bce"}, "abce", true},
        MatchCase{"FailureLinkMiss", {"abcd", "bcf"}, "abce", false},
        MatchCase{"Classic", {"he", "she", "his", "hers"}, "ushers", true},
        MatchCase{"ClassicMiss", {"she", "his", "hers"}, "sh he hi rs", false},
        MatchCase{"Repeats", {"aa", "aa", "aa"}, "baab", true},
        MatchCase{"OverlapSelf", {"aab"}, "aaab", true},
        MatchCase{"SurrogatePair", {kSmile}, "hi " + kSmile, true},
        MatchCase{"HalfOfSurrogatePair", {kSmile.left(1)}, "hi " + kSmile, true},
        MatchCase{"NulInside", {QString(QChar(u'\0'))}, QString("a") + QChar(u'\0'), true}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

// Random lists and titles over a small alphabet (so that keywords overlap, share prefixes
// and suffixes and often occur), Chinese and a surrogate pair included.
class Generator {
public:
    explicit Generator(unsigned seed) : m_rng(seed) {}

    QString word(int maxLength) {
        static const char16_t units[] = {u'a',  u'b',  u'c',   u' ',  u'A',
                                         u'中', u'文', 0xD83D, 0xDE00};
        QString s;
        const int length = pick(0, maxLength);
        for (int i = 0; i < length; ++i) {
            const int u = pick(0, 7);
            if (u == 7) { // the whole pair, mostly
                s += QChar(char16_t(0xD83D));
                if (pick(0, 3))
                    s += QChar(char16_t(0xDE00));
            } else {
                s += QChar(units[u]);
            }
        }
        return s;
    }

    QStringList keywords() {
        QStringList list;
        const int count = pick(0, 12);
        for (int i = 0; i < count; ++i) {
            const int kind = pick(0, 9);
            if (kind == 0 && !list.isEmpty()) {
                list.append(list.at(pick(0, int(list.size()) - 1))); // a repeat
            } else if (kind <= 2 && !list.isEmpty()) {
                const QString& other = list.at(pick(0, int(list.size()) - 1));
                const int n = pick(0, int(other.size()));
                list.append(kind == 1 ? other.left(n) : other.right(n)); // prefix or suffix
            } else if (kind == 3) {
                list.append(word(3) + word(3));
            } else {
                list.append(word(5));
            }
        }
        // An empty keyword makes every answer true: keep it, but rarely.
        if (pick(0, 20) != 0)
            list.removeAll(QString());
        return list;
    }

    QString title(const QStringList& keywords) {
        QString t = word(12);
        if (!keywords.isEmpty() && pick(0, 2) == 0) {
            QString k = keywords.at(pick(0, int(keywords.size()) - 1));
            if (!k.isEmpty() && pick(0, 1))
                k.remove(pick(0, int(k.size()) - 1), 1); // a near miss
            t.insert(pick(0, int(t.size())), k);
        }
        return t;
    }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

private:
    std::mt19937 m_rng;
};

// The automaton's rows come in two kinds (complete, or own edges with failure links), as
// far as a memory budget goes; each tuning here drives a different mix of them.
struct TuningCase {
    const char* name;
    KeywordMatcher::Tuning tuning;
    bool expectComplete; // some states get complete rows
    bool expectPartial;  // some states keep their own edges only
};

void PrintTo(const TuningCase& c, std::ostream* os) {
    *os << c.name;
}

class KeywordMatcherDifferential : public ::testing::TestWithParam<TuningCase> {};

TEST_P(KeywordMatcherDifferential, AgreesWithThePlainTestOnRandomListsAndTitles) {
    Generator gen(20240501);
    int found = 0, missed = 0;
    qsizetype complete = 0, states = 0;
    for (int list = 0; list < 3000; ++list) {
        const QStringList keywords = gen.keywords();
        KeywordMatcher matcher;
        matcher.setTuning(GetParam().tuning);
        matcher.build(keywords);
        complete += matcher.completeStateCount();
        states += matcher.stateCount();
        for (int t = 0; t < 12; ++t) {
            const QString title = gen.title(keywords);
            const bool expected = plainMatch(keywords, title);
            (expected ? found : missed)++;
            ASSERT_EQ(matcher.matches(title), expected)
                << "keywords " << keywords.join(u'|').toStdString() << " title \""
                << title.toStdString() << "\"";
        }
    }
    // Both answers must be common, or the comparison proves little.
    EXPECT_GT(found, 6000);
    EXPECT_GT(missed, 6000);
    EXPECT_EQ(complete > 0, GetParam().expectComplete);
    EXPECT_EQ(complete < states / 2, GetParam().expectPartial);
}

TEST_P(KeywordMatcherDifferential, AgreesOnALargeList) {
    Generator gen(7);
    QStringList keywords;
    for (int i = 0; i < 5000; ++i) {
        QString w = gen.word(8);
        if (w.size() >= 4)
            keywords.append(w);
    }
    KeywordMatcher matcher;
    matcher.setTuning(GetParam().tuning);
    matcher.build(keywords);
    int found = 0;
    for (int t = 0; t < 2000; ++t) {
        const QString title = gen.word(12) + gen.word(12);
        const bool expected = plainMatch(keywords, title);
        found += expected;
        ASSERT_EQ(matcher.matches(title), expected) << title.toStdString();
    }
    EXPECT_GT(found, 200);
    EXPECT_LT(found, 1800);
}

// Wide fan-out over far-apart code units: rows that are searched, not indexed.
TEST_P(KeywordMatcherDifferential, AgreesOnAWideAlphabet) {
    std::mt19937 rng(99);
    auto ideograph = [&] { return QChar(char16_t(0x4E00 + rng() % 2000)); };
    QStringList keywords;
    for (int i = 0; i < 400; ++i)
        keywords.append(QString(u'中') + ideograph() + (i % 3 ? QString() : QString(ideograph())));
    for (int i = 0; i < 400; ++i)
        keywords.append(QString(ideograph()) + ideograph() + ideograph());
    KeywordMatcher matcher;
    matcher.setTuning(GetParam().tuning);
    matcher.build(keywords);
    int found = 0;
    for (int t = 0; t < 3000; ++t) {
        QString title;
        for (int n = 0; n < 30; ++n)
            title += rng() % 4 ? ideograph() : QChar(u'中');
        const bool expected = plainMatch(keywords, title);
        found += expected;
        ASSERT_EQ(matcher.matches(title), expected) << title.toStdString();
    }
    EXPECT_GT(found, 300);
    EXPECT_LT(found, 2700);
}

INSTANTIATE_TEST_SUITE_P(Tunings, KeywordMatcherDifferential,
                         ::testing::Values(TuningCase{"Default", {}, true, false},
                                           TuningCase{"NoCompleteRows", {0, 0}, false, true},
                                           TuningCase{"ScarceBudget", {1, 4}, true, true}),
                         [](const ::testing::TestParamInfo<TuningCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(KeywordMatcher, BuiltEmptyMatchesNothing) {
    const KeywordMatcher matcher;
    EXPECT_FALSE(matcher.matches(u"anything"));
    EXPECT_FALSE(matcher.matches(u""));
}

TEST(KeywordMatcher, RebuildReplacesThePreviousList) {
    KeywordMatcher matcher(QStringList{"old"});
    matcher.build(QStringList{"new"});
    EXPECT_FALSE(matcher.matches(u"an old title"));
    EXPECT_TRUE(matcher.matches(u"a new title"));
    matcher.build(QStringList{""});
    EXPECT_TRUE(matcher.matches(u"whatever"));
    matcher.build(QStringList{"x"});
    EXPECT_FALSE(matcher.matches(u"whatever"));
}

TEST(KeywordMatcher, FullListOf32767Entries) {
    QStringList keywords;
    for (int i = 0; i < 32767; ++i)
        keywords.append(QStringLiteral("关键%1词").arg(i));
    const KeywordMatcher matcher(keywords);
    EXPECT_TRUE(matcher.matches(u"标题 关键32766词 结束"));
    EXPECT_TRUE(matcher.matches(u"关键0词"));
    EXPECT_FALSE(matcher.matches(u"关键32767词"));
    EXPECT_FALSE(matcher.matches(u"关键词"));
}

TEST(KeywordMatcherUpdate, RebuildsOnlyWhenTheListHasChanged) {
    PlainKeywordList list({"alpha"});
    KeywordMatcher matcher;
    EXPECT_TRUE(matcher.update(list));
    EXPECT_EQ(matcher.buildCount(), 1u);
    EXPECT_FALSE(matcher.update(list));
    EXPECT_EQ(matcher.buildCount(), 1u);
    EXPECT_TRUE(matcher.matches(u"alpha"));

    list.append("beta");
    EXPECT_TRUE(matcher.update(list));
    EXPECT_TRUE(matcher.matches(u"beta"));
    list.removeAt(0);
    EXPECT_TRUE(matcher.update(list));
    EXPECT_FALSE(matcher.matches(u"alpha"));

    PlainKeywordList other({"gamma"});
    EXPECT_TRUE(matcher.update(other));
    EXPECT_TRUE(matcher.matches(u"gamma"));
    EXPECT_FALSE(matcher.matches(u"beta"));

    matcher.invalidate();
    EXPECT_TRUE(matcher.update(other));
    EXPECT_EQ(matcher.buildCount(), 5u);
}

} // namespace
