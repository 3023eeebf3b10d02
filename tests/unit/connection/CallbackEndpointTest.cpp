#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "connection/CltOrb.h"

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

}  // namespace
