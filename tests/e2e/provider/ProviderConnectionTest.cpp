// Connections, sessions and test control, through the generated stubs.
#include <gtest/gtest.h>

#include "ProviderControl.h"
#include "ProviderProcess.h"
#include "WireClient.h"

namespace qjms::test {
namespace {

using namespace wireclient;

// Runs `call` and returns the name of the exception it raised ("" if none).
template <class F>
std::string raised(F&& call, std::string* reason = nullptr, int* code = nullptr) {
  try {
    call();
    return "";
  } catch (const CORBA::UserException& e) {
    CORBA::Any any;
    any <<= e;
    // Every contract exception starts with reason and code; read the ones tests check.
    const wire::ResourceException* res = nullptr;
    const wire::BadArgException* bad = nullptr;
    const wire::SecException* sec = nullptr;
    if (any >>= res) {
      if (reason) *reason = narrow(res->reason.in());
      if (code) *code = res->code;
    } else if (any >>= bad) {
      if (reason) *reason = narrow(bad->reason.in());
      if (code) *code = bad->code;
    } else if (any >>= sec) {
      if (reason) *reason = narrow(sec->reason.in());
      if (code) *code = sec->code;
    }
    return e._name();
  } catch (const CORBA::SystemException& e) {
    return e._name();
  }
}

class ProviderWire : public ::testing::Test {
 protected:
  explicit ProviderWire(std::vector<std::string> args = {}) : server_(std::move(args)) {}
  ProviderProcess server_;
  ProviderControl control_{server_.ior()};
  wserver::Provider_ptr provider() { return control_.provider(); }

