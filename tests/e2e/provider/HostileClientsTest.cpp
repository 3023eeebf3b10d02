// Hostile clients: several clients at once call the provider through the
// stubs with random sequences of operations and random, malformed, closed and
// foreign arguments. The server must keep answering, refuse what is invalid
// with a contract exception, and account for every queue message exactly:
// each one sent is received, still waiting, expired or rolled back, once.
// More cases: RC_PARAMS="max_success=1000 max_size=150".
#include <gtest/gtest.h>
#include <rapidcheck.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <ostream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "HostileLedger.h"
#include "ProviderProcess.h"
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
  ProduceTo, CloseConsumer, Consume, ConsumeById, ConsumeTimeOut, ConsumeNoBlock, Version,
  Propagation, Notify, Count
};

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

const char* const kOpNames[] = {
    "ping", "setClientID", "createConnection", "createSession", "createSubscriber",
    "createDurableSubscriber", "unsubscribe", "createPublisher", "createReceiver", "createBrowser",
    "createSender", "commit", "rollback", "admin", "start", "stop", "closeConnection",
    "closeSession", "setMessageListener", "unsetMessageListener", "closeProducer", "produce",
    "produceTo", "closeConsumer", "consume", "consumeById", "consumeTimeOut", "consumeNoBlock",
    "getReceiverVersion", "propagation", "notify"};
const char* const kMangleNames[] = {"", " odd-credentials", " unknown", " closed", " foreign"};

