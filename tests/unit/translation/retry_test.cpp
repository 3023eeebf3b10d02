// Retrying provider calls: Resource (three calls, a second apart), Busy (five
// calls, no pause) and a durable subscription in use (four answers).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "FakeProvider.h"
#include "api/ProviderCall.h"
#include "sys/wq.h"

namespace jms {
namespace {

using namespace pcall;
using test::FakeProvider;
using test::RecordedPauses;

constexpr uint64_t second = 1000000;

// A creation site: Resource retried, and its last answer reported in reason form.
const Table<>& connectionCreation() {
    static const Table<> table{
        {{Exc::Resource, reason(u"CltException::ERR_CONNECTION_CREATE")},
         {Exc::Store, reason(u"CltException::ERR_CONNECTION_CREATE")}},
        {retryResource}};
    return table;
}

WString failureOf(const Table<>& table, FakeProvider& provider) {
    try {
        table.call([&] { return provider.operation(1); });
    } catch (const JMSException& e) {
        return e.toString();
    }
    return u"(no failure)";
}

TEST(ResourceRetry, TwoResourceAnswersThenSuccessMakeThreeCalls) {
    RecordedPauses pauses;
    FakeProvider provider;
    provider.fail(Exc::Resource, L"busy", 1, 2);
    EXPECT_EQ(connectionCreation().call([&] { return provider.operation(42); }), 42);
    EXPECT_EQ(provider.calls(), 3);
    EXPECT_EQ(pauses.pauses(), (std::vector<uint64_t>{second, second}));
}

TEST(ResourceRetry, ThreeResourceAnswersThrowTheSiteTextWithTheLastReason) {
    RecordedPauses pauses;
    FakeProvider provider;
    provider.fail(Exc::Resource, L"first");
    provider.fail(Exc::Resource, L"second");
    provider.fail(Exc::Resource, L"third");
    EXPECT_EQ(failureOf(connectionCreation(), provider),
              u"svrResource: thirdCltException::ERR_CONNECTION_CREATE");
    EXPECT_EQ(provider.calls(), 3);
    EXPECT_EQ(pauses.pauses().size(), 2u);
}

TEST(ResourceRetry, AnotherAnswerEndsTheLoopAtOnce) {
    RecordedPauses pauses;
    FakeProvider provider;
    provider.fail(Exc::Resource);
    provider.fail(Exc::Store, L"disk");
    provider.fail(Exc::Resource);
    EXPECT_EQ(failureOf(connectionCreation(), provider),
              u"svrStore: diskCltException::ERR_CONNECTION_CREATE");
    EXPECT_EQ(provider.calls(), 2);
}

TEST(ResourceRetry, EveryCallOfAStaticTableCountsAfresh) {
    RecordedPauses pauses;
    for (int round = 0; round < 3; ++round) {
        FakeProvider provider;
        provider.fail(Exc::Resource, L"r", 1, 2);
        EXPECT_EQ(connectionCreation().call([&] { return provider.operation(round); }), round);
        EXPECT_EQ(provider.calls(), 3);
    }
}

TEST(ResourceRetry, WithoutARuleTheLastAnswerPassesThrough) {
    RecordedPauses pauses;
    const Table<> table{{{Exc::Store, word()}}, {retryResource}};
    FakeProvider provider;
    provider.fail(Exc::Resource, L"r", 1, 5);
    EXPECT_THROW(table.call([&] { provider.operation(0); }), CORBA::UserException);
    EXPECT_EQ(provider.calls(), 3);
}

TEST(ResourceRetry, ConcurrentCallsOnOneTableKeepTheirOwnCounts) {
    RecordedPauses pauses;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                FakeProvider provider;
                provider.fail(Exc::Resource, L"r", 1, 2);
                if (connectionCreation().call([&] { return provider.operation(7); }) != 7 ||
                    provider.calls() != 3)
                    ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(pauses.pauses().size(), 4u * 50u * 2u);
}

TEST(BusyRetry, FiveCallsWithoutPauseThenTheBareWord) {
    RecordedPauses pauses;
    const Table<> receive{{{Exc::Busy, word()}, {Exc::Store, word()}}, {retryBusy}};
    FakeProvider fourBusy;
    fourBusy.fail(Exc::Busy, L"b", 1, 4);
    EXPECT_EQ(receive.call([&] { return fourBusy.operation(3); }), 3);
    EXPECT_EQ(fourBusy.calls(), 5);

    FakeProvider fiveBusy;
    fiveBusy.fail(Exc::Busy, L"b", 1, 5);
    EXPECT_EQ(failureOf(receive, fiveBusy), u"svrBusy");
    EXPECT_EQ(fiveBusy.calls(), 5);
    EXPECT_TRUE(pauses.pauses().empty());
}

const Table<>& durableCreation() {
    static const Table<> table{
        {{Exc::Consumer, fixed(u"svrConsumer: ERR_CONSUMER_CREATE")},
         {Exc::Resource, fixed(u"svrResource: ERR_SESSION_CREATE")}},
        {retryResource, retryConsumerInUse}};
    return table;
}

TEST(ConsumerInUseRetry, OnlyCode18IsRetriedAndOnACountOfItsOwn) {
    RecordedPauses pauses;
    FakeProvider threeInUse;
    threeInUse.fail(Exc::Consumer, L"in use", 18, 3);
    EXPECT_EQ(durableCreation().call([&] { return threeInUse.operation(9); }), 9);
    EXPECT_EQ(threeInUse.calls(), 4);
    EXPECT_EQ(pauses.pauses().size(), 3u);

    FakeProvider fourInUse;
    fourInUse.fail(Exc::Consumer, L"in use", 18, 4);
    EXPECT_EQ(failureOf(durableCreation(), fourInUse), u"svrConsumer: ERR_CONSUMER_CREATE");
    EXPECT_EQ(fourInUse.calls(), 4);

    FakeProvider otherCode;
    otherCode.fail(Exc::Consumer, L"bad", 17);
    EXPECT_EQ(failureOf(durableCreation(), otherCode), u"svrConsumer: ERR_CONSUMER_CREATE");
    EXPECT_EQ(otherCode.calls(), 1);

    // Two Resource and three in-use answers stay under both limits.
    FakeProvider mixed;
    for (Exc kind : {Exc::Resource, Exc::Consumer, Exc::Resource, Exc::Consumer, Exc::Consumer})
        mixed.fail(kind, L"m", 18);
    EXPECT_EQ(durableCreation().call([&] { return mixed.operation(5); }), 5);
    EXPECT_EQ(mixed.calls(), 6);
}

TEST(RealTimeRetry, ThreeResourceAnswersTakeAboutTwoSeconds) {
    FakeProvider provider;
    provider.fail(Exc::Resource, L"r", 1, 3);
    const int64_t start = wqClock();
    EXPECT_EQ(failureOf(connectionCreation(), provider),
              u"svrResource: rCltException::ERR_CONNECTION_CREATE");
    const int64_t elapsed = wqClock() - start;
    EXPECT_EQ(provider.calls(), 3);
    EXPECT_GE(elapsed, 2 * static_cast<int64_t>(second));
    EXPECT_LT(elapsed, 10 * static_cast<int64_t>(second));
}

}  // namespace
}  // namespace jms
