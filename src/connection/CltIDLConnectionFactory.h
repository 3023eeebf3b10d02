#ifndef QJMS_CONNECTION_CLTIDLCONNECTIONFACTORY_H
#define QJMS_CONNECTION_CLTIDLCONNECTIONFACTORY_H

#include <cstdint>

#include <jms/QueueConnectionFactory.h>
#include <jms/TopicConnectionFactory.h>

#include "sys/Cbase.h"

#include <jmsServer.hh>

namespace jms {

class CltConnection;

/// Both connection factories in one object, bound to one provider reference
/// resolved when it is built. Holds nothing mutable afterwards, so its
/// create operations may run on several threads at once.
class CltIDLConnectionFactory : public TopicConnectionFactory,
                                public QueueConnectionFactory,
                                public Cbase {
public:
    /// The reference is the first word of the file `referenceFile`; `flag`
    /// has no effect.
    CltIDLConnectionFactory(const WString& referenceFile, const WString& driverName, bool flag,
                            const WString& clientID, int32_t defaultPriority, int32_t timeout);
    /// The reference is `providerReference` itself.
    CltIDLConnectionFactory(const WString& providerReference, const WString& driverName,
                            const WString& clientID, int32_t defaultPriority, int32_t timeout);
    ~CltIDLConnectionFactory() override;

    TopicConnection* createTopicConnection(const WString& user, const WString& password) override;
    TopicConnection* createTopicConnection() override;
    QueueConnection* createQueueConnection(const WString& user, const WString& password) override;
    QueueConnection* createQueueConnection() override;

    /// Nil when the reference did not denote a provider.
    zorvane::velt::quorix::corba::jmsServer::Provider_ptr provider() const {
        return provider_.in();
    }

private:
    template <class ReferenceText>
    void resolve(const ReferenceText& referenceText, const char16_t* otherFailure);
    // Both faces make the same connection; empty texts mean no credentials.
    CltConnection* newConnection(const WString& user, const WString& password);

    zorvane::velt::quorix::corba::jmsServer::Provider_var provider_;
    WString driverName_;
    WString clientID_;
    int32_t defaultPriority_;
    int32_t timeout_;
};

}  // namespace jms

#endif
