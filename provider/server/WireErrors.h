#pragma once
// Raising wire exceptions by kind or by name: one table for the server's own
// failures and for the faults that tests inject.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Error.h"

namespace quorix::provider {

[[noreturn]] void raiseWire(ErrorKind kind, int32_t code, const std::u16string& reason);
[[noreturn]] inline void raiseWire(const ProviderError& e) { raiseWire(e.kind(), e.code(), e.reason()); }

// By name: "TRANSIENT", "COMM_FAILURE", ... (see isSystemExceptionName).
[[noreturn]] void raiseSystem(std::string_view name, uint32_t minor);

}  // namespace quorix::provider
