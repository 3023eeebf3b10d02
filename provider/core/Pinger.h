#pragma once
// Liveness checks: every interval, pings each connection's listener and
// drops the connections that answer FALSE or cannot be reached, so a crashed
// client never strands messages.
#include <chrono>

#include "core/Broker.h"
#include "core/Periodic.h"

namespace quorix::provider {

class Pinger {
 public:
  // interval zero: no periodic pings (pingNow still works).
  Pinger(Broker& broker, std::chrono::milliseconds interval);

  void stop() { periodic_.stop(); }
  // Pings one connection now, with the same consequence as a periodic ping.
  PingResult pingNow(int32_t cid);
  void pingAll();

 private:
  Broker& broker_;
  Periodic periodic_;
};

}  // namespace quorix::provider
