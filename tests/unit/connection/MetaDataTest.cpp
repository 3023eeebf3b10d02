// The provider's metadata as the caller reads it.
#include <memory>

#include <gtest/gtest.h>

#include "connection/CltConnectionMetaData.h"

namespace jc = zorvane::velt::quorix::corba::jmsCommon;

namespace {

jc::ConnectionMetaData wireMetaData(CORBA::Long providerMajor, CORBA::Long providerMinor) {
    jc::ConnectionMetaData wire;
    wire.JMSMajorVersion = 1;
    wire.JMSMinorVersion = 0;
    wire.JMSProviderName = CORBA::wstring_dup(L"Quorix \u00e9");
    wire.JMSProviderMajorVersion = providerMajor;
    wire.JMSProviderMinorVersion = providerMinor;
    wire.supportsPersistent = 0;
    wire.supportsNonPersistent = 1;
    wire.supportsTxSessions = 7;  // any non-zero octet is TRUE
    wire.driverName = CORBA::wstring_dup(L"vol");
    return wire;
}

TEST(ConnectionMetaData, VersionsReadMajorDotMinorWithoutPadding) {
    struct Case { CORBA::Long major, minor; const char16_t* text; };
    const Case cases[] = {{1, 0, u"1.0"}, {5, 12, u"5.12"}, {-1, 2147483647, u"-1.2147483647"}};
    for (const Case& c : cases) {
        jms::CltConnectionMetaData md;
        md.fill(wireMetaData(c.major, c.minor));
        EXPECT_EQ(md.getProviderVersion(), c.text);
        EXPECT_EQ(md.getJMSVersion(), u"1.0");
    }
}

TEST(ConnectionMetaData, CopiesAreCompleteAndIndependent) {
    jms::CltConnectionMetaData original;
    original.fill(wireMetaData(5, 12));
    std::unique_ptr<jms::CltConnectionMetaData> copy(new jms::CltConnectionMetaData(original));
    original.fill(wireMetaData(6, 1));
    EXPECT_EQ(copy->getProviderVersion(), u"5.12");
    EXPECT_EQ(copy->getJMSProviderName(), u"Quorix \u00e9");
    EXPECT_EQ(copy->getDriverName(), u"vol");
    EXPECT_FALSE(copy->supportsPersistent());
    EXPECT_TRUE(copy->supportsNonPersistent());
    EXPECT_TRUE(copy->supportsTxSessions());
    EXPECT_EQ(original.getProviderVersion(), u"6.1");
}

}  // namespace
