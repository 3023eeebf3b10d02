#ifndef QJMS_MESSAGE_CLTMESSAGEHEADER_H
#define QJMS_MESSAGE_CLTMESSAGEHEADER_H

#include <memory>

#include <jms/Destination.h>
#include <jms/Types.h>

#include "destination/QuorixDestination.h"
#include "message/PropertyStore.h"
#include "sys/Cbase.h"

namespace jms {

/// The header fields of a message, kept in their wire form, and its typed
/// properties. Every setter validates first: a refused value changes nothing.
/// Not locked: a message is used by one thread at a time.
class CltMessageHeader : public Cbase {
public:
    /// A header with the defaults: persistent, priority 4, nothing else set.
    CltMessageHeader();
    /// A received header, for a consumer of `destination`. Throws the reply-to's
    /// InvalidDestinationException, JMSException for a bad or duplicate property
    /// and MessageFormatException for a field out of range.
    CltMessageHeader(const wire::MessageHeader& received, const QuorixDestination& destination);
    ~CltMessageHeader() override;
    CltMessageHeader(const CltMessageHeader&) = delete;
    CltMessageHeader& operator=(const CltMessageHeader&) = delete;

    WString getMessageID() const;
    void setMessageID(const WString& id);
    int64_t getTimestamp() const;
    void setTimestamp(int64_t timestamp);
    ByteArray getCorrelationIDAsBytes() const;
    void setCorrelationIDAsBytes(const ByteArray& bytes);
    WString getCorrelationID() const;
    void setCorrelationID(const WString& id);
    int32_t getDeliveryMode() const;
    void setDeliveryMode(int32_t mode);
    bool getRedelivered() const;
    void setRedelivered(bool redelivered);
    WString getType() const;
    void setType(const WString& type);
    int64_t getExpiration() const;
    void setExpiration(int64_t expiration);
    int32_t getPriority() const;
    void setPriority(int32_t priority);

    /// The reply-to destination, or null; not a copy.
    const QuorixDestination* replyTo() const { return replyTo_.get(); }
    /// Null clears; anything but a QuorixDestination fails.
    void setReplyTo(const Destination* dest);
    /// The destination (client side only), or null; not a copy.
    const QuorixDestination* destination() const { return destination_.get(); }
    void setDestination(const Destination* dest);

    /// Checks the name (and a string's length), then inserts; a name already
    /// present fails with "internal error: could not insert property".
    void setProperty(const WString& name, PropertyValue value);
    /// The value stored under `name` as exactly T; NullPointerException when it
    /// is absent or of another type.
    template <typename T>
    T getProperty(const WString& name) const;
    const PropertyStore& properties() const { return properties_; }
    void clearProperties() { properties_.clear(); }

    /// Writes the properties into the wire form, stamps JMSTimestamp with the
    /// wall clock and returns the wire header. Called under the message's lock.
    const wire::MessageHeader& toWireHeader();

private:
    void validate() const;

    wire::MessageHeader wire_;
    PropertyStore properties_;
    std::unique_ptr<QuorixDestination> replyTo_;
    std::unique_ptr<QuorixDestination> destination_;
};

}  // namespace jms

#endif
