// Real messages through quorix-provider: what the library stamps and reads
// back, browsing, durable subscriptions, transactions, the start of a
// connection, and threads sharing a connection or a message.
#include <future>
#include <set>
#include <thread>

#include "SessionHarness.h"

namespace qjms::test {
namespace {

using Texts = std::vector<std::string>;

class Traffic : public SessionE2E {};

// Fields and property types are covered by the conversion tests and by qjms's
// round trip; here what a program using the library directly relies on.
TEST_F(Traffic, WhatArrivesIsWhatWasSentAndStamped) {
    auto q = onQueue(u"q");
    const jms::WString text = u"Grüße, \U0001F600";  // a surrogate pair
    Owned<jms::TextMessage> t(q.session->createTextMessage(text));
    t->setJMSReplyTo(q.queue.get());
    q.sender->send(t.get(), 1, 6, 0);
    jms::ByteArray bytes(3 * 1024 * 1024), body;
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    Owned<jms::BytesMessage> b(q.session->createBytesMessage());
    b->writeBytes(bytes);
    q.sender->send(b.get());
    Owned<jms::Message> h(q.session->createMessage());
    q.sender->send(h.get());

    Owned<jms::Message> got(q.receiver->receive(2000));
    ASSERT_NE(dynamic_cast<jms::TextMessage*>(got.get()), nullptr);
    EXPECT_EQ(dynamic_cast<jms::TextMessage&>(*got).getText(), text);
    EXPECT_EQ(got->getJMSPriority(), 6);
    EXPECT_EQ(got->getJMSMessageID(), t->getJMSMessageID());
    EXPECT_EQ(got->getJMSTimestamp(), t->getJMSTimestamp());
    Owned<jms::Destination> replyTo(got->getJMSReplyTo());
    EXPECT_EQ(dynamic_cast<jms::Queue&>(*replyTo).getQueueName(), u"q");
    Owned<jms::Message> gotBytes(q.receiver->receive(2000));
    ASSERT_NE(dynamic_cast<jms::BytesMessage*>(gotBytes.get()), nullptr);
    dynamic_cast<jms::BytesMessage&>(*gotBytes).readBytes(body);
    EXPECT_TRUE(body == bytes);
    EXPECT_EQ(textOf(Owned<jms::Message>(q.receiver->receive(2000)).get()), "<not text>");
}

TEST_F(Traffic, BrowsingTakesNothingAndSeesTheQueuesOrder) {
    put(u"q", u"low", 1);
    put(u"q", u"high", 9);
    put(u"q", u"mid", 4);
    put(u"q", u"high2", 9);
    const Texts order = {"high", "high2", "mid", "low"};
    auto qs = queueSession();
    Owned<jms::Queue> queue(qs->createQueue(u"q"));
    Owned<jms::QueueBrowser> browser(qs->createBrowser(queue.get()));
    jms::Enumeration* e = browser->getEnumeration();
    EXPECT_EQ(e, browser->getEnumeration());
    EXPECT_TRUE(e->hasMoreElements());
    EXPECT_TRUE(e->hasMoreElements()) << "a second look fetches nothing more";
    EXPECT_EQ(browse(*browser), order);
    EXPECT_THROW(e->nextElement(), jms::NoSuchElementException);
    browser->close();
    EXPECT_FALSE(e->hasMoreElements());
    EXPECT_EQ(thrownBy([&] { e->nextElement(); }), "consumerClosed|");

    Owned<jms::QueueBrowser> selective(qs->createBrowser(queue.get(), u"JMSPriority = 9"));
    EXPECT_EQ(browse(*selective), (Texts{"high", "high2"}));
    Owned<jms::QueueReceiver> receiver(qs->createReceiver(queue.get()));
    EXPECT_EQ(drain(*receiver), order);
}

class DurableTraffic : public SessionE2E {
protected:
    DurableTraffic() : SessionE2E({}, "durable-client") {}
};

TEST_F(DurableTraffic, UnsubscribeWaitsForTheSubscriptionToClose) {
    auto ts = topicSession();
    Owned<jms::Topic> topic(ts->createTopic(u"news"));
    Owned<jms::TopicSubscriber> durable(ts->createDurableSubscriber(topic.get(), u"sub"));
    // Named like a plain consumer's identifier: no plain consumer blocks it.
    Owned<jms::TopicSubscriber> plain(ts->createSubscriber(topic.get()));
    EXPECT_EQ(thrownBy([&] { ts->unsubscribe(u"sub"); }), "inUse|");
    EXPECT_EQ(control_.calls("unsubscribe"), 0);
    const auto plainID = dynamic_cast<jms::CltMessageConsumer&>(*plain).getConsumerID().uid;
    EXPECT_EQ(thrownBy([&] { ts->unsubscribe(wide(std::to_string(plainID))); }), "svrDestination: NONE|");
    durable->close();
    ts->unsubscribe(u"sub");
    EXPECT_EQ(control_.calls("unsubscribe"), 2);
}

TEST_F(Traffic, TransactionsPublishAtCommitAndRedeliverWhatWasRolledBack) {
    auto tx = onQueue(u"q", true);
    Owned<jms::TextMessage> m(tx.session->createTextMessage(u"dropped"));
    tx.sender->send(m.get());
    tx.session->rollback();
    m->setText(u"kept");
    tx.sender->send(m.get());
    auto plain = queueSession();
    Owned<jms::QueueReceiver> watcher(plain->createReceiver(tx.queue.get()));
    EXPECT_EQ(watcher->receiveNoWait(), nullptr) << "nothing before the commit";
    tx.session->commit();
    watcher->close();

    Owned<jms::Message> first(tx.receiver->receive(2000));
    EXPECT_EQ(textOf(first.get()), "kept");
    EXPECT_FALSE(first->getJMSRedelivered());
    tx.session->rollback();
    Owned<jms::Message> again(tx.receiver->receive(2000));
    EXPECT_EQ(textOf(again.get()), "kept");
    EXPECT_TRUE(again->getJMSRedelivered());
    tx.session->commit();
    tx.session->close();
    Owned<jms::QueueReceiver> after(plain->createReceiver(tx.queue.get()));
    EXPECT_EQ(after->receiveNoWait(), nullptr) << "committed receives are gone";
}

TEST_F(Traffic, AStoppedConnectionHoldsReceivesUntilItStarts) {
    put(u"q", u"waiting");
    auto q = onQueue(u"q");
    connection_->stop();
    control_.reset();
    // Without a start nothing comes: the timed forms give up, the browser still looks.
    EXPECT_EQ(q.receiver->receiveNoWait(), nullptr);
    EXPECT_EQ(q.receiver->receive(30), nullptr);
    EXPECT_EQ(control_.calls("consumeNoBlock") + control_.calls("consumeTimeOut"), 0);
    {
        auto other = queueSession();
        Owned<jms::QueueBrowser> browser(other->createBrowser(q.queue.get()));
        EXPECT_EQ(browse(*browser), Texts{"waiting"});
    }
    std::atomic<bool> started{false};
    auto blocked = std::async(std::launch::async, [&] {
        Owned<jms::Message> m(q.receiver->receive());
        EXPECT_TRUE(started) << "received before the start";
        return textOf(m.get());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    started = true;
    connection_->start();
    EXPECT_EQ(blocked.get(), "waiting");
}

TEST_F(Traffic, ThreadsWithSessionsOfTheirOwnLoseAndDuplicateNothing) {
    constexpr int threads = 4, perThread = 150;
    std::vector<std::future<Texts>> workers;
    for (int t = 0; t < threads; ++t) {
        workers.push_back(std::async(std::launch::async, [this, t] {
            auto q = onQueue(u"shared");
            Owned<jms::TextMessage> m(q.session->createTextMessage());
            Texts got;
            for (int i = 0; i < perThread; ++i) {
                m->setText(wide(std::to_string(t) + ":" + std::to_string(i)));
                q.sender->send(m.get());
                if (Owned<jms::Message> in{q.receiver->receiveNoWait()}) got.push_back(textOf(in.get()));
            }
            for (const auto& text : drain(*q.receiver, 200)) got.push_back(text);
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
    auto q = onQueue(u"one.message");
    Owned<jms::TextMessage> m(q.session->createTextMessage(jms::WString(300, u'x')));
    m->setIntProperty(u"n", 7);
    auto sendAll = [&] {
        auto own = queueSession();
        Owned<jms::QueueSender> sender(own->createSender(q.queue.get()));
        for (int i = 0; i < perThread; ++i) sender->send(m.get());
    };
    std::thread other(sendAll);
    sendAll();
    other.join();
    std::set<std::string> ids;  // one per send
    while (Owned<jms::Message> in{q.receiver->receive(200)}) {
        EXPECT_EQ(textOf(in.get()), std::string(300, 'x'));
        EXPECT_EQ(in->getIntProperty(u"n"), 7);
        ids.insert(ascii(in->getJMSMessageID()));
    }
    EXPECT_EQ(ids.size(), size_t{2 * perThread});
}

}  // namespace
}  // namespace qjms::test
