#ifndef QJMS_DESTINATION_ASCIICASE_H
#define QJMS_DESTINATION_ASCIICASE_H

#include <jms/Types.h>

// Case folding and classification of 16-bit units over ASCII only. Driver names,
// attribute tags, selector words and property names are matched this way so that
// the answer never depends on the locale the host program happens to set.
namespace jms {

inline char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

inline char16_t asciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

inline bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

inline bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

inline WString toAsciiUpper(WString s) {
    for (auto& c : s) c = asciiUpper(c);
    return s;
}

inline WString toAsciiLower(WString s) {
    for (auto& c : s) c = asciiLower(c);
    return s;
}

inline bool equalsIgnoreAsciiCase(const WString& a, const WString& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

}  // namespace jms

#endif
