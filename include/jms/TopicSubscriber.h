#ifndef JMS_TOPICSUBSCRIBER_H
#define JMS_TOPICSUBSCRIBER_H

#include <jms/MessageConsumer.h>

namespace jms {

class Topic;

/// Receives messages published to a topic, durably or not.
class JMS_API TopicSubscriber : public virtual MessageConsumer {
public:
    TopicSubscriber() = default;
    TopicSubscriber(const TopicSubscriber&) = default;
    TopicSubscriber& operator=(const TopicSubscriber&) = default;
    ~TopicSubscriber() override;

    /// A new copy of the subscriber's topic, or null; caller owns.
    virtual Topic* getTopic() = 0;
    /// Whether the subscriber ignores messages of its own connection.
    virtual bool getNoLocal() = 0;
};

}  // namespace jms

#endif
