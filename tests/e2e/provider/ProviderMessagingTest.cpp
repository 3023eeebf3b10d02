// Each family of messaging operations once through the wire, and liveness
// after a client is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <limits>
#include <thread>

#include "WireClient.h"

extern char** environ;

namespace qjms::test {
namespace {

using namespace wireclient;
using namespace std::chrono_literals;

class Messaging : public ::testing::Test {
 protected:
  explicit Messaging(std::vector<std::string> args = {}) : srv_(std::move(args)) {}
  Server srv_;
  Connection conn_{srv_.p()};
  wire::SessionID_var session_ = conn_.session();

  wserver::Provider_ptr p() { return srv_.p(); }
  wire::UID_var sender(const std::string& queue) { return wireclient::sender(p(), session_.in(), queue); }
  wire::UID_var receiver(const std::string& queue, const std::optional<std::string>& selector = {}) {
    return wireclient::receiver(p(), session_.in(), queue, selector);
  }
  std::pair<std::string, long long> send(const wire::UID& producer, const wire::JMSMsg& m) {
    CORBA::WString_var id;
    CORBA::LongLong ts = 0;
    p()->produce(m, producer, id.out(), ts);
    return {narrow(id.in()), ts};
  }
};

// (What the library sends and gets back is checked through the library.)
TEST_F(Messaging, SelectorsSeeWirePropertiesAndBadSelectorsOrForeignDestinationsAreRefused) {
  wire::UID_var s = sender("q");
  wire::JMSMsg m = textMessage("tagged", 6);
  m.hdr.JMSProperties.length(2);
  m.hdr.JMSProperties[0].name = wideDup("n");
  m.hdr.JMSProperties[0].val.propInt(42);
  m.hdr.JMSProperties[1].name = wideDup("colour");
  m.hdr.JMSProperties[1].val.propString(wideDup("red"));
  send(s.in(), textMessage("plain"));
  auto [id, ts] = send(s.in(), m);
  long long nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(ts, nowMs, 60000);  // wall-clock milliseconds
  wire::NullJMSMsg_var got = p()->consumeNoBlock(receiver("q", "colour = 'red' AND n = 42").in());
  ASSERT_TRUE(got->_d());
  EXPECT_EQ(narrow(got->val().hdr.JMSMessageID.val()), id);
  EXPECT_EQ(drain(p(), receiver("q").in()), "plain");
  EXPECT_EQ(raised([&] { receiver("q", "colour = = 'red'"); }), "SelectorException");
  wire::Destination foreign = destination("q", false);
  wire::DefinedDestination def;
  def.driver_name = wideDup("mq");
  foreign.defined.dest(def);
  EXPECT_EQ(raised([&] { wire::UID_var r = p()->createReceiver(foreign, session_.in(), text({})); }),
            "DestinationException");
}

TEST_F(Messaging, ReceiveModesAndBlockedConsumesThatHoldUpNothing) {
  wire::UID_var r = receiver("q"), snd = sender("q");
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(wire::NullJMSMsg_var(p()->consumeTimeOut(100, r.in()))->_d());
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 100ms);
  EXPECT_EQ(raised([&] { p()->consumeTimeOut(-1, r.in()); }), "BadArgException");
  CORBA::WString_var id = wideDup(send(snd.in(), textMessage("by id")).first);
  send(snd.in(), textMessage("next"));
  for (const char* expected : {"by id", ""})
    EXPECT_EQ(bodyOf(wire::NullJMSMsg_var(p()->consumeById(r.in(), id.in())).in()).value_or(""), expected);
  EXPECT_EQ(take(p(), r.in()), "next");

