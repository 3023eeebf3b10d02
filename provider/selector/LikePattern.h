// A LIKE pattern compiled once: '%' matches any run of characters, '_' exactly one
// character, everything else itself. A character is a code point: a surrogate pair,
// in the text or in the pattern, is one character; a lone surrogate is one too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::selector::detail {

class LikePattern {
 public:
  struct Malformed {
    size_t offset;  // into the pattern text
    std::string what;
  };

  // Throws Malformed when the escape character ends the pattern or precedes
  // anything but '%', '_' or itself.
  LikePattern(std::u16string_view pattern, std::optional<char16_t> escape);

  // Linear in the text plus the pattern: the parts before the first '%' and after
  // the last are compared in place, each part between two '%' is searched for once,
  // left to right. A part with a '_' between two other characters costs one step
  // per 64 of its characters for each character of the text (and allocates when it
  // is longer than 256); no other case allocates.
  bool matches(std::u16string_view text) const;

 private:
  static constexpr char32_t kAny = 0xFFFFFFFF;  // '_'; no code point has this value

  // What lies between two '%': the characters of `core` (kAny for '_'), after
  // `skipBefore` and followed by `skipAfter` characters of any value.
  struct Middle {
    size_t skipBefore = 0;
    std::u32string core;
    size_t skipAfter = 0;
    std::vector<uint32_t> failure;  // prefix function, when `core` holds no kAny
    // Bit-parallel search, when it does: per block of 64 characters of `core`,
    // the positions that accept any character and, sorted by character, those
    // that accept one.
    struct Mask {
      char32_t c;
      uint64_t bits;
    };
    std::vector<uint64_t> anyBits;
    std::vector<std::vector<Mask>> masks;

    void prepare();
    // Where the leftmost occurrence of `core` in `text` at or after `from` ends.
    std::optional<size_t> find(std::u16string_view text, size_t from) const;
    std::optional<size_t> findLiteral(std::u16string_view text, size_t from) const;
    std::optional<size_t> findWithGaps(std::u16string_view text, size_t from) const;
  };

  std::u32string head_;  // before the first '%' (the whole pattern without one)
  std::u32string tail_;  // after the last '%'
  std::vector<Middle> middles_;
  bool percent_ = false;
};

}  // namespace quorix::selector::detail
