#pragma once
// The core's callbacks over the client's listener objects.
#include <cstdint>

#include "core/Callbacks.h"
#include "server/Wire.h"

namespace quorix::provider {

// A connection's ConnectionListener: pings and server events.
class ListenerCallbacks : public ConnectionCallbacks {
 public:
  // timeoutMs: limit for each call, 0 for none.
  ListenerCallbacks(wireClient::ConnectionListener_ptr listener, uint32_t timeoutMs);
  PingResult ping(const ConnectionKey& connection) override;
  bool serverEvent(int32_t code, const std::u16string& text, const EventTarget& target) override;

 private:
  wireClient::ConnectionListener_var listener_;
};

// A session's MessageListener: pushes, one at a time (the core sees to that).
class ListenerSink : public MessageSink {
 public:
  ListenerSink(wireClient::MessageListener_ptr listener, uint32_t timeoutMs);
  PushOutcome push(const Delivery& delivery) override;

 private:
  wireClient::MessageListener_var listener_;
};

// True for the system exceptions that mean the peer is gone for good.
bool meansPeerGone(const CORBA::SystemException& e);

}  // namespace quorix::provider
