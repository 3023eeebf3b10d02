// Header fields: setter checks with their texts, the correlation identifier in
// hexadecimal, the reply-to and destination copies.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <jms/Queue.h>
#include <jms/Topic.h>

#include "JmsExpect.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "message/CltHeaderMessage.h"
#include "sys/wq.h"

using jms::ByteArray;
using jms::CltHeaderMessage;
using jms::JMSException;
using jms::WString;

namespace {

// Every refused value leaves every field as it was.
TEST(MessageHeader, SettersRefuseWithTheirTexts) {
    CltHeaderMessage m;
    m.setJMSMessageID(u"ID:1");
    m.setJMSTimestamp(0);
    m.setJMSDeliveryMode(1);
    m.setJMSPriority(9);
    m.setJMSExpiration(0);
    m.setJMSType(WString(65535, u't'));
    m.setJMSCorrelationID(u"c1");
    m.setJMSRedelivered(true);
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
    };
    for (const auto& [set, text] : refusals) EXPECT_JMS_THROW(set(), JMSException, text);
    EXPECT_EQ(m.getJMSMessageID(), u"ID:1");
    EXPECT_EQ(m.getJMSTimestamp(), 0);
    EXPECT_EQ(m.getJMSDeliveryMode(), 1);
    EXPECT_EQ(m.getJMSPriority(), 9);
    EXPECT_EQ(m.getJMSExpiration(), 0);
    EXPECT_EQ(m.getJMSType().size(), 65535u);
    EXPECT_EQ(m.getJMSCorrelationID(), u"c1");
    EXPECT_TRUE(m.getJMSRedelivered());
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
        {u"01ab", {0x01, 0xab}},
        {u"ABCD", {}},          // upper case is not a digit here
        {u"abzz", {0xab}},      // stops at the first non-digit
        {u"ab0z", {0xab}},      // a half-bad pair yields nothing of it
        {u"abc", {}},           // odd length
        {u"0g", {}},
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

// The message keeps its own copies and hands out new ones; only the reply-to travels.
TEST(MessageHeader, ReplyToAndDestinationAreCopies) {
    CltHeaderMessage m;
    {
        jms::QuorixTopic topic(u"T1", false);
        m.setJMSReplyTo(&topic);
        jms::QuorixQueue queue(u"Q1", false);
        m.setJMSDestination(&queue);
    }
    std::unique_ptr<jms::Destination> first(m.getJMSReplyTo()), second(m.getJMSReplyTo());
    EXPECT_NE(first.get(), second.get());
    auto* topic = dynamic_cast<jms::Topic*>(first.get());
    ASSERT_NE(topic, nullptr);
    EXPECT_EQ(topic->getTopicName(), u"T1");
    std::unique_ptr<jms::Destination> dest(m.getJMSDestination());
    auto* queue = dynamic_cast<jms::Queue*>(dest.get());
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->getQueueName(), u"Q1");
    jms::wire::JMSMsg sent;
    m.getJMSMsg(sent);
    ASSERT_TRUE(sent.hdr.JMSReplyTo._d());
    EXPECT_TRUE(sent.hdr.JMSReplyTo.val().isTopic);

    ForeignQueue foreign;
    EXPECT_JMS_THROW(m.setJMSReplyTo(&foreign), JMSException,
                     u"setJMSReplyTo: type not supported ");
    EXPECT_JMS_THROW(m.setJMSDestination(&foreign), JMSException,
                     u"the destination must be a topic or a queue");
    std::unique_ptr<jms::Destination> kept(m.getJMSReplyTo());
    EXPECT_NE(dynamic_cast<jms::Topic*>(kept.get()), nullptr);

    m.setJMSReplyTo(nullptr);
    m.setJMSDestination(nullptr);
    EXPECT_EQ(m.getJMSReplyTo(), nullptr);
    EXPECT_EQ(m.getJMSDestination(), nullptr);
    m.getJMSMsg(sent);
    EXPECT_FALSE(sent.hdr.JMSReplyTo._d());
}

// A copy that cannot get its system objects is reported with the getter's name.
TEST(MessageHeader, FailedCopyIsResourceAllocation) {
    CltHeaderMessage m;
    jms::QuorixQueue queue(u"Q1", false);
    m.setJMSReplyTo(&queue);
    m.setJMSDestination(&queue);
    jms::wqTestFailCreation(0);
    EXPECT_JMS_THROW(m.getJMSReplyTo(), jms::ResourceAllocationException, u"getJMSReplyTo");
    jms::wqTestFailCreation(0);
    EXPECT_JMS_THROW(m.getJMSDestination(), jms::ResourceAllocationException, u"getJMSDestination");
    jms::wqTestFailCreation(-1);
    std::unique_ptr<jms::Destination> copy(m.getJMSReplyTo());
    EXPECT_NE(copy, nullptr);
}

}  // namespace
