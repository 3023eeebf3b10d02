// Header fields: setter checks with their texts (a string property's limit with
// them), the correlation identifier in hexadecimal, the reply-to and destination copies.
#include <gtest/gtest.h>

#include <functional>

#include <jms/Queue.h>

#include "../destination/Describe.h"
#include "JmsExpect.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"
#include "sys/wq.h"

using jms::ByteArray;
using jms::CltHeaderMessage;
using jms::JMSException;
using jms::WString;
using qjmstest::describe;

namespace {

// The values at the limits are taken; every refused value leaves every field as
// it was. A property named like a header field is only a property.
TEST(MessageHeader, SettersRefuseWithTheirTexts) {
    jms::CltTextMessage m;
    m.setJMSMessageID(u"ID:1");
    m.setJMSPriority(9);
    m.setJMSType(WString(65535, u't'));
    m.setJMSCorrelationID(WString(65535, u'c'));
    m.setStringProperty(u"long", WString(65535, u'x'));
    m.setIntProperty(u"JMSPriority", 0);
    const std::pair<std::function<void()>, const char16_t*> refusals[] = {
        {[&] { m.setJMSMessageID(u"ID:"); }, u"the message id must start with 'ID:'."},
        {[&] { m.setJMSMessageID(u"id:2"); }, u"the message id must start with 'ID:'."},
        {[&] { m.setJMSTimestamp(-1); }, u"timestamp"},
        {[&] { m.setJMSDeliveryMode(0); }, u"delivery mode"},
        {[&] { m.setJMSDeliveryMode(3); }, u"delivery mode"},
        {[&] { m.setJMSPriority(10); }, u"priority"},
        {[&] { m.setJMSPriority(-1); }, u"priority"},
        {[&] { m.setJMSExpiration(-1); }, u"expiration must be >=0"},
        {[&] { m.setJMSType(WString(65536, u't')); }, u"setJMSType: length must be <= 65535"},
        {[&] { m.setJMSCorrelationID(WString(65536, u'c')); },
         u"CorrelationID length must be <= 65535"},
        {[&] { m.setJMSCorrelationIDAsBytes(ByteArray(32768, 1)); },
         u"CorrelationIDAsBytes: size > 32766"},
        {[&] { m.setStringProperty(u"tooLong", WString(65536, u'x')); },
         u"setStringProperty: length > 65535"},
    };
    for (const auto& [set, text] : refusals) EXPECT_JMS_THROW(set(), JMSException, text);
    EXPECT_EQ(m.getJMSMessageID(), u"ID:1");
    EXPECT_EQ(m.getJMSTimestamp(), 0);
    EXPECT_EQ(m.getJMSDeliveryMode(), 2);
    EXPECT_EQ(m.getJMSPriority(), 9);
    EXPECT_EQ(m.getJMSExpiration(), 0);
    EXPECT_EQ(m.getJMSType().size(), 65535u);
    EXPECT_EQ(m.getJMSCorrelationID().size(), 65535u);
    EXPECT_EQ(m.getStringProperty(u"long").size(), 65535u);
    EXPECT_FALSE(m.propertyExists(u"tooLong"));
    m.setJMSPriority(0);
    EXPECT_EQ(m.getJMSPriority(), 0);
}

// As bytes, the correlation identifier is two lower-case hexadecimal units per
// byte; reading it back stops at the first unit that is not such a digit.
TEST(MessageHeader, CorrelationIdAsBytes) {
    CltHeaderMessage m;
    m.setJMSCorrelationIDAsBytes({0x01, 0xAB, 0x00, 0xff});
    EXPECT_EQ(m.getJMSCorrelationID(), u"01ab00ff");
    ByteArray all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
    m.setJMSCorrelationIDAsBytes(all);
    EXPECT_EQ(m.getJMSCorrelationIDAsBytes(), all);
    m.setJMSCorrelationIDAsBytes(ByteArray(32767, 0xff));
    EXPECT_EQ(m.getJMSCorrelationID().size(), 65534u);

    const std::pair<const char16_t*, ByteArray> hex[] = {
        {u"ABCD", {}},          // upper case is not a digit here
        {u"abzz", {0xab}},      // stops at the first non-digit
        {u"ab0g", {0xab}},      // a half-bad pair yields nothing of it
        {u"abc", {}},           // odd length
        {u"\uff10\uff11", {}},  // nor are full-width digits
    };
    for (const auto& [text, bytes] : hex) {
        m.setJMSCorrelationID(text);
        EXPECT_EQ(m.getJMSCorrelationIDAsBytes(), bytes) << qjmstest::narrow(text);
    }
}

// A destination of some other library, for the type checks.
class ForeignQueue : public jms::Queue {
public:
    WString getQueueName() override { return u"foreign"; }
    WString toString() override { return u"foreign"; }
};

// The message keeps its own copies and hands out new ones; only the reply-to
// travels. A copy that cannot get its system objects is reported with the
// getter's name.
TEST(MessageHeader, ReplyToAndDestinationAreCopies) {
    CltHeaderMessage m;
    {
        jms::QuorixTopic topic(u"T1", false);
        m.setJMSReplyTo(&topic);
        jms::QuorixQueue queue(u"Q1", false);
        m.setJMSDestination(&queue);
    }
    ForeignQueue foreign;  // refused, and nothing changes
    EXPECT_JMS_THROW(m.setJMSReplyTo(&foreign), JMSException,
                     u"setJMSReplyTo: type not supported ");
    EXPECT_JMS_THROW(m.setJMSDestination(&foreign), JMSException,
                     u"the destination must be a topic or a queue");
    EXPECT_EQ(describe(m.getJMSReplyTo()), u"topic T1");
    EXPECT_EQ(describe(m.getJMSDestination()), u"queue Q1");
    jms::wire::JMSMsg sent;
    m.getJMSMsg(sent);
    ASSERT_TRUE(sent.hdr.JMSReplyTo._d());
    EXPECT_TRUE(sent.hdr.JMSReplyTo.val().isTopic);

    jms::wqTestFailCreation(0);
    EXPECT_JMS_THROW(m.getJMSReplyTo(), jms::ResourceAllocationException, u"getJMSReplyTo");
    jms::wqTestFailCreation(0);
    EXPECT_JMS_THROW(m.getJMSDestination(), jms::ResourceAllocationException, u"getJMSDestination");
    jms::wqTestFailCreation(-1);

    m.setJMSReplyTo(nullptr);
    m.setJMSDestination(nullptr);
    EXPECT_EQ(describe(m.getJMSReplyTo()), u"none");
    EXPECT_EQ(describe(m.getJMSDestination()), u"none");
    m.getJMSMsg(sent);
    EXPECT_FALSE(sent.hdr.JMSReplyTo._d());
}

}  // namespace
