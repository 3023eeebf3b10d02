#pragma once
// A library call run on a thread of its own, for calls that block on the
// provider: when it ended, how long it took and how.
#include <future>
#include <string>
#include <thread>

#include "Outcomes.h"
#include <sstream>

namespace qjms::test {

class Blocked {
public:
    template <class Call>
    explicit Blocked(Call call)
        : start_(Clock::now()), done_(std::async(std::launch::async, [this, call] {
              std::string how;
              const std::string failure = failureOf([&] { how = call(); });
              return Ended{failure.empty() ? how : failure, msBetween(start_, Clock::now())};
          })) {}

    struct Ended {
        std::string how;  // the failure's text, or what the call returned
        int64_t tookMs = 0;
    };
    bool ended(std::chrono::milliseconds within = std::chrono::milliseconds(0)) const {
        return done_.wait_for(within) == std::future_status::ready;
    }
    // Waits for the end.
    Ended get() { return done_.get(); }

private:
    const Clock::time_point start_;
    std::future<Ended> done_;
};

// What a receive gave: "null", "a message", or (through Blocked) its failure.
inline std::string received(jms::Message* message) {
    std::unique_ptr<jms::Message> owned(message);
    return owned ? "a message" : "null";
}

// Waits until a provider started with --verbose has logged `n` calls whose
// line starts with `operation` (read from its log: no call to the provider,
// which may have no connection to spare).
inline bool providerEntered(const ProviderProcess& provider, const std::string& operation, long n) {
    auto count = [&] {
        std::istringstream log(provider.log());
        long found = 0;
        for (std::string line; std::getline(log, line);) found += line.rfind(operation + ' ', 0) == 0;
        return found;
    };
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (count() < n) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace qjms::test
