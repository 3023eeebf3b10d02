#ifndef QJMS_IDL_WIRETEXT_H
#define QJMS_IDL_WIRETEXT_H

#include <jms/Types.h>

#include "idl/WireTypes.h"

namespace jms {

// Wide text between the API (16-bit units) and the broker (CORBA::WChar).
//
// Towards the broker each unit is widened on its own, so a surrogate pair
// travels as its two units, unchanged. A wire wstring cannot hold a NUL, and
// cutting the text there would lose data silently, so such a text is refused.
//
// From the broker each value of 0xFFFF or less is one unit. A value above
// 0xFFFF (a peer whose wide code set is UTF-32) becomes its surrogate pair,
// and one above 0x10FFFF becomes U+FFFD, so no text is cut silently.

// A new broker string; assign it to a member or pass it as an `in` argument.
// Throws JMSException "badArg: text contains a NUL character", or "badArg:
// text too long for the wire" (WireLength.h).
CORBA::WString_var toCorbaWString(const WString& text);

// The API text of a broker string; a null pointer reads as the empty text.
WString toWString(const CORBA::WChar* text);

}  // namespace jms

#endif
