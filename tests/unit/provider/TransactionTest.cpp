#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

class Transactions : public BrokerTest {
 protected:
  ConnectionKey conn_ = connect(u"tx");
  SessionKey tx_ = session(conn_, /*transacted=*/true);
  SessionKey plain_ = session(conn_, false);
};

TEST_F(Transactions, SendsAppearAtCommitAndVanishAtRollback) {
  EndpointKey p = sender(tx_, u"q"), pub = publisher(tx_, u"t");
  EndpointKey r = receiver(plain_, u"q");
  send(p, u"a");
  send(pub, u"x");
  EndpointKey late = subscriber(plain_, u"t");  // present at commit: that is what counts
  EXPECT_EQ(drain(r), u"");
  broker_.commit(tx_);
  EXPECT_EQ(drain(r), u"a");
  EXPECT_EQ(drain(late), u"x");
  send(p, u"b");
  broker_.rollback(tx_);
  broker_.commit(tx_);
  EXPECT_EQ(drain(r), u"");
}

TEST_F(Transactions, ReceivesGoAtCommitAndReturnAtRollbackAheadOfLaterOnes) {
  EndpointKey p = sender(plain_, u"q"), r = receiver(tx_, u"q");
  send(p, u"a");
  EXPECT_EQ(drain(r), u"a");
  broker_.commit(tx_);
  broker_.rollback(tx_);
  EXPECT_EQ(drain(r), u"");
  send(p, u"b");
  send(p, u"c");
  EXPECT_EQ(drain(r), u"bc");
  send(p, u"d");
  broker_.rollback(tx_);
  std::u16string flags;
  EXPECT_EQ(drain(r, &flags), u"bcd");
  EXPECT_EQ(flags, u"RR-");
}

TEST_F(Transactions, RollbackReturnsToADurableSubscriptionWhoseSubscriberClosed) {
  EndpointKey pub = publisher(plain_, u"t"), d = subscriber(tx_, u"t", u"dur");
  send(pub, u"m");
  EXPECT_EQ(drain(d), u"m");
  broker_.closeConsumer(d);
  broker_.rollback(tx_);
  std::u16string flags;
  EXPECT_EQ(drain(subscriber(tx_, u"t", u"dur"), &flags), u"m");
  EXPECT_EQ(flags, u"R");
}

TEST_F(Transactions, ClosingTheSessionRollsBack) {
  send(sender(plain_, u"q"), u"a");
  EXPECT_EQ(drain(receiver(tx_, u"q")), u"a");
  send(sender(tx_, u"q"), u"uncommitted");
  broker_.closeSession(tx_);
  std::u16string flags;
  EXPECT_EQ(drain(receiver(plain_, u"q"), &flags), u"a");
  EXPECT_EQ(flags, u"R");
}

TEST_F(Transactions, NeedATransactedSessionOnAServerThatOffersThem) {
  EXPECT_PROVIDER_ERROR(broker_.commit(plain_), ErrorKind::Transaction);
  EXPECT_PROVIDER_ERROR(broker_.rollback(plain_), ErrorKind::Transaction);
  BrokerConfig cfg;
  cfg.supportsTransactions = false;
  use(cfg);
  ConnectionKey c = connect();
  EXPECT_PROVIDER_ERROR(session(c, true), ErrorKind::Transaction);
  EXPECT_GT(session(c).sid, 0);
}

}  // namespace
}  // namespace quorix::provider::test
