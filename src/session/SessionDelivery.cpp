// The delivery path: messages the provider pushes to a session's listeners.
#include <memory>

#include "endpoint/CltMessageConsumer.h"
#include "idl/WireText.h"
#include "message/MessageFromWire.h"
#include "session/SessionCore.h"

namespace jms {

namespace {

// The contract's refusals carry a reason and code 0; the blanks in the
// reasons are what peers expect.
template <class WireException>
[[noreturn]] void refuse(const char16_t* reason) {
    throw WireException(toCorbaWString(reason).in(), 0);
}

}  // namespace

void SessionCore::onMessage(const wire::JMSMsg& message, const wire::UID& consumerID) {
    MutexLock lock(stateLock());
    // The session's own setMessageListener call is still under way: the
    // provider may push as soon as it registered the listener. Deliver once
    // the call has returned rather than take it for a concurrent use.
    while (inUse_ && registeringListener_ && deliveringThread_ == 0 && !closed_) {
        lock.unlock();
        {
            MutexLock signal(mutex());
            while (registeringListener_) condition().wait(0);
        }
        lock.relock();
    }
    if (deliveringThread_ != 0 || inUse_) {
        // The delivery under way on another thread keeps its mark: clearing
        // it would let a close or deletion stop waiting for that listener.
        closeLocally(false);
        refuse<wire::BadStateException>(u" Concurrent calls to onMessage ");
    }
    if (closed_) refuse<wire::SessionIDException>(u" the session is closed ");
    CltMessageConsumer* consumer = findConsumer(consumerID);
    if (!consumer || consumer->isClosed()) refuse<wire::ConsumerException>(u" consumer is closed ");
    MessageListener* listener = consumer->getListener();
    if (!listener) {
        closeLocally(false);
        refuse<wire::BadStateException>(u" message listener not found");
    }
    deliveringThread_ = wqThrId();
    deliveringConsumer_ = consumer;
    lock.unlock();

    // The consumer stays alive meanwhile: closing or deleting it on another
    // thread waits for this delivery to end.
    deliver(message, *consumer, *listener);
    endDelivery();
}

void SessionCore::deliver(const wire::JMSMsg& message, CltMessageConsumer& consumer,
                          MessageListener& listener) {
    try {
        // Deleted before the broker's call returns: the body can stay where the broker put it.
        std::unique_ptr<CltMessage> delivered = borrowMessage(message, consumer.sharedDestination());
        // Map, stream, object and unknown bodies are dropped: no listener can read them.
        if (delivered) listener.onMessage(delivered.get());
    } catch (...) {
        // A listener's failure is its own; the provider hears nothing of it.
    }
}

void SessionCore::endDelivery() {
    {
        MutexLock lock(stateLock());
        deliveringThread_ = 0;
        deliveringConsumer_ = nullptr;
    }
    MutexLock signal(mutex());
    condition().broadcast();
}

CltMessageConsumer* SessionCore::findConsumer(const wire::UID& consumerID) {
    for (auto it = consumers_.begin(); it != consumers_.end();) {
        if ((*it)->isClosed()) {
            it = consumers_.erase(it);
        } else if ((*it)->getConsumerID().uid == consumerID.uid) {
            return *it;
        } else {
            ++it;
        }
    }
    return nullptr;
}

void SessionCore::waitForDelivery(const CltMessageConsumer* consumer) {
    const WqThreadId self = wqThrId();
    MutexLock signal(mutex());
    for (;;) {
        const WqThreadId thread = deliveringThread_;
        if (thread == 0 || thread == self) return;
        if (consumer && deliveringConsumer_ != consumer) return;
        condition().wait(0);
    }
}

void SessionCore::beginListenerRegistration() {
    MutexLock lock(stateLock());
    inUse_ = true;
    registeringListener_ = true;
}

void SessionCore::endListenerRegistration() {
    {
        MutexLock lock(stateLock());
        inUse_ = false;
        registeringListener_ = false;
    }
    MutexLock signal(mutex());
    condition().broadcast();
}

}  // namespace jms
