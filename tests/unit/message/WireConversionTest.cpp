// Messages to and from the wire: round trips through the broker's encoding,
// the wire form of what is sent, and received messages built from hostile input.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <thread>
#include <tuple>

#include "../destination/Describe.h"
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
using qjmstest::describe;
using qjmstest::propertyColumns;
namespace wire = jms::wire;

namespace {

// The message after a trip through the broker's encoding.
wire::JMSMsg throughCdr(const wire::JMSMsg& value) {
    jms::CltOrb::instance();  // wide text needs the broker's code sets
    cdrMemoryStream stream;
    value >>= stream;
    wire::JMSMsg decoded;
    decoded <<= stream;
    return decoded;
}

const jms::QuorixQueue consumerQueue(u"Q", false);

// Sends `m` and receives it back, through the broker's encoding, as a consumer of `at`.
std::unique_ptr<jms::CltMessage> roundTrip(jms::CltMessage& m, wire::JMSMsg& sent,
                                           const jms::QuorixDestination& at = consumerQueue) {
    m.getJMSMsg(sent);
    return jms::messageFromWire(throughCdr(sent), at);
}

WString nameOf(size_t column) { return WString(1, static_cast<char16_t>(u'a' + column)); }

// Every header field away from its default and one property of each type survive
// the trip in every kind of message; the wire carries each property on its branch.
TEST(WireRoundTrip, EveryKindKeepsEveryFieldAndProperty) {
    jms::CltTextMessage text(WString(u"hello"));
    jms::CltHeaderMessage header;
    jms::CltBytesMessage bytes;
    bytes.writeBytes(ByteArray{1, 2, 3});
    const jms::QuorixTopic consumed(u"consumed", false);
    const std::pair<jms::CltMessage*, CORBA::Long> kinds[] = {
        {&text, 1}, {&header, 6}, {&bytes, 2}};
    for (auto [m, branch] : kinds) {
        m->setJMSMessageID(u"ID:abc");
        m->setJMSDeliveryMode(1);
        m->setJMSRedelivered(true);
        m->setJMSType(u"kind");
        m->setJMSExpiration(123456789012);
        m->setJMSPriority(9);
        m->setJMSCorrelationIDAsBytes({0xde, 0xad});
        jms::QuorixQueue replyTo(u"name=R,driver=mq,queue=LQ,manager=QM", true);
        m->setJMSReplyTo(&replyTo);
        for (size_t i = 0; i < std::size(propertyColumns); ++i)
            propertyColumns[i].set(*m, nameOf(i));

        wire::JMSMsg sent;
        auto back = roundTrip(*m, sent, consumed);
        EXPECT_EQ(sent.msg._d(), branch);
        ASSERT_EQ(sent.hdr.JMSProperties.length(), std::size(propertyColumns));
        for (CORBA::ULong i = 0; i < sent.hdr.JMSProperties.length(); ++i)
            EXPECT_EQ(sent.hdr.JMSProperties[i].val._d(), propertyColumns[i].wireBranch);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(typeid(*back), typeid(*m));
        EXPECT_EQ(back->getJMSMessageID(), u"ID:abc");
        EXPECT_EQ(back->getJMSDeliveryMode(), 1);
        EXPECT_TRUE(back->getJMSRedelivered());
        EXPECT_EQ(back->getJMSType(), u"kind");
        EXPECT_EQ(back->getJMSExpiration(), 123456789012);
        EXPECT_EQ(back->getJMSPriority(), 9);
        EXPECT_EQ(back->getJMSCorrelationID(), u"dead");
        EXPECT_EQ(back->getJMSTimestamp(), sent.hdr.JMSTimestamp);
        for (size_t i = 0; i < std::size(propertyColumns); ++i)
            propertyColumns[i].get(*back, nameOf(i));
        EXPECT_EQ(back->getPropertyNames().size(), std::size(propertyColumns));
        // The reply-to as sent; the destination is the receiving consumer's.
        EXPECT_EQ(describe(back->getJMSReplyTo()), u"queue R mq queue=LQ manager=QM");
        EXPECT_EQ(describe(back->getJMSDestination()), u"topic consumed");
        // Received text and header-only messages stay writable; a bytes message is read-only.
        ByteArray body;
        if (m == &text) {
            EXPECT_EQ(dynamic_cast<jms::CltTextMessage&>(*back).getText(), u"hello");
        } else if (m == &bytes) {
            EXPECT_EQ(dynamic_cast<jms::CltBytesMessage&>(*back).readBytes(body), 3);
            EXPECT_EQ(body, (ByteArray{1, 2, 3}));
        }
        if (m != &bytes) back->setStringProperty(u"w", u"v");
    }
}

// What a conversion writes: absent values as the null branch, never as an
// unset union (they read back empty); the time of this conversion; the current
// properties; the whole bytes body, whatever was read of it. A second send
// reuses the wire form of the first (the lent bytes, the converted text), which
// must follow every change of the body.
TEST(WireRoundTrip, EachConversionWritesDefaultsAndTheCurrentState) {
    jms::CltBytesMessage m;
    m.setJMSType(u"t");
    m.setJMSType(u"");  // empty clears
    m.setJMSCorrelationID(u"c");
    m.setJMSCorrelationIDAsBytes({});
    m.setJMSTimestamp(5);
    m.setIntProperty(u"n", 7);
    m.writeBytes(ByteArray{1, 2, 3, 4});
    const int64_t before = jms::currentTimeMillis();
    wire::JMSMsg out;
    auto back = roundTrip(m, out);
    EXPECT_GE(out.hdr.JMSTimestamp, before);
    EXPECT_LE(out.hdr.JMSTimestamp, jms::currentTimeMillis());
    EXPECT_EQ(m.getJMSTimestamp(), out.hdr.JMSTimestamp);
    const auto& h = out.hdr;
    EXPECT_EQ(std::tuple(h.JMSDeliveryMode, h.JMSPriority, h.JMSExpiration, h.JMSRedelivered),
              std::tuple(2, 4, 0, false));
    EXPECT_EQ(std::tuple(h.JMSMessageID._d(), h.JMSType._d(), h.JMSCorrelationID._d(),
                         h.JMSReplyTo._d()),
              std::tuple(false, false, false, false));
    EXPECT_EQ(h.JMSProperties.length(), 1u);
    EXPECT_EQ(out.msg.bytes().val.length(), 4u);  // write mode: all written so far
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getJMSMessageID(), u"");
    EXPECT_EQ(describe(back->getJMSReplyTo()), u"none");
    EXPECT_TRUE(back->getJMSCorrelationIDAsBytes().empty());

