#include "sys/Mutex.h"

#include <jms/JMSException.h>

namespace jms {

SysMutex::SysMutex(uint32_t flags, const char16_t* failureText) : handle_(wqMtxCreate(flags)) {
    if (!handle_) throw ResourceAllocationException(failureText);
}

SysMutex::~SysMutex() { wqMtxDestroy(handle_); }

Mutex::Mutex() : SysMutex(wqPlain, u"Mutex::Mutex") {}
RMutex::RMutex() : SysMutex(wqPlain | wqRecursive, u"RMutex::RMutex") {}

}  // namespace jms
