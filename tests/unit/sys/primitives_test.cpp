// Mutex, RMutex, MutexLock, Condition and Cbase over the system layer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <jms/JMSException.h>

#include "sys/Cbase.h"

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

TEST(Mutexes, OnlyTheRecursiveMutexMayBeRetakenAndNeedsOneUnlockPerLock) {
    Mutex plain;
    {
        MutexLock lock(plain);
        EXPECT_FALSE(plain.try_lock());
    }
    RMutex recursive;
    {
        MutexLock outer(recursive);
        MutexLock inner(&recursive);
        inner.unlock();
        EXPECT_FALSE(freeForOthers(recursive));
    }
    EXPECT_TRUE(freeForOthers(recursive));
}

TEST(Mutexes, EarlyUnlockReleasesOnceAndTheDestructorThenDoesNothing) {
    Mutex mutex;
    {
        MutexLock lock(mutex);
        lock.unlock();
        EXPECT_TRUE(freeForOthers(mutex));
        lock.unlock();
        ASSERT_TRUE(mutex.try_lock());  // a hold the guard must not release
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

TEST(Conditions, DeadlinesAreSixtyFourBitAndNeverWrap) {
    EXPECT_EQ(wqDeadline(100, 10), 10100);
    EXPECT_EQ(wqDeadline(0, 4294968), 4294968000LL);  // wraps in 32 bits
    EXPECT_EQ(wqDeadline(1, 0xFFFFFFFFu), 4294967295001LL);
}

TEST(Conditions, TimedWaitWithoutBroadcastTimesOutAfterItsTimeout) {
    Mutex mutex;
    Condition cond(mutex);
    MutexLock lock(mutex);
    const int64_t start = wqClock();
    for (;;) {  // a spurious wake-up returns normally; only the deadline throws
        try {
            cond.wait(10);
        } catch (const Condition::TimedOutException&) {
            break;
        }
    }
    const int64_t elapsed = wqClock() - start;
    EXPECT_GE(elapsed, 10000);
    EXPECT_LT(elapsed, 2000000);
}

TEST(Conditions, BroadcastWakesEveryWaiterAndAnUntimedWaitNeverTimesOut) {
    for (uint32_t timeoutMs : {0u, 60000u}) {
        Mutex mutex;
        Condition cond(&mutex);
        bool ready = false;
        int waiting = 0;
        std::atomic<int> woken{0}, timeouts{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i) {
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
        for (bool all = false; !all; wqSleep(1000)) {
            MutexLock lock(mutex);
            all = waiting == 4;
        }
        {
            MutexLock lock(mutex);
            ready = true;
            cond.broadcast();
        }
        for (auto& t : threads) t.join();
        EXPECT_EQ(woken.load(), 4);
        EXPECT_EQ(timeouts.load(), 0);
    }
}

struct Probe : Cbase {
    using Cbase::condition;
    using Cbase::mutex;
    using Cbase::rmutex;
};

TEST(Cbases, CopiesGetSystemObjectsOfTheirOwn) {
    Probe original;
    EXPECT_EQ(&original.condition().mutex(), &original.mutex());
    Probe copy(original);
    EXPECT_NE(copy.mutex().handle(), original.mutex().handle());
    EXPECT_NE(copy.rmutex().handle(), original.rmutex().handle());
    EXPECT_EQ(&copy.condition().mutex(), &copy.mutex());
    const WqMutex own = copy.mutex().handle();
    copy = original;
    EXPECT_EQ(copy.mutex().handle(), own);
}

// Creation k of a Cbase (mutex, recursive mutex, condition) fails: the text
// names the failing constructor, and under ASan nothing made before it leaks.
TEST(Cbases, ACreationFailureNamesTheFailingPrimitiveOnce) {
    const char16_t* texts[] = {u"Mutex::Mutex", u"RMutex::RMutex", u"Condition::Condition"};
    for (int k = 0; k < 3; ++k) {
        wqTestFailCreation(k);
        try {
            Probe probe;
            ADD_FAILURE() << "no failure at creation " << k;
        } catch (const ResourceAllocationException& e) {
            EXPECT_EQ(e.toString(), texts[k]);
        }
    }
    wqTestFailCreation(1);
    Mutex first;
    EXPECT_THROW(RMutex(), ResourceAllocationException);
    Probe fine;  // the switch fires once
    wqTestFailCreation(0);
    wqTestFailCreation(-1);
    Probe off;
}

}  // namespace
}  // namespace jms
