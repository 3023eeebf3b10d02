// What selectors select: each row is a selector and its truth value for one message.
// Unknown is told from FALSE by evaluating the negation too: NOT unknown is unknown.
// LIKE matching is also tested on its own, where the backtracking of '%' is easiest
// to get wrong; malformed patterns are refused through compile (SelectorErrorTest).
#include "FakeMessage.h"
#include "selector/LikePattern.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <ostream>
#include <thread>
#include <vector>

namespace quorix::selector::test {
namespace {

enum class Truth { F, T, U };

struct Row {
  const char16_t* selector;
  Truth expected;
};

std::ostream& operator<<(std::ostream& os, const Row& row) { return os << ascii(row.selector); }

const FakeMessage& message() {
  static const FakeMessage msg = [] {
    FakeMessage m;
    m.set(u"i", int64_t{10}).set(u"d", 2.5).set(u"s", u"hello").set(u"e", u"");
    m.set(u"b", true).set(u"f", false).set(u"z", int64_t{0}).set(u"neg", int64_t{-3});
    m.set(u"big", std::numeric_limits<int64_t>::max());
    m.set(u"small", std::numeric_limits<int64_t>::min());
    m.set(u"nan", std::numeric_limits<double>::quiet_NaN());
    m.set(u"pct", u"50%").set(u"us", u"a_b").set(u"q", u"it's").set(u"a.b", int64_t{1});
    m.set(u"Name", u"upper").set(u"name", u"lower").set(u"escape", int64_t{7});
    return m;
  }();
  return msg;
}

Truth truthOf(const std::u16string& selector) {
  const bool yes = Selector::compile(selector)->matches(message());
  const bool no = Selector::compile(u"NOT (" + selector + u")")->matches(message());
  EXPECT_FALSE(yes && no) << "a selector and its negation both matched";
  return yes ? Truth::T : no ? Truth::F : Truth::U;
}

class Evaluates : public ::testing::TestWithParam<Row> {};

TEST_P(Evaluates, ToExpectedTruth) {
  const Row& row = GetParam();
  try {
    EXPECT_EQ(truthOf(row.selector), row.expected) << "T=1 F=0 U=2";
  } catch (const SelectorError& e) {
    FAIL() << "compile failed: " << e.reason;
  }
}

using T = Truth;

INSTANTIATE_TEST_SUITE_P(Comparison, Evaluates, ::testing::Values(
    Row{u"i = 10", T::T}, Row{u"i <> 10", T::F}, Row{u"i > 9", T::T}, Row{u"i >= 10", T::T},
    Row{u"i < 10", T::F}, Row{u"i <= 9", T::F},
    Row{u"i = 10.0", T::T}, Row{u"i > d", T::T}, Row{u"d < 3", T::T},
    Row{u"big > 9.2e18", T::T}, Row{u"big > 9223372036854775806", T::T},
    Row{u"big - 1 < big", T::T}, Row{u"nan = nan", T::F}, Row{u"nan <> nan", T::T},
    Row{u"nan < 1", T::F},
    Row{u"big = 9223372036854775807", T::T}, Row{u"small = -9223372036854775808", T::T},
    Row{u"s = 'hello'", T::T}, Row{u"'hello' = s", T::T}, Row{u"s <> 'hello'", T::F},
    Row{u"s = 'Hello'", T::F}, Row{u"q = 'it''s'", T::T}, Row{u"e = ''", T::T},
    Row{u"b = TRUE", T::T}, Row{u"b <> FALSE", T::T}, Row{u"f = TRUE", T::F},
    Row{u"b", T::T}, Row{u"f", T::F},
    // A value that is not a boolean is no condition.
    Row{u"i", T::U}, Row{u"s", T::U}));

// Values of unlike types, and strings or booleans in order, are FALSE under every
// operator (so their negation selects); only a NULL operand makes a comparison unknown.
INSTANTIATE_TEST_SUITE_P(UnlikeTypes, Evaluates, ::testing::Values(
    Row{u"s = 17", T::F}, Row{u"17 = s", T::F}, Row{u"s <> 17", T::F}, Row{u"i = '10'", T::F},
    Row{u"i <> '10'", T::F}, Row{u"b = 1", T::F}, Row{u"d = b", T::F}, Row{u"b = 'true'", T::F},
    Row{u"(i = 10) = 1", T::F}, Row{u"s > i", T::F}, Row{u"s <= i", T::F}, Row{u"s > e", T::F},
    Row{u"b > f", T::F}, Row{u"b <= f", T::F}, Row{u"s BETWEEN 1 AND 2", T::F},
    Row{u"s NOT BETWEEN 1 AND 2", T::F}, Row{u"NOT (s = 17) AND i = 10", T::T},
    Row{u"nope = 's'", T::U}, Row{u"nope <> 1", T::U}, Row{u"s = nope", T::U},
    Row{u"nope > b", T::U}));

INSTANTIATE_TEST_SUITE_P(ThreeValuedLogic, Evaluates, ::testing::Values(
    Row{u"nope = 1", T::U}, Row{u"NOT nope = 1", T::U}, Row{u"nope", T::U},
    Row{u"nope = 1 OR i = 10", T::T}, Row{u"i = 10 OR nope = 1", T::T},
    Row{u"nope = 1 OR i = 11", T::U}, Row{u"nope = 1 AND i = 11", T::F},
    Row{u"i = 11 AND nope = 1", T::F}, Row{u"nope = 1 AND i = 10", T::U},
    Row{u"nope = 1 OR nope = 2 OR b", T::T}, Row{u"nope = 1 AND nope = 2 AND f", T::F},
    Row{u"TRUE", T::T}, Row{u"FALSE", T::F}, Row{u"NOT FALSE", T::T}, Row{u"NOT NOT b", T::T},
    Row{u"i = 10 OR i = 11 AND f", T::T}, Row{u"(i = 10 OR i = 11) AND f", T::F},
    Row{u"NOT f AND f", T::F}, Row{u"i = 10 OR 1 / 0 = 1", T::T},
    Row{u"i = 11 OR z / z = 1", T::U}, Row{u"(nope = 1) = TRUE", T::U},
    Row{u"(i = 10) = b", T::T}, Row{u"(i = 10) <> (s = 'x')", T::T}));

INSTANTIATE_TEST_SUITE_P(Arithmetic, Evaluates, ::testing::Values(
    Row{u"i + 1 = 11", T::T}, Row{u"i - 20 = -10", T::T}, Row{u"i * d = 25", T::T},
    Row{u"i / 4 = 2", T::T}, Row{u"i / 4.0 = 2.5", T::T}, Row{u"i + d = 12.5", T::T},
    Row{u"-i = -10", T::T}, Row{u"+i = 10", T::T}, Row{u"- -i = 10", T::T}, Row{u"-d < 0", T::T},
    Row{u"2 * neg = -6", T::T}, Row{u"neg / 2 = -1", T::T},
    Row{u"1 + 2 * 3 = 7", T::T}, Row{u"(1 + 2) * 3 = 9", T::T}, Row{u"10 - 4 - 3 = 3", T::T},
    Row{u"100 / 10 / 5 = 2", T::T},
    Row{u"7. = 7", T::T}, Row{u".5 = 0.5", T::T}, Row{u"1E2 = 100", T::T},
    Row{u"2.5e-1 = 0.25", T::T}, Row{u"1e+1 = 10", T::T},
    // Operands without a number give no number: the comparison is unknown.
    Row{u"s + 1 = 1", T::U}, Row{u"nope + 1 = 1", T::U}, Row{u"-s = 1", T::U},
    Row{u"+s = 1", T::U}, Row{u"i / z = 1", T::U},
    Row{u"i / 0.0 > 1e308", T::T}, Row{u"big + 1 = small", T::T},
    Row{u"small / -1 = small", T::T}, Row{u"-small = small", T::T}));

INSTANTIATE_TEST_SUITE_P(Between, Evaluates, ::testing::Values(
    Row{u"i BETWEEN 10 AND 20", T::T}, Row{u"i BETWEEN 1 AND 10", T::T},
    Row{u"i BETWEEN 11 AND 20", T::F}, Row{u"i BETWEEN 1 AND 9", T::F},
    Row{u"i BETWEEN 20 AND 1", T::F}, Row{u"i NOT BETWEEN 11 AND 20", T::T},
    Row{u"i NOT BETWEEN 10 AND 10", T::F}, Row{u"i BETWEEN 9.5 AND 10.5", T::T},
    Row{u"i + 1 BETWEEN 11 AND 11", T::T}, Row{u"i BETWEEN 5 AND 15 AND f", T::F},
    Row{u"nope BETWEEN 1 AND 2", T::U}, Row{u"nope NOT BETWEEN 1 AND 2", T::U},
    Row{u"i BETWEEN nope AND 20", T::U}, Row{u"i BETWEEN nope AND 5", T::F},
    Row{u"i NOT BETWEEN nope AND 5", T::T}, Row{u"i NOT BETWEEN nope AND 20", T::U},
    Row{u"nan BETWEEN 1 AND 2", T::F},
    Row{u"nan NOT BETWEEN 1 AND 2", T::F}));

INSTANTIATE_TEST_SUITE_P(In, Evaluates, ::testing::Values(
    Row{u"s IN ('hello', 'world')", T::T}, Row{u"s IN ('world')", T::F},
    Row{u"s NOT IN ('world')", T::T}, Row{u"s NOT IN ('hello', 'x')", T::F},
    Row{u"s IN ('HELLO')", T::F}, Row{u"q IN ('it''s')", T::T}, Row{u"e IN ('')", T::T},
    Row{u"s IN ('a', 'b', 'c', 'hello', 'd', 'hello')", T::T},
    Row{u"nope IN ('a')", T::U}, Row{u"nope NOT IN ('a')", T::U}, Row{u"i IN ('10')", T::U}));

// Matching itself is LikeMatch's; here what the selector adds around it.
INSTANTIATE_TEST_SUITE_P(Like, Evaluates, ::testing::Values(
    Row{u"s LIKE 'h_l%'", T::T}, Row{u"s LIKE 'H%'", T::F}, Row{u"s NOT LIKE 'h%'", T::F},
    Row{u"s NOT LIKE 'x%'", T::T}, Row{u"q LIKE '%''%'", T::T},
    Row{u"pct LIKE '50!%' ESCAPE '!'", T::T}, Row{u"pct LIKE '5!%' ESCAPE '!'", T::F},
    Row{u"pct LIKE '50!!' ESCAPE '!'", T::F}, Row{u"s LIKE 'hello' escape '!'", T::T},
    Row{u"us LIKE 'a\\_b' ESCAPE '\\'", T::T}, Row{u"s LIKE 'h\\_llo' ESCAPE '\\'", T::F},
    // Without ESCAPE a backslash is an ordinary character.
    Row{u"us LIKE 'a\\_b'", T::F}, Row{u"s LIKE 'hello\\'", T::F},
    Row{u"nope LIKE '%'", T::U}, Row{u"nope NOT LIKE '%'", T::U}, Row{u"i LIKE '1%'", T::U}));

INSTANTIATE_TEST_SUITE_P(IsNull, Evaluates, ::testing::Values(
    Row{u"nope IS NULL", T::T}, Row{u"nope IS NOT NULL", T::F}, Row{u"i IS NULL", T::F},
    Row{u"i IS NOT NULL", T::T}, Row{u"e IS NULL", T::F}, Row{u"f IS NOT NULL", T::T},
    Row{u"NOT nope IS NULL", T::F}));

INSTANTIATE_TEST_SUITE_P(KeywordsAndIdentifiers, Evaluates, ::testing::Values(
    Row{u"i = 10 and s = 'hello'", T::T}, Row{u"i = 11 oR b", T::T}, Row{u"nOt f", T::T},
    Row{u"i bEtWeEn 1 and 20", T::T}, Row{u"s nOt In ('x')", T::T}, Row{u"s Like 'h%'", T::T},
    Row{u"nope Is Null", T::T}, Row{u"b = true", T::T}, Row{u"f = False", T::T},
    Row{u"Name = 'upper'", T::T}, Row{u"name = 'lower'", T::T}, Row{u"NAME IS NULL", T::T},
    Row{u"a.b = 1", T::T}, Row{u"escape = 7", T::T}, Row{u"\ti\n=\r10\f", T::T},
    Row{u"(i=10)AND(s='hello')", T::T}));

TEST(EmptySelector, SelectsEverything) {
  for (const char16_t* text : {u"", u"  \t\n"}) {
    const auto selector = Selector::compile(text);
    EXPECT_TRUE(selector->selectsAll());
    EXPECT_TRUE(selector->matches(FakeMessage()));
    EXPECT_EQ(selector->text(), text);
  }
  const auto selector = Selector::compile(u"i = 1");
  EXPECT_FALSE(selector->selectsAll());
  EXPECT_EQ(selector->text(), u"i = 1");
}

// The provider shares one compiled selector between the threads that serve a consumer.
TEST(SharedSelector, EvaluatesOnManyThreadsAtOnce) {
  const auto selector = Selector::compile(
      u"s LIKE 'h%o' AND i BETWEEN 5 AND 15 AND s IN ('hello') AND nope IS NULL");
  std::atomic<int> matched{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int k = 0; k < 2000; ++k) {
        matched += selector->matches(message()) ? 1 : 0;
      }
    });
  }
  for (std::thread& t : threads) {
    t.join();
  }
  EXPECT_EQ(matched.load(), 8000);
}

