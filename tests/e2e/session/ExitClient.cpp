// A client whose listener takes one message, after which the program closes
// (or only deletes) its connection and exits at once, skipping every exit-time
// clean-up:  session_e2e_exit_client REFERENCE_FILE QUEUE close|delete
#include <unistd.h>

#include <future>
#include <iostream>
#include <memory>
#include <string>

#include <jms/jms.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: session_e2e_exit_client REFERENCE_FILE QUEUE close|delete\n";
        return 2;
    }
    auto wide = [](const std::string& s) { return jms::WString(s.begin(), s.end()); };
    struct First : jms::MessageListener {
        std::promise<void> got;
        bool seen = false;
        void onMessage(jms::Message*) override {
            if (!seen) got.set_value();
            seen = true;
        }
    } listener;
    try {
        jms::ImplDepFactory entry(wide(argv[1]), u"vol", true, u"", 4, 0);
        std::unique_ptr<jms::QueueConnectionFactory> factory(entry.createQueueConnectionFactory());
        auto* connection = factory->createQueueConnection();
        jms::QueueSession* session = connection->createQueueSession(false, 1);
        jms::Queue* queue = session->createQueue(wide(argv[2]));
        jms::QueueReceiver* receiver = session->createReceiver(queue);
        receiver->setMessageListener(&listener);
        connection->start();
        listener.got.get_future().wait();
        if (std::string(argv[3]) == "close") {
            connection->close();  // the rest is left for the exit
        } else {
            delete receiver;
            delete session;
            delete connection;
        }
    } catch (const jms::JMSException& e) {
        std::cerr << "JMSException\n";
        return 1;
    }
    _exit(0);
}
