#include "message/HeaderRules.h"

#include <jms/JMSException.h>

namespace jms {

namespace {

constexpr size_t maxTextLength = 65535;
constexpr size_t maxCorrelationBytes = 32767;  // 65534 units once in hexadecimal

bool hasIdPrefix(const WString& id) { return id.compare(0, 3, u"ID:") == 0; }

[[noreturn]] void refuse(const char16_t* text) { throw JMSException(text); }
[[noreturn]] void malformed(const char16_t* text) { throw MessageFormatException(text); }

}  // namespace

void checkMessageIdValue(const WString& id) {
    if (id.size() < 4 || !hasIdPrefix(id)) refuse(u"the message id must start with 'ID:'.");
}

void checkTimestampValue(int64_t timestamp) {
    if (timestamp < 0) refuse(u"timestamp");
}

void checkCorrelationIdBytesSize(size_t size) {
    if (size > maxCorrelationBytes) refuse(u"CorrelationIDAsBytes: size > 32766");
}

void checkCorrelationIdValue(const WString& id) {
    if (id.size() > maxTextLength) refuse(u"CorrelationID length must be <= 65535");
}

void checkDeliveryModeValue(int32_t mode) {
    if (mode != 1 && mode != 2) refuse(u"delivery mode");
}

void checkTypeValue(const WString& type) {
    if (type.size() > maxTextLength) refuse(u"setJMSType: length must be <= 65535");
}

void checkExpirationValue(int64_t expiration) {
    if (expiration < 0) refuse(u"expiration must be >=0");
}

void checkPriorityValue(int32_t priority) {
    if (priority < 0 || priority > 9) refuse(u"priority");
}

void validateReceivedHeader(const ReceivedHeaderFields& f) {
    if (f.expiration < 0 && f.expiration != -1) malformed(u"JMSExpiration < 0");
    if (f.priority < 0 && f.priority != -1) malformed(u"JMSPriority < 0");
    if (f.priority > 9) malformed(u"JMSPriority > 9");
    if (f.deliveryMode != 1 && f.deliveryMode != 2 && f.deliveryMode != -1)
        malformed(u"JMSDeliveryMode is invalid");
    if (f.hasMessageId && !hasIdPrefix(f.messageId)) malformed(u"JMSMessageID invalid: ");
    if (f.timestamp < 0) malformed(u"JMSTimestamp < 0");
}

}  // namespace jms
