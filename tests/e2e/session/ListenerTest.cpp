// Messages pushed to listeners: order, failures of the listener, the
// refusals a session answers the provider with, registration races, and
// closing or deleting things from inside a listener or beside it.
#include <spawn.h>
#include <sys/wait.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "SessionHarness.h"
#include "idl/WireText.h"
#include "message/CltTextMessage.h"

namespace qjms::test {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

// Records the texts that arrive, after an optional delay; an optional action
// runs inside onMessage after that.
class Recorder : public jms::MessageListener {
public:
    void onMessage(jms::Message* m) override {
        std::this_thread::sleep_for(delay);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(textOf(m));
        }
        cv_.notify_all();
        if (action) action(m);
    }
    // The first `n` deliveries, waiting up to five seconds for them.
    Texts first(size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, 5s, [&] { return seen_.size() >= n; });
        return seen_;
    }
    size_t count() { return first(0).size(); }
    std::function<void(jms::Message*)> action;
    std::chrono::milliseconds delay{0};

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    Texts seen_;
};

class Listeners : public SessionE2E {
protected:
    OnQueue listening(Recorder& recorder, const jms::WString& queue = u"q") {
        auto q = onQueue(queue);
        q.receiver->setMessageListener(&recorder);
        return q;
    }
};

TEST_F(Listeners, NothingIsPushedBeforeTheStartThenEachConsumerGetsItsOwnInOrder) {
    Recorder a, b;
    auto q = listening(a, u"a");
    Owned<jms::Queue> qb(q.session->createQueue(u"b"));
    Owned<jms::QueueReceiver> rb(q.session->createReceiver(qb.get()));
    rb->setMessageListener(&b);
    connection_->stop();
    put(u"a", u"one");
    put(u"b", u"for b");
    {
        auto other = queueSession();  // never the listening session: a push could meet the send
        Owned<jms::QueueSender> sender(other->createSender(q.queue.get()));
        Owned<jms::Message> header(other->createMessage());
        sender->send(header.get());
    }
    put(u"a", u"two");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(a.count() + b.count(), 0u);
    connection_->start();
    EXPECT_EQ(a.first(3), (Texts{"one", "<not text>", "two"}));
    EXPECT_EQ(b.first(1), Texts{"for b"});
    EXPECT_EQ(stateOf(*q.session), SessionState::Open);
}

TEST_F(Listeners, AListenerThatThrowsMissesNothingAndTheProviderSeesSuccess) {
    Recorder recorder;
    recorder.action = [](jms::Message* m) {
        if (textOf(m) == "a") throw jms::JMSException(u"listener failed");
        if (textOf(m) == "b") throw std::runtime_error("listener failed");
    };
    auto q = listening(recorder);
    for (const char16_t* t : {u"a", u"b", u"c"}) put(u"q", t);
    // A failed push would come back again.
    EXPECT_EQ(recorder.first(3), (Texts{"a", "b", "c"}));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.count(), 3u);
    EXPECT_EQ(stateOf(*q.session), SessionState::Open);
}

TEST_F(Listeners, RegistrationRulesAndARetryAfterARefusalReachesTheProvider) {
    Recorder recorder, replacement;
    auto q = onQueue(u"q");
    EXPECT_EQ(thrownBy([&] { q.receiver->setMessageListener(nullptr); }), "badArg null MessageListener|");
    control_.fail("setMessageListener", "ConcurrencyException");
    EXPECT_EQ(thrownBy([&] { q.receiver->setMessageListener(&recorder); }), "svrConcurrency|");
    EXPECT_EQ(q.receiver->getMessageListener(), nullptr) << "kept only once the provider agreed";
    q.receiver->setMessageListener(&recorder);
    EXPECT_EQ(control_.calls("setMessageListener"), 2);
    put(u"q", u"first");
    EXPECT_EQ(recorder.first(1), Texts{"first"});
    // A second listener replaces the first here only; null is still refused.
    q.receiver->setMessageListener(&replacement);
    EXPECT_EQ(q.receiver->getMessageListener(), &replacement);
    EXPECT_EQ(thrownBy([&] { q.receiver->setMessageListener(nullptr); }), "badArg null MessageListener|");
    EXPECT_EQ(control_.calls("setMessageListener"), 2);
    put(u"q", u"second");
    EXPECT_EQ(replacement.first(1), Texts{"second"});
}

