#ifndef JMS_QUEUE_H
#define JMS_QUEUE_H

#include <jms/Destination.h>
#include <jms/Types.h>

namespace jms {

/// A point-to-point destination.
class JMS_API Queue : public virtual Destination {
public:
    Queue() = default;
    Queue(const Queue&) = default;
    Queue& operator=(const Queue&) = default;
    ~Queue() override;

    virtual WString getQueueName() = 0;
    /// The queue name.
    virtual WString toString() = 0;
};

}  // namespace jms

#endif
