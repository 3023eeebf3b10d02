#include "connection/CltOrb.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include <omniORB4/internal/objectAdapter.h>
#include <omniORB4/internal/orbOptions.h>
#include <omniORB4/internal/orbParameters.h>

#include "connection/TlsTransport.h"

namespace jms {

namespace {

using Endpoints = omni::omniObjAdapter::Options;

bool loopbackTcp(const char* uri) {
    for (const char* prefix : {"giop:tcp:127.", "giop:tcp:localhost:", "giop:tcp:[::1]:"}) {
        if (std::strncmp(uri, prefix, std::strlen(prefix)) == 0) return true;
    }
    return false;
}

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

// The socket file of the Unix endpoint, removed when the process ends: the
// broker lives until then and never closes its endpoints itself.
std::string& socketPath() {
    static std::string* const path = new std::string();
    return *path;
}

void removeSocket() {
    if (!socketPath().empty()) std::remove(socketPath().c_str());
}

// A caller whose configuration keeps the callback endpoint on loopback TCP
// can only be called back from this machine: a Unix-domain socket beside it
// serves the same callers without the TCP stack. Any other configuration
// (no endpoint, which means every interface, or one of the caller's own
// choosing) stays as it is.
bool addUnixEndpoint() {
    Endpoints& options = omni::omniObjAdapter::options;
    if (options.endpoints.empty() || !options.no_listen.empty()) return false;
    for (const Endpoints::EndpointURI* endpoint : options.endpoints) {
        if (!loopbackTcp(endpoint->uri)) return false;
    }
    auto* socket = new Endpoints::EndpointURI();
    socket->uri = CORBA::string_dup("giop:unix:");
    socket->no_publish = false;
    options.endpoints.push_back(socket);
    return true;
}

void rememberSocket() {
    const auto& mine = omni::omniObjAdapter::listMyEndpoints();
    for (CORBA::ULong i = 0; i < mine.length(); ++i) {
        const char* uri = mine[i];
        if (std::strncmp(uri, "giop:unix:", 10) == 0) {
            socketPath() = uri + 10;
            std::atexit(removeSocket);
            return;
        }
    }
}

}  // namespace

CltOrb::CltOrb() {
    // The SSL transport joins the broker when it starts, or never.
    tls::prepareTransport();
    int argc = 0;
    orb_ = CORBA::ORB_init(argc, nullptr);
    if (!specified(connectionLimitOption)) {
        omni::orbParameters::maxGIOPConnectionPerServer = connectionLimit;
    }
    // Endpoints open when the root POA is first resolved; a process that
    // resolved it before the library did keeps what it has.
    const bool unixAdded = addUnixEndpoint();
    CORBA::Object_var poa = orb_->resolve_initial_references("RootPOA");
    rootPOA_ = PortableServer::POA::_narrow(poa.in());
    if (unixAdded) rememberSocket();
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
