// Messages pushed to listeners: order, bodies, failures of the listener, the
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

// Records what arrives; an optional action runs inside onMessage.
class Recorder : public jms::MessageListener {
public:
    void onMessage(jms::Message* m) override {
        std::string line = textOf(m);
        if (dynamic_cast<jms::BytesMessage*>(m)) line = "bytes";
        else if (!dynamic_cast<jms::TextMessage*>(m)) line = "header";
        if (m->getJMSRedelivered()) line += " (redelivered)";
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(line);
        }
        cv_.notify_all();
        if (action) action(m);
    }
    // The first `n` deliveries, waiting up to five seconds for them.
    std::vector<std::string> first(size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, 5s, [&] { return seen_.size() >= n; });
        return seen_;
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_.size();
    }
    std::function<void(jms::Message*)> action;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> seen_;
};

class Listeners : public SessionE2E {
protected:
    struct Consumer {
        Owned<jms::QueueSession> session;
        Owned<jms::Queue> queue;
        Owned<jms::QueueReceiver> receiver;
    };
    Consumer listening(Recorder& recorder, const jms::WString& queue = u"q") {
        Consumer c{queueSession(), nullptr, nullptr};
        c.queue.reset(c.session->createQueue(queue));
        c.receiver.reset(c.session->createReceiver(c.queue.get()));
        c.receiver->setMessageListener(&recorder);
        return c;
    }
};

TEST_F(Listeners, PushesArriveInQueueOrderWhateverTheBody) {
    Recorder recorder;
    auto c = listening(recorder);
    auto qs = queueSession();
    Owned<jms::QueueSender> sender(qs->createSender(c.queue.get()));
    Owned<jms::TextMessage> text(qs->createTextMessage(u"one"));
    sender->send(text.get());
    Owned<jms::BytesMessage> bytes(qs->createBytesMessage());
    bytes->writeByte(1);
    sender->send(bytes.get());
    Owned<jms::Message> header(qs->createMessage());
    sender->send(header.get());
    EXPECT_EQ(recorder.first(3), (std::vector<std::string>{"one", "bytes", "header"}));
    EXPECT_EQ(c.receiver->getMessageListener(), &recorder);
    EXPECT_EQ(stateOf(*c.session), SessionState::Open);
}

TEST_F(Listeners, AListenerThatThrowsMissesNothingAndTheProviderSeesSuccess) {
    Recorder recorder;
    recorder.action = [](jms::Message* m) {
        if (textOf(m) == "a") throw jms::JMSException(u"listener failed");
        if (textOf(m) == "b") throw std::runtime_error("listener failed");
    };
    auto c = listening(recorder);
    for (const char16_t* t : {u"a", u"b", u"c"}) put(u"q", t);
    // A failed push would come back marked redelivered.
    EXPECT_EQ(recorder.first(3), (std::vector<std::string>{"a", "b", "c"}));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.count(), 3u);
    EXPECT_EQ(stateOf(*c.session), SessionState::Open);
}

TEST_F(Listeners, RegistrationRulesAndARetryAfterARefusalReachesTheProvider) {
    Recorder recorder, replacement;
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    EXPECT_EQ(thrownBy([&] { receiver->setMessageListener(nullptr); }), "badArg null MessageListener|");
    control_.fail("setMessageListener", "ConcurrencyException");
    EXPECT_EQ(thrownBy([&] { receiver->setMessageListener(&recorder); }), "svrConcurrency|");
    EXPECT_EQ(receiver->getMessageListener(), nullptr) << "kept only once the provider agreed";
    receiver->setMessageListener(&recorder);
    EXPECT_EQ(control_.calls("setMessageListener"), 2);
    put(u"q", u"first");
    EXPECT_EQ(recorder.first(1), std::vector<std::string>{"first"});
    // A second listener replaces the first here only; null is still refused.
    receiver->setMessageListener(&replacement);
    EXPECT_EQ(thrownBy([&] { receiver->setMessageListener(nullptr); }), "badArg null MessageListener|");
    EXPECT_EQ(control_.calls("setMessageListener"), 2);
    put(u"q", u"second");
    EXPECT_EQ(replacement.first(1), std::vector<std::string>{"second"});
}

TEST_F(Listeners, MessagesWaitingWhenTheListenerIsSetAllArriveAndTheSessionStaysOpen) {
    // The provider may push before its answer to setMessageListener is back.
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const jms::WString queue = wide("waiting" + std::to_string(round));
        for (int i = 0; i < 5; ++i) put(queue, wide(std::to_string(i)));
        Recorder recorder;
        auto c = listening(recorder, queue);
        EXPECT_EQ(recorder.first(5).size(), 5u);
        EXPECT_EQ(stateOf(*c.session), SessionState::Open);
        c.session->close();
    }
}

