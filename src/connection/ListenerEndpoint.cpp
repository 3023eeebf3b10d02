#include "connection/ListenerEndpoint.h"

namespace jms {

namespace jcl = zorvane::velt::quorix::corba::jmsClient;

ListenerEndpoint::ListenerEndpoint() : servant_(new CltConnectionListenerImpl()) {}

ListenerEndpoint::~ListenerEndpoint() {
    servant_->shutdown();
    releaseReference();
    deactivate();
    servant_->waitForCallbacks();
}

void ListenerEndpoint::activate(PortableServer::POA_ptr poa) {
    objectId_ = poa->activate_object(servant_.in());
    poa_ = PortableServer::POA::_duplicate(poa);
    active_ = true;
    CORBA::Object_var object = poa->id_to_reference(objectId_.in());
    reference_ = jcl::ConnectionListener::_narrow(object.in());
}

void ListenerEndpoint::deactivate() noexcept {
    if (!active_) return;
    active_ = false;
    try {
        poa_->deactivate_object(objectId_.in());
    } catch (const CORBA::Exception&) {
        // Already gone with the broker: nothing left to dispatch to us.
    }
}

}  // namespace jms
