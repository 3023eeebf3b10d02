#pragma once
// Keeps what a store keeps for as long as the object lives: a broker built on
// it after another was destroyed finds what that one kept, as after a restart.
// For tests, and the reference for what a backend must do.
#include <map>
#include <mutex>
#include <utility>

#include "core/Storage.h"

namespace quorix::provider {

class MemoryStorage : public Storage {
 public:
  // Holding what another held: as it would be found after a crash.
  explicit MemoryStorage(const StorageContents& contents = {});
  StorageContents load() override;
  void apply(const std::vector<StorageStep>& steps) override;
  size_t applied() const;  // batches so far

 private:
  void drop(std::map<std::pair<uint64_t, uint64_t>, EntryRecord>::iterator it);

  mutable std::mutex mutex_;
  std::map<uint64_t, SourceRecord> sources_;
  std::map<uint64_t, std::pair<MessageRecord, size_t>> messages_;  // with its entries
  std::map<std::pair<uint64_t, uint64_t>, EntryRecord> entries_;   // (source, seq)
  size_t applied_ = 0;
};

}  // namespace quorix::provider
