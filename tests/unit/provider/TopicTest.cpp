#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

std::u16string drain(Broker& b, const EndpointKey& c) {
  std::u16string out;
  while (auto d = b.receive(c, Wait::none())) out += bodyOf(*d);
  return out;
}

TEST_F(BrokerTest, EverySubscriberGetsItsOwnCopyOfLaterMessages) {
  SessionKey s = session(connect());
  EndpointKey pub = publisher(s, u"news");
  send(pub, u"before");
  EndpointKey a = subscriber(s, u"news");
  EndpointKey b = subscriber(session(connect()), u"news");
  send(pub, u"x");
  send(pub, u"y", 9);
  EXPECT_EQ(drain(broker_, a), u"yx");
  EXPECT_EQ(drain(broker_, b), u"yx");
  EXPECT_EQ(drain(broker_, subscriber(s, u"news")), u"");
}

TEST_F(BrokerTest, SubscriberFilterDecidesAtPublishTime) {
  SessionKey s = session(connect());
  EndpointKey pub = publisher(s, u"t");
  EndpointKey odd = subscriber(s, u"t", {}, u"n = 1", std::make_shared<PropertyEquals>(u"n", 1));
  broker_.produce(pub, std::nullopt, msg(u"a", 4, 0, {{u"n", 1}}));
  broker_.produce(pub, std::nullopt, msg(u"b", 4, 0, {{u"n", 2}}));
  EXPECT_EQ(drain(broker_, odd), u"a");
  EXPECT_EQ(broker_.stats().messages, 0u);  // "b" was never stored for it
}

TEST_F(BrokerTest, ClosedSubscriberStopsReceivingAndItsCopiesGo) {
  SessionKey s = session(connect());
  EndpointKey pub = publisher(s, u"t");
  EndpointKey sub = subscriber(s, u"t");
  send(pub, u"a");
  broker_.closeConsumer(sub);
  send(pub, u"b");
  EXPECT_EQ(broker_.stats().messages, 0u);
}

TEST_F(BrokerTest, DurableSubscriptionKeepsMessagesWhileInactive) {
  ConnectionKey c = connect(u"client-1");
  SessionKey s = session(c);
  EndpointKey pub = publisher(s, u"t");
  EndpointKey d = subscriber(s, u"t", u"sub");
  send(pub, u"1");
  broker_.closeConsumer(d);
  send(pub, u"2");
  send(pub, u"3");
  d = subscriber(s, u"t", u"sub");
  EXPECT_EQ(drain(broker_, d), u"123");
}

TEST_F(BrokerTest, DurableSubscriptionIsKeyedByClientIdentifierAndName) {
  ConnectionKey c1 = connect(u"one");
  SessionKey s1 = session(c1);
  EndpointKey pub = publisher(s1, u"t");
  EndpointKey mine = subscriber(s1, u"t", u"sub");
  // Same name under another client identifier: another subscription.
  EndpointKey theirs = subscriber(session(connect(u"two")), u"t", u"sub");
  send(pub, u"m");
  EXPECT_EQ(drain(broker_, mine), u"m");
  EXPECT_EQ(drain(broker_, theirs), u"m");
  // It survives its connection, and a new connection with that identifier resumes it.
  broker_.closeConnection(c1);
  send(publisher(session(connect()), u"t"), u"n");
  EXPECT_EQ(drain(broker_, subscriber(session(connect(u"one")), u"t", u"sub")), u"n");
}

TEST_F(BrokerTest, SecondActiveDurableSubscriberGetsCode18) {
  SessionKey s = session(connect(u"c"));
  subscriber(s, u"t", u"sub");
  try {
    subscriber(session(s.connection), u"t", u"sub");
    FAIL() << "second active subscriber accepted";
  } catch (const ProviderError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Consumer);
    EXPECT_EQ(e.code(), kCodeSubscriptionInUse);
  }
}

TEST_F(BrokerTest, UnsubscribeRules) {
  SessionKey s = session(connect(u"c"));
  EXPECT_PROVIDER_ERROR(broker_.unsubscribe(s, u"nope"), ErrorKind::Destination);
  EndpointKey d = subscriber(s, u"t", u"sub");
  try {
    broker_.unsubscribe(s, u"sub");
    FAIL() << "unsubscribed an active subscription";
  } catch (const ProviderError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Consumer);
    EXPECT_EQ(e.code(), kCodeSubscriptionInUse);
  }
  EndpointKey pub = publisher(s, u"t");
  send(pub, u"kept");
  broker_.closeConsumer(d);
  broker_.unsubscribe(s, u"sub");
  send(pub, u"after");
  EXPECT_EQ(broker_.stats().messages, 0u);
  EXPECT_EQ(drain(broker_, subscriber(s, u"t", u"sub")), u"");  // a fresh subscription
}

TEST_F(BrokerTest, ReopeningDurableWithAnotherSelectorOrTopicStartsAfresh) {
  SessionKey s = session(connect(u"c"));
  EndpointKey pub = publisher(s, u"t");
  broker_.closeConsumer(subscriber(s, u"t", u"sub"));
  send(pub, u"old");
  EndpointKey same = subscriber(s, u"t", u"sub");  // same topic, same selector: kept
  EXPECT_EQ(drain(broker_, same), u"old");
  send(pub, u"dropped");
  broker_.closeConsumer(same);
  EndpointKey changed = subscriber(s, u"t", u"sub", u"n = 1");
  EXPECT_EQ(drain(broker_, changed), u"");
  broker_.closeConsumer(changed);
  send(pub, u"dropped too");
  EXPECT_EQ(drain(broker_, subscriber(s, u"other", u"sub", u"n = 1")), u"");
}

}  // namespace
}  // namespace quorix::provider::test