TEST_F(Listeners, NothingIsPushedWhileTheConnectionIsStopped) {
    Recorder recorder;
    auto c = listening(recorder);
    connection_->stop();
    put(u"q", u"held");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.count(), 0u);
    connection_->start();
    EXPECT_EQ(recorder.first(1), std::vector<std::string>{"held"});
}

TEST_F(Listeners, TwoConsumersOfOneSessionEachGetTheirOwn) {
    Recorder a, b;
    auto qs = queueSession();
    Owned<jms::Queue> qa(qs->createQueue(u"a")), qb(qs->createQueue(u"b"));
    Owned<jms::QueueReceiver> ra(qs->createReceiver(qa.get())), rb(qs->createReceiver(qb.get()));
    ra->setMessageListener(&a);
    rb->setMessageListener(&b);
    put(u"a", u"for a");
    put(u"b", u"for b");
    EXPECT_EQ(a.first(1), std::vector<std::string>{"for a"});
    EXPECT_EQ(b.first(1), std::vector<std::string>{"for b"});
}

TEST_F(Listeners, AListenerRepliesThroughItsOwnSession) {
    Recorder recorder;
    auto c = listening(recorder, u"requests");
    Owned<jms::QueueSender> replier(c.session->createSender(c.queue.get()));
    recorder.action = [&](jms::Message* request) {
        Owned<jms::Destination> replyTo(request->getJMSReplyTo());
        if (!replyTo) return;
        Owned<jms::TextMessage> reply(c.session->createTextMessage(u"re: " + dynamic_cast<jms::TextMessage&>(*request).getText()));
        reply->setJMSCorrelationID(request->getJMSMessageID());
        replier->send(dynamic_cast<jms::Queue*>(replyTo.get()), reply.get());
    };
    auto client = queueSession();
    Owned<jms::Queue> requests(client->createQueue(u"requests")), replies(client->createQueue(u"replies"));
    Owned<jms::QueueSender> sender(client->createSender(requests.get()));
    Owned<jms::QueueReceiver> receiver(client->createReceiver(replies.get()));
    Owned<jms::TextMessage> request(client->createTextMessage(u"ping"));
    request->setJMSReplyTo(replies.get());
    sender->send(request.get());
    Owned<jms::Message> reply(receiver->receive(5000));
    EXPECT_EQ(textOf(reply.get()), "re: ping");
    EXPECT_EQ(reply->getJMSCorrelationID(), request->getJMSMessageID());
}

// The session's answers to the provider, driven by calling its servant's
// operation as the broker would.
TEST_F(Listeners, RefusalsCarryTheirReasonsAndCloseTheSessionWhereTheyMust) {
    Recorder recorder;
    auto c = listening(recorder);
    jms::SessionCore& core = dynamic_cast<jms::CltSession&>(*c.session).core();
    jms::wire::JMSMsg wire;
    jms::CltTextMessage(u"direct").getJMSMsg(wire);
    jms::wire::UID uid = dynamic_cast<jms::CltMessageConsumer&>(*c.receiver).getConsumerID();
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
    EXPECT_EQ(recorder.first(1), std::vector<std::string>{"direct"});
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
    EXPECT_EQ(stateOf(*c.session), SessionState::Closed);
    EXPECT_EQ(refusal(uid), "SessionIDException: the session is closed ");
}

