#include "Selector.h"

#include "Lexer.h"
#include "Program.h"

#include <algorithm>

namespace quorix::selector {

Selector::Selector(std::u16string text, std::unique_ptr<const detail::Program> program)
    : text_(std::move(text)), program_(std::move(program)) {}

Selector::~Selector() = default;

std::shared_ptr<const Selector> Selector::compile(std::u16string_view text) {
  std::unique_ptr<const detail::Program> program;
  if (!isBlank(text)) {
    program = std::make_unique<const detail::Program>(detail::parse(text));
  }
  return std::shared_ptr<const Selector>(new Selector(std::u16string(text), std::move(program)));
}

bool Selector::isBlank(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), detail::isBlank);
}

bool Selector::matches(const MessageView& msg) const {
  if (!program_) {
    return true;
  }
  const Value v = detail::evaluate(*program_, program_->nodes[program_->root], msg);
  return v.kind == Value::Bool && v.b;
}

}  // namespace quorix::selector
