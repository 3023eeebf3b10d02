// qjms-soak: producers and consumers on connections of their own move N
// messages through one queue. Every message carries its producer and
// sequence number: the run fails if one is lost or arrives twice, or if the
// resident memory of this process or of the provider keeps growing once
// warmed up. Producers stay at most --window messages ahead of the
// consumers, so a growing backlog is not mistaken for a leak.
#include <sys/types.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>
#include <jms/jms.h>

#include "../Crew.h"
#include "Peer.h"
#include "Rss.h"
#include "Tally.h"

namespace qjms::soak {
namespace {

using Clock = std::chrono::steady_clock;
using cli::Crew;
using namespace std::chrono_literals;
const jms::WString kProducer = u"soakProducer";
const jms::WString kSequence = u"soakSeq";

struct Options {
    std::string ior;
    std::string queue = "qjms.soak";
    int producers = 2, consumers = 2;
    int64_t messages = 1000000;
    int size = 100;
    int64_t window = 2000;
    double warmup = 0.1;
    pid_t providerPid = 0;
    double maxGrowthMiB = 16;
    double quietSeconds = 10;
};

double mib(int64_t bytes) { return double(bytes) / (1 << 20); }
double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

jms::WString wide(const std::string& ascii) { return jms::WString(ascii.begin(), ascii.end()); }

// The first failure of any thread; the others see it and stop.
class Failure {
public:
    void set(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!first_) first_ = what;
        happened_ = true;
    }
    bool happened() const { return happened_; }
    std::optional<std::string> first() {
        std::lock_guard<std::mutex> lock(mutex_);
        return first_;
    }

private:
    std::mutex mutex_;
    std::optional<std::string> first_;
    std::atomic<bool> happened_{false};
};

void printMemory(const RssWatch& w) {
    std::printf("memory    %-8s %8.1f MiB after warm-up, peak %8.1f MiB (%+.1f MiB)\n",
                w.name().c_str(), mib(w.baseline()), mib(w.peak()), mib(w.growth()));
}

int run(const Options& o) {
    std::vector<int64_t> quotas;
    for (int p = 0; p < o.producers; ++p)
        quotas.push_back(o.messages / o.producers + (p < o.messages % o.producers ? 1 : 0));
    Tally tally(quotas);
    std::vector<RssWatch> watches{{"client", 0}};
    if (o.providerPid) watches.emplace_back("provider", o.providerPid);
    const int64_t warmAt = std::max<int64_t>(1, int64_t(double(o.messages) * o.warmup));

    const jms::WString ior = wide(o.ior), queue = wide(o.queue);
    std::vector<std::unique_ptr<Peer>> consumers, producers;
    for (int i = 0; i < o.consumers; ++i) consumers.push_back(std::make_unique<Peer>(ior, queue, Peer::Consumer));
    for (int i = 0; i < o.producers; ++i) producers.push_back(std::make_unique<Peer>(ior, queue, Peer::Producer));

    std::printf("soak      %d producers, %d consumers, %lld messages of %d characters through queue:%s\n",
                o.producers, o.consumers, static_cast<long long>(o.messages), o.size, o.queue.c_str());
    std::fflush(stdout);
    Failure failure;
    std::atomic<int64_t> sent{0};
    std::atomic<bool> stop{false};
    std::atomic<int> producing{o.producers};
    const auto start = Clock::now();
    Crew crew;
    for (int i = 0; i < o.consumers; ++i) {
        crew.run([&, i] {
            try {
                while (!stop && !failure.happened()) {
                    std::unique_ptr<jms::Message> m(consumers[size_t(i)]->receiver().receive(200));
                    if (!m) continue;
                    if (!m->propertyExists(kProducer) || !m->propertyExists(kSequence)) {
                        tally.add(-1, -1);
                        continue;
                    }
                    tally.add(m->getIntProperty(kProducer), m->getLongProperty(kSequence));
                }
            } catch (const jms::JMSException& e) {
                failure.set("consumer: " + std::string(e.getMessage().begin(), e.getMessage().end()));
            }
        });
    }
    for (int i = 0; i < o.producers; ++i) {
        crew.run([&, i] {
            try {
                Peer& peer = *producers[size_t(i)];
                std::unique_ptr<jms::TextMessage> m(peer.session().createTextMessage(jms::WString(size_t(o.size), u's')));
                for (int64_t seq = 0; seq < quotas[size_t(i)] && !failure.happened(); ++seq) {
                    while (sent - tally.arrivals() >= o.window && !failure.happened()) std::this_thread::sleep_for(1ms);
                    m->clearProperties();
                    m->setIntProperty(kProducer, i);
                    m->setLongProperty(kSequence, seq);
                    peer.sender().send(m.get());
                    ++sent;
                }
            } catch (const jms::JMSException& e) {
                failure.set("producer: " + std::string(e.getMessage().begin(), e.getMessage().end()));
            }
            --producing;
        });
    }

    // Sample memory, report progress, and stop once everything arrived or
    // nothing more did for a while after the last send.
    auto quietSince = Clock::now();
    int64_t lastCount = -1, nextReport = o.messages / 10;
    Clock::time_point warmedAt{};
    while (!failure.happened()) {
        std::this_thread::sleep_for(100ms);
        const int64_t got = tally.arrivals();
        for (RssWatch& w : watches) {
            if (w.hasBaseline()) w.sample();
            else if (got >= warmAt) w.setBaseline();
        }
        if (got >= warmAt && warmedAt == Clock::time_point{}) warmedAt = Clock::now();
        if (got >= nextReport && got < o.messages) {
            std::printf("progress  %lld received, %.0f msg/s\n", static_cast<long long>(got),
                        double(got) / seconds(Clock::now() - start));
            std::fflush(stdout);
            nextReport += std::max<int64_t>(1, o.messages / 10);
        }
        if (got >= o.messages && producing == 0) break;
        if (got != lastCount) {
            lastCount = got;
            quietSince = Clock::now();
        } else if (producing == 0 && seconds(Clock::now() - quietSince) >= o.quietSeconds) {
            break;
        }
    }
    const auto elapsed = Clock::now() - start;
    // A last look for duplicates that were still on their way.
    if (!failure.happened()) std::this_thread::sleep_for(300ms);
    stop = true;
    crew.join();
    for (RssWatch& w : watches) if (w.hasBaseline()) w.sample();

    if (auto f = failure.first()) {
        std::fprintf(stderr, "qjms-soak: %s\n", f->c_str());
        return 3;
    }
    const double rate = double(tally.arrivals()) / seconds(elapsed);
    std::printf("received  %lld messages in %.1f s: %.0f msg/s\n", static_cast<long long>(tally.arrivals()),
                seconds(elapsed), rate);
    std::printf("check     %lld lost, %lld duplicated, %lld stray\n", static_cast<long long>(tally.lost()),
                static_cast<long long>(tally.duplicated()), static_cast<long long>(tally.strays()));
    bool ok = tally.lost() == 0 && tally.duplicated() == 0 && tally.strays() == 0;
    for (const RssWatch& w : watches) {
        if (!w.hasBaseline()) continue;
        printMemory(w);
        if (mib(w.growth()) > o.maxGrowthMiB) {
            std::fprintf(stderr, "qjms-soak: %s memory grew by %.1f MiB after warm-up (limit %.1f MiB)\n",
                         w.name().c_str(), mib(w.growth()), o.maxGrowthMiB);
            ok = false;
        }
    }
    if (o.providerPid && residentBytes(o.providerPid) < 0) {
        std::fprintf(stderr, "qjms-soak: the provider (pid %d) is gone\n", int(o.providerPid));
        ok = false;
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace qjms::soak

int main(int argc, char** argv) {
    qjms::soak::Options o;
    CLI::App app{"Moves messages through one queue and checks that none is lost or duplicated "
                 "and that memory stays flat. Exit 0: all well; 1: a check failed; 2: bad usage; "
                 "3: a library call failed."};
    app.add_option("--ior", o.ior, "the provider's reference file")->required()->check(CLI::ExistingFile);
    app.add_option("-p,--producers", o.producers, "producer connections")->check(CLI::Range(1, 256));
    app.add_option("-c,--consumers", o.consumers, "consumer connections")->check(CLI::Range(1, 256));
    app.add_option("-n,--messages", o.messages, "messages in all")->check(CLI::Range(int64_t(1), int64_t(1) << 40));
    app.add_option("--queue", o.queue, "the queue (ASCII)");
    app.add_option("--size", o.size, "characters in each text body")->check(CLI::Range(0, 1 << 20));
    app.add_option("--window", o.window, "most messages sent and not yet received")->check(CLI::Range(int64_t(1), int64_t(1) << 30));
    app.add_option("--warmup", o.warmup, "fraction of the run before memory is measured")->check(CLI::Range(0.0, 0.9));
    app.add_option("--provider-pid", o.providerPid, "also watch this process's memory");
    app.add_option("--max-growth-mib", o.maxGrowthMiB, "allowed rise of resident memory after warm-up");
    app.add_option("--quiet-seconds", o.quietSeconds, "after the last send, wait this long for stragglers")->check(CLI::Range(0.1, 3600.0));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    try {
        return qjms::soak::run(o);
    } catch (const jms::JMSException& e) {
        std::fprintf(stderr, "qjms-soak: %s\n", std::string(e.getMessage().begin(), e.getMessage().end()).c_str());
        return 3;
    }
}
