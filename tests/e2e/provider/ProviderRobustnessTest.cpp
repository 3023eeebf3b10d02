// What a client can do to the server, through the wire: lose or duplicate a
// message, stall other clients, make memory grow. One scenario table per group;
// each scenario starts its own server.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "ProviderProcess.h"
#include "WireClient.h"

namespace qjms::test {
namespace {

using namespace wireclient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Server {
  explicit Server(std::vector<std::string> args) : process(std::move(args)) {}
  ProviderProcess process;
  ProviderControl control{process.ior()};
  wserver::Provider_ptr p() { return control.provider(); }
  // Polls `stats` until it holds `text` (a generous while).
  bool statsReach(const std::string& text) {
    for (auto until = Clock::now() + 10s; Clock::now() < until; std::this_thread::sleep_for(50ms))
      if (control.stats().find(text) != std::string::npos) return true;
    return false;
  }
};

// Opened once; waiting on it gives up after a generous while.
class Latch {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 20s, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

// A client call that does not return until the test lets it.
struct Hang {
  std::shared_ptr<Latch> entered = std::make_shared<Latch>(), release = std::make_shared<Latch>(),
                         left = std::make_shared<Latch>();
  void operator()() const {
    entered->open();
    release->wait();
    left->open();
  }
};

// SIGTERM while `hang` holds a call: the server exits 0 all the same, soon.
void stopsPromptly(Server& srv, const Hang& hang) {
  ASSERT_TRUE(hang.entered->wait());
  auto t0 = Clock::now();
  EXPECT_EQ(srv.process.stop(), 0);
  EXPECT_LT(Clock::now() - t0, 10s);
  hang.release->open();
  // The ORB gets a moment to finish the abandoned call before its objects go.
  hang.left->wait();
  std::this_thread::sleep_for(200ms);
}

struct Scenario {
  const char* what;
  std::vector<std::string> args;
  std::function<void(Server&)> run;
};

void play(const std::vector<Scenario>& scenarios) {
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.what);
    Server server(s.args);
    s.run(server);
  }
}

// A transacted session listening on `queue`, whose listener does `work`
// with the message and the session.
struct TransactedListener {
  using Work = std::function<void(const wire::JMSMsg&, const wire::SessionID&)>;
  TransactedListener(Server& server, const std::string& queue, Work work)
      : conn(server.p()), tx(conn.session(/*transacted=*/true)),
        r(receiver(server.p(), tx.in(), queue)) {
    conn.sessionListener->work.set(
        [this, work](const wire::JMSMsg& m, const wire::UID&) { work(m, tx.in()); });
    server.p()->setMessageListener(r.in());
  }
  Connection conn;
  wire::SessionID_var tx;
  wire::UID_var r;
};

// What a plain receiver on another connection finds in `queue`, waiting up
// to `firstWithinMs` for the first message.
std::string leftIn(Server& server, const std::string& queue, long long firstWithinMs = 0) {
  Connection c(server.p());
  wire::SessionID_var s = c.session();
  wire::UID_var r = receiver(server.p(), s.in(), queue);
  std::string out;
  for (wire::NullJMSMsg_var m; (m = firstWithinMs ? server.p()->consumeTimeOut(firstWithinMs, r.in())
                                                  : server.p()->consumeNoBlock(r.in()))
                                   ->_d();
       firstWithinMs = 0)
    out += bodyOf(m->val()) + (m->val().hdr.JMSRedelivered ? "*" : "");
  return out;
}

void sendTo(Server& server, const std::string& queue, const wire::JMSMsg& m) {
  Connection c(server.p());
  wire::SessionID_var s = c.session();
  send(server.p(), sender(server.p(), s.in(), queue).in(), m);
}

TEST(ProviderRobustness, NoMessageIsLostOrDuplicated) {
  play({
      {"a transacted listener commits inside onMessage", {},
       [](Server& srv) {
         auto committed = std::make_shared<Latch>();
         TransactedListener l(srv, "q", [&srv, committed](auto&, const wire::SessionID& tx) {
           srv.p()->commit(tx);
           committed->open();
         });
         sendTo(srv, "q", textMessage("m"));
         ASSERT_TRUE(committed->wait());
         srv.p()->closeSession(l.tx.in());  // a rollback now must not bring it back
         EXPECT_EQ(leftIn(srv, "q", 1000), "");
       }},
      {"a transacted listener rolls back inside onMessage, then commits the redelivery", {},
       [](Server& srv) {
         auto committed = std::make_shared<Latch>();
         TransactedListener l(srv, "q", [&srv, committed](auto& m, const wire::SessionID& tx) {
           if (!m.hdr.JMSRedelivered) return srv.p()->rollback(tx);
           srv.p()->commit(tx);
           committed->open();
         });
         sendTo(srv, "q", textMessage("m"));
         ASSERT_TRUE(committed->wait());
         std::string at = "@" + std::to_string(l.r->uid);
         EXPECT_EQ(l.conn.sessionListener->waitFor(2), (std::vector<std::string>{"m" + at, "m*" + at}));
         srv.p()->closeSession(l.tx.in());
         EXPECT_EQ(leftIn(srv, "q"), "");
       }},
      {"a listener slower than the callback time-out", {"--callback-timeout", "0.3"},
       [](Server& srv) {
         Connection c(srv.p());
         wire::SessionID_var s = c.session();
         wire::UID_var r = receiver(srv.p(), s.in(), "q");
         auto done = std::make_shared<Latch>();
         c.sessionListener->work.set([done](const wire::JMSMsg&, const wire::UID&) {
           std::this_thread::sleep_for(1500ms);
           done->open();
         });
         srv.p()->setMessageListener(r.in());
         sendTo(srv, "q", textMessage("m"));
         // The session is closed and says so; the message goes to others, redelivered.
         EXPECT_EQ(c.listener->waitFor(1),
                   std::vector<std::string>{"104 session " + std::to_string(s->sid)});
         EXPECT_EQ(leftIn(srv, "q"), "m*");
         ASSERT_TRUE(done->wait());
         std::this_thread::sleep_for(100ms);
         EXPECT_EQ(c.sessionListener->waitFor(1).size(), 1u);  // pushed once, never overlapping
         EXPECT_EQ(c.sessionListener->mostRunning, 1);
       }},
      {"a durable subscription reopened with an empty selector instead of none", {},
       [](Server& srv) {
         Connection c(srv.p(), "durable-client");
         wire::SessionID_var s = c.session();
         wire::Destination t = destination("news", true);
         CORBA::WString_var name = wideDup("sub");
         auto open = [&](const std::optional<std::string>& selector) {
           return srv.p()->createDurableSubscriber(t, name.in(), s.in(), text(selector));
         };
         srv.p()->closeConsumer(wire::UID_var(open(std::nullopt)).in());
         send(srv.p(), wire::UID_var(srv.p()->createPublisher(optionalDestination("news", true),
                                                              s.in())).in(),
              textMessage("kept"));
         EXPECT_EQ(take(srv.p(), wire::UID_var(open("")).in()), "kept");
       }},
      {"stop waits for the onMessage under way", {},
       [](Server& srv) {
         for (bool close : {false}) {
           Connection c(srv.p());
           wire::SessionID_var s = c.session();
           wire::UID_var r = receiver(srv.p(), s.in(), "q");
           auto entered = std::make_shared<Latch>();
           auto finished = std::make_shared<std::atomic<bool>>(false);
           c.sessionListener->work.set([entered, finished](const wire::JMSMsg&, const wire::UID&) {
             entered->open();
             std::this_thread::sleep_for(300ms);
             *finished = true;
           });
           srv.p()->setMessageListener(r.in());
           sendTo(srv, "q", textMessage("m"));
           ASSERT_TRUE(entered->wait());
           if (close)
             c.close();
           else
             srv.p()->stop(c.id());
           EXPECT_TRUE(*finished) << (close ? "closeConnection" : "stop");
         }
       }},
  });
}

TEST(ProviderRobustness, NoClientStallsTheServer) {
  play({
      {"a long LIKE pattern over a long property", {},
       [](Server& srv) {
         Connection c(srv.p());
         wire::SessionID_var s = c.session();
         wire::JMSMsg m = textMessage("long");
         m.hdr.JMSProperties.length(1);
         m.hdr.JMSProperties[0].name = wideDup("p");
         m.hdr.JMSProperties[0].val.propString(wideDup(std::string(400000, 'a')));
         send(srv.p(), sender(srv.p(), s.in(), "q").in(), m);
         std::string selector = "p LIKE '%" + std::string(100000, 'a') + "b%'";
         wire::UID_var selective = receiver(srv.p(), s.in(), "q", selector);
         auto t0 = Clock::now();  // it took minutes, holding every other call
         EXPECT_EQ(take(srv.p(), selective.in()), std::nullopt);
         EXPECT_LT(Clock::now() - t0, 20s);
         EXPECT_EQ(take(srv.p(), receiver(srv.p(), s.in(), "q").in()), "long");
       }},
      {"a fault injected for 2^31 - 1 calls", {},
       [](Server& srv) {
         Connection c(srv.p(), std::nullopt, /*start=*/false);
         srv.control.fail("start", "BusyException", 2147483647);
         for (int i = 0; i < 3; ++i)
           EXPECT_EQ(raised([&] { srv.p()->start(c.id()); }), "BusyException");
         srv.control.reset();
         EXPECT_EQ(raised([&] { srv.p()->start(c.id()); }), "");
       }},
      {"SIGTERM while a listener never returns", {"--callback-timeout", "0"},
       [](Server& srv) {
         Connection c(srv.p());
         wire::SessionID_var s = c.session();
         Hang hang;
         c.sessionListener->work.set([hang](const wire::JMSMsg&, const wire::UID&) { hang(); });
         srv.p()->setMessageListener(wire::UID_var(receiver(srv.p(), s.in(), "q")).in());
         sendTo(srv, "q", textMessage("m"));
         stopsPromptly(srv, hang);
       }},
      {"SIGTERM while a ping never returns",
       {"--callback-timeout", "0", "--ping-interval", "0.05"},
       [](Server& srv) {
         Connection c(srv.p());
         Hang hang;
         c.listener->duringPing.set([hang] { hang(); });
         stopsPromptly(srv, hang);
       }},
  });
}

TEST(ProviderRobustness, MemoryDoesNotOnlyGrow) {
  play({
      {"expired messages on an unread queue and unused queues", {},
       [](Server& srv) {
         Connection c(srv.p());
         wire::SessionID_var s = c.session();
         wire::UID_var snd = sender(srv.p(), s.in(), "unread");
         wire::JMSMsg m = textMessage("short-lived");
         m.hdr.JMSExpiration = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count() +
                               3000;
         for (int i = 0; i < 100; ++i) send(srv.p(), snd.in(), m);
         for (int i = 0; i < 20; ++i)
           srv.p()->closeProducer(sender(srv.p(), s.in(), "temp-" + std::to_string(i)).in());
         EXPECT_EQ(srv.control.stats().find("messages=0 "), std::string::npos);
         EXPECT_TRUE(srv.statsReach("messages=0 queues=0 topics=0")) << srv.control.stats();
       }},
      {"many listening sessions, few push threads", {"--push-threads", "2"},
       [](Server& srv) {
         Connection c(srv.p());
         std::vector<wire::SessionID_var> sessions;
         c.sessionListener->work.set(
             [](const wire::JMSMsg&, const wire::UID&) { std::this_thread::sleep_for(20ms); });
         for (int i = 0; i < 6; ++i) {
           sessions.push_back(c.session());
           srv.p()->setMessageListener(receiver(srv.p(), sessions.back().in(), "work").in());
         }
         Connection producer(srv.p());
         wire::SessionID_var ps = producer.session();
         wire::UID_var snd = sender(srv.p(), ps.in(), "work");
         for (int i = 0; i < 24; ++i) send(srv.p(), snd.in(), textMessage("m"));
         EXPECT_EQ(c.sessionListener->waitFor(24).size(), 24u);
         EXPECT_LE(c.sessionListener->mostRunning, 2);
       }},
  });
}

TEST(ProviderRobustness, AMessageThatAlwaysFailsBecomesADeadLetter) {
  Server srv({"--max-delivery-failures", "2", "--dead-letter-queue", "dead"});
  Connection c(srv.p());
  wire::SessionID_var s = c.session();
  c.sessionListener->work.set([](const wire::JMSMsg& m, const wire::UID&) {
    if (bodyOf(m) != "poison") return;
    CORBA::WString_var reason = wideDup(" cannot take it ");
    throw wire::BadStateException(reason.in(), 0);
  });
  wire::UID_var r = receiver(srv.p(), s.in(), "orders");
  srv.p()->setMessageListener(r.in());
  Connection other(srv.p());
  wire::SessionID_var os = other.session();
  wire::UID_var snd = sender(srv.p(), os.in(), "orders");
  send(srv.p(), snd.in(), textMessage("poison", 9));
  send(srv.p(), snd.in(), textMessage("fine", 4));
  std::string at = "@" + std::to_string(r->uid);
  EXPECT_EQ(c.sessionListener->waitFor(3),
            (std::vector<std::string>{"poison" + at, "poison*" + at, "fine" + at}));

  wire::NullJMSMsg_var dead = srv.p()->consumeTimeOut(
      10000, wire::UID_var(receiver(srv.p(), os.in(), "dead")).in());
  ASSERT_TRUE(dead->_d());
  EXPECT_EQ(bodyOf(dead->val()), "poison");
  std::map<std::string, std::string> props;
  const wire::PropElems& p = dead->val().hdr.JMSProperties;
  for (CORBA::ULong i = 0; i < p.length(); ++i)
    if (p[i].val._d() == 8) props[narrow(p[i].name)] = narrow(p[i].val.propString());
  EXPECT_EQ(props["JMS_Quorix_DeadLetterReason"], "delivery failed 2 times");
  EXPECT_EQ(props["JMS_Quorix_DeadLetterOrigin"], "queue:orders");
  EXPECT_NE(srv.process.log().find("moved to queue \"dead\""), std::string::npos);
}

// Several transacted listeners commit or roll back inside onMessage while
// other clients send: every message is committed exactly once.
TEST(ProviderRobustness, TransactedListenersUnderLoadCommitEachMessageExactlyOnce) {
  constexpr int kProducers = 2, kEach = 150, kListeners = 4;
  Server srv({});
  std::mutex mutex;
  std::multiset<std::string> committed;
  int redeliveries = 0;
  std::condition_variable allIn;
  // Every third message is rolled back the first time it comes.
  auto work = [&](const wire::JMSMsg& m, const wire::SessionID& tx) {
    std::string body = bodyOf(m);
    if (std::stoi(body.substr(body.find(':') + 1)) % 3 == 0 && !m.hdr.JMSRedelivered) {
      srv.p()->rollback(tx);
      return;
    }
    srv.p()->commit(tx);
    std::lock_guard<std::mutex> lock(mutex);
    committed.insert(body);
    redeliveries += m.hdr.JMSRedelivered;
    allIn.notify_all();
  };
  std::vector<std::unique_ptr<TransactedListener>> listeners;
  for (int i = 0; i < kListeners; ++i)
    listeners.push_back(std::make_unique<TransactedListener>(srv, "stress", work));
  std::vector<std::thread> producers;
  for (int i = 0; i < kProducers; ++i)
    producers.emplace_back([&, i] {
      Connection c(srv.p());
      wire::SessionID_var s = c.session();
      wire::UID_var snd = sender(srv.p(), s.in(), "stress");
      for (int k = 0; k < kEach; ++k)
        send(srv.p(), snd.in(), textMessage(std::to_string(i) + ":" + std::to_string(k)));
    });
  for (auto& t : producers) t.join();
  {
    std::unique_lock<std::mutex> lock(mutex);
    allIn.wait_for(lock, 120s, [&] { return committed.size() >= size_t(kProducers * kEach); });
  }
  for (auto& l : listeners) l->conn.close();  // waits for the onMessage under way
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(committed.size(), size_t(kProducers * kEach));
  EXPECT_EQ(std::set<std::string>(committed.begin(), committed.end()).size(), committed.size());
  EXPECT_EQ(redeliveries, kProducers * ((kEach + 2) / 3));
  EXPECT_EQ(leftIn(srv, "stress"), "");
}

}  // namespace
}  // namespace qjms::test
