#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

std::u16string drain(Broker& b, const EndpointKey& c, std::u16string* flags = nullptr) {
  std::u16string out;
  while (auto d = b.receive(c, Wait::none())) {
    out += bodyOf(*d);
    if (flags) *flags += d->redelivered ? u"R" : u"-";
  }
  return out;
}

class Transactions : public BrokerTest {
 protected:
  ConnectionKey conn_ = connect(u"tx");
  SessionKey tx_ = session(conn_, /*transacted=*/true);
  SessionKey plain_ = session(conn_, false);
};

TEST_F(Transactions, SendsBecomeVisibleAtCommit) {
  EndpointKey p = sender(tx_, u"q");
  EndpointKey r = receiver(plain_, u"q");
  send(p, u"a");
  send(p, u"b");
  EXPECT_EQ(drain(broker_, r), u"");
  broker_.commit(tx_);
  EXPECT_EQ(drain(broker_, r), u"ab");
}

TEST_F(Transactions, SendsAreDiscardedAtRollback) {
  EndpointKey p = sender(tx_, u"q");
  send(p, u"a");
  broker_.rollback(tx_);
  broker_.commit(tx_);
  EXPECT_EQ(drain(broker_, receiver(plain_, u"q")), u"");
}

TEST_F(Transactions, PublishAtCommitReachesSubscribersPresentAtCommit) {
  EndpointKey pub = publisher(tx_, u"t");
  send(pub, u"x");
  EndpointKey late = subscriber(plain_, u"t");
  broker_.commit(tx_);
  EXPECT_EQ(drain(broker_, late), u"x");
}

TEST_F(Transactions, ReceivesAreRemovedAtCommit) {
  send(sender(plain_, u"q"), u"a");
  EndpointKey r = receiver(tx_, u"q");
  EXPECT_EQ(drain(broker_, r), u"a");
  broker_.commit(tx_);
  broker_.rollback(tx_);
  EXPECT_EQ(drain(broker_, r), u"");
}

TEST_F(Transactions, RollbackReturnsReceivesToTheFrontMarkedRedelivered) {
  EndpointKey p = sender(plain_, u"q");
  send(p, u"a");
  send(p, u"b");
  EndpointKey r = receiver(tx_, u"q");
  EXPECT_EQ(bodyOf(take(r)), u"a");
  EXPECT_EQ(bodyOf(take(r)), u"b");
  send(p, u"c");
  broker_.rollback(tx_);
  std::u16string flags;
  EXPECT_EQ(drain(broker_, r, &flags), u"abc");
  EXPECT_EQ(flags, u"RR-");
}

TEST_F(Transactions, RollbackReturnsToADurableSubscription) {
  EndpointKey pub = publisher(plain_, u"t");
  EndpointKey d = subscriber(tx_, u"t", u"dur");
  send(pub, u"m");
  EXPECT_EQ(drain(broker_, d), u"m");
  broker_.closeConsumer(d);  // the subscription outlives its subscriber
  broker_.rollback(tx_);
  std::u16string flags;
  EXPECT_EQ(drain(broker_, subscriber(tx_, u"t", u"dur"), &flags), u"m");
  EXPECT_EQ(flags, u"R");
}

TEST_F(Transactions, ClosingTheSessionRollsBack) {
  EndpointKey p = sender(plain_, u"q");
  send(p, u"a");
  EndpointKey r = receiver(tx_, u"q");
  send(sender(tx_, u"q"), u"uncommitted");
  EXPECT_EQ(bodyOf(take(r)), u"a");
  broker_.closeSession(tx_);
  std::u16string flags;
  EXPECT_EQ(drain(broker_, receiver(plain_, u"q"), &flags), u"a");
  EXPECT_EQ(flags, u"R");
}

TEST_F(Transactions, DroppedConnectionReturnsUncommittedMessages) {
  ConnectionKey other = connect();
  SessionKey otherTx = session(other, true);
  send(sender(plain_, u"q"), u"a");
  EXPECT_EQ(bodyOf(take(receiver(otherTx, u"q"))), u"a");
  EXPECT_TRUE(broker_.dropConnection(other.cid));
  EXPECT_FALSE(broker_.dropConnection(other.cid));
  EXPECT_EQ(drain(broker_, receiver(plain_, u"q")), u"a");
}

}  // namespace
}  // namespace quorix::provider::test
