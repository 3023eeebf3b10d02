// The provider hung (SIGSTOP) in a process with omniORB's
// clientCallTimeOutPeriod set (this binary runs with it in its environment):
// every ordinary call and every close fails within the period; receives wait
// what they were asked, plus the period.
#include <signal.h>

#include <gtest/gtest.h>

#include "Blocked.h"
#include "connection/CallBounds.h"

namespace qjms::test {
namespace {

using namespace std::chrono_literals;

// Slack over the configured period for a loaded machine.
constexpr int64_t slackMs = 3000;

// Owns what the test made; calls that should fail may still make something.
class Keep {
public:
    template <class T>
    T* operator()(T* object) {
        std::lock_guard<std::mutex> lock(mutex_);
        objects_.push_back(std::shared_ptr<T>(object));
        return object;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        objects_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<void>> objects_;
};

TEST(ProviderHung, ConfiguredTimeOutBoundsEveryCallButTheWaitAskedFor) {
    ProviderProcess provider({"--verbose"}, false);
    Keep keep;
    auto connection = [&] {
        jms::QueueConnection* c = keep(connectTo(provider).release());
        c->start();
        return c;
    };
    auto queueSession = [&](bool transacted = false) {
        return keep(connection()->createQueueSession(transacted, 1));
    };

    // Two receives waiting before the hang: one without limit, one for 2 s.
    jms::QueueSession* waiting = queueSession();
    const int64_t period = jms::callbounds::configuredMs();  // read once the broker runs
    ASSERT_GT(period, 0) << "run with ORBclientCallTimeOutPeriod in the environment";
    ASSERT_LT(period, jms::callbounds::closeBoundMs);
    jms::Queue* queue = keep(waiting->createQueue(u"hang.q"));
    jms::QueueReceiver* forever = keep(waiting->createReceiver(queue));
    jms::QueueSession* waitingFor = queueSession();
    jms::QueueReceiver* twoSeconds = keep(waitingFor->createReceiver(queue));
    Blocked receive([forever] { return received(forever->receive()); });
    KillOnExit killOnExit{provider};
    ASSERT_TRUE(providerEntered(provider, "consume", 1));
    constexpr int64_t askedMs = 2000;
    Blocked receiveFor([twoSeconds] { return received(twoSeconds->receive(askedMs)); });
    KillOnExit killFirst{provider};
    ASSERT_TRUE(providerEntered(provider, "consumeTimeOut", 1));

    // Every other kind of call, each on a connection of its own (some close it).
    std::vector<std::pair<std::string, std::function<std::string()>>> calls;
    auto call = [&](std::string name, std::function<void()> body) {
        calls.emplace_back(std::move(name), [body] { body(); return std::string("returned"); });
    };
    static struct : jms::MessageListener {
        void onMessage(jms::Message*) override {}
    } ignore;
    auto receiver = [&] { return keep(queueSession()->createReceiver(queue)); };
    auto sender = [&] { return keep(queueSession()->createSender(queue)); };
    jms::TopicSession* topics = keep(dynamic_cast<jms::TopicConnection*>(connection())->createTopicSession(false, 1));
    jms::TopicPublisher* publisher = keep(topics->createPublisher(keep(topics->createTopic(u"hang.t"))));
    jms::TextMessage* news = keep(topics->createTextMessage(u"hung"));
    jms::QueueSession* sending = queueSession();
    jms::TextMessage* m = keep(sending->createTextMessage(u"hung"));
    jms::QueueConnection *c1 = connection(), *c2 = connection(), *c3 = connection(), *c4 = connection();
    jms::QueueSession *s1 = queueSession(), *tx = queueSession(true), *s2 = queueSession();
    jms::QueueSender *p1 = keep(sending->createSender(queue)), *p2 = sender();
    jms::QueueReceiver *r1 = receiver(), *r2 = receiver(), *r3 = receiver();
    call("send", [=] { p1->send(m); });
    call("publish", [=] { publisher->publish(news); });
    call("createQueueSession", [=, &keep] { keep(c1->createQueueSession(false, 1)); });
    call("createReceiver", [=, &keep] { keep(s1->createReceiver(queue)); });
    call("receiveNoWait", [=] { received(r1->receiveNoWait()); });
    call("commit", [=] { tx->commit(); });
    call("stop", [=] { c2->stop(); });
    call("setClientID", [=] { c3->setClientID(u"hung"); });
    call("setMessageListener", [=] { r2->setMessageListener(&ignore); });
    call("createQueueConnection", [&] { keep(connectTo(provider).release()); });
    call("close consumer", [=] { r3->close(); });
    call("close producer", [=] { p2->close(); });
    call("close session", [=] { s2->close(); });
    call("close connection", [=] { c4->close(); });

    provider.signal(SIGSTOP);
    std::vector<std::unique_ptr<Blocked>> running;
    for (auto& [name, body] : calls) running.push_back(std::make_unique<Blocked>(body));
    KillOnExit killBeforeWaiting{provider};
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(calls[i].first);
        ASSERT_TRUE(running[i]->ended(std::chrono::milliseconds(period + 2 * slackMs)));
        const Blocked::Ended ended = running[i]->get();
        EXPECT_LT(ended.tookMs, period + slackMs);
        EXPECT_TRUE(documentedLoss(ended.how)) << ended.how;
    }

    ASSERT_TRUE(receiveFor.ended(std::chrono::milliseconds(askedMs + period + 2 * slackMs)));
    const Blocked::Ended asked = receiveFor.get();
    EXPECT_GE(asked.tookMs, askedMs) << "cut short at the call time-out";
    EXPECT_LT(asked.tookMs, askedMs + period + slackMs);
    EXPECT_TRUE(documentedLoss(asked.how)) << asked.how;
    EXPECT_FALSE(receive.ended()) << "a receive without time-out gave up on a hung provider";

    provider.kill();
    ASSERT_TRUE(receive.ended(5s));
    EXPECT_TRUE(documentedLoss(receive.get().how));
    const Clock::time_point deleting = Clock::now();
    keep.clear();
    EXPECT_LT(msBetween(deleting, Clock::now()), 1000);
}

}  // namespace
}  // namespace qjms::test
