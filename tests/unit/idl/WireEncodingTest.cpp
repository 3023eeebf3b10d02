// Encodings of the contract's unions, structures and exceptions, compared
// byte for byte with a reference written from the contract's member order and
// labels, then decoded and encoded again.
#include <functional>

#include "CdrSupport.h"
#include "idl/WireValues.h"

namespace {

using namespace jms;
using qjmstest::decode;
using qjmstest::encode;
using qjmstest::Octets;
using qjmstest::Ref;

template <class U>
void checkUnion(const char* what, const std::function<void(U&)>& set, Octets expected,
                long label) {
    SCOPED_TRACE(what);
    U u;
    set(u);
    EXPECT_EQ(encode(u), expected);
    U back;
    decode(expected, back);
    EXPECT_EQ(static_cast<long>(back._d()), label);
    EXPECT_EQ(encode(back), expected);
}

wire::ConnectionID connectionId() {
    wire::ConnectionID c;
    c.cid = 1;
    c.username.nullValue(0);
    c.password.val(L"pw");
    return c;
}
Ref& refConnectionId(Ref& r) { return r.l(1).b(false).o(0).b(true).ws(L"pw"); }

TEST(UnionEncoding, PropertyValueBranches) {
    using U = wire::PropU;
    checkUnion<U>("byte", [](U& u) { u.propByte(0xAB); }, Ref().l(1).o(0xAB).out(), 1);
    checkUnion<U>("short", [](U& u) { u.propShort(-2); }, Ref().l(2).sh(-2).out(), 2);
    checkUnion<U>("int", [](U& u) { u.propInt(-3); }, Ref().l(3).l(-3).out(), 3);
    checkUnion<U>("long", [](U& u) { u.propLong(1LL << 40); }, Ref().l(4).ll(1LL << 40).out(), 4);
    checkUnion<U>("boolean", [](U& u) { u.propBoolean(true); }, Ref().l(5).b(true).out(), 5);
    checkUnion<U>("float", [](U& u) { u.propFloat(1.5f); }, Ref().l(6).f(1.5f).out(), 6);
    checkUnion<U>("double", [](U& u) { u.propDouble(-0.25); }, Ref().l(7).d(-0.25).out(), 7);
    checkUnion<U>("string", [](U& u) { u.propString(L"s"); }, Ref().l(8).ws(L"s").out(), 8);
    for (CORBA::Long label : {0, 9, -1}) {
        checkUnion<U>("error", [label](U& u) { u.error(5); u._d(label); },
                      Ref().l(label).l(5).out(), label);
    }
}

TEST(UnionEncoding, ElementBranches) {
    using U = wire::ElemU;
    wire::Bytes bytes;
    bytes.length(3);
    for (CORBA::ULong i = 0; i < 3; ++i) bytes[i] = static_cast<CORBA::Octet>(i + 1);
    checkUnion<U>("byte", [](U& u) { u.elemByte(7); }, Ref().l(1).o(7).out(), 1);
    checkUnion<U>("short", [](U& u) { u.elemShort(2); }, Ref().l(2).sh(2).out(), 2);
    checkUnion<U>("int", [](U& u) { u.elemInt(3); }, Ref().l(3).l(3).out(), 3);
    checkUnion<U>("long", [](U& u) { u.elemLong(-4); }, Ref().l(4).ll(-4).out(), 4);
    checkUnion<U>("boolean", [](U& u) { u.elemBoolean(false); }, Ref().l(5).b(false).out(), 5);
    checkUnion<U>("float", [](U& u) { u.elemFloat(6.5f); }, Ref().l(6).f(6.5f).out(), 6);
    checkUnion<U>("double", [](U& u) { u.elemDouble(7.5); }, Ref().l(7).d(7.5).out(), 7);
    checkUnion<U>("string", [](U& u) { u.elemString(L"e"); }, Ref().l(8).ws(L"e").out(), 8);
    checkUnion<U>("char", [](U& u) { u.elemChar(L'c'); }, Ref().l(9).wc(L'c').out(), 9);
    checkUnion<U>("bytes", [&](U& u) { u.elemBytes(bytes); },
                  Ref().l(10).ul(3).o(1).o(2).o(3).out(), 10);
    checkUnion<U>("error", [](U& u) { u.error(8); u._d(11); }, Ref().l(11).l(8).out(), 11);
}

TEST(UnionEncoding, MessageBodyBranches) {
    using U = wire::MsgUnion;
    wire::BytesMessage bytes;
    bytes.val.length(1);
    bytes.val[0] = 7;
    wire::MapMessage map;
    map.val.length(1);
    map.val[0].name = L"k";
    map.val[0].elem.elemInt(5);
    wire::StreamMessage stream;
    stream.val.length(1);
    stream.val[0].elemBoolean(true);
    checkUnion<U>("text", [](U& u) { u.text(makeTextMessage(u"t")); },
                  Ref().l(1).b(true).ws(L"t").out(), 1);
    checkUnion<U>("bytes", [&](U& u) { u.bytes(bytes); }, Ref().l(2).ul(1).o(7).out(), 2);
    checkUnion<U>("map", [&](U& u) { u.map(map); }, Ref().l(3).ul(1).ws(L"k").l(3).l(5).out(), 3);
    checkUnion<U>("stream", [&](U& u) { u.stream(stream); }, Ref().l(4).ul(1).l(5).b(true).out(),
                  4);
    checkUnion<U>("object", [&](U& u) { u.object(bytes); }, Ref().l(5).ul(1).o(7).out(), 5);
    checkUnion<U>("header", [](U& u) { u.header(12); }, Ref().l(6).l(12).out(), 6);
    checkUnion<U>("error", [](U& u) { u.error(-1); u._d(7); }, Ref().l(7).l(-1).out(), 7);
}

TEST(UnionEncoding, IdentifierBranchesNestTheirParents) {
    using U = wire::IDU;
    wire::SessionID sid;
    sid.sid = 2;
    sid.cid = connectionId();
    wire::UID uid;
    uid.uid = 3;
    uid.sid = sid;
    Ref c, s, u;
    refConnectionId(c.l(1));
    refConnectionId(s.l(2).l(2));
    refConnectionId(u.l(3).l(3).l(2));
    checkUnion<U>("cid", [](U& x) { x.cid(connectionId()); }, c.out(), 1);
    checkUnion<U>("sid", [&](U& x) { x.sid(sid); }, s.out(), 2);
    checkUnion<U>("uid", [&](U& x) { x.uid(uid); }, u.out(), 3);
    checkUnion<U>("error", [](U& x) { x.error(9); x._d(4); }, Ref().l(4).o(9).out(), 4);
}

TEST(UnionEncoding, OptionalValuesCarryFalseAndAnOctetOrTrueAndTheValue) {
    checkUnion<wire::StringU>("StringU", [](auto& u) { u = makeStringU(u""); },
                              Ref().b(false).o(0).out(), 0);
    checkUnion<wire::StringU>("StringU", [](auto& u) { u = makeStringU(u"a"); },
                              Ref().b(true).ws(L"a").out(), 1);
    checkUnion<wire::TextMessage>("TextMessage", [](auto& u) { u = makeTextMessage(u""); },
                                  Ref().b(false).o(0).out(), 0);
    checkUnion<wire::DestinationU>("DestinationU", [](auto& u) { u = makeDestinationU(); },
                                   Ref().b(false).o(0).out(), 0);
    checkUnion<wire::DestinationU>(
        "DestinationU", [](auto& u) { u = makeDestinationU(makeDestination(u"q", true)); },
        Ref().b(true).ws(L"q").b(true).b(false).o(0).out(), 1);
    checkUnion<wire::NullDefinedDest>("NullDefinedDest", [](auto& u) { u = makeNullDefinedDest(); },
                                      Ref().b(false).o(0).out(), 0);
    checkUnion<wire::NullJMSMsg>("NullJMSMsg", [](auto& u) { u = makeNullJMSMsg(); },
                                 Ref().b(false).o(0).out(), 0);
    checkUnion<wireNotify::StringNullU>("StringNullU", [](auto& u) { u.val(L"n"); },
                                        Ref().b(true).ws(L"n").out(), 1);
    checkUnion<wireNotify::AttrValueU>("AttrValueU", [](auto& u) { u.string_val(L"v"); },
                                       Ref().b(true).ws(L"v").out(), 1);
    wireNotify::AttrValueU::_byte_val_seq octets;
    octets.length(1);
    octets[0] = 4;
    checkUnion<wireNotify::AttrValueU>("AttrValueU", [&](auto& u) { u.byte_val(octets); },
                                       Ref().b(false).ul(1).o(4).out(), 0);
}

TEST(UnsetUnion, RaisesBadParamWhenEncodedAlone) {
    EXPECT_THROW(encode(wire::StringU()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::PropU()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::ElemU()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::NullDefinedDest()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::DestinationU()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::TextMessage()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::MsgUnion()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::NullJMSMsg()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wire::IDU()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wireNotify::StringNullU()), CORBA::BAD_PARAM);
    EXPECT_THROW(encode(wireNotify::AttrValueU()), CORBA::BAD_PARAM);
}

TEST(UnsetUnion, RaisesBadParamInsideAStructure) {
    wire::ConnectionID c;
    c.cid = 1;
    c.password.val(L"pw");
    EXPECT_THROW(encode(c), CORBA::BAD_PARAM);  // username never set
    wire::JMSMsg m{};
    m.msg.header(0);
    EXPECT_THROW(encode(m), CORBA::BAD_PARAM);  // header's optional fields never set
}

TEST(StructEncoding, FullyPopulatedMessageInMemberOrder) {
    wire::DefinedDestination def;
    def.driver_name = L"drv";
    def.tags = toCorbaStrings({u"queue", u"manager"});
    def.values = toCorbaStrings({u"Q1"});
    wire::JMSMsg m{};
    m.msg.text(makeTextMessage(u"body"));
    wire::MessageHeader& h = m.hdr;
    h.JMSMessageID = makeStringU(u"ID:1");
    h.JMSDeliveryMode = 2;
    h.JMSRedelivered = true;
    h.JMSType = makeStringU(u"");
    h.JMSExpiration = 1700000000123LL;
    h.JMSPriority = 7;
    h.JMSTimestamp = 1700000000000LL;
    h.JMSCorrelationID = makeStringU(u"c");
    h.JMSReplyTo = makeDestinationU(makeDestination(u"r", false, def));
    h.JMSProperties.length(3);
    h.JMSProperties[0].name = L"p1";
    h.JMSProperties[0].val.propString(L"v");
    h.JMSProperties[1].name = L"p2";
    h.JMSProperties[1].val.propLong(-9);
    h.JMSProperties[2].name = L"p3";
    h.JMSProperties[2].val.error(3);
    h.JMSProperties[2].val._d(9);

    Ref r;
    r.l(1).b(true).ws(L"body");                              // msg
    r.b(true).ws(L"ID:1").l(2).b(true).b(false).o(0);         // id, mode, redelivered, type
    r.ll(1700000000123LL).l(7).ll(1700000000000LL);           // expiration, priority, time
    r.b(true).ws(L"c");                                       // correlation id
    r.b(true).ws(L"r").b(false).b(true).ws(L"drv");           // reply to, defined
    r.ul(2).ws(L"queue").ws(L"manager").ul(1).ws(L"Q1");      // tags, values
    r.ul(3).ws(L"p1").l(8).ws(L"v").ws(L"p2").l(4).ll(-9).ws(L"p3").l(9).l(3);
    const Octets expected = r.out();
    EXPECT_EQ(encode(m), expected);
    wire::JMSMsg back;
    decode(expected, back);
    EXPECT_EQ(encode(back), expected);
}

TEST(StructEncoding, MetaDataAndPropagationRecordsInMemberOrder) {
    wire::ConnectionMetaData md;
    md.JMSMajorVersion = 1;
    md.JMSMinorVersion = 0;
    md.JMSProviderName = L"P";
    md.JMSProviderMajorVersion = 5;
    md.JMSProviderMinorVersion = 2;
    md.supportsPersistent = true;
    md.supportsNonPersistent = false;
    md.supportsTxSessions = true;
    md.driverName = L"d";
    EXPECT_EQ(encode(md), Ref().l(1).l(0).ws(L"P").l(5).l(2).b(true).b(false).b(true).ws(L"d").out());

    wireServer::PropRequest req;
    req.propID.pid = L"j";
    req.propID.username = makeStringU(u"u");
    req.propID.password = makeStringU(u"");
    req.seqNo = 42;
    req.msgs.length(0);
    EXPECT_EQ(encode(req), Ref().ws(L"j").b(true).ws(L"u").b(false).o(0).ll(42).ul(0).out());

    wireServer::RecvLog log{1, 2, 3, true};
    EXPECT_EQ(encode(log), Ref().ll(1).l(2).l(3).b(true).out());
}

}  // namespace

// A reply cut short inside a branch held by pointer must fail cleanly and free
// what was decoded so far (the leak shows under the address sanitizer).
TEST(TruncatedInput, FailsWithMarshalAndKeepsNothing) {
    wire::JMSMsg full{};
    full.msg.text(makeTextMessage(u"a body long enough to be cut"));
    full.hdr.JMSMessageID = makeStringU(u"ID:1");
    full.hdr.JMSCorrelationID = makeStringU(u"");
    full.hdr.JMSType = makeStringU(u"");
    full.hdr.JMSReplyTo = makeDestinationU();
    full.hdr.JMSDeliveryMode = 1;
    full.hdr.JMSPriority = 4;
    full.hdr.JMSRedelivered = 0;
    wire::NullJMSMsg n;
    n.val(full);
    Octets bytes = encode(n);
    for (size_t cut = 1; cut < bytes.size(); cut += 3) {
        Octets part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        wire::NullJMSMsg back;
        cdrMemoryStream s;
        s.put_octet_array(part.data(), static_cast<CORBA::ULong>(part.size()));
        EXPECT_THROW(back <<= s, CORBA::MARSHAL) << "cut at " << cut;
    }
}
