#pragma once
// What qjms prints of a message, copied out of it (a listener's message does
// not outlive its call).
#include <cstdint>
#include <string>
#include <vector>

#include <jms/jms.h>

#include "Property.h"

namespace qjms::cli {

struct MessageRecord {
    enum class Body { None, Text, Bytes };
    std::string destination;  // "queue:NAME", "topic:NAME" or empty
    std::string messageId;
    int64_t timestamp = 0;    // ms since the epoch
    std::string correlationId;
    std::string replyTo;      // as destination
    int32_t deliveryMode = 0;
    int32_t priority = 0;
    int64_t expiration = 0;   // ms since the epoch; 0 never
    bool redelivered = false;
    std::string type;
    std::vector<Property> properties;
    Body bodyKind = Body::None;
    std::string body;         // UTF-8 text or the raw bytes
};

MessageRecord record(jms::Message& message);
// "queue:NAME" or "topic:NAME"; empty for null.
std::string destinationName(jms::Destination* destination);

}  // namespace qjms::cli
