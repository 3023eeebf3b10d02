#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "core/MessageStore.h"

namespace quorix::provider::test {
namespace {

MessagePtr message(std::u16string body, int32_t priority = 4, Props props = {}) {
  auto m = std::make_shared<Message>();
  m->priority = priority;
  m->payload = std::make_shared<TestPayload>(std::move(body), std::move(props));
  return m;
}

std::u16string body(const std::optional<StoredEntry>& e) {
  return e ? bodyOf(e->message) : u"<none>";
}

TEST(MessageStore, PriorityThenArrivalAndReturnedEntriesKeepTheirPlace) {
  MessageStore s;
  for (auto [b, p] : {std::pair{u"a", 4}, {u"b", 9}, {u"c", 0}, {u"d", 9}, {u"e", 4}})
    s.push(message(b, p));
  auto b = s.take(nullptr, 0), d = s.take(nullptr, 0);
  s.push(message(u"f", 9));
  s.putBack(*d);  // returned out of order: the original order is kept
  s.putBack(*b);
  std::u16string order, flags;
  while (auto e = s.take(nullptr, 0)) {
    order += bodyOf(e->message);
    flags += e->redelivered ? u'R' : u'-';
  }
  EXPECT_EQ(order, u"bdfaec");
  EXPECT_EQ(flags, u"RR----");
}

// Counts evaluations; accepts messages whose property "k" is 1.
struct CountingFilter : PropertyEquals {
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
    s.push(message(u"m", i % 3 + 3, {{u"k", i % kEvery == 0 ? 1 : 0}}));
  CountingFilter f;
  MessageStore::ScanMemo memo;
  int taken = 0;
  while (s.take(&f, 0, &memo)) ++taken;
  EXPECT_EQ(taken, kMessages / kEvery);
  EXPECT_LE(f.evaluations, size_t(kMessages + 100));  // about once each, not once per receive

  // Messages arriving later, at any priority, are still found.
  s.push(message(u"late-high", 9, {{u"k", 1}}));
  s.push(message(u"late-low", 0, {{u"k", 1}}));
  EXPECT_EQ(body(s.take(&f, 0, &memo)), u"late-high");
  EXPECT_EQ(body(s.take(&f, 0, &memo)), u"late-low");
}

TEST(MessageStore, FilteredTakesSkipWithoutRemovingAndSeeReturnedEntries) {
  MessageStore s;
  PropertyEquals wantsOne(u"k", 1);
  MessageStore::ScanMemo memo;
  s.push(message(u"a", 4, {{u"k", 1}}));
  s.push(message(u"b", 4, {{u"k", 0}}));
  s.push(message(u"c", 4, {{u"k", 1}}));
  auto a = s.take(nullptr, 0);                         // another reader takes "a"
  EXPECT_EQ(body(s.take(&wantsOne, 0)), u"c");         // skipping "b"
  EXPECT_FALSE(s.take(&wantsOne, 0, &memo));           // the reader refuses "b"
  s.putBack(*a);                                       // "a" comes back, ahead of "b"
  EXPECT_EQ(body(s.take(&wantsOne, 0, &memo)), u"a");
  EXPECT_EQ(body(s.take(nullptr, 0)), u"b");
}

}  // namespace
}  // namespace quorix::provider::test
