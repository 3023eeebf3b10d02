#include "Peer.h"

namespace qjms::soak {

Peer::Peer(const jms::WString& iorFile, const jms::WString& queue, Role role)
    : entry_(iorFile, u"vol", true, u"", 4, 0) {
    std::unique_ptr<jms::QueueConnectionFactory> factory(entry_.createQueueConnectionFactory());
    connection_.reset(factory->createQueueConnection());
    session_.reset(connection_->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    queue_.reset(session_->createQueue(queue));
    if (role == Producer) {
        sender_.reset(session_->createSender(queue_.get()));
    } else {
        receiver_.reset(session_->createReceiver(queue_.get()));
        connection_->start();
    }
}

Peer::~Peer() {
    try {
        connection_->close();
    } catch (const jms::JMSException&) {  // the run's outcome is already known
    }
}

}  // namespace qjms::soak
