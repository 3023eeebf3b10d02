#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "control/TestControl.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

class TestControlCommands : public BrokerTest {
 protected:
  CallLog log_{true};
  Pinger pinger_{broker_, 0ms};
  TestControl control_{broker_, pinger_, log_};
  std::u16string run(std::u16string command, std::u16string argument = {}) {
    return control_.execute(command, argument);
  }
};

TEST_F(TestControlCommands, FaultsQueueUpInOrderCallsAreCountedAndResetClearsBoth) {
  EXPECT_EQ(run(u"fail", u"produce ResourceException 2 7 disk  on fire"), u"ok");
  EXPECT_EQ(run(u"fail", u"produce TRANSIENT"), u"ok");
  auto args = [] { return std::u16string(u"args"); };
  auto f1 = log_.enter("produce", args), f2 = log_.enter("produce", args),
       f3 = log_.enter("produce", args);
  ASSERT_TRUE(f1 && f2 && f3);
  EXPECT_EQ(f1->exception, "ResourceException");
  EXPECT_EQ(f1->code, 7);
  EXPECT_EQ(f1->reason, u"disk  on fire");  // the rest of the argument, verbatim
  EXPECT_EQ(f2->reason, u"disk  on fire");
  EXPECT_EQ(f3->exception, "TRANSIENT");
  EXPECT_EQ(f3->code, 0);
  EXPECT_EQ(f3->reason, u"injected");
  EXPECT_FALSE(log_.enter("produce", args));
  EXPECT_EQ(run(u"calls", u"produce"), u"4");
  EXPECT_EQ(run(u"last", u"produce"), u"args");
  EXPECT_EQ(run(u"last", u"consume"), u"none");
  EXPECT_EQ(run(u"calls", u"consume"), u"0");

  // The largest count is one entry, not 2^31 of them.
  EXPECT_EQ(run(u"fail", u"start BusyException 2147483647"), u"ok");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(log_.enter("start", nullptr)->exception, "BusyException");
  EXPECT_EQ(run(u"reset"), u"ok");
  EXPECT_EQ(run(u"calls", u"produce"), u"0");
  EXPECT_FALSE(log_.enter("start", nullptr));
}

TEST_F(TestControlCommands, MalformedCommandsAreRefused) {
  for (auto [command, argument] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"fail", u""}, {u"fail", u"start"}, {u"fail", u"bogus ResourceException"},
           {u"fail", u"start Resource"}, {u"fail", u"start ResourceException 0"},
           {u"fail", u"start ResourceException two"},
           {u"fail", u"start ResourceException 1 99999999999"}, {u"fail", u"admin SecException"},
           {u"calls", u"start stop"}, {u"last", u"bogus"}, {u"event", u"104"},
           {u"event", u"104 1 2 3 4"}, {u"ping", u""}, {u"unknown", u""}}) {
    SCOPED_TRACE(toUtf8(command + u" " + argument));
    EXPECT_PROVIDER_ERROR(run(command, argument), ErrorKind::BadArg);
  }
}

TEST_F(TestControlCommands, DisabledLogRecordsNothing) {
  CallLog off(false);
  off.addFault("start", Fault{"ResourceException"}, 1);
  EXPECT_FALSE(off.enter("start", [] { return std::u16string(u"x"); }));
  EXPECT_EQ(off.calls("start"), 0u);
}

TEST_F(TestControlCommands, ConnectionsEventsPingAndStats) {
  auto cb = std::make_shared<FakeCallbacks>();
  ConnectionKey c = connect(u"app", true, cb), plain = connect();
  SessionKey s = session(c);
  EndpointKey rcv = receiver(s, u"q");
  send(sender(session(plain), u"kept"), u"m");
  auto n = [](int32_t v) { return u16(int64_t(v)); };

  EXPECT_EQ(run(u"connections"), n(c.cid) + u" app\n" + n(plain.cid) + u" ");
  EXPECT_EQ(run(u"event", u"107 " + n(c.cid) + u" " + n(s.sid) + u" " + n(rcv.uid)), u"ok");
  EXPECT_EQ(cb->lastCode, 107);
  ASSERT_TRUE(cb->last.endpoint);
  EXPECT_EQ(cb->last.endpoint->uid, rcv.uid);
  EXPECT_PROVIDER_ERROR(run(u"event", u"104 " + n(c.cid) + u" 999"), ErrorKind::SessionID);
  EXPECT_EQ(run(u"event", u"104 " + n(plain.cid)), u"error");  // no listener

  EXPECT_EQ(run(u"stats"),
            u"connections=2 sessions=2 consumers=1 producers=1 messages=1 queues=2 topics=0");
  EXPECT_EQ(run(u"ping", n(c.cid)), u"true");
  cb->answer = PingResult::Refused;
  EXPECT_EQ(run(u"ping", n(c.cid)), u"false");
  broker_.closeConnection(plain);  // queued messages outlive their sender
  EXPECT_EQ(run(u"stats"),
            u"connections=0 sessions=0 consumers=0 producers=0 messages=1 queues=2 topics=0");
}

}  // namespace
}  // namespace quorix::provider::test
