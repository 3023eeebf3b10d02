#include "Traffic.h"

#include <algorithm>
#include <type_traits>

namespace qjms::test {

class Traffic::Counter : public jms::MessageListener {
public:
    explicit Counter(std::atomic<int64_t>& count) : count_(count) {}
    void onMessage(jms::Message*) override { ++count_; }

private:
    std::atomic<int64_t>& count_;
};

template <class T>
T* Traffic::keep(T* object, int rank) {
    std::function<void()> close;
    if constexpr (!std::is_base_of_v<jms::Destination, T>) close = [object] { object->close(); };
    owned_.push_back({rank, std::move(close), [object] { delete object; }});
    return object;
}

Traffic::Traffic(const ProviderProcess& provider, int connections, uint32_t seed,
                 Outcomes& outcomes)
    : outcomes_(outcomes), rng_(seed) {
    // Two queues shared by every connection, so messages cross connections.
    const jms::WString queues[] = {u"traffic.a", u"traffic.b"};
    const jms::WString topic = u"traffic.t";
    std::vector<jms::QueueConnection*> made;
    for (int i = 0; i < connections; ++i) {
        jms::QueueConnection* c = keep(connectTo(provider).release(), 2);
        made.push_back(c);
        auto& topics = dynamic_cast<jms::TopicConnection&>(*c);
        const jms::WString &mine = queues[i % 2], &other = queues[(i + 1) % 2];
        sender(*c, mine, i % 2 == 1);
        receiver(*c, other);
        browser(*c, mine);
        churn(*c, other);
        jms::QueueSession* s = keep(c->createQueueSession(false, 1), 1);
        listen(keep(s->createReceiver(keep(s->createQueue(mine), 3)), 0));
        if (i == 0) publisher(topics, topic);
        if (i == connections - 1) {
            jms::TopicSession* t = keep(topics.createTopicSession(false, 1), 1);
            listen(keep(t->createSubscriber(keep(t->createTopic(topic), 3)), 0));
        }
    }
    for (jms::QueueConnection* c : made) c->start();
}

Traffic::~Traffic() {
    stop();
    // Whatever teardown did not take, newest first: the order that needs nothing.
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) it->destroy();
}

void Traffic::addWorker(std::function<void(int, std::mt19937&)> body) {
    const int id = static_cast<int>(bodies_.size());
    const uint32_t seed = rng_();
    bodies_.push_back([body = std::move(body), id, seed] {
        std::mt19937 rng(seed);
        body(id, rng);
    });
}

void Traffic::start() {
    for (auto& body : bodies_) threads_.emplace_back(body);
}

void Traffic::stop() {
    stopping_ = true;
    for (auto& t : threads_) t.join();
    threads_.clear();
}

void Traffic::pause(std::mt19937& rng) const {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 4)(rng)));
}

void Traffic::sender(jms::QueueConnection& c, const jms::WString& queue, bool transacted) {
    jms::QueueSession* s = keep(c.createQueueSession(transacted, 1), 1);
    jms::Queue* q = keep(s->createQueue(queue), 3);
    jms::QueueSender* p = keep(s->createSender(q), 0);
    addWorker([this, s, p, transacted](int id, std::mt19937& rng) {
        for (int32_t seq = 0; !stopping_; ++seq) {
            outcomes_.run(id, [&] {
                std::unique_ptr<jms::TextMessage> m(s->createTextMessage(u"traffic"));
                m->setIntProperty(u"seq", seq);
                p->send(m.get());
            });
            if (transacted && seq % 5 == 4) outcomes_.run(id, [&] { s->commit(); });
            pause(rng);
        }
    });
}

void Traffic::publisher(jms::TopicConnection& c, const jms::WString& topic) {
    jms::TopicSession* s = keep(c.createTopicSession(false, 1), 1);
    jms::Topic* t = keep(s->createTopic(topic), 3);
    jms::TopicPublisher* p = keep(s->createPublisher(t), 0);
    addWorker([this, s, p](int id, std::mt19937& rng) {
        while (!stopping_) {
            outcomes_.run(id, [&] {
                std::unique_ptr<jms::TextMessage> m(s->createTextMessage(u"news"));
                p->publish(m.get());
            });
            pause(rng);
        }
    });
}