  // One waits without limit, one with a deadline the clock cannot hold;
  // another connection's sends still get through.
  std::string got, gotLater;
  std::thread waiter([&] { got = bodyOf(wire::JMSMsg_var(p()->consume(r.in())).in()); });
  std::thread patient([&] {
    wire::NullJMSMsg_var m = p()->consumeTimeOut(std::numeric_limits<long long>::max(), r.in());
    gotLater = bodyOf(m.in()).value_or("null");
  });
  std::this_thread::sleep_for(50ms);
  Connection other(p());
  wire::SessionID_var s = other.session();
  wire::UID_var otherSender = wireclient::sender(p(), s.in(), "q");
  for (int i = 0; i < 2; ++i) send(otherSender.in(), textMessage("finally"));
  waiter.join();
  patient.join();
  EXPECT_EQ(got + " " + gotLater, "finally finally");
}

TEST_F(Messaging, ASecondActiveDurableSubscriberIsRefusedWithTheCodeTheLibraryRetriesOn) {
  Connection owner(p(), "durable-client");
  wire::SessionID_var ds = owner.session();
  CORBA::WString_var name = wideDup("sub");
  auto durable = [&] { return p()->createDurableSubscriber(destination("news", true), name.in(), ds.in(), text({})); };
  wire::UID_var d = durable();
  try {
    durable();
    ADD_FAILURE() << "second active durable subscriber accepted";
  } catch (const wire::ConsumerException& e) {
    EXPECT_EQ(e.code, 18);
  }
  p()->closeConsumer(d.in());
  p()->unsubscribe(name.in(), ds.in());
  EXPECT_EQ(raised([&] { p()->unsubscribe(name.in(), ds.in()); }), "DestinationException");
}

TEST_F(Messaging, PushesReachTheSessionListenerAndARefusalReturnsTheMessage) {
  wire::UID_var r = receiver("pushed"), snd = sender("pushed");
  std::string at = "@" + std::to_string(r->uid);
  p()->setMessageListener(r.in());
  send(snd.in(), textMessage("one"));
  send(snd.in(), textMessage("two"));
  EXPECT_EQ(conn_.sessionListener->waitFor(2), (std::vector<std::string>{"one" + at, "two" + at}));
  p()->unsetMessageListener(r.in());
  send(snd.in(), textMessage("three"));
  EXPECT_EQ(take(p(), r.in()), "three");

  // The client says the session is gone: the server closes it and keeps the message.
  p()->setMessageListener(r.in());
  conn_.sessionListener->refuse = 1;
  send(snd.in(), textMessage("four"));
  conn_.sessionListener->waitFor(3);
  std::string error;
  for (int i = 0; i < 200 && error.empty(); ++i, std::this_thread::sleep_for(10ms))
    error = raised([&] { take(p(), r.in()); });
  EXPECT_EQ(error, "SessionIDException");
  wire::SessionID_var s = conn_.session();
  EXPECT_EQ(drain(p(), wireclient::receiver(p(), s.in(), "pushed").in()), "four*");
}

class SmallMessageLimit : public Messaging {
 protected:
  SmallMessageLimit() : Messaging({"--max-message-size", "1048576"}) {}
};

TEST_F(SmallMessageLimit, AMessageOverTheLimitFailsAndTheServerCarriesOn) {
  wire::UID_var s = sender("q");
  EXPECT_NE(raised([&] { send(s.in(), textMessage(std::string(600000, 'x'))); }), "");
  send(s.in(), textMessage("small"));
  EXPECT_EQ(drain(p(), receiver("q").in()), "small");
}

class PeriodicPings : public Messaging {
 protected:
  PeriodicPings() : Messaging({"--ping-interval", "0.2"}) {}
};

TEST_F(PeriodicPings, AKilledClientsUncommittedMessageComesBackUnasked) {
  send(sender("precious").in(), textMessage("keep me"));
  std::string bin = QJMS_CRASH_CLIENT, ior = srv_.process.ior(), queue = "precious";
  char* argv[] = {bin.data(), ior.data(), queue.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
  // Marked redelivered: the dead client had it.
  EXPECT_EQ(drain(p(), receiver("precious").in(), 20000), "keep me*");
  EXPECT_EQ(srv_.control.connectionOf("crash-client"), -1);
  EXPECT_NE(conn_.listener->pings, 0);  // live clients are pinged too, and stay
}

}  // namespace
}  // namespace qjms::test
