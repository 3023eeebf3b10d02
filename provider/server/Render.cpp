#include "server/Render.h"

#include "core/Text.h"

namespace quorix::provider::render {
namespace {
// Bodies are cut here; the length is still shown.
constexpr size_t kMaxBodyUnits = 256;

std::u16string quoted(const std::u16string& s) {
  std::u16string out = u"\"";
  for (char16_t c : s) {
    if (c == u'"' || c == u'\\') out += u'\\';
    out += c;
  }
  return out + u"\"";
}

std::u16string property(const wire::PropElem& p) {
  const wire::PropU& v = p.val;
  std::u16string value;
  switch (v._d()) {
    case 1: value = u"byte:" + number(v.propByte()); break;
    case 2: value = u"short:" + number(v.propShort()); break;
    case 3: value = u"int:" + number(v.propInt()); break;
    case 4: value = u"long:" + number(v.propLong()); break;
    case 5: value = u"boolean:" + flag(v.propBoolean()); break;
    case 6: value = u"float:" + u16(std::to_string(v.propFloat())); break;
    case 7: value = u"double:" + u16(std::to_string(v.propDouble())); break;
    case 8: value = u"string:" + text(v.propString()); break;
    default: value = u"error:" + number(v._d()); break;
  }
  return fromWire(p.name) + u"=" + value;
}

std::u16string body(const wire::MsgUnion& m) {
  switch (m._d()) {
    case 1: {
      const wire::TextMessage& t = m.text();
      if (!t._d()) return u"text:null";
      std::u16string s = fromWire(t.val());
      if (s.size() <= kMaxBodyUnits) return u"text:" + quoted(s);
      return u"text(" + number(int64_t(s.size())) + u"):" + quoted(s.substr(0, kMaxBodyUnits)) +
             u"...";
    }
    case 2: return u"bytes[" + number(m.bytes().val.length()) + u"]";
    case 3: return u"map[" + number(m.map().val.length()) + u"]";
    case 4: return u"stream[" + number(m.stream().val.length()) + u"]";
    case 5: return u"object[" + number(m.object().val.length()) + u"]";
    case 6: return u"header:" + number(m.header());
    default: return u"error:" + number(m._d());
  }
}
}  // namespace

std::u16string text(const CORBA::WChar* s) { return quoted(fromWire(s)); }
std::u16string text(const wire::StringU& u) { return u._d() ? text(u.val()) : u"null"; }
std::u16string flag(bool b) { return b ? u"true" : u"false"; }
std::u16string number(int64_t n) { return u16(n); }

std::u16string id(const wire::ConnectionID& c) {
  return u"{cid=" + number(c.cid) + u" username=" + text(c.username) + u" password=" +
         text(c.password) + u"}";
}
std::u16string id(const wire::SessionID& s) {
  return u"{sid=" + number(s.sid) + u" cid=" + number(s.cid.cid) + u"}";
}
std::u16string id(const wire::UID& u) {
  return u"{uid=" + number(u.uid) + u" sid=" + number(u.sid.sid) + u" cid=" +
         number(u.sid.cid.cid) + u"}";
}

std::u16string destination(const wire::Destination& d) {
  std::u16string out = (d.isTopic ? u"topic:" : u"queue:") + text(d.destname);
  if (d.defined._d()) {
    const wire::DefinedDestination& def = d.defined.dest();
    out += u"{driver=" + text(def.driver_name);
    for (CORBA::ULong i = 0; i < def.tags.length(); ++i)
      out += u" " + fromWire(def.tags[i]) + u"=" +
             (i < def.values.length() ? text(def.values[i]) : u"null");
    out += u"}";
  }
  return out;
}

std::u16string destination(const wire::DestinationU& d) {
  return d._d() ? destination(d.val()) : u"null";
}

std::u16string metaData(const wire::ConnectionMetaData& m) {
  return u"{version=" + number(m.JMSMajorVersion) + u"." + number(m.JMSMinorVersion) +
         u" provider=" + text(m.JMSProviderName) + u" providerVersion=" +
         number(m.JMSProviderMajorVersion) + u"." + number(m.JMSProviderMinorVersion) +
         u" persistent=" + flag(m.supportsPersistent) + u" nonPersistent=" +
         flag(m.supportsNonPersistent) + u" tx=" + flag(m.supportsTxSessions) + u" driver=" +
         text(m.driverName) + u"}";
}

std::u16string message(const wire::JMSMsg& m) {
  const wire::MessageHeader& h = m.hdr;
  std::u16string props;
  for (CORBA::ULong i = 0; i < h.JMSProperties.length(); ++i)
    props += (i ? u" " : u"") + property(h.JMSProperties[i]);
  return u"{body=" + body(m.msg) + u" id=" + text(h.JMSMessageID) + u" mode=" +
         number(h.JMSDeliveryMode) + u" redelivered=" + flag(h.JMSRedelivered) + u" type=" +
         text(h.JMSType) + u" expiration=" + number(h.JMSExpiration) + u" priority=" +
         number(h.JMSPriority) + u" timestamp=" + number(h.JMSTimestamp) + u" correlationID=" +
         text(h.JMSCorrelationID) + u" replyTo=" + destination(h.JMSReplyTo) + u" properties=[" +
         props + u"]}";
}

}  // namespace quorix::provider::render
