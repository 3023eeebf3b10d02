#include "endpoint/CltTopicPublisher.h"

#include "destination/QuorixTopic.h"
#include "endpoint/DestinationCopy.h"

namespace jms {

CltTopicPublisher::CltTopicPublisher(std::shared_ptr<SessionCore> session, Topic* topic,
                                     const wire::UID& producerID)
    : CltMessageProducer(std::move(session), topic, producerID) {}

CltTopicPublisher::~CltTopicPublisher() = default;

Topic* CltTopicPublisher::getTopic() { return copyAs<QuorixTopic>(destination()); }

void CltTopicPublisher::publish(Topic* topic, Message* message, int32_t deliveryMode,
                                int32_t priority, int64_t timeToLive) {
    send(topic, message, deliveryMode, priority, timeToLive);
}

void CltTopicPublisher::publish(Topic* topic, Message* message) { send(topic, message); }

void CltTopicPublisher::publish(Message* message, int32_t deliveryMode, int32_t priority,
                                int64_t timeToLive) {
    send(message, deliveryMode, priority, timeToLive);
}

void CltTopicPublisher::publish(Message* message) { send(message); }

}  // namespace jms
