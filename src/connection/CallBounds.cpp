#include "connection/CallBounds.h"

#include <algorithm>
#include <limits>

#include <omniORB4/internal/orbParameters.h>

#include "connection/CltOrb.h"

namespace jms::callbounds {

namespace {

// omniORB takes 0 as "no bound of this reference's own", which lets the
// configured period apply; the longest bound it takes stands for none.
constexpr uint32_t unbounded = std::numeric_limits<uint32_t>::max();

}  // namespace

uint32_t configuredMs() {
    const omni_time_t& period = omni::orbParameters::clientCallTimeOutPeriod;
    const uint64_t ms = uint64_t(period.s) * 1000 + period.ns / 1000000;
    return static_cast<uint32_t>(std::min<uint64_t>(ms, unbounded - 1));
}

uint32_t closeMs() {
    const uint32_t configured = configuredMs();
    return configured != 0 && configured < closeBoundMs ? configured : closeBoundMs;
}

uint32_t receiveMs(int64_t waitMs) {
    const uint32_t configured = configuredMs();
    // Nothing configured: no bound at all, which spares omniORB the deadline
    // handling (polling the socket) that even the longest bound costs per call.
    if (configured == 0) return 0;
    if (waitMs < 0) return unbounded;
    return static_cast<uint32_t>(std::min<int64_t>(waitMs + configured, unbounded));
}

wireServer::Provider_ptr boundedCopy(wireServer::Provider_ptr provider, uint32_t ms) {
    CltOrb& orb = CltOrb::instance();
    CORBA::String_var text = orb.orb()->object_to_string(provider);
    CORBA::Object_var object = orb.stringToObject(text.in());
    wireServer::Provider_ptr copy = wireServer::Provider::_unchecked_narrow(object.in());
    setBound(copy, ms);
    return copy;
}

void setBound(wireServer::Provider_ptr copy, uint32_t ms) { omniORB::setClientCallTimeout(copy, ms); }

}  // namespace jms::callbounds