  wire::ConnectionID_var connect(const wire::StringU& clientId, const char* driver = "vol",
                                 int major = 1, const std::optional<std::string>& user = {},
                                 const std::optional<std::string>& password = {}) {
    Active<ConnectionListener> listener;
    CORBA::WString_var d = wideDup(driver);
    wire::ConnectionMetaData_var meta;
    return provider()->createConnection(meta.out(), listener.ref(), clientMetaData(major),
                                        clientId, text(user), text(password), d.in());
  }
};

TEST_F(ProviderWire, CreateConnectionAnswersMetadataAndIsListed) {
  Connection c(provider(), "app");
  const wire::ConnectionMetaData& m = c.providerMetaData();
  EXPECT_EQ(m.JMSMajorVersion, 1);
  EXPECT_EQ(m.JMSMinorVersion, 0);
  EXPECT_EQ(narrow(m.JMSProviderName), "quorix-provider");
  EXPECT_EQ(narrow(m.driverName), "vol");
  EXPECT_FALSE(m.supportsPersistent);
  EXPECT_TRUE(m.supportsNonPersistent);
  EXPECT_TRUE(m.supportsTxSessions);
  EXPECT_EQ(control_.connectionOf("app"), c.id().cid);
  EXPECT_EQ(control_.calls("createConnection"), 1);
  EXPECT_EQ(control_.calls("start"), 1);
  c.close();
  EXPECT_EQ(control_.connectionOf("app"), -1);
}

TEST_F(ProviderWire, LastTellsAnAbsentTextFromAnEmptyOne) {
  connect(text(std::nullopt));
  EXPECT_NE(control_.last("createConnection").find("clientID=null username=null password=null "
                                                   "driver=\"vol\""),
            std::string::npos)
      << control_.last("createConnection");
  connect(text(std::string()));
  EXPECT_NE(control_.last("createConnection").find("clientID=\"\""), std::string::npos);
  EXPECT_EQ(control_.last("setClientID"), "none");
}

TEST_F(ProviderWire, ConnectionRefusals) {
  EXPECT_EQ(raised([&] { connect(text(std::nullopt), "mq"); }), "BadArgException");
  EXPECT_EQ(raised([&] { connect(text(std::nullopt), "VOL"); }), "");
  EXPECT_EQ(raised([&] { connect(text(std::nullopt), "vol", 2); }), "VersionException");
  Connection holder(provider(), "taken");
  EXPECT_EQ(raised([&] { connect(text(std::string("taken"))); }), "BadArgException");
  Connection other(provider());
  EXPECT_EQ(raised([&] { provider()->setClientID(text(std::string("taken")), other.id()); }),
            "BadArgException");
  EXPECT_EQ(raised([&] { provider()->setClientID(text(std::string("mine")), other.id()); }), "");
  EXPECT_EQ(control_.connectionOf("mine"), other.id().cid);
}

TEST_F(ProviderWire, IdentifiersAreCheckedOnEveryCall) {
  Connection c(provider());
  wire::SessionID_var s = c.session();
  wire::ConnectionID wrong = c.id();
  wrong.password = text(std::string("guess"));
  EXPECT_EQ(raised([&] { provider()->stop(wrong); }), "ConnectionIDException");
  wire::SessionID otherSession = s.in();
  otherSession.sid += 1000;
  EXPECT_EQ(raised([&] { provider()->closeSession(otherSession); }), "SessionIDException");
  wire::UID unknown;
  unknown.uid = 999;
  unknown.sid = s.in();
  EXPECT_EQ(raised([&] { provider()->closeProducer(unknown); }), "ProducerException");
  EXPECT_EQ(raised([&] { provider()->consumeNoBlock(unknown); }), "ConsumerException");
  provider()->closeSession(s.in());
  EXPECT_EQ(raised([&] { provider()->commit(s.in()); }), "SessionIDException");
  c.close();
  EXPECT_EQ(raised([&] { provider()->start(c.id()); }), "ConnectionIDException");
}

TEST_F(ProviderWire, SessionRules) {
  Connection c(provider());
  Active<MessageListener> l;
  EXPECT_EQ(raised([&] { provider()->createSession(c.id(), l.ref(), 0, false, 0, false, 4); }),
            "BadArgException");
  EXPECT_EQ(raised([&] { provider()->createSession(c.id(), l.ref(), 5, false, 0, false, 4); }),
            "BadArgException");
  wire::SessionID_var plain = c.session(false);
  EXPECT_EQ(raised([&] { provider()->commit(plain.in()); }), "TransactionException");
  EXPECT_EQ(raised([&] { provider()->rollback(plain.in()); }), "TransactionException");
  EXPECT_NE(control_.last("createSession").find("ackMode=4 transacted=false"), std::string::npos)
      << control_.last("createSession");
}

TEST_F(ProviderWire, InjectedFaultsRaiseInOrderThenTheCallWorks) {
  Connection c(provider(), std::nullopt, /*start=*/false);
  control_.fail("start", "ResourceException", 2, 7, "disk on fire");
  control_.fail("start", "TRANSIENT");
  std::string reason;
  int code = 0;
  EXPECT_EQ(raised([&] { provider()->start(c.id()); }, &reason, &code), "ResourceException");
  EXPECT_EQ(reason, "disk on fire");
  EXPECT_EQ(code, 7);
  EXPECT_EQ(raised([&] { provider()->start(c.id()); }), "ResourceException");
  EXPECT_EQ(raised([&] { provider()->start(c.id()); }), "TRANSIENT");
  EXPECT_EQ(raised([&] { provider()->start(c.id()); }), "");
  EXPECT_EQ(control_.calls("start"), 4);

  // A faulted call does no work: the connection is not created.
  control_.fail("createConnection", "SecException");
  EXPECT_EQ(raised([&] { connect(text(std::string("ghost"))); }, &reason), "SecException");
  EXPECT_EQ(reason, "injected");
  EXPECT_EQ(control_.connectionOf("ghost"), -1);

  control_.fail("stop", "BusyException", 3);
  control_.reset();
  EXPECT_EQ(control_.calls("start"), 0);
  EXPECT_EQ(raised([&] { provider()->stop(c.id()); }), "");
}

TEST_F(ProviderWire, MalformedCommandsAreRefused) {
  for (auto [command, argument] : std::vector<std::pair<std::string, std::string>>{
           {"fail", "start"},
           {"fail", "nosuchop ResourceException"},
           {"fail", "start NoSuchException"},
           {"fail", "start ResourceException many"},
           {"fail", "admin SecException"},
           {"calls", ""},
           {"event", "104"},
           {"ping", "x"},
           {"frobnicate", ""}}) {
    try {
      control_.admin(command, argument);
      ADD_FAILURE() << command << " " << argument << " accepted";
    } catch (const ControlError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("BadArgException: ", 0), 0u) << e.what();
    }
  }
}

TEST_F(ProviderWire, EventReachesTheConnectionListenerNamingTheObject) {
  Connection c(provider());
  wire::SessionID_var s = c.session();
  EXPECT_EQ(control_.event(104, c.id().cid, s->sid), "ok");
  auto e = c.listener()->waitForEvent();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, 104);
  EXPECT_EQ(e->kind, 2);
  EXPECT_EQ(e->number, s->sid);
}

