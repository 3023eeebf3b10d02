#pragma once
// What the consumers of a perf run saw: each message's latency, and how often
// each (producer, sequence number) arrived, for the lost/duplicated check.
#include <cstdint>
#include <mutex>
#include <vector>

namespace qjms::cli {

class PerfTally {
public:
    explicit PerfTally(int producers) : seen_(producers) {}
    // Safe from any thread.
    void add(int producer, int64_t sequence, int64_t latencyMicros);

    int64_t received() const;
    int64_t duplicated() const;
    // Sent messages never seen, when each producer sent `sent[p]`.
    int64_t lost(const std::vector<int64_t>& sent) const;
    std::vector<int64_t> latencies() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> seen_;  // per producer, per sequence: arrivals (saturating)
    std::vector<int64_t> latencies_;
    int64_t duplicated_ = 0;
};

}  // namespace qjms::cli
