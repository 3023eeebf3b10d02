#ifndef JMS_TOPICCONNECTION_H
#define JMS_TOPICCONNECTION_H

#include <jms/Connection.h>

namespace jms {

class ConnectionConsumer;
class ServerSessionPool;
class Topic;
class TopicSession;

/// A connection that makes publish/subscribe sessions.
class JMS_API TopicConnection : public virtual Connection {
public:
    TopicConnection() = default;
    TopicConnection(const TopicConnection&) = default;
    TopicConnection& operator=(const TopicConnection&) = default;
    ~TopicConnection() override;

    /// `acknowledgeMode` is a Session::..._ACKNOWLEDGE value. Caller owns.
    virtual TopicSession* createTopicSession(bool transacted, int32_t acknowledgeMode) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual ConnectionConsumer* createConnectionConsumer(Topic* topic,
                                                         const WString& messageSelector,
                                                         ServerSessionPool* sessionPool,
                                                         int32_t maxMessages) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual ConnectionConsumer* createDurableConnectionConsumer(
        Topic* topic, const WString& subscriptionName, const WString& messageSelector,
        ServerSessionPool* sessionPool, int32_t maxMessages) = 0;
};

}  // namespace jms

#endif
