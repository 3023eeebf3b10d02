// Messages through the qjms executable: what --json prints is what was sent,
// field by field; selectors, browsing, listeners and durable subscriptions
// behave across separate runs.
#include <chrono>
#include <cstdint>
#include <limits>

#include "QjmsFixture.h"

namespace qjms::test {
namespace {

using nlohmann::json;
class Messages : public QjmsE2E {};

int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST_F(Messages, JsonRoundTripKeepsHeaderFieldsTypedPropertiesAndBodies) {
    struct Prop {
        const char* spec;
        const char* name;
        const char* type;
        json value;
    };
    const Prop props[] = {
        {"b:boolean=true", "b", "boolean", true},
        {"y:byte=-128", "y", "byte", -128},
        {"s:short=32767", "s", "short", 32767},
        {"i:int=-2147483648", "i", "int", std::numeric_limits<int32_t>::min()},
        {"l:long=9223372036854775807", "l", "long", std::numeric_limits<int64_t>::max()},
        {"f:float=1.5", "f", "float", 1.5},
        {"d:double=-2.25e300", "d", "double", -2.25e300},
        {"note=über=x", "note", "string", "über=x"},
        {"empty:string=", "empty", "string", ""},
    };
    const std::string text = "Grüße, 世界, \xF0\x9F\x98\x80\nand a second line";
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += char(i);

    std::vector<std::string> send = {"send", "rt", "--priority", "7", "--ttl", "600000",
                                     "--non-persistent", "--type", "order", "--correlation-id",
                                     "corr-1", "--reply-to", "topic:replies"};
    for (const Prop& p : props) send.insert(send.end(), {"--property", p.spec});
    send.insert(send.end(), {"--", text});
    const int64_t before = nowMillis();
    ASSERT_EQ(qjms(send).status, 0);
    const QjmsResult bytes = qjms({"send", "rt", "--bytes", "--priority", "0", "--count", "2"}, everyByte);
    ASSERT_EQ(bytes.status, 0) << bytes.err;
    EXPECT_EQ(bytes.out, "sent 2 messages to queue:rt\n");
    const int64_t after = nowMillis();

    const auto ms = messages(qjms({"receive", "rt", "--json", "--count", "2"}));
    ASSERT_EQ(ms.size(), 2u);
    const json& t = ms[0];
    EXPECT_EQ(t["destination"], "queue:rt");
    EXPECT_EQ(t["messageId"].get<std::string>().rfind("ID:", 0), 0u);
    EXPECT_GE(t["timestamp"].get<int64_t>(), before);
    EXPECT_LE(t["timestamp"].get<int64_t>(), after);
    // The library stamps the expiration from its own clock, the provider the time stamp.
    EXPECT_GE(t["expiration"].get<int64_t>(), before + 600000);
    EXPECT_LE(t["expiration"].get<int64_t>(), after + 600000);
    EXPECT_EQ(t["priority"], 7);
    EXPECT_EQ(t["deliveryMode"], "non-persistent");
    EXPECT_EQ(t["redelivered"], false);
    EXPECT_EQ(t["type"], "order");
    EXPECT_EQ(t["correlationId"], "corr-1");
    EXPECT_EQ(t["replyTo"], "topic:replies");
    EXPECT_EQ(t["properties"].size(), std::size(props));
    for (const Prop& p : props) {
        EXPECT_EQ(t["properties"][p.name], json({{"type", p.type}, {"value", p.value}})) << p.spec;
    }
    EXPECT_EQ(t["bodyType"], "text");
    EXPECT_EQ(t["body"], text);

    const json& b = ms[1];
    EXPECT_EQ(b["bodyType"], "bytes");
    EXPECT_EQ(decodeBase64(b["body"]), everyByte);
    EXPECT_EQ(b["priority"], 0);
    EXPECT_EQ(b["expiration"], 0);
    EXPECT_TRUE(b["replyTo"].is_null());
    EXPECT_TRUE(b["properties"].empty());

    // The second copy, raw.
    const QjmsResult raw = qjms({"receive", "rt", "--body-only"});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, everyByte);
}

TEST_F(Messages, SelectorsBrowsingAndListenersTakeWhatTheyShould) {
    for (const char* n : {"1", "2", "3"}) {
        ASSERT_EQ(qjms({"send", "q", "--property", std::string("n:int=") + n, std::string("body") + n}).status, 0);
    }
    // Browsing twice shows the same messages and leaves them.
    const auto first = messages(qjms({"browse", "q", "--json"}));
    EXPECT_EQ(field(first, "body"), (std::vector<std::string>{"body1", "body2", "body3"}));
    const auto again = messages(qjms({"browse", "q", "--json"}));
    EXPECT_EQ(field(again, "messageId"), field(first, "messageId"));
    EXPECT_EQ(messages(qjms({"browse", "q", "--json", "--count", "1"})).size(), 1u);

    const auto selected = messages(qjms({"receive", "q", "--json", "--selector", "n >= 2 AND n <> 3"}));
    EXPECT_EQ(field(selected, "body"), std::vector<std::string>{"body2"});
    // A listener stops at --count: the rest stays for the next consumer.
    const QjmsResult pushed = qjms({"receive", "q", "--listener", "--count", "1", "--body-only"});
    EXPECT_EQ(pushed.status, 0) << pushed.err;
    EXPECT_EQ(pushed.out, "body1\n");
    const auto rest = messages(qjms({"receive", "q", "--json"}));
    EXPECT_EQ(field(rest, "messageId"), std::vector<std::string>{first[2]["messageId"].get<std::string>()});
}

TEST_F(Messages, ReadableOutputShowsHeaderPropertiesAndBody) {
    ASSERT_EQ(qjms({"send", "r", "--property", "n:int=5", "--type", "order", "two\nlines"}).status, 0);
    const QjmsResult r = qjms({"receive", "r"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* part : {" on queue:r\n", "non-persistent, priority 4, never expires\n",
                             "  type         order\n", "  property     n (int) = 5\n",
                             "  text         two\n               lines\n"}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << part << " in\n" << r.out;
    }
}

TEST_F(Messages, ADurableSubscriptionKeepsMessagesBetweenRuns) {
    const std::vector<std::string> durable = {"subscribe", "news", "--client-id", "c1", "--durable", "d1"};
    auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = durable;
        args.insert(args.end(), extra.begin(), extra.end());
        return qjms(args);
    };
    const QjmsResult created = run({"--timeout", "200"});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.out, "");
    ASSERT_EQ(qjms({"publish", "news", "first", "second"}).status, 0);
    const QjmsResult kept = run({"--count", "2", "--body-only"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.out, "first\nsecond\n");

    const QjmsResult removed = qjms({"unsubscribe", "d1", "--client-id", "c1"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    ASSERT_EQ(qjms({"publish", "news", "third"}).status, 0);
    EXPECT_EQ(run({"--timeout", "200"}).out, "") << "a removed subscription kept a message";
}

}  // namespace
}  // namespace qjms::test
