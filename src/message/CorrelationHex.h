#ifndef QJMS_MESSAGE_CORRELATIONHEX_H
#define QJMS_MESSAGE_CORRELATIONHEX_H

#include <jms/Types.h>

namespace jms {

/// Two lower-case hexadecimal units per byte, high nibble first.
WString bytesToHex(const ByteArray& bytes);

/// The reverse of bytesToHex: empty for an odd length; stops at the first unit that
/// is not "0".."9" or "a".."f" and returns the bytes decoded before it.
ByteArray hexToBytes(const WString& hex);

}  // namespace jms

#endif
