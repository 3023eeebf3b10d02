#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

TEST_F(BrokerTest, SendAssignsUniqueIdentifiersAndTheClockTime) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  SentMessage a = send(p, u"a");
  SentMessage b = send(p, u"b");
  EXPECT_EQ(a.id.substr(0, 3), u"ID:");
  EXPECT_NE(a.id, b.id);
  EXPECT_EQ(a.timestamp, clock_.load());
  auto got = take(receiver(s, u"q"));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->message->id, a.id);
  EXPECT_EQ(got->message->timestamp, a.timestamp);
  EXPECT_FALSE(got->redelivered);
}

TEST_F(BrokerTest, QueueDeliversByPriorityThenFifo) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  send(p, u"1", 4);
  send(p, u"2", 7);
  send(p, u"3", 4);
  send(p, u"4", 0);
  send(p, u"5", 7);
  EndpointKey r = receiver(s, u"q");
  std::u16string order;
  while (auto d = take(r)) order += bodyOf(d);
  EXPECT_EQ(order, u"25134");
}

TEST_F(BrokerTest, ReceiverWithFilterTakesOnlyMatchingMessagesOthersStay) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  broker_.produce(p, std::nullopt, msg(u"red", 4, 0, {{u"colour", 1}}));
  broker_.produce(p, std::nullopt, msg(u"blue", 4, 0, {{u"colour", 2}}));
  EndpointKey blue = receiver(s, u"q", std::make_shared<PropertyEquals>(u"colour", 2));
  EXPECT_EQ(bodyOf(take(blue)), u"blue");
  EXPECT_FALSE(take(blue));
  EXPECT_EQ(bodyOf(take(receiver(s, u"q"))), u"red");
}

TEST_F(BrokerTest, StoppedConnectionDeliversNothingUntilStarted) {
  ConnectionKey c = connect({}, /*started=*/false);
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q");
  EndpointKey r = receiver(s, u"q");
  send(p, u"a");
  EXPECT_FALSE(take(r));
  EXPECT_FALSE(broker_.receive(r, Wait::until(std::chrono::steady_clock::now() + 20ms)));
  std::thread starter([&] {
    std::this_thread::sleep_for(30ms);
    broker_.start(c);
  });
  EXPECT_EQ(bodyOf(broker_.receive(r, Wait::forever())), u"a");
  starter.join();
  broker_.stop(c);
  send(p, u"b");
  EXPECT_FALSE(take(r));
}

TEST_F(BrokerTest, TimedReceiveReturnsNothingWhenTimeRunsOut) {
  EndpointKey r = receiver(session(connect()), u"q");
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(broker_.receive(r, Wait::until(t0 + 50ms)));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 50ms);
}

TEST_F(BrokerTest, BlockedReceiveWakesForAMessageAndDoesNotBlockOtherCalls) {
  ConnectionKey c = connect();
  EndpointKey r = receiver(session(c), u"q");
  std::optional<Delivery> got;
  std::thread waiter([&] { got = broker_.receive(r, Wait::forever()); });
  std::this_thread::sleep_for(20ms);
  // Other calls go through while the receive waits.
  SessionKey other = session(connect());
  send(sender(other, u"q"), u"hello");
  waiter.join();
  EXPECT_EQ(bodyOf(got), u"hello");
}

// Closing what a blocked receive depends on ends it with the matching failure.
struct CloseCase {
  const char* name;
  void (*close)(Broker&, const EndpointKey&);
  ErrorKind expected;
};

