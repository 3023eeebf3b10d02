// What a broker with a storage keeps across a restart, clean or not. A crash
// is a second broker started on a copy of what the storage holds at that
// moment, while the first one runs on, unseen.
#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "core/MemoryStorage.h"

namespace quorix::provider::test {
namespace {

BrokerConfig kept(std::shared_ptr<MemoryStorage> storage = std::make_shared<MemoryStorage>()) {
  BrokerConfig c;
  c.supportsPersistent = true;
  c.storage = std::move(storage);
  c.codec = std::make_shared<TestCodec>();
  c.maxDeliveryFailures = 1;
  return c;
}

class Restart : public BrokerTest {
 protected:
  Restart() : BrokerTest(kept()) {}
  ~Restart() override {
    for (auto& g : holds_) g->open();
  }

  MemoryStorage& storage() { return static_cast<MemoryStorage&>(*b().config().storage); }
  // The next run finds what the storage holds now; a clean restart first
  // shuts the current run down.
  void restart(bool clean) {
    if (clean) b().shutdown();
    use(kept(std::make_shared<MemoryStorage>(storage().load()))).restore();
  }
  SentMessage sendKept(const EndpointKey& p, std::u16string body, int32_t priority = 4) {
    return send(p, std::move(body), priority, kPersistent);
  }
  // A sink whose pushes wait for `hold` to open (at the latest as the test ends).
  std::shared_ptr<FakeSink> heldSink(std::shared_ptr<Gate>& hold) {
    hold = holds_.emplace_back(std::make_shared<Gate>());
    auto sink = std::make_shared<FakeSink>();
    sink->inside = [hold](const Delivery&) { hold->wait(); };
    return sink;
  }
  std::u16string drainQueue(std::u16string name, std::u16string* flags) {
    return drain(receiver(session(connect()), std::move(name)), flags);
  }

