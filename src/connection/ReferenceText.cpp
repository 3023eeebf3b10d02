#include "connection/ReferenceText.h"

#include <fstream>

#include <jms/JMSException.h>

namespace jms {

namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::string toNarrowText(const WString& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (isHigh(u) && i + 1 < text.size() && isLow(text[i + 1])) {
            char32_t c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            appendUtf8(out, c);
            ++i;
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string readReferenceFile(const WString& referenceFile) {
    const std::string name = toNarrowText(referenceFile);
    // A NUL would silently shorten the name to another file's.
    std::ifstream in;
    if (name.find('\0') == std::string::npos) {
        in.open(name);
    }
    if (!in.is_open()) {
        throw JMSException(u"Cannot open: " + referenceFile);
    }
    std::string word;
    if (!(in >> word)) {
        throw JMSException(u"Cannot read: " + referenceFile);
    }
    return word;
}

}  // namespace jms
