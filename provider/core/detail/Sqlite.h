#pragma once
// A thin owner of an SQLite connection and its prepared statements. Failures
// throw SqliteError with SQLite's own words and result code.
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/Storage.h"

namespace quorix::provider::sqlite {

class SqliteError : public StorageError {
 public:
  SqliteError(const std::string& what, int code) : StorageError(what), code_(code) {}
  int code() const { return code_ & 0xff; }  // the primary result code

 private:
  int code_;
};

class Database {
 public:
  Database(const std::string& path, int flags);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* handle() const { return db_; }
  void exec(const std::string& sql);
  // The single integer a query such as a PRAGMA answers.
  int64_t integer(const std::string& sql);
  [[noreturn]] void raise(const std::string& doing, int rc) const;

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(Database& db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Binding after a step starts a new run of the statement.
  Statement& bind(int index, int64_t value);
  Statement& bind(int index, const std::u16string& text);  // as UTF-16LE bytes, exactly
  Statement& bind(int index, const std::optional<std::u16string>& text);  // absent: NULL
  Statement& bindBytes(int index, const std::string& bytes);
  // True while it gives a row; false once done.
  bool step();
  // Runs it to the end.
  void run();

  int64_t integer(int column) const;
  std::u16string text(int column) const;
  std::optional<std::u16string> optionalText(int column) const;
  std::string bytes(int column) const;

 private:
  void check(int rc, const char* doing);
  void restart();
  Database& db_;
  sqlite3_stmt* stmt_ = nullptr;
  bool fresh_ = true;  // not stepped since its last reset
};

}  // namespace quorix::provider::sqlite
