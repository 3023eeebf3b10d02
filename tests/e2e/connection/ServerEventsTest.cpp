// The provider calling back: server events for the exception listener,
// liveness pings, and the safety of deleting a connection meanwhile.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "ConnectionHarness.h"

namespace qjms::test {
namespace {

// Records what it hears; when told to, holds each callback until released.
class Listener : public jms::ExceptionListener {
public:
    explicit Listener(bool blocks = false) : released_(!blocks) {}
    void onException(jms::JMSException* e) override {
        std::unique_lock<std::mutex> lock(m_);
        seen_.push_back(ascii(e->toString()));
        cv_.notify_all();
        cv_.wait(lock, [&] { return released_; });
    }
    std::vector<std::string> seen() {
        std::lock_guard<std::mutex> lock(m_);
        return seen_;
    }
    void awaitCall() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return !seen_.empty(); });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_);
        released_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::string> seen_;
    bool released_;
};

class ServerEvents : public ConnectionE2E {};

TEST_F(ServerEvents, KnownCodesReachTheListenerOnceOthersNever) {
    struct Case { int code; const char* delivered; };
    const Case cases[] = {{104, "SessionIDExceptionERR_SESSION_CLOSED"},
                          {107, "ConsumerExceptionERR_CONSUMER_CLOSED"},
                          {117, "MessageLostException"}, {105, nullptr}, {0, nullptr}};
    auto connection = connect();
    Listener listener;
    connection->setExceptionListener(&listener);
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        control_.event(c.code, cidOf(*connection));  // two-way: the callback has run
        if (c.delivered) expected.push_back(c.delivered);
        EXPECT_EQ(listener.seen(), expected) << "after code " << c.code;
    }
    connection->setExceptionListener(nullptr);
    control_.event(104, cidOf(*connection));
    EXPECT_EQ(listener.seen(), expected) << "after the listener was removed";
}

TEST_F(ServerEvents, PingTrueWhileOpenFalseOnceClosedAndEventsIgnored) {
    auto connection = connect();
    const int cid = cidOf(*connection);
    Listener listener;
    connection->setExceptionListener(&listener);
    EXPECT_EQ(control_.ping(cid), "true");
    // Closed locally by a connection-fatal answer: the provider still knows it.
    control_.fail("start", "ConnectionIDException");
    EXPECT_ANY_THROW(connection->start());
    control_.event(104, cid);
    EXPECT_TRUE(listener.seen().empty());
    EXPECT_EQ(control_.ping(cid), "false");  // and the provider drops the connection
}

TEST_F(ServerEvents, DeletingWhileThePingsKeepComingIsSafe) {
    for (int round = 0; round < 5; ++round) {
        auto connection = connect();
        const int cid = cidOf(*connection);
        std::atomic<int> answered{0};
        std::thread pinger([&] {
            // "false" once it is closed, then "error" (or no such connection) once it is gone.
            ProviderControl control(server_.ior());
            try {
                while (control.ping(cid) == "true") ++answered;
            } catch (const ControlError&) {
            }
        });
        while (answered < 3) std::this_thread::yield();
        connection.reset();
        pinger.join();
    }
}

TEST_F(ServerEvents, DeletionWaitsForTheCallbackInProgress) {
    auto connection = connect();
    const int cid = cidOf(*connection);
    auto listener = std::make_unique<Listener>(true);
    connection->setExceptionListener(listener.get());
    std::thread provider([&] { ProviderControl(server_.ior()).event(104, cid); });
    listener->awaitCall();
    std::atomic<bool> deleted{false};
    std::thread deleter([&] {
        connection.reset();
        deleted = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(deleted) << "the connection went while its listener was still running";
    listener->release();
    deleter.join();
    provider.join();
    listener.reset();  // safe now: nothing can call it any more
}

// An application may end its connection from its own listener.
class SelfDeleter : public jms::ExceptionListener {
public:
    std::unique_ptr<jms::QueueConnection> connection;
    void onException(jms::JMSException*) override { connection.reset(); }
};

TEST_F(ServerEvents, ListenerMayDeleteItsOwnConnection) {
    SelfDeleter listener;
    listener.connection = connect();
    const int cid = cidOf(*listener.connection);
    listener.connection->setExceptionListener(&listener);
    control_.event(117, cid);
    EXPECT_EQ(listener.connection, nullptr);
    EXPECT_EQ(control_.ping(cid), "error");
}

}  // namespace
}  // namespace qjms::test
