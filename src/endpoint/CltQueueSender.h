#ifndef QJMS_ENDPOINT_CLTQUEUESENDER_H
#define QJMS_ENDPOINT_CLTQUEUESENDER_H

#include <jms/Queue.h>
#include <jms/QueueSender.h>

#include "endpoint/CltMessageProducer.h"

namespace jms {

/// The queue face of a producer: sends forward to the common operations.
class CltQueueSender : public QueueSender, public CltMessageProducer {
public:
    CltQueueSender(std::shared_ptr<SessionCore> session, Queue* queue, const wire::UID& producerID);
    ~CltQueueSender() override;

    /// A new copy of the sender's queue; caller owns.
    Queue* getQueue() override;
    void send(Queue* queue, Message* message, int32_t deliveryMode, int32_t priority,
              int64_t timeToLive) override;
    void send(Queue* queue, Message* message) override;
    void send(Message* message, int32_t deliveryMode, int32_t priority,
              int64_t timeToLive) override;
    void send(Message* message) override;
};

}  // namespace jms

#endif
