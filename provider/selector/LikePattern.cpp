#include "LikePattern.h"

namespace quorix::selector::detail {

namespace {

size_t charLength(std::u16string_view text, size_t i) {
  const char16_t u = text[i];
  const bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() &&
                    text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
  return pair ? 2 : 1;
}

}  // namespace

LikePattern::LikePattern(std::u16string_view pattern, std::optional<char16_t> escape) {
  elems_.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t u = pattern[i];
    if (escape && u == *escape) {
      if (i + 1 == pattern.size()) {
        throw Malformed{i, "the LIKE pattern ends with its escape character; expected '%', '_' "
                           "or the escape character after it"};
      }
      const char16_t next = pattern[++i];
      if (next != u'%' && next != u'_' && next != *escape) {
        throw Malformed{i - 1, "expected '%', '_' or the escape character after the escape "
                               "character in the LIKE pattern"};
      }
      elems_.push_back({Kind::Unit, next});
    } else if (u == u'%') {
      if (elems_.empty() || elems_.back().kind != Kind::Many) {
        elems_.push_back({Kind::Many, 0});
      }
    } else if (u == u'_') {
      elems_.push_back({Kind::One, 0});
    } else {
      elems_.push_back({Kind::Unit, u});
    }
  }
}

bool LikePattern::matches(std::u16string_view text) const {
  const size_t n = text.size();
  const size_t m = elems_.size();
  size_t t = 0;
  size_t p = 0;
  // Where the last '%' resumes: pattern index after it and the text it has absorbed up to.
  // Only the last '%' ever needs to retry, since it can absorb whatever an earlier one could.
  size_t starP = m + 1;
  size_t starT = 0;
  while (t < n) {
    if (p < m && elems_[p].kind == Kind::Unit && elems_[p].unit == text[t]) {
      ++p;
      ++t;
    } else if (p < m && elems_[p].kind == Kind::One) {
      t += charLength(text, t);
      ++p;
    } else if (p < m && elems_[p].kind == Kind::Many) {
      starP = ++p;
      starT = t;
    } else if (starP <= m) {
      starT += charLength(text, starT);
      t = starT;
      p = starP;
    } else {
      return false;
    }
  }
  while (p < m && elems_[p].kind == Kind::Many) {
    ++p;
  }
  return p == m;
}

}  // namespace quorix::selector::detail
