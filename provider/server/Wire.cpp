#include "server/Wire.h"

namespace quorix::provider {

std::u16string fromWire(const CORBA::WChar* text) {
  std::u16string out;
  if (!text) return out;
  for (; *text; ++text) {
    uint32_t c = static_cast<uint32_t>(*text);
    if (c <= 0xFFFF) {
      out.push_back(static_cast<char16_t>(c));
    } else if (c <= 0x10FFFF) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(u'\uFFFD');
    }
  }
  return out;
}

CORBA::WChar* toWire(const std::u16string& text) {
  CORBA::WChar* out = CORBA::wstring_alloc(static_cast<CORBA::ULong>(text.size()));
  size_t n = 0;
  for (char16_t c : text) {
    if (c == 0) break;  // a wire wstring ends at its first NUL
    out[n++] = static_cast<CORBA::WChar>(c);
  }
  out[n] = 0;
  return out;
}

std::optional<std::u16string> textOf(const wire::StringU& u) {
  if (!u._d()) return std::nullopt;
  return fromWire(u.val());
}

wire::StringU stringU(const std::optional<std::u16string>& text) {
  wire::StringU u;
  if (text)
    u.val(toWire(*text));
  else
    u.nullValue(0);
  return u;
}

ConnectionKey keyOf(const wire::ConnectionID& id) {
  return ConnectionKey{id.cid, textOrEmpty(id.username), textOrEmpty(id.password)};
}
SessionKey keyOf(const wire::SessionID& id) { return SessionKey{id.sid, keyOf(id.cid)}; }
EndpointKey keyOf(const wire::UID& id) { return EndpointKey{id.uid, keyOf(id.sid)}; }

namespace {
std::optional<std::u16string> unlessEmpty(const std::u16string& s) {
  if (s.empty()) return std::nullopt;
  return s;
}
}  // namespace

wire::ConnectionID idOf(const ConnectionKey& key) {
  wire::ConnectionID id;
  id.cid = key.cid;
  id.username = stringU(unlessEmpty(key.user));
  id.password = stringU(unlessEmpty(key.password));
  return id;
}

wire::SessionID idOf(const SessionKey& key) {
  wire::SessionID id;
  id.sid = key.sid;
  id.cid = idOf(key.connection);
  return id;
}

wire::UID idOf(const EndpointKey& key) {
  wire::UID id;
  id.uid = key.uid;
  id.sid = idOf(key.session);
  return id;
}

DestinationRef destinationOf(const wire::Destination& d) {
  DestinationRef r;
  r.name = fromWire(d.destname);
  r.isTopic = d.isTopic;
  r.defined = d.defined._d();
  if (r.defined) r.driver = fromWire(d.defined.dest().driver_name);
  return r;
}

std::optional<DestinationRef> destinationOf(const wire::DestinationU& d) {
  if (!d._d()) return std::nullopt;
  return destinationOf(d.val());
}

}  // namespace quorix::provider
