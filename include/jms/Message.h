#ifndef JMS_MESSAGE_H
#define JMS_MESSAGE_H

#include <jms/DeliveryMode.h>
#include <jms/Types.h>

namespace jms {

class Destination;

/// A message: header fields, typed properties and a body of a kind given by
/// the derived interface. Getters of unset text fields return empty text.
class JMS_API Message {
public:
    static constexpr int32_t DEFAULT_DELIVERY_MODE = DeliveryMode::PERSISTENT;
    static constexpr int32_t DEFAULT_PRIORITY = 4;
    /// Milliseconds; 0 means the message never expires.
    static constexpr int64_t DEFAULT_TIME_TO_LIVE = 0;

    Message() = default;
    Message(const Message&) = default;
    Message& operator=(const Message&) = default;
    virtual ~Message();

    virtual WString getJMSMessageID() = 0;
    /// The identifier must start with "ID:".
    virtual void setJMSMessageID(const WString& id) = 0;
    /// Milliseconds since the Unix epoch.
    virtual int64_t getJMSTimestamp() = 0;
    virtual void setJMSTimestamp(int64_t timestamp) = 0;
    /// The correlation identifier read as lower-case hexadecimal bytes.
    virtual ByteArray getJMSCorrelationIDAsBytes() = 0;
    /// Stores the bytes as lower-case hexadecimal text; empty clears it.
    virtual void setJMSCorrelationIDAsBytes(const ByteArray& correlationID) = 0;
    /// Empty clears it.
    virtual void setJMSCorrelationID(const WString& correlationID) = 0;
    virtual WString getJMSCorrelationID() = 0;
    /// A new copy of the reply address, or null when unset; caller owns.
    virtual Destination* getJMSReplyTo() = 0;
    /// Stores a copy; null clears it. The caller keeps `replyTo`.
    virtual void setJMSReplyTo(Destination* replyTo) = 0;
    /// A new copy of the destination, or null when unset; caller owns.
    virtual Destination* getJMSDestination() = 0;
    /// Stores a copy; null clears it. The caller keeps `destination`.
    virtual void setJMSDestination(Destination* destination) = 0;
    /// A DeliveryMode value.
    virtual int32_t getJMSDeliveryMode() = 0;
    virtual void setJMSDeliveryMode(int32_t deliveryMode) = 0;
    virtual bool getJMSRedelivered() = 0;
    virtual void setJMSRedelivered(bool redelivered) = 0;
    virtual WString getJMSType() = 0;
    /// Empty clears it.
    virtual void setJMSType(const WString& type) = 0;
    /// Milliseconds since the Unix epoch; 0 means never.
    virtual int64_t getJMSExpiration() = 0;
    virtual void setJMSExpiration(int64_t expiration) = 0;
    /// 0 (lowest) to 9.
    virtual int32_t getJMSPriority() = 0;
    virtual void setJMSPriority(int32_t priority) = 0;

    virtual void clearProperties() = 0;
    virtual bool propertyExists(const WString& name) = 0;
    /// Typed property getters: a missing property, or one stored with another
    /// type, throws NullPointerException; there is no conversion.
    virtual bool getBooleanProperty(const WString& name) = 0;
    virtual int8_t getByteProperty(const WString& name) = 0;
    virtual int16_t getShortProperty(const WString& name) = 0;
    virtual int32_t getIntProperty(const WString& name) = 0;
    virtual int64_t getLongProperty(const WString& name) = 0;
    virtual float getFloatProperty(const WString& name) = 0;
    virtual double getDoubleProperty(const WString& name) = 0;
    virtual WString getStringProperty(const WString& name) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual Object* getObjectProperty(const WString& name) = 0;
    /// The property names in code-unit order.
    virtual WStringList getPropertyNames() = 0;
    /// Typed property setters: a name already set fails until
    /// clearProperties; a read-only message refuses every set.
    virtual void setBooleanProperty(const WString& name, bool value) = 0;
    virtual void setByteProperty(const WString& name, int8_t value) = 0;
    virtual void setShortProperty(const WString& name, int16_t value) = 0;
    virtual void setIntProperty(const WString& name, int32_t value) = 0;
    virtual void setLongProperty(const WString& name, int64_t value) = 0;
    virtual void setFloatProperty(const WString& name, float value) = 0;
    virtual void setDoubleProperty(const WString& name, double value) = 0;
    virtual void setStringProperty(const WString& name, const WString& value) = 0;
    /// Not offered by the library: throws NotImplementedException.
    virtual void setObjectProperty(const WString& name, Object* value) = 0;

    /// Not offered by the library: throws NotImplementedException.
    virtual void acknowledge() = 0;
    /// Empties the body; header and properties stay.
    virtual void clearBody() = 0;
};

}  // namespace jms

#endif
