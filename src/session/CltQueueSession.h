#ifndef QJMS_SESSION_CLTQUEUESESSION_H
#define QJMS_SESSION_CLTQUEUESESSION_H

#include <jms/QueueSession.h>

#include "session/CltSession.h"

namespace jms {

/// A point-to-point session: names queues, and makes senders, receivers and
/// browsers after the provider registered each.
class CltQueueSession : public QueueSession, public CltSession {
public:
    CltQueueSession(CltConnection* connection, wireServer::Provider_ptr provider, bool transacted,
                    int32_t ackMode, int32_t timeout, bool sessionFlag, int32_t defaultPriority);
    ~CltQueueSession() override;

    Queue* createQueue(const WString& queueName) override;
    QueueReceiver* createReceiver(Queue* queue, const WString& messageSelector) override;
    QueueReceiver* createReceiver(Queue* queue) override;
    QueueSender* createSender(Queue* queue) override;
    QueueBrowser* createBrowser(Queue* queue, const WString& messageSelector) override;
    QueueBrowser* createBrowser(Queue* queue) override;
    TemporaryQueue* createTemporaryQueue() override;

private:
    QueueReceiver* newReceiver(Queue* queue, const WString& messageSelector);
    QueueBrowser* newBrowser(Queue* queue, const WString& messageSelector);
};

}  // namespace jms

#endif
