// receive, subscribe and browse: messages printed as they come, by receive
// calls or through a listener, until --count, a time-out or Ctrl-C.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "Commands.h"
#include "Interrupt.h"
#include "Progress.h"
#include "Status.h"
#include "Text.h"

namespace qjms::cli {

namespace {

using Clock = std::chrono::steady_clock;
// How long one wait lasts before the loop looks for Ctrl-C again.
constexpr std::chrono::milliseconds kSlice(200);

// The next message, or null once `timeout` ms (0: for ever) passed without one.
std::unique_ptr<jms::Message> next(jms::MessageConsumer& consumer, int64_t timeout) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        checkInterrupted();
        auto slice = kSlice;
        if (timeout > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return nullptr;
            slice = std::min(slice, left);
        }
        if (jms::Message* m = consumer.receive(slice.count())) return std::unique_ptr<jms::Message>(m);
    }
}

int64_t receiveLoop(jms::Session& session, jms::MessageConsumer& consumer,
                    const ReceiveOptions& o, Printer& printer, Progress& progress) {
    int64_t got = 0;
    while (o.count == 0 || got < o.count) {
        std::unique_ptr<jms::Message> m = next(consumer, o.timeout);
        if (!m) break;
        if (!printer.print(record(*m))) printer.check();
        progress.add();
        ++got;
        if (o.transacted && o.batch > 0 && got % o.batch == 0) session.commit();
    }
    if (o.transacted) session.commit();
    return got;
}

// Prints what the provider pushes. On the last message wanted it closes its
// consumer itself, so that nothing more is pushed (and lost) meanwhile.
class Collector : public jms::MessageListener {
public:
    Collector(const ReceiveOptions& o, Printer& printer, Progress& progress)
        : options_(o), printer_(printer), progress_(progress) {}

    void attach(jms::MessageConsumer* consumer) { consumer_ = consumer; }

    void onMessage(jms::Message* message) override {
        bool printed = true;
        try {
            printed = printer_.print(record(*message));
            progress_.add();
        } catch (const jms::JMSException&) {  // a message that cannot be read is still counted
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++got_;
        if (!printed || (options_.count > 0 && got_ >= options_.count)) {
            try {
                consumer_->close();
            } catch (const jms::JMSException&) {  // the main thread reports what remains wrong
            }
            done_ = true;
        }
        changed_.notify_all();
    }

    // Until --count, a quiet --timeout or Ctrl-C; then no more pushes.
    int64_t wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        auto quietSince = Clock::now();
        int64_t seen = got_;
        while (!done_) {
            if (interrupted()) throw Interrupted{};
            changed_.wait_for(lock, kSlice);
            if (got_ != seen) {
                seen = got_;
                quietSince = Clock::now();
            }
            if (options_.timeout > 0 &&
                Clock::now() - quietSince >= std::chrono::milliseconds(options_.timeout)) {
                break;
            }
        }
        if (!done_) {
            lock.unlock();
            consumer_->close();  // waits for a push under way
            lock.lock();
        }
        return got_;
    }

private:
    const ReceiveOptions& options_;
    Printer& printer_;
    Progress& progress_;
    jms::MessageConsumer* consumer_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t got_ = 0;
    bool done_ = false;
};

int consume(jms::Connection& connection, jms::Session& session, jms::MessageConsumer& consumer,
            Collector& collector, const ReceiveOptions& o, Printer& printer, Progress& progress) {
    int64_t got = 0;
    if (o.listener) {
        collector.attach(&consumer);
        consumer.setMessageListener(&collector);
        connection.start();
        got = collector.wait();
        printer.check();
    } else {
        connection.start();
        got = receiveLoop(session, consumer, o, printer, progress);
    }
    progress.finish();
    return o.count > 0 && got < o.count ? kTimedOut : kDone;
}

jms::WString checkedName(const std::string& name, const char* what) {
    auto wide = fromUtf8(name);
    if (!wide || wide->empty()) throw UsageError(std::string("bad ") + what + " name");
    return *wide;
}

