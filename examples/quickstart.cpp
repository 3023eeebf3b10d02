// Quick start: connect to a provider through its reference file, then send,
// receive, browse, publish and subscribe, and watch a rolled-back message
// come back.
//
//   qjms-quickstart REFERENCE_FILE [DRIVER]
//
// REFERENCE_FILE holds the provider's stringified object reference (what
// quorix-provider writes with --ior-file). DRIVER defaults to "vol".

#include <cstdio>
#include <memory>
#include <string>

#include <jms/jms.h>

namespace {

// Wide API text to UTF-8 for the terminal.
std::string utf8(const jms::WString& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

jms::WString wide(const std::string& ascii) { return jms::WString(ascii.begin(), ascii.end()); }

template <class T>
using Owned = std::unique_ptr<T>;

// One line about a message: its body and, where set, the "customer" property.
std::string describe(jms::Message& message) {
    std::string line;
    if (auto* text = dynamic_cast<jms::TextMessage*>(&message)) {
        line = "text \"" + utf8(text->getText()) + "\"";
    } else if (auto* bytes = dynamic_cast<jms::BytesMessage*>(&message)) {
        jms::ByteArray body;
        bytes->readBytes(body);
        line = "bytes [";
        for (size_t i = 0; i < body.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i ? " %02x" : "%02x", body[i]);
            line += hex;
        }
        line += "]";
    } else {
        line = "header-only message";
    }
    if (message.propertyExists(u"customer")) {
        line += " customer=" + utf8(message.getStringProperty(u"customer"));
    }
    if (message.getJMSRedelivered()) line += " (redelivered)";
    return line;
}

// Point to point: two messages onto a queue, a look at what waits, then both taken off.
void queueRoundTrip(jms::QueueConnection& connection) {
    Owned<jms::QueueSession> session(connection.createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    Owned<jms::Queue> queue(session->createQueue(u"demo.orders"));
    Owned<jms::QueueSender> sender(session->createSender(queue.get()));

    Owned<jms::TextMessage> text(session->createTextMessage(u"Grüße aus der Warteschlange ✓"));
    text->setStringProperty(u"customer", u"ACME");
    sender->send(text.get());
    std::printf("  sent      %s as %s\n", describe(*text).c_str(), utf8(text->getJMSMessageID()).c_str());
    Owned<jms::BytesMessage> bytes(session->createBytesMessage());
    bytes->writeBytes(jms::ByteArray{0x00, 0x01, 0xfe, 0xff});
    sender->send(bytes.get());
    bytes->reset();
    std::printf("  sent      %s as %s\n", describe(*bytes).c_str(), utf8(bytes->getJMSMessageID()).c_str());

    Owned<jms::QueueBrowser> browser(session->createBrowser(queue.get()));
    int waiting = 0;
    for (jms::Enumeration* e = browser->getEnumeration(); e->hasMoreElements(); ++waiting) {
        Owned<jms::Message> peek(e->nextElement());
    }
    browser->close();
    std::printf("  browsed   %d messages waiting\n", waiting);

    Owned<jms::QueueReceiver> receiver(session->createReceiver(queue.get()));
    while (Owned<jms::Message> message{receiver->receive(1000)}) {
        std::printf("  received  %s\n", describe(*message).c_str());
    }
    session->close();
}

// A transacted session takes a message, rolls back, and gets it again marked redelivered.
void rollbackRedelivers(jms::QueueConnection& connection) {
    Owned<jms::QueueSession> plain(connection.createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    Owned<jms::Queue> queue(plain->createQueue(u"demo.payments"));
    Owned<jms::QueueSender> sender(plain->createSender(queue.get()));
    Owned<jms::TextMessage> payment(plain->createTextMessage(u"pay 42.00 EUR"));
    sender->send(payment.get());

    Owned<jms::QueueSession> tx(connection.createQueueSession(true, jms::Session::AUTO_ACKNOWLEDGE));
    Owned<jms::QueueReceiver> receiver(tx->createReceiver(queue.get()));
    Owned<jms::Message> first(receiver->receive(1000));
    std::printf("  received  %s, then rolled back\n", describe(*first).c_str());
    tx->rollback();
    Owned<jms::Message> again(receiver->receive(1000));
    std::printf("  received  %s, then committed\n", describe(*again).c_str());
    tx->commit();
    tx->close();
    plain->close();
}

// Publish and subscribe: every subscriber gets its own copy.
void topicFanOut(jms::TopicConnection& connection) {
    Owned<jms::TopicSession> session(connection.createTopicSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    Owned<jms::Topic> topic(session->createTopic(u"demo.news"));
    Owned<jms::TopicSubscriber> first(session->createSubscriber(topic.get()));
    Owned<jms::TopicSubscriber> second(session->createSubscriber(topic.get()));
    Owned<jms::TopicPublisher> publisher(session->createPublisher(topic.get()));
    Owned<jms::TextMessage> news(session->createTextMessage(u"quorix 0.1 is out"));
    publisher->publish(news.get());
    std::printf("  published %s\n", describe(*news).c_str());
    int n = 0;
    for (jms::TopicSubscriber* subscriber : {first.get(), second.get()}) {
        Owned<jms::Message> copy(subscriber->receive(1000));
        std::printf("  subscriber %d got %s\n", ++n, copy ? describe(*copy).c_str() : "nothing");
    }
    session->close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s REFERENCE_FILE [DRIVER]\n", argv[0]);
        return 2;
    }
    const std::string driver = argc == 3 ? argv[2] : "vol";
    try {
        // Reference file, driver, (unused flag), client identifier, default
        // priority and timeout of the sessions to come.
        jms::ImplDepFactory entry(wide(argv[1]), wide(driver), true, u"quickstart", 4, 0);
        Owned<jms::QueueConnectionFactory> queues(entry.createQueueConnectionFactory());
        Owned<jms::QueueConnection> connection(queues->createQueueConnection());
        std::printf("Connected through %s (driver \"%s\").\n", argv[1], driver.c_str());
        Owned<jms::ConnectionMetaData> md(connection->getMetaData());
        std::printf("Provider: %s %s, JMS %s; client identifier %s\n",
                    utf8(md->getJMSProviderName()).c_str(), utf8(md->getProviderVersion()).c_str(),
                    utf8(md->getJMSVersion()).c_str(), utf8(connection->getClientID()).c_str());

        // A connection starts stopped: receives wait until it is started.
        connection->start();
        std::printf("Queue demo.orders:\n");
        queueRoundTrip(*connection);
        std::printf("Queue demo.payments, transacted:\n");
        rollbackRedelivers(*connection);
        connection->close();

        Owned<jms::TopicConnectionFactory> topics(entry.createTopicConnectionFactory());
        Owned<jms::TopicConnection> topicConnection(topics->createTopicConnection());
        topicConnection->start();
        std::printf("Topic demo.news, two subscribers:\n");
        topicFanOut(*topicConnection);
        topicConnection->close();
        std::printf("Closed both connections.\n");
        return 0;
    } catch (const jms::JMSException& e) {
        std::fprintf(stderr, "JMS failure: %s [%s]\n", utf8(e.getMessage()).c_str(),
                     utf8(e.getErrorCode()).c_str());
        return 1;
    }
}
