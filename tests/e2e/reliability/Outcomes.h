#pragma once
// What library calls did while the provider was taken away: each call timed,
// its failure kept, and the texts a failure may carry once the provider is
// gone, killed, stopping or hung.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <jms/jms.h>

#include "ProviderProcess.h"

namespace qjms::test {

using Clock = std::chrono::steady_clock;

inline int64_t msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// The texts of the failures a lost provider causes: the broker's system
// exception in each site's form, the provider refusing calls while it stops,
// and the closed states these leave behind.
bool documentedLoss(const std::string& message);

// A client connection to `provider` through its reference file, as an
// application makes one.
std::unique_ptr<jms::QueueConnection> connectTo(const ProviderProcess& provider);

// Runs `call`; the JMSException's message, "" when it returned normally, or
// "escaped ..." for anything that is not a JMSException.
std::string failureOf(const std::function<void()>& call);

// Kills the provider when it goes, so that a test that stops early does not
// wait forever for calls blocked on it. Declare it after what blocks.
struct KillOnExit {
    ProviderProcess& provider;
    ~KillOnExit() { provider.kill(); }
};

class Outcomes {
public:
    // Runs and times `call` on behalf of `worker`; true when it returned normally.
    bool run(int worker, const std::function<void()>& call);
    // From now on the provider is gone: later failures and lateness count.
    void providerGone();

    struct Summary {
        int64_t calls = 0;
        int64_t worstAfterLossMs = 0;  // longest a call ran past the loss
        std::map<std::string, int64_t> failures;  // text -> count, after the loss
        std::vector<std::string> undocumented;    // texts no lost provider explains
        std::vector<std::string> before;          // failures while the provider was up
    };
    Summary summary() const;
    // Whether every worker seen so far has failed at least once since the loss.
    bool allFailedSinceLoss() const;

private:
    mutable std::mutex mutex_;
    bool gone_ = false;
    Clock::time_point goneAt_;
    Summary summary_;
    std::map<int, bool> failedSinceLoss_;
};

}  // namespace qjms::test
