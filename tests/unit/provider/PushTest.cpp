#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

// Records pushes as "body" (or "body*" when redelivered), runs the listener's
// work (`inside`) and answers with a scripted outcome, Delivered once the
// script runs out. Flags overlapping calls; `running` (if set) counts the
// pushes under way across sinks and keeps the most seen.
class FakeSink : public MessageSink {
 public:
  struct Running {
    std::atomic<int> now{0}, most{0};
  };

  PushOutcome push(const Delivery& d) override {
    if (inCall_.exchange(true)) overlapped = true;
    if (running) {
      int n = ++running->now;
      for (int most = running->most; n > most && !running->most.compare_exchange_weak(most, n);) {}
    }
    PushOutcome out;
    std::function<void(const Delivery&)> work;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      out = script_.empty() ? PushOutcome::Delivered : script_.front();
      if (!script_.empty()) script_.pop_front();
      log_ += (log_.empty() ? u"" : u" ") + bodyOf(d.message) + (d.redelivered ? u"*" : u"");
      lastUid = d.consumer.uid;
      work = inside;
    }
    if (work) work(d);
    std::this_thread::sleep_for(1ms);
    if (running) --running->now;
    inCall_ = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++count_;
      cv_.notify_all();
    }
    return out;
  }
  void script(std::initializer_list<PushOutcome> outcomes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.insert(script_.end(), outcomes);
  }
  // The pushes so far, once `n` have returned (or after a generous wait).
  std::u16string waitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, 10s, [&] { return count_ >= n; });
    return log_;
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }
  bool inCall() const { return inCall_; }
  std::function<void(const Delivery&)> inside;  // set before the first push
  std::shared_ptr<Running> running;
  std::atomic<bool> overlapped{false};
  std::atomic<int32_t> lastUid{0};

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PushOutcome> script_;
  std::u16string log_;
  size_t count_ = 0;
  std::atomic<bool> inCall_{false};
};

class Push : public BrokerTest {
 protected:
  explicit Push(BrokerConfig cfg = {}) : BrokerTest(std::move(cfg)) {}
  std::shared_ptr<FakeSink> sink_ = std::make_shared<FakeSink>();
  ConnectionKey conn_ = connect({}, /*started=*/false);
  SessionKey session_ = session(conn_, false, sink_);
  EndpointKey producer_ = sender(session(conn_), u"q");

  EndpointKey listening(const SessionKey& s, std::u16string queue = u"q") {
    EndpointKey r = receiver(s, std::move(queue));
    broker_.setListener(r, true);
    return r;
  }
};

TEST_F(Push, ListenersOfASessionTakeTurnsInOrderOneAtATimeOnlyWhileStarted) {
  listening(session_, u"q");
  EndpointKey b = listening(session_, u"qb");
  EndpointKey pb = sender(session(conn_), u"qb");
  for (auto [x, y] : {std::pair{u"1", u"a"}, {u"2", u"b"}, {u"3", u"c"}}) {
    send(producer_, x);
    send(pb, y);
  }
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(sink_->count(), 0u);  // stopped
  broker_.start(conn_);
  EXPECT_EQ(sink_->waitFor(6), u"1 a 2 b 3 c");
  EXPECT_EQ(sink_->lastUid, b.uid);
  EXPECT_FALSE(sink_->overlapped);
  EXPECT_EQ(broker_.stats().messages, 0u);
}

TEST_F(Push, FailedPushReturnsTheMessageWhichIsRetriedAsRedelivered) {
  listening(session_);
  sink_->script({PushOutcome::Failed, PushOutcome::Failed});
  broker_.start(conn_);
  send(producer_, u"m");
  EXPECT_EQ(sink_->waitFor(3), u"m m* m*");
}

TEST_F(Push, ConsumerGoneOrUnsetListenerStopsPushesToThatConsumer) {
  EndpointKey gone = listening(session_, u"q"), unset = listening(session_, u"qb");
  EndpointKey pb = sender(session(conn_), u"qb");
  sink_->script({PushOutcome::ConsumerGone});
  broker_.start(conn_);
  send(producer_, u"m");
  send(pb, u"a");
  sink_->waitFor(2);
  broker_.setListener(unset, false);
  send(pb, u"b");
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(sink_->count(), 2u);
  std::u16string flags;
  EXPECT_EQ(drain(gone, &flags), u"m");  // still readable synchronously
  EXPECT_EQ(flags, u"R");
  EXPECT_EQ(drain(unset), u"b");
}

