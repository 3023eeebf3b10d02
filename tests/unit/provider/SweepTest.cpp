// Memory that only grew: expired messages nobody reads, and destinations
// nothing refers to any more.
#include <gtest/gtest.h>

#include "BrokerFixture.h"

namespace quorix::provider::test {
namespace {

class Sweep : public BrokerTest {};

TEST_F(Sweep, DropsExpiredMessagesNobodyReadsAndDestinationsNothingRefersTo) {
  ConnectionKey c = connect(u"app");
  SessionKey s = session(c), tx = session(c, /*transacted=*/true);
  int64_t soon = clock_.load() + 10;
  auto sendExpiring = [&](const EndpointKey& p, int n) {
    for (int i = 0; i < n; ++i) send(p, msg(u"old", 4, soon));
  };
  // An unread queue and an inactive durable subscription fill with messages
  // that expire; one message in each does not.
  EndpointKey unread = sender(s, u"unread"), pub = publisher(s, u"news");
  broker_.closeConsumer(subscriber(s, u"news", u"durable"));
  sendExpiring(unread, 1000);
  sendExpiring(pub, 1000);
  send(unread, u"keep");
  send(pub, u"keep");
  // Queues and topics held each way, and ones nothing holds.
  broker_.closeProducer(sender(s, u"temp-1"));
  send(sender(s, u"temp-2"), u"gone");
  EXPECT_EQ(drain(receiver(s, u"temp-2")), u"gone");  // its receiver still open
  broker_.closeConsumer(subscriber(s, u"passing"));
  EndpointKey txr = receiver(tx, u"pending");
  send(sender(s, u"pending"), u"uncommitted");
  ASSERT_TRUE(take(txr));
  broker_.closeConsumer(txr);  // the transaction still holds its message
  EXPECT_EQ(broker_.stats().messages, 2002u);

  clock_ += 10;
  SweepResult r = broker_.sweep();
  EXPECT_EQ(r.expired, 2000u);
  BrokerStats st = broker_.stats();
  EXPECT_EQ(st.messages, 2u);
  // Kept: unread (messages), temp-2 (a receiver), pending (a transaction);
  // news (a durable subscription). Dropped: temp-1, passing.
  EXPECT_EQ(r.dropped, 2u);
  EXPECT_EQ(st.queues, 3u);
  EXPECT_EQ(st.topics, 1u);

  broker_.rollback(tx);  // the message returns to its queue, which is still there
  std::u16string flags;
  EXPECT_EQ(drain(receiver(s, u"pending"), &flags), u"uncommitted");
  EXPECT_EQ(flags, u"R");
  EXPECT_EQ(drain(subscriber(s, u"news", u"durable")), u"keep");
  // A dropped queue comes back when named again.
  send(sender(s, u"temp-1"), u"again");
  EXPECT_EQ(drain(receiver(s, u"temp-1")), u"again");
}

}  // namespace
}  // namespace quorix::provider::test
