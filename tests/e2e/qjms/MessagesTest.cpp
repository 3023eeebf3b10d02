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
    struct Prop { const char* spec; const char* type; json value; };
    const Prop props[] = {
        {"b:boolean=true", "boolean", true},
        {"y:byte=-128", "byte", -128},
        {"s:short=32767", "short", 32767},
        {"i:int=-2147483648", "int", std::numeric_limits<int32_t>::min()},
        {"l:long=9223372036854775807", "long", std::numeric_limits<int64_t>::max()},
        {"f:float=1.5", "float", 1.5},
        {"d:double=-2.25e300", "double", -2.25e300},
        {"note=über=x", "string", "über=x"},
        {"empty:string=", "string", ""},
    };
    const std::string text = "Grüße, 世界, \xF0\x9F\x98\x80\nand a second line";
    const std::string bytes("\0\n\r\x1a\x80\xfe\xff\xfb", 8);  // base64 "AAoNGoD+//s="

    std::vector<std::string> send = {"send", "rt", "--priority", "7", "--ttl", "600000",
                                     "--non-persistent", "--type", "order", "--correlation-id",
                                     "corr-1", "--reply-to", "topic:replies"};
    for (const Prop& p : props) send.insert(send.end(), {"--property", p.spec});
    send.insert(send.end(), {"--", text});
    const int64_t before = nowMillis();
    ASSERT_EQ(qjms(send).status, 0);
    const QjmsResult sent = qjms({"send", "rt", "--bytes", "--priority", "0", "--count", "2"}, bytes);
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.out, "sent 2 messages to queue:rt\n");
    const int64_t after = nowMillis();

    const auto ms = messages(qjms({"receive", "rt", "--json", "--count", "2"}));
    ASSERT_EQ(ms.size(), 2u);
    const json& t = ms[0];
    // Exact fields; the library stamps the expiration from its own clock, the provider the time stamp.
    const json exact = {{"destination", "queue:rt"}, {"priority", 7}, {"deliveryMode", "non-persistent"},
                        {"redelivered", false}, {"type", "order"}, {"correlationId", "corr-1"},
                        {"replyTo", "topic:replies"}, {"bodyType", "text"}, {"body", text}};
    for (const auto& [key, value] : exact.items()) EXPECT_EQ(t[key], value) << key;
    EXPECT_EQ(t["messageId"].get<std::string>().rfind("ID:", 0), 0u);
    EXPECT_GE(t["timestamp"].get<int64_t>(), before);
    EXPECT_LE(t["timestamp"].get<int64_t>(), after);
    EXPECT_GE(t["expiration"].get<int64_t>(), before + 600000);
    EXPECT_LE(t["expiration"].get<int64_t>(), after + 600000);
    EXPECT_EQ(t["properties"].size(), std::size(props));
    for (const Prop& p : props) {
        const std::string spec = p.spec, name = spec.substr(0, spec.find_first_of(":="));
        EXPECT_EQ(t["properties"][name], json({{"type", p.type}, {"value", p.value}})) << spec;
    }
    const json bytesFields = {{"bodyType", "bytes"}, {"body", "AAoNGoD+//s="}, {"priority", 0},
                              {"expiration", 0},     {"replyTo", nullptr},     {"properties", json::object()}};
    for (const auto& [key, value] : bytesFields.items()) EXPECT_EQ(ms[1][key], value) << key;
    // The second copy, raw.
    EXPECT_EQ(qjms({"receive", "rt", "--body-only"}).out, bytes);
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
    EXPECT_EQ(qjms({"receive", "q", "--listener", "--count", "1", "--body-only"}).out, "body1\n");
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
    EXPECT_EQ(run({"--timeout", "200"}).out, "");
    ASSERT_EQ(qjms({"publish", "news", "first", "second"}).status, 0);
    EXPECT_EQ(run({"--count", "2", "--body-only"}).out, "first\nsecond\n");
    ASSERT_EQ(qjms({"unsubscribe", "d1", "--client-id", "c1"}).status, 0);
    ASSERT_EQ(qjms({"publish", "news", "third"}).status, 0);
    EXPECT_EQ(run({"--timeout", "200"}).out, "") << "a removed subscription kept a message";
}

}  // namespace
}  // namespace qjms::test
