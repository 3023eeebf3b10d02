#pragma once
// Which (producer, sequence) pairs arrived, in memory fixed at the start, so
// that counting a long run does not itself make the client grow.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qjms::soak {

class Tally {
public:
    // Producer p sends sequence numbers 0 .. quotas[p]-1.
    explicit Tally(std::vector<int64_t> quotas);

    // Safe from any thread. False for a pair outside the quotas.
    bool add(int producer, int64_t sequence);

    int64_t arrivals() const { return arrivals_; }
    int64_t duplicated() const { return duplicated_; }
    int64_t strays() const { return strays_; }
    int64_t lost() const;  // expected pairs never seen

private:
    std::vector<int64_t> quotas_;
    std::vector<std::vector<uint64_t>> seen_;  // per producer, one bit per sequence
    mutable std::mutex mutex_;
    std::atomic<int64_t> arrivals_{0}, duplicated_{0}, strays_{0};
};

}  // namespace qjms::soak
