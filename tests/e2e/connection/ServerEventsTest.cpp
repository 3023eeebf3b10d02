// The provider calling back: server events for the exception listener,
// liveness pings, and the safety of deleting a connection meanwhile.
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "ConnectionHarness.h"

namespace qjms::test {
namespace {

struct Recorder : jms::ExceptionListener {
    std::mutex m;
    std::vector<std::string> heard;
    void onException(jms::JMSException* e) override {
        std::lock_guard<std::mutex> lock(m);
        heard.push_back(ascii(e->toString()));
    }
    std::vector<std::string> seen() {
        std::lock_guard<std::mutex> lock(m);
        return heard;
    }
};

class ServerEvents : public ConnectionE2E {};

TEST_F(ServerEvents, KnownCodesReachTheListenerOnceOthersNeverNorAfterClose) {
    const std::pair<int, const char*> cases[] = {{104, "SessionIDExceptionERR_SESSION_CLOSED"},
                                                 {107, "ConsumerExceptionERR_CONSUMER_CLOSED"},
                                                 {117, "MessageLostException"},
                                                 {105, nullptr},
                                                 {0, nullptr}};
    auto connection = connect();
    const int cid = cidOf(*connection);
    Recorder listener;
    connection->setExceptionListener(&listener);
    std::vector<std::string> expected;
    for (const auto& [code, delivered] : cases) {
        control_.event(code, cid);  // two-way: the callback has run
        if (delivered) expected.push_back(delivered);
        EXPECT_EQ(listener.seen(), expected) << "after code " << code;
    }
    connection->setExceptionListener(nullptr);
    control_.event(104, cid);
    EXPECT_EQ(listener.seen(), expected) << "after the listener was removed";

    connection->setExceptionListener(&listener);
    EXPECT_EQ(control_.ping(cid), "true");
    // Closed locally by a connection-fatal answer: the provider still knows it.
    control_.fail("start", "ConnectionIDException");
    EXPECT_ANY_THROW(connection->start());
    control_.event(104, cid);
    EXPECT_EQ(listener.seen(), expected) << "after the connection was closed";
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

// Holds its one callback until released.
struct Blocker : jms::ExceptionListener {
    std::promise<void> entered, release;
    void onException(jms::JMSException*) override {
        entered.set_value();
        release.get_future().wait();
    }
};

// Deleting the connection or replacing its listener waits for a callback of
// that listener still running on another thread, so the listener may go next.
TEST_F(ServerEvents, LettingGoOfAListenerWaitsForItsCallbackInProgress) {
    Recorder other;
    const std::pair<const char*, std::function<void(std::unique_ptr<jms::QueueConnection>&)>>
        cases[] = {
            {"delete the connection", [](auto& c) { c.reset(); }},
            {"remove the listener", [](auto& c) { c->setExceptionListener(nullptr); }},
            {"replace the listener", [&](auto& c) { c->setExceptionListener(&other); }},
        };
    for (const auto& [name, letGo] : cases) {
        SCOPED_TRACE(name);
        auto connection = connect();
        const int cid = cidOf(*connection);
        auto listener = std::make_unique<Blocker>();
        connection->setExceptionListener(listener.get());
        std::thread provider([&] { ProviderControl(server_.ior()).event(104, cid); });
        listener->entered.get_future().wait();
        auto done = std::async(std::launch::async, [&] { letGo(connection); });
        EXPECT_EQ(done.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout)
            << "returned while the listener was still running";
        listener->release.set_value();
        done.get();
        provider.join();
        listener.reset();  // safe now: nothing can call it any more
    }
}

// An application may end its connection, or its listener, from that listener.
struct SelfEnder : jms::ExceptionListener {
    std::unique_ptr<jms::QueueConnection> connection;
    bool deleteConnection = false;
    int calls = 0;
    void onException(jms::JMSException*) override {
        ++calls;
        if (deleteConnection)
            connection.reset();
        else
            connection->setExceptionListener(nullptr);
    }
};

TEST_F(ServerEvents, ListenerMayEndItsOwnConnectionOrItself) {
    for (bool deleteConnection : {true, false}) {
        SelfEnder listener;
        listener.deleteConnection = deleteConnection;
        listener.connection = connect();
        const int cid = cidOf(*listener.connection);
        listener.connection->setExceptionListener(&listener);
        control_.event(117, cid);
        control_.event(117, cid);
        EXPECT_EQ(listener.calls, 1);
        EXPECT_EQ(listener.connection == nullptr, deleteConnection);
        EXPECT_EQ(control_.ping(cid), deleteConnection ? "error" : "true");
    }
}

}  // namespace
}  // namespace qjms::test
