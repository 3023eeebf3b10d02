#ifndef JMS_TOPICPUBLISHER_H
#define JMS_TOPICPUBLISHER_H

#include <jms/MessageProducer.h>

namespace jms {

class Message;
class Topic;

/// Publishes messages to a topic. After a publish the message carries the
/// identifier and time stamp the provider assigned.
class JMS_API TopicPublisher : public virtual MessageProducer {
public:
    TopicPublisher() = default;
    TopicPublisher(const TopicPublisher&) = default;
    TopicPublisher& operator=(const TopicPublisher&) = default;
    ~TopicPublisher() override;

    /// A new copy of the publisher's topic, or null; caller owns.
    virtual Topic* getTopic() = 0;
    /// Publishes to `topic` with the given mode, priority and time to live (ms).
    virtual void publish(Topic* topic, Message* message, int32_t deliveryMode, int32_t priority,
                         int64_t timeToLive) = 0;
    /// Publishes to `topic` with the publisher's defaults.
    virtual void publish(Topic* topic, Message* message) = 0;
    /// Publishes to the publisher's topic with the given mode, priority and time to live (ms).
    virtual void publish(Message* message, int32_t deliveryMode, int32_t priority,
                         int64_t timeToLive) = 0;
    /// Publishes to the publisher's topic with the publisher's defaults.
    virtual void publish(Message* message) = 0;
};

}  // namespace jms

#endif
