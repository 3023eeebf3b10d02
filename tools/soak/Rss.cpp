#include "Rss.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace qjms::soak {

int64_t residentBytes(pid_t pid) {
    std::ifstream statm(pid ? "/proc/" + std::to_string(pid) + "/statm" : "/proc/self/statm");
    int64_t size = 0, resident = -1;
    if (!(statm >> size >> resident)) return -1;
    return resident * sysconf(_SC_PAGESIZE);
}

void RssWatch::sample() {
    last_ = residentBytes(pid_);
    if (hasBaseline()) peak_ = std::max(peak_, last_);
}

void RssWatch::setBaseline() {
    sample();
    baseline_ = peak_ = last_;
}

}  // namespace qjms::soak
