#include "server/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace quorix::provider {

std::string usage() {
  return
      "usage: quorix-provider [options]\n"
      "  --endpoint ENDPOINT      where to listen (repeatable; default giop:tcp:127.0.0.1:0,\n"
      "                           or giop:ssl:127.0.0.1:0 with TLS)\n"
      "  --unix-socket PATH       also listen on this Unix-domain socket (default: on, in\n"
      "                           omniORB's directory, while every endpoint is loopback TCP\n"
      "                           and TLS is off)\n"
      "  --no-unix-socket         listen on the TCP endpoints only\n"
      "  --ior-file PATH          also write the Provider reference to PATH\n"
      "  --driver NAME            driver name clients must ask for (default vol)\n"
      "  --store PATH             keep persistent messages, durable subscriptions and\n"
      "                           transactions' effects on them in the SQLite file PATH\n"
      "                           (made if missing); a call returns once its change is on\n"
      "                           disk, so each waits for a disk flush, which concurrent\n"
      "                           calls share. Non-persistent messages, non-durable\n"
      "                           subscriptions and uncommitted work stay in memory only.\n"
      "                           Implies --persistent. A file that is not a store of ours,\n"
      "                           is newer or corrupt, or in use: exit status 3, untouched\n"
      "  --no-group-commit        write each call's change to the store on its own (to\n"
      "                           measure what sharing writes gains)\n"
      "  --persistent             without --store: claim persistent delivery but keep\n"
      "                           nothing on disk (for tests of clients only)\n"
      "  --no-persistent          refuse persistent messages (the default without --store)\n"
      "  --no-nonpersistent       refuse non-persistent messages\n"
      "  --no-tx                  refuse transacted sessions\n"
      "  --user NAME:PASSWORD     accept these credentials (repeatable; default: any);\n"
      "                           for tests: the password shows on the command line\n"
      "  --users FILE             accept the NAME:HASH lines of FILE (crypt(3) hashes)\n"
      "  --hash-password          print a hash of the password read from standard input\n"
      "  --tls-cert FILE          TLS: the provider's certificate chain (PEM)\n"
      "  --tls-key FILE           TLS: its private key (PEM, not encrypted)\n"
      "  --tls-ca FILE            TLS: the CAs of client certificates (default: the system's)\n"
      "  --tls-require-client-cert  TLS: refuse clients without a certificate\n"
      "  --ping-interval SECONDS  ping clients this often, 0 disables (default 10)\n"
      "  --max-queue-depth N      refuse sends to a queue holding N messages\n"
      "  --max-message-size BYTES largest message accepted (default 67108864)\n"
      "  --callback-timeout SECONDS  limit on each call to a client, 0 none (default 30)\n"
      "  --max-delivery-failures N   failed pushes before a message is dead (default 5)\n"
      "  --dead-letter-queue NAME    where dead messages go (default DLQ)\n"
      "  --push-threads N         most pushes under way at once (default 16)\n"
      "  --test-control           accept test-control commands through admin\n"
      "  --verbose                log every call on standard error\n"
      "  --help                   show this text\n";
}