    m.writeBytes(ByteArray(5000, 9));  // grows the buffer the first send lent
    m.clearProperties();               // no longer travels
    m.reset();
    EXPECT_EQ(m.readByte(), 1);
    m.getJMSMsg(out);
    EXPECT_EQ(out.hdr.JMSProperties.length(), 0u);
    ASSERT_EQ(out.msg.bytes().val.length(), 5004u);
    EXPECT_EQ(out.msg.bytes().val[0], 1);
    EXPECT_EQ(out.msg.bytes().val[3], 4);
    EXPECT_EQ(out.msg.bytes().val[5003], 9);
    EXPECT_EQ(m.readByte(), 2);  // the read position stays
    m.clearBody();
    m.writeByte(7);
    m.getJMSMsg(out);
    ASSERT_EQ(out.msg.bytes().val.length(), 1u);
    EXPECT_EQ(out.msg.bytes().val[0], 7);

    jms::CltTextMessage text;
    back = roundTrip(text, out);  // the same wire message, now on the text branch
    ASSERT_EQ(out.msg._d(), 1);
    EXPECT_FALSE(out.msg.text()._d());
    EXPECT_EQ(dynamic_cast<jms::CltTextMessage&>(*back).getText(), u"");
    text.setText(u"second");
    text.getJMSMsg(out);
    EXPECT_EQ(jms::toWString(out.msg.text().val()), u"second");
    text.clearBody();
    text.getJMSMsg(out);
    EXPECT_FALSE(out.msg.text()._d());
}

