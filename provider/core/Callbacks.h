#pragma once
// How the core reaches clients without knowing the transport.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/Identity.h"
#include "core/Message.h"

namespace quorix::provider {

struct Delivery {
  MessagePtr message;
  bool redelivered = false;
  EndpointKey consumer;
};

enum class PushOutcome {
  Delivered,     // the client took the message
  Failed,        // returned to its queue; retried after a pause
  TimedOut,      // the client may still be in onMessage: returned, and the
                 // session closed, since nothing may overlap that call
  ConsumerGone,  // returned; no more pushes for that consumer
  SessionGone,   // returned; the session is closed on the server
};

// One per session: pushes messages to that session's listeners.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual PushOutcome push(const Delivery& delivery) = 0;
};

enum class PingResult { Alive, Refused, Unreachable };

// Event codes the client acts on.
inline constexpr int32_t kEventSessionClosed = 104;

// What a server event is about: the connection, or one of its sessions or
// endpoints.
struct EventTarget {
  ConnectionKey connection;
  std::optional<SessionKey> session;
  std::optional<EndpointKey> endpoint;
};

// One per connection: liveness checks and server events.
class ConnectionCallbacks {
 public:
  virtual ~ConnectionCallbacks() = default;
  virtual PingResult ping(const ConnectionKey& connection) = 0;
  // False when the client could not be reached.
  virtual bool serverEvent(int32_t /*code*/, const std::u16string& /*text*/,
                           const EventTarget& /*target*/) {
    return false;
  }
};

}  // namespace quorix::provider
