#pragma once
// The Provider object: decodes each call, hands it to the broker, and turns
// the broker's failures into the contract's exceptions. Every operation goes
// through run(), which also counts the call, remembers its arguments and
// raises a fault that test control queued for it.
#include <jmsServer.hh>

#include <cstdint>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "control/CallLog.h"
#include "control/TestControl.h"
#include "core/Broker.h"
#include "core/Text.h"
#include "server/Wire.h"
#include "server/WireErrors.h"

namespace quorix::provider {

struct ServantSettings {
  bool testControl = false;
  bool verbose = false;
  uint32_t callbackTimeoutMs = 0;  // limit on each call to a client's listener
  bool callbacksOverTlsOnly = false;  // refuse clients whose listener offers no TLS
};

class ProviderServant : public POA_zorvane::velt::quorix::corba::jmsServer::Provider {
 public:
  ProviderServant(Broker& broker, CallLog& log, TestControl& control, ServantSettings settings);

  // Notify
  CORBA::Boolean createAdminEntry(const wireNotify::StringNullU&, const wireNotify::StringNullU&,
                                  const CORBA::WChar*, const wireNotify::Attributes&) override;
  CORBA::Boolean removeAdminEntry(const wireNotify::StringNullU&, const wireNotify::StringNullU&,
                                  const CORBA::WChar*) override;
  CORBA::Boolean updateAdminEntry(const wireNotify::StringNullU&, const wireNotify::StringNullU&,
                                  const CORBA::WChar*, const wireNotify::Attributes&) override;

  // Connections and sessions
  CORBA::Boolean ping() override;
  void setClientID(const wire::StringU& clientID, const wire::ConnectionID& connection) override;
  wire::ConnectionID* createConnection(wire::ConnectionMetaData_out providerMetaData,
                                       wireClient::ConnectionListener_ptr listener,
                                       const wire::ConnectionMetaData& clientMetaData,
                                       const wire::StringU& clientID, const wire::StringU& username,
                                       const wire::StringU& password,
                                       const CORBA::WChar* driverName) override;
  wire::SessionID* createSession(const wire::ConnectionID& connection,
                                 wireClient::MessageListener_ptr listener, CORBA::Long ackMode,
                                 CORBA::Boolean transacted, CORBA::Long timeout,
                                 CORBA::Boolean sessionFlag, CORBA::Long priority) override;
  void commit(const wire::SessionID& session) override;
  void rollback(const wire::SessionID& session) override;
  CORBA::WChar* admin(const CORBA::WChar* command, const CORBA::WChar* argument,
                      const wire::StringU& username, const wire::StringU& password) override;
  void start(const wire::ConnectionID& connection) override;
  void stop(const wire::ConnectionID& connection) override;
  void closeConnection(const wire::ConnectionID& connection) override;
  void closeSession(const wire::SessionID& session) override;
  CORBA::Long getReceiverVersion() override;

  // Producers and consumers
  wire::UID* createSubscriber(const wire::Destination& topic, const wire::SessionID& session,
                              const wire::StringU& selector) override;
  wire::UID* createDurableSubscriber(const wire::Destination& topic, const CORBA::WChar* name,
                                     const wire::SessionID& session,
                                     const wire::StringU& selector) override;
  void unsubscribe(const CORBA::WChar* name, const wire::SessionID& session) override;
  wire::UID* createPublisher(const wire::DestinationU& topic,
                             const wire::SessionID& session) override;
  wire::UID* createReceiver(const wire::Destination& queue, const wire::SessionID& session,
                            const wire::StringU& selector) override;
  wire::UID* createBrowser(const wire::Destination& queue, const wire::SessionID& session,
                           const wire::StringU& selector) override;
  wire::UID* createSender(const wire::DestinationU& queue, const wire::SessionID& session) override;
  void setMessageListener(const wire::UID& consumer) override;
  void unsetMessageListener(const wire::UID& consumer) override;
  void closeProducer(const wire::UID& producer) override;
  void produce(const wire::JMSMsg& message, const wire::UID& producer,
               CORBA::WString_out messageID, CORBA::LongLong& timestamp) override;
  void produceTo(const wire::Destination& target, const wire::JMSMsg& message,
                 const wire::UID& producer, CORBA::WString_out messageID,
                 CORBA::LongLong& timestamp) override;
  void closeConsumer(const wire::UID& consumer) override;
  wire::JMSMsg* consume(const wire::UID& consumer) override;
  wire::NullJMSMsg* consumeById(const wire::UID& consumer, const CORBA::WChar* messageID) override;
  wire::NullJMSMsg* consumeTimeOut(CORBA::LongLong timeout, const wire::UID& consumer) override;
  wire::NullJMSMsg* consumeNoBlock(const wire::UID& consumer) override;

  // Propagation between providers: not offered.
  void startPropJob(const wireServer::PropID&, CORBA::Boolean, const CORBA::WChar*,
                    const CORBA::WChar*, const CORBA::WChar*, CORBA::Boolean, const CORBA::WChar*,
                    const CORBA::WChar*, CORBA::Boolean, CORBA::Long) override;
  void stopPropJob(const wireServer::PropID&, CORBA::Boolean) override;
  void recvPropReq(const wireServer::PropRequests&) override;
  wireServer::RecvLog getRecvLogRec(const wireServer::PropID&) override;
  void skipCurrentReq(const wireServer::PropID&) override;
  void ackPropReq(const wireServer::PropAcks&) override;
  void notifyPropErr(const wireServer::PropID&) override;
  void flowControlReq(const wireServer::PropID&, CORBA::Long, CORBA::Long) override;
  wireServer::PropRequest* reqResend(const wireServer::PropID&, CORBA::LongLong) override;

 private:
  using Renderer = std::function<std::u16string()>;
  template <class Work>
  auto run(std::string_view operation, const Renderer& render, Work&& work) -> decltype(work());
  [[noreturn]] void notOffered(std::string_view operation);
  // One line per call on standard error, whole even when calls run side by side.
  static void logCall(std::string_view operation, const Renderer& render);

  wire::UID* createConsumer(std::string_view operation, const Renderer& render,
                            const wire::SessionID& session, ConsumerSpec::Kind kind,
                            const wire::Destination& destination, const std::u16string& name,
                            const wire::StringU& selector);
  wire::NullJMSMsg* nullable(std::optional<Delivery> delivery);

  Broker& broker_;
  CallLog& log_;
  TestControl& control_;
  ServantSettings settings_;
};

template <class Work>
auto ProviderServant::run(std::string_view operation, const Renderer& render, Work&& work)
    -> decltype(work()) {
  if (settings_.verbose) logCall(operation, render);
  if (std::optional<Fault> f = log_.enter(operation, render)) {
    if (auto kind = errorKindFromName(f->exception)) raiseWire(*kind, f->code, f->reason);
    raiseSystem(f->exception, static_cast<uint32_t>(f->code));
  }
  try {
    return work();
  } catch (const ProviderError& e) {
    raiseWire(e);
  }
}

}  // namespace quorix::provider
