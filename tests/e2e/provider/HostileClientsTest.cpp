// Hostile clients: several clients at once call the provider through the
// stubs with random sequences of operations and random, malformed, closed and
// foreign arguments. The server must keep answering, refuse what is invalid
// with a contract exception, and account for every queue message exactly:
// each one sent is received, still waiting, expired or rolled back, once.
// More cases: RC_PARAMS="max_success=1000 max_size=150".
#include <gtest/gtest.h>
#include <rapidcheck.h>

#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <thread>
#include <type_traits>
#include <vector>

#include "HostileLedger.h"
#include "WireClient.h"

namespace qjms::test {
namespace {

using namespace wireclient;

constexpr int kClients = 3;

std::string messageId(const wire::JMSMsg& m) {
  return m.hdr.JMSMessageID._d() ? narrow(m.hdr.JMSMessageID.val()) : "";
}

// A session's listener: accepts pushes to sessions without transactions,
// refuses the others, which closes their session at the server (the message
// comes back, unless the client's own commit of the session took it meanwhile).
class Listener : public POA_zorvane::velt::quorix::corba::jmsClient::MessageListener {
 public:
  using Interface = wclient::MessageListener;
  Ledger* ledger = nullptr;
  std::atomic<bool> transacted{false};
  std::atomic<CORBA::Long> session{0};
  void onMessage(const wire::JMSMsg& m, const wire::UID&) override {
    if (transacted) {
      ledger->refused(messageId(m), session);
      CORBA::WString_var reason = wideDup("refused");
      throw wire::SessionIDException(reason.in(), 0);
    }
    ledger->delivered(messageId(m), m.hdr.JMSRedelivered, true);
  }
};

enum class Op {
  Ping, SetClientId, CreateConnection, CreateSession, CreateSubscriber, CreateDurable, Unsubscribe,
  CreatePublisher, CreateReceiver, CreateBrowser, CreateSender, Commit, Rollback, Admin, Start,
  Stop, CloseConnection, CloseSession, SetListener, UnsetListener, CloseProducer, Produce,
  ProduceTo, CloseConsumer, Consume, ConsumeById, ConsumeTimeOut, ConsumeNoBlock, Version, Count
};
// In the order of Op: the name, and how often steps pick it, weighted so that
// messages flow: clients connect, open sessions and endpoints, and send and
// receive more often than they do anything else.
const struct {
  const char* name;
  int weight;
} kOps[] = {{"ping", 1}, {"setClientID", 1}, {"createConnection", 3}, {"createSession", 3},
            {"createSubscriber", 1}, {"createDurableSubscriber", 1}, {"unsubscribe", 1},
            {"createPublisher", 1}, {"createReceiver", 3}, {"createBrowser", 1}, {"createSender", 3},
            {"commit", 2}, {"rollback", 1}, {"admin", 1}, {"start", 1}, {"stop", 1},
            {"closeConnection", 1}, {"closeSession", 1}, {"setMessageListener", 2},
            {"unsetMessageListener", 1}, {"closeProducer", 1}, {"produce", 8}, {"produceTo", 3},
            {"closeConsumer", 1}, {"consume", 1}, {"consumeById", 2}, {"consumeTimeOut", 3},
            {"consumeNoBlock", 3}, {"getReceiverVersion", 1}};
static_assert(std::size(kOps) == size_t(Op::Count));
const char* name(Op op) { return kOps[int(op)].name; }

// How an identifier is passed: as it is, with odd credentials in it, with
// numbers the server never gave, one already closed, or under another connection.
enum class Mangle { AsIs, OddCredentials, Unknown, Closed, Foreign };

struct Step {
  Op op = Op::Ping;
  Mangle mangle = Mangle::AsIs;
  int pick = 0;    // which object, text or destination
  int number = 0;  // priority, mode, time-out, ...
  bool flag = false;
};

// How RapidCheck shows a step of a failing case.
void showValue(const Step& s, std::ostream& os) {
  const char* const mangles[] = {"", " odd-credentials", " unknown", " closed", " foreign"};
  os << name(s.op) << mangles[int(s.mangle)] << " pick=" << s.pick << " number=" << s.number
     << (s.flag ? " flag" : "");
}

struct Session {
  wire::SessionID id;
  bool transacted = false;
  size_t connection = 0;
  bool open = true;
  std::vector<std::string> sends, receives;  // uncommitted
};
struct Endpoint {
  wire::UID id;
  size_t session = 0;
  bool receiver = false;       // a queue receiver: what it takes is accounted
  bool producer = false;
  std::optional<std::string> queue;  // where a producer's sends go, if to a queue
};

// One client's objects; every call goes through `call`, which checks the outcome.
class Client {
 public:
  Client(wserver::Provider_ptr p, Ledger& ledger, int caseNo, int client)
      : p_(wserver::Provider::_duplicate(p)), ledger_(ledger),
        queues_("hq" + std::to_string(caseNo) + "."), prefix_(queues_ + std::to_string(client)) {}
  ~Client() {
    for (size_t c = 0; c < connections_.size(); ++c)
      if (connections_[c].open && call(Op::CloseConnection, false, [&] { p_->closeConnection(connections_[c].id); }))
        forgetConnection(c);
  }

