// perf: producers and consumers on connections of their own, one thread each.
// Every message carries its producer, sequence number and send time, so the
// consumers can measure latency and find lost or duplicated messages.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Crew.h"
#include "Interrupt.h"
#include "PerfTally.h"
#include "Progress.h"
#include "Status.h"
#include "Text.h"

namespace qjms::cli {

namespace {

using Clock = std::chrono::steady_clock;
// After the last send, how long consumers may stay quiet before the rest counts as lost.
constexpr auto kDrainQuiet = std::chrono::seconds(5);
const jms::WString kRun = u"qjmsPerfRun";
const jms::WString kProducer = u"qjmsPerfProducer";
const jms::WString kSequence = u"qjmsPerfSeq";
const jms::WString kSentAt = u"qjmsPerfSentUs";

int64_t micros(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The first failure of any thread; the others see it and stop.
class Failure {
public:
    void set(const jms::JMSException& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!first_) first_ = std::make_unique<jms::JMSException>(e.getMessage(), e.getErrorCode());
        happened_ = true;
    }
    bool happened() const { return happened_; }
    void rethrow() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (first_) throw jms::JMSException(*first_);
    }

private:
    std::mutex mutex_;
    std::unique_ptr<jms::JMSException> first_;
    std::atomic<bool> happened_{false};
};

// A tally of the run, with the time of its last arrival.
struct Sink {
    explicit Sink(int producers) : tally(producers) {}
    PerfTally tally;
    std::atomic<int64_t> lastMicros{0};
};

// Counts a message of this run; messages left by other runs are ignored.
bool take(jms::Message& m, int64_t run, Sink& sink, Progress& progress) {
    try {
        if (!m.propertyExists(kRun) || m.getLongProperty(kRun) != run) return false;
        const int64_t now = micros(Clock::now());
        sink.tally.add(m.getIntProperty(kProducer), m.getLongProperty(kSequence),
                       now - m.getLongProperty(kSentAt));
        sink.lastMicros = now;
        progress.add();
        return true;
    } catch (const jms::NullPointerException&) {
        return false;
    }
}

class PerfListener : public jms::MessageListener {
public:
    PerfListener(int64_t run, Sink& sink, Progress& progress) : run_(run), sink_(sink), progress_(progress) {}
    void onMessage(jms::Message* message) override { take(*message, run_, sink_, progress_); }

private:
    int64_t run_;
    Sink& sink_;
    Progress& progress_;
};

// One connection with its session and one producer or consumer.
struct Peer {
    std::unique_ptr<AnyLink> link;
    jms::Connection* connection = nullptr;
    std::unique_ptr<jms::Session> session;
    std::unique_ptr<jms::Destination> destination;
    std::unique_ptr<jms::MessageProducer> producer;
    std::function<void(jms::Message*)> send;
    std::unique_ptr<jms::MessageConsumer> consumer;
};

Peer openPeer(const ConnectionSettings& settings, const PerfOptions& o, const jms::WString& name,
              bool producing) {
    Peer p;
    if (o.topic.empty()) {
        auto* link = new Link<jms::QueueConnection>(openQueueConnection(settings));
        p.link.reset(link);
        p.connection = &**link;
        auto* session = (*link)->createQueueSession(false, jms::Session::AUTO_ACKNOWLEDGE);
        p.session.reset(session);
        auto* queue = session->createQueue(name);
        p.destination.reset(queue);
        if (producing) {
            auto* sender = session->createSender(queue);
            p.producer.reset(sender);
            p.send = [sender](jms::Message* m) { sender->send(m); };
        } else {
            p.consumer.reset(session->createReceiver(queue));
        }
    } else {
        auto* link = new Link<jms::TopicConnection>(openTopicConnection(settings));
        p.link.reset(link);
        p.connection = &**link;
        auto* session = (*link)->createTopicSession(false, jms::Session::AUTO_ACKNOWLEDGE);
        p.session.reset(session);
        auto* topic = session->createTopic(name);
        p.destination.reset(topic);
        if (producing) {
            auto* publisher = session->createPublisher(topic);
            p.producer.reset(publisher);
            p.send = [publisher](jms::Message* m) { publisher->publish(m); };
        } else {
            p.consumer.reset(session->createSubscriber(topic));
        }
    }
    if (producing && o.persistent) p.producer->setDeliveryMode(jms::DeliveryMode::PERSISTENT);
    return p;
}

std::unique_ptr<jms::Message> perfMessage(jms::Session& session, const PerfOptions& o) {
    if (o.text) return std::unique_ptr<jms::Message>(session.createTextMessage(jms::WString(o.size, u'x')));
    std::unique_ptr<jms::BytesMessage> bytes(session.createBytesMessage());
    bytes->writeBytes(jms::ByteArray(o.size, 0x5a));
    return bytes;
}

struct Results {
    int64_t sent = 0, received = 0, lost = 0, duplicated = 0;
    double sendSeconds = 0, receiveSeconds = 0;
    double p50 = 0, p99 = 0, max = 0;  // ms
};

void print(const PerfOptions& o, const std::string& where, const Results& r) {
    const auto rate = [](int64_t n, double s) { return s > 0 ? n / s : 0.0; };
    const double sentRate = rate(r.sent, r.sendSeconds), receivedRate = rate(r.received, r.receiveSeconds);
    const double mb = double(o.size) / 1e6;
    if (o.json) {
        const nlohmann::ordered_json j = {
            {"producers", o.producers}, {"consumers", o.consumers}, {"destination", where},
            {"size", o.size}, {"body", o.text ? "text" : "bytes"}, {"persistent", o.persistent},
            {"listener", o.listener}, {"sent", r.sent}, {"sentPerSecond", sentRate},
            {"sentMBPerSecond", sentRate * mb}, {"received", r.received},
            {"receivedPerSecond", receivedRate}, {"receivedMBPerSecond", receivedRate * mb},
            {"latencyMs", {{"p50", r.p50}, {"p99", r.p99}, {"max", r.max}}},
            {"lost", r.lost}, {"duplicated", r.duplicated}};
        std::printf("%s\n", j.dump().c_str());
        return;
    }
    std::printf("perf: %d producer%s, %d consumer%s, %s, %lld-%s %s messages, %s, %s\n", o.producers,
                o.producers == 1 ? "" : "s", o.consumers, o.consumers == 1 ? "" : "s", where.c_str(),
                static_cast<long long>(o.size), o.text ? "character" : "byte", o.text ? "text" : "bytes",
                o.persistent ? "persistent" : "non-persistent", o.listener ? "listeners" : "receive calls");
    std::printf("sent      %9lld messages in %7.3f s  %9.0f msg/s  %8.2f MB/s\n",
                static_cast<long long>(r.sent), r.sendSeconds, sentRate, sentRate * mb);
    std::printf("received  %9lld messages in %7.3f s  %9.0f msg/s  %8.2f MB/s\n",
                static_cast<long long>(r.received), r.receiveSeconds, receivedRate, receivedRate * mb);
    std::printf("latency   p50 %.3f ms  p99 %.3f ms  max %.3f ms\n", r.p50, r.p99, r.max);
    std::printf("check     %lld lost, %lld duplicated\n", static_cast<long long>(r.lost),
                static_cast<long long>(r.duplicated));
}

}  // namespace

