#include "idl/WireText.h"

#include <jms/JMSException.h>

#include "idl/WireLength.h"

namespace jms {

CORBA::WString_var toCorbaWString(const WString& text) {
    if (text.find(u'\0') != WString::npos)
        throw JMSException(u"badArg: text contains a NUL character");
    const CORBA::ULong n = wireTextLength(text.size());
    CORBA::WString_var out = CORBA::wstring_alloc(n);
    CORBA::WChar* p = out.inout();
    for (CORBA::ULong i = 0; i < n; ++i) p[i] = static_cast<CORBA::WChar>(text[i]);
    p[n] = 0;
    return out;
}

WString toWString(const CORBA::WChar* text) {
    WString out;
    if (!text) return out;
    for (; *text; ++text) {
        const auto v = static_cast<uint32_t>(*text);
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

}  // namespace jms
