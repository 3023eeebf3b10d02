#ifndef JMS_QUEUERECEIVER_H
#define JMS_QUEUERECEIVER_H

#include <jms/MessageConsumer.h>

namespace jms {

class Queue;

/// Receives messages from a queue.
class JMS_API QueueReceiver : public virtual MessageConsumer {
public:
    QueueReceiver() = default;
    QueueReceiver(const QueueReceiver&) = default;
    QueueReceiver& operator=(const QueueReceiver&) = default;
    ~QueueReceiver() override;

    /// A new copy of the receiver's queue, or null; caller owns.
    virtual Queue* getQueue() = 0;
};

}  // namespace jms

#endif