TEST_F(Listeners, MessagesWaitingWhenTheListenerIsSetAllArriveAndTheSessionStaysOpen) {
    // The provider may push before its answer to setMessageListener is back.
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const jms::WString queue = wide("waiting" + std::to_string(round));
        for (int i = 0; i < 5; ++i) put(queue, wide(std::to_string(i)));
        Recorder recorder;
        auto q = listening(recorder, queue);
        EXPECT_EQ(recorder.first(5).size(), 5u);
        EXPECT_EQ(stateOf(*q.session), SessionState::Open);
        q.session->close();
    }
}

// Sending from inside onMessage is not a second concurrent use of the session.
TEST_F(Listeners, AListenerRepliesThroughItsOwnSession) {
    Recorder recorder;
    auto q = listening(recorder, u"requests");
    recorder.action = [&](jms::Message* request) {
        Owned<jms::Destination> replyTo(request->getJMSReplyTo());
        Owned<jms::TextMessage> reply(q.session->createTextMessage(u"re: " + wide(textOf(request))));
        reply->setJMSCorrelationID(request->getJMSMessageID());
        q.sender->send(dynamic_cast<jms::Queue*>(replyTo.get()), reply.get());
    };
    auto client = onQueue(u"replies");
    Owned<jms::TextMessage> request(client.session->createTextMessage(u"ping"));
    request->setJMSReplyTo(client.queue.get());
    client.sender->send(q.queue.get(), request.get());
    Owned<jms::Message> reply(client.receiver->receive(5000));
    EXPECT_EQ(textOf(reply.get()), "re: ping");
    EXPECT_EQ(reply->getJMSCorrelationID(), request->getJMSMessageID());
}

// The session's answers to the provider, driven by calling its servant's
// operation as the broker would.
TEST_F(Listeners, RefusalsCarryTheirReasonsAndCloseTheSessionWhereTheyMust) {
    Recorder recorder;
    auto q = listening(recorder);
    jms::SessionCore& core = dynamic_cast<jms::CltSession&>(*q.session).core();
    jms::wire::JMSMsg wire;
    jms::CltTextMessage(u"direct").getJMSMsg(wire);
    jms::wire::UID uid = dynamic_cast<jms::CltMessageConsumer&>(*q.receiver).getConsumerID();
    auto refusal = [&](const jms::wire::UID& to) -> std::string {
        try {
            core.onMessage(wire, to);
        } catch (const CORBA::UserException& e) {
            std::string reason;
            if (auto* x = jms::wire::BadStateException::_downcast(&e)) reason = ascii(jms::toWString(x->reason));
            if (auto* x = jms::wire::SessionIDException::_downcast(&e)) reason = ascii(jms::toWString(x->reason));
            if (auto* x = jms::wire::ConsumerException::_downcast(&e)) reason = ascii(jms::toWString(x->reason));
            return std::string(e._name()) + ":" + reason;
        }
        return "delivered";
    };
    // Only the uid member names the consumer.
    jms::wire::UID elsewhere = uid;
    elsewhere.sid.sid += 100;
    EXPECT_EQ(refusal(elsewhere), "delivered");
    EXPECT_EQ(recorder.first(1), Texts{"direct"});
    jms::wire::UID unknown = uid;
    unknown.uid += 100;
    EXPECT_EQ(refusal(unknown), "ConsumerException: consumer is closed ");
    jms::CltTextMessage(u"x").getJMSMsg(wire);
    wire.msg.map(jms::wire::MapMessage());
    EXPECT_EQ(refusal(uid), "delivered") << "a map body is dropped";
    EXPECT_EQ(recorder.count(), 1u);

    core.beginUse(false);  // as a caller's operation would
    EXPECT_EQ(refusal(uid), "BadStateException: Concurrent calls to onMessage ");
    core.endUse();
    EXPECT_EQ(stateOf(*q.session), SessionState::Closed);
    EXPECT_EQ(refusal(uid), "SessionIDException: the session is closed ");
}

