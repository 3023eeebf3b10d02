// LIKE matching against a plain definition, and patterns whose cost used to grow
// with text x pattern (one selective receive could hold the server for seconds).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "selector/LikePattern.h"

namespace quorix::selector::detail {
namespace {

// The definition: characters are code points (a surrogate pair is one, a lone
// surrogate is one), '%' takes any run of them, '_' one.
std::u32string chars(std::u16string_view t) {
  std::u32string out;
  for (size_t i = 0; i < t.size(); ++i) {
    char16_t u = t[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF)
      out.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (t[++i] - 0xDC00));
    else
      out.push_back(u);
  }
  return out;
}

constexpr char32_t kMany = 0xFFFFFFFE, kOne = 0xFFFFFFFF;

// The pattern with '\' as escape character, as definition elements.
std::u32string elements(std::u16string_view p) {
  std::u16string literal;
  std::u32string out;
  auto flush = [&] {
    out += chars(literal);
    literal.clear();
  };
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == u'\\') {
      literal.push_back(p[++i]);
    } else if (p[i] == u'%' || p[i] == u'_') {
      flush();
      out.push_back(p[i] == u'%' ? kMany : kOne);
    } else {
      literal.push_back(p[i]);
    }
  }
  flush();
  return out;
}

bool defined(const std::u32string& p, const std::u32string& t) {
  // can[j]: the first i pattern elements can take the first j characters.
  std::vector<bool> can(t.size() + 1, false);
  can[0] = true;
  for (char32_t e : p) {
    std::vector<bool> next(t.size() + 1, false);
    for (size_t j = 0; j <= t.size(); ++j) {
      if (e == kMany)
        next[j] = can[j] || (j > 0 && next[j - 1]);
      else if (j > 0)
        next[j] = can[j - 1] && (e == kOne || e == t[j - 1]);
    }
    can.swap(next);
  }
  return can[t.size()];
}

TEST(LikePattern, AgreesWithTheDefinitionOnRandomPatternsAndTexts) {
  // Few distinct units, so that runs repeat and half pairs meet whole ones.
  const std::u16string textUnits = u"ab\\\xD83D\xDE00";
  const std::vector<std::u16string> patternUnits = {u"a", u"b", u"%", u"_", u"\xD83D", u"\xDE00",
                                                    u"\\%", u"\\_", u"\\\\"};
  std::mt19937 random(20240611);
  int matched = 0;
  for (int round = 0; round < 40000; ++round) {
    std::u16string pattern, text;
    for (int n = random() % 9; n > 0; --n) pattern += patternUnits[random() % patternUnits.size()];
    for (int n = random() % 12; n > 0; --n) text += textUnits[random() % textUnits.size()];
    if (random() % 4 == 0) text += u"%_";
    const bool expected = defined(elements(pattern), chars(text));
    ASSERT_EQ(LikePattern(pattern, u'\\').matches(text), expected) << "round " << round;
    matched += expected;
  }
  EXPECT_GT(matched, 1000);  // the sample holds matches, not just refusals
}

// Each row once took seconds to hours; now each is a pass over the text.
TEST(LikePattern, LongPatternsOverLongTextsCostAPassOverTheText) {
  const std::u16string as(400000, u'a');
  const std::u16string run(100000, u'a');
  std::u16string gaps;  // 'a_a_...a' over 200 characters, then 'b'
  for (int i = 0; i < 100; ++i) gaps += u"a_";
  struct Row {
    std::u16string pattern, text;
    bool matches;
  };
  const std::vector<Row> rows = {
      {u"%" + run + u"b%", as, false},
      {u"%" + run + u"b%", as + u"b", true},
      {u"%" + run + u"b", as, false},
      {run + u"%" + run + u"%" + run + u"b", as, false},
      {u"%" + gaps + u"b%", as, false},
      {u"%" + gaps + u"b%", as + u"b", true},
      {u"%a%a%a%a%a%a%a%a%a%a%a%a%b%", as, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(LikePattern(row.pattern, std::nullopt).matches(row.text), row.matches)
        << row.pattern.size() << " pattern units";
}

}  // namespace
}  // namespace quorix::selector::detail
