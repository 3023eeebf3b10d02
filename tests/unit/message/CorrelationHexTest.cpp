#include <gtest/gtest.h>

#include "message/CorrelationHex.h"

using jms::ByteArray;
using jms::WString;

namespace {

TEST(CorrelationHex, BytesToHexIsLowerCaseHighNibbleFirst) {
    EXPECT_EQ(jms::bytesToHex({0x01, 0xAB}), u"01ab");
    EXPECT_EQ(jms::bytesToHex({}), u"");
    EXPECT_EQ(jms::bytesToHex({0x00, 0xff, 0x10}), u"00ff10");
    EXPECT_EQ(jms::bytesToHex(ByteArray(32767, 0x5a)).size(), 65534u);
}

TEST(CorrelationHex, EveryByteRoundTrips) {
    ByteArray all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
    EXPECT_EQ(jms::hexToBytes(jms::bytesToHex(all)), all);
}

TEST(CorrelationHex, HexToBytesStopsOrRefuses) {
    struct Case {
        WString hex;
        ByteArray bytes;
    } cases[] = {
        {u"01ab", {0x01, 0xab}},
        {u"ABCD", {}},            // upper case is not a digit here
        {u"abzz", {0xab}},        // stops at the first non-digit
        {u"ab0z", {0xab}},        // a half-bad pair yields nothing of it
        {u"abc", {}},             // odd length
        {u"a", {}},
        {u"", {}},
        {u"0g", {}},
        {u"\uff10\uff11", {}},   // full-width digits are not digits
    };
    for (const auto& c : cases) EXPECT_EQ(jms::hexToBytes(c.hex), c.bytes);
}

}  // namespace
