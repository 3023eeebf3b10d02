#ifndef JMS_TOPICCONNECTIONFACTORY_H
#define JMS_TOPICCONNECTIONFACTORY_H

#include <jms/ConnectionFactory.h>
#include <jms/Types.h>

namespace jms {

class TopicConnection;

/// Makes publish/subscribe connections to the provider.
class JMS_API TopicConnectionFactory : public virtual ConnectionFactory {
public:
    TopicConnectionFactory() = default;
    TopicConnectionFactory(const TopicConnectionFactory&) = default;
    TopicConnectionFactory& operator=(const TopicConnectionFactory&) = default;
    ~TopicConnectionFactory() override;

    /// Connects as `user`; both texts given or both empty. Caller owns.
    virtual TopicConnection* createTopicConnection(const WString& user,
                                                   const WString& password) = 0;
    /// Connects anonymously. Caller owns.
    virtual TopicConnection* createTopicConnection() = 0;
};

}  // namespace jms

#endif
