#pragma once
// A bare client of quorix-provider over the generated stubs: recording
// callback servants, a connection that closes itself, and wire-value builders.
#include <jmsServer.hh>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ProviderControl.h"
#include "ProviderProcess.h"

namespace qjms::test::wireclient {

namespace wire = ::zorvane::velt::quorix::corba::jmsCommon;
namespace wclient = ::zorvane::velt::quorix::corba::jmsClient;
namespace wserver = ::zorvane::velt::quorix::corba::jmsServer;

wire::StringU text(const std::optional<std::string>& s);
wire::Destination destination(const std::string& name, bool topic);
wire::DestinationU optionalDestination(const std::string& name, bool topic);  // "": none
wire::JMSMsg textMessage(const std::string& body, int priority = 4, int mode = 1);
std::string bodyOf(const wire::JMSMsg& m);
std::optional<std::string> bodyOf(const wire::NullJMSMsg& m);
// The name of the exception `call` raised, "" if none.
std::string raised(const std::function<void()>& call);

// One call each, for tests that script a scenario.
wire::UID_var sender(wserver::Provider_ptr p, const wire::SessionID& s, const std::string& queue);
wire::UID_var receiver(wserver::Provider_ptr p, const wire::SessionID& s, const std::string& queue,
                       const std::optional<std::string>& selector = {});
std::string send(wserver::Provider_ptr p, const wire::UID& producer, const wire::JMSMsg& m);
std::optional<std::string> take(wserver::Provider_ptr p, const wire::UID& consumer);
// What `consumer` can take now, waiting up to `firstWithinMs` for the first:
// the bodies, each with a * when redelivered, space-separated.
std::string drain(wserver::Provider_ptr p, const wire::UID& consumer, long long firstWithinMs = 0);

// A provider process with its test control.
struct Server {
  explicit Server(std::vector<std::string> args = {}) : process(std::move(args)) {}
  ProviderProcess process;
  ProviderControl control{process.ior()};
  wserver::Provider_ptr p() { return control.provider(); }
};

// Activated on construction, deactivated on destruction (or earlier).
template <class Servant>
class Active {
 public:
  Active() : servant_(new Servant) {
    oid_ = testPoa()->activate_object(servant_.in());
    CORBA::Object_var obj = testPoa()->id_to_reference(oid_.in());
    ref_ = Servant::Interface::_narrow(obj);
  }
  ~Active() {
    try {
      deactivate();
    } catch (const CORBA::Exception&) {  // already deactivated
    }
  }
  Servant* operator->() { return servant_.in(); }
  typename Servant::Interface::_ptr_type ref() { return ref_.in(); }
  void deactivate() { testPoa()->deactivate_object(oid_.in()); }

 private:
  PortableServer::Servant_var<Servant> servant_;
  PortableServer::ObjectId_var oid_;
  typename Servant::Interface::_var_type ref_;
};

// Work a servant does inside a call, settable while calls arrive.
template <class... Args>
class Hook {
 public:
  void set(std::function<void(Args...)> f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f_ = std::move(f);
  }
  void operator()(Args... args) {
    std::function<void(Args...)> f;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      f = f_;
    }
    if (f) f(args...);
  }

 private:
  std::mutex mutex_;
  std::function<void(Args...)> f_;
};

// What the provider called, one line per call.
class Recorder {
 public:
  // The calls so far, once there are `n` (or after a generous 20 s).
  std::vector<std::string> waitFor(size_t n);

 protected:
  void record(std::string line);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> lines_;
};

// Records server events as "CODE connection|session|consumer NUMBER".
class ConnectionListener : public POA_zorvane::velt::quorix::corba::jmsClient::ConnectionListener,
                           public Recorder {
 public:
  using Interface = wclient::ConnectionListener;
  void serverException(CORBA::Long code, const CORBA::WChar* text, CORBA::Long, CORBA::Long,
                       const wire::IDU& concerned) override;
  CORBA::Boolean ping(const wire::ConnectionID&, wire::Sessions_out sessions,
                      wire::Users_out users) override;
  std::atomic<bool> alive{true};  // the ping answer
  std::atomic<int> pings{0};
  Hook<> duringPing;
};

// Records pushes as "BODY@UID", with a * after the body when redelivered.
class MessageListener : public POA_zorvane::velt::quorix::corba::jmsClient::MessageListener,
                        public Recorder {
 public:
  using Interface = wclient::MessageListener;
  void onMessage(const wire::JMSMsg& message, const wire::UID& consumer) override;
  std::atomic<int> refuse{0};  // answer this many pushes with SessionIDException
  // The listener's own work, after the push is recorded; it may throw a
  // contract exception as the answer.
  Hook<const wire::JMSMsg&, const wire::UID&> work;
  std::atomic<int> running{0}, mostRunning{0};  // calls under way at once
};

// A connection with its listeners, closed on destruction.
class Connection {
 public:
  Connection(wserver::Provider_ptr provider, const std::optional<std::string>& clientId = {},
             bool start = true, const std::string& driver = "vol",
             const std::optional<std::string>& user = {},
             const std::optional<std::string>& password = {});
  ~Connection();
  const wire::ConnectionID& id() const { return id_.in(); }
  const wire::ConnectionMetaData& metaData() const { return meta_.in(); }
  wire::SessionID_var session(bool transacted = false);  // pushing to sessionListener
  void close();

  Active<ConnectionListener> listener;
  Active<MessageListener> sessionListener;

 private:
  wserver::Provider_var provider_;
  wire::ConnectionID_var id_;
  wire::ConnectionMetaData_var meta_;
  bool open_ = true;
};

}  // namespace qjms::test::wireclient
