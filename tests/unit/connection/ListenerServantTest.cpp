// The connection's callback servant, driven directly as the broker would.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <jms/ExceptionListener.h>
#include <jms/JMSException.h>

#include "connection/CltConnectionListenerImpl.h"

namespace jc = zorvane::velt::quorix::corba::jmsCommon;

namespace {

struct Recorded { std::u16string message, text; };

class RecordingListener : public jms::ExceptionListener {
public:
    void onException(jms::JMSException* e) override {
        std::lock_guard<std::mutex> lock(m);
        seen.push_back({e->getMessage(), e->toString()});
    }
    std::mutex m;
    std::vector<Recorded> seen;
};

void event(jms::CltConnectionListenerImpl& servant, CORBA::Long code) {
    jc::IDU concerned;
    concerned.error(0);
    servant.serverException(code, L"text", 0, 0, concerned);
}

using Servant = PortableServer::Servant_var<jms::CltConnectionListenerImpl>;

TEST(ListenerServantEvents, CodesMapToTheirExceptions) {
    struct Case { CORBA::Long code; const char16_t* message; const char16_t* toString; };
    const Case cases[] = {
        {104, u"SessionIDException", u"SessionIDExceptionERR_SESSION_CLOSED"},
        {107, u"ConsumerException", u"ConsumerExceptionERR_CONSUMER_CLOSED"},
        {117, u"MessageLostException", u"MessageLostException"},
        {105, nullptr, nullptr}, {0, nullptr, nullptr}, {-104, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        Servant servant(new jms::CltConnectionListenerImpl());
        RecordingListener listener;
        servant->setExceptionListener(&listener);
        event(*servant, c.code);
        if (c.message == nullptr) {
            EXPECT_TRUE(listener.seen.empty()) << "code " << c.code;
        } else {
            ASSERT_EQ(listener.seen.size(), 1u) << "code " << c.code;
            EXPECT_EQ(listener.seen[0].message, c.message);
            EXPECT_EQ(listener.seen[0].text, c.toString);
        }
    }
}

TEST(ListenerServantEvents, IgnoredWithoutListenerOrAfterShutdown) {
    Servant servant(new jms::CltConnectionListenerImpl());
    event(*servant, 104);  // no listener: nothing to do, nothing to crash

    RecordingListener listener;
    servant->setExceptionListener(&listener);
    servant->setExceptionListener(nullptr);
    event(*servant, 104);
    EXPECT_TRUE(listener.seen.empty());

    servant->setExceptionListener(&listener);
    servant->shutdown();
    event(*servant, 104);
    EXPECT_TRUE(listener.seen.empty());
}

TEST(ListenerServantPing, TrueUntilShutdownWithEmptySequences) {
    Servant servant(new jms::CltConnectionListenerImpl());
    jc::ConnectionID id;
    id.cid = 1;
    id.username.nullValue(0);
    id.password.nullValue(0);
    for (bool shut : {false, true}) {
        if (shut) servant->shutdown();
        jc::Sessions_var sessions;
        jc::Users_var users;
        EXPECT_EQ(servant->ping(id, sessions.out(), users.out()), shut ? 0 : 1);
        EXPECT_EQ(sessions->length(), 0u);
        EXPECT_EQ(users->length(), 0u);
    }
}

// A listener that blocks until released, to hold a callback in progress.
class BlockingListener : public jms::ExceptionListener {
public:
    void onException(jms::JMSException*) override {
        std::unique_lock<std::mutex> lock(m);
        entered = true;
        cv.notify_all();
        cv.wait(lock, [&] { return released; });
    }
    void waitEntered() {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return entered; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m);
        released = true;
        cv.notify_all();
    }
    std::mutex m;
    std::condition_variable cv;
    bool entered = false, released = false;
};

TEST(ListenerServantLifetime, WaitForCallbacksWaitsForOtherThreads) {
    Servant servant(new jms::CltConnectionListenerImpl());
    BlockingListener listener;
    servant->setExceptionListener(&listener);
    std::thread broker([&] { event(*servant, 104); });
    listener.waitEntered();

    std::atomic<bool> waited{false};
    std::thread closer([&] {
        servant->shutdown();
        servant->waitForCallbacks();
        waited = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(waited) << "returned while the callback was still running";
    listener.release();
    closer.join();
    broker.join();
    EXPECT_TRUE(waited);
}

// The listener's own thread may end its connection from inside the callback.
class SelfWaitingListener : public jms::ExceptionListener {
public:
    explicit SelfWaitingListener(jms::CltConnectionListenerImpl& s) : servant(s) {}
    void onException(jms::JMSException*) override {
        servant.shutdown();
        servant.waitForCallbacks();
        returned = true;
    }
    jms::CltConnectionListenerImpl& servant;
    bool returned = false;
};

TEST(ListenerServantLifetime, WaitFromInsideTheCallbackDoesNotDeadlock) {
    Servant servant(new jms::CltConnectionListenerImpl());
    SelfWaitingListener listener(*servant);
    servant->setExceptionListener(&listener);
    event(*servant, 117);
    EXPECT_TRUE(listener.returned);
    servant->waitForCallbacks();  // and the count went back to zero
}

}  // namespace
