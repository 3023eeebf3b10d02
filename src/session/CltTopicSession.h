#ifndef QJMS_SESSION_CLTTOPICSESSION_H
#define QJMS_SESSION_CLTTOPICSESSION_H

#include <jms/TopicSession.h>

#include "session/CltSession.h"

namespace jms {

/// A publish/subscribe session: names topics, makes publishers, subscribers
/// and durable subscribers after the provider registered each, and removes
/// durable subscriptions.
class CltTopicSession : public TopicSession, public CltSession {
public:
    CltTopicSession(CltConnection* connection, wireServer::Provider_ptr provider, bool transacted,
                    int32_t ackMode, int32_t timeout, bool sessionFlag, int32_t defaultPriority);
    ~CltTopicSession() override;

    Topic* createTopic(const WString& topicName) override;
    TopicSubscriber* createSubscriber(Topic* topic, const WString& messageSelector,
                                      bool noLocal) override;
    TopicSubscriber* createSubscriber(Topic* topic) override;
    TopicSubscriber* createDurableSubscriber(Topic* topic, const WString& name,
                                             const WString& messageSelector, bool noLocal) override;
    TopicSubscriber* createDurableSubscriber(Topic* topic, const WString& name) override;
    TopicPublisher* createPublisher(Topic* topic) override;
    TemporaryTopic* createTemporaryTopic() override;
    void unsubscribe(const WString& name) override;

private:
    /// `name` null: a plain subscriber; otherwise the durable subscription's name.
    TopicSubscriber* newSubscriber(Topic* topic, const WString* name,
                                   const WString& messageSelector);
};

}  // namespace jms

#endif
