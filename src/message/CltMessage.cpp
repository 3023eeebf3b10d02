#include "message/CltMessage.h"

#include <jms/JMSException.h>

#include "sys/Mutex.h"

namespace jms {

namespace {

// Hands the caller a fresh copy; a failure of any kind surfaces as `failureText`.
Destination* copyForCaller(const QuorixDestination* held, const char16_t* failureText) {
    if (!held) return nullptr;
    try {
        return held->clone().release();
    } catch (...) {
        throw ResourceAllocationException(failureText);
    }
}

}  // namespace

CltMessage::CltMessage() = default;

CltMessage::CltMessage(const wire::MessageHeader& received,
                       std::shared_ptr<const QuorixDestination> destination)
    : header_(received, std::move(destination)) {}

CltMessage::~CltMessage() = default;

void CltMessage::getJMSMsg(wire::JMSMsg& out) {
    MutexLock lock(rmutex());
    out = wireForSend();
}

const wire::JMSMsg& CltMessage::wireForSend() {
    MutexLock lock(rmutex());
    wire::JMSMsg* wire = nullptr;
    try {
        wire = &header_.toWire();
    } catch (...) {
        throw JMSException(headerFailureText());
    }
    prepareBody(wire->msg);
    return *wire;
}

WString CltMessage::getJMSMessageID() { return header_.getMessageID(); }
void CltMessage::setJMSMessageID(const WString& id) { header_.setMessageID(id); }
int64_t CltMessage::getJMSTimestamp() { return header_.getTimestamp(); }
void CltMessage::setJMSTimestamp(int64_t timestamp) { header_.setTimestamp(timestamp); }
ByteArray CltMessage::getJMSCorrelationIDAsBytes() { return header_.getCorrelationIDAsBytes(); }
void CltMessage::setJMSCorrelationIDAsBytes(const ByteArray& correlationID) {
    header_.setCorrelationIDAsBytes(correlationID);
}
void CltMessage::setJMSCorrelationID(const WString& correlationID) {
    header_.setCorrelationID(correlationID);
}
WString CltMessage::getJMSCorrelationID() { return header_.getCorrelationID(); }
Destination* CltMessage::getJMSReplyTo() {
    return copyForCaller(header_.replyTo(), u"getJMSReplyTo");
}
void CltMessage::setJMSReplyTo(Destination* replyTo) { header_.setReplyTo(replyTo); }
Destination* CltMessage::getJMSDestination() {
    return copyForCaller(header_.destination(), u"getJMSDestination");
}
void CltMessage::setJMSDestination(Destination* destination) {
    header_.setDestination(destination);
}
int32_t CltMessage::getJMSDeliveryMode() { return header_.getDeliveryMode(); }
void CltMessage::setJMSDeliveryMode(int32_t deliveryMode) { header_.setDeliveryMode(deliveryMode); }
bool CltMessage::getJMSRedelivered() { return header_.getRedelivered(); }
void CltMessage::setJMSRedelivered(bool redelivered) { header_.setRedelivered(redelivered); }
WString CltMessage::getJMSType() { return header_.getType(); }
void CltMessage::setJMSType(const WString& type) { header_.setType(type); }
int64_t CltMessage::getJMSExpiration() { return header_.getExpiration(); }
void CltMessage::setJMSExpiration(int64_t expiration) { header_.setExpiration(expiration); }
int32_t CltMessage::getJMSPriority() { return header_.getPriority(); }
void CltMessage::setJMSPriority(int32_t priority) { header_.setPriority(priority); }

void CltMessage::clearProperties() { header_.clearProperties(); }
bool CltMessage::propertyExists(const WString& name) {
    return header_.properties().contains(name);
}
bool CltMessage::getBooleanProperty(const WString& name) {
    return header_.getProperty<bool>(name);
}
int8_t CltMessage::getByteProperty(const WString& name) {
    return header_.getProperty<int8_t>(name);
}
int16_t CltMessage::getShortProperty(const WString& name) {
    return header_.getProperty<int16_t>(name);
}
int32_t CltMessage::getIntProperty(const WString& name) {
    return header_.getProperty<int32_t>(name);
}
int64_t CltMessage::getLongProperty(const WString& name) {
    return header_.getProperty<int64_t>(name);
}
float CltMessage::getFloatProperty(const WString& name) {
    return header_.getProperty<float>(name);
}
double CltMessage::getDoubleProperty(const WString& name) {
    return header_.getProperty<double>(name);
}
WString CltMessage::getStringProperty(const WString& name) {
    return header_.getProperty<WString>(name);
}
Object* CltMessage::getObjectProperty(const WString&) { throw NotImplementedException(); }
WStringList CltMessage::getPropertyNames() { return header_.properties().names(); }

void CltMessage::setProperty(const WString& name, PropertyValue value) {
    if (readOnly_) throw MessageNotWriteableException(u"message in read only mode");
    header_.setProperty(name, std::move(value));
}

void CltMessage::setBooleanProperty(const WString& name, bool value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setByteProperty(const WString& name, int8_t value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setShortProperty(const WString& name, int16_t value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setIntProperty(const WString& name, int32_t value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setLongProperty(const WString& name, int64_t value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setFloatProperty(const WString& name, float value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setDoubleProperty(const WString& name, double value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setStringProperty(const WString& name, const WString& value) {
    setProperty(name, PropertyValue(value));
}
void CltMessage::setObjectProperty(const WString&, Object*) { throw NotImplementedException(); }

void CltMessage::acknowledge() { throw NotImplementedException(); }

}  // namespace jms
