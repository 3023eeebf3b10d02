#include "message/CorrelationHex.h"

namespace jms {

namespace {

const char16_t hexDigits[] = u"0123456789abcdef";

int nibble(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

}  // namespace

WString bytesToHex(const ByteArray& bytes) {
    WString hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        hex.push_back(hexDigits[b >> 4]);
        hex.push_back(hexDigits[b & 0x0f]);
    }
    return hex;
}

ByteArray hexToBytes(const WString& hex) {
    ByteArray bytes;
    if (hex.size() % 2 != 0) return bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = nibble(hex[i]);
        const int low = nibble(hex[i + 1]);
        if (high < 0 || low < 0) break;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return bytes;
}

}  // namespace jms
