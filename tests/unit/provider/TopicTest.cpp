#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

class Topics : public BrokerTest {};

TEST_F(Topics, EverySubscriberGetsItsOwnCopyOfLaterMessages) {
  SessionKey s = session(connect());
  EndpointKey pub = publisher(s, u"news");
  send(pub, u"before");
  EndpointKey a = subscriber(s, u"news");
  EndpointKey b = subscriber(session(connect()), u"news");
  send(pub, u"x");
  send(pub, u"y", 9);
  EXPECT_EQ(drain(a), u"yx");
  EXPECT_EQ(drain(b), u"yx");
  EXPECT_EQ(drain(subscriber(s, u"news")), u"");
}

TEST_F(Topics, SubscriberStoresOnlyWhatItSelectsAndOnlyWhileOpen) {
  SessionKey s = session(connect());
  EndpointKey pub = publisher(s, u"t");
  EndpointKey one = subscriber(s, u"t", {}, u"n = 1", std::make_shared<PropertyEquals>(u"n", 1));
  broker_.produce(pub, std::nullopt, msg(u"a", 4, 0, {{u"n", 1}}));
  broker_.produce(pub, std::nullopt, msg(u"b", 4, 0, {{u"n", 2}}));
  EXPECT_EQ(broker_.stats().messages, 1u);  // "b" was never stored for it
  EXPECT_EQ(drain(one), u"a");
  broker_.produce(pub, std::nullopt, msg(u"c", 4, 0, {{u"n", 1}}));
  broker_.closeConsumer(one);  // its copy goes with it
  broker_.produce(pub, std::nullopt, msg(u"d", 4, 0, {{u"n", 1}}));
  EXPECT_EQ(broker_.stats().messages, 0u);
}

TEST_F(Topics, DurableSubscriptionIsKeptPerClientIdentifierAndNameWhileInactive) {
  ConnectionKey c1 = connect(u"one");
  SessionKey s1 = session(c1);
  EndpointKey pub = publisher(session(connect()), u"t");
  EndpointKey mine = subscriber(s1, u"t", u"sub");
  EndpointKey theirs = subscriber(session(connect(u"two")), u"t", u"sub");  // another one
  send(pub, u"1");
  broker_.closeConsumer(mine);
  send(pub, u"2");
  EXPECT_EQ(drain(theirs), u"12");
  broker_.closeConnection(c1);  // it outlives its connection...
  send(pub, u"3");
  // ...and a new connection with that identifier resumes it
  EXPECT_EQ(drain(subscriber(session(connect(u"one")), u"t", u"sub")), u"123");
}

TEST_F(Topics, DurableInUseUntilClosedThenUnsubscribedOrChangedStartsAfresh) {
  SessionKey s = session(connect(u"c"));
  auto expectInUse = [](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "accepted while the subscription is active";
    } catch (const ProviderError& e) {
      EXPECT_EQ(errorKindName(e.kind()), errorKindName(ErrorKind::Consumer));
      EXPECT_EQ(e.code(), kCodeSubscriptionInUse);
    }
  };
  EXPECT_PROVIDER_ERROR(broker_.unsubscribe(s, u"sub"), ErrorKind::Destination);
  EndpointKey pub = publisher(s, u"t"), d = subscriber(s, u"t", u"sub");
  expectInUse([&] { subscriber(session(s.connection), u"t", u"sub"); });
  expectInUse([&] { broker_.unsubscribe(s, u"sub"); });
  send(pub, u"kept");
  broker_.closeConsumer(d);
  broker_.unsubscribe(s, u"sub");
  send(pub, u"after");
  EXPECT_EQ(broker_.stats().messages, 0u);

  broker_.closeConsumer(subscriber(s, u"t", u"sub"));
  send(pub, u"old");
  EndpointKey same = subscriber(s, u"t", u"sub");  // same topic, same selector: kept
  EXPECT_EQ(drain(same), u"old");
  send(pub, u"dropped");
  broker_.closeConsumer(same);
  EndpointKey changed = subscriber(s, u"t", u"sub", u"n = 1");
  EXPECT_EQ(drain(changed), u"");
  broker_.closeConsumer(changed);
  send(pub, u"dropped too");
  EXPECT_EQ(drain(subscriber(s, u"other", u"sub", u"n = 1")), u"");
}

}  // namespace
}  // namespace quorix::provider::test
