// The wide-text conversion and the builders of optional wire values.
#include <jms/JMSException.h>
#include "CdrSupport.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace {

using namespace jms;
using qjmstest::decode;
using qjmstest::encode;

WString viaWire(const WString& text) {
    qjmstest::needBroker();
    cdrMemoryStream s;
    s.marshalWString(toCorbaWString(text).in());
    s.rewindInputPtr();
    CORBA::WString_var back = s.unmarshalWString();
    return toWString(back.in());
}

TEST(WireText, SurrogatesAndBoundaryUnitsTravelUnitByUnit) {
    const WString pair = u"a\U0001F600b";
    ASSERT_EQ(pair.size(), 4u);
    CORBA::WString_var w = toCorbaWString(pair);
    const CORBA::WChar units[] = {0x61, 0xD83D, 0xDE00, 0x62, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w[i], units[i]) << i;
    const WString odd = {u'\xD800', u'x', u'\xDC00', u'\xFFFF', u'\x1'};  // lone halves too
    for (const WString& text : {pair, odd, WString(u"\u00E9\u4E2D"), WString(70000, u'z')})
        EXPECT_EQ(viaWire(text), text);
}

TEST(WireText, EmptyNullAndEmbeddedNul) {
    CORBA::WString_var empty = toCorbaWString(u"");
    ASSERT_NE(empty.in(), nullptr);
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(toWString(nullptr), u"");
    EXPECT_EQ(viaWire(u""), u"");
    // A wire wstring cannot hold NUL: refused rather than cut short.
    EXPECT_THROW(toCorbaWString(WString(u"ab\0cd", 5)), jms::JMSException);
    EXPECT_THROW(toCorbaWString(WString(u"\0", 1)), jms::JMSException);
}

TEST(WireText, WideValuesBeyondSixteenBitsBecomePairsOrReplacement) {
    const CORBA::WChar astral[] = {0x1F600, 0x41, 0};
    EXPECT_EQ(toWString(astral), u"\U0001F600A");
    const CORBA::WChar invalid[] = {0x110000, static_cast<CORBA::WChar>(-1), 0};
    EXPECT_EQ(toWString(invalid), u"\uFFFD\uFFFD");
}

TEST(WireValues, EmptyTextTravelsAsAbsentAndReadsBackEmpty) {
    for (const WString& text : {WString(), WString(u"x"), WString(u"\U0001F600")}) {
        wire::StringU u;
        decode(encode(makeStringU(text)), u);
        EXPECT_EQ(static_cast<bool>(u._d()), !text.empty());
        EXPECT_EQ(readStringU(u), text);
        wire::TextMessage t;
        decode(encode(makeTextMessage(text)), t);
        EXPECT_EQ(static_cast<bool>(t._d()), !text.empty());
        EXPECT_EQ(readTextMessage(t), text);
    }
    const wire::ConnectionID c = makeConnectionID(5, u"", u"pw");
    EXPECT_FALSE(c.username._d());
    EXPECT_EQ(readStringU(c.password), u"pw");
}

TEST(WireValues, ReadersGiveTheValueOrNothing) {
    EXPECT_EQ(readDestinationU(makeDestinationU()), nullptr);
    EXPECT_EQ(readNullDefinedDest(makeNullDefinedDest()), nullptr);
    EXPECT_EQ(readNullJMSMsg(makeNullJMSMsg()), nullptr);

    wire::DefinedDestination def;
    def.driver_name = toCorbaWString(u"drv");
    def.tags = toCorbaStrings({u"queue"});
    def.values = toCorbaStrings({u"Q"});
    wire::DestinationU du;
    decode(encode(makeDestinationU(makeDestination(u"name", true, def))), du);
    const wire::Destination* d = readDestinationU(du);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(toWString(d->destname), u"name");
    EXPECT_TRUE(d->isTopic);
    const wire::DefinedDestination* back = readNullDefinedDest(d->defined);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(toWString(back->driver_name), u"drv");
    EXPECT_EQ(toWStringList(back->values), WStringList{u"Q"});

    wire::JMSMsg m{};
    m.msg.header(0);
    m.hdr.JMSMessageID = makeStringU(u"ID:7");
    m.hdr.JMSType = m.hdr.JMSCorrelationID = makeStringU(u"");
    m.hdr.JMSReplyTo = makeDestinationU();
    wire::NullJMSMsg nm;
    decode(encode(makeNullJMSMsg(m)), nm);
    ASSERT_NE(readNullJMSMsg(nm), nullptr);
    EXPECT_EQ(readStringU(readNullJMSMsg(nm)->hdr.JMSMessageID), u"ID:7");
}

TEST(WireValues, StringListsKeepOrderAndEmptyEntries) {
    const WStringList list = {u"a", u"", u"\U0001F600", u"z"};
    EXPECT_EQ(toWStringList(toCorbaStrings(list)), list);
    EXPECT_TRUE(toWStringList(toCorbaStrings({})).empty());
}

}  // namespace
