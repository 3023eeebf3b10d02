#include "session/CltTopicSession.h"

#include <jms/JMSException.h>

#include "destination/QuorixTopic.h"
#include "endpoint/CltTopicPublisher.h"
#include "endpoint/CltTopicSubscriber.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"
#include "session/CreationTables.h"

namespace jms {

CltTopicSession::CltTopicSession(CltConnection* connection, wireServer::Provider_ptr provider,
                                 bool transacted, int32_t ackMode, int32_t timeout,
                                 bool sessionFlag, int32_t defaultPriority)
    : CltSession(connection, provider, transacted, ackMode, timeout, sessionFlag,
                 defaultPriority) {}

CltTopicSession::~CltTopicSession() = default;

Topic* CltTopicSession::createTopic(const WString& topicName) {
    if (topicName.empty()) throw JMSException(u"badArg null topic name");
    return new QuorixTopic(topicName, false);
}

TopicSubscriber* CltTopicSession::createSubscriber(Topic* topic, const WString& messageSelector,
                                                   bool noLocal) {
    if (!topic) throw JMSException(u"badArg: null topic");
    if (messageSelector.empty()) throw JMSException(u"badArg: null message selector");
    if (noLocal) throw JMSException(u"badArg: noLocal = true is not supported");
    return newSubscriber(topic, nullptr, messageSelector);
}

TopicSubscriber* CltTopicSession::createSubscriber(Topic* topic) {
    if (!topic) throw JMSException(u"badArg null topic");
    return newSubscriber(topic, nullptr, {});
}

TopicSubscriber* CltTopicSession::createDurableSubscriber(Topic* topic, const WString& name,
                                                          const WString& messageSelector,
                                                          bool noLocal) {
    if (!topic) throw JMSException(u"badArg: null topic");
    if (name.empty()) throw JMSException(u"badArg: null name");
    if (messageSelector.empty()) throw JMSException(u"badArg: null message selector");
    if (noLocal) throw JMSException(u"badArg: noLocal == true not supported");
    return newSubscriber(topic, &name, messageSelector);
}

TopicSubscriber* CltTopicSession::createDurableSubscriber(Topic* topic, const WString& name) {
    if (!topic) throw JMSException(u"badArg: null topic");
    // Refused before the provider registers a subscription the client could not build.
    if (name.empty()) throw JMSException(u"badArg: null name");
    return newSubscriber(topic, &name, {});
}

TopicSubscriber* CltTopicSession::newSubscriber(Topic* topic, const WString* name,
                                                const WString& messageSelector) {
    SessionCore& session = core();
    UseGuard use(session, true);
    auto* own = dynamic_cast<QuorixTopic*>(topic);
    if (!own) throw JMSException(u"badDestType");
    const wire::StringU selector = makeStringU(messageSelector);
    wire::UID_var id;
    if (name) {
        const CORBA::WString_var wireName = toCorbaWString(*name);
        id = creation::durableSubscriber().call(session, [&] {
            return session.provider()->createDurableSubscriber(own->getIDLDestination(),
                                                               wireName.in(), session.sessionID(),
                                                               selector);
        });
    } else {
        id = creation::topicSubscriber().call(session, [&] {
            return session.provider()->createSubscriber(own->getIDLDestination(),
                                                        session.sessionID(), selector);
        });
    }
    auto subscriber =
        std::make_unique<CltTopicSubscriber>(sharedCore(), topic, id.in(), messageSelector, name);
    use.finishCreation<CltMessageConsumer>(subscriber.get());
    return subscriber.release();
}

TopicPublisher* CltTopicSession::createPublisher(Topic* topic) {
    SessionCore& session = core();
    UseGuard use(session, true);
    auto* own = dynamic_cast<QuorixTopic*>(topic);
    if (topic && !own) throw JMSException(u"badDestType");
    // Refused before the provider registers a producer the client could not build.
    if (!own) throw JMSException(u"internal null destination");
    wire::UID_var id = creation::topicPublisher().call(session, [&] {
        return session.provider()->createPublisher(makeDestinationU(own->getIDLDestination()),
                                                   session.sessionID());
    });
    auto publisher = std::make_unique<CltTopicPublisher>(sharedCore(), topic, id.in());
    use.finishCreation<CltMessageProducer>(publisher.get());
    return publisher.release();
}

TemporaryTopic* CltTopicSession::createTemporaryTopic() {
    throw NotImplementedException(u"createTemporaryTopic");
}

void CltTopicSession::unsubscribe(const WString& name) {
    SessionCore& session = core();
    const CORBA::WString_var wireName = toCorbaWString(name);
    session.beginUnsubscribe(name);
    struct EndUse {
        SessionCore& session;
        ~EndUse() { session.endUse(); }
    } endUse{session};
    creation::unsubscribe().call(
        session, [&] { session.provider()->unsubscribe(wireName.in(), session.sessionID()); });
}

}  // namespace jms
