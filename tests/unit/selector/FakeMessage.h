// A message for selector tests: properties and header fields by name.
#pragma once

#include "selector/Selector.h"

#include <map>
#include <string>

namespace quorix::selector::test {

class FakeMessage : public MessageView {
 public:
  FakeMessage& set(const std::u16string& name, int64_t v) {
    Value& x = values_[name];
    x.kind = Value::Long;
    x.l = v;
    return *this;
  }
  FakeMessage& set(const std::u16string& name, double v) {
    Value& x = values_[name];
    x.kind = Value::Double;
    x.d = v;
    return *this;
  }
  FakeMessage& set(const std::u16string& name, bool v) {
    Value& x = values_[name];
    x.kind = Value::Bool;
    x.b = v;
    return *this;
  }
  FakeMessage& set(const std::u16string& name, const char16_t* v) {
    texts_[name] = v;
    Value& x = values_[name];
    x.kind = Value::String;
    x.s = texts_[name];
    return *this;
  }

  Value lookup(std::u16string_view identifier) const override {
    const auto it = values_.find(identifier);  // no allocation: heterogeneous lookup
    return it == values_.end() ? Value{} : it->second;
  }

 private:
  std::map<std::u16string, std::u16string, std::less<>> texts_;  // node-based: views stay valid
  std::map<std::u16string, Value, std::less<>> values_;
};

}  // namespace quorix::selector::test
