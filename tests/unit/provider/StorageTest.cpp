// The store layer on its own: what a backend keeps across a reopen (memory
// and SQLite alike), what an SQLite file is refused for, and how the writer
// groups batches and breaks.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <condition_variable>
#include <fstream>
#include <functional>
#include <tuple>

#include "BrokerFixture.h"
#include "StoreFiles.h"
#include "TempDir.h"
#include "core/MemoryStorage.h"
#include "core/SqliteStorage.h"
#include "core/StorageWriter.h"

namespace quorix::provider::test {
namespace {

using qjms::test::readAll;
using qjms::test::sql;
using qjms::test::TempDir;

SourceRecord queueRecord(uint64_t key, std::u16string name) {
  return {key, SourceRecord::Queue, {}, std::move(name), {}, std::nullopt, false};
}
SourceRecord subscriptionRecord(uint64_t key) {
  return {key, SourceRecord::Subscription, u"app", u"dur", u"t", u"k = 1", false};
}

MessageRecord messageRecord(uint64_t key, std::string payload) {
  MessageRecord m;
  m.key = key;
  m.id = u"ID:" + u16(int64_t(key));
  m.payload = std::move(payload);
  return m;
}

std::string describe(const SourceRecord& s) {
  return std::to_string(s.key) + " " + std::to_string(s.kind) + " " + toUtf8(s.clientId) + "/" +
         toUtf8(s.name) + " " + toUtf8(s.topic) + " " + toUtf8(s.selector.value_or(u"-")) + " " +
         std::to_string(s.noLocal);
}

std::string describe(const EntryRecord& e) {
  return std::to_string(e.source) + ":" + std::to_string(e.seq) + "=" + std::to_string(e.message) +
         (e.delivered ? "*" : "");
}

template <class T>
std::vector<std::string> describeAll(const std::vector<T>& items) {
  std::vector<std::string> out;
  for (const T& i : items) out.push_back(describe(i));
  return out;
}

using Steps = std::vector<StorageStep>;

// Memory, found again as the same object, or SQLite, reopened from its file.
class Backends : public ::testing::TestWithParam<bool> {
 protected:
  std::shared_ptr<Storage> open() {
    if (!GetParam()) return memory_;
    return std::make_shared<SqliteStorage>(dir_.file("store.db"));
  }
  void reopen() {
    storage_.reset();  // closed before it is opened again
    storage_ = open();
  }
  TempDir dir_;
  std::shared_ptr<MemoryStorage> memory_ = std::make_shared<MemoryStorage>();
  std::shared_ptr<Storage> storage_ = open();
};

TEST_P(Backends, KeepWhatBatchesLeaveExactlyAndMessagesWhileEntriesReferToThem) {
  MessageRecord odd = messageRecord(1, std::string("pay\0load", 8));
  odd.id = std::u16string(u"ID:\xD800x") + char16_t(0) + u"y";  // a lone surrogate, a NUL
  odd.timestamp = -5;
  odd.expiration = 1'700'000'000'123;
  odd.priority = 9;
  odd.correlationId = u"";  // empty, not absent
  odd.annotations = {{u"JMS_Quorix_DeadLetterReason", u"why"}, {u"", u""}};
  storage_->load();
  storage_->apply(Steps{step::PutSource{queueRecord(1, u"q\xDC00")},
                  step::PutSource{subscriptionRecord(2)}, step::PutMessage{odd},
                  step::PutEntry{{1, 1, 1, false}}, step::PutEntry{{2, 7, 1, false}},
                  step::PutMessage{messageRecord(2, "")}, step::PutEntry{{1, 2, 2, false}}});
  storage_->apply(Steps{step::MarkDelivered{1, 2}, step::DropEntry{1, 1}});

  reopen();
  StorageContents c = storage_->load();
  SourceRecord q = queueRecord(1, u"q\xDC00");
  EXPECT_EQ(describeAll(c.sources),
            (std::vector<std::string>{describe(q), describe(subscriptionRecord(2))}));
  EXPECT_EQ(c.sources[0].name, q.name);
  EXPECT_EQ(describeAll(c.entries), (std::vector<std::string>{"1:2=2*", "2:7=1"}));
  ASSERT_EQ(c.messages.size(), 2u);
  const MessageRecord& m = c.messages[0];
  EXPECT_EQ(m.id, odd.id);
  EXPECT_EQ(m.payload, odd.payload);
  EXPECT_EQ(std::tuple(m.timestamp, m.expiration, m.priority, m.deliveryMode),
            std::tuple(odd.timestamp, odd.expiration, 9, kPersistent));
  EXPECT_EQ(m.correlationId, std::optional<std::u16string>(u""));
  EXPECT_FALSE(m.type);
  EXPECT_EQ(m.annotations, odd.annotations);
  EXPECT_EQ(c.messages[1].payload, "");

  // Dropping a source drops its entries; a message goes with its last entry;
  // one no entry refers to is not kept; steps on what is not there do nothing.
  storage_->apply(Steps{step::DropSource{2}, step::DropEntry{1, 2},
                        step::PutMessage{messageRecord(3, "x")}, step::DropEntry{9, 9},
                        step::MarkDelivered{9, 9}, step::DropSource{9}});
  reopen();
  c = storage_->load();
  EXPECT_EQ(describeAll(c.sources), std::vector<std::string>{describe(q)});
  EXPECT_TRUE(c.messages.empty());
  EXPECT_TRUE(c.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(Storage, Backends, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "sqlite" : "memory"; });

TEST(SqliteStorage, AFailedBatchLeavesNothingOfItself) {
  TempDir dir;
  SqliteStorage s(dir.file("store.db"));
  s.apply(Steps{step::PutSource{queueRecord(1, u"q")}});
  EXPECT_THROW(s.apply(Steps{step::PutMessage{messageRecord(1, "m")},
                             step::PutEntry{{1, 1, 1, false}},
                             step::PutSource{queueRecord(1, u"again")}}),  // key taken
               StorageError);
  StorageContents c = s.load();
  EXPECT_EQ(c.sources.size(), 1u);
  EXPECT_TRUE(c.messages.empty() && c.entries.empty());
  s.apply(Steps{step::PutMessage{messageRecord(1, "m")}, step::PutEntry{{1, 1, 1, false}}});
  EXPECT_EQ(s.load().entries.size(), 1u);
}

// A file that is not ours, newer or corrupt, or held by another provider, is
// refused with a reason and left byte for byte as it was.
TEST(SqliteStorage, RefusesWhatItCannotUseAndLeavesTheFileAsItWas) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* says;
  };
  auto aStore = [](const std::string& path) {
    SqliteStorage s(path);
    Steps steps{step::PutSource{queueRecord(1, u"q")}};
    for (uint64_t k = 1; k <= 200; ++k) {
      steps.push_back(step::PutMessage{messageRecord(k, std::string(300, 'p'))});
      steps.push_back(step::PutEntry{{1, k, k, false}});
    }
    s.apply(steps);
  };
  const std::vector<Case> cases = {
      {"text", [](const std::string& p) { std::ofstream(p) << std::string(5000, 'x'); },
       "is not a quorix-provider store (not an SQLite database)"},
      {"another application's database",
       [](const std::string& p) { sql(p, "CREATE TABLE t (x); INSERT INTO t VALUES (1);"); },
       "is not a quorix-provider store (an SQLite database of another application)"},
      {"a newer schema",
       [&](const std::string& p) {
         aStore(p);
         sql(p, "PRAGMA user_version = 2;");
       },
       "has store schema version 2; this quorix-provider reads version 1"},
      {"a damaged page",
       [&](const std::string& p) {
         aStore(p);
         std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(4096 * 3);
         f << std::string(4096, '\xA5');
       },
       "is corrupt"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string path = dir.file("store.db");
    c.make(path);
    std::string before = readAll(path);
    try {
      SqliteStorage s(path);
      ADD_FAILURE() << c.what << " was accepted";
    } catch (const StorageError& e) {
      EXPECT_NE(std::string(e.what()).find(path + " "), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.what << ": " << e.what();
    }
    EXPECT_EQ(readAll(path), before) << c.what;
  }

  TempDir dir;
  std::string path = dir.file("store.db");
  SqliteStorage first(path);
  try {
    SqliteStorage second(path);
    ADD_FAILURE() << "a store in use was opened again";
  } catch (const StorageError& e) {
    EXPECT_NE(std::string(e.what()).find("is in use by another process"), std::string::npos)
        << e.what();
  }
  std::ofstream(dir.file("empty.db"));  // an empty file becomes a store
  EXPECT_TRUE(SqliteStorage(dir.file("empty.db")).load().sources.empty());
}

// Applies nothing until the test lets it; counts batches and their steps.
class GatedStorage : public MemoryStorage {
 public:
  void apply(const std::vector<StorageStep>& steps) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      entered_ = true;
      cv_.notify_all();
      cv_.wait(lock, [&] { return open_; });
      if (failNext_) {
        failNext_ = false;
        throw StorageError("disk full");
      }
    }
    MemoryStorage::apply(steps);
  }
  void waitEntered() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return entered_; });
  }
  void open(bool failNext = false) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    failNext_ = failNext;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool entered_ = false, open_ = false, failNext_ = false;
};

