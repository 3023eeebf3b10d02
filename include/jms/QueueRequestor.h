#ifndef JMS_QUEUEREQUESTOR_H
#define JMS_QUEUEREQUESTOR_H

#include <memory>

#include <jms/QueueReceiver.h>
#include <jms/QueueSender.h>
#include <jms/TemporaryQueue.h>

namespace jms {

class Message;
class QueueSession;

/// Request/reply over a queue session that supports temporary queues: each
/// request carries a private reply queue and waits for one reply on it.
/// The session and target queue stay the caller's; the reply queue, sender
/// and receiver belong to the requestor and are deleted with it.
class JMS_API QueueRequestor {
public:
    /// Creates the reply queue, a sender to `queue` and a receiver on the
    /// reply queue. On failure whatever was made is closed and deleted and
    /// the session's exception passes on.
    QueueRequestor(QueueSession* session, Queue* queue);
    QueueRequestor(const QueueRequestor&) = delete;
    QueueRequestor& operator=(const QueueRequestor&) = delete;
    virtual ~QueueRequestor();

    /// Sends `message` with the reply address set and waits without limit for
    /// the reply; caller owns it.
    virtual Message* request(Message* message);
    /// Deletes the reply queue at the provider, then closes the sender, the
    /// receiver and the session. Every step is tried; the first failure is
    /// rethrown afterwards.
    virtual void close();

private:
    QueueSession* session_;
    Queue* queue_;
    std::unique_ptr<TemporaryQueue> temporaryQueue_;
    std::unique_ptr<QueueSender> sender_;
    std::unique_ptr<QueueReceiver> receiver_;
};

}  // namespace jms

#endif
