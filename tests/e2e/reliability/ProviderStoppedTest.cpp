// The provider stopped (SIGTERM) while receivers wait, and hung (SIGSTOP) with
// no call time-out configured: receives wait as asked, closes and deletion
// end within the library's own bound.
#include <signal.h>

#include <set>

#include <gtest/gtest.h>

#include "Blocked.h"
#include "connection/CallBounds.h"

namespace qjms::test {
namespace {

using namespace std::chrono_literals;

// A consumer on a session of its own, with what it consumes from.
struct Waiter {
    std::unique_ptr<jms::Session> session;
    std::unique_ptr<jms::Destination> destination;
    std::unique_ptr<jms::MessageConsumer> consumer;
};

Waiter queueWaiter(jms::QueueConnection& c, const jms::WString& queue) {
    std::unique_ptr<jms::QueueSession> s(c.createQueueSession(false, 1));
    std::unique_ptr<jms::Queue> q(s->createQueue(queue));
    std::unique_ptr<jms::MessageConsumer> r(s->createReceiver(q.get()));
    return {std::move(s), std::move(q), std::move(r)};
}

Waiter topicWaiter(jms::QueueConnection& c, const jms::WString& topic) {
    std::unique_ptr<jms::TopicSession> s(dynamic_cast<jms::TopicConnection&>(c).createTopicSession(false, 1));
    std::unique_ptr<jms::Topic> t(s->createTopic(topic));
    std::unique_ptr<jms::MessageConsumer> r(s->createSubscriber(t.get()));
    return {std::move(s), std::move(t), std::move(r)};
}

// Times a close or a deletion.
int64_t timed(const std::function<void()>& step, std::string* failure = nullptr) {
    const Clock::time_point start = Clock::now();
    const std::string f = failureOf(step);
    if (failure) *failure = f;
    return msBetween(start, Clock::now());
}

TEST(ProviderStopped, WaitingReceiversWakeAtOnceWithAnException) {
    ProviderProcess provider({"--verbose"}, false);
    std::vector<std::unique_ptr<jms::QueueConnection>> connections;
    std::vector<Waiter> waiters;
    std::vector<std::unique_ptr<Blocked>> receives;
    for (int i = 0; i < 2; ++i) {
        connections.push_back(connectTo(provider));
        connections.back()->start();
        waiters.push_back(queueWaiter(*connections.back(), u"stop.q"));
        waiters.push_back(queueWaiter(*connections.back(), u"stop.q"));
        waiters.push_back(topicWaiter(*connections.back(), u"stop.t"));
    }
    for (size_t i = 0; i < waiters.size(); ++i) {
        jms::MessageConsumer* c = waiters[i].consumer.get();
        receives.push_back(i % 3 == 1 ? std::make_unique<Blocked>([c] { return received(c->receive(60000)); })
                                      : std::make_unique<Blocked>([c] { return received(c->receive()); }));
    }
    KillOnExit killOnExit{provider};
    ASSERT_TRUE(providerEntered(provider, "consume", 4) && providerEntered(provider, "consumeTimeOut", 2))
        << "not every receive reached the provider";

    // Six receives wait, each holding a connection to the provider: other
    // calls of the process still get through.
    std::unique_ptr<jms::QueueSession> s(connections[0]->createQueueSession(false, 1));
    std::unique_ptr<jms::Queue> q(s->createQueue(u"stop.elsewhere"));
    std::unique_ptr<jms::QueueSender> p(s->createSender(q.get()));
    std::unique_ptr<jms::TextMessage> m(s->createTextMessage(u"beside"));
    Blocked send([&] { p->send(m.get()); return std::string("sent"); });
    KillOnExit killFirst{provider};
    ASSERT_TRUE(send.ended(5s)) << "a send stalled behind waiting receives";
    EXPECT_EQ(send.get().how, "sent");

    const Clock::time_point signalled = Clock::now();
    provider.signal(SIGTERM);
    std::set<std::string> texts;
    for (auto& r : receives) {
        // At once: the server wakes them before it stops; 5 s is only a backstop.
        ASSERT_TRUE(r->ended(std::chrono::milliseconds(5000 - msBetween(signalled, Clock::now()))));
        const std::string how = r->get().how;
        EXPECT_TRUE(documentedLoss(how)) << how;
        texts.insert(how);
    }
    std::printf("all receives woke %lld ms after SIGTERM with %s\n",
                static_cast<long long>(msBetween(signalled, Clock::now())),
                ::testing::PrintToString(texts).c_str());
    EXPECT_EQ(provider.stop(), 0);

    for (auto& c : connections) {
        std::string failure;
        EXPECT_LT(timed([&] { c->close(); }, &failure), 5000);
        EXPECT_TRUE(failure.empty() || documentedLoss(failure)) << failure;
    }
    EXPECT_LT(timed([&] { p.reset(); q.reset(); s.reset(); waiters.clear(); connections.clear(); }), 5000);
}

// With nothing configured: a receive without a time-out waits for as long as
// the provider is hung; each kind of close gives up after the library's fixed
// bound; deleting never asks the provider.
TEST(ProviderHung, UnconfiguredReceiveWaitsAndClosesEndWithinTheFixedBound) {
    ProviderProcess provider({"--verbose"}, false);
    std::vector<std::unique_ptr<jms::QueueConnection>> connections;
    for (int i = 0; i < 4; ++i) {
        connections.push_back(connectTo(provider));
        connections.back()->start();
    }
    ASSERT_EQ(jms::callbounds::configuredMs(), 0u) << "run without ORBclientCallTimeOutPeriod";
    const int64_t closeBound = jms::callbounds::closeBoundMs;

    Waiter waiting = queueWaiter(*connections[0], u"hang.q");
    jms::MessageConsumer* waitingConsumer = waiting.consumer.get();
    Blocked receive([waitingConsumer] { return received(waitingConsumer->receive()); });
    KillOnExit killOnExit{provider};
    ASSERT_TRUE(providerEntered(provider, "consume", 1));

    Waiter consumerToClose = queueWaiter(*connections[1], u"hang.q");
    std::unique_ptr<jms::QueueSession> producerSession(connections[1]->createQueueSession(false, 1));
    std::unique_ptr<jms::Queue> queue(producerSession->createQueue(u"hang.q"));
    std::unique_ptr<jms::QueueSender> producerToClose(producerSession->createSender(queue.get()));
    Waiter sessionToClose = topicWaiter(*connections[2], u"hang.t");
    Waiter deletedOnly = queueWaiter(*connections[3], u"hang.q");

    provider.signal(SIGSTOP);
    // Each close on a session of its own, all at once.
    std::vector<std::unique_ptr<Blocked>> closes;
    auto closing = [&](auto close) {
        closes.push_back(std::make_unique<Blocked>([close] { close(); return std::string(); }));
    };
    closing([&] { consumerToClose.consumer->close(); });
    closing([&] { producerToClose->close(); });
    closing([&] { sessionToClose.session->close(); });
    closing([&] { connections[2]->close(); });
    KillOnExit killBeforeWaiting{provider};
    for (auto& c : closes) {
        ASSERT_TRUE(c->ended(std::chrono::milliseconds(closeBound + 10000)));
        const Blocked::Ended ended = c->get();
        EXPECT_LT(ended.tookMs, closeBound + 5000);
        EXPECT_TRUE(documentedLoss(ended.how)) << ended.how;
    }
    EXPECT_FALSE(receive.ended()) << "a receive without time-out gave up on a hung provider";
    EXPECT_LT(timed([&] { deletedOnly = Waiter(); connections[3].reset(); }), 1000);

    provider.kill();
    ASSERT_TRUE(receive.ended(5s));
    const std::string how = receive.get().how;
    EXPECT_TRUE(documentedLoss(how)) << how;
    EXPECT_LT(timed([&] {
                  waiting = Waiter();
                  consumerToClose = Waiter();
                  sessionToClose = Waiter();
                  producerToClose.reset();
                  queue.reset();
                  producerSession.reset();
                  connections.clear();
              }),
              1000);
}

}  // namespace
}  // namespace qjms::test
