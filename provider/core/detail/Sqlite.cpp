#include "core/detail/Sqlite.h"

namespace quorix::provider::sqlite {

Database::Database(const std::string& path, int flags) {
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError("cannot open: " + why, rc);
  }
  sqlite3_extended_result_codes(db_, 1);
}

Database::~Database() { sqlite3_close(db_); }

void Database::raise(const std::string& doing, int rc) const {
  throw SqliteError(doing + ": " + sqlite3_errmsg(db_), rc);
}

void Database::exec(const std::string& sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return;
  std::string why = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  throw SqliteError(why, rc);
}

int64_t Database::integer(const std::string& sql) {
  Statement s(*this, sql.c_str());
  return s.step() ? s.integer(0) : 0;
}

Statement::Statement(Database& db, const char* sql) : db_(db) {
  int rc = sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) db.raise("cannot prepare", rc);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::check(int rc, const char* doing) {
  if (rc != SQLITE_OK) db_.raise(doing, rc);
}

namespace {
std::string le16(const std::u16string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xff));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}
}  // namespace

Statement& Statement::bind(int index, int64_t value) {
  restart();
  check(sqlite3_bind_int64(stmt_, index, value), "cannot bind");
  return *this;
}

Statement& Statement::bindBytes(int index, const std::string& bytes) {
  restart();
  // A null pointer would bind NULL, not an empty value.
  check(sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT),
        "cannot bind");
  return *this;
}

Statement& Statement::bind(int index, const std::u16string& text) {
  return bindBytes(index, le16(text));
}

Statement& Statement::bind(int index, const std::optional<std::u16string>& text) {
  if (text) return bind(index, *text);
  restart();
  check(sqlite3_bind_null(stmt_, index), "cannot bind");
  return *this;
}

void Statement::restart() {
  if (fresh_) return;
  sqlite3_reset(stmt_);
  fresh_ = true;
}

bool Statement::step() {
  fresh_ = false;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  // Reset at once: a finished statement must not hold its read open.
  sqlite3_reset(stmt_);
  fresh_ = true;
  if (rc != SQLITE_DONE) db_.raise("cannot run \"" + std::string(sqlite3_sql(stmt_)) + "\"", rc);
  return false;
}

void Statement::run() {
  while (step()) {
  }
}

int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::bytes(int column) const {
  const void* p = sqlite3_column_blob(stmt_, column);
  int n = sqlite3_column_bytes(stmt_, column);
  return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

std::u16string Statement::text(int column) const {
  std::string b = bytes(column);
  std::u16string out(b.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(b[2 * i]) |
                                   static_cast<unsigned char>(b[2 * i + 1]) << 8);
  return out;
}

std::optional<std::u16string> Statement::optionalText(int column) const {
  if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
  return text(column);
}

}  // namespace quorix::provider::sqlite
