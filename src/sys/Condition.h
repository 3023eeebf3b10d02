#ifndef QJMS_SYS_CONDITION_H
#define QJMS_SYS_CONDITION_H

#include <cstdint>

#include "sys/Mutex.h"
#include "sys/wq.h"

namespace jms {

/// The absolute wqClock deadline `timeoutMs` milliseconds after `now`,
/// computed in 64 bits so that no timeout wraps.
constexpr int64_t wqDeadline(int64_t now, uint32_t timeoutMs) {
    return now + static_cast<int64_t>(timeoutMs) * 1000;
}

/// A condition variable bound for life to one Mutex; waits need that mutex held.
class Condition {
public:
    /// Thrown by a timed wait whose deadline passed.
    class TimedOutException {};

    /// Throws ResourceAllocationException("Condition::Condition") on failure.
    explicit Condition(Mutex& mutex);
    explicit Condition(Mutex* mutex) : Condition(*mutex) {}
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    /// Wakes every waiter.
    void broadcast();
    /// Timeout 0 waits for a broadcast without deadline; any other timeout
    /// throws TimedOutException once that many milliseconds have passed.
    /// Returning normally may also be a spurious wake-up: re-check the state.
    void wait(uint32_t timeoutMs);

    Mutex& mutex() const { return *mutex_; }

private:
    WqCond handle_;
    Mutex* mutex_;
};

}  // namespace jms

#endif
