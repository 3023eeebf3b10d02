#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quorix::provider {

struct BrokerConfig {
  std::u16string driver = u"vol";
  bool supportsPersistent = false;
  bool supportsNonPersistent = true;
  bool supportsTransactions = true;
  // (name, password) pairs; empty means any credentials are accepted.
  std::vector<std::pair<std::u16string, std::u16string>> users;
  size_t maxQueueDepth = 0;  // 0: unlimited
  // Wall clock in ms since the epoch: time stamps and expiry.
  std::function<int64_t()> nowMs;
};

int64_t systemNowMs();

}  // namespace quorix::provider
