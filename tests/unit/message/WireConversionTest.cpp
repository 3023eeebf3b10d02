// Messages to and from the wire: round trips through the broker's encoding,
// the wire form of what is sent, and received messages built from hostile input.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <thread>

#include "JmsExpect.h"
#include "PropertyColumns.h"
#include "connection/CltOrb.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"
#include "message/CltBytesMessage.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"
#include "message/MessageFromWire.h"
#include "message/MessageTime.h"

using jms::ByteArray;
using jms::WString;
using jms::WStringList;
namespace wire = jms::wire;

namespace {

// The value after a trip through the broker's encoding.
template <typename T>
T throughCdr(const T& value) {
    jms::CltOrb::instance();  // wide text needs the broker's code sets
    cdrMemoryStream stream;
    value >>= stream;
    T decoded;
    decoded <<= stream;
    return decoded;
}

const jms::QuorixQueue& consumerQueue() {
    static const jms::QuorixQueue queue(u"Q", false);
    return queue;
}

WString nameOf(size_t column) { return WString(1, static_cast<char16_t>(u'a' + column)); }

// Every header field away from its default, and one property of each type.
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
    for (size_t i = 0; i < std::size(qjmstest::propertyColumns); ++i)
        qjmstest::propertyColumns[i].set(m, nameOf(i));
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
    ASSERT_TRUE(queue->isDefined());
    EXPECT_EQ(jms::toWStringList(queue->getIDLDestination().defined.dest().values),
              (WStringList{u"LQ", u"QM"}));
    for (size_t i = 0; i < std::size(qjmstest::propertyColumns); ++i) {
        SCOPED_TRACE(qjmstest::propertyColumns[i].type);
        qjmstest::propertyColumns[i].get(m, nameOf(i));
    }
    EXPECT_EQ(m.getPropertyNames().size(), std::size(qjmstest::propertyColumns));
}

// Sends `m` and receives it back, through the broker's encoding, as a consumer of `at`.
std::unique_ptr<jms::CltMessage> roundTrip(jms::CltMessage& m, wire::JMSMsg& sent,
                                           const jms::QuorixDestination& at = consumerQueue()) {
    m.getJMSMsg(sent);
    return jms::messageFromWire(throughCdr(sent), at);
}

TEST(WireRoundTrip, EveryKindKeepsEveryFieldAndProperty) {
    jms::CltTextMessage text(WString(u"hello"));
    jms::CltHeaderMessage header;
    jms::CltBytesMessage bytes;
    bytes.writeBytes(ByteArray{1, 2, 3});
    const jms::QuorixTopic consumed(u"consumed", false);
    const std::pair<jms::CltMessage*, CORBA::Long> kinds[] = {
        {&text, 1}, {&header, 6}, {&bytes, 2}};
    for (auto [m, branch] : kinds) {
        fillEverything(*m);
        wire::JMSMsg sent;
        const int64_t before = jms::currentTimeMillis();
        auto back = roundTrip(*m, sent, consumed);
        const int64_t after = jms::currentTimeMillis();
        EXPECT_EQ(sent.msg._d(), branch);
        ASSERT_EQ(sent.hdr.JMSProperties.length(), std::size(qjmstest::propertyColumns));
        for (CORBA::ULong i = 0; i < sent.hdr.JMSProperties.length(); ++i)
            EXPECT_EQ(sent.hdr.JMSProperties[i].val._d(), qjmstest::propertyColumns[i].wireBranch);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(typeid(*back), typeid(*m));
        expectEverything(*back);
        // Received text and header-only messages stay writable; a bytes message is read-only.
        if (m != &bytes) back->setStringProperty(u"w", u"v");
        EXPECT_GE(back->getJMSTimestamp(), before);
        EXPECT_LE(back->getJMSTimestamp(), after);
        // The receiving consumer's destination, not anything of the sender's.
        std::unique_ptr<jms::Destination> dest(back->getJMSDestination());
        auto* topic = dynamic_cast<jms::QuorixTopic*>(dest.get());
        ASSERT_NE(topic, nullptr);
        EXPECT_EQ(topic->getTopicName(), u"consumed");
        ByteArray body;
        if (m == &text) {
            EXPECT_EQ(dynamic_cast<jms::CltTextMessage&>(*back).getText(), u"hello");
        } else if (m == &bytes) {
            EXPECT_EQ(dynamic_cast<jms::CltBytesMessage&>(*back).readBytes(body), 3);
            EXPECT_EQ(body, (ByteArray{1, 2, 3}));
        }
    }
}

