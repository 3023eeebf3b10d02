#include "ProviderControl.h"

#include "core/Text.h"

#include <algorithm>
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

}  // namespace

CORBA::ORB_ptr testOrb() { return orbOnce().orb.in(); }
PortableServer::POA_ptr testPoa() { return orbOnce().poa.in(); }

// The wire carries 16-bit units, as the library sends them.
CORBA::WChar* wideDup(const std::string& utf8) {
  const std::u16string units = quorix::provider::fromUtf8(utf8);
  CORBA::WChar* out = CORBA::wstring_alloc(static_cast<CORBA::ULong>(units.size()));
  std::copy(units.begin(), units.end(), out);
  out[units.size()] = 0;
  return out;
}

std::string narrow(const CORBA::WChar* text) {
  std::u16string units;
  for (; text && *text; ++text) units += static_cast<char16_t>(*text);
  return quorix::provider::toUtf8(units);
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
