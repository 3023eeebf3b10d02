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
  std::string endpoint = "giop:tcp:127.0.0.1:0";
  std::string iorFile;  // empty: standard output only
  std::string driver = "vol";
  bool persistent = false;
  bool nonPersistent = true;
  bool transactions = true;
  std::vector<std::pair<std::string, std::string>> users;
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

// The Unix-domain endpoint to listen on beside `endpoint` ("giop:unix:..."),
// or "" for none.
std::string unixEndpoint(const Options& options);

}  // namespace quorix::provider
