#include "connection/CltOrb.h"

#include <cctype>
#include <cstring>

#include <omniORB4/internal/orbOptions.h>
#include <omniORB4/internal/orbParameters.h>

namespace jms {

namespace {

constexpr const char* connectionLimitOption = "maxGIOPConnectionPerServer";

// Each call waiting on the provider (a receive() above all) holds one
// connection to it, and omniORB's default opens at most five per server, the
// next call waiting for one of them: five waiting receivers would stall every
// other call of the process. So, unless the application's omniORB settings
// choose a limit, waiting calls are not what limits the connections.
constexpr CORBA::ULong connectionLimit = 4096;

bool specified(const char* option) {
    omni::orbOptions::sequenceString_var set = omni::orbOptions::singleton().dumpSpecified();
    const size_t length = std::strlen(option);
    for (CORBA::ULong i = 0; i < set->length(); ++i) {
        const char* entry = set[i];
        const bool named = std::strncmp(entry, option, length) == 0;
        if (named && !std::isalnum(static_cast<unsigned char>(entry[length]))) return true;
    }
    return false;
}

}  // namespace

CltOrb::CltOrb() {
    int argc = 0;
    orb_ = CORBA::ORB_init(argc, nullptr);
    if (!specified(connectionLimitOption)) {
        omni::orbParameters::maxGIOPConnectionPerServer = connectionLimit;
    }
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
