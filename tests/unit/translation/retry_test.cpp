// Retrying provider calls: Resource (three calls, a second apart), Busy (five
// calls, no pause) and a durable subscription in use (four answers).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "FakeProvider.h"
#include "sys/wq.h"

namespace jms {
namespace {

using namespace pcall;
using test::FakeProvider;
using test::RecordedPauses;

constexpr uint64_t second = 1000000;

const Table<> connectionCreation{{{Exc::Resource, reason(u"CltException::ERR_CONNECTION_CREATE")},
                                  {Exc::Store, reason(u"CltException::ERR_CONNECTION_CREATE")},
                                  {Exc::System, reason(u"CltException::ERR_CONNECTION_CREATE")}},
                                 {retryResource}};

const Table<> durableCreation{{{Exc::Consumer, fixed(u"svrConsumer: ERR_CONSUMER_CREATE")},
                               {Exc::Resource, fixed(u"svrResource: ERR_SESSION_CREATE")}},
                              {retryResource, retryConsumerInUse}};

const Table<> receive{{{Exc::Busy, word()}}, {retryBusy}};

// The call's answer as text, or the text of the exception it ended with.
WString run(const Table<>& table, FakeProvider& provider) {
    try {
        return std::u16string(1, static_cast<char16_t>(u'0' + table.call([&] {
                                     return provider.operation(5);
                                 })));
    } catch (const JMSException& e) {
        return e.toString();
    } catch (const CORBA::Exception&) {
        return u"pass";
    }
}

TEST(Retry, CountsItsAnswersAndPausesBetweenCalls) {
    const struct {
        const char* name;
        const Table<>& table;
        std::vector<FakeProvider::Step> script;
        WString result;
        int calls;
        std::size_t pauses;
        uint64_t pause;
    } rows[] = {
        {"resource twice", connectionCreation, {{Exc::Resource, L"a", 1}, {Exc::Resource, L"b", 1}},
         u"5", 3, 2, second},
        {"resource thrice: the last reason", connectionCreation,
         {{Exc::Resource, L"a", 1}, {Exc::Resource, L"b", 1}, {Exc::Resource, L"third", 1}},
         u"svrResource: thirdCltException::ERR_CONNECTION_CREATE", 3, 2, second},
        {"another answer ends it", connectionCreation,
         {{Exc::Resource, L"a", 1}, {Exc::Store, L"disk", 1}, {Exc::Resource, L"c", 1}},
         u"svrStore: diskCltException::ERR_CONNECTION_CREATE", 2, 1, second},
        {"a system exception has no reason", connectionCreation, {{Exc::System, L"", 1}},
         u"SystemException: CltException::ERR_CONNECTION_CREATE", 1, 0, 0},
        {"busy four times", receive, std::vector<FakeProvider::Step>(4, {Exc::Busy, L"b", 1}), u"5", 5,
         0, 0},
        {"busy five times", receive, std::vector<FakeProvider::Step>(5, {Exc::Busy, L"b", 1}),
         u"svrBusy", 5, 0, 0},
        {"in use three times", durableCreation,
         std::vector<FakeProvider::Step>(3, {Exc::Consumer, L"u", 18}), u"5", 4, 3, second},
        {"in use four times", durableCreation,
         std::vector<FakeProvider::Step>(4, {Exc::Consumer, L"u", 18}),
         u"svrConsumer: ERR_CONSUMER_CREATE", 4, 3, second},
        {"another consumer code", durableCreation, {{Exc::Consumer, L"u", 17}},
         u"svrConsumer: ERR_CONSUMER_CREATE", 1, 0, 0},
        {"separate counts", durableCreation,
         {{Exc::Resource, L"r", 18},
          {Exc::Consumer, L"u", 18},
          {Exc::Resource, L"r", 18},
          {Exc::Consumer, L"u", 18},
          {Exc::Consumer, L"u", 18}},
         u"5", 6, 5, second},
        {"no rule: the last answer passes", receive,
         std::vector<FakeProvider::Step>(6, {Exc::Busy, L"b", 1}), u"svrBusy", 5, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordedPauses pauses;
        FakeProvider provider;
        for (const auto& step : row.script) provider.fail(step.kind, 1, step.reason, step.code);
        EXPECT_EQ(run(row.table, provider), row.result);
        EXPECT_EQ(provider.calls(), row.calls);
        EXPECT_EQ(pauses.pauses(), std::vector<uint64_t>(row.pauses, row.pause));
    }
    // A retry whose kind the table does not translate lets the last answer through.
    const Table<> untranslated{{{Exc::Store, word()}}, {retryResource}};
    FakeProvider provider;
    provider.fail(Exc::Resource, 5);
    RecordedPauses pauses;
    EXPECT_EQ(run(untranslated, provider), u"pass");
    EXPECT_EQ(provider.calls(), 3);
}

TEST(Retry, ConcurrentCallsOnOneTableKeepTheirOwnCounts) {
    RecordedPauses pauses;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                FakeProvider provider;
                provider.fail(Exc::Resource, 2);
                if (run(connectionCreation, provider) != u"5" || provider.calls() != 3) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(pauses.pauses().size(), 4u * 50u * 2u);
}

TEST(Retry, ThreeResourceAnswersTakeAboutTwoSecondsOfRealTime) {
    FakeProvider provider;
    provider.fail(Exc::Resource, 3, L"r");
    const int64_t start = wqClock();
    EXPECT_EQ(run(connectionCreation, provider), u"svrResource: rCltException::ERR_CONNECTION_CREATE");
    const int64_t elapsed = wqClock() - start;
    EXPECT_EQ(provider.calls(), 3);
    EXPECT_GE(elapsed, static_cast<int64_t>(2 * second));
    EXPECT_LT(elapsed, static_cast<int64_t>(10 * second));
}

}  // namespace
}  // namespace jms