  void run(const std::vector<Step>& steps) {
    // Each client starts with a connection, a plain and a transacted session,
    // and a sender and a receiver on each, so that the random steps find
    // messages to work on.
    const Step start[] = {{Op::CreateConnection, Mangle::AsIs, 0, 1, true},
                          {Op::CreateSession, Mangle::AsIs, 0, 1, false},
                          {Op::CreateSession, Mangle::AsIs, 0, 1, true},
                          {Op::CreateSender, Mangle::AsIs, 0, 1, false},
                          {Op::CreateSender, Mangle::AsIs, 1, 1, false},
                          {Op::CreateReceiver, Mangle::AsIs, 0, 1, false},
                          {Op::CreateReceiver, Mangle::AsIs, 1, 1, false}};
    try {
      for (const Step& s : start) step(s);
      for (const Step& s : steps) step(s);
    } catch (const CORBA::Exception& e) {
      ledger_.fault(std::string("the client's own call raised ") + e._name());
    }
  }

 private:
  struct Conn {
    wire::ConnectionID id;
    bool open = true;
  };

  // Queues of this case only: a push that settles after the case ended
  // returns its message where no later case looks.
  std::string queueName(int pick) const { return queues_ + std::to_string(pick % 3); }

  // Text of every kind a field may get.
  std::optional<std::string> anyText(int pick) const {
    switch (pick % 9) {
      case 0: return std::nullopt;
      case 1: return std::string();
      case 2: return std::string(100000, 'h');
      case 3: return std::string("\xed\xa0\x80 lone surrogate");
      case 4: return std::string("n > 3");
      case 5: return std::string("((n");
      case 6: return std::string(300, '(') + "1" + std::string(300, ')');
      case 7: return std::string("n LIKE '%a_%' ESCAPE 'xx'");
      default: return prefix_ + ".name" + std::to_string(pick % 4);
    }
  }
  std::string anyName(int pick) const {
    return pick % 7 == 6 ? queues_ + anyText(pick / 7).value_or("") : queueName(pick);
  }

