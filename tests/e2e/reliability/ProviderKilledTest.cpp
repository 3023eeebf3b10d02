// The provider killed (SIGKILL) at random moments under traffic on several
// connections, round after round in one process. Seeded: the seed is printed
// and QJMS_KILL_SEED repeats a run; QJMS_KILL_ROUNDS runs more rounds.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "Traffic.h"

namespace qjms::test {
namespace {

using namespace std::chrono_literals;

// Generous: a lost provider answers at once, so these catch a call that waits
// for something that will never come.
constexpr int64_t callBoundMs = 5000;
constexpr int64_t teardownStepBoundMs = 5000;

uint32_t fromEnv(const char* name, uint32_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

template <class Done>
bool waitFor(Done done, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// One message through a fresh connection: the provider serves.
void roundTrip(const ProviderProcess& provider) {
    auto connection = connectTo(provider);
    connection->start();
    std::unique_ptr<jms::QueueSession> s(connection->createQueueSession(false, 1));
    std::unique_ptr<jms::Queue> q(s->createQueue(u"round.trip"));
    std::unique_ptr<jms::QueueSender> p(s->createSender(q.get()));
    std::unique_ptr<jms::QueueReceiver> r(s->createReceiver(q.get()));
    std::unique_ptr<jms::TextMessage> m(s->createTextMessage(u"after"));
    p->send(m.get());
    std::unique_ptr<jms::Message> got(r->receive(5000));
    auto* text = dynamic_cast<jms::TextMessage*>(got.get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->getText(), u"after");
    connection->close();
}

void killRound(int round, std::mt19937& rng, std::set<std::string>& texts) {
    ProviderProcess provider({}, false);
    Outcomes outcomes;
    Traffic traffic(provider, 3, rng(), outcomes);
    KillOnExit killFirst{provider};  // a worker may be waiting in receive()

    traffic.start();
    ASSERT_TRUE(waitFor([&] { return traffic.delivered() > 0; }, 10s)) << "nothing delivered";
    const int delayMs = std::uniform_int_distribution<int>(0, 400)(rng);
    const auto how = static_cast<Traffic::Teardown>(std::uniform_int_distribution<int>(0, 2)(rng));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    outcomes.providerGone();  // first: a call may fail before kill() has reaped the server
    provider.kill();

    // Every worker learns of it: a call that still succeeded would mean a lost
    // provider reported as success.
    EXPECT_TRUE(waitFor([&] { return outcomes.allFailedSinceLoss(); }, 10s));
    traffic.stop();
    const Outcomes::Summary summary = outcomes.summary();
    EXPECT_LT(summary.worstAfterLossMs, callBoundMs);
    EXPECT_TRUE(summary.undocumented.empty()) << ::testing::PrintToString(summary.undocumented);
    EXPECT_TRUE(summary.before.empty()) << ::testing::PrintToString(summary.before);
    for (const auto& failure : summary.failures) texts.insert(failure.first);

    const Traffic::Ended ended = traffic.teardown(how, rng);
    EXPECT_LT(ended.slowestStepMs, teardownStepBoundMs) << Traffic::name(how);
    for (const std::string& failure : ended.failures) EXPECT_TRUE(documentedLoss(failure)) << failure;

    std::printf("round %d: killed %d ms into traffic, %lld calls, slowest past the kill %lld ms; "
                "%s in %lld ms (slowest step %lld ms)\n",
                round, delayMs, static_cast<long long>(summary.calls),
                static_cast<long long>(summary.worstAfterLossMs), Traffic::name(how),
                static_cast<long long>(ended.totalMs), static_cast<long long>(ended.slowestStepMs));
}

TEST(ProviderKilled, EveryCallReturnsEverythingClosesAndANewProviderServes) {
    const uint32_t seed = fromEnv("QJMS_KILL_SEED", std::random_device{}());
    const int rounds = static_cast<int>(fromEnv("QJMS_KILL_ROUNDS", 20));
    std::printf("provider kills: seed %u (QJMS_KILL_SEED), %d rounds (QJMS_KILL_ROUNDS)\n", seed, rounds);
    RecordProperty("seed", std::to_string(seed));
    std::mt19937 rng(seed);
    std::set<std::string> texts;
    for (int round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        killRound(round, rng, texts);
        if (HasFatalFailure()) return;
    }
    ProviderProcess provider({}, false);
    roundTrip(provider);
    std::printf("survived %d rounds; calls failed with %s\n", rounds, ::testing::PrintToString(texts).c_str());
}

}  // namespace
}  // namespace qjms::test
