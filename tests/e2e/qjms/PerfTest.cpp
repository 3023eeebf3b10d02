// perf counts every message once, whatever the shape of the run.
#include "QjmsFixture.h"

namespace qjms::test {
namespace {

class Perf : public QjmsE2E {};

TEST_F(Perf, EveryMessageArrivesOnceAndTheFiguresAreConsistent) {
    struct Row {
        std::vector<std::string> shape;
        int64_t received;
    };
    const Row rows[] = {
        {{"--producers", "2", "--consumers", "2"}, 300},
        {{"--topic", "perf.t", "--consumers", "2", "--text", "--size", "100"}, 600},
        {{"--listener", "--consumers", "2"}, 300},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"perf", "--count", "300", "--json"};
        args.insert(args.end(), row.shape.begin(), row.shape.end());
        const auto results = messages(qjms(args));
        ASSERT_EQ(results.size(), 1u) << row.shape[0];
        const auto& r = results[0];
        EXPECT_EQ(r["sent"], 300) << row.shape[0];
        EXPECT_EQ(r["received"], row.received) << row.shape[0];
        EXPECT_EQ(r["lost"], 0) << row.shape[0];
        EXPECT_EQ(r["duplicated"], 0) << row.shape[0];
        EXPECT_LE(r["latencyMs"]["p50"], r["latencyMs"]["p99"]);
        EXPECT_LE(r["latencyMs"]["p99"], r["latencyMs"]["max"]);
        EXPECT_GT(r["receivedPerSecond"], 0);
    }
}

}  // namespace
}  // namespace qjms::test
