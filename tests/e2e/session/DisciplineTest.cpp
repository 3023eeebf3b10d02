// The rules around every provider call: argument checks before the call,
// retries, one operation at a time per session, and what goes on the wire.
#include <future>
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
    Owned<jms::TopicSubscriber> subscriber(ts->createSubscriber(topic.get()));
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

TEST_F(Discipline, NewProducersReportTheirDefaults) {
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::QueueSender> sender(qs->createSender(queue.get()));
    // This provider offers no persistent delivery.
    EXPECT_EQ(sender->getDeliveryMode(), 1);
    EXPECT_EQ(sender->getPriority(), 4);
    EXPECT_EQ(sender->getTimeToLive(), 0);
    EXPECT_FALSE(sender->getDisableMessageID());
    EXPECT_FALSE(sender->getDisableMessageTimestamp());
    sender->setDisableMessageID(true);
    sender->setDisableMessageTimestamp(true);
    EXPECT_TRUE(sender->getDisableMessageID());
    EXPECT_TRUE(sender->getDisableMessageTimestamp());
    sender->setPriority(9);
    sender->setTimeToLive(0);
    EXPECT_EQ(sender->getPriority(), 9);
    Owned<jms::Queue> copy(sender->getQueue());
    EXPECT_NE(copy.get(), queue.get());
    EXPECT_EQ(copy->getQueueName(), u"q");

    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    Owned<jms::Queue> received(receiver->getQueue());
    EXPECT_EQ(received->getQueueName(), u"q");
    auto ts = topicSession();
    Owned<jms::Topic> topic(ts->createTopic(u"t"));
    Owned<jms::TopicPublisher> publisher(ts->createPublisher(topic.get()));
    Owned<jms::TopicSubscriber> subscriber(ts->createSubscriber(topic.get()));
    Owned<jms::Topic> published(publisher->getTopic());
    Owned<jms::Topic> subscribed(subscriber->getTopic());
    EXPECT_EQ(published->getTopicName(), u"t");
    EXPECT_EQ(subscribed->getTopicName(), u"t");
    EXPECT_FALSE(subscriber->getNoLocal());
}

TEST_F(Discipline, RetriesAnswerBusyProvidersAndThenSucceed) {
    CountedPauses pauses;
    auto qs = queueSession();
    auto ts = topicSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::Topic> topic(ts->createTopic(u"t"));

    control_.fail("createReceiver", "ResourceException", 2);
    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    EXPECT_EQ(control_.calls("createReceiver"), 3);
    EXPECT_EQ(CountedPauses::count(), 2);

    control_.fail("createDurableSubscriber", "ConsumerException", 3, 18);
    Owned<jms::TopicSubscriber> durable(ts->createDurableSubscriber(topic.get(), u"d"));
    EXPECT_EQ(control_.calls("createDurableSubscriber"), 4);
    EXPECT_EQ(CountedPauses::count(), 5);

    Owned<jms::QueueSender> sender(qs->createSender(queue.get()));
    Owned<jms::TextMessage> message(qs->createTextMessage(u"after two refusals"));
    control_.fail("produce", "ResourceException", 2);
    sender->send(message.get());
    EXPECT_EQ(control_.calls("produce"), 3);

    control_.fail("consumeNoBlock", "BusyException", 4);
    Owned<jms::Message> got(receiver->receiveNoWait());
    EXPECT_EQ(textOf(got.get()), "after two refusals");
    EXPECT_EQ(control_.calls("consumeNoBlock"), 5);
    EXPECT_EQ(CountedPauses::count(), 7) << "busy answers are retried without a pause";
}

