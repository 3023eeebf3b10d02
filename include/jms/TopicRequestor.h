#ifndef JMS_TOPICREQUESTOR_H
#define JMS_TOPICREQUESTOR_H

#include <memory>

#include <jms/TemporaryTopic.h>
#include <jms/TopicPublisher.h>
#include <jms/TopicSubscriber.h>

namespace jms {

class Message;
class TopicSession;

/// Request/reply over a topic session that supports temporary topics: each
/// request carries a private reply topic and waits for one reply on it.
/// The session and target topic stay the caller's; the reply topic,
/// publisher and subscriber belong to the requestor and are deleted with it.
class JMS_API TopicRequestor {
public:
    /// Creates the reply topic, a publisher to `topic` and a subscriber on
    /// the reply topic. On failure whatever was made is closed and deleted
    /// and the session's exception passes on.
    TopicRequestor(TopicSession* session, Topic* topic);
    TopicRequestor(const TopicRequestor&) = delete;
    TopicRequestor& operator=(const TopicRequestor&) = delete;
    virtual ~TopicRequestor();

    /// Publishes `message` with the reply address set and waits without limit
    /// for the reply; caller owns it.
    virtual Message* request(Message* message);
    /// Deletes the reply topic at the provider, then closes the publisher,
    /// the subscriber and the session. Every step is tried; the first
    /// failure is rethrown afterwards.
    virtual void close();

private:
    TopicSession* session_;
    Topic* topic_;
    std::unique_ptr<TemporaryTopic> temporaryTopic_;
    std::unique_ptr<TopicPublisher> publisher_;
    std::unique_ptr<TopicSubscriber> subscriber_;
};

}  // namespace jms

#endif
