#pragma once
// A bare client of quorix-provider written against the generated stubs: the
// library's callback objects as small recording servants, and builders of
// the wire values the library sends.
#include <jmsServer.hh>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ProviderControl.h"

namespace qjms::test::wireclient {

namespace wire = ::zorvane::velt::quorix::corba::jmsCommon;
namespace wclient = ::zorvane::velt::quorix::corba::jmsClient;
namespace wserver = ::zorvane::velt::quorix::corba::jmsServer;

wire::StringU text(const std::optional<std::string>& s);
wire::ConnectionMetaData clientMetaData(int major = 1);
wire::Destination destination(const std::string& name, bool topic);
wire::DestinationU optionalDestination(const std::string& name, bool topic);
wire::JMSMsg textMessage(const std::string& body, int priority = 4, int mode = 1,
                         long long expiration = 0);
std::string bodyOf(const wire::JMSMsg& m);
std::optional<std::string> bodyOf(const wire::NullJMSMsg& m);

// Activated on construction, deactivated (and released) on destruction.
template <class Servant>
class Active {
 public:
  template <class... Args>
  explicit Active(Args&&... args) : servant_(new Servant(std::forward<Args>(args)...)) {
    oid_ = testPoa()->activate_object(servant_.in());
    CORBA::Object_var obj = testPoa()->id_to_reference(oid_.in());
    ref_ = Servant::Interface::_narrow(obj);
  }
  ~Active() {
    try {
      testPoa()->deactivate_object(oid_.in());
    } catch (const CORBA::Exception&) {
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

// Waits (with a generous bound) for a condition on recorded calls.
class Recorder {
 protected:
  template <class Pred>
  bool waitFor(Pred pred, std::chrono::seconds limit = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, limit, pred);
  }
  std::mutex mutex_;
  std::condition_variable cv_;
};

class ConnectionListener : public POA_zorvane::velt::quorix::corba::jmsClient::ConnectionListener,
                           public Recorder {
 public:
  using Interface = wclient::ConnectionListener;
  void serverException(CORBA::Long code, const CORBA::WChar* text, CORBA::Long, CORBA::Long,
                       const wire::IDU& concerned) override;
  CORBA::Boolean ping(const wire::ConnectionID& connection, wire::Sessions_out sessions,
                      wire::Users_out users) override;

  struct Event {
    int code;
    int kind;  // IDU discriminator: 1 connection, 2 session, 3 consumer
    int number;
  };
  std::optional<Event> waitForEvent();
  std::atomic<bool> alive{true};  // the ping answer
  std::atomic<int> pings{0};

 private:
  std::vector<Event> events_;
};

class MessageListener : public POA_zorvane::velt::quorix::corba::jmsClient::MessageListener,
                        public Recorder {
 public:
  using Interface = wclient::MessageListener;
  void onMessage(const wire::JMSMsg& message, const wire::UID& consumer) override;

  struct Push {
    std::string body;
    bool redelivered;
    int uid;
  };
  std::vector<Push> waitForPushes(size_t n);
  // Answer the next `n` pushes with SessionIDException.
  void refuseNext(int n);

 private:
  std::vector<Push> pushes_;
  int refuse_ = 0;
};

// A connection with its listener, closed on destruction.
class Connection {
 public:
  Connection(wserver::Provider_ptr provider, const std::optional<std::string>& clientId = {},
             bool start = true);
  ~Connection();
  const wire::ConnectionID& id() const { return id_.in(); }
  const wire::ConnectionMetaData& providerMetaData() const { return meta_.in(); }
  Active<ConnectionListener>& listener() { return listener_; }
  // With the connection's own session listener unless one is given.
  wire::SessionID_var session(bool transacted = false,
                              wclient::MessageListener_ptr listener = wclient::MessageListener::_nil());
  void close();

 private:
  wserver::Provider_var provider_;
  Active<ConnectionListener> listener_;
  Active<MessageListener> sessionListener_;
  wire::ConnectionID_var id_;
  wire::ConnectionMetaData_var meta_;
  bool open_ = true;
};

}  // namespace qjms::test::wireclient
