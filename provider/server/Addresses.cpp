#include "server/Addresses.h"

#include <omniORB4/giopEndpoint.h>
#include <omniORB4/omniIOR.h>

namespace quorix::provider {

std::vector<std::string> addressesOf(CORBA::Object_ptr reference) {
  std::vector<std::string> out;
  if (CORBA::is_nil(reference)) return out;
  omniIOR_var ior = reference->_PR_getobj()->_getIOR();
  for (const omni::giopAddress* a : ior->getIORInfo()->addresses()) {
    std::string address = a->address();
    // Port 0: the profile's clear-text address when only TLS is offered.
    if (address.size() < 2 || address.compare(address.size() - 2, 2, ":0") != 0)
      out.push_back(std::move(address));
  }
  return out;
}

bool offersTls(CORBA::Object_ptr reference) {
  for (const std::string& a : addressesOf(reference))
    if (a.rfind("giop:ssl:", 0) == 0) return true;
  return false;
}

}  // namespace quorix::provider
