// An asynchronous consumer: a listener answers each request on a queue
// through its own session, while a client sends a few requests and prints
// the replies.
//
//   qjms-listener REFERENCE_FILE [REQUESTS]

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <jms/jms.h>

namespace {

template <class T>
using Owned = std::unique_ptr<T>;

jms::WString wide(const std::string& ascii) { return jms::WString(ascii.begin(), ascii.end()); }
std::string ascii(const jms::WString& text) { return std::string(text.begin(), text.end()); }

// Runs on a broker thread, one message at a time for its session. It may use
// its session (here: to reply) but must not keep the message, which the
// library deletes when onMessage returns.
class Responder : public jms::MessageListener {
public:
    Responder(jms::QueueSession& session, jms::Queue& requests)
        : session_(session), sender_(session.createSender(&requests)) {}

    void onMessage(jms::Message* message) override {
        auto* request = dynamic_cast<jms::TextMessage*>(message);
        Owned<jms::Destination> replyTo(message->getJMSReplyTo());
        auto* replyQueue = dynamic_cast<jms::Queue*>(replyTo.get());
        if (!request || !replyQueue) return;  // nothing to answer
        Owned<jms::TextMessage> reply(session_.createTextMessage(u"hello, " + request->getText()));
        reply->setJMSCorrelationID(message->getJMSMessageID());
        sender_->send(replyQueue, reply.get());
    }

private:
    jms::QueueSession& session_;
    Owned<jms::QueueSender> sender_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s REFERENCE_FILE [REQUESTS]\n", argv[0]);
        return 2;
    }
    const int requests = argc == 3 ? std::atoi(argv[2]) : 3;
    try {
        jms::ImplDepFactory entry(wide(argv[1]), u"vol", true, u"", 4, 0);
        Owned<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
        Owned<jms::QueueConnection> connection(factory->createQueueConnection());

        // The responder's side: a session whose receiver has a listener.
        Owned<jms::QueueSession> service(connection->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
        Owned<jms::Queue> requestQueue(service->createQueue(u"demo.requests"));
        Responder responder(*service, *requestQueue);
        Owned<jms::QueueReceiver> receiver(service->createReceiver(requestQueue.get()));
        receiver->setMessageListener(&responder);
        connection->start();  // pushes begin once the connection is started

        // The client's side: its own session, requests with a reply address.
        Owned<jms::QueueSession> client(connection->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
        Owned<jms::Queue> requestsOut(client->createQueue(u"demo.requests"));
        Owned<jms::Queue> replies(client->createQueue(u"demo.replies"));
        Owned<jms::QueueSender> sender(client->createSender(requestsOut.get()));
        Owned<jms::QueueReceiver> replyReceiver(client->createReceiver(replies.get()));
        for (int i = 1; i <= requests; ++i) {
            Owned<jms::TextMessage> request(client->createTextMessage(wide("request " + std::to_string(i))));
            request->setJMSReplyTo(replies.get());
            sender->send(request.get());
            Owned<jms::Message> reply(replyReceiver->receive(5000));
            auto* text = dynamic_cast<jms::TextMessage*>(reply.get());
            std::printf("  sent \"%s\", the listener replied \"%s\"\n", ascii(request->getText()).c_str(),
                        text ? ascii(text->getText()).c_str() : "(nothing within 5 s)");
            if (!text) return 1;
        }
        // Closing the connection waits for a listener still running.
        connection->close();
        return 0;
    } catch (const jms::JMSException& e) {
        std::fprintf(stderr, "JMS failure: %s [%s]\n", ascii(e.getMessage()).c_str(),
                     ascii(e.getErrorCode()).c_str());
        return 1;
    }
}
