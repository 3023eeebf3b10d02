#pragma once
// The command line of quorix-provider.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quorix::provider {

struct Options {
  // Where to listen; none given: giop:ssl:127.0.0.1:0 with TLS, else giop:tcp:127.0.0.1:0.
  std::vector<std::string> endpoints;
  std::string iorFile;  // empty: standard output only
  std::string driver = "vol";
  bool persistent = false;
  bool nonPersistent = true;
  bool transactions = true;
  std::vector<std::pair<std::string, std::string>> users;  // NAME:PASSWORD in clear text
  std::string usersFile;                                   // NAME:HASH lines
  // TLS is on when a certificate and its key are given.
  std::string tlsCert, tlsKey, tlsCa;
  bool tlsRequireClientCert = false;
  bool hashPassword = false;  // only print a hash of the password on standard input
  double pingIntervalSeconds = 10;  // 0: no pings
  size_t maxQueueDepth = 0;         // 0: unlimited
  bool testControl = false;
  bool verbose = false;
  uint32_t maxMessageBytes = 64u << 20;
  double callbackTimeoutSeconds = 30;  // 0: no limit
  uint32_t maxDeliveryFailures = 5;
  std::string deadLetterQueue = "DLQ";
  size_t pushThreads = 16;
  // A Unix-domain socket beside TCP, for clients on the same machine: on by
  // default while the TCP endpoint is on loopback.
  enum class Unix { Auto, Off, On } unixMode = Unix::Auto;
  std::string unixSocket;  // empty: omniORB picks one in its own directory
  std::string store;        // empty: nothing is kept across a restart
  bool groupCommit = true;  // concurrent callers share one store write
};

struct HelpRequested {};
struct OptionError {
  std::string message;
};

using ParsedOptions = std::variant<Options, HelpRequested, OptionError>;

ParsedOptions parseOptions(const std::vector<std::string>& args);  // without the program name
std::string usage();

bool tlsOn(const Options& o);
// The endpoints to listen on, the default when none was given.
std::vector<std::string> listenEndpoints(const Options& o);
// No endpoint but TLS ones: clients are called back over TLS only.
bool tlsOnly(const Options& o);
// The Unix-domain endpoint to listen on beside the others ("giop:unix:..."),
// or "" for none.
std::string unixEndpoint(const Options& options);

}  // namespace quorix::provider
