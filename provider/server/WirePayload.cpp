#include "server/WirePayload.h"

namespace quorix::provider {

WirePayload::WirePayload(const wire::JMSMsg& message) : message_(message) {
  const wire::PropElems& props = message_.hdr.JMSProperties;
  props_.reserve(props.length());
  for (CORBA::ULong i = 0; i < props.length(); ++i) {
    Prop p;
    p.name = fromWire(props[i].name);
    const wire::PropU& v = props[i].val;
    PropertyValue& out = p.value;
    switch (v._d()) {
      case 1: out.kind = PropertyValue::Long; out.l = v.propByte(); break;
      case 2: out.kind = PropertyValue::Long; out.l = v.propShort(); break;
      case 3: out.kind = PropertyValue::Long; out.l = v.propInt(); break;
      case 4: out.kind = PropertyValue::Long; out.l = v.propLong(); break;
      case 5: out.kind = PropertyValue::Bool; out.b = v.propBoolean(); break;
      case 6: out.kind = PropertyValue::Double; out.d = v.propFloat(); break;
      case 7: out.kind = PropertyValue::Double; out.d = v.propDouble(); break;
      case 8: out.kind = PropertyValue::String; p.text = fromWire(v.propString()); break;
      default: break;  // a malformed value reads as absent
    }
    props_.push_back(std::move(p));
  }
  // Views into the text only once the vector no longer moves.
  for (Prop& p : props_)
    if (p.value.kind == PropertyValue::String) p.value.s = p.text;
}

PropertyValue WirePayload::property(std::u16string_view name) const {
  for (const Prop& p : props_)
    if (p.name == name) return p.value;
  return {};
}

OutgoingMessage outgoingOf(const wire::JMSMsg& message) {
  const wire::MessageHeader& h = message.hdr;
  OutgoingMessage out;
  out.expiration = h.JMSExpiration;
  out.priority = h.JMSPriority;
  out.deliveryMode = h.JMSDeliveryMode;
  out.correlationId = textOf(h.JMSCorrelationID);
  out.type = textOf(h.JMSType);
  out.payload = std::make_shared<WirePayload>(message);
  return out;
}

wire::JMSMsg_var deliveredMessage(const Delivery& d) {
  const auto& payload = static_cast<const WirePayload&>(*d.message->payload);
  wire::JMSMsg_var m = new wire::JMSMsg(payload.message());
  m->hdr.JMSMessageID = stringU(d.message->id);
  m->hdr.JMSTimestamp = d.message->timestamp;
  m->hdr.JMSRedelivered = d.redelivered;
  wire::PropElems& props = m->hdr.JMSProperties;
  for (const auto& [name, text] : d.message->annotations) {
    CORBA::ULong i = 0;
    while (i < props.length() && fromWire(props[i].name) != name) ++i;
    if (i == props.length()) {
      props.length(i + 1);
      props[i].name = toWire(name);
    }
    props[i].val.propString(toWire(text));
  }
  return m;
}

}  // namespace quorix::provider
