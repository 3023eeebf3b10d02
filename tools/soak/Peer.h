#pragma once
// One connection of the soak run, with its session and a sender or a receiver
// on the queue. Closed at the provider when it goes.
#include <memory>

#include <jms/jms.h>

namespace qjms::soak {

class Peer {
public:
    enum Role { Producer, Consumer };
    Peer(const jms::WString& iorFile, const jms::WString& queue, Role role);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    jms::QueueSession& session() { return *session_; }
    jms::QueueSender& sender() { return *sender_; }
    jms::QueueReceiver& receiver() { return *receiver_; }

private:
    jms::ImplDepFactory entry_;  // outlives the connection
    std::unique_ptr<jms::QueueConnection> connection_;
    std::unique_ptr<jms::QueueSession> session_;
    std::unique_ptr<jms::Queue> queue_;
    std::unique_ptr<jms::QueueSender> sender_;
    std::unique_ptr<jms::QueueReceiver> receiver_;
};

}  // namespace qjms::soak
