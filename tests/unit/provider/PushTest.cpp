#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

// Records pushes as "body" (or "body*" when redelivered) and answers each with
// a scripted outcome, Delivered once the script runs out. Flags overlapping calls.
class FakeSink : public MessageSink {
 public:
  PushOutcome push(const Delivery& d) override {
    if (inCall_.exchange(true)) overlapped = true;
    std::this_thread::sleep_for(1ms);
    std::lock_guard<std::mutex> lock(mutex_);
    log_ += bodyOf(d) + (d.redelivered ? u"*" : u"");
    ++count_;
    lastUid = d.consumer.uid;
    PushOutcome out = script_.empty() ? PushOutcome::Delivered : script_.front();
    if (!script_.empty()) script_.pop_front();
    cv_.notify_all();
    inCall_ = false;
    return out;
  }
  void script(std::initializer_list<PushOutcome> outcomes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.insert(script_.end(), outcomes);
  }
  // The pushes so far, once there are `n` (or after a generous wait).
  std::u16string waitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, 10s, [&] { return count_ >= n; });
    return log_;
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }
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
  EXPECT_EQ(sink_->waitFor(6), u"1a2b3c");
  EXPECT_EQ(sink_->lastUid, b.uid);
  EXPECT_FALSE(sink_->overlapped);
  EXPECT_EQ(broker_.stats().messages, 0u);
}

TEST_F(Push, FailedPushReturnsTheMessageWhichIsRetriedAsRedelivered) {
  listening(session_);
  sink_->script({PushOutcome::Failed, PushOutcome::Failed});
  broker_.start(conn_);
  send(producer_, u"m");
  EXPECT_EQ(sink_->waitFor(3), u"mm*m*");
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

TEST_F(Push, TransactedPushIsRemovedAtCommitReturnedAtRollback) {
  SessionKey tx = session(conn_, true, sink_);
  EndpointKey r = listening(tx);
  broker_.start(conn_);
  send(producer_, u"m");
  sink_->waitFor(1);
  broker_.setListener(r, false);
  std::optional<Delivery> back;  // once the push settled into the transaction
  for (int i = 0; i < 1000 && !back; ++i, std::this_thread::sleep_for(1ms)) {
    broker_.rollback(tx);
    back = take(r);
  }
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->redelivered);
  broker_.commit(tx);
  broker_.rollback(tx);
  EXPECT_FALSE(take(r));
}

TEST_F(Push, ClosingTheConnectionWhilePushingEndsCleanly) {
  listening(session_);
  broker_.start(conn_);
  for (int i = 0; i < 50; ++i) send(producer_, u"x");
  sink_->waitFor(5);
  broker_.closeConnection(conn_);
  size_t seen = sink_->count();
  std::this_thread::sleep_for(20ms);
  EXPECT_LE(sink_->count(), seen + 1);  // at most the push that was under way
}

}  // namespace
}  // namespace quorix::provider::test
