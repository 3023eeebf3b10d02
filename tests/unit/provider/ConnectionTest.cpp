#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

BrokerConfig secured() {
  BrokerConfig c;
  c.users = {{u"alice", u"secret"}, {u"bob", u""}};
  return c;
}

struct ConnectCase {
  const char* name;
  std::u16string driver, user, password;
  int32_t major;
  std::optional<ErrorKind> error;
};

class ConnectValidation : public BrokerTest, public ::testing::WithParamInterface<ConnectCase> {
 protected:
  ConnectValidation() : BrokerTest(secured()) {}
};

TEST_P(ConnectValidation, AcceptsOrRefuses) {
  const ConnectCase& c = GetParam();
  ConnectRequest r;
  r.driver = c.driver;
  r.user = c.user;
  r.password = c.password;
  r.majorVersion = c.major;
  if (c.error) {
    EXPECT_PROVIDER_ERROR(broker_.connect(r), *c.error);
  } else {
    EXPECT_GT(broker_.connect(r).cid, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectValidation,
    ::testing::Values(
        ConnectCase{"KnownUser", u"vol", u"alice", u"secret", 1, std::nullopt},
        ConnectCase{"DriverIgnoresCase", u"VoL", u"alice", u"secret", 1, std::nullopt},
        ConnectCase{"EmptyPasswordUser", u"vol", u"bob", u"", 1, std::nullopt},
        ConnectCase{"OtherDriver", u"mq", u"alice", u"secret", 1, ErrorKind::BadArg},
        ConnectCase{"EmptyDriver", u"", u"alice", u"secret", 1, ErrorKind::BadArg},
        ConnectCase{"Version2", u"vol", u"alice", u"secret", 2, ErrorKind::Version},
        ConnectCase{"WrongPassword", u"vol", u"alice", u"nope", 1, ErrorKind::Sec},
        ConnectCase{"UnknownUser", u"vol", u"carol", u"secret", 1, ErrorKind::Sec},
        ConnectCase{"NoCredentials", u"vol", u"", u"", 1, ErrorKind::Sec}),
    [](const auto& info) { return info.param.name; });

TEST_F(BrokerTest, WithoutConfiguredUsersAnyCredentialsAreAccepted) {
  ConnectRequest r;
  r.driver = u"vol";
  r.user = u"anyone";
  r.password = u"anything";
  EXPECT_GT(broker_.connect(r).cid, 0);
}

TEST_F(BrokerTest, ClientIdentifierIsExclusiveAmongOpenConnections) {
  ConnectionKey a = connect(u"app");
  EXPECT_PROVIDER_ERROR(connect(u"app"), ErrorKind::BadArg);
  ConnectionKey b = connect();
  EXPECT_PROVIDER_ERROR(broker_.setClientId(b, u"app"), ErrorKind::BadArg);
  broker_.setClientId(a, u"app");  // its own identifier again is fine
  broker_.closeConnection(a);
  broker_.setClientId(b, u"app");  // free once the holder closed
  EXPECT_EQ(broker_.connections().at(0).clientId, u"app");
}

TEST_F(BrokerTest, EveryIdentifierIsCheckedAgainstWhatWasIssued) {
  ConnectionKey c = connect();
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q");
  EndpointKey r = receiver(s, u"q");

  ConnectionKey wrongPassword = c;
  wrongPassword.password = u"x";
  EXPECT_PROVIDER_ERROR(broker_.start(wrongPassword), ErrorKind::ConnectionID);
  ConnectionKey unknown = c;
  unknown.cid += 100;
  EXPECT_PROVIDER_ERROR(broker_.stop(unknown), ErrorKind::ConnectionID);

  SessionKey otherSession = s;
  otherSession.sid += 100;
  EXPECT_PROVIDER_ERROR(broker_.commit(otherSession), ErrorKind::SessionID);
  SessionKey sessionUnderWrongConnection = s;
  sessionUnderWrongConnection.connection = wrongPassword;
  EXPECT_PROVIDER_ERROR(broker_.closeSession(sessionUnderWrongConnection),
                        ErrorKind::ConnectionID);

  EXPECT_PROVIDER_ERROR(broker_.closeProducer(r), ErrorKind::Producer);  // a consumer's uid
  EXPECT_PROVIDER_ERROR(take(p), ErrorKind::Consumer);                  // a producer's uid
}

TEST_F(BrokerTest, ClosedIdentifiersAreRefusedLikeUnknownOnes) {
  ConnectionKey c = connect();
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q");
  EndpointKey r = receiver(s, u"q");
  broker_.closeProducer(p);
  EXPECT_PROVIDER_ERROR(send(p, u"x"), ErrorKind::Producer);
  broker_.closeConsumer(r);
  EXPECT_PROVIDER_ERROR(take(r), ErrorKind::Consumer);
  broker_.closeSession(s);
  EXPECT_PROVIDER_ERROR(broker_.closeSession(s), ErrorKind::SessionID);
  broker_.closeConnection(c);
  EXPECT_PROVIDER_ERROR(broker_.start(c), ErrorKind::ConnectionID);
  EXPECT_PROVIDER_ERROR(broker_.closeSession(s), ErrorKind::ConnectionID);
}

TEST_F(BrokerTest, SessionAcknowledgementModesOneToFour) {
  ConnectionKey c = connect();
  for (int32_t mode : {1, 2, 3, 4}) EXPECT_GT(broker_.createSession(c, mode, false, nullptr).sid, 0);
  for (int32_t mode : {0, 5, -1})
    EXPECT_PROVIDER_ERROR(broker_.createSession(c, mode, false, nullptr), ErrorKind::BadArg);
}

TEST_F(BrokerTest, CommitAndRollbackNeedATransactedSession) {
  SessionKey s = session(connect(), false);
  EXPECT_PROVIDER_ERROR(broker_.commit(s), ErrorKind::Transaction);
  EXPECT_PROVIDER_ERROR(broker_.rollback(s), ErrorKind::Transaction);
}

class NoTransactions : public BrokerTest {
 protected:
  static BrokerConfig cfg() {
    BrokerConfig c;
    c.supportsTransactions = false;
    return c;
  }
  NoTransactions() : BrokerTest(cfg()) {}
};

TEST_F(NoTransactions, TransactedSessionIsRefused) {
  ConnectionKey c = connect();
  EXPECT_PROVIDER_ERROR(session(c, true), ErrorKind::Transaction);
  EXPECT_GT(session(c, false).sid, 0);
}

TEST_F(BrokerTest, StatsCountOpenObjectsAndStoredMessages) {
  ConnectionKey c = connect();
  SessionKey s = session(c);
  EndpointKey p = sender(s, u"q");
  receiver(s, u"q2");
  send(p, u"a");
  send(p, u"b");
  BrokerStats st = broker_.stats();
  EXPECT_EQ(st.connections, 1u);
  EXPECT_EQ(st.sessions, 1u);
  EXPECT_EQ(st.producers, 1u);
  EXPECT_EQ(st.consumers, 1u);
  EXPECT_EQ(st.messages, 2u);
  broker_.closeConnection(c);
  st = broker_.stats();
  EXPECT_EQ(st.connections + st.sessions + st.producers + st.consumers, 0u);
  EXPECT_EQ(st.messages, 2u);  // queued messages outlive their sender
}

TEST_F(BrokerTest, AfterShutdownEveryCallFailsWithBadState) {
  ConnectionKey c = connect();
  broker_.shutdown();
  EXPECT_PROVIDER_ERROR(broker_.start(c), ErrorKind::BadState);
  EXPECT_PROVIDER_ERROR(connect(), ErrorKind::BadState);
}

}  // namespace
}  // namespace quorix::provider::test
