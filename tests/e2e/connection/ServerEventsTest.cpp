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

class Recorder : public jms::ExceptionListener {
public:
    void onException(jms::JMSException* e) override {
        std::lock_guard<std::mutex> lock(m_);
        seen_.push_back(narrowText(e->toString()));
    }
    std::vector<std::string> seen() {
        std::lock_guard<std::mutex> lock(m_);
        return seen_;
    }

private:
    std::mutex m_;
    std::vector<std::string> seen_;
};

class ServerEvents : public ConnectionE2E {};

TEST_F(ServerEvents, KnownCodesReachTheListenerOnceOthersNever) {
    struct Case { int code; const char* delivered; };
    const Case cases[] = {{104, "SessionIDExceptionERR_SESSION_CLOSED"},
                          {107, "ConsumerExceptionERR_CONSUMER_CLOSED"},
                          {117, "MessageLostException"},
                          {105, nullptr},
                          {0, nullptr}};
    auto connection = connect();
    Recorder recorder;
    connection->setExceptionListener(&recorder);
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        control_.event(c.code, cidOf(*connection));  // two-way: the callback has run
        if (c.delivered) expected.push_back(c.delivered);
        EXPECT_EQ(recorder.seen(), expected) << "after code " << c.code;
    }
    connection->setExceptionListener(nullptr);
    control_.event(104, cidOf(*connection));
    EXPECT_EQ(recorder.seen(), expected) << "after the listener was removed";
}

TEST_F(ServerEvents, PingTrueWhileOpenFalseOnceClosedAndEventsIgnored) {
    auto connection = connect();
    const int cid = cidOf(*connection);
    Recorder recorder;
    connection->setExceptionListener(&recorder);
    EXPECT_EQ(control_.ping(cid), "true");

    // Closed locally by a connection-fatal answer: the provider still knows it.
    control_.fail("start", "ConnectionIDException");
    EXPECT_ANY_THROW(connection->start());
    control_.event(104, cid);
    EXPECT_TRUE(recorder.seen().empty());
    EXPECT_EQ(control_.ping(cid), "false");  // and the provider drops the connection
}

TEST_F(ServerEvents, DeletedConnectionIsNoLongerReachable) {
    auto connection = connect();
    const int cid = cidOf(*connection);
    connection.reset();  // deleting tells the provider nothing...
    EXPECT_EQ(control_.connections().size(), 1u);
    EXPECT_EQ(control_.ping(cid), "error");  // ...but its listener is gone
}

TEST_F(ServerEvents, DeletingWhileThePingsKeepComingIsSafe) {
    for (int round = 0; round < 5; ++round) {
        auto connection = connect();
        const int cid = cidOf(*connection);
        std::atomic<bool> stop{false};
        std::atomic<int> answered{0};
        std::thread pinger([&] {
            ProviderControl control(server_.ior());
            while (!stop) {
                const std::string answer = control.ping(cid);
                ++answered;
                if (answer == "error") break;
            }
        });
        while (answered < 3) std::this_thread::yield();
        connection.reset();
        stop = true;
        pinger.join();
    }
}

// Holds the callback in progress until released.
class Blocker : public jms::ExceptionListener {
public:
    void onException(jms::JMSException*) override {
        std::unique_lock<std::mutex> lock(m_);
        entered_ = true;
        cv_.notify_all();
        cv_.wait(lock, [&] { return released_; });
    }
    void awaitEntered() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return entered_; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_);
        released_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool entered_ = false, released_ = false;
};

TEST_F(ServerEvents, DeletionWaitsForTheCallbackInProgress) {
    auto connection = connect();
    const int cid = cidOf(*connection);
    auto blocker = std::make_unique<Blocker>();
    connection->setExceptionListener(blocker.get());
    std::thread provider([&] {
        ProviderControl control(server_.ior());
        control.event(104, cid);
    });
    blocker->awaitEntered();
    std::atomic<bool> deleted{false};
    std::thread deleter([&] {
        connection.reset();
        deleted = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(deleted) << "the connection went while its listener was still running";
    blocker->release();
    deleter.join();
    provider.join();
    // Safe now: no callback can reach the listener any more.
    blocker.reset();
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
