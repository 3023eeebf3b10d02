#pragma once
// Shared set-up of the session end-to-end suites: a started connection to a
// quorix-provider with test control, sessions of both kinds, and probes of
// the library's own state (session open, invalidated or closed; endpoint closed).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ConnectionHarness.h"
#include "api/ProviderCall.h"
#include "endpoint/CltMessageConsumer.h"
#include "endpoint/CltMessageProducer.h"
#include "session/CltSession.h"

namespace qjms::test {

template <class T>
using Owned = std::unique_ptr<T>;

using SessionState = jms::SessionCore::State;

inline SessionState stateOf(jms::Session& s) { return dynamic_cast<jms::CltSession&>(s).core().state(); }
inline bool closedEndpoint(jms::MessageProducer& p) {
    return dynamic_cast<jms::CltMessageProducer&>(p).isClosed();
}
inline bool closedEndpoint(jms::MessageConsumer& c) {
    return dynamic_cast<jms::CltMessageConsumer&>(c).isClosed();
}

inline std::string textOf(jms::Message* m) {
    auto* text = dynamic_cast<jms::TextMessage*>(m);
    return text ? ascii(text->getText()) : m ? "<not text>" : "<none>";
}

// The texts a consumer holds, taken; `wait` > 0 waits that long for each.
inline std::vector<std::string> drain(jms::MessageConsumer& c, int64_t wait = 0) {
    std::vector<std::string> out;
    while (Owned<jms::Message> m{wait ? c.receive(wait) : c.receiveNoWait()}) out.push_back(textOf(m.get()));
    return out;
}

inline std::vector<std::string> browse(jms::QueueBrowser& b) {
    std::vector<std::string> out;
    for (jms::Enumeration* e = b.getEnumeration(); e->hasMoreElements();) {
        out.push_back(textOf(Owned<jms::Message>(e->nextElement()).get()));
    }
    return out;
}

// Retry pauses are counted instead of slept while one of these lives.
class CountedPauses {
public:
    CountedPauses() { previous_ = jms::pcall::setPause(&record); count() = 0; }
    ~CountedPauses() { jms::pcall::setPause(previous_); }
    static std::atomic<int>& count() { static std::atomic<int> n{0}; return n; }

private:
    static void record(uint64_t micros) {
        EXPECT_EQ(micros, 1000000u);
        ++count();
    }
    jms::pcall::PauseFn previous_;
};

// A session of its own on one queue, with a sender and a receiver.
struct OnQueue {
    Owned<jms::QueueSession> session;
    Owned<jms::Queue> queue;
    Owned<jms::QueueSender> sender;
    Owned<jms::QueueReceiver> receiver;
};

class SessionE2E : public ConnectionE2E {
protected:
    explicit SessionE2E(std::vector<std::string> serverArgs = {}, std::string clientID = "")
        : ConnectionE2E(std::move(serverArgs)), connection_(connect("", "", clientID)) {
        connection_->start();
    }

    jms::TopicConnection& topicConnection() { return dynamic_cast<jms::TopicConnection&>(*connection_); }
    Owned<jms::QueueSession> queueSession(bool transacted = false) {
        return Owned<jms::QueueSession>(connection_->createQueueSession(transacted, 1));
    }
    Owned<jms::TopicSession> topicSession(bool transacted = false) {
        return Owned<jms::TopicSession>(topicConnection().createTopicSession(transacted, 1));
    }
    // Sends one text message to `queue` through a session of its own.
    void put(const jms::WString& queue, const jms::WString& text, int priority = 4) {
        auto s = queueSession();
        Owned<jms::Queue> q(s->createQueue(queue));
        Owned<jms::QueueSender> sender(s->createSender(q.get()));
        Owned<jms::TextMessage> m(s->createTextMessage(text));
        sender->send(m.get(), 1, priority, 0);
        s->close();
    }

    // A session of its own on one queue, with a sender and a receiver.
    OnQueue onQueue(const jms::WString& name, bool transacted = false) { return onQueue(*connection_, name, transacted); }
    static OnQueue onQueue(jms::QueueConnection& on, const jms::WString& name, bool transacted = false) {
        OnQueue q{Owned<jms::QueueSession>(on.createQueueSession(transacted, 1)), nullptr, nullptr, nullptr};
        q.queue.reset(q.session->createQueue(name));
        q.sender.reset(q.session->createSender(q.queue.get()));
        q.receiver.reset(q.session->createReceiver(q.queue.get()));
        return q;
    }

    Owned<jms::QueueConnection> connection_;
};

}  // namespace qjms::test
