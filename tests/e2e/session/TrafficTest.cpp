// Real messages through quorix-provider: bodies, properties and header fields
// arrive as sent; queues order by priority; topics fan out; durable
// subscriptions, transactions, browsing, time-outs and the start of a
// connection behave as a JMS client expects.
#include <future>
#include <set>
#include <thread>

#include "SessionHarness.h"

namespace qjms::test {
namespace {

class Traffic : public SessionE2E {};

TEST_F(Traffic, BodiesPropertiesAndHeaderFieldsArriveAsSent) {
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::Queue> replies(qs->createQueue(u"replies"));
    Owned<jms::QueueSender> sender(qs->createSender(queue.get()));
    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));

    const jms::WString text = u"Grüße, 世界, \U0001F600 and \u00e9";  // a surrogate pair too
    Owned<jms::TextMessage> t(qs->createTextMessage(text));
    t->setBooleanProperty(u"b", true);
    t->setByteProperty(u"y", -7);
    t->setShortProperty(u"s", -300);
    t->setIntProperty(u"i", 1 << 30);
    t->setLongProperty(u"l", int64_t{1} << 40);
    t->setFloatProperty(u"f", 1.5f);
    t->setDoubleProperty(u"d", -2.25);
    t->setStringProperty(u"str", u"\u00fcber");
    t->setJMSType(u"order");
    t->setJMSCorrelationID(u"corr-1");
    t->setJMSReplyTo(replies.get());
    sender->send(t.get(), 1, 6, 0);

    jms::ByteArray bytes(3 * 1024 * 1024);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    Owned<jms::BytesMessage> b(qs->createBytesMessage());
    b->writeBytes(bytes);
    sender->send(b.get());
    Owned<jms::Message> h(qs->createMessage());
    h->setIntProperty(u"only", 1);
    sender->send(h.get());

    Owned<jms::Message> got(receiver->receive(2000));
    auto* gotText = dynamic_cast<jms::TextMessage*>(got.get());
    ASSERT_NE(gotText, nullptr);
    EXPECT_EQ(gotText->getText(), text);
    EXPECT_TRUE(got->getBooleanProperty(u"b"));
    EXPECT_EQ(got->getByteProperty(u"y"), -7);
    EXPECT_EQ(got->getShortProperty(u"s"), -300);
    EXPECT_EQ(got->getIntProperty(u"i"), 1 << 30);
    EXPECT_EQ(got->getLongProperty(u"l"), int64_t{1} << 40);
    EXPECT_EQ(got->getFloatProperty(u"f"), 1.5f);
    EXPECT_EQ(got->getDoubleProperty(u"d"), -2.25);
    EXPECT_EQ(got->getStringProperty(u"str"), u"\u00fcber");
    EXPECT_EQ(got->getJMSType(), u"order");
    EXPECT_EQ(got->getJMSCorrelationID(), u"corr-1");
    EXPECT_EQ(got->getJMSPriority(), 6);
    EXPECT_EQ(got->getJMSMessageID(), t->getJMSMessageID());
    EXPECT_EQ(got->getJMSTimestamp(), t->getJMSTimestamp());
    Owned<jms::Destination> replyTo(got->getJMSReplyTo());
    EXPECT_EQ(dynamic_cast<jms::Queue&>(*replyTo).getQueueName(), u"replies");
    Owned<jms::Destination> from(got->getJMSDestination());
    EXPECT_EQ(dynamic_cast<jms::Queue&>(*from).getQueueName(), u"q");

    Owned<jms::Message> gotBytes(receiver->receive(2000));
    jms::ByteArray body;
    ASSERT_NE(dynamic_cast<jms::BytesMessage*>(gotBytes.get()), nullptr);
    dynamic_cast<jms::BytesMessage&>(*gotBytes).readBytes(body);
    EXPECT_TRUE(body == bytes);

    Owned<jms::Message> gotHeader(receiver->receive(2000));
    ASSERT_NE(gotHeader, nullptr);
    EXPECT_EQ(dynamic_cast<jms::TextMessage*>(gotHeader.get()), nullptr);
    EXPECT_EQ(gotHeader->getIntProperty(u"only"), 1);
}

