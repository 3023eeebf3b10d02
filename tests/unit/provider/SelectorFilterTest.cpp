#include <gtest/gtest.h>

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


}  // namespace
}  // namespace quorix::provider::test
