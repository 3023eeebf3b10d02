// Pushes to a session's listener: order, turns, outcomes, and settling a
// transaction inside onMessage.
#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

class Push : public BrokerTest {
 protected:
  std::shared_ptr<FakeSink> sink_ = std::make_shared<FakeSink>();
  ConnectionKey conn_ = connect({}, /*started=*/false);
  SessionKey session_ = session(conn_, false, sink_);
  EndpointKey producer_ = sender(session(conn_), u"q");
};

TEST_F(Push, ListenersOfASessionTakeTurnsInOrderOneAtATimeOnlyWhileStarted) {
  listener(session_, u"q");
  EndpointKey b = listener(session_, u"qb");
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

TEST_F(Push, ConsumerGoneOrUnsetListenerStopsPushesToThatConsumer) {
  EndpointKey gone = listener(session_, u"q"), unset = listener(session_, u"qb");
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
  struct Row {
    // Per push: onMessage commits (C), rolls back (R) or neither (-), then the
    // push is delivered (+) or fails (!).
    const char* script;
    const char16_t* pushes;
    const char16_t* leftAfterClose;  // bodies, '/', then R or - per message
  };
  const Row rows[] = {
      {"C+", u"m", u"/"}, {"R+ C+", u"m m*", u"/"}, {"C!", u"m", u"/"},
      {"R! C+", u"m m*", u"/"}, {"-! -+", u"m m*", u"m/R"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    auto sink = std::make_shared<FakeSink>();
    ConnectionKey c = connect();
    SessionKey tx = session(c, /*transacted=*/true, sink);
    const std::string script = row.script;
    for (size_t i = 1; i < script.size(); i += 3)
      sink->script({script[i] == '+' ? PushOutcome::Delivered : PushOutcome::Failed});
    size_t n = 0;
    sink->inside = [&, script](const Delivery&) {
      char work = 3 * n < script.size() ? script[3 * n] : '-';
      ++n;
      if (work == 'C') broker_.commit(tx);
      if (work == 'R') broker_.rollback(tx);
    };
    listener(tx, u"tq");
    send(sender(session(c), u"tq"), u"m");
    const size_t pushes = (script.size() + 1) / 3;
    EXPECT_EQ(sink->waitFor(pushes), row.pushes);
    broker_.stop(c);  // the last push settled
    broker_.closeSession(tx);
    std::u16string flags, left = drain(receiver(session(connect()), u"tq"), &flags);
    EXPECT_EQ(left + u"/" + flags, row.leftAfterClose);
    EXPECT_EQ(sink->count(), pushes);
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
    listener(s, u"q");
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
  // Written under the broker's lock; shared, as the broker outlives this body.
  auto logged = std::make_shared<std::vector<std::u16string>>();
  BrokerConfig cfg;
  cfg.maxDeliveryFailures = 2;
  cfg.deadLetterQueue = u"dead";
  cfg.log = [logged](const std::u16string& text) { logged->push_back(text); };
  Broker& broker = use(cfg);
  ConnectionKey c = connect();
  auto sink = std::make_shared<FakeSink>();
  SessionKey plain = session(c);
  EndpointKey p = sender(plain, u"q");
  sink->script({PushOutcome::TimedOut});  // closes that session
  send(p, u"poison", 9);
  send(p, u"fine");
  listener(session(c, true, sink), u"q");
  EXPECT_EQ(sink->waitFor(1), u"poison");
  broker.stop(c);  // settled
  broker.start(c);
  sink->script({PushOutcome::Failed});
  listener(session(c, false, sink), u"q");
  EXPECT_EQ(sink->waitFor(3), u"poison poison* fine");
  auto d = take(receiver(plain, u"dead"));
  ASSERT_TRUE(d);
  EXPECT_EQ(bodyOf(d), u"poison");
  EXPECT_EQ(d->message->property(u"JMS_Quorix_DeadLetterReason").s, u"delivery failed 2 times");

  sink->script({PushOutcome::Failed, PushOutcome::Failed});
  send(sender(plain, u"dead"), u"x");
  listener(session(c, false, sink), u"dead");
  EXPECT_EQ(sink->waitFor(5), u"poison poison* fine x x*");
  broker.stop(c);
  EXPECT_EQ(broker.stats().messages, 0u);
  ASSERT_FALSE(logged->empty());
  EXPECT_NE(logged->back().find(u"dropped"), std::u16string::npos) << toUtf8(logged->back());
}

}  // namespace
}  // namespace quorix::provider::test
