// The provider's selectors: what they see of a message, and that evaluating
// one holds up no other client.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "BrokerFixture.h"
#include "core/SelectorFilter.h"

namespace quorix::provider::test {
namespace {

TEST(SelectorFilter, HeaderFieldsAndPropertiesReachTheSelector) {
  Message m;
  m.id = u"ID:1";
  m.priority = 7;
  m.deliveryMode = kPersistent;
  m.type = u"order";
  m.payload = std::make_shared<TestPayload>(u"body", Props{{u"qty", 5}});
  for (auto [selector, matches] : std::vector<std::pair<const char16_t*, bool>>{
           {u"JMSPriority > 5", true},
           {u"JMSPriority < 5", false},
           {u"JMSDeliveryMode = 'PERSISTENT'", true},
           {u"JMSType = 'order'", true},
           {u"JMSCorrelationID IS NULL", true},
           {u"JMSMessageID = 'ID:1'", true},
           {u"qty BETWEEN 1 AND 5", true},
           {u"missing = 1", false}}) {
    auto f = compileSelector(std::u16string(selector));
    ASSERT_TRUE(f) << toUtf8(selector);
    EXPECT_EQ(f->matches(m), matches) << toUtf8(selector);
  }
}

TEST(SelectorFilter, AbsentOrBlankSelectsAllAndBadTextIsRefused) {
  EXPECT_FALSE(compileSelector(std::nullopt));
  EXPECT_FALSE(compileSelector(u"  "));
  EXPECT_PROVIDER_ERROR(compileSelector(u"qty >"), ErrorKind::Selector);
}


// Accepts every message, but only once the test lets it.
struct SlowFilter : MessageFilter {
  bool matches(const Message&) const override {
    entered.open();
    if (!release.wait()) gaveUp = true;
    return true;
  }
  mutable Gate entered, release;
  mutable std::atomic<bool> gaveUp{false};
};

// Selectors run without the broker's lock: however long one takes, other
// clients' calls go through meanwhile.
TEST_F(BrokerTest, ASlowSelectorHoldsUpNoOtherClient) {
  struct Row {
    const char* where;
    // Starts work that evaluates `filter`; returns once that work is done.
    std::function<void(const std::shared_ptr<SlowFilter>& filter)> run;
  };
  const Row rows[] = {
      {"selective receive",
       [&](auto& f) {
         SessionKey s = session(connect());
         EndpointKey r = receiver(s, u"q1", f);
         send(sender(s, u"q1"), u"m");
         EXPECT_TRUE(take(r));
       }},
      {"publish to a selective subscriber",
       [&](auto& f) {
         SessionKey s = session(connect());
         subscriber(s, u"t1", {}, u"x = 1", f);
         send(publisher(s, u"t1"), u"m");
       }},
      {"browse with a selector",
       [&](auto& f) {
         SessionKey s = session(connect());
         send(sender(s, u"q2"), u"m");
         ConsumerSpec spec{ConsumerSpec::Browser, queue(u"q2"), {}, u"x = 1", f};
         EXPECT_TRUE(take(broker_.createConsumer(s, spec)));
       }},
      {"push to a selective listener",
       [&](auto& f) {
         ConnectionKey c = connect();
         SessionKey s = session(c, false, std::make_shared<FakeSink>());
         listener(s, u"q3", f);
         send(sender(s, u"q3"), u"m");
         f->entered.wait();
         f->release.wait();
         broker_.stop(c);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.where);
    auto filter = std::make_shared<SlowFilter>();
    std::thread slow([&] { row.run(filter); });
    ASSERT_TRUE(filter->entered.wait());
    // Meanwhile another client sends and receives on a queue of its own.
    SessionKey other = session(connect());
    send(sender(other, u"elsewhere"), u"x");
    EXPECT_EQ(drain(receiver(other, u"elsewhere")), u"x");
    EXPECT_GT(broker_.stats().connections, 0u);
    filter->release.open();
    slow.join();
    EXPECT_FALSE(filter->gaveUp);
  }
}

}  // namespace
}  // namespace quorix::provider::test
