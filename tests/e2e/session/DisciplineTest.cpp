// The rules around every provider call: argument checks before the call,
// retries, one operation at a time per session, and what goes on the wire.
#include <future>
#include <limits>
#include <thread>

#include "SessionHarness.h"
#include "message/MessageTime.h"

namespace qjms::test {
namespace {

class Discipline : public SessionE2E {};

TEST_F(Discipline, BadArgumentsAreRefusedBeforeAnyProviderCall) {
    auto qs = queueSession();
    auto ts = topicSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::Topic> topic(ts->createTopic(u"t"));
    Owned<jms::QueueSender> sender(qs->createSender(queue.get()));
    Owned<jms::TopicPublisher> publisher(ts->createPublisher(topic.get()));
    Owned<jms::TextMessage> message(qs->createTextMessage(u"m"));
    control_.reset();
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { delete qs->createQueue(u""); }, "badArg: null queue name|"},
        {[&] { delete ts->createTopic(u""); }, "badArg null topic name|"},
        {[&] { delete qs->createReceiver(nullptr); }, "badArg null queue|"},
        {[&] { delete qs->createReceiver(queue.get(), u""); }, "badArg: null message selector|"},
        {[&] { delete qs->createBrowser(nullptr); }, "badArg: null queue|"},
        {[&] { delete qs->createBrowser(queue.get(), u""); }, "badArg:  null message selector|"},
        {[&] { delete qs->createSender(nullptr); }, "internal null destination|"},
        {[&] { delete qs->createTemporaryQueue(); }, "notImp: createTemporaryQueue|"},
        {[&] { delete ts->createTemporaryTopic(); }, "createTemporaryTopic|"},
        {[&] { delete ts->createSubscriber(nullptr); }, "badArg null topic|"},
        {[&] { delete ts->createSubscriber(nullptr, u"a", false); }, "badArg: null topic|"},
        {[&] { delete ts->createSubscriber(topic.get(), u"", false); }, "badArg: null message selector|"},
        {[&] { delete ts->createSubscriber(topic.get(), u"a", true); },
         "badArg: noLocal = true is not supported|"},
        {[&] { delete ts->createDurableSubscriber(nullptr, u"d"); }, "badArg: null topic|"},
        {[&] { delete ts->createDurableSubscriber(topic.get(), u""); }, "badArg: null name|"},
        {[&] { delete ts->createDurableSubscriber(topic.get(), u"", u"a", false); }, "badArg: null name|"},
        {[&] { delete ts->createDurableSubscriber(topic.get(), u"d", u"", false); },
         "badArg: null message selector|"},
        {[&] { delete ts->createDurableSubscriber(topic.get(), u"d", u"a", true); },
         "badArg: noLocal == true not supported|"},
        {[&] { delete ts->createPublisher(nullptr); }, "internal null destination|"},
        {[&] { sender->send(nullptr); }, "badArg null message|"},
        {[&] { sender->send(nullptr, message.get()); }, "badArg null destination|"},
        {[&] { sender->send(queue.get(), nullptr); }, "badArg null message|"},
        {[&] { sender->send(message.get(), 1, 4, -1); }, "badTimeToLive|"},
        {[&] { sender->send(message.get(), 1, 10, 0); }, "badPriority|"},
        {[&] { sender->send(message.get(), 3, 4, 0); }, "badDeliveryMode|"},
        {[&] { sender->send(message.get(), 2, 4, 0); }, "unsupByDriverPM|"},
        {[&] { sender->send(nullptr, nullptr, 3, 10, -1); }, "badArg null message|"},
        {[&] { sender->send(nullptr, message.get(), 3, 10, -1); }, "badArg null destination|"},
        {[&] { sender->send(queue.get(), message.get(), 3, 10, -1); }, "badTimeToLive|"},
        {[&] { sender->send(queue.get(), message.get(), 3, 10, 0); }, "badPriority|"},
        {[&] { sender->send(queue.get(), message.get(), 3, 4, 0); }, "badDeliveryMode|"},
        {[&] { publisher->publish(nullptr); }, "badArg null message|"},
        {[&] { publisher->publish(topic.get(), nullptr); }, "badArg null message|"},
        {[&] { publisher->publish(message.get(), 1, -1, 0); }, "badPriority|"},
        {[&] { publisher->publish(nullptr, message.get(), 1, 4, 0); }, "badArg null destination|"},
        {[&] { sender->setPriority(-1); }, "badPriority|"},
        {[&] { sender->setTimeToLive(-1); }, "badTimeToLive|"},
        {[&] { sender->setDeliveryMode(2); }, "unsupByDriverPM|"},
        {[&] { qs->getXID(); }, "getXID is not supported|"},
    };
    for (const auto& [call, thrown] : cases) EXPECT_EQ(thrownBy(call), thrown);
    for (const char* op : {"createReceiver", "createBrowser", "createSender", "createSubscriber",
                           "createDurableSubscriber", "createPublisher", "produce", "produceTo"}) {
        EXPECT_EQ(control_.calls(op), 0) << op;
    }
    EXPECT_THROW(ts->createTemporaryTopic(), jms::NotImplementedException);
    EXPECT_THROW(qs->createMapMessage(), jms::NotImplementedException);
    EXPECT_THROW(qs->recover(), jms::NotImplementedException);
    EXPECT_THROW(qs->setMessageListener(nullptr), jms::NotImplementedException);
    EXPECT_EQ(qs->getMessageListener(), nullptr);
}

