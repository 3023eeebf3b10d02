#pragma once
// A stored message as the core sees it: the header fields that routing,
// ordering, expiry and selectors need, plus the front end's opaque payload.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "selector/Selector.h"

namespace quorix::provider {

// A property value as a selector sees it. Text views point into the payload.
using PropertyValue = selector::Value;

// What the front end stores for a message (the body and properties in wire
// form). Immutable once stored.
class Payload {
 public:
  virtual ~Payload() = default;
  virtual PropertyValue property(std::u16string_view name) const = 0;
};

inline constexpr int32_t kNonPersistent = 1;
inline constexpr int32_t kPersistent = 2;

struct Message {
  std::u16string id;        // "ID:..." assigned at send
  int64_t timestamp = 0;    // ms since the epoch, assigned at send
  int64_t expiration = 0;   // ms since the epoch, 0 = never
  int32_t priority = 4;     // 0..9
  int32_t deliveryMode = kNonPersistent;
  std::optional<std::u16string> correlationId;
  std::optional<std::u16string> type;
  std::shared_ptr<const Payload> payload;
  // Its key in the broker's storage; 0 when it is not kept (non-persistent,
  // or no storage).
  uint64_t record = 0;
  // Text properties the server adds (a dead letter's reason); they take the
  // place of client properties of the same name.
  std::vector<std::pair<std::u16string, std::u16string>> annotations;

  // A property as consumers see it: annotations first, then the payload's.
  PropertyValue property(std::u16string_view name) const {
    for (const auto& [n, text] : annotations)
      if (n == name) {
        PropertyValue v;
        v.kind = PropertyValue::String;
        v.s = text;
        return v;
      }
    return payload ? payload->property(name) : PropertyValue{};
  }

  bool expiredAt(int64_t nowMs) const { return expiration != 0 && expiration <= nowMs; }
};
using MessagePtr = std::shared_ptr<const Message>;

}  // namespace quorix::provider