Steps queueStep(uint64_t key) { return Steps{step::PutSource{queueRecord(key, u"q")}}; }

TEST(StorageWriter, GroupCommitWritesWhatQueuedUpDuringAWriteAsOne) {
  for (bool group : {true, false}) {
    auto storage = std::make_shared<GatedStorage>();
    StorageWriter writer(storage, group, nullptr);
    // No one waits for the first batch: the writer's own thread writes it.
    StorageWriter::Ticket first = writer.append(queueStep(1), /*awaited=*/false);
    storage->waitEntered();  // the first write is under way
    std::vector<StorageWriter::Ticket> later;
    for (uint64_t k = 2; k <= 9; ++k) later.push_back(writer.append(queueStep(k)));
    EXPECT_EQ(writer.append({}), 0u);  // nothing to wait for
    storage->open();
    writer.wait(later.back());
    writer.wait(first);
    EXPECT_EQ(writer.writes(), group ? 2u : 9u);
    EXPECT_EQ(storage->load().sources.size(), 9u);
  }
}

TEST(StorageWriter, AFailedWriteBreaksTheStoreForGood) {
  std::vector<std::u16string> logged;
  auto storage = std::make_shared<GatedStorage>();
  StorageWriter writer(storage, true, [&](const std::u16string& t) { logged.push_back(t); });
  StorageWriter::Ticket t = writer.append(queueStep(1), /*awaited=*/false);
  storage->waitEntered();
  storage->open(/*failNext=*/true);
  EXPECT_PROVIDER_ERROR(writer.wait(t), ErrorKind::Store);
  EXPECT_PROVIDER_ERROR(writer.checkHealthy(), ErrorKind::Store);
  // Later batches are not written: they could rest on the lost one.
  EXPECT_PROVIDER_ERROR(writer.wait(writer.append(queueStep(2))), ErrorKind::Store);
  writer.flush();
  EXPECT_EQ(writer.writes(), 1u);
  EXPECT_TRUE(storage->load().sources.empty());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(toUtf8(logged[0]).find("disk full"), std::string::npos);
}

}  // namespace
}  // namespace quorix::provider::test
