#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include <jms/Queue.h>

#include "JmsExpect.h"
#include "WireMessages.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "message/CltBytesMessage.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"
#include "message/MessageFromWire.h"
#include "message/MessageTime.h"

using jms::ByteArray;
using jms::WString;
using jms::WStringList;
using qjmstest::throughCdr;
namespace wire = jms::wire;

namespace {

// Every header field and one property of each type, away from the defaults.
void fillEverything(jms::CltMessage& m) {
    m.setJMSMessageID(u"ID:abc");
    m.setJMSDeliveryMode(1);
    m.setJMSRedelivered(true);
    m.setJMSType(u"kind");
    m.setJMSExpiration(123456789012);
    m.setJMSPriority(9);
    m.setJMSCorrelationIDAsBytes({0xde, 0xad});
    jms::QuorixQueue replyTo(u"name=R,driver=mq,queue=LQ,manager=QM", true);
    m.setJMSReplyTo(&replyTo);
    m.setBooleanProperty(u"b", true);
    m.setByteProperty(u"y", -128);
    m.setShortProperty(u"s", -2);
    m.setIntProperty(u"i", INT32_MIN);
    m.setLongProperty(u"l", INT64_MAX);
    m.setFloatProperty(u"f", 0.25f);
    m.setDoubleProperty(u"d", 1e300);
    m.setStringProperty(u"t", u"\xd83d\xde00 text");
}

void expectEverything(jms::CltMessage& m) {
    EXPECT_EQ(m.getJMSMessageID(), u"ID:abc");
    EXPECT_EQ(m.getJMSDeliveryMode(), 1);
    EXPECT_TRUE(m.getJMSRedelivered());
    EXPECT_EQ(m.getJMSType(), u"kind");
    EXPECT_EQ(m.getJMSExpiration(), 123456789012);
    EXPECT_EQ(m.getJMSPriority(), 9);
    EXPECT_EQ(m.getJMSCorrelationID(), u"dead");
    std::unique_ptr<jms::Destination> replyTo(m.getJMSReplyTo());
    auto* queue = dynamic_cast<jms::QuorixQueue*>(replyTo.get());
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->getQueueName(), u"R");
    EXPECT_TRUE(queue->isDefined());
    EXPECT_EQ(jms::toWStringList(queue->getIDLDestination().defined.dest().values),
              (WStringList{u"LQ", u"QM"}));
    EXPECT_TRUE(m.getBooleanProperty(u"b"));
    EXPECT_EQ(m.getByteProperty(u"y"), -128);
    EXPECT_EQ(m.getShortProperty(u"s"), -2);
    EXPECT_EQ(m.getIntProperty(u"i"), INT32_MIN);
    EXPECT_EQ(m.getLongProperty(u"l"), INT64_MAX);
    EXPECT_EQ(m.getFloatProperty(u"f"), 0.25f);
    EXPECT_EQ(m.getDoubleProperty(u"d"), 1e300);
    EXPECT_EQ(m.getStringProperty(u"t"), u"\xd83d\xde00 text");
    EXPECT_EQ(m.getPropertyNames(), (WStringList{u"b", u"d", u"f", u"i", u"l", u"s", u"t", u"y"}));
}

// Sends `m` and receives it back through the broker's encoding.
std::unique_ptr<jms::CltMessage> roundTrip(jms::CltMessage& m, wire::JMSMsg* sent = nullptr) {
    wire::JMSMsg out;
    m.getJMSMsg(out);
    if (sent) *sent = out;
    const jms::QuorixTopic consumerDestination(u"consumed", false);
    return jms::messageFromWire(throughCdr(out), consumerDestination);
}

TEST(WireRoundTrip, TextMessageKeepsEveryFieldAndProperty) {
    jms::CltTextMessage m(WString(u"hello"));
    fillEverything(m);
    const int64_t before = jms::currentTimeMillis();
    auto back = roundTrip(m);
    const int64_t after = jms::currentTimeMillis();
    auto* text = dynamic_cast<jms::CltTextMessage*>(back.get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->getText(), u"hello");
    expectEverything(*text);
    EXPECT_GE(text->getJMSTimestamp(), before);
    EXPECT_LE(text->getJMSTimestamp(), after);
    // The receiving consumer's destination, not anything of the sender's.
    std::unique_ptr<jms::Destination> dest(text->getJMSDestination());
    auto* topic = dynamic_cast<jms::QuorixTopic*>(dest.get());
    ASSERT_NE(topic, nullptr);
    EXPECT_EQ(topic->getTopicName(), u"consumed");
}

