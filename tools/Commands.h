#pragma once
// The commands. Each checks its input before connecting (UsageError), and
// returns its exit status or throws (jms::JMSException, Interrupted).
#include <cstdint>
#include <string>
#include <vector>

#include "Connect.h"
#include "Output.h"

namespace qjms::cli {

enum class Kind { Queue, Topic };

struct SendOptions {
    Kind kind = Kind::Queue;
    std::string destination;
    std::vector<std::string> bodies;
    std::string file;
    bool lines = false;
    bool bytes = false;
    int64_t count = 1;
    std::vector<std::string> properties;
    int32_t priority = -1;  // -1: the producer's default
    int32_t ttl = -1;
    bool persistent = false;
    bool nonPersistent = false;
    std::string type;
    std::string correlationId;
    std::string replyTo;
    bool transacted = false;
    int64_t batch = 0;  // 0: one commit at the end
};

struct ReceiveOptions {
    Kind kind = Kind::Queue;
    std::string destination;
    int64_t count = 0;  // 0: until a wait times out
    int64_t timeout = 0;  // ms of waiting for the next message; 0 for ever
    std::string selector;
    bool transacted = false;
    int64_t batch = 0;
    bool listener = false;
    bool noLocal = false;
    std::string durable;
    Format format = Format::Readable;
};

struct PerfOptions {
    int producers = 1;
    int consumers = 1;
    int64_t size = 1024;
    bool text = false;
    int64_t count = 10000;
    double duration = 0;  // seconds; replaces count when set
    std::string queue;
    std::string topic;
    bool persistent = false;
    bool listener = false;
    bool json = false;
};

int runInfo(const ConnectionOptions& connection, bool json);
int runSend(const ConnectionOptions& connection, const SendOptions& options);
int runReceive(const ConnectionOptions& connection, const ReceiveOptions& options);
int runBrowse(const ConnectionOptions& connection, const ReceiveOptions& options);
int runUnsubscribe(const ConnectionOptions& connection, const std::string& name);
int runPerf(const ConnectionOptions& connection, const PerfOptions& options);

}  // namespace qjms::cli
