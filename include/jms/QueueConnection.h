#ifndef JMS_QUEUECONNECTION_H
#define JMS_QUEUECONNECTION_H

#include <jms/Connection.h>

namespace jms {

class ConnectionConsumer;
class Queue;
class QueueSession;
class ServerSessionPool;

/// A connection that makes point-to-point sessions.
class JMS_API QueueConnection : public virtual Connection {
public:
    QueueConnection() = default;
    QueueConnection(const QueueConnection&) = default;
    QueueConnection& operator=(const QueueConnection&) = default;
    ~QueueConnection() override;

    /// `acknowledgeMode` is a Session::..._ACKNOWLEDGE value. Caller owns.
    virtual QueueSession* createQueueSession(bool transacted, int32_t acknowledgeMode) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual ConnectionConsumer* createConnectionConsumer(Queue* queue,
                                                         const WString& messageSelector,
                                                         ServerSessionPool* sessionPool,
                                                         int32_t maxMessages) = 0;
};

}  // namespace jms

#endif
