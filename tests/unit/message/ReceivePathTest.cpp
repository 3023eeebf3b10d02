#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "JmsExpect.h"
#include "WireMessages.h"
#include "destination/QuorixQueue.h"
#include "message/CltBytesMessage.h"
#include "message/MessageFromWire.h"

using jms::WString;
using jms::WStringList;
namespace wire = jms::wire;

namespace {

using Spoil = std::function<void(wire::JMSMsg&)>;

// Ways to spoil a valid received message, one line per table row below.
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
Spoil prop(const WString& name, wire::PropU value) {
    return [=](wire::JMSMsg& m) { qjmstest::addProperty(m, name, value); };
}
wire::PropU intProp(CORBA::Long v) {
    wire::PropU u;
    u.propInt(v);
    return u;
}
wire::PropU textProp(const WString& v) {
    wire::PropU u;
    u.propString(jms::toCorbaWString(v));
    return u;
}
Spoil replyTo(const WString& name, bool isTopic) {
    return [=](wire::JMSMsg& m) {
        m.hdr.JMSReplyTo = jms::makeDestinationU(jms::makeDestination(name, isTopic));
    };
}
Spoil definedReplyTo(const WString& name, bool isTopic, const WString& driver,
                     const WStringList& tags, const WStringList& values) {
    return [=](wire::JMSMsg& m) {
        m.hdr.JMSReplyTo = jms::makeDestinationU(
            jms::makeDestination(name, isTopic, qjmstest::definedDest(driver, tags, values)));
    };
}
Spoil errorBody(CORBA::Long discriminator) {
    return [=](wire::JMSMsg& m) {
        m.msg.error(0);
        m.msg._d(discriminator);
    };
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
    {"prop discriminator 0", prop(u"p", qjmstest::errorProp(0)), Plain, u"bad property element found"},
    {"prop discriminator 9", prop(u"p", qjmstest::errorProp(9)), Plain, u"bad property element found"},
    {"prop discriminator -1", prop(u"p", qjmstest::errorProp(-1)), Plain, u"bad property element found"},
    {"duplicate name", both(prop(u"p", intProp(1)), prop(u"p", intProp(2))), Plain,
     u"could not insert property"},
    {"duplicate name, other type", both(prop(u"p", intProp(1)), prop(u"p", textProp(u"s"))),
     Plain, u"could not insert property"},
    {"names the setters refuse", both(prop(u"", intProp(1)), prop(u"JMS_Other", intProp(1))), Built},
    // Reply-to: plain and defined, with every kind of bad definition.
    {"plain reply-to", replyTo(u"R", true), Built},
    {"defined reply-to", definedReplyTo(u"R", false, u"mq", mqTags, mqValues), Built},
    {"reply-to empty name", replyTo(u"", true), BadDest, u"destination name is null"},
    {"reply-to name too long", replyTo(WString(65536, u'r'), false), BadDest,
     u"destination name length must be <= 65535"},
    {"reply-to wrong driver", definedReplyTo(u"R", false, u"jdbc", {u"a"}, {u"b"}), BadDest,
     u"\"driver\" definition not supported ->jdbc<-"},
    {"reply-to mismatched tags", definedReplyTo(u"R", false, u"mq", mqTags, {u"LQ"}), BadDest,
     u"length mismatch"},
    {"reply-to no tags", definedReplyTo(u"R", false, u"vol", {}, {}), BadDest, u"null arg"},
    {"reply-to mq topic", definedReplyTo(u"R", true, u"mq", mqTags, mqValues), BadDest,
     u"cannot define topic for mq driver"},
    {"reply-to defined, no driver, no name", definedReplyTo(u"", false, u"", {}, {}), BadDest,
     u"destination name is null"},
    // The reply-to is checked first, then the properties, then the numbers.
    {"reply-to before property", both(prop(u"p", qjmstest::errorProp(9)), replyTo(u"", false)),
     BadDest, u"destination name is null"},
    {"property before priority", both(numbers(0, 12, 2, 0), prop(u"p", qjmstest::errorProp(9))),
     Plain, u"bad property element found"},
    // Body kinds: only text, bytes and header-only messages become messages.
    {"map body", [](wire::JMSMsg& m) { m.msg.map(wire::MapMessage()); }, NoMessage},
    {"stream body", [](wire::JMSMsg& m) { m.msg.stream(wire::StreamMessage()); }, NoMessage},
    {"object body", [](wire::JMSMsg& m) { m.msg.object(wire::BytesMessage()); }, NoMessage},
    {"error body 0", errorBody(0), NoMessage},
    {"error body 7", errorBody(7), NoMessage},
    {"header branch, any value", [](wire::JMSMsg& m) { m.msg.header(-5); }, Built},
    {"text null branch", [](wire::JMSMsg& m) { m.msg.text(jms::makeTextMessage(u"")); }, Built},
    {"empty bytes", [](wire::JMSMsg& m) { m.msg.bytes(wire::BytesMessage()); }, Built},
};

const std::type_info& expectedType(Outcome outcome) {
    switch (outcome) {
        case Format: return typeid(jms::MessageFormatException);
        case BadDest: return typeid(jms::InvalidDestinationException);
        default: return typeid(jms::JMSException);
    }
}

void runCase(const HostileCase& c, const wire::JMSMsg& in) {
    const jms::QuorixQueue dest(u"Q", false);
    const bool throws = c.outcome != Built && c.outcome != NoMessage;
    try {
        auto message = jms::messageFromWire(in, dest);
        if (throws) ADD_FAILURE() << "accepted";
        else EXPECT_EQ(message != nullptr, c.outcome == Built);
    } catch (const jms::JMSException& e) {
        if (!throws) {
            ADD_FAILURE() << "threw \"" << qjmstest::narrow(e.getMessage()) << "\"";
            return;
        }
        EXPECT_EQ(typeid(e), expectedType(c.outcome)) << typeid(e).name();
        EXPECT_EQ(e.getMessage(), c.message) << qjmstest::narrow(e.getMessage());
    }
}

// Each case is fed as built in memory and again after the broker's encoding,
// which is how a provider's message actually arrives.
TEST(ReceivePath, HostileTable) {
    for (const auto& c : hostileCases) {
        SCOPED_TRACE(c.what);
        wire::JMSMsg in = qjmstest::receivedHeaderMessage();
        c.spoil(in);
        runCase(c, in);
        runCase(c, qjmstest::throughCdr(in));
    }
}

// A body union never given a branch (it cannot arrive from the broker, which
// always decodes one, but an in-process provider could hand it over).
TEST(ReceivePath, UnsetBodyGivesNoMessage) {
    wire::JMSMsg in;  // built in place: assigning an unset union keeps the old label
    in.hdr = qjmstest::receivedHeaderMessage().hdr;
    const jms::QuorixQueue dest(u"Q", false);
    EXPECT_EQ(jms::messageFromWire(in, dest), nullptr);
}

TEST(ReceivePath, WireOnlyValues) {
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    wire::PropU u;
    u.propByte(0xff);
    qjmstest::addProperty(in, u"byte", u);
    // Names the setters would refuse still order by plain unsigned code units.
    for (const char16_t* name : {u"\uffff", u"\xd800", u"\u00e9", u"z", u"Z"})
        qjmstest::addProperty(in, name, intProp(1));
    const jms::QuorixQueue dest(u"Q", false);
    auto m = jms::messageFromWire(qjmstest::throughCdr(in), dest);
    EXPECT_EQ(m->getByteProperty(u"byte"), -1);
    EXPECT_EQ(m->getPropertyNames(),
              (WStringList{u"Z", u"byte", u"z", u"\u00e9", u"\xd800", u"\uffff"}));
}

TEST(ReceivePath, HugePropertyListAndBody) {
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    const CORBA::ULong count = 50000;
    in.hdr.JMSProperties.length(count);
    for (CORBA::ULong i = 0; i < count; ++i) {
        const std::string digits = std::to_string(i);
        in.hdr.JMSProperties[i].name = jms::toCorbaWString(u"p" + WString(digits.begin(), digits.end()));
        in.hdr.JMSProperties[i].val.propLong(i);
    }
    wire::BytesMessage body;
    body.val.length(8u << 20);
    for (CORBA::ULong i = 0; i < body.val.length(); ++i) body.val[i] = static_cast<CORBA::Octet>(i);
    in.msg.bytes(body);

    const jms::QuorixQueue dest(u"Q", false);
    auto m = jms::messageFromWire(in, dest);
    auto& bytes = dynamic_cast<jms::CltBytesMessage&>(*m);
    EXPECT_EQ(bytes.getPropertyNames().size(), count);
    EXPECT_EQ(bytes.getLongProperty(u"p49999"), 49999);
    jms::ByteArray all;
    EXPECT_EQ(bytes.readBytes(all), static_cast<int32_t>(8u << 20));
    EXPECT_EQ(all[12345], static_cast<uint8_t>(12345));

    wire::JMSMsg out;  // and back out whole
    bytes.getJMSMsg(out);
    EXPECT_EQ(out.msg.bytes().val.length(), 8u << 20);
    EXPECT_EQ(out.hdr.JMSProperties.length(), count);
}

}  // namespace
