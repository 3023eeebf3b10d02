// What the server takes from its command line and its credentials file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <tuple>

#include "server/Credentials.h"
#include "server/Options.h"

namespace quorix::provider {
namespace {

Options parse(std::vector<std::string> args) {
  ParsedOptions p = parseOptions(args);
  if (auto* e = std::get_if<OptionError>(&p)) ADD_FAILURE() << e->message;
  return std::holds_alternative<Options>(p) ? std::get<Options>(p) : Options{};
}

// By default: loopback, vol, in memory, no test control.
TEST(ProviderOptions, DefaultsAndEveryOptionInBothSpellings) {
  Options d = parse({});
  EXPECT_EQ(listenEndpoints(d), std::vector<std::string>{"giop:tcp:127.0.0.1:0"});
  EXPECT_EQ(d.driver, "vol");
  EXPECT_TRUE(!d.persistent && d.nonPersistent && d.transactions && !d.testControl);
  EXPECT_TRUE(d.store.empty() && d.groupCommit);

  Options o = parse({"--endpoint", "giop:tcp:127.0.0.1:5000", "--ior-file=/tmp/x.ior",
                     "--driver", "MQ", "--persistent", "--no-nonpersistent", "--no-tx",
                     "--user", "a:b:c", "--user=d:", "--ping-interval", "0.5",
                     "--max-queue-depth", "3", "--max-message-size=1048576",
                     "--callback-timeout", "0", "--test-control", "--verbose",
                     "--max-delivery-failures", "9", "--dead-letter-queue=dead",
                     "--push-threads", "3", "--store=/tmp/s.db", "--no-group-commit",
                     "--users=/etc/q.users", "--hash-password",
                     "--tls-cert", "c.pem", "--tls-key=k.pem", "--tls-ca", "ca.pem",
                     "--tls-require-client-cert", "--endpoint", "giop:ssl:127.0.0.1:5001"});
  EXPECT_EQ(o.endpoints,
            (std::vector<std::string>{"giop:tcp:127.0.0.1:5000", "giop:ssl:127.0.0.1:5001"}));
  EXPECT_EQ(std::tuple(o.iorFile, o.driver, o.deadLetterQueue, o.store, o.usersFile),
            std::tuple("/tmp/x.ior", "MQ", "dead", "/tmp/s.db", "/etc/q.users"));
  EXPECT_TRUE(o.persistent && !o.nonPersistent && !o.transactions && o.testControl && o.verbose);
  ASSERT_EQ(o.users.size(), 2u);
  EXPECT_EQ(o.users[0], std::make_pair(std::string("a"), std::string("b:c")));
  EXPECT_EQ(o.users[1], std::make_pair(std::string("d"), std::string()));
  EXPECT_EQ(std::tuple(o.pingIntervalSeconds, o.callbackTimeoutSeconds), std::tuple(0.5, 0.0));
  EXPECT_EQ(std::tuple(o.maxQueueDepth, o.maxMessageBytes, o.maxDeliveryFailures, o.pushThreads),
            std::tuple(size_t{3}, 1048576u, 9u, size_t{3}));
  EXPECT_TRUE(!o.groupCommit && o.hashPassword && o.tlsRequireClientCert);
  EXPECT_EQ(o.tlsCert + " " + o.tlsKey + " " + o.tlsCa, "c.pem k.pem ca.pem");
  EXPECT_FALSE(parse({"--persistent", "--no-persistent"}).persistent);  // the last one wins
  EXPECT_TRUE(parse({"--store", "s.db"}).persistent);  // a store keeps what it claims
  EXPECT_TRUE(parse({"--no-persistent", "--persistent", "--store", "s.db"}).persistent);
}

TEST(ProviderOptions, UnixSocketBesideLoopbackOnly) {
  struct Case {
    std::vector<std::string> args;
    const char* endpoint;
  };
  for (const Case& c : std::vector<Case>{
           {{}, "giop:unix:"},
           {{"--endpoint", "giop:tcp:localhost:7000"}, "giop:unix:"},
           {{"--endpoint", "giop:tcp::7000"}, ""},  // other machines' clients: TCP only
           {{"--endpoint", "giop:tcp:10.0.0.1:7000"}, ""},
           {{"--endpoint", "giop:tcp::7000", "--unix-socket", "/run/q.sock"}, "giop:unix:/run/q.sock"},
           {{"--no-unix-socket"}, ""},
           {{"--unix-socket=/tmp/a", "--no-unix-socket"}, ""},
           {{"--endpoint", "giop:tcp:127.0.0.1:0", "--endpoint", "giop:tcp::7000"}, ""},
           {{"--tls-cert", "c", "--tls-key", "k"}, ""}}) {  // no clear-text path beside TLS
    EXPECT_EQ(unixEndpoint(parse(c.args)), c.endpoint) << ::testing::PrintToString(c.args);
  }
}

TEST(ProviderOptions, RefusalsNameTheProblem) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {{"--frob"}, "unknown option --frob"},
           {{"--ior-file"}, "--ior-file needs a value"},
           {{"--verbose=yes"}, "--verbose takes no value"},
           {{"--user", ":pw"}, "not NAME:PASSWORD"},
           {{"--ping-interval", "-1"}, "not 0 or a number of seconds"},
           {{"--ping-interval", "nan"}, "not 0 or a number of seconds"},
           {{"--ping-interval", "1e10"}, "from 0.001 to 1000000"},   // overflowed the wait
           {{"--ping-interval", "0.0004"}, "from 0.001 to 1000000"}, // silently disabled pings
           {{"--callback-timeout", "0.0004"}, "from 0.001 to 1000000"},
           {{"--callback-timeout", "5e6"}, "from 0.001 to 1000000"},
           {{"--max-queue-depth", "-2"}, "not a count"},
           {{"--max-message-size", "100"}, "not a size"},
           {{"--driver", ""}, "an empty driver name"},
           {{"--unix-socket", ""}, "an empty socket path"},
           {{"--max-delivery-failures", "0"}, "not a count from 1 to 1000000"},
           {{"--dead-letter-queue", ""}, "an empty queue name"},
           {{"--push-threads", "0"}, "not a count from 1 to 1024"},
           {{"--push-threads", "100000"}, "not a count from 1 to 1024"},
           {{"--store", ""}, "an empty file name"},
           {{"--store", "s.db", "--no-persistent"}, "--no-persistent contradicts --store"},
           {{"--tls-cert", "c.pem"}, "--tls-cert and --tls-key go together"},
           {{"--tls-key", "k.pem"}, "--tls-cert and --tls-key go together"},
           {{"--tls-ca", "ca.pem"}, "need --tls-cert and --tls-key"},
           {{"--tls-require-client-cert"}, "need --tls-cert and --tls-key"},
           {{"--endpoint", "giop:ssl::0"}, "giop:ssl::0: needs --tls-cert and --tls-key"},
           {{"--tls-cert", "c", "--tls-key", "k", "--endpoint", "giop:tcp::0"},
            "no giop:ssl endpoint"}}) {
    ParsedOptions p = parseOptions(c.args);
    ASSERT_TRUE(std::holds_alternative<OptionError>(p)) << c.args[0];
    EXPECT_NE(std::get<OptionError>(p).message.find(c.message), std::string::npos)
        << std::get<OptionError>(p).message;
  }
  EXPECT_TRUE(std::holds_alternative<HelpRequested>(parseOptions({"--driver", "x", "--help"})));
}

// With TLS on, clear text is offered only when an endpoint asks for it.
TEST(ProviderOptions, TlsListensOnTlsAloneUnlessClearTextIsAskedFor) {
  const std::vector<std::string> tls = {"--tls-cert", "c.pem", "--tls-key", "k.pem"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), tls.begin(), tls.end());
    return parse(more);
  };
  struct Case {
    Options options;
    std::vector<std::string> endpoints;
    bool tlsOnly;
  };
  for (const Case& c : std::vector<Case>{
           {parse({}), {"giop:tcp:127.0.0.1:0"}, false},
           {with({}), {"giop:ssl:127.0.0.1:0"}, true},
           {with({"--endpoint", "giop:ssl::4433"}), {"giop:ssl::4433"}, true},
           {with({"--endpoint", "giop:ssl::4433", "--endpoint", "giop:tcp::4432"}),
            {"giop:ssl::4433", "giop:tcp::4432"}, false}}) {
    EXPECT_EQ(listenEndpoints(c.options), c.endpoints);
    EXPECT_EQ(tlsOnly(c.options), c.tlsOnly) << c.endpoints[0];
  }
}


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
