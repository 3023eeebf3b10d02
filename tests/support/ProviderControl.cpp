#include "ProviderControl.h"

#include <mutex>
#include <sstream>

namespace qjms::test {

namespace wire = ::zorvane::velt::quorix::corba::jmsCommon;
namespace server = ::zorvane::velt::quorix::corba::jmsServer;

namespace {
struct Orb {
  CORBA::ORB_var orb;
  PortableServer::POA_var poa;
};

Orb& orbOnce() {
  static Orb o;
  static std::once_flag once;
  std::call_once(once, [] {
    int argc = 0;
    o.orb = CORBA::ORB_init(argc, nullptr);
    CORBA::Object_var root = o.orb->resolve_initial_references("RootPOA");
    o.poa = PortableServer::POA::_narrow(root);
    PortableServer::POAManager_var manager = o.poa->the_POAManager();
    manager->activate();
  });
  return o;
}

// Appends one code point as UTF-8.
void put(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}
}  // namespace

CORBA::ORB_ptr testOrb() { return orbOnce().orb.in(); }
PortableServer::POA_ptr testPoa() { return orbOnce().poa.in(); }

CORBA::WChar* wideDup(const std::string& s) {
  std::wstring w;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    uint32_t cp = c;
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (len > 1) cp = c & (0x7F >> len);
    for (size_t k = 1; k < len && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    i += len;
    // Units of 16 bits on the wire, as the library sends them.
    if (cp >= 0x10000) {
      cp -= 0x10000;
      w += wchar_t(0xD800 + (cp >> 10));
      w += wchar_t(0xDC00 + (cp & 0x3FF));
    } else {
      w += wchar_t(cp);
    }
  }
  return CORBA::wstring_dup(w.c_str());
}

std::string narrow(const CORBA::WChar* text) {
  std::string out;
  if (!text) return out;
  for (; *text; ++text) {
    uint32_t c = uint32_t(text[0]);
    if (c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[1]) - 0xDC00);
      ++text;
    }
    put(out, c);
  }
  return out;
}

ProviderControl::ProviderControl(const std::string& ior) {
  CORBA::Object_var obj = testOrb()->string_to_object(ior.c_str());
  provider_ = server::Provider::_narrow(obj);
  if (CORBA::is_nil(provider_)) throw ControlError("not a Provider reference");
}

std::string ProviderControl::admin(const std::string& command, const std::string& argument) {
  wire::StringU none;
  none.nullValue(0);
  CORBA::WString_var c = wideDup(command), a = wideDup(argument);
  try {
    CORBA::WString_var answer = provider_->admin(c.in(), a.in(), none, none);
    return narrow(answer.in());
  } catch (const CORBA::UserException& e) {
    // Every contract exception has a wide `reason`; read it through the any.
    std::string what = e._name();
    CORBA::Any any;
    any <<= e;
    const wire::BadArgException* bad = nullptr;
    const wire::SecException* sec = nullptr;
    if (any >>= bad) what += ": " + narrow(bad->reason.in());
    else if (any >>= sec) what += ": " + narrow(sec->reason.in());
    throw ControlError(what);
  }
}

void ProviderControl::fail(const std::string& operation, const std::string& exception, int times,
                           int code, const std::string& reason) {
  std::ostringstream arg;
  arg << operation << ' ' << exception << ' ' << times << ' ' << code;
  if (!reason.empty()) arg << ' ' << reason;
  admin("fail", arg.str());
}

long ProviderControl::calls(const std::string& operation) {
  return std::stol(admin("calls", operation));
}

std::string ProviderControl::last(const std::string& operation) { return admin("last", operation); }

void ProviderControl::reset() { admin("reset"); }

std::vector<std::pair<int, std::string>> ProviderControl::connections() {
  std::vector<std::pair<int, std::string>> out;
  std::istringstream in(admin("connections"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    size_t space = line.find(' ');
    out.emplace_back(std::stoi(line.substr(0, space)),
                     space == std::string::npos ? "" : line.substr(space + 1));
  }
  return out;
}

int ProviderControl::connectionOf(const std::string& clientId) {
  int found = -1;
  for (auto& [cid, id] : connections())
    if (id == clientId && cid > found) found = cid;
  return found;
}

std::string ProviderControl::ping(int cid) { return admin("ping", std::to_string(cid)); }

std::string ProviderControl::event(int code, int cid, int sid, int uid) {
  std::string arg = std::to_string(code) + " " + std::to_string(cid);
  if (sid >= 0) arg += " " + std::to_string(sid);
  if (uid >= 0) arg += " " + std::to_string(uid);
  return admin("event", arg);
}

std::string ProviderControl::stats() { return admin("stats"); }

}  // namespace qjms::test
