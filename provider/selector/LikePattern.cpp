#include "LikePattern.h"

#include <algorithm>
#include <array>

namespace quorix::selector::detail {

namespace {

bool isHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
char32_t combine(char16_t high, char16_t low) {
  return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
}

// The character starting at `i`, which moves past it.
char32_t next(std::u16string_view text, size_t& i) {
  const char16_t u = text[i++];
  if (isHigh(u) && i < text.size() && isLow(text[i])) {
    return combine(u, text[i++]);
  }
  return u;
}

// The character ending at `i`, which moves before it. UTF-16 decodes the same
// from either end, so both directions agree on where characters begin.
char32_t previous(std::u16string_view text, size_t& i) {
  const char16_t u = text[--i];
  if (isLow(u) && i > 0 && isHigh(text[i - 1])) {
    return combine(text[--i], u);
  }
  return u;
}

// Moves `i` past `n` characters; false if the text ends first.
bool skip(std::u16string_view text, size_t& i, size_t n) {
  for (; n > 0; --n) {
    if (i == text.size()) {
      return false;
    }
    next(text, i);
  }
  return true;
}

}  // namespace

LikePattern::LikePattern(std::u16string_view pattern, std::optional<char16_t> escape) {
  std::vector<std::u32string> parts(1);  // the runs between '%'
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t u = pattern[i];
    if (escape && u == *escape) {
      if (i + 1 == pattern.size()) {
        throw Malformed{i, "the LIKE pattern ends with its escape character; expected '%', '_' "
                           "or the escape character after it"};
      }
      const char16_t following = pattern[++i];
      if (following != u'%' && following != u'_' && following != *escape) {
        throw Malformed{i - 1, "expected '%', '_' or the escape character after the escape "
                               "character in the LIKE pattern"};
      }
      parts.back().push_back(following);
    } else if (u == u'%') {
      parts.emplace_back();
    } else if (u == u'_') {
      parts.back().push_back(kAny);
    } else if (isHigh(u) && i + 1 < pattern.size() && isLow(pattern[i + 1]) &&
               !(escape && pattern[i + 1] == *escape)) {
      parts.back().push_back(combine(u, pattern[++i]));
    } else {
      parts.back().push_back(u);
    }
  }
  head_ = std::move(parts.front());
  percent_ = parts.size() > 1;
  if (!percent_) {
    return;
  }
  tail_ = std::move(parts.back());
  for (size_t k = 1; k + 1 < parts.size(); ++k) {
    const std::u32string& part = parts[k];
    if (part.empty()) {
      continue;  // '%%' is '%'
    }
    // '%_' is '_%': the '_' at either end of a part are skipped, not searched for.
    Middle m;
    const size_t first = part.find_first_not_of(kAny);
    if (first == std::u32string::npos) {
      m.skipBefore = part.size();
    } else {
      const size_t last = part.find_last_not_of(kAny);
      m.skipBefore = first;
      m.core = part.substr(first, last + 1 - first);
      m.skipAfter = part.size() - 1 - last;
      m.prepare();
    }
    middles_.push_back(std::move(m));
  }
}

void LikePattern::Middle::prepare() {
  if (core.find(kAny) == std::u32string::npos) {
    failure.assign(core.size(), 0);
    for (size_t q = 1, k = 0; q < core.size(); ++q) {
      while (k > 0 && core[q] != core[k]) {
        k = failure[k - 1];
      }
      if (core[q] == core[k]) {
        ++k;
      }
      failure[q] = static_cast<uint32_t>(k);
    }
    return;
  }
  const size_t blocks = (core.size() + 63) / 64;
  anyBits.assign(blocks, 0);
  masks.assign(blocks, {});
  for (size_t j = 0; j < core.size(); ++j) {
    const uint64_t bit = uint64_t{1} << (j % 64);
    if (core[j] == kAny) {
      anyBits[j / 64] |= bit;
      continue;
    }
    std::vector<Mask>& block = masks[j / 64];
    auto it = std::lower_bound(block.begin(), block.end(), core[j],
                               [](const Mask& m, char32_t c) { return m.c < c; });
    if (it == block.end() || it->c != core[j]) {
      it = block.insert(it, Mask{core[j], 0});
    }
    it->bits |= bit;
  }
}

std::optional<size_t> LikePattern::Middle::find(std::u16string_view text, size_t from) const {
  return anyBits.empty() ? findLiteral(text, from) : findWithGaps(text, from);
}

// Knuth-Morris-Pratt over characters.
std::optional<size_t> LikePattern::Middle::findLiteral(std::u16string_view text,
                                                       size_t i) const {
  size_t q = 0;
  while (i < text.size()) {
    const char32_t c = next(text, i);
    while (q > 0 && core[q] != c) {
      q = failure[q - 1];
    }
    if (core[q] == c) {
      ++q;
    }
    if (q == core.size()) {
      return i;
    }
  }
  return std::nullopt;
}

// Shift-And: bit j of the state is set when the last j+1 characters read match the
// first j+1 of `core`.
std::optional<size_t> LikePattern::Middle::findWithGaps(std::u16string_view text,
                                                        size_t i) const {
  const size_t blocks = anyBits.size();
  std::array<uint64_t, 4> small{};
  std::vector<uint64_t> large;
  uint64_t* state = small.data();
  if (blocks > small.size()) {
    large.assign(blocks, 0);
    state = large.data();
  }
  const uint64_t done = uint64_t{1} << ((core.size() - 1) % 64);
  while (i < text.size()) {
    const char32_t c = next(text, i);
    uint64_t carry = 1;  // an occurrence may start at every character
    for (size_t b = 0; b < blocks; ++b) {
      uint64_t accept = anyBits[b];
      const std::vector<Mask>& block = masks[b];
      auto it = std::lower_bound(block.begin(), block.end(), c,
                                 [](const Mask& m, char32_t x) { return m.c < x; });
      if (it != block.end() && it->c == c) {
        accept |= it->bits;
      }
      const uint64_t shifted = (state[b] << 1) | carry;
      carry = state[b] >> 63;
      state[b] = shifted & accept;
    }
    if (state[blocks - 1] & done) {
      return i;
    }
  }
  return std::nullopt;
}

bool LikePattern::matches(std::u16string_view text) const {
  auto accepts = [](char32_t p, char32_t c) { return p == c || p == kAny; };
  size_t i = 0;
  for (char32_t p : head_) {
    if (i == text.size() || !accepts(p, next(text, i))) {
      return false;
    }
  }
  if (!percent_) {
    return i == text.size();
  }
  // The tail, read from the end, must not reach back into what the head took.
  std::u16string_view rest = text.substr(i);
  size_t end = rest.size();
  for (auto p = tail_.rbegin(); p != tail_.rend(); ++p) {
    if (end == 0 || !accepts(*p, previous(rest, end))) {
      return false;
    }
  }
  // Each part between two '%' at its leftmost place leaves the most room for the next.
  rest = rest.substr(0, end);
  size_t at = 0;
  for (const Middle& m : middles_) {
    if (!skip(rest, at, m.skipBefore)) {
      return false;
    }
    if (!m.core.empty()) {
      const std::optional<size_t> found = m.find(rest, at);
      if (!found) {
        return false;
      }
      at = *found;
    }
    if (!skip(rest, at, m.skipAfter)) {
      return false;
    }
  }
  return true;
}

}  // namespace quorix::selector::detail
