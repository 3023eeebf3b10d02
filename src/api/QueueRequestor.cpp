#include <jms/QueueRequestor.h>

#include <jms/JMSException.h>
#include <jms/Message.h>
#include <jms/QueueSession.h>

#include "api/EveryStep.h"

namespace jms {

QueueRequestor::QueueRequestor(QueueSession* session, Queue* queue)
    : session_(session), queue_(queue) {
    if (!session_) throw JMSException(u"badArg: null session");
    temporaryQueue_.reset(session_->createTemporaryQueue());
    if (!temporaryQueue_) throw JMSException(u"internal: null temporary queue");
    try {
        sender_.reset(session_->createSender(queue_));
        if (!sender_) throw JMSException(u"internal: null sender");
        receiver_.reset(session_->createReceiver(temporaryQueue_.get()));
        if (!receiver_) throw JMSException(u"internal: null receiver");
    } catch (...) {
        // The members delete the objects; the provider must hear of them too.
        EveryStep undo;
        if (sender_) undo.run([this] { sender_->close(); });
        undo.run([this] { temporaryQueue_->destroy(); });
        throw;
    }
}

QueueRequestor::~QueueRequestor() = default;

Message* QueueRequestor::request(Message* message) {
    if (!message) throw JMSException(u"badArg: null message");
    message->setJMSReplyTo(temporaryQueue_.get());
    sender_->send(message);
    return receiver_->receive();
}

void QueueRequestor::close() {
    EveryStep steps;
    steps.run([this] { temporaryQueue_->destroy(); });
    steps.run([this] { sender_->close(); });
    steps.run([this] { receiver_->close(); });
    steps.run([this] { session_->close(); });
    steps.rethrowFirst();
}

}  // namespace jms
