// The library and quorix-provider over TLS: traffic and pushes, refused
// handshakes, passwords from a --users file, and a TLS port that does not
// speak clear text. Each client is a process of its own (tls_e2e_client),
// given its omniORB ssl settings in its environment.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ProviderProcess.h"

namespace qjms::test {
namespace {

// Standard output and error of a shell command; throws when it fails and `check` is set.
std::string run(const std::string& command, bool check = true) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  int status = pclose(pipe);
  if (check && status != 0) throw std::runtime_error(command + " failed: " + out);
  return out;
}

const std::string kRefused = "svrSec: user name or password refused|CltException::ERR_CONNECTION_CREATE";

class Tls : public ::testing::Test {
 protected:
  // A CA with a server and a client certificate, a CA nobody uses, and a
  // users file, made once for the suite and removed after it.
  static void SetUpTestSuite() {
    char templ[] = "/tmp/qjms-tls-XXXXXX";
    if (!mkdtemp(templ)) throw std::runtime_error("cannot create a temporary directory");
    dir_ = templ;
    const std::string ssl = std::string(QJMS_OPENSSL) + " ";
    const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2";
    auto make = [&](const std::string& name, const std::string& subject) {
      run(ssl + "req" + key + " -keyout " + path(name + ".key") + " -out " + path(name + ".csr") +
          " -subj /CN=" + subject);
      run(ssl + "x509 -req -in " + path(name + ".csr") + " -CA " + path("ca.pem") + " -CAkey " +
          path("ca.key") + " -CAcreateserial -days 2 -extfile " + path("ext") + " -out " +
          path(name + ".pem"));
    };
    for (const char* ca : {"ca", "stranger"})
      run(ssl + "req -x509" + key + " -keyout " + path(std::string(ca) + ".key") + " -out " +
          path(std::string(ca) + ".pem") + " -subj /CN=qjms-test-" + ca);
    std::ofstream(path("ext")) << "subjectAltName=IP:127.0.0.1\n";
    make("server", "127.0.0.1");
    make("client", "qjms-test-client");
    run("cat " + path("client.pem") + " " + path("client.key") + " > " + path("client-both.pem"));
    std::string hash = run("echo s3cret | " + std::string(providerBinary()) + " --hash-password");
    std::ofstream(path("users")) << "# test accounts\nalice:" << hash;
  }
  static void TearDownTestSuite() { run("rm -rf " + dir_, false); }

  static std::string path(const std::string& name) { return dir_ + "/" + name; }

  static std::vector<std::string> tlsArgs(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--endpoint", "giop:ssl:127.0.0.1:0",
                                     "--tls-cert", path("server.pem"),
                                     "--tls-key", path("server.key"),
                                     "--tls-ca", path("ca.pem")};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  // What tls_e2e_client printed, run with these omniORB settings.
  static std::string client(const ProviderProcess& provider, const std::string& settings,
                            const std::string& user = "alice", const std::string& password = "s3cret") {
    std::string out = run("env " + settings + " " + QJMS_TLS_CLIENT + " " + provider.iorFile() +
                              " '" + user + "' '" + password + "'",
                          false);
    return out.substr(0, out.find('\n'));
  }
  static std::string trusting(const std::string& ca, bool withCertificate = true) {
    return "ORBendPoint=giop:ssl:127.0.0.1: ORBsslCAFile=" + path(ca) +
           (withCertificate ? " ORBsslKeyFile=" + path("client-both.pem") : "");
  }

  static std::string dir_;
};

std::string Tls::dir_;

TEST_F(Tls, MessagesPushesAndPasswordsTravelOverTls) {
  ProviderProcess provider(tlsArgs({"--users", path("users"), "--user", "tester:plain"}), false);
  EXPECT_EQ(provider.log().find("giop:tcp"), std::string::npos) << provider.log();
  EXPECT_NE(provider.log().find("warning: --user shows its password"), std::string::npos);
  struct Case {
    std::string user, password, outcome;
  };
  for (const Case& c : std::vector<Case>{{"alice", "s3cret", "ok"},
                                         {"alice", "s3cre", kRefused},
                                         {"alice", "s3cret\n", kRefused},
                                         {"mallory", "s3cret", kRefused},
                                         {"tester", "plain", "ok"},
                                         {"tester", "s3cret", kRefused}})
    EXPECT_EQ(client(provider, trusting("ca.pem"), c.user, c.password), c.outcome) << c.user;
}

TEST_F(Tls, ConnectionsFailWithTheHandshakesCause) {
  ProviderProcess provider(tlsArgs(), false);
  ProviderProcess strict(tlsArgs({"--tls-require-client-cert"}), false);
  const std::string create = "|CltException::ERR_CONNECTION_CREATE";
  struct Case {
    const ProviderProcess& provider;
    std::string settings, outcome;
  };
  for (const Case& c : std::vector<Case>{
           {provider, trusting("stranger.pem"),
            "SystemException: TLS handshake failed: certificate verify failed "
            "(self-signed certificate in certificate chain)" + create},
           {provider, "ORBendPoint=giop:ssl:127.0.0.1:", "SystemException: TLS handshake failed: "
            "certificate verify failed (self-signed certificate in certificate chain)" + create},
           {provider, "ORBendPoint=giop:tcp:127.0.0.1: ORBsslCAFile=" + path("ca.pem"),
            "svrSec: this provider calls clients back over TLS only, and the connection's callback "
            "object offers no TLS endpoint" + create},
           {strict, trusting("ca.pem"), "ok"}})
    EXPECT_EQ(client(c.provider, c.settings), c.outcome) << c.settings;
  // TLS 1.3 refuses a missing client certificate after the client's side of
  // the handshake, so the refusal may reach the client as a closed connection.
  std::string refused = client(strict, "ORBendPoint=giop:tcp:127.0.0.1: ORBsslCAFile=" + path("ca.pem"));
  EXPECT_TRUE(refused == "SystemException: " + create ||
              refused == "SystemException: TLS handshake failed: the provider sent alert "
                         "\"certificate required\"" + create)
      << refused;
}

TEST_F(Tls, TheTlsPortDoesNotAnswerClearTextIiop) {
  ProviderProcess provider(tlsArgs(), false);
  const std::string log = provider.log(), said = "listening on giop:ssl:127.0.0.1:";
  const size_t portAt = log.find(said);
  ASSERT_NE(portAt, std::string::npos) << log;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<uint16_t>(std::stoi(log.substr(portAt + said.size()))));
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  timeval wait{20, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  // A GIOP 1.2 LocateRequest for object key "x", little-endian.
  const unsigned char request[] = {'G', 'I', 'O', 'P', 1, 2, 1, 3, 13, 0, 0, 0, 1, 0, 0, 0,
                                   0, 0, 0, 0, 1, 0, 0, 0, 'x'};
  ASSERT_EQ(write(fd, request, sizeof request), static_cast<ssize_t>(sizeof request));
  char reply[4] = {};
  ssize_t n = read(fd, reply, sizeof reply);
  close(fd);
  EXPECT_FALSE(n == 4 && std::string(reply, 4) == "GIOP") << "a clear-text GIOP reply";
}

}  // namespace
}  // namespace qjms::test
