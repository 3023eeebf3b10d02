#include "session/CltQueueSession.h"

#include <jms/JMSException.h>

#include "destination/QuorixQueue.h"
#include "endpoint/CltQueueBrowser.h"
#include "endpoint/CltQueueReceiver.h"
#include "endpoint/CltQueueSender.h"
#include "idl/WireValues.h"
#include "session/CreationTables.h"

namespace jms {

CltQueueSession::CltQueueSession(CltConnection* connection, wireServer::Provider_ptr provider,
                                 bool transacted, int32_t ackMode, int32_t timeout,
                                 bool sessionFlag, int32_t defaultPriority)
    : CltSession(connection, provider, transacted, ackMode, timeout, sessionFlag,
                 defaultPriority) {}

CltQueueSession::~CltQueueSession() = default;

Queue* CltQueueSession::createQueue(const WString& queueName) {
    if (queueName.empty()) throw JMSException(u"badArg: null queue name");
    return new QuorixQueue(queueName, false);
}

QueueReceiver* CltQueueSession::createReceiver(Queue* queue, const WString& messageSelector) {
    if (messageSelector.empty()) throw JMSException(u"badArg: null message selector");
    return newReceiver(queue, messageSelector);
}

QueueReceiver* CltQueueSession::createReceiver(Queue* queue) { return newReceiver(queue, {}); }

QueueBrowser* CltQueueSession::createBrowser(Queue* queue, const WString& messageSelector) {
    if (messageSelector.empty()) throw JMSException(u"badArg:  null message selector");
    return newBrowser(queue, messageSelector);
}

QueueBrowser* CltQueueSession::createBrowser(Queue* queue) { return newBrowser(queue, {}); }

QueueReceiver* CltQueueSession::newReceiver(Queue* queue, const WString& messageSelector) {
    if (!queue) throw JMSException(u"badArg null queue");
    auto* own = dynamic_cast<QuorixQueue*>(queue);
    if (!own) throw JMSException(u"badDestType");
    SessionCore& session = core();
    UseGuard use(session, true);
    wire::UID_var id = creation::queueConsumer().call(session, [&] {
        return session.provider()->createReceiver(own->getIDLDestination(), session.sessionID(),
                                                  makeStringU(messageSelector));
    });
    auto receiver = std::make_unique<CltQueueReceiver>(sharedCore(), queue, id.in(), messageSelector);
    use.finishCreation<CltMessageConsumer>(receiver.get());
    return receiver.release();
}

QueueBrowser* CltQueueSession::newBrowser(Queue* queue, const WString& messageSelector) {
    if (!queue) throw JMSException(u"badArg: null queue");
    auto* own = dynamic_cast<QuorixQueue*>(queue);
    if (!own) throw JMSException(u"badDestType");
    SessionCore& session = core();
    UseGuard use(session, true);
    wire::UID_var id = creation::queueConsumer().call(session, [&] {
        return session.provider()->createBrowser(own->getIDLDestination(), session.sessionID(),
                                                 makeStringU(messageSelector));
    });
    auto consumer = std::make_unique<CltMessageConsumer>(sharedCore(), queue, id.in(), messageSelector);
    consumer->setBrowsing();
    CltMessageConsumer* registered = consumer.get();
    auto browser = std::make_unique<CltQueueBrowser>(std::move(consumer), queue);
    use.finishCreation(registered);
    return browser.release();
}

QueueSender* CltQueueSession::createSender(Queue* queue) {
    SessionCore& session = core();
    UseGuard use(session, true);
    auto* own = dynamic_cast<QuorixQueue*>(queue);
    if (queue && !own) throw JMSException(u"badDestType");
    // Refused before the provider registers a producer the client could not build.
    if (!own) throw JMSException(u"internal null destination");
    wire::UID_var id = creation::queueSender().call(session, [&] {
        return session.provider()->createSender(makeDestinationU(own->getIDLDestination()),
                                                session.sessionID());
    });
    auto sender = std::make_unique<CltQueueSender>(sharedCore(), queue, id.in());
    use.finishCreation<CltMessageProducer>(sender.get());
    return sender.release();
}

TemporaryQueue* CltQueueSession::createTemporaryQueue() {
    throw JMSException(u"notImp: createTemporaryQueue");
}

}  // namespace jms
