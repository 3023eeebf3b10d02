#ifndef QJMS_MESSAGE_CLTMESSAGE_H
#define QJMS_MESSAGE_CLTMESSAGE_H

#include <jms/Message.h>

#include "message/CltMessageHeader.h"
#include "sys/Cbase.h"

namespace jms {

/// What every message of the library shares: the header fields, the typed
/// properties and the read-only flag that a bytes message in read mode sets.
/// Only the conversion for sending takes a lock.
class CltMessage : public Cbase, public virtual Message {
public:
    ~CltMessage() override;

    /// The message as it travels: header (properties written, JMSTimestamp
    /// stamped with the wall clock) and body. Nothing else changes.
    virtual void getJMSMsg(wire::JMSMsg& out);
    /// The same, without a copy: the message's own wire form, valid until the
    /// message next changes. A bytes body is lent, not copied; a text is
    /// converted only when it changed since the last send. The caller holds
    /// wireLock() while it reads the form, so a conversion of the same message
    /// on another thread waits.
    const wire::JMSMsg& wireForSend();
    RMutex& wireLock() const { return rmutex(); }
    /// After a send: the identifier the provider gave (see CltMessageHeader)
    /// and the destination shared with the producer.
    void adoptMessageID(CORBA::WString_var& id) { header_.adoptMessageID(id); }
    void shareDestination(std::shared_ptr<const QuorixDestination> dest) {
        header_.shareDestination(std::move(dest));
    }

    WString getJMSMessageID() override;
    void setJMSMessageID(const WString& id) override;
    int64_t getJMSTimestamp() override;
    void setJMSTimestamp(int64_t timestamp) override;
    ByteArray getJMSCorrelationIDAsBytes() override;
    void setJMSCorrelationIDAsBytes(const ByteArray& correlationID) override;
    void setJMSCorrelationID(const WString& correlationID) override;
    WString getJMSCorrelationID() override;
    Destination* getJMSReplyTo() override;
    void setJMSReplyTo(Destination* replyTo) override;
    Destination* getJMSDestination() override;
    void setJMSDestination(Destination* destination) override;
    int32_t getJMSDeliveryMode() override;
    void setJMSDeliveryMode(int32_t deliveryMode) override;
    bool getJMSRedelivered() override;
    void setJMSRedelivered(bool redelivered) override;
    WString getJMSType() override;
    void setJMSType(const WString& type) override;
    int64_t getJMSExpiration() override;
    void setJMSExpiration(int64_t expiration) override;
    int32_t getJMSPriority() override;
    void setJMSPriority(int32_t priority) override;

    void clearProperties() override;
    bool propertyExists(const WString& name) override;
    bool getBooleanProperty(const WString& name) override;
    int8_t getByteProperty(const WString& name) override;
    int16_t getShortProperty(const WString& name) override;
    int32_t getIntProperty(const WString& name) override;
    int64_t getLongProperty(const WString& name) override;
    float getFloatProperty(const WString& name) override;
    double getDoubleProperty(const WString& name) override;
    WString getStringProperty(const WString& name) override;
    Object* getObjectProperty(const WString& name) override;
    WStringList getPropertyNames() override;
    void setBooleanProperty(const WString& name, bool value) override;
    void setByteProperty(const WString& name, int8_t value) override;
    void setShortProperty(const WString& name, int16_t value) override;
    void setIntProperty(const WString& name, int32_t value) override;
    void setLongProperty(const WString& name, int64_t value) override;
    void setFloatProperty(const WString& name, float value) override;
    void setDoubleProperty(const WString& name, double value) override;
    void setStringProperty(const WString& name, const WString& value) override;
    void setObjectProperty(const WString& name, Object* value) override;

    void acknowledge() override;

    /// The header, for the library's own users (producers stamp it, tests read it).
    const CltMessageHeader& header() const { return header_; }

protected:
    CltMessage();
    /// A received message; see CltMessageHeader for what it throws.
    CltMessage(const wire::MessageHeader& received,
               std::shared_ptr<const QuorixDestination> destination);

    /// Brings the body branch of the message's own wire form up to date.
    virtual void prepareBody(wire::MsgUnion& body) = 0;
    /// "<Class>.getJMSMsg: failed to convert hdr".
    virtual const char16_t* headerFailureText() const = 0;

    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

private:
    void setProperty(const WString& name, PropertyValue value);

    bool readOnly_ = false;
    CltMessageHeader header_;
};

}  // namespace jms

#endif
