#include "WireClient.h"

namespace qjms::test::wireclient {

wire::StringU text(const std::optional<std::string>& s) {
  wire::StringU u;
  if (s)
    u.val(wideDup(*s));
  else
    u.nullValue(0);
  return u;
}

wire::ConnectionMetaData clientMetaData(int major) {
  wire::ConnectionMetaData m;
  m.JMSMajorVersion = major;
  m.JMSMinorVersion = 0;
  m.JMSProviderName = wideDup("ZorvaneJMS");
  m.JMSProviderMajorVersion = 5;
  m.JMSProviderMinorVersion = 0;
  m.supportsPersistent = false;
  m.supportsNonPersistent = false;
  m.supportsTxSessions = false;
  m.driverName = wideDup("");
  return m;
}

wire::Destination destination(const std::string& name, bool topic) {
  wire::Destination d;
  d.destname = wideDup(name);
  d.isTopic = topic;
  d.defined.nullValue(0);
  return d;
}

wire::DestinationU optionalDestination(const std::string& name, bool topic) {
  wire::DestinationU u;
  if (name.empty())
    u.nullValue(0);
  else
    u.val(destination(name, topic));
  return u;
}

wire::JMSMsg textMessage(const std::string& body, int priority, int mode, long long expiration) {
  wire::JMSMsg m;
  wire::TextMessage t;
  t.val(wideDup(body));
  m.msg.text(t);
  wire::MessageHeader& h = m.hdr;
  h.JMSMessageID = text(std::nullopt);
  h.JMSDeliveryMode = mode;
  h.JMSRedelivered = false;
  h.JMSType = text(std::nullopt);
  h.JMSExpiration = expiration;
  h.JMSPriority = priority;
  h.JMSTimestamp = 0;
  h.JMSCorrelationID = text(std::nullopt);
  h.JMSReplyTo.nullValue(0);
  return m;
}

std::string bodyOf(const wire::JMSMsg& m) {
  if (m.msg._d() != 1 || !m.msg.text()._d()) return "<not text>";
  return narrow(m.msg.text().val());
}

std::optional<std::string> bodyOf(const wire::NullJMSMsg& m) {
  if (!m._d()) return std::nullopt;
  return bodyOf(m.val());
}

// ---- listeners -----------------------------------------------------------

void ConnectionListener::serverException(CORBA::Long code, const CORBA::WChar*, CORBA::Long,
                                         CORBA::Long, const wire::IDU& concerned) {
  Event e{code, concerned._d(), 0};
  if (e.kind == 1) e.number = concerned.cid().cid;
  if (e.kind == 2) e.number = concerned.sid().sid;
  if (e.kind == 3) e.number = concerned.uid().uid;
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(e);
  cv_.notify_all();
}

CORBA::Boolean ConnectionListener::ping(const wire::ConnectionID&, wire::Sessions_out sessions,
                                        wire::Users_out users) {
  sessions = new wire::Sessions;
  users = new wire::Users;
  std::lock_guard<std::mutex> lock(mutex_);
  ++pings;
  return alive;
}

std::optional<ConnectionListener::Event> ConnectionListener::waitForEvent() {
  if (!waitFor([&] { return !events_.empty(); })) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  return events_.front();
}

void MessageListener::onMessage(const wire::JMSMsg& message, const wire::UID& consumer) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (refuse_ > 0) {
    --refuse_;
    pushes_.push_back({bodyOf(message) + "(refused)", bool(message.hdr.JMSRedelivered),
                       int(consumer.uid)});
    cv_.notify_all();
    CORBA::WString_var reason = wideDup(" the session is closed ");
    throw wire::SessionIDException(reason.in(), 0);
  }
  pushes_.push_back({bodyOf(message), bool(message.hdr.JMSRedelivered), int(consumer.uid)});
  cv_.notify_all();
}

std::vector<MessageListener::Push> MessageListener::waitForPushes(size_t n) {
  waitFor([&] { return pushes_.size() >= n; });
  std::lock_guard<std::mutex> lock(mutex_);
  return pushes_;
}

void MessageListener::refuseNext(int n) {
  std::lock_guard<std::mutex> lock(mutex_);
  refuse_ = n;
}

// ---- connection ----------------------------------------------------------

Connection::Connection(wserver::Provider_ptr provider, const std::optional<std::string>& clientId,
                       bool start)
    : provider_(wserver::Provider::_duplicate(provider)) {
  CORBA::WString_var driver = wideDup("vol");
  wire::ConnectionMetaData_var meta;
  id_ = provider_->createConnection(meta.out(), listener_.ref(), clientMetaData(), text(clientId),
                                    text(std::nullopt), text(std::nullopt), driver.in());
  meta_ = meta._retn();
  if (start) provider_->start(id_.in());
}

Connection::~Connection() {
  try {
    close();
  } catch (const CORBA::Exception&) {
  }
}

void Connection::close() {
  if (!open_) return;
  open_ = false;
  provider_->closeConnection(id_.in());
}

wire::SessionID_var Connection::session(bool transacted, wclient::MessageListener_ptr listener) {
  if (CORBA::is_nil(listener)) listener = sessionListener_.ref();
  return provider_->createSession(id_.in(), listener, transacted ? 1 : 4, transacted, 0, false,
                                  4);
}

}  // namespace qjms::test::wireclient
