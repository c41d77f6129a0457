// The repeated replacement, checked against the plain loop it stands for.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "ascii_u/replace.h"

using namespace devlink;

namespace {

// The loop as written: find the first occurrence from the beginning, replace, repeat.
// Gives nothing when it has not ended within the step budget.
std::optional<std::string> PlainLoop(std::string text, const std::string &pattern, const std::string &replacement,
                                     int budget) {
    if (pattern.empty() || pattern == replacement) return text;
    for (auto at = text.find(pattern); at != std::string::npos; at = text.find(pattern)) {
        if (--budget < 0) return std::nullopt;
        text.replace(at, pattern.size(), replacement);
    }
    return text;
}

TEST(ReplaceRepeatedly, Examples) {
    struct Case {
        std::string source, pattern, replacement, result;
    };
    const Case cases[] = {
        {"a;b;c", ";", "\r", "a\rb\rc"},
        {"a;b;c", ";", ";", "a;b;c"},      // equal pattern and replacement
        {"a;b;c", "", "x", "a;b;c"},       // an empty pattern is never found
        {"aaaa", "aa", "a", "a"},          // each pass searches from the beginning again
        {"aabb", "ab", "ba", "bbaa"},      // replaced text is searched again
        {"(1,18)(5,34)", ")(", "\r", "(1,18\r5,34)"},
        {"abc", "abc", "", ""},
        {"a", "a", "ba", "ba"},            // would never end: one pass instead
        {"xaxa", "a", "aa", "xaaxaa"},     // would never end: one pass instead
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReplaceRepeatedly(c.source, c.pattern, c.replacement), c.result) << c.source << " " << c.pattern;
}

TEST(ReplaceRepeatedly, GrowthPastTheLimitFallsBackToOnePass) {
    // "ab" -> "aab" keeps finding "ab" and grows by one each time.
    const std::string source = "ab" + std::string(10, 'c');
    EXPECT_EQ(ReplaceRepeatedly(source, "ab", "aab"), "aab" + std::string(10, 'c'));
    // "ab" -> "bba" doubles the b's of a^n b: b^(2^n) a^n. That ends within the limit for
    // n = 15 and is the loop's result; for n = 16 it would grow past it.
    EXPECT_EQ(ReplaceRepeatedly(std::string(15, 'a') + "b", "ab", "bba"), std::string(32768, 'b') + std::string(15, 'a'));
    EXPECT_EQ(ReplaceRepeatedly(std::string(16, 'a') + "b", "ab", "bba"), std::string(15, 'a') + "bba");
}

TEST(ReplaceRepeatedly, AgreesWithThePlainLoopOnRandomTexts) {
    std::mt19937 random(12345);
    auto word = [&](int maxLength) {
        std::string text(std::uniform_int_distribution<int>(0, maxLength)(random), 'a');
        for (char &c : text) c = "ab;"[std::uniform_int_distribution<int>(0, 2)(random)];
        return text;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string source = word(14), pattern = word(3), replacement = word(3);
        const auto expected = PlainLoop(source, pattern, replacement, 300);
        if (!expected) continue;  // not ending: covered above
        ASSERT_EQ(ReplaceRepeatedly(source, pattern, replacement), *expected)
            << "source=" << source << " pattern=" << pattern << " replacement=" << replacement;
    }
}

TEST(ReplaceRepeatedly, QuadraticLoopsStillGiveTheLoopsResult) {
    // Moving every "b" ahead of every "a" takes (count a) x (count b) replacements.
    const std::string source = std::string(300, 'a') + std::string(300, 'b');
    EXPECT_EQ(ReplaceRepeatedly(source, "ab", "ba"), std::string(300, 'b') + std::string(300, 'a'));
}

TEST(SplitLines, AsAStringListTakesText) {
    EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
    EXPECT_EQ(SplitLines("a\rb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitLines("a\rb\r"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitLines("\r\r"), (std::vector<std::string>{"", ""}));
}

}  // namespace
