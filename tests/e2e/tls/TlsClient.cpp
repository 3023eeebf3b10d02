// Connects as USER with PASSWORD, sends a message and takes it back, then
// waits for one pushed to a listener; prints "ok", or the exception as
// MESSAGE|ERROR_CODE:   tls_e2e_client REFERENCE_FILE USER PASSWORD
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <string>

#include <jms/jms.h>

namespace {

std::string narrow(const jms::WString& s) { return std::string(s.begin(), s.end()); }
jms::WString wide(const std::string& s) { return jms::WString(s.begin(), s.end()); }

struct Pushed : jms::MessageListener {
    std::promise<void> got;
    bool seen = false;
    void onMessage(jms::Message*) override {
        if (!seen) got.set_value();
        seen = true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: tls_e2e_client REFERENCE_FILE USER PASSWORD\n";
        return 2;
    }
    Pushed listener;
    try {
        jms::ImplDepFactory entry(wide(argv[1]), u"vol", true, u"", 4, 0);
        std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
        std::unique_ptr<jms::QueueConnection> connection(
            factory->createQueueConnection(wide(argv[2]), wide(argv[3])));
        std::unique_ptr<jms::QueueSession> session(connection->createQueueSession(false, 1));
        std::unique_ptr<jms::Queue> polled(session->createQueue(u"tls.polled"));
        std::unique_ptr<jms::Queue> pushed(session->createQueue(u"tls.pushed"));
        std::unique_ptr<jms::QueueSender> sender(session->createSender(polled.get()));
        std::unique_ptr<jms::QueueReceiver> receiver(session->createReceiver(polled.get()));
        connection->start();
        std::unique_ptr<jms::TextMessage> text(session->createTextMessage(u"over TLS"));
        sender->send(text.get());
        std::unique_ptr<jms::Message> back(receiver->receive(20000));
        auto* got = dynamic_cast<jms::TextMessage*>(back.get());
        if (!got || got->getText() != u"over TLS") {
            std::cout << "nothing received\n";
            return 1;
        }
        std::unique_ptr<jms::QueueSession> listening(connection->createQueueSession(false, 1));
        std::unique_ptr<jms::QueueReceiver> pushReceiver(listening->createReceiver(pushed.get()));
        pushReceiver->setMessageListener(&listener);
        std::unique_ptr<jms::QueueSender> pusher(session->createSender(pushed.get()));
        pusher->send(text.get());
        if (listener.got.get_future().wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            std::cout << "nothing pushed\n";
            return 1;
        }
        connection->close();
    } catch (const jms::JMSException& e) {
        std::cout << narrow(e.getMessage()) << "|" << narrow(e.getErrorCode()) << "\n";
        return 1;
    }
    std::cout << "ok\n";
    return 0;
}
