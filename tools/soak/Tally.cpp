#include "Tally.h"

#include <bitset>

namespace qjms::soak {

Tally::Tally(std::vector<int64_t> quotas) : quotas_(std::move(quotas)) {
    for (int64_t q : quotas_) seen_.emplace_back(size_t((q + 63) / 64), 0);
}

bool Tally::add(int producer, int64_t sequence) {
    ++arrivals_;
    if (producer < 0 || size_t(producer) >= quotas_.size() || sequence < 0 ||
        sequence >= quotas_[size_t(producer)]) {
        ++strays_;
        return false;
    }
    const uint64_t bit = uint64_t(1) << (sequence % 64);
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t& word = seen_[size_t(producer)][size_t(sequence / 64)];
    if (word & bit) ++duplicated_;
    word |= bit;
    return true;
}

int64_t Tally::lost() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int64_t seen = 0, expected = 0;
    for (size_t p = 0; p < quotas_.size(); ++p) {
        expected += quotas_[p];
        for (uint64_t word : seen_[p]) seen += int64_t(std::bitset<64>(word).count());
    }
    return expected - seen;
}

}  // namespace qjms::soak
