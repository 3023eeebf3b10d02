#include "core/Pinger.h"

namespace quorix::provider {

Pinger::Pinger(Broker& broker, std::chrono::milliseconds interval)
    : broker_(broker), interval_(interval) {
  if (interval_.count() > 0) thread_ = std::thread([this] { run(); });
}

Pinger::~Pinger() { stop(); }

void Pinger::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Pinger::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (cv_.wait_for(lock, interval_, [this] { return stopping_; })) break;
    lock.unlock();
    pingAll();
    lock.lock();
  }
}

void Pinger::pingAll() {
  for (const ConnectionInfo& info : broker_.connections()) {
    if (!info.callbacks) continue;
    if (info.callbacks->ping(info.key) != PingResult::Alive) broker_.dropConnection(info.key.cid);
  }
}

PingResult Pinger::pingNow(int32_t cid) {
  for (const ConnectionInfo& info : broker_.connections()) {
    if (info.key.cid != cid) continue;
    if (!info.callbacks) return PingResult::Unreachable;
    PingResult r = info.callbacks->ping(info.key);
    if (r != PingResult::Alive) broker_.dropConnection(cid);
    return r;
  }
  fail(ErrorKind::ConnectionID, u"unknown connection");
}

}  // namespace quorix::provider
