// The system layer and what stands on it: use count, clock, thread identity,
// Mutex, RMutex, MutexLock, Condition and Cbase.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "../message/JmsExpect.h"
#include "sys/Cbase.h"

namespace jms {
namespace {

static_assert(wqDeadline(100, 10) == 10100);
static_assert(wqDeadline(1, 0xFFFFFFFFu) == 4294967295001LL);  // no 32-bit wrap

TEST(WqLayer, InitAndTermCountNestedUseAndNeverGoNegative) {
    const int base = wqInit();
    EXPECT_EQ(wqInit(), base + 1);
    EXPECT_EQ(wqTerm(), base);
    while (wqTerm() > 0) {
    }
    EXPECT_EQ(wqTerm(), 0);  // a copied factory ends a use it never began
    EXPECT_EQ(wqInit(), 1);
    EXPECT_EQ(wqTerm(), 0);
}

TEST(WqLayer, ClockCountsMicrosecondsAndThreadIdsAreStableNonZeroAndDistinct) {
    const int64_t before = wqClock();
    wqSleep(20000);
    const int64_t elapsed = wqClock() - before;
    EXPECT_GE(elapsed, 20000);
    EXPECT_LT(elapsed, 2000000);

    std::vector<WqThreadId> ids(8);
    std::vector<std::thread> threads;
    for (auto& id : ids)
        threads.emplace_back([&id] { id = wqThrId() == wqThrId() ? wqThrId() : 0; });
    for (auto& t : threads) t.join();
    ids.push_back(wqThrId());
    const std::set<WqThreadId> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), ids.size());
    EXPECT_EQ(distinct.count(0), 0u);
}

// Whether another thread could take the mutex right now.
bool freeForOthers(SysMutex& mutex) {
    bool taken = false;
    std::thread([&] {
        if ((taken = mutex.try_lock())) mutex.unlock();
    }).join();
    return taken;
}

TEST(Mutexes, OnlyTheRecursiveOneIsRetakenAndTheGuardReleasesExactlyOnce) {
    Mutex plain;
    {
        MutexLock lock(plain);
        EXPECT_FALSE(plain.try_lock());
        lock.unlock();
        EXPECT_TRUE(freeForOthers(plain));
        lock.unlock();
        ASSERT_TRUE(plain.try_lock());  // a hold the guard must not release
    }
    EXPECT_FALSE(freeForOthers(plain));
    plain.unlock();

    RMutex recursive;
    {
        MutexLock outer(recursive);
        MutexLock(&recursive).unlock();
        EXPECT_FALSE(freeForOthers(recursive));
    }
    EXPECT_TRUE(freeForOthers(recursive));
}

TEST(Conditions, ATimedWaitEndsAtItsDeadlineAndAPassedOneReportsAtOnce) {
    Mutex mutex;
    MutexLock lock(mutex);
    const WqCond raw = wqCondCreate(wqPlain);
    EXPECT_NE(wqCondTimedWait(raw, mutex.handle(), wqClock() - 1000), 0);
    EXPECT_NE(wqCondTimedWait(raw, mutex.handle(), -5), 0);
    wqCondDestroy(raw);
    Condition cond(mutex);
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

// One untimed and one long timed waiter: a single broadcast wakes both, and
// neither reports a time-out.
TEST(Conditions, BroadcastWakesEveryWaiter) {
    Mutex mutex;
    Condition cond(&mutex);
    bool ready = false;
    int waiting = 0;
    std::atomic<int> timeouts{0};
    std::vector<std::thread> threads;
    for (uint32_t timeoutMs : {0u, 60000u}) {
        threads.emplace_back([&, timeoutMs] {
            MutexLock lock(mutex);
            ++waiting;
            while (!ready) {
                try {
                    cond.wait(timeoutMs);
                } catch (const Condition::TimedOutException&) {
                    ++timeouts;
                }
            }
        });
    }
    for (bool all = false; !all; wqSleep(1000)) {
        MutexLock lock(mutex);
        all = waiting == 2;
    }
    {
        MutexLock lock(mutex);
        ready = true;
        cond.broadcast();
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(timeouts.load(), 0);
}

struct Probe : Cbase {
    using Cbase::condition;
    using Cbase::mutex;
    using Cbase::rmutex;
};

// A copy gets system objects of its own. When creation k of a Cbase fails, the
// text names that primitive and, under ASan, nothing made before it leaks; the
// switch fires once.
TEST(Cbases, CopiesOwnTheirObjectsAndACreationFailureNamesThePrimitiveOnce) {
    Probe original;
    Probe copy(original);
    EXPECT_NE(copy.mutex().handle(), original.mutex().handle());
    EXPECT_NE(copy.rmutex().handle(), original.rmutex().handle());
    EXPECT_EQ(&copy.condition().mutex(), &copy.mutex());
    const char16_t* texts[] = {u"Mutex::Mutex", u"RMutex::RMutex", u"Condition::Condition"};
    for (int k = 0; k < 3; ++k) {
        wqTestFailCreation(k);
        EXPECT_JMS_THROW(Probe(), ResourceAllocationException, texts[k]);
    }
    Probe fine;
    wqTestFailCreation(0);
    wqTestFailCreation(-1);
    Probe off;
}

}  // namespace
}  // namespace jms
