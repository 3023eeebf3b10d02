#ifndef JMS_MESSAGEPRODUCER_H
#define JMS_MESSAGEPRODUCER_H

#include <jms/Types.h>

namespace jms {

/// The sending defaults and life of a producer; sending is on QueueSender
/// and TopicPublisher.
class JMS_API MessageProducer {
public:
    MessageProducer() = default;
    MessageProducer(const MessageProducer&) = default;
    MessageProducer& operator=(const MessageProducer&) = default;
    virtual ~MessageProducer();

    /// Kept for the getter; the library assigns identifiers regardless.
    virtual void setDisableMessageID(bool value) = 0;
    virtual bool getDisableMessageID() = 0;
    /// Kept for the getter; the library time-stamps regardless.
    virtual void setDisableMessageTimestamp(bool value) = 0;
    virtual bool getDisableMessageTimestamp() = 0;
    /// A DeliveryMode value the provider supports.
    virtual void setDeliveryMode(int32_t deliveryMode) = 0;
    virtual int32_t getDeliveryMode() = 0;
    /// 0 (lowest) to 9.
    virtual void setPriority(int32_t priority) = 0;
    virtual int32_t getPriority() = 0;
    /// Milliseconds, 0 or more; 0 means messages never expire.
    virtual void setTimeToLive(int32_t timeToLive) = 0;
    virtual int32_t getTimeToLive() = 0;
    /// Closes the producer at the provider; the object stays for the caller to delete.
    virtual void close() = 0;
};

}  // namespace jms

#endif