TEST_F(Listeners, APushThatMeetsABlockingReceiveClosesTheSession) {
    Recorder recorder;
    auto qs = queueSession();
    Owned<jms::Queue> pushed(qs->createQueue(u"pushed")), pulled(qs->createQueue(u"pulled"));
    Owned<jms::QueueReceiver> listener(qs->createReceiver(pushed.get()));
    Owned<jms::QueueReceiver> puller(qs->createReceiver(pulled.get()));
    listener->setMessageListener(&recorder);
    auto blocked = std::async(std::launch::async, [&] { return Owned<jms::Message>(puller->receive()); });
    while (control_.calls("consume") == 0) std::this_thread::sleep_for(5ms);
    put(u"pushed", u"meets the receive");
    for (int i = 0; i < 500 && stateOf(*qs) != SessionState::Closed; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(stateOf(*qs), SessionState::Closed);
    EXPECT_EQ(recorder.count(), 0u);
    // Told why, the provider drops the session too, which ends the receive.
    EXPECT_EQ(thrownBy([&] { blocked.get(); }), "SessionIDException|");
}

TEST_F(Listeners, ClosingOrDeletingFromInsideTheListenerNeitherWaitsForItselfNorCrashes) {
    enum class Act { CloseConsumer, DeleteConsumer, CloseSession, DeleteSession, CloseConnection, DeleteConnection };
    for (Act act : {Act::CloseConsumer, Act::DeleteConsumer, Act::CloseSession, Act::DeleteSession,
                    Act::CloseConnection, Act::DeleteConnection}) {
        SCOPED_TRACE(static_cast<int>(act));
        auto connection = connect();
        connection->start();
        Owned<jms::QueueSession> qs(connection->createQueueSession(false, 1));
        Owned<jms::Queue> queue(qs->createQueue(u"self"));
        Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
        std::promise<void> done;
        Recorder recorder;
        recorder.action = [&](jms::Message*) {
            switch (act) {
                case Act::CloseConsumer: receiver->close(); break;
                case Act::DeleteConsumer: receiver.reset(); break;
                case Act::CloseSession: qs->close(); break;
                case Act::DeleteSession: receiver.reset(); qs.reset(); break;
                case Act::CloseConnection: connection->close(); break;
                case Act::DeleteConnection: connection.reset(); break;
            }
            done.set_value();
        };
        receiver->setMessageListener(&recorder);
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
    std::mutex mutex;
    std::multiset<std::string> delivered;
    struct Slow : jms::MessageListener {
        Slow(std::mutex* m, std::multiset<std::string>* d) : mutex(m), delivered(d) {}
        std::mutex* mutex;
        std::multiset<std::string>* delivered;
        void onMessage(jms::Message* m) override {
            std::this_thread::sleep_for(1ms);
            std::lock_guard<std::mutex> lock(*mutex);
            delivered->insert(textOf(m));
        }
    };
    std::vector<Slow> listeners(sessions, Slow(&mutex, &delivered));
    std::vector<Consumer> consumers;
    for (int s = 0; s < sessions; ++s) {
        consumers.push_back(Consumer{queueSession(), nullptr, nullptr});
        Consumer& c = consumers.back();
        c.queue.reset(c.session->createQueue(wide("stress" + std::to_string(s))));
        c.receiver.reset(c.session->createReceiver(c.queue.get()));
        c.receiver->setMessageListener(&listeners[s]);
        for (int i = 0; i < perSession; ++i) put(c.queue->getQueueName(), wide(std::to_string(s) + ":" + std::to_string(i)));
    }
    std::this_thread::sleep_for(20ms);
    std::vector<std::thread> closers;
    // A push that meets close() can make the provider drop the session first
    // (refused as closed, or as a concurrent use while a consumer closes):
    // the close then reads as the provider's SessionIDException.
    auto closer = [&](std::function<void()> act) {
        closers.emplace_back([act] {
            const std::string thrown = thrownBy(act);
            EXPECT_TRUE(thrown.empty() || thrown == "svrSessID|CltException::ERR_SESSION_CLOSED" ||
                        thrown == "SessionIDException|")
                << thrown;
        });
    };
    closer([&] { consumers[0].receiver->close(); });
    closer([&] { consumers[1].receiver.reset(); });
    closer([&] { consumers[2].session->close(); });
    closer([&] { consumers[3].session.reset(); });
    for (auto& t : closers) t.join();
    const size_t afterClose = delivered.size();
    std::this_thread::sleep_for(50ms);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(delivered.size(), afterClose) << "nothing delivered once closed";
    EXPECT_EQ(std::set<std::string>(delivered.begin(), delivered.end()).size(), delivered.size());
    connection_.reset();  // the rest goes with the connection
}

TEST_F(Listeners, AProgramThatExitsRightAfterClosingLeavesItsLastPushDelivered) {
    // The reply to the last push has left before close() or deletion returns,
    // so the provider does not put the message back.
    for (int round = 0; round < 6; ++round) {
        for (const char* how : {"close", "delete"}) {
            SCOPED_TRACE(std::to_string(round) + how);
            const std::string queue = "exit" + std::to_string(round) + how;
            put(wide(queue), u"taken");
            std::string bin = QJMS_EXIT_CLIENT, ref = server_.iorFile(), mode = how;
            std::string q = queue;
            char* argv[] = {bin.data(), ref.data(), q.data(), mode.data(), nullptr};
            pid_t pid = -1;
            ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            auto qs = queueSession();
            Owned<jms::Queue> q2(qs->createQueue(wide(queue)));
            Owned<jms::QueueBrowser> browser(qs->createBrowser(q2.get()));
            std::vector<std::string> waiting;
            for (jms::Enumeration* e = browser->getEnumeration(); e->hasMoreElements();) {
                waiting.push_back(textOf(Owned<jms::Message>(e->nextElement()).get()));
            }
            EXPECT_EQ(waiting, std::vector<std::string>{});
        }
    }
}

}  // namespace
}  // namespace qjms::test