TEST_F(Discipline, RetriedAnswersEndInSuccess) {
    CountedPauses pauses;
    auto q = onQueue(u"q");
    auto ts = topicSession();
    Owned<jms::Topic> topic(ts->createTopic(u"t"));
    Owned<jms::TextMessage> message(q.session->createTextMessage(u"after refusals"));
    struct Row { const char* operation; const char* exception; int refusals, code, pauses; std::function<void()> call; };
    const Row rows[] = {
        {"createReceiver", "ResourceException", 2, 0, 2, [&] { delete q.session->createReceiver(q.queue.get()); }},
        {"createDurableSubscriber", "ConsumerException", 3, 18, 3,
         [&] { delete ts->createDurableSubscriber(topic.get(), u"d"); }},
        {"produce", "ResourceException", 2, 0, 2, [&] { q.sender->send(message.get()); }},
        // Busy answers are retried without a pause.
        {"consumeNoBlock", "BusyException", 4, 0, 0,
         [&] { EXPECT_EQ(textOf(Owned<jms::Message>(q.receiver->receiveNoWait()).get()), "after refusals"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.operation);
        control_.reset();
        CountedPauses::count() = 0;
        control_.fail(row.operation, row.exception, row.refusals, row.code);
        EXPECT_EQ(thrownBy(row.call), "");
        EXPECT_EQ(control_.calls(row.operation), row.refusals + 1);
        EXPECT_EQ(CountedPauses::count(), row.pauses);
    }
}

TEST_F(Discipline, OneOperationAtATimeWhileAReceiveBlocks) {
    auto q = onQueue(u"q");
    Owned<jms::QueueReceiver> other(q.session->createReceiver(q.queue.get()));
    Owned<jms::TextMessage> message(q.session->createTextMessage(u"m"));
    auto blocked = std::async(std::launch::async, [&] { return Owned<jms::Message>(q.receiver->receive()); });
    while (control_.calls("consume") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::function<void()> refused[] = {
        [&] { delete q.session->createSender(q.queue.get()); },
        [&] { delete q.session->createReceiver(q.queue.get()); },
        [&] { q.sender->send(message.get()); },
        [&] { q.sender->getPriority(); },
        [&] { delete other->receiveNoWait(); },
        [&] { other->getMessageSelector(); },
        [&] { other->close(); },
        [&] { q.session->rollback(); },
    };
    for (const auto& call : refused) EXPECT_EQ(thrownBy(call), "concurrency: |");
    put(u"q", u"wake");
    EXPECT_EQ(textOf(blocked.get().get()), "wake");
    // The session is free again, and the refused close left the consumer open.
    q.sender->send(message.get());
    EXPECT_EQ(drain(*other), std::vector<std::string>{"m"});
}

TEST_F(Discipline, WhatTheLibrarySends) {
    auto plain = onQueue(u"q");
    auto ts = topicSession();
    Owned<jms::QueueSession> tx;
    Owned<jms::Queue> elsewhere(plain.session->createQueue(u"elsewhere"));
    Owned<jms::Topic> topic(ts->createTopic(u"t"));
    Owned<jms::TopicPublisher> publisher(ts->createPublisher(topic.get()));
    Owned<jms::TextMessage> message(plain.session->createTextMessage(u"m")), news(ts->createTextMessage(u"n"));
    const std::tuple<std::function<void()>, const char*, std::string> sent[] = {
        {[] {}, "createSession", "ackMode=4 transacted=false"},
        {[&] { tx = queueSession(true); }, "createSession", "ackMode=1 transacted=true"},
        {[] {}, "createSession", "timeout=0 flag=false priority=4"},
        {[&] { delete plain.session->createReceiver(plain.queue.get()); }, "createReceiver", "selector=null"},
        {[&] { delete plain.session->createReceiver(plain.queue.get(), u"n > 1"); }, "createReceiver",
         "selector=\"n > 1\""},
        {[] {}, "createReceiver", "destination=queue:\"q\""},
        {[&] { delete ts->createPublisher(topic.get()); }, "createPublisher", "destination=topic:\"t\""},
        {[&] { delete ts->createSubscriber(topic.get()); }, "createSubscriber", "selector=null"},
        {[&] { delete ts->createSubscriber(topic.get(), u"n > 1", false); }, "createSubscriber", "selector=\"n > 1\""},
        // The defaults: non-persistent (this provider offers nothing else), priority 4, no expiry.
        {[&] { plain.sender->send(elsewhere.get(), message.get()); }, "produceTo", "mode=1 "},
        {[] {}, "produceTo", "expiration=0 priority=4"},
        {[] {}, "produceTo", "destination=queue:\"elsewhere\""},
        {[&] { publisher->publish(news.get(), 1, 2, 0); }, "produce", "priority=2"},
        {[&] { publisher->publish(topic.get(), news.get(), 1, 3, 0); }, "produceTo", "priority=3"},
    };
    for (const auto& [call, operation, part] : sent) {
        call();
        EXPECT_THAT(control_.last(operation), HasSubstr(part));
    }
    Owned<jms::Destination> stamped(message->getJMSDestination());
    EXPECT_EQ(dynamic_cast<jms::Queue&>(*stamped).getQueueName(), u"elsewhere");

    // Endpoints hand out copies of their destination, for the caller to delete.
    Owned<jms::TopicSubscriber> subscriber(ts->createSubscriber(topic.get()));
    Owned<jms::Queue> senderQueue(plain.sender->getQueue()), receiverQueue(plain.receiver->getQueue());
    Owned<jms::Topic> publisherTopic(publisher->getTopic()), subscriberTopic(subscriber->getTopic());
    EXPECT_NE(senderQueue.get(), plain.queue.get());
    EXPECT_EQ(senderQueue->getQueueName() + receiverQueue->getQueueName(), u"qq");
    EXPECT_EQ(publisherTopic->getTopicName() + subscriberTopic->getTopicName(), u"tt");
    EXPECT_FALSE(subscriber->getNoLocal());

    // The expiration comes from the library's clock.
    const int64_t before = jms::currentTimeMillis();
    plain.sender->send(message.get(), 1, 7, 5000);
    const int64_t after = jms::currentTimeMillis(), expiration = message->getJMSExpiration();
    EXPECT_GE(expiration, before + 5000);
    EXPECT_LE(expiration, after + 5000);
    EXPECT_THAT(control_.last("produce"), HasSubstr("expiration=" + std::to_string(expiration) + " priority=7"));
    EXPECT_FALSE(message->getJMSMessageID().empty());
    EXPECT_GT(message->getJMSTimestamp(), 0);
    // A time to live past the end of the clock never expires; it must not wrap into the past.
    plain.sender->send(message.get(), 1, 4, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(message->getJMSExpiration(), std::numeric_limits<int64_t>::max());
}

}  // namespace
}  // namespace qjms::test
