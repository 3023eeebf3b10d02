#include <gtest/gtest.h>

#include <memory>

#include <jms/Queue.h>
#include <jms/Topic.h>

#include "JmsExpect.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "message/CltHeaderMessage.h"
#include "sys/wq.h"

using jms::ByteArray;
using jms::JMSException;
using jms::WString;

namespace {

jms::wire::JMSMsg wireOf(jms::CltMessage& m) {
    jms::wire::JMSMsg out;
    m.getJMSMsg(out);
    return out;
}

// Each refused set leaves the field as it was.
TEST(MessageHeaderSetters, RefusalsKeepTheOldValue) {
    jms::CltHeaderMessage m;
    m.setJMSMessageID(u"ID:1");
    EXPECT_JMS_THROW(m.setJMSMessageID(u"ID:"), JMSException,
                     u"the message id must start with 'ID:'.");
    EXPECT_JMS_THROW(m.setJMSMessageID(u"id:2"), JMSException,
                     u"the message id must start with 'ID:'.");
    EXPECT_EQ(m.getJMSMessageID(), u"ID:1");

    m.setJMSTimestamp(77);
    EXPECT_JMS_THROW(m.setJMSTimestamp(-1), JMSException, u"timestamp");
    EXPECT_EQ(m.getJMSTimestamp(), 77);

    m.setJMSDeliveryMode(1);
    EXPECT_JMS_THROW(m.setJMSDeliveryMode(-1), JMSException, u"delivery mode");
    EXPECT_EQ(m.getJMSDeliveryMode(), 1);

    m.setJMSPriority(9);
    EXPECT_JMS_THROW(m.setJMSPriority(10), JMSException, u"priority");
    EXPECT_JMS_THROW(m.setJMSPriority(-1), JMSException, u"priority");
    EXPECT_EQ(m.getJMSPriority(), 9);

    m.setJMSExpiration(5);
    EXPECT_JMS_THROW(m.setJMSExpiration(-1), JMSException, u"expiration must be >=0");
    EXPECT_EQ(m.getJMSExpiration(), 5);

    m.setJMSType(u"kind");
    EXPECT_JMS_THROW(m.setJMSType(WString(65536, u't')), JMSException,
                     u"setJMSType: length must be <= 65535");
    EXPECT_EQ(m.getJMSType(), u"kind");

    m.setJMSCorrelationID(u"c1");
    EXPECT_JMS_THROW(m.setJMSCorrelationID(WString(65536, u'c')), JMSException,
                     u"CorrelationID length must be <= 65535");
    EXPECT_JMS_THROW(m.setJMSCorrelationIDAsBytes(ByteArray(32768, 1)), JMSException,
                     u"CorrelationIDAsBytes: size > 32766");
    EXPECT_EQ(m.getJMSCorrelationID(), u"c1");

    m.setJMSRedelivered(true);
    EXPECT_TRUE(m.getJMSRedelivered());
}

TEST(CorrelationIdBytes, SetAndReadBack) {
    jms::CltHeaderMessage m;
    m.setJMSCorrelationIDAsBytes({0x01, 0xAB});
    EXPECT_EQ(m.getJMSCorrelationID(), u"01ab");
    EXPECT_EQ(m.getJMSCorrelationIDAsBytes(), (ByteArray{0x01, 0xAB}));
    m.setJMSCorrelationIDAsBytes(ByteArray(32767, 0xff));
    EXPECT_EQ(m.getJMSCorrelationID().size(), 65534u);
    m.setJMSCorrelationID(u"abzz");
    EXPECT_EQ(m.getJMSCorrelationIDAsBytes(), (ByteArray{0xab}));
}

// A destination of some other library, for the type checks.
class ForeignQueue : public jms::Queue {
public:
    WString getQueueName() override { return u"foreign"; }
    WString toString() override { return u"foreign"; }
};

TEST(MessageDestinations, ReplyToIsCopiedInAndOut) {
    jms::CltHeaderMessage m;
    {
        jms::QuorixTopic topic(u"T1", false);
        m.setJMSReplyTo(&topic);
    }  // the message keeps its own copy
    std::unique_ptr<jms::Destination> first(m.getJMSReplyTo());
    std::unique_ptr<jms::Destination> second(m.getJMSReplyTo());
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first.get(), second.get());
    auto* topic = dynamic_cast<jms::Topic*>(first.get());
    ASSERT_NE(topic, nullptr);
    EXPECT_EQ(topic->getTopicName(), u"T1");

    const jms::wire::JMSMsg sent = wireOf(m);
    ASSERT_TRUE(sent.hdr.JMSReplyTo._d());
    EXPECT_TRUE(sent.hdr.JMSReplyTo.val().isTopic);

    ForeignQueue foreign;
    EXPECT_JMS_THROW(m.setJMSReplyTo(&foreign), JMSException,
                     u"setJMSReplyTo: type not supported ");
    std::unique_ptr<jms::Destination> kept(m.getJMSReplyTo());
    EXPECT_NE(dynamic_cast<jms::Topic*>(kept.get()), nullptr);

    m.setJMSReplyTo(nullptr);
    EXPECT_EQ(m.getJMSReplyTo(), nullptr);
    EXPECT_FALSE(wireOf(m).hdr.JMSReplyTo._d());
}

TEST(MessageDestinations, DestinationStaysOffTheWire) {
    jms::CltHeaderMessage m;
    jms::QuorixQueue queue(u"Q1", false);
    m.setJMSDestination(&queue);
    std::unique_ptr<jms::Destination> copy(m.getJMSDestination());
    auto* q = dynamic_cast<jms::Queue*>(copy.get());
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->getQueueName(), u"Q1");
    EXPECT_FALSE(wireOf(m).hdr.JMSReplyTo._d());

    ForeignQueue foreign;
    EXPECT_JMS_THROW(m.setJMSDestination(&foreign), JMSException,
                     u"the destination must be a topic or a queue");
    m.setJMSDestination(nullptr);
    EXPECT_EQ(m.getJMSDestination(), nullptr);
}

// A copy that cannot get its system objects is reported with the getter's name.
TEST(MessageDestinations, FailedCopyIsResourceAllocation) {
    jms::CltHeaderMessage m;
    jms::QuorixQueue queue(u"Q1", false);
    m.setJMSReplyTo(&queue);
    m.setJMSDestination(&queue);
    jms::wqTestFailCreation(0);
    EXPECT_JMS_THROW(m.getJMSReplyTo(), jms::ResourceAllocationException, u"getJMSReplyTo");
    jms::wqTestFailCreation(0);
    EXPECT_JMS_THROW(m.getJMSDestination(), jms::ResourceAllocationException,
                     u"getJMSDestination");
    jms::wqTestFailCreation(-1);
    std::unique_ptr<jms::Destination> copy(m.getJMSReplyTo());
    EXPECT_NE(copy, nullptr);
}

TEST(MessageNotOffered, ObjectPropertiesAndAcknowledge) {
    jms::CltHeaderMessage m;
    const WString text = u"C++ runtime: not implemented";
    EXPECT_JMS_THROW(m.getObjectProperty(u"a"), jms::NotImplementedException, text);
    EXPECT_JMS_THROW(m.setObjectProperty(u"a", nullptr), jms::NotImplementedException, text);
    EXPECT_JMS_THROW(m.acknowledge(), jms::NotImplementedException, text);
}

}  // namespace
