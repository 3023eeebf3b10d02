#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "JmsExpect.h"
#include "WireMessages.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "message/CltBytesMessage.h"
#include "message/CltTextMessage.h"
#include "message/MessageFromWire.h"

using jms::WString;
using jms::WStringList;
using qjmstest::addProperty;
using qjmstest::definedDest;
using qjmstest::errorProp;
namespace wire = jms::wire;

namespace {

enum class Outcome { Built, NoMessage, Thrown };

// One hostile (or merely unusual) received message: how to spoil a valid one and
// what must come of it. For Thrown, `type` names the exact exception class.
struct HostileCase {
    const char* what;
    std::function<void(wire::JMSMsg&)> spoil;
    Outcome outcome;
    const std::type_info* type = nullptr;
    const char16_t* message = nullptr;
};

const std::type_info& formatError = typeid(jms::MessageFormatException);
const std::type_info& plainError = typeid(jms::JMSException);
const std::type_info& destinationError = typeid(jms::InvalidDestinationException);

HostileCase built(const char* what, std::function<void(wire::JMSMsg&)> spoil) {
    return {what, std::move(spoil), Outcome::Built};
}
HostileCase none(const char* what, std::function<void(wire::JMSMsg&)> spoil) {
    return {what, std::move(spoil), Outcome::NoMessage};
}
HostileCase thrown(const char* what, std::function<void(wire::JMSMsg&)> spoil,
                   const std::type_info& type, const char16_t* message) {
    return {what, std::move(spoil), Outcome::Thrown, &type, message};
}

void setReplyTo(wire::JMSMsg& m, const WString& name, bool isTopic) {
    m.hdr.JMSReplyTo = jms::makeDestinationU(jms::makeDestination(name, isTopic));
}
void setDefinedReplyTo(wire::JMSMsg& m, const WString& name, bool isTopic,
                       const wire::DefinedDestination& def) {
    m.hdr.JMSReplyTo = jms::makeDestinationU(jms::makeDestination(name, isTopic, def));
}

std::vector<HostileCase> hostileCases() {
    wire::PropU intProp;
    intProp.propInt(1);
    wire::PropU stringProp;
    stringProp.propString(jms::toCorbaWString(u"s"));
    const auto mqTags = WStringList{u"queue", u"manager"};
    const auto mqValues = WStringList{u"LQ", u"QM"};
    return {
        built("valid", [](wire::JMSMsg&) {}),
        // Header fields at and beyond their limits.
        built("expiration -1", [](wire::JMSMsg& m) { m.hdr.JMSExpiration = -1; }),
        built("expiration max", [](wire::JMSMsg& m) { m.hdr.JMSExpiration = INT64_MAX; }),
        thrown("expiration -2", [](wire::JMSMsg& m) { m.hdr.JMSExpiration = -2; }, formatError,
               u"JMSExpiration < 0"),
        thrown("expiration min", [](wire::JMSMsg& m) { m.hdr.JMSExpiration = INT64_MIN; },
               formatError, u"JMSExpiration < 0"),
        built("priority -1", [](wire::JMSMsg& m) { m.hdr.JMSPriority = -1; }),
        built("priority 0", [](wire::JMSMsg& m) { m.hdr.JMSPriority = 0; }),
        built("priority 9", [](wire::JMSMsg& m) { m.hdr.JMSPriority = 9; }),
        thrown("priority -2", [](wire::JMSMsg& m) { m.hdr.JMSPriority = -2; }, formatError,
               u"JMSPriority < 0"),
        thrown("priority 10", [](wire::JMSMsg& m) { m.hdr.JMSPriority = 10; }, formatError,
               u"JMSPriority > 9"),
        thrown("priority 12", [](wire::JMSMsg& m) { m.hdr.JMSPriority = 12; }, formatError,
               u"JMSPriority > 9"),
        thrown("priority max", [](wire::JMSMsg& m) { m.hdr.JMSPriority = INT32_MAX; },
               formatError, u"JMSPriority > 9"),
        built("mode -1", [](wire::JMSMsg& m) { m.hdr.JMSDeliveryMode = -1; }),
        built("mode 1", [](wire::JMSMsg& m) { m.hdr.JMSDeliveryMode = 1; }),
        thrown("mode 0", [](wire::JMSMsg& m) { m.hdr.JMSDeliveryMode = 0; }, formatError,
               u"JMSDeliveryMode is invalid"),
        thrown("mode 3", [](wire::JMSMsg& m) { m.hdr.JMSDeliveryMode = 3; }, formatError,
               u"JMSDeliveryMode is invalid"),
        built("no message id", [](wire::JMSMsg& m) { m.hdr.JMSMessageID = jms::makeStringU(u""); }),
        built("bare ID: prefix", [](wire::JMSMsg& m) { m.hdr.JMSMessageID = jms::makeStringU(u"ID:"); }),
        thrown("empty present id",
               [](wire::JMSMsg& m) {
                   wire::StringU id;
                   id.val(jms::toCorbaWString(u""));
                   m.hdr.JMSMessageID = id;
               },
               formatError, u"JMSMessageID invalid: "),
        thrown("short id", [](wire::JMSMsg& m) { m.hdr.JMSMessageID = jms::makeStringU(u"I"); },
               formatError, u"JMSMessageID invalid: "),
        thrown("lower-case id", [](wire::JMSMsg& m) { m.hdr.JMSMessageID = jms::makeStringU(u"id:1"); },
               formatError, u"JMSMessageID invalid: "),
        built("timestamp 0", [](wire::JMSMsg& m) { m.hdr.JMSTimestamp = 0; }),
        thrown("timestamp -1", [](wire::JMSMsg& m) { m.hdr.JMSTimestamp = -1; }, formatError,
               u"JMSTimestamp < 0"),
        built("huge type and correlation id",
              [](wire::JMSMsg& m) {
                  m.hdr.JMSType = jms::makeStringU(WString(100000, u't'));
                  m.hdr.JMSCorrelationID = jms::makeStringU(WString(100000, u'c'));
              }),
        // Property elements.
        thrown("prop discriminator 0", [](wire::JMSMsg& m) { addProperty(m, u"p", errorProp(0)); },
               plainError, u"bad property element found"),
        thrown("prop discriminator 9", [](wire::JMSMsg& m) { addProperty(m, u"p", errorProp(9)); },
               plainError, u"bad property element found"),
        thrown("prop discriminator -1", [](wire::JMSMsg& m) { addProperty(m, u"p", errorProp(-1)); },
               plainError, u"bad property element found"),
        thrown("prop default branch",
               [](wire::JMSMsg& m) {
                   wire::PropU u;
                   u.error(5);
                   addProperty(m, u"p", u);
               },
               plainError, u"bad property element found"),
        thrown("duplicate name",
               [=](wire::JMSMsg& m) {
                   addProperty(m, u"p", intProp);
                   addProperty(m, u"p", intProp);
               },
               plainError, u"could not insert property"),
        thrown("duplicate name, other type",
               [=](wire::JMSMsg& m) {
                   addProperty(m, u"p", intProp);
                   addProperty(m, u"p", stringProp);
               },
               plainError, u"could not insert property"),
        built("names the setters refuse",
              [=](wire::JMSMsg& m) {
                  addProperty(m, u"", intProp);
                  addProperty(m, u"like", intProp);
                  addProperty(m, u"JMS_Other", intProp);
              }),
        // Reply-to definitions.
        built("plain reply-to queue", [](wire::JMSMsg& m) { setReplyTo(m, u"R", false); }),
        built("defined reply-to",
              [=](wire::JMSMsg& m) { setDefinedReplyTo(m, u"R", false, definedDest(u"mq", mqTags, mqValues)); }),
        thrown("reply-to with empty name", [](wire::JMSMsg& m) { setReplyTo(m, u"", true); },
               destinationError, u"destination name is null"),
        thrown("reply-to name too long", [](wire::JMSMsg& m) { setReplyTo(m, WString(65536, u'r'), false); },
               destinationError, u"destination name length must be <= 65535"),
        thrown("reply-to wrong driver",
               [](wire::JMSMsg& m) { setDefinedReplyTo(m, u"R", false, definedDest(u"jdbc", {u"a"}, {u"b"})); },
               destinationError, u"\"driver\" definition not supported ->jdbc<-"),
        thrown("reply-to mismatched tags",
               [=](wire::JMSMsg& m) { setDefinedReplyTo(m, u"R", false, definedDest(u"mq", mqTags, {u"LQ"})); },
               destinationError, u"length mismatch"),
        thrown("reply-to no tags",
               [](wire::JMSMsg& m) { setDefinedReplyTo(m, u"R", false, definedDest(u"vol", {}, {})); },
               destinationError, u"null arg"),
        thrown("reply-to mq topic",
               [=](wire::JMSMsg& m) { setDefinedReplyTo(m, u"R", true, definedDest(u"mq", mqTags, mqValues)); },
               destinationError, u"cannot define topic for mq driver"),
        thrown("reply-to defined, empty driver and name",
               [](wire::JMSMsg& m) { setDefinedReplyTo(m, u"", false, definedDest(u"", {}, {})); },
               destinationError, u"destination name is null"),
        // Checks run in order: reply-to, properties, then the fields.
        thrown("bad reply-to before bad priority",
               [](wire::JMSMsg& m) {
                   m.hdr.JMSPriority = 12;
                   setReplyTo(m, u"", false);
               },
               destinationError, u"destination name is null"),
        thrown("bad property before bad priority",
               [](wire::JMSMsg& m) {
                   m.hdr.JMSPriority = 12;
                   addProperty(m, u"p", errorProp(9));
               },
               plainError, u"bad property element found"),
        // Body kinds.
        none("map body", [](wire::JMSMsg& m) { m.msg.map(wire::MapMessage()); }),
        none("stream body", [](wire::JMSMsg& m) { m.msg.stream(wire::StreamMessage()); }),
        none("object body", [](wire::JMSMsg& m) { m.msg.object(wire::BytesMessage()); }),
        none("error branch 0",
             [](wire::JMSMsg& m) {
                 m.msg.error(0);
                 m.msg._d(0);
             }),
        none("error branch 7",
             [](wire::JMSMsg& m) {
                 m.msg.error(0);
                 m.msg._d(7);
             }),
        built("header branch with any value", [](wire::JMSMsg& m) { m.msg.header(-5); }),
        built("text null branch", [](wire::JMSMsg& m) { m.msg.text(jms::makeTextMessage(u"")); }),
        built("empty bytes", [](wire::JMSMsg& m) { m.msg.bytes(wire::BytesMessage()); }),
    };
}

void runCase(const HostileCase& c, const wire::JMSMsg& in) {
    const jms::QuorixQueue dest(u"Q", false);
    try {
        auto message = jms::messageFromWire(in, dest);
        if (c.outcome == Outcome::Thrown) {
            ADD_FAILURE() << "accepted";
        } else {
            EXPECT_EQ(message != nullptr, c.outcome == Outcome::Built);
        }
    } catch (const jms::JMSException& e) {
        if (c.outcome != Outcome::Thrown) {
            ADD_FAILURE() << "threw \"" << qjmstest::narrow(e.getMessage()) << "\"";
            return;
        }
        EXPECT_EQ(typeid(e), *c.type) << typeid(e).name();
        EXPECT_EQ(e.getMessage(), c.message) << qjmstest::narrow(e.getMessage());
    }
}

// Each case is fed as built in memory and again after the broker's encoding,
// which is how a provider's message actually arrives.
TEST(ReceivePath, HostileTable) {
    for (const auto& c : hostileCases()) {
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

TEST(ReceivePath, EveryPropertyBranch) {
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    wire::PropU u;
    u.propByte(0xff);
    addProperty(in, u"byte", u);
    u.propShort(-3);
    addProperty(in, u"short", u);
    u.propInt(-4);
    addProperty(in, u"int", u);
    u.propLong(-5);
    addProperty(in, u"long", u);
    u.propBoolean(true);
    addProperty(in, u"bool", u);
    u.propFloat(1.5f);
    addProperty(in, u"float", u);
    u.propDouble(2.5);
    addProperty(in, u"double", u);
    u.propString(jms::toCorbaWString(u"str"));
    addProperty(in, u"string", u);

    const jms::QuorixTopic dest(u"T", false);
    auto m = jms::messageFromWire(qjmstest::throughCdr(in), dest);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->getByteProperty(u"byte"), -1);
    EXPECT_EQ(m->getShortProperty(u"short"), -3);
    EXPECT_EQ(m->getIntProperty(u"int"), -4);
    EXPECT_EQ(m->getLongProperty(u"long"), -5);
    EXPECT_TRUE(m->getBooleanProperty(u"bool"));
    EXPECT_EQ(m->getFloatProperty(u"float"), 1.5f);
    EXPECT_EQ(m->getDoubleProperty(u"double"), 2.5);
    EXPECT_EQ(m->getStringProperty(u"string"), u"str");
    EXPECT_THROW(m->getIntProperty(u"byte"), jms::NullPointerException);
}

// Names the setters would refuse still order by plain unsigned code units.
TEST(ReceivePath, ReceivedNamesInCodeUnitOrder) {
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    wire::PropU u;
    u.propInt(1);
    for (const char16_t* name : {u"\uffff", u"\xd800", u"\u00e9", u"z", u"Z"})
        addProperty(in, name, u);
    const jms::QuorixQueue dest(u"Q", false);
    auto m = jms::messageFromWire(in, dest);
    EXPECT_EQ(m->getPropertyNames(),
              (WStringList{u"Z", u"z", u"\u00e9", u"\xd800", u"\uffff"}));
}

TEST(ReceivePath, HugePropertyListAndBody) {
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    const CORBA::ULong count = 50000;
    in.hdr.JMSProperties.length(count);
    for (CORBA::ULong i = 0; i < count; ++i) {
        in.hdr.JMSProperties[i].name = jms::toCorbaWString(u"p" + jms::WString(std::to_string(i).begin(), std::to_string(i).end()));
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

    // And back out whole.
    wire::JMSMsg out;
    bytes.getJMSMsg(out);
    EXPECT_EQ(out.msg.bytes().val.length(), 8u << 20);
    EXPECT_EQ(out.hdr.JMSProperties.length(), count);
}

TEST(ReceivePath, HugeTextBody) {
    wire::JMSMsg in = qjmstest::receivedHeaderMessage();
    in.msg.text(jms::makeTextMessage(WString(4u << 20, u'x')));
    const jms::QuorixQueue dest(u"Q", false);
    auto m = jms::messageFromWire(in, dest);
    EXPECT_EQ(dynamic_cast<jms::CltTextMessage&>(*m).getText().size(), 4u << 20);
}

}  // namespace
