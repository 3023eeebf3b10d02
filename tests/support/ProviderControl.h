#pragma once
// Test control of a running quorix-provider (started with --test-control),
// through the generated stubs: inject faults, count calls, read the
// arguments of the last call, list connections, ping, send server events.
#include <jmsServer.hh>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qjms::test {

// The process's ORB, initialised once (from the ORB... environment settings)
// with its root POA active, for tests that serve callback objects
// themselves. The library's own ORB is the same object.
CORBA::ORB_ptr testOrb();
PortableServer::POA_ptr testPoa();

// A failure answered by the server: the exception's name and reason.
struct ControlError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ProviderControl {
 public:
  explicit ProviderControl(const std::string& ior);

  // The raw command; throws ControlError when the server refuses it.
  std::string admin(const std::string& command, const std::string& argument = "");

  // The next `times` calls of `operation` raise `exception` (a contract
  // exception such as "ResourceException", or "TRANSIENT", "COMM_FAILURE", ...).
  void fail(const std::string& operation, const std::string& exception, int times = 1,
            int code = 0, const std::string& reason = "");
  long calls(const std::string& operation);
  std::string last(const std::string& operation);  // "none" before any call
  void reset();
  std::vector<std::pair<int, std::string>> connections();  // (cid, client identifier)
  // The newest open connection with that client identifier, -1 if none.
  int connectionOf(const std::string& clientId);
  std::string ping(int cid);  // "true", "false" or "error"
  std::string event(int code, int cid, int sid = -1, int uid = -1);
  std::string stats();

  ::zorvane::velt::quorix::corba::jmsServer::Provider_ptr provider() const { return provider_.in(); }

 private:
  ::zorvane::velt::quorix::corba::jmsServer::Provider_var provider_;
};

// UTF-8 <-> wire text, for tests that build wire values by hand.
CORBA::WChar* wideDup(const std::string& utf8);
std::string narrow(const CORBA::WChar* text);

}  // namespace qjms::test
