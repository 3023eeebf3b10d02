// A LIKE pattern compiled once: '%' matches any run of characters, '_' exactly one
// character (a surrogate pair counts as one), everything else itself.
#pragma once

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

  // Linear in the text for patterns with one '%', at worst text x pattern; no allocation.
  bool matches(std::u16string_view text) const;

 private:
  enum class Kind : unsigned char { Unit, One, Many };
  struct Elem {
    Kind kind;
    char16_t unit;
  };
  std::vector<Elem> elems_;
};

}  // namespace quorix::selector::detail
