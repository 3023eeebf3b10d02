#include "sys/wq.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include <pthread.h>

namespace jms {

struct WqMutexObject {
    pthread_mutex_t m;
};

struct WqCondObject {
    pthread_cond_t c;
};

namespace {

std::atomic<int> initCount{0};
std::atomic<int> creationsBeforeFailure{-1};
std::atomic<WqThreadId> nextThreadId{1};

// Consumes one creation of the test switch; true when this one must fail.
bool creationFails() {
    int left = creationsBeforeFailure.load();
    while (left >= 0) {
        if (creationsBeforeFailure.compare_exchange_weak(left, left - 1))
            return left == 0;
    }
    return false;
}

// Every library object owns a mutex, a recursive mutex and a condition, and a
// message lives for one receive: their handles are recycled, so the system
// objects of a message cost no allocation once the process is warm.
template <class Object>
class Recycler {
public:
    Recycler() { free_.reserve(capacity); }
    Object* take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                Object* object = free_.back();
                free_.pop_back();
                return object;
            }
        }
        return new (std::nothrow) Object;
    }
    void give(Object* object) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (free_.size() < capacity) {
                free_.push_back(object);
                return;
            }
        }
        delete object;
    }

private:
    static constexpr size_t capacity = 1024;
    std::mutex mutex_;
    std::vector<Object*> free_;
};

// Never destroyed: objects are created and destroyed while statics go away.
template <class Object>
Recycler<Object>& recycler() {
    static Recycler<Object>* const instance = new Recycler<Object>();
    return *instance;
}

// Hands a recycled or new object back to the recycler unless released.
template <class Object>
struct Recycled {
    void operator()(Object* object) const { recycler<Object>().give(object); }
};

constexpr int64_t microsPerSecond = 1000000;

timespec toTimespec(int64_t micros) {
    if (micros < 0) micros = 0;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(micros / microsPerSecond);
    ts.tv_nsec = static_cast<long>((micros % microsPerSecond) * 1000);
    return ts;
}

}  // namespace

int wqInit() { return ++initCount; }

int wqTerm() {
    int count = initCount.load();
    while (count > 0 && !initCount.compare_exchange_weak(count, count - 1)) {
    }
    return count > 0 ? count - 1 : 0;
}

WqMutex wqMtxCreate(uint32_t flags) {
    if (creationFails()) return nullptr;
    std::unique_ptr<WqMutexObject, Recycled<WqMutexObject>> mutex(recycler<WqMutexObject>().take());
    pthread_mutexattr_t attr;
    if (!mutex || pthread_mutexattr_init(&attr) != 0) return nullptr;
    const int type = (flags & wqRecursive) ? PTHREAD_MUTEX_RECURSIVE : PTHREAD_MUTEX_NORMAL;
    const bool ok = pthread_mutexattr_settype(&attr, type) == 0 &&
                    pthread_mutex_init(&mutex->m, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    return ok ? mutex.release() : nullptr;
}

void wqMtxDestroy(WqMutex mutex) {
    if (!mutex) return;
    pthread_mutex_destroy(&mutex->m);
    recycler<WqMutexObject>().give(mutex);
}

void wqMtxLock(WqMutex mutex) { pthread_mutex_lock(&mutex->m); }
bool wqMtxTryLock(WqMutex mutex) { return pthread_mutex_trylock(&mutex->m) == 0; }
void wqMtxUnlock(WqMutex mutex) { pthread_mutex_unlock(&mutex->m); }

WqCond wqCondCreate(uint32_t /*flags*/) {
    if (creationFails()) return nullptr;
    std::unique_ptr<WqCondObject, Recycled<WqCondObject>> cond(recycler<WqCondObject>().take());
    pthread_condattr_t attr;
    if (!cond || pthread_condattr_init(&attr) != 0) return nullptr;
    // Deadlines are wqClock readings, so the condition must use the same clock.
    const bool ok = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 &&
                    pthread_cond_init(&cond->c, &attr) == 0;
    pthread_condattr_destroy(&attr);
    return ok ? cond.release() : nullptr;
}

void wqCondDestroy(WqCond cond) {
    if (!cond) return;
    pthread_cond_destroy(&cond->c);
    recycler<WqCondObject>().give(cond);
}

void wqCondBroadcast(WqCond cond) { pthread_cond_broadcast(&cond->c); }
void wqCondWaitNE(WqCond cond, WqMutex mutex) { pthread_cond_wait(&cond->c, &mutex->m); }

int wqCondTimedWait(WqCond cond, WqMutex mutex, int64_t deadline) {
    const timespec ts = toTimespec(deadline);
    return pthread_cond_timedwait(&cond->c, &mutex->m, &ts) == ETIMEDOUT ? 1 : 0;
}

int64_t wqClock() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * microsPerSecond + ts.tv_nsec / 1000;
}

void wqSleep(uint64_t micros) {
    constexpr uint64_t maxMicros = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    timespec left = toTimespec(static_cast<int64_t>(micros > maxMicros ? maxMicros : micros));
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

WqThreadId wqThrId() {
    thread_local const WqThreadId id = nextThreadId++;
    return id;
}

void wqTestFailCreation(int successes) { creationsBeforeFailure = successes < 0 ? -1 : successes; }

}  // namespace jms
