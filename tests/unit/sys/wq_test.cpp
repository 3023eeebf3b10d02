// The system-services layer: nesting, clock, sleep, thread identity, deadlines.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "sys/wq.h"

namespace jms {
namespace {

TEST(WqLayer, InitAndTermCountNestedUseAndNeverGoNegative) {
    const int base = wqInit();
    EXPECT_EQ(wqInit(), base + 1);
    EXPECT_EQ(wqTerm(), base);
    // A destructor without its matching init (a copied factory) must not underflow.
    while (wqTerm() > 0) {
    }
    EXPECT_EQ(wqTerm(), 0);
    EXPECT_EQ(wqInit(), 1);
    EXPECT_EQ(wqTerm(), 0);
}

TEST(WqLayer, ClockCountsMicrosecondsMonotonicallyAcrossASleep) {
    const int64_t before = wqClock();
    wqSleep(20000);
    const int64_t elapsed = wqClock() - before;
    EXPECT_GE(elapsed, 20000);
    EXPECT_LT(elapsed, 2000000);
}

TEST(WqLayer, ThreadIdentityIsStableNonZeroAndDistinctPerThread) {
    std::vector<WqThreadId> ids(8);
    std::vector<std::thread> threads;
    for (auto& id : ids) threads.emplace_back([&id] { id = wqThrId() == wqThrId() ? wqThrId() : 0; });
    for (auto& t : threads) t.join();
    ids.push_back(wqThrId());
    const std::set<WqThreadId> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), ids.size());
    EXPECT_EQ(distinct.count(0), 0u);
}

TEST(WqLayer, TimedWaitReportsAPassedDeadlineAtOnce) {
    WqMutex mutex = wqMtxCreate(wqPlain);
    WqCond cond = wqCondCreate(wqPlain);
    wqMtxLock(mutex);
    EXPECT_NE(wqCondTimedWait(cond, mutex, wqClock() - 1000), 0);
    EXPECT_NE(wqCondTimedWait(cond, mutex, -5), 0);
    wqMtxUnlock(mutex);
    wqCondDestroy(cond);
    wqMtxDestroy(mutex);
}

}  // namespace
}  // namespace jms
