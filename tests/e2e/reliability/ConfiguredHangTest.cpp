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
    {
        jms::QueueSession* s = queueSession();
        jms::QueueSender* sender = keep(s->createSender(queue));
        jms::TextMessage* m = keep(s->createTextMessage(u"hung"));
        call("send", [=] { sender->send(m); });
    }
    {
        auto* c = dynamic_cast<jms::TopicConnection*>(connection());
        jms::TopicSession* s = keep(c->createTopicSession(false, 1));
        jms::TopicPublisher* publisher = keep(s->createPublisher(keep(s->createTopic(u"hang.t"))));
        jms::TextMessage* m = keep(s->createTextMessage(u"hung"));
        call("publish", [=] { publisher->publish(m); });
    }
    {
        jms::QueueConnection* c = connection();
        call("createQueueSession", [=, &keep] { keep(c->createQueueSession(false, 1)); });
    }
    {
        jms::QueueSession* s = queueSession();
        call("createReceiver", [=, &keep] { keep(s->createReceiver(queue)); });
        jms::QueueReceiver* r = keep(queueSession()->createReceiver(queue));
        call("receiveNoWait", [=] { received(r->receiveNoWait()); });
    }
    {
        jms::QueueSession* s = queueSession(true);
        call("commit", [=] { s->commit(); });
    }
    {
        jms::QueueConnection* c = connection();
        call("stop", [=] { c->stop(); });
        jms::QueueConnection* d = connection();
        call("setClientID", [=] { d->setClientID(u"hung"); });
    }
    {
        jms::QueueReceiver* r = keep(queueSession()->createReceiver(queue));
        static struct : jms::MessageListener {
            void onMessage(jms::Message*) override {}
        } ignore;
        call("setMessageListener", [=] { r->setMessageListener(&ignore); });
    }
    call("createQueueConnection", [&] { keep(connectTo(provider).release()); });
    // Closes of every kind.
    {
        jms::QueueSession* s = queueSession();
        jms::QueueReceiver* r = keep(s->createReceiver(queue));
        jms::QueueSender* p = keep(s->createSender(queue));
        call("close consumer", [=] { r->close(); });
        jms::QueueSession* t = queueSession();
        jms::QueueSender* q = keep(t->createSender(queue));
        call("close producer", [=] { q->close(); });
        jms::QueueSession* u = queueSession();
        call("close session", [=] { u->close(); });
        jms::QueueConnection* c = connection();
        call("close connection", [=] { c->close(); });
        (void)p;
    }

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
