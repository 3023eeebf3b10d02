#ifndef QJMS_SYS_WQ_H
#define QJMS_SYS_WQ_H

// The system-services layer: every mutex, condition, clock reading, pause and
// thread identity of the library comes from here. Plain functions over POSIX
// threads; the handles are opaque.

#include <cstdint>

namespace jms {

struct WqMutexObject;
struct WqCondObject;
using WqMutex = WqMutexObject*;
using WqCond = WqCondObject*;
/// Identifies a thread; never 0, never reused within the process.
using WqThreadId = uint64_t;

/// Creation flags. Any other bits are ignored.
constexpr uint32_t wqPlain = 0x80000;
constexpr uint32_t wqRecursive = 0x100000;

/// Counts nested use; returns the new count. The layer works without it too.
int wqInit();
/// Ends one use begun by wqInit; never drops below zero. Returns the new count.
int wqTerm();

/// A mutex, recursive when wqRecursive is set; null on failure.
WqMutex wqMtxCreate(uint32_t flags);
void wqMtxDestroy(WqMutex mutex);
void wqMtxLock(WqMutex mutex);
/// True when the mutex was taken without blocking.
bool wqMtxTryLock(WqMutex mutex);
void wqMtxUnlock(WqMutex mutex);

/// A condition variable on the wqClock time base; null on failure.
WqCond wqCondCreate(uint32_t flags);
void wqCondDestroy(WqCond cond);
void wqCondBroadcast(WqCond cond);
/// Waits for a broadcast; the caller holds `mutex` (once, if recursive).
void wqCondWaitNE(WqCond cond, WqMutex mutex);
/// Waits until `deadline` (wqClock microseconds). 0 when woken (possibly
/// spuriously) before the deadline, non-zero when the deadline passed.
int wqCondTimedWait(WqCond cond, WqMutex mutex, int64_t deadline);

/// Monotonic clock in microseconds from an arbitrary epoch.
int64_t wqClock();
/// Pauses the calling thread for at least `micros` microseconds.
void wqSleep(uint64_t micros);
WqThreadId wqThrId();

/// Test switch: the next `successes` creations (mutexes and conditions alike)
/// succeed and the one after fails with a null handle, once. Negative: off.
void wqTestFailCreation(int successes);

}  // namespace jms

#endif
