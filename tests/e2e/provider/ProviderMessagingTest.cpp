// Each family of messaging operations once through the wire, plus no loss
// under concurrent clients and liveness after a client is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <limits>
#include <set>
#include <thread>

#include "ProviderProcess.h"
#include "WireClient.h"

extern char** environ;

namespace qjms::test {
namespace {

using namespace wireclient;
using namespace std::chrono_literals;
constexpr auto npos = std::string::npos;

class Messaging : public ::testing::Test {
 protected:
  explicit Messaging(std::vector<std::string> args = {}) : server_(std::move(args)) {}
  ProviderProcess server_;
  ProviderControl control_{server_.ior()};
  Connection conn_{control_.provider()};
  wire::SessionID_var session_ = conn_.session();

  wserver::Provider_ptr p() { return control_.provider(); }
  wire::UID_var sender(const std::string& queue, const wire::SessionID* s = nullptr) {
    return wireclient::sender(p(), s ? *s : session_.in(), queue);
  }
  wire::UID_var receiver(const std::string& queue, const std::optional<std::string>& selector = {},
                         const wire::SessionID* s = nullptr) {
    return wireclient::receiver(p(), s ? *s : session_.in(), queue, selector);
  }
  std::pair<std::string, long long> send(const wire::UID& producer, const wire::JMSMsg& m) {
    CORBA::WString_var id;
    CORBA::LongLong ts = 0;
    p()->produce(m, producer, id.out(), ts);
    return {narrow(id.in()), ts};
  }
  void send(const wire::UID& producer, const std::string& body, int priority = 4) {
    wireclient::send(p(), producer, textMessage(body, priority));
  }
  std::optional<std::string> take(const wire::UID& consumer) {
    return wireclient::take(p(), consumer);
  }
  std::string drain(const wire::UID& consumer) {
    std::string out;
    while (auto b = take(consumer)) out += *b;
    return out;
  }
};

TEST_F(Messaging, AMessageTravelsWithItsHeaderAndPropertiesWhichSelectorsSee) {
  wire::UID_var s = sender("q");
  wire::JMSMsg m = textMessage("tagged", 6);
  m.hdr.JMSProperties.length(2);
  m.hdr.JMSProperties[0].name = wideDup("n");
  m.hdr.JMSProperties[0].val.propInt(42);
  m.hdr.JMSProperties[1].name = wideDup("colour");
  m.hdr.JMSProperties[1].val.propString(wideDup("red"));
  send(s.in(), "plain");
  auto [id, ts] = send(s.in(), m);
  long long nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(ts, nowMs, 60000);  // wall-clock milliseconds
  EXPECT_NE(control_.last("produce").find(
                "body=text:\"tagged\" id=null mode=1 redelivered=false type=null expiration=0 "
                "priority=6 timestamp=0 correlationID=null replyTo=null "
                "properties=[n=int:42 colour=string:\"red\"]"),
            npos) << control_.last("produce");

  wire::NullJMSMsg_var got = p()->consumeNoBlock(receiver("q", "colour = 'red' AND n = 42").in());
  ASSERT_TRUE(got->_d());
  const wire::MessageHeader& h = got->val().hdr;
  EXPECT_EQ(bodyOf(got->val()), "tagged");
  EXPECT_EQ(narrow(h.JMSMessageID.val()), id);
  EXPECT_EQ(h.JMSTimestamp, ts);
  EXPECT_EQ(h.JMSPriority, 6);
  EXPECT_FALSE(h.JMSRedelivered);
  ASSERT_EQ(h.JMSProperties.length(), 2u);
  EXPECT_EQ(h.JMSProperties[0].val.propInt(), 42);
  EXPECT_EQ(drain(receiver("q").in()), "plain");
  // A selector that does not parse is refused when the receiver is created.
  EXPECT_EQ(raised([&] { receiver("q", "colour = = 'red'"); }), "SelectorException");
}

TEST_F(Messaging, ReceiveModesAndABlockedConsumeThatHoldsUpNothing) {
  wire::UID_var r = receiver("q"), snd = sender("q");
  auto t0 = std::chrono::steady_clock::now();
  wire::NullJMSMsg_var none = p()->consumeTimeOut(100, r.in());
  EXPECT_FALSE(none->_d());
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 100ms);
  EXPECT_EQ(raised([&] { p()->consumeTimeOut(-1, r.in()); }), "BadArgException");
  CORBA::WString_var id = wideDup(send(snd.in(), textMessage("by id")).first);
  send(snd.in(), "next");
  for (const char* expected : {"by id", ""}) {
    wire::NullJMSMsg_var m = p()->consumeById(r.in(), id.in());
    EXPECT_EQ(bodyOf(m.in()).value_or(""), expected);
  }
  EXPECT_EQ(take(r.in()), "next");

