#ifndef JMS_QUEUESESSION_H
#define JMS_QUEUESESSION_H

#include <jms/Session.h>

namespace jms {

class Queue;
class QueueBrowser;
class QueueReceiver;
class QueueSender;
class TemporaryQueue;

/// A session for point-to-point messaging. Every object it creates is new
/// and owned by the caller; queues passed in stay the caller's.
class JMS_API QueueSession : public virtual Session {
public:
    QueueSession() = default;
    QueueSession(const QueueSession&) = default;
    QueueSession& operator=(const QueueSession&) = default;
    ~QueueSession() override;

    /// Names a queue; no provider call. Caller owns.
    virtual Queue* createQueue(const WString& queueName) = 0;
    /// A receiver filtered by a non-empty selector; caller owns.
    virtual QueueReceiver* createReceiver(Queue* queue, const WString& messageSelector) = 0;
    virtual QueueReceiver* createReceiver(Queue* queue) = 0;
    /// A sender bound to `queue`; caller owns.
    virtual QueueSender* createSender(Queue* queue) = 0;
    /// A browser filtered by a non-empty selector; caller owns.
    virtual QueueBrowser* createBrowser(Queue* queue, const WString& messageSelector) = 0;
    virtual QueueBrowser* createBrowser(Queue* queue) = 0;
    /// Not offered by the library: throws JMSException.
    virtual TemporaryQueue* createTemporaryQueue() = 0;
};

}  // namespace jms

#endif
