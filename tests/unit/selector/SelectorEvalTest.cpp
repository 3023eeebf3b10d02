// What selectors select: each row is a selector and its truth value for one message.
// Unknown is told from FALSE by evaluating the negation too: NOT unknown is unknown.
// LIKE matching itself is LikePatternTest's; here what the selector adds around it.
#include "FakeMessage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

namespace quorix::selector::test {
namespace {

enum Truth { F, T, U };

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
  return yes ? T : no ? F : U;
}

struct Row {
  const char16_t* selector;
  Truth expected;
};

void expectTruths(std::initializer_list<Row> rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(ascii(row.selector));
    try {
      EXPECT_EQ(truthOf(row.selector), row.expected) << "T=1 F=0 U=2";
    } catch (const SelectorError& e) {
      ADD_FAILURE() << "compile failed: " << e.reason;
    }
  }
}

TEST(SelectorEval, Comparison) {
  expectTruths({
      {u"i = 10", T}, {u"i <> 10", F}, {u"i > 9", T}, {u"i >= 10", T}, {u"i < 10", F},
      {u"i <= 9", F}, {u"i = 10.0", T}, {u"i > d", T}, {u"big > 9.2e18", T},
      {u"big > 9223372036854775806", T}, {u"big - 1 < big", T}, {u"nan = nan", F},
      {u"nan <> nan", T}, {u"nan < 1", F}, {u"big = 9223372036854775807", T},
      {u"small = -9223372036854775808", T}, {u"s = 'hello'", T}, {u"'hello' = s", T},
      {u"s <> 'hello'", F}, {u"s = 'Hello'", F}, {u"q = 'it''s'", T}, {u"e = ''", T},
      {u"b = TRUE", T}, {u"b <> FALSE", T}, {u"f = TRUE", F}, {u"b", T}, {u"f", F},
      {u"i", U}, {u"s", U},  // a value that is not a boolean is no condition
  });
}

// Values of unlike types, and strings or booleans in order, are FALSE under every
// operator (so their negation selects); only a NULL operand makes a comparison unknown.
TEST(SelectorEval, UnlikeTypes) {
  expectTruths({
      {u"s = 17", F}, {u"17 = s", F}, {u"s <> 17", F}, {u"i = '10'", F}, {u"i <> '10'", F},
      {u"b = 1", F}, {u"d = b", F}, {u"b = 'true'", F}, {u"(i = 10) = 1", F}, {u"s > i", F},
      {u"s <= i", F}, {u"s > e", F}, {u"b > f", F}, {u"b <= f", F},
      {u"s BETWEEN 1 AND 2", F}, {u"s NOT BETWEEN 1 AND 2", F},
      {u"NOT (s = 17) AND i = 10", T}, {u"nope = 's'", U}, {u"nope <> 1", U},
      {u"s = nope", U}, {u"nope > b", U},
  });
}

TEST(SelectorEval, ThreeValuedLogic) {
  expectTruths({
      {u"nope = 1", U}, {u"NOT nope = 1", U}, {u"nope", U}, {u"nope = 1 OR i = 10", T},
      {u"i = 10 OR nope = 1", T}, {u"nope = 1 OR i = 11", U}, {u"nope = 1 AND i = 11", F},
      {u"i = 11 AND nope = 1", F}, {u"nope = 1 AND i = 10", U},
      {u"nope = 1 OR nope = 2 OR b", T}, {u"nope = 1 AND nope = 2 AND f", F}, {u"TRUE", T},
      {u"FALSE", F}, {u"NOT NOT b", T}, {u"i = 10 OR i = 11 AND f", T},
      {u"(i = 10 OR i = 11) AND f", F}, {u"NOT f AND f", F}, {u"i = 10 OR 1 / 0 = 1", T},
      {u"i = 11 OR z / z = 1", U}, {u"(nope = 1) = TRUE", U}, {u"(i = 10) = b", T},
      {u"(i = 10) <> (s = 'x')", T},
  });
}

TEST(SelectorEval, Arithmetic) {
  expectTruths({
      {u"i + 1 = 11", T}, {u"i - 20 = -10", T}, {u"i * d = 25", T}, {u"i / 4 = 2", T},
      {u"i / 4.0 = 2.5", T}, {u"i + d = 12.5", T}, {u"-i = -10", T}, {u"+i = 10", T},
      {u"- -i = 10", T}, {u"-d < 0", T}, {u"neg / 2 = -1", T}, {u"1 + 2 * 3 = 7", T},
      {u"(1 + 2) * 3 = 9", T}, {u"10 - 4 - 3 = 3", T}, {u"100 / 10 / 5 = 2", T},
      {u"7. = 7", T}, {u".5 = 0.5", T}, {u"1E2 = 100", T}, {u"2.5e-1 = 0.25", T},
      {u"1e+1 = 10", T},
      // Operands without a number give no number: the comparison is unknown.
      {u"s + 1 = 1", U}, {u"nope + 1 = 1", U}, {u"-s = 1", U}, {u"+s = 1", U},
      {u"i / z = 1", U}, {u"i / 0.0 > 1e308", T}, {u"big + 1 = small", T},
      {u"small / -1 = small", T}, {u"-small = small", T},
  });
}

