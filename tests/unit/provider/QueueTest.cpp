#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Queues : public BrokerTest {};

TEST_F(Queues, SendStampsIdentifierAndTimeAndAFilteredReceiverTakesOnlyItsOwn) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  SentMessage red = send(p, msg(u"red", 4, 0, {{u"colour", 1}}));
  SentMessage blue = send(p, msg(u"blue", 4, 0, {{u"colour", 2}}));
  EXPECT_EQ(red.id.substr(0, 3), u"ID:");
  EXPECT_NE(red.id, blue.id);
  EXPECT_EQ(red.timestamp, clock_.load());
  EndpointKey blueOnly = receiver(s, u"q", std::make_shared<PropertyEquals>(u"colour", 2));
  EXPECT_FALSE(broker_.receiveById(blueOnly, red.id));
  auto got = broker_.receiveById(blueOnly, blue.id);
  ASSERT_TRUE(got);
  EXPECT_EQ(bodyOf(got), u"blue");
  EXPECT_EQ(got->message->timestamp, blue.timestamp);
  EXPECT_FALSE(got->redelivered);
  EXPECT_FALSE(take(blueOnly));
  EXPECT_EQ(drain(receiver(s, u"q")), u"red");
}

TEST_F(Queues, ReceiveWaitsForStartAndForMessagesWithoutBlockingOtherCalls) {
  ConnectionKey c = connect({}, /*started=*/false);
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q"), r = receiver(s, u"q");
  send(p, u"a");
  auto t0 = Clock::now();
  EXPECT_FALSE(broker_.receive(r, Wait::until(t0 + 50ms)));  // stopped
  EXPECT_GE(Clock::now() - t0, 50ms);
  std::thread starter([&] {
    std::this_thread::sleep_for(30ms);
    broker_.start(c);
  });
  EXPECT_EQ(bodyOf(broker_.receive(r, Wait::forever())), u"a");
  starter.join();
  std::thread other([&] {  // gets through while the receive waits
    std::this_thread::sleep_for(30ms);
    send(sender(session(connect()), u"q"), u"b");
  });
  EXPECT_EQ(bodyOf(broker_.receive(r, Wait::forever())), u"b");
  other.join();
  broker_.stop(c);
  send(p, u"c");
  EXPECT_FALSE(take(r));
}

TEST_F(Queues, ClosingWhatABlockedReceiveNeedsEndsItWithTheMatchingError) {
  struct Case {
    const char* what;
    std::function<void(const EndpointKey&)> close;
    ErrorKind expected;
  };
  const Case cases[] = {
      {"consumer", [&](auto& k) { broker_.closeConsumer(k); }, ErrorKind::Consumer},
      {"session", [&](auto& k) { broker_.closeSession(k.session); }, ErrorKind::SessionID},
      {"connection", [&](auto& k) { broker_.closeConnection(k.session.connection); },
       ErrorKind::ConnectionID},
      {"shutdown", [&](auto&) { broker_.shutdown(); }, ErrorKind::BadState}};  // last
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
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
    c.close(r);
    waiter.join();
    ASSERT_TRUE(seen);
    EXPECT_EQ(errorKindName(*seen), errorKindName(c.expected));
  }
  EXPECT_PROVIDER_ERROR(connect(), ErrorKind::BadState);  // every later call too
}

TEST_F(Queues, CompetingConsumersGetEachMessageExactlyOnce) {
  constexpr int kMessages = 2000, kConsumers = 4;
  ConnectionKey c = connect();
  std::vector<EndpointKey> receivers;
  for (int i = 0; i < kConsumers; ++i) receivers.push_back(receiver(session(c), u"work"));
  std::vector<std::vector<std::u16string>> got(kConsumers);
  std::vector<std::thread> threads;
  for (int i = 0; i < kConsumers; ++i)
    threads.emplace_back([&, i] {
      try {
        while (auto d = broker_.receive(receivers[i], Wait::forever())) got[i].push_back(bodyOf(d));
      } catch (const ProviderError&) {  // closed at the end
      }
    });
  EndpointKey p = sender(session(c), u"work");
  for (int i = 0; i < kMessages; ++i) send(p, u16(int64_t(i)));
  while (broker_.stats().messages != 0) std::this_thread::sleep_for(5ms);
  for (auto& r : receivers) broker_.closeConsumer(r);
  for (auto& t : threads) t.join();
  std::multiset<std::u16string> all;
  for (auto& v : got) all.insert(v.begin(), v.end());
  EXPECT_EQ(all.size(), size_t(kMessages));
  EXPECT_EQ(std::set<std::u16string>(all.begin(), all.end()).size(), size_t(kMessages));
}

