#include "server/StoredPayload.h"

#include "server/WirePayload.h"  // the ORB's headers first

#include <omniORB4/codeSets.h>

namespace quorix::provider {

namespace {
void useFixedCodeSets(cdrStream& s) {
  GIOP::Version v12 = {1, 2};
  s.TCS_C(omni::omniCodeSet::getTCS_C(omni::omniCodeSet::ID_UTF_8, v12));
  s.TCS_W(omni::omniCodeSet::getTCS_W(omni::omniCodeSet::ID_UTF_16, v12));
}
}  // namespace

std::string StoredPayloadCodec::encode(const Payload& payload) const {
  cdrEncapsulationStream out;
  useFixedCodeSets(out);
  static_cast<const WirePayload&>(payload).message() >>= out;
  return std::string(static_cast<const char*>(out.bufPtr()), out.bufSize());
}

std::shared_ptr<const Payload> StoredPayloadCodec::decode(const std::string& bytes) const {
  try {
    cdrEncapsulationStream in(reinterpret_cast<const CORBA::Octet*>(bytes.data()),
                              static_cast<CORBA::ULong>(bytes.size()), true);
    useFixedCodeSets(in);
    wire::JMSMsg m;
    m <<= in;
    return std::make_shared<WirePayload>(m);
  } catch (const CORBA::SystemException& e) {
    throw StorageError(std::string("a kept message cannot be read (") + e._name() + ")");
  }
}

}  // namespace quorix::provider