  // Mostly well-formed, with a property `n` for selectors; one in four is
  // malformed somewhere (body kind, priority, mode, expiry, property).
  wire::JMSMsg anyMessage(const Step& s) const {
    wire::JMSMsg m = textMessage("body", 4, 1);
    const int n = s.number;
    m.hdr.JMSProperties.length(2);
    m.hdr.JMSProperties[0].name = wideDup("n");
    m.hdr.JMSProperties[0].val.propInt(n % 10);
    m.hdr.JMSProperties[1].name = wideDup("p");
    m.hdr.JMSProperties[1].val.propString(wideDup(s.flag ? std::string(5000, 'p') : "p"));
    const int64_t expirations[] = {0, 0, 0, 1, -5, INT64_MAX, 4102444800000LL};
    m.hdr.JMSExpiration = expirations[(n >> 16) % 7];
    m.hdr.JMSPriority = (n >> 8) % 10;
    if (n % 4 != 0) return m;
    switch ((n >> 4) % 8) {
      case 0: m.msg.header(n); break;
      case 1: m.msg.error(n); m.msg._d(99); break;
      case 2: { wire::TextMessage t; t.nullValue(0); m.msg.text(t); break; }
      case 3: { wire::TextMessage t; t.val(wideDup(std::string(200000, 'b'))); m.msg.text(t); break; }
      case 4: { const int bad[] = {-1, 10, 1000}; m.hdr.JMSPriority = bad[(n >> 8) % 3]; break; }
      case 5: m.hdr.JMSDeliveryMode = (n >> 12) % 2 ? 0 : 99; break;
      case 6: m.hdr.JMSProperties[1].name = wideDup(anyText(s.pick).value_or("x")); break;
      default: m.hdr.JMSProperties[1].val.error(7); break;
    }
    return m;
  }

  // The identifier as the step passes it; `valid` tells whether the server must accept it.
  template <class Id>
  Id mangled(Id id, const Step& s, bool& mustFail) {
    mustFail = false;
    wire::ConnectionID* cid = connectionIdOf(id);
    switch (s.mangle) {
      case Mangle::OddCredentials:
        cid->username = text(anyText(s.pick));
        cid->password = text(std::string(70000, 'w'));
        break;
      case Mangle::Unknown:
        cid->cid = s.flag ? -1 - (s.number & 0xffff) : 1000000 + (s.number & 0xffff);
        mustFail = true;
        break;
      case Mangle::Closed:
        if (closedConnection_) {
          *cid = *closedConnection_;
          mustFail = true;
        }
        break;
      case Mangle::Foreign:  // a session or endpoint under a connection it is not of
        if constexpr (std::is_same_v<Id, wire::ConnectionID>) break;
        for (const Conn& c : connections_)
          if (c.open && c.id.cid != cid->cid) {
            *cid = c.id;
            mustFail = true;
            break;
          }
        break;
      default: break;
    }
    return id;
  }
  static wire::ConnectionID* connectionIdOf(wire::ConnectionID& c) { return &c; }
  static wire::ConnectionID* connectionIdOf(wire::SessionID& s) { return &s.cid; }
  static wire::ConnectionID* connectionIdOf(wire::UID& u) { return &u.sid.cid; }

  // Runs one call; false if it raised. Only contract exceptions, the stub's
  // own checks of malformed values and operations the server does not offer
  // are answers: anything else means the server failed.
  template <class F>
  bool call(const char* what, bool mustFail, F&& f) {
    try {
      f();
    } catch (const CORBA::UserException&) {
      return false;
    } catch (const CORBA::Exception& e) {
      const std::string n = e._name();
      if (n != "BAD_PARAM" && n != "MARSHAL" && n != "DATA_CONVERSION" && n != "NO_IMPLEMENT")
        ledger_.fault(std::string(what) + " raised " + n);
      return false;
    }
    if (mustFail) ledger_.fault(std::string(what) + " accepted an invalid identifier");
    return !mustFail;
  }
  template <class F>
  bool call(Op op, bool mustFail, F&& f) { return call(name(op), mustFail, std::forward<F>(f)); }

  void step(const Step& s);
  void deliver(const wire::NullJMSMsg& m, size_t endpoint);
  void forgetSession(size_t i);
  void forgetConnection(size_t c);