// Absent values go out as the null branch, never as an unset union, and read back empty.
TEST(WireRoundTrip, DefaultsAndEmptyValuesOnTheWire) {
    jms::CltHeaderMessage m;
    m.setJMSType(u"t");
    m.setJMSType(u"");  // empty clears
    m.setJMSCorrelationID(u"c");
    m.setJMSCorrelationIDAsBytes({});
    wire::JMSMsg sent;
    auto back = roundTrip(m, sent);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(sent.hdr.JMSDeliveryMode, 2);
    EXPECT_EQ(sent.hdr.JMSPriority, 4);
    EXPECT_EQ(sent.hdr.JMSExpiration, 0);
    EXPECT_FALSE(sent.hdr.JMSRedelivered);
    EXPECT_FALSE(sent.hdr.JMSMessageID._d());
    EXPECT_FALSE(sent.hdr.JMSType._d());
    EXPECT_FALSE(sent.hdr.JMSCorrelationID._d());
    EXPECT_FALSE(sent.hdr.JMSReplyTo._d());
    EXPECT_EQ(back->getJMSMessageID(), u"");
    EXPECT_EQ(back->getJMSReplyTo(), nullptr);
    EXPECT_EQ(back->getJMSCorrelationID(), u"");
    EXPECT_TRUE(back->getJMSCorrelationIDAsBytes().empty());

    jms::CltTextMessage empty;
    back = roundTrip(empty, sent);
    ASSERT_EQ(sent.msg._d(), 1);
    EXPECT_FALSE(sent.msg.text()._d());
    EXPECT_EQ(dynamic_cast<jms::CltTextMessage&>(*back).getText(), u"");
}

// Each conversion stamps the time and writes the current properties; the
// whole bytes body goes, whatever was read of it.
TEST(WireRoundTrip, ConversionWritesTheCurrentState) {
    jms::CltBytesMessage m;
    m.setJMSTimestamp(5);
    m.setIntProperty(u"n", 7);
    m.writeBytes(ByteArray{1, 2, 3, 4});
    const int64_t before = jms::currentTimeMillis();
    wire::JMSMsg first, second;
    m.getJMSMsg(first);
    EXPECT_GE(first.hdr.JMSTimestamp, before);
    EXPECT_EQ(m.getJMSTimestamp(), first.hdr.JMSTimestamp);
    EXPECT_EQ(first.hdr.JMSProperties.length(), 1u);
    EXPECT_EQ(first.msg.bytes().val.length(), 4u);  // write mode: all written so far

    m.clearProperties();  // no longer travels
    m.reset();
    EXPECT_EQ(m.readByte(), 1);
    m.getJMSMsg(second);
    EXPECT_GE(second.hdr.JMSTimestamp, first.hdr.JMSTimestamp);
    EXPECT_EQ(second.hdr.JMSProperties.length(), 0u);
    ASSERT_EQ(second.msg.bytes().val.length(), 4u);
    EXPECT_EQ(second.msg.bytes().val[0], 1);
    EXPECT_EQ(m.readByte(), 2);  // the read position stays

    jms::CltBytesMessage empty;
    empty.getJMSMsg(second);
    EXPECT_EQ(second.msg.bytes().val.length(), 0u);
}

