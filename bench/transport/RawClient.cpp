// The bare transport: the generated stubs, one prebuilt wire message, and
// servants of our own for the provider's callbacks.
#include <stdexcept>
#include <vector>

#include <jmsServer.hh>

#include "Client.h"
#include "PushCount.h"

namespace bench {

namespace {

namespace wire = ::zorvane::velt::quorix::corba::jmsCommon;
namespace wireClient = ::zorvane::velt::quorix::corba::jmsClient;
namespace wireServer = ::zorvane::velt::quorix::corba::jmsServer;

CORBA::ORB_var theOrb;
PortableServer::POA_var thePoa;

class ConnectionListener : public POA_zorvane::velt::quorix::corba::jmsClient::ConnectionListener {
 public:
  void serverException(CORBA::Long, const CORBA::WChar*, CORBA::Long, CORBA::Long,
                       const wire::IDU&) override {}
  CORBA::Boolean ping(const wire::ConnectionID&, wire::Sessions_out sessions,
                      wire::Users_out consumers) override {
    sessions = new wire::Sessions;
    consumers = new wire::Users;
    return true;
  }
};

class MessageListener : public POA_zorvane::velt::quorix::corba::jmsClient::MessageListener {
 public:
  void onMessage(const wire::JMSMsg&, const wire::UID&) override { pushes.arrived(); }
  PushCount pushes;
};

wire::StringU none() {
  wire::StringU u;
  u.nullValue(0);
  return u;
}

// Activated on construction, deactivated on destruction.
template <class Servant>
class Activated {
 public:
  Activated() : servant_(new Servant) {
    id_ = thePoa->activate_object(servant_.in());
    object_ = thePoa->id_to_reference(id_.in());
  }
  ~Activated() { thePoa->deactivate_object(id_.in()); }
  CORBA::Object_ptr object() const { return object_.in(); }
  Servant& servant() { return *servant_; }

 private:
  PortableServer::Servant_var<Servant> servant_;
  PortableServer::ObjectId_var id_;
  CORBA::Object_var object_;
};

class RawClient : public Client {
 public:
  RawClient(const std::string& reference, const std::string& queue) {
    CORBA::Object_var object = theOrb->string_to_object(reference.c_str());
    provider_ = wireServer::Provider::_narrow(object.in());
    wireClient::ConnectionListener_var cl =
        wireClient::ConnectionListener::_narrow(connectionListener_.object());
    wireClient::MessageListener_var ml = wireClient::MessageListener::_narrow(messageListener_.object());
    wire::ConnectionMetaData md;
    md.JMSMajorVersion = 1;
    md.JMSMinorVersion = 0;
    md.JMSProviderName = CORBA::wstring_dup(L"raw");
    md.JMSProviderMajorVersion = 1;
    md.JMSProviderMinorVersion = 0;
    md.supportsPersistent = md.supportsNonPersistent = md.supportsTxSessions = 0;
    md.driverName = CORBA::wstring_dup(L"");
    wire::ConnectionMetaData_var providerMd;
    wire::ConnectionID_var connection = provider_->createConnection(
        providerMd.out(), cl.in(), md, none(), none(), none(), L"vol");
    connection_ = connection.in();
    wire::SessionID_var session = provider_->createSession(connection_, ml.in(), 1, false, 0, false, 4);
    session_ = session.in();
    destination_.destname = CORBA::wstring_dup(std::wstring(queue.begin(), queue.end()).c_str());
    destination_.isTopic = false;
    destination_.defined.nullValue(0);
    wire::DestinationU target;
    target.val(destination_);
    wire::UID_var sender = provider_->createSender(target, session_);
    sender_ = sender.in();
    wire::UID_var receiver = provider_->createReceiver(destination_, session_, none());
    receiver_ = receiver.in();
    provider_->start(connection_);
  }

  ~RawClient() override {
    try {
      provider_->closeConnection(connection_);
    } catch (const CORBA::Exception&) {
    }
  }

