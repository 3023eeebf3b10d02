#ifndef JMS_MESSAGELISTENER_H
#define JMS_MESSAGELISTENER_H

#include <jms/Export.h>

namespace jms {

class Message;

/// Implemented by the caller to receive messages pushed to a consumer.
/// The library keeps no ownership of the listener.
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