TEST(WireRoundTrip, HeaderAndBytesMessagesKeepEverything) {
    jms::CltHeaderMessage header;
    fillEverything(header);
    wire::JMSMsg sent;
    auto back = roundTrip(header, &sent);
    EXPECT_EQ(sent.msg._d(), 6);
    EXPECT_EQ(sent.msg.header(), 1);
    ASSERT_NE(dynamic_cast<jms::CltHeaderMessage*>(back.get()), nullptr);
    expectEverything(*back);

    jms::CltBytesMessage bytes;
    fillEverything(bytes);
    bytes.writeBytes(ByteArray{1, 2, 3});
    back = roundTrip(bytes);
    auto* received = dynamic_cast<jms::CltBytesMessage*>(back.get());
    ASSERT_NE(received, nullptr);
    expectEverything(*received);
    ByteArray body;
    EXPECT_EQ(received->readBytes(body), 3);
    EXPECT_EQ(body, (ByteArray{1, 2, 3}));
}

TEST(WireRoundTrip, EmptyTextTravelsAsNullBranch) {
    jms::CltTextMessage empty;
    wire::JMSMsg sent;
    auto back = roundTrip(empty, &sent);
    ASSERT_EQ(sent.msg._d(), 1);
    EXPECT_FALSE(sent.msg.text()._d());
    EXPECT_EQ(dynamic_cast<jms::CltTextMessage&>(*back).getText(), u"");

    jms::CltTextMessage x(WString(u"x"));
    roundTrip(x, &sent);
    ASSERT_TRUE(sent.msg.text()._d());
    EXPECT_EQ(jms::toWString(sent.msg.text().val()), u"x");
}

// The absent string fields go out as the null branch, never as an unset union.
TEST(WireRoundTrip, DefaultHeaderOnTheWire) {
    jms::CltHeaderMessage m;
    m.setJMSType(u"t");
    m.setJMSType(u"");  // empty clears
    m.setJMSCorrelationID(u"c");
    m.setJMSCorrelationIDAsBytes({});
    wire::JMSMsg sent;
    auto back = roundTrip(m, &sent);
    EXPECT_EQ(sent.hdr.JMSDeliveryMode, 2);
    EXPECT_EQ(sent.hdr.JMSPriority, 4);
    EXPECT_EQ(sent.hdr.JMSExpiration, 0);
    EXPECT_FALSE(sent.hdr.JMSRedelivered);
    EXPECT_FALSE(sent.hdr.JMSMessageID._d());
    EXPECT_FALSE(sent.hdr.JMSType._d());
    EXPECT_FALSE(sent.hdr.JMSCorrelationID._d());
    EXPECT_FALSE(sent.hdr.JMSReplyTo._d());
    EXPECT_EQ(sent.hdr.JMSProperties.length(), 0u);
    EXPECT_EQ(back->getJMSMessageID(), u"");
    EXPECT_EQ(back->getJMSReplyTo(), nullptr);
    EXPECT_EQ(back->getJMSCorrelationID(), u"");
    EXPECT_TRUE(back->getJMSCorrelationIDAsBytes().empty());
}

TEST(WireRoundTrip, BytesInReadModeAfterReadsSendWholeBody) {
    jms::CltBytesMessage m;
    m.writeBytes(ByteArray{1, 2, 3, 4});
    wire::JMSMsg sent;
    m.getJMSMsg(sent);
    ASSERT_EQ(sent.msg._d(), 2);
    EXPECT_EQ(sent.msg.bytes().val.length(), 4u);  // write mode: everything written so far

    m.reset();
    m.readByte();
    m.readByte();
    m.getJMSMsg(sent);
    ASSERT_EQ(sent.msg.bytes().val.length(), 4u);
    EXPECT_EQ(sent.msg.bytes().val[0], 1);
    EXPECT_EQ(sent.msg.bytes().val[3], 4);
    EXPECT_EQ(m.readByte(), 3);  // the conversion does not move the read position

    jms::CltBytesMessage empty;
    empty.getJMSMsg(sent);
    EXPECT_EQ(sent.msg.bytes().val.length(), 0u);
}

