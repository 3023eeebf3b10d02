#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "core/Pinger.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

class ScriptedListener : public ConnectionCallbacks {
 public:
  explicit ScriptedListener(PingResult r) : result(r) {}
  PingResult ping(const ConnectionKey&) override {
    ++pings;
    return result;
  }
  std::atomic<PingResult> result;
  std::atomic<int> pings{0};
};

class Liveness : public BrokerTest {
 protected:
  ConnectionKey connectWith(std::shared_ptr<ConnectionCallbacks> cb) {
    ConnectRequest r;
    r.driver = u"vol";
    r.callbacks = std::move(cb);
    ConnectionKey k = broker_.connect(r);
    broker_.start(k);
    return k;
  }
};

TEST_F(Liveness, PingResultDecidesWhetherTheConnectionStays) {
  for (PingResult r : {PingResult::Alive, PingResult::Refused, PingResult::Unreachable}) {
    auto listener = std::make_shared<ScriptedListener>(r);
    ConnectionKey c = connectWith(listener);
    Pinger pinger(broker_, 0ms);
    EXPECT_EQ(pinger.pingNow(c.cid), r);
    bool open = false;
    for (auto& info : broker_.connections()) open |= info.key.cid == c.cid;
    EXPECT_EQ(open, r == PingResult::Alive);
  }
}

TEST_F(Liveness, DeadClientsUncommittedMessagesReturnAfterAPing) {
  SessionKey keeper = session(connect());
  send(sender(keeper, u"q"), u"precious");
  auto listener = std::make_shared<ScriptedListener>(PingResult::Alive);
  ConnectionKey doomed = connectWith(listener);
  SessionKey tx = session(doomed, true);
  ASSERT_TRUE(take(receiver(tx, u"q")));
  EndpointKey r = receiver(keeper, u"q");
  EXPECT_FALSE(take(r));

  listener->result = PingResult::Unreachable;  // the client crashed
  Pinger pinger(broker_, 10ms);
  auto back = broker_.receive(r, Wait::until(std::chrono::steady_clock::now() + 10s));
  ASSERT_TRUE(back);
  EXPECT_EQ(bodyOf(back), u"precious");
  EXPECT_TRUE(back->redelivered);
}

TEST_F(Liveness, PingingAnUnknownConnectionFails) {
  Pinger pinger(broker_, 0ms);
  EXPECT_PROVIDER_ERROR(pinger.pingNow(4242), ErrorKind::ConnectionID);
}

TEST_F(Liveness, StopEndsThePeriodicThread) {
  auto listener = std::make_shared<ScriptedListener>(PingResult::Alive);
  connectWith(listener);
  Pinger pinger(broker_, 5ms);
  for (int i = 0; i < 2000 && listener->pings < 2; ++i) std::this_thread::sleep_for(1ms);
  pinger.stop();
  int after = listener->pings;
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(listener->pings, after);
}

}  // namespace
}  // namespace quorix::provider::test
