#include "session/SessionCore.h"

#include <algorithm>

#include "connection/CallBounds.h"
#include "endpoint/CltMessageConsumer.h"
#include "endpoint/CltMessageProducer.h"
#include "session/SessionListener.h"

namespace jms {

namespace {

const char16_t* const sessionClosedText = u"sessionClosed: checkInUseAndClosed";

// Walks the registry once, dropping every entry that reports itself closed.
template <class Endpoint>
void purgeClosed(std::vector<Endpoint*>& registry) {
    registry.erase(std::remove_if(registry.begin(), registry.end(),
                                  [](Endpoint* e) { return e->isClosed(); }),
                   registry.end());
}

template <class Endpoint>
void removeFirst(std::vector<Endpoint*>& registry, Endpoint* entry) {
    auto it = std::find(registry.begin(), registry.end(), entry);
    if (it != registry.end()) registry.erase(it);
}

}  // namespace

SessionCore::SessionCore(SessionContext context, wireServer::Provider_ptr provider, bool transacted,
                         int32_t ackMode)
    : context_(std::move(context)),
      provider_(wireServer::Provider::_duplicate(provider)),
      receiver_(callbounds::boundedCopy(provider, callbounds::receiveMs(-1))),
      transacted_(transacted),
      ackMode_(ackMode) {}

SessionCore::~SessionCore() = default;

void SessionCore::activate() {
    endpoint_ = std::make_unique<SessionEndpoint>(shared_from_this());
    listenerReference_ = wireClient::MessageListener::_duplicate(endpoint_->reference());
}

void SessionCore::retire() {
    if (endpoint_) endpoint_->retire();
}

void SessionCore::waitForCallbacks() {
    waitForDelivery(nullptr);
    retire();
}

SessionCore::State SessionCore::state() const {
    MutexLock lock(stateLock());
    return closed_ ? State::Closed : invalidated_ ? State::Invalidated : State::Open;
}

bool SessionCore::isClosed() {
    MutexLock lock(stateLock());
    if (closed_) return true;
    if (invalidated_) {
        closeLocally(true);
        return true;
    }
    return false;
}

void SessionCore::closeFromConnection() {
    MutexLock lock(stateLock());
    closeLocally(true);
}

void SessionCore::addConsumer(CltMessageConsumer* consumer) {
    purgeClosed(consumers_);
    consumers_.push_back(consumer);
}

void SessionCore::addProducer(CltMessageProducer* producer) {
    purgeClosed(producers_);
    producers_.push_back(producer);
}

void SessionCore::removeConsumer(CltMessageConsumer* consumer) {
    MutexLock lock(stateLock());
    removeFirst(consumers_, consumer);
}

void SessionCore::removeProducer(CltMessageProducer* producer) {
    MutexLock lock(stateLock());
    removeFirst(producers_, producer);
}

void SessionCore::checkInUseAndClosed(bool closeIfInvalid, bool) {
    if (closed_) throw JMSException(sessionClosedText);
    if (invalidated_) {
        if (closeIfInvalid) closeLocally(true);
        throw JMSException(sessionClosedText);
    }
    if (inUse_) throw JMSException(u"concurrency: ");
}

void SessionCore::beginUse(bool closeIfInvalid) {
    MutexLock lock(stateLock());
    checkInUseAndClosed(closeIfInvalid, true);
    inUse_ = true;
}

void SessionCore::endUse() {
    MutexLock lock(stateLock());
    inUse_ = false;
}

void SessionCore::finishCreation(CltMessageProducer* producer) {
    MutexLock lock(stateLock());
    inUse_ = false;
    // A local close while the provider call ran leaves nothing to register into.
    if (closed_) {
        producer->markClosed();
        return;
    }
    addProducer(producer);
}

void SessionCore::finishCreation(CltMessageConsumer* consumer) {
    MutexLock lock(stateLock());
    inUse_ = false;
    if (closed_) {
        consumer->markClosed();
        return;
    }
    addConsumer(consumer);
}

void SessionCore::closeForCaller() {
    MutexLock lock(stateLock());
    if (closed_) throw JMSException(u"sessionClosed: close");
    const bool wasInvalid = invalidated_;
    closeLocally(true);
    if (wasInvalid) throw JMSException(u"sessionClosed: close");
}

void SessionCore::beginUnsubscribe(const WString& name) {
    MutexLock lock(stateLock());
    checkInUseAndClosed(true, true);
    purgeClosed(consumers_);
    // Only a durable subscriber carries a subscription name; other consumers
    // are named by their identifier, which must not block a subscription "5".
    for (CltMessageConsumer* consumer : consumers_) {
        if (consumer->isDurable() && consumer->consumerName() == name) {
            throw JMSException(u"inUse");
        }
    }
    inUse_ = true;
}

void SessionCore::incrementListenerCount() {
    MutexLock lock(countLock_);
    ++listenerCount_;
}

void SessionCore::decrementListenerCount() {
    MutexLock lock(countLock_);
    --listenerCount_;
}

JMSException SessionCore::closingWith(const char16_t* message) {
    closeFromConnection();
    return JMSException(message);
}

JMSException SessionCore::invalidatingWith(const char16_t* message) {
    MutexLock lock(stateLock());
    invalidated_ = true;
    return JMSException(message);
}

JMSException SessionCore::translateBadStateClosing() { return closingWith(u"BadStateException"); }
JMSException SessionCore::translateSystemClosing() { return closingWith(u"SystemException"); }
JMSException SessionCore::translateConnectionIDClosing() {
    return closingWith(u"ConnectionIDException");
}
JMSException SessionCore::translateSessionIDClosing() { return closingWith(u"SessionIDException"); }
JMSException SessionCore::translateBadState() { return invalidatingWith(u"BadStateException"); }
JMSException SessionCore::translateSystem() { return invalidatingWith(u"SystemException"); }
JMSException SessionCore::translateConnectionID() {
    return invalidatingWith(u"ConnectionIDException");
}
JMSException SessionCore::translateSessionID() { return invalidatingWith(u"SessionIDException"); }

void SessionCore::closeLocally(bool releaseServant) {
    if (closed_) return;
    closed_ = true;
    for (CltMessageProducer* producer : producers_) producer->markClosed();
    producers_.clear();
    for (CltMessageConsumer* consumer : consumers_) consumer->markClosed();
    consumers_.clear();
    if (context_.factoryFlag && releaseServant) {
        listenerReference_ = wireClient::MessageListener::_nil();
    }
}

UseGuard::UseGuard(SessionCore& session, bool closeIfInvalid) : session_(session) {
    session_.beginUse(closeIfInvalid);
}

UseGuard::~UseGuard() {
    if (held_) session_.endUse();
}

}  // namespace jms
