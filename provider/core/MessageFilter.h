#pragma once
#include "core/Message.h"

namespace quorix::provider {

// A consumer's compiled selector. A consumer without one takes every message.
class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  virtual bool matches(const Message& message) const = 0;
};

}  // namespace quorix::provider
