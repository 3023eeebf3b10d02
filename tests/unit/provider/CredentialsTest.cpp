#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "server/Credentials.h"

namespace quorix::provider {
namespace {

class CredentialsFile : public ::testing::Test {
 protected:
  ~CredentialsFile() override { std::remove(path_.c_str()); }
  const std::string& write(const std::string& text) {
    std::ofstream(path_) << text;
    return path_;
  }
  std::string path_ = ::testing::TempDir() + "credentials-" + std::to_string(getpid());
};

TEST_F(CredentialsFile, HashedAndPlainEntriesAcceptOnlyTheirOwnPassword) {
  const std::string hash = hashPassword("s3cret");
  EXPECT_EQ(hash.rfind("$y$", 0), 0u) << hash;  // yescrypt, salted:
  EXPECT_NE(hashPassword("s3cret"), hash);
  Credentials c;
  c.addPlain("tester", "plain:pw");
  ASSERT_EQ(c.addFile(write("# accounts\n\nalice:" + hash + "\r\n")), "");
  struct Case {
    const char *name, *password;
    bool accepted;
  };
  for (const Case& k : std::vector<Case>{{"alice", "s3cret", true},
                                         {"alice", "s3cre", false},
                                         {"alice", "", false},
                                         {"alice", hash.c_str(), false},
                                         {"bob", "s3cret", false},
                                         {"", "", false},
                                         {"tester", "plain:pw", true},
                                         {"tester", "plain", false}})
    EXPECT_EQ(c.accepts(k.name, k.password), k.accepted) << k.name << " " << k.password;
  // crypt(3) reads up to a NUL: what follows it must not be ignored.
  EXPECT_FALSE(c.accepts("alice", std::string("s3cret\0x", 8)));
}

TEST_F(CredentialsFile, RefusesAFileWithAnyBadLineAndTakesNothingFromIt) {
  const std::string hash = hashPassword("pw");
  struct Case {
    std::string text, why;
  };
  for (const Case& k : std::vector<Case>{
           {"alice " + hash + "\n", "line 1: not NAME:HASH"},
           {":" + hash + "\n", "line 1: not NAME:HASH"},
           {"alice:pw\n", "line 1: not a crypt(3) hash"},
           {"alice:$1$saltsalt$2vnaRpHa6Jxjz5n83ok8Z0\n", "line 1: not a crypt(3) hash"},  // MD5
           {"alice:" + hash + "\n#\nalice:" + hash + "\n", "line 3: alice is given twice"}}) {
    Credentials c;
    std::string why = c.addFile(write(k.text));
    EXPECT_NE(why.find(k.why), std::string::npos) << why;
    EXPECT_TRUE(c.empty());
  }
  Credentials c;
  EXPECT_EQ(c.addFile(path_ + ".missing"), "cannot read " + path_ + ".missing");
}

}  // namespace
}  // namespace quorix::provider
