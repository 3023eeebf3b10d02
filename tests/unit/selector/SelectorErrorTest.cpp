// Selectors refused at compile time: where, and what the reason says was expected;
// and hostile or odd input, which compiles or throws SelectorError, never more.
#include "FakeMessage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quorix::selector::test {
namespace {

struct Bad {
  const char16_t* selector;
  size_t position;
  const char* reason;  // a fragment the reason must contain
};

void expectRefused(std::initializer_list<Bad> rows) {
  for (const Bad& row : rows) {
    SCOPED_TRACE(ascii(row.selector));
    try {
      Selector::compile(row.selector);
      ADD_FAILURE() << "compiled";
    } catch (const SelectorError& e) {
      EXPECT_EQ(e.position, row.position) << e.reason;
      const std::string prefix = "selector error at position " + std::to_string(row.position);
      EXPECT_EQ(e.reason.rfind(prefix + ": ", 0), 0u) << e.reason;
      EXPECT_NE(e.reason.find(row.reason), std::string::npos) << e.reason;
    }
  }
}

TEST(SelectorRefuses, WithPositionAndExpectation) {
  expectRefused({
    {u"i = ", 4, "expected an identifier, a literal or '(', found end of selector"},
    {u"(i = 1", 6, "expected ')' to close the '(' at position 0, found end of selector"},
    {u"i = 1)", 5, "expected AND, OR or end of selector, found ')'"},
    {u"i = 1 = 2", 6, "expected AND, OR or end of selector, found '='"},
    {u"i 1", 2, "expected AND, OR or end of selector, found '1'"},
    {u"i = NULL", 4, "found 'NULL'"},
    {u"AND = 1", 0, "expected an identifier, a literal or '(', found 'AND'"},
    {u"i = 1 # 2", 6, "unexpected character '#'"},
    {u"s = 'abc", 4, "unterminated string literal"},
    {u"s = 'it''s", 4, "unterminated string literal"},
    {u"i NOT 5", 6, "expected BETWEEN, IN or LIKE after NOT, found '5'"},
    {u"i IS 5", 5, "expected NULL or NOT after IS, found '5'"},
    {u"i IS NOT 5", 9, "expected NULL after IS NOT"},
    {u"5 IS NULL", 0, "expected an identifier before IS"},
    {u"i == 10", 2, "unknown operator '=='"}, {u"i != 10", 2, "unknown operator '!='"},
    {u"i = 1 && b", 6, "unknown operator '&&'"}, {u"b || f", 2, "unknown operator '||'"},
    {u"i % 2 = 0", 2, "unknown operator '%'"}, {u"!b", 0, "unknown operator '!'"},
    {u"i = 1e", 6, "expected the digits of the exponent"},
    {u"i = 1e+", 7, "expected the digits of the exponent"},
    {u"i = 12abc", 6, "malformed number"}, {u"i = 1.2.3", 7, "malformed number"},
    {u"i = 9223372036854775808", 4, "exact numeric literal out of range"},
    {u"i = -9223372036854775809", 5, "exact numeric literal out of range"},
    {u"i = 99999999999999999999", 4, "exact numeric literal out of range"},
    {u"i = 1e999", 4, "approximate numeric literal out of range"},
    // Types that literals reveal are checked at once: strings and booleans have no
    // order and no arithmetic, and only conditions combine with AND, OR and NOT.
    {u"s < 'a'", 4, "expected a numeric operand for '<', found a string"},
    {u"'a' >= s", 0, "expected a numeric operand for '>=', found a string"},
    {u"s <= 'a'", 5, "for '<='"}, {u"'b' > 'a'", 0, "for '>'"},
    {u"TRUE < b", 0, "expected a numeric operand for '<', found a boolean"},
    {u"(i = 1) < 2", 0, "found a boolean"},
    {u"i = 'a' + 1", 4, "expected a numeric operand for '+', found a string"},
    {u"i = 2 * FALSE", 8, "for '*', found a boolean"},
    {u"-'a' = 1", 1, "expected a numeric operand for unary '-'"},
    {u"i BETWEEN 'a' AND 'b'", 10, "expected a numeric operand for BETWEEN, found a string"},
    {u"'a' BETWEEN i AND 2", 0, "for BETWEEN"},
    {u"i + 1", 0, "expected a condition for the selector, found a numeric expression"},
    {u"'abc'", 0, "expected a condition for the selector, found a string"},
    {u"NOT 5", 4, "expected a condition for NOT, found a numeric expression"},
    {u"b AND 'x'", 6, "expected a condition for AND, found a string"},
    {u"i = 1 OR 2", 9, "expected a condition for OR"},
    {u"s IN 'a'", 5, "expected '(' after IN"},
    {u"s IN ()", 6, "expected a string literal in the IN list, found ')'"},
    {u"s IN ('a', 1)", 11, "expected a string literal in the IN list, found '1'"},
    {u"s IN ('a' 'b')", 10, "expected ',' or ')' in the IN list"},
    {u"s IN ('a',)", 10, "expected a string literal"},
    {u"1 IN ('a')", 0, "expected an identifier before IN"},
    {u"s LIKE x", 7, "expected a string literal pattern after LIKE, found identifier 'x'"},
    {u"1 LIKE 'x'", 0, "expected an identifier before LIKE"},
    {u"s LIKE 'a!' ESCAPE '!'", 9, "ends with its escape character"},
    {u"s LIKE 'a!b' ESCAPE '!'", 9, "expected '%', '_' or the escape character after"},
    {u"s LIKE 'it''s!' ESCAPE '!'", 13, "ends with its escape character"},
    {u"s LIKE 'x' ESCAPE 'ab'", 18, "expected a single character after ESCAPE"},
    {u"s LIKE 'x' ESCAPE ''", 18, "expected a single character after ESCAPE"},
    {u"s LIKE 'x' ESCAPE y", 18, "expected a string literal after ESCAPE"}});
}

std::u16string repeat(std::u16string_view piece, int n) {
  std::u16string out;
  while (n-- > 0) out += piece;
  return out;
}

TEST(SelectorLimits, DeepNestingIsRefusedNotOverflowedAndModerateNestingWorks) {
  const std::u16string parens = repeat(u"(", 100000) + u"b" + repeat(u")", 100000);
  const std::u16string nots = repeat(u"NOT ", 100000) + u"b";
  const std::u16string signs = u"i = " + repeat(u"- ", 100000) + u"i";
  const std::u16string sum = u"i = " + repeat(u"i + ", 100000) + u"i";
  for (const std::u16string* text : {&parens, &nots, &signs, &sum}) {
    try {
      Selector::compile(*text);
      ADD_FAILURE() << "compiled a selector nested " << text->size() << " units deep";
    } catch (const SelectorError& e) {
      EXPECT_NE(e.reason.find("nested too deeply"), std::string::npos) << e.reason;
    }
  }
  FakeMessage msg;
  msg.set(u"b", true).set(u"i", int64_t{3});
  EXPECT_TRUE(Selector::compile(repeat(u"(", 50) + u"b" + repeat(u")", 50))->matches(msg));
  EXPECT_TRUE(Selector::compile(repeat(u"NOT ", 50) + u"b")->matches(msg));
  EXPECT_TRUE(Selector::compile(repeat(u"i + ", 50) + u"i = 153")->matches(msg));
}

TEST(SelectorLimits, LongAndOrChainsStayFlat) {
  FakeMessage msg;
  msg.set(u"i", int64_t{4999});
  std::u16string any, all;
  for (int k = 0; k < 5000; ++k) {
    const std::string digits = std::to_string(k);
    const std::u16string n(digits.begin(), digits.end());
    any += (k ? u" OR i = " : u"i = ") + n;
    all += (k ? u" AND i >= " : u"i >= ") + n;
  }
  EXPECT_TRUE(Selector::compile(any)->matches(msg));
  EXPECT_TRUE(Selector::compile(all)->matches(msg));
  msg.set(u"i", int64_t{4998});
  EXPECT_FALSE(Selector::compile(all)->matches(msg));
}

// Random token soup: the parser must reject what it cannot read with a SelectorError
// and evaluate what it accepts without fault (the sanitizer builds watch the rest).
TEST(SelectorLimits, RandomTokenSoupOnlyEverThrowsSelectorError) {
  const char16_t* pieces[] = {u"a", u"b", u"s", u"1", u"2.5", u"'x'", u"'%_'", u"(", u")",
                              u"=", u"<>", u"<", u"+", u"-", u"*", u"/", u",", u"NOT",
                              u"AND", u"OR", u"BETWEEN", u"IN", u"LIKE", u"ESCAPE", u"IS",
                              u"NULL", u"TRUE", u"'", u"1e", u"\U0001F600", u"\xD800", u" "};
  FakeMessage msg;
  msg.set(u"a", int64_t{1}).set(u"b", true).set(u"s", u"x%");
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 12);
  int compiled = 0;
  for (int round = 0; round < 20000; ++round) {
    std::u16string text;
    for (int k = length(rng); k > 0; --k) text += pieces[pick(rng)] + std::u16string(u" ");
    try {
      Selector::compile(text)->matches(msg);
      ++compiled;
    } catch (const SelectorError& e) {
      EXPECT_LE(e.position, text.size());
      EXPECT_FALSE(e.reason.empty());
    }
  }
  EXPECT_GT(compiled, 0);
}

}  // namespace
}  // namespace quorix::selector::test
