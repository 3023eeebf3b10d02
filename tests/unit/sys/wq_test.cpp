// The system-services layer: nesting, clock, sleep, thread identity, creation failures.
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
    EXPECT_EQ(wqTerm(), base - 1);
    // A destructor without its matching init (a copied factory) must not underflow.
    while (wqTerm() > 0) {
    }
    EXPECT_EQ(wqTerm(), 0);
    EXPECT_EQ(wqInit(), 1);
    EXPECT_EQ(wqTerm(), 0);
}

TEST(WqLayer, ClockIsMonotonicMicrosecondsAndSleepPausesAtLeastItsTime) {
    const int64_t before = wqClock();
    wqSleep(20000);
    const int64_t after = wqClock();
    EXPECT_GE(after - before, 20000);
    EXPECT_LT(after - before, 2000000);
    int64_t last = wqClock();
    for (int i = 0; i < 1000; ++i) {
        const int64_t now = wqClock();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(WqLayer, ThreadIdentityIsStableNonZeroAndDistinctPerThread) {
    const WqThreadId mine = wqThrId();
    EXPECT_NE(mine, 0u);
    EXPECT_EQ(wqThrId(), mine);

    std::vector<WqThreadId> ids(8);
    std::vector<std::thread> threads;
    for (auto& id : ids) threads.emplace_back([&id] { id = wqThrId(); });
    for (auto& t : threads) t.join();
    std::set<WqThreadId> distinct(ids.begin(), ids.end());
    distinct.insert(mine);
    EXPECT_EQ(distinct.size(), ids.size() + 1);
    EXPECT_EQ(distinct.count(0), 0u);
}

TEST(WqLayer, FailureSwitchFailsExactlyTheChosenCreationOnce) {
    wqTestFailCreation(2);
    WqMutex first = wqMtxCreate(wqPlain);
    WqCond second = wqCondCreate(wqPlain);
    WqMutex third = wqMtxCreate(wqPlain | wqRecursive);
    WqMutex fourth = wqMtxCreate(wqPlain);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(fourth, nullptr);
    wqMtxDestroy(first);
    wqCondDestroy(second);
    wqMtxDestroy(fourth);

    wqTestFailCreation(0);
    wqTestFailCreation(-1);
    WqCond cond = wqCondCreate(wqPlain);
    EXPECT_NE(cond, nullptr);
    wqCondDestroy(cond);
}

TEST(WqLayer, TimedWaitReportsAPastDeadlineAtOnce) {
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