// How RapidCheck shows a step of a failing case.
void showValue(const Step& s, std::ostream& os) {
  os << kOpNames[int(s.op)] << kMangleNames[int(s.mangle)] << " pick=" << s.pick
     << " number=" << s.number << (s.flag ? " flag" : "");
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
      if (connections_[c].open && call("closeConnection", false, [&] { p_->closeConnection(connections_[c].id); }))
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

  // Runs one call; false if it raised. Only contract exceptions are answers:
  // anything else means the server failed.
  template <class F>
  bool call(const char* what, bool mustFail, F&& f) {
    try {
      f();
    } catch (const CORBA::UserException&) {
      return false;
    } catch (const CORBA::BAD_PARAM&) {  // the stub's own check of a malformed value
      return false;
    } catch (const CORBA::MARSHAL&) {
      return false;
    } catch (const CORBA::DATA_CONVERSION&) {
      return false;
    } catch (const CORBA::NO_IMPLEMENT&) {  // operations the server does not offer
      return false;
    } catch (const CORBA::Exception& e) {
      ledger_.fault(std::string(what) + " raised " + e._name());
      return false;
    }
    if (mustFail) ledger_.fault(std::string(what) + " accepted an invalid identifier");
    return !mustFail;
  }

  void step(const Step& s);
  void deliver(const wire::NullJMSMsg& m, size_t endpoint);
  void forgetSession(size_t i);
  void forgetConnection(size_t c);

  Conn* pickConnection(int pick) {
    if (connections_.empty()) return nullptr;
    return &connections_[size_t(pick) % connections_.size()];
  }

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
  Conn* conn = pickConnection(pick);
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
  auto addEndpoint = [&](const wire::UID& id, bool receiver, bool producer = false,
                         std::optional<std::string> queue = {}) {
    endpoints_.push_back({id, si, receiver, producer, std::move(queue)});
  };
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
    case Op::Ping: call("ping", false, [&] { p_->ping(); }); break;
    case Op::Version: call("getReceiverVersion", false, [&] { p_->getReceiverVersion(); }); break;
    case Op::CreateConnection: {
      if (connections_.size() >= 4) break;
      wire::ConnectionMetaData client, server;
      client.JMSMajorVersion = s.number % 5 == 0 ? 2 : 1;
      client.JMSMinorVersion = client.JMSProviderMajorVersion = client.JMSProviderMinorVersion = 0;
      client.JMSProviderName = wideDup(anyText(pick).value_or(""));
      client.supportsPersistent = client.supportsNonPersistent = client.supportsTxSessions = s.flag;
      client.driverName = wideDup("");
      const bool nilListener = s.mangle == Mangle::Unknown;
      const bool odd = s.mangle == Mangle::OddCredentials;
      wire::ConnectionID_var id;
      CORBA::WString_var driver = wideDup(odd ? anyText(pick).value_or("") : "vol");
      wire::ConnectionMetaData_var meta;
      wclient::ConnectionListener_var listener =
          nilListener ? wclient::ConnectionListener::_nil()
                      : wclient::ConnectionListener::_duplicate(connectionListener_.ref());
      if (call("createConnection", false, [&] {
            id = p_->createConnection(meta.out(), listener.in(), client,
                                      text(odd ? anyText(pick) : std::nullopt),
                                      text(odd ? anyText(pick + 1) : std::nullopt),
                                      text(std::nullopt), driver.in());
          })) {
        connections_.push_back({id.in(), true});
        if (s.flag) call("start", false, [&] { p_->start(id.in()); });
      }
      break;
    }
    case Op::SetClientId:
      if (conn) {
        auto id = mangled(conn->id, s, mustFail);
        call("setClientID", mustFail || !conn->open, [&] { p_->setClientID(text(anyText(pick)), id); });
      }
      break;
    case Op::Start: case Op::Stop: case Op::CloseConnection:
      if (conn) {
        auto id = mangled(conn->id, s, mustFail);
        const bool bad = mustFail || !conn->open;
        if (s.op == Op::Start) call("start", bad, [&] { p_->start(id); });
        else if (s.op == Op::Stop) call("stop", bad, [&] { p_->stop(id); });
        else if (call("closeConnection", bad, [&] { p_->closeConnection(id); }) && !bad)
          forgetConnection(size_t(conn - connections_.data()));
      }
      break;
    case Op::CreateSession: {
      if (!conn || sessions_.size() >= 12) break;
      auto id = mangled(conn->id, s, mustFail);
      const bool bad = mustFail || !conn->open;
      const bool transacted = s.flag;
      Active<Listener>* listener = nullptr;
      if (s.number % 4 != 0) {
        listeners_.push_back(std::make_unique<Active<Listener>>());
        listener = listeners_.back().get();
        (*listener)->ledger = &ledger_;
        (*listener)->transacted = transacted;
      }
      const int ackModes[] = {1, 2, 3, 4, 1, 2, 0, -7};
      wire::SessionID_var sid;
      if (call("createSession", bad, [&] {
            sid = p_->createSession(id, listener ? listener->ref() : wclient::MessageListener::_nil(),
                                    ackModes[(s.number >> 2) % 8], transacted, s.number, s.flag,
                                    s.number >> 3);
          }) && !bad) {
        if (listener) (*listener)->session = sid->sid;
        sessions_.push_back({sid.in(), transacted, size_t(conn - connections_.data()), true, {}, {}});
      }
      break;
    }
    case Op::Commit: case Op::Rollback: case Op::CloseSession: {
      if (sessions_.empty()) break;
      auto id = sessionArg();
      const bool bad = mustFail || !sessionOpen();
      Session& ss = sessions_[si];
      if (s.op == Op::Commit) {
        if (call("commit", bad, [&] { p_->commit(id); }) && !bad) {
          ledger_.committed(ss.id.sid, ledger_.tick());
          ledger_.sent(ss.sends);
          ledger_.consumed(ss.receives);
          ss.sends.clear();
          ss.receives.clear();
        }
      } else if (s.op == Op::Rollback) {
        if (call("rollback", bad, [&] { p_->rollback(id); }) && !bad) {
          ledger_.discarded(ss.sends);
          ss.sends.clear();
          ss.receives.clear();
        }
      } else if (call("closeSession", bad, [&] { p_->closeSession(id); }) && !bad) {
        forgetSession(si);
      }
      break;
    }
    case Op::CreateReceiver: case Op::CreateBrowser: case Op::CreateSubscriber:
    case Op::CreateDurable: case Op::CreateSender: case Op::CreatePublisher: {
      if (sessions_.empty() || endpoints_.size() >= 24) break;
      auto id = sessionArg();
      const bool bad = mustFail || !sessionOpen();
      const bool topic = s.op == Op::CreateSubscriber || s.op == Op::CreateDurable || s.op == Op::CreatePublisher;
      // A destination of the wrong kind is refused or used as it says.
      const bool asTopic = s.number % 5 == 0 ? !topic : topic;
      const std::string name = anyName(pick);
      wire::Destination d = destination(name, asTopic);
      wire::StringU selector = text(s.number % 3 == 0 ? anyText(pick >> 3) : std::nullopt);
      wire::UID_var uid;
      bool ok = false;
      switch (s.op) {
        case Op::CreateReceiver:
          ok = call("createReceiver", bad, [&] { uid = p_->createReceiver(d, id, selector); });
          if (ok) addEndpoint(uid.in(), !asTopic, false);
          break;
        case Op::CreateBrowser:
          ok = call("createBrowser", bad, [&] { uid = p_->createBrowser(d, id, selector); });
          if (ok) addEndpoint(uid.in(), false, false);
          break;
        case Op::CreateSubscriber:
          ok = call("createSubscriber", bad, [&] { uid = p_->createSubscriber(d, id, selector); });
          if (ok) addEndpoint(uid.in(), !asTopic, false);
          break;
        case Op::CreateDurable: {
          CORBA::WString_var name = wideDup(anyText(pick >> 2).value_or(""));
          ok = call("createDurableSubscriber", bad,
                    [&] { uid = p_->createDurableSubscriber(d, name.in(), id, selector); });
          if (ok) addEndpoint(uid.in(), !asTopic, false);
          break;
        }
        default: {
          wire::DestinationU du;
          if (s.flag) du.nullValue(0);
          else du.val(d);
          const bool toQueue = !s.flag && !asTopic;
          if (s.op == Op::CreateSender)
            ok = call("createSender", bad, [&] { uid = p_->createSender(du, id); });
          else
            ok = call("createPublisher", bad, [&] { uid = p_->createPublisher(du, id); });
          if (ok) addEndpoint(uid.in(), false, true, toQueue ? std::optional<std::string>(name) : std::nullopt);
        }
      }
      break;
    }
    case Op::Unsubscribe:
      if (!sessions_.empty()) {
        auto id = sessionArg();
        CORBA::WString_var name = wideDup(anyText(pick >> 2).value_or(""));
        call("unsubscribe", mustFail || !sessionOpen(), [&] { p_->unsubscribe(name.in(), id); });
      }
      break;
    case Op::SetListener: case Op::UnsetListener: case Op::CloseProducer: case Op::CloseConsumer: {
      if (endpoints_.empty()) break;
      auto id = endpointArg();
      const bool bad = mustFail || !endpointOpen();
      if (s.op == Op::SetListener) call("setMessageListener", bad, [&] { p_->setMessageListener(id); });
      else if (s.op == Op::UnsetListener) call("unsetMessageListener", bad, [&] { p_->unsetMessageListener(id); });
      else if (s.op == Op::CloseProducer) call("closeProducer", mustFail, [&] { p_->closeProducer(id); });
      else call("closeConsumer", mustFail, [&] { p_->closeConsumer(id); });
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
      if (s.op == Op::Produce) {
        if (call("produce", bad, [&] { p_->produce(m, id, mid.out(), ts); }) && !bad &&
            endpoints_[ei].queue)
          noteSend(*endpoints_[ei].queue, narrow(mid.in()), m, began);
      } else {
        const bool asTopic = s.number % 4 == 0;
        const std::string name = anyName(pick >> 1);
        wire::Destination d = destination(name, asTopic);
        if (call("produceTo", bad, [&] { p_->produceTo(d, m, id, mid.out(), ts); }) && !bad && !asTopic)
          noteSend(name, narrow(mid.in()), m, began);
      }
      break;
    }
    case Op::Consume: case Op::ConsumeById: case Op::ConsumeTimeOut: case Op::ConsumeNoBlock: {
      if (endpoints_.empty()) break;
      auto id = endpointArg();
      const bool bad = mustFail || !endpointOpen();
      wire::NullJMSMsg_var m;
      if (s.op == Op::Consume) {
        // Blocks until a message comes: only where the server must refuse at once.
        if (bad) call("consume", true, [&] { wire::JMSMsg_var got = p_->consume(id); });
      } else if (s.op == Op::ConsumeById) {
        std::string want = knownIds_.empty() || s.flag ? anyText(pick).value_or("")
                                                      : knownIds_[size_t(s.number) % knownIds_.size()];
        CORBA::WString_var w = wideDup(want);
        if (call("consumeById", bad, [&] { m = p_->consumeById(id, w.in()); }) && !bad) deliver(m.in(), ei);
      } else if (s.op == Op::ConsumeTimeOut) {
        // 0 waits without limit: only where the server must refuse at once.
        const CORBA::LongLong timeouts[] = {bad ? 0 : 1, 1, 20, -1, INT64_MIN};
        if (call("consumeTimeOut", bad, [&] { m = p_->consumeTimeOut(timeouts[s.number % 5], id); }) && !bad)
          deliver(m.in(), ei);
      } else if (call("consumeNoBlock", bad, [&] { m = p_->consumeNoBlock(id); }) && !bad) {
        deliver(m.in(), ei);
      }
      break;
    }
    case Op::Admin: {
      const char* commands[] = {"stats", "calls", "last", "connections", "event", "bogus", "", "reset"};
      CORBA::WString_var command = wideDup(commands[s.number % 8]);
      CORBA::WString_var argument = wideDup(
          s.number % 8 == 4 ? "100 " + std::to_string(conn ? conn->id.cid : 1) : anyText(pick).value_or(""));
      call("admin", false, [&] {
        CORBA::WString_var answer = p_->admin(command.in(), argument.in(), text(anyText(pick + 1)),
                                              text(std::nullopt));
      });
      break;
    }
    case Op::Propagation: {
      wserver::PropID job;
      job.pid = wideDup(anyText(pick).value_or(""));
      job.username = text(anyText(pick + 1));
      job.password = text(std::nullopt);
      CORBA::WString_var t = wideDup(anyText(pick + 2).value_or(""));
      switch (s.number % 7) {
        case 0:
          call("startPropJob", false,
               [&] { p_->startPropJob(job, s.flag, t.in(), t.in(), t.in(), s.flag, t.in(), t.in(), s.flag, s.number); });
          break;
        case 1: call("stopPropJob", false, [&] { p_->stopPropJob(job, s.flag); }); break;
        case 2: call("getRecvLogRec", false, [&] { wserver::RecvLog_var r = p_->getRecvLogRec(job); }); break;
        case 3: call("skipCurrentReq", false, [&] { p_->skipCurrentReq(job); }); break;
        case 4: call("reqResend", false, [&] { wserver::PropRequest_var r = p_->reqResend(job, s.number); }); break;
        case 5: {
          wserver::PropRequests reqs(1);
          reqs.length(1);
          reqs[0].propID = job;
          reqs[0].seqNo = s.number;
          reqs[0].msgs.length(1);
          reqs[0].msgs[0] = anyMessage(s);
          call("recvPropReq", false, [&] { p_->recvPropReq(reqs); });
          break;
        }
        default: {
          wserver::PropAcks acks(1);
          acks.length(1);
          acks[0].propID = job;
          acks[0].seqNo = s.number;
          call("ackPropReq", false, [&] { p_->ackPropReq(acks); });
          call("notifyPropErr", false, [&] { p_->notifyPropErr(job); });
          call("flowControlReq", false, [&] { p_->flowControlReq(job, s.number, -s.number); });
        }
      }
      break;
    }
    case Op::Notify: {
      namespace notify = ::zorvane::velt::admin::notify;
      notify::StringNullU dn;
      if (s.flag) dn.val(wideDup(anyText(pick).value_or("")));
      else dn.nullValue(0);
      CORBA::WString_var entry = wideDup(anyText(pick + 1).value_or(""));
      notify::Attributes attrs;
      attrs.length(1);
      attrs[0].name = wideDup("a");
      call("createAdminEntry", false, [&] { p_->createAdminEntry(dn, dn, entry.in(), attrs); });
      call("removeAdminEntry", false, [&] { p_->removeAdminEntry(dn, dn, entry.in()); });
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
      for (;;) {
        wire::NullJMSMsg_var m = p->consumeNoBlock(receivers[q].in());
        if (!m->_d()) break;
        ledger.drained(messageId(m->val()));
      }
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
  ProviderProcess server({"--ping-interval", "0"});
  ProviderControl control(server.ior());
  std::atomic<int> caseNo{0};
  // Weighted so that messages flow: clients connect, open sessions and
  // endpoints, and send and receive more often than they do anything else.
  std::vector<int> ops;
  for (int op = 0; op < int(Op::Count); ++op) {
    int weight = 1;
    switch (Op(op)) {
      case Op::Produce: weight = 8; break;
      case Op::ProduceTo: case Op::ConsumeNoBlock: case Op::ConsumeTimeOut: case Op::CreateConnection:
      case Op::CreateSession: case Op::CreateSender: case Op::CreateReceiver: weight = 3; break;
      case Op::Commit: case Op::ConsumeById: case Op::SetListener: weight = 2; break;
      default: break;
    }
    ops.insert(ops.end(), size_t(weight), op);
  }
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
  EXPECT_TRUE(server.running());
  EXPECT_EQ(server.stop(), 0) << server.log();  // leaks make a sanitized server fail here
}

}  // namespace
}  // namespace qjms::test
