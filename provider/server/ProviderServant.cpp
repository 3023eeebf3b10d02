// Connections, sessions, test control and the operations not offered.
#include "server/ProviderServant.h"

#include <iostream>
#include <mutex>

#include "core/Text.h"
#include "server/Addresses.h"
#include "server/ClientCallbacks.h"
#include "server/Render.h"
#include "server/WireErrors.h"

#ifndef QUORIX_VERSION_MAJOR
#define QUORIX_VERSION_MAJOR 0
#define QUORIX_VERSION_MINOR 1
#endif

namespace quorix::provider {

ProviderServant::ProviderServant(Broker& broker, CallLog& log, TestControl& control,
                                 ServantSettings settings)
    : broker_(broker), log_(log), control_(control), settings_(settings) {}

void ProviderServant::logCall(std::string_view operation, const Renderer& render) {
  std::string line(operation);
  line += ' ';
  line += toUtf8(render ? render() : u"");
  line += '\n';
  static std::mutex out;
  std::lock_guard<std::mutex> lock(out);
  std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
  std::cerr.flush();
}

void ProviderServant::notOffered(std::string_view operation) {
  run(operation, nullptr, [] {});
  throw CORBA::NO_IMPLEMENT(0, CORBA::COMPLETED_NO);
}

// ---- connections ---------------------------------------------------------

CORBA::Boolean ProviderServant::ping() {
  return run("ping", nullptr, [] { return CORBA::Boolean(true); });
}

wire::ConnectionID* ProviderServant::createConnection(
    wire::ConnectionMetaData_out providerMetaData, wireClient::ConnectionListener_ptr listener,
    const wire::ConnectionMetaData& client, const wire::StringU& clientID,
    const wire::StringU& username, const wire::StringU& password, const CORBA::WChar* driverName) {
  auto render = [&] {
    return u"clientID=" + render::text(clientID) + u" username=" + render::text(username) +
           u" password=" + render::text(password) + u" driver=" + render::text(driverName) +
           u" listener=" + (CORBA::is_nil(listener) ? u"nil" : u"set") + u" client=" +
           render::metaData(client);
  };
  return run("createConnection", render, [&] {
    if (settings_.callbacksOverTlsOnly && !CORBA::is_nil(listener) && !offersTls(listener))
      fail(ErrorKind::Sec,
           u"this provider calls clients back over TLS only, and the connection's callback "
           u"object offers no TLS endpoint");
    ConnectRequest r;
    r.clientId = textOrEmpty(clientID);
    r.user = textOrEmpty(username);
    r.password = textOrEmpty(password);
    r.driver = fromWire(driverName);
    r.majorVersion = client.JMSMajorVersion;
    r.callbacks = std::make_shared<ListenerCallbacks>(listener, settings_.callbackTimeoutMs);
    wire::ConnectionID_var id = new wire::ConnectionID(idOf(broker_.connect(r)));

    const BrokerConfig& cfg = broker_.config();
    wire::ConnectionMetaData_var meta = new wire::ConnectionMetaData;
    meta->JMSMajorVersion = 1;
    meta->JMSMinorVersion = 0;
    meta->JMSProviderName = toWire(u"quorix-provider");
    meta->JMSProviderMajorVersion = QUORIX_VERSION_MAJOR;
    meta->JMSProviderMinorVersion = QUORIX_VERSION_MINOR;
    meta->supportsPersistent = cfg.supportsPersistent;
    meta->supportsNonPersistent = cfg.supportsNonPersistent;
    meta->supportsTxSessions = cfg.supportsTransactions;
    meta->driverName = toWire(cfg.driver);
    providerMetaData = meta._retn();
    return id._retn();
  });
}

void ProviderServant::setClientID(const wire::StringU& clientID,
                                  const wire::ConnectionID& connection) {
  auto render = [&] {
    return u"clientID=" + render::text(clientID) + u" connection=" + render::id(connection);
  };
  run("setClientID", render,
      [&] { broker_.setClientId(keyOf(connection), textOrEmpty(clientID)); });
}

void ProviderServant::start(const wire::ConnectionID& c) {
  run("start", [&] { return u"connection=" + render::id(c); }, [&] { broker_.start(keyOf(c)); });
}

void ProviderServant::stop(const wire::ConnectionID& c) {
  run("stop", [&] { return u"connection=" + render::id(c); }, [&] { broker_.stop(keyOf(c)); });
}

void ProviderServant::closeConnection(const wire::ConnectionID& c) {
  run("closeConnection", [&] { return u"connection=" + render::id(c); },
      [&] { broker_.closeConnection(keyOf(c)); });
}

// ---- sessions ------------------------------------------------------------

wire::SessionID* ProviderServant::createSession(const wire::ConnectionID& connection,
                                                wireClient::MessageListener_ptr listener,
                                                CORBA::Long ackMode, CORBA::Boolean transacted,
                                                CORBA::Long timeout, CORBA::Boolean sessionFlag,
                                                CORBA::Long priority) {
  auto render = [&] {
    return u"connection=" + render::id(connection) + u" listener=" +
           (CORBA::is_nil(listener) ? u"nil" : u"set") + u" ackMode=" + render::number(ackMode) +
           u" transacted=" + render::flag(transacted) + u" timeout=" + render::number(timeout) +
           u" flag=" + render::flag(sessionFlag) + u" priority=" + render::number(priority);
  };
  return run("createSession", render, [&] {
    auto sink = std::make_shared<ListenerSink>(listener, settings_.callbackTimeoutMs);
    SessionKey key = broker_.createSession(keyOf(connection), ackMode, transacted, sink);
    return new wire::SessionID(idOf(key));
  });
}

void ProviderServant::commit(const wire::SessionID& s) {
  run("commit", [&] { return u"session=" + render::id(s); }, [&] { broker_.commit(keyOf(s)); });
}

void ProviderServant::rollback(const wire::SessionID& s) {
  run("rollback", [&] { return u"session=" + render::id(s); },
      [&] { broker_.rollback(keyOf(s)); });
}

void ProviderServant::closeSession(const wire::SessionID& s) {
  run("closeSession", [&] { return u"session=" + render::id(s); },
      [&] { broker_.closeSession(keyOf(s)); });
}

CORBA::Long ProviderServant::getReceiverVersion() {
  return run("getReceiverVersion", nullptr,
             [] { return CORBA::Long(QUORIX_VERSION_MAJOR * 100 + QUORIX_VERSION_MINOR); });
}

// ---- test control --------------------------------------------------------

CORBA::WChar* ProviderServant::admin(const CORBA::WChar* command, const CORBA::WChar* argument,
                                     const wire::StringU& username, const wire::StringU& password) {
  auto render = [&] {
    return u"command=" + render::text(command) + u" argument=" + render::text(argument) +
           u" username=" + render::text(username) + u" password=" + render::text(password);
  };
  return run("admin", render, [&] {
    if (!settings_.testControl)
      fail(ErrorKind::Sec, u"administration is not enabled on this server (--test-control)");
    return toWire(control_.execute(fromWire(command), fromWire(argument)));
  });
}

// ---- not offered ---------------------------------------------------------

CORBA::Boolean ProviderServant::createAdminEntry(const wireNotify::StringNullU&,
                                                 const wireNotify::StringNullU&,
                                                 const CORBA::WChar*,
                                                 const wireNotify::Attributes&) {
  notOffered("createAdminEntry");
}
CORBA::Boolean ProviderServant::removeAdminEntry(const wireNotify::StringNullU&,
                                                 const wireNotify::StringNullU&,
                                                 const CORBA::WChar*) {
  notOffered("removeAdminEntry");
}
CORBA::Boolean ProviderServant::updateAdminEntry(const wireNotify::StringNullU&,
                                                 const wireNotify::StringNullU&,
                                                 const CORBA::WChar*,
                                                 const wireNotify::Attributes&) {
  notOffered("updateAdminEntry");
}
void ProviderServant::startPropJob(const wireServer::PropID&, CORBA::Boolean, const CORBA::WChar*,
                                   const CORBA::WChar*, const CORBA::WChar*, CORBA::Boolean,
                                   const CORBA::WChar*, const CORBA::WChar*, CORBA::Boolean,
                                   CORBA::Long) {
  notOffered("startPropJob");
}
void ProviderServant::stopPropJob(const wireServer::PropID&, CORBA::Boolean) {
  notOffered("stopPropJob");
}
void ProviderServant::recvPropReq(const wireServer::PropRequests&) { notOffered("recvPropReq"); }
wireServer::RecvLog ProviderServant::getRecvLogRec(const wireServer::PropID&) {
  notOffered("getRecvLogRec");
}
void ProviderServant::skipCurrentReq(const wireServer::PropID&) { notOffered("skipCurrentReq"); }
void ProviderServant::ackPropReq(const wireServer::PropAcks&) { notOffered("ackPropReq"); }
void ProviderServant::notifyPropErr(const wireServer::PropID&) { notOffered("notifyPropErr"); }
void ProviderServant::flowControlReq(const wireServer::PropID&, CORBA::Long, CORBA::Long) {
  notOffered("flowControlReq");
}
wireServer::PropRequest* ProviderServant::reqResend(const wireServer::PropID&, CORBA::LongLong) {
  notOffered("reqResend");
}

}  // namespace quorix::provider