TEST_F(Discipline, OneOperationAtATimeWhileAReceiveBlocks) {
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    Owned<jms::QueueReceiver> other(qs->createReceiver(queue.get()));
    Owned<jms::QueueSender> sender(qs->createSender(queue.get()));
    Owned<jms::TextMessage> message(qs->createTextMessage(u"m"));

    auto blocked = std::async(std::launch::async, [&] { return Owned<jms::Message>(receiver->receive()); });
    while (control_.calls("consume") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::function<void()> refused[] = {
        [&] { delete qs->createSender(queue.get()); },
        [&] { delete qs->createReceiver(queue.get()); },
        [&] { sender->send(message.get()); },
        [&] { sender->getPriority(); },
        [&] { delete other->receiveNoWait(); },
        [&] { other->getMessageSelector(); },
        [&] { other->close(); },
        [&] { qs->rollback(); },
    };
    for (const auto& call : refused) EXPECT_EQ(thrownBy(call), "concurrency: |");
    put(u"q", u"wake");
    EXPECT_EQ(textOf(blocked.get().get()), "wake");
    // The session is free again, and the refused close left the consumer open.
    sender->send(message.get());
    Owned<jms::Message> next(other->receiveNoWait());
    EXPECT_EQ(textOf(next.get()), "m");
}

TEST_F(Discipline, WhatTheLibrarySends) {
    auto plain = queueSession(false);
    EXPECT_NE(control_.last("createSession").find("ackMode=4 transacted=false"), std::string::npos);
    auto tx = queueSession(true);
    EXPECT_NE(control_.last("createSession").find("ackMode=1 transacted=true"), std::string::npos);
    EXPECT_NE(control_.last("createSession").find("timeout=0 flag=false priority=4"),
              std::string::npos);

    Owned<jms::Queue> queue(plain->createQueue(u"q"));
    Owned<jms::Queue> elsewhere(plain->createQueue(u"elsewhere"));
    delete plain->createReceiver(queue.get());
    EXPECT_NE(control_.last("createReceiver").find("selector=null"), std::string::npos);
    delete plain->createReceiver(queue.get(), u"n > 1");
    EXPECT_NE(control_.last("createReceiver").find("destination=queue:\"q\""), std::string::npos);
    EXPECT_NE(control_.last("createReceiver").find("selector=\"n > 1\""), std::string::npos);

    auto ts = topicSession();
    Owned<jms::Topic> topic(ts->createTopic(u"t"));
    delete ts->createPublisher(topic.get());
    EXPECT_NE(control_.last("createPublisher").find("destination=topic:\"t\""), std::string::npos);
    delete ts->createSubscriber(topic.get());
    EXPECT_NE(control_.last("createSubscriber").find("selector=null"), std::string::npos);

    Owned<jms::QueueSender> sender(plain->createSender(queue.get()));
    Owned<jms::TextMessage> message(plain->createTextMessage(u"m"));
    const int64_t before = jms::currentTimeMillis();
    sender->send(message.get(), 1, 7, 5000);
    const int64_t after = jms::currentTimeMillis();
    const int64_t expiration = message->getJMSExpiration();
    EXPECT_GE(expiration, before + 5000);
    EXPECT_LE(expiration, after + 5000);
    const std::string sent = control_.last("produce");
    EXPECT_NE(sent.find("expiration=" + std::to_string(expiration) + " priority=7"), std::string::npos) << sent;
    EXPECT_NE(sent.find("mode=1"), std::string::npos);
    EXPECT_FALSE(message->getJMSMessageID().empty());
    EXPECT_GT(message->getJMSTimestamp(), 0);

    sender->send(elsewhere.get(), message.get());
    EXPECT_NE(control_.last("produceTo").find("destination=queue:\"elsewhere\""), std::string::npos);
    EXPECT_NE(control_.last("produceTo").find("expiration=0 "), std::string::npos);
    Owned<jms::Destination> stamped(message->getJMSDestination());
    EXPECT_EQ(dynamic_cast<jms::Queue&>(*stamped).getQueueName(), u"elsewhere");

    Owned<jms::TopicPublisher> publisher(ts->createPublisher(topic.get()));
    Owned<jms::TextMessage> news(ts->createTextMessage(u"n"));
    publisher->publish(news.get(), 1, 2, 0);
    EXPECT_NE(control_.last("produce").find("priority=2"), std::string::npos);
    publisher->publish(topic.get(), news.get(), 1, 3, 0);
    EXPECT_NE(control_.last("produceTo").find("priority=3"), std::string::npos);
    publisher->publish(topic.get(), news.get());
    EXPECT_NE(control_.last("produceTo").find("priority=4"), std::string::npos);
}

}  // namespace
}  // namespace qjms::test
