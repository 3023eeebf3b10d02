// Out-of-line destructors anchor each interface's virtual table and type
// information in the library, so that callers and the library agree on one
// copy (dynamic_cast and catch across the library boundary rely on it).

#include <jms/jms.h>

namespace jms {

void Destination::now_polymorphic() {}
Destination::~Destination() = default;
Queue::~Queue() = default;
Topic::~Topic() = default;
TemporaryQueue::~TemporaryQueue() = default;
TemporaryTopic::~TemporaryTopic() = default;

Message::~Message() = default;
TextMessage::~TextMessage() = default;
BytesMessage::~BytesMessage() = default;
MapMessage::~MapMessage() = default;
StreamMessage::~StreamMessage() = default;
ObjectMessage::~ObjectMessage() = default;

MessageListener::~MessageListener() = default;
ExceptionListener::~ExceptionListener() = default;

MessageProducer::~MessageProducer() = default;
QueueSender::~QueueSender() = default;
TopicPublisher::~TopicPublisher() = default;
MessageConsumer::~MessageConsumer() = default;
QueueReceiver::~QueueReceiver() = default;
TopicSubscriber::~TopicSubscriber() = default;
Enumeration::~Enumeration() = default;
QueueBrowser::~QueueBrowser() = default;

Session::~Session() = default;
QueueSession::~QueueSession() = default;
TopicSession::~TopicSession() = default;

ConnectionMetaData::~ConnectionMetaData() = default;
Connection::~Connection() = default;
QueueConnection::~QueueConnection() = default;
TopicConnection::~TopicConnection() = default;
ConnectionFactory::~ConnectionFactory() = default;
QueueConnectionFactory::~QueueConnectionFactory() = default;
TopicConnectionFactory::~TopicConnectionFactory() = default;
ConnectionConsumer::~ConnectionConsumer() = default;
ServerSession::~ServerSession() = default;
ServerSessionPool::~ServerSessionPool() = default;

}  // namespace jms
