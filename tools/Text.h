#pragma once
// Conversions between the terminal's UTF-8 and the API's 16-bit text, and base64.
#include <optional>
#include <string>

#include <jms/Types.h>

namespace qjms::cli {

// Null when `utf8` is not well-formed UTF-8 (overlong forms, surrogates and
// values past U+10FFFF included).
std::optional<jms::WString> fromUtf8(const std::string& utf8);
// A lone surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string toUtf8(const jms::WString& text);
std::string base64(const std::string& bytes);

}  // namespace qjms::cli
