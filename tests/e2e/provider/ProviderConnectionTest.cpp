// Connections, sessions, exceptions and test control, through the generated stubs.
#include <gtest/gtest.h>

#include <memory>

#include "WireClient.h"

namespace qjms::test {
namespace {

using namespace wireclient;

class ProviderWire : public ::testing::Test {
 protected:
  explicit ProviderWire(std::vector<std::string> args = {}) : srv_(std::move(args)) {}
  Server srv_;
  ProviderControl& control_ = srv_.control;
  wserver::Provider_ptr p() { return srv_.p(); }
};

TEST_F(ProviderWire, ConnectionsLiveAndDieByTheirIdentifiers) {
  Connection c(p(), "app"), other(p());
  const wire::ConnectionMetaData& m = c.metaData();
  EXPECT_EQ(m.JMSMajorVersion * 10 + m.JMSMinorVersion, 10);
  EXPECT_EQ(narrow(m.JMSProviderName) + " " + narrow(m.driverName), "quorix-provider vol");
  EXPECT_TRUE(!m.supportsPersistent && m.supportsNonPersistent && m.supportsTxSessions);
  p()->setClientID(text("mine"), other.id());
  EXPECT_EQ(control_.connectionOf("mine"), other.id().cid);
  EXPECT_EQ(control_.connectionOf("app"), c.id().cid);
  wire::ConnectionID wrong = c.id();
  wrong.password = text("guess");  // the password travels in every identifier
  EXPECT_EQ(raised([&] { p()->stop(wrong); }), "ConnectionIDException");
  c.close();
  EXPECT_EQ(control_.connectionOf("app"), -1);
  EXPECT_EQ(raised([&] { p()->start(c.id()); }), "ConnectionIDException");
  // Operations the library never calls.
  EXPECT_TRUE(p()->ping());
  EXPECT_GT(p()->getReceiverVersion(), 0);
  wserver::PropID job;
  job.pid = wideDup("p");
  job.username = job.password = text(std::nullopt);
  EXPECT_EQ(raised([&] { p()->getRecvLogRec(job); }), "NO_IMPLEMENT");
  EXPECT_EQ(control_.calls("getRecvLogRec"), 1);
}

TEST_F(ProviderWire, EveryInjectedExceptionArrivesByNameAndTheFaultedCallDoesNoWork) {
  Connection c(p(), std::nullopt, /*start=*/false);
  const std::vector<std::string> names = {
      "StoreException", "BadStateException", "BusyException", "ConcurrencyException",
      "SessionIDException", "ConnectionIDException", "DestinationException", "ConsumerException",
      "BadArgException", "FullException", "ProducerException", "VersionException",
      "MessageException", "TransactionException", "PushException", "ResourceException",
      "SelectorException", "MessageLostException", "PropagationException", "SecException",
      "TRANSIENT", "COMM_FAILURE", "OBJECT_NOT_EXIST", "INTERNAL", "UNKNOWN", "NO_IMPLEMENT",
      "NO_RESOURCES", "BAD_PARAM", "TIMEOUT"};
  for (const std::string& name : names) control_.fail("start", name);
  for (const std::string& name : names) EXPECT_EQ(raised([&] { p()->start(c.id()); }), name);
  EXPECT_EQ(raised([&] { p()->start(c.id()); }), "");
  EXPECT_EQ(control_.calls("start"), long(names.size() + 1));

  control_.fail("createConnection", "ResourceException", 2, 7, "disk  on fire");
  try {
    Connection ghost(p(), "ghost");
    ADD_FAILURE() << "the injected fault did not arrive";
  } catch (const wire::ResourceException& e) {
    EXPECT_EQ(narrow(e.reason.in()) + " " + std::to_string(e.code), "disk  on fire 7");
  }
  EXPECT_EQ(control_.connectionOf("ghost"), -1);
}

TEST_F(ProviderWire, EventsNameTheSessionOrConsumerTheyConcern) {
  Connection c(p());
  wire::SessionID_var s = c.session();
  wire::UID_var r = p()->createReceiver(destination("q", false), s.in(), text(std::nullopt));
  EXPECT_EQ(control_.event(105, c.id().cid, s->sid), "ok");
  EXPECT_EQ(control_.event(117, c.id().cid, s->sid, r->uid), "ok");
  EXPECT_EQ(c.listener->waitFor(2),
            (std::vector<std::string>{"105 session " + std::to_string(s->sid),
                                      "117 consumer " + std::to_string(r->uid)}));
  c.listener.deactivate();  // a listener that cannot be reached
  EXPECT_EQ(control_.event(104, c.id().cid), "error");
}

class ConfiguredProvider : public ProviderWire {
 protected:
  ConfiguredProvider()
      : ProviderWire({"--user", "alice:secret", "--driver", "mq", "--no-tx", "--persistent",
                      "--max-queue-depth", "2"}) {}
  std::unique_ptr<Connection> connect(const char* driver, const char* password) {
    return std::make_unique<Connection>(p(), std::nullopt, true, driver, "alice", password);
  }
};

TEST_F(ConfiguredProvider, OptionsDecideCredentialsDriverTransactionsAndLimits) {
  EXPECT_EQ(raised([&] { connect("mq", "wrong"); }), "SecException");
  std::unique_ptr<Connection> c = connect("mq", "secret");
  const wire::ConnectionMetaData& m = c->metaData();
  EXPECT_TRUE(narrow(m.driverName) == "mq" && m.supportsPersistent && !m.supportsTxSessions);
  wire::SessionID_var s = c->session();
  wire::UID_var snd = p()->createSender(optionalDestination("q", false), s.in());
  auto send = [&](int mode) {
    CORBA::WString_var id;
    CORBA::LongLong ts = 0;
    p()->produce(textMessage("m", 4, mode), snd.in(), id.out(), ts);
  };
  send(2);  // persistent, as claimed
  send(1);
  EXPECT_EQ(raised([&] { send(1); }), "FullException");
}

TEST(ProviderAdmin, IsRefusedWithoutTestControl) {
  ProviderProcess server({}, /*testControl=*/false);
  try {
    ProviderControl(server.ior()).stats();
    ADD_FAILURE() << "admin answered without --test-control";
  } catch (const ControlError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("SecException: administration is not enabled", 0), 0u)
        << e.what();
  }
}

}  // namespace
}  // namespace qjms::test
