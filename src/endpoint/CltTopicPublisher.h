#ifndef QJMS_ENDPOINT_CLTTOPICPUBLISHER_H
#define QJMS_ENDPOINT_CLTTOPICPUBLISHER_H

#include <jms/Topic.h>
#include <jms/TopicPublisher.h>

#include "endpoint/CltMessageProducer.h"

namespace jms {

/// The topic face of a producer: publishes forward to the common sends.
class CltTopicPublisher : public TopicPublisher, public CltMessageProducer {
public:
    CltTopicPublisher(std::shared_ptr<SessionCore> session, Topic* topic,
                      const wire::UID& producerID);
    ~CltTopicPublisher() override;

    /// A new copy of the publisher's topic; caller owns.
    Topic* getTopic() override;
    void publish(Topic* topic, Message* message, int32_t deliveryMode, int32_t priority,
                 int64_t timeToLive) override;
    void publish(Topic* topic, Message* message) override;
    void publish(Message* message, int32_t deliveryMode, int32_t priority,
                 int64_t timeToLive) override;
    void publish(Message* message) override;
};

}  // namespace jms

#endif