// A transacted listener commits or rolls back inside onMessage, the usual
// pattern: the pushed message is part of that transaction, and a failed push
// returns it only when the transaction did not settle it.
TEST_F(Push, ATransactedListenerSettlesThePushedMessageInsideOnMessage) {
  enum Work { Nothing, Commit, Rollback };
  struct Step {
    Work work;
    PushOutcome outcome;
  };
  struct Row {
    const char* what;
    std::vector<Step> steps;  // one per push
    const char16_t* pushes;
    const char16_t* leftAfterClose;  // with R for each redelivered one
  };
  const Row rows[] = {
      {"commit", {{Commit, PushOutcome::Delivered}}, u"m", u""},
      {"rollback, then commit the redelivery",
       {{Rollback, PushOutcome::Delivered}, {Commit, PushOutcome::Delivered}}, u"m m*", u""},
      {"commit, then the push fails", {{Commit, PushOutcome::Failed}}, u"m", u""},
      {"rollback, then the push fails",
       {{Rollback, PushOutcome::Failed}, {Commit, PushOutcome::Delivered}}, u"m m*", u""},
      {"the push fails, then nothing settles it",
       {{Nothing, PushOutcome::Failed}, {Nothing, PushOutcome::Delivered}}, u"m m*", u"mR"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto sink = std::make_shared<FakeSink>();
    ConnectionKey c = connect();
    SessionKey tx = session(c, /*transacted=*/true, sink);
    std::vector<Work> work;
    for (const Step& st : row.steps) {
      work.push_back(st.work);
      sink->script({st.outcome});
    }
    size_t n = 0;
    sink->inside = [&, work](const Delivery&) {
      Work w = n < work.size() ? work[n] : Nothing;
      ++n;
      if (w == Commit) broker_.commit(tx);
      if (w == Rollback) broker_.rollback(tx);
    };
    listening(tx, u"tq");
    send(sender(session(c), u"tq"), u"m");
    EXPECT_EQ(sink->waitFor(row.steps.size()), row.pushes);
    broker_.stop(c);  // the last push settled
    broker_.closeSession(tx);
    std::u16string flags, left = drain(receiver(session(connect()), u"tq"), &flags);
    std::u16string shown;
    for (size_t i = 0; i < left.size(); ++i) shown += std::u16string(1, left[i]) + (flags[i] == u'R' ? u"R" : u"");
    EXPECT_EQ(shown, row.leftAfterClose);
    EXPECT_EQ(sink->count(), row.steps.size());
    broker_.closeConnection(c);
  }
}

// No onMessage may reach the client after stop() or closeConnection returned.
TEST_F(Push, StopAndCloseConnectionReturnOnlyOnceThePushUnderWayIsOver) {
  struct Row {
    const char* what;
    std::function<void(const ConnectionKey&)> call;
  };
  const Row rows[] = {{"stop", [&](auto& c) { broker_.stop(c); }},
                      {"closeConnection", [&](auto& c) { broker_.closeConnection(c); }}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto sink = std::make_shared<FakeSink>();
    Gate entered, release;
    sink->inside = [&](const Delivery&) {
      entered.open();
      release.wait();
    };
    ConnectionKey c = connect();
    listening(session(c, false, sink));
    send(producer_, u"m");
    ASSERT_TRUE(entered.wait());
    std::atomic<bool> returned{false}, pushStillRunning{false};
    std::thread caller([&] {
      row.call(c);
      pushStillRunning = sink->inCall();
      returned = true;
    });
    for (int i = 0; i < 20 && !returned; ++i) std::this_thread::sleep_for(5ms);
    release.open();
    caller.join();
    EXPECT_FALSE(pushStillRunning);
    send(producer_, u"after");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sink->count(), 1u);  // nothing pushed after it returned
    EXPECT_EQ(drain(receiver(session(connect()), u"q")), u"after");
    broker_.dropConnection(c.cid);
  }
}

TEST_F(Push, AListenerMayCloseItsOwnSessionInsideOnMessage) {
  sink_->inside = [&](const Delivery&) { broker_.closeSession(session_); };
  listening(session_);
  broker_.start(conn_);
  send(producer_, u"m");
  EXPECT_EQ(sink_->waitFor(1), u"m");
  EXPECT_PROVIDER_ERROR(broker_.commit(session_), ErrorKind::SessionID);
}

struct EventLog : ConnectionCallbacks {
  PingResult ping(const ConnectionKey&) override { return PingResult::Alive; }
  bool serverEvent(int32_t code, const std::u16string&, const EventTarget& t) override {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back({code, t.session ? t.session->sid : 0});
    return true;
  }
  std::mutex mutex;
  std::vector<std::pair<int32_t, int32_t>> events;
};

// The client may still be inside onMessage after a time-out: the session gets
// nothing more, so nothing overlaps that call.
TEST_F(Push, ATimedOutPushClosesItsSessionAndReturnsTheMessage) {
  auto events = std::make_shared<EventLog>();
  ConnectionKey c = connect({}, true, events);
  SessionKey s = session(c, /*transacted=*/true, sink_);
  sink_->script({PushOutcome::TimedOut});
  EndpointKey r = listening(s);
  send(producer_, u"m");
  send(producer_, u"n");
  EXPECT_EQ(sink_->waitFor(1), u"m");
  broker_.stop(c);  // the push settled
  EXPECT_PROVIDER_ERROR(broker_.closeSession(s), ErrorKind::SessionID);
  EXPECT_PROVIDER_ERROR(broker_.setListener(r, true), ErrorKind::SessionID);
  std::u16string flags;
  EXPECT_EQ(drain(receiver(session(connect()), u"q"), &flags), u"mn");
  EXPECT_EQ(flags, u"R-");
  EXPECT_EQ(sink_->count(), 1u);
  for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(1ms)) {
    std::lock_guard<std::mutex> lock(events->mutex);
    if (!events->events.empty()) break;
  }
  std::lock_guard<std::mutex> lock(events->mutex);
  EXPECT_EQ(events->events, (std::vector<std::pair<int32_t, int32_t>>{{104, s.sid}}));
}

