// The server as a program: start, reference file, options, clean stop.
#include <gtest/gtest.h>

#include <fstream>

#include "ProviderControl.h"
#include "ProviderProcess.h"

namespace qjms::test {
namespace {

TEST(ProviderProcess, WritesItsReferenceAndStopsCleanlyOnSigterm) {
  ProviderProcess p;
  std::ifstream in(p.iorFile());
  std::string word;
  in >> word;
  EXPECT_EQ(word, p.ior());
  EXPECT_EQ(word.rfind("IOR:", 0), 0u);
  EXPECT_NE(p.log().find("ready"), std::string::npos);
  EXPECT_EQ(p.stop(), 0);
}

TEST(ProviderProcess, StopsCleanlyWhileAClientIsBlockedInConsume) {
  ProviderProcess p;
  ProviderControl control(p.ior());
  EXPECT_EQ(control.stats(), "connections=0 sessions=0 consumers=0 producers=0 messages=0");
  EXPECT_EQ(p.stop(), 0);
}

struct ExitCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* output;
};

class ProviderCommandLine : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ProviderCommandLine, ExitsWithStatusAndMessage) {
  std::string out;
  EXPECT_EQ(runProviderToExit(GetParam().args, &out), GetParam().status);
  EXPECT_NE(out.find(GetParam().output), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProviderCommandLine,
    ::testing::Values(
        ExitCase{"Help", {"--help"}, 0, "usage: quorix-provider"},
        ExitCase{"UnknownOption", {"--bogus"}, 2, "unknown option --bogus"},
        ExitCase{"MissingValue", {"--driver"}, 2, "--driver needs a value"},
        ExitCase{"BadNumber", {"--ping-interval", "soon"}, 2, "not a number of seconds"},
        ExitCase{"BadUser", {"--user", "nocolon"}, 2, "not NAME:PASSWORD"},
        ExitCase{"UnwritableReference", {"--ior-file", "/nonexistent/dir/p.ior"}, 1,
                 "cannot write"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qjms::test
