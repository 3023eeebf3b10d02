#ifndef JMS_QUEUESENDER_H
#define JMS_QUEUESENDER_H

#include <jms/MessageProducer.h>

namespace jms {

class Message;
class Queue;

/// Sends messages to a queue. After a send the message carries the
/// identifier and time stamp the provider assigned.
class JMS_API QueueSender : public virtual MessageProducer {
public:
    QueueSender() = default;
    QueueSender(const QueueSender&) = default;
    QueueSender& operator=(const QueueSender&) = default;
    ~QueueSender() override;

    /// A new copy of the sender's queue, or null; caller owns.
    virtual Queue* getQueue() = 0;
    /// Sends to `queue` with the given mode, priority and time to live (ms).
    virtual void send(Queue* queue, Message* message, int32_t deliveryMode, int32_t priority,
                      int64_t timeToLive) = 0;
    /// Sends to `queue` with the sender's defaults.
    virtual void send(Queue* queue, Message* message) = 0;
    /// Sends to the sender's queue with the given mode, priority and time to live (ms).
    virtual void send(Message* message, int32_t deliveryMode, int32_t priority,
                      int64_t timeToLive) = 0;
    /// Sends to the sender's queue with the sender's defaults.
    virtual void send(Message* message) = 0;
};

}  // namespace jms

#endif