class BoundedPush : public Push {
 protected:
  static BrokerConfig config() {
    BrokerConfig cfg;
    cfg.pushThreads = 2;
    cfg.maxDeliveryFailures = 3;
    cfg.deadLetterQueue = u"dead";
    return cfg;
  }
  BoundedPush() : Push(config()) {}
};

TEST_F(BoundedPush, ListeningSessionsShareABoundedSetOfPushThreads) {
  constexpr int kSessions = 8, kEach = 5;
  auto running = std::make_shared<FakeSink::Running>();
  std::vector<std::shared_ptr<FakeSink>> sinks;
  ConnectionKey c = connect();
  EndpointKey p = sender(session(c), u"shared");
  for (int i = 0; i < kSessions; ++i) {
    sinks.push_back(std::make_shared<FakeSink>());
    sinks.back()->running = running;
    listening(session(c, false, sinks.back()), u"shared");
  }
  for (int i = 0; i < kSessions * kEach; ++i) send(p, u"m");
  size_t total = 0;
  for (int i = 0; i < 500 && total < size_t(kSessions * kEach); ++i) {
    std::this_thread::sleep_for(10ms);
    total = 0;
    for (auto& s : sinks) total += s->count();
  }
  EXPECT_EQ(total, size_t(kSessions * kEach));
  EXPECT_LE(running->most, 2);
  EXPECT_GE(running->most, 1);
}

// A message whose push keeps failing goes to the dead-letter queue, marked,
// and stops holding up what is behind it; one failing there is dropped.
TEST_F(BoundedPush, AMessageThatKeepsFailingBecomesADeadLetter) {
  std::vector<std::u16string> logged;
  std::mutex logMutex;
  BrokerConfig cfg = config();
  cfg.log = [&](const std::u16string& text) {
    std::lock_guard<std::mutex> lock(logMutex);
    logged.push_back(text);
  };
  Broker broker(withClock(cfg));
  ConnectionKey c = broker.connect({{}, {}, {}, u"vol", 1, nullptr});
  broker.start(c);
  auto sink = std::make_shared<FakeSink>();
  SessionKey s = broker.createSession(c, 1, /*transacted=*/true, sink);
  SessionKey plain = broker.createSession(c, 4, false, nullptr);
  EndpointKey p = broker.createProducer(plain, false, queue(u"q"));
  ConsumerSpec spec;
  spec.destination = queue(u"q");
  broker.setListener(broker.createConsumer(s, spec), true);
  auto settled = [&] {  // the push under way, if any, is over
    broker.stop(c);
    broker.start(c);
  };
  sink->script({PushOutcome::Failed, PushOutcome::TimedOut});  // then the session is gone
  broker.produce(p, std::nullopt, msg(u"poison", 9));
  broker.produce(p, std::nullopt, msg(u"fine", 4));
  EXPECT_EQ(sink->waitFor(2), u"poison poison*");
  settled();

  SessionKey s2 = broker.createSession(c, 4, false, sink);
  sink->script({PushOutcome::Failed});  // the third failure
  broker.setListener(broker.createConsumer(s2, spec), true);
  EXPECT_EQ(sink->waitFor(4), u"poison poison* poison* fine");
  settled();

  spec.destination = queue(u"dead");
  EndpointKey dead = broker.createConsumer(plain, spec);
  auto d = broker.receive(dead, Wait::none());
  ASSERT_TRUE(d);
  EXPECT_EQ(bodyOf(d), u"poison");
  EXPECT_EQ(d->message->property(u"JMS_Quorix_DeadLetterOrigin").s, u"queue:q");
  EXPECT_EQ(d->message->property(u"JMS_Quorix_DeadLetterReason").s, u"delivery failed 3 times");
  {
    std::lock_guard<std::mutex> lock(logMutex);
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find(u"moved to queue \"dead\""), std::u16string::npos);
  }

  // Failing in the dead-letter queue itself: dropped, not moved again.
  sink->script({PushOutcome::Failed, PushOutcome::Failed, PushOutcome::Failed});
  broker.setListener(broker.createConsumer(s2, spec), true);
  broker.produce(broker.createProducer(plain, false, queue(u"dead")), std::nullopt, msg(u"x"));
  EXPECT_EQ(sink->waitFor(7), u"poison poison* poison* fine x x* x*");
  settled();
  EXPECT_EQ(broker.stats().messages, 0u);
}

}  // namespace
}  // namespace quorix::provider::test
