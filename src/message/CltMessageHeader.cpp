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
    wire_.hdr.JMSMessageID.nullValue(0);
    wire_.hdr.JMSDeliveryMode = 2;
    wire_.hdr.JMSRedelivered = false;
    wire_.hdr.JMSType.nullValue(0);
    wire_.hdr.JMSExpiration = 0;
    wire_.hdr.JMSPriority = 4;
    wire_.hdr.JMSTimestamp = 0;
    wire_.hdr.JMSCorrelationID.nullValue(0);
    wire_.hdr.JMSReplyTo.nullValue(0);
    validate();
}

CltMessageHeader::CltMessageHeader(const wire::MessageHeader& received,
                                   std::shared_ptr<const QuorixDestination> destination)
    : destination_(std::move(destination)) {
    // Field by field rather than whole: the property list is rebuilt from the
    // store at every send, so holding a second copy of it would only cost memory.
    wire_.hdr.JMSMessageID = received.JMSMessageID;
    wire_.hdr.JMSDeliveryMode = received.JMSDeliveryMode;
    wire_.hdr.JMSRedelivered = received.JMSRedelivered;
    wire_.hdr.JMSType = received.JMSType;
    wire_.hdr.JMSExpiration = received.JMSExpiration;
    wire_.hdr.JMSPriority = received.JMSPriority;
    wire_.hdr.JMSTimestamp = received.JMSTimestamp;
    wire_.hdr.JMSCorrelationID = received.JMSCorrelationID;
    wire_.hdr.JMSReplyTo = received.JMSReplyTo;

    if (received.JMSReplyTo._d()) replyTo_ = QuorixDestination::fromWire(received.JMSReplyTo.val());

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
    fields.expiration = wire_.hdr.JMSExpiration;
    fields.priority = wire_.hdr.JMSPriority;
    fields.deliveryMode = wire_.hdr.JMSDeliveryMode;
    fields.hasMessageId = wire_.hdr.JMSMessageID._d();
    // Only the prefix is checked: its first units, without converting the whole text.
    if (fields.hasMessageId) {
        const CORBA::WChar* id = wire_.hdr.JMSMessageID.val();
        for (size_t i = 0; i < 3 && id && id[i]; ++i) fields.messageId.push_back(char16_t(id[i]));
    }
    fields.timestamp = wire_.hdr.JMSTimestamp;
    validateReceivedHeader(fields);
}

WString CltMessageHeader::getMessageID() const { return readStringU(wire_.hdr.JMSMessageID); }

void CltMessageHeader::setMessageID(const WString& id) {
    checkMessageIdValue(id);
    wire_.hdr.JMSMessageID = makeStringU(id);
}

void CltMessageHeader::adoptMessageID(CORBA::WString_var& id) {
    const CORBA::WChar* text = id.in();
    // What setMessageID(toWString(id)) accepts: "ID:" and at least one more unit.
    if (!text || text[0] != L'I' || text[1] != L'D' || text[2] != L':' || text[3] == 0)
        checkMessageIdValue(toWString(text));
    wire_.hdr.JMSMessageID.val(id._retn());
}

int64_t CltMessageHeader::getTimestamp() const { return wire_.hdr.JMSTimestamp; }

void CltMessageHeader::setTimestamp(int64_t timestamp) {
    checkTimestampValue(timestamp);
    wire_.hdr.JMSTimestamp = timestamp;
}

ByteArray CltMessageHeader::getCorrelationIDAsBytes() const {
    if (!wire_.hdr.JMSCorrelationID._d()) return {};
    return hexToBytes(toWString(wire_.hdr.JMSCorrelationID.val()));
}

void CltMessageHeader::setCorrelationIDAsBytes(const ByteArray& bytes) {
    checkCorrelationIdBytesSize(bytes.size());
    wire_.hdr.JMSCorrelationID = makeStringU(bytesToHex(bytes));
}

WString CltMessageHeader::getCorrelationID() const { return readStringU(wire_.hdr.JMSCorrelationID); }

void CltMessageHeader::setCorrelationID(const WString& id) {
    checkCorrelationIdValue(id);
    wire_.hdr.JMSCorrelationID = makeStringU(id);
}

int32_t CltMessageHeader::getDeliveryMode() const { return wire_.hdr.JMSDeliveryMode; }

void CltMessageHeader::setDeliveryMode(int32_t mode) {
    checkDeliveryModeValue(mode);
    wire_.hdr.JMSDeliveryMode = mode;
}

bool CltMessageHeader::getRedelivered() const { return wire_.hdr.JMSRedelivered; }

void CltMessageHeader::setRedelivered(bool redelivered) { wire_.hdr.JMSRedelivered = redelivered; }

WString CltMessageHeader::getType() const { return readStringU(wire_.hdr.JMSType); }

void CltMessageHeader::setType(const WString& type) {
    checkTypeValue(type);
    wire_.hdr.JMSType = makeStringU(type);
}

int64_t CltMessageHeader::getExpiration() const { return wire_.hdr.JMSExpiration; }

void CltMessageHeader::setExpiration(int64_t expiration) {
    checkExpirationValue(expiration);
    wire_.hdr.JMSExpiration = expiration;
}

int32_t CltMessageHeader::getPriority() const { return wire_.hdr.JMSPriority; }

void CltMessageHeader::setPriority(int32_t priority) {
    checkPriorityValue(priority);
    wire_.hdr.JMSPriority = priority;
}

void CltMessageHeader::setReplyTo(const Destination* dest) {
    if (!dest) {
        replyTo_.reset();
        wire_.hdr.JMSReplyTo.nullValue(0);
        return;
    }
    const QuorixDestination& quorix = requireQuorix(dest, u"setJMSReplyTo: type not supported ");
    // Both copies are made before either is stored, so a failure changes nothing.
    std::unique_ptr<QuorixDestination> copy = quorix.clone();
    wire::DestinationU wireCopy;
    wireCopy.val(quorix.getIDLDestination());
    replyTo_ = std::move(copy);
    wire_.hdr.JMSReplyTo = wireCopy;
}

void CltMessageHeader::setDestination(const Destination* dest) {
    if (!dest) {
        destination_.reset();
        return;
    }
    destination_ = requireQuorix(dest, u"the destination must be a topic or a queue").clone();
}

void CltMessageHeader::shareDestination(std::shared_ptr<const QuorixDestination> dest) {
    destination_ = std::move(dest);
}

void CltMessageHeader::setProperty(const WString& name, PropertyValue value) {
    checkPropertyName(name);
    if (const WString* text = value.get<WString>(); text && text->size() > maxStringPropertyLength)
        throw JMSException(u"setStringProperty: length > 65535");
    if (!properties_.insert(name, std::move(value)))
        throw JMSException(u"internal error: could not insert property");
    propertiesWritten_ = false;
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

wire::JMSMsg& CltMessageHeader::toWire() {
    if (!propertiesWritten_) {
        wire::PropElems& props = wire_.hdr.JMSProperties;
        props.length(wireSequenceLength(properties_.size()));
        CORBA::ULong i = 0;
        for (const auto& [name, value] : properties_) {
            props[i].name = toCorbaWString(name)._retn();
            propertyToWire(value, props[i].val);
            ++i;
        }
        propertiesWritten_ = true;
    }
    wire_.hdr.JMSTimestamp = currentTimeMillis();
    return wire_;
}

}  // namespace jms
