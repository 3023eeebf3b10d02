#include "connection/CltConnectionListenerImpl.h"

#include <algorithm>
#include <memory>

#include <jms/JMSException.h>

namespace jms {

namespace jc = zorvane::velt::quorix::corba::jmsCommon;

namespace {

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

// Counts a callback as running its listener from a successful enter() to
// destruction, and marks this thread as running it.
class CltConnectionListenerImpl::CallbackScope {
public:
    explicit CallbackScope(CltConnectionListenerImpl& servant) : servant_(servant) {}
    ~CallbackScope() {
        if (!listener_) return;
        innermost = previous_;
        MutexLock lock(servant_.mutex());
        auto& running = servant_.running_;
        running.erase(std::find(running.begin(), running.end(), listener_));
        servant_.condition().broadcast();
    }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

    /// The listener to call, or null when the event is to be ignored.
    ExceptionListener* enter() {
        MutexLock lock(servant_.mutex());
        if (servant_.shutdown_ || servant_.listener_ == nullptr) return nullptr;
        listener_ = servant_.listener_;
        servant_.running_.push_back(listener_);
        previous_ = innermost;
        innermost = this;
        return listener_;
    }

    /// How many of `servant`'s callbacks on this thread run `listener` (any
    /// listener when null).
    static int onThisThread(const CltConnectionListenerImpl& servant,
                            const ExceptionListener* listener) {
        int n = 0;
        for (const CallbackScope* s = innermost; s; s = s->previous_) {
            if (&s->servant_ == &servant && (!listener || s->listener_ == listener)) ++n;
        }
        return n;
    }

private:
    // The callbacks this thread is running, innermost first.
    static thread_local const CallbackScope* innermost;

    CltConnectionListenerImpl& servant_;
    ExceptionListener* listener_ = nullptr;
    const CallbackScope* previous_ = nullptr;
};

thread_local const CltConnectionListenerImpl::CallbackScope*
    CltConnectionListenerImpl::CallbackScope::innermost = nullptr;

CltConnectionListenerImpl::CltConnectionListenerImpl() = default;

CltConnectionListenerImpl::~CltConnectionListenerImpl() = default;

void CltConnectionListenerImpl::shutdown() {
    MutexLock lock(mutex());
    shutdown_ = true;
}

void CltConnectionListenerImpl::setExceptionListener(ExceptionListener* listener) {
    MutexLock lock(mutex());
    ExceptionListener* replaced = listener_;
    listener_ = listener;
    if (replaced != nullptr && replaced != listener) waitWhileRunning(replaced);
}

void CltConnectionListenerImpl::waitForCallbacks() {
    MutexLock lock(mutex());
    waitWhileRunning(nullptr);
}

void CltConnectionListenerImpl::waitWhileRunning(const ExceptionListener* listener) {
    const auto own = CallbackScope::onThisThread(*this, listener);
    for (;;) {
        const auto all = listener ? std::count(running_.begin(), running_.end(), listener)
                                  : static_cast<std::ptrdiff_t>(running_.size());
        if (all <= own) return;
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
