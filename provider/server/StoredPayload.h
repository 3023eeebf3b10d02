#pragma once
// Wire messages in the form the store keeps: a CDR encapsulation (it records
// its byte order) with UTF-8 text and UTF-16 wide text, whatever the ORB's
// settings. Needs an initialised ORB.
#include "core/Storage.h"

namespace quorix::provider {

class StoredPayloadCodec : public PayloadCodec {
 public:
  std::string encode(const Payload& payload) const override;
  std::shared_ptr<const Payload> decode(const std::string& bytes) const override;
};

}  // namespace quorix::provider
