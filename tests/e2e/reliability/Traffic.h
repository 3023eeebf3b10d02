#pragma once
// Producers, consumers, browsers and listeners on several connections of one
// provider, each worker thread on a session of its own, every call timed
// through Outcomes, until stopped; then everything closed or deleted one of
// the ways an application may.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Outcomes.h"

namespace qjms::test {

class Traffic {
public:
    // Builds every connection, session and endpoint; throws what the library throws.
    Traffic(const ProviderProcess& provider, int connections, uint32_t seed, Outcomes& outcomes);
    ~Traffic();
    Traffic(const Traffic&) = delete;
    Traffic& operator=(const Traffic&) = delete;

    void start();
    // Asks every worker to stop and joins them; a worker stops between calls.
    void stop();
    // Messages the listeners were given so far.
    int64_t delivered() const { return delivered_; }

    enum class Teardown { CloseConnectionsThenDelete, CloseEachThenDelete, DeleteOnly };
    static const char* name(Teardown how);
    struct Ended {
        int64_t slowestStepMs = 0;
        int64_t totalMs = 0;
        std::vector<std::string> failures;  // what the closes threw
    };
    // Closes and deletes everything, in an order drawn from `rng`.
    Ended teardown(Teardown how, std::mt19937& rng);

private:
    // One object the caller owns: how to close it (none for destinations) and delete it.
    struct Owned {
        int rank;  // 0 endpoint, 1 session, 2 connection, 3 destination
        std::function<void()> close;
        std::function<void()> destroy;
    };
    template <class T>
    T* keep(T* object, int rank);

    void addWorker(std::function<void(int id, std::mt19937& rng)> body);
    void pause(std::mt19937& rng) const;

    void sender(jms::QueueConnection& c, const jms::WString& queue, bool transacted);
    void receiver(jms::QueueConnection& c, const jms::WString& queue);
    void browser(jms::QueueConnection& c, const jms::WString& queue);
    void churn(jms::QueueConnection& c, const jms::WString& queue);
    void publisher(jms::TopicConnection& c, const jms::WString& topic);
    void listen(jms::MessageConsumer* consumer);

    class Counter;
    Outcomes& outcomes_;
    std::mt19937 rng_;
    std::atomic<bool> stopping_{false};
    std::atomic<int64_t> delivered_{0};
    std::vector<std::unique_ptr<Counter>> listeners_;  // outlive what pushes to them
    std::vector<Owned> owned_;
    std::vector<std::function<void()>> bodies_;
    std::vector<std::thread> threads_;
};

}  // namespace qjms::test
