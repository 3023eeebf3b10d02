#include "core/Error.h"

#include <array>

namespace quorix::provider {
namespace {
constexpr std::array<std::string_view, kErrorKindCount> kNames = {
    "StoreException",      "BadStateException",   "BusyException",
    "ConcurrencyException", "SessionIDException", "ConnectionIDException",
    "DestinationException", "ConsumerException",  "BadArgException",
    "FullException",       "ProducerException",   "VersionException",
    "MessageException",    "TransactionException", "PushException",
    "ResourceException",   "SelectorException",   "MessageLostException",
    "PropagationException", "SecException"};
}  // namespace

std::string_view errorKindName(ErrorKind kind) { return kNames.at(static_cast<size_t>(kind)); }

std::optional<ErrorKind> errorKindFromName(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return static_cast<ErrorKind>(i);
  return std::nullopt;
}

}  // namespace quorix::provider
