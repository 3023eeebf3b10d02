#include "connection/CltConnectionListenerImpl.h"

#include <memory>

#include <jms/JMSException.h>

namespace jms {

namespace jc = zorvane::velt::quorix::corba::jmsCommon;

namespace {

// The servant whose callback this thread is running, if any.
thread_local const CltConnectionListenerImpl* tlCallbackOwner = nullptr;

// What an event code means to the caller; null for codes the caller never hears of.
std::unique_ptr<JMSException> eventException(CORBA::Long code) {
    switch (code) {
    case 104: return std::make_unique<JMSException>(u"SessionIDException", u"ERR_SESSION_CLOSED");
    case 107: return std::make_unique<JMSException>(u"ConsumerException", u"ERR_CONSUMER_CLOSED");
    case 117: return std::make_unique<JMSException>(u"MessageLostException");
    default: return nullptr;
    }
}

}  // namespace

// Counts a callback as in progress from a successful enter() to destruction,
// and marks this thread as running it.
class CltConnectionListenerImpl::CallbackScope {
public:
    explicit CallbackScope(CltConnectionListenerImpl& servant) : servant_(servant) {}
    ~CallbackScope() {
        if (!entered_) return;
        tlCallbackOwner = previousOwner_;
        MutexLock lock(servant_.mutex());
        --servant_.callbacksInProgress_;
        servant_.condition().broadcast();
    }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

    /// The listener to call, or null when the event is to be ignored.
    ExceptionListener* enter() {
        MutexLock lock(servant_.mutex());
        if (servant_.shutdown_ || servant_.listener_ == nullptr) return nullptr;
        ++servant_.callbacksInProgress_;
        entered_ = true;
        previousOwner_ = tlCallbackOwner;
        tlCallbackOwner = &servant_;
        return servant_.listener_;
    }

private:
    CltConnectionListenerImpl& servant_;
    bool entered_ = false;
    const CltConnectionListenerImpl* previousOwner_ = nullptr;
};

CltConnectionListenerImpl::CltConnectionListenerImpl() = default;

CltConnectionListenerImpl::~CltConnectionListenerImpl() = default;

void CltConnectionListenerImpl::shutdown() {
    MutexLock lock(mutex());
    shutdown_ = true;
}

void CltConnectionListenerImpl::setExceptionListener(ExceptionListener* listener) {
    MutexLock lock(mutex());
    listener_ = listener;
}

void CltConnectionListenerImpl::waitForCallbacks() {
    MutexLock lock(mutex());
    const int own = tlCallbackOwner == this ? 1 : 0;
    while (callbacksInProgress_ > own) {
        condition().wait(0);
    }
}

void CltConnectionListenerImpl::serverException(CORBA::Long code, const CORBA::WChar*,
                                                CORBA::Long, CORBA::Long, const jc::IDU&) {
    std::unique_ptr<JMSException> exception = eventException(code);
    if (!exception) return;
    CallbackScope scope(*this);
    ExceptionListener* listener = scope.enter();
    if (listener == nullptr) return;
    // No library lock is held here: the listener may call back into the connection.
    listener->onException(exception.get());
}

CORBA::Boolean CltConnectionListenerImpl::ping(const jc::ConnectionID&, jc::Sessions_out openSessions,
                                               jc::Users_out openConsumers) {
    MutexLock lock(mutex());
    openSessions = new jc::Sessions();
    openConsumers = new jc::Users();
    return shutdown_ ? 0 : 1;
}

}  // namespace jms
