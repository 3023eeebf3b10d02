#ifndef QJMS_SYS_CBASE_H
#define QJMS_SYS_CBASE_H

#include "sys/Condition.h"
#include "sys/Mutex.h"

namespace jms {

/// The base of every implementation object: each owns a mutex, a recursive
/// mutex and a condition bound to that mutex, from construction to
/// destruction. Construction throws ResourceAllocationException
/// ("Mutex::Mutex", "RMutex::RMutex" or "Condition::Condition") and then
/// leaves nothing behind.
class Cbase {
public:
    Cbase();
    /// A copy gets system objects of its own; nothing is shared.
    Cbase(const Cbase&);
    /// Keeps this object's own system objects.
    Cbase& operator=(const Cbase&) { return *this; }
    virtual ~Cbase();

protected:
    // Accessible from const operations: locking does not change an object's value.
    Mutex& mutex() const { return mutex_; }
    RMutex& rmutex() const { return rmutex_; }
    Condition& condition() const { return condition_; }

private:
    mutable Mutex mutex_;
    mutable RMutex rmutex_;
    mutable Condition condition_;
};

}  // namespace jms

#endif
