#include "endpoint/CltMessageProducer.h"

#include <limits>
#include <optional>

#include "api/ProviderCall.h"
#include "endpoint/EndpointName.h"
#include "idl/WireText.h"
#include "message/CltMessage.h"
#include "message/MessageTime.h"

namespace jms {

using pcall::delegate;
using pcall::Exc;

namespace {

// The expiration of a message sent now with this time to live; 0 never expires.
int64_t expirationFor(int64_t timeToLive) {
    if (timeToLive == 0) return 0;
    const int64_t now = currentTimeMillis();
    // A time to live past the end of the clock means never in practice, not a wrap.
    if (timeToLive > std::numeric_limits<int64_t>::max() - now) {
        return std::numeric_limits<int64_t>::max();
    }
    return now + timeToLive;
}

void checkPriority(int32_t priority) {
    if (priority < 0 || priority > 9) throw JMSException(u"badPriority");
}

}  // namespace

CltMessageProducer::CltMessageProducer(std::shared_ptr<SessionCore> session,
                                       Destination* destination, const wire::UID& producerID)
    : session_(std::move(session)), producerID_(producerID) {
    if (!session_) throw JMSException(u"internal null session");
    if (!destination) throw JMSException(u"internal null destination");
    const QuorixDestination* own = asQuorixDestination(destination);
    if (!own) throw JMSException(u"badDestType");
    producerName_ = decimalText(producerID_.uid) + u"@" + own->getName();
    if (!session_->context().supportsPersistent) deliveryMode_ = 1;
    destination_ = own->clone();
}

CltMessageProducer::~CltMessageProducer() { session_->removeProducer(this); }

bool CltMessageProducer::isClosed() {
    MutexLock lock(rmutex());
    return closed_;
}

void CltMessageProducer::markClosed() {
    MutexLock lock(rmutex());
    closed_ = true;
}

WString CltMessageProducer::producerName() { return producerName_; }

template <class Work>
decltype(auto) CltMessageProducer::framed(Work&& work) {
    MutexLock state(session_->stateLock());
    session_->checkInUseAndClosed(false, true);
    MutexLock own(rmutex());
    if (closed_) throw JMSException(u"producerClosed");
    return work();
}

void CltMessageProducer::checkDeliveryMode(int32_t mode) const {
    const SessionContext& context = session_->context();
    if (mode == 2) {
        if (!context.supportsPersistent) throw JMSException(u"unsupByDriverPM");
    } else if (mode == 1) {
        if (!context.supportsNonPersistent) throw JMSException(u"unsupByDriverNPM");
    } else {
        throw JMSException(u"badDeliveryMode");
    }
}

void CltMessageProducer::setDisableMessageID(bool value) {
    framed([&] { disableMessageID_ = value; });
}
bool CltMessageProducer::getDisableMessageID() {
    return framed([&] { return disableMessageID_; });
}
void CltMessageProducer::setDisableMessageTimestamp(bool value) {
    framed([&] { disableMessageTimestamp_ = value; });
}
bool CltMessageProducer::getDisableMessageTimestamp() {
    return framed([&] { return disableMessageTimestamp_; });
}
void CltMessageProducer::setDeliveryMode(int32_t mode) {
    framed([&] {
        checkDeliveryMode(mode);
        deliveryMode_ = mode;
    });
}
int32_t CltMessageProducer::getDeliveryMode() {
    return framed([&] { return deliveryMode_; });
}
void CltMessageProducer::setPriority(int32_t priority) {
    framed([&] {
        checkPriority(priority);
        priority_ = priority;
    });
}
int32_t CltMessageProducer::getPriority() {
    return framed([&] { return priority_; });
}
void CltMessageProducer::setTimeToLive(int32_t timeToLive) {
    framed([&] {
        if (timeToLive < 0) throw JMSException(u"badTimeToLive");
        timeToLive_ = timeToLive;
    });
}
int32_t CltMessageProducer::getTimeToLive() {
    return framed([&] { return timeToLive_; });
}

void CltMessageProducer::send(Destination* destination, Message* message, int32_t deliveryMode,
                              int32_t priority, int64_t timeToLive) {
    if (!message) throw JMSException(u"badArg null message");
    if (!destination) throw JMSException(u"badArg null destination");
    if (timeToLive < 0) throw JMSException(u"badTimeToLive");
    checkPriority(priority);
    checkDeliveryMode(deliveryMode);
    const QuorixDestination* target = asQuorixDestination(destination);
    if (!target) throw JMSException(u"badDestType");
    sendChecked(target, message, SendValues{deliveryMode, priority, timeToLive});
}

void CltMessageProducer::send(Message* message, int32_t deliveryMode, int32_t priority,
                              int64_t timeToLive) {
    if (!message) throw JMSException(u"badArg null message");
    if (timeToLive < 0) throw JMSException(u"badTimeToLive");
    checkPriority(priority);
    checkDeliveryMode(deliveryMode);
    sendChecked(nullptr, message, SendValues{deliveryMode, priority, timeToLive});
}

void CltMessageProducer::send(Destination* destination, Message* message) {
    if (!message) throw JMSException(u"badArg null message");
    if (!destination) throw JMSException(u"badArg null destination");
    const QuorixDestination* target = asQuorixDestination(destination);
    if (!target) throw JMSException(u"badDestType");
    sendChecked(target, message, std::nullopt);
}

void CltMessageProducer::send(Message* message) {
    if (!message) throw JMSException(u"badArg null message");
    sendChecked(nullptr, message, std::nullopt);
}

void CltMessageProducer::sendChecked(const QuorixDestination* target, Message* message,
                                     std::optional<SendValues> values) {
    UseGuard use(*session_, false);
    {
        MutexLock lock(rmutex());
        if (closed_) throw JMSException(u"producerClosed");
        if (!values) values = SendValues{deliveryMode_, priority_, timeToLive_};
    }
    auto* own = dynamic_cast<CltMessage*>(message);
    // From the first stamp to the identifier given back, a send of the same
    // message on another thread waits: the broker reads the header in place.
    std::optional<MutexLock> messageLock;
    if (own) messageLock.emplace(own->wireLock());
    message->setJMSExpiration(expirationFor(values->timeToLive));
    message->setJMSPriority(values->priority);
    message->setJMSDeliveryMode(values->deliveryMode);
    if (own && !target) {
        // The producer's destination never changes: shared, not copied per send.
        own->shareDestination(destination_);
    } else {
        // The header keeps its own copy; the cast only picks the face.
        message->setJMSDestination(
            const_cast<QuorixDestination*>(target ? target : destination_.get()));
    }
    if (!own) throw JMSException(u"internal: The message has an unexpected type");
    // The message's own wire form: the header is not copied, nor a bytes body.
    const wire::JMSMsg& wireMessage = own->wireForSend();

    static const pcall::Table<CltMessageProducer> table{
        {{Exc::Store, pcall::word()},
         {Exc::Destination, delegate(&CltMessageProducer::translateDestination)},
         {Exc::SessionID, delegate(&CltMessageProducer::translateSessionID)},
         {Exc::ConnectionID, delegate(&CltMessageProducer::translateConnectionID)},
         {Exc::Concurrency, pcall::word()},
         {Exc::Full, pcall::word()},
         {Exc::Resource, pcall::word()},
         {Exc::Message, pcall::word()},
         {Exc::Producer, delegate(&CltMessageProducer::translateProducer)},
         {Exc::BadState, delegate(&CltMessageProducer::translateBadState)},
         {Exc::Sec, pcall::word()},
         {Exc::Transaction, pcall::word()},
         {Exc::System, delegate(&CltMessageProducer::translateSystem)}},
        {pcall::retryResource}};
    CORBA::WString_var messageID;
    CORBA::LongLong timestamp = 0;
    wireServer::Provider_ptr provider = session_->provider();
    table.call(*this, [&] {
        if (target) {
            provider->produceTo(target->getIDLDestination(), wireMessage, producerID_,
                                messageID.out(), timestamp);
        } else {
            provider->produce(wireMessage, producerID_, messageID.out(), timestamp);
        }
    });
    own->adoptMessageID(messageID);
    message->setJMSTimestamp(timestamp);
}

void CltMessageProducer::close() {
    UseGuard use(*session_, false);
    {
        MutexLock lock(rmutex());
        if (closed_) throw JMSException(u"producerClosed");
        closed_ = true;
    }
    // Outside the producer's lock: the session's state lock always comes first.
    session_->removeProducer(this);
    static const pcall::Table<CltMessageProducer> table{
        {{Exc::Store, pcall::fixed(u"svrStore: CltException.ERR_PRODUCER_CLOSED")},
         {Exc::Destination, pcall::fixed(u"svrDestination: CltException.ERR_PRODUCER_CLOSED")},
         {Exc::SessionID, delegate(&CltMessageProducer::translateSessionID)},
         {Exc::ConnectionID, delegate(&CltMessageProducer::translateConnectionID)},
         {Exc::Concurrency, pcall::fixed(u"svrConcurrency: CltException.ERR_PRODUCER_CLOSED")},
         {Exc::Producer, pcall::fixed(u"svrProducer: CltException.ERR_PRODUCER_CLOSED")},
         {Exc::BadState, delegate(&CltMessageProducer::translateBadState)},
         {Exc::Sec, pcall::fixed(u"svrSec: CltException.ERR_PRODUCER_CLOSED")},
         {Exc::System, delegate(&CltMessageProducer::translateSystem)}}};
    table.call(*this, [&] { session_->closer()->closeProducer(producerID_); });
}

JMSException CltMessageProducer::closingWith(const char16_t* message) {
    markClosed();
    return JMSException(message);
}

JMSException CltMessageProducer::translateSessionID() {
    markClosed();
    return session_->translateSessionID();
}
JMSException CltMessageProducer::translateConnectionID() {
    markClosed();
    return session_->translateConnectionID();
}
JMSException CltMessageProducer::translateSystem() {
    markClosed();
    return session_->translateSystem();
}
JMSException CltMessageProducer::translateBadState() {
    markClosed();
    return session_->translateBadState();
}
JMSException CltMessageProducer::translateProducer() {
    return closingWith(u"svrProducer CltException.ERR_PRODUCER_CLOSED");
}
JMSException CltMessageProducer::translateDestination() {
    return closingWith(u"svrDestination  CltException.ERR_PRODUCER_CLOSED");
}

}  // namespace jms