TEST(WireRoundTrip, ConversionStampsTimestampAndKeepsProperties) {
    jms::CltTextMessage m(WString(u"t"));
    m.setJMSTimestamp(5);
    m.setIntProperty(u"n", 7);
    const int64_t before = jms::currentTimeMillis();
    wire::JMSMsg first, second;
    m.getJMSMsg(first);
    m.getJMSMsg(second);
    EXPECT_GE(first.hdr.JMSTimestamp, before);
    EXPECT_GE(second.hdr.JMSTimestamp, first.hdr.JMSTimestamp);
    EXPECT_EQ(m.getJMSTimestamp(), second.hdr.JMSTimestamp);
    ASSERT_EQ(second.hdr.JMSProperties.length(), 1u);
    EXPECT_EQ(second.hdr.JMSProperties[0].val._d(), 3);
    EXPECT_EQ(second.hdr.JMSProperties[0].val.propInt(), 7);

    // A property cleared after a send no longer travels.
    m.clearProperties();
    m.getJMSMsg(second);
    EXPECT_EQ(second.hdr.JMSProperties.length(), 0u);
}

// The wire numbers the property branches differently from the library's codes.
TEST(WireRoundTrip, PropertyBranchNumbers) {
    jms::CltHeaderMessage m;
    m.setBooleanProperty(u"a", false);
    m.setByteProperty(u"b", 1);
    m.setShortProperty(u"c", 1);
    m.setIntProperty(u"d", 1);
    m.setLongProperty(u"e", 1);
    m.setFloatProperty(u"f", 1);
    m.setDoubleProperty(u"g", 1);
    m.setStringProperty(u"h", u"1");
    wire::JMSMsg sent;
    m.getJMSMsg(sent);
    const CORBA::Long expected[] = {5, 1, 2, 3, 4, 6, 7, 8};
    ASSERT_EQ(sent.hdr.JMSProperties.length(), 8u);
    for (CORBA::ULong i = 0; i < 8; ++i) EXPECT_EQ(sent.hdr.JMSProperties[i].val._d(), expected[i]);
}

// One message sent from two threads at once: each conversion sees the whole
// property list, never one half-written by the other.
TEST(WireRoundTrip, ConcurrentConversionsOfOneMessage) {
    jms::CltBytesMessage m;
    for (int i = 0; i < 50; ++i)
        m.setIntProperty(WString{u'p', static_cast<char16_t>(u'A' + i / 10), static_cast<char16_t>(u'0' + i % 10)}, i);
    m.writeBytes(ByteArray(1000, 7));
    auto convert = [&m] {
        for (int i = 0; i < 200; ++i) {
            wire::JMSMsg out;
            m.getJMSMsg(out);
            ASSERT_EQ(out.hdr.JMSProperties.length(), 50u);
            ASSERT_EQ(out.hdr.JMSProperties[49].val.propInt(), 49);
            ASSERT_EQ(out.msg.bytes().val.length(), 1000u);
        }
    };
    std::thread other(convert);
    convert();
    other.join();
}

TEST(ReceivedMessageModes, TextWritableBytesReadOnly) {
    const jms::QuorixQueue dest(u"Q", false);
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    in.msg.text(jms::makeTextMessage(u"body"));
    auto text = jms::messageFromWire(in, dest);
    EXPECT_NO_THROW(text->setStringProperty(u"p", u"v"));
    auto& textMessage = dynamic_cast<jms::CltTextMessage&>(*text);
    textMessage.setText(u"changed");
    EXPECT_EQ(textMessage.getText(), u"changed");

    in.msg.header(1);
    EXPECT_NO_THROW(jms::messageFromWire(in, dest)->setIntProperty(u"p", 1));

    wire::BytesMessage body;
    body.val.length(2);
    body.val[0] = 7;
    body.val[1] = 8;
    in.msg.bytes(body);
    auto received = jms::messageFromWire(in, dest);
    auto& bytes = dynamic_cast<jms::CltBytesMessage&>(*received);
    EXPECT_EQ(bytes.readByte(), 7);
    EXPECT_JMS_THROW(bytes.setStringProperty(u"p", u"v"), jms::MessageNotWriteableException,
                     u"message in read only mode");
    EXPECT_JMS_THROW(bytes.writeByte(1), jms::MessageNotWriteableException,
                     u"message in read only mode");
    bytes.clearBody();
    bytes.writeByte(1);
    bytes.setStringProperty(u"p", u"v");
}

}  // namespace
