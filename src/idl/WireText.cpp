#include "idl/WireText.h"

#include <cwchar>

#include <jms/JMSException.h>

#include "idl/WireLength.h"

namespace jms {

namespace {

// Conversion loops run over fixed blocks of this many units: a loop with a
// constant trip count is one the compiler vectorises at -O2 too.
constexpr size_t block = 16;

// Widens `n` units; true when one of them is a NUL.
bool widen(const char16_t* in, CORBA::WChar* out, size_t n) {
    char16_t nul = 0xFFFF;  // the AND of "unit != 0" over all units
    size_t i = 0;
    for (; i + block <= n; i += block) {
        for (size_t j = 0; j < block; ++j) {
            nul &= in[i + j] != 0 ? 0xFFFF : 0;
            out[i + j] = static_cast<CORBA::WChar>(in[i + j]);
        }
    }
    for (; i < n; ++i) {
        nul &= in[i] != 0 ? 0xFFFF : 0;
        out[i] = static_cast<CORBA::WChar>(in[i]);
    }
    return nul == 0;
}

// Narrows `n` values; true when one of them needs more than one unit.
bool narrow(const CORBA::WChar* in, char16_t* out, size_t n) {
    uint32_t high = 0;  // the OR of all values above bit 15
    size_t i = 0;
    for (; i + block <= n; i += block) {
        for (size_t j = 0; j < block; ++j) {
            const auto v = static_cast<uint32_t>(in[i + j]);
            high |= v >> 16;
            out[i + j] = static_cast<char16_t>(v);
        }
    }
    for (; i < n; ++i) {
        const auto v = static_cast<uint32_t>(in[i]);
        high |= v >> 16;
        out[i] = static_cast<char16_t>(v);
    }
    return high != 0;
}

}  // namespace

CORBA::WString_var toCorbaWString(const WString& text) {
    // A text too long for the wire reports its NUL first, as it always did.
    if (text.size() > maxWireTextUnits && text.find(u'\0') != WString::npos)
        throw JMSException(u"badArg: text contains a NUL character");
    const CORBA::ULong n = wireTextLength(text.size());
    CORBA::WString_var out = CORBA::wstring_alloc(n);
    CORBA::WChar* p = out.inout();
    // One pass widens and looks for a NUL at once.
    const bool nul = widen(text.data(), p, n);
    p[n] = 0;
    if (nul) throw JMSException(u"badArg: text contains a NUL character");
    return out;
}

namespace {

// The general case: values above 0xFFFF become pairs, beyond Unicode U+FFFD.
WString fromWide(const CORBA::WChar* text, size_t n) {
    WString out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const auto v = static_cast<uint32_t>(text[i]);
        if (v <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(v));
        } else if (v <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF)));
        } else {
            out.push_back(u'\uFFFD');
        }
    }
    return out;
}

}  // namespace

WString toWString(const CORBA::WChar* text) {
    if (!text) return WString();
    const size_t n = std::wcslen(text);
    WString out(n, u'\0');
    // Narrowed in one pass; a value that needs a pair (a peer whose wide code
    // set is UTF-32) sends the text down the general path instead.
    return narrow(text, out.data(), n) ? fromWide(text, n) : out;
}

}  // namespace jms
