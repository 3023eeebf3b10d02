#pragma once
// What test control knows about the calls the server received: a count and
// the rendered arguments of the last call per operation, and the faults
// queued for each operation. Thread-safe.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::provider {

struct Fault {
  std::string exception;  // a contract exception name or a system exception name
  int32_t code = 0;
  std::u16string reason = u"injected";
};

// The operations of the Provider interface, in interface order.
const std::vector<std::string_view>& providerOperations();
bool isProviderOperation(std::string_view name);
// The system exceptions a fault may raise: TRANSIENT, COMM_FAILURE, ...
bool isSystemExceptionName(std::string_view name);

class CallLog {
 public:
  explicit CallLog(bool enabled) : enabled_(enabled) {}

  // Counts a call and keeps its arguments (rendered only when enabled);
  // returns the fault it must raise instead of doing its work, if any.
  std::optional<Fault> enter(std::string_view operation,
                             const std::function<std::u16string()>& renderArguments);

  void addFault(std::string_view operation, const Fault& fault, int times);
  void reset();
  uint64_t calls(std::string_view operation) const;
  std::optional<std::u16string> last(std::string_view operation) const;

 private:
  struct Queued {
    Fault fault;
    uint64_t remaining;  // one entry however many calls it is for
  };
  struct Record {
    uint64_t calls = 0;
    std::optional<std::u16string> last;
    std::deque<Queued> faults;
  };
  const bool enabled_;
  mutable std::mutex mutex_;
  std::map<std::string, Record, std::less<>> records_;
};

}  // namespace quorix::provider