  void prepare(const Workload& work) override {
    wire::MessageHeader& h = message_.hdr;
    h.JMSMessageID.nullValue(0);
    h.JMSDeliveryMode = 1;
    h.JMSRedelivered = false;
    h.JMSType.nullValue(0);
    h.JMSExpiration = 0;
    h.JMSPriority = 4;
    h.JMSTimestamp = 0;
    h.JMSCorrelationID.nullValue(0);
    h.JMSReplyTo.nullValue(0);
    h.JMSProperties.length(0);
    if (work.body == Body::Text) {
      std::wstring text(work.size, L'a');
      for (size_t i = 0; i < text.size(); ++i) text[i] = wchar_t(L'a' + i % 26);
      wire::TextMessage body;
      body.nullValue(0);
      body.val(CORBA::wstring_dup(text.c_str()));
      message_.msg.text(body);
    } else {
      wire::BytesMessage body;
      body.val.length(static_cast<CORBA::ULong>(work.size));
      for (size_t i = 0; i < work.size; ++i) body.val[i] = static_cast<CORBA::Octet>(i);
      message_.msg.bytes(body);
    }
  }

  void send() override {
    CORBA::WString_var id;
    CORBA::LongLong timestamp = 0;
    provider_->produce(message_, sender_, id.out(), timestamp);
  }

  bool receiveNoWait() override {
    wire::NullJMSMsg_var m = provider_->consumeNoBlock(receiver_);
    return m->_d();
  }

  void receive() override { wire::JMSMsg_var m = provider_->consume(receiver_); }

  bool receiveFor(int64_t ms) override {
    wire::NullJMSMsg_var m = provider_->consumeTimeOut(ms, receiver_);
    return m->_d();
  }

  bool pushed(uint64_t count, int64_t timeoutMs) override {
    wire::UID_var consumer = provider_->createReceiver(destination_, session_, none());
    provider_->setMessageListener(consumer.in());
    const bool ok = messageListener_.servant().pushes.waitFor(count, timeoutMs);
    provider_->closeConsumer(consumer.in());
    return ok;
  }

 private:
  Activated<ConnectionListener> connectionListener_;
  Activated<MessageListener> messageListener_;
  wireServer::Provider_var provider_;
  wire::ConnectionID connection_;
  wire::SessionID session_;
  wire::Destination destination_;
  wire::UID sender_;
  wire::UID receiver_;
  wire::JMSMsg message_;
};

}  // namespace

void initBroker(bool unixTransport, int maxConnectionsPerServer) {
  const std::string connections = std::to_string(maxConnectionsPerServer);
  std::vector<std::pair<const char*, const char*>> options = {
      {"endPoint", "giop:tcp:127.0.0.1:"},
      {"giopMaxMsgSize", "67108864"},
      {"maxGIOPConnectionPerServer", connections.c_str()},
      // Over TCP both ways unless the Unix transport is measured.
      {"clientTransportRule", unixTransport ? "* unix,tcp" : "* tcp"}};
  if (unixTransport) options.push_back({"endPoint", "giop:unix:"});
  std::unique_ptr<const char* [][2]> table(new const char*[options.size() + 1][2]);
  for (size_t i = 0; i < options.size(); ++i) {
    table[i][0] = options[i].first;
    table[i][1] = options[i].second;
  }
  table[options.size()][0] = table[options.size()][1] = nullptr;
  int argc = 0;
  theOrb = CORBA::ORB_init(argc, nullptr, "omniORB4", table.get());
  CORBA::Object_var poa = theOrb->resolve_initial_references("RootPOA");
  thePoa = PortableServer::POA::_narrow(poa.in());
  PortableServer::POAManager_var manager = thePoa->the_POAManager();
  manager->activate();
}

std::unique_ptr<Client> makeRawClient(const std::string& reference, const std::string& queue) {
  return std::make_unique<RawClient>(reference, queue);
}

}  // namespace bench