// One message sent from two threads at once: each conversion sees the whole
// property list, never one half-written by the other.
TEST(WireRoundTrip, ConcurrentConversionsOfOneMessage) {
    jms::CltBytesMessage m;
    for (int i = 0; i < 50; ++i)
        m.setIntProperty(WString{u'p', static_cast<char16_t>(u'A' + i / 10),
                                 static_cast<char16_t>(u'0' + i % 10)},
                         i);
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

// A valid header-only message as a provider would pass it on.
wire::JMSMsg receivedHeaderMessage() {
    jms::CltHeaderMessage sent;
    sent.setJMSMessageID(u"ID:42");
    wire::JMSMsg m;
    sent.getJMSMsg(m);
    return m;
}

// Ways to spoil it, one per table row below.
using Spoil = std::function<void(wire::JMSMsg&)>;
Spoil numbers(int64_t expiration, int32_t priority, int32_t mode, int64_t timestamp) {
    return [=](wire::JMSMsg& m) {
        m.hdr.JMSExpiration = expiration;
        m.hdr.JMSPriority = priority;
        m.hdr.JMSDeliveryMode = mode;
        m.hdr.JMSTimestamp = timestamp;
    };
}
Spoil messageId(const WString& id, bool present = true) {
    return [=](wire::JMSMsg& m) {
        if (present) m.hdr.JMSMessageID.val(jms::toCorbaWString(id));
        else m.hdr.JMSMessageID.nullValue(0);
    };
}
// A property on the byte (1), int (3) or string (8) branch, or else on the
// default ("error") branch under `branch`.
Spoil prop(const WString& name, CORBA::Long branch) {
    return [=](wire::JMSMsg& m) {
        const CORBA::ULong n = m.hdr.JMSProperties.length();
        m.hdr.JMSProperties.length(n + 1);
        m.hdr.JMSProperties[n].name = jms::toCorbaWString(name);
        wire::PropU& u = m.hdr.JMSProperties[n].val;
        if (branch == 1) u.propByte(0xff);
        else if (branch == 3) u.propInt(1);
        else if (branch == 8) u.propString(L"s");
        else u.error(0), u._d(branch);
    };
}
Spoil replyTo(const WString& name, bool isTopic, const WString& driver = u"",
              const WStringList& tags = {}, const WStringList& values = {}) {
    return [=](wire::JMSMsg& m) {
        wire::Destination dest = jms::makeDestination(name, isTopic);
        if (!driver.empty() || !tags.empty()) {
            wire::DefinedDestination d;
            d.driver_name = jms::toCorbaWString(driver);
            d.tags = jms::toCorbaStrings(tags);
            d.values = jms::toCorbaStrings(values);
            dest.defined.dest(d);
        }
        m.hdr.JMSReplyTo = jms::makeDestinationU(dest);
    };
}
Spoil body(const std::function<void(wire::MsgUnion&)>& set) {
    return [=](wire::JMSMsg& m) { set(m.msg); };
}
Spoil both(Spoil first, Spoil second) {
    return [=](wire::JMSMsg& m) {
        first(m);
        second(m);
    };
}

enum Outcome { Built, NoMessage, Format, Plain, BadDest };

struct HostileCase {
    const char* what;
    Spoil spoil;
    Outcome outcome;
    const char16_t* message = nullptr;
};

const WStringList mqTags{u"queue", u"manager"};
const WStringList mqValues{u"LQ", u"QM"};

const HostileCase hostileCases[] = {
    {"valid", [](wire::JMSMsg&) {}, Built},
    // Header numbers {expiration, priority, mode, timestamp} at and beyond their limits.
    {"-1 means unset", numbers(-1, -1, -1, 0), Built},
    {"upper limits", numbers(INT64_MAX, 9, 1, INT64_MAX), Built},
    {"priority 0", numbers(0, 0, 2, 0), Built},
    {"expiration -2", numbers(-2, 4, 2, 0), Format, u"JMSExpiration < 0"},
    {"expiration first", numbers(INT64_MIN, 12, 7, -1), Format, u"JMSExpiration < 0"},
    {"priority -2", numbers(0, -2, 2, 0), Format, u"JMSPriority < 0"},
    {"priority 10", numbers(0, 10, 2, 0), Format, u"JMSPriority > 9"},
    {"priority 12 before mode", numbers(0, 12, 0, 0), Format, u"JMSPriority > 9"},
    {"priority max", numbers(0, INT32_MAX, 2, 0), Format, u"JMSPriority > 9"},
    {"mode 0", numbers(0, 4, 0, 0), Format, u"JMSDeliveryMode is invalid"},
    {"mode 3", numbers(0, 4, 3, 0), Format, u"JMSDeliveryMode is invalid"},
    {"mode before id", both(numbers(0, 4, 3, 0), messageId(u"x")), Format,
     u"JMSDeliveryMode is invalid"},
    {"timestamp -1", numbers(0, 4, 2, -1), Format, u"JMSTimestamp < 0"},
    {"id before timestamp", both(numbers(0, 4, 2, -1), messageId(u"x")), Format,
     u"JMSMessageID invalid: "},
    {"absent id", messageId(u"", false), Built},
    {"bare ID: prefix", messageId(u"ID:"), Built},
    {"present but empty id", messageId(u""), Format, u"JMSMessageID invalid: "},
    {"short id", messageId(u"I"), Format, u"JMSMessageID invalid: "},
    {"lower-case id", messageId(u"id:1"), Format, u"JMSMessageID invalid: "},
    {"huge type and correlation id",
     [](wire::JMSMsg& m) {
         m.hdr.JMSType = jms::makeStringU(WString(100000, u't'));
         m.hdr.JMSCorrelationID = jms::makeStringU(WString(100000, u'c'));
     },
     Built},
    // Property elements: the error branch under any discriminator, duplicates.
    {"prop discriminator 0", prop(u"p", 0), Plain, u"bad property element found"},
    {"prop discriminator 9", prop(u"p", 9), Plain, u"bad property element found"},
    {"prop discriminator -1", prop(u"p", -1), Plain, u"bad property element found"},
    {"duplicate name", both(prop(u"p", 3), prop(u"p", 3)), Plain, u"could not insert property"},
    {"duplicate name, other type", both(prop(u"p", 3), prop(u"p", 8)), Plain,
     u"could not insert property"},
    {"names the setters refuse", both(prop(u"", 3), prop(u"JMS_Other", 3)), Built},
    // Reply-to: plain and defined, with every kind of bad definition.
    {"plain reply-to", replyTo(u"R", true), Built},
    {"defined reply-to", replyTo(u"R", false, u"mq", mqTags, mqValues), Built},
    {"reply-to empty name", replyTo(u"", true), BadDest, u"destination name is null"},
    {"reply-to name too long", replyTo(WString(65536, u'r'), false), BadDest,
     u"destination name length must be <= 65535"},
    {"reply-to wrong driver", replyTo(u"R", false, u"jdbc", {u"a"}, {u"b"}), BadDest,
     u"\"driver\" definition not supported ->jdbc<-"},
    {"reply-to mismatched tags", replyTo(u"R", false, u"mq", mqTags, {u"LQ"}), BadDest,
     u"length mismatch"},
    {"reply-to no tags", replyTo(u"R", false, u"vol"), BadDest, u"null arg"},
    {"reply-to mq topic", replyTo(u"R", true, u"mq", mqTags, mqValues), BadDest,
     u"cannot define topic for mq driver"},
    {"reply-to defined, no driver, no name", replyTo(u"", false, u"", {u"x"}), BadDest,
     u"destination name is null"},
    // The reply-to is checked first, then the properties, then the numbers.
    {"reply-to before property", both(prop(u"p", 9), replyTo(u"", false)), BadDest,
     u"destination name is null"},
    {"property before priority", both(numbers(0, 12, 2, 0), prop(u"p", 9)), Plain,
     u"bad property element found"},
    // Body kinds: only text, bytes and header-only messages become messages.
    {"map body", body([](wire::MsgUnion& b) { b.map(wire::MapMessage()); }), NoMessage},
    {"stream body", body([](wire::MsgUnion& b) { b.stream(wire::StreamMessage()); }), NoMessage},
    {"object body", body([](wire::MsgUnion& b) { b.object(wire::BytesMessage()); }), NoMessage},
    {"error body 0", body([](wire::MsgUnion& b) { b.error(0), b._d(0); }), NoMessage},
    {"error body 7", body([](wire::MsgUnion& b) { b.error(0), b._d(7); }), NoMessage},
    {"header branch, any value", body([](wire::MsgUnion& b) { b.header(-5); }), Built},
    {"text null branch", body([](wire::MsgUnion& b) { b.text(jms::makeTextMessage(u"")); }), Built},
    {"empty bytes", body([](wire::MsgUnion& b) { b.bytes(wire::BytesMessage()); }), Built},
};

void runCase(const HostileCase& c, const wire::JMSMsg& in) {
    const bool throws = c.outcome != Built && c.outcome != NoMessage;
    try {
        auto message = jms::messageFromWire(in, consumerQueue());
        if (throws) ADD_FAILURE() << "accepted";
        else EXPECT_EQ(message != nullptr, c.outcome == Built);
    } catch (const jms::JMSException& e) {
        if (!throws) {
            ADD_FAILURE() << "threw \"" << qjmstest::narrow(e.getMessage()) << "\"";
            return;
        }
        using Format_ = jms::MessageFormatException;
        using BadDest_ = jms::InvalidDestinationException;
        const std::type_info& expected = c.outcome == Format    ? typeid(Format_)
                                         : c.outcome == BadDest ? typeid(BadDest_)
                                                                : typeid(jms::JMSException);
        EXPECT_EQ(typeid(e), expected) << typeid(e).name();
        EXPECT_EQ(e.getMessage(), c.message) << qjmstest::narrow(e.getMessage());
    }
}

// Each case is fed as built in memory and again after the broker's encoding,
// which is how a provider's message actually arrives.
TEST(ReceivePath, HostileTable) {
    for (const auto& c : hostileCases) {
        SCOPED_TRACE(c.what);
        wire::JMSMsg in = receivedHeaderMessage();
        c.spoil(in);
        runCase(c, in);
        runCase(c, throughCdr(in));
    }
    // A body union never given a branch cannot come from the broker, which
    // always decodes one, but an in-process provider could hand it over.
    wire::JMSMsg unset;  // built in place: assigning an unset union keeps the old label
    unset.hdr = receivedHeaderMessage().hdr;
    EXPECT_EQ(jms::messageFromWire(unset, consumerQueue()), nullptr);
}

// Names the setters would refuse still order by plain unsigned code units, and
// a byte travels unsigned but reads signed.
TEST(ReceivePath, WireOnlyValues) {
    wire::JMSMsg in = receivedHeaderMessage();
    prop(u"byte", 1)(in);
    for (const char16_t* name : {u"\uffff", u"\xd800", u"\u00e9", u"z", u"Z"}) prop(name, 3)(in);
    auto m = jms::messageFromWire(throughCdr(in), consumerQueue());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->getByteProperty(u"byte"), -1);
    EXPECT_EQ(m->getPropertyNames(),
              (WStringList{u"Z", u"byte", u"z", u"\u00e9", u"\xd800", u"\uffff"}));
}

