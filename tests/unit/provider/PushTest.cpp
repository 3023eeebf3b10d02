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
// script runs out. Flags overlapping calls.
class FakeSink : public MessageSink {
 public:
  PushOutcome push(const Delivery& d) override {
    if (inCall_.exchange(true)) overlapped = true;
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
  std::function<void(const Delivery&)> inside;  // set before the first push
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

// Neither close waits for the onMessage under way: it is the caller.
TEST_F(Push, AListenerMayCloseItsOwnSessionOrConnectionInsideOnMessage) {
  for (bool wholeConnection : {false, true}) {
    SCOPED_TRACE(wholeConnection);
    ConnectionKey c = connect({}, false);
    SessionKey s = session(c, false, sink_);
    sink_->inside = [&](const Delivery&) {
      if (wholeConnection) broker_.closeConnection(c);
      else broker_.closeSession(s);
    };
    listening(s);
    broker_.start(c);
    send(producer_, u"m");
    EXPECT_EQ(sink_->waitFor(wholeConnection ? 2 : 1), wholeConnection ? u"m m" : u"m");
    EXPECT_PROVIDER_ERROR(broker_.commit(s),
                          wholeConnection ? ErrorKind::ConnectionID : ErrorKind::SessionID);
  }
}

// A message whose push keeps failing (time-outs count) goes to the dead-letter
// queue, marked, instead of holding up what is behind it; one that keeps
// failing there is dropped.
TEST_F(BrokerTest, AMessageWhosePushKeepsFailingBecomesADeadLetter) {
  std::vector<std::u16string> logged;  // written under the broker's lock
  BrokerConfig cfg;
  cfg.maxDeliveryFailures = 2;
  cfg.deadLetterQueue = u"dead";
  cfg.log = [&](const std::u16string& text) { logged.push_back(text); };
  Broker broker(withClock(cfg));
  ConnectionKey c = broker.connect({{}, {}, {}, u"vol", 1, nullptr});
  broker.start(c);
  auto sink = std::make_shared<FakeSink>();
  SessionKey plain = broker.createSession(c, 4, false, nullptr);
  EndpointKey p = broker.createProducer(plain, false, std::nullopt);
  auto listen = [&](const char16_t* name, bool transacted) {
    ConsumerSpec spec;
    spec.destination = queue(name);
    broker.setListener(broker.createConsumer(broker.createSession(c, 1, transacted, sink), spec), true);
  };
  sink->script({PushOutcome::TimedOut});  // closes that session
  broker.produce(p, queue(u"q"), msg(u"poison", 9));
  broker.produce(p, queue(u"q"), msg(u"fine", 4));
  listen(u"q", true);
  EXPECT_EQ(sink->waitFor(1), u"poison");
  broker.stop(c);  // settled
  broker.start(c);
  sink->script({PushOutcome::Failed});
  listen(u"q", false);
  EXPECT_EQ(sink->waitFor(3), u"poison poison* fine");

  ConsumerSpec deadSpec;
  deadSpec.destination = queue(u"dead");
  auto d = broker.receive(broker.createConsumer(plain, deadSpec), Wait::none());
  ASSERT_TRUE(d);
  EXPECT_EQ(bodyOf(d), u"poison");
  EXPECT_EQ(d->message->property(u"JMS_Quorix_DeadLetterReason").s, u"delivery failed 2 times");

  sink->script({PushOutcome::Failed, PushOutcome::Failed});
  broker.produce(p, queue(u"dead"), msg(u"x"));
  listen(u"dead", false);
  EXPECT_EQ(sink->waitFor(5), u"poison poison* fine x x*");
  broker.stop(c);
  EXPECT_EQ(broker.stats().messages, 0u);
  ASSERT_FALSE(logged.empty());
  EXPECT_NE(logged.back().find(u"dropped"), std::u16string::npos) << toUtf8(logged.back());
}

}  // namespace
}  // namespace quorix::provider::test
