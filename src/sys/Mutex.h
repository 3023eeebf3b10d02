#ifndef QJMS_SYS_MUTEX_H
#define QJMS_SYS_MUTEX_H

#include "sys/wq.h"

namespace jms {

/// What Mutex and RMutex share: one system mutex handle, owned from a
/// successful constructor to the destructor. Meets BasicLockable/Lockable.
class SysMutex {
public:
    SysMutex(const SysMutex&) = delete;
    SysMutex& operator=(const SysMutex&) = delete;

    void lock() { wqMtxLock(handle_); }
    bool try_lock() { return wqMtxTryLock(handle_); }
    void unlock() { wqMtxUnlock(handle_); }
    WqMutex handle() const { return handle_; }

protected:
    /// Throws ResourceAllocationException(failureText) when creation fails.
    SysMutex(uint32_t flags, const char16_t* failureText);
    ~SysMutex();

private:
    WqMutex handle_;
};

/// A plain mutex; its holder must not lock it again.
class Mutex : public SysMutex {
public:
    Mutex();
};

/// A mutex its holder may lock again; each lock needs its own unlock.
class RMutex : public SysMutex {
public:
    RMutex();
};

/// Holds a Mutex or RMutex for its scope.
class MutexLock {
public:
    explicit MutexLock(SysMutex& mutex) : mutex_(&mutex) { relock(); }
    explicit MutexLock(SysMutex* mutex) : MutexLock(*mutex) {}
    ~MutexLock() { unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    /// Releases early, before a remote call for example; the destructor then
    /// does nothing unless relock() took the mutex again.
    void unlock() {
        if (held_) {
            held_ = false;
            mutex_->unlock();
        }
    }
    /// Takes the mutex again after unlock(); does nothing while held.
    void relock() {
        if (!held_) {
            mutex_->lock();
            held_ = true;
        }
    }

private:
    SysMutex* mutex_;
    bool held_ = false;
};

}  // namespace jms

#endif