  std::vector<std::shared_ptr<Gate>> holds_;
};

// Acknowledged (received outside a transaction, committed) is gone; handed
// out and not acknowledged comes back redelivered, in its place by priority,
// then arrival; non-persistent is gone.
TEST_F(Restart, QueuesComeBackInOrderWithWhatWasHandedOutMarkedRedelivered) {
  for (bool clean : {false, true}) {
    SCOPED_TRACE(clean ? "clean restart" : "crash");
    ConnectionKey c = connect();
    SessionKey s = session(c), tx1 = session(c, true), tx2 = session(c, true);
    EndpointKey p = sender(s, u"q");
    sendKept(p, u"a");
    sendKept(p, u"b", 9);
    sendKept(p, u"c");
    sendKept(p, u"d", 0);
    send(p, u"n", 9);  // non-persistent
    sendKept(p, u"e");
    EXPECT_EQ(bodyOf(take(receiver(s, u"q"))), u"b");
    EndpointKey r1 = receiver(tx1, u"q"), r2 = receiver(tx2, u"q");
    EXPECT_EQ(bodyOf(take(r1)), u"n");
    EXPECT_EQ(bodyOf(take(r1)), u"a");
    b().commit(tx1);
    EXPECT_EQ(bodyOf(take(r2)), u"c");  // not committed

    restart(clean);
    std::u16string flags;
    EXPECT_EQ(drainQueue(u"q", &flags), u"ced");
    EXPECT_EQ(flags, u"R--");
  }
}

// A push is acknowledged when onMessage returns; one under way at a crash
// comes back marked.
TEST_F(Restart, APushUnderWayAtACrashComesBackRedelivered) {
  std::shared_ptr<Gate> ack, held;
  auto pushedAndAcked = heldSink(ack), pushedOnly = heldSink(held);
  ConnectionKey c = connect();
  EndpointKey p = sender(session(c), u"q");
  sendKept(p, u"x");
  sendKept(p, u"y");
  listener(session(c, false, pushedAndAcked), u"q");
  ASSERT_TRUE(pushedAndAcked->entered.wait());
  b().closeConnection(c);  // no more pushes to it
  ack->open();
  listener(session(connect(), false, pushedOnly), u"q");
  ASSERT_TRUE(pushedOnly->entered.wait());
  EXPECT_EQ(pushedAndAcked->waitFor(1) + pushedOnly->waitFor(0), u"xy");

  restart(false);
  // "x" may be back too, since no one waits for the write that acknowledges
  // a push; if it is, it is marked as well.
  std::u16string flags, back = drainQueue(u"q", &flags);
  EXPECT_TRUE(back == u"y" || back == u"xy") << toUtf8(back);
  EXPECT_EQ(flags, std::u16string(back.size(), u'R'));
}

TEST_F(Restart, DurableSubscriptionsKeepTheirDefinitionAndBacklog) {
  ConnectionKey c = connect(u"app");
  SessionKey s = session(c);
  EndpointKey pub = publisher(s, u"t");
  auto wantsOne = std::make_shared<PropertyEquals>(u"k", 1);
  b().closeConsumer(subscriber(s, u"t", u"dur", u"k = 1", wantsOne));
  b().closeConsumer(subscriber(s, u"t", u"gone"));
  b().unsubscribe(s, u"gone");
  EndpointKey plain = subscriber(s, u"t");
  auto publish = [&](std::u16string body, int64_t k, int32_t mode) {
    OutgoingMessage m = msg(std::move(body), 4, 0, {{u"k", k}});
    m.deliveryMode = mode;
    send(pub, std::move(m));
  };
  publish(u"x", 1, kPersistent);
  publish(u"y", 0, kPersistent);
  publish(u"z", 1, kNonPersistent);
  EXPECT_EQ(drain(plain), u"xyz");

  restart(false);
  // Its selector was kept, and still applies while no one reads.
  c = connect(u"app");
  s = session(c);
  pub = publisher(s, u"t");
  publish(u"w", 1, kPersistent);
  publish(u"v", 0, kPersistent);
  std::u16string flags;
  EXPECT_EQ(drain(subscriber(s, u"t", u"dur", u"k = 1", wantsOne), &flags), u"xw");
  EXPECT_EQ(flags, u"--");
  StorageContents left = storage().load();
  ASSERT_EQ(left.sources.size(), 1u);  // "gone" is, and the plain subscriber was never kept
  EXPECT_EQ(left.sources[0].name, u"dur");
  EXPECT_EQ(left.sources[0].selector, std::optional<std::u16string>(u"k = 1"));
  EXPECT_TRUE(left.entries.empty());
}

TEST_F(Restart, ATransactionReachesTheStorageInOneBatchAtCommit) {
  ConnectionKey c = connect();
  SessionKey s = session(c), tx = session(c, true);
  sendKept(sender(s, u"in"), u"taken");
  EndpointKey r = receiver(tx, u"in"), p = sender(tx, u"out");
  EXPECT_EQ(bodyOf(take(r)), u"taken");
  sendKept(p, u"one");
  sendKept(p, u"two");
  size_t before = storage().applied();
  restart(false);  // nothing of it yet: "taken" is back, marked
  std::u16string flags;
  EXPECT_EQ(drainQueue(u"in", &flags) + drainQueue(u"out", &flags), u"taken");
  EXPECT_EQ(flags, u"R");
  current_ = nullptr;
  b().commit(tx);
  EXPECT_EQ(storage().applied(), before + 1);
  restart(false);
  EXPECT_EQ(drainQueue(u"in", nullptr) + drainQueue(u"out", nullptr), u"onetwo");
}

TEST_F(Restart, ExpiredMessagesAreDeletedFromTheStorage) {
  ConnectionKey c = connect();
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q");
  for (auto [body, ttl] : {std::pair{u"soon", 10}, {u"later", 20}, {u"never", 0}}) {
    OutgoingMessage m = msg(body, 4, ttl ? clock_.load() + ttl : 0);
    m.deliveryMode = kPersistent;
    send(p, std::move(m));
  }
  clock_ += 10;
  EXPECT_EQ(b().sweep().expired, 1u);  // while running
  clock_ += 10;
  restart(false);  // and found expired at start
  b().shutdown();
  StorageContents left = storage().load();
  ASSERT_EQ(left.messages.size(), 1u);
  EXPECT_EQ(left.messages[0].expiration, 0);
}

TEST_F(Restart, ADeadLetterStaysKeptAndItsOriginDoesNot) {
  auto sink = std::make_shared<FakeSink>();
  sink->script({PushOutcome::Failed});
  ConnectionKey c = connect();
  sendKept(sender(session(c), u"q"), u"m");
  listener(session(c, false, sink), u"q");
  ASSERT_TRUE(sink->entered.wait());
  b().closeConnection(c);
  restart(true);
  EXPECT_EQ(drainQueue(u"q", nullptr), u"");
  std::optional<Delivery> d = take(receiver(session(connect()), u"DLQ"));
  ASSERT_TRUE(d);
  EXPECT_EQ(bodyOf(d), u"m");
  EXPECT_EQ(d->message->property(u"JMS_Quorix_DeadLetterOrigin").s, u"queue:q");
}

// Fails every write once told to.
struct FailingStorage : MemoryStorage {
  void apply(const std::vector<StorageStep>& steps) override {
    if (failing) throw StorageError("disk full");
    MemoryStorage::apply(steps);
  }
  std::atomic<bool> failing{false};
};

class BrokenStorage : public BrokerTest {
 protected:
  BrokenStorage() : BrokerTest(kept(std::make_shared<FailingStorage>())) {}
};

TEST_F(BrokenStorage, RefusesPersistentWorkAndKeepsNonPersistentGoing) {
  SessionKey s = session(connect(u"app")), tx = session(connect(), true);
  EndpointKey p = sender(s, u"q"), r = receiver(s, u"q");
  send(sender(tx, u"q"), u"refused at commit", 4, kPersistent);
  static_cast<FailingStorage&>(*broker_.config().storage).failing = true;
  EXPECT_PROVIDER_ERROR(send(p, u"lost", 4, kPersistent), ErrorKind::Store);
  EXPECT_PROVIDER_ERROR(send(p, u"refused", 4, kPersistent), ErrorKind::Store);
  EXPECT_PROVIDER_ERROR(subscriber(s, u"t", u"dur"), ErrorKind::Store);
  EXPECT_PROVIDER_ERROR(broker_.commit(tx), ErrorKind::Store);
  // "lost" was never acknowledged, and cannot be now; it stays.
  EXPECT_PROVIDER_ERROR(take(r), ErrorKind::Store);
  EXPECT_PROVIDER_ERROR(take(r), ErrorKind::Store);
  send(sender(s, u"other"), u"plain");
  EXPECT_EQ(drain(receiver(s, u"other")), u"plain");
}

}  // namespace
}  // namespace quorix::provider::test
