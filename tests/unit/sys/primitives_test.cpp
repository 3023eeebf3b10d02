// Mutex, RMutex, MutexLock, Condition and Cbase over the system layer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <jms/JMSException.h>

#include "sys/Cbase.h"
#include "sys/Condition.h"
#include "sys/Mutex.h"

namespace jms {
namespace {

// Whether another thread could take the mutex right now.
bool freeForOthers(SysMutex& mutex) {
    bool taken = false;
    std::thread([&] {
        taken = mutex.try_lock();
        if (taken) mutex.unlock();
    }).join();
    return taken;
}

TEST(Mutexes, PlainMutexIsNotRecursive) {
    Mutex mutex;
    MutexLock lock(mutex);
    EXPECT_FALSE(mutex.try_lock());
    EXPECT_FALSE(freeForOthers(mutex));
}

TEST(Mutexes, RecursiveMutexNeedsOneUnlockPerLock) {
    RMutex mutex;
    {
        MutexLock outer(mutex);
        MutexLock inner(&mutex);
        inner.unlock();
        EXPECT_FALSE(freeForOthers(mutex));
    }
    EXPECT_TRUE(freeForOthers(mutex));
}

TEST(Mutexes, GuardReleasesAtScopeEndOrEarlyOnlyOnce) {
    Mutex mutex;
    {
        MutexLock lock(mutex);
        EXPECT_FALSE(freeForOthers(mutex));
        lock.unlock();
        EXPECT_TRUE(freeForOthers(mutex));
        lock.unlock();
        ASSERT_TRUE(mutex.try_lock());  // the destructor must not unlock this hold
    }
    EXPECT_FALSE(freeForOthers(mutex));
    mutex.unlock();
}

TEST(Mutexes, GuardSerialisesThreads) {
    RMutex mutex;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                MutexLock lock(mutex);
                ++counter;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 40000);
}

TEST(Conditions, DeadlineArithmeticIsSixtyFourBit) {
    EXPECT_EQ(wqDeadline(100, 10), 10100);
    EXPECT_EQ(wqDeadline(0, 4294967), 4294967000LL);
    EXPECT_EQ(wqDeadline(0, 4294968), 4294968000LL);  // wraps in 32 bits
    EXPECT_EQ(wqDeadline(1, 0xFFFFFFFFu), 4294967295000LL + 1);
}

TEST(Conditions, TimedWaitWithoutBroadcastTimesOutAfterItsTimeout) {
    Mutex mutex;
    Condition cond(mutex);
    MutexLock lock(mutex);
    const int64_t start = wqClock();
    bool timedOut = false;
    // A spurious wake-up returns normally; only the deadline may throw.
    while (!timedOut) {
        try {
            cond.wait(10);
        } catch (const Condition::TimedOutException&) {
            timedOut = true;
        }
    }
    const int64_t elapsed = wqClock() - start;
    EXPECT_GE(elapsed, 10000);
    EXPECT_LT(elapsed, 2000000);
}

// Runs `waiters` threads that wait with `timeoutMs` until `ready`, then broadcasts.
void broadcastWakes(int waiters, uint32_t timeoutMs) {
    Mutex mutex;
    Condition cond(&mutex);
    bool ready = false;
    std::atomic<int> waiting{0};
    std::atomic<int> woken{0};
    std::atomic<int> timeouts{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i) {
        threads.emplace_back([&] {
            MutexLock lock(mutex);
            ++waiting;
            while (!ready) {
                try {
                    cond.wait(timeoutMs);
                } catch (const Condition::TimedOutException&) {
                    ++timeouts;
                }
            }
            ++woken;
        });
    }
    while (waiting.load() < waiters) wqSleep(1000);
    {
        MutexLock lock(mutex);
        ready = true;
        cond.broadcast();
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(woken.load(), waiters);
    if (timeoutMs == 0) {
        EXPECT_EQ(timeouts.load(), 0);
    }
}

TEST(Conditions, BroadcastWakesEveryWaiter) {
    broadcastWakes(4, 0);
    broadcastWakes(4, 60000);
}

TEST(Conditions, IsBoundToItsMutexForLife) {
    Mutex mutex;
    Condition cond(mutex);
    EXPECT_EQ(&cond.mutex(), &mutex);
}

struct Probe : Cbase {
    using Cbase::condition;
    using Cbase::mutex;
    using Cbase::rmutex;
};

TEST(Cbases, OwnsAMutexARecursiveMutexAndAConditionOnThatMutex) {
    Probe probe;
    EXPECT_EQ(&probe.condition().mutex(), &probe.mutex());
    EXPECT_NE(probe.mutex().handle(), probe.rmutex().handle());
}

TEST(Cbases, CopiesGetTheirOwnSystemObjects) {
    Probe original;
    Probe copy(original);
    EXPECT_NE(copy.mutex().handle(), original.mutex().handle());
    EXPECT_NE(copy.rmutex().handle(), original.rmutex().handle());
    EXPECT_EQ(&copy.condition().mutex(), &copy.mutex());
    Probe assigned;
    const WqMutex own = assigned.mutex().handle();
    assigned = original;
    EXPECT_EQ(assigned.mutex().handle(), own);
}

// Creation k of a Cbase (mutex, recursive mutex, condition) fails; the text
// names the constructor that failed and nothing created before it leaks.
TEST(Cbases, CreationFailureNamesTheFailingPrimitive) {
    const struct {
        int successes;
        const char16_t* text;
    } cases[] = {{0, u"Mutex::Mutex"}, {1, u"RMutex::RMutex"}, {2, u"Condition::Condition"}};
    for (const auto& c : cases) {
        wqTestFailCreation(c.successes);
        try {
            Probe probe;
            ADD_FAILURE() << "no failure at creation " << c.successes;
        } catch (const ResourceAllocationException& e) {
            EXPECT_EQ(e.getMessage(), c.text);
            EXPECT_EQ(e.getErrorCode(), u"");
        }
        wqTestFailCreation(-1);
    }
    Probe fine;  // the switch fires once only
}

TEST(Cbases, EachPrimitiveReportsItsOwnFailure) {
    wqTestFailCreation(0);
    EXPECT_THROW(RMutex(), ResourceAllocationException);
    Mutex mutex;
    wqTestFailCreation(0);
    try {
        Condition cond(mutex);
        ADD_FAILURE();
    } catch (const JMSException& e) {
        EXPECT_EQ(e.toString(), u"Condition::Condition");
    }
    wqTestFailCreation(-1);
}

}  // namespace
}  // namespace jms
