// A stopped connection holds back synchronous receives: the wait ends when
// the connection starts or closes.
#include <chrono>
#include <future>
#include <thread>

#include "ConnectionHarness.h"
#include "sys/wq.h"

namespace qjms::test {
namespace {

using Clock = std::chrono::steady_clock;

class StartWait : public ConnectionE2E {};

TEST_F(StartWait, WakesOnStartAndOnClose) {
    for (bool byStart : {true, false}) {
        auto connection = connect();
        jms::CltConnection& c = impl(*connection);
        auto waiter = std::async(std::launch::async, [&] { return c.waitUntilStarted(); });
        EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
            << "returned while the connection was stopped";
        const auto changed = Clock::now();
        if (byStart) connection->start(); else connection->close();
        EXPECT_EQ(waiter.get(), byStart);
        EXPECT_LT(Clock::now() - changed, std::chrono::seconds(2));
    }
}

TEST_F(StartWait, AnswersAtOnceInAFinalStateAndHonoursADeadline) {
    auto connection = connect();
    jms::CltConnection& c = impl(*connection);
    const int64_t soon = jms::wqClock() + 30000;
    EXPECT_EQ(c.waitUntilStarted(soon), jms::CltConnection::StartWait::TimedOut);
    EXPECT_GE(jms::wqClock(), soon);
    connection->start();
    EXPECT_TRUE(c.waitUntilStarted());
    connection->stop();
    EXPECT_EQ(c.waitUntilStarted(jms::wqClock()), jms::CltConnection::StartWait::TimedOut);
    connection->close();
    EXPECT_FALSE(c.waitUntilStarted());
}

}  // namespace
}  // namespace qjms::test