TEST_F(ProviderWire, PingAnswerDecidesWhetherTheConnectionStays) {
  Connection alive(provider());
  EXPECT_EQ(control_.ping(alive.id().cid), "true");
  Connection refusing(provider());
  refusing.listener()->alive = false;
  EXPECT_EQ(control_.ping(refusing.id().cid), "false");
  Connection gone(provider());
  gone.listener().deactivate();
  EXPECT_EQ(control_.ping(gone.id().cid), "error");
  std::vector<int> open;
  for (auto& [cid, id] : control_.connections()) open.push_back(cid);
  EXPECT_EQ(open, std::vector<int>{alive.id().cid});
  EXPECT_EQ(raised([&] { provider()->start(refusing.id()); }), "ConnectionIDException");
}

TEST_F(ProviderWire, OperationsTheLibraryNeverCallsAnswerSensibly) {
  EXPECT_TRUE(provider()->ping());
  EXPECT_GT(provider()->getReceiverVersion(), 0);
  ::zorvane::velt::admin::notify::StringNullU none;
  none.nullValue(0);
  CORBA::WString_var entry = wideDup("e");
  EXPECT_EQ(raised([&] { provider()->removeAdminEntry(none, none, entry.in()); }), "NO_IMPLEMENT");
  wserver::PropID job;
  job.pid = wideDup("p");
  job.username = text(std::nullopt);
  job.password = text(std::nullopt);
  EXPECT_EQ(raised([&] { provider()->getRecvLogRec(job); }), "NO_IMPLEMENT");
  EXPECT_EQ(control_.calls("getRecvLogRec"), 1);
}

class SecuredProvider : public ProviderWire {
 protected:
  SecuredProvider() : ProviderWire({"--user", "alice:secret", "--no-tx", "--driver", "mq"}) {}
};

TEST_F(SecuredProvider, CredentialsDriverAndTransactionsFollowTheOptions) {
  EXPECT_EQ(raised([&] { connect(text(std::nullopt), "mq", 1, "alice", "wrong"); }),
            "SecException");
  EXPECT_EQ(raised([&] { connect(text(std::nullopt), "mq"); }), "SecException");
  EXPECT_EQ(raised([&] { connect(text(std::nullopt), "vol", 1, "alice", "secret"); }),
            "BadArgException");
  wire::ConnectionID_var c = connect(text(std::nullopt), "mq", 1, "alice", "secret");
  EXPECT_EQ(narrow(c->username.val()), "alice");
  Active<MessageListener> l;
  EXPECT_EQ(raised([&] { provider()->createSession(c.in(), l.ref(), 1, true, 0, false, 4); }),
            "TransactionException");
}

TEST(ProviderWithoutTestControl, AdminIsRefused) {
  ProviderProcess server({}, /*testControl=*/false);
  ProviderControl control(server.ior());
  try {
    control.stats();
    FAIL() << "admin answered without --test-control";
  } catch (const ControlError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("SecException: ", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace qjms::test
