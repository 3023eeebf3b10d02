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

wire::JMSMsg textMessage(const std::string& body, int priority, int mode) {
  wire::JMSMsg m;
  wire::TextMessage t;
  t.val(wideDup(body));
  m.msg.text(t);
  wire::MessageHeader& h = m.hdr;
  h.JMSMessageID = h.JMSType = h.JMSCorrelationID = text(std::nullopt);
  h.JMSDeliveryMode = mode;
  h.JMSRedelivered = false;
  h.JMSExpiration = h.JMSTimestamp = 0;
  h.JMSPriority = priority;
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

std::string raised(const std::function<void()>& call) {
  try {
    call();
    return "";
  } catch (const CORBA::Exception& e) {
    return e._name();
  }
}

wire::UID_var sender(wserver::Provider_ptr p, const wire::SessionID& s, const std::string& queue) {
  return p->createSender(optionalDestination(queue, false), s);
}

wire::UID_var receiver(wserver::Provider_ptr p, const wire::SessionID& s, const std::string& queue,
                       const std::optional<std::string>& selector) {
  return p->createReceiver(destination(queue, false), s, text(selector));
}

std::string send(wserver::Provider_ptr p, const wire::UID& producer, const wire::JMSMsg& m) {
  CORBA::WString_var id;
  CORBA::LongLong ts = 0;
  p->produce(m, producer, id.out(), ts);
  return narrow(id.in());
}

std::optional<std::string> take(wserver::Provider_ptr p, const wire::UID& consumer) {
  wire::NullJMSMsg_var m = p->consumeNoBlock(consumer);
  return bodyOf(m.in());
}

std::string drain(wserver::Provider_ptr p, const wire::UID& consumer, long long firstWithinMs) {
  std::string out;
  for (wire::NullJMSMsg_var m;
       (m = firstWithinMs ? p->consumeTimeOut(firstWithinMs, consumer) : p->consumeNoBlock(consumer))->_d();
       firstWithinMs = 0)
    out += (out.empty() ? "" : " ") + bodyOf(m->val()) + (m->val().hdr.JMSRedelivered ? "*" : "");
  return out;
}

std::vector<std::string> Recorder::waitFor(size_t n) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, std::chrono::seconds(20), [&] { return lines_.size() >= n; });
  return lines_;
}

void Recorder::record(std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back(std::move(line));
  cv_.notify_all();
}

void ConnectionListener::serverException(CORBA::Long code, const CORBA::WChar*, CORBA::Long,
                                         CORBA::Long, const wire::IDU& concerned) {
  switch (concerned._d()) {
    case 1: record(std::to_string(code) + " connection " + std::to_string(concerned.cid().cid)); break;
    case 2: record(std::to_string(code) + " session " + std::to_string(concerned.sid().sid)); break;
    default: record(std::to_string(code) + " consumer " + std::to_string(concerned.uid().uid));
  }
}

CORBA::Boolean ConnectionListener::ping(const wire::ConnectionID&, wire::Sessions_out sessions,
                                        wire::Users_out users) {
  sessions = new wire::Sessions;
  users = new wire::Users;
  ++pings;
  duringPing();
  return alive;
}

void MessageListener::onMessage(const wire::JMSMsg& message, const wire::UID& consumer) {
  // Decided before the push is recorded: a test that has seen the record may
  // set up the next refusal without it applying to this push.
  bool refused = false;
  for (int left = refuse; left > 0 && !refused;)
    refused = refuse.compare_exchange_weak(left, left - 1);
  struct Running {
    explicit Running(MessageListener& l) : l_(l) {
      int n = ++l_.running;
      for (int most = l_.mostRunning; n > most && !l_.mostRunning.compare_exchange_weak(most, n);) {}
    }
    ~Running() { --l_.running; }
    MessageListener& l_;
  } running(*this);
  record(bodyOf(message) + (message.hdr.JMSRedelivered ? "*" : "") + "@" +
         std::to_string(consumer.uid));
  if (refused) {
    CORBA::WString_var reason = wideDup(" the session is closed ");
    throw wire::SessionIDException(reason.in(), 0);
  }
  work(message, consumer);
}

Connection::Connection(wserver::Provider_ptr provider, const std::optional<std::string>& clientId,
                       bool start, const std::string& driver,
                       const std::optional<std::string>& user,
                       const std::optional<std::string>& password)
    : provider_(wserver::Provider::_duplicate(provider)) {
  wire::ConnectionMetaData client;
  client.JMSMajorVersion = 1;
  client.JMSMinorVersion = client.JMSProviderMajorVersion = client.JMSProviderMinorVersion = 0;
  client.JMSProviderName = wideDup("wire-client");
  client.supportsPersistent = client.supportsNonPersistent = client.supportsTxSessions = false;
  client.driverName = wideDup("");
  CORBA::WString_var d = wideDup(driver);
  id_ = provider_->createConnection(meta_.out(), listener.ref(), client, text(clientId),
                                    text(user), text(password), d.in());
  if (start) provider_->start(id_.in());
}

Connection::~Connection() {
  try {
    close();
  } catch (const CORBA::Exception&) {  // the server is gone or closed it
  }
}

void Connection::close() {
  if (!open_) return;
  open_ = false;
  provider_->closeConnection(id_.in());
}

wire::SessionID_var Connection::session(bool transacted) {
  return provider_->createSession(id_.in(), sessionListener.ref(), transacted ? 1 : 4, transacted,
                                  0, false, 4);
}

}  // namespace qjms::test::wireclient
