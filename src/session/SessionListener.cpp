#include "session/SessionListener.h"

#include "connection/CltOrb.h"
#include "idl/WireText.h"

namespace jms {

SessionListener::SessionListener(std::shared_ptr<SessionCore> session)
    : session_(std::move(session)) {}

SessionListener::~SessionListener() = default;

void SessionListener::onMessage(const wire::JMSMsg& message, const wire::UID& consumer) {
    session_->onMessage(message, consumer);
}

SessionEndpoint::SessionEndpoint(const std::shared_ptr<SessionCore>& session)
    : servant_(new SessionListener(session)) {
    poa_ = PortableServer::POA::_duplicate(CltOrb::instance().rootPOA());
    objectId_ = poa_->activate_object(servant_.in());
    try {
        CORBA::Object_var object = poa_->id_to_reference(objectId_.in());
        wireClient::MessageListener_var reference = wireClient::MessageListener::_narrow(object.in());
        session->setListenerReference(reference.in());
    } catch (...) {
        poa_->deactivate_object(objectId_.in());
        throw;
    }
}

SessionEndpoint::~SessionEndpoint() {
    try {
        poa_->deactivate_object(objectId_.in());
    } catch (const CORBA::Exception&) {
        // Already gone with the broker: nothing left to dispatch to us.
    }
}

}  // namespace jms
