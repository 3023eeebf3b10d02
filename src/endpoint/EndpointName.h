#ifndef QJMS_ENDPOINT_ENDPOINTNAME_H
#define QJMS_ENDPOINT_ENDPOINTNAME_H

#include <cstdint>
#include <string>

#include <jms/Types.h>

namespace jms {

/// The decimal text of a provider identifier, as producers and consumers name
/// themselves.
inline WString decimalText(int64_t value) {
    const std::string narrow = std::to_string(value);
    return WString(narrow.begin(), narrow.end());
}

}  // namespace jms

#endif
