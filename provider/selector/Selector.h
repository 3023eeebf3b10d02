// Message selectors: compiled once when a consumer is created, evaluated against
// each stored message it might receive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorix::selector {

// Thrown by Selector::compile. `position` is the 0-based offset, in UTF-16 units,
// of the offending text; `reason` repeats it and says what was expected there.
struct SelectorError {
  std::string reason;
  size_t position;
};

// A value as the evaluator sees it. Integral properties of every width are Long,
// float and double are Double. `s` views text owned by the message or the selector.
struct Value {
  enum Kind { Null, Bool, Long, Double, String } kind = Null;
  bool b = false;
  int64_t l = 0;
  double d = 0;
  std::u16string_view s;
};

// What a selector may ask of a message. The views returned must stay valid while
// Selector::matches runs.
class MessageView {
 public:
  virtual ~MessageView() = default;
  // A property or header field by name; Null when absent. Header fields are
  // JMSDeliveryMode (u"PERSISTENT" / u"NON_PERSISTENT"), JMSPriority, JMSMessageID,
  // JMSTimestamp, JMSCorrelationID and JMSType.
  virtual Value lookup(std::u16string_view identifier) const = 0;
};

namespace detail { struct Program; }

class Selector {
 public:
  // Throws SelectorError. Empty (or blank) text gives a selector that selects all.
  static std::shared_ptr<const Selector> compile(std::u16string_view text);
  // True for text that holds nothing but blanks.
  static bool isBlank(std::u16string_view text);

  // True only when the expression is TRUE for `msg` (FALSE and unknown select nothing).
  // Allocates nothing and is safe to call from several threads at once.
  bool matches(const MessageView& msg) const;

  const std::u16string& text() const { return text_; }
  bool selectsAll() const { return program_ == nullptr; }

  ~Selector();
  Selector(const Selector&) = delete;
  Selector& operator=(const Selector&) = delete;

 private:
  Selector(std::u16string text, std::unique_ptr<const detail::Program> program);

  std::u16string text_;
  std::unique_ptr<const detail::Program> program_;
};

}  // namespace quorix::selector
