#pragma once
// Small helpers for the 16-bit text the contract carries.
#include <cstdint>
#include <string>
#include <string_view>

namespace quorix::provider {

std::u16string u16(std::string_view ascii);      // widens byte by byte (ASCII/Latin-1)
std::u16string u16(int64_t number);
std::u16string fromUtf8(std::string_view utf8);  // invalid sequences become U+FFFD
std::string toUtf8(std::u16string_view text);    // unpaired surrogates become U+FFFD
bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);  // ASCII letters only

}  // namespace quorix::provider
