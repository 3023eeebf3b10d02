#include "endpoint/CltQueueSender.h"

#include "destination/QuorixQueue.h"
#include "endpoint/DestinationCopy.h"

namespace jms {

CltQueueSender::CltQueueSender(std::shared_ptr<SessionCore> session, Queue* queue,
                               const wire::UID& producerID)
    : CltMessageProducer(std::move(session), queue, producerID) {}

CltQueueSender::~CltQueueSender() = default;

Queue* CltQueueSender::getQueue() { return copyAs<QuorixQueue>(destination()); }

void CltQueueSender::send(Queue* queue, Message* message, int32_t deliveryMode, int32_t priority,
                          int64_t timeToLive) {
    CltMessageProducer::send(queue, message, deliveryMode, priority, timeToLive);
}

void CltQueueSender::send(Queue* queue, Message* message) {
    CltMessageProducer::send(queue, message);
}

void CltQueueSender::send(Message* message, int32_t deliveryMode, int32_t priority,
                          int64_t timeToLive) {
    CltMessageProducer::send(message, deliveryMode, priority, timeToLive);
}

void CltQueueSender::send(Message* message) { CltMessageProducer::send(message); }

}  // namespace jms
