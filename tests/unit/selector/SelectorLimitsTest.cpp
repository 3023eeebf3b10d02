// Hostile or odd input: compile either succeeds or throws SelectorError, never more,
// and evaluation depth stays bounded whatever the text.
#include "FakeMessage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quorix::selector::test {
namespace {

std::u16string repeat(std::u16string_view piece, int n) {
  std::u16string out;
  for (int k = 0; k < n; ++k) {
    out += piece;
  }
  return out;
}

TEST(SelectorLimits, DeepNestingIsRefusedNotOverflowed) {
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
}

TEST(SelectorLimits, ModerateNestingCompilesAndEvaluates) {
  FakeMessage msg;
  msg.set(u"b", true).set(u"i", int64_t{3});
  EXPECT_TRUE(Selector::compile(repeat(u"(", 50) + u"b" + repeat(u")", 50))->matches(msg));
  EXPECT_TRUE(Selector::compile(repeat(u"NOT ", 50) + u"b")->matches(msg));
  EXPECT_TRUE(Selector::compile(repeat(u"i + ", 50) + u"i = 153")->matches(msg));
}

TEST(SelectorLimits, LongAndOrChainsStayFlat) {
  FakeMessage msg;
  msg.set(u"i", int64_t{4999});
  std::u16string any;
  std::u16string all;
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
    for (int k = length(rng); k > 0; --k) {
      text += pieces[pick(rng)];
      text += u' ';
    }
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
