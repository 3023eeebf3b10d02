#include "core/SelectorFilter.h"

#include "core/Error.h"
#include "core/Text.h"

#include "selector/Selector.h"

namespace quorix::provider {

namespace {

// A stored message as a selector sees it: header fields by their JMS names,
// everything else from the properties.
class View : public selector::MessageView {
 public:
  explicit View(const Message& m) : m_(m) {}
  selector::Value lookup(std::u16string_view id) const override {
    selector::Value v;
    if (id == u"JMSDeliveryMode") {
      v.kind = selector::Value::String;
      v.s = m_.deliveryMode == kPersistent ? u"PERSISTENT" : u"NON_PERSISTENT";
    } else if (id == u"JMSPriority") {
      v.kind = selector::Value::Long;
      v.l = m_.priority;
    } else if (id == u"JMSTimestamp") {
      v.kind = selector::Value::Long;
      v.l = m_.timestamp;
    } else if (id == u"JMSMessageID") {
      v.kind = selector::Value::String;
      v.s = m_.id;
    } else if (id == u"JMSCorrelationID" || id == u"JMSType") {
      const auto& field = id == u"JMSType" ? m_.type : m_.correlationId;
      if (field) {
        v.kind = selector::Value::String;
        v.s = *field;
      }
    } else {
      v = m_.property(id);
    }
    return v;
  }

 private:
  const Message& m_;
};

class CompiledFilter : public MessageFilter {
 public:
  explicit CompiledFilter(std::shared_ptr<const selector::Selector> s) : s_(std::move(s)) {}
  bool matches(const Message& m) const override { return s_->matches(View(m)); }

 private:
  std::shared_ptr<const selector::Selector> s_;
};

}  // namespace

std::shared_ptr<const MessageFilter> compileSelector(const std::optional<std::u16string>& text) {
  if (!text) return nullptr;
  try {
    auto compiled = selector::Selector::compile(*text);
    if (compiled->selectsAll()) return nullptr;
    return std::make_shared<CompiledFilter>(std::move(compiled));
  } catch (const selector::SelectorError& e) {
    fail(ErrorKind::Selector, fromUtf8(e.reason));
  }
}

std::optional<std::u16string> canonicalSelector(const std::optional<std::u16string>& text) {
  if (!text || selector::Selector::isBlank(*text)) return std::nullopt;
  return text;
}

}  // namespace quorix::provider
