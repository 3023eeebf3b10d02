#pragma once
// Resident memory of a process, and how far it rose above a baseline.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace qjms::soak {

// Resident bytes of `pid` (0: this process) from /proc; -1 once it is gone.
int64_t residentBytes(pid_t pid);

class RssWatch {
public:
    RssWatch(std::string name, pid_t pid) : name_(std::move(name)), pid_(pid) {}
    // Before the baseline is set, samples only remember the latest value.
    void sample();
    void setBaseline();

    const std::string& name() const { return name_; }
    bool hasBaseline() const { return baseline_ >= 0; }
    int64_t baseline() const { return baseline_; }
    int64_t peak() const { return peak_; }
    int64_t last() const { return last_; }
    int64_t growth() const { return hasBaseline() ? peak_ - baseline_ : 0; }

private:
    std::string name_;
    pid_t pid_;
    int64_t baseline_ = -1, peak_ = -1, last_ = -1;
};

}  // namespace qjms::soak
