#include "sys/Condition.h"

#include <jms/JMSException.h>

namespace jms {

Condition::Condition(Mutex& mutex) : handle_(nullptr), mutex_(&mutex) {
    handle_ = wqCondCreate(wqPlain);
    if (!handle_) throw ResourceAllocationException(u"Condition::Condition");
}

Condition::~Condition() { wqCondDestroy(handle_); }

void Condition::broadcast() { wqCondBroadcast(handle_); }

void Condition::wait(uint32_t timeoutMs) {
    if (timeoutMs == 0) {
        wqCondWaitNE(handle_, mutex_->handle());
        return;
    }
    if (wqCondTimedWait(handle_, mutex_->handle(), wqDeadline(wqClock(), timeoutMs)) != 0)
        throw TimedOutException();
}

}  // namespace jms
