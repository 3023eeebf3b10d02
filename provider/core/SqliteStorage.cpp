#include "core/SqliteStorage.h"

#include "core/detail/Sqlite.h"

namespace quorix::provider {

using sqlite::Database;
using sqlite::SqliteError;
using sqlite::Statement;

namespace {

// Texts are kept as their exact UTF-16 units; annotations as a list of
// length-prefixed (name, value) pairs.
void putUnits(std::string& out, const std::u16string& text) {
  uint32_t n = static_cast<uint32_t>(text.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(n >> (8 * i)));
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xff));
    out.push_back(static_cast<char>(c >> 8));
  }
}

bool getUnits(const std::string& in, size_t& at, std::u16string& text) {
  if (in.size() - at < 4) return false;
  uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= uint32_t(static_cast<unsigned char>(in[at++])) << (8 * i);
  if ((in.size() - at) / 2 < n) return false;
  text.resize(n);
  for (uint32_t i = 0; i < n; ++i, at += 2)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(in[at]) |
                                    static_cast<unsigned char>(in[at + 1]) << 8);
  return true;
}

std::string encodeAnnotations(const std::vector<std::pair<std::u16string, std::u16string>>& a) {
  std::string out;
  for (auto& [name, value] : a) {
    putUnits(out, name);
    putUnits(out, value);
  }
  return out;
}

std::vector<std::pair<std::u16string, std::u16string>> decodeAnnotations(const std::string& in) {
  std::vector<std::pair<std::u16string, std::u16string>> out;
  for (size_t at = 0; at < in.size();) {
    std::pair<std::u16string, std::u16string> p;
    if (!getUnits(in, at, p.first) || !getUnits(in, at, p.second))
      throw SqliteError("a message's annotations cannot be read", SQLITE_CORRUPT);
    out.push_back(std::move(p));
  }
  return out;
}

const char* const kSchema = R"(
CREATE TABLE source (
  key INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,            -- 0 queue, 1 durable subscription
  client_id BLOB NOT NULL,
  name BLOB NOT NULL,
  topic BLOB,
  selector BLOB,
  no_local INTEGER NOT NULL DEFAULT 0,
  UNIQUE (kind, client_id, name));
CREATE TABLE message (
  key INTEGER PRIMARY KEY,
  id BLOB NOT NULL,
  timestamp INTEGER NOT NULL,
  expiration INTEGER NOT NULL,
  priority INTEGER NOT NULL,
  delivery_mode INTEGER NOT NULL,
  correlation_id BLOB,
  type BLOB,
  annotations BLOB NOT NULL,
  payload BLOB NOT NULL);
CREATE TABLE entry (
  source INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  message INTEGER NOT NULL,
  delivered INTEGER NOT NULL,
  PRIMARY KEY (source, seq)) WITHOUT ROWID;
CREATE INDEX entry_message ON entry (message);
)";

}  // namespace

