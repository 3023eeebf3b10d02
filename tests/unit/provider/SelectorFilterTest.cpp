#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "core/SelectorFilter.h"

namespace quorix::provider::test {
namespace {

#if QUORIX_HAVE_SELECTOR

Message stored(int32_t priority, int32_t mode, std::optional<std::u16string> type,
               std::map<std::u16string, int64_t> props = {}) {
  Message m;
  m.id = u"ID:1";
  m.priority = priority;
  m.deliveryMode = mode;
  m.type = std::move(type);
  m.payload = std::make_shared<TestPayload>(u"body", std::move(props));
  return m;
}

TEST(SelectorFilter, HeaderFieldsAndPropertiesReachTheSelector) {
  struct Case {
    const char16_t* selector;
    bool matches;
  };
  Message m = stored(7, kPersistent, u"order", {{u"qty", 5}});
  for (const Case& c : std::vector<Case>{{u"JMSPriority > 5", true},
                                         {u"JMSPriority < 5", false},
                                         {u"JMSDeliveryMode = 'PERSISTENT'", true},
                                         {u"JMSType = 'order'", true},
                                         {u"JMSCorrelationID IS NULL", true},
                                         {u"JMSMessageID = 'ID:1'", true},
                                         {u"qty BETWEEN 1 AND 5", true},
                                         {u"missing = 1", false}}) {
    auto f = compileSelector(std::u16string(c.selector));
    ASSERT_TRUE(f) << toUtf8(c.selector);
    EXPECT_EQ(f->matches(m), c.matches) << toUtf8(c.selector);
  }
}

TEST(SelectorFilter, AbsentOrBlankSelectsAllAndBadTextIsRefused) {
  EXPECT_FALSE(compileSelector(std::nullopt));
  EXPECT_FALSE(compileSelector(u"  "));
  EXPECT_PROVIDER_ERROR(compileSelector(u"qty >"), ErrorKind::Selector);
}

TEST_F(BrokerTest, QueueReceiverWithSelectorLeavesOtherMessagesForOthers) {
  SessionKey s = session(connect());
  EndpointKey p = sender(s, u"q");
  broker_.produce(p, std::nullopt, msg(u"small", 4, 0, {{u"qty", 1}}));
  broker_.produce(p, std::nullopt, msg(u"big", 4, 0, {{u"qty", 100}}));
  ConsumerSpec spec;
  spec.destination = queue(u"q");
  spec.selector = u"qty > 10";
  spec.filter = compileSelector(spec.selector);
  EndpointKey big = broker_.createConsumer(s, spec);
  EXPECT_EQ(bodyOf(take(big)), u"big");
  EXPECT_FALSE(take(big));
  EXPECT_EQ(bodyOf(take(receiver(s, u"q"))), u"small");
}

#endif

}  // namespace
}  // namespace quorix::provider::test
