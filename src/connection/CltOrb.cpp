#include "connection/CltOrb.h"

#include "connection/TlsTransport.h"

namespace jms {

CltOrb::CltOrb() {
    // The SSL transport joins the broker when it starts, or never.
    tls::prepareTransport();
    int argc = 0;
    orb_ = CORBA::ORB_init(argc, nullptr);
    CORBA::Object_var poa = orb_->resolve_initial_references("RootPOA");
    rootPOA_ = PortableServer::POA::_narrow(poa.in());
}

CltOrb& CltOrb::instance() {
    // A function-local static is initialised once under the compiler's guard;
    // if the constructor throws, the next caller runs it again. The object is
    // deliberately leaked so that it outlives every static destructor.
    static CltOrb* const orb = new CltOrb();
    return *orb;
}

void CltOrb::activatePOAManager() const {
    PortableServer::POAManager_var manager = rootPOA_->the_POAManager();
    manager->activate();
}

CORBA::Object_var CltOrb::stringToObject(const char* reference) const {
    return orb_->string_to_object(reference);
}

}  // namespace jms
