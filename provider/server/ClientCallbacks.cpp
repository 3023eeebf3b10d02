#include "server/ClientCallbacks.h"

#include <cstring>

#include "server/WirePayload.h"

namespace quorix::provider {

namespace {
template <class Ref>
void limitCalls(Ref ref, uint32_t timeoutMs) {
  if (timeoutMs > 0 && !CORBA::is_nil(ref)) omniORB::setClientCallTimeout(ref, timeoutMs);
}
}  // namespace

bool meansPeerGone(const CORBA::SystemException& e) {
  return dynamic_cast<const CORBA::TRANSIENT*>(&e) ||
         dynamic_cast<const CORBA::COMM_FAILURE*>(&e) ||
         dynamic_cast<const CORBA::OBJECT_NOT_EXIST*>(&e);
}

ListenerCallbacks::ListenerCallbacks(wireClient::ConnectionListener_ptr listener,
                                     uint32_t timeoutMs)
    : listener_(wireClient::ConnectionListener::_duplicate(listener)) {
  limitCalls(listener_.in(), timeoutMs);
}

PingResult ListenerCallbacks::ping(const ConnectionKey& connection) {
  if (CORBA::is_nil(listener_)) return PingResult::Unreachable;
  try {
    wire::Sessions_var sessions;
    wire::Users_var users;
    return listener_->ping(idOf(connection), sessions.out(), users.out()) ? PingResult::Alive
                                                                           : PingResult::Refused;
  } catch (const CORBA::Exception&) {
    return PingResult::Unreachable;
  }
}

bool ListenerCallbacks::serverEvent(int32_t code, const std::u16string& text,
                                    const EventTarget& target) {
  if (CORBA::is_nil(listener_)) return false;
  wire::IDU concerned;
  if (target.endpoint)
    concerned.uid(idOf(*target.endpoint));
  else if (target.session)
    concerned.sid(idOf(*target.session));
  else
    concerned.cid(idOf(target.connection));
  try {
    CORBA::WString_var w = toWire(text);
    listener_->serverException(code, w.in(), 0, 0, concerned);
    return true;
  } catch (const CORBA::Exception&) {
    return false;
  }
}

ListenerSink::ListenerSink(wireClient::MessageListener_ptr listener, uint32_t timeoutMs)
    : listener_(wireClient::MessageListener::_duplicate(listener)) {
  limitCalls(listener_.in(), timeoutMs);
}

PushOutcome ListenerSink::push(const Delivery& delivery) {
  if (CORBA::is_nil(listener_)) return PushOutcome::SessionGone;
  try {
    wire::JMSMsg_var message = deliveredMessage(delivery);
    listener_->onMessage(message.in(), idOf(delivery.consumer));
    return PushOutcome::Delivered;
  } catch (const wire::SessionIDException&) {
    return PushOutcome::SessionGone;
  } catch (const wire::BadStateException& e) {
    // The client closed the session on its side when it met a concurrent call.
    CORBA::WString_var concurrent = toWire(u" Concurrent calls to onMessage ");
    bool closed = e.reason.in() && std::wcscmp(e.reason.in(), concurrent.in()) == 0;
    return closed ? PushOutcome::SessionGone : PushOutcome::Failed;
  } catch (const wire::ConsumerException&) {
    return PushOutcome::ConsumerGone;
  } catch (const CORBA::TIMEOUT&) {
    return PushOutcome::TimedOut;
  } catch (const CORBA::TRANSIENT& e) {  // how older settings report a time-out
    if (e.minor() == omni::TRANSIENT_CallTimedout) return PushOutcome::TimedOut;
    return PushOutcome::SessionGone;
  } catch (const CORBA::SystemException& e) {
    return meansPeerGone(e) ? PushOutcome::SessionGone : PushOutcome::Failed;
  } catch (const CORBA::Exception&) {
    return PushOutcome::Failed;
  }
}

}  // namespace quorix::provider
