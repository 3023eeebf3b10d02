#ifndef QJMS_MESSAGE_CLTMESSAGEHEADER_H
#define QJMS_MESSAGE_CLTMESSAGEHEADER_H

#include <memory>

#include <jms/Destination.h>
#include <jms/Types.h>

#include "destination/QuorixDestination.h"
#include "message/PropertyStore.h"

namespace jms {

/// The header fields of a message, kept in their wire form, and its typed
/// properties. Every setter validates first: a refused value changes nothing.
/// Not locked: a message is used by one thread at a time.
///
/// The wire form is a whole wire message, which its message fills in with the
/// body before each send: a send hands it to the broker as it is, without a
/// copy of the header.
class CltMessageHeader {
public:
    /// A header with the defaults: persistent, priority 4, nothing else set.
    CltMessageHeader();
    /// A received header, for a consumer of `destination`. Throws the reply-to's
    /// InvalidDestinationException, JMSException for a bad or duplicate property
    /// and MessageFormatException for a field out of range.
    CltMessageHeader(const wire::MessageHeader& received,
                     std::shared_ptr<const QuorixDestination> destination);
    ~CltMessageHeader();
    CltMessageHeader(const CltMessageHeader&) = delete;
    CltMessageHeader& operator=(const CltMessageHeader&) = delete;

    WString getMessageID() const;
    void setMessageID(const WString& id);
    /// The identifier a send was given, checked like setMessageID, kept as it
    /// came (the broker's string is adopted, not copied).
    void adoptMessageID(CORBA::WString_var& id);
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
    /// The producer's own destination, shared rather than copied at each send.
    void shareDestination(std::shared_ptr<const QuorixDestination> dest);

    /// Checks the name (and a string's length), then inserts; a name already
    /// present fails with "internal error: could not insert property".
    void setProperty(const WString& name, PropertyValue value);
    /// The value stored under `name` as exactly T; NullPointerException when it
    /// is absent or of another type.
    template <typename T>
    T getProperty(const WString& name) const;
    const PropertyStore& properties() const { return properties_; }
    void clearProperties() {
        properties_.clear();
        propertiesWritten_ = false;
    }

    /// Writes the properties into the wire form when they changed, stamps
    /// JMSTimestamp with the wall clock and returns the wire message, whose
    /// body the caller fills. Called under the message's lock.
    wire::JMSMsg& toWire();

private:
    void validate() const;

    wire::JMSMsg wire_;
    PropertyStore properties_;
    bool propertiesWritten_ = false;  // wire_.hdr.JMSProperties matches properties_
    std::unique_ptr<QuorixDestination> replyTo_;
    std::shared_ptr<const QuorixDestination> destination_;
};

}  // namespace jms

#endif
