#include "core/Pinger.h"

namespace quorix::provider {

Pinger::Pinger(Broker& broker, std::chrono::milliseconds interval)
    : broker_(broker), periodic_(interval, [this] { pingAll(); }) {}

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
