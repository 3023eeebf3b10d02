#include "control/CallLog.h"

#include <algorithm>

namespace quorix::provider {

const std::vector<std::string_view>& providerOperations() {
  static const std::vector<std::string_view> ops = {
      "createAdminEntry", "removeAdminEntry", "updateAdminEntry",
      "ping", "setClientID", "createConnection", "createSession", "createSubscriber",
      "createDurableSubscriber", "unsubscribe", "createPublisher", "createReceiver",
      "createBrowser", "createSender", "commit", "rollback", "admin", "start", "stop",
      "closeConnection", "closeSession", "setMessageListener", "unsetMessageListener",
      "closeProducer", "produce", "produceTo", "closeConsumer", "consume", "consumeById",
      "consumeTimeOut", "consumeNoBlock", "getReceiverVersion", "startPropJob", "stopPropJob",
      "recvPropReq", "getRecvLogRec", "skipCurrentReq", "ackPropReq", "notifyPropErr",
      "flowControlReq", "reqResend"};
  return ops;
}

bool isProviderOperation(std::string_view name) {
  const auto& ops = providerOperations();
  return std::find(ops.begin(), ops.end(), name) != ops.end();
}

bool isSystemExceptionName(std::string_view name) {
  static const std::vector<std::string_view> names = {
      "TRANSIENT", "COMM_FAILURE", "OBJECT_NOT_EXIST", "INTERNAL", "UNKNOWN",
      "NO_IMPLEMENT", "NO_RESOURCES", "BAD_PARAM", "TIMEOUT"};
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::optional<Fault> CallLog::enter(std::string_view operation,
                                    const std::function<std::u16string()>& renderArguments) {
  if (!enabled_) return std::nullopt;
  std::u16string rendered = renderArguments ? renderArguments() : std::u16string();
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(operation);
  if (it == records_.end()) it = records_.emplace(std::string(operation), Record{}).first;
  Record& r = it->second;
  ++r.calls;
  r.last = std::move(rendered);
  if (r.faults.empty()) return std::nullopt;
  Queued& q = r.faults.front();
  Fault f = q.fault;
  if (--q.remaining == 0) r.faults.pop_front();
  return f;
}

void CallLog::addFault(std::string_view operation, const Fault& fault, int times) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(operation);
  if (it == records_.end()) it = records_.emplace(std::string(operation), Record{}).first;
  if (times > 0) it->second.faults.push_back({fault, static_cast<uint64_t>(times)});
}

void CallLog::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.clear();
}

uint64_t CallLog::calls(std::string_view operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(operation);
  return it == records_.end() ? 0 : it->second.calls;
}

std::optional<std::u16string> CallLog::last(std::string_view operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(operation);
  if (it == records_.end()) return std::nullopt;
  return it->second.last;
}

}  // namespace quorix::provider