void Traffic::receiver(jms::QueueConnection& c, const jms::WString& queue) {
    jms::QueueSession* s = keep(c.createQueueSession(false, 1), 1);
    jms::Queue* q = keep(s->createQueue(queue), 3);
    jms::QueueReceiver* r = keep(s->createReceiver(q), 0);
    addWorker([this, r](int id, std::mt19937& rng) {
        while (!stopping_) {
            const int how = std::uniform_int_distribution<int>(0, 2)(rng);
            const int wait = std::uniform_int_distribution<int>(20, 300)(rng);
            outcomes_.run(id, [&] {
                std::unique_ptr<jms::Message> m(how == 0   ? r->receive()
                                                : how == 1 ? r->receive(wait)
                                                           : r->receiveNoWait());
            });
            pause(rng);
        }
    });
}

void Traffic::browser(jms::QueueConnection& c, const jms::WString& queue) {
    jms::QueueSession* s = keep(c.createQueueSession(false, 1), 1);
    jms::Queue* q = keep(s->createQueue(queue), 3);
    addWorker([this, s, q](int id, std::mt19937& rng) {
        while (!stopping_) {
            std::unique_ptr<jms::QueueBrowser> b;
            outcomes_.run(id, [&] { b.reset(s->createBrowser(q)); });
            if (b) {
                outcomes_.run(id, [&] {
                    jms::Enumeration* e = b->getEnumeration();
                    for (int i = 0; i < 10 && e->hasMoreElements(); ++i) delete e->nextElement();
                });
                outcomes_.run(id, [&] { b->close(); });
            }
            pause(rng);
        }
    });
}

void Traffic::churn(jms::QueueConnection& c, const jms::WString& queue) {
    addWorker([this, &c, queue](int id, std::mt19937& rng) {
        while (!stopping_) {
            std::unique_ptr<jms::QueueSession> s;
            outcomes_.run(id, [&] { s.reset(c.createQueueSession(false, 1)); });
            if (s) {
                outcomes_.run(id, [&] {
                    std::unique_ptr<jms::Queue> q(s->createQueue(queue));
                    std::unique_ptr<jms::QueueSender> p(s->createSender(q.get()));
                    std::unique_ptr<jms::TextMessage> m(s->createTextMessage(u"churn"));
                    p->send(m.get());
                });
                outcomes_.run(id, [&] { s->close(); });
            }
            // Stopped and started in one go: a failed start closes the
            // connection, so no receive is left waiting for a start.
            if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
                outcomes_.run(id, [&] { c.stop(); });
                outcomes_.run(id, [&] { c.start(); });
            }
            pause(rng);
        }
    });
}

void Traffic::listen(jms::MessageConsumer* consumer) {
    listeners_.push_back(std::make_unique<Counter>(delivered_));
    consumer->setMessageListener(listeners_.back().get());
}

const char* Traffic::name(Teardown how) {
    static const char* const names[] = {"close connections, delete all", "close each, delete all",
                                        "delete all unclosed"};
    return names[static_cast<int>(how)];
}

Traffic::Ended Traffic::teardown(Teardown how, std::mt19937& rng) {
    stop();
    Ended ended;
    const Clock::time_point begin = Clock::now();
    auto step = [&](const std::function<void()>& action, const char* what) {
        const Clock::time_point start = Clock::now();
        const std::string failure = failureOf(action);
        ended.slowestStepMs = std::max(ended.slowestStepMs, msBetween(start, Clock::now()));
        if (!failure.empty()) ended.failures.push_back(what + failure);
    };
    std::vector<Owned*> order;
    for (Owned& o : owned_) order.push_back(&o);
    if (how != Teardown::DeleteOnly) {
        std::stable_sort(order.begin(), order.end(),
                         [](const Owned* a, const Owned* b) { return a->rank < b->rank; });
        for (Owned* o : order) {
            if (o->close && (how == Teardown::CloseEachThenDelete || o->rank == 2)) step(o->close, "");
        }
    }
    std::shuffle(order.begin(), order.end(), rng);
    for (Owned* o : order) step(o->destroy, "deleting: ");
    owned_.clear();
    ended.totalMs = msBetween(begin, Clock::now());
    return ended;
}

}  // namespace qjms::test
