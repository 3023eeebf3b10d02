// Queues, topics, browsers, transactions, push and liveness, through the
// generated stubs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <fstream>
#include <set>
#include <thread>

#include "ProviderControl.h"
#include "ProviderProcess.h"
#include "WireClient.h"

namespace qjms::test {
namespace {

using namespace wireclient;
using namespace std::chrono_literals;

std::string raisedName(const std::function<void()>& call) {
  try {
    call();
    return "";
  } catch (const CORBA::Exception& e) {
    return e._name();
  }
}

class Messaging : public ::testing::Test {
 protected:
  explicit Messaging(std::vector<std::string> args = {}) : server_(std::move(args)) {}
  ProviderProcess server_;
  ProviderControl control_{server_.ior()};
  Connection conn_{control_.provider()};
  wire::SessionID_var session_ = conn_.session();

  wserver::Provider_ptr p() { return control_.provider(); }
  wire::UID_var sender(const std::string& queue, const wire::SessionID& s) {
    return p()->createSender(optionalDestination(queue, false), s);
  }
  wire::UID_var sender(const std::string& queue) { return sender(queue, session_.in()); }
  wire::UID_var receiver(const std::string& queue, const std::optional<std::string>& selector = {},
                         const wire::SessionID* s = nullptr) {
    return p()->createReceiver(destination(queue, false), s ? *s : session_.in(), text(selector));
  }
  std::pair<std::string, long long> send(const wire::UID& producer, const wire::JMSMsg& m) {
    CORBA::WString_var id;
    CORBA::LongLong ts = 0;
    p()->produce(m, producer, id.out(), ts);
    return {narrow(id.in()), ts};
  }
  void send(const wire::UID& producer, const std::string& body, int priority = 4) {
    send(producer, textMessage(body, priority));
  }
  std::optional<std::string> take(const wire::UID& consumer) {
    wire::NullJMSMsg_var m = p()->consumeNoBlock(consumer);
    return bodyOf(m.in());
  }
  std::string drain(const wire::UID& consumer) {
    std::string out;
    while (auto b = take(consumer)) out += *b;
    return out;
  }
};

TEST_F(Messaging, SendStampsIdentifierAndTimeAndTheConsumerSeesThem) {
  wire::UID_var s = sender("q");
  wire::JMSMsg m = textMessage("hello", 6);
  wire::PropElem prop;
  prop.name = wideDup("n");
  prop.val.propInt(42);
  m.hdr.JMSProperties.length(1);
  m.hdr.JMSProperties[0] = prop;
  auto before = std::chrono::system_clock::now();
  auto [id, ts] = send(s.in(), m);
  EXPECT_EQ(id.rfind("ID:", 0), 0u);
  long long beforeMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(before.time_since_epoch()).count();
  EXPECT_GE(ts, beforeMs - 1000);
  EXPECT_LE(ts, beforeMs + 60000);

  wire::UID_var r = receiver("q");
  wire::JMSMsg_var got = p()->consume(r.in());
  EXPECT_EQ(bodyOf(got.in()), "hello");
  EXPECT_EQ(narrow(got->hdr.JMSMessageID.val()), id);
  EXPECT_EQ(got->hdr.JMSTimestamp, ts);
  EXPECT_EQ(got->hdr.JMSPriority, 6);
  EXPECT_FALSE(got->hdr.JMSRedelivered);
  ASSERT_EQ(got->hdr.JMSProperties.length(), 1u);
  EXPECT_EQ(got->hdr.JMSProperties[0].val.propInt(), 42);
  EXPECT_NE(control_.last("produce").find("body=text:\"hello\""), std::string::npos)
      << control_.last("produce");
  EXPECT_NE(control_.last("produce").find("properties=[n=int:42]"), std::string::npos);
}

TEST_F(Messaging, QueueOrderSelectorsAndWaitingModes) {
  wire::UID_var s = sender("q");
  for (auto [body, prio] : {std::pair{"a", 4}, {"b", 9}, {"c", 4}, {"d", 0}}) send(s.in(), body, prio);
  EXPECT_EQ(drain(receiver("q").in()), "bacd");

  wire::JMSMsg tagged = textMessage("tagged");
  tagged.hdr.JMSProperties.length(1);
  tagged.hdr.JMSProperties[0].name = wideDup("colour");
  tagged.hdr.JMSProperties[0].val.propString(wideDup("red"));
  send(s.in(), "plain");
  send(s.in(), tagged);
  EXPECT_EQ(drain(receiver("q", "colour = 'red'").in()), "tagged");
  EXPECT_EQ(raisedName([&] { receiver("q", "colour = = 'red'"); }), "SelectorException");

  wire::UID_var r = receiver("q");
  EXPECT_EQ(take(r.in()), "plain");
  auto t0 = std::chrono::steady_clock::now();
  wire::NullJMSMsg_var none = p()->consumeTimeOut(100, r.in());
  EXPECT_FALSE(none->_d());
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 100ms);
  EXPECT_EQ(raisedName([&] { p()->consumeTimeOut(-1, r.in()); }), "BadArgException");
}

TEST_F(Messaging, BlockedConsumeDoesNotHoldUpOtherCalls) {
  wire::UID_var r = receiver("slow");
  std::string got;
  std::thread waiter([&] {
    wire::JMSMsg_var m = p()->consume(r.in());
    got = bodyOf(m.in());
  });
  std::this_thread::sleep_for(50ms);
  Connection other(p());
  wire::SessionID_var s = other.session();
  send(sender("slow", s.in()).in(), "finally");
  waiter.join();
  EXPECT_EQ(got, "finally");
}

TEST_F(Messaging, ClosingTheConsumerEndsABlockedConsume) {
  wire::UID_var r = receiver("q");
  std::string error;
  std::thread waiter([&] { error = raisedName([&] { p()->consume(r.in()); }); });
  std::this_thread::sleep_for(50ms);
  p()->closeConsumer(r.in());
  waiter.join();
  EXPECT_EQ(error, "ConsumerException");
}

TEST_F(Messaging, TopicsFanOutAndDurableSubscriptionsKeepMessages) {
  Connection durableOwner(p(), "durable-client");
  wire::SessionID_var ds = durableOwner.session();
  wire::Destination t = destination("news", true);
  wire::UID_var durable =
      p()->createDurableSubscriber(t, CORBA::WString_var(wideDup("sub")).in(), ds.in(),
                                   text(std::nullopt));
  wire::UID_var a = p()->createSubscriber(t, session_.in(), text(std::nullopt));
  wire::UID_var pub = p()->createPublisher(optionalDestination("news", true), session_.in());
  send(pub.in(), "1");
  EXPECT_EQ(drain(a.in()), "1");
  EXPECT_EQ(drain(durable.in()), "1");

  // A second active subscriber for the subscription: code 18, which the library retries.
  try {
    p()->createDurableSubscriber(t, CORBA::WString_var(wideDup("sub")).in(), ds.in(),
                                 text(std::nullopt));
    FAIL() << "second active durable subscriber accepted";
  } catch (const wire::ConsumerException& e) {
    EXPECT_EQ(e.code, 18);
  }
  p()->closeConsumer(durable.in());
  send(pub.in(), "2");
  durable = p()->createDurableSubscriber(t, CORBA::WString_var(wideDup("sub")).in(), ds.in(),
                                         text(std::nullopt));
  EXPECT_EQ(drain(durable.in()), "2");
  EXPECT_EQ(raisedName([&] { p()->unsubscribe(CORBA::WString_var(wideDup("sub")).in(), ds.in()); }),
            "ConsumerException");
  p()->closeConsumer(durable.in());
  p()->unsubscribe(CORBA::WString_var(wideDup("sub")).in(), ds.in());
  EXPECT_EQ(raisedName([&] { p()->unsubscribe(CORBA::WString_var(wideDup("sub")).in(), ds.in()); }),
            "DestinationException");
  EXPECT_EQ(raisedName([&] { p()->createSubscriber(destination("q", false), session_.in(),
                                                   text(std::nullopt)); }),
            "DestinationException");
}

TEST_F(Messaging, BrowserWalksTheQueueWithoutConsuming) {
  wire::UID_var s = sender("q");
  send(s.in(), "x", 1);
  send(s.in(), "y", 8);
  wire::UID_var b = p()->createBrowser(destination("q", false), session_.in(), text(std::nullopt));
  EXPECT_EQ(drain(b.in()), "yx");
  EXPECT_EQ(drain(receiver("q").in()), "yx");
}

TEST_F(Messaging, TransactionsCommitAndRollBack) {
  wire::SessionID_var tx = conn_.session(/*transacted=*/true);
  wire::UID_var txSender = sender("q", tx.in());
  wire::UID_var plainReceiver = receiver("q");
  send(txSender.in(), "a");
  EXPECT_EQ(take(plainReceiver.in()), std::nullopt);
  p()->commit(tx.in());
  send(sender("q").in(), "b");

  wire::UID_var txReceiver = receiver("q", std::nullopt, &tx.in());
  EXPECT_EQ(drain(txReceiver.in()), "ab");
  p()->rollback(tx.in());
  wire::NullJMSMsg_var again = p()->consumeNoBlock(txReceiver.in());
  ASSERT_TRUE(again->_d());
  EXPECT_EQ(bodyOf(again->val()), "a");
  EXPECT_TRUE(again->val().hdr.JMSRedelivered);
  p()->commit(tx.in());  // "a" is gone for good
  EXPECT_EQ(take(txReceiver.in()), "b");
  p()->closeSession(tx.in());  // "b" was taken but not committed: back it goes
  EXPECT_EQ(drain(plainReceiver.in()), "b");
}

TEST_F(Messaging, ProducersFollowTheDestinationRules) {
  wire::UID_var anonymous = p()->createSender(optionalDestination("", false), session_.in());
  EXPECT_EQ(raisedName([&] { send(anonymous.in(), "x"); }), "DestinationException");
  CORBA::WString_var id;
  CORBA::LongLong ts = 0;
  p()->produceTo(destination("named", false), textMessage("y"), anonymous.in(), id.out(), ts);
  EXPECT_EQ(drain(receiver("named").in()), "y");
  EXPECT_EQ(raisedName([&] {
              p()->produceTo(destination("t", true), textMessage("z"), anonymous.in(), id.out(), ts);
            }),
            "DestinationException");
  EXPECT_EQ(raisedName([&] { send(anonymous.in(), textMessage("p", 4, /*persistent*/ 2)); }),
            "DestinationException");
  wire::UID_var s = sender("q");
  EXPECT_EQ(raisedName([&] { send(s.in(), textMessage("p", 4, 2)); }), "MessageException");
  wire::Destination foreign = destination("q", false);
  wire::DefinedDestination def;
  def.driver_name = wideDup("mq");
  foreign.defined.dest(def);
  EXPECT_EQ(raisedName([&] { p()->createReceiver(foreign, session_.in(), text(std::nullopt)); }),
            "DestinationException");
}

TEST_F(Messaging, PushesReachTheSessionListenerAndARefusalReturnsTheMessage) {
  Active<MessageListener> listener;
  wire::SessionID_var s = conn_.session(false, listener.ref());
  wire::UID_var r = receiver("pushed", std::nullopt, &s.in());
  p()->setMessageListener(r.in());
  wire::UID_var snd = sender("pushed");
  send(snd.in(), "one");
  send(snd.in(), "two");
  auto pushes = listener->waitForPushes(2);
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_EQ(pushes[0].body + pushes[1].body, "onetwo");
  EXPECT_EQ(pushes[0].uid, r->uid);

  // The client says the session is gone: the server closes it, keeps the message.
  listener->refuseNext(1);
  send(snd.in(), "three");
  listener->waitForPushes(3);
  std::string error;
  for (int i = 0; i < 200 && error.empty(); ++i) {
    error = raisedName([&] { wire::NullJMSMsg_var m = p()->consumeNoBlock(r.in()); });
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(error, "SessionIDException");
  wire::NullJMSMsg_var back = p()->consumeNoBlock(receiver("pushed").in());
  ASSERT_TRUE(back->_d());
  EXPECT_EQ(bodyOf(back->val()), "three");
  EXPECT_TRUE(back->val().hdr.JMSRedelivered);
}

TEST_F(Messaging, ConcurrentClientsLoseAndDuplicateNothing) {
  constexpr int kPerProducer = 300;
  std::vector<std::thread> threads;
  std::mutex m;
  std::multiset<std::string> received;
  std::atomic<int> producersLeft{2};
  for (int i = 0; i < 2; ++i)
    threads.emplace_back([&, i] {
      Connection c(p());
      wire::SessionID_var s = c.session();
      wire::UID_var snd = sender("load", s.in());
      for (int k = 0; k < kPerProducer; ++k) send(snd.in(), std::to_string(i) + ":" + std::to_string(k));
      --producersLeft;
    });
  for (int i = 0; i < 2; ++i)
    threads.emplace_back([&] {
      Connection c(p());
      wire::SessionID_var s = c.session();
      wire::UID_var r = receiver("load", std::nullopt, &s.in());
      for (;;) {
        wire::NullJMSMsg_var got = p()->consumeTimeOut(producersLeft > 0 ? 2000 : 200, r.in());
        if (!got->_d()) {
          if (producersLeft == 0) break;
          continue;
        }
        std::lock_guard<std::mutex> lock(m);
        received.insert(bodyOf(got->val()));
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(received.size(), size_t(2 * kPerProducer));
  EXPECT_EQ(std::set<std::string>(received.begin(), received.end()).size(), received.size());
}

TEST_F(Messaging, StoppingTheServerEndsABlockedConsumeAndExitsCleanly) {
  wire::UID_var r = receiver("never");
  std::string error;
  std::thread waiter([&] { error = raisedName([&] { p()->consume(r.in()); }); });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(server_.stop(), 0);
  waiter.join();
  EXPECT_FALSE(error.empty());
}

// A client process that dies holding an uncommitted message.
class CrashedClient {
 public:
  CrashedClient(const std::string& ior, const std::string& queue) {
    char templ[] = "/tmp/qjms-crash-XXXXXX";
    int fd = mkstemp(templ);
    out_ = templ;
    close(fd);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_TRUNC, 0600);
    std::string bin = QJMS_CRASH_CLIENT;
    std::vector<char*> argv = {bin.data(), const_cast<char*>(ior.c_str()),
                               const_cast<char*>(queue.c_str()), nullptr};
    posix_spawn(&pid_, bin.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~CrashedClient() {
    if (pid_ > 0) kill();
    std::remove(out_.c_str());
  }
  bool waitUntilReceived() {
    for (int i = 0; i < 2000; ++i) {
      std::ifstream in(out_);
      std::string word;
      if (in >> word && word == "received") return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  void kill() {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string out_;
};

TEST_F(Messaging, KilledClientsMessageReturnsAfterAPing) {
  send(sender("precious").in(), "keep me");
  CrashedClient client(server_.ior(), "precious");
  ASSERT_TRUE(client.waitUntilReceived());
  int cid = control_.connectionOf("crash-client");
  ASSERT_GT(cid, 0);
  wire::UID_var r = receiver("precious");
  EXPECT_EQ(take(r.in()), std::nullopt);  // held by the client's transaction
  client.kill();
  EXPECT_EQ(control_.ping(cid), "error");
  EXPECT_EQ(control_.connectionOf("crash-client"), -1);
  wire::NullJMSMsg_var back = p()->consumeNoBlock(r.in());
  ASSERT_TRUE(back->_d());
  EXPECT_EQ(bodyOf(back->val()), "keep me");
  EXPECT_TRUE(back->val().hdr.JMSRedelivered);
}

class PeriodicPings : public Messaging {
 protected:
  PeriodicPings() : Messaging({"--ping-interval", "0.2"}) {}
};

TEST_F(PeriodicPings, KilledClientIsNoticedWithoutBeingAsked) {
  send(sender("precious").in(), "keep me");
  CrashedClient client(server_.ior(), "precious");
  ASSERT_TRUE(client.waitUntilReceived());
  wire::UID_var r = receiver("precious");
  client.kill();
  wire::NullJMSMsg_var back = p()->consumeTimeOut(20000, r.in());
  ASSERT_TRUE(back->_d());
  EXPECT_EQ(bodyOf(back->val()), "keep me");
  EXPECT_NE(conn_.listener()->pings, 0);
}

TEST_F(Messaging, LargeMessagesTravelWithinTheSizeLimit) {
  std::string big(1500000, 'x');  // 3 MB as wide text, above omniORB's default 2 MiB
  big.back() = 'y';
  send(sender("big").in(), big);
  wire::NullJMSMsg_var got = p()->consumeNoBlock(receiver("big").in());
  ASSERT_TRUE(got->_d());
  EXPECT_EQ(bodyOf(got->val()), big);
}

class SmallMessageLimit : public Messaging {
 protected:
  SmallMessageLimit() : Messaging({"--max-message-size", "1048576"}) {}
};

TEST_F(SmallMessageLimit, AMessageOverTheLimitFailsAndTheServerCarriesOn) {
  wire::UID_var s = sender("q");
  EXPECT_NE(raisedName([&] { send(s.in(), std::string(600000, 'x')); }), "");
  send(s.in(), "small");
  EXPECT_EQ(drain(receiver("q").in()), "small");
}

class BoundedQueues : public Messaging {
 protected:
  BoundedQueues() : Messaging({"--max-queue-depth", "2", "--persistent"}) {}
};

TEST_F(BoundedQueues, FullQueueRefusesAndPersistentIsAcceptedWhenClaimed) {
  EXPECT_TRUE(conn_.providerMetaData().supportsPersistent);
  wire::UID_var s = sender("q");
  send(s.in(), textMessage("1", 4, 2));
  send(s.in(), "2");
  EXPECT_EQ(raisedName([&] { send(s.in(), "3"); }), "FullException");
  take(receiver("q").in());
  send(s.in(), "3");
}

}  // namespace
}  // namespace qjms::test