  // Waits without limit, and one whose deadline the clock cannot hold.
  std::string got, gotLater;
  std::thread waiter([&] {
    wire::JMSMsg_var m = p()->consume(r.in());
    got = bodyOf(m.in());
  });
  std::thread patient([&] {
    wire::NullJMSMsg_var m = p()->consumeTimeOut(std::numeric_limits<long long>::max(), r.in());
    gotLater = bodyOf(m.in()).value_or("null");
  });
  std::this_thread::sleep_for(50ms);
  Connection other(p());
  wire::SessionID_var s = other.session();
  wire::UID_var otherSender = sender("q", &s.in());
  send(otherSender.in(), "finally");
  send(otherSender.in(), "finally");
  waiter.join();
  patient.join();
  EXPECT_EQ(got + " " + gotLater, "finally finally");
}

TEST_F(Messaging, SubscribersAndDurableSubscriptions) {
  Connection owner(p(), "durable-client");
  wire::SessionID_var ds = owner.session();
  wire::Destination t = destination("news", true);
  CORBA::WString_var name = wideDup("sub");
  auto durable = [&] { return p()->createDurableSubscriber(t, name.in(), ds.in(), text({})); };
  wire::UID_var d = durable(), a = p()->createSubscriber(t, session_.in(), text({}));
  wire::UID_var pub = p()->createPublisher(optionalDestination("news", true), session_.in());
  send(pub.in(), "1");
  EXPECT_EQ(drain(d.in()) + drain(a.in()), "11");
  try {
    durable();
    ADD_FAILURE() << "second active durable subscriber accepted";
  } catch (const wire::ConsumerException& e) {
    EXPECT_EQ(e.code, 18);  // the code the library retries on
  }
  p()->closeConsumer(d.in());
  p()->unsubscribe(name.in(), ds.in());
  EXPECT_EQ(raised([&] { p()->unsubscribe(name.in(), ds.in()); }), "DestinationException");
}

TEST_F(Messaging, BrowserAndTransactedSession) {
  wire::UID_var s = sender("q");
  send(s.in(), "x", 1);
  send(s.in(), "y", 8);
  wire::UID_var browser = p()->createBrowser(destination("q", false), session_.in(), text({}));
  EXPECT_EQ(drain(browser.in()), "yx");
  wire::SessionID_var tx = conn_.session(/*transacted=*/true);
  wire::UID_var txr = receiver("q", {}, &tx.in()), txs = sender("q", &tx.in());
  EXPECT_EQ(drain(txr.in()), "yx");
  send(txs.in(), "z");
  p()->rollback(tx.in());  // "y" and "x" come back, "z" is dropped
  EXPECT_EQ(take(txr.in()), "y");
  p()->commit(tx.in());  // "y" is gone for good
  EXPECT_EQ(take(txr.in()), "x");
  p()->closeSession(tx.in());  // taken, not committed: back it goes
  EXPECT_EQ(drain(receiver("q").in()), "x");
}

TEST_F(Messaging, ProduceToAndDefinedDestinations) {
  wire::UID_var anonymous = p()->createSender(optionalDestination("", false), session_.in());
  CORBA::WString_var id;
  CORBA::LongLong ts = 0;
  p()->produceTo(destination("named", false), textMessage("y"), anonymous.in(), id.out(), ts);
  EXPECT_EQ(drain(receiver("named").in()), "y");
  p()->closeProducer(anonymous.in());
  wire::Destination foreign = destination("q", false);
  wire::DefinedDestination def;
  def.driver_name = wideDup("mq");
  foreign.defined.dest(def);
  EXPECT_EQ(raised([&] { wire::UID_var r = p()->createReceiver(foreign, session_.in(), text({})); }),
            "DestinationException");
}

TEST_F(Messaging, PushesReachTheSessionListenerAndARefusalReturnsTheMessage) {
  wire::UID_var r = receiver("pushed"), snd = sender("pushed");
  std::string at = "@" + std::to_string(r->uid);
  p()->setMessageListener(r.in());
  send(snd.in(), "one");
  send(snd.in(), "two");
  EXPECT_EQ(conn_.sessionListener->waitFor(2), (std::vector<std::string>{"one" + at, "two" + at}));
  p()->unsetMessageListener(r.in());
  send(snd.in(), "three");
  EXPECT_EQ(take(r.in()), "three");

  // The client says the session is gone: the server closes it and keeps the message.
  p()->setMessageListener(r.in());
  conn_.sessionListener->refuse = 1;
  send(snd.in(), "four");
  conn_.sessionListener->waitFor(3);
  std::string error;
  for (int i = 0; i < 200 && error.empty(); ++i, std::this_thread::sleep_for(10ms))
    error = raised([&] { take(r.in()); });
  EXPECT_EQ(error, "SessionIDException");
  wire::SessionID_var s = conn_.session();
  wire::NullJMSMsg_var back = p()->consumeNoBlock(receiver("pushed", {}, &s.in()).in());
  ASSERT_TRUE(back->_d());
  EXPECT_EQ(bodyOf(back->val()), "four");
  EXPECT_TRUE(back->val().hdr.JMSRedelivered);
}

TEST_F(Messaging, ConcurrentClientsLoseAndDuplicateNothing) {
  constexpr int kPerProducer = 300;
  std::mutex m;
  std::multiset<std::string> received;
  std::atomic<int> producersLeft{2};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&, i] {
      Connection c(p());
      wire::SessionID_var s = c.session();
      if (i < 2) {
        wire::UID_var snd = sender("load", &s.in());
        for (int k = 0; k < kPerProducer; ++k)
          send(snd.in(), std::to_string(i) + ":" + std::to_string(k));
        --producersLeft;
        return;
      }
      wire::UID_var r = receiver("load", {}, &s.in());
      for (;;) {  // until nothing comes once the producers are done
        bool producing = producersLeft > 0;
        wire::NullJMSMsg_var got = p()->consumeTimeOut(producing ? 2000 : 200, r.in());
        if (!got->_d() && !producing) break;
        std::lock_guard<std::mutex> lock(m);
        if (got->_d()) received.insert(bodyOf(got->val()));
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(received.size(), size_t(2 * kPerProducer));
  EXPECT_EQ(std::set<std::string>(received.begin(), received.end()).size(), received.size());
}

TEST_F(Messaging, SigtermEndsABlockedConsumeAndTheServerExitsCleanly) {
  wire::UID_var r = receiver("never");
  std::string error;
  std::thread waiter([&] { error = raised([&] { p()->consume(r.in()); }); });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(server_.stop(), 0);
  waiter.join();
  EXPECT_FALSE(error.empty());
}

class PeriodicPings : public Messaging {
 protected:
  PeriodicPings() : Messaging({"--ping-interval", "0.2"}) {}
};

TEST_F(PeriodicPings, AKilledClientsUncommittedMessageComesBackUnasked) {
  send(sender("precious").in(), "keep me");
  std::string bin = QJMS_CRASH_CLIENT, ior = server_.ior(), queue = "precious";
  char* argv[] = {bin.data(), ior.data(), queue.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

  wire::NullJMSMsg_var back = p()->consumeTimeOut(20000, receiver("precious").in());
  ASSERT_TRUE(back->_d());
  EXPECT_EQ(bodyOf(back->val()), "keep me");
  EXPECT_TRUE(back->val().hdr.JMSRedelivered);  // so the dead client had it
  EXPECT_EQ(control_.connectionOf("crash-client"), -1);
  EXPECT_NE(conn_.listener->pings, 0);  // live clients are pinged too, and stay
}

TEST_F(Messaging, LargeMessagesTravelWithinTheSizeLimit) {
  std::string big(1500000, 'x');  // 3 MB as wide text, above omniORB's default 2 MiB
  big.back() = 'y';
  send(sender("big").in(), big);
  EXPECT_EQ(take(receiver("big").in()), big);
}

class SmallMessageLimit : public Messaging {
 protected:
  SmallMessageLimit() : Messaging({"--max-message-size", "1048576"}) {}
};

TEST_F(SmallMessageLimit, AMessageOverTheLimitFailsAndTheServerCarriesOn) {
  wire::UID_var s = sender("q");
  EXPECT_NE(raised([&] { send(s.in(), std::string(600000, 'x')); }), "");
  send(s.in(), "small");
  EXPECT_EQ(drain(receiver("q").in()), "small");
}

}  // namespace
}  // namespace qjms::test