TEST_F(Traffic, QueuesDeliverByPriorityThenInOrderAndBrowsingTakesNothing) {
    put(u"q", u"low", 1);
    put(u"q", u"high", 9);
    put(u"q", u"mid", 4);
    put(u"q", u"high2", 9);
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::QueueBrowser> browser(qs->createBrowser(queue.get()));
    std::vector<std::string> seen;
    jms::Enumeration* e = browser->getEnumeration();
    EXPECT_EQ(e, browser->getEnumeration());
    EXPECT_TRUE(e->hasMoreElements());
    EXPECT_TRUE(e->hasMoreElements()) << "a second look fetches nothing more";
    while (e->hasMoreElements()) seen.push_back(textOf(Owned<jms::Message>(e->nextElement()).get()));
    EXPECT_EQ(seen, (std::vector<std::string>{"high", "high2", "mid", "low"}));
    EXPECT_THROW(e->nextElement(), jms::NoSuchElementException);
    browser->close();
    EXPECT_FALSE(e->hasMoreElements());
    EXPECT_EQ(thrownBy([&] { e->nextElement(); }), "consumerClosed|");

    Owned<jms::QueueBrowser> selective(qs->createBrowser(queue.get(), u"JMSPriority = 9"));
    int matches = 0;
    for (jms::Enumeration* s = selective->getEnumeration(); s->hasMoreElements(); ++matches) {
        delete s->nextElement();
    }
    EXPECT_EQ(matches, 2);

    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    seen.clear();
    while (Owned<jms::Message> m{receiver->receiveNoWait()}) seen.push_back(textOf(m.get()));
    EXPECT_EQ(seen, (std::vector<std::string>{"high", "high2", "mid", "low"}));
    EXPECT_EQ(receiver->receive(50), nullptr);
}

TEST_F(Traffic, TopicsGiveEverySubscriberItsCopyAndSelectorsFilter) {
    auto ts = topicSession();
    auto other = topicSession();
    Owned<jms::Topic> topic(ts->createTopic(u"news"));
    Owned<jms::TopicSubscriber> all(ts->createSubscriber(topic.get()));
    Owned<jms::TopicSubscriber> some(other->createSubscriber(topic.get(), u"n > 1", false));
    Owned<jms::TopicPublisher> publisher(ts->createPublisher(topic.get()));
    for (int n = 1; n <= 3; ++n) {
        Owned<jms::TextMessage> m(ts->createTextMessage(wide("n" + std::to_string(n))));
        m->setIntProperty(u"n", n);
        publisher->publish(m.get());
    }
    std::vector<std::string> gotAll, gotSome;
    while (Owned<jms::Message> m{all->receiveNoWait()}) gotAll.push_back(textOf(m.get()));
    while (Owned<jms::Message> m{some->receiveNoWait()}) gotSome.push_back(textOf(m.get()));
    EXPECT_EQ(gotAll, (std::vector<std::string>{"n1", "n2", "n3"}));
    EXPECT_EQ(gotSome, (std::vector<std::string>{"n2", "n3"}));
    EXPECT_FALSE(all->getNoLocal());
    EXPECT_EQ(some->getMessageSelector(), u"n > 1");
}

class DurableTraffic : public SessionE2E {
protected:
    DurableTraffic() : SessionE2E({}, "durable-client") {}
};

TEST_F(DurableTraffic, ASubscriptionKeepsMessagesWhileClosedAndUnsubscribeWaitsForIt) {
    auto ts = topicSession();
    Owned<jms::Topic> topic(ts->createTopic(u"news"));
    Owned<jms::TopicSubscriber> durable(ts->createDurableSubscriber(topic.get(), u"sub"));
    // Named like a plain consumer's identifier: no plain consumer blocks it.
    Owned<jms::TopicSubscriber> plain(ts->createSubscriber(topic.get()));
    durable->close();
    Owned<jms::TopicPublisher> publisher(ts->createPublisher(topic.get()));
    for (const char16_t* text : {u"one", u"two"}) {
        Owned<jms::TextMessage> m(ts->createTextMessage(text));
        publisher->publish(m.get());
    }
    Owned<jms::TopicSubscriber> again(ts->createDurableSubscriber(topic.get(), u"sub"));
    Owned<jms::Message> first(again->receive(2000)), second(again->receive(2000));
    EXPECT_EQ(textOf(first.get()) + textOf(second.get()), "onetwo");

    EXPECT_EQ(thrownBy([&] { ts->unsubscribe(u"sub"); }), "inUse|");
    EXPECT_EQ(control_.calls("unsubscribe"), 0);
    const jms::WString plainName =
        jms::WString(u"") + wide(std::to_string(dynamic_cast<jms::CltMessageConsumer&>(*plain).getConsumerID().uid));
    EXPECT_EQ(thrownBy([&] { ts->unsubscribe(plainName); }), "svrDestination: NONE|");
    again->close();
    ts->unsubscribe(u"sub");
    EXPECT_EQ(control_.calls("unsubscribe"), 2);
}

TEST_F(Traffic, TransactionsPublishAtCommitAndRedeliverWhatWasRolledBack) {
    auto tx = queueSession(true);
    Owned<jms::Queue> queue(tx->createQueue(u"q"));
    Owned<jms::QueueSender> sender(tx->createSender(queue.get()));
    Owned<jms::TextMessage> m(tx->createTextMessage(u"dropped"));
    sender->send(m.get());
    tx->rollback();
    m->setText(u"kept");
    sender->send(m.get());
    auto plain = queueSession();
    Owned<jms::QueueReceiver> watcher(plain->createReceiver(queue.get()));
    EXPECT_EQ(watcher->receiveNoWait(), nullptr) << "nothing before the commit";
    tx->commit();
    watcher->close();

    Owned<jms::QueueReceiver> receiver(tx->createReceiver(queue.get()));
    Owned<jms::Message> first(receiver->receive(2000));
    EXPECT_EQ(textOf(first.get()), "kept");
    EXPECT_FALSE(first->getJMSRedelivered());
    tx->rollback();
    Owned<jms::Message> again(receiver->receive(2000));
    EXPECT_EQ(textOf(again.get()), "kept");
    EXPECT_TRUE(again->getJMSRedelivered());
    tx->commit();
    tx->close();
    Owned<jms::QueueReceiver> after(plain->createReceiver(queue.get()));
    EXPECT_EQ(after->receiveNoWait(), nullptr) << "committed receives are gone";
}

