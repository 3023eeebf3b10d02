#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <thread>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

// Records pushes and answers each with a scripted outcome (Delivered once
// the script runs out). Flags overlapping calls.
class FakeSink : public MessageSink {
 public:
  PushOutcome push(const Delivery& d) override {
    if (inCall_.exchange(true)) overlapped_ = true;
    std::this_thread::sleep_for(1ms);
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back({bodyOf(d), d.redelivered, d.consumer.uid});
    PushOutcome out = PushOutcome::Delivered;
    if (!script_.empty()) {
      out = script_.front();
      script_.pop_front();
    }
    cv_.notify_all();
    inCall_ = false;
    return out;
  }
  void script(std::initializer_list<PushOutcome> outcomes) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.insert(script_.end(), outcomes);
  }
  struct Entry {
    std::u16string body;
    bool redelivered;
    int32_t uid;
  };
  // Waits (generously) until `n` pushes were made.
  std::vector<Entry> waitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, 10s, [&] { return log_.size() >= n; });
    return log_;
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_.size();
  }
  bool overlapped() const { return overlapped_; }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PushOutcome> script_;
  std::vector<Entry> log_;
  std::atomic<bool> inCall_{false}, overlapped_{false};
};

class Push : public BrokerTest {
 protected:
  std::shared_ptr<FakeSink> sink_ = std::make_shared<FakeSink>();
  ConnectionKey conn_ = connect({}, /*started=*/false);
  SessionKey session_ = session(conn_, false, sink_);
  EndpointKey producer_ = sender(session(conn_), u"q");
};

TEST_F(Push, PushesInOrderOnlyWhileStartedOneAtATime) {
  EndpointKey r = receiver(session_, u"q");
  broker_.setListener(r, true);
  for (auto b : {u"1", u"2", u"3"}) send(producer_, b);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(sink_->count(), 0u);  // stopped
  broker_.start(conn_);
  auto log = sink_->waitFor(3);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].body + log[1].body + log[2].body, u"123");
  EXPECT_EQ(log[0].uid, r.uid);
  EXPECT_FALSE(sink_->overlapped());
  EXPECT_EQ(broker_.stats().messages, 0u);
}

TEST_F(Push, FailedPushReturnsTheMessageWhichIsRetriedAsRedelivered) {
  EndpointKey r = receiver(session_, u"q");
  sink_->script({PushOutcome::Failed, PushOutcome::Failed});
  broker_.setListener(r, true);
  broker_.start(conn_);
  send(producer_, u"m");
  auto log = sink_->waitFor(3);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_FALSE(log[0].redelivered);
  EXPECT_TRUE(log[1].redelivered);
  EXPECT_TRUE(log[2].redelivered);
  EXPECT_EQ(log[2].body, u"m");
}

TEST_F(Push, SessionGoneClosesTheSessionAndKeepsTheMessage) {
  EndpointKey r = receiver(session_, u"q");
  sink_->script({PushOutcome::SessionGone});
  broker_.setListener(r, true);
  broker_.start(conn_);
  send(producer_, u"m");
  sink_->waitFor(1);
  for (int i = 0; i < 1000 && broker_.stats().sessions == 2; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_PROVIDER_ERROR(take(r), ErrorKind::SessionID);
  auto again = take(receiver(session(conn_), u"q"));
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->redelivered);
}

TEST_F(Push, ConsumerGoneStopsPushesToThatConsumerOnly) {
  EndpointKey r = receiver(session_, u"q");
  sink_->script({PushOutcome::ConsumerGone});
  broker_.setListener(r, true);
  broker_.start(conn_);
  send(producer_, u"m");
  sink_->waitFor(1);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(sink_->count(), 1u);
  auto kept = take(r);  // still readable synchronously
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->redelivered);
}

TEST_F(Push, UnsetListenerStopsPushes) {
  EndpointKey r = receiver(session_, u"q");
  broker_.setListener(r, true);
  broker_.start(conn_);
  send(producer_, u"a");
  sink_->waitFor(1);
  broker_.setListener(r, false);
  send(producer_, u"b");
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(sink_->count(), 1u);
  EXPECT_EQ(bodyOf(take(r)), u"b");
}

TEST_F(Push, TransactedPushIsRemovedAtCommitReturnedAtRollback) {
  SessionKey tx = session(conn_, true, sink_);
  EndpointKey r = receiver(tx, u"q");
  broker_.setListener(r, true);
  broker_.start(conn_);
  send(producer_, u"m");
  sink_->waitFor(1);
  for (int i = 0; i < 1000 && sink_->count() < 1; ++i) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(10ms);  // let the push settle into the transaction
  broker_.setListener(r, false);
  broker_.rollback(tx);
  auto back = take(r);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->redelivered);
  broker_.commit(tx);
  broker_.rollback(tx);
  EXPECT_FALSE(take(r));
}

TEST_F(Push, ListenersOfOneSessionShareItsPushesRoundRobin) {
  EndpointKey a = receiver(session_, u"q");
  EndpointKey b = receiver(session_, u"qb");
  EndpointKey pb = sender(session(conn_), u"qb");
  broker_.setListener(a, true);
  broker_.setListener(b, true);
  for (int i = 0; i < 3; ++i) {
    send(producer_, u"a");
    send(pb, u"b");
  }
  broker_.start(conn_);
  auto log = sink_->waitFor(6);
  ASSERT_EQ(log.size(), 6u);
  std::u16string order;
  for (auto& e : log) order += e.body;
  EXPECT_EQ(order, u"ababab");
  EXPECT_FALSE(sink_->overlapped());
}

TEST_F(Push, ClosingTheConnectionWhilePushingEndsCleanly) {
  EndpointKey r = receiver(session_, u"q");
  broker_.setListener(r, true);
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