TEST(ReceivePath, HugePropertyListAndBody) {
    wire::JMSMsg in = receivedHeaderMessage();
    const CORBA::ULong count = 50000;
    in.hdr.JMSProperties.length(count);
    for (CORBA::ULong i = 0; i < count; ++i) {
        const std::string digits = std::to_string(i);
        in.hdr.JMSProperties[i].name =
            jms::toCorbaWString(u"p" + WString(digits.begin(), digits.end()));
        in.hdr.JMSProperties[i].val.propLong(i);
    }
    wire::BytesMessage body;
    body.val.length(8u << 20);
    for (CORBA::ULong i = 0; i < body.val.length(); ++i) body.val[i] = static_cast<CORBA::Octet>(i);
    in.msg.bytes(body);

    auto m = jms::messageFromWire(in, consumerQueue());
    auto& bytes = dynamic_cast<jms::CltBytesMessage&>(*m);
    EXPECT_EQ(bytes.getPropertyNames().size(), count);
    EXPECT_EQ(bytes.getLongProperty(u"p49999"), 49999);
    ByteArray all;
    EXPECT_EQ(bytes.readBytes(all), static_cast<int32_t>(8u << 20));
    EXPECT_EQ(all[12345], static_cast<uint8_t>(12345));
    wire::JMSMsg out;  // and back out whole
    bytes.getJMSMsg(out);
    EXPECT_EQ(out.msg.bytes().val.length(), 8u << 20);
    EXPECT_EQ(out.hdr.JMSProperties.length(), count);
}

}  // namespace
