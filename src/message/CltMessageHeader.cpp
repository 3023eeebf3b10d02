#include "message/CltMessageHeader.h"

#include <jms/JMSException.h>

#include "idl/WireLength.h"
#include "idl/WireText.h"
#include "idl/WireValues.h"
#include "message/CorrelationHex.h"
#include "message/HeaderRules.h"
#include "message/MessageTime.h"
#include "message/PropertyName.h"
#include "message/PropertyWire.h"

namespace jms {

namespace {

constexpr size_t maxStringPropertyLength = 65535;

const QuorixDestination& requireQuorix(const Destination* dest, const char16_t* refusal) {
    const QuorixDestination* quorix = asQuorixDestination(dest);
    if (!quorix) throw JMSException(refusal);
    return *quorix;
}

}  // namespace

CltMessageHeader::CltMessageHeader() {
    wire_.JMSMessageID.nullValue(0);
    wire_.JMSDeliveryMode = 2;
    wire_.JMSRedelivered = false;
    wire_.JMSType.nullValue(0);
    wire_.JMSExpiration = 0;
    wire_.JMSPriority = 4;
    wire_.JMSTimestamp = 0;
    wire_.JMSCorrelationID.nullValue(0);
    wire_.JMSReplyTo.nullValue(0);
    validate();
}

CltMessageHeader::CltMessageHeader(const wire::MessageHeader& received,
                                   const QuorixDestination& destination) {
    // Field by field rather than whole: the property list is rebuilt from the
    // store at every send, so holding a second copy of it would only cost memory.
    wire_.JMSMessageID = received.JMSMessageID;
    wire_.JMSDeliveryMode = received.JMSDeliveryMode;
    wire_.JMSRedelivered = received.JMSRedelivered;
    wire_.JMSType = received.JMSType;
    wire_.JMSExpiration = received.JMSExpiration;
    wire_.JMSPriority = received.JMSPriority;
    wire_.JMSTimestamp = received.JMSTimestamp;
    wire_.JMSCorrelationID = received.JMSCorrelationID;
    wire_.JMSReplyTo = received.JMSReplyTo;

    if (received.JMSReplyTo._d()) replyTo_ = QuorixDestination::fromWire(received.JMSReplyTo.val());
    destination_ = destination.clone();

    const wire::PropElems& props = received.JMSProperties;
    for (CORBA::ULong i = 0; i < props.length(); ++i) {
        PropertyValue value = propertyFromWire(props[i].val);
        if (!properties_.insert(toWString(props[i].name.in()), std::move(value)))
            throw JMSException(u"could not insert property");
    }
    validate();
}

CltMessageHeader::~CltMessageHeader() = default;

void CltMessageHeader::validate() const {
    ReceivedHeaderFields fields;
    fields.expiration = wire_.JMSExpiration;
    fields.priority = wire_.JMSPriority;
    fields.deliveryMode = wire_.JMSDeliveryMode;
    fields.hasMessageId = wire_.JMSMessageID._d();
    if (fields.hasMessageId) fields.messageId = toWString(wire_.JMSMessageID.val());
    fields.timestamp = wire_.JMSTimestamp;
    validateReceivedHeader(fields);
}

WString CltMessageHeader::getMessageID() const { return readStringU(wire_.JMSMessageID); }

void CltMessageHeader::setMessageID(const WString& id) {
    checkMessageIdValue(id);
    wire_.JMSMessageID = makeStringU(id);
}

int64_t CltMessageHeader::getTimestamp() const { return wire_.JMSTimestamp; }

void CltMessageHeader::setTimestamp(int64_t timestamp) {
    checkTimestampValue(timestamp);
    wire_.JMSTimestamp = timestamp;
}

ByteArray CltMessageHeader::getCorrelationIDAsBytes() const {
    if (!wire_.JMSCorrelationID._d()) return {};
    return hexToBytes(toWString(wire_.JMSCorrelationID.val()));
}

void CltMessageHeader::setCorrelationIDAsBytes(const ByteArray& bytes) {
    checkCorrelationIdBytesSize(bytes.size());
    wire_.JMSCorrelationID = makeStringU(bytesToHex(bytes));
}

WString CltMessageHeader::getCorrelationID() const { return readStringU(wire_.JMSCorrelationID); }

void CltMessageHeader::setCorrelationID(const WString& id) {
    checkCorrelationIdValue(id);
    wire_.JMSCorrelationID = makeStringU(id);
}

int32_t CltMessageHeader::getDeliveryMode() const { return wire_.JMSDeliveryMode; }

void CltMessageHeader::setDeliveryMode(int32_t mode) {
    checkDeliveryModeValue(mode);
    wire_.JMSDeliveryMode = mode;
}

bool CltMessageHeader::getRedelivered() const { return wire_.JMSRedelivered; }

void CltMessageHeader::setRedelivered(bool redelivered) { wire_.JMSRedelivered = redelivered; }

WString CltMessageHeader::getType() const { return readStringU(wire_.JMSType); }

void CltMessageHeader::setType(const WString& type) {
    checkTypeValue(type);
    wire_.JMSType = makeStringU(type);
}

int64_t CltMessageHeader::getExpiration() const { return wire_.JMSExpiration; }

void CltMessageHeader::setExpiration(int64_t expiration) {
    checkExpirationValue(expiration);
    wire_.JMSExpiration = expiration;
}

int32_t CltMessageHeader::getPriority() const { return wire_.JMSPriority; }

void CltMessageHeader::setPriority(int32_t priority) {
    checkPriorityValue(priority);
    wire_.JMSPriority = priority;
}

void CltMessageHeader::setReplyTo(const Destination* dest) {
    if (!dest) {
        replyTo_.reset();
        wire_.JMSReplyTo.nullValue(0);
        return;
    }
    const QuorixDestination& quorix = requireQuorix(dest, u"setJMSReplyTo: type not supported ");
    // Both copies are made before either is stored, so a failure changes nothing.
    std::unique_ptr<QuorixDestination> copy = quorix.clone();
    wire::DestinationU wireCopy;
    wireCopy.val(quorix.getIDLDestination());
    replyTo_ = std::move(copy);
    wire_.JMSReplyTo = wireCopy;
}

void CltMessageHeader::setDestination(const Destination* dest) {
    if (!dest) {
        destination_.reset();
        return;
    }
    destination_ = requireQuorix(dest, u"the destination must be a topic or a queue").clone();
}

void CltMessageHeader::setProperty(const WString& name, PropertyValue value) {
    checkPropertyName(name);
    if (const WString* text = value.get<WString>(); text && text->size() > maxStringPropertyLength)
        throw JMSException(u"setStringProperty: length > 65535");
    if (!properties_.insert(name, std::move(value)))
        throw JMSException(u"internal error: could not insert property");
}

template <typename T>
T CltMessageHeader::getProperty(const WString& name) const {
    if (name.empty()) throw JMSException(u"name is null");
    const PropertyValue* value = properties_.find(name);
    const T* typed = value ? value->get<T>() : nullptr;
    if (!typed) throw NullPointerException();
    return *typed;
}

template bool CltMessageHeader::getProperty<bool>(const WString&) const;
template int8_t CltMessageHeader::getProperty<int8_t>(const WString&) const;
template int16_t CltMessageHeader::getProperty<int16_t>(const WString&) const;
template int32_t CltMessageHeader::getProperty<int32_t>(const WString&) const;
template int64_t CltMessageHeader::getProperty<int64_t>(const WString&) const;
template float CltMessageHeader::getProperty<float>(const WString&) const;
template double CltMessageHeader::getProperty<double>(const WString&) const;
template WString CltMessageHeader::getProperty<WString>(const WString&) const;

const wire::MessageHeader& CltMessageHeader::toWireHeader() {
    wire::PropElems& props = wire_.JMSProperties;
    props.length(wireSequenceLength(properties_.size()));
    CORBA::ULong i = 0;
    for (const auto& [name, value] : properties_) {
        props[i].name = toCorbaWString(name);
        propertyToWire(value, props[i].val);
        ++i;
    }
    wire_.JMSTimestamp = currentTimeMillis();
    return wire_;
}

}  // namespace jms