class ClosingWakesReceive : public BrokerTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingWakesReceive, WithMatchingError) {
  EndpointKey r = receiver(session(connect()), u"q");
  std::optional<ErrorKind> seen;
  std::thread waiter([&] {
    try {
      broker_.receive(r, Wait::forever());
    } catch (const ProviderError& e) {
      seen = e.kind();
    }
  });
  std::this_thread::sleep_for(20ms);
  GetParam().close(broker_, r);
  waiter.join();
  ASSERT_TRUE(seen);
  EXPECT_EQ(errorKindName(*seen), errorKindName(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClosingWakesReceive,
    ::testing::Values(
        CloseCase{"Consumer", [](Broker& b, const EndpointKey& k) { b.closeConsumer(k); },
                  ErrorKind::Consumer},
        CloseCase{"Session", [](Broker& b, const EndpointKey& k) { b.closeSession(k.session); },
                  ErrorKind::SessionID},
        CloseCase{"Connection",
                  [](Broker& b, const EndpointKey& k) { b.closeConnection(k.session.connection); },
                  ErrorKind::ConnectionID},
        CloseCase{"Dropped",
                  [](Broker& b, const EndpointKey& k) { b.dropConnection(k.session.connection.cid); },
                  ErrorKind::ConnectionID},
        CloseCase{"Shutdown", [](Broker& b, const EndpointKey&) { b.shutdown(); },
                  ErrorKind::BadState}),
    [](const auto& info) { return info.param.name; });

TEST_F(BrokerTest, CompetingConsumersGetEachMessageExactlyOnce) {
  constexpr int kMessages = 2000, kConsumers = 4;
  ConnectionKey c = connect();
  std::vector<EndpointKey> receivers;
  for (int i = 0; i < kConsumers; ++i) receivers.push_back(receiver(session(c), u"work"));
  std::vector<std::vector<std::u16string>> got(kConsumers);
  std::vector<std::thread> threads;
  for (int i = 0; i < kConsumers; ++i)
    threads.emplace_back([&, i] {
      try {
        while (auto d = broker_.receive(receivers[i], Wait::forever()))
          got[i].push_back(bodyOf(*d));
      } catch (const ProviderError&) {  // closed at the end
      }
    });
  std::thread producerThread([&] {
    EndpointKey p = sender(session(c), u"work");
    for (int i = 0; i < kMessages; ++i) send(p, u16(int64_t(i)));
  });
  producerThread.join();
  for (;;) {  // wait until the queue drained
    if (broker_.stats().messages == 0) break;
    std::this_thread::sleep_for(5ms);
  }
  for (auto& r : receivers) broker_.closeConsumer(r);
  for (auto& t : threads) t.join();
  std::set<std::u16string> all;
  size_t total = 0;
  for (auto& v : got) {
    total += v.size();
    all.insert(v.begin(), v.end());
  }
  EXPECT_EQ(total, size_t(kMessages));
  EXPECT_EQ(all.size(), size_t(kMessages));
}

TEST_F(BrokerTest, ExpiredMessagesAreNeverDelivered) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  int64_t now = clock_.load();
  broker_.produce(p, std::nullopt, msg(u"stale", 4, now - 1));
  broker_.produce(p, std::nullopt, msg(u"soon", 4, now + 100));
  broker_.produce(p, std::nullopt, msg(u"never", 4, 0));
  clock_ += 100;
  EndpointKey r = receiver(s, u"q");
  EXPECT_EQ(bodyOf(take(r)), u"never");
  EXPECT_FALSE(take(r));
}

TEST_F(BrokerTest, BrowserShowsQueueInOrderWithoutConsuming) {
  ConnectionKey c = connect({}, /*started=*/false);  // browsing needs no start
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q");
  send(p, u"a", 1);
  send(p, u"b", 6);
  ConsumerSpec spec;
  spec.kind = ConsumerSpec::Browser;
  spec.destination = queue(u"q");
  EndpointKey browser = broker_.createConsumer(s, spec);
  EXPECT_EQ(bodyOf(take(browser)), u"b");
  EXPECT_EQ(bodyOf(take(browser)), u"a");
  EXPECT_FALSE(take(browser));
  EXPECT_EQ(broker_.stats().messages, 2u);
  EXPECT_PROVIDER_ERROR(broker_.setListener(browser, true), ErrorKind::Consumer);
}

TEST_F(BrokerTest, QueueDepthLimitRefusesTheNextSend) {
  BrokerConfig cfg;
  cfg.maxQueueDepth = 2;
  Broker limited(withClock(cfg));
  ConnectRequest req;
  req.driver = u"vol";
  SessionKey s = limited.createSession(limited.connect(req), 4, false, nullptr);
  EndpointKey p = limited.createProducer(s, false, queue(u"q"));
  limited.produce(p, std::nullopt, msg(u"1"));
  limited.produce(p, std::nullopt, msg(u"2", 4, clock_.load() + 10));
  EXPECT_PROVIDER_ERROR(limited.produce(p, std::nullopt, msg(u"3")), ErrorKind::Full);
  clock_ += 10;  // an expired message no longer counts
  limited.produce(p, std::nullopt, msg(u"3"));
  // A transaction counts its own uncommitted sends too.
  SessionKey tx = limited.createSession(s.connection, 1, true, nullptr);
  EndpointKey tp = limited.createProducer(tx, false, queue(u"other"));
  limited.produce(tp, std::nullopt, msg(u"1"));
  limited.produce(tp, std::nullopt, msg(u"2"));
  EXPECT_PROVIDER_ERROR(limited.produce(tp, std::nullopt, msg(u"3")), ErrorKind::Full);
}

TEST_F(BrokerTest, SendValidationTable) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  OutgoingMessage persistent = msg(u"p");
  persistent.deliveryMode = kPersistent;
  EXPECT_PROVIDER_ERROR(broker_.produce(p, std::nullopt, persistent), ErrorKind::Message);
  OutgoingMessage badMode = msg(u"m");
  badMode.deliveryMode = 3;
  EXPECT_PROVIDER_ERROR(broker_.produce(p, std::nullopt, badMode), ErrorKind::Message);
  EXPECT_PROVIDER_ERROR(broker_.produce(p, std::nullopt, msg(u"x", 10)), ErrorKind::Message);
  EXPECT_PROVIDER_ERROR(broker_.produce(p, std::nullopt, msg(u"x", -1)), ErrorKind::Message);
  EXPECT_PROVIDER_ERROR(broker_.produce(p, topic(u"t"), msg(u"x")), ErrorKind::Destination);
}

TEST_F(BrokerTest, DestinationRulesForProducersAndConsumers) {
  SessionKey s = session(connect());
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, false, topic(u"t")), ErrorKind::Destination);
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, true, queue(u"q")), ErrorKind::Destination);
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, false, queue(u"")), ErrorKind::Destination);
  EXPECT_PROVIDER_ERROR(receiver(s, u""), ErrorKind::Destination);
  ConsumerSpec onQueue;
  onQueue.kind = ConsumerSpec::Subscriber;
  onQueue.destination = queue(u"q");
  EXPECT_PROVIDER_ERROR(broker_.createConsumer(s, onQueue), ErrorKind::Destination);

  DestinationRef mine{u"d", false, true, u"VOL"};
  DestinationRef foreign{u"d", false, true, u"mq"};
  EXPECT_GT(broker_.createProducer(s, false, mine).uid, 0);
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, false, foreign), ErrorKind::Destination);
}

TEST_F(BrokerTest, ProducerWithoutDestinationSendsOnlyToANamedOne) {
  SessionKey s = session(connect());
  EndpointKey p = broker_.createProducer(s, false, std::nullopt);
  EXPECT_PROVIDER_ERROR(send(p, u"x"), ErrorKind::Destination);
  broker_.produce(p, queue(u"named"), msg(u"y"));
  EXPECT_EQ(bodyOf(take(receiver(s, u"named"))), u"y");
}

}  // namespace
}  // namespace quorix::provider::test
