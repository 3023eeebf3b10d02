#pragma once
// The transport addresses an object reference offers, as this process's ORB
// decodes them: "giop:tcp:127.0.0.1:4000", "giop:ssl:127.0.0.1:4001", ...
// (only those of transports the ORB has).
#include <omniORB4/CORBA.h>

#include <string>
#include <vector>

namespace quorix::provider {

std::vector<std::string> addressesOf(CORBA::Object_ptr reference);

// Whether a client can be called back over TLS through this reference.
bool offersTls(CORBA::Object_ptr reference);

}  // namespace quorix::provider