TEST_F(Traffic, AStoppedConnectionHoldsReceivesUntilItStarts) {
    put(u"q", u"waiting");
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    connection_->stop();
    control_.reset();
    // Without a start nothing comes: the timed forms give up, the browser still looks.
    EXPECT_EQ(receiver->receiveNoWait(), nullptr);
    EXPECT_EQ(receiver->receive(30), nullptr);
    EXPECT_EQ(control_.calls("consumeNoBlock") + control_.calls("consumeTimeOut"), 0);
    {
        auto other = queueSession();
        Owned<jms::QueueBrowser> browser(other->createBrowser(queue.get()));
        EXPECT_TRUE(browser->getEnumeration()->hasMoreElements());
    }
    std::atomic<bool> started{false};
    auto blocked = std::async(std::launch::async, [&] {
        Owned<jms::Message> m(receiver->receive());
        EXPECT_TRUE(started) << "received before the start";
        return textOf(m.get());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    started = true;
    connection_->start();
    EXPECT_EQ(blocked.get(), "waiting");
}

TEST_F(Traffic, RequestorsNeedTemporaryDestinationsTheLibraryDoesNotOffer) {
    auto qs = queueSession();
    auto ts = topicSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::Topic> topic(ts->createTopic(u"t"));
    EXPECT_EQ(thrownBy([&] { jms::QueueRequestor r(qs.get(), queue.get()); }),
              "notImp: createTemporaryQueue|");
    try {
        jms::TopicRequestor r(ts.get(), topic.get());
        ADD_FAILURE() << "no temporary topic, no requestor";
    } catch (const jms::NotImplementedException& e) {
        EXPECT_EQ(e.getMessage(), u"createTemporaryTopic");
    }
    EXPECT_EQ(control_.calls("createSender") + control_.calls("createPublisher"), 0);
}

TEST_F(Traffic, ThreadsWithSessionsOfTheirOwnLoseAndDuplicateNothing) {
    constexpr int threads = 4, perThread = 150;
    std::vector<std::future<std::vector<std::string>>> workers;
    for (int t = 0; t < threads; ++t) {
        workers.push_back(std::async(std::launch::async, [this, t] {
            auto s = queueSession();
            Owned<jms::Queue> queue(s->createQueue(u"shared"));
            Owned<jms::QueueSender> sender(s->createSender(queue.get()));
            Owned<jms::QueueReceiver> receiver(s->createReceiver(queue.get()));
            Owned<jms::TextMessage> m(s->createTextMessage());
            std::vector<std::string> got;
            for (int i = 0; i < perThread; ++i) {
                m->setText(wide(std::to_string(t) + ":" + std::to_string(i)));
                sender->send(m.get());
                if (Owned<jms::Message> in{receiver->receiveNoWait()}) got.push_back(textOf(in.get()));
            }
            while (Owned<jms::Message> in{receiver->receive(200)}) got.push_back(textOf(in.get()));
            return got;
        }));
    }
    std::multiset<std::string> all;
    for (auto& w : workers) for (const auto& text : w.get()) all.insert(text);
    EXPECT_EQ(all.size(), size_t{threads * perThread});
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size()) << "duplicates";
}


// One message object sent by two threads at once: each send reads the wire
// form whole while the other writes the identifier the provider gave back.
TEST_F(Traffic, OneMessageSentFromTwoThreadsArrivesWholeEveryTime) {
    constexpr int perThread = 200;
    auto s = queueSession();
    Owned<jms::Queue> queue(s->createQueue(u"one.message"));
    Owned<jms::QueueReceiver> receiver(s->createReceiver(queue.get()));
    Owned<jms::TextMessage> m(s->createTextMessage(jms::WString(300, u'x')));
    m->setIntProperty(u"n", 7);
    auto sendAll = [&] {
        auto own = queueSession();
        Owned<jms::QueueSender> sender(own->createSender(queue.get()));
        for (int i = 0; i < perThread; ++i) sender->send(m.get());
    };
    std::thread other(sendAll);
    sendAll();
    other.join();
    std::set<std::string> ids;  // one per send
    while (Owned<jms::Message> in{receiver->receive(200)}) {
        EXPECT_EQ(textOf(in.get()), std::string(300, 'x'));
        EXPECT_EQ(in->getIntProperty(u"n"), 7);
        ids.insert(ascii(in->getJMSMessageID()));
    }
    EXPECT_EQ(ids.size(), size_t{2 * perThread});
}

}  // namespace
}  // namespace qjms::test
