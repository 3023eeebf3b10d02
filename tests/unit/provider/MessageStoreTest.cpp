#include <gtest/gtest.h>

#include "BrokerFixture.h"
#include "core/MessageStore.h"

namespace quorix::provider::test {
namespace {

MessagePtr message(std::u16string body, int32_t priority = 4, Props props = {},
                   int64_t expiration = 0) {
  auto m = std::make_shared<Message>();
  m->id = body;
  m->priority = priority;
  m->expiration = expiration;
  m->payload = std::make_shared<TestPayload>(std::move(body), std::move(props));
  return m;
}

// A filtered reader as the broker is one: judge a batch, note the refusals,
// take the first accepted by its key.
std::u16string takeMatching(MessageStore& s, const MessageFilter& f, MessageStore::ScanMemo& memo,
                            int64_t now = 0) {
  for (;;) {
    MessageStore::Batch batch = s.candidates(memo, 4, now);
    if (batch.items.empty()) return u"<none>";
    size_t refused = 0;
    while (refused < batch.items.size() && !f.matches(*batch.items[refused].message)) ++refused;
    s.noteRefused(memo, batch, refused);
    if (refused < batch.items.size())
      if (auto e = s.take(batch.items[refused].key, now)) return bodyOf(e->message);
  }
}

std::u16string drain(MessageStore& s, int64_t now = 0, std::u16string* flags = nullptr) {
  std::u16string out;
  while (auto e = s.takeFirst(now)) {
    out += bodyOf(e->message);
    if (flags) *flags += e->redelivered ? u'R' : u'-';
  }
  return out;
}

TEST(MessageStore, PriorityThenArrivalAndReturnedEntriesKeepTheirPlace) {
  MessageStore s;
  for (auto [b, p] : {std::pair{u"a", 4}, {u"b", 9}, {u"c", 0}, {u"d", 9}, {u"e", 4}})
    s.push(message(b, p));
  auto b = s.takeFirst(0), d = s.takeFirst(0);
  s.push(message(u"f", 9));
  s.putBack(*d);  // returned out of order: the original order is kept
  s.putBack(*b);
  std::u16string flags;
  EXPECT_EQ(drain(s, 0, &flags), u"bdfaec");
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
  while (takeMatching(s, f, memo) != u"<none>") ++taken;
  EXPECT_EQ(taken, kMessages / kEvery);
  EXPECT_LE(f.evaluations, size_t(kMessages + 100));  // about once each, not once per receive

  // Messages arriving later, at any priority, are still found.
  s.push(message(u"late-high", 9, {{u"k", 1}}));
  s.push(message(u"late-low", 0, {{u"k", 1}}));
  EXPECT_EQ(takeMatching(s, f, memo), u"late-high");
  EXPECT_EQ(takeMatching(s, f, memo), u"late-low");
}

TEST(MessageStore, RefusalsNotedAcrossAReturnAreForgottenSoReturnedEntriesAreSeen) {
  MessageStore s;
  PropertyEquals wantsOne(u"k", 1);
  MessageStore::ScanMemo memo;
  s.push(message(u"a", 4, {{u"k", 1}}));
  s.push(message(u"b", 4, {{u"k", 0}}));
  auto a = s.takeFirst(0);  // another reader takes "a"
  MessageStore::Batch batch = s.candidates(memo, 4, 0);
  ASSERT_EQ(batch.items.size(), 1u);
  s.putBack(*a);                   // "a" comes back while "b" is being judged
  s.noteRefused(memo, batch, 1);   // so the refusal of "b" is not remembered
  EXPECT_EQ(takeMatching(s, wantsOne, memo), u"a");
  EXPECT_EQ(takeMatching(s, wantsOne, memo), u"<none>");
  EXPECT_EQ(drain(s), u"b");
}

TEST(MessageStore, ExpiredEntriesNeverComeOutAndThePurgeDropsOnlyThem) {
  MessageStore s;
  s.push(message(u"soon", 4, {}, 100));
  s.push(message(u"later", 4, {}, 200));
  s.push(message(u"never", 4, {}, 0));
  s.push(message(u"taken", 9, {}, 100));
  s.putBack(*s.takeFirst(0));     // back in the expiry index
  ASSERT_TRUE(s.takeFirst(0));    // "taken" leaves it
  MessageStore::ScanMemo memo;
  EXPECT_EQ(s.candidates(memo, 10, 100).items.size(), 2u);  // "soon" expired on the way
  EXPECT_EQ(s.size(), 2u);
  s.push(message(u"soon2", 4, {}, 150));
  EXPECT_FALSE(s.withId(u"soon2", 150));
  EXPECT_EQ(s.after(std::nullopt, 10, 150).size(), 2u);
  EXPECT_EQ(s.purgeExpired(199), 0u);
  EXPECT_EQ(s.purgeExpired(200), 1u);
  EXPECT_EQ(drain(s, 200), u"never");
}

}  // namespace
}  // namespace quorix::provider::test
