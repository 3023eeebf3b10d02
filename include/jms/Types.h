#ifndef JMS_TYPES_H
#define JMS_TYPES_H

#include <cstdint>
#include <string>
#include <vector>

#include <jms/Export.h>

namespace jms {

/// Wide text of 16-bit code units; lengths and limits count units, and
/// surrogate pairs are carried as their two units.
using WString = std::u16string;
/// A growable array of bytes, returned by value.
using ByteArray = std::vector<uint8_t>;
/// A list of wide texts (property names, for example), returned by value.
using WStringList = std::vector<WString>;

/// The empty text.
JMS_API extern const WString emptyWString;
/// "C++ runtime: not implemented", the default text of NotImplementedException.
JMS_API extern const WString notImplementedWString;

/// The root of nothing: an empty value class kept for API completeness.
class JMS_API Object {
public:
    Object& operator=(const Object&) { return *this; }
};

}  // namespace jms

#endif
