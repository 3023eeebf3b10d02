// A message for selector tests: properties and header fields by name.
#pragma once

#include "selector/Selector.h"

#include <map>
#include <string>

namespace quorix::selector::test {

class FakeMessage : public MessageView {
 public:
  FakeMessage& set(const std::u16string& n, int64_t v) { slot(n, Value::Long).l = v; return *this; }
  FakeMessage& set(const std::u16string& n, double v) { slot(n, Value::Double).d = v; return *this; }
  FakeMessage& set(const std::u16string& n, bool v) { slot(n, Value::Bool).b = v; return *this; }
  FakeMessage& set(const std::u16string& n, const char16_t* v) {
    slot(n, Value::String).s = texts_[n] = v;
    return *this;
  }

  Value lookup(std::u16string_view identifier) const override {
    const auto it = values_.find(identifier);  // no allocation: heterogeneous lookup
    return it == values_.end() ? Value{} : it->second;
  }

 private:
  Value& slot(const std::u16string& name, Value::Kind kind) {
    Value& v = values_[name];
    v.kind = kind;
    return v;
  }
  std::map<std::u16string, std::u16string, std::less<>> texts_;  // node-based: views stay valid
  std::map<std::u16string, Value, std::less<>> values_;
};

// Selector text for failure output: ASCII kept, anything else as '?'.
inline std::string ascii(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    out += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return out;
}

}  // namespace quorix::selector::test
