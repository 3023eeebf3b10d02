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

#include "WireClient.h"

namespace qjms::test {
namespace {

using namespace wireclient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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

// A connection with a session listening on `queue`; its listener does `work`.
struct Listening {
  Listening(Server& srv, const std::string& queue, bool transacted = false)
      : conn(srv.p()), s(conn.session(transacted)), r(receiver(srv.p(), s.in(), queue)) {}
  void listen(Server& srv, std::function<void(const wire::JMSMsg&)> work) {
    conn.sessionListener->work.set([work](const wire::JMSMsg& m, const wire::UID&) { work(m); });
    srv.p()->setMessageListener(r.in());
  }
  std::string at() const { return "@" + std::to_string(r->uid); }
  Connection conn;
  wire::SessionID_var s;
  wire::UID_var r;
};

// What a plain receiver on another connection finds in `queue`.
std::string leftIn(Server& srv, const std::string& queue) {
  Connection c(srv.p());
  wire::SessionID_var s = c.session();
  return drain(srv.p(), receiver(srv.p(), s.in(), queue).in());
}

void sendTo(Server& srv, const std::string& queue, const wire::JMSMsg& m) {
  Connection c(srv.p());
  wire::SessionID_var s = c.session();
  send(srv.p(), sender(srv.p(), s.in(), queue).in(), m);
}

TEST(ProviderRobustness, NoMessageIsLostOrDuplicated) {
  play({
      {"a listener slower than the callback time-out", {"--callback-timeout", "0.3"},
       [](Server& srv) {
         Listening l(srv, "q");
         auto done = std::make_shared<Latch>();
         l.listen(srv, [done](const wire::JMSMsg&) {
           std::this_thread::sleep_for(1500ms);
           done->open();
         });
         sendTo(srv, "q", textMessage("m"));
         // The session is closed and says so; the message goes to others, redelivered.
         EXPECT_EQ(l.conn.listener->waitFor(1), std::vector<std::string>{"104 session " + std::to_string(l.s->sid)});
         EXPECT_EQ(leftIn(srv, "q"), "m*");
         ASSERT_TRUE(done->wait());
         std::this_thread::sleep_for(100ms);
         EXPECT_EQ(l.conn.sessionListener->waitFor(1).size(), 1u);  // pushed once, never overlapping
         EXPECT_EQ(l.conn.sessionListener->mostRunning, 1);
       }},
      {"a durable subscription reopened with an empty selector instead of none", {},
       [](Server& srv) {
         Connection c(srv.p(), "durable-client");
         wire::SessionID_var s = c.session();
         CORBA::WString_var name = wideDup("sub");
         auto open = [&](const std::optional<std::string>& selector) {
           return srv.p()->createDurableSubscriber(destination("news", true), name.in(), s.in(), text(selector));
         };
         srv.p()->closeConsumer(wire::UID_var(open(std::nullopt)).in());
         send(srv.p(), wire::UID_var(srv.p()->createPublisher(optionalDestination("news", true), s.in())).in(),
              textMessage("kept"));
         EXPECT_EQ(take(srv.p(), wire::UID_var(open("")).in()), "kept");
       }},
      {"a message that always fails becomes a dead letter",
       {"--max-delivery-failures", "2", "--dead-letter-queue", "dead"},
       [](Server& srv) {
         Listening l(srv, "orders");
         l.listen(srv, [](const wire::JMSMsg& m) {
           CORBA::WString_var reason = wideDup(" cannot take it ");
           if (bodyOf(m) == "poison") throw wire::BadStateException(reason.in(), 0);
         });
         sendTo(srv, "orders", textMessage("poison", 9));
         sendTo(srv, "orders", textMessage("fine", 4));
         EXPECT_EQ(l.conn.sessionListener->waitFor(3),
                   (std::vector<std::string>{"poison" + l.at(), "poison*" + l.at(), "fine" + l.at()}));
         Connection c(srv.p());
         wire::SessionID_var s = c.session();
         wire::NullJMSMsg_var dead =
             srv.p()->consumeTimeOut(10000, wire::UID_var(receiver(srv.p(), s.in(), "dead")).in());
         ASSERT_TRUE(dead->_d());
         EXPECT_EQ(bodyOf(dead->val()), "poison");
         std::map<std::string, std::string> props;
         const wire::PropElems& p = dead->val().hdr.JMSProperties;
         for (CORBA::ULong i = 0; i < p.length(); ++i)
           if (p[i].val._d() == 8) props[narrow(p[i].name)] = narrow(p[i].val.propString());
         EXPECT_EQ(props["JMS_Quorix_DeadLetterReason"], "delivery failed 2 times");
         EXPECT_EQ(props["JMS_Quorix_DeadLetterOrigin"], "queue:orders");
         EXPECT_NE(srv.process.log().find("moved to queue \"dead\""), std::string::npos);
       }},
  });
}

TEST(ProviderRobustness, NoClientStallsTheServerOrMakesItGrow) {
  play({
      {"SIGTERM while a listener never returns", {"--callback-timeout", "0"},
       [](Server& srv) {
         Listening l(srv, "q");
         Hang hang;
         l.listen(srv, [hang](const wire::JMSMsg&) { hang(); });
         sendTo(srv, "q", textMessage("m"));
         stopsPromptly(srv, hang);
       }},
      {"SIGTERM while a ping never returns", {"--callback-timeout", "0", "--ping-interval", "0.05"},
       [](Server& srv) {
         Connection c(srv.p());
         Hang hang;
         c.listener->duringPing.set([hang] { hang(); });
         stopsPromptly(srv, hang);
       }},
      {"expired messages on an unread queue and unused queues", {},
       [](Server& srv) {
         Connection c(srv.p());
         wire::SessionID_var s = c.session();
         wire::UID_var snd = sender(srv.p(), s.in(), "unread");
         wire::JMSMsg m = textMessage("short-lived");
         m.hdr.JMSExpiration = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch()).count() + 3000;
         for (int i = 0; i < 100; ++i) send(srv.p(), snd.in(), m);
         for (int i = 0; i < 20; ++i)
           srv.p()->closeProducer(sender(srv.p(), s.in(), "temp-" + std::to_string(i)).in());
         EXPECT_EQ(srv.control.stats().find("messages=0 "), std::string::npos);
         bool swept = false;  // by the server's own sweep, within a generous while
         for (auto until = Clock::now() + 10s; !swept && Clock::now() < until; std::this_thread::sleep_for(50ms))
           swept = srv.control.stats().find("messages=0 queues=0 topics=0") != std::string::npos;
         EXPECT_TRUE(swept) << srv.control.stats();
       }},
      {"many listening sessions, few push threads", {"--push-threads", "2"},
       [](Server& srv) {
         Connection c(srv.p());
         std::vector<wire::SessionID_var> sessions;
         c.sessionListener->work.set([](const wire::JMSMsg&, const wire::UID&) { std::this_thread::sleep_for(20ms); });
         for (int i = 0; i < 6; ++i) {
           sessions.push_back(c.session());
           srv.p()->setMessageListener(receiver(srv.p(), sessions.back().in(), "work").in());
         }
         for (int i = 0; i < 24; ++i) sendTo(srv, "work", textMessage("m"));
         EXPECT_EQ(c.sessionListener->waitFor(24).size(), 24u);
         EXPECT_LE(c.sessionListener->mostRunning, 2);
       }},
  });
}

// Transacted listeners commit or roll back inside onMessage while plain
// receivers compete for the same queue and other clients send: every message
// is taken exactly once.
TEST(ProviderRobustness, ListenersAndReceiversUnderLoadTakeEachMessageExactlyOnce) {
  constexpr int kProducers = 2, kEach = 150, kListeners = 3, kReceivers = 2;
  Server srv;
  std::mutex mutex;
  std::multiset<std::string> taken;
  int redeliveries = 0;
  std::atomic<int> rollbacks{0};
  std::condition_variable allIn;
  auto took = [&](const std::string& body, bool redelivered) {
    std::lock_guard<std::mutex> lock(mutex);
    taken.insert(body);
    redeliveries += redelivered;
    allIn.notify_all();
  };
  std::vector<std::unique_ptr<Listening>> listeners;
  for (int i = 0; i < kListeners; ++i) {
    listeners.push_back(std::make_unique<Listening>(srv, "stress", /*transacted=*/true));
    // Every third message is rolled back the first time it comes.
    listeners.back()->listen(srv, [&, tx = listeners.back()->s.in()](const wire::JMSMsg& m) {
      std::string body = bodyOf(m);
      if (std::stoi(body.substr(body.find(':') + 1)) % 3 == 0 && !m.hdr.JMSRedelivered) {
        ++rollbacks;
        return srv.p()->rollback(tx);
      }
      srv.p()->commit(tx);
      took(body, m.hdr.JMSRedelivered);
    });
  }
  std::atomic<int> producersLeft{kProducers};
  std::vector<std::thread> threads;
  for (int i = 0; i < kProducers + kReceivers; ++i)
    threads.emplace_back([&, i] {
      Connection c(srv.p());
      wire::SessionID_var s = c.session();
      if (i < kProducers) {
        wire::UID_var snd = sender(srv.p(), s.in(), "stress");
        for (int k = 0; k < kEach; ++k)
          send(srv.p(), snd.in(), textMessage(std::to_string(i) + ":" + std::to_string(k)));
        --producersLeft;
        return;
      }
      wire::UID_var r = receiver(srv.p(), s.in(), "stress");
      for (bool producing = true; producing;) {
        producing = producersLeft > 0;
        wire::NullJMSMsg_var got = srv.p()->consumeTimeOut(20, r.in());
        if (got->_d()) took(bodyOf(got->val()), got->val().hdr.JMSRedelivered);
      }
    });
  for (auto& t : threads) t.join();
  {
    std::unique_lock<std::mutex> lock(mutex);
    allIn.wait_for(lock, 120s, [&] { return taken.size() >= size_t(kProducers * kEach); });
  }
  for (auto& l : listeners) l->conn.close();  // waits for the onMessage under way
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(taken.size(), size_t(kProducers * kEach));
  EXPECT_EQ(std::set<std::string>(taken.begin(), taken.end()).size(), taken.size());
  EXPECT_EQ(redeliveries, rollbacks);
  EXPECT_EQ(leftIn(srv, "stress"), "");
}

}  // namespace
}  // namespace qjms::test
