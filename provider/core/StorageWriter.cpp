#include "core/StorageWriter.h"

#include "core/Error.h"
#include "core/Text.h"

namespace quorix::provider {

StorageWriter::StorageWriter(std::shared_ptr<Storage> storage, bool groupCommit,
                             std::function<void(const std::u16string&)> log)
    : storage_(std::move(storage)), groupCommit_(groupCommit), log_(std::move(log)),
      thread_([this] { run(); }) {}

StorageWriter::~StorageWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  thread_.join();
}

StorageWriter::Ticket StorageWriter::append(std::vector<StorageStep> steps) {
  if (steps.empty()) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (broken_) return ++queued_;  // its wait fails
  queue_.push_back(std::move(steps));
  work_.notify_one();
  return ++queued_;
}

void StorageWriter::failStore() const {
  fail(ErrorKind::Store, u"the message store failed (" + fromUtf8(*broken_) +
                             u"); persistent messaging resumes when quorix-provider is restarted");
}

void StorageWriter::wait(Ticket ticket) {
  if (ticket == 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  written_.wait(lock, [&] { return durable_ >= ticket || broken_; });
  if (durable_ < ticket) failStore();
}

void StorageWriter::flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  Ticket last = queued_;
  written_.wait(lock, [&] { return durable_ >= last || broken_; });
}

void StorageWriter::checkHealthy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (broken_) failStore();
}

uint64_t StorageWriter::writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

void StorageWriter::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty() || broken_) return;  // stopping with nothing (more) to write
    std::vector<StorageStep> steps = std::move(queue_.front());
    queue_.pop_front();
    Ticket last = durable_ + 1;
    while (groupCommit_ && !queue_.empty()) {
      for (StorageStep& s : queue_.front()) steps.push_back(std::move(s));
      queue_.pop_front();
      ++last;
    }
    lock.unlock();
    std::optional<std::string> failure;
    try {
      storage_->apply(steps);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    steps.clear();
    lock.lock();
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
}

}  // namespace quorix::provider