// A received body read three ways: copied, taken over (the received sequence
// gives up its buffer) and borrowed (read in place while the push runs).
TEST(WireRoundTrip, ReceivedBytesCopiedTakenOrBorrowedReadTheSame) {
    jms::CltBytesMessage sent(ByteArray{4, 5, 6});
    wire::JMSMsg out;
    sent.getJMSMsg(out);
    const auto at = std::shared_ptr<const jms::QuorixDestination>(consumerQueue.clone());
    for (int way = 0; way < 3; ++way) {
        wire::JMSMsg received = throughCdr(out);
        const CORBA::Octet* buffer = received.msg.bytes().val.get_buffer();
        std::unique_ptr<jms::CltMessage> m =
            way == 0   ? jms::messageFromWire(received, consumerQueue)
            : way == 1 ? jms::takeMessage(std::move(received), at)
                       : jms::borrowMessage(received, at);
        ASSERT_NE(m, nullptr);
        ByteArray body;
        EXPECT_EQ(dynamic_cast<jms::CltBytesMessage&>(*m).readBytes(body), 3) << way;
        EXPECT_EQ(body, (ByteArray{4, 5, 6})) << way;
        EXPECT_EQ(received.msg.bytes().val.length(), way == 1 ? 0u : 3u) << way;
        EXPECT_EQ(received.msg.bytes().val.get_buffer() == buffer, way != 1) << way;
        EXPECT_EQ(describe(m->getJMSDestination()), describe(consumerQueue.clone())) << way;
    }
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
// A property on the int branch (3), or else on the default ("error") branch under `branch`.
Spoil prop(const WString& name, CORBA::Long branch = 3) {
    return [=](wire::JMSMsg& m) {
        const CORBA::ULong n = m.hdr.JMSProperties.length();
        m.hdr.JMSProperties.length(n + 1);
        m.hdr.JMSProperties[n].name = jms::toCorbaWString(name);
        wire::PropU& u = m.hdr.JMSProperties[n].val;
        if (branch == 3) u.propInt(1);
        else u.error(0), u._d(branch);
    };
}
Spoil body(const std::function<void(wire::MsgUnion&)>& set) {
    return [=](wire::JMSMsg& m) { set(m.msg); };
}
template <class... S>
Spoil all(S... spoils) {
    return [=](wire::JMSMsg& m) { (spoils(m), ...); };
}

enum Outcome { Built, NoMessage, Format, Plain, BadDest };

struct HostileCase {
    const char* what;
    Spoil spoil;
    Outcome outcome;
    const char16_t* message = u"";
};

// Refusals of wire destinations as such are the destination tests' business.
const HostileCase hostileCases[] = {
    {"valid", [](wire::JMSMsg&) {}, Built},
    // Header numbers {expiration, priority, mode, timestamp}: limits, and the
    // order of the checks when several are broken.
    {"-1 means unset", numbers(-1, -1, -1, 0), Built},
    {"lower limits", numbers(0, 0, 2, 0), Built},
    {"upper limits", numbers(INT64_MAX, 9, 1, INT64_MAX), Built},
    {"expiration -2, first", numbers(-2, 10, 0, -1), Format, u"JMSExpiration < 0"},
    {"priority -2", numbers(0, -2, 2, 0), Format, u"JMSPriority < 0"},
    {"priority 10, before mode", numbers(0, 10, 0, 0), Format, u"JMSPriority > 9"},
    {"mode 0", numbers(0, 4, 0, 0), Format, u"JMSDeliveryMode is invalid"},
    {"mode 3, before id", all(numbers(0, 4, 3, 0), messageId(u"x")), Format,
     u"JMSDeliveryMode is invalid"},
    {"lower-case id, before timestamp", all(numbers(0, 4, 2, -1), messageId(u"id:1")), Format,
     u"JMSMessageID invalid: "},
    {"timestamp -1", numbers(0, 4, 2, -1), Format, u"JMSTimestamp < 0"},
    {"absent id", messageId(u"", false), Built},
    {"bare ID: prefix", messageId(u"ID:"), Built},
    {"present but empty id", messageId(u""), Format, u"JMSMessageID invalid: "},
    {"huge type and correlation id",
     [](wire::JMSMsg& m) {
         m.hdr.JMSType = jms::makeStringU(WString(100000, u't'));
         m.hdr.JMSCorrelationID = jms::makeStringU(WString(100000, u'c'));
     },
     Built},
    // Property elements: the error branch under any discriminator, duplicates.
    {"prop discriminator 9", prop(u"p", 9), Plain, u"bad property element found"},
    {"prop discriminator 0, before priority", all(numbers(0, 10, 2, 0), prop(u"p", 0)), Plain,
     u"bad property element found"},
    {"duplicate name", all(prop(u"p"), prop(u"p")), Plain, u"could not insert property"},
    // The reply-to is checked before anything else.
    {"refused reply-to, before property",
     all(prop(u"p", 9),
         [](wire::JMSMsg& m) {
             m.hdr.JMSReplyTo = jms::makeDestinationU(jms::makeDestination(u"", false));
         }),
     BadDest, u"destination name is null"},
    // Body kinds: only text, bytes and header-only messages become messages.
    {"map body", body([](wire::MsgUnion& b) { b.map(wire::MapMessage()); }), NoMessage},
    {"object body", body([](wire::MsgUnion& b) { b.object(wire::BytesMessage()); }), NoMessage},
    {"error body 7", body([](wire::MsgUnion& b) { b.error(0), b._d(7); }), NoMessage},
    {"header branch, any value", body([](wire::MsgUnion& b) { b.header(-5); }), Built},
    {"text null branch", body([](wire::MsgUnion& b) { b.text(jms::makeTextMessage(u"")); }), Built},
    {"empty bytes", body([](wire::MsgUnion& b) { b.bytes(wire::BytesMessage()); }), Built},
};

void runCase(const HostileCase& c, const wire::JMSMsg& in) {
    auto build = [&] { return jms::messageFromWire(in, consumerQueue); };
    switch (c.outcome) {
        case Built: EXPECT_NE(build(), nullptr); break;
        case NoMessage: EXPECT_EQ(build(), nullptr); break;
        case Format: EXPECT_JMS_THROW(build(), jms::MessageFormatException, c.message); break;
        case Plain: EXPECT_JMS_THROW(build(), jms::JMSException, c.message); break;
        case BadDest: EXPECT_JMS_THROW(build(), jms::InvalidDestinationException, c.message); break;
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
    EXPECT_EQ(jms::messageFromWire(unset, consumerQueue), nullptr);
}

// Names the setters refuse are taken from the wire and order by plain unsigned code units.
TEST(ReceivePath, NamesOnlyTheWireGives) {
    wire::JMSMsg in = receivedHeaderMessage();
    for (const char16_t* name : {u"\uffff", u"\xd800", u"\u00e9", u"z", u"Z", u"JMS_Other", u""})
        prop(name)(in);
    auto m = jms::messageFromWire(throughCdr(in), consumerQueue);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->getPropertyNames(),
              (WStringList{u"", u"JMS_Other", u"Z", u"z", u"\u00e9", u"\xd800", u"\uffff"}));
}

}  // namespace
