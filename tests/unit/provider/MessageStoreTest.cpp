#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "core/MessageStore.h"

namespace quorix::provider::test {
namespace {

MessagePtr message(std::u16string body, int32_t priority = 4, int64_t expiration = 0,
                   std::map<std::u16string, int64_t> props = {}) {
  auto m = std::make_shared<Message>();
  m->priority = priority;
  m->expiration = expiration;
  m->payload = std::make_shared<TestPayload>(std::move(body), std::move(props));
  return m;
}

std::u16string body(const std::optional<StoredEntry>& e) {
  return e ? static_cast<const TestPayload&>(*e->message->payload).body() : u"<none>";
}

std::u16string drain(MessageStore& s, const MessageFilter* f = nullptr, int64_t now = 0) {
  std::u16string out;
  while (auto e = s.take(f, now)) out += body(e);
  return out;
}

TEST(MessageStore, HighestPriorityFirstThenArrivalOrder) {
  MessageStore s;
  s.push(message(u"a", 4));
  s.push(message(u"b", 9));
  s.push(message(u"c", 0));
  s.push(message(u"d", 9));
  s.push(message(u"e", 4));
  EXPECT_EQ(drain(s), u"bdaec");
  EXPECT_EQ(s.size(), 0u);
}

TEST(MessageStore, ReturnedEntryGoesAheadOfLaterOnesAndIsMarkedRedelivered) {
  MessageStore s;
  s.push(message(u"a"));
  s.push(message(u"b"));
  auto a = s.take(nullptr, 0);
  auto b = s.take(nullptr, 0);
  s.push(message(u"c"));
  s.putBack(*b);
  s.putBack(*a);  // returned out of order: the original order is kept
  auto first = s.take(nullptr, 0);
  EXPECT_EQ(body(first), u"a");
  EXPECT_TRUE(first->redelivered);
  EXPECT_EQ(drain(s), u"bc");
}

TEST(MessageStore, ExpiredEntriesAreDroppedNeverDelivered) {
  MessageStore s;
  s.push(message(u"gone", 4, 1000));
  s.push(message(u"edge", 4, 2000));  // expiring exactly now counts as expired
  s.push(message(u"kept", 4, 3000));
  s.push(message(u"forever", 4, 0));
  EXPECT_EQ(drain(s, nullptr, 2000), u"keptforever");
}

TEST(MessageStore, PurgeExpiredCountsWhatItDropped) {
  MessageStore s;
  s.push(message(u"a", 4, 10));
  s.push(message(u"b", 4, 0));
  EXPECT_EQ(s.purgeExpired(11), 1u);
  EXPECT_EQ(s.size(), 1u);
}

TEST(MessageStore, FilterSkipsWithoutRemoving) {
  MessageStore s;
  PropertyEquals wantsOne(u"k", 1);
  s.push(message(u"a", 4, 0, {{u"k", 2}}));
  s.push(message(u"b", 4, 0, {{u"k", 1}}));
  EXPECT_EQ(body(s.take(&wantsOne, 0)), u"b");
  EXPECT_FALSE(s.take(&wantsOne, 0));
  EXPECT_TRUE(s.hasDeliverable(nullptr, 0));
  EXPECT_EQ(drain(s), u"a");
}

// Counts evaluations; accepts messages whose property "k" is 1.
class CountingFilter : public PropertyEquals {
 public:
  CountingFilter() : PropertyEquals(u"k", 1) {}
  bool matches(const Message& m) const override {
    ++evaluations;
    return PropertyEquals::matches(m);
  }
  mutable size_t evaluations = 0;
};

TEST(MessageStore, SelectiveReaderDoesNotRescanWhatItRefused) {
  constexpr int kMessages = 100000, kEvery = 1000;
  MessageStore s;
  for (int i = 1; i <= kMessages; ++i)
    s.push(message(u"m", i % 3 + 3, 0, {{u"k", i % kEvery == 0 ? 1 : 0}}));
  CountingFilter f;
  MessageStore::ScanMemo memo;
  int taken = 0;
  while (s.take(&f, 0, &memo)) ++taken;
  EXPECT_EQ(taken, kMessages / kEvery);
  // Each message looked at about once, not once per receive.
  EXPECT_LE(f.evaluations, size_t(kMessages + 100));

  // Messages arriving later, at any priority, are still found.
  s.push(message(u"late-high", 9, 0, {{u"k", 1}}));
  s.push(message(u"late-low", 0, 0, {{u"k", 1}}));
  EXPECT_EQ(body(s.take(&f, 0, &memo)), u"late-high");
  EXPECT_EQ(body(s.take(&f, 0, &memo)), u"late-low");
}

TEST(MessageStore, ReturnedEntryIsSeenAgainByAReaderThatScannedPastIt) {
  MessageStore s;
  PropertyEquals wantsOne(u"k", 1);
  MessageStore::ScanMemo memo;
  s.push(message(u"a", 4, 0, {{u"k", 1}}));
  s.push(message(u"b", 4, 0, {{u"k", 0}}));
  auto a = s.take(nullptr, 0);              // someone else takes "a"
  EXPECT_FALSE(s.take(&wantsOne, 0, &memo));  // the reader refuses "b"
  s.putBack(*a);                            // "a" comes back, ahead of "b"
  EXPECT_EQ(body(s.take(&wantsOne, 0, &memo)), u"a");
}

TEST(MessageStore, BrowsingWalksInDeliveryOrderWithoutRemoving) {
  MessageStore s;
  s.push(message(u"low", 1));
  s.push(message(u"high", 8));
  std::optional<MessageStore::Key> cursor;
  std::u16string seen;
  while (auto p = s.peekAfter(cursor, nullptr, 0)) {
    cursor = p->first;
    seen += static_cast<const TestPayload&>(*p->second.message->payload).body() + u",";
  }
  EXPECT_EQ(seen, u"high,low,");
  EXPECT_EQ(s.size(), 2u);
}

TEST(MessageStore, ClosedStoreDropsEverythingIncludingReturns) {
  MessageStore s;
  s.push(message(u"a"));
  auto a = s.take(nullptr, 0);
  s.push(message(u"b"));
  s.close();
  s.putBack(*a);
  s.push(message(u"c"));
  EXPECT_EQ(s.size(), 0u);
  EXPECT_TRUE(s.closed());
}

}  // namespace
}  // namespace quorix::provider::test
