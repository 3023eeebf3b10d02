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

TEST(ConnectionMetaData, FillCopiesEveryMember) {
    jms::CltConnectionMetaData md;
    md.fill(wireMetaData(5, 12));
    EXPECT_EQ(md.getJMSMajorVersion(), 1);
    EXPECT_EQ(md.getJMSMinorVersion(), 0);
    EXPECT_EQ(md.getJMSProviderName(), u"Quorix \u00e9");
    EXPECT_EQ(md.getProviderMajorVersion(), 5);
    EXPECT_EQ(md.getProviderMinorVersion(), 12);
    EXPECT_FALSE(md.supportsPersistent());
    EXPECT_TRUE(md.supportsNonPersistent());
    EXPECT_TRUE(md.supportsTxSessions());
    EXPECT_EQ(md.getDriverName(), u"vol");
}

TEST(ConnectionMetaData, VersionsAreMajorDotMinorWithoutPadding) {
    struct Case { CORBA::Long major, minor; const char16_t* text; };
    const Case cases[] = {{1, 0, u"1.0"}, {5, 12, u"5.12"}, {0, 7, u"0.7"},
                          {-1, 2147483647, u"-1.2147483647"}};
    for (const Case& c : cases) {
        jms::CltConnectionMetaData md;
        md.fill(wireMetaData(c.major, c.minor));
        EXPECT_EQ(md.getProviderVersion(), c.text);
    }
    jms::CltConnectionMetaData md;
    md.fill(wireMetaData(5, 12));
    EXPECT_EQ(md.getJMSVersion(), u"1.0");
}

TEST(ConnectionMetaData, CopiesAreIndependentAndComplete) {
    jms::CltConnectionMetaData original;
    original.fill(wireMetaData(5, 12));
    std::unique_ptr<jms::ConnectionMetaData> copy(new jms::CltConnectionMetaData(original));
    // Refilling the original must not reach the copy.
    original.fill(wireMetaData(6, 1));
    EXPECT_EQ(copy->getProviderVersion(), u"5.12");
    EXPECT_EQ(original.getProviderVersion(), u"6.1");
    auto* full = static_cast<jms::CltConnectionMetaData*>(copy.get());
    EXPECT_EQ(full->getDriverName(), u"vol");
    EXPECT_TRUE(full->supportsTxSessions());
}

}  // namespace
