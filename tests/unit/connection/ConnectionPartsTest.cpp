// Parts of a connection that need no provider: the library's callback
// endpoint, the provider's metadata as the caller reads it, reference files.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <jms/JMSException.h>

#include "connection/CltConnectionMetaData.h"
#include "connection/CltOrb.h"
#include "connection/ReferenceText.h"

// After the broker's own headers, which it needs.
#include <omniORB4/internal/objectAdapter.h>

namespace {

// The tests run with the callback endpoint on loopback TCP (ORBendPoint):
// the library's broker then listens on a Unix-domain socket beside it.
TEST(CallbackEndpoint, LoopbackTcpGetsAUnixSocketBeside) {
    jms::CltOrb::instance();
    const auto& mine = omni::omniObjAdapter::listMyEndpoints();
    std::string tcp, socketFile;
    for (CORBA::ULong i = 0; i < mine.length(); ++i) {
        const std::string uri = mine[i].in();
        if (uri.rfind("giop:tcp:127.0.0.1:", 0) == 0) tcp = uri;
        if (uri.rfind("giop:unix:", 0) == 0) socketFile = uri.substr(10);
    }
    EXPECT_FALSE(tcp.empty());
    ASSERT_FALSE(socketFile.empty());
    struct stat info {};
    ASSERT_EQ(stat(socketFile.c_str(), &info), 0) << socketFile;
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
}

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

jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }

// The word read, or "!" and the failure's message (which has no error code).
std::string read(const jms::WString& file) {
    try {
        return jms::readReferenceFile(file);
    } catch (const jms::JMSException& e) {
        EXPECT_EQ(e.getErrorCode(), u"");
        const jms::WString message = e.getMessage();
        return "!" + std::string(message.begin(), message.end());
    }
}

class ReferenceFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(dir_.data()), nullptr); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    jms::WString write(const std::string& name, const std::string& content) {
        std::ofstream(dir_ + "/" + name) << content;
        return wide(dir_ + "/" + name);
    }
    std::string dir_ = "/tmp/qjms-ref-XXXXXX";
};

TEST_F(ReferenceFile, FirstWordWholeOrTheFailureNamingTheFile) {
    const std::string ior = "IOR:" + std::string(10000, 'f');  // longer than any fixed buffer
    EXPECT_EQ(read(write("a", "\n  IOR:01ab  trailing words\nmore\n")), "IOR:01ab");
    EXPECT_EQ(read(write("long", ior)), ior);
    EXPECT_EQ(read(wide(dir_ + "/missing")), "!Cannot open: " + dir_ + "/missing");
    EXPECT_EQ(read(write("empty", "")), "!Cannot read: " + dir_ + "/empty");
    EXPECT_EQ(read(write("blank", " \n\t \n")), "!Cannot read: " + dir_ + "/blank");
    EXPECT_EQ(read(u""), "!Cannot open: ");
}

TEST_F(ReferenceFile, NameIsNeverShortenedOrMangled) {
    // Keeping only low bytes would turn U+0141 into 'A' and open "A".
    write("A", "wrong");
    write("\xc5\x81", "right");
    EXPECT_EQ(read(wide(dir_ + "/") + u"\u0141"), "right");
    // A NUL would end the name early, at the file "A".
    const jms::WString withNul = wide(dir_ + "/A") + jms::WString(1, u'\0') + u"B";
    EXPECT_EQ(read(withNul).rfind("!Cannot open: ", 0), 0u);
}

}  // namespace