TEST(SelectorEval, BetweenInLikeIsNull) {
  expectTruths({
      {u"i BETWEEN 10 AND 20", T}, {u"i BETWEEN 1 AND 10", T}, {u"i BETWEEN 11 AND 20", F},
      {u"i BETWEEN 1 AND 9", F}, {u"i BETWEEN 20 AND 1", F}, {u"i NOT BETWEEN 11 AND 20", T},
      {u"i NOT BETWEEN 10 AND 10", F}, {u"i BETWEEN 9.5 AND 10.5", T},
      {u"i + 1 BETWEEN 11 AND 11", T}, {u"i BETWEEN 5 AND 15 AND f", F},
      {u"nope BETWEEN 1 AND 2", U}, {u"nope NOT BETWEEN 1 AND 2", U},
      {u"i BETWEEN nope AND 20", U}, {u"i BETWEEN nope AND 5", F},
      {u"i NOT BETWEEN nope AND 5", T}, {u"i NOT BETWEEN nope AND 20", U},
      {u"nan BETWEEN 1 AND 2", F}, {u"nan NOT BETWEEN 1 AND 2", F},

      {u"s IN ('hello', 'world')", T}, {u"s IN ('world')", F}, {u"s NOT IN ('world')", T},
      {u"s NOT IN ('hello', 'x')", F}, {u"s IN ('HELLO')", F}, {u"q IN ('it''s')", T},
      {u"e IN ('')", T}, {u"s IN ('a', 'b', 'c', 'hello', 'd', 'hello')", T},
      {u"nope IN ('a')", U}, {u"nope NOT IN ('a')", U}, {u"i IN ('10')", U},

      {u"s LIKE 'h_l%'", T}, {u"s LIKE 'H%'", F}, {u"s NOT LIKE 'h%'", F},
      {u"s NOT LIKE 'x%'", T}, {u"q LIKE '%''%'", T}, {u"pct LIKE '50!%' ESCAPE '!'", T},
      {u"pct LIKE '5!%' ESCAPE '!'", F}, {u"pct LIKE '50!!' ESCAPE '!'", F},
      {u"s LIKE 'hello' escape '!'", T}, {u"us LIKE 'a\\_b' ESCAPE '\\'", T},
      {u"s LIKE 'h\\_llo' ESCAPE '\\'", F},
      // Without ESCAPE a backslash is an ordinary character.
      {u"us LIKE 'a\\_b'", F}, {u"s LIKE 'hello\\'", F}, {u"nope LIKE '%'", U},
      {u"nope NOT LIKE '%'", U}, {u"i LIKE '1%'", U},

      {u"nope IS NULL", T}, {u"nope IS NOT NULL", F}, {u"i IS NULL", F},
      {u"i IS NOT NULL", T}, {u"e IS NULL", F}, {u"f IS NOT NULL", T},
      {u"NOT nope IS NULL", F},
  });
}

TEST(SelectorEval, KeywordsAndIdentifiers) {
  expectTruths({
      {u"i = 10 and s = 'hello'", T}, {u"i = 11 oR b", T}, {u"nOt f", T},
      {u"i bEtWeEn 1 and 20", T}, {u"s nOt In ('x')", T}, {u"s Like 'h%'", T},
      {u"nope Is Null", T}, {u"b = true", T}, {u"f = False", T}, {u"Name = 'upper'", T},
      {u"name = 'lower'", T}, {u"NAME IS NULL", T}, {u"a.b = 1", T}, {u"escape = 7", T},
      {u"\ti\n=\r10\f", T}, {u"(i=10)AND(s='hello')", T},
  });
}

TEST(SelectorEval, EmptySelectorSelectsEverything) {
  for (const char16_t* text : {u"", u"  \t\n"}) {
    const auto selector = Selector::compile(text);
    EXPECT_TRUE(selector->selectsAll() && selector->matches(FakeMessage()));
    EXPECT_EQ(selector->text(), text);
  }
  const auto selector = Selector::compile(u"i = 1");
  EXPECT_FALSE(selector->selectsAll());
  EXPECT_EQ(selector->text(), u"i = 1");
}

// The provider shares one compiled selector between the threads that serve a consumer.
TEST(SelectorEval, OneSelectorEvaluatesOnManyThreadsAtOnce) {
  const auto selector = Selector::compile(
      u"s LIKE 'h%o' AND i BETWEEN 5 AND 15 AND s IN ('hello') AND nope IS NULL");
  std::atomic<int> matched{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int k = 0; k < 2000; ++k) matched += selector->matches(message()) ? 1 : 0;
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(matched.load(), 8000);
}

}  // namespace
}  // namespace quorix::selector::test
