#pragma once
#include <memory>
#include <optional>
#include <string>

#include "core/MessageFilter.h"

namespace quorix::provider {

// Compiles a consumer's selector; null when it selects every message.
// A selector that does not compile fails with ErrorKind::Selector.
std::shared_ptr<const MessageFilter> compileSelector(const std::optional<std::u16string>& text);

// The selector as subscriptions compare it: absent, empty and blank are all none.
std::optional<std::u16string> canonicalSelector(const std::optional<std::u16string>& text);

}  // namespace quorix::provider
