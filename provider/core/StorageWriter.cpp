#include "core/StorageWriter.h"

#include <chrono>

#include "core/Error.h"
#include "core/Text.h"

namespace quorix::provider {

namespace {
// How long a batch no one waits for may wait for a caller's write to take it.
constexpr std::chrono::milliseconds kUnwaited{2};
}  // namespace

StorageWriter::StorageWriter(std::shared_ptr<Storage> storage, bool groupCommit,
                             std::function<void(const std::u16string&)> log)
    : storage_(std::move(storage)), groupCommit_(groupCommit), log_(std::move(log)),
      thread_([this] { background(); }) {}

StorageWriter::~StorageWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  unwaited_.notify_all();
  thread_.join();
}

StorageWriter::Ticket StorageWriter::append(std::vector<StorageStep> steps, bool awaited) {
  if (steps.empty()) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!broken_) queue_.push_back(std::move(steps));  // else its wait fails
  ++queued_;
  if (!awaited) {
    lastUnwaited_ = queued_;
    unwaited_.notify_one();
  }
  return queued_;
}

void StorageWriter::failStore() const {
  fail(ErrorKind::Store, u"the message store failed (" + fromUtf8(*broken_) +
                             u"); persistent messaging resumes when quorix-provider is restarted");
}

void StorageWriter::wait(Ticket ticket) {
  if (ticket == 0) return;
  Lock lock(mutex_);
  writeUntil(lock, ticket);
  if (durable_ < ticket) failStore();
}

void StorageWriter::flush() {
  Lock lock(mutex_);
  writeUntil(lock, queued_);
}

void StorageWriter::writeUntil(Lock& lock, Ticket ticket) {
  while (durable_ < ticket && !broken_) {
    if (writing_)
      written_.wait(lock);
    else
      writeNext(lock);
  }
}

// Writes the oldest queued batch, with all behind it under group commit.
void StorageWriter::writeNext(Lock& lock) {
  std::vector<StorageStep> steps = std::move(queue_.front());
  queue_.pop_front();
  Ticket last = durable_ + 1;
  while (groupCommit_ && !queue_.empty()) {
    for (StorageStep& s : queue_.front()) steps.push_back(std::move(s));
    queue_.pop_front();
    ++last;
  }
  writing_ = true;
  lock.unlock();
  std::optional<std::string> failure;
  try {
    storage_->apply(steps);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  steps.clear();
  lock.lock();
  writing_ = false;
  ++writes_;
  if (failure) {
    broken_ = failure;
    queue_.clear();
    if (log_) log_(u"the message store failed; nothing more is written: " + fromUtf8(*failure));
  } else {
    durable_ = last;
  }
  written_.notify_all();
}

void StorageWriter::background() {
  Lock lock(mutex_);
  for (;;) {
    unwaited_.wait(lock, [&] { return stopping_ || (lastUnwaited_ > durable_ && !broken_); });
    if (stopping_) break;
    // A caller's write may take it meanwhile, with its own.
    unwaited_.wait_for(lock, kUnwaited, [&] { return stopping_; });
    if (stopping_) break;
    writeUntil(lock, lastUnwaited_);
  }
  writeUntil(lock, queued_);
}

uint64_t StorageWriter::writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

void StorageWriter::checkHealthy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (broken_) failStore();
}

}  // namespace quorix::provider
