// Encodings of the contract's unions and structures, compared byte for byte
// with a reference written from the contract's member order and labels, then
// decoded and encoded again.
#include <functional>
#include <string>

#include "CdrSupport.h"
#include "idl/WireValues.h"

namespace {

using namespace jms;
using namespace qjmstest;

template <class T>
struct Row {
    std::function<void(T&)> set;
    Octets wire;
};

template <class T>
void check(const char* type, std::initializer_list<Row<T>> rows) {
    int i = 0;
    for (const Row<T>& row : rows) {
        SCOPED_TRACE(std::string(type) + " row " + std::to_string(i++));
        T value{};
        row.set(value);
        EXPECT_EQ(encode(value), row.wire);
        T back{};
        decode(row.wire, back);
        EXPECT_EQ(encode(back), row.wire);
    }
}

TEST(WireEncoding, UnionBranches) {
    using P = wire::PropU;
    check<P>("PropU", {
        {[](P& u) { u.propByte(0xAB); }, Ref().l(1).o(0xAB)},
        {[](P& u) { u.propShort(-2); }, Ref().l(2).sh(-2)},
        {[](P& u) { u.propInt(-3); }, Ref().l(3).l(-3)},
        {[](P& u) { u.propLong(1LL << 40); }, Ref().l(4).ll(1LL << 40)},
        {[](P& u) { u.propBoolean(true); }, Ref().l(5).b(true)},
        {[](P& u) { u.propFloat(1.5f); }, Ref().l(6).f(1.5f)},
        {[](P& u) { u.propDouble(-0.25); }, Ref().l(7).d(-0.25)},
        {[](P& u) { u.propString(L"s"); }, Ref().l(8).ws(L"s")},
        {[](P& u) { u.error(5), u._d(0); }, Ref().l(0).l(5)},
        {[](P& u) { u.error(5), u._d(9); }, Ref().l(9).l(5)},
        {[](P& u) { u.error(5), u._d(-1); }, Ref().l(-1).l(5)}});
    using E = wire::ElemU;
    wire::Bytes bytes;
    bytes.length(2);
    bytes[0] = 1, bytes[1] = 2;
    check<E>("ElemU", {
        {[](E& u) { u.elemByte(7); }, Ref().l(1).o(7)},
        {[](E& u) { u.elemShort(2); }, Ref().l(2).sh(2)},
        {[](E& u) { u.elemInt(3); }, Ref().l(3).l(3)},
        {[](E& u) { u.elemLong(-4); }, Ref().l(4).ll(-4)},
        {[](E& u) { u.elemBoolean(false); }, Ref().l(5).b(false)},
        {[](E& u) { u.elemFloat(6.5f); }, Ref().l(6).f(6.5f)},
        {[](E& u) { u.elemDouble(7.5); }, Ref().l(7).d(7.5)},
        {[](E& u) { u.elemString(L"e"); }, Ref().l(8).ws(L"e")},
        {[](E& u) { u.elemChar(L'c'); }, Ref().l(9).wc(L'c')},
        {[&](E& u) { u.elemBytes(bytes); }, Ref().l(10).ul(2).o(1).o(2)},
        {[](E& u) { u.error(8), u._d(11); }, Ref().l(11).l(8)}});
    using M = wire::MsgUnion;
    wire::BytesMessage body;
    wire::MapMessage map;
    wire::StreamMessage stream;
    body.val.length(1), map.val.length(1), stream.val.length(1);
    body.val[0] = 7, map.val[0].name = L"k";
    map.val[0].elem.elemInt(5), stream.val[0].elemBoolean(true);
    check<M>("MsgUnion", {
        {[](M& u) { u.text(makeTextMessage(u"t")); }, Ref().l(1).b(true).ws(L"t")},
        {[&](M& u) { u.bytes(body); }, Ref().l(2).ul(1).o(7)},
        {[&](M& u) { u.map(map); }, Ref().l(3).ul(1).ws(L"k").l(3).l(5)},
        {[&](M& u) { u.stream(stream); }, Ref().l(4).ul(1).l(5).b(true)},
        {[&](M& u) { u.object(body); }, Ref().l(5).ul(1).o(7)},
        {[](M& u) { u.header(12); }, Ref().l(6).l(12)},
        {[](M& u) { u.error(-1), u._d(7); }, Ref().l(7).l(-1)}});
    using I = wire::IDU;  // each identifier nests its parent's
    const wire::SessionID sid{2, makeConnectionID(1, u"", u"pw")};
    const wire::UID uid{3, sid};
    check<I>("IDU", {
        {[&](I& x) { x.cid(sid.cid); }, Ref().l(1).l(1).b(false).o(0).b(true).ws(L"pw")},
        {[&](I& x) { x.sid(sid); }, Ref().l(2).l(2).l(1).b(false).o(0).b(true).ws(L"pw")},
        {[&](I& x) { x.uid(uid); },
         Ref().l(3).l(3).l(2).l(1).b(false).o(0).b(true).ws(L"pw")},
        {[](I& x) { x.error(9), x._d(4); }, Ref().l(4).o(9)}});
}

// Optional values: FALSE and an octet when absent, TRUE and the value when present.
TEST(WireEncoding, OptionalValues) {
    const Octets absent = Ref().b(false).o(0);
    check<wire::StringU>("StringU", {
        {[](auto& u) { u = makeStringU(u""); }, absent},
        {[](auto& u) { u = makeStringU(u"a"); }, Ref().b(true).ws(L"a")}});
    check<wire::TextMessage>("TextMessage", {{[](auto& u) { u = makeTextMessage(u""); }, absent}});
    check<wire::DestinationU>("DestinationU", {
        {[](auto& u) { u = makeDestinationU(); }, absent},
        {[](auto& u) { u = makeDestinationU(makeDestination(u"q", true)); },
         Ref().b(true).ws(L"q").b(true).b(false).o(0)}});
    check<wire::NullDefinedDest>("NullDefinedDest",
                                 {{[](auto& u) { u = makeNullDefinedDest(); }, absent}});
    check<wire::NullJMSMsg>("NullJMSMsg", {{[](auto& u) { u = makeNullJMSMsg(); }, absent}});
    using A = wireNotify::AttrValueU;
    A::_byte_val_seq octets;
    octets.length(1);
    octets[0] = 4;
    check<A>("AttrValueU", {{[](A& u) { u.string_val(L"v"); }, Ref().b(true).ws(L"v")},
                            {[&](A& u) { u.byte_val(octets); }, Ref().b(false).ul(1).o(4)}});
    check<wireNotify::StringNullU>("StringNullU",
                                   {{[](auto& u) { u.val(L"n"); }, Ref().b(true).ws(L"n")}});
}

template <class... U>
void expectUnsetRefused() {
    ([] { EXPECT_THROW(encode(U()), CORBA::BAD_PARAM) << typeid(U).name(); }(), ...);
}

// A union never given a branch is refused, alone or inside a structure.
TEST(WireEncoding, UnsetUnionRaisesBadParam) {
    expectUnsetRefused<wire::StringU, wire::PropU, wire::ElemU, wire::NullDefinedDest,
                       wire::DestinationU, wire::TextMessage, wire::MsgUnion, wire::NullJMSMsg,
                       wire::IDU, wireNotify::StringNullU, wireNotify::AttrValueU>();
    wire::ConnectionID c;
    c.cid = 1;
    c.password.val(L"pw");
    EXPECT_THROW(encode(c), CORBA::BAD_PARAM);  // username never set
    wire::JMSMsg m{};
    m.msg.header(0);
    EXPECT_THROW(encode(m), CORBA::BAD_PARAM);  // the header's optional fields never set
}

// Fields are set by name, so that a misordered member shows in the bytes.
TEST(WireEncoding, StructuresInMemberOrder) {
    check<wire::JMSMsg>("JMSMsg", {{[](wire::JMSMsg& m) {
        wire::DefinedDestination def;
        def.driver_name = L"drv";
        def.tags = toCorbaStrings({u"queue", u"manager"});
        def.values = toCorbaStrings({u"Q1"});
        m.msg.text(makeTextMessage(u"body"));
        wire::MessageHeader& h = m.hdr;
        h.JMSMessageID = makeStringU(u"ID:1"), h.JMSDeliveryMode = 2;
        h.JMSRedelivered = true, h.JMSType = makeStringU(u"");
        h.JMSExpiration = 1700000000123LL, h.JMSPriority = 7;
        h.JMSTimestamp = 1700000000000LL, h.JMSCorrelationID = makeStringU(u"c");
        h.JMSReplyTo = makeDestinationU(makeDestination(u"r", false, def));
        h.JMSProperties.length(2);
        h.JMSProperties[0].name = L"p1", h.JMSProperties[0].val.propString(L"v");
        h.JMSProperties[1].name = L"p2", h.JMSProperties[1].val.propLong(-9);
    }, Ref().l(1).b(true).ws(L"body")                          // msg
           .b(true).ws(L"ID:1").l(2).b(true).b(false).o(0)     // id, mode, redelivered, type
           .ll(1700000000123LL).l(7).ll(1700000000000LL)       // expiration, priority, time
           .b(true).ws(L"c")                                   // correlation id
           .b(true).ws(L"r").b(false).b(true).ws(L"drv")       // reply to, defined
           .ul(2).ws(L"queue").ws(L"manager").ul(1).ws(L"Q1")  // tags, values
           .ul(2).ws(L"p1").l(8).ws(L"v").ws(L"p2").l(4).ll(-9)}});
    check<wire::ConnectionMetaData>("ConnectionMetaData", {{[](auto& md) {
        md.JMSMajorVersion = 1, md.JMSMinorVersion = 0, md.JMSProviderName = L"P";
        md.JMSProviderMajorVersion = 5, md.JMSProviderMinorVersion = 2;
        md.supportsPersistent = true, md.supportsNonPersistent = false;
        md.supportsTxSessions = true, md.driverName = L"d";
    }, Ref().l(1).l(0).ws(L"P").l(5).l(2).b(true).b(false).b(true).ws(L"d")}});
    check<wireServer::PropRequest>("PropRequest", {{[](auto& req) {
        req.propID.pid = L"j", req.propID.username = makeStringU(u"u");
        req.propID.password = makeStringU(u""), req.seqNo = 42;
    }, Ref().ws(L"j").b(true).ws(L"u").b(false).o(0).ll(42).ul(0)}});
    check<wireServer::RecvLog>("RecvLog", {{[](auto& log) {
        log.seqNo = 1, log.msgCount = 2, log.logStatus = 3, log.isVol = true;
    }, Ref().ll(1).l(2).l(3).b(true)}});
}

// A reply cut short inside a branch held by pointer fails cleanly and frees
// what was decoded so far (a leak shows under the address sanitizer).
TEST(WireEncoding, TruncatedInputFailsWithMarshalAndKeepsNothing) {
    wire::JMSMsg full{};
    full.msg.text(makeTextMessage(u"a body long enough to be cut"));
    full.hdr.JMSMessageID = makeStringU(u"ID:1");
    full.hdr.JMSCorrelationID = full.hdr.JMSType = makeStringU(u"");
    full.hdr.JMSReplyTo = makeDestinationU();
    const Octets bytes = encode(makeNullJMSMsg(full));
    for (size_t cut = 1; cut < bytes.size(); cut += 3) {
        Broker broker;
        cdrMemoryStream s;
        s.put_octet_array(bytes.data(), static_cast<CORBA::ULong>(cut));
        wire::NullJMSMsg back;
        EXPECT_THROW(back <<= s, CORBA::MARSHAL) << "cut at " << cut;
    }
}

}  // namespace
