#include "ErrorText.h"

namespace quorix::selector::detail {

namespace {

void appendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::string toUtf8(std::u16string_view text, size_t maxUnits) {
  const bool cut = text.size() > maxUnits;
  if (cut) {
    text = text.substr(0, maxUnits);
  }
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (isHigh(u) && i + 1 < text.size() && isLow(text[i + 1])) {
      appendCodePoint(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (isHigh(u) || isLow(u)) {
      appendCodePoint(out, 0xFFFD);  // a lone surrogate cannot be written as UTF-8
    } else {
      appendCodePoint(out, u);
    }
  }
  if (cut) {
    out += "...";
  }
  return out;
}

void fail(size_t position, std::string_view what) {
  std::string reason = "selector error at position " + std::to_string(position) + ": ";
  reason += what;
  throw SelectorError{std::move(reason), position};
}

}  // namespace quorix::selector::detail
