#ifndef JMS_MESSAGECONSUMER_H
#define JMS_MESSAGECONSUMER_H

#include <jms/Types.h>

namespace jms {

class Message;
class MessageListener;

/// Receives messages synchronously, or through a listener the provider feeds.
class JMS_API MessageConsumer {
public:
    MessageConsumer() = default;
    MessageConsumer(const MessageConsumer&) = default;
    MessageConsumer& operator=(const MessageConsumer&) = default;
    virtual ~MessageConsumer();

    /// Empty when the consumer has no selector.
    virtual WString getMessageSelector() = 0;
    /// The listener set, or null; not owned.
    virtual MessageListener* getMessageListener() = 0;
    /// Asks the provider to push messages to `listener` (see MessageListener),
    /// which the caller keeps and must keep alive while the consumer is open.
    /// The listener is kept only when the provider agreed, so a failed call
    /// may simply be made again. Null is refused; a listener once set is
    /// replaced only locally, never removed.
    virtual void setMessageListener(MessageListener* listener) = 0;
    /// Waits up to `timeout` milliseconds; null when none came. Caller owns.
    virtual Message* receive(int64_t timeout) = 0;
    /// Waits until a message arrives; never null. Caller owns.
    virtual Message* receive() = 0;
    /// The next message if one is ready, else null. Caller owns.
    virtual Message* receiveNoWait() = 0;
    /// Closes the consumer at the provider; the object stays for the caller to delete.
    virtual void close() = 0;
};

}  // namespace jms

#endif
