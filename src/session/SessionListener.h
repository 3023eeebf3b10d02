#ifndef QJMS_SESSION_SESSIONLISTENER_H
#define QJMS_SESSION_SESSIONLISTENER_H

#include <memory>

#include "idl/WireTypes.h"
#include "session/SessionCore.h"

namespace jms {

/// The callback object through which the provider pushes a session's
/// messages. Reference counted by the broker; it shares the session's state,
/// so a push that arrives after the caller deleted the session finds it closed.
class SessionListener : public virtual POA_zorvane::velt::quorix::corba::jmsClient::MessageListener {
public:
    explicit SessionListener(std::shared_ptr<SessionCore> session);
    ~SessionListener() override;

    void onMessage(const wire::JMSMsg& message, const wire::UID& consumer) override;

private:
    std::shared_ptr<SessionCore> session_;
};

/// A session's listener servant with its activation: activated on
/// construction, deactivated on destruction; the reference goes to the
/// session's state.
class SessionEndpoint {
public:
    /// Broker failures surface as CORBA::SystemException.
    explicit SessionEndpoint(const std::shared_ptr<SessionCore>& session);
    ~SessionEndpoint();
    SessionEndpoint(const SessionEndpoint&) = delete;
    SessionEndpoint& operator=(const SessionEndpoint&) = delete;

private:
    PortableServer::Servant_var<SessionListener> servant_;
    PortableServer::POA_var poa_;
    PortableServer::ObjectId_var objectId_;
};

}  // namespace jms

#endif
