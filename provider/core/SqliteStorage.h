#pragma once
// A store in one SQLite database file: WAL journal, full synchronisation (a
// batch is on disk when apply returns), held exclusively by one process.
//
// Opening refuses, and leaves the file as it was, when the file is not a
// store of ours, was written by a newer schema, is corrupt, or is in use.
// A missing or empty file becomes a new store.
#include <memory>
#include <string>

#include "core/Storage.h"

namespace quorix::provider {

namespace sqlite {
class Database;
}

class SqliteStorage : public Storage {
 public:
  static constexpr int kSchemaVersion = 1;
  static constexpr int32_t kApplicationId = 0x51525853;  // "QRXS"

  explicit SqliteStorage(const std::string& path);  // throws StorageError
  ~SqliteStorage() override;

  StorageContents load() override;
  void apply(const std::vector<StorageStep>& steps) override;

 private:
  struct Statements;
  void open();
  void applyStep(const StorageStep& s, std::vector<uint64_t>& released);

  std::string path_;
  std::unique_ptr<sqlite::Database> db_;
  std::unique_ptr<Statements> st_;
};

}  // namespace quorix::provider
