#pragma once
// The provider's failure model, independent of the wire: one kind per wire
// exception, so the front end maps kinds to exceptions through one table.
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace quorix::provider {

// In the contract's declaration order; the front end's tables rely on it.
enum class ErrorKind {
  Store, BadState, Busy, Concurrency, SessionID, ConnectionID, Destination, Consumer,
  BadArg, Full, Producer, Version, Message, Transaction, Push, Resource, Selector,
  MessageLost, Propagation, Sec
};
inline constexpr int kErrorKindCount = 20;

// "StoreException", "BadStateException", ...
std::string_view errorKindName(ErrorKind kind);
std::optional<ErrorKind> errorKindFromName(std::string_view name);

// Consumer code the library retries when a durable subscription is still held.
inline constexpr int32_t kCodeSubscriptionInUse = 18;

class ProviderError : public std::exception {
 public:
  ProviderError(ErrorKind kind, std::u16string reason, int32_t code = 0)
      : kind_(kind), code_(code), reason_(std::move(reason)) {}
  ErrorKind kind() const noexcept { return kind_; }
  int32_t code() const noexcept { return code_; }
  const std::u16string& reason() const noexcept { return reason_; }
  const char* what() const noexcept override { return "ProviderError"; }

 private:
  ErrorKind kind_;
  int32_t code_;
  std::u16string reason_;
};

[[noreturn]] inline void fail(ErrorKind kind, std::u16string reason, int32_t code = 0) {
  throw ProviderError(kind, std::move(reason), code);
}

}  // namespace quorix::provider
