#include "PerfTally.h"

namespace qjms::cli {

void PerfTally::add(int producer, int64_t sequence, int64_t latencyMicros) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (producer < 0 || size_t(producer) >= seen_.size() || sequence < 0) return;
    std::vector<uint8_t>& seen = seen_[producer];
    if (size_t(sequence) >= seen.size()) seen.resize(sequence + 1);
    if (seen[sequence] > 0) ++duplicated_;
    if (seen[sequence] < 255) ++seen[sequence];
    latencies_.push_back(latencyMicros);
}

int64_t PerfTally::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return int64_t(latencies_.size());
}

int64_t PerfTally::duplicated() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return duplicated_;
}

int64_t PerfTally::lost(const std::vector<int64_t>& sent) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int64_t lost = 0;
    for (size_t p = 0; p < sent.size() && p < seen_.size(); ++p) {
        for (int64_t s = 0; s < sent[p]; ++s) {
            if (size_t(s) >= seen_[p].size() || seen_[p][s] == 0) ++lost;
        }
    }
    return lost;
}

std::vector<int64_t> PerfTally::latencies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latencies_;
}

}  // namespace qjms::cli
