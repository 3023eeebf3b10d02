#include "MessageRecord.h"

#include <memory>

#include "Text.h"

namespace qjms::cli {

std::string destinationName(jms::Destination* destination) {
    if (auto* queue = dynamic_cast<jms::Queue*>(destination)) {
        return "queue:" + toUtf8(queue->getQueueName());
    }
    if (auto* topic = dynamic_cast<jms::Topic*>(destination)) {
        return "topic:" + toUtf8(topic->getTopicName());
    }
    return {};
}

MessageRecord record(jms::Message& m) {
    MessageRecord r;
    r.destination = destinationName(std::unique_ptr<jms::Destination>(m.getJMSDestination()).get());
    r.messageId = toUtf8(m.getJMSMessageID());
    r.timestamp = m.getJMSTimestamp();
    r.correlationId = toUtf8(m.getJMSCorrelationID());
    r.replyTo = destinationName(std::unique_ptr<jms::Destination>(m.getJMSReplyTo()).get());
    r.deliveryMode = m.getJMSDeliveryMode();
    r.priority = m.getJMSPriority();
    r.expiration = m.getJMSExpiration();
    r.redelivered = m.getJMSRedelivered();
    r.type = toUtf8(m.getJMSType());
    r.properties = readProperties(m);
    if (auto* text = dynamic_cast<jms::TextMessage*>(&m)) {
        r.bodyKind = MessageRecord::Body::Text;
        r.body = toUtf8(text->getText());
    } else if (auto* bytes = dynamic_cast<jms::BytesMessage*>(&m)) {
        r.bodyKind = MessageRecord::Body::Bytes;
        jms::ByteArray body;
        bytes->reset();
        try {
            bytes->readBytes(body);
        } catch (const jms::MessageEOFException&) {  // an empty body
        }
        r.body.assign(body.begin(), body.end());
    }
    return r;
}

}  // namespace qjms::cli
