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
  send(pub, msg(u"a", 4, 0, {{u"n", 1}}));
  send(pub, msg(u"b", 4, 0, {{u"n", 2}}));
  EXPECT_EQ(broker_.stats().messages, 1u);  // "b" was never stored for it
  EXPECT_EQ(drain(one), u"a");
  send(pub, msg(u"c", 4, 0, {{u"n", 1}}));
  broker_.closeConsumer(one);  // its copy goes with it
  send(pub, msg(u"d", 4, 0, {{u"n", 1}}));
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

TEST_F(Topics, DurableInUseUntilClosedThenUnsubscribed) {
  SessionKey s = session(connect(u"c"));
  auto inUse = [](auto&& call) {
    try {
      call();
    } catch (const ProviderError& e) {
      return e.kind() == ErrorKind::Consumer && e.code() == kCodeSubscriptionInUse;
    }
    return false;
  };
  EXPECT_PROVIDER_ERROR(broker_.unsubscribe(s, u"sub"), ErrorKind::Destination);
  EndpointKey pub = publisher(s, u"t"), d = subscriber(s, u"t", u"sub");
  EXPECT_TRUE(inUse([&] { subscriber(session(s.connection), u"t", u"sub"); }));
  EXPECT_TRUE(inUse([&] { broker_.unsubscribe(s, u"sub"); }));
  send(pub, u"kept");
  broker_.closeConsumer(d);
  broker_.unsubscribe(s, u"sub");
  send(pub, u"after");
  EXPECT_EQ(broker_.stats().messages, 0u);
}

// Reopened on the same topic with the same selector it keeps what it stored;
// an absent, empty or blank selector is one and the same.
TEST_F(Topics, DurableReopenedKeepsItsMessagesUnlessTopicOrSelectorChanged) {
  using Sel = std::optional<std::u16string>;
  struct Row {
    Sel first;
    const char16_t* topic;
    Sel second;
    bool kept;
  };
  SessionKey s = session(connect(u"c"));
  EndpointKey pub = publisher(s, u"t");
  int n = 0;
  for (const Row& row : std::vector<Row>{{std::nullopt, u"t", u"", true},
                                         {u"", u"t", std::nullopt, true},
                                         {std::nullopt, u"t", u" \t ", true},
                                         {u"n = 1", u"t", u"n = 1", true},
                                         {u"n = 1", u"t", u"n = 2", false},
                                         {std::nullopt, u"t", u"n = 1", false},
                                         {std::nullopt, u"other", std::nullopt, false}}) {
    std::u16string name = u"sub" + u16(int64_t(++n));
    SCOPED_TRACE(toUtf8(name));
    broker_.closeConsumer(subscriber(s, u"t", name, row.first));
    send(pub, u"m");
    EXPECT_EQ(drain(subscriber(s, row.topic, name, row.second)), row.kept ? u"m" : u"");
  }
}

}  // namespace
}  // namespace quorix::provider::test
