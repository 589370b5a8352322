#include "patrol/KeywordMatcher.h"

#include "common/Text.h"
#include "keywords/PlainKeywordList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>

namespace {

// The plain test the matcher must agree with: every keyword in list order, exact and
// case-sensitive substring search, the empty keyword found in every title.
std::u16string joined(const std::vector<std::u16string>& keywords) {
    std::u16string out;
    for (const std::u16string& k : keywords)
        out += (out.empty() ? u"" : u"|") + k;
    return out;
}

bool plainMatch(const std::vector<std::u16string>& keywords, const std::u16string& title) {
    for (const std::u16string& k : keywords)
        if (k.empty() || title.find(k) != std::u16string::npos)
            return true;
    return false;
}

struct MatchCase {
    const char* name;
    std::vector<std::u16string> keywords;
    std::u16string title;
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

const std::u16string kSmile = u"\U0001F600"; // a surrogate pair

INSTANTIATE_TEST_SUITE_P(
    Cases, KeywordMatcherTable,
    ::testing::Values(
        MatchCase{"AtStart", {u"bad"}, u"bad site", true},
        MatchCase{"InMiddle", {u"bad"}, u"a bad site", true},
        MatchCase{"AtEnd", {u"bad"}, u"site is bad", true},
        MatchCase{"WholeTitle", {u"bad"}, u"bad", true},
        MatchCase{"OtherCase", {u"Bad"}, u"a bad site", false},
        MatchCase{"SpaceInside", {u"casino"}, u"cas ino", false},
        MatchCase{"KeywordWithBlanks", {u" casino "}, u"online casino", false},
        MatchCase{"KeywordWithBlanksFound", {u" casino "}, u"an online casino here", true},
        MatchCase{"LongerThanTitle", {u"badness"}, u"bad", false},
        MatchCase{"EmptyListMatchesNothing", {}, u"anything", false},
        MatchCase{"EmptyKeywordInEveryTitle", {u"zzz", u""}, u"anything", true},
        MatchCase{"EmptyKeywordInEmptyTitle", {u""}, u"", true},
        MatchCase{"EmptyTitleOtherwise", {u"a"}, u"", false},
        MatchCase{"Chinese", {u"色情"}, u"免费色情视频", true},
        MatchCase{"ChineseHalfOnly", {u"色情"}, u"免费色彩视频", false},
        MatchCase{"FullWidthIsNotAscii", {u"ABC"}, u"ＡＢＣ", false},
        MatchCase{"SecondOfTwo", {u"nope", u"site"}, u"a bad site", true},
        MatchCase{"PrefixOfAnother", {u"abcd", u"ab"}, u"xxabyy", true},
        MatchCase{"LongerOnlyPartly", {u"abcd"}, u"xxabcyy", false},
        MatchCase{"SuffixOfAnother", {u"xabc", u"bc"}, u"zzbcz", true},
        // Failure links: the text leaves "abcd" after "abc" and must find "bce".
        MatchCase{"FailureLink", {u"abcd", u"bce"}, u"abce", true},
        MatchCase{"FailureLinkMiss", {u"abcd", u"bcf"}, u"abce", false},
        MatchCase{"Classic", {u"he", u"she", u"his", u"hers"}, u"ushers", true},
        MatchCase{"ClassicMiss", {u"she", u"his", u"hers"}, u"sh he hi rs", false},
        MatchCase{"Repeats", {u"aa", u"aa", u"aa"}, u"baab", true},
        MatchCase{"OverlapSelf", {u"aab"}, u"aaab", true},
        MatchCase{"SurrogatePair", {kSmile}, u"hi " + kSmile, true},
        MatchCase{"HalfOfSurrogatePair", {kSmile.substr(0, 1)}, u"hi " + kSmile, true},
        MatchCase{"NulInside", {std::u16string(1, u'\0')}, std::u16string(u"a") + u'\0', true}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

// Random lists and titles over a small alphabet (so that keywords overlap, share prefixes
// and suffixes and often occur), Chinese and a surrogate pair included.
class Generator {
public:
    explicit Generator(unsigned seed) : m_rng(seed) {}

    std::u16string word(int maxLength) {
        static const char16_t units[] = {u'a',  u'b',  u'c',   u' ',  u'A',
                                         u'中', u'文', 0xD83D, 0xDE00};
        std::u16string s;
        const int length = pick(0, maxLength);
        for (int i = 0; i < length; ++i) {
            const int u = pick(0, 7);
            if (u == 7) { // the whole pair, mostly
                s += char16_t(0xD83D);
                if (pick(0, 3))
                    s += char16_t(0xDE00);
            } else {
                s += units[u];
            }
        }
        return s;
    }

    std::vector<std::u16string> keywords() {
        std::vector<std::u16string> list;
        const int count = pick(0, 12);
        for (int i = 0; i < count; ++i) {
            const int kind = pick(0, 9);
            if (kind == 0 && !list.empty()) {
                list.push_back(list.at(pick(0, int(list.size()) - 1))); // a repeat
            } else if (kind <= 2 && !list.empty()) {
                const std::u16string& other = list.at(pick(0, int(list.size()) - 1));
                const int n = pick(0, int(other.size()));
                list.push_back(kind == 1 ? other.substr(0, n)
                                         : other.substr(other.size() - n)); // prefix or suffix
            } else if (kind == 3) {
                list.push_back(word(3) + word(3));
            } else {
                list.push_back(word(5));
            }
        }
        // An empty keyword makes every answer true: keep it, but rarely.
        if (pick(0, 20) != 0)
            std::erase(list, std::u16string());
        return list;
    }

    std::u16string title(const std::vector<std::u16string>& keywords) {
        std::u16string t = word(12);
        if (!keywords.empty() && pick(0, 2) == 0) {
            std::u16string k = keywords.at(pick(0, int(keywords.size()) - 1));
            if (!k.empty() && pick(0, 1))
                k.erase(pick(0, int(k.size()) - 1), 1); // a near miss
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
    std::ptrdiff_t complete = 0, states = 0;
    for (int list = 0; list < 3000; ++list) {
        const std::vector<std::u16string> keywords = gen.keywords();
        KeywordMatcher matcher;
        matcher.setTuning(GetParam().tuning);
        matcher.build(keywords);
        complete += matcher.completeStateCount();
        states += matcher.stateCount();
        for (int t = 0; t < 12; ++t) {
            const std::u16string title = gen.title(keywords);
            const bool expected = plainMatch(keywords, title);
            (expected ? found : missed)++;
            ASSERT_EQ(matcher.matches(title), expected)
                << "keywords " << Text::toUtf8(joined(keywords)) << " title \""
                << Text::toUtf8(title) << "\"";
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
    std::vector<std::u16string> keywords;
    for (int i = 0; i < 5000; ++i) {
        std::u16string w = gen.word(8);
        if (w.size() >= 4)
            keywords.push_back(w);
    }
    KeywordMatcher matcher;
    matcher.setTuning(GetParam().tuning);
    matcher.build(keywords);
    int found = 0;
    for (int t = 0; t < 2000; ++t) {
        const std::u16string title = gen.word(12) + gen.word(12);
        const bool expected = plainMatch(keywords, title);
        found += expected;
        ASSERT_EQ(matcher.matches(title), expected) << Text::toUtf8(title);
    }
    EXPECT_GT(found, 200);
    EXPECT_LT(found, 1800);
}

// Wide fan-out over far-apart code units: rows that are searched, not indexed.
TEST_P(KeywordMatcherDifferential, AgreesOnAWideAlphabet) {
    std::mt19937 rng(99);
    auto ideograph = [&] { return std::u16string(1, char16_t(0x4E00 + rng() % 2000)); };
    std::vector<std::u16string> keywords;
    for (int i = 0; i < 400; ++i)
        keywords.push_back(u"中" + ideograph() + (i % 3 ? std::u16string() : ideograph()));
    for (int i = 0; i < 400; ++i)
        keywords.push_back(ideograph() + ideograph() + ideograph());
    KeywordMatcher matcher;
    matcher.setTuning(GetParam().tuning);
    matcher.build(keywords);
    int found = 0;
    for (int t = 0; t < 3000; ++t) {
        std::u16string title;
        for (int n = 0; n < 30; ++n)
            title += rng() % 4 ? ideograph() : std::u16string(u"中");
        const bool expected = plainMatch(keywords, title);
        found += expected;
        ASSERT_EQ(matcher.matches(title), expected) << Text::toUtf8(title);
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
    KeywordMatcher matcher(std::vector<std::u16string>{u"old"});
    matcher.build(std::vector<std::u16string>{u"new"});
    EXPECT_FALSE(matcher.matches(u"an old title"));
    EXPECT_TRUE(matcher.matches(u"a new title"));
    matcher.build(std::vector<std::u16string>{u""});
    EXPECT_TRUE(matcher.matches(u"whatever"));
    matcher.build(std::vector<std::u16string>{u"x"});
    EXPECT_FALSE(matcher.matches(u"whatever"));
}

TEST(KeywordMatcher, FullListOf32767Entries) {
    std::vector<std::u16string> keywords;
    for (int i = 0; i < 32767; ++i)
        keywords.push_back(u"关键" + Text::fromUtf8(std::to_string(i)) + u"词");
    const KeywordMatcher matcher(keywords);
    EXPECT_TRUE(matcher.matches(u"标题 关键32766词 结束"));
    EXPECT_TRUE(matcher.matches(u"关键0词"));
    EXPECT_FALSE(matcher.matches(u"关键32767词"));
    EXPECT_FALSE(matcher.matches(u"关键词"));
}

TEST(KeywordMatcherUpdate, RebuildsOnlyWhenTheListHasChanged) {
    PlainKeywordList list({u"alpha"});
    KeywordMatcher matcher;
    EXPECT_TRUE(matcher.update(list));
    EXPECT_EQ(matcher.buildCount(), 1u);
    EXPECT_FALSE(matcher.update(list));
    EXPECT_EQ(matcher.buildCount(), 1u);
    EXPECT_TRUE(matcher.matches(u"alpha"));

    list.append(u"beta");
    EXPECT_TRUE(matcher.update(list));
    EXPECT_TRUE(matcher.matches(u"beta"));
    list.removeAt(0);
    EXPECT_TRUE(matcher.update(list));
    EXPECT_FALSE(matcher.matches(u"alpha"));

    PlainKeywordList other({u"gamma"});
    EXPECT_TRUE(matcher.update(other));
    EXPECT_TRUE(matcher.matches(u"gamma"));
    EXPECT_FALSE(matcher.matches(u"beta"));

    matcher.invalidate();
    EXPECT_TRUE(matcher.update(other));
    EXPECT_EQ(matcher.buildCount(), 5u);
}

} // namespace
