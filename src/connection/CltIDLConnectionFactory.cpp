#include "connection/CltIDLConnectionFactory.h"

#include <new>

#include <jms/JMSException.h>

#include "connection/CltConnection.h"
#include "connection/CltOrb.h"
#include "connection/ReferenceText.h"

namespace jms {

namespace jsv = zorvane::velt::quorix::corba::jmsServer;

CltIDLConnectionFactory::CltIDLConnectionFactory(const WString& referenceFile,
                                                 const WString& driverName, bool,
                                                 const WString& clientID,
                                                 int32_t defaultPriority, int32_t timeout)
    : driverName_(driverName),
      clientID_(clientID),
      defaultPriority_(defaultPriority),
      timeout_(timeout) {
    const std::string word = readReferenceFile(referenceFile);
    resolve([&] { return word; }, u"CltIDLConnectionFactory. Caught other exception");
}

CltIDLConnectionFactory::CltIDLConnectionFactory(const WString& providerReference,
                                                 const WString& driverName,
                                                 const WString& clientID,
                                                 int32_t defaultPriority, int32_t timeout)
    : driverName_(driverName),
      clientID_(clientID),
      defaultPriority_(defaultPriority),
      timeout_(timeout) {
    resolve([&] { return toNarrowText(providerReference); },
            u"CltIDLConnectionFactory. Caugth other exception");
}

CltIDLConnectionFactory::~CltIDLConnectionFactory() = default;

template <class ReferenceText>
void CltIDLConnectionFactory::resolve(const ReferenceText& referenceText,
                                      const char16_t* otherFailure) {
    try {
        const std::string text = referenceText();
        CORBA::Object_var object = CltOrb::instance().orb()->string_to_object(text.c_str());
        // A reference to something else narrows to nil; that is reported
        // when a connection is made.
        provider_ = jsv::Provider::_narrow(object.in());
    } catch (const CORBA::SystemException&) {
        throw JMSException(u"CltIDLConnectionFactory  CORBA::SystemException");
    } catch (...) {
        throw JMSException(otherFailure);
    }
}

CltConnection* CltIDLConnectionFactory::newConnection(const WString& user,
                                                      const WString& password) {
    return new (std::nothrow) CltConnection(provider_.in(), user, password, driverName_,
                                            defaultPriority_, timeout_, true, clientID_);
}

TopicConnection* CltIDLConnectionFactory::createTopicConnection(const WString& user,
                                                                const WString& password) {
    return newConnection(user, password);
}

TopicConnection* CltIDLConnectionFactory::createTopicConnection() {
    return newConnection(WString(), WString());
}

QueueConnection* CltIDLConnectionFactory::createQueueConnection(const WString& user,
                                                                const WString& password) {
    return newConnection(user, password);
}

QueueConnection* CltIDLConnectionFactory::createQueueConnection() {
    return newConnection(WString(), WString());
}

}  // namespace jms