int runPerf(const ConnectionOptions& connectionOptions, const PerfOptions& o) {
    ConnectionSettings settings = resolve(connectionOptions);
    settings.clientId.clear();  // many connections: one identifier cannot serve them all
    const std::string plain = o.topic.empty() ? (o.queue.empty() ? "qjms.perf" : o.queue) : o.topic;
    const auto name = fromUtf8(plain);
    if (!name || name->empty()) throw UsageError("bad destination name");
    const std::string where = (o.topic.empty() ? "queue:" : "topic:") + plain;
    const int64_t run = int64_t(std::random_device{}()) << 31 ^ micros(Clock::now());
    const bool topic = !o.topic.empty();
    const auto start = Clock::now();
    const auto end = o.duration > 0 ? start + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(o.duration))
                                    : Clock::time_point{};

    // Everything the threads and listeners touch outlives the connections below.
    Progress progress("received", o.duration > 0 ? 0 : o.count * (topic ? o.consumers : 1), end);
    std::vector<std::unique_ptr<Sink>> sinks;
    for (int i = 0; i < (topic ? o.consumers : 1); ++i) sinks.push_back(std::make_unique<Sink>(o.producers));
    std::vector<std::unique_ptr<PerfListener>> listeners;
    std::vector<int64_t> sent(o.producers, 0);
    std::vector<Clock::time_point> doneAt(o.producers, start);
    std::atomic<int> producing{o.producers};
    std::atomic<bool> stopConsumers{false};
    Failure failure;

    std::vector<Peer> consumers, producers;
    for (int i = 0; i < o.consumers; ++i) {
        consumers.push_back(openPeer(settings, o, *name, false));
        if (o.listener) {
            listeners.push_back(std::make_unique<PerfListener>(run, *sinks[topic ? i : 0], progress));
            consumers.back().consumer->setMessageListener(listeners.back().get());
        }
        consumers.back().connection->start();
    }
    for (int i = 0; i < o.producers; ++i) producers.push_back(openPeer(settings, o, *name, true));

    Crew crew;
    for (int i = 0; i < o.consumers && !o.listener; ++i) {
        crew.run([&, i] {
            Sink& sink = *sinks[topic ? i : 0];
            try {
                while (!stopConsumers && !interrupted() && !failure.happened()) {
                    std::unique_ptr<jms::Message> m(consumers[i].consumer->receive(200));
                    if (m) take(*m, run, sink, progress);
                }
            } catch (const jms::JMSException& e) {
                failure.set(e);
            }
        });
    }
    const auto sendStart = Clock::now();
    for (int i = 0; i < o.producers; ++i) {
        crew.run([&, i] {
            const int64_t quota = o.count / o.producers + (i < o.count % o.producers ? 1 : 0);
            try {
                std::unique_ptr<jms::Message> m = perfMessage(*producers[i].session, o);
                for (int64_t seq = 0; !interrupted() && !failure.happened(); ++seq) {
                    if (o.duration > 0 ? Clock::now() >= end : seq >= quota) break;
                    m->clearProperties();
                    m->setLongProperty(kRun, run);
                    m->setIntProperty(kProducer, i);
                    m->setLongProperty(kSequence, seq);
                    m->setLongProperty(kSentAt, micros(Clock::now()));
                    producers[i].send(m.get());
                    sent[i] = seq + 1;
                }
            } catch (const jms::JMSException& e) {
                failure.set(e);
            }
            doneAt[i] = Clock::now();
            --producing;
        });
    }

    // Wait for the producers, then for every message or a quiet drain.
    auto quietSince = Clock::now();
    int64_t lastSeen = -1;
    while (!interrupted() && !failure.happened()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (producing > 0) continue;
        int64_t total = 0, expected = 0;
        for (auto& sink : sinks) total += sink->tally.received();
        for (int64_t n : sent) expected += n;
        expected *= int64_t(sinks.size());
        if (total >= expected) break;
        if (total != lastSeen) {
            lastSeen = total;
            quietSince = Clock::now();
        } else if (Clock::now() - quietSince >= kDrainQuiet) {
            break;
        }
    }
    stopConsumers = true;
    crew.join();
    for (Peer& c : consumers) c.consumer->close();  // no more pushes to count
    progress.finish();
    checkInterrupted();
    failure.rethrow();

    Results r;
    std::vector<int64_t> latencies;
    int64_t lastMicros = 0;
    for (auto& sink : sinks) {
        r.received += sink->tally.received();
        r.duplicated += sink->tally.duplicated();
        r.lost += sink->tally.lost(sent);
        const auto l = sink->tally.latencies();
        latencies.insert(latencies.end(), l.begin(), l.end());
        lastMicros = std::max<int64_t>(lastMicros, sink->lastMicros);
    }
    for (int64_t n : sent) r.sent += n;
    r.sendSeconds = seconds(*std::max_element(doneAt.begin(), doneAt.end()) - sendStart);
    r.receiveSeconds = lastMicros ? (lastMicros - micros(sendStart)) / 1e6 : 0;
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) { return latencies[std::min(latencies.size() - 1, size_t(q * latencies.size()))] / 1e3; };
        r.p50 = at(0.5);
        r.p99 = at(0.99);
        r.max = latencies.back() / 1e3;
    }
    print(o, where, r);
    if (r.lost || r.duplicated) {
        std::fprintf(stderr, "qjms: perf: %lld lost, %lld duplicated\n", static_cast<long long>(r.lost),
                     static_cast<long long>(r.duplicated));
        return kJmsFailure;
    }
    return kDone;
}

}  // namespace qjms::cli
