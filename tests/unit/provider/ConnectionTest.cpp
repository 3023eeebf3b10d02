#include <gtest/gtest.h>

#include <thread>

#include "BrokerFixture.h"
#include "core/Pinger.h"

namespace quorix::provider::test {
namespace {

using namespace std::chrono_literals;

class Connections : public BrokerTest {};

TEST_F(Connections, DriverVersionAndCredentialsDecideConnect) {
  BrokerConfig cfg;
  cfg.authenticate = [](const std::u16string& user, const std::u16string& password) {
    return (user == u"alice" && password == u"secret") || (user == u"bob" && password.empty());
  };
  Broker& secured = use(cfg);
  struct Case {
    std::u16string driver, user, password;
    int32_t major;
    std::optional<ErrorKind> error;
  };
  for (const Case& c : std::vector<Case>{{u"VoL", u"alice", u"secret", 1, {}},
                                         {u"vol", u"bob", u"", 1, {}},
                                         {u"mq", u"alice", u"secret", 1, ErrorKind::BadArg},
                                         {u"vol", u"alice", u"secret", 2, ErrorKind::Version},
                                         {u"vol", u"alice", u"nope", 1, ErrorKind::Sec},
                                         {u"vol", u"", u"", 1, ErrorKind::Sec}}) {
    SCOPED_TRACE(toUtf8(c.user) + "@" + toUtf8(c.driver));
    ConnectRequest r{{}, c.user, c.password, c.driver, c.major, nullptr};
    if (c.error)
      EXPECT_PROVIDER_ERROR(secured.connect(r), *c.error);
    else
      EXPECT_GT(secured.connect(r).cid, 0);
  }
}

TEST_F(Connections, ClientIdentifierIsExclusiveAmongOpenConnections) {
  ConnectionKey a = connect(u"app"), b = connect();
  EXPECT_PROVIDER_ERROR(connect(u"app"), ErrorKind::BadArg);
  EXPECT_PROVIDER_ERROR(broker_.setClientId(b, u"app"), ErrorKind::BadArg);
  broker_.setClientId(a, u"app");  // its own identifier again is fine
  broker_.closeConnection(a);
  broker_.setClientId(b, u"app");  // free once the holder closed
  EXPECT_EQ(broker_.connections().at(0).clientId, u"app");
}

TEST_F(Connections, IdentifiersAreCheckedAgainstWhatWasIssuedAndDieWithTheirOwner) {
  ConnectionKey c = connect();
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q"), r = receiver(s, u"q");
  ConnectionKey wrongPassword = c, unknown = c;
  wrongPassword.password.push_back(u'x');
  unknown.cid += 100;
  SessionKey otherSid = s, underWrongPassword = s, underOtherConnection = s;
  otherSid.sid += 100;
  underWrongPassword.connection = wrongPassword;
  underOtherConnection.connection = connect();
  EXPECT_PROVIDER_ERROR(broker_.start(wrongPassword), ErrorKind::ConnectionID);
  EXPECT_PROVIDER_ERROR(broker_.stop(unknown), ErrorKind::ConnectionID);
  EXPECT_PROVIDER_ERROR(broker_.commit(otherSid), ErrorKind::SessionID);
  EXPECT_PROVIDER_ERROR(broker_.closeSession(underWrongPassword), ErrorKind::ConnectionID);
  EXPECT_PROVIDER_ERROR(broker_.closeSession(underOtherConnection), ErrorKind::SessionID);
  EXPECT_PROVIDER_ERROR(broker_.closeProducer(r), ErrorKind::Producer);  // a consumer's uid
  EXPECT_PROVIDER_ERROR(take(p), ErrorKind::Consumer);                  // a producer's uid
  // Acknowledgement modes run from 1 to 4.
  EXPECT_GT(broker_.createSession(c, 1, false, nullptr).sid, 0);
  EXPECT_PROVIDER_ERROR(broker_.createSession(c, 0, false, nullptr), ErrorKind::BadArg);
  EXPECT_PROVIDER_ERROR(broker_.createSession(c, 5, false, nullptr), ErrorKind::BadArg);

  broker_.closeProducer(p);
  EXPECT_PROVIDER_ERROR(send(p, u"x"), ErrorKind::Producer);
  broker_.closeConsumer(r);
  EXPECT_PROVIDER_ERROR(take(r), ErrorKind::Consumer);
  broker_.closeSession(s);
  EXPECT_PROVIDER_ERROR(broker_.closeSession(s), ErrorKind::SessionID);
  broker_.closeConnection(c);
  EXPECT_PROVIDER_ERROR(broker_.start(c), ErrorKind::ConnectionID);
}

TEST_F(Connections, PeriodicPingsReturnADeadClientsMessagesAndStopWhenAsked) {
  auto keeperListener = std::make_shared<FakeCallbacks>();
  auto doomedListener = std::make_shared<FakeCallbacks>();
  ConnectionKey keeper = connect({}, true, keeperListener);
  SessionKey ks = session(keeper), tx = session(connect({}, true, doomedListener), true);
  send(sender(ks, u"q"), u"precious");
  ASSERT_TRUE(take(receiver(tx, u"q")));
  EndpointKey r = receiver(ks, u"q");
  EXPECT_FALSE(take(r));

  doomedListener->answer = PingResult::Unreachable;  // the client crashed
  Pinger pinger(broker_, 10ms);
  auto back = broker_.receive(r, Wait::until(std::chrono::steady_clock::now() + 10s));
  EXPECT_EQ(bodyOf(back), u"precious");
  EXPECT_TRUE(back && back->redelivered);
  ASSERT_EQ(broker_.connections().size(), 1u);
  EXPECT_EQ(broker_.connections()[0].key.cid, keeper.cid);
  pinger.stop();
  int after = keeperListener->pings;
  EXPECT_GT(after, 0);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(keeperListener->pings, after);
}

}  // namespace
}  // namespace quorix::provider::test
