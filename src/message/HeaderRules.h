#ifndef QJMS_MESSAGE_HEADERRULES_H
#define QJMS_MESSAGE_HEADERRULES_H

#include <cstdint>

#include <jms/Types.h>

// The checks behind the header setters (JMSException with the setter's text) and
// the check of a header that arrives from the provider (MessageFormatException).
namespace jms {

void checkMessageIdValue(const WString& id);
void checkTimestampValue(int64_t timestamp);
void checkCorrelationIdBytesSize(size_t size);
void checkCorrelationIdValue(const WString& id);
void checkDeliveryModeValue(int32_t mode);
void checkTypeValue(const WString& type);
void checkExpirationValue(int64_t expiration);
void checkPriorityValue(int32_t priority);

/// The header fields a received message is checked on. A received header may carry
/// -1 for "unset" in expiration, priority and delivery mode.
struct ReceivedHeaderFields {
    int64_t expiration = 0;
    int32_t priority = 4;
    int32_t deliveryMode = 2;
    bool hasMessageId = false;
    WString messageId;
    int64_t timestamp = 0;
};

void validateReceivedHeader(const ReceivedHeaderFields& fields);

}  // namespace jms

#endif