jms::WString checkedSelector(const ReceiveOptions& o) {
    auto selector = fromUtf8(o.selector);
    if (!selector) throw UsageError("--selector is not valid UTF-8");
    return *selector;
}

}  // namespace

int runReceive(const ConnectionOptions& connectionOptions, const ReceiveOptions& o) {
    if (o.noLocal) {
        throw UsageError("--no-local: the library does not offer noLocal subscribers; a qjms "
                         "subscriber publishes nothing itself, so it sees the same messages without it");
    }
    const ConnectionSettings settings = resolve(connectionOptions);
    const jms::WString name = checkedName(o.destination, o.kind == Kind::Queue ? "queue" : "topic");
    const jms::WString selector = checkedSelector(o);
    const jms::WString durable = o.durable.empty() ? jms::WString() : checkedName(o.durable, "subscription");
    Printer printer(o.format);
    Progress progress("received", o.count);
    // Declared before the connection, so that it outlives every push.
    Collector collector(o, printer, progress);
    if (o.kind == Kind::Queue) {
        auto connection = openQueueConnection(settings);
        std::unique_ptr<jms::QueueSession> session(
            connection->createQueueSession(o.transacted, jms::Session::AUTO_ACKNOWLEDGE));
        std::unique_ptr<jms::Queue> queue(session->createQueue(name));
        std::unique_ptr<jms::QueueReceiver> receiver(selector.empty()
                                                         ? session->createReceiver(queue.get())
                                                         : session->createReceiver(queue.get(), selector));
        const int status = consume(*connection, *session, *receiver, collector, o, printer, progress);
        connection.close();
        return status;
    }
    auto connection = openTopicConnection(settings);
    std::unique_ptr<jms::TopicSession> session(
        connection->createTopicSession(o.transacted, jms::Session::AUTO_ACKNOWLEDGE));
    std::unique_ptr<jms::Topic> topic(session->createTopic(name));
    std::unique_ptr<jms::TopicSubscriber> subscriber(
        durable.empty()
            ? (selector.empty() ? session->createSubscriber(topic.get())
                                : session->createSubscriber(topic.get(), selector, false))
            : (selector.empty() ? session->createDurableSubscriber(topic.get(), durable)
                                : session->createDurableSubscriber(topic.get(), durable, selector, false)));
    const int status = consume(*connection, *session, *subscriber, collector, o, printer, progress);
    connection.close();
    return status;
}

int runBrowse(const ConnectionOptions& connectionOptions, const ReceiveOptions& o) {
    const ConnectionSettings settings = resolve(connectionOptions);
    const jms::WString name = checkedName(o.destination, "queue");
    const jms::WString selector = checkedSelector(o);
    Printer printer(o.format);
    auto connection = openQueueConnection(settings);
    std::unique_ptr<jms::QueueSession> session(
        connection->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    std::unique_ptr<jms::Queue> queue(session->createQueue(name));
    std::unique_ptr<jms::QueueBrowser> browser(selector.empty() ? session->createBrowser(queue.get())
                                                                : session->createBrowser(queue.get(), selector));
    connection->start();
    Progress progress("browsed", 0);
    int64_t shown = 0;
    for (jms::Enumeration* e = browser->getEnumeration();
         (o.count == 0 || shown < o.count) && e->hasMoreElements();) {
        checkInterrupted();
        std::unique_ptr<jms::Message> m(e->nextElement());
        if (!m) continue;  // the next call says why
        if (!printer.print(record(*m))) printer.check();
        progress.add();
        ++shown;
    }
    progress.finish();
    browser->close();
    connection.close();
    return kDone;
}

int runUnsubscribe(const ConnectionOptions& connectionOptions, const std::string& name) {
    const ConnectionSettings settings = resolve(connectionOptions);
    const jms::WString subscription = checkedName(name, "subscription");
    auto connection = openTopicConnection(settings);
    std::unique_ptr<jms::TopicSession> session(
        connection->createTopicSession(false, jms::Session::AUTO_ACKNOWLEDGE));
    session->unsubscribe(subscription);
    connection.close();
    std::printf("removed durable subscription %s\n", name.c_str());
    return kDone;
}

}  // namespace qjms::cli