using detail::LikePattern;

struct Case {
  const char16_t* pattern;
  const char16_t* text;
  bool matches;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << '[' << ascii(c.pattern) << ']'; }

class LikeMatch : public ::testing::TestWithParam<Case> {};

TEST_P(LikeMatch, AgreesWithTable) {
  const LikePattern pattern(GetParam().pattern, u'\\');
  EXPECT_EQ(pattern.matches(GetParam().text), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Wildcards, LikeMatch, ::testing::Values(
    Case{u"", u"", true}, Case{u"", u"a", false}, Case{u"%", u"", true},
    Case{u"%%%", u"", true}, Case{u"_", u"", false}, Case{u"_", u"ab", false},
    Case{u"a%", u"a", true}, Case{u"%a", u"ba", true}, Case{u"%a", u"ab", false},
    Case{u"a%b%c", u"aXbYc", true}, Case{u"a%b%c", u"abc", true}, Case{u"a%b%c", u"acb", false},
    Case{u"%ab", u"aab", true}, Case{u"%aab", u"aaab", true}, Case{u"%abab", u"abaabab", true},
    Case{u"%a_c", u"abcabd", false}, Case{u"%a_c", u"abdabc", true},
    Case{u"_%_", u"a", false}, Case{u"_%_", u"ab", true}, Case{u"%_%_%", u"x", false},
    Case{u"a%%b", u"ab", true}, Case{u"%x%", u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false}));

// One '_' takes a whole surrogate pair; a literal pair in the pattern matches itself.
INSTANTIATE_TEST_SUITE_P(Surrogates, LikeMatch, ::testing::Values(
    Case{u"_", u"\U0001F600", true}, Case{u"__", u"\U0001F600", false},
    Case{u"%_", u"\U0001F600", true}, Case{u"_%", u"\U0001F600\U0001F601", true},
    Case{u"\U0001F600%", u"\U0001F600z", true}, Case{u"%\U0001F601", u"\U0001F600", false},
    Case{u"_", u"\xD800", true}, Case{u"%\xDE00", u"\U0001F600", false}));

INSTANTIATE_TEST_SUITE_P(Escapes, LikeMatch, ::testing::Values(
    Case{u"\\%", u"%", true}, Case{u"\\%", u"a", false}, Case{u"\\_", u"_", true},
    Case{u"\\_", u"a", false}, Case{u"\\\\", u"\\", true}, Case{u"a\\%%", u"a%bc", true},
    Case{u"a\\%%", u"abc", false}, Case{u"%\\%", u"100%", true}));

}  // namespace
}  // namespace quorix::selector::test
