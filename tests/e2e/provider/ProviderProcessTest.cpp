// The server as a program: its command line.
#include <gtest/gtest.h>

#include "ProviderProcess.h"

namespace qjms::test {
namespace {

TEST(ProviderProcess, CommandLineExitStatusAndMessage) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* output;
  };
  for (const Case& c : std::vector<Case>{
           {{"--help"}, 0, "usage: quorix-provider"},
           {{"--bogus"}, 2, "unknown option --bogus"},
           {{"--ping-interval", "1e10"}, 2, "--ping-interval 1e10: not 0 or a number"},
           {{"--ior-file", "/nonexistent/dir/p.ior"}, 1, "cannot write"}}) {
    std::string out;
    EXPECT_EQ(runProviderToExit(c.args, &out), c.status) << c.args[0];
    EXPECT_NE(out.find(c.output), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace qjms::test
