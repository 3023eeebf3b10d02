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

}  // namespace quorix::provider