  wserver::Provider_var p_;
  Ledger& ledger_;
  std::string queues_, prefix_;
  std::vector<Conn> connections_;
  std::vector<Session> sessions_;
  std::vector<Endpoint> endpoints_;
  std::vector<std::string> knownIds_;
  std::optional<wire::ConnectionID> closedConnection_;
  std::vector<std::unique_ptr<Active<Listener>>> listeners_;
  Active<ConnectionListener> connectionListener_;
};

void Client::deliver(const wire::NullJMSMsg& m, size_t endpoint) {
  if (!m._d()) return;
  const Endpoint& e = endpoints_[endpoint];
  if (!e.receiver) return;
  const std::string id = messageId(m.val());
  ledger_.delivered(id, m.val().hdr.JMSRedelivered, false);
  Session& s = sessions_[e.session];
  if (s.transacted) s.receives.push_back(id);
  else ledger_.consumed({id});
}

// The session is gone at the server: what it had not committed is undone.
void Client::forgetSession(size_t i) {
  Session& s = sessions_[i];
  s.open = false;
  ledger_.discarded(s.sends);
  s.sends.clear();
  s.receives.clear();
}

void Client::forgetConnection(size_t c) {
  connections_[c].open = false;
  closedConnection_ = connections_[c].id;
  for (size_t i = 0; i < sessions_.size(); ++i)
    if (sessions_[i].connection == c) forgetSession(i);
}

void Client::step(const Step& s) {
  bool mustFail = false;
  const int pick = s.pick;
  // The open objects a step works on: picked among all, closed ones included.
  Conn* conn = connections_.empty() ? nullptr : &connections_[size_t(pick) % connections_.size()];
  const size_t si = sessions_.empty() ? 0 : size_t(pick) % sessions_.size();
  // Sends go mostly to producers and receives to consumers, so messages flow.
  size_t ei = endpoints_.empty() ? 0 : size_t(pick) % endpoints_.size();
  const bool sending = s.op == Op::Produce || s.op == Op::ProduceTo;
  const bool taking = s.op == Op::ConsumeNoBlock || s.op == Op::ConsumeTimeOut || s.op == Op::ConsumeById;
  if ((sending || taking) && !s.flag) {
    std::vector<size_t> fit;
    for (size_t i = 0; i < endpoints_.size(); ++i)
      if (sending ? endpoints_[i].producer : endpoints_[i].receiver) fit.push_back(i);
    if (!fit.empty()) ei = fit[size_t(pick) % fit.size()];
  }
  auto sessionArg = [&] { return mangled(sessions_[si].id, s, mustFail); };
  auto endpointArg = [&] { return mangled(endpoints_[ei].id, s, mustFail); };
  auto sessionOpen = [&] { return sessions_[si].open; };
  auto endpointOpen = [&] { return sessions_[endpoints_[ei].session].open; };
  auto noteSend = [&](const std::string& queue, const std::string& id, const wire::JMSMsg& m,
                      uint64_t began) {
    knownIds_.push_back(id);
    ledger_.sendBegan(id, began);
    ledger_.usedQueue(queue);
    if (m.hdr.JMSExpiration != 0) ledger_.mayExpire(id);
    Session& owner = sessions_[endpoints_[ei].session];
    if (owner.transacted) owner.sends.push_back(id);
    else ledger_.sent({id});
  };

  switch (s.op) {
    case Op::Ping: call(s.op, false, [&] { p_->ping(); }); break;
    case Op::Version: call(s.op, false, [&] { p_->getReceiverVersion(); }); break;
    case Op::CreateConnection: {
      if (connections_.size() >= 4) break;
      wire::ConnectionMetaData client, server;
      client.JMSMajorVersion = s.number % 5 == 0 ? 2 : 1;
      client.JMSMinorVersion = client.JMSProviderMajorVersion = client.JMSProviderMinorVersion = 0;
      client.JMSProviderName = wideDup(anyText(pick).value_or(""));
      client.supportsPersistent = client.supportsNonPersistent = client.supportsTxSessions = s.flag;
      client.driverName = wideDup("");
      const bool odd = s.mangle == Mangle::OddCredentials;
      wire::ConnectionID_var id;
      CORBA::WString_var driver = wideDup(odd ? anyText(pick).value_or("") : "vol");
      wire::ConnectionMetaData_var meta;
      wclient::ConnectionListener_var listener =
          s.mangle == Mangle::Unknown ? wclient::ConnectionListener::_nil()
                                      : wclient::ConnectionListener::_duplicate(connectionListener_.ref());
      if (call(s.op, false, [&] {
            id = p_->createConnection(meta.out(), listener.in(), client, text(odd ? anyText(pick) : std::nullopt),
                                      text(odd ? anyText(pick + 1) : std::nullopt), text(std::nullopt), driver.in());
          })) {
        connections_.push_back({id.in(), true});
        if (s.flag) call(Op::Start, false, [&] { p_->start(id.in()); });
      }
      break;
    }
    case Op::SetClientId: case Op::Start: case Op::Stop: case Op::CloseConnection: {
      if (!conn) break;
      auto id = mangled(conn->id, s, mustFail);
      const bool bad = mustFail || !conn->open;
      if (s.op == Op::SetClientId) call(s.op, bad, [&] { p_->setClientID(text(anyText(pick)), id); });
      else if (s.op == Op::Start) call(s.op, bad, [&] { p_->start(id); });
      else if (s.op == Op::Stop) call(s.op, bad, [&] { p_->stop(id); });
      else if (call(s.op, bad, [&] { p_->closeConnection(id); }) && !bad)
        forgetConnection(size_t(conn - connections_.data()));
      break;
    }
    case Op::CreateSession: {
      if (!conn || sessions_.size() >= 12) break;
      auto id = mangled(conn->id, s, mustFail);
      const bool bad = mustFail || !conn->open;
      Active<Listener>* listener = nullptr;
      if (s.number % 4 != 0) {
        listener = listeners_.emplace_back(std::make_unique<Active<Listener>>()).get();
        (*listener)->ledger = &ledger_;
        (*listener)->transacted = s.flag;
      }
      const int ackModes[] = {1, 2, 3, 4, 1, 2, 0, -7};
      wire::SessionID_var sid;
      if (call(s.op, bad, [&] {
            sid = p_->createSession(id, listener ? listener->ref() : wclient::MessageListener::_nil(),
                                    ackModes[(s.number >> 2) % 8], s.flag, s.number, s.flag, s.number >> 3);
          }) && !bad) {
        if (listener) (*listener)->session = sid->sid;
        sessions_.push_back({sid.in(), s.flag, size_t(conn - connections_.data()), true, {}, {}});
      }
      break;
    }
    case Op::Commit: case Op::Rollback: case Op::CloseSession: case Op::Unsubscribe: {
      if (sessions_.empty()) break;
      auto id = sessionArg();
      const bool bad = mustFail || !sessionOpen();
      Session& ss = sessions_[si];
      CORBA::WString_var subscription = wideDup(anyText(pick >> 2).value_or(""));
      if (s.op == Op::Unsubscribe) {
        call(s.op, bad, [&] { p_->unsubscribe(subscription.in(), id); });
      } else if (s.op == Op::CloseSession) {
        if (call(s.op, bad, [&] { p_->closeSession(id); }) && !bad) forgetSession(si);
      } else if (call(s.op, bad, [&] { s.op == Op::Commit ? p_->commit(id) : p_->rollback(id); }) && !bad) {
        if (s.op == Op::Commit) {
          ledger_.committed(ss.id.sid, ledger_.tick());
          ledger_.sent(ss.sends);
          ledger_.consumed(ss.receives);
        } else {
          ledger_.discarded(ss.sends);
        }
        ss.sends.clear();
        ss.receives.clear();
      }
      break;
    }
    case Op::CreateReceiver: case Op::CreateBrowser: case Op::CreateSubscriber:
    case Op::CreateDurable: case Op::CreateSender: case Op::CreatePublisher: {
      if (sessions_.empty() || endpoints_.size() >= 24) break;
      auto id = sessionArg();
      const bool bad = mustFail || !sessionOpen();
      const bool producer = s.op == Op::CreateSender || s.op == Op::CreatePublisher;
      const bool topic = s.op == Op::CreateSubscriber || s.op == Op::CreateDurable || s.op == Op::CreatePublisher;
      // A destination of the wrong kind is refused or used as it says.
      const bool asTopic = s.number % 5 == 0 ? !topic : topic;
      const std::string queue = anyName(pick);
      wire::Destination d = destination(queue, asTopic);
      wire::DestinationU du;
      if (s.flag) du.nullValue(0);
      else du.val(d);
      wire::StringU selector = text(s.number % 3 == 0 ? anyText(pick >> 3) : std::nullopt);
      CORBA::WString_var subscription = wideDup(anyText(pick >> 2).value_or(""));
      wire::UID_var uid;
      if (!call(s.op, bad, [&] {
            switch (s.op) {
              case Op::CreateReceiver: uid = p_->createReceiver(d, id, selector); break;
              case Op::CreateBrowser: uid = p_->createBrowser(d, id, selector); break;
              case Op::CreateSubscriber: uid = p_->createSubscriber(d, id, selector); break;
              case Op::CreateDurable: uid = p_->createDurableSubscriber(d, subscription.in(), id, selector); break;
              case Op::CreateSender: uid = p_->createSender(du, id); break;
              default: uid = p_->createPublisher(du, id);
            }
          }))
        break;
      // Only what a queue consumer takes is accounted.
      const bool takesFromQueue = !producer && s.op != Op::CreateBrowser && !asTopic;
      std::optional<std::string> sendsTo;
      if (producer && !s.flag && !asTopic) sendsTo = queue;
      endpoints_.push_back({uid.in(), si, takesFromQueue, producer, sendsTo});
      break;
    }
    case Op::SetListener: case Op::UnsetListener: case Op::CloseProducer: case Op::CloseConsumer: {
      if (endpoints_.empty()) break;
      auto id = endpointArg();
      const bool bad = mustFail || !endpointOpen();
      if (s.op == Op::SetListener) call(s.op, bad, [&] { p_->setMessageListener(id); });
      else if (s.op == Op::UnsetListener) call(s.op, bad, [&] { p_->unsetMessageListener(id); });
      else if (s.op == Op::CloseProducer) call(s.op, mustFail, [&] { p_->closeProducer(id); });
      else call(s.op, mustFail, [&] { p_->closeConsumer(id); });
      break;
    }
    case Op::Produce: case Op::ProduceTo: {
      if (endpoints_.empty()) break;
      auto id = endpointArg();
      const bool bad = mustFail || !endpointOpen();
      wire::JMSMsg m = anyMessage(s);
      CORBA::WString_var mid;
      CORBA::LongLong ts = 0;
      const uint64_t began = ledger_.tick();
      const bool asTopic = s.number % 4 == 0;
      const std::string queue = anyName(pick >> 1);
      if (s.op == Op::Produce) {
        if (call(s.op, bad, [&] { p_->produce(m, id, mid.out(), ts); }) && !bad && endpoints_[ei].queue)
          noteSend(*endpoints_[ei].queue, narrow(mid.in()), m, began);
      } else if (call(s.op, bad, [&] { p_->produceTo(destination(queue, asTopic), m, id, mid.out(), ts); }) &&
                 !bad && !asTopic) {
        noteSend(queue, narrow(mid.in()), m, began);
      }
      break;
    }
    case Op::Consume: case Op::ConsumeById: case Op::ConsumeTimeOut: case Op::ConsumeNoBlock: {
      if (endpoints_.empty()) break;
      auto id = endpointArg();
      const bool bad = mustFail || !endpointOpen();
      // consume, and consumeTimeOut(0), wait without limit: only where the server must refuse at once.
      const CORBA::LongLong timeouts[] = {bad ? 0 : 1, 1, 20, -1, INT64_MIN};
      std::string want = knownIds_.empty() || s.flag ? anyText(pick).value_or("")
                                                    : knownIds_[size_t(s.number) % knownIds_.size()];
      CORBA::WString_var w = wideDup(want);
      wire::NullJMSMsg_var m;
      if (s.op == Op::Consume) {
        if (bad) call(s.op, true, [&] { wire::JMSMsg_var got = p_->consume(id); });
      } else if (call(s.op, bad, [&] {
                   m = s.op == Op::ConsumeById      ? p_->consumeById(id, w.in())
                       : s.op == Op::ConsumeTimeOut ? p_->consumeTimeOut(timeouts[s.number % 5], id)
                                                    : p_->consumeNoBlock(id);
                 }) && !bad) {
        deliver(m.in(), ei);
      }
      break;
    }
    case Op::Admin: {
      const char* commands[] = {"stats", "calls", "last", "connections", "event", "bogus", "", "reset"};
      CORBA::WString_var command = wideDup(commands[s.number % 8]);
      CORBA::WString_var argument = wideDup(
          s.number % 8 == 4 ? "100 " + std::to_string(conn ? conn->id.cid : 1) : anyText(pick).value_or(""));
      call(s.op, false, [&] {
        CORBA::WString_var answer = p_->admin(command.in(), argument.in(), text(anyText(pick + 1)), text(std::nullopt));
      });
      break;
    }
    case Op::Count: break;
  }
}

// Takes every message left in the case's queues and the dead-letter queue,
// and what is wrong with the ledger then. A push under way when its
// connection closed settles on its own: the look is repeated until nothing
// is missing, or for a generous while.
std::vector<std::string> drainAndCheck(wserver::Provider_ptr p, Ledger& ledger) {
  Connection c(p);
  wire::SessionID_var s = c.session();
  std::map<std::string, wire::UID_var> receivers;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    for (const std::string& q : ledger.queues()) {
      if (!receivers.count(q)) receivers[q] = receiver(p, s.in(), q);
      for (wire::NullJMSMsg_var m; (m = p->consumeNoBlock(receivers[q].in()))->_d();)
        ledger.drained(messageId(m->val()));
    }
    auto faults = ledger.check();
    if (faults.empty() || std::chrono::steady_clock::now() > until) return faults;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Step anyStep(int op, int mangle, int pick, int number, bool flag) {
  return Step{Op(op), Mangle(mangle), pick, number, flag};
}

TEST(HostileClients, ServerAnswersAndAccountsForEveryMessage) {
  // A short run by default; RC_PARAMS asks for more.
  setenv("RC_PARAMS", "max_success=40", 0);
  Server server({"--ping-interval", "0"});
  ProviderControl& control = server.control;
  std::atomic<int> caseNo{0};
  std::vector<int> ops;
  for (int op = 0; op < int(Op::Count); ++op) ops.insert(ops.end(), size_t(kOps[op].weight), op);
  std::vector<int> mangles(8, int(Mangle::AsIs));
  for (int m = int(Mangle::OddCredentials); m <= int(Mangle::Foreign); ++m) mangles.push_back(m);
  const auto stepGen = rc::gen::apply(
      anyStep, rc::gen::elementOf(ops), rc::gen::elementOf(mangles),
      rc::gen::inRange(0, 1 << 12), rc::gen::inRange(0, 1 << 20), rc::gen::arbitrary<bool>());
  const bool ok = rc::check("hostile clients", [&] {
    std::vector<std::vector<Step>> plans;
    for (int i = 0; i < kClients; ++i) plans.push_back(*rc::gen::container<std::vector<Step>>(stepGen));
    Ledger ledger;
    const int n = ++caseNo;
    {
      std::vector<std::unique_ptr<Client>> clients;
      for (int i = 0; i < kClients; ++i)
        clients.push_back(std::make_unique<Client>(control.provider(), ledger, n, i));
      std::vector<std::thread> threads;
      for (int i = 0; i < kClients; ++i)
        threads.emplace_back([&, i] { clients[size_t(i)]->run(plans[size_t(i)]); });
      for (auto& t : threads) t.join();
    }  // every connection closed
    RC_ASSERT(control.stats().find("connections=0 sessions=0 consumers=0 producers=0") == 0);
    const auto faults = drainAndCheck(control.provider(), ledger);
    for (const auto& f : faults) std::cerr << "case " << n << ": " << f << "\n";
    RC_ASSERT(faults.empty());
  });
  EXPECT_TRUE(ok);
  EXPECT_TRUE(server.process.running());
  EXPECT_EQ(server.process.stop(), 0) << server.process.log();  // leaks make a sanitized server fail here
}

}  // namespace
}  // namespace qjms::test
