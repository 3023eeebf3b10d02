#ifndef JMS_QUEUECONNECTIONFACTORY_H
#define JMS_QUEUECONNECTIONFACTORY_H

#include <jms/ConnectionFactory.h>
#include <jms/Types.h>

namespace jms {

class QueueConnection;

/// Makes point-to-point connections to the provider.
class JMS_API QueueConnectionFactory : public virtual ConnectionFactory {
public:
    QueueConnectionFactory() = default;
    QueueConnectionFactory(const QueueConnectionFactory&) = default;
    QueueConnectionFactory& operator=(const QueueConnectionFactory&) = default;
    ~QueueConnectionFactory() override;

    /// Connects as `user`; both texts given or both empty. Caller owns.
    virtual QueueConnection* createQueueConnection(const WString& user,
                                                   const WString& password) = 0;
    /// Connects anonymously. Caller owns.
    virtual QueueConnection* createQueueConnection() = 0;
};

}  // namespace jms

#endif
