#ifndef JMS_MESSAGELISTENER_H
#define JMS_MESSAGELISTENER_H

#include <jms/Export.h>

namespace jms {

class Message;

/// Implemented by the caller to receive messages pushed to a consumer.
/// The library keeps no ownership of the listener.
///
/// onMessage runs on a broker thread, never on a caller's thread, and one
/// call at a time per session. Inside it a listener may:
///  - use its session and that session's producers and consumers (send a
///    reply, commit a transacted session), and any other session;
///  - close or delete its consumer, its session or its connection: nothing
///    waits for the running call, and the message stays valid until return.
/// It must not:
///  - keep `message` (the library deletes it when onMessage returns; copy
///    what must outlive the call);
///  - block in a receive on its own session, or for long: the session's other
///    pushes wait meanwhile;
///  - stop its own connection: the provider waits for this very call to
///    return before stop() does.
/// Whatever it throws is dropped; the message counts as delivered.
///
/// Closing or deleting the consumer, its session or its connection on another
/// thread waits for a call under way to return, so the listener may be
/// deleted once that close or deletion has returned.
class JMS_API MessageListener {
public:
    MessageListener() = default;
    MessageListener(const MessageListener&) = default;
    MessageListener& operator=(const MessageListener&) = default;
    virtual ~MessageListener();

    /// Runs on a broker thread. The library deletes `message` when this
    /// returns; copy what must outlive the call.
    virtual void onMessage(Message* message) = 0;
};

}  // namespace jms

#endif
