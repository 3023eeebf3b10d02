// Wording of compile errors: every reason names the offset and what was expected.
#pragma once

#include "Selector.h"

#include <string>
#include <string_view>

namespace quorix::selector::detail {

// UTF-8 rendering of selector text for error reasons, cut after `maxUnits` units.
std::string toUtf8(std::u16string_view text, size_t maxUnits = 32);

[[noreturn]] void fail(size_t position, std::string_view what);

}  // namespace quorix::selector::detail