TEST_F(Queues, BrowserShowsTheQueueInOrderWithoutConsuming) {
  SessionKey s = session(connect({}, /*started=*/false));  // browsing needs no start
  EndpointKey p = sender(s, u"q");
  send(p, u"a", 1);
  send(p, u"b", 6);
  ConsumerSpec spec;
  spec.kind = ConsumerSpec::Browser;
  spec.destination = queue(u"q");
  EndpointKey browser = broker_.createConsumer(s, spec);
  EXPECT_EQ(drain(browser), u"ba");
  EXPECT_EQ(broker_.stats().messages, 2u);
  EXPECT_PROVIDER_ERROR(broker_.setListener(browser, true), ErrorKind::Consumer);
}

TEST_F(Queues, ExpiredMessagesAreNeverDeliveredNorCountedAgainstTheDepthLimit) {
  BrokerConfig cfg;
  cfg.maxQueueDepth = 2;
  use(cfg);
  ConnectionKey c = connect();
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q"), tp = sender(session(c, true), u"other");
  int64_t now = clock_.load();
  send(p, msg(u"stale", 4, now));  // expires as it is sent: not kept
  send(p, msg(u"edge", 4, now + 100));
  send(p, u"never");
  EXPECT_PROVIDER_ERROR(send(p, u"refused"), ErrorKind::Full);
  clock_ += 100;  // "edge" expires exactly now
  send(p, u"last");
  EXPECT_EQ(drain(receiver(s, u"q")), u"neverlast");
  send(tp, u"1");  // uncommitted sends count
  send(tp, u"2");
  EXPECT_PROVIDER_ERROR(send(tp, u"3"), ErrorKind::Full);
}

TEST_F(Queues, SendChecksModePriorityAndDestination) {
  EndpointKey p = sender(session(connect()), u"q");
  struct Case {
    int32_t mode, priority;
    std::optional<DestinationRef> to;
    std::optional<ErrorKind> error;
  };
  for (const Case& c : std::vector<Case>{
           {kNonPersistent, 0, {}, {}},
           {kNonPersistent, 9, queue(u"elsewhere"), {}},
           {kPersistent, 4, {}, ErrorKind::Message},  // this server does not claim it
           {3, 4, {}, ErrorKind::Message},
           {kNonPersistent, 10, {}, ErrorKind::Message},
           {kNonPersistent, -1, {}, ErrorKind::Message},
           {kNonPersistent, 4, topic(u"t"), ErrorKind::Destination}}) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " priority " << c.priority);
    OutgoingMessage m = msg(u"m", c.priority);
    m.deliveryMode = c.mode;
    if (c.error)
      EXPECT_PROVIDER_ERROR(broker_.produce(p, c.to, m), *c.error);
    else
      EXPECT_NO_THROW(broker_.produce(p, c.to, m));
  }
}

TEST_F(Queues, DestinationRulesForProducersAndConsumers) {
  SessionKey s = session(connect());
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, false, topic(u"t")), ErrorKind::Destination);
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, true, queue(u"q")), ErrorKind::Destination);
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, false, queue(u"")), ErrorKind::Destination);
  EXPECT_PROVIDER_ERROR(subscriber(s, u""), ErrorKind::Destination);
  ConsumerSpec onQueue{ConsumerSpec::Subscriber, queue(u"q"), {}, {}, nullptr};
  EXPECT_PROVIDER_ERROR(broker_.createConsumer(s, onQueue), ErrorKind::Destination);
  EXPECT_GT(broker_.createProducer(s, false, DestinationRef{u"d", false, true, u"VOL"}).uid, 0);
  EXPECT_PROVIDER_ERROR(broker_.createProducer(s, false, DestinationRef{u"d", false, true, u"mq"}),
                        ErrorKind::Destination);

  EndpointKey anonymous = broker_.createProducer(s, false, std::nullopt);
  EXPECT_PROVIDER_ERROR(send(anonymous, u"x"), ErrorKind::Destination);
  broker_.produce(anonymous, queue(u"named"), msg(u"y"));
  EXPECT_EQ(drain(receiver(s, u"named")), u"y");
}

}  // namespace
}  // namespace quorix::provider::test
