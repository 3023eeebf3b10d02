#include <jms/TopicRequestor.h>

#include <jms/JMSException.h>
#include <jms/Message.h>
#include <jms/TopicSession.h>

#include "api/EveryStep.h"

namespace jms {

TopicRequestor::TopicRequestor(TopicSession* session, Topic* topic)
    : session_(session), topic_(topic) {
    if (!session_) throw JMSException(u"badArg: null session");
    temporaryTopic_.reset(session_->createTemporaryTopic());
    if (!temporaryTopic_) throw JMSException(u"internal: null temporary topic");
    try {
        publisher_.reset(session_->createPublisher(topic_));
        if (!publisher_) throw JMSException(u"internal: null publisher");
        subscriber_.reset(session_->createSubscriber(temporaryTopic_.get()));
        if (!subscriber_) throw JMSException(u"internal: null subscriber");
    } catch (...) {
        // The members delete the objects; the provider must hear of them too.
        EveryStep undo;
        if (publisher_) undo.run([this] { publisher_->close(); });
        undo.run([this] { temporaryTopic_->destroy(); });
        throw;
    }
}

TopicRequestor::~TopicRequestor() = default;

Message* TopicRequestor::request(Message* message) {
    if (!message) throw JMSException(u"badArg: null message");
    message->setJMSReplyTo(temporaryTopic_.get());
    publisher_->publish(message);
    return subscriber_->receive();
}

void TopicRequestor::close() {
    EveryStep steps;
    steps.run([this] { temporaryTopic_->destroy(); });
    steps.run([this] { publisher_->close(); });
    steps.run([this] { subscriber_->close(); });
    steps.run([this] { session_->close(); });
    steps.rethrowFirst();
}

}  // namespace jms
