#include "endpoint/CltMessageConsumer.h"

#include <limits>

#include "api/ProviderCall.h"
#include "connection/CallBounds.h"
#include "endpoint/EndpointName.h"
#include "idl/WireValues.h"
#include "message/CltMessage.h"
#include "message/MessageFromWire.h"
#include "sys/wq.h"

namespace jms {

using pcall::delegate;
using pcall::Exc;

namespace {

// The wqClock deadline `timeoutMs` from now, without wrapping.
int64_t deadlineAfter(int64_t timeoutMs) {
    const int64_t now = wqClock();
    const int64_t limit = (std::numeric_limits<int64_t>::max() - now) / 1000;
    return timeoutMs >= limit ? std::numeric_limits<int64_t>::max() : now + timeoutMs * 1000;
}

}  // namespace

CltMessageConsumer::CltMessageConsumer(std::shared_ptr<SessionCore> session,
                                       Destination* destination, const wire::UID& consumerID,
                                       const WString& messageSelector,
                                       const WString* subscriptionName)
    : session_(std::move(session)),
      durable_(subscriptionName != nullptr),
      consumerID_(consumerID),
      messageSelector_(messageSelector) {
    consumerName_ = durable_ ? *subscriptionName : decimalText(consumerID_.uid);
    if (!session_) throw JMSException(u"internal null session");
    if (!destination) throw JMSException(u"internal null dest");
    if (consumerName_.empty()) throw JMSException(u"internal null name");
    const QuorixDestination* own = asQuorixDestination(destination);
    if (!own) throw JMSException(u"badDestType");
    destination_ = own->clone();
}

CltMessageConsumer::~CltMessageConsumer() {
    session_->removeConsumer(this);
    session_->waitForDelivery(this);
}

bool CltMessageConsumer::isClosed() {
    MutexLock lock(rmutex());
    return closed_;
}

void CltMessageConsumer::markClosed() {
    MutexLock lock(rmutex());
    closed_ = true;
}

MessageListener* CltMessageConsumer::getListener() {
    MutexLock lock(rmutex());
    return listener_;
}

template <class Work>
decltype(auto) CltMessageConsumer::framed(Work&& work) {
    MutexLock state(session_->stateLock());
    session_->checkInUseAndClosed(false, true);
    MutexLock own(rmutex());
    if (closed_) throw JMSException(u"consumerClosed");
    return work();
}

WString CltMessageConsumer::getMessageSelector() {
    return framed([&] { return messageSelector_; });
}

MessageListener* CltMessageConsumer::getMessageListener() {
    return framed([&] { return listener_; });
}

void CltMessageConsumer::setMessageListener(MessageListener* listener) {
    if (!listener) throw JMSException(u"badArg null MessageListener");
    {
        MutexLock state(session_->stateLock());
        session_->checkInUseAndClosed(false, false);
        MutexLock own(rmutex());
        if (closed_) throw JMSException(u"consumerClosed");
        if (listener_) {
            // The provider pushes already; the new listener only replaces the old here.
            listener_ = listener;
            return;
        }
        session_->beginListenerRegistration();
    }
    struct EndRegistration {
        SessionCore& session;
        ~EndRegistration() { session.endListenerRegistration(); }
    } endRegistration{*session_};
    static const pcall::Table<CltMessageConsumer> table{
        {{Exc::Destination, delegate(&CltMessageConsumer::translateDestination)},
         {Exc::SessionID, delegate(&CltMessageConsumer::translateSessionID)},
         {Exc::ConnectionID, delegate(&CltMessageConsumer::translateConnectionID)},
         {Exc::Concurrency, pcall::word()},
         {Exc::Consumer, delegate(&CltMessageConsumer::translateConsumer)},
         {Exc::BadState, delegate(&CltMessageConsumer::translateBadState)},
         {Exc::Sec, pcall::word()},
         {Exc::Transaction, pcall::word()},
         {Exc::System, delegate(&CltMessageConsumer::translateSystem)}}};
    table.call(*this, [&] { session_->provider()->setMessageListener(consumerID_); });
    // Kept only once the provider agreed: a refused call leaves nothing that
    // would make a retry return without asking again.
    {
        MutexLock own(rmutex());
        listener_ = listener;
    }
    session_->incrementListenerCount();
}

Message* CltMessageConsumer::receive(int64_t timeout) {
    if (timeout < 0) throw JMSException(u"badArg timeout: must be greater than or equal to 0");
    return receive(Mode::Timeout, timeout);
}

Message* CltMessageConsumer::receive() { return receive(Mode::Wait, 0); }

Message* CltMessageConsumer::receiveNoWait() { return receive(Mode::NoWait, 0); }

Message* CltMessageConsumer::receive(Mode mode, int64_t timeout) {
    UseGuard use(*session_, false);
    {
        MutexLock lock(rmutex());
        if (closed_) throw JMSException(u"consumerClosed");
    }
    // A stopped connection delivers nothing: a blocking receive waits for the
    // start, the others wait no longer than they were asked to. Browsing takes
    // nothing, so the provider serves it on a stopped connection too.
    const int64_t deadline = mode == Mode::Wait     ? -1
                             : mode == Mode::NoWait ? wqClock()
                                                    : deadlineAfter(timeout);
    ConnectionState& connection = session_->connection();
    if (!browsing_ || connection.closed()) {
        switch (connection.waitUntilStarted(deadline)) {
            case ConnectionState::StartWait::Closed: throw JMSException(u"connectionClosed");
            case ConnectionState::StartWait::TimedOut: return nullptr;
            case ConnectionState::StartWait::Started: break;
        }
    }
    if (mode == Mode::Timeout && deadline != std::numeric_limits<int64_t>::max()) {
        timeout = std::max<int64_t>(0, (deadline - wqClock() + 999) / 1000);
    }

    static const pcall::Table<CltMessageConsumer> table{
        {{Exc::Store, pcall::word()},
         {Exc::Destination, delegate(&CltMessageConsumer::translateDestination)},
         {Exc::SessionID, delegate(&CltMessageConsumer::translateSessionID)},
         {Exc::ConnectionID, delegate(&CltMessageConsumer::translateConnectionID)},
         {Exc::Concurrency, pcall::word()},
         {Exc::Consumer, delegate(&CltMessageConsumer::translateConsumer)},
         {Exc::BadArg, pcall::word()},
         {Exc::Message, pcall::word()},
         {Exc::BadState, delegate(&CltMessageConsumer::translateBadState)},
         {Exc::Sec, pcall::word()},
         {Exc::Transaction, pcall::word()},
         {Exc::Busy, pcall::word()},
         {Exc::System, delegate(&CltMessageConsumer::translateSystem)}},
        {pcall::retryBusy}};
    // Waiting receives go through the session's own reference, bounded by
    // what they were asked to wait plus the configured call time-out.
    wireServer::Provider_ptr receiver = session_->receiver();
    if (mode == Mode::Wait) {
        callbounds::setBound(receiver, callbounds::receiveMs(-1));
        wire::JMSMsg_var received = table.call(*this, [&] { return receiver->consume(consumerID_); });
        return build(std::move(received.inout())).release();
    }
    if (mode == Mode::Timeout) callbounds::setBound(receiver, callbounds::receiveMs(timeout));
    wire::NullJMSMsg_var received = table.call(*this, [&] {
        return mode == Mode::NoWait ? session_->provider()->consumeNoBlock(consumerID_)
                                    : receiver->consumeTimeOut(timeout, consumerID_);
    });
    if (!readNullJMSMsg(received.in())) return nullptr;
    return build(std::move(received->val())).release();
}

std::unique_ptr<CltMessage> CltMessageConsumer::build(wire::JMSMsg&& received) const {
    // The received message is ours: its body buffer becomes the message's.
    std::unique_ptr<CltMessage> message = takeMessage(std::move(received), destination_);
    if (!message) throw JMSException(u"internal  unknown message type");
    return message;
}

void CltMessageConsumer::close() { closeConsumer(); }

void CltMessageConsumer::closeConsumer() {
    // A listener running elsewhere finishes first, while it can still use the session.
    session_->waitForDelivery(this);
    UseGuard use(*session_, false);
    bool hadListener = false;
    {
        MutexLock lock(rmutex());
        if (closed_) throw JMSException(u"consumerClosed");
        closed_ = true;
        hadListener = listener_ != nullptr;
    }
    // Outside the consumer's lock: the session's state lock always comes first.
    if (hadListener) session_->decrementListenerCount();
    session_->removeConsumer(this);
    // One that began meanwhile: the caller may delete the listener once this returns.
    session_->waitForDelivery(this);
    static const pcall::Table<CltMessageConsumer> table{
        {{Exc::Store, pcall::fixed(u"svrStore: CltException.ERR_CONSUMER_CLOSED")},
         {Exc::Destination, pcall::fixed(u"svrDestination CltException.ERR_CONSUMER_CLOSED")},
         {Exc::SessionID, delegate(&CltMessageConsumer::translateSessionID)},
         {Exc::ConnectionID, delegate(&CltMessageConsumer::translateConnectionID)},
         {Exc::Concurrency, pcall::fixed(u"svrConcurrency: CltException.ERR_CONSUMER_CLOSED")},
         {Exc::Consumer, pcall::fixed(u"svrConsumer CltException.ERR_CONSUMER_CLOSED")},
         {Exc::BadState, delegate(&CltMessageConsumer::translateBadState)},
         {Exc::Sec, pcall::fixed(u"svrSec")},
         {Exc::System, delegate(&CltMessageConsumer::translateSystem)}}};
    table.call(*this, [&] { session_->closer()->closeConsumer(consumerID_); });
}

JMSException CltMessageConsumer::translateSessionID() {
    markClosed();
    return session_->translateSessionID();
}
JMSException CltMessageConsumer::translateConnectionID() {
    markClosed();
    return session_->translateConnectionID();
}
JMSException CltMessageConsumer::translateSystem() {
    markClosed();
    return session_->translateSystem();
}
JMSException CltMessageConsumer::translateBadState() {
    markClosed();
    return session_->translateBadState();
}
JMSException CltMessageConsumer::translateConsumer() {
    markClosed();
    return JMSException(u"svrConsumer CltException.ERR_CONSUMER_CLOSED");
}
JMSException CltMessageConsumer::translateDestination() {
    markClosed();
    return JMSException(u"svrDestination CltException.ERR_CONSUMER_CLOSED");
}

}  // namespace jms