namespace {

// Durations become milliseconds in waits and call limits: anything shorter
// than one would silently mean "none", anything near the clock's range
// would overflow a deadline.
constexpr double kMinSeconds = 0.001, kMaxSeconds = 1e6;

// 0 (off) or a number of seconds in range; "" when accepted.
std::string toSeconds(const std::string& text, double& out) {
  char* end = nullptr;
  errno = 0;
  double v = text.empty() ? -1 : std::strtod(text.c_str(), &end);
  if (text.empty() || *end != 0 || errno != 0 || !std::isfinite(v) ||
      (v != 0 && (v < kMinSeconds || v > kMaxSeconds)))
    return "not 0 or a number of seconds from 0.001 to 1000000";
  out = v;
  return "";
}

bool toCount(const std::string& text, unsigned long long max, unsigned long long& out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtoull(text.c_str(), &end, 10);
  return *end == 0 && errno == 0 && out <= max;
}

bool loopbackTcp(const std::string& endpoint) {
  for (const char* prefix : {"giop:tcp:127.", "giop:tcp:localhost:", "giop:tcp:[::1]:"}) {
    if (endpoint.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::string unixEndpoint(const Options& o) {
  if (o.unixMode == Options::Unix::Off) return "";
  if (o.unixMode == Options::Unix::Auto) {
    // A clear-text path beside TLS would defeat it; beside a reachable endpoint it buys nothing.
    if (tlsOn(o)) return "";
    for (const std::string& e : listenEndpoints(o))
      if (!loopbackTcp(e)) return "";
  }
  return "giop:unix:" + o.unixSocket;
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  Options o;
  bool refusePersistent = false;
  using Setter = std::function<std::string(const std::string&)>;  // "" when accepted
  const std::map<std::string, Setter> withValue = {
      {"--endpoint", [&](const std::string& v) {
         o.endpoints.push_back(v);
         return v.empty() ? "an empty endpoint" : "";
       }},
      {"--unix-socket", [&](const std::string& v) {
         o.unixMode = Options::Unix::On;
         o.unixSocket = v;
         return v.empty() ? "an empty socket path" : "";
       }},
      {"--users", [&](const std::string& v) {
         o.usersFile = v;
         return v.empty() ? "an empty file name" : "";
       }},
      {"--tls-cert", [&](const std::string& v) {
         o.tlsCert = v;
         return v.empty() ? "an empty file name" : "";
       }},
      {"--tls-key", [&](const std::string& v) {
         o.tlsKey = v;
         return v.empty() ? "an empty file name" : "";
       }},
      {"--tls-ca", [&](const std::string& v) {
         o.tlsCa = v;
         return v.empty() ? "an empty file name" : "";
       }},
      {"--ior-file", [&](const std::string& v) {
         o.iorFile = v;
         return v.empty() ? "an empty file name" : "";
       }},
      {"--driver", [&](const std::string& v) {
         o.driver = v;
         return v.empty() ? "an empty driver name" : "";
       }},
      {"--user", [&](const std::string& v) -> std::string {
         size_t colon = v.find(':');
         if (colon == std::string::npos || colon == 0) return "not NAME:PASSWORD";
         o.users.emplace_back(v.substr(0, colon), v.substr(colon + 1));
         return "";
       }},
      {"--ping-interval", [&](const std::string& v) { return toSeconds(v, o.pingIntervalSeconds); }},
      {"--callback-timeout",
       [&](const std::string& v) { return toSeconds(v, o.callbackTimeoutSeconds); }},
      {"--max-queue-depth", [&](const std::string& v) {
         unsigned long long n = 0;
         if (!toCount(v, SIZE_MAX, n)) return "not a count";
         o.maxQueueDepth = n;
         return "";
       }},
      {"--max-delivery-failures", [&](const std::string& v) {
         unsigned long long n = 0;
         if (!toCount(v, 1000000, n) || n < 1) return "not a count from 1 to 1000000";
         o.maxDeliveryFailures = static_cast<uint32_t>(n);
         return "";
       }},
      {"--store", [&](const std::string& v) {
         o.store = v;
         return v.empty() ? "an empty file name" : "";
       }},
      {"--dead-letter-queue", [&](const std::string& v) {
         o.deadLetterQueue = v;
         return v.empty() ? "an empty queue name" : "";
       }},
      {"--push-threads", [&](const std::string& v) {
         unsigned long long n = 0;
         if (!toCount(v, 1024, n) || n < 1) return "not a count from 1 to 1024";
         o.pushThreads = n;
         return "";
       }},
      {"--max-message-size", [&](const std::string& v) {
         unsigned long long n = 0;
         if (!toCount(v, UINT32_MAX, n) || n < 8192) return "not a size from 8192 to 4294967295";
         o.maxMessageBytes = static_cast<uint32_t>(n);
         return "";
       }},
  };
  const std::map<std::string, std::function<void()>> flags = {
      {"--persistent", [&] {
         o.persistent = true;
         refusePersistent = false;
       }},
      {"--no-persistent", [&] {
         o.persistent = false;
         refusePersistent = true;
       }},
      {"--no-group-commit", [&] { o.groupCommit = false; }},
      {"--no-nonpersistent", [&] { o.nonPersistent = false; }},
      {"--no-tx", [&] { o.transactions = false; }},
      {"--no-unix-socket", [&] { o.unixMode = Options::Unix::Off; }},
      {"--test-control", [&] { o.testControl = true; }},
      {"--verbose", [&] { o.verbose = true; }},
      {"--tls-require-client-cert", [&] { o.tlsRequireClientCert = true; }},
      {"--hash-password", [&] { o.hashPassword = true; }},
  };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool inlineValue = false;
    if (size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    if (name == "--help" || name == "-h") return HelpRequested{};
    if (auto f = flags.find(name); f != flags.end()) {
      if (inlineValue) return OptionError{name + " takes no value"};
      f->second();
      continue;
    }
    auto s = withValue.find(name);
    if (s == withValue.end()) return OptionError{"unknown option " + args[i]};
    if (!inlineValue) {
      if (i + 1 >= args.size()) return OptionError{name + " needs a value"};
      value = args[++i];
    }
    if (std::string why = s->second(value); !why.empty())
      return OptionError{name + " " + value + ": " + why};
  }
  if (!o.store.empty()) {
    if (refusePersistent) return OptionError{"--no-persistent contradicts --store"};
    o.persistent = true;
  }
  if (o.tlsCert.empty() != o.tlsKey.empty()) return OptionError{"--tls-cert and --tls-key go together"};
  if (!tlsOn(o) && (!o.tlsCa.empty() || o.tlsRequireClientCert))
    return OptionError{"--tls-ca and --tls-require-client-cert need --tls-cert and --tls-key"};
  bool sslEndpoint = false;
  for (const std::string& e : o.endpoints) {
    if (e.rfind("giop:ssl:", 0) != 0) continue;
    if (!tlsOn(o)) return OptionError{"--endpoint " + e + ": needs --tls-cert and --tls-key"};
    sslEndpoint = true;
  }
  if (tlsOn(o) && !o.endpoints.empty() && !sslEndpoint)
    return OptionError{"--tls-cert: no giop:ssl endpoint among the --endpoint options"};
  return o;
}

bool tlsOn(const Options& o) { return !o.tlsCert.empty(); }

std::vector<std::string> listenEndpoints(const Options& o) {
  if (!o.endpoints.empty()) return o.endpoints;
  return {tlsOn(o) ? "giop:ssl:127.0.0.1:0" : "giop:tcp:127.0.0.1:0"};
}

bool tlsOnly(const Options& o) {
  if (!tlsOn(o)) return false;
  for (const std::string& e : listenEndpoints(o))
    if (e.rfind("giop:ssl:", 0) != 0) return false;
  return true;
}

}  // namespace quorix::provider