TEST_F(Listeners, APushThatMeetsABlockingReceiveClosesTheSession) {
    Recorder recorder;
    auto q = listening(recorder, u"pushed");
    Owned<jms::Queue> pulled(q.session->createQueue(u"pulled"));
    Owned<jms::QueueReceiver> puller(q.session->createReceiver(pulled.get()));
    auto blocked = std::async(std::launch::async, [&] { return Owned<jms::Message>(puller->receive()); });
    while (control_.calls("consume") == 0) std::this_thread::sleep_for(5ms);
    put(u"pushed", u"meets the receive");
    for (int i = 0; i < 500 && stateOf(*q.session) != SessionState::Closed; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(stateOf(*q.session), SessionState::Closed);
    EXPECT_EQ(recorder.count(), 0u);
    // Told why, the provider drops the session too, which ends the receive.
    EXPECT_EQ(thrownBy([&] { blocked.get(); }), "SessionIDException|");
}

TEST_F(Listeners, ClosingOrDeletingFromInsideTheListenerNeitherWaitsForItselfNorCrashes) {
    using Act = void (*)(Owned<jms::QueueConnection>&, OnQueue&);
    const std::pair<const char*, Act> acts[] = {
        {"close consumer", [](auto&, OnQueue& q) { q.receiver->close(); }},
        {"delete consumer", [](auto&, OnQueue& q) { q.receiver.reset(); }},
        {"close session", [](auto&, OnQueue& q) { q.session->close(); }},
        {"delete session", [](auto&, OnQueue& q) { q.receiver.reset(); q.session.reset(); }},
        {"close connection", [](auto& c, OnQueue&) { c->close(); }},
        {"delete connection", [](auto& c, OnQueue&) { c.reset(); }},
    };
    for (const auto& [name, act] : acts) {
        SCOPED_TRACE(name);
        // A connection of its own: put() must not meet the act.
        Owned<jms::QueueConnection> connection = connect();
        connection->start();
        std::promise<void> done;
        Recorder recorder;
        auto q = onQueue(*connection, u"self");
        recorder.action = [&, act = act](jms::Message*) {
            act(connection, q);
            done.set_value();
        };
        q.receiver->setMessageListener(&recorder);
        put(u"self", u"bye");
        ASSERT_EQ(done.get_future().wait_for(5s), std::future_status::ready);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(recorder.count(), 1u);
    }
}

TEST_F(Listeners, ClosingAndDeletingBesideRunningListenersLosesAndRepeatsNothing) {
    // Sessions with slow listeners while other threads close and delete what
    // the listeners use; every wait is bounded by the suite's time-out.
    constexpr int sessions = 4, perSession = 40;
    std::vector<Recorder> listeners(sessions);
    std::vector<OnQueue> consumers;
    for (int s = 0; s < sessions; ++s) {
        listeners[s].delay = 1ms;
        const jms::WString queue = wide("stress" + std::to_string(s));
        consumers.push_back(listening(listeners[s], queue));
        for (int i = 0; i < perSession; ++i) put(queue, wide(std::to_string(s) + ":" + std::to_string(i)));
    }
    std::this_thread::sleep_for(20ms);
    // A push that meets close() can make the provider drop the session first
    // (refused as closed, or as a concurrent use while a consumer closes):
    // the close then reads as the provider's SessionIDException.
    const std::function<void()> acts[] = {
        [&] { consumers[0].receiver->close(); },
        [&] { consumers[1].receiver.reset(); },
        [&] { consumers[2].session->close(); },
        [&] { consumers[3].session.reset(); },
    };
    std::vector<std::thread> closers;
    for (const auto& act : acts) {
        closers.emplace_back([&act] {
            EXPECT_THAT(thrownBy(act), ::testing::AnyOf("", "svrSessID|CltException::ERR_SESSION_CLOSED",
                                                        "SessionIDException|"));
        });
    }
    for (auto& t : closers) t.join();
    auto delivered = [&] {
        std::multiset<std::string> all;
        for (auto& l : listeners) for (const auto& text : l.first(0)) all.insert(text);
        return all;
    };
    const auto afterClose = delivered();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(delivered(), afterClose) << "nothing delivered once closed";
    EXPECT_EQ(std::set<std::string>(afterClose.begin(), afterClose.end()).size(), afterClose.size());
    connection_.reset();  // the rest goes with the connection
}

TEST_F(Listeners, AProgramThatExitsRightAfterClosingLeavesItsLastPushDelivered) {
    // The reply to the last push has left before close() or deletion returns,
    // so the provider does not put the message back.
    for (int round = 0; round < 6; ++round) {
        for (std::string how : {"close", "delete"}) {
            std::string bin = QJMS_EXIT_CLIENT, ref = server_.iorFile(), queue = "exit" + std::to_string(round) + how;
            SCOPED_TRACE(queue);
            put(wide(queue), u"taken");
            char* argv[] = {bin.data(), ref.data(), queue.data(), how.data(), nullptr};
            pid_t pid = -1;
            ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            auto qs = queueSession();
            Owned<jms::Queue> q(qs->createQueue(wide(queue)));
            Owned<jms::QueueBrowser> browser(qs->createBrowser(q.get()));
            EXPECT_EQ(browse(*browser), Texts{});
        }
    }
}

}  // namespace
}  // namespace qjms::test
