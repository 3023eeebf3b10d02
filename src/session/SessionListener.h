#ifndef QJMS_SESSION_SESSIONLISTENER_H
#define QJMS_SESSION_SESSIONLISTENER_H

#include <memory>

#include "idl/WireTypes.h"
#include "sys/Cbase.h"

namespace jms {

class SessionCore;

/// The callback object through which the provider pushes a session's
/// messages. Reference counted by the broker. It does not keep the session
/// alive: a push that arrives after the session is gone is refused as for a
/// closed session.
class SessionListener : public virtual POA_zorvane::velt::quorix::corba::jmsClient::MessageListener {
public:
    /// `gone` is broadcast when the broker lets go of the servant, once its
    /// last call has returned and its reply has left.
    class Gone;

    SessionListener(std::weak_ptr<SessionCore> session, std::shared_ptr<Gone> gone);
    ~SessionListener() override;

    void onMessage(const wire::JMSMsg& message, const wire::UID& consumer) override;

    /// True while this thread runs a call of `servant`.
    static bool inCallOf(const SessionListener* servant);

private:
    std::weak_ptr<SessionCore> session_;
    std::shared_ptr<Gone> gone_;
};

/// A session's listener servant with its activation. Retiring it deactivates
/// the servant and waits, within a bound, until the broker has finished with
/// it: a push whose listener already returned has then also sent its reply,
/// so the provider does not take the message for undelivered when the process
/// exits right after.
class SessionEndpoint {
public:
    /// Broker failures surface as CORBA::SystemException.
    explicit SessionEndpoint(const std::shared_ptr<SessionCore>& session);
    ~SessionEndpoint();
    SessionEndpoint(const SessionEndpoint&) = delete;
    SessionEndpoint& operator=(const SessionEndpoint&) = delete;

    wireClient::MessageListener_ptr reference() const { return reference_.in(); }
    /// Once is enough; a call on the servant's own thread does not wait for itself.
    void retire();

private:
    std::shared_ptr<SessionListener::Gone> gone_;
    PortableServer::Servant_var<SessionListener> servant_;
    PortableServer::POA_var poa_;
    PortableServer::ObjectId_var objectId_;
    wireClient::MessageListener_var reference_;
    bool active_ = false;
};

}  // namespace jms

#endif
