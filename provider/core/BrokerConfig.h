#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorix::provider {

class Storage;
class PayloadCodec;

struct BrokerConfig {
  std::u16string driver = u"vol";
  bool supportsPersistent = false;
  bool supportsNonPersistent = true;
  bool supportsTransactions = true;
  // Whether a user name and password may connect; null: any may. Called
  // without the broker's lock (a password hash takes its time) from any thread.
  std::function<bool(const std::u16string& user, const std::u16string& password)> authenticate;
  size_t maxQueueDepth = 0;  // 0: unlimited
  // A message whose push failed this often goes to the dead-letter queue.
  uint32_t maxDeliveryFailures = 5;
  std::u16string deadLetterQueue = u"DLQ";
  size_t pushThreads = 16;  // at most this many pushes under way at once
  // Wall clock in ms since the epoch: time stamps and expiry.
  std::function<int64_t()> nowMs;
  // Where the broker reports what it did on its own (dead letters, sessions
  // it closed); null: nowhere.
  std::function<void(const std::u16string&)> log;
  // Where persistent messages, durable subscriptions and transactions'
  // effects on them are kept; null: nowhere, nothing survives a restart.
  // A storage needs the codec of the front end's payloads.
  std::shared_ptr<Storage> storage;
  std::shared_ptr<const PayloadCodec> codec;
  // Concurrent callers' batches share one durable write.
  bool groupCommit = true;
};

int64_t systemNowMs();

}  // namespace quorix::provider
