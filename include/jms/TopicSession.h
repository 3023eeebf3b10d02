#ifndef JMS_TOPICSESSION_H
#define JMS_TOPICSESSION_H

#include <jms/Session.h>

namespace jms {

class TemporaryTopic;
class Topic;
class TopicPublisher;
class TopicSubscriber;

/// A session for publish/subscribe messaging. Every object it creates is
/// new and owned by the caller; topics passed in stay the caller's.
class JMS_API TopicSession : public virtual Session {
public:
    TopicSession() = default;
    TopicSession(const TopicSession&) = default;
    TopicSession& operator=(const TopicSession&) = default;
    ~TopicSession() override;

    /// Names a topic; no provider call. Caller owns.
    virtual Topic* createTopic(const WString& topicName) = 0;
    /// A subscriber with a selector; `noLocal` drops messages of this connection. Caller owns.
    virtual TopicSubscriber* createSubscriber(Topic* topic, const WString& messageSelector,
                                              bool noLocal) = 0;
    virtual TopicSubscriber* createSubscriber(Topic* topic) = 0;
    /// A subscriber of the durable subscription `name`; caller owns.
    virtual TopicSubscriber* createDurableSubscriber(Topic* topic, const WString& name,
                                                     const WString& messageSelector,
                                                     bool noLocal) = 0;
    virtual TopicSubscriber* createDurableSubscriber(Topic* topic, const WString& name) = 0;
    /// A publisher bound to `topic`; caller owns.
    virtual TopicPublisher* createPublisher(Topic* topic) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual TemporaryTopic* createTemporaryTopic() = 0;
    /// Removes the durable subscription `name` at the provider.
    virtual void unsubscribe(const WString& name) = 0;
};

}  // namespace jms

#endif
