// The broker adapter: the process-wide broker, wide text and optional values.
// ctest runs each case in its own process, so the first case really is the
// broker's first use.
#include <atomic>
#include <thread>
#include <vector>

#include "../message/JmsExpect.h"
#include "CdrSupport.h"
#include "idl/WireLength.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"

namespace {

using namespace jms;

TEST(CltOrb, ManyThreadsAtFirstUseShareOneBroker) {
    constexpr int threads = 16;
    std::atomic<int> ready{0};
    std::vector<const CltOrb*> seen(threads);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back([&, i] {
            for (++ready; ready.load() < threads;) std::this_thread::yield();
            seen[i] = &CltOrb::instance();
        });
    for (auto& t : pool) t.join();
    for (const CltOrb* orb : seen) EXPECT_EQ(orb, seen[0]);
    EXPECT_FALSE(CORBA::is_nil(seen[0]->orb()));
    EXPECT_FALSE(CORBA::is_nil(seen[0]->rootPOA()));
}

TEST(CltOrb, ActivatesTheManagerAndResolvesReferences) {
    CltOrb& orb = CltOrb::instance();
    orb.activatePOAManager();
    orb.activatePOAManager();  // again: no failure
    EXPECT_EQ(orb.rootPOA()->the_POAManager()->get_state(), PortableServer::POAManager::ACTIVE);
    CORBA::String_var nil = orb.orb()->object_to_string(CORBA::Object::_nil());
    EXPECT_TRUE(CORBA::is_nil(orb.stringToObject(nil.in())));
    EXPECT_THROW(orb.stringToObject("not a reference"), CORBA::BAD_PARAM);
}

WString viaWire(const WString& text) {
    qjmstest::Broker broker;
    cdrMemoryStream s;
    s.marshalWString(toCorbaWString(text).in());
    s.rewindInputPtr();
    CORBA::WString_var back = s.unmarshalWString();
    return toWString(back.in());
}

TEST(WireText, UnitsTravelOneByOne) {
    CORBA::WString_var w = toCorbaWString(u"a\U0001F600b");
    const CORBA::WChar units[] = {0x61, 0xD83D, 0xDE00, 0x62, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w[i], units[i]) << i;
    const WString lone = {0xD800, u'x', 0xDC00, 0xFFFF, 1};
    for (const WString& text : {WString(u"a\U0001F600b"), lone, WString(), WString(70000, u'z')})
        EXPECT_EQ(viaWire(text), text);
    EXPECT_EQ(toWString(nullptr), u"");
    // Values beyond 16 bits (a UTF-32 peer) become pairs, or U+FFFD when invalid.
    const CORBA::WChar wide[] = {0x1F600, 0x41, 0x110000, static_cast<CORBA::WChar>(-1), 0};
    EXPECT_EQ(toWString(wide), u"\U0001F600A\uFFFD\uFFFD");
    // A wire wstring cannot hold NUL: refused rather than cut short.
    for (const WString& text : {WString(u"ab\0cd", 5), WString(u"\0", 1)})
        EXPECT_JMS_THROW(toCorbaWString(text), JMSException,
                         u"badArg: text contains a NUL character");
}

// No length is cut to 32 bits: what the wire cannot carry is refused before
// anything is allocated (texts: a signed broker allocation with its
// terminator, two octets per unit in a 32-bit count).
TEST(WireLength, WhatTheWireCannotCarryIsRefused) {
    const uint64_t k32 = uint64_t{1} << 32;
    const struct {
        uint64_t length;
        bool textFits, sequenceFits;
    } rows[] = {
        {0, true, true},
        {0x7FFFFFFE, true, true},
        {0x7FFFFFFF, false, true},
        {k32 - 1, false, true},
        {k32, false, false},      // would be 0
        {k32 + 5, false, false},  // would be 5
        {UINT64_MAX, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.length);
        const auto n = static_cast<std::size_t>(row.length);
        if (row.textFits)
            EXPECT_EQ(wireTextLength(n), row.length);
        else
            EXPECT_JMS_THROW(wireTextLength(n), JMSException, u"badArg: text too long for the wire");
        if (row.sequenceFits)
            EXPECT_EQ(wireSequenceLength(n), row.length);
        else
            EXPECT_JMS_THROW(wireSequenceLength(n), JMSException,
                             u"badArg: sequence too long for the wire");
    }
}

// The builders' wire forms are checked byte for byte with the encodings; the
// readers give the value, or nothing for an absent one.
TEST(WireValues, ReadersGiveTheValueOrNothing) {
    for (const WString& text : {WString(), WString(u"x")}) {
        EXPECT_EQ(readStringU(makeStringU(text)), text);
        EXPECT_EQ(readTextMessage(makeTextMessage(text)), text);
    }
    EXPECT_EQ(readDestinationU(makeDestinationU()), nullptr);
    EXPECT_EQ(readNullJMSMsg(makeNullJMSMsg()), nullptr);
    const wire::DestinationU du = makeDestinationU(makeDestination(u"d", true, {}));
    ASSERT_NE(readDestinationU(du), nullptr);
    EXPECT_EQ(toWString(readDestinationU(du)->destname), u"d");
    EXPECT_NE(readNullDefinedDest(readDestinationU(du)->defined), nullptr);
    wire::JMSMsg m{};
    m.hdr.JMSPriority = 7;
    EXPECT_EQ(readNullJMSMsg(makeNullJMSMsg(m))->hdr.JMSPriority, 7);
}

}  // namespace
