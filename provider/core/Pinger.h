#pragma once
// Liveness checks: every interval, pings each connection's listener and
// drops the connections that answer FALSE or cannot be reached, so a crashed
// client never strands messages.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/Broker.h"

namespace quorix::provider {

class Pinger {
 public:
  // interval zero: no periodic pings (pingNow still works).
  Pinger(Broker& broker, std::chrono::milliseconds interval);
  ~Pinger();
  Pinger(const Pinger&) = delete;
  Pinger& operator=(const Pinger&) = delete;

  void stop();
  // Pings one connection now, with the same consequence as a periodic ping.
  PingResult pingNow(int32_t cid);
  void pingAll();

 private:
  void run();

  Broker& broker_;
  std::chrono::milliseconds interval_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace quorix::provider
