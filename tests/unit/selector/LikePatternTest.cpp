// LIKE matching on its own, where the backtracking of '%' is easiest to get wrong.
#include "selector/LikePattern.h"

#include <gtest/gtest.h>

#include <optional>

namespace quorix::selector::test {
namespace {

using detail::LikePattern;

struct Case {
  const char16_t* pattern;
  const char16_t* text;
  bool matches;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
  os << '[';
  for (const char16_t* p = c.pattern; *p; ++p) {
    os << (*p < 0x80 ? static_cast<char>(*p) : '?');
  }
  return os << ']';
}

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

TEST(LikeMalformed, EscapeMustPrecedeAWildcardOrItself) {
  const struct {
    const char16_t* pattern;
    size_t offset;
  } bad[] = {{u"\\", 0}, {u"ab\\", 2}, {u"\\a", 0}, {u"x\\%\\y", 3}};
  for (const auto& b : bad) {
    try {
      LikePattern p(b.pattern, u'\\');
      ADD_FAILURE() << "accepted pattern of length " << std::u16string_view(b.pattern).size();
    } catch (const LikePattern::Malformed& m) {
      EXPECT_EQ(m.offset, b.offset);
    }
  }
  // Without ESCAPE, nothing is special but '%' and '_'.
  EXPECT_TRUE(LikePattern(u"a\\", std::nullopt).matches(u"a\\"));
}

}  // namespace
}  // namespace quorix::selector::test