struct SqliteStorage::Statements {
  explicit Statements(Database& db)
      : putSource(db, "INSERT INTO source (key, kind, client_id, name, topic, selector, no_local)"
                      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
        dropSourceEntries(db, "DELETE FROM entry WHERE source = ?1 RETURNING message"),
        dropSource(db, "DELETE FROM source WHERE key = ?1"),
        putMessage(db, "INSERT INTO message (key, id, timestamp, expiration, priority,"
                       " delivery_mode, correlation_id, type, annotations, payload)"
                       " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"),
        putEntry(db, "INSERT INTO entry (source, seq, message, delivered) VALUES (?1, ?2, ?3, ?4)"),
        dropEntry(db, "DELETE FROM entry WHERE source = ?1 AND seq = ?2 RETURNING message"),
        markDelivered(db, "UPDATE entry SET delivered = 1 WHERE source = ?1 AND seq = ?2"),
        release(db, "DELETE FROM message WHERE key = ?1"
                    " AND NOT EXISTS (SELECT 1 FROM entry WHERE message = ?1)") {}
  Statement putSource, dropSourceEntries, dropSource, putMessage, putEntry, dropEntry,
      markDelivered, release;
};

SqliteStorage::SqliteStorage(const std::string& path) : path_(path) {
  try {
    open();
  } catch (const SqliteError& e) {
    st_.reset();
    db_.reset();
    switch (e.code()) {
      case SQLITE_NOTADB:
        throw StorageError(path + " is not a quorix-provider store (not an SQLite database)");
      case SQLITE_CORRUPT:
        throw StorageError(path + " is corrupt (" + std::string(e.what()) + ")");
      case SQLITE_BUSY:
      case SQLITE_LOCKED:
        throw StorageError(path + " is in use by another process");
      default:
        throw StorageError(path + ": " + e.what());
    }
  }
}

SqliteStorage::~SqliteStorage() = default;

void SqliteStorage::open() {
  db_ = std::make_unique<Database>(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  sqlite3_busy_timeout(db_->handle(), 0);
  // Held from the first read on, so a second provider on the same file is
  // refused before it reads anything; WAL then needs no shared-memory file.
  db_->exec("PRAGMA locking_mode = EXCLUSIVE");
  // Reads only, until the file is known to be ours or new.
  const int64_t app = db_->integer("PRAGMA application_id");
  const int64_t version = db_->integer("PRAGMA user_version");
  const int64_t objects = db_->integer("SELECT count(*) FROM sqlite_master");
  const bool fresh = app == 0 && version == 0 && objects == 0;
  if (!fresh) {
    if (app != kApplicationId)
      throw StorageError(path_ + " is not a quorix-provider store (an SQLite database of "
                                 "another application)");
    if (version > kSchemaVersion)
      throw StorageError(path_ + " has store schema version " + std::to_string(version) +
                         "; this quorix-provider reads version " +
                         std::to_string(kSchemaVersion) + ": use a newer quorix-provider");
    if (version < 1) throw StorageError(path_ + " is not a quorix-provider store (no version)");
    Statement check(*db_, "PRAGMA quick_check");
    if (check.step()) {
      std::string first = check.bytes(0);
      if (first != "ok") throw SqliteError(first, SQLITE_CORRUPT);
    }
  }
  {
    Statement wal(*db_, "PRAGMA journal_mode = WAL");
    if (!wal.step() || wal.bytes(0) != "wal")
      throw StorageError(path_ + ": the file system does not allow a WAL journal");
  }
  db_->exec("PRAGMA synchronous = FULL");
  if (fresh) {
    db_->exec(std::string("BEGIN IMMEDIATE;") + kSchema +
              "PRAGMA application_id = " + std::to_string(kApplicationId) + ";" +
              "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";COMMIT;");
  }
  st_ = std::make_unique<Statements>(*db_);
}

StorageContents SqliteStorage::load() {
  StorageContents c;
  try {
    Statement sources(*db_, "SELECT key, kind, client_id, name, topic, selector, no_local"
                            " FROM source ORDER BY key");
    while (sources.step()) {
      SourceRecord s;
      s.key = static_cast<uint64_t>(sources.integer(0));
      s.kind = sources.integer(1) == SourceRecord::Subscription ? SourceRecord::Subscription
                                                                 : SourceRecord::Queue;
      s.clientId = sources.text(2);
      s.name = sources.text(3);
      s.topic = sources.optionalText(4).value_or(u"");
      s.selector = sources.optionalText(5);
      s.noLocal = sources.integer(6) != 0;
      c.sources.push_back(std::move(s));
    }
    Statement messages(*db_, "SELECT key, id, timestamp, expiration, priority, delivery_mode,"
                             " correlation_id, type, annotations, payload FROM message"
                             " ORDER BY key");
    while (messages.step()) {
      MessageRecord m;
      m.key = static_cast<uint64_t>(messages.integer(0));
      m.id = messages.text(1);
      m.timestamp = messages.integer(2);
      m.expiration = messages.integer(3);
      m.priority = static_cast<int32_t>(messages.integer(4));
      m.deliveryMode = static_cast<int32_t>(messages.integer(5));
      m.correlationId = messages.optionalText(6);
      m.type = messages.optionalText(7);
      m.annotations = decodeAnnotations(messages.bytes(8));
      m.payload = messages.bytes(9);
      c.messages.push_back(std::move(m));
    }
    Statement entries(*db_, "SELECT source, seq, message, delivered FROM entry"
                            " ORDER BY source, seq");
    while (entries.step()) {
      c.entries.push_back({static_cast<uint64_t>(entries.integer(0)),
                           static_cast<uint64_t>(entries.integer(1)),
                           static_cast<uint64_t>(entries.integer(2)), entries.integer(3) != 0});
    }
  } catch (const SqliteError& e) {
    throw StorageError(path_ + (e.code() == SQLITE_CORRUPT ? " is corrupt (" : ": cannot read (") +
                       e.what() + ")");
  }
  return c;
}

void SqliteStorage::applyStep(const StorageStep& s, std::vector<uint64_t>& released) {
  auto i64 = [](uint64_t v) { return static_cast<int64_t>(v); };
  if (auto* p = std::get_if<step::PutSource>(&s)) {
    const SourceRecord& r = p->source;
    st_->putSource.bind(1, i64(r.key)).bind(2, int64_t(r.kind)).bind(3, r.clientId);
    st_->putSource.bind(4, r.name).bind(5, r.topic).bind(6, r.selector);
    st_->putSource.bind(7, int64_t(r.noLocal)).run();
  } else if (auto* d = std::get_if<step::DropSource>(&s)) {
    for (st_->dropSourceEntries.bind(1, i64(d->source)); st_->dropSourceEntries.step();)
      released.push_back(static_cast<uint64_t>(st_->dropSourceEntries.integer(0)));
    st_->dropSource.bind(1, i64(d->source)).run();
  } else if (auto* pm = std::get_if<step::PutMessage>(&s)) {
    const MessageRecord& m = pm->message;
    Statement& q = st_->putMessage;
    q.bind(1, i64(m.key)).bind(2, m.id).bind(3, m.timestamp).bind(4, m.expiration);
    q.bind(5, int64_t(m.priority)).bind(6, int64_t(m.deliveryMode)).bind(7, m.correlationId);
    q.bind(8, m.type).bindBytes(9, encodeAnnotations(m.annotations)).bindBytes(10, m.payload);
    q.run();
    released.push_back(m.key);  // kept only if an entry refers to it
  } else if (auto* pe = std::get_if<step::PutEntry>(&s)) {
    const EntryRecord& e = pe->entry;
    st_->putEntry.bind(1, i64(e.source)).bind(2, i64(e.seq)).bind(3, i64(e.message));
    st_->putEntry.bind(4, int64_t(e.delivered)).run();
  } else if (auto* de = std::get_if<step::DropEntry>(&s)) {
    for (st_->dropEntry.bind(1, i64(de->source)).bind(2, i64(de->seq)); st_->dropEntry.step();)
      released.push_back(static_cast<uint64_t>(st_->dropEntry.integer(0)));
  } else if (auto* md = std::get_if<step::MarkDelivered>(&s)) {
    st_->markDelivered.bind(1, i64(md->source)).bind(2, i64(md->seq)).run();
  }
}

void SqliteStorage::apply(const std::vector<StorageStep>& steps) {
  if (steps.empty()) return;
  try {
    db_->exec("BEGIN IMMEDIATE");
    try {
      std::vector<uint64_t> released;
      for (const StorageStep& s : steps) applyStep(s, released);
      for (uint64_t key : released) st_->release.bind(1, static_cast<int64_t>(key)).run();
      db_->exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (const SqliteError& e) {
    throw StorageError(path_ + ": cannot write (" + e.what() + ")");
  }
}

}  // namespace quorix::provider
