// The provider's metadata as the caller reads it.
#include <gtest/gtest.h>

#include "connection/CltConnectionMetaData.h"

namespace {

using Wire = zorvane::velt::quorix::corba::jmsCommon::ConnectionMetaData;

TEST(ConnectionMetaData, CopiesAreCompleteAndIndependentAndVersionsReadMajorDotMinor) {
    const Wire provider{1, 0, L"Quorix \u00e9", 5, 12, false, true, true, L"vol"};
    jms::CltConnectionMetaData original;
    original.fill(provider);
    jms::CltConnectionMetaData copy(original);
    original.fill(Wire{1, 0, L"", -1, 2147483647, false, false, false, L""});
    EXPECT_EQ(original.getProviderVersion(), u"-1.2147483647");
    EXPECT_EQ(copy.getProviderVersion(), u"5.12");
    EXPECT_EQ(copy.getJMSVersion(), u"1.0");
    EXPECT_EQ(copy.getJMSProviderName(), u"Quorix \u00e9");
    EXPECT_EQ(copy.getDriverName(), u"vol");
    EXPECT_FALSE(copy.supportsPersistent());
    EXPECT_TRUE(copy.supportsNonPersistent());
    EXPECT_TRUE(copy.supportsTxSessions());
}

}  // namespace
